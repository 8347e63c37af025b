#include "engine/MdbCheck.h"

#include "engine/MdbHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace engine {
namespace {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

// Offsets that differ between Jet 3 (2 KiB pages) and Jet 4 (4 KiB pages).
struct Format {
    bool jet3;
    u32 pageSize;
    u32 rowCountOffset;   // data page: u16 row count, then the u16 row offset table
    u32 tdNumVarCols;     // table definition stream offsets
    u32 tdNumCols;
    u32 tdNumIdx;
    u32 tdNumRealIdx;
    u32 tdOwnedMap;
    u32 tdFreeMap;
    u32 tdColsStart;
    u32 realIdxEntry;     // bytes per real-index row count entry
    u32 colEntry;         // bytes per column record
    u32 colNum;           // column record offsets
    u32 colVar;
    u32 colFlags;
    u32 colFixedOff;
    u32 colSize;
    u32 nameLenBytes;     // 1 (Jet 3) or 2 (Jet 4)
    u32 rowCountBytes;    // width of the column count at the start of a row
    u32 realIdxDef;       // bytes per real index definition
    u32 logIdxDef;        // bytes per logical index definition
};

constexpr Format kJet4{false, 4096, 12, 43, 45, 47, 51, 55, 59, 63, 12, 25, 5, 7, 15, 21, 23,
                       2, 2, 52, 28};
constexpr Format kJet3{true, 2048, 8, 23, 25, 27, 31, 35, 39, 43, 8, 18, 1, 3, 13, 14, 16,
                       1, 1, 39, 20};

constexpr u32 kOffsetMask = 0x1FFF;
constexpr u16 kDeletedRow = 0x4000;
constexpr u32 kMaxColumns = 255;
constexpr u32 kMaxIndexes = 1000;
constexpr u32 kMaxTdefPages = 256;
constexpr u64 kMapByteBudget = 64ull << 20;   // bitmap bytes scanned over the whole file
constexpr u64 kChainStepBudget = 4ull << 20;  // long-value chain steps over the whole file
constexpr u32 kMaxLongValue = kMaxLongValueBytes;

enum ColType : u8 {
    kBool = 0x01, kByte = 0x02, kInt = 0x03, kLong = 0x04, kMoney = 0x05, kFloat = 0x06,
    kDouble = 0x07, kDateTime = 0x08, kBinary = 0x09, kText = 0x0A, kOle = 0x0B, kMemo = 0x0C,
    kRepId = 0x0F, kNumeric = 0x10, kComplex = 0x12
};

struct Reject {
    std::string why;
};

[[noreturn]] void reject(std::string why) { throw Reject{std::move(why)}; }

u16 get16(const u8* p) { return static_cast<u16>(p[0] | (p[1] << 8)); }
u32 get32(const u8* p) { return u32(p[0]) | (u32(p[1]) << 8) | (u32(p[2]) << 16) | (u32(p[3]) << 24); }

std::string num(u64 v) { return std::to_string(v); }

// The pages of the file, from a descriptor or from memory.
class Pages {
public:
    Pages(int fd, u64 size) : fd_(fd), size_(size) {}
    Pages(const u8* mem, u64 size) : mem_(mem), size_(size) {}

    u64 size() const { return size_; }
    u32 count() const { return count_; }
    const Format& fmt() const { return *fmt_; }
    void setFormat(const Format& f, u32 pageKey)
    {
        fmt_ = &f;
        key_ = pageKey;
        count_ = static_cast<u32>(std::min<u64>(size_ / f.pageSize, 0xFFFFFFu));
    }

    bool readRaw(u64 offset, u8* out, std::size_t len) const
    {
        if (offset + len > size_)
            return false;
        if (mem_) {
            std::memcpy(out, mem_ + offset, len);
            return true;
        }
        std::size_t done = 0;
        while (done < len) {
            ssize_t n = ::pread(fd_, out + done, len - done, static_cast<off_t>(offset + done));
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // A page that stays available for the whole check (definitions, maps, long values).
    const u8* page(u32 pg, const char* what)
    {
        if (pg >= count_)
            reject(std::string(what) + " points to page " + num(pg) + ", beyond the end of the file (" +
                   num(count_) + " pages)");
        if (direct())
            return mem_ + u64(pg) * fmt_->pageSize;
        auto it = cache_.find(pg);
        if (it != cache_.end())
            return it->second.get();
        std::unique_ptr<u8[]> buf(new u8[fmt_->pageSize]);
        if (!readRaw(u64(pg) * fmt_->pageSize, buf.get(), fmt_->pageSize))
            reject("cannot read page " + num(pg));
        decode(pg, buf.get(), fmt_->pageSize);
        const u8* p = buf.get();
        cache_.emplace(pg, std::move(buf));
        return p;
    }

    // A page read through a read-ahead window (data pages are scanned once, in page order).
    const u8* scratch(u32 pg)
    {
        if (direct())
            return page(pg, "data page");
        if (auto it = cache_.find(pg); it != cache_.end())
            return it->second.get();
        if (pg >= count_)
            reject("cannot read page " + num(pg));
        if (pg < windowFirst_ || pg >= windowFirst_ + windowPages_) {
            constexpr u32 kWindow = 64;
            windowPages_ = std::min(kWindow, count_ - pg);
            window_.resize(std::size_t(windowPages_) * fmt_->pageSize);
            windowFirst_ = pg;
            if (!readRaw(u64(pg) * fmt_->pageSize, window_.data(), window_.size())) {
                windowPages_ = 0;
                reject("cannot read page " + num(pg));
            }
            for (u32 k = 0; k < windowPages_; ++k)
                decode(pg + k, window_.data() + std::size_t(k) * fmt_->pageSize, fmt_->pageSize);
        }
        return window_.data() + std::size_t(pg - windowFirst_) * fmt_->pageSize;
    }

    // Page type and owner (bytes 0 and 4..7), remembered for every page looked at.
    std::pair<u8, u32> header(u32 pg)
    {
        if (pg >= count_)
            reject("page " + num(pg) + " is beyond the end of the file");
        if (direct()) {
            const u8* p = mem_ + u64(pg) * fmt_->pageSize;
            return {p[0], get32(p + 4)};
        }
        if (auto it = heads_.find(pg); it != heads_.end())
            return it->second;
        u8 h[8];
        if (!readRaw(u64(pg) * fmt_->pageSize, h, 8))
            reject("cannot read page " + num(pg));
        decode(pg, h, 8);  // the mask is a stream: its first bytes decode the first bytes
        std::pair<u8, u32> r{h[0], get32(h + 4)};
        heads_.emplace(pg, r);
        return r;
    }

private:
    int fd_ = -1;
    // Pages of an image in memory are used in place unless they need decoding.
    bool direct() const { return mem_ && key_ == 0; }
    void decode(u32 pg, u8* data, std::size_t len) const
    {
        if (key_ != 0 && pg != 0)
            decodePage(key_, pg, data, len);
    }

    const u8* mem_ = nullptr;
    u32 key_ = 0;  // the pages' mask key (0: in the clear)
    u64 size_ = 0;
    u32 count_ = 0;
    const Format* fmt_ = &kJet4;
    std::unordered_map<u32, std::unique_ptr<u8[]>> cache_;
    std::unordered_map<u32, std::pair<u8, u32>> heads_;
    std::vector<u8> window_;
    u32 windowFirst_ = 0;
    u32 windowPages_ = 0;
};

struct Column {
    u8 type = 0;
    u8 number = 0;     // null-mask bit and sort key (the reader keeps one byte of it)
    u16 varIndex = 0;
    bool fixed = false;
    u16 fixedOffset = 0;
    u16 size = 0;
    std::string name;  // ASCII letters folded to lower case, others as '?'
};

struct Table {
    u32 tdefPage = 0;
    u16 numVarCols = 0;  // may be stale: a dropped Text column stays counted
    std::vector<Column> columns;  // in column-number order, as the reader sorts them
    u32 ownedMap = 0;
    u32 freeMap = 0;
};

struct Slice {
    const u8* data = nullptr;
    u32 len = 0;
};

u32 fixedWidth(const Column& c)
{
    switch (c.type) {
    case kBool: return 0;
    case kByte: return 1;
    case kInt: return 2;
    case kLong: case kFloat: case kComplex: return 4;
    case kMoney: case kDouble: case kDateTime: return 8;
    case kRepId: return 16;
    case kNumeric: return 17;
    default: return c.size;
    }
}

class Checker {
public:
    explicit Checker(Pages& pages) : pages_(pages) {}

    void run()
    {
        checkHeader();
        const Format& f = pages_.fmt();
        if (pages_.count() < 3)
            reject("file has only " + num(pages_.count()) + " pages");

        Table catalog = readTable(2, "catalog table definition (page 2)");
        catalogCols_ = findCatalogColumns(catalog);
        checkTable(catalog, true);
        checked_.insert(2);

        // Every table the catalog names is read by the importer: check each one once.
        std::vector<u32> tables = catalogTables_;
        for (u32 tdef : tables) {
            if (!checked_.insert(tdef).second)
                continue;
            Table t = readTable(tdef, "table definition");
            checkTable(t, false);
        }
        (void)f;
    }

private:
    Pages& pages_;
    std::unordered_set<u32> checked_;
    std::unordered_set<u32> rowCheckedPages_;
    std::vector<u32> catalogTables_;
    std::unordered_set<std::u16string> tableNames_;  // user tables, folded
    u64 mapBytes_ = 0;
    u64 chainSteps_ = 0;
    std::vector<u8> pageCopy_;   // the data page being checked
    std::vector<u32> varOff_;    // the row being checked: its variable column offsets

    struct CatalogCols {
        int id = -1, name = -1, type = -1, flags = -1, lvProp = -1;
    } catalogCols_;

    // ---- header -----------------------------------------------------------------------

    void checkHeader()
    {
        unsigned char h[kMdbHeaderBytes] = {};
        if (pages_.size() < sizeof h || !pages_.readRaw(0, h, sizeof h))
            reject("file is too short for a database header (" + num(pages_.size()) + " bytes)");
        const MdbHeader header = readMdbHeader(h, sizeof h);
        if (header.format == MdbHeader::Format::NotDatabase)
            reject("no database signature or an unknown version in the header");
        if (header.encrypted)
            reject("pages are encrypted under a password");
        pages_.setFormat(header.format == MdbHeader::Format::Jet3 ? kJet3 : kJet4, header.pageKey);
        const Format& f = pages_.fmt();
        if (pages_.size() % f.pageSize != 0)
            reject("file size " + num(pages_.size()) + " is not a whole number of " + num(f.pageSize) +
                   "-byte pages (truncated?)");
        if (pages_.size() / f.pageSize > 0xFFFFFF)
            reject("file is larger than the format allows");
    }

    // ---- table definitions -------------------------------------------------------------

    // The definition stream: the first page whole, then bytes 8.. of each continuation page.
    std::vector<u8> tdefStream(u32 first, const char* what)
    {
        const Format& f = pages_.fmt();
        std::vector<u8> s;
        std::unordered_set<u32> seen;
        u32 pg = first;
        bool head = true;
        while (true) {
            if (!seen.insert(pg).second)
                reject(std::string(what) + ": chain of definition pages loops back to page " + num(pg));
            if (seen.size() > kMaxTdefPages)
                reject(std::string(what) + ": chain of definition pages is too long");
            const u8* p = pages_.page(pg, what);
            if (p[0] != 2)
                reject(std::string(what) + ": page " + num(pg) + " is not a table definition page (type " +
                       num(p[0]) + ")");
            s.insert(s.end(), p + (head ? 0 : 8), p + f.pageSize);
            head = false;
            u32 next = get32(p + 4);
            if (next == 0)
                break;
            pg = next;
        }
        return s;
    }

    Table readTable(u32 tdefPage, const char* what)
    {
        const Format& f = pages_.fmt();
        std::string label = std::string(what) + " at page " + num(tdefPage);
        std::vector<u8> s = tdefStream(tdefPage, label.c_str());
        auto need = [&](u64 end, const char* item) {
            if (end > s.size())
                reject(label + ": " + item + " run past the end of the definition");
        };
        need(f.tdColsStart, "header fields");
        Table t;
        t.tdefPage = tdefPage;
        t.numVarCols = get16(&s[f.tdNumVarCols]);
        u32 numCols = get16(&s[f.tdNumCols]);
        u32 numIdx = get32(&s[f.tdNumIdx]);
        u32 numRealIdx = get32(&s[f.tdNumRealIdx]);
        t.ownedMap = get32(&s[f.tdOwnedMap]);
        t.freeMap = get32(&s[f.tdFreeMap]);
        if (numCols > kMaxColumns)
            reject(label + ": " + num(numCols) + " columns");
        if (numIdx > kMaxIndexes || numRealIdx > kMaxIndexes)
            reject(label + ": implausible index count");
        u64 pos = f.tdColsStart + u64(numRealIdx) * f.realIdxEntry;
        need(pos + u64(numCols) * f.colEntry, "column records");
        std::vector<bool> seenNumber(256, false);
        for (u32 i = 0; i < numCols; ++i, pos += f.colEntry) {
            const u8* c = &s[pos];
            Column col;
            col.type = c[0];
            col.number = c[f.colNum];
            col.varIndex = get16(c + f.colVar);
            col.fixed = (c[f.colFlags] & 0x01) != 0;
            col.fixedOffset = get16(c + f.colFixedOff);
            col.size = get16(c + f.colSize);
            if (seenNumber[col.number])
                reject(label + ": two columns share number " + num(col.number));
            seenNumber[col.number] = true;
            t.columns.push_back(col);
        }
        std::unordered_set<std::u16string> names;
        for (u32 i = 0; i < numCols; ++i) {
            need(pos + f.nameLenBytes, "column names");
            u32 len = f.nameLenBytes == 2 ? get16(&s[pos]) : s[pos];
            pos += f.nameLenBytes;
            need(pos + len, "column names");
            std::string name;
            if (f.jet3) {
                for (u32 k = 0; k < len; ++k)
                    name += static_cast<char>(s[pos + k]);
            } else {
                for (u32 k = 0; k + 1 < len; k += 2) {
                    u16 ch = get16(&s[pos + k]);
                    name += ch < 0x80 ? static_cast<char>(ch) : '?';
                }
            }
            for (char& ch : name)
                if (ch >= 'A' && ch <= 'Z')
                    ch = static_cast<char>(ch - 'A' + 'a');
            t.columns[i].name = name;
            // Column names are unique regardless of letter case; a second column of the same
            // name would make every statement on that name read the wrong column.
            std::u16string key;
            for (u32 k = 0; k + (f.jet3 ? 0 : 1) < len; k += f.jet3 ? 1 : 2) {
                char16_t ch = f.jet3 ? s[pos + k] : get16(&s[pos + k]);
                if ((ch >= u'A' && ch <= u'Z') || (ch >= 0x0410 && ch <= 0x042F))
                    ch = static_cast<char16_t>(ch + 0x20);
                else if (ch >= 0x0400 && ch <= 0x040F)
                    ch = static_cast<char16_t>(ch + 0x50);
                key += ch;
            }
            if (!names.insert(key).second)
                reject(label + ": two columns are named \"" + name + "\"");
            pos += len;
        }
        need(pos + u64(numRealIdx) * f.realIdxDef + u64(numIdx) * f.logIdxDef, "index definitions");
        std::stable_sort(t.columns.begin(), t.columns.end(),
                         [](const Column& a, const Column& b) { return a.number < b.number; });
        return t;
    }

    CatalogCols findCatalogColumns(const Table& t)
    {
        CatalogCols cc;
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const std::string& n = t.columns[i].name;
            int idx = static_cast<int>(i);
            if (n == "id") cc.id = idx;
            else if (n == "name") cc.name = idx;
            else if (n == "type") cc.type = idx;
            else if (n == "flags") cc.flags = idx;
            else if (n == "lvprop") cc.lvProp = idx;
        }
        if (cc.id < 0 || cc.name < 0 || cc.type < 0 || cc.flags < 0 || cc.lvProp < 0)
            reject("catalog table lacks one of the columns Id, Name, Type, Flags, LvProp");
        return cc;
    }

    // ---- rows and usage maps -----------------------------------------------------------

    // The row a page/row pointer names, as the reader finds it.
    Slice pointedRow(u32 ptr, const char* what, bool needDataPage)
    {
        const Format& f = pages_.fmt();
        u32 pg = ptr >> 8, row = ptr & 0xFF;
        const u8* p = pages_.page(pg, what);
        if (needDataPage && p[0] != 1)
            reject(std::string(what) + " points to page " + num(pg) + ", which is not a data page");
        u32 rows = get16(p + f.rowCountOffset);
        if (row >= rows)
            reject(std::string(what) + " points to row " + num(row) + " of page " + num(pg) + ", which has " +
                   num(rows) + " rows");
        if (f.rowCountOffset + 2 + 2 * rows > f.pageSize)
            reject("row offset table of page " + num(pg) + " runs past the page");
        u32 start = get16(p + f.rowCountOffset + 2 + 2 * row) & kOffsetMask;
        u32 end = row == 0 ? f.pageSize : (get16(p + f.rowCountOffset + 2 * row) & kOffsetMask);
        if (end > f.pageSize || start > end)
            reject(std::string(what) + ": row " + num(row) + " of page " + num(pg) + " has offsets " +
                   num(start) + ".." + num(end));
        return {p + start, end - start};
    }

    // Data pages of a table in the order the reader visits them.
    std::vector<u32> ownedPages(const Table& t, const std::string& label)
    {
        const Format& f = pages_.fmt();
        std::string what = label + " owned-pages map";
        Slice m = pointedRow(t.ownedMap, what.c_str(), true);
        std::string fwhat = label + " free-space map";
        Slice fm = pointedRow(t.freeMap, fwhat.c_str(), true);
        (void)fm;
        if (m.len < 5)
            reject(what + " is " + num(m.len) + " bytes long");
        std::vector<u32> out;
        auto addPage = [&](u64 pg) {
            if (pg >= pages_.count())
                reject(what + " marks page " + num(pg) + ", beyond the end of the file");
            if (pg != 0)
                out.push_back(static_cast<u32>(pg));
        };
        if (m.data[0] == 0) {
            u32 start = get32(m.data + 1);
            mapBytes_ += m.len;
            for (u32 i = 0; i < (m.len - 5) * 8; ++i)
                if (m.data[5 + i / 8] & (1u << (i % 8)))
                    addPage(u64(start) + i);
        } else if (m.data[0] == 1) {
            u32 bits = (f.pageSize - 4) * 8;
            u32 slots = (m.len - 1) / 4;
            std::unordered_set<u32> seen;
            for (u32 k = 0; k < slots; ++k) {
                u32 mp = get32(m.data + 1 + 4 * k);
                if (mp == 0)
                    continue;
                const u8* p = pages_.page(mp, what.c_str());
                if (p[0] != 5)
                    reject(what + " slot " + num(k) + " points to page " + num(mp) + " of type " + num(p[0]) +
                           ", not a usage-map page");
                if (!seen.insert(mp).second)
                    reject(what + " uses page " + num(mp) + " twice");
                mapBytes_ += f.pageSize;
                if (mapBytes_ > kMapByteBudget)
                    reject("usage maps are implausibly large");
                const u8* bm = p + 4;
                for (u32 byte = 0; byte < bits / 8; ++byte) {
                    if (!bm[byte])
                        continue;
                    for (u32 b = 0; b < 8; ++b)
                        if (bm[byte] & (1u << b))
                            addPage(u64(k) * bits + byte * 8 + b);
                }
            }
        } else {
            reject(what + " has unknown type " + num(m.data[0]));
        }
        if (mapBytes_ > kMapByteBudget)
            reject("usage maps are implausibly large");
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    void checkTable(const Table& t, bool isCatalog)
    {
        std::string label = (isCatalog ? std::string("catalog table") : std::string("table")) +
                            " (definition page " + num(t.tdefPage) + ")";
        // The row count the definition keeps is bookkeeping (Access leaves it stale after
        // deletions, in-place edits and unclean shutdowns): the rows read are the truth, so
        // it is not compared with anything.
        for (u32 pg : ownedPages(t, label)) {
            auto [type, owner] = pages_.header(pg);
            if (type != 1 || owner != t.tdefPage)
                continue;  // the reader skips pages of other owners
            if (!rowCheckedPages_.insert(pg).second)
                continue;
            checkDataPage(t, pg, isCatalog);
        }
    }

    // Every row the reader decodes on the page (it skips the ones flagged 0x4000).
    void checkDataPage(const Table& t, u32 pg, bool isCatalog)
    {
        const Format& f = pages_.fmt();
        const u8* p = pages_.scratch(pg);
        // keep our own copy: long values may pull other pages into the scratch buffer
        std::vector<u8>& page = pageCopy_;
        page.assign(p, p + f.pageSize);
        u32 rows = get16(&page[f.rowCountOffset]);
        if (f.rowCountOffset + 2 + 2 * rows > f.pageSize)
            reject("data page " + num(pg) + " claims " + num(rows) + " rows; its offset table runs past the page");
        for (u32 r = 0; r < rows; ++r) {
            u16 raw = get16(&page[f.rowCountOffset + 2 + 2 * r]);
            if (raw & kDeletedRow)
                continue;
            u32 start = raw & kOffsetMask;
            u32 end = r == 0 ? f.pageSize : (get16(&page[f.rowCountOffset + 2 * r]) & kOffsetMask);
            if (end > f.pageSize || start >= end)
                reject("data page " + num(pg) + " row " + num(r) + " has offsets " + num(start) + ".." + num(end));
            checkRow(t, page.data(), start, end - start, pg, r, isCatalog);
        }
    }

    // The positions the reader computes for each column of a row must stay inside the row.
    void checkRow(const Table& t, const u8* page, u32 start, u32 size, u32 pg, u32 r, bool isCatalog)
    {
        const Format& f = pages_.fmt();
        auto bad = [&](const std::string& why) {
            reject("data page " + num(pg) + " row " + num(r) + ": " + why);
        };
        const u8* row = page + start;
        if (size < f.rowCountBytes)
            bad("row is shorter than its column count");
        u32 rowCols = f.jet3 ? row[0] : get16(row);
        u32 maskLen = (rowCols + 7) / 8;
        if (u64(maskLen) + (f.jet3 ? 1 : 2) > size)
            bad("null mask does not fit in the row");
        u32 last = size - 1;  // row-relative index of the last byte
        const u8* nullMask = row + (last - maskLen + 1);
        u32 rowVarCols = f.jet3 ? row[last - maskLen] : get16(row + (last - maskLen - 1));
        std::vector<u32>& varOff = varOff_;
        varOff.clear();
        if (t.numVarCols > 0) {
            varOff.resize(u64(rowVarCols) + 1);
            if (!f.jet3) {
                if (u64(maskLen) + 6 + 2ull * rowVarCols > size)
                    bad("variable column table does not fit in the row");
                for (u32 i = 0; i <= rowVarCols; ++i)
                    varOff[i] = get16(row + (last - maskLen - 3 - 2 * i));
            } else {
                jet3Offsets(row, size, maskLen, rowVarCols, varOff, bad);
            }
        }
        u32 rowFixedCols = rowCols - rowVarCols;  // unsigned, as the reader computes it
        u32 fixedFound = 0;
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            const Column& c = t.columns[i];
            u32 byte = c.number / 8;
            bool present = byte >= maskLen || (nullMask[byte] & (1u << (c.number % 8)));
            u32 vStart = 0, vLen = 0;
            if (c.fixed && fixedFound < rowFixedCols) {
                vStart = c.fixedOffset + f.rowCountBytes;
                vLen = fixedWidth(c);
                if (u64(vStart) + vLen > size)
                    bad("fixed column " + num(c.number) + " lies outside the row");
                ++fixedFound;
            } else if (!c.fixed && c.varIndex < rowVarCols && t.numVarCols > 0) {
                vStart = varOff[c.varIndex];
                u32 vEnd = varOff[c.varIndex + 1u];
                if (vStart > vEnd || vEnd > size)
                    bad("variable column " + num(c.number) + " has offsets " + num(vStart) + ".." + num(vEnd));
                vLen = vEnd - vStart;
            } else {
                continue;  // read as null
            }
            if (!present || (c.type == kBool))
                continue;
            checkValue(c, page, start + vStart, vLen, bad);
            if (isCatalog && static_cast<int>(i) == catalogCols_.lvProp && vLen > 0)
                checkProperties(page, start + vStart, vLen, bad);
        }
        if (isCatalog)
            noteCatalogRow(t, page, start, size, nullMask, maskLen, rowFixedCols, varOff, rowVarCols);
    }

    template <class Bad>
    void jet3Offsets(const u8* row, u32 size, u32 maskLen, u32 rowVarCols, std::vector<u32>& varOff, Bad& bad)
    {
        u32 last = size - 1;
        u32 numJumps = (size - 1) / 256;
        if (u64(maskLen) + numJumps + 1 > last)
            bad("jump table does not fit in the row");
        u32 colPtr = last - maskLen - numJumps - 1;
        if (colPtr < rowVarCols + 1)
            bad("variable column table does not fit in the row");
        if ((colPtr - rowVarCols) / 256 < numJumps)
            --numJumps;
        u32 jumpsUsed = 0;
        for (u32 i = 0; i <= rowVarCols; ++i) {
            if (jumpsUsed < numJumps && i == row[last - maskLen - jumpsUsed - 1])
                ++jumpsUsed;
            varOff[i] = row[colPtr - i] + jumpsUsed * 256;
        }
    }

    template <class Bad>
    void checkValue(const Column& c, const u8* page, u32 at, u32 len, Bad& bad)
    {
        const Format& f = pages_.fmt();
        switch (c.type) {
        case kDateTime: {
            if (at + 8 > f.pageSize)
                bad("date value lies outside the page");
            break;
        }
        case kText:
            if (!f.jet3)
                checkText(page + at, len, bad);
            break;
        case kMemo:
            checkMemo(page, at, len, bad);
            break;
        default:
            break;
        }
    }

    // Jet 4 text is UCS-2 or the compressed form (FF FE, then one byte per character with
    // 00 toggling to two-byte characters and back); a lone byte in two-byte mode is broken.
    template <class Bad>
    void checkText(const u8* s, u32 len, Bad& bad)
    {
        if (len < 2 || s[0] != 0xFF || s[1] != 0xFE)
            return;
        bool compressed = true;
        for (u32 i = 2; i < len;) {
            if (s[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                ++i;
            } else {
                if (i + 1 >= len)
                    bad("compressed text ends inside a character");
                i += 2;
            }
        }
    }

    // A long value's chain of pieces: every piece an existing row of at least 4 bytes, and
    // the chain ends (the reader follows it until a zero pointer).
    void followChain(u32 ptr, std::vector<u8>* collect, u32 limit)
    {
        std::unordered_set<u32> seen;
        while (ptr != 0) {
            if (!seen.insert(ptr).second)
                reject("long value chain loops at page " + num(ptr >> 8) + " row " + num(ptr & 0xFF));
            if (++chainSteps_ > kChainStepBudget)
                reject("long value chains are implausibly long");
            Slice s = pointedRow(ptr, "long value", true);
            if (s.len < 4)
                reject("long value piece at page " + num(ptr >> 8) + " is " + num(s.len) + " bytes");
            if (collect) {
                if (collect->size() + s.len - 4 > limit)
                    collect = nullptr;  // the reader stops collecting here
                else
                    collect->insert(collect->end(), s.data + 4, s.data + s.len);
            }
            ptr = get32(s.data);
        }
    }

    template <class Bad>
    void checkMemo(const u8* page, u32 at, u32 len, Bad& bad)
    {
        if (len < 12)
            return;
        const u8* v = page + at;
        u32 head = get32(v);
        u32 ptr = get32(v + 4);
        if (head & 0x80000000u) {
            if (!pages_.fmt().jet3)
                checkText(v + 12, len - 12, bad);
        } else if (head & 0x40000000u) {
            Slice s = pointedRow(ptr, "memo value", true);
            if (!pages_.fmt().jet3)
                checkText(s.data, s.len, bad);
        } else if ((head & 0xFF000000u) == 0) {
            std::vector<u8> text;
            followChain(ptr, &text, std::min(head, kMaxLongValue));
            if (!pages_.fmt().jet3)
                checkText(text.data(), static_cast<u32>(text.size()), bad);
        }
    }

    // The catalog's property blob (column LvProp): the reader assembles the long value and
    // parses it as a chunked property list.
    template <class Bad>
    void checkProperties(const u8* page, u32 at, u32 len, Bad& bad)
    {
        // the reader takes the 12-byte long-value header from the row whatever the value's length
        if (at + 12 > pages_.fmt().pageSize)
            bad("property value lies outside the page");
        const u8* v = page + at;
        std::vector<u8> blob;
        u32 head = get32(v);
        u32 ptr = get32(v + 4);
        if (head & 0x80000000u) {
            if (len > 12)
                blob.assign(v + 12, v + len);
        } else if (head & 0x40000000u) {
            Slice s = pointedRow(ptr, "property value", true);
            blob.assign(s.data, s.data + s.len);
        } else if ((head & 0xFF000000u) == 0) {
            followChain(ptr, &blob, kMaxLongValue);
        } else {
            return;
        }
        checkPropertyBlob(blob, bad);
    }

    template <class Bad>
    void checkPropertyBlob(const std::vector<u8>& b, Bad& bad)
    {
        if (b.empty())
            return;
        if (b.size() < 4 || b[3] != 0 ||
            !(std::memcmp(b.data(), "MR2", 3) == 0 || std::memcmp(b.data(), "KKD", 3) == 0))
            return;  // the reader refuses an unknown format and moves on
        const u32 size = static_cast<u32>(b.size());
        u32 names = 0;
        bool haveNames = false;
        for (u32 pos = 4; pos < size;) {
            if (pos + 6 > size)
                bad("property chunk header runs past the value");
            u32 clen = get32(&b[pos]);
            u16 ctype = get16(&b[pos + 4]);
            if (clen < 6 || clen > size - pos)
                bad("property chunk length " + num(clen) + " is out of range");
            const u8* d = &b[pos + 6];
            u32 dlen = clen - 6;
            if (ctype == 0x80) {
                names = 0;
                haveNames = true;
                for (u32 q = 0; q < dlen;) {
                    if (q + 2 > dlen)
                        bad("property name list is cut short");
                    u32 nl = get16(d + q);
                    q += 2;
                    if (nl > dlen - q)
                        bad("property name runs past its chunk");
                    q += nl;
                    ++names;
                }
            } else if ((ctype == 0x00 || ctype == 0x01) && haveNames) {
                if (dlen < 6)
                    bad("property block is too short");
                u32 nl = get16(d + 4);
                if (nl > dlen - 6)
                    bad("property block name runs past its chunk");
                for (u32 q = 6 + nl; q < dlen;) {
                    if (q + 8 > dlen)
                        bad("property entry is cut short");
                    u32 elen = get16(d + q);
                    u8 dtype = d[q + 3];
                    u32 elem = get16(d + q + 4);
                    u32 dsize = get16(d + q + 6);
                    if (elen < 8 || elen > dlen - q)
                        bad("property entry length " + num(elen) + " is out of range");
                    if (elem >= names)
                        bad("property entry names property " + num(elem) + " of " + num(names));
                    if (dsize > elen - 8)
                        bad("property value runs past its entry");
                    switch (dtype) {
                    case kMoney: case kNumeric:
                        bad("property value of type " + num(dtype) + " cannot be read safely");
                        break;
                    case kByte: case kInt: case kLong: case kFloat: case kDouble: case kRepId: case kComplex: {
                        Column c;
                        c.type = dtype;
                        if (dsize < fixedWidth(c))
                            bad("property value is shorter than its type");
                        break;
                    }
                    case kDateTime: {
                        if (dsize < 8)
                            bad("property date is shorter than its type");
                        double dv;
                        std::memcpy(&dv, d + q + 8, 8);
                        if (!std::isfinite(dv) || dv < -657435.0 || dv > 2958466.0)
                            bad("property date out of range");
                        break;
                    }
                    default:
                        break;  // converted as text, bytes or not at all
                    }
                    if (dtype == kText || dtype == kMemo)
                        checkText(d + q + 8, dsize, bad);
                    q += elen;
                }
            }
            pos += clen;
        }
    }

    // Remember which definition pages the catalog's tables live on.
    void noteCatalogRow(const Table& t, const u8* page, u32 start, u32 size, const u8* nullMask, u32 maskLen,
                        u32 rowFixedCols, const std::vector<u32>& varOff, u32 rowVarCols)
    {
        (void)size;
        const Format& f = pages_.fmt();
        auto fixedValue = [&](int idx, u32 width, u64& out) -> bool {
            const Column& c = t.columns[static_cast<std::size_t>(idx)];
            if (!c.fixed)
                return false;
            u32 ordinal = 0;
            for (int i = 0; i < idx; ++i)
                if (t.columns[static_cast<std::size_t>(i)].fixed)
                    ++ordinal;
            if (ordinal >= rowFixedCols)
                return false;
            u32 byte = c.number / 8;
            if (byte < maskLen && !(nullMask[byte] & (1u << (c.number % 8))))
                return false;
            const u8* v = page + start + c.fixedOffset + f.rowCountBytes;
            out = width == 2 ? get16(v) : get32(v);
            return true;
        };
        u64 type = 0, id = 0;
        const Column& tc = t.columns[static_cast<std::size_t>(catalogCols_.type)];
        const Column& ic = t.columns[static_cast<std::size_t>(catalogCols_.id)];
        if (tc.type != kInt || ic.type != kLong)
            reject("catalog columns Id and Type have unexpected types");
        if (!fixedValue(catalogCols_.type, 2, type) || !fixedValue(catalogCols_.id, 4, id))
            return;
        if ((type & 0x7F) != 1)
            return;
        u32 tdef = static_cast<u32>(id & 0xFFFFFF);
        if (tdef >= pages_.count())
            reject("catalog names a table at page " + num(tdef) + ", beyond the end of the file");
        catalogTables_.push_back(tdef);

        // Two user tables of one name: the importer would keep one of them under that name
        // and every statement would read whichever came first.
        u64 flags = 0;
        const Column& fc = t.columns[static_cast<std::size_t>(catalogCols_.flags)];
        if (fc.type != kLong || !fixedValue(catalogCols_.flags, 4, flags) || (flags & 0x80000002u))
            return;
        const Column& nc = t.columns[static_cast<std::size_t>(catalogCols_.name)];
        if (nc.fixed || nc.varIndex >= rowVarCols || t.numVarCols == 0)
            return;
        u32 byte = nc.number / 8;
        if (byte < maskLen && !(nullMask[byte] & (1u << (nc.number % 8))))
            return;
        const u8* v = page + start + varOff[nc.varIndex];
        const u32 len = varOff[nc.varIndex + 1u] - varOff[nc.varIndex];
        std::u16string key = foldedName(v, len);
        if (!tableNames_.insert(key).second)
            reject("catalog lists two tables of the same name");
    }

    // A name as UTF-16 with ASCII and Cyrillic capitals folded, for comparing names.
    std::u16string foldedName(const u8* v, u32 len) const
    {
        std::u16string out;
        auto put = [&](char16_t ch) {
            if ((ch >= u'A' && ch <= u'Z') || (ch >= 0x0410 && ch <= 0x042F))
                ch = static_cast<char16_t>(ch + 0x20);
            else if (ch >= 0x0400 && ch <= 0x040F)
                ch = static_cast<char16_t>(ch + 0x50);
            out += ch;
        };
        if (pages_.fmt().jet3) {
            for (u32 i = 0; i < len; ++i)
                put(v[i]);
        } else if (len >= 2 && v[0] == 0xFF && v[1] == 0xFE) {
            bool compressed = true;
            for (u32 i = 2; i < len;) {
                if (v[i] == 0) {
                    compressed = !compressed;
                    ++i;
                } else if (compressed) {
                    put(v[i++]);
                } else if (i + 1 < len) {
                    put(get16(v + i));
                    i += 2;
                } else {
                    break;
                }
            }
        } else {
            for (u32 i = 0; i + 1 < len; i += 2)
                put(get16(v + i));
        }
        return out;
    }
};

std::string runCheck(Pages& pages)
{
    try {
        Checker c(pages);
        c.run();
        return {};
    } catch (const Reject& r) {
        return r.why;
    } catch (const std::bad_alloc&) {
        return "out of memory while checking the file";
    }
}

} // namespace

std::string checkMdbFile(const std::string& path)
{
    // O_NONBLOCK: a FIFO or device must not block the check; only regular files pass.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return "cannot open the file: " + std::string(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return "not a regular file";
    }
    Pages pages(fd, static_cast<u64>(st.st_size));
    std::string r = runCheck(pages);
    ::close(fd);
    return r;
}

std::string checkMdbBytes(const void* data, std::size_t size)
{
    if (!data)
        size = 0;
    Pages pages(static_cast<const u8*>(data), size);
    return runCheck(pages);
}

} // namespace engine
