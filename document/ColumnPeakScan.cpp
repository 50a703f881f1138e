#include "ColumnPeakScan.h"

#include "Document.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>

namespace velmora {

namespace {

// Serves byte ranges at increasing offsets from a bounded window of the
// file, refilling it with one large read whenever a range leaves it.
class ForwardReader {
public:
    static constexpr std::size_t WindowBytes = 1 << 20;

    // start is where the first read will be; the window is no larger than
    // what lies between it and the limit.
    ForwardReader(File& file, std::uint64_t start, std::uint64_t limit)
        : file_(file), limit_(limit),
          window_(static_cast<std::size_t>(std::min<std::uint64_t>(WindowBytes, limit > start ? limit - start : 0)))
    {
    }

    // The size bytes at offset, or nullptr when they do not lie wholly
    // before the limit.
    const unsigned char* At(std::uint64_t offset, std::size_t size)
    {
        if (offset + size > limit_)
            return nullptr;
        if (offset < start_ || offset + size > start_ + filled_) {
            start_ = offset;
            const std::uint64_t wanted = std::min<std::uint64_t>(window_.size(), limit_ - offset);
            filled_ = file_.ReadAt(offset, window_.data(), static_cast<std::size_t>(wanted));
            if (size > filled_)
                return nullptr;
        }
        return window_.data() + (offset - start_);
    }

private:
    File& file_;
    std::uint64_t limit_;
    std::vector<unsigned char> window_;
    std::uint64_t start_ = 0;
    std::size_t filled_ = 0;
};

// Judges columns [first, end) into upper and lower; afterColumn(column)
// runs after each.
template <typename AfterColumn>
void ScanColumns(File& file, const Document& doc, std::uint32_t first, std::uint32_t end,
                 std::vector<std::int16_t>& upper, std::vector<std::int16_t>& lower, AfterColumn afterColumn)
{
    const bool eightBit = (doc.BitsPerSample == 8);
    const bool mono = (doc.Channels == 1);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const auto framesPerColumn = static_cast<std::uint64_t>(doc.FramesPerColumn);
    const std::uint64_t looksPerColumn = framesPerColumn / FramesBetweenLooks;
    const std::size_t bytesPerLook = static_cast<std::size_t>(frameSize);

    ForwardReader reader(file, doc.DataOffset + first * framesPerColumn * frameSize, doc.DataEnd);
    ColumnPeakJudge judge(eightBit, mono);
    for (std::uint32_t column = first; column < end; ++column) {
        judge.Reset();
        const std::uint64_t firstFrame = column * framesPerColumn;
        for (std::uint64_t look = 0; look < looksPerColumn; ++look) {
            const std::uint64_t frame = firstFrame + look * FramesBetweenLooks;
            const unsigned char* p = reader.At(doc.DataOffset + frame * frameSize, bytesPerLook);
            if (p == nullptr)
                continue;
            if (eightBit)
                judge.Look(std::abs(static_cast<std::int32_t>(p[0]) - 128),
                           mono ? 0 : std::abs(static_cast<std::int32_t>(p[1]) - 128));
            else
                judge.Look(std::abs(static_cast<std::int32_t>(GetS16LE(p))),
                           mono ? 0 : std::abs(static_cast<std::int32_t>(GetS16LE(p + 2))));
        }
        upper[column] = judge.Upper();
        lower[column] = judge.Lower();
        afterColumn(column);
    }
}

// Below this many columns a second thread costs more than it saves.
constexpr std::uint32_t ColumnsWorthSharing = 2048;

} // namespace

void ScanColumnPeakRange(File& file, const Document& doc, std::uint32_t first, std::uint32_t end,
                         std::vector<std::int16_t>& upper, std::vector<std::int16_t>& lower)
{
    end = std::min({end, PeakColumns(doc), static_cast<std::uint32_t>(std::min(upper.size(), lower.size()))});
    if (first >= end || doc.FramesPerColumn <= 0 || doc.FrameSize <= 0)
        return;
    ScanColumns(file, doc, first, end, upper, lower, [](std::uint32_t) {});
}

void ScanColumnPeaks(File& file, const Document& doc, std::vector<std::int16_t>& upper,
                     std::vector<std::int16_t>& lower, Progress& bar)
{
    ProgressMeter meter(bar);
    // Finer zooms keep no arrays: the view reads what it shows.
    const std::uint32_t columns = PeakColumns(doc);
    if (columns == 0 || doc.FramesPerColumn <= 0 || doc.FrameSize <= 0 || upper.size() < columns ||
        lower.size() < columns) {
        meter.Report(100);
        return;
    }
    const auto reportUpTo = [&](std::uint32_t column) {
        meter.Report(static_cast<int>((static_cast<std::uint64_t>(column) + 1) * 100 / columns));
    };

    // The columns are independent: a second core takes the second half
    // through a handle of its own, while this thread scans the first and
    // keeps the bar moving.
    File second = columns >= ColumnsWorthSharing && std::thread::hardware_concurrency() > 1 ? file.Duplicate() : File();
    if (!second) {
        ScanColumns(file, doc, 0, columns, upper, lower, reportUpTo);
        return;
    }
    const std::uint32_t split = columns / 2;
    std::thread helper([&] { ScanColumns(second, doc, split, columns, upper, lower, [](std::uint32_t) {}); });
    ScanColumns(file, doc, 0, split, upper, lower, reportUpTo);
    helper.join();
    reportUpTo(columns - 1);
}

} // namespace velmora
