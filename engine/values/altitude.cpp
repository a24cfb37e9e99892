#include "engine/values/altitude.h"

#include <initializer_list>

#include "engine/values/text.h"

namespace corvala {

namespace {

constexpr double kFeetPerMetre = 1 / 0.3048;

bool IsLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsBlank(char c) noexcept { return static_cast<unsigned char>(c) <= 32; }

// ASCII letters compared regardless of case; `upper` is written in capitals.
bool Is(std::string_view word, std::string_view upper) noexcept {
    if (word.size() != upper.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c != upper[i]) return false;
    }
    return true;
}

bool IsAnyOf(std::string_view word, std::initializer_list<std::string_view> uppers) noexcept {
    for (const std::string_view upper : uppers)
        if (Is(word, upper)) return true;
    return false;
}

bool IsUnit(std::string_view word) noexcept { return IsAnyOf(word, {"FT", "F", "M"}); }

// The kind a reference word gives a number, or Unreadable.
AltitudeKind ReferenceKind(std::string_view word) noexcept {
    // ALT (altitude) and ASFC (above surface) are the words some national
    // files use for MSL and AGL.
    if (IsAnyOf(word, {"MSL", "AMSL", "ALT"})) return AltitudeKind::AboveMsl;
    if (IsAnyOf(word, {"AGL", "GND", "SFC", "ASFC"})) return AltitudeKind::AboveGround;
    if (Is(word, "STD")) return AltitudeKind::Standard;
    return AltitudeKind::Unreadable;
}

std::string_view SkipBlanks(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return text.substr(i);
}

std::string_view TakeLetters(std::string_view& text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsLetter(text[i])) ++i;
    const std::string_view word = text.substr(0, i);
    text = SkipBlanks(text.substr(i));
    return word;
}

// A decimal number: an optional sign, digits, optionally a point and more
// digits. Consumes it from `text`; false when `text` does not start with one.
bool TakeNumber(std::string_view& text, double& value) noexcept {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    const std::size_t digitsStart = i;
    double v = 0;
    while (i < text.size() && IsDigit(text[i])) v = v * 10 + (text[i++] - '0');
    if (i == digitsStart) return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        double scale = 0.1;
        const std::size_t fractionStart = i;
        while (i < text.size() && IsDigit(text[i])) {
            v += (text[i++] - '0') * scale;
            scale /= 10;
        }
        if (i == fractionStart) return false;
    }
    value = negative ? -v : v;
    text = SkipBlanks(text.substr(i));
    return true;
}

// Unit and reference written together without a blank ("ftAMSL", "MAGL"):
// a word that is a reference as a whole stays one ("MSL" is not M + SL).
bool SplitGlued(std::string_view word, std::string_view& unit, std::string_view& reference) noexcept {
    if (ReferenceKind(word) != AltitudeKind::Unreadable) {
        reference = word;
        return true;
    }
    for (const std::size_t length : {std::size_t{2}, std::size_t{1}}) {
        if (word.size() <= length) continue;
        if (IsUnit(word.substr(0, length)) && ReferenceKind(word.substr(length)) != AltitudeKind::Unreadable) {
            unit = word.substr(0, length);
            reference = word.substr(length);
            return true;
        }
    }
    return false;
}

}  // namespace

Altitude ReadAltitude(std::string_view text) noexcept {
    Altitude result;
    text = TrimText(text);
    if (text.empty()) return result;

    if (IsAnyOf(text, {"GND", "SFC"})) {
        result.kind = AltitudeKind::Ground;
        result.reference = text;
        return result;
    }
    if (IsAnyOf(text, {"UNL", "UNLIM", "UNLTD"})) {
        result.kind = AltitudeKind::Unlimited;
        result.reference = text;
        return result;
    }

    if (text.size() > 2 && Is(text.substr(0, 2), "FL")) {
        std::string_view rest = SkipBlanks(text.substr(2));
        std::size_t i = 0;
        double level = 0;
        while (i < rest.size() && IsDigit(rest[i])) level = level * 10 + (rest[i++] - '0');
        if (i == 0 || i != rest.size()) return result;
        result.kind = AltitudeKind::FlightLevel;
        result.feet = level * 100;
        result.reference = text.substr(0, 2);
        return result;
    }

    std::string_view rest = text;
    double value;
    if (!TakeNumber(rest, value)) return result;
    const std::string_view first = TakeLetters(rest);
    const std::string_view second = TakeLetters(rest);
    if (!rest.empty()) return result;

    std::string_view unit, reference;
    if (first.empty()) {
        // A number alone.
    } else if (IsUnit(first)) {
        unit = first;
        reference = second;
        if (!reference.empty() && ReferenceKind(reference) == AltitudeKind::Unreadable) return result;
    } else if (second.empty()) {
        if (!SplitGlued(first, unit, reference)) return result;
    } else {
        return result;
    }

    result.kind = reference.empty() ? AltitudeKind::AboveMsl : ReferenceKind(reference);
    result.feet = !unit.empty() && Is(unit, "M") ? value * kFeetPerMetre : value;
    result.unit = unit;
    result.reference = reference;
    return result;
}

std::optional<bool> LimitsInverted(const Altitude& lower, const Altitude& upper) noexcept {
    using K = AltitudeKind;
    if (lower.kind == K::Unreadable || upper.kind == K::Unreadable) return std::nullopt;
    if (upper.kind == K::Ground || lower.kind == K::Unlimited) return true;
    if (lower.kind == K::Ground || upper.kind == K::Unlimited) return false;
    if (lower.kind != upper.kind) return std::nullopt;
    return lower.feet >= upper.feet;
}

}  // namespace corvala
