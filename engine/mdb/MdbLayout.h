#pragma once
// The Jet page layout as the structural check (MdbCheck.h) reads it: the offsets that differ
// between Jet 3 and Jet 4, limits, column types, and the table definition as the check keeps
// it. Used only by the check's own files.

#include "engine/mdb/JetValue.h"
#include "engine/mdb/MdbCheck.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine::mdbcheck {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

// Offsets that differ between Jet 3 (2 KiB pages) and Jet 4 (4 KiB pages).
struct Format {
    bool jet3;
    u32 pageSize;
    u32 rowCountOffset; // data page: u16 row count, then the u16 row offset table
    u32 tdNumVarCols;   // table definition stream offsets
    u32 tdNumCols;
    u32 tdNumIdx;
    u32 tdNumRealIdx;
    u32 tdOwnedMap;
    u32 tdFreeMap;
    u32 tdColsStart;
    u32 realIdxEntry; // bytes per real-index row count entry
    u32 colEntry;     // bytes per column record
    u32 colNum;       // column record offsets
    u32 colVar;
    u32 colFlags;
    u32 colFixedOff;
    u32 colSize;
    u32 nameLenBytes;  // 1 (Jet 3) or 2 (Jet 4)
    u32 rowCountBytes; // width of the column count at the start of a row
    u32 realIdxDef;    // bytes per real index definition
    u32 logIdxDef;     // bytes per logical index definition
};

constexpr Format kJet4{.jet3 = false,
                       .pageSize = 4096,
                       .rowCountOffset = 12,
                       .tdNumVarCols = 43,
                       .tdNumCols = 45,
                       .tdNumIdx = 47,
                       .tdNumRealIdx = 51,
                       .tdOwnedMap = 55,
                       .tdFreeMap = 59,
                       .tdColsStart = 63,
                       .realIdxEntry = 12,
                       .colEntry = 25,
                       .colNum = 5,
                       .colVar = 7,
                       .colFlags = 15,
                       .colFixedOff = 21,
                       .colSize = 23,
                       .nameLenBytes = 2,
                       .rowCountBytes = 2,
                       .realIdxDef = 52,
                       .logIdxDef = 28};
constexpr Format kJet3{.jet3 = true,
                       .pageSize = 2048,
                       .rowCountOffset = 8,
                       .tdNumVarCols = 23,
                       .tdNumCols = 25,
                       .tdNumIdx = 27,
                       .tdNumRealIdx = 31,
                       .tdOwnedMap = 35,
                       .tdFreeMap = 39,
                       .tdColsStart = 43,
                       .realIdxEntry = 8,
                       .colEntry = 18,
                       .colNum = 1,
                       .colVar = 3,
                       .colFlags = 13,
                       .colFixedOff = 14,
                       .colSize = 16,
                       .nameLenBytes = 1,
                       .rowCountBytes = 1,
                       .realIdxDef = 39,
                       .logIdxDef = 20};

constexpr u32 kOffsetMask = 0x1FFF;
constexpr u16 kDeletedRow = 0x4000;
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

inline u16 get16(const u8* p)
{
    return static_cast<u16>(p[0] | (p[1] << 8));
}
inline u32 get32(const u8* p)
{
    return u32(p[0]) | (u32(p[1]) << 8) | (u32(p[2]) << 16) | (u32(p[3]) << 24);
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
