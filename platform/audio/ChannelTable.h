#pragma once

#include "AudioChannel.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace velmora {

// The audio library's streams by handle.  Handles count up and are never
// reused, so a freed handle stays invalid.  Decoding streams need nothing
// but FFmpeg; playback streams are made by the output side, which installs
// its maker while the output device is open.
class ChannelTable {
public:
    using PlaybackMaker = std::function<std::shared_ptr<AudioChannel>(const std::string& path)>;

    static ChannelTable& Instance();

    DWORD Add(std::shared_ptr<AudioChannel> channel);
    // nullptr for 0, a freed or an unknown handle.
    AudioChannel* Find(DWORD handle) const;
    // Releases and forgets the stream; false for an unknown handle.
    bool Free(DWORD handle);
    // Releases and forgets every stream.
    void FreeAll();

    void SetPlaybackMaker(PlaybackMaker maker) { playbackMaker_ = std::move(maker); }
    // A playback stream on the WAV file at path, or nullptr when it cannot
    // be read or no output device is open.
    std::shared_ptr<AudioChannel> MakePlayback(const std::string& path) const;

private:
    std::map<DWORD, std::shared_ptr<AudioChannel>> channels_;
    DWORD nextHandle_ = 0x10000001;
    PlaybackMaker playbackMaker_;
};

} // namespace velmora
