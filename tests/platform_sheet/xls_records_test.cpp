// The .xls reader's record lengths and versions on workbooks laid out as
// their writers lay them out: Excel 95's sheets whose BOF says 0x0600, the
// padding and extensions real writers put past a record's fields, and the
// surpluses that can hide a record, which are refused.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/sheet/workbook.h"

#include "tests/platform_sheet/xls_builder.h"

namespace {

using namespace xls_test;

struct Rec {
    uint16_t type;
    Bytes data;
};
using Recs = std::vector<Rec>;

Bytes Byte(unsigned v) { return Bytes(1, static_cast<char>(v)); }
Bytes Spaces(size_t n) { return Bytes(n, ' '); }

// A workbook stream: the globals' records, with a BOUNDSHEET for each
// sheet laid in before their last record (the EOF), then each sheet's
// records.  A BIFF5 BOUNDSHEET's name has a length byte; BIFF8's a length
// and a byte of flags.
Bytes Lay(bool biff5, const Recs& globals, const std::vector<std::pair<Bytes, Recs>>& sheets) {
    auto join = [](const Recs& recs, size_t from, size_t to) {
        Bytes b;
        for (size_t i = from; i < to; ++i) b += Record(recs[i].type, recs[i].data);
        return b;
    };
    const Bytes head = join(globals, 0, globals.size() - 1), eof = join(globals, globals.size() - 1, globals.size());
    size_t offset = head.size() + eof.size();
    for (const auto& [name, recs] : sheets) offset += 4 + (biff5 ? 7 : 8) + name.size();
    Bytes boundSheets, body;
    for (const auto& [name, recs] : sheets) {
        boundSheets += Record(0x0085, U32(static_cast<uint32_t>(offset)) + U16(0) + Byte(static_cast<unsigned>(name.size())) +
                                          (biff5 ? "" : Byte(0)) + name);
        const Bytes records = join(recs, 0, recs.size());
        body += records;
        offset += records.size();
    }
    return head + boundSheets + eof + body;
}

// Replaces the data of the first record of `type`.
Recs With(Recs recs, uint16_t type, const Bytes& data) {
    for (Rec& r : recs) {
        if (r.type == type) {
            r.data = data;
            return recs;
        }
    }
    ADD_FAILURE() << "no record " << type;
    return recs;
}

// Every cell of every sheet, with the sheets' names.
std::string Cells(const Bytes& stream) {
    const auto book = Read(Compound(stream, u"Book").file);
    std::string all;
    for (const auto& s : book->sheets) {
        all += "[" + s->name + "]";
        for (const auto& row : s->Rows()) {
            for (const auto& e : row.cells) all += " " + std::to_string(row.number) + "," + std::to_string(e.col) + "=" + Show(s->Value(row.number, e.col));
        }
    }
    return all;
}

// --- Excel 95 ---------------------------------------------------------------------

// A BIFF5 BOF as Excel 95 writes it: version, part, build 0x10E8 and year
// 0x07CC, 8 bytes.
Bytes Bof5(uint16_t version, uint16_t part) { return U16(version) + U16(part) + U16(0x10E8) + U16(0x07CC); }

// A workbook of two sheets as Excel 95 lays it out, its sheets' BOF records
// giving `sheetVersion`.
Bytes Excel95(uint16_t sheetVersion, const Bytes& firstSheetBof = "") {
    Recs globals = {
        {0x0809, Bof5(0x0500, 0x0005)}, {0x00E1, ""}, {0x00C1, U16(0)}, {0x00BF, ""}, {0x00C0, ""}, {0x00E2, ""},
        {0x005C, Byte(6) + "kawait" + Spaces(105)},   // the user's name, padded to 112 bytes
        {0x0042, U16(1252)}, {0x009C, U16(14)}, {0x0019, U16(0)}, {0x0012, U16(0)}, {0x0013, U16(0)},
        {0x003D, U16(0x03ED) + U16(0xFF2E) + U16(0x3E94) + U16(0x2247) + U16(0x38) + U16(0) + U16(0) + U16(1) + U16(600)},
        {0x0040, U16(0)}, {0x008D, U16(0)}, {0x0022, U16(0)}, {0x000E, U16(1)}, {0x01B7, U16(0)}, {0x00DA, U16(0)},
        {0x0031, U16(200) + U16(0) + U16(0x7FFF) + U16(400) + U16(0) + Byte(0) + Byte(0) + Byte(0) + Byte(0) + Byte(5) + "Arial"},
        {0x041E, U16(164) + Byte(10) + "YYYY-MM-DD"},
    };
    for (int i = 0; i < 16; ++i) globals.push_back({0x00E0, U16(0) + U16(0) + U16(0xFFF5) + U16(0x20C0) + Bytes(8, '\0')});
    globals.push_back({0x0293, U16(0x8000) + Byte(0) + Byte(0xFF)});
    globals.push_back({0x000A, ""});
    const Bytes sum = Byte(0x44) + U16(0xC000) + Byte(0) + Byte(0x1E) + U16(1) + Byte(0x03);   // A1 (BIFF5's 4 bytes) + 1
    auto formula = [](uint16_t row, uint16_t col, const Bytes& result, const Bytes& tokens) {
        return Rec{0x0006, U16(row) + U16(col) + U16(15) + result + U16(0) + U32(0) + U16(static_cast<uint16_t>(tokens.size())) + tokens};
    };
    const Recs first = {
        {0x0809, firstSheetBof.empty() ? Bof5(sheetVersion, 0x0010) : firstSheetBof},
        {0x020B, U32(0) + U16(0) + U16(3) + U32(0) + U32(0)},
        {0x000D, U16(1)}, {0x000C, U16(100)}, {0x000F, U16(1)}, {0x0011, U16(0)}, {0x0010, F64(0.001)}, {0x005F, U16(1)},
        {0x002A, U16(0)}, {0x002B, U16(0)}, {0x0082, U16(1)}, {0x0080, Bytes(8, '\0')}, {0x0225, U16(0) + U16(0x10E)},
        {0x008C, U16(49) + U16(49)}, {0x0081, U16(0x04C1)}, {0x0014, ""}, {0x0015, ""}, {0x0083, U16(0)}, {0x0084, U16(0)},
        {0x00A1, U16(9) + U16(100) + Bytes(30, '\0')}, {0x0055, U16(8)},
        {0x0200, U16(0) + U16(3) + U16(0) + U16(3) + U16(0)},
        {0x0208, U16(0) + U16(0) + U16(3) + U16(0x10E) + Bytes(8, '\0')},
        {0x0204, U16(0) + U16(0) + U16(15) + Text8("Stra\xDF" "e \x80")},
        {0x0203, U16(0) + U16(1) + U16(15) + F64(102.25)},
        {0x027E, U16(0) + U16(2) + U16(15) + U32(9950 << 2 | 2 | 1)},
        formula(1, 0, F64(103.25), sum),
        formula(1, 1, Byte(0) + Bytes(5, '\0') + U16(0xFFFF), Byte(0x17) + Byte(2) + "ab"),
        {0x0207, Text8("Haltung \xE9")},
        {0x023E, U16(0x06B6) + U16(0) + U16(0) + U32(0x40)},
        {0x000A, ""},
    };
    const Recs second = {
        {0x0809, Bof5(sheetVersion, 0x0010)}, {0x0200, U16(0) + U16(1) + U16(0) + U16(1) + U16(0)},
        {0x0203, U16(0) + U16(0) + U16(15) + F64(-7.5)}, {0x023E, U16(0x06B6) + U16(0) + U16(0) + U32(0)}, {0x000A, ""},
    };
    return Lay(true, globals, {{"Net \xC4", first}, {"Two", second}});
}

// Excel 95 gives each sheet's BOF the version 0x0600 with BIFF5's 8 bytes
// and writes BIFF5 records after it: each sheet reads as BIFF5, with the
// cells the same workbook gives when its sheets' BOF records say 0x0500 (a
// BIFF8 reading would take a flag byte in each text and five bytes for the
// formula's reference).  A sheet BOF of BIFF8's 16 bytes in a BIFF5
// workbook begins a sheet of BIFF8 records, which BIFF5 cannot read:
// refused, as is a BIFF5 sheet in a BIFF8 workbook.
TEST(XlsRecords, Excel95SheetsWhoseBofSays0600ReadAsTheWorkbooksBiff5) {
    const std::string expected =
        "[Net Ä] 1,1=String:Straße € 1,2=Double:102.25 1,3=Double:99.5 2,1=Double:103.25 2,2=String:Haltung é"
        "[Two] 1,1=Double:-7.5";
    EXPECT_EQ(Cells(Excel95(0x0500)), expected);
    EXPECT_EQ(Cells(Excel95(0x0600)), expected);

    const Bytes biff8Bof = U16(0x0600) + U16(0x0010) + U16(0x10E8) + U16(0x07CC) + U32(0xC1) + U32(0x0006);
    const Bytes s = Excel95(0x0600, biff8Bof);
    EXPECT_EQ(ErrorOf(Compound(s, u"Book").file),
              "built.xls: stream \"Book\": sheet \"Net Ä\": the BOF record at byte " + std::to_string(s.find(Record(0x0809, biff8Bof))) +
                  " begins a BIFF8 sheet (version 0x0600, 16 bytes long) in a BIFF5 workbook, whose records cannot be read as BIFF5");

    Biff b;
    b.sheets.push_back({u"S", Cell(0x0203, 0, 0, F64(1))});
    Bytes biff8 = b.Build();
    const size_t sheetBof = biff8.find(U16(0x0600) + U16(0x0010)) - 4;
    Put16(biff8, sheetBof + 4, 0x0500);
    EXPECT_NE(ErrorOf(Compound(biff8).file).find("sheet \"S\": the BOF record at byte " + std::to_string(sheetBof) +
                                                 " gives format version 0x0500, unlike the workbook's 0x0600"),
              std::string::npos)
        << ErrorOf(Compound(biff8).file);
}

// --- Writers' padding and extensions --------------------------------------------

// A BIFF8 workbook of one sheet "Net" as a Python writer lays it out: the
// records of its globals and of its sheet.
std::pair<Recs, Recs> Xlwt() {
    auto text16 = [](const Bytes& t) { return U16(static_cast<uint16_t>(t.size())) + Byte(0) + t; };
    Recs globals = {
        {0x0809, U16(0x0600) + U16(0x0005) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(6)},
        {0x00E1, U16(1200)}, {0x00C1, U16(0)}, {0x00E2, ""},
        {0x005C, "None" + Spaces(108)},   // the owner's name without its length, padded to 112 bytes
        {0x0042, U16(1200)}, {0x0161, U16(0)}, {0x013D, U16(1)}, {0x009C, U16(14)}, {0x0019, U16(0)}, {0x0012, U16(0)},
        {0x0063, U16(0)}, {0x0013, U16(0)}, {0x01AF, U16(0)}, {0x01BC, U16(0)}, {0x0040, U16(0)}, {0x008D, U16(0)},
        {0x003D, U16(0x01E0) + U16(0x005A) + U16(0x3FCF) + U16(0x2A4E) + U16(0x38) + U16(0) + U16(0) + U16(1) + U16(600)},
        {0x0022, U16(0)}, {0x000E, U16(1)}, {0x01B7, U16(0)}, {0x00DA, U16(0)},
        {0x0031, U16(200) + U16(0) + U16(0x7FFF) + U16(400) + U16(0) + Byte(0) + Byte(0) + Byte(0) + Byte(0) + Byte(5) + Byte(0) + "Arial"},
        {0x041E, U16(164) + text16("General")},
        {0x041E, U16(165) + text16("0.00")},
    };
    for (int i = 0; i < 16; ++i) globals.push_back({0x00E0, U16(0) + U16(0) + U16(0xFFF5) + U16(0x20) + Bytes(12, '\0')});
    globals.push_back({0x00E0, U16(0) + U16(165) + U16(1) + U16(0x20) + Bytes(12, '\0')});
    globals.push_back({0x0293, U16(0x8000) + Byte(0) + Byte(0xFF)});
    globals.push_back({0x008C, U16(1) + U16(1)});
    globals.push_back({0x00FC, U32(3) + U32(3) + text16("From") + text16("To") + U16(4) + Byte(1) + U16(0x6C34) + U16('N') + U16(0xE9) + U16(0x20AC)});
    globals.push_back({0x000A, ""});
    const Recs sheet = {
        {0x0809, U16(0x0600) + U16(0x0010) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(6)},
        {0x000D, U16(1)}, {0x000C, U16(100)}, {0x000F, U16(1)}, {0x0011, U16(0)}, {0x0010, F64(0.001)}, {0x005F, U16(0)},
        {0x002A, U16(0)}, {0x002B, U16(0)}, {0x0082, U16(0)}, {0x0080, Bytes(8, '\0')}, {0x0225, U16(0) + U16(255)},
        {0x0081, U16(0x0C01)}, {0x001B, U16(0)}, {0x001A, U16(0)},
        {0x0014, U16(2) + Byte(0) + "&P"}, {0x0015, U16(2) + Byte(0) + "&F"},
        {0x0083, U16(0)}, {0x0084, U16(0)}, {0x0026, F64(0.3)}, {0x0027, F64(0.3)}, {0x0028, F64(0.61)}, {0x0029, F64(0.37)},
        {0x00A1, U16(9) + U16(100) + Bytes(30, '\0')},
        {0x0200, U32(0) + U32(2) + U16(0) + U16(3) + U16(0)},
        {0x0208, U16(0) + U16(0) + U16(3) + U16(255) + Bytes(8, '\0')},
        {0x00FD, U16(0) + U16(0) + U16(15) + U32(0)}, {0x00FD, U16(0) + U16(1) + U16(15) + U32(1)},
        {0x00FD, U16(0) + U16(2) + U16(15) + U32(2)},
        {0x0203, U16(1) + U16(0) + U16(16) + F64(102.5)}, {0x027E, U16(1) + U16(1) + U16(15) + U32(300 << 2 | 2)},
        {0x0006, U16(1) + U16(2) + U16(15) + F64(103.5) + U16(0) + U32(0) + U16(9) + Byte(0x44) + U16(1) + U16(0) + Byte(0x1E) + U16(1) + Byte(0x03)},
        {0x023E, U16(0x06B6) + U16(0) + U16(0) + U32(0x40) + U16(0) + U16(0) + U32(0)},
        {0x000A, ""},
    };
    return {globals, sheet};
}

// The records real writers give lengths past their fields, or an empty
// text without its byte of flags, read with every cell of the workbook
// without them: the padding and extensions hide no record.
TEST(XlsRecords, WritersPaddingAndExtensionsRead) {
    const auto [globals, sheet] = Xlwt();
    auto stream = [](const Recs& g, const Recs& s) { return Lay(false, g, {{"Net", s}}); };
    const std::string expected = Cells(stream(globals, sheet));
    EXPECT_EQ(expected, "[Net] 1,1=String:From 1,2=String:To 1,3=String:水Né€ 2,1=Double:102.5 2,2=Double:300 2,3=Double:103.5");
    struct Case {
        const char* what;
        bool inGlobals;
        uint16_t type;
        Bytes data;
    } cases[] = {
        {"WRITEACCESS padded to 112 bytes and two spaces more", true, 0x005C, "None" + Spaces(110)},
        {"WRITEACCESS of 57 bytes", true, 0x005C, U16(9) + Byte(0) + "Kanalnetz" + Spaces(45)},
        {"INTERFACEEND holding b0 04", true, 0x00E2, U16(1200)},
        {"FORMAT of character count 0, its text following", true, 0x041E, U16(164) + U16(0) + Byte(0) + "General"},
        {"DELTA of 16 bytes", false, 0x0010, F64(0.001) + F64(0.001)},
        {"HEADER of 00 00", false, 0x0014, U16(0)},
        {"FOOTER of 00 00", false, 0x0015, U16(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes s = c.inGlobals ? stream(With(globals, c.type, c.data), sheet) : stream(globals, With(sheet, c.type, c.data));
        EXPECT_EQ(Cells(s), expected) << ErrorOf(Compound(s, u"Book").file);
    }
    // One byte in the last EOF, at the very end of the stream: nothing
    // follows it, so nothing can hide there.
    Recs eofByte = sheet;
    eofByte.back().data = Byte(0);
    EXPECT_EQ(Cells(stream(globals, eofByte)), expected);
    // But a BIFF8 HEADER whose text has a character and no flags is short
    // of its fields.
    const Bytes cut = stream(globals, With(sheet, 0x0014, U16(1)));
    EXPECT_NE(ErrorOf(Compound(cut, u"Book").file)
                  .find("sheet \"Net\": HEADER record at byte " + std::to_string(cut.find(Record(0x0014, U16(1)))) + " is 2 bytes long, shorter than its 3"),
              std::string::npos)
        << ErrorOf(Compound(cut, u"Book").file);
}

// A surplus is refused where a record can hide in it: where the header of
// a record type the format defines, with a length that fits in the stream,
// starts at the end of the fields, or where what follows the surplus is no
// such header.  A BIFF5 BOF at BIFF8's 16 bytes takes in the CODEPAGE after
// it (every text would decode in the wrong code page), or a sheet's first
// cell; a header of a defined type too long for the stream, or the end of
// the stream, hides nothing.
TEST(XlsRecords, ASurplusIsRefusedWhereARecordCanHideInIt) {
    auto label = [](const Bytes& text) { return Cell(0x0204, 0, 0, Text8(text)); };
    const Bytes number = Cell(0x0203, 0, 1, F64(4.5));
    const Bytes globals = Record(0x0042, U16(1251)) + Record(0x0022, U16(0)) + Record(0x0031, Bytes(14, '\0') + Byte(5) + "Arial");
    Bytes s = Biff5(globals, {{"S", label("\xCA\xE0\xED\xE0\xEB") + number}});
    EXPECT_EQ(Cells(s), "[S] 1,1=String:Канал 1,2=Double:4.5");
    // The globals' BOF taking in the CODEPAGE and the first two bytes of the DATEMODE.
    Put16(s, 2, 16);
    EXPECT_EQ(ErrorOf(Compound(s, u"Book").file),
              "built.xls: stream \"Book\": the workbook's globals: the BOF record at byte 0 is 16 bytes long, where its fields take 8");
    // The sheet's BOF taking in the first eight bytes of its first cell.
    s = Biff5(globals, {{"S", number + label("ab")}});
    const size_t sheetBof = s.find(Record(0x0809, U16(0x0500) + U16(0x0010) + U32(0)));
    Put16(s, sheetBof + 2, 16);
    EXPECT_EQ(ErrorOf(Compound(s, u"Book").file), "built.xls: stream \"Book\": sheet \"S\": the BOF record at byte " + std::to_string(sheetBof) +
                                                      " is 16 bytes long, where its fields take 8");

    // A DELTA of 16 bytes whose second half is a CALCMODE record and two
    // bytes: refused.  Whose second half begins with the header of a
    // CALCMODE too long for the stream: read.  Followed by an RSTRING, a
    // record of BIFF5's only: read.
    const Bytes rstring = Cell(0x00D6, 1, 0, Text8("run") + Byte(1) + U16(0));
    auto delta = [&](const Bytes& second) { return Biff5(globals, {{"S", Record(0x0010, F64(0.001) + second) + rstring + number}}); };
    s = delta(Record(0x000D, U16(1)) + U16(0));
    EXPECT_EQ(ErrorOf(Compound(s, u"Book").file), "built.xls: stream \"Book\": sheet \"S\": the DELTA record at byte " +
                                                      std::to_string(s.find(U16(0x0010) + U16(16))) + " is 16 bytes long, where its fields take 8");
    EXPECT_EQ(Cells(delta(U16(0x000D) + U16(0xFFFF) + U32(0))), "[S] 1,2=Double:4.5 2,1=String:run");
    // Followed by the empty TOOLBARHDR and TOOLBAREND that Excel 95 writes:
    // read.  Taking them in: refused.
    const Bytes toolbars = Record(0x00BF, "") + Record(0x00C0, "");
    s = Biff5(globals, {{"S", Record(0x0010, F64(0.001) + F64(0.001)) + toolbars + number}});
    EXPECT_EQ(Cells(s), "[S] 1,2=Double:4.5");
    s = Biff5(globals, {{"S", Record(0x0010, F64(0.001) + toolbars) + number}});
    EXPECT_EQ(ErrorOf(Compound(s, u"Book").file), "built.xls: stream \"Book\": sheet \"S\": the DELTA record at byte " +
                                                      std::to_string(s.find(U16(0x0010) + U16(16))) + " is 16 bytes long, where its fields take 8");

    // One byte in the last EOF at the end of the stream reads; with two
    // more bytes after it, which are no record's header, it is refused.
    s = Biff5(globals, {{"S", number}});
    ASSERT_EQ(s.substr(s.size() - 4), Record(0x000A, ""));
    const Bytes eofByte = s.substr(0, s.size() - 4) + Record(0x000A, Byte(0));
    EXPECT_EQ(Cells(eofByte), "[S] 1,2=Double:4.5");
    EXPECT_EQ(ErrorOf(Compound(eofByte + U16(0), u"Book").file),
              "built.xls: stream \"Book\": sheet \"S\": the EOF record at byte " + std::to_string(s.size() - 4) + " is 1 bytes long, where its fields take 0");
    // A padded DELTA, or a text and its NUL, just before that EOF, whose
    // header's length reaches exactly the end of the stream: read.
    EXPECT_EQ(Cells(Biff5(globals, {{"S", number + Record(0x0010, F64(0.001) + F64(0.001))}})), "[S] 1,2=Double:4.5");
    EXPECT_EQ(Cells(Biff5(globals, {{"S", number + Cell(0x0204, 1, 0, Text8("ab") + Byte(0))}})), "[S] 1,2=Double:4.5 2,1=String:ab");
}

size_t Get16(const Bytes& s, size_t at) { return static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8; }

// Refused naming their record: an empty HEADER (0 bytes, or BIFF8's 00 00)
// made longer over 1 to 10 records; BIFF5 texts made longer over their
// CONTINUE; a padded record, or one made longer over a type other writers
// write; the counts of a cell's text and of the last shared string (in its
// record or in its CONTINUE) made smaller.
TEST(XlsRecords, TextsCutShortAndRecordsMadeLongerAreRefusedByName) {
    const auto [globals, sheet] = Xlwt();
    const Bytes number = Cell(0x0203, 1, 0, F64(9));
    auto continued = [&](uint16_t type, const Bytes& runs) {
        return Biff5("", {{"S", Record(type, Bytes(6, '\0') + U16(8) + "Stra") + Record(0x003C, "\xDF" "e \xE9" + runs) + number}});
    };
    Recs split = With(globals, 0x00FC, U32(3) + U32(3) + U16(4) + Byte(0) + "From" + U16(2) + Byte(0) + "To" + U16(5) + Byte(0) + "abc");
    split.insert(split.end() - 1, {0x003C, Byte(0) + "de"});
    // A stream, its record's first bytes and name, and the damage: its length made
    // longer over `change` records, or the count at its byte `count` `-change` smaller.
    struct Case { Bytes stream, record; const char* name; int change; size_t count; };
    std::vector<Case> cases = {
        {continued(0x0204, ""), U16(0x0204) + U16(12), "LABEL", 1, 0},
        {continued(0x00D6, Byte(1) + U16(0)), U16(0x00D6) + U16(12), "RSTRING", 1, 0},
        {Biff5("", {{"S", Record(0x0014, "") + Record(0x0200, Bytes(10, '\0')) + number}}), Record(0x0014, "") + U16(0x0200), "HEADER", 1, 0},
        {Biff5("", {{"S", Record(0x0010, F64(0.001) + U16(0)) + number}}), Record(0x0010, F64(0.001) + U16(0)), "DELTA", 1, 0},
        {Lay(false, globals, {{"Net", sheet}}), U16(0x00FC) + U16(31), "SST", -1, 24},
        {Lay(false, split, {{"Net", sheet}}), U16(0x00FC) + U16(26), "SST", -2, 24},
    };
    for (int less : {1, 2, 3}) cases.push_back({Excel95(0x0500), U16(0x0204) + U16(16), "LABEL", -less, 10});
    for (int over = 1; over <= 10; ++over) {
        cases.push_back({Lay(false, globals, {{"Net", With(sheet, 0x0014, "")}}), Record(0x0014, "") + U16(0x0015), "HEADER", over, 0});
        cases.push_back({Lay(false, globals, {{"Net", With(sheet, 0x0014, U16(0))}}), Record(0x0014, U16(0)) + U16(0x0015), "HEADER", over, 0});
        cases.push_back({Excel95(0x0500), Record(0x0014, "") + U16(0x0015), "HEADER", over, 0});
    }
    for (uint16_t type : {0x0034, 0x027D, 0x08C8, 0x08C9, 0x08CA, 0x08CB, 0x08D6}) {
        cases.push_back({Biff5("", {{"S", Record(0x0010, F64(0.001)) + Record(type, U16(type) + Bytes(14, '\0')) + number}}), Record(0x0010, F64(0.001)), "DELTA", 1, 0});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.change));
        const size_t at = c.stream.find(c.record);
        ASSERT_EQ(ErrorOf(Compound(c.stream, u"Book").file), "");
        Bytes s = c.stream;
        size_t end = at + 4 + Get16(s, at + 2);
        for (int i = 0; i < c.change; ++i) end += 4 + Get16(s, end + 2);
        Put16(s, at + (c.change > 0 ? 2 : c.count), static_cast<uint16_t>(c.change > 0 ? end - at - 4 : Get16(s, at + c.count) + c.change));
        const std::string error = ErrorOf(Compound(s, u"Book").file);
        EXPECT_NE(error.find(std::string(c.name) + " record at byte " + std::to_string(at)), std::string::npos) << error;
    }
}

}  // namespace
