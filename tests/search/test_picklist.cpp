// The pick list: its rules without a window, then the modal dialog itself.
#include "search/PickList.h"
#include "search/Street.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

void whenListOpens(std::function<void(TFormStreet*)> act)
{
    // What the poll found, so the safety net below closes only a window this call was for.
    struct Found {
        bool seen = false;
        QPointer<QWidget> window;
    };
    auto found = std::make_shared<Found>();
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act, found] {
        if (auto* d = qobject_cast<TFormStreet*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            found->seen = true;
            found->window = d;
            act(d);
        }
    });
    poll->start();
    QTimer::singleShot(8000, [found, guard = QPointer<QTimer>(poll)] {
        delete guard.data(); // a poll that never found its window stops here
        QWidget* w = found->seen ? found->window.data() : QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->done(QDialog::Rejected);
    });
}

// Types text into a widget one character at a time (Cyrillic included).
void typeInto(QWidget* w, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

QString selectedText(TFormStreet* d)
{
    const auto sel = d->ListBox1->selectedItems();
    return sel.isEmpty() ? QStringLiteral("<none>") : sel.first()->text();
}

const QStringList kStreets = {
    QStringLiteral("  Ленина "), QString(), QStringLiteral("   "), QStringLiteral("\tМира"),
    QStringLiteral("ленина"), QStringLiteral("Ёлочная"), QStringLiteral("Есенина"),
    QStringLiteral("Заречная"), QStringLiteral("абрикосовая"), QStringLiteral("Ленинградская"),
};

} // namespace

class TestPickList : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QLineEdit* field = nullptr;

    // Opens the list over values, runs act on it, returns the field's text afterwards.
    QString pick(const QStringList& values, std::function<void(TFormStreet*)> act)
    {
        whenListOpens(act);
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
    void cleanup()
    {
        delete mainWindow;
        mainWindow = nullptr;
    }

    void entriesAreTrimmedEmptyOnesSkippedDuplicatesKept()
    {
        QCOMPARE(pickListEntries({QStringLiteral(" a "), QString(), QStringLiteral(" \t\r\n"),
                                  QStringLiteral("a"), QStringLiteral("\x01" "b\x1f")},
                                 4),
                 QStringList({"a", "a", "b"}));
        // Only entries up to `last` count; a `last` past the end is the end.
        QCOMPARE(pickListEntries({"x", "y", "z"}, 1), QStringList({"x", "y"}));
        QCOMPARE(pickListEntries({"x", "y"}, 10), QStringList({"x", "y"}));
        QCOMPARE(pickListEntries({"x"}, -1), QStringList());
        // Inner spaces stay.
        QCOMPARE(pickListEntries({QStringLiteral("  8 Марта  ")}, 0), QStringList({"8 Марта"}));
    }

    void sortingIgnoresCaseAndPutsYoWithYe()
    {
        QStringList l = {"ель", "ёлка", "Жук", "еда", "Ёж", "ежи", "борис", "Анна", "алла", "Борис", "яр"};
        sortPickList(l);
        QCOMPARE(l, QStringList({"алла", "Анна", "борис", "Борис", "еда", "Ёж", "ежи", "ёлка", "ель",
                                 "Жук", "яр"}));
        // Entries equal but for case keep the order they came in.
        QStringList same = {"Мира", "МИРА", "мира"};
        sortPickList(same);
        QCOMPARE(same, QStringList({"Мира", "МИРА", "мира"}));
    }

    void typeAheadRules()
    {
        const QStringList items = {"Абрикосовая", "Ленина", "Ленинградская", "ёлочная", "Мира"};
        QCOMPARE(typeAheadIndex(items, "лен"), 1);
        QCOMPARE(typeAheadIndex(items, "ЛЕНИНГ"), 2);
        QCOMPARE(typeAheadIndex(items, "Ё"), 3);
        QCOMPARE(typeAheadIndex(items, "Ленина"), 1);
        QCOMPARE(typeAheadIndex(items, "Ленинаа"), -1); // longer than every match
        QCOMPARE(typeAheadIndex(items, " Лен"), -1);    // the typed text is not trimmed
        QCOMPARE(typeAheadIndex(items, "xyz"), -1);
        QCOMPARE(typeAheadIndex(items, ""), 0);
        QCOMPARE(typeAheadIndex({}, ""), -1);
    }

    void dialogShowsSortedTrimmedListAndCount()
    {
        QStringList shown;
        QString count, title, focus;
        QSize size;
        bool onTop = false;
        QPoint centre;
        const QString result = pick(kStreets, [&](TFormStreet* d) {
            for (int i = 0; i < d->ListBox1->count(); ++i)
                shown << d->ListBox1->item(i)->text();
            count = d->StaticText2->text();
            title = d->windowTitle();
            size = d->size();
            onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            centre = d->frameGeometry().center();
            focus = QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
            d->SpeedButton1Click();
        });
        QCOMPARE(shown, QStringList({"абрикосовая", "Ёлочная", "Есенина", "Заречная", "Ленина",
                                     "ленина", "Ленинградская", "Мира"}));
        QCOMPARE(count, QStringLiteral("8"));
        QCOMPARE(title, QStringLiteral("Список"));
        QCOMPARE(size, QSize(255, 458));
        QVERIFY(onTop);
        QVERIFY((centre - mainWindow->frameGeometry().center()).manhattanLength() <= 4);
        QCOMPARE(focus, QStringLiteral("ListBox1"));
        QCOMPARE(result, QStringLiteral("было")); // "выход" leaves the field alone
    }

    void typingSelectsTheFirstMatchInAnyCase()
    {
        QStringList seen;
        pick(kStreets, [&](TFormStreet* d) {
            d->Edit1->setFocus();
            typeInto(d->Edit1, QStringLiteral("ЛЕН"));
            seen << selectedText(d);
            typeInto(d->Edit1, QStringLiteral("инг"));
            seen << selectedText(d);
            d->Edit1->clear();
            typeInto(d->Edit1, QStringLiteral("ё"));
            seen << selectedText(d);
            typeInto(d->Edit1, QStringLiteral("щ"));
            seen << selectedText(d); // no item starts with it: nothing selected
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            QTest::keyClick(d->Edit1, Qt::Key_Backspace);
            seen << selectedText(d); // the empty text selects the first item
            d->SpeedButton1Click();
        });
        QCOMPARE(seen, QStringList({"Ленина", "Ленинградская", "Ёлочная", "<none>", "абрикосовая"}));
    }

    void acceptWritesTheSelectionOrEmptyText()
    {
        // Enter in the type-ahead box.
        QCOMPARE(pick(kStreets, [](TFormStreet* d) {
                     typeInto(d->Edit1, QStringLiteral("мир"));
                     QTest::keyClick(d->Edit1, Qt::Key_Return);
                 }),
                 QStringLiteral("Мира"));
        // No match, then Enter: the field is emptied.
        field->setText(QStringLiteral("было"));
        QCOMPARE(pick(kStreets, [](TFormStreet* d) {
                     typeInto(d->Edit1, QStringLiteral("Zzz"));
                     QTest::keyClick(d->Edit1, Qt::Key_Enter);
                 }),
                 QString());
        // "ОК" with nothing chosen at all.
        field->setText(QStringLiteral("было"));
        QCOMPARE(pick(kStreets, [](TFormStreet* d) { QTest::mouseClick(d->SpeedButton2, Qt::LeftButton); }),
                 QString());
        // Arrow keys in the list, then Enter there.
        QCOMPARE(pick(kStreets, [](TFormStreet* d) {
                     QTest::keyClick(d->ListBox1, Qt::Key_Down);
                     QTest::keyClick(d->ListBox1, Qt::Key_Down);
                     QTest::keyClick(d->ListBox1, Qt::Key_Return);
                 }).isEmpty(),
                 false);
        // Double click on an item.
        QCOMPARE(pick(kStreets, [](TFormStreet* d) {
                     QListWidgetItem* it = d->ListBox1->item(3);
                     const QPoint at = d->ListBox1->visualItemRect(it).center();
                     QTest::mouseClick(d->ListBox1->viewport(), Qt::LeftButton, {}, at);
                     QTest::mouseDClick(d->ListBox1->viewport(), Qt::LeftButton, {}, at);
                 }),
                 QStringLiteral("Заречная"));
    }

    void escapeDoesNotCloseAndOnlyEmptyEntriesGiveAnEmptyList()
    {
        bool stillOpen = false;
        QString count;
        const QString result = pick({QString()}, [&](TFormStreet* d) {
            QTest::keyClick(d->ListBox1, Qt::Key_Escape);
            stillOpen = d->isVisible();
            count = d->StaticText2->text();
            d->SpeedButton2Click();
        });
        QVERIFY(stillOpen);
        QCOMPARE(count, QStringLiteral("0"));
        QCOMPARE(result, QString());
        QVERIFY(FormStreet == nullptr);
    }
};

QTEST_MAIN(TestPickList)
#include "test_picklist.moc"
