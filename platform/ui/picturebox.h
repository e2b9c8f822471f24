// The picture box: a control that keeps a drawing.
//
// Drawing goes into a persistent image that the widget paints, so what is
// drawn stays until Cls (whatever AutoRedraw says).  Every primitive is also
// appended to DrawLog() in user units; Cls empties image and log.  Tests
// assert on the log, never on pixels.
//
// Scale: a user scale (ScaleLeft, ScaleTop, ScaleWidth, ScaleHeight) maps
// onto the inner client area (inside the border): pixel x = (x - ScaleLeft)
// * clientWidth / ScaleWidth, and likewise for y.  A new box has ScaleMode
// vbTwips; setting any Scale property, or Scale(x1, y1, x2, y2), switches it
// to vbUser, and a user scale stays fixed when the box is resized (the
// drawing coordinates stretch with the box).  In vbTwips and vbPixels the
// scale follows the size.
//
// A picture box is also a container: controls placed on it are positioned in
// its current scale units.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/control.h"
#include "platform/ui/picture.h"

class QImage;
class QPainter;
class QRect;

namespace vb {

// One drawing primitive as the log keeps it.  Coordinates are user units.
struct DrawEntry {
    enum class Kind { Line, Box, FilledBox, PSet, Circle, Text, Picture };
    Kind kind = Kind::Line;
    double x1 = 0, y1 = 0;   // Line/Box: first corner; PSet: point; Circle:
                             // centre; Text: CurrentX/CurrentY where the text
                             // starts (its reference corner); Picture: target
    double x2 = 0, y2 = 0;   // Line/Box: second corner; Circle: radius in x2;
                             // Text: CurrentX/CurrentY after printing;
                             // Picture: target width and height
    int32_t color = 0;       // &HBBGGRR actually used (system colours resolved)
    std::string text;        // Text only
    int fontHeight = 0;      // Text: the font height in pixels as the font
                             // asked for it (HeightPixels when set: positive
                             // = cell height, negative = character height),
                             // else the cell height of its point size
    double angle = 0;        // Text: angle in degrees, counter-clockwise
    std::string fontName;    // Text: the face asked for
    int drawWidth = 1;       // pixels
    int drawStyle = vbSolid;
    int drawMode = vbCopyPen;
};

class PictureBox : public Control, public Container {
public:
    explicit PictureBox(Container& c);
    ~PictureBox() override;

    // --- Scale ---------------------------------------------------------------------
    double ScaleLeft() const { return scaleLeft_; }
    void ScaleLeft(double v);
    double ScaleTop() const { return scaleTop_; }
    void ScaleTop(double v);
    double ScaleWidth() const;
    void ScaleWidth(double v);    // 0 raises 380
    double ScaleHeight() const;
    void ScaleHeight(double v);   // 0 raises 380
    int ScaleMode() const { return scaleMode_; }
    void ScaleMode(int mode);     // vbUser, vbTwips, vbPixels, vbPoints
    // Scale (x1, y1)-(x2, y2): top-left corner (x1, y1), bottom-right (x2, y2).
    void Scale(double x1, double y1, double x2, double y2);
    // Scale without arguments: back to twips.
    void Scale();

    // --- Drawing state ----------------------------------------------------------------
    double CurrentX() const { return currentX_; }
    void CurrentX(double v) { currentX_ = v; }
    double CurrentY() const { return currentY_; }
    void CurrentY(double v) { currentY_ = v; }
    void ForeColor(int32_t c) override;
    using Control::ForeColor;
    void BackColor(int32_t c) override;   // also clears the drawing, as Cls
    using Control::BackColor;
    int32_t FillColor() const { return fillColor_; }
    void FillColor(int32_t c) { fillColor_ = c; }
    int FillStyle() const { return fillStyle_; }
    void FillStyle(int s) { fillStyle_ = s; }
    int DrawWidth() const { return drawWidth_; }
    void DrawWidth(int w);        // below 1 raises 380
    int DrawStyle() const { return drawStyle_; }
    void DrawStyle(int s) { drawStyle_ = s; }
    int DrawMode() const { return drawMode_; }
    void DrawMode(int m) { drawMode_ = m; }
    bool FontTransparent() const { return fontTransparent_; }
    void FontTransparent(bool v) { fontTransparent_ = v; }
    bool AutoRedraw() const { return autoRedraw_; }
    void AutoRedraw(bool v) { autoRedraw_ = v; }
    int BorderStyle() const { return borderStyle_; }   // 0 none, 1 sunken border
    void BorderStyle(int b);
    // The font, including HeightPixels and Escapement for rotated text.
    void Font(const vb::Font& f) override;
    using Control::Font;
    void FontEscapement(int tenthsOfDegree);
    void FontHeightPixels(int h);

    // --- Drawing ----------------------------------------------------------------------------
    // Clears image and log to BackColor (and the Picture, if any, is drawn
    // again); CurrentX and CurrentY go back to the top-left corner of the
    // scale (ScaleLeft, ScaleTop), which is (0, 0) unless the scale moved it.
    void Cls();
    // Line (x1, y1)-(x2, y2), colour (ForeColor when not given); box form
    // draws the rectangle, filled box fills it with the colour.  CurrentX and
    // CurrentY move to (x2, y2).
    enum class LineForm { Line, Box, FilledBox };
    void Line(double x1, double y1, double x2, double y2, std::optional<int32_t> color = {},
              LineForm form = LineForm::Line);
    // Line -(x2, y2): from CurrentX/CurrentY.
    void LineTo(double x2, double y2, std::optional<int32_t> color = {});
    void PSet(double x, double y, std::optional<int32_t> color = {});
    // Circle (x, y), radius (in x units), colour, arc start/end in radians
    // (negative values draw the radius lines), aspect (height / width).
    void Circle(double x, double y, double radius, std::optional<int32_t> color = {},
                std::optional<double> start = {}, std::optional<double> end = {},
                double aspect = 1.0);
    // Prints text at CurrentX/CurrentY with ForeColor and the font (rotated
    // by its Escapement).  With newLine (Print "x") CurrentX goes back to
    // ScaleLeft and CurrentY moves down by TextHeight; without (Print "x";)
    // CurrentX moves right by TextWidth.
    void Print(const std::string& text, bool newLine = true);
    // Size of a text in the current font, unrotated, in user units.
    double TextWidth(const std::string& text) const;
    double TextHeight(const std::string& text = "Ag") const;
    // Draws a picture at (x, y); with a size it is stretched to it; the
    // source rectangle picks a part of the picture (pixels of the picture
    // are mapped through its size in twips, as user units of the source
    // would be given in vbTwips).
    void PaintPicture(const PictureRef& picture, double x, double y,
                      std::optional<double> width = {}, std::optional<double> height = {},
                      std::optional<double> srcX = {}, std::optional<double> srcY = {},
                      std::optional<double> srcWidth = {}, std::optional<double> srcHeight = {});
    // Colour of the pixel at (x, y), -1 outside the box.
    int32_t Point(double x, double y) const;

    // --- Pictures -------------------------------------------------------------------------------
    // The background picture, shown under the drawing and kept by Cls.
    PictureRef Picture() const { return picture_; }
    void Picture(PictureRef p);
    // A copy of the persistent drawing.
    PictureRef Image() const;

    // Drawing on demand (for a canvas far wider than the part ever shown, a
    // strip of thousands of tabs): unrotated text, pictures and clearing are
    // recorded and carried out on a band of the canvas only when something
    // looks at that band (the screen, Point, Image, canvas) or draws there
    // in another way.  What is seen, read and logged is the same as when
    // drawing at once.
    void DrawOnDemand(bool on);

    // --- The log ------------------------------------------------------------------------------------
    const std::vector<DrawEntry>& DrawLog() const { return log_; }

    // --- Events ---------------------------------------------------------------------------------------
    // Raised when the box needs repainting and AutoRedraw is false (what it
    // draws goes into the persistent image before it is shown).
    std::function<void()> Paint;
    std::function<void()> Resize;
    std::function<void()> Change;   // picture changed

    // --- Container and platform use ---------------------------------------------------------
    QWidget* ClientWidget() const override { return widget_; }
    Form* ParentForm() override { return Control::ParentForm(); }
    double UnitsToPixelsX(double x) const override;
    double UnitsToPixelsY(double y) const override;
    double PixelsToUnitsX(double px) const override;
    double PixelsToUnitsY(double py) const override;
    double SizeToPixelsX(double w) const override;
    double SizeToPixelsY(double h) const override;
    double PixelsToSizeX(double px) const override;
    double PixelsToSizeY(double py) const override;
    float MouseXFromPixels(double px) const override;
    float MouseYFromPixels(double py) const override;
    void CopyPropertiesFrom(const Control& source) override;
    // The part of the client area that can be seen: not cut off by the
    // containers around the box, by its window's edges or by the screen's
    // work area.  In the box's scale units; Width and Height are 0 when no
    // part shows.  Controls placed on the box are seen where they lie in it.
    struct Area {
        double Left = 0, Top = 0, Width = 0, Height = 0;
    };
    Area ShownArea() const;
    // Inner client area in pixels (inside the border).
    int ClientWidthPixels() const;
    int ClientHeightPixels() const;
    int BorderPixels() const { return borderStyle_ ? 2 : 0; }
    // The persistent image (platform use and screenshots).
    const QImage& canvas() const;
    // Called by the widget; `area` is the part of the widget to paint.
    void PaintWidget(QPainter& painter, const QRect& area);
    void WidgetResized();

private:
    void EnterUserScale();
    // A point in the box's scale -> pixels of the canvas (which starts at the
    // client area's corner, inside the border).
    double CanvasX(double x) const { return SizeToPixelsX(x - scaleLeft_); }
    double CanvasY(double y) const { return SizeToPixelsY(y - scaleTop_); }
    void EnsureCanvas();
    // The painter that draws on the canvas: begun by the first primitive
    // after the canvas was last read or replaced, and kept for the ones after
    // it (a redraw of thousands of lines and texts begins it once).  Each
    // call sets the draw mode and clears the transformation.  EndPainting
    // must come before the canvas is read, filled or replaced.
    QPainter& CanvasPainter();
    void EndPainting() const;
    // The Qt font of font_ and its metrics, made once per font state.
    struct FontCache;
    const FontCache& CurrentFont() const;
    void Touched();
    void Log(DrawEntry e);
    // A log entry of `kind` with the current pen (width, style, mode).
    DrawEntry PenEntry(DrawEntry::Kind kind, double x1, double y1, double x2, double y2, int32_t color) const;
    int32_t ResolveColor(std::optional<int32_t> c) const;

    // Address space reserved for a wide canvas to grow into sideways
    // without copying (see EnsureCanvas); canvas_ may lie in it.
    struct CanvasMemory;
    // Drawing recorded while DrawOnDemand is on, by band of columns.
    struct Pending;
    mutable std::unique_ptr<Pending> pending_;
    // Records a drawing that touches canvas columns x0 to x1, or (when not
    // drawing on demand) draws it at once.  `whole`: the drawing must not be
    // clipped (it would come out differently).
    void Draw(double x0, double x1, std::function<void(QPainter&)> draw, bool whole = false);
    // Carries out what is recorded for the bands that hold columns x0 to x1.
    void Realize(int x0, int x1) const;
    void RealizeAll() const;
    void DropPending();
    std::shared_ptr<CanvasMemory> canvasMemory_;
    std::unique_ptr<QImage> canvas_;
    mutable std::unique_ptr<QPainter> painter_;   // after canvas_: ends first
    mutable std::unique_ptr<FontCache> fonts_;
    std::vector<DrawEntry> log_;
    PictureRef picture_;
    int scaleMode_ = vbTwips;
    double scaleLeft_ = 0, scaleTop_ = 0;
    double userScaleWidth_ = 1, userScaleHeight_ = 1;   // vbUser only
    double currentX_ = 0, currentY_ = 0;
    int32_t fillColor_ = vbBlack;
    int fillStyle_ = vbFSTransparent;
    int drawWidth_ = 1;
    int drawStyle_ = vbSolid;
    int drawMode_ = vbCopyPen;
    bool fontTransparent_ = true;
    bool autoRedraw_ = false;
    int borderStyle_ = 1;
    bool inPaint_ = false;
};

}  // namespace vb
