// The values the .xls reader gives: a string table or a number format that
// holds less than it declares, the longest texts a cell holds, numbers in
// date formats of both date systems, and 8-bit and UTF-16 texts at the
// edges of their code pages; on workbooks built here record by record, as
// the writers lay them out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/sheet/workbook.h"

#include "tests/platform_sheet/xls_builder.h"

namespace {

using namespace xls_test;

// A BIFF8 workbook stream laid out as the writers lay it out: BOF, `head`
// (code page, date system, number and cell formats), one BOUNDSHEET a
// sheet, `tail` (the string table and its index), EOF; then each sheet's
// records between its BOF and EOF.
Bytes Book8(const Bytes& head, const Bytes& tail, const std::vector<std::pair<std::string, Bytes>>& sheets) {
    Bytes globals = Record(0x0809, U16(0x0600) + U16(0x0005) + Bytes(12, '\0')) + head;
    size_t offset = globals.size() + tail.size() + 4;
    for (const auto& [name, cells] : sheets) offset += 4 + 8 + name.size();
    Bytes body;
    for (const auto& [name, cells] : sheets) {
        globals += Record(0x0085, U32(static_cast<uint32_t>(offset)) + U16(0) + Bytes(1, static_cast<char>(name.size())) +
                                      Bytes(1, 0) + name);
        const Bytes records = Record(0x0809, U16(0x0600) + U16(0x0010) + Bytes(12, '\0')) + cells + Record(0x000A, "");
        body += records;
        offset += records.size();
    }
    return globals + tail + Record(0x000A, "") + body;
}

// A record of `head` followed by characters, split as the writers split a
// long one: records of at most 8,224 bytes, each CONTINUE beginning with
// the width of the characters it carries.
Bytes Split(uint16_t type, const Bytes& head, const Bytes& chars, bool wide) {
    const size_t width = wide ? 2 : 1;
    const size_t first = (8224 - head.size()) / width * width;
    Bytes out = Record(type, head + chars.substr(0, first));
    for (size_t at = first; at < chars.size();) {
        const size_t n = std::min(chars.size() - at, size_t(8223) / width * width);
        out += Record(0x003C, Bytes(1, wide ? 1 : 0) + chars.substr(at, n));
        at += n;
    }
    return out;
}

// The record of a number in cell format `xf`.
Bytes NumberIn(uint16_t row, uint16_t col, uint16_t xf, double value) { return Record(0x0203, U16(row) + U16(col) + U16(xf) + F64(value)); }

// A BIFF8 FORMAT record: its number, its length in characters, then the
// characters (one byte each).
Bytes Format8(uint16_t number, uint16_t length, const std::string& chars) {
    return Record(0x041E, U16(number) + U16(length) + Bytes(1, 0) + chars);
}
// A cell format (XF) of a number format.
Bytes Xf(uint16_t format) { return Record(0x00E0, U16(0) + U16(format) + Bytes(16, '\0')); }

std::string Outcome(const Bytes& stream) {
    const std::string error = ErrorOf(Compound(stream).file);
    return error.empty() ? "read" : error;
}

// A string table that declares more strings than it holds, as a writer
// left one (1,761 declared, none held, no cell naming one), reads; so do
// cells naming the strings a short table holds, and a cell naming one
// beyond them is refused, naming the cell and what the table holds.  A
// string cut short inside the table is still refused.
TEST(XlsValues, StringTableShorterThanItsCount) {
    const Bytes numbers = NumberIn(0, 0, 15, 1.5) + NumberIn(1, 0, 15, 2.5);
    const Bytes emptyTable = Record(0x00FC, U32(3522) + U32(1761)) + Record(0x00FF, U16(8));
    const auto book = Read(Compound(Book8("", emptyTable, {{"Net", numbers}})).file);
    EXPECT_EQ(Number(*book->sheets.at(0), 2, 1), 2.5);

    // Two strings held of the five declared.
    const Bytes twoOfFive = Record(0x00FC, U32(5) + U32(5) + U16(3) + Bytes(1, 0) + "MH1" + U16(3) + Bytes(1, 0) + "MH2") +
                            Record(0x00FF, U16(8) + Bytes(8, '\0'));
    const Bytes named = Cell(0x00FD, 0, 0, U32(0)) + Cell(0x00FD, 1, 0, U32(1)) + NumberIn(2, 0, 15, 3.5);
    const auto two = Read(Compound(Book8("", twoOfFive, {{"Net", named}})).file);
    EXPECT_EQ(Show(two->sheets.at(0)->Value(1, 1)), "String:MH1");
    EXPECT_EQ(Show(two->sheets.at(0)->Value(2, 1)), "String:MH2");
    EXPECT_EQ(Outcome(Book8("", twoOfFive, {{"Net", named + Cell(0x00FD, 2, 1, U32(2))}})),
              "built.xls: stream \"Workbook\": sheet \"Net\": cell B3 names shared string 2, beyond the workbook's 2 "
              "(its string table declares 5 but holds 2)");
    // A table holding all it declares: no word of what it declares.
    const Bytes twoOfTwo = Record(0x00FC, U32(2) + U32(2) + U16(3) + Bytes(1, 0) + "MH1" + U16(3) + Bytes(1, 0) + "MH2") +
                           Record(0x00FF, U16(8) + Bytes(8, '\0'));
    EXPECT_EQ(Outcome(Book8("", twoOfTwo, {{"Net", named + Cell(0x00FD, 2, 1, U32(2))}})),
              "built.xls: stream \"Workbook\": sheet \"Net\": cell B3 names shared string 2, beyond the workbook's 2");

    // The second string's length is there, its characters are not; then
    // its flags are missing too.
    const Bytes cut = Record(0x00FC, U32(2) + U32(2) + U16(3) + Bytes(1, 0) + "MH1" + U16(3) + Bytes(1, 0) + "M");
    EXPECT_NE(Outcome(Book8("", cut, {{"Net", numbers}})).find("the shared strings: SST record at byte"), std::string::npos)
        << Outcome(Book8("", cut, {{"Net", numbers}}));
    const Bytes noFlags = Record(0x00FC, U32(2) + U32(2) + U16(3) + Bytes(1, 0) + "MH1" + U16(3));
    EXPECT_NE(Outcome(Book8("", noFlags, {{"Net", numbers}})).find("ends inside a value"), std::string::npos);
}

// A number format whose text is a character shorter than its count, as an
// independent writer left one in a workbook's globals, is read as far as
// its record holds it: here still a date's, so in a 1904 workbook its
// number moves to the 1900 system; the format after it reads as its own.
// So is one of two bytes a character cut inside its last character, and
// one whose record ends after its count.  A text cut short in a cell or a
// sheet name is still refused.
TEST(XlsValues, FormatTextShorterThanItsCount) {
    const Bytes dateMode = Record(0x0022, U16(1));
    const Bytes xfs = Xf(0) + Xf(164) + Xf(165) + Xf(166);
    const Bytes cells = NumberIn(0, 0, 1, 43831.625) + NumberIn(0, 1, 2, 43831.625) + NumberIn(0, 2, 3, 43831.625);
    const Bytes wide = Record(0x041E, U16(166) + U16(2) + Bytes(1, 1) + U16('d') + Bytes(1, 'd'));
    const Bytes formats = Format8(164, 10, "yyyy-mm-d") + Format8(165, 4, "0.00") + wide;
    const auto book = Read(Compound(Book8(dateMode + formats + xfs, "", {{"S", cells}})).file);
    EXPECT_EQ(Number(*book->sheets.at(0), 1, 1), 45293.625);
    EXPECT_EQ(Number(*book->sheets.at(0), 1, 2), 43831.625);
    EXPECT_EQ(Number(*book->sheets.at(0), 1, 3), 45293.625);   // "d" of the two
    // Four characters declared, none there: no date.
    const Bytes empty = Record(0x041E, U16(164) + U16(4));
    EXPECT_EQ(Number(*Read(Compound(Book8(dateMode + empty + xfs, "", {{"S", cells}})).file)->sheets.at(0), 1, 1), 43831.625);

    const Bytes shortLabel = Record(0x0204, U16(0) + U16(0) + U16(15) + U16(4) + Bytes(1, 0) + "MH1");
    EXPECT_NE(Outcome(Book8("", "", {{"S", shortLabel}})).find("sheet \"S\": LABEL record at byte"), std::string::npos);
    EXPECT_NE(Outcome(Book8("", "", {{"S", shortLabel}})).find("ends inside a value"), std::string::npos);
    Bytes shortName = Book8("", "", {{"Net", ""}});
    shortName[shortName.find(U16(0x0085)) + 4 + 6] = 4;
    EXPECT_NE(Outcome(shortName).find("the sheet name of the BOUNDSHEET record at byte"), std::string::npos);
}

// A cell's text may take 98,301 bytes of UTF-8, what 32,767 characters of
// three bytes each take: such a text reads in the string table, in a LABEL
// record and as a formula's result, each carried over CONTINUE records;
// one character more is refused naming the cell or the string.  The bound
// is in bytes: 16,384 characters beyond U+FFFF (32,768 UTF-16 units, more
// than the spreadsheet lets one type) take 65,536 bytes and read.
TEST(XlsValues, CellTextsAsLongAsTheSpreadsheetAllows) {
    auto wide = [](size_t n, uint16_t unit) {
        Bytes b;
        for (size_t i = 0; i < n; ++i) b += U16(unit);
        return b;
    };
    std::string water;
    for (int i = 0; i < 32767; ++i) water += "\xE6\xB0\xB4";
    const Bytes smiles = [] {
        Bytes b;
        for (int i = 0; i < 16384; ++i) b += U16(0xD83D) + U16(0xDE00);
        return b;
    }();
    const Bytes formula = Record(0x0006, U16(2) + U16(0) + U16(15) + Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
    struct Place {
        const char* name;
        std::function<Bytes(const Bytes& chars)> stream;
        const char* refused;
    } places[] = {
        {"string table",
         [](const Bytes& chars) {
             const Bytes table = Split(0x00FC, U32(1) + U32(1) + U16(static_cast<uint16_t>(chars.size() / 2)) + Bytes(1, 1), chars, true);
             return Book8("", table + Record(0x00FF, U16(8) + Bytes(8, '\0')), {{"S", Cell(0x00FD, 0, 0, U32(0))}});
         },
         "the shared strings: string 0: "},
        {"LABEL",
         [](const Bytes& chars) {
             return Book8("", "", {{"S", Split(0x0204, U16(0) + U16(0) + U16(15) + U16(static_cast<uint16_t>(chars.size() / 2)) + Bytes(1, 1), chars, true)}});
         },
         "sheet \"S\": cell A1: "},
        {"formula's text",
         [&](const Bytes& chars) {
             return Book8("", "", {{"S", formula + Split(0x0207, U16(static_cast<uint16_t>(chars.size() / 2)) + Bytes(1, 1), chars, true) +
                                             NumberIn(1, 0, 15, 7)}});
         },
         "sheet \"S\": cell A3: "},
    };
    for (const auto& place : places) {
        SCOPED_TRACE(place.name);
        const auto book = Read(Compound(place.stream(wide(32767, 0x6C34))).file);
        const sheet::Sheet& s = *book->sheets.at(0);
        ASSERT_EQ(s.Strings().size(), 1u);
        EXPECT_EQ(s.Strings()[0], water);
        EXPECT_EQ(Outcome(place.stream(wide(32768, 0x6C34))),
                  std::string("built.xls: stream \"Workbook\": ") + place.refused + "a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold");
        EXPECT_EQ(Outcome(place.stream(smiles)), "read");   // 32,768 units
    }
}

// A number reads as it is stored whatever its format shows: 2024-01-02
// 15:00 in a date-only format keeps its time, to the last bit; day 0 and
// day 60 stay; a time format's number keeps its day.  In a workbook of the
// 1904 date system the number of a format that shows a date reads as its
// 1900 serial, that of a time of day or a duration as it is stored, in
// BIFF8 and BIFF5 alike (formats in the code page of two-byte characters
// whose second bytes are letters included).
TEST(XlsValues, NumbersReadAsStoredAndDatesOf1904AsTheir1900Serials) {
    const double exact = 45293.625 + 1e-9;
    const Bytes formats = Format8(164, 10, "yyyy-mm-dd") + Format8(165, 16, "yyyy-mm-dd hh:mm") + Format8(166, 5, "hh:mm") +
                          Format8(167, 6, "[h]:mm") + Format8(168, 11, "0.00 \"days\"");
    const Bytes xfs = Xf(0) + Xf(164) + Xf(165) + Xf(166) + Xf(167) + Xf(168) + Xf(14) + Xf(21);
    const Bytes cells1900 = NumberIn(0, 0, 1, 45293.625) + NumberIn(0, 1, 2, 45293.625) + NumberIn(0, 2, 3, 45293.625) +
                            NumberIn(0, 3, 1, exact) + NumberIn(0, 4, 6, 0) + NumberIn(0, 5, 6, 60) + NumberIn(0, 6, 7, 60.5);
    const auto book = Read(Compound(Book8(formats + xfs, "", {{"S", cells1900}})).file);
    const double read1900[] = {45293.625, 45293.625, 45293.625, exact, 0, 60, 60.5};
    for (int c = 0; c < 7; ++c) EXPECT_EQ(Number(*book->sheets.at(0), 1, c + 1), read1900[c]) << c;

    // The 1904 workbook of the same moments.
    const Bytes cells1904 = NumberIn(0, 0, 1, 43831.625) + NumberIn(0, 1, 2, 43831.625) + NumberIn(0, 2, 3, 0.625) +
                            NumberIn(0, 3, 4, 1.25) + NumberIn(0, 4, 5, 43831.625) + NumberIn(0, 5, 6, 0) + NumberIn(0, 6, 7, 43831.625) +
                            NumberIn(0, 7, 0, 43831.625) + NumberIn(0, 8, 6, -1) + NumberIn(0, 9, 6, 2957004) + NumberIn(0, 10, 8, 43831.625);
    const auto book1904 = Read(Compound(Book8(Record(0x0022, U16(1)) + formats + xfs, "", {{"S", cells1904}})).file);
    const double read1904[] = {45293.625, 45293.625, 0.625, 1.25, 43831.625, 1462, 43831.625, 43831.625, -1, 2957004, 43831.625};
    for (int c = 0; c < 11; ++c) EXPECT_EQ(Number(*book1904->sheets.at(0), 1, c + 1), read1904[c]) << c;

    // BIFF5 in code page 932: a format whose two-byte characters have the
    // bytes of "d" and "m" (no date's), and a date's.
    const Bytes biff5Formats = Record(0x0042, U16(932)) + Record(0x0022, U16(1)) +
                               Record(0x041E, U16(164) + Bytes(1, 7) + "\x89\x64\x89\x6D" "0.0") + Record(0x041E, U16(165) + Bytes(1, 4) + "yyyy") +
                               Record(0x00E0, U16(0) + U16(164) + Bytes(12, '\0')) + Record(0x00E0, U16(0) + U16(165) + Bytes(12, '\0'));
    const auto biff5 = Read(Compound(Biff5(biff5Formats, {{"S", NumberIn(0, 0, 0, 43831.625) + NumberIn(0, 1, 1, 43831.625)}})).file);
    EXPECT_EQ(Number(*biff5->sheets.at(0), 1, 1), 43831.625);
    EXPECT_EQ(Number(*biff5->sheets.at(0), 1, 2), 45293.625);
}

// 8-bit texts at the edges of their code pages: Mac Roman (10000 and
// 32768) as the spreadsheet reads it, with the increment sign at 0xC6 and
// the Apple logo at 0xF0; the Windows tables at their first and last bytes
// and at a byte they leave undefined; the code pages next to the tables',
// which are not read; ASCII by its other number.
TEST(XlsValues, EightBitCodePagesAtTheirEdges) {
    auto first = [](uint16_t page, const Bytes& text) {
        try {
            const auto book = Read(Compound(Biff5(Record(0x0042, U16(page)), {{"S", Cell(0x0204, 0, 0, Text8(text))}})).file);
            return Show(book->sheets.at(0)->Value(1, 1));
        } catch (const vb::VbError& e) {
            return e.Description();
        }
    };
    for (uint16_t page : {10000, 32768}) {
        EXPECT_EQ(first(page, "\xC6\xF0\x80\xDB\xFF\xA5"), "String:\xE2\x88\x86\xEF\xA3\xBF\xC3\x84\xE2\x82\xAC\xCB\x87\xE2\x80\xA2") << page;
    }
    const std::pair<uint16_t, std::pair<Bytes, std::string>> read[] = {
        {1250, {"\x80\xFF\x81", "€˙\uFFFD"}},
        {1252, {"\x80\xFF\x81\x9D", "€ÿ\uFFFD\uFFFD"}},
        {1253, {"\xAA\xD2\xFF", "\uFFFD\uFFFD\uFFFD"}},
        {1257, {"\xA1\xFF", "\uFFFD˙"}},
        {1258, {"\x80\xFE\xFF", "€₫ÿ"}},
        {20127, {"a\x80", "a\uFFFD"}},
    };
    for (const auto& [page, text] : read) EXPECT_EQ(first(page, text.first), "String:" + text.second) << page;
    for (uint16_t page : {1249, 1259, 9999, 10001, 32767}) {
        EXPECT_NE(first(page, "\x80").find("has characters of code page " + std::to_string(page) + ", which is not read"), std::string::npos)
            << page;
    }
}

// A BIFF5 workbook without a CODEPAGE record reads its texts, and its sheet
// names, in the code page of the first of its fonts whose character set is
// not a Western one (ANSI 0, the default 1), Symbol and OEM naming none; a
// CODEPAGE record wins.
TEST(XlsValues, Biff5TextsInTheCodePageOfTheirFonts) {
    auto fonts = [](const std::vector<int>& sets) {
        Bytes b;
        for (int set : sets) b += Record(0x0031, Bytes(11, '\0') + Bytes(1, 2) + Bytes(1, static_cast<char>(set)) + Bytes(1, 0) + "\x05" "Arial");
        return b;
    };
    const std::tuple<Bytes, Bytes, std::string> rows[] = {
        {fonts({1, 0xCC, 0}), "\xC2\xEE\xE4\xE0", "Вода"}, {fonts({0, 0xEE}), "\xA3\xF3" "d\x9F", "Łódź"}, {fonts({0, 0xA1}), "\xD5\xE4\xF9\xF1", "Υδωρ"},
        {fonts({0, 0xA2}), "\xD0\xFD", "Ğı"}, {fonts({0, 0xB1}), "\xEE\xE9\xED", "מים"}, {fonts({0, 0xB2}), "\xE3\xC7\xC1", "ماء"},
        {fonts({0, 0xBA}), "\xD9\xE2", "Łā"}, {fonts({0, 0xA3}), "\xC3\xF5", "Ăơ"}, {fonts({0, 0xDE}), "\xB9\xE9\xD3", "น้ำ"},
        {fonts({0, 0x80}), "\x90\x85", "水"}, {fonts({0, 0x86}), "\xCB\xAE", "水"}, {fonts({0, 0x81}), "\xB9\xB0", "물"},
        {fonts({0, 0x88}), "\xA4\xF4", "水"}, {fonts({0, 0x4D}), "\x80\xA5", "Ä•"}, {fonts({2, 0xFF, 0}), "\x80", "€"},
        {fonts({0xCC, 0xEE}), "\xC2\xEE\xE4\xE0", "Вода"},
        {Record(0x0042, U16(1252)) + fonts({0xCC}), "\xC2\xEE\xE4\xE0", "Âîäà"},
    };
    for (const auto& [globals, bytes, text] : rows) {
        const auto book = Read(Compound(Biff5(globals, {{bytes, Cell(0x0204, 0, 0, Text8(bytes))}})).file);
        EXPECT_EQ(book->sheets.at(0)->name, text);
        EXPECT_EQ(Show(book->sheets.at(0)->Value(1, 1)), "String:" + text);
    }
}

// Texts of two bytes a character: a pair of surrogates is one character
// beyond U+FFFF; a half of a pair without its other half, at the end, at
// the start or before another character, becomes U+FFFD.
TEST(XlsValues, Utf16TextsWithSurrogates) {
    auto label = [](uint16_t col, const std::vector<uint16_t>& units) {
        Bytes chars;
        for (uint16_t u : units) chars += U16(u);
        return Cell(0x0204, 0, col, U16(static_cast<uint16_t>(units.size())) + Bytes(1, 1) + chars);
    };
    const auto book = Read(Compound(Book8("", "", {{"S", label(0, {0xD83D, 0xDE00}) + label(1, {'a', 0xD83D}) + label(2, {0xDE00, 'a'}) +
                                                              label(3, {0xD83D, 'a'}) + label(4, {0xD83D, 0xD83D, 0xDE00}) +
                                                              label(5, {0xDBFF, 0xDFFF, 0xE000})}})).file);
    const sheet::Sheet& s = *book->sheets.at(0);
    EXPECT_EQ(Show(s.Value(1, 1)), "String:\xF0\x9F\x98\x80");
    EXPECT_EQ(Show(s.Value(1, 2)), "String:a\uFFFD");
    EXPECT_EQ(Show(s.Value(1, 3)), "String:\uFFFDa");
    EXPECT_EQ(Show(s.Value(1, 4)), "String:\uFFFDa");
    EXPECT_EQ(Show(s.Value(1, 5)), "String:\uFFFD\xF0\x9F\x98\x80");
    EXPECT_EQ(Show(s.Value(1, 6)), "String:\xF4\x8F\xBF\xBF\xEE\x80\x80");
}

}  // namespace

// A text as UTF-16LE bytes.
Bytes Utf16Le(const std::u16string& text) {
    Bytes b;
    for (char16_t c : text) b += U16(c);
    return b;
}

// A BIFF5 workbook naming code page 1200, as the writer that names it
// writes one: texts of ASCII characters a byte each, all others UTF-16LE,
// each length a count of bytes; in the sheet's name, cells, a rich text's
// record and a formula's text.  An odd count is ASCII; an even one is
// UTF-16 by a zero byte, a byte of 0x80 or more, a control byte in every
// high byte, or a control byte other than a tab, a line feed and a carriage
// return before one; bytes that could be either (U+3231 is the ASCII "12",
// U+0931 U+0932 "1\t2\t") read as the rule says.  A surrogate without its
// partner, and a last byte without its pair in UTF-16, become U+FFFD.
TEST(XlsValues, Biff5TextsOfCodePage1200AsTheirWriterStoresThem) {
    const std::pair<Bytes, std::string> texts[] = {
        {"Numbers", "Numbers"},
        {"Values", "Values"},   // UTF-16 would make it three ideographs
        {"two\r\nlines\tand\na tab", "two\r\nlines\tand\na tab"},
        {"12", "12"},
        {Utf16Le(u"Déjà vu"), "Déjà vu"},
        {Utf16Le(u"東京都下水道"), "東京都下水道"},   // no zero byte
        {Utf16Le(u"名前"), "名前"},                 // 0D 54 4D 52: a carriage return before no line feed
        {Utf16Le(u"Москва"), "Москва"},             // 1C 04 3E 04 ...: control bytes
        {Utf16Le(u"\U0001F600 ok"), "\U0001F600 ok"},
        {Utf16Le(u"x") + U16(0xD83D) + Utf16Le(u"a"), "x\uFFFDa"},
        {Utf16Le(u"é") + "A", "é\uFFFD"},
        {Utf16Le(u"नमस्ते"), "नमस्ते"},   // 28 09 2E 09 ...: tabs in every high byte
        {Utf16Le(u"ਪਾਣੀ"), "ਪਾਣੀ"},     // line feeds in every high byte
        {"a\rb", "a\rb"}, {"x\x7f", "x\x7f"}, {"1\t2\t", "\u0931\u0932"},
    };
    Bytes cells;
    uint16_t row = 0;
    for (const auto& [bytes, text] : texts) cells += Cell(0x0204, row++, 0, Text8(bytes));
    // A rich text (its runs after it, in a byte's count) and a formula's text.
    cells += Cell(0x00D6, row++, 0, Text8(Utf16Le(u"Ärger")) + Bytes(1, 1) + Bytes(1, 2) + Bytes(1, 1));
    cells += Cell(0x0006, row++, 0, Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0)) + Record(0x0207, Text8(Utf16Le(u"Ergebnis ä")));
    const auto book = Read(Compound(Biff5(Record(0x0042, U16(1200)), {{Utf16Le(u"漢字名"), cells}})).file);
    const sheet::Sheet& s = *book->sheets.at(0);
    EXPECT_EQ(s.name, "漢字名");
    for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(Show(s.Value(static_cast<int32_t>(i) + 1, 1)), "String:" + texts[i].second) << i;
    EXPECT_EQ(Show(s.Value(std::size(texts) + 1, 1)), "String:Ärger");
    EXPECT_EQ(Show(s.Value(std::size(texts) + 2, 1)), "String:Ergebnis ä");
}

// A BIFF5 record of `head` and then `text`, cut as its writer cuts a long
// one: the record and each CONTINUE after it at most 2,080 bytes, the
// first piece of the text `first` bytes (all the record holds unless
// given), the CONTINUE records carrying the bytes as they are.
Bytes Split5(uint16_t type, const Bytes& head, const Bytes& text, size_t first = 0) {
    if (first == 0) first = 2080 - head.size();
    Bytes out = Record(type, head + text.substr(0, first));
    for (size_t at = first; at < text.size(); at += 2080) out += Record(0x003C, text.substr(at, 2080));
    return out;
}

// A BIFF5 cell's text longer than its record holds goes on in the CONTINUE
// records after it, in LABEL, RSTRING and STRING records; a character of
// two bytes may be cut between two of them.  The text is bounded by its
// bytes of UTF-8 and by the memory the values may take; one whose CONTINUE
// records end before its length is refused naming it, and the last piece
// may be longer than the text only where no record can hide.
TEST(XlsValues, Biff5CellTextsAcrossContinueRecords) {
    auto book = [](uint16_t page, const Bytes& cells) { return Biff5(Record(0x0042, U16(page)), {{"S", cells}}); };
    const Bytes after = Cell(0x0203, 1, 0, F64(7.5));
    const Bytes formula = Cell(0x0006, 0, 0, Bytes(6, '\0') + U16(0xFFFF) + U16(0) + U32(0) + U16(0));
    std::u16string accents(5000, u'é');
    std::string accentsUtf8;
    for (int i = 0; i < 5000; ++i) accentsUtf8 += "é";
    const Bytes wide = Utf16Le(accents);
    const Bytes label = U16(0) + U16(0) + U16(15) + U16(10000);
    const Bytes bs = Bytes(2999, 'b') + "\x80";
    const std::pair<Bytes, std::string> read[] = {
        // 10,000 bytes of UTF-16 as they are written: 2,072, 2,080 three times, 1,688.
        {book(1200, Split5(0x0204, label, wide) + after), accentsUtf8},
        // Cut inside characters: 2,071 bytes first, then 2,080.
        {book(1200, Split5(0x0204, label, wide, 2071) + after), accentsUtf8},
        {book(1252, Split5(0x00D6, U16(0) + U16(0) + U16(15) + U16(3000), bs + Bytes(1, 2) + Bytes(4, '\x01')) + after),
         std::string(2999, 'b') + "€"},
        {book(1252, formula + Split5(0x0207, U16(3000), bs) + after), std::string(2999, 'b') + "€"},
        // The last piece padded with zero bytes, where no record hides.
        {book(1200, Split5(0x0204, label, wide + Bytes(2, '\0')) + after), accentsUtf8},
    };
    for (const auto& [stream, text] : read) {
        const auto wb = Read(Compound(stream).file);
        const sheet::Sheet& s = *wb->sheets.at(0);
        EXPECT_EQ(Show(s.Value(1, 1)), "String:" + text);
        EXPECT_EQ(Show(s.Value(2, 1)), "Double:7.5");
    }
    const std::string prefix = "built.xls: stream \"Workbook\": sheet \"S\": ";
    const Bytes shortOfOne = book(1200, Split5(0x0204, label, wide.substr(0, 9999)) + after);
    EXPECT_EQ(ErrorOf(Compound(shortOfOne).file),
              prefix + "the text of the LABEL record at byte " + std::to_string(shortOfOne.find(Record(0x0204, label).substr(0, 2))) +
                  " runs past its record and the CONTINUE records after it (10000 bytes declared, 9999 left)");
    // The last CONTINUE lengthened over the cell after it.
    Bytes swallowing = book(1200, Split5(0x0204, label, wide) + after);
    const size_t last = swallowing.rfind(U16(0x003C) + U16(1688));
    Put16(swallowing, last + 2, static_cast<uint16_t>(1688 + after.size()));
    const size_t labelAt = swallowing.find(U16(0x0204) + U16(2080));
    EXPECT_EQ(ErrorOf(Compound(swallowing).file), prefix + "the LABEL record at byte " + std::to_string(labelAt) + " is " +
                                                      std::to_string(10008 + after.size()) + " bytes long, where its fields take 10008");
    // Code page 932: "水" (90 85) cut between the record and its CONTINUE
    // reads; a byte that is no character is named at its place in the
    // CONTINUE that holds it.
    const Bytes sjis = Bytes(2071, 'x') + "\x90\x85" + Bytes(997, 'y');
    const Bytes labelSjis = U16(0) + U16(0) + U16(15) + U16(static_cast<uint16_t>(sjis.size()));
    const auto water = Read(Compound(book(932, Split5(0x0204, labelSjis, sjis) + after)).file);
    EXPECT_EQ(Show(water->sheets.at(0)->Value(1, 1)), "String:" + std::string(2071, 'x') + "水" + std::string(997, 'y'));
    Bytes bad = book(932, Split5(0x0204, labelSjis, sjis) + after);
    const size_t continued = bad.find(U16(0x003C) + U16(998));
    bad[continued + 4 + 500] = '\x81';
    bad[continued + 4 + 501] = '\x7F';
    EXPECT_EQ(ErrorOf(Compound(bad).file), prefix + "the text of the LABEL record at byte " + std::to_string(bad.find(U16(0x0204) + U16(2080))) +
                                               " holds bytes that are no character of code page 932, at byte " + std::to_string(continued + 4 + 500));
    // The bound in bytes of UTF-8: 32,766 euro signs of three bytes and three letters, and a letter more.
    const Bytes euros(32766, '\x80');
    auto long1252 = [&](const Bytes& text) {
        return book(1252, Split5(0x0204, U16(0) + U16(0) + U16(15) + U16(static_cast<uint16_t>(text.size())), text) + after);
    };
    const auto atBound = Read(Compound(long1252(euros + "abc")).file);
    ASSERT_EQ(atBound->sheets.at(0)->Strings().size(), 1u);
    EXPECT_EQ(atBound->sheets.at(0)->Strings()[0].size(), 98301u);
    EXPECT_EQ(ErrorOf(Compound(long1252(euros + "abcd")).file),
              prefix + "cell A1: a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold");
    EXPECT_NE(ErrorOf(Compound(long1252(euros + "abc")).file, 64 << 10).find("the cells need more memory than the limit"), std::string::npos);
}
