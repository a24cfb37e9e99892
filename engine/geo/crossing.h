// Whether a closed outline crosses or touches itself: the test under the
// block checks' self-intersection and self-touching rules.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <type_traits>

#include "engine/values/position.h"

namespace corvala {

inline GeoPoint PositionOf(const GeoPoint& point) { return point; }

// The points of an outline as any container holds them, read by index
// without a copy: GeoPoints, or elements for which a PositionOf overload
// gives the position. The container must outlive the sequence.
class PointSequence {
public:
    template <class Container>
        requires(!std::is_same_v<Container, PointSequence>)
    PointSequence(const Container& points)  // NOLINT(google-explicit-constructor): a view
        : points_(&points),
          size_(std::size(points)),
          at_([](const void* held, std::size_t i) {
              return PositionOf((*static_cast<const Container*>(held))[i]);
          }) {}
    std::size_t size() const { return size_; }
    GeoPoint operator[](std::size_t i) const { return at_(points_, i); }

private:
    const void* points_;
    std::size_t size_;
    GeoPoint (*at_)(const void*, std::size_t);
};

// Where a closed outline crosses or touches itself.
struct SelfCrossing {
    // The two segments, each by the indices of its two points: a segment
    // runs from a point to the next point that differs from it, the last
    // one back to point 0. first < second.
    std::size_t first = 0, firstEnd = 0;
    std::size_t second = 0, secondEnd = 0;
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

// Whether the outline through `points` (closed back to the first point)
// crosses or touches itself, and one place where it does: a crossing when
// there is one, else the touch of the two lowest segments that the search
// met. A point equal to the one before it is passed over, and so are the
// points at the end that return to the first.
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
// shape or orientation; the memory some twenty bytes a point, besides the
// points themselves.
CrossingSearch FindSelfCrossing(PointSequence points, std::optional<GeoPoint> centre = std::nullopt);

}  // namespace corvala
