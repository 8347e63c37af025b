#include "engine/store/Store.h"

#include "engine/core/EngineError.h"
#include "engine/core/Messages.h"
#include "engine/jetsql/Fold.h"
#include "engine/jetsql/SimilarIndex.h"
#include "engine/store/CheckedVfs.h"
#include "engine/store/MemResult.h"
#include "engine/store/OrderedResult.h"
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreQuery.h"
#include "engine/store/StoreRows.h"
#include "engine/store/StoreSchema.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

std::string uriFor(const std::string& path)
{
    std::string out = "file:";
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out + "?immutable=1";
}

std::uint32_t be32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

} // namespace

bool sqliteHeaderLooksWhole(const std::string& path, std::string* whyNot)
{
    auto no = [&](const char* why) {
        if (whyNot)
            *whyNot = why;
        return false;
    };
    struct stat sb {};
    if (::stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode))
        return no("no store file");
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return no("store unreadable");
    unsigned char h[100];
    size_t got = std::fread(h, 1, sizeof h, f);
    std::fclose(f);
    if (got != sizeof h || std::string_view(reinterpret_cast<char*>(h), 16) !=
                               std::string_view("SQLite format 3\0", 16))
        return no("not an SQLite file");
    std::uint32_t pageSize = (std::uint32_t{h[16]} << 8) | h[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)))
        return no("bad page size");
    std::uint32_t pages = be32(h + 28);
    if (be32(h + 24) != be32(h + 92) || pages == 0)
        return no("page count not valid");
    if (static_cast<std::uint64_t>(pages) * pageSize != static_cast<std::uint64_t>(sb.st_size))
        return no("file size does not match the page count");
    return true;
}

Store::~Store() = default;

// How a damaged store is met while it answers, in one place: a part read while a statement
// runs throws sql::Error (corrupt()), and the query object calls this and makes the store
// again; a part a result reads later marks that result damaged() and calls this. Either way
// the store is not answered from again and its file is removed, so that the next open makes
// it again; a damaged part is never read as empty cells, nor passed over.
void Store::markDamaged() const
{
    if (damaged_)
        return;
    damaged_ = true;
    // (the open connection keeps reading the file it has; a new one is written in its place)
    ::unlink(path_.c_str());
}

std::unique_ptr<Store> Store::open(const std::string& path, const SourceKey* expect,
                                   std::string* whyNot)
{
    if (!sqliteHeaderLooksWhole(path, whyNot))
        return nullptr;
    std::unique_ptr<Store> s(new Store);
    s->path_ = path;
    std::string why;
    try {
        // Every page is checked against its checksum the first time it is read.
        s->db_ = sql::Db(uriFor(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                         checked::vfsName());
        // A page cache of 16 MiB, and the file mapped into memory (up to 1 GiB): a record
        // is read where it lies, without a read() per page. A store is never changed in
        // place (a new one is written beside it and renamed over it), so the mapping holds
        // while the store is open.
        s->db_.exec("PRAGMA cache_size=-16384; PRAGMA mmap_size=1073741824");
        why = s->readKey(expect);
        if (why.empty())
            why = s->readTables();
        if (why.empty())
            why = s->checkSchema();
    } catch (const sql::Error& e) {
        why = std::string("store unreadable: ") + e.what();
    }
    if (why.empty())
        return s;
    if (whyNot)
        *whyNot = why;
    return nullptr;
}

std::string Store::readKey(const SourceKey* expect)
{
    std::map<std::string, std::string> meta;
    {
        sql::Stmt st(db_, "SELECT key, value FROM fz_meta");
        while (st.step())
            meta[st.text(0)] = st.text(1);
    }
    if (std::string why = schema::meta::readKey(meta, key_); !why.empty())
        return why;
    if (expect && !(*expect == key_))
        return "store made from another file or version";
    return {};
}

std::string Store::readTables()
{
    {
        sql::Stmt st(db_, "SELECT t, name, rows, bytes FROM fz_tables ORDER BY t");
        while (st.step())
            tables_.emplace_back(db_, static_cast<int>(st.integer(0)), st.text(1), st.integer(2),
                                 st.integer(3));
    }
    sql::Stmt st(db_, "SELECT t, pos, name, distinct_n, substr FROM fz_columns"
                      " ORDER BY t, pos");
    while (st.step()) {
        int t = static_cast<int>(st.integer(0));
        if (t < 0 || t >= static_cast<int>(tables_.size()) ||
            tables_[static_cast<size_t>(t)].id() != t)
            return "column of an unknown table";
        StoreTable& table = tables_[static_cast<size_t>(t)];
        if (st.integer(1) != static_cast<std::int64_t>(table.columns().size()))
            return "column positions out of order";
        table.addColumn({st.text(2), st.integer(3), st.integer(4) != 0});
    }
    return {};
}

std::string Store::checkSchema() const
{
    std::vector<schema::TableKinds> kinds;
    for (const auto& t : tables_) {
        kinds.push_back({t.id(), {}});
        for (const StoreTable::Column& c : t.columns())
            kinds.back().columns.push_back({!c.plain(), c.substr});
    }
    return schema::check(schema::objectsOf(db_), kinds);
}

const StoreTable& Store::table(const std::string& name) const
{
    for (const auto& t : tables_)
        if (equalsAsciiNoCase(t.name(), name))
            return t;
    throw EngineError(msg::noTable(name));
}

namespace {

// A few rows, or a small table, are read at once: any damage of the store is then found
// while the statement runs, where the store can still be made again. Beyond that a result
// reads its records when they are asked for.
constexpr std::int64_t kReadAtOnceRows = 64;
constexpr std::int64_t kSmallTableRows = 1024;

// (folded text, spelling) pairs sorted by the folded text, put in the alphabet's order: "ё"
// right after "е", not after "я" where its code point is.
void putYoAfterYe(std::vector<std::pair<std::string, std::string>>& values)
{
    static const std::string yo = "ё";
    if (std::none_of(values.begin(), values.end(),
                     [](const auto& e) { return e.first.find(yo) != std::string::npos; }))
        return;
    auto key = [](std::string f) {
        // "е" and a byte no UTF-8 text holds: after every word with "е" there, before "ж"
        for (size_t at = f.find(yo); at != std::string::npos; at = f.find(yo, at + 3))
            f.replace(at, 2, "е\xFF");
        return f;
    };
    std::vector<std::pair<std::string, size_t>> keyed;
    for (size_t i = 0; i < values.size(); ++i)
        keyed.emplace_back(key(values[i].first), i);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<std::string, std::string>> sorted;
    for (const auto& k : keyed)
        sorted.push_back(std::move(values[k.second]));
    values.swap(sorted);
}

} // namespace

std::vector<int> Store::resolveColumns(const jet::Statement& st, const StoreQuery& q) const
{
    int unknown = static_cast<int>(st.parameters.size());
    std::vector<int> cols;
    for (const auto& name : st.columns) {
        int j = q.column(name);
        if (j < 0)
            ++unknown;
        cols.push_back(j);
    }
    if (st.where) {
        std::vector<std::string> names;
        jet::collectColumns(*st.where, names);
        for (const auto& n : names)
            if (q.column(n) < 0)
                ++unknown;
    }
    if (unknown > 0)
        throw EngineError(msg::tooFewParameters(unknown));
    return cols;
}

std::shared_ptr<ResultSet> Store::run(const jet::Statement& st) const
{
    const StoreTable& t = table(st.table);
    StoreQuery q(t);
    const std::vector<int> cols = resolveColumns(st, q);
    using K = jet::Statement::Kind;
    Rows selected;
    ColumnMost most; // (for the widths of the rows shown)
    if (st.where)
        selected = q.eval(*st.where, false, nullptr,
                          st.kind == K::Count || st.kind == K::Distinct ? nullptr : &most);
    const Rows* rows = st.where ? &selected : nullptr;

    if (st.kind == K::Count) {
        auto r = std::make_shared<MemResult>(std::vector<std::string>{"Expr1000"});
        r->addCell(std::to_string(rows ? rows->size() : static_cast<size_t>(t.rows())));
        r->endRow();
        return r;
    }
    if (st.kind == K::Distinct)
        return distinct(q, t, cols[0], rows);
    std::vector<int> pick;
    if (st.kind == K::Star) {
        for (size_t j = 0; j < t.columns().size(); ++j)
            pick.push_back(static_cast<int>(j));
    } else {
        pick = cols;
    }
    // (the rows a SIMILAR condition finds are shown closest first)
    std::vector<std::uint32_t> ranked =
        st.where ? q.rankedOrder(selected) : std::vector<std::uint32_t>();
    auto result =
        project(q, t, std::move(pick), std::move(selected), rows != nullptr, std::move(most));
    if (ranked.empty())
        return result;
    return std::make_shared<OrderedResult>(std::move(result), std::move(ranked));
}

// One row per value that compares unequal to the others (letter case aside), in sorted
// order, a null first: the way the desktop engine answers DISTINCT.
std::shared_ptr<ResultSet> Store::distinct(StoreQuery& q, const StoreTable& t, int j,
                                           const Rows* rows) const
{
    const StoreTable::Column& c = t.column(j);
    auto r = std::make_shared<MemResult>(std::vector<std::string>{c.name});
    // (folded text, spelling) in the order of the folded text's code points
    std::vector<std::pair<std::string, std::string>> values;
    bool hasNull = false;
    if (!rows && !c.plain()) {
        hasNull = !t.nulls(j).empty();
        sql::Stmt s(db_, "SELECT f, coalesce(v, f) FROM " + q.dn(j) + " ORDER BY f");
        while (s.step())
            values.emplace_back(s.text(0), s.text(1));
    } else {
        std::map<std::string, std::string> found; // folded -> first spelling
        q.forRows(rows, [&](std::uint32_t, const std::vector<std::string_view>& v,
                            const std::vector<char>& nul) {
            if (nul[static_cast<size_t>(j)])
                hasNull = true;
            else
                found.try_emplace(fold(v[static_cast<size_t>(j)]), v[static_cast<size_t>(j)]);
        });
        values.assign(found.begin(), found.end());
    }
    putYoAfterYe(values);
    if (hasNull) {
        r->addNull();
        r->endRow();
    }
    for (const auto& e : values) {
        r->addCell(e.second);
        r->endRow();
    }
    return r;
}

// The columns `pick` of the rows `selected` (of every row unless `filtered`); `most` what the
// query knows of their longest lengths.
std::shared_ptr<ResultSet> Store::project(StoreQuery& q, const StoreTable& t, std::vector<int> pick,
                                          Rows selected, bool filtered, ColumnMost most) const
{
    std::vector<std::string> names;
    for (int j : pick)
        names.push_back(t.column(j).name);
    const Rows* rows = filtered ? &selected : nullptr;
    const std::int64_t n = rows ? static_cast<std::int64_t>(rows->size()) : t.rows();
    if (n > kReadAtOnceRows && t.rows() > kSmallTableRows) {
        if (std::shared_ptr<const Store> self = weak_from_this().lock())
            return std::make_shared<StoreRows>(std::move(self), t, std::move(names),
                                               std::move(pick), std::move(selected),
                                               rows == nullptr, std::move(most));
    }
    auto r = std::make_shared<MemResult>(names);
    const double perRow =
        t.rows() ? static_cast<double>(t.bytes()) / static_cast<double>(t.rows()) : 0.0;
    r->reserve(n, static_cast<size_t>(perRow * static_cast<double>(n) * 1.05) + 64);
    q.forRows(rows, [&](std::uint32_t, const std::vector<std::string_view>& v,
                        const std::vector<char>& nul) {
        for (int j : pick) {
            if (nul[static_cast<size_t>(j)])
                r->addNull();
            else
                r->addCell(v[static_cast<size_t>(j)]);
        }
        r->endRow();
    });
    return r;
}

} // namespace engine
