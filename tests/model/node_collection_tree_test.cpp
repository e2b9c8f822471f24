// The keyed tree: keys, adding, walking, removing, moving and sorting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/node_collection.h"
#include "model/sewer.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

using model::cNodeCollection;
using vb::Variant;

namespace {

constexpr int32_t kNotFound = static_cast<int32_t>(0x80000500);
constexpr int32_t kExists = static_cast<int32_t>(0x80000501);
constexpr int32_t kInvalid = static_cast<int32_t>(0x80000502);
constexpr int32_t kRelative = static_cast<int32_t>(0x80000503);

// Runs f and returns the error it raised (number, description, source).
template <class F>
vb::VbError Raised(F f) {
    try {
        f();
    } catch (const vb::VbError& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return vb::VbError(0, "", "");
}

// Keys of the children of a node in sibling order.
std::vector<std::string> ChildKeys(const cNodeCollection& c, const Variant& parent) {
    std::vector<std::string> out;
    for (int32_t n = c.FirstChild(parent); n != 0; n = c.NextSibling(n)) out.push_back(c.Key(n));
    return out;
}

std::vector<std::string> Texts(const cNodeCollection& c, const Variant& parent) {
    std::vector<std::string> out;
    for (int32_t n = c.FirstChild(parent); n != 0; n = c.NextSibling(n)) out.push_back(c.Item(n).RawString());
    return out;
}

using Keys = std::vector<std::string>;

}  // namespace

TEST(NodeCollectionKeys, CaseInsensitiveOrderLookupAndModes) {
    cNodeCollection c;
    EXPECT_FALSE(c.KeysCaseSensitive());
    c.AddItem(Variant(1), "b", "", 2);
    c.AddItem(Variant(2), "a", "", 2);
    c.AddItem(Variant(3), "c", "", 2);
    EXPECT_EQ(c.IndexFromKeyIndex(0), 3);
    EXPECT_EQ(c.IndexFromKeyIndex(1), 2);
    EXPECT_EQ(c.IndexFromKeyIndex(2), 1);
    EXPECT_EQ(c.IndexFromKeyIndex(3), 3);
    for (int32_t bad : {4, -1}) {
        auto e = Raised([&] { c.IndexFromKeyIndex(bad); });
        EXPECT_EQ(e.Number(), kInvalid);
        EXPECT_EQ(e.Description(), "Invalid Index");
        EXPECT_EQ(e.Source(), "Collection.IndexFromKeyIndex");
    }
    // Text comparison: a key differing only in case is the same key.
    auto e = Raised([&] { c.AddItem(Variant(4), "B", "", 2); });
    EXPECT_EQ(e.Number(), kExists);
    EXPECT_EQ(e.Description(), "Key Already Exists in this Collection");
    EXPECT_EQ(e.Source(), "Collection.AddItem");
    EXPECT_EQ(c.ItemCount(), 3);
    EXPECT_EQ(c.KeyToIndex("B"), 1);
    // The mode cannot change once a key exists.
    c.KeysCaseSensitive(true);
    EXPECT_FALSE(c.KeysCaseSensitive());
    EXPECT_EQ(c.KeyToIndex(""), kNotFound);
    EXPECT_EQ(c.KeyToIndex("zz"), kNotFound);
    EXPECT_FALSE(c.KeyExists(""));
    EXPECT_EQ(c.CheckConsistency(), "");

    cNodeCollection s;
    s.KeysCaseSensitive(true);
    ASSERT_TRUE(s.KeysCaseSensitive());
    s.AddItem(Variant(1), "Key", "", 2);
    s.AddItem(Variant(2), "key", "", 2);
    EXPECT_EQ(s.KeyToIndex("Key"), 1);
    EXPECT_EQ(s.KeyToIndex("key"), 2);
    EXPECT_EQ(s.KeyToIndex("KEY"), kNotFound);
    // Binary order: upper case before lower case.
    EXPECT_EQ(s.IndexFromKeyIndex(1), 1);
    EXPECT_EQ(s.CheckConsistency(), "");
}

TEST(NodeCollectionKeys, KeyOrderFollowsTextComparisonNotBytes) {
    cNodeCollection c;
    // Under text comparison "_" sorts before letters of either case and
    // "Se 10" before "se 2".
    for (const char* k : {"se 2", "Se 10", "_x", "Lateral1", "lateral10", "LATERAL2"}) c.AddItem(Variant(), k, "", 2);
    std::vector<std::string> order;
    for (int32_t i = 1; i <= c.IndexFromKeyIndex(0); ++i) order.push_back(c.Key(c.IndexFromKeyIndex(i)));
    EXPECT_EQ(order, (Keys{"_x", "Lateral1", "lateral10", "LATERAL2", "Se 10", "se 2"}));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionKeys, ResolvingKeysAndIndices) {
    cNodeCollection c;
    for (int i = 1; i <= 5; ++i) c.AddItem(Variant(std::string("v") + std::to_string(i)), "k" + std::to_string(i), "", 2);
    c.AddItem(Variant("keyed three"), "3", "", 2);
    EXPECT_EQ(c.Item(2.5).RawString(), "v2");              // half to even
    EXPECT_EQ(c.Item(3.5).RawString(), "v4");
    EXPECT_EQ(c.Item(Variant(2.5f)).RawString(), "v2");
    EXPECT_EQ(c.Item(Variant::Currency(45000)).RawString(), "v4");  // 4.5 -> 4
    EXPECT_EQ(c.Item(Variant(uint8_t(5))).RawString(), "v5");
    EXPECT_TRUE(c.Item(0).IsEmpty());
    EXPECT_TRUE(c.Item(7).IsEmpty());
    EXPECT_TRUE(c.Item(Variant(true)).IsEmpty());
    EXPECT_TRUE(c.Item(Variant::Missing()).IsEmpty());
    EXPECT_TRUE(c.Item(Variant::Null()).IsEmpty());
    // A text is always a key, even when it reads as a number.
    EXPECT_EQ(c.Item("3").RawString(), "keyed three");
    EXPECT_TRUE(c.Item("4").IsEmpty());
    EXPECT_EQ(c.Item("K2").RawString(), "v2");
    // The root only where allowed: FirstChild allows it, Item does not.
    EXPECT_EQ(c.FirstChild(0), 1);
    EXPECT_EQ(c.FirstChild(""), 1);
    EXPECT_TRUE(c.Item("").IsEmpty());
    auto e = Raised([&] { c.Item(0, Variant(1)); });
    EXPECT_EQ(e.Number(), kInvalid);
    EXPECT_EQ(e.Description(), "Invalid Key or Index");
    EXPECT_EQ(e.Source(), "Collection.Item Propety Let");
    e = Raised([&] { c.Item(99, Variant::Nothing()); });
    EXPECT_EQ(e.Source(), "Collection.Item Property Set");
}

TEST(NodeCollectionKeys, KeyLetClearKeysRandomKeyAndAncestors) {
    cNodeCollection c;
    int32_t lat = c.AddItem(Variant(), "ObjLateral1", "", 2);
    int32_t p1 = c.AddItem(Variant(), "ObjSe 1", "ObjLateral1", 5);
    int32_t p2 = c.AddItem(Variant(), "ObjSe 2", "ObjLateral1", 5);
    int32_t other = c.AddItem(Variant(), "ObjLateral2", "", 2);

    c.Key(p1, "OBJSE 1");  // same key, new spelling
    EXPECT_EQ(c.Key(p1), "OBJSE 1");
    auto e = Raised([&] { c.Key(p1, "objse 2"); });
    EXPECT_EQ(e.Number(), kExists);
    EXPECT_EQ(e.Source(), "Collection.Key Property Let");
    EXPECT_EQ(c.Key(p2), "ObjSe 2");
    c.Key(p1, "Renamed");
    EXPECT_FALSE(c.KeyExists("ObjSe 1"));
    EXPECT_EQ(c.KeyToIndex("renamed"), p1);
    c.Key(p1, "");
    EXPECT_FALSE(c.KeyExists("Renamed"));
    EXPECT_EQ(c.Key(p1), "");
    e = Raised([&] { c.Key(0); });
    EXPECT_EQ(e.Source(), "Collection.Key Property Get");
    EXPECT_EQ(c.CheckConsistency(), "");

    EXPECT_EQ(c.ParentRootNode(p2), lat);
    EXPECT_EQ(c.ParentRootNode(lat), lat);
    EXPECT_TRUE(c.IsAncestorOf(lat, p2));
    EXPECT_FALSE(c.IsAncestorOf(p2, p2));
    EXPECT_FALSE(c.IsAncestorOf(other, p2));
    e = Raised([&] { c.IsAncestorOf(0, p2); });
    EXPECT_EQ(e.Description(), "Invalid Ancestor Key or Index");
    e = Raised([&] { c.IsAncestorOf(lat, "nope"); });
    EXPECT_EQ(e.Description(), "Invalid Child Key or Index");

    // Scope 2: the lateral's pipes lose their keys, the lateral keeps its own.
    c.ClearKeys("ObjLateral1", 2);
    EXPECT_FALSE(c.KeyExists("ObjSe 2"));
    EXPECT_TRUE(c.KeyExists("ObjLateral1"));
    EXPECT_EQ(c.CheckConsistency(), "");
    // Scope 1: the node and its siblings.
    c.ClearKeys(lat, 1);
    EXPECT_EQ(c.IndexFromKeyIndex(0), 0);
    c.Key(lat, "L");
    c.ClearKeys(0);
    EXPECT_EQ(c.IndexFromKeyIndex(0), 0);
    EXPECT_EQ(c.KeyTableUpperBound(), 0);
    e = Raised([&] { c.ClearKeys(); });
    EXPECT_EQ(e.Source(), "Collection.ClearKeys");
    EXPECT_EQ(c.CheckConsistency(), "");

    std::string r = c.RandomKey();
    ASSERT_EQ(r.size(), 16u);
    for (char ch : r) {
        EXPECT_GE(ch, 'A');
        EXPECT_LE(ch, 'y');
    }
}

TEST(NodeCollectionGrowth, BufferLimitGrowsAndTrimsBothTables) {
    cNodeCollection c;
    EXPECT_EQ(c.CollectionBufferLimit(), 10);
    c.CollectionBufferLimit(1001);
    c.CollectionBufferLimit(-1);
    EXPECT_EQ(c.CollectionBufferLimit(), 10);
    EXPECT_EQ(c.NodeTableUpperBound(), 0);
    c.AddItem(Variant(), "a", "", 2);
    EXPECT_EQ(c.NodeTableUpperBound(), 11);  // 0 to step + 1
    EXPECT_EQ(c.KeyTableUpperBound(), 11);   // 0 to count + step
    for (int i = 2; i <= 12; ++i) c.AddItem(Variant(), "k" + std::to_string(i), "", 2);
    EXPECT_EQ(c.NodeTableUpperBound(), 22);  // grown at 12 to (11 + 1) + 10
    c.CollectionBufferLimit(0);
    EXPECT_EQ(c.NodeTableUpperBound(), 12);
    EXPECT_EQ(c.KeyTableUpperBound(), 12);
    c.AddItem(Variant(), "", "", 2);
    EXPECT_EQ(c.NodeTableUpperBound(), 13);
    c.AddItem(Variant(), "x", "", 2);
    EXPECT_EQ(c.NodeTableUpperBound(), 14);
    EXPECT_EQ(c.KeyTableUpperBound(), 13);
    // Removals trim a table once it holds more than the step spare.
    c.CollectionBufferLimit(2);
    for (int i = 0; i < 5; ++i) c.AddItem(Variant(), "", "", 2);
    int32_t before = c.NodeTableUpperBound();
    c.RemoveItem(c.ItemCount());
    EXPECT_EQ(c.NodeTableUpperBound(), before);  // one spare: within the step
    c.RemoveItem(c.ItemCount());
    EXPECT_EQ(c.NodeTableUpperBound(), c.ItemCount());
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionAdd, RelationshipsPlaceNodes) {
    // Every code on an empty collection gives index 1, a top-level node.
    for (int code = -1; code <= 12; ++code) {
        cNodeCollection e;
        EXPECT_EQ(e.AddItem(Variant(1), "", "", code), 1);
        EXPECT_EQ(e.Parent(1).RawLong(), 0);
        EXPECT_EQ(e.FirstChild(0), 1);
    }
    cNodeCollection c;
    c.AddItem(Variant(), "a", "", 2);
    c.AddItem(Variant(), "b", "", 2);
    c.AddItem(Variant(), "c", "", 2);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"a", "b", "c"}));
    c.AddItem(Variant(), "d", "b", 3);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"a", "d", "b", "c"}));
    c.AddItem(Variant(), "e", "c", 0);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"e", "a", "d", "b", "c"}));
    c.AddItem(Variant(), "f", "a", 1);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"e", "a", "d", "b", "c", "f"}));
    c.AddItem(Variant(), "g", "a", 2);
    c.AddItem(Variant(), "h", "f", 2);  // after the last
    c.AddItem(Variant(), "i", "e", 3);  // before the first
    c.AddItem(Variant(), "j", "", 3);   // root: before the first top-level node
    c.AddItem(Variant(), "k", "c", 12);
    c.AddItem(Variant(), "l", "c", -1);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"j", "i", "e", "a", "g", "d", "b", "c", "l", "k", "f", "h"}));

    c.AddItem(Variant(), "L1", "a", 5);   // only child
    c.AddItem(Variant(), "L2", "a", 5);
    c.AddItem(Variant(), "L0", "a", 4);
    c.AddItem(Variant(), "L3", "L1", 1);  // last child of L1's parent
    c.AddItem(Variant(), "Lm", "L3", 0);  // first child of L3's parent
    c.AddItem(Variant(), "Q", "g", 4);    // only child by 4
    EXPECT_EQ(ChildKeys(c, "a"), (Keys{"Lm", "L0", "L1", "L2", "L3"}));
    EXPECT_EQ(ChildKeys(c, "g"), (Keys{"Q"}));
    EXPECT_EQ(c.Parent("L3").RawLong(), c.KeyToIndex("a"));
    EXPECT_EQ(c.CheckConsistency(), "");

    auto e = Raised([&] { c.AddItem(Variant(), "z", "nope", 2); });
    EXPECT_EQ(e.Number(), kRelative);
    EXPECT_EQ(e.Description(), "Relative Key is Invalid");
    EXPECT_EQ(e.Source(), "Collection.AddItem");
    int32_t count = c.ItemCount();
    e = Raised([&] { c.AddItem(Variant(), "A", "", 2); });
    EXPECT_EQ(e.Number(), kExists);
    EXPECT_EQ(c.ItemCount(), count);
    EXPECT_FALSE(c.KeyExists("z"));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionAdd, SortedRelationships) {
    cNodeCollection c;
    c.AddItem(Variant(), "L", "", 2);
    for (int v : {1, 3, 5}) c.AddItem(Variant(int32_t(v)), "c" + std::to_string(v), "L", 5);
    c.AddItem(Variant(int32_t(4)), "n4", "L", 8);  // ascending, numeric
    EXPECT_EQ(ChildKeys(c, "L"), (Keys{"c1", "c3", "n4", "c5"}));
    c.AddItem(Variant(int32_t(3)), "e3", "L", 8);  // equal goes before
    EXPECT_EQ(ChildKeys(c, "L"), (Keys{"c1", "e3", "c3", "n4", "c5"}));
    c.AddItem(Variant(int32_t(6)), "n6", "L", 8);  // none larger: last
    EXPECT_EQ(ChildKeys(c, "L").back(), "n6");
    // Descending: before the first child whose value is smaller.
    c.AddItem(Variant(int32_t(2)), "d2", "L", 9);
    EXPECT_EQ(ChildKeys(c, "L"), (Keys{"d2", "c1", "e3", "c3", "n4", "c5", "n6"}));
    c.AddItem(Variant(int32_t(0)), "d0", "L", 9);
    EXPECT_EQ(ChildKeys(c, "L").back(), "d0");

    // Texts: 6/7 case-insensitive text, 8/9 by number.
    cNodeCollection t;
    t.AddItem(Variant(), "P", "", 2);
    for (const char* s : {"apple", "Melon", "zebra"}) t.AddItem(Variant(s), "", "P", 5);
    t.AddItem(Variant("banana"), "", "P", 6);
    t.AddItem(Variant("MELON"), "", "P", 10);
    EXPECT_EQ(Texts(t, "P"), (Keys{"apple", "banana", "MELON", "Melon", "zebra"}));
    t.AddItem(Variant("10"), "", "P", 8);  // numbers: "apple" reads 0, "10" after all
    EXPECT_EQ(Texts(t, "P").back(), "10");
    // Objects never take part: they go last.
    t.AddItem(Variant::Nothing(), "obj", "P", 6);
    EXPECT_EQ(t.LastChild("P"), t.KeyToIndex("obj"));
    EXPECT_EQ(t.CheckConsistency(), "");
}

TEST(NodeCollectionWalk, ChildrenSiblingsOffsetsAndParentLet) {
    cNodeCollection c;
    int32_t l1 = c.AddItem(Variant(), "L1", "", 2);
    int32_t l2 = c.AddItem(Variant(), "L2", "", 2);
    int32_t a = c.AddItem(Variant(), "a", "L1", 5);
    int32_t b = c.AddItem(Variant(), "b", "L1", 5);
    int32_t d = c.AddItem(Variant(), "d", "L1", 5);
    EXPECT_EQ(c.ChildCount(0), 2);
    EXPECT_EQ(c.ChildCount(l1), 3);
    EXPECT_EQ(c.ChildCount(l2), 0);
    EXPECT_TRUE(c.HasChildren(l1));
    EXPECT_FALSE(c.HasChildren(l2));
    EXPECT_EQ(c.FirstSibling(d), a);
    EXPECT_EQ(c.LastSibling(a), d);
    EXPECT_EQ(c.FirstSibling(l2), l1);
    EXPECT_EQ(c.FirstSibling("nope"), 0);
    EXPECT_EQ(Raised([&] { c.LastSibling("nope"); }).Source(), "Collection.LastSibling");
    EXPECT_EQ(Raised([&] { c.LastChild(-3); }).Source(), "Collection.LastChild");
    EXPECT_EQ(Raised([&] { c.HasChildren("x"); }).Source(), "Collection.HasChildren");
    EXPECT_EQ(Raised([&] { c.ChildCount("x"); }).Source(), "Collection.ChildCount");
    EXPECT_EQ(Raised([&] { c.NextSibling("x"); }).Source(), "Collection.NextSibling");
    EXPECT_EQ(Raised([&] { c.PreviousSibling("x"); }).Source(), "Collection.PreviousSibling");
    EXPECT_EQ(c.NextSibling(0), l2);       // root: last top-level node
    EXPECT_EQ(c.PreviousSibling(0), l1);   // root: first top-level node
    EXPECT_EQ(c.PreviousSibling(b), a);
    EXPECT_EQ(c.NextSibling(d), 0);
    EXPECT_EQ(c.Parent("nope").RawLong(), 0);
    EXPECT_EQ(c.Parent(b).Type(), vb::vbLong);

    EXPECT_EQ(c.SiblingOffsetIndex(l1, 0).RawLong(), a);
    EXPECT_EQ(c.SiblingOffsetIndex(l1, 1).RawLong(), b);
    EXPECT_EQ(c.SiblingOffsetIndex(l1, 99).RawLong(), d);
    EXPECT_EQ(c.SiblingOffsetIndex(l1, 0, true).RawLong(), d);
    EXPECT_EQ(c.SiblingOffsetIndex(l1, 99, true).RawLong(), a);
    EXPECT_TRUE(c.SiblingOffsetIndex(l1, -1).IsEmpty());
    EXPECT_EQ(c.SiblingOffsetIndex(l2, 0).RawLong(), 0);
    EXPECT_EQ(Raised([&] { c.SiblingOffsetIndex(); }).Source(), "Collection.SiblingOffsetIndex");

    int32_t fr = 7, lr = 7, nr = 7, er = 7;
    EXPECT_TRUE(c.Getrealation(l1, fr, lr, nr, er).IsEmpty());
    EXPECT_EQ(lr, a);
    EXPECT_EQ(fr, 7);
    c.Getrealation(l2, fr, lr, nr, er);
    EXPECT_EQ(fr, 0);
    EXPECT_EQ(Raised([&] { c.Getrealation("x", fr, lr, nr, er); }).Number(), kRelative);

    // Parent let: to another lateral appends; to the same changes nothing.
    c.Parent(a, "L2");
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"a"}));
    c.Parent(b, l1);
    EXPECT_EQ(ChildKeys(c, "L1"), (Keys{"b", "d"}));
    auto e = Raised([&] { c.Parent(b, "nope"); });
    EXPECT_EQ(e.Description(), "Invalid New Parent Key or Index");
    EXPECT_EQ(e.Source(), "Collection.Property Parent Let");
    // A node cannot become a child of its own descendant.
    e = Raised([&] { c.Parent(l1, b); });
    EXPECT_EQ(e.Description(), "Invalid New Parent Key or Index");
    c.Parent(b, 0);
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"L1", "L2", "b"}));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionRemove, RenumbersOnlyTheLastNode) {
    cNodeCollection c;
    for (int i = 1; i <= 5; ++i) c.AddItem(Variant(int32_t(i)), "n" + std::to_string(i), "", 2);
    c.AddItem(Variant(int32_t(6)), "child", "n5", 5);
    c.AddItem(Variant(int32_t(7)), "grand", "child", 5);
    // Node 7 ("grand") is last; removing node 2 gives it index 2.
    EXPECT_TRUE(c.RemoveItem(2));
    EXPECT_EQ(c.ItemCount(), 6);
    EXPECT_EQ(c.KeyToIndex("grand"), 2);
    EXPECT_EQ(c.Item(2).RawLong(), 7);
    EXPECT_EQ(c.Parent(2).RawLong(), c.KeyToIndex("child"));
    EXPECT_EQ(c.FirstChild("child"), 2);
    for (int i : {1, 3, 4, 5}) EXPECT_EQ(c.KeyToIndex("n" + std::to_string(i)), i);
    EXPECT_EQ(c.CheckConsistency(), "");
    // Removing the last index renumbers nothing.
    EXPECT_EQ(c.AddItem(Variant(int32_t(8)), "tail", ""), 7);
    EXPECT_TRUE(c.RemoveItem(7));
    for (int i : {1, 3, 4, 5}) EXPECT_EQ(c.KeyToIndex("n" + std::to_string(i)), i);
    EXPECT_EQ(c.KeyToIndex("grand"), 2);
    EXPECT_EQ(c.KeyToIndex("child"), 6);
    // A subtree goes depth first; every surviving key still finds its node.
    EXPECT_TRUE(c.RemoveItem("child"));
    EXPECT_FALSE(c.KeyExists("child"));
    EXPECT_FALSE(c.KeyExists("grand"));
    EXPECT_EQ(c.ItemCount(), 4);
    for (int i : {1, 3, 4, 5}) EXPECT_EQ(c.Item("n" + std::to_string(i)).RawLong(), i);
    EXPECT_EQ(Raised([&] { c.RemoveItem("gone"); }).Source(), "Collection.RemoveItem");
    EXPECT_EQ(c.CheckConsistency(), "");

    cNodeCollection one;
    one.AddItem(Variant(), "only", "", 2);
    EXPECT_TRUE(one.RemoveItem(1));
    EXPECT_EQ(one.ItemCount(), 0);
    EXPECT_EQ(one.IndexFromKeyIndex(0), 0);
    EXPECT_EQ(one.NodeTableUpperBound(), 0);
    EXPECT_EQ(one.AddItem(Variant(), "only", ""), 1);
    EXPECT_FALSE(one.DeleteNode(5));  // no such node: nothing happens
    EXPECT_EQ(one.ItemCount(), 1);
}

TEST(NodeCollectionRemove, LateralWithPipesAndRemoveChildren) {
    cNodeCollection c;
    c.AddItem(Variant("ObjSewer"), "ObjSewer", "", 2);
    c.AddItem(Variant(), "ObjLateral1", "", 2);
    for (int i = 1; i <= 3; ++i) c.AddItem(Variant(), "ObjSe " + std::to_string(i), "ObjLateral1", 5);
    c.AddItem(Variant("ObjLateral2"), "ObjLateral2", "", 2);
    int32_t keyless = c.AddItem(Variant(), "", "", 2);
    c.AddItem(Variant("kid1"), "kid1", keyless, 5);
    c.AddItem(Variant("kid2"), "kid2", keyless, 5);
    int32_t before = c.ItemCount();
    EXPECT_TRUE(c.RemoveItem("ObjLateral1"));
    EXPECT_EQ(c.ItemCount(), before - 4);
    for (int i = 1; i <= 3; ++i) EXPECT_FALSE(c.KeyExists("ObjSe " + std::to_string(i)));
    for (const char* k : {"ObjSewer", "ObjLateral2", "kid1", "kid2"}) EXPECT_EQ(c.Item(k).RawString(), k);
    EXPECT_EQ(c.CheckConsistency(), "");

    keyless = c.Parent("kid1").RawLong();
    EXPECT_TRUE(c.RemoveChildren(keyless));
    EXPECT_FALSE(c.HasChildren(keyless));
    EXPECT_EQ(c.Key(keyless), "");  // keyless node stays keyless
    EXPECT_EQ(c.IndexFromKeyIndex(0), 2);
    int32_t count = c.ItemCount();
    EXPECT_TRUE(c.RemoveChildren("ObjSewer"));  // no children: nothing
    EXPECT_EQ(c.ItemCount(), count);
    EXPECT_EQ(c.CheckConsistency(), "");
    EXPECT_TRUE(c.RemoveChildren(0));
    EXPECT_EQ(c.ItemCount(), 0);
    EXPECT_EQ(c.IndexFromKeyIndex(0), 0);
}

TEST(NodeCollectionMove, MoveItemPlacementsAndRefusals) {
    cNodeCollection c;
    c.AddItem(Variant(), "L1", "", 2);
    c.AddItem(Variant(), "L2", "", 2);
    for (const char* k : {"a", "b", "d"}) c.AddItem(Variant(), k, "L1", 5);
    c.AddItem(Variant(), "x", "L2", 5);
    int32_t ib = c.KeyToIndex("b");
    EXPECT_TRUE(c.MoveItem("b", "L2", 5));
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"x", "b"}));
    EXPECT_EQ(c.KeyToIndex("b"), ib);  // index and key unchanged
    EXPECT_TRUE(c.MoveItem("d", "L2", 4));
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"d", "x", "b"}));
    // In place already: 2 onto the node just before, 0 on the first child.
    EXPECT_TRUE(c.MoveItem("x", "d", 2));
    EXPECT_TRUE(c.MoveItem("d", "x", 0));
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"d", "x", "b"}));
    EXPECT_TRUE(c.MoveItem("d", "x", 1));
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"x", "b", "d"}));
    EXPECT_TRUE(c.MoveItem("d", "x", 3));
    EXPECT_EQ(ChildKeys(c, "L2"), (Keys{"d", "x", "b"}));
    EXPECT_TRUE(c.MoveItem("a", "L1", 2));  // after L1 among the top-level nodes
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"L1", "a", "L2"}));
    EXPECT_TRUE(c.MoveItem("a", "L1", 5));  // only child of an empty L1
    EXPECT_EQ(ChildKeys(c, "L1"), (Keys{"a"}));
    EXPECT_TRUE(c.MoveItem("L2", 0, 3));    // before the first top-level node
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"L2", "L1"}));
    EXPECT_EQ(c.CheckConsistency(), "");

    // NewKey.
    EXPECT_TRUE(c.MoveItem("a", "L2", 5, "a2"));
    EXPECT_EQ(c.Key(c.LastChild("L2")), "a2");
    auto e = Raised([&] { c.MoveItem("a2", "L1", 5, "X"); });
    EXPECT_EQ(e.Number(), kExists);
    EXPECT_EQ(c.Parent("a2").RawLong(), c.KeyToIndex("L2"));  // nothing moved

    e = Raised([&] { c.MoveItem("nope", "L1", 5); });
    EXPECT_EQ(e.Description(), "Invalid Source Key or Index");
    EXPECT_EQ(e.Source(), "Collection.MoveItem");
    e = Raised([&] { c.MoveItem("L1", "nope", 5); });
    EXPECT_EQ(e.Description(), "Invalid Destination Key or Index");
    // Into its own subtree: refused, nothing changes.
    for (int code : {2, 3, 4, 5}) {
        e = Raised([&] { c.MoveItem("L2", "x", code); });
        EXPECT_EQ(e.Description(), "Invalid Destination Key or Index");
        EXPECT_EQ(e.Source(), "Collection.MoveItem");
    }
    e = Raised([&] { c.MoveItem("L2", "L2", 5); });
    EXPECT_EQ(e.Description(), "Invalid Destination Key or Index");
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"L2", "L1"}));
    EXPECT_EQ(c.CheckConsistency(), "");

    cNodeCollection one;
    one.AddItem(Variant(), "a", "", 2);
    EXPECT_FALSE(one.MoveItem("zz", "yy", 5));
    EXPECT_FALSE(one.MoveChildren("zz", "yy", 5));
}

TEST(NodeCollectionMove, MoveChildrenAsOneBlock) {
    cNodeCollection c;
    c.AddItem(Variant(), "S", "", 2);
    c.AddItem(Variant(), "T", "", 2);
    c.AddItem(Variant(), "U", "", 2);
    for (const char* k : {"s1", "s2", "s3"}) c.AddItem(Variant(), k, "S", 5);
    EXPECT_TRUE(c.MoveChildren("S", "T", 5));
    EXPECT_EQ(ChildKeys(c, "T"), (Keys{"s1", "s2", "s3"}));
    EXPECT_FALSE(c.HasChildren("S"));
    c.AddItem(Variant(), "u1", "U", 5);
    EXPECT_TRUE(c.MoveChildren("T", "U", 5));
    EXPECT_EQ(ChildKeys(c, "U"), (Keys{"u1", "s1", "s2", "s3"}));
    EXPECT_TRUE(c.MoveChildren("U", "T", 3));  // before T among the top level
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"S", "u1", "s1", "s2", "s3", "T", "U"}));
    // The root's children cannot go below one of themselves.
    EXPECT_EQ(Raised([&] { c.MoveChildren(0, "S", 5); }).Description(), "Invalid Destination Key or Index");
    EXPECT_TRUE(c.MoveChildren("S", "T", 5));  // S has no children
    EXPECT_EQ(c.CheckConsistency(), "");

    for (const char* k : {"c5", "c1", "c3"}) c.AddItem(Variant(std::string(k).substr(1)), k, "S", 5);
    EXPECT_TRUE(c.MoveChildren("S", "T", 8));  // hand-over, then sorted by number
    EXPECT_EQ(ChildKeys(c, "T"), (Keys{"c1", "c3", "c5"}));
    c.AddItem(Variant("4"), "c4", "S", 5);
    c.AddItem(Variant("0"), "c0", "S", 5);
    EXPECT_TRUE(c.MoveChildren("S", "T", 9));  // into T, then T's children descending
    EXPECT_EQ(ChildKeys(c, "T"), (Keys{"c5", "c4", "c3", "c1", "c0"}));
    EXPECT_EQ(c.CheckConsistency(), "");

    c.AddItem(Variant(), "deep", "c3", 5);
    auto e = Raised([&] { c.MoveChildren("T", "deep", 5); });
    EXPECT_EQ(e.Description(), "Invalid Destination Key or Index");
    EXPECT_EQ(e.Source(), "Collection.MoveChildren");
    e = Raised([&] { c.MoveChildren("T", "c4", 3); });
    EXPECT_EQ(e.Source(), "Collection.MoveChildren");
    e = Raised([&] { c.MoveChildren("nope", "T", 5); });
    EXPECT_EQ(e.Description(), "Invalid Source Key or Index");
    EXPECT_EQ(ChildKeys(c, "T"), (Keys{"c5", "c4", "c3", "c1", "c0"}));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionMove, ChangetreeKeepsTheTreeWhole) {
    cNodeCollection c;
    c.AddItem(Variant(), "L", "", 2);
    c.AddItem(Variant(), "a", "L", 5);
    c.AddItem(Variant(), "b", "L", 5);
    EXPECT_FALSE(c.Changetree(c.KeyToIndex("a")));
    EXPECT_EQ(ChildKeys(c, "L"), (Keys{"b"}));
    EXPECT_EQ(ChildKeys(c, 0), (Keys{"L", "a"}));
    EXPECT_FALSE(c.Changetree(99));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionSort, TextNumberValueAndMaskRules) {
    auto make = [](std::vector<Variant> values) {
        auto c = std::make_unique<cNodeCollection>();
        c->AddItem(Variant(), "P", "", 2);
        for (size_t i = 0; i < values.size(); ++i) c->AddItem(values[i], "k" + std::to_string(i), "P", 5);
        return c;
    };
    auto texts = [](const cNodeCollection& c) {
        std::vector<std::string> out;
        for (int32_t n = c.FirstChild("P"); n; n = c.NextSibling(n)) out.push_back(vb::CStr(c.Item(n)));
        return out;
    };
    auto c = make({Variant("b"), Variant("A"), Variant("c")});
    EXPECT_TRUE(c->SortCollection("P", 2, 0, true));
    EXPECT_EQ(texts(*c), (Keys{"A", "b", "c"}));
    EXPECT_TRUE(c->SortCollection("P", 2, 1, true));  // by character codes
    EXPECT_EQ(texts(*c), (Keys{"A", "b", "c"}));
    EXPECT_TRUE(c->SortCollection("P", 2, 0, false));
    EXPECT_EQ(texts(*c), (Keys{"c", "b", "A"}));
    c = make({Variant("b"), Variant("a"), Variant("B")});
    EXPECT_TRUE(c->SortCollection("P", 2, 1, true));
    EXPECT_EQ(texts(*c), (Keys{"B", "a", "b"}));

    c = make({Variant("10"), Variant("9"), Variant("2.5")});
    EXPECT_TRUE(c->SortCollection("P", 2, 2, true));
    EXPECT_EQ(texts(*c), (Keys{"2.5", "9", "10"}));
    EXPECT_TRUE(c->SortCollection("P", 2, 0, true));
    EXPECT_EQ(texts(*c), (Keys{"10", "2.5", "9"}));

    // Singles and a text: mask 12 passes and sorts by the numbers of the texts.
    c = make({Variant(3.0f), Variant(1.0f), Variant(2.0f), Variant("x")});
    EXPECT_TRUE(c->SortCollection("P", 2, 0, true));
    EXPECT_EQ(texts(*c), (Keys{"x", "1", "2", "3"}));
    // Integers and a text: mask 10 fails; nothing moves.
    c = make({Variant(int16_t(3)), Variant(int16_t(1)), Variant(int16_t(2)), Variant("x")});
    EXPECT_FALSE(c->SortCollection("P", 2, 0, true));
    EXPECT_EQ(texts(*c), (Keys{"3", "1", "2", "x"}));
    c = make({Variant(1.5), Variant::MakeArray(vb::vbVariant, {{0, 1}})});
    EXPECT_FALSE(c->SortCollection("P", 2, 0, true));
    // Values: Doubles by value, descending the exact reverse of ascending.
    c = make({Variant(2.5), Variant(-1.0), Variant(10.0), Variant(0.5)});
    EXPECT_TRUE(c->SortCollection("P", 2, 0, true));
    EXPECT_EQ(texts(*c), (Keys{"-1", "0.5", "2.5", "10"}));
    EXPECT_TRUE(c->SortCollection(c->FirstChild("P"), 1, 0, false));  // siblings of a child
    EXPECT_EQ(texts(*c), (Keys{"10", "2.5", "0.5", "-1"}));
    EXPECT_EQ(Raised([&] { c->SortCollection("nope", 2); }).Source(), "Collection.SortCollection");
    EXPECT_EQ(c->CheckConsistency(), "");

    cNodeCollection one;
    one.AddItem(Variant(), "x", "", 2);
    EXPECT_TRUE(one.SortCollection("not even looked at"));
}

TEST(NodeCollectionSort, WholeTreeSortsEveryLevel) {
    cNodeCollection c;
    for (const char* top : {"Lateral2", "lateral10", "Lateral1"}) {
        c.AddItem(Variant(top), std::string("Obj") + top, "", 2);
        for (const char* pipe : {"p3", "P1", "p2"})
            c.AddItem(Variant(pipe), std::string(top) + pipe, std::string("Obj") + top, 5);
    }
    EXPECT_TRUE(c.SortCollection("ObjLateral1", 0, 0, true));
    EXPECT_EQ(Texts(c, 0), (Keys{"Lateral1", "lateral10", "Lateral2"}));
    for (const char* top : {"ObjLateral2", "Objlateral10", "ObjLateral1"})
        EXPECT_EQ(Texts(c, top), (Keys{"P1", "p2", "p3"}));
    EXPECT_EQ(c.CheckConsistency(), "");
}

TEST(NodeCollectionSort, ObjectsByPropertyAmongOtherValues) {
    auto pipe = [](const std::string& name, int16_t dia) {
        auto s = std::make_shared<model::Sewer>();
        s->Name = name;
        s->dia = dia;
        return Variant(s);
    };
    auto names = [](const cNodeCollection& c) {
        std::vector<std::string> out;
        for (int32_t n = c.FirstChild("P"); n; n = c.NextSibling(n)) {
            Variant v = c.Item(n);
            out.push_back(v.IsObject() ? (v.IsNothing() ? "-" : v.As<model::Sewer>()->Name) : vb::CStr(v));
        }
        return out;
    };
    cNodeCollection c;
    c.AddItem(Variant(), "P", "", 2);
    c.AddItem(pipe("c", 100), "k1", "P", 5);
    c.AddItem(pipe("a", 300), "k2", "P", 5);
    c.AddItem(pipe("b", 200), "k3", "P", 5);
    EXPECT_FALSE(c.SortCollection("P", 2, 0, true));             // objects need a property
    EXPECT_FALSE(c.SortCollection("P", 2, 0, true, "nosuch"));   // that can be read
    EXPECT_EQ(names(c), (Keys{"c", "a", "b"}));
    EXPECT_TRUE(c.SortCollection("P", 2, 0, true, "Name"));
    EXPECT_EQ(names(c), (Keys{"a", "b", "c"}));
    EXPECT_TRUE(c.SortCollection("P", 2, 0, true, "dia"));       // by value
    EXPECT_EQ(names(c), (Keys{"c", "b", "a"}));
    c.AddItem(Variant::Nothing(), "k4", "P", 5);                 // key "" in the text sort
    EXPECT_TRUE(c.SortCollection("P", 2, 0, true, "Name"));
    EXPECT_EQ(names(c), (Keys{"-", "a", "b", "c"}));

    // Objects with an Empty value and a text still give the object mask;
    // values that are no objects stand for themselves instead of crashing.
    c.AddItem(Variant(), "k5", "P", 5);
    c.AddItem(Variant("bb"), "k6", "P", 5);
    EXPECT_TRUE(c.SortCollection("P", 2, 0, false, "Name"));
    EXPECT_EQ(names(c), (Keys{"c", "bb", "b", "a", "", "-"}));
    EXPECT_EQ(c.CheckConsistency(), "");
}
