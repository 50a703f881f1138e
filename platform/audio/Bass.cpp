#include "Bass.h"

#include "DecodeChannel.h"
#include "OutputDevice.h"
#include "PlaybackChannel.h"

#include <cstring>
#include <map>
#include <memory>
#include <variant>

namespace velmora {

namespace {

constexpr DWORD Version = 0x02040000;
constexpr DWORD Failure = static_cast<DWORD>(-1);
constexpr QWORD QFailure = static_cast<QWORD>(-1);

using Channel = std::variant<std::unique_ptr<DecodeChannel>, std::shared_ptr<PlaybackChannel>>;

// The library's state: the output device and every stream by handle.
// Handles count up and are never reused, so a freed handle stays invalid.
struct Library {
    std::unique_ptr<OutputDevice> Output;
    std::map<DWORD, Channel> Channels;
    DWORD NextHandle = 0x10000001;
};

Library& State()
{
    static Library library;
    return library;
}

DecodeChannel* Decoder(DWORD handle)
{
    auto& channels = State().Channels;
    const auto it = channels.find(handle);
    if (it == channels.end())
        return nullptr;
    auto* decoder = std::get_if<std::unique_ptr<DecodeChannel>>(&it->second);
    return decoder ? decoder->get() : nullptr;
}

PlaybackChannel* Player(DWORD handle)
{
    auto& channels = State().Channels;
    const auto it = channels.find(handle);
    if (it == channels.end())
        return nullptr;
    auto* player = std::get_if<std::shared_ptr<PlaybackChannel>>(&it->second);
    return player ? player->get() : nullptr;
}

DWORD Register(Channel channel)
{
    Library& library = State();
    const DWORD handle = library.NextHandle++;
    library.Channels.emplace(handle, std::move(channel));
    return handle;
}

HSTREAM CreateStream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags, bool decodeOnly)
{
    if (mem || file == nullptr || offset != 0 || length != 0)
        return 0;
    const std::string path(static_cast<const char*>(file));
    if (decodeOnly || (flags & BASS_STREAM_DECODE) != 0) {
        auto decoder = DecodeChannel::Open(path);
        return decoder ? Register(std::move(decoder)) : 0;
    }
    Library& library = State();
    if (!library.Output)
        return 0;
    auto player = PlaybackChannel::Open(path, *library.Output);
    if (!player)
        return 0;
    library.Output->Add(player);
    return Register(std::move(player));
}

void FreeChannel(Channel& channel)
{
    if (auto* player = std::get_if<std::shared_ptr<PlaybackChannel>>(&channel)) {
        (*player)->Close();
        if (State().Output)
            State().Output->Remove(player->get());
    }
}

} // namespace

DWORD BASS_GetVersion()
{
    return Version;
}

BOOL BASS_Init(int device, DWORD freq, DWORD, void*, const void*)
{
    Library& library = State();
    if (library.Output || device != -1 || freq == 0)
        return 0;
    library.Output = OutputDevice::Open(static_cast<int>(freq));
    return library.Output ? 1 : 0;
}

BOOL BASS_Free()
{
    Library& library = State();
    for (auto& [handle, channel] : library.Channels)
        FreeChannel(channel);
    library.Channels.clear();
    const bool hadOutput = library.Output != nullptr;
    library.Output.reset();
    return hadOutput ? 1 : 0;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    return CreateStream(mem, file, offset, length, flags, false);
}

HSTREAM BASS_WMA_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    return CreateStream(mem, file, offset, length, flags, true);
}

BOOL BASS_StreamFree(HSTREAM handle)
{
    auto& channels = State().Channels;
    const auto it = channels.find(handle);
    if (it == channels.end())
        return 0;
    FreeChannel(it->second);
    channels.erase(it);
    return 1;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode)
{
    if (mode != BASS_POS_BYTE)
        return QFailure;
    if (auto* decoder = Decoder(handle))
        return decoder->Length();
    if (auto* player = Player(handle))
        return player->Length();
    return QFailure;
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode)
{
    if (mode != BASS_POS_BYTE)
        return QFailure;
    if (auto* decoder = Decoder(handle))
        return decoder->Position();
    if (auto* player = Player(handle))
        return player->Position();
    return QFailure;
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position, DWORD mode)
{
    auto* player = Player(handle);
    if (player == nullptr || mode != BASS_POS_BYTE || position > player->Length())
        return 0;
    return player->SetPosition(position) ? 1 : 0;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD position)
{
    double bytesPerSecond = 0;
    if (auto* decoder = Decoder(handle))
        bytesPerSecond = static_cast<double>(decoder->Rate()) * decoder->BytesPerFrame();
    else if (auto* player = Player(handle))
        bytesPerSecond = static_cast<double>(player->Rate()) * player->BytesPerFrame();
    if (bytesPerSecond <= 0)
        return -1;
    return static_cast<double>(position) / bytesPerSecond;
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    if (auto* decoder = Decoder(handle))
        return decoder->Active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
    if (auto* player = Player(handle)) {
        switch (player->Activity()) {
        case PlaybackChannel::State::Playing: return BASS_ACTIVE_PLAYING;
        case PlaybackChannel::State::Paused: return BASS_ACTIVE_PAUSED;
        case PlaybackChannel::State::Stopped: return BASS_ACTIVE_STOPPED;
        }
    }
    return BASS_ACTIVE_STOPPED;
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart)
{
    auto* player = Player(handle);
    if (player == nullptr)
        return 0;
    player->Play(restart != 0);
    return 1;
}

BOOL BASS_ChannelPause(DWORD handle)
{
    auto* player = Player(handle);
    if (player == nullptr || player->Activity() != PlaybackChannel::State::Playing)
        return 0;
    player->Pause();
    return 1;
}

BOOL BASS_ChannelStop(DWORD handle)
{
    auto* player = Player(handle);
    if (player == nullptr)
        return 0;
    player->Stop();
    return 1;
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length)
{
    if (buffer == nullptr)
        return Failure;
    if (auto* decoder = Decoder(handle)) {
        if ((length & 0x80000000u) != 0)
            return Failure;
        return decoder->Read(buffer, length);
    }
    if (auto* player = Player(handle)) {
        if (length != BASS_DATA_FFT1024)
            return Failure;
        player->Spectrum(static_cast<float*>(buffer));
        return SpectrumAnalyzer::Bins * sizeof(float);
    }
    return Failure;
}

DWORD BASS_ChannelGetLevel(DWORD handle)
{
    auto* player = Player(handle);
    return player ? player->Level() : Failure;
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info)
{
    if (info == nullptr)
        return 0;
    if (auto* decoder = Decoder(handle)) {
        *info = {decoder->Rate(), decoder->Channels(), decoder->EightBit() ? BASS_SAMPLE_8BITS : 0u};
        return 1;
    }
    if (auto* player = Player(handle)) {
        *info = {player->Rate(), player->Channels(), player->EightBit() ? BASS_SAMPLE_8BITS : 0u};
        return 1;
    }
    return 0;
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode)
{
    if (mode != BASS_FILEPOS_END)
        return QFailure;
    if (auto* decoder = Decoder(handle))
        return decoder->FileSize();
    if (auto* player = Player(handle))
        return player->FileSize();
    return QFailure;
}

} // namespace velmora
