// The MP3 encoder plugin over libmp3lame: constant bit rate at the
// configured rate, the sample rate kept as given, one LAME frame per chunk.
//
// The stream's first frame is left empty for the LAME/Xing "Info" frame,
// which can only be filled in once the encoder is done: the caller asks
// for it (VelmoraBeInfoTag) and writes it over that frame.  It tells
// decoders the encoder delay and the padding, so that they drop LAME's
// lead-in and the last frame's fill and give exactly the samples encoded.
//
// A save on several cores encodes the stream in parts, each through a
// part stream (VelmoraBeInitPart) of its own, and joins their frames; the
// caller writes the joined stream's Info frame.

#include "LameEncApi.h"
#include "platform/mpeg/InfoFrame.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The sample rates MPEG audio layer 3 can carry.
bool IsMp3Rate(std::uint32_t rate)
{
    switch (rate) {
    case 8000: case 11025: case 12000: case 16000: case 22050:
    case 24000: case 32000: case 44100: case 48000:
        return true;
    default:
        return false;
    }
}

struct LameCloser {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};

// Room for an Info frame of our own in front of the first output: the
// largest layer III frame is 1441 bytes.
constexpr std::uint32_t InfoFrameRoom = 2048;

struct Encoder {
    // Each stream has its own lock, so that streams encode side by side;
    // the table's lock is held only to look one up.
    std::mutex Mutex;
    std::unique_ptr<lame_global_flags, LameCloser> Lame;
    int Channels = 2;
    std::uint32_t SamplesPerChunk = 0;  // all channels counted
    std::uint32_t OutputBytes = 0;
    // Where LAME writes no Info frame (the stream's frames are too small
    // for it), an empty frame of ours goes in front of its first bytes and
    // is filled in at the end.
    bool OwnTag = false;
    bool TagDecided = false;        // the empty frame is out (or could not be made)
    std::uint32_t FirstHeader = 0;  // the first audio frame's header, big-endian
    std::uint64_t StreamBytes = 0;  // bytes handed out, the Info frame included
    std::uint16_t MusicCrc = 0;     // of the bytes after the Info frame
};

// Takes the written bytes LAME just put into output: the first of them
// decide the Info frame (an empty one of ours goes in front where LAME
// writes none), and every byte counts towards the tag's length and CRC.
void Emit(Encoder& encoder, std::uint8_t* output, int& written)
{
    if (written <= 0)
        return;
    std::size_t ours = 0;
    if (!encoder.TagDecided && encoder.OwnTag) {
        encoder.TagDecided = true;
        if (written >= 4) {
            encoder.FirstHeader = velmora::lame::HeaderAt(output);
            ours = velmora::lame::InfoFrameBytes(encoder.FirstHeader);
        }
        encoder.OwnTag = ours > 0;
    }
    if (encoder.OwnTag) {
        encoder.MusicCrc = velmora::lame::Crc16(output, static_cast<std::size_t>(written), encoder.MusicCrc);
        if (ours > 0) {
            std::memmove(output + ours, output, static_cast<std::size_t>(written));
            std::memset(output, 0, ours);
            written += static_cast<int>(ours);
        }
    }
    encoder.StreamBytes += static_cast<std::uint64_t>(written);
}

std::mutex g_mutex;
std::map<std::uint32_t, std::shared_ptr<Encoder>> g_encoders;
std::uint32_t g_nextStream = 1;

// The stream's encoder, kept alive for the caller even if the stream is
// closed meanwhile.
std::shared_ptr<Encoder> Find(std::uint32_t stream)
{
    std::lock_guard lock(g_mutex);
    const auto it = g_encoders.find(stream);
    return it == g_encoders.end() ? nullptr : it->second;
}

// LAME's documented worst case for one call: 1.25 x samples + 7200 bytes.
std::uint32_t WorstCaseOutput(std::uint32_t samplesPerChannel)
{
    return samplesPerChannel + samplesPerChannel / 4 + 7200;
}

using LameHandle = std::unique_ptr<lame_global_flags, LameCloser>;

// An encoder set up as config says, or nullptr when LAME refuses it.  One
// for a part of a stream encoded in parts leaves no frame empty for the
// Info frame.
LameHandle Configured(const BE_CONFIG& config, bool part = false)
{
    LameHandle handle(lame_init());
    lame_global_flags* lame = handle.get();
    if (lame == nullptr)
        return nullptr;
    static constexpr MPEG_mode Modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    lame_set_num_channels(lame, config.byMode == 3 ? 1 : 2);
    lame_set_mode(lame, Modes[config.byMode]);
    lame_set_in_samplerate(lame, static_cast<int>(config.dwSampleRate));
    // LAME would lower the rate by itself at low bit rates; keep it as
    // given whenever MP3 can carry it.
    if (IsMp3Rate(config.dwSampleRate))
        lame_set_out_samplerate(lame, static_cast<int>(config.dwSampleRate));
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, config.wBitrate);
    lame_set_extension(lame, config.bPrivate ? 1 : 0);
    lame_set_error_protection(lame, config.bCRC ? 1 : 0);
    lame_set_copyright(lame, config.bCopyright ? 1 : 0);
    lame_set_original(lame, config.bOriginal ? 1 : 0);
    lame_set_bWriteVbrTag(lame, part ? 0 : 1);
    if (lame_init_params(lame) < 0)
        return nullptr;
    return handle;
}

// Whether LAME itself writes the Info frame for config: it leaves it out
// where the stream's frames are too small to hold it.  Asked of an encoder
// of its own that encodes one frame of silence, since LAME can say so only
// once it has encoded something.
bool LameWritesInfoFrame(const BE_CONFIG& config)
{
    LameHandle probe = Configured(config);
    if (probe == nullptr)
        return true;
    const int frames = lame_get_framesize(probe.get());
    std::vector<short> silence(static_cast<std::size_t>(frames), 0);
    std::vector<unsigned char> output(static_cast<std::size_t>(frames) * 2 + 7200 + InfoFrameRoom);
    const int room = static_cast<int>(output.size());
    if (lame_encode_buffer(probe.get(), silence.data(), silence.data(), frames, output.data(), room) < 0 ||
        lame_encode_flush(probe.get(), output.data(), room) < 0)
        return true;
    return lame_get_lametag_frame(probe.get(), nullptr, 0) > 0;
}

} // namespace

namespace {

std::uint32_t InitStream(BE_CONFIG* config, std::uint32_t* samplesPerChunk, std::uint32_t* outputBufferBytes,
                         std::uint32_t* stream, VELMORA_PART_FACTS* part)
{
    if (config == nullptr || samplesPerChunk == nullptr || outputBufferBytes == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_MP3 || config->byMode > 3)
        return BE_ERR_INVALID_FORMAT;

    auto encoder = std::make_shared<Encoder>();
    encoder->Lame = Configured(*config, part != nullptr);
    lame_global_flags* lame = encoder->Lame.get();
    if (lame == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // A part's frames must line up with the samples it is given, which
    // they do not where LAME resamples.
    if (part != nullptr && lame_get_out_samplerate(lame) != lame_get_in_samplerate(lame))
        return BE_ERR_INVALID_FORMAT;
    encoder->Channels = config->byMode == 3 ? 1 : 2;
    encoder->OwnTag = part == nullptr && !LameWritesInfoFrame(*config);

    const auto frameSize = static_cast<std::uint32_t>(lame_get_framesize(lame));
    encoder->SamplesPerChunk = frameSize * static_cast<std::uint32_t>(encoder->Channels);
    encoder->OutputBytes = WorstCaseOutput(frameSize) + InfoFrameRoom;
    if (part != nullptr) {
        part->FrameSamples = frameSize;
        part->Delay = static_cast<std::uint32_t>(lame_get_encoder_delay(lame));
        part->LowpassHz = static_cast<std::uint32_t>(std::max(0, lame_get_lowpassfreq(lame)));
        part->Kbps = static_cast<std::uint32_t>(lame_get_brate(lame));
        std::snprintf(part->Version, sizeof part->Version, "%s", get_lame_short_version());
    }

    *samplesPerChunk = encoder->SamplesPerChunk;
    *outputBufferBytes = encoder->OutputBytes;
    std::lock_guard lock(g_mutex);
    *stream = g_nextStream++;
    g_encoders.emplace(*stream, std::move(encoder));
    return BE_ERR_SUCCESSFUL;
}

} // namespace

VELMORA_EXPORT std::uint32_t beInitStream(BE_CONFIG* config, std::uint32_t* samplesPerChunk,
                                          std::uint32_t* outputBufferBytes, std::uint32_t* stream)
{
    return InitStream(config, samplesPerChunk, outputBufferBytes, stream, nullptr);
}

VELMORA_EXPORT std::uint32_t VelmoraBeInitPart(BE_CONFIG* config, std::uint32_t* samplesPerChunk,
                                               std::uint32_t* outputBufferBytes, std::uint32_t* stream,
                                               VELMORA_PART_FACTS* facts)
{
    if (facts == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return InitStream(config, samplesPerChunk, outputBufferBytes, stream, facts);
}

VELMORA_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t sampleCount,
                                           const std::int16_t* samples, std::uint8_t* output,
                                           std::uint32_t* outputBytes)
{
    const std::shared_ptr<Encoder> encoder = Find(stream);
    if (encoder == nullptr || output == nullptr || outputBytes == nullptr)
        return BE_ERR_INVALID_HANDLE;
    std::lock_guard lock(encoder->Mutex);
    if (sampleCount > encoder->SamplesPerChunk)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = 0;
    if (sampleCount == 0)
        return BE_ERR_SUCCESSFUL;
    if (samples == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    const int room = static_cast<int>(encoder->OutputBytes - InfoFrameRoom);
    int written = 0;
    if (encoder->Channels == 1) {
        // lame_encode_buffer_interleaved always reads two channels.
        written = lame_encode_buffer(encoder->Lame.get(), samples, nullptr,
                                     static_cast<int>(sampleCount), output, room);
    } else {
        written = lame_encode_buffer_interleaved(encoder->Lame.get(), const_cast<short*>(samples),
                                                 static_cast<int>(sampleCount / 2), output, room);
    }
    if (written < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    Emit(*encoder, output, written);
    *outputBytes = static_cast<std::uint32_t>(written);
    return BE_ERR_SUCCESSFUL;
}

VELMORA_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                            std::uint32_t* outputBytes)
{
    const std::shared_ptr<Encoder> encoder = Find(stream);
    if (encoder == nullptr || output == nullptr || outputBytes == nullptr)
        return BE_ERR_INVALID_HANDLE;
    std::lock_guard lock(encoder->Mutex);
    int written = lame_encode_flush(encoder->Lame.get(), output, static_cast<int>(encoder->OutputBytes - InfoFrameRoom));
    Emit(*encoder, output, written);
    *outputBytes = written > 0 ? static_cast<std::uint32_t>(written) : 0;
    return written < 0 ? BE_ERR_INVALID_FORMAT_PARAMETERS : BE_ERR_SUCCESSFUL;
}

VELMORA_EXPORT std::uint32_t VelmoraBeInfoTag(std::uint32_t stream, std::uint8_t* output,
                                              std::uint32_t outputCapacity, std::uint32_t* outputBytes)
{
    const std::shared_ptr<Encoder> encoder = Find(stream);
    if (encoder == nullptr || output == nullptr || outputBytes == nullptr)
        return BE_ERR_INVALID_HANDLE;
    std::lock_guard lock(encoder->Mutex);
    if (encoder->OwnTag) {
        velmora::lame::StreamFacts facts;
        facts.FirstHeader = encoder->FirstHeader;
        facts.AudioFrames = static_cast<std::uint32_t>(lame_get_frameNum(encoder->Lame.get()));
        facts.Delay = static_cast<std::uint32_t>(lame_get_encoder_delay(encoder->Lame.get()));
        facts.Padding = static_cast<std::uint32_t>(lame_get_encoder_padding(encoder->Lame.get()));
        facts.StreamBytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(encoder->StreamBytes, UINT32_MAX));
        facts.MusicCrc = encoder->MusicCrc;
        facts.Kbps = static_cast<std::uint32_t>(lame_get_brate(encoder->Lame.get()));
        facts.LowpassHz = static_cast<std::uint32_t>(std::max(0, lame_get_lowpassfreq(encoder->Lame.get())));
        facts.Version = get_lame_short_version();
        const std::vector<std::uint8_t> frame = velmora::lame::BuildInfoFrame(facts);
        if (frame.size() > outputCapacity)
            return BE_ERR_BUFFER_TOO_SMALL;
        std::memcpy(output, frame.data(), frame.size());
        *outputBytes = static_cast<std::uint32_t>(frame.size());
        return BE_ERR_SUCCESSFUL;
    }
    // Returns the frame's size, larger than the capacity when it does not fit.
    const std::size_t size = lame_get_lametag_frame(encoder->Lame.get(), output, outputCapacity);
    if (size > outputCapacity)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(size);
    return BE_ERR_SUCCESSFUL;
}

VELMORA_EXPORT std::uint32_t beCloseStream(std::uint32_t stream)
{
    std::lock_guard lock(g_mutex);
    return g_encoders.erase(stream) == 1 ? BE_ERR_SUCCESSFUL : BE_ERR_INVALID_HANDLE;
}

VELMORA_EXPORT void beVersion(BE_VERSION* version)
{
    if (version == nullptr)
        return;
    version->byDLLMajorVersion = 1;
    version->byDLLMinorVersion = 32;
    version->byMajorVersion = 3;
    version->byMinorVersion = 100;
}
