// The node classes of the script syntax tree (built by the parser, run by
// exec.cpp).
#pragma once

#include <string>
#include <vector>

#include "platform/script/script_ast.h"

namespace vb::script {

// --- Expressions ------------------------------------------------------------------

struct LiteralExpr : Expr {
    Variant value;
    Variant Eval(Context& cx) const override;
};

// A bare name: a variable, a built-in constant or a function called without
// arguments.
struct NameExpr : Expr {
    std::string name;   // lower case
    std::string raw;
    Variant Eval(Context& cx) const override;
};

// name(args): an array element or a function call, decided when it runs.
struct CallExpr : Expr {
    std::string name;
    std::string raw;
    std::vector<ExprPtr> args;
    Variant Eval(Context& cx) const override;
};

struct BinaryExpr : Expr {
    BinOp op;
    ExprPtr left, right;
    Variant Eval(Context& cx) const override;
};

struct NegateExpr : Expr {
    ExprPtr operand;
    Variant Eval(Context& cx) const override;
};

struct NotExpr : Expr {
    ExprPtr operand;
    Variant Eval(Context& cx) const override;
};

// --- Statements -------------------------------------------------------------------

struct DimStmt : Stmt {
    struct Item {
        std::string name;
        std::vector<ExprPtr> upper;   // empty: a scalar
        bool dynamic = false;         // "Dim a()"
    };
    std::vector<Item> items;
    Flow Exec(Context& cx) const override;
};

struct OptionExplicitStmt : Stmt {
    Flow Exec(Context& cx) const override;
};

struct AssignStmt : Stmt {
    std::string name;
    std::string raw;
    std::vector<ExprPtr> indices;   // empty: the variable itself
    ExprPtr value;
    Flow Exec(Context& cx) const override;
};

// A statement that calls a procedure: "MsgBox x", "Call MsgBox(x)".
struct CallStmt : Stmt {
    std::string name;
    std::string raw;
    std::vector<ExprPtr> args;
    Flow Exec(Context& cx) const override;
};

struct IfStmt : Stmt {
    std::vector<ExprPtr> conditions;   // If, then each ElseIf
    std::vector<Block> branches;       // one per condition
    Block elseBranch;
    Flow Exec(Context& cx) const override;
};

struct ForStmt : Stmt {
    std::string var;
    std::string raw;
    ExprPtr from, to, step;   // step may be null (1)
    Block body;
    Flow Exec(Context& cx) const override;
};

struct DoStmt : Stmt {
    enum class Test { None, While, Until };
    Test preTest = Test::None;
    ExprPtr preCondition;
    Test postTest = Test::None;
    ExprPtr postCondition;
    Block body;
    bool whileWend = false;   // While ... Wend: "Exit Do" leaves the enclosing Do
    Flow Exec(Context& cx) const override;
};

struct ExitStmt : Stmt {
    Flow kind = Flow::ExitFor;
    Flow Exec(Context& cx) const override;
};

}  // namespace vb::script
