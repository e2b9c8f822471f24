// Choosing laterals and pipes, adding laterals and pipes, and the removal of
// a lateral through the pending tag of the pop-up menu.
#include <algorithm>
#include <cmath>

#include "tests/mainwindow/form1_fixture.h"

namespace {
std::string Trimmed(const std::string& s) { return vb::Trim(s); }
}  // namespace

TEST_F(Form1Test, AddSewerBesideTheStripTakesGridValuesThenContinuesTheRun) {
    // The first pipe of an empty lateral takes the grid's values (the lateral's
    // own record after start-up).
    f().Command7_Click();
    auto se1 = Rec("Se 2");   // PipeCount is 1 after start-up
    ASSERT_TRUE(se1);
    EXPECT_EQ(se1->Index, 2);
    EXPECT_EQ(se1->lat, "Lateral1");
    EXPECT_FLOAT_EQ(se1->felv, 102);
    EXPECT_FLOAT_EQ(se1->telv, 101.8f);
    EXPECT_FLOAT_EQ(se1->finv, 99.8f);
    EXPECT_FLOAT_EQ(se1->tinv, 99.6f);
    EXPECT_EQ(se1->dia, 200);
    EXPECT_FLOAT_EQ(se1->slope, 0.004f);
    EXPECT_EQ(RunCount, 1);
    // The next pipe continues the last pipe of the run.
    se1->telv = 101.5f;
    se1->tinv = 98.25f;
    model::Sewer at;   // the new pipe as the command left it for the refresh
    SnapshotAtRefresh("Se 3", at);
    f().Command7_Click();
    ASSERT_TRUE(Rec("Se 3"));
    const model::Sewer* se2 = &at;
    EXPECT_FLOAT_EQ(se2->felv, 101.5f);
    EXPECT_FLOAT_EQ(se2->finv, 98.25f);
    EXPECT_FLOAT_EQ(se2->telv, 101.3f);
    EXPECT_FLOAT_EQ(se2->tinv, 98.05f);
    EXPECT_FLOAT_EQ(se2->mincover, 2);
    EXPECT_EQ(RunCount, 2);
    EXPECT_EQ(f().List2.ListCount(), 2);
    EXPECT_EQ(TabCaptions(f().UserControl12), (std::vector<std::string>{"Se 2", "Se 3"}));
    EXPECT_EQ(Trimmed(CurrentRun[2].PipeName), "Se 3");
    EXPECT_EQ(CurrentRun.size(), 3u);
    // After the window is activated again the running number restarts at 0;
    // the names in use are skipped instead of failing on a duplicate key.
    f().Form_Activate();
    f().Command7_Click();
    f().Command7_Click();
    EXPECT_TRUE(Rec("Se 1"));
    EXPECT_TRUE(Rec("Se 4"));
    EXPECT_EQ(RunCount, 4);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    EXPECT_TRUE(dialogs().Messages().empty());
}

TEST_F(Form1Test, FirstPipeFromGridRowsComputesItsElevations) {
    auto& g = f().MSHFlexGrid2;
    g.TextMatrix(2, 1, "300");
    g.TextMatrix(3, 1, "0.005");
    g.TextMatrix(4, 1, "1.5");
    g.TextMatrix(5, 1, "40");
    g.TextMatrix(6, 1, "101.2");
    f().Command7_Click();
    auto s = Rec("Se 2");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->dia, 300);
    EXPECT_FLOAT_EQ(s->telv, 101.04f);
    EXPECT_NEAR(s->finv, 99.4f, 1e-4);
    EXPECT_FLOAT_EQ(s->tinv, 99.2f);
    EXPECT_FLOAT_EQ(s->l, 40);

    // The invert is ground less cover in single precision, then less the
    // diameter: 94.402 - 2.91 - 0.15 ends one step of a single below 91.342.
    f().Command6_Click();
    g.TextMatrix(2, 1, "150");
    g.TextMatrix(4, 1, "2.91");
    g.TextMatrix(6, 1, "94.402");
    model::Sewer at;   // as the command left it, before the redraw's levels pass
    SnapshotAtRefresh("Se 3", at);
    f().Command7_Click();
    ASSERT_TRUE(Rec("Se 3"));
    EXPECT_EQ(at.finv, 91.34199523925781f);
    EXPECT_NE(at.finv, 91.342f);
}

TEST_F(Form1Test, FirstPipeFromGridRowsTakesZeroForANumberNoFieldHolds) {
    auto& g = f().MSHFlexGrid2;
    g.TextMatrix(1, 1, "1e309");   // beyond a Double: Val overflows
    g.TextMatrix(2, 1, "300");
    g.TextMatrix(3, 1, "0.005");
    g.TextMatrix(4, 1, "1.5");
    g.TextMatrix(5, 1, "1e40");    // beyond a Single
    g.TextMatrix(6, 1, "101.2");
    f().Command7_Click();
    auto s = Rec("Se 2");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->qd, 0.0f);
    EXPECT_EQ(s->l, 50.0f);   // 0 would be no length: a new network's pipe length
    EXPECT_EQ(s->dia, 300);
    EXPECT_FLOAT_EQ(s->felv, 101.2f);
    EXPECT_TRUE(std::isfinite(s->tinv));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, PipeForALateralThatDoesNotExistIsRefused) {
    const int32_t count = f().myCol->ItemCount();
    f().UserControl11.text("Nowhere");
    f().Command7_Click();
    f().Command3_Click();
    EXPECT_EQ(f().myCol->ItemCount(), count);
    EXPECT_EQ(PipeCount, 1);
    ASSERT_EQ(dialogs().Messages().size(), 2u);
    EXPECT_NE(dialogs().Messages()[0].prompt.find("Nowhere"), std::string::npos);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, AddSewerBesideTheListsNamesAfterTheLateral) {
    PipeCount = 4;
    model::Sewer at;
    SnapshotAtRefresh("Lateral1 5", at);
    f().Command3_Click();
    ASSERT_TRUE(Rec("Lateral1 5"));
    const model::Sewer* s = &at;
    EXPECT_FLOAT_EQ(s->x1, 300);
    EXPECT_FLOAT_EQ(s->felv, 102);
    EXPECT_FLOAT_EQ(s->telv, 100);
    EXPECT_FLOAT_EQ(s->finv, 96);
    EXPECT_FLOAT_EQ(s->tinv, 99);
    EXPECT_EQ(s->dia, 200);
    EXPECT_FLOAT_EQ(s->qd, 10);
    EXPECT_FLOAT_EQ(s->y1, 10);
    EXPECT_EQ(s->Index, 5);
    EXPECT_EQ(PipeCount, 5);
    // The new pipe is chosen in the pipe list.
    EXPECT_EQ(f().List2.Text(), "Lateral1 5");
    EXPECT_EQ(f().CurrentPipeKey, "Lateral1 5");
    EXPECT_EQ(f().CurrentPipeIndex, 1);
    // A running number far beyond 16 bits still gives the right position.
    PipeCount = 40000;
    f().Command3_Click();
    auto big = Rec("Lateral1 40001");
    ASSERT_TRUE(big);
    EXPECT_FLOAT_EQ(big->x1, 50.0f * 40001 + 50);
}

TEST_F(Form1Test, AddLateralCommandsTakeTheNextFreeNumber) {
    // "ADD Lateral": the first number not in use.
    f().myCol->AddItem(NewNodeValueArray(), "ObjLateral3", vb::Variant(std::string()), 2);
    LateralCount = 3;
    // A pipe of Lateral1 is marked; the new lateral leaves no mark behind
    // (by itself: the laterals' strip, whose choice clears the marks too, is
    // kept from reacting).
    f().Command7_Click();
    f().Command7_Click();
    f().List2.ListIndex(1);
    ASSERT_EQ(MarkedTabs(f().UserControl12), std::vector<int>{2});
    const auto tabSelect = f().UserControl11.TabSelect;
    f().UserControl11.TabSelect = nullptr;
    f().Command6_Click();
    f().UserControl11.TabSelect = tabSelect;
    EXPECT_TRUE(MarkedTabs(f().UserControl12).empty());
    auto l2 = Rec("Lateral2");
    ASSERT_TRUE(l2);
    EXPECT_EQ(l2->dia, 200);
    EXPECT_FLOAT_EQ(l2->slope, 0.004f);
    EXPECT_EQ(f().AddedLateralRecord, l2);
    EXPECT_EQ(f().CurrentPipeKey, "Lateral2");
    EXPECT_EQ(f().List1.Text(), "Lateral2");
    EXPECT_EQ(CurrentLateralName, "Lateral2");
    EXPECT_EQ(RunCount, 0);
    // "Add Lateral" after the counter was reset (as a reload does): the name in
    // use is skipped.
    LateralCount = 0;
    f().Command4_Click();
    EXPECT_TRUE(Rec("Lateral4"));
    EXPECT_EQ(LateralCount, 4);
    EXPECT_EQ(f().List1.Text(), "Lateral4");
    // "Add Sheet".
    f().Command5_Click();
    f().Command5_Click();
    EXPECT_TRUE(Rec("Sheet1"));
    EXPECT_TRUE(Rec("Sheet2"));
    EXPECT_EQ(SheetCount, 2);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
    EXPECT_TRUE(dialogs().Messages().empty());
}

TEST_F(Form1Test, ChoosingLateralsAndPipes) {
    f().Command7_Click();
    f().Command7_Click();
    f().Command7_Click();
    // A second lateral with a pipe of a long name.
    f().Command6_Click();
    const std::string lateral2 = CurrentLateralName;
    ASSERT_FALSE(lateral2.empty());
    f().Command7_Click();
    auto longPipe = Rec("Se 5");
    ASSERT_TRUE(longPipe);

    // Choosing the first lateral in the list rebuilds the run in child order.
    f().List1.ListIndex(0);
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    ASSERT_EQ(RunCount, 3);
    for (int i = 1; i <= 3; ++i) {
        auto s = NodeRecordByIndex(f().myCol.get(), CurrentRun[i].NodeIndex);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->Name, "Se " + std::to_string(i + 1));
    }
    EXPECT_EQ(f().List2.ListCount(), 3);
    EXPECT_EQ(TabCaptions(f().UserControl12).size(), 3u);
    // The second pipe of the list: position 2, only its tab marked.
    f().List2.ListIndex(1);
    EXPECT_EQ(f().CurrentPipeIndex, 2);
    EXPECT_EQ(f().CurrentPipeKey, "Se 3");
    EXPECT_EQ(MarkedTabs(f().UserControl12), std::vector<int>{2});
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 3");

    // A long pipe name is cut to 20 characters in the run only.
    longPipe->Name = "A pipe name of 25 chars.";
    longPipe->Name += "x";
    f().latseupdate(lateral2);
    ASSERT_EQ(RunCount, 1);
    EXPECT_EQ(CurrentRun[1].PipeName, longPipe->Name.substr(0, 20));
    EXPECT_EQ(f().List2.List(0), longPipe->Name);
    EXPECT_EQ(TabCaptions(f().UserControl12), std::vector<std::string>{longPipe->Name});

    // A lateral without pipes gives an empty run, list and strip.
    f().latseupdate("Diameter5");
    EXPECT_EQ(RunCount, 0);
    EXPECT_EQ(f().List2.ListCount(), 0);
    EXPECT_TRUE(TabCaptions(f().UserControl12).empty());

    // Choosing a lateral on the laterals' strip.
    f().UserControl11.text("Lateral1");
    int32_t index = 1;
    f().UserControl11_TabSelect(index);
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(RunCount, 3);
    EXPECT_EQ(f().CurrentPipeIndex, 1);
    EXPECT_EQ(f().CurrentPipeKey, "Se 2");
    EXPECT_TRUE(MarkedTabs(f().UserControl12).empty());
}

TEST_F(Form1Test, PendingRemovalOfALateral) {
    f().Command7_Click();
    f().Command7_Click();
    f().Command6_Click();   // Lateral2, no pipes
    f().Command7_Click();   // one pipe on Lateral2
    // A lower-case top-level name is not a lateral for the strip.
    auto odd = std::make_shared<model::Sewer>();
    odd->Name = "lateralX";
    vb::Variant v = NewNodeValueArray();
    v.SetElement(3, vb::Variant(std::static_pointer_cast<vb::Object>(odd)));
    f().myCol->AddItem(v, "ObjlateralX", vb::Variant(std::string()), 2);

    // Lateral1 is current; its removal renumbers nodes.
    f().List1.ListIndex(0);
    ASSERT_EQ(CurrentLateralName, "Lateral1");
    const int32_t before = f().myCol->ItemCount();
    f().MM1.Tag("-Lateral1");
    f().Form_Click();
    EXPECT_EQ(f().myCol->ItemCount(), before - 3);
    EXPECT_FALSE(Rec("Lateral1"));
    EXPECT_FALSE(Rec("Se 2"));
    EXPECT_EQ(TabCaptions(f().UserControl11), std::vector<std::string>{"Lateral2"});
    EXPECT_EQ(CurrentLateralName, "Lateral2");
    EXPECT_EQ(f().MM1.Tag(), "");
    // The laterals' list follows the strip, with the current lateral chosen.
    ASSERT_EQ(f().List1.ListCount(), 1);
    EXPECT_EQ(f().List1.List(0), "Lateral2");
    EXPECT_EQ(f().List1.Text(), "Lateral2");
    // The run was rebuilt: it follows the remaining lateral's valid nodes.
    ASSERT_EQ(RunCount, 1);
    auto s = NodeRecordByIndex(f().myCol.get(), CurrentRun[1].NodeIndex);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->Name, vb::Trim(CurrentRun[1].PipeName));
    EXPECT_EQ(s->lat, "Lateral2");

    // A removal whose node is missing changes nothing, draws nothing (the
    // picture keeps what it had) and is dropped.
    const int32_t count = f().myCol->ItemCount();
    f().Picture1.Line(1, 1, 2, 2);
    const size_t drawn = f().Picture1.DrawLog().size();
    ASSERT_GT(drawn, 0u);
    f().MM1.Tag("-NoSuchLateral");
    f().Form_Click();
    EXPECT_EQ(f().myCol->ItemCount(), count);
    EXPECT_EQ(f().MM1.Tag(), "");
    EXPECT_EQ(f().Picture1.DrawLog().size(), drawn);
    // The next refresh draws again.
    f().Form_Click();
    EXPECT_NE(f().Picture1.DrawLog().size(), drawn);
    // A tag without "-" only refreshes.
    f().MM1.Tag("Lateral2");
    f().Form_Click();
    EXPECT_EQ(f().myCol->ItemCount(), count);
    EXPECT_EQ(f().MM1.Tag(), "Lateral2");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, RemovalListsLateralsInTreeOrder) {
    f().Command6_Click();   // Lateral2, after all pipe-size rows
    f().MM1.Tag("-Diameter3");
    f().Form_Click();
    EXPECT_EQ(TabCaptions(f().UserControl11), (std::vector<std::string>{"Lateral1", "Lateral2"}));
    EXPECT_EQ(CurrentLateralName, "Lateral2");
    ASSERT_EQ(f().List1.ListCount(), 2);
    EXPECT_EQ(f().List1.List(0) + "|" + f().List1.Text(), "Lateral1|Lateral2");
}

// The pipe list's focus titles the pipe grid's first rows for the profile
// rows; whether the focus comes before the list's Click, after it, or with
// no Click at all (the entry already chosen), the grid ends with the pipe's
// own titles and values, and an edit left in it reaches the pipe.
TEST_F(Form1Test, PipeListFocusLeavesThePipeGridTitled) {
    for (int i = 0; i < 3; ++i) f().Command7_Click();
    f().List1.ListIndex(0);
    auto titled = [&](const std::string& pipe) {
        auto& g = f().MSHFlexGrid2;
        return g.TextMatrix(0, 0) + "|" + g.TextMatrix(1, 0) + "|" + g.TextMatrix(2, 0) + "|" + g.TextMatrix(3, 0) +
               "|" + g.TextMatrix(2, 1) == pipe + "|Qdesign|Diameter|Slope|" + std::to_string(Rec(pipe)->dia);
    };
    f().List2_GotFocus();
    f().List2.ListIndex(1);
    EXPECT_TRUE(titled("Se 3"));
    f().List2.ListIndex(2);
    f().List2_GotFocus();
    EXPECT_TRUE(titled("Se 4"));
    f().List2_LostFocus();
    f().List2_GotFocus();   // a click on the entry already chosen
    EXPECT_TRUE(titled("Se 4"));

    f().MSHFlexGrid2.Row(2);
    f().MSHFlexGrid2.Col(1);
    f().MSHFlexGrid2_Click();
    f().txtEdit.Text("300");
    f().List2_GotFocus();
    EXPECT_EQ(Rec("Se 4")->dia, 300);
    EXPECT_TRUE(titled("Se 4"));
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, AddToListWritesTheLateralText) {
    f().txt_script.Text("note");
    f().Command2_Click();
    EXPECT_EQ(Rec("Lateral1")->lat, "note");
}

TEST_F(Form1Test, RemovingAndMovingThePipeListsEntries) {
    // "Grp" with children X0..X3 and "Dest" with D0 and D1; the pipe list's
    // text names the parent, its selected position the child.
    auto add = [&](const std::string& name, const std::string& parent) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = name;
        AddRecordNode(*f().myCol, s, parent);
    };
    add("Grp", "");
    add("Dest", "");
    for (int i = 0; i < 4; ++i) add("X" + std::to_string(i), "ObjGrp");
    add("D0", "ObjDest");
    add("D1", "ObjDest");
    auto children = [&](const std::string& parent) {
        std::vector<std::string> out;
        auto& col = *f().myCol;
        for (int32_t n = col.FirstChild(vb::Variant("Obj" + parent)); n != 0; n = col.NextSibling(vb::Variant(n)))
            out.push_back(NodeRecordByIndex(&col, n)->Name);
        return out;
    };
    auto topLevel = [&](const std::string& name) {
        const auto keys = TopLevelKeys();
        return std::find(keys.begin(), keys.end(), "Obj" + name) != keys.end();
    };
    auto choose = [&](std::vector<std::string> items, int selected) {
        f().List2.Clear();
        for (const auto& item : items) f().List2.AddItem(item);
        f().List2.Selected(selected, true);
    };

    // One entry of several selected: the child at its position goes.
    choose({"a", "Grp", "c"}, 1);
    f().RemoveSelectedChildren();
    EXPECT_EQ(children("Grp"), (std::vector<std::string>{"X0", "X2", "X3"}));
    // Moving: the child at the selected position becomes the first node of
    // the target's level.
    choose({"a", "b", "Grp"}, 2);
    f().MoveSelectedNodes("Dest");
    EXPECT_EQ(children("Grp"), (std::vector<std::string>{"X0", "X2"}));
    EXPECT_EQ(TopLevelKeys().front(), "ObjX3");
    // Every entry selected: all the children go, or all move.
    choose({"Grp"}, 0);
    f().RemoveSelectedChildren();
    EXPECT_TRUE(children("Grp").empty());
    EXPECT_FALSE(Rec("X0"));
    EXPECT_TRUE(Rec("Grp"));
    choose({"Dest"}, 0);
    f().MoveSelectedNodes("Grp");
    EXPECT_TRUE(children("Dest").empty());
    EXPECT_TRUE(topLevel("D0") && topLevel("D1"));

    // Deleting: flag 0 removes the selected node and relists the laterals;
    // any other flag builds the default network again.
    f().Command4_Click();
    const std::string added = f().List1.Text();
    ASSERT_TRUE(Rec(added));
    choose({added}, 0);
    f().DeleteSelectedNode(0);
    EXPECT_FALSE(Rec(added));
    EXPECT_TRUE(Rec("Grp"));
    for (int i = 0; i < f().List1.ListCount(); ++i) EXPECT_NE(f().List1.List(i), added);
    f().DeleteSelectedNode(1);
    EXPECT_FALSE(Rec("Grp"));
    EXPECT_EQ(TopLevelKeys().size(), 17u);   // "Sewer", a lateral, fifteen pipe sizes
    EXPECT_EQ(TopLevelKeys().front(), "ObjSewer");
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

// A lateral removed through its tab's pop-up takes its pipes off the pipe
// grid and the profile: the grid never names a removed pipe nor keeps its
// values, and with no pipe left to draw no edit handle stays on the profile.
TEST_F(Form1Test, RemovedLateralLeavesNoPipeOnTheGridOrProfile) {
    f().Form_Activate();
    for (int i = 0; i < 3; ++i) f().Command7_Click();   // Se 1 to Se 3 on Lateral1
    f().Command6_Click();
    for (int i = 0; i < 2; ++i) f().Command7_Click();   // Se 4, Se 5 on Lateral2
    f().Command6_Click();
    f().Command7_Click();                               // Se 6 on Lateral3
    ASSERT_TRUE(Rec("Se 6"));

    auto removeByPopup = [&](const std::string& lateral) {
        const auto& tabs = f().UserControl11.Tabs();
        const auto tab = std::find_if(tabs.begin(), tabs.end(), [&](const TabRecord& t) { return t.Caption == lateral; });
        ASSERT_NE(tab, tabs.end()) << lateral;
        dialogs().QueueMenuChoice("Remove");
        f().UserControl11.Picture10_MouseDown(vb::vbRightButton, 0, (tab->Left + tab->Right) / 2.0f * 15, 5 * 15);
        f().Picture1_MouseMove(0, 0, 40, 40);
        ASSERT_FALSE(Rec(lateral));
    };
    // "" when the grid is empty or shows a pipe of the network with its own
    // values (or, for a pipe chosen with no tab marked, none); else what is wrong.
    auto gridFault = [&]() -> std::string {
        auto& g = f().MSHFlexGrid2;
        const std::string name = g.TextMatrix(0, 0);
        std::string values;
        for (int r = 1; r <= 9; ++r) values += g.TextMatrix(r, 1);
        if (name.empty()) return values.empty() ? "" : "values without a pipe: " + values;
        auto s = Rec(name);
        if (!s) return "removed pipe " + name + " shown";
        if (!values.empty() && g.TextMatrix(2, 1) != std::to_string(s->dia)) return name + " shows other values";
        return "";
    };
    auto visibleHandles = [&] {
        int n = f().picfrom.Visible() + f().picfrom1.Visible();
        for (int i : f().PGR.Indices()) n += f().PGR(i).Visible();
        for (int i : f().pcover.Indices()) n += f().pcover(i).Visible();
        for (int i : f().plen.Indices()) n += f().plen(i).Visible();
        for (int i : f().VSlope.Indices()) n += f().VSlope(i).Visible();
        for (int i : f().Picdia.Indices()) n += f().Picdia(i).Visible();
        return n;
    };

    // Lateral2 chosen on the list: its first pipe named, no pipe marked.
    f().List1.ListIndex(1);
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 4");
    removeByPopup("Lateral2");
    EXPECT_EQ(CurrentLateralName, "Lateral3");
    EXPECT_EQ(gridFault(), "");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");

    // Se 6 chosen, then its lateral removed: the pick goes with it, and the
    // lateral that remains is shown with no pipe picked.
    f().List2.ListIndex(0);
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 6");
    ASSERT_GT(visibleHandles(), 0);
    removeByPopup("Lateral3");
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(gridFault(), "");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");
    EXPECT_EQ(visibleHandles(), 0);

    // The last lateral removed: nothing to draw, nothing on the grid, no
    // handle, no read-out.
    f().List2.ListIndex(1);
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se 2");
    removeByPopup("Lateral1");
    EXPECT_EQ(RunCount, 0);
    EXPECT_EQ(gridFault(), "");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "");
    EXPECT_EQ(visibleHandles(), 0);
    EXPECT_EQ(f().Label35.Caption(), "Vd= ");

    // The first pipe of an empty lateral takes the grid's values; from the
    // grid a removal left empty it still gets a bore and a length, never 0 mm
    // or 0 m.
    f().Command6_Click();
    const std::string empty = CurrentLateralName;
    f().Command6_Click();
    const std::string removed = CurrentLateralName;
    f().Command7_Click();
    f().List2.ListIndex(0);
    removeByPopup(removed);
    ASSERT_EQ(CurrentLateralName, empty);
    ASSERT_EQ(RunCount, 0);
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(2, 1), "");
    ASSERT_EQ(f().MSHFlexGrid2.TextMatrix(5, 1), "");
    f().Command7_Click();
    ASSERT_EQ(RunCount, 1);
    auto first = NodeRecordByIndex(f().myCol.get(), CurrentRun[1].NodeIndex);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->dia, 200);
    EXPECT_FLOAT_EQ(first->l, 50);
    EXPECT_FLOAT_EQ(first->qd, 0);   // a flow of 0 is a value the pipe may have
    EXPECT_EQ(dialogs().PendingAnswers(), 0u);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
