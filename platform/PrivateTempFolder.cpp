#include "PrivateTempFolder.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

constexpr const char* Prefix = "velmora-";
constexpr std::size_t RandomPart = 6;  // mkdtemp's XXXXXX
constexpr const char* LockName = "velmora.lock";
// A folder with no lock file yet is one being made right now by a starting
// instance, unless it is older than this.
constexpr auto CreationGrace = std::chrono::minutes(1);

bool IsPrivateFolderName(const std::string& name)
{
    return name.size() == std::string(Prefix).size() + RandomPart && name.starts_with(Prefix) &&
           name.find('-', std::string(Prefix).size()) == std::string::npos;
}

// True when folder belongs to this user alone, as the folders this program
// makes do: another user's folder (one planted in the shared temporary
// folder, say) is neither removed nor offered back.
bool IsOwnPrivateFolder(const std::filesystem::path& folder)
{
    struct stat info {};
    return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & 077) == 0;
}

// True when no running instance holds folder: its lock file can be locked,
// or it has none and is older than a folder in the making.
bool IsAbandoned(const std::filesystem::path& folder)
{
    const int fd = ::open((folder / LockName).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        std::error_code error;
        const auto written = std::filesystem::last_write_time(folder, error);
        return !error && std::filesystem::file_time_type::clock::now() - written > CreationGrace;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

} // namespace

std::filesystem::path PrivateTempFolder::Base()
{
    std::error_code error;
    std::filesystem::path base = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : base;
}

std::vector<std::filesystem::path> PrivateTempFolder::Abandoned(const std::filesystem::path& base)
{
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(base, error)) {
        std::error_code ignored;
        if (!IsPrivateFolderName(entry.path().filename().string()) || !entry.is_directory(ignored) ||
            entry.is_symlink(ignored))
            continue;
        if (IsOwnPrivateFolder(entry.path()) && IsAbandoned(entry.path()))
            folders.push_back(entry.path());
    }
    return folders;
}

void PrivateTempFolder::RemoveAbandoned(const std::filesystem::path& base, const KeepRule& keep)
{
    for (const std::filesystem::path& folder : Abandoned(base)) {
        std::error_code ignored;
        if (!keep || !keep(folder))
            std::filesystem::remove_all(folder, ignored);
    }
}

PrivateTempFolder::PrivateTempFolder(const KeepRule& keep)
{
    const std::filesystem::path base = Base();
    // What killed instances left behind goes first.
    RemoveAbandoned(base, keep);

    std::string pattern = (base / (std::string(Prefix) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp creates the folder with mode 0700.
    if (::mkdtemp(name.data()) == nullptr)
        return;
    path_ = std::string(name.data()) + '/';
    // The lock, held for the instance's life, tells others the folder is in use.
    lockFd_ = ::open((path_ + LockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (lockFd_ >= 0)
        ::flock(lockFd_, LOCK_EX | LOCK_NB);
    RegisterForSignals();
}

void PrivateTempFolder::RegisterForSignals()
{
    lockCleanup_.reset();
    folderCleanup_.reset();
    lockCleanup_ = std::make_unique<RemovedOnSignal>(path_ + LockName);
    folderCleanup_ = std::make_unique<RemovedOnSignal>(path_);
}

bool PrivateTempFolder::Adopt(const std::filesystem::path& folder)
{
    if (!IsPrivateFolderName(folder.filename().string()) || !IsOwnPrivateFolder(folder))
        return false;
    const int fd = ::open((folder / LockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    Abandon();
    ownPath_ = path_;
    ownLockFd_ = lockFd_;
    lockFd_ = fd;
    path_ = folder.string() + '/';
    RegisterForSignals();
    return true;
}

void PrivateTempFolder::Abandon()
{
    if (ownPath_.empty())
        return;
    lockCleanup_.reset();
    folderCleanup_.reset();
    if (lockFd_ >= 0)
        ::close(lockFd_);
    path_ = ownPath_;
    lockFd_ = ownLockFd_;
    ownPath_.clear();
    ownLockFd_ = -1;
    RegisterForSignals();
}

PrivateTempFolder::~PrivateTempFolder()
{
    std::error_code ignored;
    if (!ownPath_.empty())
        std::filesystem::remove_all(ownPath_, ignored);
    if (ownLockFd_ >= 0)
        ::close(ownLockFd_);
    if (path_.empty())
        return;
    std::filesystem::remove_all(path_, ignored);
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

} // namespace velmora
