#pragma once

// Where a layer III frame keeps its main data.  A frame's main data (its
// scale factors and Huffman codes) need not lie in its own bytes: it
// begins main_data_begin bytes before the frame's own main data area, in
// the areas of the frames before it (the bit reservoir), and the frames
// after it may begin theirs in its area.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora::lame {

struct Layer3Layout {
    std::size_t Length = 0;          // bytes of the frame, header to the next header
    std::size_t AreaStart = 0;       // bytes from the frame's start to its main data area
    std::uint32_t MainDataBegin = 0; // bytes of earlier areas its main data begins in
    std::uint32_t MainDataBytes = 0; // bytes its main data takes (its granules' bits, rounded up)

    std::size_t AreaBytes() const { return Length - AreaStart; }
    // Bytes at the end of the areas up to and including this frame's that
    // its own main data and the data before it leave unused: what the
    // frame after it may draw on.
    std::int64_t FreeAfter() const
    {
        return static_cast<std::int64_t>(AreaBytes()) + MainDataBegin - static_cast<std::int64_t>(MainDataBytes);
    }
};

// The layout of the frame at frame (size bytes available); false when it
// is no layer III frame with a bit rate or is cut short.
bool ReadLayer3Layout(const std::uint8_t* frame, std::size_t size, Layer3Layout& layout);

// A frame with its bytes and layout, as held while parts are joined.
struct HeldFrame {
    std::vector<std::uint8_t> Bytes;
    Layer3Layout Layout;
};

// Copies the last count bytes of the main data areas of from[0, fromEnd)
// over the last count bytes of the areas of to[0, toEnd): the bytes that
// the frame after from[fromEnd - 1] draws on, put where the frame after
// to[toEnd - 1] looks for them.  False, and nothing copied, when either
// holds fewer.
bool MoveReservoir(const std::vector<HeldFrame>& from, std::size_t fromEnd, std::vector<HeldFrame>& to,
                   std::size_t toEnd, std::size_t count);

} // namespace velmora::lame
