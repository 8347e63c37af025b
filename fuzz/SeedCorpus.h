#pragma once
// Small databases written by the project's own writer: the starting points of the fuzzer and
// of the damaged-file tests. Each is a few pages, so that every page type is reachable by a
// handful of mutations.

#include "tools/fzgen/Population.h"
#include "tools/jet4/Jet4Writer.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace fzseeds {

// name -> writer of that database at the given path
inline std::vector<std::pair<std::string, std::function<void(const std::string&)>>> seeds()
{
    using jet4::Column;
    using jet4::ColumnType;
    std::vector<std::pair<std::string, std::function<void(const std::string&)>>> out;
    auto persons = [](std::uint64_t rows, bool messy, std::uint64_t seed) {
        return [=](const std::string& path) {
            fzgen::Options o;
            o.rows = rows;
            o.messy = messy;
            o.seed = seed;
            fzgen::writePersons(path, o);
        };
    };
    out.emplace_back("persons-0", persons(0, false, 1));
    out.emplace_back("persons-3", persons(3, false, 2));
    out.emplace_back("persons-40-messy", persons(40, true, 3));
    out.emplace_back("persons-300", persons(300, false, 4));
    out.emplace_back("five-columns", [](const std::string& path) {
        std::vector<Column> cols{{"ID", ColumnType::Long, 0}, {"FAM", ColumnType::Text, 50},
                                 {"NAME", ColumnType::Text, 50}, {"OTCHEST", ColumnType::Text, 50},
                                 {"CITI", ColumnType::Text, 50}};
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 12; ++i)
            rows.push_back({std::to_string(i), "Петров", i % 3 ? jet4::Cell("Иван") : std::nullopt,
                            "Ivanovich", i % 2 ? "Ведрогорск" : ""});
        jet4::writeTable(path, "FZ_T1", cols, rows);
    });
    out.emplace_back("two-tables", [](const std::string& path) {
        jet4::Writer w(path);
        w.beginTable("OTHER", {{"A", ColumnType::Text, 10}, {"B", ColumnType::Long, 0}});
        for (int i = 0; i < 5; ++i)
            w.addRow({"x" + std::to_string(i), std::to_string(i * 7)});
        w.endTable();
        w.beginTable("FZ_T1", fzgen::personColumns());
        fzgen::Options o;
        o.rows = 8;
        o.seed = 9;
        fzgen::PersonGenerator g(o);
        for (int i = 0; i < 8; ++i)
            w.addRow(g.next());
        w.endTable();
        w.finish();
    });
    out.emplace_back("no-fz-t1", [](const std::string& path) {
        jet4::writeTable(path, "PEOPLE", {{"ID", ColumnType::Long, 0}, {"FAM", ColumnType::Text, 20}},
                         {{"1", "Сидоров"}, {"2", std::nullopt}});
    });
    return out;
}

} // namespace fzseeds
