#include "RiffWave.h"

#include "ByteOrder.h"
#include "File.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace velmora {

namespace {

constexpr std::uint64_t MaxU32 = std::numeric_limits<std::uint32_t>::max();

// A chunk id is four printable ASCII characters.
bool IsPlausibleChunkId(File& file, std::uint64_t offset)
{
    unsigned char id[8];
    if (file.ReadAt(offset, id, sizeof id) != sizeof id)
        return false;
    return std::all_of(id, id + 4, [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

// Where the chunk after one whose payload starts at payloadStart with the
// given size begins: RIFF pads odd sizes with one byte, but the unpadded
// position is taken when only it starts a plausible chunk.
std::uint64_t NextChunkOffset(File& file, std::uint64_t payloadStart, std::uint32_t size)
{
    const std::uint64_t unpadded = payloadStart + size;
    if (size % 2 == 0)
        return unpadded;
    const std::uint64_t padded = unpadded + 1;
    if (!IsPlausibleChunkId(file, padded) && IsPlausibleChunkId(file, unpadded))
        return unpadded;
    return padded;
}

} // namespace

RiffWaveLayout ScanRiffWave(File& file)
{
    RiffWaveLayout layout;
    const std::uint64_t fileSize = file.Size();

    unsigned char fmt[24] = {};
    if (file.ReadAt(12, fmt, sizeof fmt) != sizeof fmt || std::memcmp(fmt, "fmt ", 4) != 0)
        return layout;
    layout.FormatAtStart = true;
    layout.FormatSize = GetU32LE(fmt + 4);
    layout.FormatTag = GetU16LE(fmt + 8);
    layout.Channels = GetU16LE(fmt + 10);
    layout.SampleRate = GetU32LE(fmt + 12);
    layout.BitsPerSample = GetU16LE(fmt + 22);
    if (layout.FormatSize < 16)
        return layout;

    std::uint64_t chunk = NextChunkOffset(file, 20, layout.FormatSize);
    for (;;) {
        unsigned char head[8];
        if (chunk + 8 > fileSize || file.ReadAt(chunk, head, sizeof head) != sizeof head)
            return layout;
        const std::uint32_t size = GetU32LE(head + 4);
        if (std::memcmp(head, "data", 4) == 0) {
            const std::uint64_t dataOffset = chunk + 8;
            if (dataOffset > MaxU32)
                return layout;
            const std::uint64_t present = std::min(fileSize - dataOffset, MaxU32 - dataOffset);
            const bool sizeKnown = size != 0 && size != 0xFFFFFFFFu;
            const std::uint64_t inFile = fileSize - dataOffset;
            std::uint64_t dataSize = present;
            if (sizeKnown)
                dataSize = std::min<std::uint64_t>(size, present);
            layout.AudioTooLarge = (sizeKnown ? std::min<std::uint64_t>(size, inFile) : inFile) > present;
            layout.DataFound = true;
            layout.DataOffset = static_cast<std::uint32_t>(dataOffset);
            layout.DataSize = static_cast<std::uint32_t>(dataSize);
            return layout;
        }
        chunk = NextChunkOffset(file, chunk + 8, size);
        if (chunk > fileSize)
            return layout;
    }
}

} // namespace velmora
