#include "controls/usercontrol3.h"

#include "platform/runtime/conversions.h"

std::string SpinnerText(double v) { return vb::NumberToText(v); }

UserControl3::UserControl3(vb::Container& container)
    : vb::UserControl(container),
      kep(*this),
      VScroll1(*this),
      Text1(*this),
      VScroll2(*this),
      Command1(*this, "Ok"),
      Command2(*this, "Cl") {
    VScroll1.Name("VScroll1");
    Text1.Name("Text1");
    VScroll2.Name("VScroll2");
    Command1.Name("Command1");
    Command2.Name("Command2");
    Width(1410);
    Height(555);

    vb::PictureBox& back = kep(0);
    back.Name("kep");
    back.BorderStyle(0);
    back.Move(0, 0, Width(), Height());
    back.ZOrder(vb::vbSendToBack);

    for (vb::VScrollBar* bar : {&VScroll1, &VScroll2}) {
        bar->Min(0);
        bar->Max(1000);
        bar->SmallChange(1);
        bar->LargeChange(1);
        bar->Value(100);
        bar->TabStop(false);
    }
    VScroll1.Move(0, 0, 255, 375);
    Text1.Move(240, 0, 615, 325);
    VScroll2.Move(840, 0, 255, 375);
    Command1.Move(0, 340, 510, 192);
    Command2.Move(567, 340, 567, 192);
    VScroll1.ZOrder(vb::vbBringToFront);   // the coarse bar lies over the box's left edge
    Command1.FontSize(7);
    Command2.FontSize(7);

    VScroll1.Change = [this] { VScroll1_Change(); };
    VScroll2.Change = [this] { VScroll2_Change(); };
    Command1.Click = [this] { Command1_Click(); };
    Command2.Click = [this] { Command2_Click(); };
    kep.MouseDown = [this](int, int b, int s, float x, float y) { UserControl_MouseDown(b, s, x, y); };
    Resize = [this] { UserControl_Resize(); };

    previous_ = 100;
    Text1.Text(SpinnerText(committed_));
}

void UserControl3::ivalue(double v) { Text1.Text(SpinnerText(v)); }

void UserControl3::UserControl_MouseDown(int, int, float, float) {}

// A step of one bar: the number moves against the bar's position (a vertical
// bar grows downwards, so its upper arrow raises the number), and the other
// bar follows, so that both always show one shared position.
void UserControl3::Step(vb::VScrollBar& moved, vb::VScrollBar& other, double divisor) {
    const double x = vb::Val(Text1.Text());
    const int position = moved.Value();
    Text1.Text(SpinnerText(x - (position - previous_) / divisor));
    previous_ = static_cast<int16_t>(position);
    other.Value(position);   // raises the other bar's change, which finds no step
}

void UserControl3::VScroll1_Change() { Step(VScroll1, VScroll2, 10.0); }

void UserControl3::VScroll2_Change() { Step(VScroll2, VScroll1, 100.0); }

void UserControl3::Command1_Click() {
    committed_ = vb::Val(Text1.Text());
    vb::RaiseEvent(terminate);
}

void UserControl3::Command2_Click() { vb::RaiseEvent(terminate); }

void UserControl3::UserControl_Resize() {
    vb::PictureBox& back = kep(0);
    back.Move(0, 0, Width(), Height());
    back.Cls();
}
