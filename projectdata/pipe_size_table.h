// The pipe sizes copied out of the network by the pipe-size table: rows 1 to
// PipeSizeCount of PipeSizeTable (row 0 is never written).  They live for the
// whole process.
#pragma once

#include <array>
#include <cstdint>

// One pipe size: element 0 diameter, 1 minimum slope, 2 maximum velocity,
// 3 maximum h/D, 4 Manning's n, 8 price; the others stay 0.
using PipeSizeRow = std::array<float, 28>;

inline constexpr int kPipeSizeRows = 20;
inline std::array<PipeSizeRow, kPipeSizeRows + 1> PipeSizeTable{};
inline int16_t PipeSizeCount = 0;
