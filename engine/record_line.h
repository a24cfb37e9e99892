// Reading one line of a file as a record: the one way the run, the window's
// block analysis, the maps and the record-set scan split a line.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvala {

// A record line's command word as written and its argument: the text after
// the first blank, untrimmed (the comment already cut off).
struct RecordText {
    std::string_view command;
    std::string_view argument;
};

// The comment is cut at the first "*", bytes 0 to 32 are trimmed, and the
// command word ends at the first blank (a tab does not end it). With
// `withoutMark` (the extended line rules read the file) a byte-order mark
// before the command word of line 1 is dropped, and a line that held only
// the mark is empty. False for an empty line.
bool ReadRecordLine(std::string_view raw, std::int32_t number, bool withoutMark, RecordText& out) noexcept;

}  // namespace corvala
