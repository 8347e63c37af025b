#pragma once
// A store opened for reading: what it holds, table by table, is described in StoreSchema.h.

#include "engine/jetsql/JetSql.h"
#include "engine/store/ResultSet.h"
#include "engine/store/SourceKey.h"
#include "engine/store/Sqlite.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class SimilarIndex;
class StoreQuery;
struct ColumnMost;

// A finished store opened for reading. A store, and every result it gives, is used from one
// thread: its connection is opened without SQLite's own locking, and nothing here locks.
class Store : public std::enable_shared_from_this<Store> {
public:
    // Opens and checks the store at `path`. Returns null (and why in *whyNot) when the file
    // is not a complete store of this format, or when `expect` is given and differs from the
    // key recorded inside.
    static std::unique_ptr<Store> open(const std::string& path, const SourceKey* expect,
                                       std::string* whyNot);
    ~Store();

    const SourceKey& key() const { return key_; }
    const std::string& path() const { return path_; }

    // Runs one parsed statement. Throws EngineError (unknown table or column), or
    // sql::Error when SQLite fails (a damaged store: sql::Error::corrupt()).
    std::shared_ptr<ResultSet> run(const jet::Statement& st) const;

    // Called when a part of the store failed its check: the store is not answered from
    // again, and its file is removed, so that the next open makes it again.
    void markDamaged() const;
    bool damaged() const { return damaged_; }

private:
    Store() = default;
    // Parts of open(): each returns why the store cannot be used, or nothing.
    std::string readKey(const SourceKey* expect);
    std::string readTables();
    std::string checkSchema() const;
    // The spellings of a column that its cells refer to by number.
    struct Spellings {
        std::string bytes;
        std::vector<std::uint32_t> ends{0}; // spelling k is bytes[ends[k - 1], ends[k])
        std::uint32_t size() const { return static_cast<std::uint32_t>(ends.size() - 1); }
        // Spelling k, 1 <= k <= size().
        std::string_view at(std::uint32_t k) const
        {
            return std::string_view(bytes.data() + ends[k - 1], ends[k] - ends[k - 1]);
        }
    };
    struct Column {
        std::string name;
        std::int64_t distinct = 0; // -1: a plain column, without a dictionary
        bool substr = false;
        // Rows holding null, ascending; read when first asked for (nulls()).
        mutable std::shared_ptr<const std::vector<std::uint32_t>> nulls;
        // Its spellings; read when a cell first refers to one (spellings()).
        mutable std::shared_ptr<const Spellings> spellings;
    };
    struct Table {
        int id = 0;
        std::string name;
        std::int64_t rows = 0;
        std::int64_t bytes = 0; // all values' bytes together
        std::vector<Column> columns;
    };
    const Table& table(const std::string& name) const;
    // Parts of run(): the statement's column positions (throws when one is unknown), and
    // the answers of DISTINCT and of a row projection.
    std::vector<int> resolveColumns(const jet::Statement& st, const StoreQuery& q) const;
    std::shared_ptr<ResultSet> distinct(StoreQuery& q, const Table& t, int j,
                                        const std::vector<std::uint32_t>* rows) const;
    std::shared_ptr<ResultSet> project(StoreQuery& q, const Table& t, std::vector<int> pick,
                                       std::vector<std::uint32_t> selected, bool filtered,
                                       ColumnMost most) const;
    // Every cell's length in characters of a table, read once.
    struct Lengths {
        std::vector<std::uint8_t> cells; // rows * columns bytes, then kLengthPadding zeros
        // For a table of at most kLengthPadding columns: per block of kLengthBlockRows rows
        // (the last may be short), kLengthPadding bytes, the most of each column.
        std::vector<std::uint8_t> blocks;
    };
    std::shared_ptr<const Lengths> lengths(const Table& t) const;
    // The rows of column j of table t that hold null, read once. Throws sql::Error when
    // the list is missing or damaged.
    const std::vector<std::uint32_t>& nulls(const Table& t, int j) const;
    // The spellings of column j of table t, read once (none for a plain column). Throws
    // sql::Error when they are damaged.
    const Spellings& spellings(const Table& t, int j) const;
    // Column j of table t's distinct values prepared for SIMILAR, read once (null for a
    // plain column, which has no dictionary).
    std::shared_ptr<const SimilarIndex> similarIndex(const Table& t, int j) const;
    std::string path_;
    SourceKey key_;
    sql::Db db_;
    mutable bool damaged_ = false;
    std::vector<Table> tables_;
    mutable std::vector<std::shared_ptr<const Lengths>> lengths_;
    mutable std::map<std::pair<int, int>, std::shared_ptr<const SimilarIndex>>
        similar_; // by (table id, column)
    friend class StoreQuery;
    friend class StoreRows;
};

// Checks the file's SQLite header against its size (a truncated or foreign file fails).
bool sqliteHeaderLooksWhole(const std::string& path, std::string* whyNot);

} // namespace engine
