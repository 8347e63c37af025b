// The structural check must never refuse a sound file: everything the project's writer can
// produce passes it, and loads with the right row count.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/mdb/MdbCheck.h"
#include "tools/jet4/Jet4Writer.h"

#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using jet4::Column;
using jet4::ColumnType;
using jet4::Row;

class CheckAcceptsSoundFiles : public QObject {
    Q_OBJECT

    std::string dir_;
    int n_ = 0;

    // Writes one file with the given tables, checks it and counts FZ_T1 through the load path.
    void verify(
        const std::vector<std::pair<std::string, std::pair<std::vector<Column>, std::vector<Row>>>>&
            tables)
    {
        const std::string d = dir_ + "/" + std::to_string(++n_);
        fs::create_directories(d);
        const std::string path = d + "/tabl1.mdb";
        {
            jet4::Writer w(path);
            for (const auto& [name, def] : tables) {
                w.beginTable(name, def.first);
                for (const Row& r : def.second)
                    w.addRow(r);
                w.endTable();
            }
            w.finish();
        }
        QCOMPARE(engine::checkMdbFile(path), std::string());
        for (const auto& [name, def] : tables) {
            if (name != "FZ_T1")
                continue;
            engine::AdoQuery q;
            q.setConnectionString(engine::buildConnectionString(d));
            q.addSql("SELECT Count(*) FROM FZ_T1");
            q.open();
            QCOMPARE(q.fieldAsString(0), std::to_string(def.second.size()));
        }
    }

    static std::vector<Column> textColumns(int n, int chars)
    {
        std::vector<Column> c;
        for (int i = 0; i < n; ++i)
            c.push_back({"C" + std::to_string(i), ColumnType::Text, chars});
        return c;
    }

private slots:
    void initTestCase()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        dir_ = (w && *w ? std::string(w) : fs::current_path().string()) + "/accepts";
        fs::remove_all(dir_);
    }

    void emptyTable() { verify({{"FZ_T1", {textColumns(3, 20), {}}}}); }

    void onlyLongColumns()
    {
        std::vector<Row> rows;
        for (int i = 0; i < 500; ++i)
            rows.push_back({std::to_string(i), std::to_string(-i * 1000), std::nullopt});
        verify(
            {{"FZ_T1",
              {{{"A", ColumnType::Long, 0}, {"B", ColumnType::Long, 0}, {"C", ColumnType::Long, 0}},
               rows}}});
    }

    void textOfEveryShape()
    {
        // compressed, plain Cyrillic, a character whose low byte is zero, mixed (toggling),
        // one and two characters, empty, null, a leading U+FEFF
        const std::vector<std::optional<std::string>> values = {"plain latin text",
                                                                "Кириллица",
                                                                "Ѐ and ÿ",
                                                                "abc Жd ef ghi",
                                                                "a",
                                                                "ab",
                                                                "",
                                                                std::nullopt,
                                                                "\xEF\xBB\xBF"
                                                                "bom",
                                                                "ÀÉÎÕÜ àéîõü",
                                                                std::string(255, 'x'),
                                                                "€ and ™",
                                                                "  spaces  ",
                                                                "\t\r\n"};
        std::vector<Row> rows;
        for (std::size_t i = 0; i < values.size(); ++i)
            for (std::size_t j = 0; j < values.size(); ++j)
                rows.push_back({std::to_string(i * 100 + j), values[i], values[j]});
        verify({{"FZ_T1",
                 {{{"ID", ColumnType::Long, 0},
                   {"A", ColumnType::Text, 255},
                   {"B", ColumnType::Text, 255}},
                  rows}}});
    }

    void widestRows()
    {
        // rows near the largest size a page takes
        std::vector<Row> rows;
        for (int i = 0; i < 40; ++i) {
            Row r;
            for (int c = 0; c < 8; ++c)
                r.push_back(std::string(250, static_cast<char>('a' + (i + c) % 26)));
            rows.push_back(r);
        }
        verify({{"FZ_T1", {textColumns(8, 255), rows}}});
    }

    void manyColumnsSpanningDefinitionPages()
    {
        for (int n : {120, 201, 255}) {
            std::vector<Row> rows;
            for (int i = 0; i < 30; ++i) {
                Row r(static_cast<std::size_t>(n));
                for (int c = 0; c < n; c += 3)
                    r[static_cast<std::size_t>(c)] = std::to_string(i + c);
                rows.push_back(r);
            }
            verify({{"FZ_T1", {textColumns(n, 10), rows}}});
        }
    }

    void manyTables()
    {
        std::vector<std::pair<std::string, std::pair<std::vector<Column>, std::vector<Row>>>> t;
        for (int i = 0; i < 30; ++i) {
            std::vector<Row> rows;
            for (int k = 0; k < i * 7; ++k)
                rows.push_back({std::to_string(k), "значение " + std::to_string(k)});
            t.push_back({i == 17 ? std::string("FZ_T1") : "T" + std::to_string(i),
                         {{{"ID", ColumnType::Long, 0}, {"V", ColumnType::Text, 50}}, rows}});
        }
        verify(t);
    }
};

QTEST_GUILESS_MAIN(CheckAcceptsSoundFiles)
#include "test_hostile_accepts.moc"
