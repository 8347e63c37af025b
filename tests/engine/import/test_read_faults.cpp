// Failed, empty and short reads of the file being imported, made by a fault injector
// preloaded into the importer: a failed read is never taken for the end of the table. The
// import ends with a message naming a read error, no store is kept, and the next open,
// without faults, answers right. Short reads are taken up and lose nothing.

#include "ImportTestSupport.h"
#include "engine/core/Messages.h"
#include "tools/fzgen/Population.h"

#include <QProcess>
#include <QtTest>

#include <filesystem>

using namespace enginetest;
namespace fs = std::filesystem;

class TestReadFaults : public QObject {
    Q_OBJECT

    static constexpr std::int64_t kRows = 8000; // a file of three read pieces
    std::string dir_, mdb_;

    // The files the store cache holds.
    static std::vector<std::string> cacheFiles()
    {
        std::vector<std::string> out;
        const std::string cache = workDir() + "/cache";
        if (fs::exists(cache))
            for (const auto& e : fs::recursive_directory_iterator(cache))
                if (e.is_regular_file())
                    out.push_back(e.path().string());
        return out;
    }

    std::int64_t countAll() { return storedRows(mdb_); }

private slots:
    void initTestCase()
    {
        dir_ = freshDir("faults");
        mdb_ = dir_ + "/tabl1.mdb";
        fzgen::Options o;
        o.rows = kRows;
        o.seed = 5;
        fzgen::writePersons(mdb_, o, dir_ + "/persons.csv");
        QVERIFY(fs::file_size(mdb_) > 2u << 20);
        qputenv("FZ_IMPORTER_TEST_ENV", "1");
        qputenv("LD_PRELOAD", FZ_FAULT_LIB);
        // a sanitizer runtime would refuse to come second to the injector
        qputenv("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        qputenv("FZ_FAULT_PATH", mdb_.c_str());
    }
    void cleanupTestCase()
    {
        for (const char* v : {"FZ_IMPORTER_TEST_ENV", "LD_PRELOAD", "FZ_FAULT_PATH",
                              "FZ_FAULT_KIND", "FZ_FAULT_NTH", "FZ_FAULT_COUNT"})
            qunsetenv(v);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("nth");
        QTest::addColumn<int>("times");
        // the message's reason begins so; "": no error; "*": the reading library's turn
        // (this importer reads the file whole before: no error, or a read error)
        QTest::addColumn<QString>("reason");
        QTest::newRow("first read fails") << "eio" << 1 << 1 << "EIO";
        QTest::newRow("a read mid-file fails") << "eio" << 2 << 1 << "EIO";
        QTest::newRow("the last read fails") << "eio" << 3 << 1 << "EIO";
        QTest::newRow("every read fails") << "eio" << 1 << 0 << "EIO";
        QTest::newRow("a read mid-file finds the end")
            << "zero" << 2 << 1 << "файл закончился на байте 1048576 из";
        QTest::newRow("every read comes back short") << "short" << 1 << 0 << "";
        QTest::newRow("a late read fails") << "eio" << 40 << 1 << "*";
        QTest::newRow("a late read finds the end") << "zero" << 40 << 0 << "*";
    }
    void faults()
    {
        QFETCH(QString, kind);
        QFETCH(int, nth);
        QFETCH(int, times);
        QFETCH(QString, reason);
        fs::remove_all(workDir() + "/cache");
        qputenv("FZ_FAULT_KIND", kind.toUtf8());
        qputenv("FZ_FAULT_NTH", QByteArray::number(nth));
        qputenv("FZ_FAULT_COUNT", QByteArray::number(times));
        std::string err;
        std::int64_t n = -1;
        try {
            n = countAll();
        } catch (const engine::EngineError& e) {
            err = e.what();
        }
        qunsetenv("FZ_FAULT_KIND");
        if (reason == "*" && err.empty()) {
            QCOMPARE(n, kRows); // never fewer rows than the file holds
            return;
        }
        if (reason == "*")
            reason = "EIO";
        if (reason.isEmpty()) {
            QVERIFY2(err.empty(), err.c_str());
            QCOMPARE(n, kRows);
            return;
        }
        const std::string said = engine::msg::readError(mdb_, reason.toStdString());
        QVERIFY2(err.rfind(said.substr(0, said.size() - 2), 0) == 0, err.c_str());
        QVERIFY(cacheFiles().empty());
        QCOMPARE(countAll(), kRows);
    }

    // The caller's own look at the header: a failed read there is a read error too, not a
    // file of an unknown format.
    void headerReadByTheCaller()
    {
        fs::remove_all(workDir() + "/cache");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("FZ_IMPORTER_TEST_ENV"); // the importer reads undisturbed
        env.insert("FZ_FAULT_KIND", "eio");
        env.insert("FZ_FAULT_NTH", "1");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(FZ_BIN_DIR "/fzsql", {QString::fromStdString(mdb_), "SELECT Count(*) FROM FZ_T1"});
        QVERIFY(p.waitForFinished(60000));
        const QString said = QString::fromUtf8(p.readAllStandardError());
        QVERIFY(p.exitCode() != 0);
        QVERIFY2(said.contains("ошибка чтения (EIO"), qPrintable(said));
    }
};

QTEST_GUILESS_MAIN(TestReadFaults)
#include "test_read_faults.moc"
