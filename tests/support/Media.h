#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// What ffprobe says of a file's first audio stream.
struct StreamFacts {
    std::string Codec;
    int SampleRate = 0;
    int Channels = 0;
    long BitRate = 0;  // bits per second, 0 when not reported
};
StreamFacts Probe(const std::string& path);

// The samples the ffmpeg tool decodes (interleaved 16-bit).
std::vector<std::int16_t> DecodeWithFfmpeg(const std::string& path);

// Signal-to-noise ratio in dB of test against reference, test read from
// frame offset on; both interleaved with the same channel count.
double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test, int channels,
             std::size_t offsetFrames);

} // namespace velmora::test
