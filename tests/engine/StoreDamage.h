#pragma once
// Damages a finished store on the disk the way a lost write or a power cut does: bytes in
// the middle of a page overwritten, or the page zeroed, for pages of one part of it (a table
// or an index, as SQLite's page list names them).

#include <sqlite3.h>

#include <fstream>
#include <string>
#include <vector>

namespace storedamage {

// The pages of one part of the store, in SQLite's order.
inline std::vector<int> pagesOf(const std::string& store, const std::string& part)
{
    std::vector<int> pages;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_prepare_v2(db, "SELECT pageno FROM dbstat WHERE name = ?", -1, &st, nullptr);
    sqlite3_bind_text(st, 1, part.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
        pages.push_back(sqlite3_column_int(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return pages;
}

// Overwrites 48 bytes in the middle of each page (4096 bytes), or zeroes it whole. False
// when there is no such page or the file cannot be written.
inline bool damage(const std::string& store, const std::vector<int>& pages, bool zero)
{
    std::fstream f(store, std::ios::in | std::ios::out | std::ios::binary);
    for (int p : pages) {
        const std::string bytes = zero ? std::string(4096, '\0') : std::string(48, 'Z');
        f.seekp(std::streamoff(p - 1) * 4096 + (zero ? 0 : 1500));
        f.write(bytes.data(), std::streamsize(bytes.size()));
    }
    return !pages.empty() && f.good();
}

} // namespace storedamage
