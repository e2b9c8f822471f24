// The partial-flow read-out beside the pipe grid: Q/Qf, h/D, the full-pipe
// velocity and the velocity at the design flow of a circular pipe (Manning,
// n = 0.013), from the texts of the grid's flow, diameter and slope cells.
#include <algorithm>
#include <cmath>

#include "mainwindow/form1.h"
#include "model/partial_flow.h"
#include "profileedit/grid_value.h"

void Form1::qrate() {
    // The cells' values and every intermediate result are held as 32-bit
    // floating-point numbers; each expression is evaluated in double precision.
    // A cell whose number is too large to read leaves the captions as they are.
    const std::optional<double> qCell = CellNumber(MSHFlexGrid2.TextMatrix(1, 1));
    const std::optional<double> dCell = CellNumber(MSHFlexGrid2.TextMatrix(2, 1));
    const std::optional<double> sCell = CellNumber(MSHFlexGrid2.TextMatrix(3, 1));
    if (!qCell || !dCell || !sCell) return;
    const float Qd = static_cast<float>(*qCell);
    const float D = static_cast<float>(*dCell);
    const float S = static_cast<float>(*sCell);
    // Without a positive slope and diameter the pipe has no capacity to
    // compare with: the captions stay as they are.
    if (!(S > 0) || !(D > 0)) return;

    const double diaM = static_cast<double>(D) / 1000.0;
    const float Qf = static_cast<float>(std::pow(diaM, 8.0 / 3.0) * std::sqrt(static_cast<double>(S)) * 1000.0 *
                                        3.14159 / (std::pow(4.0, 5.0 / 3.0) * 0.013));
    if (!(Qf > 0) || !std::isfinite(Qf)) return;
    const float r = static_cast<float>(static_cast<double>(Qd) / Qf);
    if (r >= 1) {
        Label32.Caption("Qd/Qf=" + model::RoundedReadout(r));
        return;
    }
    // A negative flow has no depth on the part-full curve: nothing is shown.
    const std::optional<float> h = model::HdFromQRatio(r);
    if (!h) return;
    const float Vful = static_cast<float>(static_cast<double>(Qf) / 1000.0 / (3.14159 * std::pow(diaM, 2.0) / 4.0));
    const std::optional<float> ratio = model::VRatioFromHd(*h);
    if (!ratio) return;
    const float Vd = static_cast<float>(static_cast<double>(Vful) * static_cast<double>(*ratio));
    Label32.Caption("Qd/Qf=" + model::RoundedReadout(r));
    Label33.Caption("H/D= " + model::RoundedReadout(*h));
    Label34.Caption("Vful=" + model::RoundedReadout(Vful));
    // The velocity fit dips below 0 at the smallest depths, where the water
    // barely moves: the read-out shows 0 there, never a negative speed.
    Label35.Caption("Vd= " + model::RoundedReadout(std::max(0.0f, Vd)));
}
