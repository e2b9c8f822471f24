// The drawing view: what it draws of an independent drawing, and the pick
// driven by real mouse and key events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QImage>
#include <QMouseEvent>
#include <cmath>

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

namespace {

// Whether a pixel within two of the point has nearly the colour.
bool DrawnNear(const QImage& img, QPointF at, QRgb rgb) {
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy) {
            const QPoint p = at.toPoint() + QPoint(dx, dy);
            if (!img.rect().contains(p)) continue;
            const QRgb c = img.pixel(p);
            if (std::abs(qRed(c) - qRed(rgb)) < 90 && std::abs(qGreen(c) - qGreen(rgb)) < 90 && std::abs(qBlue(c) - qBlue(rgb)) < 90)
                return true;
        }
    return false;
}

}  // namespace

TEST(DrawingView, KeepsCirclesAndArcsAsCentreRadiusAndAngles) {
    // Layer MH is green, PIPE red; the block's arc is blue, a quarter from 0
    // to 90 degrees of radius 10 about the block's base point.
    const std::string dxf =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n"
        "  0\nLAYER\n  2\nMH\n 70\n0\n 62\n3\n  0\nLAYER\n  2\nPIPE\n 70\n0\n 62\n1\n  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nBLOCKS\n"
        "  0\nBLOCK\n  2\nQ\n 10\n0\n 20\n0\n  0\nARC\n  8\n0\n 62\n5\n 10\n0\n 20\n0\n 40\n10\n 50\n0\n 51\n90\n  0\nENDBLK\n"
        "  0\nBLOCK\n  2\nC\n 10\n0\n 20\n0\n  0\nCIRCLE\n  8\n0\n 10\n0\n 20\n0\n 40\n10\n  0\nENDBLK\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n"
        "  0\nCIRCLE\n  8\nMH\n 10\n100\n 20\n100\n 40\n10\n"
        "  0\nARC\n  8\nPIPE\n 10\n200\n 20\n100\n 40\n20\n 50\n0\n 51\n90\n"
        "  0\nARC\n  8\nPIPE\n 10\n200\n 20\n150\n 40\n20\n 50\n350\n 51\n10\n"
        "  0\nINSERT\n  8\n0\n  2\nQ\n 10\n300\n 20\n100\n 50\n90\n"              // turned a quarter
        "  0\nINSERT\n  8\n0\n  2\nQ\n 10\n350\n 20\n100\n 41\n-1\n"              // mirrored
        "  0\nINSERT\n  8\n0\n  2\nC\n 10\n400\n 20\n100\n 41\n2\n 42\n1\n"       // stretched
        "  0\nARC\n  8\n0\n 10\n100\n 20\n150\n 40\n10\n 50\n1e300\n 51\n45\n"   // angle far beyond 360
        "  0\nENDSEC\n  0\nEOF\n";
    cad::Document doc = cad::Document::Parse(dxf);
    DrawingView view;
    view.resize(800, 600);
    view.show();
    view.SetDocument(&doc);
    const std::vector<DrawingView::Shape>& shapes = view.Shapes();
    ASSERT_EQ(shapes.size(), 7u);
    using S = DrawingView::Shape;
    auto box = [&](size_t i) { return view.Bounds(shapes[i]); };
    auto near = [](QRectF a, QRectF b) {
        return std::abs(a.left() - b.left()) < 1e-9 && std::abs(a.right() - b.right()) < 1e-9 &&
               std::abs(a.top() - b.top()) < 1e-9 && std::abs(a.bottom() - b.bottom()) < 1e-9;
    };
    // The circle: its centre and radius, in its layer's colour.
    EXPECT_EQ(shapes[0].kind, S::Circle);
    EXPECT_EQ(shapes[0].At(), QPointF(100, 100));
    EXPECT_EQ(shapes[0].Radius(), 10);
    EXPECT_EQ(shapes[0].rgb, 0x00FF00u);
    EXPECT_TRUE(near(box(0), QRectF(90, 90, 20, 20)));
    // The quarter arc covers its quarter, not the whole circle.
    EXPECT_EQ(shapes[1].kind, S::Arc);
    EXPECT_EQ(shapes[1].rgb, 0xFF0000u);
    EXPECT_EQ(shapes[1].StartAngle(), 0);
    EXPECT_EQ(shapes[1].EndAngle(), 90);
    EXPECT_TRUE(near(box(1), QRectF(200, 100, 20, 20)));
    // An arc across 0 degrees runs from 350 to 370 and reaches the circle's right.
    EXPECT_EQ(shapes[2].StartAngle(), 350);
    EXPECT_EQ(shapes[2].EndAngle(), 370);
    EXPECT_DOUBLE_EQ(box(2).right(), 220);
    EXPECT_NEAR(box(2).top(), 150 - 20 * std::sin(10 * M_PI / 180), 1e-9);
    EXPECT_NEAR(box(2).left(), 200 + 20 * std::cos(10 * M_PI / 180), 1e-9);
    // The block's arc turned a quarter, and mirrored: both run from 90 to
    // 180 degrees, about the references' points, in the arc's own blue.
    for (size_t i : {3u, 4u}) {
        const double x = i == 3 ? 300 : 350;
        EXPECT_EQ(shapes[i].kind, S::Arc);
        EXPECT_EQ(shapes[i].rgb, 0x0000FFu);
        EXPECT_NEAR(shapes[i].At().x(), x, 1e-9);
        EXPECT_NEAR(shapes[i].StartAngle(), 90, 1e-9);
        EXPECT_NEAR(shapes[i].EndAngle(), 180, 1e-9);
        EXPECT_TRUE(near(box(i), QRectF(x - 10, 100, 10, 10))) << i;
    }
    // Stretched twice as wide: an ellipse, as its points.
    ASSERT_EQ(shapes[5].kind, S::Polyline);
    const std::vector<QPointF> ellipse = view.Vertices(shapes[5]);
    EXPECT_EQ(ellipse.size(), 73u);
    for (QPointF p : ellipse) EXPECT_NEAR(std::pow((p.x() - 400) / 20, 2) + std::pow((p.y() - 100) / 10, 2), 1, 1e-9);
    // An angle of 1e300 degrees is some angle below 360.
    EXPECT_EQ(shapes[6].kind, S::Arc);
    EXPECT_TRUE(shapes[6].StartAngle() >= 0 && shapes[6].StartAngle() < 360);
    EXPECT_TRUE(shapes[6].EndAngle() > shapes[6].StartAngle() && shapes[6].EndAngle() <= shapes[6].StartAngle() + 360);
    // The drawing's box runs from the circle's left to the ellipse's right.
    EXPECT_DOUBLE_EQ(view.Extents().left(), 90);
    EXPECT_DOUBLE_EQ(view.Extents().right(), 420);
    EXPECT_DOUBLE_EQ(view.Extents().top(), 90);

    // Drawn where they are: on the arc at 45 degrees in red, nothing where
    // the rest of its circle would be; the turned block arc at 135 degrees.
    auto on = [](QPointF c, double r, double deg) { return c + r * QPointF(std::cos(deg * M_PI / 180), std::sin(deg * M_PI / 180)); };
    const QImage img = view.grab().toImage();
    const QRgb background = img.pixel(2, 2);
    EXPECT_TRUE(DrawnNear(img, view.ToScreen(on({100, 100}, 10, 200)), qRgb(0, 255, 0)));
    EXPECT_TRUE(DrawnNear(img, view.ToScreen(on({200, 100}, 20, 45)), qRgb(255, 0, 0)));
    for (double deg : {135.0, 225.0, 315.0})
        EXPECT_TRUE(DrawnNear(img, view.ToScreen(on({200, 100}, 20, deg)), background)) << deg;
    EXPECT_FALSE(DrawnNear(img, view.ToScreen(on({200, 100}, 20, 225)), qRgb(255, 0, 0)));
    EXPECT_TRUE(DrawnNear(img, view.ToScreen(on({300, 100}, 10, 135)), qRgb(0, 0, 255)));
    EXPECT_FALSE(DrawnNear(img, view.ToScreen(on({300, 100}, 10, 315)), qRgb(0, 0, 255)));
    EXPECT_TRUE(DrawnNear(img, view.ToScreen(on({350, 100}, 10, 150)), qRgb(0, 0, 255)));

    // Picked on the curve, not where the rest of the arc's circle would be,
    // nor in a circle's middle.
    const std::vector<std::string> model = doc.ModelSpaceHandles();
    std::vector<std::string> got;
    auto pick = [&](QPointF world) {
        view.BeginPick([&](std::vector<std::string> h) { got = std::move(h); });
        Click(view, view.ToScreen(world));
        Key(view, Qt::Key_Return);
        return got;
    };
    EXPECT_EQ(pick(on({200, 100}, 20, 60)), (std::vector<std::string>{model[1]}));
    EXPECT_EQ(pick(on({200, 100}, 21, 30)), (std::vector<std::string>{model[1]}));
    EXPECT_TRUE(pick(on({200, 100}, 24, 30)).empty());   // some nine pixels off
    EXPECT_TRUE(pick(on({200, 100}, 20, 250)).empty());
    EXPECT_EQ(pick(on({100, 100}, 10, 300)), (std::vector<std::string>{model[0]}));
    EXPECT_TRUE(pick({100, 100}).empty());
    EXPECT_EQ(pick(on({300, 100}, 10, 100)), (std::vector<std::string>{model[3]}));
    EXPECT_TRUE(pick(on({300, 100}, 10, 280)).empty());
    // A window around the quarter arc's own box picks it.
    view.BeginPick([&](std::vector<std::string> h) { got = std::move(h); });
    const QPointF from = view.ToScreen({198, 123}), to = view.ToScreen({223, 98});
    Mouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(view, QEvent::MouseMove, to, Qt::LeftButton);
    Mouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton);
    Key(view, Qt::Key_Return);
    EXPECT_EQ(got, (std::vector<std::string>{model[1]}));
}

namespace {

using Shape = DrawingView::Shape;

std::string Num(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

std::string ArcText(double x, double y, double r, double a0, double a1) {
    return "  0\nARC\n 10\n" + Num(x) + "\n 20\n" + Num(y) + "\n 40\n" + Num(r) + "\n 50\n" + Num(a0) + "\n 51\n" + Num(a1) + "\n";
}

std::string CircleText(double x, double y, double r) {
    return "  0\nCIRCLE\n 10\n" + Num(x) + "\n 20\n" + Num(y) + "\n 40\n" + Num(r) + "\n";
}

std::string InsertText(const std::string& block, double x, double y, double rot, double sx, double sy) {
    return "  0\nINSERT\n  2\n" + block + "\n 10\n" + Num(x) + "\n 20\n" + Num(y) + "\n 41\n" + Num(sx) + "\n 42\n" + Num(sy) +
           "\n 50\n" + Num(rot) + "\n";
}

std::string BlockText(const std::string& name, const std::string& entities) {
    return "  0\nBLOCK\n  2\n" + name + "\n 10\n0\n 20\n0\n" + entities + "  0\nENDBLK\n";
}

std::string DrawingText(const std::string& blocks, const std::string& entities) {
    return "  0\nSECTION\n  2\nBLOCKS\n" + blocks + "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n" + entities + "  0\nENDSEC\n  0\nEOF\n";
}

double Rad(double deg) { return deg * M_PI / 180; }

QPointF OnCircle(QPointF c, double r, double deg) { return c + r * QPointF(std::cos(Rad(deg)), std::sin(Rad(deg))); }

// The box of a curve, from many points along it: at(t) for t in [0, 1].
QRectF SampledBox(const std::function<QPointF(double)>& at) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (int i = 0; i <= 20000; ++i) {
        const QPointF p = at(i / 20000.0);
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    return QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

bool Near(QPointF a, QPointF b, double tol) { return std::abs(a.x() - b.x()) <= tol && std::abs(a.y() - b.y()) <= tol; }

bool Near(const QRectF& a, const QRectF& b, double tol) {
    return Near(a.topLeft(), b.topLeft(), tol) && Near(a.bottomRight(), b.bottomRight(), tol);
}

std::string Show(const QRectF& r) {
    return "(" + Num(r.left()) + ", " + Num(r.top()) + ") - (" + Num(r.right()) + ", " + Num(r.bottom()) + ")";
}

}  // namespace

TEST(DrawingView, ArcAnglesAndBoxesHoldAtTheirEdges) {
    // Every pair of these as an arc's start and end angle: the axes' angles
    // (where the box takes in the point on the axis), 0 and 360, negative
    // angles, angles beyond 360 and a hair either side of 0 and 360.
    const std::vector<double> angles = {-450, -90, -1e-14, 0, 1e-14, 45, 90, 100, 170, 180, 270, 315, 350, 359.99999999999, 360, 405, 765};
    const std::vector<std::pair<double, double>> huge = {{1e300, 45}, {-1e300, 1e300}, {45, -1e300}, {1.7976931348623157e308, -1.7976931348623157e308}};
    const QPointF c(100, 200);
    const double r = 10;
    std::string entities;
    for (double a0 : angles)
        for (double a1 : angles) entities += ArcText(c.x(), c.y(), r, a0, a1);
    for (auto [a0, a1] : huge) entities += ArcText(c.x(), c.y(), r, a0, a1);
    cad::Document doc = cad::Document::Parse(DrawingText("", entities));
    DrawingView view;
    view.resize(400, 300);
    view.SetDocument(&doc);
    const std::vector<Shape>& shapes = view.Shapes();
    ASSERT_EQ(shapes.size(), angles.size() * angles.size() + huge.size());
    size_t i = 0;
    for (double a0 : angles)
        for (double a1 : angles) {
            const Shape& s = shapes[i++];
            SCOPED_TRACE(Num(a0) + " to " + Num(a1));
            ASSERT_EQ(s.kind, Shape::Arc);
            EXPECT_TRUE(s.StartAngle() >= 0 && s.StartAngle() < 360) << Num(s.StartAngle());
            // Counter-clockwise from start to end, each angle first taken
            // below 360 (exactly); equal angles are the whole circle.
            const double d = std::fmod(a1, 360) - std::fmod(a0, 360);
            double sweep = d - 360 * std::floor(d / 360);
            if (sweep == 0) sweep = 360;
            EXPECT_NEAR(s.EndAngle() - s.StartAngle(), sweep, 1e-9);
            EXPECT_NEAR(std::cos(Rad(s.StartAngle())), std::cos(Rad(a0)), 1e-12);
            EXPECT_NEAR(std::sin(Rad(s.StartAngle())), std::sin(Rad(a0)), 1e-12);
            const QRectF want = SampledBox([&](double t) { return OnCircle(c, r, a0 + sweep * t); });
            EXPECT_TRUE(Near(view.Bounds(s), want, 1e-6)) << Show(view.Bounds(s)) << " for " << Show(want);
        }
    // Angles far beyond 360 come to some angle below it, and the box is that arc's.
    for (auto [a0, a1] : huge) {
        const Shape& s = shapes[i++];
        SCOPED_TRACE(Num(a0) + " to " + Num(a1));
        EXPECT_TRUE(s.StartAngle() >= 0 && s.StartAngle() < 360) << Num(s.StartAngle());
        EXPECT_TRUE(s.EndAngle() > s.StartAngle() && s.EndAngle() <= s.StartAngle() + 360) << Num(s.EndAngle());
        const QRectF want = SampledBox([&](double t) { return OnCircle(c, r, s.StartAngle() + (s.EndAngle() - s.StartAngle()) * t); });
        EXPECT_TRUE(Near(view.Bounds(s), want, 1e-6)) << Show(view.Bounds(s)) << " for " << Show(want);
    }
}

TEST(DrawingView, BlocksTurnMirrorAndStretchArcsAsTheirPointsDo) {
    // One curve per block, centred off the block's base point: a quarter
    // from 10 to 100 degrees, a short arc of 10 degrees, a hair of an arc
    // and a circle; the same four turned 45 degrees inside a block of their own.
    struct Curve {
        std::string block;
        double a0, sweep;   // a circle: 0 and 360
    };
    const std::vector<Curve> curves = {{"A", 10, 90}, {"S", 30, 10}, {"H", 0, 1e-14}, {"C", 0, 360}};
    const QPointF centre(5, 0);
    const double r = 10;
    std::string blocks;
    for (const Curve& c : curves) {
        blocks += BlockText(c.block, c.sweep == 360 ? CircleText(centre.x(), centre.y(), r)
                                                    : ArcText(centre.x(), centre.y(), r, c.a0, c.a0 + c.sweep));
        blocks += BlockText(c.block + "45", InsertText(c.block, 0, 0, 45, 1, 1));
    }
    // Where each reference puts a block's point p: turned by rot after
    // scaling by sx and sy, then moved to (x, y).
    struct Placement {
        double x, y, rot, sx, sy;
        bool compact;        // still a circle: kept as centre, radius and angles
        bool turned45 = false;   // of the blocks turned 45 degrees inside
        QPointF Map(QPointF p) const {
            if (turned45) p = QPointF(p.x() * std::cos(Rad(45)) - p.y() * std::sin(Rad(45)), p.x() * std::sin(Rad(45)) + p.y() * std::cos(Rad(45)));
            const QPointF q(p.x() * sx, p.y() * sy);
            return QPointF(x + q.x() * std::cos(Rad(rot)) - q.y() * std::sin(Rad(rot)), y + q.x() * std::sin(Rad(rot)) + q.y() * std::cos(Rad(rot)));
        }
    };
    const std::vector<Placement> placements = {
        {1000, 0, 0, 1, 1, true}, {1100, 50, 30, 1, 1, true}, {1200, 0, 90, 1, 1, true}, {1300, 0, 180, 1, 1, true},
        {1400, 0, -45, 2, 2, true}, {1500, 0, 300, 1, 1, true},
        // Mirrors: across either axis, and both (a half turn, no mirror).
        {1600, 0, 0, -1, 1, true}, {1700, 0, 0, 1, -1, true}, {1800, 0, 0, -1, -1, true}, {1900, 0, 30, -2, 2, true},
        {2000, 0, 120, 3, -3, true},
        // Scales that differ by less than a part in 10^12 keep circles; by
        // more, they stretch them into ellipses, kept as their points.
        {2100, 0, 0, 1, 1 + 1e-13, true}, {2200, 0, 0, 1000, 1000 * (1 + 1e-13), true}, {2300, 0, 0, 1, 1 + 1e-11, false},
        {2400, 0, 0, 1000, 1000 * (1 + 1e-11), false}, {2500, 0, 0, 2, 1, false}, {2600, 0, 200, -1, 3, false},
        // A block scaled to nothing: its points, all at the reference's point.
        {2700, 0, 0, 0, 0, false},
        // Turned 45 degrees and then stretched: the scales of the two axes
        // stay equal but the axes are no longer square to each other.
        {3000, 0, 0, 1 + 1e-13, 1, true, true}, {3100, 0, 0, 1 + 1e-11, 1, false, true}, {3200, 0, 0, 2, 1, false, true},
    };
    std::string entities;
    for (const Placement& p : placements)
        for (const Curve& c : curves) entities += InsertText(c.block + (p.turned45 ? "45" : ""), p.x, p.y, p.rot, p.sx, p.sy);
    cad::Document doc = cad::Document::Parse(DrawingText(blocks, entities));
    DrawingView view;
    view.resize(400, 300);
    view.SetDocument(&doc);
    const std::vector<Shape>& shapes = view.Shapes();
    ASSERT_EQ(shapes.size(), placements.size() * curves.size());
    for (size_t i = 0; i < shapes.size(); ++i) {
        const Shape& s = shapes[i];
        const Placement& p = placements[i / curves.size()];
        const Curve& c = curves[i % curves.size()];
        SCOPED_TRACE("block " + c.block + " at x " + Num(p.x));
        ASSERT_EQ(s.entity, i);
        auto original = [&](double t) { return p.Map(OnCircle(centre, r, c.a0 + c.sweep * t)); };
        if (!p.compact) {
            // One segment per five degrees, eight at least, through the
            // mapped points of the curve.
            ASSERT_EQ(s.kind, Shape::Polyline);
            const std::vector<QPointF> v = view.Vertices(s);
            const size_t n = std::max<size_t>(8, static_cast<size_t>(c.sweep / 5));
            ASSERT_EQ(v.size(), n + 1);
            for (size_t k = 0; k <= n; ++k) EXPECT_TRUE(Near(v[k], original(double(k) / n), 1e-9)) << k;
            continue;
        }
        ASSERT_EQ(s.kind, c.sweep == 360 ? Shape::Circle : Shape::Arc);
        const double scale = std::hypot(p.sx, 0.0);
        EXPECT_TRUE(Near(s.At(), p.Map(centre), 1e-9));
        EXPECT_NEAR(s.Radius(), r * scale, 1e-9);
        EXPECT_TRUE(s.StartAngle() >= 0 && s.StartAngle() < 360) << Num(s.StartAngle());
        EXPECT_NEAR(s.EndAngle() - s.StartAngle(), c.sweep, 1e-9);
        if (s.kind == Shape::Circle) EXPECT_EQ(s.StartAngle(), 0);   // however turned
        if (s.kind == Shape::Arc) {
            // The arc is as long, and its ends are where the block's ends go;
            // a mirror runs it the other way round, so its ends trade places.
            const bool mirrored = p.sx * p.sy < 0;
            EXPECT_TRUE(Near(OnCircle(s.At(), s.Radius(), s.StartAngle()), original(mirrored ? 1 : 0), 1e-6));
            EXPECT_TRUE(Near(OnCircle(s.At(), s.Radius(), s.EndAngle()), original(mirrored ? 0 : 1), 1e-6));
        }
        EXPECT_TRUE(Near(view.Bounds(s), SampledBox(original), 1e-6 * scale)) << Show(view.Bounds(s));
    }
}

TEST(DrawingView, WhatCannotBeDrawnIsLeftOutAndTheWholeDrawingFits) {
    // A block whose every entity lies ten units or more out along x: at a
    // scale of 1e308 all of it is beyond the largest number.
    const std::string big =
        BlockText("BIG", "  0\nLINE\n 10\n10\n 20\n0\n 11\n20\n 21\n0\n  0\nPOINT\n 10\n10\n 20\n0\n"
                         "  0\nTEXT\n 10\n10\n 20\n0\n 40\n1\n  1\nT\n  0\nLWPOLYLINE\n 90\n2\n 10\n10\n 20\n0\n 10\n20\n 20\n0\n" +
                             CircleText(20, 0, 1) + ArcText(20, 0, 1, 0, 90));
    // A circle that a scale of 1e-300 shrinks to a radius of nothing; a text
    // whose height and angle a block scales and turns.
    const std::string small = BlockText("TINY", CircleText(0, 0, 1e-300)) + BlockText("NONE", CircleText(1, 1, 0) + ArcText(1, 1, -5, 0, 90));
    const std::string text = BlockText("TXT", "  0\nTEXT\n 10\n0\n 20\n0\n 40\n2.5\n 50\n10\n  1\nlabel\n");
    const std::string entities =
        // Left out: no radius, a radius below 0, no height, no vertices.
        CircleText(0, 0, 0) + CircleText(0, 0, -5) + ArcText(0, 0, 0, 0, 90) + "  0\nTEXT\n 10\n0\n 20\n0\n 40\n0\n  1\nT\n" +
        "  0\nTEXT\n 10\n0\n 20\n0\n 40\n-2\n  1\nT\n  0\nLWPOLYLINE\n 90\n0\n 70\n1\n  0\nPOLYLINE\n 66\n1\n 70\n1\n  0\nSEQEND\n" +
        InsertText("BIG", 0, 0, 0, 1e308, 1e308) + InsertText("BIG", 0, 0, 0, 1e308, 1) + InsertText("TINY", 0, 0, 0, 1e-300, 1e-300) +
        InsertText("NONE", 0, 0, 0, 2, 1) +   // curves of no radius, stretched
        // Drawn: a line drawn from its right end, closed polylines of two
        // and three vertices, one of one vertex, a text in a block, an open
        // polyline from the drawing's left edge, and two points beyond
        // everything else.
        "  0\nLINE\n 10\n10\n 20\n20\n 11\n0\n 21\n0\n" +
        "  0\nLWPOLYLINE\n 90\n2\n 70\n1\n 10\n0\n 20\n0\n 10\n5\n 20\n5\n" +
        "  0\nLWPOLYLINE\n 90\n3\n 70\n1\n 10\n0\n 20\n0\n 10\n5\n 20\n0\n 10\n5\n 20\n5\n" +
        "  0\nLWPOLYLINE\n 90\n1\n 10\n7\n 20\n7\n" + InsertText("TXT", 20, 20, 30, 2, 2) +
        "  0\nLWPOLYLINE\n 90\n2\n 10\n-60\n 20\n0\n 10\n0\n 20\n0\n  0\nPOINT\n 10\n-50\n 20\n-40\n  0\nPOINT\n 10\n60\n 20\n70\n";
    cad::Document doc = cad::Document::Parse(DrawingText(big + small + text, entities));
    DrawingView view;
    view.resize(400, 300);
    view.SetDocument(&doc);
    const std::vector<Shape>& shapes = view.Shapes();
    ASSERT_EQ(shapes.size(), 8u);
    const size_t firstDrawn = 11;   // the entity of the reversed line
    for (size_t i = 0; i < shapes.size(); ++i) EXPECT_EQ(shapes[i].entity, firstDrawn + i);
    EXPECT_EQ(shapes[0].kind, Shape::Line);
    EXPECT_EQ(view.Bounds(shapes[0]), QRectF(0, 0, 10, 20));
    // Closed: with three vertices and more, back to the first.
    EXPECT_EQ(view.Vertices(shapes[1]), (std::vector<QPointF>{{0, 0}, {5, 5}}));
    EXPECT_EQ(view.Vertices(shapes[2]), (std::vector<QPointF>{{0, 0}, {5, 0}, {5, 5}, {0, 0}}));
    EXPECT_EQ(view.Vertices(shapes[3]), (std::vector<QPointF>{{7, 7}}));
    ASSERT_EQ(shapes[4].kind, Shape::Text);
    EXPECT_EQ(view.TextOf(shapes[4]), QStringLiteral("label"));
    EXPECT_DOUBLE_EQ(shapes[4].v[2], 5);    // height 2.5, scaled twice
    EXPECT_NEAR(shapes[4].v[3], 40, 1e-9);  // 10 degrees, turned 30 more
    // Its box: as high as the text, seven tenths of that a character wide.
    EXPECT_TRUE(Near(view.Bounds(shapes[4]), QRectF(20, 20, 5 * 5 * 0.7, 5), 1e-9)) << Show(view.Bounds(shapes[4]));
    EXPECT_EQ(view.Bounds(shapes[5]), QRectF(-60, 0, 60, 0));
    EXPECT_EQ(shapes[6].kind, Shape::Point);
    EXPECT_EQ(shapes[7].At(), QPointF(60, 70));

    // The whole drawing runs from the polyline's start and the lower point
    // to the upper point, and fits the view.
    EXPECT_EQ(view.Extents(), QRectF(QPointF(-60, -40), QPointF(60, 70)));
    for (QPointF p : {QPointF(-60, 0), QPointF(-50, -40), QPointF(60, 70)}) EXPECT_TRUE(QRectF(view.rect()).contains(view.ToScreen(p)));

    // A multiline text: its chunks in their order, the last in group 1,
    // its paragraph breaks as blanks.
    cad::Document mtext = cad::Document::Parse(
        DrawingText("", "  0\nMTEXT\n 10\n0\n 20\n0\n 40\n1\n  3\nfirst \n  3\nsecond\\P\n  3\nthird \n  1\nlast\n"));
    view.SetDocument(&mtext);
    ASSERT_EQ(view.Shapes().size(), 1u);
    EXPECT_EQ(view.TextOf(view.Shapes()[0]), QStringLiteral("first second third last"));

    // A drawing of one point is shown about it, with what lies near it.
    cad::Document point = cad::Document::Parse(DrawingText("", "  0\nPOINT\n 10\n1000\n 20\n2000\n"));
    view.SetDocument(&point);
    EXPECT_EQ(view.Extents(), QRectF(1000, 2000, 0, 0));
    EXPECT_EQ(view.ToScreen({1000, 2000}), QPointF(200, 150));
    EXPECT_TRUE(QRectF(view.rect()).contains(view.ToScreen({1020, 2020})));

    // A drawing of one level line: its whole length.
    cad::Document flat = cad::Document::Parse(DrawingText("", "  0\nLINE\n 10\n0\n 20\n0\n 11\n1000\n 21\n0\n"));
    view.SetDocument(&flat);
    for (QPointF p : {QPointF(0, 0), QPointF(1000, 0)}) EXPECT_TRUE(QRectF(view.rect()).contains(view.ToScreen(p)));
    // An empty drawing has no box; given its first entity, of one vertex,
    // it is shown about it.
    cad::Document empty = cad::Document::New();
    view.SetDocument(&empty);
    EXPECT_TRUE(view.Extents().isNull());
    empty.AddLwPolyline({{-300, 400}});
    view.MarkDirty();
    EXPECT_EQ(view.Extents(), QRectF(-300, 400, 0, 0));
    EXPECT_EQ(view.ToScreen({-300, 400}), QPointF(200, 150));
}

TEST(DrawingView, ArcsArePickedUpToTheirEndsAndNoFurther) {
    const std::string entities = ArcText(0, 0, 100, 0, 90) + ArcText(300, 0, 100, 350, 10) +
                                 InsertText("C", 150, -150, 0, 0, 0) +   // a block scaled to nothing
                                 "  0\nLWPOLYLINE\n 90\n1\n 10\n150\n 20\n150\n";
    cad::Document doc = cad::Document::Parse(DrawingText(BlockText("C", CircleText(5, 0, 10)), entities));
    DrawingView view;
    view.resize(800, 600);
    view.show();
    view.SetDocument(&doc);
    const std::vector<std::string> model = doc.ModelSpaceHandles();
    ASSERT_EQ(view.Shapes().size(), 4u);
    const double px = 1 / (view.ToScreen({1, 0}) - view.ToScreen({0, 0})).x();   // a pixel in drawing units
    auto pick = [&](QPointF world) {
        std::vector<std::string> got{"unset"};
        view.BeginPick([&](std::vector<std::string> h) { got = std::move(h); });
        Click(view, view.ToScreen(world));
        Key(view, Qt::Key_Return);
        return got.empty() ? -1 : static_cast<int>(std::find(model.begin(), model.end(), got.front()) - model.begin());
    };
    const QPointF o(0, 0);
    // On the quarter at its very ends, and some pixels beyond them: out
    // across the curve, or on along it past either end.
    for (double deg : {0.0, 45.0, 90.0}) {
        EXPECT_EQ(pick(OnCircle(o, 100, deg)), 0) << deg;
        EXPECT_EQ(pick(OnCircle(o, 100 + 4 * px, deg)), 0) << deg;
        EXPECT_EQ(pick(OnCircle(o, 100 - 4 * px, deg)), 0) << deg;
        EXPECT_EQ(pick(OnCircle(o, 100 + 9 * px, deg)), -1) << deg;
    }
    EXPECT_EQ(pick(QPointF(100, -4 * px)), 0);    // before the start
    EXPECT_EQ(pick(QPointF(100, -9 * px)), -1);
    EXPECT_EQ(pick(QPointF(-4 * px, 100)), 0);    // after the end
    EXPECT_EQ(pick(QPointF(-9 * px, 100)), -1);
    EXPECT_EQ(pick(OnCircle(o, 100, 180)), -1);   // where the rest of its circle would be
    EXPECT_EQ(pick(OnCircle(o, 100, 270)), -1);
    // The arc across 0 degrees: on it either side of 0, not across from it.
    for (double deg : {350.0, 355.0, 0.0, 5.0, 10.0}) EXPECT_EQ(pick(OnCircle({300, 0}, 100, deg)), 1) << deg;
    for (double deg : {90.0, 180.0, 190.0, 270.0}) EXPECT_EQ(pick(OnCircle({300, 0}, 100, deg)), -1) << deg;
    // A block scaled to nothing, and a polyline of one vertex, at their points.
    EXPECT_EQ(pick({150, -150}), 2);
    EXPECT_EQ(pick({150, 150}), 3);
}

TEST(DrawingView, PaintsWholeCurvesAndLinesThatCrossTheView) {
    // A green circle and a red quarter inside it, filling the view.
    cad::Document curves = cad::Document::Parse(DrawingText(
        "", "  0\nCIRCLE\n 62\n3\n 10\n0\n 20\n0\n 40\n100\n  0\nARC\n 62\n1\n 10\n0\n 20\n0\n 40\n80\n 50\n0\n 51\n90\n"));
    DrawingView view;
    view.resize(800, 600);
    view.show();
    view.SetDocument(&curves);
    QImage img = view.grab().toImage();
    const QRgb green = qRgb(0, 255, 0), red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QPointF o(0, 0);
    for (double deg = 0; deg < 360; deg += 2.5) {
        EXPECT_TRUE(DrawnNear(img, view.ToScreen(OnCircle(o, 100, deg)), green)) << deg;
        EXPECT_EQ(DrawnNear(img, view.ToScreen(OnCircle(o, 80, deg)), red), deg <= 90) << deg;
    }
    for (QPointF inside : {QPointF(0, 0), QPointF(50, 0), QPointF(0, 50)}) EXPECT_FALSE(DrawnNear(img, view.ToScreen(inside), green));

    // Zoomed in on two lines whose ends lie far outside the view, one
    // upright (its box has no width), one drawn from its right end.
    cad::Document lines = cad::Document::Parse(DrawingText(
        "", "  0\nLINE\n 62\n5\n 10\n10\n 20\n-100\n 11\n10\n 21\n100\n  0\nLINE\n 62\n1\n 10\n100\n 20\n-10\n 11\n-100\n 21\n-10\n"));
    view.SetDocument(&lines);
    for (int i = 0; i < 10; ++i) Key(view, Qt::Key_Plus);
    ASSERT_FALSE(QRectF(view.rect()).contains(view.ToScreen({10, 100})));
    ASSERT_FALSE(QRectF(view.rect()).contains(view.ToScreen({100, -10})));
    img = view.grab().toImage();
    for (double at = -8; at <= 8; at += 4) {
        EXPECT_TRUE(DrawnNear(img, view.ToScreen({10, at}), blue)) << at;
        EXPECT_TRUE(DrawnNear(img, view.ToScreen({at, -10}), red)) << at;
    }
}
