// The pipe grid of the main window: one property of the current pipe per row,
// edited in place by the text box txtEdit laid over the value cell.
#include <cmath>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "profile/format.h"
#include "profileedit/grid_value.h"

namespace {

std::string Fixed(float value, int16_t decimals) { return vb::CStr(FormatFixed(vb::Variant(value), decimals)); }

// The property each value row shows.
constexpr PipeField kPipeGridFields[10] = {
    PipeField::None,   PipeField::Qd,         PipeField::Dia,      PipeField::Slope,    PipeField::MinCover,
    PipeField::Length, PipeField::FromGround, PipeField::FromInvert, PipeField::ToGround, PipeField::ToInvert};

// The number a user typed into a value row when the row accepts it.  The
// whole text must be one number ("1,5" or "12a" is refused rather than read
// as 1 or 12).  A cell emptied by typing is refused in every row: rows 7 to 9
// show a stored 0 as empty, but a typed level must be one the user wrote
// down, as an empty downstream ground taken as 0 drops the profile far below
// its neighbours.  A cell left as shown commits the stored value instead.
std::optional<double> AcceptedPipeGridValue(int row, std::string_view text) {
    double v = 0;
    if (vb::Trim(text).empty() || !vb::ParseNumericText(text, v) || !std::isfinite(v)) return std::nullopt;
    if (row == 2) v = vb::RoundHalfEven(v);   // the record keeps whole millimetres
    if (!InAcceptedRange(kPipeGridFields[row], v)) return std::nullopt;
    return v;
}

// The stored value a row shows.
double StoredPipeField(const model::Sewer& s, int row) {
    switch (kPipeGridFields[row]) {
        case PipeField::Qd: return s.qd;
        case PipeField::Dia: return s.dia;
        case PipeField::Slope: return s.slope;
        case PipeField::MinCover: return s.mincover;
        case PipeField::Length: return s.l;
        case PipeField::FromGround: return s.felv;
        case PipeField::FromInvert: return s.finv;
        case PipeField::ToGround: return s.telv;
        case PipeField::ToInvert: return s.tinv;
        case PipeField::None: break;
    }
    return 0;
}

// The text a value row shows for a record.
std::string PipeGridCellText(const model::Sewer& s, int row) {
    switch (row) {
        case 1: return vb::SingleToText(s.qd);
        case 2: return std::to_string(s.dia);
        case 3: return Fixed(s.slope, 4);
        case 4:
        case 5: return Fixed(static_cast<float>(StoredPipeField(s, row)), 2);
        case 6: return Fixed(s.felv, 3);
        default: {
            const float v = static_cast<float>(StoredPipeField(s, row));
            return v != 0 ? Fixed(v, 3) : std::string();
        }
    }
}
}  // namespace

void Form1::se_selupdate() {
    const bool wasBusy = pipeGridBusy_;
    pipeGridBusy_ = true;
    bool filled = false;
    vb::Guarded([&] {
        MSHFlexGrid2.Cols(2);
        MSHFlexGrid2.Rows(10);
        MSHFlexGrid2.ColWidth(0, 900);
        MSHFlexGrid2.ColWidth(1, 1000);
        MSHFlexGrid2.TextMatrix(0, 0, CurrentPipeKey);
        MSHFlexGrid2.TextMatrix(0, 1, "From");
        for (int r = 1; r <= 9; ++r) MSHFlexGrid2.TextMatrix(r, 0, PipeFieldTitle(kPipeGridFields[r]));
        for (bool& edited : pipeGridEdited_) edited = false;
        if (CurrentPipeKey.empty()) return;
        auto s = NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey);
        if (!s) return;
        for (int r = 1; r <= 9; ++r) MSHFlexGrid2.TextMatrix(r, 1, PipeGridCellText(*s, r));
        filled = true;
    });
    pipeGridBusy_ = wasBusy;
    // The read-out belongs to the pipe now shown; without one (no key, or a
    // key whose pipe is gone) the cells still hold another pipe's texts, and
    // the read-out stays empty.
    ClearPipeReadout();
    if (filled) qrate();
}

void Form1::ClearPipeReadout() {
    Label32.Caption("Qd/Qf=");
    Label33.Caption("H/D= ");
    Label34.Caption("Vful=");
    Label35.Caption("Vd= ");
}

std::optional<double> Form1::TypedPipeGridValue(int row) {
    const std::optional<double> v = AcceptedPipeGridValue(row, MSHFlexGrid2.TextMatrix(row, 1));
    if (v) return v;
    if (auto s = NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey)) {
        MSHFlexGrid2.TextMatrix(row, 1, PipeGridCellText(*s, row));
    }
    vb::MsgBox(RangeMessage(PipeFieldTitle(kPipeGridFields[row]), kPipeGridFields[row], "the value is left as it was."),
               vb::vbOKOnly | vb::vbExclamation);
    return std::nullopt;
}

void Form1::updatedata(int /*Row*/, int /*Col*/) {
    if (CurrentPipeIndex == 0) return;
    auto s = NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey);
    if (!s) return;
    for (int r = 1; r <= 9; ++r) {
        if (!pipeGridEdited_[r]) continue;
        pipeGridEdited_[r] = false;
        if (const auto v = TypedPipeGridValue(r)) StorePipeField(*s, kPipeGridFields[r], *v);
    }
}

void Form1::OpenPipeGridEditor() {
    if (EditRow > 0) updatedata(EditRow, 1);
    EditRow = static_cast<int16_t>(MSHFlexGrid2.Row());
    pipeEditorRow_ = MSHFlexGrid2.Row();
    pipeEditorCol_ = MSHFlexGrid2.Col();
    EditOldText = MSHFlexGrid2.Text();
    pipeGridBusy_ = true;
    txtEdit.Text(EditOldText);
    txtEdit.Move(MSHFlexGrid2.CellLeft() + 30, MSHFlexGrid2.CellTop() + 230, MSHFlexGrid2.CellWidth() - 30,
                 MSHFlexGrid2.CellHeight() - 10);
    txtEdit.Visible(true);
    txtEdit.ZOrder(vb::vbBringToFront);
    txtEdit.SelStart(0);
    txtEdit.SelLength(static_cast<int>(vb::Len(EditOldText)));
    pipeGridBusy_ = false;
    txtEdit.SetFocus();
}

void Form1::MSHFlexGrid2_Click() { OpenPipeGridEditor(); }

void Form1::MSHFlexGrid2_EnterCell() {
    if (pipeGridBusy_) return;
    OpenPipeGridEditor();
}

void Form1::MSHFlexGrid2_KeyPress(int& KeyAscii) {
    if (KeyAscii != vb::vbKeyReturn) return;
    // The editor's text belongs to the cell it was opened on; it is put back
    // only there.
    if (MSHFlexGrid2.Row() == pipeEditorRow_ && MSHFlexGrid2.Col() == pipeEditorCol_) {
        const std::string text = txtEdit.Text();
        if (text != MSHFlexGrid2.TextMatrix(MSHFlexGrid2.Row(), MSHFlexGrid2.Col()) && MSHFlexGrid2.Col() == 1) {
            pipeGridEdited_[MSHFlexGrid2.Row()] = true;
        }
        MSHFlexGrid2.TextMatrix(MSHFlexGrid2.Row(), MSHFlexGrid2.Col(), text);
    }
    MSHFlexGrid2_Click();
    draw();
}

void Form1::txtEdit_Change() {
    if (pipeGridBusy_ || !txtEdit.Visible()) return;
    const std::string text = txtEdit.Text();
    MSHFlexGrid2.Text(text);
    const int row = MSHFlexGrid2.Row();
    if (MSHFlexGrid2.Col() == 1 && row >= 1 && row <= 9) pipeGridEdited_[row] = true;
}

bool Form1::StepGridCell(vb::FlexGrid& grid, int keyCode) {
    switch (keyCode) {
        case vb::vbKeyLeft:
            if (grid.Col() > 1) { grid.Col(grid.Col() - 1); return true; }
            return false;
        case vb::vbKeyUp:
            if (grid.Row() > 1) { grid.Row(grid.Row() - 1); return true; }
            return false;
        case vb::vbKeyRight:
            if (grid.Col() < grid.Cols() - 1) { grid.Col(grid.Col() + 1); return true; }
            return false;
        case vb::vbKeyDown:
            if (grid.Row() < grid.Rows() - 1) { grid.Row(grid.Row() + 1); return true; }
            return false;
        default:
            return false;
    }
}

void Form1::txtEdit_KeyDown(int& KeyCode, int& /*Shift*/) {
    switch (KeyCode) {
        case vb::vbKeyReturn:
            CommitPipeGridEdit(true);
            break;
        case vb::vbKeyEscape:
            pipeGridBusy_ = true;
            MSHFlexGrid2.Text(EditOldText);
            if (MSHFlexGrid2.Row() >= 1 && MSHFlexGrid2.Row() <= 9) pipeGridEdited_[MSHFlexGrid2.Row()] = false;
            txtEdit.Visible(false);
            MSHFlexGrid2.SetFocus();
            pipeGridBusy_ = false;
            break;
        case vb::vbKeyLeft:
        case vb::vbKeyUp:
        case vb::vbKeyRight:
        case vb::vbKeyDown: {
            MSHFlexGrid2.TextMatrix(MSHFlexGrid2.Row(), MSHFlexGrid2.Col(), txtEdit.Text());
            pipeGridBusy_ = true;
            const bool moved = StepGridCell(MSHFlexGrid2, KeyCode);
            pipeGridBusy_ = false;
            if (moved) MSHFlexGrid2_Click();
            KeyCode = 0;
            break;
        }
        default:
            break;
    }
}

void Form1::GridEditorKeyPress(vb::FlexGrid& grid, vb::TextBox& editor, bool& busy, void (Form1::*reopen)(),
                               int& KeyAscii) {
    if (KeyAscii == vb::vbKeyEscape) {
        if (editor.Text() != EditOldText) {
            busy = true;
            editor.Text(EditOldText);
            busy = false;
        }
        KeyAscii = 0;
    } else if (KeyAscii == vb::vbKeyReturn) {
        if (grid.Col() < grid.Cols() - 1) {
            grid.Text(editor.Text());
            grid.RowSel(grid.Rows() - 1);
            busy = true;
            grid.Col(grid.Col() + 1);
            busy = false;
            (this->*reopen)();
        }
        KeyAscii = 0;
    }
}

void Form1::txtEdit_KeyPress(int& KeyAscii) {
    GridEditorKeyPress(MSHFlexGrid2, txtEdit, pipeGridBusy_, &Form1::MSHFlexGrid2_Click, KeyAscii);
}

void Form1::txtEdit_LostFocus() {
    // Enter and Esc hide the editor themselves; a click on a cell of this grid
    // reopens the editor there (writing the row back); leaving for any other
    // control commits as Enter does.
    if (pipeGridBusy_ || !txtEdit.Visible()) return;
    if (vb::ActiveControl() == &MSHFlexGrid2) return;
    CommitPipeGridEdit(false);
}

void Form1::CommitPipeGridEdit(bool refocusGrid) {
    pipeGridBusy_ = true;
    txtEdit.Visible(false);
    if (refocusGrid) MSHFlexGrid2.SetFocus();
    pipeGridBusy_ = false;

    const int row = EditRow;
    if (row < 1 || row > 9) return;
    // A typed value is checked first: a refused one is reported, the cell
    // shows the stored value again and nothing is stored or refreshed.  A
    // cell left as shown holds the display rounding of the stored value, so
    // the stored value itself is what goes on.
    const bool typed = pipeGridEdited_[row];
    pipeGridEdited_[row] = false;
    std::optional<double> value;
    if (typed) {
        value = TypedPipeGridValue(row);
        if (!value) return;
    } else if (auto shown = NodeRecordByKey(myCol.get(), "Obj" + CurrentPipeKey)) {
        value = StoredPipeField(*shown, row);
    }

    // Rows 1 to 6 go into every pipe marked on the pipes' strip.
    if (row <= 6) {
        const vb::Variant marks = UserControl12.TABB();
        const int32_t upper = marks.IsArray() ? marks.UBound() : 0;
        for (int32_t i = 1; i <= upper; ++i) {
            const vb::Variant m = marks.Element(i);
            if (!(m.IsNumeric() && vb::CDbl(m) == 1)) continue;
            auto s = RunRecord(i);
            if (!s) continue;
            if (value) StorePipeField(*s, kPipeGridFields[row], *value);
            if (row <= 3) qrate();
            if (row == 6 && value) {
                s->telv = static_cast<float>(static_cast<double>(s->felv) - static_cast<double>(s->slope) * s->l);
                s->finv = static_cast<float>(static_cast<double>(s->felv) - s->mincover - s->dia / 1000.0);
                s->tinv = static_cast<float>(static_cast<double>(s->finv) - static_cast<double>(s->slope) * s->l);
            }
        }
    }
    if (CurrentPipeIndex == 0) return;
    // Rows 6 to 9 are stored as typed into the current pipe.
    if (value && row >= 6) {
        if (auto s = RunRecord(CurrentPipeIndex)) StorePipeField(*s, kPipeGridFields[row], *value);
    }
    Form_Click();
}
