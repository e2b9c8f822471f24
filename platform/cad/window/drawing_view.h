// The drawing shown in a widget: the model space's lines, circles, arcs,
// texts, polylines, points and block references in their layers' colours,
// with pan (drag), zoom (wheel, keys + and -, Home for the whole drawing) and
// the pick: click entities or drag a window over them, Enter confirms, Esc
// gives an empty pick.
#pragma once

#include <QElapsedTimer>
#include <QPainter>
#include <QPolygonF>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/cad/document.h"

namespace cad::window {

class DrawingView : public QWidget {
public:
    explicit DrawingView(QWidget* parent = nullptr);

    // Shows the document (which must outlive the view or be replaced).
    void SetDocument(const Document* doc);
    // The document changed: the entities are read again once, however many
    // changes came before, when the view is next painted.  The paint waits
    // until a client's calls pause (Busy) for at least four times as long as
    // the last reading and painting took, so that a client's burst of calls
    // (each in its own turn of the event loop) is not slowed by repainting,
    // but waits no longer than a few seconds.  A pick, a zoom or a paint the
    // window system asks for reads the entities at once.
    void MarkDirty();
    // A client's call is being served: a pending repaint waits again.
    void Busy();
    void ZoomExtents();

    // The pick.  done gets the picked handles (none after Esc).
    void BeginPick(std::function<void(std::vector<std::string>)> done);
    bool Picking() const { return static_cast<bool>(pickDone_); }
    void EndPick(bool confirmed);
    const std::vector<std::string>& Picked() const { return picked_; }
    // A line of text about the current state, for the status bar.
    std::function<void(const QString&)> onStatus;

    // One drawn primitive of a top-level entity, in drawing units.  Circles
    // and arcs are kept as their centre, radius and angles and drawn at paint
    // time, lines as their two ends, polylines as a run of the view's point
    // pool: a drawing of many of them costs the view little beside its
    // document.
    struct Shape {
        enum Kind : uint8_t { Point, Line, Polyline, Circle, Arc, Text };
        Kind kind = Point;
        uint32_t rgb = 0xFFFFFF;
        uint32_t entity = 0;   // index into the entities' handles
        // Polyline: its vertices are [first, first + count) of the point pool;
        // Text: its text is the view's text number first.
        uint32_t first = 0, count = 0;
        // Point: x, y.  Line: x0, y0, x1, y1.  Circle and Arc: centre x, y,
        // radius, start and end angle in degrees (start in [0, 360), the arc
        // runs counter-clockwise to end, at most 360 further, and an arc of
        // a hair may end where it starts; a circle is 0 to 360).  Text: x, y,
        // height, angle in degrees.
        double v[5] = {};

        QPointF At() const { return {v[0], v[1]}; }   // Point, Line's start, centre, Text's point
        double Radius() const { return v[2]; }
        double StartAngle() const { return v[3]; }
        double EndAngle() const { return v[4]; }
    };
    const std::vector<Shape>& Shapes() {
        EnsureBuilt();
        return shapes_;
    }
    // The box the shape covers (an arc's own, not its whole circle's).
    QRectF Bounds(const Shape& s) const;
    // A polyline's vertices.
    std::vector<QPointF> Vertices(const Shape& s) const;
    // A text's words as shown.
    QString TextOf(const Shape& s) const { return s.kind == Shape::Text ? texts_[s.first] : QString(); }
    // The box all shapes cover.
    QRectF Extents() {
        EnsureBuilt();
        return extents_;
    }
    QPointF ToScreen(QPointF world) const;
    QPointF ToWorld(QPointF screen) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    void Build();
    void EnsureBuilt() {
        if (dirty_) Build();
    }
    void Fit();
    void AddEntity(const Record& e, const std::vector<Record>& records, size_t index, size_t entity,
                   const QTransform& t, int depth, uint32_t byBlock);
    void AddBlock(std::string_view name, size_t entity, const QTransform& t, int depth, uint32_t byBlock);
    uint32_t ColorOf(const Record& e, uint32_t byBlock) const;
    bool LayerShown(const Record& e) const;
    void ZoomAt(QPointF screen, double factor);
    void Status();
    int HitAt(QPointF screen) const;   // index of the nearest entity within a few pixels, or -1

    void AddCurve(const Record& e, bool circle, const QTransform& t, Shape s);
    void Draw(QPainter& p, const Shape& s, QPolygonF& poly) const;
    double Distance(const Shape& s, QPointF screen) const;   // in pixels

    const Document* doc_ = nullptr;
    std::vector<Shape> shapes_;
    std::vector<QPointF> points_;   // the polylines' vertices
    std::vector<QString> texts_;
    size_t blockBudget_ = 0;   // entities of blocks still to be drawn in this rebuild
    std::vector<std::string> handles_;
    struct LayerLook {
        int color = 7;
        bool shown = true;
    };
    std::unordered_map<std::string, LayerLook> layers_;   // upper-case name -> look
    QRectF extents_;
    double scale_ = 1;            // pixels per drawing unit
    QPointF origin_;              // world point at the widget's centre
    bool fitted_ = false;
    bool dirty_ = false;          // the document changed since the entities were read
    QElapsedTimer dirtySince_;    // since the first change not yet shown
    qint64 viewMs_ = 0;           // how long the last reading and painting took
    QTimer* repaintTimer_ = nullptr;   // the repaint once the calls pause
    QPoint pressAt_, lastAt_;
    bool dragging_ = false;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    std::function<void(std::vector<std::string>)> pickDone_;
    std::vector<std::string> picked_;
    std::vector<char> pickedMask_;   // by entity index
    QRect band_;                     // the pick window being dragged
};

}  // namespace cad::window
