// The profile routine: ground, invert and crown lines, manhole walls, drop
// lines, the labels of joining laterals, the pickers and the closing steps.
#include <string>

#include "mainwindow/form1.h"
#include "profile/draw_state.h"
#include "platform/runtime/conversions.h"

// Pipe i from start x s to end x e, after its table cells and verticals.
void Form1::ProfilePipeLines(ProfileRedraw& r, int i, float s, float e) {
    const model::Sewer& p = r.P(i);
    const float G1 = p.felv + ElevationShift;
    const float G2 = p.telv + ElevationShift;
    const float I1 = p.finv + ElevationShift;
    const float I2 = p.tinv + ElevationShift;
    const double C = p.dia / 1000.0;
    const bool first = i == 1;
    const bool last = i == RunCount;

    // Ground, invert (the first pipe's also closes the first manhole's
    // bottom) and crown between the manhole walls.
    r.Do([&] { LINEplot(s, G1 + 0.1, e, G2 + 0.1, DxfMode, 4, 1); });
    r.Do([&] { LINEplot(first ? s - 1 : s, I1, e, I2, DxfMode, 5, 1); });
    r.Do([&] { LINEplot(s + 1, I1 + C, e - 1, I2 + C, DxfMode, 5, 1); });
    // Manhole walls.
    r.Do([&] { LINEplot(s + 1, G1, s + 1, I1 + C, DxfMode, 5, 1); });
    r.Do([&] { LINEplot(e - 1, G2, e - 1, I2 + C, DxfMode, 5, 1); });
    if (first) r.Do([&] { LINEplot(s - 1, G1, s - 1, I1, DxfMode, 5, 1); });
    if (last) r.Do([&] { LINEplot(e + 1, G2, e + 1, I2 + C, DxfMode, 5, 1); });
    // Drop at the downstream manhole: down to the next pipe's upstream
    // invert (with this pipe's shift), or to the table for the last pipe.
    r.Do([&] {
        const float d = last ? 0.0f : I2 - (p.tinv - r.P(i + 1).finv);
        LINEplot(e - 1, I2, e - 1, d, DxfMode, 5, 1);
    });
    // Laterals joining at the upstream manhole, when they name this pipe back.
    // A link field that names no node (a number a file may hold) is no link:
    // it gets no label.
    const int32_t node = r.pipes[static_cast<size_t>(i)].node;
    auto linked = [&](int16_t link) { return link > 0 ? NodeRecordByIndex(myCol.get(), link) : nullptr; };
    auto joining = [&](int16_t link, float x) {
        auto joined = linked(link);
        if (joined && joined->ma1 == node) {
            r.Do([&] { textplot(x, G1 - 1, 3, 4, 90, "S", "From" + joined->Name, DxfMode, 0); });
        }
    };
    joining(p.ma2, s + 4);
    joining(p.ma3, s - 3);
    // Where the shown lateral flows to.
    if (auto target = last ? linked(r.lateral->ma1) : nullptr) {
        r.Do([&] { textplot(e + 5, I2 - 1, 3, 4, 0, "S", "To " + target->Name, DxfMode, 0); });
    }
    // The pickers follow the ground of the pipe (unscaled, as laid out).
    r.Do([&] { picfrom.Top(ProfileOffsetY - G1 - 2); });
    r.Do([&] { picfrom1.Top(ProfileOffsetY - G1 - 2); });
    // Next pipe.
    ProfileLeftX = e;
}

// Clears the second picture, prints each pipe's plan x at its plan position
// on the profile picture, and resets the draw widths.
void Form1::ProfileClosingSteps(ProfileRedraw& r, int16_t picture2DrawWidth) {
    r.Do([&] { Picture2.Cls(); });
    for (int i = 1; i <= RunCount; ++i) {
        const model::Sewer& p = r.P(i);
        r.Do([&] { FontStuff(p.x1, p.y1, vb::SingleToText(p.x1), 0, 2, 4); });
    }
    r.Do([&] { Picture2.DrawWidth(picture2DrawWidth); });
    r.Do([&] { Picture1.DrawWidth(1); });
    r.Do([&] { Picture2.DrawWidth(1); });
}
