// Where keys go and where the focus stays: Tab kept by a control that takes
// it, keys of a window that waits to be activated again, user controls that
// never take the focus, and the part of a picture box that can be seen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

using vb::test::MouseAction;

struct KeyForm : vb::Form {
    KeyForm() : vb::Form("KeyForm") {}
};

vb::Control* Focus() { return vb::ActiveControl(); }

}  // namespace

// A picture box that takes Tab gets Tab and Shift+Tab in KeyDown and keeps
// the focus, so the next key is its own too; a box that says nothing, a box
// that takes Tab but has no key handler, and a text box with a KeyDown
// handler all let Tab move the focus on.
TEST(KeysAndFocus, TabAndShiftTabStayWithAControlThatTakesThem) {
    KeyForm f;
    vb::CommandButton Before{f, "Before"};
    vb::PictureBox Picture1{f};
    vb::CommandButton After{f, "After"};
    vb::TextBox Text1{f};
    Before.Move(0, 0, 1200, 375);
    Picture1.Move(0, 500, 3000, 2000);
    After.Move(0, 2600, 1200, 375);
    Text1.Move(1500, 2600, 1200, 375);
    Picture1.TabStop(true);
    std::vector<std::pair<int, int>> keys;
    std::vector<int> typed;
    Picture1.KeyDown = [&](int& KeyCode, int& Shift) { keys.emplace_back(KeyCode, Shift); };
    Picture1.KeyPress = [&](int& KeyAscii) { typed.push_back(KeyAscii); };
    Picture1.TakesTab(true);
    int afterClicks = 0;
    After.Click = [&] { ++afterClicks; };
    vb::test::ShowAndActivate(f);

    vb::test::SendMouse(Picture1, MouseAction::Click, 1, 100, 100);
    ASSERT_EQ(Focus(), &Picture1);
    vb::test::SendKeyToFocus(vb::vbKeyTab);
    EXPECT_EQ(Focus(), &Picture1);
    vb::test::SendKeyToFocus(vb::vbKeyTab, vb::vbShiftMask);   // arrives as Backtab
    EXPECT_EQ(Focus(), &Picture1);
    vb::test::SendKeyToFocus(vb::vbKeySpace);
    EXPECT_EQ(Focus(), &Picture1);
    const std::vector<std::pair<int, int>> want{{vb::vbKeyTab, 0}, {vb::vbKeyTab, vb::vbShiftMask}, {vb::vbKeySpace, 0}};
    EXPECT_EQ(keys, want);
    EXPECT_EQ(typed, (std::vector<int>{9, 9, 32}));
    EXPECT_EQ(afterClicks, 0);

    // Without the wish, Tab moves on (after KeyDown saw it).
    Picture1.TakesTab(false);
    vb::test::SendKeyToFocus(vb::vbKeyTab);
    EXPECT_NE(Focus(), &Picture1);
    // The wish alone, with no handler to take the key, moves on as well.
    Picture1.TakesTab(true);
    Picture1.KeyDown = nullptr;
    Picture1.KeyPress = nullptr;
    Picture1.SetFocus();
    vb::test::SendKeyToFocus(vb::vbKeyTab);
    EXPECT_NE(Focus(), &Picture1);

    // A text box whose KeyDown sees Tab but that does not take it.
    int textTabs = 0;
    Text1.KeyDown = [&](int& KeyCode, int&) { textTabs += KeyCode == vb::vbKeyTab; };
    Text1.SetFocus();
    ASSERT_EQ(Focus(), &Text1);
    vb::test::SendKeyToFocus(vb::vbKeyTab, vb::vbShiftMask);
    EXPECT_NE(Focus(), &Text1);
    EXPECT_EQ(textTabs, 1);
}

// A control array element copies the wish from the first element, and its
// handler gets the index.
TEST(KeysAndFocus, ArrayElementsTakeTabLikeTheirFirstElement) {
    KeyForm f;
    vb::ControlArray<vb::PictureBox> pic{f};
    vb::CommandButton Other{f, "Other"};
    pic(0).Move(0, 0, 1500, 1500);
    pic(0).TakesTab(true);
    Other.Move(0, 2000, 1200, 375);
    pic.Load(1);
    pic(1).Move(2000, 0, 1500, 1500);
    pic(1).Visible(true);
    std::vector<int> indices;
    pic.KeyDown = [&](int Index, int& KeyCode, int&) {
        if (KeyCode == vb::vbKeyTab) indices.push_back(Index);
    };
    vb::test::ShowAndActivate(f);
    vb::test::SendMouse(pic(1), MouseAction::Click, 1, 10, 10);
    ASSERT_EQ(Focus(), &pic(1));
    vb::test::SendKeyToFocus(vb::vbKeyTab);
    EXPECT_EQ(Focus(), &pic(1));
    EXPECT_EQ(indices, std::vector<int>{1});
}

// After another window was active (a message box, closed again with no
// window manager to give the activation back), the window's keys still
// reach the control that has the focus in it, with its key handlers.
TEST(KeysAndFocus, KeysReachTheFocusOfAWindowThatAwaitsActivation) {
    KeyForm f;
    vb::PictureBox Picture1{f};
    vb::CommandButton Command1{f, "Add"};
    Picture1.Move(0, 0, 3000, 2000);
    Command1.Move(0, 2200, 1200, 375);
    std::vector<int> keys;
    Picture1.KeyDown = [&](int& KeyCode, int&) { keys.push_back(KeyCode); };
    Picture1.TakesTab(true);
    vb::test::ShowAndActivate(f);
    vb::test::SendMouse(Picture1, MouseAction::Click, 1, 10, 10);
    ASSERT_EQ(Focus(), &Picture1);

    KeyForm box;
    vb::test::ShowAndActivate(box);
    box.Hide();
    vb::test::ProcessEvents();
    QWidget* windowFocus = Picture1.widget()->window()->focusWidget();
    ASSERT_EQ(windowFocus, Picture1.widget());
    // The window system hands the key to the window's focus widget.
    for (int key : {Qt::Key_Space, Qt::Key_Tab}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\t");
        QApplication::sendEvent(windowFocus, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, key == Qt::Key_Space ? " " : "\t");
        QApplication::sendEvent(windowFocus, &release);
    }
    EXPECT_EQ(keys, (std::vector<int>{vb::vbKeySpace, vb::vbKeyTab}));
    EXPECT_EQ(Picture1.widget()->window()->focusWidget(), Picture1.widget());
}

// A user control that cannot get the focus: a click on it or on a control
// placed on it (now or later) leaves the focus where it was; allowed again,
// a click takes it.
TEST(KeysAndFocus, AUserControlThatCannotGetTheFocusLeavesItWhereItWas) {
    KeyForm f;
    vb::TextBox Text1{f};
    vb::UserControl Strip{f};
    Text1.Move(0, 0, 1500, 375);
    Strip.Move(0, 600, 4000, 1000);
    vb::PictureBox Canvas{Strip};
    Canvas.Move(0, 0, 2000, 900);
    Canvas.TabStop(true);
    Strip.CanGetFocus(false);
    auto later = std::make_unique<vb::PictureBox>(Strip);
    later->Move(2100, 0, 1500, 900);
    later->TabStop(true);
    auto deeper = std::make_unique<vb::PictureBox>(static_cast<vb::Container&>(*later));   // on a control on the strip
    deeper->Move(0, 0, 600, 600);
    int presses = 0;
    Canvas.MouseDown = [&](int, int, float, float) { ++presses; };
    vb::test::ShowAndActivate(f);
    Text1.SetFocus();
    ASSERT_EQ(Focus(), &Text1);

    vb::test::SendMouse(Canvas, MouseAction::Click, 1, 100, 100);
    vb::test::SendMouse(*later, MouseAction::Click, 2, 100, 100);
    vb::test::SendMouse(*deeper, MouseAction::Click, 1, 100, 100);
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(Focus(), &Text1);
    Canvas.TabStop(false);   // kept for later, still no focus now
    vb::test::SendMouse(Canvas, MouseAction::Click, 1, 100, 100);
    EXPECT_EQ(Focus(), &Text1);

    // Allowed again, each control is as it was before: the canvas, now out
    // of the tab order, is passed by Tab, while the control on the strip
    // that kept its tab stop is reached.
    Strip.CanGetFocus(true);
    bool canvasTabbed = false, laterTabbed = false;
    for (int i = 0; i < 8; ++i) {
        vb::test::SendKeyToFocus(vb::vbKeyTab);
        canvasTabbed = canvasTabbed || Focus() == &Canvas;
        laterTabbed = laterTabbed || Focus() == later.get();
    }
    EXPECT_FALSE(canvasTabbed);
    EXPECT_TRUE(laterTabbed);
    vb::test::SendMouse(Canvas, MouseAction::Click, 1, 100, 100);
    EXPECT_EQ(Focus(), &Canvas);
    // Refused while it has the focus, the canvas gives it up.
    Strip.CanGetFocus(false);
    EXPECT_NE(Focus(), &Canvas);
}

// The shown area of a picture box is its client area cut by the frame
// around it, in the box's user scale.
TEST(KeysAndFocus, ShownAreaIsThePartTheContainersLeaveInView) {
    KeyForm f;
    f.Move(0, 0, 9000, 7000);
    vb::Frame Frame1{f};
    Frame1.BorderStyle(0);
    Frame1.Move(300, 300, 4500, 3000);
    vb::PictureBox Picture1{Frame1};
    Picture1.BorderStyle(0);
    // 300 x 200 pixels, of which the frame shows 200 x 150 from (100, 50).
    Picture1.Move(-1500, -750, 4500, 3000);
    Picture1.Scale(0, 0, 150, 100);   // 2 pixels a unit
    vb::test::ShowAndActivate(f);

    const vb::PictureBox::Area a = Picture1.ShownArea();
    EXPECT_NEAR(a.Left, 50, 1e-9);
    EXPECT_NEAR(a.Top, 25, 1e-9);
    EXPECT_NEAR(a.Width, 100, 1e-9);
    EXPECT_NEAR(a.Height, 75, 1e-9);

    // Wholly inside the frame, the whole client area shows.
    Picture1.Move(0, 0, 3000, 1500);
    const vb::PictureBox::Area whole = Picture1.ShownArea();
    EXPECT_NEAR(whole.Left, 0, 1e-9);
    EXPECT_NEAR(whole.Width, 150, 1e-9);
    EXPECT_NEAR(whole.Height, 100, 1e-9);
    // Out of the frame altogether, nothing shows.
    Picture1.Move(6000, 0, 1500, 1500);
    EXPECT_EQ(Picture1.ShownArea().Width, 0);
    // Nor does a box whose window lies beyond the screen.
    Picture1.Move(0, 0, 3000, 1500);
    f.Move(15 * 100000, 0);
    vb::test::ProcessEvents();
    EXPECT_EQ(Picture1.ShownArea().Width, 0);
}
