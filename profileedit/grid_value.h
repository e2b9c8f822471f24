// Reading the number typed into a cell of a pipe grid before it goes into a
// pipe record.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <optional>
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

// The fields of a pipe record a grid row can show.
enum class PipeField { None, Qd, Dia, Slope, MinCover, Length, FromGround, FromInvert, ToGround, ToInvert };

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
