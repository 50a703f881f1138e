#include "TemporaryOutput.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr std::size_t NameMax = 255;     // bytes of one name in a folder
constexpr int MaxLinkHops = 40;          // as the kernel allows
constexpr std::time_t FreshSeconds = 2;  // an empty file younger than this is being set up

// Folder part of path (with its '/') and name part.
std::pair<std::string, std::string> SplitPath(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

std::uint64_t Fnv1a64(const std::string& text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// The process's umask, read without changing it where /proc tells it.
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// Closes a descriptor when it goes.
struct Descriptor {
    int Fd = -1;
    ~Descriptor()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

// Stops by signal (SIGINT, SIGTERM, SIGHUP) wait while it lives: between
// making the file and registering it for removal, or renaming it and
// forgetting it, a stop would leave it behind or remove what is no longer
// ours.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t stops;
        sigemptyset(&stops);
        for (int stop : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&stops, stop);
        pthread_sigmask(SIG_BLOCK, &stops, &before_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

enum class Leftover { Gone, Busy, Stuck };

// What stands under the temporary output's name: a live save's file (it is
// locked, or empty and just made) is left alone; anything else is a
// leftover, and goes.
Leftover ClearLeftover(const std::string& path)
{
    Descriptor existing{::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (existing.Fd < 0) {
        if (errno == ENOENT)
            return Leftover::Gone;
        // A link (or another thing that cannot be opened): no save's file;
        // removing the name never touches what it points at.
        return ::unlink(path.c_str()) == 0 || errno == ENOENT ? Leftover::Gone : Leftover::Stuck;
    }
    struct stat held {};
    if (::fstat(existing.Fd, &held) != 0)
        return Leftover::Stuck;
    if (S_ISREG(held.st_mode)) {
        if (::flock(existing.Fd, LOCK_EX | LOCK_NB) != 0)
            return errno == EWOULDBLOCK ? Leftover::Busy : Leftover::Stuck;
        // Between another save's create and its lock.
        if (held.st_size == 0 && std::time(nullptr) - held.st_mtime < FreshSeconds)
            return Leftover::Busy;
    }
    // Only the file examined, should the name have moved on meanwhile.
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0)
        return errno == ENOENT ? Leftover::Gone : Leftover::Stuck;
    if (named.st_dev != held.st_dev || named.st_ino != held.st_ino)
        return Leftover::Busy;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT ? Leftover::Gone : Leftover::Stuck;
}

} // namespace

std::string FollowLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < MaxLinkHops; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return current;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return current;
        target.resize(static_cast<std::size_t>(length));
        current = target.front() == '/' ? target : SplitPath(current).first + target;
    }
    return current;
}

std::string TemporaryOutputNameFor(const std::string& target)
{
    const auto [folder, name] = SplitPath(target);
    constexpr const char* Suffix = ".tmp";
    if (1 + name.size() + 4 <= NameMax)
        return folder + "~" + name + Suffix;
    // "~" + a prefix + "." + 16 hex digits + ".tmp": one name per target,
    // so that two saves to it still meet.  The prefix ends on a whole
    // UTF-8 character.
    std::size_t keep = NameMax - 1 - 1 - 16 - 4;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    char hash[17];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a64(name)));
    return folder + "~" + name.substr(0, keep) + "." + hash + Suffix;
}

TemporaryOutput TemporaryOutput::Create(const std::string& destination)
{
    TemporaryOutput output;
    output.target_ = FollowLinks(destination);
    output.path_ = TemporaryOutputNameFor(output.target_);
    // Twice at most: once more after a leftover has gone.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const SignalsHeld held;
        File file = File::Open(output.path_, File::Mode::CreateNew);
        if (file) {
            output.file_ = std::move(file);
            output.removedOnSignal_ = std::make_unique<RemovedOnSignal>(output.path_);
            return output;
        }
        if (file.LastError() != EEXIST) {
            output.failure_ = Failure::CannotCreate;
            output.error_ = file.LastError();
            return output;
        }
        errno = 0;
        const Leftover leftover = ClearLeftover(output.path_);
        const int cleared = errno;  // why a leftover stuck, when it did
        if (leftover != Leftover::Gone) {
            output.failure_ = leftover == Leftover::Busy ? Failure::Busy : Failure::CannotCreate;
            output.error_ = leftover == Leftover::Busy ? 0 : (cleared != 0 ? cleared : EEXIST);
            return output;
        }
    }
    output.failure_ = Failure::Busy;  // someone keeps making it
    return output;
}

TemporaryOutput::~TemporaryOutput()
{
    // Ours, locked all along: no other save has put anything in its place.
    if (file_ && !replaced_)
        ::unlink(path_.c_str());
}

bool TemporaryOutput::Replace()
{
    if (!file_)
        return false;
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0) {
        // Where the process may (an owner other than itself needs root);
        // the mode after the owner, which may have cleared set-id bits.
        file_.ChangeOwner(existing.st_uid, existing.st_gid);
        file_.ChangeMode(existing.st_mode & 07777);
    } else {
        file_.ChangeMode(0666 & ~CurrentUmask());
    }
    if (!file_.Sync()) {
        error_ = file_.LastError();
        return false;
    }
    {
        const SignalsHeld held;
        if (std::rename(path_.c_str(), target_.c_str()) != 0) {
            error_ = errno;
            return false;
        }
        replaced_ = true;
        removedOnSignal_.reset();
    }
    // The rename made durable.
    const std::string folder = SplitPath(target_).first;
    Descriptor directory{::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (directory.Fd >= 0)
        ::fsync(directory.Fd);
    file_.Close();
    return true;
}

} // namespace velmora
