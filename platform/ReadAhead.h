#pragma once

#include "File.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Reads a range of a file block after block on a thread of its own, a few
// blocks ahead of the caller: while the caller rewrites and writes back one
// block, the next ones are already being read.  The reads go through a second
// handle on the file; blocks are 16-bit aligned.  When what the reading
// thread does with each block (its look) leaves it behind, the caller, which
// would only wait, reads the block that takes its freed buffer next itself,
// so that the reading thread has only that block's look left to do.
class ReadAhead {
public:
    // What the reading thread does with each block it has read, before the
    // caller gets it: look(offset, block, bytes), offset counted in bytes
    // from start.
    using Look = std::function<void(std::uint64_t offset, std::int16_t* block, std::size_t bytes)>;

    // The bytes [start, start + total) of file, in blocks of blockBytes,
    // each shown to look first when there is one.
    ReadAhead(const File& file, std::uint64_t start, std::uint64_t total, std::size_t blockBytes, Look look = {});
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next block, filled; it stays the caller's until the next call.
    // nullptr after the last block, or when a block could not be read in
    // full (Failed() then tells).
    std::int16_t* Next(std::size_t& bytes);
    bool Failed() const;

private:
    void ReadBlocks();
    std::size_t Blocks() const;
    // Bytes of block index (counted from start); false when not in full.
    bool ReadBlock(std::size_t index, std::size_t slot, std::size_t& bytes);

    File file_;
    std::uint64_t start_;
    std::uint64_t total_;
    std::size_t blockBytes_;
    Look look_;
    // Room for the reader to run a few blocks ahead, so that a slow block on
    // either side does not hold up the other at once.
    static constexpr std::size_t Slots = 4;
    std::vector<std::int16_t> buffers_[Slots];
    std::size_t filled_[Slots] = {};  // bytes of a full buffer; 0 while it is free
    bool claimed_[Slots] = {};        // being read by the caller
    std::size_t readByCaller_[Slots] = {};  // bytes the caller read into a free buffer
    bool callerFailed_[Slots] = {};         // the caller's read of the buffer's next block failed

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t nextToRead_ = 0;    // block index the reader fills next
    std::size_t nextToHand_ = 0;    // block index the caller gets next
    bool failed_ = false;
    bool stop_ = false;
    std::thread reader_;
};

} // namespace velmora
