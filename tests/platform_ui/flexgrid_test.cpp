// The grid: texts, rows, cell geometry, events and the in-place editor.
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QWidget>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

using vb::test::MouseAction;

TEST(FlexGrid, TextsRowsAndClip) {
    vb::Form f;
    vb::FlexGrid g{f};
    g.Rows(10);
    g.Cols(2);
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.FixedCols(), 1);
    g.TextMatrix(0, 1, "From");
    g.TextMatrix(1, 0, "Qdesign");
    g.TextMatrix(1, 1, "10");
    EXPECT_EQ(g.TextMatrix(1, 1), "10");
    try {
        g.TextMatrix(10, 0);
        ADD_FAILURE() << "row 10 is outside a 10-row grid";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 381);
    }

    g.AddItem("Slope\t0.004");
    EXPECT_EQ(g.Rows(), 11);
    EXPECT_EQ(g.TextMatrix(10, 0), "Slope");
    EXPECT_EQ(g.TextMatrix(10, 1), "0.004");
    g.AddItem("First", 1);
    EXPECT_EQ(g.TextMatrix(1, 0), "First");
    EXPECT_EQ(g.TextMatrix(1, 1), "");
    EXPECT_EQ(g.TextMatrix(2, 0), "Qdesign");
    g.RemoveItem(1);
    EXPECT_EQ(g.TextMatrix(1, 0), "Qdesign");
    EXPECT_EQ(g.Rows(), 11);

    g.Row(1);
    g.Col(0);
    g.RowSel(2);
    g.ColSel(1);
    EXPECT_EQ(g.Clip(), "Qdesign\t10\r\t");
    g.Clip("a\tb\rc\td");
    EXPECT_EQ(g.TextMatrix(2, 1), "d");
    g.Row(3);
    g.Text("x");
    EXPECT_EQ(g.TextMatrix(3, 0), "x");

    g.Clear();
    EXPECT_EQ(g.TextMatrix(0, 1), "");
    EXPECT_EQ(g.Rows(), 11) << "Clear keeps the shape";

    g.Rows(2);
    try {
        g.RemoveItem(1);
        ADD_FAILURE() << "the last non-fixed row cannot go";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), 30015);
    }
    EXPECT_THROW(g.Row(5), vb::VbError);
}

TEST(FlexGrid, SettingRowOrColRaisesLeaveAndEnterCell) {
    vb::Form f;
    vb::FlexGrid g{f};
    g.Rows(5);
    g.Cols(3);
    std::vector<std::string> events;
    g.LeaveCell = [&] { events.push_back("leave " + std::to_string(g.Row())); };
    g.EnterCell = [&] { events.push_back("enter " + std::to_string(g.Row())); };
    g.Row(3);
    EXPECT_EQ(events, (std::vector<std::string>{"leave 1", "enter 3"}));
    g.Row(3);
    EXPECT_EQ(events.size(), 2u) << "no move, no events";
    g.Col(2);
    EXPECT_EQ(events.size(), 4u);
    EXPECT_EQ(g.RowSel(), 3);
    EXPECT_EQ(g.ColSel(), 2);
}

TEST(FlexGrid, CellGeometryPlacesAnEditorOverTheCell) {
    vb::Form f;
    f.Width(8000);
    f.Height(6000);
    vb::FlexGrid g{f};
    g.Move(300, 450, 4000, 3000);
    vb::TextBox txtEdit{f};
    txtEdit.Visible(false);
    g.Rows(10);
    g.Cols(2);
    g.ColWidth(0, 900);
    g.ColWidth(1, 1200);
    EXPECT_DOUBLE_EQ(g.ColWidth(0), 900);
    vb::test::ShowAndActivate(f);

    g.Row(1);
    g.Col(1);
    double left1 = g.CellLeft(), top1 = g.CellTop();
    g.Row(4);
    EXPECT_DOUBLE_EQ(g.CellLeft(), left1);
    EXPECT_DOUBLE_EQ(g.CellTop(), top1 + g.RowHeight(1) + g.RowHeight(2) + g.RowHeight(3));
    EXPECT_DOUBLE_EQ(g.CellWidth(), 1200);
    g.Col(0);
    EXPECT_DOUBLE_EQ(g.CellLeft() + 900, left1) << "column 1 starts where column 0 ends";
    g.Col(1);

    txtEdit.Move(g.Left() + g.CellLeft(), g.Top() + g.CellTop(), g.CellWidth(), g.CellHeight());
    txtEdit.Visible(true);
    auto* view = static_cast<QAbstractScrollArea*>(g.widget())->viewport();
    QPoint cellOnForm = view->mapTo(f.ClientWidget(), QPoint(g.CellXPixels(1), g.CellYPixels(4)));
    EXPECT_EQ(txtEdit.widget()->geometry().topLeft(), cellOnForm);
    EXPECT_EQ(txtEdit.widget()->width(), g.ColWidthPixels(1));

    // Visibility and scrolling.
    g.Rows(60);
    EXPECT_TRUE(g.RowIsVisible(2));
    EXPECT_FALSE(g.RowIsVisible(59));
    int scrolls = 0;
    g.Scroll = [&] { ++scrolls; };
    g.TopRow(20);
    EXPECT_EQ(g.TopRow(), 20);
    EXPECT_EQ(scrolls, 1);
    EXPECT_FALSE(g.RowIsVisible(2));
    EXPECT_TRUE(g.RowIsVisible(0)) << "fixed rows stay in view";
    g.Row(20);
    EXPECT_DOUBLE_EQ(g.CellTop(), top1) << "the top row sits just under the fixed row";
    f.Unload();
}

TEST(FlexGrid, MouseChoosesCellsAndEditorLosesFocusToTheGrid) {
    vb::Form f;
    f.Width(8000);
    f.Height(6000);
    vb::FlexGrid g{f};
    g.Move(0, 0, 4000, 3000);
    g.Rows(10);
    g.Cols(3);
    vb::TextBox txtEdit{f};
    txtEdit.Move(4500, 0, 1200, 300);
    std::vector<std::string> events;
    vb::Control* focusTo = nullptr;
    g.EnterCell = [&] { events.push_back("enter"); };
    g.MouseDown = [&](int, int, float, float) { events.push_back("down " + std::to_string(g.MouseRow())); };
    g.Click = [&] { events.push_back("click " + std::to_string(g.Row()) + "," + std::to_string(g.Col())); };
    txtEdit.LostFocus = [&] { focusTo = vb::ActiveControl(); events.push_back("lost"); };
    vb::test::ShowAndActivate(f);
    txtEdit.SetFocus();

    // The point in the middle of cell (3, 2).
    g.Row(3);
    g.Col(2);
    double x = g.CellLeft() + g.CellWidth() / 2, y = g.CellTop() + g.CellHeight() / 2;
    g.Row(1);
    g.Col(1);
    events.clear();
    vb::test::SendMouse(g, MouseAction::Click, vb::vbLeftButton, x, y);
    EXPECT_EQ(g.Row(), 3);
    EXPECT_EQ(g.Col(), 2);
    EXPECT_EQ(focusTo, &g);
    EXPECT_EQ(events, (std::vector<std::string>{"lost", "enter", "down 3", "click 3,2"}));

    // Keys move the current cell inside the non-fixed part.
    vb::test::SendKey(g, vb::vbKeyUp);
    EXPECT_EQ(g.Row(), 2);
    vb::test::SendKey(g, vb::vbKeyLeft);
    vb::test::SendKey(g, vb::vbKeyLeft);
    EXPECT_EQ(g.Col(), 1) << "the fixed column cannot become current";
    int presses = 0;
    g.KeyPress = [&](int& KeyAscii) { if (KeyAscii == 13) ++presses; };
    vb::test::SendKey(g, vb::vbKeyReturn);
    EXPECT_EQ(presses, 1);
    f.Unload();
}

}  // namespace
