// The profile routine: the table of configurable rows under the profile.
#include <string>

#include "mainwindow/form1.h"
#include "profile/draw_state.h"
#include "profile/format.h"
#include "profile/profile_config.h"
#include "platform/runtime/conversions.h"

namespace {

std::string Fixed(double v, int16_t decimals) { return vb::CStr(FormatFixed(v, decimals)); }

}  // namespace

// The label column once per redraw: each shown row's lower edge in the label
// column and across the profile, its label, and the column's borders.
void Form1::ProfileRowLabels(ProfileRedraw& r) {
    const float x = ProfileLeftX;
    float y = 0;
    r.Do([&] { LINEplot(x - 80, 0, x, 0, DxfMode, 3, 1); });
    for (int row = 1; row <= 20; ++row) {
        const ProfileRowRecord& rec = ProfileRowTable.at(static_cast<size_t>(row));
        if (!rec.Visible) continue;
        y = y - rec.RowHeight;
        r.Do([&] { LINEplot(x - 80, y, x, y, DxfMode, 3, 1); });
        r.Do([&] { LINEplot(x, y, x + r.lateral->tl + 20, y, DxfMode, 2, 1); });
        r.Do([&] { textplot(x - 76, y + 0.1, 3, 4, 0, "S", rec.Label.Trimmed(), DxfMode, 0); });
    }
    r.Do([&] { LINEplot(x - 80, 0, x - 80, y, DxfMode, 3, 1); });
    r.Do([&] { LINEplot(x, 0, x, y, DxfMode, 3, 1); });
    r.Do([&] {
        const float right = x + r.lateral->l + 20;
        LINEplot(right, 0, right, y, DxfMode, 2, 1);
    });
}

// The cells of pipe i (start x s, end x e) in every shown row.
void Form1::ProfileRowCells(ProfileRedraw& r, int i, float s, float e) {
    const bool last = i == RunCount;
    float top = 0;
    for (int row = 1; row <= 20; ++row) {
        const ProfileRowRecord& rec = ProfileRowTable.at(static_cast<size_t>(row));
        if (!rec.Visible) continue;
        std::string startText, endText;
        const float bottom = top - rec.RowHeight;
        if (rec.RowHeight0 > 0) {
            r.Do([&] { LINEplot(s, top, s, bottom, DxfMode, 21, 1); });
        }
        const std::string label = rec.Label.Trimmed();
        const float textY = bottom + rec.Vspace;
        r.Do([&] {
            const model::Sewer& p = r.P(i);
            if (label == "Staition/Manhole") {
                startText = p.from;
                if (last) {
                    endText = p.tom;
                    // The run's last manhole is named at the end of the run
                    // whatever the row's placement code.
                    textplot(e + rec.Hspace, textY, rec.Color, rec.TextHeight, rec.Rotation, "S",
                             p.tom, DxfMode, 0);
                }
            } else if (label == "Invert Elevation") {
                startText = Fixed(p.finv, 3);
                if (last) endText = Fixed(p.tinv, 3);
            } else if (label == "Ground Elevation") {
                startText = Fixed(p.felv, 3);
                if (last) endText = Fixed(p.telv, 3);
            } else if (label == "Slope") {
                startText = Fixed(p.slope, 4);
            } else if (label == "Diameter") {
                startText = std::to_string(p.dia);
            } else if (label == "Distance") {
                startText = Fixed(p.l, 1);
            } else if (label == "KM") {
                if (i == 1) startText = "0+00";
                endText = vb::CStr(FormatChainage(p.tl));
            } else if (label == "Depth") {
                startText = Fixed(static_cast<double>(p.felv - p.finv), 2);
                if (last) endText = Fixed(static_cast<double>(p.telv - p.tinv), 2);
            } else if (label == "Drop") {
                if (i > 1) startText = Fixed(static_cast<double>(r.P(i - 1).tinv - p.finv), 1);
            }
        });
        if (vb::UCase(rec.Code.Text()) == "M") {
            r.Do([&] {
                textplot((s + e) / 2 + rec.Hspace, textY, rec.Color, rec.TextHeight, rec.Rotation,
                         "S", startText, DxfMode, 0);
            });
        } else {
            r.Do([&] {
                textplot(s + rec.Hspace, textY, rec.Color, rec.TextHeight, rec.Rotation, "S",
                         startText, DxfMode, 0);
            });
            r.Do([&] {
                textplot(e + rec.Hspace, textY, rec.Color, rec.TextHeight, rec.Rotation, "S",
                         endText, DxfMode, 0);
            });
        }
        if (rec.RowHeight0 > 0 && last) {
            r.Do([&] { LINEplot(e, top, e, top - rec.RowHeight, DxfMode, 21, 1); });
        }
        top = bottom;
    }
}
