#pragma once
// The searches the benchmark times, made from values the table really holds, and what is
// measured of each.

#include "bench/BenchSupport.h"
#include "search/QueryBuilder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

enum class Kind { Selective, Substring, SexAlone, All, Similar };

struct Shape {
    std::string label;
    std::string value; // what was typed, as shown in the table
    Kind kind = Kind::Selective;
    search::SearchForm form;
    std::string statement; // the program's own text
    std::string where;     // after "WHERE"
    // ours
    std::int64_t rows = -1;
    double countMs = kNaN;      // the same conditions as SELECT Count(*): matching alone
    double firstCountMs = kNaN; // the first of those (SIMILAR: with its column's values read)
    double engineMs = kNaN, gridMs = kNaN, totalMs = kNaN;
    std::string error;
    // peers
    double mdbMs = kNaN, mdbCpuMs = kNaN;
    std::int64_t mdbRows = -1;
    std::string mdbNote;
    double sqlMs = kNaN;
    std::int64_t sqlRows = -1;
};

// Every mode of each text field on a value found about rows/1000 times, the surname as
// misheard, surname prefix + city + sex, a birth date, a telephone, a surname nobody has,
// sex alone and every person. A field without a usable value leaves its shapes out.
std::vector<Shape> buildShapes(const ColumnValues& cv, std::int64_t rows);

} // namespace bench
