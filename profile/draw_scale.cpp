// The profile routine: elevation scale, the pass over the pipes with its
// re-basing and station verticals, and the vertical places of the handles.
#include <cmath>
#include <string>

#include "mainwindow/form1.h"
#include "profile/draw_state.h"
#include "profile/format.h"
#include "profile/levels.h"
#include "profile/plot.h"
#include "platform/runtime/conversions.h"

// Ticks and labels from the top of the scale down, grid lines from 0 up, the
// right border, and the scale line (always 10 high).
void Form1::ProfileElevationScale(ProfileRedraw& r) {
    const int H = ElevScaleHeight;
    const int E = ElevScaleExtension;
    const int Off = ElevScaleOffset;
    const float x = ProfileLeftX;
    for (int k = 0; k <= H + 4 * E; k += 2) {
        r.Do([&] { LINEplot(x - 2.0, H - k, x + 0.1, H - k, DxfMode, 3, 1); });
        r.Do([&] { LINEplot(x, k, x + r.lateral->tl + 20, k, DxfMode, 3, 1); });
        r.Do([&] {
            const float right = x + r.lateral->l + 20;
            LINEplot(right, H - k, right, k, DxfMode, 3, 1);
        });
        r.Do([&] {
            if (CurrentRun[1].NodeIndex > 0) {
                const float level = std::trunc(r.P(1).felv) - static_cast<float>(k) +
                                    static_cast<float>(Off);
                textplot(x - 20, H - k + 0.2, 3, 4, 0, "S",
                         vb::CStr(FormatFixed(level, 2)), DxfMode, 0);
            }
        });
    }
    r.Do([&] { LINEplot(x, 0, x, 10, DxfMode, 3, 1); });
}

// Pipe by pipe: re-base, end x and x3, the table cells, the station
// verticals, then the pipe's lines and labels.
void Form1::ProfilePipePass(ProfileRedraw& r) {
    const int H = ElevScaleHeight;
    for (int i = 1; i <= RunCount; ++i) {
        const model::Sewer& p = r.P(i);
        r.Do([&] {
            ElevationShift = profile::RebaseElevationShift(ElevationShift, p.felv, p.tinv, H,
                                                           ElevScaleOffset);
        });
        const float s = ProfileLeftX;
        const float e = profile::SingleResult(static_cast<double>(s) + p.l);
        r.Do([&] {
            if (r.pipes[static_cast<size_t>(i)].node > 0) r.P(i).x3 = s;
        });
        ProfileRowCells(r, i, s, e);
        r.Do([&] { LINEplot(s, H, s, 0, DxfMode, 41, 1); });
        if (i == RunCount) {
            r.Do([&] { LINEplot(e, H, e, 0, DxfMode, 41, 1); });
        }
        ProfilePipeLines(r, i, s, e);
    }
}

// The handles of the marked pipe take their heights from its stored levels,
// with the shift left at the end of the pass.
void Form1::ProfileHandleTops(ProfileRedraw& r) {
    const float y0 = ProfileOffsetY;
    int handles = 0;   // the marked pipes take elements 1, 2, ... as the handle pass laid them
    for (int i = 1; i <= RunCount; ++i) {
        if (!r.Marked(i)) continue;
        const int h = ++handles;
        const model::Sewer& p = r.P(i);
        const float shift = ElevationShift;
        // Sums of single-precision fields stay single; the decimal constants
        // and the diameter in metres widen the rest to double.
        r.Do([&] {
            const float coverLevel = p.felv - p.mincover + shift;
            pcover(h).Top(static_cast<float>(y0 - 10 * (coverLevel + 0.8)));
        });
        r.Do([&] {
            const float coverLevel = p.felv - p.mincover + shift;
            Picdia(h).Top(static_cast<float>(y0 - 10 * (coverLevel - 0.5 - p.dia / 1000.0)));
        });
        if (p.felv > p.telv) {
            r.Do([&] {
                const float coverLevel = p.telv - p.mincover + shift;
                pcover(h).Top(static_cast<float>(y0 - 10 * (coverLevel + 0.8)));
            });
        }
        r.Do([&] { PGR(h).Top(y0 - 10 * (p.felv + shift)); });
        r.Do([&] { plen(h).Top(static_cast<float>(y0 - 10.0 * ElevScaleHeight - 2.5)); });
        if (i == RunCount) {
            r.Do([&] { PGR(0).Top(y0 - 10 * (p.telv + shift)); });
        }
    }
    // A length or level of 3.4E+38 puts handles far beyond the picture (or at
    // a position no number can give): they are kept within the picture's
    // reach, where they stay out of sight.
    auto keep = [&](vb::Control& handle) {
        const double left = ClampToReach(Picture1, handle.Left(), false);
        const double top = ClampToReach(Picture1, handle.Top(), true);
        if (!(left == handle.Left())) handle.Left(left);
        if (!(top == handle.Top())) handle.Top(top);
    };
    r.Do([&] {
        for (int k : PGR.Indices()) {
            keep(PGR(k));
            if (plen.Exists(k)) keep(plen(k));
            if (pcover.Exists(k)) keep(pcover(k));
            if (Picdia.Exists(k)) keep(Picdia(k));
            if (VSlope.Exists(k)) keep(VSlope(k));
        }
        keep(picfrom);
        keep(picfrom1);
    });
}
