#pragma once
// Reads the user tables of an Access file through the reader library (libmdb), every value
// as text in the formats of JetValue.h. The importer and the fuzz targets both read files
// with this and nothing else, so that what the fuzzers exercise is what users run.
//
// Only a file that passed the structural check (MdbCheck.h) may be opened: the reader
// library trusts the file. Not thread-safe: one MdbFile, one thread at a time.

#include "engine/mdb/MdbHeader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine {

// The cells of rows read, one after another: cell k is text[ends[k-1], ends[k]) and null
// when nulls[k] is set.
struct CellBuffer {
    std::string text;
    std::vector<std::uint32_t> ends;
    std::vector<char> nulls;
};

struct MdbColumnInfo {
    std::string name;
    int type = 0; // jet::ColumnType
};

struct MdbTableInfo {
    std::string name;
    std::vector<MdbColumnInfo> columns;
    std::int64_t storedRows = 0; // the definition's count: a hint, rows read are the truth
};

class MdbFile {
public:
    ~MdbFile();
    MdbFile(const MdbFile&) = delete;
    MdbFile& operator=(const MdbFile&) = delete;

    // Opens the file and reads its catalog. Null when the reader cannot; `why` says so.
    static std::unique_ptr<MdbFile> open(const std::string& path, std::string* why);

    const MdbHeader& header() const { return header_; }
    const std::vector<MdbTableInfo>& tables() const { return tables_; }

    // Reads every row of table `index`, appending its cells to `cells` and calling `rowDone`
    // after each row (it may take the cells away). False, with `why`, when a row cannot be
    // decoded.
    bool readRows(std::size_t index, CellBuffer& cells, const std::function<void()>& rowDone,
                  std::string* why);

private:
    struct Private;
    explicit MdbFile(std::unique_ptr<Private> d);

    std::unique_ptr<Private> d_;       // the reader library's handles
    MdbHeader header_;                 // what the file's first page says
    std::vector<MdbTableInfo> tables_; // the user tables, in catalog order
};

} // namespace engine
