#include "PlayCursorFollow.h"

namespace velmora {

void PlayCursorFollow::Start(int viewLeft)
{
    following_ = true;
    lastLeft_ = viewLeft;
}

int PlayCursorFollow::Next(int viewLeft, int width, int cursor)
{
    const bool inSight = cursor >= viewLeft && cursor < viewLeft + width;
    if (inSight)
        following_ = true;
    else if (viewLeft != lastLeft_)
        following_ = false;  // the user scrolled the cursor out of sight
    lastLeft_ = following_ && !inSight ? cursor : viewLeft;
    return lastLeft_;
}

} // namespace velmora
