#include "Zoom.h"

#include "ColumnPeakScan.h"
#include "Document.h"
#include "RecoveryManifest.h"

#include "platform/File.h"
#include "platform/UserDialogs.h"

#include <algorithm>
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

bool IsZoomStep(std::int32_t framesPerColumn)
{
    return std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn) !=
           std::end(ZoomSteps);
}

std::int32_t ZoomInStep(std::int32_t framesPerColumn)
{
    const auto* it = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn);
    if (it == std::end(ZoomSteps) || it + 1 == std::end(ZoomSteps))
        return framesPerColumn;
    return *(it + 1);
}

std::int32_t ZoomOutStep(std::int32_t framesPerColumn)
{
    const auto* it = std::find(std::begin(ZoomSteps), std::end(ZoomSteps), framesPerColumn);
    if (it == std::end(ZoomSteps) || it == std::begin(ZoomSteps))
        return framesPerColumn;
    return *(it - 1);
}

} // namespace velmora
