// cNodeCollection: the byte form.  The whole tree goes into one property bag:
// a record per node (n & "N": parent record number, value type word, key),
// the node's value (n & "S", with n & "S" & "A" for an array's shape,
// n & "S" & "." & i for its object and array elements and & "K" for the class
// tag of an object), and "Count" last.  Objects are turned into bytes by the
// owner through the SerializeObject event.  Every name is made unique by its
// node's number, so saving appends without looking names up.
//
// Loading never trusts the bytes: every count, number, length and shape is
// checked against the data before anything is allocated from it, and bytes
// that do not describe a sound tree give False with the collection empty.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

namespace model {

namespace {

constexpr int32_t kWordFlagged = 0x4000;  // value of type 10, 13 or 36: not stored
constexpr int32_t kWordSelfStored = 0xFFFF;
constexpr const char* kSelfStoredTag = "-32768";
constexpr int kMaxDimensions = 60;
constexpr int kMaxNesting = 32;
constexpr int32_t kSampleNodes = 64;   // nodes saved before the bag is sized for the rest

void PutI16(std::vector<uint8_t>& b, int16_t v) {
    auto u = static_cast<uint16_t>(v);
    b.push_back(static_cast<uint8_t>(u & 0xFF));
    b.push_back(static_cast<uint8_t>(u >> 8));
}
void PutI32(std::vector<uint8_t>& b, int32_t v) {
    auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((u >> (8 * i)) & 0xFF));
}
void PutI64(std::vector<uint8_t>& b, int64_t v) {
    auto u = static_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>((u >> (8 * i)) & 0xFF));
}
void PutF32(std::vector<uint8_t>& b, float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    PutI32(b, static_cast<int32_t>(u));
}
void PutF64(std::vector<uint8_t>& b, double d) {
    uint64_t u;
    std::memcpy(&u, &d, 8);
    PutI64(b, static_cast<int64_t>(u));
}
bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}
void PutText(std::vector<uint8_t>& b, const std::string& s) {
    if (IsAscii(s)) {
        // UTF-16LE of ASCII text: each character followed by a zero byte.
        const size_t at = b.size();
        b.resize(at + 2 * s.size(), 0);
        for (size_t i = 0; i < s.size(); ++i) b[at + 2 * i] = static_cast<uint8_t>(s[i]);
        return;
    }
    std::u16string u = vb::ToUtf16(s);
    for (char16_t c : u) PutI16(b, static_cast<int16_t>(c));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}
int64_t GetI64(const uint8_t* p) {
    uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
    return static_cast<int64_t>(u);
}
float GetF32(const uint8_t* p) {
    uint32_t u = static_cast<uint32_t>(GetI32(p));
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
double GetF64(const uint8_t* p) {
    uint64_t u = static_cast<uint64_t>(GetI64(p));
    double d;
    std::memcpy(&d, &u, 8);
    return d;
}
std::string GetText(const uint8_t* p, size_t bytes) {
    const size_t n = bytes / 2;
    bool ascii = true;
    for (size_t i = 0; i < n && ascii; ++i) ascii = p[2 * i] < 0x80 && p[2 * i + 1] == 0;
    if (ascii) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(p[2 * i]);
        return s;
    }
    std::u16string u(n, u'\0');
    for (size_t i = 0; i < u.size(); ++i) u[i] = static_cast<char16_t>(GetU16(p + 2 * i));
    return vb::FromUtf16(u);
}

bool IsNotStoredType(int t) { return t == vb::vbError || t == vb::vbDataObject || t == vb::vbUserDefinedType; }

// Bytes of one element of a fixed-size array type, 0 for the others.
size_t FixedSize(int t) {
    switch (t) {
        case vb::vbByte: return 1;
        case vb::vbInteger: case vb::vbBoolean: return 2;
        case vb::vbLong: case vb::vbSingle: return 4;
        case vb::vbDouble: case vb::vbCurrency: case vb::vbDate: return 8;
        default: return 0;
    }
}

void PutFixed(std::vector<uint8_t>& b, const vb::Variant& v) {
    switch (v.Type()) {
        case vb::vbInteger: PutI16(b, v.RawInteger()); break;
        case vb::vbBoolean: PutI16(b, v.RawBoolean() ? -1 : 0); break;
        case vb::vbLong: PutI32(b, v.RawLong()); break;
        case vb::vbSingle: PutF32(b, v.RawSingle()); break;
        case vb::vbDouble: case vb::vbDate: PutF64(b, v.RawDouble()); break;
        case vb::vbCurrency: PutI64(b, v.RawCurrency()); break;
        case vb::vbByte: b.push_back(v.RawByte()); break;
        default: vb::RaiseError(vb::errTypeMismatch);
    }
}

vb::Variant GetFixed(int t, const uint8_t* p) {
    switch (t) {
        case vb::vbInteger: return vb::Variant(static_cast<int16_t>(GetU16(p)));
        case vb::vbBoolean: return vb::Variant(GetU16(p) != 0);
        case vb::vbLong: return vb::Variant(GetI32(p));
        case vb::vbSingle: return vb::Variant(GetF32(p));
        case vb::vbDouble: return vb::Variant(GetF64(p));
        case vb::vbDate: return vb::Variant::Date(GetF64(p));
        case vb::vbCurrency: return vb::Variant::Currency(GetI64(p));
        case vb::vbByte: return vb::Variant(p[0]);
        default: return vb::Variant();
    }
}

// Element types that an array in the bytes may have.
bool IsArrayElementType(int t) {
    return FixedSize(t) != 0 || t == vb::vbString || t == vb::vbVariant || t == vb::vbObject;
}

// An array without dimensions that carries the element type to fill.
vb::Variant EmptyArrayOf(int elementType) {
    vb::ArrayData a;
    a.elementType = static_cast<vb::VarType>(elementType);
    return vb::Variant::FromArrayData(std::move(a));
}

}  // namespace

// Reads a Byte array value as ReadProperty and a type check would: 1 with a
// view of the bytes, 0 when the name is missing or holds Empty, -1 when it
// holds anything else.
int ByteValue(const vb::PropertyBag& bag, const std::string& name, const uint8_t*& data, size_t& size) {
    switch (bag.ViewBytes(name, data, size)) {
        case vb::PropertyBag::Stored::kBytes: return 1;
        case vb::PropertyBag::Stored::kMissing: return 0;
        default: return bag.ReadProperty(name).IsEmpty() ? 0 : -1;
    }
}

// Bytes inside the bag, seen without a copy.
struct ByteSpan {
    const uint8_t* p = nullptr;
    size_t n = 0;
    size_t size() const { return n; }
    const uint8_t* data() const { return p; }
};

// State of one load: the bag and a budget, in bytes of memory, that every
// node table and array made from the bytes is charged against before it is
// allocated, so that what a load holds stays within a fixed multiple of the
// file's size whatever counts the bytes declare.  The multiple leaves room
// for the densest data a save writes: an Integer or Variant element takes
// 2 bytes in the file and one Variant in memory.
struct cNodeCollection::LoadState {
    static constexpr size_t kBytesPerFileByte = 48;
    static constexpr size_t kFloor = size_t(1) << 20;
    const vb::PropertyBag& bag;
    uint64_t budget;
    LoadState(const vb::PropertyBag& b, size_t fileSize)
        : bag(b), budget(kBytesPerFileByte * static_cast<uint64_t>(fileSize) + kFloor) {}
    // Takes `count` items of `size` bytes from the budget; false (taking
    // nothing) when they do not fit.
    bool Charge(uint64_t count, uint64_t size) {
        if (size != 0 && count > budget / size) return false;
        budget -= count * size;
        return true;
    }
};

// --- Saving ------------------------------------------------------------------

void cNodeCollection::SerializeObjectValue(vb::PropertyBag& bag, const vb::Variant& value, const std::string& name) {
    const vb::ObjectRef& obj = value.RawObject();
    if (!obj) {
        // Nothing: only the tag, which loads back as Nothing.
        bag.AppendNew(name + "K", vb::Variant(kSelfStoredTag));
        return;
    }
    if (dynamic_cast<const vb::Persistable*>(obj.get())) {
        // The bag stores such an object itself.
        bag.WriteProperty(name, value);
        bag.AppendNew(name + "K", vb::Variant(kSelfStoredTag));
        return;
    }
    vb::Variant collectionObject = value;
    std::vector<uint8_t> data;
    std::string id;
    if (SerializeObject) SerializeObject(true, collectionObject, data, id);
    if (!data.empty()) bag.AppendNewBytes(name, data.data(), data.size());
    bag.AppendNew(name + "K", vb::Variant(id));
}

void cNodeCollection::SerializeArray(vb::PropertyBag& bag, const vb::Variant& value, const std::string& name) {
    const vb::ArrayData& a = value.Array();
    const int elem = a.elementType;
    const size_t count = a.Size();
    if (!IsNotStoredType(elem)) {
        std::vector<uint8_t> data;
        bool writeData = true;
        const std::vector<uint8_t>* dataToWrite = &data;
        if (elem == vb::vbByte) {
            dataToWrite = &a.bytes;
        } else if (FixedSize(elem)) {
            data.reserve(count * FixedSize(elem));
            for (const vb::Variant& e : a.items) PutFixed(data, e);
        } else if (elem == vb::vbString) {
            for (const vb::Variant& e : a.items) {
                const std::string s = e.IsString() ? e.RawString() : std::string();
                std::vector<uint8_t> text;
                PutText(text, s);
                PutI32(data, static_cast<int32_t>(text.size()));
                data.insert(data.end(), text.begin(), text.end());
            }
        } else if (elem == vb::vbVariant) {
            for (size_t i = 0; i < a.items.size(); ++i) {
                const vb::Variant& e = a.items[i];
                const int t = e.Type();
                const std::string sub = name + "." + std::to_string(i);
                if (e.IsArray()) {
                    PutI16(data, static_cast<int16_t>(t));
                    if (e.Dimensions() > 0) SerializeArray(bag, e, sub);
                    continue;
                }
                if (t == vb::vbObject) {
                    PutI16(data, static_cast<int16_t>(t));
                    SerializeObjectValue(bag, e, sub);
                    continue;
                }
                if (IsNotStoredType(t)) {
                    PutI16(data, static_cast<int16_t>(t | kWordFlagged));
                    continue;
                }
                PutI16(data, static_cast<int16_t>(t));
                switch (t) {
                    case vb::vbNull: data.push_back(0); break;
                    case vb::vbByte: data.push_back(e.RawByte()); break;
                    case vb::vbString: {
                        std::vector<uint8_t> text;
                        PutText(text, e.RawString());
                        PutI32(data, static_cast<int32_t>(text.size()));
                        data.insert(data.end(), text.begin(), text.end());
                        break;
                    }
                    case vb::vbInteger: case vb::vbBoolean: case vb::vbLong: case vb::vbSingle:
                    case vb::vbDouble: case vb::vbCurrency: case vb::vbDate:
                        PutFixed(data, e);
                        break;
                    default: break;  // Empty and types without data
                }
            }
        } else if (elem == vb::vbObject) {
            writeData = false;
            for (size_t i = 0; i < a.items.size(); ++i)
                if (a.items[i].IsObject() && !a.items[i].IsNothing())
                    SerializeObjectValue(bag, a.items[i], name + "." + std::to_string(i));
        } else {
            vb::RaiseError(vb::errTypeMismatch);
        }
        if (writeData) bag.AppendNewBytes(name, dataToWrite->data(), dataToWrite->size());
    }
    // Shape: feature flags, then count and lower bound of each dimension,
    // the last declared dimension first.
    std::vector<uint8_t> shape;
    PutI16(shape, static_cast<int16_t>(a.features));
    for (size_t d = a.count.size(); d-- > 0;) {
        PutI32(shape, a.count[d]);
        PutI32(shape, a.lower[d]);
    }
    bag.AppendNewBytes(name + "A", shape.data(), shape.size());
}

std::vector<int32_t> cNodeCollection::SaveOrder() const {
    std::vector<int32_t> order;
    order.reserve(static_cast<size_t>(NodeCount));
    int32_t cur = NodeCount > 0 ? Nodes[0].FirstChild : 0;
    // Depth first, pre-order, without recursion.
    while (cur != 0) {
        if (static_cast<int32_t>(order.size()) >= NodeCount) return {};
        order.push_back(cur);
        const NodeRecord& node = Nodes[static_cast<size_t>(cur)];
        if (node.HasKids()) {
            cur = node.FirstChild;
            continue;
        }
        while (cur != 0 && Nodes[static_cast<size_t>(cur)].NextSibling == 0) cur = Nodes[static_cast<size_t>(cur)].Parent;
        if (cur != 0) cur = Nodes[static_cast<size_t>(cur)].NextSibling;
    }
    return order;
}

bool cNodeCollection::SaveCollection(std::vector<uint8_t>& CollectionArray) {
    if (NodeCount == 0) return false;
    vb::PropertyBag bag;
    try {
        const std::vector<int32_t> order = SaveOrder();
        if (order.empty()) return false;  // cannot happen in a sound tree
        std::vector<int32_t> record(static_cast<size_t>(NodeCount) + 1, 0);
        int32_t counter = 1;
        for (const int32_t cur : order) {
            const NodeRecord& node = Nodes[static_cast<size_t>(cur)];
            const std::string n = std::to_string(counter);
            const std::string valueName = n + "S";
            record[static_cast<size_t>(cur)] = counter;

            vb::Variant plain;
            const vb::Variant* value = &node.Value;
            int32_t word = node.Value.Type();
            bool selfStored = false;
            if (word == vb::vbObject && node.Value.RawObject() && node.Value.RawObject()->HasDefaultMember()) {
                if (dynamic_cast<const vb::Persistable*>(node.Value.RawObject().get())) {
                    bag.WriteProperty(valueName, node.Value);
                    word = kWordSelfStored;
                    selfStored = true;
                } else {
                    // The bag cannot keep it: store its default value instead.
                    plain = node.Value.RawObject()->DefaultValue();
                    value = &plain;
                    word = plain.Type();
                }
            }
            if (!selfStored && IsNotStoredType(word & ~vb::vbArray)) word |= kWordFlagged;

            std::vector<uint8_t> rec;
            PutI32(rec, record[static_cast<size_t>(node.Parent)]);
            PutI16(rec, static_cast<int16_t>(word));
            if (node.KeyPtr) PutText(rec, KeyTexts[static_cast<size_t>(node.KeyPtr - 1)]);
            bag.AppendNewBytes(n + "N", rec.data(), rec.size());

            if (!selfStored) {
                if (value->IsArray()) {
                    if (value->Dimensions() > 0) SerializeArray(bag, *value, valueName);
                } else if (value->Type() == vb::vbObject) {
                    SerializeObjectValue(bag, *value, valueName);
                } else if (!(word & kWordFlagged)) {
                    bag.AppendNew(valueName, *value);
                }
            }
            ++counter;
            if (counter == kSampleNodes + 1 && NodeCount > 2 * kSampleNodes) {
                // Size the bag for the whole tree from the first nodes, so
                // that a large tree is not copied at every regrowth.
                const size_t nodes = static_cast<size_t>(NodeCount);
                bag.Reserve(bag.ByteSize() / kSampleNodes * nodes / 4 * 5, bag.Count() / kSampleNodes * nodes / 4 * 5);
            }
        }
        std::vector<uint8_t> count;
        PutI32(count, NodeCount);
        PutI32(count, CompareMode);
        PutI32(count, BufferStep);
        bag.AppendNewBytes("Count", count.data(), count.size());
        CollectionArray = bag.TakeContents();
        return true;
    } catch (const vb::VbError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

// --- Loading -----------------------------------------------------------------

bool cNodeCollection::DeserializeObject(LoadState& st, vb::Variant& dest, const std::string& name) {
    vb::Variant tag = st.bag.ReadProperty(name + "K");
    if (!tag.IsEmpty() && !tag.IsString()) return false;
    if (tag.IsString() && tag.RawString() == kSelfStoredTag) {
        vb::Variant data = st.bag.ReadProperty(name);
        if (data.IsEmpty()) dest = vb::Variant::Nothing();
        else if (data.IsObject()) dest = data;
        else return false;
        return true;
    }
    const uint8_t* stored = nullptr;
    size_t size = 0;
    const int found = ByteValue(st.bag, name, stored, size);
    if (found == 0) return true;  // only a tag: the value stays as it was
    if (found < 0) return false;
    if (size == 0) return true;
    std::vector<uint8_t> bytes(stored, stored + size);
    vb::Variant collectionObject = vb::Variant::Nothing();
    std::string id = tag.IsString() ? tag.RawString() : std::string();
    if (SerializeObject) SerializeObject(false, collectionObject, bytes, id);
    if (collectionObject.IsObject() && !collectionObject.IsNothing()) dest = collectionObject;
    return true;
}

bool cNodeCollection::DeserializeArray(LoadState& st, vb::Variant& dest, const std::string& name, int depth) {
    if (depth > kMaxNesting) return false;
    const uint8_t* shape = nullptr;
    size_t shapeSize = 0;
    const int found = ByteValue(st.bag, name + "A", shape, shapeSize);
    if (found == 0) return true;  // no shape: nothing is made
    if (found < 0) return false;
    if (shapeSize < 10 || (shapeSize - 2) % 8 != 0) return false;
    const size_t dims = (shapeSize - 2) / 8;
    if (dims > static_cast<size_t>(kMaxDimensions)) return false;

    vb::ArrayData a;
    a.features = GetU16(shape);
    a.lower.resize(dims);
    a.count.resize(dims);
    uint64_t total = 1;
    for (size_t d = 0; d < dims; ++d) {
        // Stored last declared dimension first.
        const uint8_t* p = shape + 2 + 8 * d;
        int32_t count = GetI32(p), lower = GetI32(p + 4);
        if (count < 0) return false;
        if (static_cast<int64_t>(lower) + count - 1 > INT32_MAX) return false;
        a.count[dims - 1 - d] = count;
        a.lower[dims - 1 - d] = lower;
        total *= static_cast<uint64_t>(count);
        if (total > st.budget) return false;
    }
    // The caller hands over an array without dimensions of the element type.
    a.elementType = dest.Array().elementType;
    const int elem = a.elementType;
    if (!st.Charge(1, sizeof(vb::ArrayData) + 8 * dims)) return false;
    if (!st.Charge(total, elem == vb::vbByte ? 1 : sizeof(vb::Variant))) return false;
    const size_t n = static_cast<size_t>(total);

    ByteSpan dataView;
    const ByteSpan* data = &dataView;
    if (elem != vb::vbObject) {
        if (ByteValue(st.bag, name, dataView.p, dataView.n) != 1) return false;
    }
    if (elem == vb::vbByte) {
        if (data->size() != n) return false;
        a.bytes.assign(data->data(), data->data() + n);
    } else if (FixedSize(elem)) {
        const size_t size = FixedSize(elem);
        if (data->size() != n * size) return false;
        a.items.reserve(n);
        for (size_t i = 0; i < n; ++i) a.items.push_back(GetFixed(elem, data->data() + i * size));
    } else if (elem == vb::vbString) {
        if (data->size() / 4 < n) return false;
        size_t at = 0;
        a.items.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            if (data->size() - at < 4) return false;
            int32_t len = GetI32(data->data() + at);
            at += 4;
            if (len < 0 || len % 2 != 0 || static_cast<size_t>(len) > data->size() - at) return false;
            a.items.emplace_back(GetText(data->data() + at, static_cast<size_t>(len)));
            at += static_cast<size_t>(len);
        }
        if (at != data->size()) return false;
    } else if (elem == vb::vbVariant) {
        if (data->size() / 2 < n) return false;
        const ByteSpan& b = *data;
        size_t at = 0;
        a.items.resize(n);
        for (size_t i = 0; i < n; ++i) {
            if (b.size() - at < 2) return false;
            const int word = GetU16(b.data() + at);
            at += 2;
            vb::Variant& e = a.items[i];
            if (word & kWordFlagged) {
                if (!IsNotStoredType(word & ~kWordFlagged)) return false;
                e = vb::Variant::Nothing();
                continue;
            }
            if (word & vb::vbArray) {
                const int sub = word & ~vb::vbArray;
                if (IsNotStoredType(sub)) {
                    // Saved by its shape only, as at the top level: Nothing.
                    e = vb::Variant::Nothing();
                    continue;
                }
                if (!IsArrayElementType(sub)) return false;
                vb::Variant made = EmptyArrayOf(sub);
                if (!DeserializeArray(st, made, name + "." + std::to_string(i), depth + 1)) return false;
                e = made.Dimensions() > 0 ? made : vb::Variant();
                continue;
            }
            size_t need = 0;
            switch (word) {
                case vb::vbEmpty: case vb::vbDecimal: need = 0; break;
                case vb::vbNull: case vb::vbByte: need = 1; break;
                case vb::vbInteger: case vb::vbBoolean: need = 2; break;
                case vb::vbLong: case vb::vbSingle: case vb::vbString: need = 4; break;
                case vb::vbDouble: case vb::vbCurrency: case vb::vbDate: need = 8; break;
                case vb::vbObject: need = 0; break;
                default: return false;
            }
            if (b.size() - at < need) return false;
            const uint8_t* p = b.data() + at;
            at += need;
            switch (word) {
                case vb::vbNull: e = vb::Variant::Null(); break;
                case vb::vbObject:
                    if (!DeserializeObject(st, e, name + "." + std::to_string(i))) return false;
                    break;
                case vb::vbString: {
                    int32_t len = GetI32(p);
                    if (len < 0 || len % 2 != 0 || static_cast<size_t>(len) > b.size() - at) return false;
                    e = vb::Variant(GetText(b.data() + at, static_cast<size_t>(len)));
                    at += static_cast<size_t>(len);
                    break;
                }
                case vb::vbEmpty: case vb::vbDecimal: break;
                default: e = GetFixed(word, p); break;
            }
        }
        if (at != b.size()) return false;
    } else if (elem == vb::vbObject) {
        a.items.assign(n, vb::Variant::Nothing());
        for (size_t i = 0; i < n; ++i) {
            const std::string sub = name + "." + std::to_string(i);
            if (!st.bag.Has(sub + "K")) continue;
            if (!DeserializeObject(st, a.items[i], sub)) return false;
        }
    } else {
        return false;
    }
    dest = vb::Variant::FromArrayData(std::move(a));
    return true;
}

bool cNodeCollection::LoadCollection(const std::vector<uint8_t>& CollectionBytes) {
    const int32_t oldMode = CompareMode, oldStep = BufferStep;
    ResetArrays();
    vb::PropertyBag bag;
    try {
        bag.SetContents(CollectionBytes);
    } catch (const vb::VbError&) {
        throw vb::VbError(kErrInvalidCollectionBytes, "Invalid Collection Items for this Class",
                          "Collection.LoadCollection");
    }
    bool ok = false;
    try {
        LoadState st(bag, CollectionBytes.size());
        ok = [&]() -> bool {
            ByteSpan cb;
            if (ByteValue(bag, "Count", cb.p, cb.n) != 1) return false;
            if (cb.size() != 12) return false;
            const int32_t count = GetI32(cb.data()), mode = GetI32(cb.data() + 4), step = GetI32(cb.data() + 8);
            // Every node has a record of its own in the bag.
            if (count < 0 || static_cast<size_t>(count) > bag.Count()) return false;
            if (mode != 0 && mode != 1) return false;
            if (step < 0 || step > 1000) return false;
            if (!st.Charge(static_cast<uint64_t>(count) + 1, sizeof(NodeRecord))) return false;
            CompareMode = mode;
            BufferStep = step;
            Nodes.clear();
            Nodes.resize(static_cast<size_t>(count) + 1);

            std::vector<std::pair<std::string, int32_t>> keys;
            for (int32_t n = 1; n <= count; ++n) {
                const std::string num = std::to_string(n);
                ByteSpan rec;
                if (ByteValue(bag, num + "N", rec.p, rec.n) != 1) return false;
                if (rec.size() < 6 || (rec.size() - 6) % 2 != 0) return false;
                const int32_t parent = GetI32(rec.data());
                // Parents are written before their children.
                if (parent < 0 || parent >= n) return false;
                const int word = GetU16(rec.data() + 4);

                NodeCount = n;
                LinkLastChild(n, parent);
                if (rec.size() > 6) {
                    std::string key = GetText(rec.data() + 6, rec.size() - 6);
                    if (key.empty()) return false;
                    keys.emplace_back(std::move(key), n);
                }

                vb::Variant& value = Nodes[static_cast<size_t>(n)].Value;
                const std::string valueName = num + "S";
                if (word == kWordSelfStored) {
                    vb::Variant o = bag.ReadProperty(valueName);
                    if (!o.IsEmpty() && !o.IsObject()) return false;
                    value = o.IsEmpty() ? vb::Variant::Nothing() : o;
                    continue;
                }
                const int t = word & ~kWordFlagged;
                if (word & kWordFlagged) {
                    if (!IsNotStoredType(t & ~vb::vbArray)) return false;
                    value = vb::Variant::Nothing();
                } else if (t & vb::vbArray) {
                    const int elem = t & ~vb::vbArray;
                    if (!IsArrayElementType(elem)) return false;
                    vb::Variant made = EmptyArrayOf(elem);
                    if (!DeserializeArray(st, made, valueName, 0)) return false;
                    if (made.Dimensions() > 0) value = made;
                } else if (t == vb::vbObject) {
                    if (!DeserializeObject(st, value, valueName)) return false;
                } else if (IsNotStoredType(t)) {
                    value = vb::Variant::Nothing();
                } else {
                    switch (t) {
                        case vb::vbEmpty: case vb::vbNull: case vb::vbInteger: case vb::vbLong:
                        case vb::vbSingle: case vb::vbDouble: case vb::vbCurrency: case vb::vbDate:
                        case vb::vbString: case vb::vbBoolean: case vb::vbByte:
                            break;
                        default: return false;
                    }
                    value = bag.ReadProperty(valueName);
                    if (value.Type() != t) return false;
                }
            }

            // Key table: sorted once, a repeated key makes the bytes invalid.
            std::stable_sort(keys.begin(), keys.end(),
                             [&](const auto& x, const auto& y) { return CompareKey(x.first, y.first) < 0; });
            for (size_t i = 1; i < keys.size(); ++i)
                if (CompareKey(keys[i - 1].first, keys[i].first) == 0) return false;
            const size_t k = keys.size();
            // The capacity that inserting the keys one by one would give.
            const size_t unit = static_cast<size_t>(BufferStep) + 1;
            const size_t upper = k == 0 ? 0 : (k + unit - 1) / unit * unit;
            KeyUpper = static_cast<int32_t>(upper);
            KeyTexts.clear();
            KeyTexts.reserve(k);
            std::vector<KeyRecord> sorted;
            sorted.reserve(k);
            for (size_t i = 0; i < k; ++i) {
                KeyTexts.push_back(std::move(keys[i].first));
                sorted.push_back(KeyRecord{keys[i].second, static_cast<int32_t>(i)});
                Nodes[static_cast<size_t>(keys[i].second)].KeyPtr = static_cast<int32_t>(i) + 1;
            }
            Keys.Assign(sorted);
            KeyCount = static_cast<int32_t>(k);
            return true;
        }();
    } catch (const vb::VbError&) {
        ok = false;
    } catch (const std::exception&) {
        ok = false;
    }
    if (!ok) {
        // Nothing half-built is left behind.
        ResetArrays();
        CompareMode = oldMode;
        BufferStep = oldStep;
    }
    return ok;
}

}  // namespace model
