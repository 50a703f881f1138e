#include "PageWitness.h"

#include <algorithm>
#include <cstring>

namespace velmora {

std::size_t PagePartCount(std::uint64_t offset, std::size_t bytes)
{
    if (bytes == 0)
        return 0;
    return static_cast<std::size_t>((offset + bytes - 1) / SectorBytes - offset / SectorBytes + 1);
}

std::vector<PagePart> PageParts(std::uint64_t offset, std::size_t bytes)
{
    std::vector<PagePart> parts;
    parts.reserve(PagePartCount(offset, bytes));
    std::size_t start = 0;
    while (start < bytes) {
        const std::uint64_t at = offset + start;
        const auto toPageEnd = static_cast<std::size_t>(SectorBytes - at % SectorBytes);
        const std::size_t part = std::min(toPageEnd, bytes - start);
        parts.push_back({start, part});
        start += part;
    }
    return parts;
}

void OldPages::Take(std::uint64_t offset, const unsigned char* block, std::size_t bytes)
{
    pages_.clear();
    pages_.reserve(PagePartCount(offset, bytes));
    std::size_t start = 0;
    while (start < bytes) {
        const auto toPageEnd = static_cast<std::size_t>(SectorBytes - (offset + start) % SectorBytes);
        const PagePart part{start, std::min(toPageEnd, bytes - start)};
        start += part.Bytes;
        Page page;
        page.Part = part;
        const unsigned char* old = block + part.Start;
        std::memcpy(page.Prefix, old, std::min(PrefixBytes, part.Bytes));
        // Mostly the second byte already differs; a page of silence is
        // read through (cheaply) to its end.
        const unsigned char* end = old + part.Bytes;
        const unsigned char* run = std::find_if(old, end, [first = old[0]](unsigned char c) { return c != first; });
        page.RunEnd = static_cast<std::size_t>(run - old);
        page.AtRunEnd = run != end ? *run : 0;
        pages_.push_back(page);
    }
}

void OldPages::Witness(const unsigned char* newBlock, std::vector<PageWitness>& out) const
{
    out.clear();
    for (const Page& page : pages_) {
        const unsigned char* now = newBlock + page.Part.Start;
        const std::size_t bytes = page.Part.Bytes;
        PageWitness witness;
        auto byteAt = [&](std::size_t at) {
            witness.How = PageWitness::Byte;
            witness.At = static_cast<std::uint16_t>(at);
            witness.NewValue = now[at];
        };
        const std::size_t prefix = std::min(PrefixBytes, bytes);
        const auto differs = std::mismatch(page.Prefix, page.Prefix + prefix, now);
        if (differs.first != page.Prefix + prefix) {
            byteAt(static_cast<std::size_t>(differs.first - page.Prefix));
        } else if (page.RunEnd > prefix) {
            // The old bytes up to RunEnd all equal the first: any new one
            // that does not is a witness; then the old one at RunEnd.
            const unsigned char first = page.Prefix[0];
            const unsigned char* stop = now + page.RunEnd;
            const unsigned char* other = std::find_if(now + prefix, stop, [first](unsigned char c) { return c != first; });
            if (other != stop)
                byteAt(static_cast<std::size_t>(other - now));
            else if (page.RunEnd < bytes && now[page.RunEnd] != page.AtRunEnd)
                byteAt(page.RunEnd);
        }
        // Old and new agree wherever they were compared.  Compared whole
        // (a short part, or one all of one byte), the write leaves the part
        // as it was; otherwise the old bytes beyond are not known, and the
        // new ones are hashed.
        if (witness.How == PageWitness::Unchanged && page.RunEnd < bytes && bytes > prefix) {
            witness.How = PageWitness::Hash;
            witness.NewHash = PageHash(now, bytes);
        }
        out.push_back(witness);
    }
}

bool HoldsNew(const PageWitness& witness, const unsigned char* part, std::size_t bytes)
{
    switch (witness.How) {
    case PageWitness::Byte: return witness.At < bytes && part[witness.At] == witness.NewValue;
    case PageWitness::Hash: return PageHash(part, bytes) == witness.NewHash;
    case PageWitness::Unchanged: break;
    }
    return true;
}

std::uint64_t PageHash(const unsigned char* bytes, std::size_t count)
{
    // Four independent lanes of multiply and rotate over 8-byte words, then
    // the tail byte by byte: a few hundred nanoseconds a page.
    constexpr std::uint64_t Prime1 = 0x9E3779B185EBCA87ull;
    constexpr std::uint64_t Prime2 = 0xC2B2AE3D27D4EB4Full;
    std::uint64_t lanes[4] = {Prime1, Prime2, Prime1 ^ Prime2, Prime2 * 3};
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes + i + 8 * lane, 8);
            const std::uint64_t mixed = lanes[lane] + word * Prime2;
            lanes[lane] = ((mixed << 31) | (mixed >> 33)) * Prime1;
        }
    }
    std::uint64_t hash = count * Prime1;
    for (const std::uint64_t lane : lanes)
        hash = ((hash ^ lane) * Prime2) ^ (hash >> 29);
    for (; i < count; ++i)
        hash = (hash ^ bytes[i]) * Prime1;
    return hash ^ (hash >> 32);
}

} // namespace velmora
