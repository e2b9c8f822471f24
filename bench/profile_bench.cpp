// Redraws the profile of laterals of 10, 100, 1,000 and 10,000 pipes on the
// real main window and prints the time per redraw; the cost should grow about
// linearly with the number of pipes.  Beside it stands a baseline: the same
// lines and texts (taken from the redraw's drawing log) drawn straight with
// Qt onto an image of the same size, with one painter and one font per text
// size.  The redraw should stay within 2 times the baseline.
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/form1.h"
#include "bench/bench_network.h"
#include "mainwindow/network_access.h"
#include "platform/ui/ui.h"
#include "profile/profile_config.h"

namespace {

// A lateral of n pipes falling gently over rolling ground.
void BuildLateral(Form1& form, int n) {
    form.myCol = OneLateralNetwork(n, [](model::Sewer& p, int i) {
        p.felv = 102.0f - 0.05f * static_cast<float>(i % 40);
        p.telv = 102.0f - 0.05f * static_cast<float>((i + 1) % 40);
        p.dia = static_cast<int16_t>(200 + 100 * (i % 3));
        p.slope = 0.004f;
        p.l = 30.0f + static_cast<float>(i % 5) * 5.0f;
        p.mincover = 1.5f;
        p.x1 = static_cast<float>(i % 150);
        p.y1 = static_cast<float>(20 + i % 100);
    });
    CurrentLateralName = "Lateral1";
    form.UserControl11.text("Lateral1");
    // The run as the pipe-list builder makes it (entries 1..n in child
    // order), filled here directly so that only the redraw is measured.
    CurrentRun.assign(static_cast<size_t>(n) + 1, RunEntry{});
    RunCount = 0;
    for (int32_t i = form.myCol->FirstChild(vb::Variant(std::string("ObjLateral1"))); i != 0;
         i = form.myCol->NextSibling(i)) {
        ++RunCount;
        CurrentRun[static_cast<size_t>(RunCount)].NodeIndex = i;
        CurrentRun[static_cast<size_t>(RunCount)].PipeName =
            NodeRecordByIndex(form.myCol.get(), i)->Name.substr(0, 20);
    }
    // Mark one pipe in the middle, so that the handles are laid too.
    vb::Variant marks = vb::Variant::MakeArray(vb::vbVariant, {{0, RunCount + 1}});
    for (int k = 0; k <= RunCount + 1; ++k) {
        marks.SetElement(k, vb::Variant(int16_t(k == (RunCount + 1) / 2 ? 1 : 0)));
    }
    form.UserControl12.TABB(marks);
}

// The lines and texts of the picture's log, drawn straight with Qt; returns
// milliseconds per drawing.
double QtBaselineMs(const vb::PictureBox& box, int reps) {
    const std::vector<vb::DrawEntry> log = box.DrawLog();
    QImage image(std::max(1, box.ClientWidthPixels()), std::max(1, box.ClientHeightPixels()), QImage::Format_RGB32);
    const double b = box.BorderPixels();
    auto px = [&](double x) { return box.UnitsToPixelsX(x) - b; };
    auto py = [&](double y) { return box.UnitsToPixelsY(y) - b; };
    std::map<int, std::pair<QFont, double>> fonts;   // pixel size -> font, ascent
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < reps; ++k) {
        image.fill(Qt::black);
        QPainter p(&image);
        for (const vb::DrawEntry& e : log) {
            const QColor colour(e.color & 0xFF, (e.color >> 8) & 0xFF, (e.color >> 16) & 0xFF);
            if (e.kind == vb::DrawEntry::Kind::Line) {
                p.setPen(colour);
                p.drawLine(static_cast<int>(std::lround(px(e.x1))), static_cast<int>(std::lround(py(e.y1))),
                           static_cast<int>(std::lround(px(e.x2))), static_cast<int>(std::lround(py(e.y2))));
            } else if (e.kind == vb::DrawEntry::Kind::Text) {
                const int size = std::max(1, static_cast<int>(std::lround(e.fontHeight > 0 ? e.fontHeight / 1.15
                                                                                          : -e.fontHeight)));
                auto it = fonts.find(size);
                if (it == fonts.end()) {
                    QFont f(QStringLiteral("Liberation Sans"));
                    f.setPixelSize(size);
                    it = fonts.emplace(size, std::make_pair(f, QFontMetricsF(f).ascent())).first;
                }
                p.setFont(it->second.first);
                p.setPen(colour);
                p.save();
                p.translate(std::round(px(e.x1)), std::round(py(e.y1)));
                p.rotate(-e.angle);
                p.drawText(QPointF(0, it->second.second), QString::fromStdString(e.text));
                p.restore();
            }
        }
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() / reps;
}

void RunBench() {
    Form1 form;
    form.Picture1.Move(0, 0, 12000, 9000);
    form.Picture1.Scale(0, 0, 160, 150);
    form.Picture2.Scale(0, 0, 160, 150);
    form.ElevScaleHeight = 10;
    form.ElevScaleExtension = 0;
    form.ElevScaleOffset = 2;
    ProfileOffsetX = 50;
    ProfileOffsetY = 100;
    DxfMode = 1;
    ProfileRowTable = DefaultProfileRows(std::vector<ProfileRowRecord>(kProfileRowCount));

    std::printf("%10s %12s %14s %14s %12s\n", "pipes", "redraws", "ms per redraw", "Qt baseline ms",
                "redraw/base");
    double previous = 0;
    double at1000 = 0, at10000 = 0;
    for (int n : {10, 100, 1000, 10000}) {
        BuildLateral(form, n);
        form.draw();   // warm-up: loads the handle elements
        const int reps = n >= 10000 ? 3 : n >= 1000 ? 10 : 50;
        const auto t0 = std::chrono::steady_clock::now();
        for (int k = 0; k < reps; ++k) form.draw();
        const auto t1 = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count() / reps;
        const double base = QtBaselineMs(form.Picture1, reps);
        std::printf("%10d %12d %14.3f %14.3f %12.2f", n, reps, ms, base, ms / base);
        if (previous > 0) std::printf("   x%.1f", ms / previous);
        std::printf("\n");
        std::fflush(stdout);
        previous = ms;
        if (n == 1000) at1000 = ms;
        if (n == 10000) at10000 = ms;
    }
    std::printf("ratio 10,000 / 1,000 pipes: %.2f (linear: 10)\n", at10000 / at1000);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    return vb::RunApplication(argc, argv, [] { RunBench(); });
}
