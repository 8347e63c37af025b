#include "engine/mdb/MdbChecker.h"

#include <algorithm>
#include <cstring>

namespace engine::mdbcheck {
namespace {

// Latin and Cyrillic capitals to small letters, for comparing names as Access does.
char16_t foldCase(char16_t ch)
{
    if ((ch >= u'A' && ch <= u'Z') || (ch >= 0x0410 && ch <= 0x042F))
        return static_cast<char16_t>(ch + 0x20);
    if (ch >= 0x0400 && ch <= 0x040F)
        return static_cast<char16_t>(ch + 0x50);
    return ch;
}

} // namespace

std::vector<u8> Checker::tdefStream(u32 first, const char* what)
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
        if (p[0] != jet::kTdefPage)
            reject(std::string(what) + ": page " + num(pg) +
                   " is not a table definition page (type " + num(p[0]) + ")");
        s.insert(s.end(), p + (head ? 0 : 8), p + f.pageSize);
        head = false;
        u32 next = get32(p + 4);
        if (next == 0)
            break;
        pg = next;
    }
    return s;
}

Table Checker::readTable(u32 tdefPage, const char* what)
{
    const Format& f = pages_.fmt();
    std::string label = std::string(what) + " at page " + num(tdefPage);
    std::vector<u8> s = tdefStream(tdefPage, label.c_str());
    auto need = [&](u64 end, const char* item) {
        if (end > s.size())
            reject(label + ": " + item + " run past the end of the definition");
    };
    need(f.tdHead + jet::kTdColumns, "header fields");
    const u8* head = &s[f.tdHead];
    Table t;
    t.tdefPage = tdefPage;
    t.numVarCols = get16(head + jet::kTdNumVarCols);
    u32 numCols = get16(head + jet::kTdNumCols);
    u32 numIdx = get32(head + jet::kTdNumIdx);
    u32 numRealIdx = get32(head + jet::kTdNumRealIdx);
    t.ownedMap = get32(head + jet::kTdOwnedMap);
    t.freeMap = get32(head + jet::kTdFreeMap);
    if (numCols > kMaxColumns)
        reject(label + ": " + num(numCols) + " columns");
    if (numIdx > kMaxIndexes || numRealIdx > kMaxIndexes)
        reject(label + ": implausible index count");
    u64 pos = f.tdHead + jet::kTdColumns + u64(numRealIdx) * f.realIdxEntry;
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
        for (u32 k = 0; k + (f.jet3 ? 0 : 1) < len; k += f.jet3 ? 1 : 2)
            key += foldCase(f.jet3 ? s[pos + k] : get16(&s[pos + k]));
        if (!names.insert(key).second)
            reject(label + ": two columns are named \"" + name + "\"");
        pos += len;
    }
    need(pos + u64(numRealIdx) * f.realIdxDef + u64(numIdx) * f.logIdxDef, "index definitions");
    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const Column& a, const Column& b) { return a.number < b.number; });
    return t;
}

Checker::CatalogCols Checker::findCatalogColumns(const Table& t)
{
    CatalogCols cc;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const std::string& n = t.columns[i].name;
        int idx = static_cast<int>(i);
        if (n == "id")
            cc.id = idx;
        else if (n == "name")
            cc.name = idx;
        else if (n == "type")
            cc.type = idx;
        else if (n == "flags")
            cc.flags = idx;
        else if (n == "lvprop")
            cc.lvProp = idx;
    }
    if (cc.id < 0 || cc.name < 0 || cc.type < 0 || cc.flags < 0 || cc.lvProp < 0)
        reject("catalog table lacks one of the columns Id, Name, Type, Flags, LvProp");
    return cc;
}

Slice Checker::pointedRow(u32 ptr, const char* what, bool needDataPage)
{
    const Format& f = pages_.fmt();
    u32 pg = jet::pageOf(ptr), row = jet::rowOf(ptr);
    const u8* p = pages_.page(pg, what);
    if (needDataPage && p[0] != jet::kDataPage)
        reject(std::string(what) + " points to page " + num(pg) + ", which is not a data page");
    u32 rows = get16(p + f.rowCountOffset);
    if (row >= rows)
        reject(std::string(what) + " points to row " + num(row) + " of page " + num(pg) +
               ", which has " + num(rows) + " rows");
    if (f.rowCountOffset + 2 + 2 * rows > f.pageSize)
        reject("row offset table of page " + num(pg) + " runs past the page");
    u32 start = get16(p + f.rowCountOffset + 2 + 2 * row) & kOffsetMask;
    u32 end = row == 0 ? f.pageSize : (get16(p + f.rowCountOffset + 2 * row) & kOffsetMask);
    if (end > f.pageSize || start > end)
        reject(std::string(what) + ": row " + num(row) + " of page " + num(pg) + " has offsets " +
               num(start) + ".." + num(end));
    return {p + start, end - start};
}

std::vector<u32> Checker::ownedPages(const Table& t, const std::string& label)
{
    const Format& f = pages_.fmt();
    std::string what = label + " owned-pages map";
    Slice m = pointedRow(t.ownedMap, what.c_str(), true);
    // the reader loads the free-space map as well, though nothing here needs its bits
    pointedRow(t.freeMap, (label + " free-space map").c_str(), true);
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
            if (p[0] != jet::kMapPage)
                reject(what + " slot " + num(k) + " points to page " + num(mp) + " of type " +
                       num(p[0]) + ", not a usage-map page");
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

// A page whose bytes, as stored, are all zero: never written, or wiped. A table's usage
// map that lists one has lost the rows the page held (the reader would skip it silently).
bool Checker::zeroPage(u32 pg)
{
    const std::size_t size = pages_.fmt().pageSize;
    zeroBuf_.resize(size);
    if (!pages_.readRaw(u64(pg) * size, zeroBuf_.data(), size))
        reject("cannot read page " + num(pg));
    for (u8 b : zeroBuf_)
        if (b != 0)
            return false;
    return true;
}

void Checker::checkTable(const Table& t, bool isCatalog)
{
    std::string label = (isCatalog ? std::string("catalog table") : std::string("table")) +
                        " (definition page " + num(t.tdefPage) + ")";
    // The row count the definition keeps is bookkeeping (Access leaves it stale after
    // deletions, in-place edits and unclean shutdowns): the rows read are the truth, so
    // it is not compared with anything.
    for (u32 pg : ownedPages(t, label)) {
        auto [type, owner] = pages_.header(pg);
        if (type != jet::kDataPage || owner != t.tdefPage) {
            // (the stored bytes: an encoded file's wiped page does not decode to zeros)
            if (zeroPage(pg))
                reject(label + " lists page " + num(pg) +
                       ", which is all zeros (its rows are lost)");
            continue; // the reader skips pages of other owners
        }
        if (!rowCheckedPages_.insert(pg).second)
            continue;
        checkDataPage(t, pg, isCatalog);
    }
}

void Checker::noteCatalogRow(const Table& t, const u8* page, u32 start, const u8* nullMask,
                             u32 maskLen, u32 rowFixedCols, const std::vector<u32>& varOff,
                             u32 rowVarCols)
{
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
    if (tc.type != jet::kInteger || ic.type != jet::kLong)
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
    if (fc.type != jet::kLong || !fixedValue(catalogCols_.flags, 4, flags) || (flags & 0x80000002u))
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

std::u16string Checker::foldedName(const u8* v, u32 len) const
{
    std::u16string out;
    if (pages_.fmt().jet3) {
        for (u32 i = 0; i < len; ++i)
            out += foldCase(v[i]);
    } else {
        jet::forEachUnit(v, len, [&](u16 ch) {
            out += foldCase(ch);
            return true;
        });
    }
    return out;
}

} // namespace engine::mdbcheck
