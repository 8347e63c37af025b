/* Preloaded into a process by tests (LD_PRELOAD): makes reads of one file fail.
 *
 *   FZ_FAULT_PATH   the file (recognised by device and inode, under any name or descriptor)
 *   FZ_FAULT_NTH    the first read of it to spoil, counting from 1 (read, pread, pread64,
 *                   readv, preadv and fread all count)
 *   FZ_FAULT_COUNT  how many reads from there on are spoilt (default 1; 0: all)
 *   FZ_FAULT_KIND   eio: fails with EIO; short: reads half of what was asked (at least one
 *                   byte); zero: returns 0, as at the end of the file
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

enum kind { KIND_NONE, KIND_EIO, KIND_SHORT, KIND_ZERO };

static struct {
    int ready;
    enum kind kind;
    dev_t dev;
    ino_t ino;
    long first, count;
    long seen;
} g;

static void setUp(void)
{
    if (__atomic_load_n(&g.ready, __ATOMIC_ACQUIRE))
        return;
    const char* path = getenv("FZ_FAULT_PATH");
    const char* kind = getenv("FZ_FAULT_KIND");
    const char* nth = getenv("FZ_FAULT_NTH");
    const char* count = getenv("FZ_FAULT_COUNT");
    struct stat st;
    if (path && kind && nth && stat(path, &st) == 0) {
        g.dev = st.st_dev;
        g.ino = st.st_ino;
        g.first = atol(nth);
        g.count = count ? atol(count) : 1;
        g.kind = strcmp(kind, "eio") == 0     ? KIND_EIO
                 : strcmp(kind, "short") == 0 ? KIND_SHORT
                 : strcmp(kind, "zero") == 0  ? KIND_ZERO
                                              : KIND_NONE;
    }
    __atomic_store_n(&g.ready, 1, __ATOMIC_RELEASE);
}

/* The fault for this read of descriptor fd, or KIND_NONE. */
static enum kind faultFor(int fd)
{
    setUp();
    if (g.kind == KIND_NONE || fd < 0)
        return KIND_NONE;
    struct stat st;
    if (fstat(fd, &st) != 0 || st.st_dev != g.dev || st.st_ino != g.ino)
        return KIND_NONE;
    const long n = __atomic_add_fetch(&g.seen, 1, __ATOMIC_RELAXED);
    if (n < g.first || (g.count > 0 && n >= g.first + g.count))
        return KIND_NONE;
    return g.kind;
}

static size_t shorter(size_t len)
{
    return len > 1 ? len / 2 : len;
}

typedef ssize_t (*read_fn)(int, void*, size_t);
typedef ssize_t (*pread_fn)(int, void*, size_t, off_t);
typedef ssize_t (*readv_fn)(int, const struct iovec*, int);
typedef ssize_t (*preadv_fn)(int, const struct iovec*, int, off_t);
typedef size_t (*fread_fn)(void*, size_t, size_t, FILE*);

/* The C library's own function of that name (copied through memory: ISO C has no cast from
 * an object pointer to a function pointer). */
#define REAL(name, fn_t)                                                                       \
    static fn_t real = NULL;                                                                   \
    if (!real) {                                                                               \
        void* sym = dlsym(RTLD_NEXT, name);                                                    \
        memcpy(&real, &sym, sizeof real);                                                      \
    }

ssize_t read(int fd, void* buf, size_t len)
{
    REAL("read", read_fn);
    switch (faultFor(fd)) {
    case KIND_EIO: errno = EIO; return -1;
    case KIND_ZERO: return 0;
    case KIND_SHORT: return real(fd, buf, shorter(len));
    default: return real(fd, buf, len);
    }
}

static ssize_t faultyPread(pread_fn real, int fd, void* buf,
                           size_t len, off_t off)
{
    switch (faultFor(fd)) {
    case KIND_EIO: errno = EIO; return -1;
    case KIND_ZERO: return 0;
    case KIND_SHORT: return real(fd, buf, shorter(len), off);
    default: return real(fd, buf, len, off);
    }
}

ssize_t pread(int fd, void* buf, size_t len, off_t off)
{
    REAL("pread", pread_fn);
    return faultyPread(real, fd, buf, len, off);
}

ssize_t pread64(int fd, void* buf, size_t len, off_t off)
{
    REAL("pread64", pread_fn);
    return faultyPread(real, fd, buf, len, off);
}

ssize_t readv(int fd, const struct iovec* iov, int n)
{
    REAL("readv", readv_fn);
    switch (faultFor(fd)) {
    case KIND_EIO: errno = EIO; return -1;
    case KIND_ZERO: return 0;
    case KIND_SHORT: return n > 0 ? real(fd, iov, 1) : real(fd, iov, n);
    default: return real(fd, iov, n);
    }
}

ssize_t preadv(int fd, const struct iovec* iov, int n, off_t off)
{
    REAL("preadv", preadv_fn);
    switch (faultFor(fd)) {
    case KIND_EIO: errno = EIO; return -1;
    case KIND_ZERO: return 0;
    case KIND_SHORT: return n > 0 ? real(fd, iov, 1, off) : real(fd, iov, n, off);
    default: return real(fd, iov, n, off);
    }
}

size_t fread(void* buf, size_t size, size_t n, FILE* f)
{
    REAL("fread", fread_fn);
    switch (faultFor(fileno(f))) {
    case KIND_EIO: errno = EIO; return 0;
    case KIND_ZERO: return 0;
    case KIND_SHORT:
        if (n > 1)
            return real(buf, size, n / 2, f);
        /* one item: half of its bytes, and no whole item read */
        return size > 1 ? (real(buf, 1, size / 2, f), 0) : real(buf, size, n, f);
    default: return real(buf, size, n, f);
    }
}
