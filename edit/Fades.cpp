#include "Fades.h"

#include "history/ApplyPlan.h"
#include "history/EditRange.h"
#include "Remainders.h"
#include "ScaleLoop.h"
#include "platform/VectorClones.h"

#include "document/Document.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace velmora {

namespace {

// The samples scaled by percent (FadedSample, clamped), and with Keep
// their remainders (ScaleInPlace).
template <bool Keep, bool Clamp, typename Sample>
[[gnu::always_inline]] inline void ScaleByPercent(Sample* samples, std::size_t count, std::int32_t percent,
                                                  std::int16_t* lost, std::int16_t* least, std::int16_t* most)
{
    constexpr bool eightBit = std::is_same_v<Sample, std::uint8_t>;
    const auto factor = static_cast<float>(percent);
    ScaleInPlace<Keep>(
        samples, count,
        [factor](std::int32_t x) {
            const std::int32_t v = FadedSample(x, factor);
            return !Clamp ? v : eightBit ? Clamp8(v) : Clamp16(v);
        },
        UnscaleBy(InverseOfPercent(percent)), lost, least, most);
}

// Below 100 % a sample only comes nearer zero, and the clamping has
// nothing to do (at 100 % it still takes -32768 or -128 to one above); the
// steps of a short range may pass 100 % (Fade In) or 0 % (Fade Out).
template <bool Keep, typename Sample>
[[gnu::always_inline]] inline void ScalePercent(Sample* samples, std::size_t count, std::int32_t percent,
                                                std::int16_t* lost, std::int16_t* least = nullptr,
                                                std::int16_t* most = nullptr)
{
    if (percent >= 0 && percent < 100)
        ScaleByPercent<Keep, false>(samples, count, percent, lost, least, most);
    else
        ScaleByPercent<Keep, true>(samples, count, percent, lost, least, most);
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::uint8_t* samples, std::size_t count, std::int32_t percent)
{
    ScalePercent<false>(samples, count, percent, nullptr);
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::int16_t* samples, std::size_t count, std::int32_t percent)
{
    ScalePercent<false>(samples, count, percent, nullptr);
}

VELMORA_VECTOR_CLONES void ScaleBlockKeeping(std::uint8_t* samples, std::size_t count, std::int32_t percent,
                                        std::int16_t* lost, std::int16_t& least, std::int16_t& most)
{
    ScalePercent<true>(samples, count, percent, lost, &least, &most);
}

VELMORA_VECTOR_CLONES void ScaleBlockKeeping(std::int16_t* samples, std::size_t count, std::int32_t percent,
                                        std::int16_t* lost, std::int16_t& least, std::int16_t& most)
{
    ScalePercent<true>(samples, count, percent, lost, &least, &most);
}

// A fade's scaling: the percentage steps down (Fade Out) or up (Fade In)
// every step frames.
class FadeScaling final : public SampleScaling {
public:
    FadeScaling(FadeSteps steps, std::size_t samplesPerFrame)
        : percents_(std::move(steps.Percents)), step_(steps.StepFrames), samplesPerFrame_(samplesPerFrame)
    {
    }

    void Scale(std::uint64_t first, std::uint8_t* samples, std::size_t count) const override
    {
        ScalePieces(first, samples, count);
    }
    void Scale(std::uint64_t first, std::int16_t* samples, std::size_t count) const override
    {
        ScalePieces(first, samples, count);
    }
    void ScaleAndKeep(std::uint64_t first, std::uint8_t* samples, std::size_t count, std::int16_t* lost,
                      std::int16_t& least, std::int16_t& most) const override
    {
        KeepPieces(first, samples, count, lost, least, most);
    }
    void ScaleAndKeep(std::uint64_t first, std::int16_t* samples, std::size_t count, std::int16_t* lost,
                      std::int16_t& least, std::int16_t& most) const override
    {
        KeepPieces(first, samples, count, lost, least, most);
    }
    void Restore(std::uint64_t first, std::uint8_t* samples, std::size_t count, const std::int16_t* lost) const override
    {
        RestorePieces(first, samples, count, lost);
    }
    void Restore(std::uint64_t first, std::int16_t* samples, std::size_t count, const std::int16_t* lost) const override
    {
        RestorePieces(first, samples, count, lost);
    }

private:
    template <typename Sample>
    void ScalePieces(std::uint64_t first, Sample* samples, std::size_t count) const
    {
        ForEachFadePiece(percents_, step_, samplesPerFrame_, first, count,
                         [&](std::size_t start, std::size_t piece, std::int32_t percent) {
                             ScaleBlock(samples + start, piece, percent);
                         });
    }
    template <typename Sample>
    void KeepPieces(std::uint64_t first, Sample* samples, std::size_t count, std::int16_t* lost, std::int16_t& least,
                    std::int16_t& most) const
    {
        std::int16_t low = INT16_MAX;
        std::int16_t high = INT16_MIN;
        ForEachFadePiece(percents_, step_, samplesPerFrame_, first, count,
                         [&](std::size_t start, std::size_t piece, std::int32_t percent) {
                             std::int16_t pieceLeast = 0;
                             std::int16_t pieceMost = 0;
                             ScaleBlockKeeping(samples + start, piece, percent, lost + start, pieceLeast, pieceMost);
                             low = std::min(low, pieceLeast);
                             high = std::max(high, pieceMost);
                         });
        least = low;
        most = high;
    }
    template <typename Sample>
    void RestorePieces(std::uint64_t first, Sample* samples, std::size_t count, const std::int16_t* lost) const
    {
        ForEachFadePiece(percents_, step_, samplesPerFrame_, first, count,
                         [&](std::size_t start, std::size_t piece, std::int32_t percent) {
                             RestoreBlock(samples + start, piece, lost + start, InverseOfPercent(percent));
                         });
    }

    std::vector<std::int32_t> percents_;
    std::uint32_t step_;  // L, frames per percentage step
    std::size_t samplesPerFrame_;
};

} // namespace

float InverseOfPercent(std::int32_t percent)
{
    return InverseOfScale(percent / 100.0);
}

FadePercents FadePercentsOf(bool fadeIn, FadeShape shape)
{
    FadePercents percents{};
    for (std::size_t i = 0; i < percents.size(); ++i) {
        const auto linear = static_cast<std::int32_t>(fadeIn ? i : 100 - i);
        const double x = linear / 100.0;  // where the fade stands, 0 silent .. 1 full
        double gain = x;
        switch (shape) {
        case FadeShape::Linear: break;
        case FadeShape::Logarithmic: gain = std::log10(1 + 9 * x); break;
        case FadeShape::Exponential: gain = (std::pow(10.0, x) - 1) / 9; break;
        case FadeShape::SCurve: gain = (1 - std::cos(std::numbers::pi * x)) / 2; break;
        }
        percents[i] = shape == FadeShape::Linear ? linear : static_cast<std::int32_t>(std::lround(gain * 100));
    }
    return percents;
}

FadeSteps FadeStepsOf(bool fadeIn, FadeShape shape, std::uint32_t rangeFrames)
{
    const FadePercents hundred = FadePercentsOf(fadeIn, shape);
    FadeSteps steps;
    if (rangeFrames >= hundred.size()) {
        steps.Percents.assign(hundred.begin(), hundred.end());
        steps.StepFrames = rangeFrames / static_cast<std::uint32_t>(hundred.size());
        return steps;
    }
    for (std::uint32_t i = 0; i < rangeFrames; ++i)
        steps.Percents.push_back(hundred[i * hundred.size() / rangeFrames]);
    return steps;
}

std::shared_ptr<const SampleScaling> FadeScalingOf(bool fadeIn, std::uint32_t rangeFrames, std::size_t samplesPerFrame,
                                                   FadeShape shape)
{
    if (rangeFrames == 0)
        return nullptr;
    return std::make_shared<FadeScaling>(FadeStepsOf(fadeIn, shape, rangeFrames), samplesPerFrame);
}

EditPlan PlanFade(const Document& doc, bool fadeIn, FadeShape shape)
{
    EditPlan plan;
    plan.Request = {fadeIn ? EditCommand::FadeIn : EditCommand::FadeOut};
    plan.Request.Shape = shape;
    plan.What = EditPlan::Kind::Scale;
    plan.Range = EditRangeOf(doc);
    plan.Scaling = FadeScalingOf(fadeIn, plan.Range.Frames, doc.Channels == 1 ? 1 : 2, shape);
    return plan;
}

EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    return ApplyPlan(doc, PlanFade(doc, true), processing, reloading, dialogs);
}

EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    return ApplyPlan(doc, PlanFade(doc, false), processing, reloading, dialogs);
}

} // namespace velmora
