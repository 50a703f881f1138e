#pragma once

#include "AudioChannel.h"
#include "FfmpegHandles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// A decoding stream: any audio file FFmpeg can read, delivered as
// interleaved PCM on demand.
//
// Samples come out 16-bit signed (8-bit unsigned when the source itself is
// 8-bit), one channel for a mono source and two for anything else (more
// channels are mixed down).  Rates above 65535 Hz are resampled to 48000 Hz
// so that the rate always fits a 16-bit field.  The encoder delay and
// padding that FFmpeg reports are honoured, and the conversion from the
// decoder's float samples is FFmpeg's default, so the samples equal those
// of `ffmpeg -i FILE -f s16le -`.
class DecodeChannel final : public AudioChannel {
public:
    static std::unique_ptr<DecodeChannel> Open(const std::string& path);
    ~DecodeChannel() override;

    // Up to length bytes of whole frames; 0 only when length is smaller
    // than a frame; -1 (as std::uint32_t) once the decoder is exhausted.
    std::uint32_t Read(void* buffer, std::uint32_t length);

    // Bytes: an estimate from the stream's duration until the decoder has
    // reached the end, then the exact count.
    std::uint64_t Length() const override;
    std::uint64_t Position() override { return delivered_; }  // bytes delivered
    bool Active() const { return !finished_ || pendingStart_ < pending_.size(); }

    std::uint32_t Rate() const override { return outRate_; }
    std::uint32_t Channels() const override { return static_cast<std::uint32_t>(outChannels_); }
    bool EightBit() const override { return outFormat_ == AV_SAMPLE_FMT_U8; }
    std::uint32_t BytesPerFrame() const override { return static_cast<std::uint32_t>(bytesPerFrame_); }
    std::uint64_t FileSize() const override { return fileSize_; }

    // BASS_ACTIVE_PLAYING until the decoder is exhausted.
    DWORD ActiveState() override { return Active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED; }
    // Read, for lengths without the library's flag bits.
    DWORD GetData(void* buffer, DWORD length) override;

private:
    DecodeChannel() = default;
    bool Setup(const std::string& path);
    // A converter from frames of this layout, format and rate to the
    // channel's output.
    bool SetupResampler(const AVChannelLayout& layout, AVSampleFormat format, int rate);
    // Decodes until at least one more frame is pending or the decoder is
    // exhausted.
    void DecodeMore();
    void Convert(const AVFrame* frame);
    void Drain();

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
};

} // namespace velmora
