// The coordinate validator: one geographic point written as two angles,
// each followed by its compass letter, in DMS, DM or DD form.
#include <string>

#include "engine/coordinate_text.h"
#include "engine/engine.h"
#include "engine/geo.h"
#include "engine/failures.h"
#include "engine/pattern.h"

namespace corvala {

namespace {

constexpr const char* kDegreesMessage = "Degrees must be between 0 and 180.";
constexpr const char* kMinutesMessage = "Minutes must be between 0 and 60.";
constexpr const char* kSecondsMessage = "Seconds must be between 0 and 60.";
constexpr const char* kLetterMessage = "N, S, E or W expected.";

}  // namespace

bool Engine::IntegerField(std::string_view field, std::int32_t upper, const char* message) {
    std::int32_t value;
    if (!TryTextToInt(field, value)) return Fail(FailureKind::Conversion, IntConversionMessage(field));
    if (value < 0 || value > upper) return FailValidation(message);
    return true;
}

// Reals are rounded to single precision before the range check, so 60.000001
// seconds pass as 60 while 60.00001 do not.
bool Engine::RealField(std::string_view field, float upper, const char* message) {
    long double value;
    if (!TryTextToReal(field, value)) return Fail(FailureKind::Conversion, RealConversionMessage(field));
    float narrowed;
    if (!TryNarrowToSingle(value, narrowed)) return Fail(FailureKind::Overflow, "Floating point overflow");
    if (narrowed < 0.0f || narrowed > upper) return FailValidation(message);
    return true;
}

bool Engine::LetterField(std::string_view field) {
    if (field.size() != 1) return FailValidation(kLetterMessage);
    const char letter = field[0];
    if (letter != 'N' && letter != 'S' && letter != 'E' && letter != 'W') return FailValidation(kLetterMessage);
    return true;
}

// One form step: NoShape when the text does not have the form's shape (its
// pattern does not match), Valid when every value is valid, Invalid (with
// the bare inner message in failure_) when a value is not. The fields of the
// first angle are checked in their order in the text, then the second's,
// then the letters against each other.
Engine::FormResult Engine::CheckForm(std::string_view text, Form form) {
    static constexpr std::string_view kPatterns[] = {"s:s:s c s:s:s c", "s:s c s:s c", "s c s c"};
    const auto index = static_cast<std::size_t>(form);
    if (MatchFields(text, kPatterns[index], CoordList, true) != PatternCheck::Matched) return FormResult::NoShape;

    const std::size_t perAngle = CoordList.size() / 2;
    for (std::size_t angle = 0; angle < CoordList.size(); angle += perAngle) {
        const std::string_view* f = &CoordList[angle];
        bool ok;
        switch (form) {
        case Form::Dms:
            ok = IntegerField(f[0], 180, kDegreesMessage) && IntegerField(f[1], 60, kMinutesMessage) &&
                 RealField(f[2], 60.0f, kSecondsMessage) && LetterField(f[3]);
            break;
        case Form::Dm:
            ok = IntegerField(f[0], 180, kDegreesMessage) && RealField(f[1], 60.0f, kMinutesMessage) &&
                 LetterField(f[2]);
            break;
        default:
            ok = RealField(f[0], 180.0f, kDegreesMessage) && LetterField(f[1]);
            break;
        }
        if (!ok) return FormResult::Invalid;
    }
    const std::string_view first = CoordList[perAngle - 1];
    if (first == CoordList.back()) {
        Fail(FailureKind::Validation, "Both points cannot be in the same time " + std::string(first));
        return FormResult::Invalid;
    }
    return FormResult::Valid;
}

bool Engine::RaiseForm(FormResult result) {
    if (result == FormResult::Invalid) RaiseFailure();
    return result == FormResult::Valid;
}

bool Engine::TryDms(std::string_view text) { return RaiseForm(CheckForm(text, Form::Dms)); }

bool Engine::TryDm(std::string_view text) { return RaiseForm(CheckForm(text, Form::Dm)); }

bool Engine::TryDd(std::string_view text) { return RaiseForm(CheckForm(text, Form::Dd)); }

// The first form whose pattern matches decides the outcome; every message
// leaves as "Not a coordinate: " + the inner message.
bool Engine::CheckPoint(std::string_view text) {
    // Each ":" of a pattern takes one ":" of the text, so a text with fewer
    // than four cannot match DMS and one with fewer than two cannot match
    // DM: such forms are passed over without trying their patterns.
    std::size_t colons = 0;
    for (const char c : text) colons += c == ':';
    for (const Form form : {Form::Dms, Form::Dm, Form::Dd}) {
        if ((form == Form::Dms && colons < 4) || (form == Form::Dm && colons < 2)) continue;
        switch (CheckForm(text, form)) {
        case FormResult::Valid:
            return true;
        case FormResult::Invalid:
            failure_.insert(0, "Not a coordinate: ");
            failureKind_ = FailureKind::Validation;
            return false;
        case FormResult::NoShape:
            break;
        }
    }
    return FailValidation("Not a coordinate: data not a valid coordinate format. DMS, DM or DD formats expected.");
}

void Engine::CheckCoordinate(std::string_view text) {
    if (!CheckPoint(text)) RaiseFailure();
}

// After a successful check CoordList holds the fields of the form that
// matched: 8 for DMS, 6 for DM, 4 for DD, all of them valid numbers.
bool ReadPoint(std::string_view text, GeoPoint& point) {
    static thread_local Engine engine;
    static thread_local std::string canonical;  // also reads "53:47:06N 008:21:41E"
    if (!engine.CheckPoint(CanonicalCoordinate(text, canonical))) return false;
    const FieldList& f = engine.CoordList;
    const std::size_t perAngle = f.size() / 2;
    double latitude = 0, longitude = 0;
    bool haveLatitude = false, haveLongitude = false;
    for (std::size_t angle = 0; angle < f.size(); angle += perAngle) {
        double value = 0, scale = 1;
        for (std::size_t k = 0; k + 1 < perAngle; ++k, scale *= 60) {
            long double part = 0;
            std::int32_t integer;
            if (TryTextToInt(f[angle + k], integer)) {
                part = integer;
            } else {
                TryTextToReal(f[angle + k], part);
            }
            value += static_cast<double>(part) / scale;
        }
        const char letter = f[angle + perAngle - 1][0];
        if (letter == 'S' || letter == 'W') value = -value;
        if (letter == 'N' || letter == 'S') {
            latitude = value;
            haveLatitude = true;
        } else {
            longitude = value;
            haveLongitude = true;
        }
    }
    if (!haveLatitude || !haveLongitude || latitude < -90 || latitude > 90 || longitude < -180 || longitude > 180)
        return false;
    point = {latitude, longitude};
    return true;
}

}  // namespace corvala
