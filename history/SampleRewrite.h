#pragma once

#include "EditBody.h"
#include "EditRange.h"
#include "platform/ReadAhead.h"

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
// over the file.  Looks are every 100th frame from each column's first;
// a column the range covers only in part is judged again from the file
// once it is written (it holds frames the rewrite never saw).  Columns
// outside the range do not change.
class RangePeaks {
public:
    RangePeaks(const Document& doc, const EditRange& range);

    // The rewritten samples of frames firstFrame... of the range.
    template <typename Sample>
    void Take(std::uint32_t firstFrame, const Sample* samples, std::size_t count)
    {
        if (judges_.empty())
            return;
        constexpr std::int32_t centre = std::is_same_v<Sample, std::uint8_t> ? 128 : 0;
        const std::uint64_t first = rangeStart_ + firstFrame;  // frames of the document
        const std::uint64_t end = first + count / samplesPerFrame_;
        for (std::uint64_t column = first / framesPerColumn_; column * framesPerColumn_ < end; ++column) {
            const std::uint64_t columnStart = column * framesPerColumn_;
            const std::uint64_t from = std::max(first, columnStart);
            std::uint64_t look = columnStart + (from - columnStart + FramesBetweenLooks - 1) / FramesBetweenLooks * FramesBetweenLooks;
            const std::uint64_t to = std::min(end, columnStart + framesPerColumn_);
            ColumnPeakJudge& judge = judges_[static_cast<std::size_t>(column - firstColumn_)];
            for (; look < to; look += FramesBetweenLooks) {
                const Sample* at = samples + static_cast<std::size_t>(look - first) * samplesPerFrame_;
                const std::int32_t a = std::abs(static_cast<std::int32_t>(at[0]) - centre);
                const std::int32_t b = samplesPerFrame_ == 2 ? std::abs(static_cast<std::int32_t>(at[1]) - centre) : 0;
                judge.Look(a, b);
            }
        }
    }

    // The judged columns into the document's peak arrays; those covered in
    // part judged again from file, as the rewrite left it.
    void StoreInto(Document& doc, File& file) const;

private:
    std::uint64_t rangeStart_;       // frames
    std::uint64_t rangeEnd_;         // frames
    std::uint64_t firstColumn_;      // columns
    std::uint64_t framesPerColumn_;  // frames
    std::size_t samplesPerFrame_;
    std::vector<ColumnPeakJudge> judges_;  // none where the document keeps no peak arrays
};

// Writes silence (8-bit 128, 16-bit 0) over the range without reading it;
// false when a write failed.
bool SilenceRange(File& file, const Document& doc, const EditRange& range, Progress& processing);

} // namespace velmora
