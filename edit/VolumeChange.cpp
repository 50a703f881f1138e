#include "VolumeChange.h"

#include "EditRange.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"
#include "ScaleLoop.h"
#include "VectorClones.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

namespace velmora {

std::optional<float> GainForPercent(int percent)
{
    for (const VolumeItem& item : VolumeItems) {
        if (std::to_string(percent) + "%" == item.Text)
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

VELMORA_VECTOR_CLONES void ScaleAndKeep(std::uint8_t* samples, std::size_t count, float gain, std::int16_t* lost,
                                        std::int16_t& least, std::int16_t& most)
{
    ScaleSamples<true>(samples, count, gain, lost, &least, &most);
}

VELMORA_VECTOR_CLONES void ScaleAndKeep(std::int16_t* samples, std::size_t count, float gain, std::int16_t* lost,
                                        std::int16_t& least, std::int16_t& most)
{
    ScaleSamples<true>(samples, count, gain, lost, &least, &most);
}

} // namespace

EditEnd RunVolumeBody(Document& doc, float gain, bool mute, Progress& processing,
                      Progress& reloading, UserDialogs& dialogs, WriteGate* gate, RemainderWriter* remainders)
{
    if (gain == 1.0f && !mute)
        return EditEnd::Done;

    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs, gate);
    if (!file)
        return EditEnd::NotOpened;
    // Silence has no peaks; scaled samples are judged as they are written.
    RangePeaks peaks(doc, range);
    bool rewritten = true;
    if (mute) {
        rewritten = SilenceRange(file, doc, range, processing, gate);
    } else {
        // Kept for Undo, the samples are scaled on the reading thread as
        // they are read, their remainders kept and packed in the same pass,
        // and this one writes the packed remainders to the journal between
        // the blocks it writes.
        ReadAhead::Look scaleAsRead;
        if (remainders != nullptr) {
            scaleAsRead = [&doc, gain, remainders](std::uint64_t, std::int16_t* block, std::size_t bytes) {
                WithSamples(doc.BitsPerSample == 8, block, bytes, [&](auto* samples, std::size_t count) {
                    remainders->Keep(count, [&](std::size_t offset, std::size_t part, std::int16_t* lost,
                                                std::int16_t& least, std::int16_t& most) {
                        ScaleAndKeep(samples + offset, part, gain, lost, least, most);
                    });
                });
            };
        }
        rewritten = RewriteRangeInBlocks(
            file, doc, range,
            [gain, &peaks, remainders](std::uint32_t firstFrame, auto* samples, std::size_t count) {
                if (remainders == nullptr)
                    ScaleBlock(samples, count, gain);
                else
                    remainders->WriteReady();
                peaks.Take(firstFrame, samples, count);
            },
            processing, gate, std::move(scaleAsRead));
    }
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

} // namespace velmora
