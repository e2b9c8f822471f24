// In-place editing of the project window's two tables: an editor laid over
// the clicked cell mirrors each keystroke into it, and Enter or an arrow key
// writes the cell back into the node behind the row (rcsub).
#include <optional>
#include <string>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "profileedit/grid_value.h"
#include "projectdata/form3.h"

namespace {
// The property written for each column code; null for the pipe-size columns
// 3 to 8, which the table neither fills nor stores.
const char* CodeProperty(int code) {
    static constexpr const char* kPipe[11] = {nullptr, "Name", "from", "tom", "l", "felv", "telv", "finv", "tinv",
                                              "dia",   "slope"};
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
        case 9:
        case 101: return PipeField::Dia;
        case 10:
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
    // Text typed into the cell left behind without Enter or an arrow was
    // never stored: that cell shows what it showed before the typing.
    if (table.Typed && table.EditorRow < grid.Rows() && table.EditorCol < grid.Cols()) {
        grid.TextMatrix(table.EditorRow, table.EditorCol, table.EditorOldText);
    }
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
    table.Typed = false;
}

void Form3::MSHFlexGrid1_Click() { PlaceEditor(MSHFlexGrid1, Text20, PipeTable); }
void Form3::MSHFlexGrid2_Click() { PlaceEditor(MSHFlexGrid2, Text3, SizeTable); }

void Form3::Text20_Change() {
    if (Text20.Visible() && PipeTable.EditorRow > 0) {
        MSHFlexGrid1.TextMatrix(PipeTable.EditorRow, PipeTable.EditorCol, Text20.Text());
        PipeTable.Typed = true;
    }
}

void Form3::Text3_Change() {
    if (Text3.Visible() && SizeTable.EditorRow > 0) {
        MSHFlexGrid2.TextMatrix(SizeTable.EditorRow, SizeTable.EditorCol, Text3.Text());
        SizeTable.Typed = true;
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

    bool committed = false;
    if (KeyCode == vb::vbKeyReturn) {
        table.Typed = false;   // stored or refused below
        if (!rcsub(row, code)) return stay();
        committed = true;
        KeyCode = vb::vbKeyRight;   // Enter commits and moves one cell to the right
    }
    if (KeyCode == vb::vbKeyEscape) {
        // The cell gets back the text it had when the editor was placed.
        editor.Text(table.EditorOldText);
        table.Typed = false;
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
    if (r == row && c == col) {
        // At the edge of the data an arrow does nothing at all; Enter has
        // stored the cell, and the editor shows what was stored.
        if (committed) stay();
        return;
    }
    grid.TextMatrix(row, col, editor.Text());
    table.Typed = false;   // stored or refused below
    if (!rcsub(row, code)) return stay();
    grid.Row(r);
    grid.Col(c);
    PlaceEditor(grid, editor, table);
    KeyCode = 0;
}

bool Form3::rcsub(int row, int code) {
    const bool pipeTable = code <= 10;
    ProjectTable& table = pipeTable ? PipeTable : SizeTable;
    vb::FlexGrid& grid = pipeTable ? MSHFlexGrid1 : MSHFlexGrid2;
    const int col = pipeTable ? code : code - 100;
    const char* property = CodeProperty(code);
    if (!property) {
        // The pipe-size columns after "MinSlope" show nothing and keep
        // nothing: a cell left empty passes, anything typed is refused.
        if (col < 1 || col >= grid.Cols() || row < 1 || row >= grid.Rows()) return true;
        if (vb::Trim(grid.TextMatrix(row, col)).empty()) return true;
        const std::string title = grid.TextMatrix(0, col).empty() ? "Column " + std::to_string(col)
                                                                  : grid.TextMatrix(0, col);
        grid.TextMatrix(row, col, std::string());
        vb::MsgBox(title + " cannot be edited: this table shows and stores only the Diameter and MinSlope of a "
                           "pipe size. The cell stays empty.",
                   vb::vbExclamation);
        return false;
    }

    // The node behind the row, found by the key it had when the table was
    // filled.
    Form1* main = MainForm();
    model::cNodeCollection* network = main ? main->myCol.get() : nullptr;
    std::shared_ptr<model::Sewer> s;
    int32_t node = 0;
    if (network && row >= 1 && row < static_cast<int>(table.NodeKeys.size())) {
        node = network->KeyToIndex(table.NodeKeys[static_cast<size_t>(row)]);
        if (node > 0) s = NodeRecordByIndex(network, node);
    }
    if (!s) {
        vb::MsgBox("Row " + std::to_string(row) + " has no " + (pipeTable ? "pipe" : "pipe size") +
                       " behind it; nothing was stored.",
                   vb::vbExclamation);
        return false;
    }

    const std::string text = row < grid.Rows() ? grid.TextMatrix(row, col) : std::string();
    if (code == 1) return RenamePipe(row, node, *s, text);
    if (code <= 3) {
        s->LetProperty(property, vb::Variant(text));
        return true;
    }

    // The number as the field takes it: in the pipe table the leading number
    // of the text, in the pipe-size table the text as the property's own type
    // reads it (a whole number of millimetres, a single-precision slope).
    // Text without a number, and a value outside what the main window's pipe
    // grid accepts for the field, leave the record as it was.
    const PipeField field = CodeField(code);
    std::optional<double> v;
    if (pipeTable) {
        v = TypedFieldNumber(text);
    } else {
        model::Sewer taken = *s;
        try {
            taken.LetProperty(property, vb::Variant(text));
            v = vb::CDbl(taken.GetProperty(property));
        } catch (const vb::VbError&) {
        }
    }
    if (v && field == PipeField::Dia) v = vb::RoundHalfEven(*v);   // whole millimetres
    const bool accepted = v && InAcceptedRange(field, *v);
    if (accepted) StorePipeField(*s, field, *v);
    // The cell shows what the record holds now, never a value it does not.
    const std::string stored = vb::CStr(s->GetProperty(property));
    grid.TextMatrix(row, col, stored);
    if (accepted) return true;
    vb::MsgBox(RangeMessage(grid.TextMatrix(0, col), field, "the value stays " + stored + "."), vb::vbExclamation);
    return false;
}

bool Form3::RenamePipe(int row, int32_t node, model::Sewer& pipe, const std::string& text) {
    // The name is also the pipe's key ("Obj" & name), by which the main window
    // finds the pipe its grid shows and the pipe a list entry names; and this
    // table lists a lateral's pipes only while their names begin with "Se".
    // A name is therefore refused when it is empty, when another node has that
    // key already (keys do not tell capitals from small letters), or when the
    // table would no longer list the pipe; the run of the main window keeps
    // 20 characters of a name, so a longer one would not find its pipe again.
    Form1* main = MainForm();
    model::cNodeCollection& network = *main->myCol;
    const std::string name = vb::Trim(text);
    std::string refusal;
    const int32_t other = name.empty() ? 0 : network.KeyToIndex("Obj" + name);
    if (name.empty()) {
        refusal = "A pipe needs a name";
    } else if (other > 0 && other != node) {
        refusal = "The name \"" + name + "\" is in use in the network already (capitals and small letters "
                  "count as the same)";
    } else if (vb::Left(name, 2) != "Se" || NameCharacters(name) > kRunNameCharacters) {
        refusal = "A pipe name must begin with \"Se\" and have at most 20 characters (as \"Se 12\")";
    }
    MSHFlexGrid1.TextMatrix(row, 1, refusal.empty() ? name : pipe.Name);
    if (!refusal.empty()) {
        vb::MsgBox(refusal + "; the name stays " + pipe.Name + ".", vb::vbExclamation);
        return false;
    }
    if (name == pipe.Name) return true;

    // The node takes the key of its new name, in place: its index, and with it
    // every link and handle that names the node, stays as it was.
    const bool shown = network.KeyToIndex("Obj" + main->CurrentPipeKey) == node;
    const std::string oldKey = network.Key(vb::Variant(node));
    network.Key(vb::Variant(node), "Obj" + name);
    pipe.Name = name;
    PipeTable.NodeKeys[static_cast<size_t>(row)] = network.Key(vb::Variant(node));
    if (shown) main->CurrentPipeKey = name;
    main->NodeRekeyed(oldKey, network.Key(vb::Variant(node)));
    // The main window's pipe list and tab strip hold the old name: its refresh
    // finds the run out of date and builds it again.
    main->Form_Click();
    return true;
}
