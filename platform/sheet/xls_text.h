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

// The code page of the texts typed in a font of a FONT record's character
// set: 1252 for ANSI (0) and the system's default (1), the Windows code page
// of each of the Windows character sets (Russian 204 is 1251, East European
// 238 is 1250, Greek 161 is 1253, Shift-JIS 128 is 932...), Mac Roman (77)
// 10000; 0 for a character set of no code page (Symbol, OEM) or none known.
uint16_t CodePageOfCharSet(uint8_t charSet);

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
// byte each and any other text in UTF-16LE, two bytes a character.  A text of
// an odd count cannot be UTF-16 and is read a byte a character.  One of an
// even count is read as UTF-16LE when it holds a zero byte (an ASCII
// character's high byte) or a byte of 0x80 or more, when every second byte
// (each character's high byte) is a control byte (characters of U+0100 to
// U+1FFF: Latin, Greek, Cyrillic, Arabic, Devanagari, Thai...), or when it
// holds a control byte other than a tab, a line feed and a carriage return
// before one; and as ASCII otherwise, DEL being ASCII too.  Two kinds of text
// have the same bytes in both and are read as the one said first: the ASCII
// text, against the UTF-16 text all of whose characters have two bytes of
// printable ASCII, tabs and line breaks and one high byte at least
// printable, such as U+6C34 (bytes "4l") or U+3231 ("12"), ASCII identifiers
// being far more common; and the UTF-16 text of characters whose high bytes
// are all tabs and line breaks (Devanagari, Gurmukhi, Malayalam), against
// the ASCII text of an even count whose every second character is a tab or a
// line break ("1<tab>2<tab>").  As in the UTF-16 texts of BIFF8, a surrogate
// without its partner becomes U+FFFD; so does the last byte of an odd count
// that holds a zero byte or a byte of 0x80 or more, which is neither ASCII
// nor UTF-16: the rest of the text reads as UTF-16, and the mark shows
// where.
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
