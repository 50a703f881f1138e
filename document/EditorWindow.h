#pragma once

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
    // The check mark of the Zoom menu, on the item of framesPerColumn.
    virtual void ShowZoom(std::int32_t framesPerColumn) = 0;
    virtual bool IsZoomShown(std::int32_t framesPerColumn) const = 0;

    // The waveform view: a repaint (with the marker stop), its width in
    // columns, and its pop-up menu at a point in the view's pixels.
    virtual void RepaintView() = 0;
    virtual void SetViewWidth(std::uint32_t columns) = 0;
    virtual void PopUpViewMenu(int x, int y) = 0;
    // The part of the view the window shows: its width and the column at
    // its centre (columns); scrolling so that a column stands at the centre.
    virtual std::uint32_t ShownColumns() const = 0;
    virtual std::int64_t CentreColumn() const = 0;
    virtual void CentreOn(std::int64_t column) = 0;

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
