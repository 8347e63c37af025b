#pragma once
// Finds or makes the store of an Access file. A store is kept under
// $XDG_CACHE_HOME/spravochnik/ (default ~/.cache/spravochnik/), named by a digest of the
// file's absolute path, and made again whenever the file's identity (device, inode, size,
// modification and status-change times) or the store format differ from what the store
// records, or the store fails its checks. The folder (0700) and every store (0600) are the
// user's alone: a folder that is not (another owner, a link, writable by others) is not
// used, a private one in the temporary folder is, and a store that is not is never opened.
//
// The .mdb itself is read only by the importer program, in its own process
// (ImporterProcess.h).

#include "engine/core/EngineError.h"
#include "engine/import/ImporterProcess.h"
#include "engine/import/Progress.h"
#include "engine/store/Store.h"

#include <memory>
#include <string>

namespace engine {

class StoreCache {
public:
    // The store for the file at `mdbPath` (relative paths are taken from the current
    // directory). Throws EngineError with the user's message when the file is missing, not
    // readable or not a database, or the import fails.
    static std::shared_ptr<Store> open(const std::string& mdbPath, const ImportOptions& options,
                                       bool forceImport = false);

    // The key of the file as it is now (throws EngineError when it is missing).
    static SourceKey currentKey(const std::string& mdbPath);

    // The absolute form of a path, as errors name it.
    static std::string absolutePath(const std::string& path);

    static std::string cacheDirectory();
    static std::string storePathFor(const std::string& absolutePath);

    // How many imports this process has run (for diagnosis and tests).
    static int importCount();
};

} // namespace engine
