// Which record set a file declares, for --rules=auto: a *VERSION: 2.x
// header among its leading comments, or any AY record, makes it a file of
// the extended record set; any other file is judged as a file of the
// classic record set, as today's readers read it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/model/rules.h"
#include "engine/input/line_source.h"

namespace corvala {

// The text after "*KEY:" when `raw` is such a header comment ("*VERSION:
// 2.1", "* WRITTEN_BY: ..."), else false.
bool HeaderValue(std::string_view raw, std::string_view key, std::string_view& value) noexcept;
// "2." and digits, with further ".digits" allowed ("2.1", "2.10.3").
bool IsVersion2(std::string_view value) noexcept;

// Looks at a file's lines in order until it knows.
class DeclarationScan {
public:
    // One line: its number, its bytes (without a byte-order mark) and its
    // command word (empty for a blank or comment line).
    void Line(std::int32_t number, std::string_view raw, std::string_view command);
    // Declared extended: nothing later changes the answer.
    bool Extended() const noexcept { return line_ != 0; }
    // The first airspace block has ended (a reader of a stream that cannot
    // be read twice stops looking there).
    bool FirstBlockEnded() const noexcept { return blocks_ > 1; }
    // Sets `extended`, `classicFile` and `declaration` of `settings`.
    // `whole`: every line was looked at (else only up to the end of the
    // first block).
    void Decide(CheckSettings& settings, bool whole) const;

private:
    bool inHeader_ = true;
    int blocks_ = 0;
    std::int32_t line_ = 0;  // the line that declares the extended set
    bool byVersion_ = false;
    std::string version_;
};

// Under settings.byFile, reads `source` (opened) far enough to decide the
// record set and sets it in `settings`; returns the source the run then
// reads from the first line: `source` itself, rewound, or a source that
// gives the lines read ahead again (kept in `replay`).
LineSource& DecideRecordSet(LineSource& source, CheckSettings& settings, std::unique_ptr<LineSource>& replay);

}  // namespace corvala
