// The editable grid control on a real main window: its editor keys, the
// read-only rule, find, persistence, the two tables, the ground-level fill,
// and the Edit menu with its undo buffer and the system clipboard.
#include "tests/mainwindow/form1_fixture.h"

#include <tuple>

#include "controls/flex.h"
#include "platform/runtime/propertybag.h"
#include "profile/format.h"

namespace {

class FlexTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        flex_ = std::make_unique<FLEX>(f());
        flex_->Move(0, 0, 9000, 6000);
    }
    void TearDown() override {
        flex_.reset();
        Form1Test::TearDown();
    }
    FLEX& x() { return *flex_; }
    vb::FlexGrid& g() { return flex_->MSFlexGrid1; }
    void Click(int row, int col) {
        g().Row(row);
        g().Col(col);
        x().MSFlexGrid1_Click();
    }
    // Key-down, then key-up, as a key stroke in the editor gives them.
    void Key(int code, int shift = 0) {
        x().txtEdit_KeyDown(code, shift);
        x().txtEdit_KeyUp(code, shift);
    }
    void Type(int ascii) { x().txtEdit_KeyPress(ascii); }
    // Selects rows r0..r1 and columns c0..c1 from (r0, c0).
    void Select(int r0, int c0, int r1, int c1) {
        g().Row(r0);
        g().Col(c0);
        g().RowSel(r1);
        g().ColSel(c1);
    }
    std::unique_ptr<FLEX> flex_;
};

}  // namespace

TEST_F(FlexTest, EditorKeysMoveAndCommitByTheirRules) {
    x().mnuconfig();
    g().TextMatrix(2, 3, " 12 ");
    Click(2, 3);
    EXPECT_TRUE(x().txtEdit.Visible());
    EXPECT_EQ(x().txtEdit.Text(), "12");
    EXPECT_EQ(g().TextMatrix(2, 3), "12");   // stored back without its blanks
    EXPECT_DOUBLE_EQ(x().txtEdit.Left(), g().Left() + g().CellLeft());

    struct Case {
        int key, shift, caret;
        int row, col;   // where the editor stands afterwards
    };
    // From (2, 3) with the text "12" in the editor.
    const Case cases[] = {
        {vb::vbKeyLeft, 0, 1, 2, 3},    // caret inside: no move
        {vb::vbKeyLeft, 0, 0, 2, 2},    // caret at 0
        {vb::vbKeyLeft, 2, 1, 2, 2},    // Ctrl moves from anywhere
        {vb::vbKeyLeft, 3, 1, 2, 3},    // Ctrl+Shift needs the caret at 0
        {vb::vbKeyRight, 0, 1, 2, 3},   // caret not at the end
        {vb::vbKeyRight, 0, 2, 2, 4},
        {vb::vbKeyUp, 0, 0, 1, 3},
        {vb::vbKeyDown, 0, 0, 3, 3},
    };
    for (const Case& c : cases) {
        Click(2, 3);
        x().txtEdit.Text("12");
        x().txtEdit.SelStart(c.caret);
        Key(c.key, c.shift);
        EXPECT_EQ(g().Row(), c.row) << c.key << "/" << c.shift << "/" << c.caret;
        EXPECT_EQ(g().Col(), c.col) << c.key << "/" << c.shift << "/" << c.caret;
    }
    // Up on row 1 and Down on the second-to-last row do nothing.
    Click(1, 3);
    Key(vb::vbKeyUp);
    EXPECT_EQ(g().Row(), 1);
    Click(g().Rows() - 2, 3);
    Key(vb::vbKeyDown);
    EXPECT_EQ(g().Row(), g().Rows() - 2);

    // A move commits the typed text; Esc brings back the text of the placing.
    Click(2, 3);
    x().txtEdit.Text("7.5");
    Key(vb::vbKeyDown);
    EXPECT_EQ(g().TextMatrix(2, 3), "7.5");
    x().txtEdit.Text("99");
    Type(vb::vbKeyEscape);
    EXPECT_EQ(x().txtEdit.Text(), g().TextMatrix(3, 3));
    EXPECT_NE(g().TextMatrix(3, 3), "99");
    // Enter commits and moves right, except in the last column.
    x().txtEdit.Text("4");
    Type(vb::vbKeyReturn);
    EXPECT_EQ(g().TextMatrix(3, 3), "4");
    EXPECT_EQ(g().Col(), 4);
    Click(3, 15);
    x().txtEdit.Text("lost");
    Type(vb::vbKeyReturn);
    EXPECT_EQ(g().Col(), 15);
    EXPECT_EQ(g().TextMatrix(3, 15), "");

    // Rebuilding the table hides the editor; what it held reaches no cell of
    // the new table, whatever key follows.
    Click(5, 5);
    x().txtEdit.Text("zzz");
    x().mnuconfig();
    EXPECT_FALSE(x().txtEdit.Visible());
    Key(vb::vbKeyRight);
    Type(vb::vbKeyReturn);
    EXPECT_EQ(g().TextMatrix(0, 0), "");
    EXPECT_EQ(g().TextMatrix(0, 1), "Visible");
    EXPECT_NE(g().TextMatrix(5, 5), "zzz");
}

TEST_F(FlexTest, ProfileRowTableAndItsReadOnlyRows) {
    ProfileRowTable[4].Visible = false;
    ProfileRowTable[4].Style = "ROMANS";
    ProfileRowTable[4].TextHeight = 0.25f;
    ProfileRowTable[4].Color = 1e-5f;
    x().mnuconfig();
    EXPECT_EQ(x().Caption(), "CONFIG");
    EXPECT_EQ(g().Rows(), 21);
    EXPECT_EQ(g().Cols(), 16);
    EXPECT_EQ(g().TextMatrix(0, 0), "");
    EXPECT_EQ(g().TextMatrix(0, 6), "Style");
    EXPECT_EQ(g().TextMatrix(4, 0).size(), 20u);
    EXPECT_EQ(g().TextMatrix(4, 1), "False");
    EXPECT_EQ(g().TextMatrix(4, 4), "0.25");
    EXPECT_EQ(g().TextMatrix(4, 3), "1E-05");
    EXPECT_EQ(g().TextMatrix(4, 6), "ROMANS ");
    EXPECT_EQ(g().TextMatrix(4, 9), "");

    // Columns 2 and up of a False row open read-only on yellow...
    g().TextMatrix(4, 1, "false");
    Click(4, 3);
    EXPECT_FALSE(x().txtEdit.Enabled());
    EXPECT_EQ(x().txtEdit.BackColor(), AciColor(2));
    // ...column 1 opens white and flips at the next key release.
    Click(4, 1);
    EXPECT_TRUE(x().txtEdit.Enabled());
    EXPECT_EQ(x().txtEdit.BackColor(), AciColor(7));
    int space = vb::vbKeySpace, shift = 0;
    x().txtEdit_KeyUp(space, shift);
    EXPECT_EQ(g().TextMatrix(4, 1), "True");
    EXPECT_EQ(x().txtEdit.Text(), "True");
    x().txtEdit_DblClick();
    EXPECT_EQ(g().TextMatrix(4, 1), "False");
    Click(4, 3);
    EXPECT_FALSE(x().txtEdit.Enabled());
    // Nothing goes back into the profile rows.
    EXPECT_FALSE(ProfileRowTable[4].Visible);
}

TEST_F(FlexTest, FindSearchesTheCurrentColumnHeaderIncluded) {
    x().mnuconfig();
    g().TextMatrix(7, 5, "  abc ");
    g().Col(5);
    x().Text1.Text("ABC");
    x().Command10_Click();
    EXPECT_EQ(g().Row(), 7);
    EXPECT_TRUE(x().txtEdit.Visible());
    EXPECT_EQ(x().EditCellRow, 7);
    // The header row takes part; a header match leaves the editor where it was.
    x().Text1.Text("rotation");
    x().Command10_Click();
    EXPECT_EQ(g().Row(), 0);
    EXPECT_EQ(x().EditCellRow, 7);
    // No match: nothing changes.
    g().Row(3);
    x().Text1.Text("nowhere");
    x().Command10_Click();
    EXPECT_EQ(g().Row(), 3);
    // The initial single blank finds the first empty cell of the column.
    g().Col(9);
    x().Text1.Text(" ");
    x().Command10_Click();
    EXPECT_EQ(g().Row(), 0);
}

TEST_F(FlexTest, PropertiesPersistWithoutTheirDefaults) {
    vb::PropertyBag empty;
    x().WriteProperties(empty);
    vb::PropertyBag probe;
    probe.SetContents(empty.Contents());
    EXPECT_EQ(vb::CStr(probe.ReadProperty("Caption", vb::Variant("absent"))), "absent");

    x().Caption("SEWER");
    x().AutoRedraw(true);
    EXPECT_EQ(x().ChangedProperties().count("Caption"), 1u);
    vb::PropertyBag bag;
    x().WriteProperties(bag);
    FLEX other(f());
    vb::PropertyBag read;
    read.SetContents(bag.Contents());
    other.ReadProperties(read);
    EXPECT_EQ(other.Caption(), "SEWER");
    EXPECT_TRUE(other.AutoRedraw());
    EXPECT_TRUE(other.ActiveControl.IsNothing()) << other.ActiveControl.Type();
    EXPECT_FALSE(other.CanPropertyChange("Caption"));
}

TEST_F(FlexTest, SizingNeverGoesNegative) {
    vb::test::ShowAndActivate(f());
    x().Move(0, 0, 6000, 3000);
    vb::test::ProcessEvents();
    EXPECT_DOUBLE_EQ(g().Height(), 2500);
    EXPECT_DOUBLE_EQ(g().Width(), 5800);
    x().Resize1();
    EXPECT_DOUBLE_EQ(g().Width(), 5900);
    x().Move(0, 0, 90, 400);
    vb::test::ProcessEvents();
    EXPECT_DOUBLE_EQ(g().Height(), 0);
    EXPECT_DOUBLE_EQ(g().Width(), 0);
    g().Move(240, 480, 1234, 567);
    x().Resize1();
    EXPECT_DOUBLE_EQ(g().Width(), 1234);
    EXPECT_DOUBLE_EQ(g().Height(), 567);
}

TEST_F(FlexTest, PipeTableAndTheGroundLevelFill) {
    for (int i = 0; i < 3; ++i) f().Command7_Click();
    ASSERT_EQ(RunCount, 3);
    // Row 1: every column its own field, each holding a value of its own.
    {
        model::Sewer& s = *f().RunRecord(1);
        s.from = "MH7";
        s.tom = "MH8";
        std::tie(s.felv, s.telv, s.l, s.finv, s.tinv) = std::tuple(104.5f, 103.25f, 42.5f, 102.125f, 101.75f);
        s.dia = 375;
        s.slope = 0.0075f;
        std::tie(s.x1, s.y1, s.x2, s.y2) = std::tuple(11.5f, 22.5f, 33.5f, 44.5f);
    }
    f().RunRecord(2)->felv = 101.5f;
    vb::Variant maa = vb::Variant::MakeArray(vb::vbVariant, {{1, 3}});
    for (int i = 1; i <= 3; ++i) maa.SetElement(i, vb::Variant("Obj" + f().RunRecord(i)->Name));
    PipeCount = 4;
    RunCount = 2;
    x().mnusewer(vb::Variant(), maa);
    EXPECT_EQ(g().Rows(), 5);
    EXPECT_EQ(g().TextMatrix(0, 15), "15");
    {
        // Columns 1 to 13: from, tom, felv, telv, l, finv, tinv, dia, slope,
        // x1, y1, x2, y2; 14 and 15 stay empty.
        const char* row1[] = {"MH7", "MH8", "104.5", "103.25", "42.5", "102.125", "101.75", "375", "0.0075",
                              "11.5", "22.5", "33.5", "44.5", "", ""};
        for (int c = 1; c <= 15; ++c) EXPECT_EQ(g().TextMatrix(1, c), row1[c - 1]) << "column " << c;
    }
    EXPECT_EQ(g().TextMatrix(2, 3), "101.5");
    EXPECT_EQ(g().TextMatrix(2, 8), "200");
    EXPECT_EQ(g().TextMatrix(3, 1), "");
    EXPECT_EQ(g().TextMatrix(4, 0), "4");
    EXPECT_EQ(x().Caption(), "");

    // F6 only in "SEWER" mode: row 2 starts at MH1, rows 1 and 3 end there,
    // row 4 ends at mh1.
    const char* table[][4] = {{"A", "MH1", "", "1"}, {"MH1", "B", "55.5", "2"}, {"C", "MH1", "", "3"},
                              {"D", "mh1", "", "4"}};
    for (int r = 1; r <= 4; ++r)
        for (int c = 1; c <= 4; ++c) g().TextMatrix(r, c, table[r - 1][c - 1]);
    Click(1, 1);
    for (const char* mode : {"sewer", "CONFIG"}) {
        x().Caption(mode);
        Key(vb::vbKeyF6);
        EXPECT_EQ(g().TextMatrix(1, 4), "1");
    }
    x().Caption("SEWER");
    Key(vb::vbKeyF6);
    EXPECT_EQ(g().TextMatrix(1, 4), "55.5");
    EXPECT_EQ(g().TextMatrix(3, 4), "55.5");
    EXPECT_EQ(g().TextMatrix(4, 4), "4");
    EXPECT_EQ(g().TextMatrix(2, 4), "2");

    // Over a table shorter than PipeCount the fill stays inside the grid.
    x().mnuconfig();
    x().Caption("SEWER");
    PipeCount = 500;
    Click(1, 1);
    Key(vb::vbKeyF6);
    EXPECT_EQ(g().Rows(), 21);

    // With no pipe counted the table is its header row alone.
    PipeCount = 0;
    x().mnusewer(vb::Variant(), maa);
    EXPECT_EQ(g().Rows(), 1);

    // A pipe that names no node is reported, not read.
    maa.SetElement(1, vb::Variant("ObjNoSuchPipe"));
    PipeCount = 3;
    EXPECT_THROW(x().mnusewer(vb::Variant(), maa), vb::VbError);
}

TEST_F(FlexTest, CutsUndosAndTheirLimitOfTen) {
    x().mnuconfig();
    for (int i = 1; i <= 11; ++i) g().TextMatrix(i, 2, "v" + std::to_string(i));
    for (int i = 1; i <= 11; ++i) {
        Select(i, 2, i, 2);
        x().mnueditcut_Click();
    }
    EXPECT_EQ(x().UndoBuffer.size(), 11u);   // entry 0 and ten records
    g().Row(15);
    g().Col(6);
    for (int i = 0; i < 11; ++i) x().mnueditundo_Click();
    // The ten newest come back, the first cut does not.
    EXPECT_EQ(g().TextMatrix(1, 2), "");
    for (int i = 2; i <= 11; ++i) EXPECT_EQ(g().TextMatrix(i, 2), "v" + std::to_string(i));
    EXPECT_EQ(g().Row(), 15);
    EXPECT_EQ(g().Col(), 6);

    // Delete of a range selected from the lower right, then Undo.
    Select(6, 4, 3, 2);
    x().mnueditdelete_Click();
    for (int r = 3; r <= 6; ++r)
        for (int c = 2; c <= 4; ++c) EXPECT_EQ(g().TextMatrix(r, c), "") << r << "," << c;
    x().mnueditundo_Click();
    EXPECT_EQ(g().TextMatrix(6, 2), "v6");
    EXPECT_EQ(g().TextMatrix(3, 4), vb::SingleToText(ProfileRowTable[3].TextHeight));

    // A record whose rows a removal took away is kept and changes nothing.
    Select(20, 2, 20, 3);
    x().mnueditdelete_Click();
    g().Row(20);
    x().mnueditdelrow_Click();
    EXPECT_EQ(g().Rows(), 20);
    const size_t kept = x().UndoBuffer.size();
    x().mnueditundo_Click();
    EXPECT_EQ(x().UndoBuffer.size(), kept);
    EXPECT_EQ(g().Rows(), 20);
}

TEST_F(FlexTest, CopyAndPasteThroughTheSystemClipboard) {
    x().mnuconfig();
    g().TextMatrix(2, 2, "a");
    g().TextMatrix(2, 3, "b");
    g().TextMatrix(3, 2, "c");
    g().TextMatrix(3, 3, "d");
    Select(2, 2, 3, 3);
    x().mnueditcopy_Click();
    EXPECT_EQ(vb::Clipboard.GetText(), "Copya\tb\rc\td");

    // A block two columns wide pasted at the last column keeps its first.
    Select(10, 15, 10, 15);
    x().mnueditpaste_Click();
    EXPECT_EQ(g().TextMatrix(10, 15), "a");
    EXPECT_EQ(g().TextMatrix(11, 15), "c");
    x().mnueditundo_Click();
    EXPECT_EQ(g().TextMatrix(10, 15), "");
    EXPECT_EQ(g().TextMatrix(11, 15), "");

    // Text from another program: CR LF line ends and a trailing line end go
    // into the user's own selection.
    vb::Clipboard.SetText("1\t2\r\n3\t4\r\n");
    Select(5, 9, 6, 10);
    x().mnueditpaste_Click();
    EXPECT_EQ(g().TextMatrix(5, 9), "1");
    EXPECT_EQ(g().TextMatrix(5, 10), "2");
    EXPECT_EQ(g().TextMatrix(6, 9), "3");
    EXPECT_EQ(g().TextMatrix(6, 10), "4");

    // A copied column whose last cell is empty empties that cell too.
    g().TextMatrix(12, 2, "x");
    g().TextMatrix(13, 2, "");
    Select(12, 2, 13, 2);
    x().mnueditcopy_Click();
    Select(2, 5, 2, 5);
    x().mnueditpaste_Click();
    EXPECT_EQ(g().TextMatrix(2, 5), "x");
    EXPECT_EQ(g().TextMatrix(3, 5), "");
    // A range copied from its lower right reaches up and left from the
    // current cell, but not into the label column.
    const std::string label = g().TextMatrix(2, 0);
    Select(3, 3, 2, 2);
    x().mnueditcopy_Click();
    Select(2, 1, 2, 1);
    x().mnueditpaste_Click();
    EXPECT_EQ(g().TextMatrix(2, 0), label);
    EXPECT_EQ(g().TextMatrix(1, 1), "a");
    EXPECT_EQ(g().TextMatrix(2, 1), "c");

    // Insert on the last row appends a numbered row; remove keeps one row.
    g().Row(g().Rows() - 1);
    x().mnueditinsertrow_Click();
    EXPECT_EQ(g().Rows(), 22);
    EXPECT_EQ(g().TextMatrix(21, 0), "21");
    EXPECT_EQ(g().TextMatrix(1, 0), "1");
    // On the header row (where a find may leave the current cell) the
    // headers stay: an insert goes in below them, a removal does nothing.
    g().Row(0);
    x().mnueditinsertrow_Click();
    EXPECT_EQ(g().Rows(), 23);
    EXPECT_EQ(g().TextMatrix(0, 1), "Visible");
    EXPECT_EQ(g().TextMatrix(1, 1), "");
    g().Row(0);
    x().mnueditdelrow_Click();
    EXPECT_EQ(g().Rows(), 23);
    EXPECT_EQ(g().TextMatrix(0, 1), "Visible");
}
