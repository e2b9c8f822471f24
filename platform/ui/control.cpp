// Containers, the control base and the translation of Qt events into the
// runtime's events.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QMouseEvent>
#include <QVariant>

#include <algorithm>
#include <cmath>

#include "platform/ui/internal.h"

namespace vb {

using namespace detail;

// --- Container ------------------------------------------------------------------------
Container::Container() = default;
Container::~Container() = default;

double Container::UnitsToPixelsX(double x) const { return x / kTwipsPerPixel; }
double Container::UnitsToPixelsY(double y) const { return y / kTwipsPerPixel; }
double Container::PixelsToUnitsX(double px) const { return px * kTwipsPerPixel; }
double Container::PixelsToUnitsY(double py) const { return py * kTwipsPerPixel; }
double Container::SizeToPixelsX(double w) const { return w / kTwipsPerPixel; }
double Container::SizeToPixelsY(double h) const { return h / kTwipsPerPixel; }
double Container::PixelsToSizeX(double px) const { return px * kTwipsPerPixel; }
double Container::PixelsToSizeY(double py) const { return py * kTwipsPerPixel; }

void Container::PopupMenu(Menu& menu, int flags, std::optional<double> x, std::optional<double> y) {
    QPoint global = QCursor::pos();
    if (x && y && ClientWidget()) {
        QPoint local(static_cast<int>(std::lround(UnitsToPixelsX(*x))),
                     static_cast<int>(std::lround(UnitsToPixelsY(*y))));
        global = ClientWidget()->mapToGlobal(local);
    }
    // Opening the menu raises its own Click first, as opening it from a
    // menu bar does.
    menu.Choose();
    Menu* chosen = Dialogs().PopupMenu(menu, global.x(), global.y());
    if (chosen) chosen->Choose();
}

// --- Widget <-> control ------------------------------------------------------------------
namespace detail {

static const char* kControlProperty = "vbControl";

Control* ControlOfWidget(const QWidget* w) {
    while (w) {
        QVariant v = w->property(kControlProperty);
        if (v.isValid()) return reinterpret_cast<Control*>(v.value<quintptr>());
        if (w->isWindow()) return nullptr;
        w = w->parentWidget();
    }
    return nullptr;
}

void SetControlOfWidget(QWidget* w, Control* c) {
    if (c) {
        w->setProperty(kControlProperty, QVariant::fromValue(reinterpret_cast<quintptr>(c)));
    } else {
        w->setProperty(kControlProperty, QVariant());
    }
}

bool PreviewKeyDown(Form* form, int& keyCode, int shift) {
    if (!form || !form->KeyPreview()) return true;
    int s = shift;
    RaiseEvent([&] { form->Form_KeyDown(keyCode, s); });
    return keyCode != 0;
}

bool PreviewKeyPress(Form* form, int& keyAscii) {
    if (!form || !form->KeyPreview()) return true;
    RaiseEvent([&] { form->Form_KeyPress(keyAscii); });
    return keyAscii != 0;
}

void PreviewKeyUp(Form* form, int& keyCode, int shift) {
    if (!form || !form->KeyPreview()) return;
    int s = shift;
    RaiseEvent([&] { form->Form_KeyUp(keyCode, s); });
}

static const char* kFocusPolicyProperty = "vbFocusPolicy";

void RefuseFocus(QWidget* root, bool refuse) {
    QList<QWidget*> all = root->findChildren<QWidget*>();
    all.push_front(root);
    for (QWidget* w : all) {
        const QVariant before = w->property(kFocusPolicyProperty);
        if (refuse) {
            if (!before.isValid()) w->setProperty(kFocusPolicyProperty, static_cast<int>(w->focusPolicy()));
            if (w->hasFocus()) w->clearFocus();
            w->setFocusPolicy(Qt::NoFocus);
        } else if (before.isValid()) {
            w->setFocusPolicy(static_cast<Qt::FocusPolicy>(before.toInt()));
            w->setProperty(kFocusPolicyProperty, QVariant());
        }
    }
}

bool OnFocuslessUserControl(const Control* c) {
    for (Container* k = &c->ContainerOf(); k;) {
        if (auto* uc = dynamic_cast<UserControl*>(k); uc && !uc->CanGetFocus()) return true;
        auto* holder = dynamic_cast<Control*>(k);
        k = holder ? &holder->ContainerOf() : nullptr;
    }
    return false;
}

// The widget that has the focus in w's window: the one the window's keys go
// to, also while another window (a message box just closed, with no window
// manager to give the activation back) is the active one.
static QWidget* FocusWidgetOfWindow(QWidget* w) {
    if (!w) return nullptr;
    if (QWidget* f = QApplication::focusWidget(); f && f->window() == w->window()) return f;
    return w->window()->focusWidget();
}

// Whether the key is Tab or Shift+Tab and the control keeps it (see the
// header: TakesTab and a key handler wired).
static bool ControlTakesTab(const Control* c, const QKeyEvent* ke) {
    if (ke->key() != Qt::Key_Tab && ke->key() != Qt::Key_Backtab) return false;
    return c->TakesTab() && (c->KeyDown || c->KeyPress);
}

ControlEventFilter::ControlEventFilter(Control* o, QWidget* widget) : QObject(widget), owner(o), mainWidget(widget) {}

bool ControlEventFilter::eventFilter(QObject* watched, QEvent* event) {
    if (!owner || forwarding) return false;
    Control* c = owner;
    std::weak_ptr<int> alive = c->LifeToken();
    QWidget* src = qobject_cast<QWidget*>(watched);
    auto toMain = [&](const QPointF& p) -> QPointF {
        if (!src || src == mainWidget) return p;
        return QPointF(src->mapTo(mainWidget, p.toPoint())) + (p - QPointF(p.toPoint()));
    };
    if (watched == mainWidget && !inner.empty()) {
        // A mouse event that an inner widget (a scroll area's viewport) did
        // not take comes back here; it was handled there already.
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
            for (QWidget* child = mainWidget->childAt(p); child && child != mainWidget; child = child->parentWidget()) {
                if (std::find(inner.begin(), inner.end(), child) != inner.end()) return false;
            }
            break;
        }
        default:
            break;
        }
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        QPointF p = toMain(me->position());
        c->OnMousePress(ButtonFromQt(me->button()), ShiftFromQt(me->modifiers()), p.x(), p.y());
        return false;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        QPointF p = toMain(me->position());
        c->OnMouseMove(ButtonsFromQt(me->buttons()), ShiftFromQt(me->modifiers()), p.x(), p.y());
        return false;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        QPointF p = toMain(me->position());
        c->OnMouseRelease(ButtonFromQt(me->button()), ShiftFromQt(me->modifiers()), p.x(), p.y());
        return false;
    }
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton) c->OnDoubleClick();
        return false;
    }
    case QEvent::KeyPress: {
        // A key that the focus widget left is passed on to its parents; it
        // was handled where it arrived.
        if (watched != FocusWidgetOfWindow(src)) return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        int keyCode = KeyCodeFromQt(ke);
        int shift = ShiftFromQt(ke->modifiers());
        Form* form = c->ParentForm();
        if (ControlTakesTab(c, ke)) {
            // The control's handlers have the key; the focus does not move.
            if (PreviewKeyDown(form, keyCode, shift) && !alive.expired()) c->OnKeyDown(keyCode, shift);
            if (alive.expired()) return true;
            int ascii = vbKeyTab;
            if (PreviewKeyPress(form, ascii) && !alive.expired()) c->OnKeyPress(ascii);
            return true;
        }
        // Enter presses the form's default button and Esc its cancel button,
        // unless the key belongs to the control (a button, a multi-line box).
        if ((keyCode == vbKeyReturn || keyCode == vbKeyEscape) && shift == 0 && !dynamic_cast<CommandButton*>(c)) {
            auto* tb = dynamic_cast<TextBox*>(c);
            if (!(tb && tb->MultiLine() && keyCode == vbKeyReturn)) {
                for (QWidget* w : mainWidget->window()->findChildren<QWidget*>()) {
                    auto* cb = dynamic_cast<CommandButton*>(ControlOfWidget(w));
                    if (!cb || cb->widget() != w || !w->isVisible() || !w->isEnabled()) continue;
                    if (keyCode == vbKeyReturn ? cb->Default() : cb->Cancel()) {
                        RaiseEvent(cb->Click);
                        return true;
                    }
                }
            }
        }
        bool pass = PreviewKeyDown(form, keyCode, shift);
        if (alive.expired()) return true;
        if (pass) pass = c->OnKeyDown(keyCode, shift);
        if (alive.expired()) return true;
        int ascii = KeyAsciiFromQt(ke);
        if (ascii != 0) {
            int original = ascii;
            bool typed = PreviewKeyPress(form, ascii);
            if (alive.expired()) return true;
            if (typed) c->OnKeyPress(ascii);
            if (alive.expired()) return true;
            if (ascii == 0) return true;
            if (ascii != original && pass) {
                // The handler changed the character: type the new one instead.
                QKeyEvent replaced(QEvent::KeyPress, ke->key(), ke->modifiers(), QString(QChar(ascii)));
                forwarding = true;
                QCoreApplication::sendEvent(watched, &replaced);
                if (!alive.expired()) forwarding = false;
                return true;
            }
        }
        return !pass;
    }
    case QEvent::KeyRelease: {
        if (watched != FocusWidgetOfWindow(src)) return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        int keyCode = KeyCodeFromQt(ke);
        int shift = ShiftFromQt(ke->modifiers());
        PreviewKeyUp(c->ParentForm(), keyCode, shift);
        if (alive.expired()) return true;
        c->OnKeyUp(keyCode, shift);
        return false;
    }
    case QEvent::FocusIn: {
        if (watched != mainWidget) return false;
        auto* fe = static_cast<QFocusEvent*>(event);
        if (fe->reason() == Qt::PopupFocusReason) return false;
        // Coming back to the window gives the focus back to the control that
        // had it: no event.  The first focus in a window is an event.
        if (fe->reason() == Qt::ActiveWindowFocusReason) {
            Form* form = c->ParentForm();
            if (form && form->LastFocused() == c) return false;
        }
        c->OnFocusIn();
        return false;
    }
    case QEvent::FocusOut: {
        if (watched != mainWidget) return false;
        auto* fe = static_cast<QFocusEvent*>(event);
        if (fe->reason() == Qt::ActiveWindowFocusReason || fe->reason() == Qt::PopupFocusReason) return false;
        c->OnFocusOut();
        return false;
    }
    default:
        return false;
    }
}

}  // namespace detail

// --- Control -------------------------------------------------------------------------------
Control::Control(Container& container) : container_(&container) { InitPlatform(); }

Control::~Control() {
    life_.reset();
    if (auto* f = dynamic_cast<ControlEventFilter*>(filter_)) f->owner = nullptr;
    if (Form* form = ParentForm()) form->ForgetControl(this);
    if (widget_) {
        QWidget* w = widget_;
        widget_ = nullptr;
        QObject::disconnect(w, &QObject::destroyed, nullptr, nullptr);
        SetControlOfWidget(w, nullptr);
        w->hide();
        delete w;
    }
}

void Control::SetWidget(QWidget* w) {
    QWidget* old = widget_;
    if (old) {
        if (auto* f = dynamic_cast<ControlEventFilter*>(filter_)) f->owner = nullptr;
        QObject::disconnect(old, &QObject::destroyed, nullptr, nullptr);
        SetControlOfWidget(old, nullptr);
        old->hide();
        old->deleteLater();
    }
    widget_ = w;
    if (!w) return;
    if (w->parentWidget() != container_->ClientWidget()) w->setParent(container_->ClientWidget());
    SetControlOfWidget(w, this);
    QObject::connect(w, &QObject::destroyed, [this, token = std::weak_ptr<int>(life_)] {
        if (!token.expired()) widget_ = nullptr;
    });
    auto* filter = new ControlEventFilter(this, w);
    filter_ = filter;
    w->installEventFilter(filter);
    if (auto* sa = qobject_cast<QAbstractScrollArea*>(w)) {
        sa->viewport()->installEventFilter(filter);
        filter->inner.push_back(sa->viewport());
    }
    for (QWidget* child : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->property("vbControl").isValid()) continue;
        if (std::find(filter->inner.begin(), filter->inner.end(), child) != filter->inner.end()) continue;
        child->installEventFilter(filter);
        filter->inner.push_back(child);
    }
    // A control's mouse events are its own: a press it does not take is not
    // passed on to the control or form underneath, as a container never
    // sees the mouse events of the controls placed on it.
    w->setAttribute(Qt::WA_NoMousePropagation);
    w->setMouseTracking(true);
    if (auto* sa = qobject_cast<QAbstractScrollArea*>(w)) sa->viewport()->setMouseTracking(true);
    ApplyFont();
    ApplyColors();
    if (mousePointer_ != vbDefault) w->setCursor(ToCursorShape(mousePointer_));
    if (!toolTip_.empty()) w->setToolTip(Q(toolTip_));
    if (OnFocuslessUserControl(this)) RefuseFocus(w, true);
    ApplyGeometry();
    w->setVisible(visible_);
}

Form* Control::ParentForm() const { return container_ ? container_->ParentForm() : nullptr; }

void Control::Name(std::string name) {
    name_ = std::move(name);
    if (widget_) widget_->setObjectName(Q(name_));
}

// A position in twips as whole pixels for the window system.  A control
// placed at a position no window can show (a huge or non-finite user
// coordinate) is held far outside any window instead of overflowing.
static int WholePixels(double twips) {
    constexpr double kFarOut = 1e7;
    const double pixels = std::round(twips / kTwipsPerPixel);
    if (!(pixels == pixels)) return 0;
    return static_cast<int>(std::clamp(pixels, -kFarOut, kFarOut));
}

void Control::ApplyGeometry() {
    if (!widget_) return;
    widget_->setGeometry(WholePixels(leftTw_), WholePixels(topTw_), std::max(0, WholePixels(widthTw_)),
                         std::max(0, WholePixels(heightTw_)));
}

double Control::Left() const { return container_->PixelsToUnitsX(leftTw_ / kTwipsPerPixel); }
void Control::Left(double v) {
    leftTw_ = container_->UnitsToPixelsX(v) * kTwipsPerPixel;
    ApplyGeometry();
}
double Control::Top() const { return container_->PixelsToUnitsY(topTw_ / kTwipsPerPixel); }
void Control::Top(double v) {
    topTw_ = container_->UnitsToPixelsY(v) * kTwipsPerPixel;
    ApplyGeometry();
}
double Control::Width() const { return container_->PixelsToSizeX(widthTw_ / kTwipsPerPixel); }
void Control::Width(double v) {
    double tw = container_->SizeToPixelsX(v) * kTwipsPerPixel;
    if (tw < 0) throw VbError(380, "Invalid property value");
    widthTw_ = tw;
    ApplyGeometry();
}
double Control::Height() const { return container_->PixelsToSizeY(heightTw_ / kTwipsPerPixel); }
void Control::Height(double v) {
    double tw = container_->SizeToPixelsY(v) * kTwipsPerPixel;
    if (tw < 0) throw VbError(380, "Invalid property value");
    heightTw_ = tw;
    ApplyGeometry();
}
void Control::Move(double left, std::optional<double> top, std::optional<double> width,
                   std::optional<double> height) {
    double l = container_->UnitsToPixelsX(left) * kTwipsPerPixel;
    double t = top ? container_->UnitsToPixelsY(*top) * kTwipsPerPixel : topTw_;
    double w = width ? container_->SizeToPixelsX(*width) * kTwipsPerPixel : widthTw_;
    double h = height ? container_->SizeToPixelsY(*height) * kTwipsPerPixel : heightTw_;
    if (w < 0 || h < 0) throw VbError(380, "Invalid property value");
    leftTw_ = l;
    topTw_ = t;
    widthTw_ = w;
    heightTw_ = h;
    ApplyGeometry();
}

bool Control::Visible() const { return visible_; }
void Control::Visible(bool v) {
    visible_ = v;
    if (widget_) widget_->setVisible(v);
}
bool Control::Enabled() const { return widget_ ? !widget_->testAttribute(Qt::WA_ForceDisabled) : true; }
void Control::Enabled(bool v) {
    if (widget_) widget_->setEnabled(v);
}

void Control::BackColor(int32_t c) {
    backColor_ = c;
    ApplyColors();
}
void Control::ForeColor(int32_t c) {
    foreColor_ = c;
    ApplyColors();
}
void Control::ApplyColors() {
    if (!widget_) return;
    QPalette pal = widget_->palette();
    QColor back = ToQColor(backColor_);
    QColor fore = ToQColor(foreColor_);
    pal.setColor(QPalette::Window, back);
    pal.setColor(QPalette::Button, back);
    pal.setColor(QPalette::Base, back);
    pal.setColor(QPalette::WindowText, fore);
    pal.setColor(QPalette::ButtonText, fore);
    pal.setColor(QPalette::Text, fore);
    widget_->setPalette(pal);
}

void Control::MousePointer(int p) {
    mousePointer_ = p;
    if (!widget_) return;
    if (p == vbDefault) {
        widget_->unsetCursor();
    } else {
        widget_->setCursor(ToCursorShape(p));
    }
}
void Control::ToolTipText(std::string t) {
    toolTip_ = std::move(t);
    if (widget_) widget_->setToolTip(Q(toolTip_));
}
void Control::TabStop(bool v) {
    tabStop_ = v;
    if (!widget_) return;
    // Out of the tab order a control still takes the focus by a click; back
    // in it, Tab reaches it again.  On a user control that cannot get the
    // focus the policy is kept for the time it can again.
    const QVariant held = widget_->property(kFocusPolicyProperty);
    Qt::FocusPolicy policy = held.isValid() ? static_cast<Qt::FocusPolicy>(held.toInt()) : widget_->focusPolicy();
    if (!v) policy = Qt::ClickFocus;
    else if (policy == Qt::ClickFocus) policy = Qt::StrongFocus;
    if (held.isValid()) widget_->setProperty(kFocusPolicyProperty, static_cast<int>(policy));
    else widget_->setFocusPolicy(policy);
}

void Control::Font(const vb::Font& f) {
    font_ = f;
    ApplyFont();
}
void Control::FontName(std::string v) {
    font_.Name = std::move(v);
    ApplyFont();
}
void Control::FontSize(double v) {
    font_.Size = v;
    font_.HeightPixels = 0;
    ApplyFont();
}
void Control::FontBold(bool v) {
    font_.Bold = v;
    ApplyFont();
}
void Control::ApplyFont() {
    if (widget_) widget_->setFont(ToQFont(font_));
}

void Control::ZOrder(int position) {
    if (!widget_) return;
    if (position == vbSendToBack) {
        widget_->lower();
    } else {
        widget_->raise();
    }
}

void Control::SetFocus() {
    if (!widget_ || !visible_ || !Enabled()) return;
    QWidget* top = widget_->window();
    if (top && top->isVisible() && !top->isActiveWindow()) {
        top->activateWindow();
        QApplication::setActiveWindow(top);
    }
    widget_->setFocus(Qt::OtherFocusReason);
}

bool Control::HasFocus() const {
    return widget_ && QApplication::focusWidget() && ControlOfWidget(QApplication::focusWidget()) == this;
}

void Control::Refresh() {
    if (widget_) widget_->repaint();
}

void Control::CopyPropertiesFrom(const Control& s) {
    leftTw_ = s.leftTw_;
    topTw_ = s.topTw_;
    widthTw_ = s.widthTw_;
    heightTw_ = s.heightTw_;
    tag_ = s.tag_;
    backColor_ = s.backColor_;
    foreColor_ = s.foreColor_;
    mousePointer_ = s.mousePointer_;
    toolTip_ = s.toolTip_;
    tabStop_ = s.tabStop_;
    takesTab_ = s.takesTab_;
    font_ = s.font_;
    name_ = s.name_;
    if (widget_) {
        ApplyGeometry();
        ApplyFont();
        ApplyColors();
        MousePointer(mousePointer_);
        ToolTipText(toolTip_);
        Enabled(s.Enabled());
    }
}

float Control::MouseXFromPixels(double px) const {
    return static_cast<float>(container_->PixelsToSizeX(px));
}
float Control::MouseYFromPixels(double py) const {
    return static_cast<float>(container_->PixelsToSizeY(py));
}

void Control::OnMousePress(int button, int shift, double px, double py) {
    if (button == vbLeftButton) pressedInside_ = true;
    RaiseEvent(MouseDown, button, shift, MouseXFromPixels(px), MouseYFromPixels(py));
}

void Control::OnMouseMove(int button, int shift, double px, double py) {
    RaiseEvent(MouseMove, button, shift, MouseXFromPixels(px), MouseYFromPixels(py));
}

void Control::OnMouseRelease(int button, int shift, double px, double py) {
    std::weak_ptr<int> alive = life_;
    bool wasPressed = pressedInside_ && button == vbLeftButton;
    if (button == vbLeftButton) pressedInside_ = false;
    RaiseEvent(MouseUp, button, shift, MouseXFromPixels(px), MouseYFromPixels(py));
    if (alive.expired()) return;
    if (clickOnRelease_ && wasPressed && widget_ && widget_->rect().contains(QPoint(int(px), int(py)))) {
        RaiseEvent(Click);
    }
}

void Control::OnDoubleClick() { RaiseEvent(DblClick); }

bool Control::OnKeyDown(int& keyCode, int shift) {
    int s = shift;
    RaiseEvent(KeyDown, keyCode, s);
    return keyCode != 0;
}

void Control::OnKeyUp(int& keyCode, int shift) {
    int s = shift;
    RaiseEvent(KeyUp, keyCode, s);
}

void Control::OnKeyPress(int& keyAscii) { RaiseEvent(KeyPress, keyAscii); }

void Control::OnFocusIn() {
    if (Form* f = ParentForm()) f->RememberFocus(this);
    RaiseEvent(GotFocus);
}

void Control::OnFocusOut() { RaiseEvent(LostFocus); }

}  // namespace vb
