// Test helpers that drive controls through real Qt events.
#include <QApplication>
#include <QMouseEvent>

#include <cmath>

#include "platform/ui/internal.h"
#include "platform/ui/testing.h"

namespace vb::test {

using namespace vb::detail;

namespace {

QPointF ToPixels(vb::Control& control, double x, double y) {
    if (auto* pb = dynamic_cast<vb::PictureBox*>(&control)) return QPointF(pb->UnitsToPixelsX(x), pb->UnitsToPixelsY(y));
    if (auto* fr = dynamic_cast<vb::Frame*>(&control)) return QPointF(fr->SizeToPixelsX(x), fr->SizeToPixelsY(y));
    vb::Container& c = control.ContainerOf();
    return QPointF(c.SizeToPixelsX(x), c.SizeToPixelsY(y));
}

Qt::KeyboardModifiers Mods(int shift) {
    Qt::KeyboardModifiers m;
    if (shift & vbShiftMask) m |= Qt::ShiftModifier;
    if (shift & vbCtrlMask) m |= Qt::ControlModifier;
    if (shift & vbAltMask) m |= Qt::AltModifier;
    return m;
}

Qt::MouseButton QtButton(int b) {
    switch (b) {
    case vbLeftButton: return Qt::LeftButton;
    case vbRightButton: return Qt::RightButton;
    case vbMiddleButton: return Qt::MiddleButton;
    default: return Qt::NoButton;
    }
}

void SendMouseTo(QWidget* top, QPointF pos, MouseAction action, int button, int shift) {
    // The innermost widget under the point receives the event, as a real
    // pointer would deliver it.
    QWidget* target = top;
    if (QWidget* child = top->childAt(pos.toPoint())) target = child;
    QPointF local = target == top ? pos : QPointF(target->mapFrom(top, pos.toPoint())) + (pos - QPointF(pos.toPoint()));
    QPointF global = QPointF(top->mapToGlobal(pos.toPoint()));
    Qt::MouseButton qb = QtButton(button);
    Qt::KeyboardModifiers mods = Mods(shift);
    auto send = [&](QEvent::Type type, Qt::MouseButton b, Qt::MouseButtons held) {
        if (!target) return;
        QPointer<QWidget> guard(target);
        QMouseEvent ev(type, local, global, b, held, mods);
        if (type == QEvent::MouseButtonPress) {
            // A press gives the focus to the widget that takes it on a click.
            for (QWidget* w = target; w; w = w->parentWidget()) {
                if (w->focusPolicy() & Qt::ClickFocus) {
                    w->setFocus(Qt::MouseFocusReason);
                    break;
                }
                if (w->isWindow()) break;
            }
        }
        if (guard) QApplication::sendEvent(guard, &ev);
        if (!guard) target = nullptr;
    };
    switch (action) {
    case MouseAction::Down: send(QEvent::MouseButtonPress, qb, qb); break;
    case MouseAction::Move: send(QEvent::MouseMove, Qt::NoButton, qb); break;
    case MouseAction::Up: send(QEvent::MouseButtonRelease, qb, Qt::NoButton); break;
    case MouseAction::Click:
        send(QEvent::MouseButtonPress, qb, qb);
        send(QEvent::MouseButtonRelease, qb, Qt::NoButton);
        break;
    case MouseAction::DoubleClick:
        send(QEvent::MouseButtonPress, qb, qb);
        send(QEvent::MouseButtonRelease, qb, Qt::NoButton);
        send(QEvent::MouseButtonDblClick, qb, qb);
        send(QEvent::MouseButtonRelease, qb, Qt::NoButton);
        break;
    }
}

void SendKeyTo(QWidget* target, int keyCode, int shift) {
    if (!target) return;
    QPointer<QWidget> guard(target);
    int key = QtKeyFromKeyCode(keyCode);
    // Shift+Tab arrives as Backtab, as the keyboard sends it.
    if (key == Qt::Key_Tab && (shift & vbShiftMask)) key = Qt::Key_Backtab;
    QString text = TextForKeyCode(keyCode, shift);
    Qt::KeyboardModifiers mods = Mods(shift);
    if (keyCode >= vbKeyNumpad0 && keyCode <= vbKeyDivide) mods |= Qt::KeypadModifier;
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &press);
    QWidget* releaseTarget = guard ? guard.data() : QApplication::focusWidget();
    if (!releaseTarget) return;
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(releaseTarget, &release);
}

}  // namespace

void SendMouse(vb::Control& control, MouseAction action, int button, double x, double y, int shift) {
    QWidget* w = control.widget();
    if (!w) return;
    SendMouseTo(w, ToPixels(control, x, y), action, button, shift);
}

void SendMouse(vb::Form& form, MouseAction action, int button, double x, double y, int shift) {
    SendMouseTo(form.ClientWidget(), QPointF(x / kTwipsPerPixel, y / kTwipsPerPixel), action, button, shift);
}

void SendKey(vb::Control& control, int keyCode, int shift) {
    if (!control.HasFocus()) control.SetFocus();
    QWidget* target = QApplication::focusWidget();
    if (!target || ControlOfWidget(target) != &control) target = control.widget();
    SendKeyTo(target, keyCode, shift);
}

void SendKeyToFocus(int keyCode, int shift) {
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    SendKeyTo(target, keyCode, shift);
}

void SendKeyToWindow(vb::Form& form, int keyCode, int shift) {
    QWidget* top = form.TopWidget();
    QWidget* target = top->focusWidget();
    SendKeyTo(target ? target : top, keyCode, shift);
}

void ShowAndCloseAnotherWindow() {
    QWidget box;
    box.resize(200, 100);
    box.show();
    box.activateWindow();
    QApplication::setActiveWindow(&box);
    QApplication::processEvents();
    box.hide();
    QApplication::processEvents();
}

void SendText(vb::Control& control, const std::string& text) {
    if (!control.HasFocus()) control.SetFocus();
    QWidget* target = QApplication::focusWidget();
    if (!target || ControlOfWidget(target) != &control) target = control.widget();
    for (QChar ch : Q(text)) {
        QString s(ch);
        int key = ch.isLetter() ? Qt::Key_A + (ch.toUpper().unicode() - 'A') : ch.unicode();
        if (!ch.isLetter() || ch.toUpper().unicode() < 'A' || ch.toUpper().unicode() > 'Z') key = ch.unicode();
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            key = Qt::Key_Return;
            s = QStringLiteral("\r");
        }
        QPointer<QWidget> guard(target);
        QKeyEvent press(QEvent::KeyPress, key, ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, s);
        QApplication::sendEvent(target, &press);
        if (!guard) return;
        QKeyEvent release(QEvent::KeyRelease, key, ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, s);
        QApplication::sendEvent(target, &release);
        if (!guard) return;
    }
}

void ShowAndActivate(vb::Form& form) {
    form.Show();
    QWidget* top = form.TopWidget();
    top->activateWindow();
    QApplication::setActiveWindow(top);
    QApplication::processEvents();
}

void ProcessEvents() { QApplication::processEvents(); }

}  // namespace vb::test
