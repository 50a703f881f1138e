#pragma once

#include "Remainders.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace velmora {

// The clamps of every rewrite: 16-bit results to -32767..32767, 8-bit
// results to -128..127 around the centre.
inline std::int32_t Clamp16(std::int64_t v)
{
    return v > 32767 ? 32767 : (v < -32767 ? -32767 : static_cast<std::int32_t>(v));
}
inline std::int32_t Clamp8(std::int64_t v)
{
    return v > 127 ? 127 : (v < -128 ? -128 : static_cast<std::int32_t>(v));
}


// The one loop of Volume and the fades over count samples as the file
// holds them (8-bit around 128, 16-bit signed): scale(x) gives each centred
// sample's new value, already clamped, and it replaces the sample.  Keep
// also puts into lost what the scaling takes from each - its remainder
// against estimate(y), which must equal Unscale(y, inverse) as Undo
// computes it - and into least and most the least and the most of those,
// so that the journal needs no pass of its own to find them.  Inlined, so
// that the vector units take the whole loop.
template <bool Keep, typename Sample, typename Scale, typename Estimate>
[[gnu::always_inline]] inline void ScaleInPlace(Sample* samples, std::size_t count, Scale scale, Estimate estimate,
                                                std::int16_t* lost, std::int16_t* least, std::int16_t* most)
{
    constexpr std::int32_t centre = std::is_same_v<Sample, std::uint8_t> ? 128 : 0;
    std::int16_t low = INT16_MAX;
    std::int16_t high = INT16_MIN;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t x = static_cast<std::int32_t>(samples[i]) - centre;
        const std::int32_t y = scale(x);
        samples[i] = static_cast<Sample>(y + centre);
        if constexpr (Keep) {
            const auto r = static_cast<std::int16_t>(x - estimate(y));
            lost[i] = r;
            low = r < low ? r : low;
            high = r > high ? r : high;
        }
    }
    if constexpr (Keep) {
        *least = low;
        *most = high;
    }
}

// The estimate Undo makes of x from y (RemainderJournal.h).
inline auto UnscaleBy(float inverse)
{
    return [inverse](std::int32_t y) { return Unscale(y, inverse); };
}

} // namespace velmora
