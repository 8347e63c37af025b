#pragma once
// What the importer program (fzimport) and its caller (StoreCache) agree on: the program's
// exit codes, the report lines it writes on standard output, the name the store has until it
// is complete, and the key that ties a store to its source file.
//
// The caller creates the store's file (empty, under a temporary name) and names it to the
// importer, which writes the store into it and syncs it; the caller puts it in place once the
// importer has reported OK and exited with kSuccess, and removes it otherwise.
//
// Report lines, one a line:
//   P <done> <total>   progress in work units (rows read, then index work)
//   E <code> <text>    failure, with the exit code that follows
//   OK                 the store is complete and synced

#include "engine/store/SourceKey.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace engine::import {

enum ExitCode : int {
    kSuccess = 0,
    kUsage = 2,
    kNotDatabase = 3, // the reading library refuses the file
    kDamaged = 4,     // the structural check or the reading of rows fails
    kStoreFailed = 5, // the store cannot be written
    kCallerGone = 6,  // nobody reads the reports any more
    kReadError = 7,   // a read of the file failed or ended early (the text is the reason)
    kNoMemory = 8,    // memory ran out
    kCannotRun = 127, // the program could not be started
};

std::string progressLine(std::int64_t done, std::int64_t total);
std::string errorLine(int code, const std::string& text);
std::string doneLine();

// One report line (without its newline) as the caller reads it.
struct Report {
    enum class Kind { Progress, Error, Done, Other } kind = Kind::Other;
    std::int64_t done = 0, total = 0; // Progress
    int code = 0;                     // Error
    std::string text;                 // Error
};
Report parseReport(std::string_view line);

// How the name of a store ends.
constexpr std::string_view kStoreExtension = ".store";

// The name of a store bound for `storePath` until it is complete: beside it, with the id of
// the process that made it (so that one left by a process that no longer runs can be told)
// and random bytes (so that nobody can name it in advance).
std::string temporaryStorePath(const std::string& storePath, pid_t owner, std::uint64_t random);

// The process that made the temporary store of this file name (without its folder), or 0
// when the name is not one. Names of the form "<store>.tmp.<pid>" (without random bytes,
// made by earlier versions) count too.
pid_t temporaryStoreOwner(std::string_view fileName);

// The key of the file at `path` (taken as it is: absolute and lexically normal) with the
// status `sb`.
SourceKey sourceKeyOf(const std::string& path, const struct stat& sb);

} // namespace engine::import
