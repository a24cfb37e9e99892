// Reading positions out of coordinate texts, for the checks that look at
// geometry. The line checks only decide whether a text is a valid
// coordinate; these functions also give its value.
#pragma once

#include <string_view>

namespace corvala {

// A position in degrees on the WGS84 ellipsoid: latitude north positive,
// longitude east positive.
struct GeoPoint {
    double latitude = 0;
    double longitude = 0;
    friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// The position a coordinate text stands for. False when the text is not a
// valid coordinate (the line checks report why), or when it is valid but
// names no position: both angles north/south or both east/west, a latitude
// beyond 90 degrees or a longitude beyond 180. Also reads the spacing of
// current files, such as "53:47:06N 008:21:41E" (engine/values/coordinate_text.h).
bool ReadPoint(std::string_view text, GeoPoint& point);

}  // namespace corvala
