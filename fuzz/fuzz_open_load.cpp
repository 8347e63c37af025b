// Fuzz target for the open-and-load path: the bytes become the importer's private copy, the
// structural check decides, and only an accepted copy is read with the reader library, in
// this process, the way the importer reads it: the catalog with its properties, then every
// row of every table.
// A crash or a hang of the reader on an accepted file is a hole in the check.

#include "fuzz/ReadLikeImporter.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fzfuzz::checkAndReadAll(data, size);
    return 0;
}
