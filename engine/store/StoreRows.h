#pragma once
// A result that holds its row numbers only: a record is read from the store when one of its
// cells is asked for. The last few chunks asked for are kept with the records of them read
// so far. A result of two rows or more per chunk on average reads a chunk whole, and so
// does any result whose chunk is first asked for at its first record (row order, as an
// export reads); any other chunk is read record by record (a scattered result needs one
// record of most chunks). The store (and its connection) stays open as long as the result
// lives.

#include "engine/store/ChunkReader.h"
#include "engine/store/ColumnMost.h"
#include "engine/store/ResultSet.h"
#include "engine/store/RowList.h"
#include "engine/store/Store.h"
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreTable.h"

#include <array>
#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class StoreRows final : public ResultSet {
public:
    // `most`: what the query knows of the longest lengths over `rows`.
    StoreRows(std::shared_ptr<const Store> store, const StoreTable& t,
              std::vector<std::string> names, std::vector<int> pick, Rows rows, bool all,
              ColumnMost most = {})
        : store_(std::move(store))
        , t_(t)
        , names_(std::move(names))
        , pick_(std::move(pick))
        , rows_(std::move(rows))
        , all_(all)
        , n_(all ? t.rows() : static_cast<std::int64_t>(rows_.size()))
        , ncols_(t.columns().size())
        , dense_(n_ * record::kChunkRows >= 2 * t.rows())
        , inTable_(all_ || rows_.empty() || (rows_.front() >= 1 && rows_.back() <= t.rows()))
        , most_(most.most.size() == ncols_ ? std::move(most) : ColumnMost())
        , reader_(t)
    {
        assert(all_ || isRowList(rows_));
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
        return s ? s->cells[at] : std::string_view();
    }
    bool isNull(std::int64_t row, int col) const override
    {
        const Slot* s = nullptr;
        const size_t at = locate(row, col, s);
        return !s || s->cells[at].data() == nullptr;
    }
    // The record is found once for all the columns.
    void values(std::int64_t row, const int* cols, int n, std::string_view* out) const override;

    // From the store's lengths of the cells, row by row: one row's lengths lie side by
    // side, so each matched row costs one read of memory for all the columns.
    void maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                        std::vector<int>& out) const override;
    int maxCharLength(int col, std::int64_t rows) const override;

    bool damaged() const override { return damaged_; }

private:
    // A part of the store read for this result is damaged (Store::markDamaged).
    void fail() const
    {
        damaged_ = true;
        store_->markDamaged();
    }

    static constexpr size_t kSlots = 16;
    // One chunk and the records of it read so far.
    struct Slot {
        std::int64_t chunk = -1;
        size_t records = 0;        // in the chunk (0 when it could not be read)
        std::uint32_t decoded = 0; // bit r: record r read, its cells set
        std::uint32_t damaged = 0; // bit r: record r unreadable
        bool whole = false;        // bytes holds the whole chunk, as stored
        std::string bytes;         // the whole chunk
        // Otherwise each record read on its own, by its place in the chunk.
        std::array<std::string, record::kChunkRows> one;
        // Per record and table column: the value, in bytes, one or the column's
        // spellings; a null has no data().
        std::vector<std::string_view> cells;
    };
    static_assert(record::kChunkRows <= 32);

    std::uint32_t rowid(std::int64_t i) const
    {
        return all_ ? static_cast<std::uint32_t>(i + 1) : rows_[static_cast<size_t>(i)];
    }

    // The store's lengths of the cells; null when they are damaged (then fail()).
    std::shared_ptr<const CellLengths> lengths() const;
    // The longest stored length (up to 255) of each table column at[i] over the first n
    // rows, into most[i]; false when the store is damaged (then fail()).
    bool longest(std::int64_t n, const std::vector<size_t>& at,
                 std::vector<std::uint8_t>& most) const;
    // The same from the store's lengths, row by row.
    void longestOfRows(const CellLengths& lens, std::int64_t n, const std::vector<size_t>& at,
                       std::vector<std::uint8_t>& most) const;
    // The longest length of each table column over all the rows, from most_ and the
    // lengths of its rows left to take; false when not known (or damaged: then fail()).
    bool longestOfAll(std::vector<std::uint8_t>& wide) const;
    // The characters of the longest value of column col (table column c) over the first n
    // rows, counted where the store keeps only that there are 255 or more.
    int countLong(int col, size_t c, std::int64_t n) const;
    // The slot holding the cell and the cell's index in it; s stays null when there is none.
    size_t locate(std::int64_t row, int col, const Slot*& s) const;
    // The slot holding the row's record and the index of its first cell; null when there is
    // none (a row out of range, or a damaged store: then fail()).
    const Slot* record(std::int64_t row, size_t& first) const;

    // Makes the slot the chunk's, none of its records read yet.
    void load(Slot& slot, std::int64_t chunk) const;
    // The cells of record `within`, stored at [p, end), into slot.cells.
    bool parse(Slot& slot, size_t within, const unsigned char* p, const unsigned char* end) const;
    // Reads record `within` of the slot's chunk; false when the chunk has none there.
    bool decode(Slot& slot, size_t within) const;

    std::shared_ptr<const Store> store_;
    const StoreTable& t_;
    std::vector<std::string> names_;
    std::vector<int> pick_;
    Rows rows_;
    bool all_;
    std::int64_t n_;
    size_t ncols_;
    bool dense_;   // two rows or more per chunk on average
    bool inTable_; // every row is one of the table's
    // What the query knew of the longest length of each table column over all the rows.
    ColumnMost most_;
    mutable std::array<Slot, kSlots> slots_;
    mutable ChunkReader reader_; // declared after store_: closed before it
    mutable bool damaged_ = false;
};

} // namespace engine
