#include "InfoFrame.h"

#include <algorithm>
#include <array>

namespace velmora::lame {

namespace {

// Bit rates of layer III by index, kbit/s: MPEG-1, then MPEG-2 and 2.5.
constexpr std::array<std::uint32_t, 15> Mpeg1Kbps = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array<std::uint32_t, 15> Mpeg2Kbps = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
// Sample rates by index for MPEG-1; MPEG-2 halves them, MPEG-2.5 quarters them.
constexpr std::array<std::uint32_t, 3> Mpeg1Rates = {44100, 48000, 32000};

// The Xing fields (tag, flags, frames, bytes, 100 TOC entries, quality)
// and LAME's extension after them, up to its own CRC.
constexpr std::size_t XingBytes = 4 + 4 + 4 + 4 + 100 + 4;
constexpr std::size_t LameBytesBeforeCrc = 9 + 1 + 1 + 4 + 2 + 2 + 1 + 1 + 3 + 1 + 1 + 2 + 4 + 2;
constexpr std::uint32_t AllXingFields = 0x0F;  // frames, bytes, TOC, quality

struct Header {
    bool Mpeg1 = true;
    std::uint32_t Rate = 0;
    bool Mono = false;
};

bool Parse(std::uint32_t h, Header& out)
{
    const std::uint32_t version = (h >> 19) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const std::uint32_t layer = (h >> 17) & 3;    // 1 layer III
    const std::uint32_t rateIndex = (h >> 10) & 3;
    if ((h >> 21) != 0x7FF || version == 1 || layer != 1 || rateIndex == 3)
        return false;
    out.Mpeg1 = version == 3;
    out.Rate = Mpeg1Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    out.Mono = ((h >> 6) & 3) == 3;
    return true;
}

// Bytes of side information after the 4 header bytes: the Info tag starts there.
std::size_t SideInfoBytes(const Header& h)
{
    return h.Mpeg1 ? (h.Mono ? 17 : 32) : (h.Mono ? 9 : 17);
}

std::size_t FrameBytes(const Header& h, std::uint32_t kbps)
{
    return (h.Mpeg1 ? 144000u : 72000u) * kbps / h.Rate;
}

// The bit rate index of the Info frame: the stream's own (from its first
// header) where its frame holds the whole tag, else the smallest that does.
int IndexThatHolds(const Header& h, std::uint32_t firstHeader)
{
    const auto& kbps = h.Mpeg1 ? Mpeg1Kbps : Mpeg2Kbps;
    const std::size_t needed = 4 + SideInfoBytes(h) + XingBytes + LameBytesBeforeCrc + 2;
    const auto own = static_cast<int>((firstHeader >> 12) & 0xF);
    if (own > 0 && own < static_cast<int>(kbps.size()) && FrameBytes(h, kbps[static_cast<std::size_t>(own)]) >= needed)
        return own;
    for (int i = 1; i < static_cast<int>(kbps.size()); ++i) {
        if (FrameBytes(h, kbps[static_cast<std::size_t>(i)]) >= needed)
            return i;
    }
    return 0;
}

void PutBE(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

} // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc)
{
    // A byte at a time through a table: a whole stream's CRC is taken at
    // the end of a long save.
    static const std::array<std::uint16_t, 256> table = [] {
        std::array<std::uint16_t, 256> t{};
        for (std::uint32_t byte = 0; byte < 256; ++byte) {
            auto value = static_cast<std::uint16_t>(byte);
            for (int bit = 0; bit < 8; ++bit)
                value = static_cast<std::uint16_t>((value & 1) ? (value >> 1) ^ 0xA001 : value >> 1);
            t[byte] = value;
        }
        return t;
    }();
    for (std::size_t i = 0; i < size; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

std::size_t FrameLength(std::uint32_t header)
{
    Header h;
    const std::uint32_t index = (header >> 12) & 0xF;
    if (!Parse(header, h) || index == 0 || index == 15)
        return 0;
    const std::uint32_t kbps = (h.Mpeg1 ? Mpeg1Kbps : Mpeg2Kbps)[index];
    return FrameBytes(h, kbps) + ((header >> 9) & 1);
}

std::size_t InfoFrameBytes(std::uint32_t firstHeader)
{
    Header h;
    if (!Parse(firstHeader, h))
        return 0;
    const int index = IndexThatHolds(h, firstHeader);
    return index == 0 ? 0 : FrameBytes(h, (h.Mpeg1 ? Mpeg1Kbps : Mpeg2Kbps)[static_cast<std::size_t>(index)]);
}

std::vector<std::uint8_t> BuildInfoFrame(const StreamFacts& facts)
{
    Header h;
    const std::size_t size = InfoFrameBytes(facts.FirstHeader);
    if (size == 0 || !Parse(facts.FirstHeader, h))
        return {};
    std::vector<std::uint8_t> frame(size, 0);
    // The stream's header with the tag's bit rate, no padding and no CRC.
    const auto index = static_cast<std::uint32_t>(IndexThatHolds(h, facts.FirstHeader));
    const std::uint32_t header = (facts.FirstHeader & ~0xF000u & ~0x0200u) | (index << 12) | 0x10000u;
    PutBE(frame, 0, header, 4);

    std::size_t at = 4 + SideInfoBytes(h);
    PutBE(frame, at, 0x496E666F, 4);  // "Info": a constant bit rate
    PutBE(frame, at + 4, AllXingFields, 4);
    PutBE(frame, at + 8, facts.AudioFrames, 4);
    PutBE(frame, at + 12, facts.StreamBytes, 4);
    for (std::size_t i = 0; i < 100; ++i)  // a constant rate: positions proportional to time
        frame[at + 16 + i] = static_cast<std::uint8_t>(i * 256 / 100);
    PutBE(frame, at + 116, 0, 4);  // quality
    at += XingBytes;

    const std::string version = ("LAME" + facts.Version + "         ").substr(0, 9);
    std::copy(version.begin(), version.end(), frame.begin() + static_cast<std::ptrdiff_t>(at));
    frame[at + 9] = 0x01;  // revision 0, method: constant bit rate
    frame[at + 10] = static_cast<std::uint8_t>(std::min<std::uint32_t>(facts.LowpassHz / 100, 255));
    // peak (4), radio and audiophile gain (2 + 2), flags and ATH (1): none
    frame[at + 20] = static_cast<std::uint8_t>(std::min<std::uint32_t>(facts.Kbps, 255));
    PutBE(frame, at + 21, ((facts.Delay & 0xFFF) << 12) | (facts.Padding & 0xFFF), 3);
    // misc (1), gain (1), preset and surround (2): none
    PutBE(frame, at + 28, facts.StreamBytes, 4);
    PutBE(frame, at + 32, facts.MusicCrc, 2);
    at += LameBytesBeforeCrc;
    PutBE(frame, at, Crc16(frame.data(), at), 2);
    return frame;
}

} // namespace velmora::lame
