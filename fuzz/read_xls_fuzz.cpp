// Fuzz target of the .xls reader: the bytes are an .xls file (a compound
// file holding a BIFF8 or BIFF5 workbook stream), read in memory under a lowered
// value-memory limit.  Every outcome but a clean read must be the reader's
// own error, and no text read may be longer than kMaxCellTextBytes.
#include <cstddef>
#include <cstdint>

#include "platform/sheet/client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sheet::ReadLimits limits;
    limits.valueMemory = size_t(64) << 20;
    try {
        auto book = sheet::ReadXlsBytes(data, size, "fuzz.xls", limits);
        for (const auto& s : book->sheets) {
            for (const std::string& text : s->Strings()) {
                if (text.size() > sheet::kMaxCellTextBytes) __builtin_trap();
            }
            for (int32_t r = s->FirstRow(); r <= s->LastRow() && r < s->FirstRow() + 64; ++r) {
                for (int32_t c = s->FirstCol(); c <= s->LastCol() && c < s->FirstCol() + 64; ++c) s->Value(r, c);
            }
            const auto bytes = sheet::EncodeSheet(*s);
            sheet::DecodeSheet(bytes.data(), bytes.size());
        }
    } catch (const vb::VbError&) {
    }
    return 0;
}
