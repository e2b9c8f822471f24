// Picture box: what is drawn survives the box growing, shrinking and growing
// again, and only Cls takes it away (the background picture excepted).
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

constexpr int32_t kWhite = 0xFFFFFF, kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000;

struct PixelBox {
    vb::Form form;
    vb::PictureBox box{form};
    PixelBox(int w, int h) {
        box.BorderStyle(0);
        box.Move(0, 0, w * 15, h * 15);
        box.ScaleMode(vb::vbPixels);
        box.BackColor(kWhite);
    }
    void Width(int px) { box.Width(px * 15); }
    int32_t At(int x, int y) const { return box.Point(x, y); }
};

TEST(PictureBoxCanvas, DrawingSurvivesGrowingAndShrinkingUntilCleared) {
    PixelBox p(100, 20);
    p.box.PSet(90, 10, kRed);
    // Widened a pixel at a time, as a strip of tabs is: every step's drawing
    // stays and the new area is the back colour.
    for (int w = 101; w <= 600; ++w) {
        p.Width(w);
        p.box.PSet(w - 1, 5, kGreen);
    }
    EXPECT_EQ(p.At(90, 10), kRed);
    for (int x = 100; x < 600; ++x) {
        ASSERT_EQ(p.At(x, 5), kGreen) << x;
        ASSERT_EQ(p.At(x, 15), kWhite) << x;
    }
    EXPECT_EQ(p.At(600, 5), -1);

    // Shrunk, the drawing is out of reach but kept for when the box grows.
    p.Width(10);
    EXPECT_EQ(p.At(90, 10), -1);
    p.Width(100);
    EXPECT_EQ(p.At(90, 10), kRed);

    // Shrunk and cleared, nothing of it comes back.
    p.Width(10);
    p.box.Cls();
    p.Width(600);
    for (int x = 0; x < 600; ++x) {
        ASSERT_EQ(p.At(x, 5), kWhite) << x;
        ASSERT_EQ(p.At(x, 10), kWhite) << x;
    }
    p.box.PSet(300, 10, kRed);
    EXPECT_EQ(p.At(300, 10), kRed);
}

TEST(PictureBoxCanvas, ClearingAShrunkBoxKeepsItsBackgroundPicture) {
    PixelBox source(200, 20);
    source.box.BackColor(kBlue);
    PixelBox p(200, 20);
    p.box.Picture(source.box.Image());
    EXPECT_EQ(p.At(150, 10), kBlue);
    p.Width(10);
    p.box.Cls();
    p.Width(200);
    EXPECT_EQ(p.At(150, 10), kBlue);
    EXPECT_EQ(p.At(5, 10), kBlue);
}

// A canvas of many megabytes (a strip of thousands of tabs) grows sideways
// in place; its drawing must survive that, a later growth in height (which
// moves it), and an image taken of it.
TEST(PictureBoxCanvas, AWideCanvasKeepsItsDrawingAsItGrows) {
    PixelBox p(60000, 20);   // 4.8 MB
    p.box.PSet(59999, 19, kRed);
    for (int w = 60000; w <= 400000; w += 7919) {
        p.Width(w);
        p.box.PSet(w - 1, w % 20, kGreen);
        ASSERT_EQ(p.At(w - 2, w % 20), kWhite) << w;
    }
    EXPECT_EQ(p.At(59999, 19), kRed);
    for (int w = 60000; w <= 400000; w += 7919) ASSERT_EQ(p.At(w - 1, w % 20), kGreen) << w;
    const vb::PictureRef image = p.box.Image();
    EXPECT_EQ(image->image().width(), p.box.ScaleWidth());
    EXPECT_EQ(image->image().pixelColor(59999, 19), QColor(255, 0, 0));
    // Everything else is the back colour.
    int marks = 0, others = 0;
    const QImage& all = image->image();
    for (int y = 0; y < all.height(); ++y)
        for (int x = 0; x < all.width(); ++x) {
            const QRgb c = all.pixel(x, y) & 0xFFFFFF;
            if (c == 0x00FF00 || c == 0xFF0000) ++marks;
            else if (c != 0xFFFFFF) ++others;
        }
    EXPECT_EQ(others, 0);
    EXPECT_EQ(marks, 1 + (400000 - 60000) / 7919 + 1);

    p.box.Height(40 * 15);
    EXPECT_EQ(p.At(59999, 19), kRed);
    EXPECT_EQ(p.At(59999, 39), kWhite);
    p.box.PSet(100, 39, kBlue);
    EXPECT_EQ(p.At(100, 39), kBlue);
    p.Width(500000);
    EXPECT_EQ(p.At(499999, 39), kWhite);
    EXPECT_EQ(p.At(59999, 19), kRed);
}

// Drawing on demand must leave every pixel as drawing at once does, whatever
// is looked at in between: pictures stretched across band edges, text,
// XOR drawing over them, clearing, and a canvas that grows in place.
TEST(PictureBoxCanvas, DrawingOnDemandGivesTheSamePixels) {
    PixelBox source(7, 9);
    source.box.Line(0, 0, 6, 8, kRed, vb::PictureBox::LineForm::FilledBox);
    source.box.PSet(3, 4, kBlue);
    const vb::PictureRef piece = source.box.Image();

    auto run = [&](vb::PictureBox& b, bool peek) {
        int32_t seen = 0;
        b.Font([] { vb::Font f; f.Name = "Arial"; f.Size = 8; return f; }());
        for (int round = 0; round < 2; ++round) {
            b.Cls();
            for (int i = 0; i < 400; ++i) {
                b.Width((1000 + 160 * i) * 15);
                const double x = 1000 + 157.3 * i - 60;
                b.PaintPicture(piece, x, i % 7, 83.7 + i % 5, 9 + i % 3);
                b.ForeColor(i % 2 ? kGreen : 0);
                b.FontTransparent(i % 3 != 0);
                b.CurrentX(x + 3);
                b.CurrentY(2);
                b.Print("Se " + std::to_string(i), false);
                if (i % 50 == 7) {
                    b.DrawMode(vb::vbXorPen);
                    b.PaintPicture(piece, x - 30, 3, 40, 12);
                    b.DrawMode(vb::vbCopyPen);
                }
                if (peek && i % 37 == 0) seen += b.Point(x + 20, 5) + b.Point(x - 500, 10);
                if (i == 200) b.Line(x - 5000, 0, x, 19, kBlue);
            }
        }
        return seen;
    };
    PixelBox atOnce(1000, 20), onDemand(1000, 20), peeked(1000, 20);
    onDemand.box.DrawOnDemand(true);
    peeked.box.DrawOnDemand(true);
    const int32_t seenAtOnce = run(atOnce.box, true);
    run(onDemand.box, false);
    EXPECT_EQ(run(peeked.box, true), seenAtOnce);
    const QImage expected = atOnce.box.Image()->image();
    EXPECT_GT(expected.width(), 60000);
    EXPECT_TRUE(onDemand.box.Image()->image() == expected);
    EXPECT_TRUE(peeked.box.Image()->image() == expected);
    EXPECT_EQ(onDemand.box.DrawLog().size(), atOnce.box.DrawLog().size());
}

}  // namespace
