#pragma once

#include <cstdint>

namespace velmora {

class File;

// What the chunks of a RIFF/WAVE file say, found without judging them.
//
// The format chunk is looked for only at offset 12, right after the RIFF
// header; the chunk walk after it skips RIFF's pad byte after odd sizes
// (and tolerates writers that omit it).  Hostile input is expected: nothing
// is read past the end of the file, offsets are 64-bit, a chunk running
// past the end stops the walk.
struct RiffWaveLayout {
    bool FormatAtStart = false;    // a "fmt " chunk with a 16-byte block at offset 12
    std::uint32_t FormatSize = 0;  // its size field, bytes
    std::uint16_t FormatTag = 0;   // 1 is PCM
    std::uint16_t Channels = 0;
    std::uint32_t SampleRate = 0;  // frames per second
    std::uint16_t BitsPerSample = 0;

    bool DataFound = false;        // a "data" chunk follows the format chunk
    std::uint32_t DataOffset = 0;  // byte offset of the first sample
    // Bytes of samples actually present: the size field, unless it is 0 or
    // 0xFFFFFFFF (headers that were never patched) or claims more than the
    // file holds; never more than a 32-bit end offset can address.
    std::uint32_t DataSize = 0;
    // The audio the data chunk holds (its size field, or everything after
    // it when the field is 0 or 0xFFFFFFFF) runs past what a 32-bit end
    // offset can address: DataSize would be only its first part.
    bool AudioTooLarge = false;
};

RiffWaveLayout ScanRiffWave(File& file);

} // namespace velmora
