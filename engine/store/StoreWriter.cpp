#include "engine/store/StoreWriter.h"

#include "engine/jetsql/Fold.h"
#include "engine/store/CheckedVfs.h"
#include "engine/store/Sqlite.h"
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreSchema.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <future>
#include <unistd.h>

namespace engine {

namespace {

// A column is judged plain (see StoreWriter::Impl::Col) on its first rows, or as a whole
// when the table is smaller; a table under the minimum keeps every dictionary.
constexpr size_t kPlainProbeRows = 8192;
constexpr std::uint32_t kPlainMinRows = 1024;

// The distinct folded values of one column, each with the spelling first seen (kept only
// when it differs from the folded text). Compact: one byte arena, a flat entry table and an
// open-addressing hash of entry numbers.
class Dictionary {
public:
    struct Entry {
        std::uint32_t off; // f bytes at arena[off], then v bytes when vlen > 0
        std::uint32_t flen;
        std::uint32_t vlen; // 0: v equals f; else length + 1
    };

    static std::uint64_t hashOf(std::string_view f) { return std::hash<std::string_view>{}(f); }

    // Brings the slot a later idFor(f, v, hash) will probe into the cache.
    void prefetch(std::uint64_t hash) const
    {
        if (!slots_.empty())
            __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }

    // The id (1-based) of folded text f, added with spelling v when new.
    std::uint32_t idFor(std::string_view f, std::string_view v, std::uint64_t hash)
    {
        if ((entries_.size() + 1) * 2 > slots_.size())
            grow();
        size_t mask = slots_.size() - 1;
        const std::uint64_t tag = hash >> 32;
        size_t h = hash & mask;
        while (std::uint64_t slot = slots_[h]) {
            if ((slot >> 32) == tag && folded(static_cast<std::uint32_t>(slot)) == f)
                return static_cast<std::uint32_t>(slot);
            h = (h + 1) & mask;
        }
        Entry e{static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint32_t>(f.size()), 0};
        arena_.append(f);
        if (v != f) {
            arena_.append(v);
            e.vlen = static_cast<std::uint32_t>(v.size()) + 1;
        }
        entries_.push_back(e);
        std::uint32_t id = static_cast<std::uint32_t>(entries_.size());
        slots_[h] = (tag << 32) | id;
        return id;
    }
    size_t size() const { return entries_.size(); }
    void prefetchEntry(std::uint32_t id) const { __builtin_prefetch(&entries_[id - 1]); }
    void prefetchText(std::uint32_t id) const
    {
        __builtin_prefetch(arena_.data() + entries_[id - 1].off);
    }
    std::string_view folded(std::uint32_t id) const
    {
        const Entry& e = entries_[id - 1];
        return std::string_view(arena_).substr(e.off, e.flen);
    }
    const Entry& entry(std::uint32_t id) const { return entries_[id - 1]; }
    // The first spelling, or nothing when it equals the folded text.
    std::string_view spelling(std::uint32_t id) const
    {
        const Entry& e = entries_[id - 1];
        return std::string_view(arena_).substr(e.off + e.flen, e.vlen ? e.vlen - 1 : 0);
    }
    // The first spelling, whether or not it equals the folded text.
    std::string_view firstSpelling(std::uint32_t id) const
    {
        return entries_[id - 1].vlen ? spelling(id) : folded(id);
    }
    void clear()
    {
        std::string().swap(arena_);
        std::vector<Entry>().swap(entries_);
        std::vector<std::uint64_t>().swap(slots_);
    }

private:
    void grow()
    {
        std::vector<std::uint64_t> old;
        old.swap(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
        size_t mask = slots_.size() - 1;
        for (std::uint64_t slot : old) {
            if (!slot)
                continue;
            size_t h = hashOf(folded(static_cast<std::uint32_t>(slot))) & mask;
            while (slots_[h])
                h = (h + 1) & mask;
            slots_[h] = slot;
        }
    }
    std::string arena_;
    std::vector<Entry> entries_;
    std::vector<std::uint64_t> slots_; // hash tag << 32 | id; 0 = empty
};

} // namespace

struct StoreWriter::Impl {
    std::string path;
    sql::Db db;
    int tableId = -1;
    std::string tableName;
    std::vector<ColumnDef> columns;
    std::uint32_t rows = 0;
    std::int64_t bytes = 0;
    struct Col {
        Dictionary dict;
        std::vector<std::uint32_t> ids; // per row: dictionary id, 0 for null (plain: 1)
        bool substr = false;
        // Nearly every value differs (a key or a code): no dictionary is kept; a condition
        // on the column reads the records instead.
        bool plain = false;
        bool probed = false;
        // Whether the column's cells may refer to its spellings: it keeps its dictionary
        // (until it is probed, a column that may turn plain does not refer).
        bool refers() const { return substr || (probed && !plain); }
    };
    // Makes the column plain when it takes no match modes and at most one value in ten
    // repeats; the rows it has so far decide.
    void maybePlain(Col& col)
    {
        col.probed = true;
        if (col.substr || col.plain)
            return;
        size_t nonNull = 0;
        for (std::uint32_t id : col.ids)
            nonNull += id != 0;
        if (nonNull == 0 || col.dict.size() * 10 < nonNull * 9)
            return;
        col.plain = true;
        col.dict.clear();
        for (std::uint32_t& id : col.ids)
            id = id != 0;
    }
    std::vector<Col> cols;
    std::unique_ptr<sql::Stmt> insertRow;
    std::string record;                // the records of the chunk being gathered
    std::vector<std::uint32_t> starts; // where each of them begins in `record`
    std::string chunk;                 // the chunk as stored: offsets, then the records
    // Per row and column: the value's length in characters (255 for 255 or more, 0 for null).
    std::vector<std::uint8_t> lengths;

    // A column's rows grouped by dictionary id, and the order its entries are written in.
    struct Prepared {
        std::vector<std::uint32_t> start;  // rows of id k: rowids[start[k] .. start[k + 1])
        std::vector<std::uint32_t> rowids; // id 0: the nulls
        std::vector<std::uint32_t> order;  // ids in the order they are written
        // The rows of id k as 32-bit little-endian integers.
        std::string_view slice(std::uint32_t id) const
        {
            return std::string_view(reinterpret_cast<const char*>(rowids.data() + start[id]),
                                    (start[id + 1] - start[id]) * sizeof(std::uint32_t));
        }
    };
    // Parts of endTable: each column's rows sorted by value (on a helper thread), its
    // dictionary, the indexes of a search column, its fz_columns row; the lengths table.
    Prepared prepare(size_t j);
    void writeDictionary(size_t j, const Prepared& prep);
    void entryMost(const std::uint32_t* begin, const std::uint32_t* end,
                   std::vector<std::uint8_t>& most) const;
    void writeSearchIndexes(size_t j);
    void writeColumnRow(sql::Stmt& colIns, size_t j, const Prepared& prep);
    void writeSpellings(sql::Stmt& ins, size_t j);
    void writeLengths();

    std::string t() const { return storeTable::rows(tableId); }
    std::string ln() const { return storeTable::lengths(tableId); }
    std::string dn(size_t j) const { return storeTable::dictionary(tableId, j); }
    std::string xn(size_t j) const { return storeTable::trigrams(tableId, j); }
};

StoreWriter::StoreWriter(const std::string& path)
    : d(std::make_unique<Impl>())
{
    // The file is made (privately, under a name nobody can foresee) by whoever asks for the
    // store; the writer neither creates nor removes files.
    d->path = path;
    // Every page keeps a checksum in its last bytes (CheckedVfs.h): room for it is reserved
    // before the first page is made.
    d->db = sql::Db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, checked::vfsName());
    int reserve = checked::kReserveBytes;
    sqlite3_file_control(d->db.get(), "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve);
    // Written without syncs (a store is only handed over whole); finish() syncs it once.
    d->db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
               "PRAGMA cache_size=-65536; PRAGMA temp_store=MEMORY;");
    d->db.exec("BEGIN");
    for (const auto& [name, sql] : schema::storeObjects())
        d->db.exec(sql);
}

StoreWriter::~StoreWriter() = default;

void StoreWriter::beginTable(const std::string& name, const std::vector<ColumnDef>& columns)
{
    ++d->tableId;
    d->tableName = name;
    d->columns = columns;
    d->rows = 0;
    d->bytes = 0;
    d->record.clear();
    d->starts.clear();
    d->lengths.clear();
    d->cols.clear();
    d->cols.resize(columns.size());
    d->db.exec(schema::createTable(d->t(), schema::blobs::kRowsShape));
    d->insertRow =
        std::make_unique<sql::Stmt>(d->db, schema::insertInto(d->t(), schema::blobs::kRowsShape));
    for (size_t j = 0; j < columns.size(); ++j)
        d->cols[j].substr = columns[j].matchModes;
}

// Writes the records gathered so far as the chunk that holds `lastRow`.
void StoreWriter::flushChunk(std::uint32_t lastRow)
{
    if (d->starts.empty())
        return;
    const std::uint32_t head = static_cast<std::uint32_t>(d->starts.size() * record::kOffsetBytes);
    if (d->record.size() > UINT32_MAX - head)
        throw sql::Error(SQLITE_TOOBIG, "rows too long");
    d->chunk.clear();
    for (std::uint32_t s : d->starts)
        record::putOffset(d->chunk, head + s);
    d->chunk += d->record;
    sql::Stmt& ins = *d->insertRow;
    ins.bindInt(schema::param(schema::blobs::kNumber), record::chunkOf(lastRow));
    sqlite3_bind_blob(ins.get(), schema::param(schema::blobs::kBlob), d->chunk.data(),
                      static_cast<int>(d->chunk.size()), SQLITE_STATIC);
    ins.step();
    ins.reset();
    d->record.clear();
    d->starts.clear();
}

void StoreWriter::addRecords(size_t count, const std::string_view* values, const bool* isNull,
                             const std::uint32_t* refs)
{
    const size_t n = d->columns.size();
    if (static_cast<std::uint64_t>(d->rows) + count >= UINT32_MAX)
        throw sql::Error(SQLITE_FULL, "too many rows");
    for (size_t r = 0; r < count; ++r) {
        const std::string_view* v = values + r * n;
        const bool* nul = isNull + r * n;
        const std::uint32_t* ref = refs + r * n;
        d->starts.push_back(static_cast<std::uint32_t>(d->record.size()));
        for (size_t j = 0; j < n; ++j) {
            if (nul[j]) {
                record::putNull(d->record);
                d->lengths.push_back(0);
            } else {
                if (ref[j])
                    record::putSpellingRef(d->record, ref[j]);
                else
                    record::putValue(d->record, v[j]);
                d->bytes += static_cast<std::int64_t>(v[j].size());
                d->lengths.push_back(record::charLength(v[j]));
            }
        }
        const std::uint32_t row = d->rows + static_cast<std::uint32_t>(r) + 1;
        if (row % record::kChunkRows == 0)
            flushChunk(row);
    }
    d->rows += static_cast<std::uint32_t>(count);
}

void StoreWriter::assignIds(size_t count, const std::string_view* values, const bool* isNull,
                            size_t colBegin, size_t colEnd, std::uint32_t* refs)
{
    // Column by column: all hashes first (their slots fetched ahead), then the look-ups, so
    // that the cache misses of a big dictionary overlap.
    const size_t n = d->columns.size();
    // Two threads may call this at once, each with its own columns of the same batches.
    assert(colBegin <= colEnd && colEnd <= n);
    std::string folded;
    std::vector<std::uint32_t> ends(count);
    std::vector<std::uint64_t> hashes(count);
    std::vector<char> same(count);
    for (size_t j = colBegin; j < colEnd && j < n; ++j) {
        auto& col = d->cols[j];
        if (col.plain) {
            for (size_t r = 0; r < count; ++r) {
                col.ids.push_back(isNull[r * n + j] ? 0 : 1);
                refs[r * n + j] = 0;
            }
            continue;
        }
        const bool refers = col.refers();
        folded.clear();
        for (size_t r = 0; r < count; ++r) {
            // A value equal to the one above it (runs are common) takes the same id.
            same[r] = r > 0 && !isNull[r * n + j] && !isNull[(r - 1) * n + j] &&
                      values[r * n + j] == values[(r - 1) * n + j];
            if (!isNull[r * n + j] && !same[r]) {
                size_t begin = folded.size();
                foldInto(values[r * n + j], folded);
                hashes[r] = Dictionary::hashOf(std::string_view(folded).substr(begin));
                col.dict.prefetch(hashes[r]);
            }
            ends[r] = static_cast<std::uint32_t>(folded.size());
        }
        std::uint32_t begin = 0;
        for (size_t r = 0; r < count; ++r) {
            std::uint32_t& ref = refs[r * n + j];
            ref = 0;
            if (isNull[r * n + j]) {
                col.ids.push_back(0);
                continue;
            }
            if (same[r]) {
                col.ids.push_back(col.ids.back());
                ref = r > 0 ? refs[(r - 1) * n + j] : 0;
            } else {
                const std::string_view v = values[r * n + j];
                std::string_view f = std::string_view(folded).substr(begin, ends[r] - begin);
                const std::uint32_t id = col.dict.idFor(f, v, hashes[r]);
                col.ids.push_back(id);
                // A cell exactly its value's first spelling, among the first few values,
                // is stored as that spelling's number.
                if (refers && id <= record::kSpellingRefs &&
                    v.size() <= record::kSpellingMaxBytes && v == col.dict.firstSpelling(id))
                    ref = id;
            }
            begin = ends[r];
        }
        if (!col.probed && col.ids.size() >= kPlainProbeRows)
            d->maybePlain(col);
    }
}

namespace {

// With FZ_IMPORT_TRACE set, lap() writes the processor time since the last lap to standard
// error.
class CpuLaps {
public:
    CpuLaps()
        : trace_(std::getenv("FZ_IMPORT_TRACE") != nullptr)
        , t0_(cpu())
    {
    }
    void lap(const std::string& what)
    {
        if (!trace_)
            return;
        double now = cpu();
        std::fprintf(stderr, "%s: %.3f s cpu\n", what.c_str(), now - t0_);
        t0_ = now;
    }

private:
    static double cpu()
    {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
    }
    bool trace_; // FZ_IMPORT_TRACE is set
    double t0_;  // processor time at the last lap
};

} // namespace

StoreWriter::Impl::Prepared StoreWriter::Impl::prepare(size_t j)
{
    auto& col = cols[j];
    Prepared p;
    const std::uint32_t nd = col.plain ? 1 : static_cast<std::uint32_t>(col.dict.size());
    // Rows of each value, in row order: a counting sort on the dictionary ids.
    p.start.assign(nd + 2, 0);
    for (std::uint32_t id : col.ids)
        ++p.start[id + 1];
    for (size_t k = 1; k < p.start.size(); ++k)
        p.start[k] += p.start[k - 1];
    p.rowids.resize(rows);
    {
        std::vector<std::uint32_t> pos(p.start.begin(), p.start.end() - 1);
        for (std::uint32_t r = 0; r < rows; ++r)
            p.rowids[pos[col.ids[r]]++] = r + 1;
    }
    std::vector<std::uint32_t>().swap(col.ids);
    if (col.plain) // (no entries)
        return p;
    // A keyed column's entries sorted by f: first on the leading 8 bytes held beside the id
    // (few cache misses), then on the whole text where those agree; a search column's stay
    // in id order.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed(nd);
    for (std::uint32_t id = 1; id <= nd; ++id) {
        std::string_view f = col.dict.folded(id);
        std::uint64_t k = 0;
        for (size_t b = 0; b < 8; ++b)
            k = (k << 8) | (b < f.size() ? static_cast<unsigned char>(f[b]) : 0u);
        keyed[id - 1] = {k, id};
    }
    if (!col.substr)
        std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
            if (a.first != b.first)
                return a.first < b.first;
            return col.dict.folded(a.second) < col.dict.folded(b.second);
        });
    p.order.resize(nd);
    for (std::uint32_t i = 0; i < nd; ++i)
        p.order[i] = keyed[i].second;
    return p;
}

// The most of each column's length over the rows [begin, end) of rowids, into most.
void StoreWriter::Impl::entryMost(const std::uint32_t* begin, const std::uint32_t* end,
                                  std::vector<std::uint8_t>& most) const
{
    const size_t n = columns.size();
    if (n <= record::kLengthPadding) {
        // (lengths is padded for the last row: see endTable)
        std::array<std::uint8_t, record::kLengthPadding> wide{};
        for (const std::uint32_t* r = begin; r != end; ++r)
            record::widenLengths(wide.data(), &lengths[(*r - 1) * n]);
        std::copy_n(wide.begin(), n, most.begin());
    } else {
        std::fill(most.begin(), most.end(), 0);
        for (const std::uint32_t* r = begin; r != end; ++r)
            for (size_t c = 0; c < n; ++c)
                most[c] = std::max(most[c], lengths[(*r - 1) * n + c]);
    }
}

void StoreWriter::Impl::writeDictionary(size_t j, const Prepared& prep)
{
    namespace dict = schema::dictionary;
    auto& col = cols[j];
    const std::vector<std::uint32_t>& start = prep.start;
    const std::vector<std::uint32_t>& rowids = prep.rowids;
    const std::vector<std::uint32_t>& order = prep.order;
    // (a keyed dictionary's entries come in f order: its key is built without sorting)
    const bool search = col.substr;
    db.exec(schema::createTable(dn(j), dict::shape(search)));
    sql::Stmt ins(db, schema::insertInto(dn(j), dict::shape(search)));
    auto at = [search](dict::Col c) { return schema::param(dict::at(c, search)); };
    std::string rev;
    std::vector<std::uint8_t> most(columns.size());
    std::string bitmap;
    for (size_t i = 0; i < order.size(); ++i) {
        // a keyed column's entries are visited in f order, not in the order they were made:
        // fetch ahead
        if (i + 16 < order.size())
            col.dict.prefetchEntry(order[i + 16]);
        if (i + 8 < order.size()) {
            col.dict.prefetchText(order[i + 8]);
            __builtin_prefetch(&start[order[i + 8]]);
        }
        if (i + 4 < order.size())
            __builtin_prefetch(&rowids[start[order[i + 4]]]);
        const std::uint32_t id = order[i];
        std::string_view f = col.dict.folded(id);
        if (search)
            ins.bindInt(at(dict::kId), id);
        ins.bindStatic(at(dict::kF), f);
        if (col.dict.entry(id).vlen)
            ins.bindStatic(at(dict::kV), col.dict.spelling(id));
        else
            ins.bindNull(at(dict::kV));
        ins.bindInt(at(dict::kFirst), rowids[start[id]]);
        const std::uint32_t* begin = rowids.data() + start[id];
        const std::uint32_t* end = rowids.data() + start[id + 1];
        const std::uint32_t count = start[id + 1] - start[id];
        if (record::rowsAsBitmap(count, rows)) {
            record::putBitmap(bitmap, begin, end, rows);
            sqlite3_bind_blob(ins.get(), at(dict::kRows), bitmap.data(),
                              static_cast<int>(bitmap.size()), SQLITE_STATIC);
        } else if (count > 1) {
            std::string_view sl = prep.slice(id);
            sqlite3_bind_blob(ins.get(), at(dict::kRows), sl.data(), static_cast<int>(sl.size()),
                              SQLITE_STATIC);
        } else {
            ins.bindNull(at(dict::kRows));
        }
        if (count >= record::kEntryMostRows) {
            entryMost(begin, end, most);
            sqlite3_bind_blob(ins.get(), at(dict::kMost), most.data(),
                              static_cast<int>(most.size()), SQLITE_STATIC);
        } else {
            ins.bindNull(at(dict::kMost));
        }
        if (search) {
            rev = reverseChars(f);
            ins.bindStatic(at(dict::kR), rev);
        }
        ins.step();
        ins.reset();
    }
}

void StoreWriter::Impl::writeSearchIndexes(size_t j)
{
    for (const auto& [name, sql] : schema::searchObjects(tableId, j))
        db.exec(sql);
    db.exec("INSERT INTO " + xn(j) + "(rowid, f) SELECT id, f FROM " + dn(j));
}

void StoreWriter::Impl::writeColumnRow(sql::Stmt& colIns, size_t j, const Prepared& prep)
{
    const auto& col = cols[j];
    namespace c = schema::columns;
    using schema::param;
    colIns.bindInt(param(c::kT), tableId);
    colIns.bindInt(param(c::kPos), static_cast<std::int64_t>(j));
    colIns.bindText(param(c::kName), columns[j].name);
    colIns.bindText(param(c::kType), columns[j].type);
    colIns.bindInt(param(c::kDistinct),
                   col.plain ? -1 : static_cast<std::int64_t>(col.dict.size()));
    colIns.bindInt(param(c::kSubstr), col.substr ? 1 : 0);
    std::string_view nulls = prep.slice(0);
    sqlite3_bind_blob(colIns.get(), param(c::kNulls), nulls.data(), static_cast<int>(nulls.size()),
                      SQLITE_TRANSIENT);
    colIns.step();
    colIns.reset();
}

void StoreWriter::Impl::writeSpellings(sql::Stmt& ins, size_t j)
{
    const auto& col = cols[j];
    if (col.plain)
        return;
    // (a spelling too long to be referred to is kept empty: no cell names it)
    std::string words;
    const std::uint32_t m =
        std::min<std::uint32_t>(static_cast<std::uint32_t>(col.dict.size()), record::kSpellingRefs);
    for (std::uint32_t id = 1; id <= m; ++id) {
        std::string_view w = col.dict.firstSpelling(id);
        if (w.size() > record::kSpellingMaxBytes)
            w = {};
        record::putSpelling(words, w);
    }
    ins.bindInt(schema::param(schema::blobs::kNumber), static_cast<std::int64_t>(j));
    sqlite3_bind_blob(ins.get(), schema::param(schema::blobs::kBlob), words.data(),
                      static_cast<int>(words.size()), SQLITE_STATIC);
    ins.step();
    ins.reset();
}

void StoreWriter::Impl::writeLengths()
{
    const size_t n = columns.size();
    db.exec(schema::createTable(ln(), schema::blobs::kLengthsShape));
    sql::Stmt ins(db, schema::insertInto(ln(), schema::blobs::kLengthsShape));
    const size_t partBytes = size_t{record::kLengthPartRows} * n;
    const size_t total = size_t{rows} * n; // (without the padding)
    assert(lengths.size() >= total);
    for (size_t at = 0, part = 0; at < total; at += partBytes, ++part) {
        const size_t len = std::min(partBytes, total - at);
        ins.bindInt(schema::param(schema::blobs::kNumber), static_cast<std::int64_t>(part));
        sqlite3_bind_blob(ins.get(), schema::param(schema::blobs::kBlob), lengths.data() + at,
                          static_cast<int>(len), SQLITE_STATIC);
        ins.step();
        ins.reset();
    }
    std::vector<std::uint8_t>().swap(lengths);
}

void StoreWriter::endTable(const std::function<void(double)>& tick)
{
    const size_t n = d->columns.size();
    if (d->rows % record::kChunkRows != 0)
        flushChunk(d->rows);
    d->insertRow.reset();
    CpuLaps laps;
    sql::Stmt colIns(d->db, schema::insertInto(schema::columns::kTable, schema::columns::kShape));
    const std::string sn = storeTable::spellings(d->tableId);
    d->db.exec(schema::createTable(sn, schema::blobs::kSpellingsShape));
    sql::Stmt wordIns(d->db, schema::insertInto(sn, schema::blobs::kSpellingsShape));
    const std::uint32_t rows = d->rows;
    // A table too small for the probe while rows came in is judged as a whole.
    for (auto& col : d->cols)
        if (!col.probed && rows >= kPlainMinRows)
            d->maybePlain(col);
    // A row's lengths may be read kLengthPadding bytes at once (the dictionaries' maxima).
    d->lengths.resize(d->lengths.size() + record::kLengthPadding, 0);
    // The sorting of column j + 1 runs on a helper thread while column j is written.
    Impl* impl = d.get();
    std::future<Impl::Prepared> ahead =
        std::async(std::launch::async, [impl] { return impl->prepare(0); });
    for (size_t j = 0; j < n; ++j) {
        auto& col = d->cols[j];
        const std::uint32_t nd = static_cast<std::uint32_t>(col.dict.size());
        Impl::Prepared prep = ahead.get();
        if (j + 1 < n)
            ahead = std::async(std::launch::async, [impl, j] { return impl->prepare(j + 1); });
        if (!col.plain) // a plain column has no dictionary
            d->writeDictionary(j, prep);
        if (col.substr)
            d->writeSearchIndexes(j);
        d->writeColumnRow(colIns, j, prep);
        d->writeSpellings(wordIns, j);
        col.dict.clear();
        laps.lap("column " + d->columns[j].name + " (" + std::to_string(nd) + " values)");
        if (tick)
            tick(static_cast<double>(j + 1) / static_cast<double>(n + 1));
    }
    d->writeLengths();
    namespace tb = schema::tables;
    using schema::param;
    sql::Stmt st(d->db, schema::insertInto(tb::kTable, tb::kShape));
    st.bindInt(param(tb::kT), d->tableId);
    st.bindText(param(tb::kName), d->tableName);
    st.bindInt(param(tb::kRows), rows);
    st.bindInt(param(tb::kCols), static_cast<std::int64_t>(n));
    st.bindInt(param(tb::kBytes), d->bytes);
    st.step();
    d->cols.clear();
    if (tick)
        tick(1.0);
}

void StoreWriter::finish(const SourceKey& key)
{
    sql::Stmt st(d->db, schema::insertInto(schema::meta::kTable, schema::meta::kShape));
    for (const auto& [k, v] : schema::meta::rowsFor(key)) {
        st.bindText(schema::param(schema::meta::kKey), k);
        st.bindText(schema::param(schema::meta::kValue), v);
        st.step();
        st.reset();
    }
    d->db.exec("COMMIT");
    d->db.close();
    // The file is on the disk before anyone is told it is complete.
    const int fd = ::open(d->path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const std::string why = std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        throw sql::Error(SQLITE_IOERR, "store not synced: " + why);
    }
    ::close(fd);
}

} // namespace engine
