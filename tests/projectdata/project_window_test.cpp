// The project window on a real main window: its two tables against the
// network's records, cell editing through the editors, the panels and the
// criteria pages.
#include "tests/mainwindow/form1_fixture.h"

#include <algorithm>
#include <tuple>

#include "projectdata/form3.h"
#include "projectdata/pipe_size_table.h"

namespace {

class ProjectWindowTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        w_ = std::make_unique<Form3>();
        vb::test::ShowAndActivate(*w_);
    }
    Form3& w() { return *w_; }

    // A pipe whose levels and names follow from its name, length and ground.
    void AddPipe(const std::string& parentKey, const std::string& name, float l, float felv, int16_t dia) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = name;
        s->from = "MH-" + name;
        s->tom = "MH+" + name;
        std::tie(s->l, s->felv, s->telv, s->finv, s->tinv) = std::tuple(l, felv, felv - 0.5f, felv - 2.25f, felv - 2.75f);
        s->dia = dia;
        s->slope = 0.0125f;
        AddRecordNode(*f().myCol, s, parentKey);
    }
    // Two laterals: Lateral1 with Se1, Se2, then a sheet-like child and Se9
    // (not listed: the walk of a lateral stops at the first child whose name
    // does not begin with "Se"); Lateral2 with Se3.
    void TwoLaterals() {
        AddPipe("ObjLateral1", "Se1", 40, 101.5f, 200);
        AddPipe("ObjLateral1", "Se2", 62.25f, 100, 250);
        AddPipe("ObjLateral1", "Sheet7", 1, 1, 1);
        AddPipe("ObjLateral1", "Se9", 1, 1, 1);
        auto lateral2 = std::make_shared<model::Sewer>();
        lateral2->Name = "Lateral2";
        AddRecordNode(*f().myCol, lateral2, {});
        AddPipe("ObjLateral2", "Se3", 12.5f, 98, 300);
    }
    // The right end of the profile's lines on the first picture.
    double ProfileEnd() {
        double x = 0;
        for (const auto& e : f().Picture1.DrawLog()) {
            if (e.kind == vb::DrawEntry::Kind::Line) x = std::max({x, e.x1, e.x2});
        }
        return x;
    }
    // A grid row's cells joined by "|".
    std::string Row(vb::FlexGrid& g, int r) {
        std::string out;
        for (int c = 0; c < g.Cols(); ++c) out += (c ? "|" : "") + g.TextMatrix(r, c);
        return out;
    }
    // Places a table's editor on a cell as a click on it does.
    void Click(vb::FlexGrid& g, int row, int col) {
        g.Row(row);
        g.Col(col);
        if (&g == &w().MSHFlexGrid1) w().MSHFlexGrid1_Click();
        else w().MSHFlexGrid2_Click();
    }
    // Types into the editor (its whole text is selected, so it is replaced)
    // and presses a key.
    void TypeKey(vb::TextBox& editor, const std::string& text, int key) {
        vb::test::SendText(editor, text);
        vb::test::SendKey(editor, key);
    }

    std::unique_ptr<Form3> w_;
};

}  // namespace

TEST_F(ProjectWindowTest, TablesOfTheDefaultNetwork) {
    w().Command1.Value(true);   // "Sewer"
    EXPECT_TRUE(w().Frame16.Visible());
    EXPECT_EQ(Row(w().MSHFlexGrid1, 0), "|Name|From|To|Length|GrF-El.|GrT-El|Inv-El|Inv-El|Dia|Slope");
    EXPECT_EQ(w().MSHFlexGrid1.Rows(), 1);   // the lateral has no pipe: headers only
    w().MSHFlexGrid1_Click();                // and no cell to edit
    EXPECT_FALSE(w().Text20.Visible());

    w().Command2.Value(true);   // "Diameter"
    EXPECT_FALSE(w().Frame16.Visible());   // the panels share one place
    auto& g = w().MSHFlexGrid2;
    ASSERT_EQ(g.Rows(), 16);
    EXPECT_EQ(Row(g, 0), "|Diameter|MinSlope|MaxVelocity|n Manning|Max H/D|Pipe Price|Piping Price|");
    const int dias[16] = {0, 150, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 900, 1000, 1100, 1200};
    for (int r = 1; r <= 15; ++r) {
        EXPECT_EQ(Row(g, r), std::to_string(r) + "|" + std::to_string(dias[r]) + "|0.004||||||");
        EXPECT_EQ(PipeSizeTable[r][0], dias[r]);
        EXPECT_FLOAT_EQ(PipeSizeTable[r][1], 0.004f);
        EXPECT_FLOAT_EQ(PipeSizeTable[r][8], 102.0f);   // the price takes felv
    }
    EXPECT_EQ(PipeSizeCount, 15);
}

TEST_F(ProjectWindowTest, PipeTableOfTwoLateralsCellByCell) {
    TwoLaterals();
    w().Command1_Click();
    auto& g = w().MSHFlexGrid1;
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(Row(g, 1), "1|Se1|MH-Se1|MH+Se1|40|101.5|101|99.25|98.75|200|0.0125");
    EXPECT_EQ(Row(g, 2), "2|Se2|MH-Se2|MH+Se2|62.25|100|99.5|97.75|97.25|250|0.0125");
    EXPECT_EQ(Row(g, 3), "3|Se3|MH-Se3|MH+Se3|12.5|98|97.5|95.75|95.25|300|0.0125");
    EXPECT_EQ(w().PipeTable.TableNodes.at(3), f().myCol->KeyToIndex("ObjSe3"));

    // "Sewer" again hides the table but still refills it.
    Rec("Se3")->l = 7;
    w().Command1_Click();
    EXPECT_FALSE(w().Frame16.Visible());
    EXPECT_EQ(g.TextMatrix(3, 4), "7");
}

TEST_F(ProjectWindowTest, MoreThanTwentySizesFillTheGridAndTheFirstTwentyRows) {
    for (int k = 0; k < 10; ++k) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = k == 0 ? "Dia" : "DiaX" + std::to_string(k);   // a node named "Dia" counts too
        s->dia = static_cast<int16_t>(1300 + 100 * k);
        // Each field a size row copies holds a value of its own.
        std::tie(s->slope, s->finv, s->felv, s->telv, s->ma2, s->ma1) = std::tuple(0.0031f, 0.65f, 123.5f, 77.0f, 4, 9);
        AddRecordNode(*f().myCol, s, {});
    }
    w().Command2_Click();
    EXPECT_EQ(w().MSHFlexGrid2.Rows(), 26);
    EXPECT_EQ(w().MSHFlexGrid2.TextMatrix(25, 1), "2200");
    EXPECT_EQ(Row(w().MSHFlexGrid2, 16), "16|1300|0.0031||||||");
    EXPECT_EQ(PipeSizeCount, 20);
    EXPECT_EQ(PipeSizeTable[20][0], 1700);
    // The row of "Dia": diameter, minimum slope, maximum velocity (ma2),
    // maximum h/D (finv), Manning's n (ma1) and price (felv); no other element.
    PipeSizeRow expected{};
    for (auto [element, value] : {std::pair<int, float>{0, 1300}, {1, 0.0031f}, {2, 4}, {3, 0.65f}, {4, 9}, {8, 123.5f}})
        expected[static_cast<size_t>(element)] = value;
    for (size_t e = 0; e < expected.size(); ++e) EXPECT_FLOAT_EQ(PipeSizeTable[16][e], expected[e]) << "element " << e;
}

TEST_F(ProjectWindowTest, EditingThePipeTableWithEnterArrowsAndEsc) {
    TwoLaterals();
    w().Command1_Click();
    auto& g = w().MSHFlexGrid1;
    auto& ed = w().Text20;
    auto se1 = Rec("Se1");
    auto se2 = Rec("Se2");

    Click(g, 1, 4);
    EXPECT_EQ(ed.SelLength(), 2);   // "40", all selected
    EXPECT_DOUBLE_EQ(ed.Top(), g.Top() + g.CellTop());
    // Typing shows in the cell at once; the pipe keeps its length until Enter.
    vb::test::SendText(ed, "55.5m");
    EXPECT_EQ(g.TextMatrix(1, 4), "55.5m");
    EXPECT_FLOAT_EQ(se1->l, 40);
    vb::test::SendKey(ed, vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(se1->l, 55.5f);   // the leading number of the text
    EXPECT_EQ(g.Col(), 5);            // Enter moves one cell to the right
    EXPECT_EQ(ed.Text(), "101.5");

    TypeKey(ed, "103", vb::vbKeyDown);   // writes the cell back and moves down
    EXPECT_FLOAT_EQ(se1->felv, 103);
    EXPECT_EQ(g.Row(), 2);

    // Esc gives the cell its text back and stores nothing; the editor stays.
    TypeKey(ed, "1", vb::vbKeyEscape);
    EXPECT_EQ(g.TextMatrix(2, 5), "100");
    EXPECT_FLOAT_EQ(se2->felv, 100);
    EXPECT_TRUE(g.HasFocus() && ed.Visible());

    // Up in the first row and Left in the first column do nothing at all;
    // Right writes the name.
    Click(g, 1, 1);
    TypeKey(ed, "Se 7", vb::vbKeyUp);
    vb::test::SendKey(ed, vb::vbKeyLeft);
    EXPECT_EQ(se1->Name, "Se1");
    EXPECT_EQ(g.Row() * 10 + g.Col(), 11);
    vb::test::SendKey(ed, vb::vbKeyRight);
    EXPECT_EQ(se1->Name, "Se 7");

    // "Dia" and "Slope" are stored as the pipe grid stores them (whole
    // millimetres), and the cells show the stored values; Enter in the last
    // column stays there.
    Click(g, 3, 9);
    TypeKey(ed, "500.5", vb::vbKeyRight);
    TypeKey(ed, "0.006m", vb::vbKeyReturn);
    EXPECT_EQ(g.Col(), 10);
    EXPECT_EQ(Row(g, 3), "3|Se3|MH-Se3|MH+Se3|12.5|98|97.5|95.75|95.25|500|0.006");
    EXPECT_EQ(ed.Text(), "0.006");
    EXPECT_EQ(Rec("Se3")->dia, 500);
    EXPECT_FLOAT_EQ(Rec("Se3")->slope, 0.006f);
    EXPECT_TRUE(dialogs().Messages().empty());

    // What the main window's grid refuses is refused here too, text without
    // a number as well: nothing is stored, the cell shows the stored value
    // again and the editor stays on it.
    const std::tuple<int, int, std::string, std::string> refused[] = {
        {3, 4, "-5", "Length must be a number from 0.01 to 10000 m; the value stays 12.5."},
        {2, 8, "abc", "Inv-El must be a number from -10000 to 10000 m; the value stays 97.25."},
        {2, 5, "", "GrF-El. must be a number from -10000 to 10000 m; the value stays 100."},
        {3, 9, "40000", "Dia must be a number from 1 to 10000 mm; the value stays 500."},
        {3, 9, "x", "Dia must be a number from 1 to 10000 mm; the value stays 500."},
        {3, 10, "2", "Slope must be a number from -1 to 1 m/m; the value stays 0.006."},
    };
    for (const auto& [row, col, typed, message] : refused) {
        dialogs().ClearLog();
        const std::string before = Row(g, row);
        Click(g, row, col);
        vb::test::SendKey(ed, vb::vbKeyDelete);
        TypeKey(ed, typed, col == 10 ? vb::vbKeyLeft : vb::vbKeyReturn);
        ASSERT_EQ(dialogs().Messages().size(), 1u) << typed;
        EXPECT_EQ(dialogs().Messages()[0].prompt, message);
        EXPECT_EQ(Row(g, row), before) << typed;
        EXPECT_EQ(g.Row() * 100 + g.Col(), row * 100 + col) << typed;
        EXPECT_EQ(ed.Text(), g.TextMatrix(row, col));
    }
    EXPECT_FLOAT_EQ(se2->tinv, 97.25f);
    EXPECT_FLOAT_EQ(se2->felv, 100);
}

TEST_F(ProjectWindowTest, ARenamedPipeStaysFoundEverywhereAndNamesAreChecked) {
    TwoLaterals();
    f().List1.ListIndex(0);   // Lateral1: Se1, Se2 (and children the table does not list)
    f().List2.ListIndex(0);   // Se1 is the main window's current pipe
    w().Command1_Click();
    auto& g = w().MSHFlexGrid1;
    auto& ed = w().Text20;
    auto se1 = Rec("Se1");

    // A name that is empty, taken (in any case of letters, by a pipe or by
    // another node), or one the table's walk would not list, is refused.
    const std::pair<std::string, std::string> refused[] = {
        {" ", "A pipe needs a name"},
        {"MH1-MH2", "A pipe name must begin with \"Se\" and have at most 20 characters"},
        {"Se 345678901234567890", "at most 20 characters"},
        {"se2", "The name \"se2\" is in use in the network already"},
        {"Se3", "The name \"Se3\" is in use in the network already"},
        {"Sewer", "The name \"Sewer\" is in use in the network already"},
    };
    for (const auto& [name, why] : refused) {
        dialogs().ClearLog();
        Click(g, 1, 1);
        TypeKey(ed, name, vb::vbKeyReturn);
        EXPECT_EQ(se1->Name, "Se1");
        ASSERT_EQ(dialogs().Messages().size(), 1u) << name;
        const std::string& prompt = dialogs().Messages()[0].prompt;
        EXPECT_NE(prompt.find(why), std::string::npos) << "[" << name << "] " << prompt;
        EXPECT_NE(prompt.find("; the name stays Se1."), std::string::npos) << prompt;
        EXPECT_EQ(g.TextMatrix(1, 1) + ed.Text(), "Se1Se1") << name;
        EXPECT_EQ(g.Row() * 10 + g.Col(), 11);
    }
    EXPECT_EQ(Rec("Se1"), se1);
    EXPECT_EQ(Rec("Se2")->Name, "Se2");

    // An accepted name becomes the pipe's key; the main window's list, tab
    // strip and grid follow at once.
    Click(g, 1, 1);
    TypeKey(ed, " Se x ", vb::vbKeyReturn);
    EXPECT_EQ(se1->Name, "Se x");
    EXPECT_EQ(Rec("Se x"), se1);
    EXPECT_EQ(Rec("Se1"), nullptr);
    EXPECT_EQ(g.TextMatrix(1, 1), "Se x");
    EXPECT_EQ(f().List2.List(0), "Se x");
    EXPECT_EQ(f().UserControl12.Tabs().at(1).Caption, "Se x");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se x");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(5, 1), "40.00");
    // Capitals alone may change: the key is the pipe's own.
    Click(g, 1, 1);
    TypeKey(ed, "Se X", vb::vbKeyReturn);
    EXPECT_EQ(Rec("Se x"), se1);
    EXPECT_EQ(se1->Name, "Se X");
    EXPECT_TRUE(dialogs().Messages().size() == 1u) << dialogs().Messages().back().prompt;

    // Further edits of the row reach the renamed pipe, and so do the main
    // window's: a pick on the profile shows it in the grid, whose edit stores
    // into it.
    Click(g, 1, 4);
    TypeKey(ed, "44", vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(se1->l, 44);
    f().List2.ListIndex(1);
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se2");
    f().Picture1_MouseDown(vb::vbRightButton, 0, se1->x3 + 1 + ProfileOffsetX, ProfileOffsetY - 40);
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se X");
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(5, 1), "44.00");
    f().MSHFlexGrid2.Row(4);
    f().MSHFlexGrid2.Col(1);
    f().MSHFlexGrid2_Click();
    f().txtEdit.Text("1.5");
    int enter = vb::vbKeyReturn, shift = 0;
    f().txtEdit_KeyDown(enter, shift);
    EXPECT_FLOAT_EQ(se1->mincover, 1.5f);
    f().List2.ListIndex(0);
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(0, 0), "Se X");

    // The table filled again still lists it.
    w().Command1_Click();
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(g.TextMatrix(1, 1) + "|" + g.TextMatrix(1, 4), "Se X|44");

    // A value armed on the profile's entry box before a rename is stored into
    // the renamed pipe at the commit.
    f().PGR_MouseDown(1, vb::vbLeftButton, 0, 0, 0);
    ASSERT_EQ(f().Text19.Tag(), "Pgr 1");
    f().Text19.Text("101.25");
    Click(g, 1, 1);
    TypeKey(ed, "Se Y", vb::vbKeyReturn);
    ASSERT_EQ(Rec("Se Y"), se1);
    dialogs().ClearLog();
    f().Command24_Click();
    EXPECT_FLOAT_EQ(se1->felv, 101.25f);
    EXPECT_TRUE(dialogs().Messages().empty()) << dialogs().Messages().front().prompt;
}

TEST_F(ProjectWindowTest, EditingASizeRefusesWhatTheDiameterCannotHold) {
    w().Command2_Click();
    auto& g = w().MSHFlexGrid2;
    auto& ed = w().Text3;
    auto size3 = Rec("Diameter4");   // row 3: 250 mm

    Click(g, 3, 1);
    TypeKey(ed, "251.5", vb::vbKeyReturn);
    EXPECT_EQ(size3->dia, 252);   // the nearest whole millimetre, a half to the even one
    TypeKey(ed, "0.0075", vb::vbKeyUp);
    EXPECT_FLOAT_EQ(size3->slope, 0.0075f);

    for (const std::string bad : {"abc", "40000", "", "12mm", "-300", "0.4"}) {
        dialogs().ClearLog();
        Click(g, 3, 1);
        vb::test::SendKey(ed, vb::vbKeyDelete);
        TypeKey(ed, bad, bad.empty() ? vb::vbKeyReturn : vb::vbKeyDown);
        EXPECT_EQ(size3->dia, 252) << bad;
        ASSERT_EQ(dialogs().Messages().size(), 1u) << bad;
        // The main window's grid says the same of every one of them.
        EXPECT_EQ(dialogs().Messages()[0].prompt, "Diameter must be a number from 1 to 10000 mm; the value stays 252.");
        // The cell shows the stored value again and the editor stays on it.
        EXPECT_EQ(g.Row() * 10 + g.Col(), 31);
        EXPECT_EQ(g.TextMatrix(3, 1) + ed.Text(), "252252") << bad;
    }
    Click(g, 3, 2);
    TypeKey(ed, "1e39", vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(size3->slope, 0.0075f);
}

TEST_F(ProjectWindowTest, EachTableWritesOnlyIntoItsOwnNodesAndAGonePipeIsRefused) {
    TwoLaterals();
    w().Command1_Click();
    w().Command2_Click();   // filled last
    const float sizeLength = Rec("Diameter2")->l;
    Click(w().MSHFlexGrid1, 1, 4);
    TypeKey(w().Text20, "33", vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(Rec("Se1")->l, 33);
    EXPECT_FLOAT_EQ(Rec("Diameter2")->l, sizeLength);
    Click(w().MSHFlexGrid2, 1, 1);
    TypeKey(w().Text3, "175", vb::vbKeyReturn);
    EXPECT_EQ(Rec("Diameter2")->dia, 175);
    EXPECT_EQ(Rec("Se1")->dia, 200);

    // Se3 moves to the removed pipe's index; row 2 is refused, row 3 still
    // reaches Se3.
    f().myCol->RemoveItem(vb::Variant("ObjSe2"));
    const float se3 = Rec("Se3")->l;
    Click(w().MSHFlexGrid1, 2, 4);
    TypeKey(w().Text20, "80", vb::vbKeyReturn);
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_EQ(dialogs().Messages()[0].prompt, "Row 2 has no pipe behind it; nothing was stored.");
    EXPECT_FLOAT_EQ(Rec("Se3")->l, se3);
    EXPECT_FALSE(w().rcsub(9, 4));
    Click(w().MSHFlexGrid1, 3, 4);
    TypeKey(w().Text20, "81", vb::vbKeyReturn);
    EXPECT_FLOAT_EQ(Rec("Se3")->l, 81);
}

TEST_F(ProjectWindowTest, AnEditShowsInTheMainWindowAtItsNextRefresh) {
    TwoLaterals();
    f().List1.ListIndex(0);   // Lateral1
    f().List2.ListIndex(1);   // its second pipe, Se2
    const double profileEnd = ProfileEnd();
    w().Command1_Click();
    Click(w().MSHFlexGrid1, 2, 4);
    TypeKey(w().Text20, "75", vb::vbKeyReturn);
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(5, 1), "62.25");   // nothing is refreshed by the edit
    f().Form_Click();
    EXPECT_EQ(f().MSHFlexGrid2.TextMatrix(5, 1), "75.00");
    EXPECT_NEAR(ProfileEnd() - profileEnd, 12.75, 1e-3);   // the profile is 12.75 m longer
}

TEST_F(ProjectWindowTest, PanelsLayoutAndTheButtonsOfBothWindows) {
    w().Command7.Value(true);   // "Excel"
    EXPECT_TRUE(w().Frame15.Visible());
    w().Command1_Click();
    EXPECT_FALSE(w().Frame15.Visible());
    w().Command3.Value(true);   // "Project"
    EXPECT_TRUE(w().Frame4.Visible());
    EXPECT_FALSE(w().Frame16.Visible());
    w().Command3.Value(true);
    EXPECT_FALSE(w().Frame4.Visible());
    w().Command7_Click();
    w().Comman15.Value(true);   // "Close"
    EXPECT_FALSE(w().Frame15.Visible());

    // The layout follows the window's outer size; a window made as small as
    // it goes still lays out.
    w().Move(0, 0, 12000, 9990);   // whole pixels of 15 twips
    EXPECT_EQ(w().Frame16.Top(), 220);
    EXPECT_DOUBLE_EQ(w().Frame16.Height(), 8990);
    EXPECT_DOUBLE_EQ(w().Frame16.Width(), 11600);
    EXPECT_DOUBLE_EQ(w().MSHFlexGrid1.Height(), 8490);
    w().Move(0, 0, 12000, 10200);
    EXPECT_EQ(w().Frame16.Top(), 270);
    const int errors = vb::ReportedErrorCount();
    w().Move(0, 0, 300, 300);
    EXPECT_NO_THROW(w().Form_Resize());
    EXPECT_EQ(vb::ReportedErrorCount(), errors);

    // "Acad" with no drawing program to attach to: the preparation says so,
    // the read that follows fails once, and the network stays.
    const auto network = f().myCol;
    w().Command8.Value(true);
    ASSERT_EQ(dialogs().Messages().size(), 3u);
    EXPECT_EQ(dialogs().Messages()[0].prompt, "Please open AutoCAD");
    EXPECT_EQ(dialogs().Messages()[2].prompt, "Export " + dialogs().Messages()[1].prompt);
    EXPECT_EQ(f().myCol, network);

    f().Command26.Value(true);   // the main window's "Data"
    EXPECT_TRUE(Form3Window().Visible());
    Form3Window().CloseForm();
    EXPECT_FALSE(Form3Window().Visible());
}

TEST_F(ProjectWindowTest, EveryEditableColumnStoresItsOwnValue) {
    TwoLaterals();
    w().Command1_Click();
    auto& g = w().MSHFlexGrid1;
    auto se2 = Rec("Se2");
    // A distinct value in each column of row 2, left to right with Enter.
    const char* typed[11] = {"", "Se 22", "MH-A7", "MH-B8", "61.5", "104.25", "103.75", "101.5", "100.125", "375",
                             "0.0035"};
    Click(g, 2, 1);
    for (int c = 1; c <= 10; ++c) {
        ASSERT_EQ(g.Row() * 100 + g.Col(), 200 + c);
        TypeKey(w().Text20, typed[c], vb::vbKeyReturn);
    }
    EXPECT_TRUE(dialogs().Messages().empty()) << dialogs().Messages().front().prompt;
    EXPECT_EQ(se2->Name, "Se 22");
    EXPECT_EQ(se2->from, "MH-A7");
    EXPECT_EQ(se2->tom, "MH-B8");
    EXPECT_FLOAT_EQ(se2->l, 61.5f);
    EXPECT_FLOAT_EQ(se2->felv, 104.25f);
    EXPECT_FLOAT_EQ(se2->telv, 103.75f);
    EXPECT_FLOAT_EQ(se2->finv, 101.5f);
    EXPECT_FLOAT_EQ(se2->tinv, 100.125f);
    EXPECT_EQ(se2->dia, 375);
    EXPECT_FLOAT_EQ(se2->slope, 0.0035f);
    // The table filled again from the records shows the same row; the rows
    // around it are untouched.
    const std::string row1 = Row(g, 1), row3 = Row(g, 3);
    w().Command1_Click();
    EXPECT_EQ(Row(g, 2), "2|Se 22|MH-A7|MH-B8|61.5|104.25|103.75|101.5|100.125|375|0.0035");
    EXPECT_EQ(Row(g, 1) + "/" + Row(g, 3), row1 + "/" + row3);

    // The pipe-size table: both stored columns of row 2.
    w().Command2_Click();
    auto& sizes = w().MSHFlexGrid2;
    const std::string size1 = Row(sizes, 1);
    Click(sizes, 2, 1);
    TypeKey(w().Text3, "333", vb::vbKeyReturn);
    TypeKey(w().Text3, "0.0065", vb::vbKeyReturn);
    EXPECT_EQ(Rec("Diameter3")->dia, 333);
    EXPECT_FLOAT_EQ(Rec("Diameter3")->slope, 0.0065f);
    w().Command2_Click();
    EXPECT_EQ(Row(sizes, 2), "2|333|0.0065||||||");
    EXPECT_EQ(Row(sizes, 1), size1);
    EXPECT_TRUE(dialogs().Messages().empty()) << dialogs().Messages().front().prompt;
}

TEST_F(ProjectWindowTest, NoCellShowsAValueItsRecordDoesNotHold) {
    w().Command2_Click();
    auto& g = w().MSHFlexGrid2;
    auto& ed = w().Text3;
    auto size2 = Rec("Diameter3");   // row 2
    const model::Sewer before = *size2;
    // The columns after "MinSlope" keep nothing of a pipe size: whatever is
    // typed there is refused with a message naming the column, and the cell
    // is empty again.
    for (int col = 3; col <= 8; ++col) {
        for (const std::string bad : {"abc", "-", "1e9", "2.5"}) {
            dialogs().ClearLog();
            Click(g, 2, col);
            TypeKey(ed, bad, col == 8 ? vb::vbKeyLeft : vb::vbKeyReturn);
            ASSERT_EQ(dialogs().Messages().size(), 1u) << col << " " << bad;
            const std::string title = col == 8 ? "Column 8" : g.TextMatrix(0, col);
            EXPECT_EQ(dialogs().Messages()[0].prompt,
                      title + " cannot be edited: this table shows and stores only the Diameter and MinSlope of a "
                              "pipe size. The cell stays empty.");
            EXPECT_EQ(g.TextMatrix(2, col) + ed.Text(), "") << col << " " << bad;
            EXPECT_EQ(g.Row() * 10 + g.Col(), 20 + col);
        }
    }
    // An empty cell passes: Enter moves on without a word.
    dialogs().ClearLog();
    Click(g, 2, 3);
    vb::test::SendKey(ed, vb::vbKeyReturn);
    EXPECT_EQ(g.Col(), 4);
    EXPECT_TRUE(dialogs().Messages().empty());
    // Text typed and left by a click elsewhere was never stored: its cell
    // shows what it showed before, in a stored column as well.
    vb::test::SendText(ed, "7.5");
    EXPECT_EQ(g.TextMatrix(2, 4), "7.5");
    Click(g, 1, 1);
    EXPECT_EQ(g.TextMatrix(2, 4), "");
    vb::test::SendText(ed, "999");
    Click(g, 3, 2);
    EXPECT_EQ(g.TextMatrix(1, 1), "150");
    EXPECT_EQ(Rec("Diameter2")->dia, 150);
    // Filled again, every row shows its record and nothing after "MinSlope".
    Click(g, 2, 5);
    vb::test::SendText(ed, "abc");
    w().Command2_Click();
    for (int r = 1; r < g.Rows(); ++r) {
        auto s = Rec("Diameter" + std::to_string(r + 1));
        EXPECT_EQ(Row(g, r), std::to_string(r) + "|" + std::to_string(s->dia) + "|" + vb::CStr(s->GetProperty("slope")) +
                                 "||||||");
    }
    EXPECT_EQ(size2->ma1, before.ma1);
    EXPECT_EQ(size2->ma2, before.ma2);
    EXPECT_FLOAT_EQ(size2->finv, before.finv);
    EXPECT_FLOAT_EQ(size2->felv, before.felv);
    EXPECT_EQ(size2->dia, before.dia);
    EXPECT_FLOAT_EQ(size2->slope, before.slope);

    // The pipe table: a length typed and left by a click elsewhere.
    TwoLaterals();
    w().Command1_Click();
    auto& pipes = w().MSHFlexGrid1;
    Click(pipes, 1, 4);
    vb::test::SendText(w().Text20, "77");
    Click(pipes, 2, 4);
    EXPECT_EQ(pipes.TextMatrix(1, 4), "40");
    EXPECT_FLOAT_EQ(Rec("Se1")->l, 40);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}

TEST_F(ProjectWindowTest, ANameOfTwentyAccentedCharactersIsTakenAndSurvivesSaveAndReLoad) {
    // Lateral1 with Se 2 and Se 3; Se 3, the run's last pipe, is given a
    // bore the new pipe can only take from it.
    f().Command7_Click();
    f().Command7_Click();
    Rec("Se 3")->dia = 450;
    w().Command1_Click();
    auto& g = w().MSHFlexGrid1;
    auto& ed = w().Text20;
    ASSERT_EQ(g.Rows(), 3);
    const std::string twelve = "Se äöüäöüäöü";   // 12 characters, 21 bytes
    std::string twenty = "Se ";
    while (twenty.size() < 3 + 2 * 17) twenty += "ä";   // 20 characters, 37 bytes
    const std::string longer = twenty + "ß";             // 21 characters
    Click(g, 2, 1);
    TypeKey(ed, longer, vb::vbKeyReturn);
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(dialogs().Messages()[0].prompt.find("at most 20 characters"), std::string::npos);
    EXPECT_EQ(Rec("Se 3")->Name, "Se 3");
    dialogs().ClearLog();
    Click(g, 1, 1);
    TypeKey(ed, twelve, vb::vbKeyReturn);
    Click(g, 2, 1);
    TypeKey(ed, twenty, vb::vbKeyReturn);
    EXPECT_TRUE(dialogs().Messages().empty()) << dialogs().Messages().front().prompt;
    ASSERT_TRUE(Rec(twelve));
    ASSERT_TRUE(Rec(twenty));
    // The run keeps both names whole, so "Add Sewer" continues the renamed
    // last pipe.
    ASSERT_EQ(RunCount, 2);
    EXPECT_EQ(vb::RTrim(CurrentRun[1].PipeName) + "|" + vb::RTrim(CurrentRun[2].PipeName), twelve + "|" + twenty);
    f().Command7_Click();
    ASSERT_EQ(RunCount, 3);
    EXPECT_EQ(Rec(vb::RTrim(CurrentRun[3].PipeName))->dia, 450);

    f().cmdSaveCollection_Click(0);
    f().Command7_Click();   // in memory only
    f().cmdSaveCollection_Click(1);
    EXPECT_EQ(f().myCol->ChildCount(vb::Variant("ObjLateral1")), 3);
    ASSERT_TRUE(Rec(twelve));
    ASSERT_TRUE(Rec(twenty));
    EXPECT_EQ(Rec(twenty)->Name, twenty);
    EXPECT_EQ(Rec(twenty)->dia, 450);
    EXPECT_EQ(f().List2.List(0) + "|" + f().List2.List(1), twelve + "|" + twenty);
    EXPECT_EQ(vb::ReportedErrorCount(), errorsBefore_);
}
