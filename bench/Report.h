#pragma once
// The benchmark's table: what was measured, set against the peers and the targets.

#include "bench/ReadBack.h"
#include "bench/Shapes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// The file opened the way the program opens it, and mdb-export as the yardstick.
struct OpenTimes {
    double exportMs = kNaN, exportCpuMs = kNaN;
    double firstCountMs = kNaN, firstLoadMs = kNaN, firstLoadCpuMs = kNaN;
    double reCountMs = kNaN, reLoadMs = kNaN;
    std::int64_t count = -1;
};

// Everything one run measured.
struct Measured {
    std::filesystem::path mdb;
    std::int64_t tableRows = 0; // by mdb-export
    int reps = 0;
    std::string loadStart; // the load average at the start
    OpenTimes open;
    std::vector<Shape> shapes;
    std::vector<ReadBackShape> readBack;
    bool haveSqlite = false, haveMdbSql = false, haveFzsql = false;
    double sqliteImportMs = kNaN;
    // Memory, kB: before the searches, over them, and one every-person search from an
    // empty grid (peak, then resident).
    std::int64_t setupPeakKb = -1, searchPeakKb = -1, peakKb = -1, rssAllKb = -1;
    bool peakReset = false;
    std::int64_t allRows = -1; // the every-person search's rows
    // CSV export of the sex-alone and the every-person grids; the latter sorted.
    double csvHalfMs = kNaN, csvHalfCpuMs = kNaN, csvAllMs = kNaN, sortAllMs = kNaN;
    std::int64_t csvHalfRows = -1;
    std::string csvError;
};

// The 1-minute load average: the machine is shared, timings are read against it.
std::string loadAverage();

// The table as printed and saved.
std::string reportTable(const Measured& m);

} // namespace bench
