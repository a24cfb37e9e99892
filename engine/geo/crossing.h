// Whether a closed outline crosses or touches itself: the test under the
// block checks' self-intersection and self-touching rules.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "engine/values/position.h"

namespace corvala {

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

}  // namespace corvala
