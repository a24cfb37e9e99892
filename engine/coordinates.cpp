// The coordinate validator: one geographic point written as two angles,
// each followed by its compass letter, in DMS, DM or DD form.
#include <string>

#include "engine/engine.h"
#include "engine/failures.h"
#include "engine/pattern.h"

namespace corvala {

namespace {

constexpr std::string_view kDmsPattern = "s:s:s c s:s:s c";
constexpr std::string_view kDmPattern = "s:s c s:s c";
constexpr std::string_view kDdPattern = "s c s c";

constexpr const char* kDegreesMessage = "Degrees must be between 0 and 180.";
constexpr const char* kMinutesMessage = "Minutes must be between 0 and 60.";
constexpr const char* kSecondsMessage = "Seconds must be between 0 and 60.";

void CheckIntegerField(std::string_view field, std::int32_t upper, const char* message) {
    const std::int32_t value = TextToInt(field);
    if (value < 0 || value > upper) throw ValidationError(message);
}

// Reals are rounded to single precision before the range check, so 60.000001
// seconds pass as 60 while 60.00001 do not.
void CheckRealField(std::string_view field, float upper, const char* message) {
    const float value = NarrowToSingle(TextToReal(field));
    if (value < 0.0f || value > upper) throw ValidationError(message);
}

void CheckLetter(std::string_view field) {
    if (field.size() != 1) throw ValidationError("N, S, E or W expected.");
    const char letter = field[0];
    if (letter != 'N' && letter != 'S' && letter != 'E' && letter != 'W')
        throw ValidationError("N, S, E or W expected.");
}

void CheckLettersDiffer(std::string_view first, std::string_view second) {
    if (first == second) throw ValidationError("Both points cannot be in the same time " + std::string(first));
}

} // namespace

bool Engine::TryDms(std::string_view text) {
    if (MatchFields(text, kDmsPattern, CoordList, true) != PatternCheck::Matched) return false;
    for (std::size_t angle = 0; angle < 8; angle += 4) {
        CheckIntegerField(CoordList[angle], 180, kDegreesMessage);
        CheckIntegerField(CoordList[angle + 1], 60, kMinutesMessage);
        CheckRealField(CoordList[angle + 2], 60.0f, kSecondsMessage);
        CheckLetter(CoordList[angle + 3]);
    }
    CheckLettersDiffer(CoordList[3], CoordList[7]);
    return true;
}

bool Engine::TryDm(std::string_view text) {
    if (MatchFields(text, kDmPattern, CoordList, true) != PatternCheck::Matched) return false;
    for (std::size_t angle = 0; angle < 6; angle += 3) {
        CheckIntegerField(CoordList[angle], 180, kDegreesMessage);
        CheckRealField(CoordList[angle + 1], 60.0f, kMinutesMessage);
        CheckLetter(CoordList[angle + 2]);
    }
    CheckLettersDiffer(CoordList[2], CoordList[5]);
    return true;
}

bool Engine::TryDd(std::string_view text) {
    if (MatchFields(text, kDdPattern, CoordList, true) != PatternCheck::Matched) return false;
    for (std::size_t angle = 0; angle < 4; angle += 2) {
        CheckRealField(CoordList[angle], 180.0f, kDegreesMessage);
        CheckLetter(CoordList[angle + 1]);
    }
    CheckLettersDiffer(CoordList[1], CoordList[3]);
    return true;
}

void Engine::CheckCoordinate(std::string_view text) {
    bool matched;
    try {
        // The first form whose pattern matches decides the outcome.
        matched = TryDms(text) || TryDm(text) || TryDd(text);
    } catch (const Failure& failure) {
        throw ValidationError("Not a coordinate: " + failure.message());
    }
    if (!matched) {
        throw ValidationError(
            "Not a coordinate: data not a valid coordinate format. DMS, DM or DD formats expected.");
    }
}

} // namespace corvala
