#pragma once
// The pages of the file under check, read from a descriptor or used from memory.

#include "engine/mdb/MdbHeader.h"
#include "engine/mdb/MdbLayout.h"

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace engine::mdbcheck {

class Pages {
public:
    Pages(int fd, u64 size)
        : fd_(fd)
        , size_(size)
    {
    }
    Pages(const u8* mem, u64 size)
        : mem_(mem)
        , size_(size)
    {
    }

    u64 size() const { return size_; }
    u32 count() const { return count_; }
    const Format& fmt() const { return *fmt_; }
    void setFormat(const Format& f, u32 pageKey);

    bool readRaw(u64 offset, u8* out, std::size_t len) const;

    // A page that stays available for the whole check (definitions, maps, long values).
    const u8* page(u32 pg, const char* what);

    // A page read through a read-ahead window (data pages are scanned once, in page order).
    const u8* scratch(u32 pg);

    // Page type and owner (bytes 0 and 4..7), remembered for every page looked at.
    std::pair<u8, u32> header(u32 pg);

private:
    int fd_ = -1;
    // Pages of an image in memory are used in place unless they need decoding.
    bool direct() const { return mem_ && key_ == 0; }
    void decode(u32 pg, u8* data, std::size_t len) const
    {
        if (key_ != 0 && pg != 0)
            decodePage(key_, pg, data, len);
    }

    const u8* mem_ = nullptr;
    u32 key_ = 0; // the pages' mask key (0: in the clear)
    u64 size_ = 0;
    u32 count_ = 0;
    const Format* fmt_ = &kJet4;
    std::unordered_map<u32, std::unique_ptr<u8[]>> cache_;
    std::unordered_map<u32, std::pair<u8, u32>> heads_;
    std::vector<u8> window_;
    u32 windowFirst_ = 0;
    u32 windowPages_ = 0;
};

} // namespace engine::mdbcheck
