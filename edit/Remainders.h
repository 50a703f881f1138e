#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora {

// Volume and the fades scale every sample and truncate: y = trunc(x * q),
// clamped.  To take that back Undo does not need x byte for byte: with y
// still in the file, the remainder r = x - Unscale(y, 1 / q) is enough, and
// it spans a handful of values where a sample spans 65536.  Remainders are
// 16-bit and wrap (ScaleInPlace in ScaleLoop.h, Restore), so that x comes
// back exactly whatever the estimate; a poor estimate costs room in the
// journal, never exactness.  Both sides estimate through Unscale (or the
// same values exactly), so that they agree to the bit.

// 1 / scale as the remainders use it; 0 for a scale of 0 (or one so small
// that the estimate would leave 32 bits).
inline float InverseOfScale(double scale)
{
    return scale > 1.0 / 65536 ? static_cast<float>(1.0 / scale) : 0.0f;
}

// The estimate of x from y; a lone product, which no compiler fuses.
inline std::int32_t Unscale(std::int32_t y, float inverse)
{
    return static_cast<std::int32_t>(static_cast<float>(y) * inverse);
}

// x again from y and what scaling x to y lost (x, y centred:
// -32768..32767 or -128..127).
inline std::int32_t Restore(std::int32_t y, std::int16_t remainder, float inverse)
{
    return static_cast<std::int16_t>(Unscale(y, inverse) + remainder);
}

// count samples as the file holds them (8-bit around 128, 16-bit signed),
// each put back from what it is now and its remainder in lost, scaled by
// the inverse given.
void RestoreBlock(std::uint8_t* samples, std::size_t count, const std::int16_t* lost, float inverse);
void RestoreBlock(std::int16_t* samples, std::size_t count, const std::int16_t* lost, float inverse);

} // namespace velmora
