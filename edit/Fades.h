#pragma once

#include "history/EditBody.h"
#include "history/EditPlan.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// x * percent / 100 truncated toward zero, exactly as 32-bit integer
// division gives it, for every sample x (-32768..32767) and percentage
// (0..100), without a division, which the vector units do slowly.  The
// product x * percent is a whole number below 2^22, exact in a float.  Its
// hundredth, as a product with the float nearest 0.01, lies within 0.003
// of the true quotient, whose fraction is a whole number of hundredths;
// 0.005 more, away from zero, rounded to a float (steps of at most 0.004),
// lies strictly between the true quotient and the next hundredth, so
// truncation lands where integer division does.  A test checks every pair.
inline std::int32_t FadedSample(std::int32_t x, float percent)
{
    const float product = static_cast<float>(x) * percent;
    return static_cast<std::int32_t>(product * 0.01f + std::copysign(0.005f, product));
}

// The percentage of each of a fade's hundred steps: for the linear shape
// i (Fade In) or 100 - i (Fade Out) for step i; for the others the shape's
// gain at the same point, to the nearest whole percent.
using FadePercents = std::array<std::int32_t, 100>;
FadePercents FadePercentsOf(bool fadeIn, FadeShape shape);

// The percentages of a fade of rangeFrames frames, a step each, and the
// frames of a step: the hundred steps of rangeFrames / 100 frames; a range
// shorter than a hundred frames takes a step a frame, frame i the
// percentage of step i * 100 / rangeFrames (exactly where it stands in
// the hundred).  Empty for an empty range.
struct FadeSteps {
    std::vector<std::int32_t> Percents;
    std::uint32_t StepFrames = 1;  // frames
};
FadeSteps FadeStepsOf(bool fadeIn, FadeShape shape, std::uint32_t rangeFrames);

// The pieces of count samples, from sample firstSample of a fade's range
// on (counted over the channels, samplesPerFrame to a frame), that take
// one percentage each, with step frames to a percentage (L, at least 1):
// piece(offset, samples, percent), offset and samples counted in samples.
// A range that is no whole number of steps (one that runs to the end of
// the audio) ends in its last step: the frames past the last step take
// the last step's percentage.
template <typename Piece>
void ForEachFadePiece(const std::vector<std::int32_t>& percents, std::uint32_t step, std::size_t samplesPerFrame,
                      std::uint64_t firstSample, std::size_t count, Piece piece)
{
    if (percents.empty())
        return;
    const std::uint64_t LastStep = percents.size() - 1;
    std::size_t offset = 0;
    std::uint64_t sample = firstSample;
    while (offset < count) {
        const std::uint64_t stepIndex = std::min(sample / samplesPerFrame / step, LastStep);
        const std::uint64_t stepEnd = stepIndex == LastStep ? UINT64_MAX
                                                            : (stepIndex + 1) * step * samplesPerFrame;  // samples
        const auto samples = static_cast<std::size_t>(std::min<std::uint64_t>(count - offset, stepEnd - sample));
        piece(offset, samples, percents[static_cast<std::size_t>(stepIndex)]);
        offset += samples;
        sample += samples;
    }
}

// Fade In and Fade Out: every sample of frame i of the edit range becomes
// x * g / 100 (32-bit integer arithmetic, truncating), clamped, where with
// the step length L = N / 100 frames
//   Fade In:  g = i / L          (0 % for the first L frames ... 99 %)
//   Fade Out: g = 100 - i / L    (100 % for the first L frames ... 1 %)
// with i / L no more than 99 (a range to the end of the audio is no whole
// number of steps: its last frames take the last step); a range of fewer
// than 100 frames takes g = i * 100 / N (Fade In) or 100 - i * 100 / N.
// Both channels of a frame get the same g.  The peaks of the range's
// columns are judged into the existing arrays as the samples are written.
EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);
EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);

// A fade's scaling over a range of rangeFrames frames (FadeStepsOf);
// nullptr for an empty range.
std::shared_ptr<const SampleScaling> FadeScalingOf(bool fadeIn, std::uint32_t rangeFrames, std::size_t samplesPerFrame,
                                                   FadeShape shape = FadeShape::Linear);

// What a fade declares: every sample of the range scaled as above, with
// the shape's percentages.
EditPlan PlanFade(const Document& doc, bool fadeIn, FadeShape shape = FadeShape::Linear);

// The inverse of a fade's percent / 100, as its remainders are kept.
float InverseOfPercent(std::int32_t percent);

} // namespace velmora
