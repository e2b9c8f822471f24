// The .xls reader on files of an independent writer (python3-xlwt, see
// tests/data/sheet/make_xls_fixtures.py), and on compound files built here
// record by record, each damaged in one place or set at one of the reader's
// bounds.
#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/runtime/conversions.h"
#include "platform/sheet/workbook.h"

#include "tests/platform_sheet/xls_builder.h"

namespace {

using namespace xls_test;

// Every kind of value xlwt writes reads as the workbook program has always
// read it, and formulas give their cached results.
TEST(XlsReader, ValuesOfAnIndependentWriter) {
    auto book = sheet::ReadWorkbook(Data("types_xlwt.xls"));
    ASSERT_EQ(book->sheets.size(), 4u);
    EXPECT_EQ(book->activeSheet, 0);
    EXPECT_EQ(book->name, "types_xlwt.xls");
    EXPECT_EQ(book->sheets[2]->name, "Ünïcode 名前");
    EXPECT_EQ(Show(book->sheets[2]->Value(1, 1)), "String:名前");
    EXPECT_EQ(book->sheets[3]->LastRow(), 0);   // "Empty"

    const sheet::Sheet& v = *book->sheets[0];
    const char* numbers[] = {"0", "1", "-7", "123456789", "536870912", "1.5", "0.004", "3.14159265358979", "1E+300",
                             "-2.5E-10", "12345.67", "-0.01"};
    for (int c = 0; c < 12; ++c) EXPECT_EQ(Show(v.Value(2, c + 1)), std::string("Double:") + numbers[c]) << c;
    const char* texts[] = {"plain", "Déjà vu", "Straße", "東京都下水道", "emoji 😀 ok", "\"quoted\"", "  blanks  ", "Ωμέγα ≤ 5 €", "x"};
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(Show(v.Value(4, 2 * c + 1)), std::string("String:") + texts[c]);
        EXPECT_EQ(Show(v.Value(4, 2 * c + 2)), "Empty:");
    }
    EXPECT_EQ(Show(v.Value(5, 1)), "Boolean:True");   // Booleans as Booleans, as from .xlsx
    EXPECT_EQ(Show(v.Value(5, 2)), "Boolean:False");
    EXPECT_EQ(Show(v.Value(5, 3)), "Error:2007");
    EXPECT_EQ(Show(v.Value(5, 4)), "Error:2042");
    EXPECT_EQ(Show(v.Value(6, 1)), "String:rich text Ärger");
    // Formulas: number, text, text in two bytes a character, boolean,
    // error, empty text, a number in a date format, a long text.
    EXPECT_EQ(Show(v.Value(7, 1)), "Double:42.5");
    EXPECT_EQ(Show(v.Value(7, 2)), "String:Ergebnis ä");
    EXPECT_EQ(Show(v.Value(7, 3)), "String:名前");
    EXPECT_EQ(Show(v.Value(7, 4)), "Boolean:True");
    EXPECT_EQ(Show(v.Value(7, 5)), "Error:2007");
    EXPECT_EQ(Show(v.Value(7, 6)), "String:");
    EXPECT_EQ(Show(v.Value(7, 7)), "Double:45000.75");
    EXPECT_EQ(Show(v.Value(7, 8)), "String:" + std::string(300, 'b'));
    EXPECT_EQ(Show(v.Value(10, 4)), "String:after empty rows");
    EXPECT_EQ(Show(v.Value(256, 256)), "String:last column");
    EXPECT_EQ(v.LastCol(), 256);

    // Dates: a number reads as it is stored, whatever its format shows (the
    // day alone, the day and time, the time of day or none of these).
    const sheet::Sheet& d = *book->sheets[1];
    const double serials[] = {0, 0.25, 0.999999, 1, 1.5, 59, 59.75, 60, 60.5, 61, 366.123456, 36526.999999, 45000.75,
                              43831.4999994, 73109.5, 80000.25, -1, 2958465.75, 2958466, 1e10};
    for (int r = 0; r < 20; ++r) {
        SCOPED_TRACE(serials[r]);
        for (int c = 1; c <= 16; ++c) EXPECT_EQ(Number(d, r + 2, c), serials[r]) << c;
    }
    EXPECT_EQ(Number(d, 5, 17), 45351 + (13 * 3600 + 45 * 60 + 7) / 86400.0);   // 2024-02-29 13:45:07

    // In the 1904 date system a date format's number is the serial of its
    // day in the 1900 system, 1,462 days on, when it is a date at all.
    auto b1904 = sheet::ReadWorkbook(Data("dates1904_xlwt.xls"));
    const sheet::Sheet& e = *b1904->sheets[0];
    const double serials1904[] = {0, 0.5, 1, 1.25, 59, 60, 61, 36526.999999, 45000.75, 2957003.5, 2957004};
    for (int r = 0; r < 11; ++r) {
        EXPECT_EQ(Number(e, r + 2, 2), serials1904[r] + (r < 10 ? 1462 : 0)) << serials1904[r];
        EXPECT_EQ(Number(e, r + 2, 12), serials1904[r]);
    }
}

// Strings of both widths long enough to run over several CONTINUE records
// of the string table, broken inside their characters.
TEST(XlsReader, LongStringsAcrossContinueRecords) {
    const auto book = sheet::ReadWorkbook(Data("long_texts_xlwt.xls"));
    const sheet::Sheet& s = *book->sheets.at(0);
    EXPECT_EQ(Show(s.Value(1, 1)), "String:" + std::string(10000, 'L'));
    std::string water, accent;
    for (int i = 0; i < 9000; ++i) water += "水";
    for (int i = 0; i < 8300; ++i) accent += "é";
    EXPECT_EQ(Show(s.Value(2, 1)), "String:" + water);
    EXPECT_EQ(Show(s.Value(3, 1)), "String:" + accent);
    for (int r = 3; r < 1503; ++r) {
        std::string expected = "string " + std::to_string(r) + " ünïcödé ";
        for (int k = 0; k < r % 7; ++k) expected += "名";
        ASSERT_EQ(Show(s.Value(r + 1, 1)), "String:" + expected) << r;
        ASSERT_EQ(Number(s, r + 1, 2), r * 0.5);
        if (r > 3) {
            ASSERT_EQ(Show(s.Value(r + 1, 3)), Show(s.Value(r, 1)));   // the same shared string
        }
    }
}

// Files built here read, and each damage of their structure is refused
// with a sentence naming what is wrong and where; every bound is tried at
// its limit (read) and one past it (refused).
TEST(XlsReader, DamagedStructureIsRefusedByName) {
    {
        // The undamaged book: its stream's last sector is the file's last,
        // its last record ends with the stream, its second sheet begins
        // where the first ends, its last string and column are used.
        auto book = Read(Compound(SmallBook().Build()).file);
        ASSERT_EQ(book->sheets.size(), 2u);
        const sheet::Sheet& s = *book->sheets[0];
        EXPECT_EQ(s.name, "Net");
        EXPECT_EQ(Show(s.Value(1, 1)), "String:Straße 水");
        EXPECT_EQ(Show(s.Value(1, 2)), "Double:102.5");
        EXPECT_EQ(Show(s.Value(2, 1)), "Double:3");
        EXPECT_EQ(Show(s.Value(3, 4)), "Double:7");
        EXPECT_EQ(Show(s.Value(3, 5)), "Double:8");
        EXPECT_EQ(Show(s.Value(4, 256)), "String:MH1");   // the last column, the first string
        EXPECT_EQ(Show(book->sheets[1]->Value(1, 1)), "Double:2");
    }
    using Edit = std::function<void(Compound&, const Bytes& stream)>;
    // A stream of the small book, changed before it goes into the file.
    auto book = [](const std::function<void(Biff&)>& change) {
        Biff b = SmallBook();
        change(b);
        return b.Build();
    };
    const Bytes plain = SmallBook().Build();
    // Where the first sheet's BOF sits in the stream (the first BOUNDSHEET's offset).
    const size_t netAt = plain.find(Record(0x0809, U16(0x0600) + U16(0x0010) + Bytes(12, '\0')));
    const size_t twoAt = plain.find(Record(0x0809, U16(0x0600) + U16(0x0010) + Bytes(12, '\0')), netAt + 1);
    const size_t boundSheetAt = plain.find(U16(0x0085) + U16(8 + 3) + U32(static_cast<uint32_t>(netAt)));
    ASSERT_NE(twoAt, Bytes::npos);
    ASSERT_NE(boundSheetAt, Bytes::npos);
    struct Case {
        const char* what;
        Bytes stream;
        Edit edit;
        const char* error;   // null: the file reads
    } cases[] = {
        {"sector loop", plain, [](Compound& c, const Bytes&) { c.SetFat(c.firstStream + 5, c.firstStream + 2); },
         "built.xls: the file's sector chain of stream \"Workbook\" loops at sector 4"},
        {"sector one past the file's last", plain,
         [](Compound& c, const Bytes&) { c.SetFat(c.firstStream + 2, static_cast<uint32_t>(c.file.size() / 512 - 1)); },
         "names sector 10 after sector 4, beyond the file's 10 sectors"},
        {"chain to a free sector", plain, [](Compound& c, const Bytes&) { c.SetFat(c.firstStream + 1, kFree); },
         "chain of stream \"Workbook\" is broken after sector 3 (it leads to an unused sector)"},
        {"stream as long as its sectors", plain,
         [](Compound& c, const Bytes&) { Put32(c.file, c.EntryAt(1) + 120, c.streamSectors * 512); }, nullptr},
        {"stream one byte longer than its sectors", plain,
         [](Compound& c, const Bytes&) { Put32(c.file, c.EntryAt(1) + 120, c.streamSectors * 512 + 1); },
         "the file's sector chain of stream \"Workbook\" ends after 8 sectors, short of its 4097 bytes"},
        {"truncated file", plain, [](Compound& c, const Bytes&) { c.file.resize(c.file.size() - 100); },
         "built.xls: the file is truncated (it ends inside sector 9)"},
        {"no byte-order mark", plain, [](Compound& c, const Bytes&) { Put16(c.file, 28, 0xFEFF); }, "damaged file header"},
        {"directory loop", plain, [](Compound& c, const Bytes&) { Put32(c.file, c.EntryAt(1) + 68, 1); },
         "the file's directory loops at entry 1"},
        {"no workbook stream", plain, [](Compound& c, const Bytes&) { Put16(c.file, c.EntryAt(1), 'X'); },
         "built.xls: no workbook stream in the file"},
        {"record one byte past the stream", plain,
         [](Compound& c, const Bytes& s) { Put16(c.file, c.StreamAt() + s.size() - 2, 1); },
         "sheet \"Two\": EOF record at byte 4092 runs past the end of the stream (1 bytes declared, 0 left)"},
        {"record header cut off by the stream's end", book([](Biff& b) { b.minimum = 4098; }),
         [](Compound& c, const Bytes& s) { Put32(c.file, c.EntryAt(1) + 120, static_cast<uint32_t>(s.size() - 2)); },
         "sheet \"Two\": a record header at byte 4094 is cut off by the end of the stream"},
        {"cell record past the stream", plain,
         [](Compound& c, const Bytes& s) { Put16(c.file, c.StreamAt() + s.size() - 4 - 18 + 2, 19); },
         "sheet \"Two\": NUMBER record at byte 4074 runs past the end of the stream"},
        {"record shorter than its fields", book([](Biff& b) { b.sheets[1].second = Record(0x0203, Bytes(13, '\0')); }), nullptr,
         "sheet \"Two\": NUMBER record at byte 4075 is 13 bytes long, shorter than its 14"},
        {"shared string one past the table", book([](Biff& b) { b.sheets[1].second = Cell(0x00FD, 4, 2, U32(2)); }), nullptr,
         "sheet \"Two\": cell C5 names shared string 2, beyond the workbook's 2"},
        {"column one past the last", book([](Biff& b) { b.sheets[1].second = Cell(0x0203, 0, 256, F64(1)); }), nullptr,
         "names column 257, beyond the format's 256"},
        {"MULRK short of its columns",
         book([](Biff& b) { b.sheets[1].second = Record(0x00BD, U16(0) + U16(3) + U16(15) + U32(2) + U16(5)); }), nullptr,
         "the MULRK record at byte 4076 is 12 bytes long, which does not hold its columns 4 to 6"},
        {"number that is no number", book([](Biff& b) { b.sheets[1].second = Cell(0x0203, 0, 0, F64(INFINITY)); }), nullptr,
         "cell A1 (NUMBER record at byte 4074) holds a number that is not finite"},
        {"string table short of its count, its cells too", book([](Biff& b) { b.strings = {}; }),
         [](Compound& c, const Bytes& s) { Put32(c.file, c.StreamAt() + s.find(Record(0x00FC, U32(0) + U32(0))) + 8, 1); },
         "sheet \"Net\": cell A1 names shared string 1, beyond the workbook's 0 (its string table declares 1 but holds 0)"},
        {"sheets overlapping by a byte", plain,
         [&](Compound& c, const Bytes&) { Put32(c.file, c.StreamAt() + boundSheetAt + 15 + 4, static_cast<uint32_t>(twoAt - 1)); },
         "sheet \"Two\": its records begin at byte 4053, inside those of sheet \"Net\" (which end at byte 4054)"},
        {"sheet without EOF", book([](Biff& b) { b.sheets[1].second = Record(0x0809, U16(0x0600) + U16(0x0020) + Bytes(12, '\0')); }),
         [](Compound& c, const Bytes& s) { Put16(c.file, c.StreamAt() + s.size() - 4, 0x0001); },
         "sheet \"Two\": its records end with the stream, without an EOF record"},
        {"sheet beginning at the stream's end", plain,
         [&](Compound& c, const Bytes& s) { Put32(c.file, c.StreamAt() + boundSheetAt + 15 + 4, static_cast<uint32_t>(s.size())); },
         "sheet \"Two\": its records begin at byte 4096, past the end of the stream (4096 bytes)"},
        {"sheet name one character past its record", plain,
         [&](Compound& c, const Bytes&) { c.file[c.StreamAt() + boundSheetAt + 4 + 6] = 4; },
         "the sheet name of the BOUNDSHEET record at byte 3877 runs past its record"},
        {"more allocation-table sectors than the file", plain, [](Compound& c, const Bytes&) { Put32(c.file, 44, 11); },
         "damaged file header (11 allocation-table sectors in a file of 10 sectors)"},
        {"allocation table beyond the file", plain, [](Compound& c, const Bytes&) { Put32(c.file, 76, 10); },
         "the file's allocation table names sector 10, beyond the file's 10 sectors"},
        {"directory entry one past the last", plain, [](Compound& c, const Bytes&) { Put32(c.file, c.EntryAt(0) + 76, 4); },
         "the file's directory names entry 4 of 4"},
        {"password", book([](Biff& b) { b.globals = Record(0x002F, Bytes(6, '\0')); }), nullptr,
         "built.xls: stream \"Workbook\": the workbook is encrypted (password-protected), which is not read, even when the "
         "spreadsheet opens it without asking for a password; save it without a password to read it"},
        {"encrypted package", plain, [](Compound& c, const Bytes& s) { c = Compound(s, u"EncryptedPackage"); },
         "built.xls: the workbook is encrypted (password-protected), which is not read, even when the spreadsheet opens it "
         "without asking for a password; save it without a password to read it"},
        {"BIFF5 sheet in a BIFF8 book", plain, [&](Compound& c, const Bytes&) { Put16(c.file, c.StreamAt() + netAt + 4, 0x0500); },
         "sheet \"Net\": the BOF record at byte 3948 gives format version 0x0500, unlike the workbook's 0x0600"},
        {"BIFF4", plain, [](Compound& c, const Bytes&) { Put16(c.file, c.StreamAt(), 0x0409); }, "a format older than BIFF5 (Excel 2.x to 4.0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Compound file(c.stream);
        if (c.edit) c.edit(file, c.stream);
        const std::string error = ErrorOf(file.file);
        if (!c.error) {
            EXPECT_EQ(error, "");
        } else {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

// A stream below 4096 bytes lives in the mini stream; its chain is checked
// like any other.
TEST(XlsReader, SmallStreamsInTheMiniStream) {
    Biff b = SmallBook();
    b.minimum = 4095;
    const Bytes stream = b.Build();
    ASSERT_EQ(stream.size(), 4095u);
    Compound mini(stream);
    EXPECT_EQ(Show(Read(mini.file)->sheets[0]->Value(1, 2)), "Double:102.5");
    // Mini sector 3 leads back to mini sector 1.
    Put32(mini.file, mini.SectorAt(static_cast<uint32_t>(mini.file.size() / 512 - 2)) + 4 * 3, 1);
    EXPECT_NE(ErrorOf(mini.file).find("the file's mini sector chain of stream \"Workbook\" loops at mini sector 1"), std::string::npos)
        << ErrorOf(mini.file);
    b.minimum = 4096;
    Compound large(b.Build());
    EXPECT_EQ(large.streamSectors, 8u);
    EXPECT_EQ(Show(Read(large.file)->sheets[0]->Value(1, 2)), "Double:102.5");
}

// The values' memory is counted in bytes of their UTF-8 texts: at the
// exact memory a book needs it reads, a byte less it is refused naming the
// limit, and a character of two or three bytes costs that many.
TEST(XlsReader, MemoryLimitCountsTextBytes) {
    auto bookOf = [](const std::u16string& text) {
        Biff b;
        b.strings = {text};
        b.sheets.push_back({u"S", Cell(0x00FD, 0, 0, U32(0)) + Cell(0x0203, 1, 0, F64(1))});
        return Compound(b.Build()).file;
    };
    // The least memory a book reads in.
    auto needed = [](const Bytes& file) {
        size_t low = 0, high = size_t(1) << 20;
        while (low + 1 < high) {
            const size_t mid = (low + high) / 2;
            (ErrorOf(file, mid).empty() ? high : low) = mid;
        }
        return high;
    };
    const Bytes twenty = bookOf(std::u16string(20, u'é'));
    const size_t need = needed(twenty);
    EXPECT_EQ(ErrorOf(twenty, need), "");
    EXPECT_EQ(ErrorOf(twenty, need - 1), "built.xls: stream \"Workbook\": the cells need more memory than the limit of " +
                                             std::to_string(need - 1) + " bytes");
    // The text is held twice (the string table and the sheet).
    EXPECT_EQ(needed(bookOf(std::u16string(21, u'é'))) - need, 2u * 2);
    EXPECT_EQ(needed(bookOf(std::u16string(20, u'水'))) - need, 2u * 20);
    EXPECT_EQ(needed(bookOf(std::u16string(20, u'e'))), need - 2 * 20);
    // All that is counted: the sheet with its name and place, the text in
    // the string table and in the sheet, the sheet's index of the shared
    // strings, and two cells of two rows.
    struct Place {
        std::string name;
        uint32_t offset;
    };
    EXPECT_EQ(need, sizeof(sheet::Sheet) + sizeof(std::shared_ptr<sheet::Sheet>) + sheet::StringMemory(1) + sizeof(Place) +
                        2 * sheet::StringMemory(40) + sizeof(uint32_t) + 2 * sheet::CellMemory(true));
}

// A file of the largest size allowed reads (its tail unused), a byte more
// is refused naming the limit (sparse files: no disk is spent).
TEST(XlsReader, FileSizeLimit) {
    const std::string path = (std::filesystem::temp_directory_path() / ("xls_size_" + std::to_string(::getpid()) + ".xls")).string();
    const Bytes file = Compound(SmallBook().Build()).file;
    std::ofstream(path, std::ios::binary).write(file.data(), static_cast<std::streamsize>(file.size()));
    std::filesystem::resize_file(path, sheet::kMaxPackageBytes);
    EXPECT_EQ(Show(sheet::ReadWorkbook(path)->sheets[0]->Value(1, 2)), "Double:102.5");
    std::filesystem::resize_file(path, sheet::kMaxPackageBytes + 1);
    try {
        sheet::ReadWorkbook(path);
        ADD_FAILURE() << "read without an error";
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Description(), path + ": the file is larger than the limit of 4096 MiB");
    }
    std::filesystem::remove(path);
}

// A text of kMaxCellTextBytes bytes of UTF-8 reads, one byte more is
// refused naming the bound: in the string table, in a LABEL record, as a
// formula's result.  The bound is in bytes, not characters: 32,768
// characters of two bytes read, 40,000 letters, and 49,150 characters of two
// bytes and a letter (98,301 bytes).
TEST(XlsReader, CellTextBoundInBytes) {
    ASSERT_EQ(sheet::kMaxCellTextBytes, 98301u);
    const std::u16string manyChars(32768, u'é');
    const std::u16string atLimit = std::u16string(49150, u'é') + u"a";
    const std::u16string overLimit(49151, u'é');
    auto label = [](const std::u16string& text) {
        bool wide = false;
        const Bytes chars = Chars(text, wide);
        return U16(static_cast<uint16_t>(text.size())) + Bytes(1, wide ? 1 : 0) + chars;
    };
    auto shared = [](const std::u16string& text) {
        Biff b;
        b.strings = {u"x", text};
        b.sheets.push_back({u"S", Cell(0x00FD, 0, 0, U32(1))});
        return b;
    };
    // Records longer than 8,224 bytes: this reader takes them whole.
    auto inLabel = [&](const std::u16string& text) {
        Biff b;
        b.sheets.push_back({u"S", Cell(0x0204, 0, 1, label(text))});
        return b;
    };
    auto asResult = [&](const std::u16string& text) {
        Biff b;
        b.sheets.push_back({u"S", Cell(0x0006, 2, 0, Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0)) + Record(0x0207, label(text))});
        return b;
    };
    const std::pair<std::function<Biff(const std::u16string&)>, const char*> places[] = {
        {shared, "the shared strings: string 1: "}, {inLabel, "sheet \"S\": cell B1: "}, {asResult, "sheet \"S\": cell A3: "}};
    for (const auto& [make, where] : places) {
        SCOPED_TRACE(where);
        for (const auto& [text, bytes] :
             {std::pair{manyChars, 65536u}, std::pair{std::u16string(40000, u'x'), 40000u}, std::pair{atLimit, 98301u}}) {
            auto book = Read(Compound(make(text).Build()).file);
            const auto& cells = book->sheets[0]->Rows().at(0).cells;
            ASSERT_EQ(cells.size(), 1u);
            EXPECT_EQ(book->sheets[0]->Text(cells[0].cell.text).size(), bytes);
        }
        EXPECT_NE(ErrorOf(Compound(make(overLimit).Build()).file)
                      .find(std::string(where) + "a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold"),
                  std::string::npos)
            << ErrorOf(Compound(make(overLimit).Build()).file);
    }
}

// Each cell record at its shortest reads; a byte shorter it is refused.
TEST(XlsReader, CellRecordsAtTheirShortest) {
    const std::pair<uint16_t, Bytes> shortest[] = {
        {0x0203, U16(0) + U16(0) + U16(15) + F64(1)},                             // NUMBER
        {0x027E, U16(0) + U16(0) + U16(15) + U32(1 << 2 | 2)},                    // RK
        {0x00BD, U16(0) + U16(0) + U16(15) + U32(1 << 2 | 2) + U16(0)},           // MULRK of one column
        {0x00FD, U16(0) + U16(0) + U16(15) + U32(0)},                             // LABELSST
        {0x0204, U16(0) + U16(0) + U16(15) + U16(0)},                             // LABEL of no characters, without flags
        {0x00D6, U16(0) + U16(0) + U16(15) + U16(0)},                             // RSTRING of no characters, flags or runs
        {0x0207, U16(0)},                                                         // STRING of no characters, without flags
        {0x0205, U16(0) + U16(0) + U16(15) + Bytes(1, 1) + Bytes(1, 0)},          // BOOLERR
        {0x0006, U16(0) + U16(0) + U16(15) + F64(1) + U16(0) + U32(0) + U16(0)},  // FORMULA without tokens
    };
    for (const auto& [type, data] : shortest) {
        SCOPED_TRACE(type);
        for (size_t length : {data.size(), data.size() - 1}) {
            Biff b;
            b.strings = {u"s"};
            b.sheets.push_back({u"S", Record(type, data.substr(0, length))});
            const std::string error = ErrorOf(Compound(b.Build()).file);
            if (length == data.size()) {
                EXPECT_EQ(error, "");
            } else {
                EXPECT_NE(error.find("bytes long, shorter than its " + std::to_string(data.size())), std::string::npos) << error;
            }
        }
    }
    // A LABEL of 8 bytes, or a STRING of 2, whose count is 1 lacks its
    // flags and character.
    for (const Bytes& cut : {Cell(0x0204, 0, 0, U16(1)), Record(0x0207, U16(1))}) {
        Biff b;
        b.sheets.push_back({u"S", cut});
        EXPECT_NE(ErrorOf(Compound(b.Build()).file).find(" record at byte " + std::to_string(b.Build().find(cut)) + " ends inside a value"),
                  std::string::npos);
    }
}

// BIFF5 workbooks of an independent writer (make_xls_fixtures.py) read as
// the BIFF8 ones do: texts in the workbook's code page (1252 when it names
// none), every kind of number, dates by their formats, formulas' results.
TEST(XlsReader, Biff5Workbooks) {
    auto book = sheet::ReadWorkbook(Data("network_biff5.xls"));
    ASSERT_EQ(book->sheets.size(), 2u);
    EXPECT_EQ(book->sheets[0]->name, "Netz Ä");
    EXPECT_EQ(book->sheets[1]->name, "Leer");
    EXPECT_EQ(book->sheets[1]->LastRow(), 0);
    const sheet::Sheet& s = *book->sheets[0];
    EXPECT_EQ(Show(s.Value(1, 3)), "String:Straße é");
    EXPECT_EQ(Show(s.Value(1, 4)), "String:Gefälle €");   // RSTRING; 0x80 is the euro sign in 1252
    const char* from[] = {"MH1", "MH2", "MH3", "MH5", "MH6"};
    const double ground[] = {102, 101.5, 101, 103, 104}, invert[] = {99, 98.7, 98.4, 100, 101}, length[] = {300, 250, 400, 200, 200};
    for (int r = 0; r < 5; ++r) {
        SCOPED_TRACE(r);
        EXPECT_EQ(Show(s.Value(r + 2, 1)), std::string("String:") + from[r]);
        EXPECT_EQ(Number(s, r + 2, 3), ground[r]);   // NUMBER
        EXPECT_EQ(Number(s, r + 2, 4), invert[r]);   // RK in hundredths
        EXPECT_EQ(Number(s, r + 2, 5), length[r]);   // MULRK
        EXPECT_EQ(Number(s, r + 2, 6), r + 1);
    }
    EXPECT_EQ(Number(s, 7, 1), 45000.75);        // a custom date format
    EXPECT_EQ(Number(s, 7, 2), 45000.75);        // the built-in date-time format
    EXPECT_EQ(Show(s.Value(7, 3)), "Boolean:True");
    EXPECT_EQ(Show(s.Value(7, 4)), "Error:2007");
    EXPECT_EQ(Show(s.Value(7, 5)), "String:Schacht Ö");   // a formula's text, in the STRING record after it
    EXPECT_EQ(Show(s.Value(7, 6)), "Double:42.5");
    EXPECT_EQ(Show(s.Value(8, 1)), "String:END");
    EXPECT_EQ(s.LastRow(), 8);

    auto cyrillic = sheet::ReadWorkbook(Data("cp1251_biff5.xls"));
    ASSERT_EQ(cyrillic->sheets.size(), 1u);
    EXPECT_EQ(cyrillic->sheets[0]->name, "Сеть");
    EXPECT_EQ(Show(cyrillic->sheets[0]->Value(1, 1)), "String:Колодец");
    EXPECT_EQ(Show(cyrillic->sheets[0]->Value(2, 1)), "String:Труба №1");
    EXPECT_EQ(Number(*cyrillic->sheets[0], 2, 2), 12.25);
}

// Each BIFF5 text is read in its code page and must lie inside its own
// record: at its record's end it reads, a byte past it is refused naming
// the record; so are the shortest records, a text at the cell limit, a
// code page this reader does not know and a password.
TEST(XlsReader, Biff5TextsAndTheirBounds) {
    auto codePage = [](uint16_t page) { return Record(0x0042, U16(page)); };
    auto label = [](const Bytes& text) { return Cell(0x0204, 0, 0, Text8(text)); };
    // The first cell's text, or the error.
    auto first = [](const Bytes& stream) {
        try {
            const auto book = Read(Compound(stream).file);
            return Show(book->sheets.at(0)->Value(1, 1));
        } catch (const vb::VbError& e) {
            return e.Description();
        }
    };
    auto one = [](const Bytes& globals, const Bytes& cells) { return Biff5(globals, {{"S", cells}}); };
    // Sets `length` in the field at byte `at` of the data of the record that
    // begins with `record`.
    auto lengthen = [](Bytes stream, const Bytes& record, size_t at, uint16_t length, bool byte) {
        const size_t where = stream.find(record);
        EXPECT_NE(where, Bytes::npos);
        if (byte) {
            stream[where + 4 + at] = static_cast<char>(length);
        } else {
            Put16(stream, where + 4 + at, length);
        }
        return stream;
    };
    const std::string euros(32766, '\x80');
    std::string inUtf8;
    for (size_t i = 0; i < euros.size(); ++i) inUtf8 += "€";
    const Bytes formula = Cell(0x0006, 0, 0, Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
    const Bytes rstring = Cell(0x00D6, 0, 0, Text8("run") + Bytes(1, 1) + Bytes(2, '\0'));
    const Bytes format = Record(0x041E, U16(164) + Bytes(1, 10) + "YYYY-MM-DD") + Record(0x00E0, U16(0) + U16(164) + Bytes(12, '\0'));
    const std::pair<Bytes, std::string> cases[] = {
        // Code pages.
        {one("", label("Stra\xDF" "e \xE0 \x80")), "String:Straße à €"},
        {one(codePage(1250), label("\x8C\xB3\xF3" "d\x9F")), "String:Śłódź"},
        {one(codePage(1253), label("\xD9\xEC\xDD\xE3\xE1")), "String:Ωμέγα"},
        {one(codePage(32769), label("\x80")), "String:€"},
        {one(codePage(1200), label("\xE9\x80")), "String:\u80E9"},
        {one(codePage(367), label("a\xE9")), "String:a\uFFFD"},
        {one(codePage(65001), label("Stra\xC3\x9F" "e \xC3 \xE2\x82\xAC \xC0\xAF \xE0\x80\xAF \xED\xA0\x80 \xF0\x9F\x98\x80")),
         "String:Straße \uFFFD € \uFFFD\uFFFD \uFFFD \uFFFD 😀"},
        {one(codePage(20866), label("MH1")), "String:MH1"},
        {one(codePage(20866), label("MH\x81")),
         "built.xls: stream \"Workbook\": sheet \"S\": the text of the LABEL record at byte 46 has characters of code page 20866, "
         "which is not read (code pages read: 437, 720 to 869, 874, 932, 936, 949, 950, 1361, 1250 to 1258, 10000, 32768, 32769, "
         "367, 20127, 65001 and 1200)"},
        {Biff5(codePage(20866), {{"\x81", ""}}), "the sheet name of the BOUNDSHEET record at byte 18 has characters of code page 20866"},
        // Texts at their records' ends, and a byte past them.
        {one("", label("abc")), "String:abc"},
        {lengthen(one("", label("abc")), label("abc"), 6, 4, false),
         "sheet \"S\": the text of the LABEL record at byte 40 runs past its record (4 bytes declared, 3 left)"},
        {one("", rstring), "String:run"},
        {lengthen(one("", rstring), rstring, 6, 6, false), "RSTRING record at byte 40 is 14 bytes long, shorter than its 15"},
        {lengthen(one("", rstring), rstring, 6, 7, false), "the text of the RSTRING record at byte 40 runs past its record (7 bytes declared, 6 left)"},
        {one("", formula + Record(0x0207, Text8("ab"))), "String:ab"},
        {lengthen(one("", formula + Record(0x0207, Text8("ab"))), Record(0x0207, Text8("ab")), 0, 3, false),
         "the text of the STRING record at byte 66 runs past its record (3 bytes declared, 2 left)"},
        {Biff5("", {{"Name", label("x")}}), "String:x"},
        {lengthen(Biff5("", {{"Name", label("x")}}), U16(0x0085) + U16(11), 6, 5, true),
         "the workbook's globals: the sheet name of the BOUNDSHEET record at byte 12 runs past its record (5 bytes declared, 4 left)"},
        {one(format, Cell(0x0203, 0, 0, F64(45000.75)).replace(8, 2, U16(0))), "Double:45000.75"},
        {lengthen(one(format, Cell(0x0203, 0, 0, F64(2.5))), U16(0x041E) + U16(13), 2, 11, true), "Double:2.5"},
        // The shortest records, and a byte shorter.
        {one("", Cell(0x0204, 0, 0, U16(0))), "String:"},
        {one("", Cell(0x0204, 0, 0, U16(0)).substr(0, 11).replace(2, 2, U16(7))), "LABEL record at byte 40 is 7 bytes long, shorter than its 8"},
        {one("", Cell(0x00D6, 0, 0, U16(0)).substr(0, 11).replace(2, 2, U16(7))), "RSTRING record at byte 40 is 7 bytes long, shorter than its 8"},
        {one("", Cell(0x00D6, 0, 0, U16(0))), "String:"},
        {one("", formula + Record(0x0207, U16(0))), "String:"},
        {one("", formula + Record(0x0207, Bytes(1, 0))), "STRING record at byte 66 is 1 bytes long, shorter than its 2"},
        // The cell text bound in bytes: 32,766 euro signs of three bytes of UTF-8 and three letters.
        {one("", label(euros + "abc")), "String:" + inUtf8 + "abc"},
        {one("", label(euros + "abcd")), "sheet \"S\": cell A1: a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold"},
        // No string table, and a password.
        {one("", Cell(0x00FD, 0, 0, U32(0))), "cell A1 names shared string 0, beyond the workbook's 0"},
        {one(Record(0x002F, Bytes(4, '\0')), ""), "built.xls: stream \"Workbook\": the workbook is encrypted (password-protected)"},
        // A sheet whose BOF gives 0x0600 with BIFF5's body, as Excel 95 writes it: read as BIFF5.
        {one("", label("Stra\xDF" "e")).replace(one("", "").find(U16(0x0500) + U16(0x0010)), 2, U16(0x0600)), "String:Straße"},
    };
    for (const auto& [stream, expected] : cases) {
        const std::string got = first(stream);
        if (expected.rfind("String:", 0) == 0 || expected.rfind("Double:", 0) == 0) {
            EXPECT_EQ(got, expected);
        } else {
            EXPECT_NE(got.find(expected), std::string::npos) << got << "\n  expected: " << expected;
        }
    }
    // The bare record streams of Excel 2.x (BOF 0x0009) to 4.0 (0x0409), in
    // a file of their own, are refused naming their format.
    const std::string path = (std::filesystem::temp_directory_path() / ("xls_old_" + std::to_string(::getpid()) + ".xls")).string();
    for (const Bytes& old : {Record(0x0009, U16(2) + U16(0x0010)), Record(0x0209, U16(0) + U16(0x0010) + U16(0)),
                             Record(0x0409, U16(0) + U16(0x0010) + U16(0))}) {
        std::ofstream(path, std::ios::binary).write((old + Record(0x000A, "")).data(), static_cast<std::streamsize>(old.size() + 4));
        try {
            sheet::ReadWorkbook(path);
            ADD_FAILURE() << "read without an error";
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Description(), path + ": the workbook is in a format older than BIFF5 (Excel 2.x to 4.0), which is not read; save it as .xlsx");
        }
    }
    std::filesystem::remove(path);
}

// A BIFF8 or BIFF5 workbook stream saved as the file itself, with no
// compound file around it, reads as it does inside one, from memory and
// from a file; damaged, it is refused naming the record, as inside one.
TEST(XlsReader, BareWorkbookStreamsRead) {
    auto all = [](const sheet::Workbook& book) {   // each sheet's name, cell count and A1
        std::string s;
        for (const auto& sh : book.sheets) s += sh->name + ": " + std::to_string(sh->CellCount()) + " " + Show(sh->Value(1, 1)) + "; ";
        return s;
    };
    const std::string path = (std::filesystem::temp_directory_path() / ("xls_bare_" + std::to_string(::getpid()) + ".xls")).string();
    for (const Bytes& stream : {SmallBook().Build(), Biff5("", {{"Netz", Cell(0x0204, 0, 0, Text8("Stra\xDF" "e"))}, {"Leer", ""}})}) {
        std::ofstream(path, std::ios::binary).write(stream.data(), static_cast<std::streamsize>(stream.size()));
        const std::string inside = all(*Read(Compound(stream).file));
        EXPECT_NE(inside.find("String:Straße"), std::string::npos) << inside;
        EXPECT_EQ(all(*Read(stream)), inside);
        EXPECT_EQ(all(*sheet::ReadWorkbook(path)), inside);
    }
    std::filesystem::remove(path);
    Bytes cut = SmallBook().Build();
    Put16(cut, cut.size() - 2, 1);
    EXPECT_EQ(ErrorOf(cut), "built.xls: sheet \"Two\": EOF record at byte 4092 runs past the end of the stream (1 bytes declared, 0 left)");
}

}  // namespace

namespace {

// A cell record of its own format index.
Bytes CellXf(uint16_t type, uint16_t row, uint16_t col, uint16_t xf, const Bytes& value) {
    return Record(type, U16(row) + U16(col) + U16(xf) + value);
}

// Every record whose length its fields fix reads at that length and is
// refused, naming it and its byte, at one byte more (it would hide the
// records after it) and at one byte less; a cell after it proves that the
// records after it are read.  Lengths that legitimately vary (a formula's
// tokens and their extra data, a text, an RSTRING's runs) count as their
// fields say.
TEST(XlsReader, RecordsLongerThanTheirFieldsAreRefused) {
    const Bytes formulaHead = U16(0) + U16(0) + U16(15) + F64(1.5) + U16(0) + U32(0);
    const Bytes textResult = U16(0) + U16(0) + U16(15) + Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0);
    // An array constant of two columns {1.5, "ab"}, and a range of the
    // PtgMemArea kind, with the extra data after their tokens.
    const Bytes arrayTokens = Bytes(1, 0x60) + Bytes(7, '\0');
    const Bytes arrayExtra = Bytes(1, 1) + U16(0) + Bytes(1, 0x01) + F64(1.5) + Bytes(1, 0x02) + U16(2) + Bytes(1, 0) + "ab";
    const Bytes memTokens = Bytes(1, 0x26) + U32(0) + U16(9) + Bytes(1, 0x25) + U16(0) + U16(1) + U16(0) + U16(1);
    const Bytes memExtra = U16(1) + U16(0) + U16(1) + U16(0) + U16(1);
    // Tokens of every size class: a wide text, a choice's jump table, a 3-D
    // reference, a name, a number, an integer, a boolean, an error, a
    // function of a variable count.
    const Bytes manyTokens = Bytes(1, 0x17) + Bytes(1, 2) + Bytes(1, 1) + U16(0x6C34) + U16(0x0041) + Bytes(1, 0x19) + Bytes(1, 0x04) +
                             U16(1) + U16(4) + U16(8) + Bytes(1, 0x3A) + U16(0) + U16(2) + U16(3) + Bytes(1, 0x23) + U32(1) +
                             Bytes(1, 0x1F) + F64(2) + Bytes(1, 0x1E) + U16(7) + Bytes(1, 0x1D) + Bytes(1, 1) + Bytes(1, 0x1C) +
                             Bytes(1, 7) + Bytes(1, 0x42) + Bytes(1, 2) + U16(100);
    auto formula = [&](const Bytes& tokens, const Bytes& extra) {
        return formulaHead + U16(static_cast<uint16_t>(tokens.size())) + tokens + extra;
    };
    struct Case {
        const char* name;
        uint16_t type;
        Bytes data;      // at its length
        Bytes before;    // records before it
    } cases[] = {
        {"NUMBER", 0x0203, U16(0) + U16(0) + U16(15) + F64(1), ""},
        {"RK", 0x027E, U16(0) + U16(0) + U16(15) + U32(1 << 2 | 2), ""},
        {"LABELSST", 0x00FD, U16(0) + U16(0) + U16(15) + U32(0), ""},
        {"BOOLERR", 0x0205, U16(0) + U16(0) + U16(15) + Bytes(1, 1) + Bytes(1, 0), ""},
        {"ROW", 0x0208, U16(0) + U16(0) + U16(1) + U16(255) + Bytes(8, '\0'), ""},
        {"BLANK", 0x0201, U16(0) + U16(0) + U16(15), ""},
        {"MULBLANK", 0x00BE, U16(0) + U16(1) + U16(15) + U16(15) + U16(2), ""},
        {"LABEL", 0x0204, U16(0) + U16(0) + U16(15) + U16(2) + Bytes(1, 1) + U16(0x6C34) + U16(0x00E9), ""},
        {"STRING", 0x0207, U16(3) + Bytes(1, 0) + "abc", Record(0x0006, textResult + U16(0))},
        {"FORMULA", 0x0006, formula("", ""), ""},
        {"FORMULA", 0x0006, formula(Bytes(1, 0x1E) + U16(2) + Bytes(1, 0x44) + U16(0) + U16(1) + Bytes(1, 0x03), ""), ""},
        {"FORMULA", 0x0006, formula(arrayTokens, arrayExtra), ""},
        {"FORMULA", 0x0006, formula(memTokens, memExtra), ""},
        {"FORMULA", 0x0006, formula(manyTokens, ""), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + std::string(" of ") + std::to_string(c.data.size()) + " bytes");
        auto stream = [&](const Bytes& data) {
            Biff b;
            b.strings = {u"s"};
            b.sheets.push_back({u"S", c.before + Record(c.type, data) + Cell(0x0203, 5, 5, F64(7))});
            return b.Build();
        };
        auto book = Read(Compound(stream(c.data)).file);
        EXPECT_EQ(Number(*book->sheets[0], 6, 6), 7);
        // A byte "x" past its fields hides no record (no record header
        // begins with it, and the NUMBER's follows it): read, but for a
        // MULBLANK, whose length gives its columns, and after a text, where
        // only zero bytes may follow.
        if (c.type != 0x00BE) {
            const std::string error = ErrorOf(Compound(stream(c.data + "x")).file);
            EXPECT_EQ(error.find("where its fields take " + std::to_string(c.data.size())) != std::string::npos, c.type == 0x0204 || c.type == 0x0207) << error;
        }
        for (int more : {1, -1}) {
            // Its length one longer, over the first byte of the NUMBER's
            // header, or the record one byte shorter.
            const Bytes data = more > 0 ? c.data + Bytes(1, 0x03) : c.data.substr(0, c.data.size() - 1);
            Bytes s = stream(more > 0 ? c.data : data);
            const size_t record = s.find(Record(c.type, more > 0 ? c.data : data));
            if (more > 0) Put16(s, record + 2, static_cast<uint16_t>(data.size()));
            const std::string at = std::string("sheet \"S\": the ") + c.name + " record at byte " + std::to_string(record);
            const std::string error = ErrorOf(Compound(s).file);
            if (more > 0) {
                const std::string why = c.type == 0x00BE ? ", which does not hold its columns" : ", where its fields take " + std::to_string(c.data.size());
                EXPECT_NE(error.find(at + " is " + std::to_string(data.size()) + " bytes long" + why), std::string::npos) << error;
            } else {
                // Shorter: refused as short of its fields or of a value.
                EXPECT_TRUE(error.find(at.substr(at.find(c.name)) + " is " + std::to_string(data.size()) + " bytes long") != std::string::npos ||
                            error.find("ends inside a value") != std::string::npos ||
                            error.find("runs past its record") != std::string::npos ||
                            error.find("a character is split between two records") != std::string::npos)
                    << error;
            }
        }
    }
    // A MULBLANK whose columns are not its length's.
    {
        Biff b;
        b.sheets.push_back({u"S", Record(0x00BE, U16(0) + U16(1) + U16(15) + U16(15) + U16(3))});
        EXPECT_NE(ErrorOf(Compound(b.Build()).file).find("is 10 bytes long, which does not hold its columns 2 to 4"), std::string::npos);
    }
    // The damage of a writer gone wrong: an RK record whose length takes
    // in the LABELSST record after it, and a LABELSST record made as long as
    // a whole CONTINUE's worth of the cells after it.
    {
        Biff b;
        b.strings = {u"Straße ñ café 0"};
        const Bytes label = Cell(0x00FD, 0, 1, U32(0));
        b.sheets.push_back({u"S", Record(0x027E, U16(0) + U16(0) + U16(15) + U32(1 << 2 | 2) + label) + Cell(0x0203, 1, 0, F64(2))});
        const Bytes s = b.Build();
        EXPECT_NE(ErrorOf(Compound(s).file)
                      .find("sheet \"S\": the RK record at byte " + std::to_string(s.find(U16(0x027E) + U16(24))) +
                            " is 24 bytes long, where its fields take 10"),
                  std::string::npos)
            << ErrorOf(Compound(s).file);
        Bytes cells;
        for (uint16_t r = 1; r <= 457; ++r) cells += Cell(0x0203, r, 0, F64(r));
        b.sheets[0].second = Record(0x00FD, U16(0) + U16(0) + U16(15) + U32(0) + cells.substr(0, 8214)) + cells.substr(8214);
        EXPECT_NE(ErrorOf(Compound(b.Build()).file).find("the LABELSST record at byte"), std::string::npos);
        EXPECT_NE(ErrorOf(Compound(b.Build()).file).find("is 8224 bytes long, where its fields take 10"), std::string::npos);
    }
    // BIFF5: texts of a length byte or word, an RSTRING's runs, a formula's
    // BIFF5 tokens (a reference of four bytes).
    const Bytes biff5Formula = Bytes(6, '\0') + F64(2.5) + U16(0) + U32(0) + U16(5) + Bytes(1, 0x44) + U16(0) + Bytes(1, 1) + Bytes(1, 0x15);
    const Bytes textFormula = Record(0x0006, Bytes(6, '\0') + Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
    const Case biff5[] = {
        {"LABEL", 0x0204, Bytes(6, '\0') + Text8("abc"), ""},
        {"RSTRING", 0x00D6, Bytes(6, '\0') + Text8("run") + Bytes(1, 2) + Bytes(4, '\0'), ""},
        {"STRING", 0x0207, Text8("ab"), textFormula},
        {"FORMULA", 0x0006, biff5Formula, ""},
    };
    for (const auto& c : biff5) {
        SCOPED_TRACE(c.name);
        auto stream = [&](const Bytes& data) {
            return Biff5("", {{"S", c.before + Record(c.type, data) + Record(0x0203, U16(1) + U16(0) + U16(15) + F64(9))}});
        };
        EXPECT_EQ(Number(*Read(Compound(stream(c.data)).file)->sheets[0], 2, 1), 9);
        // A byte "x" past a formula's fields hides nothing, but is refused
        // after a text; its length made one longer, over the NUMBER's
        // header, is refused.
        EXPECT_EQ(ErrorOf(Compound(stream(c.data + "x")).file).empty(), c.type == 0x0006);
        Bytes bad = stream(c.data);
        const size_t at = bad.find(Record(c.type, c.data) + U16(0x0203));
        Put16(bad, at + 2, static_cast<uint16_t>(c.data.size() + 1));
        EXPECT_NE(ErrorOf(Compound(bad).file)
                      .find(std::string("the ") + c.name + " record at byte " + std::to_string(at) + " is " + std::to_string(c.data.size() + 1) +
                            " bytes long, where its fields take " + std::to_string(c.data.size())),
                  std::string::npos)
            << ErrorOf(Compound(bad).file);
    }
}

// Formulas of every kind of token an independent writer compiles read with
// their results, and so do the cells after them: their records are as long
// as their tokens say.
TEST(XlsReader, FormulasOfAnIndependentWriter) {
    const auto book = sheet::ReadWorkbook(Data("formulas_xlwt.xls"));
    const sheet::Sheet& s = *book->sheets.at(0);
    ASSERT_EQ(s.LastRow(), 17);
    for (int r = 0; r < 17; ++r) {
        EXPECT_EQ(Number(s, r + 1, 1), r + 0.5) << r;
        EXPECT_EQ(Number(s, r + 1, 2), r) << r;
    }
    // Each of those records made one byte longer is refused: the reader
    // knows every token's size.
    std::ifstream in(Data("formulas_xlwt.xls"), std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (uint16_t r = 0; r < 17; ++r) {
        SCOPED_TRACE(r);
        size_t at = Bytes::npos;
        uint16_t length = 0;
        for (length = 22; length < 100 && at == Bytes::npos; ++length) at = file.find(U16(0x0006) + U16(length) + U16(r) + U16(0));
        --length;
        ASSERT_NE(at, Bytes::npos);
        Bytes longer = file;
        Put16(longer, at + 2, static_cast<uint16_t>(length + 1));
        const std::string error = ErrorOf(longer);
        EXPECT_NE(error.find("is " + std::to_string(length + 1) + " bytes long, where its fields take " + std::to_string(length)),
                  std::string::npos)
            << error;
    }
}

// BIFF5 texts in the code pages read through the C library's converter:
// each range of code pages at both its ends, a character of two bytes, one
// of a byte that becomes three of UTF-8, bytes that are no character
// (refused naming the code page and the byte), and the cell text limit
// counted in bytes of UTF-8 after the conversion.
TEST(XlsReader, Biff5CodePagesThroughTheConverter) {
    auto first = [](uint16_t page, const Bytes& text, const Bytes& name = "S") {
        try {
            const auto book = Read(Compound(Biff5(Record(0x0042, U16(page)), {{name, Cell(0x0204, 0, 0, Text8(text))}})).file);
            return book->sheets.at(0)->name + "|" + Show(book->sheets.at(0)->Value(1, 1));
        } catch (const vb::VbError& e) {
            return e.Description();
        }
    };
    const std::pair<uint16_t, std::pair<Bytes, std::string>> read[] = {
        {437, {"MH\x81", "MHü"}},
        {850, {"\x9B", "ø"}},
        {866, {"\x80", "А"}},
        {869, {"\xA4", "Α"}},
        {874, {"\xA1", "ก"}},
        {932, {"\x83\x7D\x83\x93\x83\x7A\x81\x5B\x83\x8B" "1", "マンホール1"}},
        {932, {"\x82\xA0\xB1", "あｱ"}},
        {936, {"\xD6\xD0", "中"}},
        {949, {"\xB0\xA1", "가"}},
        {950, {"\xA4\xA4", "中"}},
        {1361, {"\x88\x61", "가"}},
        {10000, {"\x80", "Ä"}},
        {32768, {"\x80", "Ä"}},
        {32769, {"\x80", "€"}},
    };
    for (const auto& [page, texts] : read) EXPECT_EQ(first(page, texts.first), "S|String:" + texts.second) << page;
    // A workbook of an independent writer (make_xls_fixtures.py) in code
    // page 932: its custom format '"嬰盈"0.00' has the bytes of "d" and "m"
    // in its characters, and is no date's for that.
    {
        const auto book = sheet::ReadWorkbook(Data("cp932_biff5.xls"));
        const sheet::Sheet& s = *book->sheets.at(0);
        EXPECT_EQ(s.name, "下水道");
        EXPECT_EQ(Show(s.Value(1, 1)), "String:マンホール１");
        EXPECT_EQ(Show(s.Value(1, 2)), "String:ｱｲｳ ～ ①");
        EXPECT_EQ(Show(s.Value(2, 1)), "String:東京都下水道");
        EXPECT_EQ(Show(s.Value(2, 2)), "String:管路");
        EXPECT_EQ(Number(s, 3, 1), 45000.75);
        EXPECT_EQ(Number(s, 3, 2), 45000.75);
    }
    // The sheet's name too.
    EXPECT_EQ(first(932, "x", "\x83\x7D"), "マ|String:x");
    // Next to each range: code pages not read, by name; their ASCII reads.
    for (uint16_t page : {436, 719, 870, 873, 875, 931, 933, 935, 937, 948, 951, 1360, 1362, 9999, 10001, 32767}) {
        EXPECT_NE(first(page, "\x80").find("the text of the LABEL record at byte 46 has characters of code page " +
                                           std::to_string(page) + ", which is not read (code pages read: 437, 720 to 869"),
                  std::string::npos)
            << first(page, "\x80");
        EXPECT_EQ(first(page, "ok"), "S|String:ok");
    }
    for (uint16_t page : {438, 1249, 1259, 32770}) {
        EXPECT_NE(first(page, "\x80").find("has characters of code page " + std::to_string(page) + ", which is not read"), std::string::npos) << page;
    }
    // A code page of the DOS range that this system's converter may lack.
    const iconv_t cd = iconv_open("UTF-8", "CP720");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        EXPECT_NE(first(720, "\x80").find("has characters of code page 720, which this system's character converter (iconv) does not have"),
                  std::string::npos);
    } else {
        iconv_close(cd);
        EXPECT_EQ(first(720, "a").substr(0, 9), "S|String:");
    }
    // Bytes that are no character: a first byte without its second at the
    // text's end, a byte no character begins with, an unassigned pair.
    const std::pair<Bytes, size_t> invalid[] = {{"ab\x81", 2}, {"\xFF", 0}, {"a\x85\x40", 1}};
    for (const auto& [bytes, at] : invalid) {
        EXPECT_NE(first(932, bytes).find("sheet \"S\": the text of the LABEL record at byte 46 holds bytes that are no character of "
                                         "code page 932, at byte " + std::to_string(46 + 4 + 8 + at)),
                  std::string::npos)
            << first(932, bytes);
    }
    // 32,766 half-width katakana of one byte each and three letters are
    // 98,301 bytes of UTF-8.
    const Bytes kana(32766, '\xB1');
    std::string inUtf8;
    for (size_t i = 0; i < kana.size(); ++i) inUtf8 += "ｱ";
    EXPECT_EQ(first(932, kana + "abc"), "S|String:" + inUtf8 + "abc");
    EXPECT_NE(first(932, kana + "abcd").find("cell A1: a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold"), std::string::npos);
}

// In a workbook of the 1904 date system, the built-in number formats that
// show dates (14 to 17) and dates and times (22), and those that show dates
// in Chinese, Japanese, Korean or Thai installations (27 to 31, 34 to 36,
// 50 to 58, 71 to 74, 77, 81), read their numbers as serials of the 1900
// system; the times of day in every language (18 to 21, 32, 33, 45 to 47,
// 75, 76, 78 to 80) and the formats next to them as they are; a FORMAT
// record of a built-in number overrides it, and a cell of a format beyond
// the workbook's is a plain number.
TEST(XlsReader, BuiltInDateFormatsAtTheirEdges) {
    Biff b;
    for (uint16_t i = 0; i < 164; ++i) b.globals += Record(0x00E0, U16(0) + U16(i) + Bytes(16, '\0'));
    b.globals = Record(0x0022, U16(1)) + Record(0x041E, U16(15) + U16(4) + Bytes(1, 0) + "0.00") + b.globals;
    Bytes cells;
    for (uint16_t i = 0; i <= 164; ++i) cells += CellXf(0x0203, i, 0, i, F64(45000.75));
    b.sheets.push_back({u"S", cells});
    const auto book = Read(Compound(b.Build()).file);
    const std::set<uint16_t> dates = {14, 16, 17, 22, 27, 28, 29, 30, 31, 34, 35, 36, 50, 51,
                                      52, 53, 54, 55, 56, 57, 58, 71, 72, 73, 74, 77, 81};
    for (uint16_t i = 0; i <= 164; ++i) {
        const double expected = dates.count(i) ? 45000.75 + 1462 : 45000.75;
        EXPECT_EQ(Number(*book->sheets[0], i + 1, 1), expected) << "format " << i;
    }
}

// A cell given twice keeps the value given later: twice in a row, and in a
// row given again after another; cells out of order in a row read in order.
TEST(XlsReader, CellGivenTwiceKeepsTheLaterValue) {
    Biff b;
    b.strings = {u"first", u"second"};
    b.sheets.push_back({u"S", Cell(0x0203, 0, 0, F64(1)) + Cell(0x0203, 0, 0, F64(2)) + Cell(0x00FD, 0, 2, U32(0)) +
                                 Cell(0x0203, 0, 1, F64(5)) + Cell(0x00FD, 1, 3, U32(0)) + Cell(0x0203, 2, 0, F64(9)) +
                                 Cell(0x00FD, 0, 0, U32(1)) + Cell(0x027E, 1, 3, U32(4 << 2 | 2)) + Cell(0x0203, 0, 2, F64(3))});
    const auto book = Read(Compound(b.Build()).file);
    const sheet::Sheet& s = *book->sheets[0];
    EXPECT_EQ(Show(s.Value(1, 1)), "String:second");
    EXPECT_EQ(Show(s.Value(1, 2)), "Double:5");
    EXPECT_EQ(Show(s.Value(1, 3)), "Double:3");
    EXPECT_EQ(Show(s.Value(2, 4)), "Double:4");
    EXPECT_EQ(Show(s.Value(3, 1)), "Double:9");
    ASSERT_EQ(s.Rows().size(), 3u);
    ASSERT_EQ(s.Rows()[0].cells.size(), 3u);
    EXPECT_EQ(s.Rows()[0].cells[0].col, 1);
    EXPECT_EQ(s.Rows()[0].cells[2].col, 3);
    EXPECT_EQ(s.Rows()[1].cells.size(), 1u);
    // In a sheet whose cells come in order but for the one given twice.
    Biff ordered;
    ordered.sheets.push_back({u"S", Cell(0x0203, 0, 0, F64(1)) + Cell(0x0203, 0, 0, F64(2)) + Cell(0x0203, 0, 1, F64(3))});
    const auto again = Read(Compound(ordered.Build()).file);
    EXPECT_EQ(Show(again->sheets[0]->Value(1, 1)), "Double:2");
    EXPECT_EQ(again->sheets[0]->Rows().at(0).cells.size(), 2u);
}

}  // namespace

namespace {

// The other bounds of the .xls reader at both their ends: the last cell
// format of the workbook and one past it; the error values next to those
// known; the cached results of a formula (3 the empty text, 4 none); the
// length of the bare BOF that marks a file older than BIFF5.
TEST(XlsReader, FormatsErrorsAndResultsAtTheirEdges) {
    Biff b;
    b.globals = Record(0x0022, U16(1));   // the 1904 date system: a date format's number moves
    for (uint16_t i = 0; i < 3; ++i) b.globals += Record(0x00E0, U16(0) + U16(i == 2 ? 14 : 0) + Bytes(16, '\0'));
    auto boolErr = [](uint16_t col, uint8_t value) { return Cell(0x0205, 1, col, Bytes(1, static_cast<char>(value)) + Bytes(1, 1)); };
    auto result = [](uint16_t col, uint8_t kind) {
        return Cell(0x0006, 2, col, Bytes(1, static_cast<char>(kind)) + Bytes(1, 0) + Bytes(1, 0x2A) + Bytes(3, '\0') + U16(0xFFFF) +
                                        U16(0) + U32(0) + U16(0));
    };
    b.sheets.push_back({u"S", CellXf(0x0203, 0, 0, 2, F64(45000.75)) + CellXf(0x0203, 0, 1, 3, F64(45000.75)) + boolErr(0, 0) +
                                  boolErr(1, 42) + boolErr(2, 43) + boolErr(3, 1) + result(0, 2) + result(1, 3) + result(2, 4)});
    const auto book = Read(Compound(b.Build()).file);
    const sheet::Sheet& s = *book->sheets[0];
    EXPECT_EQ(Number(s, 1, 1), 46462.75);   // the last format, a date's
    EXPECT_EQ(Number(s, 1, 2), 45000.75);   // one past the workbook's formats
    EXPECT_EQ(Show(s.Value(2, 1)), "Error:2000");
    EXPECT_EQ(Show(s.Value(2, 2)), "Error:2042");
    EXPECT_EQ(Show(s.Value(2, 3)), "Error:2015");   // no error of Excel's: #VALUE!
    EXPECT_EQ(Show(s.Value(2, 4)), "Error:2015");
    EXPECT_EQ(Show(s.Value(3, 1)), "Error:2042");
    EXPECT_EQ(Show(s.Value(3, 2)), "String:");
    EXPECT_EQ(Show(s.Value(3, 3)), "Empty:");
    // A bare BOF of up to 16 bytes begins a file of Excel 2.x to 4.0; one of
    // 17 is no such file (and no compound file either).
    const std::string path = (std::filesystem::temp_directory_path() / ("xls_bof_" + std::to_string(::getpid()) + ".xls")).string();
    for (uint16_t length : {16, 17}) {
        const Bytes old = Record(0x0409, Bytes(length, '\0')) + Bytes(512, '\0');
        std::ofstream(path, std::ios::binary).write(old.data(), static_cast<std::streamsize>(old.size()));
        try {
            sheet::ReadWorkbook(path);
            ADD_FAILURE() << "read without an error";
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Description().find("older than BIFF5") != std::string::npos, length == 16) << e.Description();
        }
    }
    std::filesystem::remove(path);
}

}  // namespace

namespace {

Bytes Byte(unsigned v) { return Bytes(1, static_cast<char>(v)); }
std::string Hex(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    return std::string("0x") + "0123456789ABCDEF"[b >> 4] + "0123456789ABCDEF"[b & 0xF];
}

// A BIFF8 text as LABEL records hold it: its length, a byte of flags and
// its characters in two bytes each.
Bytes Wide(const std::u16string& text) {
    Bytes b = U16(static_cast<uint16_t>(text.size())) + Byte(1);
    for (char16_t c : text) b += U16(c);
    return b;
}

// A writer's padding past a record's fields, fewer than four zero bytes
// with the next record's header right after them, reads as before: an
// office suite's Boolean cells (BOOLERR records of nine bytes, the value in
// two bytes and then the error flag) and a reporting tool's LABEL records
// whose length counts the text's closing NUL.  A surplus that can hide a
// record is refused naming the record and its byte: four zero bytes, a
// byte that is not zero, a length made one to three bytes longer (its
// surplus the first bytes of the next record's header), zero bytes that
// are followed by no record's header.
TEST(XlsReader, PaddingReadsAndASurplusThatCanHideARecordIsRefused) {
    {
        auto boolean = [](uint16_t col, unsigned value) { return Record(0x0205, U16(4) + U16(col) + U16(0x17) + Byte(value) + Byte(0) + Byte(0)); };
        Biff b;
        b.sheets.push_back({u"Sheet1", Cell(0x0203, 3, 0, F64(2.5)) + boolean(0, 1) + boolean(1, 0) + boolean(2, 1) +
                                           Record(0x0204, U16(5) + U16(0) + U16(15) + Wide(u"Zulauf Süd – Haltung 12") + U16(0)) +
                                           Record(0x0204, U16(5) + U16(1) + U16(15) + Wide(u"水") + U16(0)) + Cell(0x0203, 5, 2, F64(7))});
        const auto book = Read(Compound(b.Build()).file);
        const sheet::Sheet& s = *book->sheets[0];
        EXPECT_EQ(Show(s.Value(4, 1)), "Double:2.5");
        EXPECT_EQ(Show(s.Value(5, 1)), "Boolean:True");
        EXPECT_EQ(Show(s.Value(5, 2)), "Boolean:False");
        EXPECT_EQ(Show(s.Value(5, 3)), "Boolean:True");
        EXPECT_EQ(Show(s.Value(6, 1)), "String:Zulauf Süd – Haltung 12");
        EXPECT_EQ(Show(s.Value(6, 2)), "String:水");
        EXPECT_EQ(Show(s.Value(6, 3)), "Double:7");
    }
    // Each kind of record whose length is checked, at its length, and the
    // NUMBER of F6 after it.
    const Bytes textResult = Record(0x0006, U16(0) + U16(0) + U16(15) + Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
    struct Kind {
        const char* name;
        uint16_t type;
        Bytes data;
        Bytes before;
        bool biff5;
        const char* take;   // how the refusal says what its fields take
    } kinds[] = {
        {"NUMBER", 0x0203, U16(0) + U16(0) + U16(15) + F64(1), "", false, "take 14"},
        {"RK", 0x027E, U16(0) + U16(0) + U16(15) + U32(1 << 2 | 2), "", false, "take 10"},
        {"LABELSST", 0x00FD, U16(0) + U16(0) + U16(15) + U32(0), "", false, "take 10"},
        {"BOOLERR", 0x0205, U16(0) + U16(0) + U16(15) + Byte(1) + Byte(0), "", false, "take 8"},
        {"ROW", 0x0208, U16(0) + U16(0) + U16(1) + U16(255) + Bytes(8, '\0'), "", false, "take 16"},
        {"BLANK", 0x0201, U16(0) + U16(0) + U16(15), "", false, "take 6"},
        {"LABEL", 0x0204, U16(0) + U16(0) + U16(15) + Wide(u"ab"), "", false, "take 13"},
        {"STRING", 0x0207, U16(3) + Byte(0) + "abc", textResult, false, "take 6"},
        {"FORMULA", 0x0006, U16(0) + U16(0) + U16(15) + F64(1) + U16(0) + U32(0) + U16(3) + Byte(0x1E) + U16(5), "", false, "take 25"},
        {"PASSWORD", 0x0013, U16(0x1234), "", false, "take 2"},
        {"SELECTION", 0x001D, Byte(3) + U16(0) + U16(0) + U16(0) + U16(1) + U16(0) + U16(0) + Byte(0) + Byte(0), "", false, "take 15"},
        {"DIMENSIONS", 0x0200, U32(0) + U32(6) + U16(0) + U16(6) + U16(0), "", false, "take 14"},
        {"LABEL", 0x0204, U16(0) + U16(0) + U16(15) + Text8("ab"), "", true, "take 10"},
        {"STRING", 0x0207, Text8("ab"), textResult.substr(0, 4 + 20) + U16(0), true, "take 4"},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(std::string(k.name) + (k.biff5 ? " of BIFF5" : ""));
        const Bytes after = Cell(0x0203, 5, 5, F64(7));
        auto stream = [&](const Bytes& record, const Bytes& next = "") {
            if (k.biff5) return Biff5("", {{"S", k.before + record + next + after}});
            Biff b;
            b.strings = {u"s"};
            b.sheets.push_back({u"S", k.before + record + next + after});
            return b.Build();
        };
        // The refusal of a stream whose record begins with `record`'s bytes.
        auto refused = [&](const Bytes& s, const Bytes& record, size_t length) {
            const std::string error = ErrorOf(Compound(s).file);
            EXPECT_NE(error.find(std::string("sheet \"S\": the ") + k.name + " record at byte " + std::to_string(s.find(record)) + " is " +
                                 std::to_string(length) + " bytes long, where its fields " + k.take),
                      std::string::npos)
                << error;
        };
        for (size_t zeros = 0; zeros <= 3; ++zeros) {
            EXPECT_EQ(Number(*Read(Compound(stream(Record(k.type, k.data + Bytes(zeros, '\0')))).file)->sheets[0], 6, 6), 7) << zeros;
        }
        // Four zero bytes, or a byte 1, hide no record either: no header of
        // a record begins where the fields end, and the NUMBER's follows.
        // After a text only zero bytes may follow.
        EXPECT_EQ(Number(*Read(Compound(stream(Record(k.type, k.data + Bytes(4, '\0')))).file)->sheets[0], 6, 6), 7);
        const Bytes one = Record(k.type, k.data + Byte(1));
        if (k.type == 0x0204 || k.type == 0x0207) refused(stream(one), one, k.data.size() + 1);
        else EXPECT_EQ(Number(*Read(Compound(stream(one)).file)->sheets[0], 6, 6), 7);
        // Two zero bytes, then a record of a type no version of the format
        // uses, or the header of an EOF record running past the stream.
        const Bytes two = Record(k.type, k.data + Bytes(2, '\0'));
        refused(stream(two, Record(0x1234, "ab")), two, k.data.size() + 2);
        refused(stream(two, U16(0x000A) + U16(0xFFFF)), two, k.data.size() + 2);
        // Its length made one to three bytes longer: it ends inside the
        // header of the NUMBER after it.
        for (uint16_t more = 1; more <= 3; ++more) {
            Bytes s = stream(Record(k.type, k.data));
            const size_t at = s.find(Record(k.type, k.data) + after);
            Put16(s, at + 2, static_cast<uint16_t>(k.data.size() + more));
            refused(s, s.substr(at, 4), k.data.size() + more);
        }
    }
    // A record of twelve bytes made one byte longer over a DIMENSIONS
    // record, whose type begins with a zero byte: the header read after
    // that byte is no record's.
    {
        Biff b;
        const Bytes colinfo = Record(0x007D, U16(0) + U16(0) + U16(0x0924) + U16(15) + U16(0) + U16(0));
        b.sheets.push_back({u"S", colinfo + Record(0x0200, U32(0) + U32(1) + U16(0) + U16(1) + U16(0)) + Cell(0x0203, 0, 0, F64(1))});
        Bytes s = b.Build();
        EXPECT_EQ(ErrorOf(Compound(s).file), "");
        const size_t at = s.find(colinfo);
        Put16(s, at + 2, 13);
        EXPECT_NE(ErrorOf(Compound(s).file).find("the COLINFO record at byte " + std::to_string(at) + " is 13 bytes long, where its fields take 12"),
                  std::string::npos)
            << ErrorOf(Compound(s).file);
    }
}

// Every formula token of BIFF8 and of BIFF5, in each of its classes, has
// its size, and so has the extra data after the tokens (array constants
// with every kind of value in either version's layout, a PtgMemArea's
// ranges, the cells of a natural-language label of several cells): a
// formula of each reads at its length with the cell after it, and is
// refused when its length takes in that cell.  Each token's bytes after
// its first are zero and a PtgInt follows it, so that a size one byte off
// meets a byte 0x00, a token neither version defines.  Such tokens are
// refused by name and byte, and so are a token running past the formula's
// tokens and an array value of no kind the format defines.
TEST(XlsReader, FormulaTokensOfEitherVersionHaveTheirSizes) {
    struct Token {
        Bytes tokens;
        Bytes extra;
    };
    auto zeros = [](unsigned ptg, size_t size) { return Byte(ptg) + Bytes(size - 1, '\0'); };
    auto tokensOf = [&](bool biff5) {
        std::vector<Token> all;
        for (unsigned op = 0x03; op <= 0x16; ++op) all.push_back({Byte(op), ""});   // operators, PtgParen, PtgMissArg
        for (const auto& [ptg, size] : std::vector<std::pair<unsigned, size_t>>{{0x01, 5}, {0x02, 5}, {0x1C, 2}, {0x1D, 2}, {0x1E, 3}, {0x1F, 9}}) {
            all.push_back({zeros(ptg, size), ""});
        }
        if (biff5) {
            all.push_back({Byte(0x17) + Byte(3) + "a\xE9" "b", ""});
        } else {
            all.push_back({Byte(0x17) + Byte(3) + Byte(0) + "a\xE9" "b", ""});
            all.push_back({Byte(0x17) + Byte(2) + Byte(1) + U16(0x6C34) + U16(0x0041), ""});
        }
        for (unsigned attr : {0x01, 0x02, 0x08, 0x10, 0x20, 0x21, 0x40, 0x41}) all.push_back({Byte(0x19) + Byte(attr) + U16(0), ""});
        all.push_back({Byte(0x19) + Byte(0x04) + U16(2) + U16(0) + U16(0) + U16(0), ""});   // a choice of two and its jump table
        for (unsigned e : {0x01, 0x02, 0x03, 0x06, 0x07, 0x0A, 0x10, 0x1D}) all.push_back({Byte(0x18) + Byte(e) + U32(0), ""});
        for (unsigned e : {0x0B, 0x0C, 0x0D, 0x0E, 0x0F}) all.push_back({Byte(0x18) + Byte(e) + U32(0), U32(2) + Bytes(8, '\0')});
        // The two flags above the count of cells are no part of it.
        all.push_back({Byte(0x18) + Byte(0x0B) + U32(0), U32(0xC0000002) + Bytes(8, '\0')});
        // Operands and functions: their sizes in BIFF8 and BIFF5.
        const std::vector<std::tuple<unsigned, size_t, size_t>> classed = {
            {0x21, 3, 3},  {0x22, 4, 4},  {0x23, 5, 15}, {0x24, 5, 4},  {0x25, 9, 7},  {0x27, 7, 7},   {0x28, 7, 7},
            {0x29, 3, 3},  {0x2A, 5, 4},  {0x2B, 9, 7},  {0x2C, 5, 4},  {0x2D, 9, 7},  {0x2E, 3, 3},   {0x2F, 3, 3},
            {0x39, 7, 25}, {0x3A, 7, 18}, {0x3B, 11, 21}, {0x3C, 7, 18}, {0x3D, 11, 21}};
        // Array constants: three columns of two rows of every kind of value
        // (BIFF8 stores the counts less one, BIFF5 the counts and texts of a
        // length byte), and in BIFF5 a row of 0 columns, which are 256.
        const Bytes values8 = Byte(0x00) + Bytes(8, '\0') + Byte(0x01) + F64(1.5) + Byte(0x02) + U16(2) + Byte(0) + "ab" + Byte(0x04) +
                              Byte(1) + Bytes(7, '\0') + Byte(0x10) + Byte(7) + Bytes(7, '\0') + Byte(0x02) + U16(1) + Byte(1) + U16(0x6C34);
        const Bytes values5 = Byte(0x00) + Bytes(8, '\0') + Byte(0x01) + F64(1.5) + Byte(0x02) + Byte(2) + "ab" + Byte(0x04) + Byte(1) +
                              Bytes(7, '\0') + Byte(0x10) + Byte(7) + Bytes(7, '\0') + Byte(0x02) + Byte(0);
        Bytes row256;
        for (int i = 0; i < 256; ++i) row256 += Byte(0x01) + F64(i);
        for (unsigned cls : {0x00, 0x20, 0x40}) {
            for (const auto& [ptg, size8, size5] : classed) all.push_back({zeros(ptg + cls, biff5 ? size5 : size8), ""});
            all.push_back({zeros(0x20 + cls, 8), biff5 ? Byte(3) + U16(2) + values5 : Byte(2) + U16(1) + values8});
            all.push_back({zeros(0x26 + cls, 7), U16(2) + Bytes(biff5 ? 12 : 16, '\0')});
        }
        if (biff5) all.push_back({zeros(0x20, 8), Byte(0) + U16(1) + row256});
        // Several with extra data in one formula: theirs follows in the tokens' order.
        all.push_back({zeros(0x26, 7) + zeros(0x40, 8) + Byte(0x18) + Byte(0x0D) + U32(0),
                       U16(1) + Bytes(biff5 ? 6 : 8, '\0') + (biff5 ? Byte(1) + U16(1) + Byte(0x02) + Byte(1) + "x" : Byte(0) + U16(0) + Byte(0x02) + U16(1) + Byte(0) + "x") +
                           U32(1) + U32(0)});
        return all;
    };
    auto formula = [](const Bytes& tokens, const Bytes& extra) {
        return U16(0) + U16(0) + U16(15) + F64(1.5) + U16(0) + U32(0) + U16(static_cast<uint16_t>(tokens.size())) + tokens + extra;
    };
    const Bytes after = Cell(0x0203, 5, 5, F64(7));
    auto stream = [&](bool biff5, const Bytes& cells) {
        if (biff5) return Biff5("", {{"S", cells}});
        Biff b;
        b.sheets.push_back({u"S", cells});
        return b.Build();
    };
    for (bool biff5 : {false, true}) {
        for (const Token& t : tokensOf(biff5)) {
            const Bytes tokens = t.tokens + Byte(0x1E) + U16(7);
            SCOPED_TRACE((biff5 ? "BIFF5 " : "BIFF8 ") + std::to_string(static_cast<unsigned char>(tokens[0])) + " of " + std::to_string(tokens.size()));
            const Bytes data = formula(tokens, t.extra);
            const auto book = Read(Compound(stream(biff5, Record(0x0006, data) + after)).file);
            EXPECT_EQ(Number(*book->sheets[0], 1, 1), 1.5);
            EXPECT_EQ(Number(*book->sheets[0], 6, 6), 7);
            // The same record made as long as to take in the cell after it.
            Bytes swallowing = stream(biff5, Record(0x0006, data) + after);
            const size_t at = swallowing.find(Record(0x0006, data) + after);
            Put16(swallowing, at + 2, static_cast<uint16_t>(data.size() + after.size()));
            const std::string error = ErrorOf(Compound(swallowing).file);
            EXPECT_NE(error.find("sheet \"S\": the FORMULA record at byte " + std::to_string(at) + " is " + std::to_string(data.size() + after.size()) +
                                 " bytes long, where its fields take " + std::to_string(data.size())),
                      std::string::npos)
                << error;
        }
    }
    // Tokens neither version defines, after a PtgInt; their byte in the stream.
    std::vector<Bytes> undefined;
    for (unsigned ptg : {0x00, 0x1A, 0x1B, 0x30, 0x37, 0x38, 0x3E, 0x3F, 0x50, 0x58, 0x5E, 0x70, 0x78, 0x7F, 0x80, 0xFF}) undefined.push_back(Byte(ptg));
    for (unsigned e : {0x00, 0x04, 0x05, 0x08, 0x09, 0x11, 0x1C, 0x1E}) undefined.push_back(Byte(0x18) + Byte(e));
    for (bool biff5 : {false, true}) {
        for (const Bytes& token : undefined) {
            const Bytes cells = Record(0x0006, formula(Byte(0x1E) + U16(1) + token + U32(0), "")) + after;
            const Bytes s = stream(biff5, cells);
            std::string name = Hex(token[0]);
            if (token.size() == 2) name += " " + Hex(token[1]);
            const std::string error = ErrorOf(Compound(s).file);
            EXPECT_NE(error.find("the FORMULA record at byte " + std::to_string(s.find(cells)) + " holds a formula token " + name + " at byte " +
                                 std::to_string(s.find(cells) + 4 + 22 + 3) + " that neither BIFF5 nor BIFF8 defines"),
                      std::string::npos)
                << error;
        }
    }
    // A token running past the formula's tokens; an array value of a kind
    // no version defines.
    // Each with the fault's text before the byte it names, that byte's
    // place after the first token, the text after it.
    const std::tuple<Bytes, const char*, size_t, const char*> faults[] = {
        {formula(zeros(0x1F, 5), ""), "holds a formula token 0x1F at byte ", 0, " that runs past its 5 bytes of tokens"},
        {formula(Byte(0x17) + Byte(4) + Byte(0) + "abc", ""), "holds a formula token 0x17 at byte ", 0, " that runs past its 6 bytes of tokens"},
        {formula(Byte(0x1E) + U16(1) + Byte(0x18), ""), "holds a formula token 0x18 at byte ", 3, " that runs past its 4 bytes of tokens"},
        {formula(Byte(0x19) + Byte(0x04) + U16(5) + U16(0), ""), "holds a formula token 0x19 at byte ", 0, " that runs past its 6 bytes of tokens"},
        {formula(zeros(0x40, 8), Byte(1) + U16(0) + Byte(0x01) + F64(1) + Byte(0x03) + Bytes(8, '\0')),
         "holds an array constant whose value at byte ", 8 + 3 + 9, " is of a kind the format does not define (0x03)"},
    };
    for (const auto& [data, before, place, rest] : faults) {
        Biff b;
        b.sheets.push_back({u"S", Record(0x0006, data) + after});
        const Bytes s = b.Build();
        const size_t at = s.find(Record(0x0006, data));
        const std::string error = ErrorOf(Compound(s).file);
        EXPECT_NE(error.find("sheet \"S\": the FORMULA record at byte " + std::to_string(at) + " " + before + std::to_string(at + 4 + 22 + place) + rest),
                  std::string::npos)
            << error;
    }
}

uint16_t TypeOf(const Bytes& record) {
    return static_cast<uint16_t>(static_cast<unsigned char>(record[0]) | static_cast<unsigned char>(record[1]) << 8);
}

// A record of the globals or a sheet, named as the reader names it, with
// the lengths that are sound for it besides its own.
struct Named {
    const char* name;
    Bytes record;
    std::vector<size_t> sound = {};
};

// The records of the globals and of a sheet "Net" of a workbook of each
// version, laid out as their writers lay them, with a cell of every kind,
// a shared formula, an array formula and a data table: every record whose
// length the format fixes or its fields give.  The sheet's cells: A1
// 3.14159265358979, B1 a date (its XF and FORMAT records read), C1 TRUE,
// A2 5, A3 6, B2 7, C2 8, A4 9.
std::pair<std::vector<Named>, std::vector<Named>> LaidOutRecords(bool biff5) {
    auto text8 = [](const Bytes& text) { return Byte(static_cast<unsigned>(text.size())) + text; };   // a length byte
    auto text16 = [](const Bytes& text) { return U16(static_cast<uint16_t>(text.size())) + Byte(0) + text; };   // BIFF8, one byte a character
    std::vector<Named> globals = {
        {"INTERFACEHDR", Record(0x00E1, biff5 ? "" : U16(1200)), {biff5 ? 2u : 0u}},
        {"MMS", Record(0x00C1, U16(0))},
        {"INTERFACEEND", Record(0x00E2, "")},
        {"WRITEACCESS", Record(0x005C, biff5 ? text8("Calc") + Bytes(27, ' ') : text16("Calc") + Bytes(105, ' ')),
         {biff5 ? 5u : 7u, biff5 ? 112u : 32u}},
        {"CODEPAGE", Record(0x0042, U16(biff5 ? 1252 : 1200))},
        {"FNGROUPCOUNT", Record(0x009C, U16(14))},
        {"WINDOWPROTECT", Record(0x0019, U16(0))},
        {"PROTECT", Record(0x0012, U16(0))},
        {"PASSWORD", Record(0x0013, U16(0))},
        {"BACKUP", Record(0x0040, U16(0))},
        {"HIDEOBJ", Record(0x008D, U16(0))},
        {"WINDOW1", Record(0x003D, U16(0) + U16(0) + U16(0x3000) + U16(0x2000) + U16(0x38) + U16(0) + U16(0) + U16(1) + U16(600))},
        {"DATEMODE", Record(0x0022, U16(0))},
        {"PRECISION", Record(0x000E, U16(1))},
        {"BOOKBOOL", Record(0x00DA, U16(0))},
        {"FONT", Record(0x0031, U16(200) + U16(0) + U16(0x7FFF) + U16(400) + U16(0) + Bytes(4, '\0') + (biff5 ? text8("Arial") : Byte(5) + Byte(0) + "Arial"))},
        {"FORMAT", Record(0x041E, U16(164) + (biff5 ? text8("YYYY-MM-DD") : text16("YYYY-MM-DD")))},
    };
    if (!biff5) {
        for (const Named& n : std::vector<Named>{{"DSF", Record(0x0161, U16(0))}, {"PROT4REV", Record(0x01AF, U16(0))},
                                                 {"PROT4REVPASS", Record(0x01BC, U16(0))}, {"REFRESHALL", Record(0x01B7, U16(0))}}) {
            globals.push_back(n);
        }
    }
    for (uint16_t i = 0; i < 16; ++i) globals.push_back({"XF", Record(0x00E0, U16(0) + U16(i == 15 ? 164 : 0) + Bytes(biff5 ? 12 : 16, '\0')), {biff5 ? 20u : 16u}});
    globals.push_back({"STYLE", Record(0x0293, U16(0x8000) + Byte(0) + Byte(0xFF))});
    globals.push_back({"STYLE", Record(0x0293, U16(0x0010) + (biff5 ? text8("Net") : text16("Net")))});
    globals.push_back({"PALETTE", Record(0x0092, U16(2) + U32(0) + U32(0xFFFFFF))});
    globals.push_back({"COUNTRY", Record(0x008C, U16(1) + U16(49))});
    if (!biff5) {
        globals.push_back({"USESELFS", Record(0x0160, U16(0))});
        globals.push_back({"EXTERNSHEET", Record(0x0017, U16(1) + U16(0) + U16(0) + U16(0))});
    }
    // The tokens of the shared formula (a relative reference, 1, +) and of
    // the array formula (an array constant of 1 and 2, SUM), with the array.
    const Bytes shared = biff5 ? Byte(0x2C) + U16(0xC000) + Byte(0) + Byte(0x1E) + U16(1) + Byte(0x03)
                               : Byte(0x2C) + U16(0) + U16(0xC000) + Byte(0x1E) + U16(1) + Byte(0x03);
    const Bytes array = Byte(0x60) + Bytes(7, '\0') + Byte(0x41) + U16(4);
    const Bytes values = (biff5 ? Byte(2) + U16(1) : Byte(1) + U16(0)) + Byte(0x01) + F64(1) + Byte(0x01) + F64(2);
    auto formula = [](uint16_t row, uint16_t col, double result, const Bytes& tokens) {
        return CellXf(0x0006, row, col, 0, F64(result) + U16(0) + U32(0) + U16(static_cast<uint16_t>(tokens.size())) + tokens);
    };
    std::vector<Named> sheet = {
        {"CALCMODE", Record(0x000D, U16(1))},
        {"CALCCOUNT", Record(0x000C, U16(100))},
        {"REFMODE", Record(0x000F, U16(1))},
        {"ITERATION", Record(0x0011, U16(0))},
        {"DELTA", Record(0x0010, F64(0.001))},
        {"SAVERECALC", Record(0x005F, U16(1))},
        {"PRINTHEADERS", Record(0x002A, U16(0))},
        {"PRINTGRIDLINES", Record(0x002B, U16(0))},
        {"GRIDSET", Record(0x0082, U16(1))},
        {"GUTS", Record(0x0080, Bytes(8, '\0'))},
        {"DEFAULTROWHEIGHT", Record(0x0225, U16(0) + U16(255))},
        {"WSBOOL", Record(0x0081, U16(0x04C1))},
        {"HORIZONTALPAGEBREAKS", Record(0x001B, U16(1) + (biff5 ? U16(5) : U16(5) + U16(0) + U16(255)))},
        {"VERTICALPAGEBREAKS", Record(0x001A, U16(0))},
        {"HEADER", Record(0x0014, biff5 ? text8("&P") : text16("&P"))},
        {"FOOTER", Record(0x0015, "")},
        {"HCENTER", Record(0x0083, U16(0))},
        {"VCENTER", Record(0x0084, U16(0))},
        {"LEFTMARGIN", Record(0x0026, F64(0.7))},
        {"RIGHTMARGIN", Record(0x0027, F64(0.7))},
        {"TOPMARGIN", Record(0x0028, F64(0.75))},
        {"BOTTOMMARGIN", Record(0x0029, F64(0.75))},
        {"SETUP", Record(0x00A1, U16(9) + U16(100) + Bytes(30, '\0'))},
        {"DEFCOLWIDTH", Record(0x0055, U16(8))},
        {"COLINFO", Record(0x007D, U16(0) + U16(0) + U16(0x0924) + U16(15) + U16(0) + U16(0))},
        {"DIMENSIONS", Record(0x0200, biff5 ? U16(0) + U16(4) + U16(0) + U16(3) + U16(0) : U32(0) + U32(4) + U16(0) + U16(3) + U16(0)), {biff5 ? 14u : 10u}},
        {"PROTECT", Record(0x0012, U16(0))},
        {"SCENPROTECT", Record(0x00DD, U16(0))},
        {"OBJPROTECT", Record(0x0063, U16(0))},
        {"PASSWORD", Record(0x0013, U16(0))},
        {"ROW", Record(0x0208, U16(0) + U16(0) + U16(3) + U16(255) + Bytes(8, '\0'))},
        {"NUMBER", CellXf(0x0203, 0, 0, 0, F64(3.14159265358979))},
        {"NUMBER", CellXf(0x0203, 0, 1, 15, F64(45000.75))},
        {"BOOLERR", CellXf(0x0205, 0, 2, 0, Byte(1) + Byte(0))},
        {"FORMULA", formula(1, 0, 5, Byte(0x01) + U16(1) + U16(0))},
        {"SHRFMLA", Record(0x04BC, U16(1) + U16(2) + Byte(0) + Byte(0) + Byte(0) + Byte(2) + U16(static_cast<uint16_t>(shared.size())) + shared)},
        {"FORMULA", formula(2, 0, 6, Byte(0x01) + U16(1) + U16(0))},
        {"FORMULA", formula(1, 1, 7, Byte(0x01) + U16(1) + U16(1))},
        {"ARRAY", Record(0x0221, U16(1) + U16(1) + Byte(1) + Byte(1) + U16(0) + U32(0) + U16(static_cast<uint16_t>(array.size())) + array + values)},
        {"FORMULA", formula(1, 2, 8, Byte(0x02) + U16(1) + U16(2))},
        {"TABLE", Record(0x0236, U16(1) + U16(1) + Byte(2) + Byte(2) + U16(0) + U16(0) + U16(0) + U16(0) + U16(0))},
        {"NUMBER", CellXf(0x0203, 3, 0, 0, F64(9))},
        // BIFF5's WINDOW2 taking in the SCL after it is BIFF8's 18 bytes long: refused all the same.
        {"WINDOW2", Record(0x023E, biff5 ? U16(0x06B6) + U16(0) + U16(0) + U32(0x40) : U16(0x06B6) + U16(0) + U16(0) + U32(0x40) + U16(0) + U16(0) + U32(0))},
        {"SCL", Record(0x00A0, U16(1) + U16(1))},
        {"PANE", Record(0x0041, U16(0) + U16(0x0100) + U16(0) + U16(1) + Byte(3) + Byte(0))},
        {"SELECTION", Record(0x001D, Byte(3) + U16(0) + U16(0) + U16(0) + U16(1) + U16(0) + U16(0) + Byte(0) + Byte(0))},
        {"STANDARDWIDTH", Record(0x0099, U16(2048))},
    };
    if (!biff5) sheet.push_back({"MERGEDCELLS", Record(0x00E5, U16(1) + U16(3) + U16(3) + U16(0) + U16(1))});
    return {globals, sheet};
}

// The stream of a workbook of those records and a second sheet "Two", and
// where each record of the globals and of "Net" begins in it.
struct Laid {
    Bytes stream;
    std::vector<size_t> globalsAt, sheetAt;
};
Laid Lay(bool biff5, const std::vector<Named>& globals, const std::vector<Named>& sheet) {
    Bytes g, c;
    for (const Named& n : globals) g += n.record;
    for (const Named& n : sheet) c += n.record;
    Laid l;
    size_t at = 0, sheetAt = 0;
    if (biff5) {
        l.stream = Biff5(g, {{"Net", c}, {"Two", Cell(0x0203, 0, 0, F64(2))}});
        at = 12;
        sheetAt = l.stream.find(Record(0x0809, U16(0x0500) + U16(0x0010) + U32(0))) + 12;
    } else {
        Biff b;
        b.globals = g;
        b.sheets = {{u"Net", c}, {u"Two", Cell(0x0203, 0, 0, F64(2))}};
        l.stream = b.Build();
        at = 20;
        sheetAt = l.stream.find(Record(0x0809, U16(0x0600) + U16(0x0010) + Bytes(12, '\0'))) + 20;
    }
    for (const Named& n : globals) l.globalsAt.push_back(std::exchange(at, at + n.record.size()));
    for (const Named& n : sheet) l.sheetAt.push_back(std::exchange(sheetAt, sheetAt + n.record.size()));
    return l;
}

// The records of the globals and the sheets whose length the format fixes
// or their fields give read as their writers lay them, and at the other
// version's lengths where the two differ; each of them one byte longer
// than its fields, or made as long as to take in the record after it, is
// refused naming it and its byte: a PASSWORD record taking in the ROW and
// NUMBER records after it, a BOUNDSHEET the next one, a sheet's BOF the
// record after it.
TEST(XlsReader, RecordsOfTheGlobalsAndSheetsMayNotHideTheRecordsAfterThem) {
    auto values = [](const Bytes& stream) {
        const auto book = Read(Compound(stream).file);
        const sheet::Sheet& s = *book->sheets.at(0);
        std::string all;
        for (const auto& [row, col] : std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}, {2, 1}, {3, 1}, {2, 2}, {2, 3}, {4, 1}}) {
            all += Show(s.Value(row, col)) + " ";
        }
        return all + Show(book->sheets.at(1)->Value(1, 1));
    };
    const std::string expected = "Double:3.14159265358979 Double:45000.75 Boolean:True Double:5 Double:6 Double:7 Double:8 Double:9 Double:2";
    for (bool biff5 : {false, true}) {
        SCOPED_TRACE(biff5 ? "BIFF5" : "BIFF8");
        const auto [globals, sheet] = LaidOutRecords(biff5);
        const Laid sound = Lay(biff5, globals, sheet);
        EXPECT_EQ(values(sound.stream), expected);
        const std::string where[] = {"the workbook's globals: ", "sheet \"Net\": "};
        for (int part = 0; part < 2; ++part) {
            const std::vector<Named>& list = part == 0 ? globals : sheet;
            for (size_t i = 0; i < list.size(); ++i) {
                SCOPED_TRACE(list[i].name);
                // Refused as longer than its own length where it takes in
                // the record after it; an empty one is refused as too short
                // for the text the bytes after it give.
                const size_t length = list[i].record.size() - 4;
                auto refused = [&](const Bytes& stream, size_t at, size_t longer) {
                    const std::string error = ErrorOf(Compound(stream).file);
                    if (std::count(list[i].sound.begin(), list[i].sound.end(), longer)) {
                        EXPECT_EQ(error, "");
                        return;
                    }
                    EXPECT_NE(error.find(std::string(list[i].name) + " record at byte " + std::to_string(at) + " is " + std::to_string(longer) +
                                         " bytes long" + (length == 0 ? "" : ", where its fields take " + std::to_string(length))),
                              std::string::npos)
                        << error;
                };
                // A byte "x" past its fields hides no record: it reads.  But
                // the last of the BIFF8 globals is followed by the padding
                // record of the stream's builder, of a type the format does
                // not define: what follows the surplus is no record's
                // header, and it is refused; and the empty FOOTER takes the
                // byte for its text's length.
                std::vector<Named> longer = part == 0 ? globals : sheet;
                longer[i].record = Record(TypeOf(longer[i].record), longer[i].record.substr(4) + "x");
                const Laid one = part == 0 ? Lay(biff5, longer, sheet) : Lay(biff5, globals, longer);
                if ((part == 0 && !biff5 && i + 1 == list.size()) || std::string(list[i].name) == "FOOTER") {
                    refused(one.stream, (part == 0 ? one.globalsAt : one.sheetAt)[i], length + 1);
                } else {
                    EXPECT_EQ(values(one.stream), expected);
                }
                // As long as to take in the record after it (the EOF after the sheet's last).
                Bytes swallowing = sound.stream;
                const size_t at = (part == 0 ? sound.globalsAt : sound.sheetAt)[i];
                const size_t next = i + 1 < list.size() ? list[i + 1].record.size() : 4;
                Put16(swallowing, at + 2, static_cast<uint16_t>(length + next));
                refused(swallowing, at, length + next);
            }
        }
        // The PASSWORD of the sheet, as long as to take in the ROW and the
        // NUMBER of A1 after it.
        size_t password = 0;
        while (std::string(sheet[password].name) != "PASSWORD") ++password;
        Bytes s = sound.stream;
        Put16(s, sound.sheetAt[password] + 2, 2 + 20 + 18);
        EXPECT_NE(ErrorOf(Compound(s).file).find("sheet \"Net\": the PASSWORD record at byte " + std::to_string(sound.sheetAt[password]) +
                                                 " is 40 bytes long, where its fields take 2"),
                  std::string::npos)
            << ErrorOf(Compound(s).file);
        // The first BOUNDSHEET taking in the second, which would lose sheet "Two".
        const size_t boundSheet = sound.stream.find(U16(0x0085) + U16(biff5 ? 10 : 11));
        ASSERT_NE(boundSheet, Bytes::npos);
        s = sound.stream;
        Put16(s, boundSheet + 2, static_cast<uint16_t>((biff5 ? 10 : 11) + 4 + (biff5 ? 10 : 11)));
        EXPECT_NE(ErrorOf(Compound(s).file).find("the workbook's globals: the BOUNDSHEET record at byte " + std::to_string(boundSheet) + " is " +
                                                 std::to_string(biff5 ? 24 : 26) + " bytes long, where its fields take " + (biff5 ? "10" : "11")),
                  std::string::npos)
            << ErrorOf(Compound(s).file);
        // The sheet's BOF taking in the CALCMODE after it.
        s = sound.stream;
        const size_t bof = sound.sheetAt[0] - (biff5 ? 12 : 20);
        Put16(s, bof + 2, static_cast<uint16_t>((biff5 ? 8 : 16) + 6));
        EXPECT_NE(ErrorOf(Compound(s).file).find("sheet \"Net\": the BOF record at byte " + std::to_string(bof) + " is " +
                                                 std::to_string(biff5 ? 14 : 22) + " bytes long, where its fields take " + (biff5 ? "8" : "16")),
                  std::string::npos)
            << ErrorOf(Compound(s).file);
        // The other version's lengths, and a WRITEACCESS of its name alone.
        auto other = [&](std::vector<Named> list, const char* name, const Bytes& record) {
            for (Named& n : list) {
                if (std::string(n.name) == name) n.record = record;
            }
            return list;
        };
        std::vector<Named> g = other(globals, "INTERFACEHDR", Record(0x00E1, biff5 ? U16(1252) : ""));
        g = other(g, "WRITEACCESS", Record(0x005C, biff5 ? Byte(4) + "Calc" : U16(4) + Byte(0) + "Calc"));
        std::vector<Named> c = other(sheet, "DIMENSIONS", Record(0x0200, biff5 ? U32(0) + U32(4) + U16(0) + U16(3) + U16(0) : U16(0) + U16(4) + U16(0) + U16(3) + U16(0)));
        c = other(c, "WINDOW2", Record(0x023E, biff5 ? U16(0x06B6) + U16(0) + U16(0) + U32(0x40) + Bytes(8, '\0') : U16(0x06B6) + U16(0) + U16(0) + U32(0x40)));
        EXPECT_EQ(values(Lay(biff5, g, c).stream), expected);
        // A BIFF8 HEADER too short for its text's length and flags (an
        // empty text without its flags reads).
        if (!biff5) {
            size_t header = 0;
            while (std::string(sheet[header].name) != "HEADER") ++header;
            EXPECT_EQ(values(Lay(biff5, globals, other(sheet, "HEADER", Record(0x0014, U16(0)))).stream), expected);
            const Laid cut = Lay(biff5, globals, other(sheet, "HEADER", Record(0x0014, U16(1))));
            EXPECT_NE(ErrorOf(Compound(cut.stream).file).find("sheet \"Net\": HEADER record at byte " + std::to_string(cut.sheetAt[header]) +
                                                              " is 2 bytes long, shorter than its 3"),
                      std::string::npos)
                << ErrorOf(Compound(cut.stream).file);
        }
    }
}

}  // namespace
