#pragma once

// A literal, sample-by-sample model of the working file's rewrites and of
// the column peak scan, over an in-memory copy of the whole file.  It is
// written to be obviously right, not fast: the production code works in
// blocks and is compared against it on many random files.

#include <cstdint>
#include <vector>

namespace velmora::test {

struct ModelFormat {
    int Channels = 2;
    int BitsPerSample = 16;
    std::uint32_t DataOffset = 44;
    std::uint32_t DataEnd = 44;
    int FramesPerColumn = 10000;
    // The markers are frames, the edit range exactly [selStart, selFinish)
    // (otherwise columns, the last one reaching the end of the audio).
    bool ExactFrames = false;
    int FrameSize() const { return (BitsPerSample == 8 ? 1 : 2) * (Channels == 1 ? 1 : 2); }
};

using Bytes = std::vector<unsigned char>;

struct ModelPeaks {
    std::vector<std::int16_t> Upper, Lower;
};

ModelPeaks ModelScan(const Bytes& file, const ModelFormat& f, std::uint32_t columns);

// Each returns the whole new file.
Bytes ModelDelete(Bytes file, const ModelFormat& f, std::uint32_t selStart, std::uint32_t selFinish);
Bytes ModelCutOut(Bytes file, const ModelFormat& f, std::uint32_t selStart, std::uint32_t selFinish);
Bytes ModelVolume(Bytes file, const ModelFormat& f, std::uint32_t selStart, std::uint32_t selFinish,
                  float gain, bool mute);
Bytes ModelFade(Bytes file, const ModelFormat& f, std::uint32_t selStart, std::uint32_t selFinish,
                bool fadeIn);

} // namespace velmora::test
