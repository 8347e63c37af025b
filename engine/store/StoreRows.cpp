#include "engine/store/StoreRows.h"

#include "engine/store/StoreFormat.h"
#include "util/Utf8.h"

#include <algorithm>

namespace engine {

void StoreRows::maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                               std::vector<int>& out) const
{
    out.assign(cols.size(), 0);
    const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
    if (std::vector<std::uint8_t> wide; n == n_ && longestOfAll(wide)) {
        for (size_t c = 0; c < cols.size(); ++c) {
            const int col = cols[c];
            const bool valid = col >= 0 && col < columnCount();
            const std::uint8_t m =
                valid ? wide[static_cast<size_t>(pick_[static_cast<size_t>(col)])] : 0;
            out[c] = m < 255 ? m : maxCharLength(col, rows);
        }
        return;
    }
    std::shared_ptr<const Store::Lengths> lens;
    try {
        lens = store_->lengths(t_);
    } catch (const sql::Error&) {
        fail(); // (no widths: the result is not shown)
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
    const std::uint8_t* L = lens->cells.data();
    const std::uint32_t last = static_cast<std::uint32_t>(t_.rows);
    std::array<std::uint8_t, 256> most{};
    const size_t k = std::min<size_t>(at.size(), most.size());
    constexpr std::int64_t ahead = 16; // rows fetched ahead: matched rows lie far apart
    auto fetchAhead = [&](std::int64_t i) {
        if (i + ahead < n) {
            const std::uint32_t next = rowid(i + ahead);
            if (next >= 1 && next <= last)
                __builtin_prefetch(L + static_cast<size_t>(next - 1) * ncols_);
        }
    };
    if (ncols_ <= record::kLengthPadding) {
        // A row's lengths are taken whole, kLengthPadding bytes at once (the list is padded
        // for the last row), and the columns are picked out once at the end: a few
        // instructions per matched row whatever the number of columns. Where the result
        // holds a whole block of rows, the block's maxima stand for its rows.
        std::array<std::uint8_t, record::kLengthPadding> wide{};
        const std::uint8_t* blocks = lens->blocks.data();
        const std::uint32_t per = record::kLengthBlockRows;
        // (rows ascend without repeats: result rows i .. i + per - 1 are the block starting
        // at row id when the last of them is id + per - 1)
        auto wholeBlock = [&](std::int64_t i, std::uint32_t id) {
            return (id - 1) % per == 0 && i + per <= n && id - 1 + per <= last &&
                   rowid(i + per - 1) == id + per - 1;
        };
        for (std::int64_t i = 0; i < n;) {
            const std::uint32_t id = rowid(i);
            if (id < 1 || id > last) { // (a damaged store: nothing to count)
                ++i;
            } else if (wholeBlock(i, id)) {
                record::widenLengths(wide.data(), blocks + (id - 1) / per * record::kLengthPadding);
                i += per;
            } else {
                fetchAhead(i);
                record::widenLengths(wide.data(), L + static_cast<size_t>(id - 1) * ncols_);
                ++i;
            }
        }
        for (size_t c = 0; c < k; ++c)
            most[c] = wide[at[c]];
    } else {
        for (std::int64_t i = 0; i < n; ++i) {
            fetchAhead(i);
            const std::uint32_t id = rowid(i);
            if (id < 1 || id > last)
                continue; // a damaged store: nothing to count
            const std::uint8_t* row = L + static_cast<size_t>(id - 1) * ncols_;
            for (size_t c = 0; c < k; ++c)
                most[c] = std::max(most[c], row[at[c]]);
        }
    }
    for (size_t c = 0; c < cols.size(); ++c)
        out[c] = c < k && most[c] < 255 ? most[c] : maxCharLength(cols[c], rows);
}

int StoreRows::maxCharLength(int col, std::int64_t rows) const
{
    if (col < 0 || col >= columnCount())
        return 0;
    const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
    if (std::vector<std::uint8_t> wide;
        n == n_ && longestOfAll(wide) &&
        wide[static_cast<size_t>(pick_[static_cast<size_t>(col)])] < 255)
        return wide[static_cast<size_t>(pick_[static_cast<size_t>(col)])];
    std::shared_ptr<const Store::Lengths> lens;
    try {
        lens = store_->lengths(t_);
    } catch (const sql::Error&) {
        fail();
        return 0;
    }
    const std::uint8_t* L = lens->cells.data() + pick_[static_cast<size_t>(col)];
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

bool StoreRows::longestOfAll(std::vector<std::uint8_t>& wide) const
{
    if (!most_.known())
        return false;
    wide = most_.most;
    if (most_.rest.empty())
        return true;
    std::shared_ptr<const Store::Lengths> lens;
    try {
        lens = store_->lengths(t_);
    } catch (const sql::Error&) {
        fail();
        return false;
    }
    const std::uint8_t* L = lens->cells.data();
    for (std::uint32_t id : most_.rest) {
        if (id < 1 || id > t_.rows)
            continue; // (a damaged store: nothing to count)
        const std::uint8_t* row = L + static_cast<size_t>(id - 1) * ncols_;
        for (size_t c = 0; c < ncols_; ++c)
            wide[c] = std::max(wide[c], row[c]);
    }
    return true;
}

size_t StoreRows::locate(std::int64_t row, int col, const Slot*& s) const
{
    s = nullptr;
    if (col < 0 || col >= columnCount())
        return 0;
    size_t first = 0;
    s = record(row, first);
    return s ? first + static_cast<size_t>(pick_[static_cast<size_t>(col)]) : 0;
}

const StoreRows::Slot* StoreRows::record(std::int64_t row, size_t& first) const
{
    if (row < 0 || row >= n_)
        return nullptr;
    const std::uint32_t id = rowid(row) - 1;
    const std::int64_t chunk = id / record::kChunkRows;
    const size_t within = id % record::kChunkRows;
    Slot& slot = slots_[static_cast<size_t>(chunk) % kSlots];
    if (slot.chunk != chunk)
        load(slot, chunk);
    if (!(slot.decoded >> within & 1) && !decode(slot, within)) {
        fail(); // a damaged store: the record is missing
        return nullptr;
    }
    first = within * ncols_;
    return &slot;
}

void StoreRows::values(std::int64_t row, const int* cols, int n, std::string_view* out) const
{
    size_t first = 0;
    const Slot* s = record(row, first);
    for (int i = 0; i < n; ++i) {
        const int col = cols[i];
        if (!s || col < 0 || col >= columnCount()) {
            out[i] = {};
            continue;
        }
        out[i] = s->cells[first + static_cast<size_t>(pick_[static_cast<size_t>(col)])];
    }
}

void StoreRows::load(Slot& slot, std::int64_t chunk) const
{
    slot.chunk = chunk;
    slot.records = seek(chunk) ? record::chunkRecords(t_.rows, chunk) : 0;
    slot.decoded = 0;
    slot.damaged = 0;
    slot.whole = false;
    slot.bytes.clear();
    slot.cells.resize(record::kChunkRows * ncols_);
}

bool StoreRows::seek(std::int64_t chunk) const
{
    if (cursor_ == chunk && chunk >= 0)
        return true;
    cursor_ = -1;
    // An incremental blob reads the bytes asked for only (a statement would copy the whole
    // chunk to give any of it).
    int rc = SQLITE_ERROR;
    if (blob_) {
        rc = sqlite3_blob_reopen(blob_.get(), chunk);
        if (rc != SQLITE_OK)
            blob_.reset(); // a failed handle takes no other row
    } else {
        sqlite3_blob* b = nullptr;
        rc = sqlite3_blob_open(store_->db_.get(), "main", storeTable::rows(t_.id).c_str(), "recs",
                               chunk, 0, &b);
        blob_.reset(b);
        if (rc != SQLITE_OK)
            blob_.reset();
    }
    if (rc == SQLITE_OK)
        cursor_ = chunk;
    return rc == SQLITE_OK;
}

const Store::Spellings* StoreRows::spellings(size_t c) const
{
    if (!spellings_[c]) {
        try {
            spellings_[c] = &store_->spellings(t_, static_cast<int>(c));
        } catch (const sql::Error&) {
            return nullptr;
        }
    }
    return spellings_[c];
}

bool StoreRows::parse(Slot& slot, size_t within, const unsigned char* p,
                      const unsigned char* end) const
{
    return readRecord(p, end, ncols_, slot.cells.data() + within * ncols_,
                      [this](size_t c) { return spellings_[c] ? spellings_[c] : spellings(c); });
}

bool StoreRows::decode(Slot& slot, size_t within) const
{
    if (within >= slot.records || (slot.damaged >> within & 1))
        return false;
    auto done = [&](bool ok) {
        slot.decoded |= std::uint32_t{ok} << within;
        slot.damaged |= std::uint32_t{!ok} << within; // the other records stay
        return ok;
    };
    size_t b = 0, e = 0;
    if (slot.whole) {
        const auto* base = reinterpret_cast<const unsigned char*>(slot.bytes.data());
        return done(record::recordSpan(base, slot.bytes.size(), slot.records, within, b, e) &&
                    parse(slot, within, base + b, base + e));
    }
    if (!seek(slot.chunk))
        return done(false);
    const size_t size = static_cast<size_t>(sqlite3_blob_bytes(blob_.get()));
    if ((dense_ || within == 0) && slot.decoded == 0) {
        slot.bytes.resize(size);
        if (sqlite3_blob_read(blob_.get(), slot.bytes.data(), static_cast<int>(size), 0) !=
            SQLITE_OK) {
            slot.bytes.clear();
            return done(false);
        }
        slot.whole = true;
        return decode(slot, within);
    }
    // The record's offset and the next one's (the chunk's end after its last record).
    const size_t k = slot.records;
    const size_t head = k * record::kOffsetBytes;
    unsigned char offs[2 * record::kOffsetBytes];
    const size_t want = (within + 1 < k ? 2 : 1) * record::kOffsetBytes;
    if (size < head ||
        sqlite3_blob_read(blob_.get(), offs, static_cast<int>(want),
                          static_cast<int>(within * record::kOffsetBytes)) != SQLITE_OK)
        return done(false);
    b = record::getOffset(offs);
    e = within + 1 < k ? record::getOffset(offs + record::kOffsetBytes) : size;
    if (!(head <= b && b <= e && e <= size))
        return done(false);
    std::string& one = slot.one[within];
    one.resize(e - b);
    if (sqlite3_blob_read(blob_.get(), one.data(), static_cast<int>(e - b), static_cast<int>(b)) !=
        SQLITE_OK)
        return done(false);
    const auto* base = reinterpret_cast<const unsigned char*>(one.data());
    return done(parse(slot, within, base, base + one.size()));
}

} // namespace engine
