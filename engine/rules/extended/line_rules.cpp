// The line rules of the extended record set. The records it keeps with
// their classic syntax go through the classic checks (RecordChecks::ScanLine), so
// that each range is written once; coordinates are first respaced into the
// classic form (engine/values/coordinate_text.h).
#include <algorithm>
#include <array>
#include <iterator>

#include "engine/values/altitude.h"
#include "engine/values/coordinate_text.h"
#include "engine/rules/line/record_checks.h"
#include "engine/rules/extended/extended.h"
#include "engine/rules/extended/values.h"
#include "engine/model/rule_docs.h"

namespace corvala {

namespace extended {

namespace {

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

// The class codes of the classic record set that flight instruments read,
// sorted, and the words most of them read as well, with the code to write.
constexpr std::string_view kClassicClasses[] = {"A", "B",   "C",  "CTR", "D",   "E",  "F",
                                                "G", "GP",  "GSEC", "P", "Q",   "R",  "RMZ", "TMZ", "W"};
constexpr Spelling kClassWords[] = {{"ATZ", ""},       {"DANGER", "Q"}, {"FIR", ""},
                                    {"PROHIBITED", "P"}, {"RESTRICTED", "R"}, {"TMA", ""}};

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

}  // namespace extended

using extended::Join;
using extended::Rule;

std::span<const RuleInfo> ExtendedRules() noexcept {
    const auto first = static_cast<std::size_t>(Rule::AirspaceClass);
    return AllRules().subspan(first, static_cast<std::size_t>(Rule::RecordSet) + 1 - first);
}

ExtendedLineRules::ExtendedLineRules(RecordChecks& engine, const CheckSettings& settings) : engine_(engine), settings_(settings) {
    canonical_.reserve(64);
}

ExtendedLineRules::~ExtendedLineRules() = default;

void ExtendedLineRules::Report(std::vector<Finding>& out, Rule rule, std::string message,
                             std::shared_ptr<const Fix> fix) const {
    Finding finding;
    if (!MakeFinding(rule, settings_, finding)) return;
    finding.line = line_;
    finding.command = command_;
    finding.message = std::move(message);
    finding.blockLine = blockLine_;
    finding.fix = std::move(fix);
    out.push_back(std::move(finding));
}

namespace {

}  // namespace

std::string ExtendedLineRules::Rewritten(std::string_view part, std::string_view text) const {
    if (!ViewWithin(part, argument_)) return {};
    std::string argument(argument_.substr(0, static_cast<std::size_t>(part.data() - argument_.data())));
    argument += text;
    argument.append(argument_.substr(static_cast<std::size_t>(part.data() + part.size() - argument_.data())));
    return argument;
}

std::shared_ptr<const Fix> ExtendedLineRules::Rewrite(Rule rule, std::string_view part, std::string text,
                                                    std::string title) const {
    std::optional<Edit> edit = ReplaceView(line_, raw_, part, std::move(text));
    if (!edit) return nullptr;
    return MakeRuleFix(rule, std::move(title), {std::move(*edit)});
}

bool ExtendedLineRules::ReadsAsCoordinate(std::string_view argument) {
    // What the classic check reads of the text before a comment.
    argument = argument.substr(0, argument.find('*'));
    std::string buffer;
    const std::string_view canonical = CanonicalCoordinate(argument, buffer);
    std::string tolerant;
    std::string_view unused;
    if (!scratch_) scratch_ = std::make_unique<RecordChecks>();
    return scratch_->ScanLine(command_, canonical).ok() && TolerantCoordinate(argument, tolerant, unused) == 0;
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

void ExtendedLineRules::CheckClassic(std::string_view argument, std::vector<Finding>& out) {
    Outcome outcome = engine_.ScanLine(command_, argument);
    if (!outcome.ok()) Report(out, ClassicRule(extended::RecordKey(command_)), std::move(outcome.message));
}

void ExtendedLineRules::CheckCoordinates(std::string_view argument, std::vector<Finding>& out) {
    // Most coordinates are written in the classic spacing, which passes as
    // it is; only a text that fails is respaced and judged again.
    Outcome outcome = engine_.ScanLine(command_, argument);
    std::string_view canonical = argument;
    if (!outcome.ok()) {
        canonical = CanonicalCoordinate(argument, canonical_);
        if (canonical != argument) outcome = engine_.ScanLine(command_, canonical);
    }
    std::string_view tolerant;
    const unsigned spelling = TolerantCoordinate(argument, tolerant_, tolerant);
    if (!outcome.ok()) {
        // A coordinate that readers read despite its spelling.
        if (spelling != 0) {
            const Outcome read = engine_.ScanLine(command_, canonical = CanonicalCoordinate(tolerant, canonical_));
            if (read.ok()) {
                outcome = read;
                ReportSpelling(spelling, argument, out);
            }
        }
        if (!outcome.ok())
            return Report(out, ClassicRule(extended::RecordKey(command_)), std::move(outcome.message));
    } else if (spelling & kTrailingDot) {
        ReportSpelling(kTrailingDot, argument, out);
    }
    bool seconds = false;
    if (const std::string_view angle = SixtyAngle(canonical, seconds); !angle.empty()) {
        // The carry is offered where the angle is written as the check read
        // it, and only when the line reads the same afterwards.
        std::shared_ptr<const Fix> fix;
        if (std::string carried = CarrySixty(angle); !carried.empty() && ViewWithin(angle, argument))
            if (const std::string after = Rewritten(angle, carried); !after.empty() && ReadsAsCoordinate(after))
                fix = Rewrite(Rule::CoordinateSixty, angle, carried, "write " + carried);
        Report(out, Rule::CoordinateSixty,
               extended::Join({"the ", seconds ? "seconds" : "minutes", " of \"", angle,
                               "\" are 60: readers carry them over (59:60 reads as the next minute); write the "
                               "next ",
                               seconds ? "minute" : "degree", " and 00"}),
               std::move(fix));
    }
}

void ExtendedLineRules::ReportSpelling(unsigned spelling, std::string_view argument, std::vector<Finding>& out) {
    std::vector<std::string_view> what;
    if (spelling & kRemarkCut) what.push_back("a ; remark after it (put it behind a * comment)");
    if (spelling & kSmallLetter) what.push_back("a hemisphere letter in small letters (write N, S, E or W)");
    if (spelling & kTrailingDot) what.push_back("a number that ends in a dot (drop the dot)");
    std::string message = "readers read the coordinate, but strict readers refuse ";
    for (std::size_t i = 0; i < what.size(); ++i) {
        if (i > 0) message += i + 1 == what.size() ? " and " : ", ";
        message += what[i];
    }
    std::shared_ptr<const Fix> fix;
    const std::string_view written = TrimText(argument);
    if (std::string strict = StrictSpelling(written); strict != written) {
        const std::string after = Rewritten(written, strict);
        if (!after.empty() && ReadsAsCoordinate(after))
            fix = Rewrite(Rule::CoordinateSpelling, written, std::move(strict), "write the coordinate as strict readers read it");
    }
    Report(out, Rule::CoordinateSpelling, std::move(message), std::move(fix));
}

void ExtendedLineRules::CheckClass(std::string_view value, std::vector<Finding>& out) const {
    using namespace extended;
    const bool classicFile = !settings_.extended;
    if (classicFile ? Contains(kClassicClasses, value) : Contains(kClasses, value)) return;
    if (value.empty()) {
        return Report(out, Rule::AirspaceClass,
                      classicFile ? "the airspace class is missing: write one of the class codes (A to G, R, Q, P, "
                                    "CTR, ...)"
                                  : "the airspace class is missing: write A, B, C, D, E, F, G or UNC");
    }
    const std::string upper = Upper(value);
    std::string message = Join({"class \"", value, "\""});
    if (classicFile ? Contains(kClassicClasses, upper) : Contains(kClasses, upper)) {
        message += " is written in small letters: write ";
        message += upper;
        return Report(out, Rule::AirspaceClassSpelling, std::move(message),
                      Rewrite(Rule::AirspaceClassSpelling, value, upper, "write AC " + upper));
    }
    if (upper == "UNCLASSIFIED") {
        message += " is not a class: readers take it for some other class and lose the airspace's type; write ";
        message += classicFile ? "the class code, or AC UNC with AY and the type (the extended record set)" : "UNC";
        return Report(out, Rule::AirspaceClass, std::move(message));
    }
    if (classicFile) {
        if (upper == "UNC") {
            message += " is a class of the extended record set: declare it with *VERSION: 2.1 and give the type "
                       "with AY";
            return Report(out, Rule::AirspaceClassSpelling, std::move(message));
        }
        const auto word = std::find_if(std::begin(kClassWords), std::end(kClassWords),
                                       [&](const Spelling& s) { return s.written == upper; });
        if (word != std::end(kClassWords)) {
            message += " is read by most flight instruments, but is not a class code: write ";
            message += word->type.empty() ? std::string_view("the airspace's class letter") : word->type;
            return Report(out, Rule::AirspaceClassSpelling, std::move(message));
        }
        message += " is not a class that readers know: they show the airspace as some other class; write one of "
                   "the class codes (A to G, R, Q, P, CTR, ...)";
        return Report(out, Rule::AirspaceClass, std::move(message));
    }
    std::string_view type = Contains(kTypes, upper) ? std::string_view(upper) : SpellingOf(upper, kTypeSpellings);
    if (type.empty()) type = SpellingOf(upper, kClassTypes);
    if (type.empty()) {
        message += " is not a class that readers know: they show the airspace as some other class; write A, B, C, "
                   "D, E, F, G or UNC";
        return Report(out, Rule::AirspaceClass, std::move(message));
    }
    message += Contains(kClassicClasses, upper)
                   ? " is a class code of the classic record set, which flight instruments read: "
                   : " is read by most flight instruments, but is not a class of the extended record set: ";
    message += "write AC UNC (or the airspace's class letter) and AY ";
    message += type;
    Report(out, Rule::AirspaceClassSpelling, std::move(message));
}

void ExtendedLineRules::CheckType(std::string_view value, std::vector<Finding>& out) const {
    using namespace extended;
    if (Contains(kTypes, value)) return;
    if (value.empty()) return Report(out, Rule::AirspaceType, "the airspace type is missing");
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
    Report(out, Rule::AirspaceType, std::move(message));
}

void ExtendedLineRules::CheckFrequency(std::string_view value, std::vector<Finding>& out) const {
    // A frequency followed by a word or two ("132.350 Dutch Mil"): readers
    // read the first word as the frequency and drop the rest.
    if (const std::size_t blank = value.find_first_of(" \t"); blank == 7) {
        Report(out, Rule::FrequencyRemark,
               Join({"text after the frequency (\"", TrimText(value.substr(blank)),
                     "\"): readers read only the frequency; name the station with AG or in a * comment"}));
        value = value.substr(0, blank);
    }
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
                      Join({"frequency ", value, " MHz lies outside the band from 118.000 to 136.990",
                            khz >= 108000 && khz < 118000 ? " (in the navigation band): readers drop it" : ""}));
    // Channel names: 25 kHz channels end in 00, 25, 50, 75; the 8.33 kHz
    // names add 05, 10, 15, 30, ... but never a name ending in 20, 45, 70
    // or 95.
    if (khz % 5 != 0 || khz % 25 == 20)
        Report(out, Rule::FrequencyChannel,
               Join({"frequency ", value, " is not the name of a 25 kHz or 8.33 kHz channel"}));
}

void ExtendedLineRules::CheckTransponder(std::string_view value, std::vector<Finding>& out) const {
    const bool octal =
        value.size() == 4 && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '7'; });
    if (!octal)
        Report(out, Rule::TransponderCode,
               Join({"transponder code \"", value, "\" is not four octal digits (0 to 7)"}));
}

void ExtendedLineRules::CheckLine(std::int32_t line, std::string_view raw, std::string_view command,
                                  std::string_view argument, std::int32_t blockLine, std::vector<Finding>& out) {
    using extended::RecordKey;
    if (line == 1 && !extended::WithoutByteOrderMark(command, argument)) return;
    raw_ = raw;
    argument_ = argument;
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
    case RecordKey("SP"):
    case RecordKey("SB"):
        // Pen and brush: flight instruments ignore them.
        if (settings_.extended)
            return Report(out, Rule::UnknownRecord,
                          Join({command, " is not part of the extended record set: readers ignore it"}));
        return CheckClassic(value, out);
    case RecordKey("AN"):
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
    message += settings_.extended ? " is not part of the extended record set"
                                  : " is not a record of airspace files: flight instruments ignore it, strict readers "
                                    "refuse it";
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
void ExtendedLineRules::CheckAltitude(bool upper, std::string_view value, std::vector<Finding>& out) const {
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
                   Join({"limit \"", value, "\" is a spelling readers only tolerate: write GND"}),
                   AltitudeFix(value, "GND"));
        return;
    case AltitudeKind::Unlimited:
        if (!upper)
            return Report(out, Rule::Altitude, Join({"\"", value, "\" is unlimited, which cannot be a lower limit"}));
        if (!IsWord(word, "UNL"))
            Report(out, Rule::AltitudeSpelling,
                   Join({"limit \"", value, "\" is a spelling readers only tolerate: write UNL"}),
                   AltitudeFix(value, "UNL"));
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
    if (altitude.kind == AltitudeKind::AboveGround && altitude.feet == 0 && !upper)
        return Report(out, Rule::AltitudeSpelling,
                      Join({"limit \"", value, "\" is the ground, in a spelling readers only tolerate: write GND"}),
                      AltitudeFix(value, "GND"));
    // The form to write instead: a missing unit is feet, a missing
    // reference mean sea level, as readers take them.
    const std::string_view reference = altitude.kind == AltitudeKind::AboveGround ? "AGL"
                                       : altitude.kind == AltitudeKind::Standard  ? "STD"
                                                                                  : "AMSL";
    const std::string written = Join({LeadingNumber(value), IsWord(unit, "M") ? "m " : "ft ", reference});
    Report(out, Rule::AltitudeSpelling,
           Join({"limit \"", value, "\" is a spelling readers only tolerate: write ", written}),
           AltitudeFix(value, written));
}

// The limit `value` written as `written`, when the altitude reader reads
// both as the same height.
std::shared_ptr<const Fix> ExtendedLineRules::AltitudeFix(std::string_view value, std::string_view written) const {
    const Altitude before = ReadAltitude(value), after = ReadAltitude(written);
    const bool ground = [](const Altitude& a) {
        return a.kind == AltitudeKind::Ground || (a.kind == AltitudeKind::AboveGround && a.feet == 0);
    }(before);
    const bool same = ground ? after.kind == AltitudeKind::Ground
                             : after.kind == before.kind && after.feet == before.feet;
    if (!same) return nullptr;
    return Rewrite(Rule::AltitudeSpelling, value, std::string(written), Join({"write ", written}));
}

}  // namespace corvala
