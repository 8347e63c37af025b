#include "output/CsvLine.h"

#include "util/Cp1251.h"
#include "util/Utf8.h"

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

bool appendCsvFieldUtf8(QByteArray& out, std::string_view utf8, bool capitalizeFirst)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(csvFieldUtf8Room(utf8.size())));
    char* end = putCsvFieldUtf8(out.data() + start, utf8, capitalizeFirst);
    out.resize(end ? end - out.constData() : start);
    return end != nullptr;
}

namespace {

// putCsvFieldUtf8 with quotes or without. Unquoted, a character that needs them stops it:
// `needQuotes` is set and null returned.
char* putField(char* dst, std::string_view utf8, bool capitalizeFirst, bool quote, bool& needQuotes)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* p = begin;
    const auto* end = p + utf8.size();
    auto special = [](std::int32_t c) {
        return c <= ',' && (c == ',' || c == '"' || c == '\r' || c == '\n');
    };
    // An ASCII character, its quote doubled; false when it needs quotes that were not begun.
    auto putAscii = [&](std::int32_t c) {
        if (special(c)) {
            if (!quote) {
                needQuotes = true;
                return false;
            }
            if (c == '"')
                *dst++ = '"';
        }
        *dst++ = char(c);
        return true;
    };
    // One pass: bytes are checked as they are converted.
    if (quote)
        *dst++ = '"';
    bool first = capitalizeFirst;
    while (p < end) {
        // The common letters first: ASCII, and the Russian alphabet (U+0410..U+044F, two
        // bytes each), which is one run of the code page from 0xC0.
        if (!first) {
            const unsigned char c = *p;
            if (c < 0x80) {
                if (!putAscii(c))
                    return nullptr;
                ++p;
                continue;
            }
            if (end - p >= 2) {
                const unsigned char c2 = p[1];
                if (c == 0xD0 && c2 >= 0x90 && c2 <= 0xBF) { // А..п
                    *dst++ = char(c2 + 0x30);
                    p += 2;
                    continue;
                }
                if (c == 0xD1 && c2 >= 0x80 && c2 <= 0x8F) { // р..я
                    *dst++ = char(c2 + 0x70);
                    p += 2;
                    continue;
                }
            }
        }
        std::size_t at = std::size_t(p - begin);
        const char32_t c = fz::utf8::decode(utf8, at);
        if (c == fz::utf8::kInvalid)
            return nullptr;
        p = begin + at;
        std::int32_t cp = std::int32_t(c);
        if (first && cp < 0x10000)
            cp = std::int32_t(QChar::toUpper(char32_t(cp)));
        first = false;
        if (cp < 0x80) {
            if (!putAscii(cp))
                return nullptr;
            continue;
        }
        const int code = cp1251Code(char32_t(cp));
        *dst++ = code < 0 ? '?' : char(code);
    }
    if (quote)
        *dst++ = '"';
    return dst;
}

} // namespace

char* putCsvFieldUtf8(char* dst, std::string_view utf8, bool capitalizeFirst)
{
    // Unquoted first; the few fields that need quotes are written again.
    bool needQuotes = false;
    char* end = putField(dst, utf8, capitalizeFirst, false, needQuotes);
    return needQuotes ? putField(dst, utf8, capitalizeFirst, true, needQuotes) : end;
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
