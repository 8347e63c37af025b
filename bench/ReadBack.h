#pragma once
// The read-back measurement: searches whose results hold about 15,000 rows scattered over
// the table, each run end to end as `fzsql FILE "SELECT * ..."` (a new process every time:
// process start, store open, matching and every row printed) and through mdb-sql.

#include "bench/BenchSupport.h"
#include "search/QueryBuilder.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace bench {

struct ReadBackShape {
    std::string label;
    struct Candidate {
        search::SearchForm form;
        std::string shown; // what was typed, as shown in the table
    };
    std::vector<Candidate> candidates; // the picking chooses one
    std::string value;
    std::string where;      // after "WHERE"; empty until picked
    std::int64_t rows = -1; // ours, by count
    std::int64_t fzsqlRows = -1, mdbRows = -1;
    double fzsqlMs = std::numeric_limits<double>::quiet_NaN();
    double mdbMs = std::numeric_limits<double>::quiet_NaN();
    std::string note;
};

// Exact surname, street prefix, name substring, patronymic suffix, surname prefix + the
// most common city + female: candidates made from each column's most frequent values.
std::vector<ReadBackShape> readBackCandidates(const ColumnValues& cv);

// For each shape the candidate whose row count (`count` of a WHERE text) is nearest target.
void pickReadBack(std::vector<ReadBackShape>& shapes,
                  const std::function<std::int64_t(const std::string& where)>& count,
                  std::int64_t target);

// Times `fzsql` (median of reps, after one unmeasured run) and, when `mdbSqlLimit` > 0,
// mdb-sql once, on every picked shape. Outputs go to files in `work` (removed after).
void runReadBack(std::vector<ReadBackShape>& shapes, const std::string& fzsql,
                 const std::string& mdb, const std::string& work, int reps, int mdbSqlLimit);

} // namespace bench
