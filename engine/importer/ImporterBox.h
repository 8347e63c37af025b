#pragma once
// The importer's confinement. The importer parses an untrusted file with a library that
// trusts it, so it runs with no descriptors but its own, limits on memory, file size and
// processor time, no way to gain privileges, and a system-call filter that lets through what
// an import does (reading its copy of the file, writing its store, threads, memory) and
// nothing else: no network, no programs started, no processes made, no files created,
// renamed or removed.

#include <cstdint>

namespace engine::box {

// Closes every descriptor above standard error: the caller's open files are not ours.
void closeInherited();

struct Limits {
    std::uint64_t addressSpace = 0; // bytes; 0: none (sanitizer builds reserve terabytes)
    std::uint64_t fileSize = 0;     // bytes, the largest file it may write
    std::uint64_t cpuSeconds = 0;   // processor time of all its threads
};

// Limits for the import of a file of `sourceBytes`: generous (several times what a
// 1,000,000-person import takes), so that only a runaway import meets them.
Limits limitsFor(std::uint64_t sourceBytes);

// Throws std::runtime_error when the system refuses.
void applyLimits(const Limits& limits);

// no_new_privs and the filter. Files already open stay usable; from now on a file may be
// opened but not created. Throws std::runtime_error when the system refuses.
void enter();

// Once the store's file is open: no file is opened for writing any more.
void forbidWriteOpens();

} // namespace engine::box
