#pragma once
// The rows a statement's condition selects in a store's table: from the columns'
// dictionaries, or from the records of a plain column.

#include "engine/jetsql/JetSql.h"
#include "engine/store/ChunkReader.h"
#include "engine/store/ColumnMost.h"
#include "engine/store/RowList.h"
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreTable.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Answers one statement on the store. Every value reaches SQLite as a bound parameter.
class StoreQuery {
public:
    explicit StoreQuery(const StoreTable& t)
        : t_(t)
    {
    }

    int column(const std::string& name) const;

    std::string dn(int j) const { return storeTable::dictionary(t_.id(), static_cast<size_t>(j)); }
    std::string xn(int j) const { return storeTable::trigrams(t_.id(), static_cast<size_t>(j)); }
    std::uint32_t rowCount() const { return static_cast<std::uint32_t>(t_.rows()); }
    const Rows& nulls(int j) const { return t_.nulls(j); }

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

    // Calls fn(rowid, values, nulls) for the given rows (all rows when `rows` is null), in
    // order (ChunkReader::forRows).
    template <class Fn>
    void forRows(const Rows* rows, Fn fn)
    {
        ChunkReader(t_).forRows(rows, fn);
    }

private:
    // Calls fn(rowid, folded value) for the given rows (all when null) where column j is
    // not null.
    template <class Fn>
    void forFolded(int j, const Rows* rows, Fn fn);
    // Parts of match(): the rows of one dictionary entry, stored as `blob` (a list or a
    // bitmap, StoreFormat.h; none: its one row `first`), appended to out; and the entries'
    // lists, each in order, made one row list.
    void entryRows(const void* blob, size_t bytes, std::uint32_t first, const Rows* within,
                   Rows& out) const;
    void mergeEntries(Rows& out, const std::vector<size_t>& starts) const;

    const StoreTable& t_; // the statement's table
    // Per SIMILAR condition eval() met (not negated), in the order met: its rows by closeness.
    std::vector<std::vector<Rows>> ranks_;
};

} // namespace engine
