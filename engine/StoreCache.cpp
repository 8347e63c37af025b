#include "engine/StoreCache.h"

#include "engine/ImportProtocol.h"
#include "engine/MdbHeader.h"
#include "engine/Messages.h"
#include "engine/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace engine {

namespace fs = std::filesystem;

namespace {

int g_imports = 0;

std::string hex64(std::uint64_t v)
{
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::uint64_t fnv1a(std::string_view s)
{
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

bool writableDir(const std::string& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    struct stat sb {};
    return ::stat(dir.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode) &&
           ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// A private folder for stores when the cache folder cannot be written; removed at exit.
struct FallbackDir {
    std::string path;
    ~FallbackDir()
    {
        if (!path.empty()) {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    }
};
FallbackDir g_fallback;
std::mutex g_fallbackMutex;

std::string fallbackDirectory()
{
    std::lock_guard<std::mutex> lock(g_fallbackMutex);
    if (g_fallback.path.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/spravochnik-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data()))
            throw EngineError(msg::storeFailed(std::string("нет папки для временных файлов (") +
                                               std::strerror(errno) + ")"));
        g_fallback.path = buf.data();
    }
    return g_fallback.path;
}

// Reads the file's first page: an Access file (Jet 3, Jet 4 or a later format with Jet 4's
// pages) begins with a fixed signature and a known version. Anything else, and a file
// protected by a password or encryption, is refused before the importer is started.
void preflight(const std::string& abs)
{
    struct stat sb {};
    if (::stat(abs.c_str(), &sb) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw EngineError(msg::fileNotFound(abs));
        throw EngineError(msg::cannotOpen(abs));
    }
    if (S_ISDIR(sb.st_mode))
        throw EngineError(msg::cannotOpen(abs));
    UniqueFd fd(::open(abs.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        throw EngineError(msg::cannotOpen(abs));
    unsigned char h[kMdbHeaderBytes] = {};
    const ssize_t got = ::read(fd.get(), h, sizeof h);
    const MdbHeader header = readMdbHeader(h, got > 0 ? static_cast<std::size_t>(got) : 0);
    if (header.format == MdbHeader::Format::NotDatabase || !S_ISREG(sb.st_mode) ||
        sb.st_size < 2 * static_cast<off_t>(header.pageSize()))
        throw EngineError(msg::badFormat(abs));
    if (header.password || header.encrypted)
        throw EngineError(msg::passwordProtected(abs));
}

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

} // namespace

std::string StoreCache::absolutePath(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::error_code ec;
    std::string cwd = fs::current_path(ec).string();
    return cwd + "/" + path;
}

SourceKey StoreCache::currentKey(const std::string& mdbPath)
{
    std::string abs = absolutePath(mdbPath);
    struct stat sb {};
    if (abs.empty() || ::stat(abs.c_str(), &sb) != 0) {
        if (abs.empty() || errno == ENOENT || errno == ENOTDIR)
            throw EngineError(msg::fileNotFound(abs));
        throw EngineError(msg::cannotOpen(abs));
    }
    return import::sourceKeyOf(fs::path(abs).lexically_normal().string(), sb);
}

std::string StoreCache::cacheDirectory()
{
    std::string base;
    if (const char* x = std::getenv("XDG_CACHE_HOME"); x && x[0] == '/')
        base = x;
    else if (const char* h = std::getenv("HOME"); h && h[0] == '/')
        base = std::string(h) + "/.cache";
    if (!base.empty()) {
        std::string dir = base + "/spravochnik";
        if (writableDir(dir))
            return dir;
    }
    return fallbackDirectory();
}

std::string StoreCache::storePathFor(const std::string& absolutePath)
{
    return cacheDirectory() + "/" + fs::path(absolutePath).filename().string() + "-" +
           hex64(fnv1a(absolutePath)) + ".store";
}

int StoreCache::importCount()
{
    return g_imports;
}

std::shared_ptr<Store> StoreCache::open(const std::string& mdbPath, const ImportOptions& options,
                                        bool forceImport)
{
    std::string abs = absolutePath(mdbPath);
    SourceKey key = currentKey(abs);
    preflight(abs);
    std::string storePath = storePathFor(key.path);
    std::string why;
    if (!forceImport) {
        if (auto s = Store::open(storePath, &key, &why))
            return s;
    }
    for (int attempt = 0;; ++attempt) {
        runImporter(key.path, storePath, options, abs);
        ++g_imports;
        key = currentKey(abs);
        if (auto s = Store::open(storePath, &key, &why))
            return s;
        // The file changed while it was read: read it again once.
        if (attempt >= 1)
            throw EngineError(msg::storeFailed(why));
    }
}

namespace {

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

// A running importer: its process, and the reading end of the pipe it reports on.
struct Importer {
    std::string exe;
    pid_t pid = -1;
    UniqueFd reports;
    std::string tmpPath; // the store it writes until it is complete
    bool reaped = false;
    int status = 0;

    // Ends the process (when it is still there) and removes its unfinished store.
    void kill()
    {
        if (!reaped) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            reaped = true;
        }
        ::unlink(tmpPath.c_str());
    }
};

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
    int rc = posix_spawn(&im.pid, im.exe.c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    writeEnd.reset(); // the importer holds the only writing end: its exit ends the reports
    if (rc != 0) {
        throw EngineError(msg::storeFailed("не удается запустить программу импорта '" + im.exe +
                                           "' (" + std::strerror(rc) + ")"));
    }
    im.tmpPath = import::temporaryStorePath(storePath, im.pid);
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

// Throws the user's message when the importer did not leave a complete store.
void judge(const Importer& im, const Outcome& out, const std::string& mdbPath)
{
    if (WIFSIGNALED(im.status)) {
        ::unlink(im.tmpPath.c_str());
        throw EngineError(msg::importCrashed(mdbPath));
    }
    int code = WIFEXITED(im.status) ? WEXITSTATUS(im.status) : 1;
    if (code == import::kSuccess && out.ok)
        return;
    ::unlink(im.tmpPath.c_str());
    if (out.errorCode == import::kNotDatabase || out.errorCode == import::kDamaged)
        throw EngineError(msg::badFormat(mdbPath));
    if (out.errorCode == import::kStoreFailed)
        throw EngineError(msg::storeFailed(out.errorText));
    if (code == import::kCannotRun)
        throw EngineError(
            msg::storeFailed("не удается запустить программу импорта '" + im.exe + "'"));
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
