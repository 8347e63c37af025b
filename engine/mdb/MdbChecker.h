#pragma once
// Walks the file as the reading library will: the header, the catalog and every table it
// names, each table's pages, rows, values and long values. Refuses (throws Reject) what
// would lead the reader outside the file or into a loop. Its parts are in MdbCheck.cpp
// (header and the walk), MdbCheckTables.cpp (definitions and usage maps), MdbCheckRows.cpp
// (rows and values) and MdbCheckLong.cpp (long values and properties).

#include "engine/mdb/Jet4Text.h"
#include "engine/mdb/MdbLayout.h"
#include "engine/mdb/MdbPages.h"

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace engine::mdbcheck {

class Checker {
public:
    explicit Checker(Pages& pages)
        : pages_(pages)
    {
    }

    void run();

private:
    Pages& pages_;
    std::unordered_set<u32> checked_;
    std::unordered_set<u32> rowCheckedPages_;
    std::vector<u32> catalogTables_;
    std::unordered_set<std::u16string> tableNames_; // user tables, folded
    u64 mapBytes_ = 0;
    u64 chainSteps_ = 0;
    std::vector<u8> pageCopy_;  // the data page being checked
    std::vector<u8> zeroBuf_;   // a page tested for being all zeros
    std::vector<u32> varOff_;   // the row being checked: its variable column offsets
    std::vector<u8> longValue_; // the pieces of a chained long value, gathered

    struct CatalogCols {
        int id = -1, name = -1, type = -1, flags = -1, lvProp = -1;
    } catalogCols_;

    // ---- header -----------------------------------------------------------------------

    void checkHeader();

    // ---- table definitions -------------------------------------------------------------

    // The definition stream: the first page whole, then bytes 8.. of each continuation page.
    std::vector<u8> tdefStream(u32 first, const char* what);

    Table readTable(u32 tdefPage, const char* what);

    CatalogCols findCatalogColumns(const Table& t);

    // ---- rows and usage maps -----------------------------------------------------------

    // The row a page/row pointer names, as the reader finds it.
    Slice pointedRow(u32 ptr, const char* what, bool needDataPage);

    // Data pages of a table in the order the reader visits them.
    std::vector<u32> ownedPages(const Table& t, const std::string& label);

    void checkTable(const Table& t, bool isCatalog);
    bool zeroPage(u32 pg);

    // Every row the reader decodes on the page (it skips the ones flagged 0x4000).
    void checkDataPage(const Table& t, u32 pg, bool isCatalog);

    // The positions the reader computes for each column of a row must stay inside the row.
    void checkRow(const Table& t, const u8* page, u32 start, u32 size, u32 pg, u32 r,
                  bool isCatalog);

    void jet3Offsets(const u8* row, u32 size, u32 maskLen, u32 rowVarCols, std::vector<u32>& varOff,
                     const RowFault& bad);

    void checkValue(const Column& c, const u8* page, u32 at, u32 len, const RowFault& bad);

    // Jet 4 text (Jet4Text.h): compressed text that ends inside a two-byte character is
    // broken.
    void checkText(const u8* s, u32 len, const RowFault& bad);

    // A long value's chain of pieces: every piece an existing row of at least 4 bytes, and
    // the chain ends (the reader follows it until a zero pointer).
    void followChain(u32 ptr, std::vector<u8>* collect, u32 limit);

    // Where the bytes of the long value whose head is at `v` lie, as the reader assembles them
    // (a chain's pieces gathered in longValue_, up to `limit` bytes); none when the head's
    // flags are of no kind the reader reads.
    std::optional<Slice> longValue(const u8* v, u32 len, u32 limit, const char* what);

    void checkMemo(const u8* page, u32 at, u32 len, const RowFault& bad);

    // The catalog's property blob (column LvProp): the reader assembles the long value and
    // parses it as a chunked property list.
    void checkProperties(const u8* page, u32 at, u32 len, const RowFault& bad);

    void checkPropertyBlob(Slice blob, const RowFault& bad);

    // Remember which definition pages the catalog's tables live on.
    void noteCatalogRow(const Table& t, const u8* page, u32 start, const u8* nullMask, u32 maskLen,
                        u32 rowFixedCols, const std::vector<u32>& varOff, u32 rowVarCols);

    // A name as UTF-16 with ASCII and Cyrillic capitals folded, for comparing names.
    std::u16string foldedName(const u8* v, u32 len) const;
};

// Every text value is checked: defined here so that both its callers can inline it.
inline void Checker::checkText(const u8* s, u32 len, const RowFault& bad)
{
    if (jet::isCompressedText(s, len) && !jet::forEachUnit(s, len, [](u16) { return true; }))
        bad("compressed text ends inside a character");
}

} // namespace engine::mdbcheck
