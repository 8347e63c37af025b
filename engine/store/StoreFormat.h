#pragma once
// A row of the store is one record: for each column in order, one cell. A cell begins with
// a varint v: 0 for a null; an odd v refers to the column's spelling (v >> 1) (see below),
// an even v is followed by the value's (v >> 1) - 1 UTF-8 bytes. Records are stored in
// chunks; a chunk of k records begins with k offsets (32-bit, little-endian, counted from
// the chunk's first byte), where each record begins, and the records follow in row order:
// any one record is read without decoding those before it.
//
// Spellings: a column with a dictionary keeps the first spelling of each of its first
// kSpellingRefs values (in the order they first appear) in the table s<t>, one row per
// column: for each value, a varint length and the bytes. A cell that is exactly one of
// them, and not longer than kSpellingMaxBytes, is stored as its number: most records then
// take a byte or two per column.
//
// Besides the records, the store's blobs (row lists and bitmaps, lengths, spellings) are
// written and read through what is here; the tables they live in are in StoreSchema.h.

#include "engine/store/StoreSchema.h"
#include "util/Utf8.h"

#include <algorithm>
#include <bit>
#include <cassert>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace engine::record {

// Rows are stored in chunks of this many records (fewer rows in the store, fewer steps).
constexpr std::uint32_t kChunkRows = 16;
constexpr std::size_t kOffsetBytes = 4; // one record's offset in a chunk's head

// The chunk holding row `row` (rows count from 1), and the record's place in it.
constexpr std::int64_t chunkOf(std::uint32_t row)
{
    return (row - 1) / kChunkRows;
}
constexpr std::size_t placeInChunk(std::uint32_t row)
{
    return (row - 1) % kChunkRows;
}
// The first row of chunk `chunk`.
constexpr std::uint32_t firstRowOf(std::int64_t chunk)
{
    return static_cast<std::uint32_t>(chunk) * kChunkRows + 1;
}

// Records in the chunk `chunk` of a table of `tableRows` rows (the last chunk may hold fewer).
inline std::size_t chunkRecords(std::int64_t tableRows, std::int64_t chunk)
{
    const std::int64_t left = tableRows - chunk * kChunkRows;
    return left <= 0 ? 0 : static_cast<std::size_t>(std::min<std::int64_t>(left, kChunkRows));
}

// A 32-bit little-endian number (a record's offset, a row of a list).
inline std::uint32_t get32(const unsigned char* p)
{
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

inline void putOffset(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Whether a record found at [begin, end) lies within a chunk of `size` bytes, after its head.
inline bool spanFits(std::size_t head, std::size_t begin, std::size_t end, std::size_t size)
{
    return head <= begin && begin <= end && end <= size;
}

// Where record r of a chunk of k records lies: [begin, end) of the chunk's `size` bytes.
// False when the chunk is too short for its head or the head is damaged.
inline bool recordSpan(const unsigned char* chunk, std::size_t size, std::size_t k, std::size_t r,
                       std::size_t& begin, std::size_t& end)
{
    const std::size_t head = k * kOffsetBytes;
    if (r >= k || size < head)
        return false;
    begin = get32(chunk + r * kOffsetBytes);
    end = r + 1 < k ? get32(chunk + (r + 1) * kOffsetBytes) : size;
    return spanFits(head, begin, end, size);
}

// A list of row numbers: 32-bit little-endian, ascending (a dictionary entry's rows, a
// column's nulls).
constexpr std::size_t kRowBytes = 4;

// A dictionary entry's rows: a list of row numbers (32-bit little-endian, ascending), or,
// where that is shorter, a bitmap of the table's rows: the byte kBitmapMark, then 64-bit
// little-endian words, bit r % 64 of word r / 64 set for row r (so the length, unlike a
// list's, is never a multiple of four).
constexpr unsigned char kBitmapMark = 'B';

// The 64-bit words of a bitmap of a table of `tableRows` rows.
inline std::size_t bitmapWords(std::int64_t tableRows)
{
    return static_cast<std::size_t>(tableRows >> 6) + 1;
}

// Whether `count` rows of such a table are kept as a bitmap.
inline bool rowsAsBitmap(std::size_t count, std::int64_t tableRows)
{
    return count * kRowBytes > 1 + bitmapWords(tableRows) * 8;
}

// Whether a stored entry's rows of `bytes` bytes are a bitmap (else a list).
inline bool isBitmap(std::size_t bytes)
{
    return bytes % kRowBytes == 1;
}

// Row i of a list.
inline std::uint32_t listRow(const unsigned char* list, std::size_t i)
{
    return get32(list + i * kRowBytes);
}

// Makes `out` the bitmap of the rows [begin, end) (each 1 .. tableRows) of a table.
inline void putBitmap(std::string& out, const std::uint32_t* begin, const std::uint32_t* end,
                      std::int64_t tableRows)
{
    out.assign(1 + bitmapWords(tableRows) * 8, '\0');
    out[0] = static_cast<char>(kBitmapMark);
    // (little-endian words: bit r of the map is bit r % 8 of byte r / 8)
    for (const std::uint32_t* r = begin; r != end; ++r)
        out[1 + *r / 8] = static_cast<char>(out[1 + *r / 8] | (1 << (*r % 8)));
}

// A stored bitmap as read: checked against its table, then its rows counted, tested, listed.
class BitmapView {
public:
    // False when `bytes` at `map` are no bitmap of a table of `tableRows` rows: another
    // length, no mark, or a row 0 or past the table set.
    bool open(const unsigned char* map, std::size_t bytes, std::uint32_t tableRows)
    {
        words_ = bitmapWords(tableRows);
        map_ = map;
        rows_ = tableRows;
        if (bytes != 1 + words_ * 8 || map[0] != kBitmapMark)
            return false;
        const unsigned top = tableRows & 63; // the last row's bit in the last word
        const std::uint64_t beyond = top == 63 ? 0 : ~((std::uint64_t{2} << top) - 1);
        return !(word(0) & 1) && !(word(words_ - 1) & beyond);
    }
    std::size_t count() const
    {
        std::size_t n = 0;
        for (std::size_t w = 0; w < words_; ++w)
            n += static_cast<std::size_t>(std::popcount(word(w)));
        return n;
    }
    bool has(std::uint32_t r) const { return r <= rows_ && (map_[1 + r / 8] >> (r % 8) & 1); }
    // Calls f(row) for each row set, ascending.
    template <class F>
    void forEach(F&& f) const
    {
        for (std::size_t w = 0; w < words_; ++w)
            for (std::uint64_t b = word(w); b; b &= b - 1)
                f(static_cast<std::uint32_t>(w * 64 +
                                             static_cast<std::size_t>(std::countr_zero(b))));
    }

private:
    std::uint64_t word(std::size_t w) const
    {
        std::uint64_t v = 0;
        std::memcpy(&v, map_ + 1 + w * 8, 8);
        if constexpr (std::endian::native == std::endian::big)
            v = __builtin_bswap64(v);
        return v;
    }
    const unsigned char* map_ = nullptr;
    std::size_t words_ = 0;
    std::uint32_t rows_ = 0;
};

// The table n<t> holds every cell's length in characters, one byte each (255: 255 or more,
// 0: null or empty), row after row, in parts of this many rows.
constexpr std::uint32_t kLengthPartRows = 65536;
// Read into memory, the lengths are followed by this many zero bytes, so that a row's
// lengths can be read in one piece of this size (for tables of at most this many columns).
constexpr std::size_t kLengthPadding = 32;
// For such tables the most of each column over every block of this many rows is kept too:
// a result that holds a whole block takes its lengths from there.
constexpr std::uint32_t kLengthBlockRows = 256;
// A dictionary entry of at least this many rows keeps the most of each column's length over
// its rows (one byte per column of the table, as above): a result that is the rows of whole
// entries takes its column widths from there.
constexpr std::uint32_t kEntryMostRows = 256;

// most[k] = max(most[k], row[k]) for the kLengthPadding bytes of a row's lengths.
inline void widenLengths(std::uint8_t* most, const std::uint8_t* row)
{
#if defined(__SSE2__)
    static_assert(kLengthPadding == 32);
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(most));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(most + 16));
    a = _mm_max_epu8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
    b = _mm_max_epu8(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 16)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(most), a);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(most + 16), b);
#else
    for (std::size_t k = 0; k < kLengthPadding; ++k)
        most[k] = std::max(most[k], row[k]);
#endif
}

// Characters in a UTF-8 text, counted up to 255.
inline std::uint8_t charLength(std::string_view text)
{
    const size_t n = fz::utf8::charCount(text);
    return static_cast<std::uint8_t>(n < 255 ? n : 255);
}

inline void putVarint(std::string& out, std::uint64_t v)
{
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

// Reads a varint at p (not past end); false when it runs past end or is too long.
inline bool getVarint(const unsigned char*& p, const unsigned char* end, std::uint64_t& v)
{
    if (p < end && *p < 0x80) { // one byte: most cells
        v = *p++;
        return true;
    }
    v = 0;
    for (int shift = 0; shift <= 35; shift += 7) {
        if (p >= end)
            return false;
        const unsigned char b = *p++;
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

// A column's spellings that cells may refer to: at most this many, each at most this long.
constexpr std::uint32_t kSpellingRefs = 4096;
constexpr std::size_t kSpellingMaxBytes = 255;

// A column's spellings are stored one after the other, each a varint length and its bytes.
inline void putSpelling(std::string& out, std::string_view w)
{
    putVarint(out, w.size());
    out.append(w);
}

// Reads the spelling at p (not past end); false when it runs past end.
inline bool getSpelling(const unsigned char*& p, const unsigned char* end, std::string_view& w)
{
    std::uint64_t len = 0;
    if (!getVarint(p, end, len) || len > static_cast<std::uint64_t>(end - p))
        return false;
    w = std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(len));
    p += len;
    return true;
}

inline void putNull(std::string& out)
{
    out.push_back('\0');
}

inline void putValue(std::string& out, std::string_view v)
{
    putVarint(out, (std::uint64_t{v.size()} + 1) << 1);
    out.append(v);
}

// A cell that is spelling number `id` (1 .. kSpellingRefs) of its column.
inline void putSpellingRef(std::string& out, std::uint32_t id)
{
    assert(id >= 1 && id <= kSpellingRefs);
    putVarint(out, (std::uint64_t{id} << 1) | 1);
}

// One cell as read: a value, the number of a spelling of the column, or (neither: a value
// without data() and no number) a null.
struct Cell {
    std::string_view value; // the bytes of a value stored in the record
    std::uint32_t ref = 0;  // else the spelling's number (1-based), when not 0
};

// Reads one cell at p (not past end). Returns false on a malformed record.
inline bool getCell(const unsigned char*& p, const unsigned char* end, Cell& cell)
{
    std::uint64_t v = 0;
    if (!getVarint(p, end, v))
        return false;
    cell.value = {};
    cell.ref = 0;
    if (v & 1) {
        if ((v >> 1) == 0 || (v >> 1) > kSpellingRefs)
            return false;
        cell.ref = static_cast<std::uint32_t>(v >> 1);
    } else if (v != 0) {
        const std::uint64_t len = (v >> 1) - 1;
        if (len > static_cast<std::uint64_t>(end - p))
            return false;
        cell.value = std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(len));
        p += len;
    }
    return true;
}

} // namespace engine::record
