// The property bag: named, typed values written one after another into one
// byte array, and read back by name with a default for a missing name.
//
// Byte layout of Contents() (all integers little-endian):
//   magic      4 bytes  "SDPB"
//   version    2 bytes  1
//   count      4 bytes  number of entries
//   entries, each:
//     name length  4 bytes (bytes of UTF-8)  + name bytes
//     type word    2 bytes  (Variant type number; arrays: 0x2000 + element type)
//     payload      depends on the type:
//        Empty, Null: none
//        Integer, Boolean: 2 bytes;  Long, Single, Error: 4 bytes;
//        Double, Currency, Date: 8 bytes;  Byte: 1 byte
//        String: 4-byte length + UTF-8 bytes
//        Byte array: 4-byte lower bound, 4-byte count, the bytes
//   checksum   4 bytes  FNV-1a of everything before it
// SetContents() refuses (raises) any byte array that does not follow this
// layout exactly: wrong magic or version, a length running past the end, an
// unknown type word, trailing bytes or a bad checksum.  Nothing is allocated
// from an untrusted count before the bytes behind it have been checked.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/variant.h"

namespace vb {

class PropertyBag {
public:
    // Writes a value under a name.  When a default is given and the value
    // equals it, nothing is written (reading then gives the default back).
    // Only scalars, strings and Byte arrays can be stored: any other value
    // (objects, other arrays) raises error 13, and the bag is unchanged.
    void WriteProperty(std::string_view name, const Variant& value,
                       const Variant& defaultValue = Variant::Missing());
    // The value last written under the name (names compare without regard to
    // case), or the default when there is none.
    Variant ReadProperty(std::string_view name, const Variant& defaultValue = Variant()) const;
    bool Has(std::string_view name) const;

    std::vector<uint8_t> Contents() const;
    // Replaces the bag's values by those in the bytes; raises error 5
    // ("Invalid procedure call or argument") for bytes that are no bag, and
    // leaves the bag unchanged then.
    void SetContents(const std::vector<uint8_t>& bytes);

    size_t Count() const { return entries_.size(); }
    const std::string& NameAt(size_t i) const { return entries_[i].name; }

private:
    struct Entry {
        std::string name;
        Variant value;
    };
    std::vector<Entry> entries_;
};

}  // namespace vb
