#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"
#include "profile/format.h"

namespace {

std::string Fixed(const vb::Variant& v, int16_t decimals) {
    vb::Variant r = FormatFixed(v, decimals);
    if (r.IsEmpty()) return "<empty>";
    EXPECT_EQ(r.Type(), vb::vbString);
    return vb::CStr(r);
}

TEST(FormatFixed, RoundsHalvesToEvenAndKeepsExactDecimals) {
    struct Case { double value; int16_t decimals; const char* text; };
    const Case cases[] = {
        // no decimals: halves go to the even neighbour in both directions
        {2.5, 0, "2"}, {3.5, 0, "4"}, {-0.5, 0, "0"}, {-1.5, 0, "-2"}, {-2.5, 0, "-2"},
        {0.5, 0, "0"}, {1.5, 0, "2"}, {7, 0, "7"},
        // two decimals
        {0.125, 2, "0.12"}, {0.375, 2, "0.38"}, {1.005, 2, "1.00"}, {2.675, 2, "2.68"},
        {12, 2, "12.00"}, {9.999, 2, "10.00"}, {1234.57, 2, "1234.57"}, {0.5, 2, "0.50"},
        // negatives: a small negative keeps its sign, one that rounds to zero has none
        {-0.25, 2, "-0.25"}, {-0.004, 2, "0.00"}, {-12.345, 2, "-12.34"}, {-1.5, 1, "-1.5"},
        {-0.05, 1, "0.0"}, {-0.125, 2, "-0.12"}, {-3, 2, "-3.00"}, {-0.0001, 4, "-0.0001"},
        // other widths
        {0, 3, "0.000"}, {0.0004, 3, "0.000"}, {102.004, 3, "102.004"}, {0.004, 4, "0.0040"},
        {3.14159, 1, "3.1"}, {-99.96, 1, "-100.0"}, {0.05, 1, "0.0"}, {0.15, 1, "0.2"},
        // beyond the 32-bit range after scaling: still rounded, digits exact
        {21474836.475, 2, "21474836.48"}, {12345678.9, 2, "12345678.90"},
        {-98765432.105, 2, "-98765432.10"}, {3000000000.5, 0, "3000000000"},
        {123456789012.3456, 4, "123456789012.3456"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Fixed(c.value, c.decimals), c.text) << c.value << " with " << c.decimals;
    }
}

TEST(FormatFixed, AcceptsNumericVariantsAndRejectsTheRest) {
    EXPECT_EQ(Fixed(vb::Variant(int16_t(5)), 2), "5.00");
    EXPECT_EQ(Fixed(vb::Variant(int32_t(-40)), 1), "-40.0");
    EXPECT_EQ(Fixed(vb::Variant(0.1f), 2), "0.10");
    EXPECT_EQ(Fixed(vb::Variant("12.345"), 1), "12.3");
    EXPECT_EQ(Fixed(vb::Variant(" -0.75"), 2), "-0.75");
    EXPECT_EQ(Fixed(vb::Variant(), 2), "0.00");   // Empty reads as 0
    EXPECT_EQ(Fixed(vb::Variant("abc"), 2), "<empty>");
    EXPECT_EQ(Fixed(vb::Variant::Null(), 2), "<empty>");
    EXPECT_EQ(Fixed(vb::Variant(std::numeric_limits<double>::infinity()), 2), "<empty>");
    EXPECT_EQ(Fixed(vb::Variant(std::nan("")), 0), "<empty>");
    // Too large even for 64 bits: the whole part as it is, the fraction rounded.
    EXPECT_EQ(Fixed(vb::Variant(1e17), 3), "100000000000000000.000");
}

TEST(FormatChainage, WholeKilometresPlusThreeDigitsOfMetres) {
    struct Case { double metres; const char* text; };
    const Case cases[] = {
        {1234, "1+234"}, {234, "0+234"}, {0, "0+000"}, {999.6, "1+000"}, {-500, "-0+500"},
        {-1234, "-1+234"}, {-0.4, "0+000"}, {50.5, "0+050"}, {51.5, "0+052"},
        {12345.678, "12+346"}, {7, "0+007"}, {-2000, "-2+000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vb::CStr(FormatChainage(c.metres)), c.text) << c.metres;
    }
    EXPECT_EQ(vb::CStr(FormatChainage(vb::Variant("1500"))), "1+500");
    // Kilometres too many for fixed digits keep their exponent and its point.
    EXPECT_EQ(vb::CStr(FormatChainage(vb::Variant(3.4e38f))), "3.39999995214436E+35+000");
    // A value that cannot be formatted fails to the caller as an invalid
    // argument; text that is no number already fails in the division.
    auto failure = [](const vb::Variant& v) {
        try {
            FormatChainage(v);
        } catch (const vb::VbError& e) {
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(failure(vb::Variant::Null()), 5);
    EXPECT_EQ(failure(vb::Variant("abc")), 13);
    EXPECT_EQ(vb::CStr(FormatChainage(vb::Variant())), "0+000");   // Empty reads as 0
}

TEST(AciColor, StandardPaletteAndOutOfRange) {
    auto rgb = [](int r, int g, int b) { return r + 256 * g + 65536 * b; };
    struct Case { int index; int colour; };
    const Case cases[] = {
        // out of range: black
        {0, 0}, {-1, 0}, {258, 0}, {-32768, 0}, {32767, 0},
        // the named colours
        {1, rgb(255, 0, 0)}, {2, rgb(255, 255, 0)}, {3, rgb(0, 255, 0)}, {4, rgb(0, 255, 255)},
        {5, rgb(0, 0, 255)}, {6, rgb(255, 0, 255)}, {7, rgb(255, 255, 255)},
        {8, rgb(128, 128, 128)}, {9, rgb(192, 192, 192)},
        // the hue wheel
        {10, rgb(255, 0, 0)}, {11, rgb(255, 127, 127)}, {12, rgb(204, 0, 0)},
        {13, rgb(204, 102, 102)}, {16, rgb(127, 0, 0)}, {18, rgb(76, 0, 0)},
        {20, rgb(255, 63, 0)}, {21, rgb(255, 159, 127)}, {30, rgb(255, 127, 0)},
        {40, rgb(255, 191, 0)}, {46, rgb(127, 95, 0)}, {50, rgb(255, 255, 0)},
        {70, rgb(127, 255, 0)}, {90, rgb(0, 255, 0)}, {110, rgb(0, 255, 127)},
        {130, rgb(0, 255, 255)}, {150, rgb(0, 127, 255)}, {170, rgb(0, 0, 255)},
        {190, rgb(127, 0, 255)}, {210, rgb(255, 0, 255)}, {230, rgb(255, 0, 127)},
        {240, rgb(255, 0, 63)}, {248, rgb(76, 0, 19)}, {249, rgb(76, 38, 47)},
        // greys and the whites at the top
        {250, rgb(51, 51, 51)}, {251, rgb(91, 91, 91)}, {252, rgb(132, 132, 132)},
        {253, rgb(173, 173, 173)}, {254, rgb(214, 214, 214)},
        {255, rgb(255, 255, 255)}, {256, rgb(255, 255, 255)}, {257, rgb(255, 255, 255)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AciColor(static_cast<int16_t>(c.index)), c.colour) << "index " << c.index;
    }
    // Every colour of the wheel has its top byte clear and is not black.
    for (int i = 10; i <= 249; ++i) {
        const int32_t c = AciColor(static_cast<int16_t>(i));
        EXPECT_EQ(c & 0xFF000000, 0) << i;
        EXPECT_NE(c, 0) << i;
    }
}

}  // namespace
