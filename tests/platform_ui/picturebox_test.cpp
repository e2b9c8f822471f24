// Picture box: scale mapping, the drawing log and controls placed on it.
#include <gtest/gtest.h>

#include <QWidget>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

using Kind = vb::DrawEntry::Kind;

TEST(PictureBox, UserScaleMapsOntoTheClientArea) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    // 204 x 154 pixels with a 2-pixel border: a client area of 200 x 150.
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    EXPECT_EQ(Picture1.ClientWidthPixels(), 200);
    EXPECT_EQ(Picture1.ScaleMode(), vb::vbTwips);
    EXPECT_DOUBLE_EQ(Picture1.ScaleWidth(), 3000);
    EXPECT_DOUBLE_EQ(Picture1.ScaleHeight(), 2250);

    Picture1.ScaleWidth(160);
    Picture1.ScaleHeight(150);
    EXPECT_EQ(Picture1.ScaleMode(), vb::vbUser);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsX(80), 2 + 100);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsY(75), 2 + 75);
    EXPECT_DOUBLE_EQ(Picture1.PixelsToUnitsX(2 + 50), 40);

    // The user scale stays when the box grows: drawings stretch with it.
    Picture1.Width(404 * 15);
    EXPECT_DOUBLE_EQ(Picture1.ScaleWidth(), 160);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsX(80), 2 + 200);

    // Scale (x1, y1)-(x2, y2) with y growing upwards.
    Picture1.Scale(-10, 100, 150, -50);
    EXPECT_DOUBLE_EQ(Picture1.ScaleLeft(), -10);
    EXPECT_DOUBLE_EQ(Picture1.ScaleHeight(), -150);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsY(100), 2);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsY(-50), 2 + 150);
    EXPECT_DOUBLE_EQ(Picture1.UnitsToPixelsX(-10), 2);
    EXPECT_THROW(Picture1.ScaleWidth(0), vb::VbError);

    Picture1.Scale();
    EXPECT_EQ(Picture1.ScaleMode(), vb::vbTwips);
    EXPECT_DOUBLE_EQ(Picture1.ScaleLeft(), 0);
    EXPECT_DOUBLE_EQ(Picture1.ScaleWidth(), 400 * 15);
}

TEST(PictureBox, ControlsAndMouseUseTheBoxScale) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.Scale(0, 0, 160, 150);
    vb::Label handle{Picture1};
    handle.Move(80, 30, 8, 15);
    EXPECT_EQ(handle.widget()->geometry(), QRect(2 + 100, 2 + 30, 10, 15));
    EXPECT_NEAR(handle.Left(), 80, 1e-9);
    // Zooming the scale leaves the control where it is on the screen.
    Picture1.Scale(0, 0, 80, 75);
    EXPECT_NEAR(handle.Left(), 40, 1e-9);
    EXPECT_EQ(handle.widget()->geometry().x(), 102);

    float gotX = -1, gotY = -1;
    int gotButton = 0, gotShift = -1;
    Picture1.MouseDown = [&](int Button, int Shift, float X, float Y) {
        gotButton = Button;
        gotShift = Shift;
        gotX = X;
        gotY = Y;
    };
    vb::test::ShowAndActivate(f);
    vb::test::SendMouse(Picture1, vb::test::MouseAction::Down, vb::vbLeftButton, 10, 60, vb::vbCtrlMask);
    EXPECT_EQ(gotButton, vb::vbLeftButton);
    EXPECT_EQ(gotShift, vb::vbCtrlMask);
    EXPECT_NEAR(gotX, 10, 0.5);
    EXPECT_NEAR(gotY, 60, 0.5);
    vb::test::SendMouse(Picture1, vb::test::MouseAction::Up, vb::vbLeftButton, 10, 60);
    f.Unload();
}

TEST(PictureBox, MouseOverABoxOnABoxStaysWithTheInnerBox) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.Scale(0, 0, 160, 150);
    vb::PictureBox handle{static_cast<vb::Container&>(Picture1)};
    handle.Move(80, 30, 10, 10);
    int outer = 0, inner = 0;
    Picture1.MouseDown = [&](int, int, float, float) { ++outer; };
    Picture1.MouseMove = [&](int, int, float, float) { ++outer; };
    Picture1.MouseUp = [&](int, int, float, float) { ++outer; };
    Picture1.Click = [&] { ++outer; };
    handle.MouseDown = [&](int, int, float, float) { ++inner; };
    handle.MouseMove = [&](int, int, float, float) { ++inner; };
    handle.MouseUp = [&](int, int, float, float) { ++inner; };
    vb::test::ShowAndActivate(f);
    vb::test::SendMouse(handle, vb::test::MouseAction::Down, vb::vbLeftButton, 20, 20);
    vb::test::SendMouse(handle, vb::test::MouseAction::Move, vb::vbLeftButton, 40, 40);
    vb::test::SendMouse(handle, vb::test::MouseAction::Up, vb::vbLeftButton, 40, 40);
    EXPECT_EQ(inner, 3);
    EXPECT_EQ(outer, 0);
    f.Unload();
}

TEST(PictureBox, DrawLogRecordsPrimitivesInUserUnits) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.Scale(0, 0, 160, 150);
    Picture1.BackColor(vb::vbBlack);

    Picture1.Line(10, 20, 30, 40, vb::vbRed);
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), 30);
    EXPECT_DOUBLE_EQ(Picture1.CurrentY(), 40);
    Picture1.ForeColor(vb::vbGreen);
    Picture1.DrawWidth(2);
    Picture1.Line(0, 0, 20, 10, std::nullopt, vb::PictureBox::LineForm::FilledBox);
    Picture1.PSet(100, 100, vb::vbWhite);

    ASSERT_EQ(Picture1.DrawLog().size(), 3u);
    const vb::DrawEntry& line = Picture1.DrawLog()[0];
    EXPECT_EQ(line.kind, Kind::Line);
    EXPECT_DOUBLE_EQ(line.x1, 10);
    EXPECT_DOUBLE_EQ(line.y2, 40);
    EXPECT_EQ(line.color, vb::vbRed);
    EXPECT_EQ(line.drawWidth, 1);
    const vb::DrawEntry& box = Picture1.DrawLog()[1];
    EXPECT_EQ(box.kind, Kind::FilledBox);
    EXPECT_EQ(box.color, vb::vbGreen) << "no colour given: ForeColor";
    EXPECT_EQ(box.drawWidth, 2);
    EXPECT_EQ(Picture1.Point(100, 100), vb::vbWhite);
    EXPECT_EQ(Picture1.Point(5, 5), vb::vbGreen);

    // Print at CurrentX/CurrentY: the next line starts at the left edge,
    // one text height lower.
    Picture1.CurrentX(50);
    Picture1.CurrentY(60);
    Picture1.ForeColor(vb::vbYellow);
    double h = Picture1.TextHeight("Lateral1");
    EXPECT_GT(h, 0);
    Picture1.Print("Lateral1");
    const vb::DrawEntry& text = Picture1.DrawLog().back();
    EXPECT_EQ(text.kind, Kind::Text);
    EXPECT_EQ(text.text, "Lateral1");
    EXPECT_DOUBLE_EQ(text.x1, 50);
    EXPECT_DOUBLE_EQ(text.y1, 60);
    EXPECT_EQ(text.color, vb::vbYellow);
    EXPECT_DOUBLE_EQ(text.angle, 0);
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), 0);
    EXPECT_NEAR(Picture1.CurrentY(), 60 + h, 1e-9);
    // Print "x"; stays on the line.
    Picture1.CurrentX(10);
    Picture1.Print("ab", false);
    EXPECT_NEAR(Picture1.CurrentX(), 10 + Picture1.TextWidth("ab"), 1e-9);

    // Rotated text with a height in pixels, as the profile's labels use it.
    vb::Font font;
    font.Name = "Arial";
    font.HeightPixels = 40;
    font.Escapement = 900;
    Picture1.Font(font);
    Picture1.CurrentX(80);
    Picture1.CurrentY(140);
    Picture1.Print("102.000");
    const vb::DrawEntry& rotated = Picture1.DrawLog().back();
    EXPECT_EQ(rotated.text, "102.000");
    EXPECT_DOUBLE_EQ(rotated.angle, 90);
    EXPECT_EQ(rotated.fontHeight, 40);
    EXPECT_EQ(rotated.fontName, "Arial");
    // A 40-pixel cell is 40 of the 150 client pixels: 40 user units here.
    EXPECT_NEAR(Picture1.TextHeight("X"), 40, 1.0);

    Picture1.Cls();
    EXPECT_TRUE(Picture1.DrawLog().empty());
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), 0);
    EXPECT_DOUBLE_EQ(Picture1.CurrentY(), 0);
    EXPECT_EQ(Picture1.Point(100, 100), vb::vbBlack) << "Cls clears the drawing to BackColor";
}

TEST(PictureBox, CircleAndBoxAndPictures) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.ScaleMode(vb::vbPixels);
    Picture1.BackColor(vb::vbWhite);
    Picture1.FillStyle(vb::vbFSSolid);
    Picture1.FillColor(vb::vbBlue);
    Picture1.Circle(50, 50, 20, vb::vbBlack);
    EXPECT_EQ(Picture1.Point(50, 50), vb::vbBlue);
    Picture1.Line(100, 10, 140, 40, vb::vbRed, vb::PictureBox::LineForm::Box);
    EXPECT_EQ(Picture1.Point(120, 25), vb::vbBlue) << "a box is filled with FillColor when FillStyle is solid";
    EXPECT_EQ(Picture1.Point(100, 25), vb::vbRed);
    ASSERT_EQ(Picture1.DrawLog().size(), 2u);
    EXPECT_EQ(Picture1.DrawLog()[0].kind, Kind::Circle);
    EXPECT_DOUBLE_EQ(Picture1.DrawLog()[0].x2, 20);
    EXPECT_EQ(Picture1.DrawLog()[1].kind, Kind::Box);

    vb::PictureRef img = Picture1.Image();
    EXPECT_EQ(img->WidthPixels(), 200);
    vb::PictureBox Picture2{f};
    Picture2.Move(0, 0, 204 * 15, 154 * 15);
    Picture2.ScaleMode(vb::vbPixels);
    Picture2.PaintPicture(img, 0, 0);
    EXPECT_EQ(Picture2.Point(50, 50), vb::vbBlue);
    EXPECT_EQ(Picture2.DrawLog().back().kind, Kind::Picture);

    EXPECT_THROW(vb::LoadPicture("/nonexistent/x.bmp"), vb::VbError);
    EXPECT_TRUE(vb::LoadPicture("")->IsEmpty());
}

}  // namespace

TEST(PictureBox, ClsAndPrintReturnToTheCornerOfAMovedScale) {
    vb::Form f;
    vb::PictureBox Picture1{f};
    Picture1.Move(0, 0, 204 * 15, 154 * 15);
    Picture1.Scale(-10, 100, 150, -50);   // top-left corner (-10, 100), y growing upwards
    Picture1.Line(0, 0, 20, 20);
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), 20);
    Picture1.Cls();
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), -10) << "Cls homes the print position to the scale's corner";
    EXPECT_DOUBLE_EQ(Picture1.CurrentY(), 100);
    // A printed line starts there and ends one text height further down:
    // downwards is towards smaller y in this scale.
    const double h = Picture1.TextHeight("Ag");
    EXPECT_LT(h, 0);
    Picture1.CurrentX(30);
    Picture1.Print("x");
    ASSERT_EQ(Picture1.DrawLog().size(), 1u);
    EXPECT_DOUBLE_EQ(Picture1.DrawLog()[0].x1, 30);
    EXPECT_DOUBLE_EQ(Picture1.DrawLog()[0].y1, 100);
    EXPECT_DOUBLE_EQ(Picture1.CurrentX(), -10);
    EXPECT_NEAR(Picture1.CurrentY(), 100 + h, 1e-9);
    // Setting BackColor erases like Cls but leaves the print position.
    Picture1.BackColor(vb::vbWhite);
    EXPECT_TRUE(Picture1.DrawLog().empty());
    EXPECT_NEAR(Picture1.CurrentY(), 100 + h, 1e-9);
}
