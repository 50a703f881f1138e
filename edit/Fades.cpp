#include "Fades.h"

#include "EditRange.h"
#include "SampleRewrite.h"

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
// division does (an exact quotient comes out exact).
template <typename Sample>
void ScalePercent(Sample* samples, std::size_t count, std::int32_t percent)
{
    constexpr bool eightBit = std::is_same_v<Sample, std::uint8_t>;
    constexpr std::int32_t centre = eightBit ? 128 : 0;
    const auto factor = static_cast<float>(percent);
    for (std::size_t i = 0; i < count; ++i) {
        const float product = static_cast<float>(static_cast<std::int32_t>(samples[i]) - centre) * factor;
        const auto v = static_cast<std::int32_t>(product / 100.0f);
        samples[i] = static_cast<Sample>((eightBit ? Clamp8(v) : Clamp16(v)) + centre);
    }
}

EditEnd RunFade(Document& doc, FadeDirection direction, Progress& processing,
                Progress& reloading, UserDialogs& dialogs, WriteGate* gate)
{
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs, gate);
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
                auto* const blockStart = samples;
                const std::size_t blockCount = count;
                std::uint32_t frame = firstFrame;
                while (count > 0) {
                    const std::uint32_t stepIndex = frame / step;
                    const std::uint32_t framesInStep = (stepIndex + 1) * step - frame;
                    const std::size_t piece = std::min<std::size_t>(count, framesInStep * samplesPerFrame);
                    const auto percent = static_cast<std::int32_t>(direction == FadeDirection::In ? stepIndex
                                                                                                   : 100 - stepIndex);
                    ScalePercent(samples, piece, percent);
                    samples += piece;
                    count -= piece;
                    frame += static_cast<std::uint32_t>(piece / samplesPerFrame);
                }
                peaks.Take(firstFrame, blockStart, blockCount);
            },
            processing, gate);
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

EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate)
{
    return RunFade(doc, FadeDirection::In, processing, reloading, dialogs, gate);
}

EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading,
                       UserDialogs& dialogs, WriteGate* gate)
{
    return RunFade(doc, FadeDirection::Out, processing, reloading, dialogs, gate);
}

} // namespace velmora
