// Every way the store answers a comparison (equality on the dictionary, prefix and suffix
// ranges, the trigram index, short substrings, general patterns, negations) must give
// exactly the rows a plain scan gives. Values are messy on purpose: spaces, quotes, % and _,
// * ? [ ], mixed case, Cyrillic with ё, empty texts and nulls.
#include "EngineTestSupport.h"

#include "engine/ConnectionString.h"
#include "engine/import/StoreCache.h"
#include "engine/jetsql/Fold.h"
#include "util/Utf8.h"

#include <sqlite3.h>

#include <algorithm>
#include <random>
#include <set>

using namespace enginetest;

namespace {

const std::vector<std::string> kAlphabet = {"а",  "А", "б", "Б", "е", "Е", "ё", "Ё",
                                            "ж",  "a", "A", "b", "B", " ", "%", "_",
                                            "\"", "'", "*", "?", "[", "]", "1"};

std::vector<char32_t> chars(const std::string& s)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();)
        out.push_back(fz::utf8::decode(s, i));
    return out;
}

// Plain LIKE: % any run, _ one character, everything else itself (after folding).
bool like(const std::vector<char32_t>& v, size_t i, const std::vector<char32_t>& p, size_t j)
{
    if (j == p.size())
        return i == v.size();
    if (p[j] == U'%') {
        for (size_t k = i; k <= v.size(); ++k)
            if (like(v, k, p, j + 1))
                return true;
        return false;
    }
    if (i == v.size())
        return false;
    return (p[j] == U'_' || p[j] == v[i]) && like(v, i + 1, p, j + 1);
}

std::string quoted(const std::string& s)
{
    std::string q = "\"";
    for (char c : s)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

} // namespace

class TestFastPaths : public QObject {
    Q_OBJECT

    std::vector<Cell> values_; // row i+1
    engine::AdoQuery q_;
    std::string mdb_; // the table's file
    std::mt19937 rng_{20240607};

    std::string randomText(int maxLen)
    {
        std::string s;
        int n = int(rng_() % unsigned(maxLen + 1));
        for (int i = 0; i < n; ++i)
            s += kAlphabet[rng_() % kAlphabet.size()];
        return s;
    }

    // Row numbers where `test` holds for the value (nulls never).
    template <class Test>
    std::vector<int> expected(Test test, bool ofKod = false) const
    {
        std::vector<int> out;
        for (size_t i = 0; i < values_.size(); ++i) {
            const Cell v = ofKod ? unique(int(i)) : values_[i];
            if (v && test(*v))
                out.push_back(int(i + 1));
        }
        return out;
    }

    // POL of row i + 1: nearly always one value (a long row list), now and then another or null
    // (the other also in the rows of the longest texts, the last two).
    static Cell sex(int i)
    {
        return i % 97 == 5                ? Cell()
               : i % 41 == 3 || i >= 1500 ? Cell("М")
                                          : Cell(i % 2 ? "ж" : "Ж");
    }

    // KOD of row i + 1: the row's messy value made nearly unique (a column kept without a
    // dictionary); a few values repeat.
    Cell unique(int i) const
    {
        const Cell& v = values_[size_t(i)];
        if (!v)
            return std::nullopt;
        const std::string tail = kAlphabet[size_t(i) % kAlphabet.size()] + std::to_string(i % 1400);
        return chars(*v).size() + chars(tail).size() > 255 ? *v : *v + tail;
    }

    std::vector<int> actual(const std::string& where)
    {
        Table t = run(q_, "SELECT * FROM FZ_T1 WHERE " + where);
        std::vector<int> out;
        for (const auto& row : t)
            out.push_back(std::stoi(*row.at(0)));
        std::sort(out.begin(), out.end());
        return out;
    }

    void checkPattern(const std::string& pattern)
    {
        const auto p = chars(engine::fold(pattern));
        const auto want =
            expected([&](const std::string& v) { return like(chars(engine::fold(v)), 0, p, 0); });
        const auto wantNot =
            expected([&](const std::string& v) { return !like(chars(engine::fold(v)), 0, p, 0); });
        for (const char* col : {"FAM", "TEL_h"}) {
            const std::string c(col);
            QCOMPARE(actual(c + " LIKE " + quoted(pattern)), want);
            QCOMPARE(actual(c + " NOT LIKE " + quoted(pattern)), wantNot);
        }
        if (checked_ % 4 == 0) { // the plain column reads every record: not every pattern
            QCOMPARE(
                actual("KOD LIKE " + quoted(pattern)),
                expected(
                    [&](const std::string& v) { return like(chars(engine::fold(v)), 0, p, 0); },
                    true));
            QCOMPARE(
                actual("KOD NOT LIKE " + quoted(pattern)),
                expected(
                    [&](const std::string& v) { return !like(chars(engine::fold(v)), 0, p, 0); },
                    true));
        }
        ++checked_;
    }

    int checked_ = 0;

private slots:
    void initTestCase()
    {
        std::vector<std::string> pool;
        for (int i = 0; i < 60; ++i)
            pool.push_back(randomText(6));
        pool.push_back("");
        pool.push_back(" ");
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 1500; ++i) {
            Cell v;
            unsigned r = rng_() % 100;
            if (r < 8)
                v = std::nullopt;
            else if (r < 60)
                v = pool[rng_() % pool.size()];
            else
                v = randomText(8);
            values_.push_back(v);
            rows.push_back({std::to_string(i + 1), v, v, unique(i), sex(i)});
        }
        // The longest texts a column holds: their lengths are counted, not just capped.
        for (const std::string& v : {std::string(254, 'x'), [] {
                                         std::string b;
                                         for (int i = 0; i < 255; ++i)
                                             b += "Б";
                                         return b;
                                     }()}) {
            values_.push_back(v);
            rows.push_back({std::to_string(values_.size()), v, v, unique(int(values_.size()) - 1),
                            sex(int(values_.size()) - 1)});
        }
        std::vector<jet4::Column> cols = {{"ID", jet4::ColumnType::Long, 0},
                                          {"FAM", jet4::ColumnType::Text, 255},
                                          {"TEL_h", jet4::ColumnType::Text, 255},
                                          {"KOD", jet4::ColumnType::Text, 255},
                                          {"POL", jet4::ColumnType::Text, 255}};
        const std::string dir = freshDir("fastpaths");
        mdb_ = dir + "/tabl1.mdb";
        jet4::writeTable(mdb_, "FZ_T1", cols, rows);
        q_.setConnectionString(engine::buildConnectionString(dir));
    }

    void equalityAndInequality()
    {
        std::set<std::string> probes = {"", " ", "нет", "Ё", "ё", "е"};
        for (int i = 0; i < 40; ++i)
            if (const Cell& v = values_[rng_() % values_.size()])
                probes.insert(*v);
        for (const auto& s : probes) {
            const std::string f = engine::fold(s);
            for (const char* col : {"FAM", "TEL_h"}) {
                const std::string c(col);
                QCOMPARE(actual(c + "=" + quoted(s)),
                         expected([&](const std::string& v) { return engine::fold(v) == f; }));
                QCOMPARE(actual(c + "<>" + quoted(s)),
                         expected([&](const std::string& v) { return engine::fold(v) != f; }));
                QCOMPARE(actual("NOT " + c + "=" + quoted(s)),
                         expected([&](const std::string& v) { return engine::fold(v) != f; }));
            }
        }
    }

    void prefixSuffixSubstring()
    {
        for (int i = 0; i < 60; ++i) {
            const Cell& v = values_[rng_() % values_.size()];
            if (!v)
                continue;
            const auto cs = chars(*v);
            // pieces cut out of real values, 0..4 characters long
            size_t from = cs.empty() ? 0 : rng_() % cs.size();
            size_t len = std::min<size_t>(rng_() % 5, cs.size() - from);
            std::string piece;
            size_t pos = 0, k = 0;
            for (size_t b = 0; b < v->size() && k < from + len; ++k) {
                size_t start = b;
                fz::utf8::decode(*v, b);
                if (k >= from)
                    piece += v->substr(start, b - start);
                pos = b;
            }
            (void)pos;
            checkPattern(piece + "%");
            checkPattern("%" + piece);
            checkPattern("%" + piece + "%");
        }
    }

    void generalPatterns()
    {
        for (const std::string p :
             {"%",   "%%",  "_",    "__",  "",    "_%",    "%_",      "%а%б%", "а_%",
              "%_ё", "%[%", "%*%",  "%?",  "[%",  "%\"%",  "%'%",     "% %",   "%ё%",
              "%Ё",  "е%",  "%%%е", "_ _", "a%b", "%a_b%", "%_%_%_%", "ж",     "%ж%ж%"})
            checkPattern(p);
        for (int i = 0; i < 60; ++i) {
            std::string p;
            int n = 1 + int(rng_() % 4);
            for (int k = 0; k < n; ++k) {
                unsigned r = rng_() % 10;
                p += r < 3   ? std::string("%")
                     : r < 5 ? std::string("_")
                             : kAlphabet[rng_() % kAlphabet.size()];
            }
            checkPattern(p);
        }
        QVERIFY(checked_ > 80);
    }

    // KOD has no dictionary in the store; comparisons on it read the records and agree
    // with a scan all the same.
    void plainColumn()
    {
        {
            sqlite3* db = nullptr;
            const std::string store = engine::StoreCache::storePathFor(
                engine::StoreCache::absolutePath(engine::dataSource(q_.connectionString())));
            QCOMPARE(sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
            sqlite3_stmt* st = nullptr;
            QCOMPARE(sqlite3_prepare_v2(db, "SELECT name, distinct_n FROM fz_columns ORDER BY pos",
                                        -1, &st, nullptr),
                     SQLITE_OK);
            std::vector<std::pair<std::string, std::int64_t>> cols;
            while (sqlite3_step(st) == SQLITE_ROW)
                cols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                  sqlite3_column_int64(st, 1));
            sqlite3_finalize(st);
            sqlite3_close(db);
            QCOMPARE(cols.size(), std::size_t(5));
            QCOMPARE(cols[3].second, std::int64_t(-1)); // KOD: plain
            QVERIFY(cols[1].second > 0 && cols[2].second > 0);
        }
        std::set<std::string> probes = {"", "нет"};
        for (int i = 0; i < 12; ++i)
            if (const Cell v = unique(int(rng_() % values_.size())))
                probes.insert(*v);
        for (const auto& s : probes) {
            const std::string f = engine::fold(s);
            QCOMPARE(actual("KOD=" + quoted(s)),
                     expected([&](const std::string& v) { return engine::fold(v) == f; }, true));
            QCOMPARE(actual("KOD<>" + quoted(s)),
                     expected([&](const std::string& v) { return engine::fold(v) != f; }, true));
            QCOMPARE(actual("KOD>=" + quoted(s)),
                     expected([&](const std::string& v) { return engine::fold(v) >= f; }, true));
        }
        std::vector<int> nulls;
        for (size_t i = 0; i < values_.size(); ++i)
            if (!values_[i])
                nulls.push_back(int(i + 1));
        QCOMPARE(actual("KOD IS NULL"), nulls);
        // Distinct over the whole column and over some rows: the same values as a scan.
        for (const std::string where : {"", " WHERE FAM LIKE \"а%\""}) {
            Table t = run(q_, "SELECT DISTINCT KOD FROM FZ_T1" + where);
            std::set<std::string> want;
            bool wantNull = false;
            for (int id : where.empty() ? expected([](const std::string&) { return true; })
                                        : expected([](const std::string& v) {
                                              return engine::fold(v).rfind("а", 0) == 0;
                                          }))
                want.insert(engine::fold(*unique(id - 1)));
            if (where.empty())
                wantNull = true;
            std::set<std::string> got;
            bool gotNull = false;
            for (const auto& row : t) {
                if (!row.at(0))
                    gotNull = true;
                else
                    got.insert(engine::fold(*row.at(0)));
            }
            QCOMPARE(got, want);
            QCOMPARE(gotNull, wantNull);
            QCOMPARE(t.size(), want.size() + (wantNull ? 1 : 0));
        }
    }

    void combinations()
    {
        auto pre = [](const std::string& v) { return engine::fold(v).rfind("а", 0) == 0; };
        auto has = [](const std::string& v) {
            return engine::fold(v).find("б") != std::string::npos;
        };
        QCOMPARE(actual("FAM LIKE \"а%\" AND TEL_h LIKE \"%Б%\""),
                 expected([&](const std::string& v) { return pre(v) && has(v); }));
        QCOMPARE(actual("FAM LIKE \"а%\" OR TEL_h LIKE \"%Б%\""),
                 expected([&](const std::string& v) { return pre(v) || has(v); }));
        QCOMPARE(actual("NOT (FAM LIKE \"а%\" OR NOT TEL_h LIKE \"%Б%\")"),
                 expected([&](const std::string& v) { return !pre(v) && has(v); }));
        // A condition after a selective one: the long row list of POL is looked up, the
        // plain KOD reads only the rows left.
        for (int k = 0; k < 8; ++k) {
            const Cell& v = values_[rng_() % values_.size()];
            if (!v)
                continue;
            const std::string f = engine::fold(*v);
            auto rowsWhere = [&](auto test) {
                std::vector<int> out;
                for (size_t i = 0; i < values_.size(); ++i)
                    if (values_[i] && engine::fold(*values_[i]) == f && test(int(i)))
                        out.push_back(int(i + 1));
                return out;
            };
            auto isF = [](int i) { return sex(i) && engine::fold(*sex(i)) == "ж"; };
            auto kodHas1 = [&](int i) {
                return unique(i) && unique(i)->find('1') != std::string::npos;
            };
            QCOMPARE(actual("FAM=" + quoted(*v) + " AND POL=\"ж\""), rowsWhere(isF));
            QCOMPARE(actual("FAM=" + quoted(*v) + " AND POL LIKE \"Ж%\""), rowsWhere(isF));
            QCOMPARE(actual("FAM=" + quoted(*v) + " AND NOT POL=\"ж\""),
                     rowsWhere([&](int i) { return sex(i) && !isF(i); }));
            QCOMPARE(actual("FAM=" + quoted(*v) + " AND POL=\"ж\" AND KOD LIKE \"%1%\""),
                     rowsWhere([&](int i) { return isF(i) && kodHas1(i); }));
            QCOMPARE(actual("FAM=" + quoted(*v) + " AND NOT KOD LIKE \"%1%\""),
                     rowsWhere([&](int i) { return unique(i) && !kodHas1(i); }));
            QCOMPARE(actual("(FAM=" + quoted(*v) + " OR TEL_h=" + quoted(*v) + ") AND POL=\"ж\""),
                     rowsWhere(isF));
        }
        std::vector<int> nulls;
        for (size_t i = 0; i < values_.size(); ++i)
            if (!values_[i])
                nulls.push_back(int(i + 1));
        QCOMPARE(actual("FAM IS NULL"), nulls);
        QCOMPARE(actual("NOT FAM IS NOT NULL AND TEL_h IS NULL"), nulls);
    }

    // A big result reads its records when asked: every cell must still be right in any order
    // of reading, after the query closed and after it ran another statement.
    void resultReadsRecordsWhenAsked()
    {
        engine::AdoQuery q;
        q.setConnectionString(q_.connectionString());
        q.addSql("SELECT * FROM FZ_T1 WHERE TEL_h IS NULL OR TEL_h LIKE \"%а%\"");
        q.open();
        std::vector<int> want = expected(
            [](const std::string& v) { return engine::fold(v).find("а") != std::string::npos; });
        for (size_t i = 0; i < values_.size(); ++i)
            if (!values_[i])
                want.push_back(int(i + 1));
        std::sort(want.begin(), want.end());
        std::shared_ptr<const engine::ResultSet> kept = q.result();
        std::shared_ptr<const engine::ResultSet> all, allBut300;
        for (const auto& [r, sql] :
             {std::pair{&all, ""}, std::pair{&allBut300, " WHERE NOT ID = 300"}}) {
            engine::AdoQuery other;
            other.setConnectionString(q_.connectionString());
            other.addSql(std::string("SELECT * FROM FZ_T1") + sql);
            other.open();
            *r = other.result();
        }
        QCOMPARE(allBut300->rowCount(), std::int64_t(values_.size()) - 1);
        q.close();
        q.clearSql();
        q.addSql("SELECT * FROM FZ_T1 WHERE FAM IS NOT NULL");
        q.open();
        QVERIFY(q.result() != kept);
        QCOMPARE(kept->rowCount(), std::int64_t(want.size()));
        QCOMPARE(all->rowCount(), std::int64_t(values_.size()));

        auto check = [&](const engine::ResultSet& r, const std::vector<int>& ids, std::int64_t i) {
            const int id = ids[size_t(i)];
            QCOMPARE(std::string(r.value(i, 0)), std::to_string(id));
            const Cell& v = values_[size_t(id - 1)];
            for (int c : {1, 2}) {
                QCOMPARE(r.isNull(i, c), !v.has_value());
                QCOMPARE(std::string(r.value(i, c)), v.value_or(""));
            }
            QCOMPARE(std::string(r.value(i, 3)), unique(id - 1).value_or(""));
            // the row at once, columns in any order (and one that is not there: empty)
            const int cols[] = {3, 0, 2, 1, 9};
            std::string one[5];
            for (int k = 0; k < 5; ++k)
                one[k] = r.value(i, cols[k]);
            std::string_view row[5];
            r.values(i, cols, 5, row);
            for (int k = 0; k < 5; ++k)
                QCOMPARE(std::string(row[k]), one[k]);
        };
        std::vector<int> every(values_.size());
        for (size_t i = 0; i < every.size(); ++i)
            every[i] = int(i + 1);
        for (const auto* set : {&want, &every}) {
            const engine::ResultSet& r = set == &want ? *kept : *all;
            // in row order, as an export reads
            for (std::int64_t i = 0; i < r.rowCount(); ++i)
                check(r, *set, i);
            // backwards, and at random
            for (std::int64_t i = r.rowCount() - 1; i >= 0; i -= 7)
                check(r, *set, i);
            for (int k = 0; k < 3000; ++k)
                check(r, *set, std::int64_t(rng_() % std::uint64_t(r.rowCount())));
            // beyond the ends: nothing, as null
            QVERIFY(r.isNull(-1, 1) && r.isNull(r.rowCount(), 1) && r.isNull(0, 5));
            QVERIFY(r.value(r.rowCount(), 0).empty());
        }
        // The longest text of a column, from the stored lengths, equals a count over every value.
        for (const auto& r : {kept, all})
            for (int c = 0; c < 4; ++c)
                for (std::int64_t n : {std::int64_t(-1), std::int64_t(0), std::int64_t(1),
                                       std::int64_t(100), r->rowCount() - 1})
                    QCOMPARE(r->maxCharLength(c, n), r->engine::ResultSet::maxCharLength(c, n));
        QCOMPARE(all->maxCharLength(1), 255);
        // (all rows, and all but one: whole blocks of rows and a part of one; up to row 768
        // the ID column holds at most 3 digits, beyond it 4)
        for (const auto& r : {kept, all, allBut300})
            for (std::int64_t n : {std::int64_t(-1), std::int64_t(7), std::int64_t(767),
                                   std::int64_t(768), r->rowCount() - 1}) {
                std::vector<int> got, want;
                r->maxCharLengths({4, 2, 1, 0, 3}, n, got);
                for (int c : {4, 2, 1, 0, 3})
                    want.push_back(r->engine::ResultSet::maxCharLength(c, n));
                QCOMPARE(got, want);
            }
    }

    // Widths taken from the dictionary entries' own maxima (a result of whole entries: POL
    // "ж" has many rows and keeps its own, "м" few and does not) equal a count over the rows,
    // as do those of results that are not whole entries.
    void widthsOfWholeEntries()
    {
        for (const char* where :
             {"POL = \"ж\"", "NOT POL <> \"Ж\"", "POL LIKE \"%Ж\"", "POL = \"м\"",
              "POL = \"ж\" OR POL = \"м\"", "POL LIKE \"_\"", "POL = \"ж\" AND FAM LIKE \"%а%\"",
              "POL = \"ж\" AND NOT ID = 3"}) {
            engine::AdoQuery q;
            q.setConnectionString(q_.connectionString());
            q.addSql(std::string("SELECT * FROM FZ_T1 WHERE ") + where);
            q.open();
            const auto r = q.result();
            QVERIFY(r->rowCount() > 0);
            for (std::int64_t n : {std::int64_t(-1), std::int64_t(1), r->rowCount() - 1}) {
                std::vector<int> got, want;
                r->maxCharLengths({4, 2, 1, 0, 3}, n, got);
                for (int c : {4, 2, 1, 0, 3})
                    want.push_back(r->engine::ResultSet::maxCharLength(c, n));
                QCOMPARE(got, want);
            }
        }
    }

    // A cell is kept as a number standing for its column's spelling only where that gives
    // back its exact text: past the first rows (a column may still turn plain there), among
    // the column's first values, and when the text is not long; a second spelling of a
    // value keeps its own.
    void cellsReadAsWritten()
    {
        std::vector<Cell> obl;
        std::vector<jet4::Row> rows;
        std::string longText; // longer in bytes than any spelling a cell refers to
        for (int i = 0; i < 200; ++i)
            longText += "Ж";
        for (int i = 0; i < 10000; ++i) {
            std::string v = "Улица " + std::to_string(i % 6000);
            if (i >= 6000 && i % 2)
                v = "УЛИЦА " + std::to_string(i % 6000);
            if (i >= 9000 && i % 10 == 3)
                v += " новая"; // values first seen late
            Cell c = i % 13 == 0 ? Cell() : Cell(v);
            if (i == 1 || i == 9001)
                c = longText;
            obl.push_back(c);
            rows.push_back({std::to_string(i + 1), c});
        }
        const std::string dir = freshDir("spellings");
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1",
                         {{"ID", jet4::ColumnType::Long, 0}, {"OBL", jet4::ColumnType::Text, 255}},
                         rows);
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        q.addSql("SELECT * FROM FZ_T1");
        q.open();
        const auto all = q.result();
        QCOMPARE(all->rowCount(), std::int64_t(obl.size()));
        for (std::int64_t i = 0; i < all->rowCount(); ++i) {
            QCOMPARE(all->isNull(i, 1), !obl[size_t(i)]);
            QCOMPARE(std::string(all->value(i, 1)), obl[size_t(i)].value_or(""));
        }
        // a few rows, read at once
        const Table few = run(q, "SELECT OBL FROM FZ_T1 WHERE ID LIKE \"900_\"");
        QCOMPARE(few.size(), size_t(10));
        for (size_t k = 0; k < few.size(); ++k)
            QCOMPARE(few[k][0], obl[8999 + k]);
    }

    // A chunk whose record offsets point outside it, or that is shorter than its offsets,
    // is found by the pages' checksums: the store is made again and a big result (whether
    // it reads chunks whole or record by record) reads every row as it is, never a damaged
    // record as empty cells; so does a small result, read at once. (Last: it damages the
    // store.)
    void damagedChunkIsMadeAgain()
    {
        {
            engine::AdoQuery warm; // the store exists
            warm.setConnectionString(q_.connectionString());
            warm.addSql("SELECT Count(*) FROM FZ_T1");
            warm.open();
        }
        // Two chunks that hold rows without a surname: chunk a cut to 10 bytes, and in chunk b
        // the record of row idB (and so the end of the one before it) moved far beyond it.
        std::vector<int> every, nullFam; // the rows of the two results below
        for (size_t i = 0; i < values_.size(); ++i) {
            every.push_back(int(i + 1));
            if (!values_[i])
                nullFam.push_back(int(i + 1));
        }
        auto chunkOf = [](int id) { return (id - 1) / 16; };
        const int a = chunkOf(nullFam.at(1));
        const int idB =
            *std::find_if(nullFam.begin(), nullFam.end(), [&](int id) { return chunkOf(id) > a; });
        const int b = chunkOf(idB), rB = (idB - 1) % 16;
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(engine::StoreCache::storePathFor(mdb_).c_str(), &db), SQLITE_OK);
        const std::string damage =
            "UPDATE t0 SET recs = CAST(substr(recs, 1, 10) AS BLOB) WHERE chunk = " +
            std::to_string(a) + ";" + "UPDATE t0 SET recs = CAST(substr(recs, 1, " +
            std::to_string(4 * rB) + ") || X'00FFFFFF' || substr(recs, " +
            std::to_string(4 * rB + 5) + ") AS BLOB) WHERE chunk = " + std::to_string(b);
        QCOMPARE(sqlite3_exec(db, damage.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        // every row (read a chunk at a time); rows without a surname, about one in twelve
        // (read record by record)
        for (const auto& [where, ids] :
             {std::pair{"", &every}, std::pair{" WHERE FAM IS NULL", &nullFam}}) {
            engine::AdoQuery q;
            q.setConnectionString(q_.connectionString());
            q.addSql(std::string("SELECT * FROM FZ_T1") + where);
            q.open();
            const auto r = q.result();
            QCOMPARE(r->rowCount(), std::int64_t(ids->size()));
            QVERIFY(r->rowCount() > 64);
            for (int pass = 0; pass < 2; ++pass) // in row order, then backwards
                for (std::int64_t k = 0; k < r->rowCount(); ++k) {
                    const std::int64_t i = pass ? r->rowCount() - 1 - k : k;
                    const int id = (*ids)[size_t(i)];
                    QCOMPARE(std::string(r->value(i, 0)), std::to_string(id));
                    QCOMPARE(r->isNull(i, 1), !values_[size_t(id - 1)]);
                    QCOMPARE(std::string(r->value(i, 1)), values_[size_t(id - 1)].value_or(""));
                    QCOMPARE(std::string(r->value(i, 3)), unique(id - 1).value_or(""));
                }
            QVERIFY(!r->damaged());
        }
        // Read at once, the damage is found and the store made again from the database.
        const Table again =
            run(q_, "SELECT * FROM FZ_T1 WHERE ID = \"" + std::to_string(idB) + "\"");
        QCOMPARE(again.size(), size_t(1));
        QCOMPARE(again[0][0], Cell(std::to_string(idB)));
        QCOMPARE(again[0][3], unique(idB - 1));

        // A null list is read when a condition first needs it: one damaged then is found
        // there, and the store made again.
        QCOMPARE(sqlite3_open(engine::StoreCache::storePathFor(mdb_).c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE fz_columns SET nulls = X'0200000001000000' WHERE pos = 1",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        QCOMPARE(run(q_, "SELECT Count(*) FROM FZ_T1 WHERE FAM IS NULL"),
                 Table{{Cell(std::to_string(nullFam.size()))}});

        // So are a column's spellings, when a cell first refers to one.
        QCOMPARE(sqlite3_open(engine::StoreCache::storePathFor(mdb_).c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "UPDATE s0 SET words = X'05' WHERE col = 1", nullptr, nullptr,
                              nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        const size_t named = size_t(std::find_if(values_.begin(), values_.end(),
                                                 [](const Cell& v) { return v && !v->empty(); }) -
                                    values_.begin());
        QCOMPARE(run(q_, "SELECT FAM FROM FZ_T1 WHERE ID = \"" + std::to_string(named + 1) + "\""),
                 Table{{values_[named]}});

        // and a row bitmap naming rows beyond the table
        QCOMPARE(sqlite3_open(engine::StoreCache::storePathFor(mdb_).c_str(), &db), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(
                db,
                "UPDATE d0_4 SET rows = CAST(substr(rows, 1, length(rows) - 1) || X'FF' AS BLOB)"
                " WHERE length(rows) % 4 = 1",
                nullptr, nullptr, nullptr),
            SQLITE_OK);
        QVERIFY(sqlite3_changes(db) > 0);
        sqlite3_close(db);
        int women = 0;
        for (size_t i = 0; i < values_.size(); ++i)
            women += sex(int(i)) && *sex(int(i)) != "М";
        QCOMPARE(run(q_, "SELECT Count(*) FROM FZ_T1 WHERE POL = \"ж\""),
                 Table{{Cell(std::to_string(women))}});
    }
};

QTEST_GUILESS_MAIN(TestFastPaths)
#include "test_fast_paths.moc"
