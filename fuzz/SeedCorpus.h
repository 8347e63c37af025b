#pragma once
// Small databases written by the project's own writer: the starting points of the fuzzer and
// of the damaged-file tests. Each is a few pages, so that every page type is reachable by a
// handful of mutations.

#include "engine/mdb/MdbHeader.h"
#include "tools/fzgen/Population.h"
#include "tools/jet4/Jet3Writer.h"
#include "tools/jet4/Jet4Writer.h"

#include <fstream>
#include <functional>
#include <iterator>
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
        std::vector<Column> cols{{"ID", ColumnType::Long, 0},
                                 {"FAM", ColumnType::Text, 50},
                                 {"NAME", ColumnType::Text, 50},
                                 {"OTCHEST", ColumnType::Text, 50},
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
        jet4::writeTable(path, "PEOPLE",
                         {{"ID", ColumnType::Long, 0}, {"FAM", ColumnType::Text, 20}},
                         {{"1", "Сидоров"}, {"2", std::nullopt}});
    });
    // What years of editing in Access leave: deleted and moved rows, a stale row count; and
    // a Numeric column.
    out.emplace_back("traces", [](const std::string& path) {
        jet4::TableQuirks q;
        q.deletedRows = {1};
        q.movedRows = {0, 3};
        q.storedRows = 9;
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 6; ++i)
            rows.push_back({std::to_string(i), "Кузнецова", std::to_string(i * 37 - 50) + ".25"});
        jet4::writeTable(path, "FZ_T1",
                         {{"ID", ColumnType::Long, 0},
                          {"FAM", ColumnType::Text, 30},
                          {"SUM", ColumnType::Numeric, 255, 10, 2}},
                         rows, q);
    });
    out.emplace_back("jet3-1252", [](const std::string& path) {
        jet4::writeJet3Table(path, "Umsätze",
                             {{"ID", ColumnType::Long, 0}, {"Ort", ColumnType::Text, 30}},
                             {{"1", "Montréal"}, {"2", std::nullopt}, {"3", "£ 5"}}, 1252);
    });
    // Pages after the first masked under a key, as Access's "encode database" leaves them.
    out.emplace_back("encoded", [persons](const std::string& path) {
        persons(3, false, 5)(path);
        std::string b;
        {
            std::ifstream in(path, std::ios::binary);
            b.assign(std::istreambuf_iterator<char>(in), {});
        }
        const std::uint32_t key = 0x2B7E1516;
        std::uint8_t h[engine::kMdbHeaderBytes];
        std::copy(b.begin(), b.begin() + sizeof h, h);
        const std::uint32_t old = engine::readMdbHeader(h, sizeof h).pageKey;
        for (int i = 0; i < 4; ++i)
            b[0x3E + static_cast<std::size_t>(i)] ^=
                static_cast<char>(((key ^ old) >> (8 * i)) & 0xFF);
        constexpr std::size_t kPage = engine::kJet4PageSize;
        for (std::size_t pg = 1; pg < b.size() / kPage; ++pg)
            engine::decodePage(key, static_cast<std::uint32_t>(pg),
                               reinterpret_cast<unsigned char*>(&b[pg * kPage]), kPage);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << b;
    });
    return out;
}

} // namespace fzseeds
