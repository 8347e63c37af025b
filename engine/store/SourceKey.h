#pragma once

#include <cstdint>
#include <string>

namespace engine {

// Identifies the source file a store was made from, and its content: an edit changes the
// status-change time even when the modification time is put back.
struct SourceKey {
    std::string path; // absolute
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const SourceKey&) const = default;
};

} // namespace engine
