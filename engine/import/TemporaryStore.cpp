#include "engine/import/TemporaryStore.h"

#include "engine/core/EngineError.h"
#include "engine/core/Messages.h"
#include "engine/import/ImportProtocol.h"
#include "engine/import/ProcessGone.h"
#include "engine/import/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

namespace {

std::string reason(const char* what, int err)
{
    return std::string(what) + " (" + std::strerror(err) + ")";
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::uint64_t randomWord()
{
    std::uint64_t v = 0;
    auto* p = reinterpret_cast<unsigned char*>(&v);
    size_t got = 0;
    while (got < sizeof v) {
        const ssize_t n = ::getrandom(p + got, sizeof v - got, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EngineError(msg::storeFailed(reason("нет случайных данных", errno)));
        got += static_cast<size_t>(n);
    }
    return v;
}

} // namespace

TemporaryStore::TemporaryStore(const std::string& storePath)
    : storePath_(storePath)
{
    // A name that is taken already (by chance) is simply not ours: draw another.
    for (int attempt = 0;; ++attempt) {
        std::string path = import::temporaryStorePath(storePath, ::getpid(), randomWord());
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid()) {
            if (errno == EEXIST && attempt < 8)
                continue;
            throw EngineError(msg::storeFailed(reason("не удается создать временный файл", errno)));
        }
        path_ = std::move(path);
        // The mode given to open() is cut by the umask only, but it may be loosened by a
        // default ACL of the folder: set it outright.
        if (::fchmod(fd.get(), 0600) != 0) {
            const int err = errno;
            ::unlink(path_.c_str());
            throw EngineError(msg::storeFailed(reason("не удается закрыть доступ к файлу", err)));
        }
        return;
    }
}

TemporaryStore::~TemporaryStore()
{
    if (!committed_ && !path_.empty())
        ::unlink(path_.c_str());
}

void TemporaryStore::commit()
{
    if (::rename(path_.c_str(), storePath_.c_str()) != 0)
        throw EngineError(msg::storeFailed(reason("не удается переименовать файл", errno)));
    committed_ = true;
    // Without this the rename may be lost at a power cut, which leaves the old store (whose
    // key no longer matches) or none: either is made again, so a failure here is no error.
    UniqueFd dir(::open(folderOf(storePath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::fsync(dir.get());
}

int TemporaryStore::removeLeftovers(const std::string& folder)
{
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return 0;
    int removed = 0;
    const pid_t self = ::getpid();
    while (const dirent* e = ::readdir(d)) {
        const pid_t owner = import::temporaryStoreOwner(e->d_name);
        if (owner == 0 || owner == self || !processGone(owner))
            continue;
        if (::unlinkat(::dirfd(d), e->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(d);
    return removed;
}

} // namespace engine
