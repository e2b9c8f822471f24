// Texts of the .xls format: UTF-16 code units (two bytes a character, or
// one byte holding the low half when the high halves are all zero) as the
// UTF-8 the sheets hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sheet {

// Appends UTF-16 code units as UTF-8; a surrogate without its partner
// becomes U+FFFD.
void AppendUtf16(std::string& out, const uint16_t* units, size_t n);

}  // namespace sheet
