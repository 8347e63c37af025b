#pragma once
// Shared helpers of the engine tests: small databases written by the project's writer,
// statements run through the real query object (importer process, store, SQLite).

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/import/StoreCache.h"
#include "tools/jet4/Jet4Writer.h"

#include <QtTest>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace enginetest {

using Cell = std::optional<std::string>;
using Table = std::vector<std::vector<Cell>>;

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

// Runs one statement the way the program does (close, clear, add, open) and returns every
// record, nulls as nullopt.
inline Table run(engine::AdoQuery& q, const std::string& sql)
{
    q.close();
    q.clearSql();
    q.addSql(sql);
    q.open();
    Table out;
    q.first();
    while (!q.eof()) {
        std::vector<Cell> row;
        for (int i = 0; i < q.fieldCount(); ++i) {
            if (q.fieldIsNull(i))
                row.push_back(std::nullopt);
            else
                row.push_back(q.fieldAsString(i));
        }
        out.push_back(std::move(row));
        q.next();
    }
    return out;
}

// The message of the EngineError a statement raises ("" when it raises none).
inline std::string errorOf(engine::AdoQuery& q, const std::string& sql)
{
    try {
        run(q, sql);
    } catch (const engine::EngineError& e) {
        return e.what();
    }
    return {};
}

inline std::int64_t count(engine::AdoQuery& q, const std::string& where)
{
    auto t =
        run(q, "SELECT Count(*) FROM FZ_T1" + (where.empty() ? std::string() : " WHERE " + where));
    return std::stoll(*t.at(0).at(0));
}

} // namespace enginetest
