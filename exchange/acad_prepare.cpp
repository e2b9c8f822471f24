// Attaching to the drawing program and preparing its drawing: the system's
// layers, the design-data marker, the layer "Error" and the block "Endblock".
#include <algorithm>
#include <utility>
#include <vector>

#include "exchange/acad.h"
#include "exchange/acad_steps.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/dialogs.h"

namespace {

// The system's layers in the order they are added; colour 0 sets none.
const std::pair<const char*, int> kLayers[] = {
    {"Pview", 0},     {"EDIT", 0},      {"sewer", 1},     {"area", 6},         {"subarea", 60},
    {"area-pline", 60}, {"Den-pline", 5}, {"area-density", 3}, {"density", 0}, {"Latral", 5},
    {"SHEET-index", 0}, {"Grid", 0},      {"POP-TXT", 4},   {"Elevation", 7},    {"GELV", 2},
};

// The lines whose starts place a new marker: at most this many.
constexpr size_t kMarkerLines = 100;

// One extended-data record: the application's name and its entries.
cad::XData Record(const std::string& application, std::vector<std::pair<int16_t, vb::Variant>> entries) {
    cad::XData x;
    x.types.push_back(1001);
    x.values.emplace_back(application);
    for (auto& [type, value] : entries) {
        x.types.push_back(type);
        x.values.push_back(std::move(value));
    }
    return x;
}

cad::XData Reals(const std::string& application, std::initializer_list<double> values) {
    std::vector<std::pair<int16_t, vb::Variant>> entries;
    for (double v : values) entries.emplace_back(int16_t(1040), vb::Variant(v));
    return Record(application, std::move(entries));
}

// The design-data records of the marker text, each with its own entries only.
std::vector<cad::XData> TextRecords() {
    std::vector<std::pair<int16_t, vb::Variant>> criteria;
    for (double v : {0.0, 0.0, 100.0, 100.0, 0.0, 0.0, 1.2, 0.0, 1.0, 0.0}) criteria.emplace_back(int16_t(1040), vb::Variant(v));
    criteria.emplace_back(int16_t(1000), vb::Variant("N"));
    criteria.emplace_back(int16_t(1040), vb::Variant(5.0));
    std::vector<std::pair<int16_t, vb::Variant>> title;
    for (int i = 1; i <= 6; ++i) title.emplace_back(int16_t(1000), vb::Variant(std::string()));
    return {
        Record("Criteria", std::move(criteria)),
        Reals("Runoff", {0, 0, 0, 0, 0, 180, 0, 0, 0, 0.5, 4, 1}),
        Reals("Infiltration", {1, 0, 0, 0, 0, 0}),
        Reals("Population", {1, 0, 0, 0, 0, 1}),
        Record("Title", std::move(title)),
    };
}

bool SameName(const std::string& a, const std::string& b) {
    return vb::UCase(a) == vb::UCase(b);
}

}  // namespace

void AcadPrepareDrawing() {
    // Step 1: attach.  Without a running drawing program nothing is attached.
    try {
        AcadApp = cad::Attach();
    } catch (const std::exception&) {
        ForgetAcad();
        vb::MsgBox("Please open AutoCAD");
        return;
    }
    AcadDoc = AcadApp;
    AcadModelSpace = AcadApp;

    std::string set;   // the selection set a duplicate-name failure deletes
    auto rule = [](const vb::VbError& e) {
        if (e.Number() == cad::kErrKeyNotFound) {
            // The block "Endblock" is missing: add it and go on.
            try {
                Attached(AcadDoc).AddBlock({0, 0, 0}, "Endblock");
                return true;
            } catch (const vb::VbError& again) {
                ForgetAcadWhenGone(again);
                vb::MsgBox(again.Description());
                return false;
            }
        }
        vb::MsgBox(e.Description());
        return false;
    };
    auto step = [&](auto&& call) { return AcadStep(set, call, rule); };
    // Held here: a failure that finds the program gone clears the shared
    // objects, and the procedure then ends.
    const cad::ClientRef app = AcadApp, document = AcadDoc, modelSpace = AcadModelSpace;
    cad::Client& doc = *document;
    cad::Client& space = *modelSpace;

    // Steps 3 and 4: show the program; refuse release 14.
    std::string version;
    if (!step([&] { app->SetVisible(true); })) return;
    if (!step([&] { version = app->Version(); })) return;
    if (vb::Val(version) == 14) {
        vb::MsgBox("Error :Work With AUTOCAD 14)");
        return;
    }

    // Steps 5 and 6: the layers, the active layer.
    for (const auto& [name, color] : kLayers) {
        if (!step([&] { doc.AddLayer(name); })) return;
        if (color != 0 && !step([&] { doc.SetLayerColor(name, color); })) return;
    }
    if (!step([&] { doc.SetActiveLayer("sewer"); })) return;

    // Step 7: an existing marker circle is the anchor.
    cad::Point marker;
    bool anchored = false;
    set = "TEST3";
    if (!step([&] { doc.AddSelectionSet(set); })) return;
    std::vector<std::string> found;
    if (!step([&] { found = SelectMatching(doc, set, {0, 8}, {vb::Variant("CIRCLE"), vb::Variant("VANDU")}); }))
        return;
    for (const std::string& h : found) {
        bool isAnchor = false;
        if (!step([&] { isAnchor = SameName(doc.Layer(h), "VANDU") && doc.EntityName(h) == "AcDbCircle"; })) return;
        if (isAnchor) {
            cad::Point c;
            if (!step([&] { c = doc.Center(h); })) return;
            marker.x = c.x;
            marker.y = c.y;
            anchored = true;
            break;
        }
    }

    if (!anchored) {
        // Step 8: place the marker beyond the starts of the drawing's lines.
        if (!step([&] { doc.AddSelectionSet(set); })) return;
        std::vector<std::string> lines;
        if (!step([&] { lines = SelectMatching(doc, set, {0, 0}, {vb::Variant("Line"), vb::Variant("Line")}); }))
            return;
        lines.resize(std::min(lines.size(), kMarkerLines));
        for (const std::string& h : lines) {
            cad::Point start;
            if (!step([&] { start = doc.StartPoint(h); })) return;
            if (marker.x < start.x) marker.x = start.x + 500;
            if (marker.y < start.y) marker.y = start.y + 500;
        }

        // Steps 9 and 10: the pipe-size circles with their records.
        if (!step([&] { doc.AddLayer("VANDU"); })) return;
        for (int d : {20, 25, 30, 35, 40, 50, 60, 70, 80, 90, 100}) {
            const double minSlope = d <= 40 ? 0.004 : 0.002;
            if (!step([&] {
                    const std::string circle = space.AddCircle(marker, d / 2.0);
                    doc.SetLayer(circle, "VANDU");
                    doc.SetXData(circle, Reals("Diameter", {10 * doc.Diameter(circle), minSlope, 3, 0.7, 0.013, 0, 0, 0, 2, 1}));
                }))
                return;
        }

        // Steps 11 and 12: the text "VANDU" with the design-data records.
        std::string text;
        if (!step([&] { text = space.AddText("VANDU", marker, 100); })) return;
        if (!step([&] { doc.SetLayer(text, "VANDU"); })) return;
        if (!step([&] { doc.SetAlignment(text, 4); })) return;
        if (!step([&] { doc.SetTextAlignmentPoint(text, marker); })) return;
        for (const cad::XData& record : TextRecords()) {
            if (!step([&] { doc.SetXData(text, record); })) return;
        }
    }

    // Steps 13 and 14: the layer "Error" and the block "Endblock" (the rule
    // adds the block when the look-up finds none).
    if (!step([&] { doc.AddLayer("Error"); })) return;
    step([&] { doc.BlockItem("Endblock"); });
}
