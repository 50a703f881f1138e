#pragma once

#include <cstdint>

namespace velmora {

// Keeps the play cursor in sight while playing, a page at a time: when the
// cursor leaves the visible pixels the view jumps so that the cursor is at
// its left edge.  A scroll by the user that takes the cursor out of sight is
// respected: the view stays until the cursor has come into sight and leaves
// it again.  All positions are pixels of the whole picture.
class PlayCursorFollow {
public:
    // Playback (re)starts: follow the cursor from here on.
    void Start(std::int64_t viewLeft);

    // One look while playing.  viewLeft: the first visible pixel; width:
    // the visible pixels; cursor: the play cursor's pixel.  Returns the
    // first pixel the view should show (viewLeft when it stays).
    std::int64_t Next(std::int64_t viewLeft, int width, std::int64_t cursor);

private:
    bool following_ = true;
    std::int64_t lastLeft_ = 0;  // where the view was left after the last look
};

} // namespace velmora
