#include "engine/import/ImporterProcess.h"

#include "engine/core/Messages.h"
#include "engine/import/ImportProtocol.h"
#include "engine/import/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace engine {

namespace fs = std::filesystem;

namespace {

#ifndef FZ_IMPORTER_FROM_BIN
#define FZ_IMPORTER_FROM_BIN "../libexec/spravochnik"
#endif

// Beside the running program (the build tree), else where an installed tree keeps it
// relative to its bin folder, so that the tree may be moved as a whole.
std::string importerPath()
{
    if (const char* e = std::getenv("FZ_IMPORTER"); e && *e)
        return e;
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "fzimport";
    buf[n] = '\0';
    const fs::path dir = fs::path(buf).parent_path();
    const fs::path beside = dir / "fzimport";
    if (::access(beside.c_str(), X_OK) == 0)
        return beside.string();
    return (dir / FZ_IMPORTER_FROM_BIN / "fzimport").lexically_normal().string();
}

int importTimeout(const ImportOptions& options)
{
    int timeout = options.timeoutSeconds;
    if (timeout <= 0) {
        const char* e = std::getenv("FZ_IMPORT_TIMEOUT");
        timeout = e ? std::atoi(e) : 0;
        if (timeout <= 0)
            timeout = 20;
    }
    return timeout;
}

// The message for an importer that could not be started, with the system's reason when
// there is one.
std::string notStarted(const std::string& exe, const std::string& reason = {})
{
    const std::string what = "не удается запустить программу импорта '" + exe + "'";
    return msg::storeFailed(reason.empty() ? what : what + " (" + reason + ")");
}

// A running importer: its process, and the reading end of the pipe it reports on.
struct Importer {
    std::string exe;
    pid_t pid = -1;
    UniqueFd reports;
    bool reaped = false;
    int status = 0;

    // Ends the process when it is still there.
    void kill()
    {
        if (reaped)
            return;
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        reaped = true;
    }
};

// The importer's environment: nothing of the caller's (it needs none). A test run (the
// variable FZ_IMPORTER_TEST_ENV set) passes on what tests drive the importer with: a
// preloaded fault injector, its settings, the test hooks and the sanitizers' options.
std::vector<std::string> importerEnvironment()
{
    std::vector<std::string> env;
    if (!std::getenv("FZ_IMPORTER_TEST_ENV"))
        return env;
    static const char* const passed[] = {"LD_PRELOAD",          "ASAN_OPTIONS", "UBSAN_OPTIONS",
                                         "FZ_IMPORT_TRACE",     "FZ_FAULT_",    "FZ_IMPORTER_TEST_",
                                         "FZ_IMPORTER_TEST_ENV"};
    for (char** e = environ; *e; ++e) {
        const std::string_view var(*e);
        const std::string_view name = var.substr(0, var.find('='));
        for (const char* p : passed) {
            const std::string_view want(p);
            if (want.back() == '_' ? name.substr(0, want.size()) == want : name == want) {
                env.emplace_back(var);
                break;
            }
        }
    }
    return env;
}

Importer startImporter(const std::string& sourcePath, const std::string& storePath)
{
    Importer im;
    im.exe = importerPath();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw EngineError(msg::storeFailed(std::strerror(errno)));
    im.reports.reset(fds[0]);
    UniqueFd writeEnd(fds[1]);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, writeEnd.get(), 1);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (!std::getenv("FZ_IMPORTER_STDERR"))
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = {im.exe, sourcePath, storePath};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = importerEnvironment();
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int rc = posix_spawn(&im.pid, im.exe.c_str(), &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    writeEnd.reset(); // the importer holds the only writing end: its exit ends the reports
    if (rc != 0)
        throw EngineError(notStarted(im.exe, std::strerror(rc)));
    return im;
}

// What the importer reported.
struct Outcome {
    bool ok = false;
    int errorCode = 0;
    std::string errorText;
    std::int64_t done = 0, total = 0;

    void take(const import::Report& r)
    {
        using K = import::Report::Kind;
        if (r.kind == K::Progress) {
            done = r.done;
            total = r.total;
        } else if (r.kind == K::Error) {
            errorCode = r.code;
            errorText = r.text;
        } else if (r.kind == K::Done) {
            ok = true;
        }
    }
};

using Clock = std::chrono::steady_clock;

// Reads the reports until the importer closes its end; throws when it stays silent for
// `timeout` seconds.
Outcome readReports(Importer& im, const ImportOptions& options, int timeout,
                    const std::string& mdbPath)
{
    Outcome out;
    std::string buf;
    auto lastSign = Clock::now();
    bool eof = false;
    while (!eof) {
        pollfd p{im.reports.get(), POLLIN, 0};
        int pr = ::poll(&p, 1, 100);
        if (pr < 0 && errno != EINTR)
            throw EngineError(msg::storeFailed(std::strerror(errno)));
        if (pr > 0) {
            char chunk[4096];
            ssize_t n = ::read(im.reports.get(), chunk, sizeof chunk);
            if (n == 0) {
                eof = true;
            } else if (n > 0) {
                buf.append(chunk, static_cast<size_t>(n));
                size_t nl;
                while ((nl = buf.find('\n')) != std::string::npos) {
                    out.take(import::parseReport(std::string_view(buf).substr(0, nl)));
                    buf.erase(0, nl + 1);
                    lastSign = Clock::now();
                }
            } else if (errno != EINTR && errno != EAGAIN) {
                eof = true;
            }
        }
        if (options.progress)
            options.progress(out.done, out.total);
        if (!eof && Clock::now() - lastSign > std::chrono::seconds(timeout))
            throw EngineError(msg::importTimedOut(mdbPath, timeout));
    }
    return out;
}

// The pipe is closed: the importer is ending. Waits for it, but never for ever.
void reap(Importer& im, int timeout, const std::string& mdbPath)
{
    auto deadline = Clock::now() + std::chrono::seconds(timeout);
    while (true) {
        pid_t w = ::waitpid(im.pid, &im.status, WNOHANG);
        if (w == im.pid) {
            im.reaped = true;
            return;
        }
        if (w < 0 && errno != EINTR) {
            im.reaped = true;
            im.status = 0;
            return;
        }
        if (Clock::now() > deadline) {
            im.kill();
            throw EngineError(msg::importTimedOut(mdbPath, timeout));
        }
        ::usleep(2000);
    }
}

// The message for an importer ended by signal `sig`. A SIGKILL we did not send is the
// system's (the out-of-memory killer); SIGXCPU and SIGXFSZ are the box's limits; SIGSYS is the
// box's filter stopping a forbidden call. Anything else is a crash on a damaged file.
std::string signalMessage(int sig, const std::string& mdbPath)
{
    switch (sig) {
    case SIGKILL: return msg::importOutOfMemory(mdbPath);
    case SIGXCPU: return msg::importLimit(mdbPath, msg::limitProcessorTime());
    case SIGXFSZ: return msg::importLimit(mdbPath, msg::limitFileSize());
    case SIGSYS: return msg::importForbidden(mdbPath);
    default: return msg::importCrashed(mdbPath);
    }
}

// Throws the user's message when the importer did not leave a complete store.
void judge(const Importer& im, const Outcome& out, const std::string& mdbPath)
{
    if (WIFSIGNALED(im.status))
        throw EngineError(signalMessage(WTERMSIG(im.status), mdbPath));
    int code = WIFEXITED(im.status) ? WEXITSTATUS(im.status) : 1;
    if (code == import::kSuccess && out.ok)
        return;
    switch (out.errorCode) {
    case import::kNotDatabase: throw EngineError(msg::badFormat(mdbPath));
    case import::kDamaged: throw EngineError(msg::damaged(mdbPath));
    case import::kReadError: throw EngineError(msg::readError(mdbPath, out.errorText));
    case import::kNoMemory: throw EngineError(msg::importOutOfMemory(mdbPath));
    case import::kStoreFailed: throw EngineError(msg::storeFailed(out.errorText));
    default: break;
    }
    if (code == import::kCannotRun)
        throw EngineError(notStarted(im.exe));
    throw EngineError(msg::importCrashed(mdbPath));
}

} // namespace

void runImporter(const std::string& sourcePath, const std::string& storePath,
                 const ImportOptions& options, const std::string& shownPath)
{
    const std::string& mdbPath = shownPath.empty() ? sourcePath : shownPath;
    const int timeout = importTimeout(options);
    Importer im = startImporter(sourcePath, storePath);
    Outcome out;
    try {
        out = readReports(im, options, timeout, mdbPath);
    } catch (...) {
        im.kill();
        throw;
    }
    im.reports.reset();
    reap(im, timeout, mdbPath);
    judge(im, out, mdbPath);
    if (options.progress)
        options.progress(out.total, out.total);
}

} // namespace engine
