// Events that setters raise, key routing and control arrays.
#include <gtest/gtest.h>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

using vb::test::MouseAction;

struct TestForm : vb::Form {
    TestForm() : vb::Form("TestForm") {}
    int loads = 0, activates = 0, unloads = 0, keyDowns = 0;
    int cancelUnload = 0;
    std::vector<int> previewKeys;
    void Form_Load() override { ++loads; }
    void Form_Activate() override { ++activates; }
    void Form_Unload(int& Cancel) override {
        ++unloads;
        Cancel = cancelUnload;
    }
    void Form_KeyDown(int& KeyCode, int& Shift) override {
        previewKeys.push_back(KeyCode);
        if (KeyCode == vb::vbKeyF6) KeyCode = 0;
    }
};

TEST(Controls, MouseClickOnAListItemShowsItAsTheSelectionInClick) {
    TestForm f;
    vb::ListBox List1{f};
    List1.Move(0, 0, 3000, 2000);
    List1.AddItem("Lateral1");
    List1.AddItem("Lateral2");
    vb::test::ShowAndActivate(f);
    std::vector<std::string> seen;
    List1.Click = [&] { seen.push_back(List1.Text() + "@" + std::to_string(List1.ListIndex())); };
    // The second item is about 16 pixels (240 twips) below the first.
    vb::test::SendMouse(List1, MouseAction::Click, 1, 600, 330);
    vb::test::SendMouse(List1, MouseAction::Click, 1, 600, 60);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "Lateral2@1");
    EXPECT_EQ(seen[1], "Lateral1@0");
}

TEST(Controls, AClickOnAControlIsNoClickOnTheForm) {
    struct ClickForm : vb::Form {
        int clicks = 0, ups = 0;
        void Form_Click() override { ++clicks; }
        void Form_MouseUp(int, int, float, float) override { ++ups; }
    } f;
    vb::PictureBox Picture1{f};
    vb::Label Label1{f, "label"};
    Picture1.Move(0, 0, 1500, 1500);
    Label1.Move(0, 1600, 1500, 300);
    vb::test::ShowAndActivate(f);
    int pictureUps = 0;
    Picture1.MouseUp = [&](int, int, float, float) { ++pictureUps; };
    vb::test::SendMouse(Picture1, MouseAction::Click, 1, 300, 300);
    vb::test::SendMouse(Label1, MouseAction::Click, 1, 100, 100);
    EXPECT_EQ(pictureUps, 1);
    EXPECT_EQ(f.clicks, 0);
    EXPECT_EQ(f.ups, 0);
    // The form's own surface still clicks.
    vb::test::SendMouse(f, MouseAction::Click, 1, 2500, 2500);
    EXPECT_EQ(f.clicks, 1);
    EXPECT_EQ(f.ups, 1);
}

TEST(Controls, ListIndexFromCodeRaisesClickAndClearDoesNot) {
    TestForm f;
    vb::ListBox List1{f};
    int clicks = 0;
    std::string seen;
    List1.Click = [&] {
        ++clicks;
        seen = List1.Text();
    };
    List1.AddItem("Lateral1");
    List1.AddItem("Lateral2");
    List1.AddItem("Lateral0", 0);
    EXPECT_EQ(List1.ListCount(), 3);
    EXPECT_EQ(List1.List(0), "Lateral0");
    EXPECT_EQ(List1.NewIndex(), 0);
    EXPECT_EQ(List1.ListIndex(), -1);
    EXPECT_EQ(clicks, 0) << "adding items raises no Click";

    List1.ListIndex(2);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(seen, "Lateral2") << "the handler already sees the new selection";
    List1.ListIndex(-1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(List1.ListIndex(), -1);
    EXPECT_EQ(List1.Text(), "");

    List1.ItemData(1, 77);
    List1.RemoveItem(0);
    EXPECT_EQ(List1.ItemData(0), 77) << "item data moves with its item";
    EXPECT_THROW(List1.RemoveItem(5), vb::VbError);
    EXPECT_THROW(List1.ListIndex(9), vb::VbError);
    List1.Clear();
    EXPECT_EQ(List1.ListCount(), 0);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(List1.List(0), "");
}

TEST(Controls, ScrollBarRaisesChangeOnlyWhenValueDiffers) {
    TestForm f;
    vb::VScrollBar VScroll1{f};
    int changes = 0;
    VScroll1.Change = [&] { ++changes; };
    VScroll1.Min(0);
    VScroll1.Max(100);
    VScroll1.Value(10);
    EXPECT_EQ(changes, 1);
    VScroll1.Value(10);
    EXPECT_EQ(changes, 1);
    VScroll1.Value(11);
    EXPECT_EQ(changes, 2);
    EXPECT_THROW(VScroll1.Value(101), vb::VbError);
    EXPECT_EQ(VScroll1.Value(), 11);
    // Lowering Max below the value pulls the value along and reports it.
    VScroll1.Max(5);
    EXPECT_EQ(VScroll1.Value(), 5);
    EXPECT_EQ(changes, 3);
    // A bar whose Min exceeds its Max runs the other way and still accepts
    // values between them.
    VScroll1.Min(20);
    VScroll1.Max(-20);
    VScroll1.Value(-15);
    EXPECT_EQ(VScroll1.Value(), -15);
    EXPECT_THROW(VScroll1.Max(40000), vb::VbError) << "values are 16-bit";
}

TEST(Controls, TextBoxTextRaisesChangeFromCodeAndTyping) {
    TestForm f;
    vb::TextBox Text1{f};
    std::vector<std::string> changes;
    Text1.Change = [&] { changes.push_back(Text1.Text()); };
    Text1.Text("12.5");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0], "12.5");
    Text1.Text("12.5");
    EXPECT_EQ(changes.size(), 1u) << "the same text is no change";

    Text1.SelStart(0);
    Text1.SelLength(static_cast<int>(Text1.Text().size()));
    EXPECT_EQ(Text1.SelText(), "12.5");
    Text1.SelStart(2);
    EXPECT_EQ(Text1.SelLength(), 0);

    vb::test::ShowAndActivate(f);
    Text1.Text("");
    changes.clear();
    vb::test::SendText(Text1, "ab");
    EXPECT_EQ(Text1.Text(), "ab");
    EXPECT_EQ(changes.size(), 2u);

    // A locked box takes no typing.
    Text1.Locked(true);
    vb::test::SendText(Text1, "c");
    EXPECT_EQ(Text1.Text(), "ab");

    // A multi-line box keeps CR LF line ends in its text.
    vb::TextBox Text2{f, true};
    Text2.Text("one\r\ntwo");
    EXPECT_EQ(Text2.Text(), "one\r\ntwo");
}

TEST(Controls, KeyAsciiZeroSwallowsAndKeyPreviewGoesFirst) {
    TestForm f;
    vb::TextBox Text1{f};
    std::vector<int> downs, presses;
    Text1.KeyDown = [&](int& KeyCode, int&) { downs.push_back(KeyCode); };
    Text1.KeyPress = [&](int& KeyAscii) {
        presses.push_back(KeyAscii);
        if (KeyAscii == 'x') KeyAscii = 0;
        if (KeyAscii == 'a') KeyAscii = 'A';
    };
    vb::test::ShowAndActivate(f);
    vb::test::SendText(Text1, "1x2a");
    EXPECT_EQ(Text1.Text(), "12A") << "x swallowed, a replaced by A";
    EXPECT_EQ(presses, (std::vector<int>{'1', 'x', '2', 'a'}));

    downs.clear();
    vb::test::SendKey(Text1, vb::vbKeyReturn);
    vb::test::SendKey(Text1, vb::vbKeyLeft);
    EXPECT_EQ(downs, (std::vector<int>{vb::vbKeyReturn, vb::vbKeyLeft}));

    f.KeyPreview(true);
    downs.clear();
    f.previewKeys.clear();
    vb::test::SendKey(Text1, vb::vbKeyF5);
    vb::test::SendKey(Text1, vb::vbKeyF6);
    EXPECT_EQ(f.previewKeys, (std::vector<int>{vb::vbKeyF5, vb::vbKeyF6}));
    EXPECT_EQ(downs, (std::vector<int>{vb::vbKeyF5})) << "the form set KeyCode 0 for F6";
}

TEST(Controls, FocusEventsAndActiveControl) {
    TestForm f;
    vb::TextBox Text1{f};
    vb::CommandButton Command1{f, "OK"};
    Command1.Move(0, 600, 1200, 375);
    vb::Control* receiving = nullptr;
    int got = 0;
    Text1.GotFocus = [&] { ++got; };
    Text1.LostFocus = [&] { receiving = vb::ActiveControl(); };
    vb::test::ShowAndActivate(f);
    Text1.SetFocus();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(vb::ActiveControl(), &Text1);
    int clicks = 0;
    Command1.Click = [&] { ++clicks; };
    vb::test::SendMouse(Command1, MouseAction::Click, vb::vbLeftButton, 100, 100);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(receiving, &Command1) << "LostFocus knows which control takes the focus";
}

TEST(Controls, CheckAndOptionValuesRaiseClick) {
    TestForm f;
    vb::CheckBox Check1{f, "Show"};
    vb::OptionButton Option1{f, "A"}, Option2{f, "B"};
    int checks = 0, options = 0;
    Check1.Click = [&] { ++checks; };
    Option1.Click = [&] { ++options; };
    Option2.Click = [&] { ++options; };
    Check1.Value(vb::vbChecked);
    Check1.Value(vb::vbChecked);
    EXPECT_EQ(checks, 1);
    EXPECT_THROW(Check1.Value(3), vb::VbError);
    Option1.Value(true);
    Option2.Value(true);
    EXPECT_EQ(options, 2);
    EXPECT_FALSE(Option1.Value()) << "options on one container exclude each other";
}

TEST(Controls, FormLoadActivateAndCancelledUnload) {
    TestForm f;
    EXPECT_EQ(f.loads, 0) << "nothing runs before the form is loaded";
    f.Show();
    EXPECT_EQ(f.loads, 1);
    EXPECT_EQ(f.activates, 1);
    f.Show();
    EXPECT_EQ(f.loads, 1);

    TestForm other;
    other.Show();
    EXPECT_EQ(other.activates, 1);
    f.Show();
    EXPECT_EQ(f.activates, 2) << "coming back from another form of the program activates again";

    f.cancelUnload = 1;
    EXPECT_FALSE(f.Unload());
    EXPECT_TRUE(f.IsLoaded());
    EXPECT_TRUE(f.Visible());
    f.cancelUnload = 0;
    EXPECT_TRUE(f.Unload());
    EXPECT_FALSE(f.IsLoaded());
    EXPECT_FALSE(f.Visible());
    f.Show();
    EXPECT_EQ(f.loads, 2) << "a form shown after unloading is loaded again";
    f.Unload();
    other.Unload();
}

TEST(Controls, ControlArrayLoadCopiesFirstElementAndUnloads) {
    TestForm f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 3000, 3000);
    Picture1.Scale(0, 0, 160, 150);
    vb::ControlArray<vb::Label> lbl{Picture1};
    lbl(0).Move(10, 20, 30, 40);
    lbl(0).Caption("tmpl");
    lbl(0).BackColor(vb::vbYellow);
    lbl(0).Tag("t");
    std::vector<std::pair<int, int>> downs;
    lbl.MouseDown = [&](int Index, int Button, int, float, float) { downs.emplace_back(Index, Button); };

    lbl.Load(3);
    EXPECT_EQ(lbl.Count(), 2);
    EXPECT_EQ(lbl.LBound(), 0);
    EXPECT_EQ(lbl.UBound(), 3);
    vb::Label& l3 = lbl(3);
    EXPECT_EQ(l3.Index(), 3);
    EXPECT_FALSE(l3.Visible()) << "new elements start hidden";
    EXPECT_NEAR(l3.Left(), 10, 1e-9);
    EXPECT_NEAR(l3.Top(), 20, 1e-9);
    EXPECT_NEAR(l3.Width(), 30, 1e-9);
    EXPECT_EQ(l3.Caption(), "tmpl");
    EXPECT_EQ(l3.BackColor(), vb::vbYellow);
    EXPECT_EQ(l3.Tag(), "t");

    EXPECT_THROW(lbl.Load(3), vb::VbError);
    try {
        lbl(5);
        ADD_FAILURE() << "element 5 does not exist";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 340);
    }
    try {
        lbl.Unload(0);
        ADD_FAILURE() << "design-time elements cannot be unloaded";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 362);
    }

    vb::test::ShowAndActivate(f);
    l3.Visible(true);
    vb::test::SendMouse(l3, MouseAction::Down, vb::vbRightButton, 2, 2);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0], std::make_pair(3, vb::vbRightButton));

    // An element may unload itself from its own handler.
    lbl.Click = [&](int Index) { lbl.Unload(Index); };
    vb::test::SendMouse(l3, MouseAction::Click, vb::vbLeftButton, 2, 2);
    EXPECT_FALSE(lbl.Exists(3));
    EXPECT_EQ(lbl.UBound(), 0);
    vb::DoEvents();
    lbl.Load(3);
    EXPECT_TRUE(lbl.Exists(3));
}

}  // namespace

namespace {

TEST(Controls, EnterAndEscPressDefaultAndCancelButtons) {
    vb::Form f;
    vb::TextBox Text1{f};
    vb::CommandButton cmdOK{f, "OK"}, cmdCancel{f, "Cancel"};
    cmdOK.Move(0, 500, 1000, 375);
    cmdCancel.Move(1200, 500, 1000, 375);
    std::string pressed;
    cmdOK.Click = [&] { pressed += "ok "; };
    cmdCancel.Click = [&] { pressed += "cancel "; };
    vb::test::ShowAndActivate(f);
    vb::test::SendKey(Text1, vb::vbKeyReturn);
    EXPECT_EQ(pressed, "") << "no default button yet";
    cmdOK.Default(true);
    cmdCancel.Cancel(true);
    vb::test::SendKey(Text1, vb::vbKeyReturn);
    vb::test::SendKey(Text1, vb::vbKeyEscape);
    EXPECT_EQ(pressed, "ok cancel ");
    f.Unload();
}

TEST(Controls, TimerFiresByHandAndStopsWhenDisabled) {
    vb::Form f;
    vb::Timer Timer1{f};
    int ticks = 0;
    Timer1.Tick = [&] { ++ticks; };
    EXPECT_FALSE(Timer1.IsRunning()) << "interval 0 never runs";
    Timer1.Interval(500);
    EXPECT_TRUE(Timer1.IsRunning());
    Timer1.FireTimer();
    EXPECT_EQ(ticks, 1);
    Timer1.Enabled(false);
    EXPECT_FALSE(Timer1.IsRunning());
    vb::ControlArray<vb::Timer> tmr{f};
    std::vector<int> fired;
    tmr.Tick = [&](int Index) { fired.push_back(Index); };
    tmr(0).Interval(1);
    tmr.Load(1);
    EXPECT_EQ(tmr(1).Interval(), 1);
    tmr(1).FireTimer();
    EXPECT_EQ(fired, std::vector<int>{1});
}

}  // namespace

namespace {

struct ResizeForm : vb::Form {
    std::vector<double> widths;
    void Form_Resize() override { widths.push_back(Width()); }
};

TEST(Controls, FormResizeFollowsTheWindowSize) {
    ResizeForm f;
    f.Width(9000);
    EXPECT_TRUE(f.widths.empty()) << "no Resize before the form is loaded";
    vb::test::ShowAndActivate(f);
    ASSERT_FALSE(f.widths.empty()) << "Resize once when first shown";
    EXPECT_DOUBLE_EQ(f.widths.back(), 9000);
    f.Width(10500);
    EXPECT_DOUBLE_EQ(f.widths.back(), 10500);
    EXPECT_LE(f.ScaleWidth(), 10500) << "the client area is inside the window frame";
    EXPECT_GT(f.ScaleWidth(), 10500 - 20 * 15);
    f.Unload();
}

}  // namespace
