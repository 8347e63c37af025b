#include "bench/Peers.h"

#include <cstdlib>
#include <sstream>

namespace bench {

namespace fs = std::filesystem;

void runSqlitePeer(std::vector<Shape>& shapes, const std::string& dbPath, const fs::path& work,
                   int reps)
{
    for (Shape& s : shapes) {
        if (s.kind == Kind::Similar) // our own operator: no peer has it
            continue;
        std::string script = ".timer on\n";
        const std::string q =
            "SELECT count(*) FROM FZ_T1 WHERE" + bench::whereForSqlite(s.where) + ";\n";
        for (int i = 0; i < reps; ++i)
            script += q;
        const std::string in = (work / "sqlite-query.sql").string();
        const std::string out = (work / "sqlite-query.out").string();
        bench::writeFile(in, script);
        const auto r = bench::runProgram({"sqlite3", dbPath}, in, out, 0);
        if (!r.started || r.exitCode != 0) {
            say("sqlite3 failed on: " + q);
            continue;
        }
        std::istringstream lines(bench::readFile(out));
        std::string line;
        std::vector<double> times;
        while (std::getline(lines, line)) {
            if (line.rfind("Run Time: real ", 0) == 0)
                times.push_back(std::atof(line.c_str() + 15) * 1000.0);
            else if (s.sqlRows < 0 && !line.empty())
                s.sqlRows = std::atoll(line.c_str());
        }
        s.sqlMs = median(times);
    }
}

void runMdbSqlPeer(std::vector<Shape>& shapes, const std::string& mdbPath, const fs::path& work,
                   int limit)
{
    for (Shape& s : shapes) {
        if (s.kind == Kind::Similar)
            continue;
        const std::string in = (work / "mdbsql-query.sql").string();
        const std::string out = (work / "mdbsql-query.out").string();
        bench::writeFile(in,
                         "SELECT * FROM FZ_T1 WHERE" + bench::whereForMdbSql(s.where) + "\ngo\n");
        const auto r =
            bench::runProgram({"mdb-sql", "-H", "-F", "-P", "-i", in, mdbPath}, "", out, limit);
        if (r.timedOut) {
            s.mdbNote = ">" + std::to_string(limit) + "s";
            s.mdbMs = r.ms;
        } else if (!r.started || r.exitCode != 0) {
            s.mdbNote = "failed";
        } else {
            s.mdbMs = r.ms;
            s.mdbCpuMs = r.cpuMs;
            s.mdbRows = bench::countNonEmptyLines(out);
        }
        std::error_code ec;
        fs::remove(out, ec);
        say("  mdb-sql " + s.label + ": " + fmtMs(s.mdbMs) + " ms (cpu " + fmtMs(s.mdbCpuMs) +
            "), " + std::to_string(s.mdbRows) + " rows " + s.mdbNote);
    }
}

} // namespace bench
