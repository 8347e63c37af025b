#pragma once

#include "engine/store/RowList.h"

#include <cstdint>
#include <vector>

namespace engine {

// The longest length of each column of a table over some rows (as in the store's lengths,
// StoreFormat.h), as far as the dictionary tells it: the maxima of whole entries, and the rows
// of entries too small to keep their own, whose lengths are still to be taken.
struct ColumnMost {
    std::vector<std::uint8_t> most; // per table column; empty: not known
    Rows rest;                      // ascending per entry, not as a whole
    bool known() const { return !most.empty(); }
    void clear()
    {
        most.clear();
        rest.clear();
    }
};

} // namespace engine
