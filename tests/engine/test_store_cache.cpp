// The store cache and the importer process: a store is reused while its file is unchanged,
// made again when the file changes or the store is damaged or foreign, and an importer that
// crashes, hangs or fails ends in a clear message without harming the caller. A store
// answers only for the content it was read from, and no unfinished store outlives its program.
#include "EngineTestSupport.h"

#include "engine/core/Messages.h"

#include <QElapsedTimer>
#include <QProcess>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>

using namespace enginetest;

namespace {

std::vector<jet4::Row> rowsNamed(const std::string& prefix, int n)
{
    std::vector<jet4::Row> rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({prefix + std::to_string(i), i % 7 ? Cell("x") : Cell()});
    return rows;
}

void writeDb(const std::string& dir, const std::string& prefix, int n)
{
    jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", textColumns({"FAM", "B"}), rowsNamed(prefix, n));
}

std::string readAll(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string script(const std::string& name, const std::string& body)
{
    std::string path = workDir() + "/" + name;
    writeAll(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
}

// Makes the file's modification time differ from the one the store recorded.
void touchLater(const std::string& path)
{
    struct stat sb {};
    ::stat(path.c_str(), &sb);
    timeval tv[2] = {{sb.st_mtim.tv_sec + 5, 0}, {sb.st_mtim.tv_sec + 5, 0}};
    ::utimes(path.c_str(), tv);
}

// The names in the cache folder that are unfinished stores.
std::vector<std::string> temporaryStores()
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(workDir() + "/cache/spravochnik"))
        if (e.path().filename().string().find(".tmp.") != std::string::npos)
            out.push_back(e.path().string());
    return out;
}

} // namespace

class TestStoreCache : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;

    std::string storePath() const
    {
        return engine::StoreCache::storePathFor(engine::StoreCache::currentKey(mdb_).path);
    }
    std::int64_t countWith(const std::string& where = {})
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        return count(q, where);
    }

private slots:
    void init()
    {
        qunsetenv("FZ_IMPORTER");
        dir_ = freshDir("cachedb");
        mdb_ = dir_ + "/tabl1.mdb";
        writeDb(dir_, "a", 50);
    }

    void reusedWhileUnchanged()
    {
        const std::string before = readAll(mdb_);
        const int imports = engine::StoreCache::importCount();
        QCOMPARE(countWith(), std::int64_t(50));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        QVERIFY(storePath().rfind(workDir() + "/cache/spravochnik/", 0) == 0);
        QCOMPARE(countWith("FAM='a7'"), std::int64_t(1));
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(count(q, "B IS NULL"), std::int64_t(8));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        // a logging importer is not started at all for an unchanged file
        const std::string log = workDir() + "/importer.log";
        std::filesystem::remove(log);
        qputenv("FZ_IMPORTER",
                script("logging-importer",
                       "echo run >> '" + log + "'\nexec '" FZ_BIN_DIR "/fzimport' \"$@\"")
                    .c_str());
        QCOMPARE(countWith(), std::int64_t(50));
        QVERIFY(!std::filesystem::exists(log));
        // the database itself is never written
        QCOMPARE(readAll(mdb_), before);
    }

    void rebuiltWhenTheFileChanges()
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        QCOMPARE(count(q, "FAM LIKE 'a%'"), std::int64_t(50));
        const int imports = engine::StoreCache::importCount();
        writeDb(dir_, "b", 20);
        touchLater(mdb_);
        // the same query object notices the change at its next open
        QCOMPARE(count(q, "FAM LIKE 'b%'"), std::int64_t(20));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        QCOMPARE(count(q, "FAM LIKE 'a%'"), std::int64_t(0));
        // no temporary store is left behind
        for (const auto& e : std::filesystem::directory_iterator(workDir() + "/cache/spravochnik"))
            QVERIFY2(e.path().string().find(".tmp.") == std::string::npos, e.path().c_str());
    }

    // The file is rewritten (same size, modification time put back) while it is imported:
    // that store is thrown away and the file read again; a file that keeps changing gets a
    // message and leaves no store.
    void fileRewrittenWhileImported_data()
    {
        QTest::addColumn<int>("rewrites");
        QTest::newRow("once") << 1;
        QTest::newRow("at every import") << 1000;
    }
    void fileRewrittenWhileImported()
    {
        QFETCH(int, rewrites);
        std::filesystem::remove(storePath());
        const std::string other = freshDir("rewrite");
        writeDb(other, "b", 50);
        std::filesystem::copy_file(mdb_, other + "/a.mdb");
        QCOMPARE(std::filesystem::file_size(other + "/tabl1.mdb"),
                 std::filesystem::file_size(mdb_));
        writeAll(other + "/times", "");
        QProcess::execute("touch", {"-r", QString::fromStdString(mdb_),
                                    QString::fromStdString(other + "/times")});
        // after the importer has read the file, it is overwritten in place: b, a, b, ...
        qputenv("FZ_IMPORTER",
                script("rewriting-importer", "'" FZ_BIN_DIR "/fzimport' \"$@\"; rc=$?\n"
                                             "cd '" +
                                                 other +
                                                 "'\n"
                                                 "n=$(cat count 2>/dev/null || echo 0)\n"
                                                 "if [ $n -lt " +
                                                 std::to_string(rewrites) +
                                                 " ]; then\n"
                                                 "  echo $((n + 1)) > count\n"
                                                 "  if [ $((n % 2)) = 0 ]; then cp tabl1.mdb '" +
                                                 mdb_ +
                                                 "'; "
                                                 "else cp a.mdb '" +
                                                 mdb_ +
                                                 "'; fi\n"
                                                 "  touch -r times '" +
                                                 mdb_ +
                                                 "'\n"
                                                 "fi\nexit $rc")
                    .c_str());
        const int imports = engine::StoreCache::importCount();
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        if (rewrites == 1) {
            QCOMPARE(count(q, "FAM LIKE 'b%'"), std::int64_t(50));
            QCOMPARE(engine::StoreCache::importCount(), imports + 2);
        } else {
            QCOMPARE(QString::fromStdString(errorOf(q, "SELECT Count(*) FROM FZ_T1")),
                     QString::fromStdString(engine::msg::fileKeepsChanging(mdb_)));
            QCOMPARE(engine::StoreCache::importCount(), imports + 3);
            QVERIFY(!std::filesystem::exists(storePath()));
            qunsetenv("FZ_IMPORTER");
            QCOMPARE(count(q, "FAM LIKE 'b%'"), std::int64_t(50)); // b after the third
        }
        QVERIFY(temporaryStores().empty());
        qunsetenv("FZ_IMPORTER");
    }

    // One edit in place, the modification time put back (touch -r): the status-change time
    // still tells.
    void editWithTheTimePutBackIsSeen()
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        QCOMPARE(count(q, "FAM LIKE 'a%'"), std::int64_t(50));
        struct stat before {};
        QCOMPARE(::stat(mdb_.c_str(), &before), 0);
        const std::string other = freshDir("edited");
        writeDb(other, "b", 50);
        const std::string bytes = readAll(other + "/tabl1.mdb");
        QCOMPARE(static_cast<off_t>(bytes.size()), before.st_size);
        {
            std::fstream f(mdb_, std::ios::in | std::ios::out | std::ios::binary);
            f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        const timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, mdb_.c_str(), times, 0), 0);
        QCOMPARE(count(q, "FAM LIKE 'b%'"), std::int64_t(50));
        QCOMPARE(countWith("FAM LIKE 'a%'"), std::int64_t(0));
    }

    // A console killed while its importer writes leaves its unfinished store; so does one
    // whose private temporary folder was in use. The next open removes both, and nothing
    // of a program that still runs.
    void leftoversOfEndedProgramsRemoved()
    {
        std::filesystem::remove(storePath());
        const std::string pidFile = workDir() + "/importer.pid";
        std::filesystem::remove(pidFile);
        qputenv("FZ_IMPORTER",
                script("slow-importer", "echo $$ > '" + pidFile + "'\necho 'P 1 10'\nexec sleep 30")
                    .c_str());
        QProcess console;
        console.start(FZ_BIN_DIR "/fzsql",
                      {QString::fromStdString(mdb_), "SELECT Count(*) FROM FZ_T1"});
        QVERIFY(console.waitForStarted());
        for (int i = 0; i < 500 && readAll(pidFile).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        QCOMPARE(temporaryStores().size(), size_t(1));
        const pid_t gone = static_cast<pid_t>(console.processId());
        console.kill();
        QVERIFY(console.waitForFinished());
        ::kill(std::stoi(readAll(pidFile)), SIGKILL);
        qunsetenv("FZ_IMPORTER");
        QCOMPARE(temporaryStores().size(), size_t(1));

        const std::string tmp = freshDir("tmpdir");
        const std::string dead = tmp + "/spravochnik-" + std::to_string(gone) + "-Ab12Cd";
        const std::string alive = tmp + "/spravochnik-" + std::to_string(::getpid()) + "-Ab12Cd";
        for (const std::string& d : {dead, alive}) {
            std::filesystem::create_directories(d);
            writeAll(d + "/x.store", "persons");
        }
        QProcess again;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", QString::fromStdString(tmp));
        again.setProcessEnvironment(env);
        again.start(FZ_BIN_DIR "/fzsql",
                    {QString::fromStdString(mdb_), "SELECT Count(*) FROM FZ_T1"});
        QVERIFY(again.waitForFinished(30000));
        QCOMPARE(again.readAllStandardOutput(), QByteArray("1\n50\n"));
        QVERIFY(temporaryStores().empty());
        QVERIFY(!std::filesystem::exists(dead));
        QVERIFY(std::filesystem::exists(alive));
    }

    void damagedOrForeignStoreIsRebuilt_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("truncated at a page") << "page";
        QTest::newRow("garbage inside") << "garbage";
        QTest::newRow("empty") << "empty";
        QTest::newRow("text") << "text";
        QTest::newRow("other SQLite file") << "sqlite";
        QTest::newRow("store of another file") << "other";
    }
    void damagedOrForeignStoreIsRebuilt()
    {
        QFETCH(QString, how);
        QCOMPARE(countWith("FAM='a3'"), std::int64_t(1));
        const std::string store = storePath();
        std::string bytes = readAll(store);
        QVERIFY(bytes.size() > 8192);
        if (how == "truncated") {
            bytes.resize(bytes.size() - 100);
        } else if (how == "page") {
            bytes.resize(bytes.size() - 4096);
        } else if (how == "garbage") {
            for (size_t i = 4096; i < bytes.size(); i += 3)
                bytes[i] = char(0xA5 ^ (i & 0xFF));
        } else if (how == "empty") {
            bytes.clear();
        } else if (how == "text") {
            bytes = "not a store";
        } else if (how == "sqlite") {
            std::filesystem::remove(store);
            engine::sql::Db db(store, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            db.exec("CREATE TABLE fz_meta(key, value); INSERT INTO fz_meta VALUES('format', '1')");
            db.close();
            bytes = readAll(store);
        } else if (how == "other") {
            const std::string other = freshDir("otherdb");
            writeDb(other, "z", 5);
            engine::AdoQuery q;
            q.setConnectionString(engine::buildConnectionString(other));
            QCOMPARE(count(q, ""), std::int64_t(5));
            bytes = readAll(engine::StoreCache::storePathFor(
                engine::StoreCache::currentKey(other + "/tabl1.mdb").path));
        }
        writeAll(store, bytes);
        const int imports = engine::StoreCache::importCount();
        QCOMPARE(countWith("FAM='a3'"), std::int64_t(1));
        QCOMPARE(countWith(), std::int64_t(50));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
    }

    void storeDamagedWhileInUse()
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        QCOMPARE(count(q, ""), std::int64_t(50));
        // the store changes under the open query object: its next statement must not trust it
        const std::string store = storePath();
        std::string bytes = readAll(store);
        for (size_t i = bytes.size() / 2; i < bytes.size(); ++i)
            bytes[i] = char(i * 7);
        writeAll(store + ".new", bytes);
        std::filesystem::rename(store + ".new", store);
        std::string err;
        try {
            auto t = run(q, "SELECT * FROM FZ_T1 WHERE FAM LIKE '%1%'");
            QCOMPARE(t.size(), size_t(14));
        } catch (const engine::EngineError& e) {
            err = e.what(); // a clear message is acceptable; a wrong answer is not
        }
        QVERIFY2(err.empty() || err.find("Ошибка") != std::string::npos, err.c_str());
        QCOMPARE(countWith("FAM LIKE '%1%'"), std::int64_t(14));
    }

    void importerFailures_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("killed by a signal")
            << "echo 'P 1 10'\nkill -SEGV $$"
            << QString::fromStdString(engine::msg::importCrashed("%1"));
        QTest::newRow("killed mid-way by the system")
            << "echo 'P 1 10'\nkill -KILL $$"
            << QString::fromStdString(engine::msg::importOutOfMemory("%1"));
        QTest::newRow("non-zero exit")
            << "echo 'P 1 10'\nexit 9" << QString::fromStdString(engine::msg::importCrashed("%1"));
        QTest::newRow("reports damage")
            << "echo 'E 4 bad page'\nexit 4" << QString::fromStdString(engine::msg::damaged("%1"));
        QTest::newRow("reports running out of memory")
            << "echo 'E 8 out of memory'\nexit 8"
            << QString::fromStdString(engine::msg::importOutOfMemory("%1"));
        QTest::newRow("reports a read error")
            << "echo 'E 7 EIO: Input/output error'\nexit 7"
            << QString::fromStdString(engine::msg::readError("%1", "EIO: Input/output error"));
        QTest::newRow("stopped at its processor-time limit")
            << "echo 'P 1 10'\nkill -XCPU $$"
            << QString::fromStdString(
                   engine::msg::importLimit("%1", engine::msg::limitProcessorTime()));
        QTest::newRow("reports not a database")
            << "echo 'E 3 no signature'\nexit 3"
            << QString::fromStdString(engine::msg::badFormat("%1"));
        QTest::newRow("exits 0 without finishing")
            << "echo 'P 1 10'\nexit 0" << QString::fromStdString(engine::msg::importCrashed("%1"));
        QTest::newRow("hangs") << "echo 'P 1 10'\nexec sleep 30"
                               << QString::fromStdString(engine::msg::importTimedOut("%1", 1));
        QTest::newRow("hangs silently after closing its output")
            << "exec >&-\nexec sleep 30"
            << QString::fromStdString(engine::msg::importTimedOut("%1", 1));
        QTest::newRow("cannot be started") << ""
                                           << "";
    }
    void importerFailures()
    {
        QFETCH(QString, body);
        QFETCH(QString, message);
        std::filesystem::remove(storePath());
        if (body.isEmpty())
            qputenv("FZ_IMPORTER", (workDir() + "/no-such-importer").c_str());
        else
            qputenv("FZ_IMPORTER", script("failing-importer", body.toStdString()).c_str());
        engine::AdoQuery q;
        q.setImportTimeout(1);
        q.setConnectionString(engine::buildConnectionString(dir_));
        int calls = 0;
        q.setProgress([&](std::int64_t, std::int64_t) { ++calls; });
        QElapsedTimer timer;
        timer.start();
        const std::string err = errorOf(q, "SELECT Count(*) FROM FZ_T1");
        QVERIFY(timer.elapsed() < 8000);
        QVERIFY(!err.empty());
        if (!message.isEmpty())
            QCOMPARE(QString::fromStdString(err), message.arg(QString::fromStdString(mdb_)));
        if (body.isEmpty())
            QVERIFY(err.find("no-such-importer") != std::string::npos);
        else
            QVERIFY(calls >= 1); // the caller kept control while it waited
        QVERIFY(!q.active());
        QVERIFY(!std::filesystem::exists(storePath()));
        // the real importer then succeeds
        qunsetenv("FZ_IMPORTER");
        QCOMPARE(count(q, ""), std::int64_t(50));
    }

    void progressIsReported()
    {
        writeDb(dir_, "p", 3000);
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        std::int64_t lastDone = -1, lastTotal = -1;
        bool monotone = true;
        q.setProgress([&](std::int64_t done, std::int64_t total) {
            if (done < lastDone)
                monotone = false;
            lastDone = done;
            lastTotal = total;
        });
        QCOMPARE(count(q, ""), std::int64_t(3000));
        QVERIFY(monotone);
        QVERIFY(lastTotal >= 3000);
        QCOMPARE(lastDone, lastTotal);
    }

    void unwritableCacheFolder()
    {
        const std::string blocker = workDir() + "/not-a-folder";
        writeAll(blocker, "x");
        const QByteArray old = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", blocker.c_str());
        QCOMPARE(countWith("FAM='a1'"), std::int64_t(1));
        QVERIFY(engine::StoreCache::storePathFor(mdb_).rfind(blocker, 0) != 0);
        qputenv("XDG_CACHE_HOME", old);
    }

    void twoProgramsAtOnce()
    {
        writeDb(dir_, "c", 2000);
        std::filesystem::remove(storePath());
        QProcess a, b;
        const QStringList args = {QString::fromStdString(mdb_),
                                  "SELECT Count(*) FROM FZ_T1 WHERE FAM LIKE '%9%'"};
        a.start(FZ_BIN_DIR "/fzsql", args);
        b.start(FZ_BIN_DIR "/fzsql", args);
        QVERIFY(a.waitForFinished(30000));
        QVERIFY(b.waitForFinished(30000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        QCOMPARE(a.readAllStandardOutput(), QByteArray("1\n542\n"));
        QCOMPARE(b.readAllStandardOutput(), QByteArray("1\n542\n"));
    }
};

QTEST_GUILESS_MAIN(TestStoreCache)
#include "test_store_cache.moc"
