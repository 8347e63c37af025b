#pragma once
// UTF-8 for every layer: decoding one character, encoding one, counting characters. Plain
// C++, no Qt, header only, so that the engine (which has no Qt) uses it as well.

#include <cstddef>
#include <string>
#include <string_view>

namespace fz::utf8 {

// What decode() returns for a byte that does not begin a well-formed character.
inline constexpr char32_t kInvalid = 0xFFFFFFFFu;

// A byte that continues a character (10xxxxxx).
constexpr bool continues(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Characters in the text: the bytes that do not continue a character (in well-formed text,
// the code points).
inline std::size_t charCount(std::string_view text)
{
    std::size_t n = 0;
    for (const char ch : text)
        n += !continues(static_cast<unsigned char>(ch));
    return n;
}

// Decodes the character at s[i] (i < s.size()) and advances i past it. A byte that does not
// begin a well-formed character (overlong forms, surrogates and values past U+10FFFF
// included) comes back as kInvalid with i advanced by one.
inline char32_t decode(std::string_view s, std::size_t& i)
{
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    std::size_t len;
    char32_t c;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4;
        c = b & 0x07;
    } else {
        ++i;
        return kInvalid;
    }
    if (i + len > s.size()) {
        ++i;
        return kInvalid;
    }
    for (std::size_t k = 1; k < len; ++k) {
        const auto cb = static_cast<unsigned char>(s[i + k]);
        if (!continues(cb)) {
            ++i;
            return kInvalid;
        }
        c = (c << 6) | (cb & 0x3F);
    }
    if ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kInvalid;
    }
    i += len;
    return c;
}

// Appends the UTF-8 form of code point c.
inline void append(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace fz::utf8
