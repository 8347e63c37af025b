#pragma once
// The query object the windows talk to. It stands in for the desktop database engine:
// the connection string names an Access file, statements are in the Jet dialect, and the
// result is static (exact record count). Text crosses this interface as UTF-8.
//
// The .mdb is never read in this process: a separate importer turns it into a cached
// SQLite store (see StoreCache.h), which this object then queries.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Every failure of the engine: the message is UTF-8 Russian text meant for a message box.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A static, fully materialised result. Shared by the query object and whoever shows it
// (the grid keeps a reference instead of copying every cell).
class ResultSet {
public:
    virtual ~ResultSet() = default;
    virtual int columnCount() const = 0;
    virtual std::int64_t rowCount() const = 0;
    virtual std::string_view columnName(int col) const = 0;
    // Null reads as the empty string; isNull tells them apart. The text stays valid until
    // the next call on this result (a result may read its records only when asked).
    virtual std::string_view value(std::int64_t row, int col) const = 0;
    virtual bool isNull(std::int64_t row, int col) const = 0;
    // value() of n columns of one row at once: out[i] for cols[i]. The texts stay valid
    // until the next call on this result.
    virtual void values(std::int64_t row, const int* cols, int n, std::string_view* out) const;
    // The most characters (UTF-8 code points) any value of the column holds, over the
    // first `rows` rows (all when negative). This version reads every value.
    virtual int maxCharLength(int col, std::int64_t rows = -1) const;
    // maxCharLength of several columns at once: out[i] for cols[i].
    virtual void maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                                std::vector<int>& out) const;
    // Whether a read of this result met a damaged store: the cells it gave since are not
    // the data (read as empty), and the result is not to be shown or written out.
    virtual bool damaged() const { return false; }
};

// Called while a database is imported: rows done of rows total (total may be 0 when not
// yet known). Runs on the caller's thread, between reads of the importer's reports.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

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
