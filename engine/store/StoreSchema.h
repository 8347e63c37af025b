#pragma once
// The store: one SQLite file per imported database. It holds every table as it is (column
// order, nulls kept) plus what the searches need:
//   fz_meta(key, value)          format version, source path, device, inode, size,
//                                modification and status-change times
//   fz_tables(t, name, rows, cols, bytes)   bytes: of all values together
//   fz_columns(t, pos, name, type, distinct_n, substr, nulls)   nulls: the rows holding null
//   t<t>(chunk, recs)            the rows, values exact: chunk c holds the records
//                                 (StoreFormat.h) of rows 16c+1 .. 16c+16 after their offsets
//   d<t>_<J>(id, f, v, first, rows, most[, r])   (none for a plain column, see below)
//                                one entry per distinct folded value f of column J: v its
//                                first spelling when that differs from f, first the first
//                                row holding it, rows all of them when more than one
//                                (a list or a bitmap, StoreFormat.h), most the longest
//                                length of each column over them (entries of many rows,
//                                StoreFormat.h), r the folded text reversed (search columns
//                                only)
//   x<t>_<J>                     trigram full-text index over f (search columns only)
//   n<t>(part, lens)             each cell's length in characters (StoreFormat.h), so that
//                                 column widths need no record read
//   s<t>(col, words)             the spellings a record's cells may refer to (StoreFormat.h)
// A column whose values nearly all differ, and that takes no match modes, is plain: it has
// no dictionary (distinct_n is -1) and a condition on it reads the records.
// A condition is answered on the column's dictionary (indexes on f and r, the trigram
// index), which names its rows; AND, OR and NOT combine sorted row lists. A result of
// more than a few rows keeps only its row list and reads a record when a cell of it is
// asked for (it keeps the store open for that).
// Every page of the file keeps a checksum, checked when the page is first read
// (CheckedVfs.h): a damaged store fails the read, is removed and made again.
//
// The tables' columns are declared here once: the writer creates and fills the tables from
// these declarations, and an opened store is checked against them.

#include "engine/store/SourceKey.h"
#include "engine/store/Sqlite.h"

#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace engine {
// The format of the store files this program makes and reads; a store of another is made again.
constexpr int kStoreFormat = 16;
} // namespace engine

namespace engine::schema {

// One column of a store table: its name and its declaration.
struct Column {
    const char* name;
    const char* decl;
};

// A store table's columns in order, and what follows them inside and after the parentheses.
struct Shape {
    std::span<const Column> columns;
    const char* constraint = ""; // a key over several columns
    const char* options = "";
};

// The statements that make a table of this shape and add a row to it (values in column order).
std::string createTable(const std::string& name, const Shape& shape);
std::string insertInto(const std::string& name, const Shape& shape);

// A column's bind parameter in insertInto's statement (its position counts from 0).
constexpr int param(int position)
{
    return position + 1;
}

namespace meta {
inline constexpr const char* kTable = "fz_meta";
enum : int { kKey, kValue };
inline constexpr Column kColumns[] = {{"key", "TEXT PRIMARY KEY"}, {"value", "TEXT NOT NULL"}};
inline constexpr Shape kShape{kColumns};
// Its rows for a finished store made from the file `key` names, in the order written.
std::vector<std::pair<std::string, std::string>> rowsFor(const SourceKey& key);
// Reads the source's key from the rows; why they are not those of a finished store of
// this format (nothing when they are).
std::string readKey(const std::map<std::string, std::string>& rows, SourceKey& key);
} // namespace meta

namespace tables {
inline constexpr const char* kTable = "fz_tables";
enum : int { kT, kName, kRows, kCols, kBytes };
inline constexpr Column kColumns[] = {{"t", "INTEGER PRIMARY KEY"},
                                      {"name", "TEXT NOT NULL"},
                                      {"rows", "INTEGER NOT NULL"},
                                      {"cols", "INTEGER NOT NULL"},
                                      {"bytes", "INTEGER NOT NULL"}};
inline constexpr Shape kShape{kColumns};
} // namespace tables

namespace columns {
inline constexpr const char* kTable = "fz_columns";
enum : int { kT, kPos, kName, kType, kDistinct, kSubstr, kNulls };
inline constexpr Column kColumns[] = {
    {"t", "INTEGER NOT NULL"}, {"pos", "INTEGER NOT NULL"},        {"name", "TEXT NOT NULL"},
    {"type", "TEXT NOT NULL"}, {"distinct_n", "INTEGER NOT NULL"}, {"substr", "INTEGER NOT NULL"},
    {"nulls", "BLOB"}};
inline constexpr Shape kShape{kColumns, ", PRIMARY KEY(t, pos)"};
} // namespace columns

// t<t>, n<t> and s<t> each keep blobs under a number: the records of a chunk (chunk, recs),
// the lengths of a part of the rows (part, lens), a column's spellings (col, words).
namespace blobs {
enum : int { kNumber, kBlob };
inline constexpr Column kRows[] = {{"chunk", "INTEGER PRIMARY KEY"}, {"recs", "BLOB NOT NULL"}};
inline constexpr Column kLengths[] = {{"part", "INTEGER PRIMARY KEY"}, {"lens", "BLOB NOT NULL"}};
inline constexpr Column kSpellings[] = {{"col", "INTEGER PRIMARY KEY"}, {"words", "BLOB NOT NULL"}};
inline constexpr Shape kRowsShape{kRows};
inline constexpr Shape kLengthsShape{kLengths};
inline constexpr Shape kSpellingsShape{kSpellings};
} // namespace blobs

// d<t>_<J>: a column's dictionary. A search column's entries keep their ids as rowids (the
// trigram index names entries by id) and their reversed text; the others' are keyed by f.
namespace dictionary {
enum Col : int { kId, kF, kV, kFirst, kRows, kMost, kR };
inline constexpr Column kSearchColumns[] = {
    {"id", "INTEGER PRIMARY KEY"}, {"f", "TEXT NOT NULL"}, {"v", "TEXT"},
    {"first", "INTEGER NOT NULL"}, {"rows", "BLOB"},       {"most", "BLOB"},
    {"r", "TEXT NOT NULL"}};
inline constexpr Column kKeyedColumns[] = {{"f", "TEXT PRIMARY KEY"},
                                           {"v", "TEXT"},
                                           {"first", "INTEGER NOT NULL"},
                                           {"rows", "BLOB"},
                                           {"most", "BLOB"}};
inline constexpr Shape kSearchShape{kSearchColumns};
inline constexpr Shape kKeyedShape{kKeyedColumns, "", " WITHOUT ROWID"};
inline const Shape& shape(bool search)
{
    return search ? kSearchShape : kKeyedShape;
}
// Column c's position in either kind of table (a keyed one has neither id nor r).
constexpr int at(Col c, bool search)
{
    return search ? c : c - 1;
}
} // namespace dictionary

// A store's objects as SQLite lists them: each name with the statement that made it.
using Objects = std::map<std::string, std::string>;

// Source table t as the store holds it: for each column, whether it has a dictionary and
// whether it takes the match modes.
struct TableKinds {
    int t = 0;
    struct ColumnKind {
        bool dictionary = true;
        bool search = false;
    };
    std::vector<ColumnKind> columns;
};

// An object of the store: its name and the statement that makes it.
using Object = std::pair<std::string, std::string>;

// The store's own tables (fz_meta, fz_tables, fz_columns).
std::vector<Object> storeObjects();
// A search column's indexes besides its dictionary: on f, on r, and the trigram index.
std::vector<Object> searchObjects(int t, size_t j);
// Every object the writer makes for such a table except its dictionaries' and the trigram
// index's own (SQLite's) parts.
std::vector<Object> tableObjects(const TableKinds& table);

// The objects of the store open on db.
Objects objectsOf(const sql::Db& db);

// Why `objects` are not what the writer makes for these tables (nothing when they are):
// an object missing or made otherwise.
std::string check(const Objects& objects, const std::vector<TableKinds>& tables);

} // namespace engine::schema

// The names of the store's tables for source table number t and its column j.
namespace engine::storeTable {

inline std::string rows(int t)
{
    return "t" + std::to_string(t);
}
inline std::string lengths(int t)
{
    return "n" + std::to_string(t);
}
inline std::string dictionary(int t, size_t j)
{
    return "d" + std::to_string(t) + "_" + std::to_string(j);
}
inline std::string trigrams(int t, size_t j)
{
    return "x" + std::to_string(t) + "_" + std::to_string(j);
}
inline std::string spellings(int t)
{
    return "s" + std::to_string(t);
}
// A search column's dictionary's indexes on f and on r.
inline std::string foldedIndex(int t, size_t j)
{
    return dictionary(t, j) + "_f";
}
inline std::string reversedIndex(int t, size_t j)
{
    return dictionary(t, j) + "_r";
}

} // namespace engine::storeTable
