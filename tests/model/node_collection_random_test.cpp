// Drives thousands of mixed operations on the keyed tree and on a plain
// reference model (lists of children per node) and compares them after every
// step: indices, values, parents, sibling order, keys and the key order.
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

struct Reference {
    struct Node {
        int parent = 0;
        std::vector<int> kids;
        std::string key;
        int32_t value = 0;
    };
    std::map<int, Node> nodes{{0, Node{}}};  // id -> node; id 0 is the root
    std::vector<int> idAt{0};                // index -> id

    int Count() const { return static_cast<int>(idAt.size()) - 1; }
    int IndexOf(int id) const {
        for (size_t i = 1; i < idAt.size(); ++i)
            if (idAt[i] == id) return static_cast<int>(i);
        return -1;
    }
    static std::string Fold(std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }
    bool HasKey(const std::string& k) const {
        for (auto& [id, n] : nodes)
            if (id && Fold(n.key) == Fold(k) && !k.empty()) return true;
        return false;
    }
    std::vector<int>& Siblings(int id) { return nodes[nodes[id].parent].kids; }
    bool Below(int ancestor, int id) const {  // strictly below
        for (int p = nodes.at(id).parent, guard = 0; guard < 100000; p = nodes.at(p).parent, ++guard) {
            if (p == ancestor) return true;
            if (p == 0) return false;
        }
        return false;
    }
    void Detach(int id) {
        auto& s = Siblings(id);
        s.erase(std::find(s.begin(), s.end(), id));
    }
    void InsertAt(int id, int parent, size_t pos) {
        nodes[id].parent = parent;
        auto& k = nodes[parent].kids;
        k.insert(k.begin() + static_cast<long>(pos), id);
    }
    size_t Pos(int id) {
        auto& s = Siblings(id);
        return static_cast<size_t>(std::find(s.begin(), s.end(), id) - s.begin());
    }
    // Removal of one leaf: the last index takes its place.
    void DeleteLeaf(int id) {
        Detach(id);
        nodes.erase(id);
        int idx = IndexOf(id);
        idAt[static_cast<size_t>(idx)] = idAt.back();
        idAt.pop_back();
    }
    void DeleteSubtree(int id) {
        while (!nodes[id].kids.empty()) DeleteSubtree(nodes[id].kids.back());
        DeleteLeaf(id);
    }
    void Clear() {
        nodes = {{0, Node{}}};
        idAt = {0};
    }
};

// Where a node goes for the codes 0 to 5 (and others): (parent, position),
// computed on the reference's child lists.
struct Placement {
    int parent;
    size_t pos;
    int anchor;  // the node it goes next to, or -1 for an only child
};

Placement Place(Reference& r, int t, int code) {
    auto& tn = r.nodes[t];
    int tp = t == 0 ? 0 : tn.parent;
    auto& pk = r.nodes[tp].kids;
    switch (code) {
        case 0: return {tp, 0, pk.front()};
        case 1: return {tp, pk.size(), pk.back()};
        case 2:
            if (t == 0) return {0, r.nodes[0].kids.size(), r.nodes[0].kids.back()};
            // After t; when t has a next sibling that sibling is the anchor.
            if (r.Pos(t) + 1 < pk.size()) return {tp, r.Pos(t) + 1, pk[r.Pos(t) + 1]};
            return {tp, r.Pos(t) + 1, t};
        case 4:
            if (tn.kids.empty()) return {t, 0, -1};
            return {t, 0, tn.kids.front()};
        case 5:
            if (tn.kids.empty()) return {t, 0, -1};
            return {t, tn.kids.size(), tn.kids.back()};
        default:
            if (t == 0) return {0, 0, r.nodes[0].kids.front()};
            return {tp, r.Pos(t), t};
    }
}

void Compare(const cNodeCollection& c, Reference& r, int step) {
    SCOPED_TRACE("step " + std::to_string(step));
    ASSERT_EQ(c.CheckConsistency(), "");
    ASSERT_EQ(c.ItemCount(), r.Count());
    std::map<int, int> indexOf{{0, 0}};
    for (int i = 1; i <= r.Count(); ++i) indexOf[r.idAt[static_cast<size_t>(i)]] = i;
    for (int i = 1; i <= r.Count(); ++i) {
        int id = r.idAt[static_cast<size_t>(i)];
        const auto& n = r.nodes[id];
        ASSERT_EQ(c.Item(i).RawLong(), n.value) << "index " << i;
        ASSERT_EQ(c.Parent(i).RawLong(), indexOf.at(n.parent));
        ASSERT_EQ(c.Key(i), n.key);
        if (!n.key.empty()) {
            ASSERT_EQ(c.KeyToIndex(n.key), i);
        }
    }
    for (auto& [id, n] : r.nodes) {
        int idx = indexOf.at(id);
        std::vector<int32_t> kids;
        for (int32_t k = c.FirstChild(idx); k != 0 && kids.size() <= n.kids.size(); k = c.NextSibling(k))
            kids.push_back(k);
        std::vector<int32_t> want;
        for (int k : n.kids) want.push_back(indexOf.at(k));
        ASSERT_EQ(kids, want) << "children of id " << id;
    }
    std::vector<std::string> keys;
    for (auto& [id, n] : r.nodes)
        if (id && !n.key.empty()) keys.push_back(Reference::Fold(n.key));
    std::sort(keys.begin(), keys.end());
    ASSERT_EQ(c.IndexFromKeyIndex(0), static_cast<int32_t>(keys.size()));
    for (size_t k = 0; k < keys.size(); ++k)
        ASSERT_EQ(Reference::Fold(c.Key(c.IndexFromKeyIndex(static_cast<int32_t>(k + 1)))), keys[k]);
}

}  // namespace

TEST(NodeCollectionRandom, MixedOperationsMatchTheReference) {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        cNodeCollection c;
        c.CollectionBufferLimit(pick(0, 3));
        Reference r;
        int nextId = 1;
        for (int step = 0; step < 2000; ++step) {
            const int op = pick(0, 99);
            const int n = r.Count();
            // A node named by index, by key (when it has one) or the root.
            auto name = [&](int id) -> Variant {
                if (id == 0) return pick(0, 1) ? Variant(int32_t(0)) : Variant("");
                const auto& k = r.nodes[id].key;
                if (!k.empty() && pick(0, 1)) {
                    std::string s = k;
                    if (pick(0, 1)) std::transform(s.begin(), s.end(), s.begin(), ::toupper);
                    return Variant(s);
                }
                return Variant(int32_t(r.IndexOf(id)));
            };
            auto randomId = [&](bool root) {
                if (n == 0 || (root && pick(0, 9) == 0)) return 0;
                return r.idAt[static_cast<size_t>(pick(1, n))];
            };
            if (op < 52 || n < 3) {
                int rel = randomId(true);
                int code = pick(0, 11);
                std::string key = pick(0, 3) ? "K" + std::to_string(pick(0, 3000)) : std::string();
                int32_t value = pick(0, 50) * 10000 + nextId;
                if (!key.empty() && r.HasKey(key)) {
                    EXPECT_THROW(c.AddItem(Variant(value), key, name(rel), code), vb::VbError);
                } else {
                    int id = nextId++;
                    int32_t idx = c.AddItem(Variant(value), key, name(rel), code);
                    ASSERT_EQ(idx, n + 1);
                    r.nodes[id].key = key;
                    r.nodes[id].value = value;
                    r.idAt.push_back(id);
                    if (code >= 6 && code <= 11) {
                        // Numbers compare as numbers in every mode.
                        bool asc = code % 2 == 0;
                        auto& kids = r.nodes[rel].kids;
                        size_t pos = kids.size();
                        for (size_t i = 0; i < kids.size(); ++i) {
                            int32_t cv = r.nodes[kids[i]].value;
                            if (cv == value || (asc && value < cv) || (!asc && value > cv)) {
                                pos = i;
                                break;
                            }
                        }
                        r.InsertAt(id, rel, pos);
                    } else {
                        int p = rel == 0 ? 0 : r.nodes[rel].parent;
                        switch (code) {
                            case 0: r.InsertAt(id, p, 0); break;
                            case 1: r.InsertAt(id, p, r.nodes[p].kids.size()); break;
                            case 3: r.InsertAt(id, p, rel == 0 ? 0 : r.Pos(rel)); break;
                            case 4: r.InsertAt(id, rel, 0); break;
                            case 5: r.InsertAt(id, rel, r.nodes[rel].kids.size()); break;
                            default:
                                r.InsertAt(id, p, rel == 0 ? r.nodes[0].kids.size() : r.Pos(rel) + 1);
                                break;
                        }
                    }
                }
            } else if (op < 60) {
                int id = randomId(false);
                ASSERT_TRUE(c.RemoveItem(name(id)));
                r.DeleteSubtree(id);
            } else if (op < 62) {
                int id = randomId(true);
                ASSERT_TRUE(c.RemoveChildren(name(id)));
                if (id == 0) r.Clear();
                else
                    while (!r.nodes[id].kids.empty()) r.DeleteSubtree(r.nodes[id].kids.back());
            } else if (op < 82) {
                int s = randomId(false), t = randomId(true);
                int code = pick(0, 5);
                Placement pl = Place(r, t, code);
                bool inPlace = pl.anchor == s;
                bool cycle = !inPlace && (pl.parent == s || r.Below(s, pl.parent));
                if (cycle) {
                    EXPECT_THROW(c.MoveItem(name(s), name(t), code), vb::VbError);
                } else {
                    ASSERT_TRUE(c.MoveItem(name(s), name(t), code));
                    if (!inPlace) {
                        // Positions are taken before the node leaves its list.
                        size_t pos = pl.pos;
                        if (r.nodes[s].parent == pl.parent && r.Pos(s) < pos) --pos;
                        r.Detach(s);
                        r.InsertAt(s, pl.parent, pos);
                    }
                }
            } else if (op < 90) {
                int s = randomId(true), t = randomId(true);
                int code = pick(0, 5);
                auto block = r.nodes[s].kids;
                if (block.empty()) {
                    ASSERT_TRUE(c.MoveChildren(name(s), name(t), code));
                } else if (code >= 4 && r.nodes[t].kids.empty()) {
                    if (t == s || r.Below(s, t)) {
                        EXPECT_THROW(c.MoveChildren(name(s), name(t), code), vb::VbError);
                    } else {
                        ASSERT_TRUE(c.MoveChildren(name(s), name(t), code));
                        for (int k : block) r.nodes[k].parent = t;
                        r.nodes[t].kids = block;
                        r.nodes[s].kids.clear();
                    }
                } else if (code >= 4 && t == s) {
                    ASSERT_TRUE(c.MoveChildren(name(s), name(t), code));
                } else {
                    Placement pl = Place(r, t, code == 4 ? 4 : code);
                    if (pl.anchor == block.front()) {
                        ASSERT_TRUE(c.MoveChildren(name(s), name(t), code));
                    } else if (r.Below(s, pl.anchor)) {
                        EXPECT_THROW(c.MoveChildren(name(s), name(t), code), vb::VbError);
                    } else {
                        ASSERT_TRUE(c.MoveChildren(name(s), name(t), code));
                        r.nodes[s].kids.clear();
                        auto& dest = r.nodes[pl.parent].kids;
                        dest.insert(dest.begin() + static_cast<long>(pl.pos), block.begin(), block.end());
                        for (int k : block) r.nodes[k].parent = pl.parent;
                    }
                }
            } else if (op < 95) {
                int id = randomId(true);
                bool asc = pick(0, 1);
                ASSERT_TRUE(c.SortCollection(name(id), 2, 0, asc));
                auto& kids = r.nodes[id].kids;
                std::stable_sort(kids.begin(), kids.end(), [&](int a, int b) {
                    return asc ? r.nodes[a].value < r.nodes[b].value : r.nodes[a].value > r.nodes[b].value;
                });
            } else {
                int id = randomId(false);
                std::string key = pick(0, 4) ? "K" + std::to_string(pick(0, 3000)) : std::string();
                bool taken = false;
                for (auto& [other, node] : r.nodes)
                    if (other && other != id && !key.empty() && Reference::Fold(node.key) == Reference::Fold(key))
                        taken = true;
                if (taken) {
                    EXPECT_THROW(c.Key(name(id), key), vb::VbError);
                } else {
                    c.Key(name(id), key);
                    r.nodes[id].key = key;
                }
            }
            Compare(c, r, step);
            if (HasFatalFailure()) return;
        }
    }
}
