#include "VolumeChange.h"

#include "EditRange.h"
#include "SampleRewrite.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

#include <string>
#include <type_traits>

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
// faster.
template <typename Sample>
void ScaleSamples(Sample* samples, std::size_t count, float gain)
{
    constexpr bool eightBit = std::is_same_v<Sample, std::uint8_t>;
    constexpr std::int32_t centre = eightBit ? 128 : 0;
    const double quarters = static_cast<double>(gain) * 4;
    if (quarters == static_cast<std::int32_t>(quarters) && quarters >= 0 && quarters <= 64) {
        // A whole number of quarters times a sample needs at most 23 bits:
        // exact in single precision, which the vector units take four or
        // eight at a time.
        const float factor = gain;
        for (std::size_t i = 0; i < count; ++i) {
            const auto v = static_cast<std::int32_t>(static_cast<float>(static_cast<std::int32_t>(samples[i]) - centre) * factor);
            samples[i] = static_cast<Sample>((eightBit ? Clamp8(v) : Clamp16(v)) + centre);
        }
        return;
    }
    const double factor = gain;
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::int64_t>((static_cast<std::int32_t>(samples[i]) - centre) * factor);
        samples[i] = static_cast<Sample>((eightBit ? Clamp8(v) : Clamp16(v)) + centre);
    }
}

} // namespace

EditEnd RunVolumeBody(Document& doc, float gain, bool mute, Progress& processing,
                      Progress& reloading, UserDialogs& dialogs, WriteGate* gate)
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
        rewritten = RewriteRangeInBlocks(
            file, doc, range,
            [gain, &peaks](std::uint32_t firstFrame, auto* samples, std::size_t count) {
                ScaleSamples(samples, count, gain);
                peaks.Take(firstFrame, samples, count);
            },
            processing, gate);
    }
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

} // namespace velmora
