#include "tools/jet4/Jet4Writer.h"

#include "tools/jet4/JetBytes.h"
#include "tools/jet4/JetShape.h"

#include "tools/jet4/Jet4Text.h"

#include <algorithm>
#include <tuple>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// File layout written here:
//   page 0        header
//   page 1        database-wide usage map (not read by readers; kept for the shape of the file)
//   page 2        definition of MSysObjects (readers look for it there)
//   per table     its definition page(s), a page with its two usage-map rows, its data pages,
//                 then the bitmap pages of a reference map when the data spans more than 512 pages
//   at the end    the usage-map page and data pages of MSysObjects
// Data pages stream out as they fill; definitions and maps are written once their contents
// are known, so no table is ever held in memory.

namespace jet4 {

namespace {

using namespace bytes;

constexpr std::uint32_t kPageSize = 4096;
constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize; // 2 GiB
constexpr std::size_t kDataHeader = 14;
constexpr std::size_t kMaxRowBytes = 4060;
constexpr int kMaxRowsPerPage = 255; // the row part of a row pointer is one byte
constexpr std::size_t kMapRowBytes = 69;
constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8; // 32736
constexpr std::uint32_t kInlineMapPages = (kMapRowBytes - 5) * 8;  // 512
constexpr std::uint32_t kCatalogTdefPage = 2;
constexpr std::uint16_t kLcidRussian = 0x0419;
constexpr std::uint16_t kCodePage = 1251;
// Creation date stored in the header and the catalog: a fixed value, so that the same input
// always gives the same file.
constexpr double kCreationDate = 39123.0; // 2007-02-10, days since 1899-12-30

using namespace types;

// Flags in a data page's row offsets.
constexpr std::uint16_t kRowMoved = 0x4000;    // the row holds a pointer to where it moved
constexpr std::uint16_t kRowElsewhere = 0x8000; // a row that scans pass over (moved here)
constexpr std::uint16_t kRowDeleted = kRowMoved | kRowElsewhere;
constexpr std::size_t kNumericBytes = 17;
constexpr int kMaxNumericDigits = 28;

void push16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}

std::uint32_t pageRow(std::uint32_t page, std::uint32_t row) {
    return page << 8 | row;
}



struct ColumnDef {
    std::string name;
    std::u16string name16;
    std::uint8_t type = kTypeText;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0; // for fixed columns: the number of variable columns before it
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0; // bytes
    std::uint8_t flags = 0;
    std::uint8_t extFlags = 0;
    bool fixed = false;
    bool compress = false;
    std::uint16_t maxUnits = 0; // text: characters
    std::uint16_t sortVersionLcid = kLcidRussian;
    std::uint16_t columnField = 0; // record bytes 9-10
    std::uint8_t precision = 0;    // Numeric: record byte 11
    std::uint8_t scale = 0;        // Numeric: record byte 12
};

struct TableDef {
    std::string name;
    std::u16string name16;
    std::uint8_t tableType = 0x4E;
    std::vector<ColumnDef> cols;
    std::vector<std::size_t> varOrder; // column positions in var-index order
    std::uint16_t fixedSize = 0;
    std::uint32_t tdefPage = 0;
    std::uint32_t tdefPages = 0;
    std::uint32_t mapPage = 0;
    std::uint32_t firstData = 0;
    std::uint32_t dataPages = 0;
    std::uint64_t rows = 0;    // rows added
    TableQuirks quirks;
};

ColumnDef fixedColumn(const std::string& name, std::uint8_t type, std::uint16_t size) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.fixed = true;
    c.length = size;
    c.flags = 0x03;
    return c;
}

ColumnDef varColumn(const std::string& name, std::uint8_t type, std::uint16_t size) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = size;
    c.maxUnits = type == kTypeText ? size / 2 : size;
    c.flags = 0x02;
    return c;
}

// Numbers columns, places fixed values and orders variable ones.
void layoutColumns(TableDef& t, bool userTable) {
    std::uint16_t fixedOffset = 0;
    std::uint16_t nvar = 0;
    t.varOrder.clear();
    for (std::size_t i = 0; i < t.cols.size(); ++i) {
        ColumnDef& c = t.cols[i];
        c.number = static_cast<std::uint16_t>(i);
        c.name16 = toUcs2(c.name);
        c.columnField = userTable ? static_cast<std::uint16_t>(i + 1) : 0;
        if (c.fixed) {
            c.varIndex = nvar;
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<std::uint16_t>(fixedOffset + c.length);
        } else {
            c.varIndex = nvar++;
            c.fixedOffset = 0;
            t.varOrder.push_back(i);
        }
    }
    t.fixedSize = fixedOffset;
}

// A table definition page: type and flag bytes, free bytes, the next page of the definition
// (0: none); the stream then goes on at byte 8 of the first page.
namespace tdef {
constexpr std::uint8_t kPageType = 0x02;
constexpr std::size_t kFreeBytes = 2;
constexpr std::size_t kNextPage = 4;
constexpr std::size_t kPageHeader = 8; // continuation pages carry the stream from here
// Offsets in the definition stream.
constexpr std::size_t kStreamLength = 8;
constexpr std::size_t kUnknown1625 = 12; // a constant 1625 (also in each column record)
constexpr std::size_t kRowCount = 16;
constexpr std::size_t kAutoNumberIncrement = 24;
constexpr std::size_t kTableType = 40;
constexpr std::size_t kMaxColumns = 41;
constexpr std::size_t kVarColumns = 43;
constexpr std::size_t kColumns = 45;
constexpr std::size_t kOwnedMap = 55;
constexpr std::size_t kFreeMap = 59;
constexpr std::size_t kColumnRecords = 63; // where the column records begin
// Offsets in one column record of kColumnRecordBytes.
constexpr std::size_t kColumnRecordBytes = 25;
constexpr std::size_t kColType = 0;
constexpr std::size_t kColUnknown1625 = 1;
constexpr std::size_t kColNumber = 5;
constexpr std::size_t kColVarIndex = 7;
constexpr std::size_t kColField = 9;
constexpr std::size_t kColPrecision = 11; // Numeric; other types: the sort order (2 bytes)
constexpr std::size_t kColScale = 12;
constexpr std::size_t kColSortOrder = 11;
constexpr std::size_t kColFlags = 15;
constexpr std::size_t kColExtFlags = 16;
constexpr std::size_t kColFixedOffset = 21;
constexpr std::size_t kColLength = 23;
} // namespace tdef

// The definition as one byte stream (first page header included), before it is cut into pages.
std::vector<std::uint8_t> definitionStream(const TableDef& t, std::uint32_t ownedMap,
                                           std::uint32_t freeMap) {
    using namespace tdef;
    std::vector<std::uint8_t> s(kColumnRecords, 0);
    s[0] = kPageType;
    s[1] = 0x01;
    put32(&s[kUnknown1625], 1625);
    put32(&s[kRowCount], t.quirks.storedRows.value_or(static_cast<std::uint32_t>(t.rows)));
    s[kAutoNumberIncrement] = 1;
    s[kTableType] = t.tableType;
    const auto ncols = static_cast<std::uint32_t>(t.cols.size());
    put16(&s[kMaxColumns], ncols);
    put16(&s[kVarColumns], static_cast<std::uint32_t>(t.varOrder.size() + (t.quirks.droppedTextColumn ? 1 : 0)));
    put16(&s[kColumns], ncols);
    put32(&s[kOwnedMap], ownedMap);
    put32(&s[kFreeMap], freeMap);
    for (const ColumnDef& c : t.cols) {
        std::uint8_t r[kColumnRecordBytes] = {};
        r[kColType] = c.type;
        put32(r + kColUnknown1625, 1625);
        put16(r + kColNumber, c.number);
        put16(r + kColVarIndex, c.varIndex);
        put16(r + kColField, c.columnField);
        if (c.type == kTypeNumeric) {
            r[kColPrecision] = c.precision;
            r[kColScale] = c.scale;
        } else {
            put16(r + kColSortOrder, c.sortVersionLcid);
        }
        r[kColFlags] = c.flags;
        r[kColExtFlags] = c.extFlags;
        put16(r + kColFixedOffset, c.fixedOffset);
        put16(r + kColLength, c.length);
        s.insert(s.end(), r, r + kColumnRecordBytes);
    }
    for (const ColumnDef& c : t.cols) {
        push16(s, static_cast<std::uint32_t>(c.name16.size() * 2));
        appendUtf16le(s, c.name16);
    }
    // End of the (empty) list of column usage maps. It also keeps the stream going past a name
    // that ends exactly at a page end, where a reader already steps to the next page.
    push16(s, 0xFFFF);
    put32(&s[kStreamLength], static_cast<std::uint32_t>(s.size() - kPageHeader));
    return s;
}

std::uint32_t definitionPages(std::size_t streamBytes) {
    const std::size_t perPage = kPageSize - 8;
    return static_cast<std::uint32_t>((streamBytes - 8 + perPage - 1) / perPage);
}

// A data page being filled: rows are packed downwards from the page end.
struct DataPage {
    std::uint8_t buf[kPageSize];
    int rows = 0;
    std::size_t top = kPageSize;

    void reset(std::uint32_t owner) {
        std::memset(buf, 0, sizeof buf);
        buf[0] = 0x01;
        buf[1] = 0x01;
        put32(buf + 4, owner);
        rows = 0;
        top = kPageSize;
    }
    bool fits(std::size_t len) const {
        return rows < kMaxRowsPerPage && top >= len + kDataHeader + 2 * (rows + 1);
    }
    void add(const std::uint8_t* row, std::size_t len, std::uint16_t flags = 0) {
        top -= len;
        std::memcpy(buf + top, row, len);
        put16(buf + kDataHeader + 2 * rows, static_cast<std::uint32_t>(top) | flags);
        ++rows;
        put16(buf + 12, static_cast<std::uint32_t>(rows));
        put16(buf + 2, static_cast<std::uint32_t>(top - kDataHeader - 2 * rows));
    }
};

} // namespace

struct Writer::Impl {
    std::string path;
    std::string tempPath;
    int fd = -1;
    bool finished = false;
    std::uint32_t nextPage = 3; // pages 0-2 are written by finish()
    std::vector<TableDef> done; // finished tables (definitions only)
    std::optional<TableDef> current;
    DataPage page;
    bool pageInUse = false;
    std::vector<std::uint8_t> rowBuf;
    std::vector<std::uint16_t> varStarts;
    // Moved rows of the open table: their data, written after its other pages, and where
    // their pointers wait on the page being filled and on pages already written.
    std::vector<std::vector<std::uint8_t>> movedData;
    std::vector<std::pair<int, std::size_t>> pointersOnPage;                 // row, moved #
    std::vector<std::tuple<std::uint32_t, int, std::size_t>> pointersWritten; // page, row, moved #

    [[noreturn]] void ioError(const std::string& what) const {
        throw WriteError(what + " " + tempPath + ": " + std::strerror(errno));
    }

    void writeAt(std::uint32_t pageNo, const std::uint8_t* data, std::size_t len) const {
        auto off = static_cast<off_t>(pageNo) * kPageSize;
        while (len > 0) {
            const ssize_t n = ::pwrite(fd, data, len, off);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ioError("cannot write");
            }
            data += n;
            len -= static_cast<std::size_t>(n);
            off += n;
        }
    }

    std::uint32_t allocate(std::uint32_t count) {
        if (static_cast<std::uint64_t>(nextPage) + count > kMaxPages)
            throw WriteError("the database would exceed the Jet 4 limit of 2 GiB");
        const std::uint32_t first = nextPage;
        nextPage += count;
        return first;
    }

    void flushPage(TableDef& t) {
        if (!pageInUse)
            return;
        const std::uint32_t no = allocate(1);
        if (t.dataPages == 0)
            t.firstData = no;
        ++t.dataPages;
        writeAt(no, page.buf, kPageSize);
        pageInUse = false;
        for (const auto& [row, moved] : pointersOnPage)
            pointersWritten.emplace_back(no, row, moved);
        pointersOnPage.clear();
    }

    static bool listed(const std::vector<std::size_t>& rows, std::uint64_t row) {
        return std::find(rows.begin(), rows.end(), row) != rows.end();
    }

    void placeRow(TableDef& t, const std::uint8_t* row, std::size_t len, std::uint16_t flags) {
        if (pageInUse && !page.fits(len))
            flushPage(t);
        if (!pageInUse) {
            page.reset(t.tdefPage);
            pageInUse = true;
        }
        page.add(row, len, flags);
    }

    void appendRow(TableDef& t, const std::vector<std::uint8_t>& row) {
        if (listed(t.quirks.movedRows, t.rows)) {
            const std::uint8_t pointer[4] = {}; // filled in once the data has its place
            placeRow(t, pointer, sizeof pointer, kRowMoved);
            pointersOnPage.emplace_back(page.rows - 1, movedData.size());
            movedData.push_back(row);
        } else {
            placeRow(t, row.data(), row.size(), listed(t.quirks.deletedRows, t.rows) ? kRowDeleted : 0);
        }
        ++t.rows;
    }

    // The moved rows go to pages of their own after the table's other pages; then each
    // pointer is set to its row's new place.
    void writeMovedRows(TableDef& t) {
        if (movedData.empty())
            return;
        std::vector<std::uint32_t> places(movedData.size());
        for (std::size_t i = 0; i < movedData.size(); ++i) {
            if (pageInUse && !page.fits(movedData[i].size()))
                flushPage(t);
            if (!pageInUse) {
                page.reset(t.tdefPage);
                pageInUse = true;
            }
            page.add(movedData[i].data(), movedData[i].size(), kRowElsewhere);
            places[i] = pageRow(nextPage, static_cast<std::uint32_t>(page.rows - 1));
        }
        flushPage(t);
        std::uint8_t buf[kPageSize];
        for (const auto& [no, row, moved] : pointersWritten) {
            const auto off = static_cast<off_t>(no) * kPageSize;
            if (::pread(fd, buf, kPageSize, off) != static_cast<ssize_t>(kPageSize))
                ioError("cannot read back");
            const std::uint32_t start = (buf[kDataHeader + 2 * row] | buf[kDataHeader + 2 * row + 1] << 8) & 0x1FFF;
            put32(buf + start, places[moved]);
            writeAt(no, buf, kPageSize);
        }
        movedData.clear();
        pointersWritten.clear();
    }

    // Encodes one row into rowBuf; `cells` holds UTF-8 text or decimal numbers. Throws before
    // anything reaches a page, so a rejected row leaves the table as it was.
    void encodeRow(const TableDef& t, const Row& cells) {
        const std::string rowNo = std::to_string(t.rows + 1);
        if (cells.size() != t.cols.size())
            throw WriteError("row " + rowNo + " of table " + t.name + " has " +
                             std::to_string(cells.size()) + " cells; the table has " +
                             std::to_string(t.cols.size()) + " columns");
        const std::size_t ncols = t.cols.size();
        const std::size_t maskBytes = (ncols + 7) / 8;
        rowBuf.assign(2 + t.fixedSize, 0);
        put16(rowBuf.data(), static_cast<std::uint32_t>(ncols));
        std::vector<std::uint8_t> mask(maskBytes, 0);
        auto where = [&](const ColumnDef& c) {
            return "column " + c.name + " of row " + rowNo + " of table " + t.name;
        };
        for (const ColumnDef& c : t.cols) {
            const Cell& cell = cells[c.number];
            if (!cell)
                continue;
            mask[c.number / 8] =
                static_cast<std::uint8_t>(mask[c.number / 8] | 1u << (c.number % 8));
            if (!c.fixed)
                continue;
            const std::string& v = *cell;
            std::uint8_t* dst = rowBuf.data() + 2 + c.fixedOffset;
            if (c.type == kTypeNumeric) {
                encodeNumeric(dst, c, v, where(c));
                continue;
            }
            putFixedValue(dst, c.type, v, where(c));
        }
        if (!t.varOrder.empty() || t.quirks.droppedTextColumn) {
            varStarts.clear();
            for (std::size_t pos : t.varOrder) {
                const ColumnDef& c = t.cols[pos];
                varStarts.push_back(static_cast<std::uint16_t>(
                    std::min<std::size_t>(rowBuf.size(), kMaxRowBytes + 1)));
                const Cell& cell = cells[pos];
                if (!cell)
                    continue;
                if (c.type != kTypeText)
                    throw WriteError(where(c) + ": only NULL can be written here");
                std::u16string text;
                try {
                    text = toUcs2(*cell);
                } catch (const WriteError& err) {
                    throw WriteError(where(c) + ": " + err.what());
                }
                if (text.size() > c.maxUnits)
                    throw WriteError(where(c) + " has " + std::to_string(text.size()) +
                                     " characters; the column holds at most " +
                                     std::to_string(c.maxUnits));
                try {
                    appendText(rowBuf, text, c.compress);
                } catch (const WriteError& err) {
                    throw WriteError(where(c) + ": " + err.what());
                }
            }
            const std::size_t eod = rowBuf.size();
            const std::size_t total = eod + 2 + 2 * t.varOrder.size() + 2 + maskBytes;
            if (total > kMaxRowBytes)
                throw WriteError("row " + rowNo + " of table " + t.name + " takes " +
                                 std::to_string(total) + " bytes; a Jet 4 row holds at most " +
                                 std::to_string(kMaxRowBytes));
            push16(rowBuf, static_cast<std::uint32_t>(eod));
            for (std::size_t i = varStarts.size(); i-- > 0;)
                push16(rowBuf, varStarts[i]);
            push16(rowBuf, static_cast<std::uint32_t>(t.varOrder.size()));
        }
        rowBuf.insert(rowBuf.end(), mask.begin(), mask.end());
        if (rowBuf.size() > kMaxRowBytes)
            throw WriteError("row " + rowNo + " of table " + t.name + " takes " +
                             std::to_string(rowBuf.size()) + " bytes; a Jet 4 row holds at most " +
                             std::to_string(kMaxRowBytes));
    }

    // A decimal number as a Numeric value: a sign byte, then the digits without the point as
    // a 128-bit integer in four 32-bit words, the most significant first, each little-endian.
    static void encodeNumeric(std::uint8_t* dst, const ColumnDef& c, const std::string& v,
                              const std::string& where) {
        __extension__ typedef unsigned __int128 u128;
        std::size_t i = 0;
        const bool negative = !v.empty() && v[0] == '-';
        if (!v.empty() && (v[0] == '-' || v[0] == '+'))
            ++i;
        u128 n = 0;
        int digits = 0, decimals = 0;
        bool point = false;
        for (; i < v.size(); ++i) {
            if (v[i] == '.' && !point) {
                point = true;
                continue;
            }
            if (v[i] < '0' || v[i] > '9' || digits == kMaxNumericDigits)
                throw WriteError(where + ": \"" + v + "\" is not a decimal number that fits");
            n = n * 10 + static_cast<unsigned>(v[i] - '0');
            ++digits;
            decimals += point ? 1 : 0;
        }
        if (digits == 0 || decimals > c.scale)
            throw WriteError(where + ": \"" + v + "\" is not a decimal number with at most " +
                             std::to_string(c.scale) + " decimals");
        for (; decimals < c.scale; ++decimals)
            n *= 10;
        std::memset(dst, 0, kNumericBytes);
        dst[0] = negative ? 0x80 : 0x00;
        for (int w = 0; w < 4; ++w)
            put32(dst + 1 + 4 * w, static_cast<std::uint32_t>(n >> (32 * (3 - w))));
    }

    // Writes the table's two usage-map rows (and bitmap pages of a reference map), then its
    // definition. Called once all its data pages are on disk.
    void closeTable(TableDef& t) {
        std::uint8_t owned[kMapRowBytes] = {};
        std::uint8_t freeMap[kMapRowBytes] = {};
        const std::uint32_t first = t.firstData;
        const std::uint32_t last = t.firstData + t.dataPages - 1;
        if (t.dataPages == 0) {
            // Empty inline maps.
        } else if (last - (first & ~7u) < kInlineMapPages) {
            const std::uint32_t start = first & ~7u;
            put32(owned + 1, start);
            for (std::uint32_t p = first; p <= last; ++p)
                owned[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
        } else {
            owned[0] = 1;
            std::uint8_t bitmap[kPageSize];
            for (std::uint32_t slot = first / kPagesPerBitmapPage;
                 slot <= last / kPagesPerBitmapPage; ++slot) {
                std::memset(bitmap, 0, sizeof bitmap);
                bitmap[0] = 0x05;
                bitmap[1] = 0x01;
                const std::uint32_t base = slot * kPagesPerBitmapPage;
                const std::uint32_t from = std::max(first, base);
                const std::uint32_t to = std::min(last, base + kPagesPerBitmapPage - 1);
                for (std::uint32_t p = from; p <= to; ++p)
                    bitmap[4 + (p - base) / 8] |= static_cast<std::uint8_t>(1u << ((p - base) % 8));
                const std::uint32_t no = allocate(1);
                writeAt(no, bitmap, kPageSize);
                put32(owned + 1 + 4 * slot, no);
            }
        }
        if (t.dataPages > 0) {
            const std::uint32_t start = last & ~7u;
            put32(freeMap + 1, start);
            freeMap[5 + (last - start) / 8] |=
                static_cast<std::uint8_t>(1u << ((last - start) % 8));
        }
        DataPage maps;
        maps.reset(0);
        maps.add(owned, kMapRowBytes);
        maps.add(freeMap, kMapRowBytes);
        writeAt(t.mapPage, maps.buf, kPageSize);

        const std::vector<std::uint8_t> stream =
            definitionStream(t, pageRow(t.mapPage, 0), pageRow(t.mapPage, 1));
        writeDefinition(t, stream);
    }

    void writeDefinition(const TableDef& t, const std::vector<std::uint8_t>& stream) {
        using namespace tdef;
        const std::size_t perPage = kPageSize - kPageHeader;
        std::uint8_t buf[kPageSize];
        std::size_t pos = kPageHeader;
        for (std::uint32_t i = 0; i < t.tdefPages; ++i) {
            std::memset(buf, 0, sizeof buf);
            const std::size_t n = std::min(perPage, stream.size() - pos);
            std::memcpy(buf + kPageHeader, stream.data() + pos, n);
            if (i == 0)
                std::memcpy(buf, stream.data(), kPageHeader);
            buf[0] = kPageType;
            buf[1] = 0x01;
            put16(buf + kFreeBytes, static_cast<std::uint32_t>(kPageSize - kPageHeader - n));
            put32(buf + kNextPage, i + 1 < t.tdefPages ? t.tdefPage + i + 1 : 0);
            writeAt(t.tdefPage + i, buf, kPageSize);
            pos += n;
        }
    }

    void startTable(TableDef t) {
        layoutColumns(t, t.tableType == 0x4E);
        t.name16 = toUcs2(t.name);
        const std::vector<std::uint8_t> probe = definitionStream(t, 0, 0);
        t.tdefPages = definitionPages(probe.size());
        if (t.tableType == 0x53) {
            t.tdefPage = kCatalogTdefPage;
            if (t.tdefPages != 1)
                throw WriteError("catalog definition does not fit one page");
        } else {
            t.tdefPage = allocate(t.tdefPages);
        }
        t.mapPage = allocate(1);
        current = std::move(t);
        pageInUse = false;
    }

    void finishTable() {
        TableDef& t = *current;
        flushPage(t);
        writeMovedRows(t);
        closeTable(t);
        done.push_back(std::move(t));
        current.reset();
    }

    static TableDef catalogTable() {
        TableDef t;
        t.name = "MSysObjects";
        t.tableType = 0x53;
        for (const CatalogColumn& c : catalogColumns())
            t.cols.push_back(c.fixed ? fixedColumn(c.name, c.type, c.size)
                                     : varColumn(c.name, c.type, c.type == kTypeText ? c.size * 2 : c.size));
        return t;
    }

    static Row catalogRow(std::uint32_t id, std::uint32_t parent, const std::string& name, int type,
                          std::uint32_t flags) {
        return jet4::catalogRow(id, parent, name, type, flags, kCreationDate);
    }

    void writeCatalog() {
        startTable(catalogTable());
        TableDef& cat = *current;
        std::vector<Row> rows;
        rows.push_back(catalogRow(0x0F000001, 0x0F000000, "Tables", 3, 0));
        rows.push_back(catalogRow(0x0F000002, 0x0F000000, "Databases", 3, 0));
        rows.push_back(catalogRow(0x0F000003, 0x0F000000, "Relationships", 3, 0));
        rows.push_back(catalogRow(kCatalogTdefPage, 0x0F000001, "MSysObjects", 1, 0x80000002u));
        for (const TableDef& t : done)
            rows.push_back(catalogRow(t.tdefPage, 0x0F000001, t.name, 1, 0));
        for (const Row& r : rows) {
            encodeRow(cat, r);
            appendRow(cat, rowBuf);
        }
        finishTable();
    }

    void writeHeaderAndGlobalMap() {
        std::uint8_t h[kPageSize] = {};
        h[1] = 0x01;
        std::memcpy(h + 4, "Standard Jet DB", 16);
        put32(h + 0x14, 1);
        put16(h + 0x3C, kCodePage);
        put32(h + 0x3E, 0); // no page encryption
        const auto day = static_cast<std::uint32_t>(kCreationDate);
        for (int i = 0; i < 10; ++i)
            put32(h + 0x42 + 4 * i, day); // empty password, stored masked
        h[0x6A] = 0xAA;
        h[0x6B] = 0x21;
        put16(h + 0x6E, kLcidRussian);
        putDouble(h + 0x72, kCreationDate);
        const std::uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        rc4(key, sizeof key, h + 0x18, 128);
        const std::uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
        std::memcpy(h + 0x98, tail, sizeof tail);
        writeAt(0, h, kPageSize);

        DataPage global;
        global.reset(1);
        const std::uint8_t empty[kMapRowBytes] = {};
        global.add(empty, kMapRowBytes);
        global.add(empty, kMapRowBytes);
        writeAt(1, global.buf, kPageSize);
    }

    void discard() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
        if (!tempPath.empty())
            ::unlink(tempPath.c_str());
    }
};

Writer::Writer(const std::string& path) : d(std::make_unique<Impl>()) {
    if (path.empty())
        throw WriteError("no file name given for the database");
    d->path = path;
    std::string tmpl = path + ".tmp-XXXXXX";
    d->fd = ::mkstemp(tmpl.data());
    if (d->fd < 0)
        throw WriteError("cannot create a file beside " + path + ": " + std::strerror(errno));
    d->tempPath = tmpl;
    ::fchmod(d->fd, 0644);
}

Writer::~Writer() {
    if (!d->finished)
        d->discard();
}

void Writer::beginTable(const std::string& name, const std::vector<Column>& columns,
                        const TableQuirks& quirks) {
    if (d->finished)
        throw WriteError("the database is already finished");
    if (d->current)
        throw WriteError("table " + d->current->name + " is still open; end it before beginning " +
                         name);
    checkTableShape(name, columns, [](const std::string& n) { return toUcs2(n).size(); });
    for (const TableDef& t : d->done)
        if (lowerAscii(t.name) == lowerAscii(name))
            throw WriteError("table " + name + " is already in the database");
    TableDef t;
    t.name = name;
    for (const Column& c : columns) {
        if (c.type == ColumnType::Long) {
            t.cols.push_back(fixedColumn(c.name, kTypeLong, 4));
        } else if (c.type == ColumnType::Numeric) {
            if (c.precision < 1 || c.precision > kMaxNumericDigits || c.scale < 0 || c.scale > c.precision)
                throw WriteError("numeric column " + c.name + " has precision " +
                                 std::to_string(c.precision) + " and scale " + std::to_string(c.scale));
            ColumnDef def = fixedColumn(c.name, kTypeNumeric, kNumericBytes);
            def.precision = static_cast<std::uint8_t>(c.precision);
            def.scale = static_cast<std::uint8_t>(c.scale);
            t.cols.push_back(def);
        } else {
            ColumnDef def =
                varColumn(c.name, kTypeText, static_cast<std::uint16_t>(c.maxChars * 2));
            def.compress = true;
            def.extFlags = 0x01;
            t.cols.push_back(def);
        }
    }
    t.quirks = quirks;
    d->startTable(std::move(t));
}

void Writer::addRow(const Row& row) {
    if (!d->current)
        throw WriteError("no table is open; begin a table before adding rows");
    d->encodeRow(*d->current, row);
    d->appendRow(*d->current, d->rowBuf);
}

void Writer::endTable() {
    if (!d->current)
        throw WriteError("no table is open");
    d->finishTable();
}

void Writer::finish() {
    if (d->finished)
        throw WriteError("the database is already finished");
    if (d->current)
        throw WriteError("table " + d->current->name + " is still open; end it before finishing");
    d->writeCatalog();
    d->writeHeaderAndGlobalMap();
    if (::ftruncate(d->fd, static_cast<off_t>(d->nextPage) * kPageSize) != 0)
        d->ioError("cannot size");
    if (::close(d->fd) != 0) {
        d->fd = -1;
        d->ioError("cannot close");
    }
    d->fd = -1;
    if (std::rename(d->tempPath.c_str(), d->path.c_str()) != 0)
        throw WriteError("cannot rename " + d->tempPath + " to " + d->path + ": " +
                         std::strerror(errno));
    d->finished = true;
}

void writeTable(const std::string& path, const std::string& table,
                const std::vector<Column>& columns, const std::vector<Row>& rows,
                const TableQuirks& quirks) {
    Writer w(path);
    w.beginTable(table, columns, quirks);
    for (const Row& r : rows)
        w.addRow(r);
    w.endTable();
    w.finish();
}

} // namespace jet4
