// Filling the result grid from a result set held in memory (the same interface the engine's
// results have), so that the grid's rules and its speed on big results are checked alone.
#include "search/ResultGrid.h"

#include <QAbstractItemModelTester>
#include <QtTest>
#include <optional>

namespace {

class TableResult : public engine::ResultSet {
public:
    using Row = std::vector<std::optional<std::string>>;
    explicit TableResult(int columns)
        : columns_(columns)
    {
    }
    void add(Row r)
    {
        r.resize(std::size_t(columns_));
        rows_.push_back(std::move(r));
    }
    int columnCount() const override { return columns_; }
    std::int64_t rowCount() const override { return std::int64_t(rows_.size()); }
    std::string_view columnName(int) const override { return "C"; }
    std::string_view value(std::int64_t row, int col) const override
    {
        const auto& v = rows_[std::size_t(row)][std::size_t(col)];
        return v ? std::string_view(*v) : std::string_view();
    }
    bool isNull(std::int64_t row, int col) const override
    {
        return !rows_[std::size_t(row)][std::size_t(col)];
    }

private:
    int columns_;
    std::vector<Row> rows_;
};

TableResult::Row person(const std::string& fam, const std::string& name, const std::string& city)
{
    TableResult::Row r(19);
    r[0] = "1";
    r[1] = "k";
    r[2] = fam;
    r[3] = name;
    r[4] = "иванович";
    r[9] = city;
    r[16] = "муж";
    return r;
}

} // namespace

class TestGridFill : public QObject {
    Q_OBJECT
private slots:
    void headerAsShown()
    {
        StringGrid g(search::kGridLayoutColumns);
        search::layoutGridHeader(g);
        QCOMPARE(g.gridColumnCount(), 17);
        QCOMPARE(g.cell(0, 0), QString("Фамилия"));
        QCOMPARE(g.cell(8, 0), QString("Дополнит. № дома"));
        QCOMPARE(g.cell(16, 0), QString("Тел.рабочий"));
        QCOMPARE(g.columnWidth(0), StringGrid::kDefaultColumnWidth); // the layout's, untouched
        QCOMPARE(g.columnWidth(1), 28);
        QCOMPARE(g.columnWidth(10), 93);
        QCOMPARE(g.columnWidth(16), 68);
    }

    void rowsCellsAndColumnOrder()
    {
        StringGrid g(18);
        QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::QtTest);
        search::layoutGridHeader(g);
        auto r = std::make_shared<TableResult>(21);
        auto p = person("петров", "иван", "Ведрогорск");
        for (int i = 5; i <= 18; ++i)
            if (!p[std::size_t(i)])
                p[std::size_t(i)] = "v" + std::to_string(i);
        r->add(p);
        r->add(person("ёлкина", "", "x")); // nulls read as empty
        search::fillGridFromResult(g, r);
        QCOMPARE(g.gridRowCount(), 3);
        QCOMPARE(g.cell(0, 1), QString("Петров"));
        QCOMPARE(g.cell(1, 1), QString("Иван"));
        QCOMPARE(g.cell(2, 1), QString("Иванович"));
        QCOMPARE(g.cell(3, 1), QString("Ведрогорск"));
        const QStringList expected = {"v8", "v10", "v11", "v12", "v13", "v14", "v5",
                                      "v7", "v6",  "v15", "муж", "v17", "v18"};
        for (int c = 4; c < 17; ++c)
            QCOMPARE(g.cell(c, 1), expected.at(c - 4));
        QCOMPARE(g.cell(0, 2), QString("Ёлкина"));
        QCOMPARE(g.cell(1, 2), QString());
        QCOMPARE(g.cell(4, 2), QString());
        QCOMPARE(g.cell(0, 3), QString());
        QCOMPARE(g.data(g.index(1, 0)).toString(), QString("Ёлкина"));
    }

    void widthsGrowEightPixelsPerCharacterAndNeverShrink()
    {
        StringGrid g(18);
        search::layoutGridHeader(g);
        auto r = std::make_shared<TableResult>(19);
        r->add(person("а", "б", "абвгдежзийклмнопрсту")); // 20 Cyrillic characters, 40 bytes
        search::fillGridFromResult(g, r);
        QCOMPARE(g.columnWidth(3), 160);
        QCOMPARE(g.columnWidth(0), StringGrid::kDefaultColumnWidth);
        QCOMPARE(g.columnWidth(14), 25); // "муж": 24 < 25
        auto shorter = std::make_shared<TableResult>(19);
        shorter->add(person("а", "б", "ab"));
        search::fillGridFromResult(g, shorter);
        QCOMPARE(g.columnWidth(3), 160);
        QCOMPARE(g.cell(3, 1), QString("ab"));
    }

    void emptyResultLeavesHeaderAndOneEmptyRow()
    {
        StringGrid g(18);
        search::layoutGridHeader(g);
        auto r = std::make_shared<TableResult>(19);
        r->add(person("a", "b", "c"));
        r->add(person("a", "b", "c"));
        search::fillGridFromResult(g, r);
        QCOMPARE(g.gridRowCount(), 3);
        search::fillGridFromResult(g, std::make_shared<TableResult>(19));
        QCOMPARE(g.gridRowCount(), 2);
        QCOMPARE(g.cell(0, 1), QString());
        QCOMPARE(g.cell(0, 0), QString("Фамилия"));
    }

    void halfAMillionRowsQuickly()
    {
        auto r = std::make_shared<TableResult>(19);
        for (int i = 0; i < 500000; ++i) {
            TableResult::Row row(19);
            for (int c = 0; c < 19; ++c)
                row[std::size_t(c)] = "значение" + std::to_string(i % 1000);
            r->add(std::move(row));
        }
        StringGrid g(18);
        search::layoutGridHeader(g);
        QElapsedTimer t;
        t.start();
        search::fillGridFromResult(g, r);
        const qint64 ms = t.elapsed();
        qInfo("500,000 rows x 17 columns ready in %lld ms", ms);
        QCOMPARE(g.gridRowCount(), 500001);
        QCOMPARE(g.cell(0, 500000), QString("Значение999"));
        QCOMPARE(g.columnWidth(5), 8 * 11);
        // Catches a fill that copies or re-lays out per row (minutes, not seconds); the
        // benchmark measures the speed. The bound leaves room for a sanitizer build on a
        // busy machine (3.5 s alone there).
        QVERIFY2(ms < 30000, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(TestGridFill)
#include "test_grid_fill.moc"
