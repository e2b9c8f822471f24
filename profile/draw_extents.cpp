// The profile routine: chainages and the run's summary, the hiding and laying
// of the edit handles, the title, the elevation shift and the axis.
#include <string>
#include <vector>

#include "mainwindow/form1.h"
#include "profile/draw_state.h"
#include "profile/format.h"
#include "profile/levels.h"
#include "profile/plot.h"
#include "platform/runtime/conversions.h"

namespace {

std::string NodeText(int32_t node) { return std::to_string(node); }

}  // namespace

// Writes tl and x3 of every pipe and the lateral's length, chainage and
// extremes; without a marked pipe tab the first pipe becomes current.
void Form1::ProfileChainagePass(ProfileRedraw& r) {
    model::Sewer& lat = *r.lateral;
    profile::RunSummary s;
    s.felv = lat.felv;
    s.telv = lat.telv;
    s.finv = lat.finv;
    s.tinv = lat.tinv;
    s.tl = lat.tl;
    // The summary is computed on the records as they are now; pipe by pipe
    // the chainages are written as the pass goes.
    bool named = false;
    std::vector<profile::PipeLevels> levels(static_cast<size_t>(RunCount) + 1);
    std::vector<profile::PipeLevels*> run(static_cast<size_t>(RunCount) + 1, nullptr);
    for (int i = 1; i <= RunCount; ++i) {
        const model::Sewer& p = r.P(i);
        levels[static_cast<size_t>(i)] = LevelsOf(p);
        run[static_cast<size_t>(i)] = &levels[static_cast<size_t>(i)];
        if (CurrentPipeIndex == 0) {
            CurrentPipeIndex = i;
            UserControl12.text(p.Name);
            named = true;
        }
    }
    // With no pipe picked the first pipe is the current one: its name on the
    // pipes' strip lights its tab, so that the user sees which pipe a pick
    // on empty profile space would take.  It carries no handles until it is
    // picked (the handle pass follows the marks alone).  The strip is
    // painted here, so that the lit tab shows with this redraw; a redraw
    // that lit no other tab leaves it as it is.
    if (named) UserControl12.PaintIfStale();
    std::vector<profile::PipeChainage> out;
    profile::RunChainagePass(run, s, out);
    for (int i = 1; i <= RunCount; ++i) {
        r.P(i).tl = out[static_cast<size_t>(i)].tl;
        r.P(i).x3 = out[static_cast<size_t>(i)].x3;
    }
    lat.l = s.l;
    lat.tl = s.tl;
    lat.felv = s.felv;
    lat.telv = s.telv;
    lat.finv = s.finv;
    lat.tinv = s.tinv;
}

// Every handle is hidden and untagged; the handle pass then lays those of
// the marked pipes, so that no handle stays on a pipe nobody picked.
void Form1::ProfileHideHandles(ProfileRedraw& r) {
    for (int k : Picdia.Indices()) {
        r.Do([&] { Picdia(k).Visible(false); });
        r.Do([&] { Picdia(k).Tag(""); });
    }
    const int count = VSlope.Count();
    for (int k = 0; k < count; ++k) {
        r.Do([&] { VSlope(k).Visible(false); });
        r.Do([&] { VSlope(k).Tag(""); });
        r.Do([&] { pcover(k).Visible(false); });
        r.Do([&] { pcover(k).Tag(""); });
        r.Do([&] { plen(k).Visible(false); });
        r.Do([&] { plen(k).Tag(""); });
        r.Do([&] { PGR(k).Visible(false); });
        r.Do([&] { PGR(k).Tag(""); });
    }
}

void Form1::ProfileTitle(ProfileRedraw& r) {
    r.Do([&] {
        textplot(-50.0, 5.0, 3, 6, 0, "S", vb::Trim(r.lateral->Name), DxfMode, 0);
    });
}

// ProfileLeftX is chainage 0; the shift puts the reference ground's whole
// metre plus the scale offset at the top of the elevation scale.
void Form1::ProfileElevationShift(ProfileRedraw& r) {
    r.Do([&] { ProfileLeftX = 8; });
    r.Do([&] {
        if (CurrentRun[1].NodeIndex > 0) {
            ElevationShift = profile::InitialElevationShift(r.P(1).felv, r.lateral->felv,
                                                            ElevScaleHeight, ElevScaleOffset);
        }
    });
}

// Creates, tags and places across the handles of the marked pipe and draws
// its highlight box (screen only).
void Form1::ProfileHandlePass(ProfileRedraw& r) {
    r.Do([&] { ProfileHandleLayout(); });
    int handles = 0;   // handle elements laid so far, one set per marked pipe
    r.Do([&] { picfrom.Visible(false); });
    r.Do([&] { picfrom.Tag(""); });
    r.Do([&] { picfrom1.Visible(false); });
    r.Do([&] { picfrom1.Tag(""); });
    float start = ProfileLeftX;
    for (int i = 1; i <= RunCount; ++i) {
        const model::Sewer& p = r.P(i);
        const float end = start + p.l;
        if (r.Marked(i)) {
            const int h = ++handles;
            const std::string tag = NodeText(r.pipes[static_cast<size_t>(i)].node);
            r.Do([&] { if (!PGR.Exists(h)) PGR.Load(h); });
            r.Do([&] { PGR(h).Tag(tag); });
            r.Do([&] { if (!Picdia.Exists(h)) Picdia.Load(h); });
            r.Do([&] { Picdia(h).Tag(tag); });
            r.Do([&] { if (!pcover.Exists(h)) pcover.Load(h); });
            r.Do([&] { pcover(h).Tag(tag); });
            r.Do([&] { if (!VSlope.Exists(h)) VSlope.Load(h); });
            r.Do([&] { VSlope(h).Tag(tag); });
            r.Do([&] { VSlope(h).Top(ProfileOffsetY); });
            r.Do([&] { if (!plen.Exists(h)) plen.Load(h); });
            r.Do([&] { plen(h).Tag(tag); });

            r.Do([&] { VSlope(h).Visible(true); });
            r.Do([&] { pcover(h).Visible(true); });
            r.Do([&] { plen(h).Visible(true); });
            r.Do([&] { PGR(h).Visible(true); });

            const float E = end + ProfileOffsetX;
            r.Do([&] { plen(h).Left(E + 2); });
            r.Do([&] { pcover(h).Left(E - p.l / 2 + 1); });
            r.Do([&] { PGR(h).Left(E - p.l + 5); });
            r.Do([&] { VSlope(h).Left(E - p.l / 2 + 1); });
            r.Do([&] { SlopeBarBase.at(static_cast<size_t>(h)) = static_cast<float>(VSlope(h).Value()); });
            if (i == RunCount) {
                r.Do([&] { PGR(0).Visible(true); });
                r.Do([&] { PGR(0).Left(E + 1); });
            }
            r.Do([&] {
                double x1 = start + ProfileOffsetX, y1 = ProfileOffsetY, x2 = E;
                double y2 = ProfileOffsetY - (ElevScaleHeight - 4 * ElevScaleExtension) * 10.0;
                if (ClampBoxToReach(Picture1, x1, y1, x2, y2)) {
                    Picture1.Line(x1, y1, x2, y2, AciColor(254), vb::PictureBox::LineForm::Box);
                }
            });
            r.Do([&] { Picdia(h).Visible(true); });
            r.Do([&] { Picdia(h).Tag(tag); });
            r.Do([&] { picfrom.Visible(true); });
            r.Do([&] { picfrom.Tag(tag); });
            r.Do([&] { picfrom1.Visible(true); });
            r.Do([&] { picfrom1.Tag(tag); });
            const float S = start + ProfileOffsetX;
            r.Do([&] { picfrom1.Left(S - 5); });
            r.Do([&] { picfrom.Left(S + 1); });
            r.Do([&] { Picdia(h).Left((start + end) / 2 + ProfileOffsetX - 3); });
        }
        start = end;
    }
}

// The vertical line at chainage 0, on the screen only.
void Form1::ProfileAxis(ProfileRedraw& r) {
    r.Do([&] { LINEplot(ProfileLeftX, 0, ProfileLeftX, ElevScaleHeight, 1, 3, 1); });
}

// Element 0 of every handle array and the two pickers: small boxes over the
// profile, hidden until a redraw lays them.  Elements loaded later copy them.
void Form1::ProfileHandleLayout() {
    if (profileHandlesLaidOut_) return;
    profileHandlesLaidOut_ = true;
    auto box = [](vb::PictureBox& b, double w, double h, int32_t colour) {
        b.Visible(false);
        b.Width(w);
        b.Height(h);
        b.BackColor(colour);
        b.BorderStyle(0);
    };
    box(PGR(0), 2.5, 2.5, AciColor(4));       // ground: cyan
    box(pcover(0), 2.5, 2.5, AciColor(2));    // cover: yellow
    box(plen(0), 2.5, 2.5, AciColor(1));      // length: red
    box(Picdia(0), 6, 2.5, AciColor(5));      // diameter: blue
    box(picfrom, 3, 3, AciColor(3));          // joining laterals: green
    box(picfrom1, 3, 3, AciColor(3));
    VSlope(0).Visible(false);
    VSlope(0).Width(2);
    VSlope(0).Height(20);
}
