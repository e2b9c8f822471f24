// The standard controls on Qt widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

namespace {
[[noreturn]] void InvalidValue() { throw VbError(380, "Invalid property value"); }
[[noreturn]] void InvalidArgument() { throw VbError(5, "Invalid procedure call or argument"); }

QString ToWidgetText(const std::string& s, bool multiLine) {
    QString q = Q(s);
    if (multiLine) q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return q;
}
// The horizontal part of an Alignment property (0 left, 1 right, 2 centre).
Qt::Alignment HorizontalAlignment(int a) { return a == 1 ? Qt::AlignRight : a == 2 ? Qt::AlignHCenter : Qt::AlignLeft; }
// Item `index` of a list control, error 5 when there is no such item.
void CheckItemIndex(int index, int count) {
    if (index < 0 || index >= count) InvalidArgument();
}
template <class Data>
auto& ItemDataAt(Data& data, int index) {
    CheckItemIndex(index, static_cast<int>(data.size()));
    return data[index];
}
std::string FromWidgetText(const QString& q, bool multiLine) {
    if (!multiLine) return S(q);
    QString c = q;
    c.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return S(c);
}
}  // namespace

// --- CommandButton ------------------------------------------------------------------------
CommandButton::CommandButton(Container& c, std::string caption) : Control(c) {
    auto* b = new QPushButton(Q(caption), c.ClientWidget());
    b->setAutoDefault(false);
    SetWidget(b);
    QObject::connect(b, &QPushButton::clicked, [this] { RaiseEvent(Click); });
}
std::string CommandButton::Caption() const { return S(static_cast<QPushButton*>(widget_)->text()); }
void CommandButton::Caption(const std::string& v) { static_cast<QPushButton*>(widget_)->setText(Q(v)); }
void CommandButton::Default(bool v) {
    default_ = v;
    static_cast<QPushButton*>(widget_)->setDefault(v);
}
void CommandButton::Value(bool v) {
    if (v) RaiseEvent(Click);
}
void CommandButton::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const CommandButton*>(&source)) Caption(s->Caption());
}

// --- Label ----------------------------------------------------------------------------------
Label::Label(Container& c, std::string caption) : Control(c) {
    foreColor_ = vbButtonText;
    auto* l = new QLabel(Q(caption), c.ClientWidget());
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setTextFormat(Qt::PlainText);
    SetWidget(l);
    clickOnRelease_ = true;
}
std::string Label::Caption() const { return S(static_cast<QLabel*>(widget_)->text()); }
void Label::Caption(const std::string& v) {
    auto* l = static_cast<QLabel*>(widget_);
    QString q = Q(v);
    if (l->text() == q) return;
    l->setText(q);
    if (autoSize_) AutoSize(true);
    RaiseEvent(Change);
}
void Label::Alignment(int a) {
    alignment_ = a;
    static_cast<QLabel*>(widget_)->setAlignment(HorizontalAlignment(a) | Qt::AlignTop);
}
void Label::BorderStyle(int b) {
    borderStyle_ = b;
    static_cast<QLabel*>(widget_)->setFrameStyle(b ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}
void Label::BackStyle(int b) {
    backStyle_ = b;
    ApplyColors();
}
void Label::WordWrap(bool v) {
    wordWrap_ = v;
    static_cast<QLabel*>(widget_)->setWordWrap(v);
}
void Label::AutoSize(bool v) {
    autoSize_ = v;
    if (v) {
        widget_->adjustSize();
        widthTw_ = widget_->width() * double(kTwipsPerPixel);
        heightTw_ = widget_->height() * double(kTwipsPerPixel);
    }
}
void Label::ApplyColors() {
    Control::ApplyColors();
    if (widget_) widget_->setAutoFillBackground(backStyle_ == 1);
}
void Label::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const Label*>(&source)) {
        static_cast<QLabel*>(widget_)->setText(Q(s->Caption()));
        Alignment(s->alignment_);
        BorderStyle(s->borderStyle_);
        BackStyle(s->backStyle_);
        WordWrap(s->wordWrap_);
        autoSize_ = s->autoSize_;
    }
}

// --- TextBox --------------------------------------------------------------------------------
TextBox::TextBox(Container& c, bool multiLine) : Control(c), multiLine_(multiLine) {
    backColor_ = vbWindowBackground;
    foreColor_ = vbWindowText;
    widthTw_ = 1215;
    heightTw_ = 285;
    Build({});
}

void TextBox::Build(const std::string& text) {
    // Change is raised only when the text really differs from the last one seen.
    auto edited = [this] {
        std::string now = Text();
        if (now == lastText_) return;
        lastText_ = now;
        RaiseEvent(Change);
    };
    QWidget* w;
    if (multiLine_) {
        auto* e = new QPlainTextEdit(container_->ClientWidget());
        e->setPlainText(ToWidgetText(text, true));
        e->setReadOnly(locked_);
        e->setLineWrapMode(scrollBars_ & 1 ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        e->setVerticalScrollBarPolicy(scrollBars_ & 2 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        e->setHorizontalScrollBarPolicy(scrollBars_ & 1 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        e->setTabChangesFocus(true);
        QObject::connect(e, &QPlainTextEdit::textChanged, edited);
        w = e;
    } else {
        auto* e = new QLineEdit(Q(text), container_->ClientWidget());
        e->setReadOnly(locked_);
        if (maxLength_ > 0) e->setMaxLength(maxLength_);
        e->setFrame(borderStyle_ != 0);
        QObject::connect(e, &QLineEdit::textChanged, edited);
        w = e;
    }
    lastText_ = text;
    SetWidget(w);
    Alignment(alignment_);
}

std::string TextBox::Text() const {
    if (multiLine_) return FromWidgetText(static_cast<QPlainTextEdit*>(widget_)->toPlainText(), true);
    return S(static_cast<QLineEdit*>(widget_)->text());
}

void TextBox::Text(const std::string& v) {
    std::string value = v;
    if (maxLength_ > 0 && static_cast<int>(Q(value).size()) > maxLength_) value = S(Q(value).left(maxLength_));
    if (value == Text()) return;
    if (multiLine_) {
        static_cast<QPlainTextEdit*>(widget_)->setPlainText(ToWidgetText(value, true));
    } else {
        static_cast<QLineEdit*>(widget_)->setText(Q(value));
        static_cast<QLineEdit*>(widget_)->setCursorPosition(0);
    }
}

void TextBox::MultiLine(bool v) {
    if (v == multiLine_) return;
    std::string text = Text();
    multiLine_ = v;
    Build(text);
}
void TextBox::ScrollBars(int v) {
    scrollBars_ = v;
    if (multiLine_) Build(Text());
}
void TextBox::Locked(bool v) {
    locked_ = v;
    if (multiLine_) {
        static_cast<QPlainTextEdit*>(widget_)->setReadOnly(v);
    } else {
        static_cast<QLineEdit*>(widget_)->setReadOnly(v);
    }
}
void TextBox::MaxLength(int v) {
    maxLength_ = v;
    if (!multiLine_) static_cast<QLineEdit*>(widget_)->setMaxLength(v > 0 ? v : 32767);
}
void TextBox::Alignment(int a) {
    alignment_ = a;
    if (!multiLine_) static_cast<QLineEdit*>(widget_)->setAlignment(HorizontalAlignment(a) | Qt::AlignVCenter);
}
void TextBox::BorderStyle(int b) {
    borderStyle_ = b;
    if (!multiLine_) {
        static_cast<QLineEdit*>(widget_)->setFrame(b != 0);
    } else {
        static_cast<QPlainTextEdit*>(widget_)->setFrameShape(b ? QFrame::StyledPanel : QFrame::NoFrame);
    }
}

int TextBox::SelStart() const {
    if (multiLine_) {
        QTextCursor c = static_cast<QPlainTextEdit*>(widget_)->textCursor();
        return c.selectionStart();
    }
    auto* e = static_cast<QLineEdit*>(widget_);
    return e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
}
void TextBox::SelStart(int v) {
    if (v < 0) InvalidValue();
    if (multiLine_) {
        auto* e = static_cast<QPlainTextEdit*>(widget_);
        QTextCursor c = e->textCursor();
        c.setPosition(std::min(v, static_cast<int>(e->toPlainText().size())));
        e->setTextCursor(c);
        return;
    }
    auto* e = static_cast<QLineEdit*>(widget_);
    e->deselect();
    e->setCursorPosition(std::min(v, static_cast<int>(e->text().size())));
}
int TextBox::SelLength() const {
    if (multiLine_) {
        QTextCursor c = static_cast<QPlainTextEdit*>(widget_)->textCursor();
        return c.selectionEnd() - c.selectionStart();
    }
    return static_cast<int>(static_cast<QLineEdit*>(widget_)->selectedText().size());
}
void TextBox::SelLength(int v) {
    if (v < 0) InvalidValue();
    int start = SelStart();
    if (multiLine_) {
        auto* e = static_cast<QPlainTextEdit*>(widget_);
        QTextCursor c = e->textCursor();
        int len = static_cast<int>(e->toPlainText().size());
        c.setPosition(start);
        c.setPosition(std::min(start + v, len), QTextCursor::KeepAnchor);
        e->setTextCursor(c);
        return;
    }
    auto* e = static_cast<QLineEdit*>(widget_);
    int len = static_cast<int>(e->text().size());
    e->setSelection(start, std::min(v, len - start));
}
std::string TextBox::SelText() const {
    if (multiLine_) return FromWidgetText(static_cast<QPlainTextEdit*>(widget_)->textCursor().selectedText(), true);
    return S(static_cast<QLineEdit*>(widget_)->selectedText());
}
void TextBox::SelText(const std::string& v) {
    if (multiLine_) {
        static_cast<QPlainTextEdit*>(widget_)->textCursor().insertText(ToWidgetText(v, true));
    } else {
        static_cast<QLineEdit*>(widget_)->insert(Q(v));
    }
}
void TextBox::ApplyColors() { Control::ApplyColors(); }
void TextBox::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const TextBox*>(&source)) {
        locked_ = s->locked_;
        maxLength_ = s->maxLength_;
        alignment_ = s->alignment_;
        borderStyle_ = s->borderStyle_;
        scrollBars_ = s->scrollBars_;
        multiLine_ = s->multiLine_;
        Build(s->Text());
    }
}

// --- CheckBox -------------------------------------------------------------------------------
CheckBox::CheckBox(Container& c, std::string caption) : Control(c) {
    auto* b = new QCheckBox(Q(caption), c.ClientWidget());
    b->setTristate(false);
    SetWidget(b);
    QObject::connect(b, &QCheckBox::clicked, [this, b] {
        int v = b->checkState() == Qt::Checked ? 1 : b->checkState() == Qt::PartiallyChecked ? 2 : 0;
        if (v == 2) {   // a click on a grey box checks it
            v = 1;
            b->setCheckState(Qt::Checked);
        }
        value_ = v;
        RaiseEvent(Click);
    });
}
std::string CheckBox::Caption() const { return S(static_cast<QCheckBox*>(widget_)->text()); }
void CheckBox::Caption(const std::string& v) { static_cast<QCheckBox*>(widget_)->setText(Q(v)); }
int CheckBox::Value() const { return value_; }
void CheckBox::Value(int v) {
    if (v < 0 || v > 2) InvalidValue();
    if (v == value_) return;
    value_ = v;
    auto* b = static_cast<QCheckBox*>(widget_);
    if (v == 2) b->setTristate(true);
    b->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    RaiseEvent(Click);
}
void CheckBox::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const CheckBox*>(&source)) {
        Caption(s->Caption());
        value_ = s->value_;
        static_cast<QCheckBox*>(widget_)->setCheckState(value_ == 1 ? Qt::Checked : value_ == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
    }
}

// --- OptionButton ---------------------------------------------------------------------------
OptionButton::OptionButton(Container& c, std::string caption) : Control(c) {
    auto* b = new QRadioButton(Q(caption), c.ClientWidget());
    SetWidget(b);
    QObject::connect(b, &QRadioButton::clicked, [this, b](bool checked) {
        if (checked) RaiseEvent(Click);
    });
}
std::string OptionButton::Caption() const { return S(static_cast<QRadioButton*>(widget_)->text()); }
void OptionButton::Caption(const std::string& v) { static_cast<QRadioButton*>(widget_)->setText(Q(v)); }
bool OptionButton::Value() const { return static_cast<QRadioButton*>(widget_)->isChecked(); }
void OptionButton::Value(bool v) {
    auto* b = static_cast<QRadioButton*>(widget_);
    if (!v) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
        return;
    }
    b->setChecked(true);
    RaiseEvent(Click);
}
void OptionButton::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const OptionButton*>(&source)) Caption(s->Caption());
}

// --- Frame ----------------------------------------------------------------------------------------
Frame::Frame(Container& c, std::string caption) : Control(c) {
    widthTw_ = 2400;
    heightTw_ = 1800;
    auto* g = new QGroupBox(Q(caption), c.ClientWidget());
    // A frame paints its back colour: what lies behind it does not show through.
    g->setAutoFillBackground(true);
    SetWidget(g);
    clickOnRelease_ = true;
}
std::string Frame::Caption() const { return S(static_cast<QGroupBox*>(widget_)->title()); }
void Frame::Caption(const std::string& v) { static_cast<QGroupBox*>(widget_)->setTitle(Q(v)); }
void Frame::BorderStyle(int b) {
    borderStyle_ = b;
    static_cast<QGroupBox*>(widget_)->setStyleSheet(b ? QString() : QStringLiteral("QGroupBox{border:none;}"));
}
void Frame::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const Frame*>(&source)) {
        Caption(s->Caption());
        BorderStyle(s->borderStyle_);
    }
}

// --- ListBox ---------------------------------------------------------------------------------------
ListBox::ListBox(Container& c) : Control(c) {
    backColor_ = vbWindowBackground;
    foreColor_ = vbWindowText;
    heightTw_ = 1425;
    auto* l = new QListWidget(c.ClientWidget());
    l->setSelectionMode(QAbstractItemView::SingleSelection);
    l->setUniformItemSizes(true);
    SetWidget(l);
    QObject::connect(l, &QListWidget::currentRowChanged, [this, l](int row) {
        if (settingIndex_ || row < 0) return;
        // A mouse press moves the current row before Qt selects the item;
        // the handler must already see the clicked item as ListIndex/Text.
        if (!l->item(row)->isSelected()) {
            settingIndex_ = true;
            l->item(row)->setSelected(true);
            settingIndex_ = false;
        }
        RaiseEvent(Click);
    });
}
namespace {
QListWidget* LW(QWidget* w) { return static_cast<QListWidget*>(w); }
}
void ListBox::AddItem(const std::string& item, int index) {
    QListWidget* l = LW(widget_);
    int count = l->count();
    if (index > count || index < -1) InvalidArgument();
    if (index == -1 && sorted_) {
        QString q = Q(item);
        index = 0;
        while (index < count && QString::compare(l->item(index)->text(), q, Qt::CaseInsensitive) <= 0) ++index;
    }
    if (index == -1) index = count;
    settingIndex_ = true;
    l->insertItem(index, Q(item));
    settingIndex_ = false;
    itemData_.insert(itemData_.begin() + index, 0);
    newIndex_ = index;
}
void ListBox::RemoveItem(int index) {
    QListWidget* l = LW(widget_);
    CheckItemIndex(index, l->count());
    settingIndex_ = true;
    delete l->takeItem(index);
    settingIndex_ = false;
    itemData_.erase(itemData_.begin() + index);
}
void ListBox::Clear() {
    settingIndex_ = true;
    LW(widget_)->clear();
    settingIndex_ = false;
    itemData_.clear();
    newIndex_ = -1;
}
std::string ListBox::List(int index) const {
    QListWidget* l = LW(widget_);
    if (index < 0 || index >= l->count()) return {};
    return S(l->item(index)->text());
}
void ListBox::List(int index, const std::string& v) {
    QListWidget* l = LW(widget_);
    CheckItemIndex(index, l->count());
    l->item(index)->setText(Q(v));
}
int ListBox::ListCount() const { return LW(widget_)->count(); }
int ListBox::ListIndex() const {
    QListWidget* l = LW(widget_);
    int r = l->currentRow();
    if (r >= 0 && !l->item(r)->isSelected()) return -1;
    return r;
}
void ListBox::ListIndex(int v) {
    QListWidget* l = LW(widget_);
    if (v < -1 || v >= l->count()) InvalidValue();
    settingIndex_ = true;
    if (v == -1) {
        l->clearSelection();
        l->setCurrentRow(-1);
    } else {
        l->setCurrentRow(v);
        l->item(v)->setSelected(true);
    }
    settingIndex_ = false;
    if (v >= 0) RaiseEvent(Click);
}
std::string ListBox::Text() const {
    int i = ListIndex();
    return i >= 0 ? List(i) : std::string();
}
int32_t ListBox::ItemData(int index) const {
    return ItemDataAt(itemData_, index);
}
void ListBox::ItemData(int index, int32_t v) {
    ItemDataAt(itemData_, index) = v;
}
bool ListBox::Selected(int index) const {
    QListWidget* l = LW(widget_);
    CheckItemIndex(index, l->count());
    return l->item(index)->isSelected();
}
void ListBox::Selected(int index, bool v) {
    QListWidget* l = LW(widget_);
    CheckItemIndex(index, l->count());
    if (v) {
        ListIndex(index);
    } else {
        l->item(index)->setSelected(false);
    }
}
int ListBox::TopIndex() const {
    QListWidget* l = LW(widget_);
    QListWidgetItem* it = l->itemAt(2, 2);
    return it ? l->row(it) : 0;
}
void ListBox::TopIndex(int v) {
    QListWidget* l = LW(widget_);
    if (v < 0 || v >= l->count()) return;
    l->scrollToItem(l->item(v), QAbstractItemView::PositionAtTop);
}
void ListBox::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const ListBox*>(&source)) sorted_ = s->sorted_;
}

// --- ComboBox -------------------------------------------------------------------------------------
namespace {
// Sets a flag while the edit of an editable combo box loses the focus (until
// the event loop runs again).  Qt then selects the item matching the typed
// text and reports it as activated; the runtime raises Click only for a
// choice made in the list, never for leaving the edit.
class EditFocusOutWatch : public QObject {
public:
    EditFocusOutWatch(QObject* parent, bool* flag) : QObject(parent), flag_(flag) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::FocusOut) {
            *flag_ = true;
            QTimer::singleShot(0, this, [f = flag_] { *f = false; });
        }
        return false;
    }

private:
    bool* flag_;
};
}  // namespace

ComboBox::ComboBox(Container& c, int style) : Control(c), style_(style) {
    backColor_ = vbWindowBackground;
    foreColor_ = vbWindowText;
    heightTw_ = 315;
    auto* b = new QComboBox(c.ClientWidget());
    b->setEditable(style != 2);
    b->setInsertPolicy(QComboBox::NoInsert);
    b->setMaxVisibleItems(8);
    SetWidget(b);
    if (b->lineEdit()) {
        QObject::connect(b->lineEdit(), &QLineEdit::textEdited, [this](const QString&) { RaiseEvent(Change); });
        // The combo box hands its focus-out to the edit directly, so both
        // are watched.
        b->installEventFilter(new EditFocusOutWatch(b, &editLeaving_));
        b->lineEdit()->installEventFilter(new EditFocusOutWatch(b->lineEdit(), &editLeaving_));
    }
    QObject::connect(b, qOverload<int>(&QComboBox::activated), [this](int) {
        if (!settingIndex_ && !editLeaving_) RaiseEvent(Click);
    });
}
namespace {
QComboBox* CB(QWidget* w) { return static_cast<QComboBox*>(w); }
}
void ComboBox::AddItem(const std::string& item, int index) {
    QComboBox* b = CB(widget_);
    int count = b->count();
    if (index > count || index < -1) InvalidArgument();
    if (index == -1) index = count;
    QString keep = b->isEditable() ? b->currentText() : QString();
    settingIndex_ = true;
    b->insertItem(index, Q(item));
    if (b->isEditable() && count == 0) {
        b->setCurrentIndex(-1);
        b->setEditText(keep);
    }
    settingIndex_ = false;
    itemData_.insert(itemData_.begin() + index, 0);
    newIndex_ = index;
}
void ComboBox::RemoveItem(int index) {
    QComboBox* b = CB(widget_);
    CheckItemIndex(index, b->count());
    settingIndex_ = true;
    b->removeItem(index);
    settingIndex_ = false;
    itemData_.erase(itemData_.begin() + index);
}
void ComboBox::Clear() {
    settingIndex_ = true;
    CB(widget_)->clear();
    settingIndex_ = false;
    itemData_.clear();
    newIndex_ = -1;
}
std::string ComboBox::List(int index) const {
    QComboBox* b = CB(widget_);
    if (index < 0 || index >= b->count()) return {};
    return S(b->itemText(index));
}
void ComboBox::List(int index, const std::string& v) {
    QComboBox* b = CB(widget_);
    CheckItemIndex(index, b->count());
    b->setItemText(index, Q(v));
}
int ComboBox::ListCount() const { return CB(widget_)->count(); }
int ComboBox::ListIndex() const {
    QComboBox* b = CB(widget_);
    int i = b->currentIndex();
    if (i >= 0 && b->isEditable() && b->currentText() != b->itemText(i)) return -1;
    return i;
}
void ComboBox::ListIndex(int v) {
    QComboBox* b = CB(widget_);
    if (v < -1 || v >= b->count()) InvalidValue();
    std::string before = Text();
    settingIndex_ = true;
    b->setCurrentIndex(v);
    if (v == -1 && b->isEditable()) b->setEditText(QString());
    settingIndex_ = false;
    if (b->isEditable() && Text() != before) RaiseEvent(Change);
    if (v >= 0) RaiseEvent(Click);
}
std::string ComboBox::Text() const { return S(CB(widget_)->currentText()); }
void ComboBox::Text(const std::string& v) {
    QComboBox* b = CB(widget_);
    if (b->isEditable()) {
        if (Text() == v) return;
        settingIndex_ = true;
        b->setEditText(Q(v));
        settingIndex_ = false;
        RaiseEvent(Change);
        return;
    }
    int i = b->findText(Q(v), Qt::MatchFixedString);
    if (i < 0) throw VbError(383, "'Text' property is read-only");
    ListIndex(i);
}
int32_t ComboBox::ItemData(int index) const {
    return ItemDataAt(itemData_, index);
}
void ComboBox::ItemData(int index, int32_t v) {
    ItemDataAt(itemData_, index) = v;
}

// --- ScrollBar ------------------------------------------------------------------------------------
ScrollBar::ScrollBar(Container& c, bool vertical) : Control(c), vertical_(vertical) {
    if (vertical) {
        widthTw_ = 255;
        heightTw_ = 1200;
    } else {
        widthTw_ = 1200;
        heightTw_ = 255;
    }
    auto* s = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, c.ClientWidget());
    SetWidget(s);
    Sync();
    QObject::connect(s, &QScrollBar::sliderPressed, [this] { dragStart_ = value_; });
    QObject::connect(s, &QScrollBar::valueChanged, [this, s](int w) {
        if (syncing_) return;
        FromWidget(w, s->isSliderDown());
    });
    QObject::connect(s, &QScrollBar::sliderReleased, [this] {
        if (value_ != dragStart_) RaiseEvent(Change);
    });
}
void ScrollBar::Sync() {
    auto* s = static_cast<QScrollBar*>(widget_);
    syncing_ = true;
    s->setRange(std::min(min_, max_), std::max(min_, max_));
    s->setInvertedAppearance(min_ > max_);
    s->setInvertedControls(min_ > max_);
    s->setSingleStep(smallChange_);
    s->setPageStep(largeChange_);
    s->setValue(value_);
    syncing_ = false;
}
void ScrollBar::FromWidget(int w, bool dragging) {
    if (w == value_) return;
    value_ = w;
    RaiseEvent(dragging ? Scroll : Change);
}
static void Check16(int v) {
    if (v < -32768 || v > 32767) throw VbError(380, "Invalid property value");
}
void ScrollBar::Min(int v) {
    Check16(v);
    min_ = v;
    ClampToRange();
}
void ScrollBar::Max(int v) {
    Check16(v);
    max_ = v;
    ClampToRange();
}
// After Min or Max moved: the value is pulled inside the range (raising Change
// when that moves it) and the widget follows.
void ScrollBar::ClampToRange() {
    int lo = std::min(min_, max_), hi = std::max(min_, max_);
    int clamped = std::clamp(value_, lo, hi);
    bool changed = clamped != value_;
    value_ = clamped;
    Sync();
    if (changed) RaiseEvent(Change);
}
void ScrollBar::Value(int v) {
    if (v < std::min(min_, max_) || v > std::max(min_, max_)) InvalidValue();
    if (v == value_) return;
    value_ = v;
    Sync();
    RaiseEvent(Change);
}
void ScrollBar::SmallChange(int v) {
    if (v < 1 || v > 32767) InvalidValue();
    smallChange_ = v;
    Sync();
}
void ScrollBar::LargeChange(int v) {
    if (v < 1 || v > 32767) InvalidValue();
    largeChange_ = v;
    Sync();
}
void ScrollBar::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const ScrollBar*>(&source)) {
        min_ = s->min_;
        max_ = s->max_;
        value_ = s->value_;
        smallChange_ = s->smallChange_;
        largeChange_ = s->largeChange_;
        Sync();
    }
}

// --- Timer -------------------------------------------------------------------------------------------
Timer::Timer(Container&) {
    InitPlatform();
    timer_ = new QTimer();
    QObject::connect(timer_, &QTimer::timeout, [this] { RaiseEvent(Tick); });
}
Timer::~Timer() { delete timer_; }
void Timer::Interval(int ms) {
    if (ms < 0 || ms > 65535) throw VbError(380, "Invalid property value");
    interval_ = ms;
    Restart();
}
void Timer::Enabled(bool v) {
    enabled_ = v;
    Restart();
}
void Timer::Restart() {
    timer_->stop();
    if (enabled_ && interval_ > 0) timer_->start(interval_);
}
void Timer::FireTimer() { RaiseEvent(Tick); }
bool Timer::IsRunning() const { return timer_->isActive(); }

// --- Image ---------------------------------------------------------------------------------------------
namespace {
class ImageWidget : public QWidget {
public:
    ImageWidget(Image* owner, QWidget* parent) : QWidget(parent), owner_(owner) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        PictureRef pic = owner_->Picture();
        if (pic && !pic->IsEmpty()) {
            if (owner_->Stretch()) {
                p.drawImage(rect(), pic->image());
            } else {
                p.drawImage(0, 0, pic->image());
            }
        }
        if (owner_->BorderStyle()) {
            p.setPen(Qt::black);
            p.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    Image* owner_;
};
}  // namespace

Image::Image(Container& c) : Control(c) {
    widthTw_ = 1215;
    heightTw_ = 1215;
    SetWidget(new ImageWidget(this, c.ClientWidget()));
    widget_->setFocusPolicy(Qt::NoFocus);
    clickOnRelease_ = true;
}
void Image::Picture(PictureRef p) {
    picture_ = std::move(p);
    if (!stretch_ && picture_ && !picture_->IsEmpty()) {
        widthTw_ = picture_->WidthPixels() * double(kTwipsPerPixel);
        heightTw_ = picture_->HeightPixels() * double(kTwipsPerPixel);
        ApplyGeometry();
    }
    widget_->update();
}
void Image::Stretch(bool v) {
    stretch_ = v;
    widget_->update();
}
void Image::BorderStyle(int b) {
    borderStyle_ = b;
    widget_->update();
}
void Image::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const Image*>(&source)) {
        stretch_ = s->stretch_;
        borderStyle_ = s->borderStyle_;
        picture_ = s->picture_;
        widget_->update();
    }
}

// --- Shape -----------------------------------------------------------------------------------------------
namespace {
Qt::PenStyle PenStyleOf(int borderStyle) {
    switch (borderStyle) {
    case 0: return Qt::NoPen;
    case 2: return Qt::DashLine;
    case 3: return Qt::DotLine;
    case 4: return Qt::DashDotLine;
    case 5: return Qt::DashDotDotLine;
    default: return Qt::SolidLine;
    }
}
}  // namespace

class ShapeWidget : public QWidget {
public:
    ShapeWidget(Shape* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const Shape& s = *owner_;
        int bw = std::max(1, s.borderWidth_);
        QRectF r = QRectF(rect()).adjusted(bw / 2.0, bw / 2.0, -bw / 2.0 - (bw % 2 ? 1 : 0) + (bw % 2 ? 0.5 : 0), -bw / 2.0);
        r = QRectF(rect()).adjusted(bw / 2.0, bw / 2.0, -bw / 2.0, -bw / 2.0);
        if (s.shape_ == vbShapeSquare || s.shape_ == vbShapeCircle || s.shape_ == vbShapeRoundedSquare) {
            double side = std::min(r.width(), r.height());
            r = QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
        }
        QPen pen(ToQColor(s.borderColor_));
        pen.setWidth(bw);
        pen.setStyle(PenStyleOf(s.borderStyle_));
        p.setPen(pen);
        QBrush back = s.backStyle_ == 1 ? QBrush(ToQColor(s.Control::BackColor())) : QBrush(Qt::NoBrush);
        QBrush fill(Qt::NoBrush);
        if (s.fillStyle_ != vbFSTransparent) {
            static const Qt::BrushStyle styles[] = {Qt::SolidPattern, Qt::NoBrush, Qt::HorPattern, Qt::VerPattern,
                                                    Qt::BDiagPattern, Qt::FDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
            fill = QBrush(ToQColor(s.fillColor_), styles[std::clamp(s.fillStyle_, 0, 7)]);
        }
        for (const QBrush& b : {back, fill}) {
            if (b.style() == Qt::NoBrush) continue;
            p.setBrush(b);
            QPen none(Qt::NoPen);
            p.save();
            p.setPen(none);
            Draw(p, r);
            p.restore();
        }
        p.setBrush(Qt::NoBrush);
        Draw(p, r);
    }
    void Draw(QPainter& p, const QRectF& r) {
        switch (owner_->shape_) {
        case vbShapeOval: case vbShapeCircle: p.drawEllipse(r); break;
        case vbShapeRoundedRectangle: case vbShapeRoundedSquare: {
            double rad = std::min(r.width(), r.height()) / 6;
            p.drawRoundedRect(r, rad, rad);
            break;
        }
        default: p.drawRect(r);
        }
    }

private:
    Shape* owner_;
};

Shape::Shape(Container& c) : Control(c) {
    widthTw_ = 1215;
    heightTw_ = 1215;
    SetWidget(new ShapeWidget(this, c.ClientWidget()));
    widget_->lower();
}
void Shape::Kind(int v) { shape_ = v; widget_->update(); }
void Shape::BorderColor(int32_t c) { borderColor_ = c; widget_->update(); }
void Shape::BorderWidth(int w) {
    if (w < 1) InvalidValue();
    borderWidth_ = w;
    widget_->update();
}
void Shape::BorderStyle(int s) { borderStyle_ = s; widget_->update(); }
void Shape::FillColor(int32_t c) { fillColor_ = c; widget_->update(); }
void Shape::FillStyle(int s) { fillStyle_ = s; widget_->update(); }
void Shape::BackStyle(int s) { backStyle_ = s; widget_->update(); }
void Shape::BackColor(int32_t c) {
    backColor_ = c;
    if (widget_) widget_->update();
}
void Shape::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const Shape*>(&source)) {
        shape_ = s->shape_;
        borderColor_ = s->borderColor_;
        borderWidth_ = s->borderWidth_;
        borderStyle_ = s->borderStyle_;
        fillColor_ = s->fillColor_;
        fillStyle_ = s->fillStyle_;
        backStyle_ = s->backStyle_;
        widget_->update();
    }
}

// --- Line ------------------------------------------------------------------------------------------------
class LineWidget : public QWidget {
public:
    LineWidget(vb::Line* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }
    QPointF a, b;   // end points in this widget's pixels

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPen pen(ToQColor(owner_->borderColor_));
        pen.setWidth(std::max(1, owner_->borderWidth_));
        pen.setStyle(PenStyleOf(owner_->borderStyle_));
        p.setPen(pen);
        p.drawLine(a, b);
    }

private:
    vb::Line* owner_;
};

Line::Line(Container& c) : Control(c) {
    SetWidget(new LineWidget(this, c.ClientWidget()));
    widget_->lower();
    Relayout();
}
void Line::Relayout() {
    if (!widget_) return;
    Container& c = *container_;
    double ax = c.UnitsToPixelsX(x1_), ay = c.UnitsToPixelsY(y1_);
    double bx = c.UnitsToPixelsX(x2_), by = c.UnitsToPixelsY(y2_);
    int pad = std::max(1, borderWidth_) + 1;
    int left = static_cast<int>(std::floor(std::min(ax, bx))) - pad;
    int top = static_cast<int>(std::floor(std::min(ay, by))) - pad;
    int right = static_cast<int>(std::ceil(std::max(ax, bx))) + pad;
    int bottom = static_cast<int>(std::ceil(std::max(ay, by))) + pad;
    leftTw_ = left * double(kTwipsPerPixel);
    topTw_ = top * double(kTwipsPerPixel);
    widthTw_ = (right - left) * double(kTwipsPerPixel);
    heightTw_ = (bottom - top) * double(kTwipsPerPixel);
    auto* w = static_cast<LineWidget*>(widget_);
    w->a = QPointF(std::round(ax) - left, std::round(ay) - top);
    w->b = QPointF(std::round(bx) - left, std::round(by) - top);
    ApplyGeometry();
    w->update();
}
void Line::X1(double v) { x1_ = v; Relayout(); }
void Line::Y1(double v) { y1_ = v; Relayout(); }
void Line::X2(double v) { x2_ = v; Relayout(); }
void Line::Y2(double v) { y2_ = v; Relayout(); }
void Line::BorderColor(int32_t c) { borderColor_ = c; widget_->update(); }
void Line::BorderWidth(int w) {
    if (w < 1) InvalidValue();
    borderWidth_ = w;
    Relayout();
}
void Line::BorderStyle(int s) { borderStyle_ = s; widget_->update(); }
void Line::CopyPropertiesFrom(const Control& source) {
    Control::CopyPropertiesFrom(source);
    if (auto* s = dynamic_cast<const vb::Line*>(&source)) {
        x1_ = s->x1_;
        y1_ = s->y1_;
        x2_ = s->x2_;
        y2_ = s->y2_;
        borderColor_ = s->borderColor_;
        borderWidth_ = s->borderWidth_;
        borderStyle_ = s->borderStyle_;
        Relayout();
    }
}

// --- UserControl -------------------------------------------------------------------------------------------
namespace {
class UserControlWidget : public QWidget {
public:
    UserControlWidget(UserControl* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
        setAutoFillBackground(true);
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        RaiseEvent(owner_->Resize);
    }
    void showEvent(QShowEvent* e) override {
        QWidget::showEvent(e);
        if (!e->spontaneous()) RaiseEvent(owner_->Show);
    }
    void hideEvent(QHideEvent* e) override {
        QWidget::hideEvent(e);
        if (!e->spontaneous()) RaiseEvent(owner_->Hide);
    }

private:
    UserControl* owner_;
};
}  // namespace

UserControl::UserControl(Container& c) : Control(c) {
    widthTw_ = 2400;
    heightTw_ = 1800;
    SetWidget(new UserControlWidget(this, c.ClientWidget()));
    clickOnRelease_ = true;
}

void UserControl::CanGetFocus(bool v) {
    canGetFocus_ = v;
    if (widget_) RefuseFocus(widget_, !v);
}

}  // namespace vb
