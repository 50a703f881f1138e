#include "File.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

File::~File()
{
    Close();
}

File::File(File&& other) noexcept : fd_(other.fd_), error_(other.error_)
{
    other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        error_ = other.error_;
        other.fd_ = -1;
    }
    return *this;
}

File File::Open(const std::string& path, Mode mode)
{
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    // Never follow a planted link when creating a file.
    if (mode == Mode::Create || mode == Mode::CreateNew)
        flags |= O_NOFOLLOW;

    File file;
    // Open without truncating first, so that a file another holder has
    // locked is not emptied before the lock test below; and without
    // waiting, so that a FIFO or a device under a file's name is refused
    // at once rather than waited on for ever.  A new file is the owner's
    // alone until whoever made it says otherwise.
    const int openFlags = (flags & ~O_TRUNC) | O_NONBLOCK;
    const int fd = ::open(path.c_str(), openFlags, 0600);
    if (fd < 0) {
        file.error_ = errno;
        return file;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        file.error_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        return file;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        file.error_ = errno;
        ::close(fd);
        return file;
    }
    const int lock = (mode == Mode::Read) ? LOCK_SH : LOCK_EX;
    if (::flock(fd, lock | LOCK_NB) != 0) {
        file.error_ = errno;
        ::close(fd);
        return file;
    }
    if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) {
        file.error_ = errno;
        ::close(fd);
        return file;
    }
    file.fd_ = fd;
    return file;
}

File File::Duplicate() const
{
    File copy(fd_ < 0 ? -1 : ::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
    if (copy.fd_ < 0)
        copy.error_ = fd_ < 0 ? EBADF : errno;
    return copy;
}

std::size_t File::ReadAt(std::uint64_t offset, void* buffer, std::size_t size)
{
    if (fd_ < 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd_, out + total, size - total,
                                  static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            break;
        }
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

bool File::WriteAt(std::uint64_t offset, const void* buffer, std::size_t size)
{
    if (fd_ < 0)
        return false;
    const auto* in = static_cast<const unsigned char*>(buffer);
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::pwrite(fd_, in + total, size - total,
                                   static_cast<off_t>(offset + total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error_ = errno;
            return false;
        }
        total += static_cast<std::size_t>(n);
    }
    return true;
}

File::RangeCopy File::CopyRangeTo(File& to, std::uint64_t fromOffset, std::uint64_t toOffset, std::size_t size)
{
    if (fd_ < 0 || to.fd_ < 0)
        return RangeCopy::Failed;
    std::size_t total = 0;
    while (total < size) {
        auto in = static_cast<off_t>(fromOffset + total);
        auto out = static_cast<off_t>(toOffset + total);
        const ssize_t n = ::copy_file_range(fd_, &in, to.fd_, &out, size - total, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const bool unsupported = errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP ||
                                     errno == EINVAL || errno == EBADF || errno == ETXTBSY;
            if (unsupported && total == 0)
                return RangeCopy::Unsupported;
            // A full or read-only destination is the other file's failure.
            const bool writing = errno == ENOSPC || errno == EDQUOT || errno == EFBIG || errno == EROFS;
            (writing ? to.error_ : error_) = errno;
            return RangeCopy::Failed;
        }
        if (n == 0) {
            error_ = EIO;  // this file ended early
            return RangeCopy::Failed;
        }
        total += static_cast<std::size_t>(n);
    }
    return RangeCopy::Copied;
}

std::uint64_t File::Size() const
{
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

bool File::Reserve(std::uint64_t length)
{
    // fallocate itself, not posix_fallocate: where the file system cannot
    // reserve, that would write the zeros instead.
    return fd_ >= 0 && ::fallocate(fd_, 0, 0, static_cast<off_t>(length)) == 0;
}

bool File::Truncate(std::uint64_t length)
{
    if (fd_ < 0)
        return false;
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::Sync()
{
    if (fd_ < 0)
        return false;
    if (::fsync(fd_) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::SyncData()
{
    if (fd_ < 0)
        return false;
    if (::fdatasync(fd_) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::StartWriteBack(std::uint64_t offset, std::uint64_t length)
{
    if (fd_ < 0 || offset > static_cast<std::uint64_t>(INT64_MAX) || length > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    return ::sync_file_range(fd_, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                             SYNC_FILE_RANGE_WRITE) == 0;
}

bool File::Close()
{
    if (fd_ < 0)
        return true;
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool File::ChangeMode(unsigned mode)
{
    return fd_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(mode)) == 0;
}

bool File::ChangeOwner(unsigned owner, unsigned group)
{
    return fd_ >= 0 && ::fchown(fd_, static_cast<uid_t>(owner), static_cast<gid_t>(group)) == 0;
}

std::optional<std::string> ReadSmallFile(const std::string& path, std::uint64_t maxBytes)
{
    File file = File::Open(path, File::Mode::Read);
    if (!file)
        return std::nullopt;
    const std::uint64_t size = file.Size();
    if (size > maxBytes)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (file.ReadAt(0, text.data(), text.size()) != text.size())
        return std::nullopt;
    return text;
}

bool WriteWholeFile(const std::string& path, const std::string& text)
{
    struct Descriptor {
        int Fd;
        ~Descriptor()
        {
            if (Fd >= 0)
                ::close(Fd);
        }
    };
    // Not File: its O_NOFOLLOW would refuse a configuration file kept as a
    // link, and a file it makes is the owner's alone.
    Descriptor out{::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666)};
    struct stat info {};
    if (out.Fd < 0 || ::fstat(out.Fd, &info) != 0 || !S_ISREG(info.st_mode) || ::ftruncate(out.Fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(out.Fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    const int fd = out.Fd;
    out.Fd = -1;
    return ::close(fd) == 0;
}

bool ReplaceFileContent(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".new";
    File file = File::Open(temporary, File::Mode::Create);
    const bool written = file && file.WriteAt(0, bytes.data(), bytes.size()) && file.SyncData() && file.Close() &&
                         std::rename(temporary.c_str(), path.c_str()) == 0;
    if (!written) {
        std::remove(temporary.c_str());
        return false;
    }
    const std::size_t slash = path.rfind('/');
    return SyncFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
}

bool SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

} // namespace velmora
