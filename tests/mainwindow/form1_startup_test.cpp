// Start-up of the main window: the default network, the lists and strips,
// the fields start-up sets, activation and the layout rule.
#include "tests/mainwindow/form1_fixture.h"

#include <cmath>

TEST_F(Form1Test, StartUpBuildsTheDefaultNetwork) {
    std::vector<std::string> expected = {"ObjSewer", "ObjLateral1"};
    for (int n = 2; n <= 16; ++n) expected.push_back("ObjDiameter" + std::to_string(n));
    EXPECT_EQ(TopLevelKeys(), expected);
    EXPECT_EQ(f().myCol->ItemCount(), 17);
    for (const std::string& key : expected) {
        auto s = NodeRecordByKey(f().myCol.get(), key);
        ASSERT_TRUE(s) << key;
        EXPECT_EQ(s->Index, 1001) << key;
        EXPECT_EQ("Obj" + s->Name, key);
    }
    EXPECT_EQ(LateralCount, 16);
    // The lateral carries the default pipe values and has no pipe.
    auto lat = Rec("Lateral1");
    EXPECT_EQ(lat->lat, "Lateral1");
    EXPECT_FLOAT_EQ(lat->qd, 10);
    EXPECT_EQ(lat->dia, 200);
    EXPECT_FLOAT_EQ(lat->felv, 102);
    EXPECT_FLOAT_EQ(lat->mincover, 2);
    EXPECT_FLOAT_EQ(lat->slope, 0.004f);
    EXPECT_FLOAT_EQ(lat->l, 50);
    EXPECT_EQ(f().myCol->FirstChild(vb::Variant("ObjLateral1")), 0);
    // Pipe-size rows: 150 to 500 in steps of 50, then 600 to 1200 by 100.
    const int dias[] = {150, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 900, 1000, 1100, 1200};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(Rec("Diameter" + std::to_string(i + 2))->dia, dias[i]);
    // The root holds empty elements 0 to 2; the others integers 0 and the lat.
    vb::Variant root = f().myCol->Item(vb::Variant("ObjSewer"));
    EXPECT_TRUE(root.Element(0).IsEmpty());
    vb::Variant row = f().myCol->Item(vb::Variant("ObjDiameter9"));
    EXPECT_EQ(row.Element(0).Type(), vb::vbInteger);
    EXPECT_EQ(vb::CStr(row.Element(2)), "Diameter9");
}

TEST_F(Form1Test, StartUpFillsListsStripsGridAndFields) {
    ASSERT_EQ(f().List1.ListCount(), 1);
    EXPECT_EQ(f().List1.List(0), "Lateral1");
    EXPECT_EQ(TabCaptions(f().UserControl11), std::vector<std::string>{"Lateral1"});
    EXPECT_EQ(f().UserControl11.text(), "Lateral1");
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_EQ(f().Label8.Caption(), "10");
    EXPECT_EQ(f().PanStep, 10);
    EXPECT_EQ(f().ElevScaleHeight, 10);
    EXPECT_EQ(f().ElevScaleExtension, 0);
    EXPECT_EQ(f().ElevScaleOffset, 2);
    EXPECT_EQ(DxfMode, 1);
    EXPECT_FLOAT_EQ(ProfileOffsetX, 50);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 100);
    EXPECT_DOUBLE_EQ(f().Picture1.ScaleWidth(), 160);
    EXPECT_DOUBLE_EQ(f().Picture1.ScaleHeight(), 150);
    EXPECT_DOUBLE_EQ(f().Picture2.ScaleWidth(), 160);
    EXPECT_EQ(CurrentRunPos, 1);
    // No lateral has been chosen with pipes: the run is empty.
    EXPECT_EQ(RunCount, 0);
    EXPECT_EQ(CurrentRun.size(), 2u);
    // The profile rows: 1 to 20 numbered and split over the two lists.
    for (int r = 1; r <= 20; ++r) EXPECT_EQ(ProfileRowTable[r].Id, r);
    EXPECT_EQ(f().List3.ListCount() + f().List4.ListCount(), 20);
    EXPECT_EQ(f().List4.ListIndex(), -1);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "zefprof.cfg"));
    // The pipe grid shows the lateral's own record.
    auto& g = f().MSHFlexGrid2;
    EXPECT_EQ(f().CurrentPipeKey, "Lateral1");
    EXPECT_EQ(g.TextMatrix(0, 0), "Lateral1");
    EXPECT_EQ(g.TextMatrix(0, 1), "From");
    EXPECT_EQ(g.TextMatrix(4, 0), "MinCover");
    EXPECT_EQ(g.TextMatrix(1, 1), "10");
    EXPECT_EQ(g.TextMatrix(2, 1), "200");
    EXPECT_EQ(g.TextMatrix(3, 1), "0.0040");
    EXPECT_EQ(g.TextMatrix(4, 1), "2.00");
    EXPECT_EQ(g.TextMatrix(5, 1), "50.00");
    EXPECT_EQ(g.TextMatrix(6, 1), "102.000");
    EXPECT_EQ(g.TextMatrix(7, 1), "");   // finv 0 shows empty
    // The second grid's editor lies over that grid's current cell.
    EXPECT_DOUBLE_EQ(f().TxtEdit1.Top(), f().MSHFlexGrid3.CellTop() + 100);
    EXPECT_DOUBLE_EQ(f().TxtEdit1.Left(), f().MSHFlexGrid3.CellLeft() + 100);
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(Form1Test, ActivationResetsTheRunningNumbers) {
    EXPECT_EQ(PipeCount, 1);
    CurrentRunPos = 5;
    f().Form_Activate();
    EXPECT_EQ(PipeCount, 0);
    EXPECT_EQ(CurrentRunPos, 1);
}

TEST_F(Form1Test, ResizeFollowsTheLayoutRule) {
    // Window sizes are whole pixels (15 twips): 5010 is the first width above
    // 5000, 4995 the last one below.  The rule's edges lie below the window's
    // smallest size, which is lifted here.
    f().MinimumSize(0, 0);
    auto apply = [&](double w, double h) {
        f().Move(0, 0, w, h);
        ASSERT_DOUBLE_EQ(f().Width(), w);
        f().Form_Resize();
    };
    apply(5010, 6000);
    EXPECT_DOUBLE_EQ(f().UserControl11.Width(), 510);
    EXPECT_DOUBLE_EQ(f().Frame10.Width(), 4610);
    EXPECT_DOUBLE_EQ(f().UserControl12.Width(), 110);
    EXPECT_DOUBLE_EQ(f().Frame10.Left(), 50);   // Frame1 is the 500-high tool strip
    EXPECT_DOUBLE_EQ(f().Frame10.Height(), 4000);
    EXPECT_DOUBLE_EQ(f().Command6.Top(), 4600);
    EXPECT_DOUBLE_EQ(f().UserControl11.Top(), 4600);
    EXPECT_DOUBLE_EQ(f().Command7.Top(), f().Frame10.Top() + 50);
    EXPECT_DOUBLE_EQ(f().Command7.Left(), 60);
    EXPECT_NEAR(f().UserControl12.Left(), f().Command7.Left() + f().Command7.Width() + 10, 15);
    EXPECT_DOUBLE_EQ(f().Picture1.Width(), 1610);
    EXPECT_DOUBLE_EQ(f().Picture1.Height(), 4000);
    // Below 5000 the strips keep their widths.
    apply(4995, 6000);
    EXPECT_DOUBLE_EQ(f().UserControl11.Width(), 510);
    EXPECT_DOUBLE_EQ(f().UserControl12.Width(), 110);
    EXPECT_DOUBLE_EQ(f().Picture1.Width(), 1595);
    // A frame not above 4000 wide leaves the profile's width alone.
    apply(4395, 6000);
    EXPECT_DOUBLE_EQ(f().Frame10.Width(), 3995);
    EXPECT_DOUBLE_EQ(f().Picture1.Width(), 1595);
    apply(4410, 6000);
    EXPECT_DOUBLE_EQ(f().Frame10.Width(), 4010);
    EXPECT_DOUBLE_EQ(f().Picture1.Width(), 1010);
    // The pipe panel stays right of the profile.
    apply(18000, 12600);
    EXPECT_DOUBLE_EQ(f().PipePanel.Left(), f().Picture1.Width() + 60);
    EXPECT_DOUBLE_EQ(f().Frame10.Height(), 10600);
}

TEST_F(Form1Test, DefaultLayoutKeepsThePanelControlsApartAndInside) {
    f().Move(0, 0, 18000, 12600);
    f().Form_Resize();
    struct Box {
        const char* name;
        vb::Control* c;
    };
    Form1& w = f();
    std::vector<Box> panel = {
        {"MSHFlexGrid2", &w.MSHFlexGrid2}, {"Label32", &w.Label32},   {"Label35", &w.Label35},
        {"Frame12", &w.Frame12},           {"Frame13", &w.Frame13},   {"List1", &w.List1},
        {"Command4", &w.Command4},         {"Command2", &w.Command2}, {"List2", &w.List2},
        {"List4", &w.List4},               {"List3", &w.List3},       {"Command16", &w.Command16},
        {"Command1", &w.Command1},         {"Command20", &w.Command20}, {"Command21", &w.Command21},
        {"RowsCaption", &w.RowsCaption},   {"HiddenRowsCaption", &w.HiddenRowsCaption},
    };
    auto overlap = [](vb::Control* a, vb::Control* b) {
        return a->Left() < b->Left() + b->Width() && b->Left() < a->Left() + a->Width() &&
               a->Top() < b->Top() + b->Height() && b->Top() < a->Top() + a->Height();
    };
    for (size_t i = 0; i < panel.size(); ++i) {
        vb::Control* c = panel[i].c;
        EXPECT_GE(c->Left(), 0) << panel[i].name;
        EXPECT_LE(c->Left() + c->Width(), w.PipePanel.Width()) << panel[i].name;
        EXPECT_LE(c->Top() + c->Height(), w.PipePanel.Height()) << panel[i].name;
        for (size_t j = i + 1; j < panel.size(); ++j) EXPECT_FALSE(overlap(c, panel[j].c)) << panel[i].name << " / " << panel[j].name;
    }
    // The pipe grid shows its ten rows and two columns whole.
    double rows = 0;
    for (int r = 0; r < 10; ++r) rows += w.MSHFlexGrid2.RowHeight(r);
    EXPECT_GE(w.MSHFlexGrid2.Height(), rows + 60);
    EXPECT_GE(w.MSHFlexGrid2.Width(), w.MSHFlexGrid2.ColWidth(0) + w.MSHFlexGrid2.ColWidth(1) + 60);
    // The script box and its button close the laterals' row inside the window.
    EXPECT_FALSE(overlap(&w.txt_script, &w.UserControl11));
    EXPECT_FALSE(overlap(&w.txt_script, &w.cmd_Run));
    EXPECT_DOUBLE_EQ(w.cmd_Run.Width(), Form1::RunButtonWidth);
    EXPECT_LE(w.cmd_Run.Left() + w.cmd_Run.Width(), w.Width() - 400);
}

TEST_F(Form1Test, TheWindowFitsTheScreenAndItsLayoutNeverGoesNegative) {
    Form1& w = f();
    // Opened inside the screen's available area, unless that is smaller than
    // the window's smallest size.
    const double areaW = vb::Screen.AvailableWidth(), areaH = vb::Screen.AvailableHeight();
    EXPECT_DOUBLE_EQ(w.Width(), std::max(Form1::MinWindowWidth, std::min(18000.0, areaW)));
    EXPECT_DOUBLE_EQ(w.Height(), std::max(w.MinWindowHeight(), std::min(12600.0, areaH)));
    EXPECT_GE(w.Left(), vb::Screen.AvailableLeft());
    EXPECT_GE(w.Top(), vb::Screen.AvailableTop());
    EXPECT_LT(w.MinWindowHeight(), 768 * 15 - 40 * 15);   // a 1024 x 768 screen with a task bar

    // It does not shrink below its smallest size, and there the bottom bar
    // stays below the profile frame and every control of the pipe panel
    // lies inside the panel, apart from the others, clear of the pipes' strip.
    w.Move(0, 0, 6000, 4500);
    EXPECT_DOUBLE_EQ(w.Width(), Form1::MinWindowWidth);
    EXPECT_DOUBLE_EQ(w.Height(), w.MinWindowHeight());
    w.Form_Resize();
    EXPECT_LE(w.Frame10.Top() + w.Frame10.Height(), w.Command6.Top());
    EXPECT_LE(w.PipePanel.Top() + w.PipePanel.Height(), w.Frame10.Height());
    EXPECT_GE(w.PipePanel.Top(), 0);
    EXPECT_LE(w.UserControl12.Left() + w.UserControl12.Width(), w.Frame10.Left() + w.PipePanel.Left());
    vb::Control* panel[] = {&w.MSHFlexGrid2, &w.Label35, &w.List1,    &w.Command2,  &w.List2,
                            &w.List4,        &w.Command20, &w.List3,  &w.Command21, &w.HiddenRowsCaption};
    for (size_t i = 0; i < std::size(panel); ++i) {
        vb::Control* c = panel[i];
        EXPECT_LE(c->Top() + c->Height(), w.PipePanel.Height()) << i;
        EXPECT_GE(c->Height(), 220) << i;
        for (size_t j = i + 1; j < std::size(panel); ++j) {
            vb::Control* d = panel[j];
            const bool apart = c->Left() + c->Width() <= d->Left() || d->Left() + d->Width() <= c->Left() ||
                               c->Top() + c->Height() <= d->Top() || d->Top() + d->Height() <= c->Top();
            EXPECT_TRUE(apart) << i << " " << j;
        }
    }

    // Below the smallest size (lifted here) the rule still sets no negative
    // size or position and raises nothing.
    w.MinimumSize(0, 0);
    for (double size : {3000.0, 900.0, 15.0}) {
        w.Move(0, 0, size, size);
        EXPECT_NO_THROW(w.Form_Resize()) << size;
        for (vb::Control* c : std::initializer_list<vb::Control*>{&w.Frame10, &w.Picture1, &w.Picture2, &w.Command6,
                                                                 &w.Command7, &w.UserControl11, &w.UserControl12,
                                                                 &w.PipePanel, &w.List3, &w.txt_script}) {
            EXPECT_GE(c->Width(), 0);
            EXPECT_GE(c->Height(), 0);
            EXPECT_GE(c->Top(), 0);
        }
    }
}

TEST_F(Form1Test, MaximisingMovesTheProfileDownUnlessTheToolStripIsItsUsualHeight) {
    Form1& w = f();
    vb::test::ShowAndActivate(w);
    ProfileOffsetY = 100;
    w.WindowState(vb::vbMaximized);
    w.Form_Resize();
    EXPECT_FLOAT_EQ(ProfileOffsetY, 100);   // the strip is 500 high: the branch is not taken
    w.WindowState(vb::vbNormal);
    w.Frame1.Height(600);
    w.WindowState(vb::vbMaximized);
    w.Form_Resize();
    EXPECT_FLOAT_EQ(ProfileOffsetY, 150);
    EXPECT_DOUBLE_EQ(w.Frame1.Height(), w.Height() - 1200);
    w.WindowState(vb::vbNormal);
    w.Form_Resize();
    EXPECT_FLOAT_EQ(ProfileOffsetY, 150);   // restoring keeps it
}

TEST_F(Form1Test, ToolStripFitsANarrowWindowWithItsButtonsInOrder) {
    // A window as wide as a 1024-pixel screen: every button of the strip
    // stays inside it, in order and without overlapping its neighbour.
    for (double width : {15360.0, 18000.0}) {
        f().Move(0, 0, width, 11000);
        f().Form_Resize();
        const std::vector<vb::Control*> strip = {&f().Command12, &f().Command22, &f().Command25, &f().Commandhazen,
                                                 &f().cmdSaveCollection(0), &f().Text1, &f().Addpic,
                                                 &f().Commandpic};
        for (size_t i = 1; i < strip.size(); ++i)
            EXPECT_GE(strip[i]->Left(), strip[i - 1]->Left() + strip[i - 1]->Width()) << width << " " << i;
        EXPECT_LE(f().Commandpic.Left() + f().Commandpic.Width(), f().Frame1.Width()) << width;
    }
    // A wide window keeps the buttons at their full widths.
    EXPECT_DOUBLE_EQ(f().Commandhazen.Width(), 1300);
    // A tiny one squeezes them to two thirds at most.
    f().Move(0, 0, 4000, 11000);
    f().Form_Resize();
    EXPECT_DOUBLE_EQ(f().Commandhazen.Width(), 1300 * 2.0 / 3.0);
}
