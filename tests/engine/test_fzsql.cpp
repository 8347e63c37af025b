// The query console on a small database: its output format and its exit status.
#include "EngineTestSupport.h"

#include <QProcess>

using namespace enginetest;

class TestFzsql : public QObject {
    Q_OBJECT

    std::string mdb_;

    QProcess* runConsole(const QStringList& args)
    {
        auto* p = new QProcess(this);
        p->start(FZ_BIN_DIR "/fzsql", args);
        p->waitForFinished(30000);
        return p;
    }

private slots:
    void initTestCase()
    {
        const std::string dir = freshDir("console");
        mdb_ = dir + "/tabl1.mdb";
        jet4::writeTable(mdb_, "FZ_T1", textColumns({"FAM", "NAME", "CITI"}),
                         {{Cell("петров"), Cell("a\tb"), Cell("x\ny")},
                          // (an escape beyond the first sixteen bytes)
                          {Cell("a long text, then back\\slash"), Cell(), Cell("")},
                          {Cell("ПЕТРОВА"), Cell(" иван "), Cell("Ведрогорск")}});
    }

    void printsCountThenRecords()
    {
        QProcess* p = runConsole({QString::fromStdString(mdb_), "SELECT * FROM FZ_T1"});
        QCOMPARE(p->exitCode(), 0);
        QCOMPARE(
            QString::fromUtf8(p->readAllStandardOutput()),
            QString("3\nпетров\ta\\tb\tx\\ny\na long text, then back\\\\slash\t\t\nПЕТРОВА\t иван "
                    "\tВедрогорск\n"));
        p = runConsole(
            {QString::fromStdString(mdb_), "SELECT Count(*) FROM FZ_T1 WHERE FAM LIKE \"пет%\""});
        QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()), QString("1\n2\n"));
        p = runConsole({QString::fromStdString(mdb_), "SELECT Distinct(Name) FROM FZ_T1"});
        QCOMPARE(QString::fromUtf8(p->readAllStandardOutput()), QString("3\n\n иван \na\\tb\n"));
    }

    void failsWithTheEngineMessage()
    {
        QProcess* p = runConsole({QString::fromStdString(mdb_), "SELECT * FROM NOPE"});
        QVERIFY(p->exitCode() != 0);
        QVERIFY(p->readAllStandardOutput().isEmpty());
        QVERIFY(QString::fromUtf8(p->readAllStandardError())
                    .contains("Не удается найти входную таблицу или запрос 'NOPE'"));
        p = runConsole({"/nonexistent/tabl1.mdb", "SELECT * FROM FZ_T1"});
        QVERIFY(p->exitCode() != 0);
        QCOMPARE(QString::fromUtf8(p->readAllStandardError()),
                 QString("Не удается найти файл '/nonexistent/tabl1.mdb'.\n"));
        p = runConsole({QString::fromStdString(mdb_)});
        QVERIFY(p->exitCode() != 0);
    }

    void opensAnyFileName()
    {
        const std::string dir = freshDir("names");
        for (const std::string& name :
             {std::string("a \"b\" 'c'; d.mdb"), std::string(123 * 2, 'x') + ".mdb"}) {
            std::filesystem::copy_file(mdb_, dir + "/" + name);
            QProcess* p = runConsole(
                {QString::fromStdString(dir + "/" + name), "SELECT Count(*) FROM FZ_T1"});
            QCOMPARE(QString::fromUtf8(p->readAllStandardError()), QString());
            QCOMPARE(p->readAllStandardOutput(), QByteArray("1\n3\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestFzsql)
#include "test_fzsql.moc"
