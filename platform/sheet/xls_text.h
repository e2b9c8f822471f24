// Texts of the .xls format as the UTF-8 the sheets hold: UTF-16 code units
// (BIFF8: two bytes a character, or one byte holding the low half when the
// high halves are all zero), and 8-bit texts in the workbook's code page
// (BIFF5).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sheet {

// Appends UTF-16 code units as UTF-8; a surrogate without its partner
// becomes U+FFFD.
void AppendUtf16(std::string& out, const uint16_t* units, size_t n);

// The code page an 8-bit text is in when the workbook names none.
constexpr uint16_t kDefaultCodePage = 1252;

// Appends 8-bit text in a CODEPAGE record's code page as UTF-8: the Windows
// code pages 1250 to 1258 (32769 is 1252), ASCII (367, 20127), UTF-8 (65001;
// a byte that is no part of a character becomes U+FFFD) and UTF-16 (1200:
// each byte the low half of a character whose high half is zero, as in a
// BIFF8 text of one byte a character).  A byte a code page leaves undefined
// becomes U+FFFD.  Returns false, having appended nothing, when the code
// page is none of these and the text holds a byte of 0x80 or more: what
// that byte means is unknown here (bytes below 0x80 are ASCII in every
// code page a workbook may name).
bool AppendCodePage(std::string& out, const unsigned char* bytes, size_t n, uint16_t codePage);

}  // namespace sheet
