// Where the workbook program is published on the session bus.
#pragma once

namespace sheet::bus {

inline constexpr const char* kService = "org.sewerdesign.SewerSheet";
inline constexpr const char* kPath = "/Application";
inline constexpr const char* kInterface = "org.sewerdesign.SewerSheet.Application";

}  // namespace sheet::bus
