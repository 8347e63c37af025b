#pragma once
// One table of an opened store: what fz_tables and fz_columns tell of it, and the parts
// read when first asked for (its null lists, spellings, cell lengths and the SIMILAR
// index of its columns). Every read goes through the store's connection, and a damaged
// part throws sql::Error.

#include "engine/store/CellLengths.h"
#include "engine/store/RowList.h"
#include "engine/store/Spellings.h"
#include "engine/store/Sqlite.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine {

class SimilarIndex;

class StoreTable {
public:
    struct Column {
        std::string name;
        std::int64_t distinct = 0; // -1: a plain column, without a dictionary
        bool substr = false;
        bool plain() const { return distinct < 0; }
    };

    StoreTable(const sql::Db& db, int id, std::string name, std::int64_t rows, std::int64_t bytes);
    void addColumn(Column c);

    int id() const { return id_; }
    const std::string& name() const { return name_; }
    std::int64_t rows() const { return rows_; }
    std::int64_t bytes() const { return bytes_; } // all values' bytes together
    const std::vector<Column>& columns() const { return columns_; }
    const Column& column(int j) const { return columns_[static_cast<size_t>(j)]; }
    // The store's connection, which every reader of the table shares.
    const sql::Db& db() const { return *db_; }

    // The rows of column j that hold null, ascending.
    const Rows& nulls(int j) const;
    // The spellings of column j (none for a plain column).
    const Spellings& spellings(int j) const;
    // Every cell's length.
    std::shared_ptr<const CellLengths> lengths() const;
    // Column j's distinct values prepared for SIMILAR (null for a plain column, which has
    // no dictionary).
    std::shared_ptr<const SimilarIndex> similarIndex(int j) const;

private:
    const sql::Db* db_;
    int id_;
    std::string name_;
    std::int64_t rows_;
    std::int64_t bytes_;
    std::vector<Column> columns_;
    // Per column, each read once.
    mutable std::vector<std::shared_ptr<const Rows>> nulls_;
    mutable std::vector<std::shared_ptr<const Spellings>> spellings_;
    mutable std::vector<std::shared_ptr<const SimilarIndex>> similar_;
    mutable std::shared_ptr<const CellLengths> lengths_;
};

} // namespace engine
