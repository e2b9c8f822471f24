// Chooses a lateral of 100, 1,000 and 10,000 pipes on the real main window
// (shown, as in the program) and prints how long latseupdate takes to rebuild
// the pipe list and the pipes' tab strip, and how long the event loop then
// takes to bring the strip on the screen.  Both should grow about linearly
// with the number of pipes.
//
//   bench_latseupdate_bench [N ...]   (default: 100 1000 10000)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mainwindow/form1.h"
#include "bench/bench_network.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/ui.h"

namespace {

// A network with one lateral of n pipes, built through the tree.
void BuildLateral(Form1& form, int n) {
    form.myCol = OneLateralNetwork(n, [](model::Sewer& p, int) {
        p.dia = 300;
        p.l = 40;
    });
    CurrentLateralName = "Lateral1";
}

double Ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void RunBench(const std::vector<int>& sizes) {
    Form1 form;
    form.Show();
    vb::DoEvents();

    std::printf("%10s %16s %16s %16s\n", "pipes", "latseupdate ms", "then paint ms", "total ms");
    double at1000 = 0, at10000 = 0;
    for (int n : sizes) {
        BuildLateral(form, n);
        const auto t0 = std::chrono::steady_clock::now();
        form.latseupdate("Lateral1");
        const auto t1 = std::chrono::steady_clock::now();
        vb::DoEvents();   // what the user waits for until the strip is shown
        const auto t2 = std::chrono::steady_clock::now();
        if (RunCount != n || form.List2.ListCount() != n ||
            static_cast<int>(form.UserControl12.Tabs().size()) != n + 1) {
            std::printf("wrong result for %d pipes: RunCount %d, List2 %d, tabs %zu\n", n, RunCount,
                        form.List2.ListCount(), form.UserControl12.Tabs().size());
            std::exit(1);
        }
        // The last tab is on the canvas as the first one is (its right border
        // column), however far out it lies.
        UserControl1& strip = form.UserControl12;
        auto rightBorder = [&](size_t i) {
            const TabRecord& t = strip.Tabs()[i];
            const double w = strip.CaptionWidthPixels(t.Caption);
            return strip.Picture10.Point((t.Left + 5 + vb::RoundHalfEven(w) + 4) * 15.0, 8 * 15.0);
        };
        if (rightBorder(1) == strip.Picture10.Point(0, 8 * 15.0) || rightBorder(n) != rightBorder(1)) {
            std::printf("the tabs of %d pipes are not all drawn\n", n);
            std::exit(1);
        }
        const double total = Ms(t0, t2);
        std::printf("%10d %16.1f %16.1f %16.1f\n", n, Ms(t0, t1), Ms(t1, t2), total);
        std::fflush(stdout);
        if (n == 1000) at1000 = total;
        if (n == 10000) at10000 = total;
    }
    if (at1000 > 0 && at10000 > 0) {
        std::printf("ratio 10,000 / 1,000 pipes: %.1f (linear: 10)\n", at10000 / at1000);
    }
    std::fflush(stdout);
    form.Hide();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {100, 1000, 10000};
    return vb::RunApplication(argc, argv, [sizes] { RunBench(sizes); });
}
