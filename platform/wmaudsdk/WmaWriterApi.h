#pragma once

// The C interface of the WMA writer plugin (wmaudsdk): WMAudioCreateWriter
// hands out a writer object whose operations sit in a table, in a fixed slot
// order.  Every operation takes the writer first and returns a 32-bit
// status, negative on failure.

#include <cstddef>
#include <cstdint>

extern "C" {

#pragma pack(push, 1)
// The input format record (18 bytes, as WAVEFORMATEX).
struct WaveFormatEx {
    std::uint16_t wFormatTag;      // 1: PCM
    std::uint16_t nChannels;
    std::uint32_t nSamplesPerSec;
    std::uint32_t nAvgBytesPerSec;
    std::uint16_t nBlockAlign;
    std::uint16_t wBitsPerSample;
    std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18, "the format record is packed");

struct WMAudioWriter;

struct WMAudioWriterTable {
    std::int32_t (*QueryInterface)(WMAudioWriter* self, const void* id, void** object);  // slot 0
    std::int32_t (*AddRef)(WMAudioWriter* self);                                          // slot 1
    std::int32_t (*Release)(WMAudioWriter* self);                                         // slot 2
    std::int32_t (*Reserved3)(WMAudioWriter* self);                                       // slot 3
    std::int32_t (*SetInputFormat)(WMAudioWriter* self, const WaveFormatEx* format);      // slot 4
    // bits per second, sample rate (Hz), channel count, flags
    std::int32_t (*SetOutputFormat)(WMAudioWriter* self, std::uint32_t bitrate, std::uint32_t sampleRate,
                                    std::uint32_t channels, std::uint32_t flags);          // slot 5
    std::int32_t (*Reserved6)(WMAudioWriter* self);                                       // slot 6
    std::int32_t (*WriteSamples)(WMAudioWriter* self, const std::uint8_t* pcm, std::uint32_t bytes);  // slot 7
    std::int32_t (*Flush)(WMAudioWriter* self);                                           // slot 8
};
static_assert(offsetof(WMAudioWriterTable, Flush) == 8 * sizeof(void*), "slot order");

struct WMAudioWriter {
    const WMAudioWriterTable* Table;
};

inline constexpr std::int32_t WMA_OK = 0;
inline constexpr std::int32_t WMA_E_FAIL = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t WMA_E_NOINTERFACE = static_cast<std::int32_t>(0x80004002u);
inline constexpr std::int32_t WMA_E_INVALIDARG = static_cast<std::int32_t>(0x80070057u);

// fileName: UTF-16, zero-terminated.  The file is created, and must not
// exist yet (nor a link of that name).
using WMAudioCreateWriterFn = std::int32_t (*)(const char16_t* fileName, WMAudioWriter** writer);

// This plugin's own addition: a writer into a file the caller has opened
// for writing (and made empty), so that the caller decides how it is
// created.  The writer keeps a duplicate of fd; the caller's stays open.
using WMAudioCreateWriterOnFileFn = std::int32_t (*)(int fd, WMAudioWriter** writer);
inline constexpr const char* WMAudioCreateWriterOnFileName = "VelmoraWMAudioCreateWriterOnFile";

} // extern "C"
