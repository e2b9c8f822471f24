#include "profile/levels.h"

#include <cfloat>
#include <cmath>

namespace profile {

float SingleResult(double x) {
    if (x > FLT_MAX) return FLT_MAX;
    if (x < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(x);
}

namespace {

// A sum or difference of two single-precision values, kept in single
// precision: the double sum rounded to single is what a single-precision
// sum gives, up to the range that SingleResult holds.
float Sum(float a, double b) { return SingleResult(static_cast<double>(a) + b); }

// Diameter in metres; the division yields a double, as every rule of the
// pass evaluates it, and the result of each rule is stored in single precision.
double DiaMetres(const PipeLevels& p) { return p.dia / 1000.0; }

// The invert level that puts the crown exactly at minimum cover.  Ground less
// cover is a difference of two single-precision fields and is itself rounded
// to single precision before the diameter (a double) is taken off.
double CoverInvert(float ground, const PipeLevels& p) {
    const float belowGround = Sum(ground, -static_cast<double>(p.mincover));
    return static_cast<double>(belowGround) - DiaMetres(p);
}

// The fall of a pipe over its length: a product of two single-precision
// fields, kept in single precision.
float Fall(const PipeLevels& p) { return SingleResult(static_cast<double>(p.slope) * p.l); }

}  // namespace

void RunLevelsPass(const std::vector<PipeLevels*>& pipes, float& lateralFelv) {
    const size_t n = pipes.empty() ? 0 : pipes.size() - 1;
    for (size_t i = 1; i <= n; ++i) {
        PipeLevels& p = *pipes[i];
        if (i == 1) {
            lateralFelv = p.felv;
            p.finv = SingleResult(CoverInvert(p.felv, p));
        } else {
            PipeLevels& prev = *pipes[i - 1];
            prev.telv = p.felv;
            // Crowns meet: a larger pipe starts lower, a smaller one higher.
            p.finv = SingleResult(static_cast<double>(prev.tinv) - (DiaMetres(p) - DiaMetres(prev)));
            // Upstream cover: lower only, never raise.
            const double atCover = CoverInvert(p.felv, p);
            if (static_cast<double>(p.finv) > atCover) p.finv = SingleResult(atCover);
        }
        p.tinv = Sum(p.finv, -static_cast<double>(Fall(p)));
        // Downstream cover, tested against the telv the pipe holds now.
        const double atCover = CoverInvert(p.telv, p);
        if (static_cast<double>(p.tinv) > atCover) {
            p.tinv = SingleResult(atCover);
            p.finv = Sum(p.tinv, Fall(p));
        }
    }
}

void RunChainagePass(const std::vector<PipeLevels*>& pipes, RunSummary& s,
                     std::vector<PipeChainage>& out) {
    const size_t n = pipes.empty() ? 0 : pipes.size() - 1;
    out.assign(n + 1, PipeChainage{});
    s.l = 0;
    float chainage = 0;
    for (size_t i = 1; i <= n; ++i) {
        const PipeLevels& p = *pipes[i];
        chainage = Sum(chainage, p.l);   // kept in single precision
        s.tl = chainage;
        s.l = Sum(s.l, p.l);
        out[i].tl = chainage;
        out[i].x3 = p.l;
        if (s.felv < p.felv) s.felv = p.felv;
        if (s.telv > p.telv) s.telv = p.telv;
        if (s.finv < p.finv) s.finv = p.finv;
        if (s.tinv > p.tinv) s.tinv = p.tinv;
    }
}

float InitialElevationShift(float firstFelv, float highestFelv, int scaleHeight,
                            int scaleOffset) {
    const float d = highestFelv - firstFelv;
    const float ref = (d > 4 && d < 10) ? highestFelv : firstFelv;
    return static_cast<float>(scaleHeight) - std::trunc(ref) -
           static_cast<float>(scaleOffset);
}

float RebaseElevationShift(float shift, float felv, float tinv, int scaleHeight,
                           int scaleOffset) {
    const float h = static_cast<float>(scaleHeight);
    const float based = h - std::trunc(felv) - static_cast<float>(scaleOffset);
    if (felv + shift - h > h - 4) shift = based;
    if (tinv + shift < -1) shift = based;
    return shift;
}

}  // namespace profile
