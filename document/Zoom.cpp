#include "Zoom.h"

#include "ColumnPeakScan.h"

#include "platform/File.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace velmora {

namespace {

// Every step, coarsest first: the six, then the fine ones.
std::vector<ZoomLevel> AllSteps()
{
    std::vector<ZoomLevel> steps(std::begin(ZoomSteps), std::end(ZoomSteps));
    steps.insert(steps.end(), std::begin(FineZoomSteps), std::end(FineZoomSteps));
    return steps;
}

} // namespace

bool RunReloadBody(Document& doc, Progress& bar, UserDialogs& dialogs)
{
    // The columns follow the new zoom even when the file cannot be read,
    // so that columns, markers and peaks always agree.
    doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
    FollowMarkerFrames(doc);
    doc.PeakUpper.assign(PeakColumns(doc), 0);
    doc.PeakLower.assign(PeakColumns(doc), 0);
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (!file) {
        dialogs.ShowMessage("Cannot open the temporary file.");
        return false;
    }
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, bar);
    return true;
}

bool ApplyZoomChange(Document& doc, ZoomLevel zoom, Progress& bar, UserDialogs& dialogs)
{
    if (ZoomOf(doc) == zoom)
        return false;
    SetZoom(doc, zoom);
    RunReloadBody(doc, bar, dialogs);
    return true;
}

bool IsFinerZoom(ZoomLevel a, ZoomLevel b)
{
    // Frames a pixel: FramesPerColumn / PixelsPerColumn.
    return static_cast<std::int64_t>(a.FramesPerColumn) * b.PixelsPerColumn <
           static_cast<std::int64_t>(b.FramesPerColumn) * a.PixelsPerColumn;
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

ZoomLevel WholeFileZoom(std::uint32_t totalFrames, std::uint32_t viewPixels)
{
    const std::uint64_t view = std::max<std::uint32_t>(viewPixels, 1);
    if (totalFrames > ZoomRatioFrames * view) {
        constexpr std::uint64_t Unit = ZoomRatioFrames;
        // No more than a 32-bit column width can hold (a view a pixel wide).
        constexpr std::uint64_t MaxUnits = INT32_MAX / Unit;
        const std::uint64_t units = std::clamp<std::uint64_t>((totalFrames + Unit * view - 1) / (Unit * view), 1, MaxUnits);
        return static_cast<std::int32_t>(units * Unit);
    }
    if (totalFrames > view)
        return static_cast<std::int32_t>((totalFrames + view - 1) / view);
    if (totalFrames == 0)
        return FinestZoom;
    const auto pixels = static_cast<std::int32_t>(std::min<std::uint64_t>(view / totalFrames, MostPixelsPerFrame));
    return {1, std::max(pixels, 1)};
}

bool IsValidZoom(ZoomLevel zoom)
{
    if (zoom.FramesPerColumn < 1 || zoom.PixelsPerColumn < 1 || zoom.PixelsPerColumn > MostPixelsPerFrame)
        return false;
    return zoom.PixelsPerColumn == 1 || zoom.FramesPerColumn == 1;
}

ZoomLevel ZoomInStep(ZoomLevel zoom)
{
    // Steps run from coarse to fine: the first finer than this one.
    for (ZoomLevel step : AllSteps()) {
        if (IsFinerZoom(step, zoom))
            return step;
    }
    return zoom;
}

ZoomLevel ZoomOutStep(ZoomLevel zoom)
{
    // The last (finest) step coarser than this one.
    const std::vector<ZoomLevel> steps = AllSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (IsFinerZoom(zoom, *it))
            return *it;
    }
    return zoom;
}

std::string FineZoomCaption(ZoomLevel zoom)
{
    // 1 : N, N thousandths of a frame a pixel.
    const std::int64_t n = static_cast<std::int64_t>(ZoomRatioFrames) * std::max(zoom.PixelsPerColumn, 1) /
                           std::max(zoom.FramesPerColumn, 1);
    return "1 : " + std::to_string(n);
}

} // namespace velmora
