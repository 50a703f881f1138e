#pragma once

#include "EditRange.h"

#include "EditHistory.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

struct Document;

// How Volume or a fade rescales the samples of its range.  Samples are
// those of the range as the file holds them (8-bit unsigned around 128,
// 16-bit signed), counted over the channels: sample s of the range belongs
// to its frame s / (1 for mono, 2 otherwise); first is the index of
// samples[0].  What the scaling takes from each sample, its remainder
// (Remainders.h), is all Restore needs to bring the sample back from its
// new value: the scaling is one that a compact record can invert.
class SampleScaling {
public:
    virtual ~SampleScaling() = default;
    virtual void Scale(std::uint64_t first, std::uint8_t* samples, std::size_t count) const = 0;
    virtual void Scale(std::uint64_t first, std::int16_t* samples, std::size_t count) const = 0;
    // Scale, and each sample's remainder into lost, the least and the most
    // of them into least and most.
    virtual void ScaleAndKeep(std::uint64_t first, std::uint8_t* samples, std::size_t count, std::int16_t* lost,
                              std::int16_t& least, std::int16_t& most) const = 0;
    virtual void ScaleAndKeep(std::uint64_t first, std::int16_t* samples, std::size_t count, std::int16_t* lost,
                              std::int16_t& least, std::int16_t& most) const = 0;
    // The samples Scale made, back as they were, from their remainders.
    virtual void Restore(std::uint64_t first, std::uint8_t* samples, std::size_t count,
                         const std::int16_t* lost) const = 0;
    virtual void Restore(std::uint64_t first, std::int16_t* samples, std::size_t count,
                         const std::int16_t* lost) const = 0;
};

// Samples a cut writes once its bytes have closed up (a clean join's
// crossfade): Bytes at NewOffset of the working file as the cut leaves it,
// which held, before the cut, what lies at OldOffset.  Undo keeps those.
struct JoinPatch {
    std::uint64_t OldOffset = 0;  // bytes of the working file before the cut
    std::uint64_t NewOffset = 0;  // bytes of the working file after the cut
    std::vector<unsigned char> Bytes;
};

// What an edit will do to the working file, declared before it changes a
// byte: which bytes it destroys and how.  The edit itself (ApplyPlan) and
// the history that keeps it for Undo both work from it.
struct EditPlan {
    enum class Kind {
        Unchanged,  // no byte changes and the file is not opened (Volume at 100 %)
        Overwrite,  // the range is written over without being read: silence (mute)
        Scale,      // every sample of the range is rescaled in place (Volume, the fades)
        Cut,        // the range goes (Delete) or all else does (Cut Out); the rest closes up
    };
    EditRequest Request;
    Kind What = Kind::Unchanged;
    EditRange Range;
    std::shared_ptr<const SampleScaling> Scaling;  // Scale
    std::vector<JoinPatch> Patches;                // Cut, with clean joins
};

// How the history gets back the scaling of a step it takes back: the
// edits' own table gives it, for a range of rangeFrames frames (nothing
// for an edit that does not rescale); the history knows no edit.
using ScalingSource = std::shared_ptr<const SampleScaling> (*)(const EditRequest& request,
                                                               std::uint32_t rangeFrames,
                                                               std::size_t samplesPerFrame);

} // namespace velmora
