// The .xls reader's cell records: FORMULA under the record numbers of
// Excel 3.0 and 4.0, the cell records of Excel 2.x refused by name, and
// Booleans read as Booleans, as the .xlsx reader gives them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sheet/workbook.h"

#include "tests/platform_sheet/xls_builder.h"

namespace {

using namespace xls_test;

Bytes Byte(unsigned v) { return Bytes(1, static_cast<char>(v)); }

// A FORMULA record of `type` for the cell (row, col): its cached result
// (eight bytes), its flags, four unused bytes, then its tokens.
Bytes Formula(uint16_t type, uint16_t row, uint16_t col, const Bytes& result, const Bytes& tokens) {
    return Record(type, U16(row) + U16(col) + U16(15) + result + U16(0) + U32(0) + U16(static_cast<uint16_t>(tokens.size())) + tokens);
}
// The cached results: a Boolean, and a text that follows in a STRING record.
Bytes BooleanResult(bool v) { return Byte(1) + Byte(0) + Byte(v ? 1 : 0) + Bytes(3, '\0') + U16(0xFFFF); }
const Bytes kTextResult = Byte(0) + Bytes(5, '\0') + U16(0xFFFF);

// Every cell of the first sheet, "row,col Kind:value" in order.
std::string Cells(const sheet::Workbook& book) {
    std::string all;
    const sheet::Sheet& s = *book.sheets.at(0);
    for (int32_t r = 1; r <= s.LastRow(); ++r) {
        for (int32_t c = 1; c <= s.LastCol(); ++c) {
            if (s.Find(r, c)) all += std::to_string(r) + "," + std::to_string(c) + " " + Show(s.Value(r, c)) + " ";
        }
    }
    return all;
}

// A writer that gives FORMULA the number of Excel 3.0 (0x0206) or 4.0
// (0x0406) in a BIFF8 or BIFF5 workbook: read as FORMULA in the workbook's
// own layout (BIFF5's reference token is four bytes, BIFF8's five), with a
// number, a text (in the STRING record after it) or a Boolean as its
// result, and the cell after it kept.  Its length is checked as FORMULA's:
// one lengthened over the cell after it is refused naming FORMULA and its
// byte.  The cell records of Excel 2.x (0x0001 to 0x0005, 0x0007) among a
// sheet's records are refused naming the record and its byte, never passed
// over; in the globals those numbers are no cell and are passed over.
TEST(XlsCells, FormulaUnderOlderNumbersAndExcel2CellsRefused) {
    for (bool biff5 : {false, true}) {
        SCOPED_TRACE(biff5 ? "BIFF5" : "BIFF8");
        const Bytes ref = biff5 ? Byte(0x24) + U16(0) + Byte(1) : Byte(0x24) + U16(0) + U16(1);   // =B1
        const Bytes text = biff5 ? Record(0x0207, U16(5) + "after") : Record(0x0207, U16(5) + Byte(0) + "after");
        auto book = [&](const Bytes& cells, const Bytes& globals = "") {
            if (biff5) return Biff5(globals, {{"Net", cells}});
            Biff b;
            b.globals = globals;
            b.sheets.push_back({u"Net", cells});
            return b.Build();
        };
        const Bytes formula4 = Formula(0x0406, 1, 0, F64(42.5), ref);
        const Bytes cells = Cell(0x0203, 0, 1, F64(42.5)) + Formula(0x0206, 0, 0, F64(42.5), ref) + formula4 +
                            Formula(0x0406, 2, 0, kTextResult, ref) + text + Formula(0x0206, 3, 0, BooleanResult(true), ref) +
                            Cell(0x0203, 4, 0, F64(7));
        const Bytes stream = book(cells);
        EXPECT_EQ(Cells(*Read(Compound(stream).file)),
                  "1,1 Double:42.5 1,2 Double:42.5 2,1 Double:42.5 3,1 String:after 4,1 Boolean:True 5,1 Double:7 ");

        // The second formula's length made to take in the text formula after it.
        const size_t at = stream.find(formula4);
        ASSERT_NE(at, Bytes::npos);
        Bytes swallowing = stream;
        const size_t fields = formula4.size() - 4, next = Formula(0x0406, 2, 0, kTextResult, ref).size();
        Put16(swallowing, at + 2, static_cast<uint16_t>(fields + next));
        const std::string error = ErrorOf(Compound(swallowing).file);
        EXPECT_NE(error.find("sheet \"Net\": the FORMULA record at byte " + std::to_string(at) + " is " + std::to_string(fields + next) +
                             " bytes long, where its fields take " + std::to_string(fields)),
                  std::string::npos)
            << error;

        // One cut short of its token count, which is refused as FORMULA's.
        Bytes cut = stream;
        Put16(cut, at + 2, 21);
        EXPECT_NE(ErrorOf(Compound(cut).file).find("FORMULA record at byte " + std::to_string(at) + " is 21 bytes long, shorter than its 22"),
                  std::string::npos)
            << ErrorOf(Compound(cut).file);

        // Excel 2.x's cells, each shaped as that version writes it.
        const std::pair<const char*, Bytes> old[] = {
            {"BLANK", Record(0x0001, U16(1) + U16(0) + Bytes(3, '\0'))},
            {"INTEGER", Record(0x0002, U16(1) + U16(0) + Bytes(3, '\0') + U16(7))},
            {"NUMBER", Record(0x0003, U16(1) + U16(0) + Bytes(3, '\0') + F64(2.5))},
            {"LABEL", Record(0x0004, U16(1) + U16(0) + Bytes(3, '\0') + Byte(2) + "MH")},
            {"BOOLERR", Record(0x0005, U16(1) + U16(0) + Bytes(3, '\0') + Byte(1) + Byte(0))},
            {"STRING", Record(0x0007, Byte(2) + "MH")},
        };
        for (const auto& [name, record] : old) {
            SCOPED_TRACE(name);
            const Bytes s = book(Cell(0x0203, 0, 0, F64(1)) + record + Cell(0x0203, 2, 0, F64(3)));
            const size_t where = s.find(record);
            ASSERT_NE(where, Bytes::npos);
            EXPECT_EQ(ErrorOf(Compound(s).file),
                      "built.xls: stream \"Workbook\": sheet \"Net\": the BIFF2 " + std::string(name) + " record at byte " +
                          std::to_string(where) +
                          " holds a cell in the layout of Excel 2.x, a format older than BIFF5, which is not read; save the "
                          "workbook as .xlsx");
            EXPECT_EQ(Cells(*Read(Compound(book(Cell(0x0203, 0, 0, F64(1)), record)).file)), "1,1 Double:1 ");
        }
    }
}

// The same workbook saved as .xlsx and as .xls (BIFF8 and BIFF5) reads the
// same: a Boolean cell, TRUE and FALSE, and a formula whose cached result
// is a Boolean arrive as Booleans (any value but 0 is TRUE, as the format
// reads it), errors as errors, numbers as numbers.
TEST(XlsCells, BooleansReadAsFromTheXlsx) {
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"xl/workbook.xml", "<workbook><sheets><sheet name=\"Net\" r:id=\"a\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Type=\"\" Target=\"a.xml\"/></Relationships>"},
        {"xl/a.xml",
         "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"b\"><v>1</v></c><c r=\"B1\" t=\"b\"><v>0</v></c>"
         "<c r=\"C1\" t=\"b\"><v>1</v></c><c r=\"D1\" t=\"b\"><f>B1=0</f><v>1</v></c><c r=\"E1\" t=\"b\"><f>NOT(A1)</f><v>0</v></c>"
         "<c r=\"F1\" t=\"e\"><v>#N/A</v></c><c r=\"G1\"><v>1</v></c></row></sheetData></worksheet>"},
    };
    const std::string xlsx = Cells(*sheet::ReadXlsxParts(parts, "same.xlsx"));
    ASSERT_EQ(xlsx, "1,1 Boolean:True 1,2 Boolean:False 1,3 Boolean:True 1,4 Boolean:True 1,5 Boolean:False 1,6 Error:2042 1,7 Double:1 ");
    const Bytes tokens = Byte(0x1D) + Byte(1);   // the constant TRUE
    const Bytes cells = Cell(0x0205, 0, 0, Byte(1) + Byte(0)) + Cell(0x0205, 0, 1, Byte(0) + Byte(0)) +
                        Cell(0x0205, 0, 2, Byte(2) + Byte(0)) + Formula(0x0006, 0, 3, BooleanResult(true), tokens) +
                        Formula(0x0006, 0, 4, BooleanResult(false), tokens) + Cell(0x0205, 0, 5, Byte(0x2A) + Byte(1)) +
                        Cell(0x0203, 0, 6, F64(1));
    Biff b;
    b.sheets.push_back({u"Net", cells});
    EXPECT_EQ(Cells(*Read(Compound(b.Build()).file)), xlsx);
    EXPECT_EQ(Cells(*Read(Compound(Biff5("", {{"Net", cells}})).file)), xlsx);
}

// A BIFF8 text with formatting runs in an RSTRING record, as writers other
// than the spreadsheet itself store one: its text (one byte a character, or
// two), the count of its runs and four bytes for each.  It reads as the
// text it holds, and the cell after it stays; one lengthened over that cell
// is refused naming RSTRING and its byte.
TEST(XlsCells, Biff8RichTextRecordsRead) {
    auto rstring = [](uint16_t row, const Bytes& text, uint16_t runs) {
        Bytes data = U16(row) + U16(0) + U16(21) + text + U16(runs);
        for (uint16_t i = 0; i < runs; ++i) data += U16(i) + U16(i + 1);
        return Record(0x00D6, data);
    };
    const Bytes narrow = rstring(0, U16(8) + Byte(0) + "example ", 5);
    const Bytes wide = rstring(1, U16(5) + Byte(1) + U16(0xC4) + U16('r') + U16('g') + U16('e') + U16('r'), 2);
    const Bytes cells = narrow + wide + Cell(0x0203, 2, 0, F64(7));
    Biff b;
    b.sheets.push_back({u"Net", cells});
    const Bytes stream = b.Build();
    EXPECT_EQ(Cells(*Read(Compound(stream).file)), "1,1 String:example  2,1 String:\u00C4rger 3,1 Double:7 ");

    const size_t at = stream.find(wide);
    ASSERT_NE(at, Bytes::npos);
    Bytes swallowing = stream;
    const size_t fields = wide.size() - 4;
    Put16(swallowing, at + 2, static_cast<uint16_t>(fields + 18));   // over the NUMBER after it
    const std::string error = ErrorOf(Compound(swallowing).file);
    EXPECT_NE(error.find("the RSTRING record at byte " + std::to_string(at) + " is " + std::to_string(fields + 18) +
                         " bytes long, where its fields take " + std::to_string(fields)),
              std::string::npos)
        << error;
}

// A sheet's cells are read when its BOF gives a worksheet or an Excel 4.0
// macro sheet (0x0040), whose cells and formulas are a worksheet's, in BIFF8
// and BIFF5; a chart sheet (0x0020) and a module (0x0006) hold none.
TEST(XlsCells, MacroSheetsReadAsWorksheets) {
    const Bytes cells = Cell(0x0203, 0, 0, F64(1)) + Formula(0x0006, 1, 0, F64(2), Byte(0x1E) + U16(2));
    const std::pair<uint16_t, const char*> kinds[] = {
        {0x0010, "1,1 Double:1 2,1 Double:2 "}, {0x0040, "1,1 Double:1 2,1 Double:2 "}, {0x0020, ""}, {0x0006, ""}};
    Biff b;
    b.sheets.push_back({u"Net", cells});
    for (Bytes stream : {b.Build(), Biff5("", {{"Net", cells}})}) {
        const size_t bof = stream.rfind(U16(0x0809));   // the sheet's, the last BOF
        for (const auto& [type, read] : kinds) {
            Put16(stream, bof + 6, type);
            EXPECT_EQ(Cells(*Read(Compound(stream).file)), read) << type << " in a stream of " << stream.size() << " bytes";
        }
    }
}

}  // namespace
