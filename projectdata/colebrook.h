// The Colebrook-White friction factor of a full pipe, by fixed-point
// iteration f := (-0.869 ln(Rrel / 3.71 + 2.51 / (Re sqrt f)))^-2 until two
// rounds differ by less than 0.00001.  The single-pipe calculator iterates
// in single precision from 0.016; the chart in double precision from 0.08.
// Both stop after a bounded number of rounds and refuse input that cannot
// give a factor instead of looping on it.
#pragma once

namespace projectdata {

enum class FrictionStatus {
    Converged,       // f holds the factor
    NotTurbulent,    // Re below 4000
    Invalid,         // a non-finite Re or Rrel, or a negative Rrel
    NoConvergence,   // no two rounds came close enough within the limit
};

struct FrictionResult {
    FrictionStatus status = FrictionStatus::Invalid;
    double f = 0;
    int rounds = 0;
};

inline constexpr int kMaxFrictionRounds = 200;

// The calculator's iteration: Re below 4000 is not turbulent; the factor is
// rounded to 4 decimals (half to even).
FrictionResult ColebrookCalculator(float Rrel, float Re);
// The chart's iteration from f0, unrounded; the caller decides which Re to ask for.
FrictionResult ColebrookChart(double Rrel, double Re, double f0);

// v rounded to `decimals` decimals: scaled, taken to the nearest whole
// number (a half to the even one) and scaled back.
double RoundDecimals(double v, int decimals);

}  // namespace projectdata
