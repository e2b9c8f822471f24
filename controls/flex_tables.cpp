// FLEX's two tables: the profile rows ("CONFIG") and the pipes of a lateral
// ("SEWER"), and the ground-level fill of the pipe table.
#include <algorithm>

#include "controls/flex.h"
#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"
#include "profile/profile_config.h"

namespace {

constexpr int kLeftCentre = 1;   // column alignment: left, vertically centred

// A number in its general text form: shortest, up to seven significant
// digits, "." as the decimal point.
std::string General(float v) { return vb::SingleToText(v); }

}  // namespace

void FLEX::StartTable() {
    // An editor left open over the old table would commit its text into
    // whatever cell of the new one its row and column name.
    HideEditor();
    MSFlexGrid1.Visible(false);
    MSFlexGrid1.Clear();
    EditCellRow = 0;
    EditCellCol = 0;
}

void FLEX::FinishTable() {
    UndoDepth = 10;
    UndoBuffer.assign(1, UndoEntry{});
    for (int c = 0; c < MSFlexGrid1.Cols(); ++c) MSFlexGrid1.ColAlignment(c, kLeftCentre);
    MSFlexGrid1.Visible(true);
}

void FLEX::mnuconfig() {
    Caption("CONFIG");
    StartTable();
    vb::FlexGrid& g = MSFlexGrid1;
    g.Cols(20);
    g.Rows(21);
    g.Cols(16);
    for (int i = 1; i <= 20; ++i) g.TextMatrix(i, 0, ProfileRowTable[static_cast<size_t>(i)].Label.Text());
    const char* headers[] = {"Visible", "Row height", "Color", "Height", "Rotation", "Style", "Vspace", "Hspace"};
    for (int c = 1; c <= 8; ++c) g.TextMatrix(0, c, headers[c - 1]);
    for (int c = 1; c <= 15; ++c) g.ColWidth(c, 1000);
    for (int i = 1; i <= 20; ++i) {
        const ProfileRowRecord& row = ProfileRowTable[static_cast<size_t>(i)];
        g.TextMatrix(i, 1, row.Visible ? "True" : "False");
        g.TextMatrix(i, 2, General(row.RowHeight));
        g.TextMatrix(i, 3, General(row.Color));
        g.TextMatrix(i, 4, General(row.TextHeight));
        g.TextMatrix(i, 5, General(row.Rotation));
        g.TextMatrix(i, 6, row.Style.Text());
        g.TextMatrix(i, 7, General(row.Vspace));
        g.TextMatrix(i, 8, General(row.Hspace));
    }
    // The editor covers a whole cell.
    g.RowHeightMin(txtEdit.Height());
    FinishTable();
}

void FLEX::mnusewer(const vb::Variant&, const vb::Variant& maa) {
    static const char* const kFields[] = {"from", "tom",  "felv", "telv", "l",  "finv", "tinv",
                                          "dia",  "slope", "x1",  "y1",   "x2", "y2"};
    StartTable();
    vb::FlexGrid& g = MSFlexGrid1;
    // Only the header row while the network counts no pipe.
    g.Rows(std::max(PipeCount, 0) + 1);
    g.Cols(16);
    for (int i = 1; i <= PipeCount; ++i) g.TextMatrix(i, 0, std::to_string(i));
    for (int c = 1; c <= 15; ++c) {
        g.TextMatrix(0, c, std::to_string(c));
        g.ColWidth(c, 1200);
    }
    Form1* main = MainForm();
    // Run positions beyond the table's rows have no row to go to.
    const int last = std::min(RunCount, g.Rows() - 1);
    for (int i = 1; i <= last; ++i) {
        const vb::Variant key = maa.Element(i);
        for (int c = 1; c <= 13; ++c) {
            vb::Variant node = main && main->myCol ? main->myCol->Item(key) : vb::Variant();
            vb::Variant record = node.IsArray() ? node.Element(3) : vb::Variant();
            if (!record.IsObject() || record.IsNothing())
                throw vb::VbError(91, "No pipe for the pipe table's row " + std::to_string(i) + " (" +
                                          vb::CStr(key) + ")");
            g.TextMatrix(i, c, vb::CStr(record.Obj()->GetProperty(kFields[c - 1])));
        }
    }
    FinishTable();
}

void FLEX::FillGroundLevels() {
    vb::FlexGrid& g = MSFlexGrid1;
    if (g.Cols() < 5) return;
    // The fill walks the table's own rows, however many the grid holds.
    const int last = std::min(PipeCount, g.Rows() - 1);
    for (int i = 1; i <= last; ++i) {
        for (int j = 1; j <= last; ++j) {
            if (g.TextMatrix(i, 1) == g.TextMatrix(j, 2)) g.TextMatrix(j, 4, g.TextMatrix(i, 3));
        }
    }
}
