// FLEX: the control's shell (children, properties, persistence, sizing) and
// its in-cell editor (placing, keys, True/False cells, find, scrolling).
#include "controls/flex.h"

#include <algorithm>

#include "platform/runtime/conversions.h"
#include "platform/runtime/errortrap.h"
#include "profile/format.h"

namespace {

constexpr int kCtrl = 2;   // the modifier mask of Ctrl alone

// A cell that reads True or False, in any mix of case.
bool Reads(const std::string& text, const char* word) { return vb::UCase(text) == word; }

}  // namespace

FLEX::FLEX(vb::Container& container)
    : vb::UserControl(container),
      Command3(*this, "Set EXCEL"),
      Command4(*this, "EDIT"),
      Text1(*this),
      Command5(*this, "|"),
      Command10(*this, "|"),
      Command11(*this, ">>"),
      MSFlexGrid1(*this),
      txtEdit(*this),
      mnuedit(*this, "Edit", "mnuedit"),
      mnueditundo(mnuedit, "Undo", "mnueditundo"),
      mnueditbar0(mnuedit, "-", "mnueditbar0"),
      mnueditcut(mnuedit, "Cut", "mnueditcut"),
      mnueditcopy(mnuedit, "Copy", "mnueditcopy"),
      mnueditpaste(mnuedit, "Paste", "mnueditpaste"),
      mnueditdelete(mnuedit, "Delete", "mnueditdelete"),
      mnufun(mnuedit, "Function", "mnufun"),
      mnueditbar1(mnuedit, "-", "mnueditbar1"),
      mnueditinsertrow(mnuedit, "InsertRow", "mnueditinsertrow"),
      mnueditdelrow(mnuedit, "RemoveRow", "mnueditdelrow") {
    Width(7000);
    Height(4000);
    Command4.Move(120, 0, 735, 375);
    Command10.Move(960, 0, 255, 375);
    Text1.Move(1200, 0, 735, 285);
    Text1.Text(" ");
    Command5.Move(1920, 0, 255, 375);
    Command11.Move(2400, 0, 495, 375);
    Command3.Move(4320, 0, 1215, 375);
    MSFlexGrid1.Move(240, 480, Width() - 200, Height() - 500);
    MSFlexGrid1.FixedRows(1);
    MSFlexGrid1.FixedCols(1);
    txtEdit.Move(0, 0, 1215, 285);
    txtEdit.Visible(false);
    // The Edit menu is a pop-up only.
    mnuedit.Visible(false);
    Resize = [this] { UserControl_Resize(); };
    MSFlexGrid1.Click = [this] { MSFlexGrid1_Click(); };
    MSFlexGrid1.MouseDown = [this](int b, int s, float x, float y) { MSFlexGrid1_MouseDown(b, s, x, y); };
    MSFlexGrid1.Scroll = [this] { MSFlexGrid1_Scroll(); };
    txtEdit.KeyDown = [this](int& k, int& s) { txtEdit_KeyDown(k, s); };
    txtEdit.KeyPress = [this](int& k) { txtEdit_KeyPress(k); };
    txtEdit.KeyUp = [this](int& k, int& s) { txtEdit_KeyUp(k, s); };
    txtEdit.DblClick = [this] { txtEdit_DblClick(); };
    Command4.Click = [this] { Command4_Click(); };
    Command10.Click = [this] { Command10_Click(); };
    mnueditundo.Click = [this] { mnueditundo_Click(); };
    mnueditcut.Click = [this] { mnueditcut_Click(); };
    mnueditcopy.Click = [this] { mnueditcopy_Click(); };
    mnueditpaste.Click = [this] { mnueditpaste_Click(); };
    mnueditdelete.Click = [this] { mnueditdelete_Click(); };
    mnufun.Click = [this] { mnufun_Click(); };
    mnueditinsertrow.Click = [this] { mnueditinsertrow_Click(); };
    mnueditdelrow.Click = [this] { mnueditdelrow_Click(); };
}

// --- Properties and persistence ------------------------------------------------------------

void FLEX::AutoRedraw(bool New_AutoRedraw) {
    autoRedraw_ = New_AutoRedraw;
    PropertyChanged("AutoRedraw");
}

void FLEX::Caption(const std::string& New_Caption) {
    caption_ = New_Caption;
    PropertyChanged("Caption");
}

void FLEX::ReadProperties(const vb::PropertyBag& PropBag) {
    autoRedraw_ = vb::CBool(PropBag.ReadProperty("AutoRedraw", vb::Variant(false)));
    caption_ = vb::CStr(PropBag.ReadProperty("Caption", vb::Variant("")));
    ActiveControl = PropBag.ReadProperty("ActiveControl", vb::Variant(vb::ObjectRef()));
}

void FLEX::WriteProperties(vb::PropertyBag& PropBag) const {
    PropBag.WriteProperty("AutoRedraw", vb::Variant(autoRedraw_), vb::Variant(false));
    PropBag.WriteProperty("Caption", vb::Variant(caption_), vb::Variant(""));
    // Its default, none, is omitted like the others' defaults.
    if (!ActiveControl.IsNothing()) PropBag.WriteProperty("ActiveControl", ActiveControl);
}

// --- Sizing -----------------------------------------------------------------------------------

void FLEX::UserControl_Resize() {
    // A control smaller than its buttons' strip leaves the grid with no room
    // rather than a negative size.
    MSFlexGrid1.Height(std::max(0.0, Height() - 500));
    MSFlexGrid1.Width(std::max(0.0, Width() - 200));
}

vb::Variant FLEX::Resize1() {
    if (Height() > 500) MSFlexGrid1.Height(Height() - 500);
    if (Width() > 100) MSFlexGrid1.Width(Width() - 100);
    return vb::Variant();
}

void FLEX::APPLY() {
    if (caption_ != "CONFIG") return;
    for (int r = 1; r <= 5 && r < MSFlexGrid1.Rows(); ++r) vb::MsgBox(MSFlexGrid1.TextMatrix(r, 1));
}

void FLEX::mnufunction() {
    EditCellRow = MSFlexGrid1.Row();
    EditCellCol = MSFlexGrid1.Col();
}

// --- The in-cell editor ----------------------------------------------------------------

void FLEX::PlaceEditor() {
    vb::FlexGrid& g = MSFlexGrid1;
    if (g.Row() >= 1) {
        EditCellRow = g.Row();
        EditCellCol = g.Col();
        EditTopRow = g.TopRow();
        EditLeftCol = g.LeftCol();
        EditStartText = vb::Trim(g.Text());
        txtEdit.Move(g.Left() + g.CellLeft(), g.Top() + g.CellTop(), g.CellWidth());
        txtEdit.Text(EditStartText);
        txtEdit.SelStart(static_cast<int>(vb::Len(EditStartText)));
        g.TextMatrix(EditCellRow, EditCellCol, txtEdit.Text());
        txtEdit.Visible(true);
        txtEdit.Enabled(true);
        txtEdit.ZOrder(vb::vbBringToFront);
        txtEdit.BackColor(AciColor(7));
        txtEdit.SetFocus();
    }
    // A row whose first data column reads False is read-only from column 2 on.
    if (EditCellCol >= 2 && EditCellRow < g.Rows() && g.Cols() > 1 && Reads(g.TextMatrix(EditCellRow, 1), "FALSE")) {
        txtEdit.Enabled(false);
        txtEdit.BackColor(AciColor(2));
    }
}

void FLEX::Commit() {
    if (EditCellRow < MSFlexGrid1.Rows() && EditCellCol < MSFlexGrid1.Cols())
        MSFlexGrid1.TextMatrix(EditCellRow, EditCellCol, txtEdit.Text());
}

void FLEX::MSFlexGrid1_Click() { PlaceEditor(); }

void FLEX::MSFlexGrid1_MouseDown(int Button, int, float, float) {
    if (Button == vb::vbRightButton) PopupMenu(mnuedit);
}

void FLEX::Command4_Click() { PopupMenu(mnuedit, 0, 500, 400); }

void FLEX::txtEdit_KeyDown(int& KeyCode, int& Shift) {
    // A hidden editor stands over no cell: it commits nothing anywhere.
    if (!txtEdit.Visible()) return;
    vb::FlexGrid& g = MSFlexGrid1;
    const int caret = txtEdit.SelStart();
    const bool caretAtEnd = caret >= vb::Len(txtEdit.Text());
    switch (KeyCode) {
    case vb::vbKeyLeft:
        if (g.Col() > 1 && (Shift == kCtrl || caret == 0)) {
            Commit();
            g.Col(g.Col() - 1);
            PlaceEditor();
        }
        break;
    case vb::vbKeyRight:
        if (g.Col() < g.Cols() - 1 && (caretAtEnd || Shift == kCtrl)) {
            Commit();
            g.Col(g.Col() + 1);
            PlaceEditor();
        }
        break;
    case vb::vbKeyUp:
        if (g.Row() > 1) {
            Commit();
            g.Row(g.Row() - 1);
            PlaceEditor();
        }
        break;
    case vb::vbKeyDown:
        // The last row is reached only with the mouse.
        if (g.Row() < g.Rows() - 2) {
            Commit();
            g.Row(g.Row() + 1);
            PlaceEditor();
        }
        break;
    case vb::vbKeyF6:
        if (caption_ == "SEWER") FillGroundLevels();
        break;
    default:
        break;
    }
}

void FLEX::txtEdit_KeyPress(int& KeyAscii) {
    if (!txtEdit.Visible()) return;
    vb::FlexGrid& g = MSFlexGrid1;
    if (KeyAscii == vb::vbKeyEscape) {
        if (txtEdit.Text() != EditStartText) txtEdit.Text(EditStartText);
        KeyAscii = 0;
    } else if (KeyAscii == vb::vbKeyReturn) {
        KeyAscii = 0;
        if (g.Col() < g.Cols() - 1) {
            Commit();
            g.Col(g.Col() + 1);
            PlaceEditor();
        }
    }
}

void FLEX::txtEdit_KeyUp(int&, int&) {
    vb::FlexGrid& g = MSFlexGrid1;
    if (EditCellRow >= g.Rows() || EditCellCol >= g.Cols()) return;
    const std::string cell = g.TextMatrix(EditCellRow, EditCellCol);
    if (Reads(cell, "TRUE")) {
        g.TextMatrix(EditCellRow, EditCellCol, "False");
    } else if (Reads(cell, "FALSE")) {
        g.TextMatrix(EditCellRow, EditCellCol, "True");
    } else {
        return;
    }
    txtEdit.Text(g.TextMatrix(EditCellRow, EditCellCol));
}

void FLEX::txtEdit_DblClick() {
    int key = vb::vbKeySpace, shift = 0;
    txtEdit_KeyUp(key, shift);
}

void FLEX::Command10_Click() {
    vb::FlexGrid& g = MSFlexGrid1;
    const std::string wanted = vb::UCase(vb::Trim(Text1.Text()));
    vb::ErrorTrap trap;
    for (int r = 0; r < g.Rows(); ++r) {
        if (vb::UCase(vb::Trim(g.TextMatrix(r, g.Col()))) != wanted) continue;
        vb::resumeNext(trap, [&] { g.Row(r); });
        vb::resumeNext(trap, [&] {
            if (r + 1 >= g.Rows() || !g.RowIsVisible(r + 1)) HideEditor();
        });
        vb::resumeNext(trap, [&] { PlaceEditor(); });
        return;
    }
}

void FLEX::MSFlexGrid1_Scroll() {
    vb::FlexGrid& g = MSFlexGrid1;
    if (!g.RowIsVisible(g.Row()) || !g.ColIsVisible(g.Col())) {
        HideEditor();
    } else if (EditTopRow == g.TopRow() + 1) {
        // One row towards the top: the editor stays only while the row below
        // the current one is in view (the last row has none, so it hides).
        if (g.Row() < g.Rows() - 1 && g.RowIsVisible(g.Row() + 1)) PlaceEditor();
        else HideEditor();
    } else if (EditLeftCol == g.LeftCol() + 1) {
        if (g.Col() < g.Cols() - 1 && g.ColIsVisible(g.Col() + 1)) PlaceEditor();
        else HideEditor();
    } else {
        PlaceEditor();
    }
}
