// A drawing read ("Acad") or a sheet import replaces the network while a pipe
// of the old one is picked, its handles laid and the entry box armed.  After
// it the profile shows nothing of the old network, and no pick, handle drag
// or typed value reaches a record of the old network, or a record of the new
// one through an index of the old.
#include "platform/ui/testing.h"
#include "tests/exchange/acad_fixture.h"
#include "tests/exchange/exchange_fixture.h"
#include "tests/mainwindow/profile_probe.h"

namespace {

// The values a user edits on the profile, of every pipe (a redraw writes the
// lateral's own record, the run's summary, and each pipe's downstream ground,
// so those are left out).
std::vector<std::string> Edited(model::cNodeCollection& col) {
    std::vector<std::string> out;
    for (int32_t n = 1; n <= col.ItemCount(); ++n) {
        auto s = NodeRecordByIndex(&col, n);
        if (!s || s->Name.rfind("Lateral", 0) == 0) continue;
        out.push_back(s->Name + ": cover " + vb::SingleToText(s->mincover) + ", ground " + vb::SingleToText(s->felv) +
                      ", length " + vb::SingleToText(s->l) + ", slope " + vb::SingleToText(s->slope) + ", dia " +
                      std::to_string(s->dia) + ", joins " + std::to_string(s->ma2) + " " + std::to_string(s->ma3));
    }
    return out;
}

struct OldProfile {
    std::shared_ptr<model::cNodeCollection> network;
    std::vector<std::string> values;
    probe::Point pick, cover;
};

// Lateral1 of the main window with eight pipes, shown; its second pipe picked
// with the right button; its ground handle double-clicked, which opens the
// nudge panel; its cover handle dragged down and let go, so that the entry
// box holds the dragged cover.
OldProfile PickAndDragTheSecondPipe(Form1& f) {
    for (int i = 0; i < 8; ++i) f.Command7_Click();
    probe::ClickTab(f.UserControl11, "Lateral1", vb::vbLeftButton);
    OldProfile old;
    old.pick = probe::PipeOnProfile(f, 2);
    probe::RightClick(f, old.pick);
    EXPECT_EQ(probe::PipesWithHandles(f).size(), 1u);
    const probe::Point ground = probe::Middle(f.PGR(1));
    probe::SendMouse(f.Picture1, probe::MouseAction::DoubleClick, vb::vbLeftButton, ground.x, ground.y);
    EXPECT_TRUE(f.Frame11.Visible());
    probe::DragDown(f, probe::Middle(f.pcover(1)));
    EXPECT_EQ(f.Text19.Tag(), "Pcov1");
    old.cover = probe::Middle(f.pcover(1));   // where the drag left it
    EXPECT_TRUE(f.pic(0).Visible());
    old.network = f.myCol;
    old.values = Edited(*f.myCol);
    return old;
}

// What the main window offers right after the network was replaced, and what
// a pick, a drag and a typed value do there.
void ExpectNothingOfTheOldNetwork(Form1& f, const OldProfile& old) {
    ASSERT_NE(f.myCol, old.network);
    EXPECT_TRUE(f.Picture1.DrawLog().empty()) << "the old profile is still drawn";
    EXPECT_EQ(probe::VisibleHandles(f), 0);
    EXPECT_EQ(probe::StaleTags(f), std::vector<std::string>{});
    EXPECT_EQ(probe::Marks(f), std::vector<int>{});
    EXPECT_EQ(RunCount, 0);
    EXPECT_EQ(f.List2.ListCount(), 0);
    EXPECT_EQ(f.UserControl12.Tabs().size(), 1u) << "the strip lists no pipe of the old network";
    EXPECT_EQ(f.Text19.Tag(), "");
    EXPECT_FALSE(f.pic(0).Visible()) << "the entry box of the old pipe is closed";
    EXPECT_TRUE(f.CurrentPipeKey.empty() || f.CurrentPipeKey == CurrentLateralName) << f.CurrentPipeKey;
    if (f.CurrentPipeKey.empty()) {
        for (int row = 1; row <= 9; ++row) EXPECT_EQ(f.MSHFlexGrid2.TextMatrix(row, 1), "") << "grid row " << row;
    }
    EXPECT_FALSE(f.Frame11.Visible()) << "the nudge panel of the old pipe is closed";
    EXPECT_TRUE(f.Picture2.DrawLog().empty()) << "the old plan sketch is still drawn";
    for (const RunEntry& e : CurrentRun) EXPECT_EQ(e.NodeIndex, 0) << "the run still names a node";
    const std::vector<std::string> fresh = Edited(*f.myCol);

    // A right-click where the picked pipe was, on the emptied profile, picks
    // nothing.  The release draws the lateral named on the strip, from the
    // new network, with no pipe picked.
    probe::RightClick(f, old.pick);
    const int32_t lateral = f.myCol->KeyToIndex("Obj" + CurrentLateralName);
    int32_t pipes = 0;
    for (int32_t n = lateral > 0 ? f.myCol->FirstChild(lateral) : 0; n != 0; n = f.myCol->NextSibling(n)) ++pipes;
    EXPECT_EQ(RunCount, pipes);
    EXPECT_EQ(probe::PipesWithHandles(f), std::set<std::string>{});
    EXPECT_EQ(probe::Marks(f), std::vector<int>{});

    // A drag where the cover handle was moves the view, not a cover.
    const float offsetY = ProfileOffsetY;
    probe::DragDown(f, old.cover);
    EXPECT_FLOAT_EQ(ProfileOffsetY, offsetY + 1);

    // A right-click where the picked pipe was, now that the new lateral is
    // drawn, picks what is drawn there, if anything: never a pipe of the old
    // network.
    probe::RightClick(f, old.pick);
    std::set<std::string> run;
    for (int32_t i = 1; i <= RunCount; ++i) run.insert(f.RunRecord(i)->Name);
    for (const std::string& name : probe::PipesWithHandles(f)) EXPECT_TRUE(run.count(name)) << name;

    // A value typed into the entry box and confirmed stores nothing.
    f.Text19.Text("7.5");
    vb::test::SendKey(f.Text19, vb::vbKeyReturn);

    EXPECT_EQ(Edited(*old.network), old.values) << "a record of the old network was changed";
    EXPECT_EQ(Edited(*f.myCol), fresh) << "a record of the new network was changed";
    EXPECT_EQ(probe::LitPipeTabs(f), probe::PipesWithHandles(f));
}

}  // namespace

// A drawing without pipes: the network becomes the root alone, the count "0"
// is told, and the profile is empty.
TEST_F(AcadTest, ADrawingWithoutPipesLeavesNothingOfTheOldProfile) {
    const OldProfile old = PickAndDragTheSecondPipe(f());
    Attach();
    dialogs().ClearLog();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"0"});
    EXPECT_EQ(TopLevelKeys(), std::vector<std::string>{"ObjSewer"});
    ExpectNothingOfTheOldNetwork(f(), old);
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A drawing of thirty pipes numbers its nodes up to 32: the node indices the
// old handles held name pipes of the new network.
TEST_F(AcadTest, ADrawingOfManyPipesIsNotReachedThroughOldIndices) {
    const OldProfile old = PickAndDragTheSecondPipe(f());
    ASSERT_LE(vb::Val(f().pcover(1).Tag()), 32);
    Attach();
    for (int r = 1; r <= 30; ++r) AddPipe(r, r < 30 ? r + 1 : 0, r - 1, "A", {r * 10.0, 0, 100}, {r * 10.0 + 10, 0, 100});
    dialogs().ClearLog();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), std::vector<std::string>{"30"});
    ExpectNothingOfTheOldNetwork(f(), old);
    // The new network's pipes are picked as any others.
    std::set<std::string> picked = probe::PipesWithHandles(f());
    picked.insert("Se2");
    probe::RightClick(f(), probe::PipeOnProfile(f(), 2));
    EXPECT_EQ(probe::PipesWithHandles(f()), picked);
    EXPECT_EQ(probe::LitPipeTabs(f()), picked);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(ExchangeTest, AnImportedSheetLeavesNothingOfTheOldProfile) {
    const OldProfile old = PickAndDragTheSecondPipe(f());
    running_->OpenWorkbook(SheetData("network_openpyxl.xlsx"));
    dialogs().ClearLog();
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(Prompts(), std::vector<std::string>{"2"});
    // The grid shows the record of the lateral the strip names.
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Lateral 1");
    ExpectNothingOfTheOldNetwork(f(), old);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A sheet that ends in its first row: the network becomes the root alone, and
// the grid names no lateral, since the network has none.
TEST_F(ExchangeTest, ASheetWithoutPipesLeavesNothingOfTheOldProfile) {
    const OldProfile old = PickAndDragTheSecondPipe(f());
    running_->OpenWorkbook(SheetData("network_end_xlsxwriter.xlsx"));
    dialogs().ClearLog();
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(Prompts(), std::vector<std::string>{"0"});
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");
    ExpectNothingOfTheOldNetwork(f(), old);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
