#include "WaveBuilder.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <stdexcept>

namespace velmora::test {

namespace {

void Put32(std::vector<unsigned char>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void Put16(std::vector<unsigned char>& out, std::uint16_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void PutId(std::vector<unsigned char>& out, const std::string& id)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(i < static_cast<int>(id.size()) ? id[i] : ' '));
}

void PutChunk(std::vector<unsigned char>& out, const std::string& id,
              const std::vector<unsigned char>& payload, bool padOdd)
{
    PutId(out, id);
    Put32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (padOdd && payload.size() % 2 == 1)
        out.push_back(0);
}

} // namespace

WaveBuilder& WaveBuilder::Format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                                 std::uint16_t bits)
{
    tag_ = tag;
    channels_ = channels;
    rate_ = rate;
    bits_ = bits;
    return *this;
}

WaveBuilder& WaveBuilder::FormatExtra(std::vector<unsigned char> extra)
{
    formatExtra_ = std::move(extra);
    return *this;
}

WaveBuilder& WaveBuilder::ChunkBeforeData(const std::string& id, std::vector<unsigned char> payload,
                                          bool padOdd)
{
    before_.push_back({id, std::move(payload), padOdd});
    return *this;
}

WaveBuilder& WaveBuilder::ChunkFirst(const std::string& id, std::vector<unsigned char> payload)
{
    first_.push_back({id, std::move(payload), true});
    return *this;
}

WaveBuilder& WaveBuilder::Samples(std::vector<unsigned char> bytes)
{
    samples_ = std::move(bytes);
    return *this;
}

WaveBuilder& WaveBuilder::DataSizeField(std::uint32_t value)
{
    hasDataSizeField_ = true;
    dataSizeField_ = value;
    return *this;
}

WaveBuilder& WaveBuilder::ChunkAfterData(const std::string& id, std::vector<unsigned char> payload)
{
    after_.push_back({id, std::move(payload), true});
    return *this;
}

WaveBuilder& WaveBuilder::NoDataChunk()
{
    noData_ = true;
    return *this;
}

std::vector<unsigned char> WaveBuilder::Bytes() const
{
    std::vector<unsigned char> body;
    PutId(body, "WAVE");
    for (const Chunk& c : first_)
        PutChunk(body, c.Id, c.Payload, c.PadOdd);

    std::vector<unsigned char> fmt;
    Put16(fmt, tag_);
    Put16(fmt, channels_);
    Put32(fmt, rate_);
    const std::uint16_t align = static_cast<std::uint16_t>(channels_ * bits_ / 8);
    Put32(fmt, rate_ * align);
    Put16(fmt, align);
    Put16(fmt, bits_);
    fmt.insert(fmt.end(), formatExtra_.begin(), formatExtra_.end());
    PutChunk(body, "fmt ", fmt, true);

    for (const Chunk& c : before_)
        PutChunk(body, c.Id, c.Payload, c.PadOdd);
    if (!noData_) {
        PutId(body, "data");
        Put32(body, hasDataSizeField_ ? dataSizeField_ : static_cast<std::uint32_t>(samples_.size()));
        body.insert(body.end(), samples_.begin(), samples_.end());
        if (!after_.empty() && samples_.size() % 2 == 1)
            body.push_back(0);
    }
    for (const Chunk& c : after_)
        PutChunk(body, c.Id, c.Payload, c.PadOdd);

    std::vector<unsigned char> out;
    PutId(out, "RIFF");
    Put32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::string WaveBuilder::WriteTo(const std::string& path) const
{
    WriteWholeFile(path, Bytes());
    return path;
}

std::vector<unsigned char> Pcm16(const std::vector<std::int16_t>& samples)
{
    std::vector<unsigned char> out;
    out.reserve(samples.size() * 2);
    for (std::int16_t s : samples)
        Put16(out, static_cast<std::uint16_t>(s));
    return out;
}

std::vector<unsigned char> Pcm8(const std::vector<std::uint8_t>& samples)
{
    return {samples.begin(), samples.end()};
}

std::vector<std::int16_t> Sine16(std::uint32_t frames, int channels, std::uint32_t rate,
                                 double frequency, double amplitude)
{
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const double v = amplitude * 32767.0 * std::sin(2 * std::numbers::pi * frequency * f / rate);
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return out;
}

std::int16_t Tag16(std::uint32_t frame, int channel)
{
    // Distinct per frame over 32768 frames, and different per channel.
    const std::uint32_t v = (frame * 7u + static_cast<std::uint32_t>(channel) * 12345u) & 0xFFFFu;
    return static_cast<std::int16_t>(v);
}

std::uint8_t Tag8(std::uint32_t frame, int channel)
{
    return static_cast<std::uint8_t>((frame * 3u + static_cast<std::uint32_t>(channel) * 101u) & 0xFFu);
}

std::vector<std::int16_t> FrameTagged16(std::uint32_t frames, int channels)
{
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out.push_back(Tag16(f, c));
    return out;
}

std::vector<std::uint8_t> FrameTagged8(std::uint32_t frames, int channels)
{
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(frames) * channels);
    for (std::uint32_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out.push_back(Tag8(f, c));
    return out;
}

std::vector<unsigned char> RandomBytes(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<unsigned char> out(count);
    for (auto& b : out)
        b = static_cast<unsigned char>(random());
    return out;
}

std::vector<unsigned char> TryingSamples(int bits, std::size_t samples)
{
    const std::vector<unsigned char> noise = RandomBytes(samples * 2, 23);
    std::vector<unsigned char> bytes;
    bytes.reserve(samples * 2);
    for (std::size_t i = 0; i < samples; ++i) {
        std::int16_t v = 0;
        switch (i / 70'000 % 4) {
        case 0: v = 0; break;
        case 1: v = static_cast<std::int16_t>(static_cast<int>(i % 3) - 1); break;
        case 2: v = i % 2 == 0 ? -32768 : 32767; break;
        default: v = static_cast<std::int16_t>(noise[2 * i] | (noise[2 * i + 1] << 8)); break;
        }
        if (bits == 8) {
            bytes.push_back(static_cast<unsigned char>((v >> 8) + 128));
        } else {
            bytes.push_back(static_cast<unsigned char>(v));
            bytes.push_back(static_cast<unsigned char>(static_cast<std::uint16_t>(v) >> 8));
        }
    }
    return bytes;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWholeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace velmora::test
