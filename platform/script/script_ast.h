// Internals of the script interpreter: tokens, the syntax tree and the
// execution context.  Only the script library includes this header.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/runtime/variant.h"
#include "platform/script/scriptcontrol.h"

namespace vb::script {

// --- Tokens -------------------------------------------------------------------

enum class Tok { Number, String, Ident, Op, Newline, Colon, Eof };

struct Token {
    Tok kind = Tok::Eof;
    std::string text;   // identifiers in lower case; operators as written
    std::string raw;    // identifiers as written (for messages)
    Variant value;      // number and string literals
    int line = 1;
};

// Splits a script into tokens.  Comments are dropped; "Rem" is kept as an
// identifier token whose text is "rem" and the rest of its line is skipped.
// Raises ScriptError (compile) for an unterminated string or a bad number.
std::vector<Token> Tokenize(std::string_view text);

// --- Errors -------------------------------------------------------------------

[[noreturn]] void CompileError(int32_t number, int line, const std::string& extra = {});
// Raises a run-time error with the standard description of the number.
[[noreturn]] void RunError(int32_t number, const std::string& extra = {});
std::string ScriptErrorDescription(int32_t number);

// --- Execution context ------------------------------------------------------------

class Context {
public:
    std::unordered_map<std::string, Variant> vars;   // keys in lower case
    bool optionExplicit = false;
    ScriptControl::MsgBoxHandler msgBox;
    int32_t timeoutMs = -1;
    std::chrono::steady_clock::time_point deadline{};
    uint32_t steps = 0;
    uint32_t rndSeed = 0x50000;
    float lastRnd = 0;
    // Bytes that the variables' texts and arrays hold, and the most they may
    // hold together; storing past it fails with "Out of memory".
    static constexpr uint64_t kMemoryCap = uint64_t(256) << 20;
    uint64_t held = 0;

    // Counts one step and fails with "Script timed out" once the deadline
    // has come (checked at every statement and loop turn).
    void Tick();
    // Puts v into a variable or an array element, keeping `held` up to date;
    // fails with "Out of memory" (leaving the slot as it was) when the
    // variables would then hold more than kMemoryCap.
    void Store(Variant& slot, Variant v);
    // Fails with "Out of memory" unless `bytes` more fit under the cap once
    // `released` bytes are given back.
    void CheckRoom(uint64_t bytes, uint64_t released) const;
    // Pushes the deadline back by the time a host callback took.
    void Pause(std::chrono::steady_clock::duration d) { deadline += d; }
};

// --- Syntax tree ------------------------------------------------------------------

struct Expr {
    int line = 0;
    int height = 1;   // levels of the subtree: evaluating it recurses this deep
    virtual ~Expr() = default;
    virtual Variant Eval(Context& cx) const = 0;
};
using ExprPtr = std::unique_ptr<Expr>;

enum class Flow { Normal, ExitFor, ExitDo };

struct Stmt {
    int line = 0;
    virtual ~Stmt() = default;
    virtual Flow Exec(Context& cx) const = 0;
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

// Runs a block, stopping at an Exit; errors of a statement get its line.
Flow RunBlock(const Block& block, Context& cx);

// Parses a whole script into one block.  Raises ScriptError (compile).
Block Parse(const std::vector<Token>& tokens);

// --- Values -----------------------------------------------------------------------

enum class BinOp { Add, Sub, Mul, Div, IntDiv, Mod, Pow, Concat, Eq, Ne, Lt, Gt, Le, Ge, And, Or, Xor };

Variant Binary(BinOp op, const Variant& a, const Variant& b);
Variant Negate(const Variant& a);
Variant LogicalNot(const Variant& a);
// The truth of a condition (Null and Empty are False).
bool Truth(const Variant& v);

// --- Built-in functions and constants -----------------------------------------------

// True when name (lower case) is a built-in function; result in out.
bool CallBuiltin(const std::string& name, std::vector<Variant>& args, Context& cx, Variant& out);
bool IsBuiltin(const std::string& name);
// True when name (lower case) is a built-in constant (vbCrLf, vbOKOnly, ...).
bool BuiltinConstant(const std::string& name, Variant& out);

}  // namespace vb::script
