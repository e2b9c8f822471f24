// Reading the number typed into a cell of a pipe grid before it goes into a
// pipe record.
#pragma once

#include <cfloat>
#include <cmath>
#include <optional>
#include <string_view>

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

// Whether a number fits the single-precision fields of a pipe record; one that
// does not would be stored as an infinity.
inline bool FitsSingle(double v) { return std::isfinite(v) && std::fabs(v) <= FLT_MAX; }
