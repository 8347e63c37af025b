// A grid filled from a big result whose store turns out damaged while its cells are read
// never passes the damage on as empty cells: the grid says so once (to be told to the
// operator), and an export of it fails with a message and leaves no file.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/StoreCache.h"
#include "output/CsvExport.h"
#include "search/ResultGrid.h"
#include "tools/fzgen/Population.h"
#include "util/StringGrid.h"

#include <QtTest>

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class DamagedGrid : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;

    std::string storePath() const { return engine::StoreCache::storePathFor(mdb_); }

    // Overwrites bytes in the middle of a page of a part of the store (one of the middle
    // ones when `one`, else every page of it).
    void damage(const std::string& part, bool one)
    {
        std::vector<int> pages;
        sqlite3* db = nullptr;
        sqlite3_open_v2(storePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT pageno FROM dbstat WHERE name = ?", -1, &st, nullptr);
        sqlite3_bind_text(st, 1, part.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW)
            pages.push_back(sqlite3_column_int(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(db);
        QVERIFY(!pages.empty());
        if (one)
            pages = {pages[pages.size() / 2]};
        std::fstream f(storePath(), std::ios::in | std::ios::out | std::ios::binary);
        for (int p : pages) {
            f.seekp(std::streamoff(p - 1) * 4096 + 1200);
            f.write("DAMAGEDDAMAGED", 14);
        }
        QVERIFY(f.good());
    }

    // Every person, through the query object, onto a grid; the calls of onDamage counted.
    std::shared_ptr<const engine::ResultSet> fill(StringGrid& grid, int& told)
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        q.addSql("SELECT * FROM FZ_T1");
        q.open();
        search::layoutGridHeader(grid);
        search::fillGridFromResult(grid, q.result(), [&told] { ++told; });
        return q.result();
    }

private slots:
    void initTestCase()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        dir_ = (w && *w ? std::string(w) : fs::current_path().string()) + "/damaged-grid";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        mdb_ = dir_ + "/tabl1.mdb";
        fzgen::Options o;
        o.rows = 3000;
        o.seed = 5;
        fzgen::writePersons(mdb_, o);
    }

    void damageMetWhileCellsAreReadIsToldAndNeverExported()
    {
        {
            StringGrid grid(search::kGridLayoutColumns);
            int told = 0;
            fill(grid, told); // (makes the store)
            QVERIFY(!grid.cellsLost() && told == 0);
        }
        damage("t0", true);
        StringGrid grid(search::kGridLayoutColumns);
        int told = 0;
        const auto result = fill(grid, told);
        QCOMPARE(grid.gridRowCount(), 3001);
        std::vector<std::string_view> text(size_t(grid.gridColumnCount()));
        std::unique_ptr<bool[]> cap(new bool[text.size()]);
        for (int r = 1; r < grid.gridRowCount(); ++r)
            grid.rowUtf8(r, text.data(), cap.get());
        QCOMPARE(told, 1);
        QVERIFY(grid.cellsLost() && result->damaged());

        const QString csv = QString::fromStdString(dir_ + "/out.csv");
        QString error;
        QVERIFY(!writeGridCsv(grid, csv, &error));
        QVERIFY2(error.contains(QStringLiteral("повреждена")), qPrintable(error));
        QVERIFY(!QFile::exists(csv));
    }

    void damagedLengthsLeaveTheGridEmpty()
    {
        {
            StringGrid grid(search::kGridLayoutColumns);
            int told = 0;
            fill(grid, told); // (makes the store again, if the test before removed it)
        }
        damage("n0", false);
        StringGrid grid(search::kGridLayoutColumns);
        int told = 0;
        fill(grid, told);
        QCOMPARE(told, 1);
        QVERIFY(grid.gridRowCount() <= 2 && grid.cell(1, 1).isEmpty());
    }
};

QTEST_GUILESS_MAIN(DamagedGrid)
#include "test_damaged_grid.moc"
