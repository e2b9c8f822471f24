#include "platform/cad/window/drawing_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QTransform>
#include <QWheelEvent>
#include <algorithm>
#include <array>
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

// An angle in degrees brought into [0, 360).
double Wrap(double deg) {
    double a = std::fmod(deg, 360);
    if (a < 0) a += 360;
    return a < 360 ? a : 0;   // a hair below 0 rounds up to 360
}

// An arc's angles in degrees as drawn: start in [0, 360), end above it by
// at most 360 (equal angles are the whole circle).  The sweep is taken
// between the angles each brought below 360 first, which is exact, so that
// an arc of a hair stays one however near 0 it starts.  False for angles
// that are not finite.
bool Sweep(double startDeg, double endDeg, double& start, double& end) {
    if (!std::isfinite(startDeg) || !std::isfinite(endDeg)) return false;
    double sweep = std::fmod(std::fmod(endDeg, 360) - std::fmod(startDeg, 360), 360);
    if (sweep <= 0) sweep += 360;
    start = Wrap(startDeg);
    end = start + sweep;
    return true;
}

// The arc drawn as a polygon of one segment per five degrees (eight at
// least); the points at angle start + (end - start) * i / n.
int ArcSegments(double start, double end) { return std::max(8, static_cast<int>((end - start) / 5)); }

double ArcAngle(double start, double end, int i, int n) { return (start + (end - start) * i / n) * M_PI / 180; }

// The circle's 73 points on the unit circle, computed once.
const std::array<QPointF, 73>& UnitCircle() {
    static const std::array<QPointF, 73> points = [] {
        std::array<QPointF, 73> out;
        for (int i = 0; i <= 72; ++i) {
            const double a = ArcAngle(0, 360, i, 72);
            out[static_cast<size_t>(i)] = QPointF(std::cos(a), std::sin(a));
        }
        return out;
    }();
    return points;
}

// Whether the direction at angle a (degrees) lies on the arc.
bool OnSweep(double a, double start, double end) {
    double rel = std::fmod(a - start, 360);
    if (rel < 0) rel += 360;
    return rel <= end - start;
}

// A transform that keeps circles circles (a rotation, one scale in both
// directions, perhaps a mirror): its scale, the angle the x axis turns to
// and whether it mirrors.  False for any other.
bool Similarity(const QTransform& t, double& scale, double& rotationDeg, bool& mirrored) {
    if (!t.isAffine()) return false;
    const double a = t.m11(), b = t.m12(), c = t.m21(), d = t.m22();
    const double sx = std::hypot(a, b), sy = std::hypot(c, d);
    if (!(sx > 0) || !std::isfinite(sx) || !std::isfinite(sy)) return false;
    if (std::abs(sx - sy) > 1e-12 * sx || std::abs(a * c + b * d) > 1e-12 * sx * sy) return false;
    scale = sx;
    rotationDeg = std::atan2(b, a) * 180 / M_PI;
    mirrored = a * d - b * c < 0;
    return true;
}

// The smallest box about the points given to it.  By hand: QRectF::united
// passes over a box of no size, a point's.
struct Span {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    void Add(QPointF p) {
        x0 = std::min(x0, p.x());
        y0 = std::min(y0, p.y());
        x1 = std::max(x1, p.x());
        y1 = std::max(y1, p.y());
    }
    QRectF Box() const { return QRectF(QPointF(x0, y0), QPointF(x1, y1)); }
};

// Whether two boxes meet, edges included (a vertical line's box has no
// width and still meets what crosses it).
bool Meet(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
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

// A drawing of a million circles holds a million shapes.
static_assert(sizeof(DrawingView::Shape) <= 64, "a shape stays small");

void DrawingView::Build() {
    dirty_ = false;
    repaintTimer_->stop();
    // The old shapes go before the new are made, so that a rebuild does not
    // hold both.
    std::vector<Shape>().swap(shapes_);
    std::vector<QPointF>().swap(points_);
    std::vector<QString>().swap(texts_);
    std::vector<std::string>().swap(handles_);
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
        const std::vector<Record>& records = doc_->EntityRecords();
        std::vector<Document::ModelSpaceEntity> model = doc_->ModelSpaceEntities();
        // Shape indices name their entity in 32 bits.
        if (model.size() > UINT32_MAX) model.resize(UINT32_MAX);
        handles_.reserve(model.size());
        shapes_.reserve(model.size());
        for (Document::ModelSpaceEntity& m : model) {
            handles_.push_back(std::move(m.handle));
            // The record's position, for a polyline's vertices after it.
            const size_t index = static_cast<size_t>(m.record - records.data());
            AddEntity(*m.record, records, index, handles_.size() - 1, QTransform(), 0, 0xFFFFFF);
        }
    }
    // What rebuilding by one doubled and left unused is given back.
    auto fit = [](auto& v) {
        if (v.capacity() > v.size() + v.size() / 4 + 16) v.shrink_to_fit();
    };
    fit(shapes_);
    fit(points_);
    Span all;
    for (const Shape& s : shapes_) {
        const QRectF b = Bounds(s);
        all.Add(b.topLeft());
        all.Add(b.bottomRight());
    }
    if (!shapes_.empty()) extents_ = all.Box();
    pickedMask_.assign(handles_.size(), 0);
    if (!picked_.empty()) {
        std::unordered_map<std::string_view, size_t> index;
        for (size_t i = 0; i < handles_.size(); ++i) index.emplace(handles_[i], i);
        for (const std::string& h : picked_) {
            auto it = index.find(h);
            if (it != index.end()) pickedMask_[it->second] = 1;
        }
    }
    if (!fitted_ && !shapes_.empty()) Fit();
}

QRectF DrawingView::Bounds(const Shape& s) const {
    switch (s.kind) {
        case Shape::Point: return QRectF(s.At(), QSizeF(0, 0));
        case Shape::Line: return QRectF(s.At(), QPointF(s.v[2], s.v[3])).normalized();
        case Shape::Text:
            return QRectF(s.At(), QSizeF(s.v[2] * std::max<qsizetype>(1, texts_[s.first].size()) * 0.7, s.v[2]));
        case Shape::Circle: {
            const double r = s.Radius();
            return QRectF(s.v[0] - r, s.v[1] - r, 2 * r, 2 * r);
        }
        case Shape::Arc: {
            // The ends, and each point where the arc crosses an axis through
            // its centre.
            const double r = s.Radius(), a0 = s.StartAngle() * M_PI / 180, a1 = s.EndAngle() * M_PI / 180;
            double x0 = std::min(std::cos(a0), std::cos(a1)), x1 = std::max(std::cos(a0), std::cos(a1));
            double y0 = std::min(std::sin(a0), std::sin(a1)), y1 = std::max(std::sin(a0), std::sin(a1));
            if (OnSweep(0, s.StartAngle(), s.EndAngle())) x1 = 1;
            if (OnSweep(90, s.StartAngle(), s.EndAngle())) y1 = 1;
            if (OnSweep(180, s.StartAngle(), s.EndAngle())) x0 = -1;
            if (OnSweep(270, s.StartAngle(), s.EndAngle())) y0 = -1;
            return QRectF(QPointF(s.v[0] + r * x0, s.v[1] + r * y0), QPointF(s.v[0] + r * x1, s.v[1] + r * y1));
        }
        case Shape::Polyline: {
            Span vertices;
            for (size_t i = s.first; i < size_t(s.first) + s.count; ++i) vertices.Add(points_[i]);
            return vertices.Box();
        }
    }
    return QRectF();
}

std::vector<QPointF> DrawingView::Vertices(const Shape& s) const {
    if (s.kind != Shape::Polyline) return {};
    return std::vector<QPointF>(points_.begin() + s.first, points_.begin() + s.first + s.count);
}

void DrawingView::AddCurve(const Record& e, bool circle, const QTransform& t, Shape s) {
    const QPointF c(e.Number(10), e.Number(20));
    const double r = e.Number(40);
    if (!(r > 0) || !std::isfinite(r) || !std::isfinite(c.x()) || !std::isfinite(c.y())) return;
    double start = 0, end = 360;
    if (!circle && !Sweep(e.Number(50), e.Number(51), start, end)) return;
    double scale = 1, turn = 0;
    bool mirrored = false;
    if (Similarity(t, scale, turn, mirrored)) {
        // Still a circle: kept as its centre, radius and angles.
        const QPointF at = t.map(c);
        const double radius = r * scale;
        if (!(radius > 0) || !std::isfinite(radius) || !std::isfinite(at.x()) || !std::isfinite(at.y())) return;
        // The arc keeps its length; turned, it starts further round, and
        // mirrored, it runs back from the turned end.
        const double sweep = end - start;
        start = circle ? 0 : Wrap(mirrored ? turn - end : start + turn);
        end = start + sweep;
        s.kind = circle ? Shape::Circle : Shape::Arc;
        s.v[0] = at.x();
        s.v[1] = at.y();
        s.v[2] = radius;
        s.v[3] = start;
        s.v[4] = end;
        shapes_.push_back(s);
        return;
    }
    // A block stretched one way more than the other makes an ellipse of it:
    // its points, mapped.
    const int n = ArcSegments(start, end);
    if (points_.size() + static_cast<size_t>(n) + 1 > UINT32_MAX) return;
    s.kind = Shape::Polyline;
    s.first = static_cast<uint32_t>(points_.size());
    s.count = static_cast<uint32_t>(n + 1);
    for (int i = 0; i <= n; ++i) {
        const double a = ArcAngle(start, end, i, n);
        const QPointF p = t.map(QPointF(c.x() + r * std::cos(a), c.y() + r * std::sin(a)));
        if (!std::isfinite(p.x()) || !std::isfinite(p.y())) {
            points_.resize(s.first);
            return;
        }
        points_.push_back(p);
    }
    shapes_.push_back(s);
}

void DrawingView::AddEntity(const Record& e, const std::vector<Record>& records, size_t index, size_t entity,
                            const QTransform& t, int depth, uint32_t byBlock) {
    if (!LayerShown(e)) return;
    std::string_view type = e.Type();
    Shape s;
    s.entity = static_cast<uint32_t>(entity);
    s.rgb = ColorOf(e, byBlock);
    auto at = [&](int code) { return t.map(QPointF(e.Number(code), e.Number(code + 10))); };
    auto finite = [](QPointF p) { return std::isfinite(p.x()) && std::isfinite(p.y()); };
    if (type == "LINE") {
        const QPointF a = at(10), b = at(11);
        if (!finite(a) || !finite(b)) return;
        s.kind = Shape::Line;
        s.v[0] = a.x();
        s.v[1] = a.y();
        s.v[2] = b.x();
        s.v[3] = b.y();
    } else if (type == "CIRCLE" || type == "ARC") {
        AddCurve(e, type == "CIRCLE", t, s);
        return;
    } else if (type == "LWPOLYLINE" || type == "POLYLINE") {
        const size_t first = points_.size();
        bool ok = true;
        auto add = [&](double x, double y) {
            const QPointF p = t.map(QPointF(x, y));
            ok = ok && finite(p);
            points_.push_back(p);
        };
        if (type == "LWPOLYLINE") {
            double x = 0;
            for (size_t i = 0, n = e.XDataStart(); i < n; ++i) {
                const Group& g = e.groups[i];
                if (g.code == 10) ParseDouble(Trim(g.value), x);
                if (g.code == 20) {
                    double y = 0;
                    ParseDouble(Trim(g.value), y);
                    add(x, y);
                }
            }
        } else {
            for (size_t i = index + 1; i < records.size() && records[i].Type() == "VERTEX"; ++i)
                add(records[i].Number(10), records[i].Number(20));
        }
        if ((e.Integer(70) & 1) && points_.size() - first > 2) points_.push_back(points_[first]);
        const size_t count = points_.size() - first;
        if (!ok || count == 0 || points_.size() > UINT32_MAX) {
            points_.resize(first);
            return;
        }
        s.kind = Shape::Polyline;
        s.first = static_cast<uint32_t>(first);
        s.count = static_cast<uint32_t>(count);
    } else if (type == "POINT") {
        const QPointF a = at(10);
        if (!finite(a)) return;
        s.kind = Shape::Point;
        s.v[0] = a.x();
        s.v[1] = a.y();
    } else if (type == "TEXT" || type == "MTEXT") {
        s.kind = Shape::Text;
        bool aligned = type == "TEXT" && (e.Number(72) != 0 || e.Number(73) != 0) && e.Find(11);
        const QPointF a = aligned ? at(11) : at(10);
        QPointF unit = t.map(QPointF(1, 0)) - t.map(QPointF(0, 0));
        const double height = e.Number(40, 1) * std::hypot(unit.x(), unit.y());
        if (!(height > 0) || !std::isfinite(height) || !finite(a) || texts_.size() >= UINT32_MAX) return;
        QString text = QString::fromStdString(doc_->DecodeText(e.Text(1)));
        if (type == "MTEXT") {
            // The chunks of groups 3 in their order come before group 1's, the last.
            QString chunks;
            for (const Group& g : e.groups)
                if (g.code == 3) chunks += QString::fromStdString(doc_->DecodeText(g.value));
            text = chunks + text;
            text.replace(QLatin1String("\\P"), QLatin1String(" "));
        }
        s.v[0] = a.x();
        s.v[1] = a.y();
        s.v[2] = height;
        s.v[3] = e.Number(50) + std::atan2(unit.y(), unit.x()) * 180 / M_PI;
        s.first = static_cast<uint32_t>(texts_.size());
        texts_.push_back(std::move(text));
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
    shapes_.push_back(s);
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
    const bool none = shapes_.empty();
    if (none || width() < 2 || height() < 2) {
        origin_ = none ? QPointF(50, 50) : extents_.center();
        scale_ = none ? std::max(1.0, std::min(width(), height()) / 100.0) : scale_;
        return;
    }
    double w = std::max(extents_.width(), 1e-9), h = std::max(extents_.height(), 1e-9);
    // A drawing that is one point: some hundred units about it.
    if (extents_.width() <= 0 && extents_.height() <= 0) w = h = 100;
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
        if (s.kind != Shape::Text && s.kind != Shape::Point && !Meet(visible, Bounds(s))) continue;
        const bool picked = s.entity < pickedMask_.size() && pickedMask_[s.entity];
        // Most shapes share their pen with the one before.
        const uint64_t look = picked ? (uint64_t(1) << 32) : s.rgb;
        if (look != penLook) {
            QPen pen(picked ? QColor(255, 230, 90) : Rgb(s.rgb), picked ? 2.5 : 1.0);
            if (picked) pen.setStyle(Qt::DashLine);
            p.setPen(pen);
            penLook = look;
        }
        Draw(p, s, poly);
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

void DrawingView::Draw(QPainter& p, const Shape& s, QPolygonF& poly) const {
    switch (s.kind) {
        case Shape::Point: p.drawPoint(ToScreen(s.At())); return;
        case Shape::Line: p.drawLine(ToScreen(s.At()), ToScreen(QPointF(s.v[2], s.v[3]))); return;
        case Shape::Text: {
            double px = s.v[2] * scale_;
            QPointF at = ToScreen(s.At());
            if (px < 2 || px > 4000 || !QRectF(rect()).adjusted(-px * 40, -px * 2, px * 2, px * 2).contains(at)) return;
            p.save();
            p.translate(at);
            p.rotate(-s.v[3]);
            QFont f = font();
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(px))));
            p.setFont(f);
            p.drawText(QPointF(0, 0), texts_[s.first]);
            p.restore();
            return;
        }
        case Shape::Polyline:
            if (s.count == 1) {
                p.drawPoint(ToScreen(points_[s.first]));
            } else if (s.count == 2) {
                p.drawLine(ToScreen(points_[s.first]), ToScreen(points_[s.first + 1]));
            } else {
                poly.resize(static_cast<qsizetype>(s.count));
                for (uint32_t i = 0; i < s.count; ++i) poly[i] = ToScreen(points_[s.first + i]);
                p.drawPolyline(poly);
            }
            return;
        case Shape::Circle:
        case Shape::Arc: {
            // The polygon of one segment per five degrees, made here from
            // the centre and radius on the screen.
            const QPointF c = ToScreen(s.At());
            const double r = s.Radius() * scale_;
            if (s.kind == Shape::Circle) {
                const auto& unit = UnitCircle();
                poly.resize(static_cast<qsizetype>(unit.size()));
                for (size_t i = 0; i < unit.size(); ++i)
                    poly[static_cast<qsizetype>(i)] = QPointF(c.x() + r * unit[i].x(), c.y() - r * unit[i].y());
            } else {
                const int n = ArcSegments(s.StartAngle(), s.EndAngle());
                poly.resize(n + 1);
                for (int i = 0; i <= n; ++i) {
                    const double a = ArcAngle(s.StartAngle(), s.EndAngle(), i, n);
                    poly[i] = QPointF(c.x() + r * std::cos(a), c.y() - r * std::sin(a));
                }
            }
            p.drawPolyline(poly);
            return;
        }
    }
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
                QRectF b = s.kind == Shape::Text ? QRectF(s.At(), QSizeF(0, 0)) : Bounds(s);
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

double DrawingView::Distance(const Shape& s, QPointF screen) const {
    auto to = [&](QPointF world) {
        const QPointF q = ToScreen(world) - screen;
        return std::hypot(q.x(), q.y());
    };
    switch (s.kind) {
        case Shape::Point:
        case Shape::Text: return to(s.At());
        case Shape::Line: return SegmentDistance(screen, ToScreen(s.At()), ToScreen(QPointF(s.v[2], s.v[3])));
        case Shape::Polyline: {
            if (s.count == 1) return to(points_[s.first]);
            double d = 1e300;
            for (uint32_t i = s.first + 1; i < s.first + s.count; ++i)
                d = std::min(d, SegmentDistance(screen, ToScreen(points_[i - 1]), ToScreen(points_[i])));
            return d;
        }
        case Shape::Circle:
        case Shape::Arc: {
            // Across to the curve where the point lies within the arc's
            // angles, else to the nearer end.
            const QPointF w = ToWorld(screen) - s.At();
            if (s.kind == Shape::Circle || OnSweep(std::atan2(w.y(), w.x()) * 180 / M_PI, s.StartAngle(), s.EndAngle()))
                return std::abs(std::hypot(w.x(), w.y()) - s.Radius()) * scale_;
            auto end = [&](double deg) {
                const double r = deg * M_PI / 180;
                return to(s.At() + s.Radius() * QPointF(std::cos(r), std::sin(r)));
            };
            return std::min(end(s.StartAngle()), end(s.EndAngle()));
        }
    }
    return 1e300;
}

int DrawingView::HitAt(QPointF screen) const {
    double best = kPickPixels;
    int hit = -1;
    for (const Shape& s : shapes_) {
        const double d = Distance(s, screen);
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
