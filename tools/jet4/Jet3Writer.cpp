#include "tools/jet4/Jet3Writer.h"

#include "tools/jet4/JetBytes.h"
#include "tools/jet4/JetShape.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

// File layout (2 KiB pages):
//   0 header · 1 database-wide usage map · 2 definition of MSysObjects · 3 usage-map rows of
//   both tables (owned and free map of the catalog, then of the user table) · 4 catalog rows ·
//   5 definition of the user table · 6 its rows (absent when it has none).
// The whole file is built in memory: it is a handful of pages.

namespace jet4 {

namespace {

using namespace bytes;

using u8 = std::uint8_t;
using Bytes = std::vector<u8>;

constexpr std::size_t kPageSize = 2048;
constexpr std::size_t kDataHeader = 10;  // data page: row count at 8, row offsets from 10
constexpr std::size_t kMaxRowBytes = 255; // longer rows need a jump table, which we never write
constexpr std::size_t kMapRowBytes = 69;
constexpr std::uint32_t kCatalogTdef = 2;
constexpr std::uint32_t kMapPage = 3;
constexpr std::uint32_t kCatalogData = 4;
constexpr std::uint32_t kUserTdef = 5;
constexpr std::uint32_t kUserData = 6;
// A fixed creation date (1998-01-01, days since 1899-12-30): the same input gives the same file.
constexpr double kCreationDate = 35796.0;

using namespace types;

// UTF-8 to the file's code page; refuses what the code page cannot hold.
class CodePageText {
public:
    explicit CodePageText(unsigned codePage) : codePage_(codePage) {
        const std::string name = "CP" + std::to_string(codePage);
        cd_ = ::iconv_open(name.c_str(), "UTF-8");
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw WriteError("code page " + std::to_string(codePage) + " is not known here");
    }
    ~CodePageText() { ::iconv_close(cd_); }
    CodePageText(const CodePageText&) = delete;
    CodePageText& operator=(const CodePageText&) = delete;

    std::string operator()(const std::string& utf8) const {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(utf8.size() * 2 + 8, '\0');
        char* in = const_cast<char*>(utf8.data());
        std::size_t inLeft = utf8.size();
        char* dst = out.data();
        std::size_t outLeft = out.size();
        if (::iconv(cd_, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) ||
            ::iconv(cd_, nullptr, nullptr, &dst, &outLeft) == static_cast<std::size_t>(-1))
            throw WriteError("\"" + utf8 + "\" cannot be stored in code page " +
                             std::to_string(codePage_) +
                             " (a character it lacks, or not UTF-8)");
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;         ///< UTF-8 to the code page
    unsigned codePage_;  ///< for messages
};

struct ColumnDef {
    std::string name;  // UTF-8, for messages
    std::string stored; // name in the code page
    u8 type = kTypeText;
    bool fixed = false;
    u8 number = 0;
    std::uint16_t varIndex = 0; // fixed columns: the number of variable columns before it
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;   // bytes
};

struct TableDef {
    std::string name;
    u8 tableType = 0x4E;
    std::vector<ColumnDef> cols;
    std::size_t varCount = 0;
    std::size_t fixedSize = 0;
};

ColumnDef column(const std::string& name, u8 type, std::uint16_t length, bool fixed) {
    ColumnDef c;
    c.name = name;
    c.type = type;
    c.length = length;
    c.fixed = fixed;
    return c;
}

void layoutColumns(TableDef& t, const CodePageText& cp) {
    std::uint16_t fixedOffset = 0;
    std::uint16_t nvar = 0;
    for (std::size_t i = 0; i < t.cols.size(); ++i) {
        ColumnDef& c = t.cols[i];
        c.number = static_cast<u8>(i);
        c.stored = cp(c.name);
        if (c.fixed) {
            c.varIndex = nvar;
            c.fixedOffset = fixedOffset;
            fixedOffset = static_cast<std::uint16_t>(fixedOffset + c.length);
        } else {
            c.varIndex = nvar++;
        }
    }
    t.varCount = nvar;
    t.fixedSize = fixedOffset;
}

// Sort order recorded beside the code page; readers ignore it.
std::uint16_t sortOrderFor(unsigned codePage) {
    return codePage == 1251 ? 0x0419 : 0x0409;
}

// The definition page (one page; the caller checks the size).
Bytes definition(const TableDef& t, std::uint32_t rows, std::uint32_t ownedMap,
                 std::uint32_t freeMap, unsigned codePage) {
    Bytes s(43, 0);
    s[0] = 0x02;
    s[1] = 0x01;
    s[2] = 'V';
    s[3] = 'C';
    put32(&s[12], rows);
    s[20] = t.tableType;
    const auto ncols = static_cast<std::uint32_t>(t.cols.size());
    put16(&s[21], ncols);
    put16(&s[23], static_cast<std::uint32_t>(t.varCount));
    put16(&s[25], ncols);
    put32(&s[35], ownedMap);
    put32(&s[39], freeMap);
    for (const ColumnDef& c : t.cols) {
        u8 r[18] = {};
        r[0] = c.type;
        put16(r + 1, c.number);
        put16(r + 3, c.varIndex);
        put16(r + 5, c.number);
        put16(r + 7, sortOrderFor(codePage));
        if (c.type == kTypeText || c.type == kTypeMemo)
            put16(r + 9, codePage);
        r[13] = c.fixed ? 0x03 : 0x02;
        put16(r + 14, c.fixedOffset);
        put16(r + 16, c.length);
        s.insert(s.end(), r, r + 18);
    }
    for (const ColumnDef& c : t.cols) {
        s.push_back(static_cast<u8>(c.stored.size()));
        s.insert(s.end(), c.stored.begin(), c.stored.end());
    }
    // Trailing bytes keep the last name from ending exactly at the page end, where a reader
    // would step on to a next page.
    s.push_back(0xFF);
    s.push_back(0xFF);
    put32(&s[8], static_cast<std::uint32_t>(s.size() - 8));
    if (s.size() > kPageSize)
        throw WriteError("the definition of table " + t.name + " does not fit one page");
    return s;
}

// One row: column count, fixed values, variable values, end of data, variable offsets
// (reversed), variable count, null mask. All offsets are single bytes.
Bytes encodeRow(const TableDef& t, const Row& cells, std::size_t rowNo, const CodePageText& cp) {
    const std::string rowName = "row " + std::to_string(rowNo) + " of table " + t.name;
    if (cells.size() != t.cols.size())
        throw WriteError(rowName + " has " + std::to_string(cells.size()) +
                         " cells; the table has " + std::to_string(t.cols.size()) + " columns");
    const std::size_t ncols = t.cols.size();
    Bytes row(1 + t.fixedSize, 0);
    row[0] = static_cast<u8>(ncols);
    Bytes mask((ncols + 7) / 8, 0);
    std::vector<std::size_t> varStarts;
    for (const ColumnDef& c : t.cols) {
        const Cell& cell = cells[c.number];
        const std::string where = "column " + c.name + " of " + rowName;
        if (!c.fixed)
            varStarts.push_back(row.size());
        if (!cell)
            continue;
        mask[c.number / 8] = static_cast<u8>(mask[c.number / 8] | 1u << (c.number % 8));
        const std::string& v = *cell;
        if (!c.fixed) {
            if (c.type != kTypeText)
                throw WriteError(where + ": only NULL can be written here");
            const std::string bytes = cp(v);
            if (bytes.size() > c.length)
                throw WriteError(where + " takes " + std::to_string(bytes.size()) +
                                 " bytes; the column holds at most " + std::to_string(c.length));
            row.insert(row.end(), bytes.begin(), bytes.end());
            continue;
        }
        u8* dst = row.data() + 1 + c.fixedOffset;
        putFixedValue(dst, c.type, v, where);
    }
    const std::size_t total =
        row.size() + (t.varCount > 0 ? 2 + t.varCount : 0) + mask.size();
    if (total > kMaxRowBytes)
        throw WriteError(rowName + " takes " + std::to_string(total) +
                         " bytes; this writer puts at most " + std::to_string(kMaxRowBytes) +
                         " in a row");
    if (t.varCount > 0) {
        row.push_back(static_cast<u8>(row.size())); // end of the variable data
        for (std::size_t i = varStarts.size(); i-- > 0;)
            row.push_back(static_cast<u8>(varStarts[i]));
        row.push_back(static_cast<u8>(t.varCount));
    }
    row.insert(row.end(), mask.begin(), mask.end());
    return row;
}

// Rows packed downwards from the page end; throws when they do not fit.
void fillDataPage(u8* page, std::uint32_t owner, const std::vector<Bytes>& rows,
                  const std::string& table) {
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page + 4, owner);
    std::size_t top = kPageSize;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (top < rows[i].size() + kDataHeader + 2 * (i + 1))
            throw WriteError("the rows of table " + table + " do not fit one " +
                             std::to_string(kPageSize) + "-byte page");
        top -= rows[i].size();
        std::memcpy(page + top, rows[i].data(), rows[i].size());
        put16(page + kDataHeader + 2 * i, static_cast<std::uint32_t>(top));
    }
    put16(page + 8, static_cast<std::uint32_t>(rows.size()));
    put16(page + 2, static_cast<std::uint32_t>(top - kDataHeader - 2 * rows.size()));
}

// An inline usage map naming `dataPage` (or nothing when it is 0).
Bytes inlineMap(std::uint32_t dataPage) {
    Bytes m(kMapRowBytes, 0);
    if (dataPage != 0) {
        const std::uint32_t start = dataPage & ~7u;
        put32(&m[1], start);
        m[5 + (dataPage - start) / 8] = static_cast<u8>(1u << ((dataPage - start) % 8));
    }
    return m;
}

TableDef catalogTable() {
    TableDef t;
    t.name = "MSysObjects";
    t.tableType = 0x53;
    for (const CatalogColumn& c : catalogColumns())
        t.cols.push_back(column(c.name, c.type, c.size, c.fixed));
    return t;
}

Row catalogRow(std::uint32_t id, std::uint32_t parent, const std::string& name, int type,
               std::uint32_t flags) {
    return jet4::catalogRow(id, parent, name, type, flags, kCreationDate);
}

void header(u8* h, unsigned codePage) {
    h[1] = 0x01;
    std::memcpy(h + 4, "Standard Jet DB", 16);
    // version 0 at 0x14: Jet 3
    put16(h + 0x3A, sortOrderFor(codePage));
    put16(h + 0x3C, codePage);
    // page key (0x3E) and password (0x42, 20 bytes) stay zero: no encryption, no password
    const u8 key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    rc4(key, sizeof key, h + 0x18, 126);
}

void writeFile(const std::string& path, const Bytes& file) {
    std::string tmp = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        throw WriteError("cannot create a file beside " + path + ": " + std::strerror(errno));
    ::fchmod(fd, 0644);
    std::size_t done = 0;
    while (done < file.size()) {
        const ssize_t n = ::write(fd, file.data() + done, file.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::string why = std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            throw WriteError("cannot write " + tmp + ": " + why);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        throw WriteError("cannot close " + tmp + ": " + why);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        throw WriteError("cannot rename " + tmp + " to " + path + ": " + why);
    }
}

} // namespace

void writeJet3Table(const std::string& path, const std::string& table,
                    const std::vector<Column>& columns, const std::vector<Row>& rows,
                    unsigned codePage) {
    if (path.empty())
        throw WriteError("no file name given for the database");
    const CodePageText cp(codePage);
    checkTableShape(table, columns, [&](const std::string& n) { return cp(n).size(); });

    TableDef user;
    user.name = table;
    for (const Column& c : columns) {
        if (c.type == ColumnType::Long) {
            user.cols.push_back(column(c.name, kTypeLong, 4, true));
        } else {
            user.cols.push_back(
                column(c.name, kTypeText, static_cast<std::uint16_t>(c.maxChars), false));
        }
    }
    layoutColumns(user, cp);
    TableDef catalog = catalogTable();
    layoutColumns(catalog, cp);

    std::vector<Bytes> userRows;
    for (std::size_t i = 0; i < rows.size(); ++i)
        userRows.push_back(encodeRow(user, rows[i], i + 1, cp));
    const std::vector<Row> catalogCells = {
        catalogRow(0x0F000001, 0x0F000000, "Tables", 3, 0),
        catalogRow(0x0F000002, 0x0F000000, "Databases", 3, 0),
        catalogRow(0x0F000003, 0x0F000000, "Relationships", 3, 0),
        catalogRow(kCatalogTdef, 0x0F000001, "MSysObjects", 1, 0x80000002u),
        catalogRow(kUserTdef, 0x0F000001, table, 1, 0),
    };
    std::vector<Bytes> catalogRows;
    for (std::size_t i = 0; i < catalogCells.size(); ++i)
        catalogRows.push_back(encodeRow(catalog, catalogCells[i], i + 1, cp));

    const bool hasData = !userRows.empty();
    Bytes file(kPageSize * (hasData ? kUserData + 1 : kUserData), 0);
    auto page = [&](std::uint32_t no) { return file.data() + kPageSize * no; };

    header(page(0), codePage);
    fillDataPage(page(1), 1, {inlineMap(0), inlineMap(0)}, "of the database map");
    fillDataPage(page(kMapPage), 0,
                 {inlineMap(kCatalogData), inlineMap(kCatalogData),
                  inlineMap(hasData ? kUserData : 0), inlineMap(hasData ? kUserData : 0)},
                 "of usage maps");
    fillDataPage(page(kCatalogData), kCatalogTdef, catalogRows, catalog.name);
    if (hasData)
        fillDataPage(page(kUserData), kUserTdef, userRows, table);

    const Bytes catDef =
        definition(catalog, static_cast<std::uint32_t>(catalogRows.size()), kMapPage << 8 | 0,
                   kMapPage << 8 | 1, codePage);
    std::memcpy(page(kCatalogTdef), catDef.data(), catDef.size());
    const Bytes userDef = definition(user, static_cast<std::uint32_t>(userRows.size()),
                                     kMapPage << 8 | 2, kMapPage << 8 | 3, codePage);
    std::memcpy(page(kUserTdef), userDef.data(), userDef.size());

    writeFile(path, file);
}

} // namespace jet4
