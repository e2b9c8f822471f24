// The script control: runs statements of a small BASIC-like scripting
// language typed by the user.
//
// The language: comments (' and Rem), Option Explicit, Dim (scalars and
// arrays of up to two dimensions), assignment, numbers and strings with
// + - * / \ Mod ^ &, comparisons = <> < > <= >=, And Or Not Xor,
// If/ElseIf/Else/End If in block and single-line form, For/To/Step/Next,
// Do/Loop with While or Until at either end, While/Wend, Exit For, Exit Do,
// MsgBox, and the common string, conversion and math functions.  Statements
// are separated by line ends or ':'; a line ending in " _" continues on the
// next one.  Names are not case-sensitive.
//
// The whole text is parsed before anything runs, so a syntax error anywhere
// means no statement has run.  Errors are raised as ScriptError (a VbError
// that also carries the 1-based line of the text where it happened).
//
// The control itself shows nothing: MsgBox goes to the handler the host sets.
// Variables of the global scope persist from one ExecuteStatement call to the
// next, as they do in the script control; Reset() forgets them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/runtime/vberror.h"

namespace vb {

namespace script {
class Context;
}

// A compile or run-time error of a script.
class ScriptError : public VbError {
public:
    ScriptError(int32_t number, std::string description, int line, bool compileError);
    int Line() const { return line_; }
    bool IsCompileError() const { return compile_; }

private:
    int line_;
    bool compile_;
};

// Numbers of the errors the script language raises itself (run-time errors
// of the runtime keep their usual numbers: 5, 6, 9, 11, 13, ...).
enum : int32_t {
    errScriptSyntax = 1002,             // "Syntax error"
    errScriptExpectedStatement = 1024,  // "Expected statement"
    errScriptExpectedEnd = 1025,        // "Expected end of statement"
    errScriptUnterminatedString = 1033, // "Unterminated string constant"
    errScriptInvalidExit = 1039,        // "Invalid 'exit' statement"
    errScriptWrongArgCount = 450,       // "Wrong number of arguments or invalid property assignment"
    errScriptUndefinedVariable = 500,   // "Variable is undefined"
    errScriptIllegalAssignment = 501,   // "Illegal assignment"
    errScriptTimedOut = 1061,           // "Script timed out"
};

class ScriptControl {
public:
    // The message box: prompt, buttons (the runtime's MsgBox style value) and
    // title (empty for the host's default); returns the button pressed
    // (1 OK, 2 Cancel, 6 Yes, 7 No, ...).
    using MsgBoxHandler = std::function<int(const std::string& prompt, int buttons, const std::string& title)>;

    ScriptControl();
    ~ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    // Only "VBScript" is known; other names raise error 5 when set.
    const std::string& Language() const { return language_; }
    void SetLanguage(const std::string& name);

    // Milliseconds a single ExecuteStatement may run before it fails with
    // "Script timed out" (time spent in the message box does not count);
    // -1 means no limit.  10000 by default.
    int32_t Timeout() const { return timeout_; }
    void SetTimeout(int32_t ms) { timeout_ = ms; }

    void SetMsgBoxHandler(MsgBoxHandler handler);

    // Runs the text as a sequence of statements.  Raises ScriptError.
    void ExecuteStatement(std::string_view text);

    // Forgets every variable and the Option Explicit setting.
    void Reset();

private:
    std::string language_ = "VBScript";
    int32_t timeout_ = 10000;
    std::unique_ptr<script::Context> context_;
};

}  // namespace vb
