#pragma once
// Reads a store table's records, which lie in chunks of record::kChunkRows (StoreFormat.h),
// on the store's connection: every record of some rows in order, for a statement that
// reads them all at once, or one chunk whole or one record of it, for a result that reads
// its records when they are asked for.

#include "engine/store/RowList.h"
#include "engine/store/Sqlite.h"
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreTable.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

class ChunkReader {
public:
    explicit ChunkReader(const StoreTable& t);

    // Calls fn(rowid, values, nulls) for the given rows (all rows when `rows` is null), in
    // order: values[c] the cell of table column c, nulls[c] whether it is null. Throws
    // sql::Error when a part read is damaged.
    template <class Fn>
    void forRows(const Rows* rows, Fn fn);

    // Reads the cells of one record, stored at [p, end), into out[0 .. columns): a value,
    // a spelling, or a view without data() for a null. False when the record is malformed
    // or a spelling is missing; throws sql::Error when the column's spellings are damaged.
    bool parse(const unsigned char* p, const unsigned char* end, std::string_view* out);

    // The parts of one chunk; each is false when the store has no such chunk or its bytes
    // cannot be read. `records` is the number of records the chunk holds.
    bool hasChunk(std::int64_t chunk);
    bool readChunk(std::int64_t chunk, std::string& bytes);
    bool readRecord(std::int64_t chunk, size_t records, size_t at, std::string& bytes);

private:
    // Whether reading every chunk in order costs less than looking up those of `rows`.
    bool scans(const Rows* rows) const;
    // Decodes record `at` (0-based) of a chunk of k records into vals_ and nul_; throws
    // when it cannot.
    void decodeAt(const unsigned char* chunk, size_t size, size_t k, size_t at);
    template <class Fn>
    void scan(const Rows* rows, Fn& fn);
    template <class Fn>
    void lookUp(const Rows& rows, Fn& fn);
    // Puts blob_ on the chunk; false when the store has none.
    bool seek(std::int64_t chunk);
    static const unsigned char* blobOf(const sql::Stmt& st, int col, size_t& size)
    {
        size = static_cast<size_t>(sqlite3_column_bytes(st.get(), col));
        return static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), col));
    }

    const StoreTable& t_;
    size_t ncols_;
    std::uint32_t rows_;
    std::vector<std::string_view> vals_;
    std::vector<char> nul_;
    std::vector<const Spellings*> words_; // per column, once a cell has referred to one
    struct BlobClose {
        void operator()(sqlite3_blob* b) const { sqlite3_blob_close(b); }
    };
    // An incremental blob reads the bytes asked for only (a statement would copy the
    // whole chunk to give any of it).
    std::unique_ptr<sqlite3_blob, BlobClose> blob_;
    std::int64_t cursor_ = -1; // the chunk blob_ stands on, -1 none
};

// (inline: a result that reads its records later parses each one here)
inline bool ChunkReader::parse(const unsigned char* p, const unsigned char* end,
                               std::string_view* out)
{
    for (size_t c = 0; c < ncols_; ++c) {
        record::Cell cell;
        if (!record::getCell(p, end, cell))
            return false;
        out[c] = cell.value; // (a null: no data())
        if (cell.ref) {
            if (!words_[c])
                words_[c] = &t_.spellings(static_cast<int>(c));
            if (cell.ref > words_[c]->size())
                return false;
            out[c] = words_[c]->at(cell.ref);
        }
    }
    return p == end;
}

template <class Fn>
void ChunkReader::forRows(const Rows* rows, Fn fn)
{
    if (scans(rows))
        scan(rows, fn);
    else
        lookUp(*rows, fn);
}

template <class Fn>
void ChunkReader::scan(const Rows* rows, Fn& fn)
{
    const std::uint32_t per = record::kChunkRows;
    sql::Stmt st(t_.db(),
                 "SELECT chunk, recs FROM " + storeTable::rows(t_.id()) + " ORDER BY chunk");
    size_t i = 0;
    std::uint32_t seen = 0;
    std::int64_t expectChunk = 0;
    while (st.step()) {
        const std::int64_t c = st.integer(0);
        if (c != expectChunk++)
            throw sql::Error(SQLITE_CORRUPT, "chunk missing");
        const size_t k = record::chunkRecords(rows_, c);
        if (k == 0)
            throw sql::Error(SQLITE_CORRUPT, "chunk beyond the rows");
        const std::uint32_t first = record::firstRowOf(c);
        seen += static_cast<std::uint32_t>(k);
        if (rows) {
            if (i < rows->size() && (*rows)[i] < first)
                throw sql::Error(SQLITE_CORRUPT, "row missing");
            if (i >= rows->size())
                break;
            if ((*rows)[i] >= first + per)
                continue;
        }
        size_t size = 0;
        const unsigned char* blob = blobOf(st, 1, size);
        if (rows) {
            for (; i < rows->size() && (*rows)[i] < first + k; ++i) {
                decodeAt(blob, size, k, (*rows)[i] - first);
                fn((*rows)[i], vals_, nul_);
            }
        } else {
            for (size_t at = 0; at < k; ++at) {
                decodeAt(blob, size, k, at);
                fn(first + static_cast<std::uint32_t>(at), vals_, nul_);
            }
        }
    }
    if ((!rows && seen != rows_) || (rows && i != rows->size()))
        throw sql::Error(SQLITE_CORRUPT, "row count differs");
}

template <class Fn>
void ChunkReader::lookUp(const Rows& rows, Fn& fn)
{
    sql::Stmt st(t_.db(), "SELECT recs FROM " + storeTable::rows(t_.id()) + " WHERE chunk = ?");
    std::int64_t chunk = -1;
    const unsigned char* blob = nullptr;
    size_t size = 0, k = 0;
    for (std::uint32_t r : rows) {
        const std::int64_t c = record::chunkOf(r);
        if (c != chunk) {
            st.reset();
            st.bindInt(1, c);
            if (!st.step())
                throw sql::Error(SQLITE_CORRUPT, "row missing");
            chunk = c;
            blob = blobOf(st, 0, size);
            k = record::chunkRecords(rows_, c);
        }
        decodeAt(blob, size, k, record::placeInChunk(r));
        fn(r, vals_, nul_);
    }
}

} // namespace engine
