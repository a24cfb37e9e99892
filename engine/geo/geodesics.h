// The geodesics under the block checks: distances, destinations and arc
// points on the WGS84 ellipsoid, and positions written for messages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/values/position.h"

namespace corvala {

inline constexpr double kMetresPerNauticalMile = 1852;

// The geodesic from `from` to `to`: its length in metres and its bearing at
// `from` (degrees true, -180 to 180).
struct Bearing {
    double metres = 0;
    double degrees = 0;
};
Bearing GeodesicTo(GeoPoint from, GeoPoint to);

// The point `metres` away from `from` on the geodesic that leaves it at
// bearing `degrees`.
GeoPoint GeodesicDestination(GeoPoint from, double degrees, double metres);

// Appends the points of an arc around `centre` strictly between its ends:
// from bearing `from`, turning by `sweep` degrees (positive clockwise),
// with a radius that goes evenly from `startMetres` to `endMetres` (a
// spiral when the two differ, so that it still meets both ends). The
// points lie closely enough that no chord departs from the arc by more
// than a few dozen metres, each within a few metres of the geodesic point,
// near the poles too; never more than one point per degree.
void FollowArc(GeoPoint centre, double from, double sweep, double startMetres, double endMetres,
               std::vector<GeoPoint>& out);

// The points FollowArc appends for the same arc.
std::size_t ArcPointCount(double sweep, double startMetres, double endMetres);

// "45:12:30 N 009:01:02 E": whole seconds, the form DP lines are written in.
std::string FormatDms(GeoPoint point);

}  // namespace corvala
