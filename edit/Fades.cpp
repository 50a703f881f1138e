#include "Fades.h"

#include "EditRange.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"
#include "VectorClones.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <type_traits>

namespace velmora {

namespace {

enum class FadeDirection { In, Out };

// x * percent / 100, truncating toward zero, clamped - as 32-bit integer
// arithmetic gives it.  Computed in single precision, which the vector
// units take four or eight at a time, with the very same results: x *
// percent is a whole number below 2^22, exact in a float; the quotient,
// correctly rounded, lies within 0.004 of the true one, whose fraction is
// a whole number of hundredths, so truncation lands where integer
// division does (an exact quotient comes out exact).  With lost, also
// each sample's remainder against the inverse.
template <typename Sample>
[[gnu::always_inline]] inline void ScalePercent(Sample* samples, std::size_t count, std::int32_t percent,
                                                std::int16_t* lost)
{
    constexpr bool eightBit = std::is_same_v<Sample, std::uint8_t>;
    constexpr std::int32_t centre = eightBit ? 128 : 0;
    const auto factor = static_cast<float>(percent);
    auto scale = [factor](std::int32_t x) {
        const auto v = static_cast<std::int32_t>(static_cast<float>(x) * factor / 100.0f);
        return eightBit ? Clamp8(v) : Clamp16(v);
    };
    if (lost == nullptr) {
        for (std::size_t i = 0; i < count; ++i)
            samples[i] = static_cast<Sample>(scale(static_cast<std::int32_t>(samples[i]) - centre) + centre);
        return;
    }
    const float inverse = InverseOfPercent(percent);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t x = static_cast<std::int32_t>(samples[i]) - centre;
        const std::int32_t y = scale(x);
        samples[i] = static_cast<Sample>(y + centre);
        lost[i] = KeepRemainder(x, y, inverse);
    }
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::uint8_t* samples, std::size_t count, std::int32_t percent,
                                      std::int16_t* lost)
{
    ScalePercent(samples, count, percent, lost);
}

VELMORA_VECTOR_CLONES void ScaleBlock(std::int16_t* samples, std::size_t count, std::int32_t percent,
                                      std::int16_t* lost)
{
    ScalePercent(samples, count, percent, lost);
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
        // Each block is cut where the percentage steps, and every piece is
        // scaled by one percentage.
        const bool rewritten = RewriteRangeInBlocks(
            file, doc, range,
            [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
                std::int16_t* lost = remainders != nullptr ? remainders->Room(count) : nullptr;
                ForEachFadePiece(direction == FadeDirection::In, step, samplesPerFrame, firstFrame, count,
                                 [&](std::size_t offset, std::size_t piece, std::int32_t percent) {
                                     ScaleBlock(samples + offset, piece, percent,
                                                  lost != nullptr ? lost + offset : nullptr);
                                 });
                if (remainders != nullptr)
                    remainders->Take(count);
                peaks.Take(firstFrame, samples, count);
            },
            processing);
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
