// The network-sheet import of one workbook saved as .xlsx and as .xls: the
// same pipes, Boolean cells included.
#include "tests/exchange/exchange_fixture.h"
#include "tests/platform_sheet/xls_builder.h"

namespace {

using namespace xls_test;

// A running workbook program whose active sheet is the first of a workbook
// read here.
class ProgramShowing : public sheet::SheetClient {
public:
    explicit ProgramShowing(std::shared_ptr<sheet::Workbook> book) : book_(std::move(book)) {}
    void OpenWorkbook(const std::string&) override {}
    void CloseWorkbooks() override {}
    std::string ActiveWorkbook() override { return book_->name; }
    std::shared_ptr<const sheet::Sheet> ActiveSheet() override { return book_->sheets.at(0); }
    bool Visible() override { return true; }
    void Visible(bool) override {}

private:
    std::shared_ptr<sheet::Workbook> book_;
};

// Two pipes whose rows hold Booleans where a user may have typed TRUE or
// FALSE: pipe 2's upstream manhole, pipe 1's ground and coordinates.  The
// .xlsx gives the import Booleans, and so does the .xls: a Boolean's text
// is "True" (never "1"), its number as a coordinate -1, and every field of
// both pipes comes out the same from both files.
TEST_F(ExchangeTest, BooleanCellsImportTheSameFromXlsxAndXls) {
    // Row 3: MH1 MH2 TRUE 101 50 99 98.5 300 0.01 L TRUE FALSE 5 6;
    // row 4: FALSE MH3 102 101 40 98.5 98 250 0.0125 L 7 8 TRUE 10.
    struct Value {
        char kind;   // 't' text, 'n' number, 'b' Boolean
        std::string text;
        double number;
    };
    const std::vector<std::vector<Value>> rows = {
        {{'t', "MH1", 0}, {'t', "MH2", 0}, {'b', "", 1}, {'n', "", 101}, {'n', "", 50}, {'n', "", 99}, {'n', "", 98.5},
         {'n', "", 300}, {'n', "", 0.01}, {'t', "L", 0}, {'b', "", 1}, {'b', "", 0}, {'n', "", 5}, {'n', "", 6}},
        {{'b', "", 0}, {'t', "MH3", 0}, {'n', "", 102}, {'n', "", 101}, {'n', "", 40}, {'n', "", 98.5}, {'n', "", 98},
         {'n', "", 250}, {'n', "", 0.0125}, {'t', "L", 0}, {'n', "", 7}, {'n', "", 8}, {'b', "", 1}, {'n', "", 10}},
    };
    std::string xml = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>From</t></is></c></row>";
    Bytes records = Cell(0x0204, 0, 0, U16(4) + Bytes(1, '\0') + "From");
    for (size_t r = 0; r < rows.size(); ++r) {
        xml += "<row r=\"" + std::to_string(r + 3) + "\">";
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const Value& v = rows[r][c];
            const auto row = static_cast<uint16_t>(r + 2), col = static_cast<uint16_t>(c);
            char number[32];
            std::snprintf(number, sizeof number, "%.17g", v.number);
            switch (v.kind) {
            case 't':
                xml += "<c t=\"inlineStr\"><is><t>" + v.text + "</t></is></c>";
                records += Cell(0x0204, row, col, U16(static_cast<uint16_t>(v.text.size())) + Bytes(1, '\0') + v.text);
                break;
            case 'b':
                xml += std::string("<c t=\"b\"><v>") + (v.number != 0 ? "1" : "0") + "</v></c>";
                records += Cell(0x0205, row, col, Bytes(1, static_cast<char>(v.number)) + Bytes(1, '\0'));
                break;
            default:
                xml += std::string("<c><v>") + number + "</v></c>";
                records += Cell(0x0203, row, col, F64(v.number));
            }
        }
        xml += "</row>";
    }
    xml += "</sheetData></worksheet>";
    Biff b;
    b.sheets.push_back({u"Network", records});
    const Bytes xls = Compound(b.Build()).file;
    const std::vector<std::shared_ptr<sheet::Workbook>> books = {
        sheet::ReadXlsxParts({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"Network\" r:id=\"a\"/></sheets></workbook>"},
                              {"xl/_rels/workbook.xml.rels",
                               "<Relationships><Relationship Id=\"a\" Type=\"\" Target=\"a.xml\"/></Relationships>"},
                              {"xl/a.xml", xml}},
                             "network.xlsx"),
        sheet::ReadXlsBytes(xls.data(), xls.size(), "network.xls"),
    };
    const char* fields[] = {"from", "tom", "felv", "telv", "l", "finv", "tinv", "dia", "slope", "x1", "y1", "x2", "y2", "mincover"};
    std::vector<std::string> imported;
    for (const auto& book : books) {
        SCOPED_TRACE(book->name);
        auto program = std::make_shared<ProgramShowing>(book);
        SetRunningExcelAttacher([program] { return program; });
        dialogs().ClearLog();
        ASSERT_TRUE(ImportNetworkSheet(f(), nullptr));
        auto se1 = Rec("Se 1"), se2 = Rec("Se 2");
        ASSERT_TRUE(se1 && se2);
        EXPECT_EQ(se2->from, "False");
        EXPECT_FLOAT_EQ(se1->felv, 0);        // the text "True" holds no number
        EXPECT_FLOAT_EQ(se1->x1, -1);         // TRUE as a number
        EXPECT_FLOAT_EQ(se1->y1, 0);
        EXPECT_FLOAT_EQ(se2->x2, -1);
        std::string all;
        for (const auto& pipe : {se1, se2}) {
            for (const char* field : fields) all += std::string(field) + "=" + vb::CStr(pipe->GetProperty(field)) + " ";
        }
        imported.push_back(all);
    }
    EXPECT_EQ(imported.at(0), imported.at(1));
}

}  // namespace
