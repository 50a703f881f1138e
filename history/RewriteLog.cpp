#include "RewriteLog.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace velmora {

namespace {

constexpr std::size_t MostPages = RewriteLog::MostBlockBytes / PageBytes + 2;

// The file: a header, then two slots; note n (counted from 1) lies in slot
// (n - 1) % 2, so that writing the next one never touches the last whole
// one, and the count is stored only once the note is complete.
struct Header {
    std::uint64_t Rewrite;
    std::uint64_t Noted;
};
struct Slot {
    std::uint32_t Phase;
    std::uint32_t Pages;
    std::uint64_t Op;
    std::uint64_t Offset;
    std::uint64_t Length;
    std::uint64_t Extra;
    PageWitness Witnesses[MostPages];
};
constexpr std::size_t SlotsAt = 64;
constexpr std::size_t LogBytes = SlotsAt + 2 * sizeof(Slot);

Header* HeaderOf(const MappedFile& map)
{
    return reinterpret_cast<Header*>(map.Data());
}

Slot* SlotOf(const MappedFile& map, std::uint64_t index)
{
    return reinterpret_cast<Slot*>(map.Data() + SlotsAt) + index % 2;
}

// Stores that another process may read after this one is killed: in order.
void Publish(std::uint64_t& field, std::uint64_t value)
{
    std::atomic_ref<std::uint64_t>(field).store(value, std::memory_order_release);
}

std::uint64_t Read(std::uint64_t& field)
{
    return std::atomic_ref<std::uint64_t>(field).load(std::memory_order_acquire);
}

} // namespace

RewriteLog RewriteLog::Open(const std::string& path)
{
    RewriteLog log;
    log.map_ = MappedFile::Open(path, LogBytes);
    return log;
}

void RewriteLog::Begin(std::uint64_t rewrite)
{
    if (!map_)
        return;
    Header* header = HeaderOf(map_);
    // The count first: a log that names this rewrite never shows notes of
    // the one before.
    Publish(header->Noted, 0);
    Publish(header->Rewrite, rewrite);
}

void RewriteLog::Write(std::uint32_t phase, std::uint64_t op, std::uint64_t offset, std::uint64_t length,
                       std::uint64_t extra, const std::vector<PageWitness>& witnesses)
{
    if (!map_)
        return;
    Header* header = HeaderOf(map_);
    const std::uint64_t noted = Read(header->Noted);
    Slot* slot = SlotOf(map_, noted);
    slot->Phase = phase;
    slot->Op = op;
    slot->Offset = offset;
    slot->Length = length;
    slot->Extra = extra;
    const std::size_t pages = std::min(witnesses.size(), MostPages);
    slot->Pages = static_cast<std::uint32_t>(pages);
    if (pages > 0)
        std::memcpy(slot->Witnesses, witnesses.data(), pages * sizeof(PageWitness));
    Publish(header->Noted, noted + 1);
}

std::optional<RewriteLog::Note> RewriteLog::Last(std::uint64_t rewrite) const
{
    if (!map_)
        return std::nullopt;
    Header* header = HeaderOf(map_);
    const std::uint64_t noted = Read(header->Noted);
    if (Read(header->Rewrite) != rewrite || noted == 0)
        return std::nullopt;
    const Slot* slot = SlotOf(map_, noted - 1);
    Note note;
    note.Phase = slot->Phase;
    note.Op = slot->Op;
    note.Offset = slot->Offset;
    note.Length = slot->Length;
    note.Extra = slot->Extra;
    const std::size_t pages = std::min<std::size_t>(slot->Pages, MostPages);
    note.Witnesses.assign(slot->Witnesses, slot->Witnesses + pages);
    return note;
}

} // namespace velmora
