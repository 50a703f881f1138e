#pragma once

#include "EditBody.h"
#include "EditRange.h"

#include "document/Document.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace velmora {

// The clamps of every rewrite: 16-bit results to -32767..32767, 8-bit
// results to -128..127 around the centre.
inline std::int32_t Clamp16(std::int64_t v)
{
    return v > 32767 ? 32767 : (v < -32767 ? -32767 : static_cast<std::int32_t>(v));
}
inline std::int32_t Clamp8(std::int64_t v)
{
    return v > 127 ? 127 : (v < -128 ? -128 : static_cast<std::int32_t>(v));
}

// Bytes of a rewrite block: whole frames, at most EditBlockBytes and no
// more than the range needs.
inline std::size_t RewriteBlockBytes(std::int32_t frameSize, std::uint64_t rangeBytes)
{
    const auto size = static_cast<std::size_t>(frameSize);
    const std::size_t block = (EditBlockBytes / size) * size;
    return static_cast<std::size_t>(std::min<std::uint64_t>(block, rangeBytes));
}

// Rewrites the samples of an edit range in place, block by block.
//
// The range is its N frames of doc.FrameSize bytes; every frame holds one
// sample (mono) or two (any other channel count), 8-bit unsigned or 16-bit
// signed little-endian.  transform(frame, sample) receives the frame index
// (0 for the first frame of the range) and one sample as a signed value
// around 0 (8-bit: b - 128, 16-bit: s) and returns the new, already clamped
// value.  The bar shows frames done of N.  False when a block could not be
// read in full or written back (the rewrite stops there).
template <typename Transform>
bool RewriteRangeSamples(File& file, const Document& doc, const EditRange& range,
                         Transform transform, Progress& processing)
{
    ProgressMeter meter(processing);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const bool eightBit = (doc.BitsPerSample == 8);
    const std::size_t samplesPerFrame = (doc.Channels == 1) ? 1 : 2;
    const std::uint64_t totalBytes = static_cast<std::uint64_t>(range.Frames) * frameSize;

    std::vector<unsigned char> block(RewriteBlockBytes(doc.FrameSize, totalBytes));
    std::uint64_t done = 0;
    while (done < totalBytes) {
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), totalBytes - done));
        if (file.ReadAt(range.StartByte + done, block.data(), wanted) != wanted)
            return false;
        const auto frames = static_cast<std::size_t>(wanted / frameSize);
        auto frame = static_cast<std::uint32_t>(done / frameSize);
        unsigned char* p = block.data();
        for (std::size_t f = 0; f < frames; ++f, ++frame) {
            for (std::size_t s = 0; s < samplesPerFrame; ++s) {
                if (eightBit) {
                    const std::int32_t v = transform(frame, static_cast<std::int32_t>(*p) - 128);
                    *p = static_cast<unsigned char>(v + 128);
                    p += 1;
                } else {
                    const std::int32_t v = transform(frame, static_cast<std::int32_t>(GetS16LE(p)));
                    PutS16LE(p, static_cast<std::int16_t>(v));
                    p += 2;
                }
            }
        }
        if (!file.WriteAt(range.StartByte + done, block.data(), wanted))
            return false;
        done += wanted;
        meter.Report(done / frameSize, range.Frames);
    }
    return true;
}

// Writes silence (8-bit 128, 16-bit 0) over the range without reading it;
// false when a write failed.
bool SilenceRange(File& file, const Document& doc, const EditRange& range, Progress& processing);

} // namespace velmora
