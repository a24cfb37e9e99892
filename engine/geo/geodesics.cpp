#include "engine/geo/geodesics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include <GeographicLib/Geodesic.hpp>

#include "engine/geo/plane.h"

namespace corvala {

using plane::Azimuthal;
using plane::kDegree;
using plane::kMetresPerDegree;
using plane::PlanePoint;
using plane::Wrap180;

namespace {

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

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
// The exact geodesic anchors of an arc lie this many degrees of the arc
// apart at the largest radius, and further apart for smaller ones (the
// error of the interpolation between them grows with the radius and the
// fourth power of their spacing): 12 degrees at 1000 NM, 21 at 100 NM, 38
// at 10 NM, 45 at most. The points then stay within about 3 m of the
// geodesic ones at any latitude.
constexpr double kAnchorSpacing = 12;
constexpr double kLargestRadius = 1000 * kMetresPerNauticalMile;

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

namespace {

// The chords an arc is followed with: 0 when its points are its ends alone.
int ArcChords(double sweep, double startMetres, double endMetres) {
    const double radius = std::max(startMetres, endMetres);
    if (!(radius > kChordMetres) || sweep == 0 || !std::isfinite(sweep)) return 0;
    const double step = std::clamp(2 * std::acos(1 - kChordMetres / radius) / kDegree, kSmallestStep, kLargestStep);
    const auto count = static_cast<int>(std::ceil(std::min(std::abs(sweep), 360.0) / step));
    return count < 2 ? 0 : count;
}

}  // namespace

std::size_t ArcPointCount(double sweep, double startMetres, double endMetres) {
    const int count = ArcChords(sweep, startMetres, endMetres);
    return count == 0 ? 0 : static_cast<std::size_t>(count) - 1;
}

void FollowArc(GeoPoint centre, double from, double sweep, double startMetres, double endMetres,
               std::vector<GeoPoint>& out) {
    const double radius = std::max(startMetres, endMetres);
    const int count = ArcChords(sweep, startMetres, endMetres);
    if (count == 0) return;

    // A geodesic point costs a third of a microsecond or more, too much for
    // every point of every arc of a large file. The points are placed on the
    // circle of the azimuthal plane about the centre instead (in which the
    // circle of a sphere stays a circle, also around a pole), shifted by the
    // difference between the sphere and the ellipsoid, which is measured
    // exactly at a few anchors and interpolated between them (Catmull-Rom
    // splines through four anchors). The difference changes slowly along
    // the arc (mostly with twice the bearing).
    const double along = endMetres - startMetres;
    const Azimuthal plane(centre);
    auto onCircle = [&](double t) {
        const double bearing = (from + sweep * t) * kDegree;
        const double degrees = (startMetres + along * t) / kMetresPerDegree;
        return PlanePoint(degrees * std::sin(bearing), degrees * std::cos(bearing));
    };
    const double spacing = std::clamp(kAnchorSpacing * std::pow(kLargestRadius / radius, 0.25), kAnchorSpacing, 45.0);
    const int anchors = std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / spacing)));
    // shift[k] belongs to anchor k - 1, from one before the start to one
    // after the end (on the arc or the spiral continued).
    thread_local std::vector<PlanePoint> shift;
    shift.clear();
    for (int k = -1; k <= anchors + 1; ++k) {
        const double t = static_cast<double>(k) / anchors;
        const PlanePoint exact = plane.Forward(GeodesicDestination(centre, from + sweep * t, startMetres + along * t));
        const PlanePoint planar = onCircle(t);
        shift.emplace_back(exact.x() - planar.x(), exact.y() - planar.y());
    }
    auto spline = [](double a, double b, double c, double d, double u) {
        return b + 0.5 * u * (c - a + u * (2 * a - 5 * b + 4 * c - d + u * (3 * (b - c) + d - a)));
    };
    for (int j = 1; j < count; ++j) {
        const double t = static_cast<double>(j) / count;
        const double s = t * anchors;
        const int k = std::min(static_cast<int>(s), anchors - 1);
        const double u = s - k;
        const PlanePoint p = onCircle(t);
        const PlanePoint* q = &shift[static_cast<std::size_t>(k)];
        out.push_back(plane.Reverse({p.x() + spline(q[0].x(), q[1].x(), q[2].x(), q[3].x(), u),
                                     p.y() + spline(q[0].y(), q[1].y(), q[2].y(), q[3].y(), u)}));
    }
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
