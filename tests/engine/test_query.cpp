// The query object on real Access files written by the project's writer: statements the
// program sends, the Jet semantics behind them and every error a user can meet.
#include "EngineTestSupport.h"

#include "engine/core/Messages.h"
#include "tools/fzgen/Population.h"

#include <fstream>

using namespace enginetest;

namespace {

// FZ_T1 with all 19 person columns; each cell names its row and column.
std::vector<jet4::Row> personRows()
{
    std::vector<jet4::Row> rows;
    for (int r = 1; r <= 3; ++r) {
        jet4::Row row;
        row.push_back(std::to_string(r)); // ID (Long)
        for (int c = 1; c < 19; ++c)
            row.push_back("r" + std::to_string(r) + "c" + std::to_string(c));
        rows.push_back(row);
    }
    rows[1][4] = std::nullopt;             // a null patronymic
    rows[1][5] = std::string();            // an empty postal code
    rows[2][2] = std::string("  Ёлкина "); // surrounding spaces kept
    return rows;
}

// A small table for the comparison rules.
std::vector<jet4::Row> ruleRows()
{
    auto row = [](Cell fam, Cell city) { return jet4::Row{fam, city}; };
    return {
        row("петров", "Ведрогорск"),   // 1
        row("ПЕТРОВА", " Ленинский "), // 2
        row("ёлкин", "ЦИТИ"),          // 3
        row("елкин", "CITI"),          // 4
        row("o\"neil", "a%b"),         // 5
        row("", "a_b"),                // 6
        row(std::nullopt, "a*b?[c]"),  // 7
        row("пётр", std::nullopt),     // 8
        row("ПЁТР", "ВЕДРОГОРСК"),     // 9
        row("Ivanov", "Ведрогорск"),   // 10
    };
}

} // namespace

class TestQuery : public QObject {
    Q_OBJECT

    std::string personsDir_, rulesDir_;
    engine::AdoQuery persons_, rules_;

private slots:
    void initTestCase()
    {
        personsDir_ = freshDir("persons");
        jet4::writeTable(personsDir_ + "/tabl1.mdb", "FZ_T1", fzgen::personColumns(), personRows());
        persons_.setConnectionString(engine::buildConnectionString(personsDir_));
        rulesDir_ = freshDir("rules");
        jet4::writeTable(rulesDir_ + "/tabl1.mdb", "FZ_T1", textColumns({"FAM", "CITI"}),
                         ruleRows());
        rules_.setConnectionString(engine::buildConnectionString(rulesDir_));
    }

    void everyColumnInTableOrder()
    {
        const auto rows = personRows();
        Table t = run(persons_, "SELECT * FROM FZ_T1");
        QCOMPARE(persons_.recordCount(), std::int64_t(3));
        QCOMPARE(persons_.fieldCount(), 19);
        const auto cols = fzgen::personColumns();
        auto res = persons_.result();
        for (int c = 0; c < 19; ++c)
            QCOMPARE(std::string(res->columnName(c)), cols[size_t(c)].name);
        QCOMPARE(t.size(), rows.size());
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < 19; ++c)
                QCOMPARE(t[r][c], rows[r][c]);
        // null reads as "" and is still told apart from the empty text
        persons_.first();
        persons_.next();
        QCOMPARE(persons_.fieldAsString(4), std::string());
        QVERIFY(persons_.fieldIsNull(4));
        QCOMPARE(persons_.fieldAsString(5), std::string());
        QVERIFY(!persons_.fieldIsNull(5));
        // a Long column compares by its digits
        QCOMPARE(run(persons_, "SELECT * FROM FZ_T1 WHERE ID=\"2\"").size(), size_t(1));
    }

    void cursor()
    {
        run(persons_, "SELECT * FROM FZ_T1 WHERE KOD LIKE \"r_c1\"");
        QCOMPARE(persons_.recordCount(), std::int64_t(3));
        persons_.first();
        QCOMPARE(persons_.fieldAsString(1), std::string("r1c1"));
        persons_.next();
        persons_.next();
        QCOMPARE(persons_.recNo(), std::int64_t(2));
        QVERIFY(!persons_.eof());
        persons_.next();
        QVERIFY(persons_.eof());
        QVERIFY(!engine::msg::noCurrentRecord().empty());
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, persons_.fieldAsString(0));
        persons_.first();
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, persons_.fieldAsString(19));
        QVERIFY_THROWS_EXCEPTION(engine::EngineError, persons_.fieldAsString(-1));
        persons_.close();
        QVERIFY(!persons_.active());
        QVERIFY(persons_.eof());
        QCOMPARE(persons_.sqlText(), std::string("SELECT * FROM FZ_T1 WHERE KOD LIKE \"r_c1\""));
        // the result outlives the cursor that made it
        run(persons_, "SELECT * FROM FZ_T1");
        auto kept = persons_.result();
        run(persons_, "SELECT Count(*) FROM FZ_T1");
        QCOMPARE(kept->rowCount(), std::int64_t(3));
        QCOMPARE(std::string(kept->value(2, 3)), std::string("r3c3"));
    }

    void countAndDistinct()
    {
        QCOMPARE(count(rules_, ""), std::int64_t(10));
        QCOMPARE(run(rules_, "SELECT Count(*) FROM FZ_T1").at(0).at(0), Cell("10"));
        // null and "" are two values; letter case makes no new value; null comes first
        Table d = run(rules_, "SELECT Distinct(Fam) FROM FZ_T1");
        QCOMPARE(rules_.recordCount(), std::int64_t(d.size()));
        QCOMPARE(d.at(0).at(0), Cell());
        QCOMPARE(d.at(1).at(0), Cell(""));
        std::vector<std::string> values;
        for (size_t i = 2; i < d.size(); ++i)
            values.push_back(*d[i][0]);
        // in alphabet order ("ё" right after "е"), the first spelling kept
        QCOMPARE(values, (std::vector<std::string>{"Ivanov", "o\"neil", "елкин", "ёлкин", "петров",
                                                   "ПЕТРОВА", "пётр"}));
        QCOMPARE(run(rules_, "SELECT DISTINCT citi FROM FZ_T1 WHERE FAM LIKE 'П%'"),
                 (Table{{Cell()}, {Cell(" Ленинский ")}, {Cell("Ведрогорск")}}));
        // an all-null column gives one null row; an empty table none
        std::string dir = freshDir("nulls");
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", textColumns({"A", "B"}),
                         {{std::nullopt, std::string()}, {std::nullopt, std::nullopt}});
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        QCOMPARE(run(q, "SELECT Distinct(A) FROM FZ_T1"), (Table{{Cell()}}));
        QCOMPARE(run(q, "SELECT Distinct(B) FROM FZ_T1"), (Table{{Cell()}, {Cell("")}}));
        std::string empty = freshDir("empty");
        jet4::writeTable(empty + "/tabl1.mdb", "FZ_T1", textColumns({"A"}), {});
        q.setConnectionString(engine::buildConnectionString(empty));
        QCOMPARE(run(q, "SELECT Count(*) FROM FZ_T1"), (Table{{Cell("0")}}));
        QCOMPARE(run(q, "SELECT Distinct(A) FROM FZ_T1").size(), size_t(0));
        QVERIFY(q.eof());
    }

    void caseInsensitiveCyrillic()
    {
        QCOMPARE(count(rules_, "FAM=\"петров\""), std::int64_t(1));
        QCOMPARE(count(rules_, "FAM=\"ПеТрОв\""), std::int64_t(1));
        QCOMPARE(count(rules_, "FAM LIKE \"петров%\""), std::int64_t(2));
        QCOMPARE(count(rules_, "CITI=\"ведрогорск\""), std::int64_t(3));
        QCOMPARE(count(rules_, "FAM=\"IVANOV\""), std::int64_t(1));
        // ё and е are different letters, in either case
        QCOMPARE(count(rules_, "FAM=\"ЁЛКИН\""), std::int64_t(1));
        QCOMPARE(count(rules_, "FAM LIKE \"%лкин\""), std::int64_t(2));
        QCOMPARE(count(rules_, "FAM LIKE \"пётр\""), std::int64_t(2));
        QCOMPARE(count(rules_, "FAM LIKE \"петр\""), std::int64_t(0));
        // spaces are part of the value: = does not ignore them, % can take them
        QCOMPARE(count(rules_, "CITI=\"Ленинский\""), std::int64_t(0));
        QCOMPARE(count(rules_, "CITI=\" ленинский \""), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI LIKE \"%ленинский%\""), std::int64_t(1));
    }

    void wildcards()
    {
        QCOMPARE(count(rules_, "FAM LIKE \"%\""), std::int64_t(9)); // every value but the null
        QCOMPARE(count(rules_, "FAM LIKE \"\""), std::int64_t(1));
        QCOMPARE(count(rules_, "FAM LIKE \"п_тр\""), std::int64_t(2)); // one Cyrillic letter
        QCOMPARE(count(rules_, "FAM LIKE \"п__тр\""), std::int64_t(0));
        QCOMPARE(count(rules_, "FAM LIKE \"_%\""), std::int64_t(8));
        QCOMPARE(count(rules_, "FAM LIKE \"%етр%\""), std::int64_t(2));
        QCOMPARE(count(rules_, "FAM LIKE \"%ов%\""),
                 std::int64_t(2)); // Cyrillic "ов", not Latin "ov"
        QCOMPARE(count(rules_, "FAM LIKE \"%o%n%\""), std::int64_t(1));
        QCOMPARE(count(rules_, "FAM LIKE \"%v%\" OR FAM LIKE \"%n_i%\""), std::int64_t(2));
        // % and _ in the data are matched by themselves too
        QCOMPARE(count(rules_, "CITI LIKE \"a%b\""), std::int64_t(2));
        QCOMPARE(count(rules_, "CITI LIKE \"a_b\""), std::int64_t(2));
        // * ? [ ] are ordinary characters
        QCOMPARE(count(rules_, "CITI LIKE \"a*b?[c]\""), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI LIKE \"a*%\""), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI LIKE \"%[c]\""), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI LIKE \"a?b\""), std::int64_t(0));
    }

    void nullNeverMatches()
    {
        QCOMPARE(count(rules_, "FAM<>\"петров\""), std::int64_t(8));
        QCOMPARE(count(rules_, "NOT FAM=\"петров\""), std::int64_t(8));
        QCOMPARE(count(rules_, "NOT FAM=\"нет такого\""), std::int64_t(9));
        QCOMPARE(count(rules_, "FAM NOT LIKE \"п%\""), std::int64_t(5));
        QCOMPARE(count(rules_, "NOT (FAM LIKE \"п%\" OR CITI LIKE \"a%\")"), std::int64_t(3));
        QCOMPARE(count(rules_, "FAM IS NULL"), std::int64_t(1));
        QCOMPARE(count(rules_, "NOT FAM IS NULL"), std::int64_t(9));
        QCOMPARE(count(rules_, "FAM IS NOT NULL AND CITI IS NOT NULL"), std::int64_t(8));
        QCOMPARE(count(rules_, "FAM=\"петров\" OR CITI IS NULL"), std::int64_t(2));
    }

    void literalsStayLiterals()
    {
        // a literal equal to a column's name is compared as text, not with the column
        QCOMPARE(count(rules_, "CITI=\"CITI\""), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI=\"FAM\""), std::int64_t(0));
        QCOMPARE(count(rules_, "[CITI]='citi'"), std::int64_t(1));
        QCOMPARE(count(rules_, "CITI=\"цити\""), std::int64_t(1));
        // a doubled quote stands for one
        Table t = run(rules_, "SELECT * FROM FZ_T1 WHERE FAM=\"O\"\"NEIL\"");
        QCOMPARE(t, (Table{{Cell("o\"neil"), Cell("a%b")}}));
        QCOMPARE(count(rules_, "FAM='o\"neil'"), std::int64_t(1));
        // SQL in a value is only text
        QCOMPARE(count(rules_, "FAM=\"x' OR 1=1 --\""), std::int64_t(0));
        QCOMPARE(count(rules_, "FAM=\"\"\" OR \"\"1\"\"=\"\"1\""), std::int64_t(0));
    }

    void statementTheSearchBuilds()
    {
        Table t =
            run(rules_, "SELECT * FROM FZ_T1 WHERE FAM LIKE \"%петр%\" AND CITI=\"ведрогорск\"");
        QCOMPARE(t, (Table{{Cell("петров"), Cell("Ведрогорск")}}));
        QCOMPARE(rules_.recordCount(), std::int64_t(1));
    }

    void errors()
    {
        engine::AdoQuery q;
        const std::string missingDir = freshDir("missing");
        q.setConnectionString(engine::buildConnectionString(missingDir));
        QCOMPARE(errorOf(q, "SELECT Count(*) FROM FZ_T1"),
                 "Не удается найти файл '" + missingDir + "/tabl1.mdb'.");

        const std::string textDir = freshDir("text");
        std::ofstream(textDir + "/tabl1.mdb") << "this is not a database\n";
        q.setConnectionString(engine::buildConnectionString(textDir));
        QCOMPARE(errorOf(q, "SELECT Count(*) FROM FZ_T1"),
                 "Нераспознаваемый формат базы данных '" + textDir + "/tabl1.mdb'.");

        const std::string dirDir = freshDir("isdir");
        std::filesystem::create_directory(dirDir + "/tabl1.mdb");
        q.setConnectionString(engine::buildConnectionString(dirDir));
        QVERIFY(errorOf(q, "SELECT Count(*) FROM FZ_T1").find(dirDir + "/tabl1.mdb") !=
                std::string::npos);

        QCOMPARE(
            errorOf(rules_, "SELECT * FROM FZ_T2"),
            std::string("Не удается найти входную таблицу или запрос 'FZ_T2'. Убедитесь, что он "
                        "существует и его имя введено без ошибок."));
        QCOMPARE(errorOf(rules_, "SELECT * FROM FZ_T1 WHERE FAMILY=\"a\""),
                 std::string("Слишком мало параметров. Требуется 1."));
        QCOMPARE(errorOf(rules_, "SELECT Distinct(X) FROM FZ_T1 WHERE Y='1' AND FAM=z"),
                 std::string("Слишком мало параметров. Требуется 3."));
        QCOMPARE(errorOf(rules_, "SELECT * FROM FZ_T1 WHERE FAM=\"a\"b\""),
                 std::string("Синтаксическая ошибка в строке в выражении запроса 'FAM=\"a\"b\"'."));
        engine::AdoQuery none;
        QVERIFY(!errorOf(none, "SELECT Count(*) FROM FZ_T1").empty());
        // after an error the object still works
        QCOMPARE(count(rules_, ""), std::int64_t(10));
    }

    void folderEndingInSlash()
    {
        engine::AdoQuery q;
        const std::string cs = engine::buildConnectionString(rulesDir_ + "/");
        QVERIFY(cs.find("//tabl1.mdb") != std::string::npos);
        q.setConnectionString(cs);
        QCOMPARE(count(q, ""), std::int64_t(10));
        // relative to the current folder as well
        std::filesystem::current_path(rulesDir_);
        q.setConnectionString(engine::buildConnectionString("."));
        QCOMPARE(count(q, "FAM IS NULL"), std::int64_t(1));
        std::filesystem::current_path(workDir());
    }
};

QTEST_GUILESS_MAIN(TestQuery)
#include "test_query.moc"
