#pragma once

#include <cstdint>
#include <string>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// The reload body: rescans the unchanged working file at the document's
// current FramesPerColumn.  ColumnCount is recomputed from TotalFrames (the
// header is not read again), the peak arrays are replaced and filled,
// reporting on bar.  Shows "Cannot open the temporary file." and returns
// false when the working file cannot be opened; the new columns are then
// empty.
bool RunReloadBody(Document& doc, Progress& bar, UserDialogs& dialogs);

// The document side of a zoom change to framesPerColumn (one of ZoomSteps):
// nothing when it is the current zoom (returns false); otherwise sets it,
// runs the reload body and puts the markers on the whole file (returns
// true).  Releasing and re-creating the playback stream is the caller's.
bool ApplyZoomChange(Document& doc, std::int32_t framesPerColumn, Progress& bar,
                     UserDialogs& dialogs);

// The next finer / coarser zoom step, or the same value at the ends; from
// a zoom between the steps (Whole File), the nearest step that way.
std::int32_t ZoomInStep(std::int32_t framesPerColumn);
std::int32_t ZoomOutStep(std::int32_t framesPerColumn);

// The zoom steps as their ratios, coarsest first: "10, 8, 6, 4, 2, 1".
std::string ZoomRatiosText();

// True when value is one of the six zoom steps.
bool IsZoomStep(std::int32_t framesPerColumn);

// The Whole File zoom: the smallest multiple of 1000 frames per column
// (at least 1000) at which totalFrames take no more than viewColumns.
std::int32_t WholeFileFramesPerColumn(std::uint32_t totalFrames, std::uint32_t viewColumns);

// True for any zoom the editor sets: a positive multiple of 1000.
bool IsValidFramesPerColumn(std::int32_t framesPerColumn);

} // namespace velmora
