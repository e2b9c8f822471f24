// Which pipes carry handles after the lateral shown changes: a removal through
// the laterals' pop-up menu, a choice on the strip or the list, and Re-Load.
// Handles show for exactly the picked pipes, whose tabs are lit, and a pick is
// only ever one the user made on the lateral shown.  With no pick the current
// pipe, the first of the run, has its tab lit and carries no handles.
#include "tests/mainwindow/form1_fixture.h"
#include "tests/mainwindow/profile_probe.h"

namespace {

using probe::LitPipeTabs;
using probe::PipesWithHandles;
using Names = std::set<std::string>;

class PickState : public Form1Test {
protected:
    // Lateral1 with Se 1 to Se 4, Lateral2 with Se 5 and Se 6.
    void BuildTwoLaterals() {
        f().Form_Activate();
        for (int i = 0; i < 4; ++i) f().Command7_Click();
        f().Command6_Click();
        for (int i = 0; i < 2; ++i) f().Command7_Click();
        ASSERT_TRUE(Rec("Se 4") && Rec("Se 6"));
    }
    void RemoveByPopup(const std::string& lateral) {
        dialogs().QueueMenuChoice("Remove");
        probe::ClickTab(f().UserControl11, lateral, vb::vbRightButton);
        probe::SendMouse(f().Picture1, probe::MouseAction::Move, 0, 20, 20);
        ASSERT_FALSE(Rec(lateral));
    }
    // These tabs lit on the pipes' strip, and shown lit on its canvas.
    void ExpectLit(const Names& tabs, const std::string& when) {
        EXPECT_EQ(LitPipeTabs(f()), tabs) << when;
        EXPECT_EQ(probe::ShownLitPipeTabs(f()), tabs) << when;
    }
    // Nothing picked: only the current pipe's tab lit, no handle, no mark, no
    // handle that still names a node.
    void ExpectNothingPicked(const std::string& when, const std::string& current) {
        ExpectLit(Names{current}, when);
        EXPECT_EQ(probe::VisibleHandles(f()), 0) << when;
        EXPECT_EQ(probe::Marks(f()), std::vector<int>{}) << when;
        EXPECT_EQ(probe::StaleTags(f()), std::vector<std::string>{}) << when;
    }
    // Brings the pipe at that run position into view with the arrow keys,
    // picks it with the right button and double-clicks its ground handle,
    // which opens the nudge panel.
    void PickAndOpenTheNudgePanel(int position) {
        for (int step = 0; step < 50 && f().RunRecord(position)->x3 + ProfileOffsetX > 60; ++step)
            vb::test::SendKey(f().Picture1, vb::vbKeyRight);
        for (int step = 0; step < 50 && f().RunRecord(position)->x3 + ProfileOffsetX < 10; ++step)
            vb::test::SendKey(f().Picture1, vb::vbKeyLeft);
        probe::RightClick(f(), probe::PipeOnProfile(f(), position));
        ASSERT_EQ(PipesWithHandles(f()), Names{f().RunRecord(position)->Name});
        const probe::Point ground = probe::Middle(f().PGR(1));
        probe::SendMouse(f().Picture1, probe::MouseAction::DoubleClick, vb::vbLeftButton, ground.x, ground.y);
        ASSERT_TRUE(f().Frame11.Visible());
    }
};

}  // namespace

TEST_F(PickState, HandlesFollowTheLitTabsThroughRemovalsAndChoices) {
    BuildTwoLaterals();

    // Choosing a lateral on the strip picks no pipe: its first pipe is the
    // current one, with its tab lit and no handles.
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    ASSERT_EQ(RunCount, 4);
    ExpectNothingPicked("Lateral1 chosen", "Se 1");

    // The third pipe picked with the right button: its tab alone is lit and
    // it carries the handles.  Picked again, it is dropped, and the first
    // pipe is the current one again.
    probe::RightClick(f(), probe::PipeOnProfile(f(), 3));
    ExpectLit(Names{"Se 3"}, "Se 3 picked");
    EXPECT_EQ(PipesWithHandles(f()), Names{"Se 3"});
    probe::RightClick(f(), probe::PipeOnProfile(f(), 3));
    ExpectNothingPicked("Se 3 dropped", "Se 1");

    // A right-click on empty profile space picks the current pipe, the one
    // whose tab is lit.
    probe::RightClick(f(), probe::EmptyProfileSpace(f()));
    ExpectLit(Names{"Se 1"}, "empty space right-clicked");
    EXPECT_EQ(PipesWithHandles(f()), Names{"Se 1"});

    // Lateral1 removed through its tab's pop-up menu: Lateral2 is shown with
    // no pipe picked, and the grid shows no pipe of the removed lateral.
    RemoveByPopup("Lateral1");
    ASSERT_EQ(CurrentLateralName, "Lateral2");
    ASSERT_EQ(RunCount, 2);
    ExpectNothingPicked("Lateral1 removed", "Se 5");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");
    // A right-click on its first pipe picks that pipe; another on the same
    // pipe drops the pick again.
    probe::RightClick(f(), probe::PipeOnProfile(f(), 1));
    EXPECT_EQ(LitPipeTabs(f()), Names{"Se 5"});
    EXPECT_EQ(PipesWithHandles(f()), Names{"Se 5"});
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 5");
    probe::RightClick(f(), probe::PipeOnProfile(f(), 1));
    ExpectNothingPicked("Se 5 dropped", "Se 5");

    // A pick survives the removal of a lateral not shown: the lateral shown
    // stays, its pipe keeps its lit tab and handles (laid with the indices
    // the removal left).
    f().Command6_Click();   // Lateral1 again, the last lateral
    f().Command7_Click();
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    probe::RightClick(f(), probe::PipeOnProfile(f(), 1));
    const std::string picked = NodeRecordByIndex(f().myCol.get(), CurrentRun[1].NodeIndex)->Name;
    RemoveByPopup("Lateral2");
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(LitPipeTabs(f()), Names{picked});
    EXPECT_EQ(PipesWithHandles(f()), Names{picked});

    // A pipe chosen on the pipe list lights its tab with its handles; adding
    // a pipe keeps that pick.
    f().Command7_Click();
    f().List2.ListIndex(1);
    const std::string second = f().List2.Text();
    EXPECT_EQ(LitPipeTabs(f()), Names{second});
    EXPECT_EQ(PipesWithHandles(f()), Names{second});
    f().Command7_Click();
    EXPECT_EQ(LitPipeTabs(f()), Names{second});
    EXPECT_EQ(PipesWithHandles(f()), Names{second});

    // Choosing another lateral on the list drops the pick.
    f().Command6_Click();
    f().Command7_Click();
    for (int i = 0; i < f().List1.ListCount(); ++i) {
        if (f().List1.List(i) == "Lateral1") f().List1.ListIndex(i);
    }
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    ExpectNothingPicked("Lateral1 chosen on the list", f().RunRecord(1)->Name);
    EXPECT_EQ(dialogs().PendingAnswers(), 0u);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// Re-Load puts the saved network in: the first lateral is shown with no pipe
// picked (its first pipe current), and no handle names a node of the network
// shown before.
TEST_F(PickState, ReLoadShowsTheSavedNetworkWithNothingPicked) {
    BuildTwoLaterals();
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    f().cmdSaveCollection_Click(0);

    // More pipes than the file holds, the third picked, its cover handle
    // dragged: the handles name nodes the file's network numbers otherwise.
    for (int i = 0; i < 6; ++i) f().Command7_Click();
    probe::ClickTab(f().UserControl11, "Lateral2", vb::vbLeftButton);
    probe::RightClick(f(), probe::PipeOnProfile(f(), 3));
    ASSERT_EQ(PipesWithHandles(f()).size(), 1u);
    probe::DragDown(f(), probe::Middle(f().pcover(1)));
    ASSERT_EQ(f().Text19.Tag(), "Pcov1") << "the drag armed the entry box";

    dialogs().ClearLog();
    f().cmdSaveCollection_Click(1);
    ASSERT_EQ(Prompts(), (std::vector<std::string>{"file Open", "6"}));
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    ASSERT_EQ(RunCount, 4);
    ExpectNothingPicked("after Re-Load", "Se 1");
    EXPECT_EQ(f().Text19.Tag(), "");
    EXPECT_FALSE(f().pic(0).Visible()) << "the entry box of the old pipe is closed";

    // Picks on the reloaded network work as on any other.
    probe::RightClick(f(), probe::PipeOnProfile(f(), 2));
    EXPECT_EQ(LitPipeTabs(f()), Names{"Se 2"});
    EXPECT_EQ(PipesWithHandles(f()), Names{"Se 2"});
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A lateral not shown is removed, and the lateral shown changes with it (the
// last lateral listed is shown): the pick and the pipe the grid showed stay
// with the lateral they belong to.
TEST_F(PickState, ARemovalThatChangesTheLateralShownTakesThePickAlong) {
    BuildTwoLaterals();
    f().Command6_Click();   // Lateral3, without pipes
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    probe::RightClick(f(), probe::PipeOnProfile(f(), 2));
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 2");
    RemoveByPopup("Lateral3");
    ASSERT_EQ(CurrentLateralName, "Lateral2");
    ExpectNothingPicked("Lateral3 removed", "Se 5");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "") << "the grid names a pipe of a lateral not shown";
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// The developer commands that send the network through its byte form, and
// the default network, put a new tree in: no handle, nudge panel or plan
// sketch of a pipe picked before stays, and no handle names a pipe through
// the node index it had before the nodes were numbered anew.
TEST_F(PickState, NetworksRebuiltInPlaceKeepNoHandleOrPanelOfTheOldOne) {
    BuildTwoLaterals();
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    PickAndOpenTheNudgePanel(3);
    f().Cmdtest_Click();
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    ExpectNothingPicked("after the round trip", "Se 1");
    EXPECT_FALSE(f().Frame11.Visible()) << "after the round trip";

    // A pipe added to the first lateral now that the second exists takes the
    // last node index; a round trip numbers the nodes in tree order, which
    // gives it another.
    f().Command7_Click();
    ASSERT_EQ(RunCount, 5);
    const std::string added = f().RunRecord(5)->Name;
    const int32_t before = CurrentRun[5].NodeIndex;
    PickAndOpenTheNudgePanel(5);
    f().InspectObject(vb::Variant("ObjLateral1"));
    ASSERT_NE(f().myCol->KeyToIndex("Obj" + added), before);
    for (const std::string& name : PipesWithHandles(f())) EXPECT_EQ(name, added) << "after the inspector";
    EXPECT_FALSE(f().Frame11.Visible()) << "after the inspector";

    // The default network, while the plan picture shows the point view of
    // the lateral (a press on the plan picture draws it).
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    PickAndOpenTheNudgePanel(2);
    if (!f().Picture2.Visible()) {
        const probe::Point empty = probe::EmptyProfileSpace(f());
        probe::SendMouse(f().Picture1, probe::MouseAction::DoubleClick, vb::vbLeftButton, empty.x, empty.y);
    }
    ASSERT_TRUE(f().Picture2.Visible());
    probe::SendMouse(f().Picture2, probe::MouseAction::Down, vb::vbLeftButton, 20, 20);
    ASSERT_FALSE(f().Picture2.DrawLog().empty());
    f().NewDefaultNetwork();
    EXPECT_EQ(probe::VisibleHandles(f()), 0);
    EXPECT_EQ(probe::StaleTags(f()), std::vector<std::string>{});
    EXPECT_FALSE(f().Frame11.Visible()) << "after the default network";
    EXPECT_TRUE(f().Picture2.DrawLog().empty()) << "the old plan sketch is still drawn";
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// The profile keeps the keyboard: Tab there adds a pipe to the lateral shown
// and the focus stays, and a click on a pipe's tab leaves the focus where it
// was.
TEST_F(PickState, TheProfileKeepsTheKeyboardThroughTabAndTheStrip) {
    BuildTwoLaterals();
    vb::test::ShowAndActivate(f());
    probe::ClickTab(f().UserControl11, "Lateral1", vb::vbLeftButton);
    const int32_t nodes = f().myCol->ItemCount();
    vb::test::SendKey(f().Picture1, vb::vbKeyTab);
    EXPECT_EQ(f().myCol->ItemCount(), nodes + 1);
    EXPECT_EQ(vb::ActiveControl(), &f().Picture1);
    ASSERT_GT(RunCount, 0);
    probe::ClickTab(f().UserControl12, f().UserControl12.Tabs()[1].Caption, vb::vbLeftButton);
    EXPECT_EQ(probe::Marks(f()), std::vector<int>{1});
    EXPECT_EQ(vb::ActiveControl(), &f().Picture1);
}
