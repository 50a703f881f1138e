#include "VolumeChange.h"

#include "history/ApplyPlan.h"
#include "history/EditRange.h"
#include "Remainders.h"
#include "ScaleLoop.h"
#include "platform/VectorClones.h"

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

namespace velmora {

std::string VolumeItemText(const VolumeItem& item)
{
    return std::to_string(item.Percent) + "%";
}

std::string VolumePercentsText(const char* separator)
{
    std::string text;
    for (const VolumeItem& item : VolumeItems)
        text += (text.empty() ? "" : separator) + std::to_string(item.Percent);
    return text;
}

std::optional<float> GainForPercent(int percent)
{
    for (const VolumeItem& item : VolumeItems) {
        if (item.Percent == percent)
            return item.Gain;
    }
    return std::nullopt;
}

namespace {

// x * gain computed with more precision than the gain, truncated toward
// zero and clamped.  The list's gains are whole quarters, which makes the
// product an exact quarter, so single precision gives the very same values,
// faster: a whole number of quarters times a sample needs at most 23 bits,
// exact in single precision, which the vector units take four or eight at
// a time.  The samples are scaled in place, and with Keep their remainders
// kept (ScaleInPlace).
template <bool Keep, bool Clamp, typename Sample, typename Factor>
[[gnu::always_inline]] inline void ScaleBy(Sample* samples, std::size_t count, Factor factor, std::int16_t* lost,
                                           std::int16_t* least, std::int16_t* most)
{
    constexpr bool eightBit = std::is_same_v<Sample, std::uint8_t>;
    // Single precision stays in 32 bits, where the vector units convert.
    using Whole = std::conditional_t<std::is_same_v<Factor, float>, std::int32_t, std::int64_t>;
    ScaleInPlace<Keep>(
        samples, count,
        [factor](std::int32_t x) {
            const auto v = static_cast<Whole>(static_cast<Factor>(x) * factor);
            return !Clamp ? static_cast<std::int32_t>(v) : eightBit ? Clamp8(v) : Clamp16(v);
        },
        UnscaleBy(InverseOfScale(factor)), lost, least, most);
}

// 50 % and 25 % as shifts of whole numbers, which the vector units take
// twice as many at a time as floats and without conversions: x / 2^Shift
// truncated toward zero is what the product gives, and y * 2^Shift is
// exactly the estimate Undo makes with the inverse 2^Shift.
template <bool Keep, int Shift, typename Sample>
[[gnu::always_inline]] inline void ShiftDown(Sample* samples, std::size_t count, std::int16_t* lost,
                                             std::int16_t* least, std::int16_t* most)
{
    ScaleInPlace<Keep>(
        samples, count, [](std::int32_t x) { return (x + ((x >> 31) & ((1 << Shift) - 1))) >> Shift; },
        [](std::int32_t y) { return y * (1 << Shift); }, lost, least, most);
}

template <bool Keep, typename Sample>
[[gnu::always_inline]] inline void ScaleSamples(Sample* samples, std::size_t count, float gain, std::int16_t* lost,
                                                std::int16_t* least = nullptr, std::int16_t* most = nullptr)
{
    // A gain below 1 only brings samples nearer zero: nothing to clamp.
    const double quarters = static_cast<double>(gain) * 4;
    if (gain == 0.5f)
        ShiftDown<Keep, 1>(samples, count, lost, least, most);
    else if (gain == 0.25f)
        ShiftDown<Keep, 2>(samples, count, lost, least, most);
    else if (quarters == static_cast<std::int32_t>(quarters) && quarters >= 0 && quarters < 4)
        ScaleBy<Keep, false>(samples, count, gain, lost, least, most);
    else if (quarters == static_cast<std::int32_t>(quarters) && quarters >= 0 && quarters <= 64)
        ScaleBy<Keep, true>(samples, count, gain, lost, least, most);
    else
        ScaleBy<Keep, true>(samples, count, static_cast<double>(gain), lost, least, most);
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::uint8_t* samples, std::size_t count, float gain)
{
    ScaleSamples<false>(samples, count, gain, nullptr);
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::int16_t* samples, std::size_t count, float gain)
{
    ScaleSamples<false>(samples, count, gain, nullptr);
}

VELMORA_VECTOR_CLONES void ScaleBlockKeeping(std::uint8_t* samples, std::size_t count, float gain, std::int16_t* lost,
                                        std::int16_t& least, std::int16_t& most)
{
    ScaleSamples<true>(samples, count, gain, lost, &least, &most);
}

VELMORA_VECTOR_CLONES void ScaleBlockKeeping(std::int16_t* samples, std::size_t count, float gain, std::int16_t* lost,
                                        std::int16_t& least, std::int16_t& most)
{
    ScaleSamples<true>(samples, count, gain, lost, &least, &most);
}

// Volume's scaling: one gain for the whole range.
class VolumeScaling final : public SampleScaling {
public:
    explicit VolumeScaling(float gain) : gain_(gain), inverse_(InverseOfScale(gain)) {}

    void Scale(std::uint64_t, std::uint8_t* samples, std::size_t count) const override
    {
        ScaleBlock(samples, count, gain_);
    }
    void Scale(std::uint64_t, std::int16_t* samples, std::size_t count) const override
    {
        ScaleBlock(samples, count, gain_);
    }
    void ScaleAndKeep(std::uint64_t, std::uint8_t* samples, std::size_t count, std::int16_t* lost,
                      std::int16_t& least, std::int16_t& most) const override
    {
        ScaleBlockKeeping(samples, count, gain_, lost, least, most);
    }
    void ScaleAndKeep(std::uint64_t, std::int16_t* samples, std::size_t count, std::int16_t* lost,
                      std::int16_t& least, std::int16_t& most) const override
    {
        ScaleBlockKeeping(samples, count, gain_, lost, least, most);
    }
    void Restore(std::uint64_t, std::uint8_t* samples, std::size_t count, const std::int16_t* lost) const override
    {
        RestoreBlock(samples, count, lost, inverse_);
    }
    void Restore(std::uint64_t, std::int16_t* samples, std::size_t count, const std::int16_t* lost) const override
    {
        RestoreBlock(samples, count, lost, inverse_);
    }

private:
    float gain_;
    float inverse_;
};

} // namespace

std::shared_ptr<const SampleScaling> VolumeScalingOf(float gain)
{
    return std::make_shared<VolumeScaling>(gain);
}

EditPlan PlanVolume(const Document& doc, float gain, bool mute)
{
    EditPlan plan;
    plan.Request = {EditCommand::Volume, gain, mute};
    plan.Range = EditRangeOf(doc);
    if (mute)
        plan.What = EditPlan::Kind::Overwrite;
    else if (gain != 1.0f) {
        plan.What = EditPlan::Kind::Scale;
        plan.Scaling = VolumeScalingOf(gain);
    }
    return plan;
}

EditEnd RunVolumeBody(Document& doc, float gain, bool mute, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs)
{
    return ApplyPlan(doc, PlanVolume(doc, gain, mute), processing, reloading, dialogs);
}

} // namespace velmora
