#include "mainwindow/form2.h"

namespace {
const char* const kCreditLine1 = "Sewer network design: laterals, pipes and longitudinal profiles.";
const char* const kCreditLine2 = "Profiles drawn on screen and written as DXF drawings.";
}  // namespace

Form2::Form2() : vb::Form("Form2"), Label1(*this), Command1(*this, "O&K") {
    Caption("About ListView Sample");
    Width(6600);
    Height(2250);
    Label1.Name("Label1");
    Label1.Move(240, 120, 6075, 675);
    Label1.WordWrap(true);
    Command1.Name("Command1");
    Command1.Move(1320, 1440, 975, 315);
    Command1.Default(true);
    Command1.Click = [this] { Command1_Click(); };
}

void Form2::Form_Load() {
    Left((vb::Screen.Width() - Width()) / 2);
    Top((vb::Screen.Height() - Height()) / 2);
    Label1.Caption(std::string(kCreditLine1) + "\r\n" + kCreditLine2);
}

void Form2::Command1_Click() { Unload(); }

Form2& Form2Window() {
    static Form2* window = new Form2();
    return *window;
}
