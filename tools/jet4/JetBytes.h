#pragma once
// Little-endian fields, the header's RC4 mask and ASCII name folding, shared by the writers.

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

namespace jet4::bytes {

inline void put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void put32(std::uint8_t* p, std::uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}
inline void putDouble(std::uint8_t* p, double d)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    put32(p, static_cast<std::uint32_t>(bits));
    put32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

// RC4 keystream XOR, used to mask the header's settings block.
inline void rc4(const std::uint8_t* key, std::size_t keyLen, std::uint8_t* data, std::size_t len)
{
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[static_cast<std::size_t>(i) % keyLen]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    j = 0;
    for (std::size_t n = 0; n < len; ++n) {
        a = static_cast<std::uint8_t>(a + 1);
        j = static_cast<std::uint8_t>(j + s[a]);
        std::swap(s[a], s[j]);
        data[n] ^= s[static_cast<std::uint8_t>(s[a] + s[j])];
    }
}

inline std::string lowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace jet4::bytes
