#include "engine/rules/extended/values.h"

#include <chrono>
#include <cstring>

#include "engine/values/display.h"
#include "engine/values/text.h"

namespace corvala::extended {

std::string Join(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts) size += part.size();
    std::string text;
    text.reserve(size);
    for (const std::string_view part : parts) text += part;
    return text;
}

namespace {

// The value of the digits text[at, at + count); false unless all are digits.
bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) noexcept {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

}  // namespace

bool ReadUtcTime(std::string_view text, std::int64_t& seconds) noexcept {
    // YYYY-MM-DDTHH:MM then either Z or :SSZ.
    const bool withSeconds = text.size() == 20;
    if (text.size() != 17 && !withSeconds) return false;
    if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text.back() != 'Z') return false;
    if (withSeconds && text[16] != ':') return false;
    int year, month, day, hour, minute, second = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
        !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || (withSeconds && !Digits(text, 17, 2, second)))
        return false;
    if (minute > 59 || second > 59 || hour > 24 || (hour == 24 && (minute != 0 || second != 0))) return false;
    using namespace std::chrono;
    const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                              std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok()) return false;
    seconds = static_cast<std::int64_t>(sys_days(date).time_since_epoch().count()) * 86400 + hour * 3600 + minute * 60 +
              second;
    return true;
}

bool ReadActivation(std::string_view text, Activation& value, std::string* why) {
    auto fail = [&](std::string message) {
        if (why != nullptr) *why = std::move(message);
        return false;
    };
    value = Activation{};
    if (text.empty()) return fail("the activation time is missing: write NONE or START/END");
    if (text == "NONE") {
        value.none = true;
        return true;
    }
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return fail(Join({"activation time \"", text, "\" is neither NONE nor START/END"}));
    const std::string_view start = TrimText(text.substr(0, slash));
    const std::string_view end = TrimText(text.substr(slash + 1));
    for (const std::string_view side : {start, end}) {
        std::int64_t unused;
        if (side != "NONE" && !ReadUtcTime(side, unused))
            return fail(
                Join({"\"", side, "\" is neither NONE nor a UTC time YYYY-MM-DDTHH:MM[:SS]Z with a real date"}));
    }
    if (start == "NONE" && end == "NONE") return fail("NONE/NONE gives no time at all: write AA NONE");
    if (start != "NONE") ReadUtcTime(start, value.start);
    if (end != "NONE") ReadUtcTime(end, value.end);
    if (value.start >= value.end) return fail(Join({"the start ", start, " is not before the end ", end}));
    return true;
}

bool IsUtf8(std::string_view bytes) noexcept { return IsValidUtf8(bytes); }

}  // namespace corvala::extended
