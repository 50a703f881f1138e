#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class File;

// The working file: one uncompressed PCM WAV file.  This module is the only
// place that knows its layout - the 44-byte header written for decoded
// input, the rules by which any WAV file (a copied input included) is
// accepted, and the size fields the writers patch.

inline constexpr std::uint32_t WorkFileHeaderBytes = 44;

// Header fields the reading rules set, in the document's units.
struct WaveHeader {
    std::int32_t Channels = 0;       // channel count from the header
    std::int32_t SampleRate = 0;     // sample frames per second (Hz)
    std::int32_t BitsPerSample = 0;  // 8 or 16 once accepted
    std::uint32_t DataOffset = 0;    // byte offset of the first sample
    std::uint32_t DataSize = 0;      // bytes of samples actually present
    std::uint32_t DataEnd = 0;       // DataOffset + DataSize, bytes
    std::uint32_t DurationSeconds = 0;
    bool operator==(const WaveHeader&) const = default;
};

// Reads and checks the header of an open WAV file by the reading rules,
// updating header step by step (fields of steps after a refusal keep the
// values they came in with).  Returns nullopt when the file is accepted,
// otherwise the message that refuses it.
//
// Hostile input is expected: nothing is read past the end of the file, all
// offsets are 64-bit, a chunk that runs past the end stops the walk, and no
// allocation depends on a header field.
std::optional<std::string> ReadWaveHeader(File& file, WaveHeader& header);

// Bytes per sample frame as the editor handles it: 1 for 8-bit mono, 2 for
// 8-bit stereo and for 16-bit mono, 4 for 16-bit stereo.  (The reading
// rules refuse more than two channels.)
std::int32_t FrameSizeFor(std::int32_t bitsPerSample, std::int32_t channels);

// Writes the 44-byte header of a decoded working file at offset 0, both size
// fields 0.  channels is 1 or 2 (the field is 1 for one channel, else 2);
// the sample rate is carried in 16 bits.
bool WriteWorkFileHeader(File& file, std::int32_t channels, std::uint32_t sampleRate,
                         std::int32_t bitsPerSample);

// After the samples of a decoded working file are complete: RIFF size at
// offset 4 := file length - 8, then the data size at offset 40 := that - 36.
bool PatchDecodedSizes(File& file);

// After an edit changed the file's length to newLength bytes: the data
// chunk's size at dataOffset - 4 := newLength - dataOffset, then the RIFF
// size at offset 4 := newLength - 8.  False, with nothing written, for a
// length the header's 32-bit sizes cannot hold or one short of the data.
bool PatchEditedSizes(File& file, std::uint64_t newLength, std::uint32_t dataOffset);

} // namespace velmora
