// In-place editing of the project window's two tables: an editor laid over
// the clicked cell mirrors each keystroke into it, and Enter or an arrow key
// writes the cell back into the node behind the row (rcsub).
#include <optional>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "profileedit/grid_value.h"
#include "projectdata/form3.h"

namespace {
// The property written for each column code; null where an edit stays in the
// grid only (the pipe table's "Dia" and "Slope", the pipe-size columns 3 to 8).
const char* CodeProperty(int code) {
    static constexpr const char* kPipe[11] = {nullptr, "Name", "from", "tom", "l", "felv", "telv", "finv", "tinv",
                                              nullptr, nullptr};
    if (code >= 1 && code <= 10) return kPipe[code];
    if (code == 101) return "dia";
    if (code == 102) return "slope";
    return nullptr;
}

// The field whose accepted values (those the main window's pipe grid and
// entry box take) bound a column code's numbers; None for the text columns.
PipeField CodeField(int code) {
    switch (code) {
        case 4: return PipeField::Length;
        case 5: return PipeField::FromGround;
        case 6: return PipeField::ToGround;
        case 7: return PipeField::FromInvert;
        case 8: return PipeField::ToInvert;
        case 101: return PipeField::Dia;
        case 102: return PipeField::Slope;
        default: return PipeField::None;
    }
}
}  // namespace

void Form3::WireTables() {
    Command1.Click = [this] { Command1_Click(); };
    Command2.Click = [this] { Command2_Click(); };
    MSHFlexGrid1.Click = [this] { MSHFlexGrid1_Click(); };
    MSHFlexGrid2.Click = [this] { MSHFlexGrid2_Click(); };
    Text20.Change = [this] { Text20_Change(); };
    Text3.Change = [this] { Text3_Change(); };
    Text20.KeyDown = [this](int& KeyCode, int& Shift) { Text20_KeyDown(KeyCode, Shift); };
    Text3.KeyDown = [this](int& KeyCode, int& Shift) { Text3_KeyDown(KeyCode, Shift); };
}

void Form3::PlaceEditor(vb::FlexGrid& grid, vb::TextBox& editor, ProjectTable& table) {
    // Only a data cell takes the editor (a table of headers alone has none).
    if (grid.Row() < grid.FixedRows() || grid.Col() < grid.FixedCols()) return;
    table.EditorRow = grid.Row();
    table.EditorCol = grid.Col();
    table.EditorOldText = grid.Text();
    editor.Text(table.EditorOldText);
    editor.Move(grid.Left() + grid.CellLeft(), grid.Top() + grid.CellTop(), grid.CellWidth() - 30,
                grid.CellHeight() - 10);
    editor.Visible(true);
    editor.ZOrder(vb::vbBringToFront);
    editor.SetFocus();
    editor.SelStart(0);
    editor.SelLength(static_cast<int>(table.EditorOldText.size()));
}

void Form3::MSHFlexGrid1_Click() { PlaceEditor(MSHFlexGrid1, Text20, PipeTable); }
void Form3::MSHFlexGrid2_Click() { PlaceEditor(MSHFlexGrid2, Text3, SizeTable); }

void Form3::Text20_Change() {
    if (Text20.Visible() && PipeTable.EditorRow > 0) {
        MSHFlexGrid1.TextMatrix(PipeTable.EditorRow, PipeTable.EditorCol, Text20.Text());
    }
}

void Form3::Text3_Change() {
    if (Text3.Visible() && SizeTable.EditorRow > 0) {
        MSHFlexGrid2.TextMatrix(SizeTable.EditorRow, SizeTable.EditorCol, Text3.Text());
    }
}

void Form3::Text20_KeyDown(int& KeyCode, int& /*Shift*/) { EditorKeyDown(MSHFlexGrid1, Text20, PipeTable, KeyCode); }
void Form3::Text3_KeyDown(int& KeyCode, int& /*Shift*/) { EditorKeyDown(MSHFlexGrid2, Text3, SizeTable, KeyCode); }

void Form3::EditorKeyDown(vb::FlexGrid& grid, vb::TextBox& editor, ProjectTable& table, int& KeyCode) {
    const int row = table.EditorRow, col = table.EditorCol;
    if (row < 1) return;
    const int code = table.ColumnCodes[static_cast<size_t>(col)];
    // A refused value leaves the editor on its cell, showing the stored value.
    auto stay = [&] {
        grid.Row(row);
        grid.Col(col);
        PlaceEditor(grid, editor, table);
        KeyCode = 0;
    };

    if (KeyCode == vb::vbKeyReturn) {
        if (!rcsub(row, code)) return stay();
        KeyCode = vb::vbKeyRight;   // Enter commits and moves one cell to the right
    }
    if (KeyCode == vb::vbKeyEscape) {
        // The cell gets back the text it had when the editor was placed.
        editor.Text(table.EditorOldText);
        grid.SetFocus();
        KeyCode = 0;
        return;
    }
    int r = row, c = col;
    switch (KeyCode) {
        case vb::vbKeyLeft: if (col >= 2) --c; break;
        case vb::vbKeyUp: if (row >= 2) --r; break;
        case vb::vbKeyRight: if (col < grid.Cols() - 1) ++c; break;
        case vb::vbKeyDown: if (row < grid.Rows() - 1) ++r; break;
        default: return;
    }
    if (r == row && c == col) return;   // at the edge of the data: nothing at all
    grid.TextMatrix(row, col, editor.Text());
    if (!rcsub(row, code)) return stay();
    grid.Row(r);
    grid.Col(c);
    PlaceEditor(grid, editor, table);
    KeyCode = 0;
}

bool Form3::rcsub(int row, int code) {
    const char* property = CodeProperty(code);
    if (!property) return true;
    const bool pipeTable = code <= 10;
    ProjectTable& table = pipeTable ? PipeTable : SizeTable;
    vb::FlexGrid& grid = pipeTable ? MSHFlexGrid1 : MSHFlexGrid2;
    const int col = pipeTable ? code : code - 100;

    // The node behind the row, found by the key it had when the table was
    // filled.
    Form1* main = MainForm();
    model::cNodeCollection* network = main ? main->myCol.get() : nullptr;
    std::shared_ptr<model::Sewer> s;
    if (network && row >= 1 && row < static_cast<int>(table.NodeKeys.size())) {
        const int32_t node = network->KeyToIndex(table.NodeKeys[static_cast<size_t>(row)]);
        if (node > 0) s = NodeRecordByIndex(network, node);
    }
    if (!s) {
        vb::MsgBox("Row " + std::to_string(row) + " has no " + (pipeTable ? "pipe" : "pipe size") +
                       " behind it; nothing was stored.",
                   vb::vbExclamation);
        return false;
    }

    const std::string text = row < grid.Rows() ? grid.TextMatrix(row, col) : std::string();
    // The value as the record would take it, worked out on a copy first: a
    // value that is not a number the field can hold, or one outside what the
    // main window accepts for that field, leaves the record as it was.
    model::Sewer taken = *s;
    bool isNumber = true;
    if (code <= 3) {
        taken.LetProperty(property, vb::Variant(text));
    } else if (code <= 8) {
        // The leading number of the text, 0 when it has none.
        if (const std::optional<double> v = PipeFieldNumber(text)) {
            taken.LetProperty(property, vb::Variant(static_cast<float>(*v)));
        } else {
            isNumber = false;
        }
    } else {
        // The text as the property's own type takes it: a whole number of
        // millimetres for the diameter, a single-precision slope.
        try {
            taken.LetProperty(property, vb::Variant(text));
        } catch (const vb::VbError&) {
            isNumber = false;
        }
    }
    const PipeField field = CodeField(code);
    if (isNumber && (field == PipeField::None || InAcceptedRange(field, vb::CDbl(taken.GetProperty(property))))) {
        s->LetProperty(property, taken.GetProperty(property));
        return true;
    }

    const std::string old = vb::CStr(s->GetProperty(property));
    const std::string header = grid.TextMatrix(0, col);
    grid.TextMatrix(row, col, old);
    vb::MsgBox(isNumber ? RangeMessage(header, field, "the value stays " + old + ".")
                        : header + ": \"" + text + "\" is not a number this column can hold; the value stays " + old + ".",
               vb::vbExclamation);
    return false;
}
