// The runtime's conversions between numbers and text, as every part of the
// program uses them.
//
// Rounding: every conversion to a whole number rounds to the nearest whole
// number, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2).  Integer means 16-bit, Long 32-bit; a result out of range
// raises error 6 (Overflow).
//
// Text: numbers are written with "." as the decimal point whatever the locale,
// Doubles with up to 15 significant digits and Singles with up to 7, without
// trailing zeros.  The exponent form ("1E+15", "1.5E-07", "1E-05") is used
// when the number rounded to those digits has a decimal exponent below -4 or
// of at least the number of digits (so 123456789012345 and 0.0001 are
// written out, 1E+15 and 1E-05 are not; for Singles from 1E+07).  Str() puts
// a blank before a number that is not negative.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/runtime/variant.h"

namespace vb {

// Round half to even, no range check.
double RoundHalfEven(double v);

// Val(): the leading number of a text.  Leading blanks, tabs and line feeds are
// skipped, as are blanks inside the number; "&H" and "&O" prefixes read hex and
// octal; an exponent "E" or "D" is taken; reading stops at the first character
// that cannot continue the number; a text with no number gives 0.
double Val(std::string_view text);

// Strict reading of a text that must be a number as a whole (what CDbl and
// IsNumeric accept): blanks and tabs round it, an optional sign, decimal
// digits with one optional "." and an optional exponent, or an "&H"/"&O"
// number.  Returns false for anything else.
bool ParseNumericText(std::string_view text, double& out);

// The standard number-to-text conversion (what CStr and string concatenation
// give).
std::string NumberToText(double v);          // up to 15 significant digits
std::string SingleToText(float v);           // up to 7 significant digits
std::string CurrencyToText(int64_t scaled);  // up to 4 decimals
// Str(): as NumberToText, with a leading blank for numbers >= 0.
std::string Str(double v);
std::string Str(const Variant& v);

// Conversions of a Variant (raise 13 for text that is no number, 94 for Null
// where a number is needed, 6 on overflow).
int16_t CInt(const Variant& v);
int32_t CLng(const Variant& v);
uint8_t CByte(const Variant& v);
float CSng(const Variant& v);
double CDbl(const Variant& v);
int64_t CCur(const Variant& v);           // scaled by 10,000
bool CBool(const Variant& v);
std::string CStr(const Variant& v);
// CInt/CLng of a double (banker's rounding, overflow checked).
int16_t CInt(double v);
int32_t CLng(double v);
// CSng of a double: what every Single field takes on assignment.  A value
// beyond the largest single (3.402823E+38 either way) raises 6 (Overflow), and
// so does one that is no finite number, so that no field is ever given an
// infinity or a NaN; a value too small for a single becomes the nearest one
// (a denormal, or 0 with its sign).
float CSng(double v);

// Converts a value to the given scalar type as assignment to a typed
// variable would (raises as the C* functions do).
Variant ConvertTo(const Variant& v, VarType type);

// Int() and Fix() of the runtime: floor and truncation toward zero.
double Int(double v);
double Fix(double v);

// StrComp(a, b, mode): -1, 0 or 1; mode 0 compares binary (code units), mode 1
// compares without regard to case.
int StrComp(std::string_view a, std::string_view b, int mode);

// Text helpers with the runtime's semantics (positions are 1-based).
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
std::string Left(std::string_view s, int64_t n);
std::string Right(std::string_view s, int64_t n);
std::string Mid(std::string_view s, int64_t start, int64_t length = -1);
std::string Trim(std::string_view s);
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
int64_t Len(std::string_view s);          // in characters
int64_t InStr(std::string_view s, std::string_view find, int64_t start = 1);

// UTF-8 <-> UTF-16LE bytes (the byte forms store text as UTF-16LE).
// Decodes one UTF-8 sequence at s[i] and advances i; invalid bytes give
// U+FFFD and advance by one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i);
void AppendUtf8(std::string& out, char32_t cp);
std::u16string ToUtf16(std::string_view utf8);
std::string FromUtf16(std::u16string_view utf16);

}  // namespace vb
