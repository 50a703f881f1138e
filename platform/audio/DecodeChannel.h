#pragma once

#include "AudioChannel.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// A decoding stream: any audio file the decoder can read, delivered as
// interleaved PCM on demand.  Samples come out 16-bit signed (8-bit
// unsigned when the source itself is 8-bit), one channel for a mono source
// and two for anything else; the samples equal those of
// `ffmpeg -i FILE -f s16le -`.
//
// The decoder lives in a module of its own (DecoderModuleName in the
// program's folder), loaded the first time a stream is opened, so that a
// program that only copies WAV files never loads FFmpeg and the hundred
// libraries it brings along.  When the module cannot be loaded, Open and
// OpenSegment fail like a file that cannot be decoded.
class DecodeChannel : public AudioChannel {
public:
    static std::unique_ptr<DecodeChannel> Open(const std::string& path);

    // Packets decoded before a segment's first one, their output dropped,
    // so that the decoder's state there is what it would be had it decoded
    // everything before (MP3 needs 3, WMA 2; the rest is margin).
    static constexpr std::size_t LeadInPackets = 8;

    // A channel that delivers one part of path's sound: what the packets
    // lying from firstByte (the first packet at or after it) up to endByte
    // of the file (the first one at or after it no longer counts) decode
    // to, exactly as the channel of Open delivers that part.  firstByte 0
    // starts at the beginning; an endByte past the file runs to the end.
    static std::unique_ptr<DecodeChannel> OpenSegment(const std::string& path, std::uint64_t firstByte,
                                                      std::uint64_t endByte);

    // Whether the stream can be decoded in segments: its samples keep
    // their rate (a resampler carries state from one packet to the next)
    // and its decoder draws no noise (WMA at low bit rates: the noise
    // generator's state runs through the whole stream).
    virtual bool CanSegment() const = 0;
    // False when this segment cannot be matched with the whole decode: a
    // packet without a file position, or a change of format on the way.
    virtual bool SegmentExact() const = 0;
    // Whether every packet tells how much it decodes to (MPEG audio by its
    // duration, WMA without the bit reservoir by its frames): then a segment knows where its sound begins before the ones
    // before it are decoded.
    virtual bool HasExactPacketDurations() const = 0;
    // Bytes the whole decode delivers before this segment, from the
    // durations of the packets before it (known once the segment's first
    // bytes have been read).
    virtual std::uint64_t PredictedStartBytes() const = 0;
    // Bytes the packets sent so far should have decoded to, by their
    // durations, less the bytes they did: at the start of a stream a
    // decoder may hold back a little more than the packets say (MPEG-2
    // audio does), which then shifts every later segment alike.
    virtual std::int64_t StartShortfall() const = 0;

    // Up to length bytes of whole frames; 0 only when length is smaller
    // than a frame; -1 (as std::uint32_t) once the decoder is exhausted.
    virtual std::uint32_t Read(void* buffer, std::uint32_t length) = 0;
    // Whether Read has more to give.
    virtual bool Active() const = 0;
};

// The decoder module and its one entry point: opens path whole (segment
// 0) or the segment [firstByte, endByte) of it (segment 1), bytes of the
// file; a new channel the caller owns, or nullptr.
inline constexpr char DecoderModuleName[] = "velmora_ffmpeg_decode";
inline constexpr char OpenDecodeChannelSymbol[] = "VelmoraOpenDecodeChannel";
using OpenDecodeChannelFunction = DecodeChannel* (*)(const char* path, int segment, std::uint64_t firstByte,
                                                     std::uint64_t endByte);

} // namespace velmora
