// Fuzz target aimed at the rows: the input replaces the row part (row count, offset table
// and row bytes) of the one data page of a small writer-made table (the definition's row
// count follows, as Access would keep it), so that almost every input reaches the row checks. An
// input the check accepts is read as the importer reads it: the reader's row cracking and
// value conversion then meet every kind of row the check lets through.

#include "engine/mdb/MdbLayout.h"
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

using engine::jet::kJet4;
constexpr std::size_t kPage = kJet4.pageSize;
constexpr std::size_t kRows = kJet4.rowCountOffset; // where the input goes
constexpr std::size_t kTdefRowCount = 16;           // the definition's count of rows

std::vector<std::uint8_t> base;
std::size_t dataPage = 0; // byte offset of the table's data page
std::size_t tdefPage = 0; // byte offset of the table's definition

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
    for (std::size_t p = 3; p * kPage < base.size(); ++p) {
        const std::uint8_t* pg = base.data() + p * kPage;
        if (pg[0] == engine::jet::kTdefPage && !tdefPage)
            tdefPage = p * kPage;
        else if (pg[0] == engine::jet::kDataPage && tdefPage &&
                 engine::jet::get32(pg + 4) == tdefPage / kPage)
            dataPage = p * kPage;
    }
    if (!tdefPage || !dataPage)
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> file = base;
    std::uint8_t* pg = file.data() + dataPage;
    std::memcpy(pg + kRows, data, std::min<std::size_t>(size, kPage - kRows));
    const unsigned rows = engine::jet::get16(pg + kRows);
    std::uint32_t live = 0;
    for (unsigned r = 0; r < rows && kRows + 2 + 2 * r + 1 < kPage; ++r)
        if (!(engine::jet::get16(pg + kRows + 2 + 2 * r) & engine::jet::kDeletedRow))
            ++live;
    std::memcpy(file.data() + tdefPage + kTdefRowCount, &live, 4);

    fzfuzz::checkAndReadAll(file.data(), file.size());
    return 0;
}
