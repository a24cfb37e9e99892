// The texts the window and corvala-check share: the window title, the
// error-list items, the log lines and the closing items of a run. Both
// front ends build them here, from the values of engine/model/findings.h, so that
// they cannot drift apart.
//
// Two styles: the classic one, for runs with the line checks alone, gives
// the items the error list has always had ("Line 3: AC returned error:
// ..."); the detailed one, for runs with further checks, adds severity and
// rule id to every item and counts errors, warnings and notes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/model/findings.h"

namespace corvala {

enum class TextStyle : std::uint8_t { Classic, Detailed };

// "Corvala - " + the file name part of the path: the text after its last
// "\", ":" or "/" (on this platform "/" separates the parts of a path too).
std::string RunTitle(std::string_view path);

// The three characters that mark a log line: " ok", "err" or "wrn".
std::string_view MarkerText(Verdict verdict) noexcept;

// A log line without its line end: the marker, a blank, the number, a
// blank and the text.
std::string LogLineText(Verdict verdict, std::int64_t number, std::string_view text);

// The error-list item of a finding. Classic: "Line n: CMD returned error:
// MESSAGE" or "Line n: CMD not implemented.". Detailed: "Line n: error:
// MESSAGE [rule]" ("File: ..." for a finding about the whole file).
std::string ErrorItemText(const Finding& finding, TextStyle style);

// The item that a cancelled run adds before its summary.
inline constexpr std::string_view kCancelledItem = "*** Validation CANCELLED ***";

// The closing item of the error list: "   *** 2 errors found" (classic), or
// "   *** 2 errors, 1 warning, 0 notes found" (detailed).
std::string SummaryItemText(const RunEnd& end, TextStyle style);

// The closing line of the log, as the parts of a log line.
struct SummaryLine {
    Verdict verdict;
    std::int64_t number;
    std::string text;
};
// Classic: "err 2  errors found." or " ok 0 No errors found."; detailed:
// "err 0 2 errors, 1 warning, 0 notes found." with the marker of the worst
// severity found. A cancelled run says where it stopped: "wrn 0 Cancelled at
// line 120: 0 errors, 0 warnings, 1 note found so far." (at least "wrn").
SummaryLine SummaryLogLine(const RunEnd& end, TextStyle style);

}  // namespace corvala
