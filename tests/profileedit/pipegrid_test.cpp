// The pipe grid with its in-place editor, the partial-flow read-out and the
// second grid, on a real main window.
#include "tests/mainwindow/form1_fixture.h"

#include <array>

#include "profile/format.h"

namespace {

class PipeGridTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        // Two pipes on Lateral1; the first is chosen in the pipe list, so it
        // is the current pipe and the only marked tab.
        f().Command7_Click();
        f().Command7_Click();
        f().List2.ListIndex(0);
        pipe_ = Rec("Se 2");
        ASSERT_TRUE(pipe_);
        ASSERT_EQ(f().CurrentPipeKey, "Se 2");
        ASSERT_EQ(f().CurrentPipeIndex, 1);
    }
    vb::FlexGrid& g() { return f().MSHFlexGrid2; }
    // Opens the editor on a value row as a click on that cell does.
    void Open(int row) {
        g().Row(row);
        g().Col(1);
        f().MSHFlexGrid2_Click();
    }
    void Key(int code) {
        int shift = 0;
        f().txtEdit_KeyDown(code, shift);
        int ascii = code;
        if (code == vb::vbKeyReturn || code == vb::vbKeyEscape) f().txtEdit_KeyPress(ascii);
    }
    std::shared_ptr<model::Sewer> pipe_;
};

}  // namespace

TEST_F(PipeGridTest, EditorOpensOverTheCellAndMirrorsTyping) {
    Open(3);
    EXPECT_TRUE(f().txtEdit.Visible());
    EXPECT_EQ(f().EditRow, 3);
    EXPECT_EQ(f().PipeGridRow, 3);
    EXPECT_EQ(f().EditOldText, "0.0040");
    EXPECT_EQ(f().txtEdit.Text(), "0.0040");
    EXPECT_EQ(f().txtEdit.SelLength(), 6);
    EXPECT_DOUBLE_EQ(f().txtEdit.Top(), g().CellTop() + 230);
    EXPECT_DOUBLE_EQ(f().txtEdit.Left(), g().CellLeft() + 30);
    // The editor lands on the cell: the grid stands at (30, 230) in its panel.
    EXPECT_DOUBLE_EQ(f().txtEdit.Top(), g().Top() + g().CellTop());
    f().txtEdit.Text("0.00");
    EXPECT_EQ(g().TextMatrix(3, 1), "0.00");
}

TEST_F(PipeGridTest, EnterCommitsIntoTheMarkedPipeAndUpdatesTheReadOut) {
    Open(3);
    f().txtEdit.Text("0.006");
    Key(vb::vbKeyReturn);
    EXPECT_FALSE(f().txtEdit.Visible());
    EXPECT_FLOAT_EQ(pipe_->slope, 0.006f);
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0.39");
    // The upstream ground: the dependent levels are recomputed.
    pipe_->slope = 0.004f;
    pipe_->l = 50;
    pipe_->mincover = 2;
    pipe_->dia = 200;
    Open(6);
    f().txtEdit.Text("101.5");
    model::Sewer at;   // before the refresh's own levels pass
    SnapshotAtRefresh("Se 2", at);
    const int refreshes = f().Refreshes;
    Key(vb::vbKeyReturn);
    EXPECT_EQ(f().Refreshes, refreshes + 1);
    EXPECT_FLOAT_EQ(at.felv, 101.5f);
    EXPECT_FLOAT_EQ(at.telv, 101.3f);
    EXPECT_FLOAT_EQ(at.finv, 99.3f);
    EXPECT_FLOAT_EQ(at.tinv, 99.1f);
    EXPECT_FLOAT_EQ(pipe_->felv, 101.5f);
    // The other pipe is untouched.
    EXPECT_FLOAT_EQ(Rec("Se 3")->felv, 101.8f);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(PipeGridTest, EnterWithoutTypingCommitsTheStoredValueNotItsRounding) {
    // Values the grid shows rounded: Enter on them commits the stored value,
    // so the rounding never replaces it, and the row's work still runs.
    pipe_->slope = 0.00405f;
    pipe_->felv = 101.2345f;
    f().se_selupdate();
    f().Label32.Caption("");
    Open(3);
    int refreshes = f().Refreshes;
    Key(vb::vbKeyReturn);
    EXPECT_FALSE(f().txtEdit.Visible());
    EXPECT_FLOAT_EQ(pipe_->slope, 0.00405f);
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0.48");
    EXPECT_EQ(f().Refreshes, refreshes + 1);
    // The upstream ground: the dependent levels are recomputed from the
    // stored 101.2345, whatever they were.
    pipe_->telv = 50;
    Open(6);
    model::Sewer at;   // before the refresh's own levels pass
    SnapshotAtRefresh("Se 2", at);
    refreshes = f().Refreshes;
    Key(vb::vbKeyReturn);
    EXPECT_EQ(f().Refreshes, refreshes + 1);
    EXPECT_FLOAT_EQ(at.felv, 101.2345f);
    EXPECT_FLOAT_EQ(at.telv, 101.2345f - 0.00405f * 50);
    EXPECT_FLOAT_EQ(at.finv, 101.2345f - 2 - 0.2f);
    EXPECT_FLOAT_EQ(at.tinv, 101.2345f - 2 - 0.2f - 0.00405f * 50);
}

TEST_F(PipeGridTest, AfterTheRefreshTheGridAndReadOutShowWhatIsStored) {
    // The second pipe: the refresh's levels pass moves its inverts below the
    // ones the ground's own formula gives, and the grid must follow.
    f().List2.ListIndex(1);
    auto second = Rec("Se 3");
    ASSERT_EQ(f().CurrentPipeKey, "Se 3");
    Open(6);
    f().txtEdit.Text("103");
    model::Sewer at;
    SnapshotAtRefresh("Se 3", at);
    Key(vb::vbKeyReturn);
    ASSERT_NE(at.finv, second->finv);   // the levels pass did change them
    EXPECT_EQ(g().TextMatrix(7, 1), vb::CStr(FormatFixed(vb::Variant(second->finv), 3)));
    EXPECT_EQ(g().TextMatrix(9, 1), vb::CStr(FormatFixed(vb::Variant(second->tinv), 3)));
    EXPECT_EQ(g().TextMatrix(8, 1), vb::CStr(FormatFixed(vb::Variant(second->telv), 3)));

    // The read-out follows the pipe shown: a full pipe shows only its ratio,
    // one without slope shows nothing, and the first pipe its own figures.
    Rec("Se 2")->qd = 25;
    second->slope = 0;
    f().se_selupdate();
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=");
    EXPECT_EQ(f().Label34.Caption(), "Vful=");
    f().List2.ListIndex(0);
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=1.21");
    EXPECT_EQ(f().Label33.Caption(), "H/D= ");
    EXPECT_EQ(f().Label35.Caption(), "Vd= ");
    Rec("Se 2")->qd = 10;
    f().List2.ListIndex(1);
    f().List2.ListIndex(0);
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0.48");
    EXPECT_EQ(f().Label35.Caption(), "Vd= 0.66");
    // A key whose pipe is gone, or none: the cells keep the last pipe's
    // texts, but the read-out is not computed from them.
    for (const char* key : {"Gone", ""}) {
        f().CurrentPipeKey = key;
        f().se_selupdate();
        EXPECT_EQ(g().TextMatrix(2, 1), "200");
        EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=") << key;
        EXPECT_EQ(f().Label35.Caption(), "Vd= ") << key;
    }
}

TEST_F(PipeGridTest, RowsSixToNineGoIntoTheCurrentPipeAsTyped) {
    Open(7);
    f().txtEdit.Text("95.25");
    model::Sewer at;
    SnapshotAtRefresh("Se 2", at);
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(at.finv, 95.25f);
    // Without a current position nothing is stored directly and rows 1 to 6
    // still go to the marked pipe.
    f().CurrentPipeIndex = 0;
    const int refreshes = f().Refreshes;
    Open(8);
    f().txtEdit.Text("88");
    Key(vb::vbKeyReturn);
    EXPECT_NE(pipe_->telv, 88.0f);
    Open(1);
    f().txtEdit.Text("12");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(pipe_->qd, 12.0f);
    EXPECT_EQ(f().Refreshes, refreshes);   // no refresh without a current pipe
}

TEST_F(PipeGridTest, WithoutAMarkedTabOnlyRowsSixToNineAreStored) {
    // Clear every mark of the pipes' strip.
    vb::Variant marks = f().UserControl12.TABB();
    ASSERT_TRUE(marks.IsArray());
    for (int32_t i = marks.LBound(); i <= marks.UBound(); ++i) marks.SetElement(i, vb::Variant(int16_t{0}));
    f().UserControl12.TABB(marks);
    const float slope = pipe_->slope;
    Open(3);
    f().txtEdit.Text("0.009");
    Key(vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(pipe_->slope, slope);
    // The upstream invert goes straight into the current pipe, and the
    // window refreshes.
    Open(7);
    f().txtEdit.Text("93.5");
    model::Sewer at;
    SnapshotAtRefresh("Se 2", at);
    const int refreshes = f().Refreshes;
    Key(vb::vbKeyReturn);
    EXPECT_EQ(f().Refreshes, refreshes + 1);
    EXPECT_FLOAT_EQ(at.finv, 93.5f);
    EXPECT_FLOAT_EQ(at.slope, slope);
}

TEST_F(PipeGridTest, EscGivesTheOldTextBackAndStoresNothing) {
    Open(5);
    f().txtEdit.Text("77");
    EXPECT_EQ(g().TextMatrix(5, 1), "77");
    Key(vb::vbKeyEscape);
    EXPECT_FALSE(f().txtEdit.Visible());
    EXPECT_EQ(g().TextMatrix(5, 1), "50.00");
    EXPECT_FLOAT_EQ(pipe_->l, 50);
    // A later write-back does not store the abandoned text either.
    Open(4);
    EXPECT_FLOAT_EQ(pipe_->l, 50);
}

TEST_F(PipeGridTest, ArrowKeysMoveWithinTheValueColumnAndWriteTheRowBack) {
    Open(1);
    Key(vb::vbKeyUp);
    EXPECT_EQ(g().Row(), 1);
    Key(vb::vbKeyLeft);
    Key(vb::vbKeyRight);
    EXPECT_EQ(g().Col(), 1);
    Open(9);
    Key(vb::vbKeyDown);
    EXPECT_EQ(g().Row(), 9);
    // A typed value is written back when the editor moves on, without the
    // recomputation and the read-out of the commit.
    const std::string readout = f().Label32.Caption();
    const float telv = pipe_->telv;
    const int refreshes = f().Refreshes;
    Open(6);
    f().txtEdit.Text("105");
    Key(vb::vbKeyDown);
    EXPECT_EQ(f().Refreshes, refreshes);
    EXPECT_EQ(g().Row(), 7);
    EXPECT_TRUE(f().txtEdit.Visible());
    EXPECT_EQ(f().EditRow, 7);
    EXPECT_FLOAT_EQ(pipe_->felv, 105.0f);
    EXPECT_FLOAT_EQ(pipe_->telv, telv);
    EXPECT_EQ(f().Label32.Caption(), readout);
}

TEST_F(PipeGridTest, WriteBackNeverStoresTheDisplayRounding) {
    pipe_->slope = 0.00405f;
    pipe_->finv = 0;
    pipe_->telv = 100.12345f;
    f().se_selupdate();
    EXPECT_EQ(g().TextMatrix(7, 1), "");
    // Open on one row, move to others without typing: nothing changes.
    Open(3);
    Open(8);
    Open(2);
    f().updatedata(0, 1);
    EXPECT_FLOAT_EQ(pipe_->slope, 0.00405f);
    EXPECT_FLOAT_EQ(pipe_->telv, 100.12345f);
    EXPECT_FLOAT_EQ(pipe_->finv, 0);
    // Choosing another pipe commits only what was typed.
    Open(4);
    f().txtEdit.Text("1.75");
    f().List2.ListIndex(1);
    EXPECT_FLOAT_EQ(pipe_->mincover, 1.75f);
    EXPECT_FLOAT_EQ(pipe_->slope, 0.00405f);
    EXPECT_EQ(f().CurrentPipeKey, "Se 3");
}

TEST_F(PipeGridTest, LeavingForAnotherControlCommitsButAnotherCellDoesNot) {
    vb::test::ShowAndActivate(f());
    Open(6);
    vb::test::ProcessEvents();
    ASSERT_TRUE(f().txtEdit.HasFocus());
    const float telv = pipe_->telv;
    f().txtEdit.Text("103");
    // A click on another cell of the grid: the row is written back, but the
    // commit (with its recomputation) does not run.
    const int refreshes = f().Refreshes;
    // (The press is what moves the focus and the current cell.)
    vb::test::SendMouse(g(), vb::test::MouseAction::Down, 1, g().ColWidth(0) + 200, 900);
    vb::test::ProcessEvents();
    EXPECT_EQ(f().Refreshes, refreshes);
    EXPECT_NE(g().Row(), 6);
    EXPECT_FLOAT_EQ(pipe_->felv, 103.0f);
    EXPECT_FLOAT_EQ(pipe_->telv, telv);
    EXPECT_TRUE(f().txtEdit.Visible());
    // Leaving for another control commits as Enter does.
    Open(6);
    vb::test::ProcessEvents();
    f().txtEdit.Text("104");
    model::Sewer at;
    SnapshotAtRefresh("Se 2", at);
    f().List1.SetFocus();
    vb::test::ProcessEvents();
    EXPECT_FALSE(f().txtEdit.Visible());
    EXPECT_FLOAT_EQ(pipe_->felv, 104.0f);
    EXPECT_FLOAT_EQ(at.telv, 104.0f - 0.004f * 50);
    // Enter hides the editor and commits once: the focus going back to the
    // grid does not commit a second time.
    Open(1);
    vb::test::ProcessEvents();
    f().txtEdit.Text("11");
    vb::test::SendKey(f().txtEdit, vb::vbKeyReturn);
    vb::test::ProcessEvents();
    EXPECT_FALSE(f().txtEdit.Visible());
    EXPECT_FLOAT_EQ(pipe_->qd, 11.0f);
    pipe_->qd = 9;
    f().List1.SetFocus();
    vb::test::ProcessEvents();
    EXPECT_FLOAT_EQ(pipe_->qd, 9.0f);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(PipeGridTest, ReadOutCaptions) {
    auto set = [&](const char* q, const char* d, const char* s) {
        g().TextMatrix(1, 1, q);
        g().TextMatrix(2, 1, d);
        g().TextMatrix(3, 1, s);
        f().qrate();
    };
    set("10", "200", "0.004");
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0.48");
    EXPECT_EQ(f().Label33.Caption(), "H/D= 0.49");
    EXPECT_EQ(f().Label34.Caption(), "Vful=0.66");
    EXPECT_EQ(f().Label35.Caption(), "Vd= 0.66");
    // The ratio is rounded from 20.81499997 (held in single precision), not
    // from a value pushed over the half by single-precision arithmetic.
    set("317", "150", "0.01");
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=20.81");
    set("10", "200", "0.004");
    // An overloaded pipe changes only the ratio.
    set("25", "200", "0.004");
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=1.21");
    EXPECT_EQ(f().Label33.Caption(), "H/D= 0.49");
    EXPECT_EQ(f().Label35.Caption(), "Vd= 0.66");
    // No flow: the depth fit's value at 0.
    set("0", "200", "0.004");
    EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0");
    EXPECT_EQ(f().Label33.Caption(), "H/D= 0");
    EXPECT_EQ(f().Label34.Caption(), "Vful=0.66");
    EXPECT_EQ(f().Label35.Caption(), "Vd= 0");   // the velocity fit is below 0 there
    // Zero or missing slope and diameter, and a negative flow, leave every
    // caption as it was.
    for (auto args : {std::array<const char*, 3>{"10", "200", "0"}, std::array<const char*, 3>{"10", "", "0.004"},
                      std::array<const char*, 3>{"10", "200", "-0.01"}, std::array<const char*, 3>{"-5", "200", "0.004"},
                      std::array<const char*, 3>{"10", "abc", "x"}}) {
        set(args[0], args[1], args[2]);
        EXPECT_EQ(f().Label32.Caption(), "Qd/Qf=0");
        EXPECT_EQ(f().Label33.Caption(), "H/D= 0");
        EXPECT_EQ(f().Label34.Caption(), "Vful=0.66");
    }
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(PipeGridTest, SecondGridEditsTheLateralRecordAtTheNextClick) {
    auto& g3 = f().MSHFlexGrid3;
    auto lat = Rec("Lateral1");
    const char* titles[] = {"Qdesign", "Diameter", "Slope", "Mincover", "FGR.EL", "FInv.EL", "TGR.EL", "TInv.EL", "Length"};
    const char* values[] = {"10", "200", "0.004", "2", "102", "0", "0", "0", "50"};
    g3.TextMatrix(0, 0, "Lateral1");
    for (int r = 1; r <= 9; ++r) {
        g3.TextMatrix(r, 0, titles[r - 1]);
        g3.TextMatrix(r, 1, values[r - 1]);
    }
    CurrentLateralName = "other";
    g3.Row(3);
    g3.Col(1);
    f().MSHFlexGrid3_Click();
    EXPECT_EQ(CurrentLateralName, "Lateral1");
    EXPECT_TRUE(f().TxtEdit1.Visible());
    EXPECT_EQ(f().TxtEdit1.Text(), "0.004");
    EXPECT_DOUBLE_EQ(f().TxtEdit1.Top(), g3.CellTop() + 100);
    EXPECT_EQ(f().TxtEdit1.SelLength(), 5);
    // Typing shows at once; Enter only hides the editor.
    f().TxtEdit1.Text("0.007");
    EXPECT_EQ(g3.TextMatrix(3, 1), "0.007");
    int code = vb::vbKeyReturn, shift = 0;
    f().TxtEdit1_KeyDown(code, shift);
    EXPECT_FALSE(f().TxtEdit1.Visible());
    EXPECT_FLOAT_EQ(lat->slope, 0.004f);
    // The next click writes the row back, into the property its title names.
    g3.Row(9);
    f().MSHFlexGrid3_Click();
    EXPECT_FLOAT_EQ(lat->slope, 0.007f);
    EXPECT_FLOAT_EQ(lat->l, 50);
    // Esc gives the cell its old text back.
    f().TxtEdit1.Text("75");
    code = vb::vbKeyEscape;
    f().TxtEdit1_KeyDown(code, shift);
    EXPECT_EQ(g3.TextMatrix(9, 1), "50");
    // Flow and cover rows are never written from this grid.
    g3.TextMatrix(1, 1, "99");
    g3.TextMatrix(4, 1, "9");
    g3.Row(1);
    f().MSHFlexGrid3_Click();
    g3.Row(4);
    f().MSHFlexGrid3_Click();
    EXPECT_FLOAT_EQ(lat->qd, 10);
    EXPECT_FLOAT_EQ(lat->mincover, 2);
    // A key on the grid itself reopens the editor without changing the cell.
    int ascii = 'a';
    f().MSHFlexGrid3_KeyPress(ascii);
    EXPECT_EQ(g3.TextMatrix(4, 1), "9");
    EXPECT_TRUE(f().TxtEdit1.Visible());
    // The pipe grid is not touched by any of it.
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(3, 1), "0.0040");
}

TEST_F(PipeGridTest, ValuesOutsideTheirRowsRangeAreRefused) {
    // Each refusal names the row, shows the stored value again, stores
    // nothing and does not refresh.
    const model::Sewer before = *pipe_;
    const struct {
        int row;
        const char* text;
        const char* shown;
    } refused[] = {{5, "0", "50.00"},   {5, "-5", "50.00"},    {5, "1e30", "50.00"}, {2, "0.4", "200"},
                   {2, "-200", "200"},  {1, "abc", "10"},      {3, "0,006", "0.0040"}, {4, "", "2.00"},
                   {6, "1e40", "102.000"}, {4, "-0.5", "2.00"}, {3, "1.5", "0.0040"},
                   // Just past each end of each row's range.
                   {1, "-0.5", "10"}, {1, "100001", "10"}, {2, "10001", "200"}, {3, "-1.5", "0.0040"},
                   {4, "101", "2.00"}, {5, "10001", "50.00"}, {6, "10001", "102.000"}, {6, "-10001", "102.000"}};
    for (const auto& c : refused) {
        Open(c.row);
        f().txtEdit.Text(c.text);
        const size_t messages = dialogs().Messages().size();
        const int refreshes = f().Refreshes;
        Key(vb::vbKeyReturn);
        ASSERT_EQ(dialogs().Messages().size(), messages + 1) << c.row << " " << c.text;
        const std::string& msg = dialogs().Messages().back().prompt;
        EXPECT_EQ(msg.rfind(g().TextMatrix(c.row, 0), 0), 0u) << msg;
        EXPECT_NE(msg.find(" to "), std::string::npos) << msg;
        EXPECT_EQ(g().TextMatrix(c.row, 1), c.shown) << c.text;
        EXPECT_EQ(f().Refreshes, refreshes) << c.text;
    }
    EXPECT_FLOAT_EQ(pipe_->qd, before.qd);
    EXPECT_EQ(pipe_->dia, before.dia);
    EXPECT_FLOAT_EQ(pipe_->slope, before.slope);
    EXPECT_FLOAT_EQ(pipe_->mincover, before.mincover);
    EXPECT_FLOAT_EQ(pipe_->l, before.l);
    EXPECT_FLOAT_EQ(pipe_->felv, before.felv);
    // Moving to another cell refuses it too.
    Open(5);
    f().txtEdit.Text("-3");
    Key(vb::vbKeyDown);
    EXPECT_FLOAT_EQ(pipe_->l, before.l);
    EXPECT_EQ(g().TextMatrix(5, 1), "50.00");

    // Values a pipe can have are taken: no slope, no cover, a level below
    // the datum, an invert of 0 (shown as an empty cell), the bounds
    // themselves.
    const size_t messages = dialogs().Messages().size();
    const struct {
        int row;
        const char* text;
    } accepted[] = {{3, "0"}, {4, "0"}, {5, "10000"}, {2, "10000"}, {7, "0"}, {6, "-12.5"}};
    for (const auto& c : accepted) {
        Open(c.row);
        f().txtEdit.Text(c.text);
        Key(vb::vbKeyReturn);
    }
    EXPECT_EQ(dialogs().Messages().size(), messages);
    EXPECT_FLOAT_EQ(pipe_->slope, 0);
    EXPECT_FLOAT_EQ(pipe_->mincover, 0);
    EXPECT_FLOAT_EQ(pipe_->l, 10000);
    EXPECT_EQ(pipe_->dia, 10000);
    EXPECT_FLOAT_EQ(pipe_->felv, -12.5f);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);

    // The second grid keeps the lateral's record in range as well.
    auto& g3 = f().MSHFlexGrid3;
    auto lat = Rec("Lateral1");
    const float latSlope = lat->slope;
    g3.TextMatrix(0, 0, "Lateral1");
    g3.TextMatrix(3, 1, "1e40");
    f().updatedata1(3, 1);
    EXPECT_FLOAT_EQ(lat->slope, latSlope);
}

TEST_F(PipeGridTest, AnEmptiedLevelCellIsRefusedAndAnEmptyShownZeroIsKept) {
    // Rows 7 to 9 show a stored 0 as an empty cell, but a cell the user
    // empties is no level: it is refused like any value outside the range,
    // whichever way the editor is left, and the profile keeps its levels.
    const model::Sewer before = *pipe_;
    ASSERT_NE(before.telv, 0);
    for (int row : {8, 7, 9}) {
        for (int key : {vb::vbKeyReturn, vb::vbKeyUp}) {
            const std::string shown = g().TextMatrix(row, 1);
            ASSERT_FALSE(shown.empty());
            Open(row);
            f().txtEdit.Text("");
            const size_t messages = dialogs().Messages().size();
            const int refreshes = f().Refreshes;
            Key(key);
            ASSERT_EQ(dialogs().Messages().size(), messages + 1) << row;
            EXPECT_EQ(dialogs().Messages().back().prompt,
                      g().TextMatrix(row, 0) + " must be a number from -10000 to 10000 m; the value is left as it was.");
            EXPECT_EQ(g().TextMatrix(row, 1), shown) << row;
            if (key == vb::vbKeyReturn) {
                EXPECT_EQ(f().Refreshes, refreshes) << row;
            }
            EXPECT_FLOAT_EQ(pipe_->telv, before.telv);
            EXPECT_FLOAT_EQ(pipe_->finv, before.finv);
            EXPECT_FLOAT_EQ(pipe_->tinv, before.tinv);
        }
    }
    // A stored 0 shown as an empty cell and left as shown commits the 0
    // without a word.
    pipe_->tinv = 0;
    f().se_selupdate();
    ASSERT_EQ(g().TextMatrix(9, 1), "");
    const size_t messages = dialogs().Messages().size();
    Open(9);
    model::Sewer at;
    SnapshotAtRefresh("Se 2", at);
    Key(vb::vbKeyReturn);
    EXPECT_EQ(dialogs().Messages().size(), messages);
    EXPECT_FLOAT_EQ(at.tinv, 0);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
