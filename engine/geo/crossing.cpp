#include "engine/geo/crossing.h"

#include <algorithm>
#include <cmath>
#include <compare>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <set>
#include <span>
#include <tuple>
#include <vector>

#include "engine/geo/plane.h"

namespace corvala {

namespace bg = boost::geometry;
using plane::Azimuthal;
using plane::kDegree;
using plane::kMetresPerDegree;
using plane::PlanePoint;
using plane::Wrap180;

namespace {

// The crossing test works on a grid of a thousandth of a second of arc (3 cm
// or less): on integers every comparison is exact, and the points of the
// file, written to the second or to its thousandths, lie on it exactly, so
// that a point written on an edge stays on it. Coordinates stay below 2^31,
// so that the products the tests form fit into 128 bits.
constexpr double kGridPerDegree = 3'600'000;
constexpr double kGridLimit = 2'000'000'000;

using Wide = __int128;

// Eight bytes a point; differences are taken in 64 bits.
struct GridPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend auto operator<=>(const GridPoint&, const GridPoint&) = default;
};

std::int64_t Minus(std::int32_t a, std::int32_t b) { return std::int64_t{a} - b; }

// Gives back a thread's scratch vector, kept from one outline to the next,
// once an outline of more than a million points is done with it.
template <class T>
struct Release {
    explicit Release(std::vector<T>& vector) : scratch(vector) {}
    Release(const Release&) = delete;
    Release& operator=(const Release&) = delete;
    std::vector<T>& scratch;
    ~Release() {
        if (scratch.capacity() > (std::size_t{1} << 20)) std::vector<T>().swap(scratch);
    }
};

int Sign(Wide value) { return (value > 0) - (value < 0); }

// 1 when c lies to the left of the line from a to b, -1 to the right, 0 on it.
int Orientation(const GridPoint& a, const GridPoint& b, const GridPoint& c) {
    return Sign(Wide(Minus(b.x, a.x)) * Minus(c.y, a.y) - Wide(Minus(b.y, a.y)) * Minus(c.x, a.x));
}

// For c on the line through a and b: whether it lies between them.
bool Within(const GridPoint& a, const GridPoint& b, const GridPoint& c) {
    return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
           c.y <= std::max(a.y, b.y);
}

// How two segments meet: not at all, at a point of one of them that lies on
// the other (`at` is that point), or crossing in the interior of both.
enum class Contact : unsigned char { None, Touch, Cross };

Contact Meet(const GridPoint& a, const GridPoint& b, const GridPoint& c, const GridPoint& d, GridPoint& at) {
    const int o1 = Orientation(a, b, c), o2 = Orientation(a, b, d);
    const int o3 = Orientation(c, d, a), o4 = Orientation(c, d, b);
    if (o1 * o2 < 0 && o3 * o4 < 0) return Contact::Cross;
    for (const auto& [o, p, q, r] : {std::tuple{o1, &a, &b, &c}, std::tuple{o2, &a, &b, &d},
                                      std::tuple{o3, &c, &d, &a}, std::tuple{o4, &c, &d, &b}}) {
        if (o == 0 && Within(*p, *q, *r)) {
            at = *r;
            return Contact::Touch;
        }
    }
    return Contact::None;
}

// An outline's points without repeats: a point equal to the one before it
// is passed over, and so are the points at the end that return to the
// first. Read from the caller's points, never copied.
class Ring {
public:
    explicit Ring(PointSequence points) : points_(points), end_(points.size()) {
        if (end_ == 0) return;
        const GeoPoint first = points_[0];
        while (end_ > 1 && points_[end_ - 1] == first) --end_;
        ForEach([&](std::size_t i, const GeoPoint&) {
            ++size_;
            last_ = i;
            return true;
        });
    }
    std::size_t size() const { return size_; }
    // The index of the ring's last point in the caller's points.
    std::size_t Last() const { return last_; }
    // visit(index, point) for each point in order, until it returns false.
    template <class Visit>
    void ForEach(Visit visit) const {
        GeoPoint previous;
        for (std::size_t i = 0; i < end_; ++i) {
            const GeoPoint p = points_[i];
            if (i > 0 && p == previous) continue;
            previous = p;
            if (!visit(i, p)) return;
        }
    }

private:
    PointSequence points_;
    std::size_t end_;
    std::size_t size_ = 0;
    std::size_t last_ = 0;
};

// The plane an outline is laid flat in: latitude and longitude themselves
// (around a whole degree of longitude), where the outline
// neither goes around a pole nor spans half the earth's longitudes, so that
// straight edges of the file stay straight; else the azimuthal plane about
// the middle of its points.
class FlatOutline {
public:
    // False when no plane keeps the outline's shape.
    bool Choose(const Ring& ring, std::optional<GeoPoint> centre) {
        const std::size_t n = ring.size();
        GeoPoint first, previous;
        double longitude = 0, west = 0, east = 0;
        ring.ForEach([&](std::size_t i, const GeoPoint& p) {
            if (i == 0) {
                first = p;
                longitude = west = east = p.longitude;
            } else {
                longitude += Wrap180(p.longitude - previous.longitude);
                west = std::min(west, longitude);
                east = std::max(east, longitude);
            }
            previous = p;
            return true;
        });
        longitude += Wrap180(first.longitude - previous.longitude);
        const bool aroundPole = std::abs(longitude - first.longitude) > 180;
        if (!aroundPole && east - west < 170) {
            azimuthal_ = false;
            origin_ = {std::round(first.latitude), Wrap180(Wrap180(std::round((west + east) / 2)))};
            return true;
        }
        if (!centre) {
            double x = 0, y = 0, z = 0;
            ring.ForEach([&](std::size_t, const GeoPoint& p) {
                const double phi = p.latitude * kDegree, lambda = p.longitude * kDegree;
                x += std::cos(phi) * std::cos(lambda);
                y += std::cos(phi) * std::sin(lambda);
                z += std::sin(phi);
                return true;
            });
            const double length = std::sqrt(x * x + y * y + z * z);
            // Points spread evenly around a great circle have no middle.
            if (!(length > 0.1 * static_cast<double>(n))) return false;
            centre = GeoPoint{std::asin(std::clamp(z / length, -1.0, 1.0)) / kDegree, std::atan2(y, x) / kDegree};
        }
        azimuthal_ = true;
        plane_ = Azimuthal(*centre);
        // Near the far side of the earth the plane tears.
        bool near = true;
        ring.ForEach([&](std::size_t, const GeoPoint& p) { return near = plane_.Distance(p) < 150; });
        return near;
    }
    PlanePoint Forward(GeoPoint p) const {
        if (azimuthal_) return plane_.Forward(p);
        return {Wrap180(p.longitude - origin_.longitude), p.latitude - origin_.latitude};
    }
    GeoPoint Reverse(const PlanePoint& p) const {
        if (azimuthal_) return plane_.Reverse(p);
        return {p.y() + origin_.latitude, Wrap180(p.x() + origin_.longitude)};
    }

private:
    bool azimuthal_ = false;
    GeoPoint origin_;
    Azimuthal plane_{GeoPoint{}};
};

// The sweep over the outline's segments from west to east (points ordered
// by x, then y: the sweep line turned a little, so that vertical segments
// need no case of their own). The segments the sweep line meets are kept in
// their order along it; two segments are compared when they become
// neighbours there. Segments that only touch never change their order, so
// the sweep goes on past a touch; the first crossing ends it. This finds a
// crossing whenever there is one, and a touch whenever there is one and no
// crossing (points shared by two parts of the outline are found apart,
// by sorting).
class Sweep {
public:
    // `ring`: no two consecutive points equal, the last not equal to the first.
    explicit Sweep(std::span<const GridPoint> ring) : ring_(ring), n_(ring.size()) {}

    // Sets found_: a crossing, else the lowest touch met.
    void Run() {
        // The points in the order of the sweep; a point the outline passes
        // twice comes twice in a row, and the segments that leave it there
        // touch.
        thread_local std::vector<std::uint32_t> order;
        const Release releaseOrder{order};
        order.resize(n_);
        for (std::uint32_t i = 0; i < n_; ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            return ring_[a] != ring_[b] ? ring_[a] < ring_[b] : a < b;
        });
        for (std::size_t k = 1; k < n_; ++k)
            if (ring_[order[k]] == ring_[order[k - 1]]) Keep(order[k - 1], order[k], false, ring_[order[k]]);

        // The nodes of the segments that left the sweep line serve those
        // that join it: memory in step with the segments on it at once.
        std::pmr::unsynchronized_pool_resource nodes;
        Status status(Below{this}, &nodes);
        thread_local std::vector<Status::iterator> where;
        const Release releaseWhere{where};
        where.assign(n_, status.end());
        for (std::size_t k = 0; k < n_;) {
            at_ = ring_[order[k]];
            std::size_t end = k + 1;
            while (end < n_ && ring_[order[end]] == at_) ++end;
            // The segments that end at the point leave the sweep line before
            // those that begin there join it.
            for (std::size_t j = k; j < end; ++j) {
                for (const std::uint32_t s : {Before(order[j]), order[j]}) {
                    if (SegmentAt(s).right != at_) continue;
                    const auto next = status.erase(where[s]);
                    if (next != status.begin() && CompareAbove(status, std::prev(next))) return;
                    if (next != status.end() && CompareBelow(status, next)) return;
                }
            }
            for (std::size_t j = k; j < end; ++j) {
                for (const std::uint32_t s : {Before(order[j]), order[j]}) {
                    if (SegmentAt(s).left != at_) continue;
                    const auto it = status.insert(s).first;
                    where[s] = it;
                    if (CompareBelow(status, it) || CompareAbove(status, it)) return;
                }
            }
            k = end;
        }
    }

    bool found = false;
    bool crosses = false;
    std::size_t first = 0, second = 0;
    // The touching point, or the crossing's segments' ends.
    GridPoint touch;

private:
    struct Segment {
        GridPoint left, right;
    };
    // Segment s, from point s to the next, with its ends in sweep order.
    Segment SegmentAt(std::uint32_t s) const {
        const GridPoint& a = ring_[s];
        const GridPoint& b = ring_[s + 1 == n_ ? 0 : s + 1];
        return a < b ? Segment{a, b} : Segment{b, a};
    }

    // The order along the sweep line at the current point: by height there,
    // then (segments that meet there) by slope, then by number.
    struct Below {
        const Sweep* sweep;
        bool operator()(std::uint32_t a, std::uint32_t b) const { return sweep->Order(a, b) < 0; }
    };
    using Status = std::pmr::set<std::uint32_t, Below>;

    // The segment that ends at point i.
    std::uint32_t Before(std::uint32_t i) const { return static_cast<std::uint32_t>(i == 0 ? n_ - 1 : i - 1); }

    int Order(std::uint32_t a, std::uint32_t b) const {
        if (a == b) return 0;
        const Segment s = SegmentAt(a);
        const Segment t = SegmentAt(b);
        // The heights as fractions num / den, den > 0; a vertical segment
        // (seen only while the sweep is on its x) at the sweep point's
        // height, within its ends.
        auto height = [&](const Segment& g, Wide& num, Wide& den) {
            const std::int64_t dx = Minus(g.right.x, g.left.x);
            if (dx == 0) {
                num = std::clamp(at_.y, g.left.y, g.right.y);
                den = 1;
            } else {
                num = Wide(g.left.y) * dx + Wide(Minus(g.right.y, g.left.y)) * Minus(at_.x, g.left.x);
                den = dx;
            }
        };
        Wide ns, ds, nt, dt;
        height(s, ns, ds);
        height(t, nt, dt);
        if (const int c = Sign(ns * dt - nt * ds)) return c;
        const std::int64_t sx = Minus(s.right.x, s.left.x), tx = Minus(t.right.x, t.left.x);
        if (sx == 0 || tx == 0) {
            if (sx != tx) return sx == 0 ? 1 : -1;
        } else if (const int c = Sign(Wide(Minus(s.right.y, s.left.y)) * tx - Wide(Minus(t.right.y, t.left.y)) * sx)) {
            return c;
        }
        return a < b ? -1 : 1;
    }

    // Compares the segment at `it` with the nearest one below it, or above
    // it, on the sweep line that is not its neighbour on the outline (those
    // share a point with it and could shield an edge that runs along it);
    // true at a crossing.
    bool CompareBelow(const Status& status, Status::const_iterator it) {
        for (auto other = it; other != status.begin();) {
            --other;
            if (!Neighbours(*other, *it)) return Compare(*other, *it);
        }
        return false;
    }
    bool CompareAbove(const Status& status, Status::const_iterator it) {
        for (auto other = std::next(it); other != status.end(); ++other)
            if (!Neighbours(*other, *it)) return Compare(*it, *other);
        return false;
    }

    bool Neighbours(std::size_t a, std::size_t b) const {
        return a + 1 == b || b + 1 == a || (a == 0 && b + 1 == n_) || (b == 0 && a + 1 == n_);
    }

    void Keep(std::size_t a, std::size_t b, bool cross, const GridPoint& point) {
        if (a > b) std::swap(a, b);
        if (found && !cross && std::pair(a, b) >= std::pair(first, second)) return;
        found = true;
        crosses = cross;
        first = a;
        second = b;
        touch = point;
    }

    // Compares two segments that became neighbours; true at a crossing.
    bool Compare(std::uint32_t a, std::uint32_t b) {
        if (Neighbours(a, b)) return false;
        GridPoint point;
        const Contact contact = Meet(ring_[a], ring_[(a + 1) % n_], ring_[b], ring_[(b + 1) % n_], point);
        if (contact == Contact::None) return false;
        Keep(a, b, contact == Contact::Cross, point);
        return contact == Contact::Cross;
    }

    std::span<const GridPoint> ring_;
    std::size_t n_;
    GridPoint at_;
};

// Where the lines through a and b and through c and d cross, in the plane
// (the points as they were before they were put on the grid).
PlanePoint CrossingPoint(const PlanePoint& a, const PlanePoint& b, const PlanePoint& c, const PlanePoint& d) {
    const double d1x = b.x() - a.x(), d1y = b.y() - a.y(), d2x = d.x() - c.x(), d2y = d.y() - c.y();
    const double t = ((c.x() - a.x()) * d2y - (c.y() - a.y()) * d2x) / (d1x * d2y - d1y * d2x);
    return {a.x() + t * d1x, a.y() + t * d1y};
}

}  // namespace

CrossingSearch FindSelfCrossing(PointSequence points, std::optional<GeoPoint> centre) {
    const Ring ring(points);
    // The three sides of a triangle all meet their neighbours only.
    if (ring.size() <= 3) return {};
    FlatOutline flat;
    if (!flat.Choose(ring, centre)) return {CrossingSearch::Outcome::TooLarge, {}};

    // The ring on the grid, where points closer than a grid step are one.
    // visit(k, index, grid point) for each grid point k with the index of
    // the ring point it begins at; false when a point falls off the grid.
    // The last grid points may be the first one again.
    auto eachGridPoint = [&](auto visit) {
        bool onGrid = true;
        std::size_t k = 0;
        GridPoint previous;
        ring.ForEach([&](std::size_t i, const GeoPoint& point) {
            const PlanePoint p = flat.Forward(point);
            const double x = std::round(p.x() * kGridPerDegree), y = std::round(p.y() * kGridPerDegree);
            if (!(std::abs(x) < kGridLimit && std::abs(y) < kGridLimit)) return onGrid = false;
            const GridPoint g{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
            if (k > 0 && g == previous) return true;
            previous = g;
            visit(k++, i, g);
            return true;
        });
        return onGrid;
    };
    thread_local std::vector<GridPoint> grid;
    const Release releaseGrid{grid};
    grid.clear();
    grid.reserve(ring.size());
    if (!eachGridPoint([&](std::size_t, std::size_t, const GridPoint& g) { grid.push_back(g); }))
        return {CrossingSearch::Outcome::TooLarge, {}};
    while (grid.size() > 1 && grid.back() == grid.front()) grid.pop_back();
    const std::size_t m = grid.size();
    if (m <= 3) return {};

    Sweep sweep(grid);
    sweep.Run();
    if (!sweep.found) return {};

    // Back from the grid to the caller's points: where each grid point of
    // the two segments begins, and the ring point just before it.
    const std::size_t wanted[4] = {sweep.first, (sweep.first + 1) % m, sweep.second, (sweep.second + 1) % m};
    std::size_t begins[4] = {}, before[4] = {};
    std::size_t touchAt = 0;
    bool touchSeen = false;
    std::size_t previousIndex = 0;
    eachGridPoint([&](std::size_t k, std::size_t i, const GridPoint& g) {
        for (int w = 0; w < 4; ++w) {
            if (wanted[w] != k) continue;
            begins[w] = i;
            before[w] = previousIndex;
        }
        if (!touchSeen && g == sweep.touch) {
            touchSeen = true;
            touchAt = i;
        }
        previousIndex = i;
    });
    // A segment of the grid ends where the ring's segment that ends at its
    // second point ends; the last one back to the first point.
    auto segment = [&](int w, std::size_t& start, std::size_t& end) {
        end = begins[w + 1];
        start = wanted[w + 1] == 0 ? ring.Last() : before[w + 1];
    };
    SelfCrossing crossing;
    segment(0, crossing.first, crossing.firstEnd);
    segment(2, crossing.second, crossing.secondEnd);
    if (crossing.first > crossing.second) {
        std::swap(crossing.first, crossing.second);
        std::swap(crossing.firstEnd, crossing.secondEnd);
    }
    crossing.crosses = sweep.crosses;
    if (sweep.crosses) {
        auto at = [&](int w) { return flat.Forward(points[begins[w]]); };
        crossing.position = flat.Reverse(CrossingPoint(at(0), at(1), at(2), at(3)));
    } else {
        // A touch is at a point of the outline: give it as written.
        crossing.position = points[touchAt];
    }
    return {CrossingSearch::Outcome::Found, crossing};
}

}  // namespace corvala
