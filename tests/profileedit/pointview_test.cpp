// The point view on the plan picture: its drawing, the pick, the drag, the
// release and the typed mark line, on a real main window.
#include "tests/mainwindow/form1_fixture.h"

#include "profile/plot.h"

namespace {

using Kind = vb::DrawEntry::Kind;

class PointViewTest : public Form1Test {
protected:
    void SetUp() override {
        Form1Test::SetUp();
        for (int i = 0; i < 3; ++i) f().Command7_Click();
        ASSERT_EQ(RunCount, 3);
        Place();
    }
    // Puts the run's points at known places (a redraw rewrites x3 with the
    // chainage, so tests that redraw call this again).
    void Place() {
        const float xs[] = {10, 30, 60}, ys[] = {5, 8, 2}, ls[] = {20, 30, 40};
        for (int k = 1; k <= 3; ++k) {
            auto p = f().RunRecord(k);
            p->x3 = xs[k - 1];
            p->y1 = ys[k - 1];
            p->l = ls[k - 1];
        }
    }
    std::vector<vb::DrawEntry> Entries(vb::PictureBox& box, Kind kind, size_t from = 0) {
        std::vector<vb::DrawEntry> out;
        const auto& log = box.DrawLog();
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].kind == kind) out.push_back(log[i]);
        return out;
    }
};

void ExpectLine(const vb::DrawEntry& e, double x1, double y1, double x2, double y2, int32_t colour) {
    EXPECT_DOUBLE_EQ(e.x1, x1);
    EXPECT_DOUBLE_EQ(e.y1, y1);
    EXPECT_DOUBLE_EQ(e.x2, x2);
    EXPECT_DOUBLE_EQ(e.y2, y2);
    EXPECT_EQ(e.color, colour);
}

}  // namespace

TEST_F(PointViewTest, PointsLabelsAndLinesInBothModes) {
    const int32_t green = vb::QBColor(2), magenta = vb::QBColor(5);
    f().Picture2.Cls();
    f().Picture1.Cls();
    f().pic2draw();

    // Points at (x3 + running length, 50 - y1), labels on the profile picture.
    auto points = Entries(f().Picture2, Kind::PSet);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[0].x1, 10);
    EXPECT_DOUBLE_EQ(points[0].y1, 45);
    EXPECT_DOUBLE_EQ(points[1].x1, 50);
    EXPECT_DOUBLE_EQ(points[2].x1, 110);
    EXPECT_DOUBLE_EQ(points[2].y1, 48);
    EXPECT_EQ(points[0].drawWidth, 2);
    auto labels = Entries(f().Picture1, Kind::Text);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[1].text, "30");
    EXPECT_DOUBLE_EQ(labels[1].angle, 30);
    EXPECT_TRUE(Entries(f().Picture2, Kind::Text).empty());

    auto lines = Entries(f().Picture2, Kind::Line);
    // Three magenta lines from the last pick's y, then two green joins.
    ASSERT_EQ(lines.size(), 5u);
    ExpectLine(lines[0], 10, 0, 30, 5, magenta);
    ExpectLine(lines[2], 110, 0, 150, 2, magenta);
    ExpectLine(lines[3], 10, 45, 30, 42, green);
    ExpectLine(lines[4], 40, 42, 70, 48, green);
    EXPECT_EQ(lines[3].drawWidth, 1);
    // The origin the next profile redraw uses, and the profile's new scale.
    EXPECT_FLOAT_EQ(ProfileOffsetX, 40);
    EXPECT_FLOAT_EQ(ProfileOffsetY, 50);
    EXPECT_DOUBLE_EQ(f().Picture1.ScaleWidth(), 16);
    EXPECT_DOUBLE_EQ(f().Picture1.ScaleHeight(), 15);

    // "Only vertical moves": green steps of x3 along y 50 instead of points.
    f().Check2.Value(1);
    f().Picture2.Cls();
    f().pic2draw();
    EXPECT_TRUE(Entries(f().Picture2, Kind::PSet).empty());
    lines = Entries(f().Picture2, Kind::Line);
    ASSERT_EQ(lines.size(), 5u);
    ExpectLine(lines[0], 0, 50, 10, 50, green);
    ExpectLine(lines[1], 10, 50, 40, 50, green);
    ExpectLine(lines[2], 40, 50, 100, 50, green);
    ExpectLine(lines[4], 40, 42, 70, 48, green);
}

TEST_F(PointViewTest, PressPicksTheNearestPointWithTiesToTheLowerPosition) {
    // (20, 6.5) lies as far from point 1 (10, 5) as from point 2 (30, 8).
    f().Picture2.Cls();
    f().Picture2_MouseDown(vb::vbRightButton, 0, 20, 6.5f);
    EXPECT_EQ(f().PointPickIndex, 1);
    EXPECT_DOUBLE_EQ(f().PointPickX, 10);
    EXPECT_DOUBLE_EQ(f().PointPickY, 5);
    ASSERT_GE(f().PointDistances.size(), 4u);
    EXPECT_DOUBLE_EQ(f().PointDistances[1], f().PointDistances[2]);
    // Only the downstream guide for the first point, dotted green.
    auto lines = Entries(f().Picture2, Kind::Line);
    ASSERT_FALSE(lines.empty());
    ExpectLine(lines[0], 10, 5, 30, 8, vb::QBColor(2));
    EXPECT_EQ(lines[0].drawStyle, vb::vbDot);

    f().Picture2.Cls();
    f().Picture2_MouseDown(vb::vbLeftButton, 0, 58, 3);
    EXPECT_EQ(f().PointPickIndex, 3);
    lines = Entries(f().Picture2, Kind::Line);
    ExpectLine(lines[0], 60, 2, 30, 8, vb::QBColor(0));   // the upstream guide, black
}

TEST_F(PointViewTest, DragAndReleaseMoveThePressedPipeOnly) {
    auto second = f().RunRecord(2);
    auto third = f().RunRecord(3);
    const float thirdY = third->y1;

    // A drag before any press, and a right-button drag, do nothing.
    const size_t before = f().Picture2.DrawLog().size();
    f().Picture2_MouseMove(vb::vbLeftButton, 0, 31, 9);
    f().Picture2_MouseDown(vb::vbRightButton, 0, 31, 9);
    const size_t afterPress = f().Picture2.DrawLog().size();
    EXPECT_GT(afterPress, before);
    f().Picture2_MouseMove(vb::vbRightButton, 0, 40, 12);
    EXPECT_EQ(f().Picture2.DrawLog().size(), afterPress);
    EXPECT_EQ(f().Label2.Caption(), "Flow(l/s)");

    // A left drag redraws and shows the pointer.
    Place();
    f().Picture2_MouseMove(vb::vbLeftButton, 0, 12.5f, -3);
    EXPECT_EQ(f().Label2.Caption(), "[ 12.5]  [-3]");
    auto big = Entries(f().Picture2, Kind::PSet);
    ASSERT_FALSE(big.empty());
    EXPECT_EQ(big.back().drawWidth, 5);
    EXPECT_DOUBLE_EQ(big.back().y1, -3);

    // Release far from the second point, nearer the third once the drawing's
    // origin is taken off: the pressed pipe still takes the move.
    Place();
    f().Picture2_MouseUp(vb::vbRightButton, 0, 100, 52);
    EXPECT_FLOAT_EQ(second->y1, 52);
    EXPECT_FLOAT_EQ(third->y1, thirdY);
    // The release redraws the profile and the point view.
    EXPECT_FLOAT_EQ(ProfileOffsetY, 50);
    EXPECT_FALSE(Entries(f().Picture2, Kind::PSet).empty());

    // A second release without a press writes nothing.
    f().Picture2_MouseUp(vb::vbLeftButton, 0, 7, 7);
    EXPECT_FLOAT_EQ(second->y1, 52);
}

TEST_F(PointViewTest, EmptyRunAndNoNetworkDoNothing) {
    f().Picture2_MouseDown(vb::vbLeftButton, 0, 30, 8);
    const int32_t picked = f().PointPickIndex;
    auto second = f().RunRecord(2);
    RunCount = 0;
    f().Picture2.Cls();
    f().Picture2_MouseDown(vb::vbLeftButton, 0, 10, 5);
    f().Picture2_MouseMove(vb::vbLeftButton, 0, 10, 5);
    EXPECT_TRUE(f().Picture2.DrawLog().empty());
    EXPECT_EQ(f().PointPickIndex, picked);
    RunCount = 3;

    auto network = f().myCol;
    f().myCol.reset();
    f().Picture2_MouseUp(vb::vbLeftButton, 0, 1, 99);
    f().myCol = network;
    EXPECT_NE(second->y1, 99);
}

TEST_F(PointViewTest, DigitsAndEnterAdvanceTheMarkLine) {
    f().Text1.Text("");
    MarkPointB = {5, 7};
    MarkPending = true;
    for (int key : {int('1'), int('x'), int('2')}) f().Picture2_KeyPress(key);
    EXPECT_EQ(f().Text1.Text(), "12");
    f().Picture2.Cls();
    for (int i = 0; i < 2; ++i) {
        int enter = vb::vbKeyReturn;
        f().Picture2_KeyPress(enter);
    }
    EXPECT_DOUBLE_EQ(MarkPointB.x, 29);
    EXPECT_DOUBLE_EQ(MarkPointA.x, 17);
    auto lines = Entries(f().Picture2, Kind::Line);
    ASSERT_EQ(lines.size(), 2u);
    ExpectLine(lines[1], 17, 7, 29, 7, vb::QBColor(2));

    // The window's initial text has no number: Enter only copies B into A.
    f().Text1.Text("Text1");
    int three = '3';
    f().Picture2_KeyPress(three);
    EXPECT_EQ(f().Text1.Text(), "Text13");
    int enter = vb::vbKeyReturn;
    f().Picture2_KeyPress(enter);
    EXPECT_DOUBLE_EQ(MarkPointB.x, 29);
    EXPECT_DOUBLE_EQ(MarkPointA.x, 29);
    MarkPending = false;
}
