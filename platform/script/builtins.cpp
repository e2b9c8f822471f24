// Built-in functions and constants of the script language.
#include <chrono>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/runtime/conversions.h"
#include "platform/script/script_ast.h"

namespace vb::script {

namespace {

using Args = std::vector<Variant>;
using Fn = Variant (*)(Args&, Context&);

struct Builtin {
    size_t minArgs;
    size_t maxArgs;
    Fn fn;
};

// Text longer than this is refused with "Out of memory" rather than letting
// a typing slip (Space(1E9)) exhaust the machine.
constexpr int64_t kMaxText = 64 * 1024 * 1024;

std::string Text(const Variant& v) {
    if (v.IsNull()) RunError(94);
    if (v.IsEmpty()) return {};
    return CStr(v);
}

int64_t Count(const Variant& v) {
    int32_t n = CLng(v);
    if (n < 0) RunError(errInvalidProcedureCall);
    return n;
}

double Real(const Variant& v) {
    if (v.IsNull()) RunError(94);
    return CDbl(v);
}

Variant Checked(double d) {
    if (!std::isfinite(d)) RunError(errOverflow);
    return Variant(d);
}

// UTF-8 of one code point (0 ... 0xFFFF).
std::string Utf8(uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

// The first code point of a UTF-8 text.
uint32_t FirstCodePoint(const std::string& s) {
    auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = b(0);
    if (c < 0x80 || s.size() < 2) return c;
    if ((c & 0xE0) == 0xC0) return ((c & 0x1Fu) << 6) | (b(1) & 0x3Fu);
    if ((c & 0xF0) == 0xE0 && s.size() >= 3) return ((c & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
    if ((c & 0xF8) == 0xF0 && s.size() >= 4)
        return ((c & 0x07u) << 18) | ((b(1) & 0x3Fu) << 12) | ((b(2) & 0x3Fu) << 6) | (b(3) & 0x3Fu);
    return c;
}

std::string FoldAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool NullFirst(const Args& a) { return !a.empty() && a[0].IsNull(); }

// Keeps whole-number arguments whole (Int(7) is the Integer 7).
Variant SameKind(const Variant& v, double r) {
    switch (v.Type()) {
        case vbInteger: case vbLong: case vbByte: case vbBoolean: case vbEmpty:
            if (r >= INT16_MIN && r <= INT16_MAX && v.Type() != vbLong) return Variant(static_cast<int16_t>(r));
            if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
            return Variant(r);
        default:
            return Checked(r);
    }
}

// A text function of one argument; Null gives Null.
template <std::string (*F)(std::string_view)>
Variant OnText(Args& a, Context&) {
    if (NullFirst(a)) return Variant::Null();
    return Variant(F(Text(a[0])));
}

// A number function of one argument whose result keeps a whole-number
// argument's kind; Null gives Null.
template <double (*F)(double)>
Variant OnNumber(Args& a, Context&) {
    if (NullFirst(a)) return Variant::Null();
    return SameKind(a[0], F(Real(a[0])));
}

double Abs(double x) { return std::fabs(x); }

Variant RoundTo(double x, int32_t digits) {
    double scale = std::pow(10.0, digits);
    double scaled = x * scale;
    if (!std::isfinite(scaled)) return Variant(x);
    double fl = std::floor(scaled);
    double frac = scaled - fl;
    double r;
    // Treat a fraction within rounding noise of one half as an exact half,
    // so that 2.675 to two places behaves as typed.
    double tol = 1e-9 * std::max(1.0, std::fabs(scaled));
    if (std::fabs(frac - 0.5) <= tol) r = std::fmod(fl, 2.0) == 0 ? fl : fl + 1;
    else r = RoundHalfEven(scaled);
    return Checked(r / scale);
}

Variant FnMsgBox(Args& a, Context& cx) {
    std::string prompt = Text(a[0]);
    int buttons = a.size() > 1 && !a[1].IsEmpty() ? CLng(a[1]) : 0;
    std::string title = a.size() > 2 ? Text(a[2]) : std::string();
    if (!cx.msgBox) return Variant(static_cast<int16_t>(1));
    auto started = std::chrono::steady_clock::now();
    int r = cx.msgBox(prompt, buttons, title);
    cx.Pause(std::chrono::steady_clock::now() - started);
    return Variant(static_cast<int16_t>(r));
}

Variant FnRnd(Args& a, Context& cx) {
    double x = a.empty() ? 1.0 : Real(a[0]);
    if (x == 0) return Variant(cx.lastRnd);
    if (x < 0) {
        float f = static_cast<float>(x);
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        cx.rndSeed = (bits + (bits >> 24)) & 0xFFFFFFu;
    }
    cx.rndSeed = static_cast<uint32_t>((static_cast<uint64_t>(cx.rndSeed) * 1140671485u + 12820163u) & 0xFFFFFFu);
    cx.lastRnd = static_cast<float>(cx.rndSeed) / 16777216.0f;
    return Variant(cx.lastRnd);
}

Variant FnInStr(Args& a, Context&) {
    int64_t start = 1;
    size_t k = 0;
    if (a.size() >= 3) {
        start = CLng(a[0]);
        if (start < 1) RunError(errInvalidProcedureCall);
        k = 1;
    }
    if (a[k].IsNull() || a[k + 1].IsNull()) return Variant::Null();
    std::string s = Text(a[k]), f = Text(a[k + 1]);
    if (a.size() == 4 && CLng(a[3]) == 1) {
        s = FoldAscii(s);
        f = FoldAscii(f);
    }
    return Variant(static_cast<int32_t>(InStr(s, f, start)));
}

Variant FnReplace(Args& a, Context&) {
    if (NullFirst(a)) return Variant::Null();
    std::string s = Text(a[0]), find = Text(a[1]), with = Text(a[2]);
    int64_t start = a.size() > 3 ? CLng(a[3]) : 1;
    int64_t count = a.size() > 4 ? CLng(a[4]) : -1;
    bool fold = a.size() > 5 && CLng(a[5]) == 1;
    if (start < 1 || count < -1) RunError(errInvalidProcedureCall);
    s = Mid(s, start);
    if (find.empty() || count == 0) return Variant(s);
    std::string hay = fold ? FoldAscii(s) : s;
    std::string needle = fold ? FoldAscii(find) : find;
    std::string out;
    size_t pos = 0;
    int64_t done = 0;
    while (count < 0 || done < count) {
        size_t at = hay.find(needle, pos);
        if (at == std::string::npos) break;
        out.append(s, pos, at - pos);
        out += with;
        pos = at + needle.size();
        ++done;
        if (static_cast<int64_t>(out.size()) > kMaxText) RunError(7);
    }
    out.append(s, pos, std::string::npos);
    return Variant(out);
}

Variant FnString(Args& a, Context&) {
    int64_t n = Count(a[0]);
    if (n > kMaxText) RunError(7);
    if (a[1].IsNull()) return Variant::Null();
    std::string ch;
    if (a[1].IsString()) {
        const std::string& s = a[1].RawString();
        if (s.empty()) RunError(errInvalidProcedureCall);
        ch = Utf8(FirstCodePoint(s) & 0xFFFF);
    } else {
        ch = Utf8(static_cast<uint32_t>(CLng(a[1])) & 0xFF);
    }
    std::string out;
    out.reserve(static_cast<size_t>(n) * ch.size());
    for (int64_t i = 0; i < n; ++i) out += ch;
    return Variant(out);
}

const std::unordered_map<std::string, Builtin>& Table() {
    static const std::unordered_map<std::string, Builtin> t = {
        {"msgbox", {1, 3, FnMsgBox}},
        {"len", {1, 1, [](Args& a, Context&) -> Variant {
             if (NullFirst(a)) return Variant::Null();
             return Variant(static_cast<int32_t>(Len(Text(a[0]))));
         }}},
        {"left", {2, 2, [](Args& a, Context&) -> Variant {
             if (NullFirst(a)) return Variant::Null();
             return Variant(Left(Text(a[0]), Count(a[1])));
         }}},
        {"right", {2, 2, [](Args& a, Context&) -> Variant {
             if (NullFirst(a)) return Variant::Null();
             return Variant(Right(Text(a[0]), Count(a[1])));
         }}},
        {"mid", {2, 3, [](Args& a, Context&) -> Variant {
             if (NullFirst(a)) return Variant::Null();
             int64_t start = CLng(a[1]);
             if (start < 1) RunError(errInvalidProcedureCall);
             if (a.size() == 3) return Variant(Mid(Text(a[0]), start, Count(a[2])));
             return Variant(Mid(Text(a[0]), start));
         }}},
        {"ucase", {1, 1, &OnText<UCase>}},
        {"lcase", {1, 1, &OnText<LCase>}},
        {"trim", {1, 1, &OnText<Trim>}},
        {"ltrim", {1, 1, &OnText<LTrim>}},
        {"rtrim", {1, 1, &OnText<RTrim>}},
        {"instr", {2, 4, FnInStr}},
        {"replace", {3, 6, FnReplace}},
        {"space", {1, 1, [](Args& a, Context&) -> Variant {
             int64_t n = Count(a[0]);
             if (n > kMaxText) RunError(7);
             return Variant(std::string(static_cast<size_t>(n), ' '));
         }}},
        {"string", {2, 2, FnString}},
        {"chr", {1, 1, [](Args& a, Context&) -> Variant {
             int32_t n = CLng(a[0]);
             if (n < 0 || n > 0xFFFF) RunError(errInvalidProcedureCall);
             return Variant(Utf8(static_cast<uint32_t>(n)));
         }}},
        {"asc", {1, 1, [](Args& a, Context&) -> Variant {
             std::string s = Text(a[0]);
             if (s.empty()) RunError(errInvalidProcedureCall);
             uint32_t cp = FirstCodePoint(s);
             if (cp <= 0x7FFF) return Variant(static_cast<int16_t>(cp));
             return Variant(static_cast<int32_t>(cp));
         }}},
        {"cstr", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CStr(a[0])); }}},
        {"cint", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CInt(a[0])); }}},
        {"clng", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CLng(a[0])); }}},
        {"cdbl", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CDbl(a[0])); }}},
        {"csng", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CSng(a[0])); }}},
        {"cbool", {1, 1, [](Args& a, Context&) -> Variant { return Variant(CBool(a[0])); }}},
        {"int", {1, 1, &OnNumber<Int>}},
        {"fix", {1, 1, &OnNumber<Fix>}},
        {"abs", {1, 1, &OnNumber<Abs>}},
        {"sgn", {1, 1, [](Args& a, Context&) -> Variant {
             double x = Real(a[0]);
             return Variant(static_cast<int16_t>(x > 0 ? 1 : (x < 0 ? -1 : 0)));
         }}},
        {"sqr", {1, 1, [](Args& a, Context&) -> Variant {
             double x = Real(a[0]);
             if (x < 0) RunError(errInvalidProcedureCall);
             return Variant(std::sqrt(x));
         }}},
        {"sin", {1, 1, [](Args& a, Context&) -> Variant { return Checked(std::sin(Real(a[0]))); }}},
        {"cos", {1, 1, [](Args& a, Context&) -> Variant { return Checked(std::cos(Real(a[0]))); }}},
        {"tan", {1, 1, [](Args& a, Context&) -> Variant { return Checked(std::tan(Real(a[0]))); }}},
        {"atn", {1, 1, [](Args& a, Context&) -> Variant { return Checked(std::atan(Real(a[0]))); }}},
        {"exp", {1, 1, [](Args& a, Context&) -> Variant { return Checked(std::exp(Real(a[0]))); }}},
        {"log", {1, 1, [](Args& a, Context&) -> Variant {
             double x = Real(a[0]);
             if (x <= 0) RunError(errInvalidProcedureCall);
             return Variant(std::log(x));
         }}},
        {"round", {1, 2, [](Args& a, Context&) -> Variant {
             if (NullFirst(a)) return Variant::Null();
             int32_t digits = a.size() > 1 ? CLng(a[1]) : 0;
             if (digits < 0) RunError(errInvalidProcedureCall);
             if (digits > 22) digits = 22;
             Variant r = RoundTo(Real(a[0]), digits);
             return SameKind(a[0], r.RawDouble());
         }}},
        {"rnd", {0, 1, FnRnd}},
        {"isnumeric", {1, 1, [](Args& a, Context&) -> Variant { return Variant(a[0].IsNumeric()); }}},
        {"isempty", {1, 1, [](Args& a, Context&) -> Variant { return Variant(a[0].IsEmpty()); }}},
        {"isnull", {1, 1, [](Args& a, Context&) -> Variant { return Variant(a[0].IsNull()); }}},
        {"isarray", {1, 1, [](Args& a, Context&) -> Variant { return Variant(a[0].IsArray()); }}},
        {"ubound", {1, 2, [](Args& a, Context&) -> Variant {
             int dim = a.size() > 1 ? CLng(a[1]) : 1;
             return Variant(a[0].UBound(dim));
         }}},
        {"lbound", {1, 2, [](Args& a, Context&) -> Variant {
             int dim = a.size() > 1 ? CLng(a[1]) : 1;
             return Variant(a[0].LBound(dim));
         }}},
        {"typename", {1, 1, [](Args& a, Context&) -> Variant { return Variant(TypeName(a[0])); }}},
    };
    return t;
}

}  // namespace

bool IsBuiltin(const std::string& name) { return Table().count(name) != 0; }

bool CallBuiltin(const std::string& name, std::vector<Variant>& args, Context& cx, Variant& out) {
    auto it = Table().find(name);
    if (it == Table().end()) return false;
    const Builtin& b = it->second;
    if (args.size() < b.minArgs || args.size() > b.maxArgs) RunError(errScriptWrongArgCount, "'" + name + "'");
    for (const Variant& v : args)
        if (v.IsArray() && name != "ubound" && name != "lbound" && name != "isarray" && name != "typename")
            RunError(errTypeMismatch, "'" + name + "'");
    out = b.fn(args, cx);
    return true;
}

bool BuiltinConstant(const std::string& name, Variant& out) {
    static const std::unordered_map<std::string, Variant> constants = {
        {"vbcrlf", Variant("\r\n")},
        {"vbnewline", Variant("\r\n")},
        {"vbcr", Variant("\r")},
        {"vblf", Variant("\n")},
        {"vbtab", Variant("\t")},
        {"vbnullstring", Variant("")},
        {"vbokonly", Variant(static_cast<int16_t>(0))},
        {"vbokcancel", Variant(static_cast<int16_t>(1))},
        {"vbabortretryignore", Variant(static_cast<int16_t>(2))},
        {"vbyesnocancel", Variant(static_cast<int16_t>(3))},
        {"vbyesno", Variant(static_cast<int16_t>(4))},
        {"vbretrycancel", Variant(static_cast<int16_t>(5))},
        {"vbcritical", Variant(static_cast<int16_t>(16))},
        {"vbquestion", Variant(static_cast<int16_t>(32))},
        {"vbexclamation", Variant(static_cast<int16_t>(48))},
        {"vbinformation", Variant(static_cast<int16_t>(64))},
        {"vbok", Variant(static_cast<int16_t>(1))},
        {"vbcancel", Variant(static_cast<int16_t>(2))},
        {"vbabort", Variant(static_cast<int16_t>(3))},
        {"vbretry", Variant(static_cast<int16_t>(4))},
        {"vbignore", Variant(static_cast<int16_t>(5))},
        {"vbyes", Variant(static_cast<int16_t>(6))},
        {"vbno", Variant(static_cast<int16_t>(7))},
        {"vbtrue", Variant(static_cast<int16_t>(-1))},
        {"vbfalse", Variant(static_cast<int16_t>(0))},
    };
    auto it = constants.find(name);
    if (it == constants.end()) return false;
    out = it->second;
    return true;
}

}  // namespace vb::script
