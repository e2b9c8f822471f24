// The workbook reader on files of two independent writers and of the older
// binary format, and on damaged files.
#include <gtest/gtest.h>

#include <zip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <cstring>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include "platform/runtime/conversions.h"
#include "platform/sheet/client.h"

namespace {

std::string Data(const std::string& name) { return std::string(SEWER_TEST_DATA) + "/sheet/" + name; }

std::string Show(const vb::Variant& v) { return vb::TypeName(v) + ":" + (v.IsEmpty() ? "" : vb::CStr(v)); }

const sheet::Sheet& Active(const sheet::Workbook& book) { return *book.sheets.at(book.activeSheet); }

// A sheet part made as it is written: `head`, `filler` `count` times, then
// `tail`, so that a part of hundreds of megabytes never sits in memory.
struct GeneratedPart {
    std::string head, filler, tail;
    size_t count = 0;
    size_t at = 0;
    size_t Size() const { return head.size() + filler.size() * count + tail.size(); }
    // Copies up to n bytes from the current place.
    size_t Read(char* out, size_t n) {
        size_t done = 0;
        while (done < n && at < Size()) {
            std::string_view from;
            size_t offset = at;
            if (offset < head.size()) {
                from = head;
            } else if ((offset -= head.size()) < filler.size() * count) {
                from = filler;
                offset %= filler.size();
            } else {
                from = tail;
                offset -= filler.size() * count;
            }
            const size_t k = std::min(n - done, from.size() - offset);
            std::memcpy(out + done, from.data() + offset, k);
            done += k;
            at += k;
        }
        return done;
    }
};

zip_int64_t GeneratePart(void* user, void* data, zip_uint64_t length, zip_source_cmd_t command) {
    auto& part = *static_cast<GeneratedPart*>(user);
    switch (command) {
    case ZIP_SOURCE_OPEN: part.at = 0; return 0;
    case ZIP_SOURCE_READ: return static_cast<zip_int64_t>(part.Read(static_cast<char*>(data), length));
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = part.Size();
        st->valid |= ZIP_STAT_SIZE;
        return sizeof *st;
    }
    case ZIP_SOURCE_ERROR: std::memset(data, 0, 2 * sizeof(int)); return 2 * sizeof(int);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE: return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default: return -1;
    }
}

// Writes a one-sheet package whose sheet part is `sheet` (with libzip, as
// the fuzz seeds are not: the reader must not meet only its own kind).
std::string WritePackage(const std::string& name, GeneratedPart sheet) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    static const std::pair<const char*, const char*> kParts[] = {
        {"_rels/.rels",
         "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"Big\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
         "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
    };
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(zip, nullptr);
    for (const auto& [member, text] : kParts) {
        zip_file_add(zip, member, zip_source_buffer(zip, text, std::strlen(text), 0), ZIP_FL_OVERWRITE);
    }
    const zip_int64_t at = zip_file_add(zip, "xl/worksheets/sheet1.xml", zip_source_function(zip, GeneratePart, &sheet), 0);
    zip_set_file_compression(zip, static_cast<zip_uint64_t>(at), ZIP_CM_DEFLATE, 1);
    EXPECT_EQ(zip_close(zip), 0);
    return path;
}

constexpr const char* kSheetHead = "<worksheet><sheetData>";
constexpr const char* kSheetTail = "</sheetData></worksheet>";

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
    // A pipe is refused at once rather than waited on (a stuck read would
    // hold the workbook program serving a caller's Open); should the read
    // wait, the test writes to the pipe to end it, and fails.
    const std::string fifo = std::filesystem::temp_directory_path() / ("sheet_pipe_" + std::to_string(::getpid()) + ".xlsx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [&] {
        try {
            sheet::ReadWorkbook(fifo);
        } catch (const vb::VbError& e) {
            return e.Description();
        }
        return std::string("read without an error");
    });
    if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the read waits on a pipe";
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    const std::string said = read.get();
    EXPECT_NE(said.find("not a file"), std::string::npos) << said;
    std::filesystem::remove(fifo);
}

// `n` cells of one number each.
std::string Cells(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += "<c><v>1</v></c>";
    return out;
}
// A row of one value in 32 elements.
const std::string kCellOf32Elements = "<row><c><v>1</v></c>" + [] {
    std::string empty;
    for (int i = 0; i < 29; ++i) empty += "<a/>";
    return empty;
}() + "</row>";

// Markup out of all proportion to what it holds is refused after bounded
// work and memory (the reader streams it, so none of these is ever held
// whole); the refusal names the limit.
TEST(SheetReader, HostileMarkupIsRefusedByItsLimit) {
    const std::string kLongValue(std::string(6 << 20, 'x'));
    struct Case {
        const char* name;
        GeneratedPart sheet;
        const char* says;
    } cases[] = {
        // A small file that inflates to 260,000,000 bytes of empty elements.
        {"empty_elements.xlsx", {kSheetHead, "<a/>", kSheetTail, 65'000'000}, "too many elements for the values they hold"},
        {"deep.xlsx", {kSheetHead, "<row>", kSheetTail, 100'000}, "elements nested deeper than 256"},
        {"long_tag.xlsx", {std::string(kSheetHead) + "<row r=\"1\" x=\"", "y", "\"/>" + std::string(kSheetTail), 6 << 20},
         "markup without an end longer than 4 MiB"},
        {"entities.xlsx",
         {"<!DOCTYPE worksheet [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>"
          "<worksheet><sheetData><row><c t=\"str\"><v>&b;&b;&b;</v></c></row>",
          "", kSheetTail, 0},
         "entity declarations are not allowed"},
        // Each limit at its edge (a null `says`: the file is read).  The
        // sheet's own two elements count with the free ones.
        {"free_elements.xlsx", {kSheetHead, "<a/>", kSheetTail, 8'388'606}, nullptr},
        {"free_elements_and_one.xlsx", {kSheetHead, "<a/>", kSheetTail, 8'388'607}, "too many elements"},
        // 32 elements for each value: 16 of them are bought by the value,
        // the rest come out of the free ones.
        {"elements_per_value.xlsx", {kSheetHead, kCellOf32Elements, kSheetTail, 510'000}, nullptr},
        {"elements_per_value_over.xlsx", {kSheetHead, kCellOf32Elements, kSheetTail, 540'000}, "too many elements"},
        // 270,000,000 bytes of blanks: about 1.6 MB beyond the 256 MiB a
        // part may have, which about 25,000 bytes of values pay for at 64 a
        // byte: 3,000 cells do (48,048 bytes), 1,000 do not (16,048).
        {"blanks_paid.xlsx", {std::string(kSheetHead) + "<row>" + Cells(3000), std::string(1000, ' '), "</row>" + std::string(kSheetTail), 270'000}, nullptr},
        {"blanks_unpaid.xlsx", {std::string(kSheetHead) + "<row>" + Cells(1000), std::string(1000, ' '), "</row>" + std::string(kSheetTail), 270'000},
         "part inflates past the limit of 256 MiB plus 64 bytes"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = WritePackage(c.name, c.sheet);
        try {
            sheet::ReadWorkbook(path);
            EXPECT_EQ(c.says, nullptr) << "read without an error";
        } catch (const vb::VbError& e) {
            EXPECT_NE(c.says, nullptr) << e.Description();
            EXPECT_EQ(e.Number(), sheet::kErrWorkbook);
            if (c.says) {
                EXPECT_NE(e.Description().find(c.says), std::string::npos) << e.Description();
            }
            EXPECT_NE(e.Description().find("xl/worksheets/sheet1.xml"), std::string::npos) << e.Description();
        }
        std::filesystem::remove(path);
    }
}

// A workbook whose values need more memory than the reader's limit is
// refused with a message naming the limit; the same files read whole
// under the program's limit.
TEST(SheetReader, ValuesBeyondTheMemoryLimitAreRefused) {
    const std::string kRow = "<row><c><v>1</v></c><c><v>2.5</v></c><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/A</v></c></row>";
    const std::string kText(2000, 't');
    struct Case {
        const char* name;
        GeneratedPart sheet;
        size_t cells;
        size_t limitMiB = 1;
    } cases[] = {
        {"many_cells.xlsx", {kSheetHead, kRow, kSheetTail, 20'000}, 80'000},
        {"long_texts.xlsx", {kSheetHead, "<row><c t=\"inlineStr\"><is><t>" + kText + "</t></is></c></row>", kSheetTail, 1'000}, 1'000},
        // What is counted: 16 bytes a cell and 48 a row, 2,240,000 in all.
        {"rows_counted.xlsx", {kSheetHead, kRow, kSheetTail, 20'000}, 80'000, 2},
        // A text of 16 bytes is held outside its string (49 bytes more):
        // 113 bytes a row, 2,260,000 in all.
        {"short_texts_counted.xlsx", {kSheetHead, "<row><c t=\"inlineStr\"><is><t>sixteen bytes...</t></is></c></row>", kSheetTail, 20'000}, 20'000, 2},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        sheet::ReadLimits small;
        small.valueMemory = c.limitMiB << 20;
        const std::string path = WritePackage(c.name, c.sheet);
        try {
            sheet::ReadWorkbook(path, small);
            ADD_FAILURE() << "read without an error";
        } catch (const vb::VbError& e) {
            EXPECT_EQ(e.Number(), sheet::kErrWorkbook);
            EXPECT_NE(e.Description().find("the cells need more memory than the limit of " + std::to_string(c.limitMiB) + " MiB"),
                      std::string::npos)
                << e.Description();
        }
        auto book = sheet::ReadWorkbook(path);
        EXPECT_EQ(Active(*book).CellCount(), c.cells);
        EXPECT_EQ(Active(*book).LastRow(), static_cast<int32_t>(c.sheet.count));
        std::filesystem::remove(path);
    }
}

// A package held in memory: the workbook part lists the sheets (the first
// one `sheetXml`, the others empty), `sharedXml` is the shared strings when
// given.  The sheet parts carry the relationship ids a, b, c...
std::shared_ptr<sheet::Workbook> ReadParts(const std::string& sheetXml, const std::string& sharedXml = "",
                                           int sheets = 1, const std::string& views = "",
                                           const sheet::ReadLimits& limits = {}) {
    std::string list, rels;
    std::vector<std::pair<std::string, std::string>> parts;
    for (int k = 0; k < sheets; ++k) {
        const std::string id(1, char('a' + k));
        list += "<sheet name=\"S" + id + "\" r:id=\"" + id + "\"/>";
        rels += "<Relationship Id=\"" + id + "\" Type=\"\" Target=\"" + id + ".xml\"/>";
        parts.push_back({"xl/" + id + ".xml", k == 0 ? sheetXml : std::string(kSheetHead) + kSheetTail});
    }
    if (!sharedXml.empty()) {
        rels += "<Relationship Id=\"z\" Type=\"x/sharedStrings\" Target=\"z.xml\"/>";
        parts.push_back({"xl/z.xml", sharedXml});
    }
    parts.push_back({"xl/workbook.xml", "<workbook><sheets>" + list + "</sheets>" + views + "</workbook>"});
    parts.push_back({"xl/_rels/workbook.xml.rels", "<Relationships>" + rels + "</Relationships>"});
    return sheet::ReadXlsxParts(parts, "edge.xlsx", limits);
}
// A sheet of the given rows.
std::string SheetOf(const std::string& rows) { return kSheetHead + rows + kSheetTail; }
// What reading says: "read" or the error's description.
template <class F>
std::string Outcome(F&& read) {
    try {
        read();
        return "read";
    } catch (const vb::VbError& e) {
        return e.Description();
    }
}
std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}
bool Says(const std::string& outcome, const std::string& part) { return outcome.find(part) != std::string::npos; }

// A cell's text is bounded in bytes of UTF-8 (98,301, what 32,767
// characters of three bytes take), not in characters, whichever way the
// file holds it: texts of more characters than the spreadsheet lets one
// type read (32,770 and 40,000 letters, 32,768 UTF-16 units of characters
// beyond U+FFFF); a text of one byte more than the bound is refused as it
// grows, long before it is held whole.
TEST(SheetReader, CellTextsAreBoundedInBytes) {
    const std::string water = "\xE6\xB0\xB4";   // three bytes, one unit
    const std::string smile = "\xF0\x9F\x98\x80";   // four bytes, two units
    const std::string atLimit = Repeat(water, 32767);                 // 98,301 bytes
    const std::string pairs = Repeat(smile, 16384);                   // 32,768 units in 65,536 bytes
    const std::string letters = std::string(98301, 'x');
    const std::string escapedAtLimit = Repeat("_x6C34_", 32767);
    const std::string half = Repeat(water, 16384);
    struct Form {
        const char* name;
        std::function<std::shared_ptr<sheet::Workbook>(const std::string&)> read;
        const char* where;
    } forms[] = {
        {"inline", [](const std::string& t) { return ReadParts(SheetOf("<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + t + "</t></is></c></row>")); }, "cell A1"},
        {"inline in v", [](const std::string& t) { return ReadParts(SheetOf("<row><c r=\"A1\" t=\"inlineStr\"><v>" + t + "</v></c></row>")); }, "cell A1"},
        {"formula text", [](const std::string& t) { return ReadParts(SheetOf("<row><c r=\"A1\" t=\"str\"><v>" + t + "</v></c></row>")); }, "cell A1"},
        {"date as text", [](const std::string& t) { return ReadParts(SheetOf("<row><c r=\"A1\" t=\"d\"><v>" + t + "</v></c></row>")); }, "cell A1"},
        {"shared", [](const std::string& t) {
             return ReadParts(SheetOf("<row><c r=\"A1\" t=\"s\"><v>1</v></c></row>"), "<sst><si><t>x</t></si><si><t>" + t + "</t></si></sst>");
         }, "xl/z.xml: shared string 1"},
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(form.name);
        for (const std::string& text : {atLimit, pairs, std::string(32770, 'x'), std::string(40000, 'x'), letters}) {
            EXPECT_EQ(Active(*form.read(text)).Value(1, 1).RawString(), text) << text.size() << " bytes";
        }
        const std::string refused = std::string("edge.xlsx: ") + (std::string(form.where).find("xl/") == 0 ? "" : "xl/a.xml: ") +
                                    form.where + ": a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold";
        EXPECT_EQ(Outcome([&] { form.read(atLimit + water); }), refused);
        EXPECT_EQ(Outcome([&] { form.read(letters + "x"); }), refused);
    }
    // Escapes count as the characters they stand for; rich-text runs together.
    auto escaped = ReadParts(SheetOf("<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + escapedAtLimit + "</t></is></c></row>"));
    EXPECT_EQ(Active(*escaped).Value(1, 1).RawString(), atLimit);
    EXPECT_TRUE(Says(Outcome([&] { ReadParts(SheetOf("<row><c t=\"inlineStr\"><is><t>" + escapedAtLimit + "_x6C34_</t></is></c></row>")); }),
                     "longer than the limit"));
    EXPECT_TRUE(Says(Outcome([&] {
                         ReadParts(SheetOf("<row><c t=\"inlineStr\"><is><r><t>" + half + "</t></r><r><t>" + half + "</t></r></is></c></row>"));
                     }),
                     "longer than the limit"));

    // One text of 100,000,000 bytes in a file of about 100 KB: refused
    // without being held.
    const std::string path = WritePackage("one_long_text.xlsx",
                                          {std::string(kSheetHead) + "<row><c r=\"B2\" t=\"inlineStr\"><is><t>", std::string(1000, 'x'),
                                           "</t></is></c></row>" + std::string(kSheetTail), 100'000});
    EXPECT_LT(std::filesystem::file_size(path), 1'000'000u);
    EXPECT_TRUE(Says(Outcome([&] { sheet::ReadWorkbook(path); }),
                     "xl/worksheets/sheet1.xml: cell B2: a text longer than the limit of 98301 bytes"));
    std::filesystem::remove(path);
}

// Each bound of the reader at its edge: at the limit the file is read, one
// past it the file is refused, naming what is wrong.
TEST(SheetReader, EveryBoundAtItsEdge) {
    auto sheetWith = [](const std::string& rows) { return Outcome([&] { ReadParts(SheetOf(rows)); }); };
    auto value = [](const std::string& rows, int32_t row, int32_t col) { return Show(Active(*ReadParts(SheetOf(rows))).Value(row, col)); };
    // Elements nest 256 deep (the worksheet and its sheetData are two).
    EXPECT_EQ(sheetWith(Repeat("<a>", 254) + Repeat("</a>", 254)), "read");
    EXPECT_TRUE(Says(sheetWith(Repeat("<a>", 255) + Repeat("</a>", 255)), "elements nested deeper than 256"));
    // The last row and column a sheet has, by number, reference and count.
    EXPECT_EQ(value("<row r=\"1048576\"><c><v>1</v></c></row>", 1048576, 1), "Double:1");
    EXPECT_TRUE(Says(sheetWith("<row r=\"1048577\"/>"), "bad row number \"1048577\""));
    EXPECT_TRUE(Says(sheetWith("<row r=\"0\"/>"), "bad row number \"0\""));
    EXPECT_TRUE(Says(sheetWith("<row r=\"1048576\"/><row/>"), "row beyond the last row of a sheet"));
    EXPECT_EQ(value("<row><c r=\"XFD1048576\"><v>2</v></c></row>", 1048576, 16384), "Double:2");
    EXPECT_EQ(value("<row><c r=\"xfd1\"><v>2</v></c></row>", 1, 16384), "Double:2");
    EXPECT_TRUE(Says(sheetWith("<row><c r=\"XFE1\"><v>2</v></c></row>"), "bad cell reference \"XFE1\""));
    EXPECT_TRUE(Says(sheetWith("<row><c r=\"A1048577\"><v>2</v></c></row>"), "bad cell reference \"A1048577\""));
    EXPECT_TRUE(Says(sheetWith("<row><c r=\"A0\"><v>2</v></c></row>"), "bad cell reference \"A0\""));
    EXPECT_EQ(value("<row><c r=\"XFC1\"/><c><v>3</v></c></row>", 1, 16384), "Double:3");
    EXPECT_TRUE(Says(sheetWith("<row><c r=\"XFD1\"/><c><v>3</v></c></row>"), "xl/a.xml: cell beyond the last column of a sheet"));
    // Shared strings by index: the last one, and one past it.
    const std::string two = "<sst><si><t>zero</t></si><si><t>one</t></si></sst>";
    EXPECT_EQ(Show(Active(*ReadParts(SheetOf("<row><c t=\"s\"><v>1</v></c></row>"), two)).Value(1, 1)), "String:one");
    EXPECT_TRUE(Says(Outcome([&] { ReadParts(SheetOf("<row><c t=\"s\"><v>2</v></c></row>"), two); }),
                     "cell 1: shared string 2 out of range (the workbook has 2)"));
    // The active sheet: the last one, or the first when the number is none.
    auto tab = [](const char* n) { return ReadParts(SheetOf(""), "", 3, std::string("<bookViews><workbookView activeTab=\"") + n + "\"/></bookViews>")->activeSheet; };
    EXPECT_EQ(tab("2"), 2);
    EXPECT_EQ(tab("3"), 0);
    EXPECT_EQ(tab("-1"), 0);
    // Escapes: one at the very end of a text, one a byte short, and the
    // ends of the one-, two- and three-byte forms; halves of a pair stay.
    EXPECT_EQ(value("<row><c t=\"str\"><v>_xFFFF__xfffe_</v></c></row>", 1, 1), "String:\xEF\xBF\xBF\xEF\xBF\xBE");
    EXPECT_EQ(value("<row><c t=\"str\"><v>a_x0041_</v></c></row>", 1, 1), "String:aA");
    EXPECT_EQ(value("<row><c t=\"str\"><v>a_x0041</v></c></row>", 1, 1), "String:a_x0041");
    EXPECT_EQ(value("<row><c t=\"str\"><v>_x007F__x0080__x07FF__x0800__xD7FF__xD800__xDFFF__xE000_</v></c></row>", 1, 1),
              "String:\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF_xD800__xDFFF_\xEE\x80\x80");

    // The memory of the values: a workbook needing exactly the limit is
    // read, one byte less refuses it.  This one takes 384 bytes: its sheet's
    // relationship 192 (its object of three strings, three strings of 32),
    // the sheet's entry in the workbook 128 (two strings and their text), a
    // cell 16 and its row 48.
    sheet::ReadLimits limits;
    limits.valueMemory = 384;
    const std::string one = SheetOf("<row><c><v>1</v></c></row>");
    EXPECT_EQ(Outcome([&] { ReadParts(one, "", 1, "", limits); }), "read");
    limits.valueMemory = 383;
    EXPECT_EQ(Outcome([&] { ReadParts(one, "", 1, "", limits); }),
              "edge.xlsx: the cells need more memory than the limit of 383 bytes");
}

// The two bounds on the markup of a part, exactly: elements beyond what the
// values buy, and bytes beyond what they pay for.
TEST(SheetReader, MarkupBoundsAtTheirEdges) {
    // 8,388,608 free elements, 16 more for each value: with a value in every
    // 32 elements, 524,287 rows fit and the next one is refused.
    auto rows = [](size_t n) { return Outcome([&] { ReadParts(SheetOf(Repeat(kCellOf32Elements, n))); }); };
    EXPECT_EQ(rows(524'287), "read");
    EXPECT_TRUE(Says(rows(524'288), "too many elements for the values they hold"));
    // 256 MiB a part, and 64 bytes more for each byte of values: one cell in
    // a row (64 bytes) pays for 4,096 bytes.
    const std::string head = std::string(kSheetHead) + "<row><c><v>1</v></c></row>";
    std::string part = head;
    part.resize((size_t(256) << 20) + 4096 - std::strlen(kSheetTail), ' ');
    part += kSheetTail;
    EXPECT_EQ(Outcome([&] { ReadParts(part); }), "read");
    part.insert(head.size(), " ");
    EXPECT_TRUE(Says(Outcome([&] { ReadParts(part); }), "xl/a.xml: part inflates past the limit of 256 MiB plus 64 bytes"));
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
    // An error value's code is a whole number; any other is damage.
    sheet::Sheet errors;
    sheet::Cell na;
    na.kind = sheet::Cell::Error;
    na.number = 2042;
    errors.Put(1, 1, na);
    errors.Finish();
    auto coded = sheet::EncodeSheet(errors);
    EXPECT_NO_THROW(sheet::DecodeSheet(coded.data(), coded.size()));
    const double whole = 2042, half = 2042.5;
    const auto* w = reinterpret_cast<const uint8_t*>(&whole);
    auto code = std::search(coded.begin(), coded.end(), w, w + sizeof whole);
    ASSERT_NE(code, coded.end());
    std::memcpy(&*code, &half, sizeof half);
    EXPECT_THROW(sheet::DecodeSheet(coded.data(), coded.size()), vb::VbError);
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

namespace {

// The markup of a text may be as long as kMaxCellTextBytes escapes of a
// character of one byte each ("_x0041_", seven bytes of markup for one of
// text): such a text at the bound reads; one escape more is refused.
TEST(SheetReader, EscapedTextAtTheMarkupBound) {
    const std::string escapes = Repeat("_x0041_", 98301);
    auto book = ReadParts(SheetOf("<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + escapes + "</t></is></c></row>"));
    EXPECT_EQ(Active(*book).Value(1, 1).RawString(), std::string(98301, 'A'));
    EXPECT_TRUE(Says(Outcome([&] { ReadParts(SheetOf("<row><c r=\"A1\" t=\"inlineStr\"><is><t>" + escapes + "_x0041_</t></is></c></row>")); }),
                     "a text longer than the limit of 98301 bytes (in UTF-8) a cell may hold"));
}

}  // namespace

namespace {

double NumberAt(const sheet::Sheet& s, int32_t row, int32_t col) {
    const sheet::Cell* c = s.Find(row, col);
    return c && c->kind == sheet::Cell::Number ? c->number : std::nan("");
}

// The texts of the longest cells the spreadsheet allows, as each writer
// stores them: 32,767 characters of three bytes of UTF-8 (98,301 bytes),
// and characters beyond U+FFFF that count two each.
TEST(SheetReader, LongestCellsOfEveryWriter) {
    std::string water, smiles;
    for (int i = 0; i < 32767; ++i) water += "\xE6\xB0\xB4";
    for (int i = 0; i < 16383; ++i) smiles += "\xF0\x9F\x98\x80";
    for (const char* file : {"long_text_openpyxl.xlsx", "long_text_xlsxwriter.xlsx", "long_cell_xlwt.xls"}) {
        SCOPED_TRACE(file);
        auto book = sheet::ReadWorkbook(Data(file));
        const auto& s = *book->sheets.at(0);
        EXPECT_EQ(s.Value(1, 1).RawString(), water);
        EXPECT_EQ(Show(s.Value(2, 1)), std::string(file).find("xlwt") != std::string::npos ? "String:after" : "String:" + smiles + "a");
    }
}

// The .xlsx (openpyxl) and the .xls (xlwt) of one workbook of numbers in
// formats of dates, times and none read the same numbers in either date
// system: in the 1900 system every number as it is stored; in the 1904
// system a number in a format that shows a date as the serial of its day
// in the 1900 system (1,462 days on, up to the last day a date can have),
// a number of a time of day, a duration or no date as it is stored.
TEST(SheetReader, DatesReadAlikeFromXlsxAndXlsInBothSystems) {
    const double serials[] = {0, 0.25, 0.999999, 1, 1.5, 59, 59.75, 60, 60.5, 61, 366.123456, 36526.999999, 45000.75,
                              43831.4999994, 73109.5, 80000.25, -1, 2958465.75, 2958466, 1e10};
    auto xlsx = sheet::ReadWorkbook(Data("dates_openpyxl.xlsx"));
    auto xls = sheet::ReadWorkbook(Data("types_xlwt.xls"));
    for (int r = 0; r < 20; ++r) {
        for (int c = 1; c <= 16; ++c) {
            EXPECT_EQ(NumberAt(Active(*xlsx), r + 2, c), serials[r]) << "row " << r + 2 << " column " << c;
            EXPECT_EQ(NumberAt(*xls->sheets.at(1), r + 2, c), serials[r]) << "row " << r + 2 << " column " << c;
        }
    }
    // M/D/YY YYYY-MM-DD DD/MM/YYYY_hh:mm:ss dd.mm.yyyy mmm-yy D-MMM M/D/YY_h:mm "d h" yy show dates;
    // hh:mm h:mm:ss [h]:mm:ss mm:ss 0.00 General #,##0.00_"mm" do not.
    const std::vector<int> showDates = {1, 2, 3, 7, 8, 9, 10, 15, 16};
    const double serials1904[] = {0, 0.5, 1, 1.25, 59, 60, 61, 36526.999999, 45000.75, 2957003.5, 2957004};
    auto xlsx1904 = sheet::ReadWorkbook(Data("dates1904_openpyxl.xlsx"));
    auto xls1904 = sheet::ReadWorkbook(Data("dates1904_xlwt.xls"));
    for (int r = 0; r < 11; ++r) {
        for (int c = 1; c <= 16; ++c) {
            const bool date = std::find(showDates.begin(), showDates.end(), c) != showDates.end() && serials1904[r] < 2957004;
            const double expected = serials1904[r] + (date ? 1462 : 0);
            EXPECT_EQ(NumberAt(Active(*xlsx1904), r + 2, c), expected) << "row " << r + 2 << " column " << c;
            EXPECT_EQ(NumberAt(*xls1904->sheets.at(0), r + 2, c), expected) << "row " << r + 2 << " column " << c;
        }
    }
    // What openpyxl writes for 2024-01-02 15:00 in a date format and in a
    // date-time format, 18:00 and 30 hours, counted in each workbook's own
    // system: the same numbers from both.
    for (const auto* book : {&xlsx, &xlsx1904}) {
        const sheet::Sheet& s = Active(**book);
        EXPECT_EQ(NumberAt(s, 2, 17), 45293.625);
        EXPECT_EQ(NumberAt(s, 3, 17), 45293.625);
        EXPECT_EQ(NumberAt(s, 4, 17), 0.75);
        EXPECT_EQ(NumberAt(s, 5, 17), 1.25);
    }
}

// A one-sheet package whose workbook part says `date1904` (none when
// null), with the styles part `styles` (none when empty).
std::shared_ptr<sheet::Workbook> ReadDated(const std::string& rows, const std::string& styles, const char* date1904 = "1") {
    const std::string properties = date1904 ? std::string("<workbookPr date1904=\"") + date1904 + "\"/>" : "";
    std::vector<std::pair<std::string, std::string>> parts = {
        {"xl/workbook.xml", "<workbook>" + properties + "<sheets><sheet name=\"S\" r:id=\"a\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"a\" Type=\"x/worksheet\" Target=\"a.xml\"/>" +
             std::string(styles.empty() ? "" : "<Relationship Id=\"b\" Type=\"x/styles\" Target=\"b.xml\"/>") + "</Relationships>"},
        {"xl/a.xml", SheetOf(rows)},
    };
    if (!styles.empty()) parts.push_back({"xl/b.xml", styles});
    return sheet::ReadXlsxParts(parts, "dated.xlsx");
}

// Which cells of a workbook of the 1904 system hold dates, at the edges:
// the workbook's own number formats (one of them redefining a built-in
// one), built-in formats of dates, times and both, a cell format without a
// number format, the last cell format and one past it (a second list of
// cell formats is none of the workbook's), a style that is no whole
// number; the numbers below day 0 and from 1 January 10000 on; a date
// stored as ISO text (no day to move) and a formula's cached number; the
// two spellings of the date system and its absence, a workbook without
// styles.  The styles are read only for a 1904 workbook: a 1900 one with a
// damaged styles part reads as it always has.
TEST(SheetReader, DateSystemAndCellFormatsAtTheirEdges) {
    const std::string styles =
        "<styleSheet><numFmts count=\"3\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd\"/>"
        "<numFmt numFmtId=\"14\" formatCode=\"0.00\"/><numFmt numFmtId=\"165\" formatCode=\"[h]:mm\"/>"
        "<numFmt numFmtId=\"x\" formatCode=\"yyyy\"/></numFmts>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"164\"/></cellStyleXfs>"
        "<cellXfs count=\"8\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"14\"/><xf numFmtId=\"22\"/>"
        "<xf numFmtId=\"21\"/><xf numFmtId=\"165\"/><xf/><xf numFmtId=\"15\"/></cellXfs>"
        "<cellXfs count=\"1\"><xf numFmtId=\"15\"/></cellXfs></styleSheet>";
    const std::string rows =
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>43831.625</v></c><c r=\"B1\" s=\"3\"><v>43831.625</v></c>"
        "<c r=\"C1\" s=\"2\"><v>43831.625</v></c><c r=\"D1\" s=\"4\"><v>0.625</v></c><c r=\"E1\" s=\"5\"><v>1.25</v></c>"
        "<c r=\"F1\" s=\"6\"><v>100</v></c><c r=\"G1\" s=\"7\"><v>100</v></c><c r=\"H1\" s=\"8\"><v>100</v></c>"
        "<c r=\"I1\"><v>100</v></c><c r=\"J1\" s=\"one\"><v>100</v></c><c r=\"K1\" s=\"0\"><v>100</v></c>"
        "<c r=\"L1\" s=\"1.5\"><v>100</v></c></row>"
        "<row r=\"2\"><c r=\"A2\" s=\"1\"><v>-0.5</v></c><c r=\"B2\" s=\"1\"><v>2957003.75</v></c>"
        "<c r=\"C2\" s=\"1\"><v>2957004</v></c><c r=\"D2\" s=\"1\" t=\"d\"><v>2024-01-02T15:00:00</v></c>"
        "<c r=\"E2\" s=\"1\"><f>A1+0</f><v>43831.625</v></c><c r=\"F2\" s=\"1\" t=\"b\"><v>1</v></c>"
        "<c r=\"G2\" s=\"1\" t=\"n\"><v>0</v></c></row>";
    struct Expected {
        int32_t row, col;
        double number;
    } expected[] = {
        {1, 1, 45293.625}, {1, 2, 45293.625}, {1, 3, 43831.625}, {1, 4, 0.625}, {1, 5, 1.25}, {1, 6, 100},
        {1, 7, 1562},      {1, 8, 100},       {1, 9, 100},       {1, 10, 100},  {1, 11, 100}, {1, 12, 100}, {2, 1, -0.5},
        {2, 2, 2958465.75}, {2, 3, 2957004},  {2, 4, 45293.625}, {2, 5, 45293.625}, {2, 7, 1462},
    };
    for (const char* system : {"1", "true"}) {
        SCOPED_TRACE(system);
        auto book = ReadDated(rows, styles, system);
        for (const auto& e : expected) EXPECT_EQ(NumberAt(Active(*book), e.row, e.col), e.number) << e.row << "," << e.col;
        EXPECT_EQ(Show(Active(*book).Value(2, 6)), "Boolean:True");
    }
    // The 1900 system, said or not: every number as it is stored.
    for (const char* system : {"0", "false", static_cast<const char*>(nullptr)}) {
        auto book = ReadDated(rows, styles, system);
        EXPECT_EQ(NumberAt(Active(*book), 1, 1), 43831.625);
        EXPECT_EQ(NumberAt(Active(*book), 1, 7), 100);
        EXPECT_EQ(NumberAt(Active(*book), 2, 4), 45293.625);
    }
    EXPECT_EQ(NumberAt(Active(*ReadDated(rows, "")), 1, 1), 43831.625);
    EXPECT_EQ(Outcome([&] { ReadDated(rows, "<styles/>", "0"); }), "read");
    EXPECT_EQ(Outcome([&] { ReadDated(rows, "<styles/>"); }), "dated.xlsx: xl/b.xml: no <styleSheet> element");
    EXPECT_TRUE(Says(Outcome([&] { ReadDated(rows, "<styleSheet><cellXfs>"); }), "dated.xlsx: xl/b.xml: bad XML"));
}

// Which number formats show a date (a day, a month or a year), the
// spreadsheet's way: "m" is minutes after an hour or before seconds;
// quoted and escaped texts, fills, spaces, brackets and AM/PM are no codes.
TEST(SheetReader, FormatsThatShowDates) {
    for (const char* format : {"yyyy-mm-dd", "d/m/yy", "mm", "MMM", "yyyy", "dddd", "d h", "[$-409]mmmm d, yyyy;@", "[Red]dd.mm.yy",
                               "hh:mm dd", "m/d/yy h:mm AM/PM", "YYYY-MM-DD HH:MM:SS", "\"on \"d mmm", "mm\"min\"", "General d"}) {
        EXPECT_TRUE(sheet::FormatShowsDate(format)) << format;
    }
    for (const char* format : {"", "General", "GENERAL", "0.00", "@", "0.00E+00", "#,##0.00 \"mm\"", "0.0\"m/day\"", "0.0 \\d\\a\\y",
                               "hh:mm", "h:mm:ss", "[h]:mm:ss", "[mm]:ss", "[m]", "mm:ss", "mm:ss.0", "m:s", "h:mm AM/PM", "h:mm a/p",
                               "[Red]0.00", "[>=100]0;[Red]-0", "_(* #,##0_)", "0.00_m", "*d0", "[$\xE2\x82\xAC-407] #,##0.00",
                               "h \"h\" mm \"m\"", "hh:mm;[Red]-hh:mm", "\"yyyy"}) {
        EXPECT_FALSE(sheet::FormatShowsDate(format)) << format;
    }
    const std::set<uint32_t> dates = {14, 15, 16, 17, 22, 27, 28, 29, 30, 31, 34, 35, 36, 50, 51,
                                      52, 53, 54, 55, 56, 57, 58, 71, 72, 73, 74, 77, 81};
    for (uint32_t id = 0; id < 200; ++id) EXPECT_EQ(sheet::BuiltInFormatShowsDate(id), dates.count(id) == 1) << id;
    // 1,462 days on, from day 0 to the last moment before 1 January 10000.
    EXPECT_EQ(sheet::From1904(0), 1462);
    EXPECT_EQ(sheet::From1904(2957003.999), 2958465.999);
    EXPECT_EQ(sheet::From1904(2957004), 2957004);
    EXPECT_EQ(sheet::From1904(-0.001), -0.001);
    EXPECT_TRUE(std::isnan(sheet::From1904(std::nan(""))));
}

}  // namespace

namespace {

// A 1904 workbook as a spreadsheet of a Chinese, Japanese, Korean or Thai
// installation writes it: built-in number formats without their text.
// Those that show a date in one of these languages move to the 1900 serial
// as 14 does; those that show a time of day or a duration in every one of
// them (and 47, mm:ss.0) keep the number as stored.
TEST(SheetReader, EastAsianAndThaiDateFormatsOf1904) {
    const std::vector<uint32_t> dates = {14, 31, 57, 58, 27, 36, 50, 71, 81, 28, 29, 30, 34, 35, 51, 52, 53, 54, 55, 56, 72, 73, 74, 77};
    const std::vector<uint32_t> times = {47, 20, 21, 32, 33, 45, 46, 75, 76, 78, 79, 80, 0, 49, 59, 70};
    std::string formats, rows;
    int32_t row = 0;
    for (const auto* list : {&dates, &times}) {
        for (uint32_t id : *list) {
            formats += "<xf numFmtId=\"" + std::to_string(id) + "\"/>";
            rows += "<row r=\"" + std::to_string(row + 1) + "\"><c r=\"A" + std::to_string(row + 1) + "\" s=\"" + std::to_string(row) +
                    "\" t=\"n\"><v>45000.5</v></c></row>";
            ++row;
        }
    }
    auto book = ReadDated(rows, "<styleSheet><cellXfs>" + formats + "</cellXfs></styleSheet>");
    row = 0;
    for (uint32_t id : dates) EXPECT_EQ(NumberAt(Active(*book), ++row, 1), 46462.5) << "format " << id;
    for (uint32_t id : times) EXPECT_EQ(NumberAt(Active(*book), ++row, 1), 45000.5) << "format " << id;
}

// An .xlsm holding an Excel 4.0 macro sheet: the macro sheet is a sheet
// with the cells its sheetData holds (a formula without a cached value is
// no cell), in its place among the others; a dialog sheet reads as an
// empty sheet, whatever it holds.
TEST(SheetReader, MacroAndDialogSheetsRead) {
    const std::vector<std::pair<std::string, std::string>> parts = {
        {"xl/workbook.xml",
         "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"Net\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Macro1\" sheetId=\"2\" r:id=\"rId2\"/>"
         "<sheet name=\"Dialog1\" sheetId=\"3\" r:id=\"rId3\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
         "Target=\"worksheets/sheet1.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"http://schemas.microsoft.com/office/2006/relationships/xlMacrosheet\" "
         "Target=\"macrosheets/sheet1.xml\"/>"
         "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/dialogsheet\" "
         "Target=\"dialogsheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", SheetOf("<row r=\"3\"><c r=\"C3\"><v>40</v></c></row>")},
        {"xl/macrosheets/sheet1.xml",
         "<xm:macrosheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\"><dimension ref=\"A1:A3\"/><sheetData>"
         "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Macro</t></is></c></row>"
         "<row r=\"2\"><c r=\"A2\"><f>RETURN()</f><v></v></c></row>"
         "<row r=\"3\"><c r=\"A3\"><f>1+1</f><v>2</v></c></row></sheetData></xm:macrosheet>"},
        {"xl/dialogsheets/sheet1.xml", "<dialogsheet><sheetData><row r=\"1\"><c r=\"A1\"><v>7</v></c></row></sheetData></dialogsheet>"},
    };
    auto book = sheet::ReadXlsxParts(parts, "macro.xlsm");
    ASSERT_EQ(book->sheets.size(), 3u);
    EXPECT_EQ(Show(book->sheets[0]->Value(3, 3)), "Double:40");
    const sheet::Sheet& macro = *book->sheets[1];
    EXPECT_EQ(macro.name, "Macro1");
    EXPECT_EQ(macro.CellCount(), 2u);
    EXPECT_EQ(Show(macro.Value(1, 1)), "String:Macro");
    EXPECT_EQ(Show(macro.Value(2, 1)), "Empty:");
    EXPECT_EQ(Show(macro.Value(3, 1)), "Double:2");
    EXPECT_EQ(book->sheets[2]->name, "Dialog1");
    EXPECT_EQ(book->sheets[2]->CellCount(), 0u);
}

using Parts = std::vector<std::pair<std::string, std::string>>;
// What the parts read as, from a zip archive of them when asked: each
// sheet's name, cell A1 and count of cells, and the active sheet; or the error.
std::string Summary(const Parts& parts, bool zipped = false) {
    const std::string path = (std::filesystem::temp_directory_path() / ("parts_" + std::to_string(::getpid()) + ".xlsx")).string();
    if (zipped) {
        zip_t* zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
        for (const auto& [name, text] : parts) zip_file_add(zip, name.c_str(), zip_source_buffer(zip, text.data(), text.size(), 0), 0);
        EXPECT_EQ(zip_close(zip), 0);
    }
    std::string out;
    const std::string outcome = Outcome([&] {
        auto book = zipped ? sheet::ReadWorkbook(path) : sheet::ReadXlsxParts(parts, path);
        for (const auto& s : book->sheets) out += s->name + "=" + Show(s->Value(1, 1)) + "/" + std::to_string(s->CellCount()) + " ";
        out += "active " + std::to_string(book->activeSheet);
    });
    std::filesystem::remove(path);
    return outcome == "read" ? out : outcome.substr(path.size() + 2);
}

// Sheet entries naming no part (r:id="" or none) are left out, the active tab
// follows the sheets kept; a missing relationship or part is refused.
TEST(SheetReader, SheetEntriesWithoutAPartAreLeftOut) {
    const std::string a = "<sheet name=\"A\" r:id=\"a\"/>", none = "<sheet name=\" \" r:id=\"\"/>";
    for (const auto& [entries, expected] : std::initializer_list<std::pair<std::string, std::string>>{
             {"1" + none + a + "<sheet name=\"M\"/>", "A=Double:1/1 active 0"}, {"2" + a + none + a, "A=Double:1/1 A=Double:1/1 active 1"},
             {"1" + a + none + a, "A=Double:1/1 A=Double:1/1 active 0"}, {"0" + none, "xl/workbook.xml: the workbook has no sheet"},
             {"0<sheet name=\"X\" r:id=\"c\"/>", "xl/workbook.xml: sheet \"X\" has no part (relationship \"c\" missing)"},
             {"0<sheet name=\"X\" r:id=\"b\"/>", "xl/b.xml: part missing from the package"}}) {
        EXPECT_EQ(Summary({{"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Target=\"a.xml\"/><Relationship Id=\"b\" Target=\"b.xml\"/></Relationships>"},
                           {"xl/a.xml", SheetOf("<row><c><v>1</v></c></row>")},
                           {"xl/workbook.xml", "<workbook><bookViews><workbookView activeTab=\"" + entries.substr(0, 1) + "\"/></bookViews><sheets>" +
                                                   entries.substr(1) + "</sheets></workbook>"}}),
                  expected);
    }
}

// A shared-string cell with an empty value is an empty cell beside those
// that read; an index naming no string is refused.
TEST(SheetReader, EmptySharedStringValueIsAnEmptyCell) {
    for (const auto& [v, expected] : {std::pair{"<v/>", "Empty:/1"}, {"<v></v>", "Empty:/1"}, {"<v> </v>", "bad shared-string index \" \""}}) {
        std::string cells;
        const std::string outcome = Outcome([&] {
            const auto& s = Active(*ReadParts(SheetOf(std::string("<row><c t=\"s\">") + v + "</c><c t=\"s\"><v>0</v></c></row>"), "<sst><si/></sst>"));
            cells = Show(s.Value(1, 1)) + "/" + std::to_string(s.CellCount());
        });
        EXPECT_TRUE(Says(outcome == "read" ? cells : outcome, expected)) << v << ": " << outcome;
    }
}

// Part names with backslashes read as those with forward slashes, zipped or
// not; of two alike, the one with forward slashes, or else the first, is read.
TEST(SheetReader, PartNamesWithBackslashes) {
    auto sheetOf = [](const char* n) { return SheetOf(std::string("<row><c><v>") + n + "</v></c></row>"); };
    const std::string one = "xl\\worksheets\\sheet1.xml";
    for (auto [parts, expected] : std::initializer_list<std::pair<Parts, std::string>>{
             {{{one, sheetOf("1")}}, "S=Double:1/1 active 0"}, {{{one, sheetOf("1")}, {"xl/worksheets/sheet1.xml", sheetOf("2")}}, "S=Double:2/1 active 0"},
             {{{"xl/worksheets/sheet1.xml", sheetOf("2")}, {one, sheetOf("1")}}, "S=Double:2/1 active 0"},
             {{{one, sheetOf("1")}, {"xl\\Worksheets\\Sheet1.xml", sheetOf("3")}}, "S=Double:1/1 active 0"},
             {{{"xl\\worksheets\\sheet2.xml", sheetOf("1")}}, "xl/worksheets/sheet1.xml: part missing from the package"}}) {
        parts.push_back({"_rels\\.rels", "<Relationships><Relationship Type=\"x/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
        parts.push_back({"xl\\workbook.xml", "<workbook><sheets><sheet name=\"S\" r:id=\"a\"/></sheets></workbook>"});
        parts.push_back({"XL\\_rels\\Workbook.xml.rels", "<Relationships><Relationship Id=\"a\" Target=\"/xl/worksheets/sheet1.xml\"/></Relationships>"});
        EXPECT_EQ(Summary(parts, true), expected);
        EXPECT_EQ(Summary(parts), expected);
    }
}

// A binary workbook part (.xlsb), named by the package or at its usual
// place, is refused as such.
TEST(SheetReader, BinaryWorkbookIsRefusedAsSuch) {
    const Parts named = {{"_rels/.rels", "<Relationships><Relationship Type=\"x/officeDocument\" Target=\"xl/workbook.bin\"/></Relationships>"},
                         {"xl/workbook.bin", "\x83\x01"}};
    EXPECT_EQ(Summary(named), "the binary .xlsb format is not read: save the workbook as .xlsx to read it");
    EXPECT_EQ(Summary({named[1]}), Summary(named));
}

// ISO 8601 durations are the days they last, a negative one too; 30 and
// 31 December 1899 are day 0, days before count back from it.  Anything
// else is no date, a number too long to be read exactly too.
TEST(SheetReader, IsoDatesAndDurationsAsSerials) {
    for (const auto& [text, expected] : std::initializer_list<std::pair<const char*, double>>{
             {"PT0H0M0.000S", 0}, {"PT24H0M0.000S", 1}, {"PT1392H0M0.000S", 58}, {"PT0H11M0.000S", 0.0076388888888888886},
             {"PT36H30M15.500S", 1.5210127314814815}, {"P2DT12H", 2.5}, {"PT43.2S", 0.0005}, {"-PT6H", -0.25},
             {"PT999999999999999S", 999999999999999.0 / 86400}, {"1899-12-30", 0}, {"1899-12-30T08:00:00", 1.0 / 3}, {"1899-12-31", 0},
             {"1900-01-01", 1}, {"1900-02-28", 59}, {"1900-03-01", 61}, {"2024-01-02T15:00:00", 45293.625}, {"1899-12-29", -1}}) {
        double serial = -99;
        EXPECT_TRUE(sheet::IsoDateToSerial(text, serial) && serial == expected) << text << " " << serial;
    }
    for (const char* text : {"P", "PT", "-P", "PT1H2", "PT1.5H30M", "P1Y", "P1M", "P1W", "PT1D", "PT1S1M", "PT1H1H", "P1DT", "PT.5S",
                             "PT1.S", "PT1000000000000000S", "--PT1H", "-PT-1H", "+PT1H", "T1H", "P1D1D", "PT1H ", "pt1h"}) {
        double serial = -99;
        EXPECT_FALSE(sheet::IsoDateToSerial(text, serial)) << text;
    }
}

}  // namespace
