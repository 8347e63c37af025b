#pragma once
// A store opened for reading: what it holds, table by table, is described in StoreSchema.h.

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
