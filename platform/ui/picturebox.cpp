// The picture box: user scale, persistent drawing and its log.
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QPainterPath>
#include <QResizeEvent>

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <tuple>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {

class PictureWidget : public QWidget {
public:
    PictureWidget(PictureBox* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        owner_->PaintWidget(p, e->rect());
    }
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        owner_->WidgetResized();
    }
    // A picture box takes every mouse event over it (its own events are
    // raised by the control's event filter): a press, drag or release on a
    // box placed on another picture box must not reach that picture too.
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }
    void mouseMoveEvent(QMouseEvent* e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent* e) override { e->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { e->accept(); }

private:
    PictureBox* owner_;
};

QPainter::CompositionMode ModeOf(int drawMode) {
    switch (drawMode) {
    case vbInvert: return QPainter::RasterOp_NotDestination;
    case vbXorPen: return QPainter::RasterOp_SourceXorDestination;
    case vbNotXorPen: return QPainter::RasterOp_NotSourceXorDestination;
    case vbMergePen: return QPainter::RasterOp_SourceOrDestination;
    case vbMaskPen: return QPainter::RasterOp_SourceAndDestination;
    case vbNotCopyPen: return QPainter::RasterOp_NotSource;
    case vbNotMaskPen: return QPainter::RasterOp_NotSourceOrNotDestination;
    case vbNotMergePen: return QPainter::RasterOp_NotSourceAndNotDestination;
    case vbMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case vbMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case vbMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case vbMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    default: return QPainter::CompositionMode_SourceOver;
    }
}

Qt::PenStyle DrawStyleOf(int style, int width) {
    if (style == vbInvisible) return Qt::NoPen;
    if (width > 1) return Qt::SolidLine;
    switch (style) {
    case vbDash: return Qt::DashLine;
    case vbDot: return Qt::DotLine;
    case vbDashDot: return Qt::DashDotLine;
    case vbDashDotDot: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}

// The part of img in source, resampled to w x h and placed at (dx, dy)
// (both below one pixel) on a transparent image.  The last few are kept:
// the tabs of a strip stretch the same skin to the same few widths.
const QImage& ResampledPart(const QImage& img, double dx, double dy, double w, double h, const QRectF& source) {
    struct Made {
        qint64 image = 0;
        double dx = 0, dy = 0, w = 0, h = 0;
        QRectF source;
        QImage part;
    };
    static std::array<Made, 16> made;
    static size_t next = 0;
    for (const Made& m : made)
        if (!m.part.isNull() && m.image == img.cacheKey() && m.dx == dx && m.dy == dy && m.w == w && m.h == h &&
            m.source == source)
            return m.part;
    Made& m = made[next];
    next = (next + 1) % made.size();
    m = Made{img.cacheKey(), dx, dy, w, h, source,
             QImage(static_cast<int>(std::ceil(dx + w)), static_cast<int>(std::ceil(dy + h)),
                    QImage::Format_ARGB32_Premultiplied)};
    m.part.fill(Qt::transparent);
    QPainter q(&m.part);
    q.setRenderHint(QPainter::SmoothPixmapTransform, true);
    q.drawImage(QRectF(dx, dy, w, h), img, source);
    return m.part;
}

}  // namespace

PictureBox::PictureBox(Container& c) : Control(c) {
    backColor_ = vbButtonFace;
    foreColor_ = vbButtonText;
    widthTw_ = 1215;
    heightTw_ = 1215;
    SetWidget(new PictureWidget(this, c.ClientWidget()));
    clickOnRelease_ = true;
    EnsureCanvas();
}

// Fonts used lately, by the state that makes them; a box that sees more
// states than kMaxFonts (a zoom through many sizes) starts afresh.
struct PictureBox::FontCache {
    static constexpr size_t kMaxFonts = 64;
    using Key = std::tuple<std::string, double, bool, bool, bool, int>;
    struct Made {
        QFont font;
        QFontMetricsF metrics;
    };
    std::map<Key, Made> made;
    const Made* current = nullptr;
    Key currentKey;
    // Widths of the last texts measured in the current font: a text is
    // often measured and then printed (a tab's caption), and shaping it is
    // the costly part of both.
    static constexpr size_t kWidths = 8;
    std::array<std::pair<QString, double>, kWidths> widths;
    size_t nextWidth = 0;
    double Width(const QString& text) {
        for (const auto& [t, w] : widths)
            if (t == text && !t.isNull()) return w;
        const double w = current->metrics.horizontalAdvance(text);
        widths[nextWidth] = {text, w};
        nextWidth = (nextWidth + 1) % kWidths;
        return w;
    }
};

const PictureBox::FontCache& PictureBox::CurrentFont() const {
    if (!fonts_) fonts_ = std::make_unique<FontCache>();
    FontCache& c = *fonts_;
    FontCache::Key key{font_.Name, font_.Size, font_.Bold, font_.Italic, font_.Underline, font_.HeightPixels};
    if (c.current && c.currentKey == key) return c;
    c.widths.fill({});
    auto it = c.made.find(key);
    if (it == c.made.end()) {
        if (c.made.size() >= FontCache::kMaxFonts) c.made.clear();
        QFont f = ToQFont(font_);
        it = c.made.emplace(key, FontCache::Made{f, QFontMetricsF(f)}).first;
    }
    c.current = &it->second;
    c.currentKey = std::move(key);
    return c;
}

PictureBox::~PictureBox() { EndPainting(); }

// --- Geometry and scale ------------------------------------------------------------------------
PictureBox::Area PictureBox::ShownArea() const {
    Area a;
    if (!widget_) return a;
    QRect shown(BorderPixels(), BorderPixels(), ClientWidthPixels(), ClientHeightPixels());
    for (const QWidget* w = widget_; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        const QWidget* around = w->parentWidget();
        shown &= QRect(widget_->mapFrom(around, QPoint(0, 0)), around->size());
    }
    if (const QScreen* screen = widget_->screen()) {
        const QRect work = screen->availableGeometry();
        shown &= QRect(widget_->mapFromGlobal(work.topLeft()), work.size());
    }
    if (shown.isEmpty()) return a;
    const double x0 = PixelsToUnitsX(shown.left()), x1 = PixelsToUnitsX(shown.left() + shown.width());
    const double y0 = PixelsToUnitsY(shown.top()), y1 = PixelsToUnitsY(shown.top() + shown.height());
    a.Left = std::min(x0, x1);
    a.Top = std::min(y0, y1);
    a.Width = std::fabs(x1 - x0);
    a.Height = std::fabs(y1 - y0);
    return a;
}

int PictureBox::ClientWidthPixels() const {
    int w = static_cast<int>(std::lround(widthTw_ / kTwipsPerPixel)) - 2 * BorderPixels();
    return std::max(0, w);
}
int PictureBox::ClientHeightPixels() const {
    int h = static_cast<int>(std::lround(heightTw_ / kTwipsPerPixel)) - 2 * BorderPixels();
    return std::max(0, h);
}

double PictureBox::ScaleWidth() const {
    switch (scaleMode_) {
    case vbUser: return userScaleWidth_;
    case vbPixels: return ClientWidthPixels();
    case vbPoints: return ClientWidthPixels() * 0.75;
    default: return ClientWidthPixels() * double(kTwipsPerPixel);
    }
}
double PictureBox::ScaleHeight() const {
    switch (scaleMode_) {
    case vbUser: return userScaleHeight_;
    case vbPixels: return ClientHeightPixels();
    case vbPoints: return ClientHeightPixels() * 0.75;
    default: return ClientHeightPixels() * double(kTwipsPerPixel);
    }
}
// Setting one scale property switches to a user scale that keeps the extent
// the box had, so the properties not set stay as they were.
void PictureBox::EnterUserScale() {
    if (scaleMode_ == vbUser) return;
    userScaleWidth_ = ScaleWidth();
    userScaleHeight_ = ScaleHeight();
    scaleMode_ = vbUser;
}
void PictureBox::ScaleLeft(double v) {
    EnterUserScale();
    scaleLeft_ = v;
}
void PictureBox::ScaleTop(double v) {
    EnterUserScale();
    scaleTop_ = v;
}
void PictureBox::ScaleWidth(double v) {
    if (v == 0) throw VbError(380, "Invalid property value");
    EnterUserScale();
    userScaleWidth_ = v;
}
void PictureBox::ScaleHeight(double v) {
    if (v == 0) throw VbError(380, "Invalid property value");
    EnterUserScale();
    userScaleHeight_ = v;
}
void PictureBox::ScaleMode(int mode) {
    if (mode == vbUser) {
        EnterUserScale();
        return;
    }
    if (mode != vbTwips && mode != vbPixels && mode != vbPoints) throw VbError(380, "Invalid property value");
    scaleMode_ = mode;
    scaleLeft_ = 0;
    scaleTop_ = 0;
}
void PictureBox::Scale(double x1, double y1, double x2, double y2) {
    if (x2 == x1 || y2 == y1) throw VbError(380, "Invalid property value");
    scaleMode_ = vbUser;
    scaleLeft_ = x1;
    scaleTop_ = y1;
    userScaleWidth_ = x2 - x1;
    userScaleHeight_ = y2 - y1;
}
void PictureBox::Scale() { ScaleMode(vbTwips); }

// Positions of children and of the mouse are measured from the widget's
// corner; the scale covers the client area inside the border.
double PictureBox::SizeToPixelsX(double w) const {
    double sw = ScaleWidth();
    return sw == 0 ? 0 : w * ClientWidthPixels() / sw;
}
double PictureBox::SizeToPixelsY(double h) const {
    double sh = ScaleHeight();
    return sh == 0 ? 0 : h * ClientHeightPixels() / sh;
}
double PictureBox::PixelsToSizeX(double px) const {
    int cw = ClientWidthPixels();
    return cw == 0 ? 0 : px * ScaleWidth() / cw;
}
double PictureBox::PixelsToSizeY(double py) const {
    int ch = ClientHeightPixels();
    return ch == 0 ? 0 : py * ScaleHeight() / ch;
}
double PictureBox::UnitsToPixelsX(double x) const { return BorderPixels() + CanvasX(x); }
double PictureBox::UnitsToPixelsY(double y) const { return BorderPixels() + CanvasY(y); }
double PictureBox::PixelsToUnitsX(double px) const { return scaleLeft_ + PixelsToSizeX(px - BorderPixels()); }
double PictureBox::PixelsToUnitsY(double py) const { return scaleTop_ + PixelsToSizeY(py - BorderPixels()); }
float PictureBox::MouseXFromPixels(double px) const { return static_cast<float>(PixelsToUnitsX(px)); }
float PictureBox::MouseYFromPixels(double py) const { return static_cast<float>(PixelsToUnitsY(py)); }

void PictureBox::BorderStyle(int b) {
    borderStyle_ = b ? 1 : 0;
    EnsureCanvas();
    if (widget_) widget_->update();
}

// --- Canvas -------------------------------------------------------------------------------------------
// A wide canvas (a strip of thousands of tabs runs to tens of megabytes)
// lies in address space reserved for rows far longer than it needs: the
// kernel hands out a page only when a pixel on it is first written, so a
// canvas that grows sideways takes the new columns' pages alone, and nothing
// is copied.  The mapping is given back when the last image over it goes.
struct PictureBox::CanvasMemory {
    uchar* at = nullptr;
    size_t size = 0;
    qsizetype stride = 0;   // bytes per row
    int rows = 0;
    ~CanvasMemory() {
        if (at) munmap(at, size);
    }
    // An image of the first w pixels of every row.
    static std::unique_ptr<QImage> Image(const std::shared_ptr<CanvasMemory>& m, int w) {
        auto* keep = new std::shared_ptr<CanvasMemory>(m);
        return std::make_unique<QImage>(
            m->at, w, m->rows, m->stride, QImage::Format_RGB32,
            [](void* info) { delete static_cast<std::shared_ptr<CanvasMemory>*>(info); }, keep);
    }
};

namespace {

constexpr size_t kLargeCanvas = size_t(4) << 20;   // bytes
constexpr size_t kMaxReservation = size_t(1) << 30;

}  // namespace

void PictureBox::EnsureCanvas() {
    int w = std::max(1, ClientWidthPixels());
    int h = std::max(1, ClientHeightPixels());
    if (canvas_ && canvas_->width() >= w && canvas_->height() >= h) return;
    const QRgb back = ToQColor(backColor_).rgb();
    const bool inReservation = canvas_ && canvasMemory_ && canvas_->constBits() == canvasMemory_->at;
    // What is recorded is carried out first as far as it reaches beyond the
    // canvas's edge, where drawing at once would have lost it.
    if (inReservation && h <= canvas_->height() && static_cast<qsizetype>(w) * 4 <= canvasMemory_->stride) {
        Realize(canvas_->width() - 1, canvas_->width());
        EndPainting();
        // Wider within the reserved rows: the old pixels stay where they
        // are, the new columns get BackColor.
        const int oldW = canvas_->width();
        const int newW = static_cast<int>(std::min<int64_t>(canvasMemory_->stride / 4, std::max<int64_t>(w, oldW + oldW / 4)));
        canvas_ = CanvasMemory::Image(canvasMemory_, newW);
        if (pending_) {
            // Filled band by band as the bands are needed: the pages of a
            // band never looked at are never handed out.
            Draw(oldW, newW, [oldW, newW, back](QPainter& p) {
                p.setCompositionMode(QPainter::CompositionMode_Source);
                p.fillRect(QRect(oldW, 0, newW - oldW, p.device()->height()), QColor::fromRgb(back));
            });
        } else {
            for (int y = 0; y < canvas_->height(); ++y) {
                QRgb* row = reinterpret_cast<QRgb*>(canvas_->scanLine(y));
                std::fill(row + oldW, row + newW, back);
            }
        }
        return;
    }
    // The drawing is kept when the box grows; the new area gets BackColor.
    // A side that grows gets twice the room it had, so that a box widened
    // step by step is copied only a few times on the way.  Every pixel of
    // the new image is written once: the old rows are copied, the rest is
    // filled.
    RealizeAll();
    EndPainting();
    auto roomFor = [](int wanted, int had) {
        return wanted <= had ? had : static_cast<int>(std::min<int64_t>(QWIDGETSIZE_MAX, std::max<int64_t>(wanted, 2 * int64_t(had))));
    };
    const int newW = roomFor(w, canvas_ ? canvas_->width() : 0), newH = roomFor(h, canvas_ ? canvas_->height() : 0);
    std::unique_ptr<QImage> grown;
    std::shared_ptr<CanvasMemory> memory;
    if (sizeof(QRgb) * static_cast<size_t>(newW) * static_cast<size_t>(newH) >= kLargeCanvas) {
        // Rows with room for sixteen times the width (within the box's
        // largest width and a bounded reservation).
        const size_t rowsBytes = sizeof(QRgb) * static_cast<size_t>(newH);
        const size_t roomW = std::max<size_t>(
            newW, std::min<size_t>({size_t(16) * newW, size_t(QWIDGETSIZE_MAX), kMaxReservation / rowsBytes}));
        const size_t stride = sizeof(QRgb) * roomW;
        const size_t size = stride * static_cast<size_t>(newH);
        void* at = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (at != MAP_FAILED) {
            memory = std::make_shared<CanvasMemory>();
            memory->at = static_cast<uchar*>(at);
            memory->size = size;
            memory->stride = static_cast<qsizetype>(stride);
            memory->rows = newH;
            grown = CanvasMemory::Image(memory, newW);
        }
    }
    if (!grown) grown = std::make_unique<QImage>(newW, newH, QImage::Format_RGB32);
    if (grown->isNull()) {
        // No memory for it: the drawing keeps the canvas it has (what lies
        // beyond it is not drawn).
        if (!canvas_) canvas_ = std::make_unique<QImage>(1, 1, QImage::Format_RGB32);
        return;
    }
    if (canvas_ && canvas_->format() == QImage::Format_RGB32) {
        const int oldW = canvas_->width(), oldH = canvas_->height();
        for (int y = 0; y < grown->height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(grown->scanLine(y));
            int from = 0;
            if (y < oldH) {
                std::memcpy(row, canvas_->constScanLine(y), sizeof(QRgb) * static_cast<size_t>(oldW));
                from = oldW;
            }
            std::fill(row + from, row + grown->width(), back);
        }
    } else if (canvas_) {
        grown->fill(back);
        QPainter p(grown.get());
        p.drawImage(0, 0, *canvas_);
    } else if (picture_ && !picture_->IsEmpty()) {
        grown->fill(back);
        QPainter p(grown.get());
        p.drawImage(0, 0, picture_->image());
    } else {
        grown->fill(back);
    }
    canvas_ = std::move(grown);
    canvasMemory_ = std::move(memory);
}

// Each band of kBand columns keeps, in order, the recorded drawings that
// touch it.  Bands are carried out a run at a time, every drawing of the run
// in the order it was made and clipped to the run, so every pixel gets its
// drawings in their order whichever run is done first.  A stretched picture
// comes out slightly differently where it is clipped, so a run always takes
// in the whole of every such picture it touches.
struct PictureBox::Pending {
    static constexpr int kBand = 1024;
    struct Drawing {
        std::function<void(QPainter&)> draw;
        int first = 0, last = 0;   // bands touched
        bool whole = false;        // not to be clipped
    };
    std::vector<Drawing> draws;
    std::vector<std::vector<uint32_t>> bands;
    size_t waiting = 0;   // bands with drawings not yet carried out
    bool realizing = false;
};

void PictureBox::DrawOnDemand(bool on) {
    if (on && !pending_) pending_ = std::make_unique<Pending>();
    if (!on && pending_) {
        RealizeAll();
        pending_.reset();
    }
}

void PictureBox::Draw(double x0, double x1, std::function<void(QPainter&)> draw, bool whole) {
    const double reach = canvas_ ? canvas_->width() : 0;
    if (!pending_ || pending_->realizing || !(x0 <= x1)) {
        draw(CanvasPainter());
        return;
    }
    // Wholly beside the canvas it would draw nothing.
    if (x1 <= 0 || x0 >= reach) return;
    Pending& d = *pending_;
    const int first = static_cast<int>(std::max(0.0, x0)) / Pending::kBand;
    const int last = static_cast<int>(std::min(reach - 1, x1)) / Pending::kBand;
    if (d.bands.size() <= static_cast<size_t>(last)) d.bands.resize(static_cast<size_t>(last) + 1);
    const auto index = static_cast<uint32_t>(d.draws.size());
    d.draws.push_back(Pending::Drawing{std::move(draw), first, last, whole});
    for (int b = first; b <= last; ++b) {
        auto& band = d.bands[static_cast<size_t>(b)];
        if (band.empty()) ++d.waiting;
        band.push_back(index);
    }
}

void PictureBox::Realize(int x0, int x1) const {
    if (!pending_ || pending_->waiting == 0 || pending_->realizing || !canvas_) return;
    Pending& d = *pending_;
    int first = std::max(0, x0) / Pending::kBand;
    int last = std::min<int>(static_cast<int>(d.bands.size()) - 1, std::max(x0, x1 - 1) / Pending::kBand);
    if (first > last) return;
    // Widened until no drawing that must not be clipped reaches out of it.
    for (bool wider = true; wider;) {
        wider = false;
        for (int b = first; b <= last; ++b)
            for (uint32_t i : d.bands[static_cast<size_t>(b)]) {
                const Pending::Drawing& g = d.draws[i];
                if (g.whole && (g.first < first || g.last > last)) {
                    first = std::min(first, g.first);
                    last = std::max(last, g.last);
                    wider = true;
                }
            }
    }
    std::vector<uint32_t> run;
    for (int b = first; b <= last; ++b) {
        const auto& band = d.bands[static_cast<size_t>(b)];
        run.insert(run.end(), band.begin(), band.end());
    }
    std::sort(run.begin(), run.end());
    run.erase(std::unique(run.begin(), run.end()), run.end());
    // A drawing is carried out on the bands of the run where it still
    // waits (those done before have had it already), a stretch of them at
    // a time.
    auto waitsIn = [&](int b, uint32_t i) {
        const auto& band = d.bands[static_cast<size_t>(b)];
        return std::binary_search(band.begin(), band.end(), i);
    };
    d.realizing = true;
    auto* self = const_cast<PictureBox*>(this);
    for (uint32_t i : run) {
        const Pending::Drawing& g = d.draws[i];
        const int end = std::min(last, g.last);
        for (int b = std::max(first, g.first); b <= end; ++b) {
            if (!waitsIn(b, i)) continue;
            int e = b;
            while (e < end && waitsIn(e + 1, i)) ++e;
            QPainter& p = self->CanvasPainter();
            p.setClipRect(QRect(b * Pending::kBand, 0, (e - b + 1) * Pending::kBand, canvas_->height()));
            g.draw(p);
            b = e;
        }
    }
    for (int b = first; b <= last; ++b) {
        auto& band = d.bands[static_cast<size_t>(b)];
        if (band.empty()) continue;
        band.clear();
        band.shrink_to_fit();
        --d.waiting;
    }
    if (painter_) painter_->setClipping(false);
    d.realizing = false;
    if (d.waiting == 0) {
        d.draws.clear();
        d.bands.clear();
    }
}

void PictureBox::RealizeAll() const { Realize(0, std::numeric_limits<int>::max()); }

void PictureBox::DropPending() {
    if (!pending_) return;
    pending_->draws.clear();
    pending_->bands.clear();
    pending_->waiting = 0;
}

const QImage& PictureBox::canvas() const {
    RealizeAll();
    EndPainting();
    return *canvas_;
}

QPainter& PictureBox::CanvasPainter() {
    // Drawing done at once comes after everything recorded before it.
    if (pending_ && pending_->waiting && !pending_->realizing) RealizeAll();
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(canvas_.get());
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setRenderHint(QPainter::TextAntialiasing, true);
    }
    QPainter& p = *painter_;
    p.setCompositionMode(ModeOf(drawMode_));
    p.resetTransform();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    return p;
}

void PictureBox::EndPainting() const { painter_.reset(); }

void PictureBox::Touched() {
    if (widget_ && !inPaint_) widget_->update();
}

void PictureBox::PaintWidget(QPainter& painter, const QRect& area) {
    if (!autoRedraw_ && Paint) {
        inPaint_ = true;
        std::weak_ptr<int> alive = life_;
        RaiseEvent(Paint);
        if (alive.expired()) return;
        inPaint_ = false;
    }
    EnsureCanvas();
    int b = BorderPixels();
    Realize(area.left() - b, area.left() - b + area.width());
    EndPainting();
    QRect client(b, b, ClientWidthPixels(), ClientHeightPixels());
    painter.fillRect(widget_->rect(), ToQColor(backColor_));
    painter.drawImage(client.topLeft(), *canvas_, QRect(0, 0, client.width(), client.height()));
    if (b) {
        QRect r = widget_->rect();
        painter.setPen(QColor(160, 160, 160));
        painter.drawLine(r.left(), r.top(), r.right(), r.top());
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
        painter.setPen(QColor(105, 105, 105));
        painter.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        painter.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
        painter.setPen(QColor(255, 255, 255));
        painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
        painter.setPen(QColor(227, 227, 227));
        painter.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
        painter.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    }
}

void PictureBox::WidgetResized() {
    EnsureCanvas();
    RaiseEvent(Resize);
}

void PictureBox::Log(DrawEntry e) { log_.push_back(std::move(e)); }

DrawEntry PictureBox::PenEntry(DrawEntry::Kind kind, double x1, double y1, double x2, double y2, int32_t color) const {
    DrawEntry e;
    e.kind = kind;
    e.x1 = x1;
    e.y1 = y1;
    e.x2 = x2;
    e.y2 = y2;
    e.color = color;
    e.drawWidth = drawWidth_;
    e.drawStyle = drawStyle_;
    e.drawMode = drawMode_;
    return e;
}

int32_t PictureBox::ResolveColor(std::optional<int32_t> c) const { return detail::ResolveColor(c ? *c : foreColor_); }

void PictureBox::ForeColor(int32_t c) { foreColor_ = c; }

void PictureBox::BackColor(int32_t c) {
    backColor_ = c;
    // Setting the back colour erases what was drawn, as Cls does.
    double x = currentX_, y = currentY_;
    Cls();
    currentX_ = x;
    currentY_ = y;
}

void PictureBox::DrawWidth(int w) {
    if (w < 1 || w > 32767) throw VbError(380, "Invalid property value");
    drawWidth_ = w;
}

void PictureBox::Font(const vb::Font& f) { font_ = f; }
void PictureBox::FontEscapement(int tenths) { font_.Escapement = tenths; }
void PictureBox::FontHeightPixels(int h) { font_.HeightPixels = h; }

// --- Drawing --------------------------------------------------------------------------------------------
void PictureBox::Cls() {
    EndPainting();
    DropPending();
    // A canvas left much larger than the box by an earlier, larger size is
    // given back here, where everything on it is cleared anyway (unless a
    // background picture would have to be drawn on it again).
    if (canvas_ && !(picture_ && !picture_->IsEmpty())) {
        const int64_t held = int64_t(canvas_->width()) * canvas_->height();
        const int64_t needed = int64_t(std::max(1, ClientWidthPixels())) * std::max(1, ClientHeightPixels());
        if (held > 4 * needed) {
            canvas_.reset();
            canvasMemory_.reset();
        }
    }
    DropPending();
    EnsureCanvas();
    if (pending_ && !(picture_ && !picture_->IsEmpty())) {
        const QColor back = ToQColor(backColor_);
        Draw(0, canvas_->width(), [back](QPainter& p) {
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(QRect(0, 0, p.device()->width(), p.device()->height()), back);
        });
    } else {
        canvas_->fill(ToQColor(backColor_));
        if (picture_ && !picture_->IsEmpty()) {
            QPainter p(canvas_.get());
            p.drawImage(0, 0, picture_->image());
        }
    }
    log_.clear();
    currentX_ = scaleLeft_;
    currentY_ = scaleTop_;
    Touched();
}

void PictureBox::Line(double x1, double y1, double x2, double y2, std::optional<int32_t> color, LineForm form) {
    EnsureCanvas();
    int32_t col = ResolveColor(color);
    QColor qc = ToQColor(col);
    auto px = [&](double x) { return static_cast<int>(std::lround(CanvasX(x))); };
    auto py = [&](double y) { return static_cast<int>(std::lround(CanvasY(y))); };
    int ax = px(x1), ay = py(y1), bx = px(x2), by = py(y2);
    {
        QPainter& p = CanvasPainter();
        QPen pen(qc);
        pen.setWidth(drawWidth_ > 1 ? drawWidth_ : 0);
        pen.setStyle(DrawStyleOf(drawStyle_, drawWidth_));
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::MiterJoin);
        QRect box(QPoint(std::min(ax, bx), std::min(ay, by)), QPoint(std::max(ax, bx), std::max(ay, by)));
        switch (form) {
        case LineForm::Line:
            p.setPen(pen);
            if (ax == bx && ay == by) {
                p.drawPoint(ax, ay);
            } else {
                p.drawLine(ax, ay, bx, by);
            }
            break;
        case LineForm::Box:
            if (fillStyle_ != vbFSTransparent) {
                p.fillRect(box, QBrush(ToQColor(fillColor_), fillStyle_ == vbFSSolid ? Qt::SolidPattern : Qt::CrossPattern));
            }
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawRect(box);
            break;
        case LineForm::FilledBox:
            p.fillRect(box.adjusted(0, 0, 1, 1), qc);
            break;
        }
    }
    DrawEntry::Kind kind = form == LineForm::Line ? DrawEntry::Kind::Line
                         : form == LineForm::Box  ? DrawEntry::Kind::Box
                                                  : DrawEntry::Kind::FilledBox;
    Log(PenEntry(kind, x1, y1, x2, y2, col));
    currentX_ = x2;
    currentY_ = y2;
    Touched();
}

void PictureBox::LineTo(double x2, double y2, std::optional<int32_t> color) {
    Line(currentX_, currentY_, x2, y2, color);
}

void PictureBox::PSet(double x, double y, std::optional<int32_t> color) {
    EnsureCanvas();
    int32_t col = ResolveColor(color);
    int ax = static_cast<int>(std::lround(CanvasX(x)));
    int ay = static_cast<int>(std::lround(CanvasY(y)));
    {
        QPainter& p = CanvasPainter();
        if (drawWidth_ <= 1) {
            p.setPen(ToQColor(col));
            p.drawPoint(ax, ay);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(ToQColor(col));
            double r = drawWidth_ / 2.0;
            p.drawEllipse(QPointF(ax, ay), r, r);
        }
    }
    Log(PenEntry(DrawEntry::Kind::PSet, x, y, x, y, col));
    currentX_ = x;
    currentY_ = y;
    Touched();
}

void PictureBox::Circle(double x, double y, double radius, std::optional<int32_t> color, std::optional<double> start,
                        std::optional<double> end, double aspect) {
    EnsureCanvas();
    int32_t col = ResolveColor(color);
    double cx = CanvasX(x), cy = CanvasY(y);
    double r = std::abs(SizeToPixelsX(radius));
    double rx = r, ry = r;
    if (aspect > 1) {
        rx = r / aspect;
    } else {
        ry = r * aspect;
    }
    {
        QPainter& p = CanvasPainter();
        QPen pen(ToQColor(col));
        pen.setWidth(drawWidth_ > 1 ? drawWidth_ : 0);
        pen.setStyle(DrawStyleOf(drawStyle_, drawWidth_));
        p.setPen(pen);
        QRectF rect(cx - rx, cy - ry, 2 * rx, 2 * ry);
        QBrush fill = fillStyle_ == vbFSTransparent ? QBrush(Qt::NoBrush) : QBrush(ToQColor(fillColor_));
        if (!start && !end) {
            p.setBrush(fill);
            p.drawEllipse(rect);
        } else {
            double a0 = start ? *start : 0.0, a1 = end ? *end : 2 * M_PI;
            bool spoke0 = a0 < 0, spoke1 = a1 < 0;
            a0 = std::abs(a0);
            a1 = std::abs(a1);
            double span = a1 - a0;
            if (span <= 0) span += 2 * M_PI;
            int qa0 = static_cast<int>(std::lround(a0 * 180 / M_PI * 16));
            int qspan = static_cast<int>(std::lround(span * 180 / M_PI * 16));
            if (spoke0 && spoke1) {
                p.setBrush(fill);
                p.drawPie(rect, qa0, qspan);
            } else {
                p.setBrush(Qt::NoBrush);
                p.drawArc(rect, qa0, qspan);
                auto edge = [&](double a) { return QPointF(cx + rx * std::cos(a), cy - ry * std::sin(a)); };
                if (spoke0) p.drawLine(QPointF(cx, cy), edge(a0));
                if (spoke1) p.drawLine(QPointF(cx, cy), edge(a1));
            }
        }
    }
    Log(PenEntry(DrawEntry::Kind::Circle, x, y, radius, aspect, col));
    currentX_ = x;
    currentY_ = y;
    Touched();
}

void PictureBox::Print(const std::string& text, bool newLine) {
    EnsureCanvas();
    const FontCache::Made& made = *CurrentFont().current;
    const QFont& f = made.font;
    const QFontMetricsF& m = made.metrics;
    double angle = font_.Escapement / 10.0;
    int32_t col = detail::ResolveColor(foreColor_);
    double startX = currentX_, startY = currentY_;
    QString q = Q(text);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = q.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        double ax = CanvasX(currentX_);
        double ay = CanvasY(currentY_);
        const double x = std::round(ax), y = std::round(ay), width = fonts_->Width(line), height = m.height();
        const QColor back = fontTransparent_ ? QColor() : ToQColor(backColor_), pen = ToQColor(col);
        auto draw = [f, x, y, angle, width, height, back, pen, ascent = m.ascent(), line,
                     mode = ModeOf(drawMode_)](QPainter& p) {
            p.setCompositionMode(mode);
            p.setFont(f);
            p.translate(x, y);
            p.rotate(-angle);
            if (back.isValid()) p.fillRect(QRectF(0, 0, width, height), back);
            p.setPen(pen);
            p.drawText(QPointF(0, ascent), line);
        };
        // Glyphs may reach past their advance by a fraction of the height.
        if (angle == 0) Draw(x - height, x + width + height, std::move(draw));
        else draw(CanvasPainter());
        bool last = i == lines.size() - 1;
        if (!last || newLine) {
            currentX_ = scaleLeft_;
            currentY_ += PixelsToSizeY(m.height());
        } else {
            currentX_ += PixelsToSizeX(fonts_->Width(line));
        }
    }
    DrawEntry e = PenEntry(DrawEntry::Kind::Text, startX, startY, currentX_, currentY_, col);
    e.text = text;
    e.fontHeight = font_.HeightPixels != 0 ? font_.HeightPixels : static_cast<int>(std::lround(m.height()));
    e.angle = angle;
    e.fontName = font_.Name;
    Log(std::move(e));
    Touched();
}

double PictureBox::TextWidth(const std::string& text) const {
    CurrentFont();
    double widest = 0;
    for (const QString& line : Q(text).split(QLatin1Char('\n'))) {
        QString l = line;
        l.remove(QLatin1Char('\r'));
        widest = std::max(widest, fonts_->Width(l));
    }
    return PixelsToSizeX(widest);
}

double PictureBox::TextHeight(const std::string& text) const {
    const QFontMetricsF& m = CurrentFont().current->metrics;
    int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    return PixelsToSizeY(m.height() * lines);
}

void PictureBox::PaintPicture(const PictureRef& picture, double x, double y, std::optional<double> width,
                              std::optional<double> height, std::optional<double> srcX, std::optional<double> srcY,
                              std::optional<double> srcWidth, std::optional<double> srcHeight) {
    if (!picture || picture->IsEmpty()) throw VbError(481, "Invalid picture");
    EnsureCanvas();
    const QImage& img = picture->image();
    double tx = CanvasX(x), ty = CanvasY(y);
    double tw = width ? SizeToPixelsX(*width) : img.width();
    double th = height ? SizeToPixelsY(*height) : img.height();
    // The source rectangle is given in the box's scale units, as the target.
    double sx = srcX ? SizeToPixelsX(*srcX) : 0, sy = srcY ? SizeToPixelsY(*srcY) : 0;
    double sw = srcWidth ? SizeToPixelsX(*srcWidth) : img.width() - sx;
    double sh = srcHeight ? SizeToPixelsY(*srcHeight) : img.height() - sy;
    // Sizes and places that a scale computed within rounding of a whole
    // pixel are that pixel, so that a picture drawn at its own size is
    // copied rather than resampled.
    auto snap = [](double v) {
        const double r = std::round(v);
        return std::abs(v - r) < 1e-6 ? r : v;
    };
    tx = snap(tx), ty = snap(ty), tw = snap(tw), th = snap(th);
    sx = snap(sx), sy = snap(sy), sw = snap(sw), sh = snap(sh);
    // Qt resamples far more slowly once the target lies beyond 32,767
    // pixels (a strip of thousands of tabs reaches far past that): a
    // stretched picture there is resampled into a small image of its own
    // first and then copied into place.
    constexpr double kFastReach = 32000;
    const bool scaled = tw != sw || th != sh;
    const bool resampled = scaled && tw > 0 && th > 0 && tw < 4096 && th < 4096 &&
                           (std::abs(tx) + tw > kFastReach || std::abs(ty) + th > kFastReach);
    auto draw = [img, tx, ty, tw, th, sx, sy, sw, sh, resampled, mode = ModeOf(drawMode_)](QPainter& p) {
        p.setCompositionMode(mode);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        if (resampled) {
            const double ox = std::floor(tx), oy = std::floor(ty);
            p.drawImage(QPointF(ox, oy), ResampledPart(img, tx - ox, ty - oy, tw, th, QRectF(sx, sy, sw, sh)));
        } else {
            p.drawImage(QRectF(tx, ty, tw, th), img, QRectF(sx, sy, sw, sh));
        }
    };
    // Smoothing may blend a pixel or two beyond the target.
    Draw(std::min(tx, tx + tw) - 2, std::max(tx, tx + tw) + 2, std::move(draw), !resampled);
    DrawEntry e;
    e.kind = DrawEntry::Kind::Picture;
    e.x1 = x;
    e.y1 = y;
    e.x2 = width ? *width : PixelsToSizeX(img.width());
    e.y2 = height ? *height : PixelsToSizeY(img.height());
    e.drawMode = drawMode_;
    Log(std::move(e));
    Touched();
}

int32_t PictureBox::Point(double x, double y) const {
    int ax = static_cast<int>(std::lround(CanvasX(x)));
    int ay = static_cast<int>(std::lround(CanvasY(y)));
    if (ax < 0 || ay < 0 || ax >= ClientWidthPixels() || ay >= ClientHeightPixels()) return -1;
    // A box that grew while hidden has not had its canvas grown yet.
    const_cast<PictureBox*>(this)->EnsureCanvas();
    Realize(ax, ax + 1);
    EndPainting();
    return FromQColor(canvas_->pixelColor(ax, ay));
}

void PictureBox::Picture(PictureRef p) {
    picture_ = std::move(p);
    EnsureCanvas();
    RealizeAll();
    EndPainting();
    if (picture_ && !picture_->IsEmpty()) {
        QPainter painter(canvas_.get());
        painter.drawImage(0, 0, picture_->image());
    }
    Touched();
    RaiseEvent(Change);
}

PictureRef PictureBox::Image() const {
    const_cast<PictureBox*>(this)->EnsureCanvas();
    RealizeAll();
    EndPainting();
    QImage copy = canvas_->copy(0, 0, std::max(1, ClientWidthPixels()), std::max(1, ClientHeightPixels()));
    return std::make_shared<StdPicture>(copy);
}

void PictureBox::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    auto* s = dynamic_cast<const PictureBox*>(&source);
    if (!s) return;
    scaleMode_ = s->scaleMode_;
    scaleLeft_ = s->scaleLeft_;
    scaleTop_ = s->scaleTop_;
    userScaleWidth_ = s->userScaleWidth_;
    userScaleHeight_ = s->userScaleHeight_;
    fillColor_ = s->fillColor_;
    fillStyle_ = s->fillStyle_;
    drawWidth_ = s->drawWidth_;
    drawStyle_ = s->drawStyle_;
    drawMode_ = s->drawMode_;
    fontTransparent_ = s->fontTransparent_;
    autoRedraw_ = s->autoRedraw_;
    borderStyle_ = s->borderStyle_;
    picture_ = s->picture_;
    // A new canvas starts as BackColor with the picture drawn on it.
    EndPainting();
    DropPending();
    canvas_.reset();
    canvasMemory_.reset();
    EnsureCanvas();
    Touched();
}

}  // namespace vb
