#include "engine/outline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include <GeographicLib/Geodesic.hpp>
// Without the rescaling to integer coordinates that Boost.Geometry applies
// by default before its validity check: on outlines of airspace size it
// costs a fifth of the crossing test and changes no result.
#define BOOST_GEOMETRY_NO_ROBUSTNESS
#include <boost/geometry/algorithms/intersection.hpp>
#include <boost/geometry/algorithms/intersects.hpp>
#include <boost/geometry/algorithms/is_valid.hpp>
#include <boost/geometry/geometries/box.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/ring.hpp>
#include <boost/geometry/geometries/segment.hpp>
#include <boost/geometry/index/rtree.hpp>

namespace corvala {

namespace bg = boost::geometry;

namespace {

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

constexpr double kDegree = std::numbers::pi / 180;

// No chord between two followed points departs from its arc by more than
// this: far below what any outline needs to keep its parts apart (and a
// fraction of a pixel when the whole airspace is drawn), and coarse enough
// to follow an arc of a few miles with a few dozen points.
constexpr double kChordMetres = 30;
// ...and no chord spans more than this many degrees of the arc, or less
// than one (at most 360 points for any arc: the largest radius, 1000 NM,
// then departs from its chords by 70 m).
constexpr double kLargestStep = 10;
constexpr double kSmallestStep = 1;
// The exact geodesic anchors of an arc lie this many degrees apart for a
// radius of 1 m up to 45 degrees of latitude (45 degrees of arc up to
// 20 km, 9 degrees at 100 km): the interpolation between them then stays
// within about 10 m.
constexpr double kAnchorSpacing = 900'000;

// The comparisons of segment pairs a crossing test of a large outline may
// make: a real outline needs a few per point.
constexpr std::size_t kComparisonsPerPoint = 16;
constexpr std::size_t kComparisonsBase = 1'000'000;

// Into [-180, 180) for a difference of two longitudes (or a little more).
double Wrap180(double degrees) {
    if (degrees >= 180) return degrees - 360;
    if (degrees < -180) return degrees + 360;
    return degrees;
}

using PlanePoint = bg::model::d2::point_xy<double>;
// Open (the closing segment is implied) and clockwise; the orientation is
// not checked (see CrossingVisitor).
using PlaneRing = bg::model::ring<PlanePoint, true, false>;

// An equirectangular projection around one point: cheap, and a crossing in
// the plane is a crossing on the ellipsoid for outlines of airspace size.
class LocalPlane {
public:
    explicit LocalPlane(GeoPoint origin)
        : origin_(origin), scale_(std::max(std::cos(origin.latitude * kDegree), 1e-9)) {}
    PlanePoint Forward(GeoPoint p) const {
        return {Wrap180(p.longitude - origin_.longitude) * scale_, p.latitude - origin_.latitude};
    }
    GeoPoint Reverse(const PlanePoint& p) const {
        return {p.y() + origin_.latitude, Wrap180(p.x() / scale_ + origin_.longitude)};
    }

private:
    GeoPoint origin_;
    double scale_;
};

// The visit policy of the validity check: every kind of invalidity passes
// except a crossing, which stops the check and keeps the turn with the
// lowest segment numbers among those found.
struct CrossingVisitor {
    bool found = false;
    std::size_t first = 0, second = 0;
    PlanePoint point;
    bool crosses = true;

    template <bg::validity_failure_type Failure>
    bool apply() {
        return true;
    }

    template <bg::validity_failure_type Failure, typename Turns>
    bool apply(const Turns& turns) {
        if constexpr (Failure != bg::failure_self_intersections) {
            return true;
        } else {
            for (const auto& turn : turns) {
                std::size_t a = static_cast<std::size_t>(turn.operations[0].seg_id.segment_index);
                std::size_t b = static_cast<std::size_t>(turn.operations[1].seg_id.segment_index);
                if (a > b) std::swap(a, b);
                if (found && std::pair(a, b) >= std::pair(first, second)) continue;
                found = true;
                first = a;
                second = b;
                point = turn.point;
                crosses = turn.method == bg::detail::overlay::method_crosses;
            }
            return !found;
        }
    }

    template <bg::validity_failure_type Failure, typename Data1, typename Data2>
    bool apply(const Data1&, const Data2&) {
        return true;
    }
};

}  // namespace

Bearing GeodesicTo(GeoPoint from, GeoPoint to) {
    Bearing result;
    double backAzimuth;
    Wgs84().Inverse(from.latitude, from.longitude, to.latitude, to.longitude, result.metres, result.degrees,
                    backAzimuth);
    return result;
}

GeoPoint GeodesicDestination(GeoPoint from, double degrees, double metres) {
    GeoPoint to;
    Wgs84().Direct(from.latitude, from.longitude, degrees, metres, to.latitude, to.longitude);
    return to;
}

void FollowArc(GeoPoint centre, double from, double sweep, double startMetres, double endMetres,
               std::vector<GeoPoint>& out) {
    const double radius = std::max(startMetres, endMetres);
    if (!(radius > kChordMetres) || sweep == 0) return;
    const double step = std::clamp(2 * std::acos(1 - kChordMetres / radius) / kDegree, kSmallestStep, kLargestStep);
    const auto count = static_cast<int>(std::ceil(std::abs(sweep) / step));
    if (count < 2) return;

    // A geodesic point costs a third of a microsecond, too much for every
    // point of every arc of a large file. The points are placed on the
    // circle of a plane around the centre instead, shifted by the
    // difference between that plane and the ellipsoid, which is measured
    // exactly at a few anchors and interpolated between them. The
    // difference changes slowly along the arc (mostly with twice the
    // bearing), so the points stay within about 10 m of the geodesic ones.
    const LocalPlane plane(centre);
    const GeographicLib::Geodesic& earth = Wgs84();
    const double e2 = earth.Flattening() * (2 - earth.Flattening());
    const double sine = std::sin(centre.latitude * kDegree);
    const double w = std::sqrt(1 - e2 * sine * sine);
    // Metres per unit of the plane's axes: degrees of latitude north, and
    // degrees of longitude times the cosine of the latitude east.
    const double north = earth.EquatorialRadius() * (1 - e2) / (w * w * w) * kDegree;
    const double east = earth.EquatorialRadius() / w * kDegree;
    auto onCircle = [&](double t) {
        const double bearing = (from + sweep * t) * kDegree;
        const double metres = startMetres + (endMetres - startMetres) * t;
        return PlanePoint(metres * std::sin(bearing) / east, metres * std::cos(bearing) / north);
    };

    // The difference grows with the tangent of the latitude.
    const double tangent = std::max(1.0, std::abs(std::tan(centre.latitude * kDegree)));
    const double spacing = std::clamp(kAnchorSpacing / (radius * tangent), 1.0, 45.0);
    const auto anchors = static_cast<int>(std::ceil(std::abs(sweep) / spacing));
    thread_local std::vector<PlanePoint> shift;
    shift.clear();
    for (int k = 0; k <= anchors; ++k) {
        const double t = static_cast<double>(k) / anchors;
        const PlanePoint exact =
            plane.Forward(GeodesicDestination(centre, from + sweep * t, startMetres + (endMetres - startMetres) * t));
        const PlanePoint planar = onCircle(t);
        shift.emplace_back(exact.x() - planar.x(), exact.y() - planar.y());
    }
    for (int j = 1; j < count; ++j) {
        const double t = static_cast<double>(j) / count;
        const double s = t * anchors;
        const int k = std::min(static_cast<int>(s), anchors - 1);
        const double u = s - k;
        const PlanePoint p = onCircle(t);
        out.push_back(plane.Reverse({p.x() + shift[k].x() * (1 - u) + shift[k + 1].x() * u,
                                     p.y() + shift[k].y() * (1 - u) + shift[k + 1].y() * u}));
    }
}

namespace {

// Boost.Geometry's validity check partitions the outline's boxes and so
// finds a crossing in order n log n time on outlines of any real shape,
// but compares every pair of parts whose boxes overlap: on an outline made
// to defeat it (a star of long spikes) that is every pair. Up to this many
// points that costs at most a few milliseconds.
constexpr std::size_t kSmallOutline = 1024;

SelfCrossing MakeCrossing(const LocalPlane& plane, std::size_t first, std::size_t second, const PlanePoint& point,
                          bool crosses) {
    return {first, second, plane.Reverse(point), crosses};
}

// Larger outlines: each segment is compared with the segments whose boxes
// overlap its own, found in an R-tree, within a budget of comparisons.
using PlaneSegment = bg::model::segment<PlanePoint>;
using PlaneBox = bg::model::box<PlanePoint>;
using BoxEntry = std::pair<PlaneBox, std::uint32_t>;

CrossingSearch SearchLarge(const PlaneRing& ring, const LocalPlane& plane) {
    const std::size_t n = ring.size();
    auto segment = [&](std::size_t i) { return PlaneSegment(ring[i], ring[(i + 1) % n]); };
    std::vector<BoxEntry> boxes;
    boxes.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PlanePoint& a = ring[i];
        const PlanePoint& b = ring[(i + 1) % n];
        boxes.emplace_back(PlaneBox({std::min(a.x(), b.x()), std::min(a.y(), b.y())},
                                    {std::max(a.x(), b.x()), std::max(a.y(), b.y())}),
                           static_cast<std::uint32_t>(i));
    }
    const bg::index::rtree<BoxEntry, bg::index::rstar<16>> tree(boxes);
    std::size_t budget = kComparisonsPerPoint * n + kComparisonsBase;
    std::vector<BoxEntry> near;
    for (std::size_t i = 0; i < n; ++i) {
        near.clear();
        tree.query(bg::index::intersects(boxes[i].first), std::back_inserter(near));
        if (near.size() > budget) return {CrossingSearch::Outcome::TooTangled, {}};
        budget -= near.size();
        std::size_t best = n;
        for (const BoxEntry& entry : near) {
            const std::size_t j = entry.second;
            // Later segments only, and not the neighbours (which share a
            // point with this one).
            if (j <= i + 1 || (i == 0 && j == n - 1) || j >= best) continue;
            if (bg::intersects(segment(i), segment(j))) best = j;
        }
        if (best == n) continue;
        std::vector<PlanePoint> points;
        bg::intersection(segment(i), segment(best), points);
        const PlaneSegment a = segment(i), b = segment(best);
        auto side = [](const PlanePoint& p, const PlanePoint& q, const PlanePoint& r) {
            const double cross = (q.x() - p.x()) * (r.y() - p.y()) - (q.y() - p.y()) * (r.x() - p.x());
            return (cross > 0) - (cross < 0);
        };
        const bool crosses = side(a.first, a.second, b.first) * side(a.first, a.second, b.second) < 0 &&
                             side(b.first, b.second, a.first) * side(b.first, b.second, a.second) < 0;
        return {CrossingSearch::Outcome::Found,
                MakeCrossing(plane, i, best, points.empty() ? ring[(i + 1) % n] : points.front(), crosses)};
    }
    return {};
}

}  // namespace

CrossingSearch FindSelfCrossing(std::span<const GeoPoint> points) {
    // The three sides of a triangle all meet their neighbours only.
    if (points.size() <= 3) return {};
    const LocalPlane plane(points.front());
    thread_local PlaneRing ring;
    ring.clear();
    for (const GeoPoint& p : points) ring.push_back(plane.Forward(p));
    if (ring.size() > kSmallOutline) return SearchLarge(ring, plane);

    CrossingVisitor visitor;
    bg::is_valid(ring, visitor, bg::default_strategy());
    if (!visitor.found) return {};
    return {CrossingSearch::Outcome::Found,
            MakeCrossing(plane, visitor.first, visitor.second, visitor.point, visitor.crosses)};
}

std::string FormatDms(GeoPoint point) {
    auto split = [](double degrees, int& d, int& m, int& s) {
        const long total = std::lround(std::abs(degrees) * 3600);
        d = static_cast<int>(total / 3600);
        m = static_cast<int>(total / 60 % 60);
        s = static_cast<int>(total % 60);
    };
    int d1, m1, s1, d2, m2, s2;
    split(point.latitude, d1, m1, s1);
    split(point.longitude, d2, m2, s2);
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %c %03d:%02d:%02d %c", d1, m1, s1, point.latitude < 0 ? 'S' : 'N',
                  d2, m2, s2, point.longitude < 0 ? 'W' : 'E');
    return text;
}

}  // namespace corvala
