// The record validators, one per command, and the table that finds them by
// name. Each takes the argument text of one line; a valid line raises
// nothing. Behind each `parseXX` stands a non-throwing `CheckXX` that leaves
// the message of a failure in failure_, so the run reports a wrong line
// without the cost of raising; `parseXX` raises that message.
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/pattern.h"

#ifndef CORVALA_CONTACT_EMAIL
#define CORVALA_CONTACT_EMAIL "corvala@example.org"
#endif

namespace corvala {

std::string_view ContactEmail() noexcept { return CORVALA_CONTACT_EMAIL; }

const std::string_view AirspaceClasses[10] = {"R", "Q", "P", "A", "B", "C", "D", "GP", "CTR", "W"};

// --- Failures ---------------------------------------------------------------------

bool Engine::Fail(FailureKind kind, std::string message) {
    failureKind_ = kind;
    failure_ = std::move(message);
    return false;
}

bool Engine::FailValidation(const char* message) {
    failureKind_ = FailureKind::Validation;
    failure_.assign(message);
    return false;
}

// Compound records wrap every failure inside them as
// "<record> data is in unkown format (<inner message>).".
bool Engine::Wrap(const char* record) {
    failure_.insert(0, " data is in unkown format (");
    failure_.insert(0, record);
    failure_ += ").";
    failureKind_ = FailureKind::Validation;
    return false;
}

void Engine::RaiseFailure() const {
    switch (failureKind_) {
    case FailureKind::Conversion:
        throw ConversionError(failure_);
    case FailureKind::Overflow:
        throw FloatOverflow();
    case FailureKind::Pattern:
        throw PatternMismatch(failure_);
    default:
        break;
    }
    throw ValidationError(failure_);
}

namespace {

bool IsEmpty(std::string_view argument) noexcept { return TrimText(argument).empty(); }

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
        Engine::Validator validator;
        Engine::Checker checker;
    };

    static constexpr Entry kEntries[] = {
        {"AC", &Engine::parseAC, &Engine::CheckAC}, {"AN", &Engine::parseAN, &Engine::CheckAN},
        {"AH", &Engine::parseAH, &Engine::CheckAH}, {"AL", &Engine::parseAL, &Engine::CheckAL},
        {"AT", &Engine::parseAT, &Engine::CheckAT}, {"TO", &Engine::parseTO, &Engine::CheckTO},
        {"TC", &Engine::parseTC, &Engine::CheckTC}, {"SP", &Engine::parseSP, &Engine::CheckSP},
        {"SB", &Engine::parseSB, &Engine::CheckSB}, {"V", &Engine::parseV, &Engine::CheckV},
        {"DP", &Engine::parseDP, &Engine::CheckDP}, {"DA", &Engine::parseDA, &Engine::CheckDA},
        {"DB", &Engine::parseDB, &Engine::CheckDB}, {"DC", &Engine::parseDC, &Engine::CheckDC},
        {"DY", &Engine::parseDY, &Engine::CheckDY},
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

Engine::Validator Engine::FindValidator(std::string_view command) noexcept {
    const ValidatorTable::Entry* entry = ValidatorTable::Find(command);
    return entry == nullptr ? nullptr : entry->validator;
}

Outcome Engine::ScanLine(std::string_view command, std::string_view argument) {
    const ValidatorTable::Entry* entry = ValidatorTable::Find(command);
    if (entry == nullptr) {
        std::string message(command);
        message += " not implemented.";
        return {FailureKind::NotImplemented, std::move(message)};
    }
    try {
        if ((this->*entry->checker)(argument)) return {};
    } catch (const Failure& failure) {
        failure_ = failure.message();
    } catch (const std::exception& failure) {
        // Anything else that carries a message, such as running out of memory.
        failure_ = failure.what();
    }
    return {FailureKind::Validation, failure_};
}

bool Engine::ParseLine(std::int32_t lineNumber, std::string_view command, std::string_view argument) {
    const Outcome outcome = ScanLine(command, argument);
    if (outcome.ok()) return true;
    const bool notImplemented = outcome.kind == FailureKind::NotImplemented;
    sink_.NoteLineError(lineNumber, command, notImplemented ? std::string_view() : outcome.message, notImplemented);
    std::string item = "Line " + IntToText(lineNumber) + ": ";
    if (notImplemented) {
        item += outcome.message;
    } else {
        item += command;
        item += " returned error: ";
        item += outcome.message;
    }
    sink_.AddError(item);
    return false;
}

// --- Header records ---------------------------------------------------------

bool Engine::CheckAC(std::string_view argument) {
    if (IsEmpty(argument)) return FailValidation("Airspace class cannot be empty.");
    // The argument itself, untrimmed and case-sensitive, must be a class code.
    for (std::string_view code : AirspaceClasses) {
        if (argument == code) return true;
    }
    return Fail(FailureKind::Validation, "Class type \"" + std::string(argument) + "\" unkown.");
}

// The messages of AN, AH, AL and AT are as saved error lists know them, each
// with its own command, even where a message names another field.
bool Engine::CheckAN(std::string_view argument) {
    return !IsEmpty(argument) || FailValidation("Airspace floor cannot be empty.");
}

bool Engine::CheckAH(std::string_view argument) {
    return !IsEmpty(argument) || FailValidation("Airspace name cannot be empty.");
}

bool Engine::CheckAL(std::string_view argument) {
    return !IsEmpty(argument) || FailValidation("Airspace ceiling cannot be empty.");
}

bool Engine::CheckAT(std::string_view argument) {
    if (IsEmpty(argument)) return FailValidation("Airspace floor cannot be empty.");
    return CheckPoint(argument);
}

bool Engine::CheckTO(std::string_view) { return true; }

bool Engine::CheckTC(std::string_view) { return true; }

// --- Geometry records ---------------------------------------------------------

bool Engine::CheckDP(std::string_view argument) { return CheckPoint(argument); }

bool Engine::CheckDY(std::string_view argument) { return CheckPoint(argument); }

bool Engine::CheckDA(std::string_view argument) {
    const PatternCheck match = MatchFields(argument, "s,s,s", ParamList, true);
    if (match != PatternCheck::Matched) {
        Fail(FailureKind::Validation, PatternMismatchMessage(match));
        return Wrap("DA");
    }
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
        if (!TryTextToInt(ParamList[i], value)) {
            Fail(FailureKind::Conversion, IntConversionMessage(ParamList[i]));
            return Wrap("DA");
        }
        if (value < kFields[i].lower || value > kFields[i].upper) {
            FailValidation(kFields[i].message);
            return Wrap("DA");
        }
    }
    return true;
}

bool Engine::CheckDB(std::string_view argument) {
    const PatternCheck match = MatchFields(argument, "s,s", ParamList, true);
    if (match != PatternCheck::Matched) {
        Fail(FailureKind::Validation, PatternMismatchMessage(match));
        return Wrap("DB");
    }
    // The first point is checked completely before the second is read;
    // checking a point leaves ParamList alone.
    if (!CheckPoint(ParamList[0]) || !CheckPoint(ParamList[1])) return Wrap("DB");
    return true;
}

bool Engine::CheckDC(std::string_view argument) {
    long double radius;
    if (!TryTextToReal(argument, radius)) {
        Fail(FailureKind::Conversion, RealConversionMessage(argument));
        return Wrap("DC");
    }
    if (radius < 0.0L || radius > 1000.0L) {
        FailValidation("DC radius must be between 0 and 1000.");
        return Wrap("DC");
    }
    return true;
}

// --- Style records ------------------------------------------------------------

bool Engine::CheckRgb(std::string_view text) {
    RgbList.clear();
    SplitCommaText(RgbList, text);
    if (RgbList.size() != 3) return false;
    for (const std::string& item : RgbList) {
        const std::int32_t component = TextToIntDef(TrimText(item), -1);
        if (component < 0 || component > 255) return false;
    }
    return true;
}

bool Engine::CheckSB(std::string_view argument) {
    if (CheckRgb(argument)) return true;
    FailValidation("Brush rgb is not a valid rgb. all 3 components must be between 0 and 255.");
    return Wrap("Brush");
}

bool Engine::CheckSP(std::string_view argument) {
    const PatternCheck match = MatchFields(argument, "s,s,s,s,s", ParamList, true);
    if (match != PatternCheck::Matched) {
        Fail(FailureKind::Validation, PatternMismatchMessage(match));
        return Wrap("Pen");
    }
    std::int32_t style;
    if (!TryTextToInt(ParamList[0], style)) {
        Fail(FailureKind::Conversion, IntConversionMessage(ParamList[0]));
        return Wrap("Pen");
    }
    if (style != 0 && style != 1 && style != 5) {
        FailValidation("Pen style is not supported. Must be 0, 1 or 5.");
        return Wrap("Pen");
    }
    const std::int32_t width = TextToIntDef(ParamList[1], 0);
    if (width < 0 || ParamList[1] == "0") {
        FailValidation("Pen width must be positive.");
        return Wrap("Pen");
    }
    if (width == 0) {
        FailValidation("Pen width is not an integer positive number.");
        return Wrap("Pen");
    }
    // The colour is what follows the second comma of the argument.
    std::string_view colour = argument.substr(argument.find(',') + 1);
    colour = colour.substr(colour.find(',') + 1);
    if (!CheckRgb(colour)) {
        FailValidation("Pen rgb is not a valid rgb. all 3 components must be between 0 and 255.");
        return Wrap("Pen");
    }
    return true;
}

// --- Variable assignments -------------------------------------------------------

bool Engine::CheckV(std::string_view argument) {
    constexpr const char* kRecord = "Variable assignment";
    const PatternCheck match = MatchFields(argument, "s=s", ParamList, true);
    if (match != PatternCheck::Matched) {
        Fail(FailureKind::Validation, PatternMismatchMessage(match));
        return Wrap(kRecord);
    }
    const std::string_view name = ParamList[0];
    const std::string_view value = ParamList[1];
    const char variable = name.size() == 1 ? name[0] : '\0';
    switch (variable) {
    case 'D':
        if (value == "+" || value == "-") return true;
        FailValidation("D values can be only - or +.");
        return Wrap(kRecord);
    case 'W':
    case 'Z': {
        long double number;
        if (!TryTextToReal(value, number)) {
            Fail(FailureKind::Conversion, RealConversionMessage(value));
            return Wrap(kRecord);
        }
        const long double upper = variable == 'W' ? 1000.0L : 100.0L;
        if (number >= 0.0L && number <= upper) return true;
        Fail(FailureKind::Validation,
             variable == 'W' ? GuessedLimitMessage("W", "1000") : GuessedLimitMessage("Z", "100"));
        return Wrap(kRecord);
    }
    case 'X':
        return CheckPoint(value) || Wrap(kRecord);
    default:
        FailValidation("Unkown variable.");
        return Wrap(kRecord);
    }
}

// --- The raising validators -------------------------------------------------------

void Engine::parseAC(std::string_view argument) {
    if (!CheckAC(argument)) RaiseFailure();
}
void Engine::parseAN(std::string_view argument) {
    if (!CheckAN(argument)) RaiseFailure();
}
void Engine::parseAH(std::string_view argument) {
    if (!CheckAH(argument)) RaiseFailure();
}
void Engine::parseAL(std::string_view argument) {
    if (!CheckAL(argument)) RaiseFailure();
}
void Engine::parseAT(std::string_view argument) {
    if (!CheckAT(argument)) RaiseFailure();
}
void Engine::parseTO(std::string_view argument) {
    if (!CheckTO(argument)) RaiseFailure();
}
void Engine::parseTC(std::string_view argument) {
    if (!CheckTC(argument)) RaiseFailure();
}
void Engine::parseSP(std::string_view argument) {
    if (!CheckSP(argument)) RaiseFailure();
}
void Engine::parseSB(std::string_view argument) {
    if (!CheckSB(argument)) RaiseFailure();
}
void Engine::parseV(std::string_view argument) {
    if (!CheckV(argument)) RaiseFailure();
}
void Engine::parseDP(std::string_view argument) {
    if (!CheckDP(argument)) RaiseFailure();
}
void Engine::parseDA(std::string_view argument) {
    if (!CheckDA(argument)) RaiseFailure();
}
void Engine::parseDB(std::string_view argument) {
    if (!CheckDB(argument)) RaiseFailure();
}
void Engine::parseDC(std::string_view argument) {
    if (!CheckDC(argument)) RaiseFailure();
}
void Engine::parseDY(std::string_view argument) {
    if (!CheckDY(argument)) RaiseFailure();
}

}  // namespace corvala
