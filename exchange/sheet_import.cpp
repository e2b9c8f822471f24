#include "exchange/sheet_import.h"

#include <unordered_map>

#include "exchange/excel.h"
#include "exchange/pipe_limit.h"
#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"
#include "platform/ui/dialogs.h"

namespace {

// One link record per pipe: the pipe numbers it meets (0 for none).
struct PipeLinks {
    int32_t NextPipe = 0;   // leaves this pipe's downstream manhole (first found)
    int32_t Branch1 = 0;    // other pipes ending at this pipe's downstream manhole
    int32_t Branch2 = 0;
    int32_t PrevPipe = 0;   // flows into this pipe's upstream manhole (first found)
};

// A cell that cannot become its property stops the import before anything
// is built; the message names the cell.
struct CellError {
    int32_t row, col;   // col is kCoverColumn for the cover worked out from the row
    std::string text, description;
};
constexpr int32_t kCoverColumn = -1;

bool IsBlankCell(const vb::Variant& v) { return v.IsEmpty() || (v.IsString() && v.RawString().empty()); }

// The row that ends the pipe rows: "END" in its first cell, or its first
// four cells empty.
bool EndsPipeRows(const sheet::Sheet& sheet, int32_t row) {
    const vb::Variant first = sheet.Value(row, 1);
    if (first.IsString() && first.RawString() == "END") return true;
    return IsBlankCell(first) && IsBlankCell(sheet.Value(row, 2)) && IsBlankCell(sheet.Value(row, 3)) &&
           IsBlankCell(sheet.Value(row, 4));
}

// Reads one pipe row into a new record (columns 1 to 14, then the cover).
// Every number goes into its field through the field's own type, so a value
// no single can hold is refused with its cell, never stored as an infinity.
std::shared_ptr<model::Sewer> ReadPipeRow(const sheet::Sheet& sheet, int32_t row) {
    auto s = std::make_shared<model::Sewer>();
    int32_t col = 0;
    try {
        auto cell = [&](int32_t c) {
            col = c;
            return sheet.Value(row, c);
        };
        // The numeric value of the cell's text: its leading number, "." as
        // the decimal point whatever the locale, 0 when it has none.
        auto number = [&](int32_t c) { return vb::Val(CellText(cell(c))); };
        s->from = CellText(cell(1));
        s->tom = CellText(cell(2));
        s->felv = vb::CSng(number(3));
        s->telv = vb::CSng(number(4));
        s->l = vb::CSng(number(5));
        s->finv = vb::CSng(number(6));
        s->tinv = vb::CSng(number(7));
        s->dia = vb::CInt(number(8));
        s->slope = vb::CSng(number(9));
        col = kCoverColumn;
        s->mincover = vb::CSng(double(s->felv) - double(s->finv) - s->dia / 1000.0);
        s->lat = CellText(cell(10));
        // The coordinates must be numbers (or empty, which is 0).
        s->x1 = vb::CSng(cell(11));
        s->y1 = vb::CSng(cell(12));
        s->x2 = vb::CSng(cell(13));
        s->y2 = vb::CSng(cell(14));
    } catch (const vb::VbError& e) {
        if (col == kCoverColumn) {
            throw CellError{row, col, vb::SingleToText(s->felv) + ", " + vb::SingleToText(s->finv) + " and " +
                                          std::to_string(s->dia), e.Description()};
        }
        throw CellError{row, col, CellText(sheet.Value(row, col)), e.Description()};
    }
    return s;
}

// Manhole names compared trimmed and exactly, as small numbers.
class NameIds {
public:
    int32_t Of(const std::string& name) {
        auto [it, added] = ids_.emplace(vb::Trim(name), static_cast<int32_t>(ids_.size()));
        return it->second;
    }

private:
    std::unordered_map<std::string, int32_t> ids_;
};

// Finds how the pipes meet through their manhole names and reports faulty
// links.  Pipe i is compared with every pipe j from the last down to the
// first, so the first pipe found upstream or downstream is the
// highest-numbered one.
void ScanConnections(std::vector<std::shared_ptr<model::Sewer>>& pipes, std::vector<PipeLinks>& links) {
    const int32_t n = static_cast<int32_t>(pipes.size()) - 1;
    NameIds names;
    std::vector<int32_t> from(n + 1), tom(n + 1);
    for (int32_t p = 1; p <= n; ++p) {
        from[p] = names.Of(pipes[p]->from);
        tom[p] = names.Of(pipes[p]->tom);
    }
    for (int32_t i = 1; i <= n; ++i) {
        model::Sewer& pi = *pipes[i];
        // Outfalls left blank (or "0") get a manhole of their own, so that
        // they do not all meet at one.
        const std::string t = vb::Trim(pi.tom);
        if (t == "0" || t.empty()) {
            pi.tom = "0-" + std::to_string(i);
            tom[i] = names.Of(pi.tom);
        }
        bool fromIsToTold = false;
        for (int32_t j = n; j >= 1; --j) {
            model::Sewer& pj = *pipes[j];
            if (tom[j] == from[i]) {
                if (links[i].PrevPipe == 0) links[i].PrevPipe = j;
                pj.telv = pi.felv;
            }
            if (from[j] == tom[i]) {
                pi.telv = pj.felv;
                if (links[i].NextPipe == 0) links[i].NextPipe = j;
            }
            if (tom[j] == tom[i] && i != j) {
                if (links[j].Branch1 == 0) {
                    links[j].Branch1 = i;
                } else if (links[j].Branch2 == 0) {
                    links[j].Branch2 = i;
                } else {
                    vb::MsgBox("Many Bransh To " + pi.tom + "(Maximum = 3)");
                }
            }
            if (from[j] == from[i] && i != j) {
                vb::MsgBox("Error: Line" + std::to_string(i) + "& Line" + std::to_string(j) + "From" + pi.from + "!!");
                pi.from = "*" + vb::Trim(pi.from);
                from[i] = names.Of(pi.from);
            } else if (from[i] == tom[i] && !fromIsToTold) {
                // Told once per pipe: the check depends on pipe i alone.
                vb::MsgBox("Error: Line" + std::to_string(i) + "  From = To  !!");
                fromIsToTold = true;
            }
        }
    }
}

std::string PipeName(int32_t p) { return "Se " + std::to_string(p); }

}  // namespace

std::optional<SheetNetwork> BuildNetworkFromSheet(const sheet::Sheet& sheet, const ImportProgress& progress) {
    auto report = [&](const std::string& text) {
        if (progress) progress(text);
    };
    // The pipes link to each other by their numbers in 16-bit fields: a
    // sheet of more pipes than those can number is refused before any row
    // is read.
    int32_t rows = 0;
    while (!EndsPipeRows(sheet, rows + 3)) ++rows;   // rows beyond the sheet are empty
    if (rows > kMaxLinkedPipes) {
        vb::MsgBox("The sheet holds " + GroupedCount(rows) + " pipes, so nothing was imported: " + TooManyPipesReason() + ".");
        return std::nullopt;
    }
    // Reading: pipe p is on sheet row p + 2.
    std::vector<std::shared_ptr<model::Sewer>> pipes(1);
    try {
        for (int32_t row = 3; row < rows + 3; ++row) {
            pipes.push_back(ReadPipeRow(sheet, row));
            report(" Row=" + std::to_string(row));
        }
    } catch (const CellError& e) {
        if (e.col == kCoverColumn) {
            vb::MsgBox("Row " + std::to_string(e.row) + ": the minimum cover worked out from columns 3, 6 and 8 (" + e.text +
                       ") cannot be held (" + e.description + "). Nothing was imported.");
        } else {
            vb::MsgBox("Row " + std::to_string(e.row) + ", column " + std::to_string(e.col) + ": \"" + e.text +
                       "\" cannot be read (" + e.description + "). Nothing was imported.");
        }
        return std::nullopt;
    }
    const int32_t n = static_cast<int32_t>(pipes.size()) - 1;

    std::vector<PipeLinks> links(n + 2);
    ScanConnections(pipes, links);
    report("Net... ");

    SheetNetwork net;
    net.pipeCount = n;
    net.tree = std::make_shared<model::cNodeCollection>();
    auto& col = *net.tree;
    try {
        auto root = std::make_shared<model::Sewer>();
        root->Name = "Sewer";
        root->Index = 1000;
        AddRecordNode(col, root, "");

        // Every pipe with nothing flowing into its upstream manhole starts a lateral.
        std::vector<int32_t> heads;
        std::vector<std::shared_ptr<model::Sewer>> lateralRecords;
        for (int32_t i = 1; i <= n; ++i) {
            if (links[i].PrevPipe != 0) continue;
            heads.push_back(i);
            auto lat = std::make_shared<model::Sewer>();
            lat->Name = "Lateral " + std::to_string(heads.size());
            lat->lat = lat->Name;
            AddRecordNode(col, lat, "");
            net.laterals.push_back(lat->Name);
            lateralRecords.push_back(lat);
        }

        // Each lateral follows its chain downstream while the next pipe's
        // upstream pipe is the one just placed.
        std::vector<bool> placed(n + 1, false);
        for (size_t k = 0; k < heads.size(); ++k) {
            const std::string& name = net.laterals[k];
            model::Sewer& lat = *lateralRecords[k];
            int32_t p = heads[k];
            for (;;) {
                model::Sewer& pipe = *pipes[p];
                pipe.Index = 200;
                pipe.lat = name;
                pipe.Name = PipeName(p);
                AddRecordNode(col, pipes[p], "Obj" + name);
                pipe.LetProperty("ma5", vb::Variant(links[p].PrevPipe));
                pipe.LetProperty("ma1", vb::Variant(links[p].NextPipe));
                pipe.LetProperty("ma2", vb::Variant(links[p].Branch1));
                pipe.LetProperty("ma3", vb::Variant(links[p].Branch2));
                placed[p] = true;
                const int32_t next = links[p].NextPipe;
                if (next == 0 || links[next].PrevPipe != p) break;
                p = next;
            }
            lat.telv = pipes[p]->telv;
            lat.tinv = pipes[p]->tinv;
            lat.dia = pipes[p]->dia;
        }

        // Pipes no chain reaches (a ring without a head, or a pipe whose
        // upstream pipe goes on into another pipe) are not in the tree: say which.
        std::string lost;
        int32_t lostCount = 0;
        for (int32_t p = 1; p <= n; ++p) {
            if (placed[p]) continue;
            if (++lostCount <= 20) lost += (lost.empty() ? "" : ", ") + PipeName(p) + " (row " + std::to_string(p + 2) + ")";
        }
        if (lostCount > 20) lost += " and " + std::to_string(lostCount - 20) + " more";
        if (lostCount > 0) {
            net.leftOut = std::to_string(lostCount) + " pipe(s) are in no lateral and were left out of the network: " + lost;
        }
    } catch (const vb::VbError& e) {
        vb::MsgBox(e.Description() + ". Nothing was imported.");
        return std::nullopt;
    }
    return net;
}

bool ImportNetworkSheet(Form1& main, const ImportProgress& progress) {
    // Attach to the program the user runs; it is never started here.
    std::shared_ptr<sheet::SheetClient> app = AttachRunningExcel();
    std::shared_ptr<const sheet::Sheet> sheet;
    std::string book;
    try {
        if (app) book = app->ActiveWorkbook();
        if (!book.empty()) sheet = app->ActiveSheet();
    } catch (const vb::VbError& e) {
        vb::MsgBox(e.Description());
        return false;
    }
    if (!app || book.empty() || !sheet) {
        vb::MsgBox("Please Open Excle file");
        return false;
    }
    ExcelApp = app;
    ExcelBook = book;
    ExcelSheet = sheet;

    std::optional<SheetNetwork> net = BuildNetworkFromSheet(*sheet, progress);
    if (!net) return false;

    // The import succeeded: the new network replaces the old one.
    main.UserControl11.tabreset();
    main.ReplaceNetwork(net->tree);
    PipeCount = net->pipeCount;
    main.List1.Clear();
    main.List2.Clear();
    for (const auto& name : net->laterals) {
        main.List1.AddItem(name);
        main.UserControl11.AddTab(name);
    }
    vb::MsgBox(std::to_string(net->laterals.size()));
    if (!net->leftOut.empty()) vb::MsgBox(net->leftOut);
    main.UserControl11.text("Lateral 1");
    CurrentLateralName = main.UserControl11.text();
    // The grid shows the record of the lateral the strip names (none in a
    // sheet without pipes), never a record that kept an old pipe's name.
    main.CurrentPipeKey = NodeRecordByKey(main.myCol.get(), "Obj" + CurrentLateralName) ? CurrentLateralName : "";
    main.se_selupdate();
    return true;
}
