// A stand-in for the MP3 encoder plugin that records what it is given.
//
// Every sample handed to beEncodeChunk is appended to the file named by
// FAKE_LAME_LOG (16-bit, as received), each chunk's sample count to
// FAKE_LAME_LOG.chunks; the "MP3" output is 4 bytes "CHNK" per chunk and
// "DONE" from beDeinitStream.  One chunk is 100 samples.  Built once with
// every entry point and once (FAKE_LAME_WITHOUT_VERSION) without beVersion
// and beCloseStream, to see which missing name is reported.

#include "platform/lame_enc/LameEncApi.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::uint32_t SamplesPerChunk = 100;

void Append(const char* suffix, const void* data, std::size_t bytes)
{
    const char* log = std::getenv("FAKE_LAME_LOG");
    if (log == nullptr)
        return;
    const std::string path = std::string(log) + suffix;
    if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fwrite(data, 1, bytes, f);
        std::fclose(f);
    }
}

} // namespace

FAKE_EXPORT std::uint32_t beInitStream(BE_CONFIG* config, std::uint32_t* samples, std::uint32_t* bufferBytes,
                                       std::uint32_t* stream)
{
    Append(".config", config, sizeof(BE_CONFIG));
    if (config->dwSampleRate == 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *samples = SamplesPerChunk;
    *bufferBytes = 16;
    *stream = 7;
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT std::uint32_t beEncodeChunk(std::uint32_t, std::uint32_t count, const std::int16_t* samples,
                                        std::uint8_t* output, std::uint32_t* outputBytes)
{
    if (count > SamplesPerChunk || std::getenv("FAKE_LAME_FAIL_ENCODE") != nullptr)
        return BE_ERR_BUFFER_TOO_SMALL;
    Append("", samples, count * 2);
    Append(".chunks", &count, sizeof count);
    std::memcpy(output, "CHNK", 4);
    *outputBytes = 4;
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT std::uint32_t beDeinitStream(std::uint32_t, std::uint8_t* output, std::uint32_t* outputBytes)
{
    std::memcpy(output, "DONE", 4);
    *outputBytes = 4;
    return BE_ERR_SUCCESSFUL;
}

#ifndef FAKE_LAME_WITHOUT_VERSION
FAKE_EXPORT std::uint32_t beCloseStream(std::uint32_t)
{
    return BE_ERR_SUCCESSFUL;
}

FAKE_EXPORT void beVersion(BE_VERSION*) {}
#endif
