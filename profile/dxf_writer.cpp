#include "profile/dxf_writer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>

#include "platform/runtime/conversions.h"
#include "platform/runtime/files.h"
#include "platform/runtime/vberror.h"

namespace {

const char* const kEol = "\r\n";

// A number at the precision of its type.
struct Num {
    double value = 0;
    bool single = false;   // a 32-bit float, written with up to 7 digits
    bool whole = false;    // an integer type, written without a point
};

Num ToNum(const vb::Variant& v) {
    switch (v.Type()) {
        case vb::vbEmpty: return {0, false, true};
        case vb::vbInteger: return {double(v.RawInteger()), false, true};
        case vb::vbLong: return {double(v.RawLong()), false, true};
        case vb::vbByte: return {double(v.RawByte()), false, true};
        case vb::vbBoolean: return {v.RawBoolean() ? -1.0 : 0.0, false, true};
        case vb::vbSingle: return {double(v.RawSingle()), true, false};
        default: return {vb::CDbl(v), false, false};
    }
}

// Integer and Single operands keep single precision when a 32-bit origin is
// added to them; anything wider is summed in double precision.
Num Plus(const Num& n, float origin) {
    if (n.single || (n.whole && std::fabs(n.value) < 32768))
        return {double(float(n.value) + origin), true, false};
    return {n.value + double(origin), false, false};
}

Num TimesTen(const Num& n) {
    if (n.single || (n.whole && std::fabs(n.value) < 32768))
        return {double(float(n.value * 10)), n.single, !n.single};
    return {n.value * 10, false, n.whole};
}

std::string NumText(const Num& n) {
    if (n.whole && std::fabs(n.value) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", n.value == 0 ? 0.0 : n.value);
        return buf;
    }
    return n.single ? vb::SingleToText(float(n.value)) : vb::NumberToText(n.value);
}

std::string NumberLine(const Num& n) {
    std::string t = NumText(n);
    if (t.empty() || t[0] != '-') t.insert(t.begin(), ' ');
    return t + " " + kEol;
}

std::string IntLine(int code) { return NumberLine({double(code), false, true}); }

bool Finite(const Num& n) { return std::isfinite(n.value); }

// The text of a TEXT entity in the file's 8-bit code: ASCII and the Latin-1
// range as they are, any other character of the basic plane as the DXF
// escape \U+XXXX, control characters (which would break the line structure)
// as blanks.  A character beyond U+FFFF becomes "?": the escape has four
// digits, and a fifth would be read as a letter of its own after a wrong one.
std::string EightBit(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xC0 && c < 0xF8) {
            len = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            cp = c & (0x3F >> (len - 1));
            bool ok = i + len <= s.size();
            for (size_t k = 1; ok && k < len; ++k) {
                unsigned char d = static_cast<unsigned char>(s[i + k]);
                if ((d & 0xC0) != 0x80) ok = false;
                else cp = (cp << 6) | (d & 0x3F);
            }
            if (!ok) { cp = c; len = 1; }
        }
        i += len;
        if (cp < 0x20 || cp == 0x7F) out += ' ';
        else if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF && len > 1)) out += char(cp);
        else if (len == 1) out += char(cp);   // a byte that is already 8-bit text
        else if (cp > 0xFFFF) out += '?';
        else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\U+%04X", unsigned(cp));
            out += buf;
        }
    }
    return out;
}

}  // namespace

// --- Pure text ----------------------------------------------------------------

std::string DxfNumberLine(const vb::Variant& value) { return NumberLine(ToNum(value)); }

std::string DxfTextLine(std::string_view text) { return std::string(text) + kEol; }

int DxfColour(const vb::Variant& colour) {
    double c = 0;
    try {
        c = ToNum(colour).value;
    } catch (const vb::VbError&) {
        return 0;
    }
    if (!std::isfinite(c)) return 0;
    c = vb::RoundHalfEven(c);
    if (c < 0) return 0;
    if (c > 256) return 256;
    return int(c);
}

std::string DxfHead() { return IntLine(0) + DxfTextLine("SECTION") + IntLine(2) + DxfTextLine("ENTITIES"); }

std::string DxfTrailer() { return IntLine(0) + DxfTextLine("ENDSEC") + IntLine(0) + DxfTextLine("EOF"); }

std::string DxfLineEntity(const vb::Variant& x1, const vb::Variant& y1, const vb::Variant& x2,
                          const vb::Variant& y2, const vb::Variant& colour, float originX,
                          float originY) {
    Num ax = Plus(ToNum(x1), originX), ay = Plus(TimesTen(ToNum(y1)), originY);
    Num bx = Plus(ToNum(x2), originX), by = Plus(TimesTen(ToNum(y2)), originY);
    if (!Finite(ax) || !Finite(ay) || !Finite(bx) || !Finite(by)) return {};
    int c = DxfColour(colour);
    std::string s = IntLine(0) + DxfTextLine("LINE") + IntLine(8) + DxfTextLine(std::to_string(c));
    if (c != 0) {
        // A line of colour 4 stays on layer 4 but is coloured 30.
        int shown = c == 4 ? 30 : c;
        s += IntLine(62) + DxfTextLine(" " + std::to_string(shown));
    }
    s += IntLine(10) + NumberLine(ax) + IntLine(20) + NumberLine(ay) + IntLine(30) + IntLine(0);
    s += IntLine(11) + NumberLine(bx) + IntLine(21) + NumberLine(by) + IntLine(31) + IntLine(0);
    return s;
}

std::string DxfTextEntity(const vb::Variant& x, const vb::Variant& y, const vb::Variant& colour,
                          const vb::Variant& height, const vb::Variant& angle,
                          std::string_view text, float originX, float originY) {
    Num px = Plus(ToNum(x), originX), py = Plus(TimesTen(ToNum(y)), originY);
    Num h = ToNum(height), a = ToNum(angle);
    if (!Finite(px) || !Finite(py) || !Finite(h) || !Finite(a)) return {};
    int c = DxfColour(colour);
    std::string s = IntLine(0) + DxfTextLine("TEXT") + IntLine(8) + DxfTextLine(std::to_string(c));
    if (c != 0) s += IntLine(62) + IntLine(c);
    s += IntLine(10) + NumberLine(px) + IntLine(20) + NumberLine(py) + IntLine(30) + IntLine(0);
    s += IntLine(50) + NumberLine(a);
    s += IntLine(7) + DxfTextLine("STANDARD");
    s += IntLine(40) + NumberLine(h);
    size_t first = text.find_first_not_of(' ');
    std::string_view body = first == std::string_view::npos ? std::string_view{} : text.substr(first);
    s += IntLine(1) + DxfTextLine(EightBit(body));
    return s;
}

// --- The open output ------------------------------------------------------------

DxfOutput::~DxfOutput() { Abandon(); }

void DxfOutput::Open(const std::string& path, float originX, float originY) {
    if (writer_) vb::RaiseError(vb::errFileAlreadyOpen);
    if (path.empty()) vb::RaiseError(52);   // Bad file name or number
    // The file itself is written at Close; a folder that cannot take it is
    // reported now, before the redraw.  A link is followed: the folder that
    // matters is the one of the file it names.  (A target that is no regular
    // file is refused by the write itself, at Close.)
    std::string target;
    if (!vb::ResolveWriteTarget(path, target, nullptr)) target = path;
    std::string folder = ".";
    size_t slash = target.find_last_of('/');
    if (slash != std::string::npos) folder = slash == 0 ? "/" : target.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) vb::RaiseError(vb::errPathNotFound);
    if (::access(folder.c_str(), W_OK) != 0) vb::RaiseError(vb::errPermissionDenied);
    writer_.emplace(path);
    originX_ = originX;
    originY_ = originY;
    failed_ = false;
    failureNumber_ = 0;
    failureDescription_.clear();
}

bool DxfOutput::Write(std::string_view text) {
    if (!writer_ || failed_) return false;
    writer_->Write(text);
    return true;
}

void DxfOutput::Fail(int number, const std::string& description) {
    if (failed_) return;   // the first failure is the one worth reporting
    failed_ = true;
    failureNumber_ = number;
    failureDescription_ = description;
}

bool DxfOutput::Close() {
    if (!writer_) return false;
    bool ok = !failed_;
    if (ok) {
        std::string why;
        if (!writer_->Commit(&why)) {
            Fail(vb::errDeviceIO, why.empty() ? vb::StandardErrorDescription(vb::errDeviceIO) : why);
            ok = false;
        }
    }
    writer_.reset();
    return ok;
}

void DxfOutput::Abandon() { writer_.reset(); }

DxfOutput& DxfFile() {
    static DxfOutput output;
    return output;
}

void DxfWriteLine(const vb::Variant& x1, const vb::Variant& y1, const vb::Variant& x2,
                  const vb::Variant& y2, const vb::Variant& colour) {
    DxfOutput& out = DxfFile();
    if (!out.IsOpen() || out.Failed()) return;
    // The entity is formed whole before it is written, so a value that is no
    // number raises here and leaves nothing of the entity in the file.
    out.Write(DxfLineEntity(x1, y1, x2, y2, colour, out.OriginX(), out.OriginY()));
}

void DxfWriteText(const vb::Variant& x, const vb::Variant& y, const vb::Variant& colour,
                  const vb::Variant& height, const vb::Variant& angle, std::string_view text) {
    DxfOutput& out = DxfFile();
    if (!out.IsOpen() || out.Failed()) return;
    out.Write(DxfTextEntity(x, y, colour, height, angle, text, out.OriginX(), out.OriginY()));
}
