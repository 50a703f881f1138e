#pragma once

#include "EditBody.h"
#include "EditRange.h"
#include "ReadAhead.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <vector>

namespace velmora {

// The samples of a block as the file holds them: fn(samples, count) with
// std::uint8_t* samples for 8-bit, std::int16_t* for 16-bit.
template <typename Fn>
void WithSamples(bool eightBit, std::int16_t* block, std::size_t bytes, Fn fn)
{
    if (eightBit)
        fn(reinterpret_cast<std::uint8_t*>(block), bytes);
    else
        fn(block, bytes / 2);
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
// signed little-endian.  For each block, rewrite(firstFrame, samples,
// count) gets the block's samples in place - std::uint8_t* for 8-bit,
// std::int16_t* for 16-bit, channels interleaved - where firstFrame is the
// index of the block's first frame in the range (0 for the range's first
// frame) and count the number of samples; it rewrites them, already
// clamped.  Blocks come in file order, and each is written back as soon
// as rewrite returns; a rewrite that returns bool stops the whole rewrite,
// before its block is written, by returning false.  The bar shows frames
// done of N.  look, when given, sees each block as it was read, on the
// reading thread, before rewrite gets it (ReadAhead::Look; its offset is in
// bytes of the range).  False when a block could not be read in full or
// written back, or rewrite said stop (the rewrite stops there).
template <typename Rewrite>
bool RewriteRangeInBlocks(File& file, const Document& doc, const EditRange& range, Rewrite rewrite,
                          Progress& processing, ReadAhead::Look look = {})
{
    static_assert(std::endian::native == std::endian::little,
                  "16-bit samples are rewritten where they lie, as the file stores them");
    ProgressMeter meter(processing);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const bool eightBit = (doc.BitsPerSample == 8);
    const std::uint64_t totalBytes = static_cast<std::uint64_t>(range.Frames) * frameSize;
    if (totalBytes == 0)
        return true;
    // While one block is rewritten and written back, the next is read.
    ReadAhead reader(file, range.StartByte, totalBytes, RewriteBlockBytes(doc.FrameSize, totalBytes),
                     std::move(look));
    std::uint64_t done = 0;
    std::size_t bytes = 0;
    while (std::int16_t* block = reader.Next(bytes)) {
        const auto firstFrame = static_cast<std::uint32_t>(done / frameSize);
        bool goOn = true;
        WithSamples(eightBit, block, bytes, [&](auto* samples, std::size_t count) {
            if constexpr (std::is_same_v<decltype(rewrite(firstFrame, samples, count)), bool>)
                goOn = rewrite(firstFrame, samples, count);
            else
                rewrite(firstFrame, samples, count);
        });
        if (!goOn || !file.WriteAt(range.StartByte + done, block, bytes))
            return false;
        done += bytes;
        meter.Report(done / frameSize, range.Frames);
    }
    return !reader.Failed() && done == totalBytes;
}

// The peaks of the columns an edit range covers, judged from the samples
// as they are rewritten, so that Volume and the fades need no second pass
// over the file.  The range starts on a column's first frame, so its looks
// are its frames 0, 100, 200 ...; the columns outside it do not change.
class RangePeaks {
public:
    RangePeaks(const Document& doc, const EditRange& range)
        : firstColumn_(doc.SelStart), framesPerColumn_(static_cast<std::uint32_t>(doc.FramesPerColumn)),
          samplesPerFrame_(doc.Channels == 1 ? 1 : 2),
          judges_((range.Frames + framesPerColumn_ - 1) / framesPerColumn_,
                  ColumnPeakJudge(doc.BitsPerSample == 8, doc.Channels == 1))
    {
    }

    // The rewritten samples of frames firstFrame... of the range.
    template <typename Sample>
    void Take(std::uint32_t firstFrame, const Sample* samples, std::size_t count)
    {
        constexpr std::int32_t centre = std::is_same_v<Sample, std::uint8_t> ? 128 : 0;
        const auto frames = static_cast<std::uint32_t>(count / samplesPerFrame_);
        std::uint32_t frame = (firstFrame + FramesBetweenLooks - 1) / FramesBetweenLooks * FramesBetweenLooks;
        for (; frame < firstFrame + frames; frame += FramesBetweenLooks) {
            const Sample* look = samples + static_cast<std::size_t>(frame - firstFrame) * samplesPerFrame_;
            const std::int32_t first = std::abs(static_cast<std::int32_t>(look[0]) - centre);
            const std::int32_t second = samplesPerFrame_ == 2 ? std::abs(static_cast<std::int32_t>(look[1]) - centre) : 0;
            judges_[frame / framesPerColumn_].Look(first, second);
        }
    }

    // The judged columns into the document's peak arrays.
    void StoreInto(Document& doc) const
    {
        for (std::size_t i = 0; i < judges_.size() && firstColumn_ + i < doc.PeakUpper.size(); ++i) {
            doc.PeakUpper[firstColumn_ + i] = judges_[i].Upper();
            doc.PeakLower[firstColumn_ + i] = judges_[i].Lower();
        }
    }

private:
    std::uint32_t firstColumn_;
    std::uint32_t framesPerColumn_;
    std::size_t samplesPerFrame_;
    std::vector<ColumnPeakJudge> judges_;
};

// Writes silence (8-bit 128, 16-bit 0) over the range without reading it;
// false when a write failed.
bool SilenceRange(File& file, const Document& doc, const EditRange& range, Progress& processing);

} // namespace velmora
