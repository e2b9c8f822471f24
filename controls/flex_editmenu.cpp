// FLEX's Edit menu: undo, cut, copy, paste, delete, and inserting and
// removing rows, with the rolling undo buffer of the recorded selections.
#include <algorithm>

#include "controls/flex.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/errortrap.h"

namespace {

// The selection's rectangle, ordered.
struct Rect {
    int r0, r1, c0, c1;
};
Rect Selection(const vb::FlexGrid& g) {
    return {std::min(g.Row(), g.RowSel()), std::max(g.Row(), g.RowSel()), std::min(g.Col(), g.ColSel()),
            std::max(g.Col(), g.ColSel())};
}

// Text from another program uses LF or CR LF line ends, often with a line
// end after the last row; the grid's text form separates rows by CR alone.
std::string GridText(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i] == '\n' ? '\r' : text[i];
    }
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return out;
}

}  // namespace

void FLEX::MakeUndoBuffer(const std::string& UndoName) {
    if (UndoName != "Cut") return;
    vb::FlexGrid& g = MSFlexGrid1;
    const Rect s = Selection(g);
    UndoEntry entry;
    for (int r = s.r0; r <= s.r1; ++r) {
        for (int c = s.c0; c <= s.c1; ++c) entry.ClipText += g.TextMatrix(r, c) + "\t";
        entry.ClipText += "\r";
    }
    entry.ActionName = "Cut";
    entry.StartRow = g.Row();
    entry.StartCol = g.Col();
    entry.EndRow = g.RowSel();
    entry.EndCol = g.ColSel();
    if (UndoBuffer.empty()) UndoBuffer.resize(1);
    // A full buffer drops its oldest record.
    if (static_cast<int>(UndoBuffer.size()) - 1 >= UndoDepth && UndoBuffer.size() > 1)
        UndoBuffer.erase(UndoBuffer.begin() + 1);
    UndoBuffer.push_back(std::move(entry));
}

void FLEX::mnueditundo_Click() {
    if (UndoBuffer.size() <= 1) return;
    vb::FlexGrid& g = MSFlexGrid1;
    const UndoEntry& last = UndoBuffer.back();
    // A record whose cells a later row removal took away cannot be put back
    // whole; it is left in the buffer and nothing changes.
    const int lastRow = std::max(last.StartRow, last.EndRow), lastCol = std::max(last.StartCol, last.EndCol);
    if (std::min(last.StartRow, last.EndRow) < 0 || std::min(last.StartCol, last.EndCol) < 0 || lastRow >= g.Rows() ||
        lastCol >= g.Cols())
        return;
    const int row = g.Row(), col = g.Col(), top = g.TopRow();
    g.Row(last.StartRow);
    g.Col(last.StartCol);
    g.ColSel(last.EndCol);
    g.RowSel(last.EndRow);
    g.Clip(last.ClipText);
    UndoBuffer.pop_back();
    g.Row(row);
    g.Col(col);
    g.TopRow(top);
    g.Visible(true);
}

void FLEX::mnueditcopy_Click() {
    vb::FlexGrid& g = MSFlexGrid1;
    vb::Clipboard.Clear();
    if (UndoBuffer.empty()) UndoBuffer.resize(1);
    UndoEntry& shape = UndoBuffer[0];
    shape.StartRow = g.Row();
    shape.StartCol = g.Col();
    shape.EndRow = g.RowSel();
    shape.EndCol = g.ColSel();
    vb::Clipboard.SetText("Copy" + g.Clip());
}

void FLEX::EmptySelection() {
    vb::FlexGrid& g = MSFlexGrid1;
    const Rect s = Selection(g);
    for (int r = s.r0; r <= s.r1; ++r)
        for (int c = s.c0; c <= s.c1; ++c) g.TextMatrix(r, c, "");
}

void FLEX::mnueditcut_Click() {
    mnueditcopy_Click();
    MakeUndoBuffer("Cut");
    EmptySelection();
}

void FLEX::mnueditdelete_Click() {
    MakeUndoBuffer("Cut");
    EmptySelection();
    MakeUndoBuffer("Delete");
}

void FLEX::mnueditpaste_Click() {
    std::string text = vb::Clipboard.GetText();
    if (text.empty()) return;
    vb::FlexGrid& g = MSFlexGrid1;
    if (text.rfind("Copy", 0) == 0) {
        // Our own copy: the paste takes the copied range's shape from the
        // current cell, cut at the grid's last row and column.
        text.erase(0, 4);
        const UndoEntry& shape = UndoBuffer.empty() ? UndoEntry{} : UndoBuffer[0];
        g.ColSel(std::min(g.Col() + (shape.EndCol - shape.StartCol), g.Cols() - 1));
        g.RowSel(std::min(g.Row() + (shape.EndRow - shape.StartRow), g.Rows() - 1));
    }
    MakeUndoBuffer("Cut");
    g.Clip(GridText(text));
    MakeUndoBuffer("Paste");
}

void FLEX::mnueditinsertrow_Click() {
    vb::FlexGrid& g = MSFlexGrid1;
    vb::ErrorTrap trap;
    vb::resumeNext(trap, [&] {
        if (g.Row() + 1 == g.Rows()) g.AddItem("");
        else g.AddItem("", g.Row());
    });
    for (int r = 1; r < g.Rows(); ++r) vb::resumeNext(trap, [&] { g.TextMatrix(r, 0, std::to_string(r)); });
    MakeUndoBuffer("Insert Row");
}

void FLEX::mnueditdelrow_Click() {
    EditCellRow = 1;
    EditCellCol = 1;
    HideEditor();
    if (MSFlexGrid1.Rows() >= 3) MSFlexGrid1.RemoveItem(MSFlexGrid1.Row());
    MakeUndoBuffer("Remove Row");
}

void FLEX::mnufun_Click() { HideEditor(); }
