#pragma once

#include <cstdint>
#include <limits>

namespace velmora {

class File;

// How an edit body ended.
enum class EditEnd {
    Done,        // the working file was rewritten (or had nothing to change) and rescanned
    NotOpened,   // "Cannot open the temporary file." was shown; nothing changed
    Refused,     // the edit does not apply to this selection; a message was shown, nothing changed
    Failed,      // a read or write of the working file failed part way: "Cannot write the temporary
                 // file." was shown, the file may be partly rewritten, and the document has been
                 // made to describe the file as it now is
};

// Block size of the in-place rewrites: bounded memory whatever the file
// size, few system calls per second of audio.
inline constexpr unsigned EditBlockBytes = 1u << 20;

// What an edit's rewrite asks before it changes bytes of the working file:
// that they are kept for Undo first.  The copy runs beside the rewrite, so
// the rewrite waits only where it would overtake it.
class WriteGate {
public:
    virtual ~WriteGate() = default;
    // The working file, opened for this edit; the rewrite works through a
    // duplicate of it (sharing its lock).
    virtual const File& WorkFile() const = 0;
    // Returns once the bytes below end (bytes of the working file as it was
    // before the edit) are kept, or can no longer be.
    virtual void Before(std::uint64_t end) = 0;
};

// Every byte of the file, for a cut of its end.
inline constexpr std::uint64_t WholeFile = std::numeric_limits<std::uint64_t>::max();

inline void WaitUntilKept(WriteGate* gate, std::uint64_t end)
{
    if (gate != nullptr)
        gate->Before(end);
}

} // namespace velmora
