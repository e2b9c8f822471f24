// The Calculator window: a four-function pocket calculator with a percent
// key.  Operations chain strictly from left to right, each operator key
// showing the running result.  A division by zero, a result beyond the range
// of numbers and a digit that would take an entry beyond it are refused with
// a message box titled "Calculator"; the calculation goes on from the last
// number.  It reports nothing to the rest of the program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/runtime/variant.h"
#include "platform/ui/ui.h"

class Calculator : public vb::Form {
public:
    Calculator();

    // Controls.
    vb::Label Readout;
    vb::ControlArray<vb::CommandButton> Number;     // index = digit
    vb::ControlArray<vb::CommandButton> Operator;   // 0 "/", 1 "+", 2 "X", 3 "-", 4 "="
    vb::CommandButton Cancel;                       // "C"
    vb::CommandButton CancelEntry;                  // "CE"
    vb::CommandButton Decimal;                      // "."
    vb::CommandButton Percent;                      // "%"

    // Handlers.
    void Form_Load() override;
    void Number_Click(int Index);
    void Decimal_Click();
    void Operator_Click(int Index);
    void Percent_Click();
    void CancelEntry_Click();
    void Cancel_Click();

    // State (read by tests).
    const vb::Variant& Op1() const { return op1_; }
    const vb::Variant& Op2() const { return op2_; }
    bool DecimalFlag() const { return decimalFlag_; }
    int16_t NumOps() const { return numOps_; }
    const std::string& LastInput() const { return lastInput_; }
    const std::string& OpFlag() const { return opFlag_; }

private:
    std::string Display() const { return Readout.Caption(); }
    void Display(const std::string& s) { Readout.Caption(s); }

    vb::Variant op1_;
    vb::Variant op2_;
    bool decimalFlag_ = false;
    int16_t numOps_ = 0;
    std::string lastInput_ = "NONE";
    std::string opFlag_ = " ";
    vb::Variant tempReadout_;
};

// The calculator of the process, created on first use (its window is shown
// and hidden, never destroyed, while the program runs).
Calculator& CalculatorWindow();
