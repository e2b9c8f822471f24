// Fuzz target of the workbook reader.  The bytes are read three ways:
//   - as an .xlsx/.xlsm zip package;
//   - when they start with "PARTS\0", as the package's parts already
//     inflated ("name\0content\0name\0content..."), so that mutations reach
//     the XML reading past the archive's checksums;
//   - when they start with "SSH1", as a sheet sent over the bus.
// Every outcome but a clean read must be the reader's own error, and no
// text read may be longer than kMaxCellTextBytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/exercise_workbook.h"


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char kParts[] = "PARTS";
    try {
        if (size >= sizeof kParts && std::memcmp(data, kParts, sizeof kParts) == 0) {
            std::vector<std::pair<std::string, std::string>> parts;
            const char* p = reinterpret_cast<const char*>(data) + sizeof kParts;
            const char* end = reinterpret_cast<const char*>(data) + size;
            while (p < end) {
                const char* nameEnd = static_cast<const char*>(std::memchr(p, '\0', end - p));
                if (!nameEnd) break;
                const char* body = nameEnd + 1;
                const char* bodyEnd = static_cast<const char*>(std::memchr(body, '\0', end - body));
                if (!bodyEnd) bodyEnd = end;
                parts.emplace_back(std::string(p, nameEnd), std::string(body, bodyEnd));
                p = bodyEnd + 1;
            }
            ExerciseWorkbook(*sheet::ReadXlsxParts(parts, "fuzz.xlsx"));
        } else if (size >= 4 && std::memcmp(data, "SSH1", 4) == 0) {
            sheet::DecodeSheet(data, size);
        } else {
            ExerciseWorkbook(*sheet::ReadXlsxBytes(data, size, "fuzz.xlsx"));
        }
    } catch (const vb::VbError&) {
    }
    return 0;
}
