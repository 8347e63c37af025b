#pragma once
// The importer's use of the reader library, repeated in-process for the fuzz targets: the
// catalog of tables, then for each user table every row, cracked for its null flags, every
// value converted to text.

#include <mdbtools.h>

#include <string>
#include <vector>

namespace fzfuzz {

inline void readAll(const std::string& path)
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

} // namespace fzfuzz
