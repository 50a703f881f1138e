#pragma once

#include "DecodeChannel.h"
#include "FfmpegHandles.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// DecodeChannel over FFmpeg: any audio file FFmpeg can read, delivered as
// interleaved PCM on demand.  Built into the decoder module only.
//
// Samples come out 16-bit signed (8-bit unsigned when the source itself is
// 8-bit), one channel for a mono source and two for anything else (more
// channels are mixed down).  Rates above 65535 Hz are resampled to 48000 Hz
// so that the rate always fits a 16-bit field.  The encoder delay and
// padding that FFmpeg reports are honoured, and the conversion from the
// decoder's float samples is FFmpeg's default, so the samples equal those
// of `ffmpeg -i FILE -f s16le -`.
class FfmpegDecodeChannel final : public DecodeChannel {
public:
    static std::unique_ptr<FfmpegDecodeChannel> Open(const std::string& path);
    static std::unique_ptr<FfmpegDecodeChannel> OpenSegment(const std::string& path, std::uint64_t firstByte,
                                                            std::uint64_t endByte);

    // Not for a Vorbis, AAC or Opus decoder: they carry state further back
    // than the lead-in, and decode in one piece.
    bool CanSegment() const override
    {
        return static_cast<std::uint32_t>(inRate_) == outRate_ && !noiseFilled_ && !CarriesLongState();
    }
    bool SegmentExact() const override { return segmentExact_; }
    bool HasExactPacketDurations() const override;
    std::uint64_t PredictedStartBytes() const override { return predictedStart_; }
    std::int64_t StartShortfall() const override
    {
        return static_cast<std::int64_t>(predictedSent_) - static_cast<std::int64_t>(produced_);
    }
    ~FfmpegDecodeChannel() override;

    std::uint32_t Read(void* buffer, std::uint32_t length) override;

    // Bytes: an estimate from the stream's duration until the decoder has
    // reached the end, then the exact count.
    std::uint64_t Length() const override;
    std::uint64_t Position() override { return delivered_; }  // bytes delivered
    bool Active() const override { return !finished_ || pendingStart_ < pending_.size(); }

    std::uint32_t Rate() const override { return outRate_; }
    std::uint32_t Channels() const override { return static_cast<std::uint32_t>(outChannels_); }
    bool EightBit() const override { return outFormat_ == AV_SAMPLE_FMT_U8; }
    bool Lossless() const override;
    bool CarriesLongState() const;
    std::uint32_t BytesPerFrame() const override { return static_cast<std::uint32_t>(bytesPerFrame_); }
    std::uint64_t FileSize() const override { return fileSize_; }

    // BASS_ACTIVE_PLAYING until the decoder is exhausted.
    DWORD ActiveState() override { return Active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED; }
    // Read, for lengths without the library's flag bits.
    DWORD GetData(void* buffer, DWORD length) override;

private:
    FfmpegDecodeChannel() = default;
    bool Setup(const std::string& path);
    // A converter from frames of this layout, format and rate to the
    // channel's output.
    bool SetupResampler(const AVChannelLayout& layout, AVSampleFormat format, int rate);
    // Decodes until at least one more frame is pending or the decoder is
    // exhausted.
    void DecodeMore();
    void Convert(const AVFrame* frame);
    void Drain();
    // Sends the lead-in packets, dropping what they decode to.
    void DecodeLeadIn();
    // What packet decodes to in the whole decode, by its duration (or its
    // WMA frames), bytes.
    std::uint64_t PacketBytes(const AVPacket& packet) const;

    ffmpeg::FormatInput format_;
    ffmpeg::CodecContext codec_;
    ffmpeg::Resampler resampler_;
    ffmpeg::Frame frame_;
    ffmpeg::Packet packet_;
    int streamIndex_ = -1;
    int inChannels_ = 0;
    int inFormat_ = AV_SAMPLE_FMT_NONE;
    int inRate_ = 0;

    AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
    int outChannels_ = 2;
    std::uint32_t outRate_ = 0;
    int bytesPerFrame_ = 4;
    std::uint64_t estimatedBytes_ = 0;
    std::uint64_t fileSize_ = 0;

    std::vector<std::uint8_t> pending_;
    std::size_t pendingStart_ = 0;
    std::uint64_t delivered_ = 0;
    std::uint64_t produced_ = 0;
    bool inputEnded_ = false;
    bool finished_ = false;

    // A segment: the packets whose file position lies in
    // [segmentFirst_, segmentEnd_), bytes of the file.
    bool segment_ = false;
    std::int64_t segmentFirst_ = 0;
    std::int64_t segmentEnd_ = 0;
    bool inSegment_ = false;
    bool segmentExact_ = true;
    std::deque<ffmpeg::Packet> leadIn_;
    std::uint64_t predictedStart_ = 0;  // bytes; see PredictedStartBytes
    std::uint64_t predictedSent_ = 0;   // bytes; see StartShortfall
    std::uint32_t wmaFrameSamples_ = 0;  // samples per channel in a frame; see WmaFrameSamples
    bool noiseFilled_ = false;           // see WmaFillsNoise
};

} // namespace velmora
