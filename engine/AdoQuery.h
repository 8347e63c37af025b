#pragma once
// The query object the windows talk to. It stands in for the desktop database engine:
// the connection string names an Access file, statements are in the Jet dialect, and the
// result is static (exact record count). Text crosses this interface as UTF-8.
//
// The .mdb is never read in this process: a separate importer turns it into a cached
// SQLite store (see StoreCache.h), which this object then queries.

#include "engine/core/EngineError.h"
#include "engine/import/Progress.h"
#include "engine/store/ResultSet.h"

#include <cstdint>
#include <memory>
#include <string>

namespace engine {

class AdoQuery {
public:
    AdoQuery();
    ~AdoQuery();
    AdoQuery(const AdoQuery&) = delete;
    AdoQuery& operator=(const AdoQuery&) = delete;

    void setConnectionString(const std::string& cs);
    const std::string& connectionString() const;
    void setProgress(ProgressFn fn);
    // Stops an import that makes no progress for this many seconds (0: the default).
    void setImportTimeout(int seconds);

    void close(); // deactivate: drops the result, keeps the SQL text
    bool active() const;
    void clearSql();
    void addSql(const std::string& line); // lines are joined with "\n"
    std::string sqlText() const;

    void open(); // throws EngineError; result stands on its first record
    void first();
    bool eof() const;
    void next();
    int fieldCount() const;
    std::string fieldAsString(int i) const; // 0-based, table column order; null -> ""
    bool fieldIsNull(int i) const;
    std::int64_t recordCount() const;
    std::int64_t recNo() const; // 0-based current row
    std::shared_ptr<const ResultSet> result() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace engine
