#include "tools/jet4/Jet4Text.h"

#include "tools/jet4/Jet4Writer.h"

namespace jet4 {

namespace {

[[noreturn]] void badUtf8(std::size_t at)
{
    throw WriteError("text is not valid UTF-8 (byte " + std::to_string(at + 1) + ")");
}

std::string hex(char32_t cp)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string h;
    for (int shift = 20; shift >= 0; shift -= 4)
        if (shift < 16 || (cp >> shift) != 0)
            h.push_back(digits[(cp >> shift) & 0xF]);
    return h;
}

} // namespace

std::u16string toUcs2(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        std::size_t len = 0;
        if (b0 < 0x80) {
            cp = b0;
            len = 1;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            cp = b0 & 0x1F;
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            cp = b0 & 0x0F;
            len = 3;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            cp = b0 & 0x07;
            len = 4;
        } else {
            badUtf8(i);
        }
        if (i + len > s.size())
            badUtf8(i);
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                badUtf8(i + k);
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong forms and UTF-16 surrogates are not valid UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            badUtf8(i);
        if (cp > 0xFFFF)
            throw WriteError("character U+" + hex(cp) +
                             " lies outside the Basic Multilingual Plane; Jet 4 text holds "
                             "UCS-2 only");
        if (cp == 0)
            throw WriteError("text contains a NUL character");
        out.push_back(static_cast<char16_t>(cp));
        i += len;
    }
    return out;
}

void appendUtf16le(std::vector<std::uint8_t>& out, std::u16string_view text)
{
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
}

void appendText(std::vector<std::uint8_t>& out, std::u16string_view text, bool allowCompression)
{
    bool oneByte = allowCompression && text.size() > 2;
    for (char16_t c : text)
        if (c == 0 || c > 0xFF)
            oneByte = false;
    if (oneByte) {
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (char16_t c : text)
            out.push_back(static_cast<std::uint8_t>(c));
        return;
    }
    if (!text.empty() && text.front() == 0xFEFF) {
        // Marker, switch to two-byte characters, then the characters themselves. A character
        // whose first stored byte is 0x00 would read as another switch.
        for (char16_t c : text)
            if ((c & 0xFF) == 0)
                throw WriteError("text beginning with U+FEFF cannot also hold a character whose "
                                 "low byte is zero");
        out.push_back(0xFF);
        out.push_back(0xFE);
        out.push_back(0x00);
    }
    appendUtf16le(out, text);
}

} // namespace jet4
