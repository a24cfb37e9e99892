#include "engine/run/spans.h"

#include <cstring>
#include <string>

#include "engine/values/altitude.h"
#include "engine/values/coordinate_text.h"
#include "engine/values/coordinates.h"
#include "engine/values/display.h"
#include "engine/values/pattern.h"
#include "engine/values/text.h"

namespace corvala {

namespace {

ByteSpan Of(std::string_view line, std::string_view part) {
    if (part.data() == nullptr) return {};
    return {static_cast<std::int32_t>(part.data() - line.data()),
            static_cast<std::int32_t>(part.data() - line.data() + static_cast<std::ptrdiff_t>(part.size()))};
}

std::string_view Cut(std::string_view line, ByteSpan span) {
    return line.substr(static_cast<std::size_t>(span.begin), static_cast<std::size_t>(span.end - span.begin));
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool IsCoordinateRecord(RuleId rule) {
    return rule == RuleId::DP || rule == RuleId::DB || rule == RuleId::DY || rule == RuleId::AT || rule == RuleId::V;
}

// Checks one field as the coordinate check does: an integer or a real in
// [0, upper], or a compass letter.
bool IntegerOk(std::string_view field, std::int32_t upper) {
    std::int32_t value;
    return ScanInt(field, value) && value >= 0 && value <= upper;
}
bool RealOk(std::string_view field, float upper) {
    long double value;
    float narrowed;
    return ScanReal(field, value) && ScanSingle(value, narrowed) && narrowed >= 0.0f && narrowed <= upper;
}
bool LetterOk(std::string_view field) {
    return field.size() == 1 && (field[0] == 'N' || field[0] == 'S' || field[0] == 'E' || field[0] == 'W');
}

// The index of the field of a faulty coordinate text that its check stops
// at; npos when the text has none of the forms' shapes.
std::size_t FaultyFieldIndex(std::string_view text, FieldList& fields);

// That field as a view into `text`. The fields come in the order of the
// text, so each is found after the one before it (a one-character field
// need not be a view into the text).
std::string_view FaultyField(std::string_view text, FieldList& fields) {
    const std::size_t index = FaultyFieldIndex(text, fields);
    if (index == std::string_view::npos) return {};
    std::size_t cursor = 0;
    for (std::size_t i = 0; i <= index; ++i) {
        if (fields[i].empty()) return {};
        const std::size_t at = text.find(fields[i], cursor);
        if (at == std::string_view::npos) return {};
        if (i == index) return text.substr(at, fields[i].size());
        cursor = at + fields[i].size();
    }
    return {};
}

std::size_t FaultyFieldIndex(std::string_view text, FieldList& fields) {
    const Outcome outcome = ScanCoordinate(text, fields);
    if (outcome.ok()) return std::string_view::npos;
    const std::size_t n = fields.size();
    if (n != 8 && n != 6 && n != 4) return std::string_view::npos;
    if (Contains(outcome.message, "Both points")) return n - 1;
    const std::size_t perAngle = n / 2;
    for (std::size_t angle = 0; angle < 2; ++angle) {
        const std::string_view* f = &fields[angle * perAngle];
        switch (perAngle) {
        case 4:
            if (!IntegerOk(f[0], 180)) return angle * perAngle + 0;
            if (!IntegerOk(f[1], 60)) return angle * perAngle + 1;
            if (!RealOk(f[2], 60.0f)) return angle * perAngle + 2;
            if (!LetterOk(f[3])) return angle * perAngle + 3;
            break;
        case 3:
            if (!IntegerOk(f[0], 180)) return angle * perAngle + 0;
            if (!RealOk(f[1], 60.0f)) return angle * perAngle + 1;
            if (!LetterOk(f[2])) return angle * perAngle + 2;
            break;
        default:
            if (!RealOk(f[0], 180.0f)) return angle * perAngle + 0;
            if (!LetterOk(f[1])) return angle * perAngle + 1;
            break;
        }
    }
    return std::string_view::npos;
}

// A faulty coordinate written in `text` (a view into the line): the field
// at fault, else the whole text; unknown when the coordinate is valid.
ByteSpan CoordinateFault(std::string_view line, std::string_view text) {
    text = TrimText(text);
    if (text.empty()) return {};
    thread_local FieldList fields;
    thread_local std::string buffer;
    const std::string_view canonical = CanonicalCoordinate(text, buffer);
    if (ScanCoordinate(canonical, fields).ok()) return {};
    const std::string_view field = FaultyField(canonical, fields);
    if (field.empty()) return Of(line, text);
    const bool inText = canonical.data() >= text.data() && canonical.data() + canonical.size() <= text.data() + text.size();
    if (inText) return Of(line, field);
    // The respaced copy differs from the text only in its blanks: the n-th
    // byte that is not a blank in one is the n-th in the other.
    auto nonBlankIndex = [](std::string_view s, std::size_t upTo) {
        std::size_t count = 0;
        for (std::size_t i = 0; i < upTo; ++i) count += s[i] != ' ' && s[i] != '\t';
        return count;
    };
    auto nthNonBlank = [](std::string_view s, std::size_t n) -> std::size_t {
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == ' ' || s[i] == '\t') continue;
            if (n-- == 0) return i;
        }
        return std::string_view::npos;
    };
    const std::size_t fieldBegin = static_cast<std::size_t>(field.data() - canonical.data());
    const std::size_t fieldEnd = fieldBegin + field.size();
    if (field.empty() || fieldEnd == fieldBegin) return Of(line, text);
    const std::size_t first = nthNonBlank(text, nonBlankIndex(canonical, fieldBegin));
    const std::size_t last = nthNonBlank(text, nonBlankIndex(canonical, fieldEnd - 1));
    if (first == std::string_view::npos || last == std::string_view::npos || last < first) return Of(line, text);
    return Of(line, text.substr(first, last - first + 1));
}

// The coordinate of a record at fault: DP, DY, AT its argument, V the value
// after "=", DB the first of its two points that is faulty.
ByteSpan CoordinateSpan(std::string_view line, RuleId rule, std::string_view argument) {
    if (rule == RuleId::V) {
        const std::size_t equals = argument.find('=');
        if (equals == std::string_view::npos) return {};
        return CoordinateFault(line, argument.substr(equals + 1));
    }
    if (rule == RuleId::DB) {
        const std::size_t comma = argument.find(',');
        if (comma == std::string_view::npos) return {};
        const ByteSpan first = CoordinateFault(line, argument.substr(0, comma));
        if (first.Known()) return first;
        return CoordinateFault(line, argument.substr(comma + 1));
    }
    return CoordinateFault(line, argument);
}

// The word of a limit at fault.
ByteSpan AltitudeSpan(std::string_view line, RuleId rule, std::string_view argument) {
    const Altitude altitude = ReadAltitude(argument);
    if (altitude.kind == AltitudeKind::Unreadable) return {};
    // The number: what stands before the unit or the reference.
    auto number = [&]() -> ByteSpan {
        const char* stop = argument.data() + argument.size();
        if (!altitude.unit.empty()) stop = altitude.unit.data();
        else if (!altitude.reference.empty()) stop = altitude.reference.data();
        const std::string_view digits =
            TrimText(argument.substr(0, static_cast<std::size_t>(stop - argument.data())));
        return digits.empty() ? ByteSpan{} : Of(line, digits);
    };
    if (rule == RuleId::AltitudeWithoutUnit) return number();
    const std::string_view reference = altitude.reference;
    switch (altitude.kind) {
    case AltitudeKind::Ground:
    case AltitudeKind::Unlimited:
        return reference.empty() ? ByteSpan{} : Of(line, reference);
    case AltitudeKind::FlightLevel:
        return {};
    default:
        break;
    }
    if (rule != RuleId::AltitudeSpelling) return {};
    if (!reference.empty() && !EqualsFolded(reference, "AMSL") && !EqualsFolded(reference, "AGL") &&
        !EqualsFolded(reference, "STD"))
        return Of(line, reference);
    if (altitude.unit.empty()) return number();
    if (EqualsFolded(altitude.unit, "F")) return Of(line, altitude.unit);
    return {};
}

// A header comment's value ("2.1" of "*VERSION: 2.1"), else the comment.
ByteSpan HeaderSpan(std::string_view line) {
    const std::string_view text = TrimText(line);
    if (text.empty()) return {};
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.front() == '*') {
        const std::string_view value = TrimText(text.substr(colon + 1));
        if (!value.empty()) return Of(line, value);
    }
    return Of(line, text);
}

// The first byte that is not part of a valid UTF-8 sequence.
ByteSpan FirstInvalidByte(std::string_view line) {
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t length = Utf8SequenceLength(line.substr(i));
        if (length == 0) return {static_cast<std::int32_t>(i), static_cast<std::int32_t>(i + 1)};
        i += length;
    }
    return {};
}

}  // namespace

bool SplitRawLine(std::string_view rawLine, LineParts& parts) noexcept {
    parts = {};
    std::string_view text = rawLine;
    const std::size_t star = text.find('*');
    if (star != std::string_view::npos) text = text.substr(0, star);
    if (text.size() >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0) text.remove_prefix(3);
    text = TrimText(text);
    if (text.empty()) return false;
    const std::size_t blank = text.find(' ');
    const std::string_view command = blank == std::string_view::npos ? text : text.substr(0, blank);
    const std::string_view argument =
        blank == std::string_view::npos ? std::string_view(text.data() + text.size(), 0) : TrimText(text.substr(blank + 1));
    parts.command = Of(rawLine, command);
    parts.argument = argument.empty() ? ByteSpan{parts.command.end, parts.command.end} : Of(rawLine, argument);
    return true;
}

ByteSpan LocateSpan(const Finding& finding, std::string_view line) {
    if (finding.line <= 0) return {};
    const RuleId rule = finding.rule;
    if (rule == RuleId::NotUtf8) {
        const ByteSpan invalid = FirstInvalidByte(line);
        if (invalid.Known()) return invalid;
    }
    if (rule == RuleId::ByteOrderMark && line.size() >= 3 && std::memcmp(line.data(), "\xEF\xBB\xBF", 3) == 0)
        return {0, 3};
    LineParts parts;
    if (!SplitRawLine(line, parts)) return HeaderSpan(line);
    const ByteSpan commandSpan = parts.command;
    const ByteSpan argumentSpan = parts.argument;
    const std::string_view argument = Cut(line, argumentSpan);
    const ByteSpan whole = argument.empty() ? commandSpan : argumentSpan;

    if (rule == RuleId::NotImplemented || rule == RuleId::UnknownRecord || rule == RuleId::DiscouragedRecord ||
        rule == RuleId::RepeatedRecord || rule == RuleId::RecordOutsideBlock || rule == RuleId::MissingCentre ||
        rule == RuleId::TypeNotAfterClass)
        return commandSpan;
    if (IsCoordinateRecord(rule) && Contains(finding.message, "Not a coordinate")) {
        const ByteSpan span = CoordinateSpan(line, rule, argument);
        return span.Known() ? span : whole;
    }
    if (rule == RuleId::AH || rule == RuleId::AL || rule == RuleId::Altitude || rule == RuleId::AltitudeSpelling ||
        rule == RuleId::AltitudeWithoutUnit) {
        const ByteSpan span = AltitudeSpan(line, rule, argument);
        return span.Known() ? span : whole;
    }
    if (rule == RuleId::Frequency || rule == RuleId::FrequencyChannel) {
        const std::size_t blank = argument.find_first_of(" \t");
        if (rule == RuleId::FrequencyChannel && blank != std::string_view::npos)
            return {argumentSpan.begin, argumentSpan.begin + static_cast<std::int32_t>(blank)};
        return whole;
    }
    if (rule == RuleId::FrequencyRemark) {
        // The text after the frequency.
        const std::size_t blank = argument.find_first_of(" \t");
        if (blank != std::string_view::npos) {
            const std::string_view remark = TrimText(argument.substr(blank));
            if (!remark.empty()) return Of(line, remark);
        }
        return whole;
    }
    if (rule == RuleId::CoordinateSixty) {
        // The minutes or seconds of the coordinate the message quotes.
        const std::size_t open = finding.message.find('"');
        const std::size_t close = open == std::string::npos ? open : finding.message.find('"', open + 1);
        if (close != std::string::npos) {
            const std::string_view quoted = std::string_view(finding.message).substr(open + 1, close - open - 1);
            const std::size_t at = quoted.empty() ? std::string_view::npos : argument.find(quoted);
            if (at != std::string_view::npos) {
                const std::string_view coordinate = argument.substr(at, quoted.size());
                const std::size_t first = coordinate.find(':');
                const bool seconds = Contains(finding.message, "seconds");
                const std::size_t from = first == std::string_view::npos ? first
                                         : seconds                      ? coordinate.find(':', first + 1)
                                                                        : first;
                if (from != std::string_view::npos) {
                    const std::size_t to = coordinate.find_first_of(": \tNSEWnsew", from + 1);
                    const std::string_view field =
                        coordinate.substr(from + 1, (to == std::string_view::npos ? coordinate.size() : to) - from - 1);
                    if (!field.empty()) return Of(line, field);
                }
                return Of(line, coordinate);
            }
        }
        return whole;
    }
    if (rule == RuleId::ArcRadiusMismatch) {
        const std::size_t comma = argument.find(',');
        if (comma != std::string_view::npos) {
            const std::string_view end = TrimText(argument.substr(comma + 1));
            if (!end.empty()) return Of(line, end);
        }
        return whole;
    }
    if (rule == RuleId::UnsupportedVersion || rule == RuleId::ExtendedRulesSuggested || rule == RuleId::MissingHeader)
        return HeaderSpan(line);
    return whole;
}

namespace {

// The bytes of the character at `at` and its length in `unit`.
struct DisplayChar {
    std::size_t bytes;
    std::size_t units;
};
DisplayChar CharAt(std::string_view line, std::size_t at, TextUnit unit) noexcept {
    const std::size_t length = Utf8SequenceLength(line.substr(at));
    if (length > 0) return {length, unit == TextUnit::Utf8 ? length : (length == 4 ? 2u : 1u)};
    if (unit == TextUnit::Utf16) return {1, 1};
    const char16_t c = Windows1252Char(static_cast<unsigned char>(line[at]));
    return {1, c < 0x80 ? 1u : c < 0x800 ? 2u : 3u};
}

}  // namespace

std::size_t DisplayOffset(std::string_view line, std::size_t byteOffset, TextUnit unit, bool roundUp) noexcept {
    if (byteOffset > line.size()) byteOffset = line.size();
    std::size_t units = 0;
    for (std::size_t at = 0; at < byteOffset;) {
        const DisplayChar c = CharAt(line, at, unit);
        if (at + c.bytes > byteOffset && !roundUp) break;
        units += c.units;
        at += c.bytes;
    }
    return units;
}

std::size_t ByteOffset(std::string_view line, std::size_t units, TextUnit unit) noexcept {
    std::size_t at = 0, counted = 0;
    while (at < line.size()) {
        const DisplayChar c = CharAt(line, at, unit);
        if (counted + c.units > units) break;
        counted += c.units;
        at += c.bytes;
    }
    return at;
}

void AttachSpan(Finding& finding, std::string_view rawLine) {
    if (finding.HasSpan()) return;
    const ByteSpan span = LocateSpan(finding, rawLine);
    if (!span.Known()) return;
    finding.column = span.begin;
    finding.endColumn = span.end;
}

}  // namespace corvala
