#pragma once
// Shared helpers of the engine tests: those of the import tests, and statements run through
// the real query object (importer process, store, SQLite).

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/import/StoreCache.h"
#include "import/ImportTestSupport.h"

#include <QtTest>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace enginetest {

using Cell = std::optional<std::string>;
using Table = std::vector<std::vector<Cell>>;

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
