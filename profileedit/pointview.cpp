// The point view: the pipes of the current lateral drawn on the plan picture
// Picture2 as points (x3, y1), picked by the mouse and moved by a drag, and
// the measured mark line typed as digits on the same picture.
#include <cmath>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "profile/plot.h"

namespace {

// Colours of the point view, from the sixteen basic colours.
const int32_t kBlack = vb::QBColor(0);
const int32_t kGreen = vb::QBColor(2);
const int32_t kMagenta = vb::QBColor(5);

// The Check2 values that choose a drawing mode.
constexpr int kPointsAndLabels = 0;
constexpr int kChainageSteps = 1;

}  // namespace

void Form1::pic2draw() {
    Picture2.DrawWidth(2);
    Picture1.ScaleWidth(16);
    Picture1.ScaleHeight(15);
    ProfileOffsetX = 0;
    ProfileOffsetY = 50;

    if (Check2.Value() == kPointsAndLabels) {
        for (int32_t k = 1; k <= RunCount; ++k) {
            auto p = RunRecord(k);
            if (!p) continue;
            const double x = p->x3 + ProfileOffsetX;
            Picture2.PSet(x, ProfileOffsetY - p->y1);
            FontStuff(x, ProfileOffsetY - p->y1, vb::SingleToText(p->x3), 30, 0.2, 4);
            Picture2.Line(x, PointPickY, x + p->l, p->y1, kMagenta);
            ProfileOffsetX += p->l;
        }
    }
    Picture2.DrawWidth(1);
    if (Check2.Value() == kChainageSteps) {
        for (int32_t k = 1; k <= RunCount; ++k) {
            auto p = RunRecord(k);
            if (!p) continue;
            Picture2.Line(ProfileOffsetX, ProfileOffsetY, ProfileOffsetX + p->x3, ProfileOffsetY, kGreen);
            ProfileOffsetX += p->x3;
        }
    }
    ProfileOffsetX = 0;
    for (int32_t k = 1; k < RunCount; ++k) {
        auto p = RunRecord(k);
        auto q = RunRecord(k + 1);
        if (!p || !q) continue;
        Picture2.Line(p->x3 + ProfileOffsetX, ProfileOffsetY - p->y1, q->x3 + ProfileOffsetX,
                      ProfileOffsetY - q->y1, kGreen);
        ProfileOffsetX += p->x3;
    }
    Picture1.DrawWidth(1);
}

void Form1::Picture2_MouseDown(int, int, float X, float Y) {
    // Nothing to pick without a network or without a pipe in the run.
    if (!myCol || RunCount < 1) return;

    // Distances to every run point, without the drawing offsets; the nearest
    // wins and a tie keeps the lower run position.
    PointDistances.assign(static_cast<size_t>(RunCount) + 1, 0.0);
    for (int32_t k = 1; k <= RunCount; ++k) {
        auto p = RunRecord(k);
        if (!p) return;
        const double dx = X - p->x3;
        const double dy = Y - p->y1;
        PointDistances[static_cast<size_t>(k)] = std::sqrt(std::fabs(dx * dx + dy * dy));
    }
    PointPickIndex = 1;
    double best = PointDistances[1];
    for (int32_t k = 1; k <= RunCount; ++k) {
        if (PointDistances[static_cast<size_t>(k)] < best) {
            best = PointDistances[static_cast<size_t>(k)];
            PointPickIndex = k;
        }
    }

    auto picked = RunRecord(PointPickIndex);
    PointPickX = picked->x3;
    PointPickY = picked->y1;
    PointPickKey = "Obj" + picked->Name;

    // Dotted guides to the neighbours: green downstream, black upstream.
    Picture2.DrawStyle(vb::vbDot);
    if (PointPickIndex < RunCount) {
        if (auto next = RunRecord(PointPickIndex + 1)) Picture2.Line(PointPickX, PointPickY, next->x3, next->y1, kGreen);
    }
    if (PointPickIndex > 1) {
        if (auto prev = RunRecord(PointPickIndex - 1)) Picture2.Line(PointPickX, PointPickY, prev->x3, prev->y1, kBlack);
    }
    Picture2.DrawStyle(vb::vbSolid);
    pic2draw();
}

void Form1::Picture2_MouseMove(int Button, int, float X, float Y) {
    // Only a left-button drag that started with a press on a point.
    if (!myCol || Button != vb::vbLeftButton || PointPickKey.empty()) return;
    if (PointPickIndex < 1 || PointPickIndex > RunCount) return;

    draw();
    pic2draw();

    auto picked = RunRecord(PointPickIndex);
    if (!picked) return;
    Picture2.DrawWidth(5);
    Picture2.PSet(picked->x3, Y);
    Picture2.DrawWidth(1);

    Picture2.DrawStyle(vb::vbDot);
    if (PointPickIndex < RunCount) {
        if (auto next = RunRecord(PointPickIndex + 1)) Picture2.Line(X, Y, next->x3, next->y1, kGreen);
    }
    if (PointPickIndex > 1) {
        if (auto prev = RunRecord(PointPickIndex - 1)) Picture2.Line(X, Y, prev->x3, prev->y1, kGreen);
    }
    Picture2.DrawStyle(vb::vbSolid);

    Label2.Caption("[" + vb::Str(vb::Variant(X)) + "]  [" + vb::Str(vb::Variant(Y)) + "]");
}

void Form1::Picture2_MouseUp(int, int, float X, float Y) {
    // The move lands in the pipe picked at the press.  The nearest point to
    // the release, measured against the origin the last drawing left behind,
    // would be a different pipe whenever that origin is not zero, so it is
    // not used to choose the pipe.
    const std::string key = PointPickKey;
    PointPickKey.clear();
    if (!myCol || key.empty()) return;
    auto picked = NodeRecordByKey(myCol.get(), key);
    if (!picked) return;
    picked->x3 = X;
    picked->y1 = Y;
    draw();
    pic2draw();
}

void Form1::Picture2_KeyPress(int& KeyAscii) {
    if (KeyAscii >= '0' && KeyAscii <= '9') {
        Text1.Text(Text1.Text() + static_cast<char>(KeyAscii));
    } else if (KeyAscii == vb::vbKeyReturn) {
        MarkPointA = MarkPointB;
        MarkPointB.x += vb::Val(Text1.Text());
        if (MarkPending) Picture2.Line(MarkPointA.x, MarkPointA.y, MarkPointB.x, MarkPointB.y, kGreen);
    }
}

void Form1::WirePointView() {
    // Picture2 is still in twips here; the box keeps the position in twips.
    Check2.Move(60, 45, 2300, 300);
    Picture2.MouseDown = [this](int Button, int Shift, float X, float Y) { Picture2_MouseDown(Button, Shift, X, Y); };
    Picture2.MouseMove = [this](int Button, int Shift, float X, float Y) { Picture2_MouseMove(Button, Shift, X, Y); };
    Picture2.MouseUp = [this](int Button, int Shift, float X, float Y) { Picture2_MouseUp(Button, Shift, X, Y); };
    Picture2.KeyPress = [this](int& KeyAscii) { Picture2_KeyPress(KeyAscii); };
}
