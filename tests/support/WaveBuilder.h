#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// Builds WAV files byte by byte, so that tests can say exactly what a
// header holds: any format fields, extra chunks before and after the data,
// odd sizes with or without their pad byte, lying size fields.
class WaveBuilder {
public:
    WaveBuilder& Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                        std::uint16_t bits);
    // Bytes appended to the format block (the fmt chunk grows by them).
    WaveBuilder& FormatExtra(std::vector<unsigned char> extra);
    // A chunk before the data chunk (after fmt).  padOdd: write the pad
    // byte after an odd-sized payload.
    WaveBuilder& ChunkBeforeData(const std::string& id, std::vector<unsigned char> payload,
                                 bool padOdd = true);
    // A chunk written first, before fmt.
    WaveBuilder& ChunkFirst(const std::string& id, std::vector<unsigned char> payload);
    WaveBuilder& Samples(std::vector<unsigned char> bytes);
    // The data chunk's size field; by default the true size.
    WaveBuilder& DataSizeField(std::uint32_t value);
    WaveBuilder& ChunkAfterData(const std::string& id, std::vector<unsigned char> payload);
    WaveBuilder& NoDataChunk();

    std::vector<unsigned char> Bytes() const;
    // Writes the bytes to path; returns path.
    std::string WriteTo(const std::string& path) const;

private:
    struct Chunk {
        std::string Id;
        std::vector<unsigned char> Payload;
        bool PadOdd = true;
    };
    std::uint16_t tag_ = 1, channels_ = 2, bits_ = 16;
    std::uint32_t rate_ = 44100;
    std::vector<unsigned char> formatExtra_;
    std::vector<Chunk> first_, before_, after_;
    std::vector<unsigned char> samples_;
    bool hasDataSizeField_ = false;
    std::uint32_t dataSizeField_ = 0;
    bool noData_ = false;
};

// Sample data generators.  Frames are interleaved; "16-bit" values are
// written little-endian, "8-bit" values as unsigned bytes.
std::vector<unsigned char> Pcm16(const std::vector<std::int16_t>& samples);
std::vector<unsigned char> Pcm8(const std::vector<std::uint8_t>& samples);

// A sine of the given frequency and amplitude (full scale 1.0), the same on
// every channel.
std::vector<std::int16_t> Sine16(std::uint32_t frames, int channels, std::uint32_t rate,
                                 double frequency, double amplitude);

// A pattern whose every sample tells where it came from: frame f on
// channel c holds a value derived from f and c that differs between
// neighbouring frames, so a moved or dropped frame is seen at once.
std::vector<std::int16_t> FrameTagged16(std::uint32_t frames, int channels);
std::vector<std::uint8_t> FrameTagged8(std::uint32_t frames, int channels);

// Value of the tagged pattern at frame f, channel c.
std::int16_t Tag16(std::uint32_t frame, int channel);
std::uint8_t Tag8(std::uint32_t frame, int channel);

// Deterministic pseudo-random bytes.
std::vector<unsigned char> RandomBytes(std::size_t count, std::uint32_t seed);

// Samples (bits 8 or 16, as the file holds them) that try every way an
// edit's block is kept for Undo: runs of silence (pages a rescaling leaves
// as they are), of the smallest values, of full scale (clamped) and of
// noise.
std::vector<unsigned char> TryingSamples(int bits, std::size_t samples);

std::vector<unsigned char> ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);

} // namespace velmora::test

namespace velmora::test {
// Little-endian fields of a byte vector.
inline std::uint32_t U32At(const std::vector<unsigned char>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::int16_t S16At(const std::vector<unsigned char>& b, std::size_t at)
{
    return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
}
} // namespace velmora::test
