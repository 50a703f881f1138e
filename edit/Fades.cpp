#include "Fades.h"

#include "EditRange.h"
#include "SampleRewrite.h"

#include "document/ColumnPeakScan.h"
#include "platform/UserDialogs.h"

namespace velmora {

namespace {

enum class FadeDirection { In, Out };

EditEnd RunFade(Document& doc, FadeDirection direction, Progress& processing,
                Progress& reloading, UserDialogs& dialogs)
{
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const std::uint32_t step = range.Frames / 100;  // L, frames per percentage step
    if (step > 0) {
        const bool eightBit = (doc.BitsPerSample == 8);
        auto percentOf = [step, direction](std::uint32_t frame) -> std::int32_t {
            const auto rising = static_cast<std::int32_t>(frame / step);
            return direction == FadeDirection::In ? rising : 100 - rising;
        };
        const bool rewritten = RewriteRangeSamples(
            file, doc, range,
            [&](std::uint32_t frame, std::int32_t x) {
                const std::int32_t v = x * percentOf(frame) / 100;
                return eightBit ? Clamp8(v) : Clamp16(v);
            },
            processing);
        if (!rewritten)
            return FailRewrite(file, doc, reloading, dialogs);
    }
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
    return EditEnd::Done;
}

} // namespace

EditEnd RunFadeInBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs)
{
    return RunFade(doc, FadeDirection::In, processing, reloading, dialogs);
}

EditEnd RunFadeOutBody(Document& doc, Progress& processing, Progress& reloading,
                       UserDialogs& dialogs)
{
    return RunFade(doc, FadeDirection::Out, processing, reloading, dialogs);
}

} // namespace velmora
