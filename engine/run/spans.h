// Where on its line a finding points: the narrowest run of bytes that the
// fault is about (the class word of AC, the minutes of a coordinate with 61
// minutes, the unit or reference of a limit, the frequency, the end point
// of an arc whose radius disagrees), else the whole argument, else the
// command word. Worked out from the rule id, the message and the line's
// bytes, so that the rules themselves need not carry positions.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/model/findings.h"

namespace corvala {

struct ByteSpan {
    std::int32_t begin = -1;  // 0-based byte offsets into the raw line
    std::int32_t end = -1;  // exclusive
    bool Known() const noexcept { return begin >= 0 && end >= begin; }
};

// The span of `finding` on `rawLine` (the bytes of line finding.line as
// read, comment included); unknown for line 0 and for an empty line.
ByteSpan LocateSpan(const Finding& finding, std::string_view rawLine);

// Fills in finding.column and finding.endColumn from LocateSpan, unless
// they are known already.
void AttachSpan(Finding& finding, std::string_view rawLine);

// The command word and the argument of a raw line as the run splits it
// (comment cut at the first "*", blanks 0 to 32 trimmed, the command word
// up to the first blank), as byte offsets; a byte-order mark before the
// command word is skipped. Empty spans (begin == end) when absent; false
// for a line without a command.
struct LineParts {
    ByteSpan command;
    ByteSpan argument;  // trimmed
};
bool SplitRawLine(std::string_view rawLine, LineParts& parts) noexcept;

// Positions on a line as front ends count them: in code units of the text
// the line's bytes decode to for display (engine/values/display.h: UTF-8
// sequences as their characters, other bytes as Windows-1252 characters).
enum class TextUnit : unsigned char { Utf8, Utf16 };

// The units that bytes [0, byteOffset) of `line` decode to. An offset
// inside a character counts that character when `roundUp`, else not, so
// that a span never splits a character.
std::size_t DisplayOffset(std::string_view line, std::size_t byteOffset, TextUnit unit, bool roundUp = false) noexcept;

// The byte offset where the character at display offset `units` starts (a
// position inside a character moves to its start; beyond the end, the
// line's length).
std::size_t ByteOffset(std::string_view line, std::size_t units, TextUnit unit) noexcept;

}  // namespace corvala
