#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// An open file, closed when the object goes.  All I/O is positional
// (byte offsets from the start of the file), so there is no hidden file
// position to keep track of.
//
// Files opened by this program hold an advisory lock for their lifetime:
// shared for reading, exclusive for writing.  That mirrors the sharing
// rules the editor relies on: the working file cannot be rewritten while
// another part of the program (or a second instance) still has it open.
class File {
public:
    enum class Mode {
        Read,          // existing file, read only, shared lock
        ReadWrite,     // existing file, read and write, exclusive lock
        Create,        // create or truncate, read and write, exclusive lock
        CreateNew,     // create, fail if it exists, exclusive lock
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens path; IsOpen() tells whether it worked and LastError() why not.
    // Only regular files open: a directory, FIFO, socket or device under
    // the name is refused at once, never waited on.  A file it creates
    // has mode 0600.
    static File Open(const std::string& path, Mode mode);

    // A second handle on the same open file, sharing its lock, for another
    // thread's positional reads and writes.
    File Duplicate() const;

    bool IsOpen() const { return fd_ >= 0; }
    explicit operator bool() const { return IsOpen(); }
    int LastError() const { return error_; }

    // Reads up to size bytes at offset; returns the bytes read, fewer only
    // at the end of the file (0 at or past it) or on an error.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size);

    // Writes all size bytes at offset; false on any error (disk full, ...).
    [[nodiscard]] bool WriteAt(std::uint64_t offset, const void* buffer, std::size_t size);

    // Copies size bytes at fromOffset of this file to toOffset of to,
    // inside the kernel (copy_file_range).  Unsupported when the kernel or
    // the file systems cannot (nothing was copied); Failed on an error or
    // when this file ends before fromOffset + size.
    enum class RangeCopy { Copied, Unsupported, Failed };
    RangeCopy CopyRangeTo(File& to, std::uint64_t fromOffset, std::uint64_t toOffset, std::size_t size);

    // Length of the file in bytes, or 0 when it cannot be queried.
    std::uint64_t Size() const;

    // Sets the file's length in bytes.
    [[nodiscard]] bool Truncate(std::uint64_t length);

    // Sets aside the disk blocks of the first length bytes (the file is then
    // at least that long), so that writing them allocates nothing more.
    // Only a hint: false where the file system does not take it.
    bool Reserve(std::uint64_t length);

    // Flushes the file's data to the disk.
    [[nodiscard]] bool Sync();
    // Flushes the file's data, and its length, to the disk; not the times
    // that only tell of the change (fdatasync).
    [[nodiscard]] bool SyncData();

    // Starts writing bytes [offset, offset + length) to the disk without
    // waiting, so that a long write never piles up dirty pages for a Sync
    // at its end to wait on.  Only a hint: false where the system does not
    // take it, and Sync still reports what went wrong.
    bool StartWriteBack(std::uint64_t offset, std::uint64_t length);

    // Sets the file's permission bits, and its owner and group; false where
    // the process may not.
    bool ChangeMode(unsigned mode);
    bool ChangeOwner(unsigned owner, unsigned group);

    // The open descriptor, for a library that writes through one of its
    // own (it duplicates it); -1 when closed.
    int NativeHandle() const { return fd_; }

    // Closes now; false when closing reported an error.
    bool Close();

private:
    explicit File(int fd) : fd_(fd) {}
    int fd_ = -1;
    int error_ = 0;
};

// The whole content of a small regular file (a configuration or language
// file): nullopt when it is missing, not a regular file, cannot be read or
// is longer than maxBytes.  Never waits on a FIFO.
std::optional<std::string> ReadSmallFile(const std::string& path, std::uint64_t maxBytes);

// Replaces the content of the regular file at path with text, creating it
// (mode 0666 less the umask) when missing; a link to such a file is
// followed.  False, with nothing written, when something other than a
// regular file stands there; false when any byte could not be written.
bool WriteWholeFile(const std::string& path, const std::string& text);

// Gives the file at path (a file of this program's own, mode 0600) the
// content bytes in one step: written in full under path + ".new", then
// renamed over path, so that a kill leaves the old content or the new one.
// False, with path as it was and no ".new" left, when any step failed.
// The content reaches the disk before the rename, and the rename before
// this returns: a power cut leaves the old content or the new one too.
bool ReplaceFileContent(const std::string& path, const std::string& bytes);

// Puts the folder's entries - files made, renamed, linked or removed in it
// - on the disk.  False when it could not be opened or flushed.
bool SyncFolder(const std::string& folder);

} // namespace velmora
