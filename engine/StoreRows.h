#pragma once
// A result that holds its row numbers only: a record is read from the store when one of its
// cells is asked for. Records are read a chunk at a time and the last few chunks kept
// decoded, so reading cells in row order reads every chunk once. The store (and its
// connection) stays open as long as the result lives.

#include "engine/Result.h"
#include "engine/Sqlite.h"
#include "engine/Store.h"
#include "engine/StoreQuery.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class StoreRows final : public ResultSet {
public:
    StoreRows(std::shared_ptr<const Store> store, const Store::Table& t,
              std::vector<std::string> names, std::vector<int> pick, Rows rows, bool all)
        : store_(std::move(store))
        , t_(t)
        , names_(std::move(names))
        , pick_(std::move(pick))
        , rows_(std::move(rows))
        , all_(all)
        , n_(all ? t.rows : static_cast<std::int64_t>(rows_.size()))
        , ncols_(t.columns.size())
    {
    }

    int columnCount() const override { return static_cast<int>(names_.size()); }
    std::int64_t rowCount() const override { return n_; }
    std::string_view columnName(int col) const override
    {
        if (col < 0 || col >= columnCount())
            return {};
        return names_[static_cast<size_t>(col)];
    }
    std::string_view value(std::int64_t row, int col) const override
    {
        const Slot* s = nullptr;
        const size_t at = locate(row, col, s);
        if (!s || s->len[at] == kNull)
            return {};
        return std::string_view(s->blob).substr(s->off[at], s->len[at]);
    }
    bool isNull(std::int64_t row, int col) const override
    {
        const Slot* s = nullptr;
        const size_t at = locate(row, col, s);
        return !s || s->len[at] == kNull;
    }

    // Row by row: one row's lengths lie side by side, so each matched row costs one read
    // of memory for all the columns.
    void maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                        std::vector<int>& out) const override;

    int maxCharLength(int col, std::int64_t rows) const override;

private:
    static constexpr std::uint32_t kNull = UINT32_MAX;
    static constexpr size_t kSlots = 16;
    struct Slot {
        std::int64_t chunk = -1;
        size_t records = 0;
        std::string blob;
        std::vector<std::uint32_t> off, len; // per record and table column; len kNull: null
    };

    std::uint32_t rowid(std::int64_t i) const
    {
        return all_ ? static_cast<std::uint32_t>(i + 1) : rows_[static_cast<size_t>(i)];
    }

    // The slot holding the cell and the cell's index in it; s stays null when there is none.
    size_t locate(std::int64_t row, int col, const Slot*& s) const;

    void load(Slot& slot, std::int64_t chunk) const;

    std::shared_ptr<const Store> store_;
    const Store::Table& t_;
    std::vector<std::string> names_;
    std::vector<int> pick_;
    Rows rows_;
    bool all_;
    std::int64_t n_;
    size_t ncols_;
    mutable std::array<Slot, kSlots> slots_;
    mutable std::unique_ptr<sql::Stmt> stmt_; // declared after store_: finalised before it closes
    mutable std::int64_t cursor_ = -1;        // the chunk stmt_ stands on, -1 none
};

} // namespace engine
