#pragma once
// Names as an operator writes them down on hearing them over the telephone: for persons of
// a generated population, one of their names misspelt the way a listener misspells it, with
// the person's row, so that a search for the misspelling can be checked for finding it.

#include "tools/fzgen/Population.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace fzgen {

struct HeardName {
    std::uint64_t row = 0; // the person's row (and ID), counted from 1
    std::string column;    // FAM, NAME or OTCHEST
    std::string written;   // the name as the table holds it
    std::string heard;     // as it was written down; never equal to `written`
};

// `count` persons drawn (without repeats, in row order) from the population `options`
// describes, each with a surname (three in five), first name or patronymic heard. Rows whose
// name is not plain letters (the messy rows) are passed over. The same options and seed give
// the same list.
std::vector<HeardName> heardNames(const Options& options, std::size_t count, std::uint64_t seed);

// One or two slips of the ear on a lower-case name: a voiced consonant for a voiceless one
// or back, "о" for "а", "е" for "и" or "я", "ё" for "е", a doubled letter single or a single
// one doubled, "ь" lost or added, "ц" as "тс", "щ" as "сч", two neighbours swapped, a letter
// lost or one added. Never returns the name unchanged.
std::string misheard(const std::string& name, std::mt19937_64& random);

// The list as CSV: a header "ID,column,written,heard", then one line per name.
void writeHeardCsv(const std::string& path, const std::vector<HeardName>& names);

} // namespace fzgen
