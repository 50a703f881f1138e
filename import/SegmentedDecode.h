#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class File;
class ProgressMeter;

enum class SegmentedEnd {
    Decoded,      // the whole sound is in the working file
    Cancelled,    // the user stopped it; the working file holds a part
    Failed,       // a write failed; the working file holds a part
    TooLong,      // the sound passed maxBytes; the working file holds a part
    NotPossible,  // the file cannot be split exactly: nothing was written, decode it in one piece
};

struct SegmentedResult {
    SegmentedEnd End = SegmentedEnd::NotPossible;
    std::uint64_t Bytes = 0;  // bytes of sound written after the header
};

// Decodes sourceFile into work from byte offset on, in as many segments as
// the machine has cores, each on a thread of its own: the first on this
// thread straight into the working file, the others too where the packets
// before them tell where they begin (MPEG audio, WMA without the bit
// reservoir), otherwise into part files (partPrefix + number) that are
// copied in after it, inside the kernel.
// The bytes are exactly those of the one sequential decode: every segment
// starts its decoder a few packets early and drops what those decode to,
// and a stream that changes its format on the way, or whose packets have
// no place in the file, is left to the sequential decode (NotPossible,
// the working file as it was).  meter shows decoded bytes of
// estimatedBytes and carries the stop request; maxBytes bounds the sound.
// segments 0 means one a core (at most 8).
SegmentedResult DecodeInSegments(const std::string& sourceFile, File& work, std::uint64_t offset,
                                 std::uint64_t estimatedBytes, std::uint64_t maxBytes, const std::string& partPrefix,
                                 ProgressMeter& meter, unsigned segments = 0);

// Decodes sourceFile into work from byte offset on: in segments where
// DecodeInSegments can, else in one piece through the same channel, so
// that every open takes one decoder and delivers the same bytes.  Never
// NotPossible; the other ends as for DecodeInSegments.
SegmentedResult DecodeSound(const std::string& sourceFile, File& work, std::uint64_t offset,
                            std::uint64_t estimatedBytes, std::uint64_t maxBytes, const std::string& partPrefix,
                            ProgressMeter& meter);

} // namespace velmora
