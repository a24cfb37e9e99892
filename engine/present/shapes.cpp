#include "engine/present/shapes.h"

#include <algorithm>
#include <cmath>

#include "engine/run/block_at_line.h"
#include "engine/geo/geodesics.h"
#include "engine/input/record_line.h"
#include "engine/values/text.h"

namespace corvala {

namespace {

// The difference of two longitudes in (-180, 180].
double LongitudeStep(double from, double to) {
    double d = std::fmod(to - from, 360.0);
    if (d > 180) d -= 360;
    if (d <= -180) d += 360;
    return d;
}

// A point in the plane of longitude (counted on past +-180 so that a shape
// stays whole) and latitude.
struct Flat {
    double x = 0;
    double y = 0;
};

// The points with each run of equal points kept once.
std::vector<GeoPoint> WithoutRepeats(std::vector<GeoPoint> points) {
    points.erase(std::unique(points.begin(), points.end()), points.end());
    return points;
}

bool HasDistinct(const std::vector<GeoPoint>& points, std::size_t wanted) {
    std::vector<GeoPoint> found;
    for (const GeoPoint& p : points) {
        if (std::find(found.begin(), found.end(), p) != found.end()) continue;
        found.push_back(p);
        if (found.size() == wanted) return true;
    }
    return false;
}

// Longitudes counted on from the first point's, each step the shorter way.
std::vector<Flat> Unwrap(const std::vector<GeoPoint>& points) {
    std::vector<Flat> flat;
    flat.reserve(points.size() + 3);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double x =
            i == 0 ? points[0].longitude : flat.back().x + LongitudeStep(points[i - 1].longitude, points[i].longitude);
        flat.push_back({x, points[i].latitude});
    }
    return flat;
}

// Twice the signed area of the ring (closed back to its first point):
// positive when it runs counterclockwise.
double TwiceArea(const std::vector<Flat>& ring) {
    double sum = 0;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++)
        sum += (ring[j].x - ring[i].x) * (ring[j].y + ring[i].y);
    return sum;
}

Flat OnMeridian(const Flat& a, const Flat& b, double x) {
    const double t = (x - a.x) / (b.x - a.x);
    return {x, a.y + (b.y - a.y) * t};
}

// The part of the ring on one side of the meridian x = `edge` (the side of
// greater x when `greater`), by cutting each edge where it crosses the
// meridian: one ring, whose pieces, if the cut leaves several, hang
// together along the meridian.
std::vector<Flat> ClipRing(const std::vector<Flat>& ring, double edge, bool greater) {
    auto inside = [&](const Flat& p) { return greater ? p.x >= edge : p.x <= edge; };
    std::vector<Flat> out;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Flat& a = ring[i == 0 ? ring.size() - 1 : i - 1];
        const Flat& b = ring[i];
        if (inside(b)) {
            if (!inside(a)) out.push_back(OnMeridian(a, b, edge));
            out.push_back(b);
        } else if (inside(a)) {
            out.push_back(OnMeridian(a, b, edge));
        }
    }
    return out;
}

// The most longitude a shape spans, counted along it: once around the earth
// (an outline around a pole, closed along the meridian of its first point)
// and a quarter more for its wiggles; so at most three cuts.
constexpr double kMostLongitudes = 450;

// The windows of longitude, 360 degrees wide and centred on multiples of
// 360, that the range [low, high] reaches into.
std::pair<int, int> Windows(double low, double high) {
    return {static_cast<int>(std::floor((low - 180) / 360)) + 1, static_cast<int>(std::ceil((high + 180) / 360)) - 1};
}

GeoPoint Back(const Flat& p, int window) {
    return {p.y, std::clamp(p.x - 360.0 * window, -180.0, 180.0)};
}

// The least and greatest unwrapped longitude of some points (at least one).
std::pair<double, double> Extent(const std::vector<Flat>& points) {
    const auto [west, east] =
        std::minmax_element(points.begin(), points.end(), [](const Flat& a, const Flat& b) { return a.x < b.x; });
    return {west->x, east->x};
}

// Adds an outline (not closed, no two consecutive points equal, at least 3
// distinct points) as one or more closed counterclockwise rings.
void AddArea(const std::vector<GeoPoint>& points, MapShape& shape) {
    std::vector<Flat> ring = Unwrap(points);
    const double turn = ring.back().x + LongitudeStep(points.back().longitude, points.front().longitude) - ring[0].x;
    // An outline that winds around a pole more than once bounds no area.
    if (std::abs(turn) > 540) return;
    if (std::abs(turn) > 180) {
        // Around a pole: closed along the meridian of its first point and
        // over the pole on the side of its points.
        double latitudes = 0;
        for (const GeoPoint& p : points) latitudes += p.latitude;
        const double pole = latitudes >= 0 ? 90 : -90;
        const Flat first = ring[0];
        ring.push_back({first.x + turn, first.y});
        ring.push_back({first.x + turn, pole});
        ring.push_back({first.x, pole});
    }
    if (TwiceArea(ring) < 0) std::reverse(ring.begin(), ring.end());
    const auto [low, high] = Extent(ring);
    // An outline that reaches around the earth further than once (winding
    // east and back west) bounds no area; each cut would also cost time in
    // its points.
    if (high - low > kMostLongitudes) return;
    const auto [first, last] = Windows(low, high);
    for (int w = first; w <= last; ++w) {
        const double west = -180.0 + 360.0 * w, east = 180.0 + 360.0 * w;
        std::vector<Flat> part = ring;
        if (low < west) part = ClipRing(part, west, true);
        if (high > east) part = ClipRing(part, east, false);
        // The cut of an outline that crosses itself may leave a piece that
        // runs the other way.
        if (TwiceArea(part) < 0) std::reverse(part.begin(), part.end());
        std::vector<GeoPoint> geo;
        geo.reserve(part.size() + 1);
        for (const Flat& p : part) geo.push_back(Back(p, w));
        geo = WithoutRepeats(std::move(geo));
        while (geo.size() > 1 && geo.back() == geo.front()) geo.pop_back();
        if (!HasDistinct(geo, 3)) continue;
        geo.push_back(geo.front());
        shape.parts.push_back(std::move(geo));
    }
    shape.kind = shape.parts.empty() ? ShapeKind::None : ShapeKind::Area;
    if (shape.kind == ShapeKind::None) shape.parts.clear();
}

// Adds a line (no two consecutive points equal, at least 2 points) as one
// or more lines cut at the antimeridian.
void AddRoute(const std::vector<GeoPoint>& points, MapShape& shape) {
    const std::vector<Flat> line = Unwrap(points);
    const auto [low, high] = Extent(line);
    if (high - low > kMostLongitudes) return;
    const auto [first, last] = Windows(low, high);
    for (int w = first; w <= last; ++w) {
        const double west = -180.0 + 360.0 * w, east = 180.0 + 360.0 * w;
        auto inside = [&](const Flat& p) { return p.x >= west && p.x <= east; };
        std::vector<GeoPoint> part;
        auto flush = [&] {
            part = WithoutRepeats(std::move(part));
            if (part.size() >= 2) shape.parts.push_back(std::move(part));
            part.clear();
        };
        for (std::size_t i = 0; i < line.size(); ++i) {
            const Flat& b = line[i];
            if (i > 0) {
                const Flat& a = line[i - 1];
                // Where the segment enters and leaves the window.
                if (!inside(a)) {
                    if (a.x < west && b.x >= west) part.push_back(Back(OnMeridian(a, b, west), w));
                    if (a.x > east && b.x <= east) part.push_back(Back(OnMeridian(a, b, east), w));
                }
                if (inside(a) && !inside(b)) {
                    part.push_back(Back(OnMeridian(a, b, b.x > east ? east : west), w));
                    flush();
                    continue;
                }
                if (!inside(a) && !inside(b)) continue;
            }
            if (inside(b)) part.push_back(Back(b, w));
        }
        flush();
    }
    shape.kind = shape.parts.empty() ? ShapeKind::None : ShapeKind::Route;
}

bool IsCommand(std::string_view command, char second) {
    return command.size() == 2 && (command[0] | 0x20) == 'a' && (command[1] | 0x20) == second;
}

}  // namespace

std::vector<GeoPoint> FollowCircle(GeoPoint centre, double metres) {
    std::vector<GeoPoint> points;
    if (!(metres > 0)) return points;
    points.push_back(GeodesicDestination(centre, 0, metres));
    FollowArc(centre, 0, 360, metres, metres, points);
    if (points.size() < 3) {
        points.resize(1);
        for (int bearing = 10; bearing < 360; bearing += 10)
            points.push_back(GeodesicDestination(centre, bearing, metres));
    }
    return points;
}

MapShape ShapeOfBlock(const BlockAnalysis& block) {
    MapShape shape;
    if (block.kind != BlockKind::Airspace || !block.geometryChecked) return shape;
    for (const BlockFinding& f : block.findings)
        if (f.finding.rule == RuleId::MissingCentre || f.finding.rule == RuleId::MixedShape) return shape;

    if (!block.circles.empty()) {
        if (block.circles.size() > 1 || !block.outline.empty() || !block.airway.empty()) return shape;
        const CircleShape& circle = block.circles[0];
        std::vector<GeoPoint> ring =
            WithoutRepeats(FollowCircle(circle.centre, circle.radius * kMetresPerNauticalMile));
        if (HasDistinct(ring, 3)) AddArea(ring, shape);
    } else if (!block.outline.empty()) {
        if (!block.airway.empty()) return shape;
        std::vector<GeoPoint> ring;
        ring.reserve(block.outline.size());
        for (const OutlinePoint& p : block.outline) ring.push_back(p.position);
        ring = WithoutRepeats(std::move(ring));
        while (ring.size() > 1 && ring.back() == ring.front()) ring.pop_back();
        if (HasDistinct(ring, 3)) AddArea(ring, shape);
    } else if (!block.airway.empty()) {
        std::vector<GeoPoint> line;
        line.reserve(block.airway.size());
        for (const AirwayPoint& p : block.airway) line.push_back(p.position);
        line = WithoutRepeats(std::move(line));
        if (line.size() >= 2) AddRoute(line, shape);
    }
    return shape;
}

MapBlocks::MapBlocks(const CheckSettings& run) {
    settings_.blocks = true;
    settings_.extended = run.extended;
    settings_.classicFile = run.classicFile;
    // The run's own choices decide which lines pass their line check; the
    // block rules that shape the analysis stay on, the crossing test (which
    // builds nothing) off.
    settings_.disabled = run.disabled;
    for (const RuleInfo& rule : BlockRules()) settings_.disabled.reset(static_cast<std::size_t>(RuleOf(rule)));
    settings_.Disable(RuleId::SelfIntersection);
    settings_.Disable(RuleId::DuplicateBlock);
}

MapBlocks::~MapBlocks() = default;

bool MapBlocks::StartsBlockLine(std::string_view raw, std::int32_t number, bool extended) {
    RecordText split;
    return ReadRecordLine(raw, number, extended, split) && StartsBlock(split.command);
}

bool MapBlocks::Line(std::int32_t number, std::string_view raw) {
    bool ended = false;
    RecordText split;
    if (ReadRecordLine(raw, number, settings_.ExtendedLines(), split) && StartsBlock(split.command)) {
        ended = EndBlock();
        inAirspace_ = (split.command[0] | 0x20) == 'a';
        firstLine_ = number;
    }
    if (inAirspace_) {
        text_.append(raw);
        ends_.push_back(text_.size());
    }
    return ended;
}

bool MapBlocks::Finish() { return EndBlock(); }

bool MapBlocks::EndBlock() {
    if (!inAirspace_) return false;
    inAirspace_ = false;
    std::vector<std::string_view> lines;
    lines.reserve(ends_.size());
    std::size_t start = 0;
    for (const std::size_t end : ends_) {
        lines.emplace_back(text_.data() + start, end - start);
        start = end;
    }
    block_.analysis = AnalyseBlockLines(lines, firstLine_, settings_);
    block_.shape = ShapeOfBlock(block_.analysis);
    block_.type.clear();
    block_.frequency.clear();
    block_.station.clear();
    bool type = false, frequency = false, station = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        RecordText split;
        if (!ReadRecordLine(lines[i], firstLine_ + static_cast<std::int32_t>(i), settings_.ExtendedLines(), split)) continue;
        auto take = [&](char letter, bool& seen, std::string& text) {
            if (seen || !IsCommand(split.command, letter)) return;
            seen = true;
            text = TrimText(split.argument);
        };
        take('y', type, block_.type);
        take('f', frequency, block_.frequency);
        take('g', station, block_.station);
    }
    // A giant block's copy is not kept for the rest of the file.
    if (text_.capacity() > (std::size_t(1) << 22)) {
        std::string().swap(text_);
        std::vector<std::size_t>().swap(ends_);
    }
    text_.clear();
    ends_.clear();
    return true;
}

}  // namespace corvala
