#pragma once

#include "SignalCleanup.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>
#include <string>

namespace velmora {

// A folder that belongs to this program instance alone: created inside the
// system's temporary folder with owner-only permissions and a unique name,
// removed with everything in it when the object goes.
//
// The working file lives here.  A fixed name in the shared temporary folder
// would let two running editors overwrite each other's work and let a
// planted link redirect the writes.
//
// The instance holds a lock on a file inside for its whole life, so that a
// folder left by a killed instance (or a crash, or a power cut) can be told
// from one in use: making a new folder first removes every folder of this
// program in the temporary folder whose lock is free - except those that
// keep says to keep (a document with unsaved edits, for the editor to offer
// back).  A signal that stops the program takes the folder too
// (SignalCleanup).
class PrivateTempFolder {
public:
    using KeepRule = std::function<bool(const std::filesystem::path& folder)>;

    explicit PrivateTempFolder(const KeepRule& keep = {});
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    bool IsValid() const { return !path_.empty(); }

    // The folder's path, ending in the platform's separator; empty when the
    // folder could not be created.
    const std::string& Path() const { return path_; }

    // The folder private folders are made in: the system's temporary folder.
    static std::filesystem::path Base();
    // The folders of this program under base that no running instance holds.
    static std::vector<std::filesystem::path> Abandoned(const std::filesystem::path& base);
    // Removes them, but those keep says to keep.
    static void RemoveAbandoned(const std::filesystem::path& base, const KeepRule& keep = {});

    // Makes folder, one that Abandoned() found, this instance's folder in
    // place of its own: its lock is taken, so no other instance can take it
    // too, and everything in it stays where it is - a document left there
    // is taken up without moving a file.  False, with nothing changed, when
    // another instance holds it (or it is not this user's).
    bool Adopt(const std::filesystem::path& folder);
    // Gives the adopted folder up again, as it is, for another instance or
    // another try, and takes back the instance's own.
    void Abandon();

private:
    void RegisterForSignals();

    std::string path_;
    int lockFd_ = -1;
    std::string ownPath_;   // while a folder is adopted: the instance's own, removed at the end
    int ownLockFd_ = -1;
    std::unique_ptr<RemovedOnSignal> lockCleanup_;
    std::unique_ptr<RemovedOnSignal> folderCleanup_;
};

} // namespace velmora
