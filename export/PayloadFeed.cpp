#include "PayloadFeed.h"

#include "document/Document.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {
constexpr std::uint32_t MaxFeedBlockBytes = 1u << 20;
}

SampleConverter::SampleConverter(const Document& doc, int outChannels, bool exactEightBit)
    : eightBit_(doc.BitsPerSample == 8),
      exactEightBit_(exactEightBit),
      inChannels_(std::max(doc.Channels, 1)),
      outChannels_(outChannels),
      bytesPerSample_(eightBit_ ? 1 : 2),
      inFrameBytes_(static_cast<std::uint32_t>(inChannels_) * bytesPerSample_)
{
}

std::int32_t SampleConverter::SampleAt(const std::uint8_t* p) const
{
    if (!eightBit_)
        return static_cast<std::int32_t>(GetS16LE(p));
    const std::int32_t centred = static_cast<std::int32_t>(*p) - 128;
    return exactEightBit_ ? centred * 256 : centred * 32767 / 128;
}

std::uint32_t SampleConverter::Convert(const std::uint8_t* bytes, std::uint32_t size, std::int16_t* out,
                                       std::uint32_t capacity) const
{
    const std::uint32_t frames = size / inFrameBytes_;
    if (inChannels_ == outChannels_ || frames == 0) {
        // Never more than the buffer holds.
        const std::uint32_t produced = std::min(size / bytesPerSample_, capacity);
        for (std::uint32_t i = 0; i < produced; ++i)
            out[i] = static_cast<std::int16_t>(SampleAt(&bytes[i * bytesPerSample_]));
        return produced;
    }
    std::uint32_t produced = 0;
    for (std::uint32_t f = 0; f < frames && produced + static_cast<std::uint32_t>(outChannels_) <= capacity; ++f) {
        std::int64_t sums[2] = {0, 0};
        int counts[2] = {0, 0};
        for (int c = 0; c < inChannels_; ++c) {
            const int side = outChannels_ == 1 ? 0 : c % 2;
            sums[side] += SampleAt(&bytes[f * inFrameBytes_ + static_cast<std::uint32_t>(c) * bytesPerSample_]);
            ++counts[side];
        }
        for (int side = 0; side < outChannels_; ++side)
            out[produced++] = static_cast<std::int16_t>(sums[side] / std::max(counts[side], 1));
    }
    return produced;
}

FeedEnd FeedPayload(File& work, const Document& doc, std::int32_t chunkBytes, const SampleConverter& converter,
                    Progress& bar, const ChunkSink& sink)
{
    ProgressMeter meter(bar);
    const std::uint32_t inFrameBytes = converter.InFrameBytes();
    const auto outChannels = static_cast<std::uint32_t>(converter.OutChannels());
    // Frames read per chunk: what the encoder takes, and never more bytes
    // than one bounded block, whatever channel count a header claims.
    const auto framesPerChunk = std::max<std::uint32_t>(
        1, std::min(static_cast<std::uint32_t>(chunkBytes) / (2u * outChannels), MaxFeedBlockBytes / inFrameBytes));
    std::vector<std::int16_t> samples(static_cast<std::size_t>(framesPerChunk) * outChannels);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(framesPerChunk) * inFrameBytes);

    std::uint32_t done = 0;
    while (done < doc.DataSize) {
        // Never past the payload: a chunk that follows it is not audio.
        const std::uint32_t left = doc.DataSize - done;
        std::uint32_t wanted = std::min<std::uint32_t>(framesPerChunk * inFrameBytes, left);
        if (wanted >= inFrameBytes)
            wanted -= wanted % inFrameBytes;
        const auto got = static_cast<std::uint32_t>(work.ReadAt(doc.DataOffset + done, bytes.data(), wanted));
        // The payload is all there: anything less is a failing disk or a
        // file cut short, and the encoded file would end early.
        if (got < wanted)
            return FeedEnd::ReadFailed;
        done += got;
        const std::uint32_t produced =
            converter.Convert(bytes.data(), got, samples.data(), static_cast<std::uint32_t>(samples.size()));
        if (!sink(samples.data(), produced * 2))
            return FeedEnd::EncoderFailed;
        meter.Report(done, doc.DataSize);
        if (meter.StopRequested())
            return FeedEnd::Stopped;
    }
    return FeedEnd::Done;
}

} // namespace velmora
