// The drawing view: what it draws of an independent drawing, and the pick
// driven by real mouse and key events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "platform/cad/window/drawing_view.h"

using cad::window::DrawingView;

namespace {

const std::string kData = std::string(SEWER_SOURCE_DIR) + "/tests/data/cad/";

void Mouse(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button) {
    Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent e(type, at, w.mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

void Click(QWidget& w, QPointF at) {
    Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton);
    Mouse(w, QEvent::MouseButtonRelease, at, Qt::LeftButton);
}

void Key(QWidget& w, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

}  // namespace

TEST(DrawingView, ShowsTheDrawingInLayerColoursAndPicks) {
    cad::Document doc = cad::Document::ReadFile(kData + "network_r2000.dxf");
    DrawingView view;
    view.resize(800, 600);
    view.show();
    view.SetDocument(&doc);
    std::vector<std::string> model = doc.ModelSpaceHandles();
    const std::string& pipe = model[0];   // LINE on SEWER, colour 1
    // Every modelled entity is drawn; the pipe in its layer's red.
    bool red = false, blockCircle = false;
    for (const DrawingView::Shape& s : view.Shapes()) {
        if (model[s.entity] == pipe) red = s.rgb == 0xFF0000;
        if (s.kind == DrawingView::Shape::Circle && s.At().x() > 299 && s.At().x() < 301)
            blockCircle = true;   // the block's circle, at the reference's point
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(blockCircle);
    // The whole drawing fits the view.
    QPointF a = view.ToScreen(QPointF(1000, 200)), b = view.ToScreen(QPointF(1160, 230));
    EXPECT_TRUE(view.rect().contains(a.toPoint()) && view.rect().contains(b.toPoint()));

    std::vector<std::string> got{"unset"};
    int calls = 0;
    auto done = [&](std::vector<std::string> h) {
        got = std::move(h);
        ++calls;
    };
    // Click the middle of the first pipe, click empty space, confirm.
    view.BeginPick(done);
    Click(view, (view.ToScreen(QPointF(1025, 200)) + QPointF(0, 2)));
    Click(view, QPointF(5, 5));
    Key(view, Qt::Key_Return);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(got, (std::vector<std::string>{pipe}));
    EXPECT_FALSE(view.Picking());

    // A window around the three pipes picks them and nothing that sticks out;
    // Esc gives an empty pick.
    view.BeginPick(done);
    QPointF from = view.ToScreen(QPointF(990, 240)), to = view.ToScreen(QPointF(1170, 190));
    Mouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton);
    EXPECT_EQ(view.Picked(), (std::vector<std::string>{model[0], model[1], model[2]}));
    Key(view, Qt::Key_Escape);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(got.empty());

    // Changes marked in a burst are read once, when the view is next used:
    // a line added meanwhile is there to be picked.
    const size_t shapes = view.Shapes().size();
    const std::string added = doc.AddLine({1000, 260, 0}, {1160, 260, 0});
    for (int i = 0; i < 3; ++i) view.MarkDirty();
    view.BeginPick(done);
    Click(view, view.ToScreen(QPointF(1080, 260)));
    Key(view, Qt::Key_Return);
    EXPECT_EQ(got, (std::vector<std::string>{added}));
    EXPECT_EQ(view.Shapes().size(), shapes + 1);
    calls = 2;

    // A pick under way ends empty when another drawing replaces this one.
    view.BeginPick(done);
    Click(view, view.ToScreen(QPointF(1025, 200)));
    cad::Document other = cad::Document::New();
    view.SetDocument(&other);
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(got.empty());
}

TEST(DrawingView, SurvivesBlocksThatReferToThemselves) {
    // A block holding a reference to itself is drawn to a bounded depth.
    std::string dxf =
        "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nLOOP\n 10\n0\n 20\n0\n  0\nLINE\n 10\n0\n 20\n0\n 11\n1\n 21\n0\n"
        "  0\nINSERT\n  2\nLOOP\n 10\n1\n 20\n0\n  0\nENDBLK\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  5\nA1\n  2\nLOOP\n 10\n0\n 20\n0\n  0\nENDSEC\n  0\nEOF\n";
    cad::Document doc = cad::Document::Parse(dxf);
    DrawingView view;
    view.resize(400, 300);
    view.SetDocument(&doc);
    EXPECT_EQ(view.Shapes().size(), 8u);   // the block's line at each of eight levels

    // Thirty references to itself at each level would be 30^8 lines: the view
    // stops at its bound instead of hanging.
    std::string fan = "  0\nSECTION\n  2\nBLOCKS\n  0\nBLOCK\n  2\nFAN\n 10\n0\n 20\n0\n"
                      "  0\nLINE\n 10\n0\n 20\n0\n 11\n1\n 21\n0\n";
    for (int i = 0; i < 30; ++i) fan += "  0\nINSERT\n  2\nFAN\n 10\n" + std::to_string(i) + "\n 20\n0\n";
    fan += "  0\nENDBLK\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nINSERT\n  5\nA1\n  2\nFAN\n 10\n0\n 20\n0\n"
           "  0\nENDSEC\n  0\nEOF\n";
    cad::Document bomb = cad::Document::Parse(fan);
    view.SetDocument(&bomb);
    EXPECT_GT(view.Shapes().size(), 1000u);
    EXPECT_LE(view.Shapes().size(), 1000000u);
    // The bound is a million entities of blocks, of which about one in 31 is a line.
    EXPECT_LE(view.Shapes().size(), 1000000u / 30);
}
