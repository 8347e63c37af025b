#include "engine/store/StoreQuery.h"

#include "engine/jetsql/Fold.h"
#include "engine/jetsql/SimilarIndex.h"
#include "util/Utf8.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>

namespace engine {

namespace {

// Where match() changes its way of working.
// A row list this many times longer than the rows that count: a binary search per row that
// counts costs less than copying the list.
constexpr size_t kLookUpRatio = 32;
// Each entry's rows are in order: up to this many lists are merged one into the next (each
// merge passes over the rows so far), more are sorted.
constexpr size_t kMostMergedEntries = 8;
// More rows than one in this many of the table: marking them in a bitmap of the table's
// rows and reading it back costs less than sorting them.
constexpr std::uint32_t kBitmapMergeShare = 64;
// The lengths of entries that keep none of their own are taken row by row, for up to one
// row in this many of the answer: beyond that they cost about a pass over all the rows.
constexpr size_t kRestShare = 4;

Rows intersect(const Rows& a, const Rows& b)
{
    assert(isRowList(a) && isRowList(b));
    Rows out;
    out.reserve(std::min(a.size(), b.size()));
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

Rows unite(const Rows& a, const Rows& b)
{
    assert(isRowList(a) && isRowList(b));
    Rows out;
    out.reserve(a.size() + b.size());
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
    return out;
}

// Rows 1..n that are not in a.
Rows complement(const Rows& a, std::uint32_t n)
{
    assert(isRowList(a));
    Rows out(n);
    // The runs between the rows of a, each filled with consecutive numbers (a 0 or a repeat,
    // which no row list holds, is passed over).
    auto at = out.begin();
    std::uint32_t next = 1;
    for (size_t i = 0; i < a.size() && a[i] <= n; ++i) {
        if (a[i] < next)
            continue;
        const std::uint32_t run = a[i] - next;
        std::iota(at, at + run, next);
        at += run;
        next = a[i] + 1;
    }
    const auto rest = static_cast<std::ptrdiff_t>(std::uint64_t{n} + 1 - next);
    std::iota(at, at + rest, next);
    out.erase(at + rest, out.end());
    return out;
}

} // namespace

template <class Fn>
void StoreQuery::forFolded(int j, const Rows* rows, Fn fn)
{
    std::string f;
    forRows(rows, [&](std::uint32_t r, const std::vector<std::string_view>& v,
                      const std::vector<char>& nul) {
        if (nul[static_cast<size_t>(j)])
            return;
        f = fold(v[static_cast<size_t>(j)]);
        fn(r, f);
    });
}

int StoreQuery::column(const std::string& name) const
{
    for (size_t j = 0; j < t_.columns().size(); ++j)
        if (equalsAsciiNoCase(t_.columns()[j].name, name))
            return static_cast<int>(j);
    return -1;
}

Rows StoreQuery::eval(const jet::Cond& c, bool neg, const Rows* within, ColumnMost* most)
{
    using K = jet::Cond::Kind;
    if (most)
        most->clear(); // unless an entry's own tells it, below
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
    case K::Not: return eval(*c.left, !neg, within, most);
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
        return match(j, "f " + op + " ?", binds, within, most);
    }
    case K::Like: {
        int j = column(c.column);
        bool positive = (c.negated == neg);
        std::vector<std::string> binds;
        std::string p = pattern(j, c.literal, binds);
        if (p.empty()) // matches every value
            return positive ? complement(nulls(j), rowCount()) : Rows{};
        if (!positive)
            return nonNullExcept(j, match(j, p, binds, within));
        return match(j, p, binds, within, most);
    }
    case K::Similar: {
        int j = column(c.column);
        if (c.negated != neg)
            return nonNullExcept(j, similar(j, c.literal, within));
        std::vector<Rows> byCloseness;
        Rows m = similar(j, c.literal, within, &byCloseness);
        ranks_.push_back(std::move(byCloseness));
        return m;
    }
    }
    return {};
}

Rows StoreQuery::similar(int j, const std::string& literal, const Rows* within,
                         std::vector<Rows>* byCloseness)
{
    const std::string typed = fold(literal);
    if (byCloseness)
        byCloseness->assign(similar::kClosenessClasses, Rows());
    const auto index = t_.similarIndex(j);
    if (!index) { // a plain column: its records are read
        const similar::Heard heard = similar::hear(typed);
        Rows out;
        forFolded(j, within, [&](std::uint32_t r, const std::string& f) {
            const similar::Heard stored = similar::hear(f);
            if (!similar::matches(heard, stored))
                return;
            out.push_back(r);
            if (byCloseness)
                (*byCloseness)[static_cast<size_t>(similar::closeness(typed, heard, f, stored))]
                    .push_back(r);
        });
        return out;
    }
    // The matching values' rows, closeness by closeness, a bounded number of values per
    // statement.
    const std::vector<std::vector<std::string>> found = index->find(typed);
    constexpr size_t kPerStatement = 500;
    Rows out;
    for (size_t c = 0; c < found.size(); ++c) {
        const std::vector<std::string>& values = found[c];
        Rows near;
        for (size_t from = 0; from < values.size(); from += kPerStatement) {
            const size_t n = std::min(kPerStatement, values.size() - from);
            std::string where = "f IN (?";
            for (size_t i = 1; i < n; ++i)
                where += ",?";
            where += ")";
            const std::vector<std::string> binds(values.begin() + static_cast<std::ptrdiff_t>(from),
                                                 values.begin() +
                                                     static_cast<std::ptrdiff_t>(from + n));
            Rows part = match(j, where, binds, within);
            near = near.empty() ? std::move(part) : unite(near, part);
        }
        out = out.empty() ? near : unite(out, near);
        if (byCloseness)
            (*byCloseness)[c] = std::move(near);
    }
    return out;
}

std::vector<std::uint32_t> StoreQuery::rankedOrder(const Rows& selected) const
{
    if (ranks_.empty() || selected.size() < 2)
        return {};
    // Each row's place as a number in mixed radix, a digit per condition (its closeness, or
    // one past the last when the row is there by another branch of an OR); conditions past
    // a few thousand places are left out of the ranking.
    constexpr size_t kMostPlaces = size_t{1} << 16;
    std::vector<std::uint32_t> place(selected.size(), 0);
    size_t places = 1;
    for (const std::vector<Rows>& byCloseness : ranks_) {
        const size_t digits = byCloseness.size() + 1;
        if (places * digits > kMostPlaces)
            break;
        std::vector<std::uint8_t> digit(selected.size(), static_cast<std::uint8_t>(digits - 1));
        for (size_t c = 0; c < byCloseness.size(); ++c) {
            auto at = selected.begin();
            for (std::uint32_t r : byCloseness[c]) {
                at = std::lower_bound(at, selected.end(), r);
                if (at == selected.end())
                    break;
                if (*at == r)
                    digit[static_cast<size_t>(at - selected.begin())] =
                        static_cast<std::uint8_t>(c);
            }
        }
        for (size_t i = 0; i < selected.size(); ++i)
            place[i] = static_cast<std::uint32_t>(place[i] * digits + digit[i]);
        places *= digits;
    }
    if (std::adjacent_find(place.begin(), place.end(), std::greater<>()) == place.end())
        return {}; // already in order
    // A counting sort keeps table order within a place.
    std::vector<std::uint32_t> start(places + 1, 0);
    for (std::uint32_t p : place)
        ++start[p + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> order(selected.size());
    for (size_t i = 0; i < selected.size(); ++i)
        order[start[place[i]]++] = static_cast<std::uint32_t>(i);
    return order;
}

Rows StoreQuery::nonNullExcept(int j, const Rows& m) const
{
    return complement(unite(nulls(j), m), rowCount());
}

namespace {

// Appends the rows of a bitmap (StoreFormat.h) of a table of `tableRows` rows to out: all of
// them, or (when given) those of `within` only. Throws when the map does not fit the table.
void bitmapRows(const unsigned char* map, size_t bytes, std::uint32_t tableRows, const Rows* within,
                Rows& out)
{
    record::BitmapView bitmap;
    if (!bitmap.open(map, bytes, tableRows))
        throw sql::Error(SQLITE_CORRUPT, "row bitmap damaged");
    // (counted first: the list is written in place, without growing)
    const size_t count = bitmap.count();
    if (within && within->size() <= count) { // fewer rows to test than to list
        for (std::uint32_t r : *within)
            if (bitmap.has(r))
                out.push_back(r);
        return;
    }
    size_t at = out.size();
    out.resize(at + count);
    bitmap.forEach([&](std::uint32_t r) { out[at++] = r; });
}

} // namespace

void StoreQuery::entryRows(const void* blob, size_t bytes, std::uint32_t first, const Rows* within,
                           Rows& out) const
{
    if (!blob) {
        out.push_back(first);
        return;
    }
    if (record::isBitmap(bytes)) {
        bitmapRows(static_cast<const unsigned char*>(blob), bytes, rowCount(), within, out);
        return;
    }
    if (bytes % record::kRowBytes)
        throw sql::Error(SQLITE_CORRUPT, "row list damaged");
    const size_t n = bytes / record::kRowBytes;
    if (within && within->size() * kLookUpRatio < n) {
        // A long list and few rows that count: look those up in it.
        const auto* list = static_cast<const unsigned char*>(blob);
        auto at = [&](size_t i) { return record::listRow(list, i); };
        for (std::uint32_t r : *within) {
            size_t lo = 0, hi = n;
            while (lo < hi) {
                const size_t mid = lo + (hi - lo) / 2;
                if (at(mid) < r)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo < n && at(lo) == r)
                out.push_back(r);
        }
        return;
    }
    const size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, blob, bytes);
}

void StoreQuery::mergeEntries(Rows& out, const std::vector<size_t>& starts) const
{
    const size_t entries = starts.size();
    if (entries < 2)
        return;
    if (entries <= kMostMergedEntries) {
        for (size_t e = 1; e < entries; ++e)
            std::inplace_merge(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(starts[e]),
                               e + 1 < entries
                                   ? out.begin() + static_cast<std::ptrdiff_t>(starts[e + 1])
                                   : out.end());
    } else if (out.size() > rowCount() / kBitmapMergeShare) {
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
                out.push_back(
                    static_cast<std::uint32_t>((w << 6) | static_cast<size_t>(__builtin_ctzll(b))));
    } else {
        std::sort(out.begin(), out.end());
    }
}

Rows StoreQuery::match(int j, const std::string& where, const std::vector<std::string>& binds,
                       const Rows* within, ColumnMost* most)
{
    if (most)
        most->clear();
    if (t_.column(j).plain())
        return scanMatch(j, where, binds, within);
    sql::Stmt st(t_.db(), "SELECT first, rows, most FROM " + dn(j) + " WHERE " + where);
    for (size_t i = 0; i < binds.size(); ++i)
        st.bindText(static_cast<int>(i + 1), binds[i]);
    Rows out;
    std::vector<size_t> starts; // where each entry's rows begin in out
    // The longest lengths over the entries' rows (when every row of them counts): an entry's
    // own, or its rows to take them from.
    ColumnMost longest;
    const bool known = most && !within;
    if (known)
        longest.most.assign(t_.columns().size(), 0);
    while (st.step()) {
        starts.push_back(out.size());
        const void* b = sqlite3_column_blob(st.get(), 1);
        entryRows(b, static_cast<size_t>(sqlite3_column_bytes(st.get(), 1)),
                  static_cast<std::uint32_t>(st.integer(0)), within, out);
        if (!known)
            continue;
        const auto* m = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 2));
        if (m && static_cast<size_t>(sqlite3_column_bytes(st.get(), 2)) == longest.most.size()) {
            for (size_t c = 0; c < longest.most.size(); ++c)
                longest.most[c] = std::max(longest.most[c], m[c]);
        } else {
            longest.rest.insert(longest.rest.end(),
                                out.begin() + static_cast<std::ptrdiff_t>(starts.back()),
                                out.end());
        }
    }
    mergeEntries(out, starts);
    if (!isRowList(out) || (!out.empty() && (out.front() < 1 || out.back() > rowCount())))
        throw sql::Error(SQLITE_CORRUPT, "row list damaged");
    if (known && longest.rest.size() * kRestShare <= out.size())
        *most = std::move(longest);
    return out;
}

Rows StoreQuery::scanMatch(int j, const std::string& where, const std::vector<std::string>& binds,
                           const Rows* within)
{
    sql::Stmt st(t_.db(), "WITH d(f) AS (SELECT ?) SELECT 1 FROM d WHERE " + where);
    Rows out;
    forFolded(j, within, [&](std::uint32_t r, const std::string& f) {
        st.reset(); // (clears the bindings too)
        st.bindStatic(1, f);
        for (size_t i = 0; i < binds.size(); ++i)
            st.bindStatic(static_cast<int>(i + 2), binds[i]);
        if (st.step())
            out.push_back(r);
    });
    return out;
}

std::string StoreQuery::pattern(int j, const std::string& raw, std::vector<std::string>& binds)
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
    const auto& col = t_.column(j);
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

std::string StoreQuery::range(const char* col, const std::string& prefix,
                              std::vector<std::string>& binds)
{
    binds.push_back(prefix);
    binds.push_back(prefix + "\xFF");
    return std::string(col) + " >= ? AND " + col + " < ?";
}

} // namespace engine
