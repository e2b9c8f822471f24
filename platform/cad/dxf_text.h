// Small text helpers shared by the DXF reader, writer and views.
#pragma once

#include <charconv>
#include <cmath>
#include <string_view>

namespace cad {

inline std::string_view Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

// A value is one line of the file: a line break (or a zero byte) inside it
// would end the value early and turn the rest into a group code.
inline bool IsOneLine(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// A whole trimmed text as a number ("+1.5", ".5" and "1e3" included).
inline bool ParseDouble(std::string_view t, double& out) {
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    if (t.empty()) return false;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
    // Not-a-number and infinity parse, but are no DXF values.
    return ec == std::errc() && p == t.data() + t.size() && std::isfinite(out);
}

}  // namespace cad
