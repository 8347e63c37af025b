#pragma once
// Thin RAII helpers over the SQLite C interface, used by the store's writer and reader.

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace engine::sql {

// An SQLite failure; `code` is the primary result code.
class Error : public std::runtime_error {
public:
    Error(int code, const std::string& what)
        : std::runtime_error(what)
        , code(code)
    {
    }
    int code;
    bool corrupt() const
    {
        return code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_IOERR ||
               code == SQLITE_FORMAT || code == SQLITE_SCHEMA;
    }
};

class Db {
public:
    Db() = default;
    // `vfs`: the name of the file access layer to open it through (null: SQLite's own).
    Db(const std::string& path, int flags, const char* vfs = nullptr);
    ~Db();
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;
    Db(Db&& o) noexcept
        : db_(o.db_)
    {
        o.db_ = nullptr;
    }
    Db& operator=(Db&& o) noexcept;

    sqlite3* get() const { return db_; }
    void exec(const std::string& sql);
    [[noreturn]] void fail(int rc) const;
    void close();

private:
    sqlite3* db_ = nullptr;
};

class Stmt {
public:
    Stmt(const Db& db, const std::string& sql);
    ~Stmt();
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    sqlite3_stmt* get() const { return st_; }
    void bindText(int i, std::string_view s);   // copied by SQLite
    void bindStatic(int i, std::string_view s); // must outlive the step
    void bindInt(int i, std::int64_t v);
    void bindNull(int i);
    bool step(); // true: a row is ready; false: done
    void reset();
    std::string text(int col) const;
    std::int64_t integer(int col) const;

private:
    const Db& db_;
    sqlite3_stmt* st_ = nullptr;
};

} // namespace engine::sql
