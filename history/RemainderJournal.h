#pragma once

#include "platform/File.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace velmora {

// The journal's record of remainders (Remainders.h): packed so that a
// fade keeps about a fifth of the bytes it rescales.

inline constexpr std::size_t RemainderChunk = 4096;  // remainders per chunk

// Bytes whose resize leaves the new ones as they are: the packing writes
// every byte it adds, and a read fills every byte it asks for, so zeroing
// them first would only cost a pass over memory.
template <typename T>
struct LeftAsTheyAre : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = LeftAsTheyAre<U>;
    };
    template <typename U>
    void construct(U* at) noexcept(std::is_nothrow_default_constructible_v<U>)
    {
        ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args)
    {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};
using JournalBytes = std::vector<unsigned char, LeftAsTheyAre<unsigned char>>;

// Appends remainders to the journal in chunks of up to RemainderChunk: each
// a header - the width in bits (0 to 8, or 16), the count of remainders
// and the least of them (both 16-bit little-endian) - then every remainder
// less the least in that many bits.  A width of 8 or 16 is stored as bytes
// or little-endian pairs; any other in parts of 4, 2 and 1 bits, lowest
// bits first, and in a part of b bits the chunk's (padded) values fall into
// 8 / b runs of equal length, byte j holding value j of every run, the
// first run in the lowest bits: the packing then works on whole vectors of
// bytes.  A chunk is packed as soon as it is whole, so that the remainders
// never leave the processor's caches; the packed bytes go to the journal a
// block of the edit at a time (EndBlock).
class RemainderWriter {
public:
    // Writes from byte at of journal on.
    RemainderWriter(File journal, std::uint64_t at);

    // Room for count remainders, filled by the caller and handed over by
    // Take(count); valid until then.  Hand them over a chunk or so at a
    // time.
    std::int16_t* Room(std::size_t count);
    void Take(std::size_t count);

    // The remainders of count samples, in parts that never cross a chunk's
    // end: fill(offset, part, lost, least, most) puts those of samples
    // offset... into lost and the least and the most of them into least
    // and most (worked out as they are made, which spares the packing a
    // pass over them).
    template <typename Fill>
    void Keep(std::size_t count, Fill fill)
    {
        for (std::size_t done = 0; done < count;) {
            const std::size_t room = RemainderChunk - pendingCount_;
            const std::size_t part = count - done < room ? count - done : room;
            std::int16_t least = 0;
            std::int16_t most = 0;
            fill(done, part, Room(part), least, most);
            TakeSpread(part, least, most);
            done += part;
        }
    }

    // The remainders taken so far end a block of the edit: what is pending
    // is packed (a short chunk if need be) and handed over to be written.
    // Runs on the thread that packs.
    void EndBlock();

    // Writes to the journal everything handed over so far: the thread that
    // writes the edit's blocks calls this before each block, so that a
    // block never reaches the working file before its remainders reach
    // the journal.  False when a write failed (then and ever after).
    bool WriteReady();

    // Packs and writes the rest; false when any write failed.  Nothing is
    // taken after.
    bool Finish();
    // Bytes of the journal written.
    std::uint64_t Length() const { return written_; }

private:
    struct Packed {
        std::uint64_t At = 0;  // bytes of the journal
        JournalBytes Bytes;
    };

    // Takes count remainders of the chunk begun in pending_, which lie
    // between least and most.
    void TakeSpread(std::size_t count, std::int16_t least, std::int16_t most);
    void PackChunk(std::int16_t* remainders, std::size_t count, std::int16_t least, std::int16_t most);
    void PackPending();
    void HandOver();
    bool Write(std::vector<Packed>& packed);

    File journal_;
    std::uint64_t at_;          // bytes of the journal
    std::uint64_t packed_ = 0;  // bytes of the journal handed to be written
    std::atomic<std::uint64_t> written_ = 0;  // bytes of the journal
    std::vector<std::int16_t> pending_;
    std::size_t pendingCount_ = 0;  // less than a chunk between calls
    std::int16_t pendingLeast_ = 0;
    std::int16_t pendingMost_ = 0;
    JournalBytes out_;
    std::mutex readyMutex_;
    std::vector<Packed> ready_;                      // packed, not written yet
    std::vector<JournalBytes> spare_;  // written, to be filled again
    std::atomic<bool> failed_ = false;
};

// Reads back what a RemainderWriter wrote, in order.
class RemainderReader {
public:
    // The length bytes of journal from byte at on.
    RemainderReader(File& journal, std::uint64_t at, std::uint64_t length);

    // The next count remainders; false when the journal cannot be read or
    // does not hold them.
    bool Next(std::int16_t* out, std::size_t count);

    // Bytes of the journal where the chunk after those unpacked so far
    // begins; where a later reader may start when every chunk read was
    // given out whole.
    std::uint64_t Position() const { return next_ - (in_.size() - inPos_); }

private:
    bool Have(std::size_t bytes);
    // The next chunk: straight into out when it fits in room remainders
    // (placed tells how many it put there), otherwise into chunk_.
    bool UnpackChunk(std::int16_t* out, std::size_t room, std::size_t& placed);

    File& journal_;
    std::uint64_t next_;  // bytes of the journal: not read yet
    std::uint64_t end_;   // bytes of the journal
    JournalBytes in_;
    std::size_t inPos_ = 0;
    std::vector<std::int16_t> chunk_;
    std::size_t chunkPos_ = 0;
};

} // namespace velmora
