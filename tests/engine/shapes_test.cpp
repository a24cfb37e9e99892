// The shapes of airspace blocks for the map formats: hand-computed outlines,
// circles and arcs, the cut at the antimeridian, and the blocks that give no
// shape; every ring closed and counterclockwise.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include "engine/present/shapes.h"

namespace corvala {
namespace {

constexpr double kNm = 1852;

// The one airspace block of `lines` (line 1 its AC line) as MapBlocks gives it.
MapBlock BlockOf(const std::vector<std::string>& lines, bool extended = false) {
    CheckSettings run;
    run.extended = extended;
    MapBlocks blocks(run);
    std::int32_t number = 1;
    for (const std::string& line : lines) EXPECT_FALSE(blocks.Line(number++, line));
    EXPECT_TRUE(blocks.Finish());
    return blocks.Block();
}

double TwiceArea(const std::vector<GeoPoint>& ring) {
    double sum = 0;
    for (std::size_t i = 0; i + 1 < ring.size(); ++i)
        sum += ring[i].longitude * ring[i + 1].latitude - ring[i + 1].longitude * ring[i].latitude;
    return sum;
}

// Every part of an area: closed, at least 4 points, counterclockwise, on one
// side of the antimeridian.
void ExpectWellFormed(const MapShape& shape) {
    ASSERT_EQ(shape.kind, ShapeKind::Area);
    ASSERT_FALSE(shape.parts.empty());
    for (const auto& ring : shape.parts) {
        ASSERT_GE(ring.size(), 4u);
        EXPECT_EQ(ring.front(), ring.back());
        EXPECT_GT(TwiceArea(ring), 0) << "clockwise ring";
        for (const GeoPoint& p : ring) {
            EXPECT_LE(std::abs(p.longitude), 180);
            EXPECT_LE(std::abs(p.latitude), 90);
        }
    }
}

struct Polar {
    double metres;
    double bearing;  // 0 to 360
};

Polar FromCentre(GeoPoint centre, GeoPoint p) {
    double metres, azimuth, back;
    GeographicLib::Geodesic::WGS84().Inverse(centre.latitude, centre.longitude, p.latitude, p.longitude, metres,
                                             azimuth, back);
    return {metres, azimuth < 0 ? azimuth + 360 : azimuth};
}

// ---------------------------------------------------------------- outlines

struct RingCase {
    const char* name;
    std::vector<std::string> lines;
    // The parts expected, each as its distinct points in any order.
    std::vector<std::vector<GeoPoint>> parts;
};

void PrintTo(const RingCase& c, std::ostream* os) { *os << c.name; }

class Rings : public ::testing::TestWithParam<RingCase> {};

TEST_P(Rings, CornersClosedAndCounterclockwise) {
    const RingCase& c = GetParam();
    const MapBlock block = BlockOf(c.lines);
    ExpectWellFormed(block.shape);
    ASSERT_EQ(block.shape.parts.size(), c.parts.size());
    for (std::size_t i = 0; i < c.parts.size(); ++i) {
        std::vector<GeoPoint> got(block.shape.parts[i].begin(), block.shape.parts[i].end() - 1);
        ASSERT_EQ(got.size(), c.parts[i].size()) << "part " << i;
        for (const GeoPoint& want : c.parts[i]) {
            const bool found = std::any_of(got.begin(), got.end(), [&](const GeoPoint& p) {
                return std::abs(p.latitude - want.latitude) < 1e-9 && std::abs(p.longitude - want.longitude) < 1e-9;
            });
            EXPECT_TRUE(found) << "part " << i << " lacks " << want.latitude << " " << want.longitude;
        }
    }
}

const std::vector<std::string> kHeader = {"AC D", "AN Test", "AH FL100", "AL GND"};

std::vector<std::string> With(std::vector<std::string> geometry) {
    std::vector<std::string> lines = kHeader;
    lines.insert(lines.end(), geometry.begin(), geometry.end());
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Rings,
    ::testing::Values(
        // Written clockwise and closed: turned, closed once.
        RingCase{"SquareClockwiseClosed",
                 With({"DP 52:00:00 N 013:00:00 E", "DP 53:00:00 N 013:00:00 E", "DP 53:00:00 N 014:00:00 E",
                       "DP 52:00:00 N 014:00:00 E", "DP 52:00:00 N 013:00:00 E"}),
                 {{{52, 13}, {53, 13}, {53, 14}, {52, 14}}}},
        // Counterclockwise and open: closed, kept.
        RingCase{"SquareOpen",
                 With({"DP 52:00:00 N 013:00:00 E", "DP 52:00:00 N 014:00:00 E", "DP 53:00:00 N 014:00:00 E",
                       "DP 53:00:00 N 013:00:00 E"}),
                 {{{52, 13}, {52, 14}, {53, 14}, {53, 13}}}},
        // A repeated point is kept once.
        RingCase{"RepeatedPoint",
                 With({"DP 10:00:00 S 070:00:00 W", "DP 10:00:00 S 070:00:00 W", "DP 10:00:00 S 069:00:00 W",
                       "DP 09:00:00 S 069:30:00 W"}),
                 {{{-10, -70}, {-10, -69}, {-9, -69.5}}}},
        // Across the antimeridian: cut into the part east of it and the
        // part west of it, each meeting it at 180 degrees.
        RingCase{"AcrossTheAntimeridian",
                 With({"DP 10:00:00 N 179:00:00 E", "DP 10:00:00 N 179:00:00 W", "DP 11:00:00 N 179:00:00 W",
                       "DP 11:00:00 N 179:00:00 E"}),
                 {{{10, 179}, {10, 180}, {11, 180}, {11, 179}}, {{10, -180}, {10, -179}, {11, -179}, {11, -180}}}},
        // A triangle whose edges meet the antimeridian at half-way
        // latitudes: the cut lies where the straight edges cross 180.
        RingCase{"TriangleAcrossTheAntimeridian",
                 With({"DP 00:00:00 N 178:00:00 E", "DP 00:00:00 N 178:00:00 W", "DP 04:00:00 N 178:00:00 W"}),
                 {{{0, 178}, {0, 180}, {2, 180}}, {{0, -180}, {0, -178}, {4, -178}, {2, -180}}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- circles

struct CircleCase {
    const char* name;
    const char* centre;
    GeoPoint at;
    const char* radius;
    double miles;
    // Hand-computed: 360 degrees over a step of 2 acos(1 - 30 m / r),
    // rounded up, the step within 1 to 10 degrees (every 10 degrees for a
    // circle of 30 m or less).
    std::size_t points;
};

void PrintTo(const CircleCase& c, std::ostream* os) { *os << c.name; }

class Circles : public ::testing::TestWithParam<CircleCase> {};

TEST_P(Circles, PointCountAndRadius) {
    const CircleCase& c = GetParam();
    const MapBlock block = BlockOf(With({std::string("V X=") + c.centre, std::string("DC ") + c.radius}));
    ExpectWellFormed(block.shape);
    ASSERT_EQ(block.shape.parts.size(), 1u);
    const auto& ring = block.shape.parts[0];
    EXPECT_EQ(ring.size(), c.points + 1);
    for (const GeoPoint& p : ring) EXPECT_NEAR(FromCentre(c.at, p).metres, c.miles * kNm, 10) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, Circles,
                         ::testing::Values(
                             // 2 acos(1 - 30 / 1852) = 20.6 degrees: 10.
                             CircleCase{"OneMile", "52:00:00 N 013:00:00 E", {52, 13}, "1", 1, 36},
                             // 6.52 degrees: 55.2 steps.
                             CircleCase{"TenMiles", "52:00:00 N 013:00:00 E", {52, 13}, "10", 10, 56},
                             // 2.06 degrees: 174.5 steps.
                             CircleCase{"HundredMiles", "45:00:00 S 170:00:00 W", {-45, -170}, "100", 100, 175},
                             // 0.01 NM is 18.5 m: every 10 degrees.
                             CircleCase{"Tiny", "00:00:00 N 000:00:00 E", {0, 0}, "0.01", 0.01, 36}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Shapes, CircleAroundThePoleClosesOverIt) {
    const MapBlock block = BlockOf(With({"V X=89:30:00 N 000:00:00 E", "DC 60"}));
    ExpectWellFormed(block.shape);
    double north = 0;
    for (const auto& ring : block.shape.parts)
        for (const GeoPoint& p : ring) north = std::max(north, p.latitude);
    EXPECT_EQ(north, 90);
}

TEST(Shapes, CircleAcrossTheAntimeridianInTwoParts) {
    const MapBlock block = BlockOf(With({"V X=60:00:00 N 180:00:00 E", "DC 30"}));
    ExpectWellFormed(block.shape);
    ASSERT_EQ(block.shape.parts.size(), 2u);
    // One part east of the antimeridian, one west of it, both within the
    // circle's 1 degree of longitude (30 NM at 60 degrees north).
    int east = 0, west = 0;
    for (const auto& ring : block.shape.parts) {
        const bool eastern = std::all_of(ring.begin(), ring.end(), [](const GeoPoint& p) { return p.longitude >= 0; });
        const bool western = std::all_of(ring.begin(), ring.end(), [](const GeoPoint& p) { return p.longitude <= 0; });
        east += eastern;
        west += western;
        for (const GeoPoint& p : ring) EXPECT_NEAR(std::abs(p.longitude), 180, 1.01);
    }
    EXPECT_EQ(east, 1);
    EXPECT_EQ(west, 1);
}

// ---------------------------------------------------------------- arcs

struct ArcCase {
    const char* name;
    const char* direction;
    const char* arc;
    // Bearings from the centre the followed points lie between (clockwise
    // from the first to the second).
    double from, to;
    // Points of the ring but the closing one: the centre, the arc's ends
    // and the points between them (the sweep over 6.52 degrees, rounded
    // up, less one).
    std::size_t points;
};

// 10 NM from `centre` at `bearing`.
GeoPoint Destination(GeoPoint centre, double bearing) {
    GeoPoint p;
    GeographicLib::Geodesic::WGS84().Direct(centre.latitude, centre.longitude, bearing, 10 * kNm, p.latitude,
                                            p.longitude);
    return p;
}

// "52:09.98812 N 013:00.00000 E": degrees and minutes to 0.02 m.
std::string Minutes(GeoPoint p) {
    auto angle = [](double value, int width, char positive, char negative) {
        const double a = std::abs(value);
        const int degrees = static_cast<int>(a);
        char text[40];
        std::snprintf(text, sizeof text, "%0*d:%08.5f %c", width, degrees, (a - degrees) * 60,
                      value < 0 ? negative : positive);
        return std::string(text);
    };
    return angle(p.latitude, 2, 'N', 'S') + " " + angle(p.longitude, 3, 'E', 'W');
}

void PrintTo(const ArcCase& c, std::ostream* os) { *os << c.name; }

class Arcs : public ::testing::TestWithParam<ArcCase> {};

TEST_P(Arcs, FollowedInTheirDirection) {
    const ArcCase& c = GetParam();
    const GeoPoint centre{52, 13};
    std::string arc = c.arc;
    if (arc == "DB") arc += " " + Minutes(Destination(centre, 0)) + "," + Minutes(Destination(centre, 90));
    const MapBlock block = BlockOf(
        With({std::string("V D=") + c.direction, "V X=52:00:00 N 013:00:00 E", "DP 52:00:00 N 013:00:00 E", arc}));
    ExpectWellFormed(block.shape);
    ASSERT_EQ(block.shape.parts.size(), 1u);
    const auto& ring = block.shape.parts[0];
    EXPECT_EQ(ring.size() - 1, c.points);
    for (const GeoPoint& p : ring) {
        if (std::abs(p.latitude - 52) < 1e-9 && std::abs(p.longitude - 13) < 1e-9) continue;
        const Polar polar = FromCentre(centre, p);
        EXPECT_NEAR(polar.metres, 10 * kNm, 10);
        // Clockwise from `from`, no further than `to`.
        const double along = std::fmod(polar.bearing - c.from + 360 + 1e-6, 360);
        EXPECT_LE(along, std::fmod(c.to - c.from + 360, 360) + 1e-5) << polar.bearing;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Arcs,
    ::testing::Values(
        // 90 degrees: 14 steps, 13 points between the ends, 15 on the arc.
        ArcCase{"DaClockwise", "+", "DA 10,0,90", 0, 90, 16},
        // 270 degrees: 42 steps.
        ArcCase{"DaCounterclockwise", "-", "DA 10,0,90", 90, 360, 44},
        // The same arcs from their end points.
        ArcCase{"DbClockwise", "+", "DB", 0, 90, 16},
        ArcCase{"DbCounterclockwise", "-", "DB", 90, 360, 44}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- routes

TEST(Shapes, AirwayIsARouteCutAtTheAntimeridian) {
    MapBlock block = BlockOf(With({"V W=5", "DY 10:00:00 N 013:00:00 E", "DY 11:00:00 N 014:00:00 E"}));
    ASSERT_EQ(block.shape.kind, ShapeKind::Route);
    ASSERT_EQ(block.shape.parts.size(), 1u);
    EXPECT_EQ(block.shape.parts[0], (std::vector<GeoPoint>{{10, 13}, {11, 14}}));

    block = BlockOf(With({"DY 10:00:00 N 179:00:00 E", "DY 12:00:00 N 179:00:00 W"}));
    ASSERT_EQ(block.shape.kind, ShapeKind::Route);
    ASSERT_EQ(block.shape.parts.size(), 2u);
    EXPECT_EQ(block.shape.parts[0], (std::vector<GeoPoint>{{10, 179}, {11, 180}}));
    EXPECT_EQ(block.shape.parts[1], (std::vector<GeoPoint>{{11, -180}, {12, -179}}));
}

// ---------------------------------------------------------------- none

struct NoShapeCase {
    const char* name;
    std::vector<std::string> geometry;
};

void PrintTo(const NoShapeCase& c, std::ostream* os) { *os << c.name; }

class NoShape : public ::testing::TestWithParam<NoShapeCase> {};

TEST_P(NoShape, GivesNoGeometry) {
    const MapBlock block = BlockOf(With(GetParam().geometry));
    EXPECT_EQ(block.shape.kind, ShapeKind::None);
    EXPECT_TRUE(block.shape.parts.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, NoShape,
    ::testing::Values(NoShapeCase{"NoGeometry", {}},
                      NoShapeCase{"UnreadableCentre", {"V X=95:00:00 N 013:00:00 E", "DC 5"}},
                      NoShapeCase{"CentreFailsItsLineCheck", {"V X=52:00:00 Q 013:00:00 E", "DC 5"}},
                      NoShapeCase{"MissingCentre", {"DP 52:00:00 N 013:00:00 E", "DA 10,0,90"}},
                      NoShapeCase{"TwoPoints", {"DP 52:00:00 N 013:00:00 E", "DP 53:00:00 N 013:00:00 E"}},
                      NoShapeCase{"PointFailsItsLineCheck",
                                  {"DP 52:00:00 N 013:00:00 E", "DP 53:00:00 N 013:00:00 E", "DP 53:00 N 014:00 X",
                                   "DP 52:00:00 N 014:00:00 E"}},
                      NoShapeCase{"ZeroRadius", {"V X=52:00:00 N 013:00:00 E", "DC 0"}},
                      NoShapeCase{"CircleAndOutline",
                                  {"V X=52:00:00 N 013:00:00 E", "DC 5", "DP 52:00:00 N 013:00:00 E",
                                   "DP 53:00:00 N 013:00:00 E", "DP 53:00:00 N 014:00:00 E"}},
                      NoShapeCase{"OneAirwayPoint", {"DY 10:00:00 N 013:00:00 E"}},
                      // Twice around the pole, a quarter turn at a time.
                      NoShapeCase{"TwiceAroundThePole",
                                  {"DP 80:00:00 N 000:00:00 E", "DP 80:00:00 N 090:00:00 E",
                                   "DP 80:00:00 N 180:00:00 E", "DP 80:00:00 N 090:00:00 W",
                                   "DP 81:00:00 N 000:00:00 E", "DP 81:00:00 N 090:00:00 E",
                                   "DP 81:00:00 N 180:00:00 E", "DP 81:00:00 N 090:00:00 W"}},
                      // East around the earth and back west, at two latitudes.
                      NoShapeCase{"AroundTheEarthAndBack",
                                  {"DP 10:00:00 N 000:00:00 E", "DP 10:00:00 N 120:00:00 E",
                                   "DP 10:00:00 N 120:00:00 W", "DP 10:00:00 N 000:00:00 E",
                                   "DP 10:00:00 N 120:00:00 E", "DP 10:00:00 N 120:00:00 W",
                                   "DP 11:00:00 N 000:00:00 E", "DP 11:00:00 N 120:00:00 W",
                                   "DP 11:00:00 N 120:00:00 E", "DP 11:00:00 N 000:00:00 E",
                                   "DP 11:00:00 N 120:00:00 W", "DP 11:00:00 N 120:00:00 E"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- blocks

TEST(MapBlocks, EachAirspaceBlockOnceWithItsRecords) {
    CheckSettings run;
    run.extended = true;
    MapBlocks blocks(run);
    const std::vector<std::string> lines = {
        "\xEF\xBB\xBF" "AC D", "AN First", "AY CTR", "AF 123.455", "AG Tower", "AF 124.000", "TO Hill", "DP junk",
        "AC E", "* comment", "AN Second"};
    std::vector<std::pair<std::int32_t, MapBlock>> ended;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (blocks.Line(static_cast<std::int32_t>(i + 1), lines[i])) ended.emplace_back(i + 1, blocks.Block());
    if (blocks.Finish()) ended.emplace_back(0, blocks.Block());
    ASSERT_EQ(ended.size(), 2u);
    // The first ends at the terrain block, which gives no block of its own.
    EXPECT_EQ(ended[0].first, 7);
    EXPECT_EQ(ended[0].second.analysis.firstLine, 1);
    EXPECT_EQ(ended[0].second.analysis.name, "First");
    EXPECT_EQ(ended[0].second.type, "CTR");
    EXPECT_EQ(ended[0].second.frequency, "123.455");
    EXPECT_EQ(ended[0].second.station, "Tower");
    EXPECT_EQ(ended[1].first, 0);
    EXPECT_EQ(ended[1].second.analysis.firstLine, 9);
    EXPECT_EQ(ended[1].second.type, "");
    // The classic rules read the byte-order mark as part of the command.
    EXPECT_FALSE(MapBlocks::StartsBlockLine("\xEF\xBB\xBF" "AC D", 1, false));
    EXPECT_TRUE(MapBlocks::StartsBlockLine("\xEF\xBB\xBF" "AC D", 1, true));
    EXPECT_TRUE(MapBlocks::StartsBlockLine("  tc x * y", 5, false));
    EXPECT_FALSE(MapBlocks::StartsBlockLine("* AC D", 5, false));
}

}  // namespace
}  // namespace corvala
