#include "SignalCleanup.h"

#include <atomic>
#include <cstring>
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
    // unlink takes files; rmdir then takes the folders they emptied.
    for (Slot& slot : g_slots)
        if (slot.InUse.load())
            ::unlink(slot.Path);
    for (Slot& slot : g_slots)
        if (slot.InUse.load())
            ::rmdir(slot.Path);
}

} // namespace velmora::SignalCleanup
