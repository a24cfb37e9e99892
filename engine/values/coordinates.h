// The coordinate validator's single implementation: one geographic point
// written as two angles, each followed by its compass letter, in DMS, DM or
// DD form. Engine::CheckCoordinate and TryDms/TryDm/TryDd raise what these
// report; the block checks read positions through them (engine/values/position.h).
#pragma once

#include <string_view>

#include "engine/model/outcome.h"
#include "engine/values/pattern.h"

namespace corvala {

enum class CoordinateForm { Dms, Dm, Dd };

// The two angles of a valid coordinate, in the order of the text: each in
// degrees (its parts added up) with its compass letter.
struct Angles {
    double degrees[2] = {0, 0};
    char letters[2] = {0, 0};
};

// One form step. Pattern when the text does not have the form's shape;
// otherwise ok when every value is valid, or the kind and the bare message
// (without "Not a coordinate: ") of the first value that is not. The fields
// are cut into `fields`; `angles`, when given, receives the values of a
// valid text.
Outcome ScanForm(std::string_view text, CoordinateForm form, FieldList& fields, Angles* angles = nullptr);

// The whole check: the first form whose pattern matches decides; every
// failure's message is "Not a coordinate: " + the inner message, of kind
// Validation.
Outcome ScanCoordinate(std::string_view text, FieldList& fields, Angles* angles = nullptr);

struct GeoPoint;
// The position two angles stand for; false when they name none (both
// north/south or both east/west, a latitude beyond 90 degrees).
bool PositionOf(const Angles& angles, GeoPoint& point);

}  // namespace corvala
