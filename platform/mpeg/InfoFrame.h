#pragma once

// The LAME/Xing "Info" frame of a constant-bit-rate stream, for the streams
// whose own frames are too small to hold it (MPEG-1 below 64 kbit/s in
// stereo, for instance: LAME then writes none).  It is a frame of its own,
// at the stream's own bit rate where its frames hold the tag and otherwise
// at the smallest that does, with the stream's version, rate and channel
// mode, so that decoders read it where LAME's would be.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::lame {

// The 4 header bytes at p, big-endian.
inline std::uint32_t HeaderAt(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// CRC-16 as the LAME tag uses it (polynomial 0x8005, reflected, from crc).
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

// What the frame says about the stream that follows it.
struct StreamFacts {
    std::uint32_t FirstHeader = 0;  // the first audio frame's 4 header bytes, big-endian
    std::uint32_t AudioFrames = 0;  // MPEG frames after the Info frame
    std::uint32_t Delay = 0;        // encoder delay, samples per channel (12 bits)
    std::uint32_t Padding = 0;      // padding at the end, samples per channel (12 bits)
    std::uint32_t StreamBytes = 0;  // the Info frame and every frame after it
    std::uint16_t MusicCrc = 0;     // Crc16 of the frames after the Info frame
    std::uint32_t Kbps = 0;         // the stream's bit rate
    std::uint32_t LowpassHz = 0;
    std::string Version;            // "3.100"
};

// The length in bytes of the layer III frame whose 4 header bytes are
// header (big-endian), its padding slot included; 0 when the header is no
// MPEG layer III header or has no bit rate (free format).
std::size_t FrameLength(std::uint32_t header);

// The size in bytes of the Info frame for a stream whose first frame has
// header firstHeader; 0 when the header is no MPEG layer III header.
std::size_t InfoFrameBytes(std::uint32_t firstHeader);

// The frame itself, InfoFrameBytes(facts.FirstHeader) bytes; empty when
// the header is no MPEG layer III header.
std::vector<std::uint8_t> BuildInfoFrame(const StreamFacts& facts);

} // namespace velmora::lame
