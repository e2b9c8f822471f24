#include <gtest/gtest.h>

#include <functional>

#include <cstring>

#include "model/sewer.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

using namespace model;
using vb::Variant;

namespace {

const std::vector<std::string> kNames = {
    "Name", "Index", "from", "tom", "qadd", "pop1", "pop2", "area1", "area2", "density1", "density2",
    "tl", "l", "felv", "telv", "finv", "tinv", "qd", "slope", "dia", "drop", "x1", "y1", "Z1", "Z2",
    "x2", "x3", "y2", "smh", "sch", "lat", "Color", "grid", "mincover", "ma1", "ma2", "ma3", "ma4",
    "ma5", "ma6", "ma7", "ma8", "ma9", "ma10", "na"};

const std::vector<std::string> kStored = {
    "Name", "Index", "from", "tom", "qadd", "pop1", "pop2", "area1", "area2", "density1", "density2",
    "l", "felv", "telv", "finv", "tinv", "qd", "slope", "dia", "x1", "y1", "x2", "y2", "lat",
    "mincover", "ma1", "ma2", "ma3", "ma4", "ma5"};

// A distinct value of the property's own type for slot i.
Variant Distinct(const Sewer& s, int slot) {
    Variant cur = s.GetSlot(slot);
    switch (cur.Type()) {
        case vb::vbString: return Variant("text" + std::to_string(slot) + " ä");
        case vb::vbLong: return Variant(int32_t(100000 + slot));
        case vb::vbInteger: return Variant(int16_t(-300 - slot));
        default: return Variant(float(slot) / 3.0f + 0.004f);
    }
}

bool SameBits(const Variant& a, const Variant& b) {
    if (a.Type() != b.Type()) return false;
    if (a.IsString()) return a.RawString() == b.RawString();
    if (a.Type() == vb::vbSingle) {
        float x = a.RawSingle(), y = b.RawSingle();
        return std::memcmp(&x, &y, 4) == 0;
    }
    if (a.Type() == vb::vbInteger) return a.RawInteger() == b.RawInteger();
    return a.RawLong() == b.RawLong();
}

bool IsZero(const Variant& v) { return v.IsString() ? v.RawString().empty() : vb::CDbl(v) == 0; }

Sewer Filled() {
    Sewer s;
    for (int slot = 1; slot <= Sewer::kPropertyCount; ++slot) s.LetSlot(slot, Distinct(s, slot));
    return s;
}

}  // namespace

TEST(Sewer, FortyFivePropertiesByNameAndSlot) {
    ASSERT_EQ(Sewer::PropertyNames(), kNames);
    Sewer fresh;
    EXPECT_EQ(fresh.TypeName(), "Sewer");
    for (int slot = 1; slot <= 45; ++slot) EXPECT_TRUE(IsZero(fresh.GetSlot(slot))) << slot;

    Sewer s;
    for (int slot = 1; slot <= 45; ++slot) {
        const std::string& name = kNames[static_cast<size_t>(slot - 1)];
        EXPECT_EQ(Sewer::SlotOf(name), slot);
        EXPECT_EQ(Sewer::SlotOf(vb::UCase(name)), slot);
        Variant value = Distinct(s, slot);
        Sewer before = s;
        s.LetProperty(vb::UCase(name), value);
        EXPECT_TRUE(SameBits(s.GetProperty(name), value)) << name;
        EXPECT_TRUE(SameBits(s.GetSlot(slot), value)) << name;
        // Writing one property never changes another.
        for (int other = 1; other <= 45; ++other) {
            if (other == slot) continue;
            EXPECT_TRUE(SameBits(s.GetSlot(other), before.GetSlot(other))) << name << " touched " << other;
        }
    }
    // Typed fields behind the names.
    EXPECT_EQ(s.dia, -320);
    EXPECT_EQ(s.Index, 100002);
    EXPECT_EQ(s.lat, "text31 ä");
    EXPECT_EQ(Sewer::SlotOf("nosuch"), 0);
    EXPECT_THROW(s.GetProperty("nosuch"), vb::VbError);
    EXPECT_THROW(s.GetSlot(46), vb::VbError);
    EXPECT_THROW(s.LetSlot(0, Variant(1.0)), vb::VbError);
}

TEST(Sewer, AssignmentByNameConvertsLikeTypedFields) {
    Sewer s;
    s.LetProperty("dia", Variant("200"));
    EXPECT_EQ(s.dia, 200);
    s.LetProperty("dia", Variant(2.5));
    EXPECT_EQ(s.dia, 2);                       // half to even
    s.LetProperty("slope", Variant(0.004));
    EXPECT_EQ(s.slope, 0.004f);
    s.LetProperty("from", Variant(int16_t(12)));
    EXPECT_EQ(s.from, "12");
    s.LetProperty("qd", Variant());
    EXPECT_EQ(s.qd, 0.0f);
    try {
        s.LetProperty("ma1", Variant(40000));
        ADD_FAILURE();
    } catch (const vb::VbError& e) {
        EXPECT_EQ(e.Number(), vb::errOverflow);
    }
    EXPECT_EQ(s.ma1, 0);
    EXPECT_THROW(s.LetProperty("felv", Variant("high")), vb::VbError);
}

TEST(Sewer, ByteFormRoundTrip) {
    Sewer a = Filled();
    a.dia = 200;
    a.slope = 0.004f;
    std::vector<uint8_t> bytes;
    a.Serialize(bytes);

    Sewer b;
    b.Deserialize(bytes);
    for (int slot = 1; slot <= 45; ++slot) {
        const std::string& name = kNames[static_cast<size_t>(slot - 1)];
        bool stored = std::find(kStored.begin(), kStored.end(), name) != kStored.end();
        if (stored) EXPECT_TRUE(SameBits(b.GetSlot(slot), a.GetSlot(slot))) << name;
        else EXPECT_TRUE(IsZero(b.GetSlot(slot))) << name;
    }
    EXPECT_EQ(b.dia, 200);
    EXPECT_EQ(std::memcmp(&b.slope, &a.slope, 4), 0);

    // The bag holds the 30 values under their names, in order, with their types.
    vb::PropertyBag bag;
    bag.SetContents(bytes);
    const std::vector<std::pair<std::string, vb::VarType>> expected = {
        {"Name", vb::vbString}, {"Index", vb::vbLong}, {"Lat", vb::vbString}, {"from", vb::vbString},
        {"tom", vb::vbString}, {"qadd", vb::vbSingle}, {"pop1", vb::vbSingle}, {"pop2", vb::vbSingle},
        {"area1", vb::vbSingle}, {"area2", vb::vbSingle}, {"density1", vb::vbSingle}, {"density2", vb::vbSingle},
        {"felv", vb::vbSingle}, {"telv", vb::vbSingle}, {"finv", vb::vbSingle}, {"tinv", vb::vbSingle},
        {"l", vb::vbSingle}, {"Qd", vb::vbSingle}, {"DIA", vb::vbInteger}, {"slope", vb::vbSingle},
        {"Mincover", vb::vbSingle}, {"ma1", vb::vbInteger}, {"ma2", vb::vbInteger}, {"ma3", vb::vbInteger},
        {"ma4", vb::vbInteger}, {"ma5", vb::vbInteger}, {"X1", vb::vbSingle}, {"Y1", vb::vbSingle},
        {"X2", vb::vbSingle}, {"Y2", vb::vbSingle}};
    ASSERT_EQ(bag.Count(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(bag.NameAt(i), expected[i].first);
        EXPECT_EQ(bag.ReadProperty(expected[i].first).Type(), expected[i].second) << expected[i].first;
    }
    // The same bytes as a bag written value by value; bytes that differ
    // from them in a name's spelling, a value's type, an extra name or a
    // repeated one are read as any bag is.
    auto bagOf = [&](const std::function<void(vb::PropertyBag&, const std::string&)>& put) {
        vb::PropertyBag written;
        for (const auto& [name, type] : expected) put(written, name);
        return written.Contents();
    };
    auto plain = [&](vb::PropertyBag& w, const std::string& name) { w.WriteProperty(name, a.GetProperty(name)); };
    EXPECT_EQ(bagOf(plain), bytes);
    auto readBack = [](const std::vector<uint8_t>& from) {
        Sewer r;
        r.Deserialize(from);
        return r;
    };
    EXPECT_EQ(readBack(bagOf([&](vb::PropertyBag& w, const std::string& name) {
                  if (name == "slope") w.WriteProperty(name, Variant(double(a.slope)));
                  else plain(w, name);
              })).slope, a.slope);
    EXPECT_EQ(readBack(bagOf([&](vb::PropertyBag& w, const std::string& name) {
                  w.WriteProperty(name == "qadd" ? "QADD" : name, a.GetProperty(name));
              })).qadd, a.qadd);
    EXPECT_EQ(readBack(bagOf([&](vb::PropertyBag& w, const std::string& name) {
                  plain(w, name);
                  if (name == "Y2") w.WriteProperty("extra", Variant(int16_t(1)));
              })).Name, a.Name);
    const Sewer repeated = readBack(bagOf([&](vb::PropertyBag& w, const std::string& name) {
        if (name == "Y2") w.AppendNew("x2", Variant(1.5f));
        else plain(w, name);
    }));
    EXPECT_EQ(repeated.Name, "");   // refused: nothing read
    EXPECT_EQ(repeated.Index, 0);

    // A fresh record writes empty texts and zeros, and reads them back.
    std::vector<uint8_t> emptyBytes;
    Sewer().Serialize(emptyBytes);
    Sewer c = Filled();
    c.Deserialize(emptyBytes);
    EXPECT_EQ(c.Name, "");
    EXPECT_EQ(c.from, "");
    EXPECT_EQ(c.dia, 0);
    EXPECT_EQ(c.x3, a.x3);   // unstored properties are not touched by reading
}

TEST(Sewer, MissingNamesForeignBytesAndBadValues) {
    vb::PropertyBag bag;
    bag.WriteProperty("Index", Variant(int32_t(1001)));
    bag.WriteProperty("DIA", Variant(int32_t(70000)));        // does not fit the Integer
    bag.WriteProperty("slope", Variant("not a number"));
    bag.WriteProperty("X1", Variant("12.5"));                 // converts
    Sewer s = Filled();
    const Sewer before = s;
    s.Deserialize(bag.Contents());
    EXPECT_EQ(s.Index, 1001);
    EXPECT_EQ(s.Name, "");       // missing text -> empty
    EXPECT_EQ(s.lat, "");
    EXPECT_EQ(s.from, "0");      // missing "from"/"tom" read as the number 0
    EXPECT_EQ(s.tom, "0");
    EXPECT_EQ(s.qd, 0.0f);       // missing number -> 0
    EXPECT_EQ(s.ma5, 0);
    EXPECT_EQ(s.dia, before.dia);       // not convertible: unchanged
    EXPECT_EQ(s.slope, before.slope);
    EXPECT_EQ(s.x1, 12.5f);

    // Bytes that are no bag leave every property as it was.
    for (const std::vector<uint8_t>& foreign :
         {std::vector<uint8_t>{}, std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
          std::vector<uint8_t>(64, 0xFF)}) {
        Sewer t = before;
        t.Deserialize(foreign);
        for (int slot = 1; slot <= 45; ++slot) EXPECT_TRUE(SameBits(t.GetSlot(slot), before.GetSlot(slot))) << slot;
    }
    std::vector<uint8_t> good;
    before.Serialize(good);
    good[good.size() / 2] ^= 0x40;   // damaged
    Sewer t = Sewer();
    t.Deserialize(good);
    EXPECT_EQ(t.Index, 0);
    EXPECT_EQ(t.Name, "");
}

TEST(Sewer, TestlineAndLatRecords) {
    Testline t;
    EXPECT_EQ(t.TypeName(), "Testline");
    t.LetProperty("NAME", Variant("Testline1"));
    t.LetProperty("index", Variant(int32_t(109)));
    t.LetProperty("Lat", Variant("Lateral1"));
    t.LetProperty("ma1", Variant(int16_t(4)));
    t.LetProperty("X1", Variant(1.5));
    t.LetProperty("y1", Variant(2.5f));
    EXPECT_EQ(t.Name, "Testline1");
    EXPECT_EQ(t.Index, 109);
    EXPECT_EQ(t.lat, "Lateral1");
    EXPECT_EQ(t.ma1, 4);
    EXPECT_EQ(vb::CDbl(t.GetProperty("x1")) + vb::CDbl(t.GetProperty("Y1")), 4.0);
    EXPECT_THROW(t.GetProperty("dia"), vb::VbError);

    lat l;
    for (int i = 1; i <= 10; ++i) l.LetProperty("MA" + std::to_string(i), Variant(int16_t(i)));
    l.LetProperty("na", Variant(int16_t(11)));
    EXPECT_EQ(l.ma1 + l.ma10 + l.na, 22);
    EXPECT_EQ(l.GetProperty("ma7").RawInteger(), 7);
}
