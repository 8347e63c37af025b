#pragma once
// Jet 4 text (Text and Memo values, names) as stored: UCS-2 little-endian, or "compressed":
// after the mark FF FE, runs of one byte per character (the high byte zero) and of two, each
// zero byte switching between them, starting with one byte per character.

#include "engine/mdb/LittleEndian.h"

#include <cstddef>
#include <cstdint>

namespace engine::jet {

inline bool isCompressedText(const unsigned char* p, std::size_t len)
{
    return len >= 2 && p[0] == 0xFF && p[1] == 0xFE;
}

// Calls `unit` with each UCS-2 unit of the text in turn, until it returns false. False when
// compressed text ends inside a two-byte character; an odd last byte of UCS-2 text is left out.
template <class Unit>
bool forEachUnit(const unsigned char* p, std::size_t len, Unit&& unit)
{
    if (!isCompressedText(p, len)) {
        for (std::size_t i = 0; i + 1 < len; i += 2)
            if (!unit(get16(p + i)))
                break;
        return true;
    }
    bool oneByte = true;
    for (std::size_t i = 2; i < len;) {
        if (p[i] == 0) {
            oneByte = !oneByte;
            ++i;
        } else if (oneByte) {
            if (!unit(std::uint16_t{p[i]}))
                break;
            ++i;
        } else if (i + 1 < len) {
            if (!unit(get16(p + i)))
                break;
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace engine::jet
