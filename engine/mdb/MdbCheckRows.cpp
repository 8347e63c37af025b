#include "engine/mdb/MdbChecker.h"

#include <algorithm>
#include <cstring>

namespace engine::mdbcheck {

void Checker::checkDataPage(const Table& t, u32 pg, bool isCatalog)
{
    const Format& f = pages_.fmt();
    const u8* p = pages_.scratch(pg);
    // keep our own copy: long values may pull other pages into the scratch buffer
    std::vector<u8>& page = pageCopy_;
    page.assign(p, p + f.pageSize);
    u32 rows = get16(&page[f.rowCountOffset]);
    if (f.rowCountOffset + 2 + 2 * rows > f.pageSize)
        reject("data page " + num(pg) + " claims " + num(rows) +
               " rows; its offset table runs past the page");
    for (u32 r = 0; r < rows; ++r) {
        u16 raw = get16(&page[f.rowCountOffset + 2 + 2 * r]);
        if (raw & kDeletedRow)
            continue;
        u32 start = raw & kOffsetMask;
        u32 end = r == 0 ? f.pageSize : (get16(&page[f.rowCountOffset + 2 * r]) & kOffsetMask);
        if (end > f.pageSize || start >= end)
            reject("data page " + num(pg) + " row " + num(r) + " has offsets " + num(start) + ".." +
                   num(end));
        checkRow(t, page.data(), start, end - start, pg, r, isCatalog);
    }
}

void Checker::checkRow(const Table& t, const u8* page, u32 start, u32 size, u32 pg, u32 r,
                       bool isCatalog)
{
    const Format& f = pages_.fmt();
    const RowFault bad{pg, r};
    const u8* row = page + start;
    if (size < f.rowCountBytes)
        bad("row is shorter than its column count");
    u32 rowCols = f.jet3 ? row[0] : get16(row);
    u32 maskLen = (rowCols + 7) / 8;
    if (u64(maskLen) + (f.jet3 ? 1 : 2) > size)
        bad("null mask does not fit in the row");
    u32 last = size - 1; // row-relative index of the last byte
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
    u32 rowFixedCols = rowCols - rowVarCols; // unsigned, as the reader computes it
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
                bad("variable column " + num(c.number) + " has offsets " + num(vStart) + ".." +
                    num(vEnd));
            vLen = vEnd - vStart;
        } else {
            continue; // read as null
        }
        if (!present || (c.type == jet::kBoolean))
            continue;
        checkValue(c, page, start + vStart, vLen, bad);
        if (isCatalog && static_cast<int>(i) == catalogCols_.lvProp && vLen > 0)
            checkProperties(page, start + vStart, vLen, bad);
    }
    if (isCatalog)
        noteCatalogRow(t, page, start, nullMask, maskLen, rowFixedCols, varOff, rowVarCols);
}

void Checker::jet3Offsets(const u8* row, u32 size, u32 maskLen, u32 rowVarCols,
                          std::vector<u32>& varOff, const RowFault& bad)
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

void Checker::checkValue(const Column& c, const u8* page, u32 at, u32 len, const RowFault& bad)
{
    const Format& f = pages_.fmt();
    switch (c.type) {
    case jet::kDateTime: {
        if (at + 8 > f.pageSize)
            bad("date value lies outside the page");
        break;
    }
    case jet::kText:
        if (!f.jet3)
            checkText(page + at, len, bad);
        break;
    case jet::kMemo: checkMemo(page, at, len, bad); break;
    default: break;
    }
}

} // namespace engine::mdbcheck
