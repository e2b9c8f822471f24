// The keyboard around the pickers of a shown main window, and the handles
// after the profile shown has changed under them.
#include <algorithm>

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
