#pragma once
// Owns a file descriptor: closes it once, when the owner goes or is reset.

#include <unistd.h>

#include <utility>

namespace engine {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : fd_(fd)
    {
    }
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& o) noexcept
        : fd_(std::exchange(o.fd_, -1))
    {
    }
    UniqueFd& operator=(UniqueFd&& o) noexcept
    {
        if (this != &o)
            reset(std::exchange(o.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor held (if any) and takes `fd`.
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1; // -1: none
};

} // namespace engine
