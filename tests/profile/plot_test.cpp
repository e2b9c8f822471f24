#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "mainwindow/form1.h"
#include "platform/ui/ui.h"
#include "profile/dxf_writer.h"
#include "profile/format.h"
#include "profile/plot.h"

namespace {

using Kind = vb::DrawEntry::Kind;

// The main window with its profile picture at the reset view (160 x 150 user
// units, origin 50 / 100), message boxes answered by a script.
class Plot : public ::testing::Test {
protected:
    void SetUp() override {
        form_ = std::make_unique<Form1>();
        pic().Scale(0, 0, 160, 150);
        pic().Cls();
        ProfileOffsetX = 50;
        ProfileOffsetY = 100;
        DxfMode = 1;
    }
    void TearDown() override {
        if (DxfFile().IsOpen()) DxfFile().Abandon();
        DxfMode = 1;
    }
    vb::PictureBox& pic() { return form_->Picture1; }
    const std::vector<vb::DrawEntry>& log() { return pic().DrawLog(); }
    std::string DxfPath() const { return "/tmp/plot-test-" + std::to_string(getpid()) + ".dxf"; }
    std::string ReadDxf() {
        EXPECT_TRUE(DxfFile().Close());
        std::ifstream in(DxfPath(), std::ios::binary);
        std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::remove(DxfPath().c_str());
        return s;
    }
    static int Count(const std::string& s, const std::string& what) {
        int n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
        return n;
    }

    std::shared_ptr<vb::ScriptedDialogs> dialogs_ = std::make_shared<vb::ScriptedDialogs>();
    vb::DialogSinkScope scope_{dialogs_};
    std::unique_ptr<Form1> form_;
};

TEST_F(Plot, LinesAreMappedOntoThePictureInTheirColours) {
    form_->LINEplot(0, 100, 50, 99.5, 1, 3, 1);
    ASSERT_EQ(log().size(), 1u);
    const vb::DrawEntry& e = log()[0];
    EXPECT_EQ(e.kind, Kind::Line);
    EXPECT_DOUBLE_EQ(e.x1, 50);
    EXPECT_DOUBLE_EQ(e.y1, 100 - 1000);
    EXPECT_DOUBLE_EQ(e.x2, 100);
    EXPECT_DOUBLE_EQ(e.y2, 100 - 995);
    EXPECT_EQ(e.color, 0x00FF00);

    // The offsets are read at every call.
    ProfileOffsetX = 80;
    ProfileOffsetY = 10;
    form_->LINEplot(-2.5, 1.25, 7, -3, 1, 1, 1);
    ASSERT_EQ(log().size(), 2u);
    EXPECT_DOUBLE_EQ(log()[1].x1, 77.5);
    EXPECT_DOUBLE_EQ(log()[1].y1, -2.5);
    EXPECT_DOUBLE_EQ(log()[1].x2, 87);
    EXPECT_DOUBLE_EQ(log()[1].y2, 40);

    // Colours: the index is first rounded to a whole number (half to even);
    // anything outside 1 to 257 is black.
    struct Case { double colour; int32_t rgb; };
    const Case cases[] = {{0, 0}, {-3, 0}, {258, 0}, {7, 0xFFFFFF}, {4.5, AciColor(4)},
                          {5.5, AciColor(6)}, {18, 76}, {257, 0xFFFFFF}, {46, AciColor(46)}};
    for (const Case& c : cases) {
        pic().Cls();
        form_->LINEplot(0, 0, 1, 1, 1, c.colour, 1);
        ASSERT_EQ(log().size(), 1u) << c.colour;
        EXPECT_EQ(log()[0].color, c.rgb) << c.colour;
    }

    // A colour beyond 16 bits, or a coordinate that is no number, draws
    // nothing and says nothing.
    pic().Cls();
    form_->LINEplot(0, 0, 1, 1, 1, 40000, 1);
    form_->LINEplot("x", 0, 1, 1, 1, 3, 1);
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(dialogs_->Messages().empty());
}

TEST_F(Plot, TextsGetTheirHeightAngleAndPlacement) {
    struct Case {
        double angle, height;
        int pixels;       // cell height at a scale height of 150
        double logAngle;  // escapement / 10
    };
    const Case cases[] = {
        {0, 3, 16, 0},         {90, 3, 16, 90},   {-90, 1.5, 8, -90},  {45, 6, 32, 45},
        {1.25, 3, 16, 1.2},    {1.75, 3, 16, 1.8}, // escapement 12.5 -> 12, 17.5 -> 18
        {0, 0.46875, 2, 0},    {0, 0.65625, 4, 0},  // 2.5 -> 2, 3.5 -> 4 pixels
        {180, 2, 11, 180},
    };
    for (const Case& c : cases) {
        pic().Cls();
        form_->textplot(10, 5, 3, c.height, c.angle, "S", "12.50", 1, 0);
        ASSERT_EQ(log().size(), 1u) << c.angle;
        const vb::DrawEntry& e = log()[0];
        EXPECT_EQ(e.kind, Kind::Text);
        EXPECT_EQ(e.text, "12.50");
        EXPECT_EQ(e.fontName, "Arial");
        EXPECT_EQ(e.fontHeight, c.pixels) << c.angle << " / " << c.height;
        EXPECT_NEAR(e.angle, c.logAngle, 1e-9);
        EXPECT_EQ(e.color, 0x00FF00);
        // (x, y) = (60, 50) on the picture; the reference corner sits 4/3 of
        // the height against the text's up vector (with the angle taken
        // through 3.14, not pi).
        const double a = c.angle * 3.14 / 180;
        EXPECT_FLOAT_EQ(e.x1, static_cast<float>(60 - 0.4 * std::sin(a) * c.height / 0.3));
        EXPECT_FLOAT_EQ(e.y1, static_cast<float>(50 - 0.4 * std::cos(a) * c.height / 0.3));
    }

    // At angle 90 the corner lies 4/3 of the height to the left and a hair up.
    pic().Cls();
    form_->textplot(10, 5, 3, 3, 90, "S", "A", 1, 0);
    EXPECT_NEAR(log()[0].x1, 56, 1e-4);
    EXPECT_LT(log()[0].y1, 50);
    EXPECT_GT(log()[0].y1, 49.99);

    // The pixel height follows the picture's scale: zoomed in, the same
    // height in drawing units is twice as many pixels.
    pic().Cls();
    pic().ScaleHeight(75);
    form_->textplot(10, 5, 3, 3, 0, "S", "A", 1, 0);
    EXPECT_EQ(log()[0].fontHeight, 32);
    EXPECT_TRUE(dialogs_->Messages().empty());
}

TEST_F(Plot, TextsLeaveThePicturesColourAndFontAsTheyWere) {
    pic().ForeColor(0x123456);
    const vb::Font before = pic().Font();
    form_->textplot(0, 0, 5, 3, 30, "S", "x", 1, 0);
    form_->textplot(0, 0, 0, 3, 30, "S", "y", 1, 0);
    ASSERT_EQ(log().size(), 2u);
    EXPECT_EQ(log()[0].color, 0xFF0000);   // blue
    EXPECT_EQ(log()[1].color, 0);          // colour 0 draws black
    EXPECT_EQ(pic().ForeColor(), 0x123456);
    EXPECT_EQ(pic().Font().Name, before.Name);
    EXPECT_EQ(pic().Font().HeightPixels, before.HeightPixels);
    EXPECT_EQ(pic().Font().Escapement, before.Escapement);
    EXPECT_EQ(PlotFont.lfEscapement, 300);
    EXPECT_EQ(PlotFont.lfQuality, 255);
    EXPECT_EQ(PlotFont.lfFaceName, "Arial");
}

TEST_F(Plot, OnlyModeTwoWritesEntities) {
    DxfFile().Open(DxfPath(), 0, 0);
    DxfMode = 2;
    form_->LINEplot(0, 100, 50, 99.5, 2, 3, 1);
    form_->LINEplot(0, 100, 50, 99.5, 1, 5, 1);        // screen only, whatever DxfMode says
    form_->textplot(1, 2, 4, 3, 90, "S", "  KM", 2, 0);
    form_->textplot(1, 2, 4, 3, 90, "S", "screen", 1, 0);
    EXPECT_EQ(log().size(), 4u);                        // every element is on the screen
    const std::string dxf = ReadDxf();
    EXPECT_EQ(Count(dxf, "LINE\r\n"), 1);
    EXPECT_EQ(Count(dxf, "TEXT\r\n"), 1);
    EXPECT_NE(dxf.find("LINE\r\n 8 \r\n3\r\n 62 \r\n 3\r\n 10 \r\n 0 \r\n 20 \r\n 1000 \r\n"),
              std::string::npos);
    EXPECT_NE(dxf.find("\r\n 1 \r\nKM\r\n"), std::string::npos);
    EXPECT_EQ(dxf.find("screen"), std::string::npos);
}

TEST_F(Plot, AFailedScreenTextIsReportedAndStillWritten) {
    DxfFile().Open(DxfPath(), 0, 0);
    // An angle whose escapement does not fit 32 bits cannot be shown; the
    // failure is reported and the entity is written all the same.
    form_->textplot(1, 2, 3, 3, 3e8, "S", "far", 2, 0);
    // A position that is no number fails both steps; each is reported.
    form_->textplot("abc", 2, 3, 3, 0, "S", "bad", 2, 0);
    const std::string dxf = ReadDxf();
    EXPECT_TRUE(log().empty());
    ASSERT_EQ(dialogs_->Messages().size(), 3u);
    EXPECT_EQ(dialogs_->Messages()[0].prompt, "Overflow");
    EXPECT_EQ(dialogs_->Messages()[1].prompt, "Type mismatch");
    EXPECT_EQ(dialogs_->Messages()[2].prompt, "Type mismatch");
    EXPECT_EQ(dialogs_->Messages()[0].buttons, vb::vbOKOnly);
    EXPECT_NE(dxf.find("\r\nfar\r\n"), std::string::npos);
    EXPECT_EQ(dxf.find("bad"), std::string::npos);
}

TEST_F(Plot, TheFontFieldsAreConvertedInOrderAndANullModeWritesNothing) {
    // The escapement is converted before the height: with both wrong, the
    // failure reported is the escapement's, and the record keeps what came
    // before the failing field.
    PlotFont.lfEscapement = 1;
    PlotFont.lfHeight = 7;
    form_->textplot(1, 2, 3, "abc", 3e8, "S", "x", 1, 0);
    ASSERT_EQ(dialogs_->Messages().size(), 1u);
    EXPECT_EQ(dialogs_->Messages()[0].prompt, "Overflow");
    form_->textplot(1, 2, 3, "abc", 45, "S", "x", 1, 0);
    ASSERT_EQ(dialogs_->Messages().size(), 2u);
    EXPECT_EQ(dialogs_->Messages()[1].prompt, "Type mismatch");
    EXPECT_EQ(PlotFont.lfEscapement, 450);
    EXPECT_EQ(PlotFont.lfHeight, 7);
    EXPECT_TRUE(log().empty());

    // A Null mode is not mode 2: the element is drawn, nothing is written and
    // nothing is reported.
    DxfFile().Open(DxfPath(), 0, 0);
    form_->textplot(1, 2, 3, 3, 0, "S", "nullmode", vb::Variant::Null(), 0);
    form_->LINEplot(0, 0, 1, 1, vb::Variant::Null(), 3, 1);
    EXPECT_EQ(log().size(), 2u);
    EXPECT_EQ(dialogs_->Messages().size(), 2u);
    const std::string dxf = ReadDxf();
    EXPECT_EQ(dxf.find("nullmode"), std::string::npos);
    EXPECT_EQ(Count(dxf, "LINE\r\n"), 0);
}

TEST_F(Plot, CanvasTextIsAlwaysRedWithCharacterHeight) {
    vb::PictureBox& canvas = form_->pic(0);
    canvas.Scale(0, 0, 100, 90);
    canvas.Cls();
    form_->FontStuff0(5, 5, "note", 0, 3, 3);
    form_->FontStuff0(5, 5, "note", 90, 1.5, 7);
    ASSERT_EQ(canvas.DrawLog().size(), 2u);
    EXPECT_EQ(canvas.DrawLog()[0].color, 0x0000FF);
    EXPECT_EQ(canvas.DrawLog()[0].fontHeight, -30);
    EXPECT_EQ(canvas.DrawLog()[1].color, 0x0000FF);
    EXPECT_EQ(canvas.DrawLog()[1].fontHeight, -15);
    EXPECT_NEAR(canvas.DrawLog()[1].angle, 90, 1e-9);
    EXPECT_TRUE(log().empty());   // nothing on the profile picture
}

TEST_F(Plot, MarkLineJoinsTheLastTwoPoints) {
    MarkPointA = {-1, -1};
    MarkPointB = {1, 2};
    MarkPending = true;
    form_->Picture1_MarkLine(1, 0, 10, 20);   // the first point after the mark command
    EXPECT_TRUE(log().empty());
    EXPECT_DOUBLE_EQ(MarkPointA.x, 10);
    EXPECT_DOUBLE_EQ(MarkPointA.y, 20);

    form_->Picture1_MarkLine(1, 0, 30, 40);
    ASSERT_EQ(log().size(), 1u);
    EXPECT_EQ(log()[0].kind, Kind::Line);
    EXPECT_DOUBLE_EQ(log()[0].x1, 10);   // from the first point, not an older one
    EXPECT_DOUBLE_EQ(log()[0].y1, 20);
    EXPECT_DOUBLE_EQ(log()[0].x2, 30);
    EXPECT_DOUBLE_EQ(log()[0].y2, 40);
    EXPECT_EQ(log()[0].color, 0x008000);

    MarkPending = false;
    form_->Picture1_MarkLine(1, 0, 50, 60);
    EXPECT_EQ(log().size(), 1u);
    EXPECT_DOUBLE_EQ(MarkPointA.x, 30);
    EXPECT_DOUBLE_EQ(MarkPointB.y, 60);
}

}  // namespace
