// Recursive-descent parser of the script language.
#include <algorithm>
#include <unordered_set>

#include "platform/script/script_nodes.h"

namespace vb::script {

namespace {

// Compile error numbers for a missing keyword.
enum : int32_t {
    errExpectedLParen = 1005,
    errExpectedRParen = 1006,
    errExpectedIdentifier = 1010,
    errExpectedEquals = 1011,
    errExpectedIf = 1012,
    errExpectedTo = 1013,
    errExpectedEnd = 1014,
    errExpectedThen = 1017,
    errExpectedWend = 1018,
    errExpectedLoop = 1019,
    errExpectedNext = 1020,
    errExpectedExpression = 1015,
    errExpectedExplicit = 1026,
    errOutOfStack = 28,
};

// Words that cannot name a variable.
const std::unordered_set<std::string>& Reserved() {
    static const std::unordered_set<std::string> words = {
        "and", "or", "not", "xor", "mod", "dim", "if", "then", "else", "elseif", "end", "for", "to",
        "step", "next", "do", "loop", "while", "until", "wend", "exit", "rem", "call", "true", "false",
        "empty", "null", "nothing", "option", "explicit", "is"};
    return words;
}

class Parser {
public:
    explicit Parser(const std::vector<Token>& t) : toks_(t) {}

    Block Program() {
        Block b = ParseBlock([](const Token& t) { return t.kind == Tok::Eof; });
        return b;
    }

private:
    const std::vector<Token>& toks_;
    size_t pos_ = 0;
    int forDepth_ = 0;
    int doDepth_ = 0;
    bool seenStatement_ = false;

    const Token& Cur() const { return toks_[pos_]; }
    const Token& Peek(size_t n = 1) const {
        size_t p = pos_ + n;
        return p < toks_.size() ? toks_[p] : toks_.back();
    }
    void Advance() {
        if (toks_[pos_].kind != Tok::Eof) ++pos_;
    }
    static bool IsWord(const Token& t, const char* w) { return t.kind == Tok::Ident && t.text == w; }
    bool IsWord(const char* w) const { return IsWord(Cur(), w); }
    // Where a block ends: at the given word, or at "End If".
    static auto AtWord(const char* w) {
        return [w](const Token& t) { return IsWord(t, w); };
    }
    auto AtEndIf() const {
        return [this](const Token& t) { return IsWord(t, "end") && IsWord(Peek(), "if"); };
    }
    bool IsOp(const char* op) const { return Cur().kind == Tok::Op && Cur().text == op; }
    bool AcceptWord(const char* w) {
        if (!IsWord(w)) return false;
        Advance();
        return true;
    }
    bool AcceptOp(const char* op) {
        if (!IsOp(op)) return false;
        Advance();
        return true;
    }
    void ExpectWord(const char* w, int32_t err) {
        if (!AcceptWord(w)) CompileError(err, Cur().line);
    }
    void ExpectOp(const char* op, int32_t err) {
        if (!AcceptOp(op)) CompileError(err, Cur().line);
    }
    bool AtSeparator() const {
        return Cur().kind == Tok::Newline || Cur().kind == Tok::Colon || Cur().kind == Tok::Eof;
    }
    void SkipSeparators() {
        while (Cur().kind == Tok::Newline || Cur().kind == Tok::Colon) Advance();
    }
    std::string ExpectName() {
        if (Cur().kind != Tok::Ident || Reserved().count(Cur().text)) CompileError(errExpectedIdentifier, Cur().line);
        std::string n = Cur().text;
        Advance();
        return n;
    }

    // A node that names a variable or procedure, as written at `line`.
    template <class Node>
    std::unique_ptr<Node> Named(int line, const std::string& name, const std::string& raw) {
        auto n = std::make_unique<Node>();
        n->line = line;
        n->name = name;
        n->raw = raw;
        return n;
    }

    // Statements up to (not including) the token where `stop` holds.
    template <class Stop>
    Block ParseBlock(Stop stop, int32_t eofError = errScriptSyntax) {
        Block block;
        for (;;) {
            SkipSeparators();
            if (stop(Cur())) return block;
            if (Cur().kind == Tok::Eof) CompileError(eofError, Cur().line);
            block.push_back(Statement(false));
            if (!AtSeparator()) CompileError(errScriptExpectedEnd, Cur().line);
        }
    }

    // Statements of a single-line If branch: separated by ':' up to the line
    // end, or up to "Else" when stopAtElse.
    Block LineStatements(bool stopAtElse) {
        Block block;
        for (;;) {
            while (Cur().kind == Tok::Colon) Advance();
            if (Cur().kind == Tok::Newline || Cur().kind == Tok::Eof) return block;
            if (stopAtElse && IsWord("else")) return block;
            block.push_back(Statement(true));
            if (Cur().kind == Tok::Colon || Cur().kind == Tok::Newline || Cur().kind == Tok::Eof) continue;
            if (stopAtElse && IsWord("else")) continue;
            CompileError(errScriptExpectedEnd, Cur().line);
        }
    }

    StmtPtr Statement(bool inLineIf) {
        DepthGuard g(depth_, Cur().line);
        const Token& t = Cur();
        int line = t.line;
        if (t.kind != Tok::Ident) CompileError(errScriptExpectedStatement, line);
        const std::string& w = t.text;
        bool first = !seenStatement_;
        if (w != "rem") seenStatement_ = true;
        if (w == "rem") {
            Advance();
            auto s = std::make_unique<DimStmt>();   // an empty Dim does nothing
            s->line = line;
            return s;
        }
        if (w == "option") {
            Advance();
            ExpectWord("explicit", errExpectedExplicit);
            if (!first) CompileError(errScriptExpectedStatement, line);
            auto s = std::make_unique<OptionExplicitStmt>();
            s->line = line;
            return s;
        }
        if (w == "dim") return Dim();
        if (w == "if") return If(inLineIf);
        if (w == "for") return For();
        if (w == "do") return Do();
        if (w == "while") return WhileWend();
        if (w == "exit") return Exit();
        if (w == "call") {
            Advance();
            auto s = std::make_unique<CallStmt>();
            s->line = line;
            s->raw = Cur().raw;
            s->name = ExpectName();
            if (AcceptOp("(")) {
                if (!IsOp(")")) s->args = ArgList();
                ExpectOp(")", errExpectedRParen);
            }
            return s;
        }
        if (Reserved().count(w)) CompileError(errScriptExpectedStatement, line);
        return AssignOrCall();
    }

    StmtPtr Dim() {
        auto s = std::make_unique<DimStmt>();
        s->line = Cur().line;
        Advance();
        do {
            DimStmt::Item item;
            item.name = ExpectName();
            if (AcceptOp("(")) {
                if (AcceptOp(")")) {
                    item.dynamic = true;
                } else {
                    item.upper = ArgList();
                    if (item.upper.size() > 2) CompileError(errScriptSyntax, Cur().line);
                    ExpectOp(")", errExpectedRParen);
                }
            }
            s->items.push_back(std::move(item));
        } while (AcceptOp(","));
        return s;
    }

    StmtPtr If(bool inLineIf) {
        auto s = std::make_unique<IfStmt>();
        s->line = Cur().line;
        Advance();
        s->conditions.push_back(Expression());
        ExpectWord("then", errExpectedThen);
        if (Cur().kind != Tok::Newline && Cur().kind != Tok::Eof) {
            // Single-line form.
            s->branches.push_back(LineStatements(true));
            if (AcceptWord("else")) s->elseBranch = LineStatements(inLineIf);
            return s;
        }
        if (inLineIf) CompileError(errScriptSyntax, Cur().line);
        auto stopAtBranch = [this](const Token& t) { return IsWord(t, "elseif") || IsWord(t, "else") || AtEndIf()(t); };
        s->branches.push_back(ParseBlock(stopAtBranch, errExpectedEnd));
        for (;;) {
            if (AcceptWord("elseif")) {
                s->conditions.push_back(Expression());
                ExpectWord("then", errExpectedThen);
                s->branches.push_back(ParseBlock(stopAtBranch, errExpectedEnd));
                continue;
            }
            if (AcceptWord("else")) {
                s->elseBranch = ParseBlock(AtEndIf(), errExpectedEnd);
            }
            break;
        }
        ExpectWord("end", errExpectedEnd);
        ExpectWord("if", errExpectedIf);
        return s;
    }

    StmtPtr For() {
        auto s = std::make_unique<ForStmt>();
        s->line = Cur().line;
        Advance();
        s->raw = Cur().raw;
        s->var = ExpectName();
        ExpectOp("=", errExpectedEquals);
        s->from = Expression();
        ExpectWord("to", errExpectedTo);
        s->to = Expression();
        if (AcceptWord("step")) s->step = Expression();
        ++forDepth_;
        s->body = ParseBlock(AtWord("next"), errExpectedNext);
        --forDepth_;
        Advance();   // Next
        if (Cur().kind == Tok::Ident && !Reserved().count(Cur().text)) {
            if (Cur().text != s->var) CompileError(errScriptSyntax, Cur().line);
            Advance();
        }
        return s;
    }

    DoStmt::Test LoopTest() {
        if (AcceptWord("while")) return DoStmt::Test::While;
        if (AcceptWord("until")) return DoStmt::Test::Until;
        return DoStmt::Test::None;
    }

    StmtPtr Do() {
        auto s = std::make_unique<DoStmt>();
        s->line = Cur().line;
        Advance();
        s->preTest = LoopTest();
        if (s->preTest != DoStmt::Test::None) s->preCondition = Expression();
        ++doDepth_;
        s->body = ParseBlock(AtWord("loop"), errExpectedLoop);
        --doDepth_;
        Advance();   // Loop
        s->postTest = LoopTest();
        if (s->postTest != DoStmt::Test::None) {
            if (s->preTest != DoStmt::Test::None) CompileError(errScriptExpectedEnd, Cur().line);
            s->postCondition = Expression();
        }
        return s;
    }

    StmtPtr WhileWend() {
        auto s = std::make_unique<DoStmt>();
        s->line = Cur().line;
        s->whileWend = true;
        Advance();
        s->preTest = DoStmt::Test::While;
        s->preCondition = Expression();
        s->body = ParseBlock(AtWord("wend"), errExpectedWend);
        Advance();   // Wend
        return s;
    }

    StmtPtr Exit() {
        auto s = std::make_unique<ExitStmt>();
        s->line = Cur().line;
        Advance();
        if (AcceptWord("for")) {
            if (forDepth_ == 0) CompileError(errScriptInvalidExit, s->line);
            s->kind = Flow::ExitFor;
        } else if (AcceptWord("do")) {
            if (doDepth_ == 0) CompileError(errScriptInvalidExit, s->line);
            s->kind = Flow::ExitDo;
        } else {
            CompileError(errScriptInvalidExit, s->line);
        }
        return s;
    }

    // "name = expr", "name(i) = expr", or a procedure call "name args".
    StmtPtr AssignOrCall() {
        int line = Cur().line;
        std::string raw = Cur().raw;
        std::string name = Cur().text;
        Advance();
        if (AcceptOp("=")) {
            auto s = Named<AssignStmt>(line, name, raw);
            s->value = Expression();
            return s;
        }
        if (IsOp("(") && ParenFollowedByEquals()) {
            Advance();
            auto s = Named<AssignStmt>(line, name, raw);
            s->indices = ArgList();
            if (s->indices.size() > 2) CompileError(errScriptSyntax, line);
            ExpectOp(")", errExpectedRParen);
            ExpectOp("=", errExpectedEquals);
            s->value = Expression();
            return s;
        }
        auto s = Named<CallStmt>(line, name, raw);
        if (!AtSeparator() && !IsWord("else")) s->args = ArgList();
        return s;
    }

    // True when the "(" at the cursor closes on the same line and is followed
    // by "=" (an element assignment rather than a call).
    bool ParenFollowedByEquals() const {
        int depth = 0;
        for (size_t p = pos_; p < toks_.size(); ++p) {
            const Token& t = toks_[p];
            if (t.kind == Tok::Newline || t.kind == Tok::Colon || t.kind == Tok::Eof) return false;
            if (t.kind != Tok::Op) continue;
            if (t.text == "(") ++depth;
            if (t.text == ")" && --depth == 0) {
                const Token& n = p + 1 < toks_.size() ? toks_[p + 1] : toks_.back();
                return n.kind == Tok::Op && n.text == "=";
            }
        }
        return false;
    }

    std::vector<ExprPtr> ArgList() {
        std::vector<ExprPtr> args;
        do {
            args.push_back(Expression());
        } while (AcceptOp(","));
        return args;
    }

    // --- Expressions, lowest precedence first ---------------------------------------

    // Nesting is bounded so that a pathological text ("((((...") is refused
    // with an error instead of exhausting the stack.
    struct DepthGuard {
        int& depth;
        DepthGuard(int& d, int line) : depth(d) {
            if (++depth > kMaxDepth) CompileError(errOutOfStack, line);
        }
        ~DepthGuard() { --depth; }
    };
    static constexpr int kMaxDepth = 400;
    int depth_ = 0;

    // A long chain of operators ("1 + 1 + ... + 1") is parsed without
    // recursion but yields a tree as deep as the chain, which evaluating and
    // freeing would walk recursively; trees deeper than this are refused.
    static constexpr int kMaxHeight = 2000;
    template <class Node>
    std::unique_ptr<Node> Measured(std::unique_ptr<Node> e, int below) {
        e->height = below + 1;
        if (e->height > kMaxHeight) CompileError(errOutOfStack, e->line);
        return e;
    }

    ExprPtr Expression() {
        DepthGuard g(depth_, Cur().line);
        return Xor();
    }

    ExprPtr MakeBinary(BinOp op, ExprPtr l, ExprPtr r, int line) {
        auto e = std::make_unique<BinaryExpr>();
        e->op = op;
        e->left = std::move(l);
        e->right = std::move(r);
        e->line = line;
        const int below = std::max(e->left->height, e->right->height);
        return Measured(std::move(e), below);
    }

    using Level = ExprPtr (Parser::*)();

    // An operator of one precedence level: a keyword ("mod") or a symbol ("+").
    struct OpSpelling {
        bool word;
        const char* text;
        BinOp op;
    };

    // A left-associative level: `left` (op `right`)*, for any of `ops`.
    template <size_t N>
    ExprPtr LeftAssociative(Level left, Level right, const OpSpelling (&ops)[N]) {
        ExprPtr e = (this->*left)();
        for (;;) {
            const OpSpelling* hit = nullptr;
            for (const OpSpelling& o : ops) {
                if (o.word ? IsWord(o.text) : IsOp(o.text)) {
                    hit = &o;
                    break;
                }
            }
            if (!hit) return e;
            int line = Cur().line;
            Advance();
            e = MakeBinary(hit->op, std::move(e), (this->*right)(), line);
        }
    }
    template <size_t N>
    ExprPtr LeftAssociative(Level operand, const OpSpelling (&ops)[N]) {
        return LeftAssociative(operand, operand, ops);
    }

    ExprPtr Xor() {
        static constexpr OpSpelling ops[] = {{true, "xor", BinOp::Xor}};
        return LeftAssociative(&Parser::Or, ops);
    }
    ExprPtr Or() {
        static constexpr OpSpelling ops[] = {{true, "or", BinOp::Or}};
        return LeftAssociative(&Parser::And, ops);
    }
    ExprPtr And() {
        static constexpr OpSpelling ops[] = {{true, "and", BinOp::And}};
        return LeftAssociative(&Parser::Not, ops);
    }
    ExprPtr Not() {
        DepthGuard g(depth_, Cur().line);
        if (IsWord("not")) return Prefixed<NotExpr>(&Parser::Not);
        return Compare();
    }
    ExprPtr Compare() {
        static constexpr OpSpelling ops[] = {{false, "=", BinOp::Eq},  {false, "<>", BinOp::Ne},
                                             {false, "<", BinOp::Lt},  {false, ">", BinOp::Gt},
                                             {false, "<=", BinOp::Le}, {false, ">=", BinOp::Ge}};
        return LeftAssociative(&Parser::Concat, ops);
    }
    ExprPtr Concat() {
        static constexpr OpSpelling ops[] = {{false, "&", BinOp::Concat}};
        return LeftAssociative(&Parser::Additive, ops);
    }
    ExprPtr Additive() {
        static constexpr OpSpelling ops[] = {{false, "+", BinOp::Add}, {false, "-", BinOp::Sub}};
        return LeftAssociative(&Parser::Modulo, ops);
    }
    ExprPtr Modulo() {
        static constexpr OpSpelling ops[] = {{true, "mod", BinOp::Mod}};
        return LeftAssociative(&Parser::IntDivide, ops);
    }
    ExprPtr IntDivide() {
        static constexpr OpSpelling ops[] = {{false, "\\", BinOp::IntDiv}};
        return LeftAssociative(&Parser::Multiplicative, ops);
    }
    ExprPtr Multiplicative() {
        static constexpr OpSpelling ops[] = {{false, "*", BinOp::Mul}, {false, "/", BinOp::Div}};
        return LeftAssociative(&Parser::Unary, ops);
    }
    // Unary minus binds less tightly than "^": -2 ^ 2 is -4.
    ExprPtr Unary() { return Signed(&Parser::Unary, &Parser::Power); }
    ExprPtr Power() {
        static constexpr OpSpelling ops[] = {{false, "^", BinOp::Pow}};
        return LeftAssociative(&Parser::Primary, &Parser::PowerOperand, ops);
    }
    ExprPtr PowerOperand() { return Signed(&Parser::PowerOperand, &Parser::Primary); }

    // The prefix operator at the cursor (consumed) applied to `self`.
    template <class Prefix>
    ExprPtr Prefixed(Level self) {
        int line = Cur().line;
        Advance();
        auto e = std::make_unique<Prefix>();
        e->line = line;
        e->operand = (this->*self)();
        const int below = e->operand->height;
        return Measured(std::move(e), below);
    }

    // Leading signs ("-" negates, "+" is dropped) before `self`, else `next`.
    ExprPtr Signed(Level self, Level next) {
        DepthGuard g(depth_, Cur().line);
        if (IsOp("-")) return Prefixed<NegateExpr>(self);
        if (AcceptOp("+")) return (this->*self)();
        return (this->*next)();
    }

    ExprPtr Literal(Variant v, int line) {
        auto e = std::make_unique<LiteralExpr>();
        e->value = std::move(v);
        e->line = line;
        return e;
    }

    ExprPtr Primary() {
        const Token& t = Cur();
        int line = t.line;
        switch (t.kind) {
            case Tok::Number:
            case Tok::String: {
                Variant v = t.value;
                Advance();
                return Literal(std::move(v), line);
            }
            case Tok::Op:
                if (t.text == "(") {
                    Advance();
                    ExprPtr e = Expression();
                    ExpectOp(")", errExpectedRParen);
                    return e;
                }
                CompileError(errExpectedExpression, line);
            case Tok::Ident: {
                const std::string& w = t.text;
                if (w == "true") { Advance(); return Literal(Variant(true), line); }
                if (w == "false") { Advance(); return Literal(Variant(false), line); }
                if (w == "empty") { Advance(); return Literal(Variant(), line); }
                if (w == "null") { Advance(); return Literal(Variant::Null(), line); }
                if (w == "nothing") { Advance(); return Literal(Variant::Nothing(), line); }
                if (Reserved().count(w)) CompileError(errExpectedExpression, line);
                std::string name = w, raw = t.raw;
                Advance();
                if (AcceptOp("(")) {
                    auto e = Named<CallExpr>(line, name, raw);
                    if (!IsOp(")")) e->args = ArgList();
                    ExpectOp(")", errExpectedRParen);
                    int below = 0;
                    for (const ExprPtr& a : e->args) below = std::max(below, a->height);
                    return Measured(std::move(e), below);
                }
                return Named<NameExpr>(line, name, raw);
            }
            default:
                CompileError(errExpectedExpression, line);
        }
    }
};

}  // namespace

Block Parse(const std::vector<Token>& tokens) {
    Parser p(tokens);
    return p.Program();
}

}  // namespace vb::script
