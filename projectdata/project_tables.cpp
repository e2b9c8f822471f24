// The pipe table and the pipe-size table: views of the main window's network,
// filled when their buttons are pressed; the pipe sizes are also copied into
// PipeSizeTable.
#include <string_view>

#include "mainwindow/form1.h"
#include "mainwindow/network_access.h"
#include "projectdata/form3.h"
#include "projectdata/pipe_size_table.h"

namespace {
// Headers and properties of the pipe table's columns 1 to 10.
constexpr const char* kPipeHeaders[11] = {"",       "Name",   "From",   "To",  "Length", "GrF-El.",
                                          "GrT-El", "Inv-El", "Inv-El", "Dia", "Slope"};
constexpr const char* kPipeProperties[11] = {"", "Name", "from", "tom", "l", "felv", "telv", "finv", "tinv", "dia",
                                             "slope"};
constexpr const char* kSizeHeaders[8] = {"",          "Diameter",  "MinSlope",   "MaxVelocity",
                                         "n Manning", "Max H/D",   "Pipe Price", "Piping Price"};

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The top-level nodes of the network, in tree order, with their records.
template <class Visit>
void ForEachTopLevelNode(const model::cNodeCollection& col, Visit visit) {
    const int32_t limit = col.ItemCount();
    int32_t n = col.FirstSibling(vb::Variant("ObjSewer"));
    for (int32_t guard = 0; n > 0 && guard <= limit; ++guard) {
        if (auto s = NodeRecordByIndex(&col, n)) visit(n, *s);
        n = col.NextSibling(vb::Variant(n));
    }
}

void ResetTable(Form3::ProjectTable& table) {
    table.TableNodes.assign(1, 0);
    table.NodeKeys.assign(1, std::string());
}

void AppendNode(Form3::ProjectTable& table, const model::cNodeCollection& col, int32_t node) {
    table.TableNodes.push_back(node);
    table.NodeKeys.push_back(col.Key(vb::Variant(node)));
}
}  // namespace

void Form3::BuildTables() {
    MSHFlexGrid1.Move(200, 70, 10000, 5000);
    MSHFlexGrid1.Cols(11);
    MSHFlexGrid2.Move(200, 300, 9000, 4500);
    MSHFlexGrid2.Cols(9);
    Text20.Visible(false);
    Text3.Visible(false);
}

void Form3::rctitel(int col) {
    if (col >= 1 && col <= 8) MSHFlexGrid1.TextMatrix(0, col, kPipeHeaders[col]);
}

void Form3::Command1_Click() {
    Form_Resize();
    if (Frame16.Visible()) {
        Frame16.Visible(false);
    } else {
        // The panels share one place and a frame does not cover what lies
        // under it, so the one shown hides the others.
        Frame16.Visible(true);
        Frame4.Visible(false);
        Frame5.Visible(false);
        Frame15.Visible(false);
    }

    ResetTable(PipeTable);
    Form1* main = MainForm();
    const model::cNodeCollection* col = main ? main->myCol.get() : nullptr;
    if (col) {
        std::vector<int32_t> laterals;
        ForEachTopLevelNode(*col, [&](int32_t n, const model::Sewer& s) {
            if (StartsWith(s.Name, "Lateral")) laterals.push_back(n);
        });
        const int32_t limit = col->ItemCount();
        for (int32_t lateral : laterals) {
            int32_t child = col->FirstChild(vb::Variant(lateral));
            for (int32_t guard = 0; child > 0 && guard <= limit; ++guard) {
                auto s = NodeRecordByIndex(col, child);
                if (!s || !StartsWith(s->Name, "Se")) break;
                AppendNode(PipeTable, *col, child);
                child = col->NextSibling(vb::Variant(child));
            }
        }
    }

    // A refilled table starts without its editor, which held a cell of the
    // table as it was.
    Text20.Visible(false);
    PipeTable.Typed = false;
    const int pipes = static_cast<int>(PipeTable.TableNodes.size()) - 1;
    MSHFlexGrid1.Cols(11);
    MSHFlexGrid1.Rows(pipes + 1);
    for (int c = 1; c <= 10; ++c) {
        PipeTable.ColumnCodes[c] = static_cast<int16_t>(c);
        rctitel(c);
    }
    for (int c = 1; c <= 10; ++c) MSHFlexGrid1.TextMatrix(0, c, kPipeHeaders[c]);
    for (int r = 1; r <= pipes; ++r) {
        MSHFlexGrid1.TextMatrix(r, 0, std::to_string(r));
        auto s = NodeRecordByIndex(col, PipeTable.TableNodes[r]);
        for (int c = 1; c <= 10; ++c) MSHFlexGrid1.TextMatrix(r, c, vb::CStr(s->GetProperty(kPipeProperties[c])));
    }
}

void Form3::Command2_Click() {
    ResetTable(SizeTable);
    Form1* main = MainForm();
    const model::cNodeCollection* col = main ? main->myCol.get() : nullptr;
    int16_t copied = 0;
    if (col) {
        ForEachTopLevelNode(*col, [&](int32_t n, const model::Sewer& s) {
            if (!StartsWith(s.Name, "Dia")) return;
            AppendNode(SizeTable, *col, n);
            // The shared table holds the first rows only; the grid shows all.
            if (copied >= kPipeSizeRows) return;
            PipeSizeRow& row = PipeSizeTable[static_cast<size_t>(++copied)];
            row[0] = s.dia;
            row[1] = s.slope;
            row[2] = s.ma2;
            row[4] = s.ma1;
            row[3] = s.finv;
            row[8] = s.felv;
        });
    }
    PipeSizeCount = copied;

    Form_Resize();
    if (Frame5.Visible()) {
        Frame5.Visible(false);
    } else {
        Frame5.Visible(true);
        Frame4.Visible(false);
        Frame16.Visible(false);
    }
    Frame15.Visible(false);

    Text3.Visible(false);
    SizeTable.Typed = false;
    const int sizes = static_cast<int>(SizeTable.TableNodes.size()) - 1;
    MSHFlexGrid2.Cols(9);
    MSHFlexGrid2.Rows(sizes + 1);
    for (int c = 1; c <= 8; ++c) {
        SizeTable.ColumnCodes[c] = static_cast<int16_t>(c + 100);
        rctitel(c + 100);
    }
    for (int c = 1; c <= 7; ++c) MSHFlexGrid2.TextMatrix(0, c, kSizeHeaders[c]);
    for (int r = 1; r <= sizes; ++r) {
        auto s = NodeRecordByIndex(col, SizeTable.TableNodes[r]);
        MSHFlexGrid2.TextMatrix(r, 0, std::to_string(r));
        MSHFlexGrid2.TextMatrix(r, 1, vb::CStr(s->GetProperty("dia")));
        MSHFlexGrid2.TextMatrix(r, 2, vb::CStr(s->GetProperty("slope")));
        // The other columns hold nothing of the row (their edits are refused).
        for (int c = 3; c <= 8; ++c) MSHFlexGrid2.TextMatrix(r, c, std::string());
    }
}
