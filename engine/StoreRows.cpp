#include "engine/StoreRows.h"

#include "engine/StoreFormat.h"
#include "util/Utf8.h"

#include <algorithm>

namespace engine {

void StoreRows::maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                               std::vector<int>& out) const
{
    out.assign(cols.size(), 0);
    const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
    std::shared_ptr<const std::vector<std::uint8_t>> lens;
    try {
        lens = store_->lengths(t_);
    } catch (const sql::Error&) {
        ResultSet::maxCharLengths(cols, rows, out);
        return;
    }
    std::vector<size_t> at;
    for (int c : cols) {
        if (c < 0 || c >= columnCount()) {
            ResultSet::maxCharLengths(cols, rows, out);
            return;
        }
        at.push_back(static_cast<size_t>(pick_[static_cast<size_t>(c)]));
    }
    const std::uint8_t* L = lens->data();
    const std::uint32_t last = static_cast<std::uint32_t>(t_.rows);
    std::array<std::uint8_t, 256> most{};
    const size_t k = std::min<size_t>(at.size(), most.size());
    constexpr std::int64_t ahead = 16; // rows fetched ahead: matched rows lie far apart
    for (std::int64_t i = 0; i < n; ++i) {
        if (i + ahead < n) {
            const std::uint32_t next = rowid(i + ahead);
            if (next >= 1 && next <= last)
                __builtin_prefetch(L + static_cast<size_t>(next - 1) * ncols_);
        }
        const std::uint32_t id = rowid(i);
        if (id < 1 || id > last)
            continue; // a damaged store: nothing to count
        const std::uint8_t* row = L + static_cast<size_t>(id - 1) * ncols_;
        for (size_t c = 0; c < k; ++c)
            most[c] = std::max(most[c], row[at[c]]);
    }
    for (size_t c = 0; c < cols.size(); ++c)
        out[c] = c < k && most[c] < 255 ? most[c] : maxCharLength(cols[c], rows);
}

int StoreRows::maxCharLength(int col, std::int64_t rows) const
{
    if (col < 0 || col >= columnCount())
        return 0;
    const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
    std::shared_ptr<const std::vector<std::uint8_t>> lens;
    try {
        lens = store_->lengths(t_);
    } catch (const sql::Error&) {
        return ResultSet::maxCharLength(col, rows);
    }
    const std::uint8_t* L = lens->data() + pick_[static_cast<size_t>(col)];
    const std::uint32_t last = static_cast<std::uint32_t>(t_.rows);
    // (a row number out of the table, from a damaged store, has no length: its cells
    // read as empty anyway)
    auto length = [&](std::uint32_t id) -> int {
        return id >= 1 && id <= last ? L[static_cast<size_t>(id - 1) * ncols_] : 0;
    };
    int longest = 0;
    if (all_) {
        for (std::int64_t i = 0; i < n; ++i)
            longest = std::max<int>(longest, L[static_cast<size_t>(i) * ncols_]);
    } else {
        for (std::int64_t i = 0; i < n; ++i)
            longest = std::max(longest, length(rows_[static_cast<size_t>(i)]));
    }
    if (longest < 255)
        return longest;
    // Some text holds 255 characters or more: count those exactly.
    for (std::int64_t i = 0; i < n; ++i)
        if (length(rowid(i)) == 255) {
            longest = std::max(longest, static_cast<int>(fz::utf8::charCount(value(i, col))));
        }
    return longest;
}

size_t StoreRows::locate(std::int64_t row, int col, const Slot*& s) const
{
    s = nullptr;
    if (row < 0 || row >= n_ || col < 0 || col >= columnCount())
        return 0;
    const std::uint32_t id = rowid(row) - 1;
    const std::int64_t chunk = id / record::kChunkRows;
    const size_t within = id % record::kChunkRows;
    Slot& slot = slots_[static_cast<size_t>(chunk) % kSlots];
    if (slot.chunk != chunk)
        load(slot, chunk);
    if (within >= slot.records)
        return 0; // a damaged store: the record is missing
    s = &slot;
    return within * ncols_ + static_cast<size_t>(pick_[static_cast<size_t>(col)]);
}

void StoreRows::load(Slot& slot, std::int64_t chunk) const
{
    slot.chunk = chunk;
    slot.records = 0;
    slot.blob.clear();
    try {
        if (!stmt_)
            stmt_ = std::make_unique<sql::Stmt>(
                store_->db_, "SELECT chunk, recs FROM " + storeTable::rows(t_.id) +
                                 " WHERE chunk >= ? ORDER BY chunk");
        // Chunks a little ahead of the last one read come from stepping on (row order).
        if (cursor_ >= 0 && chunk > cursor_ && chunk - cursor_ <= 4) {
            while (cursor_ >= 0 && cursor_ < chunk)
                cursor_ = stmt_->step() ? stmt_->integer(0) : -1;
        } else {
            stmt_->reset();
            stmt_->bindInt(1, chunk);
            cursor_ = stmt_->step() ? stmt_->integer(0) : -1;
        }
        if (cursor_ != chunk) {
            cursor_ = -1;
            return;
        }
        const auto* b = static_cast<const char*>(sqlite3_column_blob(stmt_->get(), 1));
        slot.blob.assign(b ? b : "", static_cast<size_t>(sqlite3_column_bytes(stmt_->get(), 1)));
    } catch (const sql::Error&) {
        cursor_ = -1;
        return;
    }
    slot.off.resize(record::kChunkRows * ncols_);
    slot.len.resize(record::kChunkRows * ncols_);
    const auto* base = reinterpret_cast<const unsigned char*>(slot.blob.data());
    const unsigned char* p = base;
    const unsigned char* end = base + slot.blob.size();
    for (size_t r = 0; r < record::kChunkRows && p < end; ++r) {
        for (size_t c = 0; c < ncols_; ++c) {
            std::string_view v;
            bool isNull = true;
            if (!record::getField(p, end, v, isNull))
                return; // damaged: the records read so far stay
            const size_t at = r * ncols_ + c;
            slot.off[at] = isNull ? 0
                                  : static_cast<std::uint32_t>(
                                        reinterpret_cast<const unsigned char*>(v.data()) - base);
            slot.len[at] = isNull ? kNull : static_cast<std::uint32_t>(v.size());
        }
        slot.records = r + 1;
    }
}

} // namespace engine
