#include "engine/StoreCache.h"

#include "engine/ImportProtocol.h"
#include "engine/MdbHeader.h"
#include "engine/Messages.h"
#include "engine/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

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

} // namespace engine
