// The pick list: its rules without a window, then the modal dialog itself.
#include "../output/ModalTestSupport.h"

#include "search/PickList.h"
#include "search/Street.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using modaltest::typeText;
using modaltest::whenModal;

namespace {

QString selectedText(TFormStreet* d)
{
    const auto sel = d->ListBox1->selectedItems();
    return sel.isEmpty() ? QStringLiteral("<none>") : sel.first()->text();
}

const QStringList kStreets = {"  Ленина ", "",        "   ",      "\tМира",      "ленина",
                              "Ёлочная",   "Есенина", "Заречная", "абрикосовая", "Ленинградская"};

} // namespace

class TestPickList : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QLineEdit* field = nullptr;

    // Opens the list over values, runs act on it, returns the field's text afterwards.
    QString pick(const QStringList& values, std::function<void(TFormStreet*)> act)
    {
        whenModal<TFormStreet>(act);
        openPickList(field, values, mainWindow);
        return field->text();
    }

private slots:
    void init()
    {
        mainWindow = new QWidget;
        mainWindow->setGeometry(100, 80, 825, 614);
        field = new QLineEdit(QStringLiteral("было"), mainWindow);
        mainWindow->show();
    }
    void cleanup() { delete mainWindow; }

    void entriesAndOrder()
    {
        QCOMPARE(
            pickListEntries({" a ", "", " \t\r\n", "a", QStringLiteral("\x01") + "b c\x1f"}, 4),
            QStringList({"a", "a", "b c"}));
        QCOMPARE(pickListEntries({"x", "y", "z"}, 1), QStringList({"x", "y"}));
        QCOMPARE(pickListEntries({"x", "y"}, 10), QStringList({"x", "y"}));

        QStringList l = {"ель",   "ёлка", "Жук",  "еда",   "Ёж", "ежи",
                         "борис", "Анна", "алла", "Борис", "яр"};
        sortPickList(l);
        QCOMPARE(l, QStringList({"алла", "Анна", "борис", "Борис", "еда", "Ёж", "ежи", "ёлка",
                                 "ель", "Жук", "яр"}));
    }

    void typeAheadRules()
    {
        const QStringList items = {"Абрикосовая", "Ленина", "Ленинградская", "ёлочная", "Мира"};
        QCOMPARE(typeAheadIndex(items, "ЛЕНИНГ"), 2);
        QCOMPARE(typeAheadIndex(items, "Ё"), 3);
        QCOMPARE(typeAheadIndex(items, "Ленинаа"), -1); // longer than every match
        QCOMPARE(typeAheadIndex(items, " Лен"), -1);    // the typed text is not trimmed
        QCOMPARE(typeAheadIndex(items, ""), 0);
        QCOMPARE(typeAheadIndex({}, ""), -1);
    }

    void dialogShowsSortedTrimmedListAndCount()
    {
        QStringList shown;
        QString count, focus, countRead;
        QPoint centre;
        const QString result = pick(kStreets, [&](TFormStreet* d) {
            for (int i = 0; i < d->ListBox1->count(); ++i)
                shown << d->ListBox1->item(i)->text();
            count = d->StaticText2->text();
            countRead =
                QAccessible::queryAccessibleInterface(d->StaticText2)->text(QAccessible::Name);
            centre = d->frameGeometry().center();
            // the dialog takes the focus once the window system has activated it
            (void)QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 3000);
            focus =
                QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            d->SpeedButton1Click();
        });
        QCOMPARE(shown, QStringList({"абрикосовая", "Ёлочная", "Есенина", "Заречная", "Ленина",
                                     "ленина", "Ленинградская", "Мира"}));
        QCOMPARE(count, QStringLiteral("8"));
        QVERIFY2(countRead.contains(QStringLiteral("8")),
                 qPrintable(countRead)); // a screen reader hears it
        QVERIFY((centre - mainWindow->frameGeometry().center()).manhattanLength() <= 4);
        QCOMPARE(focus, QStringLiteral("ListBox1"));
        QCOMPARE(result, QStringLiteral("было")); // "выход" leaves the field alone
    }

    void typingSelectsTheFirstMatchInAnyCase()
    {
        QStringList seen;
        pick(kStreets, [&](TFormStreet* d) {
            typeText(d->Edit1, QStringLiteral("ЛЕН"));
            seen << selectedText(d);
            typeText(d->Edit1, QStringLiteral("инг"));
            seen << selectedText(d);
            typeText(d->Edit1, QStringLiteral("щ"));
            seen << selectedText(d);
            d->Edit1->clear();
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            seen << selectedText(d); // the empty text selects the first item
            d->SpeedButton1Click();
        });
        QCOMPARE(seen, QStringList({"Ленина", "Ленинградская", "<none>", "абрикосовая"}));
    }

    void acceptWritesTheSelectionOrEmptyText()
    {
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) {
                          typeText(d->Edit1, QStringLiteral("мир"));
                          QTest::keyClick(d->Edit1, Qt::Key_Return);
                      }),
                 QStringLiteral("Мира"));
        field->setText(QStringLiteral("было"));
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) {
                          typeText(d->Edit1, QStringLiteral("Zzz"));
                          QTest::keyClick(d->Edit1, Qt::Key_Enter);
                      }),
                 QString());
        field->setText(QStringLiteral("было"));
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) { QTest::mouseClick(d->SpeedButton2, Qt::LeftButton); }),
                 QString());
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) {
                          QTest::keyClick(d->ListBox1, Qt::Key_Down);
                          QTest::keyClick(d->ListBox1, Qt::Key_Return);
                      }),
                 QStringLiteral("Ёлочная")); // the focus put the list on its first item
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) {
                          const QPoint at =
                              d->ListBox1->visualItemRect(d->ListBox1->item(3)).center();
                          QTest::mouseClick(d->ListBox1->viewport(), Qt::LeftButton, {}, at);
                          QTest::mouseDClick(d->ListBox1->viewport(), Qt::LeftButton, {}, at);
                      }),
                 QStringLiteral("Заречная"));
    }

    void escapeLeavesAsExitDoesAndAnEmptyListGivesAnEmptyField()
    {
        for (const char* from : {"ListBox1", "Edit1"}) {
            field->setText(QStringLiteral("было"));
            QCOMPARE(pick(kStreets,
                          [from](TFormStreet* d) {
                              QTest::keyClick(d->ListBox1, Qt::Key_Down);
                              QTest::keyClick(d->findChild<QWidget*>(from), Qt::Key_Escape);
                          }),
                     QStringLiteral("было"));
        }
        QString count;
        const QString result = pick({QString()}, [&](TFormStreet* d) {
            count = d->StaticText2->text();
            d->SpeedButton2Click();
        });
        QCOMPARE(count, QStringLiteral("0"));
        QCOMPARE(result, QString());
    }

    void tabReachesBothButtonsAndEnterPressesThem()
    {
        QStringList order;
        const auto tabAround = [&order](TFormStreet* d) {
            d->activateWindow();
            (void)QTest::qWaitFor([d] { return d->ListBox1->hasFocus(); }, 3000);
            for (int i = 0; i < 5; ++i) {
                order << QApplication::focusWidget()->objectName();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            }
        };
        // Tab from the list: type-ahead, "ОК", "выход", and round to the list; Enter on a
        // button presses it.
        QCOMPARE(pick(kStreets,
                      [&](TFormStreet* d) {
                          tabAround(d);
                          typeText(d->Edit1, QStringLiteral("мир"));
                          d->SpeedButton1->setFocus();
                          QTest::keyClick(d->SpeedButton1, Qt::Key_Return);
                      }),
                 QStringLiteral("было"));
        QCOMPARE(order,
                 QStringList({"ListBox1", "Edit1", "SpeedButton2", "SpeedButton1", "ListBox1"}));
        QCOMPARE(pick(kStreets,
                      [](TFormStreet* d) {
                          typeText(d->Edit1, QStringLiteral("мир"));
                          d->SpeedButton2->setFocus();
                          QTest::keyClick(d->SpeedButton2, Qt::Key_Return);
                      }),
                 QStringLiteral("Мира"));
    }

    void countCaptionIsWholeBesideItsCount()
    {
        TFormStreet d(field, mainWindow);
        auto* caption = d.findChild<QLabel*>(QStringLiteral("StaticText1"));
        QVERIFY(caption->fontMetrics().horizontalAdvance(caption->text()) <=
                caption->contentsRect().width());
        QVERIFY(d.StaticText2->x() > caption->geometry().right());
        QVERIFY(d.rect().contains(d.StaticText2->geometry()));
    }
};

QTEST_MAIN(TestPickList)
#include "test_picklist.moc"
