#pragma once
// Writes new Access (Jet 4) database files: tables of Long Integer and Text columns,
// rows streamed to disk page by page. Used to make test and demo databases.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace jet4 {

enum class ColumnType { Long, Text };

struct Column {
    std::string name;
    ColumnType type = ColumnType::Text;
    int maxChars = 255; // Text only, 1..255
};

// One cell: nullopt is NULL; otherwise UTF-8 text (for a Long column, its decimal digits).
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
    void beginTable(const std::string& name, const std::vector<Column>& columns);
    void addRow(const Row& row);
    void endTable();
    void finish(); // writes catalog and maps; the file is complete after this

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Convenience for tests: one call, one table.
void writeTable(const std::string& path, const std::string& table,
                const std::vector<Column>& columns, const std::vector<Row>& rows);

} // namespace jet4
