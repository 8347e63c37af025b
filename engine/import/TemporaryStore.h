#pragma once
// The file a new store is written into until it is complete. It is made here, by the caller
// of the importer: beside the store, under a name nobody can foresee, created exclusively
// (an existing file or link of that name is never opened), readable by its owner only
// whatever the umask. Once the store is complete it is put in place of the old one for good
// (renamed, and the folder synced); otherwise it is removed.

#include <string>

namespace engine {

class TemporaryStore {
public:
    // Throws EngineError when the file cannot be made.
    explicit TemporaryStore(const std::string& storePath);
    ~TemporaryStore(); // removes the file unless it was put in place
    TemporaryStore(const TemporaryStore&) = delete;
    TemporaryStore& operator=(const TemporaryStore&) = delete;

    const std::string& path() const { return path_; }

    // Renames the file (complete and synced by its writer) over the store and syncs the
    // folder. Throws EngineError when the rename fails.
    void commit();

    // Removes from `folder` the temporary stores of processes that no longer run (a killed
    // program leaves its unfinished store behind). Returns how many were removed.
    static int removeLeftovers(const std::string& folder);

private:
    std::string storePath_;
    std::string path_;
    bool committed_ = false;
};

} // namespace engine
