#include "controls/usercontrol2.h"

#include <cmath>

#include "platform/runtime/conversions.h"

namespace {
constexpr int kStartDelayMs = 500;
constexpr int kRepeatMs = 1;
}  // namespace

UserControl2::UserControl2(vb::Container& container)
    : vb::UserControl(container), Command1(*this, "<"), Command2(*this, ">"), Timer1(*this), Timer2(*this) {
    Command1.Name("Command1");
    Command2.Name("Command2");
    Command1.Move(0, 0, 300, 300);
    Command2.Move(320, 0, 300, 300);
    Command1.TabStop(false);
    Command2.TabStop(false);
    Timer1.Enabled(false);
    Timer1.Interval(0);
    Timer2.Enabled(false);
    Timer2.Interval(0);

    Command1.MouseDown = [this](int b, int s, float x, float y) { Command1_MouseDown(b, s, x, y); };
    Command2.MouseDown = [this](int b, int s, float x, float y) { Command2_MouseDown(b, s, x, y); };
    Command1.MouseUp = [this](int b, int s, float x, float y) { Command1_MouseUp(b, s, x, y); };
    Command2.MouseUp = [this](int b, int s, float x, float y) { Command2_MouseUp(b, s, x, y); };
    Timer1.Tick = [this] { Timer1_Timer(); };
    Timer2.Tick = [this] { Timer2_Timer(); };

    // The control is as wide as its two buttons together and as high as "<".
    Width(Command2.Width() + Command1.Width());
    Height(Command1.Height());
    min_ = 0;
    max_ = 0;
}

void UserControl2::RaiseChange() { vb::RaiseEvent(Change, value_); }

void UserControl2::StopTimers() {
    Timer1.Enabled(false);
    Timer2.Enabled(false);
}

// "<": steps down by 5 % of Max (of Max alone, not of the range; the only
// host keeps Min at 0, where the two agree).
void UserControl2::Command1_MouseDown(int, int, float, float) {
    const double d = std::floor(5.0 / 100.0 * max_);
    if (value_ - d >= min_) {
        value_ = static_cast<int32_t>(value_ - d);
        Timer1.Interval(kStartDelayMs);
        Timer1.Enabled(true);
        pressDown_ = true;
        RaiseChange();
    } else {
        value_ = min_;
    }
}

void UserControl2::Command2_MouseDown(int, int, float, float) {
    const double d = std::floor(5.0 / 100.0 * (static_cast<double>(max_) - min_));
    if (value_ + d <= max_) {
        value_ = static_cast<int32_t>(value_ + d);
        Timer1.Interval(kStartDelayMs);
        Timer1.Enabled(true);
        pressDown_ = false;
        RaiseChange();
    } else {
        value_ = max_;
    }
}

void UserControl2::Command1_MouseUp(int, int, float, float) { StopTimers(); }

void UserControl2::Command2_MouseUp(int, int, float, float) { StopTimers(); }

void UserControl2::Timer1_Timer() {
    Timer2.Interval(kRepeatMs);
    Timer2.Enabled(true);
    Timer1.Enabled(false);
}

void UserControl2::Timer2_Timer() {
    const double s = 3.0 / 100.0 * (static_cast<double>(max_) - min_);
    const double t = pressDown_ ? value_ - s : value_ + s;
    if (t >= min_ && t <= max_) {
        value_ = static_cast<int32_t>(vb::RoundHalfEven(t));
    } else {
        value_ = pressDown_ ? min_ : max_;
        Timer2.Enabled(false);
    }
    RaiseChange();
}
