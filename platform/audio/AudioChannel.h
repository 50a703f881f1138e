#pragma once

#include "Bass.h"

#include <cstdint>

namespace velmora {

// One stream of the audio library as its handle reaches it: a decoding
// stream or a playback stream.  Positions and lengths are bytes of the
// stream.  The operations every kind answers are here; what only playback
// does stays with the playback stream.
class AudioChannel {
public:
    virtual ~AudioChannel() = default;

    virtual std::uint64_t Length() const = 0;     // bytes
    virtual std::uint64_t Position() = 0;         // bytes
    virtual DWORD ActiveState() = 0;              // BASS_ACTIVE_*
    virtual std::uint32_t Rate() const = 0;       // frames per second
    virtual std::uint32_t Channels() const = 0;
    virtual bool EightBit() const = 0;
    virtual std::uint32_t BytesPerFrame() const = 0;
    virtual std::uint64_t FileSize() const = 0;   // bytes of the source file
    virtual bool Lossless() const { return false; }  // a losslessly coded source

    // BASS_ChannelGetData for this kind of stream.
    virtual DWORD GetData(void* buffer, DWORD length) = 0;

    // Runs once when the handle is freed: output stops and the file is
    // closed before the handle goes.
    virtual void Release() {}
};

} // namespace velmora
