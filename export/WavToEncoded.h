#pragma once

#include "platform/File.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

class FfmpegAudioWriter;
class UserDialogs;
struct FileFormat;

// How an encoded save of the later formats sounds: Opus's bit rate, Ogg
// Vorbis's quality.  FLAC is lossless at compression level 5.
struct EncodedQuality {
    std::int32_t OpusKbps = 96;   // kbit/s, 6 to 510
    double VorbisQuality = 5.0;  // -1 to 10
};

// Turns 16-bit PCM into a file of one of the formats saved through an
// FFmpeg encoder and muxer (FileFormat::Encoder and Muxer): FLAC with the
// samples as they are, Ogg Vorbis at the document's rate, Opus resampled to
// 48000 Hz with a fine filter.  Failures to start are shown under the
// caption "<Label> Encoder".
//
// Use as the other adapters: construct, Open once, WriteChunk for each
// chunk, Close, destroy.
class WavToEncoded {
public:
    static constexpr std::int32_t ChunkBytes = 1 << 16;

    WavToEncoded(UserDialogs& dialogs, const std::string& pluginFolder);
    ~WavToEncoded();
    WavToEncoded(const WavToEncoded&) = delete;
    WavToEncoded& operator=(const WavToEncoded&) = delete;

    // Into output, a file the caller has made: sampleRate in Hz, channels
    // of the PCM (1 or 2).  Returns ChunkBytes, or -1 after showing why not.
    std::int32_t Open(const File& output, const FileFormat& format, std::int32_t sampleRate, std::int32_t channels,
                      const EncodedQuality& quality);
    bool WriteChunk(const std::int16_t* pcm, std::uint32_t byteCount);
    // Finishes the file: true when there is none or it was finished.
    bool Close();

private:
    UserDialogs& dialogs_;
    std::unique_ptr<FfmpegAudioWriter> writer_;
    std::int32_t channels_ = 2;
};

} // namespace velmora
