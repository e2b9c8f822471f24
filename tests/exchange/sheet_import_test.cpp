// The network-sheet import from the running workbook program.
#include "exchange/pipe_limit.h"
#include "projectdata/form3.h"
#include "tests/exchange/exchange_fixture.h"

namespace {

using Strings = std::vector<std::string>;

// A running workbook program whose active workbook shows one sheet built here.
class OneSheetProgram : public sheet::SheetClient {
public:
    explicit OneSheetProgram(std::shared_ptr<const sheet::Sheet> sheet) : sheet_(std::move(sheet)) {}
    void OpenWorkbook(const std::string&) override {}
    void CloseWorkbooks() override {}
    std::string ActiveWorkbook() override { return "big.xlsx"; }
    std::shared_ptr<const sheet::Sheet> ActiveSheet() override { return sheet_; }
    bool Visible() override { return true; }
    void Visible(bool) override {}

private:
    std::shared_ptr<const sheet::Sheet> sheet_;
};

// A chain MH1 -> MH2 -> MH3 -> MH4 with a branch MH5 -> MH2: pipe 2's
// upstream pipe is 4 (the higher number is found first), so lateral 1 is
// pipe 1 alone and lateral 2 runs 4, 2, 3.  The same network comes from
// both writers and from the older format, ended by "END" or by a row whose
// first four cells are empty.
TEST_F(ExchangeTest, ChainAndBranchFromEveryWriter) {
    for (const char* file : {"network_openpyxl.xlsx", "network_xlsxwriter.xlsx", "network_xlwt.xls"}) {
        SCOPED_TRACE(file);
        dialogs().ClearLog();
        running_->OpenWorkbook(SheetData(file));
        Strings progress;
        ASSERT_TRUE(ImportNetworkSheet(f(), [&](const std::string& s) { progress.push_back(s); }));
        EXPECT_EQ(Prompts(), Strings{"2"});
        EXPECT_EQ(progress, (Strings{" Row=3", " Row=4", " Row=5", " Row=6", "Net... "}));
        EXPECT_EQ(TopLevelKeys(), (Strings{"ObjSewer", "ObjLateral 1", "ObjLateral 2"}));
        EXPECT_EQ(Children("ObjLateral 1"), Strings{"Se 1"});
        EXPECT_EQ(Children("ObjLateral 2"), (Strings{"Se 4", "Se 2", "Se 3"}));
        EXPECT_EQ(ListItems(f().List1), (Strings{"Lateral 1", "Lateral 2"}));
        EXPECT_EQ(f().List2.ListCount(), 0);
        EXPECT_EQ(TabCaptions(f().UserControl11), (Strings{"Lateral 1", "Lateral 2"}));
        EXPECT_EQ(f().UserControl11.text(), "Lateral 1");
        EXPECT_EQ(CurrentLateralName, "Lateral 1");
        EXPECT_EQ(PipeCount, 4);
        EXPECT_EQ(Rec("Sewer")->Index, 1000);

        auto se1 = Rec("Se 1"), se2 = Rec("Se 2"), se3 = Rec("Se 3"), se4 = Rec("Se 4");
        ASSERT_TRUE(se1 && se2 && se3 && se4);
        EXPECT_EQ(se1->from, "MH1");
        EXPECT_EQ(se2->tom, "MH3 ");   // names are kept as written; only the comparisons trim
        EXPECT_EQ(se4->from, " MH5");
        EXPECT_FLOAT_EQ(se1->mincover, 2.7f);   // 102 - 99 - 300 / 1000
        EXPECT_EQ(se2->dia, 250);               // 250.5 to the even neighbour
        EXPECT_FLOAT_EQ(se2->l, 45.5f);         // a number written as text
        EXPECT_FLOAT_EQ(se3->x2, 135.5f);
        EXPECT_EQ(se1->lat, "Lateral 1");
        EXPECT_EQ(se3->lat, "Lateral 2");
        EXPECT_EQ(se3->Index, 200);
        // Links: ma5 upstream, ma1 downstream, ma2/ma3 the other pipes ending
        // at the same manhole.
        EXPECT_EQ((std::vector<int>{se1->ma5, se1->ma1, se1->ma2, se1->ma3}), (std::vector<int>{0, 2, 4, 0}));
        EXPECT_EQ((std::vector<int>{se2->ma5, se2->ma1, se2->ma2}), (std::vector<int>{4, 3, 0}));
        EXPECT_EQ((std::vector<int>{se4->ma5, se4->ma1, se4->ma2}), (std::vector<int>{0, 2, 1}));
        // A pipe's downstream ground is the next pipe's upstream ground.
        EXPECT_FLOAT_EQ(se1->telv, 101.5f);
        EXPECT_FLOAT_EQ(se2->telv, 101.0f);
        EXPECT_FLOAT_EQ(se3->telv, 100.2f);   // an outfall keeps its own
        // The lateral's record takes the last pipe's downstream values.
        auto lat2 = Rec("Lateral 2");
        EXPECT_EQ(lat2->lat, "Lateral 2");
        EXPECT_EQ(lat2->dia, 400);
        EXPECT_FLOAT_EQ(lat2->tinv, 98.2f);
        EXPECT_FLOAT_EQ(lat2->telv, 100.2f);
        EXPECT_EQ(ExcelBook, file);
        EXPECT_EQ(ExcelSheet->name, "Network");
        running_->CloseWorkbooks();
    }
}

// Each of the 14 columns goes to its own field: in the fixture every cell of
// the two pipe rows holds a value of its own (and the two pipes do not meet,
// so the connection scan changes none of them).
TEST_F(ExchangeTest, EachColumnGoesToItsOwnField) {
    running_->OpenWorkbook(SheetData("columns_xlsxwriter.xlsx"));
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    const std::pair<const char*, Strings> columns[] = {
        {"from", {"MH10", "MH30"}},      {"tom", {"MH20", "MH40"}},         {"felv", {"110.5", "120.5"}},
        {"telv", {"109.75", "119.75"}},  {"l", {"42.5", "52.5"}},           {"finv", {"107.25", "117.25"}},
        {"tinv", {"106.125", "116.125"}}, {"dia", {"450", "525"}},           {"slope", {"0.0125", "0.0175"}},
        {"lat", {"Lateral 1", "Lateral 2"}},   // column 10 is replaced by the lateral the import assigns
        {"x1", {"1001.5", "1101.5"}},    {"y1", {"2002.5", "2102.5"}},      {"x2", {"3003.5", "3103.5"}},
        {"y2", {"4004.5", "4104.5"}},
    };
    const auto pipes = {Rec("Se 1"), Rec("Se 2")};
    for (const auto& p : pipes) ASSERT_TRUE(p);
    for (const auto& [field, values] : columns) {
        Strings got;
        for (const auto& p : pipes) got.push_back(vb::CStr(p->GetProperty(field)));
        EXPECT_EQ(got, values) << field;
    }
    // The cover under the upstream ground: 110.5 - 107.25 - 0.45 = 2.8.
    EXPECT_FLOAT_EQ(Rec("Se 1")->mincover, 2.8f);
    EXPECT_FLOAT_EQ(Rec("Se 2")->mincover, 120.5f - 117.25f - 0.525f);
}

// Duplicate From (told once, in the lower pipe's scan, which then starts
// with "*"), From = To (told once for the pipe, which no lateral reaches and
// which is reported as left out), blank and "0" outfalls (their own
// manholes, not branches of each other), and four pipes ending at one
// manhole (the fourth is told once for every pair that meets full branches).
TEST_F(ExchangeTest, ConnectionErrorsAreToldWordForWord) {
    running_->OpenWorkbook(SheetData("network_errors_xlsxwriter.xlsx"));
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(Prompts(), (Strings{
                             "Error: Line1& Line2FromA!!",
                             "Error: Line3  From = To  !!",
                             "Many Bransh To J(Maximum = 3)",
                             "Many Bransh To J(Maximum = 3)",
                             "Many Bransh To J(Maximum = 3)",
                             "Many Bransh To J(Maximum = 3)",
                             "8",
                             "1 pipe(s) are in no lateral and were left out of the network: Se 3 (row 5)",
                         }));
    EXPECT_EQ(Rec("Se 1")->from, "*A");
    EXPECT_EQ(Rec("Se 2")->from, "A");
    EXPECT_EQ(Rec("Se 4")->tom, "0-4");
    EXPECT_EQ(Rec("Se 5")->tom, "0-5");
    EXPECT_EQ(Rec("Se 4")->ma2, 0);
    EXPECT_EQ(Rec("Se 9")->ma2, 6);
    EXPECT_EQ(Rec("Se 9")->ma3, 7);
    EXPECT_EQ(Rec("Se 3"), nullptr);
    EXPECT_EQ(PipeCount, 9);
    EXPECT_EQ(f().List1.ListCount(), 8);
}

TEST_F(ExchangeTest, NothingChangesWhenTheImportCannotGoOn) {
    auto before = f().myCol;
    const Strings listBefore = ListItems(f().List1);
    const int32_t pipesBefore = PipeCount;

    // No program running, and one running with no workbook open: told once.
    SetRunningExcelAttacher([] { return nullptr; });
    EXPECT_FALSE(ImportNetworkSheet(f(), nullptr));
    SetRunningExcelAttacher([this] { return running_; });
    EXPECT_FALSE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(Prompts(), (Strings{"Please Open Excle file", "Please Open Excle file"}));
    EXPECT_EQ(ExcelApp, nullptr);

    // Text in a coordinate column: told with its row and column.
    dialogs().ClearLog();
    running_->OpenWorkbook(SheetData("network_badcoord.xlsx"));
    Strings progress;
    EXPECT_FALSE(ImportNetworkSheet(f(), [&](const std::string& s) { progress.push_back(s); }));
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(Prompts()[0].find("Row 4, column 11: \"abc\""), std::string::npos) << Prompts()[0];
    EXPECT_EQ(progress, Strings{" Row=3"});
    EXPECT_EQ(f().myCol, before);
    EXPECT_EQ(ListItems(f().List1), listBefore);
    EXPECT_EQ(PipeCount, pipesBefore);

    // One pipe more than the 16-bit links can number: refused with the
    // count before any row is read.  As many as they can number are read
    // (here up to a first row that cannot be).
    auto bigSheet = [](int32_t pipes, const std::string& firstX1) {
        auto big = std::make_shared<sheet::Sheet>();
        big->name = "Network";
        auto text = [&](int32_t row, int32_t col, const std::string& t) {
            sheet::Cell cell;
            cell.kind = sheet::Cell::Text;
            cell.text = big->AddString(t);
            big->Put(row, col, cell);
        };
        for (int32_t p = 1; p <= pipes; ++p) {
            text(p + 2, 1, "MH" + std::to_string(p));
            text(p + 2, 2, "MH" + std::to_string(p + 1));
        }
        if (!firstX1.empty()) text(3, 11, firstX1);
        big->Finish();
        return std::make_shared<OneSheetProgram>(big);
    };
    auto fullest = bigSheet(kMaxLinkedPipes, "abc");
    SetRunningExcelAttacher([fullest] { return fullest; });
    dialogs().ClearLog();
    EXPECT_FALSE(ImportNetworkSheet(f(), nullptr));
    ASSERT_EQ(Prompts().size(), 1u);
    EXPECT_NE(Prompts()[0].find("Row 3, column 11: \"abc\""), std::string::npos) << Prompts()[0];
    auto holding = bigSheet(kMaxLinkedPipes + 1, "");
    SetRunningExcelAttacher([holding] { return holding; });
    dialogs().ClearLog();
    progress.clear();
    EXPECT_FALSE(ImportNetworkSheet(f(), [&](const std::string& s) { progress.push_back(s); }));
    EXPECT_EQ(Prompts(), Strings{"The sheet holds 32,768 pipes, so nothing was imported: " + TooManyPipesReason() + "."});
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(f().myCol, before);
    EXPECT_EQ(ListItems(f().List1), listBefore);
    EXPECT_EQ(PipeCount, pipesBefore);
}

TEST_F(ExchangeTest, EndInTheFirstRowGivesTheRootAlone) {
    running_->OpenWorkbook(SheetData("network_end_xlsxwriter.xlsx"));
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(Prompts(), Strings{"0"});
    EXPECT_EQ(TopLevelKeys(), Strings{"ObjSewer"});
    EXPECT_EQ(PipeCount, 0);
    EXPECT_EQ(f().UserControl11.text(), "Lateral 1");
    EXPECT_EQ(CurrentLateralName, "Lateral 1");
}

// Records, beside each message, the laterals the main window lists then.
class ListsAtEachMessage : public vb::ScriptedDialogs {
public:
    explicit ListsAtEachMessage(vb::ListBox& list) : list_(list) {}
    int MsgBox(const std::string& prompt, int buttons, const std::string& title) override {
        Strings items;
        for (int i = 0; i < list_.ListCount(); ++i) items.push_back(list_.List(i));
        seen.emplace_back(prompt, items);
        return vb::ScriptedDialogs::MsgBox(prompt, buttons, title);
    }
    std::vector<std::pair<std::string, Strings>> seen;

private:
    vb::ListBox& list_;
};

// The project window's "Import" button: the number of laterals is told with
// the new laterals already listed, then the panel is hidden, the pipe table
// shown and refilled, and the closing message.
TEST_F(ExchangeTest, ImportButtonOfTheProjectWindow) {
    Form3& w = Form3Window();
    w.Show();
    w.Command7_Click();
    ASSERT_TRUE(w.Frame15.Visible());
    running_->OpenWorkbook(SheetData("network_openpyxl.xlsx"));
    {
        auto sink = std::make_shared<ListsAtEachMessage>(f().List1);
        vb::DialogSinkScope scope(sink);
        w.Comman20.Click();
        const Strings laterals{"Lateral 1", "Lateral 2"};
        EXPECT_EQ(sink->seen, (std::vector<std::pair<std::string, Strings>>{{"2", laterals}, {"Get Excel...", laterals}}));
    }
    EXPECT_EQ(w.Label31.Caption(), "Net... ");
    EXPECT_FALSE(w.Frame15.Visible());
    EXPECT_TRUE(w.Frame16.Visible());
    Strings names;
    for (int r = 1; r < w.MSHFlexGrid1.Rows(); ++r) names.push_back(w.MSHFlexGrid1.TextMatrix(r, 1));
    EXPECT_EQ(names, (Strings{"Se 1", "Se 4", "Se 2", "Se 3"}));

    // A failed import leaves the panel open and the network as it was.
    dialogs().ClearLog();
    auto before = f().myCol;
    w.Command7_Click();
    running_->CloseWorkbooks();
    w.Comman20.Click();
    EXPECT_EQ(Prompts(), Strings{"Please Open Excle file"});
    EXPECT_TRUE(w.Frame15.Visible());
    EXPECT_EQ(f().myCol, before);
    w.Hide();
}

}  // namespace
