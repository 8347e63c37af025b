#pragma once
// Deterministic synthetic population for the person table FZ_T1.

#include "tools/jet4/Jet4Writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fzgen {

// The 19 columns of FZ_T1 in table order: ID (Long), KOD (Text), FAM, NAME, OTCHEST, IndexFZ,
// STRANA, OBL, RAION, CITI, DEREV, STRIT, N_HOUSE1, N_HOUSE2, N_kv, DATA_r, POL, TEL_h, TEL_r.
std::vector<jet4::Column> personColumns();

struct Options {
    std::uint64_t rows = 1000;
    std::uint64_t seed = 1;
    bool messy = false; // add rows with surrounding spaces, quotes, commas, % and _, ""
};

class PersonGenerator {
public:
    explicit PersonGenerator(const Options& options);
    ~PersonGenerator();
    jet4::Row next(); // the next person; call options.rows times
private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// One CSV record (RFC 4180 quoting, CRLF end): a field holding a comma, a double quote, a line
// break or the text \N is quoted with inner quotes doubled; a NULL cell is an unquoted \N;
// an empty string is an empty field.
std::string csvLine(const jet4::Row& row);

// Writes FZ_T1 into a new .mdb (and, when csvPath is not empty, the same rows as UTF-8 CSV
// with a header line, RFC 4180 quoting and an unquoted \N for null).
void writePersons(const std::string& mdbPath, const Options& options,
                  const std::string& csvPath = {});

} // namespace fzgen
