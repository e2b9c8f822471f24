// The rows of the table under the profile and their file "zefprof.cfg" in the
// program's folder.  The list handlers of the main window (profile_rows.cpp)
// and the profile routine use what is declared below.
//
// File layout: fixed slots of 128 bytes; row r is kept in slot r + 1 (slot n
// starts at byte (n - 1) * 128).  A slot holds one 60-byte record, packed,
// little-endian; the rest of the slot carries no data: it is ignored on
// reading, a new file has zeros there, and a rewrite keeps what the file
// held there.  Text fields are 8-bit characters (Latin-1), as wide as the
// field, blank-padded.
//
//   offset size field        offset size field
//        0    2 Id                41    1 Code
//        2   20 Label             42    4 RowHeight0
//       22    4 TextHeight        46    4 Hspace
//       26    4 RowHeight         50    4 Vspace
//       30    7 Style             54    4 Rotation
//       37    4 Color             58    2 Visible (-1 true, 0 false)
//
// Integers are two's complement, floats IEEE single precision.  Every writer
// stores rows 0 to 20, so a file holds at least 21 slots; a longer file keeps
// its further slots (start-up reads slots 22 to 25 as rows 21 to 24) and any
// bytes after them, untouched by every rewrite.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A text field of fixed width in characters.  Assigning pads with blanks or
// cuts to the width; a field never assigned holds `N` zero characters.
// Characters are kept as 8-bit Latin-1 codes, exactly as the file stores them.
template <size_t N>
struct FixedText {
    std::array<char, N> bytes{};

    FixedText() = default;
    FixedText(std::string_view utf8) { Assign(utf8); }
    FixedText& operator=(std::string_view utf8) { Assign(utf8); return *this; }
    FixedText& operator=(const char* utf8) { Assign(utf8); return *this; }

    // All N characters (padding included), as UTF-8.
    std::string Text() const;
    // The text without the blanks at both ends, as the runtime's Trim() gives it.
    std::string Trimmed() const;

    void Assign(std::string_view utf8);
    friend bool operator==(const FixedText&, const FixedText&) = default;
};

// One row of the table under the profile.
struct ProfileRowRecord {
    int16_t Id = 0;              // the row's number from start-up; moves carry it
    FixedText<20> Label;         // the row's name; rows are recognised by it, trimmed
    float TextHeight = 0;        // height of the row's values
    float RowHeight = 0;         // height of the row in the table
    FixedText<7> Style;          // text style name (not used by the drawing)
    float Color = 0;             // colour index of the values, or of a line style
    FixedText<1> Code;           // "M": one value in the middle of each pipe
    float RowHeight0 = 0;        // above 0: the row draws its vertical separators
    float Hspace = 0;            // horizontal offset of the values
    float Vspace = 0;            // vertical offset of the values
    float Rotation = 0;          // angle of the values in degrees
    bool Visible = false;        // the row is shown

    friend bool operator==(const ProfileRowRecord&, const ProfileRowRecord&) = default;
};

inline constexpr int kProfileRowCount = 25;         // rows 0 to 24
inline constexpr int kProfileStoredRows = 21;       // rows 0 to 20 are in the file
inline constexpr size_t kProfileRecordSize = 60;
// The largest text height, row height or spacing a row may hold, in drawing
// units (the whole profile picture is 160 by 150 of them); a file holding
// more is damaged.
inline constexpr float kProfileMaxLength = 1000;
inline constexpr size_t kProfileSlotSize = 128;
// The most of the file a read uses: the slots of rows 0 to 24.
inline constexpr size_t kProfileFileBytes = kProfileRowCount * kProfileSlotSize;

// Row 0 is a work row (the row moves swap through it), rows 1 to 20 are the
// table rows, rows 21 to 24 four line styles ("Base line", "GR.line", "Axline",
// "project line").
inline std::vector<ProfileRowRecord> ProfileRowTable(kProfileRowCount);

// Path of "zefprof.cfg"; LoadProfileConfig sets it to the program's folder when
// it is empty, and every command that writes the file uses it.
inline std::string ProfileConfigPath;

// Reads the rows from the file, or, when there is none, builds the default rows
// and writes them.  Whatever the file does not hold (a short or truncated file,
// the line styles 21 to 24) or holds as a number that is not finite takes its
// default value.  Never raises: a file that cannot be read or written leaves
// the rows in memory.  Each row's Id keeps what it had unless the file has one.
// Only the first kProfileFileBytes of the file are read; a longer file is
// left as it is.
void LoadProfileConfig();

// Writes rows 0 to 20 into slots 1 to 21 of the file, keeping every other
// byte it holds (the unused end of each slot, and all after slot 21); a
// missing file is made of the 21 slots.  The new file is written beside the
// old one and renamed into place, copying the old one a block at a time.
// Raises vb::VbError 75 naming the cause when the file cannot be read or
// written; the old file then stays whole.
void WriteProfileConfig();

// The default rows (0 to 24), with the given Ids kept.
std::vector<ProfileRowRecord> DefaultProfileRows(const std::vector<ProfileRowRecord>& keepIds);

// One row as its 60-byte record, and back.  Decoding takes only the fields that
// lie wholly inside the `size` bytes given; the other fields of `row` and any
// number outside its field's range (a text height from 0 to
// kProfileMaxLength, other lengths within plus or minus that, a colour
// within the 16-bit integers, a rotation within plus or minus 360 degrees;
// never NaN) keep the value `row` had.
std::array<uint8_t, kProfileRecordSize> EncodeProfileRecord(const ProfileRowRecord& row);
void DecodeProfileRecord(const uint8_t* bytes, size_t size, ProfileRowRecord& row);

// The first table row (1 to 20) whose trimmed Label equals the trimmed text, or
// 0 when there is none.
int FindProfileRow(std::string_view itemText);
// The same among the rows that are shown (`visible` true) or hidden: the row
// an item of List4 or List3 stands for, also when a file names two rows alike.
int FindProfileRow(std::string_view itemText, bool visible);

// Moves the shown row named `movedText` into the place of the shown row named
// `otherText` and back: the two rows exchange all their fields (Id included)
// through row 0, which keeps a copy of the moved row.  False, and nothing
// changed, when either name is not a shown table row.
bool ExchangeProfileRows(std::string_view movedText, std::string_view otherText);

// The Labels (all 20 characters) of the table rows 1 to 20 that are shown, or
// hidden, in row order: the contents of the two row lists.
std::vector<std::string> ProfileRowLabelList(bool visible);
