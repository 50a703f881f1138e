#include "ReadAhead.h"

#include <algorithm>

namespace velmora {

ReadAhead::ReadAhead(const File& file, std::uint64_t start, std::uint64_t total, std::size_t blockBytes, Look look)
    : file_(file.Duplicate()), start_(start), total_(total), blockBytes_(std::max<std::size_t>(blockBytes, 2)),
      look_(std::move(look))
{
    for (auto& buffer : buffers_)
        buffer.resize((blockBytes_ + 1) / 2);
    reader_ = std::thread(&ReadAhead::ReadBlocks, this);
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

std::size_t ReadAhead::Blocks() const
{
    return static_cast<std::size_t>((total_ + blockBytes_ - 1) / blockBytes_);
}

bool ReadAhead::ReadBlock(std::size_t index, std::size_t slot, std::size_t& bytes)
{
    const std::uint64_t offset = static_cast<std::uint64_t>(index) * blockBytes_;
    bytes = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes_, total_ - offset));
    return file_ && file_.ReadAt(start_ + offset, buffers_[slot].data(), bytes) == bytes;
}

void ReadAhead::ReadBlocks()
{
    const std::size_t blocks = Blocks();
    for (std::size_t index = 0; index < blocks; ++index) {
        const std::size_t slot = index % Slots;
        std::size_t bytes = 0;
        bool read = false;
        bool callerFailed = false;
        {
            // Wait for the slot: the caller is done with the block it held,
            // and done reading the next one into it, if it took that on.
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || (filled_[slot] == 0 && !claimed_[slot]); });
            if (stop_)
                return;
            bytes = readByCaller_[slot];
            read = bytes > 0;
            callerFailed = callerFailed_[slot];
            readByCaller_[slot] = 0;
        }
        // A failed read by the caller counts here, after the blocks before.
        if (!read && !callerFailed)
            read = ReadBlock(index, slot, bytes);
        if (read && look_)
            look_(static_cast<std::uint64_t>(index) * blockBytes_, buffers_[slot].data(), bytes);
        {
            std::lock_guard lock(mutex_);
            if (!read) {
                failed_ = true;
            } else {
                filled_[slot] = bytes;
                nextToRead_ = index + 1;
            }
        }
        changed_.notify_all();
        if (!read)
            return;
    }
}

std::int16_t* ReadAhead::Next(std::size_t& bytes)
{
    std::unique_lock lock(mutex_);
    if (nextToHand_ > 0) {
        const std::size_t freed = (nextToHand_ - 1) % Slots;
        filled_[freed] = 0;  // the caller's last block is free again
        // The block the freed buffer takes next, read here while the
        // reading thread is still busy with the one wanted now.
        const std::size_t after = nextToHand_ - 1 + Slots;
        if (look_ && nextToRead_ <= nextToHand_ && after < Blocks() && !failed_ && !stop_) {
            claimed_[freed] = true;
            lock.unlock();
            std::size_t read = 0;
            const bool whole = ReadBlock(after, freed, read);
            lock.lock();
            claimed_[freed] = false;
            readByCaller_[freed] = whole ? read : 0;
            callerFailed_[freed] = !whole;
        }
    }
    changed_.notify_all();
    const std::uint64_t handed = static_cast<std::uint64_t>(nextToHand_) * blockBytes_;
    if (handed >= total_)
        return nullptr;
    changed_.wait(lock, [&] { return failed_ || nextToRead_ > nextToHand_; });
    if (nextToRead_ <= nextToHand_)
        return nullptr;  // failed
    const std::size_t slot = nextToHand_ % Slots;
    bytes = filled_[slot];
    ++nextToHand_;
    return buffers_[slot].data();
}

bool ReadAhead::Failed() const
{
    std::lock_guard lock(mutex_);
    return failed_;
}

} // namespace velmora
