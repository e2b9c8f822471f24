// The grid control, painted by hand on a scroll area so that its cell
// geometry is exactly what CellLeft/CellTop/CellWidth/CellHeight report.
#include <QAbstractScrollArea>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {

constexpr double kDefaultColWidthTwips = 960;

class GridWidget : public QAbstractScrollArea {
public:
    GridWidget(FlexGrid* owner, QWidget* parent) : QAbstractScrollArea(parent), owner_(owner) {
        setFocusPolicy(Qt::StrongFocus);
        setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        viewport()->setAutoFillBackground(true);
        QPalette pal = viewport()->palette();
        pal.setColor(QPalette::Window, ToQColor(vbButtonShadow));
        viewport()->setPalette(pal);
    }
    bool syncing = false;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent* e) override {
        QAbstractScrollArea::resizeEvent(e);
        owner_->Relayout();
    }
    void scrollContentsBy(int, int) override {}

private:
    FlexGrid* owner_;
};

bool LooksNumeric(const QString& s) {
    bool ok = false;
    s.trimmed().toDouble(&ok);
    return ok && !s.trimmed().isEmpty();
}

void GridWidget::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    FlexGrid& g = *owner_;
    QFontMetrics fm(font());
    int vw = viewport()->width(), vh = viewport()->height();
    p.fillRect(QRect(0, 0, vw, vh), ToQColor(vbButtonShadow));
    QColor fixedBack = ToQColor(vbButtonFace);
    QColor cellBack = Qt::white;
    QColor gridLine(192, 192, 192);
    QColor fixedLine(128, 128, 128);
    QColor highlight = ToQColor(vbHighlight);
    int r0 = std::min(g.Row(), g.RowSel()), r1 = std::max(g.Row(), g.RowSel());
    int c0 = std::min(g.Col(), g.ColSel()), c1 = std::max(g.Col(), g.ColSel());
    auto rowsToDraw = [&] {
        std::vector<int> rows;
        for (int r = 0; r < g.FixedRows() && r < g.Rows(); ++r) rows.push_back(r);
        for (int r = g.TopRow(); r < g.Rows(); ++r) {
            if (g.CellYPixels(r) >= vh) break;
            rows.push_back(r);
        }
        return rows;
    }();
    std::vector<int> cols;
    for (int c = 0; c < g.FixedCols() && c < g.Cols(); ++c) cols.push_back(c);
    for (int c = g.LeftCol(); c < g.Cols(); ++c) {
        if (g.CellXPixels(c) >= vw) break;
        cols.push_back(c);
    }
    // Scrolling cells first, fixed ones on top of them.
    for (int pass = 0; pass < 2; ++pass) {
        for (int r : rowsToDraw) {
            for (int c : cols) {
                bool fixed = r < g.FixedRows() || c < g.FixedCols();
                if ((pass == 0) == fixed) continue;
                QRect cell(g.CellXPixels(c), g.CellYPixels(r), g.ColWidthPixels(c), g.RowHeightPixels(r));
                if (cell.width() <= 0 || cell.height() <= 0) continue;
                bool selected = !fixed && r >= r0 && r <= r1 && c >= c0 && c <= c1 && !(r == g.Row() && c == g.Col());
                QColor back = fixed ? fixedBack : selected ? highlight : cellBack;
                p.fillRect(cell, back);
                p.setPen(fixed ? fixedLine : gridLine);
                p.drawLine(cell.right(), cell.top(), cell.right(), cell.bottom());
                p.drawLine(cell.left(), cell.bottom(), cell.right(), cell.bottom());
                if (fixed) {
                    p.setPen(Qt::white);
                    p.drawLine(cell.left(), cell.top(), cell.right() - 1, cell.top());
                    p.drawLine(cell.left(), cell.top(), cell.left(), cell.bottom() - 1);
                }
                QString text = Q(g.TextMatrix(r, c));
                if (!text.isEmpty()) {
                    int a = g.ColAlignment(c);
                    Qt::Alignment al;
                    if (a == 9) {
                        al = LooksNumeric(text) && !fixed ? Qt::AlignRight : Qt::AlignLeft;
                        al |= Qt::AlignVCenter;
                    } else {
                        al = a <= 2 ? Qt::AlignLeft : a <= 5 ? Qt::AlignHCenter : Qt::AlignRight;
                        int v = a % 3;
                        al |= v == 0 ? Qt::AlignTop : v == 1 ? Qt::AlignVCenter : Qt::AlignBottom;
                    }
                    p.setPen(selected ? QColor(Qt::white) : QColor(Qt::black));
                    p.drawText(cell.adjusted(3, 1, -4, -2), al, fm.elidedText(text, Qt::ElideNone, cell.width()));
                }
                if (!fixed && r == g.Row() && c == g.Col() && hasFocus()) {
                    QPen dots(Qt::black);
                    dots.setStyle(Qt::DotLine);
                    p.setPen(dots);
                    p.drawRect(cell.adjusted(1, 1, -2, -2));
                }
            }
        }
    }
}

GridWidget* GW(QWidget* w) { return static_cast<GridWidget*>(w); }

[[noreturn]] void BadRow() { throw VbError(30009, "Invalid Row value"); }
[[noreturn]] void BadCol() { throw VbError(30010, "Invalid Col value"); }
[[noreturn]] void BadIndex() { throw VbError(381, "Subscript out of range"); }

}  // namespace

FlexGrid::FlexGrid(Container& c) : Control(c) {
    backColor_ = vbWindowBackground;
    foreColor_ = vbWindowText;
    widthTw_ = 3600;
    heightTw_ = 2400;
    cells_.assign(2, std::vector<std::string>(2));
    colWidth_.assign(2, -1);
    rowHeight_.assign(2, -1);
    colAlign_.assign(2, 9);
    auto* w = new GridWidget(this, c.ClientWidget());
    SetWidget(w);
    QObject::connect(w->verticalScrollBar(), &QScrollBar::valueChanged, [this, w](int v) {
        if (w->syncing) return;
        TopRow(fixedRows_ + v);
    });
    QObject::connect(w->horizontalScrollBar(), &QScrollBar::valueChanged, [this, w](int v) {
        if (w->syncing) return;
        LeftCol(fixedCols_ + v);
    });
    Relayout();
}

FlexGrid::~FlexGrid() = default;

// --- Shape -----------------------------------------------------------------------------------------
void FlexGrid::Rows(int n) {
    if (n < 0 || n < fixedRows_) BadRow();
    cells_.resize(n, std::vector<std::string>(cols_));
    rowHeight_.resize(n, -1);
    if (row_ >= n) row_ = std::max(0, n - 1);
    if (rowSel_ >= n) rowSel_ = std::max(0, n - 1);
    if (row_ < fixedRows_ && n > fixedRows_) row_ = fixedRows_;
    if (rowSel_ < fixedRows_ && n > fixedRows_) rowSel_ = row_;
    if (topRow_ >= n) topRow_ = std::max(fixedRows_, n - 1);
    Relayout();
}
void FlexGrid::Cols(int n) {
    if (n < 0 || n < fixedCols_) BadCol();
    cols_ = n;
    for (auto& r : cells_) r.resize(n);
    colWidth_.resize(n, -1);
    colAlign_.resize(n, 9);
    if (col_ >= n) col_ = std::max(0, n - 1);
    if (colSel_ >= n) colSel_ = std::max(0, n - 1);
    if (col_ < fixedCols_ && n > fixedCols_) col_ = fixedCols_;
    if (colSel_ < fixedCols_ && n > fixedCols_) colSel_ = col_;
    if (leftCol_ >= n) leftCol_ = std::max(fixedCols_, n - 1);
    Relayout();
}
void FlexGrid::FixedRows(int n) {
    if (n < 0 || n >= Rows()) BadRow();
    fixedRows_ = n;
    if (topRow_ < n) topRow_ = n;
    if (row_ < n) row_ = rowSel_ = n;
    Relayout();
}
void FlexGrid::FixedCols(int n) {
    if (n < 0 || n >= cols_) BadCol();
    fixedCols_ = n;
    if (leftCol_ < n) leftCol_ = n;
    if (col_ < n) col_ = colSel_ = n;
    Relayout();
}

// --- Current cell ----------------------------------------------------------------------------------
void FlexGrid::SetCurrent(int row, int col, bool raiseEvents) {
    if (row == row_ && col == col_) {
        rowSel_ = row;
        colSel_ = col;
        widget_->update();
        return;
    }
    std::weak_ptr<int> alive = life_;
    if (raiseEvents) RaiseEvent(LeaveCell);
    if (alive.expired()) return;
    row_ = row;
    col_ = col;
    rowSel_ = row;
    colSel_ = col;
    if (widget_) GW(widget_)->viewport()->update();
    if (raiseEvents) {
        RaiseEvent(RowColChange);
        if (alive.expired()) return;
        RaiseEvent(EnterCell);
    }
}
void FlexGrid::Row(int r) {
    if (r < 0 || r >= Rows()) BadRow();
    SetCurrent(r, col_, true);
}
void FlexGrid::Col(int c) {
    if (c < 0 || c >= cols_) BadCol();
    SetCurrent(row_, c, true);
}
void FlexGrid::RowSel(int r) {
    if (r < 0 || r >= Rows()) BadRow();
    rowSel_ = r;
    GW(widget_)->viewport()->update();
}
void FlexGrid::ColSel(int c) {
    if (c < 0 || c >= cols_) BadCol();
    colSel_ = c;
    GW(widget_)->viewport()->update();
}

int FlexGrid::ViewWidthPixels() const { return GW(widget_)->viewport()->width(); }
int FlexGrid::ViewHeightPixels() const { return GW(widget_)->viewport()->height(); }

void FlexGrid::TopRow(int r) {
    if (r < 0 || r >= Rows()) BadRow();
    int clamped = std::max(r, fixedRows_);
    // The last rows stay in view: the top row goes no further than needed.
    int avail = ViewHeightPixels() - CellYPixels(fixedRows_) + (topRow_ >= fixedRows_ ? 0 : 0);
    int fixedH = 0;
    for (int i = 0; i < fixedRows_; ++i) fixedH += RowHeightPixels(i);
    avail = ViewHeightPixels() - fixedH;
    int maxTop = Rows() - 1, used = 0;
    for (int i = Rows() - 1; i >= fixedRows_; --i) {
        used += RowHeightPixels(i);
        if (used > avail) break;
        maxTop = i;
    }
    clamped = std::min(clamped, std::max(maxTop, fixedRows_));
    if (clamped == topRow_) return;
    topRow_ = clamped;
    Relayout();
    RaiseEvent(Scroll);
}
void FlexGrid::LeftCol(int c) {
    if (c < 0 || c >= cols_) BadCol();
    int clamped = std::max(c, fixedCols_);
    int fixedW = 0;
    for (int i = 0; i < fixedCols_; ++i) fixedW += ColWidthPixels(i);
    int avail = ViewWidthPixels() - fixedW;
    int maxLeft = cols_ - 1, used = 0;
    for (int i = cols_ - 1; i >= fixedCols_; --i) {
        used += ColWidthPixels(i);
        if (used > avail) break;
        maxLeft = i;
    }
    clamped = std::min(clamped, std::max(maxLeft, fixedCols_));
    if (clamped == leftCol_) return;
    leftCol_ = clamped;
    Relayout();
    RaiseEvent(Scroll);
}

void FlexGrid::EnsureVisible(int row, int col) {
    if (row >= fixedRows_) {
        if (row < topRow_) {
            TopRow(row);
        } else {
            int bottom = ViewHeightPixels();
            int t = topRow_;
            while (t < row && CellYPixels(row) + RowHeightPixels(row) > bottom) {
                ++t;
                int before = topRow_;
                TopRow(t);
                if (topRow_ == before) break;
            }
        }
    }
    if (col >= fixedCols_) {
        if (col < leftCol_) {
            LeftCol(col);
        } else {
            int right = ViewWidthPixels();
            int l = leftCol_;
            while (l < col && CellXPixels(col) + ColWidthPixels(col) > right) {
                ++l;
                int before = leftCol_;
                LeftCol(l);
                if (leftCol_ == before) break;
            }
        }
    }
}

// --- Texts -----------------------------------------------------------------------------------------------
std::string FlexGrid::Text() const {
    if (row_ >= Rows() || col_ >= cols_) return {};
    return cells_[row_][col_];
}
void FlexGrid::Text(const std::string& v) {
    if (row_ >= Rows() || col_ >= cols_) BadIndex();
    cells_[row_][col_] = v;
    GW(widget_)->viewport()->update();
}
std::string FlexGrid::TextMatrix(int row, int col) const {
    if (row < 0 || row >= Rows() || col < 0 || col >= cols_) BadIndex();
    return cells_[row][col];
}
void FlexGrid::TextMatrix(int row, int col, const std::string& v) {
    if (row < 0 || row >= Rows() || col < 0 || col >= cols_) BadIndex();
    cells_[row][col] = v;
    GW(widget_)->viewport()->update();
}
std::string FlexGrid::Clip() const {
    int r0 = std::min(row_, rowSel_), r1 = std::max(row_, rowSel_);
    int c0 = std::min(col_, colSel_), c1 = std::max(col_, colSel_);
    std::string out;
    for (int r = r0; r <= r1 && r < Rows(); ++r) {
        if (r > r0) out += '\r';
        for (int c = c0; c <= c1 && c < cols_; ++c) {
            if (c > c0) out += '\t';
            out += cells_[r][c];
        }
    }
    return out;
}
void FlexGrid::Clip(const std::string& v) {
    int r0 = std::min(row_, rowSel_), r1 = std::max(row_, rowSel_);
    int c0 = std::min(col_, colSel_), c1 = std::max(col_, colSel_);
    size_t pos = 0;
    for (int r = r0; r <= r1 && pos <= v.size(); ++r) {
        size_t lineEnd = v.find('\r', pos);
        std::string line = v.substr(pos, lineEnd == std::string::npos ? std::string::npos : lineEnd - pos);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        size_t cp = 0;
        for (int c = c0; c <= c1 && cp <= line.size(); ++c) {
            size_t cellEnd = line.find('\t', cp);
            cells_[r][c] = line.substr(cp, cellEnd == std::string::npos ? std::string::npos : cellEnd - cp);
            if (cellEnd == std::string::npos) break;
            cp = cellEnd + 1;
        }
        if (lineEnd == std::string::npos) break;
        pos = lineEnd + 1;
        if (pos < v.size() && v[pos] == '\n') ++pos;
    }
    GW(widget_)->viewport()->update();
}
void FlexGrid::Clear() {
    for (auto& r : cells_) {
        for (auto& c : r) c.clear();
    }
    GW(widget_)->viewport()->update();
}
void FlexGrid::AddItem(const std::string& item, int index) {
    if (index == -1) index = Rows();
    if (index < 0 || index > Rows()) BadRow();
    std::vector<std::string> row(cols_);
    size_t pos = 0;
    for (int c = 0; c < cols_; ++c) {
        size_t tab = item.find('\t', pos);
        row[c] = item.substr(pos, tab == std::string::npos ? std::string::npos : tab - pos);
        if (tab == std::string::npos) break;
        pos = tab + 1;
    }
    cells_.insert(cells_.begin() + index, std::move(row));
    rowHeight_.insert(rowHeight_.begin() + index, -1);
    Relayout();
}
void FlexGrid::RemoveItem(int index) {
    if (index < 0 || index >= Rows()) BadRow();
    if (index >= fixedRows_ && Rows() - fixedRows_ <= 1) throw VbError(30015, "Cannot remove last non-fixed row");
    cells_.erase(cells_.begin() + index);
    rowHeight_.erase(rowHeight_.begin() + index);
    if (row_ >= Rows()) row_ = Rows() - 1;
    if (rowSel_ >= Rows()) rowSel_ = Rows() - 1;
    if (topRow_ >= Rows()) topRow_ = std::max(fixedRows_, Rows() - 1);
    Relayout();
}

// --- Sizes ------------------------------------------------------------------------------------------------
int FlexGrid::DefaultRowHeightPixels() const {
    QFontMetrics fm(ToQFont(font_));
    return fm.height() + 4;
}
double FlexGrid::ColWidth(int col) const {
    if (col < 0 || col >= cols_) BadIndex();
    return colWidth_[col] < 0 ? kDefaultColWidthTwips : colWidth_[col];
}
void FlexGrid::ColWidth(int col, double twips) {
    if (col < 0 || col >= cols_) BadIndex();
    colWidth_[col] = twips < 0 ? -1 : twips;
    Relayout();
}
double FlexGrid::RowHeight(int row) const {
    if (row < 0 || row >= Rows()) BadIndex();
    return RowHeightPixels(row) * double(kTwipsPerPixel);
}
void FlexGrid::RowHeight(int row, double twips) {
    if (row < 0 || row >= Rows()) BadIndex();
    rowHeight_[row] = twips < 0 ? -1 : twips;
    Relayout();
}
void FlexGrid::RowHeightMin(double twips) {
    if (twips < 0) throw VbError(380, "Invalid property value");
    rowHeightMin_ = twips;
    Relayout();
}
int FlexGrid::ColAlignment(int col) const {
    if (col < 0 || col >= cols_) BadIndex();
    return colAlign_[col];
}
void FlexGrid::ColAlignment(int col, int a) {
    if (col < 0 || col >= cols_) BadIndex();
    if (a < 0 || a > 9) throw VbError(380, "Invalid property value");
    colAlign_[col] = a;
    GW(widget_)->viewport()->update();
}

int FlexGrid::ColWidthPixels(int col) const {
    double tw = colWidth_[col] < 0 ? kDefaultColWidthTwips : colWidth_[col];
    return static_cast<int>(std::lround(tw / kTwipsPerPixel));
}
int FlexGrid::RowHeightPixels(int row) const {
    int h = rowHeight_[row] < 0 ? DefaultRowHeightPixels() : static_cast<int>(std::lround(rowHeight_[row] / kTwipsPerPixel));
    int minimum = static_cast<int>(std::lround(rowHeightMin_ / kTwipsPerPixel));
    return std::max(h, minimum);
}
namespace {
// Offset in pixels of column or row `i` from the grid's corner: the fixed ones
// come first, then the scrolled ones from `first` on; one scrolled out of view
// lies before `first`, under the fixed ones.
template <class SizeOf>
int OffsetPixels(int i, int fixed, int first, SizeOf sizeOf) {
    int offset = 0;
    if (i < fixed) {
        for (int k = 0; k < i; ++k) offset += sizeOf(k);
        return offset;
    }
    for (int k = 0; k < fixed; ++k) offset += sizeOf(k);
    if (i >= first) {
        for (int k = first; k < i; ++k) offset += sizeOf(k);
    } else {
        for (int k = i; k < first; ++k) offset -= sizeOf(k);
    }
    return offset;
}
}  // namespace
int FlexGrid::CellXPixels(int col) const {
    return OffsetPixels(col, fixedCols_, leftCol_, [this](int c) { return ColWidthPixels(c); });
}
int FlexGrid::CellYPixels(int row) const {
    return OffsetPixels(row, fixedRows_, topRow_, [this](int r) { return RowHeightPixels(r); });
}
int FlexGrid::RowAtPixel(int y) const {
    if (y < 0) return -1;
    for (int r = 0; r < fixedRows_ && r < Rows(); ++r) {
        int top = CellYPixels(r);
        if (y >= top && y < top + RowHeightPixels(r)) return r;
    }
    for (int r = topRow_; r < Rows(); ++r) {
        int top = CellYPixels(r);
        if (top > y) break;
        if (y < top + RowHeightPixels(r)) return r;
    }
    return -1;
}
int FlexGrid::ColAtPixel(int x) const {
    if (x < 0) return -1;
    for (int c = 0; c < fixedCols_ && c < cols_; ++c) {
        int left = CellXPixels(c);
        if (x >= left && x < left + ColWidthPixels(c)) return c;
    }
    for (int c = leftCol_; c < cols_; ++c) {
        int left = CellXPixels(c);
        if (left > x) break;
        if (x < left + ColWidthPixels(c)) return c;
    }
    return -1;
}

// Cell geometry in twips from the grid's own corner (the viewport sits
// inside the grid's border).
double FlexGrid::CellLeft() const {
    QPoint off = GW(widget_)->viewport()->geometry().topLeft();
    return (off.x() + CellXPixels(col_)) * double(kTwipsPerPixel);
}
double FlexGrid::CellTop() const {
    QPoint off = GW(widget_)->viewport()->geometry().topLeft();
    return (off.y() + CellYPixels(row_)) * double(kTwipsPerPixel);
}
double FlexGrid::CellWidth() const { return ColWidthPixels(col_) * double(kTwipsPerPixel); }
double FlexGrid::CellHeight() const { return RowHeightPixels(row_) * double(kTwipsPerPixel); }

bool FlexGrid::RowIsVisible(int row) const {
    if (row < 0 || row >= Rows()) BadRow();
    if (row < fixedRows_) return true;
    if (row < topRow_) return false;
    return CellYPixels(row) < ViewHeightPixels();
}
bool FlexGrid::ColIsVisible(int col) const {
    if (col < 0 || col >= cols_) BadCol();
    if (col < fixedCols_) return true;
    if (col < leftCol_) return false;
    return CellXPixels(col) < ViewWidthPixels();
}

void FlexGrid::Relayout() {
    auto* w = GW(widget_);
    if (!w) return;
    w->syncing = true;
    int fixedH = 0, fixedW = 0;
    for (int i = 0; i < fixedRows_ && i < Rows(); ++i) fixedH += RowHeightPixels(i);
    for (int i = 0; i < fixedCols_ && i < cols_; ++i) fixedW += ColWidthPixels(i);
    int totalH = 0, totalW = 0;
    for (int i = fixedRows_; i < Rows(); ++i) totalH += RowHeightPixels(i);
    for (int i = fixedCols_; i < cols_; ++i) totalW += ColWidthPixels(i);
    int availH = w->viewport()->height() - fixedH, availW = w->viewport()->width() - fixedW;
    int maxTop = fixedRows_, used = 0;
    for (int i = Rows() - 1; i >= fixedRows_; --i) {
        used += RowHeightPixels(i);
        if (used > availH) {
            maxTop = i + 1;
            break;
        }
        maxTop = i;
    }
    int maxLeft = fixedCols_;
    used = 0;
    for (int i = cols_ - 1; i >= fixedCols_; --i) {
        used += ColWidthPixels(i);
        if (used > availW) {
            maxLeft = i + 1;
            break;
        }
        maxLeft = i;
    }
    w->verticalScrollBar()->setRange(0, totalH > availH ? std::max(0, maxTop - fixedRows_) : 0);
    w->verticalScrollBar()->setPageStep(std::max(1, availH / std::max(1, DefaultRowHeightPixels())));
    w->verticalScrollBar()->setValue(topRow_ - fixedRows_);
    w->horizontalScrollBar()->setRange(0, totalW > availW ? std::max(0, maxLeft - fixedCols_) : 0);
    w->horizontalScrollBar()->setPageStep(1);
    w->horizontalScrollBar()->setValue(leftCol_ - fixedCols_);
    w->syncing = false;
    w->viewport()->update();
}

// --- Mouse and keys ---------------------------------------------------------------------------------------
float FlexGrid::MouseXFromPixels(double px) const { return Control::MouseXFromPixels(px); }
float FlexGrid::MouseYFromPixels(double py) const { return Control::MouseYFromPixels(py); }

void FlexGrid::OnMousePress(int button, int shift, double px, double py) {
    QPoint off = GW(widget_)->viewport()->geometry().topLeft();
    int vx = static_cast<int>(px) - off.x(), vy = static_cast<int>(py) - off.y();
    mouseRow_ = RowAtPixel(vy);
    mouseCol_ = ColAtPixel(vx);
    std::weak_ptr<int> alive = life_;
    if (button == vbLeftButton && mouseRow_ >= 0 && mouseCol_ >= 0) {
        pressed_ = true;
        bool fixedRow = mouseRow_ < fixedRows_, fixedCol = mouseCol_ < fixedCols_;
        if (!fixedRow && !fixedCol) {
            if ((shift & vbShiftMask) != 0) {
                rowSel_ = mouseRow_;
                colSel_ = mouseCol_;
                GW(widget_)->viewport()->update();
            } else {
                SetCurrent(mouseRow_, mouseCol_, true);
            }
        } else if (fixedRow && !fixedCol && Rows() > fixedRows_) {
            // A column heading selects the whole column.
            SetCurrent(fixedRows_, mouseCol_, true);
            if (alive.expired()) return;
            rowSel_ = Rows() - 1;
        } else if (fixedCol && !fixedRow && cols_ > fixedCols_) {
            // A row heading selects the whole row.
            SetCurrent(mouseRow_, fixedCols_, true);
            if (alive.expired()) return;
            colSel_ = cols_ - 1;
        }
        if (alive.expired()) return;
    }
    Control::OnMousePress(button, shift, px, py);
}

void FlexGrid::OnMouseMove(int button, int shift, double px, double py) {
    QPoint off = GW(widget_)->viewport()->geometry().topLeft();
    int vx = static_cast<int>(px) - off.x(), vy = static_cast<int>(py) - off.y();
    mouseRow_ = RowAtPixel(vy);
    mouseCol_ = ColAtPixel(vx);
    if ((button & vbLeftButton) && pressed_ && mouseRow_ >= fixedRows_ && mouseCol_ >= fixedCols_ &&
        (mouseRow_ != rowSel_ || mouseCol_ != colSel_)) {
        rowSel_ = mouseRow_;
        colSel_ = mouseCol_;
        GW(widget_)->viewport()->update();
    }
    Control::OnMouseMove(button, shift, px, py);
}

void FlexGrid::OnMouseRelease(int button, int shift, double px, double py) {
    bool click = pressed_ && button == vbLeftButton;
    if (button == vbLeftButton) pressed_ = false;
    std::weak_ptr<int> alive = life_;
    Control::OnMouseRelease(button, shift, px, py);
    if (alive.expired()) return;
    if (click) RaiseEvent(Click);
}

bool FlexGrid::OnKeyDown(int& keyCode, int shift) {
    std::weak_ptr<int> alive = life_;
    if (!Control::OnKeyDown(keyCode, shift)) return false;
    if (alive.expired()) return false;
    int r = row_, c = col_;
    int lastRow = Rows() - 1, lastCol = cols_ - 1;
    switch (keyCode) {
    case vbKeyUp: r = std::max(fixedRows_, (shift & vbShiftMask ? rowSel_ : row_) - 1); break;
    case vbKeyDown: r = std::min(lastRow, (shift & vbShiftMask ? rowSel_ : row_) + 1); break;
    case vbKeyLeft: c = std::max(fixedCols_, (shift & vbShiftMask ? colSel_ : col_) - 1); break;
    case vbKeyRight: c = std::min(lastCol, (shift & vbShiftMask ? colSel_ : col_) + 1); break;
    case vbKeyPageUp: {
        int step = std::max(1, ViewHeightPixels() / std::max(1, DefaultRowHeightPixels()) - 1);
        r = std::max(fixedRows_, row_ - step);
        break;
    }
    case vbKeyPageDown: {
        int step = std::max(1, ViewHeightPixels() / std::max(1, DefaultRowHeightPixels()) - 1);
        r = std::min(lastRow, row_ + step);
        break;
    }
    case vbKeyHome: c = fixedCols_; if (shift & vbCtrlMask) r = fixedRows_; break;
    case vbKeyEnd: c = lastCol; if (shift & vbCtrlMask) r = lastRow; break;
    default: return true;   // other keys: nothing to do, let them through
    }
    if (r < fixedRows_ || c < fixedCols_) return false;
    if (shift & vbShiftMask && (keyCode >= vbKeyLeft && keyCode <= vbKeyDown)) {
        if (keyCode == vbKeyUp || keyCode == vbKeyDown) rowSel_ = r;
        else colSel_ = c;
        EnsureVisible(rowSel_, colSel_);
        GW(widget_)->viewport()->update();
        return false;
    }
    SetCurrent(r, c, true);
    if (alive.expired()) return false;
    EnsureVisible(row_, col_);
    return false;   // the grid moved; the scroll area must not scroll too
}

}  // namespace vb
