// Helpers for tests: drive controls through real Qt events, so that focus,
// key routing (KeyPreview, KeyAscii 0) and the mouse-event translation are
// exercised as a user would exercise them.  Positions are in the control's
// own scale units (as its mouse events report them).
#pragma once

#include <string>

namespace vb {
class Control;
class Form;
}

namespace vb::test {

enum class MouseAction { Down, Move, Up, Click, DoubleClick };

// Sends a mouse event to the control at (x, y).  Button is 1, 2 or 4 (0 for a
// move without a button); shift is the runtime's shift mask.  A press gives
// the control the focus as a real click would.  Click is Down then Up.
void SendMouse(vb::Control& control, MouseAction action, int button, double x, double y,
               int shift = 0);
void SendMouse(vb::Form& form, MouseAction action, int button, double x, double y, int shift = 0);

// Gives the control the focus (when it does not have it) and sends a key
// press and release.  keyCode is the runtime's key code (vbKeyReturn, vbKeyA,
// vbKeyLeft ...); the character typed is derived from it and shift
// (vbKeyA with no shift types "a").
void SendKey(vb::Control& control, int keyCode, int shift = 0);
// Sends the key to whatever has the focus.
void SendKeyToFocus(int keyCode, int shift = 0);
// Sends the key to the widget that has the focus in the form's window, as
// the window system hands a window its keys also while it waits to be
// activated again (a message box closed with no window manager about).
void SendKeyToWindow(vb::Form& form, int keyCode, int shift = 0);
// Makes another window the active one and closes it again, as a message box
// does; with no window manager about, nothing activates the form again.
void ShowAndCloseAnotherWindow();
// Types the text into the control character by character.
void SendText(vb::Control& control, const std::string& text);

// Shows a form (loading it) and makes its window the active one, so focus
// works under the offscreen platform.
void ShowAndActivate(vb::Form& form);
// Processes pending events.
void ProcessEvents();

}  // namespace vb::test
