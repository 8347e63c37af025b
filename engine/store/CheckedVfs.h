#pragma once
// Stores are written and read through a thin layer over SQLite's own file access that keeps
// a checksum in the last bytes of every page (the bytes SQLite reserves at a page's end and
// never uses). The writer puts the sum in as each page goes to the file; a reader checks a
// page the first time it reads it (a bit per page remembers it), so a damaged page of any
// part of a store (records, row lists, bitmaps, lengths, dictionaries, indexes, SQLite's own
// tree pages) fails the read with SQLITE_IOERR instead of being answered from.

#include <cstddef>
#include <cstdint>

namespace engine::checked {

// Bytes reserved at the end of every page for its checksum.
constexpr int kReserveBytes = 8;

// The name to open a store's connection with (registered with SQLite on first use).
const char* vfsName();

// The checksum of a page's bytes (without its reserved end) at page number pgno (1-based):
// a page moved to another place does not check either.
std::uint64_t pageSum(const unsigned char* page, std::size_t bytes, std::uint64_t pgno);

} // namespace engine::checked
