// The text a copy of grid cells gives: what a spreadsheet pastes as the same block.
#include "util/GridCopy.h"
#include "util/StringGrid.h"

#include <QtTest>

class TestGridCopy : public QObject {
    Q_OBJECT

    // Three columns, titled, and four data rows "r<row>c<col>".
    static void fill(StringGrid& g)
    {
        g.setGridRowCount(5);
        for (int c = 0; c < 3; ++c) {
            g.setCell(c, 0, QStringLiteral("Т%1").arg(c));
            for (int r = 1; r < 5; ++r)
                g.setCell(c, r, QStringLiteral("r%1c%2").arg(r).arg(c));
        }
    }

private slots:
    void titlesFirstThenTheBlock()
    {
        StringGrid g(3);
        fill(g);
        QCOMPARE(copiedText(g, {{2, 1, 3, 2}}), QString("Т1\tТ2\nr2c1\tr2c2\nr3c1\tr3c2\n"));
        // one cell
        QCOMPARE(copiedText(g, {{4, 0, 4, 0}}), QString("Т0\nr4c0\n"));
        // nothing selected, or only beyond the data rows: nothing to copy
        QCOMPARE(copiedText(g, {}), QString());
        QCOMPARE(copiedText(g, {{7, 0, 9, 2}}), QString());
        // a range reaching past the grid is cut to it; row 0 is never a data row
        QCOMPARE(copiedText(g, {{0, 2, 99, 7}}), QString("Т2\nr1c2\nr2c2\nr3c2\nr4c2\n"));
    }

    void separateRangesMakeOneBlock()
    {
        StringGrid g(3);
        fill(g);
        // Cells picked apart: the rows and columns they touch, the cells between empty.
        QCOMPARE(copiedText(g, {{1, 0, 1, 0}, {3, 2, 3, 2}}), QString("Т0\tТ2\nr1c0\t\n\tr3c2\n"));
        // Overlapping ranges copy each row once.
        QCOMPARE(copiedText(g, {{1, 1, 2, 1}, {2, 1, 3, 1}}), QString("Т1\nr1c1\nr2c1\nr3c1\n"));
    }

    void awkwardCellsPasteAsOneCell()
    {
        StringGrid g(2);
        g.setGridRowCount(2);
        g.setCell(0, 0, "A");
        g.setCell(1, 0, "B");
        g.setCell(0, 1, "a\tb");
        g.setCell(1, 1, "ООО \"Рога\"\nи копыта");
        QCOMPARE(copiedText(g, {{1, 0, 1, 1}}),
                 QString("A\tB\n\"a\tb\"\t\"ООО \"\"Рога\"\"\nи копыта\"\n"));
        QCOMPARE(copiedField("Петров"), QString("Петров"));
    }
};

QTEST_GUILESS_MAIN(TestGridCopy)
#include "test_grid_copy.moc"
