// The outline view: one block of the file drawn in a local plane around it,
// north up and fitted into the widget, with the places of its findings
// marked in the colours of their severities, and the blocks beside it in
// faint grey. Hovering a point of the block shows its line and position;
// clicking it asks the window to go to that line. The wheel and + and -
// zoom, dragging and the arrow keys pan, Home and a double click fit the
// block again. The edges a crossing names are drawn in the finding's colour
// with marks of their direction, beside the line they follow, so that an
// edge retraced shows twice; an arc that starts where it ends is drawn as
// the full circle some readers make of it, dashed, and a caption note says
// so; limits that are equal or inverted are marked in the caption.
//
// The plane is equirectangular: x is nautical miles east at the middle
// latitude of the block, y nautical miles north; longitudes are counted
// around the block's first point, so that a block across the antimeridian
// stays in one piece. Painting takes time of the order of the points of the
// block and its neighbours (points that fall within half a pixel of the one
// before are skipped, and at most one dot is drawn per few pixels), and
// nothing is drawn beyond the widget's edges.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QRgb>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "engine/rules/block/blocks.h"
#include "engine/model/findings.h"
#include "engine/values/position.h"

class QEvent;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QPaintEvent;
class QPainter;

namespace corvala::ui {

class OutlineView final : public QWidget {
    Q_OBJECT

public:
    // The colours of the finding markers by severity; the window's list uses
    // the same ones.
    static constexpr QRgb kErrorMarker = qRgb(220, 0, 0);
    static constexpr QRgb kWarningMarker = qRgb(235, 130, 0);
    static constexpr QRgb kNoteMarker = qRgb(0, 100, 220);
    static QRgb MarkerColour(Severity severity) noexcept;
    // A point this close to the mouse (in pixels) is hovered or clicked.
    static constexpr int kPickPixels = 6;
    // Shown while no block is set.
    static QString EmptyText();

    explicit OutlineView(QWidget* parent = nullptr);
    ~OutlineView() override;

    // Draws `block` with `neighbours` (the blocks before and after it) for
    // context, and marks the places of finding `finding` (an index into
    // block.findings), or of all its findings for -1; any other index marks
    // none.
    void SetBlock(const BlockAnalysis& block, std::vector<BlockAnalysis> neighbours = {}, int finding = -1);
    // Marks another finding of the same block, as SetBlock's `finding`.
    void MarkFinding(int finding);
    // Back to the empty view.
    void Clear();

    // What the analysis could not read, read by the window from the block's
    // lines: the points of the geometry lines after the first one that
    // failed, the line that failed, and the line of a centre (V X=) that
    // could not be read. Drawn as hollow dots joined by a dotted line; the
    // missing centre is marked with "?" between the ends of the first arc
    // that needed it. Call after SetBlock.
    struct Unread {
        std::vector<OutlinePoint> points;
        std::vector<std::int32_t> arcEnds;  // the lines of DB ends among the points
        std::int32_t failedLine = 0;
        std::int32_t centreLine = 0;
    };
    void SetUnread(Unread unread);

    // The view: 1 fits the block; the pan in pixels from the fitted place.
    static constexpr double kMinZoom = 0.05;
    static constexpr double kMaxZoom = 100000;
    double Zoom() const noexcept { return zoom_; }
    QPointF Pan() const noexcept { return pan_; }
    // Zooms by `factor`, keeping the place under `at` (widget pixels) still.
    void ZoomBy(double factor, QPointF at);
    void PanBy(QPointF pixels);
    // The whole block again.
    void FitBlock();

    // The caption: class and name, then the limits; with a note when the
    // lower limit is at or above the upper one, which is drawn in the error
    // colour (LimitsMarked).
    QString CaptionText() const;
    bool LimitsMarked() const noexcept { return limitsMarked_; }
    // The lines under the caption: arcs that start where they end, a centre
    // that cannot be read.
    const QStringList& Notes() const noexcept { return notes_; }
    // The edges of finding `finding` drawn in its colour, in the plane's
    // widget pixels (from, to).
    std::vector<std::pair<QPointF, QPointF>> MarkedEdges(int finding) const;
    bool HasBlock() const noexcept { return hasBlock_; }
    // The block shown, and the index of the finding marked (-1: all).
    const BlockAnalysis& Block() const noexcept { return block_; }
    int MarkedFinding() const noexcept { return marked_; }

    // Where `point` is drawn, in widget pixels for the current size.
    QPointF Project(GeoPoint point) const;
    // The line of the block's point nearest to `position` within
    // kPickPixels (or of the circle that passes there); 0 when there is none.
    int LineAt(QPointF position) const;
    // The tooltip at `position`: line and position of each point drawn
    // there ("Line 12: 48:12:30 N 011:30:00 E"); empty where there is none.
    QString ToolTipAt(QPointF position) const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    // A point of the block (or its circle) was clicked: go to its line.
    void lineActivated(int line);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Nautical miles east and north in the block's plane.
    struct Plane {
        double latitude0 = 0;
        double longitude0 = 0;
        double eastScale = 60;  // NM per degree of longitude
        QPointF operator()(GeoPoint point) const;
    };
    // From the plane to widget pixels: px = left + x * scale,
    // py = top - y * scale.
    struct Fit {
        double scale = 1;
        double left = 0;
        double top = 0;
        QPointF operator()(QPointF p) const { return {left + p.x() * scale, top - p.y() * scale}; }
    };
    struct Ellipse {
        QPointF centre;
        double rx = 0, ry = 0;  // NM
    };
    // What is drawn of one block, in the plane.
    struct Shapes {
        std::vector<QPointF> outline;
        // The edge back to the first point is drawn solid when the outline
        // has arcs (readers close it there as a matter of course), dashed
        // when it closes a plain polygon that does not end where it began.
        bool closingSolid = false;
        std::vector<Ellipse> circles;
        std::vector<QPointF> airway;
        std::vector<double> airwayWidths;  // NM, in force at each airway point
        std::vector<QPointF> centres;
    };
    enum class PointKind : std::uint8_t { Point, ArcEnd, Followed };
    enum class MarkShape : std::uint8_t { Rings, Radii, Gap };
    struct Mark {
        Severity severity = Severity::Error;
        MarkShape shape = MarkShape::Rings;
        std::vector<QPointF> points;
        // Edges the finding names, in the direction of the outline.
        std::vector<std::pair<QPointF, QPointF>> edges;
    };
    enum class PickKind : std::uint8_t { Point, ArcEnd, Airway, Centre, Circle };
    struct Pick {
        double distance = 0;  // pixels
        int line = 0;
        PickKind kind = PickKind::Point;
        GeoPoint position;
        double radius = 0;  // NM, of a circle
    };

    Shapes MakeShapes(const BlockAnalysis& block) const;
    Ellipse CircleAround(GeoPoint centre, double miles) const;
    std::vector<std::pair<QPointF, QPointF>> EdgesNamed(const std::string& message) const;
    void ExtendBounds(QPointF p, double halfWidth = 0);
    Fit CurrentFit() const;
    QRectF PlotArea() const;
    std::vector<Pick> PicksAt(QPointF position) const;

    // `closing`: with the edge back to the first point.
    void PaintShapes(QPainter& painter, const Fit& fit, const Shapes& shapes, bool neighbour, bool closing) const;
    void PaintPoints(QPainter& painter, const Fit& fit) const;
    void PaintMarks(QPainter& painter, const Fit& fit) const;
    void PaintCaption(QPainter& painter) const;
    void PaintScaleBar(QPainter& painter, const Fit& fit) const;
    void PaintLoopsAndUnread(QPainter& painter, const Fit& fit) const;

    bool hasBlock_ = false;
    BlockAnalysis block_;
    Plane plane_;
    Shapes shapes_;
    std::vector<PointKind> kinds_;  // of each outline point
    std::vector<Shapes> neighbours_;
    std::vector<Mark> marks_;  // one per finding
    int marked_ = -1;
    // The block's extent in the plane: min and max of x and y.
    double minX_ = 0, maxX_ = 0, minY_ = 0, maxY_ = 0;
    bool boundsSet_ = false;
    // Arcs that start where they end, as full circles.
    std::vector<Ellipse> loops_;
    // What the analysis could not read (SetUnread), in the plane.
    std::vector<QPointF> unread_;
    std::vector<bool> unreadArcEnd_;
    std::vector<QPointF> missingCentres_;
    QStringList notes_;
    bool limitsMarked_ = false;
    QString limitsNote_;
    // The view and the mouse.
    double zoom_ = 1;
    QPointF pan_;
    QPointF pressAt_;
    QPointF lastMouse_;
    bool pressed_ = false;
    bool dragged_ = false;
};

}  // namespace corvala::ui
