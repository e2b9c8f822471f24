// Fuzz target of the .xls reader: the bytes are an .xls file (a compound
// file holding a BIFF8 or BIFF5 workbook stream, or such a stream saved as
// the file itself), read in memory under a lowered value-memory limit.
// Every outcome but a clean read must be the reader's own error, and no
// text read may be longer than kMaxCellTextBytes.
#include <cstddef>
#include <cstdint>

#include "fuzz/exercise_workbook.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    sheet::ReadLimits limits;
    limits.valueMemory = size_t(64) << 20;
    try {
        auto book = sheet::ReadXlsBytes(data, size, "fuzz.xls", limits);
        ExerciseWorkbook(*book);
    } catch (const vb::VbError&) {
    }
    return 0;
}
