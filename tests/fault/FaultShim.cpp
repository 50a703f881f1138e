// A preloaded library that makes chosen file-system calls fail, so that
// tests can prove every failure is reported rather than passed off as
// success.  Only calls on regular files count.
//
// Armed by the test through velmora_fault_arm(op, nth, error, sticky), or
// for a child process through VELMORA_FAULT="op:nth:error[:sticky]": the
// nth call (from 1) of op - pread, pwrite, ftruncate, fsync, close,
// copy_file_range, fallocate or link - fails with errno = error, and with
// sticky every later one too (a disk that stays full).  copy_file_range
// counts the file it copies from; link counts every call.
//
// VELMORA_KILL="nth:pages" kills the process instead, as a kill -9 would,
// at the nth call that changes a file (pwrite, ftruncate, fallocate,
// copy_file_range, link, rename, unlink or remove, counted together): a write or copy gets
// through its first pages (whole pages of the file, as the kernel copies
// them) and the process dies; pages 0 dies before the call, any other
// number after a call that has no pages.  A forked child arms it with
// velmora_kill_arm(nth, pages); velmora_kill_calls() counts such calls.

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum Op { Pread, Pwrite, Ftruncate, Fsync, Close, CopyFileRange, Fallocate, Link, OpCount };
constexpr const char* OpNames[OpCount] = {"pread", "pwrite", "ftruncate", "fsync", "close", "copy_file_range",
                                          "fallocate", "link"};

struct Rule {
    std::atomic<int> Op{-1};
    std::atomic<long> Nth{0};
    std::atomic<int> Error{0};
    std::atomic<bool> Sticky{false};
    std::atomic<long> Calls{0};
};
Rule g_rule;

int OpOf(const char* name)
{
    for (int op = 0; op < OpCount; ++op)
        if (std::strcmp(name, OpNames[op]) == 0)
            return op;
    return -1;
}

void ArmFromEnvironment()
{
    static std::atomic<bool> done{false};
    if (done.exchange(true))
        return;
    const char* spec = std::getenv("VELMORA_FAULT");
    if (spec == nullptr)
        return;
    char name[16] = {};
    long nth = 0;
    int error = 0;
    int sticky = 0;
    const char* colon = std::strchr(spec, ':');
    if (colon == nullptr || colon - spec >= static_cast<long>(sizeof name))
        return;
    std::memcpy(name, spec, static_cast<std::size_t>(colon - spec));
    char* end = nullptr;
    nth = std::strtol(colon + 1, &end, 10);
    if (end != nullptr && *end == ':')
        error = static_cast<int>(std::strtol(end + 1, &end, 10));
    if (end != nullptr && *end == ':')
        sticky = static_cast<int>(std::strtol(end + 1, &end, 10));
    g_rule.Calls = 0;
    g_rule.Nth = nth;
    g_rule.Error = error;
    g_rule.Sticky = sticky != 0;
    g_rule.Op = OpOf(name);
}

bool IsRegularFile(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// True when this call of op on fd is to fail (errno is set then).
bool ShouldFail(Op op, int fd)
{
    ArmFromEnvironment();
    if (g_rule.Op.load() != op || (fd >= 0 && !IsRegularFile(fd)))
        return false;
    const long call = ++g_rule.Calls;
    if (call == g_rule.Nth.load() || (g_rule.Sticky.load() && call > g_rule.Nth.load())) {
        errno = g_rule.Error.load();
        return true;
    }
    return false;
}

template <typename Fn>
Fn Next(const char* name)
{
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

struct KillRule {
    long Nth = 0;  // 0: never
    long Pages = 0;
    std::atomic<long> Calls{0};
};

KillRule& Kill()
{
    static KillRule rule;
    static std::atomic<bool> read{false};
    if (!read.exchange(true)) {
        if (const char* spec = std::getenv("VELMORA_KILL")) {
            char* end = nullptr;
            rule.Nth = std::strtol(spec, &end, 10);
            if (end != nullptr && *end == ':')
                rule.Pages = std::strtol(end + 1, nullptr, 10);
        }
    }
    return rule;
}

// How many bytes of a write of size at offset get through before the kill
// at this call; -1 when this call is not the one.
long long BytesBeforeKill(std::uint64_t offset, std::size_t size)
{
    KillRule& rule = Kill();
    if (rule.Nth <= 0 || ++rule.Calls != rule.Nth)
        return -1;
    if (rule.Pages <= 0)
        return 0;
    constexpr std::uint64_t page = 4096;
    const std::uint64_t bytes = (page - offset % page) + static_cast<std::uint64_t>(rule.Pages - 1) * page;
    return static_cast<long long>(bytes < size ? bytes : size);
}

[[noreturn]] void DieNow()
{
    ::kill(::getpid(), SIGKILL);
    for (;;)
        ::pause();
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void velmora_fault_arm(const char* op, long nth, int error, int sticky)
{
    g_rule.Op = -1;
    g_rule.Calls = 0;
    g_rule.Nth = nth;
    g_rule.Error = error;
    g_rule.Sticky = sticky != 0;
    g_rule.Op = op != nullptr ? OpOf(op) : -1;
}

__attribute__((visibility("default"))) void velmora_kill_arm(long nth, long pages)
{
    KillRule& rule = Kill();
    rule.Calls = 0;
    rule.Pages = pages;
    rule.Nth = nth;
}

__attribute__((visibility("default"))) long velmora_kill_calls()
{
    return Kill().Calls.load();
}

__attribute__((visibility("default"))) long velmora_fault_calls()
{
    return g_rule.Calls.load();
}

__attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, size_t size, off_t offset)
{
    static const auto next = Next<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return ShouldFail(Pread, fd) ? -1 : next(fd, buffer, size, offset);
}

__attribute__((visibility("default"))) ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    if (IsRegularFile(fd)) {
        const long long through = BytesBeforeKill(static_cast<std::uint64_t>(offset), size);
        if (through >= 0) {
            if (through > 0)
                next(fd, buffer, static_cast<size_t>(through), offset);
            DieNow();
        }
    }
    return ShouldFail(Pwrite, fd) ? -1 : next(fd, buffer, size, offset);
}

__attribute__((visibility("default"))) int ftruncate(int fd, off_t length)
{
    static const auto next = Next<int (*)(int, off_t)>("ftruncate");
    if (IsRegularFile(fd)) {
        const long long through = BytesBeforeKill(0, 1);
        if (through >= 0) {
            if (through > 0)
                next(fd, length);
            DieNow();
        }
    }
    return ShouldFail(Ftruncate, fd) ? -1 : next(fd, length);
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to)
{
    static const auto next = Next<int (*)(const char*, const char*)>("rename");
    const long long through = BytesBeforeKill(0, 1);
    if (through >= 0) {
        if (through > 0)
            next(from, to);
        DieNow();
    }
    return next(from, to);
}

__attribute__((visibility("default"))) int fsync(int fd)
{
    static const auto next = Next<int (*)(int)>("fsync");
    return ShouldFail(Fsync, fd) ? -1 : next(fd);
}

__attribute__((visibility("default"))) ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset,
                                                              size_t size, unsigned int flags)
{
    static const auto next =
        Next<ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned int)>("copy_file_range");
    if (IsRegularFile(out)) {
        const long long through =
            BytesBeforeKill(outOffset != nullptr ? static_cast<std::uint64_t>(*outOffset) : 0, size);
        if (through >= 0) {
            if (through > 0)
                next(in, inOffset, out, outOffset, static_cast<size_t>(through), flags);
            DieNow();
        }
    }
    return ShouldFail(CopyFileRange, in) ? -1 : next(in, inOffset, out, outOffset, size, flags);
}

// Removing a file is a change a kill may come just before or after.
__attribute__((visibility("default"))) int unlink(const char* path)
{
    static const auto next = Next<int (*)(const char*)>("unlink");
    const long long through = BytesBeforeKill(0, 1);
    if (through >= 0) {
        if (through > 0)
            next(path);
        DieNow();
    }
    return next(path);
}

__attribute__((visibility("default"))) int remove(const char* path)
{
    static const auto next = Next<int (*)(const char*)>("remove");
    const long long through = BytesBeforeKill(0, 1);
    if (through >= 0) {
        if (through > 0)
            next(path);
        DieNow();
    }
    return next(path);
}

__attribute__((visibility("default"))) int link(const char* from, const char* to)
{
    static const auto next = Next<int (*)(const char*, const char*)>("link");
    const long long through = BytesBeforeKill(0, 1);
    if (through >= 0) {
        if (through > 0)
            next(from, to);
        DieNow();
    }
    return ShouldFail(Link, -1) ? -1 : next(from, to);
}

__attribute__((visibility("default"))) int fallocate(int fd, int mode, off_t offset, off_t length)
{
    static const auto next = Next<int (*)(int, int, off_t, off_t)>("fallocate");
    if (IsRegularFile(fd)) {
        const long long through = BytesBeforeKill(0, 1);
        if (through >= 0) {
            if (through > 0)
                next(fd, mode, offset, length);
            DieNow();
        }
    }
    return ShouldFail(Fallocate, fd) ? -1 : next(fd, mode, offset, length);
}

__attribute__((visibility("default"))) int close(int fd)
{
    static const auto next = Next<int (*)(int)>("close");
    if (ShouldFail(Close, fd)) {
        const int error = errno;
        next(fd);  // the descriptor goes all the same, as after a real failure
        errno = error;
        return -1;
    }
    return next(fd);
}

} // extern "C"
