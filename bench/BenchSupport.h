#pragma once
// Small pieces the benchmark is made of: clocks and medians, running the peer programs,
// memory readings, reading mdb-export's CSV, and turning the program's statements into the
// peers' dialects.

#include <chrono>
#include <cstdint>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// A time not measured.
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A progress line: on standard error, so that the table on standard output stays clean.
inline void say(const std::string& line)
{
    std::cerr << line << std::endl;
}

inline double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double median(std::vector<double> v); // NaN for an empty list

// A finished child process: wall time, exit status, whether it was stopped by the limit.
struct RunResult {
    double ms = 0;
    double cpuMs = 0; // user + system time of the child
    int exitCode = -1;
    bool timedOut = false;
    bool started = false;
};

// Runs argv[0] (looked up in PATH) with stdin from `inPath` (or /dev/null) and stdout to
// `outPath` (or /dev/null); stderr goes to /dev/null unless `keepStderr`. The child is
// killed after `limitSeconds` (0: no limit).
RunResult runProgram(const std::vector<std::string>& argv, const std::string& inPath,
                     const std::string& outPath, int limitSeconds, bool keepStderr = false);

// User + system time of this process and of its waited-for children, in ms.
double cpuMsSelfAndChildren();

// Whether a program of that name is found in PATH.
bool haveProgram(const std::string& name);

// Lines of a file that hold anything but white space.
std::int64_t countNonEmptyLines(const std::string& path);
std::string readFile(const std::string& path);
bool writeFile(const std::string& path, const std::string& text);

// Fields of /proc/self/status in kB (VmHWM, VmRSS); -1 when not readable.
std::int64_t procStatusKb(const char* field);
// Makes VmHWM start again from the current resident size (Linux 4.0+); false if refused.
bool resetPeakMemory();

// Value frequencies of some columns of an mdb-export CSV file (header line first; a
// quoted field may hold commas, doubled quotes and line breaks; an empty unquoted field
// is null and is not counted).
struct ColumnValues {
    std::vector<std::string> header;
    std::int64_t rows = 0;
    std::map<std::string, std::unordered_map<std::string, std::int64_t>> counts; // by column
};
std::optional<ColumnValues>
scanExportCsv(const std::string& path, const std::vector<std::string>& columns, std::string* error);

// The part of a statement after "WHERE" in the peers' dialects. Our literals are in double
// quotes with an inner double quote doubled; both peers read double quotes as names, so
// literals go into single quotes (an inner single quote doubled).
//  sqlite3: the comparisons as they are (its own = and LIKE);
//  mdb-sql: every = and LIKE becomes ILIKE (its LIKE is case- and byte-sensitive).
std::string whereForSqlite(const std::string& where);
std::string whereForMdbSql(const std::string& where);

// "1 234.5" style numbers for the table.
std::string fmtMs(double ms);
std::string fmtRatio(double r);

} // namespace bench
