// Forms and menus.
//
// A form is a class derived from vb::Form that holds its controls as members
// (constructed with `*this`, or with the frame or picture box that contains
// them) and overrides the virtual Form_ handlers it needs.  The constructor
// wires the controls' events; nothing is shown until Show().
//
// Life of a form: Load() (also done by Show) raises Form_Load once per
// loading; Show() makes it visible and raises Form_Resize and Form_Activate;
// Hide() only hides it; Unload() raises Form_Unload (which may cancel),
// hides the window and marks the form unloaded, so a later Show() loads it
// again (Form_Load runs again; the controls keep their state).  When a form
// is unloaded and no loaded form is left visible, the remaining hidden forms
// are unloaded too and RunApplication's event loop ends.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/conversions.h"
#include "platform/ui/control.h"

class QMenu;
class QAction;

namespace vb {

class Form : public Container {
public:
    explicit Form(std::string name = "Form");
    ~Form() override;

    const std::string& Name() const { return name_; }

    // --- Properties ------------------------------------------------------------------
    std::string Caption() const;
    void Caption(const std::string& v);
    // Outer window rectangle in twips (screen coordinates).
    double Left() const;
    void Left(double v);
    double Top() const;
    void Top(double v);
    double Width() const;
    void Width(double v);
    double Height() const;
    void Height(double v);
    void Move(double left, std::optional<double> top = {}, std::optional<double> width = {},
              std::optional<double> height = {});
    // The smallest outer size the window takes, in twips (0 for none); the
    // user cannot make it smaller, and neither can Width, Height or Move.
    void MinimumSize(double width, double height);
    // Client area in twips (the form's scale is always twips).
    double ScaleWidth() const;
    double ScaleHeight() const;
    int WindowState() const;
    void WindowState(int state);
    bool Visible() const;
    void Visible(bool v);
    bool Enabled() const;
    void Enabled(bool v);
    int32_t BackColor() const { return backColor_; }
    void BackColor(int32_t c);
    bool KeyPreview() const { return keyPreview_; }
    void KeyPreview(bool v) { keyPreview_ = v; }
    int MousePointer() const { return mousePointer_; }
    void MousePointer(int p);
    const std::string& Tag() const { return tag_; }
    void Tag(std::string v) { tag_ = std::move(v); }
    bool IsLoaded() const { return loaded_; }
    // The control of this form that has (or last had) the focus, or null.
    Control* ActiveControl() const;

    // --- Methods -----------------------------------------------------------------------
    // Raises Form_Load when the form is not loaded yet.
    void Load();
    // Loads the form if needed and shows it.  vbModal runs a nested event
    // loop until the form is hidden or unloaded (not under the scripted
    // dialog sink of tests, see dialogs.h).
    void Show(int modal = vbModeless, Form* owner = nullptr);
    void Hide();
    // Raises Form_Unload; unless cancelled, hides and unloads the form.
    // Returns false when the handler cancelled.
    bool Unload();
    void SetFocus();
    void ZOrder(int position = vbBringToFront);
    void Refresh();

    // --- Events (override the ones the form handles) ----------------------------------
    virtual void Form_Load() {}
    virtual void Form_Activate() {}
    virtual void Form_Deactivate() {}
    virtual void Form_Resize() {}
    virtual void Form_Unload(int& Cancel) {}
    virtual void Form_Click() {}
    virtual void Form_DblClick() {}
    virtual void Form_Paint() {}
    virtual void Form_KeyDown(int& KeyCode, int& Shift) {}
    virtual void Form_KeyPress(int& KeyAscii) {}
    virtual void Form_KeyUp(int& KeyCode, int& Shift) {}
    virtual void Form_MouseDown(int Button, int Shift, float X, float Y) {}
    virtual void Form_MouseMove(int Button, int Shift, float X, float Y) {}
    virtual void Form_MouseUp(int Button, int Shift, float X, float Y) {}

    // --- Platform use ----------------------------------------------------------------------
    QWidget* ClientWidget() const override { return client_; }
    QWidget* TopWidget() const { return top_; }
    Form* ParentForm() override { return this; }
    // Every form object that exists, in order of creation.
    static const std::vector<Form*>& AllForms();
    // Raised by the event layer.
    void NotifyActivated();
    void NotifyResized();
    // The user closed the window: runs Unload.  Returns false when cancelled.
    bool NotifyCloseRequest();
    void RememberFocus(Control* c) { lastFocus_ = c; }
    Control* LastFocused() const { return lastFocus_; }
    void ForgetControl(Control* c);
    void RebuildMenuBar();

    // Text helper of the runtime, reachable unqualified inside form classes
    // (the member Left hides vb::Left otherwise).
    static std::string Left(std::string_view s, int64_t n) { return vb::Left(s, n); }

private:
    std::string name_;
    QWidget* top_ = nullptr;      // the window
    QWidget* client_ = nullptr;   // the area below the menu bar
    bool loaded_ = false;
    bool keyPreview_ = false;
    int32_t backColor_ = vbButtonFace;
    int mousePointer_ = vbDefault;
    std::string tag_;
    Control* lastFocus_ = nullptr;
    bool pressedInside_ = false;
    // Outer sizes set while the window was never shown: the frame's size is
    // known only once it is, so they are applied again then.
    std::optional<double> pendingWidth_, pendingHeight_;
    double minWidth_ = 0, minHeight_ = 0;
    void ApplyMinimumSize();
};

// A menu item.  A top-level menu belongs to a form (shown on its menu bar
// while Visible) or to a user control (pop-up only); items belong to a menu.
// A caption of "-" makes a separator.  A top-level menu made invisible is the
// usual way to hold a pop-up menu (Container::PopupMenu).
class Menu {
public:
    Menu(Container& owner, std::string caption, std::string name = {});
    Menu(Menu& parent, std::string caption, std::string name = {});
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& Name() const { return name_; }
    const std::string& Caption() const { return caption_; }
    void Caption(std::string v);
    bool Visible() const { return visible_; }
    void Visible(bool v);
    bool Enabled() const { return enabled_; }
    void Enabled(bool v);
    bool Checked() const { return checked_; }
    void Checked(bool v);
    const std::string& Tag() const { return tag_; }
    void Tag(std::string v) { tag_ = std::move(v); }
    bool IsSeparator() const { return caption_ == "-"; }

    Menu* Parent() const { return parent_; }
    const std::vector<Menu*>& Items() const { return items_; }
    // Finds an item of this menu (or below) by its caption, '&' ignored.
    Menu* FindItem(std::string_view caption);

    // Raised when the item is chosen (for a menu with items: when it opens).
    std::function<void()> Click;
    // Raises Click through the dispatcher (the event layer and tests).
    void Choose();

    // Platform use: builds the Qt menu of this item's children.
    void FillQtMenu(QMenu* menu);

private:
    void Changed();
    Container* owner_ = nullptr;
    Menu* parent_ = nullptr;
    std::vector<Menu*> items_;
    std::string name_;
    std::string caption_;
    std::string tag_;
    bool visible_ = true;
    bool enabled_ = true;
    bool checked_ = false;
};

}  // namespace vb
