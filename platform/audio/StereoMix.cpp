#include "StereoMix.h"

extern "C" {
#include <libswresample/swresample.h>
}

#include <vector>

namespace velmora {

bool InitStereoMix(SwrContext* converter, int inChannels)
{
    if (swr_init(converter) >= 0)
        return true;
    if (inChannels <= 0)
        return false;
    std::vector<double> matrix(static_cast<std::size_t>(2 * inChannels), 0.0);
    for (int c = 0; c < inChannels; ++c)
        matrix[static_cast<std::size_t>((c % 2) * inChannels + c)] = 2.0 / inChannels;
    if (swr_set_matrix(converter, matrix.data(), inChannels) < 0)
        return false;
    return swr_init(converter) >= 0;
}

} // namespace velmora
