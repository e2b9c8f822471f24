// FLEX: an editable table.  A grid with a text box laid over its current cell
// as the editor, a find box, an "EDIT" button and a pop-up Edit menu with a
// rolling undo buffer.  Its Caption chooses the table it knows: "CONFIG", the
// rows of the profile table, or "SEWER", the pipes of a lateral.  The tables
// are views: nothing the control does writes back into the profile rows or
// the pipes.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/runtime/propertybag.h"
#include "platform/runtime/variant.h"
#include "platform/ui/ui.h"

// One recorded selection of the undo buffer.
struct UndoEntry {
    std::string ClipText;     // every cell followed by a tab, every row by a CR
    std::string ActionName;   // always "Cut"
    int32_t StartRow = 0, StartCol = 0;   // Row and Col at recording
    int32_t EndRow = 0, EndCol = 0;       // RowSel and ColSel at recording
};

class FLEX : public vb::UserControl {
public:
    explicit FLEX(vb::Container& container);

    // --- Children (declared in their tab order) -----------------------------------------
    vb::CommandButton Command3;    // "Set EXCEL": no action
    vb::CommandButton Command4;    // "EDIT": opens the Edit menu
    vb::TextBox Text1;             // the text to find
    vb::CommandButton Command5;    // "|": no action
    vb::CommandButton Command10;   // "|": find in the current column
    vb::CommandButton Command11;   // ">>": no action
    vb::FlexGrid MSFlexGrid1;
    vb::TextBox txtEdit;           // the in-cell editor
    vb::Menu mnuedit;
    vb::Menu mnueditundo;
    vb::Menu mnueditbar0;
    vb::Menu mnueditcut;
    vb::Menu mnueditcopy;
    vb::Menu mnueditpaste;
    vb::Menu mnueditdelete;
    vb::Menu mnufun;
    vb::Menu mnueditbar1;
    vb::Menu mnueditinsertrow;
    vb::Menu mnueditdelrow;

    // --- State ---------------------------------------------------------------------------
    // The cell the editor was last placed on (every commit writes there), the
    // grid's first visible row and column then, and the cell's text then.
    int32_t EditCellRow = 0;
    int32_t EditCellCol = 0;
    int32_t EditTopRow = 0;
    int32_t EditLeftCol = 0;
    std::string EditStartText;
    // Entry 0 holds the shape of the last copy; recorded changes follow it.
    std::vector<UndoEntry> UndoBuffer{1};
    int16_t UndoDepth = 10;

    // --- Public members -------------------------------------------------------------------
    void mnufunction();
    void mnuconfig();
    void MakeUndoBuffer(const std::string& UndoName = "");
    void frm7upDATE() {}
    void TXTUPDATE() {}
    bool AutoRedraw() const { return autoRedraw_; }
    void AutoRedraw(bool New_AutoRedraw);
    const std::string& Caption() const { return caption_; }
    void Caption(const std::string& New_Caption);
    bool CanPropertyChange(const std::string&) const { return false; }
    void APPLY();
    vb::Variant Resize1();
    // Fills the pipe table from the pipes named in maa(1 .. RunCount), keys or
    // node indices of the main window's network.  lln is not used.
    void mnusewer(const vb::Variant& lln, const vb::Variant& maa);

    // --- Persistence ----------------------------------------------------------------------
    void ReadProperties(const vb::PropertyBag& PropBag);
    void WriteProperties(vb::PropertyBag& PropBag) const;
    // Names of the persisted properties changed since creation.
    const std::set<std::string>& ChangedProperties() const { return changed_; }
    vb::Variant ActiveControl{vb::ObjectRef()};

    // --- Handlers -------------------------------------------------------------------------
    void UserControl_Resize();
    void MSFlexGrid1_Click();
    void MSFlexGrid1_MouseDown(int Button, int Shift, float X, float Y);
    void MSFlexGrid1_Scroll();
    void txtEdit_KeyDown(int& KeyCode, int& Shift);
    void txtEdit_KeyPress(int& KeyAscii);
    void txtEdit_KeyUp(int& KeyCode, int& Shift);
    void txtEdit_DblClick();
    void Command4_Click();
    void Command10_Click();
    void mnueditundo_Click();
    void mnueditcut_Click();
    void mnueditcopy_Click();
    void mnueditpaste_Click();
    void mnueditdelete_Click();
    void mnufun_Click();
    void mnueditinsertrow_Click();
    void mnueditdelrow_Click();

    // The ground-level fill of the pipe table (F6 in "SEWER" mode).
    void FillGroundLevels();

private:
    // Lays the editor over the grid's current cell and applies the read-only
    // rule of a row whose first data column reads False.
    void PlaceEditor();
    void HideEditor() { txtEdit.Visible(false); }
    // The editor's text into the cell it was placed on.
    void Commit();
    // Hides and clears the grid before a table is built into it.
    void StartTable();
    // Alignment of every column, a fresh undo buffer, the grid shown.
    void FinishTable();
    // The selection's cells made empty.
    void EmptySelection();
    void PropertyChanged(const std::string& name) { changed_.insert(name); }

    bool autoRedraw_ = false;
    std::string caption_;
    std::set<std::string> changed_;
};
