#include "FrameReader.h"

#include "Document.h"

#include "platform/ByteOrder.h"
#include "platform/File.h"

#include <algorithm>

namespace velmora {

std::size_t ReadFrameSamples(const Document& doc, std::uint64_t first, std::size_t count,
                             std::vector<std::int16_t>& samples)
{
    samples.clear();
    if (doc.FrameSize <= 0 || first >= doc.TotalFrames || doc.WorkFile.empty())
        return 0;
    const auto frames = static_cast<std::size_t>(std::min<std::uint64_t>(count, doc.TotalFrames - first));
    File file = File::Open(doc.WorkFile, File::Mode::Read);
    if (!file)
        return 0;
    const auto frameSize = static_cast<std::size_t>(doc.FrameSize);
    std::vector<unsigned char> bytes(frames * frameSize);
    const std::size_t got = file.ReadAt(doc.DataOffset + first * frameSize, bytes.data(), bytes.size()) / frameSize;
    const bool mono = doc.Channels == 1;
    const bool eightBit = doc.BitsPerSample == 8;
    const std::size_t perFrame = mono ? 1 : 2;
    samples.resize(got * perFrame);
    for (std::size_t f = 0; f < got; ++f) {
        const unsigned char* frame = bytes.data() + f * frameSize;
        for (std::size_t c = 0; c < perFrame; ++c) {
            samples[f * perFrame + c] = eightBit ? static_cast<std::int16_t>((frame[c] - 128) * 256)
                                                 : GetS16LE(frame + 2 * c);
        }
    }
    return got;
}

} // namespace velmora
