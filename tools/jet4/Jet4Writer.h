#pragma once
// Writes new Access (Jet 4) database files: tables of Long Integer, Text and Numeric columns,
// rows streamed to disk page by page. Used to make test and demo databases; on request it
// also leaves the traces that years of editing in Access leave in a file (TableQuirks).

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace jet4 {

enum class ColumnType { Long, Text, Numeric };

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    int maxChars = 255; // Text only, 1..255
    int precision = 18; // Numeric only: digits in all, 1..28
    int scale = 0;      // Numeric only: digits after the point, 0..precision
};

// Traces of in-place editing that Access leaves in a table and readers must take in their
// stride. Rows are counted from 0 in the order they are added.
struct TableQuirks {
    // The definition's row count, when it is to differ from the rows the table holds.
    std::optional<std::uint32_t> storedRows;
    // Rows left on their page flagged deleted; the definition still counts them unless
    // storedRows says otherwise.
    std::vector<std::size_t> deletedRows;
    // Rows whose data moved to another page: their own place holds only a pointer to it.
    std::vector<std::size_t> movedRows;
    // The definition still counts a variable-length column that was dropped (rows keep an
    // empty table of variable values).
    bool droppedTextColumn = false;
};

// One cell: nullopt is NULL; otherwise UTF-8 text (for a Long column, its decimal digits;
// for a Numeric one, a decimal number with at most `scale` digits after a '.').
using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Writer {
public:
    explicit Writer(const std::string& path); // creates or truncates the file
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Tables are written one after another: begin, rows, end.
    void beginTable(const std::string& name, const std::vector<Column>& columns,
                    const TableQuirks& quirks = {});
    void addRow(const Row& row);
    void endTable();
    void finish(); // writes catalog and maps; the file is complete after this

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Convenience for tests: one call, one table.
void writeTable(const std::string& path, const std::string& table,
                const std::vector<Column>& columns, const std::vector<Row>& rows,
                const TableQuirks& quirks = {});

} // namespace jet4
