#include "RemainderJournal.h"

#include "platform/VectorClones.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

constexpr std::size_t HeaderBytes = 1 + 2 + 2;
constexpr std::size_t FlushBytes = 1u << 20;  // bytes a reader takes at a time

// Chunks are packed as multiples of 8 values.
std::size_t Padded(std::size_t count)
{
    return (count + 7) / 8 * 8;
}

std::size_t PackedBytes(unsigned width, std::size_t count)
{
    return Padded(count) * width / 8;
}

// The fewest bits of the widths on offer that hold every value up to span.
unsigned WidthFor(std::uint32_t span)
{
    for (unsigned width = 0; width <= 8; ++width) {
        if (span < (1u << width))
            return width;
    }
    return 16;
}

bool KnownWidth(unsigned width)
{
    return width <= 8 || width == 16;
}

// Bits [Shift, Shift + Bits) of the values above least of remainders
// (count of them, a multiple of 8), laid out as the writer's comment says.
template <unsigned Bits, unsigned Shift>
[[gnu::always_inline]] inline void Pack(const std::int16_t* remainders, std::size_t count, std::int16_t least,
                                        unsigned char* out)
{
    auto above = [least](std::int16_t r) {
        return static_cast<std::uint16_t>(static_cast<std::uint16_t>(r - least) >> Shift);
    };
    if constexpr (Bits < 8) {
        constexpr unsigned runs = 8 / Bits;
        constexpr unsigned mask = (1u << Bits) - 1;
        const std::size_t run = count / runs;
        // Run after run, each a straight pass the vector units take whole.
        std::fill(out, out + run, 0);
        for (unsigned k = 0; k < runs; ++k) {
            const std::int16_t* values = remainders + k * run;
            for (std::size_t j = 0; j < run; ++j)
                out[j] = static_cast<std::uint8_t>(out[j] | ((above(values[j]) & mask) << (k * Bits)));
        }
    } else if constexpr (Bits == 8) {
        for (std::size_t i = 0; i < count; ++i)
            out[i] = static_cast<std::uint8_t>(above(remainders[i]));
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            out[2 * i] = static_cast<std::uint8_t>(above(remainders[i]));
            out[2 * i + 1] = static_cast<std::uint8_t>(above(remainders[i]) >> 8);
        }
    }
}

// Bits [Shift, Shift + Bits) of count values back into out: the first part
// sets them (least plus its bits), a later one adds its bits.
template <unsigned Bits, unsigned Shift, bool First>
[[gnu::always_inline]] inline void Unpack(const unsigned char* in, std::size_t count, std::int16_t least,
                                          std::int16_t* out)
{
    auto put = [least](std::int16_t& value, unsigned bits) {
        const unsigned base = First ? static_cast<std::uint16_t>(least) : static_cast<std::uint16_t>(value);
        value = static_cast<std::int16_t>(static_cast<std::uint16_t>(base + (bits << Shift)));
    };
    if constexpr (Bits < 8) {
        constexpr unsigned runs = 8 / Bits;
        constexpr unsigned mask = (1u << Bits) - 1;
        const std::size_t run = count / runs;
        for (unsigned k = 0; k < runs; ++k) {
            std::int16_t* values = out + k * run;
            for (std::size_t j = 0; j < run; ++j)
                put(values[j], (in[j] >> (k * Bits)) & mask);
        }
    } else if constexpr (Bits == 8) {
        for (std::size_t i = 0; i < count; ++i)
            put(out[i], in[i]);
    } else {
        for (std::size_t i = 0; i < count; ++i)
            put(out[i], in[2 * i] | (static_cast<unsigned>(in[2 * i + 1]) << 8));
    }
}

// The least and the most of count remainders.
VELMORA_VECTOR_CLONES void Spread(const std::int16_t* remainders, std::size_t count, std::int16_t& least,
                                  std::int16_t& most)
{
    std::int16_t low = remainders[0];
    std::int16_t high = remainders[0];
    for (std::size_t i = 0; i < count; ++i) {
        const std::int16_t r = remainders[i];
        low = r < low ? r : low;
        high = r > high ? r : high;
    }
    least = low;
    most = high;
}

// A width is packed in parts, lowest bits first: 8 and 16 whole, any
// other as its powers of two (7 = 4 + 2 + 1).
VELMORA_VECTOR_CLONES void PackIn(unsigned width, const std::int16_t* remainders, std::size_t count,
                                  std::int16_t least, unsigned char* out)
{
    const std::size_t eighth = count / 8;  // bytes of one bit of every value
    switch (width) {
    case 0: break;
    case 1: Pack<1, 0>(remainders, count, least, out); break;
    case 2: Pack<2, 0>(remainders, count, least, out); break;
    case 3:
        Pack<2, 0>(remainders, count, least, out);
        Pack<1, 2>(remainders, count, least, out + 2 * eighth);
        break;
    case 4: Pack<4, 0>(remainders, count, least, out); break;
    case 5:
        Pack<4, 0>(remainders, count, least, out);
        Pack<1, 4>(remainders, count, least, out + 4 * eighth);
        break;
    case 6:
        Pack<4, 0>(remainders, count, least, out);
        Pack<2, 4>(remainders, count, least, out + 4 * eighth);
        break;
    case 7:
        Pack<4, 0>(remainders, count, least, out);
        Pack<2, 4>(remainders, count, least, out + 4 * eighth);
        Pack<1, 6>(remainders, count, least, out + 6 * eighth);
        break;
    case 8: Pack<8, 0>(remainders, count, least, out); break;
    default: Pack<16, 0>(remainders, count, least, out); break;
    }
}

VELMORA_VECTOR_CLONES void UnpackFrom(unsigned width, const unsigned char* in, std::size_t count,
                                      std::int16_t least, std::int16_t* out)
{
    const std::size_t eighth = count / 8;
    switch (width) {
    case 0: std::fill(out, out + count, least); break;
    case 1: Unpack<1, 0, true>(in, count, least, out); break;
    case 2: Unpack<2, 0, true>(in, count, least, out); break;
    case 3:
        Unpack<2, 0, true>(in, count, least, out);
        Unpack<1, 2, false>(in + 2 * eighth, count, least, out);
        break;
    case 4: Unpack<4, 0, true>(in, count, least, out); break;
    case 5:
        Unpack<4, 0, true>(in, count, least, out);
        Unpack<1, 4, false>(in + 4 * eighth, count, least, out);
        break;
    case 6:
        Unpack<4, 0, true>(in, count, least, out);
        Unpack<2, 4, false>(in + 4 * eighth, count, least, out);
        break;
    case 7:
        Unpack<4, 0, true>(in, count, least, out);
        Unpack<2, 4, false>(in + 4 * eighth, count, least, out);
        Unpack<1, 6, false>(in + 6 * eighth, count, least, out);
        break;
    case 8: Unpack<8, 0, true>(in, count, least, out); break;
    default: Unpack<16, 0, true>(in, count, least, out); break;
    }
}

void PutLittle16(unsigned char* out, std::uint16_t value)
{
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
}

std::uint16_t GetLittle16(const unsigned char* in)
{
    return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

} // namespace

RemainderWriter::RemainderWriter(File journal, std::uint64_t at)
    : journal_(std::move(journal)), at_(at)
{
    out_.reserve(FlushBytes + HeaderBytes + RemainderChunk * 2);
}

std::int16_t* RemainderWriter::Room(std::size_t count)
{
    // Beyond the remainders, room to pad a last chunk to whole bytes.
    if (pending_.size() < pendingCount_ + count + 8)
        pending_.resize(pendingCount_ + count + 8);
    return pending_.data() + pendingCount_;
}

void RemainderWriter::Take(std::size_t count)
{
    // Handed over in any lengths: cut at the chunks' ends, and what follows
    // a packed chunk moves to the front.
    const std::size_t base = pendingCount_;
    for (std::size_t done = 0; done < count;) {
        const std::size_t part = std::min(count - done, RemainderChunk - pendingCount_);
        std::int16_t* values = pending_.data() + pendingCount_;
        if (values != pending_.data() + base + done)
            std::copy_n(pending_.data() + base + done, part, values);
        std::int16_t least = 0;
        std::int16_t most = 0;
        Spread(values, part, least, most);
        TakeSpread(part, least, most);
        done += part;
    }
}

void RemainderWriter::TakeSpread(std::size_t count, std::int16_t least, std::int16_t most)
{
    if (count == 0)
        return;
    pendingLeast_ = pendingCount_ == 0 ? least : std::min(pendingLeast_, least);
    pendingMost_ = pendingCount_ == 0 ? most : std::max(pendingMost_, most);
    pendingCount_ += count;
    if (pendingCount_ == RemainderChunk) {
        PackChunk(pending_.data(), RemainderChunk, pendingLeast_, pendingMost_);
        pendingCount_ = 0;
    }
}

void RemainderWriter::PackChunk(std::int16_t* remainders, std::size_t count, std::int16_t least, std::int16_t most)
{
    const unsigned width = WidthFor(static_cast<std::uint32_t>(most - least));
    // The padding packs as zeros.
    std::fill(remainders + count, remainders + Padded(count), least);

    const std::size_t start = out_.size();
    out_.resize(start + HeaderBytes + PackedBytes(width, count));
    unsigned char* header = out_.data() + start;
    header[0] = static_cast<unsigned char>(width);
    PutLittle16(header + 1, static_cast<std::uint16_t>(count));
    PutLittle16(header + 3, static_cast<std::uint16_t>(least));
    unsigned char* packed = header + HeaderBytes;
    const std::size_t padded = Padded(count);
    PackIn(width, remainders, padded, least, packed);
}

void RemainderWriter::PackPending()
{
    if (pendingCount_ == 0)
        return;
    Room(0);  // the padding
    PackChunk(pending_.data(), pendingCount_, pendingLeast_, pendingMost_);
    pendingCount_ = 0;
}

void RemainderWriter::HandOver()
{
    if (out_.empty())
        return;
    std::lock_guard lock(readyMutex_);
    ready_.push_back({at_ + packed_, std::move(out_)});
    packed_ += ready_.back().Bytes.size();
    out_.clear();
    if (!spare_.empty()) {
        out_ = std::move(spare_.back());
        spare_.pop_back();
    }
    out_.clear();
}

void RemainderWriter::EndBlock()
{
    PackPending();
    HandOver();
}

bool RemainderWriter::Write(std::vector<Packed>& packed)
{
    for (Packed& p : packed) {
        if (failed_)
            break;
        if (journal_.WriteAt(p.At, p.Bytes.data(), p.Bytes.size()))
            written_ += p.Bytes.size();
        else
            failed_ = true;
    }
    std::lock_guard lock(readyMutex_);
    for (Packed& p : packed) {
        p.Bytes.clear();
        spare_.push_back(std::move(p.Bytes));
    }
    packed.clear();
    return !failed_;
}

bool RemainderWriter::WriteReady()
{
    std::vector<Packed> packed;
    {
        std::lock_guard lock(readyMutex_);
        packed.swap(ready_);
    }
    return Write(packed);
}

bool RemainderWriter::Finish()
{
    EndBlock();
    WriteReady();
    return !failed_ && journal_;
}

RemainderReader::RemainderReader(File& journal, std::uint64_t at, std::uint64_t length)
    : journal_(journal), next_(at), end_(at + length)
{
}

bool RemainderReader::Have(std::size_t bytes)
{
    if (in_.size() - inPos_ >= bytes)
        return true;
    in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(inPos_));
    inPos_ = 0;
    const auto more = static_cast<std::size_t>(std::min<std::uint64_t>(FlushBytes, end_ - next_));
    const std::size_t kept = in_.size();
    in_.resize(kept + more);
    if (journal_.ReadAt(next_, in_.data() + kept, more) != more)
        return false;
    next_ += more;
    return in_.size() >= bytes;
}

bool RemainderReader::UnpackChunk(std::int16_t* out, std::size_t room, std::size_t& placed)
{
    placed = 0;
    if (!Have(HeaderBytes))
        return false;
    const unsigned char* header = in_.data() + inPos_;
    const unsigned width = header[0];
    const std::size_t count = GetLittle16(header + 1);
    const auto least = static_cast<std::int16_t>(GetLittle16(header + 3));
    if (!KnownWidth(width) || count == 0 || count > RemainderChunk)
        return false;
    const std::size_t bytes = PackedBytes(width, count);
    if (!Have(HeaderBytes + bytes))
        return false;
    const unsigned char* packed = in_.data() + inPos_ + HeaderBytes;
    const std::size_t padded = Padded(count);
    if (padded <= room) {
        UnpackFrom(width, packed, padded, least, out);
        chunk_.clear();
        placed = count;
    } else {
        chunk_.resize(padded);
        UnpackFrom(width, packed, padded, least, chunk_.data());
        chunk_.resize(count);
    }
    inPos_ += HeaderBytes + bytes;
    chunkPos_ = 0;
    return true;
}

bool RemainderReader::Next(std::int16_t* out, std::size_t count)
{
    while (count > 0) {
        if (chunkPos_ == chunk_.size()) {
            std::size_t placed = 0;
            if (!UnpackChunk(out, count, placed))
                return false;
            out += placed;
            count -= placed;
            continue;
        }
        const std::size_t take = std::min(count, chunk_.size() - chunkPos_);
        std::copy_n(chunk_.data() + chunkPos_, take, out);
        chunkPos_ += take;
        out += take;
        count -= take;
    }
    return true;
}

} // namespace velmora
