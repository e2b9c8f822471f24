#include "platform/runtime/propertybag.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace vb {

namespace {

constexpr uint16_t kVersion = 3;
constexpr uint16_t kOldestVersion = 2;   // same entries, another checksum
constexpr uint16_t kByteArrayType = vbArray | vbByte;

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<std::string, PersistFactory>& Registry() {
    static std::unordered_map<std::string, PersistFactory> r;
    return r;
}

bool Storable(const Variant& v) {
    switch (static_cast<int>(v.Type())) {
        case vbEmpty: case vbNull: case vbInteger: case vbLong: case vbSingle: case vbDouble:
        case vbCurrency: case vbDate: case vbString: case vbError: case vbBoolean: case vbByte:
            return true;
        case kByteArrayType:
            return v.Dimensions() == 1;
        default:
            return false;
    }
}

}  // namespace

void RegisterPersistableClass(const std::string& className, PersistFactory factory) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry()[className] = std::move(factory);
}

namespace {

inline unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

uint32_t PropertyBag::HashName(std::string_view name) {
    // FNV-1a over the lower-case name; ASCII names (the usual case) are
    // lowered byte by byte without a copy.
    uint32_t h = 2166136261u;
    for (unsigned char c : name) {
        if (c >= 0x80) {
            h = 2166136261u;
            for (unsigned char d : LCase(name)) h = (h ^ d) * 16777619u;
            return h;
        }
        h = (h ^ LowerAscii(c)) * 16777619u;
    }
    return h;
}

bool PropertyBag::SameName(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) >= 0x80) return LCase(a) == LCase(b);
        if (LowerAscii(x) != LowerAscii(y)) return false;
    }
    if (a.size() == b.size()) return true;
    // Different lengths: equal only when the rest of the longer one is
    // non-ASCII text whose lower case happens to match (decided by LCase).
    const std::string_view rest = a.size() > b.size() ? a.substr(n) : b.substr(n);
    for (unsigned char c : rest)
        if (c >= 0x80) return LCase(a) == LCase(b);
    return false;
}

std::string_view PropertyBag::NameView(const Entry& e) const {
    return std::string_view(reinterpret_cast<const char*>(buf_.data() + e.nameAt), e.nameLen);
}

std::string PropertyBag::NameAt(size_t i) const { return std::string(NameView(entries_.at(i))); }

void PropertyBag::IndexAppended() const {
    for (size_t i = indexed_; i < entries_.size(); ++i) entries_[i].hash = HashName(NameView(entries_[i]));
    // A name appended twice stays stored twice; the first is found.
    for (size_t i = indexed_; i < entries_.size(); ++i) IndexEntry(i);
    indexed_ = entries_.size();
}

int64_t PropertyBag::Lookup(std::string_view name, uint32_t hash) const {
    if (indexed_ < entries_.size()) IndexAppended();
    if (slots_.empty()) {
        if (!MayHold(hash)) return -1;
        // Scanned from the entry after the last one found: values read in the
        // order they were written are each found at the first try.
        const size_t n = entries_.size();
        const size_t start = n == 0 ? 0 : (hint_.at.load(std::memory_order_relaxed) + 1) % n;
        for (size_t k = 0, i = start; k < n; ++k, i = i + 1 == n ? 0 : i + 1) {
            if (entries_[i].hash == hash && SameName(NameView(entries_[i]), name)) {
                hint_.at.store(i, std::memory_order_relaxed);
                return static_cast<int64_t>(i);
            }
        }
        return -1;
    }
    // Values are mostly read in about the order in which they were written,
    // so the entries just around the last one found are tried first: they
    // are in cache, while a probe of a large slot table is not.
    const size_t near = hint_.at.load(std::memory_order_relaxed);
    const size_t from = near > 4 ? near - 4 : 0, to = std::min(entries_.size(), near + 12);
    for (size_t i = from; i < to; ++i) {
        if (entries_[i].hash == hash && SameName(NameView(entries_[i]), name)) {
            hint_.at.store(i, std::memory_order_relaxed);
            return static_cast<int64_t>(i);
        }
    }
    size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.entry == 0) return -1;
        if (s.hash == hash && SameName(NameView(entries_[s.entry - 1]), name)) {
            hint_.at.store(s.entry - 1, std::memory_order_relaxed);
            return static_cast<int64_t>(s.entry - 1);
        }
    }
}

bool PropertyBag::IndexEntry(size_t index) const {
    const Entry& added = entries_[index];
    // The bloom bits hold the entries before this one.
    const bool maybeHeld = MayHold(added.hash);
    AddToBloom(added.hash);
    if (slots_.empty()) {
        // Small bag: the hashes are scanned, nothing to index yet.
        if (entries_.size() <= kLinearLimit) {
            if (!maybeHeld) return true;
            for (size_t i = 0; i < index; ++i)
                if (entries_[i].hash == added.hash && SameName(NameView(entries_[i]), NameView(added))) return false;
            return true;
        }
    }
    // Re-places the entries before this one (all of them when the index is
    // built for the first time) in a table with room for all entries.
    if (slots_.empty() || (index + 1) * 2 > slots_.size()) GrowSlots(index, std::max(index + 1, entries_.size()));
    size_t mask = slots_.size() - 1;
    size_t i = added.hash & mask;
    for (; slots_[i].entry != 0; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.hash == added.hash && SameName(NameView(entries_[s.entry - 1]), NameView(added))) return false;
    }
    slots_[i] = Slot{added.hash, static_cast<uint32_t>(index + 1)};
    return true;
}

void PropertyBag::GrowSlots(size_t indexed, size_t wanted) const {
    size_t size = 64;
    while (size < wanted * 2) size *= 2;
    if (size <= slots_.size()) return;
    std::vector<Slot> bigger(size);
    const size_t mask = size - 1;
    for (size_t k = 0; k < indexed; ++k) {
        size_t i = entries_[k].hash & mask;
        while (bigger[i].entry != 0) i = (i + 1) & mask;
        bigger[i] = Slot{entries_[k].hash, static_cast<uint32_t>(k + 1)};
    }
    slots_.swap(bigger);
}

void PropertyBag::RebuildIndex() {
    slots_.clear();
    bloom_.fill(0);
    indexed_ = 0;
    IndexAppended();
}

void PropertyBag::Clear() {
    buf_.clear();
    entries_.clear();
    indexed_ = 0;
    slots_.clear();
    bloom_.fill(0);
}

namespace {

constexpr size_t kHeaderSize = 4 + 2 + 4;

void PutHeader(std::vector<uint8_t>& out) {
    const uint8_t header[kHeaderSize] = {'S', 'D', 'P', 'B', kVersion & 0xFF, kVersion >> 8, 0, 0, 0, 0};
    out.insert(out.end(), header, header + kHeaderSize);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    out.insert(out.end(), b, b + 2);
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                          static_cast<uint8_t>(v >> 24)};
    out.insert(out.end(), b, b + 4);
}

void PutU64(std::vector<uint8_t>& out, uint64_t v) {
    uint8_t b[8];
    for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
    out.insert(out.end(), b, b + 8);
}

void PutRaw(std::vector<uint8_t>& out, const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
}

void PutText(std::vector<uint8_t>& out, std::string_view s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    PutRaw(out, s.data(), s.size());
}

// Appends one entry (name, type word, payload) in the byte layout.  A
// Persistable object is passed as its class name and bytes.
void PutEntry(std::vector<uint8_t>& out, std::string_view name, const Variant& v, const std::string* objectClass,
              const std::vector<uint8_t>* objectBytes) {
    PutText(out, name);
    if (objectClass) {
        PutU16(out, vbObject);
        PutText(out, *objectClass);
        PutU32(out, static_cast<uint32_t>(objectBytes->size()));
        PutRaw(out, objectBytes->data(), objectBytes->size());
        return;
    }
    PutU16(out, static_cast<uint16_t>(v.Type()));
    switch (v.Type()) {
        case vbEmpty: case vbNull: break;
        case vbInteger: PutU16(out, static_cast<uint16_t>(v.RawInteger())); break;
        case vbBoolean: PutU16(out, v.RawBoolean() ? 0xFFFF : 0); break;
        case vbLong: case vbError: PutU32(out, static_cast<uint32_t>(v.RawLong())); break;
        case vbSingle: {
            uint32_t bits;
            float f = v.RawSingle();
            std::memcpy(&bits, &f, 4);
            PutU32(out, bits);
            break;
        }
        case vbDouble: case vbDate: {
            uint64_t bits;
            double d = v.RawDouble();
            std::memcpy(&bits, &d, 8);
            PutU64(out, bits);
            break;
        }
        case vbCurrency: PutU64(out, static_cast<uint64_t>(v.RawCurrency())); break;
        case vbByte: out.push_back(v.RawByte()); break;
        case vbString: PutText(out, v.RawString()); break;
        default: {  // a one-dimensional Byte array (checked by the caller)
            const ArrayData& a = v.Array();
            PutU32(out, static_cast<uint32_t>(a.lower[0]));
            PutU32(out, static_cast<uint32_t>(a.bytes.size()));
            PutRaw(out, a.bytes.data(), a.bytes.size());
            break;
        }
    }
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t GetU64(const uint8_t* p) {
    return static_cast<uint64_t>(GetU32(p)) | (static_cast<uint64_t>(GetU32(p + 4)) << 32);
}

}  // namespace

void PropertyBag::StartBuffer() {
    // Room for a record-sized bag without regrowing.
    buf_.reserve(std::max<size_t>(buf_.capacity(), 512));
    entries_.reserve(std::max<size_t>(entries_.capacity(), 32));
    PutHeader(buf_);
}

void PropertyBag::Reserve(size_t bytes, size_t entries) {
    // Only a hint: a request that cannot be met changes nothing.
    try {
        buf_.reserve(std::max(buf_.capacity(), std::min<size_t>(bytes, size_t(1) << 32)));
        entries = std::min<size_t>(entries, size_t(1) << 28);
        entries_.reserve(std::max(entries_.capacity(), entries));
        // The slot table sized for them now, instead of rehashed at every doubling.
        // (Not while names appended by AppendNew wait: such a bag may never
        // be read by name.)
        if (entries > kLinearLimit && indexed_ == entries_.size()) GrowSlots(entries_.size(), entries);
    } catch (const std::bad_alloc&) {
    }
}

void PropertyBag::ReplaceEntry(size_t index, const std::vector<uint8_t>& encoded, uint16_t type) {
    const Entry old = entries_[index];
    const uint64_t start = old.nameAt - 4;
    const auto first = buf_.begin() + static_cast<std::ptrdiff_t>(start);
    const auto last = buf_.begin() + static_cast<std::ptrdiff_t>(old.end);
    if (encoded.empty()) {
        buf_.erase(first, last);
        const uint64_t removed = old.end - start;
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
        for (size_t k = index; k < entries_.size(); ++k) {
            entries_[k].nameAt -= removed;
            entries_[k].end -= removed;
        }
        RebuildIndex();
        return;
    }
    // Splice the new bytes in: keep what is behind the old entry, then put it
    // back after the new one.
    std::vector<uint8_t> tail(last, buf_.end());
    buf_.resize(start);
    buf_.insert(buf_.end(), encoded.begin(), encoded.end());
    buf_.insert(buf_.end(), tail.begin(), tail.end());
    const uint32_t nameLen = GetU32(encoded.data());
    Entry& e = entries_[index];
    e.nameAt = start + 4;
    e.nameLen = nameLen;
    e.end = start + encoded.size();
    e.type = type;
    const int64_t delta = static_cast<int64_t>(e.end) - static_cast<int64_t>(old.end);
    for (size_t k = index + 1; k < entries_.size(); ++k) {
        entries_[k].nameAt = static_cast<uint64_t>(static_cast<int64_t>(entries_[k].nameAt) + delta);
        entries_[k].end = static_cast<uint64_t>(static_cast<int64_t>(entries_[k].end) + delta);
    }
    // The name compares equal to the old one, so its hash and slot stay.
}

void PropertyBag::WriteProperty(std::string_view name, const Variant& value, const Variant& defaultValue) {
    std::string objectClass;
    std::vector<uint8_t> objectBytes;
    bool isObject = false;
    if (value.Type() == vbObject) {
        const ObjectRef& o = value.RawObject();
        auto* p = o ? dynamic_cast<const Persistable*>(o.get()) : nullptr;
        if (!p) RaiseError(errTypeMismatch);
        isObject = true;
        objectClass = p->PersistClassName();
        objectBytes = p->PersistBytes();
    } else if (!Storable(value)) {
        RaiseError(errTypeMismatch);
    }
    const uint16_t type = isObject ? static_cast<uint16_t>(vbObject) : static_cast<uint16_t>(value.Type());
    const uint32_t hash = HashName(name);
    const int64_t at = Lookup(name, hash);
    const bool isDefault = !defaultValue.IsMissing() && !isObject && value == defaultValue;
    if (isDefault) {
        // Reading gives the default back; drop any older value of the name.
        if (at >= 0) ReplaceEntry(static_cast<size_t>(at), {}, 0);
        return;
    }
    if (at >= 0) {
        // Replaced in place: the entry keeps its position, with the new spelling.
        std::vector<uint8_t> encoded;
        PutEntry(encoded, name, value, isObject ? &objectClass : nullptr, &objectBytes);
        ReplaceEntry(static_cast<size_t>(at), encoded, type);
        return;
    }
    AppendEntry(name, hash, type,
                [&] { PutEntry(buf_, name, value, isObject ? &objectClass : nullptr, &objectBytes); });
}

void PropertyBag::WriteBytes(std::string_view name, const uint8_t* data, size_t size, int32_t lower) {
    const uint32_t hash = HashName(name);
    const int64_t at = Lookup(name, hash);
    if (at >= 0) {
        WriteProperty(name, Variant::ByteArray(std::vector<uint8_t>(data, data + size), lower));
        return;
    }
    AppendEntry(name, hash, kByteArrayType, [&] {
        PutText(buf_, name);
        PutU16(buf_, kByteArrayType);
        PutU32(buf_, static_cast<uint32_t>(lower));
        PutU32(buf_, static_cast<uint32_t>(size));
        PutRaw(buf_, data, size);
    });
}

void PropertyBag::AppendNew(std::string_view name, const Variant& value) {
    if (value.Type() == vbObject || !Storable(value)) RaiseError(errTypeMismatch);
    AppendEntry(name, 0, static_cast<uint16_t>(value.Type()), [&] { PutEntry(buf_, name, value, nullptr, nullptr); },
                false);
}

void PropertyBag::AppendNewBytes(std::string_view name, const uint8_t* data, size_t size) {
    AppendEntry(name, 0, kByteArrayType,
                [&] {
                    PutText(buf_, name);
                    PutU16(buf_, kByteArrayType);
                    PutU32(buf_, 0);
                    PutU32(buf_, static_cast<uint32_t>(size));
                    PutRaw(buf_, data, size);
                },
                false);
}

template <class Put>
void PropertyBag::AppendEntry(std::string_view name, uint32_t hash, uint16_t type, Put&& put, bool indexed) {
    const size_t startAt = buf_.size();
    try {
        if (buf_.empty()) StartBuffer();
        const size_t entryAt = buf_.size();
        put();
        Entry e;
        e.nameAt = entryAt + 4;
        e.nameLen = static_cast<uint32_t>(name.size());
        e.end = buf_.size();
        e.hash = hash;
        e.type = type;
        entries_.push_back(e);
        if (!indexed) return;
        // The name was looked up before; a small bag has nothing to index.
        if (!slots_.empty() || entries_.size() > kLinearLimit) IndexEntry(entries_.size() - 1);
        else AddToBloom(hash);
        indexed_ = entries_.size();
    } catch (...) {
        buf_.resize(startAt);
        if (entries_.size() > 0 && entries_.back().end > startAt) entries_.pop_back();
        throw;
    }
}

Variant PropertyBag::ReadProperty(std::string_view name, const Variant& defaultValue) const {
    const int64_t at = Lookup(name, HashName(name));
    if (at < 0) return defaultValue;
    return ValueAt(static_cast<size_t>(at));
}

Variant PropertyBag::ValueAt(size_t i) const {
    const Entry& e = entries_.at(i);
    const uint8_t* p = buf_.data() + e.PayloadAt();
    switch (e.type) {
        case vbEmpty: return Variant();
        case vbNull: return Variant::Null();
        case vbInteger: return Variant(static_cast<int16_t>(p[0] | (p[1] << 8)));
        case vbBoolean: return Variant((p[0] | p[1]) != 0);
        case vbLong: return Variant(static_cast<int32_t>(GetU32(p)));
        case vbError: return Variant::Error(static_cast<int32_t>(GetU32(p)));
        case vbSingle: {
            uint32_t x = GetU32(p);
            float f;
            std::memcpy(&f, &x, 4);
            return Variant(f);
        }
        case vbDouble: case vbDate: {
            uint64_t x = GetU64(p);
            double d;
            std::memcpy(&d, &x, 8);
            return e.type == vbDouble ? Variant(d) : Variant::Date(d);
        }
        case vbCurrency: return Variant::Currency(static_cast<int64_t>(GetU64(p)));
        case vbByte: return Variant(p[0]);
        case vbString: return Variant(std::string(reinterpret_cast<const char*>(p + 4), GetU32(p)));
        case kByteArrayType:
            return Variant::ByteArray(std::vector<uint8_t>(p + 8, p + 8 + GetU32(p + 4)),
                                      static_cast<int32_t>(GetU32(p)));
        default: break;  // vbObject
    }
    const uint32_t classLen = GetU32(p);
    const std::string objectClass(reinterpret_cast<const char*>(p + 4), classLen);
    const uint8_t* bytes = p + 4 + classLen;
    const std::vector<uint8_t> objectBytes(bytes + 4, bytes + 4 + GetU32(bytes));
    PersistFactory factory;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto it = Registry().find(objectClass);
        if (it != Registry().end()) factory = it->second;
    }
    if (!factory) RaiseError(errTypeMismatch);
    ObjectRef o = factory(objectBytes);
    if (!o) RaiseError(errTypeMismatch);
    return Variant(o);
}

bool PropertyBag::Has(std::string_view name) const { return Lookup(name, HashName(name)) >= 0; }

PropertyBag::Stored PropertyBag::ViewBytes(std::string_view name, const uint8_t*& data, size_t& size) const {
    const int64_t at = Lookup(name, HashName(name));
    if (at < 0) return Stored::kMissing;
    const Entry& e = entries_[static_cast<size_t>(at)];
    if (e.type != kByteArrayType) return Stored::kOther;
    const uint8_t* p = buf_.data() + e.PayloadAt();
    size = GetU32(p + 4);
    data = p + 8;
    return Stored::kBytes;
}

namespace {

// Completes header and entries into a bag's bytes: the entry count into the
// header, the checksum behind everything.
void FinishBytes(std::vector<uint8_t>& out, size_t count) {
    for (int i = 0; i < 4; ++i) out[6 + static_cast<size_t>(i)] = static_cast<uint8_t>(count >> (8 * i));
    PutU32(out, PropertyBagChecksum(out.data(), out.size()));
}

}  // namespace

std::vector<uint8_t> PropertyBag::Contents() const {
    std::vector<uint8_t> out;
    out.reserve(std::max(buf_.size(), kHeaderSize) + 4);
    if (buf_.empty()) PutHeader(out);
    else out.insert(out.end(), buf_.begin(), buf_.end());
    FinishBytes(out, entries_.size());
    return out;
}

std::vector<uint8_t> PropertyBag::TakeContents() {
    if (buf_.empty()) return Contents();
    FinishBytes(buf_, entries_.size());
    std::vector<uint8_t> out = std::move(buf_);
    Clear();
    return out;
}

void PropertyBag::SetContents(const std::vector<uint8_t>& bytes) { Load(bytes, nullptr); }

void PropertyBag::SetContents(std::vector<uint8_t>&& bytes) { Load(bytes, &bytes); }

namespace {

// Checks a bag's bytes (magic, version, checksum, every entry's shape, no
// trailing bytes; not the names' uniqueness) and calls
// onEntry(nameAt, nameLen, type, end) for each entry in order, with offsets
// into the bytes; onEntry returns false to stop.  reserve(count) comes first.
// False for bytes that are no bag (or when onEntry stopped).
template <class Reserve, class OnEntry>
bool ParseBag(const uint8_t* b, size_t size, Reserve&& reserve, OnEntry&& onEntry) {
    constexpr size_t kChecksum = 4;
    if (size < kHeaderSize + kChecksum) return false;
    if (std::memcmp(b, "SDPB", 4) != 0) return false;
    const size_t bodyEnd = size - kChecksum;
    if (GetU32(b + bodyEnd) != PropertyBagChecksum(b, bodyEnd)) return false;
    const uint16_t version = static_cast<uint16_t>(b[4] | (b[5] << 8));
    const uint32_t count = GetU32(b + 6);
    if (version < kOldestVersion || version > kVersion) return false;
    // Every entry takes at least 6 bytes (name length and type word), so a
    // count that the remaining bytes cannot hold is refused before anything
    // is allocated for it.
    if (count > (bodyEnd - kHeaderSize) / 6) return false;
    reserve(count, bodyEnd - kHeaderSize);
    size_t pos = kHeaderSize;
    auto left = [&] { return bodyEnd - pos; };
    // Skips a 4-byte length and that many bytes.
    auto skipText = [&]() -> bool {
        if (left() < 4) return false;
        const uint32_t len = GetU32(b + pos);
        pos += 4;
        if (len > left()) return false;
        pos += len;
        return true;
    };
    for (uint32_t n = 0; n < count; ++n) {
        if (left() < 4) return false;
        const uint32_t nameLen = GetU32(b + pos);
        const size_t nameAt = pos + 4;
        if (!skipText() || left() < 2) return false;
        const uint16_t type = static_cast<uint16_t>(b[pos] | (b[pos + 1] << 8));
        pos += 2;
        bool ok = true;
        switch (type) {
            case vbEmpty: case vbNull: break;
            case vbInteger:
                ok = left() >= 2;
                pos += ok ? 2 : 0;
                break;
            case vbBoolean: {
                ok = left() >= 2;
                if (ok) {
                    const uint16_t x = static_cast<uint16_t>(b[pos] | (b[pos + 1] << 8));
                    ok = x == 0 || x == 0xFFFF;
                    pos += 2;
                }
                break;
            }
            case vbLong: case vbError: case vbSingle:
                ok = left() >= 4;
                pos += ok ? 4 : 0;
                break;
            case vbDouble: case vbDate: case vbCurrency:
                ok = left() >= 8;
                pos += ok ? 8 : 0;
                break;
            case vbByte:
                ok = left() >= 1;
                pos += ok ? 1 : 0;
                break;
            case vbString: ok = skipText(); break;
            case vbObject: ok = skipText() && skipText(); break;
            case kByteArrayType: {
                ok = left() >= 8;
                if (!ok) break;
                const uint32_t lower = GetU32(b + pos);
                pos += 4;
                const uint32_t len = GetU32(b + pos);
                ok = skipText();
                if (ok && static_cast<int64_t>(static_cast<int32_t>(lower)) + len - 1 > INT32_MAX) ok = false;
                break;
            }
            default: ok = false; break;
        }
        if (!ok || !onEntry(nameAt, nameLen, type, pos)) return false;
    }
    return pos == bodyEnd;
}

}  // namespace

bool ViewPropertyBag(const std::vector<uint8_t>& bytes, PropertyBagEntry* entries, size_t capacity, size_t& count) {
    count = 0;
    const uint8_t* b = bytes.data();
    return ParseBag(
        b, bytes.size(), [](size_t, size_t) {},
        [&](size_t nameAt, uint32_t nameLen, uint16_t type, size_t) {
            if (count == capacity) return false;
            const size_t payloadAt = nameAt + nameLen + 2;
            entries[count++] = PropertyBagEntry{
                std::string_view(reinterpret_cast<const char*>(b + nameAt), nameLen), type, b + payloadAt};
            return true;
        });
}

void BeginPropertyBag(std::vector<uint8_t>& out) { PutHeader(out); }

void PutBagString(std::vector<uint8_t>& out, std::string_view name, std::string_view value) {
    PutText(out, name);
    PutU16(out, vbString);
    PutText(out, value);
}

void PutBagLong(std::vector<uint8_t>& out, std::string_view name, int32_t value) {
    PutText(out, name);
    PutU16(out, vbLong);
    PutU32(out, static_cast<uint32_t>(value));
}

void PutBagInteger(std::vector<uint8_t>& out, std::string_view name, int16_t value) {
    PutText(out, name);
    PutU16(out, vbInteger);
    PutU16(out, static_cast<uint16_t>(value));
}

void PutBagSingle(std::vector<uint8_t>& out, std::string_view name, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutText(out, name);
    PutU16(out, vbSingle);
    PutU32(out, bits);
}

void FinishPropertyBag(std::vector<uint8_t>& out, size_t count) { FinishBytes(out, count); }

void PropertyBag::Load(const std::vector<uint8_t>& bytes, std::vector<uint8_t>* take) {
    const uint8_t* b = bytes.data();
    PropertyBag fresh;
    const bool ok = ParseBag(
        b, bytes.size(),
        [&](uint32_t count, size_t body) {
            // Entries here average far more than 16 bytes; a count beyond
            // that share of the bytes grows the table only with what is
            // really read.
            fresh.entries_.reserve(std::min<size_t>(count, body / 16 + 16));
        },
        [&](size_t nameAt, uint32_t nameLen, uint16_t type, size_t end) {
            Entry e;
            e.nameAt = nameAt;
            e.nameLen = nameLen;
            e.type = type;
            e.end = end;
            e.hash = HashName(std::string_view(reinterpret_cast<const char*>(b + nameAt), nameLen));
            fresh.entries_.push_back(e);
            return true;
        });
    if (!ok) RaiseError(errInvalidProcedureCall);
    const size_t bodyEnd = bytes.size() - 4;
    // IndexEntry reads the names from buf_, so duplicates are found once it
    // holds the bytes.
    if (take) {
        fresh.buf_ = std::move(*take);
        fresh.buf_.resize(bodyEnd);
    } else {
        fresh.buf_.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(bodyEnd));
    }
    for (size_t i = 0; i < fresh.entries_.size(); ++i)
        if (!fresh.IndexEntry(i)) RaiseError(errInvalidProcedureCall);  // duplicate name
    buf_.swap(fresh.buf_);
    entries_.swap(fresh.entries_);
    indexed_ = entries_.size();
    slots_.swap(fresh.slots_);
    bloom_ = fresh.bloom_;
}


namespace {

inline uint64_t LoadLE64(const uint8_t* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
}

constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;

// Layout version 2: one state, eight bytes a step.
uint32_t ChecksumVersion2(const uint8_t* data, size_t n) {
    uint64_t h = 0xCBF29CE484222325ull ^ n;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        h = (h ^ LoadLE64(data + i)) * kMul;
        h ^= h >> 29;
    }
    for (; i < n; ++i) {
        h = (h ^ data[i]) * kMul;
        h ^= h >> 29;
    }
    h ^= h >> 32;
    return static_cast<uint32_t>(h);
}

// Layout version 3: four states taking the words of each 32-byte block in
// turn, so that the processor works on them side by side (one state waits
// for its multiply before the next word), folded together at the end.
uint32_t ChecksumVersion3(const uint8_t* data, size_t n) {
    uint64_t h[4] = {0xCBF29CE484222325ull ^ n, 0x84222325CBF29CE4ull, 0x6A09E667F3BCC909ull, 0xBB67AE8584CAA73Bull};
    size_t i = 0;
    uint64_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (; i + 32 <= n; i += 32) {
        a = (a ^ LoadLE64(data + i)) * kMul;
        b = (b ^ LoadLE64(data + i + 8)) * kMul;
        c = (c ^ LoadLE64(data + i + 16)) * kMul;
        d = (d ^ LoadLE64(data + i + 24)) * kMul;
        a ^= a >> 29;
        b ^= b >> 29;
        c ^= c >> 29;
        d ^= d >> 29;
    }
    h[0] = a, h[1] = b, h[2] = c, h[3] = d;
    uint64_t f = h[0];
    for (int k = 1; k < 4; ++k) {
        f = (f ^ h[k]) * kMul;
        f ^= f >> 29;
    }
    for (; i < n; ++i) {
        f = (f ^ data[i]) * kMul;
        f ^= f >> 29;
    }
    f ^= f >> 32;
    return static_cast<uint32_t>(f);
}

}  // namespace

uint32_t PropertyBagChecksum(const uint8_t* data, size_t n) {
    // The bytes name their layout version; bags of version 2 (written before
    // version 3) keep their own checksum.
    const bool version2 = n >= 6 && data[4] == 2 && data[5] == 0;
    return version2 ? ChecksumVersion2(data, n) : ChecksumVersion3(data, n);
}

}  // namespace vb
