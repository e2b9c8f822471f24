// The script control: parses a text, then runs it in the control's global
// scope.
#include "platform/script/scriptcontrol.h"

#include "platform/runtime/conversions.h"
#include "platform/script/script_ast.h"

namespace vb {

ScriptControl::ScriptControl() : context_(std::make_unique<script::Context>()) {}

ScriptControl::~ScriptControl() = default;

void ScriptControl::SetLanguage(const std::string& name) {
    if (StrComp(name, "VBScript", 1) != 0) RaiseError(errInvalidProcedureCall);
    language_ = "VBScript";
}

void ScriptControl::SetMsgBoxHandler(MsgBoxHandler handler) { context_->msgBox = std::move(handler); }

void ScriptControl::ExecuteStatement(std::string_view text) {
    script::Block program = script::Parse(script::Tokenize(text));
    script::Context& cx = *context_;
    cx.timeoutMs = timeout_;
    cx.steps = 0;
    if (timeout_ >= 0) cx.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_);
    script::RunBlock(program, cx);
}

void ScriptControl::Reset() {
    auto handler = context_->msgBox;
    context_ = std::make_unique<script::Context>();
    context_->msgBox = std::move(handler);
}

}  // namespace vb
