#pragma once
// Numbers in an Access file are little-endian whatever the machine: read byte by byte.

#include <cstddef>
#include <cstdint>

namespace engine::jet {

inline std::uint16_t get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t get32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// `n` bytes (1 to 8) as a two's complement number.
inline std::int64_t getSigned(const unsigned char* p, std::size_t n)
{
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;)
        v = (v << 8) | p[i];
    if (n < 8 && (v >> (8 * n - 1)) & 1)
        v |= ~std::uint64_t(0) << (8 * n); // sign-extend
    return static_cast<std::int64_t>(v);
}

} // namespace engine::jet
