// 500,000 rows of 17 cells stream out whole (the speed itself is measured by
// bench/picklist_bench).
#include "output/CsvExport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Cells made on demand, as a grid model hands them out.
class GeneratedGrid : public GridCells {
public:
    explicit GeneratedGrid(int rows)
        : rows(rows)
    {
    }
    int gridRowCount() const override { return rows + 1; }
    int gridColumnCount() const override { return 17; }
    QString cell(int c, int r) const override
    {
        if (r == 0)
            return QStringLiteral("Столбец%1").arg(c);
        return texts[(r * 7 + c) % 8];
    }

private:
    int rows;
    const QString texts[8] = {"Иванов", "Пётр",       "Сергеевич",  "Ленина",
                              "12",     "01.02.1970", "4951234567", "Ведрогорск, Центральный р-н"};
};

} // namespace

class TestExportSpeed : public QObject {
    Q_OBJECT
private slots:
    void halfAMillionRows()
    {
        QTemporaryDir tmp;
        const GeneratedGrid grid(500000);
        QElapsedTimer t;
        t.start();
        QString err;
        QVERIFY2(writeGridCsv(grid, tmp.filePath("big.csv"), &err), qPrintable(err));
        const qint64 ms = t.elapsed();
        const qint64 size = QFileInfo(tmp.filePath("big.csv")).size();
        qInfo("export: 500000 rows x 17 cells, %lld bytes in %lld ms", size, ms);
        QVERIFY(size > 50'000'000);
        QVERIFY2(ms < 10000, "the export does far more than streaming");
    }
};

QTEST_GUILESS_MAIN(TestExportSpeed)
#include "test_export_slow.moc"
