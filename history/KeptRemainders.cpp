#include "Keeping.h"
#include "KeepingParts.h"

#include "PageWitness.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/IniFile.h"

#include <charconv>
#include <deque>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

// A rescaling kept as remainders: the reading thread rescales each block
// as it reads it, keeping and packing its remainders in the same pass, and
// witnesses its pages; the edit's own thread writes the block's remainders
// to the journal, notes the block and writes it.  Both see the blocks in
// order: a queue pairs them.
class RemaindersHooks final : public RunHooks {
public:
    RemaindersHooks(UndoStep& step, File& journal, RewriteLog& log)
        : step_(step), journal_(journal), log_(log), remainders_(journal.Duplicate(), step.Remainders.JournalOffset)
    {
    }

    void ScaleBlock(const SampleScaling& scaling, std::uint64_t firstSample, std::int16_t* block, std::size_t bytes,
                    bool eightBit) override
    {
        auto* raw = reinterpret_cast<unsigned char*>(block);
        const std::uint64_t bytesPerSample = eightBit ? 1 : 2;
        old_.Take(step_.Remainders.FileOffset + firstSample * bytesPerSample, raw, bytes);
        WithSamples(eightBit, block, bytes, [&](auto* samples, std::size_t count) {
            remainders_.Keep(count, [&](std::size_t at, std::size_t part, std::int16_t* lost, std::int16_t& least,
                                        std::int16_t& most) {
                scaling.ScaleAndKeep(firstSample + at, samples + at, part, lost, least, most);
            });
        });
        remainders_.EndBlock();
        std::vector<PageWitness> witnesses;
        {
            std::lock_guard lock(queueMutex_);
            if (!spare_.empty()) {
                witnesses = std::move(spare_.back());
                spare_.pop_back();
            }
        }
        old_.Witness(raw, witnesses);
        std::lock_guard lock(queueMutex_);
        queue_.push_back(std::move(witnesses));
    }

    bool BeforeWrite(File& work, RewritePhase phase, std::uint64_t op, std::uint64_t offset,
                     std::size_t bytes) override
    {
        std::vector<PageWitness> witnesses;
        {
            std::lock_guard lock(queueMutex_);
            witnesses = std::move(queue_.front());
            queue_.pop_front();
        }
        // The block's remainders are on the disk before its note, and the
        // note before the block.
        if (!remainders_.WriteReady() || !journal_.SyncData() ||
            !log_.Write(work, phase, op, offset, bytes, 0, witnesses)) {
            keepingFailed_ = true;
            return false;
        }
        std::lock_guard lock(queueMutex_);
        spare_.push_back(std::move(witnesses));
        return true;
    }

    bool AfterRescale() override
    {
        const bool kept = remainders_.Finish() && journal_.SyncData();
        step_.Remainders.JournalLength = remainders_.Length();
        keepingFailed_ = keepingFailed_ || !kept;
        return !keepingFailed_;
    }

private:
    UndoStep& step_;
    File& journal_;
    RewriteLog& log_;
    RemainderWriter remainders_;
    OldPages old_;  // the reading thread's
    std::mutex queueMutex_;
    std::deque<std::vector<PageWitness>> queue_;
    std::vector<std::vector<PageWitness>> spare_;
};

// Puts the samples of pages back from their remainders: all of the block,
// or only the page parts which holds says hold rescaled samples.
template <typename Sample, typename Holds>
void RestorePages(const SampleScaling& scaling, std::uint64_t firstSample, Sample* samples, const std::int16_t* lost,
                  std::uint64_t fileOffset, std::size_t bytes, Holds holds)
{
    const std::vector<PagePart> parts = PageParts(fileOffset, bytes);
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const auto* raw = reinterpret_cast<const unsigned char*>(samples) + parts[p].Start;
        if (!holds(p, raw, parts[p].Bytes))
            continue;
        const std::size_t first = parts[p].Start / sizeof(Sample);
        scaling.Restore(firstSample + first, samples + first, parts[p].Bytes / sizeof(Sample), lost + first);
    }
}

bool TakeBackRemainders(const Document& doc, const UndoStep& step, const StepReach& reach, File& work,
                        File& journal, RewriteLog& log, const std::optional<RewriteLog::Note>& resume,
                        ScalingSource scalings, Progress& processing)
{
    const KeptRemainders& kept = step.Remainders;
    const std::size_t samplesPerFrame = doc.Channels == 1 ? 1 : 2;
    const bool eightBit = doc.BitsPerSample == 8;
    const std::uint64_t bytesPerSample = eightBit ? 1 : 2;
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    if (frameSize == 0)
        return false;
    const auto frames = static_cast<std::uint32_t>(kept.Length / frameSize);
    const std::shared_ptr<const SampleScaling> scaling = scalings(step.Edit, frames, samplesPerFrame);
    if (!scaling)
        return false;
    const std::size_t blockBytes = RewriteBlockBytes(doc.FrameSize, kept.Length);
    const std::uint64_t blocks = (kept.Length + blockBytes - 1) / blockBytes;

    // The blocks the edit wrote: all of them, or those before its last
    // note and, page by page, the one it noted last.
    std::uint64_t endBlock = blocks;
    std::optional<std::uint64_t> partBlock;
    if (!reach.Whole) {
        if (!reach.Last || reach.Last->Phase != ScalePhase)
            return true;  // not a sample rescaled yet
        endBlock = std::min(blocks, reach.Last->Op + 1);
        partBlock = reach.Last->Op;
    }
    const bool resumed = resume && resume->Phase == RestorePhase;
    const std::uint64_t firstBlock = resumed ? resume->Op : 0;
    if (firstBlock >= endBlock)
        return true;

    const std::uint64_t start = kept.FileOffset + firstBlock * blockBytes;  // bytes of the working file
    const std::uint64_t end = kept.FileOffset + std::min(kept.Length, endBlock * blockBytes);
    const EditRange range{start, end, static_cast<std::uint32_t>((end - start) / frameSize)};
    const std::uint64_t journalEnd = journal.Size();
    const std::uint64_t remaindersAt = resumed ? resume->Extra : kept.JournalOffset;
    if (remaindersAt > journalEnd)
        return false;
    RemainderReader remainders(journal, remaindersAt, journalEnd - remaindersAt);

    // The reading thread unpacks each block's remainders as the block comes
    // in and takes its old pages; this one puts the samples back, witnesses
    // them, notes the block and writes it.
    struct Unpacked {
        std::vector<std::int16_t> Lost;
        std::uint64_t At = 0;  // bytes of the journal: where the block's remainders begin
        bool Whole = false;
        OldPages Old;
    };
    std::mutex queueMutex;
    std::deque<Unpacked> queue;
    std::vector<Unpacked> spare;  // handed back, to be filled again without allocating
    ReadAhead::Look unpack = [&](std::uint64_t offset, std::int16_t* block, std::size_t bytes) {
        Unpacked unpacked;
        {
            std::lock_guard lock(queueMutex);
            if (!spare.empty()) {
                unpacked = std::move(spare.back());
                spare.pop_back();
            }
        }
        unpacked.At = remainders.Position();
        const std::size_t count = bytes / bytesPerSample;
        unpacked.Lost.resize(count);
        unpacked.Whole = remainders.Next(unpacked.Lost.data(), count);
        unpacked.Old.Take(start + offset, reinterpret_cast<unsigned char*>(block), bytes);
        std::lock_guard lock(queueMutex);
        queue.push_back(std::move(unpacked));
    };
    bool whole = true;
    std::vector<PageWitness> witnesses;
    auto restore = [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
        Unpacked unpacked;
        {
            std::lock_guard lock(queueMutex);
            unpacked = std::move(queue.front());
            queue.pop_front();
        }
        if (!unpacked.Whole || unpacked.Lost.size() != count) {
            whole = false;
            return false;
        }
        const std::uint64_t offset = firstFrame * frameSize + firstBlock * blockBytes;  // bytes of the range
        const std::uint64_t block = offset / blockBytes;
        const std::uint64_t fileOffset = kept.FileOffset + offset;
        const std::uint64_t firstSample = offset / bytesPerSample;
        const std::size_t bytes = count * bytesPerSample;
        if (partBlock && block == *partBlock) {
            // Pages the edit's write reached hold rescaled samples; the
            // others never changed.  A page put back no longer matches.
            const std::vector<PageWitness>& edit = reach.Last->Witnesses;
            RestorePages(*scaling, firstSample, samples, unpacked.Lost.data(), fileOffset, bytes,
                         [&](std::size_t p, const unsigned char* part, std::size_t partBytes) {
                             return p >= edit.size() || HoldsNew(edit[p], part, partBytes);
                         });
        } else if (resumed && block == firstBlock) {
            // The block this take-back was writing when it was cut off:
            // pages its write reached are back already.
            const std::vector<PageWitness>& done = resume->Witnesses;
            RestorePages(*scaling, firstSample, samples, unpacked.Lost.data(), fileOffset, bytes,
                         [&](std::size_t p, const unsigned char* part, std::size_t partBytes) {
                             return p >= done.size() || !HoldsNew(done[p], part, partBytes);
                         });
        } else {
            scaling->Restore(firstSample, samples, count, unpacked.Lost.data());
        }
        unpacked.Old.Witness(reinterpret_cast<const unsigned char*>(samples), witnesses);
        if (!log.Write(work, RestorePhase, block, fileOffset, bytes, unpacked.At, witnesses)) {
            whole = false;
            return false;
        }
        std::lock_guard lock(queueMutex);
        spare.push_back(std::move(unpacked));
        return true;
    };
    const bool rewritten = RewriteRangeInBlocks(work, doc, range, restore, processing, std::move(unpack));
    return rewritten && whole;
}

// Every rescaled sample's remainder (Volume, the fades): what the
// rescaling took from it, packed; undo rebuilds each sample from what it
// is now and its remainder.
class RemaindersKept final : public Keeping {
public:
    std::unique_ptr<RunHooks> Hooks(const EditHistory&, UndoStep& step, File& journal, RewriteLog& log) const override
    {
        return std::make_unique<RemaindersHooks>(step, journal, log);
    }

    bool TakeBack(const Document& doc, const EditHistory&, const UndoStep& step, const StepReach& reach, File& work,
                  File& journal, RewriteLog& log, const std::optional<RewriteLog::Note>& resume,
                  ScalingSource scalings, Progress& processing) const override
    {
        return TakeBackRemainders(doc, step, reach, work, journal, log, resume, scalings, processing);
    }

    void Write(IniFile& manifest, const std::string& section, const UndoStep& step) const override
    {
        const KeptRemainders& r = step.Remainders;
        manifest.SetString(section, "Remainders",
                           std::to_string(r.FileOffset) + "," + std::to_string(r.Length) + "," +
                               std::to_string(r.JournalOffset) + "," + std::to_string(r.JournalLength));
    }

    void Read(const IniFile& manifest, const std::string& section, UndoStep& step) const override
    {
        std::uint64_t values[4] = {};
        const std::string text = manifest.ReadString(section, "Remainders", "");
        const char* at = text.data();
        const char* end = text.data() + text.size();
        for (std::uint64_t& value : values) {
            const auto [next, error] = std::from_chars(at, end, value);
            if (error != std::errc())
                break;
            at = next < end ? next + 1 : end;  // past ','
        }
        step.Remainders = {values[0], values[1], values[2], values[3]};
    }
};

} // namespace

const Keeping& RemaindersKeeping()
{
    static const RemaindersKept remainders;
    return remainders;
}

} // namespace velmora
