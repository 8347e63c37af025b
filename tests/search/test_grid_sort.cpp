// Sorting the result grid by a column, and the grid view's copy and title clicks.
#include "engine/store/MemResult.h"
#include "search/GridActions.h"
#include "search/GridSort.h"
#include "search/ResultGrid.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QtTest>

using search::SortKind;

namespace {

// The texts in the order sortedOrder puts them.
QStringList sorted(const std::vector<std::string>& texts, SortKind kind, bool descending = false)
{
    QStringList out;
    for (std::uint32_t i : search::sortedOrder(
             texts.size(), [&](std::size_t k) { return std::string_view(texts[k]); }, kind,
             descending))
        out << QString::fromStdString(texts[i]);
    return out;
}

// A result of persons: surname, birth date and home telephone in their table positions.
std::shared_ptr<engine::MemResult> persons(const std::vector<std::array<const char*, 3>>& rows)
{
    using namespace fz::person;
    auto r = std::make_shared<engine::MemResult>(std::vector<std::string>(kColumnCount, "C"));
    for (const auto& p : rows) {
        for (int c = 0; c < kColumnCount; ++c) {
            const char* v = c == FAM ? p[0] : c == DATA_r ? p[1] : c == TEL_h ? p[2] : nullptr;
            if (v)
                r->addCell(v);
            else
                r->addNull();
        }
        r->endRow();
    }
    return r;
}

QStringList column(const StringGrid& g, int col)
{
    QStringList out;
    for (int r = 1; r < g.gridRowCount(); ++r)
        out << g.cell(col, r);
    return out;
}

} // namespace

class TestGridSort : public QObject {
    Q_OBJECT
private slots:
    void sortKeys()
    {
        // The Russian alphabet, letter case and surrounding spaces aside; ё with е (after it
        // when the words are otherwise the same).
        QCOMPARE(
            sorted({"Жуков", "ёлкин", "Яковлев", " Абрамов", "елкин", "Ельцин", "абрамов"},
                   SortKind::Text),
            QStringList({" Абрамов", "абрамов", "елкин", "ёлкин", "Ельцин", "Жуков", "Яковлев"}));
        // Dates as dates; a text that is no date after them; empty cells last.
        QCOMPARE(sorted({"01.02.1990", "", "31.12.1989", "не помню", "15.01.1990"}, SortKind::Date),
                 QStringList({"31.12.1989", "15.01.1990", "01.02.1990", "не помню", ""}));
        // Numbers where they begin with one.
        QCOMPARE(sorted({"10", "9", "10а", "б/н", "", "2", "10"}, SortKind::Number),
                 QStringList({"2", "9", "10", "10", "10а", "б/н", ""}));
        // Reversed, empty cells still last.
        QCOMPARE(sorted({"10", "", "9", "10а"}, SortKind::Number, true),
                 QStringList({"10а", "10", "9", ""}));
        QCOMPARE(search::sortKindOf(0), SortKind::Text);
        QCOMPARE(search::sortKindOf(13), SortKind::Date);
        QCOMPARE(search::sortKindOf(15), SortKind::Number);
    }

    void alikeRowsKeepTheirOrder()
    {
        // Rows that sort alike stay in their order in both directions.
        const std::vector<std::string> t = {"б", "А", "б", "а", "Б"};
        auto order = [&](bool desc) {
            return search::sortedOrder(
                t.size(), [&](std::size_t k) { return std::string_view(t[k]); }, SortKind::Text,
                desc);
        };
        QCOMPARE(order(false), std::vector<std::uint32_t>({1, 3, 0, 2, 4}));
        QCOMPARE(order(true), std::vector<std::uint32_t>({0, 2, 4, 1, 3}));
    }

    void gridSortsAndForgets()
    {
        StringGrid g(search::kGridLayoutColumns);
        QAbstractItemModelTester tester(&g, QAbstractItemModelTester::FailureReportingMode::QtTest);
        search::layoutGridHeader(g);
        search::fillGridFromResult(g, persons({{"сидоров", "02.01.1980", "20"},
                                               {"анисимов", "01.01.1990", "3"},
                                               {"борисов", nullptr, "100"}}));
        const QStringList tableOrder = column(g, 0);
        // A selected cell stays with its record.
        QPersistentModelIndex picked = g.index(1, 0); // "Анисимов"
        g.sort(0);
        QCOMPARE(column(g, 0), QStringList({"Анисимов", "Борисов", "Сидоров"}));
        QCOMPARE(picked.row(), 0);
        g.sort(0, Qt::DescendingOrder);
        QCOMPARE(column(g, 0), QStringList({"Сидоров", "Борисов", "Анисимов"}));
        g.sort(15); // telephones as numbers
        QCOMPARE(column(g, 15), QStringList({"3", "20", "100"}));
        g.sort(13); // birth dates as dates
        QCOMPARE(column(g, 0), QStringList({"Сидоров", "Анисимов", "Борисов"}));
        QCOMPARE(g.sortColumn(), 13);
        g.sort(-1);
        QCOMPARE(column(g, 0), tableOrder);
        // A new result shows its own order.
        g.sort(0, Qt::DescendingOrder);
        search::fillGridFromResult(g, persons({{"яковлев", "", ""}, {"абрамов", "", ""}}));
        QCOMPARE(g.sortColumn(), -1);
        QCOMPARE(column(g, 0), QStringList({"Яковлев", "Абрамов"}));
    }

    void viewCopiesAndSortsOnClick()
    {
        StringGrid g(search::kGridLayoutColumns);
        search::layoutGridHeader(g);
        QTableView view;
        view.setModel(&g);
        search::attachGridActions(view, g);
        search::fillGridFromResult(
            g, persons({{"сидоров", "02.01.1980", "20"}, {"анисимов", "01.01.1990", "3"}}));
        view.resize(900, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));

        // A click on a title sorts, a second one reverses.
        QHeaderView* h = view.horizontalHeader();
        const QPoint title(h->sectionViewportPosition(0) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(column(g, 0), QStringList({"Анисимов", "Сидоров"}));
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(column(g, 0), QStringList({"Сидоров", "Анисимов"}));
        QCOMPARE(h->sortIndicatorSection(), 0);

        // Ctrl+C: the titles, then the selected cells.
        view.setFocus();
        view.selectionModel()->select(QItemSelection(g.index(0, 0), g.index(1, 1)),
                                      QItemSelectionModel::ClearAndSelect);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("Фамилия\tИмя\nСидоров\t\nАнисимов\t\n"));
        // The same from the context menu, in Russian.
        const auto actions = view.actions();
        QVERIFY(std::any_of(actions.begin(), actions.end(),
                            [](QAction* a) { return a->text() == "Копировать"; }));
        QCOMPARE(view.contextMenuPolicy(), Qt::ActionsContextMenu);

        // A new search takes the arrow away.
        search::fillGridFromResult(g, persons({{"петров", "", ""}}));
        QCOMPARE(h->sortIndicatorSection(), -1);
    }
};

QTEST_MAIN(TestGridSort)
#include "test_grid_sort.moc"
