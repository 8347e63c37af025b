#include "output/CsvLine.h"

#include "util/Cp1251.h"

#include <cstdint>

bool csvNeedsQuotes(QStringView cell)
{
    for (const QChar ch : cell) {
        const char16_t u = ch.unicode();
        if (u == ',' || u == '"' || u == '\r' || u == '\n')
            return true;
    }
    return false;
}

void appendCsvField(QByteArray& out, QStringView cell)
{
    if (!csvNeedsQuotes(cell)) {
        appendCp1251(out, cell);
        return;
    }
    out.append('"');
    qsizetype from = 0;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] == u'"') {
            appendCp1251(out, cell.mid(from, i + 1 - from));
            out.append('"');
            from = i + 1;
        }
    }
    appendCp1251(out, cell.mid(from));
    out.append('"');
}

namespace {

// The next code point of well-formed UTF-8 at p (advanced past it), or -1 (p unchanged).
inline std::int32_t nextCodePoint(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char b = *p;
    if (b < 0x80) {
        ++p;
        return b;
    }
    int len = 0;
    std::int32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        cp = b & 0x07;
    } else {
        return -1;
    }
    if (end - p < len)
        return -1;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return -1;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    // overlong forms, surrogates and code points past U+10FFFF are not well-formed
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return -1;
    p += len;
    return cp;
}

} // namespace

bool appendCsvFieldUtf8(QByteArray& out, std::string_view utf8, bool capitalizeFirst)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    bool quote = false;
    for (const unsigned char* q = p; q < end; ++q)
        quote |= *q == ',' || *q == '"' || *q == '\r' || *q == '\n';
    // One pass: bytes are checked as they are converted; on malformed bytes the output is
    // cut back to where it was.
    const qsizetype start = out.size();
    out.resize(start + qsizetype(utf8.size()) * 2 + 2); // quotes doubled at most
    char* dst = out.data() + start;
    if (quote)
        *dst++ = '"';
    bool first = capitalizeFirst;
    while (p < end) {
        std::int32_t cp;
        if (*p < 0x80 && !first) {
            cp = *p++;
        } else if ((p[0] == 0xD0 || p[0] == 0xD1) && end - p >= 2 && (p[1] & 0xC0) == 0x80 && !first) {
            cp = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            p += 2;
            if (cp >= 0x410 && cp <= 0x44F) { // the Russian alphabet: one run of the code page
                *dst++ = char(0xC0 + (cp - 0x410));
                continue;
            }
        } else {
            cp = nextCodePoint(p, end);
            if (cp < 0) {
                out.resize(start);
                return false;
            }
            if (first && cp < 0x10000)
                cp = std::int32_t(QChar::toUpper(char32_t(cp)));
            first = false;
        }
        if (cp < 0x80) {
            *dst++ = char(cp);
            if (cp == '"' && quote)
                *dst++ = '"';
            continue;
        }
        const int code = cp1251Code(char32_t(cp));
        *dst++ = code < 0 ? '?' : char(code);
    }
    if (quote)
        *dst++ = '"';
    out.resize(dst - out.constData());
    return true;
}

QByteArray csvLine(const QStringList& cells)
{
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendCsvField(out, cells.at(i));
    }
    return out;
}
