#pragma once

#include <cstdint>
#include <vector>

namespace engine {

// Every cell's length in characters of a table (StoreFormat.h), read once.
struct CellLengths {
    std::vector<std::uint8_t> cells; // rows * columns bytes, then kLengthPadding zeros
    // For a table of at most kLengthPadding columns: per block of kLengthBlockRows rows
    // (the last may be short), kLengthPadding bytes, the most of each column.
    std::vector<std::uint8_t> blocks;
};

} // namespace engine
