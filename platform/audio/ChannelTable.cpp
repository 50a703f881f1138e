#include "ChannelTable.h"

namespace velmora {

ChannelTable& ChannelTable::Instance()
{
    static ChannelTable table;
    return table;
}

DWORD ChannelTable::Add(std::shared_ptr<AudioChannel> channel)
{
    const DWORD handle = nextHandle_++;
    channels_.emplace(handle, std::move(channel));
    return handle;
}

AudioChannel* ChannelTable::Find(DWORD handle) const
{
    const auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.get();
}

bool ChannelTable::Free(DWORD handle)
{
    const auto it = channels_.find(handle);
    if (it == channels_.end())
        return false;
    it->second->Release();
    channels_.erase(it);
    return true;
}

void ChannelTable::FreeAll()
{
    for (auto& [handle, channel] : channels_)
        channel->Release();
    channels_.clear();
}

std::shared_ptr<AudioChannel> ChannelTable::MakePlayback(const std::string& path) const
{
    return playbackMaker_ ? playbackMaker_(path) : nullptr;
}

} // namespace velmora
