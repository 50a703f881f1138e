#include "SignalCleanup.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace velmora::SignalCleanup {

namespace {

constexpr int Slots = 8;
constexpr std::size_t MaxPath = 4096;

// A slot's path is written while the slot is not in use and only then
// marked in use, so a handler never sees half a path.
struct Slot {
    std::atomic<bool> InUse{false};
    char Path[MaxPath] = {};
};
Slot g_slots[Slots];

static_assert(std::atomic<bool>::is_always_lock_free, "safe in a signal handler");

// Unlinks every entry of a folder (the private folder holds files only:
// the journal's set-aside files among them, which nobody registers).  Only
// system calls, so safe in a signal handler.  Entries unlinked while the
// folder is read may hide others, so it is read again until it is empty.
void EmptyFolder(const char* folder)
{
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    alignas(dirent64) char buffer[4096];
    for (int pass = 0; pass < 8; ++pass) {
        bool removed = false;
        ::lseek(fd, 0, SEEK_SET);
        for (ssize_t got; (got = ::getdents64(fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
                at += entry->d_reclen;
                const char* name = entry->d_name;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 && ::unlinkat(fd, name, 0) == 0)
                    removed = true;
            }
        }
        if (!removed)
            break;
    }
    ::close(fd);
}

} // namespace

int Register(const std::string& path)
{
    if (path.empty() || path.size() >= MaxPath)
        return -1;
    for (int i = 0; i < Slots; ++i) {
        Slot& slot = g_slots[i];
        if (slot.InUse.load())
            continue;
        std::memcpy(slot.Path, path.c_str(), path.size() + 1);
        slot.InUse.store(true);
        return i;
    }
    return -1;
}

void Unregister(int slot)
{
    if (slot >= 0 && slot < Slots)
        g_slots[slot].InUse.store(false);
}

void RemoveRegisteredNow()
{
    // unlink takes files; rmdir then takes the folders, emptied first of
    // what else they hold.
    for (Slot& slot : g_slots)
        if (slot.InUse.load())
            ::unlink(slot.Path);
    for (Slot& slot : g_slots) {
        if (!slot.InUse.load() || ::rmdir(slot.Path) == 0 || (errno != ENOTEMPTY && errno != EEXIST))
            continue;
        EmptyFolder(slot.Path);
        ::rmdir(slot.Path);
    }
}

} // namespace velmora::SignalCleanup
