#include "Fades.h"

#include "EditRange.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"
#include "ScaleLoop.h"
#include "VectorClones.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace velmora {

namespace {

enum class FadeDirection { In, Out };

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

VELMORA_VECTOR_CLONES void ScaleAndKeep(std::uint8_t* samples, std::size_t count, std::int32_t percent,
                                        std::int16_t* lost, std::int16_t& least, std::int16_t& most)
{
    ScalePercent<true>(samples, count, percent, lost, &least, &most);
}

VELMORA_VECTOR_CLONES void ScaleAndKeep(std::int16_t* samples, std::size_t count, std::int32_t percent,
                                        std::int16_t* lost, std::int16_t& least, std::int16_t& most)
{
    ScalePercent<true>(samples, count, percent, lost, &least, &most);
}

EditEnd RunFade(Document& doc, FadeDirection direction, Progress& processing,
                Progress& reloading, UserDialogs& dialogs, RemainderWriter* remainders)
{
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const std::uint32_t step = range.Frames / 100;  // L, frames per percentage step
    RangePeaks peaks(doc, range);
    if (step > 0) {
        const std::size_t samplesPerFrame = doc.Channels == 1 ? 1 : 2;
        const bool fadeIn = direction == FadeDirection::In;
        // Each block is cut where the percentage steps, and every piece is
        // scaled by one percentage.  When the edit is kept for Undo, the
        // reading thread scales the samples as it reads them, keeping and
        // packing their remainders in the same pass, and this one writes the
        // packed remainders to the journal between the blocks it writes:
        // the two threads then share the work about evenly.
        auto scaleBlock = [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
            ForEachFadePiece(fadeIn, step, samplesPerFrame, firstFrame, count,
                             [&](std::size_t start, std::size_t piece, std::int32_t percent) {
                                 if (remainders == nullptr) {
                                     ScaleBlock(samples + start, piece, percent);
                                     return;
                                 }
                                 remainders->Keep(piece, [&](std::size_t at, std::size_t part, std::int16_t* lost,
                                                             std::int16_t& least, std::int16_t& most) {
                                     ScaleAndKeep(samples + start + at, part, percent, lost, least, most);
                                 });
                             });
        };
        ReadAhead::Look scaleAsRead;
        if (remainders != nullptr) {
            scaleAsRead = [&](std::uint64_t offset, std::int16_t* block, std::size_t bytes) {
                const auto firstFrame = static_cast<std::uint32_t>(offset / static_cast<std::uint64_t>(doc.FrameSize));
                WithSamples(doc.BitsPerSample == 8, block, bytes,
                            [&](auto* samples, std::size_t count) { scaleBlock(firstFrame, samples, count); });
            };
        }
        const bool rewritten = RewriteRangeInBlocks(
            file, doc, range,
            [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
                if (remainders == nullptr)
                    scaleBlock(firstFrame, samples, count);
                else
                    remainders->WriteReady();
                peaks.Take(firstFrame, samples, count);
            },
            processing, nullptr, std::move(scaleAsRead));
        if (!rewritten)
            return FailRewrite(file, doc, reloading, dialogs);
    }
    // The columns of the range were judged as they were written; the
    // others did not change.
    peaks.StoreInto(doc);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

} // namespace

float InverseOfPercent(std::int32_t percent)
{
    return InverseOfScale(percent / 100.0);
}

EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, RemainderWriter* remainders)
{
    return RunFade(doc, FadeDirection::In, processing, reloading, dialogs, remainders);
}

EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading,
                       UserDialogs& dialogs, RemainderWriter* remainders)
{
    return RunFade(doc, FadeDirection::Out, processing, reloading, dialogs, remainders);
}

} // namespace velmora
