// The column-mapped workbook import: the user ticks the pipe fields to
// import and gives each its sheet column; the chosen workbook is read in a
// private workbook program and each data row (from row 2 to the first empty
// first cell) becomes a record of SewerArray.  The grid echoes the imported
// upstream manholes under the sheet's header row.
#pragma once

#include "platform/ui/ui.h"

class Form4 : public vb::Form {
public:
    Form4();

    vb::Frame Frame2{*this, "Import  XLS"};
    vb::ControlArray<vb::Label> Labl10{Frame2, {0, 2}};
    vb::ControlArray<vb::CheckBox> Check1{Frame2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}};
    vb::ControlArray<vb::TextBox> Text5{Frame2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}};
    // The description beside each field's column box.
    vb::ControlArray<vb::Label> FieldLabel{Frame2, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}};
    vb::Label StartRowCaption{Frame2, "Start import at row :"};
    vb::TextBox Text3{Frame2};
    vb::Label StartTextCaption{Frame2, "Start text at :"};
    vb::TextBox Text4{Frame2};
    vb::CommandButton Command5{Frame2, "Import"};
    vb::CommandButton Command15{Frame2, "Close"};
    vb::ControlArray<vb::CommandButton> Command2{Frame2, {1}};   // "Open", no action
    vb::CommandButton Command20{Frame2, "Import"};                // no action
    vb::CommandButton Command16{Frame2, "Save Setting"};          // no action
    vb::FlexGrid MSFlexGrid1{*this};
    vb::CommonDialog CommonDialog2{*this};

    // The import.
    void Command5_Click();
    // Unloads the window.
    void Command15_Click();
};

// The window of the process, created on first use.
Form4& Form4Window();
