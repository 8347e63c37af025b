#pragma once
// Rows of the grid copied out as UTF-8 bytes, so that one thread can read the grid while
// another turns the rows read before into CSV lines.
#include "util/GridCells.h"

#include <cstdint>
#include <string_view>
#include <vector>

class CsvRows {
public:
    // Copies rows [from, to) of the grid, replacing what the batch held.
    void read(const GridCells& grid, int from, int to);

    // The rows as CSV lines (Windows-1251, CRLF), the same bytes as appendCsvField of each
    // cell's text joined by commas, written from the start of out (which grows when it is
    // too small, and is never made smaller). Returns the bytes written.
    std::size_t encode(std::vector<char>& out) const;

private:
    // One cell: its UTF-8 bytes, and whether its text is those bytes with the first letter
    // capitalised.
    void add(std::string_view utf8, bool capitalizeFirst);
    // add() of every cell of a row (columns_ of them).
    void addRow(const std::string_view* cells, const bool* capitalizeFirst);

    // Room for `more` bytes after the used ones; where they go.
    char* room(std::size_t more);

    int columns_ = 0;                      // cells per row
    std::size_t cells_ = 0;                // cells held
    std::vector<char> bytes_;              // every cell's bytes, one after another
    std::size_t used_ = 0;                 // of bytes_
    std::vector<std::size_t> ends_;        // per cell, where its bytes end in bytes_
    std::vector<std::uint8_t> capitalize_; // per cell
};
