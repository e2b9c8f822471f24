// What the tab strip leaves on its canvas while a host fills it tab by tab:
// the same drawing, entry for entry and pixel for pixel, as one full repaint
// of the finished strip, whatever happened to the strip in between.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "controls/usercontrol1.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/testing.h"
#include "platform/ui/ui.h"

namespace {

constexpr float kTw = 15;   // twips per pixel

struct PaintHost {
    vb::Form form{"PaintHost"};
    UserControl1 strip{form};
    explicit PaintHost(double width = 3000) {
        form.Move(0, 0, width + 600, 1200);
        vb::test::ShowAndActivate(form);
        strip.Move(0, 0, width, 300);
    }
    // A caption much wider than the spin buttons.
    static std::string Caption(int i) { return "Sewer pipe number " + std::to_string(i); }
    int32_t Pixel(int32_t x, int32_t y) const { return strip.Picture10.Point(x * kTw, y * kTw); }
};

using LogLine = std::tuple<int, double, double, double, double, int32_t, std::string>;

// The canvas's log and every pixel of it.
struct Snapshot {
    std::vector<LogLine> log;
    std::vector<int32_t> pixels;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const PaintHost& h) {
    Snapshot s;
    for (const vb::DrawEntry& e : h.strip.Picture10.DrawLog())
        s.log.emplace_back(static_cast<int>(e.kind), e.x1, e.y1, e.x2, e.y2, e.color, e.text);
    const int32_t width = static_cast<int32_t>(h.strip.Picture10.ScaleWidth() / kTw);
    for (int32_t y = 0; y < 18; ++y)
        for (int32_t x = 0; x < width; ++x) s.pixels.push_back(h.Pixel(x, y));
    return s;
}

// The canvas as it is, compared with the canvas after a full repaint.
void ExpectAsFullRepaint(PaintHost& h, const char* when) {
    const Snapshot before = Take(h);
    h.strip.Picture10_Paint();
    const Snapshot after = Take(h);
    EXPECT_EQ(before.log.size(), after.log.size()) << when;
    EXPECT_TRUE(before.log == after.log) << when;
    EXPECT_TRUE(before.pixels == after.pixels) << when;
}

size_t TextsDrawn(const PaintHost& h, const std::string& caption, int32_t color) {
    size_t n = 0;
    for (const vb::DrawEntry& e : h.strip.Picture10.DrawLog())
        if (e.kind == vb::DrawEntry::Kind::Text && e.text == caption && e.color == color) ++n;
    return n;
}

TEST(TabStripPaint, FillingTabByTabDrawsWhatARepaintDraws) {
    PaintHost h;
    h.strip.tabreset();
    for (int i = 1; i <= 30; ++i) h.strip.AddTab(PaintHost::Caption(i));
    ASSERT_TRUE(h.strip.cmd.Visible());
    // Every tab once: three skin pieces and its caption.
    EXPECT_EQ(h.strip.Picture10.DrawLog().size(), 30u * 4u);
    ExpectAsFullRepaint(h, "after filling");

    // The last tab is whole: its right border is drawn as the first tab's is.
    const auto& tabs = h.strip.Tabs();
    auto rightBorder = [&](size_t i) {
        const double w = h.strip.CaptionWidthPixels(tabs[i].Caption);
        return h.Pixel(tabs[i].Left + 5 + static_cast<int32_t>(vb::RoundHalfEven(w)) + 4, 8);
    };
    EXPECT_NE(rightBorder(1), h.Pixel(0, 8));
    EXPECT_EQ(rightBorder(tabs.size() - 1), rightBorder(1));

    // Refilling after a tabreset leaves only the new tabs.
    h.strip.tabreset();
    h.strip.AddTab("Lateral1");
    h.strip.AddTab("Lateral2");
    EXPECT_EQ(h.strip.Picture10.DrawLog().size(), 8u);
    EXPECT_FALSE(h.strip.cmd.Visible());
    ExpectAsFullRepaint(h, "after refilling");
}

TEST(TabStripPaint, ChangesBetweenAdditionsAreNotLost) {
    PaintHost h;
    h.strip.tabreset();
    for (int i = 1; i <= 5; ++i) h.strip.AddTab(PaintHost::Caption(i));

    // A caption chosen through text (which does not repaint) shows in the
    // selected look once the next tab is added.
    h.strip.text(PaintHost::Caption(3));
    h.strip.AddTab(PaintHost::Caption(6));
    EXPECT_EQ(TextsDrawn(h, PaintHost::Caption(3), 0xFFFFFF), 1u);
    EXPECT_EQ(TextsDrawn(h, PaintHost::Caption(3), 0), 0u);
    ExpectAsFullRepaint(h, "after text");

    // Choosing a caption that no tab has unmarks it again.
    h.strip.text("none");
    h.strip.AddTab(PaintHost::Caption(7));
    EXPECT_EQ(TextsDrawn(h, PaintHost::Caption(3), 0), 1u);
    ExpectAsFullRepaint(h, "after unmarking");

    // A hovered tab keeps its hover look.
    const int32_t mid = (h.strip.Tabs()[2].Left + h.strip.Tabs()[2].Right) / 2;
    h.strip.Picture10_MouseMove(0, 0, mid * kTw, 8 * kTw);
    ASSERT_TRUE(h.strip.Tabs()[2].IsHover);
    h.strip.AddTab(PaintHost::Caption(8));
    ExpectAsFullRepaint(h, "after a hover");

    // Someone else clearing the canvas does not leave the earlier tabs off.
    h.strip.Picture10.Cls();
    h.strip.AddTab(PaintHost::Caption(9));
    EXPECT_EQ(h.strip.Picture10.DrawLog().size(), 9u * 4u);
    ExpectAsFullRepaint(h, "after a clear");

    // Nor does a left press that marked a tab.
    const int32_t mid4 = (h.strip.Tabs()[4].Left + h.strip.Tabs()[4].Right) / 2;
    h.strip.Picture10_MouseDown(vb::vbLeftButton, 0, mid4 * kTw, 8 * kTw);
    h.strip.AddTab(PaintHost::Caption(10));
    EXPECT_EQ(TextsDrawn(h, PaintHost::Caption(4), 0xFFFFFF), 1u);
    ExpectAsFullRepaint(h, "after a press");
}

TEST(TabStripPaint, OverHandlerMayChangeTheTabs) {
    PaintHost h;
    int overs = 0;
    // A host that answers the overflow by adding a tab of its own.
    h.strip.Over = [&] {
        ++overs;
        h.strip.AddTab("More");
    };
    h.strip.tabreset();
    int added = 0;
    while (overs == 0 && added < 50) h.strip.AddTab(PaintHost::Caption(++added));
    ASSERT_EQ(overs, 1);
    const auto& tabs = h.strip.Tabs();
    ASSERT_EQ(tabs.size(), static_cast<size_t>(added) + 2);
    EXPECT_EQ(tabs.back().Caption, "More");
    EXPECT_EQ(tabs[tabs.size() - 2].Caption, PaintHost::Caption(added));
    EXPECT_EQ(h.strip.TABB().UBound(), added + 2);
    EXPECT_EQ(h.strip.Picture10.DrawLog().size(), (static_cast<size_t>(added) + 1) * 4u);
    ExpectAsFullRepaint(h, "after an overflow");
}

}  // namespace
