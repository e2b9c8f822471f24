// UserControl3: a numeric spinner.  A text box holds a decimal number; the
// coarse bar steps it by 0.1 and the fine bar by 0.01 (both bars share one
// position); "Ok" commits the number and reports, "Cl" reports without
// committing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/ui.h"

class UserControl3 : public vb::UserControl {
public:
    explicit UserControl3(vb::Container& container);

    // A free string the host may store; nothing shows it.
    const std::string& text() const { return text_; }
    void text(std::string v) { text_ = std::move(v); }

    // Reading gives the committed number; writing only puts the number into
    // the text box (it is committed by "Ok").
    double ivalue() const { return committed_; }
    void ivalue(double v);

    // A press on the control's own surface: nothing happens.
    void UserControl_MouseDown(int Button, int Shift, float X, float Y);

    // Raised by "Ok" (after committing) and by "Cl".
    std::function<void()> terminate;

    // Child controls.
    vb::ControlArray<vb::PictureBox> kep;   // background, element 0
    vb::VScrollBar VScroll1;                // coarse: 0.1 per step
    vb::TextBox Text1;
    vb::VScrollBar VScroll2;                // fine: 0.01 per step
    vb::CommandButton Command1;             // "Ok"
    vb::CommandButton Command2;             // "Cl"

    // Handlers.
    void VScroll1_Change();
    void VScroll2_Change();
    void Command1_Click();
    void Command2_Click();
    void UserControl_Resize();

    int16_t PreviousPosition() const { return previous_; }

private:
    void Step(vb::VScrollBar& moved, vb::VScrollBar& other, double divisor);

    std::string text_;
    double committed_ = 0;
    int16_t previous_ = 100;
};

// Writes a number as the text box shows it (the standard conversion).
std::string SpinnerText(double v);
