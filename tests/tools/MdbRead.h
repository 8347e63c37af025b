#pragma once
// Reads .mdb tables back through libmdb and mdbtools' command-line tools, for the tests of the
// Jet 4 writer and of fzgen. NULL stays distinct from "" (taken from libmdb's null flags).

#include "tools/jet4/Jet4Writer.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <mdbtools.h>
#include <string>
#include <vector>

namespace readback {

struct TableInfo {
    std::vector<std::string> names;
    std::vector<int> types; // MDB_LONGINT, MDB_TEXT...
    std::vector<int> sizes; // bytes
    unsigned rowCount = 0;  // from the table definition
    int ownedMapType = -1;  // 0 inline, 1 reference
};

// Calls onRow for every row of `table`; returns false when the file or table cannot be read.
inline bool readTable(const std::string& path, const std::string& table, TableInfo& info,
                      const std::function<void(const jet4::Row&)>& onRow)
{
    MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!mdb)
        return false;
    bool ok = false;
    if (mdb_read_catalog(mdb, MDB_TABLE)) {
        if (MdbTableDef* t =
                mdb_read_table_by_name(mdb, const_cast<gchar*>(table.c_str()), MDB_TABLE)) {
            mdb_read_columns(t);
            const unsigned n = t->num_cols;
            info.rowCount = t->num_rows;
            info.ownedMapType = t->map_sz > 0 ? t->usage_map[0] : -1;
            std::vector<std::vector<char>> buffers(n, std::vector<char>(MDB_BIND_SIZE));
            std::vector<int> lengths(n);
            for (unsigned i = 0; i < n; ++i) {
                auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
                info.names.push_back(col->name);
                info.types.push_back(col->col_type);
                info.sizes.push_back(col->col_size);
                mdb_bind_column(t, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
            }
            mdb_rewind_table(t);
            std::vector<MdbField> fields(256);
            jet4::Row row(n);
            while (mdb_fetch_row(t)) {
                int start = 0;
                size_t size = 0;
                mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &size);
                mdb_crack_row(t, start & 0x1FFF, size, fields.data());
                for (unsigned i = 0; i < n; ++i) {
                    if (fields[i].is_null)
                        row[i].reset();
                    else
                        row[i] = std::string(buffers[i].data(), static_cast<size_t>(lengths[i]));
                }
                onRow(row);
            }
            mdb_free_tabledef(t);
            ok = true;
        }
    }
    mdb_close(mdb);
    return ok;
}

inline std::vector<jet4::Row> readAll(const std::string& path, const std::string& table,
                                      TableInfo* info = nullptr)
{
    TableInfo local;
    std::vector<jet4::Row> rows;
    readTable(path, table, info ? *info : local, [&](const jet4::Row& r) { rows.push_back(r); });
    return rows;
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline Run run(const QString& program, const QStringList& args, int timeoutMs = 600000)
{
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Splits CSV text (RFC 4180 quoting, LF or CRLF records) into records of fields; `quoted`
// tells, per field, whether it was written in quotes.
struct CsvField {
    std::string text;
    bool quoted = false;
};
inline std::vector<std::vector<CsvField>> parseCsv(const std::string& s)
{
    std::vector<std::vector<CsvField>> records;
    std::vector<CsvField> rec;
    CsvField f;
    std::size_t i = 0;
    bool any = false;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"' && f.text.empty() && !f.quoted) {
            f.quoted = true;
            ++i;
            while (i < s.size()) {
                if (s[i] == '"' && i + 1 < s.size() && s[i + 1] == '"') {
                    f.text.push_back('"');
                    i += 2;
                } else if (s[i] == '"') {
                    ++i;
                    break;
                } else {
                    f.text.push_back(s[i++]);
                }
            }
            any = true;
        } else if (c == ',') {
            rec.push_back(f);
            f = CsvField();
            ++i;
            any = true;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            ++i;
            rec.push_back(f);
            records.push_back(rec);
            rec.clear();
            f = CsvField();
            any = false;
        } else {
            f.text.push_back(c);
            ++i;
            any = true;
        }
    }
    if (any) {
        rec.push_back(f);
        records.push_back(rec);
    }
    return records;
}

} // namespace readback
