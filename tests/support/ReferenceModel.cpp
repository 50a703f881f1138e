#include "ReferenceModel.h"

#include <algorithm>
#include <cstdlib>

namespace velmora::test {

namespace {

std::int32_t Read16(const Bytes& b, std::size_t at)
{
    return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
}

void Write16(Bytes& b, std::size_t at, std::int32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void Write32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

std::int32_t Clamp(std::int64_t v, std::int64_t lo, std::int64_t hi)
{
    return static_cast<std::int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

// S and N of the edit range: columns s up to e, or to the end of the
// audio when e is the last column.
void Range(const ModelFormat& f, std::uint32_t s, std::uint32_t e, std::size_t& start,
           std::size_t& frames)
{
    if (f.ExactFrames) {
        start = f.DataOffset + static_cast<std::size_t>(s) * f.FrameSize();
        frames = e - s;
        return;
    }
    const std::size_t total = (f.DataEnd - f.DataOffset) / static_cast<std::size_t>(f.FrameSize());
    const std::size_t columns = (total + f.FramesPerColumn - 1) / f.FramesPerColumn;
    start = f.DataOffset + static_cast<std::size_t>(s) * f.FramesPerColumn * f.FrameSize();
    frames = columns > 0 && e + 1 >= columns ? total - static_cast<std::size_t>(s) * f.FramesPerColumn
                                             : static_cast<std::size_t>(e - s) * f.FramesPerColumn;
}

void PatchSizes(Bytes& file, const ModelFormat& f)
{
    const auto length = static_cast<std::uint32_t>(file.size());
    Write32(file, f.DataOffset - 4, length - f.DataOffset);
    Write32(file, 4, length - 8);
}

// One sample at a time, as the file stream would do it.
template <typename Fn>
void EachSample(Bytes& file, const ModelFormat& f, std::size_t start, std::size_t frames, Fn fn)
{
    const int perFrame = f.Channels == 1 ? 1 : 2;
    std::size_t at = start;
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < perFrame; ++c) {
            if (f.BitsPerSample == 8) {
                const std::int32_t v = fn(i, static_cast<std::int32_t>(file[at]) - 128);
                file[at] = static_cast<unsigned char>(v + 128);
                at += 1;
            } else {
                const std::int32_t v = fn(i, Read16(file, at));
                Write16(file, at, v);
                at += 2;
            }
        }
    }
}

} // namespace

ModelPeaks ModelScan(const Bytes& file, const ModelFormat& f, std::uint32_t columns)
{
    ModelPeaks peaks;
    const int r = f.FramesPerColumn / 100;
    for (std::uint32_t i = 0; i < columns; ++i) {
        int up = 0;
        int low = 0;
        for (int k = 0; k < r; ++k) {
            const std::size_t frame = static_cast<std::size_t>(i) * f.FramesPerColumn + 100 * k;
            const std::size_t at = f.DataOffset + frame * f.FrameSize();
            if (at + f.FrameSize() > f.DataEnd)
                continue;
            int first;
            int second = 0;
            if (f.BitsPerSample == 8) {
                first = std::abs(file[at] - 128);
                if (f.Channels != 1)
                    second = std::abs(file[at + 1] - 128);
            } else {
                first = std::abs(Read16(file, at));
                if (f.Channels != 1)
                    second = std::abs(Read16(file, at + 2));
            }
            if (f.Channels == 1) {
                if (first > up)
                    up = low = first;
            } else {
                if (first > up)
                    up = first;
                if (second > low)
                    low = second;
            }
        }
        const int full = f.BitsPerSample == 8 ? 128 : 32768;
        peaks.Upper.push_back(static_cast<std::int16_t>(up * 100 / full));
        peaks.Lower.push_back(static_cast<std::int16_t>(low * 100 / full));
    }
    return peaks;
}

Bytes ModelDelete(Bytes file, const ModelFormat& f, std::uint32_t s, std::uint32_t e)
{
    std::size_t start, frames;
    Range(f, s, e, start, frames);
    const std::size_t end = start + frames * f.FrameSize();
    Bytes out(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(start));
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(end),
               file.begin() + static_cast<std::ptrdiff_t>(f.DataEnd));
    PatchSizes(out, f);
    return out;
}

Bytes ModelCutOut(Bytes file, const ModelFormat& f, std::uint32_t s, std::uint32_t e)
{
    std::size_t start, frames;
    Range(f, s, e, start, frames);
    const std::size_t end = start + frames * f.FrameSize();
    Bytes out(file.begin(), file.begin() + f.DataOffset);
    out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(start),
               file.begin() + static_cast<std::ptrdiff_t>(end));
    PatchSizes(out, f);
    return out;
}

Bytes ModelVolume(Bytes file, const ModelFormat& f, std::uint32_t s, std::uint32_t e, float gain,
                  bool mute)
{
    if (gain == 1.0f && !mute)
        return file;
    std::size_t start, frames;
    Range(f, s, e, start, frames);
    EachSample(file, f, start, frames, [&](std::size_t, std::int32_t x) -> std::int32_t {
        if (mute)
            return 0;
        const auto v = static_cast<std::int64_t>(static_cast<double>(x) * gain);
        return f.BitsPerSample == 8 ? Clamp(v, -128, 127) : Clamp(v, -32767, 32767);
    });
    return file;
}

Bytes ModelFade(Bytes file, const ModelFormat& f, std::uint32_t s, std::uint32_t e, bool fadeIn)
{
    std::size_t start, frames;
    Range(f, s, e, start, frames);
    const std::size_t step = frames / 100;
    EachSample(file, f, start, frames, [&](std::size_t i, std::int32_t x) -> std::int32_t {
        // Under 100 frames a step a frame, at its place in the hundred;
        // the last step goes on to the end.
        const std::size_t k = step == 0 ? i * 100 / frames : std::min<std::size_t>(i / step, 99);
        const auto g = static_cast<std::int32_t>(fadeIn ? k : 100 - k);
        const std::int32_t v = x * g / 100;
        return f.BitsPerSample == 8 ? Clamp(v, -128, 127) : Clamp(v, -32767, 32767);
    });
    return file;
}

} // namespace velmora::test
