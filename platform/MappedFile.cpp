#include "MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace velmora {

MappedFile::~MappedFile()
{
    Release();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void MappedFile::Release()
{
    if (data_ != nullptr)
        ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
}

MappedFile MappedFile::Open(const std::string& path, std::size_t bytes)
{
    MappedFile mapped;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return mapped;
    // Every block set aside now: a store into a page the file system could
    // not give would kill the program (SIGBUS) instead of failing here.
    struct stat info {};
    const bool sized = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                       (static_cast<std::size_t>(info.st_size) <= bytes ||
                        ::ftruncate(fd, static_cast<off_t>(bytes)) == 0) &&
                       ::posix_fallocate(fd, 0, static_cast<off_t>(bytes)) == 0;
    void* data = sized ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    // The mapping keeps the file; the descriptor is not needed any more.
    ::close(fd);
    if (data == MAP_FAILED)
        return mapped;
    mapped.data_ = static_cast<unsigned char*>(data);
    mapped.size_ = bytes;
    return mapped;
}

} // namespace velmora
