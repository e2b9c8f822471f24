// Picture box: what is drawn survives the box growing, shrinking and growing
// again, and only Cls takes it away (the background picture excepted).
#include <gtest/gtest.h>

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

}  // namespace
