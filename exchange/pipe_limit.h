// How many pipes one network read from a drawing or a sheet can hold: pipes
// link to each other by their numbers in 16-bit fields, so the numbers end at
// 32,767.  Both reads refuse a larger network with the same sentence.
#pragma once

#include <cstdint>
#include <string>

constexpr int32_t kMaxLinkedPipes = 32767;

// The reason a larger network is refused, for the end of a read's message.
inline std::string TooManyPipesReason() {
    return "a network can hold at most 32,767 pipes, since pipes are linked by 16-bit numbers";
}

// A count with its thousands grouped by commas ("32,768"), as the refusals
// above show the number of pipes.
inline std::string GroupedCount(int64_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return digits;
}
