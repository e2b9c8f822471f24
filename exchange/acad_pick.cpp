// "ACAD Pline": lightweight polylines picked in the drawing program become
// new laterals, each edge a pipe with the pipe grid's values, and each pipe's
// name is written beside its edge into the drawing.
#include <cmath>
#include <string>
#include <vector>

#include "exchange/acad.h"
#include "exchange/acad_steps.h"
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"

namespace {

std::string ClosedDuringPick(int laterals) {
    const std::string what = laterals <= 0 ? "nothing was added"
                             : laterals == 1
                                 ? "the lateral made before that stays in the network"
                                 : "the " + std::to_string(laterals) + " laterals made before that stay in the network";
    return "The drawing program was closed during the pick; " + what + ".";
}

}  // namespace

void Form1::WireAcadPick() { Command25.Click = [this] { Command25_Click(); }; }

void Form1::HideAcadPickFrame() { Frame15.Visible(false); }

void Form1::Command25_Click() {
    AcadPrepareDrawing();
    if (!AcadApp) return;   // the preparation has told the user

    // A failure is shown once and ends the pick; the panel goes away with it.
    // The drawing program closed by the user is told in plain words, with
    // what the pick had made by then.
    const std::string set = "SET1";
    auto rule = [this](const vb::VbError& e) {
        vb::MsgBox(e.Number() == cad::kErrGone ? ClosedDuringPick(vb::CInt(vb::Val(Label29.Caption())))
                                                : e.Description());
        return false;
    };
    auto step = [&](const std::function<void()>& call) { return AcadStep(set, call, rule); };

    if (!step([&] {
            Attached(AcadApp).SetVisible(true);
            Attached(AcadApp).SetWindowState(cad::kWindowNormal);
        }))
        return;
    if (!step([&] { Attached(AcadDoc).AddSelectionSet(set); })) return;
    Label29.Caption("0");
    Frame15.Visible(true);

    std::vector<std::string> picked;
    bool ok = step([&] {
        Attached(AcadDoc).SelectOnScreen(set);
        picked = Attached(AcadDoc).SelectionSetEntities(set);
    });
    for (size_t i = 0; ok && i < picked.size(); ++i) {
        std::string kind;
        ok = step([&] { kind = Attached(AcadDoc).EntityName(picked[i]); });
        if (ok && kind == "AcDbPolyline") ok = PickPolylineLateral(picked[i], step);
    }
    if (ok) step([&] { Attached(AcadApp).SetWindowState(cad::kWindowMinimized); });
    HideAcadPickFrame();
}

bool Form1::PickPolylineLateral(const std::string& polyline,
                                const std::function<bool(const std::function<void()>&)>& step) {
    // The lateral: the first free number, so that no name is taken twice.
    CurrentLateralName.clear();
    const int32_t k = NextFreeNumber("Lateral", 1);
    Label29.Caption(vb::NumberToText(vb::Val(Label29.Caption()) + 1));
    LateralCount += 1;
    auto lateral = StoreNewLateral(k);
    if (!lateral) return false;
    ShowNewLateral(lateral->Name);
    // Each pipe node carries the lateral's Index and lat in its elements 1 and 2.
    const vb::Variant index(lateral->Index);
    const vb::Variant lat(lateral->lat);

    std::vector<double> xy;
    if (!step([&] { xy = Attached(AcadDoc).Coordinates(polyline); })) return false;
    if (xy.size() < 2) return true;
    double x1 = xy[0], y1 = xy[1];
    for (size_t j = 2; j + 1 < xy.size(); j += 2) {
        const double x2 = xy[j], y2 = xy[j + 1];
        // The pipe takes the grid's values (the lateral's, which the grid
        // shows) and the edge's position and length; a pipe number in use is
        // skipped.
        std::string rows[7];
        for (int row = 1; row <= 6; ++row) rows[row] = MSHFlexGrid2.TextMatrix(row, 1);
        auto pipe = std::make_shared<model::Sewer>();
        PipeValuesFromGrid(*pipe, rows, true);
        SetNewPipeEnds(*pipe);
        // The edge as the record stores it, in singles: its ends, then its
        // length.  One no single can hold is refused naming the edge, before
        // the pipe is added.
        float edge[5] = {};
        if (!step([&] {
                const double values[5] = {x1, y1, x2, y2, std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1))};
                static const char* const kWhat[5] = {"start x", "start y", "end x", "end y", "length"};
                for (int v = 0; v < 5; ++v) {
                    try {
                        edge[v] = vb::CSng(values[v]);
                    } catch (const vb::VbError& e) {
                        throw vb::VbError(e.Number(), "The polyline " + polyline + " cannot be read: the " + kWhat[v] +
                                                          " of its edge " + std::to_string(j / 2) + ", \"" +
                                                          vb::NumberToText(values[v]) +
                                                          "\", is no number a pipe record can hold (" + e.Description() +
                                                          "). The pick ended there.");
                    }
                }
            }))
            return false;
        PipeCount = NextFreeNumber("Se ", PipeCount + 1);
        pipe->Index = 200;
        pipe->lat = CurrentLateralName;
        pipe->Name = "Se " + std::to_string(PipeCount);
        if (!StoreNode(pipe, "Obj" + CurrentLateralName, vb::Variant(), index, lat)) return false;
        pipe->x1 = edge[0];
        pipe->y1 = edge[1];
        pipe->x2 = edge[2];
        pipe->y2 = edge[3];
        pipe->l = edge[4];

        // The label reads along the edge, never upside down: directions
        // beyond 90 degrees turn half round, and a nearly vertical edge drawn
        // downwards reads upwards.
        double slope = 0, angle = 0, d = 0;
        LineAngle(x1, y1, x2, y2, slope, angle, d);
        if (d > 90 && d < 360) d -= 180;
        if (d > -90 && d < -85) d -= 180;
        const double r = d * 3.14 / 180;
        const cad::Point at{(x1 + x2) / 2 - 5 * std::sin(r), (y1 + y2) / 2 + 5 * std::cos(r), 0};
        if (!step([&] {
                cad::Client& space = Attached(AcadModelSpace);
                const std::string text = space.AddText(pipe->Name, at, 1);
                space.SetRotation(text, 3.14159 * d / 180);
            }))
            return false;
        x1 = x2;
        y1 = y2;
    }
    return true;
}
