// Opening a workbook in the running program, and the column-mapped import.
#include "exchange/form4.h"
#include "exchange/sewer_array.h"
#include "tests/exchange/exchange_fixture.h"

namespace {

using Strings = std::vector<std::string>;

TEST_F(ExchangeTest, OpenWorkbookInTheRunningProgram) {
    // Cancelled: nothing changes, nothing is said.
    dialogs().QueueFileCancel();
    f().ImportExcelWorkbook();
    EXPECT_EQ(ExcelApp, nullptr);
    EXPECT_EQ(ExcelBook, "");
    EXPECT_TRUE(dialogs().Messages().empty());
    ASSERT_EQ(dialogs().Files().size(), 1u);
    EXPECT_EQ(dialogs().Files()[0].request.title, "Import Excel");
    EXPECT_EQ(dialogs().Files()[0].request.filter, "Excel File (*.xls*)|*.xls*");

    // No program running: told once, then the command ends.
    SetRunningExcelAttacher([] { return nullptr; });
    dialogs().QueueFile(SheetData("network_xlwt.xls"));
    f().ImportExcelWorkbook();
    EXPECT_EQ(Prompts(), Strings{"Please Open Excle file"});
    EXPECT_EQ(ExcelApp, nullptr);

    // A file the program cannot read: told once, the open workbooks stay.
    SetRunningExcelAttacher([this] { return running_; });
    dialogs().ClearLog();
    dialogs().QueueFile(SheetData("bad/sst_index.xlsx"));
    f().ImportExcelWorkbook();
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(Prompts()[0].find("out of range"), std::string::npos);
    EXPECT_EQ(running_->Workbooks().size(), 0u);

    // Opened: the program shows it as its active workbook, and the sheet
    // import reads that workbook's active sheet.
    dialogs().ClearLog();
    running_->OpenWorkbook(SheetData("network_end_xlsxwriter.xlsx"));
    dialogs().QueueFile(SheetData("network_xlwt.xls"));
    f().ImportExcelWorkbook();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(ExcelApp, running_);
    EXPECT_EQ(ExcelBook, "network_xlwt.xls");
    EXPECT_TRUE(running_->Visible());
    ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
    EXPECT_EQ(PipeCount, 4);
}

class Form4Test : public Form4Fixture {
protected:
    void TickOnly(std::initializer_list<int> fields) {
        for (int i = 0; i < 15; ++i) w().Check1(i).Value(0);
        for (int i : fields) w().Check1(i).Value(1);
    }
};

// Rows 2 to 4 are records 1 to 3 (row 5's first cell is empty; row 6 is
// never read).  Only the ticked fields are written; the others keep what
// the slot held.
TEST_F(Form4Test, TickedFieldsOnly) {
    auto held = std::make_shared<model::Sewer>();
    held->felv = 7;
    held->dia = 99;
    SewerArray = {nullptr, held};
    TickOnly({0, 7});
    dialogs().QueueFile(SheetData("mapped_openpyxl.xlsx"));
    w().Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(dialogs().Files().at(0).request.filter, "Ecxel files (*.xlsx)|*.xlsx");
    ASSERT_EQ(SewerArray.size(), 4u);
    EXPECT_EQ(SewerArray[1]->from, "MH1");   // blanks round it removed
    EXPECT_EQ(SewerArray[1].get(), held.get());   // the record itself is written
    EXPECT_EQ(held->dia, 300);
    EXPECT_FLOAT_EQ(held->felv, 7);            // not ticked: kept
    EXPECT_EQ(SewerArray[2]->dia, 250);        // 250.5 to the even neighbour
    EXPECT_EQ(SewerArray[3]->dia, 400);        // "  400 "
    EXPECT_EQ(SewerArray[3]->tom, "");
    // The echo: the header row, and each record's From under the From column.
    auto& g = w().MSFlexGrid1;
    EXPECT_EQ(g.Cols(), 15);
    EXPECT_EQ(g.TextMatrix(0, 1), "From");
    EXPECT_EQ(g.TextMatrix(0, 13), "Y2");
    EXPECT_EQ(g.TextMatrix(1, 1), "MH1");
    EXPECT_EQ(g.TextMatrix(3, 1), "MH3");

    // Every field at its default column: X1 to Y2 sit in columns 10 to 13.
    TickOnly({0, 1, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14});
    dialogs().QueueFile(SheetData("mapped_openpyxl.xlsx"));
    w().Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(SewerArray[3]->tom, "MH4");
    EXPECT_FLOAT_EQ(SewerArray[3]->x1, 9);
    EXPECT_FLOAT_EQ(SewerArray[3]->y2, 12);
    EXPECT_FLOAT_EQ(SewerArray[2]->slope, 0.0044f);
}

// Every field at its default column, on a workbook whose columns 1 to 15
// each hold a value of their own: the caption, description and column of
// each field, and what its record takes from row 2 and row 3.
TEST_F(Form4Test, EachFieldReadsItsDefaultColumn) {
    struct Field {
        const char* caption;
        const char* description;
        const char* column;
        const char* property;   // "" when the field is not imported
        const char* row2;
        const char* row3;
    };
    const Field fields[15] = {
        {" From", "Start Node", "1", "from", "F2", "F102"},
        {" To", "Stop Node", "2", "tom", "T2", "T102"},
        {" Gr.El.From", "Elevation Ground (Start)", "3", "felv", "3.25", "103.25"},
        {" Gr.El.To", "Elevation Ground (Stop)", "4", "telv", "4.5", "104.5"},
        {"Length", "Length", "5", "l", "5.75", "105.75"},
        {" INV.EL.From", " Invert (Start)", "6", "finv", "6.125", "106.125"},
        {" INV.EL.To", " Invert (Stop)", "7", "tinv", "7.375", "107.375"},
        {"Dia", "Diameter", "8", "dia", "808", "909"},
        {"Slope", "Slope", "9", "slope", "0.0099", "0.0199"},
        {" Lateral", "", "10", "", "", ""},
        {"Manhole Type", "", "11", "", "", ""},
        {"X1", "X1", "10", "x1", "10.5", "110.5"},
        {"Y1", "Y1", "11", "y1", "11.5", "111.5"},
        {"X2", "X2", "12", "x2", "12.5", "112.5"},
        {"Y2", "Y2", "13", "y2", "13.5", "113.5"},
    };
    TickOnly({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    dialogs().QueueFile(SheetData("mapped_columns_openpyxl.xlsx"));
    w().Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    ASSERT_EQ(SewerArray.size(), 3u);
    for (int i = 0; i < 15; ++i) {
        const Field& c = fields[i];
        EXPECT_EQ(w().Check1(i).Caption(), c.caption) << i;
        EXPECT_EQ(w().FieldLabel(i).Caption(), c.description) << i;
        EXPECT_EQ(w().Text5(i).Text(), c.column) << i;
        if (!*c.property) continue;
        EXPECT_EQ(vb::CStr(SewerArray[1]->GetProperty(c.property)), c.row2) << c.property;
        EXPECT_EQ(vb::CStr(SewerArray[2]->GetProperty(c.property)), c.row3) << c.property;
    }
    // The two fields that are not imported leave the lateral alone.
    EXPECT_EQ(SewerArray[1]->lat, "");
}

TEST_F(Form4Test, BadInputLeavesTheRecordsAsTheyWere) {
    auto held = std::make_shared<model::Sewer>();
    held->from = "kept";
    SewerArray = {nullptr, held};
    // A text where a number is needed: told with its row and column.
    TickOnly({0, 2});
    dialogs().QueueFile(SheetData("mapped_openpyxl.xlsx"));
    w().Command5_Click();
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(Prompts()[0].find("Row 3, column 3"), std::string::npos) << Prompts()[0];
    ASSERT_EQ(SewerArray.size(), 2u);
    EXPECT_EQ(SewerArray[1], held);
    EXPECT_EQ(held->from, "kept");
    EXPECT_EQ(w().MSFlexGrid1.TextMatrix(1, 1), "");   // nothing echoed either

    // A column number that names no column.
    dialogs().ClearLog();
    TickOnly({0, 7});
    w().Text5(7).Text("0");
    dialogs().QueueFile(SheetData("mapped_openpyxl.xlsx"));
    w().Command5_Click();
    ASSERT_EQ(dialogs().Messages().size(), 1u);
    EXPECT_NE(Prompts()[0].find("\"Dia\""), std::string::npos) << Prompts()[0];
    EXPECT_EQ(held->from, "kept");

    // Row 2 without a first cell: no record; a cancelled dialog: nothing.
    dialogs().ClearLog();
    w().Text5(7).Text("8");
    dialogs().QueueFile(SheetData("types_openpyxl.xlsx"));
    w().Command5_Click();
    dialogs().QueueFileCancel();
    w().Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    EXPECT_EQ(SewerArray.size(), 2u);
    EXPECT_EQ(held->from, "kept");
}

}  // namespace

namespace {

// The rows are counted on the sheet their values come from (the active
// one), not on the first sheet of the workbook.
TEST_F(Form4Test, CountsAndReadsTheSameSheet) {
    TickOnly({0, 1});
    dialogs().QueueFile(SheetData("mapped_two_sheets.xlsx"));
    w().Command5_Click();
    EXPECT_TRUE(dialogs().Messages().empty());
    ASSERT_EQ(SewerArray.size(), 3u);
    EXPECT_EQ(SewerArray[2]->from, "P2");
    EXPECT_EQ(SewerArray[2]->tom, "P3");
    EXPECT_EQ(w().MSFlexGrid1.Rows(), 3);
}

}  // namespace
