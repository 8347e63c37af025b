#pragma once
// Writes a small Access 97 (Jet 3) database file: one user table of Long Integer and Text
// columns, all rows on one data page. Jet 3 keeps text 8-bit in the code page the file
// header records, so these files are fixtures for reading text in a given code page.

#include "tools/jet4/Jet4Writer.h"

#include <string>
#include <vector>

namespace jet4 {

// Writes `path` (replacing it only once complete) with one user table. Text cells, the table
// name and the column names are UTF-8 and stored in `codePage` (1252, 1251, ...), which the
// header and every text column record. Throws WriteError for a character the code page
// cannot hold, a row longer than 255 bytes, or rows that do not fit one 2 KiB data page.
void writeJet3Table(const std::string& path, const std::string& table,
                    const std::vector<Column>& columns, const std::vector<Row>& rows,
                    unsigned codePage);

} // namespace jet4
