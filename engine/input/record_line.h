// Reading one line of a file as a record: the one way the run, the window's
// block analysis, the maps and the record-set scan split a line.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvala {

// A command word folded for comparison as the validator dispatch compares
// names: each byte with its bit of value 32 set, so letters match in any
// case. 0 for words longer than two bytes.
constexpr std::uint32_t RecordKey(std::string_view word) noexcept {
    if (word.empty() || word.size() > 2) return 0;
    std::uint32_t key = static_cast<std::uint32_t>(word.size()) << 16;
    for (std::size_t i = 0; i < word.size(); ++i)
        key |= (static_cast<std::uint32_t>(static_cast<unsigned char>(word[i])) | 0x20u) << (8 * i);
    return key;
}

// The byte-order mark some editors put at the start of a file. The run
// reads it as part of the first line's command word; the extended rules
// report it once as a note and read the line without it. On line 1,
// removes it from `command`, and when nothing is left takes the command
// word from `argument` instead. False when the line is then empty.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
bool WithoutByteOrderMark(std::string_view& command, std::string_view& argument) noexcept;

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

// True for the command words that start a block: AC, TO, TC, letters in
// any case (the same comparison as the dispatch to the validators).
bool StartsBlock(std::string_view command) noexcept;

}  // namespace corvala
