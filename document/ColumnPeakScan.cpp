#include "ColumnPeakScan.h"

#include "Document.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace velmora {

namespace {

constexpr std::uint64_t FramesBetweenLooks = 100;

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

} // namespace

void ScanColumnPeaks(File& file, const Document& doc, std::vector<std::int16_t>& upper,
                     std::vector<std::int16_t>& lower, Progress& bar)
{
    ProgressMeter meter(bar);
    const std::uint32_t columns = doc.ColumnCount;
    if (columns == 0 || doc.FramesPerColumn <= 0 || doc.FrameSize <= 0)
        return;

    const bool eightBit = (doc.BitsPerSample == 8);
    const bool mono = (doc.Channels == 1);
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const auto framesPerColumn = static_cast<std::uint64_t>(doc.FramesPerColumn);
    const std::uint64_t looksPerColumn = framesPerColumn / FramesBetweenLooks;
    const std::int32_t fullScale = eightBit ? 128 : 32768;
    const std::size_t bytesPerLook = static_cast<std::size_t>(frameSize);

    ForwardReader reader(file, doc.DataOffset, doc.DataEnd);
    for (std::uint32_t column = 0; column < columns; ++column) {
        std::int32_t up = 0;
        std::int32_t low = 0;
        const std::uint64_t firstFrame = column * framesPerColumn;
        for (std::uint64_t look = 0; look < looksPerColumn; ++look) {
            const std::uint64_t frame = firstFrame + look * FramesBetweenLooks;
            const unsigned char* p = reader.At(doc.DataOffset + frame * frameSize, bytesPerLook);
            if (p == nullptr)
                continue;
            std::int32_t first = 0;
            std::int32_t second = 0;
            if (eightBit) {
                first = std::abs(static_cast<std::int32_t>(p[0]) - 128);
                if (!mono)
                    second = std::abs(static_cast<std::int32_t>(p[1]) - 128);
            } else {
                first = std::abs(static_cast<std::int32_t>(GetS16LE(p)));
                if (!mono)
                    second = std::abs(static_cast<std::int32_t>(GetS16LE(p + 2)));
            }
            if (mono) {
                if (first > up)
                    up = low = first;
            } else {
                up = std::max(up, first);
                low = std::max(low, second);
            }
        }
        upper[column] = static_cast<std::int16_t>(up * 100 / fullScale);
        lower[column] = static_cast<std::int16_t>(low * 100 / fullScale);
        meter.Report(static_cast<int>((static_cast<std::uint64_t>(column) + 1) * 100 / columns));
    }
}

} // namespace velmora
