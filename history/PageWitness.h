#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A write to a file that is cut off - the program killed, or the power -
// has reached some of its sectors and not the others: the kernel copies a
// write into the page cache a page at a time, in order, and a killed
// process stops between two pages; a disk writes a sector at a time, and
// a power cut stops it between two.  A sector's part of one write is
// therefore either all old or all new (the "pages" here are sectors; a
// page of the cache is eight of them).  A witness says, of one sector's
// part, how to tell which: one byte that the write changes, with its new
// value; or, where no such byte was found cheaply, a hash of the new
// bytes; or that the write changes nothing there.  Witnesses are made
// before the write, from the old bytes as they were read and the new ones
// about to be written.
inline constexpr std::uint64_t SectorBytes = 512;

struct PageWitness {
    enum Kind : std::uint8_t { Unchanged, Byte, Hash };
    std::uint64_t NewHash = 0;  // Hash: of the part's new bytes
    std::uint16_t At = 0;       // Byte: offset in the part
    std::uint8_t NewValue = 0;  // Byte: its new value
    Kind How = Unchanged;
    std::uint32_t Reserved = 0;
};

// The parts that the pages of a file cut [offset, offset + bytes) into,
// in order: the first and the last may be pieces of a page.
struct PagePart {
    std::size_t Start = 0;  // bytes from offset
    std::size_t Bytes = 0;
};
std::vector<PagePart> PageParts(std::uint64_t offset, std::size_t bytes);
std::size_t PagePartCount(std::uint64_t offset, std::size_t bytes);

// What witnesses need of a block's old bytes, taken as it was read (before
// it is changed in place): the first bytes of every page part and the
// first place where the part stops repeating its first byte.
class OldPages {
public:
    // block: bytes bytes of the file at offset, as read.
    void Take(std::uint64_t offset, const unsigned char* block, std::size_t bytes);
    // The witnesses of writing newBlock (the same bytes, changed) over them.
    void Witness(const unsigned char* newBlock, std::vector<PageWitness>& out) const;

private:
    static constexpr std::size_t PrefixBytes = 32;
    struct Page {
        PagePart Part;
        unsigned char Prefix[PrefixBytes];
        std::size_t RunEnd;  // bytes into the part: the first byte that differs from its first
        unsigned char AtRunEnd;
    };
    std::vector<Page> pages_;
};

// True when part (the page part a witness was made for, as the file holds
// it now) holds the new bytes - or bytes the write would not change.
bool HoldsNew(const PageWitness& witness, const unsigned char* part, std::size_t bytes);

// The hash witnesses use: the same value in every process.
std::uint64_t PageHash(const unsigned char* bytes, std::size_t count);

} // namespace velmora
