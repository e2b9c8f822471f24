// Operators of the script language on Variants.
//
// Arithmetic on whole numbers stays whole (Integer while it fits 16 bits,
// Long while it fits 32, Double beyond); anything with a fraction is done in
// double precision.  Text takes part in arithmetic by its numeric value ("2"
// + 3 is 5) except that "+" of two texts joins them.  Null propagates.
#include <cmath>
#include <limits>

#include "platform/runtime/conversions.h"
#include "platform/script/script_ast.h"

namespace vb::script {

namespace {

// Joined texts longer than this fail with "Out of memory" rather than let a
// doubling loop exhaust the machine.
constexpr size_t kMaxJoinedText = 64u * 1024 * 1024;

std::string Join(std::string a, const std::string& b) {
    if (a.size() + b.size() > kMaxJoinedText) RunError(7);
    a += b;
    return a;
}

struct Num {
    int rank = 2;   // 2 Integer, 3 Long, 5 Double
    int64_t i = 0;
    double d = 0;
};

Num ToNum(const Variant& v) {
    Num n;
    switch (v.Type()) {
        case vbEmpty: return n;
        case vbBoolean: n.i = v.RawBoolean() ? -1 : 0; n.d = static_cast<double>(n.i); return n;
        case vbByte: n.i = v.RawByte(); n.d = static_cast<double>(n.i); return n;
        case vbInteger: n.i = v.RawInteger(); n.d = static_cast<double>(n.i); return n;
        case vbLong: n.rank = 3; n.i = v.RawLong(); n.d = static_cast<double>(n.i); return n;
        case vbSingle: case vbDouble: case vbCurrency: case vbDate: case vbString: case vbDecimal:
            n.rank = 5;
            n.d = CDbl(v);
            return n;
        default:
            RunError(errTypeMismatch);
    }
}

Variant FromWhole(int64_t r, int rank) {
    if (rank <= 2 && r >= INT16_MIN && r <= INT16_MAX) return Variant(static_cast<int16_t>(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant(static_cast<int32_t>(r));
    return Variant(static_cast<double>(r));
}

Variant FromReal(double d) {
    if (!std::isfinite(d)) RunError(errOverflow);
    return Variant(d);
}

// The whole-number operand of \, Mod and the logical operators.
int64_t WholeOperand(const Num& n) {
    if (n.rank <= 3) return n.i;
    return CLng(n.d);
}

bool IsTextLike(const Variant& v) { return v.IsString() || v.IsEmpty(); }

// Compares two non-Null scalars: -1, 0 or 1.
int Compare(const Variant& a, const Variant& b) {
    if (a.IsObject() || b.IsObject() || a.IsArray() || b.IsArray()) RunError(errTypeMismatch);
    if (a.IsString() && b.IsString()) return StrComp(a.RawString(), b.RawString(), 0);
    if (a.IsString() && b.IsEmpty()) return StrComp(a.RawString(), "", 0);
    if (a.IsEmpty() && b.IsString()) return StrComp("", b.RawString(), 0);
    // A number against a text: compare numerically when the text reads as a
    // number; otherwise every number sorts before every text.
    if (a.IsString() && !a.IsNumeric()) return 1;
    if (b.IsString() && !b.IsNumeric()) return -1;
    double x = ToNum(a).d, y = ToNum(b).d;
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

bool Truth(const Variant& v) {
    if (v.IsNull() || v.IsEmpty()) return false;
    if (v.IsObject() || v.IsArray()) RunError(errTypeMismatch);
    return CBool(v);
}

Variant Negate(const Variant& a) {
    if (a.IsNull()) return a;
    Num n = ToNum(a);
    if (n.rank <= 3) return FromWhole(-n.i, n.rank);
    return FromReal(-n.d);
}

Variant LogicalNot(const Variant& a) {
    if (a.IsNull()) return a;
    if (a.Type() == vbBoolean) return Variant(!a.RawBoolean());
    Num n = ToNum(a);
    int64_t w = WholeOperand(n);
    return FromWhole(~w, n.rank <= 2 ? 2 : 3);
}

Variant Binary(BinOp op, const Variant& a, const Variant& b) {
    switch (op) {
        case BinOp::Concat: {
            if (a.IsNull() && b.IsNull()) return a;
            std::string s = a.IsNull() || a.IsEmpty() ? std::string() : CStr(a);
            return Variant(Join(std::move(s), b.IsNull() || b.IsEmpty() ? std::string() : CStr(b)));
        }
        case BinOp::Eq: case BinOp::Ne: case BinOp::Lt: case BinOp::Gt: case BinOp::Le: case BinOp::Ge: {
            if (a.IsNull() || b.IsNull()) return Variant::Null();
            int c = Compare(a, b);
            bool r = false;
            switch (op) {
                case BinOp::Eq: r = c == 0; break;
                case BinOp::Ne: r = c != 0; break;
                case BinOp::Lt: r = c < 0; break;
                case BinOp::Gt: r = c > 0; break;
                case BinOp::Le: r = c <= 0; break;
                default: r = c >= 0; break;
            }
            return Variant(r);
        }
        case BinOp::And: case BinOp::Or: case BinOp::Xor: {
            if (a.IsNull() || b.IsNull()) {
                // False And Null is False, True Or Null is True; otherwise Null.
                const Variant& other = a.IsNull() ? b : a;
                if (!other.IsNull() && other.Type() == vbBoolean) {
                    if (op == BinOp::And && !other.RawBoolean()) return Variant(false);
                    if (op == BinOp::Or && other.RawBoolean()) return Variant(true);
                }
                return Variant::Null();
            }
            if (a.Type() == vbBoolean && b.Type() == vbBoolean) {
                bool x = a.RawBoolean(), y = b.RawBoolean();
                return Variant(op == BinOp::And ? (x && y) : op == BinOp::Or ? (x || y) : (x != y));
            }
            Num x = ToNum(a), y = ToNum(b);
            int64_t p = WholeOperand(x), q = WholeOperand(y);
            int64_t r = op == BinOp::And ? (p & q) : op == BinOp::Or ? (p | q) : (p ^ q);
            return FromWhole(r, std::max(x.rank, y.rank) <= 2 ? 2 : 3);
        }
        default:
            break;
    }

    if (a.IsNull() || b.IsNull()) return Variant::Null();
    if (op == BinOp::Add && IsTextLike(a) && IsTextLike(b) && (a.IsString() || b.IsString())) {
        std::string s = a.IsString() ? a.RawString() : std::string();
        return Variant(Join(std::move(s), b.IsString() ? b.RawString() : std::string()));
    }
    Num x = ToNum(a), y = ToNum(b);
    const bool whole = x.rank <= 3 && y.rank <= 3;
    const int rank = std::max(x.rank, y.rank);
    switch (op) {
        case BinOp::Add:
            return whole ? FromWhole(x.i + y.i, rank) : FromReal(x.d + y.d);
        case BinOp::Sub:
            return whole ? FromWhole(x.i - y.i, rank) : FromReal(x.d - y.d);
        case BinOp::Mul:
            return whole ? FromWhole(x.i * y.i, rank) : FromReal(x.d * y.d);
        case BinOp::Div:
            if (y.d == 0) RunError(x.d == 0 ? errOverflow : errDivisionByZero);
            return FromReal(x.d / y.d);
        case BinOp::IntDiv:
        case BinOp::Mod: {
            int64_t p = WholeOperand(x), q = WholeOperand(y);
            if (q == 0) RunError(errDivisionByZero);
            int r2 = rank <= 2 ? 2 : 3;
            return FromWhole(op == BinOp::IntDiv ? p / q : p % q, r2);
        }
        case BinOp::Pow: {
            if (x.d == 0 && y.d < 0) RunError(errInvalidProcedureCall);
            if (x.d < 0 && y.d != std::floor(y.d)) RunError(errInvalidProcedureCall);
            return FromReal(std::pow(x.d, y.d));
        }
        default:
            RunError(errTypeMismatch);
    }
}

}  // namespace vb::script
