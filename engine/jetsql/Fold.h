#pragma once
// Case folding for comparisons: text is folded once when a database is imported and every
// literal of a statement is folded the same way before it is compared. The table covers
// Latin, Latin-1, Latin Extended-A, Greek and Cyrillic ("Ё" folds to "ё", which stays apart from
// "е"). No locale, no Qt: the result depends on nothing but the input bytes. UTF-8 itself
// (decoding, counting) is util/Utf8.h.

#include <string>
#include <string_view>

namespace engine {

// Lower-case form of one code point (the code point itself when it has none).
char32_t foldCodePoint(char32_t c);

// Folds UTF-8 text. Bytes that are not valid UTF-8 are kept as they are.
std::string fold(std::string_view utf8);
void foldInto(std::string_view utf8, std::string& out); // appends

// The text with its characters (code points) in reverse order; invalid bytes are single
// characters. Used for suffix look-ups.
std::string reverseChars(std::string_view utf8);

// Equal up to ASCII letter case (other bytes compare as they are): table, column and
// connection-string key names, statement keywords.
bool equalsAsciiNoCase(std::string_view a, std::string_view b);

} // namespace engine
