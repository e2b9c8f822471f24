// The base of every control and of everything that holds controls.
//
// Property style: every property is a pair of overloaded member functions, a
// getter `Caption()` and a setter `Caption("OK")`.  Setters that the runtime
// documents as raising an event (TextBox.Text -> Change, ListBox.ListIndex ->
// Click, ScrollBar.Value -> Change, CheckBox.Value -> Click ...) raise it
// synchronously, before they return, through the event dispatcher.
//
// Event style: a control's events are public std::function members
// (`Click`, `MouseDown`, ...).  A form wires each one to its handler once, in
// its constructor:
//     Command1.Click = [this] { Command1_Click(); };
//     Picture1.MouseDown = [this](int b, int s, float x, float y) { Picture1_MouseDown(b, s, x, y); };
// An empty std::function means "no handler".  Arguments that the handler may
// change (KeyCode, KeyAscii, Cancel) are passed by reference.
//
// Keys: a key goes to the control that has the focus in its window (the form
// previews it first when KeyPreview is on).  Tab and Shift+Tab move the focus
// to the next or previous control, unless the control takes them: a control
// whose TakesTab is true and that has a KeyDown or KeyPress handler wired
// keeps them.  Its KeyDown gets vbKeyTab (Shift mask 1 for Shift+Tab), its
// KeyPress the character 9, and the focus stays where it is whatever the
// handlers did.  A handler cannot "return" that it took a key, so the control
// says so beforehand; a control that does not say so still sees Tab in
// KeyDown, and the focus moves on after it.
//
// Units: Left, Top, Width and Height are in the scale units of the control's
// container: twips for forms, frames and user controls, and the picture box's
// current scale for controls placed on a picture box.  Mouse coordinates are
// in the control's own scale (a picture box's user scale, a frame's twips;
// for controls that have no scale of their own, the container's units
// relative to the control's top-left corner).  Mouse events are not passed
// on to the container underneath.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/conversions.h"
#include "platform/ui/constants.h"

class QWidget;
class QObject;

namespace vb {

class Container;
class Form;
class Menu;

// A font as controls carry it.  Size is in points (96 dots per inch: 8.25 pt
// is 11 pixels).  HeightPixels and Escapement serve the rotated-text path of
// picture boxes: a positive HeightPixels is the height of the character cell
// in pixels, a negative one the height of the characters themselves, 0 means
// "use Size"; Escapement is the angle of the base line in tenths of a degree,
// counter-clockwise.  The face "Arial" is drawn with Liberation Sans.
struct Font {
    std::string Name = "MS Sans Serif";
    double Size = 8.25;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    int HeightPixels = 0;
    int Escapement = 0;
};

// Mouse and key event signatures shared by all controls.
using MouseHandler = std::function<void(int Button, int Shift, float X, float Y)>;
using KeyHandler = std::function<void(int& KeyCode, int& Shift)>;
using KeyPressHandler = std::function<void(int& KeyAscii)>;

// Something that holds controls: a form, a frame, a picture box or a user
// control.  It maps its children's positions (in its scale units) to pixels.
class Container {
public:
    Container();
    virtual ~Container();
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    // The widget that child controls are placed on (platform use only).
    virtual QWidget* ClientWidget() const = 0;
    // The form this container belongs to (itself for a form).
    virtual Form* ParentForm() = 0;

    // Conversion between this container's scale units and pixels of its
    // client area: positions include the scale origin, sizes do not.
    virtual double UnitsToPixelsX(double x) const;   // position
    virtual double UnitsToPixelsY(double y) const;
    virtual double PixelsToUnitsX(double px) const;
    virtual double PixelsToUnitsY(double py) const;
    virtual double SizeToPixelsX(double w) const;    // size
    virtual double SizeToPixelsY(double h) const;
    virtual double PixelsToSizeX(double px) const;
    virtual double PixelsToSizeY(double py) const;

    // Shows `menu` as a pop-up menu at (x, y) in this container's units, or
    // at the mouse pointer when no position is given.  The menu's own Click
    // is raised first (it opens); the chosen item's Click runs before
    // PopupMenu returns.  Goes through the dialog sink, so tests
    // choose the item (see dialogs.h).
    void PopupMenu(Menu& menu, int flags = 0, std::optional<double> x = {},
                   std::optional<double> y = {});

    // The top-level menus declared on this container, in order.
    const std::vector<Menu*>& Menus() const { return menus_; }

private:
    friend class Menu;
    std::vector<Menu*> menus_;
};

class Control {
public:
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // --- Identity ---------------------------------------------------------------
    const std::string& Name() const { return name_; }
    void Name(std::string name);
    // Index within a control array, -1 for a control that is not in one.
    int Index() const { return index_; }
    Container& ContainerOf() const { return *container_; }
    Form* ParentForm() const;

    // --- Position and size (container units) -----------------------------------
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

    // --- Common properties ----------------------------------------------------------
    bool Visible() const;
    void Visible(bool v);
    bool Enabled() const;
    void Enabled(bool v);
    const std::string& Tag() const { return tag_; }
    void Tag(std::string v) { tag_ = std::move(v); }
    int32_t BackColor() const { return backColor_; }
    virtual void BackColor(int32_t c);
    int32_t ForeColor() const { return foreColor_; }
    virtual void ForeColor(int32_t c);
    int MousePointer() const { return mousePointer_; }
    void MousePointer(int p);
    const std::string& ToolTipText() const { return toolTip_; }
    void ToolTipText(std::string t);
    bool TabStop() const { return tabStop_; }
    void TabStop(bool v);
    // Whether Tab and Shift+Tab belong to the control's key handlers instead
    // of moving the focus (see "Keys" above).  False for a new control.
    bool TakesTab() const { return takesTab_; }
    void TakesTab(bool v) { takesTab_ = v; }

    const vb::Font& Font() const { return font_; }
    virtual void Font(const vb::Font& f);
    std::string FontName() const { return font_.Name; }
    void FontName(std::string v);
    double FontSize() const { return font_.Size; }
    void FontSize(double v);
    bool FontBold() const { return font_.Bold; }
    void FontBold(bool v);

    // --- Methods -------------------------------------------------------------------------
    // 0 (vbBringToFront) puts the control above its siblings, 1 below them.
    void ZOrder(int position = vbBringToFront);
    // Gives the keyboard focus to the control (its form is activated first).
    void SetFocus();
    // True while the control has the keyboard focus.
    bool HasFocus() const;
    // Repaints the control now.
    virtual void Refresh();

    // --- Events ----------------------------------------------------------------------------
    std::function<void()> Click;
    std::function<void()> DblClick;
    MouseHandler MouseDown;
    MouseHandler MouseMove;
    MouseHandler MouseUp;
    KeyHandler KeyDown;
    KeyPressHandler KeyPress;
    KeyHandler KeyUp;
    std::function<void()> GotFocus;
    std::function<void()> LostFocus;

    // --- Platform use ----------------------------------------------------------------------
    QWidget* widget() const { return widget_; }
    // Copies the properties a new control-array element takes from the
    // array's first element (position, size, colours, font, tag, caption ...);
    // Visible and Index are not copied.  Overridden by controls with more.
    virtual void CopyPropertiesFrom(const Control& source);
    void SetArrayIndex(int index) { index_ = index; }
    // Mouse positions: pixels of the widget -> the control's scale units.
    virtual float MouseXFromPixels(double px) const;
    virtual float MouseYFromPixels(double py) const;
    // Called by the event layer; raise the events through the dispatcher.
    // A control may override them to add its own behaviour (a label's Click
    // on release, a grid's cell choice) and call the base.
    virtual void OnMousePress(int button, int shift, double px, double py);
    virtual void OnMouseMove(int button, int shift, double px, double py);
    virtual void OnMouseRelease(int button, int shift, double px, double py);
    virtual void OnDoubleClick();
    // Key down: returns false when the key is to be swallowed.
    virtual bool OnKeyDown(int& keyCode, int shift);
    virtual void OnKeyUp(int& keyCode, int shift);
    // Character typed: KeyAscii may be changed or set to 0 (swallowed).
    virtual void OnKeyPress(int& keyAscii);
    virtual void OnFocusIn();
    virtual void OnFocusOut();
    // Re-applies the stored geometry to the widget (after the container's
    // scale or size changed, or the widget was replaced).
    void ApplyGeometry();
    // True while the object exists; event code checks it after a handler ran,
    // because a handler may unload the control that raised the event.
    std::weak_ptr<int> LifeToken() const { return life_; }

    // Text helpers of the runtime, reachable unqualified inside classes
    // derived from Control (a member named Left hides vb::Left otherwise).
    static std::string Left(std::string_view s, int64_t n) { return vb::Left(s, n); }

protected:
    explicit Control(Container& container);
    // Installs the widget that shows the control (called by every control's
    // constructor; may be called again to replace it).
    void SetWidget(QWidget* w);
    // Applies font_ to the widget.
    virtual void ApplyFont();
    // Applies colours to the widget.
    virtual void ApplyColors();
    // Click raised when the left button is released over the control after
    // a press on it (labels, images, frames, picture boxes).
    bool clickOnRelease_ = false;
    bool pressedInside_ = false;

    Container* container_;
    QWidget* widget_ = nullptr;
    QObject* filter_ = nullptr;
    std::string name_;
    int index_ = -1;
    std::string tag_;
    int32_t backColor_ = vbButtonFace;
    int32_t foreColor_ = vbButtonText;
    int mousePointer_ = vbDefault;
    std::string toolTip_;
    bool tabStop_ = true;
    bool takesTab_ = false;
    bool visible_ = true;
    vb::Font font_;
    // Geometry in twips relative to the container's client origin.
    double leftTw_ = 0, topTw_ = 0, widthTw_ = 1200, heightTw_ = 375;
    std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

}  // namespace vb
