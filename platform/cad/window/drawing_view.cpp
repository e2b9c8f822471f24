#include "platform/cad/window/drawing_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform/cad/dxf_text.h"

namespace cad::window {

namespace {

constexpr int kMaxBlockDepth = 8;      // nested block references drawn at most this deep
// Entities drawn from blocks in all, so that blocks referring to each other
// many times over (a few kilobytes can stand for trillions of entities) end.
constexpr size_t kMaxBlockEntities = 1000000;
constexpr double kPickPixels = 6;
constexpr uint32_t kBackground = 0x1E2228;
// A change is shown once the calls pause this long at least, and at the
// latest this long after it was made while calls go on.
constexpr qint64 kQuietMs = 100;
constexpr qint64 kLongestDelayMs = 3000;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

QColor Rgb(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

std::vector<QPointF> ArcPoints(QPointF c, double r, double startDeg, double endDeg) {
    while (endDeg <= startDeg) endDeg += 360;
    int n = std::max(8, static_cast<int>((endDeg - startDeg) / 5));
    std::vector<QPointF> out;
    out.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        double a = (startDeg + (endDeg - startDeg) * i / n) * M_PI / 180;
        out.emplace_back(c.x() + r * std::cos(a), c.y() + r * std::sin(a));
    }
    return out;
}

double SegmentDistance(QPointF p, QPointF a, QPointF b) {
    QPointF d = b - a;
    double len2 = d.x() * d.x() + d.y() * d.y();
    double t = len2 > 0 ? std::clamp(((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2, 0.0, 1.0) : 0;
    QPointF q = a + t * d - p;
    return std::hypot(q.x(), q.y());
}

}  // namespace

DrawingView::DrawingView(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaintTimer_ = new QTimer(this);
    repaintTimer_->setSingleShot(true);
    connect(repaintTimer_, &QTimer::timeout, this, [this] { update(); });
}

void DrawingView::SetDocument(const Document* doc) {
    if (Picking()) EndPick(false);
    doc_ = doc;
    fitted_ = false;
    Build();
    ZoomExtents();
}

bool DrawingView::LayerShown(const Record& e) const {
    auto it = layers_.find(Upper(Trim(e.Text(8, "0"))));
    return it == layers_.end() || it->second.shown;
}

uint32_t DrawingView::ColorOf(const Record& e, uint32_t byBlock) const {
    if (e.Find(420)) return static_cast<uint32_t>(e.Integer(420)) & 0xFFFFFF;
    int aci = e.Integer(62, 256);
    if (aci == 0) return byBlock;
    if (aci == 256 || aci < 0) {
        auto it = layers_.find(Upper(Trim(e.Text(8, "0"))));
        aci = it == layers_.end() ? 7 : it->second.color;
    }
    return AciToRgb(aci);
}

void DrawingView::MarkDirty() {
    if (!dirty_) dirtySince_.start();
    dirty_ = true;
    Busy();
}

void DrawingView::Busy() {
    if (!dirty_) return;
    const qint64 wait = std::max(kQuietMs, 4 * viewMs_);
    if (!repaintTimer_->isActive() || dirtySince_.elapsed() + wait <= kLongestDelayMs) repaintTimer_->start(static_cast<int>(wait));
}

void DrawingView::Build() {
    dirty_ = false;
    repaintTimer_->stop();
    shapes_.clear();
    handles_.clear();
    layers_.clear();
    extents_ = QRectF();
    blockBudget_ = kMaxBlockEntities;
    if (doc_) {
        for (const Layer& l : doc_->Layers()) {
            LayerLook look;
            look.color = l.color;
            look.shown = !l.off;
            layers_[Upper(l.name)] = look;
        }
        // Frozen layers (flag 1) are not shown either.
        if (const Section* t = doc_->FindSection("TABLES"))
            for (const Record& r : t->records)
                if (r.Type() == "LAYER" && (r.Integer(70) & 1))
                    layers_[Upper(Trim(r.Text(2)))].shown = false;
        std::vector<std::string> model = doc_->ModelSpaceHandles();
        const std::vector<Record>& records = doc_->EntityRecords();
        // Model-space records in order, with their position for polylines' vertices.
        size_t next = 0;
        for (size_t i = 0; i < records.size() && next < model.size(); ++i) {
            const Group* h = records[i].Find(5);
            if (!h || NormalizeHandle(h->value) != model[next]) continue;
            handles_.push_back(model[next]);
            AddEntity(records[i], records, i, handles_.size() - 1, QTransform(), 0, 0xFFFFFF);
            ++next;
        }
    }
    for (Shape& s : shapes_) {
        QPolygonF poly(QList<QPointF>(s.points.begin(), s.points.end()));
        s.bounds = poly.boundingRect();
        if (s.kind == Shape::Text) s.bounds = QRectF(s.points[0], QSizeF(s.radius * std::max<qsizetype>(1, s.text.size()) * 0.7, s.radius));
        extents_ = extents_.isNull() ? s.bounds : extents_.united(s.bounds);
    }
    pickedMask_.assign(handles_.size(), 0);
    if (!picked_.empty()) {
        std::unordered_map<std::string_view, size_t> index;
        for (size_t i = 0; i < handles_.size(); ++i) index.emplace(handles_[i], i);
        for (const std::string& h : picked_) {
            auto it = index.find(h);
            if (it != index.end()) pickedMask_[it->second] = 1;
        }
    }
    if (!fitted_ && !extents_.isNull()) Fit();
}

void DrawingView::AddEntity(const Record& e, const std::vector<Record>& records, size_t index, size_t entity,
                            const QTransform& t, int depth, uint32_t byBlock) {
    if (!LayerShown(e)) return;
    std::string_view type = e.Type();
    Shape s;
    s.entity = entity;
    s.rgb = ColorOf(e, byBlock);
    auto at = [&](int code) { return t.map(QPointF(e.Number(code), e.Number(code + 10))); };
    if (type == "LINE") {
        s.points = {at(10), at(11)};
    } else if (type == "CIRCLE" || type == "ARC") {
        QPointF c(e.Number(10), e.Number(20));
        double r = e.Number(40);
        if (!(r > 0) || !std::isfinite(r)) return;
        std::vector<QPointF> pts = type == "CIRCLE" ? ArcPoints(c, r, 0, 360) : ArcPoints(c, r, e.Number(50), e.Number(51));
        for (QPointF& p : pts) p = t.map(p);
        s.points = std::move(pts);
    } else if (type == "LWPOLYLINE") {
        double x = 0;
        for (size_t i = 0, n = e.XDataStart(); i < n; ++i) {
            const Group& g = e.groups[i];
            if (g.code == 10) ParseDouble(Trim(g.value), x);
            if (g.code == 20) {
                double y = 0;
                ParseDouble(Trim(g.value), y);
                s.points.push_back(t.map(QPointF(x, y)));
            }
        }
        if ((e.Integer(70) & 1) && s.points.size() > 2) s.points.push_back(s.points.front());
    } else if (type == "POLYLINE") {
        for (size_t i = index + 1; i < records.size() && records[i].Type() == "VERTEX"; ++i)
            s.points.push_back(t.map(QPointF(records[i].Number(10), records[i].Number(20))));
        if ((e.Integer(70) & 1) && s.points.size() > 2) s.points.push_back(s.points.front());
    } else if (type == "POINT") {
        s.points = {at(10)};
    } else if (type == "TEXT" || type == "MTEXT") {
        s.kind = Shape::Text;
        bool aligned = type == "TEXT" && (e.Number(72) != 0 || e.Number(73) != 0) && e.Find(11);
        s.points = {aligned ? at(11) : at(10)};
        QString text = QString::fromStdString(doc_->DecodeText(e.Text(1)));
        if (type == "MTEXT") {
            for (const Group& g : e.groups)
                if (g.code == 3) text = QString::fromStdString(doc_->DecodeText(g.value)) + text;
            text.replace(QLatin1String("\\P"), QLatin1String(" "));
        }
        s.text = text;
        QPointF unit = t.map(QPointF(1, 0)) - t.map(QPointF(0, 0));
        s.radius = e.Number(40, 1) * std::hypot(unit.x(), unit.y());
        s.angle = e.Number(50) + std::atan2(unit.y(), unit.x()) * 180 / M_PI;
        if (!(s.radius > 0) || !std::isfinite(s.radius)) return;
    } else if (type == "INSERT") {
        QTransform local;
        local.translate(e.Number(10), e.Number(20));
        local.rotate(e.Number(50));
        local.scale(e.Number(41, 1), e.Number(42, 1));
        AddBlock(Trim(e.Text(2)), entity, local * t, depth + 1, s.rgb);
        return;
    } else if (type == "DIMENSION") {
        // A dimension is drawn by its own (anonymous) block, in place.
        AddBlock(Trim(e.Text(2)), entity, t, depth + 1, s.rgb);
        return;
    } else {
        return;   // kinds that are kept but not drawn
    }
    for (const QPointF& p : s.points)
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) return;
    if (!s.points.empty()) shapes_.push_back(std::move(s));
}

void DrawingView::AddBlock(std::string_view name, size_t entity, const QTransform& t, int depth, uint32_t byBlock) {
    if (depth > kMaxBlockDepth || !doc_) return;   // also ends a block that refers to itself
    const Section* blocks = doc_->FindSection("BLOCKS");
    if (!blocks) return;
    const std::vector<Record>& r = blocks->records;
    for (size_t i = 0; i < r.size(); ++i) {
        if (r[i].Type() != "BLOCK" || !SameName(Trim(r[i].Text(2)), name)) continue;
        QTransform base = QTransform::fromTranslate(-r[i].Number(10), -r[i].Number(20)) * t;
        for (size_t k = i + 1; k < r.size() && r[k].Type() != "ENDBLK"; ++k) {
            std::string_view type = r[k].Type();
            if (type == "VERTEX" || type == "SEQEND" || type == "ATTRIB") continue;
            if (blockBudget_ == 0) return;
            --blockBudget_;
            AddEntity(r[k], r, k, entity, base, depth, byBlock);
        }
        return;
    }
}

QPointF DrawingView::ToScreen(QPointF w) const {
    return {width() / 2.0 + (w.x() - origin_.x()) * scale_, height() / 2.0 - (w.y() - origin_.y()) * scale_};
}

QPointF DrawingView::ToWorld(QPointF s) const {
    return {origin_.x() + (s.x() - width() / 2.0) / scale_, origin_.y() - (s.y() - height() / 2.0) / scale_};
}

void DrawingView::ZoomExtents() {
    EnsureBuilt();
    Fit();
    update();
}

void DrawingView::Fit() {
    if (extents_.isNull() || width() < 2 || height() < 2) {
        origin_ = extents_.isNull() ? QPointF(50, 50) : extents_.center();
        scale_ = extents_.isNull() ? std::max(1.0, std::min(width(), height()) / 100.0) : scale_;
        return;
    }
    double w = std::max(extents_.width(), 1e-9), h = std::max(extents_.height(), 1e-9);
    scale_ = 0.92 * std::min(width() / w, height() / h);
    if (!std::isfinite(scale_) || scale_ <= 0) scale_ = 1;
    origin_ = extents_.center();
    fitted_ = true;
}

void DrawingView::ZoomAt(QPointF screen, double factor) {
    QPointF before = ToWorld(screen);
    double s = scale_ * factor;
    if (!std::isfinite(s) || s < 1e-12 || s > 1e12) return;
    scale_ = s;
    QPointF after = ToWorld(screen);
    origin_ += before - after;
    update();
}

void DrawingView::paintEvent(QPaintEvent*) {
    QElapsedTimer took;
    took.start();
    const bool building = dirty_;
    EnsureBuilt();
    QPainter p(this);
    p.fillRect(rect(), Rgb(kBackground));
    p.setRenderHint(QPainter::Antialiasing, shapes_.size() < 20000);
    QRectF visible = QRectF(ToWorld(QPointF(0, height())), ToWorld(QPointF(width(), 0))).normalized();
    QPolygonF poly;
    uint64_t penLook = ~uint64_t(0);
    for (const Shape& s : shapes_) {
        if (!s.bounds.isNull() && !visible.intersects(s.bounds.adjusted(-1e-9, -1e-9, 1e-9, 1e-9)) && s.kind != Shape::Text)
            continue;
        const bool picked = s.entity < pickedMask_.size() && pickedMask_[s.entity];
        // Most shapes share their pen with the one before.
        const uint64_t look = picked ? (uint64_t(1) << 32) : s.rgb;
        if (look != penLook) {
            QPen pen(picked ? QColor(255, 230, 90) : Rgb(s.rgb), picked ? 2.5 : 1.0);
            if (picked) pen.setStyle(Qt::DashLine);
            p.setPen(pen);
            penLook = look;
        }
        if (s.kind == Shape::Text) {
            double px = s.radius * scale_;
            QPointF at = ToScreen(s.points[0]);
            if (px < 2 || px > 4000 || !QRectF(rect()).adjusted(-px * 40, -px * 2, px * 2, px * 2).contains(at)) continue;
            p.save();
            p.translate(at);
            p.rotate(-s.angle);
            QFont f = font();
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
            p.setFont(f);
            p.drawText(QPointF(0, 0), s.text);
            p.restore();
            continue;
        }
        if (s.points.size() == 1) {
            p.drawPoint(ToScreen(s.points[0]));
            continue;
        }
        if (s.points.size() == 2) {
            p.drawLine(ToScreen(s.points[0]), ToScreen(s.points[1]));
            continue;
        }
        poly.resize(static_cast<qsizetype>(s.points.size()));
        for (size_t i = 0; i < s.points.size(); ++i) poly[static_cast<qsizetype>(i)] = ToScreen(s.points[i]);
        p.drawPolyline(poly);
    }
    if (!band_.isNull()) {
        p.setPen(QPen(QColor(120, 180, 255), 1, Qt::DashLine));
        p.setBrush(QColor(120, 180, 255, 40));
        p.drawRect(band_);
    }
    if (Picking()) {
        p.setPen(QColor(255, 230, 90));
        p.drawText(QRect(8, 4, width() - 16, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Select objects: click or drag a window; Enter confirms, Esc cancels (%1 picked)")
                       .arg(picked_.size()));
    }
    if (building) viewMs_ = took.elapsed();
}

void DrawingView::resizeEvent(QResizeEvent*) {
    if (!fitted_) ZoomExtents();
}

void DrawingView::wheelEvent(QWheelEvent* e) {
    double steps = e->angleDelta().y() / 120.0;
    if (steps != 0) ZoomAt(e->position(), std::pow(1.25, steps));
}

void DrawingView::mousePressEvent(QMouseEvent* e) {
    pressAt_ = lastAt_ = e->position().toPoint();
    pressButton_ = e->button();
    dragging_ = false;
}

void DrawingView::mouseMoveEvent(QMouseEvent* e) {
    QPoint at = e->position().toPoint();
    if (pressButton_ != Qt::NoButton && (at - pressAt_).manhattanLength() > 4) dragging_ = true;
    if (dragging_) {
        if (Picking() && pressButton_ == Qt::LeftButton) {
            band_ = QRect(pressAt_, at).normalized();
        } else {
            QPointF d = QPointF(at - lastAt_) / scale_;
            origin_ += QPointF(-d.x(), d.y());
        }
        update();
    }
    lastAt_ = at;
}

void DrawingView::mouseReleaseEvent(QMouseEvent* e) {
    EnsureBuilt();
    if (Picking() && pressButton_ == Qt::LeftButton) {
        if (dragging_ && !band_.isNull()) {
            // A window picks every entity whose drawn shapes lie wholly inside it.
            QRectF w = QRectF(ToWorld(band_.bottomLeft()), ToWorld(band_.topRight())).normalized();
            std::vector<char> inside(handles_.size(), 0), outside(handles_.size(), 0);
            for (const Shape& s : shapes_) {
                QRectF b = s.kind == Shape::Text ? QRectF(s.points[0], QSizeF(0, 0)) : s.bounds;
                (w.contains(b.topLeft()) && w.contains(b.bottomRight()) ? inside : outside)[s.entity] = 1;
            }
            for (size_t i = 0; i < handles_.size(); ++i)
                if (inside[i] && !outside[i] && !pickedMask_[i]) {
                    pickedMask_[i] = 1;
                    picked_.push_back(handles_[i]);
                }
        } else if (!dragging_) {
            int hit = HitAt(e->position());
            if (hit >= 0) {
                size_t i = static_cast<size_t>(hit);
                pickedMask_[i] = !pickedMask_[i];
                if (pickedMask_[i])
                    picked_.push_back(handles_[i]);
                else
                    picked_.erase(std::remove(picked_.begin(), picked_.end(), handles_[i]), picked_.end());
            }
        }
        Status();
    }
    band_ = QRect();
    dragging_ = false;
    pressButton_ = Qt::NoButton;
    update();
}

int DrawingView::HitAt(QPointF screen) const {
    double best = kPickPixels;
    int hit = -1;
    for (const Shape& s : shapes_) {
        double d = 1e300;
        if (s.kind == Shape::Text || s.points.size() == 1) {
            QPointF q = ToScreen(s.points[0]) - screen;
            d = std::hypot(q.x(), q.y());
        } else {
            for (size_t i = 1; i < s.points.size(); ++i)
                d = std::min(d, SegmentDistance(screen, ToScreen(s.points[i - 1]), ToScreen(s.points[i])));
        }
        if (d <= best) {
            best = d;
            hit = static_cast<int>(s.entity);
        }
    }
    return hit;
}

void DrawingView::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (Picking()) EndPick(true);
            return;
        case Qt::Key_Escape:
            if (Picking()) EndPick(false);
            return;
        case Qt::Key_Plus:
        case Qt::Key_Equal: ZoomAt(rect().center(), 1.25); return;
        case Qt::Key_Minus: ZoomAt(rect().center(), 0.8); return;
        case Qt::Key_Home: ZoomExtents(); return;
        default: QWidget::keyPressEvent(e);
    }
}

void DrawingView::BeginPick(std::function<void(std::vector<std::string>)> done) {
    if (Picking()) EndPick(false);
    EnsureBuilt();
    pickDone_ = std::move(done);
    picked_.clear();
    pickedMask_.assign(handles_.size(), 0);
    setFocus();
    Status();
    update();
}

void DrawingView::EndPick(bool confirmed) {
    auto done = std::move(pickDone_);
    pickDone_ = nullptr;
    std::vector<std::string> result = confirmed ? picked_ : std::vector<std::string>();
    picked_.clear();
    pickedMask_.assign(handles_.size(), 0);
    band_ = QRect();
    Status();
    update();
    if (done) done(std::move(result));
}

void DrawingView::Status() {
    if (!onStatus) return;
    if (Picking())
        onStatus(QStringLiteral("Select objects: %1 picked. Enter confirms, Esc cancels.").arg(picked_.size()));
    else
        onStatus(QString());
}

}  // namespace cad::window
