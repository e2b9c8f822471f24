// cNodeCollection: sorting children by value, text or number, and the
// sorted placement used by the relationships 6 to 11 of AddItem, MoveItem
// and MoveChildren.
#include <string>
#include <vector>

#include "model/node_collection.h"
#include "platform/runtime/conversions.h"
#include "platform/runtime/vberror.h"

namespace model {

namespace {

// The value's number as its text reads (Val of CStr).
double NumberOfText(const vb::Variant& v) {
    if (v.IsString()) return vb::Val(v.RawString());
    return vb::Val(vb::CStr(v));
}

// ">" of two Variants as the runtime compares them: numbers and dates by
// value, texts by character codes; Null compares as not greater.
bool VariantGreater(const vb::Variant& a, const vb::Variant& b) {
    if (a.IsNull() || b.IsNull()) return false;
    if (a.IsArray() || b.IsArray() || a.IsObject() || b.IsObject()) vb::RaiseError(vb::errTypeMismatch);
    if (a.IsString() && b.IsString()) return vb::StrComp(a.RawString(), b.RawString(), 0) > 0;
    return vb::CDbl(a) > vb::CDbl(b);
}

// Gap sequence 1, 4, 13, 40, ... used from the largest below the list size.
template <class After>
void ShellSort(std::vector<int32_t>& list, After after) {
    const int64_t last = static_cast<int64_t>(list.size()) - 1;
    int64_t h = 0;
    while (h <= last) h = 3 * h + 1;
    for (;;) {
        h /= 3;
        if (h == 0) break;
        for (int64_t i = h; i <= last; ++i) {
            int32_t v = list[static_cast<size_t>(i)];
            int64_t j = i;
            while (j >= h && after(list[static_cast<size_t>(j - h)], v)) {
                list[static_cast<size_t>(j)] = list[static_cast<size_t>(j - h)];
                j -= h;
            }
            list[static_cast<size_t>(j)] = v;
        }
    }
}

}  // namespace

int32_t cNodeCollection::FindSortedPosition(int32_t newNode, int32_t parent, int32_t mode, bool ascending) const {
    const NodeRecord& p = Nodes[static_cast<size_t>(parent)];
    if (!p.HasKids()) return 0;
    const vb::Variant& nv = Nodes[static_cast<size_t>(newNode)].Value;
    const int t = nv.Type();
    if (nv.IsArray() || t == vb::vbObject || t == vb::vbError || t == vb::vbDataObject ||
        t == vb::vbUserDefinedType)
        return 0;
    try {
        const bool numeric = !nv.IsString() || mode == 2;
        const double a = numeric ? NumberOfText(nv) : 0;
        const std::string text = numeric ? std::string() : nv.RawString();
        int32_t steps = 0;
        for (int32_t c = p.FirstChild; c != 0 && steps <= NodeCount; c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps) {
            const vb::Variant& cv = Nodes[static_cast<size_t>(c)].Value;
            int cmp;
            if (numeric) {
                double b = NumberOfText(cv);
                cmp = a < b ? -1 : (a > b ? 1 : 0);
            } else {
                cmp = vb::StrComp(text, vb::CStr(cv), mode == 1 ? 0 : 1);
            }
            if (cmp == 0) return c;
            if (cmp < 0 && ascending) return c;
            if (cmp > 0 && !ascending) return c;
        }
    } catch (const vb::VbError&) {
        return 0;
    }
    return 0;
}

bool cNodeCollection::SortCollection(const vb::Variant& KeyIndex, int32_t Level, int32_t TextSortAs,
                                     bool Ascending, const std::string& ObjectPublicProperty) {
    if (NodeCount < 2) return true;
    int32_t n = ResolveKeyIndex(KeyIndex, true);
    if (n < 0)
        throw vb::VbError(kErrInvalidKeyOrIndex, "Invalid Key or Index", "Collection.SortCollection");
    if (Level == 0)
        return SortLevel(n == 0 ? 0 : Nodes[static_cast<size_t>(n)].Parent, TextSortAs, Ascending,
                         ObjectPublicProperty);
    return SortChildren(n, TextSortAs, Ascending, Level == 2, ObjectPublicProperty);
}

bool cNodeCollection::SortLevel(int32_t node, int32_t TextSortAs, bool Ascending, const std::string& prop) {
    // Post-order with an explicit stack: every deeper level is sorted before
    // the level above it; the first set that cannot be sorted stops the walk.
    struct Frame {
        int32_t node;
        int32_t next;
    };
    std::vector<Frame> stack{{node, Nodes[static_cast<size_t>(node)].FirstChild}};
    bool result = true;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next != 0) {
            int32_t c = top.next;
            top.next = Nodes[static_cast<size_t>(c)].NextSibling;
            if (Nodes[static_cast<size_t>(c)].HasKids()) {
                if (static_cast<int64_t>(stack.size()) > NodeCount) return false;  // cannot happen in a sound tree
                stack.push_back(Frame{c, Nodes[static_cast<size_t>(c)].FirstChild});
            }
            continue;
        }
        result = SortChildren(top.node, TextSortAs, Ascending, true, prop);
        stack.pop_back();
        if (!result) return false;
    }
    return result;
}

bool cNodeCollection::SortChildren(int32_t node, int32_t TextSortAs, bool Ascending, bool ownChildren,
                                   const std::string& prop) {
    const int32_t p = ownChildren ? node : (node == 0 ? 0 : Nodes[static_cast<size_t>(node)].Parent);
    const NodeRecord& pn = Nodes[static_cast<size_t>(p)];
    if (!pn.HasKids() || pn.FirstChild == pn.LastChild) return true;

    auto typeOf = [&](int32_t c) { return static_cast<int>(Nodes[static_cast<size_t>(c)].Value.Type()); };
    // Type mask over the first 8 and the last 9 children.
    int mask = 0;
    int k = 0;
    for (int32_t c = pn.FirstChild; c != 0; c = Nodes[static_cast<size_t>(c)].NextSibling) {
        mask |= typeOf(c);
        if (k == 7) break;
        ++k;
    }
    for (int32_t c = pn.LastChild; c != 0; c = Nodes[static_cast<size_t>(c)].PrevSibling) {
        mask |= typeOf(c);
        if (k == 15) break;
        ++k;
    }
    const bool acceptable = mask == 9 || mask == 8 ||
                            !((mask & 0x2000) == 0x2000 || (mask & 13) == 13 || (mask & 10) == 10 ||
                              (mask & 36) == 36 || (mask & 9) == 9);
    if (!acceptable) return false;

    std::vector<int32_t> nodes;
    int32_t steps = 0;
    for (int32_t c = pn.FirstChild; c != 0 && steps <= NodeCount; c = Nodes[static_cast<size_t>(c)].NextSibling, ++steps)
        nodes.push_back(c);

    const bool byProperty = mask == 9;
    std::vector<vb::Variant> keys(nodes.size());
    try {
        if (byProperty) {
            if (prop.empty()) return false;
            // Read the property of every child that holds an object, then
            // decide the sort from the types of the property values.  The
            // mask looks at a few children only, so a child may hold no
            // object at all (Empty, a text): its value stands for itself.
            int newMask = 0;
            int counted = 0;
            for (size_t i = 0; i < nodes.size(); ++i) {
                const vb::Variant& v = Nodes[static_cast<size_t>(nodes[i])].Value;
                if (v.IsNothing()) continue;
                keys[i] = v.IsObject() ? v.RawObject()->GetProperty(prop) : v;
                if (counted < 16) {
                    newMask |= static_cast<int>(keys[i].Type());
                    ++counted;
                }
            }
            mask = newMask;
        } else {
            for (size_t i = 0; i < nodes.size(); ++i) keys[i] = Nodes[static_cast<size_t>(nodes[i])].Value;
        }
    } catch (const vb::VbError&) {
        return false;
    }

    std::vector<int32_t> order(nodes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
    try {
        if ((mask & 8) == 8) {
            if (mask != 8) TextSortAs = 2;
            const bool numeric = TextSortAs == 2;
            const int cmpMode = (TextSortAs % 2 != 0) ? 0 : 1;
            std::vector<std::string> texts(nodes.size());
            std::vector<double> numbers(numeric ? nodes.size() : 0);
            for (size_t i = 0; i < nodes.size(); ++i) {
                const vb::Variant& v = keys[i];
                // A child whose object is Nothing has the text "".
                texts[i] = (byProperty && Nodes[static_cast<size_t>(nodes[i])].Value.IsNothing()) ? std::string()
                                                                                                 : vb::CStr(v);
                if (numeric) numbers[i] = vb::Val(texts[i]);
            }
            if (numeric) {
                ShellSort(order, [&](int32_t a, int32_t b) { return numbers[static_cast<size_t>(a)] > numbers[static_cast<size_t>(b)]; });
            } else {
                ShellSort(order, [&](int32_t a, int32_t b) {
                    return vb::StrComp(texts[static_cast<size_t>(a)], texts[static_cast<size_t>(b)], cmpMode) > 0;
                });
            }
        } else {
            if (byProperty) {
                // A child whose object is Nothing has the value 0.
                for (size_t i = 0; i < nodes.size(); ++i)
                    if (Nodes[static_cast<size_t>(nodes[i])].Value.IsNothing()) keys[i] = vb::Variant(int32_t(0));
            }
            ShellSort(order, [&](int32_t a, int32_t b) {
                return VariantGreater(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
            });
        }
    } catch (const vb::VbError&) {
        return false;  // nothing has moved yet
    }

    // Relink in list order: appending gives ascending order, prepending
    // descending order.
    for (int32_t i : order) {
        int32_t c = nodes[static_cast<size_t>(i)];
        Unlink(c);
        if (Ascending) LinkLastChild(c, p);
        else LinkFirstChild(c, p);
    }
    return true;
}

}  // namespace model
