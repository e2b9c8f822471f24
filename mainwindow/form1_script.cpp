// The main window's script runner, calculator button and spinner host.
#include "mainwindow/calculator.h"
#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"

namespace {
// The sample the script box holds at start: a comment, an assignment and a
// message box that shows 5.
const char* const kSampleScript = "'//Code:\r\na=5\r\nMsgbox a\r\n";
}  // namespace

void Form1::WireScriptRunner() {
    txt_script.Text(kSampleScript);

    script_1.SetLanguage("VBScript");
    script_1.SetMsgBoxHandler(
        [](const std::string& prompt, int buttons, const std::string& title) { return vb::MsgBox(prompt, buttons, title); });

    cmd_Run.Click = [this] { cmd_Run_Click(); };
    Calcform.Click = [this] { Calcform_Click(); };
    UserControl31.terminate = [this] { UserControl31_terminate(0); };
}

void Form1::cmd_Run_Click() {
    try {
        script_1.ExecuteStatement(txt_script.Text());
    } catch (const std::exception&) {   // script errors are VbErrors, which are std::exceptions
        txt_script.Text(txt_script.Text() + " Error ");
    }
}

void Form1::Calcform_Click() { CalculatorWindow().Show(vb::vbModeless); }

// The spinner is the only element of its array (Index 0).
void Form1::UserControl31_terminate(int Index) { vb::MsgBox(vb::NumberToText(UserControl31.ivalue())); }
