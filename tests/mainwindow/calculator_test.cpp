#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mainwindow/calculator.h"
#include "mainwindow/form2.h"
#include "platform/ui/ui.h"

namespace {

// Presses the keys of a sequence: digits, ".", "+", "-", "X", "/", "=", "%",
// "C" and "E" (CE); blanks are skipped.
class CalcDriver {
public:
    CalcDriver() : dialogs_(std::make_shared<vb::ScriptedDialogs>()), scope_(dialogs_) { calc_.Load(); }

    std::string Keys(const std::string& keys) {
        for (char k : keys) {
            if (k >= '0' && k <= '9') calc_.Number(k - '0').Value(true);
            else if (k == '.') calc_.Decimal.Value(true);
            else if (k == '/') calc_.Operator(0).Value(true);
            else if (k == '+') calc_.Operator(1).Value(true);
            else if (k == 'X') calc_.Operator(2).Value(true);
            else if (k == '-') calc_.Operator(3).Value(true);
            else if (k == '=') calc_.Operator(4).Value(true);
            else if (k == '%') calc_.Percent.Value(true);
            else if (k == 'C') calc_.Cancel.Value(true);
            else if (k == 'E') calc_.CancelEntry.Value(true);
        }
        return calc_.Readout.Caption();
    }
    Calculator& calc() { return calc_; }
    vb::ScriptedDialogs& dialogs() { return *dialogs_; }

private:
    std::shared_ptr<vb::ScriptedDialogs> dialogs_;
    vb::DialogSinkScope scope_;
    Calculator calc_;
};

TEST(Calculator, LayoutAndStart) {
    CalcDriver d;
    Calculator& c = d.calc();
    EXPECT_EQ(c.Caption(), "Calculator");
    EXPECT_EQ(c.Readout.Caption(), "0.");
    EXPECT_EQ(c.Operator(0).Caption(), "/");
    EXPECT_EQ(c.Operator(2).Caption(), "X");
    EXPECT_EQ(c.Operator(4).Caption(), "=");
    EXPECT_DOUBLE_EQ(c.Number(0).Width(), 1080);
    EXPECT_DOUBLE_EQ(c.Number(7).Top(), 600);
    EXPECT_DOUBLE_EQ(c.Number(1).Top(), 1800);
    EXPECT_DOUBLE_EQ(c.Percent.Left(), 2640);
    EXPECT_DOUBLE_EQ(c.Percent.Top(), 2400);
    EXPECT_EQ(c.LastInput(), "NONE");
    EXPECT_EQ(c.OpFlag(), " ");
    EXPECT_EQ(c.NumOps(), 0);
}

TEST(Calculator, EntryOfNumbers) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("12"), "12.");
    EXPECT_EQ(d.Keys(".5"), "12.5");
    EXPECT_EQ(d.Keys("C00"), "00.");      // leading zeros stay
    EXPECT_EQ(d.Keys("C1..5"), "1.5");    // a second point changes nothing
    EXPECT_EQ(d.Keys("C.25"), "0.25");
}

TEST(Calculator, ChainsLeftToRight) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("2+3X"), "5");       // the running result
    EXPECT_EQ(d.Keys("4="), "20");
    EXPECT_EQ(d.Keys("C5+3=="), "8");     // "=" does not repeat
    EXPECT_EQ(d.Keys("C9-4-2="), "3");
    EXPECT_EQ(d.Keys("C7/2="), "3.5");
    EXPECT_EQ(d.Keys("C1/3="), "0.333333333333333");
    EXPECT_EQ(d.Keys("C5+3=3="), "3.");   // a number typed after "=" becomes the result
    EXPECT_EQ(d.Keys("C1.5+23="), "24.5");   // the first operand's point is not the second's
}

TEST(Calculator, NegativeEntries) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("5+-3="), "2");
    EXPECT_EQ(d.Keys("C-7+2="), "-5");
    EXPECT_EQ(d.Keys("C-"), "-0.");
    EXPECT_EQ(d.Keys("C5+3=-2="), "6");   // after "=", minus is an operator
    EXPECT_EQ(d.Keys("C2X-.5="), "-1");
}

TEST(Calculator, ClearEntryAndClear) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("5+3E"), "0.");
    EXPECT_EQ(d.Keys("4="), "9");
    EXPECT_EQ(d.Keys("C"), "0.");
    EXPECT_EQ(d.calc().NumOps(), 0);
    EXPECT_EQ(d.calc().OpFlag(), " ");
    EXPECT_EQ(d.calc().LastInput(), "NONE");
    EXPECT_EQ(d.Keys("6="), "6.");
}

TEST(Calculator, Percent) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("200X5%="), "10");
    EXPECT_EQ(d.Keys("C200+5%="), "10");
    EXPECT_EQ(d.Keys("C50%"), "0.5");
    // A second percent in a row keeps the calculator working.
    EXPECT_EQ(d.Keys("C200X50%%="), "1");
    EXPECT_EQ(d.Keys("+1="), "2");
    // A number typed after "%" takes the percentage's place, and the
    // calculator goes on computing afterwards.
    EXPECT_EQ(d.Keys("C200X5%7="), "1400");
    EXPECT_EQ(d.calc().NumOps(), 1);
    EXPECT_EQ(d.Keys("+3="), "1403");
}

TEST(Calculator, DivisionByZeroWarnsAndKeepsTheFirstOperand) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("8/0="), "8.");
    ASSERT_EQ(d.dialogs().Messages().size(), 1u);
    const auto& m = d.dialogs().Messages()[0];
    EXPECT_EQ(m.prompt, "Can't divide by zero");
    EXPECT_EQ(m.title, "Calculator");
    EXPECT_EQ(m.buttons, vb::vbExclamation + vb::vbOKOnly);
    EXPECT_EQ(d.Keys("+2="), "10");   // the calculation goes on from 8
}

// A result beyond the range of numbers is said as a division by zero is, and
// the calculation goes on from the last operand that was a number.
TEST(Calculator, ResultsBeyondTheRangeWarnAndKeepTheFirstOperand) {
    CalcDriver d;
    auto expectWarnings = [&](size_t count) {
        ASSERT_EQ(d.dialogs().Messages().size(), count);
        const auto& m = d.dialogs().Messages().back();
        EXPECT_EQ(m.prompt, "Result too large");
        EXPECT_EQ(m.title, "Calculator");
        EXPECT_EQ(m.buttons, vb::vbExclamation + vb::vbOKOnly);
    };
    // 25 nines multiplied by themselves, again and again: the twelfth
    // multiplication goes past the range.
    const std::string nines(25, '9');
    std::string keys = nines;
    for (int i = 0; i < 11; ++i) keys += "X" + nines;
    EXPECT_EQ(d.Keys(keys + "X"), "1E+300");
    EXPECT_TRUE(d.dialogs().Messages().empty());
    EXPECT_EQ(d.Keys(nines + "="), "1E+300");
    expectWarnings(1);
    EXPECT_EQ(d.Keys("/" + nines + "="), "1E+275");
    EXPECT_EQ(d.Keys("+1="), "1E+275");
    expectWarnings(1);

    // The largest number there is, typed in full.
    const std::string largest = "17976931348623157" + std::string(292, '0');
    EXPECT_EQ(d.Keys("C" + largest + "+" + largest + "="), largest + ".");   // sum
    expectWarnings(2);
    EXPECT_EQ(d.Keys("C-" + largest + "-" + largest + "="), "-" + largest + ".");   // difference
    expectWarnings(3);
    EXPECT_EQ(d.Keys("C1" + std::string(300, '0') + "/.00000000001="), "1" + std::string(300, '0') + ".");
    expectWarnings(4);
    EXPECT_EQ(d.Keys("C" + largest + "X200%="), largest + ".");   // percent
    expectWarnings(5);
    // A result within the range whose text, at 15 digits, is not: adding 0
    // to the largest number would show 1.79769313486232E+308.
    EXPECT_EQ(d.Keys("C" + largest + "+0="), largest + ".");
    expectWarnings(6);
    EXPECT_EQ(d.Keys("/10="), "1.79769313486232E+307");
    EXPECT_EQ(d.dialogs().Messages().size(), 6u);

    // A number typed beyond the range: the digit that would take it there is
    // refused, and the entry stays a number.
    const std::string most(308, '9');
    EXPECT_EQ(d.Keys("C" + most + "9"), most + ".");
    ASSERT_EQ(d.dialogs().Messages().size(), 7u);
    EXPECT_EQ(d.dialogs().Messages().back().prompt, "Number too large");
    EXPECT_EQ(d.dialogs().Messages().back().title, "Calculator");
    EXPECT_EQ(d.Keys(".5+1="), "1E+308");   // fraction digits are still taken
    EXPECT_EQ(d.Keys("C-" + most + "9"), "-" + most + ".");
    EXPECT_EQ(d.dialogs().Messages().size(), 8u);
    EXPECT_EQ(d.Keys("X2="), "-" + most + ".");
    expectWarnings(9);
}

TEST(Calculator, LoneMinusCountsAsZero) {
    CalcDriver d;
    EXPECT_EQ(d.Keys("5+-=3="), "-3");
    EXPECT_TRUE(d.dialogs().Messages().empty());
}

TEST(Calculator, ReloadStartsFromTheLoadStep) {
    CalcDriver d;
    d.calc().Show();
    d.Keys("5+3");
    d.calc().Unload();
    d.calc().Show();
    EXPECT_EQ(d.calc().Readout.Caption(), "0.");
    EXPECT_EQ(d.calc().NumOps(), 0);
    EXPECT_EQ(d.Keys("4+1="), "5");
    d.calc().Unload();
}

// The about box, the calculator's sibling satellite.
TEST(AboutBox, CentredWithTwoCreditLinesAndClosedByOk) {
    Form2& about = Form2Window();
    about.Show();
    EXPECT_EQ(about.Caption(), "About ListView Sample");
    EXPECT_NEAR(about.Left(), (vb::Screen.Width() - about.Width()) / 2, 15);
    EXPECT_NEAR(about.Top(), (vb::Screen.Height() - about.Height()) / 2, 15);
    const std::string credits = about.Label1.Caption();
    const size_t br = credits.find("\r\n");
    ASSERT_NE(br, std::string::npos);
    EXPECT_GT(br, 0u);
    EXPECT_LT(br + 2, credits.size());
    EXPECT_EQ(credits.find("\r\n", br + 2), std::string::npos);
    EXPECT_EQ(about.Command1.Caption(), "O&K");
    about.Command1.Value(true);
    EXPECT_FALSE(about.IsLoaded());
    EXPECT_EQ(&Form2Window(), &about);
}

}  // namespace
