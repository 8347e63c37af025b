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

// Reads the file as the importer does: the catalog of tables, then for each user table every
// row, each row cracked for its null flags and every value converted to text.
void readAll(const std::string& path)
{
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb)
        return;
    if (mdb_read_catalog(mdb, MDB_TABLE)) {
        std::vector<char> text(MDB_BIND_SIZE * 2);
        for (unsigned i = 0; i < mdb->num_catalog; ++i) {
            auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
            if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
                continue;
            MdbTableDef* t = mdb_read_table(entry);
            if (!t)
                continue;
            if (mdb_read_columns(t)) {
                std::vector<MdbField> fields(t->num_cols + 1);
                mdb_rewind_table(t);
                while (mdb_fetch_row(t)) {
                    int start = 0;
                    size_t len = 0;
                    if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &len) != 0)
                        break;
                    if (mdb_crack_row(t, start & 0x1FFF, len, fields.data()) < 0)
                        break;
                    for (unsigned c = 0; c < t->num_cols; ++c) {
                        const MdbField& f = fields[c];
                        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, f.colnum));
                        if (f.is_null || col->col_type == MDB_BOOL || col->col_type == MDB_OLE)
                            continue;
                        if (f.start < 0 || f.siz < 0 || f.start + f.siz > static_cast<int>(mdb->fmt->pg_size))
                            break;
                        if (col->col_type == MDB_TEXT) {
                            mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(mdb->pg_buf) + f.start,
                                              static_cast<size_t>(f.siz), text.data(), text.size());
                        } else {
                            g_free(mdb_col_to_string(mdb, mdb->pg_buf, f.start, col->col_type, f.siz));
                        }
                    }
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
