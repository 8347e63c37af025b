#include "util/StringGrid.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

namespace {

class Squares : public GridRowSource {
public:
    QString cell(int col, int dataRow) const override
    {
        return QString::number(col) + ":" + QString::number(dataRow);
    }
};

} // namespace

class TestGridStore : public QObject {
    Q_OBJECT
private slots:
    void startsWithHeaderAndOneRow()
    {
        StringGrid g(18);
        QCOMPARE(g.gridRowCount(), 2);
        QCOMPARE(g.gridColumnCount(), 18);
        QCOMPARE(g.rowCount(), 1);
        QCOMPARE(g.columnWidth(0), StringGrid::kDefaultColumnWidth);
        QCOMPARE(g.cell(3, 1), QString());
        QCOMPARE(g.cell(99, 1), QString());
    }

    void headerRowIsTheViewsHeader()
    {
        StringGrid g(3);
        QSignalSpy spy(&g, &QAbstractItemModel::headerDataChanged);
        g.setCell(1, 0, "Имя");
        QCOMPARE(spy.count(), 1);
        QCOMPARE(g.headerData(1, Qt::Horizontal).toString(), QString("Имя"));
        g.setCell(1, 1, "x");
        QCOMPARE(g.data(g.index(0, 1)).toString(), QString("x"));
    }

    void writtenCellsOverrideSourceAndShrinkingDropsThem()
    {
        StringGrid g(4);
        QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::QtTest);
        g.setDataRows(std::make_shared<Squares>(), 5);
        QCOMPARE(g.gridRowCount(), 6);
        QCOMPARE(g.cell(2, 3), QString("2:2"));
        g.setCell(2, 3, "own");
        QCOMPARE(g.cell(2, 3), QString("own"));
        g.setGridRowCount(3);
        QCOMPARE(g.cell(2, 3), QString());
        QCOMPARE(g.cell(1, 2), QString("1:1"));
        g.setGridRowCount(6);
        QCOMPARE(g.cell(2, 3), QString()); // rows dropped earlier come back empty
        QCOMPARE(g.cell(1, 2), QString("1:1"));
        g.setGridColumnCount(2);
        QCOMPARE(g.cell(2, 1), QString());
        QCOMPARE(g.columnCount(), 2);
    }

    void clearGridRowsLeavesHeaderAndOneEmptyRow()
    {
        StringGrid g(17);
        g.setCell(0, 0, "Фамилия");
        g.setDataRows(std::make_shared<Squares>(), 300000);
        g.setGridRowCount(300002);
        g.setCell(5, 300001, "last");
        QElapsedTimer t;
        t.start();
        ClearGridRows(g);
        // Guards against row-by-row removal (minutes on 300,000 rows), not a speed target.
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(g.gridRowCount(), 2);
        QCOMPARE(g.gridColumnCount(), 17);
        QCOMPARE(g.cell(0, 0), QString("Фамилия"));
        for (int c = 0; c < 17; ++c)
            QCOMPARE(g.cell(c, 1), QString());

        StringGrid small(3);
        small.setCell(1, 1, "x");
        ClearGridRows(small);
        QCOMPARE(small.gridRowCount(), 2);
        QCOMPARE(small.cell(1, 1), QString());
    }

    void widthsOnlyGrowThroughGrow()
    {
        StringGrid g(2);
        QSignalSpy spy(&g, &StringGrid::columnWidthChanged);
        g.setColumnWidth(1, 36);
        g.growColumnWidth(1, 160);
        QCOMPARE(g.columnWidth(1), 160);
        g.growColumnWidth(1, 40);
        QCOMPARE(g.columnWidth(1), 160);
        QCOMPARE(spy.count(), 2);
        g.setColumnWidth(1, 20); // an explicit setting (the user dragging a column) may narrow
        QCOMPARE(g.columnWidth(1), 20);
    }
};

QTEST_GUILESS_MAIN(TestGridStore)
#include "test_grid_store.moc"
