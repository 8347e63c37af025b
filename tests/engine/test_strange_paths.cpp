// The program opens tabl1.mdb in whatever folder it is started from: folder names with
// quotes, spaces, "=", line breaks, Cyrillic or emoji load like any other; a ";" (which ends
// the Data Source of the connection string, as it does for the desktop engine) gives the
// engine's "file not found" message, never a crash or a wrong file.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "tools/fzgen/Population.h"

#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

class StrangePaths : public QObject {
    Q_OBJECT

    std::string base_;

    static std::string count(const std::string& dir)
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        q.addSql("SELECT Count(*) FROM FZ_T1");
        q.open();
        return q.fieldAsString(0);
    }

private slots:
    void initTestCase()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        base_ = (w && *w ? std::string(w) : fs::current_path().string()) + "/paths";
        fs::remove_all(base_);
        fs::create_directories(base_);
    }

    void foldersThatLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quotes") << QStringLiteral("a \"quoted\" 'folder'");
        QTest::newRow("spaces inside") << QStringLiteral("two  spaces");
        QTest::newRow("equals") << QStringLiteral("Data Source=x");
        QTest::newRow("cyrillic") << QStringLiteral("Справочник Ведрогорска");
        QTest::newRow("emoji") << QStringLiteral("base \U0001F600");
        QTest::newRow("line break") << QStringLiteral("line\nbreak");
        QTest::newRow("percent and brackets") << QStringLiteral("100% [x] _y_");
        QTest::newRow("trailing slash") << QStringLiteral("slash/");
    }

    void foldersThatLoad()
    {
        QFETCH(QString, name);
        const std::string dir = base_ + "/" + name.toStdString();
        fs::create_directories(dir);
        fzgen::Options o;
        o.rows = 7;
        fzgen::writePersons(dir + "/tabl1.mdb", o);
        QCOMPARE(count(dir), std::string("7"));
    }

    void semicolonEndsTheDataSource()
    {
        const std::string dir = base_ + "/a;b";
        fs::create_directories(dir);
        fzgen::Options o;
        o.rows = 3;
        fzgen::writePersons(dir + "/tabl1.mdb", o);
        try {
            count(dir);
            QFAIL("a folder with ';' in its name opened");
        } catch (const engine::EngineError& e) {
            const std::string m = e.what();
            QVERIFY2(m.find("Не удается найти файл") != std::string::npos, m.c_str());
        }
    }
};

QTEST_GUILESS_MAIN(StrangePaths)
#include "test_strange_paths.moc"
