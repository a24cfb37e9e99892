// The record validators, one per command, and the table that finds them by
// name. Each takes the argument text of one line. Behind each raising
// `parseXX` stands one `ScanXX` that returns the outcome as a value, so the
// run reports a wrong line without the cost of raising.
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "engine/rules/line/record_checks.h"
#include "engine/model/failures.h"
#include "engine/values/pattern.h"

#ifndef CORVALA_CONTACT_EMAIL
#define CORVALA_CONTACT_EMAIL "corvala@example.org"
#endif

namespace corvala {

std::string_view ContactEmail() noexcept { return CORVALA_CONTACT_EMAIL; }

const std::string_view AirspaceClasses[10] = {"R", "Q", "P", "A", "B", "C", "D", "GP", "CTR", "W"};

namespace {

bool IsEmpty(std::string_view argument) noexcept { return TrimText(argument).empty(); }

Outcome Invalid(std::string message) { return {FailureKind::Validation, std::move(message)}; }

// Compound records wrap every failure inside them as
// "<record> data is in unkown format (<inner message>).".
Outcome Wrap(std::string_view record, Outcome inner) {
    std::string message;
    message.reserve(record.size() + inner.message.size() + 32);
    message += record;
    message += " data is in unkown format (";
    message += inner.message;
    message += ").";
    return Invalid(std::move(message));
}

Outcome WrapPattern(std::string_view record, PatternCheck check) {
    return Wrap(record, {FailureKind::Pattern, PatternMismatchMessage(check)});
}

std::string GuessedLimitMessage(const char* variable, const char* upper) {
    return std::string(variable) + " value must be between 0 and " + upper +
           " (the limits are my own personal guess. mail me at " + std::string(ContactEmail()) +
           " if this is incorrect)";
}

// Two characters are equal when their codes differ at most in the bit of
// value 32 (for letters: regardless of case), that is when they agree after
// setting that bit. Names are one or two characters long, so a name folds
// into one number and the lookup compares numbers.
constexpr std::uint32_t NameKey(std::string_view name) noexcept {
    std::uint32_t key = static_cast<std::uint32_t>(name.size()) << 16;
    for (std::size_t i = 0; i < name.size(); ++i)
        key |= (static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])) | 0x20u) << (8 * i);
    return key;
}

}  // namespace

// The validator table: "parse" + command names the validator; adding a
// command means adding one entry here.
struct ValidatorTable {
    struct Entry {
        std::string_view command;  // the validator's name without "parse"
        RuleId rule;  // the rule of its line check
        RecordChecks::Validator validator;
        RecordChecks::Scanner scanner;
    };

    static constexpr Entry kEntries[] = {
        {"AC", RuleId::AC, &RecordChecks::parseAC, &RecordChecks::ScanAC}, {"AN", RuleId::AN, &RecordChecks::parseAN, &RecordChecks::ScanAN},
        {"AH", RuleId::AH, &RecordChecks::parseAH, &RecordChecks::ScanAH}, {"AL", RuleId::AL, &RecordChecks::parseAL, &RecordChecks::ScanAL},
        {"AT", RuleId::AT, &RecordChecks::parseAT, &RecordChecks::ScanAT}, {"TO", RuleId::TO, &RecordChecks::parseTO, &RecordChecks::ScanTO},
        {"TC", RuleId::TC, &RecordChecks::parseTC, &RecordChecks::ScanTC}, {"SP", RuleId::SP, &RecordChecks::parseSP, &RecordChecks::ScanSP},
        {"SB", RuleId::SB, &RecordChecks::parseSB, &RecordChecks::ScanSB}, {"V", RuleId::V, &RecordChecks::parseV, &RecordChecks::ScanV},
        {"DP", RuleId::DP, &RecordChecks::parseDP, &RecordChecks::ScanDP}, {"DA", RuleId::DA, &RecordChecks::parseDA, &RecordChecks::ScanDA},
        {"DB", RuleId::DB, &RecordChecks::parseDB, &RecordChecks::ScanDB}, {"DC", RuleId::DC, &RecordChecks::parseDC, &RecordChecks::ScanDC},
        {"DY", RuleId::DY, &RecordChecks::parseDY, &RecordChecks::ScanDY},
    };

    static constexpr auto kKeys = [] {
        std::array<std::uint32_t, std::size(kEntries)> keys{};
        for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = NameKey(kEntries[i].command);
        return keys;
    }();

    static const Entry* Find(std::string_view command) noexcept {
        // Every name is "parse" + one or two characters.
        if (command.empty() || command.size() > 2) return nullptr;
        const std::uint32_t key = NameKey(command);
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            if (kKeys[i] == key) return &kEntries[i];
        }
        return nullptr;
    }
};

RecordChecks::Validator RecordChecks::FindValidator(std::string_view command) noexcept {
    const ValidatorTable::Entry* entry = ValidatorTable::Find(command);
    return entry == nullptr ? nullptr : entry->validator;
}

RuleId RecordChecks::LineRule(std::string_view command) noexcept {
    const ValidatorTable::Entry* entry = ValidatorTable::Find(command);
    return entry == nullptr ? RuleId::NotImplemented : entry->rule;
}

Outcome RecordChecks::ScanLine(std::string_view command, std::string_view argument) {
    linePositions_.clear();
    const ValidatorTable::Entry* entry = ValidatorTable::Find(command);
    if (entry == nullptr) {
        std::string message(command);
        message += " not implemented.";
        return {FailureKind::NotImplemented, std::move(message)};
    }
    try {
        return (this->*entry->scanner)(argument);
    } catch (const std::exception& failure) {
        // Nothing but running out of memory raises here; it still becomes
        // the line's message.
        return Invalid(failure.what());
    }
}

void RecordChecks::CheckLine(std::int32_t lineNumber, std::string_view command, std::string_view argument,
                       std::int32_t blockLine, const CheckSettings& settings, std::vector<Finding>& out) {
    Outcome outcome = ScanLine(command, argument);
    if (outcome.ok()) return;
    Finding finding;
    if (!MakeFinding(LineRule(command), settings, finding)) return;
    finding.line = lineNumber;
    finding.command = command;
    finding.message = std::move(outcome.message);
    finding.blockLine = blockLine;
    out.push_back(std::move(finding));
}

// --- Header records ---------------------------------------------------------

Outcome RecordChecks::ScanAC(std::string_view argument) {
    if (IsEmpty(argument)) return Invalid("Airspace class cannot be empty.");
    // The argument itself, untrimmed and case-sensitive, must be a class code.
    for (std::string_view code : AirspaceClasses) {
        if (argument == code) return {};
    }
    return Invalid("Class type \"" + std::string(argument) + "\" unkown.");
}

// The messages of AN, AH, AL and AT are as saved error lists know them, each
// with its own command, even where a message names another field.
Outcome RecordChecks::ScanAN(std::string_view argument) {
    return IsEmpty(argument) ? Invalid("Airspace floor cannot be empty.") : Outcome{};
}

Outcome RecordChecks::ScanAH(std::string_view argument) {
    return IsEmpty(argument) ? Invalid("Airspace name cannot be empty.") : Outcome{};
}

Outcome RecordChecks::ScanAL(std::string_view argument) {
    return IsEmpty(argument) ? Invalid("Airspace ceiling cannot be empty.") : Outcome{};
}

Outcome RecordChecks::ScanAT(std::string_view argument) {
    if (IsEmpty(argument)) return Invalid("Airspace floor cannot be empty.");
    return ScanPosition(argument);
}

Outcome RecordChecks::ScanTO(std::string_view) { return {}; }

Outcome RecordChecks::ScanTC(std::string_view) { return {}; }

// --- Geometry records ---------------------------------------------------------

Outcome RecordChecks::ScanDP(std::string_view argument) { return ScanPosition(argument); }

Outcome RecordChecks::ScanDY(std::string_view argument) { return ScanPosition(argument); }

Outcome RecordChecks::ScanDA(std::string_view argument) {
    const PatternCheck match = ScanFields(argument, "s,s,s", ParamList, true);
    if (match != PatternCheck::Matched) return WrapPattern("DA", match);
    static constexpr struct {
        std::int32_t lower, upper;
        const char* message;
    } kFields[] = {
        {1, 1000, "DA radius must be between 1 and 1000."},
        {0, 360, "DA angle 1 must be between 0 and 360."},
        {0, 360, "DA angle 2 must be between 0 and 360."},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        std::int32_t value;
        if (!ScanInt(ParamList[i], value))
            return Wrap("DA", {FailureKind::Conversion, IntConversionMessage(ParamList[i])});
        if (value < kFields[i].lower || value > kFields[i].upper) return Wrap("DA", Invalid(kFields[i].message));
    }
    return {};
}

Outcome RecordChecks::ScanDB(std::string_view argument) {
    const PatternCheck match = ScanFields(argument, "s,s", ParamList, true);
    if (match != PatternCheck::Matched) return WrapPattern("DB", match);
    // The first point is checked completely before the second is read;
    // checking a point leaves ParamList alone.
    for (std::size_t i = 0; i < 2; ++i) {
        Outcome point = ScanPosition(ParamList[i]);
        if (!point.ok()) return Wrap("DB", std::move(point));
    }
    return {};
}

Outcome RecordChecks::ScanDC(std::string_view argument) {
    long double radius;
    if (!ScanReal(argument, radius)) return Wrap("DC", {FailureKind::Conversion, RealConversionMessage(argument)});
    if (radius < 0.0L || radius > 1000.0L) return Wrap("DC", Invalid("DC radius must be between 0 and 1000."));
    return {};
}

// --- Style records ------------------------------------------------------------

bool RecordChecks::CheckRgb(std::string_view text) {
    RgbList.clear();
    SplitCommaText(RgbList, text);
    if (RgbList.size() != 3) return false;
    for (const std::string& item : RgbList) {
        const std::int32_t component = TextToIntDef(TrimText(item), -1);
        if (component < 0 || component > 255) return false;
    }
    return true;
}

Outcome RecordChecks::ScanSB(std::string_view argument) {
    if (CheckRgb(argument)) return {};
    return Wrap("Brush", Invalid("Brush rgb is not a valid rgb. all 3 components must be between 0 and 255."));
}

Outcome RecordChecks::ScanSP(std::string_view argument) {
    constexpr std::string_view kRecord = "Pen";
    const PatternCheck match = ScanFields(argument, "s,s,s,s,s", ParamList, true);
    if (match != PatternCheck::Matched) return WrapPattern(kRecord, match);
    std::int32_t style;
    if (!ScanInt(ParamList[0], style))
        return Wrap(kRecord, {FailureKind::Conversion, IntConversionMessage(ParamList[0])});
    if (style != 0 && style != 1 && style != 5)
        return Wrap(kRecord, Invalid("Pen style is not supported. Must be 0, 1 or 5."));
    const std::int32_t width = TextToIntDef(ParamList[1], 0);
    if (width < 0 || ParamList[1] == "0") return Wrap(kRecord, Invalid("Pen width must be positive."));
    if (width == 0) return Wrap(kRecord, Invalid("Pen width is not an integer positive number."));
    // The colour is what follows the second comma of the argument.
    std::string_view colour = argument.substr(argument.find(',') + 1);
    colour = colour.substr(colour.find(',') + 1);
    if (!CheckRgb(colour))
        return Wrap(kRecord, Invalid("Pen rgb is not a valid rgb. all 3 components must be between 0 and 255."));
    return {};
}

// --- Variable assignments -------------------------------------------------------

Outcome RecordChecks::ScanV(std::string_view argument) {
    constexpr std::string_view kRecord = "Variable assignment";
    const PatternCheck match = ScanFields(argument, "s=s", ParamList, true);
    if (match != PatternCheck::Matched) return WrapPattern(kRecord, match);
    const std::string_view name = ParamList[0];
    const std::string_view value = ParamList[1];
    const char variable = name.size() == 1 ? name[0] : '\0';
    switch (variable) {
    case 'D':
        if (value == "+" || value == "-") return {};
        return Wrap(kRecord, Invalid("D values can be only - or +."));
    case 'W':
    case 'Z': {
        long double number;
        if (!ScanReal(value, number)) return Wrap(kRecord, {FailureKind::Conversion, RealConversionMessage(value)});
        const long double upper = variable == 'W' ? 1000.0L : 100.0L;
        if (number >= 0.0L && number <= upper) return {};
        return Wrap(kRecord,
                    Invalid(variable == 'W' ? GuessedLimitMessage("W", "1000") : GuessedLimitMessage("Z", "100")));
    }
    case 'X': {
        Outcome point = ScanPosition(value);
        if (point.ok()) return point;
        return Wrap(kRecord, std::move(point));
    }
    default:
        return Wrap(kRecord, Invalid("Unkown variable."));
    }
}

// --- The raising validators -------------------------------------------------------

#define CORVALA_RAISING_VALIDATOR(COMMAND)                                                                             \
    void RecordChecks::parse##COMMAND(std::string_view argument) {                                                           \
        const Outcome outcome = Scan##COMMAND(argument);                                                               \
        if (!outcome.ok()) Raise(outcome);                                                                             \
    }
CORVALA_RAISING_VALIDATOR(AC)
CORVALA_RAISING_VALIDATOR(AN)
CORVALA_RAISING_VALIDATOR(AH)
CORVALA_RAISING_VALIDATOR(AL)
CORVALA_RAISING_VALIDATOR(AT)
CORVALA_RAISING_VALIDATOR(TO)
CORVALA_RAISING_VALIDATOR(TC)
CORVALA_RAISING_VALIDATOR(SP)
CORVALA_RAISING_VALIDATOR(SB)
CORVALA_RAISING_VALIDATOR(V)
CORVALA_RAISING_VALIDATOR(DP)
CORVALA_RAISING_VALIDATOR(DA)
CORVALA_RAISING_VALIDATOR(DB)
CORVALA_RAISING_VALIDATOR(DC)
CORVALA_RAISING_VALIDATOR(DY)
#undef CORVALA_RAISING_VALIDATOR

}  // namespace corvala
