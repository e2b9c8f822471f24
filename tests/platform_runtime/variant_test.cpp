// Variant: type numbers, Empty/Null/Nothing, sharing of objects and copying
// of strings and arrays, bounds and dimensions.
#include <gtest/gtest.h>

#include <memory>

#include "platform/runtime/conversions.h"
#include "platform/runtime/variant.h"
#include "tests/platform_runtime/error_of.h"

using namespace vb;

namespace {

class Thing : public Object {
public:
    std::string TypeName() const override { return "Thing"; }
    int value = 0;
};

}  // namespace

TEST(Variant, TypesAndTheThreeKindsOfNothing) {
    EXPECT_EQ(Variant().Type(), vbEmpty);
    EXPECT_EQ(Variant::Null().Type(), vbNull);
    EXPECT_EQ(Variant(int16_t(1)).Type(), vbInteger);
    EXPECT_EQ(Variant(int32_t(1)).Type(), vbLong);
    EXPECT_EQ(Variant(1.0f).Type(), vbSingle);
    EXPECT_EQ(Variant(1.0).Type(), vbDouble);
    EXPECT_EQ(Variant::Currency(1).Type(), vbCurrency);
    EXPECT_EQ(Variant::Date(1).Type(), vbDate);
    EXPECT_EQ(Variant("a").Type(), vbString);
    EXPECT_EQ(Variant(true).Type(), vbBoolean);
    EXPECT_EQ(Variant(uint8_t(1)).Type(), vbByte);
    EXPECT_EQ(Variant::MakeArray(vbVariant, {{0, 1}}).Type(), vbArray + vbVariant);

    // Empty, Null and Nothing are kept apart.
    Variant empty, null = Variant::Null(), nothing = Variant::Nothing();
    EXPECT_TRUE(empty.IsEmpty() && !empty.IsNull() && !empty.IsNothing());
    EXPECT_TRUE(null.IsNull() && !null.IsEmpty() && !null.IsNothing());
    EXPECT_TRUE(nothing.IsNothing() && nothing.IsObject() && !nothing.IsEmpty());
    EXPECT_EQ(TypeName(empty), "Empty");
    EXPECT_EQ(TypeName(null), "Null");
    EXPECT_EQ(TypeName(nothing), "Nothing");
    EXPECT_EQ(ErrorOf([&] { nothing.Obj(); }), errObjectNotSet);
    EXPECT_EQ(ErrorOf([&] { empty.Obj(); }), errTypeMismatch);
    EXPECT_TRUE(empty == Variant(""));
    EXPECT_TRUE(empty == Variant(0.0));
    EXPECT_FALSE(null == null);
    EXPECT_TRUE(Variant(int16_t(2)) == Variant(2.0));
}

TEST(Variant, ObjectsAreSharedStringsAndArraysCopied) {
    auto t = std::make_shared<Thing>();
    Variant a(t);
    Variant b = a;
    b.As<Thing>()->value = 7;
    EXPECT_EQ(a.As<Thing>()->value, 7) << "a copy refers to the same object";
    EXPECT_TRUE(a == b);
    EXPECT_EQ(TypeName(a), "Thing");

    Variant s("abc");
    Variant s2 = s;
    s2 = Variant("xyz");
    EXPECT_EQ(s.RawString(), "abc");

    Variant arr = Variant::MakeArray(vbLong, {{1, 3}});
    Variant copy = arr;
    copy.SetElement(2, Variant(int16_t(9)));
    EXPECT_EQ(arr.Element(2).RawLong(), 0) << "writing to a copy leaves the original array alone";
    EXPECT_EQ(copy.Element(2).Type(), vbLong) << "elements keep the array's type";
    EXPECT_EQ(copy.Element(2).RawLong(), 9);
}

TEST(Variant, ArraysWithBoundsAndSeveralDimensions) {
    Variant m = Variant::MakeArray(vbDouble, {{-1, 1}, {5, 8}});
    EXPECT_EQ(m.Dimensions(), 2);
    EXPECT_EQ(m.LBound(1), -1);
    EXPECT_EQ(m.UBound(1), 1);
    EXPECT_EQ(m.LBound(2), 5);
    EXPECT_EQ(m.UBound(2), 8);
    EXPECT_EQ(ErrorOf([&] { m.UBound(3); }), errSubscriptOutOfRange);
    m.SetElement({1, 8}, Variant(2.5));
    m.SetElement({-1, 5}, Variant(-1.0));
    EXPECT_EQ(m.Element({1, 8}).RawDouble(), 2.5);
    EXPECT_EQ(m.Element({-1, 5}).RawDouble(), -1.0);
    EXPECT_EQ(m.Element({0, 6}).RawDouble(), 0.0);
    EXPECT_EQ(ErrorOf([&] { m.Element({2, 5}); }), errSubscriptOutOfRange);
    EXPECT_EQ(ErrorOf([&] { m.Element({0, 4}); }), errSubscriptOutOfRange);
    EXPECT_EQ(ErrorOf([&] { m.Element(0); }), errSubscriptOutOfRange) << "wrong number of subscripts";
    EXPECT_EQ(ErrorOf([&] { m.SetElement({0, 5}, Variant("x")); }), errTypeMismatch);

    // ReDim Preserve grows the last dimension and keeps what is there.
    m.RedimPreserve(10);
    EXPECT_EQ(m.UBound(2), 10);
    EXPECT_EQ(m.Element({1, 8}).RawDouble(), 2.5);
    EXPECT_EQ(m.Element({1, 10}).Type(), vbDouble);

    // New elements get their type's empty value, whatever the type.
    for (VarType t : {vbString, vbError, vbObject, vbDate, vbVariant, vbBoolean}) {
        Variant a = Variant::MakeArray(t, {{0, 0}});
        const VarType before = a.Element(0).Type();
        EXPECT_EQ(ErrorOf([&] { a.RedimPreserve(2); }), 0) << "element type " << t;
        EXPECT_EQ(a.Element(2).Type(), before) << "element type " << t;
    }
    // Bounds whose element count does not fit: refused, never a wrapped count.
    EXPECT_EQ(ErrorOf([] { Variant::MakeArray(vbVariant, {{0, INT32_MAX}}); }), 7);
    EXPECT_EQ(ErrorOf([] { Variant::MakeArray(vbVariant, {{INT32_MIN, 0}}); }), 7);
    EXPECT_EQ(ErrorOf([] { Variant::MakeArray(vbByte, {{0, 99999}, {0, 99999}}); }), 7);
    EXPECT_EQ(ErrorOf([] { Variant::MakeArray(vbVariant, {{5, 3}}); }), errSubscriptOutOfRange);
    EXPECT_EQ(Variant::MakeArray(vbVariant, {{INT32_MAX, INT32_MAX}}).UBound(), INT32_MAX);

    Variant bytes = Variant::ByteArray({1, 2, 3}, 1);
    EXPECT_EQ(bytes.UBound(), 3);
    EXPECT_EQ(bytes.Element(3).RawByte(), 3);
    EXPECT_EQ(ErrorOf([&] { bytes.SetElement(1, Variant(300)); }), errOverflow);
    EXPECT_EQ(TypeName(bytes), "Byte()");
}
