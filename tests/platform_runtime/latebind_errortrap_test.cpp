#include <gtest/gtest.h>

#include <functional>

#include "platform/runtime/conversions.h"
#include "platform/runtime/errortrap.h"
#include "platform/runtime/latebind.h"
#include "tests/platform_runtime/error_of.h"

using namespace vb;

namespace {

class Point : public Object {
public:
    double x = 0;
    std::string TypeName() const override { return "Point"; }
    Variant GetProperty(std::string_view name) const override {
        if (SameName(name, "X")) return Variant(x);
        return Object::GetProperty(name);
    }
    void LetProperty(std::string_view name, const Variant& v) override {
        if (SameName(name, "X")) x = CDbl(v);
        else Object::LetProperty(name, v);
    }
};

}  // namespace

TEST(LateBinding, PropertiesByName) {
    auto p = std::make_shared<Point>();
    Variant v(p);
    LetProp(v, "x", Variant("2.5"));
    EXPECT_EQ(p->x, 2.5);
    EXPECT_EQ(GetProp(v, "X").RawDouble(), 2.5);
    EXPECT_EQ(GetProp(ObjectRef(p), "x").RawDouble(), 2.5);
    EXPECT_EQ(ErrorOf([&] { GetProp(v, "y"); }), errNotSupported);
    EXPECT_EQ(ErrorOf([&] { LetProp(v, "y", Variant(1.0)); }), errNotSupported);
    EXPECT_EQ(ErrorOf([] { GetProp(Variant::Nothing(), "x"); }), errObjectNotSet);
    EXPECT_EQ(ErrorOf([] { GetProp(Variant(1.0), "x"); }), 424);
    EXPECT_EQ(ErrorOf([&] { LetProp(v, "x", Variant("abc")); }), errTypeMismatch);
    EXPECT_EQ(p->x, 2.5);
}

TEST(ErrorTrap, ResumeNextRecordsAndGoesOn) {
    ErrorTrap trap;
    int reached = 0;
    EXPECT_TRUE(resumeNext(trap, [&] { ++reached; }));
    EXPECT_FALSE(trap.HasError());
    EXPECT_FALSE(resumeNext(trap, [&] { CInt(1e9); ++reached; }));
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(trap.Number(), errOverflow);
    EXPECT_EQ(trap.Description(), "Overflow");
    EXPECT_TRUE(resumeNext(trap, [&] { ++reached; }));
    EXPECT_EQ(trap.Number(), errOverflow);   // kept until cleared, as Err is
    EXPECT_FALSE(resumeNext(trap, [] { throw VbError(1001, "Custom", "Src"); }));
    EXPECT_EQ(trap.Number(), 1001);
    EXPECT_EQ(trap.Source(), "Src");
    EXPECT_FALSE(resumeNext(trap, [] { std::vector<int>().at(3); }));
    EXPECT_EQ(trap.Number(), 51);
    trap.Clear();
    EXPECT_EQ(trap.Number(), 0);
    EXPECT_EQ(trap.Description(), "");
    EXPECT_EQ(StandardErrorDescription(91), "Object variable or With block variable not set");
}
