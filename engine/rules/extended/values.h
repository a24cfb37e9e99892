// Reading the values of the extended record set, shared by its line rules
// and its block rules so that both read a text the same way. Internal to
// the engine.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>

#include "engine/input/record_line.h"
#include "engine/model/rules.h"

namespace corvala::extended {

// The rules of the extended set are rows of the one rule table.
using Rule = RuleId;

// The parts one after the other: how the rules build their messages.
std::string Join(std::initializer_list<std::string_view> parts);

// How every family reads a record line (engine/input/record_line.h).
using corvala::kByteOrderMark;
using corvala::RecordKey;
using corvala::WithoutByteOrderMark;

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
