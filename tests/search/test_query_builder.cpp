#include "search/QueryBuilder.h"

#include <QtTest>

using search::SearchForm;

namespace {
const QString kSelect = QStringLiteral("SELECT * FROM FZ_T1 WHERE ");
}

class TestQueryBuilder : public QObject {
    Q_OBJECT
private slots:
    void nothingFilledGivesNoStatement()
    {
        SearchForm f; // every field at its start text
        QCOMPARE(search::searchStatement(f), QString());
        f.fam = "   ";
        f.index = " Индекс ";
        f.strana = "";
        f.obl = " ";
        f.date = "  .  .    ";
        f.telH = "XXXXXXXXXX ";
        f.kv = "№ кв. ";
        QCOMPARE(search::searchStatement(f), QString());
        f.female = f.male = true; // both boxes: no sex condition
        QCOMPARE(search::searchStatement(f), QString());
    }

    void eachCriterionAlone_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("where");
        QTest::newRow("surname trimmed, lower") << "fam" << "  ПеТров " << "FAM=\"петров\"";
        QTest::newRow("name") << "name" << "Иван" << "NAME=\"иван\"";
        QTest::newRow("patronymic") << "otchest" << "ИВАНОВИЧ" << "OTCHEST=\"иванович\"";
        QTest::newRow("index") << "index" << " 123456 " << "IndexFZ=\"123456\"";
        QTest::newRow("country") << "strana" << "Россия " << "STRANA=\"Россия\"";
        QTest::newRow("region") << "obl" << "Ведрогорская" << "OBL=\"Ведрогорская\"";
        QTest::newRow("district keeps case") << "raion" << " Центральный " << "RAION=\"Центральный\"";
        QTest::newRow("city") << "citi" << "Ведрогорск" << "CITI=\"Ведрогорск\"";
        QTest::newRow("village") << "derev" << "Липки" << "DEREV=\"Липки\"";
        QTest::newRow("street") << "strit" << "Ленина" << "STRIT=\"Ленина\"";
        QTest::newRow("house untrimmed") << "house1" << "12 " << "N_HOUSE1=\"12 \"";
        QTest::newRow("house 2") << "house2" << " 3" << "N_HOUSE2=\" 3\"";
        QTest::newRow("flat untrimmed") << "kv" << "7 " << "N_kv=\"7 \"";
        QTest::newRow("date") << "date" << "01.02.1970" << "DATA_r=\"01.02.1970\"";
        QTest::newRow("partial date") << "date" << "01.02.    " << "DATA_r=\"01.02.\"";
        QTest::newRow("home phone") << "telH" << " 2223344" << "TEL_h=\"2223344\"";
        QTest::newRow("work phone") << "telR" << "5556677" << "TEL_r=\"5556677\"";
        QTest::newRow("female") << "female" << "" << "POL=\"жен\"";
        QTest::newRow("male") << "male" << "" << "POL=\"муж\"";
    }
    void eachCriterionAlone()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, where);
        SearchForm f;
        const QHash<QString, QString*> texts = {
            {"fam", &f.fam}, {"name", &f.name}, {"otchest", &f.otchest}, {"index", &f.index},
            {"strana", &f.strana}, {"obl", &f.obl}, {"raion", &f.raion}, {"citi", &f.citi},
            {"derev", &f.derev}, {"strit", &f.strit}, {"house1", &f.house1},
            {"house2", &f.house2}, {"kv", &f.kv}, {"date", &f.date}, {"telH", &f.telH},
            {"telR", &f.telR}};
        if (field == "female")
            f.female = true;
        else if (field == "male")
            f.male = true;
        else
            *texts.value(field) = value;
        QCOMPARE(search::searchStatement(f), kSelect + where);
    }

    void allCriteriaInTheirFixedOrder()
    {
        SearchForm f;
        f.male = true;
        f.telR = "2";
        f.telH = "1";
        f.date = "01.01.2000";
        f.kv = "5";
        f.house2 = "а";
        f.house1 = "4";
        f.strit = "s";
        f.derev = "d";
        f.citi = "c";
        f.raion = "r";
        f.obl = "o";
        f.strana = "st";
        f.index = "i";
        f.otchest = "Ot";
        f.name = "Na";
        f.fam = "Fa";
        QCOMPARE(search::searchStatement(f),
                 kSelect
                     + "FAM=\"fa\" AND NAME=\"na\" AND OTCHEST=\"ot\" AND IndexFZ=\"i\" AND "
                       "STRANA=\"st\" AND OBL=\"o\" AND RAION=\"r\" AND CITI=\"c\" AND "
                       "DEREV=\"d\" AND STRIT=\"s\" AND N_HOUSE1=\"4\" AND N_HOUSE2=\"а\" AND "
                       "N_kv=\"5\" AND DATA_r=\"01.01.2000\" AND TEL_h=\"1\" AND TEL_r=\"2\" AND "
                       "POL=\"муж\"");
        f.male = false;
        f.female = true;
        QVERIFY(search::searchStatement(f).endsWith(" AND POL=\"жен\""));
    }

    void matchModes()
    {
        SearchForm f;
        f.fam = "Пет";
        f.famMode = search::kModePrefix;
        f.citi = "горск";
        f.citiMode = search::kModeSuffix;
        f.strit = "Лен";
        f.stritMode = search::kModeAnywhere;
        QCOMPARE(search::searchStatement(f),
                 kSelect + "FAM LIKE \"пет%\" AND CITI LIKE \"%горск\" AND STRIT LIKE \"%Лен%\"");
        // modes do not apply to equality-only columns
        QCOMPARE(search::Pole(f, "TEL_h", search::kModeAnywhere), QString("TEL_h=\"XXXXXXXXXX\""));
        QCOMPARE(search::Pole(f, "NOSUCH", search::kModeExact), QString());
    }

    void unknownModeCaptionLeavesAnEmptyCondition()
    {
        SearchForm f;
        f.fam = "a";
        f.famMode = "???";
        f.name = "b";
        QCOMPARE(search::searchStatement(f), kSelect + " AND NAME=\"b\"");
    }

    void quotesAreDoubledWildcardsKept()
    {
        SearchForm f;
        f.fam = "o\"brien";
        f.strit = "5%_";
        f.stritMode = search::kModeAnywhere;
        f.house1 = "1\"";
        QCOMPARE(search::searchStatement(f),
                 kSelect + "FAM=\"o\"\"brien\" AND STRIT LIKE \"%5%_%\" AND N_HOUSE1=\"1\"\"\"");
        QCOMPARE(search::jetLiteral("\"\""), QString("\"\"\"\"\"\""));
    }

    void ownChecksUseTheUntrimmedText()
    {
        SearchForm f;
        f.strana = " Страна"; // passes the own check; trimmed value sent
        QCOMPARE(search::searchStatement(f), kSelect + "STRANA=\"Страна\"");
        f = SearchForm{};
        f.house1 = " №дома 1"; // differs untrimmed: sent as typed
        QCOMPARE(search::searchStatement(f), kSelect + "N_HOUSE1=\" №дома 1\"");
        f = SearchForm{};
        f.date = "";
        QCOMPARE(search::Pole(f, "DATA_r", search::kNoMode), QString());
    }
};

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "test_query_builder.moc"
