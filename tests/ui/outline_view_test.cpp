// The outline view: the markers of each kind of finding where the finding
// shows and in its severity's colour, the point under the mouse, and
// blocks that give the projection nothing to hold on to.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/run/block_at_line.h"
#include "engine/input/lines.h"
#include "engine/geo/geodesics.h"
#include "engine/values/text.h"
#include "ui/OutlineView.h"
#include "ui/Unit1.h"

using corvala::BlockAnalysis;
using corvala::GeoPoint;
using corvala::ui::OutlineView;

Q_DECLARE_METATYPE(GeoPoint)
Q_DECLARE_METATYPE(BlockAnalysis)

namespace {

const std::string kHead = "AC R\nAH FL95\nAL GND\n";  // lines 1 to 3; no AN, so that missing-name has no place
const GeoPoint A{45, 9}, B{45 + 10 / 60.0, 9}, C{45 + 10 / 60.0, 9 + 10 / 60.0}, D{45, 9 + 10 / 60.0};

std::string Dp(GeoPoint p) { return "DP " + corvala::FormatDms(p) + "\n"; }

BlockAnalysis Analyse(const std::string& text, bool extended = false) {
    const corvala::Lines lines(text);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    corvala::CheckSettings settings;
    settings.blocks = true;
    settings.extended = extended;
    return corvala::AnalyseBlockLines(views, 1, settings);
}

int FindingOf(const BlockAnalysis& block, const QString& rule) {
    for (std::size_t i = 0; i < block.findings.size(); ++i)
        if (QString::fromUtf8(IdOf(block.findings[i].finding.rule)) == rule) return static_cast<int>(i);
    return -2;
}

QImage Render(OutlineView& view) {
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    view.render(&image);
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// A pixel of `colour` (antialiasing aside) within `radius` pixels of `at`.
bool ColourNear(const QImage& image, QPointF at, QRgb colour, int radius = 2) {
    const int x0 = qRound(at.x()), y0 = qRound(at.y());
    for (int y = y0 - radius; y <= y0 + radius; ++y)
        for (int x = x0 - radius; x <= x0 + radius; ++x)
            if (image.valid(x, y) && Near(image.pixel(x, y), colour, 12)) return true;
    return false;
}

// The darkest grey within `radius` pixels of `at`.
int DarkestNear(const QImage& image, QPointF at, int radius = 1) {
    int darkest = 255;
    const int x0 = qRound(at.x()), y0 = qRound(at.y());
    for (int y = y0 - radius; y <= y0 + radius; ++y)
        for (int x = x0 - radius; x <= x0 + radius; ++x)
            if (image.valid(x, y)) darkest = std::min(darkest, qGray(image.pixel(x, y)));
    return darkest;
}

QPointF Between(QPointF a, QPointF b, double t) { return a + t * (b - a); }

}  // namespace

class OutlineViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { corvala::SetDecimalSeparator('.'); }
    void markers_data();
    void markers();
    void pointUnderTheMouse_data();
    void pointUnderTheMouse();
    void neighboursAreFaint();
    void degenerateBlocks_data();
    void degenerateBlocks();
    void antimeridianKeepsTheBlockTogether();
    void zoomPanAndFit_data();
    void zoomPanAndFit();
    void crossingEdgesAreDrawn_data();
    void crossingEdgesAreDrawn();
    void arcThatStartsWhereItEnds();
    void unreadCentreDrawsWhatItCan();
    void limitsInTheCaption_data();
    void limitsInTheCaption();
};

void OutlineViewTest::markers_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<uint>("colour");
    const QByteArray square = QByteArray::fromStdString(Dp(A) + Dp(B) + Dp(C) + Dp(D));
    QTest::newRow("two points") << QByteArray::fromStdString(kHead + Dp(A) + Dp(B)) << false << "too-few-points"
                                << uint(OutlineView::kErrorMarker);
    QTest::newRow("one point") << QByteArray::fromStdString(kHead + Dp(A) + Dp(A) + Dp(A)) << false << "too-few-points"
                               << uint(OutlineView::kErrorMarker);
    QTest::newRow("bow-tie") << QByteArray::fromStdString(kHead + Dp(A) + Dp(C) + Dp(B) + Dp(D) + Dp(A)) << false
                             << "self-intersection" << uint(OutlineView::kErrorMarker);
    // The ends 5 and 14 miles from the centre.
    QTest::newRow("arc ends apart") << QByteArray::fromStdString(kHead + "V X=" + corvala::FormatDms(A) + "\n" + Dp(A) +
                                                                 "DB 45:05:00 N 009:00:00 E, " +
                                                                 "45:00:00 N 009:20:00 E\n" + Dp(A))
                                    << false << "arc-radius-mismatch" << uint(OutlineView::kWarningMarker);
    QTest::newRow("not closed") << QByteArray(kHead.c_str()) + square << false << "not-closed"
                                << uint(OutlineView::kNoteMarker);
    QTest::newRow("not closed, extended")
        << QByteArray(kHead.c_str()) + square << true << "not-closed" << uint(OutlineView::kWarningMarker);
}

// Each marker shows in its colour where the finding shows, for the finding
// marked alone and among all; with another finding marked it is gone.
void OutlineViewTest::markers() {
    QFETCH(QByteArray, file);
    QFETCH(bool, extended);
    QFETCH(QString, rule);
    QFETCH(uint, colour);
    const BlockAnalysis block = Analyse(file.toStdString(), extended);
    const int finding = FindingOf(block, rule);
    const int other = FindingOf(block, QStringLiteral("missing-name"));
    QVERIFY2(finding >= 0, qPrintable(rule));
    QVERIFY(other >= 0);
    const std::vector<GeoPoint>& markers = block.findings[finding].markers;
    QVERIFY(!markers.empty());

    OutlineView view;
    view.resize(400, 400);
    for (const int marked : {finding, -1, other}) {
        view.SetBlock(block, {}, marked);
        const QImage image = Render(view);
        const bool shown = marked != other;
        for (const GeoPoint& m : markers) {
            const QPointF at = view.Project(m);
            QVERIFY(QRectF(0, 0, 400, 400).contains(at));
            QCOMPARE(ColourNear(image, at, colour), shown);
        }
        if (rule == "arc-radius-mismatch") {
            // Both radii, from the centre to each end.
            const QPointF centre = view.Project(markers[0]);
            for (const GeoPoint& end : {markers[1], markers[2]})
                QCOMPARE(ColourNear(image, Between(centre, view.Project(end), 0.5), colour, 1), shown);
        }
        if (rule == "not-closed") {
            // The gap from the last point to the first, dashed.
            const QPointF last = view.Project(markers[0]), first = view.Project(markers[1]);
            int on = 0, off = 0;
            for (int k = 0; k <= 60; ++k)
                (ColourNear(image, Between(last, first, 0.2 + 0.6 * k / 60), colour, 1) ? on : off) += 1;
            QCOMPARE(on > 10 && off > 5, shown);
            if (!shown) QCOMPARE(on, 0);
        }
    }
}

void OutlineViewTest::pointUnderTheMouse_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<GeoPoint>("point");
    QTest::addColumn<QPointF>("offset");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("tooltip");
    const QByteArray square = QByteArray::fromStdString(kHead + Dp(A) + Dp(B) + Dp(C) + Dp(D) + Dp(A));
    QTest::newRow("a point") << square << B << QPointF(0, 0) << 5 << "Line 5: 45:10:00 N 009:00:00 E";
    QTest::newRow("a few pixels off") << square << C << QPointF(3, -3) << 6 << "Line 6: 45:10:00 N 009:10:00 E";
    QTest::newRow("too far off") << square << C << QPointF(8, 8) << 0 << "";
    QTest::newRow("the first and the closing point")
        << square << A << QPointF(0, 0) << 4 << "Line 4: 45:00:00 N 009:00:00 E\nLine 8: 45:00:00 N 009:00:00 E";
    QTest::newRow("inside, away from the edges")
        << square << GeoPoint{45 + 5 / 60.0, 9 + 5 / 60.0} << QPointF(0, 0) << 0 << "";
    const QByteArray circle = QByteArray::fromStdString(kHead + "V X=" + corvala::FormatDms(A) + "\nDC 5\n");
    QTest::newRow("a circle's rim") << circle << corvala::GeodesicDestination(A, 45, 5 * 1852.0) << QPointF(0, 0) << 5
                                    << "Line 5: circle of 5 NM around 45:00:00 N 009:00:00 E";
    QTest::newRow("a circle's centre") << circle << A << QPointF(0, 0) << 4 << "Line 4: 45:00:00 N 009:00:00 E, centre";
}

// The point under the mouse: its line and position in the tooltip, and a
// click asks for its line; away from every point, nothing.
void OutlineViewTest::pointUnderTheMouse() {
    QFETCH(QByteArray, file);
    QFETCH(GeoPoint, point);
    QFETCH(QPointF, offset);
    QFETCH(int, line);
    QFETCH(QString, tooltip);
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(Analyse(file.toStdString()));
    const QPointF at = view.Project(point) + offset;
    QCOMPARE(view.ToolTipAt(at), tooltip);
    QSignalSpy activated(&view, &OutlineView::lineActivated);
    QTest::mouseClick(&view, Qt::LeftButton, {}, at.toPoint());
    QCOMPARE(activated.size(), line == 0 ? 0 : 1);
    if (line != 0) QCOMPARE(activated.front().front().toInt(), line);
}

// The blocks beside the one shown are drawn in a grey between the outline
// and the background, and do not move the fit.
void OutlineViewTest::neighboursAreFaint() {
    const BlockAnalysis block = Analyse(kHead + Dp(A) + Dp(B) + Dp(C) + Dp(A));
    const GeoPoint far{45 + 10 / 60.0, 9 + 20 / 60.0};
    const BlockAnalysis beside = Analyse(kHead + Dp(D) + Dp(C) + Dp(far) + Dp(D));
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(block);
    const QPointF alone = view.Project(C);
    view.SetBlock(block, {beside});
    QCOMPARE(view.Project(C), alone);
    const QImage image = Render(view);
    const int edge = DarkestNear(image, Between(view.Project(D), view.Project(far), 0.1));
    QVERIFY2(edge > 150 && edge < 235, qPrintable(QString::number(edge)));
    QVERIFY(!ColourNear(image, view.Project(A), OutlineView::kErrorMarker));
}

void OutlineViewTest::degenerateBlocks_data() {
    QTest::addColumn<BlockAnalysis>("block");
    QTest::newRow("nothing") << BlockAnalysis{};
    QTest::newRow("the preamble") << Analyse("* a comment\nAN before any block\n");
    QTest::newRow("no geometry") << Analyse(kHead);
    QTest::newRow("one point") << Analyse(kHead + Dp(A));
    QTest::newRow("a circle") << Analyse(kHead + "V X=" + corvala::FormatDms(A) + "\nDC 5\n");
    QTest::newRow("a circle of radius 0") << Analyse(kHead + "V X=" + corvala::FormatDms(A) + "\nDC 0\n");
    QTest::newRow("a circle round the earth") << Analyse(kHead + "V X=" + corvala::FormatDms(A) + "\nDC 20000\n");
    QTest::newRow("an airway") << Analyse(kHead + "V W=3\nDY " + corvala::FormatDms(A) + "\nDY " +
                                          corvala::FormatDms(C) + "\n");
    QTest::newRow("at the pole") << Analyse(kHead + "DP 90:00:00 N 000:00:00 E\nDP 89:59:00 N 090:00:00 E\n" +
                                            "DP 89:59:00 N 180:00:00 E\nDP 90:00:00 N 000:00:00 E\n");
    // A million points on a circle, each a few metres from the next.
    BlockAnalysis huge = Analyse(kHead);
    constexpr int kPoints = 1000000;
    for (int i = 0; i < kPoints; ++i) {
        const double angle = 2 * std::numbers::pi * i / kPoints;
        huge.outline.push_back({{45 + std::sin(angle), 9 + 1.4 * std::cos(angle)}, 4 + i, false});
    }
    QTest::newRow("a million points") << huge;
    // Edges across the whole block, each crossing thousands of others: drawn
    // with antialiased strokes this would take minutes.
    BlockAnalysis tangle = Analyse(kHead);
    std::uint32_t random = 1;
    auto next = [&] { return (random = random * 1664525 + 1013904223) / 4294967296.0; };
    for (int i = 0; i < 200000; ++i) tangle.outline.push_back({{45 + 0.2 * next(), 9 + 0.3 * next()}, 4 + i, false});
    QTest::newRow("a tangle") << tangle;
}

// Blocks that leave the fit nothing to hold on to paint at any size, and
// their points stay finite.
void OutlineViewTest::degenerateBlocks() {
    QFETCH(BlockAnalysis, block);
    OutlineView view;
    for (const QSize size : {QSize(400, 400), QSize(240, 240), QSize(1, 1), QSize(2000, 30)}) {
        view.resize(size);
        view.SetBlock(block, {block});
        QElapsedTimer timer;
        timer.start();
        const QImage image = Render(view);
        if (block.outline.size() > 1000) qInfo() << size << "painted in" << timer.elapsed() << "ms";
        QVERIFY(!image.isNull());
        for (const auto& p : block.outline) {
            const QPointF at = view.Project(p.position);
            QVERIFY(std::isfinite(at.x()) && std::isfinite(at.y()));
        }
    }
    view.resize(400, 400);
    view.Clear();
    QVERIFY(!view.HasBlock());
    QCOMPARE(view.ToolTipAt(QPointF(200, 200)), QString());
    Render(view);
}

// Two points a mile either side of 180 degrees are drawn a mile apart, not
// across the map.
void OutlineViewTest::antimeridianKeepsTheBlockTogether() {
    const GeoPoint east{10, 180 - 1 / 60.0}, west{10, -180 + 1 / 60.0}, north{10 + 2 / 60.0, -180 + 1 / 60.0};
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(Analyse(kHead + Dp(east) + Dp(west) + Dp(north) + Dp(east)));
    const QPointF e = view.Project(east), w = view.Project(west), n = view.Project(north);
    // Two minutes of longitude at 10 degrees north are 1.97 miles, two
    // minutes of latitude 2 miles.
    QVERIFY2(w.x() > e.x(), "west of 180 lies east of it");
    QVERIFY(std::abs((w.x() - e.x()) / (w.y() - n.y()) - std::cos(10 * std::numbers::pi / 180)) < 0.02);
    QVERIFY(DarkestNear(Render(view), Between(e, w, 0.5)) < 128);
}

// Zoom with the wheel and the keys keeps the place under the mouse (or the
// middle) still, a drag pans, Home and a double click fit again; a click
// without a drag still goes to its point's line.
void OutlineViewTest::zoomPanAndFit_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<double>("zoom");  // afterwards
    QTest::addColumn<bool>("pointStays");  // the point under the gesture stays put
    QTest::newRow("wheel up") << "wheel 120" << 1.25 << true;
    QTest::newRow("wheel down twice") << "wheel -240" << 1 / 1.5625 << true;
    QTest::newRow("plus") << "key +" << 1.25 << false;
    QTest::newRow("minus") << "key -" << 0.8 << false;
    QTest::newRow("drag") << "drag" << 1.0 << false;
    QTest::newRow("home after zoom") << "home" << 1.0 << false;
    QTest::newRow("double click after zoom") << "double" << 1.0 << false;
}

void OutlineViewTest::zoomPanAndFit() {
    QFETCH(QString, gesture);
    QFETCH(double, zoom);
    QFETCH(bool, pointStays);
    OutlineView view;
    view.resize(400, 400);
    view.show();
    view.SetBlock(Analyse(kHead + Dp(A) + Dp(B) + Dp(C) + Dp(D) + Dp(A)));
    const QPointF fitted = view.Project(B);
    const QPointF at = view.Project(C);
    if (gesture.startsWith("wheel")) {
        const int delta = gesture.section(u' ', 1).toInt();
        QWheelEvent wheel(at, view.mapToGlobal(at), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
    } else if (gesture.startsWith("key")) {
        QTest::keyClick(&view, gesture.endsWith('+') ? Qt::Key_Plus : Qt::Key_Minus);
    } else if (gesture == "drag") {
        QSignalSpy activated(&view, &OutlineView::lineActivated);
        const QPoint from = at.toPoint(), to = from + QPoint(-40, 30);
        QTest::mousePress(&view, Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(-20, 15)), view.mapToGlobal(QPointF(from)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&view, &move);
        QMouseEvent end(QEvent::MouseMove, QPointF(to), view.mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(&view, &end);
        QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
        QCOMPARE(view.Project(B), fitted + QPointF(-40, 30));
        QCOMPARE(activated.size(), 0);  // a drag from a point is no click
    } else {
        view.ZoomBy(3, at);
        view.PanBy({25, -10});
        if (gesture == "home") {
            QTest::keyClick(&view, Qt::Key_Home);
        } else {
            QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(5, 200));
        }
        QCOMPARE(view.Project(B), fitted);
    }
    QVERIFY(std::abs(view.Zoom() - zoom) < 1e-9);
    if (pointStays) QVERIFY((view.Project(C) - at).manhattanLength() < 1e-6);
    // Another block is shown fitted; a new finding of the same one keeps the view.
    if (gesture != "home" && gesture != "double") {
        view.SetBlock(view.Block(), {}, -1);
        QVERIFY(std::abs(view.Zoom() - zoom) < 1e-9);
        view.SetBlock(Analyse("* before\n" + kHead + Dp(A) + Dp(B) + Dp(C) + Dp(A)));
        QCOMPARE(view.Zoom(), 1.0);
        QCOMPARE(view.Pan(), QPointF());
    }
}

// The two edges a crossing names are drawn in its colour, each beside its
// line; an edge gone back over is drawn twice, on either side.
void OutlineViewTest::crossingEdgesAreDrawn_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("edges");
    QTest::addColumn<bool>("opposed");  // two of them run against each other
    QTest::addColumn<QString>("rule");
    QTest::newRow("bow-tie") << QByteArray::fromStdString(kHead + Dp(A) + Dp(C) + Dp(B) + Dp(D) + Dp(A)) << 2 << false
                             << "self-intersection";
    // B to C, back to B and to C again: the touch at B names A-B and C-B;
    // both B-C edges lie on C-B and are drawn with it.
    QTest::newRow("retraced") << QByteArray::fromStdString(kHead + Dp(A) + Dp(B) + Dp(C) + Dp(B) + Dp(C) + Dp(D) + Dp(A))
                              << 4 << true << "self-touching";
}

void OutlineViewTest::crossingEdgesAreDrawn() {
    QFETCH(QByteArray, file);
    QFETCH(int, edges);
    QFETCH(bool, opposed);
    QFETCH(QString, rule);
    const BlockAnalysis block = Analyse(file.toStdString());
    const int finding = FindingOf(block, rule);
    QVERIFY(finding >= 0);
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(block, {}, finding);
    const auto drawn = view.MarkedEdges(finding);
    QCOMPARE(int(drawn.size()), edges);
    const QImage image = Render(view);
    // A crossing is an error, a touch a warning.
    const QRgb colour = rule == "self-touching" ? OutlineView::kWarningMarker : OutlineView::kErrorMarker;
    bool against = false;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        const auto [a, b] = drawn[i];
        const QPointF along = (b - a) / QLineF(a, b).length();
        const QPointF right(-along.y(), along.x());
        QVERIFY(ColourNear(image, Between(a, b, 0.3) + 2.5 * right, colour, 1));
        for (std::size_t j = 0; j < i; ++j) {
            const auto [c, d] = drawn[j];
            const QPointF other = (d - c) / QLineF(c, d).length();
            if (QPointF::dotProduct(along, other) < -0.99) against = true;
        }
    }
    QCOMPARE(against, opposed);
    // Another finding marked: the edges are not drawn.
    view.MarkFinding(FindingOf(block, "missing-name"));
    QVERIFY(!ColourNear(Render(view), Between(drawn[0].first, drawn[0].second, 0.3), colour, 3));
}

// An arc whose ends are a second apart is drawn as a dashed circle and said
// to be one, instead of a dot.
void OutlineViewTest::arcThatStartsWhereItEnds() {
    const BlockAnalysis block = Analyse(kHead + "DP 46:01:48 N 012:28:40 E\nV D=+\nV X=46:01:48 N 012:35:51 E\n" +
                                        "DB 46:01:48 N 012:28:40 E, 46:01:48 N 012:28:39 E\n");
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(block);
    QCOMPARE(view.Notes().size(), 1);
    QVERIFY(view.Notes().front().startsWith("The arc of line 7 starts where it ends"));
    // The circle's far side, some 10 miles east of its start, is in view and drawn.
    const QPointF start = view.Project({46 + 1.8 / 60, 12 + 28 / 60.0 + 40 / 3600.0});
    const QPointF far = view.Project({46 + 1.8 / 60, 12 + 43 / 60.0 + 2 / 3600.0});
    QVERIFY(QLineF(start, far).length() > 150);
    QVERIFY(DarkestNear(Render(view), far, 2) < 160);
}

// Geometry after a centre that cannot be read: the points are drawn as
// read, the note says why, and the scale is that of those points.
void OutlineViewTest::unreadCentreDrawsWhatItCan() {
    const std::string text = kHead + "DP 44:14:20 N 005:02:49 E\nV D=-\nV X=43:23:11 N 005:05:13:E\n" +
                             "DB 43:03:24 N 004:22:26 E, 42:46:23 N 005:10:40 E\nDP 42:46:23 N 005:10:40 E\n" +
                             "DP 43:02:00 N 005:38:00 E\n";
    const BlockAnalysis block = Analyse(text);
    QVERIFY(!block.geometryChecked);
    const corvala::Lines lines(text);
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    const OutlineView::Unread unread = corvala::ui::TForm1::UnreadGeometry(block, views);
    QCOMPARE(unread.centreLine, 6);
    QCOMPARE(int(unread.points.size()), 4);
    QCOMPARE(unread.arcEnds, std::vector<std::int32_t>{7});
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(block);
    view.SetUnread(unread);
    QVERIFY(view.Notes().join(u' ').contains("The centre at line 6 cannot be read"));
    // The points a degree apart are drawn far apart, the missing centre between the arc's ends.
    const QPointF first = view.Project({44 + 14 / 60.0 + 20 / 3600.0, 5 + 2 / 60.0 + 49 / 3600.0});
    const QPointF last = view.Project({43 + 2 / 60.0, 5 + 38 / 60.0});
    QVERIFY(QLineF(first, last).length() > 150);
    const QImage image = Render(view);
    QVERIFY(DarkestNear(image, last, 3) < 128);
    const QPointF arcStart = view.Project({43 + 3 / 60.0 + 24 / 3600.0, 4 + 22 / 60.0 + 26 / 3600.0});
    const QPointF arcEnd = view.Project({42 + 46 / 60.0 + 23 / 3600.0, 5 + 10 / 60.0 + 40 / 3600.0});
    QVERIFY(ColourNear(image, Between(arcStart, arcEnd, 0.5), OutlineView::kErrorMarker, 6));
}

void OutlineViewTest::limitsInTheCaption_data() {
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("caption");
    QTest::newRow("in order") << "GND" << "FL95" << QString::fromUtf8("R Zone  \u00B7  GND \u2013 FL95");
    QTest::newRow("inverted") << "FL100" << "FL95"
                              << QString::fromUtf8("R Zone  \u00B7  FL100 \u2013 FL95  (the lower limit is above the upper one)");
    QTest::newRow("equal") << "FL95" << "FL95"
                           << QString::fromUtf8("R Zone  \u00B7  FL95 \u2013 FL95  (the limits are equal)");
    QTest::newRow("not comparable") << "1000 AGL" << "FL95" << QString::fromUtf8("R Zone  \u00B7  1000 AGL \u2013 FL95");
}

void OutlineViewTest::limitsInTheCaption() {
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QFETCH(QString, caption);
    OutlineView view;
    view.resize(400, 400);
    view.SetBlock(Analyse("AC R\nAN Zone\nAL " + lower.toStdString() + "\nAH " + upper.toStdString() + "\n" + Dp(A) +
                          Dp(B) + Dp(C) + Dp(A)));
    QCOMPARE(view.CaptionText(), caption);
    const bool marked = caption.contains(u'(');
    QCOMPARE(view.LimitsMarked(), marked);
    // The limits in the error colour at the right of the caption's row.
    const QImage image = Render(view);
    bool red = false;
    for (int x = 0; x < 400 && !red; ++x)
        for (int y = 4; y < 8 + view.fontMetrics().height() && !red; ++y)
            red = Near(image.pixel(x, y), OutlineView::kErrorMarker, 60);
    QCOMPARE(red, marked);
}

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    corvala::InitializeFloatingPoint();
    OutlineViewTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "outline_view_test.moc"
