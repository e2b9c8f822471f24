// The partial-flow read-out beside the pipe grid: Q/Qf, h/D, the full-pipe
// velocity and the velocity at the design flow of a circular pipe (Manning,
// n = 0.013), from the texts of the grid's flow, diameter and slope cells.
#include <cmath>

#include "mainwindow/form1.h"
#include "model/partial_flow.h"

void Form1::qrate() {
    const float Qd = static_cast<float>(vb::Val(MSHFlexGrid2.TextMatrix(1, 1)));
    const float D = static_cast<float>(vb::Val(MSHFlexGrid2.TextMatrix(2, 1)));
    const float S = static_cast<float>(vb::Val(MSHFlexGrid2.TextMatrix(3, 1)));
    // Without a positive slope and diameter the pipe has no capacity to
    // compare with: the captions stay as they are.
    if (!(S > 0) || !(D > 0)) return;

    const float k = static_cast<float>(3.14159 / (std::pow(4.0, 5.0 / 3.0) * 0.013));
    const float Qf = std::pow(D / 1000.0f, 8.0f / 3.0f) * std::sqrt(S) * 1000.0f * k;
    if (!(Qf > 0) || !std::isfinite(Qf)) return;
    const float r = Qd / Qf;
    if (r >= 1) {
        Label32.Caption("Qd/Qf=" + model::RoundedReadout(r));
        return;
    }
    // A negative flow has no depth on the part-full curve: nothing is shown.
    const std::optional<float> h = model::HdFromQRatio(r);
    if (!h) return;
    const float area = 3.14159f * (D / 1000.0f) * (D / 1000.0f) / 4.0f;
    const float Vful = Qf / 1000.0f / area;
    const std::optional<float> ratio = model::VRatioFromHd(*h);
    if (!ratio) return;
    const float Vd = Vful * *ratio;
    Label32.Caption("Qd/Qf=" + model::RoundedReadout(r));
    Label33.Caption("H/D= " + model::RoundedReadout(*h));
    Label34.Caption("Vful=" + model::RoundedReadout(Vful));
    Label35.Caption("Vd= " + model::RoundedReadout(Vd));
}
