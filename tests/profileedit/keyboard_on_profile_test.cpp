// The keyboard of a shown main window, driven by real key and mouse events:
// Tab on the profile, the keyboard after the value box closes, and where the
// value box stands.
#include <algorithm>

#include "tests/profileedit/shown_form1_fixture.h"

namespace {

using vb::test::MouseAction;

class KeyboardOnProfileTest : public ShownForm1Test {
protected:
    int Laterals() {
        const auto keys = TopLevelKeys();
        return static_cast<int>(std::count_if(keys.begin(), keys.end(), [](const std::string& k) {
            return k.rfind("ObjLateral", 0) == 0;
        }));
    }
    // The control that the window's keys go to.
    const vb::Control* Keyboard() { return f().ActiveControl(); }
    void Key(int keyCode, int shift = 0) {
        vb::test::SendKeyToWindow(f(), keyCode, shift);
        vb::test::ProcessEvents();
    }
    // Space goes to the profile: the view is reset and nothing is added.
    void SpaceResetsTheView(const std::string& after) {
        const int32_t pipes = Pipes("Lateral1");
        const int laterals = Laterals();
        const size_t files = dialogs().Files().size();
        ProfileOffsetX = 7;
        ProfileOffsetY = 9;
        Key(vb::vbKeySpace);
        EXPECT_EQ(ProfileOffsetX, 100) << after;
        EXPECT_EQ(ProfileOffsetY, 150) << after;
        EXPECT_EQ(Pipes("Lateral1"), pipes) << after;
        EXPECT_EQ(Laterals(), laterals) << after;
        EXPECT_EQ(dialogs().Files().size(), files) << after;
    }
    void ProfileHasTheKeyboard(const std::string& after) {
        EXPECT_EQ(Keyboard(), &f().Picture1) << after;
        SpaceResetsTheView(after);
    }
    void ClickTab(UserControl1& strip, int tab, int button) {
        const TabRecord& t = strip.Tabs().at(static_cast<size_t>(tab));
        vb::test::SendMouse(strip.Picture10, MouseAction::Click, button, (t.Left + t.Right) * 7.5,
                            (t.Top + t.Bottom) * 7.5);
        vb::test::ProcessEvents();
    }
    void Click(vb::Control& c, int button = 1, double x = 1, double y = 1) {
        vb::test::SendMouse(c, MouseAction::Click, button, x, y);
        vb::test::ProcessEvents();
    }
    // The pointer `units` of the profile below (right of) the top-left
    // corner of a handle, in the handle's own scale.
    static double HandleX(const vb::PictureBox& h, const vb::PictureBox& profile, double units) {
        return h.PixelsToUnitsX(profile.SizeToPixelsX(units) + h.BorderPixels());
    }
    static double HandleY(const vb::PictureBox& h, const vb::PictureBox& profile, double units) {
        return h.PixelsToUnitsY(profile.SizeToPixelsY(units) + h.BorderPixels());
    }
};

}  // namespace

// Tab on the profile adds a pipe and Shift+Tab a lateral, each once, and the
// keyboard stays on the profile: the next Space resets the view and neither
// presses a button nor opens a dialog.
TEST_F(KeyboardOnProfileTest, TabAndShiftTabAddToTheNetworkAndKeepTheKeyboard) {
    Click(f().Picture1, 1, 20, 20);
    ASSERT_EQ(Keyboard(), &f().Picture1);
    const std::string lateral = CurrentLateralName;
    const int32_t pipes = Pipes(lateral);
    const int laterals = Laterals();
    for (int i = 1; i <= 3; ++i) {
        Key(vb::vbKeyTab);
        EXPECT_EQ(Pipes(lateral), pipes + i);
        EXPECT_EQ(Keyboard(), &f().Picture1) << "after Tab " << i;
    }
    EXPECT_EQ(Laterals(), laterals);
    SpaceResetsTheView("Tab three times");

    Key(vb::vbKeyTab, vb::vbShiftMask);
    EXPECT_EQ(Laterals(), laterals + 1);
    EXPECT_EQ(Pipes(lateral), pipes + 3);
    ProfileHasTheKeyboard("Shift+Tab");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// Every way the value box closes hands the keyboard back to the profile,
// unless the user clicked into another control meanwhile.
TEST_F(KeyboardOnProfileTest, EveryWayTheValueBoxClosesGivesTheKeyboardBackToTheProfile) {
    ChooseFirstPipeWithALateralToPick();
    ASSERT_TRUE(f().picfrom.Visible());
    auto first = Rec(f().List2.List(0));
    auto pressAndRelease = [&](vb::PictureBox& handle) {
        vb::test::SendMouse(handle, MouseAction::Down, 1, 1, 1);
        vb::test::SendMouse(handle, MouseAction::Up, 1, 1, 1);
        vb::test::ProcessEvents();
        ASSERT_TRUE(f().pic(0).Visible());
        ASSERT_EQ(Keyboard(), &f().Text19);
    };

    // Enter and Esc in the entry box.
    pressAndRelease(f().PGR(1));
    Key(vb::vbKeyReturn);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("Enter");
    pressAndRelease(f().PGR(1));
    Key(vb::vbKeyEscape);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("Esc");

    // A choice in the diameter picker, made with the keyboard.
    Click(f().Picdia(1));
    ASSERT_EQ(Keyboard(), &f().Combo1);
    Key(vb::vbKeyDown);
    EXPECT_EQ(first->dia, 250);
    ProfileHasTheKeyboard("a choice in the list");

    // The lateral picker; a right-click on a tab shows a message (the window
    // is left waiting to be activated again), then "Ok".
    Click(f().picfrom);
    ASSERT_EQ(Keyboard(), &f().Combo1);
    const size_t messages = dialogs().Messages().size();
    ClickTab(f().UserControl12, 2, 2);
    ASSERT_EQ(dialogs().Messages().size(), messages + 1);
    EXPECT_EQ(dialogs().Messages().back().prompt, "1");
    vb::test::ShowAndCloseAnotherWindow();
    EXPECT_EQ(Keyboard(), &f().Combo1) << "the tab strip took the keyboard";
    Click(f().Command24);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("\"Ok\" after a right-click on a tab");

    // A left click on another tab re-lays the handles for that pipe and
    // closes the box armed for the pipe left behind.
    Click(f().Picdia(1));
    ASSERT_EQ(Keyboard(), &f().Combo1);
    ClickTab(f().UserControl12, 2, 1);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("a click on a tab");

    // A handle pressed while a picker is open takes the box over.
    Click(f().Picdia(1));
    ASSERT_EQ(Keyboard(), &f().Combo1);
    pressAndRelease(f().PGR(0));
    Key(vb::vbKeyReturn);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("Enter after a new handle");

    // A control the user clicked into keeps the keyboard: the pipes' list,
    // whose choice of the first pipe closes the box armed for the second.
    f().List2.ListIndex(1);
    Click(f().Picdia(1));
    ASSERT_TRUE(f().pic(0).Visible());
    vb::test::SendMouse(f().List2, MouseAction::Click, 1, 600, 60);
    vb::test::ProcessEvents();
    ASSERT_EQ(f().List2.ListIndex(), 0);
    EXPECT_FALSE(f().pic(0).Visible());
    EXPECT_EQ(Keyboard(), &f().List2);

    // With the keyboard on the box itself, beside its controls, a choice of
    // pipe closes the box and the profile has it.
    Click(f().Picdia(1));
    ASSERT_EQ(Keyboard(), &f().Combo1);
    f().pic(0).SetFocus();
    ASSERT_EQ(Keyboard(), &f().pic(0));
    f().List2.ListIndex(1);
    EXPECT_FALSE(f().pic(0).Visible());
    ProfileHasTheKeyboard("a close with the keyboard on the box");
    f().List2.ListIndex(0);

    // Closed by a redraw while another window of the program is in use, the
    // box does not bring the main window to the front.
    Click(f().Picdia(1));
    ASSERT_EQ(Keyboard(), &f().Combo1);
    vb::Form other("Other");
    vb::test::ShowAndActivate(other);
    f().List2.ListIndex(1);
    EXPECT_FALSE(f().pic(0).Visible());
    EXPECT_EQ(vb::ActiveForm(), &other);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// The value box and the pickers' lists stand wholly on the part of the
// profile that can be seen, moved left or up from a handle or picker at the
// edge; what is typed there is what is stored.
TEST_F(KeyboardOnProfileTest, TheValueBoxStaysWhollyInView) {
    f().Command7_Click();
    f().Command7_Click();
    f().List1.ListIndex(0);
    ChoosePipe(1);   // the last pipe
    vb::PictureBox& profile = f().Picture1;
    vb::PictureBox& box = f().pic(0);
    auto inView = [&](const std::string& what) {
        const vb::PictureBox::Area a = profile.ShownArea();
        ASSERT_GT(a.Width, 0);
        EXPECT_TRUE(box.Visible()) << what;
        EXPECT_GE(box.Left(), a.Left) << what;
        EXPECT_GE(box.Top(), a.Top) << what;
        EXPECT_LE(box.Left() + box.Width(), a.Left + a.Width) << what;
        EXPECT_LE(box.Top() + box.Height(), a.Top + a.Height) << what;
        // A pixel to spare, as the box's edges are rounded to whole pixels.
        EXPECT_LE(box.Left() + box.Width(), a.Left + a.Width - profile.PixelsToSizeX(1) + 1e-9) << what;
        EXPECT_LE(box.Top() + box.Height(), a.Top + a.Height - profile.PixelsToSizeY(1) + 1e-9) << what;
    };
    // The downstream ground handle a little inside the right edge.
    const vb::PictureBox::Area a = profile.ShownArea();
    ProfileOffsetX += static_cast<float>(a.Left + a.Width - 3 - f().PGR(0).Left());
    f().Form_Click();
    vb::PictureBox& ground = f().PGR(0);
    ASSERT_TRUE(ground.Visible());
    ASSERT_LT(ground.Left(), a.Left + a.Width);

    const double x = HandleX(ground, profile, 0.5);
    vb::test::SendMouse(ground, MouseAction::Down, 1, x, HandleY(ground, profile, 0.5));
    inView("pressed");
    vb::test::SendMouse(ground, MouseAction::Move, 1, x, HandleY(ground, profile, 4));
    inView("dragged");
    EXPECT_LT(box.Left(), ground.Left());   // not beside it, where there is no room
    // Dragged down to the bottom edge, the box goes up.
    const double top = ground.Top();
    vb::test::SendMouse(ground, MouseAction::Move, 1, x, HandleY(ground, profile, a.Top + a.Height - 2 - top));
    ASSERT_GT(ground.Top(), top);
    vb::test::SendMouse(ground, MouseAction::Up, 1, x, 1);
    vb::test::ProcessEvents();
    inView("dragged to the bottom");
    EXPECT_LT(box.Top() + box.Height(), ground.Top() + ground.Height());
    ASSERT_EQ(Keyboard(), &f().Text19);
    f().Text19.Text("");
    vb::test::SendText(f().Text19, "99");
    Key(vb::vbKeyReturn);
    EXPECT_EQ(Rec(f().List2.List(1))->telv, 99.0f);

    // A diameter picker at the right edge opens its list in view too.
    vb::PictureBox& sizes = f().Picdia(1);
    sizes.Left(a.Left + a.Width - 2);
    sizes.Top(a.Top + a.Height - 2);
    Click(sizes);
    inView("the diameter picker");
    EXPECT_EQ(Keyboard(), &f().Combo1);
    // One at the top, half cut off, opens its list below the edge.
    sizes.Left(a.Left);
    sizes.Top(a.Top - 9);
    Click(sizes, 1, 1, sizes.ScaleHeight() - 1);
    inView("a diameter picker at the top edge");
    // And one half cut off at the left edge, right of it.
    sizes.Left(a.Left - 9);
    sizes.Top(a.Top + 20);
    Click(sizes, 1, sizes.ScaleWidth() - 1, 1);
    inView("a diameter picker at the left edge");

    // A lateral picker at the bottom right corner opens its list in view.
    f().Command6_Click();   // Lateral2, to be picked
    f().List1.ListIndex(0);
    ChoosePipe(0);
    vb::PictureBox& laterals = f().picfrom;
    ASSERT_TRUE(laterals.Visible());
    laterals.Left(a.Left + a.Width - 2);
    laterals.Top(a.Top + a.Height - 2);
    Click(laterals);
    inView("the lateral picker");
    EXPECT_EQ(Keyboard(), &f().Combo1);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
