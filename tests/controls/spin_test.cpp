#include <gtest/gtest.h>

#include <vector>

#include "controls/usercontrol2.h"
#include "controls/usercontrol3.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

struct SpinHost {
    vb::Form form{"SpinHost"};
    UserControl2 spin{form};
    std::vector<int32_t> changes;
    SpinHost(int32_t min, int32_t max, int32_t value) {
        spin.Min(min);
        spin.Max(max);
        spin.Value(value);
        spin.Change = [this](int32_t& v) { changes.push_back(v); };
    }
    void PressUp() { spin.Command2_MouseDown(1, 0, 10, 10); }
    void PressDown() { spin.Command1_MouseDown(1, 0, 10, 10); }
    // The delay timer elapses, then the repeat timer ticks `n` times (only
    // while it is still running).
    void Hold(int n) {
        if (spin.Timer1.Enabled()) spin.Timer1.FireTimer();
        for (int i = 0; i < n && spin.Timer2.Enabled(); ++i) spin.Timer2.FireTimer();
    }
};

TEST(SpinButtons, CreationSizeAndCaptions) {
    SpinHost h(0, 0, 0);
    EXPECT_EQ(h.spin.Command1.Caption(), "<");
    EXPECT_EQ(h.spin.Command2.Caption(), ">");
    EXPECT_DOUBLE_EQ(h.spin.Width(), 600);
    EXPECT_DOUBLE_EQ(h.spin.Height(), 300);
    EXPECT_FALSE(h.spin.Timer1.Enabled());
    EXPECT_FALSE(h.spin.Timer2.Enabled());
}

TEST(SpinButtons, PressAndHoldUpToTheBound) {
    SpinHost h(0, 1000, 0);
    h.PressUp();
    EXPECT_EQ(h.spin.Value(), 50);
    ASSERT_EQ(h.changes.size(), 1u);
    EXPECT_TRUE(h.spin.Timer1.Enabled());
    EXPECT_EQ(h.spin.Timer1.Interval(), 500);
    EXPECT_FALSE(h.spin.Timer2.Enabled());

    h.spin.Timer1.FireTimer();   // the delay elapses: repeat starts at 1 ms
    EXPECT_FALSE(h.spin.Timer1.Enabled());
    EXPECT_TRUE(h.spin.Timer2.Enabled());
    EXPECT_EQ(h.spin.Timer2.Interval(), 1);
    h.spin.Timer2.FireTimer();
    EXPECT_EQ(h.spin.Value(), 80);
    h.spin.Timer2.FireTimer();
    EXPECT_EQ(h.spin.Value(), 110);

    h.Hold(1000);   // runs until the bound stops the timer
    EXPECT_EQ(h.spin.Value(), 1000);
    EXPECT_FALSE(h.spin.Timer2.Enabled());
    // 50, 80, ..., 980 then 1000 taken exactly: one Change per tick.
    ASSERT_GE(h.changes.size(), 3u);
    EXPECT_EQ(h.changes[h.changes.size() - 2], 980);
    EXPECT_EQ(h.changes.back(), 1000);
    EXPECT_EQ(h.changes.size(), 1u + (980 - 50) / 30 + 1);
}

TEST(SpinButtons, PressRefusedAtTheBoundTakesItSilently) {
    SpinHost h(0, 1000, 30);
    h.PressDown();
    EXPECT_EQ(h.spin.Value(), 0);
    EXPECT_TRUE(h.changes.empty());
    EXPECT_FALSE(h.spin.Timer1.Enabled());

    SpinHost top(0, 1000, 990);
    top.PressUp();
    EXPECT_EQ(top.spin.Value(), 1000);
    EXPECT_TRUE(top.changes.empty());
    EXPECT_FALSE(top.spin.Timer1.Enabled());
}

TEST(SpinButtons, SmallRangesAndHalfToEvenRepeat) {
    // Below a range of 20 a press moves nothing but still reports and repeats.
    SpinHost h(0, 19, 7);
    h.PressUp();
    ASSERT_EQ(h.changes.size(), 1u);
    EXPECT_EQ(h.changes[0], 7);
    EXPECT_TRUE(h.spin.Timer1.Enabled());

    SpinHost s(0, 16, 5);
    s.PressUp();
    s.Hold(3);
    EXPECT_EQ(s.changes, (std::vector<int32_t>{5, 5, 5, 5}));   // 5.48 rounds back to 5
    EXPECT_TRUE(s.spin.Timer2.Enabled());

    SpinHost a(0, 50, 10);
    a.spin.Timer1.FireTimer();   // repeat without a press: direction up
    a.spin.Timer2.FireTimer();
    EXPECT_EQ(a.spin.Value(), 12);   // 11.5 -> 12
    a.spin.Value(11);
    a.spin.Timer2.FireTimer();
    EXPECT_EQ(a.spin.Value(), 12);   // 12.5 -> 12

    // Holding "<" runs down to Min and stops there.
    SpinHost d(0, 100, 100);
    d.PressDown();
    EXPECT_EQ(d.spin.Value(), 95);
    d.Hold(100);
    EXPECT_EQ(d.spin.Value(), 0);
    EXPECT_FALSE(d.spin.Timer2.Enabled());
    EXPECT_EQ(d.changes.back(), 0);
}

TEST(SpinButtons, StepsWithALowerBoundAboveZero) {
    // "<" steps by 5 % of Max, ">" by 5 % of the range; the repeat by 3 % of
    // the range in both directions.
    SpinHost h(100, 200, 150);
    h.PressDown();
    EXPECT_EQ(h.spin.Value(), 140);
    EXPECT_TRUE(h.spin.PressedDown());
    h.Hold(1);
    EXPECT_EQ(h.spin.Value(), 137);
    h.spin.Command1_MouseUp(1, 0, 0, 0);
    h.PressUp();
    EXPECT_EQ(h.spin.Value(), 142);
    EXPECT_FALSE(h.spin.PressedDown());
    h.Hold(1);
    EXPECT_EQ(h.spin.Value(), 145);
    // Near the lower bound the larger "<" step is refused and takes Min.
    SpinHost low(100, 200, 105);
    low.PressDown();
    EXPECT_EQ(low.spin.Value(), 100);
    EXPECT_TRUE(low.changes.empty());
}

TEST(SpinButtons, ReleaseStopsBothTimersAndValueIsNotClamped) {
    SpinHost h(0, 1000, 0);
    h.PressUp();
    h.spin.Command2_MouseUp(1, 0, 0, 0);
    EXPECT_FALSE(h.spin.Timer1.Enabled());
    h.PressUp();
    h.spin.Timer1.FireTimer();
    h.spin.Command1_MouseUp(1, 0, 0, 0);
    EXPECT_FALSE(h.spin.Timer2.Enabled());

    h.spin.Value(5000);   // accepted as written, no event
    EXPECT_EQ(h.spin.Value(), 5000);
    size_t before = h.changes.size();
    h.PressUp();          // refused: takes Max
    EXPECT_EQ(h.spin.Value(), 1000);
    EXPECT_EQ(h.changes.size(), before);
    h.spin.Value(-40);
    h.PressUp();          // moves by its step from where it stands
    EXPECT_EQ(h.spin.Value(), 10);
}

TEST(SpinButtons, HandlerMayChangeTheValueThroughTheArgument) {
    SpinHost h(0, 1000, 0);
    h.spin.Change = [](int32_t& v) { v = 7; };
    h.PressUp();
    EXPECT_EQ(h.spin.Value(), 7);
}

TEST(SpinButtons, RealMousePressReachesTheHandler) {
    SpinHost h(0, 1000, 0);
    vb::test::ShowAndActivate(h.form);
    vb::test::SendMouse(h.spin.Command2, vb::test::MouseAction::Down, 1, 100, 100);
    EXPECT_EQ(h.spin.Value(), 50);
    EXPECT_TRUE(h.spin.Timer1.Enabled());
    vb::test::SendMouse(h.spin.Command2, vb::test::MouseAction::Up, 1, 100, 100);
    EXPECT_FALSE(h.spin.Timer1.Enabled());
    h.form.Unload();
}

// --- The numeric spinner -----------------------------------------------------------

struct SpinnerHost {
    vb::Form form{"SpinnerHost"};
    UserControl3 spinner{form};
    std::vector<double> reported;
    SpinnerHost() {
        spinner.terminate = [this] { reported.push_back(spinner.ivalue()); };
    }
    // An arrow click: the upper arrow lowers the position by one, down to 0.
    static void Arrow(vb::VScrollBar& bar, bool upper) {
        int v = bar.Value() + (upper ? -1 : 1);
        if (v < bar.Min() || v > bar.Max()) return;
        bar.Value(v);
    }
};

TEST(NumericSpinner, CoarseAndFineStepsShareOnePosition) {
    SpinnerHost h;
    EXPECT_EQ(h.spinner.Text1.Text(), "0");
    EXPECT_EQ(h.spinner.VScroll1.Value(), 100);
    EXPECT_DOUBLE_EQ(h.spinner.Width(), 1410);
    EXPECT_DOUBLE_EQ(h.spinner.Height(), 555);
    SpinnerHost::Arrow(h.spinner.VScroll1, true);
    EXPECT_EQ(h.spinner.Text1.Text(), "0.1");
    EXPECT_EQ(h.spinner.VScroll2.Value(), 99);
    SpinnerHost::Arrow(h.spinner.VScroll2, false);
    EXPECT_EQ(h.spinner.Text1.Text(), "0.09");
    EXPECT_EQ(h.spinner.VScroll1.Value(), 100);
    EXPECT_EQ(h.spinner.VScroll2.Value(), 100);
    EXPECT_EQ(h.spinner.PreviousPosition(), 100);
    // A text without a leading number counts as 0.
    h.spinner.Text1.Text("abc");
    SpinnerHost::Arrow(h.spinner.VScroll2, true);
    EXPECT_EQ(h.spinner.Text1.Text(), "0.01");
    // A jump of the thumb moves by the whole distance.
    h.spinner.Text1.Text("1");
    h.spinner.VScroll1.Value(120);
    EXPECT_EQ(h.spinner.Text1.Text(), "-1.1");
}

TEST(NumericSpinner, UpperArrowsStopAtTheTop) {
    SpinnerHost h;
    for (int i = 0; i < 100; ++i) SpinnerHost::Arrow(i % 2 ? h.spinner.VScroll1 : h.spinner.VScroll2, true);
    EXPECT_EQ(h.spinner.VScroll1.Value(), 0);
    EXPECT_EQ(h.spinner.VScroll2.Value(), 0);
    const std::string atTop = h.spinner.Text1.Text();
    EXPECT_EQ(atTop, "5.5");   // 50 coarse and 50 fine steps
    SpinnerHost::Arrow(h.spinner.VScroll1, true);
    SpinnerHost::Arrow(h.spinner.VScroll2, true);
    EXPECT_EQ(h.spinner.Text1.Text(), atTop);
}

TEST(NumericSpinner, OkCommitsAndClReportsWithoutCommitting) {
    SpinnerHost h;
    h.spinner.Command2_Click();
    ASSERT_EQ(h.reported.size(), 1u);
    EXPECT_EQ(h.reported[0], 0);
    h.spinner.Text1.Text("2.5");
    h.spinner.Command1_Click();
    EXPECT_EQ(h.reported.back(), 2.5);
    h.spinner.ivalue(7);
    EXPECT_EQ(h.spinner.Text1.Text(), "7");
    EXPECT_EQ(h.spinner.ivalue(), 2.5);
    h.spinner.Command2_Click();
    EXPECT_EQ(h.reported.back(), 2.5);
    h.spinner.Command1_Click();
    EXPECT_EQ(h.reported.back(), 7);
    h.spinner.text("kept");
    EXPECT_EQ(h.spinner.text(), "kept");
    // The buttons are wired to their handlers.
    h.spinner.Text1.Text(" 3.25e1xyz");
    h.spinner.Command1.Value(true);
    EXPECT_EQ(h.reported.back(), 32.5);
}

}  // namespace
