#pragma once
// The peers: the same searches through the sqlite3 shell (on an import of mdb-export's CSV)
// and through mdbtools' mdb-sql on the file itself.

#include "bench/Shapes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace bench {

// sqlite3's count(*) of each shape's conditions on the database at dbPath, reps times in
// one shell; fills sqlMs (median) and sqlRows.
void runSqlitePeer(std::vector<Shape>& shapes, const std::string& dbPath,
                   const std::filesystem::path& work, int reps);

// mdb-sql's rows of each shape, once, stopped after `limit` seconds; fills mdbMs, mdbCpuMs,
// mdbRows or mdbNote.
void runMdbSqlPeer(std::vector<Shape>& shapes, const std::string& mdbPath,
                   const std::filesystem::path& work, int limit);

} // namespace bench
