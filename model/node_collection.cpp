// cNodeCollection: node and key tables, adding, reading, walking, removing
// and moving nodes.  Sorting is in node_collection_sort.cpp, the byte form in
// node_collection_bytes.cpp.
#include "model/node_collection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace model {

namespace {

constexpr int64_t kMaxIndex = std::numeric_limits<int32_t>::max();

[[noreturn]] void Raise(int32_t number, const char* description, const char* source) {
    throw vb::VbError(number, description, source);
}

[[noreturn]] void RaiseBadKeyIndex(const char* source) {
    Raise(cNodeCollection::kErrInvalidKeyOrIndex, "Invalid Key or Index", source);
}

inline char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

cNodeCollection::cNodeCollection() {
    ResetArrays();
    BufferStep = 10;
    CompareMode = 1;
    auto now = std::chrono::system_clock::now().time_since_epoch();
    Rng.seed(static_cast<std::mt19937::result_type>(
        std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
}

cNodeCollection::~cNodeCollection() = default;

// --- Key table ---------------------------------------------------------------

int cNodeCollection::CompareKey(std::string_view a, std::string_view b) const {
    // Equal ASCII prefixes are skipped here; the rest goes to the runtime's
    // StrComp, which folds ASCII letters the same way.
    size_t i = 0;
    const size_t n = std::min(a.size(), b.size());
    if (CompareMode == 0) {
        while (i < n && a[i] == b[i] && static_cast<unsigned char>(a[i]) < 0x80) ++i;
        if (i < n && static_cast<unsigned char>(a[i]) < 0x80 && static_cast<unsigned char>(b[i]) < 0x80)
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
    } else {
        while (i < n) {
            unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
            if (ca >= 0x80 || cb >= 0x80) break;
            char fa = FoldAscii(static_cast<char>(ca)), fb = FoldAscii(static_cast<char>(cb));
            if (fa != fb) return static_cast<unsigned char>(fa) < static_cast<unsigned char>(fb) ? -1 : 1;
            ++i;
        }
    }
    if (i == n) return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    return vb::StrComp(a.substr(i), b.substr(i), CompareMode == 0 ? 0 : 1);
}

const std::string& cNodeCollection::NodeKey(int32_t index) const {
    static const std::string empty;
    int32_t ptr = Nodes[static_cast<size_t>(index)].KeyPtr;
    return ptr ? KeyTexts[static_cast<size_t>(ptr - 1)] : empty;
}

// --- The key table's blocks ----------------------------------------------------

void cNodeCollection::KeyTable::Renumber(size_t from) {
    start_.resize(blocks_.size());
    int32_t before = from == 0 ? 0 : start_[from - 1] + static_cast<int32_t>(blocks_[from - 1].size());
    for (size_t b = from; b < blocks_.size(); ++b) {
        start_[b] = before;
        before += static_cast<int32_t>(blocks_[b].size());
    }
    count_ = before;
}

void cNodeCollection::KeyTable::Insert(int32_t rank, const KeyRecord& r) {
    if (blocks_.empty()) {
        blocks_.emplace_back();
        start_.assign(1, 0);
        lastSlot_.assign(1, -1);
    }
    const size_t b = rank > count_ ? blocks_.size() - 1 : Locate(rank);
    std::vector<KeyRecord>& block = blocks_[b];
    block.insert(block.begin() + (rank - 1 - start_[b]), r);
    if (block.size() > kBlockMax) {
        // Split the full block in two halves.
        std::vector<KeyRecord> upper(block.begin() + static_cast<std::ptrdiff_t>(kBlockMax / 2), block.end());
        block.resize(kBlockMax / 2);
        lastSlot_.insert(lastSlot_.begin() + static_cast<std::ptrdiff_t>(b) + 1, upper.back().Slot);
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
    }
    lastSlot_[b] = blocks_[b].back().Slot;
    Renumber(b);
}

void cNodeCollection::KeyTable::Erase(int32_t rank) {
    size_t b = Locate(rank);
    std::vector<KeyRecord>& block = blocks_[b];
    block.erase(block.begin() + (rank - 1 - start_[b]));
    if (block.empty()) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
        start_.erase(start_.begin() + static_cast<std::ptrdiff_t>(b));
        lastSlot_.erase(lastSlot_.begin() + static_cast<std::ptrdiff_t>(b));
        if (b > 0) --b;
    } else if (block.size() < kBlockMax / 4 && b + 1 < blocks_.size() &&
               block.size() + blocks_[b + 1].size() <= kBlockMax) {
        // Merge a small block with the next one, so that removals do not
        // leave many tiny blocks behind.
        block.insert(block.end(), blocks_[b + 1].begin(), blocks_[b + 1].end());
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1);
        lastSlot_.erase(lastSlot_.begin() + static_cast<std::ptrdiff_t>(b) + 1);
        lastSlot_[b] = block.back().Slot;
    } else {
        lastSlot_[b] = block.back().Slot;
    }
    if (blocks_.empty()) {
        Clear();
        return;
    }
    Renumber(b);
}

void cNodeCollection::KeyTable::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    start_.clear();
    start_.shrink_to_fit();
    lastSlot_.clear();
    lastSlot_.shrink_to_fit();
    count_ = 0;
}

void cNodeCollection::KeyTable::Assign(const std::vector<KeyRecord>& sorted) {
    Clear();
    const size_t fill = kBlockMax / 2;
    for (size_t at = 0; at < sorted.size(); at += fill) {
        const size_t end = std::min(sorted.size(), at + fill);
        blocks_.emplace_back(sorted.begin() + static_cast<std::ptrdiff_t>(at),
                             sorted.begin() + static_cast<std::ptrdiff_t>(end));
        lastSlot_.push_back(blocks_.back().back().Slot);
    }
    Renumber(0);
}

// --- Key search --------------------------------------------------------------

int32_t cNodeCollection::FindKey(std::string_view key) const {
    if (key.empty()) return kKeyNotFound;
    bool found = false;
    const int32_t p = Keys.Search([&](int32_t slot) { return CompareKey(KeyTexts[static_cast<size_t>(slot)], key); }, found);
    return found ? p : kKeyNotFound;
}

int32_t cNodeCollection::NewSlot(std::string_view text) {
    if (!FreeSlots.empty()) {
        int32_t s = FreeSlots.back();
        FreeSlots.pop_back();
        KeyTexts[static_cast<size_t>(s)] = std::string(text);
        return s;
    }
    KeyTexts.emplace_back(text);
    return static_cast<int32_t>(KeyTexts.size() - 1);
}

void cNodeCollection::ReleaseSlot(int32_t slot) {
    KeyTexts[static_cast<size_t>(slot)].clear();
    KeyTexts[static_cast<size_t>(slot)].shrink_to_fit();
    FreeSlots.push_back(slot);
}

int32_t cNodeCollection::InsertKey(std::string_view key, int32_t nodeIndex) {
    // Insertion point: the first entry that sorts after the key.
    bool found = false;
    const int32_t p = Keys.Search([&](int32_t slot) { return CompareKey(KeyTexts[static_cast<size_t>(slot)], key); }, found);
    if (found) return kErrKeyExists;
    if (static_cast<int64_t>(KeyCount) + 1 > KeyTableUpperBound())
        KeyUpper = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(KeyCount) + 1 + BufferStep, kMaxIndex));
    const int32_t slot = NewSlot(key);
    Keys.Insert(p, KeyRecord{nodeIndex, slot});
    ++KeyCount;
    return p;
}

bool cNodeCollection::RemoveKey(int32_t nodeIndex) {
    NodeRecord& node = Nodes[static_cast<size_t>(nodeIndex)];
    if (!node.KeyPtr) return false;
    int32_t slot = node.KeyPtr - 1;
    int32_t p = FindKey(KeyTexts[static_cast<size_t>(slot)]);
    node.KeyPtr = 0;
    if (p < 1) return false;
    Keys.Erase(p);
    --KeyCount;
    ReleaseSlot(slot);
    return true;
}

void cNodeCollection::ResetArrays() {
    Nodes.clear();
    Nodes.shrink_to_fit();
    Nodes.resize(1);
    Keys.Clear();
    KeyUpper = 0;
    KeyTexts.clear();
    KeyTexts.shrink_to_fit();
    FreeSlots.clear();
    FreeSlots.shrink_to_fit();
    NodeCount = 0;
    KeyCount = 0;
}

void cNodeCollection::TrimTables() {
    // Shrinking a vector keeps its storage; give memory back only when far
    // more than the table needs is held, so that alternating adds and
    // removals do not reallocate every time.
    if (static_cast<int64_t>(KeyCount) + BufferStep < KeyTableUpperBound()) KeyUpper = KeyCount;
    if (static_cast<int64_t>(NodeCount) + BufferStep < NodeTableUpperBound()) {
        Nodes.resize(static_cast<size_t>(NodeCount) + 1);
        if (Nodes.capacity() > 4 * Nodes.size() + 64) Nodes.shrink_to_fit();
    }
}

void cNodeCollection::GrowNodesForAdd() {
    if (NodeCount == 0) {
        Nodes.clear();
        Nodes.resize(static_cast<size_t>(BufferStep) + 2);
    } else if (NodeTableUpperBound() == NodeCount) {
        int64_t upper = std::min<int64_t>(static_cast<int64_t>(NodeCount) + 1 + BufferStep, kMaxIndex);
        Nodes.resize(static_cast<size_t>(upper) + 1);
    }
}

int32_t cNodeCollection::ResolveKeyIndex(const vb::Variant& v, bool AllowRoot) const {
    int32_t result = kErrInvalidKeyOrIndex;
    try {
        double n;
        switch (v.Type()) {
            case vb::vbInteger: n = v.RawInteger(); break;
            case vb::vbLong: n = v.RawLong(); break;
            case vb::vbByte: n = v.RawByte(); break;
            case vb::vbSingle:
            case vb::vbDouble:
            case vb::vbCurrency:
                // The number as text, read back and rounded half to even.
                n = vb::RoundHalfEven(vb::Val(vb::CStr(v)));
                break;
            case vb::vbString: {
                const std::string& s = v.RawString();
                if (s.empty()) return AllowRoot ? 0 : result;
                int32_t p = FindKey(s);
                return p > 0 ? Keys[static_cast<size_t>(p)].NodeIndex : kKeyNotFound;
            }
            default:
                return result;
        }
        if (n == 0 && AllowRoot) return 0;
        if (n >= 1 && n <= NodeCount) return static_cast<int32_t>(n);
    } catch (const vb::VbError&) {
    }
    return result;
}

// --- Key members -------------------------------------------------------------

void cNodeCollection::KeysCaseSensitive(bool isCaseSensitive) {
    if (KeyCount == 0) CompareMode = isCaseSensitive ? 0 : 1;
}

int32_t cNodeCollection::KeyToIndex(const std::string& Key) const {
    int32_t p = FindKey(Key);
    return p > 0 ? Keys[static_cast<size_t>(p)].NodeIndex : kKeyNotFound;
}

int32_t cNodeCollection::IndexFromKeyIndex(int32_t Index) const {
    if (Index == 0) return KeyCount;
    if (Index >= 1 && Index <= KeyCount) return Keys[static_cast<size_t>(Index)].NodeIndex;
    Raise(kErrInvalidKeyOrIndex, "Invalid Index", "Collection.IndexFromKeyIndex");
}

bool cNodeCollection::KeyExists(const std::string& Key) const {
    return !Key.empty() && FindKey(Key) > 0;
}

std::string cNodeCollection::RandomKey() {
    std::uniform_int_distribution<int> pick(0, 56);
    for (;;) {
        std::string key(16, 'A');
        for (char& c : key) c = static_cast<char>(65 + pick(Rng));
        if (FindKey(key) < 0) return key;
    }
}

void cNodeCollection::ClearKeys(const vb::Variant& KeyIndex, int32_t Scope) {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.ClearKeys");
    if (Scope == 0) {
        for (int32_t i = 1; i <= NodeCount; ++i) Nodes[static_cast<size_t>(i)].KeyPtr = 0;
        Keys.Clear();
        KeyUpper = 0;
        KeyTexts.clear();
        FreeSlots.clear();
        KeyCount = 0;
        return;
    }
    int32_t p = (Scope == 1) ? (n == 0 ? 0 : Nodes[static_cast<size_t>(n)].Parent) : n;
    int32_t steps = 0;
    for (int32_t c = Nodes[static_cast<size_t>(p)].FirstChild; c != 0 && steps <= NodeCount;
         c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps) {
        RemoveKey(c);
    }
}

int32_t cNodeCollection::ParentRootNode(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex("Collection.ParentRootNode");
    for (int32_t steps = 0; Nodes[static_cast<size_t>(n)].Parent != 0 && steps <= NodeCount; ++steps)
        n = Nodes[static_cast<size_t>(n)].Parent;
    return n;
}

bool cNodeCollection::IsStrictAncestor(int32_t ancestor, int32_t node) const {
    if (node == 0) return false;
    int32_t p = Nodes[static_cast<size_t>(node)].Parent;
    for (int32_t steps = 0; steps <= NodeCount; ++steps) {
        if (p == ancestor) return true;
        if (p == 0) return false;
        p = Nodes[static_cast<size_t>(p)].Parent;
    }
    return false;
}

bool cNodeCollection::IsAncestorOf(const vb::Variant& AncestorKeyIndex, const vb::Variant& ChildKeyIndex) const {
    int32_t a = ResolveKeyIndex(AncestorKeyIndex, false);
    if (a < 0) Raise(kErrInvalidKeyOrIndex, "Invalid Ancestor Key or Index", "Collection.IsAncestorOf");
    int32_t c = ResolveKeyIndex(ChildKeyIndex, false);
    if (c < 0) Raise(kErrInvalidKeyOrIndex, "Invalid Child Key or Index", "Collection.IsAncestorOf");
    return IsStrictAncestor(a, c);
}

std::string cNodeCollection::Key(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex("Collection.Key Property Get");
    return NodeKey(n);
}

void cNodeCollection::Key(const vb::Variant& KeyIndex, const std::string& NewKey) {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex("Collection.Key Property Let");
    NodeRecord& node = Nodes[static_cast<size_t>(n)];
    if (NewKey.empty()) {
        RemoveKey(n);
        return;
    }
    int32_t p = FindKey(NewKey);
    if (p < 0) {
        RemoveKey(n);
        int32_t q = InsertKey(NewKey, n);
        Nodes[static_cast<size_t>(n)].KeyPtr = Keys[static_cast<size_t>(q)].Slot + 1;
        return;
    }
    KeyRecord& entry = Keys[static_cast<size_t>(p)];
    if (entry.NodeIndex != n)
        Raise(kErrKeyExists, "Key Already Exists in this Collection", "Collection.Key Property Let");
    // Same key under the comparison: keep the entry, store the new spelling.
    KeyTexts[static_cast<size_t>(entry.Slot)] = NewKey;
    node.KeyPtr = entry.Slot + 1;
}

void cNodeCollection::CollectionBufferLimit(int32_t limit) {
    if (limit >= 1 && limit <= 1000) {
        BufferStep = limit;
    } else if (limit == 0) {
        BufferStep = 0;
        if (NodeTableUpperBound() > NodeCount) {
            Nodes.resize(static_cast<size_t>(NodeCount) + 1);
            Nodes.shrink_to_fit();
        }
        if (KeyTableUpperBound() > KeyCount) KeyUpper = KeyCount;
    }
}

// --- Linking -----------------------------------------------------------------

void cNodeCollection::Unlink(int32_t n) {
    NodeRecord& node = Nodes[static_cast<size_t>(n)];
    NodeRecord& parent = Nodes[static_cast<size_t>(node.Parent)];
    const int32_t v = node.PrevSibling, x = node.NextSibling;
    if (v) Nodes[static_cast<size_t>(v)].NextSibling = x;
    else if (x) parent.FirstChild = x;
    else parent.FirstChild = parent.LastChild = 0;
    if (x) Nodes[static_cast<size_t>(x)].PrevSibling = v;
    else if (v) parent.LastChild = v;
    node.NextSibling = node.PrevSibling = 0;
}

void cNodeCollection::SetOnlyChild(int32_t parent, int32_t child) {
    Nodes[static_cast<size_t>(parent)].FirstChild = child;
    Nodes[static_cast<size_t>(parent)].LastChild = child;
    NodeRecord& node = Nodes[static_cast<size_t>(child)];
    node.Parent = parent;
    node.NextSibling = node.PrevSibling = 0;
}

void cNodeCollection::LinkBefore(int32_t n, int32_t t) {
    NodeRecord& target = Nodes[static_cast<size_t>(t)];
    const int32_t p = target.Parent, v = target.PrevSibling;
    if (v) Nodes[static_cast<size_t>(v)].NextSibling = n;
    else Nodes[static_cast<size_t>(p)].FirstChild = n;
    NodeRecord& node = Nodes[static_cast<size_t>(n)];
    node.NextSibling = t;
    node.PrevSibling = v;
    node.Parent = p;
    target.PrevSibling = n;
}

void cNodeCollection::LinkAfter(int32_t n, int32_t t) {
    NodeRecord& target = Nodes[static_cast<size_t>(t)];
    const int32_t p = target.Parent, x = target.NextSibling;
    if (x) Nodes[static_cast<size_t>(x)].PrevSibling = n;
    else Nodes[static_cast<size_t>(p)].LastChild = n;
    NodeRecord& node = Nodes[static_cast<size_t>(n)];
    node.NextSibling = x;
    node.PrevSibling = t;
    node.Parent = p;
    target.NextSibling = n;
}

void cNodeCollection::LinkFirstChild(int32_t n, int32_t p) {
    if (Nodes[static_cast<size_t>(p)].HasKids()) {
        LinkBefore(n, Nodes[static_cast<size_t>(p)].FirstChild);
    } else {
        SetOnlyChild(p, n);
    }
}

void cNodeCollection::LinkLastChild(int32_t n, int32_t p) {
    if (Nodes[static_cast<size_t>(p)].HasKids()) {
        LinkAfter(n, Nodes[static_cast<size_t>(p)].LastChild);
    } else {
        SetOnlyChild(p, n);
    }
}

// --- Adding ------------------------------------------------------------------

int32_t cNodeCollection::AddItem(const vb::Variant& item, const std::string& Key,
                                 const vb::Variant& RelativeKeyIndex, int32_t Relationship) {
    int32_t r = 0;
    // An omitted relative node means the root, as the empty text does.
    if (!RelativeKeyIndex.IsMissing() && !(RelativeKeyIndex.IsString() && RelativeKeyIndex.RawString().empty())) {
        r = ResolveKeyIndex(RelativeKeyIndex, true);
        if (r < 0) Raise(kErrRelativeKeyInvalid, "Relative Key is Invalid", "Collection.AddItem");
    }
    if (NodeCount == kMaxIndex) Raise(kErrCollectionFull, "The Collection Is Full", "Collection.AddItem");
    const int32_t n = NodeCount + 1;
    int32_t keySlot = -1;
    if (!Key.empty()) {
        int32_t p = InsertKey(Key, n);
        if (p == kErrKeyExists)
            Raise(kErrKeyExists, "Key Already Exists in this Collection", "Collection.AddItem");
        keySlot = Keys[static_cast<size_t>(p)].Slot;
    }
    GrowNodesForAdd();
    NodeCount = n;
    NodeRecord& node = Nodes[static_cast<size_t>(n)];
    node = NodeRecord{};
    node.KeyPtr = keySlot + 1;
    node.Value = item;

    int32_t code = Relationship;
    if (code >= 6 && code <= 11) {
        int32_t c = FindSortedPosition(n, r, (code - 6) & ~1, (code % 2) == 0);
        if (c) {
            r = c;
            code = 3;
        } else {
            code = 5;
        }
    }
    const int32_t rParent = r == 0 ? 0 : Nodes[static_cast<size_t>(r)].Parent;
    switch (code) {
        case 0: LinkFirstChild(n, rParent); break;
        case 1: LinkLastChild(n, rParent); break;
        case 3:
            if (r == 0) LinkFirstChild(n, 0);
            else LinkBefore(n, r);
            break;
        case 4: LinkFirstChild(n, r); break;
        case 5: LinkLastChild(n, r); break;
        default:
            if (r == 0) LinkLastChild(n, 0);
            else LinkAfter(n, r);
            break;
    }
    return n;
}

// --- Reading -----------------------------------------------------------------

vb::Variant cNodeCollection::Item(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) return vb::Variant();
    return Nodes[static_cast<size_t>(n)].Value;
}

void cNodeCollection::Item(const vb::Variant& KeyIndex, const vb::Variant& value) {
    const bool isObject = value.Type() == vb::vbObject || value.Type() == vb::vbDataObject;
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex(isObject ? "Collection.Item Property Set" : "Collection.Item Propety Let");
    Nodes[static_cast<size_t>(n)].Value = value;
}

vb::Variant cNodeCollection::Parent(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    return vb::Variant(n < 0 ? int32_t(0) : Nodes[static_cast<size_t>(n)].Parent);
}

void cNodeCollection::Parent(const vb::Variant& KeyIndex, const vb::Variant& NewParentKeyIndex) {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex("Collection.Property Parent Let");
    int32_t p = ResolveKeyIndex(NewParentKeyIndex, true);
    // A node cannot become the child of itself or of its own descendant.
    if (p < 0 || p == n || IsStrictAncestor(n, p))
        Raise(kErrInvalidKeyOrIndex, "Invalid New Parent Key or Index", "Collection.Property Parent Let");
    if (Nodes[static_cast<size_t>(n)].Parent != p) MoveItem(vb::Variant(n), vb::Variant(p), 5);
}

int32_t cNodeCollection::FirstChild(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    return n < 0 ? 0 : Nodes[static_cast<size_t>(n)].FirstChild;
}

int32_t cNodeCollection::LastChild(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.LastChild");
    return Nodes[static_cast<size_t>(n)].LastChild;
}

bool cNodeCollection::HasChildren(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.HasChildren");
    return Nodes[static_cast<size_t>(n)].HasKids();
}

int32_t cNodeCollection::ChildCount(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.ChildCount");
    int32_t count = 0;
    for (int32_t c = Nodes[static_cast<size_t>(n)].FirstChild; c != 0 && count <= NodeCount;
         c = Nodes[static_cast<size_t>(c)].NextSibling)
        ++count;
    return count;
}

int32_t cNodeCollection::FirstSibling(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) return 0;
    int32_t p = n == 0 ? 0 : Nodes[static_cast<size_t>(n)].Parent;
    return Nodes[static_cast<size_t>(p)].FirstChild;
}

int32_t cNodeCollection::LastSibling(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.LastSibling");
    int32_t p = n == 0 ? 0 : Nodes[static_cast<size_t>(n)].Parent;
    return Nodes[static_cast<size_t>(p)].LastChild;
}

int32_t cNodeCollection::NextSibling(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.NextSibling");
    if (n == 0) return Nodes[0].LastChild;  // 0 on an empty collection
    return Nodes[static_cast<size_t>(n)].NextSibling;
}

int32_t cNodeCollection::PreviousSibling(const vb::Variant& KeyIndex) const {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.PreviousSibling");
    if (n == 0) return Nodes[0].FirstChild;  // 0 on an empty collection
    return Nodes[static_cast<size_t>(n)].PrevSibling;
}

vb::Variant cNodeCollection::SiblingOffsetIndex(const vb::Variant& ParentKey, int32_t Offset,
                                                bool ReverseOffset) const {
    if (Offset < 0) return vb::Variant();
    int32_t n = ResolveKeyIndex(ParentKey, true);
    if (n < 0) RaiseBadKeyIndex("Collection.SiblingOffsetIndex");
    const NodeRecord& node = Nodes[static_cast<size_t>(n)];
    if (!node.HasKids()) return vb::Variant(int32_t(0));
    int32_t c = ReverseOffset ? node.LastChild : node.FirstChild;
    for (int32_t i = 0; i < Offset && i <= NodeCount; ++i) {
        int32_t next = ReverseOffset ? Nodes[static_cast<size_t>(c)].PrevSibling
                                     : Nodes[static_cast<size_t>(c)].NextSibling;
        if (next == 0) break;
        c = next;
    }
    return vb::Variant(c);
}

vb::Variant cNodeCollection::Getrealation(const vb::Variant& KeyIndex, int32_t& firstrel, int32_t& lastrel,
                                          int32_t& nextrel, int32_t& endrel) const {
    (void)nextrel;
    (void)endrel;
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) Raise(kErrRelativeKeyInvalid, "Relative Key is Invalid", "Collection.AddItem");
    if (Nodes[static_cast<size_t>(n)].HasKids()) lastrel = Nodes[static_cast<size_t>(n)].FirstChild;
    else firstrel = 0;
    return vb::Variant();
}

// --- Removing ----------------------------------------------------------------

// Removes one node that has no children and keeps the table dense: the last
// node moves into the freed index.  Indices held in `tracked` follow a node
// that is renumbered so.
void cNodeCollection::DeleteLeaf(int32_t index, std::initializer_list<int32_t*> tracked) {
    if (NodeCount == 1) {
        ResetArrays();
        return;
    }
    Nodes[static_cast<size_t>(index)].Value = vb::Variant();
    Unlink(index);
    RemoveKey(index);
    const int32_t last = NodeCount;
    if (index != last) {
        NodeRecord& l = Nodes[static_cast<size_t>(last)];
        if (l.KeyPtr) {
            int32_t p = FindKey(KeyTexts[static_cast<size_t>(l.KeyPtr - 1)]);
            if (p > 0) Keys[static_cast<size_t>(p)].NodeIndex = index;
        }
        if (l.PrevSibling) Nodes[static_cast<size_t>(l.PrevSibling)].NextSibling = index;
        else Nodes[static_cast<size_t>(l.Parent)].FirstChild = index;
        if (l.NextSibling) Nodes[static_cast<size_t>(l.NextSibling)].PrevSibling = index;
        else Nodes[static_cast<size_t>(l.Parent)].LastChild = index;
        int32_t steps = 0;
        for (int32_t c = l.FirstChild; c != 0 && steps <= NodeCount; c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps)
            Nodes[static_cast<size_t>(c)].Parent = index;
        std::swap(Nodes[static_cast<size_t>(index)], Nodes[static_cast<size_t>(last)]);
        for (int32_t* t : tracked)
            if (t && *t == last) *t = index;
    }
    Nodes[static_cast<size_t>(last)] = NodeRecord{};
    --NodeCount;
    TrimTables();
}

bool cNodeCollection::DeleteNode(int32_t Index) {
    if (Index < 1 || Index > NodeCount) return false;
    if (NodeCount == 1) {
        ResetArrays();
        return true;
    }
    // Depth first, last child first, without recursion so that deep trees
    // cannot exhaust the stack.
    int32_t target = Index;
    int32_t cur = target;
    for (;;) {
        while (Nodes[static_cast<size_t>(cur)].HasKids()) cur = Nodes[static_cast<size_t>(cur)].LastChild;
        if (cur == target) {
            DeleteLeaf(cur, {});
            return true;
        }
        int32_t parent = Nodes[static_cast<size_t>(cur)].Parent;
        DeleteLeaf(cur, {&parent, &target});
        cur = parent;
    }
}

bool cNodeCollection::RemoveItem(const vb::Variant& KeyIndex) {
    int32_t n = ResolveKeyIndex(KeyIndex, false);
    if (n < 0) RaiseBadKeyIndex("Collection.RemoveItem");
    return DeleteNode(n);
}

bool cNodeCollection::RemoveChildren(const vb::Variant& KeyIndex) {
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0) RaiseBadKeyIndex("Collection.RemoveItem");
    if (n == 0) {
        ResetArrays();
        return true;
    }
    while (Nodes[static_cast<size_t>(n)].HasKids()) {
        int32_t target = Nodes[static_cast<size_t>(n)].LastChild;
        int32_t cur = target;
        for (;;) {
            while (Nodes[static_cast<size_t>(cur)].HasKids()) cur = Nodes[static_cast<size_t>(cur)].LastChild;
            if (cur == target) {
                DeleteLeaf(cur, {&n});
                break;
            }
            int32_t parent = Nodes[static_cast<size_t>(cur)].Parent;
            DeleteLeaf(cur, {&parent, &target, &n});
            cur = parent;
        }
    }
    return true;
}

bool cNodeCollection::Changetree(int32_t Index) {
    // Detaching alone would leave a node that no walk reaches; it becomes
    // the last top-level node instead, so the tree stays whole.
    if (Index < 1 || Index > NodeCount || NodeCount == 1) return false;
    Unlink(Index);
    LinkLastChild(Index, 0);
    return false;
}

// --- Moving ------------------------------------------------------------------

namespace {
enum class Place { Before, After, OnlyChild };

struct Anchor {
    int32_t node;
    Place place;
};

// Where a node goes that is to be a sibling of `t` (0 for the root: the
// top level): code 0 first, 1 last, 2 next, anything else previous.
template <class NodeTable>
Anchor SiblingAnchor(const NodeTable& nodes, int32_t t, int32_t code) {
    const auto& tn = nodes[static_cast<size_t>(t)];
    const int32_t tParent = t == 0 ? 0 : tn.Parent;
    switch (code) {
        case 0: return {nodes[static_cast<size_t>(tParent)].FirstChild, Place::Before};
        case 1: return {nodes[static_cast<size_t>(tParent)].LastChild, Place::After};
        case 2:
            if (t == 0) return {nodes[0].LastChild, Place::After};
            if (tn.NextSibling == 0) return {t, Place::After};
            return {tn.NextSibling, Place::Before};
        default: return {t == 0 ? nodes[0].FirstChild : t, Place::Before};
    }
}
}  // namespace

bool cNodeCollection::MoveItem(const vb::Variant& KeyIndex, const vb::Variant& TargetKeyIndex,
                               int32_t Relationship, const std::string& NewKey) {
    if (NodeCount < 2) return false;
    int32_t s = ResolveKeyIndex(KeyIndex, true);
    if (s <= 0) Raise(kErrInvalidKeyOrIndex, "Invalid Source Key or Index", "Collection.MoveItem");
    int32_t t = ResolveKeyIndex(TargetKeyIndex, true);
    if (t < 0) Raise(kErrInvalidKeyOrIndex, "Invalid Destination Key or Index", "Collection.MoveItem");

    int32_t code = Relationship;
    if (code >= 6 && code <= 11) {
        int32_t c = FindSortedPosition(s, t, (code - 6) & ~1, (code % 2) == 0);
        if (c) {
            t = c;
            code = 3;
        } else {
            code = 5;
        }
    }
    const NodeRecord& tn = Nodes[static_cast<size_t>(t)];
    Place place = Place::Before;
    int32_t anchor = t;
    switch (code) {
        case 4:
            if (tn.HasKids()) { anchor = tn.FirstChild; place = Place::Before; }
            else place = Place::OnlyChild;
            break;
        case 5:
            if (tn.HasKids()) { anchor = tn.LastChild; place = Place::After; }
            else place = Place::OnlyChild;
            break;
        default: {
            const Anchor a = SiblingAnchor(Nodes, t, code);
            anchor = a.node;
            place = a.place;
            break;
        }
    }
    const bool inPlace = place != Place::OnlyChild && anchor == s;
    if (!inPlace) {
        int32_t newParent = place == Place::OnlyChild ? anchor : Nodes[static_cast<size_t>(anchor)].Parent;
        // Refuse to hang the node below itself: that would cut its subtree
        // off the tree and make a cycle.
        if (newParent == s || IsStrictAncestor(s, newParent))
            Raise(kErrInvalidKeyOrIndex, "Invalid Destination Key or Index", "Collection.MoveItem");
    }
    if (!NewKey.empty()) Key(vb::Variant(s), NewKey);
    if (inPlace) return true;
    Unlink(s);
    switch (place) {
        case Place::OnlyChild:
            SetOnlyChild(anchor, s);
            break;
        case Place::After: LinkAfter(s, anchor); break;
        case Place::Before: LinkBefore(s, anchor); break;
    }
    return true;
}

bool cNodeCollection::MoveChildren(const vb::Variant& ParentKeyIndex, const vb::Variant& TargetKeyIndex,
                                   int32_t Relationship) {
    if (NodeCount < 2) return false;
    int32_t s = ResolveKeyIndex(ParentKeyIndex, true);
    if (s < 0) Raise(kErrInvalidKeyOrIndex, "Invalid Source Key or Index", "Collection.MoveChildren");
    int32_t t = ResolveKeyIndex(TargetKeyIndex, true);
    if (t < 0) Raise(kErrInvalidKeyOrIndex, "Invalid Destination Key or Index", "Collection.MoveChildren");
    if (!Nodes[static_cast<size_t>(s)].HasKids()) return true;  // no block to move

    const int32_t code = Relationship;
    const bool sorted = code >= 6 && code <= 11;
    const int32_t f = Nodes[static_cast<size_t>(s)].FirstChild;
    const int32_t e = Nodes[static_cast<size_t>(s)].LastChild;
    const NodeRecord& tn = Nodes[static_cast<size_t>(t)];
    Place place = Place::Before;
    int32_t anchor = t;

    if (code >= 4 && code <= 11) {
        if (!tn.HasKids()) {
            if (t == s || IsStrictAncestor(s, t))
                Raise(kErrInvalidKeyOrIndex, "Invalid Destination Key or Index", "Collection.MoveChildren");
            // Hand the whole list over.
            NodeRecord& target = Nodes[static_cast<size_t>(t)];
            target.FirstChild = f;
            target.LastChild = e;
            Nodes[static_cast<size_t>(s)].FirstChild = Nodes[static_cast<size_t>(s)].LastChild = 0;
            int32_t steps = 0;
            for (int32_t c = f; c != 0 && steps <= NodeCount; c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps)
                Nodes[static_cast<size_t>(c)].Parent = t;
            if (sorted) SortChildren(t, (code - 6) & ~1, (code % 2) == 0, true, std::string());
            return true;
        }
        if (t == s) return true;
        if (code == 5) { anchor = tn.LastChild; place = Place::After; }
        else { anchor = tn.FirstChild; place = Place::Before; }
    } else {
        const Anchor a = SiblingAnchor(Nodes, t, code);
        anchor = a.node;
        place = a.place;
    }
    if (anchor == f) return true;
    // The block cannot go next to one of its own members or below them.
    if (IsStrictAncestor(s, anchor))
        Raise(kErrInvalidKeyOrIndex, "Invalid Destination Key or Index", "Collection.MoveChildren");

    const int32_t p = Nodes[static_cast<size_t>(anchor)].Parent;
    NodeRecord& a = Nodes[static_cast<size_t>(anchor)];
    if (place == Place::Before) {
        const int32_t v = a.PrevSibling;
        Nodes[static_cast<size_t>(e)].NextSibling = anchor;
        Nodes[static_cast<size_t>(f)].PrevSibling = v;
        if (v) Nodes[static_cast<size_t>(v)].NextSibling = f;
        else Nodes[static_cast<size_t>(p)].FirstChild = f;
        a.PrevSibling = e;
    } else {
        Nodes[static_cast<size_t>(p)].LastChild = e;
        Nodes[static_cast<size_t>(f)].PrevSibling = anchor;
        a.NextSibling = f;
        Nodes[static_cast<size_t>(e)].NextSibling = 0;
    }
    Nodes[static_cast<size_t>(s)].FirstChild = Nodes[static_cast<size_t>(s)].LastChild = 0;
    int32_t steps = 0;
    for (int32_t c = f; steps <= NodeCount; c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps) {
        Nodes[static_cast<size_t>(c)].Parent = p;
        if (c == e) break;
    }
    if (sorted) SortChildren(t, (code - 6) & ~1, (code % 2) == 0, true, std::string());
    return true;
}

// --- Consistency -------------------------------------------------------------

std::string cNodeCollection::CheckConsistency() const {
    if (NodeCount < 0 || static_cast<int64_t>(Nodes.size()) < static_cast<int64_t>(NodeCount) + 1)
        return "node table smaller than the node count";
    if (KeyCount < 0 || KeyUpper < KeyCount || Keys.Count() != KeyCount) return "key table smaller than the key count";
    const NodeRecord& root = Nodes[0];
    if (root.Parent || root.NextSibling || root.PrevSibling || root.KeyPtr) return "root has links";
    std::vector<char> seen(static_cast<size_t>(NodeCount) + 1, 0);
    std::vector<int32_t> stack{0};
    int32_t visited = 0;
    while (!stack.empty()) {
        int32_t p = stack.back();
        stack.pop_back();
        const NodeRecord& pn = Nodes[static_cast<size_t>(p)];
        if ((pn.FirstChild == 0) != (pn.LastChild == 0)) return "half a children pair at " + std::to_string(p);
        int32_t prev = 0;
        for (int32_t c = pn.FirstChild; c != 0; c = Nodes[static_cast<size_t>(c)].NextSibling) {
            if (c < 1 || c > NodeCount) return "child index out of range under " + std::to_string(p);
            if (seen[static_cast<size_t>(c)]) return "node reached twice: " + std::to_string(c);
            seen[static_cast<size_t>(c)] = 1;
            ++visited;
            const NodeRecord& cn = Nodes[static_cast<size_t>(c)];
            if (cn.Parent != p) return "wrong parent at " + std::to_string(c);
            if (cn.PrevSibling != prev) return "wrong previous sibling at " + std::to_string(c);
            prev = c;
            stack.push_back(c);
        }
        if (pn.LastChild != prev) return "wrong last child at " + std::to_string(p);
    }
    if (visited != NodeCount) return "unreachable nodes";
    for (size_t i = static_cast<size_t>(NodeCount) + 1; i < Nodes.size(); ++i) {
        const NodeRecord& r = Nodes[i];
        if (r.Parent || r.NextSibling || r.PrevSibling || r.KeyPtr || r.FirstChild || !r.Value.IsEmpty())
            return "spare record in use at " + std::to_string(i);
    }
    int32_t keyed = 0;
    for (int32_t i = 1; i <= NodeCount; ++i)
        if (Nodes[static_cast<size_t>(i)].KeyPtr) ++keyed;
    if (keyed != KeyCount) return "key count differs from keyed nodes";
    for (int32_t k = 1; k <= KeyCount; ++k) {
        const KeyRecord& r = Keys[static_cast<size_t>(k)];
        if (r.NodeIndex < 1 || r.NodeIndex > NodeCount) return "key entry names no node";
        if (r.Slot < 0 || static_cast<size_t>(r.Slot) >= KeyTexts.size()) return "key entry without text";
        if (Nodes[static_cast<size_t>(r.NodeIndex)].KeyPtr != r.Slot + 1) return "node does not refer to its key";
        if (KeyText(r).empty()) return "empty key";
        if (k > 1 && CompareKey(KeyText(Keys[static_cast<size_t>(k) - 1]), KeyText(r)) >= 0)
            return "key table out of order at " + std::to_string(k);
    }
    return std::string();
}

}  // namespace model
