#include "Zoom.h"

#include "ColumnPeakScan.h"
#include "Document.h"
#include "RecoveryManifest.h"

#include "platform/File.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace velmora {

bool RunReloadBody(Document& doc, Progress& bar, UserDialogs& dialogs)
{
    // The columns follow the new zoom even when the file cannot be read,
    // so that columns, markers and peaks always agree.
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    doc.PeakUpper.assign(doc.ColumnCount, 0);
    doc.PeakLower.assign(doc.ColumnCount, 0);
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (!file) {
        dialogs.ShowMessage("Cannot open the temporary file.");
        return false;
    }
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, bar);
    return true;
}

bool ApplyZoomChange(Document& doc, std::int32_t framesPerColumn, Progress& bar,
                     UserDialogs& dialogs)
{
    if (doc.FramesPerColumn == framesPerColumn)
        return false;
    doc.FramesPerColumn = framesPerColumn;
    RunReloadBody(doc, bar, dialogs);
    SelectAll(doc);
    doc.History.ForgetRedo();  // redo steps name columns of the old zoom
    KeepManifest(doc);
    return true;
}

std::string ZoomRatiosText()
{
    std::string text;
    for (std::int32_t step : ZoomSteps)
        text += (text.empty() ? "" : ", ") + std::to_string(step / ZoomRatioFrames);
    return text;
}

bool IsZoomStep(std::int32_t framesPerColumn)
{
    return std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn) !=
           std::end(ZoomSteps);
}

std::int32_t WholeFileFramesPerColumn(std::uint32_t totalFrames, std::uint32_t viewColumns)
{
    constexpr std::uint64_t Unit = 1000;
    const std::uint64_t perUnit = Unit * std::max<std::uint32_t>(viewColumns, 1);
    // No more than a 32-bit column width can hold (a view a pixel wide).
    constexpr std::uint64_t MaxUnits = INT32_MAX / Unit;
    const std::uint64_t units = std::clamp<std::uint64_t>((totalFrames + perUnit - 1) / perUnit, 1, MaxUnits);
    return static_cast<std::int32_t>(units * Unit);
}

bool IsValidFramesPerColumn(std::int32_t framesPerColumn)
{
    return framesPerColumn >= 1000 && framesPerColumn % 1000 == 0;
}

std::int32_t ZoomInStep(std::int32_t framesPerColumn)
{
    if (!IsZoomStep(framesPerColumn)) {
        // Steps run from coarse to fine: the first finer than this one.
        for (std::int32_t step : ZoomSteps) {
            if (step < framesPerColumn)
                return step;
        }
        return framesPerColumn;
    }
    const auto* it = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn);
    if (it == std::end(ZoomSteps) || it + 1 == std::end(ZoomSteps))
        return framesPerColumn;
    return *(it + 1);
}

std::int32_t ZoomOutStep(std::int32_t framesPerColumn)
{
    if (!IsZoomStep(framesPerColumn)) {
        // The last (finest) step coarser than this one.
        for (auto it = std::rbegin(ZoomSteps); it != std::rend(ZoomSteps); ++it) {
            if (*it > framesPerColumn)
                return *it;
        }
        return framesPerColumn;
    }
    const auto* it = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn);
    if (it == std::end(ZoomSteps) || it == std::begin(ZoomSteps))
        return framesPerColumn;
    return *(it - 1);
}

} // namespace velmora
