// Workbooks as the workbook program holds them: the sheets of a file, each a
// sparse table of cell values, read from .xlsx/.xlsm (reader_xlsx.cpp) or
// .xls (reader_xls.cpp).  No Qt here: the design tool's in-process reader,
// the workbook program and the fuzz target all use this code.
//
// A file is never trusted: every way a file can be wrong (not a workbook,
// truncated, a missing or malformed part, an index out of range, markup out
// of proportion to the values it holds, values needing more memory than
// ReadLimits allow) gives a WorkbookError naming the file and the place,
// never a crash or an unbounded allocation.
//
// The XML parts are read as a stream while they inflate: memory follows the
// values kept (ReadLimits::valueMemory), not the size of the markup.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/variant.h"
#include "platform/runtime/vberror.h"

namespace sheet {

// The error number a failed workbook operation raises (the description says
// what went wrong and where).
constexpr int32_t kErrWorkbook = 1004;
// No part of a workbook may inflate to more than this, beyond
// kMarkupPerValueByte bytes for each byte the values read from it take in
// memory: a sheet of real values may be as large as its values allow, a run
// of markup holding nothing may not.
constexpr size_t kMaxPartBytes = size_t(256) << 20;
constexpr size_t kMarkupPerValueByte = 64;
// Nor may all the parts read from one file together.
constexpr size_t kMaxPackageBytes = size_t(4) << 30;
// The memory the values of one workbook (cells, texts, shared strings) may
// take: a workbook needing more is refused with a message naming the limit.
// The largest sheet a spreadsheet allows, 1,048,576 rows by 14 columns of
// numbers, needs about 300 MiB.
constexpr size_t kMaxValueMemory = size_t(512) << 20;
// Elements a part may hold beyond kElementsPerValue for each value read
// from it (cells, strings): a run of elements that hold nothing is refused
// after a bounded amount of work.
constexpr size_t kFreeElements = size_t(8) << 20;
constexpr size_t kElementsPerValue = 16;
// The longest text a cell may hold, in bytes of UTF-8: what the longest
// text the spreadsheet lets one type, 32,767 characters, takes when every
// character is one of three bytes (as CJK characters are).  The bound is
// one of memory, not of the number of characters: some writers write texts
// of more characters, and such a text reads as long as it takes no more
// bytes.  A workbook holding a longer one is refused with a message naming
// the bound, before the text is held whole.
constexpr size_t kMaxCellTextBytes = 3 * size_t(32767);
// The largest row and column a sheet can address.
constexpr int32_t kMaxRow = 1048576;
constexpr int32_t kMaxCol = 16384;

// Raises kErrWorkbook with the description.
[[noreturn]] void Fail(const std::string& description);

// One cell's value in compact form (12 bytes): numbers, booleans (0 or 1)
// and error codes in `number`, texts as an index into the sheet's strings in
// `text`.  The two share their place: `kind` says which one holds.
#pragma pack(push, 4)
struct Cell {
    enum Kind : uint8_t { Empty = 0, Number = 1, Text = 2, Boolean = 3, Error = 4 };
    Kind kind = Empty;
    union {
        uint32_t text;
        double number = 0;
    };
};
#pragma pack(pop)
static_assert(sizeof(Cell) == 12);

// What a text beyond kMaxCellTextBytes is refused with, after the place it
// was found.
std::string TextTooLong();

// Dates.  A cell's number is read as it is stored, whatever its format
// shows, in a workbook of the 1900 date system: serial day numbers counted
// from 30 December 1899, with the fraction for the time of day.  A workbook
// of the 1904 date system counts its days from 1 January 1904 (day 1462 of
// the other), so a number in a format that shows a date is read as the
// serial of the same day in the 1900 system: the same workbook saved in
// either system, as .xls or .xlsx, reads the same.  A number in a format of
// a time of day or a duration alone ("hh:mm", "[h]:mm") is the same in both
// systems and stays as it is.

// Whether a number format shows a date: a day, a month or a year.  Texts in
// quotes or after a backslash, the fill and spacing characters after "*"
// and "_", brackets ("[Red]", "[>100]", "[$-409]") and AM/PM are no part of
// it; "m" is the minutes right after an hour or right before seconds, and a
// month anywhere else, as the spreadsheet reads it; "General" shows none.
bool FormatShowsDate(std::string_view format);
// The built-in number formats (stored without their text) that show a
// date: 14 to 17 and 22 in every installation of the spreadsheet, and those
// whose text depends on the installation's language and shows a date in at
// least one of them (Chinese, Japanese, Korean, Thai): 27 to 31, 34 to 36,
// 50 to 58, 71 to 74, 77 and 81.  A file does not say which language wrote
// it.  34, 35, 52, 53, 55 and 56 are times of day in some Chinese
// installations and dates in the others: they count as dates, since a date
// left in the 1904 count is four years wrong, while a time of day moved by
// whole days keeps the time it shows.  The formats that are times in every
// language stay as they are: 18 to 21, 32, 33, 45 to 47, 75, 76 and 78 to
// 80.
bool BuiltInFormatShowsDate(uint32_t id);
// The days from the 1900 date system's day 0 to the 1904 system's.
constexpr double k1904Days = 1462;
// A number in a format that shows a date in a workbook of the 1904 date
// system, as the serial of the same moment in the 1900 system.  A number
// below 0 or from 1 January 10000 on is no date and stays as it is.
double From1904(double serial);

// The error codes of the error values a cell can hold ("#DIV/0!" and so on),
// as a cell's Variant carries them; 0 for a text that is no error value.
int32_t ErrorCodeOfText(std::string_view text);
std::string TextOfErrorCode(int32_t code);

// A sheet: rows of cells, both sorted, only filled cells stored.
class Sheet {
public:
    struct Entry {
        int32_t col = 0;
        Cell cell;
    };
    struct Row {
        int32_t number = 0;
        std::vector<Entry> cells;   // ascending columns, no duplicates
    };

    std::string name;

    // The used range (1-based, inclusive): the rows and columns of the
    // filled cells.  An empty sheet has LastRow() == 0.
    int32_t FirstRow() const { return firstRow_; }
    int32_t LastRow() const { return lastRow_; }
    int32_t FirstCol() const { return firstCol_; }
    int32_t LastCol() const { return lastCol_; }

    // A cell's value: Empty, Double, String, Boolean or Error.  Any row and
    // column (also outside the used range, or 0 and below) is Empty.
    vb::Variant Value(int32_t row, int32_t col) const;
    const Cell* Find(int32_t row, int32_t col) const;
    const std::string& Text(uint32_t index) const { return strings_.at(index); }

    const std::vector<Row>& Rows() const { return rows_; }
    const std::vector<std::string>& Strings() const { return strings_; }

    // --- Building (readers and the bus codec) -------------------------------------
    uint32_t AddString(std::string text);
    // A date or time given as ISO text: its serial number, or the text
    // itself when it is no date.
    Cell DateCell(std::string_view iso);
    // Appends a cell; rows and columns may come in any order.  A cell given
    // twice keeps the later value.  Call Finish once after the last cell.
    // Each row's cells are held in a block of their own size (a row is
    // allocated like the one before it, then trimmed when the next begins).
    void Put(int32_t row, int32_t col, const Cell& cell);
    void Finish();
    size_t CellCount() const { return cellCount_; }

private:
    std::vector<Row> rows_;
    std::vector<std::string> strings_;
    bool sorted_ = true;
    size_t cellCount_ = 0;
    int32_t firstRow_ = 0, lastRow_ = 0, firstCol_ = 0, lastCol_ = 0;
};

static_assert(sizeof(Sheet::Entry) == 16);

class Workbook {
public:
    std::string path;   // as it was opened
    std::string name;   // the file name without its folder
    std::vector<std::shared_ptr<const Sheet>> sheets;
    int32_t activeSheet = 0;   // 0-based index into sheets
};

// What one read of a workbook file may take; the defaults are the
// program's (tests and the fuzz target lower them).
struct ReadLimits {
    size_t valueMemory = kMaxValueMemory;
};

// A size in a message: whole mebibytes as "N MiB", anything else in bytes.
std::string Megabytes(size_t bytes);
// What a string held in memory takes: its object, and its characters when
// they do not fit inside it.
size_t StringMemory(size_t length);
// What a cell kept in a sheet takes, with its row's share when the cell
// begins a row.
size_t CellMemory(bool beginsRow);

// The memory the values of one workbook take, counted by both readers as
// they keep values; `label` names the file in the limit's message.
class ValueMemory {
public:
    ValueMemory(size_t limit, std::string label) : limit_(limit), label_(std::move(label)) {}
    void Take(size_t bytes) {
        Need(bytes);
        held_ += bytes;
    }
    void Give(size_t bytes) { held_ -= bytes < held_ ? bytes : held_; }
    // Raises the limit's error when `bytes` more would not fit.
    void Need(size_t bytes) const;
    size_t Held() const { return held_; }

private:
    size_t held_ = 0;
    size_t limit_;
    std::string label_;
};

// Reads a workbook file: .xls by its compound-document signature or the BOF
// record a bare workbook stream begins with, anything else as the zip
// package of .xlsx/.xlsm.  Raises kErrWorkbook.
std::shared_ptr<Workbook> ReadWorkbook(const std::string& path, const ReadLimits& limits = {});
// Opens a workbook file for reading; refused (Fail) unless it is a plain
// file.  Gives its size when asked; the caller closes what it returns.
int OpenPlainFile(const std::string& path, uint64_t* size = nullptr);
// Reads an .xlsx/.xlsm file (a zip package).
std::shared_ptr<Workbook> ReadXlsxFile(const std::string& path, const ReadLimits& limits = {});
// Reads the bytes of an .xlsx/.xlsm package held in memory (`name` only
// labels messages).
std::shared_ptr<Workbook> ReadXlsxBytes(const void* data, size_t size, const std::string& name,
                                        const ReadLimits& limits = {});
// Reads a package whose parts are given by name, already inflated (what
// the fuzz target feeds the package reader with).
std::shared_ptr<Workbook> ReadXlsxParts(const std::vector<std::pair<std::string, std::string>>& parts,
                                        const std::string& name, const ReadLimits& limits = {});
// Reads an .xls file: a compound file holding a BIFF8 or BIFF5 workbook
// stream, or that stream alone (reader_xls.cpp).
std::shared_ptr<Workbook> ReadXls(const std::string& path, const ReadLimits& limits = {});
// Reads the bytes of an .xls file held in memory (`name` only labels
// messages).
std::shared_ptr<Workbook> ReadXlsBytes(const void* data, size_t size, const std::string& name,
                                       const ReadLimits& limits = {});

// Parses a cell reference such as "AB12" (letters then digits, both
// required) into row and column; false when it is no reference within the
// sheet's limits.
bool ParseCellRef(std::string_view ref, int32_t& row, int32_t& col);
// The serial day number (days since 30 December 1899, fractions for the
// time) of an ISO date or date-time ("2024-03-01", "2024-03-01T12:00:00",
// "12:30:00"), or the days an ISO duration lasts ("PT36H30M15.500S");
// false when the text is none.
bool IsoDateToSerial(std::string_view text, double& serial);
// Reads a whole number of the file's XML as a double with "." as the
// decimal point whatever the locale; false when the text is no number.
bool ParseXmlNumber(std::string_view text, double& value);

}  // namespace sheet
