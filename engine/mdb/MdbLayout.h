#pragma once
// The Jet page layout: the offsets that differ between Jet 3 and Jet 4, where a data page
// keeps its rows, and how a long value (Memo, OLE) says where its bytes lie, read alike by
// the structural check (MdbCheck.h) and the reader (MdbRead.h). Then the check's limits and
// the table definition as the check keeps it.

#include "engine/mdb/JetValue.h"
#include "engine/mdb/LittleEndian.h"
#include "engine/mdb/MdbCheck.h"
#include "engine/mdb/MdbHeader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace engine::jet {

// Offsets that differ between Jet 3 and Jet 4.
struct Format {
    bool jet3;
    std::uint32_t pageSize;
    std::uint32_t rowCountOffset; // data page: u16 row count, then the u16 row offset table
    std::uint32_t tdHead;         // table definition: where the fields below start
    std::uint32_t realIdxEntry;   // bytes per real-index row count entry
    std::uint32_t colEntry;       // bytes per column record
    std::uint32_t colNum;         // column record offsets
    std::uint32_t colVar;
    std::uint32_t colFlags;
    std::uint32_t colFixedOff;
    std::uint32_t colSize;
    std::uint32_t nameLenBytes;  // 1 (Jet 3) or 2 (Jet 4)
    std::uint32_t rowCountBytes; // width of the column count at the start of a row
    std::uint32_t realIdxDef;    // bytes per real index definition
    std::uint32_t logIdxDef;     // bytes per logical index definition
};

// Each field as Jet 3 and as Jet 4 keep it, side by side.
constexpr Format formatOf(bool jet3)
{
    auto pick = [jet3](std::uint32_t inJet3, std::uint32_t inJet4) {
        return jet3 ? inJet3 : inJet4;
    };
    return {.jet3 = jet3,
            .pageSize = pick(kJet3PageSize, kJet4PageSize),
            .rowCountOffset = pick(8, 12),
            .tdHead = pick(23, 43),
            .realIdxEntry = pick(8, 12),
            .colEntry = pick(18, 25),
            .colNum = pick(1, 5),
            .colVar = pick(3, 7),
            .colFlags = pick(13, 15),
            .colFixedOff = pick(14, 21),
            .colSize = pick(16, 23),
            .nameLenBytes = pick(1, 2),
            .rowCountBytes = pick(1, 2),
            .realIdxDef = pick(39, 52),
            .logIdxDef = pick(20, 28)};
}

constexpr Format kJet3 = formatOf(true);
constexpr Format kJet4 = formatOf(false);

// A page's first byte says what it holds.
constexpr std::uint8_t kDataPage = 1;
constexpr std::uint8_t kTdefPage = 2; // a table definition, or its continuation
constexpr std::uint8_t kMapPage = 5;  // a usage map's bits

// A page/row pointer: the page number above the row's index in the low byte.
inline std::uint32_t pageOf(std::uint32_t ptr)
{
    return ptr >> 8;
}
inline std::uint32_t rowOf(std::uint32_t ptr)
{
    return ptr & 0xFF;
}

// A table definition's fields from its format's tdHead on, the same in both formats.
constexpr std::uint32_t kTdNumVarCols = 0; // u16
constexpr std::uint32_t kTdNumCols = 2;    // u16
constexpr std::uint32_t kTdNumIdx = 4;     // u32
constexpr std::uint32_t kTdNumRealIdx = 8; // u32
constexpr std::uint32_t kTdOwnedMap = 12;  // u32 page/row pointer
constexpr std::uint32_t kTdFreeMap = 16;   // u32 page/row pointer
constexpr std::uint32_t kTdColumns = 20;   // the real-index entries, then the column records

// An entry of a data page's row offset table: the row's start in its low bits, and flags.
constexpr std::uint32_t kOffsetMask = 0x1FFF;
constexpr std::uint16_t kDeletedRow = 0x4000;

// A long value (Memo, OLE) starts with a head in the row: a word holding its length and
// where it lies, then the page/row pointer of its first piece elsewhere.
constexpr std::size_t kLongHead = 12;
constexpr std::uint32_t kLongLength = 0x3FFFFFFFu;
// Each piece of a chain starts with the page/row pointer of the next (0 after the last).
constexpr std::size_t kPieceLink = 4;

enum class LongValue {
    Inline,  // the bytes follow the head
    OneRow,  // one row elsewhere holds them
    Chain,   // a chain of rows holds them, as long as the head says
    Unknown, // other flags: nothing is read
};

inline LongValue longValueKind(std::uint32_t head)
{
    if (head & 0x80000000u)
        return LongValue::Inline;
    if (head & 0x40000000u)
        return LongValue::OneRow;
    return (head & 0xFF000000u) == 0 ? LongValue::Chain : LongValue::Unknown;
}

} // namespace engine::jet

namespace engine::mdbcheck {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

using jet::Format;
using jet::get16;
using jet::get32;
using jet::kDeletedRow;
using jet::kJet3;
using jet::kJet4;
using jet::kOffsetMask;

constexpr u32 kMaxColumns = 255;
constexpr u32 kMaxIndexes = 1000;
constexpr u32 kMaxTdefPages = 256;
constexpr u64 kMapByteBudget = 64ull << 20;  // bitmap bytes scanned over the whole file
constexpr u64 kChainStepBudget = 4ull << 20; // long-value chain steps over the whole file
constexpr u32 kMaxLongValue = kMaxLongValueBytes;

struct Reject {
    std::string why;
};

[[noreturn]] inline void reject(std::string why)
{
    throw Reject{std::move(why)};
}

inline std::string num(u64 v)
{
    return std::to_string(v);
}

struct Column {
    u8 type = 0;
    u8 number = 0; // null-mask bit and sort key (the reader keeps one byte of it)
    u16 varIndex = 0;
    bool fixed = false;
    u16 fixedOffset = 0;
    u16 size = 0;
    std::string name; // ASCII letters folded to lower case, others as '?'
};

struct Table {
    u32 tdefPage = 0;
    u16 numVarCols = 0;          // may be stale: a dropped Text column stays counted
    std::vector<Column> columns; // in column-number order, as the reader sorts them
    u32 ownedMap = 0;
    u32 freeMap = 0;
};

struct Slice {
    const u8* data = nullptr;
    u32 len = 0;
};

// The bytes the reader takes for a fixed column: its own width for the types it knows, the
// definition's size for any other.
inline u32 fixedWidth(const Column& c)
{
    switch (c.type) {
    case jet::kBoolean: return 0;
    case jet::kByte: return 1;
    case jet::kInteger: return 2;
    case jet::kLong:
    case jet::kSingle:
    case jet::kComplex: return 4;
    case jet::kCurrency:
    case jet::kDouble:
    case jet::kDateTime: return 8;
    case jet::kReplicationId: return 16;
    case jet::kNumeric: return 17;
    default: return c.size;
    }
}

// Refuses the file naming the data page and row being checked.
struct RowFault {
    u32 page;
    u32 row;
    [[noreturn]] void operator()(const std::string& why) const
    {
        reject("data page " + num(page) + " row " + num(row) + ": " + why);
    }
};

} // namespace engine::mdbcheck
