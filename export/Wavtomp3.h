#pragma once

#include "platform/File.h"
#include "platform/PluginLibrary.h"
#include "platform/lame_enc/LameEncApi.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>


namespace velmora {

class UserDialogs;

// Turns 16-bit PCM into an MP3 file through the MP3 encoder plugin
// (lame_enc), loaded from pluginFolder for the object's lifetime.  The file
// holds exactly the bytes the plugin hands back, in order.  Failures are
// shown under the caption "Lame Encoder".
//
// Use: construct, Open once, EncodeChunk for each chunk, Close, destroy;
// or, for a stream encoded in parts, OpenPart for each part.
class WavToMp3 {
public:
    // Bit rates the encoder takes, and the rounding of a requested one.
    static std::uint16_t RoundBitrate(std::uint32_t kbps);
    // Channel mode (1 stereo ... 4 mono) to the record's mode code.
    static std::uint8_t ModeCode(int channelMode);

    WavToMp3(UserDialogs& dialogs, const std::string& pluginFolder);
    ~WavToMp3();
    WavToMp3(const WavToMp3&) = delete;
    WavToMp3& operator=(const WavToMp3&) = delete;

    // Opens the encoder and creates fileName.  Returns the input bytes per
    // chunk (the plugin's samples per chunk x 2), or -1 after showing why
    // not.  sampleRate in Hz, channelMode 1..4, bitrate in kbit/s.
    std::int32_t Open(const std::string& fileName, std::uint32_t sampleRate, int channelMode,
                      std::uint32_t bitrate, bool copyright, bool crc, bool original, bool privateBit);
    // The same into output, a file the caller has made (the save's
    // temporary output).
    std::int32_t Open(File output, std::uint32_t sampleRate, int channelMode, std::uint32_t bitrate, bool copyright,
                      bool crc, bool original, bool privateBit);

    // Encodes byteCount bytes of interleaved 16-bit samples (an odd last
    // byte is ignored), at most the chunk size; returns the MP3 bytes
    // written for them (0 is success) or -1 after showing why not.
    std::int32_t EncodeChunk(const std::int16_t* samples, std::uint32_t byteCount);

    // Flushes the encoder into the file, writes the Info frame (the
    // encoder delay and padding) over the stream's first frame, and closes
    // the file.  False when any byte could not be written (disk full, size
    // limit ...), which shows no message of its own.
    bool Close();

    // One part of a stream encoded in parts on several threads (see
    // Mp3InParts): a part stream of the plugin, closed with the object.
    // Each is used by one thread at a time; none shows a message.
    class PartStream {
    public:
        PartStream(const WavToMp3& owner, std::uint32_t stream, std::uint32_t samplesPerChunk,
                   std::uint32_t outputBytes, const VELMORA_PART_FACTS& facts);
        ~PartStream();
        PartStream(const PartStream&) = delete;
        PartStream& operator=(const PartStream&) = delete;

        const VELMORA_PART_FACTS& Facts() const { return facts_; }
        // The most interleaved samples (all channels counted) one Encode takes.
        std::uint32_t SamplesPerChunk() const { return samplesPerChunk_; }
        // Encodes sampleCount interleaved samples and appends the MP3 bytes
        // they give to out; false when the plugin failed.
        bool Encode(const std::int16_t* samples, std::uint32_t sampleCount, std::vector<std::uint8_t>& out);
        // Flushes the encoder: its last bytes are appended to out.
        bool Finish(std::vector<std::uint8_t>& out);

    private:
        const WavToMp3& owner_;
        std::uint32_t stream_;
        std::uint32_t samplesPerChunk_;
        VELMORA_PART_FACTS facts_;
        std::vector<std::uint8_t> output_;
    };

    // A part stream with the configuration Open gives the stream, or
    // nullptr when the plugin has none or refuses the format (Open then
    // says why).
    std::unique_ptr<PartStream> OpenPart(std::uint32_t sampleRate, int channelMode, std::uint32_t bitrate) const;
    // Says that the encoder failed, as EncodeChunk does.
    void SayCompressionFailed() { Show("Could not perform compression"); }

private:
    void Show(const char* text);
    std::int32_t OpenInto(const std::string& fileName, File output, std::uint32_t sampleRate, int channelMode,
                      std::uint32_t bitrate, bool copyright, bool crc, bool original, bool privateBit);
    bool WriteOut(std::uint32_t count);
    void WriteInfoFrame();

    UserDialogs& dialogs_;
    std::unique_ptr<PluginLibrary> library_;
    BeInitStreamFn init_ = nullptr;
    BeEncodeChunkFn encode_ = nullptr;
    BeVersionFn version_ = nullptr;
    BeDeinitStreamFn deinit_ = nullptr;
    BeCloseStreamFn close_ = nullptr;
    BeInfoTagFn infoTag_ = nullptr;  // optional: without it the stream has no Info frame
    BeInitPartFn initPart_ = nullptr;  // optional: without it a stream is encoded in one piece
    std::uint32_t stream_ = 0;
    std::uint32_t outputBytes_ = 0;
    File file_;
    std::uint64_t fileOffset_ = 0;
    std::vector<std::uint8_t> output_;
    bool open_ = false;
    bool writeFailed_ = false;
};

} // namespace velmora
