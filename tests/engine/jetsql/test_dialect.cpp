// The dialect, which needs no database: case folding and the statement parser with its
// messages.
#include "engine/core/EngineError.h"
#include "engine/jetsql/Fold.h"
#include "engine/jetsql/JetSql.h"
#include "util/Utf8.h"

#include <QtTest>

using engine::jet::Cond;
using engine::jet::Statement;

namespace {

std::string parseError(const std::string& sql)
{
    try {
        engine::jet::parse(sql);
    } catch (const engine::EngineError& e) {
        return e.what();
    }
    return {};
}

} // namespace

class TestDialect : public QObject {
    Q_OBJECT
private slots:
    void foldingCoversLatinAndCyrillic()
    {
        QCOMPARE(engine::fold("ПЕТРОВ Иван"), std::string("петров иван"));
        QCOMPARE(engine::fold("ЁЖИК ёжик"), std::string("ёжик ёжик"));
        QCOMPARE(engine::fold("ABCxyz 019 %_[]"), std::string("abcxyz 019 %_[]"));
        QCOMPARE(engine::fold("ÀÉÖ ŁĄ ҐЄІЇЎ"), std::string("àéö łą ґєіїў"));
        // "ё" and "е" stay different letters
        QVERIFY(engine::fold("Ё") != engine::fold("Е"));
        // invalid UTF-8 passes through byte for byte
        const std::string bad("\xFF\xC3(A", 4);
        QCOMPARE(engine::fold(bad), std::string("\xFF\xC3(a", 4));
        QCOMPARE(fz::utf8::charCount("ёж_a"), size_t(4));
    }

    void reversingKeepsCharactersWhole()
    {
        QCOMPARE(engine::reverseChars("абв xy"), std::string("yx вба"));
        QCOMPARE(engine::reverseChars(""), std::string());
        QCOMPARE(engine::reverseChars(engine::reverseChars("Ёлка🙂!")),
                 std::string("Ёлка🙂!"));
    }

    void statementsTheProgramSends()
    {
        Statement c = engine::jet::parse("SELECT Count(*) FROM FZ_T1");
        QVERIFY(c.kind == Statement::Kind::Count);
        QCOMPARE(c.table, std::string("FZ_T1"));
        Statement d = engine::jet::parse("select distinct(Raion) from fz_t1");
        QVERIFY(d.kind == Statement::Kind::Distinct);
        QCOMPARE(d.columns, std::vector<std::string>{"Raion"});
        Statement d2 = engine::jet::parse("SELECT DISTINCT [strit] FROM [FZ_T1];");
        QCOMPARE(d2.columns, std::vector<std::string>{"strit"});
        QCOMPARE(d2.table, std::string("FZ_T1"));

        Statement s = engine::jet::parse(
            "SELECT * FROM FZ_T1 WHERE FAM=\"CITI\" AND NAME LIKE \"a\"\"b%\" AND POL='муж'");
        QVERIFY(s.kind == Statement::Kind::Star);
        QCOMPARE(s.whereText, std::string("FAM=\"CITI\" AND NAME LIKE \"a\"\"b%\" AND POL='муж'"));
        // ((FAM = "CITI" AND NAME LIKE ...) AND POL = ...)
        const Cond& top = *s.where;
        QVERIFY(top.kind == Cond::Kind::And);
        const Cond& fam = *top.left->left;
        QVERIFY(fam.kind == Cond::Kind::Compare);
        QCOMPARE(fam.column, std::string("FAM"));
        QCOMPARE(fam.literal,
                 std::string("CITI")); // a literal equal to a column name stays a literal
        const Cond& like = *top.left->right;
        QVERIFY(like.kind == Cond::Kind::Like);
        QCOMPARE(like.literal, std::string("a\"b%"));
        QCOMPARE(top.right->literal, std::string("муж"));
    }

    void precedenceAndNegation()
    {
        Statement s = engine::jet::parse(
            "SELECT * FROM t WHERE NOT a = '1' OR b IS NOT NULL AND (c NOT LIKE 'x' OR d <> 2)");
        const Cond& top = *s.where;
        QVERIFY(top.kind == Cond::Kind::Or); // AND binds tighter than OR
        QVERIFY(top.left->kind == Cond::Kind::Not);
        QVERIFY(top.right->kind == Cond::Kind::And);
        QVERIFY(top.right->left->kind == Cond::Kind::IsNull && top.right->left->negated);
        const Cond& inner = *top.right->right;
        QVERIFY(inner.kind == Cond::Kind::Or);
        QVERIFY(inner.left->kind == Cond::Kind::Like && inner.left->negated);
        QCOMPARE(inner.right->op, std::string("<>"));
        QCOMPARE(inner.right->literal, std::string("2"));
    }

    void unquotedValueIsAParameter()
    {
        Statement s = engine::jet::parse("SELECT * FROM FZ_T1 WHERE FAM = petrov");
        QCOMPARE(s.parameters, std::vector<std::string>{"petrov"});
    }

    void messages()
    {
        // a double quote typed into a search field breaks the literal
        QCOMPARE(
            parseError("SELECT * FROM FZ_T1 WHERE FAM=\"o\"neil\""),
            std::string("Синтаксическая ошибка в строке в выражении запроса 'FAM=\"o\"neil\"'."));
        QCOMPARE(parseError("SELECT * FROM FZ_T1 WHERE FAM=\"o\"\"neil\""), std::string());
        QCOMPARE(parseError("SELECT * FROM FZ_T1 WHERE FAM=\"a\" \"b\""),
                 std::string("Синтаксическая ошибка (пропущен оператор) в выражении запроса "
                             "'FAM=\"a\" \"b\"'."));
        QCOMPARE(parseError("SELECT * FROM FZ_T1 WHERE  AND FAM=\"a\""),
                 std::string("Синтаксическая ошибка в выражении запроса 'AND FAM=\"a\"'."));
        QCOMPARE(parseError("SELECT * FROM FZ_T1 WHERE FAM=\"a\" AND "),
                 std::string("Синтаксическая ошибка в выражении запроса 'FAM=\"a\" AND'."));
        QCOMPARE(
            parseError("SELECT * FROM FZ_T1 WHERE FAM"),
            std::string("Синтаксическая ошибка (пропущен оператор) в выражении запроса 'FAM'."));
        QCOMPARE(parseError("SELECT * FZ_T1"),
                 std::string("Синтаксическая ошибка в предложении FROM."));
        QCOMPARE(
            parseError("DELETE FROM FZ_T1"),
            std::string("Ошибка в инструкции SQL; предполагалось 'DELETE', 'INSERT', 'PROCEDURE', "
                        "'SELECT' или 'UPDATE'."));
        QVERIFY(!parseError("").empty());
        QVERIFY(!parseError("SELECT * FROM [FZ_T1").empty());
        QVERIFY(!parseError("SELECT Count(x) FROM FZ_T1").empty());
        // the message names what follows SELECT, however the statement begins
        const std::string afterSelect =
            "Синтаксическая ошибка в выражении запроса 'Count(x) FROM FZ_T1'.";
        QCOMPARE(parseError("SELECT Count(x) FROM FZ_T1"), afterSelect);
        QCOMPARE(parseError("  \n SELECT Count(x) FROM FZ_T1"), afterSelect);
        QCOMPARE(parseError("SELECT"),
                 std::string("Синтаксическая ошибка в выражении запроса 'SELECT'."));
    }
};

QTEST_GUILESS_MAIN(TestDialect)
#include "test_dialect.moc"
