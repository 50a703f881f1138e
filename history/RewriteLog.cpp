#include "RewriteLog.h"

#include "platform/File.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

namespace velmora {

namespace {

constexpr std::size_t MostPages = RewriteLog::MostBlockBytes / SectorBytes + 2;

// The file: a header naming the rewrite under way, then two slots; note n
// (counted from 1) lies in slot (n - 1) % 2, so that writing the next one
// never touches the last whole one.  Each slot carries its rewrite, its
// number and a hash of itself, and is written in one call: the last note
// is the whole one of the header's rewrite with the higher number.  A note torn by a power cut is told from a whole one
// by its hash - its block was never written (a block is written only once
// its note is on the disk), and the note before it, in the other slot, is
// the last.
struct Header {
    std::uint64_t Rewrite;
};
struct Slot {
    std::uint64_t Check;  // PageHash of the slot's bytes after it, as far as its witnesses go
    std::uint64_t Rewrite;
    std::uint64_t Number;
    std::uint32_t Phase;
    std::uint32_t Pages;
    std::uint64_t Op;
    std::uint64_t Offset;
    std::uint64_t Length;
    std::uint64_t Extra;
    PageWitness Witnesses[MostPages];
};
constexpr std::size_t SlotsAt = 64;  // bytes of the log
constexpr std::size_t LogBytes = SlotsAt + 2 * sizeof(Slot);

std::uint64_t SlotOffset(std::uint64_t number)  // bytes of the log
{
    return SlotsAt + ((number - 1) % 2) * sizeof(Slot);
}

// Bytes of slot that count: up to the end of its witnesses.
std::size_t UsedBytes(const Slot& slot)
{
    return offsetof(Slot, Witnesses) + std::min<std::size_t>(slot.Pages, MostPages) * sizeof(PageWitness);
}

std::uint64_t CheckOf(const Slot& slot)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&slot);
    return PageHash(bytes + sizeof slot.Check, UsedBytes(slot) - sizeof slot.Check);
}

} // namespace

RewriteLog RewriteLog::Open(const std::string& path)
{
    RewriteLog log;
    log.file_ = File::Open(path, File::Mode::ReadWrite);
    if (!log.file_)
        log.file_ = File::Open(path, File::Mode::CreateNew);
    if (log.file_ && log.file_.Size() < LogBytes && !log.file_.Truncate(LogBytes))
        log.file_ = File();
    return log;
}

RewriteLog::RewriteLog() = default;
RewriteLog::RewriteLog(RewriteLog&&) noexcept = default;
RewriteLog& RewriteLog::operator=(RewriteLog&&) noexcept = default;
RewriteLog::~RewriteLog() = default;

bool RewriteLog::Begin(std::uint64_t rewrite)
{
    if (!file_)
        return false;
    rewrite_ = rewrite;
    noted_ = 0;
    // From here on the notes of the rewrites before are never read.
    const Header header{rewrite};
    return file_.WriteAt(0, &header, sizeof header) && file_.SyncData();
}

bool RewriteLog::Write(File& target, std::uint32_t phase, std::uint64_t op, std::uint64_t offset,
                       std::uint64_t length, std::uint64_t extra, const std::vector<PageWitness>& witnesses)
{
    if (!file_)
        return false;
    // The blocks noted before are on the disk before a note says a later
    // one may be partly written.
    if (!target.SyncData())
        return false;
    Slot slot{};
    slot.Rewrite = rewrite_;
    slot.Number = noted_ + 1;
    slot.Phase = phase;
    slot.Op = op;
    slot.Offset = offset;
    slot.Length = length;
    slot.Extra = extra;
    const std::size_t pages = std::min(witnesses.size(), MostPages);
    slot.Pages = static_cast<std::uint32_t>(pages);
    if (pages > 0)
        std::memcpy(slot.Witnesses, witnesses.data(), pages * sizeof(PageWitness));
    slot.Check = CheckOf(slot);
    if (!file_.WriteAt(SlotOffset(slot.Number), &slot, UsedBytes(slot)) || !file_.SyncData())
        return false;
    noted_ = slot.Number;
    return true;
}

std::optional<RewriteLog::Note> RewriteLog::Last(std::uint64_t rewrite)
{
    Header header{};
    if (!file_ || file_.ReadAt(0, &header, sizeof header) != sizeof header || header.Rewrite != rewrite)
        return std::nullopt;
    // The whole notes of this rewrite, in their slots.
    auto read = [&](std::uint64_t index, Slot& slot) {
        const std::size_t fixed = offsetof(Slot, Witnesses);
        const std::uint64_t at = SlotsAt + index * sizeof(Slot);  // bytes of the log
        if (file_.ReadAt(at, &slot, fixed) != fixed || slot.Rewrite != rewrite || slot.Number == 0 ||
            slot.Pages > MostPages)
            return false;
        const std::size_t rest = UsedBytes(slot) - fixed;
        return file_.ReadAt(at + fixed, slot.Witnesses, rest) == rest && slot.Check == CheckOf(slot) &&
               SlotOffset(slot.Number) == at;
    };
    auto slots = std::make_unique<Slot[]>(2);
    const bool first = read(0, slots[0]);
    const bool second = read(1, slots[1]);
    if (!first && !second)
        return std::nullopt;
    const Slot* slot = !second || (first && slots[0].Number > slots[1].Number) ? &slots[0] : &slots[1];
    // A take-back that goes on from here numbers its notes on from it,
    // never writing over it.
    rewrite_ = rewrite;
    noted_ = slot->Number;
    Note note;
    note.Phase = slot->Phase;
    note.Op = slot->Op;
    note.Offset = slot->Offset;
    note.Length = slot->Length;
    note.Extra = slot->Extra;
    note.Witnesses.assign(slot->Witnesses, slot->Witnesses + std::min<std::size_t>(slot->Pages, MostPages));
    return note;
}

} // namespace velmora
