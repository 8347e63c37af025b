#pragma once
// Runs the importer program (fzimport) in its own process: a damaged file can make the
// reading library crash or spin, and that must not take the caller with it. The importer is
// found beside the running program, else in ../libexec/spravochnik from the program's folder
// (an installed tree), or through the environment variable FZ_IMPORTER.

#include "engine/core/EngineError.h"
#include "engine/import/Progress.h"

#include <string>

namespace engine {

struct ImportOptions {
    ProgressFn progress;
    // The import is stopped when the importer reports no progress for this long.
    // 0: from FZ_IMPORT_TIMEOUT (seconds) or 20.
    int timeoutSeconds = 0;
};

// Runs the importer on `sourcePath` (absolute, as the store records it), which writes the
// store into `storePath` (ImportProtocol.h). Returns once the store there is complete; throws
// EngineError with the user's message otherwise, leaving the file to its maker
// (TemporaryStore.h) to remove. Messages name `shownPath` (default: sourcePath).
void runImporter(const std::string& sourcePath, const std::string& storePath,
                 const ImportOptions& options, const std::string& shownPath = {});

} // namespace engine
