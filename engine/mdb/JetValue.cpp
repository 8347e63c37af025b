#include "engine/mdb/JetValue.h"

#include "engine/mdb/Jet4Text.h"
#include "engine/mdb/LittleEndian.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace engine::jet {
namespace {

using u8 = unsigned char;
__extension__ typedef unsigned __int128 u128; // a Numeric's magnitude: 128 bits

// Day numbers of 1 January 100 and 31 December 9999 (day 0 is 30 December 1899).
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;
constexpr int kSecondsPerDay = 86400;
constexpr std::size_t kNumericBytes = 17; // sign byte, then a 128-bit magnitude
constexpr int kCurrencyScale = 4;
constexpr int kSingleDigits = 7;
constexpr int kDoubleDigits = 15;

// Bytes of a number of each type (a date is a Double); 0 for the other types.
std::size_t numberWidth(int type)
{
    switch (type) {
    case kByte: return 1;
    case kInteger: return 2;
    case kLong:
    case kSingle: return 4;
    case kLargeNumber:
    case kCurrency:
    case kDouble:
    case kDateTime: return 8;
    default: return 0;
    }
}

// A float or double as stored (IEEE 754, the machine's byte order being little-endian too).
template <class T>
T stored(const u8* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void appendHex(std::string& out, const u8* p, std::size_t len)
{
    static const char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < len; ++i) {
        out += digits[p[i] >> 4];
        out += digits[p[i] & 0xF];
    }
}

// An unsigned magnitude with `scale` decimals: "12,50"; trailing zeros of the fraction
// dropped when `trim` is set ("12,5", or "12" for a whole number).
void appendScaled(std::string& out, bool negative, u128 magnitude, int scale, bool trim)
{
    char digits[64];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    while (n <= scale)
        digits[n++] = '0';
    int last = 0; // lowest digit kept
    if (trim)
        while (last < scale && digits[last] == '0')
            ++last;
    bool zero = true;
    for (int i = last; i < n; ++i)
        zero = zero && digits[i] == '0';
    if (negative && !zero)
        out += '-';
    for (int i = n - 1; i >= scale; --i)
        out += digits[i];
    if (last < scale) {
        out += ',';
        for (int i = scale - 1; i >= last; --i)
            out += digits[i];
    }
}

void appendNumeric(std::string& out, const u8* p, std::size_t len, int scale)
{
    if (len < kNumericBytes || scale < 0 || scale > 28) {
        appendHex(out, p, len);
        return;
    }
    // Four 32-bit words, the most significant first, each stored little-endian.
    u128 magnitude = 0;
    for (int w = 0; w < 4; ++w)
        magnitude = (magnitude << 32) | get32(p + 1 + 4 * w);
    appendScaled(out, p[0] != 0, magnitude, scale, false);
}

void appendCurrency(std::string& out, std::int64_t units)
{
    const bool negative = units < 0;
    const u128 magnitude =
        negative ? static_cast<u128>(-(units + 1)) + 1 : static_cast<u128>(units);
    appendScaled(out, negative, magnitude, kCurrencyScale, true);
}

// Civil date of a day count from 1 January 1970 (proleptic Gregorian calendar).
void civilFromDays(long z, int& y, int& m, int& d)
{
    z += 719468; // from 1 March of year 0
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;                                      // day of the era
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365; // year of the era
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // day of the year
    const long mp = (5 * doy + 2) / 153;                                    // month from March
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

void appendDate(std::string& out, double v)
{
    if (!std::isfinite(v) || v < kFirstDay || v >= kLastDay + 1.0) {
        appendDouble(out, v, kDoubleDigits);
        return;
    }
    // The whole part counts days (negative before 30.12.1899); the fraction is the time of
    // day whatever the sign.
    double whole = std::trunc(v);
    long seconds = std::lround(std::fabs(v - whole) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) { // rounds up to the next midnight
        seconds -= kSecondsPerDay;
        whole += 1.0;
    }
    constexpr long kDay0 = -25569; // 30.12.1899 counted from 1.1.1970
    int y = 0, m = 0, d = 0;
    civilFromDays(static_cast<long>(whole) + kDay0, y, m, d);
    assert(m >= 1 && m <= 12 && d >= 1 && d <= 31);
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d, m, y);
    out.append(buf, static_cast<std::size_t>(n));
    if (seconds != 0) {
        n = std::snprintf(buf, sizeof buf, " %ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                          seconds % 60);
        out.append(buf, static_cast<std::size_t>(n));
    }
}

void appendGuid(std::string& out, const u8* p, std::size_t len)
{
    if (len < 16) {
        appendHex(out, p, len);
        return;
    }
    // The first three groups are stored little-endian, the last two as they are written.
    const u8 order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out += '{';
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out += '-';
        appendHex(out, p + order[i], 1);
    }
    out += '}';
}

} // namespace

const char* typeName(int type)
{
    switch (type) {
    case kBoolean: return "Boolean";
    case kByte: return "Byte";
    case kInteger: return "Integer";
    case kLong: return "Long";
    case kCurrency: return "Currency";
    case kSingle: return "Single";
    case kDouble: return "Double";
    case kDateTime: return "DateTime";
    case kBinary: return "Binary";
    case kText: return "Text";
    case kOle: return "OLE";
    case kMemo: return "Memo";
    case kReplicationId: return "ReplicationID";
    case kNumeric: return "Numeric";
    case kComplex: return "Complex";
    case kLargeNumber: return "LargeNumber";
    default: return "Other";
    }
}

void appendDouble(std::string& out, double v, int digits)
{
    if (std::isnan(v)) {
        out += "NaN";
        return;
    }
    if (std::isinf(v)) {
        out += v < 0 ? "-Inf" : "+Inf";
        return;
    }
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    for (int i = 0; i < n; ++i)
        out += buf[i] == '.' ? ',' : buf[i];
}

namespace {

// Appends one UCS-2 unit as UTF-8; false for the zero unit, which ends the text.
bool appendUnit(std::string& out, std::uint32_t u)
{
    if (u == 0)
        return false;
    if (u < 0x80) {
        out.push_back(static_cast<char>(u));
    } else if (u < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (u >> 6)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    } else if (u >= 0xD800 && u <= 0xDFFF) {
        out.push_back('?'); // UCS-2 has no surrogates: a unit that cannot be converted
    } else {
        out.push_back(static_cast<char>(0xE0 | (u >> 12)));
        out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
    return true;
}

} // namespace

void appendJet4Text(std::string& out, const unsigned char* p, std::size_t len)
{
    forEachUnit(p, len, [&](std::uint16_t u) { return appendUnit(out, u); });
}

void appendBoolean(std::string& out, bool value)
{
    out += value ? "Да" : "Нет";
}

void appendOleObject(std::string& out, std::uint32_t bytes)
{
    out += "(OLE-объект, ";
    out += std::to_string(bytes);
    out += " байт)";
}

void appendFixedValue(std::string& out, int type, const unsigned char* p, std::size_t len,
                      int scale)
{
    switch (type) {
    case kReplicationId: appendGuid(out, p, len); return;
    case kNumeric: appendNumeric(out, p, len, scale); return;
    case kComplex: out += "(составное поле)"; return;
    default: break;
    }
    const std::size_t width = numberWidth(type);
    if (width == 0 || len < width) {
        appendHex(out, p, len);
        return;
    }
    switch (type) {
    case kByte: out += std::to_string(p[0]); break;
    case kInteger:
    case kLong:
    case kLargeNumber: out += std::to_string(getSigned(p, width)); break;
    case kCurrency: appendCurrency(out, getSigned(p, width)); break;
    case kSingle: appendDouble(out, stored<float>(p), kSingleDigits); break;
    case kDouble: appendDouble(out, stored<double>(p), kDoubleDigits); break;
    case kDateTime: appendDate(out, stored<double>(p)); break;
    default: break;
    }
}

} // namespace engine::jet
