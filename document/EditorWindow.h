#pragma once

#include "Document.h"

#include <cstdint>
#include <string>

namespace velmora {

// The main window as the commands of every subsystem see it: what they
// need of the window besides the document itself.  The main window
// implements it; the command code beside each subsystem is written against
// it, so that no subsystem reaches up into the application.
class EditorWindow {
public:
    // The command state: enables and disables every command and writes the
    // status bar for state (a PlayState).
    virtual void UpdateCommandState(std::int32_t state) = 0;
    // The check mark of the Zoom menu, on the item of zoom (Whole File's
    // for a zoom between the steps).
    virtual void ShowZoom(ZoomLevel zoom) = 0;

    // The waveform view: a repaint (with the marker stop), the width of
    // its whole picture in pixels (ViewWidthOf), and its pop-up menu at a
    // point in the view's pixels.
    virtual void RepaintView() = 0;
    virtual void SetViewWidth(std::int64_t pixels) = 0;
    virtual void PopUpViewMenu(int x, int y) = 0;
    // The part of the picture the window shows: its width, and its first
    // pixel, which a scroll moves (kept inside the picture), in pixels of
    // the whole picture.
    virtual int ShownPixels() const = 0;
    virtual std::int64_t ViewLeft() const = 0;
    virtual void ScrollViewTo(std::int64_t left) = 0;
    // Scrolls, where the frame is not in view already, to have it in the
    // middle of the view.
    virtual void ShowFrame(std::uint64_t frame) = 0;

    // The playback stream on the working file: the Stop command when it is
    // playing or paused; releasing it before the file is rewritten or
    // re-read; a new one on the working file afterwards.
    virtual void StopIfActive() = 0;
    virtual void ReleaseStream() = 0;
    virtual void CreateStream() = 0;

    // The Save command, for Close's save prompt; true when no unsaved edit
    // is left afterwards.
    virtual bool SaveChanges() = 0;

    // The private folder a killed editor left, made this instance's own so
    // that its document can be taken up where it lies (the document's
    // TempFolder follows); false when another instance has it.  Given up
    // again, as it is, when taking the document up fails.
    virtual bool AdoptFolder(const std::string& folder) = 0;
    virtual void AbandonFolder() = 0;

protected:
    ~EditorWindow() = default;
};

} // namespace velmora
