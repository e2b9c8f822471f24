// The standard controls.  Every constructor takes the container the control
// sits on (a form, a frame, a picture box or a user control).  See control.h
// for the property and event style.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/control.h"
#include "platform/ui/picture.h"

class QTimer;

namespace vb {

class CommandButton : public Control {
public:
    explicit CommandButton(Container& c, std::string caption = {});
    std::string Caption() const;
    void Caption(const std::string& v);
    // The default button is pressed by Enter, the cancel button by Esc,
    // anywhere on the form.
    bool Default() const { return default_; }
    void Default(bool v);
    bool Cancel() const { return cancel_; }
    void Cancel(bool v) { cancel_ = v; }
    // Setting Value to true clicks the button.
    void Value(bool v);
    void CopyPropertiesFrom(const Control& source) override;

private:
    bool default_ = false;
    bool cancel_ = false;
};

class Label : public Control {
public:
    explicit Label(Container& c, std::string caption = {});
    std::string Caption() const;
    void Caption(const std::string& v);   // raises Change when it differs
    int Alignment() const { return alignment_; }   // 0 left, 1 right, 2 centre
    void Alignment(int a);
    int BorderStyle() const { return borderStyle_; }   // 0 none, 1 single
    void BorderStyle(int b);
    int BackStyle() const { return backStyle_; }       // 0 transparent, 1 opaque
    void BackStyle(int b);
    bool WordWrap() const { return wordWrap_; }
    void WordWrap(bool v);
    bool AutoSize() const { return autoSize_; }
    void AutoSize(bool v);
    std::function<void()> Change;
    void CopyPropertiesFrom(const Control& source) override;

protected:
    void ApplyColors() override;

private:
    int alignment_ = 0, borderStyle_ = 0, backStyle_ = 1;
    bool wordWrap_ = false, autoSize_ = false;
};

class TextBox : public Control {
public:
    explicit TextBox(Container& c, bool multiLine = false);
    std::string Text() const;
    // Raises Change when the text differs from the current one.
    void Text(const std::string& v);
    bool MultiLine() const { return multiLine_; }
    void MultiLine(bool v);
    // 0 none, 1 horizontal, 2 vertical, 3 both (multi-line boxes).
    int ScrollBars() const { return scrollBars_; }
    void ScrollBars(int v);
    bool Locked() const { return locked_; }
    void Locked(bool v);
    int MaxLength() const { return maxLength_; }
    void MaxLength(int v);
    int Alignment() const { return alignment_; }   // 0 left, 1 right, 2 centre
    void Alignment(int a);
    int BorderStyle() const { return borderStyle_; }   // 0 none, 1 single
    void BorderStyle(int b);
    // Selection in characters, 0-based caret position.
    int SelStart() const;
    void SelStart(int v);   // also collapses the selection
    int SelLength() const;
    void SelLength(int v);
    std::string SelText() const;
    void SelText(const std::string& v);   // replaces the selection
    std::function<void()> Change;
    void CopyPropertiesFrom(const Control& source) override;
    void ApplyColors() override;

private:
    void Build(const std::string& text);
    bool multiLine_ = false;
    int scrollBars_ = 0;
    bool locked_ = false;
    int maxLength_ = 0;
    int alignment_ = 0;
    int borderStyle_ = 1;
    bool settingText_ = false;
    std::string lastText_;
};

class CheckBox : public Control {
public:
    explicit CheckBox(Container& c, std::string caption = {});
    std::string Caption() const;
    void Caption(const std::string& v);
    // vbUnchecked 0, vbChecked 1, vbGrayed 2; a change raises Click, from
    // code as from the user.
    int Value() const;
    void Value(int v);
    void CopyPropertiesFrom(const Control& source) override;

private:
    int value_ = 0;
};

// Option buttons on the same container exclude each other.
class OptionButton : public Control {
public:
    explicit OptionButton(Container& c, std::string caption = {});
    std::string Caption() const;
    void Caption(const std::string& v);
    // Setting true clears the other options of the container and raises
    // Click (also when it was already true, as the runtime does).
    bool Value() const;
    void Value(bool v);
    void CopyPropertiesFrom(const Control& source) override;
};

// A frame: a captioned border that holds controls.  Its children's
// positions are twips from the frame's top-left corner.
class Frame : public Control, public Container {
public:
    explicit Frame(Container& c, std::string caption = {});
    std::string Caption() const;
    void Caption(const std::string& v);
    int BorderStyle() const { return borderStyle_; }   // 0 none, 1 single
    void BorderStyle(int b);
    QWidget* ClientWidget() const override { return widget_; }
    Form* ParentForm() override { return Control::ParentForm(); }
    void CopyPropertiesFrom(const Control& source) override;
    // A frame reports the pointer in its own scale, twips from its corner,
    // also when it stands on a picture box with a user scale.
    float MouseXFromPixels(double px) const override { return static_cast<float>(PixelsToSizeX(px)); }
    float MouseYFromPixels(double py) const override { return static_cast<float>(PixelsToSizeY(py)); }

private:
    int borderStyle_ = 1;
};

class ListBox : public Control {
public:
    explicit ListBox(Container& c);
    // Adds an item at the end, or before position `index` (0-based).
    void AddItem(const std::string& item, int index = -1);
    void RemoveItem(int index);   // error 5 when out of range
    void Clear();
    std::string List(int index) const;   // "" when out of range
    void List(int index, const std::string& v);
    int ListCount() const;
    // The selected item, -1 for none.  Setting it raises Click (setting -1
    // clears the selection without a Click).
    int ListIndex() const;
    void ListIndex(int v);
    // The selected item's text.
    std::string Text() const;
    int32_t ItemData(int index) const;
    void ItemData(int index, int32_t v);
    // Position of the item added last.
    int NewIndex() const { return newIndex_; }
    bool Selected(int index) const;
    void Selected(int index, bool v);
    int TopIndex() const;
    void TopIndex(int v);
    bool Sorted() const { return sorted_; }
    void Sorted(bool v) { sorted_ = v; }
    void CopyPropertiesFrom(const Control& source) override;

private:
    std::vector<int32_t> itemData_;
    int newIndex_ = -1;
    bool sorted_ = false;
    bool settingIndex_ = false;
};

class ComboBox : public Control {
public:
    // Style 0: editable drop-down; 2: drop-down list (no typing).
    explicit ComboBox(Container& c, int style = 0);
    int Style() const { return style_; }
    void AddItem(const std::string& item, int index = -1);
    void RemoveItem(int index);
    void Clear();
    std::string List(int index) const;
    void List(int index, const std::string& v);
    int ListCount() const;
    // Setting it raises Click (and, for the editable style, Change).
    int ListIndex() const;
    void ListIndex(int v);
    std::string Text() const;
    // Editable style: sets the edit text (raises Change when it differs).
    // List style: selects the matching item (error 383 when none matches).
    void Text(const std::string& v);
    int32_t ItemData(int index) const;
    void ItemData(int index, int32_t v);
    int NewIndex() const { return newIndex_; }
    std::function<void()> Change;   // typed text changed (editable style)

private:
    int style_ = 0;
    std::vector<int32_t> itemData_;
    int newIndex_ = -1;
    bool settingIndex_ = false;
    bool editLeaving_ = false;   // the edit is losing the focus
};

// Scroll bars.  Values are 16-bit (-32768 to 32767, error 380 outside);
// Min may exceed Max (the bar then runs the other way).
class ScrollBar : public Control {
public:
    int Min() const { return min_; }
    void Min(int v);
    int Max() const { return max_; }
    void Max(int v);
    int Value() const { return value_; }
    // Raises Change only when the value differs.  A value outside Min..Max
    // raises 380 ("Invalid property value").
    void Value(int v);
    int SmallChange() const { return smallChange_; }
    void SmallChange(int v);
    int LargeChange() const { return largeChange_; }
    void LargeChange(int v);
    std::function<void()> Change;   // value changed (code, click, end of a drag)
    std::function<void()> Scroll;   // thumb being dragged
    void CopyPropertiesFrom(const Control& source) override;

protected:
    ScrollBar(Container& c, bool vertical);

private:
    void Sync();
    void ClampToRange();
    void FromWidget(int widgetValue, bool dragging);
    bool vertical_;
    int dragStart_ = 0;
    int min_ = 0, max_ = 32767, value_ = 0, smallChange_ = 1, largeChange_ = 1;
    bool syncing_ = false;
};

class VScrollBar : public ScrollBar {
public:
    explicit VScrollBar(Container& c) : ScrollBar(c, true) {}
};
class HScrollBar : public ScrollBar {
public:
    explicit HScrollBar(Container& c) : ScrollBar(c, false) {}
};

// A timer: raises Tick every Interval milliseconds while Enabled and the
// interval is above 0.  (The runtime calls the event Timer; a member cannot
// share its class's name in C++.)  Tests fire it by hand with FireTimer().
class Timer {
public:
    explicit Timer(Container& c);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    int Interval() const { return interval_; }
    void Interval(int ms);
    bool Enabled() const { return enabled_; }
    void Enabled(bool v);
    const std::string& Tag() const { return tag_; }
    void Tag(std::string v) { tag_ = std::move(v); }
    int Index() const { return index_; }
    void SetArrayIndex(int i) { index_ = i; }
    std::function<void()> Tick;
    // Raises Tick now, through the dispatcher, as an elapsed interval would.
    void FireTimer();
    bool IsRunning() const;

private:
    void Restart();
    QTimer* timer_ = nullptr;
    int interval_ = 0;
    bool enabled_ = true;
    std::string tag_;
    int index_ = -1;
};

// An image box: shows a picture, at its own size (the box then takes the
// picture's size) or stretched to the box when Stretch is true.
class Image : public Control {
public:
    explicit Image(Container& c);
    PictureRef Picture() const { return picture_; }
    void Picture(PictureRef p);
    bool Stretch() const { return stretch_; }
    void Stretch(bool v);
    int BorderStyle() const { return borderStyle_; }
    void BorderStyle(int b);
    void CopyPropertiesFrom(const Control& source) override;

private:
    PictureRef picture_;
    bool stretch_ = false;
    int borderStyle_ = 0;
};

// A shape drawn on its container: rectangle, square, oval, circle, rounded
// rectangle or rounded square.  It takes no mouse input.
class Shape : public Control {
public:
    explicit Shape(Container& c);
    int Kind() const { return shape_; }         // the runtime's Shape property
    void Kind(int v);
    int32_t BorderColor() const { return borderColor_; }
    void BorderColor(int32_t c);
    int BorderWidth() const { return borderWidth_; }
    void BorderWidth(int w);
    int BorderStyle() const { return borderStyle_; }   // 0 transparent, 1 solid, 2 dash ...
    void BorderStyle(int s);
    int32_t FillColor() const { return fillColor_; }
    void FillColor(int32_t c);
    int FillStyle() const { return fillStyle_; }      // vbFSSolid, vbFSTransparent ...
    void FillStyle(int s);
    int BackStyle() const { return backStyle_; }      // 0 transparent, 1 opaque
    void BackStyle(int s);
    void BackColor(int32_t c) override;
    using Control::BackColor;
    void CopyPropertiesFrom(const Control& source) override;

private:
    friend class ShapeWidget;
    int shape_ = vbShapeRectangle;
    int32_t borderColor_ = vbWindowText;
    int borderWidth_ = 1;
    int borderStyle_ = 1;
    int32_t fillColor_ = vbBlack;
    int fillStyle_ = vbFSTransparent;
    int backStyle_ = 0;
};

// A line drawn on its container from (X1, Y1) to (X2, Y2), container units.
class Line : public Control {
public:
    explicit Line(Container& c);
    double X1() const { return x1_; }
    void X1(double v);
    double Y1() const { return y1_; }
    void Y1(double v);
    double X2() const { return x2_; }
    void X2(double v);
    double Y2() const { return y2_; }
    void Y2(double v);
    int32_t BorderColor() const { return borderColor_; }
    void BorderColor(int32_t c);
    int BorderWidth() const { return borderWidth_; }
    void BorderWidth(int w);
    int BorderStyle() const { return borderStyle_; }
    void BorderStyle(int s);
    void CopyPropertiesFrom(const Control& source) override;
    // Platform use: end points in pixels of the container.
    void Relayout();

private:
    friend class LineWidget;
    double x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    int32_t borderColor_ = vbWindowText;
    int borderWidth_ = 1;
    int borderStyle_ = 1;
};

// The base of the program's own composite controls (the tab strip, the spin
// buttons, the editable grid).  It is a container in twips; the derived
// class builds its children in its constructor and wires their events.
class UserControl : public Control, public Container {
public:
    explicit UserControl(Container& c);
    QWidget* ClientWidget() const override { return widget_; }
    Form* ParentForm() override { return Control::ParentForm(); }
    double ScaleWidth() const { return Width(); }
    double ScaleHeight() const { return Height(); }
    // False: neither the user control nor any control placed on it takes the
    // keyboard focus; a click on it leaves the focus where it was, and Tab
    // passes it by.  True for a new user control.
    bool CanGetFocus() const { return canGetFocus_; }
    void CanGetFocus(bool v);
    // Raised after the control's size changed.
    std::function<void()> Resize;
    // Raised when the control is shown or hidden.
    std::function<void()> Show;
    std::function<void()> Hide;

private:
    bool canGetFocus_ = true;
};

}  // namespace vb
