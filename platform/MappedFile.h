#pragma once

#include <cstddef>
#include <string>

namespace velmora {

// A small file mapped into memory and shared with it: a store into the
// mapping is in the file (its page in the page cache) at once, costs no
// system call and outlives the process that made it, even one that is
// killed.  Unmapped and closed when the object goes.
class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Opens path (owner-only, never through a symbolic link), creating it
    // when missing, at a length of exactly bytes with every block set
    // aside, and maps all of it.  A file too short before reads as zeros in
    // what it gained.  Not open when any of that failed.
    static MappedFile Open(const std::string& path, std::size_t bytes);

    explicit operator bool() const { return data_ != nullptr; }
    unsigned char* Data() const { return data_; }
    std::size_t Size() const { return size_; }

private:
    void Release();

    unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace velmora
