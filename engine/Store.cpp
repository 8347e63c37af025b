#include "engine/Store.h"

#include "engine/Fold.h"
#include "engine/Messages.h"
#include "engine/Result.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <set>
#include <sys/stat.h>

namespace engine {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

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
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
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

std::unique_ptr<Store> Store::open(const std::string& path, const SourceKey* expect,
                                   std::string* whyNot)
{
    auto no = [&](const std::string& why) -> std::unique_ptr<Store> {
        if (whyNot)
            *whyNot = why;
        return nullptr;
    };
    if (!sqliteHeaderLooksWhole(path, whyNot))
        return nullptr;
    std::unique_ptr<Store> s(new Store);
    s->path_ = path;
    try {
        s->db_ = sql::Db(uriFor(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
        std::map<std::string, std::string> meta;
        {
            sql::Stmt st(s->db_, "SELECT key, value FROM fz_meta");
            while (st.step())
                meta[st.text(0)] = st.text(1);
        }
        if (meta["format"] != std::to_string(kStoreFormat))
            return no("store format differs");
        if (meta["complete"] != "1")
            return no("store incomplete");
        s->key_.path = meta["source"];
        try {
            s->key_.size = std::stoll(meta["size"]);
            s->key_.mtimeNs = std::stoll(meta["mtime_ns"]);
        } catch (const std::exception&) {
            return no("store key unreadable");
        }
        if (expect && !(*expect == s->key_))
            return no("store made from another file or version");
        {
            sql::Stmt st(s->db_, "SELECT t, name, rows FROM fz_tables ORDER BY t");
            while (st.step()) {
                Table t;
                t.id = static_cast<int>(st.integer(0));
                t.name = st.text(1);
                t.rows = st.integer(2);
                s->tables_.push_back(std::move(t));
            }
        }
        {
            sql::Stmt st(s->db_, "SELECT t, pos, name, has_null, distinct_n, substr FROM fz_columns"
                                 " ORDER BY t, pos");
            while (st.step()) {
                int t = static_cast<int>(st.integer(0));
                if (t < 0 || t >= static_cast<int>(s->tables_.size()) || s->tables_[static_cast<size_t>(t)].id != t)
                    return no("column of an unknown table");
                auto& cols = s->tables_[static_cast<size_t>(t)].columns;
                if (st.integer(1) != static_cast<std::int64_t>(cols.size()))
                    return no("column positions out of order");
                Column c;
                c.name = st.text(2);
                c.hasNull = st.integer(3) != 0;
                c.distinct = st.integer(4);
                c.substr = st.integer(5) != 0;
                cols.push_back(std::move(c));
            }
        }
        std::set<std::string> names;
        {
            sql::Stmt st(s->db_, "SELECT name FROM sqlite_schema");
            while (st.step())
                names.insert(st.text(0));
        }
        for (const auto& t : s->tables_) {
            std::string tn = "t" + std::to_string(t.id);
            if (!names.count(tn))
                return no("missing table " + tn);
            for (size_t j = 0; j < t.columns.size(); ++j) {
                std::string dn = "d" + std::to_string(t.id) + "_" + std::to_string(j);
                std::vector<std::string> need = {dn, dn + "_f", tn + "_k" + std::to_string(j)};
                if (t.columns[j].substr) {
                    need.push_back(dn + "_r");
                    need.push_back("x" + std::to_string(t.id) + "_" + std::to_string(j));
                }
                for (const auto& n : need)
                    if (!names.count(n))
                        return no("missing " + n);
            }
        }
    } catch (const sql::Error& e) {
        return no(std::string("store unreadable: ") + e.what());
    }
    return s;
}

const Store::Table& Store::table(const std::string& name) const
{
    for (const auto& t : tables_)
        if (sameName(t.name, name))
            return t;
    throw EngineError(msg::noTable(name));
}

// Turns a parsed statement into SQL over the store. Every value is a bound parameter.
class StoreQuery {
public:
    StoreQuery(const Store::Table& t) : t_(t) {}

    int column(const std::string& name) const
    {
        for (size_t j = 0; j < t_.columns.size(); ++j)
            if (sameName(t_.columns[j].name, name))
                return static_cast<int>(j);
        return -1;
    }

    std::string tn() const { return "t" + std::to_string(t_.id); }
    std::string dn(int j) const { return "d" + std::to_string(t_.id) + "_" + std::to_string(j); }
    std::string xn(int j) const { return "x" + std::to_string(t_.id) + "_" + std::to_string(j); }
    static std::string k(int j) { return "k" + std::to_string(j); }

    // The condition in negation normal form: every leaf stands in a positive place, so a
    // null (unknown) and false need not be told apart.
    void cond(const jet::Cond& c, bool neg, std::string& out)
    {
        using K = jet::Cond::Kind;
        switch (c.kind) {
        case K::And:
        case K::Or: {
            bool isAnd = (c.kind == K::And) != neg;
            out += "(";
            cond(*c.left, neg, out);
            out += isAnd ? " AND " : " OR ";
            cond(*c.right, neg, out);
            out += ")";
            return;
        }
        case K::Not:
            cond(*c.left, !neg, out);
            return;
        case K::IsNull: {
            int j = column(c.column);
            bool wantNull = (c.negated == neg);
            out += k(j) + (wantNull ? " IS NULL" : " IS NOT NULL");
            return;
        }
        case K::Compare: {
            int j = column(c.column);
            std::string op = c.op;
            if (neg) {
                static const std::map<std::string, std::string> flip = {
                    {"=", "<>"}, {"<>", "="}, {"<", ">="}, {">=", "<"}, {">", "<="}, {"<=", ">"}};
                op = flip.at(op);
            }
            binds_.push_back(fold(c.literal));
            if (op == "<>") {
                out += "(" + k(j) + " IS NOT NULL AND " + k(j) + " NOT IN (SELECT id FROM " + dn(j) +
                       " WHERE f = ?))";
            } else {
                out += k(j) + " IN (SELECT id FROM " + dn(j) + " WHERE f " + op + " ?)";
            }
            return;
        }
        case K::Like: {
            int j = column(c.column);
            bool positive = (c.negated == neg);
            std::string p = pattern(j, c.literal);
            if (p.empty()) { // matches every value
                out += positive ? k(j) + " IS NOT NULL" : "0";
                return;
            }
            if (positive)
                out += k(j) + " IN (SELECT id FROM " + dn(j) + " WHERE " + p + ")";
            else
                out += "(" + k(j) + " IS NOT NULL AND " + k(j) + " NOT IN (SELECT id FROM " +
                       dn(j) + " WHERE " + p + "))";
            return;
        }
        }
    }

    // A condition on the dictionary's folded text f for one LIKE pattern; "" when the
    // pattern matches any value. % is any run of characters, _ exactly one; every other
    // character (including * ? [ ]) stands for itself.
    std::string pattern(int j, const std::string& raw)
    {
        std::string p = fold(raw);
        struct Piece {
            enum { Lit, Any, One } kind;
            std::string text;
        };
        std::vector<Piece> pieces;
        for (size_t i = 0; i < p.size();) {
            char ch = p[i];
            if (ch == '%') {
                if (pieces.empty() || pieces.back().kind != Piece::Any)
                    pieces.push_back({Piece::Any, {}});
                ++i;
            } else if (ch == '_') {
                pieces.push_back({Piece::One, {}});
                ++i;
            } else {
                size_t start = i;
                decodeUtf8(p, i);
                if (pieces.empty() || pieces.back().kind != Piece::Lit)
                    pieces.push_back({Piece::Lit, {}});
                pieces.back().text.append(p, start, i - start);
            }
        }
        const auto& col = t_.columns[static_cast<size_t>(j)];
        auto isLit = [&](size_t i) { return pieces[i].kind == Piece::Lit; };
        auto isAny = [&](size_t i) { return pieces[i].kind == Piece::Any; };
        if (pieces.empty()) { // LIKE "": only the empty value
            binds_.push_back("");
            return "f = ?";
        }
        if (pieces.size() == 1 && isAny(0))
            return "";
        if (pieces.size() == 1 && isLit(0)) {
            binds_.push_back(pieces[0].text);
            return "f = ?";
        }
        if (pieces.size() == 2 && isLit(0) && isAny(1))
            return range("f", pieces[0].text);
        if (pieces.size() == 2 && isAny(0) && isLit(1) && col.substr)
            return range("r", reverseChars(pieces[1].text));
        if (pieces.size() == 3 && isAny(0) && isLit(1) && isAny(2)) {
            const std::string& lit = pieces[1].text;
            if (col.substr && charCount(lit) >= 3) {
                std::string q = "\"";
                for (char ch : lit)
                    q += (ch == '"') ? std::string("\"\"") : std::string(1, ch);
                q += "\"";
                binds_.push_back(q);
                binds_.push_back(lit);
                return "id IN (SELECT rowid FROM " + xn(j) + " WHERE " + xn(j) +
                       " MATCH ?) AND instr(f, ?) > 0";
            }
            binds_.push_back(lit);
            return "instr(f, ?) > 0";
        }
        std::string glob;
        for (const auto& pc : pieces) {
            if (pc.kind == Piece::Any) {
                glob += '*';
            } else if (pc.kind == Piece::One) {
                glob += '?';
            } else {
                for (char ch : pc.text) {
                    if (ch == '*' || ch == '?' || ch == '[') {
                        glob += '[';
                        glob += ch;
                        glob += ']';
                    } else {
                        glob += ch;
                    }
                }
            }
        }
        binds_.push_back(glob);
        return "f GLOB ?";
    }

    // Values that begin with `prefix`: a range on an index. No UTF-8 text holds the byte
    // 0xFF, so prefix + 0xFF is above every text that begins with prefix.
    std::string range(const char* col, const std::string& prefix)
    {
        binds_.push_back(prefix);
        binds_.push_back(prefix + "\xFF");
        return std::string(col) + " >= ? AND " + col + " < ?";
    }

    std::vector<std::string> binds_;

private:
    const Store::Table& t_;
};

namespace {

void bindAll(sql::Stmt& st, const std::vector<std::string>& binds)
{
    for (size_t i = 0; i < binds.size(); ++i)
        st.bindText(static_cast<int>(i + 1), binds[i]);
}

void fill(sql::Stmt& st, MemResult& r, int ncols)
{
    sqlite3_stmt* s = st.get();
    while (st.step()) {
        for (int c = 0; c < ncols; ++c) {
            const unsigned char* p = sqlite3_column_text(s, c);
            if (!p) {
                r.addNull();
            } else {
                r.addCell(std::string_view(reinterpret_cast<const char*>(p),
                                           static_cast<size_t>(sqlite3_column_bytes(s, c))));
            }
        }
        r.endRow();
    }
}

} // namespace

std::shared_ptr<ResultSet> Store::run(const jet::Statement& st) const
{
    const Table& t = table(st.table);
    StoreQuery q(t);
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

    std::string where;
    if (st.where) {
        q.cond(*st.where, false, where);
    }
    const std::string wsql = where.empty() ? std::string() : " WHERE " + where;

    using K = jet::Statement::Kind;
    if (st.kind == K::Count) {
        auto r = std::make_shared<MemResult>(std::vector<std::string>{"Expr1000"});
        sql::Stmt s(db_, "SELECT count(*) FROM " + q.tn() + wsql);
        bindAll(s, q.binds_);
        fill(s, *r, 1);
        return r;
    }
    if (st.kind == K::Distinct) {
        // One row per value that compares unequal to the others (letter case aside), in
        // sorted order, a null first: the way the desktop engine answers DISTINCT.
        int j = cols[0];
        const Column& c = t.columns[static_cast<size_t>(j)];
        auto r = std::make_shared<MemResult>(std::vector<std::string>{c.name});
        if (c.hasNull) {
            bool hasNull = true;
            if (!where.empty()) {
                sql::Stmt s(db_, "SELECT 1 FROM " + q.tn() + " WHERE " + q.k(j) + " IS NULL AND (" +
                                     where + ") LIMIT 1");
                bindAll(s, q.binds_);
                hasNull = s.step();
            }
            if (hasNull) {
                r->addNull();
                r->endRow();
            }
        }
        std::string sqlText = "SELECT v FROM " + q.dn(j);
        if (!where.empty())
            sqlText += " WHERE id IN (SELECT " + q.k(j) + " FROM " + q.tn() + wsql + ")";
        sqlText += " ORDER BY f";
        sql::Stmt s(db_, sqlText);
        bindAll(s, q.binds_);
        fill(s, *r, 1);
        return r;
    }
    std::vector<std::string> names;
    std::string list;
    if (st.kind == K::Star) {
        for (size_t j = 0; j < t.columns.size(); ++j) {
            names.push_back(t.columns[j].name);
            list += (j ? ", c" : "c") + std::to_string(j);
        }
    } else {
        for (size_t i = 0; i < cols.size(); ++i) {
            names.push_back(t.columns[static_cast<size_t>(cols[i])].name);
            list += (i ? ", c" : "c") + std::to_string(cols[i]);
        }
    }
    auto r = std::make_shared<MemResult>(names);
    if (where.empty())
        r->reserve(t.rows, static_cast<size_t>(t.rows) * names.size() * 8);
    sql::Stmt s(db_, "SELECT " + list + " FROM " + q.tn() + wsql + " ORDER BY rowid");
    bindAll(s, q.binds_);
    fill(s, *r, static_cast<int>(names.size()));
    return r;
}

} // namespace engine
