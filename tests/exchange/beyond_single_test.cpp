// Numbers no single can hold (1E+300, -1E+300, 3.5E+38, or just above the
// largest single) are refused by every import with the place they came from,
// and the user's network and records stay as they were; 3.4E+38 still reads.
#include <cmath>
#include <fstream>
#include <limits>

#include "exchange/form4.h"
#include "exchange/sewer_array.h"
#include "projectdata/form3.h"
#include "tests/exchange/acad_fixture.h"
#include "tests/exchange/exchange_fixture.h"
#include "tests/platform_sheet/xls_builder.h"

namespace {

using Strings = std::vector<std::string>;
using Row = std::vector<vb::Variant>;

// Writes a one-sheet .xls workbook "Network" of these rows (row 1 first):
// texts as shared strings, numbers as NUMBER records, Empty cells left out.
std::string WriteWorkbook(const std::filesystem::path& dir, const std::string& name, const std::vector<Row>& rows) {
    xls_test::Biff book;
    xls_test::Bytes cells;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const vb::Variant& v = rows[r][c];
            const auto row = static_cast<uint16_t>(r), col = static_cast<uint16_t>(c);
            if (v.IsEmpty()) continue;
            if (v.IsString()) {
                book.strings.push_back(vb::ToUtf16(v.RawString()));
                cells += xls_test::Cell(0x00FD, row, col, xls_test::U32(static_cast<uint32_t>(book.strings.size() - 1)));
            } else {
                cells += xls_test::Cell(0x0203, row, col, xls_test::F64(vb::CDbl(v)));
            }
        }
    }
    book.sheets.push_back({u"Network", cells});
    const std::string path = (dir / name).string();
    const xls_test::Bytes file = xls_test::Compound(book.Build()).file;
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    return path;
}

// Two headings, then MH1 -> MH2 -> MH3 in the 14 fixed columns.
std::vector<Row> NetworkSheet() {
    auto pipe = [](const char* from, const char* to, double ground) {
        return Row{vb::Variant(from), vb::Variant(to), vb::Variant(ground), vb::Variant(ground - 1),
                   vb::Variant(50.0), vb::Variant(ground - 3), vb::Variant(ground - 3.2), vb::Variant(300.0),
                   vb::Variant(0.004), vb::Variant(), vb::Variant(0.0), vb::Variant(0.0), vb::Variant(50.0),
                   vb::Variant(0.0)};
    };
    return {Row{vb::Variant("From")}, Row{vb::Variant("m")}, pipe("MH1", "MH2", 102), pipe("MH2", "MH3", 101)};
}

const double kJustBeyond = std::nextafter(double(std::numeric_limits<float>::max()), 1e300);

// The project window's "Import": a number beyond a single in any of the
// columns that become singles is told with its row, column and text, and
// nothing is imported; the cover worked out from huge levels is refused the
// same way; values of 3.4E+38 either way are read as they are.
TEST_F(ExchangeTest, SheetImportRefusesNumbersBeyondASingleByCell) {
    Form3& w = Form3Window();
    w.Show();
    w.Command7_Click();
    const auto before = f().myCol;
    const Strings listBefore = ListItems(f().List1);
    const int32_t pipesBefore = PipeCount;
    int file = 0;
    auto import = [&](const std::vector<Row>& rows) {
        running_->OpenWorkbook(WriteWorkbook(dir_, "net" + std::to_string(++file) + ".xls", rows));
        dialogs().ClearLog();
        w.Comman20.Click();
        return Prompts();
    };

    struct Case {
        int col;
        vb::Variant value;
        const char* told;
    };
    const Case cases[] = {
        {3, vb::Variant(1e300), "1E+300"},     {4, vb::Variant(-1e300), "-1E+300"},
        {5, vb::Variant(1e300), "1E+300"},     {5, vb::Variant("1E+300"), "1E+300"},
        {5, vb::Variant(3.5e38), "3.5E+38"},   {6, vb::Variant(-3.5e38), "-3.5E+38"},
        {7, vb::Variant(1e300), "1E+300"},     {9, vb::Variant(-1e300), "-1E+300"},
        {9, vb::Variant(kJustBeyond), "3.40282346638529E+38"},
        {11, vb::Variant(1e300), "1E+300"},    {14, vb::Variant(-3.5e38), "-3.5E+38"},
    };
    for (const Case& c : cases) {
        std::vector<Row> rows = NetworkSheet();
        rows[3][static_cast<size_t>(c.col - 1)] = c.value;
        EXPECT_EQ(import(rows), Strings{"Row 4, column " + std::to_string(c.col) + ": \"" + c.told +
                                        "\" cannot be read (Overflow). Nothing was imported."})
            << c.col;
        EXPECT_EQ(f().myCol.get(), before.get()) << c.col;
        EXPECT_EQ(ListItems(f().List1), listBefore);
        EXPECT_EQ(PipeCount, pipesBefore);
        EXPECT_TRUE(w.Frame15.Visible());
    }

    // Ground and invert each a single, their difference none.
    std::vector<Row> rows = NetworkSheet();
    rows[3][2] = vb::Variant(3.4e38);
    rows[3][5] = vb::Variant(-3.4e38);
    EXPECT_EQ(import(rows), Strings{"Row 4: the minimum cover worked out from columns 3, 6 and 8 (3.4E+38, -3.4E+38 "
                                    "and 300) cannot be held (Overflow). Nothing was imported."});
    EXPECT_EQ(f().myCol.get(), before.get());

    // Just inside the range: read as it is.
    rows = NetworkSheet();
    for (int col : {3, 5, 6, 11}) rows[3][static_cast<size_t>(col - 1)] = vb::Variant(3.4e38);
    for (int col : {4, 7, 9, 14}) rows[3][static_cast<size_t>(col - 1)] = vb::Variant(-3.4e38);
    EXPECT_EQ(import(rows), (Strings{"1", "Get Excel..."}));
    auto se2 = Rec("Se 2");
    ASSERT_TRUE(se2);
    EXPECT_EQ((std::vector<float>{se2->felv, se2->telv, se2->l, se2->finv, se2->tinv, se2->slope, se2->x1, se2->y2}),
              (std::vector<float>{3.4e38f, -3.4e38f, 3.4e38f, 3.4e38f, -3.4e38f, -3.4e38f, 3.4e38f, -3.4e38f}));
    EXPECT_FLOAT_EQ(se2->mincover, -0.3f);
    EXPECT_EQ(Rec("Se 1")->telv, 3.4e38f);   // the next pipe's upstream ground
    w.Hide();
}

class MappedImportTest : public Form4Fixture {};

// The column-mapped import: each single field at its default column refuses
// a number beyond a single with its row, column and field, and leaves the
// records as they were.
TEST_F(MappedImportTest, RefusesNumbersBeyondASingleByCell) {
    Form4& w = this->w();
    for (int i = 0; i < 15; ++i) w.Check1(i).Value(i == 9 || i == 10 ? 0 : 1);
    auto held = std::make_shared<model::Sewer>();
    held->from = "kept";
    held->l = 12;
    SewerArray = {nullptr, held};
    auto rows = [](int col, const vb::Variant& value) {
        std::vector<Row> r{Row(14, vb::Variant("head"))};
        for (int k = 0; k < 2; ++k) {
            Row row{vb::Variant("MH" + std::to_string(k)), vb::Variant("MH" + std::to_string(k + 1))};
            for (int c = 3; c <= 14; ++c) row.push_back(vb::Variant(c == 8 ? 300.0 : 1.5 * c));
            r.push_back(row);
        }
        r[2][static_cast<size_t>(col - 1)] = value;
        return r;
    };
    struct Case {
        int col;
        const char* field;
        vb::Variant value;
        const char* told;
    };
    const Case cases[] = {
        {3, "Gr.El.From", vb::Variant(1e300), "1E+300"}, {4, "Gr.El.To", vb::Variant(-1e300), "-1E+300"},
        {5, "Length", vb::Variant(3.5e38), "3.5E+38"},   {6, "INV.EL.From", vb::Variant(1e300), "1E+300"},
        {7, "INV.EL.To", vb::Variant(1e300), "1E+300"},  {9, "Slope", vb::Variant(-3.5e38), "-3.5E+38"},
        {10, "X1", vb::Variant(1e300), "1E+300"},        {13, "Y2", vb::Variant(-1e300), "-1E+300"},
        {8, "Dia", vb::Variant(40000.0), "40000"},
    };
    int file = 0;
    for (const Case& c : cases) {
        dialogs().ClearLog();
        dialogs().QueueFile(WriteWorkbook(dir_, "mapped" + std::to_string(++file) + ".xls", rows(c.col, c.value)));
        w.Command5_Click();
        EXPECT_EQ(Prompts(), Strings{"Row 3, column " + std::to_string(c.col) + " (" + c.field + "): \"" + c.told +
                                     "\" cannot be read (Overflow). Nothing was imported."});
        ASSERT_EQ(SewerArray.size(), 2u);
        EXPECT_EQ(held->from, "kept");
        EXPECT_EQ(held->l, 12);
    }
    dialogs().ClearLog();
    dialogs().QueueFile(WriteWorkbook(dir_, "inside.xls", rows(5, vb::Variant(-3.4e38))));
    w.Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    ASSERT_EQ(SewerArray.size(), 3u);
    EXPECT_EQ(SewerArray[2]->l, -3.4e38f);
}

// The drawing read: each single field of a pipe (the two areas, the end
// points' coordinates, the length worked out from them) refuses a number no
// single can hold, naming the line and that field; a coordinate is named
// itself, before the length it makes.  3.4E+38 reads.
TEST_F(AcadTest, ReadRefusesNumbersBeyondASingleByLineAndField) {
    Attach();
    const auto network = f().myCol;
    auto setAreas = [&](const std::string& line, double area1, double area2) {
        cad::XData sewer = client_->GetXData(line, "sewer");
        sewer.values[4] = vb::Variant(area1);
        sewer.values[5] = vb::Variant(area2);
        client_->SetXData(line, sewer);
    };
    struct Case {
        const char* field;
        cad::Point start, end;
        double area1, area2;
        const char* told;
    };
    const Case cases[] = {
        {"area1", {0, 0, 0}, {10, 0, 0}, 1e300, 1, "1E+300"},
        {"area2", {0, 0, 0}, {10, 0, 0}, 1, -3.5e38, "-3.5E+38"},
        {"start x", {1e300, 0, 0}, {10, 0, 0}, 1, 1, "1E+300"},
        {"start y", {0, 3.5e38, 0}, {10, 0, 0}, 1, 1, "3.5E+38"},
        {"end x", {0, 0, 0}, {-1e300, 0, 0}, 1, 1, "-1E+300"},
        {"end y", {0, 0, 0}, {10, -3.5e38, 0}, 1, 1, "-3.5E+38"},
        {"start z", {0, 0, kJustBeyond}, {10, 0, 0}, 1, 1, "3.40282346638529E+38"},
        {"end z", {0, 0, 0}, {10, 0, -1e300}, 1, 1, "-1E+300"},
        {"length", {0, -3e38, 0}, {0, 3e38, 0}, 1, 1, "6E+38"},
    };
    for (const Case& c : cases) {
        doc_ = cad::Document::New();
        AddPipe(1, 2, 0, "A", {-10, 0, 0}, {0, 0, 0});
        const std::string bad = AddPipe(2, 0, 1, "A", c.start, c.end);
        setAreas(bad, c.area1, c.area2);
        dialogs().ClearLog();
        AcadGetSewerData();
        const std::string told = "The line " + bad + " on layer SEWER cannot be read: its " + c.field + " \"" +
                                 c.told + "\" is no number a pipe record can hold (Overflow).";
        EXPECT_EQ(Prompts(), (Strings{told, "Export " + told})) << c.field;
        EXPECT_EQ(f().myCol.get(), network.get()) << c.field;
    }
    doc_ = cad::Document::New();
    const std::string line = AddPipe(1, 0, 0, "A", {0, 0, 3.4e38}, {3.4e38, 0, -3.4e38});
    setAreas(line, -3.4e38, 3.4e38);
    dialogs().ClearLog();
    AcadGetSewerData();
    EXPECT_EQ(Prompts(), Strings{"1"});
    auto se1 = Rec("Se1");
    ASSERT_TRUE(se1);
    EXPECT_EQ((std::vector<float>{se1->felv, se1->telv, se1->l, se1->x2, se1->area1, se1->area2}),
              (std::vector<float>{3.4e38f, -3.4e38f, 3.4e38f, 3.4e38f, -3.4e38f, 3.4e38f}));
}

// The polyline pick: each single field an edge gives a pipe (its ends'
// coordinates and its length) refuses a number no single can hold, naming
// the polyline, the edge and the field; the pipes before it stay.
TEST_F(AcadTest, PickRefusesNumbersBeyondASingleByEdge) {
    struct Case {
        std::vector<std::pair<double, double>> vertices;
        std::string told;
    };
    const Case cases[] = {
        {{{-1e300, 0}, {10, 0}}, "the start x of its edge 1, \"-1E+300\""},
        {{{0, 3.5e38}, {10, 0}}, "the start y of its edge 1, \"3.5E+38\""},
        {{{0, 0}, {10, 0}, {1e300, 0}}, "the end x of its edge 2, \"1E+300\""},
        {{{0, 0}, {10, 0}, {10, -3.5e38}}, "the end y of its edge 2, \"-3.5E+38\""},
        {{{0, 0}, {10, 0}, {10, kJustBeyond}}, "the end y of its edge 2, \"3.40282346638529E+38\""},
        {{{0, 0}, {10, 0}, {-3e38, 0}, {3e38, 0}}, "the length of its edge 3, \"6E+38\""},
    };
    for (const Case& c : cases) {
        const std::string polyline = doc_.AddLwPolyline(c.vertices);
        client_->ScriptNextPick({polyline});
        dialogs().ClearLog();
        f().Command25_Click();
        EXPECT_EQ(Prompts(), Strings{"The polyline " + polyline + " cannot be read: " + c.told +
                                     ", is no number a pipe record can hold (Overflow). The pick ended there."});
        EXPECT_EQ(f().myCol->ChildCount(vb::Variant("Obj" + CurrentLateralName)),
                  static_cast<int32_t>(c.vertices.size()) - 2);
        EXPECT_FALSE(f().Frame15.Visible());
    }
    client_->ScriptNextPick({doc_.AddLwPolyline({{-1.7e38, 0}, {1.7e38, 0}})});
    dialogs().ClearLog();
    f().Command25_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    auto pipe = Rec("Se " + std::to_string(PipeCount));
    ASSERT_TRUE(pipe);
    EXPECT_EQ(pipe->l, 3.4e38f);
    EXPECT_EQ(pipe->x1, -1.7e38f);
}

}  // namespace
