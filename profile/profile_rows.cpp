// The two lists of profile rows beside the profile (List4 the shown rows,
// List3 the hidden ones) and the buttons that reorder, hide and show rows.
// Every change is written to the profile-row file at once.
#include <string>

#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"
#include "profile/profile_config.h"

void Form1::WireProfileRows() {
    Command16.Click = [this] { Command16_Click(); };
    Command1.Click = [this] { Command1_Click(); };
    Command20.Click = [this] { Command20_Click(); };
    Command21.Click = [this] { Command21_Click(); };
    List4.Click = [this] { List4_Click(); };
    List4.GotFocus = [this] { List4_GotFocus(); };
    List4.LostFocus = [this] { List4_LostFocus(); };
}

void Form1::SaveProfileRows() {
    try {
        WriteProfileConfig();
    } catch (const vb::VbError& e) {
        // The change stays in memory; the file keeps its previous rows.
        vb::MsgBox("The profile rows could not be saved to " + ProfileConfigPath + ": " +
                   e.Description());
    }
}

void Form1::MoveShownProfileRow(int step) {
    ProfileRowTable[0].Label = "";
    const int k = List4.ListIndex();
    if (k < 0) return;   // nothing selected
    const int other = k + step;
    if (other < 0 || other >= List4.ListCount()) return;   // first item up, last item down
    if (!ExchangeProfileRows(List4.List(k), List4.List(other))) return;
    List4.Clear();
    for (const std::string& label : ProfileRowLabelList(true)) List4.AddItem(label);
    List4.ListIndex(other);
    SaveProfileRows();
}

void Form1::Command16_Click() { MoveShownProfileRow(-1); }

void Form1::Command1_Click() { MoveShownProfileRow(+1); }

void Form1::SetSelectedProfileRowShown(bool show) {
    vb::ListBox& from = show ? List3 : List4;
    vb::ListBox& to = show ? List4 : List3;
    const int selected = from.ListIndex();
    if (selected < 0) return;
    // The selected item stands for one row of its list: the first one of that
    // name.  Only that row moves, so that a second row of the same name (a
    // file may hold one) stays where it is and the lists keep matching the rows.
    const int r = FindProfileRow(from.List(selected), !show);
    if (r != 0) {
        ProfileRowRecord& row = ProfileRowTable[r];
        row.Visible = show;
        from.RemoveItem(selected);
        to.AddItem(row.Label.Text());
        if (show) List4.ListIndex(List4.NewIndex());
        List3.ListIndex(-1);
    }
    SaveProfileRows();
}

void Form1::Command20_Click() { SetSelectedProfileRowShown(false); }

void Form1::Command21_Click() { SetSelectedProfileRowShown(true); }

void Form1::List4_Click() {
    // Back to the view of the table area.
    ProfileOffsetX = 80;
    ProfileOffsetY = 10;
    Picture1.ScaleWidth(160);
    Picture1.ScaleHeight(150);
    draw();
}

void Form1::List4_GotFocus() {}

void Form1::List4_LostFocus() {
    if (List2.ListIndex() == -1) MSHFlexGrid2.Clear();
}
