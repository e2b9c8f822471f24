// The program's run: the Qt application, the event loop, the event
// dispatcher that keeps runtime errors from ending the program, and the
// process-wide objects Screen and Clipboard.
#pragma once

#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "platform/runtime/vberror.h"

namespace vb {

class Control;
class Form;

// Creates the Qt application, calls `start` (which creates and shows the
// start-up form), runs the event loop until the last form is unloaded and
// returns the exit code.  An error escaping `start` is reported like any
// untrapped error; the loop still runs if a form is visible.
int RunApplication(int argc, char** argv, const std::function<void()>& start);

// Sets up what every window needs (font substitutions such as Arial ->
// Liberation Sans, the application font).  Called by RunApplication and by
// the first control or form created; a QApplication must exist.
void InitPlatform();

// Processes pending window-system events, as DoEvents does.
void DoEvents();

// The program's title, used as the caption of message boxes without a title.
const std::string& AppTitle();
void SetAppTitle(std::string title);

// --- The event dispatcher ------------------------------------------------------------
// Reports an untrapped error: a message box (through the dialog sink) with the
// error's number and description; the program goes on.
void ReportUntrappedError(const VbError& error);
// The same for any other exception escaping a handler.
void ReportUnexpectedException(const std::string& what);
// Number of errors reported so far (tests check that a handler failed).
int ReportedErrorCount();

// Runs an event handler: nothing when it is empty; an error escaping it is
// reported and swallowed.  Every event of every control and form is raised
// through here.
template <class F, class... A>
void RaiseEvent(const F& handler, A&&... args) {
    if constexpr (std::is_constructible_v<bool, const F&>) {
        if (!handler) return;
    }
    try {
        handler(std::forward<A>(args)...);
    } catch (const VbError& e) {
        ReportUntrappedError(e);
    } catch (const std::exception& e) {
        ReportUnexpectedException(e.what());
    } catch (...) {
        // Anything else thrown must not reach Qt's event loop either: it
        // would end the process there.
        ReportUnexpectedException("an exception of unknown type");
    }
}
// Runs any piece of code under the dispatcher's protection.
void Guarded(const std::function<void()>& code);

// --- Focus and the active window -------------------------------------------------------
// The control that has the keyboard focus, or null.  While a LostFocus
// handler runs it is already the control that receives the focus.
Control* ActiveControl();
// The form whose window is active (the last form activated), or null.
Form* ActiveForm();

// --- Screen ---------------------------------------------------------------------------------
struct ScreenObject {
    double Width() const;    // twips
    double Height() const;   // twips
    // The part of the screen that windows may take (without task bars and
    // docks), in twips.
    double AvailableLeft() const;
    double AvailableTop() const;
    double AvailableWidth() const;
    double AvailableHeight() const;
    // The pointer shown over the whole program while it is not vbDefault
    // (an hourglass during long work).
    int MousePointer() const;
    void MousePointer(int p) const;
    Control* ActiveControl() const { return vb::ActiveControl(); }
    Form* ActiveForm() const { return vb::ActiveForm(); }
};
inline constexpr ScreenObject Screen{};

// --- Clipboard (text only) --------------------------------------------------------------
struct ClipboardObject {
    std::string GetText() const;
    void SetText(const std::string& text) const;
    void Clear() const;
};
inline constexpr ClipboardObject Clipboard{};

}  // namespace vb
