#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "tests/platform_runtime/error_of.h"

using namespace vb;


TEST(Conversions, WholeNumbersRoundHalfToEven) {
    EXPECT_EQ(CInt(0.5), 0);
    EXPECT_EQ(CInt(1.5), 2);
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-0.5), 0);
    EXPECT_EQ(CInt(-1.5), -2);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(-3.5), -4);
    EXPECT_EQ(CInt(2.5000001), 3);
    EXPECT_EQ(CInt(-2.4999999), -2);
    EXPECT_EQ(CLng(Variant(2147483646.5)), 2147483646);
    EXPECT_EQ(CLng(Variant(-2147483647.5)), -2147483647 - 1);
    EXPECT_EQ(CByte(Variant(254.5)), 254);
    EXPECT_EQ(CByte(Variant(253.5)), 254);
    // Currency rounds exactly on its scaled value.
    EXPECT_EQ(CInt(Variant::Currency(25000)), 2);
    EXPECT_EQ(CInt(Variant::Currency(-35000)), -4);
    EXPECT_EQ(CLng(Variant("  7.5 ")), 8);
    EXPECT_EQ(RoundHalfEven(-0.4), 0.0);
    EXPECT_FALSE(std::signbit(RoundHalfEven(-0.4)));
}

// Every Single field takes its value through CSng: the largest single and
// anything smaller read, anything beyond it (however slightly) or not a
// finite number is an overflow, never an infinity or a NaN in a field.
TEST(Conversions, SingleAssignmentRefusesWhatNoSingleHolds) {
    const double largest = std::numeric_limits<float>::max();
    EXPECT_EQ(CSng(3.4e38), 3.4e38f);
    EXPECT_EQ(CSng(largest), std::numeric_limits<float>::max());
    EXPECT_EQ(CSng(-largest), -std::numeric_limits<float>::max());
    EXPECT_EQ(CSng(Variant("3.4E+38")), 3.4e38f);
    EXPECT_EQ(CSng(Variant("-3.402823E+38")), -3.402823e38f);
    for (double beyond : {std::nextafter(largest, 1e300), -std::nextafter(largest, 1e300), 3.5e38, 1e300, -1e300,
                          std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), std::nan("")}) {
        EXPECT_EQ(ErrorOf([&] { CSng(beyond); }), errOverflow) << beyond;
        EXPECT_EQ(ErrorOf([&] { CSng(Variant(beyond)); }), errOverflow) << beyond;
        EXPECT_EQ(ErrorOf([&] { ConvertTo(Variant(beyond), vbSingle); }), errOverflow) << beyond;
    }
    EXPECT_EQ(ErrorOf([] { CSng(Variant("1E+300")); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CSng(Variant("-3.5E+38")); }), errOverflow);
    // Below the smallest single: the nearest single, sign kept.
    EXPECT_EQ(CSng(1.4e-45), std::numeric_limits<float>::denorm_min());
    EXPECT_EQ(CSng(1e-300), 0.0f);
    EXPECT_TRUE(std::signbit(CSng(-1e-300)));
    EXPECT_TRUE(std::signbit(CSng(Variant(-0.0))));
}

TEST(Conversions, OverflowAndTypeErrors) {
    EXPECT_EQ(CInt(32767.0), 32767);
    EXPECT_EQ(CInt(-32768.0), -32768);
    EXPECT_EQ(CInt(32767.4999), 32767);
    EXPECT_EQ(ErrorOf([] { CInt(32767.5); }), errOverflow);    // rounds to 32768
    EXPECT_EQ(ErrorOf([] { CInt(-32768.5); }), 0);             // rounds to -32768 (even)
    EXPECT_EQ(ErrorOf([] { CInt(-32769.5); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CInt(Variant(40000)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CInt(std::nan("")); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CLng(2147483647.5); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CByte(Variant(-1)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CByte(Variant(255.5)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CSng(Variant(1e39)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant("12abc")); }), errTypeMismatch);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant("")); }), errTypeMismatch);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant("0,5")); }), errTypeMismatch);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant::Null()); }), errInvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { CStr(Variant::Null()); }), errInvalidUseOfNull);
    EXPECT_EQ(ErrorOf([] { CDbl(Variant::Nothing()); }), errObjectNotSet);
    // Assignment to a typed variable converts the same way.
    EXPECT_EQ(ConvertTo(Variant(2.5), vbInteger).Type(), vbInteger);
    EXPECT_EQ(ConvertTo(Variant(2.5), vbInteger).RawInteger(), 2);
    EXPECT_EQ(ErrorOf([] { ConvertTo(Variant(70000.0), vbInteger); }), errOverflow);
    EXPECT_EQ(ConvertTo(Variant(int16_t(3)), vbString).RawString(), "3");
}

TEST(Conversions, EmptyAndBooleans) {
    EXPECT_EQ(CDbl(Variant()), 0);
    EXPECT_EQ(CInt(Variant()), 0);
    EXPECT_EQ(CStr(Variant()), "");
    EXPECT_EQ(CStr(Variant(true)), "True");
    EXPECT_EQ(CStr(Variant(false)), "False");
    EXPECT_EQ(CInt(Variant(true)), -1);
    EXPECT_TRUE(CBool(Variant("true")));
    EXPECT_FALSE(CBool(Variant(" False ")));
    EXPECT_TRUE(CBool(Variant("-2")));
    EXPECT_FALSE(CBool(Variant(0.0)));
    EXPECT_EQ(ErrorOf([] { CBool(Variant("yes")); }), errTypeMismatch);
}

TEST(Conversions, ValReadsTheLeadingNumber) {
    EXPECT_EQ(Val("   42"), 42);
    EXPECT_EQ(Val("\t\n 42"), 42);
    EXPECT_EQ(Val("1 2 3"), 123);          // blanks inside the digits are skipped
    EXPECT_EQ(Val(" 1 . 5"), 1.5);
    EXPECT_EQ(Val("12abc"), 12);
    EXPECT_EQ(Val("1.2.3"), 1.2);
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("-"), 0);
    EXPECT_EQ(Val(".5"), 0.5);
    EXPECT_EQ(Val("-.25"), -0.25);
    EXPECT_EQ(Val("+7"), 7);
    EXPECT_EQ(Val("1.5E3"), 1500);
    EXPECT_EQ(Val("1.5e-3"), 0.0015);
    EXPECT_EQ(Val("2D2"), 200);
    EXPECT_EQ(Val("2E"), 2);               // exponent letter without digits
    EXPECT_EQ(Val("2E+x"), 2);
    EXPECT_EQ(Val("3E2E5"), 300);
    EXPECT_EQ(Val("1E-400"), 0);
    EXPECT_EQ(ErrorOf([] { Val("1E400"); }), errOverflow);
    EXPECT_EQ(Val("&HFF"), 255);
    EXPECT_EQ(Val("&hff"), 255);
    EXPECT_EQ(Val("&HFFFF"), -1);          // 16-bit value
    EXPECT_EQ(Val("&H8000"), -32768);
    EXPECT_EQ(Val("&H10000"), 65536);      // 32-bit value
    EXPECT_EQ(Val("&HFFFFFFFF"), -1);
    EXPECT_EQ(Val("&H1G"), 1);
    EXPECT_EQ(Val("&O17"), 15);
    EXPECT_EQ(Val("&O18"), 1);
    EXPECT_EQ(Val("&H"), 0);
    EXPECT_EQ(Val("&X12"), 0);
    EXPECT_EQ(Val("0.004"), 0.004);
    EXPECT_FALSE(std::signbit(Val("-0")));
}

TEST(Conversions, StrictNumberText) {
    double d = 0;
    EXPECT_TRUE(ParseNumericText(" 12.5 ", d));
    EXPECT_EQ(d, 12.5);
    EXPECT_TRUE(ParseNumericText("-1e3", d));
    EXPECT_EQ(d, -1000);
    EXPECT_TRUE(ParseNumericText("&H1F", d));
    EXPECT_EQ(d, 31);
    EXPECT_FALSE(ParseNumericText("&HZZ", d));
    EXPECT_FALSE(ParseNumericText("1 2", d));
    EXPECT_FALSE(ParseNumericText("1e", d));
    EXPECT_FALSE(ParseNumericText(".", d));
    EXPECT_FALSE(Variant("&HZZ").IsNumeric());
    EXPECT_TRUE(Variant(" 3.5 ").IsNumeric());
    EXPECT_FALSE(Variant("1E999").IsNumeric());
    EXPECT_FALSE(Variant("").IsNumeric());
}

TEST(Conversions, NumbersToText) {
    EXPECT_EQ(NumberToText(0.1), "0.1");
    EXPECT_EQ(NumberToText(-0.5), "-0.5");
    EXPECT_EQ(NumberToText(0), "0");
    EXPECT_EQ(NumberToText(-0.0), "0");
    EXPECT_EQ(NumberToText(100), "100");
    EXPECT_EQ(NumberToText(2.5), "2.5");
    EXPECT_EQ(NumberToText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(NumberToText(123456789012345.0), "123456789012345");
    EXPECT_EQ(NumberToText(1e15), "1E+15");
    EXPECT_EQ(NumberToText(1e16), "1E+16");
    EXPECT_EQ(NumberToText(123456789012345678.0), "1.23456789012346E+17");
    EXPECT_EQ(NumberToText(1.5e-7), "1.5E-07");
    EXPECT_EQ(NumberToText(0.0001), "0.0001");
    EXPECT_EQ(NumberToText(0.00001), "1E-05");
    EXPECT_EQ(NumberToText(-2.5e100), "-2.5E+100");
    EXPECT_EQ(NumberToText(0.1 + 0.2), "0.3");   // 15 digits hide the binary noise
    EXPECT_EQ(SingleToText(0.004f), "0.004");
    EXPECT_EQ(SingleToText(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(SingleToText(102.1f), "102.1");
    EXPECT_EQ(SingleToText(1e7f), "1E+07");
    EXPECT_EQ(SingleToText(1234567.0f), "1234567");
    EXPECT_EQ(CurrencyToText(-12345), "-1.2345");
    EXPECT_EQ(CurrencyToText(50000), "5");
    EXPECT_EQ(CurrencyToText(12500), "1.25");
    EXPECT_EQ(CStr(Variant(0.004f)), "0.004");
    EXPECT_EQ(CStr(Variant(int16_t(-7))), "-7");
    EXPECT_EQ(CStr(Variant(200.0)), "200");
    EXPECT_EQ(CStr(Variant::Date(2.5)), "1/1/1900 12:00:00 PM");
    EXPECT_EQ(Str(5.0), " 5");
    EXPECT_EQ(Str(-5.0), "-5");
    EXPECT_EQ(Str(Variant(int16_t(3))), " 3");
    // Text written and read back gives the same number.
    for (double v : {0.1, 1.0 / 7, 123.456, -9.87654321e-3, 6.02e23}) EXPECT_EQ(Val(NumberToText(v)), CDbl(Variant(NumberToText(v))));
}

TEST(Conversions, TextFunctions) {
    EXPECT_EQ(StrComp("abc", "ABC", 0), 1);
    EXPECT_EQ(StrComp("abc", "ABC", 1), 0);
    EXPECT_EQ(StrComp("a", "b", 1), -1);
    EXPECT_EQ(StrComp("b", "A", 1), 1);
    EXPECT_EQ(StrComp("ab", "a", 0), 1);
    EXPECT_EQ(StrComp("", "", 0), 0);
    EXPECT_EQ(StrComp("äÖ", "ÄÖ", 1), 0);
    EXPECT_EQ(ErrorOf([] { StrComp("a", "b", 2); }), errInvalidProcedureCall);
    EXPECT_EQ(UCase("Lateral1 ä"), "LATERAL1 Ä");
    EXPECT_EQ(LCase("ObjLAT"), "objlat");
    EXPECT_EQ(Left("Lateral12", 7), "Lateral");
    EXPECT_EQ(Left("ab", 5), "ab");
    EXPECT_EQ(Right("Lateral12", 2), "12");
    EXPECT_EQ(Mid("Lateral12", 8), "12");
    EXPECT_EQ(Mid("Lateral12", 2, 3), "ate");
    EXPECT_EQ(Mid("abc", 10), "");
    EXPECT_EQ(Mid("äbc", 2, 1), "b");
    EXPECT_EQ(Len("äbc"), 3);
    EXPECT_EQ(ErrorOf([] { Mid("abc", 0); }), errInvalidProcedureCall);
    EXPECT_EQ(ErrorOf([] { Left("abc", -1); }), errInvalidProcedureCall);
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(InStr("ObjLateral1", "Lat"), 4);
    EXPECT_EQ(InStr("abcabc", "c", 4), 6);
    EXPECT_EQ(InStr("abc", "x"), 0);
    EXPECT_EQ(InStr("abc", ""), 1);
    EXPECT_EQ(InStr("äbc", "c"), 3);
    EXPECT_EQ(FromUtf16(ToUtf16("Kanal ä € 𝄞")), "Kanal ä € 𝄞");
    EXPECT_EQ(ToUtf16("𝄞").size(), 2u);
    EXPECT_EQ(FromUtf16(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf16("\xFF"), std::u16string(1, char16_t(0xFFFD)));
}

TEST(Conversions, DatesAsTextAndTheirRange) {
    EXPECT_EQ(CStr(Variant::Date(0)), "12:00:00 AM");
    EXPECT_EQ(CStr(Variant::Date(36526)), "1/1/2000");
    EXPECT_EQ(CStr(Variant::Date(-1.5)), "12/29/1899 12:00:00 PM");   // the time part counts forward
    EXPECT_EQ(CStr(Variant::Date(2958465)), "12/31/9999");
    EXPECT_EQ(CStr(Variant::Date(-657434)), "1/1/100");
    // Beyond the years 100 to 9999 a date is an overflow, never garbage text.
    EXPECT_EQ(ErrorOf([] { CStr(Variant::Date(2958466)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CStr(Variant::Date(-657435)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { CStr(Variant::Date(1e300)); }), errOverflow);
    EXPECT_EQ(ErrorOf([] { ConvertTo(Variant(1e10), vbDate); }), errOverflow);
    EXPECT_EQ(ConvertTo(Variant(int16_t(2)), vbDate).RawDouble(), 2.0);
}
