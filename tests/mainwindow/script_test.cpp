#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mainwindow/calculator.h"
#include "mainwindow/form1.h"
#include "platform/ui/ui.h"

namespace {

struct ScriptHost {
    std::shared_ptr<vb::ScriptedDialogs> dialogs = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope{dialogs};
    Form1 form;
};

TEST(ScriptRunner, SampleShowsFive) {
    ScriptHost h;
    EXPECT_EQ(h.form.cmd_Run.Caption(), "Run VBScript");
    EXPECT_EQ(h.form.script_1.Language(), "VBScript");
    const std::string sample = h.form.txt_script.Text();
    EXPECT_NE(sample.find("'//Code:"), std::string::npos);
    EXPECT_NE(sample.find("a=5"), std::string::npos);
    h.form.cmd_Run.Value(true);   // the button is wired to cmd_Run_Click
    ASSERT_EQ(h.dialogs->Messages().size(), 1u);
    EXPECT_EQ(h.dialogs->Messages()[0].prompt, "5");
    EXPECT_EQ(h.form.txt_script.Text(), sample);   // success leaves the text alone
}

TEST(ScriptRunner, ErrorsAppendErrorToTheText) {
    ScriptHost h;
    const int reported = vb::ReportedErrorCount();
    h.form.txt_script.Text("x = (1 +");
    h.form.cmd_Run_Click();
    EXPECT_EQ(h.form.txt_script.Text(), "x = (1 + Error ");
    // A text ending in a blank ends in two blanks before the word.
    h.form.txt_script.Text("MsgBox 1 +  ");
    h.form.cmd_Run_Click();
    EXPECT_EQ(h.form.txt_script.Text(), "MsgBox 1 +   Error ");
    // A run-time error is handled the same way, after what ran before it.
    h.form.txt_script.Text("MsgBox \"before\": y = 1 / 0");
    h.form.cmd_Run_Click();
    EXPECT_EQ(h.form.txt_script.Text(), "MsgBox \"before\": y = 1 / 0 Error ");
    ASSERT_EQ(h.dialogs->Messages().size(), 1u);
    EXPECT_EQ(h.dialogs->Messages()[0].prompt, "before");
    EXPECT_EQ(vb::ReportedErrorCount(), reported);   // nothing else reports it
}

TEST(ScriptRunner, CalculatorButtonShowsOneCalculator) {
    ScriptHost h;
    EXPECT_EQ(h.form.Calcform.Caption(), "Calculator");
    h.form.Calcform.Value(true);
    Calculator& calc = CalculatorWindow();
    EXPECT_TRUE(calc.Visible());
    calc.Number(4).Value(true);
    h.form.Calcform.Value(true);   // the same instance, state kept
    EXPECT_EQ(&CalculatorWindow(), &calc);
    EXPECT_EQ(calc.Readout.Caption(), "4.");
    calc.Unload();
}

TEST(ScriptRunner, SpinnerReportShowsTheCommittedNumber) {
    ScriptHost h;
    UserControl3& spinner = h.form.UserControl31;
    spinner.Command2_Click();
    ASSERT_EQ(h.dialogs->Messages().size(), 1u);
    EXPECT_EQ(h.dialogs->Messages()[0].prompt, "0");
    EXPECT_EQ(h.dialogs->Messages()[0].buttons, vb::vbOKOnly);
    spinner.Text1.Text("2.5");
    spinner.Command1_Click();
    EXPECT_EQ(h.dialogs->Messages().back().prompt, "2.5");
}

}  // namespace
