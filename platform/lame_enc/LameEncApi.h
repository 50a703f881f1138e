#pragma once

// The C interface of the MP3 encoder plugin (lame_enc): the packed
// configuration record and the five entry points, as the MP3 adapter loads
// and calls them.  Every entry point returns 0 for success and a non-zero
// error code otherwise.

#include <cstdint>

extern "C" {

#pragma pack(push, 1)
// The basic MP3 configuration: 27 bytes, no padding, little-endian.
struct BE_CONFIG {
    std::uint32_t dwConfig;     // 0: the basic MP3 configuration
    std::uint32_t dwSampleRate; // input sample rate, Hz
    std::uint8_t byMode;        // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    std::uint16_t wBitrate;     // kbit/s, constant
    std::int32_t bPrivate;      // 0 or 1
    std::int32_t bCRC;
    std::int32_t bCopyright;
    std::int32_t bOriginal;
};
#pragma pack(pop)
static_assert(sizeof(BE_CONFIG) == 27, "the configuration record is packed");

struct BE_VERSION {
    std::uint8_t byDLLMajorVersion;
    std::uint8_t byDLLMinorVersion;
    std::uint8_t byMajorVersion;   // of the encoder itself
    std::uint8_t byMinorVersion;
};

inline constexpr std::uint32_t BE_CONFIG_MP3 = 0;
inline constexpr std::uint32_t BE_ERR_SUCCESSFUL = 0;
inline constexpr std::uint32_t BE_ERR_INVALID_FORMAT = 1;
inline constexpr std::uint32_t BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
inline constexpr std::uint32_t BE_ERR_NO_MORE_HANDLES = 3;
inline constexpr std::uint32_t BE_ERR_INVALID_HANDLE = 4;
inline constexpr std::uint32_t BE_ERR_BUFFER_TOO_SMALL = 5;

// Opens an encoder stream.  samplesPerChunk receives how many 16-bit
// samples (all channels counted) one beEncodeChunk call takes at most;
// outputBufferBytes the smallest output buffer that call and beDeinitStream
// may be given.
using BeInitStreamFn = std::uint32_t (*)(BE_CONFIG* config, std::uint32_t* samplesPerChunk,
                                         std::uint32_t* outputBufferBytes, std::uint32_t* stream);
// Encodes sampleCount interleaved samples; outputBytes receives how many
// MP3 bytes were put into output (possibly 0).
using BeEncodeChunkFn = std::uint32_t (*)(std::uint32_t stream, std::uint32_t sampleCount,
                                          const std::int16_t* samples, std::uint8_t* output,
                                          std::uint32_t* outputBytes);
// Flushes the encoder: its last MP3 bytes go to output.
using BeDeinitStreamFn = std::uint32_t (*)(std::uint32_t stream, std::uint8_t* output,
                                           std::uint32_t* outputBytes);
using BeCloseStreamFn = std::uint32_t (*)(std::uint32_t stream);
// This plugin's own addition, optional: after beDeinitStream, the stream's
// LAME/Xing "Info" frame (the encoder delay and padding, the frame count
// and the length in bytes) to be written over the first frame of the
// stream, which the encoder left empty for it; outputBytes receives its
// size (0 when the encoder has none).  A decoder that honours the frame
// (FFmpeg, this program) then gives exactly the samples encoded.
inline constexpr char BeInfoTagSymbol[] = "VelmoraBeInfoTag";
using BeInfoTagFn = std::uint32_t (*)(std::uint32_t stream, std::uint8_t* output, std::uint32_t outputCapacity,
                                      std::uint32_t* outputBytes);
using BeVersionFn = void (*)(BE_VERSION* version);

// This plugin's own addition, optional: what the caller must know of a
// part stream to join the parts' frames into one stream with an Info frame
// of its own.
struct VELMORA_PART_FACTS {
    std::uint32_t FrameSamples;  // samples per channel in one MPEG frame
    std::uint32_t Delay;         // the encoder delay, samples per channel
    std::uint32_t LowpassHz;
    std::uint32_t Kbps;
    char Version[16];            // LAME's short version, "3.100", for the Info frame
};
// Opens a stream as beInitStream does, for one part of a stream encoded in
// parts on several threads: it leaves no frame empty for the Info frame.
// The stream's MPEG frame k encodes what frame k of a whole stream would if
// its samples began where the part's do (a multiple of FrameSamples from
// the start).  Its frames draw on the bit reservoir as any stream's do:
// the caller that joins parts moves the bytes a part's first kept frame
// draws on into the frames before it.  Refused (BE_ERR_INVALID_FORMAT)
// where LAME would resample: frames would not line up with the samples.
inline constexpr char BeInitPartSymbol[] = "VelmoraBeInitPart";
using BeInitPartFn = std::uint32_t (*)(BE_CONFIG* config, std::uint32_t* samplesPerChunk,
                                       std::uint32_t* outputBufferBytes, std::uint32_t* stream,
                                       VELMORA_PART_FACTS* facts);

} // extern "C"
