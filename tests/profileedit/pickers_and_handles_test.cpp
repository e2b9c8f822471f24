// The keyboard around the pickers of a shown main window, and the handles
// after the profile shown has changed under them.
#include <algorithm>
#include <memory>
#include <utility>

#include "tests/profileedit/shown_form1_fixture.h"

namespace {

class PickersAndHandlesTest : public ShownForm1Test {
protected:
    bool FocusOn(const vb::Control& c) { return vb::ActiveControl() == &c; }
};

}  // namespace

// A picker opened with the mouse takes the keyboard, so Down steps at once;
// once a choice closes it the keyboard is back on the profile, where Enter
// and Space add no pipe.
TEST_F(PickersAndHandlesTest, PickersTakeTheKeyboardAndGiveItBackToTheProfile) {
    ChooseFirstPipeWithALateralToPick();
    auto pipe = Rec(f().List2.List(0));
    pipe->dia = 300;
    const int32_t pipes = Pipes("Lateral1");
    auto enterAndSpaceAddNothing = [&](const char* after) {
        vb::test::SendKeyToFocus(vb::vbKeyReturn);
        vb::test::SendKeyToFocus(vb::vbKeySpace);
        vb::test::ProcessEvents();
        EXPECT_EQ(Pipes("Lateral1"), pipes) << after;
    };

    vb::test::SendMouse(f().Picdia(1), vb::test::MouseAction::Click, 1, 1, 1);
    vb::test::ProcessEvents();
    EXPECT_TRUE(FocusOn(f().Combo1));
    vb::test::SendKeyToFocus(vb::vbKeyDown);
    vb::test::ProcessEvents();
    EXPECT_EQ(pipe->dia, 350);
    EXPECT_FALSE(f().pic(0).Visible());
    EXPECT_TRUE(FocusOn(f().Picture1));
    enterAndSpaceAddNothing("the diameter picker");

    // The first lateral picker: a choice in the list.
    vb::test::SendMouse(f().picfrom, vb::test::MouseAction::Click, 1, 1, 1);
    vb::test::ProcessEvents();
    EXPECT_TRUE(FocusOn(f().Combo1));
    f().Combo1.ListIndex(2);
    EXPECT_EQ(Rec("Lateral2")->ma1, f().myCol->KeyToIndex("Obj" + pipe->Name));
    EXPECT_TRUE(FocusOn(f().Picture1));
    enterAndSpaceAddNothing("the lateral picker");

    // The second: a size typed and taken with "Ok".
    vb::test::SendMouse(f().Picdia(1), vb::test::MouseAction::Click, 1, 1, 1);
    vb::test::ProcessEvents();
    f().Combo1.Text("450");
    vb::test::SendMouse(f().Command24, vb::test::MouseAction::Click, 1, 1, 1);
    vb::test::ProcessEvents();
    EXPECT_EQ(pipe->dia, 450);
    EXPECT_TRUE(FocusOn(f().Picture1));
    enterAndSpaceAddNothing("the \"Ok\" button");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// With a pipe of one lateral chosen, another lateral is removed from its
// tab's pop-up menu: the profile then shown carries no handle of a pipe that
// is not on it.
TEST_F(PickersAndHandlesTest, NoHandleOfAPipeOffTheProfileShown) {
    f().Form_Activate();
    for (int i = 0; i < 3; ++i) f().Command7_Click();   // Se 1 to Se 3 on Lateral1
    f().Command6_Click();
    f().Command7_Click();                               // Se 4 on Lateral2
    f().Command6_Click();
    f().Command7_Click();                               // Se 5 on Lateral3
    auto offTheProfile = [&] {
        std::vector<std::string> out;
        auto check = [&](const vb::PictureBox& handle, const std::string& what) {
            if (!handle.Visible()) return;
            bool onRun = false;
            for (int32_t i = 1; i <= RunCount; ++i)
                onRun = onRun || std::to_string(CurrentRun[static_cast<size_t>(i)].NodeIndex) == handle.Tag();
            if (!onRun) out.push_back(what + " of node " + handle.Tag());
        };
        for (int i : f().Picdia.Indices()) if (i > 0) check(f().Picdia(i), "diameter bar");
        for (int i : f().pcover.Indices()) if (i > 0) check(f().pcover(i), "cover handle");
        for (int i : f().plen.Indices()) if (i > 0) check(f().plen(i), "length handle");
        for (int i : f().PGR.Indices()) if (i > 0) check(f().PGR(i), "ground handle");
        check(f().picfrom, "lateral picker");
        check(f().picfrom1, "second lateral picker");
        return out;
    };
    auto removeByPopup = [&](const std::string& lateral) {
        const auto& tabs = f().UserControl11.Tabs();
        const auto tab =
            std::find_if(tabs.begin(), tabs.end(), [&](const TabRecord& t) { return t.Caption == lateral; });
        ASSERT_NE(tab, tabs.end()) << lateral;
        dialogs().QueueMenuChoice("Remove");
        f().UserControl11.Picture10_MouseDown(vb::vbRightButton, 0, (tab->Left + tab->Right) / 2.0f * 15, 5 * 15);
        f().Picture1_MouseMove(0, 0, 40, 40);
        ASSERT_FALSE(Rec(lateral));
    };

    f().List1.ListIndex(0);
    ChoosePipe(1);   // Se 2
    ASSERT_EQ(f().Picdia(1).Tag(), std::to_string(f().myCol->KeyToIndex("ObjSe 2")));
    removeByPopup("Lateral2");
    ASSERT_EQ(CurrentLateralName, "Lateral3");
    EXPECT_EQ(offTheProfile(), std::vector<std::string>{});
    // Back on Lateral1 the chosen pipe's handles are laid again.
    f().List1.ListIndex(0);
    ChoosePipe(1);
    EXPECT_EQ(offTheProfile(), std::vector<std::string>{});
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

namespace {

// The value box's "Ok" under a slope bar, clicked where a user clicks it: the
// click goes to whatever stands uppermost at that point.
class ValueBoxInFrontTest : public PickersAndHandlesTest {
protected:
    struct Point {
        double x, y;
    };
    // The centre of "Ok" from the box's top left corner, in the units of the
    // profile picture (the box keeps its size in pixels at every zoom).
    Point OkOffset() {
        const vb::PictureBox& box = f().pic(0);
        const vb::CommandButton& ok = f().Command24;
        return {f().Picture1.PixelsToSizeX(box.BorderPixels() + box.UnitsToPixelsX(ok.Left()) +
                                           box.SizeToPixelsX(ok.Width()) / 2),
                f().Picture1.PixelsToSizeY(box.BorderPixels() + box.UnitsToPixelsY(ok.Top()) +
                                           box.SizeToPixelsY(ok.Height()) / 2)};
    }
    Point OkCentre() {
        const Point d = OkOffset();
        return {f().pic(0).Left() + d.x, f().pic(0).Top() + d.y};
    }
    // The top edge of "Ok" on the profile picture.
    double OkTop() {
        const vb::PictureBox& box = f().pic(0);
        return box.Top() + f().Picture1.PixelsToSizeY(box.BorderPixels() + box.UnitsToPixelsY(f().Command24.Top()));
    }
    static bool Covers(const vb::Control& c, Point p) {
        return c.Visible() && p.x > c.Left() && p.x < c.Left() + c.Width() && p.y > c.Top() &&
               p.y < c.Top() + c.Height();
    }
    // A mouse event where a user makes it on the profile: it goes to
    // whatever stands uppermost at that point.
    void Mouse(vb::test::MouseAction action, Point p) {
        vb::test::SendMouse(f().Picture1, action, 1, p.x, p.y);
        vb::test::ProcessEvents();
    }
    void ClickOk() { Mouse(vb::test::MouseAction::Click, OkCentre()); }
    // Chooses `choice` in the open picker and clicks "Ok": the box closes,
    // and `under`, whose slope bar lies under "Ok", keeps its slope.
    void ChooseWithOk(const std::string& choice, const model::Sewer& under) {
        const float slope = under.slope;
        f().Combo1.Text(choice);
        ClickOk();
        EXPECT_FALSE(f().pic(0).Visible());
        EXPECT_EQ(under.slope, slope);
    }
    void ClickOpen(vb::Control& picker) {
        vb::test::SendMouse(picker, vb::test::MouseAction::Click, 1, 1, 1);
        vb::test::ProcessEvents();
        ASSERT_TRUE(f().pic(0).Visible());
    }
    // The first lateral's first two pipes, with a lateral to pick, the
    // profile zoomed out twice ("Z-").
    std::pair<std::shared_ptr<model::Sewer>, std::shared_ptr<model::Sewer>> TwoPipesZoomedOut() {
        ChooseFirstPipeWithALateralToPick();
        auto pipes = std::make_pair(Rec(f().List2.List(0)), Rec(f().List2.List(1)));
        f().Command13_Click();
        f().Command13_Click();
        return pipes;
    }
    // Picks both pipes of the run and redraws, as right-clicks on them do.
    void PickBoth() {
        vb::Variant marks = f().UserControl12.TABB();
        marks.SetElement(1, vb::Variant(int16_t{1}));
        marks.SetElement(2, vb::Variant(int16_t{1}));
        f().UserControl12.TABB(marks);
        f().draw();
    }
};

}  // namespace

// Two "Z-" out, the first lateral picker of the first pipe open; picking the
// second pipe as well redraws the profile and lays that pipe's slope bar, for
// the first time, under the picker's "Ok".  The click on "Ok" stores the
// lateral chosen and leaves the slope alone.
TEST_F(ValueBoxInFrontTest, OkStaysOnTopWhenARedrawLaysASlopeBar) {
    const auto [first, second] = TwoPipesZoomedOut();
    // The box opens at the first pipe's upstream end, the second pipe's bar
    // stands at its middle: these lengths put the bar's middle under "Ok".
    const double reach = OkOffset().x - f().VSlope(0).Width() / 2;
    first->l = static_cast<float>(reach / 2);
    second->l = static_cast<float>(reach);
    f().draw();
    ClickOpen(f().picfrom);
    ASSERT_FALSE(f().VSlope.Exists(2) && f().VSlope(2).Visible());
    PickBoth();
    ASSERT_TRUE(f().pic(0).Visible());
    ASSERT_TRUE(Covers(f().VSlope(2), OkCentre()));

    ChooseWithOk("Lateral2", *second);
    EXPECT_EQ(first->ma2, f().myCol->KeyToIndex("ObjLateral2"));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// Both pipes picked, the second one's slope bar under the "Ok" of the first
// one's diameter picker (lengths and cover chosen to put it there), the
// picker opened with no redraw after it: "Ok" stores the size typed, and the
// second pipe keeps its slope.
TEST_F(ValueBoxInFrontTest, DiameterPickersOkTakesTheClick) {
    const auto [first, second] = TwoPipesZoomedOut();
    // The box opens 3 units left of the first pipe's middle, the bar 1 unit
    // right of the second pipe's middle.
    const Point ok = OkOffset();
    const double half = ok.x - 4 - f().VSlope(0).Width() / 2;
    first->l = second->l = static_cast<float>(half);
    PickBoth();
    // Ten units down for every metre of cover more.
    const vb::VScrollBar& bar = f().VSlope(2);
    const double okY = f().Picdia(1).Top() + 8 + ok.y;
    first->mincover += static_cast<float>((bar.Top() + bar.Height() / 2 - okY) / 10);
    f().draw();
    ClickOpen(f().Picdia(1));
    ASSERT_TRUE(Covers(f().VSlope(2), OkCentre()));

    ChooseWithOk("450", *second);
    EXPECT_EQ(first->dia, 450);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// The first pipe's lateral picker pressed, its own slope bar under the
// picker's "Ok".  The release redraws the profile, which brings the box to
// the front in any case; from the press on, while the picker is still held,
// "Ok" already stands above the bar and takes a click.
TEST_F(ValueBoxInFrontTest, LateralPickersOkTakesTheClickFromThePressOn) {
    const auto first = TwoPipesZoomedOut().first;
    // The box opens at the pipe's upstream end, the bar stands at its middle.
    first->l = static_cast<float>(2 * (OkOffset().x - f().VSlope(0).Width() / 2));
    f().draw();
    vb::test::SendMouse(f().picfrom, vb::test::MouseAction::Down, 1, 1, 1);
    vb::test::ProcessEvents();
    ASSERT_TRUE(Covers(f().VSlope(1), OkCentre()));

    ChooseWithOk("Lateral2", *first);
    EXPECT_EQ(first->ma2, f().myCol->KeyToIndex("ObjLateral2"));
    vb::test::SendMouse(f().picfrom, vb::test::MouseAction::Up, 1, 1, 1);
    vb::test::ProcessEvents();
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// The first pipe's diameter picker open, the second pipe's cover handle half
// above the box and half over its "Ok".  A handle stands above the box only
// while it is pressed: once released (and the profile redrawn), a click on
// "Ok" commits; held through a redraw, it stays above, and its drag goes on
// over "Ok".
TEST_F(ValueBoxInFrontTest, OnlyTheCoverHandleStillPressedStandsAboveTheBox) {
    const auto [first, second] = TwoPipesZoomedOut();
    PickBoth();
    const vb::PictureBox& handle = f().pcover(2);
    // The handle's middle under the middle of "Ok": the handle stands 1 unit
    // right of the second pipe's middle, the box 3 units left of the first's.
    first->l = second->l = static_cast<float>(OkOffset().x - 4 - handle.Width() / 2);
    f().draw();
    ClickOpen(f().Picdia(1));
    // Ten units down for every metre of cover more: the handle's top goes
    // so far above the box that the part above it is as high as the part
    // over "Ok".
    const double border = OkTop() - f().pic(0).Top();
    second->mincover += static_cast<float>((f().pic(0).Top() - (handle.Height() - border) / 2 - handle.Top()) / 10);
    f().draw();
    const double x = handle.Left() + handle.Width() / 2;
    const Point above{x, (handle.Top() + f().pic(0).Top()) / 2};
    const Point overOk{x, (OkTop() + handle.Top() + handle.Height()) / 2};
    ASSERT_TRUE(Covers(handle, above) && !Covers(f().pic(0), above));
    ASSERT_TRUE(Covers(handle, overOk) && overOk.y > OkTop());
    ASSERT_NEAR(x, OkCentre().x, 1);

    Mouse(vb::test::MouseAction::Click, above);
    ASSERT_TRUE(f().pic(0).Visible());
    Mouse(vb::test::MouseAction::Click, overOk);
    EXPECT_FALSE(f().pic(0).Visible()) << "the released handle took the click meant for \"Ok\"";

    ClickOpen(f().Picdia(1));
    const float cover = second->mincover;
    Mouse(vb::test::MouseAction::Down, above);
    f().draw();
    Mouse(vb::test::MouseAction::Move, overOk);
    EXPECT_GT(second->mincover, cover) << "the drag stopped at the box";
    Mouse(vb::test::MouseAction::Up, overOk);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
