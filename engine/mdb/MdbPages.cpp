#include "engine/mdb/MdbPages.h"

#include "engine/mdb/MdbHeader.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace engine::mdbcheck {

void Pages::setFormat(const Format& f, u32 pageKey)
{
    fmt_ = &f;
    key_ = pageKey;
    count_ = static_cast<u32>(std::min<u64>(size_ / f.pageSize, 0xFFFFFFu));
}

bool Pages::readRaw(u64 offset, u8* out, std::size_t len) const
{
    if (offset + len > size_)
        return false;
    if (mem_) {
        std::memcpy(out, mem_ + offset, len);
        return true;
    }
    std::size_t done = 0;
    while (done < len) {
        ssize_t n = ::pread(fd_, out + done, len - done, static_cast<off_t>(offset + done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

const u8* Pages::page(u32 pg, const char* what)
{
    if (pg >= count_)
        reject(std::string(what) + " points to page " + num(pg) + ", beyond the end of the file (" +
               num(count_) + " pages)");
    if (direct())
        return mem_ + u64(pg) * fmt_->pageSize;
    auto it = cache_.find(pg);
    if (it != cache_.end())
        return it->second.get();
    std::unique_ptr<u8[]> buf(new u8[fmt_->pageSize]);
    if (!readRaw(u64(pg) * fmt_->pageSize, buf.get(), fmt_->pageSize))
        reject("cannot read page " + num(pg));
    decode(pg, buf.get(), fmt_->pageSize);
    const u8* p = buf.get();
    cache_.emplace(pg, std::move(buf));
    return p;
}

const u8* Pages::scratch(u32 pg)
{
    if (direct())
        return page(pg, "data page");
    if (auto it = cache_.find(pg); it != cache_.end())
        return it->second.get();
    if (pg >= count_)
        reject("cannot read page " + num(pg));
    if (pg < windowFirst_ || pg >= windowFirst_ + windowPages_) {
        constexpr u32 kWindow = 64;
        windowPages_ = std::min(kWindow, count_ - pg);
        window_.resize(std::size_t(windowPages_) * fmt_->pageSize);
        windowFirst_ = pg;
        if (!readRaw(u64(pg) * fmt_->pageSize, window_.data(), window_.size())) {
            windowPages_ = 0;
            reject("cannot read page " + num(pg));
        }
        for (u32 k = 0; k < windowPages_; ++k)
            decode(pg + k, window_.data() + std::size_t(k) * fmt_->pageSize, fmt_->pageSize);
    }
    return window_.data() + std::size_t(pg - windowFirst_) * fmt_->pageSize;
}

std::pair<u8, u32> Pages::header(u32 pg)
{
    if (pg >= count_)
        reject("page " + num(pg) + " is beyond the end of the file");
    if (direct()) {
        const u8* p = mem_ + u64(pg) * fmt_->pageSize;
        return {p[0], get32(p + 4)};
    }
    if (auto it = heads_.find(pg); it != heads_.end())
        return it->second;
    u8 h[8];
    if (!readRaw(u64(pg) * fmt_->pageSize, h, 8))
        reject("cannot read page " + num(pg));
    decode(pg, h, 8); // the mask is a stream: its first bytes decode the first bytes
    std::pair<u8, u32> r{h[0], get32(h + 4)};
    heads_.emplace(pg, r);
    return r;
}

} // namespace engine::mdbcheck
