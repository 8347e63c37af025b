#pragma once
// The limits a table's name and columns keep in every format the writers make.

#include "tools/jet4/Jet4Writer.h"
#include "tools/jet4/JetBytes.h"

#include <charconv>
#include <functional>
#include <string>
#include <vector>

namespace jet4 {

// Column type codes as files store them.
namespace types {
enum : std::uint8_t {
    kTypeInteger = 3,
    kTypeLong = 4,
    kTypeDateTime = 8,
    kTypeBinary = 9,
    kTypeText = 10,
    kTypeOle = 11,
    kTypeMemo = 12,
    kTypeNumeric = 16,
};
} // namespace types

// The catalog table MSysObjects: its columns (readers need Id, Name, Type, Flags and
// LvProp; the others are there as Access has them). `size` is in bytes, for Text in
// characters.
struct CatalogColumn {
    const char* name;
    std::uint8_t type;
    std::uint16_t size;
    bool fixed;
};

inline const std::vector<CatalogColumn>& catalogColumns()
{
    using namespace types;
    static const std::vector<CatalogColumn> columns = {
        {"Id", kTypeLong, 4, true},
        {"ParentId", kTypeLong, 4, true},
        {"Name", kTypeText, 255, false},
        {"Type", kTypeInteger, 2, true},
        {"DateCreate", kTypeDateTime, 8, true},
        {"DateUpdate", kTypeDateTime, 8, true},
        {"Owner", kTypeBinary, 255, false},
        {"Flags", kTypeLong, 4, true},
        {"Database", kTypeMemo, 0, false},
        {"Connect", kTypeMemo, 0, false},
        {"ForeignName", kTypeText, 255, false},
        {"RmtInfoShort", kTypeBinary, 255, false},
        {"RmtInfoLong", kTypeOle, 0, false},
        {"Lv", kTypeOle, 0, false},
        {"LvProp", kTypeOle, 0, false},
        {"LvModule", kTypeOle, 0, false},
        {"LvExtra", kTypeOle, 0, false},
    };
    return columns;
}

// A fixed-width cell (Integer, Long, DateTime) from its text: decimal digits, or a day
// number for a date. `where` names the cell in errors.
inline void putFixedValue(std::uint8_t* dst, std::uint8_t type, const std::string& v,
                          const std::string& where)
{
    if (type == types::kTypeDateTime) {
        double d = 0;
        const auto r = std::from_chars(v.data(), v.data() + v.size(), d);
        if (r.ec != std::errc() || r.ptr != v.data() + v.size())
            throw WriteError(where + ": \"" + v + "\" is not a date number");
        bytes::putDouble(dst, d);
        return;
    }
    long long n = 0;
    const char* b = v.data();
    const char* e = v.data() + v.size();
    if (b != e && *b == '+')
        ++b;
    const auto r = std::from_chars(b, e, n);
    if (b == e || r.ec != std::errc() || r.ptr != e)
        throw WriteError(where + ": \"" + v + "\" is not a whole number");
    const bool isInt16 = type == types::kTypeInteger;
    if (n < (isInt16 ? -32768 : -2147483648LL) || n > (isInt16 ? 32767 : 2147483647LL))
        throw WriteError(where + ": " + v + " is out of range for a " +
                         (isInt16 ? "Integer" : "Long Integer"));
    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(n));
    if (isInt16)
        bytes::put16(dst, u & 0xFFFF);
    else
        bytes::put32(dst, u);
}

// One catalog row: an object of `type` (1 table, 3 container) with its id and parent.
inline Row catalogRow(std::uint32_t id, std::uint32_t parent, const std::string& name, int type,
                      std::uint32_t flags, double created)
{
    Row r(catalogColumns().size());
    const std::string date = std::to_string(static_cast<int>(created));
    r[0] = std::to_string(static_cast<std::int32_t>(id));
    r[1] = std::to_string(static_cast<std::int32_t>(parent));
    r[2] = name;
    r[3] = std::to_string(type);
    r[4] = date;
    r[5] = date;
    r[7] = std::to_string(static_cast<std::int32_t>(flags));
    return r;
}

// Throws WriteError when the table cannot be written. `storedLength` gives a name's length
// as the format stores it (characters of UCS-2, or bytes of a code page).
inline void checkTableShape(const std::string& table, const std::vector<Column>& columns,
                            const std::function<std::size_t(const std::string&)>& storedLength)
{
    const std::size_t len = storedLength(table);
    if (len == 0 || len > 64)
        throw WriteError("a table name must have 1 to 64 characters: \"" + table + "\"");
    if (bytes::lowerAscii(table) == "msysobjects")
        throw WriteError("table name " + table + " is reserved");
    if (columns.empty() || columns.size() > 255)
        throw WriteError("table " + table + " must have 1 to 255 columns");
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        const std::size_t n = storedLength(c.name);
        if (n == 0 || n > 64)
            throw WriteError("a column name must have 1 to 64 characters: \"" + c.name + "\"");
        for (std::size_t j = 0; j < i; ++j)
            if (bytes::lowerAscii(columns[j].name) == bytes::lowerAscii(c.name))
                throw WriteError("column " + c.name + " appears twice in table " + table);
        if (c.type == ColumnType::Text && (c.maxChars < 1 || c.maxChars > 255))
            throw WriteError("text column " + c.name + " must hold 1 to 255 characters, not " +
                             std::to_string(c.maxChars));
    }
}

} // namespace jet4
