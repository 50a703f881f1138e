#pragma once

namespace velmora {

// Keeps the play cursor in sight while playing, a page at a time: when the
// cursor leaves the visible columns the view jumps so that the cursor is at
// its left edge.  A scroll by the user that takes the cursor out of sight is
// respected: the view stays until the cursor has come into sight and leaves
// it again.  All positions are columns of the waveform view.
class PlayCursorFollow {
public:
    // Playback (re)starts: follow the cursor from here on.
    void Start(int viewLeft);

    // One look while playing.  viewLeft: the first visible column; width:
    // the visible columns; cursor: the play cursor's column.  Returns the
    // first column the view should show (viewLeft when it stays).
    int Next(int viewLeft, int width, int cursor);

private:
    bool following_ = true;
    int lastLeft_ = 0;  // where the view was left after the last look
};

} // namespace velmora
