#pragma once

#include "Document.h"

#include <cstdint>
#include <string>

namespace velmora {

class Progress;
class UserDialogs;

// The reload body: rescans the unchanged working file at the document's
// current zoom.  ColumnCount is recomputed from TotalFrames (the header is
// not read again), the peak arrays are replaced and filled where the zoom
// keeps them, reporting on bar.  Shows "Cannot open the temporary file."
// and returns false when the working file cannot be opened; the new
// columns are then empty.
bool RunReloadBody(Document& doc, Progress& bar, UserDialogs& dialogs);

// The document side of a zoom change: nothing when it is the current zoom
// (returns false); otherwise sets it and runs the reload body (returns
// true).  The markers keep their frames; their columns follow.  Releasing
// and re-creating the playback stream, and the history's note of the new
// zoom, are the caller's.
bool ApplyZoomChange(Document& doc, ZoomLevel zoom, Progress& bar, UserDialogs& dialogs);

// The next finer / coarser step of all of them (the six, then the fine
// ones), or the same zoom at the ends; from a zoom between the steps
// (Whole File), the nearest step that way.
ZoomLevel ZoomInStep(ZoomLevel zoom);
ZoomLevel ZoomOutStep(ZoomLevel zoom);

// True when a shows fewer frames in a pixel than b.
bool IsFinerZoom(ZoomLevel a, ZoomLevel b);

// The zoom steps as their ratios, coarsest first: "10, 8, 6, 4, 2, 1".
std::string ZoomRatiosText();

// True when value is one of the six zoom steps.
bool IsZoomStep(std::int32_t framesPerColumn);

// The Whole File zoom for a document of totalFrames in a view
// viewPixels wide: the smallest multiple of 1000 frames per column at
// which it fits; a document that fits at 1000 takes the fewest frames a
// column (down to one) that fit, and one shorter than the view as many
// pixels a frame as fit (at most MostPixelsPerFrame).
ZoomLevel WholeFileZoom(std::uint32_t totalFrames, std::uint32_t viewPixels);

// True for any zoom the editor sets: at least one frame a column, and more
// than one pixel a column only at one frame a column.
bool IsValidZoom(ZoomLevel zoom);

// The ratio text of a zoom finer than 1:1, as the Zoom menu shows it:
// "1 : 2" for 500 frames a column ... "1 : 32000" for 32 pixels a frame.
std::string FineZoomCaption(ZoomLevel zoom);

} // namespace velmora
