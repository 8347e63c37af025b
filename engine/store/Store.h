#pragma once
// The store: one SQLite file per imported database. It holds every table as it is (column
// order, nulls kept) plus what the searches need:
//   fz_meta(key, value)          format version, source path, device, inode, size,
//                                modification and status-change times
//   fz_tables(t, name, rows, cols, bytes)   bytes: of all values together
//   fz_columns(t, pos, name, type, distinct_n, substr, nulls)   nulls: the rows holding null
//   t<t>(chunk, recs)            the rows, values exact: chunk c holds the records
//                                 (StoreFormat.h) of rows 16c+1 .. 16c+16 after their offsets
//   d<t>_<J>(id, f, v, first, rows, most[, r])   (none for a plain column, see below)
//                                one entry per distinct folded value f of column J: v its
//                                first spelling when that differs from f, first the first
//                                row holding it, rows all of them when more than one
//                                (a list or a bitmap, StoreFormat.h), most the longest
//                                length of each column over them (entries of many rows,
//                                StoreFormat.h), r the folded text reversed (search columns
//                                only)
//   x<t>_<J>                     trigram full-text index over f (search columns only)
//   n<t>(part, lens)             each cell's length in characters (StoreFormat.h), so that
//                                 column widths need no record read
//   s<t>(col, words)             the spellings a record's cells may refer to (StoreFormat.h)
// A column whose values nearly all differ, and that takes no match modes, is plain: it has
// no dictionary (distinct_n is -1) and a condition on it reads the records.
// A condition is answered on the column's dictionary (indexes on f and r, the trigram
// index), which names its rows; AND, OR and NOT combine sorted row lists. A result of
// more than a few rows keeps only its row list and reads a record when a cell of it is
// asked for (it keeps the store open for that).
// Every page of the file keeps a checksum, checked when the page is first read
// (CheckedVfs.h): a damaged store fails the read, is removed and made again.

#include "engine/jetsql/JetSql.h"
#include "engine/store/ResultSet.h"
#include "engine/store/SourceKey.h"
#include "engine/store/Sqlite.h"
#include "engine/store/StoreTable.h"

#include <memory>
#include <string>
#include <vector>

namespace engine {

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

    // The table of that name, letter case aside. Throws EngineError when there is none.
    const StoreTable& table(const std::string& name) const;

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
    // Parts of run(): the statement's column positions (throws when one is unknown), and
    // the answers of DISTINCT and of a row projection.
    std::vector<int> resolveColumns(const jet::Statement& st, const StoreQuery& q) const;
    std::shared_ptr<ResultSet> distinct(StoreQuery& q, const StoreTable& t, int j,
                                        const Rows* rows) const;
    std::shared_ptr<ResultSet> project(StoreQuery& q, const StoreTable& t, std::vector<int> pick,
                                       Rows selected, bool filtered, ColumnMost most) const;
    std::string path_;
    SourceKey key_;
    sql::Db db_;
    mutable bool damaged_ = false;
    std::vector<StoreTable> tables_;
};

// Checks the file's SQLite header against its size (a truncated or foreign file fails).
bool sqliteHeaderLooksWhole(const std::string& path, std::string* whyNot);

} // namespace engine
