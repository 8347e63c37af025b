#pragma once

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace engine {

// Whether process `pid` is known to be gone: what it left behind (a temporary store, a private
// folder) may then be removed. A process of another user (EPERM) still runs.
inline bool processGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

} // namespace engine
