// Laying points of the earth flat: the spherical azimuthal equidistant
// plane about a centre, and longitudes wrapped around. Shared by the
// geodesics (engine/geo/geodesics.cpp) and the crossing test
// (engine/geo/crossing.cpp); internal to the geo layer.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

#include <boost/geometry/geometries/point_xy.hpp>

#include "engine/values/position.h"

namespace corvala::plane {

namespace bg = boost::geometry;

constexpr double kDegree = std::numbers::pi / 180;

// Metres per degree of a great circle of the sphere of the earth's mean
// radius: the unit of the azimuthal plane.
constexpr double kMetresPerDegree = 6'371'008.8 * kDegree;

// Into [-180, 180) for a difference of two longitudes (or a little more).
inline double Wrap180(double degrees) {
    if (degrees >= 180) return degrees - 360;
    if (degrees < -180) return degrees + 360;
    return degrees;
}

using PlanePoint = bg::model::d2::point_xy<double>;

// The spherical azimuthal equidistant projection about a centre, in
// degrees of arc: the distance and the direction from the centre are kept,
// so that an outline around a pole, or one as wide as a hemisphere, stays
// as simple as it is on the earth.
class Azimuthal {
public:
    explicit Azimuthal(GeoPoint centre)
        : centre_(centre), sin0_(std::sin(centre.latitude * kDegree)), cos0_(std::cos(centre.latitude * kDegree)) {}
    PlanePoint Forward(GeoPoint p) const {
        const double phi = p.latitude * kDegree, dl = (p.longitude - centre_.longitude) * kDegree;
        const double x = std::cos(phi) * std::sin(dl);
        const double y = cos0_ * std::sin(phi) - sin0_ * std::cos(phi) * std::cos(dl);
        const double z = sin0_ * std::sin(phi) + cos0_ * std::cos(phi) * std::cos(dl);
        const double h = std::hypot(x, y);
        const double k = h > 0 ? std::atan2(h, z) / h / kDegree : 1 / kDegree;
        return {x * k, y * k};
    }
    GeoPoint Reverse(const PlanePoint& p) const {
        const double c = std::hypot(p.x(), p.y()) * kDegree;
        if (c == 0) return centre_;
        const double x = p.x() * kDegree, y = p.y() * kDegree;
        const double sine = std::clamp(std::cos(c) * sin0_ + y * std::sin(c) * cos0_ / c, -1.0, 1.0);
        const double longitude =
            centre_.longitude + std::atan2(x * std::sin(c), c * cos0_ * std::cos(c) - y * sin0_ * std::sin(c)) / kDegree;
        return {std::asin(sine) / kDegree, Wrap180(Wrap180(longitude))};
    }
    // The distance from the centre in degrees of arc.
    double Distance(GeoPoint p) const {
        const PlanePoint q = Forward(p);
        return std::hypot(q.x(), q.y());
    }

private:
    GeoPoint centre_;
    double sin0_, cos0_;
};


}  // namespace corvala::plane
