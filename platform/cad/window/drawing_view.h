// The drawing shown in a widget: the model space's lines, circles, arcs,
// texts, polylines, points and block references in their layers' colours,
// with pan (drag), zoom (wheel, keys + and -, Home for the whole drawing) and
// the pick: click entities or drag a window over them, Enter confirms, Esc
// gives an empty pick.
#pragma once

#include <QElapsedTimer>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QTimer>
#include <QWidget>
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

    // One drawn primitive, in drawing units, of a top-level entity.
    struct Shape {
        enum Kind { Polyline, Circle, Text } kind = Polyline;
        std::vector<QPointF> points;   // Polyline: the vertices; Circle: the centre
        double radius = 0;             // Circle
        QString text;                  // Text: at points[0], height radius, angle
        double angle = 0;              // Text: degrees
        uint32_t rgb = 0xFFFFFF;
        size_t entity = 0;             // index into handles_
        QRectF bounds;
    };
    const std::vector<Shape>& Shapes() {
        EnsureBuilt();
        return shapes_;
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

    const Document* doc_ = nullptr;
    std::vector<Shape> shapes_;
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
