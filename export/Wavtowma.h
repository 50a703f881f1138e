#pragma once

#include "platform/File.h"
#include "platform/PluginLibrary.h"
#include "platform/wmaudsdk/WmaWriterApi.h"

#include <cstdint>
#include <memory>
#include <string>


namespace velmora {

class UserDialogs;

// Turns 16-bit PCM into a WMA file through the WMA writer plugin
// (wmaudsdk), loaded from pluginFolder for the object's lifetime.  The
// writer creates, encodes and writes the file itself; the output is always
// asked for as 44100 Hz stereo.  Failures are shown under the caption
// "WMA Audio SDK".
//
// Use: construct, Open once, WriteChunk for each chunk, Close, destroy.
class WavToWma {
public:
    static constexpr std::int32_t ChunkBytes = 16384;

    WavToWma(UserDialogs& dialogs, const std::string& pluginFolder);
    ~WavToWma();
    WavToWma(const WavToWma&) = delete;
    WavToWma& operator=(const WavToWma&) = delete;

    // The input format record Open describes the input with.
    static WaveFormatEx InputFormat(std::int32_t sampleRate, std::int32_t channels);

    // sampleRate in Hz, channels of the input, bitrate in bits per second.
    // Returns ChunkBytes, or -1 after showing why not.
    std::int32_t Open(const std::string& fileName, std::int32_t sampleRate, std::int32_t channels,
                      std::int32_t bitrate);
    // The same into output, a file the caller has made (the save's
    // temporary output): the writer writes through a descriptor of its own
    // and creates nothing.
    std::int32_t Open(const File& output, std::int32_t sampleRate, std::int32_t channels, std::int32_t bitrate);

    // True when byteCount is 0 (the writer is not called) or the writer
    // took the bytes; false, without a message, when it failed.
    bool WriteChunk(const std::uint8_t* pcm, std::uint32_t byteCount);

    // Flushes and releases the writer: true when there is none or the
    // flush worked; false keeps the writer.
    bool Close();

private:
    void Show(const char* text);
    void ReleaseWriter();
    std::int32_t SetFormats(std::int32_t sampleRate, std::int32_t channels, std::int32_t bitrate);

    UserDialogs& dialogs_;
    std::unique_ptr<PluginLibrary> library_;
    WMAudioCreateWriterFn create_ = nullptr;
    WMAudioCreateWriterOnFileFn createOnFile_ = nullptr;
    WMAudioWriter* writer_ = nullptr;
};

} // namespace velmora
