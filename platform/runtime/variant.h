// The runtime's dynamically typed value.
//
// A Variant carries one of the runtime's type numbers (see VarType).  Scalars
// and strings are held by value, objects by shared reference, arrays by value
// (a copy of a Variant that holds an array is a separate array; the storage is
// shared until one side writes, so passing arrays around is cheap).
//
// Empty (0), Null (1) and Nothing (an Object variant with no object) are three
// different states and are kept apart everywhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vb {

// Type numbers as reported by VarType().  An array reports vbArray plus the
// type of its elements (a Variant array is vbArray + vbVariant = 0x200C).
enum VarType : int {
    vbEmpty = 0,
    vbNull = 1,
    vbInteger = 2,      // signed 16-bit
    vbLong = 3,         // signed 32-bit
    vbSingle = 4,       // IEEE 32-bit
    vbDouble = 5,       // IEEE 64-bit
    vbCurrency = 6,     // 64-bit integer scaled by 10,000
    vbDate = 7,         // days since 30 December 1899 as a double
    vbString = 8,
    vbObject = 9,
    vbError = 10,       // an error code value (e.g. a missing optional argument)
    vbBoolean = 11,
    vbVariant = 12,     // only as an array element type
    vbDataObject = 13,
    vbDecimal = 14,
    vbByte = 17,
    vbUserDefinedType = 36,
    vbArray = 0x2000,
};

// The error code that a missing optional argument carries (type vbError).
constexpr int32_t kMissingArgument = static_cast<int32_t>(0x80020004);

class Variant;
class Object;
using ObjectRef = std::shared_ptr<Object>;

// Base of every class instance that a Variant can hold by reference.
// Properties can be read and written by name at run time (late binding);
// a class that supports that overrides GetProperty/LetProperty.  The default
// implementations raise error 438 ("Object doesn't support this property or
// method").
class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object();
    // The class name as the runtime's TypeName() reports it (e.g. "Sewer").
    virtual std::string TypeName() const = 0;
    virtual Variant GetProperty(std::string_view name) const;
    virtual void LetProperty(std::string_view name, const Variant& value);
    // True when the object has a default member, so that its value as a
    // Variant differs from the object itself (a picture's handle, say).
    virtual bool HasDefaultMember() const { return false; }
    virtual Variant DefaultValue() const;
};

// Storage of an array: element type, bounds per dimension (first declared
// dimension first), elements in column-major storage order (first index
// varies fastest, as the runtime stores them).
struct ArrayData {
    VarType elementType = vbVariant;
    std::vector<int32_t> lower;   // lower bound of each dimension
    std::vector<int32_t> count;   // number of elements of each dimension
    uint16_t features = 0;        // feature flags kept with the array
    std::vector<Variant> items;   // every element type except vbByte
    std::vector<uint8_t> bytes;   // the elements of a Byte array

    size_t Size() const;
};

class Variant {
public:
    Variant();                                   // Empty
    Variant(const Variant&);
    Variant(Variant&&) noexcept;
    Variant& operator=(const Variant&);
    Variant& operator=(Variant&&) noexcept;
    ~Variant();

    // Constructors that choose the type from the C++ type.
    Variant(bool v);                             // Boolean
    Variant(int16_t v);                          // Integer
    Variant(int32_t v);                          // Long
    Variant(uint8_t v);                          // Byte
    Variant(float v);                            // Single
    Variant(double v);                           // Double
    Variant(const char* v);                      // String
    Variant(std::string v);                      // String
    Variant(std::string_view v);                 // String
    Variant(ObjectRef v);                        // Object (null pointer = Nothing)
    template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
    Variant(std::shared_ptr<T> v) : Variant(ObjectRef(std::move(v))) {}

    // Named makers for the types that have no C++ type of their own.
    static Variant Null();
    static Variant Nothing();
    static Variant Currency(int64_t scaledBy10000);
    static Variant CurrencyFromDouble(double v);
    static Variant Date(double serial);
    static Variant Error(int32_t code);
    static Variant Missing() { return Error(kMissingArgument); }
    static Variant Long(int32_t v) { return Variant(v); }
    static Variant Integer(int16_t v) { return Variant(v); }
    static Variant Single(float v) { return Variant(v); }
    // A user-defined-type value; held by reference to an opaque object.
    static Variant UserDefined(ObjectRef payload);
    static Variant DataObject(ObjectRef payload);

    // Arrays.  ReDim-style construction: one (lower, upper) pair per
    // dimension, first declared dimension first.
    static Variant MakeArray(VarType elementType,
                             const std::vector<std::pair<int32_t, int32_t>>& bounds);
    static Variant ByteArray(std::vector<uint8_t> bytes, int32_t lower = 0);
    static Variant FromArrayData(ArrayData data);

    // --- Type ---------------------------------------------------------------
    VarType Type() const;           // including vbArray for arrays
    bool IsEmpty() const { return type_ == vbEmpty; }
    bool IsNull() const { return type_ == vbNull; }
    bool IsArray() const { return (type_ & vbArray) != 0; }
    bool IsObject() const { return type_ == vbObject; }   // Nothing included
    bool IsNothing() const { return type_ == vbObject && !obj_; }
    bool IsMissing() const { return type_ == vbError && u_.l == kMissingArgument; }
    bool IsNumeric() const;         // the runtime's IsNumeric()
    bool IsString() const { return type_ == vbString; }

    // --- Raw access (no conversion; the type must match) ---------------------
    int16_t RawInteger() const { return u_.i; }
    int32_t RawLong() const { return u_.l; }
    float RawSingle() const { return u_.f; }
    double RawDouble() const { return u_.d; }
    int64_t RawCurrency() const { return u_.cy; }
    bool RawBoolean() const { return u_.b; }
    uint8_t RawByte() const { return u_.by; }
    int32_t RawError() const { return u_.l; }
    const std::string& RawString() const { return str_; }
    const ObjectRef& RawObject() const { return obj_; }

    // The object held, or an error 91 ("Object variable or With block
    // variable not set") when Nothing, or 13 (type mismatch) for a non-object.
    ObjectRef Obj() const;
    template <class T>
    std::shared_ptr<T> As() const { return std::dynamic_pointer_cast<T>(obj_); }

    // --- Arrays ---------------------------------------------------------------
    int Dimensions() const;                 // 0 when not an array
    int32_t LBound(int dim = 1) const;      // error 9 when out of range
    int32_t UBound(int dim = 1) const;
    const ArrayData& Array() const;         // error 13 when not an array
    ArrayData& MutableArray();              // detaches shared storage
    // Element access by subscripts (error 9 when out of range).
    Variant Element(std::initializer_list<int32_t> subscripts) const;
    Variant Element(int32_t i) const { return Element({i}); }
    void SetElement(std::initializer_list<int32_t> subscripts, const Variant& value);
    void SetElement(int32_t i, const Variant& value) { SetElement({i}, value); }
    // ReDim Preserve of the last dimension.
    void RedimPreserve(int32_t newUpper);
    // Byte arrays as plain bytes (error 13 when not a Byte array).
    const std::vector<uint8_t>& Bytes() const;

    // Ordinary equality as the runtime's "=" compares (numbers by value,
    // strings binary); Null or arrays compare unequal.
    friend bool operator==(const Variant& a, const Variant& b);

private:
    VarType type_ = vbEmpty;
    union {
        int16_t i;
        int32_t l;
        float f;
        double d;
        int64_t cy;
        bool b;
        uint8_t by;
    } u_{};
    std::string str_;
    ObjectRef obj_;                         // object, user-defined type, data object
    std::shared_ptr<ArrayData> arr_;        // array storage, copied on write

    size_t Offset(std::initializer_list<int32_t> subscripts) const;
};

// The runtime's TypeName() of a Variant ("Empty", "Null", "Integer", "Long",
// "Single", "Double", "Currency", "Date", "String", the object's class name,
// "Nothing", "Error", "Boolean", "Byte", and a trailing "()" for arrays).
std::string TypeName(const Variant& v);

}  // namespace vb
