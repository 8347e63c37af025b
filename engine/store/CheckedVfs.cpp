#include "engine/store/CheckedVfs.h"

#include <sqlite3.h>

#include <bit>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace engine::checked {

namespace {

constexpr std::uint64_t kMulA = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kMulB = 0xD6E8FEB86659FD93ull;

std::uint64_t word(const unsigned char* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

// One step of a lane: a bijection of the lane for a given word and of the word for a given
// lane, so that one changed word always changes the lane.
std::uint64_t step(std::uint64_t lane, std::uint64_t w)
{
    return std::rotl(lane ^ (w * kMulA), 29) * kMulB;
}

} // namespace

std::uint64_t pageSum(const unsigned char* p, std::size_t n, std::uint64_t pgno)
{
    // Four independent lanes over 32 bytes at a time keep the multipliers busy: a page is
    // summed at several bytes per cycle.
    std::uint64_t a = pgno * kMulA + 1, b = pgno ^ kMulB, c = ~pgno, d = std::rotl(pgno, 32) + n;
    for (; n >= 32; n -= 32, p += 32) {
        a = step(a, word(p));
        b = step(b, word(p + 8));
        c = step(c, word(p + 16));
        d = step(d, word(p + 24));
    }
    std::uint64_t h = step(a, b) ^ step(c, d) ^ std::rotl(b, 17) ^ std::rotl(d, 43);
    for (; n >= 8; n -= 8, p += 8)
        h = step(h, word(p));
    for (; n > 0; --n, ++p)
        h = step(h, *p);
    h ^= h >> 31;
    h *= kMulB;
    h ^= h >> 29;
    return h;
}

namespace {

sqlite3_vfs* g_base = nullptr; // the system's own file access, which this layer wraps

// A file opened through this layer; the wrapped file's own state follows it in memory.
struct File {
    sqlite3_file base;   // (its methods: this layer's)
    sqlite3_file* real;  // the wrapped file
    bool checked;        // a store's main file (not a temporary or a journal)
    bool reading;        // opened read-only: pages are checked, not summed
    bool known = false;  // page size and reserved bytes read from the header
    bool foreign = true; // the header is missing or reserves no room for a checksum
    std::uint32_t pageSize = 0;
    std::vector<std::uint64_t> verified; // bit p - 1: page p checked
    std::vector<unsigned char> scratch;  // a page with its checksum, on its way out
};

File* self(sqlite3_file* f)
{
    return reinterpret_cast<File*>(f);
}

const sqlite3_io_methods* realMethods(sqlite3_file* f)
{
    return self(f)->real->pMethods;
}

// Reads the header once: the page size, and whether every page keeps a checksum.
void learnGeometry(File& f)
{
    if (f.known)
        return;
    unsigned char h[100];
    if (f.real->pMethods->xRead(f.real, h, sizeof h, 0) != SQLITE_OK)
        return; // (no header yet: asked again at the next read)
    f.known = true;
    std::uint32_t size = (std::uint32_t{h[16]} << 8) | h[17];
    if (size == 1)
        size = 65536;
    f.pageSize = size;
    f.foreign = size < 512 || (size & (size - 1)) || h[20] != kReserveBytes;
}

bool isPage(const File& f, int amount, sqlite3_int64 offset)
{
    return f.known && !f.foreign && static_cast<std::uint32_t>(amount) == f.pageSize &&
           offset % f.pageSize == 0;
}

// Checks page bytes read at `offset` unless done before; SQLITE_OK or SQLITE_IOERR_DATA.
int verify(File& f, const unsigned char* page, sqlite3_int64 offset)
{
    const std::uint64_t index = static_cast<std::uint64_t>(offset) / f.pageSize;
    const std::size_t w = static_cast<std::size_t>(index / 64);
    const std::uint64_t bit = std::uint64_t{1} << (index % 64);
    if (w < f.verified.size() && (f.verified[w] & bit))
        return SQLITE_OK;
    const std::size_t body = f.pageSize - kReserveBytes;
    if (pageSum(page, body, index + 1) != word(page + body))
        return SQLITE_IOERR_DATA;
    if (w >= f.verified.size())
        f.verified.resize(w + 1, 0);
    f.verified[w] |= bit;
    return SQLITE_OK;
}

int xClose(sqlite3_file* f)
{
    File* me = self(f);
    const int rc = me->real->pMethods ? me->real->pMethods->xClose(me->real) : SQLITE_OK;
    me->~File();
    return rc;
}

int xRead(sqlite3_file* f, void* buf, int amount, sqlite3_int64 offset)
{
    File& me = *self(f);
    const int rc = realMethods(f)->xRead(me.real, buf, amount, offset);
    if (rc != SQLITE_OK || !me.checked || !me.reading)
        return rc;
    learnGeometry(me);
    if (me.known && me.foreign && amount >= 512)
        return SQLITE_IOERR_DATA; // a whole page of a file that keeps no sums
    if (!isPage(me, amount, offset))
        return SQLITE_OK; // (a part of the header, read before the page size is known)
    return verify(me, static_cast<const unsigned char*>(buf), offset);
}

int xWrite(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset)
{
    File& me = *self(f);
    const bool page =
        amount >= 512 && amount <= 65536 && (amount & (amount - 1)) == 0 && offset % amount == 0;
    if (!me.checked || me.reading || !page)
        return realMethods(f)->xWrite(me.real, buf, amount, offset);
    const auto* in = static_cast<const unsigned char*>(buf);
    // The first page must reserve room for the sum: anything else would lose SQLite's bytes.
    if (offset == 0 && in[20] != kReserveBytes)
        return SQLITE_IOERR_WRITE;
    me.scratch.assign(in, in + amount);
    const std::size_t body = static_cast<std::size_t>(amount) - kReserveBytes;
    std::uint64_t sum =
        pageSum(me.scratch.data(), body, static_cast<std::uint64_t>(offset) / amount + 1);
    for (int i = 0; i < kReserveBytes; ++i, sum >>= 8)
        me.scratch[body + static_cast<std::size_t>(i)] = static_cast<unsigned char>(sum & 0xFF);
    return realMethods(f)->xWrite(me.real, me.scratch.data(), amount, offset);
}

// Passes a call on to the wrapped file's own method.
template <auto Method, class... Args>
int passOn(sqlite3_file* f, Args... args)
{
    return (realMethods(f)->*Method)(self(f)->real, args...);
}

// The same for a method a file of an older version may lack: `missing` when it does.
template <auto Method, int Since, int Missing, class... Args>
int passOnSince(sqlite3_file* f, Args... args)
{
    const auto* m = realMethods(f);
    return m->iVersion >= Since && m->*Method ? (m->*Method)(self(f)->real, args...) : Missing;
}

void xShmBarrier(sqlite3_file* f)
{
    const auto* m = realMethods(f);
    if (m->iVersion >= 2 && m->xShmBarrier)
        m->xShmBarrier(self(f)->real);
}

// A page mapped into memory is checked like one read (a failed check gives no mapping).
int xFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** out)
{
    File& me = *self(f);
    const auto* m = realMethods(f);
    *out = nullptr;
    if (m->iVersion < 3 || !m->xFetch)
        return SQLITE_OK; // (SQLite then reads the page)
    const int rc = m->xFetch(me.real, offset, amount, out);
    if (rc != SQLITE_OK || !*out || !me.checked || !me.reading)
        return rc;
    learnGeometry(me);
    if (!isPage(me, amount, offset) ||
        verify(me, static_cast<const unsigned char*>(*out), offset) != SQLITE_OK) {
        m->xUnfetch(me.real, offset, *out);
        *out = nullptr;
        return me.known && !me.foreign && isPage(me, amount, offset) ? SQLITE_IOERR_DATA
                                                                     : SQLITE_OK;
    }
    return SQLITE_OK;
}
const sqlite3_io_methods kMethods = {
    3,
    xClose,
    xRead,
    xWrite,
    passOn<&sqlite3_io_methods::xTruncate>,
    passOn<&sqlite3_io_methods::xSync>,
    passOn<&sqlite3_io_methods::xFileSize>,
    passOn<&sqlite3_io_methods::xLock>,
    passOn<&sqlite3_io_methods::xUnlock>,
    passOn<&sqlite3_io_methods::xCheckReservedLock>,
    passOn<&sqlite3_io_methods::xFileControl>,
    passOn<&sqlite3_io_methods::xSectorSize>,
    passOn<&sqlite3_io_methods::xDeviceCharacteristics>,
    passOnSince<&sqlite3_io_methods::xShmMap, 2, SQLITE_IOERR_SHMMAP>,
    passOnSince<&sqlite3_io_methods::xShmLock, 2, SQLITE_IOERR_SHMLOCK>,
    xShmBarrier,
    passOnSince<&sqlite3_io_methods::xShmUnmap, 2, SQLITE_OK>,
    xFetch,
    passOnSince<&sqlite3_io_methods::xUnfetch, 3, SQLITE_OK>,
};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    File* me = new (f) File;
    me->base.pMethods = nullptr;
    me->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + sizeof(File));
    me->real->pMethods = nullptr;
    me->checked = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    me->reading = (flags & SQLITE_OPEN_READONLY) != 0;
    const int rc = g_base->xOpen(g_base, name, me->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (me->real->pMethods)
            me->real->pMethods->xClose(me->real);
        me->~File();
        return rc;
    }
    me->base.pMethods = &kMethods;
    return SQLITE_OK;
}

// The rest is the system's own.
template <auto Method, class... Args>
auto fromSystem(sqlite3_vfs*, Args... args)
{
    return (g_base->*Method)(g_base, args...);
}
int xGetLastError(sqlite3_vfs*, int n, char* out)
{
    return g_base->xGetLastError ? g_base->xGetLastError(g_base, n, out) : 0;
}
sqlite3_vfs g_vfs{};
std::once_flag g_registered;

} // namespace

const char* vfsName()
{
    std::call_once(g_registered, [] {
        sqlite3_initialize();
        g_base = sqlite3_vfs_find(nullptr);
        g_vfs.iVersion = 2;
        g_vfs.szOsFile = static_cast<int>(sizeof(File)) + g_base->szOsFile;
        g_vfs.mxPathname = g_base->mxPathname;
        g_vfs.zName = "fz-checked";
        g_vfs.xOpen = xOpen;
        g_vfs.xDelete = fromSystem<&sqlite3_vfs::xDelete>;
        g_vfs.xAccess = fromSystem<&sqlite3_vfs::xAccess>;
        g_vfs.xFullPathname = fromSystem<&sqlite3_vfs::xFullPathname>;
        g_vfs.xDlOpen = fromSystem<&sqlite3_vfs::xDlOpen>;
        g_vfs.xDlError = fromSystem<&sqlite3_vfs::xDlError>;
        g_vfs.xDlSym = fromSystem<&sqlite3_vfs::xDlSym>;
        g_vfs.xDlClose = fromSystem<&sqlite3_vfs::xDlClose>;
        g_vfs.xRandomness = fromSystem<&sqlite3_vfs::xRandomness>;
        g_vfs.xSleep = fromSystem<&sqlite3_vfs::xSleep>;
        g_vfs.xCurrentTime = fromSystem<&sqlite3_vfs::xCurrentTime>;
        g_vfs.xGetLastError = xGetLastError;
        g_vfs.xCurrentTimeInt64 = fromSystem<&sqlite3_vfs::xCurrentTimeInt64>;
        sqlite3_vfs_register(&g_vfs, 0);
    });
    return g_vfs.zName;
}

} // namespace engine::checked
