// State of the profile's drawing primitives that lives for the whole process.
#pragma once

#include <cstdint>
#include <string>

// The font record of the rotated texts, shared by FontStuff and FontStuff0:
// the fields of the platform's font description that the texts set.  A fresh
// font is made from it for every text and dropped right after.
struct PlotFontRecord {
    int32_t lfHeight = 0;       // > 0: cell height in pixels; < 0: character height
    int32_t lfEscapement = 0;   // tenths of a degree, counter-clockwise
    uint8_t lfQuality = 0;
    std::string lfFaceName;
};
inline PlotFontRecord PlotFont;

// The two-point mark on the profile picture, in Picture1 units.  The mark
// command sets the x of MarkPointA below 0 to start a new mark.
struct MarkPoint {
    double x = 0;
    double y = 0;
};
inline MarkPoint MarkPointA;
inline MarkPoint MarkPointB;
inline bool MarkPending = false;
