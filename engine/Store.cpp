#include "engine/Store.h"

#include "engine/Fold.h"
#include "engine/Messages.h"
#include "engine/Result.h"
#include "engine/StoreFormat.h"
#include "util/Utf8.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <sys/stat.h>

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
        // Reads straight from the mapped file: no copy through read() for big results.
        s->db_.exec("PRAGMA cache_size=-16384; PRAGMA mmap_size=0");
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
            sql::Stmt st(s->db_, "SELECT t, name, rows, bytes FROM fz_tables ORDER BY t");
            while (st.step()) {
                Table t;
                t.id = static_cast<int>(st.integer(0));
                t.name = st.text(1);
                t.rows = st.integer(2);
                t.bytes = st.integer(3);
                s->tables_.push_back(std::move(t));
            }
        }
        {
            sql::Stmt st(s->db_, "SELECT t, pos, name, distinct_n, substr, nulls FROM fz_columns"
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
                c.distinct = st.integer(3);
                c.substr = st.integer(4) != 0;
                const void* b = sqlite3_column_blob(st.get(), 5);
                size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 5));
                if (nb % 4)
                    return no("null list damaged");
                c.nulls.resize(nb / 4);
                if (nb)
                    std::memcpy(c.nulls.data(), b, nb);
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
            for (const std::string& tn : {storeTable::rows(t.id), storeTable::lengths(t.id)})
                if (!names.count(tn))
                    return no("missing table " + tn);
            for (size_t j = 0; j < t.columns.size(); ++j) {
                std::string dn = storeTable::dictionary(t.id, j);
                std::vector<std::string> need;
                if (t.columns[j].distinct >= 0)
                    need.push_back(dn);
                else if (t.columns[j].substr)
                    return no("plain search column " + dn);
                if (t.columns[j].substr) {
                    need.push_back(dn + "_f");
                    need.push_back(dn + "_r");
                    need.push_back(storeTable::trigrams(t.id, j));
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
        if (equalsAsciiNoCase(t.name, name))
            return t;
    throw EngineError(msg::noTable(name));
}

std::shared_ptr<const std::vector<std::uint8_t>> Store::lengths(const Table& t) const
{
    std::lock_guard<std::mutex> lock(lengthsMutex_);
    const size_t at = static_cast<size_t>(&t - tables_.data());
    if (lengths_.size() < tables_.size())
        lengths_.resize(tables_.size());
    if (!lengths_[at]) {
        auto all = std::make_shared<std::vector<std::uint8_t>>();
        const size_t want = static_cast<size_t>(t.rows) * t.columns.size();
        all->reserve(want);
        sql::Stmt st(db_, "SELECT part, lens FROM " + storeTable::lengths(t.id) + " ORDER BY part");
        std::int64_t part = 0;
        while (st.step()) {
            const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 1));
            const size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
            if (st.integer(0) != part++ || all->size() + nb > want)
                throw sql::Error(SQLITE_CORRUPT, "length list damaged");
            all->insert(all->end(), b, b + nb);
        }
        if (all->size() != want)
            throw sql::Error(SQLITE_CORRUPT, "length list damaged");
        lengths_[at] = std::move(all);
    }
    return lengths_[at];
}

namespace {

constexpr std::int64_t kReadAtOnceRows = 64;
constexpr std::int64_t kSmallTableRows = 1024;

using Rows = std::vector<std::uint32_t>; // row numbers (rowids), ascending, no repeats

Rows intersect(const Rows& a, const Rows& b)
{
    Rows out;
    out.reserve(std::min(a.size(), b.size()));
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

Rows unite(const Rows& a, const Rows& b)
{
    Rows out;
    out.reserve(a.size() + b.size());
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// Rows 1..n that are not in a.
Rows complement(const Rows& a, std::uint32_t n)
{
    Rows out;
    out.reserve(n - std::min<size_t>(a.size(), n));
    size_t i = 0;
    for (std::uint32_t r = 1; r <= n; ++r) {
        if (i < a.size() && a[i] == r) {
            ++i;
            continue;
        }
        out.push_back(r);
    }
    return out;
}

} // namespace

// Answers one statement on the store. Every value reaches SQLite as a bound parameter.
class StoreQuery {
public:
    StoreQuery(const Store& s, const Store::Table& t) : s_(s), t_(t) {}

    int column(const std::string& name) const
    {
        for (size_t j = 0; j < t_.columns.size(); ++j)
            if (equalsAsciiNoCase(t_.columns[j].name, name))
                return static_cast<int>(j);
        return -1;
    }

    std::string tn() const { return storeTable::rows(t_.id); }
    std::string dn(int j) const { return storeTable::dictionary(t_.id, static_cast<size_t>(j)); }
    std::string xn(int j) const { return storeTable::trigrams(t_.id, static_cast<size_t>(j)); }
    std::uint32_t rowCount() const { return static_cast<std::uint32_t>(t_.rows); }
    const Rows& nulls(int j) const { return t_.columns[static_cast<size_t>(j)].nulls; }

    // The rows where a condition holds. `neg` asks for the rows where its negation holds:
    // NOT is pushed down to the comparisons, which then leave out nulls, so a null never
    // matches, whatever the NOTs around it. When `within` is given only those rows count:
    // the answer may then hold other rows too, but agrees with the exact one on `within`.
    Rows eval(const jet::Cond& c, bool neg, const Rows* within = nullptr)
    {
        using K = jet::Cond::Kind;
        switch (c.kind) {
        case K::And:
        case K::Or: {
            bool isAnd = (c.kind == K::And) != neg;
            Rows a = eval(*c.left, neg, within);
            if (isAnd && a.empty())
                return a;
            // The second half of an AND matters only on the rows the first one left.
            Rows b = eval(*c.right, neg, isAnd && (!within || a.size() < within->size()) ? &a : within);
            return isAnd ? intersect(a, b) : unite(a, b);
        }
        case K::Not:
            return eval(*c.left, !neg, within);
        case K::IsNull: {
            int j = column(c.column);
            bool wantNull = (c.negated == neg);
            return wantNull ? nulls(j) : complement(nulls(j), rowCount());
        }
        case K::Compare: {
            int j = column(c.column);
            std::string op = c.op;
            if (neg) {
                static const std::map<std::string, std::string> flip = {
                    {"=", "<>"}, {"<>", "="}, {"<", ">="}, {">=", "<"}, {">", "<="}, {"<=", ">"}};
                op = flip.at(op);
            }
            std::vector<std::string> binds{fold(c.literal)};
            if (op == "<>")
                return nonNullExcept(j, match(j, "f = ?", binds, within));
            return match(j, "f " + op + " ?", binds, within);
        }
        case K::Like: {
            int j = column(c.column);
            bool positive = (c.negated == neg);
            std::vector<std::string> binds;
            std::string p = pattern(j, c.literal, binds);
            if (p.empty()) // matches every value
                return positive ? complement(nulls(j), rowCount()) : Rows{};
            Rows m = match(j, p, binds, within);
            return positive ? m : nonNullExcept(j, m);
        }
        }
        return {};
    }

    Rows nonNullExcept(int j, const Rows& m) const
    {
        return complement(unite(nulls(j), m), rowCount());
    }

    // The rows of every dictionary entry of column j that satisfies `where` (on f, r, id).
    Rows match(int j, const std::string& where, const std::vector<std::string>& binds,
               const Rows* within = nullptr)
    {
        if (t_.columns[static_cast<size_t>(j)].distinct < 0)
            return scanMatch(j, where, binds, within);
        sql::Stmt st(s_.db_, "SELECT first, rows FROM " + dn(j) + " WHERE " + where);
        for (size_t i = 0; i < binds.size(); ++i)
            st.bindText(static_cast<int>(i + 1), binds[i]);
        Rows out;
        size_t entries = 0;
        std::vector<size_t> starts; // where each entry's rows begin in out
        while (st.step()) {
            ++entries;
            starts.push_back(out.size());
            const void* b = sqlite3_column_blob(st.get(), 1);
            size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
            if (!b) {
                out.push_back(static_cast<std::uint32_t>(st.integer(0)));
            } else {
                if (nb % 4)
                    throw sql::Error(SQLITE_CORRUPT, "row list damaged");
                if (within && within->size() * 32 < nb / 4) {
                    // A long list and few rows that count: look those up in it.
                    const auto* list = static_cast<const unsigned char*>(b);
                    auto at = [&](size_t i) {
                        std::uint32_t v;
                        std::memcpy(&v, list + i * 4, 4);
                        return v;
                    };
                    for (std::uint32_t r : *within) {
                        size_t lo = 0, hi = nb / 4;
                        while (lo < hi) {
                            const size_t mid = lo + (hi - lo) / 2;
                            if (at(mid) < r)
                                lo = mid + 1;
                            else
                                hi = mid;
                        }
                        if (lo < nb / 4 && at(lo) == r)
                            out.push_back(r);
                    }
                    continue;
                }
                size_t at = out.size();
                out.resize(at + nb / 4);
                std::memcpy(out.data() + at, b, nb);
            }
        }
        // Each entry's rows are in order: a few lists are merged, many sorted.
        if (entries > 1 && entries <= 8) {
            for (size_t e = 1; e < entries; ++e)
                std::inplace_merge(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(starts[e]),
                                   e + 1 < entries ? out.begin() + static_cast<std::ptrdiff_t>(starts[e + 1]) : out.end());
        } else if (entries > 1 && out.size() > rowCount() / 64) {
            // many rows: marked in a bitmap of the table's rows and read back in order
            std::vector<std::uint64_t> bits((static_cast<size_t>(rowCount()) >> 6) + 1, 0);
            for (std::uint32_t r : out) {
                if (r < 1 || r > rowCount())
                    throw sql::Error(SQLITE_CORRUPT, "row list damaged");
                bits[r >> 6] |= std::uint64_t{1} << (r & 63);
            }
            out.clear();
            for (size_t w = 0; w < bits.size(); ++w)
                for (std::uint64_t b = bits[w]; b; b &= b - 1)
                    out.push_back(static_cast<std::uint32_t>((w << 6) | static_cast<size_t>(__builtin_ctzll(b))));
        } else if (entries > 1) {
            std::sort(out.begin(), out.end());
        }
        for (size_t i = 1; i < out.size(); ++i)
            if (out[i] <= out[i - 1])
                throw sql::Error(SQLITE_CORRUPT, "row list damaged");
        if (!out.empty() && (out.front() < 1 || out.back() > rowCount()))
            throw sql::Error(SQLITE_CORRUPT, "row list damaged");
        return out;
    }

    // match() for a plain column: every record's folded value (of the rows `within`, when
    // given) is put to the same condition (never one on r or id: a plain column takes no
    // match modes).
    Rows scanMatch(int j, const std::string& where, const std::vector<std::string>& binds,
                   const Rows* within)
    {
        sql::Stmt st(s_.db_, "WITH d(f) AS (SELECT ?) SELECT 1 FROM d WHERE " + where);
        Rows out;
        std::string f;
        forRows(within, [&](std::uint32_t r, const std::vector<std::string_view>& v, const std::vector<char>& nul) {
            if (nul[static_cast<size_t>(j)])
                return;
            f = fold(v[static_cast<size_t>(j)]);
            st.reset(); // (clears the bindings too)
            st.bindStatic(1, f);
            for (size_t i = 0; i < binds.size(); ++i)
                st.bindStatic(static_cast<int>(i + 2), binds[i]);
            if (st.step())
                out.push_back(r);
        });
        return out;
    }

    // A condition on the dictionary's folded text f for one LIKE pattern; "" when the
    // pattern matches any value. % is any run of characters, _ exactly one; every other
    // character (including * ? [ ]) stands for itself.
    std::string pattern(int j, const std::string& raw, std::vector<std::string>& binds)
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
                fz::utf8::decode(p, i);
                if (pieces.empty() || pieces.back().kind != Piece::Lit)
                    pieces.push_back({Piece::Lit, {}});
                pieces.back().text.append(p, start, i - start);
            }
        }
        const auto& col = t_.columns[static_cast<size_t>(j)];
        auto isLit = [&](size_t i) { return pieces[i].kind == Piece::Lit; };
        auto isAny = [&](size_t i) { return pieces[i].kind == Piece::Any; };
        if (pieces.empty()) { // LIKE "": only the empty value
            binds.push_back("");
            return "f = ?";
        }
        if (pieces.size() == 1 && isAny(0))
            return "";
        if (pieces.size() == 1 && isLit(0)) {
            binds.push_back(pieces[0].text);
            return "f = ?";
        }
        if (pieces.size() == 2 && isLit(0) && isAny(1))
            return range("f", pieces[0].text, binds);
        if (pieces.size() == 2 && isAny(0) && isLit(1) && col.substr)
            return range("r", reverseChars(pieces[1].text), binds);
        if (pieces.size() == 3 && isAny(0) && isLit(1) && isAny(2)) {
            const std::string& lit = pieces[1].text;
            if (col.substr && fz::utf8::charCount(lit) >= 3) {
                std::string q = "\"";
                for (char ch : lit)
                    q += (ch == '"') ? std::string("\"\"") : std::string(1, ch);
                q += "\"";
                binds.push_back(q);
                binds.push_back(lit);
                return "id IN (SELECT rowid FROM " + xn(j) + " WHERE " + xn(j) +
                       " MATCH ?) AND instr(f, ?) > 0";
            }
            binds.push_back(lit);
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
        binds.push_back(glob);
        return "f GLOB ?";
    }

    // Values that begin with `prefix`: a range on an index. No UTF-8 text holds the byte
    // 0xFF, so prefix + 0xFF is above every text that begins with prefix.
    static std::string range(const char* col, const std::string& prefix, std::vector<std::string>& binds)
    {
        binds.push_back(prefix);
        binds.push_back(prefix + "\xFF");
        return std::string(col) + " >= ? AND " + col + " < ?";
    }

    // Calls fn(rowid, fields) for the given rows (all rows when `rows` is null), in order.
    template <class Fn>
    void forRows(const Rows* rows, Fn fn)
    {
        const size_t ncols = t_.columns.size();
        std::vector<std::string_view> vals(ncols);
        std::vector<char> nul(ncols);
        auto decodeAt = [&](const unsigned char*& p, const unsigned char* end) {
            for (size_t c = 0; c < ncols; ++c) {
                bool isNull = true;
                if (!p || !record::getField(p, end, vals[c], isNull))
                    throw sql::Error(SQLITE_CORRUPT, "row record damaged");
                nul[c] = isNull;
            }
        };
        const std::uint32_t per = record::kChunkRows;
        // Reading every chunk in order costs about 0.6 of looking the same number up one by one
        // (measured on a million rows): scan when most chunks are needed anyway.
        bool scan = !rows;
        if (rows) {
            size_t touched = 0;
            std::int64_t last = -1;
            for (std::uint32_t r : *rows) {
                const std::int64_t c = (r - 1) / per;
                touched += c != last;
                last = c;
            }
            scan = touched * 5 > (rowCount() + per - 1) / per * 3;
        }
        if (scan) {
            sql::Stmt st(s_.db_, "SELECT chunk, recs FROM " + tn() + " ORDER BY chunk");
            size_t i = 0;
            std::uint32_t seen = 0;
            std::int64_t expectChunk = 0;
            while (st.step()) {
                if (st.integer(0) != expectChunk++)
                    throw sql::Error(SQLITE_CORRUPT, "chunk missing");
                const std::uint32_t first = static_cast<std::uint32_t>(st.integer(0)) * per + 1;
                if (rows) {
                    while (i < rows->size() && (*rows)[i] < first)
                        throw sql::Error(SQLITE_CORRUPT, "row missing");
                    if (i >= rows->size())
                        break;
                    if ((*rows)[i] >= first + per) {
                        seen += per;
                        continue;
                    }
                }
                const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 1));
                const auto* end = p + sqlite3_column_bytes(st.get(), 1);
                for (std::uint32_t r = first; p < end; ++r) {
                    decodeAt(p, end);
                    ++seen;
                    if (rows) {
                        if (i < rows->size() && (*rows)[i] == r) {
                            ++i;
                            fn(r, vals, nul);
                        }
                    } else {
                        fn(r, vals, nul);
                    }
                }
            }
            if ((!rows && seen != rowCount()) || (rows && i != rows->size()))
                throw sql::Error(SQLITE_CORRUPT, "row count differs");
        } else {
            sql::Stmt st(s_.db_, "SELECT recs FROM " + tn() + " WHERE chunk = ?");
            std::int64_t chunk = -1;
            const unsigned char* p = nullptr;
            const unsigned char* end = nullptr;
            std::uint32_t next = 0; // the row p stands on
            for (std::uint32_t r : *rows) {
                const std::int64_t c = (r - 1) / per;
                if (c != chunk) {
                    st.reset();
                    st.bindInt(1, c);
                    if (!st.step())
                        throw sql::Error(SQLITE_CORRUPT, "row missing");
                    chunk = c;
                    p = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 0));
                    end = p + sqlite3_column_bytes(st.get(), 0);
                    next = static_cast<std::uint32_t>(c) * per + 1;
                }
                while (next < r) {
                    decodeAt(p, end);
                    ++next;
                }
                decodeAt(p, end);
                ++next;
                fn(r, vals, nul);
            }
        }
    }

private:
    const Store& s_;
    const Store::Table& t_;
};

// A result that holds its row numbers only: a record is read from the store when one of its
// cells is asked for. Records are read a chunk at a time and the last few chunks kept
// decoded, so reading cells in row order reads every chunk once. The store (and its
// connection) stays open as long as the result lives.
class StoreRows final : public ResultSet {
public:
    StoreRows(std::shared_ptr<const Store> store, const Store::Table& t, std::vector<std::string> names,
              std::vector<int> pick, Rows rows, bool all)
        : store_(std::move(store)), t_(t), names_(std::move(names)), pick_(std::move(pick)),
          rows_(std::move(rows)), all_(all),
          n_(all ? t.rows : static_cast<std::int64_t>(rows_.size())), ncols_(t.columns.size())
    {
    }

    int columnCount() const override { return static_cast<int>(names_.size()); }
    std::int64_t rowCount() const override { return n_; }
    std::string_view columnName(int col) const override
    {
        if (col < 0 || col >= columnCount())
            return {};
        return names_[static_cast<size_t>(col)];
    }
    std::string_view value(std::int64_t row, int col) const override
    {
        const Slot* s = nullptr;
        const size_t at = locate(row, col, s);
        if (!s || s->len[at] == kNull)
            return {};
        return std::string_view(s->blob).substr(s->off[at], s->len[at]);
    }
    bool isNull(std::int64_t row, int col) const override
    {
        const Slot* s = nullptr;
        const size_t at = locate(row, col, s);
        return !s || s->len[at] == kNull;
    }

    // Row by row: one row's lengths lie side by side, so each matched row costs one read
    // of memory for all the columns.
    void maxCharLengths(const std::vector<int>& cols, std::int64_t rows, std::vector<int>& out) const override
    {
        out.assign(cols.size(), 0);
        const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
        std::shared_ptr<const std::vector<std::uint8_t>> lens;
        try {
            lens = store_->lengths(t_);
        } catch (const sql::Error&) {
            ResultSet::maxCharLengths(cols, rows, out);
            return;
        }
        std::vector<size_t> at;
        for (int c : cols) {
            if (c < 0 || c >= columnCount()) {
                ResultSet::maxCharLengths(cols, rows, out);
                return;
            }
            at.push_back(static_cast<size_t>(pick_[static_cast<size_t>(c)]));
        }
        const std::uint8_t* L = lens->data();
        const std::uint32_t last = static_cast<std::uint32_t>(t_.rows);
        std::array<std::uint8_t, 256> most{};
        const size_t k = std::min<size_t>(at.size(), most.size());
        constexpr std::int64_t ahead = 16; // rows fetched ahead: matched rows lie far apart
        for (std::int64_t i = 0; i < n; ++i) {
            if (i + ahead < n) {
                const std::uint32_t next = rowid(i + ahead);
                if (next >= 1 && next <= last)
                    __builtin_prefetch(L + static_cast<size_t>(next - 1) * ncols_);
            }
            const std::uint32_t id = rowid(i);
            if (id < 1 || id > last)
                continue; // a damaged store: nothing to count
            const std::uint8_t* row = L + static_cast<size_t>(id - 1) * ncols_;
            for (size_t c = 0; c < k; ++c)
                most[c] = std::max(most[c], row[at[c]]);
        }
        for (size_t c = 0; c < cols.size(); ++c)
            out[c] = c < k && most[c] < 255 ? most[c] : maxCharLength(cols[c], rows);
    }

    int maxCharLength(int col, std::int64_t rows) const override
    {
        if (col < 0 || col >= columnCount())
            return 0;
        const std::int64_t n = rows < 0 ? n_ : std::min(rows, n_);
        std::shared_ptr<const std::vector<std::uint8_t>> lens;
        try {
            lens = store_->lengths(t_);
        } catch (const sql::Error&) {
            return ResultSet::maxCharLength(col, rows);
        }
        const std::uint8_t* L = lens->data() + pick_[static_cast<size_t>(col)];
        const std::uint32_t last = static_cast<std::uint32_t>(t_.rows);
        // (a row number out of the table, from a damaged store, has no length: its cells
        // read as empty anyway)
        auto length = [&](std::uint32_t id) -> int {
            return id >= 1 && id <= last ? L[static_cast<size_t>(id - 1) * ncols_] : 0;
        };
        int longest = 0;
        if (all_) {
            for (std::int64_t i = 0; i < n; ++i)
                longest = std::max<int>(longest, L[static_cast<size_t>(i) * ncols_]);
        } else {
            for (std::int64_t i = 0; i < n; ++i)
                longest = std::max(longest, length(rows_[static_cast<size_t>(i)]));
        }
        if (longest < 255)
            return longest;
        // Some text holds 255 characters or more: count those exactly.
        for (std::int64_t i = 0; i < n; ++i)
            if (length(rowid(i)) == 255) {
                longest = std::max(longest, static_cast<int>(fz::utf8::charCount(value(i, col))));
            }
        return longest;
    }

private:
    static constexpr std::uint32_t kNull = UINT32_MAX;
    static constexpr size_t kSlots = 16;
    struct Slot {
        std::int64_t chunk = -1;
        size_t records = 0;
        std::string blob;
        std::vector<std::uint32_t> off, len; // per record and table column; len kNull: null
    };

    std::uint32_t rowid(std::int64_t i) const
    {
        return all_ ? static_cast<std::uint32_t>(i + 1) : rows_[static_cast<size_t>(i)];
    }

    // The slot holding the cell and the cell's index in it; s stays null when there is none.
    size_t locate(std::int64_t row, int col, const Slot*& s) const
    {
        s = nullptr;
        if (row < 0 || row >= n_ || col < 0 || col >= columnCount())
            return 0;
        const std::uint32_t id = rowid(row) - 1;
        const std::int64_t chunk = id / record::kChunkRows;
        const size_t within = id % record::kChunkRows;
        Slot& slot = slots_[static_cast<size_t>(chunk) % kSlots];
        if (slot.chunk != chunk)
            load(slot, chunk);
        if (within >= slot.records)
            return 0; // a damaged store: the record is missing
        s = &slot;
        return within * ncols_ + static_cast<size_t>(pick_[static_cast<size_t>(col)]);
    }

    void load(Slot& slot, std::int64_t chunk) const
    {
        slot.chunk = chunk;
        slot.records = 0;
        slot.blob.clear();
        try {
            if (!stmt_)
                stmt_ = std::make_unique<sql::Stmt>(
                    store_->db_, "SELECT chunk, recs FROM " + storeTable::rows(t_.id) +
                                     " WHERE chunk >= ? ORDER BY chunk");
            // Chunks a little ahead of the last one read come from stepping on (row order).
            if (cursor_ >= 0 && chunk > cursor_ && chunk - cursor_ <= 4) {
                while (cursor_ >= 0 && cursor_ < chunk)
                    cursor_ = stmt_->step() ? stmt_->integer(0) : -1;
            } else {
                stmt_->reset();
                stmt_->bindInt(1, chunk);
                cursor_ = stmt_->step() ? stmt_->integer(0) : -1;
            }
            if (cursor_ != chunk) {
                cursor_ = -1;
                return;
            }
            const auto* b = static_cast<const char*>(sqlite3_column_blob(stmt_->get(), 1));
            slot.blob.assign(b ? b : "", static_cast<size_t>(sqlite3_column_bytes(stmt_->get(), 1)));
        } catch (const sql::Error&) {
            cursor_ = -1;
            return;
        }
        slot.off.resize(record::kChunkRows * ncols_);
        slot.len.resize(record::kChunkRows * ncols_);
        const auto* base = reinterpret_cast<const unsigned char*>(slot.blob.data());
        const unsigned char* p = base;
        const unsigned char* end = base + slot.blob.size();
        for (size_t r = 0; r < record::kChunkRows && p < end; ++r) {
            for (size_t c = 0; c < ncols_; ++c) {
                std::string_view v;
                bool isNull = true;
                if (!record::getField(p, end, v, isNull))
                    return; // damaged: the records read so far stay
                const size_t at = r * ncols_ + c;
                slot.off[at] = isNull ? 0 : static_cast<std::uint32_t>(reinterpret_cast<const unsigned char*>(v.data()) - base);
                slot.len[at] = isNull ? kNull : static_cast<std::uint32_t>(v.size());
            }
            slot.records = r + 1;
        }
    }

    std::shared_ptr<const Store> store_;
    const Store::Table& t_;
    std::vector<std::string> names_;
    std::vector<int> pick_;
    Rows rows_;
    bool all_;
    std::int64_t n_;
    size_t ncols_;
    mutable std::array<Slot, kSlots> slots_;
    mutable std::unique_ptr<sql::Stmt> stmt_; // declared after store_: finalised before it closes
    mutable std::int64_t cursor_ = -1;        // the chunk stmt_ stands on, -1 none
};

std::shared_ptr<ResultSet> Store::run(const jet::Statement& st) const
{
    const Table& t = table(st.table);
    StoreQuery q(*this, t);
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

    Rows selected;
    if (st.where)
        selected = q.eval(*st.where, false);
    const Rows* rows = st.where ? &selected : nullptr;

    using K = jet::Statement::Kind;
    if (st.kind == K::Count) {
        auto r = std::make_shared<MemResult>(std::vector<std::string>{"Expr1000"});
        r->addCell(std::to_string(rows ? rows->size() : static_cast<size_t>(t.rows)));
        r->endRow();
        return r;
    }
    if (st.kind == K::Distinct) {
        // One row per value that compares unequal to the others (letter case aside), in
        // sorted order, a null first: the way the desktop engine answers DISTINCT.
        const int j = cols[0];
        const Column& c = t.columns[static_cast<size_t>(j)];
        auto r = std::make_shared<MemResult>(std::vector<std::string>{c.name});
        // (folded text, spelling) in the order of the folded text's code points
        std::vector<std::pair<std::string, std::string>> values;
        bool hasNull = false;
        if (!rows && c.distinct >= 0) {
            hasNull = !c.nulls.empty();
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
        // The alphabet puts "ё" right after "е", not after "я" where its code point is.
        static const std::string yo = "ё";
        if (std::any_of(values.begin(), values.end(),
                        [](const auto& e) { return e.first.find(yo) != std::string::npos; })) {
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
    std::vector<std::string> names;
    std::vector<int> pick;
    if (st.kind == K::Star) {
        for (size_t j = 0; j < t.columns.size(); ++j) {
            names.push_back(t.columns[j].name);
            pick.push_back(static_cast<int>(j));
        }
    } else {
        for (int j : cols) {
            names.push_back(t.columns[static_cast<size_t>(j)].name);
            pick.push_back(j);
        }
    }
    const std::int64_t n = rows ? static_cast<std::int64_t>(rows->size()) : t.rows;
    // A few rows, or a small table, are read at once: any damage of the store is then found
    // while the statement runs, where the store can still be made again. Beyond that a
    // result reads its records when they are asked for.
    if (n > kReadAtOnceRows && t.rows > kSmallTableRows) {
        if (std::shared_ptr<const Store> self = weak_from_this().lock())
            return std::make_shared<StoreRows>(std::move(self), t, std::move(names), std::move(pick),
                                               std::move(selected), rows == nullptr);
    }
    auto r = std::make_shared<MemResult>(names);
    const double perRow = t.rows ? static_cast<double>(t.bytes) / static_cast<double>(t.rows) : 0.0;
    r->reserve(n, static_cast<size_t>(perRow * static_cast<double>(n) * 1.05) + 64);
    q.forRows(rows, [&](std::uint32_t, const std::vector<std::string_view>& v, const std::vector<char>& nul) {
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
