#include "PlayCursorFollow.h"

namespace velmora {

void PlayCursorFollow::Start(std::int64_t viewLeft)
{
    following_ = true;
    lastLeft_ = viewLeft;
}

std::int64_t PlayCursorFollow::Next(std::int64_t viewLeft, int width, std::int64_t cursor)
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
