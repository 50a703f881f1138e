#pragma once

#include "WaveRenderer.h"

#include "document/Document.h"

#include <Qt>

#include <cstdint>

class QPalette;
class QWidget;

namespace velmora {

class EditorWindow;

// The waveform view's commands: the repaint with the marker stop, the zoom
// change, the mouse on the view, the keys that move the play position and
// Select All.  The main window's handlers call them.
//
// Positions: the markers and the play position are frames; the view is
// pixels of the whole picture (a column takes PixelsPerColumn of them),
// and the mouse comes in the view's own pixels (x from its left edge).
class ViewCommands {
public:
    // view: PaintBox1; bitmap: the view's virtual bitmap.
    ViewCommands(Document& doc, EditorWindow& window, QWidget& view, const WaveBitmapSize& bitmap);

    // What the view shows now; the ruler's and the finish marker's colours
    // come from palette.
    WaveScene Scene(const QPalette& palette) const;

    // PaintBox1Paint: redraws the view.  The play cursor on a marker pauses
    // playback there, except on the first and the last column and while
    // the selection itself plays.
    void Paint();

    // The zoom change (a step, or Whole File's); nothing when it is the
    // current zoom.  The markers and the play position stay; the view
    // centres on what it showed, or on the selection where all of it was
    // in view.
    void ChangeZoom(ZoomLevel zoom);
    // The next finer / coarser step.
    void ZoomIn();
    void ZoomOut();
    // The Whole File zoom: the whole document in the width the view shows.
    void ZoomToWholeFile();

    // A press or release on the view, at x and y in its pixels.  The left
    // button moves the play position to the frame under the pointer; the
    // right one does so on release and opens the pop-up menu.  A left press
    // that is dragged (MouseDrag) selects: the start marker where it was
    // pressed, the finish marker where it is let go (the two swapped when
    // dragged leftwards), the band following the mouse; dragged back to
    // where it began, the markers are as they were.  A press within
    // MarkerGrip pixels of a marker takes hold of that marker instead: the
    // drag moves it and the play position stays (let go where it was
    // pressed, it is a click).
    void MouseDown(Qt::MouseButton button, int x, int y);
    void MouseDrag(int x, int y);
    void MouseUp(Qt::MouseButton button, int x, int y);
    // Shift and a left click: the nearer marker moves to the frame.
    void ShiftClick(int x, int y);
    // True where a left press would take hold of a marker.
    bool OverMarker(int x, int y) const;
    // The keys: the play position by columns (negative: leftwards; never
    // zero while there is room), by as many columns as the view shows
    // (screens), or to either end of the audio.  The view follows.
    void StepColumns(std::int64_t columns);
    void StepScreens(int screens);
    void SeekToEnd(bool last);

    // Markers on the whole file.
    void SelectAll();

    // The play position to frame; with show, the view goes to it where it
    // is not in view (a click is in view already).
    void SeekToFrame(std::uint32_t frame, bool show = true);
    // Scrolls the view, where frame is not in it already, to have it in
    // the middle.
    void ShowFrame(std::uint64_t frame);

    // Pixels either side of a marker's line that take hold of it.
    static constexpr int MarkerGrip = 3;

private:
    // The first pixel of the whole picture a frame's column takes.
    std::int64_t PixelOfFrame(std::uint64_t frame) const;
    // The frame a pixel of the whole picture stands for: its column's first
    // frame, or at several pixels a frame the frame boundary nearest it;
    // inside the audio.
    std::uint32_t FrameAtPixel(std::int64_t pixel) const;
    // The same for x in the view's pixels.
    std::uint32_t FrameAt(int x) const;
    // Scrolls so that frame stands in the middle of the view.
    void CentreOnFrame(std::uint64_t frame);
    // Markers on frames anchor and pointer, in order, pointer (and the
    // anchor with anchorFromPointer) a frame the pointer gave: at several
    // frames a column, on the last column that is the end of the audio, as
    // Select All takes it.  Repaints.
    void SelectFrames(std::uint32_t anchor, std::uint32_t pointer, bool anchorFromPointer);
    // The marker within MarkerGrip pixels of x: 1 start, 2 finish, 0 none.
    int MarkerAt(int x, int y) const;

    // A left press and what it may turn into: a click or a new selection
    // (Pending), or on a marker a click or the marker moved (MarkerHeld).
    enum class Drag { None, Pending, Selecting, MarkerHeld, Marker };
    Drag drag_ = Drag::None;
    int pressX_ = 0;  // pixels of the view
    std::uint32_t anchor_ = 0;  // frames: where the press was, or the marker not held
    std::uint32_t startBefore_ = 0, finishBefore_ = 0;  // frames

    Document& doc_;
    EditorWindow& window_;
    QWidget& view_;
    const WaveBitmapSize& bitmap_;
};

// The frame of the play position (0 without a stream), and its column.
std::uint32_t PlayFrameNow(const Document& doc);
std::uint32_t PlayColumnNow(const Document& doc);
// The playback stream's position to frame (playing goes on from there).
void SeekStream(const Document& doc, std::uint32_t frame);
// The width of the document's whole picture: ColumnCount columns of
// PixelsPerColumn pixels.
std::int64_t ViewWidthOf(const Document& doc);

} // namespace velmora
