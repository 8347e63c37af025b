// Strange entries and strange typing in the pick list: every entry survives, type-ahead finds
// what a plain scan finds, nothing breaks on quotes, wildcards, control characters, very long
// or non-Windows-1251 text.

#include "search/PickList.h"

#include <QtTest>

class StrangePickList : public QObject {
    Q_OBJECT

    static QStringList strangeValues()
    {
        return {QStringLiteral("Пет\"ров"),    QStringLiteral("100%"),
                QStringLiteral("a_b"),         QStringLiteral("[Центр]"),
                QStringLiteral("O'Brien"),     QStringLiteral("ул.\tЛенина"),
                QStringLiteral("Ки\x01ров"),   QStringLiteral("Smile \U0001F600"),
                QStringLiteral("Éloïse"),      QStringLiteral("éloïse"),
                QStringLiteral("Ёлкино"),      QStringLiteral("Елкино"),
                QString(10000, QChar(0x0436)), QStringLiteral("  пробелы  "),
                QStringLiteral("\t"),          QString(),
                QStringLiteral("*?"),          QStringLiteral("\\"),
                QStringLiteral("\"\""),        QStringLiteral("'")};
    }

    // The first item beginning with the typed text, letter case aside (a plain scan).
    static int scan(const QStringList& items, const QString& typed)
    {
        if (typed.isEmpty())
            return items.isEmpty() ? -1 : 0;
        for (int i = 0; i < items.size(); ++i)
            if (items[i].left(typed.size()).compare(typed, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }

private slots:
    void entriesSurvive()
    {
        const QStringList values = strangeValues();
        QStringList items = pickListEntries(values, int(values.size()) + 5);
        int nonEmpty = 0;
        for (const QString& v : values)
            if (!pickListTrim(v).isEmpty())
                ++nonEmpty;
        QCOMPARE(int(items.size()), nonEmpty);
        for (const QString& v : values)
            if (!pickListTrim(v).isEmpty())
                QVERIFY(items.contains(pickListTrim(v)));
        sortPickList(items);
        QCOMPARE(int(items.size()), nonEmpty);
    }

    void typeAheadFindsWhatAScanFinds()
    {
        QStringList items = pickListEntries(strangeValues(), 1000);
        sortPickList(items);
        QStringList typed;
        for (const QString& it : items) {
            typed << it << it.left(1) << it.left(3) << it.toUpper() << it + QStringLiteral("x");
        }
        typed << QStringLiteral("\"") << QStringLiteral("%") << QStringLiteral("_")
              << QStringLiteral("[") << QStringLiteral("'") << QStringLiteral("\t")
              << QStringLiteral("\x01") << QStringLiteral("\U0001F600")
              << QString(20000, QChar(0x0436)) << QStringLiteral("ÉLO") << QString();
        for (const QString& t : typed)
            QCOMPARE(typeAheadIndex(items, t), scan(items, t));
    }
};

QTEST_GUILESS_MAIN(StrangePickList)
#include "test_strange_picklist.moc"
