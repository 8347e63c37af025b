#pragma once
// Structural check of an Access (.mdb) file, run before the file reader library sees it.
//
// The reader library trusts every length, page pointer and offset it finds in the file; a
// damaged or hostile file can make it read out of bounds or loop forever. This check walks
// the same structures the reader will walk (header, catalog table definition, the table
// definitions of the catalog's tables, their usage maps, the rows of their data pages and
// the long values the reader follows) with bounded work, and refuses the file when any of
// them would send the reader off the rails. It reads the file itself; no reader library,
// no Qt.

#include <cstddef>
#include <string>

namespace engine {

// The longest long value (Memo) the reader assembles; the rest of a longer chain is checked
// but not read.
constexpr std::size_t kMaxLongValueBytes = 16u << 20;

// "" when the file is safe to hand to the reader; otherwise the reason, in English, for
// logs (callers show their own message to the user).
std::string checkMdbFile(const std::string& path);

// The same check over a file image already in memory.
std::string checkMdbBytes(const void* data, std::size_t size);

} // namespace engine
