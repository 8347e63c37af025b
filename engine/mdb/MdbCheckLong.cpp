#include "engine/mdb/MdbChecker.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine::mdbcheck {

void Checker::followChain(u32 ptr, std::vector<u8>* collect, u32 limit)
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
                collect = nullptr; // the reader stops collecting here
            else
                collect->insert(collect->end(), s.data + 4, s.data + s.len);
        }
        ptr = get32(s.data);
    }
}

void Checker::checkMemo(const u8* page, u32 at, u32 len, const RowFault& bad)
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

void Checker::checkProperties(const u8* page, u32 at, u32 len, const RowFault& bad)
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

void Checker::checkPropertyBlob(const std::vector<u8>& b, const RowFault& bad)
{
    if (b.empty())
        return;
    if (b.size() < 4 || b[3] != 0 ||
        !(std::memcmp(b.data(), "MR2", 3) == 0 || std::memcmp(b.data(), "KKD", 3) == 0))
        return; // the reader refuses an unknown format and moves on
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
                case jet::kCurrency:
                case jet::kNumeric:
                    bad("property value of type " + num(dtype) + " cannot be read safely");
                    break;
                case jet::kByte:
                case jet::kInteger:
                case jet::kLong:
                case jet::kSingle:
                case jet::kDouble:
                case jet::kReplicationId:
                case jet::kComplex: {
                    Column c;
                    c.type = dtype;
                    if (dsize < fixedWidth(c))
                        bad("property value is shorter than its type");
                    break;
                }
                case jet::kDateTime: {
                    if (dsize < 8)
                        bad("property date is shorter than its type");
                    double dv;
                    std::memcpy(&dv, d + q + 8, 8);
                    if (!std::isfinite(dv) || dv < -657435.0 || dv > 2958466.0)
                        bad("property date out of range");
                    break;
                }
                default: break; // converted as text, bytes or not at all
                }
                if (dtype == jet::kText || dtype == jet::kMemo)
                    checkText(d + q + 8, dsize, bad);
                q += elen;
            }
        }
        pos += clen;
    }
}

} // namespace engine::mdbcheck
