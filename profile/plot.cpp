// Every line and text of the profile: the mapping of drawing coordinates onto
// Picture1, the rotated texts, and the DXF entities while an export runs.
#include <algorithm>
#include <cmath>
#include <string>

#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/errortrap.h"
#include "platform/runtime/vberror.h"
#include "platform/ui/ui.h"
#include "profile/dxf_writer.h"
#include "profile/format.h"
#include "profile/plot.h"

namespace {

constexpr int32_t kMarkLineColour = 0x008000;   // basic colour 2: green
constexpr int kDiskFull = 61;

// "mode = 2": a Null mode compares to Null, which counts as not equal.
bool IsDxfMode(const vb::Variant& mode) { return !mode.IsNull() && vb::CDbl(mode) == 2; }

// Prints `text` on `box` at (x, y) with the font of PlotFont in `colour`:
// the text's reference corner sits 4/3 of the height away from (x, y),
// against the direction of the text's up vector.  Colour and font of the box
// are put back afterwards, also when printing fails.
void PrintRotated(vb::PictureBox& box, double x, double y, const std::string& text,
                  double angle, double height, int32_t colour) {
    vb::Font font = box.Font();
    const vb::Font previousFont = font;
    font.Name = PlotFont.lfFaceName;
    font.HeightPixels = PlotFont.lfHeight;
    font.Escapement = PlotFont.lfEscapement;
    const int32_t previousColour = box.ForeColor();

    struct Restore {
        vb::PictureBox& box;
        const vb::Font& font;
        int32_t colour;
        ~Restore() {
            box.ForeColor(colour);
            box.Font(font);
        }
    } restore{box, previousFont, previousColour};

    box.ForeColor(colour);
    box.Font(font);
    // Angles are turned into radians with the constant 3.14, not pi: the text
    // placement of the profile is defined that way.
    const double a = angle * 3.14 / 180.0;
    box.CurrentX(static_cast<float>(x - 0.4 * std::sin(a) * height / 0.3));
    box.CurrentY(static_cast<float>(y - 0.4 * std::cos(a) * height / 0.3));
    box.Print(text);
}

// The reach: ten thousand picture sizes around the visible area, in the
// picture's units; lo and hi are its corners.
void Reach(const vb::PictureBox& box, double lo[2], double hi[2]) {
    constexpr double kSizes = 10000;
    const double w = std::fabs(box.ScaleWidth()) * kSizes, h = std::fabs(box.ScaleHeight()) * kSizes;
    const double cx = box.ScaleLeft() + box.ScaleWidth() / 2, cy = box.ScaleTop() + box.ScaleHeight() / 2;
    lo[0] = cx - w;
    lo[1] = cy - h;
    hi[0] = cx + w;
    hi[1] = cy + h;
}

bool AllFinite(double x1, double y1, double x2, double y2) {
    return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
}

}  // namespace

bool ClipToReach(const vb::PictureBox& box, double& x1, double& y1, double& x2, double& y2) {
    if (!AllFinite(x1, y1, x2, y2)) return false;
    double lo[2], hi[2];
    Reach(box, lo, hi);
    const double from[2] = {x1, y1}, step[2] = {x2 - x1, y2 - y1};
    double t0 = 0, t1 = 1;
    for (int k = 0; k < 2; ++k) {
        if (step[k] == 0) {
            if (from[k] < lo[k] || from[k] > hi[k]) return false;
            continue;
        }
        double a = (lo[k] - from[k]) / step[k], b = (hi[k] - from[k]) / step[k];
        if (a > b) std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
    }
    if (t0 > t1) return false;
    if (t0 > 0 || t1 < 1) {
        x2 = from[0] + t1 * step[0];
        y2 = from[1] + t1 * step[1];
        x1 = from[0] + t0 * step[0];
        y1 = from[1] + t0 * step[1];
    }
    return true;
}

double ClampToReach(const vb::PictureBox& box, double v, bool vertical) {
    double lo[2], hi[2];
    Reach(box, lo, hi);
    const int k = vertical ? 1 : 0;
    if (std::isnan(v)) return hi[k];
    return std::clamp(v, lo[k], hi[k]);
}

bool ClampBoxToReach(const vb::PictureBox& box, double& x1, double& y1, double& x2, double& y2) {
    if (!AllFinite(x1, y1, x2, y2)) return false;
    double lo[2], hi[2];
    Reach(box, lo, hi);
    x1 = std::clamp(x1, lo[0], hi[0]);
    x2 = std::clamp(x2, lo[0], hi[0]);
    y1 = std::clamp(y1, lo[1], hi[1]);
    y2 = std::clamp(y2, lo[1], hi[1]);
    return true;
}

void Form1::LINEplot(const vb::Variant& x1, const vb::Variant& y1, const vb::Variant& x2,
                     const vb::Variant& y2, const vb::Variant& mode, const vb::Variant& colour,
                     const vb::Variant&) {
    // A line that cannot be drawn or written is left out without a word.
    vb::ErrorTrap trap;
    vb::resumeNext(trap, [&] {
        const int32_t screenColour = AciColor(vb::CInt(colour));
        double ax = vb::CDbl(x1) + ProfileOffsetX, ay = ProfileOffsetY - 10 * vb::CDbl(y1);
        double bx = vb::CDbl(x2) + ProfileOffsetX, by = ProfileOffsetY - 10 * vb::CDbl(y2);
        if (ClipToReach(Picture1, ax, ay, bx, by)) Picture1.Line(ax, ay, bx, by, screenColour);
        // The file's writer leaves out what it cannot write itself.
        if (IsDxfMode(mode)) DxfWriteLine(x1, y1, x2, y2, colour);
    });
}

void Form1::textplot(const vb::Variant& x, const vb::Variant& y, const vb::Variant& colour,
                     const vb::Variant& height, const vb::Variant& angle, const std::string&,
                     const std::string& text, const vb::Variant& mode, const vb::Variant&) {
    // Each step runs on after a failure of the one before, so a text that
    // cannot be shown is still written to the DXF file; a full disk ends it.
    vb::ErrorTrap trap;
    auto reported = [this, &trap] {
        if (trap.Number() == kDiskFull) return false;
        ShowProfileFailure(trap.Description());
        trap.Clear();
        return true;
    };
    if (!vb::resumeNext(trap, [&] {
            FontStuff(vb::CDbl(x) + ProfileOffsetX, ProfileOffsetY - 10 * vb::CDbl(y), text,
                      angle, height, colour);
        }) && !reported()) {
        return;
    }
    if (!vb::resumeNext(trap, [&] {
            if (IsDxfMode(mode)) DxfWriteText(x, y, colour, height, angle, text);
        })) {
        reported();
    }
}

void Form1::FontStuff(const vb::Variant& x, const vb::Variant& y, const std::string& text,
                      const vb::Variant& angle, const vb::Variant& height,
                      const vb::Variant& colour) {
    // The font record is filled field by field in this order, so that when a
    // value cannot be converted the fields before it are already set.
    // A text placed far beyond the picture cannot be seen: it is not printed.
    double px = vb::CDbl(x), py = vb::CDbl(y);
    if (!ClipToReach(Picture1, px, py, px, py)) return;
    const double degrees = vb::CDbl(angle);
    PlotFont.lfEscapement = vb::CLng(degrees * 10);
    PlotFont.lfFaceName = "Arial";
    // A positive height is the character cell in pixels: a text as high as the
    // whole picture gets 800 pixels, whatever the zoom.
    const double h = vb::CDbl(height);
    PlotFont.lfHeight = vb::CLng(800 * h / Picture1.ScaleHeight());
    PlotFont.lfQuality = 255;
    PrintRotated(Picture1, px, py, text, degrees, h,
                 AciColor(vb::CInt(colour)));
}

void Form1::FontStuff0(const vb::Variant& x, const vb::Variant& y, const std::string& text,
                       const vb::Variant& angle, const vb::Variant& height, const vb::Variant&) {
    const double degrees = vb::CDbl(angle);
    PlotFont.lfEscapement = vb::CLng(degrees * 10);
    PlotFont.lfFaceName = "Arial";
    // Negative: the height of the characters themselves.
    const double h = vb::CDbl(height);
    PlotFont.lfHeight = vb::CLng(-900 * h / pic(0).ScaleHeight());
    PlotFont.lfQuality = 255;
    PrintRotated(pic(0), vb::CDbl(x), vb::CDbl(y), text, degrees, h, AciColor(1));
}

void Form1::ShowProfileFailure(const std::string& description) {
    if (profileRedrawing_) {
        if (profileFailureShown_) return;
        profileFailureShown_ = true;
    }
    vb::MsgBox(description);
}

void Form1::Picture1_MarkLine(int, int, float X, float Y) {
    if (MarkPointA.x < 0) {
        // The first point: the next segment starts here.
        MarkPointA = {X, Y};
        MarkPointB = MarkPointA;
        return;
    }
    MarkPointA = MarkPointB;
    MarkPointB = {X, Y};
    if (MarkPending) {
        Picture1.Line(MarkPointA.x, MarkPointA.y, MarkPointB.x, MarkPointB.y, kMarkLineColour);
    }
}
