#pragma once
// The materialised result of one statement: every cell's UTF-8 bytes in one arena, one
// offset per cell and one null bit per cell.

#include "engine/store/ResultSet.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class MemResult final : public ResultSet {
public:
    explicit MemResult(std::vector<std::string> names);

    int columnCount() const override { return static_cast<int>(names_.size()); }
    std::int64_t rowCount() const override { return rows_; }
    std::string_view columnName(int col) const override;
    std::string_view value(std::int64_t row, int col) const override;
    bool isNull(std::int64_t row, int col) const override;

    // Building: append the cells of one row in column order, then endRow().
    void addCell(std::string_view text)
    {
        arena_.append(text);
        pushEnd(false);
    }
    void addNull() { pushEnd(true); }
    void endRow() { ++rows_; }
    void reserve(std::int64_t rows, std::size_t bytes);

private:
    void pushEnd(bool null);
    std::vector<std::string> names_;
    std::string arena_;
    std::vector<std::uint32_t> ends_; // end offset of each cell, row-major
    std::vector<std::uint64_t> nulls_;
    std::int64_t rows_ = 0;
};

} // namespace engine
