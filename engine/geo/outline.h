// The geometry under the block checks: distances and arc points on the
// WGS84 ellipsoid, and whether a closed outline crosses itself.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
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

// Where a closed outline crosses or touches itself.
struct SelfCrossing {
    // Segment i runs from point i to point i + 1, the last one back to
    // point 0; first < second.
    std::size_t first = 0;
    std::size_t second = 0;
    GeoPoint position;
    // The two segments cross, each in its interior; otherwise the outline
    // only touches itself there: a point of one segment lies on the other
    // (a shared point, a point on an edge) or the two overlap (a retraced
    // edge, the cut line to an inner ring).
    bool crosses = true;
};

struct CrossingSearch {
    enum class Outcome : unsigned char {
        None,  // the outline neither crosses nor touches itself
        Found,  // it does, at `crossing`
        TooLarge,  // it spans so much of the earth (a great circle, most of
        // a hemisphere around its middle) that no plane keeps its shape
    };
    Outcome outcome = Outcome::None;
    SelfCrossing crossing;
};

// Whether the outline through `points` (closed back to the first point; no
// two consecutive points equal, the last not equal to the first) crosses
// or touches itself, and one place where it does: a crossing when there is
// one, else the touch of the two lowest segments that the search met.
//
// The outline is laid flat on a grid of a thousandth of a second: in a plane of
// latitude and longitude around it, so that straight edges of the file stay
// straight; or, when it goes around a pole or over more than 170 degrees of
// longitude, in the azimuthal equidistant plane about `centre` (the centre
// of its largest arc, in which that arc stays a circle) or else about the
// middle of its points (TooLarge when a point lies 150 degrees or more from
// it). Then it is swept once from west to east: segments are compared only
// when they become neighbours along the sweep line, with exact integer
// arithmetic. The time is of order n log n for n points, whatever their
// shape or orientation.
CrossingSearch FindSelfCrossing(std::span<const GeoPoint> points, std::optional<GeoPoint> centre = std::nullopt);

// The points FollowArc appends for the same arc.
std::size_t ArcPointCount(double sweep, double startMetres, double endMetres);

// "45:12:30 N 009:01:02 E": whole seconds, the form DP lines are written in.
std::string FormatDms(GeoPoint point);

}  // namespace corvala
