// cNodeCollection: an ordered tree of Variant values with unique text keys.
//
// Nodes are addressed by a 1-based index or by key.  Indices are dense
// (1 to ItemCount) and stay valid only until the next removal: a removal moves
// the former last node into the freed index and renumbers nothing else.  Keys
// stay with their nodes.  Index 0 is the invisible root whose children are the
// top-level nodes.
//
// A key-or-index argument is a Variant: a number (Integer, Long, Single,
// Double, Currency, Byte) names the node of that index after rounding half to
// even; a String is always a key ("" names the root where a member allows the
// root); every other type names no node.
//
// Errors are raised as vb::VbError with the numbers below and the source
// "Collection." plus the member.
#pragma once

#include <cstdint>
#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/runtime/variant.h"

namespace vb {
class PropertyBag;
}

namespace model {

class cNodeCollection {
public:
    // Results and error numbers of the collection.
    static constexpr int32_t kKeyNotFound = static_cast<int32_t>(0x80000500);
    static constexpr int32_t kErrKeyExists = static_cast<int32_t>(0x80000501);
    static constexpr int32_t kErrInvalidKeyOrIndex = static_cast<int32_t>(0x80000502);
    static constexpr int32_t kErrRelativeKeyInvalid = static_cast<int32_t>(0x80000503);
    static constexpr int32_t kErrInvalidCollectionBytes = static_cast<int32_t>(0x80000506);
    static constexpr int32_t kErrCollectionFull = static_cast<int32_t>(0x80000507);

    // Raised while the collection is saved (Serialize true: the handler turns
    // collectionObject into DataArray and names its class in ObjectID) or
    // loaded (Serialize false: the handler makes collectionObject from
    // DataArray and ObjectID).
    using SerializeObjectHandler = std::function<void(bool Serialize, vb::Variant& collectionObject,
                                                      std::vector<uint8_t>& DataArray,
                                                      std::string& ObjectID)>;
    SerializeObjectHandler SerializeObject;

    cNodeCollection();
    ~cNodeCollection();
    cNodeCollection(const cNodeCollection&) = delete;
    cNodeCollection& operator=(const cNodeCollection&) = delete;

    // --- Keys and growth ------------------------------------------------------
    bool KeysCaseSensitive() const { return CompareMode == 0; }
    void KeysCaseSensitive(bool isCaseSensitive);
    int32_t KeyToIndex(const std::string& Key) const;
    int32_t IndexFromKeyIndex(int32_t Index) const;
    bool KeyExists(const std::string& Key) const;
    std::string RandomKey();
    void ClearKeys(const vb::Variant& KeyIndex = vb::Variant::Missing(), int32_t Scope = 0);
    int32_t ParentRootNode(const vb::Variant& KeyIndex) const;
    bool IsAncestorOf(const vb::Variant& AncestorKeyIndex, const vb::Variant& ChildKeyIndex) const;
    std::string Key(const vb::Variant& KeyIndex) const;
    void Key(const vb::Variant& KeyIndex, const std::string& NewKey);
    int32_t CollectionBufferLimit() const { return BufferStep; }
    void CollectionBufferLimit(int32_t limit);

    // Last index of the node table and of the key table (their capacity).
    int32_t NodeTableUpperBound() const { return static_cast<int32_t>(Nodes.size()) - 1; }
    int32_t KeyTableUpperBound() const { return KeyUpper; }

    // --- Adding, reading and walking ------------------------------------------
    int32_t AddItem(const vb::Variant& item, const std::string& Key = std::string(),
                    const vb::Variant& RelativeKeyIndex = vb::Variant::Missing(),
                    int32_t Relationship = 0);
    vb::Variant Item(const vb::Variant& KeyIndex) const;
    // Stores a value; an object (or data object) is stored by reference.
    void Item(const vb::Variant& KeyIndex, const vb::Variant& value);
    int32_t ItemCount() const { return NodeCount; }
    vb::Variant Parent(const vb::Variant& KeyIndex) const;
    void Parent(const vb::Variant& KeyIndex, const vb::Variant& NewParentKeyIndex);
    int32_t FirstChild(const vb::Variant& KeyIndex) const;
    int32_t LastChild(const vb::Variant& KeyIndex) const;
    bool HasChildren(const vb::Variant& KeyIndex) const;
    int32_t ChildCount(const vb::Variant& KeyIndex) const;
    int32_t FirstSibling(const vb::Variant& KeyIndex) const;
    int32_t LastSibling(const vb::Variant& KeyIndex) const;
    int32_t NextSibling(const vb::Variant& KeyIndex) const;
    int32_t PreviousSibling(const vb::Variant& KeyIndex) const;
    vb::Variant SiblingOffsetIndex(const vb::Variant& ParentKey = vb::Variant::Missing(),
                                   int32_t Offset = 0, bool ReverseOffset = false) const;
    vb::Variant Getrealation(const vb::Variant& KeyIndex, int32_t& firstrel, int32_t& lastrel,
                             int32_t& nextrel, int32_t& endrel) const;

    // --- Removing and moving -------------------------------------------------
    bool RemoveItem(const vb::Variant& KeyIndex);
    bool RemoveChildren(const vb::Variant& KeyIndex);
    // Removes the node of a live index with its subtree; False (and nothing
    // changes) for an index that names no node.
    bool DeleteNode(int32_t Index);
    bool MoveItem(const vb::Variant& KeyIndex, const vb::Variant& TargetKeyIndex,
                  int32_t Relationship = 0, const std::string& NewKey = std::string());
    bool MoveChildren(const vb::Variant& ParentKeyIndex, const vb::Variant& TargetKeyIndex,
                      int32_t Relationship = 0);
    // Detaches a node from its place and makes it the last top-level node.
    bool Changetree(int32_t Index);

    // --- Sorting ----------------------------------------------------------------
    // Level 0: the node's parent and every level below it; 2: the node's own
    // children; other: the node's siblings.  TextSortAs 2 compares texts by
    // the numbers they read as, odd values case-sensitively, even values
    // without regard to case.
    bool SortCollection(const vb::Variant& KeyIndex, int32_t Level = 0, int32_t TextSortAs = 0,
                        bool Ascending = true, const std::string& ObjectPublicProperty = std::string());

    // --- Byte form --------------------------------------------------------------
    bool SaveCollection(std::vector<uint8_t>& CollectionArray);
    bool LoadCollection(const std::vector<uint8_t>& CollectionBytes);
    // The nodes in the order the byte form writes them, depth first in
    // pre-order: element i is the node saved as record i + 1, which is the
    // index it has once the bytes are loaded.  Empty when the links run in a
    // circle (a broken tree).
    std::vector<int32_t> SaveOrder() const;

    // Checks every structural invariant (dense indices, links both ways,
    // children pairs, sorted and complete key table); returns "" when sound,
    // otherwise a description of the first fault found.
    std::string CheckConsistency() const;

private:
    struct NodeRecord {
        int32_t Parent = 0;
        int32_t NextSibling = 0;
        int32_t PrevSibling = 0;
        int32_t KeyPtr = 0;      // slot of the key text + 1; 0 when the node has no key
        int32_t FirstChild = 0;  // the Children pair; both 0 while the node has no children
        int32_t LastChild = 0;
        vb::Variant Value;
        bool HasKids() const { return FirstChild != 0; }
    };
    // One entry of the sorted key table.  The text lives in a slot of
    // KeyTexts that never moves while entries move within the table.
    struct KeyRecord {
        int32_t NodeIndex = 0;
        int32_t Slot = -1;
    };
    // The key table's entries 1 to Count() in key order.  They are kept in
    // blocks of at most kBlockMax entries, so that inserting or removing an
    // entry moves the entries of one block only, and the entry of a given
    // rank is found by a binary search over the blocks' first ranks.
    class KeyTable {
    public:
        int32_t Count() const { return count_; }
        // The entry of a rank, 1 to Count().  An entry's Slot is fixed once
        // inserted (the blocks remember their last entry's slot).
        KeyRecord& operator[](size_t rank) { return const_cast<KeyRecord&>(std::as_const(*this)[rank]); }
        const KeyRecord& operator[](size_t rank) const {
            const size_t b = Locate(static_cast<int32_t>(rank));
            return blocks_[b][rank - 1 - static_cast<size_t>(start_[b])];
        }
        // Makes r the entry of the rank (1 to Count() + 1), the entries from
        // there on moving up by one.
        void Insert(int32_t rank, const KeyRecord& r);
        // Removes the entry of the rank, the entries behind it moving down.
        void Erase(int32_t rank);
        void Clear();
        // Replaces the entries by these, already in key order.
        void Assign(const std::vector<KeyRecord>& sorted);
        // Binary search with cmp(slot) < 0, 0 or > 0 as the entry with that
        // key slot sorts before, equal to or after the key: the rank of the
        // equal entry (found set), or else the rank at which the key would be
        // inserted.
        template <class Cmp>
        int32_t Search(const Cmp& cmp, bool& found) const {
            found = false;
            size_t lo = 0, hi = blocks_.size();
            while (lo < hi) {   // first block whose last entry does not sort before the key
                const size_t mid = lo + (hi - lo) / 2;
                const int c = cmp(lastSlot_[mid]);
                if (c == 0) {
                    found = true;
                    return start_[mid] + static_cast<int32_t>(blocks_[mid].size());
                }
                if (c < 0) lo = mid + 1;
                else hi = mid;
            }
            if (lo == blocks_.size()) return count_ + 1;
            const std::vector<KeyRecord>& b = blocks_[lo];
            size_t l = 0, h = b.size() - 1;   // the last entry sorts after the key
            while (l < h) {
                const size_t mid = l + (h - l) / 2;
                const int c = cmp(b[mid].Slot);
                if (c == 0) {
                    found = true;
                    return start_[lo] + static_cast<int32_t>(mid) + 1;
                }
                if (c < 0) l = mid + 1;
                else h = mid;
            }
            return start_[lo] + static_cast<int32_t>(l) + 1;
        }

    private:
        static constexpr size_t kBlockMax = 512;
        // The block that holds the rank.
        size_t Locate(int32_t rank) const {
            return static_cast<size_t>(std::upper_bound(start_.begin(), start_.end(), rank - 1) - start_.begin()) - 1;
        }
        void Renumber(size_t from);
        std::vector<std::vector<KeyRecord>> blocks_;
        std::vector<int32_t> start_;   // number of entries before each block
        std::vector<int32_t> lastSlot_;   // Slot of each block's last entry, searched without touching the block
        int32_t count_ = 0;
    };

    int32_t CompareMode = 1;
    int32_t BufferStep = 10;
    int32_t NodeCount = 0;
    int32_t KeyCount = 0;
    KeyTable Keys;
    int32_t KeyUpper = 0;   // last index of the key table as grown and trimmed (its capacity)
    std::vector<NodeRecord> Nodes;
    std::vector<std::string> KeyTexts;
    std::vector<int32_t> FreeSlots;
    std::mt19937 Rng;

    // Keys
    int CompareKey(std::string_view a, std::string_view b) const;
    const std::string& KeyText(const KeyRecord& k) const { return KeyTexts[static_cast<size_t>(k.Slot)]; }
    const std::string& NodeKey(int32_t index) const;
    int32_t FindKey(std::string_view key) const;                 // position, or kKeyNotFound
    int32_t InsertKey(std::string_view key, int32_t nodeIndex);   // position, or kErrKeyExists
    bool RemoveKey(int32_t nodeIndex);
    int32_t NewSlot(std::string_view text);
    void ReleaseSlot(int32_t slot);
    int32_t ResolveKeyIndex(const vb::Variant& KeyIndex, bool AllowRoot) const;
    void ResetArrays();
    void TrimTables();
    void GrowNodesForAdd();

    // Links
    void Unlink(int32_t n);
    void LinkBefore(int32_t n, int32_t t);
    void LinkAfter(int32_t n, int32_t t);
    void LinkFirstChild(int32_t n, int32_t p);
    void LinkLastChild(int32_t n, int32_t p);
    void SetOnlyChild(int32_t parent, int32_t child);
    bool IsStrictAncestor(int32_t ancestor, int32_t node) const;
    void DeleteLeaf(int32_t index, std::initializer_list<int32_t*> tracked);

    // Sorting
    int32_t FindSortedPosition(int32_t newNode, int32_t parent, int32_t mode, bool ascending) const;
    bool SortLevel(int32_t node, int32_t TextSortAs, bool Ascending, const std::string& prop);
    bool SortChildren(int32_t node, int32_t TextSortAs, bool Ascending, bool ownChildren,
                      const std::string& prop);

    // Byte form
    struct LoadState;
    void SerializeObjectValue(vb::PropertyBag& bag, const vb::Variant& value, const std::string& name);
    void SerializeArray(vb::PropertyBag& bag, const vb::Variant& value, const std::string& name);
    bool DeserializeObject(LoadState& st, vb::Variant& dest, const std::string& name);
    bool DeserializeArray(LoadState& st, vb::Variant& dest, const std::string& name, int depth);
};

}  // namespace model
