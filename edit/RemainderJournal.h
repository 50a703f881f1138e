#pragma once

#include "platform/File.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

// Volume and the fades scale every sample and truncate: y = trunc(x * q),
// clamped.  To take that back Undo does not need x byte for byte: with y
// still in the file, the remainder r = x - Unscale(y, 1 / q) is enough, and
// it spans a handful of values where a sample spans 65536.  Remainders are
// 16-bit and wrap (KeepRemainder, Restore), so that x comes back exactly
// whatever the estimate; a poor estimate costs room in the journal, never
// exactness.  Both sides go through these functions, so that they agree to
// the bit.

// 1 / scale as the remainders use it; 0 for a scale of 0 (or one so small
// that the estimate would leave 32 bits).
inline float InverseOfScale(double scale)
{
    return scale > 1.0 / 65536 ? static_cast<float>(1.0 / scale) : 0.0f;
}

// The estimate of x from y; a lone product, which no compiler fuses.
inline std::int32_t Unscale(std::int32_t y, float inverse)
{
    return static_cast<std::int32_t>(static_cast<float>(y) * inverse);
}

// What scaling x to y lost, and x again from y and that (x, y centred:
// -32768..32767 or -128..127).
inline std::int16_t KeepRemainder(std::int32_t x, std::int32_t y, float inverse)
{
    return static_cast<std::int16_t>(x - Unscale(y, inverse));
}
inline std::int32_t Restore(std::int32_t y, std::int16_t remainder, float inverse)
{
    return static_cast<std::int16_t>(Unscale(y, inverse) + remainder);
}

inline constexpr std::size_t RemainderChunk = 4096;  // remainders per chunk

// Appends remainders to the journal in chunks of up to RemainderChunk: each
// a header - the width in bits (0, 1, 2, 4, 8 or 16), the count of
// remainders and the least of them (both 16-bit little-endian) - then every
// remainder less the least in that many bits.  With a width below 8 the
// chunk's (padded) values fall into 8 / width runs of equal length, and
// byte j holds value j of every run, the first run in the lowest bits: the
// packing then works on whole vectors of bytes.  The buffered bytes go to
// the journal a megabyte at a time.  The packing and the writing run on a
// thread of their own, beside the edit that hands the remainders over.
class RemainderWriter {
public:
    // Writes from byte at of journal on.
    RemainderWriter(File journal, std::uint64_t at);
    ~RemainderWriter();
    RemainderWriter(const RemainderWriter&) = delete;
    RemainderWriter& operator=(const RemainderWriter&) = delete;

    // Room for count remainders, filled by the caller and handed over by
    // Take(count); valid until then.
    std::int16_t* Room(std::size_t count);
    void Take(std::size_t count);

    // Writes the rest; false when any write failed.  Nothing is taken after.
    bool Finish();
    // Bytes of the journal written, once Finish returned.
    std::uint64_t Length() const { return written_; }

private:
    // Remainders gathered before they go to the packer.
    static constexpr std::size_t HandOverAt = 64 * RemainderChunk;

    void PackHandedOver();
    void PackChunk(std::int16_t* remainders, std::size_t count);
    void Flush();

    File journal_;
    std::uint64_t at_;           // bytes of the journal
    std::uint64_t written_ = 0;  // bytes of the journal; the packer's until Finish
    std::vector<std::int16_t> filling_;  // the caller's
    std::size_t fillingCount_ = 0;
    std::vector<unsigned char> out_;     // the packer's until Finish
    bool failed_ = false;                // the packer's until Finish

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::int16_t> packing_;  // the packer's while packingCount_ > 0
    std::size_t packingCount_ = 0;
    bool stop_ = false;
    std::thread packer_;
};

// Reads back what a RemainderWriter wrote, in order.
class RemainderReader {
public:
    // The length bytes of journal from byte at on.
    RemainderReader(File& journal, std::uint64_t at, std::uint64_t length);

    // The next count remainders; false when the journal cannot be read or
    // does not hold them.
    bool Next(std::int16_t* out, std::size_t count);

private:
    bool Have(std::size_t bytes);
    bool UnpackChunk();

    File& journal_;
    std::uint64_t next_;  // bytes of the journal: not read yet
    std::uint64_t end_;   // bytes of the journal
    std::vector<unsigned char> in_;
    std::size_t inPos_ = 0;
    std::vector<std::int16_t> chunk_;
    std::size_t chunkPos_ = 0;
};

} // namespace velmora
