#include "profile/format.h"

#include <cmath>
#include <string>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace {

// 2^63: the first magnitude a signed 64-bit integer cannot hold.
constexpr double kInt64Limit = 9223372036854775808.0;

// The whole part of a number in the sign-blank form, without the blank.
std::string WholeText(double whole) {
    if (std::fabs(whole) < kInt64Limit) {
        return std::to_string(static_cast<int64_t>(whole));
    }
    return vb::NumberToText(whole);
}

}  // namespace

vb::Variant FormatFixed(const vb::Variant& Value, int16_t Decimals) {
    double x = 0;
    try {
        x = vb::CDbl(Value);
    } catch (const vb::VbError&) {
        return vb::Variant();
    }
    if (!std::isfinite(x)) return vb::Variant();

    // No caller asks for fewer than 0 decimals; treat such a request as 0.
    const int decimals = Decimals < 0 ? 0 : Decimals;
    const double scale = std::pow(10.0, decimals);

    // Round the value to the requested decimals.  The product is rounded as a
    // 64-bit integer; only when even that cannot hold it is the value taken as
    // it is, and only its fraction is rounded below.
    double a = x;
    const double product = std::nearbyint(x * scale);   // half to even
    if (std::fabs(product) < kInt64Limit) a = product / scale;

    double whole = std::trunc(a);
    std::string fracText;
    if (decimals > 0) {
        // The fraction is rounded once more so that the representation error of
        // the subtraction does not show (1234.57 gives 57, not 56.99...).  At
        // most 15 significant digits are meaningful; further places are zeros.
        const int digits = decimals > 15 ? 15 : decimals;
        const double digitScale = std::pow(10.0, digits);
        double units = std::nearbyint(std::fabs(a - whole) * digitScale);
        if (units >= digitScale) {
            // Only an unrounded value can get here: carry into the whole part.
            units = 0;
            whole += (a < 0) ? -1 : 1;
        }
        std::string d = std::to_string(static_cast<int64_t>(units));
        fracText = "." + std::string(digits - d.size(), '0') + d +
                   std::string(decimals - digits, '0');
        if (units > 0 && x < 0 && whole == 0) {
            // A value strictly between -1 and 0 keeps its sign: -0.25.
            return vb::Variant("-0" + fracText);
        }
    }
    if (whole == 0) whole = 0;   // no minus zero
    return vb::Variant(WholeText(whole) + fracText);
}

vb::Variant FormatChainage(const vb::Variant& Value) {
    // A Null divides to Null, which FormatFixed gives back as Empty: the point
    // is then missing and the call fails as an invalid argument (error 5).
    const vb::Variant kilometres =
        Value.IsNull() ? vb::Variant::Null() : vb::Variant(vb::CDbl(Value) / 1000.0);
    const std::string t = vb::CStr(FormatFixed(kilometres, 3));
    // The point before the three decimals is the last one: a distance too
    // large for fixed digits has its whole kilometres written with an
    // exponent ("3.40282346638529E+35"), whose own point stays.
    const size_t point = t.rfind('.');
    if (point == std::string::npos) vb::RaiseError(vb::errInvalidProcedureCall);
    return vb::Variant(t.substr(0, point) + "+" + t.substr(point + 1, 3));
}

int32_t AciColor(int16_t Index) {
    auto pack = [](int r, int g, int b) { return static_cast<int32_t>(r + 256 * g + 65536 * b); };
    if (Index < 1 || Index > 257) return 0;
    switch (Index) {
        case 1: return pack(255, 0, 0);
        case 2: return pack(255, 255, 0);
        case 3: return pack(0, 255, 0);
        case 4: return pack(0, 255, 255);
        case 5: return pack(0, 0, 255);
        case 6: return pack(255, 0, 255);
        case 7: return pack(255, 255, 255);
        case 8: return pack(128, 128, 128);
        case 9: return pack(192, 192, 192);
        case 250: return pack(51, 51, 51);
        case 251: return pack(91, 91, 91);
        case 252: return pack(132, 132, 132);
        case 253: return pack(173, 173, 173);
        case 254: return pack(214, 214, 214);
        default: break;
    }
    if (Index >= 255) return pack(255, 255, 255);

    // 10 to 249: 24 hues 15 degrees apart, each in five values, full colour
    // (even numbers) or half-saturated (odd numbers).
    static const int kValue[5] = {255, 204, 153, 127, 76};
    const int hueStep = (Index - 10) / 10;
    const int k = Index % 10;
    const int v = kValue[k / 2];
    const int low = (k % 2 == 0) ? 0 : v / 2;
    const int hue = 15 * hueStep;
    const int sector = hue / 60;
    const double f = (hue % 60) / 60.0;
    const int rising = low + static_cast<int>((v - low) * f);
    const int falling = low + static_cast<int>((v - low) * (1.0 - f));
    switch (sector) {
        case 0: return pack(v, rising, low);
        case 1: return pack(falling, v, low);
        case 2: return pack(low, v, rising);
        case 3: return pack(low, falling, v);
        case 4: return pack(rising, low, v);
        default: return pack(v, low, falling);
    }
}
