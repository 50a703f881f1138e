#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace velmora {

// What a writer makes of 16-bit interleaved PCM: which FFmpeg encoder and
// muxer, at what rate, channels and quality.
struct AudioWriterFormat {
    const char* Encoder = nullptr;  // FFmpeg's name: "flac", "libvorbis", "libopus", "wmav2"
    const char* Muxer = nullptr;    // "flac", "ogg", "opus", "asf"
    int InputRate = 0;              // Hz
    int InputChannels = 0;
    int OutputRate = 0;             // Hz; another than the input's is resampled
    int OutputChannels = 0;         // 1 or 2; more input channels are mixed down
    std::int64_t BitRate = 0;       // bits per second; 0 for the encoder's own
    std::optional<double> Quality;  // a VBR quality (Vorbis: -1 to 10)
    int CompressionLevel = -1;      // FLAC's 0 to 12; below 0 for the encoder's default
    bool FineResampling = false;    // a longer resampling filter, for a rate change worth hearing
    bool SilentFirstFrame = false;  // one encoder frame of silence ahead of the audio
};

// An encoder and a muxer writing into a file descriptor, over FFmpeg.  The
// writer owns the descriptor, writes it at positions of its own (so the
// muxer can go back and finish its header) and closes it in Finish.
// FFmpeg never opens a file by name here: it can follow no link and create
// nothing the caller did not.
//
// Use: Open, Write for each block, Finish; a writer given up without Finish
// leaves an unfinished file for the caller to remove.
class FfmpegAudioWriter {
public:
    // Nothing where the encoder or muxer is missing or refuses the format
    // (a bit rate it cannot do, for one); the descriptor is closed then.
    static std::unique_ptr<FfmpegAudioWriter> Open(int ownedFd, const AudioWriterFormat& format);
    ~FfmpegAudioWriter();
    FfmpegAudioWriter(const FfmpegAudioWriter&) = delete;
    FfmpegAudioWriter& operator=(const FfmpegAudioWriter&) = delete;

    // frames of InputChannels samples each.
    bool Write(const std::int16_t* pcm, std::size_t frames);
    // Flushes the encoder, writes the trailer and closes the file: false
    // when any of it failed.
    bool Finish();

    // Frames handed to the encoder so far, silence included, at the
    // output rate.
    std::int64_t FramesEncoded() const;

private:
    struct State;
    explicit FfmpegAudioWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace velmora
