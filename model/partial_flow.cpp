#include "model/partial_flow.h"

#include <algorithm>
#include <cmath>

#include "platform/runtime/conversions.h"

namespace model {

namespace {

constexpr double kPi = 3.14159;
constexpr double kTwoPi = 6.28318;
// Manning's n, held as a single-precision number.
const double kManningN = static_cast<double>(0.013f);

}  // namespace

std::optional<float> ArcSin(double x) {
    // At +-1 the quotient below divides by zero; outside it the root is of a
    // negative number.  Neither has a value (NaN included).
    if (!(x > -1.0 && x < 1.0)) return std::nullopt;
    return static_cast<float>(std::atan(x / std::sqrt(1.0 - x * x)));
}

std::optional<float> HdFromQRatio(double q) {
    if (!(q >= 0.0 && q <= 1.0)) return std::nullopt;
    std::optional<float> a = ArcSin(std::sqrt(q));
    if (!a) return std::nullopt;
    double av = *a;
    double h = (av + av) / kPi + std::sin(q * kTwoPi) * 0.0035 + std::cos(q * kPi) * 0.0033 - 0.00005;
    return static_cast<float>(h);
}

std::optional<float> VRatioFromHd(double h) {
    double t = h / 0.713 - 1.0;
    double under = 1.0 - t * t;
    if (!(under >= 0.0)) return std::nullopt;
    double r = 1.08 * std::sqrt(under) + 0.17 * h - 0.0265 * std::sin(h * 25.13272 / 3.0) - 0.1372;
    return static_cast<float>(r);
}

std::string RoundedReadout(double x) { return vb::NumberToText(vb::RoundHalfEven(x * 100.0) / 100.0); }

PartialFlowResult ShowPartialFlow(double Qd, double S, double D, double qIn, double vIn) {
    PartialFlowResult r;
    r.q = qIn;
    r.V = vIn;
    if (S > 0) {
        if (!(D > 0)) return r;  // no pipe section: no capacity to compare with
        double k = kPi / (std::pow(4.0, 5.0 / 3.0) * kManningN);
        double Qf = 1000.0 * (std::sqrt(S) * (std::pow(D / 1000.0, 8.0 / 3.0) * k));
        if (Qd == 0 || Qd > Qf) return r;
        double q = Qd / Qf;
        std::optional<float> h = HdFromQRatio(q);
        if (!h) return r;  // a negative design flow, or exactly the full flow
        std::optional<float> ratio = VRatioFromHd(*h);
        if (!ratio) return r;
        double Vf = Qf / (kPi * std::pow(D / 1000.0, 2.0) / 4.0) / 1000.0;
        r.computed = true;
        r.Qf = Qf;
        r.q = q;
        r.h = *h;
        r.Vf = Vf;
        r.V = Vf * static_cast<double>(*ratio);
    }
    r.writeCaptions = true;
    r.qCaption = "Qd/Qf=" + RoundedReadout(r.q);
    r.hCaption = "H/D=" + RoundedReadout(r.h);
    r.vfCaption = "Vful=" + RoundedReadout(r.Vf);
    // The velocity fit dips below 0 at the smallest depths: the caption
    // shows 0 there, while V keeps the computed value.
    r.vCaption = "VD=" + RoundedReadout(std::max(0.0, r.V));
    return r;
}

}  // namespace model
