#include "engine/rules/block/blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <tuple>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/run/engine.h"
#include "engine/input/io.h"
#include "engine/input/lines.h"
#include "engine/geo/crossing.h"
#include "engine/geo/geodesics.h"
#include "test_support.h"

namespace corvala {
namespace {

// A file's lines as the run hands them to the checks: the comment cut at
// the first "*", bytes 0 to 32 trimmed, the command before the first blank
// and the argument after it untrimmed, lineOk from the line check.
struct SplitFile {
    explicit SplitFile(std::string text) : lines(std::move(text)) {
        Engine engine;
        std::int32_t n = 0;
        for (const std::string_view raw : lines) {
            RecordLine r;
            r.line = ++n;
            r.raw = raw;
            const std::string_view text = TrimText(raw.substr(0, raw.find('*')));
            if (!text.empty()) {
                const std::size_t blank = text.find(' ');
                r.command = text.substr(0, blank);
                if (blank != std::string_view::npos) r.argument = text.substr(blank + 1);
                r.lineOk = engine.ScanLine(r.command, r.argument).ok();
            }
            records.push_back(r);
        }
    }
    Lines lines;
    std::vector<RecordLine> records;
};

std::vector<Finding> Check(const SplitFile& file, const CheckSettings& settings = {}) {
    BlockChecks checks(settings);
    std::vector<Finding> out;
    for (const RecordLine& r : file.records) checks.Line(r, out);
    checks.Finish(out);
    return out;
}

std::vector<Finding> Check(const std::string& text, const CheckSettings& settings = {}) {
    test::ScopedSeparator separator('.');
    return Check(SplitFile(text), settings);
}

const std::string A = "45:00:00 N 009:00:00 E";
const std::string B = "45:10:00 N 009:00:00 E";
const std::string C = "45:10:00 N 009:10:00 E";
const std::string D = "45:00:00 N 009:10:00 E";
std::string Dp(const std::string& p) { return "DP " + p + "\n"; }
// Lines 1 to 4, and a closed square as lines 5 to 9 after them.
const std::string kHead = "AC R\nAN Zone\nAL GND\nAH FL95\n";
const std::string kSquare = Dp(A) + Dp(B) + Dp(C) + Dp(D) + Dp(A);
const std::string kCentre = "V X=" + A + "\n";

// Each rule reports exactly where its fault shows, with its default
// severity and the first line of its block, and stays silent on the near
// miss.
struct RuleCase {
    std::string rule;
    std::string file;
    std::vector<std::int32_t> lines;
};

TEST(BlockChecks, EachRuleFindsItsFaultAndOnlyIt) {
    const std::vector<RuleCase> cases{
        {"missing-upper-limit", "AC R\nAN Zone\nAL GND\n" + kSquare, {1}},
        {"missing-upper-limit", kHead + kSquare, {}},
        // An empty AH fails its line check: present, but not read.
        {"missing-upper-limit", "AC R\nAN Zone\nAL GND\nAH\n" + kSquare, {}},
        {"missing-lower-limit", "AC R\nAN Zone\nAH FL95\n" + kSquare, {1}},
        {"missing-lower-limit", kHead + kSquare, {}},
        {"missing-name", "AC R\nAL GND\nAH FL95\n" + kSquare, {1}},
        {"missing-name", kHead + kSquare, {}},
        {"repeated-record", "AC R\nAN Zone\nAN Other\nAL GND\nAH FL95\n" + kSquare, {3}},
        // After geometry, the repeats of one stretch are one fault.
        {"repeated-record", kHead + kSquare + "AN Next\nAL GND\nAH FL95\n" + kSquare, {10}},
        {"repeated-record", kHead + kSquare, {}},
        {"no-shape", kHead, {1}},
        {"no-shape", kHead + kCentre + "DC 5\n", {}},
        {"mixed-shape", kHead + kCentre + "DC 5\n" + kSquare, {7}},
        {"mixed-shape", kHead + kCentre + "DC 5\nDC 6\n", {7}},
        {"mixed-shape", kHead + "V W=2\nDY " + A + "\nDY " + B + "\n" + kSquare, {8}},
        {"mixed-shape", kHead + "V W=2\nDY " + A + "\nDY " + B + "\n", {}},
        {"mixed-shape", kHead + kCentre + "DC 5\n", {}},
        {"missing-centre", kHead + "DC 5\n", {5}},
        {"missing-centre", kHead + "DC 5\n" + kCentre, {5}},
        {"missing-centre", kHead + Dp(A) + "DA 5,0,90\n" + Dp(A), {6}},
        {"missing-centre", kHead + kCentre + "DC 5\n", {}},
        {"too-few-points", kHead + Dp(A) + Dp(B), {1}},
        {"too-few-points", kHead + Dp(A) + Dp(B) + Dp(A), {1}},
        {"too-few-points", kHead + Dp(A) + Dp(B) + Dp(C), {}},
        {"too-few-points", kHead + kCentre + "DA 5,0,90\n", {}},
        // The diagonals A-C and B-D cross.
        {"self-intersection", kHead + Dp(A) + Dp(C) + Dp(B) + Dp(D) + Dp(A), {7}},
        {"self-intersection", kHead + kSquare, {}},
        {"self-intersection", kHead + kCentre + "DA 5,0,180\n", {}},
        {"limits-inverted", "AC R\nAN Zone\nAL FL95\nAH FL65\n" + kSquare, {3}},
        {"limits-inverted", "AC R\nAN Zone\nAL 0ft AMSL\nAH 0ft AMSL\n" + kSquare, {3}},
        {"limits-inverted", "AC R\nAN Zone\nAL FL65\nAH 3000ft AMSL\n" + kSquare, {}},
        {"arc-radius-mismatch", kHead + kCentre + "DB 45:06:30 N 009:00:00 E,44:50:18 N 009:00:00 E\n", {6}},
        // 1 minute of latitude against 4 seconds more (about 123 m, 6 %) or
        // 3 seconds more (93 m); 60 minutes against 61 (1.7 %).
        {"arc-radius-mismatch", kHead + kCentre + "DB 45:01:00 N 009:00:00 E,44:58:56 N 009:00:00 E\n", {6}},
        {"arc-radius-mismatch", kHead + kCentre + "DB 45:01:00 N 009:00:00 E,44:58:57 N 009:00:00 E\n", {}},
        {"arc-radius-mismatch", kHead + kCentre + "DB 46:00:00 N 009:00:00 E,43:59:00 N 009:00:00 E\n", {}},
        {"zero-radius", kHead + kCentre + "DC 0\n", {6}},
        {"zero-radius", kHead + kCentre + "DB " + A + "," + A + "\n", {6}},
        {"zero-radius", kHead + kCentre + "DC 1\n", {}},
        {"empty-block", "AC R\n* nothing\n\n" + kHead + kSquare, {1}},
        {"empty-block", kHead + kSquare + "AC Q\n", {10}},
        {"empty-block", kHead + kSquare, {}},
        {"duplicate-block", kHead + kSquare + "\n* again\nAC  R \nAN   Zone\nal GND\nAH FL95 * same\n" + kSquare, {12}},
        {"duplicate-block", kHead + kSquare + "AC R\nAN Zone 2\nAL GND\nAH FL95\n" + kSquare, {}},
        {"record-outside-block", "AN Early\n" + kCentre + kHead + kSquare, {1, 2}},
        {"record-outside-block", "* comment\nSP 0,1,0,0,0\nV Z=5\n" + kHead + kSquare, {}},
        {"altitude-unreadable", "AC R\nAN Zone\nAL GND\nAH 95 FL\n" + kSquare, {4}},
        {"altitude-unreadable", "AC R\nAN Zone\nAL GND\nAH\n" + kSquare, {}},
        {"altitude-unreadable", kHead + kSquare, {}},
        {"not-closed", kHead + Dp(A) + Dp(B) + Dp(C) + Dp(D), {8}},
        {"not-closed", kHead + kSquare, {}},
        {"repeated-point", kHead + Dp(A) + Dp(A) + Dp(B) + Dp(C) + Dp(A), {6}},
        {"repeated-point", kHead + kSquare, {}},
        {"altitude-without-unit", "AC R\nAN Zone\nAL GND\nAH 3500\n" + kSquare, {4}},
        {"altitude-without-unit", "AC R\nAN Zone\nAL GND\nAH 3500 MSL\n" + kSquare, {}},
        // A geometry line that fails its check, or names no position,
        // takes the geometry rules out with one note.
        {"geometry-skipped", kHead + "DP 45:00:00N 009:00:00E\n" + Dp(B), {5}},
        {"too-few-points", kHead + "DP 45:00:00N 009:00:00E\n" + Dp(B), {}},
        {"geometry-skipped", kHead + "DP 95:00:00 N 009:00:00 E\n" + Dp(B) + Dp(A) + Dp(A), {5}},
        {"repeated-point", kHead + "DP 95:00:00 N 009:00:00 E\n" + Dp(B) + Dp(A) + Dp(A), {}},
        {"geometry-skipped", kHead + kSquare, {}},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.rule + " in:\n" + c.file);
        std::vector<std::int32_t> lines;
        for (const Finding& f : Check(c.file))
            if (IdOf(f.rule) == c.rule) lines.push_back(f.line);
        EXPECT_EQ(lines, c.lines);
    }
}

// A clean block, and terrain blocks (TO, TC) whatever they hold, give no
// finding at all.
TEST(BlockChecks, CleanAndTerrainBlocksGiveNothing) {
    for (const std::string& file :
         std::vector<std::string>{kHead + kSquare, "TO\n" + Dp(A) + Dp(B), "TC Hill\nAN x\nAN y\nDC 0\n"}) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(Check(file).empty());
    }
}

// The messages name the lines involved and, for a crossing, the position.
TEST(BlockChecks, MessagesNameTheLines) {
    struct MessageCase {
        std::string file;
        std::string rule;
        std::string message;
    };
    const std::vector<MessageCase> cases{
        {kHead + Dp(A) + Dp(B), "too-few-points", "the outline has 2 points, at least 3 are needed (lines 5 to 6)"},
        {kHead + Dp(A) + Dp(C) + Dp(B) + Dp(D) + Dp(A), "self-intersection",
         "the outline crosses itself at 45:05:00 N 009:05:00 E: the edge from line 5 to line 6 and the edge from "
         "line 7 to line 8"},
        {kHead + kCentre + "DB 45:06:30 N 009:00:00 E,44:50:18 N 009:00:00 E\n", "arc-radius-mismatch",
         "the arc's end points lie 6.50 NM and 9.70 NM from its centre (line 5)"},
        {kHead + kSquare + "AN Next\nAL GND\nAH FL95\n" + kSquare, "repeated-record",
         "a second AN, AL and AH after the geometry of the block (the first at lines 2, 3 and 4): is an AC line "
         "missing before line 10?"},
        {kHead + kSquare + kHead + kSquare, "duplicate-block",
         "the block repeats the block at line 1 record for record"},
        {"AC R\nAN Zone\nAL FL95\nAH FL65\n" + kSquare, "limits-inverted",
         "the lower limit \"FL95\" (line 3) is at or above the upper limit \"FL65\" (line 4)"},
        {kHead + "DP 45:00:00N 009:00:00E\n" + Dp(B), "geometry-skipped",
         "the geometry of the block is not checked: line 5 failed its line check"},
    };
    for (const MessageCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<Finding> findings = Check(c.file);
        const auto f =
            std::find_if(findings.begin(), findings.end(), [&](const Finding& f) { return IdOf(f.rule) == c.rule; });
        ASSERT_NE(f, findings.end());
        EXPECT_EQ(f->message, c.message);
    }
}

// not-closed is a note, and a warning with the extended record set;
// disabled rules report nothing.
TEST(BlockChecks, SettingsChangeSeverityAndSilenceRules) {
    const std::string open = kHead + Dp(A) + Dp(B) + Dp(C);
    CheckSettings extended;
    extended.extended = true;
    ASSERT_EQ(Check(open).size(), 1u);
    EXPECT_EQ(Check(open)[0].severity, Severity::Note);
    ASSERT_EQ(Check(open, extended).size(), 1u);
    EXPECT_EQ(Check(open, extended)[0].severity, Severity::Warning);

    CheckSettings disabled;
    for (const RuleId rule : {RuleId::TooFewPoints, RuleId::MissingName, RuleId::DuplicateBlock}) disabled.Disable(rule);
    const std::string faulty = "AC R\nAL GND\nAH FL95\n" + Dp(A) + Dp(B) + "AC R\nAL GND\nAH FL95\n" + Dp(A) + Dp(B);
    EXPECT_TRUE(Check(faulty, disabled).empty());
    EXPECT_EQ(Check(faulty).size(), 5u);
}

// The analysis the outline view draws: the shape with its lines, and the
// findings with their places; the checker reports the same findings.
TEST(AnalyseBlock, GivesTheShapeAndTheMarkers) {
    test::ScopedSeparator separator('.');
    const SplitFile file(kHead + Dp("45:06:30 N 009:00:00 E") + kCentre +
                         "V D=-\nDB 45:06:30 N 009:00:00 E,44:50:18 N 009:00:00 E\n" + Dp(D));
    const BlockAnalysis a = AnalyseBlock(file.records, CheckSettings{});
    EXPECT_EQ(a.kind, BlockKind::Airspace);
    EXPECT_EQ(a.firstLine, 1);
    EXPECT_EQ(a.lastLine, 9);
    EXPECT_EQ(a.name, "Zone");
    EXPECT_EQ(a.lower, "GND");
    EXPECT_EQ(a.upper, "FL95");
    ASSERT_EQ(a.centres.size(), 1u);
    EXPECT_EQ(a.centres[0].line, 6);
    ASSERT_EQ(a.arcs.size(), 1u);
    const ArcShape& arc = a.arcs[0];
    EXPECT_EQ(arc.line, 8);
    EXPECT_FALSE(arc.clockwise);
    EXPECT_NEAR(arc.startRadius, 6.5, 0.01);
    EXPECT_NEAR(arc.endRadius, 9.7, 0.01);
    // Counter-clockwise from north to south runs through the west.
    ASSERT_GT(arc.pointCount, 10u);
    for (std::uint32_t i = 1; i + 1 < arc.pointCount; ++i) {
        const OutlinePoint& p = a.outline[arc.firstPoint + i];
        EXPECT_EQ(p.line, 8);
        EXPECT_TRUE(p.onArc);
        EXPECT_LT(p.position.longitude, 9.0);
    }
    EXPECT_EQ(a.outline.front().line, 5);
    EXPECT_EQ(a.outline.back().line, 9);
    EXPECT_FALSE(a.outline.back().onArc);

    // The outline ends at line 9 away from the arc's start.
    ASSERT_EQ(a.findings.size(), 2u);
    EXPECT_EQ(IdOf(a.findings[1].finding.rule), "not-closed");
    EXPECT_EQ(IdOf(a.findings[0].finding.rule), "arc-radius-mismatch");
    ASSERT_EQ(a.findings[0].markers.size(), 3u);
    EXPECT_EQ(a.findings[0].markers[0], (GeoPoint{45, 9}));

    const std::vector<Finding> checked = Check(file);
    ASSERT_EQ(checked.size(), a.findings.size());
    for (std::size_t i = 0; i < checked.size(); ++i) EXPECT_EQ(checked[i].message, a.findings[i].finding.message);
}

TEST(AnalyseBlock, MarksTheCrossingAndTheGap) {
    test::ScopedSeparator separator('.');
    const SplitFile crossing(kHead + Dp(A) + Dp(C) + Dp(B) + Dp(D));
    const BlockAnalysis a = AnalyseBlock(crossing.records, CheckSettings{});
    ASSERT_EQ(a.findings.size(), 2u);
    EXPECT_EQ(IdOf(a.findings[0].finding.rule), "self-intersection");
    ASSERT_EQ(a.findings[0].markers.size(), 1u);
    EXPECT_NEAR(a.findings[0].markers[0].latitude, 45 + 5 / 60.0, 1e-9);
    EXPECT_NEAR(a.findings[0].markers[0].longitude, 9 + 5 / 60.0, 1e-9);
    EXPECT_EQ(IdOf(a.findings[1].finding.rule), "not-closed");
    EXPECT_EQ(a.findings[1].markers, (std::vector<GeoPoint>{{45, 9 + 10 / 60.0}, {45, 9}}));
}

// The points that follow an arc keep to the geodesic circle: within 10 m
// of the radius, in order of bearing, for small and large arcs, near the
// equator and far north.
TEST(FollowArc, KeepsToTheGeodesicCircle) {
    for (const double latitude : {0.0, 45.0, 70.0}) {
        for (const double miles : {1.0, 10.0, 50.0, 200.0}) {
            SCOPED_TRACE(std::to_string(latitude) + " N, " + std::to_string(miles) + " NM");
            const GeoPoint centre{latitude, 10};
            const double metres = miles * kMetresPerNauticalMile;
            std::vector<GeoPoint> points;
            FollowArc(centre, 30, 300, metres, metres, points);
            ASSERT_GT(points.size(), 20u);
            double previous = 30;
            for (const GeoPoint& p : points) {
                const Bearing b = GeodesicTo(centre, p);
                EXPECT_NEAR(b.metres, metres, 10);
                const double bearing = b.degrees < 0 ? b.degrees + 360 : b.degrees;
                EXPECT_GT(bearing, previous);
                EXPECT_LT(bearing - previous, 10.01);
                previous = bearing;
            }
            EXPECT_LT(previous, 330);
        }
    }
}

// The crossing test finds the crossing of two swapped neighbours on a
// small outline and on a large one, and on a star of long spikes that all
// meet near one place (which an outline made to be slow would have).
TEST(FindSelfCrossing, FindsCrossingsWithinBounds) {
    auto polygon = [](std::size_t n, double innerRadius) {
        std::vector<GeoPoint> points;
        for (std::size_t i = 0; i < n; ++i) {
            const double angle = 2 * 3.141592653589793 * static_cast<double>(i) / static_cast<double>(n);
            const double radius = i % 2 ? 1.0 : innerRadius;
            points.push_back({45 + radius * std::cos(angle), 9 + radius * std::sin(angle)});
        }
        return points;
    };
    EXPECT_EQ(FindSelfCrossing(polygon(5000, 0.001)).outcome, CrossingSearch::Outcome::None);
    for (const std::size_t n : {100u, 5000u}) {
        SCOPED_TRACE(n);
        std::vector<GeoPoint> circle = polygon(n, 1.0);
        EXPECT_EQ(FindSelfCrossing(circle).outcome, CrossingSearch::Outcome::None);
        std::swap(circle[40], circle[41]);
        const CrossingSearch search = FindSelfCrossing(circle);
        ASSERT_EQ(search.outcome, CrossingSearch::Outcome::Found);
        EXPECT_EQ(search.crossing.first, 39u);
        EXPECT_EQ(search.crossing.second, 41u);
        EXPECT_TRUE(search.crossing.crosses);
    }
}

// The crossing test reads the outline as given, repeats and all, and names
// each segment by the indices of its two points there: a repeated point
// starts no segment, the points that return to the first at the end are
// passed over, and the last segment runs back to point 0.
TEST(FindSelfCrossing, NamesSegmentsByTheGivenPoints) {
    auto at = [](double x, double y) { return GeoPoint{45 + y / 60, 9 + x / 60}; };
    struct Case {
        std::vector<GeoPoint> points;
        std::size_t first, firstEnd, second, secondEnd;
    };
    // A bow tie whose last segment crosses its second one.
    const std::vector<GeoPoint> tie = {at(0, 1), at(0, 0), at(1, 1), at(1, 0)};
    std::vector<GeoPoint> circle;
    for (int i = 0; i < 100; ++i) circle.push_back(at(std::cos(i * 0.0628318), std::sin(i * 0.0628318)));
    std::swap(circle[40], circle[41]);
    std::vector<GeoPoint> repeated = circle;
    repeated.insert(repeated.begin() + 40, circle[40]);
    repeated.push_back(circle[0]);
    const Case cases[] = {
        {tie, 1, 2, 3, 0},
        {{tie[0], tie[1], tie[2], tie[3], tie[3], tie[0], tie[0]}, 1, 2, 3, 0},
        {circle, 39, 40, 41, 42},
        {repeated, 39, 40, 42, 43},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.points.size());
        const CrossingSearch search = FindSelfCrossing(c.points);
        ASSERT_EQ(search.outcome, CrossingSearch::Outcome::Found);
        EXPECT_TRUE(search.crossing.crosses);
        EXPECT_EQ(std::vector({search.crossing.first, search.crossing.firstEnd, search.crossing.second,
                               search.crossing.secondEnd}),
                  std::vector({c.first, c.firstEnd, c.second, c.secondEnd}));
    }
}

// A zigzag of 2,000 points whose long teeth all lie side by side, so that
// the boxes of its edges overlap whatever the rotation, closed by a return
// below them. Its last edge runs down through the last teeth (it crosses
// itself at its very end) or beside them (it does not). Rotated by
// `degrees` about its middle near 45 N 9 E.
std::vector<GeoPoint> Zigzag(double degrees, bool crossing) {
    constexpr int kTeeth = 1998;
    constexpr double kSpacing = 0.0002, kHeight = 0.2;
    std::vector<std::pair<double, double>> plane;
    for (int i = 0; i < kTeeth; ++i) plane.emplace_back(i * kSpacing, i % 2 * kHeight);
    plane.emplace_back((crossing ? kTeeth - 4.5 : kTeeth - 1) * kSpacing, -kHeight / 4);
    plane.emplace_back(0, -kHeight / 4);
    const double angle = degrees * 3.141592653589793 / 180, middle = kTeeth * kSpacing / 2;
    std::vector<GeoPoint> points;
    for (const auto& [x, y] : plane) {
        const double u = (x - middle) * std::cos(angle) - y * std::sin(angle);
        const double v = (x - middle) * std::sin(angle) + y * std::cos(angle);
        points.push_back({45 + v, 9 + u / std::cos(45 * 3.141592653589793 / 180)});
    }
    return points;
}

TEST(FindSelfCrossing, FindsTheCrossingOfAZigzagAtEveryRotation) {
    for (const double degrees : {0.0, 10.0, 45.0, 80.0}) {
        for (const bool crossing : {true, false}) {
            SCOPED_TRACE(std::to_string(degrees) + (crossing ? " degrees, crossing" : " degrees, simple"));
            const CrossingSearch search = FindSelfCrossing(Zigzag(degrees, crossing));
            if (!crossing) {
                EXPECT_EQ(search.outcome, CrossingSearch::Outcome::None);
                continue;
            }
            ASSERT_EQ(search.outcome, CrossingSearch::Outcome::Found);
            EXPECT_TRUE(search.crossing.crosses);
            // The last edge of the teeth and the one down through them.
            EXPECT_EQ(search.crossing.first, 1995u);
            EXPECT_EQ(search.crossing.second, 1997u);
        }
    }
}

// The crossing test against comparing every pair of segments, on random
// outlines of 4 to 12 points on a grid of 7 by 7 minutes: shared points,
// points on edges, retraced and collinear edges galore. It finds a crossing
// exactly when two segments cross in the interior of both, else a touch
// exactly when two segments that are not neighbours meet.
TEST(FindSelfCrossing, AgreesWithComparingEveryPair) {
    struct Point {
        std::int64_t x, y;
        bool operator==(const Point&) const = default;
    };
    auto orientation = [](Point a, Point b, Point c) {
        const std::int64_t cross = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        return (cross > 0) - (cross < 0);
    };
    auto on = [](Point a, Point b, Point c) {
        return std::min(a.x, b.x) <= c.x && c.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= c.y &&
               c.y <= std::max(a.y, b.y);
    };
    std::uint32_t seed = 12345;
    auto random = [&](std::uint32_t below) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % below;
    };
    int crossings = 0, touches = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<Point> ring;
        const std::uint32_t n = 4 + random(9);
        while (ring.size() < n) {
            const Point p{random(7), random(7)};
            if (ring.empty() || !(p == ring.back())) ring.push_back(p);
        }
        while (ring.size() > 3 && ring.back() == ring.front()) ring.pop_back();
        if (ring.size() < 4) continue;
        bool cross = false, touch = false;
        const std::size_t m = ring.size();
        for (std::size_t i = 0; i < m; ++i) {
            for (std::size_t j = i + 2; j < m; ++j) {
                if (i == 0 && j == m - 1) continue;
                const Point a = ring[i], b = ring[(i + 1) % m], c = ring[j], d = ring[(j + 1) % m];
                const int o1 = orientation(a, b, c), o2 = orientation(a, b, d), o3 = orientation(c, d, a),
                          o4 = orientation(c, d, b);
                if (o1 * o2 < 0 && o3 * o4 < 0) cross = true;
                if ((o1 == 0 && on(a, b, c)) || (o2 == 0 && on(a, b, d)) || (o3 == 0 && on(c, d, a)) ||
                    (o4 == 0 && on(c, d, b)))
                    touch = true;
            }
        }
        std::vector<GeoPoint> points;
        for (const Point& p : ring) points.push_back({45 + p.y / 60.0, 9 + p.x / 60.0});
        const CrossingSearch search = FindSelfCrossing(points);
        SCOPED_TRACE(::testing::PrintToString(trial));
        if (cross) {
            ++crossings;
            ASSERT_EQ(search.outcome, CrossingSearch::Outcome::Found);
            ASSERT_TRUE(search.crossing.crosses);
        } else if (touch) {
            ++touches;
            ASSERT_EQ(search.outcome, CrossingSearch::Outcome::Found);
            ASSERT_FALSE(search.crossing.crosses);
        } else {
            ASSERT_EQ(search.outcome, CrossingSearch::Outcome::None);
        }
    }
    // Each kind came up often.
    EXPECT_GT(crossings, 1000);
    EXPECT_GT(touches, 1000);
}

// " 45:mm:00 N 009:mm:00 E" on a grid of minutes, x east and y north.
std::string At(int x, int y) {
    char text[40];
    std::snprintf(text, sizeof text, "45:%02d:00 N 009:%02d:00 E", y, x);
    return text;
}
std::string Outline(std::initializer_list<std::pair<int, int>> points) {
    std::string text = kHead;
    for (const auto& [x, y] : points) text += Dp(At(x, y));
    return text;
}

// Crossing against touching: edges that cross in the interior of both are
// a self-intersection (an error); an outline that meets itself only at a
// point it passes twice, at a point on another edge, or along a retraced
// edge is self-touching (a warning). A crossing outrules a touch.
TEST(BlockChecks, TellsCrossingFromTouching) {
    struct TouchCase {
        const char* what;
        std::string file;
        const char* rule;  // nullptr: neither
        std::int32_t line;
        const char* message;
    };
    const std::vector<TouchCase> cases{
        {"a square", Outline({{0, 0}, {0, 4}, {4, 4}, {4, 0}, {0, 0}}), nullptr, 0, ""},
        {"a bow tie", Outline({{0, 0}, {4, 4}, {0, 4}, {4, 0}, {0, 0}}), "self-intersection", 7,
         "the outline crosses itself at 45:02:00 N 009:02:00 E: the edge from line 5 to line 6 and the edge from "
         "line 7 to line 8"},
        {"two lobes that share a point",
         Outline({{0, 0}, {2, 2}, {4, 0}, {4, 4}, {2, 2}, {0, 4}, {0, 0}}), "self-touching", 9,
         "the outline touches itself at 45:02:00 N 009:02:00 E: the edge from line 5 to line 6 and the edge from "
         "line 9 to line 10"},
        {"a point on another edge", Outline({{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}, {0, 0}}), "self-touching", 7,
         "the outline touches itself at 45:00:00 N 009:02:00 E: the edge from line 5 to line 6 and the edge from "
         "line 7 to line 8"},
        {"a cut line to an inner ring",
         Outline({{0, 0}, {0, 8}, {8, 8}, {8, 0}, {0, 0}, {2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}, {0, 0}}),
         "self-touching", 9,
         "the outline touches itself at 45:00:00 N 009:00:00 E: the edge from line 5 to line 6 and the edge from "
         "line 9 to line 10"},
        {"a spike back onto an earlier edge", Outline({{0, 0}, {0, 6}, {0, 5}, {4, 5}, {4, 0}, {0, 0}}),
         "self-touching", 7,
         "the outline touches itself at 45:05:00 N 009:00:00 E: the edge from line 5 to line 6 and the edge from "
         "line 7 to line 8"},
        {"a touch and a crossing",
         Outline({{0, 0}, {2, 2}, {4, 0}, {4, 4}, {2, 2}, {0, 4}, {6, 3}, {6, 1}, {0, 0}}), "self-intersection", 12,
         nullptr},
    };
    for (const TouchCase& c : cases) {
        SCOPED_TRACE(std::string(c.what) + ":\n" + c.file);
        std::vector<Finding> found;
        for (Finding& f : Check(c.file))
            if (f.rule == RuleId::SelfIntersection || f.rule == RuleId::SelfTouching) found.push_back(std::move(f));
        if (!c.rule) {
            EXPECT_TRUE(found.empty());
            continue;
        }
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(IdOf(found[0].rule), c.rule);
        EXPECT_EQ(found[0].severity, FindRule(c.rule)->severity);
        EXPECT_EQ(found[0].line, c.line);
        if (c.message) {
            EXPECT_EQ(found[0].message, c.message);
        }
    }
    EXPECT_EQ(FindRule("self-touching")->severity, Severity::Warning);
}

// Outlines around a pole and arcs of a quarter of the earth's circumference
// are laid flat without tearing: none crosses itself.
TEST(BlockChecks, OutlinesAroundAPoleAndHugeArcsDoNotCross) {
    const std::vector<std::string> files{
        // A circle around the North Pole as two DB half circles at 89 N.
        kHead + "V X=90:00:00 N 000:00:00 E\nDB 89:00:00 N 000:00:00 E,89:00:00 N 180:00:00 E\n"
                "DB 89:00:00 N 180:00:00 E,89:00:00 N 000:00:00 E\n",
        // The same around the South Pole, counter-clockwise.
        kHead + "V X=90:00:00 S 000:00:00 E\nV D=-\nDB 89:00:00 S 000:00:00 E,89:00:00 S 180:00:00 E\n"
                "DB 89:00:00 S 180:00:00 E,89:00:00 S 000:00:00 E\n",
        // A full arc close to a pole, and DP points around it.
        kHead + "V X=89:00:00 N 000:00:00 E\nDA 60,0,359\n",
        kHead + Dp("88:00:00 N 000:00:00 E") + Dp("88:00:00 N 090:00:00 E") + Dp("88:00:00 N 180:00:00 E") +
            Dp("88:00:00 N 090:00:00 W"),
        // Arcs of 5,400 NM: over a pole, and three quarters of a circle.
        kHead + "V X=00:00:00 N 000:00:00 E\nDB 45:00:00 N 090:00:00 E,45:00:00 N 090:00:00 W\n",
        kHead + "V X=00:00:00 N 000:00:00 E\nDB 00:00:00 N 089:00:00 E,01:00:00 N 089:00:00 E\n",
        kHead + "V X=60:00:00 N 010:00:00 E\nDB 30:00:00 N 175:00:00 E,30:00:00 N 175:00:00 W\n" +
            Dp("30:00:00 N 175:00:00 E"),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        for (const Finding& f : Check(file))
            EXPECT_TRUE(f.rule != RuleId::SelfIntersection && f.rule != RuleId::SelfTouching &&
                        f.rule != RuleId::GeometrySkipped)
                << IdOf(f.rule) << ": " << f.message;
    }
}

// The outline view draws the arcs of a block whose geometry a later line
// stopped, followed as in any other block.
TEST(AnalyseBlock, FollowsTheArcsBeforeALineThatStopsTheGeometry) {
    test::ScopedSeparator separator('.');
    const SplitFile file(kHead + kCentre + "DA 5,0,180\nDP 45:00:00N 009:00:00E\n");
    const BlockAnalysis a = AnalyseBlock(file.records, CheckSettings{});
    EXPECT_FALSE(a.geometryChecked);
    ASSERT_EQ(a.arcs.size(), 1u);
    EXPECT_GT(a.arcs[0].pointCount, 10u);
    EXPECT_EQ(a.outline.size(), a.arcs[0].pointCount);
}

// The points followed along a block's arcs keep to the file's size: two
// per byte of the block's records, and what the blocks before it left
// unused (4,096 to begin with), at most 262,144; past that the geometry is
// not checked, with one note at the arc that passed the bound.
TEST(BlockChecks, ArcPointsKeepToTheFilesSize) {
    const std::string centre = "V X=45:00:00 N 009:00:00 E\n";
    auto arcs = [&](int count) {
        std::string text = kHead + centre;
        for (int i = 0; i < count; ++i) text += "DA 1000,0,359\n";
        return text;
    };
    auto skipped = [](const std::string& file) {
        const std::vector<Finding> findings = Check(file);
        return std::any_of(findings.begin(), findings.end(),
                           [](const Finding& f) { return IdOf(f.rule) == "geometry-skipped"; });
    };
    // Each arc of 1,000 NM takes 358 points and 13 bytes (and retraces the
    // one before it).
    EXPECT_FALSE(skipped(arcs(12)));
    // A block of 40 points before it leaves 1,000 points more.
    std::string points = kHead;
    for (int i = 0; i < 40; ++i) points += Dp(At(i % 2 * 10, i));
    EXPECT_FALSE(skipped(points + Dp(At(0, 0)) + arcs(13)));
    for (const auto& [file, line, bound] :
         {std::tuple{arcs(13), 18, "past 4534: 2 for each of its 219 bytes, and 4096 in reserve"},
          std::tuple{arcs(800), 5 + 733, "past 262144"}}) {
        SCOPED_TRACE(file.substr(0, 200));
        const std::vector<Finding> findings = Check(file);
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(IdOf(findings[0].rule), "geometry-skipped");
        EXPECT_EQ(findings[0].line, line);
        EXPECT_EQ(findings[0].message, "the geometry of the block is not checked: line " + std::to_string(line) +
                                           " takes the points along the block's arcs " + bound);
    }
}

// The contract of the checks: what Line reports names that line, or lines
// since the last block start, or (on a block start) lines of the block it
// ends; Finish names the last block or line 0; each finding's block line
// is the start of its block. Run over every corpus file and a synthetic
// one.
void CheckContract(const SplitFile& file) {
    BlockChecks checks(CheckSettings{});
    std::vector<Finding> out;
    std::int32_t blockStart = 0, previousStart = 0;
    auto blockOf = [&](std::int32_t line) { return line >= blockStart ? blockStart : previousStart; };
    for (const RecordLine& r : file.records) {
        const bool starts = StartsBlock(r.command);
        if (starts) {
            previousStart = blockStart;
            blockStart = r.line;
        }
        checks.Line(r, out);
        for (const Finding& f : out) {
            const std::int32_t earliest = starts ? previousStart : blockStart;
            EXPECT_GE(f.line, std::max(earliest, 1)) << f.message;
            EXPECT_LE(f.line, r.line) << f.message;
            EXPECT_EQ(f.blockLine, blockOf(f.line)) << f.message;
        }
        out.clear();
    }
    checks.Finish(out);
    for (const Finding& f : out) {
        EXPECT_GE(f.line, blockStart) << f.message;
        EXPECT_EQ(f.blockLine, blockStart) << f.message;
    }
}

TEST(BlockChecks, KeepsToTheOrderContract) {
    test::ScopedSeparator separator('.');
    CheckContract(SplitFile("AN x\n" + kHead + kSquare + kSquare + "AN y\nAC R\nTO\nAC Q\n" + kHead + Dp(A)));
}

// The real files: per file, the count of each rule (every finding read and
// found real; see the closing note of the block checks).
const std::map<std::string, std::map<std::string, int>> kCorpusCounts{
    {"ca-2026.txt", {{"geometry-skipped", 1499}, {"limits-inverted", 1}}},
    {"cz-2018.txt", {{"repeated-point", 5}}},
    {"de-2025-06-latin1.txt", {{"self-touching", 2}}},
    {"de-2026.txt", {{"self-touching", 2}}},
    {"de-military-low-flying-2025.txt", {{"geometry-skipped", 1}}},
    {"de-spreewald-comp-2022.txt", {{"duplicate-block", 9}, {"missing-lower-limit", 15}, {"missing-upper-limit", 15}, {"no-shape", 15}, {"not-closed", 39}, {"self-intersection", 5}, {"self-touching", 29}}},
    {"fi-2018.txt", {{"altitude-unreadable", 3}, {"not-closed", 1}, {"repeated-point", 1}, {"self-intersection", 1}, {"self-touching", 1}}},
    {"fr-2022-06-bom.txt", {{"arc-radius-mismatch", 2}, {"geometry-skipped", 13}, {"missing-name", 1}, {"mixed-shape", 1}, {"not-closed", 515}, {"repeated-point", 9}, {"repeated-record", 1}, {"self-intersection", 12}, {"self-touching", 8}, {"too-few-points", 33}}},
    {"fr-2022-07-merge.txt", {{"arc-radius-mismatch", 4}, {"duplicate-block", 1207}, {"geometry-skipped", 20}, {"missing-name", 1}, {"mixed-shape", 1}, {"not-closed", 994}, {"repeated-point", 16}, {"repeated-record", 1}, {"self-intersection", 24}, {"self-touching", 16}, {"too-few-points", 33}}},
    {"fr-2024-07.txt", {{"arc-radius-mismatch", 4}, {"geometry-skipped", 8}, {"limits-inverted", 1}, {"not-closed", 1}, {"repeated-point", 1480}, {"self-intersection", 4}}},
    {"fr-2026-exp.txt",
     {{"arc-radius-mismatch", 1}, {"geometry-skipped", 11}, {"repeated-point", 21}, {"self-touching", 2}}},
    {"it-2010-demo.txt", {{"arc-radius-mismatch", 3}, {"not-closed", 3}, {"zero-sweep-arc", 1}}},
    {"mw-national.txt", {{"geometry-skipped", 5}, {"not-closed", 6}, {"record-after-geometry", 4}}},
    {"nl-2022.txt", {{"not-closed", 108}, {"repeated-point", 13}, {"self-intersection", 9}, {"self-touching", 2}}},
    {"no-2026-ft.txt", {{"limits-inverted", 8}, {"not-closed", 1}, {"repeated-point", 27}, {"self-touching", 2}}},
    {"re-2020.txt", {{"not-closed", 3}}},
    {"ua-2024.txt", {{"not-closed", 648}, {"repeated-point", 366}, {"self-intersection", 1}}},
    {"uk-2019.txt",
     {{"arc-radius-mismatch", 2},
      {"missing-lower-limit", 11},
      {"missing-name", 11},
      {"missing-upper-limit", 11},
      {"no-shape", 11},
      {"not-closed", 3},
      {"self-touching", 1}}},
    {"us-ksgu-ultralight-2024.txt", {{"not-closed", 2}}},
    {"za-national.txt", {{"repeated-point", 7}, {"self-intersection", 5}}},
};

TEST(BlockChecks, CorpusCountsPerRule) {
    const std::filesystem::path dir = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << "no corpus at " << dir;
    test::ScopedSeparator separator('.');
    for (const auto& [name, expected] : kCorpusCounts) {
        SCOPED_TRACE(name);
        const SplitFile file(ReadWholeFile((dir / name).string(), FileKinds::Any));
        std::map<std::string, int> counts;
        for (const Finding& f : Check(file)) ++counts[std::string(IdOf(f.rule))];
        EXPECT_EQ(counts, expected);
        CheckContract(file);
    }
}

// What the issue saw in the real files.
TEST(BlockChecks, CorpusObservations) {
    const std::filesystem::path dir = CORVALA_CORPUS_DIR;
    ASSERT_TRUE(std::filesystem::is_directory(dir)) << "no corpus at " << dir;
    test::ScopedSeparator separator('.');
    auto findings = [&](const char* name, std::string_view rule) {
        std::vector<Finding> found;
        for (Finding& f : Check(SplitFile(ReadWholeFile((dir / name).string(), FileKinds::Any))))
            if (IdOf(f.rule) == rule) found.push_back(std::move(f));
        return found;
    };
    const std::vector<Finding> twoPoints = findings("fr-2022-06-bom.txt", "too-few-points");
    ASSERT_EQ(twoPoints.size(), 33u);
    EXPECT_EQ(twoPoints[0].line, 12816);
    EXPECT_EQ(twoPoints[0].message, "the outline has 2 points, at least 3 are needed (lines 12820 to 12821)");

    const std::vector<Finding> arcs = findings("it-2010-demo.txt", "arc-radius-mismatch");
    ASSERT_FALSE(arcs.empty());
    EXPECT_EQ(arcs[0].line, 89);
    EXPECT_EQ(arcs[0].message, "the arc's end points lie 6.55 NM and 9.72 NM from its centre (line 88)");

    const std::vector<Finding> inverted = findings("no-2026-ft.txt", "limits-inverted");
    ASSERT_FALSE(inverted.empty());
    EXPECT_EQ(inverted[0].message,
              "the lower limit \"0ft AMSL\" (line 7899) is at or above the upper limit \"0ft AMSL\" (line 7900)");
}

}  // namespace
}  // namespace corvala
