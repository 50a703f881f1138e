#pragma once

#include <string>

namespace velmora {

// What must not outlive the program when a signal stops it part way: the
// private working folder with its working file, and the temporary output
// of a save in progress.  Registering and unregistering are for the main
// thread; RemoveRegisteredNow may run in a signal handler.
namespace SignalCleanup {

// Adds path (a file, or a folder of files, which goes with all of them);
// returns its slot, or -1 when every slot is taken or the path is too long.
int Register(const std::string& path);
void Unregister(int slot);

// Removes every registered path, files before folders.  Async-signal-safe.
void RemoveRegisteredNow();

} // namespace SignalCleanup

// Registers a path for as long as the object lives.
class RemovedOnSignal {
public:
    explicit RemovedOnSignal(const std::string& path) : slot_(SignalCleanup::Register(path)) {}
    ~RemovedOnSignal() { SignalCleanup::Unregister(slot_); }
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

private:
    int slot_;
};

} // namespace velmora
