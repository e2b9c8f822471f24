// State of the profile's drawing primitives that lives for the whole process.
#pragma once

#include <cstdint>
#include <string>

namespace vb {
class PictureBox;
}

// Lines and texts far beyond the picture (a record may hold a length or a
// level of 3.4E+38) are kept to a reach of ten thousand picture sizes around
// the visible area, in the picture's units, so that every position handed to
// the picture is one it can hold.  ClipToReach cuts a line to the part within
// the reach (it then runs towards its far end); ClampBoxToReach moves a box's
// corners into it.  Both return false, and change nothing, when a coordinate
// is infinite or not a number; ClipToReach also when no part is within reach.
// ClampToReach moves one x (or, when vertical, one y) into the reach; an
// infinite one goes to the edge of its sign, one that is no number to the far
// edge.
bool ClipToReach(const vb::PictureBox& box, double& x1, double& y1, double& x2, double& y2);
bool ClampBoxToReach(const vb::PictureBox& box, double& x1, double& y1, double& x2, double& y2);
double ClampToReach(const vb::PictureBox& box, double v, bool vertical);

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
