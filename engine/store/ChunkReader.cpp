#include "engine/store/ChunkReader.h"

namespace engine {

namespace {

// Reading every chunk in order costs about 0.6 of looking as many up one by one (measured
// on a million rows): a statement scans when more than that share of the chunks is needed.
constexpr size_t kScanCostTenths = 6;

} // namespace

ChunkReader::ChunkReader(const StoreTable& t)
    : t_(t)
    , ncols_(t.columns().size())
    , rows_(static_cast<std::uint32_t>(t.rows()))
    , vals_(ncols_)
    , nul_(ncols_)
    , words_(ncols_)
{
}

bool ChunkReader::scans(const Rows* rows) const
{
    if (!rows)
        return true;
    const std::uint32_t per = record::kChunkRows;
    size_t touched = 0;
    std::int64_t last = -1;
    for (std::uint32_t r : *rows) {
        const std::int64_t c = record::chunkOf(r);
        touched += c != last;
        last = c;
    }
    return touched * 10 > (rows_ + per - 1) / per * kScanCostTenths;
}

void ChunkReader::decodeAt(const unsigned char* chunk, size_t size, size_t k, size_t at)
{
    size_t b = 0, e = 0;
    if (!chunk || !record::recordSpan(chunk, size, k, at, b, e))
        throw sql::Error(SQLITE_CORRUPT, "row chunk damaged");
    if (!parse(chunk + b, chunk + e, vals_.data()))
        throw sql::Error(SQLITE_CORRUPT, "row record damaged");
    for (size_t c = 0; c < ncols_; ++c)
        nul_[c] = vals_[c].data() == nullptr;
}

bool ChunkReader::seek(std::int64_t chunk)
{
    if (cursor_ == chunk && chunk >= 0)
        return true;
    cursor_ = -1;
    int rc = SQLITE_ERROR;
    if (blob_) {
        rc = sqlite3_blob_reopen(blob_.get(), chunk);
        if (rc != SQLITE_OK)
            blob_.reset(); // a failed handle takes no other row
    } else {
        sqlite3_blob* b = nullptr;
        rc = sqlite3_blob_open(t_.db().get(), "main", storeTable::rows(t_.id()).c_str(), "recs",
                               chunk, 0, &b);
        blob_.reset(b);
        if (rc != SQLITE_OK)
            blob_.reset();
    }
    if (rc == SQLITE_OK)
        cursor_ = chunk;
    return rc == SQLITE_OK;
}

bool ChunkReader::hasChunk(std::int64_t chunk)
{
    return seek(chunk);
}

bool ChunkReader::readChunk(std::int64_t chunk, std::string& bytes)
{
    if (!seek(chunk))
        return false;
    bytes.resize(static_cast<size_t>(sqlite3_blob_bytes(blob_.get())));
    if (sqlite3_blob_read(blob_.get(), bytes.data(), static_cast<int>(bytes.size()), 0) ==
        SQLITE_OK)
        return true;
    bytes.clear();
    return false;
}

bool ChunkReader::readRecord(std::int64_t chunk, size_t records, size_t at, std::string& bytes)
{
    if (!seek(chunk))
        return false;
    // The record's offset and the next one's (the chunk's end after its last record).
    const size_t size = static_cast<size_t>(sqlite3_blob_bytes(blob_.get()));
    const size_t head = records * record::kOffsetBytes;
    unsigned char offs[2 * record::kOffsetBytes];
    const size_t want = (at + 1 < records ? 2 : 1) * record::kOffsetBytes;
    if (size < head || sqlite3_blob_read(blob_.get(), offs, static_cast<int>(want),
                                         static_cast<int>(at * record::kOffsetBytes)) != SQLITE_OK)
        return false;
    const size_t b = record::get32(offs);
    const size_t e = at + 1 < records ? record::get32(offs + record::kOffsetBytes) : size;
    if (!record::spanFits(head, b, e, size))
        return false;
    bytes.resize(e - b);
    return sqlite3_blob_read(blob_.get(), bytes.data(), static_cast<int>(e - b),
                             static_cast<int>(b)) == SQLITE_OK;
}

} // namespace engine
