// The importer runs confined: seen from outside while it runs (held by a test hook until the
// test has looked), and by what it may not do.

#include "ImportTestSupport.h"
#include "engine/core/Messages.h"
#include "engine/import/ImporterProcess.h"
#include "engine/import/TemporaryStore.h"
#include "tools/fzgen/Population.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The importer this process started, once it is confined; -1 when none shows within 10 s.
pid_t confinedImporter()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        for (const auto& e : fs::directory_iterator("/proc")) {
            const std::string name = e.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::string status = slurp(e.path().string() + "/status");
            if (status.rfind("Name:\tfzimport\n", 0) == 0 &&
                status.find("\nPPid:\t" + std::to_string(::getpid()) + "\n") != std::string::npos &&
                status.find("\nSeccomp:\t2\n") != std::string::npos)
                return static_cast<pid_t>(std::stol(name));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

} // namespace

class TestImporterBox : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;

private slots:
    void initTestCase()
    {
        dir_ = freshDir("box");
        mdb_ = dir_ + "/tabl1.mdb";
        fzgen::Options o;
        o.rows = 300;
        fzgen::writePersons(mdb_, o, dir_ + "/persons.csv");
        qputenv("FZ_IMPORTER_TEST_ENV", "1");
    }
    void cleanup()
    {
        qunsetenv("FZ_IMPORTER_TEST_HOLD");
        qunsetenv("FZ_IMPORTER_TEST_PROBE");
        qunsetenv("FZ_CALLER_SECRET");
    }

    // Status, environment, descriptors and limits of a running importer; it then finishes.
    void confinedWhileRunning()
    {
        const std::string fifo = dir_ + "/hold";
        fs::remove(fifo);
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        qputenv("FZ_IMPORTER_TEST_HOLD", fifo.c_str());
        qputenv("FZ_CALLER_SECRET", "persons");
        const std::string secretFile = dir_ + "/inherited";
        std::ofstream(secretFile) << "x";
        const int inherited = ::open(secretFile.c_str(), O_RDONLY); // no O_CLOEXEC
        QVERIFY(inherited >= 0);

        const std::string store = dir_ + "/out.store";
        fs::remove(store);
        std::ofstream(store).flush(); // the caller makes the (empty) file the importer fills
        std::string err;
        std::thread importing([&] {
            try {
                engine::ImportOptions options;
                options.timeoutSeconds = 60;
                engine::runImporter(mdb_, store, options);
            } catch (const std::exception& e) {
                err = e.what();
            }
        });
        const pid_t pid = confinedImporter();
        std::string status, environ, fds;
        if (pid > 0) {
            const std::string proc = "/proc/" + std::to_string(pid);
            status = slurp(proc + "/status");
            environ = slurp(proc + "/environ");
            for (const auto& e : fs::directory_iterator(proc + "/fd"))
                fds += e.path().filename().string() + " -> " + fs::read_symlink(e.path()).string() +
                       "\n";
            fds += "limits:\n" + slurp(proc + "/limits");
        }
        // let it go on (opening the FIFO's other end releases it)
        const int w = ::open(fifo.c_str(), O_WRONLY);
        ::close(w);
        importing.join();
        ::close(inherited);

        QVERIFY(pid > 0);
        QVERIFY2(err.empty(), err.c_str());
        QVERIFY(fs::exists(store));
        QVERIFY2(status.find("\nNoNewPrivs:\t1\n") != std::string::npos, status.c_str());
        QVERIFY2(environ.find("FZ_CALLER_SECRET") == std::string::npos, environ.c_str());
        QVERIFY2(environ.find("PATH=") == std::string::npos, environ.c_str());
        QVERIFY2(fds.find(secretFile) == std::string::npos, fds.c_str());
        QVERIFY2(fds.find("0 -> /dev/null\n") != std::string::npos, fds.c_str());
        for (const char* limit : {"Max cpu time", "Max file size", "Max core file size"}) {
            const std::size_t at = fds.find(limit);
            QVERIFY2(at != std::string::npos, limit);
            const std::string line = fds.substr(at, fds.find('\n', at) - at);
            QVERIFY2(line.find("unlimited") == std::string::npos, line.c_str());
        }
    }

    // A call an import never makes (here a socket) ends it, with a message and no store.
    void forbiddenCallStops()
    {
        qputenv("FZ_IMPORTER_TEST_PROBE", "socket");
        std::string err;
        try {
            const engine::TemporaryStore store(dir_ + "/probe.store");
            engine::runImporter(mdb_, store.path(), {});
        } catch (const engine::EngineError& e) {
            err = e.what();
        }
        QCOMPARE(err, engine::msg::importForbidden(mdb_));
        for (const auto& e : fs::directory_iterator(dir_))
            QVERIFY2(e.path().filename().string().find("probe.store") == std::string::npos,
                     e.path().c_str());
    }
};

QTEST_GUILESS_MAIN(TestImporterBox)
#include "test_importer_box.moc"
