// Running the script syntax tree, and the errors of the script language.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "platform/runtime/conversions.h"
#include "platform/script/script_nodes.h"

namespace vb {

ScriptError::ScriptError(int32_t number, std::string description, int line, bool compileError)
    : VbError(number, std::move(description), compileError ? "Script compilation error" : "Script runtime error"),
      line_(line),
      compile_(compileError) {}

}  // namespace vb

namespace vb::script {

std::string ScriptErrorDescription(int32_t number) {
    switch (number) {
        case errScriptSyntax: return "Syntax error";
        case 1005: return "Expected '('";
        case 1006: return "Expected ')'";
        case 1010: return "Expected identifier";
        case 1011: return "Expected '='";
        case 1012: return "Expected 'If'";
        case 1013: return "Expected 'To'";
        case 1014: return "Expected 'End'";
        case 1015: return "Expected expression";
        case 1017: return "Expected 'Then'";
        case 1018: return "Expected 'Wend'";
        case 1019: return "Expected 'Loop'";
        case 1020: return "Expected 'Next'";
        case errScriptExpectedStatement: return "Expected statement";
        case errScriptExpectedEnd: return "Expected end of statement";
        case 1026: return "Expected 'Explicit'";
        case errScriptUnterminatedString: return "Unterminated string constant";
        case errScriptInvalidExit: return "Invalid 'exit' statement";
        case errScriptWrongArgCount: return "Wrong number of arguments or invalid property assignment";
        case errScriptUndefinedVariable: return "Variable is undefined";
        case errScriptIllegalAssignment: return "Illegal assignment";
        case errScriptTimedOut: return "Script timed out";
        case 7: return "Out of memory";
        case 28: return "Out of stack space";
        case 94: return "Invalid use of Null";
        default: return StandardErrorDescription(number);
    }
}

void CompileError(int32_t number, int line, const std::string& extra) {
    std::string d = ScriptErrorDescription(number);
    if (!extra.empty()) d += ": " + extra;
    throw ScriptError(number, d, line, true);
}

void RunError(int32_t number, const std::string& extra) {
    std::string d = ScriptErrorDescription(number);
    if (!extra.empty()) d += ": " + extra;
    throw VbError(number, d, "Script runtime error");
}

void Context::Tick() {
    ++steps;
    // Every statement: a single one can take long (a text of megabytes), so
    // checking only every so many statements overran the limit by far.
    if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) RunError(errScriptTimedOut);
}

namespace {

// Bytes a value holds beyond its Variant: a text's characters, an array's
// elements and what they hold in turn.
uint64_t Footprint(const Variant& v) {
    if (v.IsString()) return v.RawString().size();
    if (!v.IsArray()) return 0;
    const ArrayData& a = v.Array();
    uint64_t n = a.items.size() * sizeof(Variant) + a.bytes.size();
    for (const Variant& e : a.items)
        if (e.IsString() || e.IsArray()) n += Footprint(e);
    return n;
}

}  // namespace

void Context::CheckRoom(uint64_t bytes, uint64_t released) const {
    const uint64_t base = held - std::min(held, released);
    if (bytes > kMemoryCap || base > kMemoryCap - bytes) RunError(7);
}

void Context::Store(Variant& slot, Variant v) {
    const uint64_t before = Footprint(slot), after = Footprint(v);
    if (after > before) CheckRoom(after, before);
    held = held - std::min(held, before) + after;
    slot = std::move(v);
}

Flow RunBlock(const Block& block, Context& cx) {
    for (const StmtPtr& s : block) {
        Flow f;
        try {
            cx.Tick();
            f = s->Exec(cx);
        } catch (const ScriptError&) {
            throw;
        } catch (const VbError& e) {
            throw ScriptError(e.Number(), e.Description(), s->line, false);
        } catch (const std::bad_alloc&) {
            throw ScriptError(7, ScriptErrorDescription(7), s->line, false);
        } catch (const std::length_error&) {
            throw ScriptError(7, ScriptErrorDescription(7), s->line, false);
        }
        if (f != Flow::Normal) return f;
    }
    return Flow::Normal;
}

namespace {

bool IsReservedValueName(const std::string& name) {
    Variant c;
    return BuiltinConstant(name, c) || IsBuiltin(name);
}

std::vector<Variant> EvalArgs(const std::vector<ExprPtr>& args, Context& cx) {
    std::vector<Variant> out;
    out.reserve(args.size());
    for (const ExprPtr& a : args) out.push_back(a->Eval(cx));
    return out;
}

std::vector<int32_t> Subscripts(const std::vector<Variant>& values) {
    std::vector<int32_t> s;
    for (const Variant& v : values) s.push_back(CLng(v));
    return s;
}

Variant ElementOf(const Variant& arr, const std::vector<int32_t>& s) {
    if (s.size() == 1) return arr.Element(s[0]);
    if (s.size() == 2) return arr.Element({s[0], s[1]});
    RunError(errSubscriptOutOfRange);
}

void SetElementOf(Variant& arr, const std::vector<int32_t>& s, const Variant& v) {
    if (s.size() == 1) return arr.SetElement(s[0], v);
    if (s.size() == 2) return arr.SetElement({s[0], s[1]}, v);
    RunError(errSubscriptOutOfRange);
}

// The variable a statement writes, created on first use unless Option
// Explicit is in force.
Variant& WritableVariable(Context& cx, const std::string& name, const std::string& raw) {
    auto it = cx.vars.find(name);
    if (it != cx.vars.end()) return it->second;
    if (IsReservedValueName(name)) RunError(errScriptIllegalAssignment, "'" + raw + "'");
    if (cx.optionExplicit) RunError(errScriptUndefinedVariable, "'" + raw + "'");
    return cx.vars[name];
}

}  // namespace

// --- Expressions ------------------------------------------------------------------

Variant LiteralExpr::Eval(Context&) const { return value; }

Variant NameExpr::Eval(Context& cx) const {
    auto it = cx.vars.find(name);
    if (it != cx.vars.end()) return it->second;
    Variant c;
    if (BuiltinConstant(name, c)) return c;
    if (IsBuiltin(name)) {
        std::vector<Variant> none;
        Variant out;
        CallBuiltin(name, none, cx, out);
        return out;
    }
    if (cx.optionExplicit) RunError(errScriptUndefinedVariable, "'" + raw + "'");
    return Variant();
}

Variant CallExpr::Eval(Context& cx) const {
    auto it = cx.vars.find(name);
    if (it != cx.vars.end()) {
        std::vector<Variant> values = EvalArgs(args, cx);
        it = cx.vars.find(name);   // an argument cannot remove it, but stay safe
        const Variant& v = it->second;
        if (v.IsArray()) return ElementOf(v, Subscripts(values));
        if (values.empty()) return v;
        RunError(errTypeMismatch, "'" + raw + "'");
    }
    std::vector<Variant> values = EvalArgs(args, cx);
    Variant out;
    if (CallBuiltin(name, values, cx, out)) return out;
    if (cx.optionExplicit) RunError(errScriptUndefinedVariable, "'" + raw + "'");
    RunError(errTypeMismatch, "'" + raw + "'");
}

Variant BinaryExpr::Eval(Context& cx) const {
    Variant a = left->Eval(cx);
    Variant b = right->Eval(cx);
    return Binary(op, a, b);
}

Variant NegateExpr::Eval(Context& cx) const { return Negate(operand->Eval(cx)); }

Variant NotExpr::Eval(Context& cx) const { return LogicalNot(operand->Eval(cx)); }

// --- Statements -------------------------------------------------------------------

Flow DimStmt::Exec(Context& cx) const {
    for (const Item& item : items) {
        if (IsReservedValueName(item.name) && !cx.vars.count(item.name))
            RunError(errScriptIllegalAssignment, "'" + item.name + "'");
        if (item.upper.empty()) {
            cx.vars.try_emplace(item.name);
            continue;
        }
        std::vector<std::pair<int32_t, int32_t>> bounds;
        double cells = 1;
        for (const ExprPtr& e : item.upper) {
            int32_t u = CLng(e->Eval(cx));
            if (u < -1) RunError(errSubscriptOutOfRange);
            bounds.emplace_back(0, u);
            cells *= static_cast<double>(u) + 1;
        }
        if (cells > 16.0 * 1024 * 1024) RunError(7);
        // Refused before anything is allocated when all variables together
        // would then hold more than the cap.
        auto old = cx.vars.find(item.name);
        cx.CheckRoom(static_cast<uint64_t>(cells) * sizeof(Variant), old == cx.vars.end() ? 0 : Footprint(old->second));
        cx.Store(cx.vars[item.name], Variant::MakeArray(vbVariant, bounds));
    }
    return Flow::Normal;
}

Flow OptionExplicitStmt::Exec(Context& cx) const {
    cx.optionExplicit = true;
    return Flow::Normal;
}

Flow AssignStmt::Exec(Context& cx) const {
    if (indices.empty()) {
        Variant v = value->Eval(cx);
        cx.Store(WritableVariable(cx, name, raw), std::move(v));
        return Flow::Normal;
    }
    std::vector<int32_t> s = Subscripts(EvalArgs(indices, cx));
    Variant v = value->Eval(cx);
    auto it = cx.vars.find(name);
    if (it == cx.vars.end()) {
        if (cx.optionExplicit) RunError(errScriptUndefinedVariable, "'" + raw + "'");
        RunError(errTypeMismatch, "'" + raw + "'");
    }
    if (!it->second.IsArray()) RunError(errTypeMismatch, "'" + raw + "'");
    const uint64_t before = Footprint(ElementOf(it->second, s)), after = Footprint(v);
    if (after > before) cx.CheckRoom(after, before);
    SetElementOf(it->second, s, v);
    cx.held = cx.held - std::min(cx.held, before) + after;
    return Flow::Normal;
}

Flow CallStmt::Exec(Context& cx) const {
    if (cx.vars.count(name)) RunError(errTypeMismatch, "'" + raw + "'");
    std::vector<Variant> values = EvalArgs(args, cx);
    Variant out;
    if (!CallBuiltin(name, values, cx, out)) RunError(errTypeMismatch, "'" + raw + "'");
    return Flow::Normal;
}

Flow IfStmt::Exec(Context& cx) const {
    for (size_t i = 0; i < conditions.size(); ++i) {
        if (Truth(conditions[i]->Eval(cx))) return RunBlock(branches[i], cx);
    }
    return RunBlock(elseBranch, cx);
}

Flow ForStmt::Exec(Context& cx) const {
    Variant start = from->Eval(cx);
    Variant endValue = to->Eval(cx);
    Variant stepValue = step ? step->Eval(cx) : Variant(static_cast<int16_t>(1));
    const double last = CDbl(endValue);
    const double inc = CDbl(stepValue);
    CDbl(start);   // a counter must start at a number
    cx.Store(WritableVariable(cx, var, raw), start);
    for (;;) {
        cx.Tick();
        double current = CDbl(WritableVariable(cx, var, raw));
        if (inc >= 0 ? current > last : current < last) break;
        Flow f = RunBlock(body, cx);
        if (f == Flow::ExitFor) break;
        if (f == Flow::ExitDo) return f;
        Variant& counter = WritableVariable(cx, var, raw);
        cx.Store(counter, Binary(BinOp::Add, counter, stepValue));
    }
    return Flow::Normal;
}

Flow DoStmt::Exec(Context& cx) const {
    auto stop = [&](Test test, const ExprPtr& condition) {
        if (test == Test::None) return false;
        bool c = Truth(condition->Eval(cx));
        return test == Test::While ? !c : c;
    };
    for (;;) {
        cx.Tick();
        if (stop(preTest, preCondition)) break;
        Flow f = RunBlock(body, cx);
        if (f == Flow::ExitDo) {
            if (whileWend) return f;
            break;
        }
        if (f == Flow::ExitFor) return f;
        if (stop(postTest, postCondition)) break;
    }
    return Flow::Normal;
}

Flow ExitStmt::Exec(Context&) const { return kind; }

}  // namespace vb::script
