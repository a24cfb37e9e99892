// The airspace files as maps: one GeoJSON FeatureCollection (RFC 7946) or
// one KML 2.2 document for one or several files, a feature per airspace
// block with its shape (engine/shapes.h), limits and findings. The writer
// takes a run's findings and lines as a FindingSink and writes the document
// to a sink as the blocks end, so that memory grows with the largest block,
// not with the file. The checker's map formats and the window's map export
// both write through it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/model/rules.h"
#include "engine/model/findings.h"
#include "engine/present/spill.h"

namespace corvala {

enum class MapFormat : std::uint8_t { GeoJson, Kml };

class MapWriter : public FindingSink {
public:
    // Writes the document's start to `out` at once. `checks` are the run's
    // settings: each block is analysed as the block checks would analyse
    // it under them.
    static std::unique_ptr<MapWriter> Make(MapFormat format, TextSink out, const CheckSettings& checks);
    ~MapWriter() override = default;

    // Where the run keeps the checks it resolved for each file (under the
    // record set by the file, the set the file declares), read when a
    // file's first line comes; null for the run's settings as they are.
    void FollowFileChecks(const CheckSettings* checks) noexcept { fileChecks_ = checks; }

    // Before each file's run: `name` is the file as given (its bytes).
    virtual void BeginFile(std::string_view name) = 0;
    // Instead of the end of a run: the file failed with `message`; the
    // block being read then is left out.
    virtual void FileFailed(std::string_view message) = 0;
    // After the last file: the rest of the document.
    virtual void Finish() = 0;

    void RunStarted(const RunStart&) override {}

protected:
    MapWriter(TextSink out, const CheckSettings& checks) : out_(std::move(out)), checks_(checks) {}

    TextSink out_;
    CheckSettings checks_;
    const CheckSettings* fileChecks_ = nullptr;
};

// A coordinate in decimal degrees with 7 decimals, as both formats write
// it ("-0.0000000" written as "0.0000000").
std::string Degrees(double value);

// The format a file name asks for by its extension, letters in any case:
// ".geojson" and ".json" GeoJSON, ".kml" KML; nothing for any other.
std::optional<MapFormat> MapFormatOfName(std::string_view name);

}  // namespace corvala
