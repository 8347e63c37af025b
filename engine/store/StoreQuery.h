#pragma once
// The rows a statement's condition selects in a store's table (from the columns'
// dictionaries, or from the records of a plain column), and the reading of records in row
// order.

#include "engine/jetsql/JetSql.h"
#include "engine/store/Store.h"
#include "engine/store/StoreFormat.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

using Rows = std::vector<std::uint32_t>; // row numbers (rowids), ascending, no repeats
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

// Whether `rows` is a row list as above: the merging of row lists relies on it.
inline bool isRowList(const Rows& rows)
{
    return std::adjacent_find(rows.begin(), rows.end(), [](std::uint32_t a, std::uint32_t b) {
               return a >= b;
           }) == rows.end();
}

// Reads the cells of one record, stored at [p, end), into out[0 .. n): a value, a spelling
// (words(c) gives column c's spellings, or null when they cannot be read), or a view without
// data() for a null. False when the record is malformed or a spelling is missing.
template <class Words>
bool readRecord(const unsigned char* p, const unsigned char* end, size_t n, std::string_view* out,
                Words words)
{
    for (size_t c = 0; c < n; ++c) {
        record::Cell cell;
        if (!record::getCell(p, end, cell))
            return false;
        out[c] = cell.value; // (a null: no data())
        if (cell.ref) {
            const auto* w = words(c);
            if (!w || cell.ref > w->size())
                return false;
            out[c] = w->at(cell.ref);
        }
    }
    return p == end;
}

// Answers one statement on the store. Every value reaches SQLite as a bound parameter.
class StoreQuery {
public:
    StoreQuery(const Store& s, const Store::Table& t)
        : s_(s)
        , t_(t)
    {
    }

    int column(const std::string& name) const;

    std::string tn() const { return storeTable::rows(t_.id); }
    std::string dn(int j) const { return storeTable::dictionary(t_.id, static_cast<size_t>(j)); }
    std::string xn(int j) const { return storeTable::trigrams(t_.id, static_cast<size_t>(j)); }
    std::uint32_t rowCount() const { return static_cast<std::uint32_t>(t_.rows); }
    const Rows& nulls(int j) const { return s_.nulls(t_, j); }

    // The rows where a condition holds. `neg` asks for the rows where its negation holds:
    // NOT is pushed down to the comparisons, which then leave out nulls, so a null never
    // matches, whatever the NOTs around it. When `within` is given only those rows count:
    // the answer may then hold other rows too, but agrees with the exact one on `within`.
    // When `most` is given it gets what the dictionary tells of the longest lengths over the
    // rows answered (a single condition, answered by whole entries), else it is left empty.
    Rows eval(const jet::Cond& c, bool neg, const Rows* within = nullptr,
              ColumnMost* most = nullptr);

    Rows nonNullExcept(int j, const Rows& m) const;

    // The rows whose value in column j matches `literal` the SIMILAR way (Similar.h): the
    // column's distinct values are compared, and the rows of those that match are read.
    // When `byCloseness` is given, element c gets the rows (of those answered) whose value
    // is of closeness c to the literal.
    Rows similar(int j, const std::string& literal, const Rows* within,
                 std::vector<Rows>* byCloseness = nullptr);

    // The order to show `selected` (rows eval() answered) in, as positions in it: closest
    // to the SIMILAR conditions' texts first (by the first such condition, then the next),
    // table order among equals. Empty when that is table order itself (no SIMILAR to rank
    // by, or every row alike).
    std::vector<std::uint32_t> rankedOrder(const Rows& selected) const;

    // The rows of every dictionary entry of column j that satisfies `where` (on f, r, id);
    // `most` as for eval().
    Rows match(int j, const std::string& where, const std::vector<std::string>& binds,
               const Rows* within = nullptr, ColumnMost* most = nullptr);

    // match() for a plain column: every record's folded value (of the rows `within`, when
    // given) is put to the same condition (never one on r or id: a plain column takes no
    // match modes).
    Rows scanMatch(int j, const std::string& where, const std::vector<std::string>& binds,
                   const Rows* within);

    // A condition on the dictionary's folded text f for one LIKE pattern; "" when the
    // pattern matches any value. % is any run of characters, _ exactly one; every other
    // character (including * ? [ ]) stands for itself.
    std::string pattern(int j, const std::string& raw, std::vector<std::string>& binds);

    // Values that begin with `prefix`: a range on an index. No UTF-8 text holds the byte
    // 0xFF, so prefix + 0xFF is above every text that begins with prefix.
    static std::string range(const char* col, const std::string& prefix,
                             std::vector<std::string>& binds);

    // Calls fn(rowid, fields) for the given rows (all rows when `rows` is null), in order.
    template <class Fn>
    void forRows(const Rows* rows, Fn fn);

private:
    const Store& s_;        // the store asked
    const Store::Table& t_; // the statement's table in it
    // Per SIMILAR condition eval() met (not negated), in the order met: its rows by closeness.
    std::vector<std::vector<Rows>> ranks_;
};

template <class Fn>
void StoreQuery::forRows(const Rows* rows, Fn fn)
{
    const size_t ncols = t_.columns.size();
    std::vector<std::string_view> vals(ncols);
    std::vector<char> nul(ncols);
    std::vector<const Store::Spellings*> words(ncols); // read when a cell first refers to one
    // Decodes record `at` (0-based) of a chunk of k records into vals and nul.
    auto decodeAt = [&](const unsigned char* chunk, size_t size, size_t k, size_t at) {
        size_t b = 0, e = 0;
        if (!chunk || !record::recordSpan(chunk, size, k, at, b, e))
            throw sql::Error(SQLITE_CORRUPT, "row chunk damaged");
        // (damaged spellings throw from Store::spellings)
        if (!readRecord(chunk + b, chunk + e, ncols, vals.data(), [&](size_t c) {
                if (!words[c])
                    words[c] = &s_.spellings(t_, static_cast<int>(c));
                return words[c];
            }))
            throw sql::Error(SQLITE_CORRUPT, "row record damaged");
        for (size_t c = 0; c < ncols; ++c)
            nul[c] = vals[c].data() == nullptr;
    };
    const std::uint32_t per = record::kChunkRows;
    // Reading every chunk in order costs about 0.6 of looking the same number up one by one
    // (measured on a million rows): scan when most chunks are needed anyway.
    bool scan = !rows;
    if (rows) {
        size_t touched = 0;
        std::int64_t last = -1;
        for (std::uint32_t r : *rows) {
            const std::int64_t c = (r - 1) / per;
            touched += c != last;
            last = c;
        }
        scan = touched * 5 > (rowCount() + per - 1) / per * 3;
    }
    if (scan) {
        sql::Stmt st(s_.db_, "SELECT chunk, recs FROM " + tn() + " ORDER BY chunk");
        size_t i = 0;
        std::uint32_t seen = 0;
        std::int64_t expectChunk = 0;
        while (st.step()) {
            const std::int64_t c = st.integer(0);
            if (c != expectChunk++)
                throw sql::Error(SQLITE_CORRUPT, "chunk missing");
            const size_t k = record::chunkRecords(rowCount(), c);
            if (k == 0)
                throw sql::Error(SQLITE_CORRUPT, "chunk beyond the rows");
            const std::uint32_t first = static_cast<std::uint32_t>(c) * per + 1;
            seen += static_cast<std::uint32_t>(k);
            if (rows) {
                if (i < rows->size() && (*rows)[i] < first)
                    throw sql::Error(SQLITE_CORRUPT, "row missing");
                if (i >= rows->size())
                    break;
                if ((*rows)[i] >= first + per)
                    continue;
            }
            const auto* blob = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 1));
            const size_t size = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
            if (rows) {
                for (; i < rows->size() && (*rows)[i] < first + k; ++i) {
                    decodeAt(blob, size, k, (*rows)[i] - first);
                    fn((*rows)[i], vals, nul);
                }
            } else {
                for (size_t at = 0; at < k; ++at) {
                    decodeAt(blob, size, k, at);
                    fn(first + static_cast<std::uint32_t>(at), vals, nul);
                }
            }
        }
        if ((!rows && seen != rowCount()) || (rows && i != rows->size()))
            throw sql::Error(SQLITE_CORRUPT, "row count differs");
    } else {
        sql::Stmt st(s_.db_, "SELECT recs FROM " + tn() + " WHERE chunk = ?");
        std::int64_t chunk = -1;
        const unsigned char* blob = nullptr;
        size_t size = 0, k = 0;
        for (std::uint32_t r : *rows) {
            const std::int64_t c = (r - 1) / per;
            if (c != chunk) {
                st.reset();
                st.bindInt(1, c);
                if (!st.step())
                    throw sql::Error(SQLITE_CORRUPT, "row missing");
                chunk = c;
                blob = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 0));
                size = static_cast<size_t>(sqlite3_column_bytes(st.get(), 0));
                k = record::chunkRecords(rowCount(), c);
            }
            decodeAt(blob, size, k, (r - 1) % per);
            fn(r, vals, nul);
        }
    }
}

} // namespace engine
