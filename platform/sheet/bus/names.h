// Where the workbook program is published on the session bus.
#pragma once

namespace sheet::bus {

inline constexpr const char* kService = "org.sewerdesign.sewersheet";
inline constexpr const char* kPath = "/Application";
inline constexpr const char* kInterface = "org.sewerdesign.sewersheet.Application";

}  // namespace sheet::bus
