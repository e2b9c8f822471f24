// The pipe-link table of a drawing read and the direction of a plan segment.
#include <cmath>
#include <vector>

#include "exchange/acad.h"
#include "platform/runtime/conversions.h"

namespace {

// The record of a slot, made empty the first time the slot is read.
model::Sewer& SlotRecord(std::vector<std::shared_ptr<model::Sewer>>& sewers, int32_t slot) {
    if (slot >= static_cast<int32_t>(sewers.size())) sewers.resize(static_cast<size_t>(slot) + 1);
    auto& s = sewers[static_cast<size_t>(slot)];
    if (!s) s = std::make_shared<model::Sewer>();
    return *s;
}

}  // namespace

void BuildPipeLinksOf(std::vector<std::shared_ptr<model::Sewer>>& sewers, std::vector<RunEntry>& links,
                      int32_t pipeCount, std::vector<PipeLinkRow>& table, int16_t& count) {
    if (links.size() < static_cast<size_t>(pipeCount) + 1) links.resize(static_cast<size_t>(pipeCount) + 1);
    // A pipe starts a lateral when nothing flows into it, or when its "sch"
    // text marks it ("F").  The heads are taken before any link is corrected.
    std::vector<int32_t> heads;
    for (int32_t i = 1; i <= pipeCount; ++i) {
        const bool marked = vb::UCase(SlotRecord(sewers, i).sch).find('F') != std::string::npos;
        if (links[static_cast<size_t>(i)].PrevPipe == 0 || marked) heads.push_back(i);
    }
    count = static_cast<int16_t>(heads.size());
    table.assign(heads.size() + 3, PipeLinkRow{});

    auto linkOf = [&](int32_t pipe) -> RunEntry& {
        // A link outside the table is the record of no pipe.
        if (pipe < 0 || pipe > pipeCount) pipe = 0;
        return links[static_cast<size_t>(pipe)];
    };
    int32_t k = 0;
    std::vector<bool> walked(static_cast<size_t>(pipeCount) + 1);
    for (int32_t head : heads) {
        ++k;
        table[static_cast<size_t>(k)][1] = vb::Variant(head);
        std::fill(walked.begin(), walked.end(), false);
        int32_t j = head;
        while (j > 0) {
            walked[static_cast<size_t>(j)] = true;
            const int32_t n = linkOf(j).NextPipe;
            const int32_t next = (n < 0 || n > pipeCount) ? 0 : n;
            const std::string& lat = SlotRecord(sewers, j).lat;
            const bool sameLateral = lat == SlotRecord(sewers, next).lat;
            // A pipe walked already ends the walk as the lateral's end does:
            // links that run in a circle are not followed round again.
            const bool circle = next > 0 && walked[static_cast<size_t>(next)];
            // The next pipe of the same lateral points back along the lateral.
            if (sameLateral && !circle && linkOf(next).PrevPipe != j) linkOf(next).PrevPipe = j;
            if (!sameLateral || circle) {
                table[static_cast<size_t>(k)][2] = vb::Variant(j);
                break;
            }
            j = next;
        }
    }
}

void BuildPipeLinks() { BuildPipeLinksOf(SewerArray, SewerLinks, PipeCount, PipeLinks, PipeLinkCount); }

void LineAngle(double x1, double y1, double x2, double y2, double& slope, double& angle, double& degrees) {
    constexpr double kPi = 3.14159;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    if (dx == 0) {
        slope = 0;
        angle = kPi / 2;
        degrees = 90;
        if (dy < 0) {
            angle = 9.42477 / 2;
            degrees = 270;
        }
        return;
    }
    slope = dy / dx;
    if (slope > 0 && dy < 0) {
        angle = std::atan(slope) + kPi;
    } else if (slope < 0 && dy < 0) {
        angle = std::atan(slope);
    } else if (slope < 0 && dy > 0) {
        angle = std::atan(slope) + kPi;
    } else if (slope == 0 && dx < 0) {
        angle = kPi;
    } else {
        angle = std::atan(slope);
    }
    degrees = angle * 180 / kPi;
}
