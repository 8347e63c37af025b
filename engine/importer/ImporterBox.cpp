#include "engine/importer/ImporterBox.h"

#include "engine/import/FileSnapshot.h"

#include <seccomp.h>

#include <fcntl.h>
#include <linux/sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define FZ_BOX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FZ_BOX_ASAN 1
#endif
#endif

namespace engine::box {

namespace {

[[noreturn]] void refuse(const std::string& what, int err)
{
    throw std::runtime_error(what + ": " + systemReason(err));
}

// A filter under construction; loaded, then freed.
class Filter {
public:
    explicit Filter(std::uint32_t defaultAction)
        : ctx_(seccomp_init(defaultAction))
    {
        if (!ctx_)
            throw std::runtime_error("seccomp_init failed");
        // every thread of the process, whichever loads it
        if (const int rc = seccomp_attr_set(ctx_, SCMP_FLTATR_CTL_TSYNC, 1); rc < 0)
            refuse("seccomp_attr_set", -rc);
    }
    ~Filter() { seccomp_release(ctx_); }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    template <typename... Cmp>
    void rule(std::uint32_t action, int nr, Cmp... cmp)
    {
        if (nr < 0 && nr != __NR_SCMP_ERROR)
            return; // a call this architecture does not have
        const int rc = seccomp_rule_add(ctx_, action, nr, sizeof...(cmp), cmp...);
        if (rc < 0)
            refuse("seccomp_rule_add", -rc);
    }
    void load()
    {
        if (const int rc = seccomp_load(ctx_); rc < 0)
            refuse("seccomp_load", -rc);
    }

private:
    scmp_filter_ctx ctx_;
};

// What an import calls: reading and writing its open files, threads, memory, time.
constexpr int kAllowed[] = {
    SCMP_SYS(read),
    SCMP_SYS(readv),
    SCMP_SYS(pread64),
    SCMP_SYS(preadv),
    SCMP_SYS(write),
    SCMP_SYS(writev),
    SCMP_SYS(pwrite64),
    SCMP_SYS(pwritev),
    SCMP_SYS(lseek),
    SCMP_SYS(close),
    SCMP_SYS(close_range),
    SCMP_SYS(fstat),
    SCMP_SYS(newfstatat),
    SCMP_SYS(statx),
    SCMP_SYS(stat),
    SCMP_SYS(lstat),
    SCMP_SYS(fcntl),
    SCMP_SYS(fsync),
    SCMP_SYS(fdatasync),
    SCMP_SYS(ftruncate),
    SCMP_SYS(fallocate),
    SCMP_SYS(access),
    SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlink),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getcwd),
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(mprotect),
    SCMP_SYS(madvise),
    SCMP_SYS(futex),
    SCMP_SYS(set_robust_list),
    SCMP_SYS(rseq),
    SCMP_SYS(set_tid_address),
    SCMP_SYS(sched_yield),
    SCMP_SYS(sched_getaffinity),
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(getuid),
    SCMP_SYS(geteuid),
    SCMP_SYS(getgid),
    SCMP_SYS(getegid),
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(sigaltstack),
    SCMP_SYS(restart_syscall),
    SCMP_SYS(clock_gettime),
    SCMP_SYS(clock_getres),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(time),
    SCMP_SYS(nanosleep),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(getrandom),
    SCMP_SYS(getrlimit),
    SCMP_SYS(uname),
    SCMP_SYS(sysinfo),
};

// What an import never does: a call of these is an attack, and ends the process (the caller
// tells the operator). Everything else not allowed fails with EPERM.
constexpr int kKilling[] = {
    SCMP_SYS(socket),
    SCMP_SYS(socketpair),
    SCMP_SYS(connect),
    SCMP_SYS(bind),
    SCMP_SYS(listen),
    SCMP_SYS(accept),
    SCMP_SYS(accept4),
    SCMP_SYS(sendto),
    SCMP_SYS(sendmsg),
    SCMP_SYS(sendmmsg),
    SCMP_SYS(recvfrom),
    SCMP_SYS(recvmsg),
    SCMP_SYS(recvmmsg),
    SCMP_SYS(execve),
    SCMP_SYS(execveat),
    SCMP_SYS(fork),
    SCMP_SYS(vfork),
    SCMP_SYS(ptrace),
    SCMP_SYS(process_vm_readv),
    SCMP_SYS(process_vm_writev),
    SCMP_SYS(kill),
    SCMP_SYS(setuid),
    SCMP_SYS(setgid),
    SCMP_SYS(setreuid),
    SCMP_SYS(setregid),
    SCMP_SYS(setresuid),
    SCMP_SYS(setresgid),
    SCMP_SYS(setgroups),
    SCMP_SYS(mount),
    SCMP_SYS(umount2),
    SCMP_SYS(pivot_root),
    SCMP_SYS(chroot),
    SCMP_SYS(unshare),
    SCMP_SYS(setns),
    SCMP_SYS(bpf),
    SCMP_SYS(perf_event_open),
    SCMP_SYS(keyctl),
    SCMP_SYS(add_key),
    SCMP_SYS(request_key),
    SCMP_SYS(personality),
    SCMP_SYS(kcmp),
    SCMP_SYS(pidfd_open),
    SCMP_SYS(pidfd_getfd),
    SCMP_SYS(pidfd_send_signal),
    SCMP_SYS(open_by_handle_at),
    SCMP_SYS(userfaultfd),
    SCMP_SYS(io_uring_setup),
    SCMP_SYS(io_uring_enter),
    SCMP_SYS(io_uring_register),
    SCMP_SYS(init_module),
    SCMP_SYS(finit_module),
    SCMP_SYS(kexec_load),
    SCMP_SYS(kexec_file_load),
};

// Flags that make an open create a file.
constexpr std::uint64_t kCreating = O_CREAT | __O_TMPFILE;

} // namespace

void closeInherited()
{
    if (::close_range(3, ~0U, 0) == 0)
        return;
    // (a kernel older than 5.9) every descriptor the process may hold
    const long most = ::sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (most > 0 ? most : 1024); ++fd)
        ::close(static_cast<int>(fd));
}

Limits limitsFor(std::uint64_t sourceBytes)
{
    constexpr std::uint64_t MiB = 1u << 20;
    Limits l;
#ifndef FZ_BOX_ASAN
    // A 1,000,000-person file (264 MB) imports in about 5 s of processor time, peaking at
    // 530 MB of address space (its copy included) and writing a 134 MB store.
    l.addressSpace = 2048 * MiB + 4 * sourceBytes;
#endif
    l.fileSize = 2048 * MiB + 4 * sourceBytes;
    l.cpuSeconds = 300 + sourceBytes / MiB;
    return l;
}

void applyLimits(const Limits& limits)
{
    auto set = [](int resource, std::uint64_t soft, std::uint64_t hard, const char* name) {
        const rlimit r{static_cast<rlim_t>(soft), static_cast<rlim_t>(hard)};
        if (::setrlimit(resource, &r) != 0)
            refuse(std::string("setrlimit ") + name, errno);
    };
    if (limits.addressSpace)
        set(RLIMIT_AS, limits.addressSpace, limits.addressSpace, "RLIMIT_AS");
    set(RLIMIT_FSIZE, limits.fileSize, limits.fileSize, "RLIMIT_FSIZE");
    // SIGXCPU at the soft limit; the hard one, a little later, is a SIGKILL.
    set(RLIMIT_CPU, limits.cpuSeconds, limits.cpuSeconds + 5, "RLIMIT_CPU");
    set(RLIMIT_CORE, 0, 0, "RLIMIT_CORE"); // no copy of the persons in a core file
}

void enter()
{
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        refuse("PR_SET_NO_NEW_PRIVS", errno);
    Filter f(SCMP_ACT_ERRNO(EPERM));
    for (int nr : kAllowed)
        f.rule(SCMP_ACT_ALLOW, nr);
    for (int nr : kKilling)
        f.rule(SCMP_ACT_KILL_PROCESS, nr);
    // Threads share the process; a clone without CLONE_THREAD would make a new process.
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(clone),
           SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
    f.rule(SCMP_ACT_KILL_PROCESS, SCMP_SYS(clone), SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0));
    // clone3 passes its flags in memory the filter cannot see: the C library falls back to
    // clone when told the call does not exist.
    f.rule(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3));
    // Signals to its own threads only (abort, thread cancellation).
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, std::uint64_t(::getpid())));
    f.rule(SCMP_ACT_KILL_PROCESS, SCMP_SYS(tgkill),
           SCMP_A0(SCMP_CMP_NE, std::uint64_t(::getpid())));
    // Reading limits, never raising them.
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A2(SCMP_CMP_EQ, 0));
#ifdef FZ_BOX_SANITIZED
    // (the sanitizers test whether memory is readable by writing it to a pipe of their own)
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(pipe2));
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(pipe));
#endif
    // Filters may be added (only ever narrowing what is allowed), nothing else set.
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(seccomp));
    for (int option : {PR_SET_NO_NEW_PRIVS, PR_GET_NO_NEW_PRIVS, PR_GET_SECCOMP, PR_SET_SECCOMP})
        f.rule(SCMP_ACT_ALLOW, SCMP_SYS(prctl), SCMP_A0(SCMP_CMP_EQ, std::uint64_t(option)));
    // Opening existing files; openat2 hides its flags in memory as clone3 does.
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(openat), SCMP_A2(SCMP_CMP_MASKED_EQ, kCreating, 0));
    f.rule(SCMP_ACT_ALLOW, SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, kCreating, 0));
    f.rule(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2));
    f.load();
}

void forbidWriteOpens()
{
    // A second filter: the kernel runs both and the stricter answer wins.
    Filter f(SCMP_ACT_ALLOW);
    for (std::uint64_t mode : {std::uint64_t(O_WRONLY), std::uint64_t(O_RDWR)}) {
        f.rule(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(openat),
               SCMP_A2(SCMP_CMP_MASKED_EQ, O_ACCMODE, mode));
        f.rule(SCMP_ACT_ERRNO(EPERM), SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, O_ACCMODE, mode));
    }
    f.load();
}

} // namespace engine::box
