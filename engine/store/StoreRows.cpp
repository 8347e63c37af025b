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
    std::vector<size_t> at; // the table column of each valid column asked for
    for (int c : cols)
        if (c >= 0 && c < columnCount())
            at.push_back(static_cast<size_t>(pick_[static_cast<size_t>(c)]));
    std::vector<std::uint8_t> most;
    if (at.empty() || !longest(n, at, most))
        return; // (no widths: a damaged result is not shown)
    for (size_t c = 0, i = 0; c < cols.size(); ++c) {
        if (cols[c] < 0 || cols[c] >= columnCount())
            continue;
        out[c] = most[i] < 255 ? most[i] : countLong(cols[c], at[i], n);
        ++i;
    }
}

int StoreRows::maxCharLength(int col, std::int64_t rows) const
{
    std::vector<int> out;
    maxCharLengths({col}, rows, out);
    return out[0];
}

std::shared_ptr<const CellLengths> StoreRows::lengths() const
{
    try {
        return t_.lengths();
    } catch (const sql::Error&) {
        fail();
        return nullptr;
    }
}

bool StoreRows::longest(std::int64_t n, const std::vector<size_t>& at,
                        std::vector<std::uint8_t>& most) const
{
    most.assign(at.size(), 0);
    if (!inTable_) { // a row list no query of the store answers
        fail();
        return false;
    }
    if (std::vector<std::uint8_t> wide; n == n_ && longestOfAll(wide)) {
        for (size_t i = 0; i < at.size(); ++i)
            most[i] = wide[at[i]];
        return true;
    }
    const std::shared_ptr<const CellLengths> lens = lengths();
    if (!lens)
        return false;
    longestOfRows(*lens, n, at, most);
    return true;
}

void StoreRows::longestOfRows(const CellLengths& lens, std::int64_t n,
                              const std::vector<size_t>& at, std::vector<std::uint8_t>& most) const
{
    const std::uint8_t* L = lens.cells.data();
    constexpr std::int64_t ahead = 16; // rows fetched ahead: matched rows lie far apart
    auto fetchAhead = [&](std::int64_t i) {
        if (i + ahead < n)
            __builtin_prefetch(L + static_cast<size_t>(rowid(i + ahead) - 1) * ncols_);
    };
    if (ncols_ > record::kLengthPadding) {
        for (std::int64_t i = 0; i < n; ++i) {
            fetchAhead(i);
            const std::uint8_t* row = L + static_cast<size_t>(rowid(i) - 1) * ncols_;
            for (size_t c = 0; c < at.size(); ++c)
                most[c] = std::max(most[c], row[at[c]]);
        }
        return;
    }
    // A row's lengths are taken whole, kLengthPadding bytes at once (the list is padded for
    // the last row), and the columns are picked out once at the end: a few instructions per
    // matched row whatever the number of columns. Where the result holds a whole block of
    // rows, the block's maxima stand for its rows.
    std::array<std::uint8_t, record::kLengthPadding> wide{};
    const std::uint8_t* blocks = lens.blocks.data();
    const std::uint32_t per = record::kLengthBlockRows;
    const std::uint32_t last = static_cast<std::uint32_t>(t_.rows());
    // (rows ascend without repeats: result rows i .. i + per - 1 are the block starting at
    // row id when the last of them is id + per - 1)
    auto wholeBlock = [&](std::int64_t i, std::uint32_t id) {
        return (id - 1) % per == 0 && i + per <= n && id - 1 + per <= last &&
               rowid(i + per - 1) == id + per - 1;
    };
    for (std::int64_t i = 0; i < n;) {
        const std::uint32_t id = rowid(i);
        if (wholeBlock(i, id)) {
            record::widenLengths(wide.data(), blocks + (id - 1) / per * record::kLengthPadding);
            i += per;
        } else {
            fetchAhead(i);
            record::widenLengths(wide.data(), L + static_cast<size_t>(id - 1) * ncols_);
            ++i;
        }
    }
    for (size_t c = 0; c < at.size(); ++c)
        most[c] = wide[at[c]];
}

int StoreRows::countLong(int col, size_t c, std::int64_t n) const
{
    const std::shared_ptr<const CellLengths> lens = lengths();
    if (!lens)
        return 0;
    int longest = 255;
    for (std::int64_t i = 0; i < n; ++i)
        if (lens->cells[static_cast<size_t>(rowid(i) - 1) * ncols_ + c] == 255)
            longest = std::max(longest, static_cast<int>(fz::utf8::charCount(value(i, col))));
    return longest;
}

bool StoreRows::longestOfAll(std::vector<std::uint8_t>& wide) const
{
    if (!most_.known())
        return false;
    wide = most_.most;
    if (most_.rest.empty())
        return true;
    const std::shared_ptr<const CellLengths> lens = lengths();
    if (!lens)
        return false;
    const std::uint8_t* L = lens->cells.data();
    for (std::uint32_t id : most_.rest) {
        if (id < 1 || id > t_.rows()) {
            fail(); // (a row list no query of the store answers)
            return false;
        }
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
    const std::uint32_t id = rowid(row);
    const std::int64_t chunk = record::chunkOf(id);
    const size_t within = record::placeInChunk(id);
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
    slot.records = reader_.hasChunk(chunk) ? record::chunkRecords(t_.rows(), chunk) : 0;
    slot.decoded = 0;
    slot.damaged = 0;
    slot.whole = false;
    slot.bytes.clear();
    slot.cells.resize(record::kChunkRows * ncols_);
}

bool StoreRows::parse(Slot& slot, size_t within, const unsigned char* p,
                      const unsigned char* end) const
{
    try {
        return reader_.parse(p, end, slot.cells.data() + within * ncols_);
    } catch (const sql::Error&) {
        return false; // (damaged spellings)
    }
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
    if (slot.whole) {
        size_t b = 0, e = 0;
        const auto* base = reinterpret_cast<const unsigned char*>(slot.bytes.data());
        return done(record::recordSpan(base, slot.bytes.size(), slot.records, within, b, e) &&
                    parse(slot, within, base + b, base + e));
    }
    if ((dense_ || within == 0) && slot.decoded == 0) {
        if (!reader_.readChunk(slot.chunk, slot.bytes))
            return done(false);
        slot.whole = true;
        return decode(slot, within);
    }
    std::string& one = slot.one[within];
    if (!reader_.readRecord(slot.chunk, slot.records, within, one))
        return done(false);
    const auto* base = reinterpret_cast<const unsigned char*>(one.data());
    return done(parse(slot, within, base, base + one.size()));
}

} // namespace engine
