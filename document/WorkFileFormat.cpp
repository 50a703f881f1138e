#include "WorkFileFormat.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/RiffWave.h"

#include <array>
#include <cstring>

namespace velmora {

namespace {
// Above any rate audio hardware plays; with at most four bytes a frame the
// bytes per second then always fit 32 bits.
constexpr std::uint32_t MaxSampleRate = 768000;
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
    const RiffWaveLayout layout = ScanRiffWave(file);

    // The 12-byte RIFF header is not examined.  The format chunk must come
    // right after it, at offset 12, with at least the 16-byte format block.
    if (!layout.FormatAtStart)
        return "This is not a valid Wave file.";
    if (layout.FormatTag != 1)
        return "Cannot handle compressed Wave file.";
    header.SampleRate = static_cast<std::int32_t>(layout.SampleRate);
    header.Channels = layout.Channels;
    header.BitsPerSample = layout.BitsPerSample;
    if (layout.FormatSize < 16)
        return "This is not a valid Wave file.";
    if (!layout.DataFound)
        return "No audio data found in the file.";
    // Sizes past 4 GiB cannot stand in the working file's header: such a
    // file would be edited and saved without its end.
    if (layout.AudioTooLarge)
        return "The file is too large to be edited.";

    header.DataOffset = layout.DataOffset;
    header.DataSize = layout.DataSize;
    header.DataEnd = layout.DataOffset + layout.DataSize;

    const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(layout.SampleRate) *
                                         layout.Channels * layout.BitsPerSample / 8;
    if (bytesPerSecond == 0)
        return "Invalid Wave format.";
    header.DurationSeconds = static_cast<std::uint32_t>(layout.DataSize / bytesPerSecond);

    if (header.BitsPerSample != 8 && header.BitsPerSample != 16)
        return "Not PCM formats!";
    // The editor's frames hold one or two channels; a file of more would
    // be cut into frames that straddle its own, and every edit would
    // scramble it.
    if (header.Channels > 2)
        return "Only mono and stereo Wave files can be opened.";
    if (layout.SampleRate > MaxSampleRate)
        return "Invalid Wave format.";
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

bool PatchEditedSizes(File& file, std::uint64_t newLength, std::uint32_t dataOffset)
{
    if (newLength > UINT32_MAX || newLength < dataOffset || dataOffset < 8)
        return false;
    unsigned char field[4];
    PutU32LE(field, static_cast<std::uint32_t>(newLength - dataOffset));
    bool ok = file.WriteAt(static_cast<std::uint64_t>(dataOffset) - 4, field, sizeof field);
    PutU32LE(field, static_cast<std::uint32_t>(newLength - 8));
    ok = file.WriteAt(4, field, sizeof field) && ok;
    return ok;
}

} // namespace velmora
