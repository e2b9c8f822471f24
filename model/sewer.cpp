#include "model/sewer.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <variant>

#include "platform/runtime/conversions.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

namespace model {

namespace {

std::string FoldAscii(std::string_view name) {
    std::string s(name);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

// One property of a record class: its name and the field behind it.
template <class C>
struct Prop {
    using Field = std::variant<std::string C::*, int32_t C::*, float C::*, int16_t C::*>;
    const char* name;
    Field field;
};

template <class C>
vb::Variant Load(const C& obj, const typename Prop<C>::Field& f) {
    return std::visit([&](auto member) { return vb::Variant(obj.*member); }, f);
}

template <class C>
void Store(C& obj, const typename Prop<C>::Field& f, const vb::Variant& value) {
    std::visit(
        [&](auto member) {
            using T = std::remove_reference_t<decltype(obj.*member)>;
            if constexpr (std::is_same_v<T, std::string>) obj.*member = vb::CStr(value);
            else if constexpr (std::is_same_v<T, int32_t>) obj.*member = vb::CLng(value);
            else if constexpr (std::is_same_v<T, float>) obj.*member = vb::CSng(value);
            else obj.*member = vb::CInt(value);
        },
        f);
}

// The properties of a class with a case-insensitive index by name.
template <class C>
class PropTable {
public:
    explicit PropTable(std::vector<Prop<C>> props) : props_(std::move(props)) {
        for (size_t i = 0; i < props_.size(); ++i) {
            index_.emplace(FoldAscii(props_[i].name), static_cast<int>(i));
            names_.emplace_back(props_[i].name);
        }
    }
    // 0-based position, or -1.
    int Find(std::string_view name) const {
        auto it = index_.find(FoldAscii(name));
        return it == index_.end() ? -1 : it->second;
    }
    const Prop<C>& At(int i) const { return props_[static_cast<size_t>(i)]; }
    int Size() const { return static_cast<int>(props_.size()); }
    const std::vector<std::string>& Names() const { return names_; }

    vb::Variant Get(const C& obj, std::string_view name) const {
        int i = Find(name);
        if (i < 0) vb::RaiseError(vb::errNotSupported);
        return Load(obj, props_[static_cast<size_t>(i)].field);
    }
    void Let(C& obj, std::string_view name, const vb::Variant& value) const {
        int i = Find(name);
        if (i < 0) vb::RaiseError(vb::errNotSupported);
        Store(obj, props_[static_cast<size_t>(i)].field, value);
    }

private:
    std::vector<Prop<C>> props_;
    std::vector<std::string> names_;
    std::unordered_map<std::string, int> index_;
};

const PropTable<Sewer>& SewerTable() {
    static const PropTable<Sewer> table({
        {"Name", &Sewer::Name},         {"Index", &Sewer::Index},       {"from", &Sewer::from},
        {"tom", &Sewer::tom},           {"qadd", &Sewer::qadd},         {"pop1", &Sewer::pop1},
        {"pop2", &Sewer::pop2},         {"area1", &Sewer::area1},       {"area2", &Sewer::area2},
        {"density1", &Sewer::density1}, {"density2", &Sewer::density2}, {"tl", &Sewer::tl},
        {"l", &Sewer::l},               {"felv", &Sewer::felv},         {"telv", &Sewer::telv},
        {"finv", &Sewer::finv},         {"tinv", &Sewer::tinv},         {"qd", &Sewer::qd},
        {"slope", &Sewer::slope},       {"dia", &Sewer::dia},           {"drop", &Sewer::drop},
        {"x1", &Sewer::x1},             {"y1", &Sewer::y1},             {"Z1", &Sewer::Z1},
        {"Z2", &Sewer::Z2},             {"x2", &Sewer::x2},             {"x3", &Sewer::x3},
        {"y2", &Sewer::y2},             {"smh", &Sewer::smh},           {"sch", &Sewer::sch},
        {"lat", &Sewer::lat},           {"Color", &Sewer::Color},       {"grid", &Sewer::grid},
        {"mincover", &Sewer::mincover}, {"ma1", &Sewer::ma1},           {"ma2", &Sewer::ma2},
        {"ma3", &Sewer::ma3},           {"ma4", &Sewer::ma4},           {"ma5", &Sewer::ma5},
        {"ma6", &Sewer::ma6},           {"ma7", &Sewer::ma7},           {"ma8", &Sewer::ma8},
        {"ma9", &Sewer::ma9},           {"ma10", &Sewer::ma10},         {"na", &Sewer::na},
    });
    return table;
}

const PropTable<Testline>& TestlineTable() {
    static const PropTable<Testline> table({
        {"Name", &Testline::Name}, {"Index", &Testline::Index}, {"lat", &Testline::lat},
        {"ma1", &Testline::ma1},   {"x1", &Testline::x1},       {"y1", &Testline::y1},
    });
    return table;
}

const PropTable<lat>& LatTable() {
    static const PropTable<lat> table({
        {"ma1", &lat::ma1}, {"ma2", &lat::ma2}, {"ma3", &lat::ma3}, {"ma4", &lat::ma4},
        {"ma5", &lat::ma5}, {"ma6", &lat::ma6}, {"ma7", &lat::ma7}, {"ma8", &lat::ma8},
        {"ma9", &lat::ma9}, {"ma10", &lat::ma10}, {"na", &lat::na},
    });
    return table;
}

}  // namespace

// --- Sewer ----------------------------------------------------------------------

vb::Variant Sewer::GetProperty(std::string_view name) const { return SewerTable().Get(*this, name); }

void Sewer::LetProperty(std::string_view name, const vb::Variant& value) { SewerTable().Let(*this, name, value); }

const std::vector<std::string>& Sewer::PropertyNames() { return SewerTable().Names(); }

int Sewer::SlotOf(std::string_view name) { return SewerTable().Find(name) + 1; }

vb::Variant Sewer::GetSlot(int slot) const {
    if (slot < 1 || slot > kPropertyCount) vb::RaiseError(vb::errSubscriptOutOfRange);
    return Load(*this, SewerTable().At(slot - 1).field);
}

std::string Sewer::NonFiniteProperty() const {
    for (int slot = 1; slot <= kPropertyCount; ++slot) {
        const vb::Variant v = GetSlot(slot);
        if (v.Type() == vb::vbSingle && !std::isfinite(v.RawSingle())) return PropertyNames()[slot - 1];
    }
    return {};
}

void Sewer::LetSlot(int slot, const vb::Variant& value) {
    if (slot < 1 || slot > kPropertyCount) vb::RaiseError(vb::errSubscriptOutOfRange);
    Store(*this, SewerTable().At(slot - 1).field, value);
}

namespace {

// The stored values in the order Serialize writes them: the name in the bag
// and the field.
struct StoredField {
    std::string_view bagName;
    Prop<Sewer>::Field field;
};
constexpr size_t kStoredCount = 30;
const std::array<StoredField, kStoredCount>& StoredFields() {
    static const std::array<StoredField, kStoredCount> fields = {{
        {"Name", &Sewer::Name},         {"Index", &Sewer::Index},       {"Lat", &Sewer::lat},
        {"from", &Sewer::from},         {"tom", &Sewer::tom},           {"qadd", &Sewer::qadd},
        {"pop1", &Sewer::pop1},         {"pop2", &Sewer::pop2},         {"area1", &Sewer::area1},
        {"area2", &Sewer::area2},       {"density1", &Sewer::density1}, {"density2", &Sewer::density2},
        {"felv", &Sewer::felv},         {"telv", &Sewer::telv},         {"finv", &Sewer::finv},
        {"tinv", &Sewer::tinv},         {"l", &Sewer::l},               {"Qd", &Sewer::qd},
        {"DIA", &Sewer::dia},           {"slope", &Sewer::slope},       {"Mincover", &Sewer::mincover},
        {"ma1", &Sewer::ma1},           {"ma2", &Sewer::ma2},           {"ma3", &Sewer::ma3},
        {"ma4", &Sewer::ma4},           {"ma5", &Sewer::ma5},           {"X1", &Sewer::x1},
        {"Y1", &Sewer::y1},             {"X2", &Sewer::x2},             {"Y2", &Sewer::y2},
    }};
    return fields;
}

// The type a field's value is stored as (that of a Variant made from it).
uint16_t StoredType(const Prop<Sewer>::Field& f) {
    switch (f.index()) {
        case 0: return vb::vbString;
        case 1: return vb::vbLong;
        case 2: return vb::vbSingle;
        default: return vb::vbInteger;
    }
}

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

void Sewer::Serialize(std::vector<uint8_t>& bytes) const {
    // Each value under its name, as a property bag holds them.
    bytes.clear();
    bytes.reserve(512);
    vb::BeginPropertyBag(bytes);
    for (const StoredField& f : StoredFields()) {
        std::visit(
            [&](auto member) {
                using T = std::remove_cvref_t<decltype(this->*member)>;
                if constexpr (std::is_same_v<T, std::string>) vb::PutBagString(bytes, f.bagName, this->*member);
                else if constexpr (std::is_same_v<T, int32_t>) vb::PutBagLong(bytes, f.bagName, this->*member);
                else if constexpr (std::is_same_v<T, float>) vb::PutBagSingle(bytes, f.bagName, this->*member);
                else vb::PutBagInteger(bytes, f.bagName, this->*member);
            },
            f.field);
    }
    vb::FinishPropertyBag(bytes, kStoredCount);
}

void Sewer::Deserialize(const std::vector<uint8_t>& bytes) { Deserialize(std::vector<uint8_t>(bytes)); }

void Sewer::Deserialize(std::vector<uint8_t>&& bytes) {
    // Bytes as Serialize writes them (these names in this spelling and
    // order, each value of its field's type) are read in place: they are a
    // sound bag with distinct names, and every value would convert to
    // itself.  Anything else goes through a bag.
    std::array<vb::PropertyBagEntry, kStoredCount> seen;
    size_t count = 0;
    if (vb::ViewPropertyBag(bytes, seen.data(), seen.size(), count) && count == kStoredCount) {
        const auto& fields = StoredFields();
        bool same = true;
        for (size_t k = 0; k < kStoredCount && same; ++k)
            same = seen[k].name == fields[k].bagName && seen[k].type == StoredType(fields[k].field);
        if (same) {
            for (size_t k = 0; k < kStoredCount; ++k) {
                const uint8_t* p = seen[k].payload;
                std::visit(
                    [&](auto member) {
                        using T = std::remove_reference_t<decltype(this->*member)>;
                        if constexpr (std::is_same_v<T, std::string>) {
                            (this->*member).assign(reinterpret_cast<const char*>(p + 4), Le32(p));
                        } else if constexpr (std::is_same_v<T, float>) {
                            const uint32_t bits = Le32(p);
                            std::memcpy(&(this->*member), &bits, 4);
                        } else if constexpr (std::is_same_v<T, int32_t>) {
                            this->*member = static_cast<int32_t>(Le32(p));
                        } else {
                            this->*member = static_cast<int16_t>(p[0] | (p[1] << 8));
                        }
                    },
                    fields[k].field);
            }
            return;
        }
    }
    vb::PropertyBag bag;
    try {
        bag.SetContents(std::move(bytes));
    } catch (const vb::VbError&) {
        return;  // no bag: the record stays as it was
    }
    // The names, the property each goes to, and whether
    // its default is the empty text (texts) or the number 0 (everything
    // else, "from" and "tom" included, which thus read as "0").
    struct Stored {
        const char* bagName;
        int slot;
        bool textDefault;
    };
    static const std::vector<Stored> order = [] {
        // In the order Serialize writes them, so that each is found in the
        // bag at the first try; each property is set on its own, so the
        // order changes nothing else.
        const std::pair<const char*, const char*> names[] = {
            {"Name", "Name"}, {"Index", "Index"}, {"Lat", "lat"}, {"from", "from"}, {"tom", "tom"},
            {"qadd", "qadd"}, {"pop1", "pop1"}, {"pop2", "pop2"}, {"area1", "area1"}, {"area2", "area2"},
            {"density1", "density1"}, {"density2", "density2"}, {"felv", "felv"}, {"telv", "telv"},
            {"finv", "finv"}, {"tinv", "tinv"}, {"l", "l"}, {"Qd", "qd"}, {"DIA", "dia"}, {"slope", "slope"},
            {"Mincover", "mincover"}, {"ma1", "ma1"}, {"ma2", "ma2"}, {"ma3", "ma3"}, {"ma4", "ma4"},
            {"ma5", "ma5"}, {"X1", "x1"}, {"Y1", "y1"}, {"X2", "x2"}, {"Y2", "y2"}};
        std::vector<Stored> v;
        for (auto [bagName, property] : names) {
            std::string_view p = property;
            v.push_back({bagName, SlotOf(p), p == "Name" || p == "lat"});
        }
        return v;
    }();
    const vb::Variant noText{std::string()};
    const vb::Variant zero{int16_t(0)};
    // Bytes written by Serialize hold the names in this order and spelling:
    // each value is then taken from its position (names are unique in a
    // bag, so that is the value ReadProperty finds), else looked up.
    for (size_t k = 0; k < order.size(); ++k) {
        const Stored& s = order[k];
        // A value that does not convert leaves its property as it was.
        try {
            if (k < bag.Count() && bag.NameViewAt(k) == s.bagName) LetSlot(s.slot, bag.ValueAt(k));
            else LetSlot(s.slot, bag.ReadProperty(s.bagName, s.textDefault ? noText : zero));
        } catch (const vb::VbError&) {
        }
    }
}

void SerializeSewerObject(bool serialize, vb::Variant& object, std::vector<uint8_t>& data, std::string& id) {
    if (serialize) {
        if (auto s = object.As<Sewer>()) {
            s->Serialize(data);
            id = kSewerClassTag;
        }
    } else if (id == kSewerClassTag) {
        auto s = std::make_shared<Sewer>();
        s->Deserialize(std::move(data));
        object = vb::Variant(s);
    }
}

// --- Testline and lat ------------------------------------------------------------

vb::Variant Testline::GetProperty(std::string_view name) const { return TestlineTable().Get(*this, name); }
void Testline::LetProperty(std::string_view name, const vb::Variant& value) { TestlineTable().Let(*this, name, value); }

vb::Variant lat::GetProperty(std::string_view name) const { return LatTable().Get(*this, name); }
void lat::LetProperty(std::string_view name, const vb::Variant& value) { LatTable().Let(*this, name, value); }

}  // namespace model
