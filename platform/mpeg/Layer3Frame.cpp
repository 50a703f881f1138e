#include "Layer3Frame.h"

#include "InfoFrame.h"

namespace velmora::lame {

namespace {

// Reads bits most significant first.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Read(int bits, std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < bits; ++i, ++at_) {
            if (at_ / 8 >= size_)
                return false;
            value = (value << 1) | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1u);
        }
        return true;
    }
    bool Skip(int bits)
    {
        at_ += static_cast<std::size_t>(bits);
        return at_ <= size_ * 8;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Where the byte `back` bytes before the end of the areas of frames[0, end)
// lies, or nullptr when they hold fewer.
template <typename Frames>
auto AreaByteBefore(Frames& frames, std::size_t end, std::size_t back) -> decltype(&frames[0].Bytes[0])
{
    for (std::size_t i = end; i-- > 0;) {
        const std::size_t area = frames[i].Layout.AreaBytes();
        if (back < area)
            return &frames[i].Bytes[frames[i].Layout.Length - 1 - back];
        back -= area;
    }
    return nullptr;
}

} // namespace

bool ReadLayer3Layout(const std::uint8_t* frame, std::size_t size, Layer3Layout& layout)
{
    if (size < 4)
        return false;
    const std::uint32_t header = HeaderAt(frame);
    layout.Length = FrameLength(header);
    if (layout.Length == 0 || size < layout.Length)
        return false;
    const bool mpeg1 = ((header >> 19) & 3) == 3;
    const bool mono = ((header >> 6) & 3) == 3;
    const bool crc = ((header >> 16) & 1) == 0;
    const int channels = mono ? 1 : 2;
    const std::size_t sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    layout.AreaStart = 4 + (crc ? 2 : 0) + sideInfo;
    if (layout.AreaStart > layout.Length)
        return false;

    BitReader side(frame + 4 + (crc ? 2 : 0), sideInfo);
    std::uint32_t begin = 0;
    if (!side.Read(mpeg1 ? 9 : 8, begin))
        return false;
    // Private bits, and MPEG-1's scale factor selection per channel.
    if (!side.Skip(mpeg1 ? (mono ? 5 : 3) + 4 * channels : (mono ? 1 : 2)))
        return false;
    std::uint32_t bits = 0;
    for (int granule = 0; granule < (mpeg1 ? 2 : 1); ++granule) {
        for (int channel = 0; channel < channels; ++channel) {
            std::uint32_t part23 = 0;
            // part2_3_length, then the rest of the granule's side information.
            if (!side.Read(12, part23) || !side.Skip(mpeg1 ? 47 : 51))
                return false;
            bits += part23;
        }
    }
    layout.MainDataBegin = begin;
    layout.MainDataBytes = (bits + 7) / 8;
    return true;
}

bool MoveReservoir(const std::vector<HeldFrame>& from, std::size_t fromEnd, std::vector<HeldFrame>& to,
                   std::size_t toEnd, std::size_t count)
{
    if (count == 0)
        return true;
    if (AreaByteBefore(from, fromEnd, count - 1) == nullptr || AreaByteBefore(to, toEnd, count - 1) == nullptr)
        return false;
    for (std::size_t back = 0; back < count; ++back)
        *AreaByteBefore(to, toEnd, back) = *AreaByteBefore(from, fromEnd, back);
    return true;
}

} // namespace velmora::lame
