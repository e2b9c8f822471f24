// UserControl1: a one-row strip of caption tabs.
//
// It paints itself from nine small skin images (left cap, stretched middle
// and right cap for the plain, selected and hover looks), highlights the tab
// under the pointer, marks the tabs chosen by a left press in TABB, and
// scrolls sideways with a pair of spin buttons when its tabs are wider than
// the control.  Tab edges are pixels of the strip; the positions and sizes of
// the child controls are twips.  The main window holds two strips,
// UserControl11 (laterals) and UserControl12 (pipes), and drives them by the
// member names below.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/subclass.h"
#include "controls/usercontrol2.h"
#include "platform/runtime/variant.h"
#include "platform/ui/ui.h"

// One tab.  Element 0 of the strip's list is a blank tab that is never drawn.
struct TabRecord {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    std::string Caption;
    bool IsSelected = false;
    bool IsHover = false;
    bool IsDrawn = false;
};

class UserControl1 : public vb::UserControl {
public:
    explicit UserControl1(vb::Container& container);
    ~UserControl1() override;

    // --- Public members, in the order the host knows them --------------------
    // Leaves only the blank tab; TABB keeps its entries.
    void tabreset();
    // Applies the TABB marks to the tabs and repaints.
    void ShowMarks();
    // ShowMarks, then raises TabSelect (the strip's own click handler).
    void Picture10_Click();
    // Full repaint.
    void Picture10_Paint();
    // The full repaint, only when the canvas may not show what it would draw:
    // a tab's look changed (text) or something else drew on the canvas since.
    void PaintIfStale();
    void AddTab(std::string caption);
    void RemoveTab(int32_t index);
    int32_t SelectedIndex() const { return selectedIndex_; }
    void SelectedIndex(int32_t v) { selectedIndex_ = v; }
    // Writing marks the tabs whose caption equals the text (exact match) and
    // unmarks the others, without repainting.
    const std::string& text() const { return text_; }
    void text(const std::string& v);
    int16_t Selected() const { return selected_; }
    void Selected(int16_t v) { selected_ = v; }
    // The chosen marks: a copy of an array 0 ... n + 1 of Variants (1 =
    // chosen).  Writing replaces it with a copy of the given array.
    vb::Variant TABB() const { return tabb_; }
    void TABB(const vb::Variant& v);

    // --- Events ------------------------------------------------------------------
    std::function<void()> Over;                       // tabs became wider than the strip
    std::function<void()> Under;                      // never raised
    std::function<void(int32_t& Index)> TabSelect;    // after Picture10_Click; Index is 1
    std::function<void()> refresh;                    // right press on a tab

    // --- Child controls ---------------------------------------------------------
    vb::PictureBox Picture10;   // the canvas that shows the tabs
    vb::PictureBox Picture1, Picture2, Picture3;   // plain look: left cap, middle, right cap
    vb::PictureBox Picture4, Picture5, Picture6;   // selected look
    vb::PictureBox Picture7, Picture8, Picture9;   // hover look
    UserControl2 cmd;           // scrolls the canvas
    Subclass m_Hook;            // hover tracker (inert)

    // --- Handlers -----------------------------------------------------------------
    void Picture10_MouseDown(int Button, int Shift, float X, float Y);
    void Picture10_MouseMove(int Button, int Shift, float X, float Y);
    void cmd_Change(int32_t& Value);
    void UserControl_Initialize();
    void UserControl_Resize();
    void UserControl_Terminate();
    void m_Hook_MouseOut();

    // --- State, for the host's tests ---------------------------------------------
    const std::vector<TabRecord>& Tabs() const { return tabs_; }
    int32_t NextX() const { return nextX_; }
    // Width of a caption in pixels, as the tabs are laid out with.
    double CaptionWidthPixels(const std::string& caption);
    // Hit test of a pointer position in pixels against tab i.
    bool PtInTabRect(int32_t i, int32_t x, int32_t y) const;

    enum class Look { Plain, Selected, Hover };

private:
    void BuildSkins();
    // captionWidth: the caption's width in pixels when the caller has just
    // measured it (measuring is the costly part of drawing a tab).
    void DrawTab(const TabRecord& tab, Look look, double captionWidth = -1);
    void DrawPlainOrSelected(const TabRecord& tab, double captionWidth = -1) {
        DrawTab(tab, tab.IsSelected ? Look::Selected : Look::Plain, captionWidth);
    }
    void UpdateScroll();
    void LayOutCanvas();
    void Mark(int32_t i, int value);
    static int32_t ToPixels(float twips);

    std::vector<TabRecord> tabs_;
    vb::Variant tabb_;
    int32_t nextX_ = 0;
    int32_t selectedIndex_ = -1;
    std::string text_;
    int16_t selected_ = 0;
    // How long the canvas's log was when the strip last left it showing what
    // a full repaint would draw; empty once a tab's look changed without a
    // drawing.  While the log still has that length, an added tab is drawn
    // alone instead of repainting every tab.
    std::optional<size_t> syncedLogSize_;
};
