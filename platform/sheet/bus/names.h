// Where the workbook program is published on the session bus, and the
// limits of what crosses it.
#pragma once

#include <cstdint>

namespace sheet::bus {

inline constexpr const char* kService = "org.sewerdesign.SewerSheet";
inline constexpr const char* kPath = "/Application";
inline constexpr const char* kInterface = "org.sewerdesign.SewerSheet.Application";

// A sheet crosses the bus in parts of its byte form (EncodeSheet) of at most
// this many bytes each, well under the 64 MiB that one bus array may hold.
inline constexpr uint32_t kSheetPartBytes = uint32_t(16) << 20;
// A sheet whose byte form is larger is refused with a message naming the limit.
inline constexpr uint64_t kMaxSheetBytes = uint64_t(1) << 30;
// How many parts a byte form of `bytes` bytes crosses in.
constexpr uint64_t SheetParts(uint64_t bytes) { return (bytes + kSheetPartBytes - 1) / kSheetPartBytes; }
// The longest file name Open takes, in bytes of UTF-8.
inline constexpr int kMaxPathBytes = 4096;

}  // namespace sheet::bus
