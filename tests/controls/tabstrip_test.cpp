#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/usercontrol1.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

constexpr float kTw = 15;   // twips per pixel

struct StripHost {
    vb::Form form{"StripHost"};
    UserControl1 strip{form};
    int overs = 0, refreshes = 0;
    std::vector<int32_t> tabSelects;
    explicit StripHost(double width = 6000) {
        form.Move(0, 0, width + 600, 1200);
        vb::test::ShowAndActivate(form);   // size changes reach a shown control at once
        strip.Move(0, 0, width, 300);
        strip.Over = [this] { ++overs; };
        strip.refresh = [this] { ++refreshes; };
        strip.TabSelect = [this](int32_t& i) { tabSelects.push_back(i); };
    }
    void Add(std::initializer_list<const char*> captions) {
        strip.tabreset();
        for (const char* c : captions) strip.AddTab(c);
    }
    // Pointer actions at a pixel of the strip (events carry twips).
    void Press(int button, int32_t px, int32_t py = 8) { strip.Picture10_MouseDown(button, 0, px * kTw, py * kTw); }
    void Move(int32_t px, int32_t py = 8) { strip.Picture10_MouseMove(0, 0, px * kTw, py * kTw); }
    int32_t Middle(int i) const { return (strip.Tabs()[i].Left + strip.Tabs()[i].Right) / 2; }
    int Mark(int i) const {
        vb::Variant v = strip.TABB().Element(i);
        return v.IsEmpty() ? -1 : vb::CInt(v);
    }
    // Skin pieces painted on the canvas since the last clear.
    size_t Pieces() const {
        size_t n = 0;
        for (const vb::DrawEntry& e : strip.Picture10.DrawLog())
            if (e.kind == vb::DrawEntry::Kind::Picture) ++n;
        return n;
    }
};

TEST(TabStrip, LayoutOfTabs) {
    StripHost h;
    h.Add({"Lateral1"});
    const auto& tabs = h.strip.Tabs();
    ASSERT_EQ(tabs.size(), 2u);
    const double w = h.strip.CaptionWidthPixels("Lateral1");
    EXPECT_GT(w, 10);
    EXPECT_EQ(tabs[1].Left, 4);
    EXPECT_EQ(tabs[1].Right, static_cast<int32_t>(vb::RoundHalfEven(13 + w)));
    EXPECT_EQ(tabs[1].Top, 0);
    EXPECT_EQ(tabs[1].Bottom, 17);
    h.strip.AddTab("Lateral2");
    h.strip.AddTab("L3");
    EXPECT_EQ(tabs[2].Left, tabs[1].Right + 2);
    EXPECT_EQ(tabs[3].Left, tabs[2].Right + 2);
    // NextX is 2 plus the widths of the real tabs plus 2 each.
    int32_t sum = 2;
    for (size_t i = 1; i < tabs.size(); ++i) sum += tabs[i].Right - tabs[i].Left + 2;
    EXPECT_EQ(h.strip.NextX(), sum);
    // TABB always reaches one past the last tab.
    EXPECT_EQ(h.strip.TABB().UBound(), 4);
    // Every tab was painted: three skin pieces and its caption each.
    EXPECT_EQ(h.Pieces(), 9u);
    size_t texts = 0;
    for (const vb::DrawEntry& e : h.strip.Picture10.DrawLog())
        if (e.kind == vb::DrawEntry::Kind::Text) ++texts;
    EXPECT_EQ(texts, 3u);
    // The blank tab and the gaps between tabs are never hit.
    EXPECT_FALSE(h.strip.PtInTabRect(0, 0, 0));
    EXPECT_TRUE(h.strip.PtInTabRect(1, tabs[1].Left, 0));
    EXPECT_TRUE(h.strip.PtInTabRect(1, tabs[1].Right, 17));
    EXPECT_FALSE(h.strip.PtInTabRect(1, tabs[1].Right + 1, 5));
    EXPECT_FALSE(h.strip.PtInTabRect(2, tabs[1].Right + 1, 5));
    EXPECT_FALSE(h.strip.PtInTabRect(1, tabs[1].Left + 3, 18));
}

TEST(TabStrip, LeftPressMarksOneTabAndClickAnnouncesIt) {
    StripHost h;
    h.Add({"A1", "B2", "C3"});
    h.Press(vb::vbLeftButton, h.Middle(2));
    EXPECT_EQ(h.Mark(0), 0);
    EXPECT_EQ(h.Mark(1), 0);
    EXPECT_EQ(h.Mark(2), 1);
    EXPECT_EQ(h.Mark(3), 0);
    EXPECT_EQ(h.strip.text(), "B2");
    EXPECT_EQ(h.strip.Selected(), 2);
    EXPECT_EQ(h.strip.SelectedIndex(), -1);
    EXPECT_TRUE(h.strip.Tabs()[2].IsSelected);
    EXPECT_FALSE(h.strip.Tabs()[1].IsSelected);
    EXPECT_TRUE(h.tabSelects.empty());

    h.strip.Picture10_Click();
    ASSERT_EQ(h.tabSelects.size(), 1u);
    EXPECT_EQ(h.tabSelects[0], 1);
    EXPECT_TRUE(h.strip.Tabs()[2].IsSelected);

    // A press beside every tab with the left button unmarks them all.
    h.Press(vb::vbLeftButton, h.strip.Tabs()[3].Right + 50);
    for (int i = 0; i <= 3; ++i) EXPECT_EQ(h.Mark(i), 0) << i;
    for (const TabRecord& t : h.strip.Tabs()) EXPECT_FALSE(t.IsSelected);
    EXPECT_EQ(h.strip.SelectedIndex(), -1);
    EXPECT_EQ(h.strip.text(), "B2");   // the caption of the last tab pressed stays
}

TEST(TabStrip, RightPressSelectsByCaptionAndAsksForRefresh) {
    StripHost h;
    h.Add({"Se 1", "Se 2", "Se 2", "Se 4"});
    h.Press(vb::vbLeftButton, h.Middle(4));
    std::vector<int> before;
    for (int i = 0; i <= 5; ++i) before.push_back(h.Mark(i));
    h.Press(vb::vbRightButton, h.Middle(2));
    EXPECT_EQ(h.strip.SelectedIndex(), 2);
    EXPECT_EQ(h.strip.text(), "Se 2");
    EXPECT_EQ(h.strip.Selected(), 2);
    EXPECT_EQ(h.refreshes, 1);
    EXPECT_TRUE(h.strip.Tabs()[2].IsSelected);
    EXPECT_TRUE(h.strip.Tabs()[3].IsSelected);   // same caption
    EXPECT_FALSE(h.strip.Tabs()[4].IsSelected);
    for (int i = 0; i <= 5; ++i) EXPECT_EQ(h.Mark(i), before[i]) << i;   // TABB untouched
    EXPECT_EQ(h.Mark(4), 1);

    // A right press beside the tabs only resets SelectedIndex.
    h.strip.SelectedIndex(3);
    h.Press(vb::vbRightButton, h.strip.Tabs()[4].Right + 40);
    EXPECT_EQ(h.strip.SelectedIndex(), -1);
    EXPECT_EQ(h.Mark(4), 1);
    EXPECT_EQ(h.refreshes, 1);
}

TEST(TabStrip, TextPropertyAndTabbDriveTheSelection) {
    StripHost h;
    h.Add({"Lateral1", "Lateral2", "Lateral3"});
    h.strip.text("Lateral2");
    EXPECT_TRUE(h.strip.Tabs()[2].IsSelected);
    h.strip.text("lateral2");   // exact, case-sensitive comparison
    for (const TabRecord& t : h.strip.Tabs()) EXPECT_FALSE(t.IsSelected);
    EXPECT_EQ(h.strip.text(), "lateral2");

    // The host marks a tab through a copy of TABB and applies it with a click.
    vb::Variant marks = h.strip.TABB();
    marks.SetElement(3, vb::Variant(static_cast<int16_t>(1)));
    EXPECT_FALSE(h.strip.Tabs()[3].IsSelected);   // the copy is not the strip's array
    h.strip.TABB(marks);
    h.strip.Picture10_Click();
    EXPECT_TRUE(h.strip.Tabs()[3].IsSelected);
    EXPECT_FALSE(h.strip.Tabs()[1].IsSelected);
    EXPECT_EQ(h.tabSelects.size(), 1u);
    // Anything but 1 is not chosen.
    marks.SetElement(3, vb::Variant("1x"));
    h.strip.TABB(marks);
    h.strip.Picture10_Click();
    EXPECT_FALSE(h.strip.Tabs()[3].IsSelected);

    // After a tabreset TABB keeps its longer list; a click then applies only
    // the marks that have tabs, and the next AddTab trims TABB.
    marks.SetElement(3, vb::Variant(static_cast<int16_t>(1)));
    h.strip.TABB(marks);
    h.strip.tabreset();
    EXPECT_EQ(h.strip.TABB().UBound(), 4);
    EXPECT_NO_THROW(h.strip.Picture10_Click());
    h.strip.AddTab("Lateral9");
    EXPECT_EQ(h.strip.TABB().UBound(), 2);
}

TEST(TabStrip, OverfullStripShowsSpinButtonsAndScrolls) {
    StripHost h(3000);
    h.strip.tabreset();
    EXPECT_FALSE(h.strip.cmd.Visible());
    int added = 0;
    while (h.strip.NextX() * kTw <= h.strip.Width()) {
        EXPECT_FALSE(h.strip.cmd.Visible());
        h.strip.AddTab("Lateral" + std::to_string(++added));
        ASSERT_LT(added, 100);
    }
    EXPECT_EQ(h.overs, 1);
    EXPECT_TRUE(h.strip.cmd.Visible());
    h.strip.AddTab("More1");
    h.strip.AddTab("More2");
    EXPECT_EQ(h.overs, 1);   // raised once, when the strip first overflowed

    // The spin buttons sit at the right edge; at Max the last tab ends 30
    // twips left of them.
    UserControl2& cmd = h.strip.cmd;
    EXPECT_DOUBLE_EQ(cmd.Left(), h.strip.Width() - cmd.Width());
    EXPECT_EQ(cmd.Min(), 0);
    cmd.Value(cmd.Max());
    int32_t v = cmd.Value();
    h.strip.cmd_Change(v);
    const double lastRight = h.strip.Picture10.Left() + h.strip.Tabs().back().Right * kTw;
    EXPECT_NEAR(cmd.Left() - lastRight, 30, 0.5);
    EXPECT_NEAR(h.strip.Picture10.Left() + h.strip.Picture10.Width(), h.strip.Width(), 0.5);

    // Pressing ">" scrolls the canvas left by the value.
    cmd.Value(0);
    cmd.Command2_MouseDown(1, 0, 0, 0);
    EXPECT_GT(cmd.Value(), 0);
    EXPECT_DOUBLE_EQ(h.strip.Picture10.Left(), -cmd.Value());
    cmd.Command2_MouseUp(1, 0, 0, 0);

    // When the tabs fit again the buttons go and the canvas comes back.
    h.Add({"Only"});
    EXPECT_FALSE(h.strip.cmd.Visible());
    EXPECT_DOUBLE_EQ(h.strip.Picture10.Left(), 0);
}

TEST(TabStrip, HoverRedrawsOnlyTabsThatChange) {
    StripHost h;
    h.Add({"One", "Two", "Three"});
    // Visit every tab once so that each has been drawn by a move.
    for (int i = 1; i <= 3; ++i) h.Move(h.Middle(i));
    h.Move(h.Middle(1));
    EXPECT_TRUE(h.strip.Tabs()[1].IsHover);
    h.strip.Picture10.Cls();
    h.Move(h.Middle(2));
    EXPECT_EQ(h.Pieces(), 6u);   // tab 1 back to plain, tab 2 hovered
    EXPECT_TRUE(h.strip.Tabs()[2].IsHover);
    EXPECT_FALSE(h.strip.Tabs()[1].IsHover);
    h.strip.Picture10.Cls();
    h.Move(h.Middle(2) + 1);     // still over the same tab: nothing drawn
    EXPECT_EQ(h.Pieces(), 0u);

    // A selected tab never takes the hover look on a move.
    h.strip.text("Three");
    h.Move(h.Middle(3));
    EXPECT_FALSE(h.strip.Tabs()[3].IsHover);
    EXPECT_FALSE(h.strip.Tabs()[2].IsHover);
    h.Move(h.Middle(1));
    h.Move(h.strip.Tabs()[3].Right + 100);
    EXPECT_FALSE(h.strip.Tabs()[1].IsHover);   // a move over another part of the strip clears it
}

TEST(TabStrip, RemoveTabShiftsTheRest) {
    StripHost h;
    h.Add({"A", "BB", "CCC"});
    const int32_t d = h.strip.Tabs()[2].Right - h.strip.Tabs()[2].Left;
    const int32_t oldLeft3 = h.strip.Tabs()[3].Left;
    h.strip.RemoveTab(0);
    h.strip.RemoveTab(7);
    EXPECT_EQ(h.strip.Tabs().size(), 4u);
    h.strip.RemoveTab(2);
    ASSERT_EQ(h.strip.Tabs().size(), 3u);
    EXPECT_EQ(h.strip.Tabs()[2].Caption, "CCC");
    EXPECT_EQ(h.strip.Tabs()[2].Left, oldLeft3 - d - 2);
    EXPECT_TRUE(h.strip.Tabs()[2].IsSelected);
    EXPECT_EQ(h.strip.SelectedIndex(), 2);
    EXPECT_EQ(h.strip.NextX(), h.strip.Tabs()[2].Right);
    h.strip.AddTab("D");
    EXPECT_EQ(h.strip.TABB().UBound(), 4);
    h.strip.RemoveTab(3);   // the last one: the new last tab is chosen
    EXPECT_EQ(h.strip.SelectedIndex(), 2);
}

TEST(TabStrip, RealMouseEventsReachTheStrip) {
    StripHost h;
    h.Add({"Lateral1", "Lateral2"});
    const double x = h.Middle(2) * kTw;
    vb::test::SendMouse(h.strip.Picture10, vb::test::MouseAction::Click, 1, x, 8 * kTw);
    EXPECT_EQ(h.strip.text(), "Lateral2");
    EXPECT_EQ(h.Mark(2), 1);
    EXPECT_EQ(h.tabSelects.size(), 1u);
}

TEST(HoverTracker, MessagesWhenDeliveredAndInertStrip) {
    Subclass hook;
    int overs = 0, outs = 0;
    hook.MouseOver = [&] { ++overs; };
    hook.MouseOut = [&] { ++outs; };
    hook.StartSubclass(42);
    EXPECT_TRUE(hook.Attached());
    bool handled = false;
    EXPECT_EQ(hook.WndProc(42, Subclass::WM_MOUSEHOVER, 0, 0, handled), 0);
    hook.WndProc(42, Subclass::WM_MOUSEHOVER, 0, 0, handled);   // already hovering
    EXPECT_EQ(overs, 1);
    hook.WndProc(42, Subclass::WM_MOUSELEAVE, 0, 0, handled);
    EXPECT_EQ(outs, 1);
    hook.WndProc(42, Subclass::WM_MOUSEHOVER, 0, 0, handled);
    EXPECT_EQ(overs, 2);
    const int tracked = hook.TrackRequests();
    hook.WndProc(42, Subclass::WM_MOUSEMOVE, 0, 0, handled);
    EXPECT_EQ(hook.TrackRequests(), tracked + 1);
    EXPECT_FALSE(handled);
    hook.WndProc(42, Subclass::WM_NCDESTROY, 0, 0, handled);
    EXPECT_FALSE(hook.Attached());

    // The strip's tracker is attached but nothing feeds it, so a hovered tab
    // keeps its look until another move over the strip.
    StripHost h;
    h.Add({"One", "Two"});
    EXPECT_TRUE(h.strip.m_Hook.Attached());
    h.Move(h.Middle(1));
    EXPECT_TRUE(h.strip.Tabs()[1].IsHover);
    vb::test::ProcessEvents();
    EXPECT_TRUE(h.strip.Tabs()[1].IsHover);
    h.strip.m_Hook_MouseOut();   // what a delivered leave would do
    EXPECT_FALSE(h.strip.Tabs()[1].IsHover);
}

}  // namespace
