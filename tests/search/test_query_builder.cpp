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
        // The heard spelling: the value whole, a "%" in it no wildcard, a quote doubled.
        f.famMode = search::kModeSimilar;
        f.fam = " Шва\"рц% ";
        QVERIFY(search::searchStatement(f).startsWith(kSelect + "FAM SIMILAR \"шва\"\"рц%\" AND CITI"));
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
        f.date = "01.02.    "; // a partly typed date goes out trimmed
        f.kv = "7 ";          // the flat number as typed
        QCOMPARE(search::searchStatement(f), kSelect + "N_kv=\"7 \" AND DATA_r=\"01.02.\"");
        f.date = "";
        QCOMPARE(search::Pole(f, "DATA_r", search::kNoMode), QString());
    }
};

QTEST_GUILESS_MAIN(TestQueryBuilder)
#include "test_query_builder.moc"
