// The "похожее" rules on pairs of a heard and a stored spelling, and the SIMILAR operator as
// the dialect reads it.
#include "engine/jetsql/Fold.h"
#include "engine/jetsql/JetSql.h"
#include "engine/jetsql/Similar.h"

#include <QtTest>

class TestSimilar : public QObject {
    Q_OBJECT

private slots:
    void heardAndStored_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("match");
        // heard one way, written another
        // clang-format off
        QTest::newRow("ц/с, one edit in five letters") << "шварц" << "шварс" << true;
        QTest::newRow("ё as е") << "ёлкин" << "елкин" << true;
        QTest::newRow("е as ё") << "елкин" << "ёлкин" << true;
        QTest::newRow("final в heard as ф") << "иваноф" << "иванов" << true;
        QTest::newRow("double letter") << "ала" << "алла" << true;
        QTest::newRow("double vowel") << "сергевич" << "сергеевич" << true;
        QTest::newRow("й as и, ь dropped") << "натальи" << "натали" << true;
        QTest::newRow("swapped neighbours") << "петорв" << "петров" << true;
        QTest::newRow("two edits in seven letters") << "сидрава" << "сидорова" << true;
        QTest::newRow("тс as ц") << "швартс" << "шварц" << true;
        QTest::newRow("сч as щ") << "счукин" << "щукин" << true;
        QTest::newRow("sound only: devoiced д, о/а") << "бодко" << "ботка" << true;
        QTest::newRow("case folded") << "ШВАРЦ" << "Шварс" << true;
        // clang-format on
        // near, but another name
        // clang-format off
        QTest::newRow("female surname") << "иванов" << "иванова" << false;
        QTest::newRow("male surname") << "иваноф" << "иванова" << false;
        QTest::newRow("female patronymic") << "сергеевич" << "сергеевна" << false;
        QTest::newRow("-ой / -ая") << "толстой" << "толстая" << false;
        QTest::newRow("two edits in five letters") << "котов" << "жуков" << false;
        QTest::newRow("two more letters") << "попов" << "попович" << false;
        QTest::newRow("longer name") << "шварц" << "шварцман" << false;
        QTest::newRow("other letters entirely") << "лев" << "ким" << false;
        // clang-format on
    }
    void heardAndStored()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, match);
        QCOMPARE(engine::similar::matches(engine::fold(typed.toStdString()),
                                          engine::fold(stored.toStdString())),
                 match);
    }

    void editsCountSwapsAsOne()
    {
        using engine::similar::editsUpTo;
        QCOMPARE(editsUpTo(U"аб", U"ба", 2), 1);
        QCOMPARE(editsUpTo(U"абвг", U"бавг", 1), 1);
        QCOMPARE(editsUpTo(U"абвгд", U"вгд", 1), 2); // over the limit: limit + 1
        QCOMPARE(editsUpTo(U"", U"аб", 2), 2);
    }

    void emptyValuesNeverMatch()
    {
        using engine::similar::matches;
        for (const char* empty : {"", "   ", "ь", "-", " . "}) {
            QVERIFY(!matches("о", empty));
            QVERIFY(!matches(empty, "о"));
            QVERIFY(!matches(empty, empty));
        }
    }

    void statementForm()
    {
        const auto st =
            engine::jet::parse("SELECT * FROM FZ_T1 WHERE FAM SIMILAR \"а\" AND NAME=\"б\"");
        QVERIFY(st.where->kind == engine::jet::Cond::Kind::And);
        QVERIFY(st.where->left->kind == engine::jet::Cond::Kind::Similar);
        QCOMPARE(st.where->left->literal, std::string("а"));
    }
};

QTEST_GUILESS_MAIN(TestSimilar)
#include "test_similar.moc"
