// Reading the sewer network from the drawing: each LINE of layer "SEWER" is
// one pipe, its "MAA" record gives its record number and links, its "sewer"
// record the manholes, areas and lateral, its end points the plan position,
// the length and the ground levels.  The new network is built aside and put
// into the main window only when the whole read succeeded.
#include <cmath>
#include <string>
#include <vector>

#include "exchange/acad.h"
#include "exchange/acad_steps.h"
#include "exchange/pipe_limit.h"
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/dialogs.h"

namespace {

// Entry `index` of a record; a record too short for it is a failure.
const vb::Variant& Entry(const cad::XData& record, size_t index) {
    if (index >= record.values.size()) vb::RaiseError(vb::errSubscriptOutOfRange);
    return record.values[index];
}

// Origin and square size of the marker's sheet grid; size 0 when the drawing
// gives none.
struct SheetGrid {
    double originX = 0, originY = 0, size = 0;
};

SheetGrid GridOf(const cad::XData& record) {
    SheetGrid g;
    if (record.size() < 6) return g;
    for (size_t i : {1, 2, 5}) {
        if (!record.values[i].IsNumeric()) return g;
    }
    g.originX = vb::CDbl(record.values[1]);
    g.originY = vb::CDbl(record.values[2]);
    g.size = vb::CDbl(record.values[5]);
    return g;
}

// A number as the pipe field `field` holds it: a single.  A value no single
// can hold (or no finite number at all) is refused naming the field, so that
// no pipe is made with an infinite level or length.
float Single(const char* field, const vb::Variant& v) {
    try {
        return vb::CSng(v);
    } catch (const vb::VbError& e) {
        std::string text;
        try {
            text = vb::CStr(v);
        } catch (const vb::VbError&) {
        }
        throw vb::VbError(e.Number(), std::string("its ") + field + " \"" + text +
                                          "\" is no number a pipe record can hold (" + e.Description() + ")");
    }
}
float Single(const char* field, double v) { return Single(field, vb::Variant(v)); }
// Positions and levels are rounded to the whole number first.
float Whole(const char* field, double v) { return Single(field, vb::RoundHalfEven(v)); }

// Everything a read makes, kept aside until the read has succeeded.
struct DrawingRead {
    int32_t pipeCount = 0;
    std::vector<std::shared_ptr<model::Sewer>> sewers;
    std::vector<RunEntry> links;
    std::vector<std::string> gridRefs;
    std::vector<PipeLinkRow> table;
    int16_t lateralCount = 0;
    std::shared_ptr<model::cNodeCollection> tree;
    std::vector<std::string> laterals;
};

// Reads one line into its slot.  `used` marks the record numbers taken.
void ReadLine(cad::Client& doc, const std::string& line, const SheetGrid& grid, DrawingRead& read,
              std::vector<bool>& used) {
    const int32_t n = static_cast<int32_t>(read.links.size()) - 1;
    const cad::XData maa = doc.GetXData(line, "MAA");
    if (maa.empty()) throw vb::VbError(vb::errInvalidProcedureCall, "it has no \"MAA\" record");
    const int32_t r = vb::CLng(Entry(maa, 1));
    if (r < 1 || r > n) {
        throw vb::VbError(vb::errInvalidProcedureCall, "its record number " + std::to_string(r) +
                                                           " is not one of the pipe numbers 1 to " + std::to_string(n));
    }
    if (used[static_cast<size_t>(r)]) {
        throw vb::VbError(vb::errInvalidProcedureCall,
                          "its record number " + std::to_string(r) + " is used by another line too");
    }
    used[static_cast<size_t>(r)] = true;
    RunEntry& links = read.links[static_cast<size_t>(r)];
    for (auto [index, field] : {std::pair<size_t, int32_t*>{2, &links.NextPipe}, {3, &links.PrevPipe},
                                {4, &links.Branch1}, {5, &links.Branch2}, {7, &links.Link4}}) {
        *field = vb::CInt(Entry(maa, index));
        if (*field < 0 || *field > n) {
            throw vb::VbError(vb::errInvalidProcedureCall,
                              "its link to pipe " + std::to_string(*field) + " points at no pipe");
        }
    }

    const cad::Point start = doc.StartPoint(line);
    const cad::Point end = doc.EndPoint(line);
    if (grid.size > 0) {
        read.gridRefs[static_cast<size_t>(r)] = GridReference(start.x, start.y, grid.originX, grid.originY, grid.size);
    }

    const cad::XData sewer = doc.GetXData(line, "sewer");
    if (sewer.empty()) throw vb::VbError(vb::errInvalidProcedureCall, "it has no \"sewer\" record");
    auto s = std::make_shared<model::Sewer>();
    s->from = vb::CStr(Entry(sewer, 1));
    s->tom = vb::CStr(Entry(sewer, 2));
    s->area1 = Single("area1", Entry(sewer, 4));
    s->area2 = Single("area2", Entry(sewer, 5));
    s->lat = vb::CStr(Entry(sewer, 8));
    // The end points before the length worked out from them, so that a
    // coordinate no single can hold is named itself, not as the length
    // it makes.
    s->x1 = Whole("start x", start.x);
    s->y1 = Whole("start y", start.y);
    s->x2 = Whole("end x", end.x);
    s->y2 = Whole("end y", end.y);
    s->felv = Whole("start z", start.z);
    s->telv = Whole("end z", end.z);
    s->l = Single("length", std::sqrt((end.y - start.y) * (end.y - start.y) + (end.x - start.x) * (end.x - start.x)));
    read.sewers[static_cast<size_t>(r)] = s;
}

// Builds the tree of the read: the root, one node per lateral and under each
// its pipes in downstream order.
void BuildTree(DrawingRead& read) {
    auto& col = *(read.tree = std::make_shared<model::cNodeCollection>());
    auto root = std::make_shared<model::Sewer>();
    root->Name = "Sewer";
    root->Index = 1000;
    AddRecordNode(col, root, {});

    std::vector<std::shared_ptr<model::Sewer>> lateralRecords;
    for (int32_t k = 1; k <= read.lateralCount; ++k) {
        auto lateral = std::make_shared<model::Sewer>();
        lateral->Name = lateral->lat = "Lateral" + std::to_string(k);
        AddRecordNode(col, lateral, {});
        read.laterals.push_back(lateral->Name);
        lateralRecords.push_back(lateral);
    }

    auto link = [&](int32_t pipe) -> const RunEntry& { return read.links[static_cast<size_t>(pipe)]; };
    auto cell = [](const vb::Variant& v) { return v.IsEmpty() ? 0 : vb::CLng(v); };
    // A pipe is placed once: a walk that reaches a placed pipe ends there.
    std::vector<bool> placed(read.links.size());
    for (int32_t k = 1; k <= read.lateralCount; ++k) {
        model::Sewer& lateral = *lateralRecords[static_cast<size_t>(k - 1)];
        const int32_t last = cell(read.table[static_cast<size_t>(k)][2]);
        int32_t j = cell(read.table[static_cast<size_t>(k)][1]);
        bool reachedEnd = false;
        while (j > 0 && !placed[static_cast<size_t>(j)]) {
            placed[static_cast<size_t>(j)] = true;
            auto& pipe = read.sewers[static_cast<size_t>(j)];
            pipe->Index = 200;
            pipe->lat = lateral.Name;
            pipe->Name = "Se" + std::to_string(j);
            AddRecordNode(col, pipe, "Obj" + lateral.Name);
            pipe->ma5 = static_cast<int16_t>(link(j).PrevPipe);
            pipe->ma1 = static_cast<int16_t>(link(j).NextPipe);
            pipe->ma2 = static_cast<int16_t>(link(j).Branch1);
            pipe->ma3 = static_cast<int16_t>(link(j).Branch2);
            const int32_t next = link(j).NextPipe;
            if (j == last || link(next).PrevPipe != j || placed[static_cast<size_t>(next)]) {
                reachedEnd = true;
                break;
            }
            if (next == 0) break;
            j = next;
        }
        if (reachedEnd) {
            const model::Sewer& end = *read.sewers[static_cast<size_t>(j)];
            lateral.telv = end.telv;
            lateral.tinv = end.tinv;
            lateral.dia = end.dia;
        }
    }
}

}  // namespace

std::string GridReference(double x, double y, double originX, double originY, double size) {
    const double column = std::trunc((x - originX) / size);
    const double rowBelow = std::trunc((y - originY) / size);
    // Left of the grid, or beyond the columns three letters can name, there
    // is no reference.
    if (!(column >= 0 && column < 27.0 * 17576 && std::fabs(rowBelow) < 1e12)) return {};
    int64_t c = static_cast<int64_t>(column);
    const int64_t row = static_cast<int64_t>(rowBelow) + 1;
    std::string letters;
    if (c > 17576) {
        letters += static_cast<char>(64 + c / 17576);
        c %= 17576;
    }
    if (c > 676) {
        letters += static_cast<char>(64 + c / 676);
        c %= 676;
    }
    if (c > 26) letters += static_cast<char>(64 + c / 26);
    letters += static_cast<char>(65 + c % 26);
    return letters + std::to_string(row);
}

void AcadGetSewerData() {
    Form1* form = MainForm();
    if (!form) return;

    const std::string set = "temp";
    auto rule = [](const vb::VbError& e) {
        vb::MsgBox(e.Description());
        vb::MsgBox("Export " + e.Description());
        return false;
    };
    auto step = [&](auto&& call) { return AcadStep(set, call, rule); };

    // Step 1: the sheet grid of the marker text.
    SheetGrid grid;
    std::vector<std::string> found;
    if (!step([&] { Attached(AcadDoc).AddSelectionSet(set); })) return;
    if (!step([&] {
            found = SelectMatching(*AcadDoc, set, {0, 8}, {vb::Variant("TEXT"), vb::Variant("VANDU")});
            for (const std::string& text : found) {
                if (AcadDoc->TextString(text) != "VANDU") continue;
                grid = GridOf(AcadDoc->GetXData(text, "Sheetindex"));
                break;
            }
        }))
        return;

    // Step 2: the pipes.
    std::vector<std::string> lines;
    if (!step([&] { Attached(AcadDoc).AddSelectionSet(set); })) return;
    if (!step([&] {
            lines = SelectMatching(*AcadDoc, set, {0, 8}, {vb::Variant("LINE"), vb::Variant("SEWER")});
            // Pipes are linked by their numbers: a drawing with more lines
            // than the links can number is refused before anything is read.
            if (lines.size() > static_cast<size_t>(kMaxLinkedPipes)) {
                const std::string count = GroupedCount(static_cast<int64_t>(lines.size()));
                const std::string first = GroupedCount(int64_t{kMaxLinkedPipes} + 1);
                throw vb::VbError(vb::errOverflow, "The drawing has " + count + " lines on layer SEWER, and the line " +
                                                       lines[static_cast<size_t>(kMaxLinkedPipes)] + " is the " + first +
                                                       "th: nothing was read, because " + TooManyPipesReason() + ".");
            }
        }))
        return;

    // Steps 3 to 5: one pipe per line, into tables of the read's own.
    DrawingRead read;
    const size_t n = lines.size();
    read.links.assign(n + 1, RunEntry{});
    read.sewers.assign(n + 11, nullptr);
    read.gridRefs.assign(n + 11, std::string());
    std::vector<bool> used(n + 1);
    for (const std::string& line : lines) {
        if (!step([&] {
                try {
                    ReadLine(*AcadDoc, line, grid, read, used);
                } catch (const vb::VbError& e) {
                    throw vb::VbError(e.Number(), "The line " + line + " on layer SEWER cannot be read: " + e.Description() + ".");
                }
            }))
            return;
        ++read.pipeCount;
    }

    // Steps 8, 10 and 11 on the read's own tables: the laterals and the tree.
    if (!step([&] {
            BuildPipeLinksOf(read.sewers, read.links, read.pipeCount, read.table, read.lateralCount);
            BuildTree(read);
        }))
        return;

    // The read succeeded: it replaces the network and the read's tables.
    SewerArray = std::move(read.sewers);
    SewerLinks = std::move(read.links);
    SewerGridRefs = std::move(read.gridRefs);
    PipeLinks = std::move(read.table);
    PipeLinkCount = read.lateralCount;
    PipeCount = read.pipeCount;
    form->List1.Clear();
    form->List2.Clear();
    form->UserControl11.tabreset();
    form->ReplaceNetwork(read.tree);
    for (const std::string& name : read.laterals) {
        form->List1.AddItem(name);
        form->UserControl11.AddTab(name);
    }
    vb::MsgBox(std::to_string(PipeCount));
    form->UserControl11.text("Lateral1");
    CurrentLateralName = form->UserControl11.text();
    // The grid shows the record of the lateral the strip names (none in a
    // drawing without pipes), never a record that kept an old pipe's name.
    form->CurrentPipeKey = NodeRecordByKey(form->myCol.get(), "Obj" + CurrentLateralName) ? CurrentLateralName : "";
    form->se_selupdate();
}
