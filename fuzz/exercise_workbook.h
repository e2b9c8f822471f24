// Shared by the workbook fuzz targets: reads a workbook's cells back through
// the paths the import uses, and over the bus codec.  No text read may be
// longer than a cell may hold.
#pragma once

#include <cstdint>
#include <string>

#include "platform/sheet/client.h"

inline void ExerciseWorkbook(const sheet::Workbook& book) {
    for (const auto& s : book.sheets) {
        for (const std::string& text : s->Strings()) {
            if (text.size() > sheet::kMaxCellTextBytes) __builtin_trap();
        }
        for (int32_t r = s->FirstRow(); r <= s->LastRow() && r < s->FirstRow() + 64; ++r) {
            for (int32_t c = s->FirstCol(); c <= s->LastCol() && c < s->FirstCol() + 64; ++c) s->Value(r, c);
        }
        const auto bytes = sheet::EncodeSheet(*s);
        sheet::DecodeSheet(bytes.data(), bytes.size());
    }
}
