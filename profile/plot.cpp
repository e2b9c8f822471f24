// Every line and text of the profile: the mapping of drawing coordinates onto
// Picture1, the rotated texts, and the DXF entities while an export runs.
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

}  // namespace

void Form1::LINEplot(const vb::Variant& x1, const vb::Variant& y1, const vb::Variant& x2,
                     const vb::Variant& y2, const vb::Variant& mode, const vb::Variant& colour,
                     const vb::Variant&) {
    // A line that cannot be drawn or written is left out without a word.
    vb::ErrorTrap trap;
    vb::resumeNext(trap, [&] {
        const int32_t screenColour = AciColor(vb::CInt(colour));
        Picture1.Line(vb::CDbl(x1) + ProfileOffsetX, ProfileOffsetY - 10 * vb::CDbl(y1),
                      vb::CDbl(x2) + ProfileOffsetX, ProfileOffsetY - 10 * vb::CDbl(y2),
                      screenColour);
        if (IsDxfMode(mode)) DxfWriteLine(x1, y1, x2, y2, colour);
    });
}

void Form1::textplot(const vb::Variant& x, const vb::Variant& y, const vb::Variant& colour,
                     const vb::Variant& height, const vb::Variant& angle, const std::string&,
                     const std::string& text, const vb::Variant& mode, const vb::Variant&) {
    // Each step runs on after a failure of the one before, so a text that
    // cannot be shown is still written to the DXF file; a full disk ends it.
    vb::ErrorTrap trap;
    auto reported = [&trap] {
        if (trap.Number() == kDiskFull) return false;
        vb::MsgBox(trap.Description());
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
    const double degrees = vb::CDbl(angle);
    PlotFont.lfEscapement = vb::CLng(degrees * 10);
    PlotFont.lfFaceName = "Arial";
    // A positive height is the character cell in pixels: a text as high as the
    // whole picture gets 800 pixels, whatever the zoom.
    const double h = vb::CDbl(height);
    PlotFont.lfHeight = vb::CLng(800 * h / Picture1.ScaleHeight());
    PlotFont.lfQuality = 255;
    PrintRotated(Picture1, vb::CDbl(x), vb::CDbl(y), text, degrees, h,
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
