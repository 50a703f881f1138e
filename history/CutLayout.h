#pragma once

#include "EditBody.h"
#include "EditPlan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class File;
class Progress;
struct Document;

// How a cut (Delete, Cut Out) goes through the working file: what stays,
// the move that closes it up or the new file it is written into, and the
// document following the new length.

// Bytes [From, To) of the working file.
struct ByteSpan {
    std::uint64_t From = 0;
    std::uint64_t To = 0;
    std::uint64_t Bytes() const { return To > From ? To - From : 0; }
};

// What a cut's plan does to a working file of fileLength bytes, as the
// document now stands: the bytes that stay, in their order (the header
// first), and the move that closes them up in place - ShiftLength bytes at
// ShiftFrom down to ShiftTo - after which the file is cut at NewLength.
struct CutLayout {
    std::vector<ByteSpan> Stays;
    std::uint64_t ShiftTo = 0;      // bytes of the working file
    std::uint64_t ShiftFrom = 0;    // bytes of the working file
    std::uint64_t ShiftLength = 0;  // bytes
    std::uint64_t NewLength = 0;    // bytes
    std::uint64_t KeptBytes() const;
    // The bytes that do not stay, in order: what the cut destroys, with the
    // header, whose sizes it patches.
    std::vector<ByteSpan> Destroyed(std::uint64_t fileLength) const;
};
CutLayout CutLayoutOf(const Document& doc, const EditPlan& plan, std::uint64_t fileLength);

// What a cut keeps of old, laid out as layout says, written into a new
// file at path: the spans that stay, the join patches and the patched
// sizes.  The new file, or one that is not open when that failed (with
// path removed again).  processing shows the bytes copied.
File WriteCutIntoNewFile(File& old, const Document& doc, const EditPlan& plan, const CutLayout& layout,
                         const std::string& path, Progress& processing);

// Writes the plan's join patches into the cut file.
bool WriteJoinPatches(File& file, const EditPlan& plan);

// Once plan's cut made file (the working file as it now is, for a rescan)
// newLength bytes long: the document follows - DataEnd, DataSize,
// DurationSeconds, TotalFrames and ColumnCount recomputed, the peaks of the
// columns that stay kept where the range was whole columns and no join was
// rewritten, rescanned otherwise.  The markers are the caller's.
EditEnd FollowCut(File& file, Document& doc, const EditPlan& plan, std::uint64_t newLength, Progress& reloading);

} // namespace velmora
