#pragma once
// Text as Jet 4 stores it: UCS-2 little-endian, or the "compressed" one-byte form.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet4 {

// UTF-8 to UCS-2 code units. Throws WriteError for malformed UTF-8, for characters outside
// the Basic Multilingual Plane (Jet 4 has no surrogate pairs) and for U+0000.
std::u16string toUcs2(std::string_view utf8);

// Appends the stored bytes of a text value. With `allowCompression`, values longer than two
// characters made only of U+0001..U+00FF are written one byte per character after FF FE;
// everything else is plain UTF-16LE. A plain value that would begin with FF FE (U+FEFF)
// is written in the toggled form FF FE 00 ... so that readers do not take it for a
// compressed one; throws WriteError when such a value holds a character that cannot be
// written in that form (low byte 0x00).
void appendText(std::vector<std::uint8_t>& out, std::u16string_view text, bool allowCompression);

// Plain UTF-16LE bytes (names in table definitions and in the catalog).
void appendUtf16le(std::vector<std::uint8_t>& out, std::u16string_view text);

} // namespace jet4
