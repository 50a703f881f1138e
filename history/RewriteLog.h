#pragma once

#include "PageWitness.h"

#include "platform/File.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The phases a rewrite of the working file notes in its log.
enum RewritePhase : std::uint32_t {
    MovePhase = 1,  // bytes that stay closing up (a cut), or moving back (its undo)
    CutPhase,       // the file cut at its new length
    HeaderPhase,    // the header's sizes patched
    ScalePhase,     // a block's samples rescaled (Volume, a fade)
    PutBackPhase,   // the kept pieces written back (undo)
    RestorePhase,   // a block's samples put back from their remainders (undo)
    JoinPhase,      // a clean join's crossfade written after a cut's move
};

// Where a rewrite of the working file notes every block before it writes
// it, so that a rewrite cut off anywhere - the program killed, or the
// power - can be finished or taken back exactly: which phase, which block,
// the bytes of the working file it covers, and the page witnesses that
// tell how far the block's write got.  A note goes to the disk before its
// block is written, and only once every block noted before it is there:
// whatever a cut leaves, only the last noted block may be partly written.
// Each rewrite has a number; notes of another rewrite are never read as
// its own.
class RewriteLog {
public:
    struct Note {
        std::uint32_t Phase = 0;     // the rewrite's own numbering of its phases
        std::uint64_t Op = 0;        // the block's index within its phase
        std::uint64_t Offset = 0;    // bytes of the working file the block is written at
        std::uint64_t Length = 0;    // bytes
        std::uint64_t Extra = 0;     // what else the rewrite needs to resume (bytes of the journal, ...)
        std::vector<PageWitness> Witnesses;  // one per page part of the block; may be empty
    };

    // The largest block a note can witness (bytes).
    static constexpr std::size_t MostBlockBytes = 1u << 20;

    RewriteLog();
    RewriteLog(RewriteLog&&) noexcept;
    RewriteLog& operator=(RewriteLog&&) noexcept;
    ~RewriteLog();

    // The log at path, created when missing; not open when it could not be.
    static RewriteLog Open(const std::string& path);
    explicit operator bool() const { return static_cast<bool>(file_); }

    // Rewrite number `rewrite` begins: nothing of it is noted yet.  False
    // when that could not be put on the disk.
    bool Begin(std::uint64_t rewrite);
    // The block of note is about to be written to target (the working
    // file): what target holds so far goes to the disk, then the note.  Its
    // witnesses, when any, cover PagePartCount(Offset, Length) parts.
    // False when either failed: the block must not be written then.
    bool Write(File& target, std::uint32_t phase, std::uint64_t op, std::uint64_t offset, std::uint64_t length,
               std::uint64_t extra, const std::vector<PageWitness>& witnesses);
    // The last block noted by rewrite number `rewrite`; nothing when it
    // noted none (or the log belongs to another).  Notes written after it
    // continue its rewrite.
    std::optional<Note> Last(std::uint64_t rewrite);

private:
    File file_;
    std::uint64_t rewrite_ = 0;
    std::uint64_t noted_ = 0;
};

} // namespace velmora
