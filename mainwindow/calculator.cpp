#include "mainwindow/calculator.h"

#include <cmath>

#include "platform/runtime/conversions.h"

namespace {

// The display's decimal separator.
const std::string kSep = ".";

// An operand as a number.  A display that holds no number (a lone "-" left
// by starting a negative entry and then pressing an operator key) counts as
// 0, so the calculation goes on instead of failing.
double NumericValue(const vb::Variant& v) {
    if (v.IsString()) return v.IsNumeric() ? vb::CDbl(v) : 0.0;
    if (v.IsEmpty()) return 0.0;
    return vb::CDbl(v);
}

std::string AsText(const vb::Variant& v) { return v.IsString() ? v.RawString() : vb::CStr(v); }

// True when the text reads as a number, as NumericValue reads it: a number
// beyond the range of a double does not, and would count as 0.
bool ReadsAsNumber(const std::string& text) { return vb::Variant(text).IsNumeric(); }

// A result is kept only when it is a number whose text, as the display
// shows it (15 significant digits), reads back as a number: one beyond the
// range would otherwise be shown as no number and count as 0 from then on.
bool UsableResult(double v) { return std::isfinite(v) && ReadsAsNumber(vb::NumberToText(v)); }

// The calculator says what it cannot do as it says a division by zero.
void Warn(const std::string& text) { vb::MsgBox(text, vb::vbExclamation + vb::vbOKOnly, "Calculator"); }

}  // namespace

Calculator::Calculator()
    : vb::Form("Calculator"),
      Readout(*this),
      Number(*this, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
      Operator(*this, {0, 1, 2, 3, 4}),
      Cancel(*this, "C"),
      CancelEntry(*this, "CE"),
      Decimal(*this, "."),
      Percent(*this, "%") {
    Caption("Calculator");
    Width(3375);
    Height(3390);

    Readout.Name("Readout");
    Readout.Move(120, 105, 3000, 375);
    Readout.Caption("0.");
    Readout.Alignment(1);
    Readout.BorderStyle(1);
    Readout.BackColor(0xFFFFFF);
    vb::Font f;
    f.Name = "Arial";
    f.Size = 12;
    f.Bold = true;
    Readout.Font(f);

    // Digits: 7 8 9 / 4 5 6 / 1 2 3 / 0 (double width).
    const int col[3] = {120, 720, 1320};
    for (int d = 1; d <= 9; ++d) {
        const int row = 2 - (d - 1) / 3;   // 7-9 on the top row
        Number(d).Move(col[(d - 1) % 3], 600 + row * 600, 480, 480);
    }
    Number(0).Move(120, 2400, 1080, 480);
    for (int d = 0; d <= 9; ++d) {
        Number(d).Name("Number");
        Number(d).Caption(std::to_string(d));
        Number(d).Visible(true);
    }

    static const char* const ops[5] = {"/", "+", "X", "-", "="};
    const double opPos[5][2] = {{2640, 1800}, {2040, 1200}, {2040, 1800}, {2640, 1200}, {2040, 2400}};
    for (int i = 0; i < 5; ++i) {
        Operator(i).Name("Operator");
        Operator(i).Caption(ops[i]);
        Operator(i).Move(opPos[i][0], opPos[i][1], 480, 480);
        Operator(i).Visible(true);
    }
    Cancel.Name("Cancel");
    Cancel.Move(2040, 600, 480, 480);
    CancelEntry.Name("CancelEntry");
    CancelEntry.Move(2640, 600, 480, 480);
    Decimal.Name("Decimal");
    Decimal.Move(1320, 2400, 480, 480);
    Percent.Name("Percent");
    Percent.Move(2640, 2400, 480, 480);

    Number.Click = [this](int i) { Number_Click(i); };
    Operator.Click = [this](int i) { Operator_Click(i); };
    Cancel.Click = [this] { Cancel_Click(); };
    CancelEntry.Click = [this] { CancelEntry_Click(); };
    Decimal.Click = [this] { Decimal_Click(); };
    Percent.Click = [this] { Percent_Click(); };
}

void Calculator::Form_Load() {
    decimalFlag_ = false;
    numOps_ = 0;
    lastInput_ = "NONE";
    opFlag_ = " ";
    Display("0" + kSep);
}

void Calculator::Cancel_Click() {
    Display("0" + kSep);
    op1_ = vb::Variant(static_cast<int16_t>(0));
    op2_ = vb::Variant(static_cast<int16_t>(0));
    Form_Load();
}

void Calculator::CancelEntry_Click() {
    Display("0" + kSep);
    decimalFlag_ = false;
    lastInput_ = "CE";
}

void Calculator::Number_Click(int Index) {
    const std::string d = std::to_string(Index);
    const bool newEntry = lastInput_ != "NUMS";
    std::string shown = newEntry ? kSep : Display();
    const bool fraction = newEntry ? false : decimalFlag_;
    if (fraction) {
        shown += d;
    } else {
        const size_t at = shown.find(kSep);
        shown = shown.substr(0, at) + d + kSep;
    }
    if (lastInput_ == "NEG") shown = "-" + shown;
    // A digit that would take the entry beyond the range of numbers is
    // refused: the entry stays as it was, a number the calculator can use.
    // (The entry is digits round a point, so only its size can keep it from
    // reading as a number.)
    if (!ReadsAsNumber(shown)) {
        Warn("Number too large");
        return;
    }
    Display(shown);
    decimalFlag_ = fraction;
    lastInput_ = "NUMS";
}

void Calculator::Decimal_Click() {
    if (lastInput_ == "NEG") Display("-0" + kSep);
    else if (lastInput_ != "NUMS") Display("0" + kSep);
    decimalFlag_ = true;
    lastInput_ = "NUMS";
}

void Calculator::Operator_Click(int Index) {
    const std::string c = Operator(Index).Caption();
    tempReadout_ = vb::Variant(Display());
    // A number typed after "%" replaces the percentage as the pending second
    // operand: the count stays at 2, so that this key still computes instead
    // of leaving the calculator stuck past two operands until "C".
    if (lastInput_ == "NUMS" && numOps_ < 2) ++numOps_;
    switch (numOps_) {
        case 0:
            if (c == "-" && lastInput_ != "NEG") {
                Display("-" + Display());
                lastInput_ = "NEG";
            }
            break;
        case 1:
            op1_ = vb::Variant(Display());
            if (c == "-" && lastInput_ != "NUMS" && opFlag_ != "=") {
                Display("-");
                lastInput_ = "NEG";
            }
            break;
        case 2: {
            op2_ = tempReadout_;
            const double a = NumericValue(op1_), b = NumericValue(op2_);
            // A result beyond the range of numbers is said as a division by
            // zero is, and Op1 stays: the calculation goes on from it.
            auto keep = [this](double result) {
                if (UsableResult(result)) op1_ = vb::Variant(result);
                else Warn("Result too large");
            };
            if (opFlag_ == "+") {
                keep(a + b);
            } else if (opFlag_ == "-") {
                keep(a - b);
            } else if (opFlag_ == "X" || opFlag_ == "%") {
                keep(a * b);
            } else if (opFlag_ == "/") {
                if (b == 0) Warn("Can't divide by zero");
                else keep(a / b);
            } else if (opFlag_ == "=") {
                op1_ = op2_;
            }
            Display(AsText(op1_));
            numOps_ = 1;
            break;
        }
        default:
            break;
    }
    if (lastInput_ != "NEG") {
        lastInput_ = "OPS";
        opFlag_ = c;
    }
}

void Calculator::Percent_Click() {
    Display(vb::NumberToText(NumericValue(vb::Variant(Display())) / 100));
    lastInput_ = "OPS";
    opFlag_ = "%";
    decimalFlag_ = true;
    // At most two operands are ever pending: a second "%" in a row must not
    // push the count past 2, where no operator key would compute any more.
    if (numOps_ < 2) ++numOps_;
}

Calculator& CalculatorWindow() {
    // Created once and kept for the life of the process, as the runtime's
    // default form instances are.
    static Calculator* window = new Calculator();
    return *window;
}
