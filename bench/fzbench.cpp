// fzbench: how fast the look-up tool opens a city-sized person table and answers every kind
// of search, measured against mdbtools' mdb-sql and the sqlite3 shell on the same file.
//
//   fzbench [--rows N] [--db PATH] [--reps K] [--work DIR] [--no-peers] [--quick]
//           [--mdbsql-limit SECONDS]
//
// Without --db it writes FZ_T1 with N persons (default 1,000,000; seed 1, awkward rows
// included) into the work folder. Every time printed is a median over K runs (mdb-sql: one
// run per statement, it needs seconds for each).

#include "app/DatabaseLoad.h"
#include "bench/BenchSupport.h"
#include "bench/Peers.h"
#include "bench/ReadBack.h"
#include "bench/Report.h"
#include "bench/Searcher.h"
#include "bench/Shapes.h"
#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "output/CsvExport.h"
#include "tools/fzgen/Population.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>

namespace fs = std::filesystem;
using bench::Clock;
using bench::fmtMs;
using bench::Kind;
using bench::kNaN;
using bench::Measured;
using bench::median;
using bench::msSince;
using bench::say;
using bench::Searcher;
using bench::Shape;

namespace {

const char* const kUsage =
    "usage: fzbench [--rows N] [--db PATH] [--reps K] [--work DIR] [--no-peers] [--quick]\n"
    "               [--mdbsql-limit SECONDS]";

// The size of the read-back searches' results (a 64th of a smaller table).
constexpr std::int64_t kReadBackRows = 15000;

struct Options {
    std::int64_t rows = 1000000;
    bool rowsGiven = false;
    std::string db;
    int reps = 5;
    bool repsGiven = false;
    std::string work = "fzbench-work";
    bool peers = true;
    bool quick = false;
    int mdbSqlLimit = 120;
};

// Reads the arguments into o; the exit status when the program is to stop there.
std::optional<int> parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "fzbench: " << a << " needs a value\n" << kUsage << "\n";
                std::exit(2);
            }
            return argv[++i];
        };
        auto number = [&](const std::string& v) -> std::int64_t {
            char* end = nullptr;
            const long long n = std::strtoll(v.c_str(), &end, 10);
            if (v.empty() || *end || n <= 0) {
                std::cerr << "fzbench: " << a << " needs a positive whole number\n";
                std::exit(2);
            }
            return n;
        };
        if (a == "--rows") {
            o.rows = number(next());
            o.rowsGiven = true;
        } else if (a == "--db") {
            o.db = next();
        } else if (a == "--reps") {
            o.reps = int(std::min<std::int64_t>(number(next()), 1000));
            o.repsGiven = true;
        } else if (a == "--work") {
            o.work = next();
        } else if (a == "--no-peers") {
            o.peers = false;
        } else if (a == "--quick") {
            o.quick = true;
        } else if (a == "--mdbsql-limit") {
            o.mdbSqlLimit = int(std::min<std::int64_t>(number(next()), 86400));
        } else if (a == "-h" || a == "--help") {
            std::cout << kUsage << "\n";
            return 0;
        } else {
            std::cerr << "fzbench: unknown argument " << a << "\n" << kUsage << "\n";
            return 2;
        }
    }
    if (o.quick) {
        if (!o.rowsGiven)
            o.rows = 100000;
        if (!o.repsGiven)
            o.reps = 3;
    }
    return std::nullopt;
}

// Where the engine keeps its stores during the run.
fs::path cacheFolder(const fs::path& work)
{
    return work / "cache";
}

// The work folder, made, with what runs here kept inside it.
fs::path prepareWork(const Options& o)
{
    std::error_code ec;
    fs::create_directories(o.work, ec);
    const fs::path work = fs::absolute(o.work).lexically_normal();
    // The engine keeps its stores under XDG_CACHE_HOME: a private one, cleared for first opens.
    ::setenv("XDG_CACHE_HOME", cacheFolder(work).c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const fs::path runtime = work / "runtime";
        fs::create_directories(runtime, ec);
        fs::permissions(runtime, fs::perms::owner_all, ec);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    return work;
}

// The file: made here, or the one given; empty when there is none (said).
fs::path databaseFile(const Options& o, const fs::path& work)
{
    if (!o.db.empty()) {
        const fs::path mdb = fs::absolute(o.db).lexically_normal();
        if (!fs::is_regular_file(mdb)) {
            std::cerr << "fzbench: " << mdb << " is not a file\n";
            return {};
        }
        return mdb;
    }
    const fs::path mdb = work / ("fz_t1-" + std::to_string(o.rows) + ".mdb");
    say("writing " + std::to_string(o.rows) + " persons to " + mdb.string());
    const auto t0 = Clock::now();
    fzgen::Options g;
    g.rows = std::uint64_t(o.rows);
    g.seed = 1;
    g.messy = true;
    try {
        fzgen::writePersons(mdb.string(), g);
    } catch (const std::exception& e) {
        std::cerr << "fzbench: cannot write " << mdb << ": " << e.what() << "\n";
        return {};
    }
    say("  written in " + fmtMs(msSince(t0)) + " ms");
    return mdb;
}

// The program opens tabl1.mdb of a folder: a link in a folder of our own points at the file.
bool linkIntoFolder(const fs::path& mdb, const fs::path& dbDir)
{
    std::error_code ec;
    fs::create_directories(dbDir, ec);
    fs::remove(dbDir / "tabl1.mdb", ec);
    fs::create_symlink(mdb, dbDir / "tabl1.mdb", ec);
    if (ec) {
        std::cerr << "fzbench: cannot link " << (dbDir / "tabl1.mdb") << ": " << ec.message()
                  << "\n";
        return false;
    }
    return true;
}

// mdb-export of the table to /dev/null, the yardstick of the first open.
void timeExport(const fs::path& mdb, int reps, bench::OpenTimes& open)
{
    say("mdb-export to /dev/null x" + std::to_string(reps));
    std::vector<double> t, cpu;
    for (int i = 0; i < reps; ++i) {
        const auto r = bench::runProgram({"mdb-export", mdb.string(), "FZ_T1"}, "", "", 0);
        t.push_back(r.ms);
        cpu.push_back(r.cpuMs);
    }
    open.exportMs = median(t);
    open.exportCpuMs = median(cpu);
}

// One export to a file: the values to search for, and the sqlite3 peer's input.
std::optional<bench::ColumnValues> exportValues(const fs::path& mdb, const fs::path& csv)
{
    std::optional<bench::ColumnValues> values;
    const auto r = bench::runProgram({"mdb-export", mdb.string(), "FZ_T1"}, "", csv.string(), 0);
    std::string err;
    if (r.exitCode == 0)
        values = bench::scanExportCsv(
            csv.string(),
            {"FAM", "NAME", "OTCHEST", "RAION", "CITI", "DEREV", "STRIT", "DATA_r", "TEL_h"}, &err);
    if (!values)
        std::cerr << "fzbench: cannot read the table through mdb-export: " << err << "\n";
    return values;
}

// First open: the store made again each time; then re-opens of the unchanged file. Leaves
// q opened the way the program opens it. Throws what the engine throws.
void timeOpens(engine::AdoQuery& q, const fs::path& dbDir, const fs::path& cache, int reps,
               bench::OpenTimes& open)
{
    ValueLists lists;
    auto load = [&](engine::AdoQuery& query, double* countMs, double* loadMs) {
        auto t0 = Clock::now();
        DatabaseLoad::Hooks hooks;
        hooks.statusText = [&](const QString& text) {
            *countMs = msSince(t0);
            open.count = text.section(QLatin1Char(' '), -1).toLongLong();
        };
        DatabaseLoad l(query, hooks);
        l.run(engine::buildConnectionString(dbDir.string()), lists);
        *loadMs = msSince(t0);
    };
    std::vector<double> fc, fl, flc, rc, rl;
    say("first open x" + std::to_string(reps));
    for (int i = 0; i < reps; ++i) {
        std::error_code ec;
        fs::remove_all(cache, ec);
        engine::AdoQuery fresh;
        double c = 0, l = 0;
        const double cpu0 = bench::cpuMsSelfAndChildren();
        load(fresh, &c, &l);
        fc.push_back(c);
        fl.push_back(l);
        flc.push_back(bench::cpuMsSelfAndChildren() - cpu0);
        say("  " + fmtMs(c) + " ms to the count, " + fmtMs(l) + " ms with the value lists (cpu " +
            fmtMs(flc.back()) + " ms)");
    }
    open.firstLoadCpuMs = median(flc);
    say("re-open x" + std::to_string(reps));
    for (int i = 0; i < reps; ++i) {
        engine::AdoQuery fresh;
        double c = 0, l = 0;
        load(fresh, &c, &l);
        rc.push_back(c);
        rl.push_back(l);
    }
    double c = 0, l = 0;
    load(q, &c, &l);
    open.firstCountMs = median(fc);
    open.firstLoadMs = median(fl);
    open.reCountMs = median(rc);
    open.reLoadMs = median(rl);
}

// Every shape: its count alone, then the whole search, reps times each.
void timeSearches(Searcher& searcher, int reps, Measured& m)
{
    for (Shape& s : m.shapes) {
        std::vector<double> c, e, g, t;
        try {
            for (int i = 0; i < reps; ++i)
                c.push_back(searcher.countOnly(s.where));
            for (int i = 0; i < reps; ++i) {
                double em = 0, gm = 0, tm = 0;
                s.rows = searcher.run(s.form, &em, &gm, &tm);
                e.push_back(em);
                g.push_back(gm);
                t.push_back(tm);
            }
        } catch (const std::exception& ex) {
            s.error = ex.what();
        }
        s.countMs = median(c);
        s.firstCountMs = c.empty() ? kNaN : c.front();
        s.engineMs = median(e);
        s.gridMs = median(g);
        s.totalMs = median(t);
        say("  " + s.label + ": " + std::to_string(s.rows) + " rows, " + fmtMs(s.engineMs) + " / " +
            fmtMs(s.gridMs) + " / " + fmtMs(s.totalMs) + " ms" +
            (s.error.empty() ? "" : " ERROR " + s.error));
        if (s.kind == Kind::All)
            m.allRows = s.rows;
    }
}

// Memory with every person in the grid, from an empty grid: one search, no result of an
// earlier search still held.
void measureAllMemory(Searcher& searcher, Measured& m)
{
    for (const Shape& s : m.shapes) {
        if (s.kind != Kind::All || !s.error.empty())
            continue;
        searcher.clear();
        const std::int64_t before = bench::procStatusKb("VmRSS");
        bench::resetPeakMemory();
        double em = 0, gm = 0, tm = 0;
        searcher.run(s.form, &em, &gm, &tm);
        m.peakKb = bench::procStatusKb("VmHWM");
        m.rssAllKb = bench::procStatusKb("VmRSS");
        say("memory: " + std::to_string(before / 1024) + " MB before, peak " +
            std::to_string(m.peakKb / 1024) + " MB, then " + std::to_string(m.rssAllKb / 1024) +
            " MB");
    }
}

// The grid written as CSV, into `path`; a failure is kept in m.csvError.
void writeCsv(const Searcher& searcher, const fs::path& path, Measured& m)
{
    QString err;
    if (!writeGridCsv(searcher.grid(), QString::fromStdString(path.string()), &err))
        m.csvError = err.toStdString();
}

// CSV export: the sex-alone grid (about half the table) and the every-person grid, which is
// then sorted.
void timeCsvAndSort(Searcher& searcher, const fs::path& work, int reps, Measured& m)
{
    for (const Shape& s : m.shapes) {
        if (s.kind != Kind::SexAlone || !s.error.empty())
            continue;
        double em = 0, gm = 0, tm = 0;
        m.csvHalfRows = searcher.run(s.form, &em, &gm, &tm);
        std::vector<double> t, cpu;
        for (int i = 0; i < reps; ++i) {
            const auto t0 = Clock::now();
            const double cpu0 = bench::cpuMsSelfAndChildren();
            writeCsv(searcher, work / "half.csv", m);
            t.push_back(msSince(t0));
            cpu.push_back(bench::cpuMsSelfAndChildren() - cpu0);
        }
        m.csvHalfMs = median(t);
        m.csvHalfCpuMs = median(cpu);
    }
    for (const Shape& s : m.shapes) {
        if (s.kind != Kind::All || !s.error.empty())
            continue;
        double em = 0, gm = 0, tm = 0;
        searcher.run(s.form, &em, &gm, &tm);
        const auto t0 = Clock::now();
        writeCsv(searcher, work / "all.csv", m);
        m.csvAllMs = msSince(t0);
        std::vector<double> st;
        for (int i = 0; i < reps; ++i)
            st.push_back(searcher.sortBy(0));
        m.sortAllMs = median(st);
    }
    std::error_code ec;
    fs::remove(work / "half.csv", ec);
    fs::remove(work / "all.csv", ec);
}

// The peers on every shape: sqlite3 on an import of the export CSV (removed after), then
// mdb-sql on the file.
void runPeers(const Options& o, const fs::path& mdb, const fs::path& csv, const fs::path& work,
              Measured& m)
{
    std::error_code ec;
    if (m.haveSqlite) {
        const fs::path peerDb = work / "peer.sqlite";
        fs::remove(peerDb, ec);
        say("sqlite3: importing the mdb-export CSV");
        const std::string in = (work / "sqlite-import.sql").string();
        bench::writeFile(in, ".import --csv " + csv.string() + " FZ_T1\n");
        const auto r = bench::runProgram({"sqlite3", peerDb.string()}, in, "", 0, true);
        if (r.exitCode == 0) {
            m.sqliteImportMs = r.ms;
            say("sqlite3: " + std::to_string(m.shapes.size()) + " statements x" +
                std::to_string(o.reps));
            bench::runSqlitePeer(m.shapes, peerDb.string(), work, o.reps);
        } else {
            say("sqlite3 import failed");
        }
        fs::remove(peerDb, ec);
    }
    fs::remove(csv, ec);
    if (m.haveMdbSql) {
        say("mdb-sql: " + std::to_string(m.shapes.size()) + " statements x1 (limit " +
            std::to_string(o.mdbSqlLimit) + " s each)");
        bench::runMdbSqlPeer(m.shapes, mdb.string(), work, o.mdbSqlLimit);
    }
}

// Rows read back end to end: fzsql (next to this program) against mdb-sql.
void readBack(const Options& o, const fs::path& dbDir, const fs::path& work, Measured& m)
{
    std::error_code ec;
    const fs::path fzsql = fs::read_symlink("/proc/self/exe", ec).parent_path() / "fzsql";
    m.haveFzsql = fs::is_regular_file(fzsql, ec);
    if (!m.haveFzsql) {
        say("no fzsql beside fzbench: the read-back line is left out");
        return;
    }
    say("read back: picking values near " + std::to_string(kReadBackRows) + " rows");
    engine::AdoQuery counter;
    counter.setConnectionString(engine::buildConnectionString(dbDir.string()));
    bench::pickReadBack(
        m.readBack,
        [&](const std::string& where) -> std::int64_t {
            try {
                counter.close();
                counter.clearSql();
                counter.addSql("SELECT Count(*) FROM FZ_T1 WHERE" + where);
                counter.open();
                return std::atoll(counter.fieldAsString(0).c_str());
            } catch (const std::exception&) {
                return -1;
            }
        },
        std::min<std::int64_t>(kReadBackRows, std::max<std::int64_t>(1, m.tableRows / 64)));
    bench::runReadBack(m.readBack, fzsql.string(), (dbDir / "tabl1.mdb").string(), work.string(),
                       o.reps, m.haveMdbSql ? o.mdbSqlLimit : 0);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (const std::optional<int> stop = parseOptions(argc, argv, o))
        return *stop;
    const fs::path work = prepareWork(o);
    QApplication app(argc, argv);
    Measured m;
    m.reps = o.reps;
    m.loadStart = bench::loadAverage();

    m.mdb = databaseFile(o, work);
    const fs::path dbDir = work / "db";
    if (m.mdb.empty() || !linkIntoFolder(m.mdb, dbDir))
        return 1;
    if (!bench::haveProgram("mdb-export")) {
        std::cerr << "fzbench: mdb-export (mdbtools) is needed\n";
        return 1;
    }
    m.haveSqlite = o.peers && bench::haveProgram("sqlite3");
    m.haveMdbSql = o.peers && bench::haveProgram("mdb-sql");

    timeExport(m.mdb, o.reps, m.open);
    const fs::path csv = work / "fz_t1.csv";
    {
        const std::optional<bench::ColumnValues> values = exportValues(m.mdb, csv);
        if (!values)
            return 1;
        m.shapes = bench::buildShapes(*values, values->rows);
        m.readBack = bench::readBackCandidates(*values);
        m.tableRows = values->rows;
    }

    engine::AdoQuery q;
    try {
        timeOpens(q, dbDir, cacheFolder(work), o.reps, m.open);
    } catch (const std::exception& e) {
        std::cerr << "fzbench: the database does not open: " << e.what() << "\n";
        return 1;
    }

    // Searches. Peak memory is read from here on: writing the file and reading the export
    // above are the benchmark's own work, not the program's.
    m.setupPeakKb = bench::procStatusKb("VmHWM");
    m.peakReset = bench::resetPeakMemory();
    Searcher searcher(q, dbDir.string());
    timeSearches(searcher, o.reps, m);
    m.searchPeakKb = bench::procStatusKb("VmHWM");
    measureAllMemory(searcher, m);
    timeCsvAndSort(searcher, work, o.reps, m);

    runPeers(o, m.mdb, csv, work, m);
    readBack(o, dbDir, work, m);

    const std::string table = bench::reportTable(m);
    std::cout << table << std::flush;
    bench::writeFile((work / "bench-table.txt").string(), table);
    return 0;
}
