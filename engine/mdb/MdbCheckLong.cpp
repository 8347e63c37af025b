#include "engine/mdb/MdbChecker.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace engine::mdbcheck {

void Checker::followChain(u32 ptr, std::vector<u8>* collect, u32 limit)
{
    std::unordered_set<u32> seen;
    while (ptr != 0) {
        if (!seen.insert(ptr).second)
            reject("long value chain loops at page " + num(jet::pageOf(ptr)) + " row " +
                   num(jet::rowOf(ptr)));
        if (++chainSteps_ > kChainStepBudget)
            reject("long value chains are implausibly long");
        Slice s = pointedRow(ptr, "long value", true);
        if (s.len < jet::kPieceLink)
            reject("long value piece at page " + num(jet::pageOf(ptr)) + " is " + num(s.len) +
                   " bytes");
        if (collect) {
            if (collect->size() + s.len - jet::kPieceLink > limit)
                collect = nullptr; // the reader stops collecting here
            else
                collect->insert(collect->end(), s.data + jet::kPieceLink, s.data + s.len);
        }
        ptr = get32(s.data);
    }
}

std::optional<Slice> Checker::longValue(const u8* v, u32 len, u32 limit, const char* what)
{
    const u32 ptr = get32(v + 4);
    switch (jet::longValueKind(get32(v))) {
    case jet::LongValue::Inline:
        return len > jet::kLongHead ? Slice{v + jet::kLongHead, len - u32(jet::kLongHead)}
                                    : Slice{};
    case jet::LongValue::OneRow: return pointedRow(ptr, what, true);
    case jet::LongValue::Chain:
        longValue_.clear();
        followChain(ptr, &longValue_, limit);
        return Slice{longValue_.data(), static_cast<u32>(longValue_.size())};
    case jet::LongValue::Unknown: break;
    }
    return std::nullopt;
}

void Checker::checkMemo(const u8* page, u32 at, u32 len, const RowFault& bad)
{
    if (len < jet::kLongHead)
        return;
    const u8* v = page + at;
    const std::optional<Slice> text =
        longValue(v, len, std::min(get32(v), kMaxLongValue), "memo value");
    if (text && !pages_.fmt().jet3)
        checkText(text->data, text->len, bad);
}

void Checker::checkProperties(const u8* page, u32 at, u32 len, const RowFault& bad)
{
    // the reader takes the long-value head from the row whatever the value's length
    if (at + jet::kLongHead > pages_.fmt().pageSize)
        bad("property value lies outside the page");
    if (const std::optional<Slice> blob =
            longValue(page + at, len, kMaxLongValue, "property value"))
        checkPropertyBlob(*blob, bad);
}

void Checker::checkPropertyBlob(Slice blob, const RowFault& bad)
{
    const u8* b = blob.data;
    const u32 size = blob.len;
    if (size == 0)
        return;
    if (size < 4 || b[3] != 0 || !(std::memcmp(b, "MR2", 3) == 0 || std::memcmp(b, "KKD", 3) == 0))
        return; // the reader refuses an unknown format and moves on
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
