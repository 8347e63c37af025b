#include "engine/jetsql/Fold.h"

#include "util/Utf8.h"

namespace engine {

namespace utf8 = fz::utf8;

namespace {
char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}
} // namespace

char32_t foldCodePoint(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 32;              // Latin-1 capitals
    if (c >= 0x100 && c <= 0x17F) { // Latin Extended-A: mostly pairs
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return (c & 1) ? c + 1 : c;
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x386 && c <= 0x3AB) { // Greek capitals, with and without tonos
        if (c == 0x386)
            return 0x3AC;
        if (c >= 0x388 && c <= 0x38A)
            return c + 0x25;
        if (c == 0x38C)
            return 0x3CC;
        if (c == 0x38E || c == 0x38F)
            return c + 0x3F;
        if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB))
            return c + 0x20;
        return c;
    }
    if (c == 0x3C2)
        return 0x3C3; // final sigma compares as sigma
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50; // Ѐ..Џ (Ё, Ђ, Є, І, Ї, Ў ...)
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20; // А..Я
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return (c & 1) ? c : c + 1; // paired Cyrillic letters (Ґ, Ғ, Қ ...)
    if (c == 0x4C0)
        return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CE)
        return (c & 1) ? c + 1 : c;
    return c;
}

void foldInto(std::string_view s, std::string& out)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) { // fast path for ASCII
            out.push_back(static_cast<char>(b >= 'A' && b <= 'Z' ? b + 32 : b));
            ++i;
            continue;
        }
        size_t start = i;
        char32_t c = utf8::decode(s, i);
        if (c == utf8::kInvalid) {
            out.push_back(static_cast<char>(b));
            continue;
        }
        char32_t f = foldCodePoint(c);
        if (f == c)
            out.append(s.data() + start, i - start);
        else
            utf8::append(f, out);
    }
}

std::string fold(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    foldInto(s, out);
    return out;
}

std::string reverseChars(std::string_view s)
{
    std::string out(s.size(), '\0');
    size_t i = 0;
    size_t w = s.size();
    while (i < s.size()) {
        size_t start = i;
        utf8::decode(s, i);
        size_t n = i - start;
        w -= n;
        for (size_t k = 0; k < n; ++k)
            out[w + k] = s[start + k];
    }
    return out;
}

bool equalsAsciiNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

} // namespace engine
