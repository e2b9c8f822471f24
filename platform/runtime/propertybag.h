// The property bag: named, typed values written one after another into one
// byte array, and read back by name with a default for a missing name.
//
// Byte layout of Contents() (all integers little-endian):
//   magic      4 bytes  "SDPB"
//   version    2 bytes  3 (2 is read too: the same layout, with the
//                       checksum of version 2)
//   count      4 bytes  number of entries
//   entries, each:
//     name length  4 bytes (bytes of UTF-8)  + name bytes
//     type word    2 bytes  (Variant type number; arrays: 0x2000 + element type)
//     payload      depends on the type:
//        Empty, Null: none
//        Integer, Boolean: 2 bytes;  Long, Single, Error: 4 bytes;
//        Double, Currency, Date: 8 bytes;  Byte: 1 byte
//        String: 4-byte length + UTF-8 bytes
//        Object (type 9, only objects that can persist themselves):
//                4-byte length + UTF-8 class name, 4-byte length + the
//                object's own bytes
//        Byte array: 4-byte lower bound, 4-byte count, the bytes
//   Boolean payloads are 0 (False) or 0xFFFF (True); names are unique
//   without regard to case.
//   checksum   4 bytes  PropertyBagChecksum() of everything before it
//              (computed as the version in the bytes says)
// SetContents() refuses (raises) any byte array that does not follow this
// layout exactly: wrong magic or version, a length running past the end, an
// unknown type word, trailing bytes or a bad checksum.  Nothing is allocated
// from an untrusted count before the bytes behind it have been checked.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/runtime/variant.h"

namespace vb {

// An object that can store itself in a property bag (a picture, say): it
// gives a class name and its bytes, and a factory registered under the class
// name makes an equal object from those bytes again.
class Persistable {
public:
    virtual ~Persistable() = default;
    virtual std::string PersistClassName() const = 0;
    virtual std::vector<uint8_t> PersistBytes() const = 0;
};
// The factory raises (or returns null) for bytes it cannot read.
using PersistFactory = std::function<ObjectRef(const std::vector<uint8_t>& bytes)>;
void RegisterPersistableClass(const std::string& className, PersistFactory factory);

// The checksum that closes a bag's bytes (exposed so that tools which damage
// bags on purpose can make them pass the check and reach the layout checks).
uint32_t PropertyBagChecksum(const uint8_t* data, size_t n);

// A record of known names and types (a pipe record) read and written
// straight in the byte layout, without a bag in between.
//
// One entry of a bag's bytes, seen in place: payload points at the value's
// bytes as the layout above has them.
struct PropertyBagEntry {
    std::string_view name;
    uint16_t type = 0;
    const uint8_t* payload = nullptr;
};
// Views the entries of bytes that SetContents would check the same way (all
// but repeated names, which the caller must rule out itself), in order:
// false for bytes that are no bag or that hold more than `capacity` entries.
bool ViewPropertyBag(const std::vector<uint8_t>& bytes, PropertyBagEntry* entries, size_t capacity, size_t& count);
// Appends the bytes of a bag holding the values put in between (distinct
// names; count is how many were put): the same bytes as writing them into a
// PropertyBag and taking its Contents().
void BeginPropertyBag(std::vector<uint8_t>& out);
void PutBagString(std::vector<uint8_t>& out, std::string_view name, std::string_view value);
void PutBagLong(std::vector<uint8_t>& out, std::string_view name, int32_t value);
void PutBagInteger(std::vector<uint8_t>& out, std::string_view name, int16_t value);
void PutBagSingle(std::vector<uint8_t>& out, std::string_view name, float value);
void FinishPropertyBag(std::vector<uint8_t>& out, size_t count);

class PropertyBag {
public:
    // Writes a value under a name.  When a default is given and the value
    // equals it, nothing is written (reading then gives the default back).
    // Only scalars, strings, Byte arrays and objects that are Persistable
    // can be stored: any other value (other objects, other arrays) raises
    // error 13, and the bag is unchanged.
    void WriteProperty(std::string_view name, const Variant& value,
                       const Variant& defaultValue = Variant::Missing());
    // Writes a one-dimensional Byte array with the given lower bound under a
    // name, as WriteProperty does for such an array, without making a Variant.
    void WriteBytes(std::string_view name, const uint8_t* data, size_t size, int32_t lower = 0);
    // As WriteProperty and WriteBytes without a default, for a name that the
    // caller knows the bag does not hold yet (names it makes unique itself):
    // nothing is looked up, and the bag indexes its names only when it is
    // next read by name.  A name already held would be stored twice, and
    // such bytes are refused on loading.  Objects are not taken (error 13).
    void AppendNew(std::string_view name, const Variant& value);
    void AppendNewBytes(std::string_view name, const uint8_t* data, size_t size);
    // The value last written under the name (names compare without regard to
    // case), or the default when there is none.  A stored object comes back
    // as a new object made by its class's factory (error 13 when the class
    // is not registered or the factory refuses the bytes).
    Variant ReadProperty(std::string_view name, const Variant& defaultValue = Variant()) const;
    bool Has(std::string_view name) const;
    // What is stored under a name, for readers that want a Byte array
    // without copying it: kMissing, kBytes (data and size then show the
    // array's elements inside the bag, valid until the bag next changes)
    // or kOther (some other type).
    enum class Stored { kMissing, kBytes, kOther };
    Stored ViewBytes(std::string_view name, const uint8_t*& data, size_t& size) const;

    std::vector<uint8_t> Contents() const;
    // The same bytes as Contents(), handed over without a copy; the bag is
    // empty afterwards.
    std::vector<uint8_t> TakeContents();
    // Replaces the bag's values by those in the bytes; raises error 5
    // ("Invalid procedure call or argument") for bytes that are no bag, and
    // leaves the bag unchanged then.
    void SetContents(const std::vector<uint8_t>& bytes);
    // The same, taking the bytes over instead of copying them (they are
    // gone afterwards, also when refused for a repeated name).
    void SetContents(std::vector<uint8_t>&& bytes);

    size_t Count() const { return entries_.size(); }
    // Bytes that Contents() would give (less the checksum).
    size_t ByteSize() const { return buf_.size(); }
    // Makes room for about this many bytes and entries before a long run of
    // writes, so that the bag does not regrow on the way; a hint only.
    void Reserve(size_t bytes, size_t entries);
    std::string NameAt(size_t i) const;
    // The name and the value of the entry at a position (0 to Count() - 1),
    // in the order written or loaded: what ReadProperty gives for that name.
    std::string_view NameViewAt(size_t i) const { return NameView(entries_.at(i)); }
    Variant ValueAt(size_t i) const;

private:
    // The bag keeps its values in their byte form: buf_ holds the header
    // (with the count not yet filled in) and the entries exactly as
    // Contents() gives them, so writing appends and Contents() only adds the
    // count and the checksum.  entries_ locates each entry inside buf_.
    struct Entry {
        uint64_t nameAt = 0;    // offset of the name's bytes
        uint64_t end = 0;       // offset just past the payload
        uint32_t nameLen = 0;
        uint32_t hash = 0;      // HashName of the name
        uint16_t type = 0;      // type word
        uint64_t PayloadAt() const { return nameAt + nameLen + 2; }
    };
    // Index by name without regard to case.  Small bags (up to
    // kLinearLimit entries: a pipe record's bag) are searched by scanning
    // the entries' hashes from the one after the last found;
    // larger ones use open addressing over the entries, each slot holding
    // the name's hash and the entry's position + 1 (0 for a free slot), at
    // most half the slots used.
    static constexpr size_t kLinearLimit = 32;
    struct Slot {
        uint32_t hash = 0;
        uint32_t entry = 0;
    };
    static uint32_t HashName(std::string_view name);
    static bool SameName(std::string_view a, std::string_view b);
    std::string_view NameView(const Entry& e) const;
    // Position of the entry with the name, or -1.
    int64_t Lookup(std::string_view name, uint32_t hash) const;
    // Indexes the names appended by AppendNew (their hashes too).
    void IndexAppended() const;
    // Adds entry i to the index; false when its name is already there.
    bool IndexEntry(size_t i) const;
    void RebuildIndex();
    // Grows the slot table to room for `wanted` entries, re-placing the
    // first `indexed` entries.
    void GrowSlots(size_t indexed, size_t wanted) const;
    // Appends a new entry: `put` writes its bytes at the end of the buffer;
    // on any failure the buffer and the entry list are as they were.
    // `indexed`: the name was looked up and goes into the index now;
    // otherwise it waits for IndexAppended.
    template <class Put>
    void AppendEntry(std::string_view name, uint32_t hash, uint16_t type, Put&& put, bool indexed = true);
    // Puts the encoded entry in place of entry i (or drops entry i when
    // encoded is empty), moving the entries behind it.
    void ReplaceEntry(size_t i, const std::vector<uint8_t>& encoded, uint16_t type);
    void StartBuffer();
    // SetContents: `take` (the same vector as bytes, or null) is taken over
    // once the bytes have been checked.
    void Load(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* take);
    void Clear();
    // The index (entries' hashes, slots_, bloom_) is brought up to date on
    // reading after AppendNew, hence mutable.
    std::vector<uint8_t> buf_;
    mutable std::vector<Entry> entries_;
    mutable std::vector<Slot> slots_;
    mutable size_t indexed_ = 0;   // entries indexed; the ones behind come from AppendNew
    // Two bits per entry's hash: a name whose bits are not both set is in
    // no entry, so a small bag answers most names it lacks (every new name
    // written) without scanning its entries.
    mutable std::array<uint64_t, 4> bloom_{};
    void AddToBloom(uint32_t hash) const {
        bloom_[(hash >> 6) & 3] |= uint64_t(1) << (hash & 63);
        bloom_[(hash >> 14) & 3] |= uint64_t(1) << ((hash >> 8) & 63);
    }
    bool MayHold(uint32_t hash) const {
        return (bloom_[(hash >> 6) & 3] >> (hash & 63) & 1) && (bloom_[(hash >> 14) & 3] >> ((hash >> 8) & 63) & 1);
    }
    // Position of the entry last found in a large bag, where the next search
    // starts looking (relaxed atomic: reading a bag from several threads at
    // once stays safe).
    struct Hint {
        mutable std::atomic<size_t> at{0};
        Hint() = default;
        Hint(const Hint&) {}
        Hint& operator=(const Hint&) { return *this; }
    };
    Hint hint_;
};

}  // namespace vb
