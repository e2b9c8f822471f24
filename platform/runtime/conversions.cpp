#include "platform/runtime/conversions.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/runtime/vberror.h"

namespace vb {

namespace {

bool IsValBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Reads the digits of a "&H" or "&O" number.  The value is that of a 16-bit
// Integer when it fits into 16 bits and of a 32-bit Long when it fits into
// 32 bits (so "&HFFFF" is -1 and "&H10000" is 65536), as the runtime reads
// such literals.
double RadixValue(uint64_t value, bool any) {
    if (!any) return 0;
    if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
    if (value <= 0xFFFFFFFFu) return static_cast<int32_t>(static_cast<uint32_t>(value));
    RaiseError(errOverflow);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Turns a decimal mantissa (digits with at most one '.') and a decimal
// exponent into a double; raises Overflow when the value does not fit.
double DecimalValue(bool negative, const std::string& mantissa, const std::string& exponentDigits,
                    bool exponentNegative) {
    bool anyDigit = false;
    for (char c : mantissa)
        if (c >= '0' && c <= '9') anyDigit = true;
    if (!anyDigit) return 0;
    std::string text = mantissa;
    if (text.back() == '.') text.pop_back();
    if (!exponentDigits.empty()) {
        // Very long exponents are clamped: the result is 0 or an overflow
        // either way, and from_chars should not see a number it cannot read.
        std::string e = exponentDigits;
        size_t nz = e.find_first_not_of('0');
        e = nz == std::string::npos ? "0" : e.substr(nz);
        if (e.size() > 6) e = "999999";
        text += exponentNegative ? "e-" : "e";
        text += e;
    }
    double v = 0;
    auto r = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Too large or too small: tell them apart by the decimal magnitude.
        int64_t magnitude = 0;
        size_t dotAt = mantissa.find('.');
        std::string intPart = mantissa.substr(0, dotAt);
        size_t nz = intPart.find_first_not_of('0');
        if (nz != std::string::npos) {
            magnitude = static_cast<int64_t>(intPart.size() - nz);
        } else if (dotAt != std::string::npos) {
            std::string frac = mantissa.substr(dotAt + 1);
            size_t fz = frac.find_first_not_of('0');
            magnitude = -static_cast<int64_t>(fz == std::string::npos ? frac.size() : fz);
        }
        int64_t e = 0;
        for (char c : exponentDigits) e = std::min<int64_t>(e * 10 + (c - '0'), 100000000);
        magnitude += exponentNegative ? -e : e;
        if (magnitude > 0) RaiseError(errOverflow);
        return 0;
    }
    if (r.ec != std::errc()) return 0;
    if (std::isinf(v)) RaiseError(errOverflow);
    if (v == 0) return 0;
    return negative ? -v : v;
}

// The common grammar of Val() and of strict number text.  Reads from s,
// skipping blanks when skipBlanks; returns the value and the number of
// characters consumed (0 when no number starts there).
struct NumberScan {
    double value = 0;
    size_t end = 0;       // one past the last character that belongs to the number
    bool found = false;   // at least one digit was read
};

NumberScan ScanNumber(std::string_view s, bool skipBlanks) {
    NumberScan out;
    size_t i = 0;
    auto skipAt = [&](size_t& k) {
        if (skipBlanks)
            while (k < s.size() && IsValBlank(s[k])) ++k;
    };
    auto skip = [&] { skipAt(i); };
    skip();
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
        skip();
    }
    if (i + 1 < s.size() && s[i] == '&') {
        char k = s[i + 1];
        int radix = (k == 'H' || k == 'h') ? 16 : (k == 'O' || k == 'o') ? 8 : 0;
        if (radix != 0) {
            i += 2;
            uint64_t value = 0;
            bool any = false, overflow = false;
            for (;;) {
                skip();
                if (i >= s.size()) break;
                int d = HexDigit(s[i]);
                if (d < 0 || d >= radix) break;
                if (value > (0xFFFFFFFFull * 16)) overflow = true;
                else value = value * radix + d;
                any = true;
                ++i;
                out.end = i;
            }
            if (overflow) RaiseError(errOverflow);
            double v = RadixValue(value, any);
            out.value = negative ? -v : v;
            if (out.value == 0) out.value = 0;
            out.found = any;
            return out;
        }
    }
    std::string mantissa;
    bool dot = false;
    for (;;) {
        skip();
        if (i >= s.size()) break;
        char c = s[i];
        if (c >= '0' && c <= '9') {
            mantissa += c;
            out.found = true;
        } else if (c == '.' && !dot) {
            dot = true;
            mantissa += c;
        } else {
            break;
        }
        ++i;
        if (out.found) out.end = i;
    }
    std::string exponent;
    bool exponentNegative = false;
    if (out.found && i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        skipAt(j);
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            exponentNegative = s[j] == '-';
            ++j;
        }
        for (;;) {
            skipAt(j);
            if (j >= s.size() || s[j] < '0' || s[j] > '9') break;
            exponent += s[j];
            ++j;
            out.end = j;
        }
    }
    if (out.found) out.value = DecimalValue(negative, mantissa, exponent, exponentNegative);
    return out;
}

// --- Characters -----------------------------------------------------------

char32_t LowerCp(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
    if (c >= 0x100 && c <= 0x137) return (c % 2 == 0) ? c + 1 : c;
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return (c % 2 == 0) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

char32_t UpperCp(char32_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x137) return (c % 2 == 1) ? c - 1 : c;
    if (c >= 0x139 && c <= 0x148) return (c % 2 == 0) ? c - 1 : c;
    if (c >= 0x14A && c <= 0x177) return (c % 2 == 1) ? c - 1 : c;
    if (c >= 0x179 && c <= 0x17E) return (c % 2 == 0) ? c - 1 : c;
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
    if (c >= 0x430 && c <= 0x44F) return c - 0x20;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    return c;
}

}  // namespace

// Decodes one UTF-8 sequence at s[i]; invalid bytes give U+FFFD and advance
// by one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int extra = 0;
    char32_t cp = 0, min = 0;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; min = 0x10000; }
    else { ++i; return 0xFFFD; }
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= s.size()) { ++i; return 0xFFFD; }
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) { ++i; return 0xFFFD; }
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ++i; return 0xFFFD; }
    i += extra + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

template <class F>
std::string MapCase(std::string_view s, F f) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) AppendUtf8(out, f(DecodeUtf8(s, i)));
    return out;
}

// The runtime's dates run from 1 January 100 to 31 December 9999; a serial
// outside that range is an overflow (and would not fit the day arithmetic).
constexpr double kFirstDateSerial = -657434.0;
constexpr double kDateSerialEnd = 2958466.0;   // 1 January 10000

void CheckDateSerial(double serial) {
    if (!(serial > kFirstDateSerial - 1 && serial < kDateSerialEnd)) RaiseError(errOverflow);
}

std::string DateToText(double serial) {
    CheckDateSerial(serial);
    double dayPart = std::trunc(serial);
    double frac = std::fabs(serial - dayPart);
    int64_t seconds = static_cast<int64_t>(std::llround(frac * 86400.0));
    if (seconds >= 86400) {
        seconds -= 86400;
        dayPart += serial < 0 ? -1 : 1;
    }
    std::string out;
    if (dayPart != 0) {
        // Days since 30 December 1899 -> civil date.
        int64_t z = static_cast<int64_t>(dayPart) - 25569 + 719468;  // to days since 0000-03-01
        int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        int64_t doe = z - era * 146097;
        int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        int64_t y = yoe + era * 400;
        int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        int64_t mp = (5 * doy + 2) / 153;
        int64_t d = doy - (153 * mp + 2) / 5 + 1;
        int64_t m = mp < 10 ? mp + 3 : mp - 9;
        if (m <= 2) ++y;
        out = std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
    }
    if (seconds != 0 || dayPart == 0) {
        int64_t h = seconds / 3600, mi = (seconds / 60) % 60, se = seconds % 60;
        int64_t h12 = h % 12 == 0 ? 12 : h % 12;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", static_cast<int>(h12), static_cast<int>(mi),
                      static_cast<int>(se), h < 12 ? "AM" : "PM");
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

std::string SpecialText(double v) {
    if (std::isnan(v)) return "-1.#IND";
    return v < 0 ? "-1.#INF" : "1.#INF";
}

// General format with the given number of significant digits, as the
// runtime writes numbers: exponent form when the decimal exponent is below
// -4 or reaches the number of digits, no trailing zeros, "E+nn"/"E-nn".
template <class T>
std::string GeneralText(T v, int digits) {
    if (v == 0) return "0";
    if (!std::isfinite(v)) return SpecialText(static_cast<double>(v));
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    std::string s(buf, r.ptr);
    for (char& c : s)
        if (c == 'e') c = 'E';
    return s;
}

const Variant& Unwrap(const Variant& v, Variant& holder) {
    if (v.Type() == vbObject) {
        const ObjectRef& o = v.RawObject();
        if (!o) RaiseError(errObjectNotSet);
        if (!o->HasDefaultMember()) RaiseError(errTypeMismatch);
        holder = o->DefaultValue();
        return holder;
    }
    return v;
}

}  // namespace

// --- Numbers ----------------------------------------------------------------

double RoundHalfEven(double v) {
    if (!std::isfinite(v)) return v;
    double f = std::floor(v);
    double diff = v - f;
    double r;
    if (diff > 0.5) r = f + 1;
    else if (diff < 0.5) r = f;
    else r = (std::fmod(f, 2.0) == 0) ? f : f + 1;
    return r == 0 ? 0.0 : r;
}

namespace {
// A Currency value (scaled by 10,000) rounded half to even to a whole number,
// exactly, in integers.
int64_t CurrencyToWhole(int64_t cy) {
    int64_t q = cy / 10000, r = cy % 10000;
    if (r > 5000 || (r == 5000 && (q & 1))) ++q;
    if (r < -5000 || (r == -5000 && (q & 1))) --q;
    return q;
}
}  // namespace

double Val(std::string_view text) { return ScanNumber(text, true).value; }

bool ParseNumericText(std::string_view text, double& out) {
    size_t a = 0, b = text.size();
    while (a < b && (text[a] == ' ' || text[a] == '\t')) ++a;
    while (b > a && (text[b - 1] == ' ' || text[b - 1] == '\t')) --b;
    std::string_view s = text.substr(a, b - a);
    if (s.empty()) return false;
    NumberScan scan = ScanNumber(s, false);
    if (!scan.found || scan.end != s.size()) return false;
    out = scan.value;
    return true;
}

std::string NumberToText(double v) { return GeneralText(v, 15); }

std::string SingleToText(float v) { return GeneralText(v, 7); }

std::string CurrencyToText(int64_t scaled) {
    bool negative = scaled < 0;
    uint64_t mag = negative ? uint64_t(0) - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string out = std::to_string(mag / 10000);
    uint64_t frac = mag % 10000;
    if (frac != 0) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
        std::string f = buf;
        while (!f.empty() && f.back() == '0') f.pop_back();
        out += "." + f;
    }
    return negative ? "-" + out : out;
}

std::string Str(double v) {
    std::string s = NumberToText(v);
    return (s[0] == '-') ? s : " " + s;
}

std::string Str(const Variant& v) {
    Variant holder;
    const Variant& x = Unwrap(v, holder);
    std::string s;
    switch (x.Type()) {
        case vbNull: RaiseError(errInvalidUseOfNull);
        case vbBoolean:
        case vbDate: return CStr(x);
        case vbString: s = NumberToText(CDbl(x)); break;
        default: s = CStr(x); break;
    }
    if (s.empty()) s = "0";
    return (s[0] == '-') ? s : " " + s;
}

// --- Variant conversions -------------------------------------------------------

double CDbl(const Variant& v) {
    Variant holder;
    const Variant& x = Unwrap(v, holder);
    switch (x.Type()) {
        case vbEmpty: return 0;
        case vbNull: RaiseError(errInvalidUseOfNull);
        case vbInteger: return x.RawInteger();
        case vbLong: return x.RawLong();
        case vbSingle: return x.RawSingle();
        case vbDouble:
        case vbDate: return x.RawDouble();
        case vbCurrency: return static_cast<double>(x.RawCurrency()) / 10000.0;
        case vbBoolean: return x.RawBoolean() ? -1 : 0;
        case vbByte: return x.RawByte();
        case vbString: {
            double d = 0;
            if (!ParseNumericText(x.RawString(), d)) RaiseError(errTypeMismatch);
            return d;
        }
        default: RaiseError(errTypeMismatch);
    }
}

int16_t CInt(double v) {
    double r = RoundHalfEven(v);
    if (!(r >= -32768.0 && r <= 32767.0)) RaiseError(errOverflow);
    return static_cast<int16_t>(r);
}

int32_t CLng(double v) {
    double r = RoundHalfEven(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) RaiseError(errOverflow);
    return static_cast<int32_t>(r);
}

int16_t CInt(const Variant& v) {
    if (v.Type() == vbInteger) return v.RawInteger();
    if (v.Type() == vbCurrency) {
        int64_t q = CurrencyToWhole(v.RawCurrency());
        if (q < -32768 || q > 32767) RaiseError(errOverflow);
        return static_cast<int16_t>(q);
    }
    return CInt(CDbl(v));
}

int32_t CLng(const Variant& v) {
    if (v.Type() == vbLong) return v.RawLong();
    if (v.Type() == vbInteger) return v.RawInteger();
    if (v.Type() == vbCurrency) {
        int64_t q = CurrencyToWhole(v.RawCurrency());
        if (q < INT32_MIN || q > INT32_MAX) RaiseError(errOverflow);
        return static_cast<int32_t>(q);
    }
    return CLng(CDbl(v));
}

uint8_t CByte(const Variant& v) {
    if (v.Type() == vbByte) return v.RawByte();
    double r = RoundHalfEven(CDbl(v));
    if (!(r >= 0 && r <= 255)) RaiseError(errOverflow);
    return static_cast<uint8_t>(r);
}

float CSng(double v) {
    if (!(std::fabs(v) <= std::numeric_limits<float>::max())) RaiseError(errOverflow);
    return static_cast<float>(v);
}

float CSng(const Variant& v) {
    if (v.Type() == vbSingle) return v.RawSingle();
    return CSng(CDbl(v));
}

int64_t CCur(const Variant& v) {
    switch (v.Type()) {
        case vbCurrency: return v.RawCurrency();
        case vbInteger: return int64_t(v.RawInteger()) * 10000;
        case vbLong: return int64_t(v.RawLong()) * 10000;
        case vbByte: return int64_t(v.RawByte()) * 10000;
        case vbBoolean: return v.RawBoolean() ? -10000 : 0;
        default: return Variant::CurrencyFromDouble(CDbl(v)).RawCurrency();
    }
}

bool CBool(const Variant& v) {
    Variant holder;
    const Variant& x = Unwrap(v, holder);
    switch (x.Type()) {
        case vbBoolean: return x.RawBoolean();
        case vbString: {
            const std::string& s = x.RawString();
            std::string t = Trim(s);
            if (StrComp(t, "True", 1) == 0) return true;
            if (StrComp(t, "False", 1) == 0) return false;
            double d = 0;
            if (!ParseNumericText(s, d)) RaiseError(errTypeMismatch);
            return d != 0;
        }
        default: return CDbl(x) != 0;
    }
}

std::string CStr(const Variant& v) {
    Variant holder;
    const Variant& x = Unwrap(v, holder);
    switch (x.Type()) {
        case vbEmpty: return std::string();
        case vbNull: RaiseError(errInvalidUseOfNull);
        case vbInteger: return std::to_string(x.RawInteger());
        case vbLong: return std::to_string(x.RawLong());
        case vbByte: return std::to_string(x.RawByte());
        case vbSingle: return SingleToText(x.RawSingle());
        case vbDouble: return NumberToText(x.RawDouble());
        case vbCurrency: return CurrencyToText(x.RawCurrency());
        case vbDate: return DateToText(x.RawDouble());
        case vbString: return x.RawString();
        case vbBoolean: return x.RawBoolean() ? "True" : "False";
        case vbError: return "Error " + std::to_string(x.RawError());
        default: RaiseError(errTypeMismatch);
    }
}

Variant ConvertTo(const Variant& v, VarType type) {
    switch (type) {
        case vbVariant: return v;
        case vbInteger: return Variant(CInt(v));
        case vbLong: return Variant(CLng(v));
        case vbSingle: return Variant(CSng(v));
        case vbDouble: return Variant(CDbl(v));
        case vbCurrency: return Variant::Currency(CCur(v));
        case vbDate: {
            const double serial = CDbl(v);
            CheckDateSerial(serial);
            return Variant::Date(serial);
        }
        case vbString: return Variant(CStr(v));
        case vbBoolean: return Variant(CBool(v));
        case vbByte: return Variant(CByte(v));
        case vbObject:
            if (!v.IsObject()) RaiseError(errTypeMismatch);
            return v;
        case vbError:
            if (v.Type() != vbError) RaiseError(errTypeMismatch);
            return v;
        case vbEmpty: return Variant();
        default: RaiseError(errTypeMismatch);
    }
}

double Int(double v) { return std::floor(v); }
double Fix(double v) { return std::trunc(v); }

// --- Text ----------------------------------------------------------------------

int StrComp(std::string_view a, std::string_view b, int mode) {
    if (mode == 1) {
        size_t i = 0, j = 0;
        while (i < a.size() && j < b.size()) {
            char32_t ca = LowerCp(DecodeUtf8(a, i));
            char32_t cb = LowerCp(DecodeUtf8(b, j));
            if (ca != cb) return ca < cb ? -1 : 1;
        }
        if (i < a.size()) return 1;
        if (j < b.size()) return -1;
        return 0;
    }
    if (mode != 0 && mode != -1) RaiseError(errInvalidProcedureCall);
    if (IsAscii(a) && IsAscii(b)) {
        int c = a.compare(b);
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    // Binary comparison is by UTF-16 code units.
    std::u16string ua = ToUtf16(a), ub = ToUtf16(b);
    int c = ua.compare(ub);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::string UCase(std::string_view s) { return MapCase(s, UpperCp); }
std::string LCase(std::string_view s) { return MapCase(s, LowerCp); }

// Positions and lengths count UTF-16 code units, as the runtime's strings do.
// ASCII text takes the short way.
int64_t Len(std::string_view s) {
    if (IsAscii(s)) return static_cast<int64_t>(s.size());
    return static_cast<int64_t>(ToUtf16(s).size());
}

std::string Mid(std::string_view s, int64_t start, int64_t length) {
    if (start < 1 || length < -1) RaiseError(errInvalidProcedureCall);
    if (IsAscii(s)) {
        if (static_cast<uint64_t>(start) > s.size()) return std::string();
        std::string_view rest = s.substr(static_cast<size_t>(start - 1));
        if (length >= 0 && static_cast<uint64_t>(length) < rest.size()) rest = rest.substr(0, static_cast<size_t>(length));
        return std::string(rest);
    }
    std::u16string u = ToUtf16(s);
    if (static_cast<uint64_t>(start) > u.size()) return std::string();
    std::u16string_view rest = std::u16string_view(u).substr(static_cast<size_t>(start - 1));
    if (length >= 0 && static_cast<uint64_t>(length) < rest.size()) rest = rest.substr(0, static_cast<size_t>(length));
    return FromUtf16(rest);
}

std::string Left(std::string_view s, int64_t n) {
    if (n < 0) RaiseError(errInvalidProcedureCall);
    if (n == 0) return std::string();
    return Mid(s, 1, n);
}

std::string Right(std::string_view s, int64_t n) {
    if (n < 0) RaiseError(errInvalidProcedureCall);
    int64_t len = Len(s);
    if (n >= len) return std::string(s);
    if (n == 0) return std::string();
    return Mid(s, len - n + 1, n);
}

std::string LTrim(std::string_view s) {
    size_t a = s.find_first_not_of(' ');
    return a == std::string_view::npos ? std::string() : std::string(s.substr(a));
}

std::string RTrim(std::string_view s) {
    size_t b = s.find_last_not_of(' ');
    return b == std::string_view::npos ? std::string() : std::string(s.substr(0, b + 1));
}

std::string Trim(std::string_view s) { return LTrim(RTrim(s)); }

int64_t InStr(std::string_view s, std::string_view find, int64_t start) {
    if (start < 1) RaiseError(errInvalidProcedureCall);
    if (IsAscii(s) && IsAscii(find)) {
        if (static_cast<uint64_t>(start) > s.size()) return 0;
        if (find.empty()) return start;
        size_t p = s.find(find, static_cast<size_t>(start - 1));
        return p == std::string_view::npos ? 0 : static_cast<int64_t>(p) + 1;
    }
    std::u16string us = ToUtf16(s), uf = ToUtf16(find);
    if (static_cast<uint64_t>(start) > us.size()) return 0;
    if (uf.empty()) return start;
    size_t p = us.find(uf, static_cast<size_t>(start - 1));
    return p == std::u16string::npos ? 0 : static_cast<int64_t>(p) + 1;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = DecodeUtf8(utf8, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string FromUtf16(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace vb
