// The language server's answers about a document: hover texts, the outline
// of its airspaces, and the quick fix that closes an outline.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

#include "cli/lsp/protocol.h"
#include "cli/lsp/server.h"
#include "engine/values/altitude.h"
#include "engine/rules/checks_beyond_lines.h"
#include "engine/values/coordinate_text.h"
#include "engine/values/display.h"
#include "engine/values/position.h"
#include "engine/geo/geodesics.h"
#include "engine/values/pattern.h"
#include "engine/run/spans.h"
#include "engine/values/text.h"
#include "engine/run/mend.h"

namespace corvala::lsp {

namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return upper;
}

std::string Fixed(double value, int digits) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    return buffer;
}

// One line of a document split as the run splits it.
struct Record {
    std::string command;  // upper case
    std::string_view commandText;
    std::string_view argument;  // trimmed
    ByteSpan argumentSpan;
};

bool ReadRecord(std::string_view line, Record& record) {
    LineParts parts;
    if (!SplitRawLine(line, parts)) return false;
    record.commandText = line.substr(static_cast<std::size_t>(parts.command.begin),
                                     static_cast<std::size_t>(parts.command.end - parts.command.begin));
    record.command = Upper(record.commandText);
    record.argumentSpan = parts.argument;
    record.argument = line.substr(static_cast<std::size_t>(parts.argument.begin),
                                  static_cast<std::size_t>(parts.argument.end - parts.argument.begin));
    return true;
}

// "52:30.000 N 013:20.000 E": degrees and decimal minutes.
std::string FormatDm(GeoPoint point) {
    auto angle = [](double value, int width, char positive, char negative) {
        const char letter = value < 0 ? negative : positive;
        value = std::fabs(value);
        long long thousandths = std::llround(value * 60000.0);
        const long long degrees = thousandths / 60000;
        thousandths %= 60000;
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "%0*lld:%02lld.%03lld %c", width, degrees, thousandths / 1000,
                      thousandths % 1000, letter);
        return std::string(buffer);
    };
    return angle(point.latitude, 2, 'N', 'S') + " " + angle(point.longitude, 3, 'E', 'W');
}

std::string DescribePoint(GeoPoint point) {
    return "Decimal degrees: " + Fixed(point.latitude, 6) + ", " + Fixed(point.longitude, 6) +
           "  \nDegrees, minutes, seconds: " + FormatDms(point) + "  \nDegrees, decimal minutes: " + FormatDm(point);
}

std::string DescribeAltitude(std::string_view text) {
    const Altitude altitude = ReadAltitude(text);
    const std::string metres = Fixed(altitude.feet * 0.3048, 0);
    const std::string feet = Fixed(altitude.feet, 0);
    switch (altitude.kind) {
    case AltitudeKind::Unreadable:
        return "Not an altitude any reader takes.";
    case AltitudeKind::Ground:
        return "The ground (the surface).";
    case AltitudeKind::Unlimited:
        return "Unlimited: no upper limit.";
    case AltitudeKind::FlightLevel:
        return "Flight level: " + feet + " ft (" + metres + " m) pressure altitude (standard pressure, 1013.25 hPa).";
    case AltitudeKind::AboveMsl:
        return feet + " ft (" + metres + " m) above mean sea level" +
               (altitude.WithoutUnit() ? " (no unit: read as feet)." : ".");
    case AltitudeKind::AboveGround:
        return feet + " ft (" + metres + " m) above ground level" +
               (altitude.WithoutUnit() ? " (no unit: read as feet)." : ".");
    case AltitudeKind::Standard:
        return feet + " ft (" + metres + " m) pressure altitude (standard pressure).";
    }
    return {};
}

struct Meaning {
    std::string_view word;
    std::string_view text;
};

constexpr Meaning kClasses[] = {
    {"A", "ICAO class A: IFR only, all flights under air traffic control."},
    {"B", "ICAO class B: IFR and VFR, all flights under control and separated."},
    {"C", "ICAO class C: IFR and VFR under control; VFR separated from IFR."},
    {"D", "ICAO class D: IFR and VFR under control; traffic information only for VFR."},
    {"E", "ICAO class E: IFR under control; VFR without clearance."},
    {"F", "ICAO class F: advisory service for IFR."},
    {"G", "ICAO class G: uncontrolled airspace."},
    {"UNC", "Unclassified: the airspace has no ICAO class (its type is in AY)."},
    {"R", "Restricted area (older files; today AC UNC with AY R)."},
    {"Q", "Danger area (older files; today AY Q)."},
    {"P", "Prohibited area (older files; today AY P)."},
    {"CTR", "Control zone (older files; today AY CTR)."},
    {"GP", "Gliders prohibited (older files; today AY P)."},
    {"W", "Wave window (older files; today AY GSEC)."},
    {"TMZ", "Transponder mandatory zone (older files; today AY TMZ)."},
    {"RMZ", "Radio mandatory zone (older files; today AY RMZ)."},
};

constexpr Meaning kTypes[] = {
    {"ACCSEC", "Airspace for gliders near an airfield, by arrangement with air traffic control."},
    {"ADIZ", "Air defence identification zone."},
    {"ALERT", "Alert area: unusual activity, no restriction."},
    {"ASRA", "Aerial sporting and recreational area."},
    {"ATZ", "Aerodrome traffic zone."},
    {"AWY", "Airway."},
    {"CTA", "Control area."},
    {"CTR", "Control zone."},
    {"CUSTOM", "An airspace type of the file's own."},
    {"FIR", "Flight information region."},
    {"FIS", "Flight information service sector."},
    {"GSEC", "Gliding sector (wave window)."},
    {"HTZ", "Helicopter traffic zone."},
    {"LTA", "Lower traffic area."},
    {"MATZ", "Military aerodrome traffic zone."},
    {"MTA", "Military training area."},
    {"MTR", "Military training route."},
    {"N", "NOTAM-activated airspace."},
    {"NONE", "No type."},
    {"OFR", "Overflight restriction."},
    {"P", "Prohibited area."},
    {"Q", "Danger area."},
    {"R", "Restricted area."},
    {"RMZ", "Radio mandatory zone."},
    {"TFR", "Temporary flight restriction."},
    {"TIA", "Traffic information area."},
    {"TIZ", "Traffic information zone."},
    {"TMA", "Terminal manoeuvring area."},
    {"TMZ", "Transponder mandatory zone."},
    {"TRA", "Temporary reserved area."},
    {"TRAFR", "Temporary reserved area for free routing."},
    {"TRZ", "Transponder recommended zone."},
    {"TSA", "Temporary segregated area."},
    {"UIR", "Upper flight information region."},
    {"UTA", "Upper traffic area."},
    {"VFRR", "VFR route."},
    {"VFRSEC", "VFR sector."},
    {"WARNING", "Warning area."},
};

template <std::size_t N>
std::string MeaningOf(const Meaning (&table)[N], std::string_view word) {
    const std::string upper = Upper(word);
    for (const Meaning& meaning : table)
        if (meaning.word == upper) return std::string(meaning.text);
    return {};
}

// The block around line `index`: the last line at or before it that
// starts a block (or 0), and the line after the block's last.
struct BlockLines {
    std::size_t first = 0;
    std::size_t end = 0;
};

BlockLines BlockAround(const Document& document, std::size_t index) {
    BlockLines block{0, document.LineCount()};
    Record record;
    for (std::size_t i = index + 1; i-- > 0;) {
        if (ReadRecord(document.Line(i), record) && StartsBlock(record.command)) {
            block.first = i;
            break;
        }
    }
    for (std::size_t i = index + 1; i < document.LineCount(); ++i) {
        if (ReadRecord(document.Line(i), record) && StartsBlock(record.command)) {
            block.end = i;
            break;
        }
    }
    return block;
}

// The centre and direction in force at line `index`: the last V X= and
// V D= of its block before it.
struct ArcState {
    std::optional<GeoPoint> centre;
    bool clockwise = true;
};

ArcState ArcStateAt(const Document& document, std::size_t index) {
    ArcState state;
    const BlockLines block = BlockAround(document, index);
    Record record;
    for (std::size_t i = block.first; i < index; ++i) {
        if (!ReadRecord(document.Line(i), record) || record.command != "V") continue;
        const std::size_t equals = record.argument.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string name = Upper(TrimText(record.argument.substr(0, equals)));
        const std::string_view value = TrimText(record.argument.substr(equals + 1));
        GeoPoint point;
        if (name == "X" && ReadPoint(value, point)) state.centre = point;
        if (name == "D") state.clockwise = value != "-";
    }
    return state;
}

double Normalised(double degrees) {
    degrees = std::fmod(degrees, 360.0);
    return degrees < 0 ? degrees + 360.0 : degrees;
}

std::string DescribeArc(const Document& document, std::size_t index, const Record& record) {
    const ArcState state = ArcStateAt(document, index);
    const std::string direction = state.clockwise ? "clockwise" : "counter-clockwise";
    if (!state.centre) return "No centre: no `V X=` before this line in the block.";
    std::string text = "Centre: " + FormatDms(*state.centre) + "  \n";
    if (record.command == "DC") {
        long double radius;
        if (ScanReal(record.argument, radius))
            text += "Circle of radius " + Fixed(static_cast<double>(radius), 2) + " NM (" +
                    Fixed(static_cast<double>(radius) * kMetresPerNauticalMile / 1000, 2) + " km).";
        return text;
    }
    if (record.command == "DA") {
        FieldList fields;
        long double values[3];
        if (ScanFields(record.argument, "s,s,s", fields, true) != PatternCheck::Matched) return text;
        for (int i = 0; i < 3; ++i)
            if (!ScanReal(fields[static_cast<std::size_t>(i)], values[i])) return text;
        const double from = static_cast<double>(values[1]), to = static_cast<double>(values[2]);
        double sweep = state.clockwise ? Normalised(to - from) : Normalised(from - to);
        text += "Radius " + Fixed(static_cast<double>(values[0]), 2) + " NM, from bearing " + Fixed(from, 1) +
                "° to " + Fixed(to, 1) + "°, " + direction + ", sweep " + Fixed(sweep, 1) + "°.";
        return text;
    }
    // DB: both ends.
    const std::size_t comma = record.argument.find(',');
    GeoPoint start, end;
    if (comma == std::string_view::npos || !ReadPoint(TrimText(record.argument.substr(0, comma)), start) ||
        !ReadPoint(TrimText(record.argument.substr(comma + 1)), end))
        return text;
    const Bearing a = GeodesicTo(*state.centre, start), b = GeodesicTo(*state.centre, end);
    const double sweep = state.clockwise ? Normalised(b.degrees - a.degrees) : Normalised(a.degrees - b.degrees);
    text += "Radius " + Fixed(a.metres / kMetresPerNauticalMile, 2) + " NM at the start, " +
            Fixed(b.metres / kMetresPerNauticalMile, 2) + " NM at the end; from bearing " +
            Fixed(Normalised(a.degrees), 1) + "° to " + Fixed(Normalised(b.degrees), 1) + "°, " + direction +
            ", sweep " + Fixed(sweep, 1) + "°.";
    return text;
}

}  // namespace

Json Server::Hover(const Json& params) const {
    const Document* document = Find(params);
    if (!document) return nullptr;
    const Position position = ReadPosition(params.at("position"));
    if (position.line < 0 || static_cast<std::size_t>(position.line) >= document->LineCount()) return nullptr;
    const auto index = static_cast<std::size_t>(position.line);
    const std::string_view line = document->Line(index);
    Record record;
    if (!ReadRecord(line, record)) return nullptr;
    const std::size_t at = ByteOffset(line, static_cast<std::size_t>(std::max<std::int64_t>(0, position.character)), unit_);
    const auto argumentBegin = static_cast<std::size_t>(record.argumentSpan.begin);
    std::string text;
    const std::string& command = record.command;
    if (command == "DP" || command == "DY" || command == "AT" || command == "DB" || command == "V") {
        std::string_view coordinate = record.argument;
        if (command == "V") {
            const std::size_t equals = coordinate.find('=');
            if (equals == std::string_view::npos || Upper(TrimText(coordinate.substr(0, equals))) != "X")
                return nullptr;
            coordinate = TrimText(coordinate.substr(equals + 1));
        }
        if (command == "DB") {
            // The end under the cursor, and the arc.
            const std::size_t comma = coordinate.find(',');
            if (comma != std::string_view::npos)
                coordinate = TrimText(at > argumentBegin + comma ? coordinate.substr(comma + 1) : coordinate.substr(0, comma));
        }
        GeoPoint point;
        if (ReadPoint(coordinate, point)) {
            text = "**" + std::string(DecodeForDisplay(coordinate)) + "**  \n" + DescribePoint(point);
        } else {
            text = "Not a position on the earth.";
        }
        if (command == "DB") text += "\n\n" + DescribeArc(*document, index, record);
    } else if (command == "AH" || command == "AL") {
        text = std::string(command == "AH" ? "Upper limit: " : "Lower limit: ") + DescribeAltitude(record.argument);
    } else if (command == "AC") {
        text = MeaningOf(kClasses, record.argument);
        if (text.empty()) text = "Not a class Corvala knows.";
    } else if (command == "AY") {
        text = MeaningOf(kTypes, record.argument);
        if (text.empty()) text = "Not a type of the extended record set.";
    } else if (command == "DA" || command == "DC") {
        text = DescribeArc(*document, index, record);
    } else {
        return nullptr;
    }
    return {{"contents", {{"kind", "markdown"}, {"value", text}}},
            {"range",
             {{"start", ToJson(document->PositionOf(index, static_cast<std::size_t>(record.argumentSpan.begin), unit_))},
              {"end", ToJson(document->PositionOf(index, static_cast<std::size_t>(record.argumentSpan.end), unit_,
                                                  true))}}}};
}

Json Server::DocumentSymbols(const Json& params) const {
    const Document* document = Find(params);
    if (!document) return nullptr;
    Json symbols = Json::array();
    struct Open {
        std::size_t first = 0, last = 0, nameLine = 0;
        std::string kind, name, upper, lower;
        ByteSpan nameSpan;
    };
    std::optional<Open> open;
    auto close = [&] {
        if (!open) return;
        std::string name = open->name.empty() ? "(" + open->kind + " without AN)" : open->name;
        std::string detail = open->kind;
        if (!open->lower.empty() || !open->upper.empty())
            detail += ", " + (open->lower.empty() ? "?" : open->lower) + " to " + (open->upper.empty() ? "?" : open->upper);
        const Position lastEnd = document->PositionOf(open->last, document->Line(open->last).size(), unit_);
        const Position selectionStart =
            document->PositionOf(open->nameLine, static_cast<std::size_t>(open->nameSpan.begin), unit_);
        const Position selectionEnd =
            document->PositionOf(open->nameLine, static_cast<std::size_t>(open->nameSpan.end), unit_, true);
        symbols.push_back({{"name", DecodeForDisplay(name)},
                           {"detail", DecodeForDisplay(detail)},
                           {"kind", 3},  // Namespace: a space with things in it
                           {"range", {{"start", ToJson({static_cast<std::int64_t>(open->first), 0})}, {"end", ToJson(lastEnd)}}},
                           {"selectionRange", {{"start", ToJson(selectionStart)}, {"end", ToJson(selectionEnd)}}}});
        open.reset();
    };
    Record record;
    for (std::size_t i = 0; i < document->LineCount(); ++i) {
        if (!ReadRecord(document->Line(i), record)) continue;
        if (StartsBlock(record.command)) {
            close();
            open.emplace();
            open->first = open->last = open->nameLine = i;
            open->kind = record.command == "AC" ? "class " + std::string(record.argument) : record.command;
            if (record.command != "AC") open->name = std::string(record.argument);
            open->nameSpan = record.argument.empty() ? ByteSpan{0, static_cast<std::int32_t>(record.commandText.size())}
                                                     : record.argumentSpan;
            continue;
        }
        if (!open) continue;
        open->last = i;
        if (record.command == "AN" && open->name.empty() && !record.argument.empty()) {
            open->name = std::string(record.argument);
            open->nameLine = i;
            open->nameSpan = record.argumentSpan;
        } else if (record.command == "AH" && open->upper.empty()) {
            open->upper = std::string(record.argument);
        } else if (record.command == "AL" && open->lower.empty()) {
            open->lower = std::string(record.argument);
        }
    }
    close();
    return symbols;
}

Json Server::CodeActions(const Json& params) const {
    const Document* document = Find(params);
    if (!document) return nullptr;
    const std::string uri = params["textDocument"]["uri"].get<std::string>();
    const Json context = params.value("context", Json::object());
    const Json only = context.value("only", Json());
    auto asked = [&](std::string_view kind) {
        if (!only.is_array()) return kind == "quickfix";
        for (const Json& k : only) {
            if (!k.is_string()) continue;
            const std::string& wanted = k.get_ref<const std::string&>();
            // A kind asks for the kinds below it ("source" for "source.fixAll").
            if (kind == wanted || (kind.size() > wanted.size() && kind.substr(0, wanted.size()) == wanted &&
                                   kind[wanted.size()] == '.'))
                return true;
        }
        return false;
    };
    Json actions = Json::array();
    // Each diagnostic brings its fix, made on the text it was found in.
    if (asked("quickfix")) {
        for (const Json& diagnostic : context.value("diagnostics", Json::array())) {
            if (!diagnostic.is_object()) continue;
            const Json data = diagnostic.value("data", Json::object());
            if (!data.is_object() || !data.contains("fix") || !data["fix"].is_object()) continue;
            const Json& fix = data["fix"];
            const Json edits = fix.value("edits", Json());
            if (!edits.is_array() || edits.empty()) continue;
            const std::string title = fix.value("title", std::string("fix"));
            const bool safe = fix.value("safety", std::string()) == "safe";
            std::string shown = title;
            if (!shown.empty()) shown[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(shown[0])));
            if (!safe) shown += " (unsafe: changes what some readers draw)";
            actions.push_back({{"title", shown},
                               {"kind", "quickfix"},
                               {"diagnostics", Json::array({diagnostic})},
                               {"isPreferred", safe},
                               {"edit", {{"changes", {{uri, edits}}}}}});
        }
    }
    // Every safe fix of the file at once, checked again until none is left.
    // (A text with a byte 0 is left alone: the bytes after it are not the
    // editor's text.)
    if (asked("source.fixAll.corvala") && document->Bytes().find('\0') == std::string::npos) {
        const Mended mended = Mend(uri, document->Bytes(), settings_.Checks(), false);
        if (mended.fixes > 0) {
            const std::size_t lines = document->LineCount();
            const Position end = lines == 0 ? Position{0, 0}
                                            : document->PositionOf(lines - 1, document->Line(lines - 1).size(), unit_);
            // The whole text is replaced, its last line end included.
            const Json whole = {{"start", ToJson({0, 0})},
                                {"end", ToJson(document->Bytes().size() > 0 && (document->Bytes().back() == '\n' ||
                                                                                document->Bytes().back() == '\r')
                                                   ? Position{static_cast<std::int64_t>(lines), 0}
                                                   : end)}};
            actions.push_back({{"title", "Fix all safe findings in this file (" + std::to_string(mended.fixes) +
                                             (mended.fixes == 1 ? " fix)" : " fixes)")},
                               {"kind", "source.fixAll.corvala"},
                               {"edit",
                                {{"changes",
                                  {{uri, Json::array({{{"range", whole},
                                                       {"newText", DecodeForDisplay(mended.bytes)}}})}}}}}});
        }
    }
    return actions;
}

}  // namespace corvala::lsp
