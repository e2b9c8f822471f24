// The second pipe grid (pipe-data panel of the canvas): the current lateral's
// own record, edited in place by the text box TxtEdit1.
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "profileedit/grid_value.h"

void Form1::updatedata1(int Row, int /*Col*/) {
    auto s = NodeRecordByKey(myCol.get(), "Obj" + CurrentLateralName);
    if (!s) return;
    // Each row goes into the property its title names; "Qdesign" and
    // "Mincover" are not written from this grid.  A number too large for the
    // record's fields is not stored.
    static constexpr PipeField kFields[10] = {
        PipeField::None,       PipeField::None,       PipeField::Dia,      PipeField::Slope,    PipeField::None,
        PipeField::FromGround, PipeField::FromInvert, PipeField::ToGround, PipeField::ToInvert, PipeField::Length};
    const std::optional<double> v = PipeFieldNumber(MSHFlexGrid3.TextMatrix(Row, 1));
    if (v && Row >= 0 && Row <= 9) StorePipeField(*s, kFields[Row], *v);
}

void Form1::MSHFlexGrid3_Click() {
    if (EditRow > 0 && EditRow < MSHFlexGrid3.Rows()) updatedata1(EditRow, 1);
    EditRow = static_cast<int16_t>(MSHFlexGrid3.Row());
    secondEditorRow_ = MSHFlexGrid3.Row();
    secondEditorCol_ = MSHFlexGrid3.Col();
    CurrentLateralName = MSHFlexGrid3.TextMatrix(0, 0);
    EditOldText = MSHFlexGrid3.Text();
    secondGridBusy_ = true;
    TxtEdit1.Text(EditOldText);
    TxtEdit1.Move(MSHFlexGrid3.CellLeft() + 100, MSHFlexGrid3.CellTop() + 100, MSHFlexGrid3.CellWidth(),
                  MSHFlexGrid3.CellHeight());
    TxtEdit1.SelStart(0);
    TxtEdit1.SelLength(static_cast<int>(vb::Len(EditOldText)));
    TxtEdit1.Visible(true);
    TxtEdit1.ZOrder(vb::vbBringToFront);
    secondGridBusy_ = false;
    TxtEdit1.SetFocus();
    updatedata1(EditRow, 1);
}

void Form1::MSHFlexGrid3_KeyPress(int& /*KeyAscii*/) {
    // The editor's text goes back only into the cell it was opened on.
    if (MSHFlexGrid3.Row() == secondEditorRow_ && MSHFlexGrid3.Col() == secondEditorCol_) {
        MSHFlexGrid3.TextMatrix(MSHFlexGrid3.Row(), MSHFlexGrid3.Col(), TxtEdit1.Text());
    }
    MSHFlexGrid3_Click();
}

void Form1::TxtEdit1_Change() {
    if (secondGridBusy_) return;
    MSHFlexGrid3.Text(TxtEdit1.Text());
}

void Form1::TxtEdit1_KeyDown(int& KeyCode, int& /*Shift*/) {
    switch (KeyCode) {
        case vb::vbKeyReturn:
            secondGridBusy_ = true;
            TxtEdit1.Visible(false);
            secondGridBusy_ = false;
            break;
        case vb::vbKeyEscape:
            secondGridBusy_ = true;
            MSHFlexGrid3.Text(EditOldText);
            TxtEdit1.Visible(false);
            MSHFlexGrid3.SetFocus();
            secondGridBusy_ = false;
            break;
        case vb::vbKeyLeft:
        case vb::vbKeyUp:
        case vb::vbKeyRight:
        case vb::vbKeyDown: {
            MSHFlexGrid3.TextMatrix(MSHFlexGrid3.Row(), MSHFlexGrid3.Col(), TxtEdit1.Text());
            if (StepGridCell(MSHFlexGrid3, KeyCode)) MSHFlexGrid3_Click();
            KeyCode = 0;
            break;
        }
        default:
            break;
    }
}

void Form1::TxtEdit1_KeyPress(int& KeyAscii) {
    GridEditorKeyPress(MSHFlexGrid3, TxtEdit1, secondGridBusy_, &Form1::MSHFlexGrid3_Click, KeyAscii);
}

void Form1::TxtEdit1_LostFocus() {
    if (secondGridBusy_ || !TxtEdit1.Visible()) return;
    // Leaving the editor hides it, as Enter does.
    secondGridBusy_ = true;
    TxtEdit1.Visible(false);
    secondGridBusy_ = false;
}
