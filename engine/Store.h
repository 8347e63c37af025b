#pragma once
// The store: one SQLite file per imported database. It holds every table as it is (column
// order, nulls kept) plus what the searches need:
//   fz_meta(key, value)          format version, source path, size, modification time
//   fz_tables(t, name, rows, cols)
//   fz_columns(t, pos, name, type, has_null, distinct_n, substr)
//   t<t>(rowid, c0..cN, k0..kN)  the rows: cJ the text as read (NULL for null), kJ the id
//                                 of the folded value in the column's dictionary
//   d<t>_<J>(id, f, v[, r])      one entry per distinct folded value f; v is its first
//                                 spelling, r the folded text reversed (search columns)
//   x<t>_<J>                     trigram full-text index over f (search columns)
// Comparisons run on the small dictionaries and reach the rows through the kJ indexes.

#include "engine/AdoQuery.h"
#include "engine/JetSql.h"
#include "engine/Sqlite.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

constexpr int kStoreFormat = 3;

// Identifies the source file a store was made from.
struct SourceKey {
    std::string path; // absolute
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const SourceKey&) const = default;
};

struct ColumnDef {
    std::string name;
    std::string type = "Text"; // as the source names it; informational
};

// Columns that take the four match modes get reversed text and a substring index.
bool isSearchColumn(const std::string& name);

// Writes a new store. Rows go in table by table; finish() makes the file complete.
class StoreWriter {
public:
    explicit StoreWriter(const std::string& path); // creates (replaces) the file
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    void beginTable(const std::string& name, const std::vector<ColumnDef>& columns);
    // One row: values[i] is used unless isNull[i].
    void addRow(const std::string_view* values, const bool* isNull);
    // Builds dictionaries and indexes; `tick` (may be empty) is called now and then with the
    // share of this table's index work done (0..1).
    void endTable(const std::function<void(double)>& tick = {});
    void finish(const SourceKey& key);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A finished store opened for reading.
class Store {
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

private:
    Store() = default;
    struct Column {
        std::string name;
        bool hasNull = false;
        std::int64_t distinct = 0;
        bool substr = false;
    };
    struct Table {
        int id = 0;
        std::string name;
        std::int64_t rows = 0;
        std::vector<Column> columns;
    };
    const Table& table(const std::string& name) const;
    std::string path_;
    SourceKey key_;
    sql::Db db_;
    std::vector<Table> tables_;
    friend class StoreQuery;
};

// Checks the file's SQLite header against its size (a truncated or foreign file fails).
bool sqliteHeaderLooksWhole(const std::string& path, std::string* whyNot);

} // namespace engine
