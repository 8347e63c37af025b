#include "util/Cp1251.h"

#include <array>

namespace {

// 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order. 0 marks the unassigned byte.
constexpr std::array<char16_t, 64> kUpper = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

// Unicode (basic plane) -> byte; 0 means "not in the code page" for every character from
// U+0080 on (the ASCII half maps to itself and never reads the table).
const std::array<unsigned char, 65536>& reverseTable()
{
    static const std::array<unsigned char, 65536> table = [] {
        std::array<unsigned char, 65536> t{};
        for (int i = 0; i < 64; ++i)
            if (kUpper[i] != 0)
                t[kUpper[i]] = static_cast<unsigned char>(0x80 + i);
        for (int i = 0; i < 64; ++i)
            t[0x0410 + i] = static_cast<unsigned char>(0xC0 + i);
        return t;
    }();
    return table;
}

} // namespace

int cp1251Code(char32_t ch)
{
    if (ch < 0x80)
        return int(ch);
    if (ch > 0xFFFF)
        return -1;
    const unsigned char b = reverseTable()[ch];
    return b == 0 ? -1 : int(b);
}

void appendCp1251(QByteArray& out, QStringView text)
{
    const auto& table = reverseTable();
    const qsizetype n = text.size();
    const qsizetype start = out.size();
    out.resize(start + n); // one byte per character at most
    char* dst = out.data() + start;
    const QChar* p = text.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i].unicode();
        if (u < 0x80) {
            *dst++ = char(u);
            continue;
        }
        const unsigned char b = table[u];
        if (b != 0) {
            *dst++ = char(b);
            continue;
        }
        *dst++ = '?';
        if (p[i].isHighSurrogate() && i + 1 < n && p[i + 1].isLowSurrogate())
            ++i; // one character, one "?"
    }
    out.resize(dst - out.constData());
}

QByteArray toCp1251(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    appendCp1251(out, text);
    return out;
}

QChar fromCp1251(unsigned char byte)
{
    if (byte < 0x80)
        return QChar(byte);
    if (byte >= 0xC0)
        return QChar(char16_t(0x0410 + (byte - 0xC0)));
    const char16_t u = kUpper[byte - 0x80];
    return u == 0 ? QChar(QChar::ReplacementCharacter) : QChar(u);
}
