#pragma once

struct SwrContext;

namespace velmora {

// Initialises a converter whose output is stereo.  Where the mixer has no
// rule for the input's channels (unusual counts and layouts), even channels
// go to the left and odd ones to the right, in equal parts.  False when
// the converter cannot be used.
bool InitStereoMix(SwrContext* converter, int inChannels);

} // namespace velmora
