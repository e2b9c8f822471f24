// Shared pieces of the Qt side of the window system.  Included only by the
// .cpp files of platform/ui (never by code above platform/).
#pragma once

#include <QColor>
#include <QCursor>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

#include "platform/ui/ui.h"

namespace vb::detail {

inline QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
inline std::string S(const QString& s) { return s.toStdString(); }

// &HBBGGRR (or a system colour) -> QColor.
QColor ToQColor(int32_t c);
// A resolved colour back to &HBBGGRR.
int32_t FromQColor(const QColor& c);
int32_t ResolveColor(int32_t c);
// The Qt font for a font record (Escapement is not applied here).
QFont ToQFont(const vb::Font& f);
// Pixel size the font record asks for.
int FontPixelSize(const vb::Font& f);
Qt::CursorShape ToCursorShape(int mousePointer);

// Key translation.
int KeyCodeFromQt(const QKeyEvent* e);
int ShiftFromQt(Qt::KeyboardModifiers m);
int ButtonFromQt(Qt::MouseButton b);
int ButtonsFromQt(Qt::MouseButtons b);
// KeyAscii of a key event, 0 when the key types no character.
int KeyAsciiFromQt(const QKeyEvent* e);
// The Qt key (and text) that a runtime key code with a shift mask stands for.
int QtKeyFromKeyCode(int keyCode);
QString TextForKeyCode(int keyCode, int shift);

// The control a widget belongs to (the widget itself or an ancestor up to
// the nearest control), or null.
Control* ControlOfWidget(const QWidget* w);
void SetControlOfWidget(QWidget* w, Control* c);

// Takes the widget and every widget inside it out of focus (refuse), or
// gives each the focus policy it had before it was taken out.
void RefuseFocus(QWidget* w, bool refuse);
// Whether the control lies on a user control that cannot get the focus.
bool OnFocuslessUserControl(const Control* c);

// Translates Qt events of a control's widget (and its inner widgets) into
// the control's On... calls.
class ControlEventFilter : public QObject {
public:
    ControlEventFilter(Control* owner, QWidget* widget);
    bool eventFilter(QObject* watched, QEvent* event) override;
    Control* owner = nullptr;
    QWidget* mainWidget = nullptr;
    bool forwarding = false;
    // The widgets this filter watches besides the control's own widget.
    std::vector<QObject*> inner;
};

// Keys go first to the form when it previews them; returns false when the
// form's handler swallowed the key (KeyCode or KeyAscii set to 0).
bool PreviewKeyDown(Form* form, int& keyCode, int shift);
bool PreviewKeyPress(Form* form, int& keyAscii);
void PreviewKeyUp(Form* form, int& keyCode, int shift);

// Called when a form is unloaded: ends the program's event loop when no
// loaded form is left visible.
void FormUnloaded(Form* form);
void SetActiveForm(Form* form);

}  // namespace vb::detail
