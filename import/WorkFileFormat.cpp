#include "WorkFileFormat.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace velmora {

namespace {

constexpr std::uint64_t MaxU32 = std::numeric_limits<std::uint32_t>::max();

bool IdIs(const unsigned char* p, const char (&id)[5])
{
    return std::memcmp(p, id, 4) == 0;
}

// A chunk id is four printable ASCII characters.
bool IsPlausibleChunkId(File& file, std::uint64_t offset)
{
    unsigned char id[8];
    if (file.ReadAt(offset, id, sizeof id) != sizeof id)
        return false;
    return std::all_of(id, id + 4, [](unsigned char c) { return c >= 0x20 && c <= 0x7E; });
}

// Where the chunk after one whose payload starts at payloadStart with the
// given size begins.  RIFF pads odd sizes with one byte; some writers omit
// the pad, so the unpadded position is taken when only it starts a
// plausible chunk.
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

std::int32_t FrameSizeFor(std::int32_t bitsPerSample, std::int32_t channels)
{
    const std::int32_t bytesPerSample = (bitsPerSample == 8) ? 1 : 2;
    return (channels == 1) ? bytesPerSample : 2 * bytesPerSample;
}

std::optional<std::string> ReadWaveHeader(File& file, WaveHeader& header)
{
    if (!file.IsOpen())
        return "Cannot open the file.";
    const std::uint64_t fileSize = file.Size();

    // The 12-byte RIFF header is not examined.  The format chunk must come
    // right after it, at offset 12, with at least the 16-byte format block.
    unsigned char fmt[24] = {};
    if (file.ReadAt(12, fmt, sizeof fmt) != sizeof fmt || !IdIs(fmt, "fmt "))
        return "This is not a valid Wave file.";
    const std::uint32_t fmtSize = GetU32LE(fmt + 4);
    if (GetU16LE(fmt + 8) != 1)
        return "Cannot handle compressed Wave file.";

    const std::uint32_t rate = GetU32LE(fmt + 12);
    header.SampleRate = static_cast<std::int32_t>(rate);
    header.Channels = GetU16LE(fmt + 10);
    header.BitsPerSample = GetU16LE(fmt + 22);
    if (fmtSize < 16)
        return "This is not a valid Wave file.";

    // Walk the chunks after the format chunk up to "data".
    std::uint64_t chunk = NextChunkOffset(file, 20, fmtSize);
    for (;;) {
        unsigned char head[8];
        if (chunk + 8 > fileSize || file.ReadAt(chunk, head, sizeof head) != sizeof head)
            return "No audio data found in the file.";
        const std::uint32_t size = GetU32LE(head + 4);
        if (IdIs(head, "data"))
            break;
        chunk = NextChunkOffset(file, chunk + 8, size);
        if (chunk > fileSize)
            return "No audio data found in the file.";
    }

    const std::uint64_t dataOffset = chunk + 8;
    if (dataOffset > MaxU32)
        return "No audio data found in the file.";
    unsigned char sizeField[4];
    file.ReadAt(chunk + 4, sizeField, sizeof sizeField);
    const std::uint32_t field = GetU32LE(sizeField);

    // Recorders that never patch their header leave 0 or 0xFFFFFFFF, and a
    // truncated file claims more than it holds: count what is really there,
    // and never more than a 32-bit end offset can address.
    const std::uint64_t present = std::min(fileSize - dataOffset, MaxU32 - dataOffset);
    std::uint64_t dataSize = present;
    if (field != 0 && field != 0xFFFFFFFFu)
        dataSize = std::min<std::uint64_t>(field, present);

    header.DataOffset = static_cast<std::uint32_t>(dataOffset);
    header.DataSize = static_cast<std::uint32_t>(dataSize);
    header.DataEnd = static_cast<std::uint32_t>(dataOffset + dataSize);

    const std::uint64_t bytesPerSecond =
        static_cast<std::uint64_t>(rate) * static_cast<std::uint16_t>(header.Channels) *
        static_cast<std::uint16_t>(header.BitsPerSample) / 8;
    if (bytesPerSecond == 0)
        return "Invalid Wave format.";
    header.DurationSeconds = static_cast<std::uint32_t>(dataSize / bytesPerSecond);

    if (header.BitsPerSample != 8 && header.BitsPerSample != 16)
        return "Not PCM formats!";
    return std::nullopt;
}

bool WriteWorkFileHeader(File& file, std::int32_t channels, std::uint32_t sampleRate,
                         std::int32_t bitsPerSample)
{
    const std::uint16_t channelField = (channels == 1) ? 1 : 2;
    const std::uint16_t bits = (bitsPerSample == 8) ? 8 : 16;
    const std::uint16_t rate16 = static_cast<std::uint16_t>(sampleRate);
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(channelField * bits / 8);

    std::array<unsigned char, WorkFileHeaderBytes> h{};
    std::memcpy(h.data() + 0, "RIFF", 4);
    PutU32LE(h.data() + 4, 0);
    std::memcpy(h.data() + 8, "WAVE", 4);
    std::memcpy(h.data() + 12, "fmt ", 4);
    PutU32LE(h.data() + 16, 16);
    PutU16LE(h.data() + 20, 1);
    PutU16LE(h.data() + 22, channelField);
    PutU16LE(h.data() + 24, rate16);
    PutU16LE(h.data() + 26, 0);
    PutU32LE(h.data() + 28, static_cast<std::uint32_t>(rate16) * blockAlign);
    PutU16LE(h.data() + 32, blockAlign);
    PutU16LE(h.data() + 34, bits);
    std::memcpy(h.data() + 36, "data", 4);
    PutU32LE(h.data() + 40, 0);
    return file.WriteAt(0, h.data(), h.size());
}

bool PatchDecodedSizes(File& file)
{
    const std::uint64_t length = file.Size();
    unsigned char field[4];
    const std::uint32_t riffSize = static_cast<std::uint32_t>(length - 8);
    PutU32LE(field, riffSize);
    bool ok = file.WriteAt(4, field, sizeof field);
    PutU32LE(field, riffSize - 36);
    ok = file.WriteAt(40, field, sizeof field) && ok;
    return ok;
}

bool PatchEditedSizes(File& file, std::uint32_t newLength, std::uint32_t dataOffset)
{
    unsigned char field[4];
    PutU32LE(field, newLength - dataOffset);
    bool ok = file.WriteAt(static_cast<std::uint64_t>(dataOffset) - 4, field, sizeof field);
    PutU32LE(field, newLength - 8);
    ok = file.WriteAt(4, field, sizeof field) && ok;
    return ok;
}

} // namespace velmora
