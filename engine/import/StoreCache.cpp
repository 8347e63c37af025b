#include "engine/import/StoreCache.h"

#include "engine/core/Messages.h"
#include "engine/import/FileSnapshot.h"
#include "engine/import/ImportProtocol.h"
#include "engine/import/ProcessGone.h"
#include "engine/import/TemporaryStore.h"
#include "engine/import/UniqueFd.h"
#include "engine/mdb/MdbHeader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace fs = std::filesystem;

namespace {

int g_imports = 0;

// A file changed while it is read is read again this many times in all before giving up.
constexpr int kImportRuns = 3;

std::uint64_t mix64(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// 128 bits of the path as 32 hex digits, so that a store's name has the same length for any
// path. Two paths with one digest would only take turns with a store: a store records its
// source path and is made again for another.
std::string pathDigest(std::string_view s)
{
    std::uint64_t a = 1469598103934665603ull, b = 0x9e3779b97f4a7c15ull ^ s.size();
    for (unsigned char c : s) {
        a = (a ^ c) * 1099511628211ull;
        b = ((b ^ c) << 7 | (b ^ c) >> 57) * 0xff51afd7ed558ccdull;
    }
    char buf[33];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(mix64(a ^ b)),
                  static_cast<unsigned long long>(mix64(b + 0x632be59bd9b4e019ull * a)));
    return buf;
}

// Makes the missing folders of `path`, readable by the user only.
void makeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos)
            break;
    }
}

// Whether `dir` may hold stores: a folder of this user, not a link, that nobody else may read
// or write, in a folder where nobody else may replace it. A folder of ours with a looser
// mode is tightened.
bool privateFolder(const std::string& dir)
{
    makeFolders(dir);
    const std::string parent = fs::path(dir).parent_path().string();
    struct stat up {};
    if (::stat(parent.c_str(), &up) != 0 ||
        ((up.st_mode & S_IWOTH) && !(up.st_mode & S_ISVTX) && up.st_uid != ::geteuid()))
        return false;
    UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat sb {};
    if (!fd.valid() || ::fstat(fd.get(), &sb) != 0 || !S_ISDIR(sb.st_mode) ||
        sb.st_uid != ::geteuid())
        return false;
    if ((sb.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0)
        return false;
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

const char* tmpFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// The private folders for stores (below) are named <prefix><pid>-XXXXXX in the temporary
// folder.
constexpr std::string_view kFallbackPrefix = "spravochnik-";

// Removes the private folders of processes that no longer run, since a killed program cannot
// remove its own.
void removeFallbackLeftovers()
{
    const std::string base = tmpFolder();
    DIR* d = ::opendir(base.c_str());
    if (!d)
        return;
    std::vector<std::string> gone;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.substr(0, kFallbackPrefix.size()) != kFallbackPrefix)
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.data() + kFallbackPrefix.size(), &end, 10);
        if (pid <= 0 || *end != '-' || std::strlen(end) != 7 || pid == ::getpid() ||
            !processGone(static_cast<pid_t>(pid)))
            continue;
        struct stat sb {};
        if (::fstatat(::dirfd(d), e->d_name, &sb, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISDIR(sb.st_mode) && sb.st_uid == ::geteuid())
            gone.emplace_back(base + "/" + e->d_name);
    }
    ::closedir(d);
    for (const std::string& dir : gone) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
}

// A private folder for stores when the cache folder cannot be used; removed at exit.
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
        std::string tmpl = std::string(tmpFolder()) + "/" + std::string(kFallbackPrefix) +
                           std::to_string(::getpid()) + "-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data()))
            throw EngineError(msg::storeFailed(std::string("нет папки для временных файлов (") +
                                               std::strerror(errno) + ")"));
        g_fallback.path = buf.data();
        ::chmod(g_fallback.path.c_str(), 0700); // as mkdtemp makes it, whatever the system
    }
    return g_fallback.path;
}

// The status of the source file at `abs`; throws the user's message when there is none.
struct stat statSource(const std::string& abs)
{
    struct stat sb {};
    if (abs.empty() || ::stat(abs.c_str(), &sb) != 0) {
        if (abs.empty() || errno == ENOENT || errno == ENOTDIR)
            throw EngineError(msg::fileNotFound(abs));
        throw EngineError(msg::cannotOpen(abs));
    }
    return sb;
}

// Reads the file's first page: an Access file (Jet 3, Jet 4 or a later format with Jet 4's
// pages) begins with a fixed signature and a known version. Anything else, and a file
// protected by a password or encryption, is refused before the importer is started.
void preflight(const std::string& abs)
{
    const struct stat sb = statSource(abs);
    if (S_ISDIR(sb.st_mode))
        throw EngineError(msg::cannotOpen(abs));
    UniqueFd fd(::open(abs.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        throw EngineError(msg::cannotOpen(abs));
    unsigned char h[kMdbHeaderBytes] = {};
    ssize_t got;
    while ((got = ::pread(fd.get(), h, sizeof h, 0)) < 0 && errno == EINTR) {
    }
    // (a failed read is the disk's fault, not the file's format)
    if (got < 0)
        throw EngineError(msg::readError(abs, systemReason(errno)));
    if (S_ISREG(sb.st_mode) && got < static_cast<ssize_t>(sizeof h) &&
        sb.st_size >= static_cast<off_t>(sizeof h))
        throw EngineError(msg::readError(abs, "файл прочитан не полностью"));
    const MdbHeader header = readMdbHeader(h, static_cast<std::size_t>(got));
    if (header.format == MdbHeader::Format::NotDatabase || !S_ISREG(sb.st_mode) ||
        sb.st_size < 2 * static_cast<off_t>(header.pageSize()))
        throw EngineError(msg::badFormat(abs));
    if (header.password || header.encrypted)
        throw EngineError(msg::passwordProtected(abs));
}

// Opens the store at `path` when it is a file of this user that nobody else may read: a store
// someone else put there is never answered from. Returns null (and why) otherwise.
std::unique_ptr<Store> openPrivateStore(const std::string& path, const SourceKey* expect,
                                        std::string* why)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat sb {};
    if (!fd.valid() || ::fstat(fd.get(), &sb) != 0) {
        *why = std::string("no store (") + std::strerror(errno) + ")";
        return nullptr;
    }
    if (!S_ISREG(sb.st_mode) || sb.st_uid != ::geteuid() || (sb.st_mode & 077)) {
        *why = "store not private";
        return nullptr;
    }
    return Store::open(path, expect, why);
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
    const std::string abs = absolutePath(mdbPath);
    return import::sourceKeyOf(fs::path(abs).lexically_normal().string(), statSource(abs));
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
        if (privateFolder(dir))
            return dir;
    }
    return fallbackDirectory();
}

std::string StoreCache::storePathFor(const std::string& absolutePath)
{
    return cacheDirectory() + "/" + pathDigest(absolutePath) + std::string(import::kStoreExtension);
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
    const std::string storePath = storePathFor(key.path);
    TemporaryStore::removeLeftovers(fs::path(storePath).parent_path().string());
    static std::once_flag swept;
    std::call_once(swept, removeFallbackLeftovers);
    std::string why;
    if (!forceImport) {
        if (auto s = openPrivateStore(storePath, &key, &why))
            return s;
    }
    for (int run = 0; run < kImportRuns; ++run) {
        TemporaryStore tmp(storePath);
        runImporter(key.path, tmp.path(), options, abs);
        ++g_imports;
        // A store answers only for the content it was read from: the file must be the same
        // after the import as before it (the importer took the same identity at its start).
        const SourceKey after = currentKey(abs);
        if (!(after == key)) {
            key = after;
            continue;
        }
        tmp.commit();
        auto s = openPrivateStore(storePath, nullptr, &why);
        if (s && s->key() == key)
            return s;
        const bool otherKey = s != nullptr;
        s.reset();
        ::unlink(storePath.c_str());
        if (!otherKey)
            throw EngineError(msg::storeFailed(why));
        key = currentKey(abs); // the importer found the file otherwise: read it again
    }
    throw EngineError(msg::fileKeepsChanging(abs));
}

} // namespace engine
