// The MP3 encoder plugin over libmp3lame: constant bit rate at the
// configured rate, the sample rate kept as given, one LAME frame per chunk.
//
// The output is a plain MPEG audio stream, written strictly front to back:
// no Xing/LAME tag, since the tag belongs at the start of the file and can
// only be filled in once the encoder is done, and the caller never goes
// back.  Decoders therefore see LAME's usual lead-in (encoder delay plus
// decoder delay) before the audio.

#include "LameEncApi.h"

#include <lame/lame.h>

#include <map>
#include <memory>
#include <mutex>

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

struct Encoder {
    std::unique_ptr<lame_global_flags, LameCloser> Lame;
    int Channels = 2;
    std::uint32_t SamplesPerChunk = 0;  // all channels counted
    std::uint32_t OutputBytes = 0;
};

std::mutex g_mutex;
std::map<std::uint32_t, std::unique_ptr<Encoder>> g_encoders;
std::uint32_t g_nextStream = 1;

Encoder* Find(std::uint32_t stream)
{
    const auto it = g_encoders.find(stream);
    return it == g_encoders.end() ? nullptr : it->second.get();
}

// LAME's documented worst case for one call: 1.25 x samples + 7200 bytes.
std::uint32_t WorstCaseOutput(std::uint32_t samplesPerChannel)
{
    return samplesPerChannel + samplesPerChannel / 4 + 7200;
}

} // namespace

VELMORA_EXPORT std::uint32_t beInitStream(BE_CONFIG* config, std::uint32_t* samplesPerChunk,
                                          std::uint32_t* outputBufferBytes, std::uint32_t* stream)
{
    if (config == nullptr || samplesPerChunk == nullptr || outputBufferBytes == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (config->dwConfig != BE_CONFIG_MP3 || config->byMode > 3)
        return BE_ERR_INVALID_FORMAT;

    auto encoder = std::make_unique<Encoder>();
    encoder->Lame.reset(lame_init());
    lame_global_flags* lame = encoder->Lame.get();
    if (lame == nullptr)
        return BE_ERR_NO_MORE_HANDLES;

    static constexpr MPEG_mode Modes[] = {STEREO, JOINT_STEREO, DUAL_CHANNEL, MONO};
    encoder->Channels = config->byMode == 3 ? 1 : 2;
    lame_set_num_channels(lame, encoder->Channels);
    lame_set_mode(lame, Modes[config->byMode]);
    lame_set_in_samplerate(lame, static_cast<int>(config->dwSampleRate));
    // LAME would lower the rate by itself at low bit rates; keep it as
    // given whenever MP3 can carry it.
    if (IsMp3Rate(config->dwSampleRate))
        lame_set_out_samplerate(lame, static_cast<int>(config->dwSampleRate));
    lame_set_VBR(lame, vbr_off);
    lame_set_brate(lame, config->wBitrate);
    lame_set_extension(lame, config->bPrivate ? 1 : 0);
    lame_set_error_protection(lame, config->bCRC ? 1 : 0);
    lame_set_copyright(lame, config->bCopyright ? 1 : 0);
    lame_set_original(lame, config->bOriginal ? 1 : 0);
    lame_set_bWriteVbrTag(lame, 0);
    if (lame_init_params(lame) < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    const auto frameSize = static_cast<std::uint32_t>(lame_get_framesize(lame));
    encoder->SamplesPerChunk = frameSize * static_cast<std::uint32_t>(encoder->Channels);
    encoder->OutputBytes = WorstCaseOutput(frameSize);

    *samplesPerChunk = encoder->SamplesPerChunk;
    *outputBufferBytes = encoder->OutputBytes;
    std::lock_guard lock(g_mutex);
    *stream = g_nextStream++;
    g_encoders.emplace(*stream, std::move(encoder));
    return BE_ERR_SUCCESSFUL;
}

VELMORA_EXPORT std::uint32_t beEncodeChunk(std::uint32_t stream, std::uint32_t sampleCount,
                                           const std::int16_t* samples, std::uint8_t* output,
                                           std::uint32_t* outputBytes)
{
    std::lock_guard lock(g_mutex);
    Encoder* encoder = Find(stream);
    if (encoder == nullptr || output == nullptr || outputBytes == nullptr)
        return BE_ERR_INVALID_HANDLE;
    if (sampleCount > encoder->SamplesPerChunk)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = 0;
    if (sampleCount == 0)
        return BE_ERR_SUCCESSFUL;
    if (samples == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    const int room = static_cast<int>(encoder->OutputBytes);
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
    *outputBytes = static_cast<std::uint32_t>(written);
    return BE_ERR_SUCCESSFUL;
}

VELMORA_EXPORT std::uint32_t beDeinitStream(std::uint32_t stream, std::uint8_t* output,
                                            std::uint32_t* outputBytes)
{
    std::lock_guard lock(g_mutex);
    Encoder* encoder = Find(stream);
    if (encoder == nullptr || output == nullptr || outputBytes == nullptr)
        return BE_ERR_INVALID_HANDLE;
    const int written = lame_encode_flush(encoder->Lame.get(), output, static_cast<int>(encoder->OutputBytes));
    *outputBytes = written > 0 ? static_cast<std::uint32_t>(written) : 0;
    return written < 0 ? BE_ERR_INVALID_FORMAT_PARAMETERS : BE_ERR_SUCCESSFUL;
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
