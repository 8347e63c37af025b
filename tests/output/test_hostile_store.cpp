// Nothing is lost and nothing damaged is trusted: a whole session leaves the database file
// as it was; a damaged, cut, emptied or foreign store in the cache is noticed and made again
// from the database; two programs loading the same file at once both get it right.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/import/StoreCache.h"
#include "output/CsvExport.h"
#include "search/QueryBuilder.h"
#include "search/ResultGrid.h"
#include "tools/fzgen/Population.h"
#include "util/StringGrid.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kRows = 600;

std::string work()
{
    const char* w = std::getenv("FZ_TEST_WORK");
    return w && *w ? std::string(w) : fs::current_path().string();
}

QByteArray fileHash(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

// Every cell of a statement's result, nulls marked, in result order.
std::vector<std::string> everything(const std::string& dir, const std::string& sql)
{
    engine::AdoQuery q;
    q.setConnectionString(engine::buildConnectionString(dir));
    q.addSql(sql);
    q.open();
    std::vector<std::string> out;
    for (; !q.eof(); q.next())
        for (int i = 0; i < q.fieldCount(); ++i)
            out.push_back(q.fieldIsNull(i) ? std::string("\x01NULL") : q.fieldAsString(i));
    return out;
}

} // namespace

class NothingLost : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;
    std::vector<std::string> reference_;

private slots:
    void initTestCase()
    {
        dir_ = work() + "/nothing-lost";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        mdb_ = dir_ + "/tabl1.mdb";
        fzgen::Options o;
        o.rows = kRows;
        o.messy = true;
        o.seed = 17;
        fzgen::writePersons(mdb_, o);
        reference_ = everything(dir_, "SELECT * FROM FZ_T1");
        QCOMPARE(reference_.size(), std::size_t(kRows) * 19);
    }

    void sessionLeavesTheDatabaseAsItWas()
    {
        const QByteArray before = fileHash(mdb_);
        struct stat sb {};
        QCOMPARE(::stat(mdb_.c_str(), &sb), 0);
        const auto mtime = sb.st_mtim;
        const std::set<std::string> filesBefore = [&] {
            std::set<std::string> s;
            for (const auto& e : fs::directory_iterator(dir_))
                s.insert(e.path().filename().string());
            return s;
        }();

        // load as the loading dialog does, then searches, then an export of the last result
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        for (const char* sql : {"SELECT Count(*) FROM FZ_T1", "SELECT Distinct(Raion) FROM FZ_T1",
                                "SELECT Distinct(CITI) FROM FZ_T1"}) {
            q.close();
            q.clearSql();
            q.addSql(sql);
            q.open();
        }
        search::SearchForm f;
        f.fam = QStringLiteral("ов");
        f.famMode = search::kModeAnywhere;
        q.close();
        q.clearSql();
        q.addSql(search::searchStatement(f).toStdString());
        q.open();
        QVERIFY(q.recordCount() > 0);
        StringGrid grid(search::kGridLayoutColumns);
        search::layoutGridHeader(grid);
        search::fillGridFromResult(grid, q.result());
        QString error;
        QVERIFY2(writeGridCsv(grid, QString::fromStdString(dir_ + "/export.csv"), &error),
                 qPrintable(error));
        // a failed export next to it changes nothing either
        QVERIFY(
            !writeGridCsv(grid, QString::fromStdString(dir_ + "/no-such-folder/x.csv"), &error));
        q.close();

        QCOMPARE(fileHash(mdb_), before);
        QCOMPARE(::stat(mdb_.c_str(), &sb), 0);
        QCOMPARE(sb.st_mtim.tv_sec, mtime.tv_sec);
        QCOMPARE(sb.st_mtim.tv_nsec, mtime.tv_nsec);
        for (const auto& e : fs::directory_iterator(dir_)) {
            const std::string name = e.path().filename().string();
            QVERIFY2(filesBefore.count(name) || name == "export.csv", name.c_str());
        }
    }

    void damagedStoreIsMadeAgain_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char* d : {"cut in half", "one page zeroed", "random bytes in the middle",
                              "empty", "header overwritten", "foreign sqlite file",
                              "store of another database", "not sqlite at all"})
            QTest::newRow(d) << QString(d);
    }

    void damagedStoreIsMadeAgain()
    {
        QFETCH(QString, damage);
        QCOMPARE(everything(dir_, "SELECT * FROM FZ_T1"), reference_); // the store is in place
        const std::string store = engine::StoreCache::storePathFor(mdb_);
        QVERIFY2(fs::exists(store), store.c_str());
        const auto size = fs::file_size(store);
        std::mt19937 rng(static_cast<unsigned>(qHash(damage)));

        auto patch = [&](std::uintmax_t at, const std::string& bytes) {
            std::fstream s(store, std::ios::in | std::ios::out | std::ios::binary);
            s.seekp(static_cast<std::streamoff>(at));
            s.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        };
        if (damage == "cut in half") {
            fs::resize_file(store, size / 2);
        } else if (damage == "one page zeroed") {
            patch((size / 4096 / 2) * 4096, std::string(4096, '\0'));
        } else if (damage == "random bytes in the middle") {
            std::string junk(20000, '\0');
            for (char& c : junk)
                c = static_cast<char>(rng());
            patch(size / 3, junk);
        } else if (damage == "empty") {
            fs::resize_file(store, 0);
        } else if (damage == "header overwritten") {
            patch(0, std::string(100, 'x'));
        } else if (damage == "foreign sqlite file") {
            fs::remove(store);
            sqlite3* db = nullptr;
            QCOMPARE(sqlite3_open(store.c_str(), &db), SQLITE_OK);
            sqlite3_exec(db, "CREATE TABLE FZ_T1(a); INSERT INTO FZ_T1 VALUES(1);", nullptr,
                         nullptr, nullptr);
            sqlite3_close(db);
        } else if (damage == "store of another database") {
            const std::string other = dir_ + "-other";
            fs::remove_all(other);
            fs::create_directories(other);
            fzgen::Options o;
            o.rows = 30;
            o.seed = 2;
            fzgen::writePersons(other + "/tabl1.mdb", o);
            QCOMPARE(everything(other, "SELECT Count(*) FROM FZ_T1"),
                     std::vector<std::string>{"30"});
            fs::copy_file(engine::StoreCache::storePathFor(other + "/tabl1.mdb"), store,
                          fs::copy_options::overwrite_existing);
        } else {
            std::ofstream(store, std::ios::trunc) << "ID;FAM\n1;x\n";
        }

        const int importsBefore = engine::StoreCache::importCount();
        QCOMPARE(everything(dir_, "SELECT Count(*) FROM FZ_T1"),
                 std::vector<std::string>{std::to_string(kRows)});
        QCOMPARE(everything(dir_, "SELECT * FROM FZ_T1"), reference_);
        if (damage != "one page zeroed" && damage != "random bytes in the middle")
            QVERIFY(engine::StoreCache::importCount() > importsBefore); // noticed at once
        QVERIFY(engine::StoreCache::importCount() <= importsBefore + 2);
    }

    // Two programs started at the same moment on the same file, with an empty cache.
    void twoProgramsAtOnce()
    {
        const QString fzsql = QStringLiteral(FZ_BIN_DIR "/fzsql");
        if (!QFileInfo::exists(fzsql))
            QSKIP("fzsql is not built");
        const std::string big = work() + "/both";
        fs::remove_all(big);
        fs::create_directories(big);
        fzgen::Options o;
        o.rows = 20000;
        o.seed = 8;
        fzgen::writePersons(big + "/tabl1.mdb", o);
        const QByteArray before = fileHash(big + "/tabl1.mdb");
        for (int round = 0; round < 3; ++round) {
            const QString cache =
                QString::fromStdString(work() + "/both-cache-" + std::to_string(round));
            QDir(cache).removeRecursively();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CACHE_HOME", cache);
            QProcess a, b;
            for (QProcess* p : {&a, &b}) {
                p->setProcessEnvironment(env);
                p->setWorkingDirectory(QString::fromStdString(big));
            }
            const QStringList args{"tabl1.mdb",
                                   "SELECT Count(*) FROM FZ_T1 WHERE FAM LIKE \"%ов\""};
            a.start(fzsql, args);
            b.start(fzsql, args);
            QVERIFY(a.waitForFinished(60000));
            QVERIFY(b.waitForFinished(60000));
            QCOMPARE(a.exitCode(), 0);
            QCOMPARE(b.exitCode(), 0);
            const QByteArray outA = a.readAllStandardOutput(), outB = b.readAllStandardOutput();
            QVERIFY2(outA.startsWith("1\n"), outA.constData());
            QCOMPARE(outA, outB);
            // no half-written store is left behind
            for (const QFileInfo& fi : QDir(cache + "/spravochnik").entryInfoList(QDir::Files))
                QVERIFY2(!fi.fileName().contains(".tmp"), qPrintable(fi.fileName()));
        }
        QCOMPARE(fileHash(big + "/tabl1.mdb"), before);
    }
};

QTEST_MAIN(NothingLost)
#include "test_hostile_store.moc"
