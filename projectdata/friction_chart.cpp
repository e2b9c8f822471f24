// The friction-factor chart: the Colebrook-White factor against the Reynolds
// number, one curve per relative roughness from 0.010 to 0.024, drawn over
// the profile picture with the profile's own primitives (so a DXF export in
// progress also receives it).  Chart x = 50 log10(Re) - 200, y = 300 f - 15.
#include <cmath>

#include "mainwindow/form1.h"
#include "platform/runtime/conversions.h"
#include "projectdata/colebrook.h"

void Form1::Command23_Click() {
    const vb::Variant mode(DxfMode);
    // The roughness counter grows by repeated addition: its sixteenth value
    // lies just above 0.025, so fifteen curves are drawn.
    for (double r = 0.01; r <= 0.025; r += 0.001) {
        for (int k = 1; k <= 4; ++k) {
            bool started = false;   // each decade's curve starts afresh
            double previousX = 0, previousY = 0;
            for (int m = 100; m <= 1000; m += 100) {
                const float Re = static_cast<float>(m * std::pow(10.0, k));
                const double x = 50 * (std::log(double(Re)) / std::log(10.0)) - 200;
                if (Re > 4000) {
                    const projectdata::FrictionResult f = projectdata::ColebrookChart(r, Re, 0.08);
                    if (f.status == projectdata::FrictionStatus::Converged) {
                        const double y = 300 * f.f - 15;
                        if (!started) {
                            previousX = x;
                            previousY = y;
                            started = true;
                        }
                        LINEplot(vb::Variant(previousX), vb::Variant(previousY), vb::Variant(x), vb::Variant(y), mode,
                                 vb::Variant(1000 * r), vb::Variant(int16_t(2)));
                        previousX = x;
                        previousY = y;
                    }
                }
                // Tick and label of this Re (drawn again for every roughness).
                LINEplot(vb::Variant(x), vb::Variant(int16_t(5)), vb::Variant(x), vb::Variant(int16_t(-5)), mode,
                         vb::Variant(int16_t(k + 3)), vb::Variant(int16_t(1)));
                textplot(vb::Variant(x - 2), vb::Variant(-5.2), vb::Variant(int16_t(7)), vb::Variant(int16_t(3)),
                         vb::Variant(int16_t(0)), "S", vb::Trim(vb::NumberToText(m / 100.0)), mode,
                         vb::Variant(int16_t(0)));
            }
        }
    }
}
