#include "SampleRewrite.h"

namespace velmora {

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
