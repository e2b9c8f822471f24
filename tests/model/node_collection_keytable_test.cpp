// The key table with thousands of keys: order, lookups, ranks and capacity
// through long runs of insertions, removals, renames and a save and load.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "platform/runtime/vberror.h"

using model::cNodeCollection;
using vb::Variant;

namespace {

std::string Fold(std::string s) {
    for (char& ch : s)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
    return s;
}

// The expected keys: folded key -> the spelling stored.
using Expected = std::map<std::string, std::string>;

void ExpectSameKeys(const cNodeCollection& c, const Expected& want) {
    ASSERT_EQ(c.CheckConsistency(), "");
    ASSERT_EQ(c.IndexFromKeyIndex(0), static_cast<int32_t>(want.size()));
    int32_t rank = 1;
    for (const auto& [folded, spelling] : want) {
        const int32_t node = c.IndexFromKeyIndex(rank);
        ASSERT_EQ(c.Key(node), spelling) << "rank " << rank;
        ASSERT_EQ(c.KeyToIndex(folded), node) << folded;
        ++rank;
    }
    EXPECT_THROW(c.IndexFromKeyIndex(rank), vb::VbError);
}

}  // namespace

TEST(NodeCollectionKeyTable, ThousandsOfKeysKeepOrderRanksAndCapacity) {
    std::mt19937 rng(99);
    cNodeCollection c;
    Expected want;
    int32_t upper = 0;   // capacity as the growth and trim rules give it
    auto add = [&](const std::string& key) {
        const int32_t before = c.IndexFromKeyIndex(0);
        c.AddItem(Variant(int32_t(1)), key, "", 2);
        if (!key.empty()) {
            if (before + 1 > upper) upper = before + 1 + c.CollectionBufferLimit();
            want[Fold(key)] = key;
        }
        ASSERT_EQ(c.KeyTableUpperBound(), upper);
    };
    auto remove = [&](const std::string& key) {
        ASSERT_TRUE(c.RemoveItem(key));
        want.erase(Fold(key));
        const int32_t count = c.IndexFromKeyIndex(0);
        if (count + c.CollectionBufferLimit() < upper) upper = count;
        ASSERT_EQ(c.KeyTableUpperBound(), upper);
    };

    // Shuffled program-like keys in mixed case, with some keyless nodes.
    std::vector<int> order(6000);
    for (int i = 0; i < 6000; ++i) order[static_cast<size_t>(i)] = i + 1;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i : order) {
        add((i % 3 ? "ObjSe " : "objLATERAL") + std::to_string(i));
        if (i % 7 == 0) add("");
    }
    ExpectSameKeys(c, want);
    // A key already present under another case is refused and changes nothing.
    EXPECT_THROW(c.AddItem(Variant(), "OBJSE 1", "", 2), vb::VbError);
    EXPECT_EQ(c.KeyTableUpperBound(), upper);

    // Remove two thirds in random order, then a whole run from the front.
    std::vector<std::string> keys;
    for (const auto& kv : want) keys.push_back(kv.second);
    std::shuffle(keys.begin(), keys.end(), rng);
    for (size_t i = 0; i < keys.size() * 2 / 3; ++i) remove(keys[i]);
    ExpectSameKeys(c, want);
    while (want.size() > 500) remove(want.begin()->second);
    ExpectSameKeys(c, want);

    // Renames: a new key moves the entry, the same key in another case keeps
    // the rank and stores the new spelling.
    std::vector<std::string> left;
    for (const auto& kv : want) left.push_back(kv.second);
    for (size_t i = 0; i < left.size(); i += 3) {
        const int32_t node = c.KeyToIndex(left[i]);
        const std::string renamed = "A" + left[i];
        c.Key(node, renamed);
        want.erase(Fold(left[i]));
        want[Fold(renamed)] = renamed;
    }
    for (size_t i = 1; i < left.size(); i += 3) {
        std::string upperCase = left[i];
        std::transform(upperCase.begin(), upperCase.end(), upperCase.begin(), ::toupper);
        c.Key(c.KeyToIndex(left[i]), upperCase);
        want[Fold(left[i])] = upperCase;
    }
    ExpectSameKeys(c, want);

    // Saved and loaded, the keys come back in order, and the table takes new
    // keys on both sides of the loaded ones.
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(c.SaveCollection(bytes));
    cNodeCollection d;
    ASSERT_TRUE(d.LoadCollection(bytes));
    ExpectSameKeys(d, want);
    for (int i = 0; i < 2000; ++i) {
        const std::string key = (i % 2 ? "0front" : "zz") + std::to_string(i);
        d.AddItem(Variant(), key, "", 2);
        want[Fold(key)] = key;
    }
    ExpectSameKeys(d, want);

    // Clearing every key leaves an empty table that fills again.
    d.ClearKeys(0, 0);
    EXPECT_EQ(d.IndexFromKeyIndex(0), 0);
    EXPECT_EQ(d.KeyTableUpperBound(), 0);
    EXPECT_EQ(d.CheckConsistency(), "");
    d.AddItem(Variant(), "again", "", 2);
    EXPECT_EQ(d.KeyToIndex("AGAIN"), d.ItemCount());
    EXPECT_EQ(d.IndexFromKeyIndex(1), d.ItemCount());
}
