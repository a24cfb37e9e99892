// Airspace blocks as a map draws them: each block's shape as rings or lines
// of longitude and latitude, built from the same analysis as the block
// checks (engine/rules/block/blocks.h), so that a map shows what the checks measured.
// The checker's map formats (GeoJSON, KML) write them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/rules/block/blocks.h"
#include "engine/rules/checks_beyond_lines.h"
#include "engine/values/position.h"

namespace corvala {

enum class ShapeKind : std::uint8_t {
    None,  // no shape could be built (the block's findings say why)
    Area,  // an outline of DP, DA and DB records, or a DC circle
    Route,  // the DY points of an airway
};

struct MapShape {
    ShapeKind kind = ShapeKind::None;
    // Area: exterior rings, each closed (its last point equals its first),
    // counterclockwise in longitude and latitude (the interior on the
    // left), at least 4 points. Route: lines of at least 2 points.
    // Longitudes lie in [-180, 180]; a shape that crosses the antimeridian
    // is cut there into several parts, none of which crosses it (a ring
    // around a pole is closed along the antimeridian and over the pole).
    std::vector<std::vector<GeoPoint>> parts;
};

// The points of a circle around `centre` of `metres` radius, clockwise from
// north and not closed: placed as the block checks follow arcs (no chord
// departs from the circle by more than 30 m, 1 to 10 degrees apart), or
// every 10 degrees for a circle too small for that.
std::vector<GeoPoint> FollowCircle(GeoPoint centre, double metres);

// The shape of an analysed airspace block. None for any other block, when
// a geometry line could not be read (geometryChecked false), when the
// findings of the analysis name a missing centre or a mixed shape (it must
// have been made with those rules on, as MapBlocks makes it), for an
// outline of fewer than 3 distinct points, a circle of radius 0, an airway
// of fewer than 2 distinct points, and a shape that reaches around the
// earth more than once (an outline winding twice around a pole). Arcs are the points the analysis
// followed; a circle is followed by FollowCircle.
MapShape ShapeOfBlock(const BlockAnalysis& block);

// One airspace block for a map: its analysis, its shape and the records
// the analysis does not keep.
struct MapBlock {
    // Made with the block checks' rules (those turned off for the run
    // included) but for the crossing test; its findings are not the run's.
    BlockAnalysis analysis;
    MapShape shape;
    // The trimmed arguments of the first AY, AF and AG records of the block
    // (the airspace type, frequency and station); empty when absent.
    std::string type, frequency, station;
};

// The airspace blocks of a file read line by line, in file order, each
// analysed as the block checks analyse it, whether the run makes them or
// not. Only the lines of the current airspace block are kept: memory grows
// with the largest block, not with the file.
class MapBlocks {
public:
    // `run` are the run's settings: its rule set decides which lines pass
    // their line check, as in the run.
    explicit MapBlocks(const CheckSettings& run);
    ~MapBlocks();
    MapBlocks(const MapBlocks&) = delete;
    MapBlocks& operator=(const MapBlocks&) = delete;

    // The next line of the file as read (`number` counts from 1). True when
    // it ends an airspace block (it starts the next block): Block() then
    // holds the block that ended, until the next call.
    bool Line(std::int32_t number, std::string_view raw);
    // After the last line: true when the file ended an airspace block.
    bool Finish();
    const MapBlock& Block() const noexcept { return block_; }
    // Whether the last line given lies in an airspace block.
    bool InAirspace() const noexcept { return inAirspace_; }

    // Whether `raw`, line `number` of a file, starts a block (AC, TO or TC)
    // as the run splits lines; with the extended record set a byte-order
    // mark before line 1 is skipped.
    static bool StartsBlockLine(std::string_view raw, std::int32_t number, bool extended);

private:
    bool EndBlock();

    CheckSettings settings_;
    bool inAirspace_ = false;
    std::int32_t firstLine_ = 0;
    // The current airspace block's lines, one after the other.
    std::string text_;
    std::vector<std::size_t> ends_;
    MapBlock block_;
};

}  // namespace corvala
