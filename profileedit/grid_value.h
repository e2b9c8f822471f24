// Reading the number typed into a cell of a pipe grid before it goes into a
// pipe record.
#pragma once

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/sewer.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

// The number at the start of a cell's text (as Val reads it, so text without
// a number is 0), or nothing when the number is too large to read at all.
inline std::optional<double> CellNumber(std::string_view text) {
    try {
        return vb::Val(text);
    } catch (const vb::VbError&) {
        return std::nullopt;
    }
}

// The cell's number when the single-precision fields of a pipe record can hold
// it; nothing for a number that would be stored as an infinity.
inline std::optional<double> PipeFieldNumber(std::string_view text) {
    const std::optional<double> v = CellNumber(text);
    if (v && std::isfinite(*v) && std::fabs(*v) <= FLT_MAX) return v;
    return std::nullopt;
}

// Whether a text starts with a number as Val reads one: after blanks, an
// optional sign, digits with at most one point among them, or an "&H" or "&O"
// number.  "abc", "-", "." and an empty text do not.
inline bool StartsWithNumber(std::string_view text) {
    size_t i = 0;
    auto skip = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
    };
    skip();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
        skip();
    }
    if (i + 1 < text.size() && text[i] == '&') {
        const char radix = text[i + 1];
        const bool hex = radix == 'H' || radix == 'h', octal = radix == 'O' || radix == 'o';
        if (hex || octal) {
            i += 2;
            skip();
            if (i >= text.size()) return false;
            const char c = text[i];
            return octal ? c >= '0' && c <= '7' : std::isxdigit(static_cast<unsigned char>(c)) != 0;
        }
    }
    for (bool point = false; i < text.size(); skip()) {
        const char c = text[i];
        if (c >= '0' && c <= '9') return true;
        if (c != '.' || point) return false;
        point = true;
        ++i;
    }
    return false;
}

// The number typed into an editor of a pipe value: the leading number of the
// text ("12.5m" gives 12.5), or nothing when the text starts with no number
// at all ("abc", an empty text) or holds one no pipe field can keep.  Text
// without a number is refused, never read as 0.
inline std::optional<double> TypedFieldNumber(std::string_view text) {
    if (!StartsWithNumber(text)) return std::nullopt;
    return PipeFieldNumber(text);
}

// The fields of a pipe record a grid row can show.
enum class PipeField { None, Qd, Dia, Slope, MinCover, Length, FromGround, FromInvert, ToGround, ToInvert };

// The values each field accepts from the user, whether typed into the pipe
// grid or into the profile's entry box.  A value outside them either cannot
// be a pipe (no length, no bore) or pushes the profile's texts and lines off
// any drawing, so it is refused before it reaches the record.  Flows, slopes
// and covers of 0 and levels below the datum stay allowed; a negative slope
// too, as the slope bar can give one.
struct PipeFieldRange {
    double min, max;
    const char* unit;
};
inline PipeFieldRange AcceptedRange(PipeField field) {
    switch (field) {
        case PipeField::Qd: return {0, 100000, "l/s"};
        case PipeField::Dia: return {1, 10000, "mm"};
        case PipeField::Slope: return {-1, 1, "m/m"};
        case PipeField::MinCover: return {0, 100, "m"};
        case PipeField::Length: return {0.01, 10000, "m"};
        case PipeField::FromGround:
        case PipeField::FromInvert:
        case PipeField::ToGround:
        case PipeField::ToInvert: return {-10000, 10000, "m"};
        case PipeField::None: break;
    }
    return {0, 0, ""};
}
inline bool InAcceptedRange(PipeField field, double v) {
    const PipeFieldRange r = AcceptedRange(field);
    return v >= r.min && v <= r.max;
}
// The field's title as the pipe grid shows it; "" for None.
inline const char* PipeFieldTitle(PipeField field) {
    switch (field) {
        case PipeField::Qd: return "Qdesign";
        case PipeField::Dia: return "Diameter";
        case PipeField::Slope: return "Slope";
        case PipeField::MinCover: return "MinCover";
        case PipeField::Length: return "Length";
        case PipeField::FromGround: return "FGR.EL";
        case PipeField::FromInvert: return "FInv.EL";
        case PipeField::ToGround: return "TGR.EL";
        case PipeField::ToInvert: return "TInv.EL";
        case PipeField::None: break;
    }
    return "";
}
// "from <min> to <max>", the accepted range of a field without its unit.
inline std::string RangeText(PipeField field) {
    const PipeFieldRange r = AcceptedRange(field);
    return "from " + vb::NumberToText(r.min) + " to " + vb::NumberToText(r.max);
}
// "<name> must be a number from <min> to <max> <unit>; <consequence>"
inline std::string RangeMessage(const std::string& name, PipeField field, const std::string& consequence) {
    return name + " must be a number " + RangeText(field) + " " + AcceptedRange(field).unit + "; " + consequence;
}

// Stores a number read by PipeFieldNumber into one field of a record.  A
// diameter is taken to the nearest whole millimetre (a half to the even one);
// one that does not fit the record's 16-bit field is not stored.
inline void StorePipeField(model::Sewer& s, PipeField field, double v) {
    switch (field) {
        case PipeField::Qd: s.qd = static_cast<float>(v); break;
        case PipeField::Dia: {
            const double d = vb::RoundHalfEven(v);
            if (d >= -32768.0 && d <= 32767.0) s.dia = static_cast<int16_t>(d);
            break;
        }
        case PipeField::Slope: s.slope = static_cast<float>(v); break;
        case PipeField::MinCover: s.mincover = static_cast<float>(v); break;
        case PipeField::Length: s.l = static_cast<float>(v); break;
        case PipeField::FromGround: s.felv = static_cast<float>(v); break;
        case PipeField::FromInvert: s.finv = static_cast<float>(v); break;
        case PipeField::ToGround: s.telv = static_cast<float>(v); break;
        case PipeField::ToInvert: s.tinv = static_cast<float>(v); break;
        case PipeField::None: break;
    }
}
