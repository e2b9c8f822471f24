// The keyed tree's byte form: names, order and contents of the stored
// values, round trips of the default-network shape with its pipe records, and
// loading of damaged bytes.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/propertybag.h"
#include "platform/runtime/vberror.h"

using model::cNodeCollection;
using model::Sewer;
using vb::Variant;

namespace {

int32_t I32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24));
}

vb::PropertyBag BagOf(const std::vector<uint8_t>& bytes) {
    vb::PropertyBag bag;
    bag.SetContents(bytes);
    return bag;
}

std::vector<std::string> Names(const vb::PropertyBag& bag) {
    std::vector<std::string> out;
    for (size_t i = 0; i < bag.Count(); ++i) out.push_back(bag.NameAt(i));
    return out;
}

std::shared_ptr<Sewer> Pipe(const std::string& name, float felv, int16_t dia) {
    auto s = std::make_shared<Sewer>();
    s->Name = name;
    s->Index = 1001;
    s->from = "M" + name;
    s->tom = "N" + name;
    s->felv = felv;
    s->finv = felv - 2.5f;
    s->slope = 0.004f;
    s->dia = dia;
    s->l = 50;
    s->qd = 10;
    s->mincover = 2;
    s->lat = "Lateral1";
    s->ma2 = 7;
    s->x1 = 1.25f;
    s->y2 = -3.5f;
    s->tl = 99;  // not stored
    return s;
}

Variant NodeValueArray(const std::string& name, std::shared_ptr<Sewer> s) {
    Variant v = Variant::MakeArray(vb::vbVariant, {{0, 3}});
    v.SetElement(0, Variant(name));
    v.SetElement(1, Variant(int32_t(12)));
    v.SetElement(3, Variant(std::move(s)));
    return v;
}

// A network shaped like the default one, with a few pipes.
void BuildNetwork(cNodeCollection& c) {
    c.AddItem(NodeValueArray("Sewer", Pipe("Sewer", 0, 0)), "ObjSewer", "", 2);
    c.AddItem(NodeValueArray("Lateral1", Pipe("Lateral1", 102, 200)), "ObjLateral1", "", 2);
    for (int i = 1; i <= 4; ++i)
        c.AddItem(NodeValueArray("Se " + std::to_string(i), Pipe("Se " + std::to_string(i), 100.0f + i, 300)),
                  "ObjSe " + std::to_string(i), "ObjLateral1", 5);
    for (int d = 2; d <= 16; ++d)
        c.AddItem(NodeValueArray("Diameter" + std::to_string(d), Pipe("Diameter" + std::to_string(d), 0, int16_t(100 * d))),
                  "ObjDiameter" + std::to_string(d), "", 2);
}

void ExpectSameSewer(const Sewer& a, const Sewer& b) {
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Index, b.Index);
    EXPECT_EQ(a.from, b.from);
    EXPECT_EQ(a.tom, b.tom);
    EXPECT_EQ(a.lat, b.lat);
    EXPECT_EQ(a.dia, b.dia);
    EXPECT_EQ(a.ma2, b.ma2);
    for (auto f : {&Sewer::felv, &Sewer::finv, &Sewer::slope, &Sewer::l, &Sewer::qd, &Sewer::mincover, &Sewer::x1,
                   &Sewer::y2})
        EXPECT_EQ(std::memcmp(&(a.*f), &(b.*f), sizeof(float)), 0);
}

std::vector<uint8_t> Save(cNodeCollection& c) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(c.SaveCollection(bytes));
    return bytes;
}

}  // namespace

TEST(NodeCollectionBytes, RecordsNamesAndOrder) {
    cNodeCollection c;
    c.AddItem(Variant(), "", "", 2);
    auto bag = BagOf(Save(c));
    EXPECT_EQ(Names(bag), (std::vector<std::string>{"1N", "1S", "Count"}));
    EXPECT_EQ(bag.ReadProperty("1N").Bytes().size(), 6u);
    EXPECT_TRUE(bag.ReadProperty("1S", Variant("absent")).IsEmpty());
    auto count = bag.ReadProperty("Count").Bytes();
    ASSERT_EQ(count.size(), 12u);
    EXPECT_EQ(I32(count, 0), 1);
    EXPECT_EQ(I32(count, 4), 1);
    EXPECT_EQ(I32(count, 8), 10);

    cNodeCollection k;
    k.AddItem(Variant(true), "Abcdef", "", 2);
    auto rec = BagOf(Save(k)).ReadProperty("1N").Bytes();
    ASSERT_EQ(rec.size(), 6u + 12u);
    EXPECT_EQ(rec[4] | (rec[5] << 8), vb::vbBoolean);
    EXPECT_EQ(rec[6], 'A');
    EXPECT_EQ(rec[7], 0);

    // Pre-order record numbers; loading gives the same indices.
    cNodeCollection t;
    t.AddItem(Variant("A"), "A", "", 2);
    t.AddItem(Variant("B"), "B", "", 2);
    t.AddItem(Variant("A1"), "A1", "A", 5);
    t.AddItem(Variant("A2"), "A2", "A", 5);
    t.KeysCaseSensitive(false);
    // The save order names each record's node: B (index 2) is saved last.
    EXPECT_EQ(t.SaveOrder(), (std::vector<int32_t>{1, 3, 4, 2}));
    auto bytes = Save(t);
    auto tb = BagOf(bytes);
    EXPECT_EQ(Names(tb), (std::vector<std::string>{"1N", "1S", "2N", "2S", "3N", "3S", "4N", "4S", "Count"}));
    EXPECT_EQ(tb.ReadProperty("3S").RawString(), "A2");
    std::vector<int32_t> parents;
    for (int n = 1; n <= 4; ++n) parents.push_back(I32(tb.ReadProperty(std::to_string(n) + "N").Bytes(), 0));
    EXPECT_EQ(parents, (std::vector<int32_t>{0, 1, 1, 0}));
    cNodeCollection u;
    u.CollectionBufferLimit(3);
    ASSERT_TRUE(u.LoadCollection(bytes));
    EXPECT_EQ(u.KeyToIndex("A"), 1);
    EXPECT_EQ(u.KeyToIndex("A1"), 2);
    EXPECT_EQ(u.KeyToIndex("A2"), 3);
    EXPECT_EQ(u.KeyToIndex("B"), 4);
    EXPECT_EQ(u.CollectionBufferLimit(), 10);  // taken from the bytes
    EXPECT_EQ(u.NodeTableUpperBound(), 4);     // exactly the nodes
    u.AddItem(Variant(), "", "", 2);
    EXPECT_EQ(u.NodeTableUpperBound(), 15);
    EXPECT_EQ(u.CheckConsistency(), "");

    EXPECT_FALSE(cNodeCollection().SaveCollection(bytes));  // no nodes: no bytes
}

TEST(NodeCollectionBytes, PlainValuesAndArraysRoundTrip) {
    cNodeCollection c;
    c.AddItem(Variant(true), "bool", "", 2);
    c.AddItem(Variant::Error(5), "err", "", 2);
    c.AddItem(Variant::Null(), "null", "", 2);
    c.AddItem(Variant(int16_t(-7)), "int", "", 2);
    c.AddItem(Variant(123456789), "long", "", 2);
    c.AddItem(Variant(0.004f), "single", "", 2);
    c.AddItem(Variant(2.5e300), "double", "", 2);
    c.AddItem(Variant::Currency(-12345678), "cur", "", 2);
    c.AddItem(Variant::Date(45000.25), "date", "", 2);
    c.AddItem(Variant("Ünïcode ✓ 𝄞"), "text", "", 2);
    c.AddItem(Variant(uint8_t(200)), "byte", "", 2);
    c.AddItem(Variant::Nothing(), "nothing", "", 2);

    Variant grid = Variant::MakeArray(vb::vbLong, {{1, 2}, {-1, 1}});
    for (int i = 1; i <= 2; ++i)
        for (int j = -1; j <= 1; ++j) grid.SetElement({i, j}, Variant(int32_t(i * 10 + j)));
    c.AddItem(grid, "grid", "", 2);
    Variant texts = Variant::MakeArray(vb::vbString, {{0, 2}});
    texts.SetElement(0, Variant("a"));
    texts.SetElement(2, Variant("ccc"));
    c.AddItem(texts, "texts", "", 2);
    c.AddItem(Variant::ByteArray({1, 2, 3}, 5), "bytes", "", 2);
    Variant flags = Variant::MakeArray(vb::vbBoolean, {{0, 1}});
    flags.SetElement(1, Variant(true));
    c.AddItem(flags, "flags", "", 2);
    Variant inner = Variant::MakeArray(vb::vbDouble, {{0, 1}});
    inner.SetElement(1, Variant(1.5));
    Variant mixed = Variant::MakeArray(vb::vbVariant, {{0, 7}});
    mixed.SetElement(0, Variant("x"));
    mixed.SetElement(1, Variant::Null());
    mixed.SetElement(2, Variant::Error(3));
    mixed.SetElement(3, inner);
    mixed.SetElement(4, Variant(uint8_t(9)));
    mixed.SetElement(5, Variant::Currency(5));
    mixed.SetElement(6, Variant::Nothing());
    c.AddItem(mixed, "mixed", "", 2);
    Variant objects = Variant::MakeArray(vb::vbObject, {{0, 2}});
    objects.SetElement(1, Variant(Pipe("obj", 5, 150)));
    c.AddItem(objects, "objects", "", 2);
    c.SerializeObject = model::SerializeSewerObject;

    auto bytes = Save(c);
    cNodeCollection d;
    d.SerializeObject = model::SerializeSewerObject;
    ASSERT_TRUE(d.LoadCollection(bytes));
    ASSERT_EQ(d.ItemCount(), c.ItemCount());
    EXPECT_EQ(d.Item("bool").Type(), vb::vbBoolean);
    EXPECT_TRUE(d.Item("bool").RawBoolean());
    EXPECT_TRUE(d.Item("err").IsNothing());
    EXPECT_TRUE(d.Item("null").IsNull());
    EXPECT_EQ(d.Item("int").RawInteger(), -7);
    EXPECT_EQ(d.Item("long").RawLong(), 123456789);
    EXPECT_EQ(d.Item("single").RawSingle(), 0.004f);
    EXPECT_EQ(d.Item("double").RawDouble(), 2.5e300);
    EXPECT_EQ(d.Item("cur").RawCurrency(), -12345678);
    EXPECT_EQ(d.Item("date").Type(), vb::vbDate);
    EXPECT_EQ(d.Item("text").RawString(), "Ünïcode ✓ 𝄞");
    EXPECT_EQ(d.Item("byte").RawByte(), 200);
    EXPECT_TRUE(d.Item("nothing").IsNothing());

    Variant g = d.Item("grid");
    EXPECT_EQ(g.Type(), vb::vbArray | vb::vbLong);
    EXPECT_EQ(g.LBound(2), -1);
    EXPECT_EQ(g.UBound(1), 2);
    EXPECT_EQ(g.Element({2, -1}).RawLong(), 19);
    EXPECT_EQ(g.Element({1, 1}).RawLong(), 11);
    EXPECT_EQ(d.Item("texts").Element(2).RawString(), "ccc");
    EXPECT_EQ(d.Item("texts").Element(1).RawString(), "");
    EXPECT_EQ(d.Item("bytes").Bytes(), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(d.Item("bytes").LBound(), 5);
    EXPECT_TRUE(d.Item("flags").Element(1).RawBoolean());
    Variant m = d.Item("mixed");
    EXPECT_EQ(m.Element(0).RawString(), "x");
    EXPECT_TRUE(m.Element(1).IsNull());
    EXPECT_TRUE(m.Element(2).IsNothing());
    EXPECT_EQ(m.Element(3).Element(1).RawDouble(), 1.5);
    EXPECT_EQ(m.Element(4).RawByte(), 9);
    EXPECT_EQ(m.Element(5).RawCurrency(), 5);
    EXPECT_TRUE(m.Element(6).IsNothing());
    EXPECT_TRUE(m.Element(7).IsEmpty());
    Variant o = d.Item("objects");
    EXPECT_EQ(o.Type(), vb::vbArray | vb::vbObject);
    EXPECT_TRUE(o.Element(0).IsNothing());
    ASSERT_TRUE(o.Element(1).As<Sewer>());
    EXPECT_EQ(o.Element(1).As<Sewer>()->dia, 150);
    EXPECT_EQ(d.CheckConsistency(), "");
}

TEST(NodeCollectionBytes, DefaultNetworkRoundTripWithPipeRecords) {
    cNodeCollection c;
    BuildNetwork(c);
    c.SerializeObject = model::SerializeSewerObject;
    auto bytes = Save(c);

    // A pipe node's values, in order.
    auto bag = BagOf(bytes);
    auto names = Names(bag);
    // Record 4 is "ObjSe 2": Sewer, Lateral1, Se 1, Se 2.
    auto at = std::find(names.begin(), names.end(), "4N");
    ASSERT_NE(at, names.end());
    EXPECT_EQ(std::vector<std::string>(at, at + 5), (std::vector<std::string>{"4N", "4S.3", "4S.3K", "4S", "4SA"}));
    auto rec = bag.ReadProperty("4N").Bytes();
    EXPECT_EQ(rec[4] | (rec[5] << 8), 0x200C);
    EXPECT_EQ(I32(rec, 0), 2);
    EXPECT_EQ(bag.ReadProperty("4S.3K").RawString(), "testClass");
    EXPECT_EQ(bag.ReadProperty("4SA").Bytes().size(), 10u);
    EXPECT_EQ(names.back(), "Count");

    cNodeCollection d;
    d.SerializeObject = model::SerializeSewerObject;
    ASSERT_TRUE(d.LoadCollection(bytes));
    EXPECT_EQ(d.CheckConsistency(), "");
    ASSERT_EQ(d.ItemCount(), c.ItemCount());
    for (int32_t k = 1; k <= c.IndexFromKeyIndex(0); ++k) {
        int32_t i = c.IndexFromKeyIndex(k);
        std::string key = c.Key(i);
        SCOPED_TRACE(key);
        int32_t j = d.KeyToIndex(key);
        ASSERT_GT(j, 0);
        int32_t pi = c.Parent(i).RawLong(), pj = d.Parent(j).RawLong();
        EXPECT_EQ(pi == 0 ? std::string() : c.Key(pi), pj == 0 ? std::string() : d.Key(pj));
        int32_t si = c.NextSibling(i), sj = d.NextSibling(j);
        EXPECT_EQ(si == 0 ? std::string() : c.Key(si), sj == 0 ? std::string() : d.Key(sj));
        Variant vi = c.Item(i), vj = d.Item(j);
        EXPECT_EQ(vj.Type(), vb::vbArray | vb::vbVariant);
        EXPECT_EQ(vj.LBound(), 0);
        EXPECT_EQ(vj.UBound(), 3);
        EXPECT_EQ(vj.Element(0).RawString(), vi.Element(0).RawString());
        EXPECT_EQ(vj.Element(1).RawLong(), 12);
        EXPECT_TRUE(vj.Element(2).IsEmpty());
        auto a = vi.Element(3).As<Sewer>();
        auto b = vj.Element(3).As<Sewer>();
        ASSERT_TRUE(b);
        EXPECT_NE(a, b);  // a new record
        ExpectSameSewer(*a, *b);
        EXPECT_EQ(b->tl, 0);  // not stored
    }
    // Record numbers follow pre-order: the lateral's pipes come right after it.
    EXPECT_EQ(d.KeyToIndex("ObjSewer"), 1);
    EXPECT_EQ(d.KeyToIndex("ObjLateral1"), 2);
    EXPECT_EQ(d.KeyToIndex("ObjSe 4"), 6);
    EXPECT_EQ(d.KeyToIndex("ObjDiameter2"), 7);
}

TEST(NodeCollectionBytes, UnknownTagsMissingHandlerAndFailingSaves) {
    cNodeCollection c;
    BuildNetwork(c);
    // A handler that tags pipes of one lateral with a class nobody knows.
    c.SerializeObject = [](bool s, Variant& o, std::vector<uint8_t>& data, std::string& id) {
        model::SerializeSewerObject(s, o, data, id);
        if (s && o.As<Sewer>()->Name == "Se 3") id = "otherClass";
    };
    auto bytes = Save(c);
    cNodeCollection d;
    d.SerializeObject = model::SerializeSewerObject;
    ASSERT_TRUE(d.LoadCollection(bytes));
    EXPECT_TRUE(d.Item("ObjSe 3").Element(3).IsEmpty());
    EXPECT_TRUE(d.Item("ObjSe 4").Element(3).As<Sewer>());

    // Without a handler the objects are stored as an empty tag and load empty.
    cNodeCollection plain;
    BuildNetwork(plain);
    auto noHandler = Save(plain);
    EXPECT_EQ(BagOf(noHandler).ReadProperty("1S.3K").RawString(), "");
    EXPECT_FALSE(BagOf(noHandler).Has("1S.3"));
    ASSERT_TRUE(d.LoadCollection(noHandler));
    EXPECT_TRUE(d.Item("ObjSewer").Element(3).IsEmpty());

    // A handler that fails part-way: False, and the array is not touched.
    cNodeCollection f;
    BuildNetwork(f);
    int calls = 0;
    f.SerializeObject = [&](bool s, Variant& o, std::vector<uint8_t>& data, std::string& id) {
        if (++calls == 5) throw vb::VbError(70, "Permission denied", "handler");
        model::SerializeSewerObject(s, o, data, id);
    };
    std::vector<uint8_t> untouched{9, 9};
    EXPECT_FALSE(f.SaveCollection(untouched));
    EXPECT_EQ(untouched, (std::vector<uint8_t>{9, 9}));
    EXPECT_EQ(f.CheckConsistency(), "");
}

TEST(NodeCollectionBytes, DamagedBytesNeverLoadHalfATree) {
    cNodeCollection c;
    c.AddItem(Variant(), "old", "", 2);
    auto e = [&] {
        try {
            c.LoadCollection({1, 2, 3});
        } catch (const vb::VbError& err) {
            return err;
        }
        return vb::VbError(0, "", "");
    }();
    EXPECT_EQ(e.Number(), static_cast<int32_t>(0x80000506));
    EXPECT_EQ(e.Description(), "Invalid Collection Items for this Class");
    EXPECT_EQ(e.Source(), "Collection.LoadCollection");
    EXPECT_EQ(c.ItemCount(), 0);

    // Bags that are well formed but describe no sound tree.
    auto bagWith = [](std::vector<std::pair<std::string, Variant>> entries) {
        vb::PropertyBag bag;
        for (auto& [name, value] : entries) bag.WriteProperty(name, value);
        return bag.Contents();
    };
    auto countOf = [](int32_t n, int32_t mode = 1, int32_t step = 10) {
        std::vector<uint8_t> b;
        for (int32_t v : {n, mode, step})
            for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
        return Variant::ByteArray(b);
    };
    auto record = [](int32_t parent, uint16_t word, std::vector<uint8_t> key = {}) {
        std::vector<uint8_t> b;
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((static_cast<uint32_t>(parent) >> (8 * i)) & 0xFF));
        b.push_back(static_cast<uint8_t>(word & 0xFF));
        b.push_back(static_cast<uint8_t>(word >> 8));
        b.insert(b.end(), key.begin(), key.end());
        return Variant::ByteArray(b);
    };
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, Variant>> entries;
    };
    std::vector<Case> cases = {
        {"no Count", {{"1N", record(0, 0)}}},
        {"short Count", {{"1N", record(0, 0)}, {"Count", Variant::ByteArray({1, 0, 0, 0})}}},
        {"Count beyond the records", {{"1N", record(0, 0)}, {"Count", countOf(2000000000)}}},
        {"negative Count", {{"Count", countOf(-1)}}},
        {"bad mode", {{"1N", record(0, 0)}, {"Count", countOf(1, 7)}}},
        {"huge step", {{"1N", record(0, 0)}, {"Count", countOf(1, 1, 2000000000)}}},
        {"missing record", {{"1N", record(0, 0)}, {"3N", record(0, 0)}, {"Count", countOf(2)}}},
        {"parent after child", {{"1N", record(2, 0)}, {"2N", record(0, 0)}, {"Count", countOf(2)}}},
        {"parent is itself", {{"1N", record(0, 0)}, {"2N", record(2, 0)}, {"Count", countOf(2)}}},
        {"negative parent", {{"1N", record(-5, 0)}, {"Count", countOf(1)}}},
        {"short record", {{"1N", Variant::ByteArray({0, 0, 0})}, {"Count", countOf(1)}}},
        {"odd key length", {{"1N", record(0, 0, {'a', 0, 'b'})}, {"Count", countOf(1)}}},
        {"same key twice", {{"1N", record(0, 0, {'a', 0})}, {"2N", record(0, 0, {'A', 0})}, {"Count", countOf(2)}}},
        {"record not bytes", {{"1N", Variant("text")}, {"Count", countOf(1)}}},
        {"value of another type", {{"1N", record(0, vb::vbLong)}, {"1S", Variant("x")}, {"Count", countOf(1)}}},
        {"unknown type word", {{"1N", record(0, 0x1234)}, {"Count", countOf(1)}}},
        {"shape without dimensions",
         {{"1N", record(0, 0x2003)}, {"1S", Variant::ByteArray({})}, {"1SA", Variant::ByteArray({0, 0})}, {"Count", countOf(1)}}},
        {"shape bigger than the data",
         {{"1N", record(0, 0x2003)},
          {"1S", Variant::ByteArray({1, 0, 0, 0})},
          {"1SA", Variant::ByteArray({0, 0, 2, 0, 0, 0, 0, 0, 0, 0})},
          {"Count", countOf(1)}}},
        {"huge object array",
         {{"1N", record(0, 0x2009)}, {"1SA", Variant::ByteArray({0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0})}, {"Count", countOf(1)}}},
        {"string length past the end",
         {{"1N", record(0, 0x2008)},
          {"1S", Variant::ByteArray({100, 0, 0, 0, 'a', 0})},
          {"1SA", Variant::ByteArray({0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
          {"Count", countOf(1)}}},
        {"variant element of unknown type",
         {{"1N", record(0, 0x200C)},
          {"1S", Variant::ByteArray({0x34, 0x12})},
          {"1SA", Variant::ByteArray({0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
          {"Count", countOf(1)}}},
        {"trailing array data",
         {{"1N", record(0, 0x200C)},
          {"1S", Variant::ByteArray({0, 0, 0, 0})},
          {"1SA", Variant::ByteArray({0, 0, 1, 0, 0, 0, 0, 0, 0, 0})},
          {"Count", countOf(1)}}},
    };
    for (auto& k : cases) {
        SCOPED_TRACE(k.what);
        cNodeCollection d;
        d.AddItem(Variant(), "old", "", 2);
        EXPECT_FALSE(d.LoadCollection(bagWith(k.entries)));
        EXPECT_EQ(d.ItemCount(), 0);
        EXPECT_EQ(d.IndexFromKeyIndex(0), 0);
        EXPECT_EQ(d.CheckConsistency(), "");
    }
}

TEST(NodeCollectionBytes, EveryDamagedEntryLoadsSoundOrNotAtAll) {
    // Take a saved network apart entry by entry: drop it, cut it short or
    // change its bytes, and load the result.
    cNodeCollection c;
    BuildNetwork(c);
    Variant mixed = Variant::MakeArray(vb::vbVariant, {{0, 2}});
    mixed.SetElement(0, Variant("text"));
    mixed.SetElement(1, Variant::MakeArray(vb::vbString, {{0, 1}}));
    c.AddItem(mixed, "mixed", "ObjLateral1", 4);
    c.SerializeObject = model::SerializeSewerObject;
    auto original = BagOf(Save(c));
    std::mt19937 rng(11);
    int loaded = 0, refused = 0;
    for (size_t victim = 0; victim < original.Count(); ++victim) {
        for (int how = 0; how < 4; ++how) {
            vb::PropertyBag bag;
            for (size_t i = 0; i < original.Count(); ++i) {
                const std::string& name = original.NameAt(i);
                Variant v = original.ReadProperty(name);
                if (i == victim) {
                    if (how == 0) continue;
                    if (v.Type() == (vb::vbArray | vb::vbByte)) {
                        std::vector<uint8_t> b = v.Bytes();
                        if (how == 1 && !b.empty()) b.resize(b.size() - 1);
                        if (how >= 2 && !b.empty()) b[rng() % b.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                        if (how == 3) b.push_back(0x7F);
                        v = Variant::ByteArray(b);
                    } else if (v.IsString()) {
                        v = Variant(v.RawString() + "?");
                    }
                }
                bag.WriteProperty(name, v);
            }
            cNodeCollection d;
            d.SerializeObject = model::SerializeSewerObject;
            if (d.LoadCollection(bag.Contents())) {
                ++loaded;
                ASSERT_EQ(d.CheckConsistency(), "");
            } else {
                ++refused;
                ASSERT_EQ(d.ItemCount(), 0);
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(loaded, 0);
}

TEST(NodeCollectionBytes, UnstoredArraysInsideArraysLoadAsNothing) {
    // An array of error values is saved by its shape only, at the top level
    // and inside a Variant array alike; both come back as Nothing and the
    // rest of the collection loads.
    cNodeCollection c;
    Variant errors = Variant::MakeArray(vb::vbError, {{0, 1}});
    Variant outer = Variant::MakeArray(vb::vbVariant, {{0, 2}});
    outer.SetElement(0, Variant("before"));
    outer.SetElement(1, errors);
    outer.SetElement(2, Variant(int32_t(42)));
    c.AddItem(outer, "outer", "", 2);
    c.AddItem(errors, "errors", "", 2);
    c.AddItem(Variant("after"), "after", "", 2);
    auto bytes = Save(c);
    cNodeCollection d;
    ASSERT_TRUE(d.LoadCollection(bytes));
    ASSERT_EQ(d.ItemCount(), 3);
    Variant o = d.Item("outer");
    EXPECT_EQ(o.Element(0).RawString(), "before");
    EXPECT_TRUE(o.Element(1).IsNothing());
    EXPECT_EQ(o.Element(2).RawLong(), 42);
    EXPECT_TRUE(d.Item("errors").IsNothing());
    EXPECT_EQ(d.Item("after").RawString(), "after");
    EXPECT_EQ(d.CheckConsistency(), "");
}

TEST(NodeCollectionBytes, MemoryHeldAfterALoadIsBoundedByTheFileSize) {
    // Bytes held by the heap; the loaded collection is what grows it.
    auto heap = [] {
        const struct mallinfo2 m = mallinfo2();
        return static_cast<double>(m.uordblks + m.hblkhd);
    };
    auto le32 = [](std::vector<uint8_t>& b, int32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    };
    auto oneNode = [&](uint16_t word, std::vector<std::pair<std::string, Variant>> values, size_t padding) {
        vb::PropertyBag bag;
        std::vector<uint8_t> rec;
        le32(rec, 0);
        rec.push_back(static_cast<uint8_t>(word & 0xFF));
        rec.push_back(static_cast<uint8_t>(word >> 8));
        bag.WriteProperty("1N", Variant::ByteArray(rec));
        for (auto& [name, v] : values) bag.WriteProperty(name, v);
        // A name no loader reads: makes the file as large as wanted.
        bag.WriteProperty("pad", Variant::ByteArray(std::vector<uint8_t>(padding, 0)));
        std::vector<uint8_t> count;
        for (int32_t v : {1, 1, 10}) le32(count, v);
        bag.WriteProperty("Count", Variant::ByteArray(count));
        return bag.Contents();
    };
    auto shape = [&](std::vector<int32_t> counts) {
        std::vector<uint8_t> b = {0, 0};
        for (int32_t n : counts) {
            le32(b, n);
            le32(b, 0);
        }
        return Variant::ByteArray(b);
    };
    const size_t file = 64 * 1024;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool mustLoad;
    };
    std::vector<Case> cases = {
        // Object arrays have no bytes behind their elements: only the shape
        // says how many there are.
        {"object array of 16 elements per file byte", oneNode(0x2009, {{"1SA", shape({int32_t(16 * file)})}}, file), false},
        {"object array over two dimensions", oneNode(0x2009, {{"1SA", shape({4096, 4096})}}, file), false},
        // The densest data a save writes: two bytes per Integer element.
        {"Integer array filling the file",
         oneNode(0x2002, {{"1S", Variant::ByteArray(std::vector<uint8_t>(file, 0))}, {"1SA", shape({int32_t(file / 2)})}}, 0),
         true},
    };
    for (auto& k : cases) {
        SCOPED_TRACE(k.what);
        const double before = heap();
        cNodeCollection c;
        const bool loaded = c.LoadCollection(k.bytes);
        const double held = heap() - before;
        if (k.mustLoad) {
            ASSERT_TRUE(loaded);
            EXPECT_EQ(c.ItemCount(), 1);
        }
        EXPECT_LT(held, 64.0 * static_cast<double>(k.bytes.size()) + 2e6);
    }
}
