// Reading the values of the extended record set, shared by its line rules
// and its block rules so that both read a text the same way. Internal to
// the engine.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

#include "engine/checks.h"

namespace corvala::extended {

// The rules of the extended set are rows of the one rule table.
using Rule = RuleId;

// The parts one after the other: how the rules build their messages.
std::string Join(std::initializer_list<std::string_view> parts);

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

// An AA value: NONE, or an interval whose sides are UTC times in seconds
// since 1970 or open (NONE).
struct Activation {
    static constexpr std::int64_t kOpenStart = std::numeric_limits<std::int64_t>::min();
    static constexpr std::int64_t kOpenEnd = std::numeric_limits<std::int64_t>::max();
    bool none = false;
    std::int64_t start = kOpenStart;
    std::int64_t end = kOpenEnd;
};

// Reads a trimmed AA argument. False when it is not a valid value; then
// `why`, when given, receives the message.
bool ReadActivation(std::string_view text, Activation& value, std::string* why);

// Reads "YYYY-MM-DDTHH:MM[:SS]Z" with a real date; "T24:00Z" (and
// "T24:00:00Z") stands for the end of the day.
bool ReadUtcTime(std::string_view text, std::int64_t& seconds) noexcept;

// True when `bytes` are well-formed UTF-8.
bool IsUtf8(std::string_view bytes) noexcept;

}  // namespace corvala::extended
