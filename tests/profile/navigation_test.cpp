// View navigation on the profile: buttons, keys, drags, picks of a pipe, the
// scale buttons, the double-clicks, the two-point mark and the profile-file
// dialog, driven on a loaded main window.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "mainwindow/form1.h"
#include "platform/ui/testing.h"
#include "profile/plot.h"
#include "tests/profile/profile_fixture.h"

namespace fs = std::filesystem;

namespace {

class Navigation : public LoadedMainWindow {
protected:
    Navigation() : LoadedMainWindow("nav_") {}
    void Key(int code, int shift = 0) { form_->Picture1_KeyDown(code, shift); }
    double ScaleW() { return form_->Picture1.ScaleWidth(); }
    double ScaleH() { return form_->Picture1.ScaleHeight(); }
    int Mark(int position) {
        vb::Variant marks = form_->UserControl12.TABB();
        return static_cast<int>(vb::CDbl(marks.Element(position)));
    }
};

}  // namespace

TEST_F(Navigation, ButtonsPanZoomAndReset) {
    Form1& f = *form_;
    EXPECT_DOUBLE_EQ(ScaleW(), 160);
    EXPECT_DOUBLE_EQ(ScaleH(), 150);

    f.Command12_Click();   // Up
    EXPECT_FLOAT_EQ(ProfileOffsetY, 99);
    f.Command11_Click();   // Dwn
    f.Command11_Click();
    EXPECT_FLOAT_EQ(ProfileOffsetY, 101);
    f.Command9_Click();    // L
    EXPECT_FLOAT_EQ(ProfileOffsetX, 40);
    f.Command10_Click();   // R
    f.Command10_Click();
    EXPECT_FLOAT_EQ(ProfileOffsetX, 60);

    f.Command8_Click();    // reset
    EXPECT_FLOAT_EQ(ProfileOffsetX, 50);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 100);

    // Z+ then Z-: 160 x 150 -> 128 x 120 -> 160 x 150, the offsets scaled with
    // the view; Label5 keeps showing 128.
    EXPECT_FALSE(f.Label5.Visible());
    f.Command14_Click();
    EXPECT_NEAR(ScaleW(), 128, 1e-4);
    EXPECT_NEAR(ScaleH(), 120, 1e-4);
    EXPECT_TRUE(f.Label5.Visible());
    EXPECT_EQ(f.Label5.Caption(), "128");
    EXPECT_FLOAT_EQ(ProfileOffsetX, 40);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 80);
    f.Command13_Click();
    EXPECT_NEAR(ScaleW(), 160, 1e-4);
    EXPECT_NEAR(ScaleH(), 150, 1e-4);
    EXPECT_EQ(f.Label5.Caption(), "128");
    EXPECT_FLOAT_EQ(ProfileOffsetX, 50);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 100);

    // The buttons are wired to their handlers.
    f.Command12.Value(true);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 99);
}

TEST_F(Navigation, ScaleButtonsAndPanStepCycle) {
    Form1& f = *form_;
    ASSERT_EQ(f.ElevScaleHeight, 10);
    int heights[] = {12, 14, 16, 18, 20, 10};
    for (int h : heights) {
        f.Command18_Click();
        EXPECT_EQ(f.ElevScaleHeight, h);
    }
    ASSERT_EQ(f.ElevScaleOffset, 2);
    int offsets[] = {4, 6, 8, 2};
    for (int o : offsets) {
        f.Command19_Click();
        EXPECT_EQ(f.ElevScaleOffset, o);
    }

    ASSERT_EQ(f.PanStep, 10);
    f.Label8_Click();
    EXPECT_EQ(f.PanStep, 1);
    EXPECT_EQ(f.Label8.Caption(), "1");
    for (int i = 0; i < 9; ++i) f.Label8_Click();
    EXPECT_EQ(f.PanStep, 10);
    EXPECT_EQ(f.Label8.Caption(), "10");
}

TEST_F(Navigation, ArrowKeysPanByTheStepAndResetKeysRestoreTheView) {
    Form1& f = *form_;
    f.PanStep = 3;
    Key(vb::vbKeyLeft);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 53);
    Key(vb::vbKeyRight);
    Key(vb::vbKeyRight);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 47);
    Key(vb::vbKeyUp);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 97);
    Key(vb::vbKeyDown);
    Key(vb::vbKeyDown);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 103);

    Key(vb::vbKeyF5);
    EXPECT_DOUBLE_EQ(ScaleW(), 1600);
    EXPECT_DOUBLE_EQ(ScaleH(), 1500);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 47);   // F5 leaves the offsets alone

    Key(vb::vbKeySpace);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 100);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 150);
    EXPECT_DOUBLE_EQ(ScaleW(), 160);
    EXPECT_DOUBLE_EQ(ScaleH(), 150);

    // Ctrl+M is consumed and moves the view right by 10.
    int code = vb::vbKeyM, shift = vb::vbCtrlMask;
    f.Picture1_KeyDown(code, shift);
    EXPECT_EQ(code, 0);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 110);
    // M without Ctrl does nothing.
    Key(vb::vbKeyM);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 110);

    f.Picture1_SpaceReset(vb::vbKeyA);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 150);
    f.Picture1_SpaceReset(vb::vbKeySpace);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 100);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 15);

    // A real key press on the picture reaches the handler.
    vb::test::ShowAndActivate(f);
    vb::test::SendKey(f.Picture1, vb::vbKeyLeft);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 103);
}

TEST_F(Navigation, CtrlKeysShowAndHideCanvasElementsThatExist) {
    Form1& f = *form_;
    SheetCount = 0;
    f.pic(0).Visible(false);
    // Ctrl+Space shows pic(SheetCount) and also resets the view.
    ProfileOffsetX = 1;
    Key(vb::vbKeySpace, vb::vbCtrlMask);
    EXPECT_TRUE(f.pic(0).Visible());
    EXPECT_FLOAT_EQ(ProfileOffsetX, 100);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 150);
    Key(vb::vbKey3, vb::vbCtrlMask);
    EXPECT_FALSE(f.pic(0).Visible());

    // Ctrl+2 at 0 leaves -1, which the next key press turns back into 0.
    Key(vb::vbKey2, vb::vbCtrlMask);
    EXPECT_EQ(SheetCount, -1);
    Key(vb::vbKey1, vb::vbCtrlMask);
    EXPECT_EQ(SheetCount, 1);

    // A sheet number with no canvas element is ignored, not an error.
    SheetCount = 77;
    ASSERT_FALSE(f.pic.Exists(77));
    EXPECT_NO_THROW(Key(vb::vbKeySpace, vb::vbCtrlMask));
    EXPECT_NO_THROW(Key(vb::vbKey3, vb::vbCtrlMask));
    EXPECT_EQ(SheetCount, 77);
}

TEST_F(Navigation, ScrollBarKeysStayInsideTheRange) {
    Form1& f = *form_;
    f.VScroll5.Min(0);
    f.VScroll5.Max(2);
    f.VScroll5.Value(0);
    Key(vb::vbKeyPageUp);
    EXPECT_EQ(f.VScroll5.Value(), 0);
    Key(vb::vbKeyPageDown);
    Key(vb::vbKeyPageDown);
    Key(vb::vbKeyPageDown);
    EXPECT_EQ(f.VScroll5.Value(), 2);
    Key(vb::vbKeyPageUp);
    EXPECT_EQ(f.VScroll5.Value(), 1);

    f.VScroll3.Min(0);
    f.VScroll3.Max(1);
    f.VScroll3.Value(0);
    EXPECT_NO_THROW(Key(vb::vbKeyF3, vb::vbShiftMask));
    EXPECT_EQ(f.VScroll3.Value(), 0);
    Key(vb::vbKeyF4, vb::vbShiftMask);
    Key(vb::vbKeyF4, vb::vbShiftMask);
    EXPECT_EQ(f.VScroll3.Value(), 1);
    Key(vb::vbKeyF3);   // without Shift: nothing
    EXPECT_EQ(f.VScroll3.Value(), 1);

    f.VScroll4.Min(0);
    f.VScroll4.Max(1);
    f.VScroll4.Value(1);
    Key(vb::vbKeyF7, vb::vbShiftMask);
    EXPECT_EQ(f.VScroll4.Value(), 1);
    Key(vb::vbKeyF6, vb::vbShiftMask);
    EXPECT_EQ(f.VScroll4.Value(), 0);
}

TEST_F(Navigation, DraggingMovesTheProfileWithThePointer) {
    Form1& f = *form_;
    AddPipes(1);
    f.Picture1_MouseDown(vb::vbLeftButton, 0, 10, 20);
    EXPECT_FLOAT_EQ(f.DragStartX, 10);
    EXPECT_FLOAT_EQ(f.DragStartY, 20);
    f.Picture1_MouseMove(vb::vbLeftButton, 0, 14, 25);
    EXPECT_FLOAT_EQ(static_cast<float>(vb::CDbl(f.LastPointerX)), 14);
    EXPECT_FLOAT_EQ(static_cast<float>(vb::CDbl(f.LastPointerY)), 25);
    f.Picture1_MouseUp(vb::vbLeftButton, 0, 15, 26);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 55);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 106);
    // A click without a move redraws in place.
    f.Picture1_MouseDown(vb::vbMiddleButton, 0, 30, 30);
    f.Picture1_MouseUp(vb::vbMiddleButton, 0, 30, 30);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 55);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 106);
}

TEST_F(Navigation, RightClickPicksThePipeUnderThePointer) {
    Form1& f = *form_;
    AddPipes(3);
    ASSERT_EQ(RunCount, 3);
    auto pipe = [&](int i) { return NodeRecordByIndex(f.myCol.get(), CurrentRun[i].NodeIndex); };
    ASSERT_TRUE(pipe(2));
    const float y = ProfileOffsetY - 40;   // above the table

    // The middle of pipe 2.
    float x = pipe(2)->x3 + pipe(2)->l / 2 + ProfileOffsetX;
    int before = Mark(2);
    f.Picture1_MouseDown(vb::vbRightButton, 0, x, y);
    EXPECT_EQ(CurrentRunPos, 2);
    EXPECT_EQ(Mark(2), before == 1 ? 0 : 1);
    EXPECT_FLOAT_EQ(f.DragStartX, x);

    // In the table area (31 units or less above the origin) nothing is picked.
    CurrentRunPos = 1;
    float xs3 = pipe(3)->x3 + pipe(3)->l / 2 + ProfileOffsetX;
    f.Picture1_MouseDown(vb::vbRightButton, 0, xs3, ProfileOffsetY - 30);
    EXPECT_EQ(CurrentRunPos, 1);
    EXPECT_FLOAT_EQ(f.DragStartX, xs3);

    // Exactly on the boundary between pipes 2 and 3 neither matches.
    CurrentRunPos = 1;
    float boundary = pipe(3)->x3 + ProfileOffsetX;
    f.Picture1_MouseDown(vb::vbRightButton, 0, boundary, y);
    EXPECT_EQ(CurrentRunPos, 1);

    // The left button picks nothing.
    f.Picture1_MouseDown(vb::vbLeftButton, 0, xs3, y);
    EXPECT_EQ(CurrentRunPos, 1);
    f.Picture1_MouseDown(vb::vbRightButton, 0, xs3, y);
    EXPECT_EQ(CurrentRunPos, 3);
}

TEST_F(Navigation, DoubleClicksMarkAndProfileFile) {
    Form1& f = *form_;
    ASSERT_FALSE(f.Picture2.Visible());
    f.Picture1_DblClick();
    EXPECT_TRUE(f.Picture2.Visible());
    EXPECT_DOUBLE_EQ(f.Picture1.Top(), f.Picture2.Height() + 600);
    f.Picture1_DblClick();
    EXPECT_FALSE(f.Picture2.Visible());
    EXPECT_DOUBLE_EQ(f.Picture1.Top(), 600);
    f.Picture1_DblClick();
    f.Picture2_DblClick();
    EXPECT_FALSE(f.Picture2.Visible());
    EXPECT_DOUBLE_EQ(f.Picture1.Top(), 600);
    EXPECT_TRUE(f.Picture1.Enabled());

    f.Frame11.Visible(true);
    f.Picture1_Click();
    EXPECT_FALSE(f.Frame11.Visible());

    f.Command22_Click();
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_EQ(dialogs_->Messages()[0].prompt, "First point:");
    EXPECT_EQ(MarkPointA.x, -1);
    EXPECT_EQ(MarkPointA.y, -1);
    EXPECT_TRUE(MarkPending);

    // The profile-file dialog only shows the chosen path.
    const std::string before = f.Caption();
    dialogs_->QueueFileCancel();
    f.openzefCaller();
    ASSERT_EQ(dialogs_->Messages().size(), 2u);
    EXPECT_EQ(dialogs_->Messages()[1].prompt, "OPENCancel was selected.");
    EXPECT_EQ(f.Caption(), before);
    dialogs_->QueueFile("/data/profiles/main.v2.zef");
    f.openzef();
    EXPECT_EQ(f.Caption(), "/data/profiles/main.v2.zef");
    ASSERT_EQ(dialogs_->Files().size(), 2u);
    EXPECT_EQ(dialogs_->Files()[1].request.title, "Open Prof file");
    EXPECT_EQ(dialogs_->Files()[1].request.filter, "profile File (*.zef)|*.zef");
}

TEST_F(Navigation, RightClickOffThePipesStillFlipsTheCurrentMark) {
    Form1& f = *form_;
    AddPipes(2);
    ASSERT_EQ(RunCount, 2);
    auto pipe = [&](int i) { return NodeRecordByIndex(f.myCol.get(), CurrentRun[i].NodeIndex); };
    const float y = ProfileOffsetY - 40;

    // Pick pipe 1, then right-click beyond the last pipe: nothing matches, the
    // current pipe stays 1 and its mark flips back.
    f.Picture1_MouseDown(vb::vbRightButton, 0, pipe(1)->x3 + 1 + ProfileOffsetX, y);
    ASSERT_EQ(f.CurrentPipeIndex, 1);
    const int picked = Mark(1);
    const int other = Mark(2);
    f.Picture1_MouseDown(vb::vbRightButton, 0, pipe(2)->x3 + pipe(2)->l + 50 + ProfileOffsetX, y);
    EXPECT_EQ(f.CurrentPipeIndex, 1);
    EXPECT_EQ(CurrentRunPos, 1);
    EXPECT_EQ(Mark(1), picked == 1 ? 0 : 1);
    EXPECT_EQ(Mark(2), other);

    // In the table area the press is only recorded: no mark changes.
    const int now = Mark(1);
    f.Picture1_MouseDown(vb::vbRightButton, 0, pipe(2)->x3 + 1 + ProfileOffsetX, ProfileOffsetY - 29.5f);
    EXPECT_EQ(Mark(1), now);
    EXPECT_EQ(f.CurrentPipeIndex, 1);
    EXPECT_FLOAT_EQ(f.DragStartY, ProfileOffsetY - 29.5f);

    // A release with no run rebuilds the run of the current lateral first.
    RunCount = 0;
    f.Picture1_MouseDown(vb::vbLeftButton, 0, 5, 5);
    f.Picture1_MouseUp(vb::vbLeftButton, 0, 5, 5);
    EXPECT_EQ(RunCount, 2);
}

TEST_F(Navigation, TabAddsAPipeShiftTabALateralAndAMoveCarriesOutAPendingRemoval) {
    Form1& f = *form_;
    AddPipes(1);
    const int32_t items = f.myCol->ItemCount();
    const int32_t lateralTabs = f.List1.ListCount();

    Key(vb::vbKeyTab, vb::vbCtrlMask);   // neither rule applies
    EXPECT_EQ(f.myCol->ItemCount(), items);
    Key(vb::vbKeyTab);                   // a pipe on the current lateral
    EXPECT_EQ(f.myCol->ItemCount(), items + 1);
    EXPECT_EQ(f.List1.ListCount(), lateralTabs);
    Key(vb::vbKeyTab, vb::vbShiftMask);  // a new lateral
    EXPECT_EQ(f.myCol->ItemCount(), items + 2);
    EXPECT_EQ(f.List1.ListCount(), lateralTabs + 1);

    // A pointer move over the profile carries out a pending removal.
    ASSERT_TRUE(f.myCol->KeyExists("ObjLateral1"));
    f.MM1.Tag("-Lateral1");
    f.Picture1_MouseMove(0, 0, 3, 4);
    EXPECT_FALSE(f.myCol->KeyExists("ObjLateral1"));
    EXPECT_EQ(f.MM1.Tag(), "");
    EXPECT_FLOAT_EQ(static_cast<float>(vb::CDbl(f.LastPointerX)), 3);
}

TEST_F(Navigation, TheMarkTakesTwoClicksOnTheProfileAndDrawsItsLine) {
    Form1& f = *form_;
    AddPipes(2);
    const int errors = vb::ReportedErrorCount();
    vb::test::ShowAndActivate(f);
    vb::test::SendMouse(f.Command22, vb::test::MouseAction::Click, vb::vbLeftButton, 50, 50);
    vb::test::ProcessEvents();
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_EQ(dialogs_->Messages()[0].prompt, "First point:");
    const float ox = ProfileOffsetX, oy = ProfileOffsetY;
    auto greenLines = [&] {
        std::vector<vb::DrawEntry> out;
        for (const auto& e : f.Picture1.DrawLog())
            if (e.kind == vb::DrawEntry::Kind::Line && e.color == 0x008000) out.push_back(e);
        return out;
    };
    // Two clicks (off the edit handles): the line joins them, and neither
    // click pans or redraws.
    vb::test::SendMouse(f.Picture1, vb::test::MouseAction::Click, vb::vbLeftButton, 20, 30);
    vb::test::ProcessEvents();
    EXPECT_TRUE(greenLines().empty());
    vb::test::SendMouse(f.Picture1, vb::test::MouseAction::Click, vb::vbLeftButton, 150, 12);
    vb::test::ProcessEvents();
    const auto lines = greenLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NEAR(lines[0].x1, 20, 1);
    EXPECT_NEAR(lines[0].y1, 30, 1);
    EXPECT_NEAR(lines[0].x2, 150, 1);
    EXPECT_NEAR(lines[0].y2, 12, 1);
    EXPECT_FLOAT_EQ(ProfileOffsetX, ox);
    EXPECT_FLOAT_EQ(ProfileOffsetY, oy);
    // The mark is complete: the next drag pans the profile again.
    vb::test::SendMouse(f.Picture1, vb::test::MouseAction::Down, vb::vbLeftButton, 40, 40);
    vb::test::SendMouse(f.Picture1, vb::test::MouseAction::Up, vb::vbLeftButton, 45, 40);
    vb::test::ProcessEvents();
    EXPECT_NEAR(ProfileOffsetX, ox + 5, 0.5);
    EXPECT_EQ(vb::ReportedErrorCount(), errors);
}
