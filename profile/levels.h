// The levels of a run of pipes: the inverts that follow from the ground
// elevations, minimum covers, diameters, slopes and lengths, and the run's
// chainages and extremes.  Pure functions over plain records, so that the
// profile routine and the tests share one implementation and nothing here
// needs a window.
#pragma once

#include <cstdint>
#include <vector>

namespace profile {

// The fields of one pipe that the levels pass reads and writes (metres, the
// diameter in millimetres).  All elevations are single precision, as stored
// in the pipe record.
struct PipeLevels {
    float felv = 0;       // ground, upstream end
    float telv = 0;       // ground, downstream end
    float finv = 0;       // invert, upstream end
    float tinv = 0;       // invert, downstream end
    float mincover = 0;   // minimum cover over the crown
    float slope = 0;      // fraction
    float l = 0;          // length
    int16_t dia = 0;      // millimetres
};

// A result of the passes below in single precision: the double x rounded as
// a single-precision operation rounds it, except that a result beyond the
// single-precision range is held at the largest value of its sign instead of
// becoming infinite.  Records may hold any finite value (a file may bring
// lengths and levels of 3.4E+38), and nothing the profile computes from them
// and stores back is ever infinite or not a number.
float SingleResult(double x);

// Recomputes the inverts of pipes[1..n] in run order (pipes[0] is not used).
// Entries may point at the same record more than once; every rule reads the
// values as left by the rules before it, so such entries behave as the same
// pipe met twice.
//
// - The first pipe starts with its crown exactly at minimum cover.
// - Each further pipe takes the downstream ground of the one before
//   (telv(i-1) := felv(i)) and starts with its crown level with the crown of
//   the one before; it is lowered (never raised) when that leaves less than
//   the minimum cover at its upstream end.
// - tinv := finv - slope * l; when the downstream end lacks cover, the pipe is
//   lowered as a whole, keeping its slope.
// The lateral's own upstream ground is set to that of the first pipe.
void RunLevelsPass(const std::vector<PipeLevels*>& pipes, float& lateralFelv);

// The run's summary as kept in the lateral's own record.
struct RunSummary {
    float l = 0;      // total length
    float tl = 0;     // chainage after the last pipe
    float felv = 0;   // highest upstream ground
    float telv = 0;   // lowest downstream ground (kept from earlier calls)
    float finv = 0;   // highest upstream invert (kept from earlier calls)
    float tinv = 0;   // lowest downstream invert (kept from earlier calls)
};

// The chainage pass: tl(i) := chainage of the downstream end of pipe i (in
// single precision, as the running sum is kept), x3(i) := l(i), and the
// summary widened by every pipe (strict comparisons).  tl and x3 receive one
// element per pipe (index 0 unused).
struct PipeChainage {
    float tl = 0;
    float x3 = 0;
};
void RunChainagePass(const std::vector<PipeLevels*>& pipes, RunSummary& summary,
                     std::vector<PipeChainage>& out);

// The profile height of elevation e is e + shift.  The shift that puts the
// whole metre of the reference ground plus `offset` at the top of the scale:
// the run's highest ground when it lies more than 4 and less than 10 above
// the first pipe's, the first pipe's ground otherwise.
float InitialElevationShift(float firstFelv, float highestFelv, int scaleHeight,
                            int scaleOffset);

// Re-bases the shift at pipe i when its ground would be drawn above the scale
// (y - H > H - 4) or its downstream invert below -1.  Returns the new shift.
float RebaseElevationShift(float shift, float felv, float tinv, int scaleHeight,
                           int scaleOffset);

}  // namespace profile
