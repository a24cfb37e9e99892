// The coordinate validator: one geographic point written as two angles,
// each followed by its compass letter, in DMS, DM or DD form.
#include "engine/values/coordinates.h"

#include <string>

#include "engine/values/coordinate_text.h"
#include "engine/model/failures.h"
#include "engine/values/position.h"

namespace corvala {

namespace {

constexpr const char* kDegreesMessage = "Degrees must be between 0 and 180.";
constexpr const char* kMinutesMessage = "Minutes must be between 0 and 60.";
constexpr const char* kSecondsMessage = "Seconds must be between 0 and 60.";
constexpr const char* kLetterMessage = "N, S, E or W expected.";

Outcome Invalid(const char* message) { return {FailureKind::Validation, message}; }

// What is wrong with a field, as plain data: the valid path of a form
// builds no message.
struct Fault {
    enum Kind : unsigned char { None, Range, Integer, Real, Overflow } kind = None;
    const char* message = nullptr;  // Range
    std::string_view field;  // Integer, Real
    Outcome ToOutcome() const {
        switch (kind) {
        case Integer:
            return {FailureKind::Conversion, IntConversionMessage(field)};
        case Real:
            return {FailureKind::Conversion, RealConversionMessage(field)};
        case Overflow:
            return {FailureKind::Overflow, "Floating point overflow"};
        default:
            return Invalid(message);
        }
    }
};

Fault IntegerField(std::string_view field, std::int32_t upper, const char* message, double& value) {
    std::int32_t integer;
    if (!ScanInt(field, integer)) return {Fault::Integer, nullptr, field};
    if (integer < 0 || integer > upper) return {Fault::Range, message, {}};
    value = integer;
    return {};
}

// Reals are rounded to single precision before the range check, so 60.000001
// seconds pass as 60 while 60.00001 do not.
Fault RealField(std::string_view field, float upper, const char* message, double& value) {
    long double real;
    if (!ScanReal(field, real)) return {Fault::Real, nullptr, field};
    float narrowed;
    if (!ScanSingle(real, narrowed)) return {Fault::Overflow, nullptr, {}};
    if (narrowed < 0.0f || narrowed > upper) return {Fault::Range, message, {}};
    value = static_cast<double>(real);
    return {};
}

Fault LetterField(std::string_view field) {
    const bool ok = field.size() == 1 && (field[0] == 'N' || field[0] == 'S' || field[0] == 'E' || field[0] == 'W');
    return ok ? Fault{} : Fault{Fault::Range, kLetterMessage, {}};
}

// The fields of one angle in their order in the text, each as its table
// says; the angle's degrees add up its parts.
Fault AngleFields(const std::string_view* f, CoordinateForm form, double& degrees) {
    double parts[3] = {0, 0, 0};
    Fault fault;
    switch (form) {
    case CoordinateForm::Dms:
        if ((fault = IntegerField(f[0], 180, kDegreesMessage, parts[0])).kind) return fault;
        if ((fault = IntegerField(f[1], 60, kMinutesMessage, parts[1])).kind) return fault;
        if ((fault = RealField(f[2], 60.0f, kSecondsMessage, parts[2])).kind) return fault;
        fault = LetterField(f[3]);
        break;
    case CoordinateForm::Dm:
        if ((fault = IntegerField(f[0], 180, kDegreesMessage, parts[0])).kind) return fault;
        if ((fault = RealField(f[1], 60.0f, kMinutesMessage, parts[1])).kind) return fault;
        fault = LetterField(f[2]);
        break;
    case CoordinateForm::Dd:
        if ((fault = RealField(f[0], 180.0f, kDegreesMessage, parts[0])).kind) return fault;
        fault = LetterField(f[1]);
        break;
    }
    degrees = parts[0] + parts[1] / 60 + parts[2] / 3600;
    return fault;
}

}  // namespace

Outcome ScanForm(std::string_view text, CoordinateForm form, FieldList& fields, Angles* angles) {
    static constexpr std::string_view kPatterns[] = {"s:s:s c s:s:s c", "s:s c s:s c", "s c s c"};
    const PatternCheck check = ScanFields(text, kPatterns[static_cast<std::size_t>(form)], fields, true);
    // A form that does not fit needs no message: its step only says so.
    if (check != PatternCheck::Matched) return {FailureKind::Pattern, {}};

    const std::size_t perAngle = fields.size() / 2;
    Angles values;
    for (std::size_t angle = 0; angle < 2; ++angle) {
        const Fault fault = AngleFields(&fields[angle * perAngle], form, values.degrees[angle]);
        if (fault.kind != Fault::None) return fault.ToOutcome();
        values.letters[angle] = fields[angle * perAngle + perAngle - 1][0];
    }
    if (values.letters[0] == values.letters[1])
        return {FailureKind::Validation, "Both points cannot be in the same time " + std::string(1, values.letters[0])};
    if (angles) *angles = values;
    return {};
}

Outcome ScanCoordinate(std::string_view text, FieldList& fields, Angles* angles) {
    // Each ":" of a pattern takes one ":" of the text, so a text with fewer
    // than four cannot match DMS and one with fewer than two cannot match
    // DM: such forms are passed over without trying their patterns.
    std::size_t colons = 0;
    for (const char c : text) colons += c == ':';
    for (const CoordinateForm form : {CoordinateForm::Dms, CoordinateForm::Dm, CoordinateForm::Dd}) {
        if ((form == CoordinateForm::Dms && colons < 4) || (form == CoordinateForm::Dm && colons < 2)) continue;
        Outcome outcome = ScanForm(text, form, fields, angles);
        if (outcome.kind == FailureKind::Pattern) continue;
        // The first form whose pattern matches decides the outcome.
        if (!outcome.ok()) {
            outcome.message.insert(0, "Not a coordinate: ");
            outcome.kind = FailureKind::Validation;
        }
        return outcome;
    }
    return Invalid("Not a coordinate: data not a valid coordinate format. DMS, DM or DD formats expected.");
}

bool PositionOf(const Angles& angles, GeoPoint& point) {
    double latitude = 0, longitude = 0;
    bool haveLatitude = false, haveLongitude = false;
    for (std::size_t i = 0; i < 2; ++i) {
        const char letter = angles.letters[i];
        const double value = letter == 'S' || letter == 'W' ? -angles.degrees[i] : angles.degrees[i];
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

bool ReadPoint(std::string_view text, GeoPoint& point) {
    thread_local FieldList fields;
    thread_local std::string canonical;  // also reads "53:47:06N 008:21:41E"
    Angles angles;
    return ScanCoordinate(CanonicalCoordinate(text, canonical), fields, &angles).ok() && PositionOf(angles, point);
}

}  // namespace corvala
