#pragma once
// Shared helpers of the import tests: scratch folders, small databases written by the
// project's writer, and the rows of a store made the way the program makes it (importer
// process, store cache).

#include "engine/import/StoreCache.h"
#include "engine/jetsql/JetSql.h"
#include "tools/jet4/Jet4Writer.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace enginetest {

inline std::string workDir()
{
    const char* w = std::getenv("FZ_TEST_WORK");
    return w ? w : std::filesystem::current_path().string();
}

// A fresh folder under the test's scratch folder.
inline std::string freshDir(const std::string& name)
{
    std::string d = workDir() + "/" + name;
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    return d;
}

inline std::vector<jet4::Column> textColumns(const std::vector<std::string>& names)
{
    std::vector<jet4::Column> cols;
    for (const auto& n : names)
        cols.push_back({n, jet4::ColumnType::Text, 255});
    return cols;
}

// The rows of FZ_T1 in the store of the file at `mdbPath`, found or made by the store cache.
// Throws EngineError as opening it does.
inline std::int64_t storedRows(const std::string& mdbPath)
{
    const auto store = engine::StoreCache::open(mdbPath, {});
    const auto result = store->run(engine::jet::parse("SELECT Count(*) FROM FZ_T1"));
    return std::stoll(std::string(result->value(0, 0)));
}

} // namespace enginetest
