// The operations every stream answers, and decoding streams.  Playback
// and the output device are in BassOutput.cpp (the output target).

#include "Bass.h"

#include "ChannelTable.h"
#include "DecodeChannel.h"

namespace velmora {

namespace {

constexpr DWORD Version = 0x02040000;
constexpr DWORD Failure = static_cast<DWORD>(-1);
constexpr QWORD QFailure = static_cast<QWORD>(-1);

AudioChannel* Find(DWORD handle)
{
    return ChannelTable::Instance().Find(handle);
}

HSTREAM CreateStream(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags, bool decodeOnly)
{
    if (mem || file == nullptr || offset != 0 || length != 0)
        return 0;
    const std::string path(static_cast<const char*>(file));
    ChannelTable& table = ChannelTable::Instance();
    if (decodeOnly || (flags & BASS_STREAM_DECODE) != 0) {
        std::shared_ptr<AudioChannel> decoder = DecodeChannel::Open(path);
        return decoder ? table.Add(std::move(decoder)) : 0;
    }
    std::shared_ptr<AudioChannel> player = table.MakePlayback(path);
    return player ? table.Add(std::move(player)) : 0;
}

} // namespace

DWORD BASS_GetVersion()
{
    return Version;
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
    return ChannelTable::Instance().Free(handle) ? 1 : 0;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode)
{
    AudioChannel* channel = Find(handle);
    if (channel == nullptr || mode != BASS_POS_BYTE)
        return QFailure;
    return channel->Length();
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode)
{
    AudioChannel* channel = Find(handle);
    if (channel == nullptr || mode != BASS_POS_BYTE)
        return QFailure;
    return channel->Position();
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD position)
{
    AudioChannel* channel = Find(handle);
    const double bytesPerSecond =
        channel == nullptr ? 0 : static_cast<double>(channel->Rate()) * channel->BytesPerFrame();
    if (bytesPerSecond <= 0)
        return -1;
    return static_cast<double>(position) / bytesPerSecond;
}

DWORD BASS_ChannelIsActive(DWORD handle)
{
    AudioChannel* channel = Find(handle);
    return channel == nullptr ? BASS_ACTIVE_STOPPED : channel->ActiveState();
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length)
{
    AudioChannel* channel = Find(handle);
    if (channel == nullptr || buffer == nullptr)
        return Failure;
    return channel->GetData(buffer, length);
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info)
{
    AudioChannel* channel = Find(handle);
    if (channel == nullptr || info == nullptr)
        return 0;
    *info = {channel->Rate(), channel->Channels(),
             (channel->EightBit() ? BASS_SAMPLE_8BITS : 0u) | (channel->Lossless() ? BASS_SAMPLE_LOSSLESS : 0u)};
    return 1;
}

QWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode)
{
    AudioChannel* channel = Find(handle);
    if (channel == nullptr || mode != BASS_FILEPOS_END)
        return QFailure;
    return channel->FileSize();
}

} // namespace velmora
