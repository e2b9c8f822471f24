#include "platform/runtime/variant.h"

#include <cmath>
#include <utility>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace vb {

Object::~Object() = default;

Variant Object::GetProperty(std::string_view) const { RaiseError(errNotSupported); }

void Object::LetProperty(std::string_view, const Variant&) { RaiseError(errNotSupported); }

Variant Object::DefaultValue() const { RaiseError(errNotSupported); }

size_t ArrayData::Size() const {
    size_t n = count.empty() ? 0 : 1;
    for (int32_t c : count) n *= static_cast<size_t>(c < 0 ? 0 : c);
    return n;
}

Variant::Variant() = default;
Variant::Variant(const Variant&) = default;
Variant::Variant(Variant&& o) noexcept
    : type_(o.type_), u_(o.u_), str_(std::move(o.str_)), obj_(std::move(o.obj_)), arr_(std::move(o.arr_)) {
    o.type_ = vbEmpty;
}
Variant& Variant::operator=(const Variant&) = default;
Variant& Variant::operator=(Variant&& o) noexcept {
    if (this != &o) {
        type_ = o.type_;
        u_ = o.u_;
        str_ = std::move(o.str_);
        obj_ = std::move(o.obj_);
        arr_ = std::move(o.arr_);
        o.type_ = vbEmpty;
    }
    return *this;
}
Variant::~Variant() = default;

Variant::Variant(bool v) : type_(vbBoolean) { u_.b = v; }
Variant::Variant(int16_t v) : type_(vbInteger) { u_.i = v; }
Variant::Variant(int32_t v) : type_(vbLong) { u_.l = v; }
Variant::Variant(uint8_t v) : type_(vbByte) { u_.by = v; }
Variant::Variant(float v) : type_(vbSingle) { u_.f = v; }
Variant::Variant(double v) : type_(vbDouble) { u_.d = v; }
Variant::Variant(const char* v) : type_(vbString), str_(v ? v : "") {}
Variant::Variant(std::string v) : type_(vbString), str_(std::move(v)) {}
Variant::Variant(std::string_view v) : type_(vbString), str_(v) {}
Variant::Variant(ObjectRef v) : type_(vbObject), obj_(std::move(v)) {}

Variant Variant::Null() {
    Variant v;
    v.type_ = vbNull;
    return v;
}
Variant Variant::Nothing() { return Variant(ObjectRef()); }
Variant Variant::Currency(int64_t scaled) {
    Variant v;
    v.type_ = vbCurrency;
    v.u_.cy = scaled;
    return v;
}
Variant Variant::CurrencyFromDouble(double d) {
    double s = RoundHalfEven(d * 10000.0);
    if (!(s >= -9.2233720368547758e18 && s < 9.2233720368547758e18)) RaiseError(errOverflow);
    return Currency(static_cast<int64_t>(s));
}
Variant Variant::Date(double serial) {
    Variant v;
    v.type_ = vbDate;
    v.u_.d = serial;
    return v;
}
Variant Variant::Error(int32_t code) {
    Variant v;
    v.type_ = vbError;
    v.u_.l = code;
    return v;
}
Variant Variant::UserDefined(ObjectRef payload) {
    Variant v;
    v.type_ = vbUserDefinedType;
    v.obj_ = std::move(payload);
    return v;
}
Variant Variant::DataObject(ObjectRef payload) {
    Variant v;
    v.type_ = vbDataObject;
    v.obj_ = std::move(payload);
    return v;
}

namespace {
// The value a new element of an array of this type starts with.
Variant InitialElement(VarType elementType) {
    switch (elementType) {
        case vbInteger: return Variant(int16_t(0));
        case vbLong: return Variant(int32_t(0));
        case vbSingle: return Variant(0.0f);
        case vbDouble: return Variant(0.0);
        case vbCurrency: return Variant::Currency(0);
        case vbDate: return Variant::Date(0);
        case vbString: return Variant(std::string());
        case vbBoolean: return Variant(false);
        case vbObject: return Variant::Nothing();
        case vbError: return Variant::Error(0);
        default: return Variant();
    }
}
}  // namespace

Variant Variant::MakeArray(VarType elementType, const std::vector<std::pair<int32_t, int32_t>>& bounds) {
    ArrayData a;
    a.elementType = elementType;
    uint64_t total = 1;
    for (auto [lo, hi] : bounds) {
        const int64_t count = static_cast<int64_t>(hi) - lo + 1;
        if (count < 0) RaiseError(errSubscriptOutOfRange);
        // More elements than a dimension (or the whole array) can count is
        // out of memory, as the runtime reports it.
        if (count > INT32_MAX) RaiseError(7);
        total *= static_cast<uint64_t>(count);
        if (total > INT32_MAX) RaiseError(7);
        a.lower.push_back(lo);
        a.count.push_back(static_cast<int32_t>(count));
    }
    size_t n = a.Size();
    if (elementType == vbByte) {
        a.bytes.assign(n, 0);
    } else {
        a.items.assign(n, InitialElement(elementType));
    }
    return FromArrayData(std::move(a));
}

Variant Variant::ByteArray(std::vector<uint8_t> bytes, int32_t lower) {
    ArrayData a;
    a.elementType = vbByte;
    a.lower = {lower};
    a.count = {static_cast<int32_t>(bytes.size())};
    a.bytes = std::move(bytes);
    return FromArrayData(std::move(a));
}

Variant Variant::FromArrayData(ArrayData data) {
    Variant v;
    v.type_ = static_cast<VarType>(vbArray | data.elementType);
    v.arr_ = std::make_shared<ArrayData>(std::move(data));
    return v;
}

VarType Variant::Type() const { return type_; }

bool Variant::IsNumeric() const {
    switch (type_) {
        case vbInteger: case vbLong: case vbSingle: case vbDouble: case vbCurrency:
        case vbBoolean: case vbByte: case vbDecimal: case vbEmpty:
            return true;
        case vbString: {
            double ignored = 0;
            try {
                return ParseNumericText(str_, ignored);
            } catch (const VbError&) {
                return false;  // a number too large for a Double
            }
        }
        default:
            return false;
    }
}

ObjectRef Variant::Obj() const {
    if (type_ != vbObject) RaiseError(errTypeMismatch);
    if (!obj_) RaiseError(errObjectNotSet);
    return obj_;
}

int Variant::Dimensions() const { return IsArray() && arr_ ? static_cast<int>(arr_->count.size()) : 0; }

int32_t Variant::LBound(int dim) const {
    const ArrayData& a = Array();
    if (dim < 1 || dim > static_cast<int>(a.lower.size())) RaiseError(errSubscriptOutOfRange);
    return a.lower[dim - 1];
}

int32_t Variant::UBound(int dim) const {
    const ArrayData& a = Array();
    if (dim < 1 || dim > static_cast<int>(a.lower.size())) RaiseError(errSubscriptOutOfRange);
    return static_cast<int32_t>(static_cast<int64_t>(a.lower[dim - 1]) + a.count[dim - 1] - 1);
}

const ArrayData& Variant::Array() const {
    if (!IsArray() || !arr_) RaiseError(errTypeMismatch);
    return *arr_;
}

ArrayData& Variant::MutableArray() {
    if (!IsArray() || !arr_) RaiseError(errTypeMismatch);
    if (arr_.use_count() > 1) arr_ = std::make_shared<ArrayData>(*arr_);
    return *arr_;
}

size_t Variant::Offset(std::initializer_list<int32_t> subscripts) const {
    const ArrayData& a = Array();
    if (subscripts.size() != a.count.size()) RaiseError(errSubscriptOutOfRange);
    size_t offset = 0, stride = 1, d = 0;
    for (int32_t s : subscripts) {
        int64_t rel = static_cast<int64_t>(s) - a.lower[d];
        if (rel < 0 || rel >= a.count[d]) RaiseError(errSubscriptOutOfRange);
        offset += static_cast<size_t>(rel) * stride;
        stride *= static_cast<size_t>(a.count[d]);
        ++d;
    }
    return offset;
}

Variant Variant::Element(std::initializer_list<int32_t> subscripts) const {
    size_t off = Offset(subscripts);
    const ArrayData& a = *arr_;
    if (a.elementType == vbByte) return Variant(a.bytes[off]);
    return a.items[off];
}

void Variant::SetElement(std::initializer_list<int32_t> subscripts, const Variant& value) {
    size_t off = Offset(subscripts);
    ArrayData& a = MutableArray();
    if (a.elementType == vbByte) {
        a.bytes[off] = CByte(value);
    } else if (a.elementType == vbVariant) {
        a.items[off] = value;
    } else if (a.elementType == vbObject) {
        if (value.type_ != vbObject) RaiseError(errTypeMismatch);
        a.items[off] = value;
    } else {
        a.items[off] = ConvertTo(value, a.elementType);
    }
}

void Variant::RedimPreserve(int32_t newUpper) {
    ArrayData& a = MutableArray();
    if (a.count.empty()) RaiseError(errSubscriptOutOfRange);
    int64_t newCount = static_cast<int64_t>(newUpper) - a.lower.back() + 1;
    if (newCount < 0 || newCount > INT32_MAX) RaiseError(errSubscriptOutOfRange);
    a.count.back() = static_cast<int32_t>(newCount);
    size_t n = a.Size();
    if (a.elementType == vbByte) {
        a.bytes.resize(n, 0);
    } else {
        a.items.resize(n, InitialElement(a.elementType));
    }
}

const std::vector<uint8_t>& Variant::Bytes() const {
    const ArrayData& a = Array();
    if (a.elementType != vbByte) RaiseError(errTypeMismatch);
    return a.bytes;
}

bool operator==(const Variant& a, const Variant& b) {
    if (a.IsNull() || b.IsNull() || a.IsArray() || b.IsArray()) return false;
    if (a.IsObject() || b.IsObject()) return a.IsObject() && b.IsObject() && a.RawObject() == b.RawObject();
    if (a.IsString() && b.IsString()) return a.RawString() == b.RawString();
    if (a.IsEmpty() && b.IsString()) return b.RawString().empty();
    if (b.IsEmpty() && a.IsString()) return a.RawString().empty();
    if (a.Type() == vbError || b.Type() == vbError)
        return a.Type() == b.Type() && a.RawError() == b.RawError();
    try {
        return CDbl(a) == CDbl(b);
    } catch (const VbError&) {
        return false;
    }
}

std::string TypeName(const Variant& v) {
    std::string base;
    VarType t = static_cast<VarType>(v.Type() & ~vbArray);
    switch (t) {
        case vbEmpty: base = "Empty"; break;
        case vbNull: base = "Null"; break;
        case vbInteger: base = "Integer"; break;
        case vbLong: base = "Long"; break;
        case vbSingle: base = "Single"; break;
        case vbDouble: base = "Double"; break;
        case vbCurrency: base = "Currency"; break;
        case vbDate: base = "Date"; break;
        case vbString: base = "String"; break;
        case vbObject:
            if (v.IsArray()) base = "Object";
            else base = v.RawObject() ? v.RawObject()->TypeName() : "Nothing";
            break;
        case vbError: base = "Error"; break;
        case vbBoolean: base = "Boolean"; break;
        case vbVariant: base = "Variant"; break;
        case vbDataObject: base = "DataObject"; break;
        case vbDecimal: base = "Decimal"; break;
        case vbByte: base = "Byte"; break;
        case vbUserDefinedType: base = "UserDefinedType"; break;
        default: base = "Unknown"; break;
    }
    return v.IsArray() ? base + "()" : base;
}

}  // namespace vb
