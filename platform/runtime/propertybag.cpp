#include "platform/runtime/propertybag.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace vb {

namespace {

constexpr uint16_t kVersion = 1;
constexpr uint16_t kByteArrayType = vbArray | vbByte;

std::mutex& RegistryMutex() {
    static std::mutex m;
    return m;
}

std::unordered_map<std::string, PersistFactory>& Registry() {
    static std::unordered_map<std::string, PersistFactory> r;
    return r;
}

uint32_t Fnv1a(const uint8_t* data, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= data[i];
        h *= 16777619u;
    }
    return h;
}

class Writer {
public:
    std::vector<uint8_t> out;
    void U8(uint8_t v) { out.push_back(v); }
    void U16(uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U64(uint64_t v) {
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Bytes(const void* p, size_t n) {
        const uint8_t* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    void Text(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        Bytes(s.data(), s.size());
    }
};

// Reads from untrusted bytes; every read checks the remaining length first
// and reports failure instead of reading past the end.
class Reader {
public:
    Reader(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    size_t Left() const { return n_ - pos_; }
    bool U8(uint8_t& v) {
        if (Left() < 1) return false;
        v = p_[pos_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (Left() < 2) return false;
        v = static_cast<uint16_t>(p_[pos_] | (p_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Left() < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }
    bool U64(uint64_t& v) {
        if (Left() < 8) return false;
        v = 0;
        for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(p_[pos_ + i]) << (8 * i);
        pos_ += 8;
        return true;
    }
    bool Text(std::string& s) {
        uint32_t len;
        if (!U32(len) || len > Left()) return false;
        s.assign(reinterpret_cast<const char*>(p_ + pos_), len);
        pos_ += len;
        return true;
    }
    bool Raw(std::vector<uint8_t>& v, uint32_t len) {
        if (len > Left()) return false;
        v.assign(p_ + pos_, p_ + pos_ + len);
        pos_ += len;
        return true;
    }

private:
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

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

bool IsAsciiName(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

inline unsigned char LowerAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

uint32_t PropertyBag::HashName(std::string_view name) {
    uint32_t h = 2166136261u;
    if (IsAsciiName(name)) {
        for (unsigned char c : name) h = (h ^ LowerAscii(c)) * 16777619u;
    } else {
        for (unsigned char c : LCase(name)) h = (h ^ c) * 16777619u;
    }
    return h;
}

bool PropertyBag::SameName(std::string_view a, std::string_view b) {
    if (IsAsciiName(a) && IsAsciiName(b)) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (LowerAscii(static_cast<unsigned char>(a[i])) != LowerAscii(static_cast<unsigned char>(b[i]))) return false;
        return true;
    }
    return LCase(a) == LCase(b);
}

int64_t PropertyBag::Lookup(const std::vector<Slot>& slots, const std::vector<Entry>& entries, std::string_view name,
                            uint32_t hash) {
    if (slots.empty()) return -1;
    size_t mask = slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots[i];
        if (s.entry == 0) return -1;
        if (s.hash == hash && SameName(entries[s.entry - 1].name, name)) return static_cast<int64_t>(s.entry - 1);
    }
}

void PropertyBag::Grow(std::vector<Slot>& slots, const std::vector<Entry>& entries, size_t wanted) {
    size_t size = 16;
    while (size < wanted * 2) size *= 2;
    if (size <= slots.size()) return;
    std::vector<Slot> bigger(size);
    size_t mask = size - 1;
    for (const Slot& s : slots) {
        if (s.entry == 0) continue;
        size_t i = s.hash & mask;
        while (bigger[i].entry != 0) i = (i + 1) & mask;
        bigger[i] = s;
    }
    slots.swap(bigger);
}

bool PropertyBag::Insert(std::vector<Slot>& slots, const std::vector<Entry>& entries, size_t index, uint32_t hash) {
    if ((index + 1) * 2 > slots.size()) Grow(slots, entries, index + 1);
    size_t mask = slots.size() - 1;
    size_t i = hash & mask;
    for (; slots[i].entry != 0; i = (i + 1) & mask) {
        const Slot& s = slots[i];
        if (s.hash == hash && SameName(entries[s.entry - 1].name, entries[index].name)) return false;
    }
    slots[i] = Slot{hash, static_cast<uint32_t>(index + 1)};
    return true;
}

const PropertyBag::Entry* PropertyBag::Find(std::string_view name) const {
    int64_t i = Lookup(slots_, entries_, name, HashName(name));
    return i < 0 ? nullptr : &entries_[static_cast<size_t>(i)];
}

void PropertyBag::RebuildIndex() {
    slots_.clear();
    Grow(slots_, entries_, entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i) Insert(slots_, entries_, i, HashName(entries_[i].name));
}

void PropertyBag::WriteProperty(std::string_view name, const Variant& value, const Variant& defaultValue) {
    Entry e;
    e.name = std::string(name);
    if (value.Type() == vbObject) {
        const ObjectRef& o = value.RawObject();
        auto* p = o ? dynamic_cast<const Persistable*>(o.get()) : nullptr;
        if (!p) RaiseError(errTypeMismatch);
        e.isObject = true;
        e.objectClass = p->PersistClassName();
        e.objectBytes = p->PersistBytes();
    } else {
        if (!Storable(value)) RaiseError(errTypeMismatch);
        e.value = value;
    }
    uint32_t hash = HashName(name);
    int64_t at = Lookup(slots_, entries_, name, hash);
    bool isDefault = !defaultValue.IsMissing() && !e.isObject && value == defaultValue;
    if (isDefault) {
        // Reading gives the default back; drop any older value of the name.
        if (at >= 0) {
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
            RebuildIndex();
        }
        return;
    }
    if (at >= 0) {
        entries_[static_cast<size_t>(at)] = std::move(e);
    } else {
        entries_.push_back(std::move(e));
        Insert(slots_, entries_, entries_.size() - 1, hash);
    }
}

Variant PropertyBag::ReadProperty(std::string_view name, const Variant& defaultValue) const {
    const Entry* e = Find(name);
    if (!e) return defaultValue;
    if (!e->isObject) return e->value;
    PersistFactory factory;
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto it = Registry().find(e->objectClass);
        if (it != Registry().end()) factory = it->second;
    }
    if (!factory) RaiseError(errTypeMismatch);
    ObjectRef o = factory(e->objectBytes);
    if (!o) RaiseError(errTypeMismatch);
    return Variant(o);
}

bool PropertyBag::Has(std::string_view name) const { return Find(name) != nullptr; }

std::vector<uint8_t> PropertyBag::Contents() const {
    Writer w;
    size_t size = 4 + 2 + 4 + 4;
    for (const Entry& e : entries_) {
        size += 4 + e.name.size() + 2 + 16 + e.objectClass.size() + e.objectBytes.size();
        if (e.value.IsString()) size += e.value.RawString().size();
        else if (e.value.IsArray()) size += e.value.Array().bytes.size();
    }
    w.out.reserve(size);
    w.Bytes("SDPB", 4);
    w.U16(kVersion);
    w.U32(static_cast<uint32_t>(entries_.size()));
    for (const Entry& e : entries_) {
        w.Text(e.name);
        if (e.isObject) {
            w.U16(vbObject);
            w.Text(e.objectClass);
            w.U32(static_cast<uint32_t>(e.objectBytes.size()));
            w.Bytes(e.objectBytes.data(), e.objectBytes.size());
            continue;
        }
        const Variant& v = e.value;
        uint16_t type = static_cast<uint16_t>(v.Type());
        w.U16(type);
        switch (v.Type()) {
            case vbEmpty: case vbNull: break;
            case vbInteger: w.U16(static_cast<uint16_t>(v.RawInteger())); break;
            case vbBoolean: w.U16(v.RawBoolean() ? 0xFFFF : 0); break;
            case vbLong: case vbError: w.U32(static_cast<uint32_t>(v.RawLong())); break;
            case vbSingle: {
                uint32_t bits;
                float f = v.RawSingle();
                std::memcpy(&bits, &f, 4);
                w.U32(bits);
                break;
            }
            case vbDouble: case vbDate: {
                uint64_t bits;
                double d = v.RawDouble();
                std::memcpy(&bits, &d, 8);
                w.U64(bits);
                break;
            }
            case vbCurrency: w.U64(static_cast<uint64_t>(v.RawCurrency())); break;
            case vbByte: w.U8(v.RawByte()); break;
            case vbString: w.Text(v.RawString()); break;
            default: {  // a one-dimensional Byte array (checked on writing)
                const ArrayData& a = v.Array();
                w.U32(static_cast<uint32_t>(a.lower[0]));
                w.U32(static_cast<uint32_t>(a.bytes.size()));
                w.Bytes(a.bytes.data(), a.bytes.size());
                break;
            }
        }
    }
    w.U32(Fnv1a(w.out.data(), w.out.size()));
    return std::move(w.out);
}

void PropertyBag::SetContents(const std::vector<uint8_t>& bytes) {
    auto refuse = [] { RaiseError(errInvalidProcedureCall); };
    constexpr size_t kHeader = 4 + 2 + 4, kChecksum = 4;
    if (bytes.size() < kHeader + kChecksum) refuse();
    if (std::memcmp(bytes.data(), "SDPB", 4) != 0) refuse();
    size_t bodyEnd = bytes.size() - kChecksum;
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) stored |= static_cast<uint32_t>(bytes[bodyEnd + i]) << (8 * i);
    if (stored != Fnv1a(bytes.data(), bodyEnd)) refuse();

    Reader r(bytes.data() + 4, bodyEnd - 4);
    uint16_t version = 0;
    uint32_t count = 0;
    if (!r.U16(version) || version != kVersion || !r.U32(count)) refuse();
    // Every entry takes at least 6 bytes (name length and type word), so a
    // count that the remaining bytes cannot hold is refused before anything
    // is allocated for it.
    if (count > r.Left() / 6) refuse();

    std::vector<Entry> entries;
    entries.reserve(std::min<uint32_t>(count, 65536));   // grows with what is really read
    std::vector<Slot> slots;
    for (uint32_t n = 0; n < count; ++n) {
        Entry e;
        uint16_t type = 0;
        if (!r.Text(e.name) || !r.U16(type)) refuse();
        bool ok = true;
        switch (type) {
            case vbEmpty: break;
            case vbNull: e.value = Variant::Null(); break;
            case vbInteger: {
                uint16_t x = 0;
                ok = r.U16(x);
                e.value = Variant(static_cast<int16_t>(x));
                break;
            }
            case vbBoolean: {
                uint16_t x = 0;
                ok = r.U16(x) && (x == 0 || x == 0xFFFF);
                e.value = Variant(x != 0);
                break;
            }
            case vbLong: case vbError: {
                uint32_t x = 0;
                ok = r.U32(x);
                e.value = type == vbLong ? Variant(static_cast<int32_t>(x)) : Variant::Error(static_cast<int32_t>(x));
                break;
            }
            case vbSingle: {
                uint32_t x = 0;
                ok = r.U32(x);
                float f;
                std::memcpy(&f, &x, 4);
                e.value = Variant(f);
                break;
            }
            case vbDouble: case vbDate: {
                uint64_t x = 0;
                ok = r.U64(x);
                double d;
                std::memcpy(&d, &x, 8);
                e.value = type == vbDouble ? Variant(d) : Variant::Date(d);
                break;
            }
            case vbCurrency: {
                uint64_t x = 0;
                ok = r.U64(x);
                e.value = Variant::Currency(static_cast<int64_t>(x));
                break;
            }
            case vbByte: {
                uint8_t x = 0;
                ok = r.U8(x);
                e.value = Variant(x);
                break;
            }
            case vbString: {
                std::string s;
                ok = r.Text(s);
                e.value = Variant(std::move(s));
                break;
            }
            case vbObject: {
                uint32_t len = 0;
                e.isObject = true;
                ok = r.Text(e.objectClass) && r.U32(len) && r.Raw(e.objectBytes, len);
                break;
            }
            case kByteArrayType: {
                uint32_t lower = 0, len = 0;
                std::vector<uint8_t> data;
                ok = r.U32(lower) && r.U32(len) && r.Raw(data, len);
                if (ok && static_cast<int64_t>(static_cast<int32_t>(lower)) + len - 1 > INT32_MAX) ok = false;
                if (ok) e.value = Variant::ByteArray(std::move(data), static_cast<int32_t>(lower));
                break;
            }
            default: ok = false; break;
        }
        if (!ok) refuse();
        entries.push_back(std::move(e));
        if (!Insert(slots, entries, entries.size() - 1, HashName(entries.back().name))) refuse();  // duplicate name
    }
    if (r.Left() != 0) refuse();
    entries_ = std::move(entries);
    slots_ = std::move(slots);
}

}  // namespace vb
