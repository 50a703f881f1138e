#pragma once

#include "File.h"
#include "SignalCleanup.h"

#include <memory>
#include <string>

namespace velmora {

// The file a save writes before it takes the place of the file it replaces,
// so that the destination holds its old content or its new one, never a
// part.  It lies beside the final target (a link's target: the link stays),
// named "~" + the target's name + ".tmp", or for a name too long for that
// "~" + its first bytes + a hash of it + ".tmp".
//
// It is made only by this program and only as a new file (O_CREAT, O_EXCL,
// O_NOFOLLOW), mode 0600 while it is written, and locked (flock) for as
// long as the save runs.  A file already under its name is another save's
// while it is locked (or just made), and the save is refused as busy; an
// unlocked one is a leftover of a save that was stopped, and goes.
class TemporaryOutput {
public:
    enum class Failure {
        None,
        Busy,          // another save to the same destination is running
        CannotCreate,  // the folder cannot take the file (or a leftover would not go)
    };

    // Makes the temporary output for destination.
    static TemporaryOutput Create(const std::string& destination);

    TemporaryOutput() = default;
    TemporaryOutput(TemporaryOutput&&) noexcept = default;
    TemporaryOutput& operator=(TemporaryOutput&&) noexcept = default;
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;
    // Removes the file unless it replaced the destination.
    ~TemporaryOutput();

    explicit operator bool() const { return static_cast<bool>(file_); }
    Failure Failed() const { return failure_; }
    // The errno value of the last failure to make, flush or rename the
    // file; 0 when none.
    int Error() const { return error_; }

    const std::string& Path() const { return path_; }
    // The final target: destination with its links followed.
    const std::string& Target() const { return target_; }
    // The open, locked file to write.
    File& Output() { return file_; }

    // Gives the finished file the target's owner, group and mode where the
    // process may set them (a new target: 0666 less the umask), flushes it
    // to the disk and renames it over the target.  False, with the target
    // untouched, when any of the flush or the rename fails.
    bool Replace();

private:
    std::string path_;
    std::string target_;
    File file_;
    Failure failure_ = Failure::None;
    int error_ = 0;
    std::unique_ptr<RemovedOnSignal> removedOnSignal_;
    bool replaced_ = false;
};

// The final target of path: its links followed (up to 40), each relative
// one from the folder of the link.  A link to nothing gives the name it
// points at; path itself when it is no link.
std::string FollowLinks(const std::string& path);

// The temporary output's name for target (a full path).
std::string TemporaryOutputNameFor(const std::string& target);

} // namespace velmora
