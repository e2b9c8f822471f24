// UserControl2: a pair of auto-repeat spin buttons ("<" and ">") that move a
// whole-number Value between Min and Max.  A press steps by 5 % of the range
// and, after a 500 ms delay, the repeat timer steps by 3 % of the range on
// every tick until the button is released or a bound is reached.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/ui/ui.h"

class UserControl2 : public vb::UserControl {
public:
    explicit UserControl2(vb::Container& container);

    // Writing a bound or the value only stores it: no clamping, no event.
    int32_t Min() const { return min_; }
    void Min(int32_t v) { min_ = v; }
    int32_t Max() const { return max_; }
    void Max(int32_t v) { max_ = v; }
    int32_t Value() const { return value_; }
    void Value(int32_t v) { value_ = v; }

    // Raised by the presses and the repeat timer (never by the properties);
    // the argument is the control's own Value, so a handler may change it.
    std::function<void(int32_t& Value)> Change;

    // Child controls.
    vb::CommandButton Command1;   // "<", down
    vb::CommandButton Command2;   // ">", up
    vb::Timer Timer1;             // start delay
    vb::Timer Timer2;             // repeat

    // Handlers (public so that tests and the host can drive them).
    void Command1_MouseDown(int Button, int Shift, float X, float Y);
    void Command2_MouseDown(int Button, int Shift, float X, float Y);
    void Command1_MouseUp(int Button, int Shift, float X, float Y);
    void Command2_MouseUp(int Button, int Shift, float X, float Y);
    void Timer1_Timer();
    void Timer2_Timer();

    // True while the last accepted press was on "<".
    bool PressedDown() const { return pressDown_; }

private:
    void RaiseChange();
    void StopTimers();

    int32_t min_ = 0;
    int32_t max_ = 0;
    int32_t value_ = 0;
    bool pressDown_ = false;
};
