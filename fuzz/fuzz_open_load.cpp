// Fuzz target for the open-and-load path: the bytes become a file, the structural check
// decides, and only an accepted file is read with the reader library, in this process, the
// way the importer reads it: the catalog with its properties, then every row of every table.
// A crash or a hang of the reader on an accepted file is a hole in the check.

#include "engine/MdbCheck.h"

#include <mdbtools.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

void readAll(const std::string& path)
{
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb)
        return;
    if (mdb_read_catalog(mdb, MDB_ANY)) {
        std::vector<std::string> names;
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (e->object_type == MDB_TABLE)
                names.emplace_back(e->object_name);
        }
        for (const std::string& name : names) {
            MdbTableDef* t = mdb_read_table_by_name(mdb, const_cast<gchar*>(name.c_str()), MDB_TABLE);
            if (!t)
                continue;
            if (mdb_read_columns(t)) {
                std::vector<std::vector<char>> bufs(t->num_cols, std::vector<char>(MDB_BIND_SIZE));
                std::vector<int> lens(t->num_cols);
                for (unsigned c = 0; c < t->num_cols; ++c)
                    mdb_bind_column(t, static_cast<int>(c) + 1, bufs[c].data(), &lens[c]);
                mdb_rewind_table(t);
                std::vector<MdbField> fields(t->num_cols + 1);
                while (mdb_fetch_row(t)) {
                    // the importer cracks each row again for the null flags
                    int start = 0;
                    size_t len = 0;
                    if (t->cur_row > 0 && mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &len) == 0)
                        mdb_crack_row(t, start & 0x1FFF, len, fields.data());
                }
            }
            mdb_free_tabledef(t);
        }
    }
    mdb_close(mdb);
}

} // namespace

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
        readAll(path);
    close(fd);
    return 0;
}
