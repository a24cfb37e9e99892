// The line rules of the extended record set. The records it keeps with
// their classic syntax go through the classic checks (Engine::ScanLine), so
// that each range is written once; coordinates are first respaced into the
// classic form (engine/coordinate_text.h).
#include <algorithm>
#include <array>
#include <iterator>

#include "engine/altitude.h"
#include "engine/coordinate_text.h"
#include "engine/engine.h"
#include "engine/extended.h"
#include "engine/extended_values.h"

namespace corvala {

namespace extended {

namespace {

constexpr RuleInfo kRules[] = {
    {"airspace-class", Severity::Error, "AC is not one of the classes A to G or UNC"},
    {"airspace-type", Severity::Error, "AY is not one of the airspace types of the extended record set"},
    {"frequency", Severity::Error, "AF is not a frequency written NNN.NNN from 118.000 to 136.990 MHz"},
    {"frequency-channel", Severity::Warning, "AF is not the name of a 25 kHz or 8.33 kHz channel"},
    {"station-name", Severity::Error, "AG without a station name"},
    {"transponder-code", Severity::Error, "AX is not a code of four octal digits"},
    {"activation-time", Severity::Error, "AA is not NONE or START/END with valid UTC times, start before end"},
    {"altitude", Severity::Error, "AH or AL that is unreadable, or GND or UNL on the wrong side"},
    {"altitude-spelling", Severity::Warning, "AH or AL in a spelling readers only tolerate (MSL, SFC, no unit, ...)"},
    {"unknown-record", Severity::Warning, "a command that is not part of the extended record set"},
    {"discouraged-record", Severity::Note, "DA or DY, which the extended record set advises against"},
    {"AN", Severity::Error, "AN without a name"},
    {"AT", Severity::Error, "AT that is not a valid coordinate"},
    {"SP", Severity::Error, "SP that is not a pen style, width and colour"},
    {"SB", Severity::Error, "SB that is not a colour"},
    {"V", Severity::Error, "V that is not a valid assignment of D, W, X or Z"},
    {"DP", Severity::Error, "DP that is not a valid coordinate"},
    {"DA", Severity::Error, "DA that is not a radius and two angles"},
    {"DB", Severity::Error, "DB that is not two valid coordinates"},
    {"DC", Severity::Error, "DC that is not a radius from 0 to 1000"},
    {"DY", Severity::Error, "DY that is not a valid coordinate"},
    {"station-without-frequency", Severity::Error, "AG in a block without AF"},
    {"activation-none-with-times", Severity::Error, "AA NONE together with other AA lines in one block"},
    {"activation-unsorted", Severity::Warning, "AA intervals of a block not sorted by their start"},
    {"activation-overlap", Severity::Warning, "AA intervals of a block that overlap"},
    {"missing-type", Severity::Warning, "an airspace block without AY"},
    {"type-not-after-class", Severity::Warning, "AY not directly after the AC line of its block"},
    {"missing-header", Severity::Note, "the leading comments lack *VERSION: 2.1 or *WRITTEN_BY:"},
    {"unsupported-version", Severity::Error, "a *VERSION: header that is not 2.x"},
    {"not-utf8", Severity::Warning, "the file is not valid UTF-8"},
    {"byte-order-mark", Severity::Note, "the file starts with a byte-order mark"},
    {"mixed-coordinate-forms", Severity::Warning, "the file mixes coordinates with seconds and with decimal minutes"},
    {"extended-rules-suggested", Severity::Note, "the header declares version 2.x, which the extended rules check"},
};
static_assert(std::size(kRules) == static_cast<std::size_t>(Rule::ExtendedRulesSuggested) + 1);

// The values the extended set accepts, sorted for binary search.
constexpr std::string_view kClasses[] = {"A", "B", "C", "D", "E", "F", "G", "UNC"};
constexpr std::string_view kTypes[] = {
    "ACCSEC", "ADIZ", "ALERT", "ASRA", "ATZ",   "AWY",  "CTA", "CTR", "CUSTOM", "FIR",  "FIS",    "GSEC",    "HTZ",
    "LTA",    "MATZ", "MTA",   "MTR",  "N",     "NONE", "OFR", "P",   "Q",      "R",    "RMZ",    "TFR",     "TIA",
    "TIZ",    "TMA",  "TMZ",   "TRA",  "TRAFR", "TRZ",  "TSA", "UIR", "UTA",    "VFRR", "VFRSEC", "WARNING",
};

// Long spellings some exports write for a type, and the old class values
// that stand for a type (W: wave windows are gliding sectors; GP: gliders
// prohibited).
struct Spelling {
    std::string_view written;
    std::string_view type;
};
constexpr Spelling kTypeSpellings[] = {
    {"ACC_SECTOR", "ACCSEC"},   {"AERIAL_SPORTING_RECREATIONAL", "ASRA"}, {"DANGER", "Q"},     {"FIS_SECTOR", "FIS"},
    {"GLIDING_SECTOR", "GSEC"}, {"OVERFLIGHT_RESTRICTION", "OFR"},        {"PROHIBITED", "P"}, {"RESTRICTED", "R"},
    {"VFR_SECTOR", "VFRSEC"},
};
constexpr Spelling kClassTypes[] = {{"GP", "P"}, {"W", "GSEC"}};

template <std::size_t N>
bool Contains(const std::string_view (&values)[N], std::string_view value) noexcept {
    return std::binary_search(std::begin(values), std::end(values), value);
}

std::string_view SpellingOf(std::string_view written, std::span<const Spelling> table) noexcept {
    for (const Spelling& s : table)
        if (s.written == written) return s.type;
    return {};
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return upper;
}

}  // namespace

const RuleInfo& Info(Rule rule) noexcept { return kRules[static_cast<std::size_t>(rule)]; }

}  // namespace extended

using extended::Join;
using extended::Rule;

std::span<const RuleInfo> ExtendedRules() noexcept { return extended::kRules; }

ExtendedRecords::ExtendedRecords(Engine& engine, const CheckSettings& settings) : engine_(engine), settings_(settings) {
    canonical_.reserve(64);
}

void ExtendedRecords::Report(std::vector<Finding>& out, Rule rule, std::string message) const {
    const RuleInfo& info = extended::Info(rule);
    if (!settings_.Enabled(info.id)) return;
    out.push_back({line_, info.severity, info.id, command_, std::move(message), blockLine_});
}

namespace {

// The rule under which a kept record's classic check reports.
Rule ClassicRule(std::uint32_t key) noexcept {
    using extended::RecordKey;
    switch (key) {
    case extended::RecordKey("AT"):
        return Rule::AT;
    case extended::RecordKey("SP"):
        return Rule::SP;
    case extended::RecordKey("SB"):
        return Rule::SB;
    case extended::RecordKey("V"):
        return Rule::V;
    case extended::RecordKey("DP"):
        return Rule::DP;
    case extended::RecordKey("DA"):
        return Rule::DA;
    case extended::RecordKey("DB"):
        return Rule::DB;
    case extended::RecordKey("DC"):
        return Rule::DC;
    case extended::RecordKey("DY"):
        return Rule::DY;
    default:
        return Rule::AN;
    }
}

}  // namespace

void ExtendedRecords::CheckClassic(std::string_view argument, std::vector<Finding>& out) {
    Outcome outcome = engine_.ScanLine(command_, argument);
    if (!outcome.ok()) Report(out, ClassicRule(extended::RecordKey(command_)), std::move(outcome.message));
}

void ExtendedRecords::CheckCoordinates(std::string_view argument, std::vector<Finding>& out) {
    // Most coordinates are written in the classic spacing, which passes as
    // it is; only a text that fails is respaced and judged again.
    Outcome outcome = engine_.ScanLine(command_, argument);
    if (!outcome.ok()) {
        const std::string_view canonical = CanonicalCoordinate(argument, canonical_);
        if (canonical != argument) outcome = engine_.ScanLine(command_, canonical);
    }
    if (!outcome.ok()) Report(out, ClassicRule(extended::RecordKey(command_)), std::move(outcome.message));
}

void ExtendedRecords::CheckClass(std::string_view value, std::vector<Finding>& out) const {
    using namespace extended;
    if (Contains(kClasses, value)) return;
    if (value.empty())
        return Report(out, Rule::Class, "the airspace class is missing: write A, B, C, D, E, F, G or UNC");
    const std::string upper = Upper(value);
    std::string message = Join({"class \"", value, "\""});
    if (Contains(kClasses, upper)) {
        message += " is written in small letters: write ";
        message += upper;
    } else if (upper == "UNCLASSIFIED") {
        message += " is not a class of the extended record set: write UNC";
    } else {
        std::string_view type = Contains(kTypes, upper) ? std::string_view(upper) : SpellingOf(upper, kTypeSpellings);
        if (type.empty()) type = SpellingOf(upper, kClassTypes);
        message += " is not a class of the extended record set: ";
        if (type.empty()) {
            message += "write A, B, C, D, E, F, G or UNC";
        } else {
            message += "write AC UNC (or the airspace's class letter) and AY ";
            message += type;
        }
    }
    Report(out, Rule::Class, std::move(message));
}

void ExtendedRecords::CheckType(std::string_view value, std::vector<Finding>& out) const {
    using namespace extended;
    if (Contains(kTypes, value)) return;
    if (value.empty()) return Report(out, Rule::Type, "the airspace type is missing");
    const std::string upper = Upper(value);
    std::string message = Join({"type \"", value, "\""});
    if (Contains(kTypes, upper)) {
        message += " is written in small letters: write ";
        message += upper;
    } else if (const std::string_view type = SpellingOf(upper, kTypeSpellings); !type.empty()) {
        message += " is not a type of the extended record set: write ";
        message += type;
    } else {
        message += " is not a type of the extended record set";
    }
    Report(out, Rule::Type, std::move(message));
}

void ExtendedRecords::CheckFrequency(std::string_view value, std::vector<Finding>& out) const {
    // NNN.NNN in MHz: the digits read as kHz.
    int khz = 0;
    bool written = value.size() == 7 && value[3] == '.';
    for (std::size_t i = 0; written && i < value.size(); ++i) {
        if (i == 3) continue;
        written = value[i] >= '0' && value[i] <= '9';
        khz = khz * 10 + (value[i] - '0');
    }
    if (!written) return Report(out, Rule::Frequency, Join({"frequency \"", value, "\" is not written NNN.NNN (MHz)"}));
    if (khz < 118000 || khz > 136990)
        return Report(out, Rule::Frequency,
                      Join({"frequency ", value, " MHz lies outside the band from 118.000 to 136.990"}));
    // Channel names: 25 kHz channels end in 00, 25, 50, 75; the 8.33 kHz
    // names add 05, 10, 15, 30, ... but never a name ending in 20, 45, 70
    // or 95.
    if (khz % 5 != 0 || khz % 25 == 20)
        Report(out, Rule::FrequencyChannel,
               Join({"frequency ", value, " is not the name of a 25 kHz or 8.33 kHz channel"}));
}

void ExtendedRecords::CheckTransponder(std::string_view value, std::vector<Finding>& out) const {
    const bool octal =
        value.size() == 4 && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '7'; });
    if (!octal)
        Report(out, Rule::TransponderCode,
               Join({"transponder code \"", value, "\" is not four octal digits (0 to 7)"}));
}

void ExtendedRecords::CheckLine(std::int32_t line, std::string_view command, std::string_view argument,
                                std::int32_t blockLine, std::vector<Finding>& out) {
    using extended::RecordKey;
    if (line == 1 && !extended::WithoutByteOrderMark(command, argument)) return;
    line_ = line;
    blockLine_ = blockLine;
    command_ = command;
    const std::string_view value = TrimText(argument);

    switch (RecordKey(command)) {
    case RecordKey("AC"):
        return CheckClass(value, out);
    case RecordKey("AY"):
        return CheckType(value, out);
    case RecordKey("AF"):
        return CheckFrequency(value, out);
    case RecordKey("AG"):
        if (value.empty()) Report(out, Rule::StationName, "the station name is missing");
        return;
    case RecordKey("AX"):
        return CheckTransponder(value, out);
    case RecordKey("AA"): {
        extended::Activation activation;
        std::string why;
        if (!extended::ReadActivation(value, activation, &why)) Report(out, Rule::ActivationTime, std::move(why));
        return;
    }
    case RecordKey("AH"):
        return CheckAltitude(true, value, out);
    case RecordKey("AL"):
        return CheckAltitude(false, value, out);
    case RecordKey("AN"):
    case RecordKey("SP"):
    case RecordKey("SB"):
    case RecordKey("DC"):
        return CheckClassic(value, out);
    case RecordKey("TO"):
    case RecordKey("TC"):
        return;  // any argument
    case RecordKey("AT"):
    case RecordKey("DP"):
    case RecordKey("DB"):
        return CheckCoordinates(value, out);
    case RecordKey("V"): {
        // Only X holds a coordinate; respacing W or Z would split "1E3".
        const std::size_t equals = value.find('=');
        if (equals != std::string_view::npos && TrimText(value.substr(0, equals)) == "X")
            return CheckCoordinates(value, out);
        return CheckClassic(value, out);
    }
    case RecordKey("DA"):
        CheckClassic(value, out);
        return Report(out, Rule::DiscouragedRecord,
                      "the extended record set advises against DA: describe the arc with DB and its two end points");
    case RecordKey("DY"):
        CheckCoordinates(value, out);
        return Report(out, Rule::DiscouragedRecord,
                      "the extended record set advises against DY: describe the airway as an outline of DP points");
    default:
        break;
    }
    std::string message(command);
    message += " is not part of the extended record set";
    const std::uint32_t key = RecordKey(command);
    if (key == RecordKey("TP")) message += ": write the transponder code as AX";
    if (key == RecordKey("AR")) message += ": write the frequency as AF (and the station as AG)";
    Report(out, Rule::UnknownRecord, std::move(message));
}

namespace {

// Letters compared regardless of case with a word written in capitals.
bool IsWord(std::string_view word, std::string_view upper) noexcept {
    return word.size() == upper.size() && std::equal(word.begin(), word.end(), upper.begin(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? static_cast<char>(a - 32) : a) == b;
           });
}

// The number a limit text starts with, as written.
std::string_view LeadingNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.')) ++i;
    return text.substr(0, i);
}

}  // namespace

// The limit is read by the one altitude reader that the block checks use;
// this rule only judges how it was written.
void ExtendedRecords::CheckAltitude(bool upper, std::string_view value, std::vector<Finding>& out) const {
    const Altitude altitude = ReadAltitude(value);
    const std::string_view word = altitude.reference;
    switch (altitude.kind) {
    case AltitudeKind::Unreadable:
        return Report(out, Rule::Altitude,
                      Join({"limit \"", value,
                            "\" is unreadable: write a number with ft or m and AMSL, AGL or STD, FL and a number, GND "
                            "(lower limit) or UNL (upper limit)"}));
    case AltitudeKind::Ground:
        if (upper)
            return Report(out, Rule::Altitude, Join({"\"", value, "\" is the ground, which cannot be an upper limit"}));
        if (!IsWord(word, "GND"))
            Report(out, Rule::AltitudeSpelling,
                   Join({"limit \"", value, "\" is a spelling readers only tolerate: write GND"}));
        return;
    case AltitudeKind::Unlimited:
        if (!upper)
            return Report(out, Rule::Altitude, Join({"\"", value, "\" is unlimited, which cannot be a lower limit"}));
        if (!IsWord(word, "UNL"))
            Report(out, Rule::AltitudeSpelling,
                   Join({"limit \"", value, "\" is a spelling readers only tolerate: write UNL"}));
        return;
    case AltitudeKind::FlightLevel:
        return;
    case AltitudeKind::AboveMsl:
    case AltitudeKind::AboveGround:
    case AltitudeKind::Standard:
        break;
    }
    const std::string_view unit = altitude.unit;
    const bool unitWritten = IsWord(unit, "FT") || IsWord(unit, "M");
    const bool referenceWritten = IsWord(word, "AMSL") || IsWord(word, "AGL") || IsWord(word, "STD");
    if (unitWritten && referenceWritten) return;
    // The form to write instead: a missing unit is feet, a missing
    // reference mean sea level, as readers take them.
    const std::string_view reference = altitude.kind == AltitudeKind::AboveGround ? "AGL"
                                       : altitude.kind == AltitudeKind::Standard  ? "STD"
                                                                                  : "AMSL";
    Report(out, Rule::AltitudeSpelling,
           Join({"limit \"", value, "\" is a spelling readers only tolerate: write ", LeadingNumber(value),
                 IsWord(unit, "M") ? "m " : "ft ", reference}));
}

}  // namespace corvala
