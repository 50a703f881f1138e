#pragma once

#include "EditPlan.h"
#include "RewriteLog.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

class File;
struct CutLayout;

// What keeping a step does while the one engine (ApplyPlan) runs the
// step's plan on the working file.  A step nothing keeps - an edit without
// Undo - runs with these as they are: a plain rescaling, no notes, a cut
// in place or into a new file by what it copies.  Each way of keeping a
// step (Keeping.h) overrides what it needs.
class RunHooks {
public:
    virtual ~RunHooks() = default;

    // A rescaling's block on the reading thread, as read, in file order:
    // its samples rescaled in place (8-bit or 16-bit as the file holds
    // them, counted over the channels; firstSample the block's first of
    // the range), and kept where the step keeps what a rescaling takes.
    virtual void ScaleBlock(const SampleScaling& scaling, std::uint64_t firstSample, std::int16_t* block,
                            std::size_t bytes, bool eightBit);

    // Before a block of the rewrite (phase) goes to work, the working
    // file: op its index within the phase, offset and bytes where it goes
    // (a cut's cut and header phases give what the log takes of them).
    // False stops the run: what keeps the step failed.
    virtual bool BeforeWrite(File& work, RewritePhase phase, std::uint64_t op, std::uint64_t offset,
                             std::size_t bytes);

    // After a rescaling's last block: false when what keeps the step failed.
    virtual bool AfterRescale();

    // Whether a cut writes what stays into a new file that takes the
    // working file's name, rather than closing up in place: where that
    // copies at most half the file and the folder has room for it.
    virtual bool CutsIntoNewFile(const std::string& workFile, const CutLayout& layout, std::uint64_t fileLength);

    // The bytes of a block of a cut's move in place.
    virtual std::size_t MoveBlockBytes(std::uint64_t distance);

    // The new file at newPath (fresh, written in full) takes the working
    // file's name from old: old is let go on a thread of its own (freeing
    // a long file's blocks takes a while).  False when the name could not
    // be taken.
    virtual bool PutInPlace(File& fresh, const std::string& newPath, const std::string& workFile, File& old);

    // Whether what keeps the step failed, which stopped the run: the edit
    // must then be taken back as far as its notes say.
    bool KeepingFailed() const { return keepingFailed_; }

protected:
    bool keepingFailed_ = false;
};

} // namespace velmora
