// The output device and what only playback streams do: play, pause, stop,
// seek and the level.  Initialising the library opens the device and lets
// the stream table make playback streams on it.

#include "Bass.h"

#include "ChannelTable.h"
#include "OutputDevice.h"
#include "PlaybackChannel.h"

namespace velmora {

namespace {

constexpr DWORD Failure = static_cast<DWORD>(-1);

// The open output device, if any.  Whatever still plays when the program
// ends is released before the device goes.
struct Output {
    std::unique_ptr<OutputDevice> Device;
    ~Output()
    {
        if (Device)
            ChannelTable::Instance().FreeAll();
    }
};

Output& TheOutput()
{
    // The table is made first, so that it outlives the device.
    ChannelTable::Instance();
    static Output output;
    return output;
}

PlaybackChannel* Player(DWORD handle)
{
    return dynamic_cast<PlaybackChannel*>(ChannelTable::Instance().Find(handle));
}

} // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD, void*, const void*)
{
    Output& output = TheOutput();
    if (output.Device || device != -1 || freq == 0)
        return 0;
    output.Device = OutputDevice::Open(static_cast<int>(freq));
    if (!output.Device)
        return 0;
    ChannelTable::Instance().SetPlaybackMaker([&output](const std::string& path) -> std::shared_ptr<AudioChannel> {
        auto player = PlaybackChannel::Open(path, *output.Device);
        if (player)
            output.Device->Add(player);
        return player;
    });
    return 1;
}

BOOL BASS_Free()
{
    Output& output = TheOutput();
    ChannelTable& table = ChannelTable::Instance();
    table.FreeAll();
    table.SetPlaybackMaker(nullptr);
    const bool hadDevice = output.Device != nullptr;
    output.Device.reset();
    return hadDevice ? 1 : 0;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position, DWORD mode)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr || mode != BASS_POS_BYTE || position > player->Length())
        return 0;
    return player->SetPosition(position) ? 1 : 0;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr)
        return 0;
    return player->Play(restart != 0) ? 1 : 0;
}

BOOL VelmoraChannelPlayRange(DWORD handle, QWORD from, QWORD to, BOOL loop)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr || from > to || to > player->Length())
        return 0;
    const std::uint64_t frame = player->BytesPerFrame();
    return player->PlayRange(from / frame, to / frame, loop != 0) ? 1 : 0;
}

BOOL VelmoraChannelSetLoop(DWORD handle, BOOL loop)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr || !player->PlaysRange())
        return 0;
    player->SetLoop(loop != 0);
    return 1;
}

BOOL VelmoraChannelPlaysRange(DWORD handle)
{
    PlaybackChannel* player = Player(handle);
    return player != nullptr && player->PlaysRange() ? 1 : 0;
}

BOOL BASS_ChannelPause(DWORD handle)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr || player->Activity() != PlaybackChannel::State::Playing)
        return 0;
    player->Pause();
    return 1;
}

BOOL BASS_ChannelStop(DWORD handle)
{
    PlaybackChannel* player = Player(handle);
    if (player == nullptr)
        return 0;
    player->Stop();
    return 1;
}

DWORD BASS_ChannelGetLevel(DWORD handle)
{
    PlaybackChannel* player = Player(handle);
    return player ? player->Level() : Failure;
}

} // namespace velmora
