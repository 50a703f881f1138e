#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

struct Document;

// What a view finer than the peak arrays shows, read from the working
// file: frames [first, first + count) as 16-bit samples, one a frame for
// mono, the first two channels otherwise, interleaved (8-bit samples
// widened: (b - 128) * 256).  Returns the frames read: fewer at the end of
// the audio, none when the working file cannot be read (it is being
// rewritten, say).
std::size_t ReadFrameSamples(const Document& doc, std::uint64_t first, std::size_t count,
                             std::vector<std::int16_t>& samples);

} // namespace velmora
