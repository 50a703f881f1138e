#include "Remainders.h"

#include "platform/VectorClones.h"

#include <type_traits>

namespace velmora {

namespace {

template <typename Sample>
[[gnu::always_inline]] inline void RestoreSamples(Sample* samples, std::size_t count, const std::int16_t* lost,
                                                  float inverse)
{
    constexpr std::int32_t centre = std::is_same_v<Sample, std::uint8_t> ? 128 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t y = static_cast<std::int32_t>(samples[i]) - centre;
        samples[i] = static_cast<Sample>(Restore(y, lost[i], inverse) + centre);
    }
}

} // namespace

VELMORA_VECTOR_CLONES void RestoreBlock(std::uint8_t* samples, std::size_t count, const std::int16_t* lost,
                                        float inverse)
{
    RestoreSamples(samples, count, lost, inverse);
}

VELMORA_VECTOR_CLONES void RestoreBlock(std::int16_t* samples, std::size_t count, const std::int16_t* lost,
                                        float inverse)
{
    RestoreSamples(samples, count, lost, inverse);
}

} // namespace velmora
