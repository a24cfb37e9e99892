// The record validators, one per command, and the table that finds them by
// name. Each takes the argument text of one line and raises a failure whose
// message explains what is wrong; a valid line raises nothing.
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

namespace {

bool IsEmpty(std::string_view argument) noexcept { return TrimText(argument).empty(); }

// Compound records wrap every failure inside them as
// "<record> data is in unkown format (<inner message>).".
template <typename Check>
void Wrapped(const char* record, Check&& check) {
    try {
        check();
    } catch (const Failure& failure) {
        throw ValidationError(std::string(record) + " data is in unkown format (" + failure.message() + ").");
    }
}

std::string GuessedLimitMessage(const char* variable, const char* upper) {
    return std::string(variable) + " value must be between 0 and " + upper +
           " (the limits are my own personal guess. mail me at " + std::string(ContactEmail()) +
           " if this is incorrect)";
}

struct TableEntry {
    std::string_view command;  // the validator's name without "parse"
    Engine::Validator validator;
};

// Adding a command means adding one entry here.
constexpr TableEntry kValidators[] = {
    {"AC", &Engine::parseAC}, {"AN", &Engine::parseAN}, {"AH", &Engine::parseAH},
    {"AL", &Engine::parseAL}, {"AT", &Engine::parseAT}, {"TO", &Engine::parseTO},
    {"TC", &Engine::parseTC}, {"SP", &Engine::parseSP}, {"SB", &Engine::parseSB},
    {"V", &Engine::parseV},   {"DP", &Engine::parseDP}, {"DA", &Engine::parseDA},
    {"DB", &Engine::parseDB}, {"DC", &Engine::parseDC}, {"DY", &Engine::parseDY},
};

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

constexpr auto kValidatorKeys = [] {
    std::array<std::uint32_t, std::size(kValidators)> keys{};
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = NameKey(kValidators[i].command);
    return keys;
}();

} // namespace

Engine::Validator Engine::FindValidator(std::string_view command) noexcept {
    // Every name is "parse" + one or two characters.
    if (command.empty() || command.size() > 2) return nullptr;
    const std::uint32_t key = NameKey(command);
    for (std::size_t i = 0; i < kValidatorKeys.size(); ++i) {
        if (kValidatorKeys[i] == key) return kValidators[i].validator;
    }
    return nullptr;
}

// --- Header records ---------------------------------------------------------

void Engine::parseAC(std::string_view argument) {
    if (IsEmpty(argument)) throw ValidationError("Airspace class cannot be empty.");
    // The argument itself, untrimmed and case-sensitive, must be a class code.
    for (std::string_view code : AirspaceClasses) {
        if (argument == code) return;
    }
    throw ValidationError("Class type \"" + std::string(argument) + "\" unkown.");
}

void Engine::parseAN(std::string_view argument) {
    if (IsEmpty(argument)) throw ValidationError("Airspace floor cannot be empty.");
}

void Engine::parseAH(std::string_view argument) {
    if (IsEmpty(argument)) throw ValidationError("Airspace name cannot be empty.");
}

void Engine::parseAL(std::string_view argument) {
    if (IsEmpty(argument)) throw ValidationError("Airspace ceiling cannot be empty.");
}

void Engine::parseAT(std::string_view argument) {
    if (IsEmpty(argument)) throw ValidationError("Airspace floor cannot be empty.");
    CheckCoordinate(argument);
}

void Engine::parseTO(std::string_view) {}

void Engine::parseTC(std::string_view) {}

// --- Geometry records ---------------------------------------------------------

void Engine::parseDP(std::string_view argument) { CheckCoordinate(argument); }

void Engine::parseDY(std::string_view argument) { CheckCoordinate(argument); }

void Engine::parseDA(std::string_view argument) {
    Wrapped("DA", [&] {
        MatchPattern(argument, "s,s,s", ParamList, true);
        const std::int32_t radius = TextToInt(ParamList[0]);
        if (radius < 1 || radius > 1000) throw ValidationError("DA radius must be between 1 and 1000.");
        const std::int32_t angle1 = TextToInt(ParamList[1]);
        if (angle1 < 0 || angle1 > 360) throw ValidationError("DA angle 1 must be between 0 and 360.");
        const std::int32_t angle2 = TextToInt(ParamList[2]);
        if (angle2 < 0 || angle2 > 360) throw ValidationError("DA angle 2 must be between 0 and 360.");
    });
}

void Engine::parseDB(std::string_view argument) {
    Wrapped("DB", [&] {
        MatchPattern(argument, "s,s", ParamList, true);
        // The first point is checked completely before the second is read;
        // CheckCoordinate leaves ParamList alone.
        CheckCoordinate(ParamList[0]);
        CheckCoordinate(ParamList[1]);
    });
}

void Engine::parseDC(std::string_view argument) {
    Wrapped("DC", [&] {
        const long double radius = TextToReal(argument);
        if (radius < 0.0L || radius > 1000.0L) throw ValidationError("DC radius must be between 0 and 1000.");
    });
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

void Engine::parseSB(std::string_view argument) {
    Wrapped("Brush", [&] {
        if (!CheckRgb(argument))
            throw ValidationError("Brush rgb is not a valid rgb. all 3 components must be between 0 and 255.");
    });
}

void Engine::parseSP(std::string_view argument) {
    Wrapped("Pen", [&] {
        MatchPattern(argument, "s,s,s,s,s", ParamList, true);
        const std::int32_t style = TextToInt(ParamList[0]);
        if (style != 0 && style != 1 && style != 5)
            throw ValidationError("Pen style is not supported. Must be 0, 1 or 5.");
        const std::int32_t width = TextToIntDef(ParamList[1], 0);
        if (width < 0 || ParamList[1] == "0") throw ValidationError("Pen width must be positive.");
        if (width == 0) throw ValidationError("Pen width is not an integer positive number.");
        // The colour is what follows the second comma of the argument.
        std::string_view colour = argument.substr(argument.find(',') + 1);
        colour = colour.substr(colour.find(',') + 1);
        if (!CheckRgb(colour))
            throw ValidationError("Pen rgb is not a valid rgb. all 3 components must be between 0 and 255.");
    });
}

// --- Variable assignments -------------------------------------------------------

void Engine::parseV(std::string_view argument) {
    Wrapped("Variable assignment", [&] {
        MatchPattern(argument, "s=s", ParamList, true);
        const std::string_view name = ParamList[0];
        const std::string_view value = ParamList[1];
        if (name.size() != 1) throw ValidationError("Unkown variable.");
        switch (name[0]) {
        case 'D':
            if (value != "+" && value != "-") throw ValidationError("D values can be only - or +.");
            break;
        case 'W': {
            const long double width = TextToReal(value);
            if (width < 0.0L || width > 1000.0L) throw ValidationError(GuessedLimitMessage("W", "1000"));
            break;
        }
        case 'X':
            CheckCoordinate(value);
            break;
        case 'Z': {
            const long double zoom = TextToReal(value);
            if (zoom < 0.0L || zoom > 100.0L) throw ValidationError(GuessedLimitMessage("Z", "100"));
            break;
        }
        default:
            throw ValidationError("Unkown variable.");
        }
    });
}

} // namespace corvala
