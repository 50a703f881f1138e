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
//
// velmora_record_arm(folder, trace) records, from then on, every change
// the process makes to the files of folder, and every sync there, to the
// file trace (outside the folder), in the order they happen: files made,
// written (with the bytes), cut or lengthened, synced, renamed, linked and
// removed, and the folder synced.  A power-cut test builds from it the
// states a cut may leave.  velmora_record_stop() ends it.

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <csignal>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

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

// ---- The recorder ----

// One record: kind, a number, the length of the name (and of a second
// name), the length of the bytes; then the names and the bytes.
enum RecordKind : std::uint32_t { RecCreate = 1, RecWrite, RecSize, RecSync, RecFolderSync, RecRename, RecLink,
                                  RecUnlink };
struct RecordHead {
    std::uint32_t Kind;
    std::uint32_t NameBytes;
    std::uint32_t SecondBytes;
    std::uint32_t Reserved;
    std::uint64_t Number;  // RecWrite: the offset; RecSize: the new length
    std::uint64_t DataBytes;
};

struct Recorder {
    std::recursive_mutex Lock;
    std::string Folder;  // ends in '/'
    int Trace = -1;
};
Recorder& TheRecorder()
{
    static Recorder recorder;
    return recorder;
}

// A folder's path as the kernel names it (no links, no doubled slashes),
// ending in '/'; empty when it does not resolve.
std::string CanonicalFolder(const std::string& folder)
{
    char resolved[PATH_MAX];
    if (::realpath(folder.empty() ? "/" : folder.c_str(), resolved) == nullptr)
        return {};
    std::string canonical = resolved;
    return canonical.back() == '/' ? canonical : canonical + "/";
}

// The name within the recorded folder of path; empty when it is not in it.
std::string NameIn(const std::string& path)
{
    const std::string& folder = TheRecorder().Folder;
    const std::size_t slash = path.rfind('/');
    if (folder.empty() || slash == std::string::npos || slash + 1 == path.size())
        return {};
    return CanonicalFolder(path.substr(0, slash)) == folder ? path.substr(slash + 1) : std::string();
}

std::string PathOfFd(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// Absolute, as /proc names open files: a relative path is taken from the
// working folder.
std::string Absolute(const char* path)
{
    if (path == nullptr)
        return {};
    if (path[0] == '/')
        return path;
    char here[4096];
    return ::getcwd(here, sizeof here) != nullptr ? std::string(here) + "/" + path : std::string(path);
}

void WriteAll(int fd, const void* bytes, std::size_t count)
{
    const auto* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::syscall(SYS_write, fd, at, count);
        if (n <= 0)
            return;
        at += n;
        count -= static_cast<std::size_t>(n);
    }
}

void Record(RecordKind kind, const std::string& name, const std::string& second, std::uint64_t number,
            const void* data, std::size_t dataBytes)
{
    Recorder& recorder = TheRecorder();
    if (recorder.Trace < 0 || name.empty())
        return;
    const RecordHead head{kind, static_cast<std::uint32_t>(name.size()), static_cast<std::uint32_t>(second.size()),
                          0, number, dataBytes};
    WriteAll(recorder.Trace, &head, sizeof head);
    WriteAll(recorder.Trace, name.data(), name.size());
    WriteAll(recorder.Trace, second.data(), second.size());
    if (dataBytes > 0)
        WriteAll(recorder.Trace, data, dataBytes);
}

bool Recording()
{
    return TheRecorder().Trace >= 0;
}

// The name of fd's file in the folder, when recording and it is one there
// (a file removed since reads as none: its bytes can no longer be found).
std::string RecordedName(int fd)
{
    if (!Recording())
        return {};
    const std::string path = PathOfFd(fd);
    if (path.size() > 10 && path.compare(path.size() - 10, 10, " (deleted)") == 0)
        return {};
    return NameIn(path);
}

std::uint64_t SizeOf(int fd)
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Records the bytes [offset, offset + count) of fd's file as they now are.
void RecordWritten(const std::string& name, int fd, std::uint64_t offset, std::size_t count)
{
    std::vector<unsigned char> bytes(count);
    const ssize_t n = ::syscall(SYS_pread64, fd, bytes.data(), count, static_cast<off_t>(offset));
    if (n > 0)
        Record(RecWrite, name, {}, offset, bytes.data(), static_cast<std::size_t>(n));
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int velmora_record_arm(const char* folder, const char* trace)
{
    Recorder& recorder = TheRecorder();
    std::lock_guard lock(recorder.Lock);
    recorder.Folder = CanonicalFolder(Absolute(folder));
    recorder.Trace = static_cast<int>(
        ::syscall(SYS_openat, AT_FDCWD, trace, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600));
    return recorder.Trace >= 0 ? 0 : -1;
}

__attribute__((visibility("default"))) void velmora_record_stop()
{
    Recorder& recorder = TheRecorder();
    std::lock_guard lock(recorder.Lock);
    if (recorder.Trace >= 0)
        ::syscall(SYS_close, recorder.Trace);
    recorder.Trace = -1;
}

// open(2) with O_CREAT makes a file; File::Open never passes O_TRUNC (it
// cuts the file itself, after taking its lock).
static int OpenRecorded(const char* path, int flags, mode_t mode, int (*next)(const char*, int, ...))
{
    if (!Recording() || (flags & O_CREAT) == 0)
        return next(path, flags, mode);
    Recorder& recorder = TheRecorder();
    std::lock_guard lock(recorder.Lock);
    const std::string name = NameIn(Absolute(path));
    struct stat info {};
    const bool existed = ::lstat(path, &info) == 0;
    const int fd = next(path, flags, mode);
    if (fd >= 0 && !existed)
        Record(RecCreate, name, {}, 0, nullptr, 0);
    if (fd >= 0 && existed && (flags & O_TRUNC) != 0)
        Record(RecSize, name, {}, 0, nullptr, 0);
    return fd;
}

__attribute__((visibility("default"))) int open(const char* path, int flags, ...)
{
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    return OpenRecorded(path, flags, mode, next);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...)
{
    static const auto next = Next<int (*)(const char*, int, ...)>("open64");
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    return OpenRecorded(path, flags, mode, next);
}

__attribute__((visibility("default"))) int fdatasync(int fd)
{
    static const auto next = Next<int (*)(int)>("fdatasync");
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(fd);
    if (result == 0 && Recording()) {
        const std::string path = PathOfFd(fd);
        if (path + "/" == TheRecorder().Folder)
            Record(RecFolderSync, "/", {}, 0, nullptr, 0);
        else
            Record(RecSync, RecordedName(fd), {}, 0, nullptr, 0);
    }
    return result;
}

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
    if (ShouldFail(Pwrite, fd))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const ssize_t written = next(fd, buffer, size, offset);
    if (written > 0 && Recording())
        Record(RecWrite, RecordedName(fd), {}, static_cast<std::uint64_t>(offset), buffer,
               static_cast<std::size_t>(written));
    return written;
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
    if (ShouldFail(Ftruncate, fd))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(fd, length);
    if (result == 0 && Recording())
        Record(RecSize, RecordedName(fd), {}, static_cast<std::uint64_t>(length), nullptr, 0);
    return result;
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
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(from, to);
    if (result == 0 && Recording()) {
        const std::string fromName = NameIn(Absolute(from));
        const std::string toName = NameIn(Absolute(to));
        // (Nothing of ours moves a file into the folder from outside.)
        if (!fromName.empty() && !toName.empty())
            Record(RecRename, fromName, toName, 0, nullptr, 0);
        else if (!fromName.empty())
            Record(RecUnlink, fromName, {}, 0, nullptr, 0);
    }
    return result;
}

__attribute__((visibility("default"))) int fsync(int fd)
{
    static const auto next = Next<int (*)(int)>("fsync");
    if (ShouldFail(Fsync, fd))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(fd);
    if (result == 0 && Recording()) {
        const std::string path = PathOfFd(fd);
        if (path + "/" == TheRecorder().Folder)
            Record(RecFolderSync, "/", {}, 0, nullptr, 0);
        else
            Record(RecSync, RecordedName(fd), {}, 0, nullptr, 0);
    }
    return result;
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
    if (ShouldFail(CopyFileRange, in))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const std::uint64_t at = outOffset != nullptr ? static_cast<std::uint64_t>(*outOffset) : 0;
    const ssize_t copied = next(in, inOffset, out, outOffset, size, flags);
    if (copied > 0 && Recording()) {
        const std::string name = RecordedName(out);
        if (!name.empty())
            RecordWritten(name, out, at, static_cast<std::size_t>(copied));
    }
    return copied;
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
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(path);
    if (result == 0 && Recording())
        Record(RecUnlink, NameIn(Absolute(path)), {}, 0, nullptr, 0);
    return result;
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
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(path);
    if (result == 0 && Recording())
        Record(RecUnlink, NameIn(Absolute(path)), {}, 0, nullptr, 0);
    return result;
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
    if (ShouldFail(Link, -1))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const int result = next(from, to);
    if (result == 0 && Recording())
        Record(RecLink, NameIn(Absolute(from)), NameIn(Absolute(to)), 0, nullptr, 0);
    return result;
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
    if (ShouldFail(Fallocate, fd))
        return -1;
    std::lock_guard lock(TheRecorder().Lock);
    const std::uint64_t before = Recording() ? SizeOf(fd) : 0;
    const int result = next(fd, mode, offset, length);
    // Only a length it changes counts: the blocks it sets aside hold zeros.
    if (result == 0 && Recording() && SizeOf(fd) != before)
        Record(RecSize, RecordedName(fd), {}, SizeOf(fd), nullptr, 0);
    return result;
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
