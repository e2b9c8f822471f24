// The workbook reader on files of two independent writers and of the older
// binary format, and on damaged files.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/runtime/conversions.h"
#include "platform/sheet/client.h"

namespace {

std::string Data(const std::string& name) { return std::string(SEWER_TEST_DATA) + "/sheet/" + name; }

std::string Show(const vb::Variant& v) { return vb::TypeName(v) + ":" + (v.IsEmpty() ? "" : vb::CStr(v)); }

const sheet::Sheet& Active(const sheet::Workbook& book) { return *book.sheets.at(book.activeSheet); }

// The four pipe rows of the chain fixture as each writer stored them.
TEST(SheetReader, NetworkSheetsOfEveryWriterReadAlike) {
    for (const char* file : {"network_openpyxl.xlsx", "network_xlsxwriter.xlsx", "network_xlwt.xls"}) {
        SCOPED_TRACE(file);
        auto book = sheet::ReadWorkbook(Data(file));
        const auto& s = Active(*book);
        EXPECT_EQ(s.name, "Network");
        EXPECT_EQ(Show(s.Value(1, 1)), "String:From");
        EXPECT_EQ(Show(s.Value(3, 1)), "String:MH1");
        EXPECT_EQ(Show(s.Value(4, 2)), "String:MH3 ");        // trailing blank kept
        EXPECT_EQ(Show(s.Value(6, 1)), "String: MH5");        // leading blank kept
        EXPECT_EQ(Show(s.Value(3, 9)), "Double:0.004");
        EXPECT_EQ(Show(s.Value(4, 8)), "Double:250.5");
        EXPECT_EQ(Show(s.Value(5, 13)), "Double:135.5");
        EXPECT_EQ(Show(s.Value(2, 1)), "Empty:");              // an empty cell inside the range
        EXPECT_EQ(Show(s.Value(0, 1)), "Empty:");              // outside any sheet
        EXPECT_EQ(Show(s.Value(3, 15)), "Empty:");
        EXPECT_EQ(s.FirstRow(), 1);
        EXPECT_EQ(s.LastCol(), 14);
    }
    // The openpyxl file's network is its second sheet, saved as the active one.
    auto book = sheet::ReadWorkbook(Data("network_openpyxl.xlsx"));
    ASSERT_EQ(book->sheets.size(), 2u);
    EXPECT_EQ(book->activeSheet, 1);
    EXPECT_EQ(Show(book->sheets[0]->Value(1, 1)), "String:not the network");
    EXPECT_EQ(book->name, "network_openpyxl.xlsx");
    EXPECT_EQ(Show(Active(*book).Value(4, 3)), "String:101.5");   // a number stored as text stays text
    EXPECT_EQ(Show(Active(*book).Value(7, 1)), "String:END");
}

TEST(SheetReader, EveryKindOfCellValue) {
    auto book = sheet::ReadWorkbook(Data("types_openpyxl.xlsx"));
    const auto& s = Active(*book);
    EXPECT_EQ(Show(s.Value(1, 1)), "Boolean:True");
    EXPECT_EQ(Show(s.Value(1, 2)), "Boolean:False");
    vb::Variant err = s.Value(1, 3);
    ASSERT_EQ(err.Type(), vb::vbError);
    EXPECT_EQ(err.RawError(), 2007);   // #DIV/0!
    EXPECT_EQ(Show(s.Value(1, 4)), "Double:45352.5");   // 1 March 2024, noon, as its serial
    EXPECT_EQ(Show(s.Value(1, 5)), "Double:1234567.125");
    EXPECT_EQ(Show(s.Value(1, 6)), "String:  text with blanks  ");
    EXPECT_EQ(Show(s.Value(1, 7)), "String:x & <y>");
    EXPECT_EQ(Show(s.Value(3, 1)), "Double:-0.5");
    EXPECT_EQ(Show(s.Value(100, 28)), "String:far");
    EXPECT_EQ(Show(s.Value(2, 1)), "Empty:");
    EXPECT_EQ(s.LastRow(), 100);
    EXPECT_EQ(s.LastCol(), 28);

    // Rows and cells without their numbers follow the ones before them.
    auto norefs = sheet::ReadWorkbook(Data("norefs.xlsx"));
    const auto& n = Active(*norefs);
    EXPECT_EQ(Show(n.Value(1, 1)), "String:one");
    EXPECT_EQ(Show(n.Value(1, 2)), "Double:2");
    EXPECT_EQ(Show(n.Value(4, 2)), "String:rich");
    EXPECT_EQ(Show(n.Value(4, 3)), "Double:5");
    EXPECT_EQ(Show(n.Value(5, 1)), "Boolean:True");
}

TEST(SheetReader, DamagedFilesGiveAClearError) {
    struct Case {
        const char* file;
        const char* says;
    } cases[] = {
        {"bad/sst_index.xlsx", "shared string 7 out of range"},
        {"bad/sst_huge.xlsx", "shared string 8e30 out of range"},
        {"bad/missing_part.xlsx", "xl/worksheets/sheet1.xml: part missing"},
        {"bad/bad_xml.xlsx", "bad XML"},
        {"bad/bad_ref.xlsx", "bad cell reference \"ZZZZ1\""},
        {"bad/truncated.xlsx", "not a workbook file"},
        {"bad/bomb.xlsx", "inflates past the limit"},
        {"bad/text.xlsx", "not a workbook file"},
        {"no_such_file.xlsx", "Cannot open"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        try {
            sheet::ReadWorkbook(Data(c.file));
            ADD_FAILURE() << "read without an error";
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Number(), sheet::kErrWorkbook);
            EXPECT_NE(e.Description().find(c.says), std::string::npos) << e.Description();
            EXPECT_NE(e.Description().find(c.file), std::string::npos) << "names the file: " << e.Description();
        }
    }
}

// What goes over the bus comes back cell for cell, and bytes cut short or
// damaged anywhere are refused, never read past.
TEST(SheetCodec, RoundTripAndDamagedBytes) {
    auto book = sheet::ReadWorkbook(Data("types_openpyxl.xlsx"));
    const auto& s = Active(*book);
    const auto bytes = sheet::EncodeSheet(s);
    auto back = sheet::DecodeSheet(bytes.data(), bytes.size());
    EXPECT_EQ(back->name, s.name);
    for (int32_t r = 0; r <= 101; ++r) {
        for (int32_t c = 0; c <= 29; ++c) ASSERT_EQ(Show(back->Value(r, c)), Show(s.Value(r, c))) << r << "," << c;
    }
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_THROW(sheet::DecodeSheet(bytes.data(), cut), vb::VbError) << cut;
    }
    for (size_t at = 0; at < bytes.size(); ++at) {
        auto damaged = bytes;
        damaged[at] ^= 0xFF;
        try {
            sheet::DecodeSheet(damaged.data(), damaged.size());
        } catch (const vb::VbError&) {
        }
    }
}

TEST(LocalApplication, OpenActivateClose) {
    sheet::LocalApplication app;
    int changes = 0;
    app.Changed = [&] { ++changes; };
    EXPECT_EQ(app.ActiveWorkbook(), "");
    EXPECT_EQ(app.ActiveSheet(), nullptr);
    app.OpenWorkbook(Data("network_openpyxl.xlsx"));
    app.OpenWorkbook(Data("types_openpyxl.xlsx"));
    EXPECT_EQ(app.ActiveWorkbook(), "types_openpyxl.xlsx");
    app.Activate(0, 0);
    EXPECT_EQ(app.ActiveWorkbook(), "network_openpyxl.xlsx");
    EXPECT_EQ(app.ActiveSheet()->name, "Notes");
    // A file that cannot be read leaves the open workbooks as they were.
    EXPECT_THROW(app.OpenWorkbook(Data("bad/bad_xml.xlsx")), vb::VbError);
    EXPECT_EQ(app.Workbooks().size(), 2u);
    EXPECT_EQ(app.ActiveWorkbook(), "network_openpyxl.xlsx");
    app.Close(0);
    EXPECT_EQ(app.ActiveWorkbook(), "types_openpyxl.xlsx");
    app.CloseWorkbooks();
    EXPECT_EQ(app.ActiveSheet(), nullptr);
    EXPECT_EQ(changes, 5);
}

}  // namespace
