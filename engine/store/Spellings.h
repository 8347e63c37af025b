#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The spellings of a column that its cells refer to by number.
struct Spellings {
    std::string bytes;
    std::vector<std::uint32_t> ends{0}; // spelling k is bytes[ends[k - 1], ends[k])
    std::uint32_t size() const { return static_cast<std::uint32_t>(ends.size() - 1); }
    // Spelling k, 1 <= k <= size().
    std::string_view at(std::uint32_t k) const
    {
        return std::string_view(bytes.data() + ends[k - 1], ends[k] - ends[k - 1]);
    }
};

} // namespace engine
