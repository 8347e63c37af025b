#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace engine {

using Rows = std::vector<std::uint32_t>; // row numbers (rowids), ascending, no repeats

// Whether `rows` is a row list as above: the merging of row lists relies on it.
inline bool isRowList(const Rows& rows)
{
    return std::adjacent_find(rows.begin(), rows.end(), [](std::uint32_t a, std::uint32_t b) {
               return a >= b;
           }) == rows.end();
}

} // namespace engine
