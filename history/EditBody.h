#pragma once

#include <cstdint>

namespace velmora {

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

} // namespace velmora
