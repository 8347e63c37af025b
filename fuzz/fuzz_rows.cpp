// Fuzz target aimed at the rows: the input replaces the row part (row count, offset table
// and row bytes) of the one data page of a small writer-made table (the definition's row
// count follows, as Access would keep it), so that almost every input reaches the row checks. An
// input the check accepts is read as the importer reads it: the reader's row cracking and
// value conversion then meet every kind of row the check lets through.

#include "fuzz/ReadLikeImporter.h"
#include "fuzz/SeedCorpus.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> base;
std::size_t dataPage = 0; // byte offset of the table's data page
std::size_t tdefPage = 0; // byte offset of the table's definition

std::uint32_t get32(const std::uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char name[] = "/tmp/fuzz-rows-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0)
        return 0;
    close(fd);
    for (const auto& [n, write] : fzseeds::seeds())
        if (n == "persons-3")
            write(name);
    std::ifstream in(name, std::ios::binary);
    base.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    unlink(name);
    for (std::size_t p = 3; p * 4096 < base.size(); ++p) {
        const std::uint8_t* pg = base.data() + p * 4096;
        if (pg[0] == 2 && !tdefPage)
            tdefPage = p * 4096;
        else if (pg[0] == 1 && tdefPage && get32(pg + 4) == tdefPage / 4096)
            dataPage = p * 4096;
    }
    if (!tdefPage || !dataPage)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file = base;
    std::uint8_t* pg = file.data() + dataPage;
    std::memcpy(pg + 12, data, std::min<std::size_t>(size, 4096 - 12));
    const unsigned rows = pg[12] | (pg[13] << 8);
    std::uint32_t live = 0;
    for (unsigned r = 0; r < rows && 14 + 2 * r + 1 < 4096; ++r)
        if (!(pg[15 + 2 * r] & 0x40))
            ++live;
    std::memcpy(file.data() + tdefPage + 16, &live, 4);

    fzfuzz::checkAndReadAll(file.data(), file.size());
    return 0;
}
