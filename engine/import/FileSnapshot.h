#pragma once
// A private copy of the file being imported, read whole before anything parses it.
//
// The reader library takes a failed or short page read for the end of a table, so it is
// never given the file itself: every byte is read here with checked reads (a failure, or an
// end before the file's size, is an error) into an anonymous memory file, sealed against
// change. The structural check reads the same bytes in memory and the reader library opens
// the copy by its /proc name, so all three see one content.

#include "engine/import/UniqueFd.h"

#include <cstddef>
#include <stdexcept>
#include <string>

namespace engine {

// A read of the source file failed: `reason` is the system's (errno name and text) or says,
// in Russian, where the file ended early; it is shown to the operator.
class ReadFailure : public std::runtime_error {
public:
    explicit ReadFailure(const std::string& reason)
        : std::runtime_error(reason)
    {
    }
};

// The source is not a regular file (a folder, a device, a FIFO).
class NotRegularFile : public std::runtime_error {
public:
    NotRegularFile()
        : std::runtime_error("not a regular file")
    {
    }
};

class FileSnapshot {
public:
    FileSnapshot() = default;
    ~FileSnapshot();
    FileSnapshot(FileSnapshot&& o) noexcept;
    FileSnapshot& operator=(FileSnapshot&& o) noexcept;
    FileSnapshot(const FileSnapshot&) = delete;
    FileSnapshot& operator=(const FileSnapshot&) = delete;

    // Reads the file at `path` whole. Throws ReadFailure or NotRegularFile.
    static FileSnapshot read(const std::string& path);
    // A copy of bytes already in memory (the fuzz targets).
    static FileSnapshot fromBytes(const void* data, std::size_t size);

    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }
    // The copy's name for a library that opens files by name.
    std::string procPath() const;

private:
    // Seals the memory file's content and maps it for reading.
    void seal();
    void unmap();

    UniqueFd fd_;
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

// "EIO: Input/output error" for errno `err`.
std::string systemReason(int err);

} // namespace engine
