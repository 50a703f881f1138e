#include "VolumeChange.h"

#include "EditRange.h"
#include "SampleRewrite.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

#include <string>

namespace velmora {

std::optional<float> GainForPercent(int percent)
{
    for (const VolumeItem& item : VolumeItems) {
        if (std::to_string(percent) + "%" == item.Text)
            return item.Gain;
    }
    return std::nullopt;
}

EditEnd RunVolumeBody(Document& doc, float gain, bool mute, Progress& processing,
                      Progress& reloading, UserDialogs& dialogs)
{
    if (gain == 1.0f && !mute)
        return EditEnd::Done;

    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    bool rewritten = true;
    if (mute) {
        rewritten = SilenceRange(file, doc, range, processing);
    } else {
        const double factor = gain;
        if (doc.BitsPerSample == 8) {
            rewritten = RewriteRangeSamples(
                file, doc, range,
                [factor](std::uint32_t, std::int32_t x) {
                    return Clamp8(static_cast<std::int64_t>(x * factor));
                },
                processing);
        } else {
            rewritten = RewriteRangeSamples(
                file, doc, range,
                [factor](std::uint32_t, std::int32_t x) {
                    return Clamp16(static_cast<std::int64_t>(x * factor));
                },
                processing);
        }
    }
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
    return EditEnd::Done;
}

} // namespace velmora
