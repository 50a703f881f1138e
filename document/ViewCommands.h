#pragma once

#include "WaveRenderer.h"

#include <Qt>

#include <cstdint>

class QPalette;
class QWidget;

namespace velmora {

class EditorWindow;
struct Document;

// The waveform view's commands: the repaint with the marker stop, the zoom
// change, clicks on the view and Select All.  The main window's handlers
// call them.
class ViewCommands {
public:
    // view: PaintBox1; bitmap: the view's virtual bitmap.
    ViewCommands(Document& doc, EditorWindow& window, QWidget& view, const WaveBitmapSize& bitmap);

    // What the view shows now; the ruler's and the finish marker's colours
    // come from palette.
    WaveScene Scene(const QPalette& palette) const;

    // PaintBox1Paint: redraws the view.  The play cursor on a marker pauses
    // playback there, except on the first and the last column.
    void Paint();

    // The zoom change to framesPerColumn (one of the six steps, or Whole
    // File's); nothing when it is the current zoom.  The time at the centre
    // of the view stays there.
    void ChangeZoom(std::int32_t framesPerColumn);
    // The checked zoom item's next finer / coarser step.
    void ZoomIn();
    void ZoomOut();
    // The Whole File zoom: the whole document in the width the view shows.
    void ZoomToWholeFile();

    // A press or release on the view, at x and y in its pixels.  The left
    // button moves the play position to the column; the right one does so
    // on release and opens the pop-up menu.  A left press that is dragged
    // (MouseDrag) selects: the start marker on the column pressed, the
    // finish marker on the one released (the two swapped when dragged
    // leftwards), the band following the mouse; dragged back to where it
    // began, the markers are as they were.
    void MouseDown(Qt::MouseButton button, int x, int y);
    void MouseDrag(int x, int y);
    void MouseUp(Qt::MouseButton button, int x, int y);
    // Shift and a left click: the nearer marker moves to the column.
    void ShiftClick(int x, int y);
    // The keys: the play position by columns (negative: leftwards), by as
    // many columns as the view shows (screens), or to the first or the last
    // column; never past either end.
    void StepColumns(std::int64_t columns);
    void StepScreens(int screens);
    void SeekToEnd(bool last);

    // Markers on the whole file.
    void SelectAll();

private:
    void SeekToColumn(int column);
    // The column a click at x gives, kept inside the document.
    std::uint32_t ColumnAt(int x) const;
    // Markers on the columns from and to, in order; repaints.
    void SelectColumns(std::uint32_t from, std::uint32_t to);

    // A left press that may turn into a drag.
    bool pressed_ = false;
    bool dragged_ = false;
    std::uint32_t anchor_ = 0;  // the column pressed
    std::uint32_t startBefore_ = 0, finishBefore_ = 0;

    Document& doc_;
    EditorWindow& window_;
    QWidget& view_;
    const WaveBitmapSize& bitmap_;
};

// The column of the play position (0 without a stream).
std::uint32_t PlayColumnNow(const Document& doc);

} // namespace velmora
