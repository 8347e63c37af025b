#include "engine/store/Sqlite.h"

namespace engine::sql {

Db::Db(const std::string& path, int flags, const char* vfs)
{
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, vfs);
    if (rc != SQLITE_OK) {
        std::string m = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(rc & 0xFF, m);
    }
    sqlite3_extended_result_codes(db_, 0);
    // Double-quoted text is an identifier, never a string literal.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
}

Db::~Db()
{
    close();
}

Db& Db::operator=(Db&& o) noexcept
{
    if (this != &o) {
        close();
        db_ = o.db_;
        o.db_ = nullptr;
    }
    return *this;
}

void Db::close()
{
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Db::fail(int rc) const
{
    throw Error(rc & 0xFF, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
}

void Db::exec(const std::string& sql)
{
    char* err = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string m = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw Error(rc & 0xFF, m + " [" + sql.substr(0, 200) + "]");
    }
}

Stmt::Stmt(const Db& db, const std::string& sql)
    : db_(db)
{
    int rc = sqlite3_prepare_v2(db.get(), sql.c_str(), static_cast<int>(sql.size()), &st_, nullptr);
    if (rc != SQLITE_OK)
        throw Error(rc & 0xFF,
                    std::string(sqlite3_errmsg(db.get())) + " [" + sql.substr(0, 200) + "]");
}

Stmt::~Stmt()
{
    sqlite3_finalize(st_);
}

void Stmt::bindText(int i, std::string_view s)
{
    sqlite3_bind_text(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}
void Stmt::bindStatic(int i, std::string_view s)
{
    sqlite3_bind_text(st_, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
}
void Stmt::bindInt(int i, std::int64_t v)
{
    sqlite3_bind_int64(st_, i, v);
}
void Stmt::bindNull(int i)
{
    sqlite3_bind_null(st_, i);
}

bool Stmt::step()
{
    int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    db_.fail(rc);
}

void Stmt::reset()
{
    sqlite3_reset(st_);
    sqlite3_clear_bindings(st_);
}

std::string Stmt::text(int col) const
{
    const unsigned char* p = sqlite3_column_text(st_, col);
    int n = sqlite3_column_bytes(st_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
             : std::string();
}
std::int64_t Stmt::integer(int col) const
{
    return sqlite3_column_int64(st_, col);
}

} // namespace engine::sql
