#include "ui/OutlineView.h"

#include <QColor>
#include <QEvent>
#include <QApplication>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QWheelEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QStringList>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "engine/values/altitude.h"
#include "engine/geo/geodesics.h"
#include "ui/LineDecoding.h"

namespace corvala::ui {

namespace {

// Around the plot, and the rows of the caption and the scale bar.
constexpr double kMargin = 16;
// The smallest extent a block is fitted to (about 90 m): a single point,
// or points that all lie within a few metres, are shown at this scale.
constexpr double kMinSpan = 0.05;
// Polylines go to the painter in runs of at most this many points.
constexpr std::size_t kRunPoints = 4096;
// Dots are drawn at most one per cell of this many pixels square.
constexpr int kDotCell = 3;
constexpr double kRingRadius = 6;
constexpr double kCrossHalf = 4;
// The rings and crosses of the markers.
constexpr double kMarkerPen = 2;
// The radii of a mismatched arc and the gap of an outline not closed: wide
// enough that some pixels take the marker's colour in full, whatever the
// line's direction.
constexpr double kMarkerLine = 2.5;
// Followed rims of circles: one point per this many pixels of perimeter.
constexpr double kRimStep = 4;
// The edges a finding names are drawn this far to the right of their
// direction, so that an edge and its retracing lie side by side.
constexpr double kEdgeOffset = 2.5;
// One wheel step zooms by this factor; a key press too.
constexpr double kZoomStep = 1.25;
// An arc whose ends lie closer together than this share of its radius
// starts where it ends.
constexpr double kLoopShare = 0.01;

bool Finite(QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

// Clips the segment a-b to `clip` (Liang-Barsky); false when nothing of it
// lies inside. `endCut` tells that b was moved.
bool ClipSegment(const QRectF& clip, QPointF& a, QPointF& b, bool& endCut) {
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - clip.left(), clip.right() - a.x(), a.y() - clip.top(), clip.bottom() - a.y()};
    double t0 = 0, t1 = 1;
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0) {
            if (q[k] < 0) return false;
            continue;
        }
        const double t = q[k] / p[k];
        if (p[k] < 0) {
            if (t > t1) return false;
            t0 = std::max(t0, t);
        } else {
            if (t < t0) return false;
            t1 = std::min(t1, t);
        }
    }
    endCut = t1 < 1;
    const QPointF start = a;
    if (t0 > 0) a = start + t0 * QPointF(dx, dy);
    if (t1 < 1) b = start + t1 * QPointF(dx, dy);
    return true;
}

// Polylines drawn in pieces clipped to a rectangle a little beyond the
// widget: the painter never sees the far coordinates of a zoomed-in view,
// and segments off the widget cost nothing.
class ClippedPath {
public:
    ClippedPath(QPainter& painter, const QRectF& clip) : painter_(painter), clip_(clip) {}
    ~ClippedPath() { Flush(); }
    ClippedPath(const ClippedPath&) = delete;
    ClippedPath& operator=(const ClippedPath&) = delete;

    void Segment(QPointF a, QPointF b) {
        bool endCut = false;
        if (!Finite(a) || !Finite(b) || !ClipSegment(clip_, a, b, endCut)) return Flush();
        if (run_.empty() || run_.back() != a) {
            Flush();
            run_.push_back(a);
        }
        run_.push_back(b);
        if (endCut || run_.size() >= kRunPoints) Flush();
    }

    void Flush() {
        if (run_.size() >= 2) painter_.drawPolyline(run_.data(), static_cast<int>(run_.size()));
        run_.clear();
    }

private:
    QPainter& painter_;
    QRectF clip_;
    std::vector<QPointF> run_;
};

// Sends the polyline through `points`, mapped by `map`, to `sink` segment
// by segment, skipping each point within half a pixel of the last one kept:
// a huge outline along a boundary leaves a few segments per pixel it crosses.
template <typename Sink, typename Map>
void Trace(Sink& sink, std::span<const QPointF> points, const Map& map) {
    if (points.empty()) return;
    QPointF last = map(points[0]);
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QPointF next = map(points[i]);
        if (std::abs(next.x() - last.x()) < 0.5 && std::abs(next.y() - last.y()) < 0.5) continue;
        sink.Segment(last, next);
        last = next;
    }
    sink.Flush();
}

// The length a polyline takes on the widget, to choose how to draw it.
struct VisibleLength {
    QRectF clip;
    double pixels = 0;
    void Segment(QPointF a, QPointF b) {
        bool endCut = false;
        if (Finite(a) && Finite(b) && ClipSegment(clip, a, b, endCut))
            pixels += std::hypot(b.x() - a.x(), b.y() - a.y());
    }
    void Flush() {}
};

// Lines one pixel wide, set in an image of the widget's size without
// antialiasing: for polylines so long on the widget (a tangle of a million
// edges across the block) that the painter's antialiased strokes would take
// minutes. The cost is one store per pixel of each segment.
class PixelLines {
public:
    PixelLines(QSize size, const QColor& colour)
        : image_(size, QImage::Format_ARGB32_Premultiplied), colour_(qPremultiply(colour.rgba())),
          clip_(0, 0, std::max(0, size.width() - 1), std::max(0, size.height() - 1)) {
        image_.fill(Qt::transparent);
        pixels_ = image_.isNull() ? nullptr : reinterpret_cast<QRgb*>(image_.bits());
        stride_ = static_cast<std::size_t>(image_.bytesPerLine()) / sizeof(QRgb);
    }

    void Segment(QPointF a, QPointF b) {
        bool endCut = false;
        if (!pixels_ || !Finite(a) || !Finite(b) || !ClipSegment(clip_, a, b, endCut)) return;
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const int steps = static_cast<int>(std::ceil(std::max(std::abs(dx), std::abs(dy))));
        const double sx = steps == 0 ? 0 : dx / steps, sy = steps == 0 ? 0 : dy / steps;
        // Inside the clip both coordinates are at least 0: adding a half
        // and truncating rounds them.
        double x = a.x() + 0.5, y = a.y() + 0.5;
        for (int k = 0; k <= steps; ++k, x += sx, y += sy)
            pixels_[static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x)] = colour_;
    }
    void Flush() {}
    void Draw(QPainter& painter) const { painter.drawImage(0, 0, image_); }

private:
    QImage image_;
    QRgb colour_;
    QRectF clip_;
    QRgb* pixels_ = nullptr;
    std::size_t stride_ = 0;
};

// One dot per few pixels: a dense outline would otherwise draw a million
// dots on top of each other.
class DotGrid {
public:
    explicit DotGrid(QSize size)
        : columns_(size.width() / kDotCell + 3), rows_(size.height() / kDotCell + 3),
          taken_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_)) {}

    // True the first time a dot falls into its cell; false off the widget.
    bool Take(QPointF p) {
        const double x = p.x() / kDotCell + 1, y = p.y() / kDotCell + 1;
        if (!(x >= 0 && y >= 0 && x < columns_ && y < rows_)) return false;
        const std::size_t cell =
            static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(x);
        if (taken_[cell]) return false;
        taken_[cell] = true;
        return true;
    }

private:
    int columns_, rows_;
    std::vector<bool> taken_;
};

QColor Blend(const QColor& a, const QColor& b, double share) {
    return QColor::fromRgbF(static_cast<float>(a.redF() * share + b.redF() * (1 - share)),
                            static_cast<float>(a.greenF() * share + b.greenF() * (1 - share)),
                            static_cast<float>(a.blueF() * share + b.blueF() * (1 - share)));
}

QPen Pen(const QColor& colour, double width, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour, width, style, style == Qt::SolidLine ? Qt::RoundCap : Qt::FlatCap, Qt::RoundJoin);
    // Dashes and spaces of three pen widths: the gap of an outline that is
    // not closed reads as open at a glance.
    if (style != Qt::SolidLine) pen.setDashPattern({3, 3});
    return pen;
}

QString Decoded(const std::string& bytes) { return DecodeLine(bytes).trimmed(); }

// The caption's name part and its limits part ("" when the block has none).
std::pair<QString, QString> Caption(const BlockAnalysis& block) {
    if (block.kind == BlockKind::Preamble) return {OutlineView::tr("Before the first airspace"), {}};
    if (block.kind == BlockKind::Terrain) return {OutlineView::tr("Terrain at line %1").arg(block.firstLine), {}};
    QString caption = (Decoded(block.airspaceClass) + u' ' + Decoded(block.name)).trimmed();
    if (caption.isEmpty()) caption = OutlineView::tr("Airspace at line %1").arg(block.firstLine);
    QString limits;
    if (block.lowerLine != 0 || block.upperLine != 0) {
        const QString lower = block.lowerLine != 0 ? Decoded(block.lower) : QStringLiteral("?");
        const QString upper = block.upperLine != 0 ? Decoded(block.upper) : QStringLiteral("?");
        limits = lower + QStringLiteral(u" \u2013 ") + upper;
    }
    return {caption, limits};
}

// "" when the limits are in order or cannot be compared, else what is wrong.
QString LimitsProblem(const BlockAnalysis& block) {
    if (block.kind != BlockKind::Airspace || block.lowerLine == 0 || block.upperLine == 0) return {};
    const Altitude lower = ReadAltitude(block.lower), upper = ReadAltitude(block.upper);
    if (!LimitsInverted(lower, upper).value_or(false)) return {};
    return LimitsInverted(upper, lower).value_or(false) ? OutlineView::tr("the limits are equal")
                                                        : OutlineView::tr("the lower limit is above the upper one");
}

// "0.5", "2", "50": the round lengths of the scale bar.
QString Miles(double miles) {
    const int decimals = miles >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(miles) - 1e-9));
    return QString::number(miles, 'f', decimals);
}

// An ellipse around `centre` with radii `rx` and `ry` (pixels) as a
// polygon of segments about kRimStep long, so that a rim far larger than the
// widget is clipped like any outline.
void TraceEllipse(ClippedPath& path, QPointF centre, double rx, double ry) {
    const int steps = static_cast<int>(std::clamp(2 * std::numbers::pi * std::max(rx, ry) / kRimStep, 16.0, 1440.0));
    QPointF last = centre + QPointF(rx, 0);
    for (int k = 1; k <= steps; ++k) {
        const double angle = 2 * std::numbers::pi * k / steps;
        const QPointF next = centre + QPointF(rx * std::cos(angle), ry * std::sin(angle));
        path.Segment(last, next);
        last = next;
    }
}

}  // namespace

QRgb OutlineView::MarkerColour(Severity severity) noexcept {
    switch (severity) {
    case Severity::Error:
        return kErrorMarker;
    case Severity::Warning:
        return kWarningMarker;
    case Severity::Note:
        break;
    }
    return kNoteMarker;
}

QString OutlineView::EmptyText() { return tr("Select an airspace to see its outline."); }

OutlineView::OutlineView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::StrongFocus);
}

OutlineView::~OutlineView() = default;

QSize OutlineView::minimumSizeHint() const { return {240, 240}; }
QSize OutlineView::sizeHint() const { return {400, 400}; }

QPointF OutlineView::Plane::operator()(GeoPoint point) const {
    return {std::remainder(point.longitude - longitude0, 360.0) * eastScale, (point.latitude - latitude0) * 60};
}

void OutlineView::SetBlock(const BlockAnalysis& block, std::vector<BlockAnalysis> neighbours, int finding) {
    // Another block is shown whole; another finding of the same block keeps
    // the view.
    if (!hasBlock_ || block.firstLine != block_.firstLine || block.kind != block_.kind) {
        zoom_ = 1;
        pan_ = {};
    }
    block_ = block;
    hasBlock_ = true;
    unread_.clear();
    unreadArcEnd_.clear();
    missingCentres_.clear();
    notes_.clear();
    loops_.clear();

    // The plane: longitudes around the block's first position, the east
    // scale of its middle latitude.
    const GeoPoint* first = nullptr;
    if (!block_.outline.empty()) {
        first = &block_.outline.front().position;
    } else if (!block_.circles.empty()) {
        first = &block_.circles.front().centre;
    } else if (!block_.airway.empty()) {
        first = &block_.airway.front().position;
    } else if (!block_.centres.empty()) {
        first = &block_.centres.front().position;
    }
    double south = 90, north = -90;
    auto latitude = [&](double lat) {
        south = std::min(south, lat);
        north = std::max(north, lat);
    };
    for (const OutlinePoint& p : block_.outline) latitude(p.position.latitude);
    for (const CircleShape& c : block_.circles) {
        if (!std::isfinite(c.radius)) continue;
        latitude(std::clamp(c.centre.latitude - std::abs(c.radius) / 60, -90.0, 90.0));
        latitude(std::clamp(c.centre.latitude + std::abs(c.radius) / 60, -90.0, 90.0));
    }
    for (const AirwayPoint& p : block_.airway) latitude(p.position.latitude);
    for (const Centre& c : block_.centres) latitude(c.position.latitude);
    for (const BlockFinding& f : block_.findings) {
        for (const GeoPoint& p : f.markers) {
            latitude(p.latitude);
            if (!first) first = &p;
        }
    }
    const double middle = south <= north ? (south + north) / 2 : 0;
    plane_.latitude0 = middle;
    plane_.longitude0 = first ? first->longitude : 0;
    // Near the poles the east scale would vanish; a hundredth keeps the
    // fit finite.
    plane_.eastScale = 60 * std::max(std::cos(middle * std::numbers::pi / 180), 0.01);

    shapes_ = MakeShapes(block_);
    kinds_.assign(block_.outline.size(), PointKind::Point);
    for (std::size_t i = 0; i < block_.outline.size(); ++i)
        if (block_.outline[i].onArc) kinds_[i] = PointKind::Followed;
    for (const ArcShape& arc : block_.arcs) {
        if (arc.pointCount == 0 || arc.firstPoint + std::size_t{arc.pointCount} > kinds_.size()) continue;
        kinds_[arc.firstPoint] = PointKind::ArcEnd;
        kinds_[arc.firstPoint + arc.pointCount - 1] = PointKind::ArcEnd;
    }

    boundsSet_ = false;
    for (const QPointF& p : shapes_.outline) ExtendBounds(p);
    for (const Ellipse& e : shapes_.circles) {
        ExtendBounds(e.centre + QPointF(e.rx, e.ry));
        ExtendBounds(e.centre - QPointF(e.rx, e.ry));
    }
    for (std::size_t i = 0; i < shapes_.airway.size(); ++i)
        ExtendBounds(shapes_.airway[i], shapes_.airwayWidths[i] / 2);
    for (const QPointF& p : shapes_.centres) ExtendBounds(p);

    // Arcs whose ends meet: readers draw nothing of them or a full circle.
    for (const ArcShape& arc : block_.arcs) {
        if (arc.pointCount < 2 || arc.firstPoint + std::size_t{arc.pointCount} > block_.outline.size()) continue;
        const GeoPoint start = block_.outline[arc.firstPoint].position;
        const GeoPoint end = block_.outline[arc.firstPoint + arc.pointCount - 1].position;
        const double radius = std::max(arc.startRadius, arc.endRadius);
        if (!std::isfinite(radius) || radius * kMetresPerNauticalMile < 1) continue;
        if (GeodesicTo(start, end).metres > kLoopShare * radius * kMetresPerNauticalMile) continue;
        const Ellipse loop = CircleAround(arc.centre, radius);
        loops_.push_back(loop);
        ExtendBounds(loop.centre + QPointF(loop.rx, loop.ry));
        ExtendBounds(loop.centre - QPointF(loop.rx, loop.ry));
        notes_ << tr("The arc of line %1 starts where it ends: readers draw nothing or the full circle (dashed).")
                      .arg(arc.line);
    }
    limitsNote_ = LimitsProblem(block_);
    limitsMarked_ = !limitsNote_.isEmpty();

    // All findings count for the extent, so that the view stays put when
    // another one is marked.
    marks_.clear();
    for (const BlockFinding& f : block_.findings) {
        Mark& mark = marks_.emplace_back();
        mark.severity = f.finding.severity;
        // The rule decides how its places are drawn.
        const RuleId id = f.finding.rule;
        if (id == RuleId::ArcRadiusMismatch && f.markers.size() == 3) mark.shape = MarkShape::Radii;
        if (id == RuleId::NotClosed && f.markers.size() == 2) mark.shape = MarkShape::Gap;
        for (const GeoPoint& p : f.markers) {
            mark.points.push_back(plane_(p));
            ExtendBounds(mark.points.back());
        }
        if (id == RuleId::SelfIntersection || id == RuleId::SelfTouching) mark.edges = EdgesNamed(f.finding.message);
    }
    marked_ = finding;

    neighbours_.clear();
    for (const BlockAnalysis& n : neighbours) neighbours_.push_back(MakeShapes(n));
    update();
}

void OutlineView::MarkFinding(int finding) {
    marked_ = finding;
    update();
}

void OutlineView::Clear() {
    hasBlock_ = false;
    zoom_ = 1;
    pan_ = {};
    unread_.clear();
    unreadArcEnd_.clear();
    missingCentres_.clear();
    notes_.clear();
    loops_.clear();
    limitsMarked_ = false;
    limitsNote_.clear();
    block_ = {};
    shapes_ = {};
    kinds_.clear();
    neighbours_.clear();
    marks_.clear();
    marked_ = -1;
    boundsSet_ = false;
    update();
}

void OutlineView::SetUnread(Unread unread) {
    if (!hasBlock_) return;
    for (std::size_t i = 0; i < unread.points.size(); ++i) {
        const OutlinePoint& p = unread.points[i];
        unread_.push_back(plane_(p.position));
        unreadArcEnd_.push_back(std::find(unread.arcEnds.begin(), unread.arcEnds.end(), p.line) != unread.arcEnds.end());
        ExtendBounds(unread_.back());
    }
    if (unread.centreLine != 0) {
        // Between the ends of the first arc after the centre line.
        for (std::size_t i = 0; i + 1 < unread.points.size(); ++i) {
            if (unread.points[i].line > unread.centreLine && unread.points[i].line == unread.points[i + 1].line &&
                unreadArcEnd_[i]) {
                missingCentres_.push_back((unread_[i] + unread_[i + 1]) / 2);
                break;
            }
        }
        notes_ << tr("The centre at line %1 cannot be read (?): the points after it are drawn as read, hollow.")
                      .arg(unread.centreLine);
    } else if (unread.failedLine != 0) {
        notes_ << tr("Line %1 cannot be read: the points after it are drawn as read, hollow.").arg(unread.failedLine);
    }
    update();
}

OutlineView::Ellipse OutlineView::CircleAround(GeoPoint centre, double miles) const {
    // The rim's four quarter points along geodesics give the axes of the
    // ellipse the circle is in the plane.
    const double metres = std::isfinite(miles) ? std::abs(miles) * kMetresPerNauticalMile : 0;
    const QPointF n = plane_(GeodesicDestination(centre, 0, metres));
    const QPointF e = plane_(GeodesicDestination(centre, 90, metres));
    const QPointF so = plane_(GeodesicDestination(centre, 180, metres));
    const QPointF w = plane_(GeodesicDestination(centre, 270, metres));
    return {QPointF((e.x() + w.x()) / 2, (n.y() + so.y()) / 2), std::abs(e.x() - w.x()) / 2,
            std::abs(n.y() - so.y()) / 2};
}

std::vector<std::pair<QPointF, QPointF>> OutlineView::EdgesNamed(const std::string& message) const {
    // The message names each part as "the edge from line A to line B" or
    // "the arc of line C".
    std::vector<std::pair<QPointF, QPointF>> edges;
    const std::vector<OutlinePoint>& outline = block_.outline;
    const std::size_t n = outline.size();
    if (n < 2) return edges;
    static const QRegularExpression parts(
        QStringLiteral("the edge from line (\\d+) to line (\\d+)|the arc of line (\\d+)"));
    QRegularExpressionMatchIterator it = parts.globalMatch(QString::fromStdString(message));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const bool arc = match.capturedLength(3) > 0;
        const int from = (arc ? match.captured(3) : match.captured(1)).toInt();
        const int to = arc ? from : match.captured(2).toInt();
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = (i + 1) % n;
            if (outline[i].line != from || outline[j].line != to) continue;
            if (outline[i].position == outline[j].position) continue;
            // Within an arc, the points it is followed by; an edge, once.
            if (arc && !(outline[i].onArc && outline[j].onArc)) continue;
            edges.emplace_back(shapes_.outline[i], shapes_.outline[j]);
            if (!arc) break;
        }
    }
    // Edges that go over a named one again: drawn too, so that the doubling
    // shows.
    const std::size_t named = edges.size();
    for (std::size_t k = 0; k < named; ++k) {
        const QPointF p = edges[k].first, q = edges[k].second;
        const QPointF d = q - p;
        const double length2 = QPointF::dotProduct(d, d);
        if (!(length2 > 0)) continue;
        const double tolerance = 1e-6 * std::sqrt(length2);
        auto along = [&](QPointF r, double& t) {
            t = QPointF::dotProduct(r - p, d) / length2;
            const QPointF off = r - p - t * d;
            return std::hypot(off.x(), off.y()) <= tolerance;
        };
        for (std::size_t i = 0; i < n; ++i) {
            const QPointF r = shapes_.outline[i], t2 = shapes_.outline[(i + 1) % n];
            if (r == t2) continue;
            double a = 0, b = 0;
            if (!along(r, a) || !along(t2, b)) continue;
            if (std::min(std::max(a, b), 1.0) - std::max(std::min(a, b), 0.0) <= 1e-9) continue;
            const std::pair<QPointF, QPointF> edge(r, t2);
            // Each going over once, the named edge itself not again.
            const auto named_end = edges.begin() + static_cast<std::ptrdiff_t>(named);
            if (std::find(edges.begin(), named_end, edge) == named_end) edges.push_back(edge);
        }
    }
    return edges;
}

std::vector<std::pair<QPointF, QPointF>> OutlineView::MarkedEdges(int finding) const {
    std::vector<std::pair<QPointF, QPointF>> edges;
    if (finding < 0 || static_cast<std::size_t>(finding) >= marks_.size()) return edges;
    const Fit fit = CurrentFit();
    for (const auto& [a, b] : marks_[static_cast<std::size_t>(finding)].edges) edges.emplace_back(fit(a), fit(b));
    return edges;
}

QString OutlineView::CaptionText() const {
    if (!hasBlock_) return {};
    const auto [name, limits] = Caption(block_);
    QString text = limits.isEmpty() ? name : name + QStringLiteral(u"  \u00B7  ") + limits;
    if (limitsMarked_) text += QStringLiteral("  (") + limitsNote_ + u')';
    return text;
}

void OutlineView::ZoomBy(double factor, QPointF at) {
    if (!hasBlock_ || !std::isfinite(factor) || factor <= 0) return;
    const double zoom = std::clamp(zoom_ * factor, kMinZoom, kMaxZoom);
    const QPointF centre = PlotArea().center();
    // The point under `at` stays: at = centre + (base - centre) * zoom + pan.
    pan_ = at - centre - (at - centre - pan_) * (zoom / zoom_);
    zoom_ = zoom;
    update();
}

void OutlineView::PanBy(QPointF pixels) {
    if (!hasBlock_) return;
    pan_ += pixels;
    update();
}

void OutlineView::FitBlock() {
    zoom_ = 1;
    pan_ = {};
    update();
}

OutlineView::Shapes OutlineView::MakeShapes(const BlockAnalysis& block) const {
    Shapes s;
    s.outline.reserve(block.outline.size());
    for (const OutlinePoint& p : block.outline) s.outline.push_back(plane_(p.position));
    s.closingSolid = !block.arcs.empty();
    for (const CircleShape& c : block.circles) s.circles.push_back(CircleAround(c.centre, c.radius));
    for (const AirwayPoint& p : block.airway) {
        s.airway.push_back(plane_(p.position));
        s.airwayWidths.push_back(std::isfinite(p.width) ? std::max(p.width, 0.0) : 0.0);
    }
    for (const Centre& c : block.centres) s.centres.push_back(plane_(c.position));
    return s;
}

void OutlineView::ExtendBounds(QPointF p, double halfWidth) {
    if (!Finite(p) || !std::isfinite(halfWidth)) return;
    if (!boundsSet_) {
        minX_ = maxX_ = p.x();
        minY_ = maxY_ = p.y();
        boundsSet_ = true;
    }
    minX_ = std::min(minX_, p.x() - halfWidth);
    maxX_ = std::max(maxX_, p.x() + halfWidth);
    minY_ = std::min(minY_, p.y() - halfWidth);
    maxY_ = std::max(maxY_, p.y() + halfWidth);
}

QRectF OutlineView::PlotArea() const {
    // Clear of the caption and the scale bar, and of the widget's edges by
    // more than a marker's ring.
    const double row = 5 + fontMetrics().height() + kMargin;
    const double notes = static_cast<double>(notes_.size()) * fontMetrics().height();
    return {kMargin, row + notes, std::max(1.0, width() - 2 * kMargin), std::max(1.0, height() - 2 * row - notes)};
}

OutlineView::Fit OutlineView::CurrentFit() const {
    const QRectF area = PlotArea();
    const double spanX = std::max(maxX_ - minX_, kMinSpan), spanY = std::max(maxY_ - minY_, kMinSpan);
    Fit fit;
    fit.scale = std::min(area.width() / spanX, area.height() / spanY);
    fit.left = area.center().x() - (minX_ + maxX_) / 2 * fit.scale;
    fit.top = area.center().y() + (minY_ + maxY_) / 2 * fit.scale;
    // The zoom about the plot's centre, then the pan.
    fit.scale *= zoom_;
    fit.left = area.center().x() + (fit.left - area.center().x()) * zoom_ + pan_.x();
    fit.top = area.center().y() + (fit.top - area.center().y()) * zoom_ + pan_.y();
    return fit;
}

QPointF OutlineView::Project(GeoPoint point) const { return CurrentFit()(plane_(point)); }

void OutlineView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    if (!hasBlock_) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, EmptyText());
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const Fit fit = CurrentFit();
    for (const Shapes& neighbour : neighbours_) PaintShapes(painter, fit, neighbour, true, true);
    // A marked gap takes the place of the closing edge.
    bool gapMarked = false;
    for (std::size_t i = 0; i < marks_.size(); ++i)
        if (marks_[i].shape == MarkShape::Gap && (marked_ == -1 || static_cast<std::size_t>(marked_) == i))
            gapMarked = true;
    PaintShapes(painter, fit, shapes_, false, !gapMarked);
    PaintLoopsAndUnread(painter, fit);
    PaintPoints(painter, fit);
    PaintMarks(painter, fit);
    if (boundsSet_) {
        PaintScaleBar(painter, fit);
    } else {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         tr("The block has no geometry to draw."));
    }
    PaintCaption(painter);
}

void OutlineView::PaintShapes(QPainter& painter, const Fit& fit, const Shapes& shapes, bool neighbour,
                              bool closing) const {
    const QColor text = palette().color(QPalette::Text);
    const QColor colour = neighbour ? Blend(text, palette().color(QPalette::Base), 0.25) : text;
    const double lineWidth = neighbour ? 1 : 1.5;
    const QRectF clip = QRectF(rect()).adjusted(-8, -8, 8, 8);
    painter.setBrush(Qt::NoBrush);

    // A polyline longer on the widget than a few dozen times across it is a
    // tangle: drawn in single pixels, it costs one store per pixel.
    const double denseLength = 50.0 * (width() + height());
    VisibleLength airwayLength{clip}, outlineLength{clip};
    Trace(airwayLength, shapes.airway, fit);
    Trace(outlineLength, shapes.outline, fit);
    const bool denseAirway = airwayLength.pixels > denseLength;
    const bool denseOutline = outlineLength.pixels > denseLength;
    if (denseAirway || denseOutline) {
        PixelLines lines(size(), colour);
        if (denseAirway) Trace(lines, shapes.airway, fit);
        if (denseOutline) Trace(lines, shapes.outline, fit);
        lines.Draw(painter);
    }

    // The airway's band, as wide as the width in force at each point.
    QColor band = neighbour ? colour : QColor(kNoteMarker);
    band.setAlphaF(neighbour ? 0.15f : 0.2f);
    for (std::size_t i = 1; i < shapes.airway.size() && !denseAirway;) {
        const double miles = shapes.airwayWidths[i];
        std::size_t end = i;
        while (end < shapes.airway.size() && shapes.airwayWidths[end] == miles) ++end;
        if (miles > 0) {
            // Capped at a few times the widget: beyond, the band covers it anyway.
            const double pixels = std::min(miles * fit.scale, 4.0 * (width() + height()));
            painter.setPen(Pen(band, pixels));
            ClippedPath path(painter, clip.adjusted(-pixels, -pixels, pixels, pixels));
            Trace(path, std::span(shapes.airway).subspan(i - 1, end - i + 1), fit);
        }
        i = end;
    }
    painter.setPen(Pen(colour, lineWidth));
    {
        ClippedPath path(painter, clip);
        if (!denseAirway) Trace(path, shapes.airway, fit);
        if (!denseOutline) Trace(path, shapes.outline, fit);
        for (const Ellipse& e : shapes.circles) {
            const QPointF centre = fit(e.centre);
            const double rx = e.rx * fit.scale, ry = e.ry * fit.scale;
            if (!Finite(centre) || !std::isfinite(rx) || !std::isfinite(ry)) continue;
            if (!clip.intersects(QRectF(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry).adjusted(-1, -1, 1, 1)))
                continue;
            TraceEllipse(path, centre, rx, ry);
            path.Flush();
        }
    }
    if (closing && shapes.outline.size() >= 2) {
        painter.setPen(Pen(colour, lineWidth, shapes.closingSolid ? Qt::SolidLine : Qt::DashLine));
        ClippedPath path(painter, clip);
        path.Segment(fit(shapes.outline.back()), fit(shapes.outline.front()));
    }
}

void OutlineView::PaintPoints(QPainter& painter, const Fit& fit) const {
    const QColor text = palette().color(QPalette::Text);
    const QColor base = palette().color(QPalette::Base);
    const QSize size = this->size();

    // The centres of arcs and circles: small crosses.
    painter.setPen(Pen(Blend(text, base, 0.6), 1));
    DotGrid centres(size);
    for (const QPointF& plane : shapes_.centres) {
        const QPointF p = fit(plane);
        if (!centres.Take(p)) continue;
        painter.drawLine(p - QPointF(5, 0), p + QPointF(5, 0));
        painter.drawLine(p - QPointF(0, 5), p + QPointF(0, 5));
    }

    // DP and DY points as dots; of an arc only its ends, as rings.
    painter.setPen(Qt::NoPen);
    painter.setBrush(text);
    DotGrid dots(size);
    for (std::size_t i = 0; i < shapes_.outline.size(); ++i) {
        if (kinds_[i] != PointKind::Point) continue;
        const QPointF p = fit(shapes_.outline[i]);
        if (dots.Take(p)) painter.drawEllipse(p, 2.5, 2.5);
    }
    for (const QPointF& plane : shapes_.airway) {
        const QPointF p = fit(plane);
        if (dots.Take(p)) painter.drawEllipse(p, 2.5, 2.5);
    }
    painter.setPen(Pen(text, 1.2));
    painter.setBrush(base);
    DotGrid ends(size);
    for (std::size_t i = 0; i < shapes_.outline.size(); ++i) {
        if (kinds_[i] != PointKind::ArcEnd) continue;
        const QPointF p = fit(shapes_.outline[i]);
        if (ends.Take(p)) painter.drawEllipse(p, 3, 3);
    }
    painter.setBrush(Qt::NoBrush);
}

void OutlineView::PaintMarks(QPainter& painter, const Fit& fit) const {
    const QRectF clip = QRectF(rect()).adjusted(-8, -8, 8, 8);
    // Notes first and errors last: where markers meet, the worst is seen.
    for (const Severity severity : {Severity::Note, Severity::Warning, Severity::Error}) {
        for (std::size_t i = 0; i < marks_.size(); ++i) {
            const Mark& mark = marks_[i];
            if (mark.severity != severity || (marked_ != -1 && static_cast<std::size_t>(marked_) != i)) continue;
            const QColor colour(MarkerColour(severity));
            if (mark.shape == MarkShape::Radii) {
                // From the centre to each end: the two radii that differ.
                painter.setPen(Pen(colour, kMarkerLine));
                ClippedPath path(painter, clip);
                path.Segment(fit(mark.points[0]), fit(mark.points[1]));
                path.Segment(fit(mark.points[0]), fit(mark.points[2]));
            } else if (mark.shape == MarkShape::Gap) {
                painter.setPen(Pen(colour, kMarkerLine, Qt::DashLine));
                ClippedPath path(painter, clip);
                path.Segment(fit(mark.points[0]), fit(mark.points[1]));
            }
            // The edges it names, beside their line, each with an arrowhead
            // in its middle: an edge gone over twice shows two, opposed.
            painter.setPen(Pen(colour, kMarkerLine));
            for (const auto& [from, to] : mark.edges) {
                const QPointF a = fit(from), b = fit(to);
                const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
                if (!std::isfinite(length) || length < 1) continue;
                const QPointF along = (b - a) / length;
                const QPointF right(-along.y(), along.x());
                const QPointF shift = right * kEdgeOffset;
                {
                    ClippedPath path(painter, clip);
                    path.Segment(a + shift, b + shift);
                }
                if (length < 12) continue;
                const QPointF tip = (a + b) / 2 + shift + along * 4;
                if (!clip.contains(tip)) continue;
                painter.drawLine(tip, tip - along * 7 + right * 4);
                painter.drawLine(tip, tip - along * 7 - right * 4);
            }
            painter.setPen(Pen(colour, kMarkerPen));
            painter.setBrush(Qt::NoBrush);
            for (const QPointF& plane : mark.points) {
                const QPointF p = fit(plane);
                if (!clip.contains(p)) continue;
                painter.drawEllipse(p, kRingRadius, kRingRadius);
                painter.drawLine(p - QPointF(kCrossHalf, 0), p + QPointF(kCrossHalf, 0));
                painter.drawLine(p - QPointF(0, kCrossHalf), p + QPointF(0, kCrossHalf));
            }
        }
    }
}

void OutlineView::PaintCaption(QPainter& painter) const {
    const QFontMetrics metrics = fontMetrics();
    QRectF row(kMargin / 2, 5, std::max(1.0, width() - kMargin), metrics.height());
    const auto [name, limits] = Caption(block_);
    const QString head = limits.isEmpty() ? name : name + QStringLiteral(u"  \u00B7  ");
    painter.setPen(palette().color(QPalette::Text));
    const QString shownHead = metrics.elidedText(head, Qt::ElideRight, static_cast<int>(row.width()));
    painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, shownHead);
    if (!limits.isEmpty()) {
        // Limits at or above each other in the colour of that finding.
        const double used = metrics.horizontalAdvance(shownHead);
        const QRectF rest(row.left() + used, row.top(), std::max(0.0, row.width() - used), row.height());
        const QString text = limitsMarked_ ? limits + QStringLiteral("  (") + limitsNote_ + u')' : limits;
        if (limitsMarked_) {
            QFont bold = painter.font();
            bold.setBold(true);
            painter.setFont(bold);
            painter.setPen(QColor(kErrorMarker));
        }
        painter.drawText(rest, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(painter.font()).elidedText(text, Qt::ElideRight, static_cast<int>(rest.width())));
        painter.setFont(font());
    }
    painter.setPen(palette().color(QPalette::PlaceholderText));
    for (const QString& note : notes_) {
        row.translate(0, metrics.height());
        painter.drawText(row, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(note, Qt::ElideRight, static_cast<int>(row.width())));
    }
}

void OutlineView::PaintLoopsAndUnread(QPainter& painter, const Fit& fit) const {
    const QColor text = palette().color(QPalette::Text);
    const QRectF clip = QRectF(rect()).adjusted(-8, -8, 8, 8);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Pen(text, 1.5, Qt::DashLine));
    for (const Ellipse& e : loops_) {
        ClippedPath path(painter, clip);
        const QPointF centre = fit(e.centre);
        const double rx = e.rx * fit.scale, ry = e.ry * fit.scale;
        TraceEllipse(path, centre, rx, ry);
    }
    if (unread_.empty() && missingCentres_.empty()) return;
    const QColor faint = Blend(text, palette().color(QPalette::Base), 0.6);
    painter.setPen(Pen(faint, 1, Qt::DotLine));
    {
        ClippedPath path(painter, clip);
        for (std::size_t i = 1; i < unread_.size(); ++i) path.Segment(fit(unread_[i - 1]), fit(unread_[i]));
    }
    painter.setPen(Pen(text, 1.2));
    painter.setBrush(palette().color(QPalette::Base));
    DotGrid dots(size());
    for (std::size_t i = 0; i < unread_.size(); ++i) {
        const QPointF p = fit(unread_[i]);
        if (dots.Take(p)) painter.drawEllipse(p, unreadArcEnd_[i] ? 3.0 : 2.5, unreadArcEnd_[i] ? 3.0 : 2.5);
    }
    painter.setBrush(Qt::NoBrush);
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(QColor(kErrorMarker));
    for (const QPointF& plane : missingCentres_) {
        const QPointF p = fit(plane);
        if (clip.contains(p)) painter.drawText(QRectF(p.x() - 10, p.y() - 10, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
    }
    painter.setFont(font());
}

void OutlineView::PaintScaleBar(QPainter& painter, const Fit& fit) const {
    // The longest round length (1, 2 or 5 times a power of ten miles) that
    // fits in about a third of the plot, at most 120 pixels.
    const double most = std::clamp(PlotArea().width() / 3, 20.0, 120.0);
    const double miles = most / fit.scale;
    const double power = std::pow(10.0, std::floor(std::log10(miles)));
    double step = power;
    for (const double factor : {2.0, 5.0, 10.0})
        if (factor * power <= miles) step = factor * power;
    const double length = step * fit.scale;

    const QFontMetrics metrics = fontMetrics();
    const double y = height() - 5 - metrics.height() / 2.0;
    const double x = kMargin / 2;
    painter.setPen(Pen(palette().color(QPalette::Text), 1.5));
    painter.drawLine(QPointF(x, y), QPointF(x + length, y));
    painter.drawLine(QPointF(x, y - 4), QPointF(x, y + 4));
    painter.drawLine(QPointF(x + length, y - 4), QPointF(x + length, y + 4));
    painter.drawText(QRectF(x + length + 6, y - metrics.height() / 2.0, width(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, tr("%1 NM").arg(Miles(step)));
}

std::vector<OutlineView::Pick> OutlineView::PicksAt(QPointF position) const {
    std::vector<Pick> picks;
    if (!hasBlock_) return picks;
    const Fit fit = CurrentFit();
    // Two passes: the distance of the nearest, then everything drawn within
    // a pixel of it (a closing point lies on the first, say).
    double best = kPickPixels;
    bool found = false;
    auto visit = [&](auto&& take) {
        for (std::size_t i = 0; i < block_.outline.size(); ++i) {
            if (kinds_[i] == PointKind::Followed) continue;
            take(fit(shapes_.outline[i]), block_.outline[i].line,
                 kinds_[i] == PointKind::ArcEnd ? PickKind::ArcEnd : PickKind::Point, block_.outline[i].position, 0.0);
        }
        for (std::size_t i = 0; i < block_.airway.size(); ++i)
            take(fit(shapes_.airway[i]), block_.airway[i].line, PickKind::Airway, block_.airway[i].position, 0.0);
        for (std::size_t i = 0; i < block_.centres.size(); ++i)
            take(fit(shapes_.centres[i]), block_.centres[i].line, PickKind::Centre, block_.centres[i].position, 0.0);
    };
    auto distance = [&](QPointF p) { return std::hypot(p.x() - position.x(), p.y() - position.y()); };
    visit([&](QPointF p, int, PickKind, GeoPoint, double) {
        const double d = distance(p);
        if (d <= best) {
            best = d;
            found = true;
        }
    });
    if (found) {
        visit([&](QPointF p, int line, PickKind kind, GeoPoint where, double radius) {
            const double d = distance(p);
            if (d <= std::min(best + 1, double{kPickPixels})) picks.push_back({d, line, kind, where, radius});
        });
    } else {
        // No point near: the rim of a circle.
        for (std::size_t i = 0; i < block_.circles.size(); ++i) {
            const Ellipse& e = shapes_.circles[i];
            const QPointF c = fit(e.centre);
            const double rx = std::max(e.rx * fit.scale, 1e-9), ry = std::max(e.ry * fit.scale, 1e-9);
            const double k = std::hypot((position.x() - c.x()) / rx, (position.y() - c.y()) / ry);
            const double d = std::abs(k - 1) * std::min(rx, ry);
            if (std::isfinite(d) && d <= kPickPixels)
                picks.push_back(
                    {d, block_.circles[i].line, PickKind::Circle, block_.circles[i].centre, block_.circles[i].radius});
        }
    }
    std::stable_sort(picks.begin(), picks.end(), [](const Pick& a, const Pick& b) {
        return a.distance != b.distance ? a.distance < b.distance : a.line < b.line;
    });
    return picks;
}

int OutlineView::LineAt(QPointF position) const {
    const std::vector<Pick> picks = PicksAt(position);
    return picks.empty() ? 0 : picks.front().line;
}

QString OutlineView::ToolTipAt(QPointF position) const {
    std::vector<Pick> picks = PicksAt(position);
    std::stable_sort(picks.begin(), picks.end(), [](const Pick& a, const Pick& b) { return a.line < b.line; });
    constexpr std::size_t kMostRows = 5;
    QStringList rows;
    for (std::size_t i = 0; i < picks.size() && i < kMostRows; ++i) {
        const Pick& pick = picks[i];
        const QString where = QString::fromStdString(FormatDms(pick.position));
        switch (pick.kind) {
        case PickKind::Circle:
            rows << tr("Line %1: circle of %2 NM around %3").arg(pick.line).arg(pick.radius).arg(where);
            break;
        case PickKind::ArcEnd:
            rows << tr("Line %1: %2, end of the arc").arg(pick.line).arg(where);
            break;
        case PickKind::Centre:
            rows << tr("Line %1: %2, centre").arg(pick.line).arg(where);
            break;
        default:
            rows << tr("Line %1: %2").arg(pick.line).arg(where);
            break;
        }
    }
    if (picks.size() > kMostRows) rows << tr("and %1 more").arg(picks.size() - kMostRows);
    return rows.join(u'\n');
}

bool OutlineView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = ToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

void OutlineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    // A press that does not move is a click on a point; one that moves pans.
    pressed_ = true;
    dragged_ = false;
    pressAt_ = lastMouse_ = event->position();
    event->accept();
}

void OutlineView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    const QPointF at = event->position();
    if (!dragged_ && (at - pressAt_).manhattanLength() < QApplication::startDragDistance()) return;
    if (!dragged_) setCursor(Qt::ClosedHandCursor);
    dragged_ = true;
    PanBy(at - lastMouse_);
    lastMouse_ = at;
    event->accept();
}

void OutlineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return QWidget::mouseReleaseEvent(event);
    pressed_ = false;
    if (dragged_) {
        unsetCursor();
        dragged_ = false;
    } else if (const int line = LineAt(pressAt_); line > 0) {
        emit lineActivated(line);
    }
    event->accept();
}

void OutlineView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    FitBlock();
    event->accept();
}

void OutlineView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0 || !hasBlock_) return QWidget::wheelEvent(event);
    ZoomBy(std::pow(kZoomStep, steps), event->position());
    event->accept();
}

void OutlineView::keyPressEvent(QKeyEvent* event) {
    const QPointF centre = PlotArea().center();
    const double step = std::max(width(), height()) / 8.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomBy(kZoomStep, centre);
        break;
    case Qt::Key_Minus:
        ZoomBy(1 / kZoomStep, centre);
        break;
    case Qt::Key_Home:
        FitBlock();
        break;
    // The arrows move the view over the airspace.
    case Qt::Key_Left:
        PanBy({step, 0});
        break;
    case Qt::Key_Right:
        PanBy({-step, 0});
        break;
    case Qt::Key_Up:
        PanBy({0, step});
        break;
    case Qt::Key_Down:
        PanBy({0, -step});
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}

}  // namespace corvala::ui
