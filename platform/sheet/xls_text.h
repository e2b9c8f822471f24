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

// The name under which the C library's character converter (iconv) knows
// a code page that is read through it: the DOS code pages 437 and 720 to
// 869, Thai 874 and the two-byte code pages of East Asia (932, 936, 949,
// 950, 1361); empty for any other code page.
std::string ConverterName(uint16_t codePage);

// Reads 8-bit texts in a CODEPAGE record's code page as UTF-8: the Windows
// code pages 1250 to 1258 (32769 is 1252) and Mac Roman (10000, 32768) by
// tables of their own, where a byte the code page leaves undefined becomes
// U+FFFD; ASCII (367, 20127);
// UTF-8 (65001; a byte that is no part of a character becomes U+FFFD);
// UTF-16 (1200; see below); and the code pages of ConverterName through the
// C library's converter, a whole text at a time (the East Asian ones have
// characters of two bytes).
//
// In code page 1200 a text's length counts its bytes, and the one writer
// known to name 1200 in a BIFF5 workbook stores a text of ASCII characters a
// byte each and any other text in UTF-16LE, two bytes a character.  So a
// text whose bytes are all printable ASCII, tabs and line breaks (a line
// feed, or a carriage return before one) is read as ASCII, and any other as
// UTF-16LE.  A UTF-16 text has a zero byte for each ASCII character it
// holds, and a control byte for each character of U+0100 to U+1FFF (Latin,
// Greek, Cyrillic, Arabic, Thai...), so it is told from ASCII unless every
// one of its characters is one whose two bytes are printable ASCII or a tab
// or line feed: some East Asian characters, such as U+6C34 (bytes "4l") or
// U+3231 ("12").  Those bytes are the same as the ASCII text's, and are read
// as that, ASCII identifiers being far more common.  As in the UTF-16 texts
// of BIFF8, a surrogate without its partner becomes U+FFFD, and so does a
// last byte left without its pair (an odd count): the rest of the text
// reads, and the mark shows where.
class CodePageText {
public:
    explicit CodePageText(uint16_t codePage);
    ~CodePageText();
    CodePageText(const CodePageText&) = delete;
    CodePageText& operator=(const CodePageText&) = delete;

    enum class Outcome {
        Read,
        // The code page is none of the above and the text holds a byte of
        // 0x80 or more: what that byte means is unknown here (bytes below
        // 0x80 are ASCII in every code page a workbook may name).
        NotRead,
        // A code page of ConverterName that this system's converter does
        // not have, and a byte of 0x80 or more.
        NoConverter,
        // Bytes that are no character of the code page, from byte *at.
        Invalid,
    };
    // Appends the text's UTF-8; appends nothing unless it is Read.
    Outcome Append(std::string& out, const unsigned char* bytes, size_t n, size_t* at = nullptr);
    uint16_t CodePage() const { return codePage_; }

private:
    uint16_t codePage_;
    void* converter_ = nullptr;   // an iconv_t, or null
};

}  // namespace sheet
