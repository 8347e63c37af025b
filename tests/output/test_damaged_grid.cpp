// A grid filled from a big result whose store turns out damaged (while its cells are read,
// or its lengths when it is filled) never passes the damage on as cells: the grid says so
// once (to be told to the operator), and an export of it fails with a message, no file left.

#include "../engine/StoreDamage.h"
#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/import/StoreCache.h"
#include "output/CsvExport.h"
#include "search/ResultGrid.h"
#include "tools/fzgen/Population.h"
#include "util/StringGrid.h"

#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

class DamagedGrid : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;

    // Every person, through the query object, onto a grid; onDamage's calls counted.
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

    // Makes the store (again), then damages one page of a part of it, or every page.
    void damage(const std::string& part, bool one)
    {
        StringGrid grid(search::kGridLayoutColumns);
        int told = 0;
        fill(grid, told);
        QVERIFY(!grid.cellsLost() && told == 0);
        const std::string store = engine::StoreCache::storePathFor(mdb_);
        std::vector<int> pages = storedamage::pagesOf(store, part);
        if (one && !pages.empty())
            pages = {pages[pages.size() / 2]};
        QVERIFY(storedamage::damage(store, pages, false));
    }

private slots:
    void damageIsToldOnceAndNeverExported()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        dir_ = (w && *w ? std::string(w) : std::filesystem::current_path().string()) + "/dgrid";
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        mdb_ = dir_ + "/tabl1.mdb";
        fzgen::Options o;
        o.rows = 3000;
        fzgen::writePersons(mdb_, o);

        // a record's page, met while the rows are read
        damage("t0", true);
        StringGrid grid(search::kGridLayoutColumns);
        int told = 0;
        const auto result = fill(grid, told);
        QCOMPARE(grid.gridRowCount(), 3001);
        std::vector<std::string_view> text(size_t(grid.gridColumnCount()));
        std::unique_ptr<bool[]> cap(new bool[text.size()]);
        for (int r = 1; r < grid.gridRowCount(); ++r)
            grid.rowUtf8(r, text.data(), cap.get());
        QVERIFY(told == 1 && grid.cellsLost() && result->damaged());
        const QString csv = QString::fromStdString(dir_ + "/out.csv");
        QString error;
        QVERIFY(!writeGridCsv(grid, csv, &error));
        QVERIFY2(error.contains(QStringLiteral("повреждена")), qPrintable(error));
        QVERIFY(!QFile::exists(csv));

        // the cells' lengths, met when the grid is filled: no rows shown
        damage("n0", false);
        StringGrid again(search::kGridLayoutColumns);
        told = 0;
        fill(again, told);
        QVERIFY(told == 1 && again.gridRowCount() <= 2 && again.cell(1, 1).isEmpty());
    }
};

QTEST_GUILESS_MAIN(DamagedGrid)
#include "test_damaged_grid.moc"
