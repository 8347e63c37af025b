#include "output/CsvLine.h"

#include "util/Cp1251.h"
#include "util/Utf8.h"

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The code page's byte for a letter of the Russian alphabet written as the two UTF-8 bytes
// c, c2 (U+0410..U+044F, one run of the code page from 0xC0); 0 for any other pair.
inline unsigned char russianLetter(unsigned char c, unsigned char c2)
{
    if (c == 0xD0 && c2 >= 0x90 && c2 <= 0xBF) // А..п
        return static_cast<unsigned char>(c2 + 0x30);
    if (c == 0xD1 && c2 >= 0x80 && c2 <= 0x8F) // р..я
        return static_cast<unsigned char>(c2 + 0x70);
    return 0;
}

// Whether an ASCII character needs the field quoted.
constexpr bool special(unsigned c)
{
    return c <= ',' && (c == ',' || c == '"' || c == '\r' || c == '\n');
}

#if defined(__SSE2__)
// Copies the ASCII characters that need no quotes from p on, sixteen bytes at a time;
// returns where it stopped (dst advanced). The output may receive up to sixteen bytes
// beyond what it keeps. Unpadded, it goes while sixteen bytes remain (the caller's room,
// twice the input, holds what is written beyond); padded, to the end: the input may then
// be read, and the output written, up to kCsvSlack bytes beyond.
template <bool padded>
inline const unsigned char* asciiRun(const unsigned char* p, const unsigned char* end, char*& dst)
{
    const __m128i comma = _mm_set1_epi8(','), quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    while (padded ? p < end : end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i stop =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, comma), _mm_cmpeq_epi8(x, quote)),
                         _mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
        unsigned bad = unsigned(_mm_movemask_epi8(x) | _mm_movemask_epi8(stop));
        if (padded && end - p < 16)
            bad |= ~0u << (end - p);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), x);
        const int n = bad ? __builtin_ctz(bad) : 16;
        dst += n;
        p += n;
        if (n < 16)
            break;
    }
    return p;
}

// The Russian letters from p on (see russianLetter), eight at a time; as asciiRun.
template <bool padded>
inline const unsigned char* russianRun(const unsigned char* p, const unsigned char* end, char*& dst)
{
    // Each 16-bit lane holds a letter's two bytes: the lead byte low, the second high.
    const __m128i low = _mm_set1_epi16(0x00FF);
    while (padded ? end - p >= 2 : end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i lead = _mm_and_si128(x, low);
        const __m128i second = _mm_srli_epi16(x, 8);
        const __m128i d0 =
            _mm_and_si128(_mm_cmpeq_epi16(lead, _mm_set1_epi16(0xD0)),
                          _mm_and_si128(_mm_cmpgt_epi16(second, _mm_set1_epi16(0x8F)),
                                        _mm_cmplt_epi16(second, _mm_set1_epi16(0xC0))));
        const __m128i d1 =
            _mm_and_si128(_mm_cmpeq_epi16(lead, _mm_set1_epi16(0xD1)),
                          _mm_and_si128(_mm_cmpgt_epi16(second, _mm_set1_epi16(0x7F)),
                                        _mm_cmplt_epi16(second, _mm_set1_epi16(0x90))));
        const __m128i code =
            _mm_add_epi16(second, _mm_or_si128(_mm_and_si128(d0, _mm_set1_epi16(0x30)),
                                               _mm_and_si128(d1, _mm_set1_epi16(0x70))));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(code, code));
        unsigned ok = unsigned(_mm_movemask_epi8(_mm_or_si128(d0, d1)));
        if (padded && end - p < 16)
            ok &= (1u << ((end - p) & ~1)) - 1; // whole letters before the end only
        const int letters = ok == 0xFFFF ? 8 : __builtin_ctz(~ok) / 2;
        dst += letters;
        p += 2 * letters;
        if (letters < 8)
            break;
    }
    return p;
}
#else
// Without the vector instructions every byte takes the plain loops.
template <bool padded>
inline const unsigned char* asciiRun(const unsigned char* p, const unsigned char*, char*&)
{
    return p;
}
template <bool padded>
inline const unsigned char* russianRun(const unsigned char* p, const unsigned char*, char*&)
{
    return p;
}
#endif

// Where writing one character left off: the output's end and the input's position; dst
// null when the bytes are malformed or the character needs quotes that were not begun.
struct Put {
    char* dst;
    const unsigned char* p;
};

// An ASCII character, its quote doubled (see Put).
inline char* putAscii(char* dst, unsigned c, bool quote, bool& needQuotes)
{
    if (special(c)) {
        if (!quote) {
            needQuotes = true;
            return nullptr;
        }
        if (c == '"')
            *dst++ = '"';
    }
    *dst++ = char(c);
    return dst;
}

// Any character, decoded from p (see Put); upper-cased when `upper`.
Put putAny(char* dst, std::string_view utf8, const unsigned char* p, bool upper, bool quote,
           bool& needQuotes)
{
    const auto* begin = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t at = std::size_t(p - begin);
    const char32_t c = fz::utf8::decode(utf8, at);
    if (c == fz::utf8::kInvalid)
        return {nullptr, p};
    std::int32_t cp = std::int32_t(c);
    if (upper && cp < 0x10000)
        cp = std::int32_t(QChar::toUpper(char32_t(cp)));
    if (cp < 0x80)
        return {putAscii(dst, unsigned(cp), quote, needQuotes), begin + at};
    const int code = cp1251Code(char32_t(cp));
    *dst++ = code < 0 ? '?' : char(code);
    return {dst, begin + at};
}

// putCsvFieldUtf8 (or, padded, putCsvFieldUtf8Padded) with quotes or without. Unquoted, a
// character that needs them stops it: `needQuotes` is set and null returned.
template <bool padded>
char* putField(char* dst, std::string_view utf8, bool capitalizeFirst, bool quote, bool& needQuotes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    if (quote)
        *dst++ = '"';
    if (capitalizeFirst && p < end) {
        // The usual first letters directly: a..z, а..я (and the capitals as they are).
        unsigned char code = 0;
        if (*p >= 'a' && *p <= 'z') {
            *dst++ = char(*p++ - 'a' + 'A');
        } else if (end - p >= 2 && (code = russianLetter(p[0], p[1])) != 0) {
            *dst++ = char(code >= 0xE0 ? code - 0x20 : code);
            p += 2;
        } else {
            const Put put = putAny(dst, utf8, p, true, quote, needQuotes);
            if (!put.dst)
                return nullptr;
            dst = put.dst;
            p = put.p;
        }
    }
    // One pass: bytes are checked as they are converted. The common letters go in runs:
    // ASCII, and the Russian alphabet (two bytes each; see russianLetter), sixteen bytes
    // at a time where there are that many.
    while (p < end) {
        p = asciiRun<padded>(p, end, dst);
        while (p < end && *p < 0x80 && !special(*p))
            *dst++ = char(*p++);
        p = russianRun<padded>(p, end, dst);
        for (unsigned char code; end - p >= 2 && (code = russianLetter(p[0], p[1])) != 0; p += 2)
            *dst++ = char(code);
        if (p == end)
            break;
        if (*p < 0x80) {
            if (!special(*p))
                continue;
            if (!(dst = putAscii(dst, *p, quote, needQuotes)))
                return nullptr;
            ++p;
            continue;
        }
        const Put put = putAny(dst, utf8, p, false, quote, needQuotes);
        if (!put.dst)
            return nullptr;
        dst = put.dst;
        p = put.p;
    }
    if (quote)
        *dst++ = '"';
    return dst;
}

} // namespace

namespace {

// Unquoted first; the few fields that need quotes are written again.
template <bool padded>
char* putFieldQuotedIfNeeded(char* dst, std::string_view utf8, bool capitalizeFirst)
{
    bool needQuotes = false;
    char* end = putField<padded>(dst, utf8, capitalizeFirst, false, needQuotes);
    return needQuotes ? putField<padded>(dst, utf8, capitalizeFirst, true, needQuotes) : end;
}

} // namespace

char* putCsvFieldUtf8(char* dst, std::string_view utf8, bool capitalizeFirst)
{
    return putFieldQuotedIfNeeded<false>(dst, utf8, capitalizeFirst);
}

char* putCsvFieldUtf8Padded(char* dst, std::string_view utf8, bool capitalizeFirst)
{
    return putFieldQuotedIfNeeded<true>(dst, utf8, capitalizeFirst);
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
