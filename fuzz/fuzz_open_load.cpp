// Fuzz target for the open-and-load path: the bytes become a file, the structural check
// decides, and only an accepted file is read with the reader library, in this process, the
// way the importer reads it: the catalog with its properties, then every row of every table.
// A crash or a hang of the reader on an accepted file is a hole in the check.

#include "engine/MdbCheck.h"

#include "fuzz/ReadLikeImporter.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    int fd = memfd_create("fuzz.mdb", 0);
    if (fd < 0)
        return 0;
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (done == size && engine::checkMdbFile(path).empty())
        fzfuzz::readAll(path);
    close(fd);
    return 0;
}
