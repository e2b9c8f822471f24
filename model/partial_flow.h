// Partial flow in circular gravity pipes: the full-flow capacity by
// Manning's formula, the ratio of design flow to full flow, and two fitted
// curves of the part-full circular section (relative depth from the flow
// ratio, velocity ratio from the relative depth).
//
// The constants are the ones the read-outs have always used (3.14159 for pi,
// Manning's n = 0.013 as a single-precision number), so the figures shown
// stay the same.  Arithmetic is in double precision; the curve functions
// give single-precision results.
//
// Outside their range the functions give no value instead of failing: a
// root of a negative number or a division by zero has no meaningful result
// for a pipe, and the callers show nothing new then.
#pragma once

#include <optional>
#include <string>

namespace model {

// Atn(x / Sqr(1 - x*x)); no value for |x| >= 1, where it would divide by
// zero or take the root of a negative number.
std::optional<float> ArcSin(double x);

// Relative depth h/D for the flow ratio q = Q/Qf, 0 <= q < 1; no value
// outside that range (a pipe exactly at full flow included).
std::optional<float> HdFromQRatio(double q);

// Velocity ratio V/Vf for the relative depth h; no value where the curve is
// not defined (h below 0 or above about 1.426).
std::optional<float> VRatioFromHd(double h);

// The computing core of the slope bar's read-out.  Qd design flow (l/s), S
// slope (fraction), D diameter (mm); qIn and vIn are the values the caller's
// flow-ratio and velocity variables hold before the call (0 for empty).
struct PartialFlowResult {
    bool writeCaptions = false;  // the four captions are to be written
    bool computed = false;       // q, V, h and Vf were computed
    double q = 0;                // flow ratio Qd/Qf (qIn when not computed)
    double V = 0;                // partial-flow velocity, m/s (vIn when not computed)
    float h = 0;                 // relative depth h/D (0 when not computed)
    double Vf = 0;               // full-flow velocity, m/s (0 when not computed)
    double Qf = 0;               // full-flow capacity, l/s (0 when not computed)
    std::string qCaption;        // "Qd/Qf=" & R(q)
    std::string hCaption;        // "H/D=" & R(h)
    std::string vfCaption;       // "Vful=" & R(Vf)
    std::string vCaption;        // "VD=" & R(V), 0 where V is below 0
};

// When S > 0 computes the chain; with no design flow, a design flow above
// the full flow, or a diameter or design flow that gives no result
// (D <= 0, Qd < 0), nothing is to be written and q and V stay as passed in.
// When S <= 0 nothing is computed but the captions are written from qIn and
// vIn with h and Vf as 0.
PartialFlowResult ShowPartialFlow(double Qd, double S, double D, double qIn = 0, double vIn = 0);

// x * 100 rounded half to even, divided by 100, as text ("0.48", "1").
std::string RoundedReadout(double x);

}  // namespace model
