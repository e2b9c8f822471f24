// How the profile, the pipe grids and the exchange code show numbers, chainages
// and colours.  Pure functions: no state, no window system.
#pragma once

#include <cstdint>

#include "platform/runtime/variant.h"

// A number as text with exactly `Decimals` digits after the point ("12.00",
// "-0.25", "0.000"; with 0 decimals no point at all).  Rounds to the nearest
// value, an exact half going to the even neighbour.  `Value` may be any number
// or a text that reads as a number; anything else (a Null, a text that is no
// number, a value that is not finite) gives an Empty variant, which shows as
// empty text.  Never a minus zero: a negative value that rounds to zero shows
// without a sign.
vb::Variant FormatFixed(const vb::Variant& Value, int16_t Decimals);

// Metres as a chainage: whole kilometres, "+", three digits of metres, the
// metres rounded as FormatFixed rounds ("1+234", "0+000", "-0+500").
// Raises error 5 when the value cannot be formatted (FormatFixed gives Empty).
vb::Variant FormatChainage(const vb::Variant& Value);

// An AutoCAD Color Index number (1 to 257) as a screen colour, packed as
// red + 256 * green + 65536 * blue.  Anything outside 1 to 257 is black.
int32_t AciColor(int16_t Index);
