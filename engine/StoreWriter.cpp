#include "engine/Store.h"

#include "engine/Fold.h"

#include <cctype>
#include <unordered_map>

namespace engine {

bool isSearchColumn(const std::string& name)
{
    static const char* const names[] = {"FAM", "NAME", "OTCHEST", "RAION", "CITI", "DEREV", "STRIT"};
    for (const char* n : names) {
        std::string_view s(n);
        if (s.size() != name.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < s.size() && same; ++i)
            same = std::toupper(static_cast<unsigned char>(name[i])) == s[i];
        if (same)
            return true;
    }
    return false;
}

struct StoreWriter::Impl {
    sql::Db db;
    int tableId = -1;
    std::string tableName;
    std::vector<ColumnDef> columns;
    std::int64_t rows = 0;
    struct Dict {
        std::unordered_map<std::string, std::int64_t> ids;
        std::int64_t nulls = 0;
        bool substr = false;
        std::unique_ptr<sql::Stmt> insert;
    };
    std::vector<Dict> dicts;
    std::unique_ptr<sql::Stmt> insertRow;
    std::string folded;
    std::vector<std::int64_t> ids;

    std::string t() const { return "t" + std::to_string(tableId); }
    std::string dn(size_t j) const { return "d" + std::to_string(tableId) + "_" + std::to_string(j); }
    std::string xn(size_t j) const { return "x" + std::to_string(tableId) + "_" + std::to_string(j); }
};

StoreWriter::StoreWriter(const std::string& path) : d(std::make_unique<Impl>())
{
    std::remove(path.c_str());
    d->db = sql::Db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    d->db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
               "PRAGMA cache_size=-131072; PRAGMA temp_store=MEMORY; PRAGMA threads=2;");
    d->db.exec("BEGIN");
    d->db.exec("CREATE TABLE fz_meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
               "CREATE TABLE fz_tables(t INTEGER PRIMARY KEY, name TEXT NOT NULL,"
               " rows INTEGER NOT NULL, cols INTEGER NOT NULL);"
               "CREATE TABLE fz_columns(t INTEGER NOT NULL, pos INTEGER NOT NULL, name TEXT NOT NULL,"
               " type TEXT NOT NULL, has_null INTEGER NOT NULL, distinct_n INTEGER NOT NULL,"
               " substr INTEGER NOT NULL, PRIMARY KEY(t, pos));");
}

StoreWriter::~StoreWriter() = default;

void StoreWriter::beginTable(const std::string& name, const std::vector<ColumnDef>& columns)
{
    ++d->tableId;
    d->tableName = name;
    d->columns = columns;
    d->rows = 0;
    d->dicts.clear();
    d->dicts.resize(columns.size());
    d->ids.assign(columns.size(), 0);
    std::string create = "CREATE TABLE " + d->t() + "(rowid INTEGER PRIMARY KEY";
    std::string insert = "INSERT INTO " + d->t() + " VALUES(?";
    for (size_t j = 0; j < columns.size(); ++j) {
        create += ", c" + std::to_string(j);
        insert += ",?";
    }
    for (size_t j = 0; j < columns.size(); ++j) {
        create += ", k" + std::to_string(j) + " INTEGER";
        insert += ",?";
    }
    d->db.exec(create + ")");
    d->insertRow = std::make_unique<sql::Stmt>(d->db, insert + ")");
    for (size_t j = 0; j < columns.size(); ++j) {
        auto& dict = d->dicts[j];
        dict.substr = isSearchColumn(columns[j].name);
        d->db.exec("CREATE TABLE " + d->dn(j) + "(id INTEGER PRIMARY KEY, f TEXT NOT NULL, v TEXT NOT NULL" +
                   (dict.substr ? ", r TEXT NOT NULL)" : ")"));
        dict.insert = std::make_unique<sql::Stmt>(
            d->db, "INSERT INTO " + d->dn(j) + " VALUES(?,?,?" + (dict.substr ? ",?)" : ")"));
    }
}

void StoreWriter::addRow(const std::string_view* values, const bool* isNull)
{
    const size_t n = d->columns.size();
    sql::Stmt& ins = *d->insertRow;
    ++d->rows;
    ins.bindInt(1, d->rows);
    for (size_t j = 0; j < n; ++j) {
        const int pc = static_cast<int>(2 + j);
        const int pk = static_cast<int>(2 + n + j);
        auto& dict = d->dicts[j];
        if (isNull[j]) {
            ins.bindNull(pc);
            ins.bindNull(pk);
            ++dict.nulls;
            continue;
        }
        ins.bindStatic(pc, values[j]);
        d->folded.clear();
        foldInto(values[j], d->folded);
        auto [it, added] = dict.ids.try_emplace(d->folded, 0);
        if (added) {
            it->second = static_cast<std::int64_t>(dict.ids.size());
            sql::Stmt& di = *dict.insert;
            di.bindInt(1, it->second);
            di.bindStatic(2, it->first);
            di.bindStatic(3, values[j]);
            std::string rev;
            if (dict.substr) {
                rev = reverseChars(it->first);
                di.bindStatic(4, rev);
            }
            di.step();
            di.reset();
        }
        ins.bindInt(pk, it->second);
    }
    ins.step();
    ins.reset();
}

void StoreWriter::endTable(const std::function<void(double)>& tick)
{
    const size_t n = d->columns.size();
    d->insertRow.reset();
    const double steps = static_cast<double>(2 * n + 1);
    double done = 0;
    auto advance = [&] {
        done += 1;
        if (tick)
            tick(done / steps);
    };
    for (size_t j = 0; j < n; ++j) {
        auto& dict = d->dicts[j];
        dict.insert.reset();
        d->db.exec("CREATE UNIQUE INDEX " + d->dn(j) + "_f ON " + d->dn(j) + "(f)");
        if (dict.substr) {
            d->db.exec("CREATE INDEX " + d->dn(j) + "_r ON " + d->dn(j) + "(r)");
            d->db.exec("CREATE VIRTUAL TABLE " + d->xn(j) +
                       " USING fts5(f, tokenize='trigram case_sensitive 1', content='')");
            d->db.exec("INSERT INTO " + d->xn(j) + "(rowid, f) SELECT id, f FROM " + d->dn(j));
        }
        advance();
    }
    for (size_t j = 0; j < n; ++j) {
        d->db.exec("CREATE INDEX " + d->t() + "_k" + std::to_string(j) + " ON " + d->t() + "(k" +
                   std::to_string(j) + ")");
        advance();
    }
    {
        sql::Stmt st(d->db, "INSERT INTO fz_tables VALUES(?,?,?,?)");
        st.bindInt(1, d->tableId);
        st.bindText(2, d->tableName);
        st.bindInt(3, d->rows);
        st.bindInt(4, static_cast<std::int64_t>(n));
        st.step();
    }
    sql::Stmt col(d->db, "INSERT INTO fz_columns VALUES(?,?,?,?,?,?,?)");
    for (size_t j = 0; j < n; ++j) {
        const auto& dict = d->dicts[j];
        col.bindInt(1, d->tableId);
        col.bindInt(2, static_cast<std::int64_t>(j));
        col.bindText(3, d->columns[j].name);
        col.bindText(4, d->columns[j].type);
        col.bindInt(5, dict.nulls > 0 ? 1 : 0);
        col.bindInt(6, static_cast<std::int64_t>(dict.ids.size()));
        col.bindInt(7, dict.substr ? 1 : 0);
        col.step();
        col.reset();
    }
    // Planner statistics from the exact counts (cheaper than ANALYZE and exact).
    d->db.exec("ANALYZE sqlite_schema");
    sql::Stmt stat(d->db, "INSERT INTO sqlite_stat1(tbl, idx, stat) VALUES(?,?,?)");
    auto putStat = [&](const std::string& tbl, const std::string& idx, const std::string& s) {
        stat.bindText(1, tbl);
        if (idx.empty())
            stat.bindNull(2);
        else
            stat.bindText(2, idx);
        stat.bindText(3, s);
        stat.step();
        stat.reset();
    };
    const std::int64_t rows = d->rows;
    putStat(d->t(), "", std::to_string(rows));
    for (size_t j = 0; j < n; ++j) {
        const auto& dict = d->dicts[j];
        std::int64_t keys = static_cast<std::int64_t>(dict.ids.size()) + (dict.nulls ? 1 : 0);
        std::int64_t per = keys ? (rows + keys - 1) / keys : 1;
        putStat(d->t(), d->t() + "_k" + std::to_string(j),
                std::to_string(rows) + " " + std::to_string(per < 1 ? 1 : per));
        std::int64_t dn = static_cast<std::int64_t>(dict.ids.size());
        putStat(d->dn(j), "", std::to_string(dn));
        putStat(d->dn(j), d->dn(j) + "_f", std::to_string(dn) + " 1");
        if (dict.substr)
            putStat(d->dn(j), d->dn(j) + "_r", std::to_string(dn) + " 1");
    }
    d->dicts.clear();
    advance();
}

void StoreWriter::finish(const SourceKey& key)
{
    sql::Stmt st(d->db, "INSERT INTO fz_meta VALUES(?,?)");
    auto put = [&](const char* k, const std::string& v) {
        st.bindText(1, k);
        st.bindText(2, v);
        st.step();
        st.reset();
    };
    put("format", std::to_string(kStoreFormat));
    put("source", key.path);
    put("size", std::to_string(key.size));
    put("mtime_ns", std::to_string(key.mtimeNs));
    put("complete", "1");
    d->db.exec("COMMIT");
    d->db.close();
}

} // namespace engine
