#include "bench/ReadBack.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>

namespace bench {

namespace {

// The column's most frequent values made only of lower-case letters (the ones a person
// would type), most frequent first.
std::vector<QString> topValues(const ColumnValues& cv, const char* column, size_t n, bool lowerOnly)
{
    std::vector<std::pair<std::int64_t, QString>> all;
    for (const auto& [value, count] : cv.counts.at(column)) {
        const QString q = QString::fromStdString(value);
        if (q.size() < 4 || q != q.trimmed() || (lowerOnly && q != q.toLower()))
            continue;
        if (std::all_of(q.begin(), q.end(),
                        [](QChar c) { return c.isLetter() || c == QLatin1Char(' '); }))
            all.emplace_back(count, q);
    }
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    std::vector<QString> out;
    for (size_t i = 0; i < all.size() && i < n; ++i)
        out.push_back(all[i].second);
    return out;
}

} // namespace

std::vector<ReadBackShape> readBackCandidates(const ColumnValues& cv)
{
    constexpr size_t kTop = 25;
    std::vector<ReadBackShape> shapes(5);
    shapes[0].label = "surname exact";
    shapes[1].label = "street prefix";
    shapes[2].label = "name substring";
    shapes[3].label = "patronymic suffix";
    shapes[4].label = "surname prefix+city+sex";
    auto add = [](ReadBackShape& s, const search::SearchForm& f, const QString& shown) {
        s.candidates.push_back({f, shown.toStdString()});
    };
    const std::vector<QString> fam = topValues(cv, "FAM", kTop, true);
    for (const QString& v : fam) {
        search::SearchForm f;
        f.fam = v;
        add(shapes[0], f, v);
    }
    for (const QString& v : topValues(cv, "STRIT", kTop, false))
        for (int len = 3; len <= std::min<int>(8, int(v.size()) - 1); ++len) {
            search::SearchForm f;
            f.strit = v.left(len);
            f.stritMode = search::kModePrefix;
            add(shapes[1], f, f.strit);
        }
    for (const QString& v : topValues(cv, "NAME", kTop, true))
        for (int at = 0; at + 3 <= int(v.size()); ++at) {
            search::SearchForm f;
            f.name = v.mid(at, 3);
            f.nameMode = search::kModeAnywhere;
            add(shapes[2], f, f.name);
        }
    for (const QString& v : topValues(cv, "OTCHEST", kTop, true))
        for (int len = 3; len <= std::min<int>(7, int(v.size()) - 1); ++len) {
            search::SearchForm f;
            f.otchest = v.right(len);
            f.otchestMode = search::kModeSuffix;
            add(shapes[3], f, f.otchest);
        }
    const std::vector<QString> city = topValues(cv, "CITI", 1, false);
    if (!city.empty())
        for (const QString& v : fam)
            for (int len = 2; len <= std::min<int>(5, int(v.size()) - 1); ++len) {
                search::SearchForm f;
                f.fam = v.left(len);
                f.famMode = search::kModePrefix;
                f.citi = city.front();
                f.female = true;
                add(shapes[4], f, f.fam + QStringLiteral("+") + f.citi + QStringLiteral("+Ж"));
            }
    return shapes;
}

void pickReadBack(std::vector<ReadBackShape>& shapes,
                  const std::function<std::int64_t(const std::string& where)>& count,
                  std::int64_t target)
{
    for (ReadBackShape& s : shapes) {
        std::set<std::string> tried;
        std::int64_t bestDistance = -1;
        for (const auto& c : s.candidates) {
            const std::string where = search::whereText(c.form).toStdString();
            if (where.empty() || !tried.insert(where).second)
                continue;
            const std::int64_t n = count(where);
            const std::int64_t d = std::llabs(n - target);
            if (n > 0 && (bestDistance < 0 || d < bestDistance)) {
                bestDistance = d;
                s.where = where;
                s.value = c.shown;
                s.rows = n;
            }
        }
    }
}

void runReadBack(std::vector<ReadBackShape>& shapes, const std::string& fzsql,
                 const std::string& mdb, const std::string& work, int reps, int mdbSqlLimit)
{
    const std::string out = work + "/readback.out";
    for (ReadBackShape& s : shapes) {
        if (s.where.empty())
            continue;
        const std::string statement = "SELECT * FROM FZ_T1 WHERE" + s.where;
        std::vector<double> t;
        for (int i = 0; i <= reps; ++i) {
            const RunResult r = runProgram({fzsql, mdb, statement}, "", out, 0);
            if (!r.started || r.exitCode != 0) {
                s.note = "fzsql failed";
                break;
            }
            if (i > 0) // the first run may still find the file's store missing
                t.push_back(r.ms);
        }
        s.fzsqlMs = median(t);
        s.fzsqlRows = std::atoll(readFile(out).substr(0, 24).c_str());
        if (mdbSqlLimit > 0) {
            const std::string in = work + "/readback.sql";
            writeFile(in, "SELECT * FROM FZ_T1 WHERE" + whereForMdbSql(s.where) + "\ngo\n");
            const RunResult r =
                runProgram({"mdb-sql", "-H", "-F", "-P", "-i", in, mdb}, "", out, mdbSqlLimit);
            if (r.timedOut) {
                s.note = ">" + std::to_string(mdbSqlLimit) + "s";
                s.mdbMs = r.ms;
            } else if (r.started && r.exitCode == 0) {
                s.mdbMs = r.ms;
                s.mdbRows = countNonEmptyLines(out);
            } else {
                s.note = "mdb-sql failed";
            }
        }
        std::error_code ec;
        std::filesystem::remove(out, ec);
        std::cerr << "  read back " << s.label << ": " << s.rows << " rows, fzsql "
                  << fmtMs(s.fzsqlMs) << " ms, mdb-sql " << fmtMs(s.mdbMs) << " ms " << s.note
                  << std::endl;
    }
}

} // namespace bench
