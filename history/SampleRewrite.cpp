#include "SampleRewrite.h"

#include "document/ColumnPeakScan.h"

namespace velmora {

RangePeaks::RangePeaks(const Document& doc, const EditRange& range)
    : framesPerColumn_(static_cast<std::uint64_t>(std::max(doc.FramesPerColumn, 1))),
      samplesPerFrame_(doc.Channels == 1 ? 1 : 2)
{
    const auto frameSize = static_cast<std::uint64_t>(std::max(doc.FrameSize, 1));
    rangeStart_ = range.StartByte >= doc.DataOffset ? (range.StartByte - doc.DataOffset) / frameSize : 0;
    rangeEnd_ = rangeStart_ + range.Frames;
    firstColumn_ = rangeStart_ / framesPerColumn_;
    const std::uint64_t endColumn = (rangeEnd_ + framesPerColumn_ - 1) / framesPerColumn_;
    if (PeakColumns(doc) > 0 && range.Frames > 0)
        judges_.assign(static_cast<std::size_t>(endColumn - firstColumn_),
                       ColumnPeakJudge(doc.BitsPerSample == 8, doc.Channels == 1));
}

void RangePeaks::StoreInto(Document& doc, File& file) const
{
    const auto columns = static_cast<std::uint64_t>(std::min(doc.PeakUpper.size(), doc.PeakLower.size()));
    for (std::size_t i = 0; i < judges_.size() && firstColumn_ + i < columns; ++i) {
        const std::uint64_t column = firstColumn_ + i;
        const std::uint64_t columnStart = column * framesPerColumn_;
        const std::uint64_t columnEnd = std::min<std::uint64_t>(columnStart + framesPerColumn_, doc.TotalFrames);
        const auto index = static_cast<std::size_t>(column);
        if (columnStart >= rangeStart_ && columnEnd <= rangeEnd_) {
            doc.PeakUpper[index] = judges_[i].Upper();
            doc.PeakLower[index] = judges_[i].Lower();
        } else {
            const auto c = static_cast<std::uint32_t>(column);
            ScanColumnPeakRange(file, doc, c, c + 1, doc.PeakUpper, doc.PeakLower);
        }
    }
}

bool SilenceRange(File& file, const Document& doc, const EditRange& range, Progress& processing)
{
    ProgressMeter meter(processing);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::uint64_t totalBytes = static_cast<std::uint64_t>(range.Frames) * frameSize;
    const unsigned char silence = (doc.BitsPerSample == 8) ? 128 : 0;
    std::vector<unsigned char> block(RewriteBlockBytes(doc.FrameSize, totalBytes), silence);
    std::uint64_t done = 0;
    while (done < totalBytes) {
        const auto bytes =
            static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), totalBytes - done));
        if (!file.WriteAt(range.StartByte + done, block.data(), bytes))
            return false;
        done += bytes;
        meter.Report(done / frameSize, range.Frames);
    }
    return true;
}

} // namespace velmora
