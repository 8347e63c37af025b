#include "engine/import/FileSnapshot.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace engine {

namespace {

// Reads are made in pieces of this size, so that a failure names where it happened and a
// signal interrupts little.
constexpr std::size_t kReadPiece = 1u << 20;

UniqueFd makeMemoryFile(std::size_t size)
{
    UniqueFd fd(::memfd_create("fzimport-source", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd.valid())
        throw std::runtime_error("memfd_create: " + systemReason(errno));
    if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0) {
        if (errno == ENOMEM || errno == ENOSPC)
            throw std::bad_alloc();
        throw std::runtime_error("ftruncate: " + systemReason(errno));
    }
    return fd;
}

// A writable view of the memory file while it is filled.
struct WritableMap {
    unsigned char* p = nullptr;
    std::size_t size = 0;
    WritableMap(int fd, std::size_t n)
        : size(n)
    {
        if (n == 0)
            return;
        void* m = ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (m == MAP_FAILED) {
            if (errno == ENOMEM)
                throw std::bad_alloc();
            throw std::runtime_error("mmap: " + systemReason(errno));
        }
        p = static_cast<unsigned char*>(m);
    }
    ~WritableMap()
    {
        if (p)
            ::munmap(p, size);
    }
    WritableMap(const WritableMap&) = delete;
    WritableMap& operator=(const WritableMap&) = delete;
};

} // namespace

std::string systemReason(int err)
{
    const char* name = ::strerrorname_np(err);
    return std::string(name ? name : "errno " + std::to_string(err)) + ": " + std::strerror(err);
}

FileSnapshot::~FileSnapshot()
{
    unmap();
}

FileSnapshot::FileSnapshot(FileSnapshot&& o) noexcept
    : fd_(std::move(o.fd_))
    , data_(std::exchange(o.data_, nullptr))
    , size_(std::exchange(o.size_, 0))
{
}

FileSnapshot& FileSnapshot::operator=(FileSnapshot&& o) noexcept
{
    if (this != &o) {
        unmap();
        fd_ = std::move(o.fd_);
        data_ = std::exchange(o.data_, nullptr);
        size_ = std::exchange(o.size_, 0);
    }
    return *this;
}

void FileSnapshot::unmap()
{
    if (data_)
        ::munmap(const_cast<unsigned char*>(data_), size_);
    data_ = nullptr;
}

FileSnapshot FileSnapshot::read(const std::string& path)
{
    // O_NONBLOCK: a FIFO or a device must not hold the import up before it is refused.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid())
        throw ReadFailure(systemReason(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw ReadFailure(systemReason(errno));
    if (!S_ISREG(st.st_mode))
        throw NotRegularFile();
    const auto size = static_cast<std::size_t>(st.st_size);
    FileSnapshot s;
    s.fd_ = makeMemoryFile(size);
    s.size_ = size;
    {
        WritableMap out(s.fd_.get(), size);
        std::size_t done = 0;
        while (done < size) {
            const std::size_t want = std::min(kReadPiece, size - done);
            const ssize_t n = ::pread(fd.get(), out.p + done, want, static_cast<off_t>(done));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                throw ReadFailure(systemReason(errno) + ", байт " + std::to_string(done));
            }
            if (n == 0)
                throw ReadFailure("файл закончился на байте " + std::to_string(done) + " из " +
                                  std::to_string(size));
            done += static_cast<std::size_t>(n); // a short read is taken up by the next one
        }
    }
    s.seal();
    return s;
}

FileSnapshot FileSnapshot::fromBytes(const void* data, std::size_t size)
{
    FileSnapshot s;
    s.fd_ = makeMemoryFile(size);
    s.size_ = size;
    {
        WritableMap out(s.fd_.get(), size);
        if (size)
            std::memcpy(out.p, data, size);
    }
    s.seal();
    return s;
}

void FileSnapshot::seal()
{
    if (::fcntl(fd_.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) !=
        0)
        throw std::runtime_error("F_ADD_SEALS: " + systemReason(errno));
    if (size_ == 0)
        return;
    void* m = ::mmap(nullptr, size_, PROT_READ, MAP_SHARED, fd_.get(), 0);
    if (m == MAP_FAILED) {
        if (errno == ENOMEM)
            throw std::bad_alloc();
        throw std::runtime_error("mmap: " + systemReason(errno));
    }
    data_ = static_cast<const unsigned char*>(m);
}

std::string FileSnapshot::procPath() const
{
    return "/proc/self/fd/" + std::to_string(fd_.get());
}

} // namespace engine
