// The database a start argument names: a folder means its tabl1.mdb, anything else the file
// itself; relative paths from the current directory; a Data Source that a ";", a quote mark
// or a blank would change is quoted, so that a file of any name (any length) still opens.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/StartArgument.h"
#include "tools/fzgen/Population.h"

#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

class StartArgument : public QObject {
    Q_OBJECT

    std::string base_;

    std::string source(const std::string& argument) const
    {
        return engine::dataSource(engine::startConnectionString(argument, base_));
    }

private slots:
    void initTestCase()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        base_ = (w && *w ? std::string(w) : fs::current_path().string()) + "/start";
        fs::remove_all(base_);
        fs::create_directories(base_ + "/folder");
        fs::create_directories(base_ + "/a;b");
    }

    // The connection string a folder gives, and its Data Source read back.
    void connectionString()
    {
        const std::string cs = engine::buildConnectionString("/home/op");
        QCOMPARE(cs, std::string("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/home/op/tabl1.mdb;"
                                 "Persist Security Info=False"));
        QCOMPARE(engine::dataSource(cs), std::string("/home/op/tabl1.mdb"));
        // the root folder already ends in "/": two in a row
        QCOMPARE(engine::dataSource(engine::buildConnectionString("/")),
                 std::string("//tabl1.mdb"));
        QCOMPARE(engine::dataSource("provider=x; data source = /a b/c.mdb ;x=y"),
                 std::string("/a b/c.mdb"));
        QCOMPARE(engine::dataSource("Data Source=\"/a;b/c.mdb\";x=y"), std::string("/a;b/c.mdb"));
        QCOMPARE(engine::dataSource("Provider=x"), std::string());
        QCOMPARE(engine::dataSource(""), std::string());
    }

    void noArgumentIsTheCurrentDirectory()
    {
        QCOMPARE(engine::startConnectionString("", base_), engine::buildConnectionString(base_));
    }

    void namedPaths_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected"); // relative to base_
        // clang-format off
        QTest::newRow("folder") << "folder" << "folder/tabl1.mdb";
        QTest::newRow("folder, trailing slashes") << "folder//" << "folder/tabl1.mdb";
        QTest::newRow("file of another name") << "folder/x.mdb" << "folder/x.mdb";
        QTest::newRow("missing file") << "nothing/here.mdb" << "nothing/here.mdb";
        QTest::newRow("semicolon in folder") << "a;b" << "a;b/tabl1.mdb";
        QTest::newRow("semicolon in file") << "a;b/c;d.mdb" << "a;b/c;d.mdb";
        QTest::newRow("trailing blank") << "folder/x.mdb " << "folder/x.mdb ";
        // clang-format on
    }

    void namedPaths()
    {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        const std::string want = base_ + "/" + expected.toStdString();
        QCOMPARE(source(argument.toStdString()), want);               // relative
        QCOMPARE(source(base_ + "/" + argument.toStdString()), want); // absolute
    }

    void rootFolder()
    {
        QCOMPARE(engine::dataSource(engine::startConnectionString("/", base_)),
                 std::string("/tabl1.mdb"));
    }

    void fileWithSemicolonOpens()
    {
        const std::string file = base_ + "/a;b/справка;2007.mdb";
        fzgen::Options o;
        o.rows = 4;
        fzgen::writePersons(file, o);
        engine::AdoQuery q;
        q.setConnectionString(engine::startConnectionString("a;b/справка;2007.mdb", base_));
        q.addSql("SELECT Count(*) FROM FZ_T1");
        q.open();
        QCOMPARE(q.fieldAsString(0), std::string("4"));
    }

    void anyNameSurvivesTheConnectionString()
    {
        for (const std::string path : {"/a\"b.mdb", "/a'b;c\"d.mdb", "\"/x\"", "'/y'", " /lead",
                                       "/trail ", "/a\"\"b;", "/plain.mdb", "/x; Data Source=/y"})
            QCOMPARE(engine::dataSource(engine::connectionStringFor(path)), path);
    }

    void oddFileNamesOpen_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote marks and semicolons") << "справка \"2007\" 'нов'; копия.mdb";
        QTest::newRow("blanks") << "  две  базы .mdb";
        QTest::newRow("250 bytes") << QString(123, QChar(0x436)) + ".mdb";
        QTest::newRow("112 Cyrillic letters") << QString(112, QChar(0x444)) + ".mdb";
    }
    void oddFileNamesOpen()
    {
        QFETCH(QString, name);
        fzgen::Options o;
        o.rows = 4;
        fzgen::writePersons(base_ + "/short.mdb", o); // (the writer adds to the name)
        fs::rename(base_ + "/short.mdb", base_ + "/" + name.toStdString());
        engine::AdoQuery q;
        q.setConnectionString(engine::startConnectionString(name.toStdString(), base_));
        q.addSql("SELECT Count(*) FROM FZ_T1");
        q.open();
        QCOMPARE(q.fieldAsString(0), std::string("4"));
    }
};

QTEST_GUILESS_MAIN(StartArgument)
#include "test_start_argument.moc"
