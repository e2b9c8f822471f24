#include "mainwindow/lateral_links.h"

#include <algorithm>

#include "mainwindow/network_access.h"
#include "platform/runtime/conversions.h"

namespace {

std::shared_ptr<model::Sewer> RecordAt(const model::cNodeCollection& col, int32_t index) {
    if (index < 1 || index > col.ItemCount()) return nullptr;
    return NodeRecordByIndex(&col, index);
}

bool IsTopLevel(const model::cNodeCollection& col, int32_t index) {
    return vb::CDbl(col.Parent(vb::Variant(index))) == 0;
}

constexpr int32_t kLargestLink = 32767;

// The record of a pipe: a node below the top level.
std::shared_ptr<model::Sewer> PipeAt(const model::cNodeCollection& col, int32_t index) {
    auto record = RecordAt(col, index);
    return record && !IsTopLevel(col, index) ? record : nullptr;
}

}  // namespace

std::shared_ptr<model::Sewer> LinkedLateral(const model::cNodeCollection& col, int32_t field) {
    auto record = RecordAt(col, field);
    return record && vb::Left(record->Name, 7) == "Lateral" && IsTopLevel(col, field) ? record : nullptr;
}

void SetLateralLink(model::cNodeCollection& col, int32_t pipe, bool second, int32_t lateral) {
    auto p = PipeAt(col, pipe);
    if (!p || pipe > kLargestLink || lateral > kLargestLink) return;
    int16_t& field = second ? p->ma3 : p->ma2;
    const int16_t other = second ? p->ma2 : p->ma3;
    const int32_t before = field;
    field = static_cast<int16_t>(other > 0 && other == lateral ? 0 : std::max(lateral, 0));
    // The lateral the field named keeps no mark on this pipe, unless the
    // other field names it still.
    if (before != field && before != other) {
        auto left = LinkedLateral(col, before);
        if (left && left->ma1 == pipe) left->ma1 = 0;
    }
    auto joining = lateral > 0 ? LinkedLateral(col, lateral) : nullptr;
    if (!joining) return;
    if (joining->ma1 != pipe) {
        // The pipe the lateral joined before forgets it.
        if (auto earlier = PipeAt(col, joining->ma1)) {
            if (earlier->ma2 == lateral) earlier->ma2 = 0;
            if (earlier->ma3 == lateral) earlier->ma3 = 0;
        }
    }
    joining->ma1 = static_cast<int16_t>(pipe);
}

std::vector<LateralLink> FindLateralLinks(const model::cNodeCollection& col) {
    std::vector<LateralLink> links;
    for (int32_t n = 1; n <= col.ItemCount(); ++n) {
        auto pipe = RecordAt(col, n);
        if (!pipe || (pipe->ma2 <= 0 && pipe->ma3 <= 0) || IsTopLevel(col, n)) continue;
        for (const bool second : {false, true}) {
            const int32_t l = second ? pipe->ma3 : pipe->ma2;
            if (l == n) continue;
            auto lateral = RecordAt(col, l);
            if (!lateral || lateral->ma1 != n || vb::Left(lateral->Name, 7) != "Lateral" || !IsTopLevel(col, l)) continue;
            const std::string pipeKey = col.Key(vb::Variant(n));
            const std::string lateralKey = col.Key(vb::Variant(l));
            if (!pipeKey.empty() && !lateralKey.empty()) links.push_back({pipeKey, second, lateralKey});
        }
    }
    return links;
}

void WriteLateralLinks(model::cNodeCollection& col, const std::vector<LateralLink>& links,
                       const std::function<int32_t(const std::string& key)>& indexOf) {
    auto found = [&](const std::string& key, std::shared_ptr<model::Sewer>& record) -> int32_t {
        const int32_t now = col.KeyToIndex(key);
        if (now < 1) return 0;
        record = RecordAt(col, now);
        const int32_t index = indexOf(key);
        return record && index >= 1 && index <= kLargestLink ? index : 0;
    };
    for (const LateralLink& link : links) {
        std::shared_ptr<model::Sewer> pipe, lateral;
        const int32_t pipeIndex = found(link.pipeKey, pipe);
        const int32_t lateralIndex = found(link.lateralKey, lateral);
        // Both are written when both nodes are there; a node still there
        // whose partner is gone (or has no index) loses its half.
        if (pipe) (link.second ? pipe->ma3 : pipe->ma2) = static_cast<int16_t>(pipeIndex > 0 ? lateralIndex : 0);
        if (lateral) lateral->ma1 = static_cast<int16_t>(lateralIndex > 0 ? pipeIndex : 0);
    }
}
