#pragma once

// The working file's payload as the encoders take it: 16-bit PCM with the
// encoder's channel count, read in bounded chunks.

#include <cstdint>
#include <functional>

namespace velmora {

class File;
class Progress;
struct Document;

// Turns bytes of the payload into 16-bit samples with outChannels a frame.
// 8-bit samples become (b - 128) x 32767 / 128, or with exactEightBit a
// shift by 8, so that a lossless file gives them back exactly.  A payload
// of more channels than outChannels is mixed down: even channels to the
// left, odd ones to the right.
class SampleConverter {
public:
    SampleConverter(const Document& doc, int outChannels, bool exactEightBit);

    std::uint32_t InFrameBytes() const { return inFrameBytes_; }
    int OutChannels() const { return outChannels_; }

    // Converts bytes (size of them, whole frames but for a stray last
    // sample) into out, which holds capacity samples; returns the samples
    // written.  Sample for sample where the channel counts agree (the
    // stray sample included), frame by frame where they are mixed down.
    std::uint32_t Convert(const std::uint8_t* bytes, std::uint32_t size, std::int16_t* out,
                          std::uint32_t capacity) const;

private:
    std::int32_t SampleAt(const std::uint8_t* p) const;

    bool eightBit_;
    bool exactEightBit_;
    int inChannels_;
    int outChannels_;
    std::uint32_t bytesPerSample_;
    std::uint32_t inFrameBytes_;
};

enum class FeedEnd { Done, EncoderFailed, Stopped, ReadFailed, WriteFailed };

// Hands one chunk of samples (bytes of 16-bit PCM) to an encoder; false
// when the encoder failed.
using ChunkSink = std::function<bool(const std::int16_t* samples, std::uint32_t bytes)>;

// Reads the payload of doc's working file (work) from its start in chunks
// of up to chunkBytes of converted samples (and never more than a bounded
// block of the file) and hands each to sink.  Stops at the end of the
// payload, when the encoder fails, or when the stop request is raised
// after a chunk; the bar shows the payload bytes read.
FeedEnd FeedPayload(File& work, const Document& doc, std::int32_t chunkBytes, const SampleConverter& converter,
                    Progress& bar, const ChunkSink& sink);

} // namespace velmora
