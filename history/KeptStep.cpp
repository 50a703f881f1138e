#include "KeptStep.h"

#include "ApplyPlan.h"
#include "platform/ByteMoves.h"
#include "CutLayout.h"
#include "EditRange.h"
#include "PageWitness.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"

#include "document/Document.h"
#include "document/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <mutex>
#include <functional>
#include <system_error>
#include <sys/stat.h>
#include <thread>

namespace velmora {

namespace {

std::uint64_t PeakBytes(std::uint32_t columns)
{
    return 2ull * columns * sizeof(std::int16_t);
}

// What one block costs beyond its bytes (two system calls), in bytes that
// copying would take as long: a move in small blocks is dearer than its
// length says.
constexpr std::uint64_t BlockOverheadBytes = 24u << 10;

// Bytes of a block of a move that must survive being cut off: never longer
// than the distance moved (ByteMoves.h).
std::size_t KeptMoveBlockBytes(std::uint64_t distance)
{
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(distance, 1, EditBlockBytes));
}

void PlanCutKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                    std::uint64_t room, std::uint64_t peaks, UndoStep& step, bool& fits)
{
    const CutLayout layout = CutLayoutOf(doc, plan, fileLength);
    std::vector<ByteSpan> destroyed = layout.Destroyed(fileLength);
    // What a clean join's crossfade writes over stays, changed: kept too.
    for (const JoinPatch& patch : plan.Patches)
        destroyed.push_back({patch.OldOffset, patch.OldOffset + patch.Bytes.size()});
    std::uint64_t destroyedBytes = 0;
    for (const ByteSpan& span : destroyed)
        destroyedBytes += span.Bytes();
    // Bytes that move onto themselves (an empty range) do not move at all.
    const std::uint64_t distance = layout.ShiftFrom - layout.ShiftTo;
    const std::uint64_t moved = distance == 0 ? 0 : layout.ShiftLength;
    const std::uint64_t blocks = (moved + KeptMoveBlockBytes(distance) - 1) / KeptMoveBlockBytes(distance);
    const std::uint64_t inPlaceCost = destroyedBytes + moved + blocks * BlockOverheadBytes;
    const std::uint64_t newFileCost = layout.KeptBytes();
    const bool inPlaceFits = destroyedBytes + peaks <= room;
    // A new file copies what stays and moves nothing; it needs the range
    // inside the payload, as the copy reads it from there.
    const bool rangeInPayload = plan.Range.EndByte <= std::min<std::uint64_t>(doc.DataEnd, fileLength);
    const bool newFileFits = rangeInPayload && layout.KeptBytes() + peaks <= room;
    fits = inPlaceFits || newFileFits;
    if (newFileFits && (!inPlaceFits || newFileCost <= inPlaceCost)) {
        step.Kept = KeptAs::WholeFile;
        step.WholeFileName = std::string(JournalFileName) + "-" + std::to_string(history.NextWholeFile);
        return;
    }
    step.Kept = KeptAs::Pieces;
    for (const ByteSpan& span : destroyed)
        step.Pieces.push_back({span.From, span.Bytes(), 0});
    step.MoveFrom = layout.ShiftTo;
    step.MoveTo = layout.ShiftFrom;
    step.MoveLength = layout.ShiftLength;
}

// ---- Volume and the fades, kept as remainders ----

EditEnd ApplyScaleKept(Document& doc, const EditPlan& plan, UndoStep& step, File& journal, RewriteLog& log,
                       Progress& processing, Progress& reloading, UserDialogs& dialogs, bool& journalFailed)
{
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    RangePeaks peaks(doc, plan.Range);
    const SampleScaling& scaling = *plan.Scaling;
    const bool eightBit = doc.BitsPerSample == 8;
    const std::uint64_t bytesPerSample = eightBit ? 1 : 2;
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::size_t blockBytes =
        RewriteBlockBytes(doc.FrameSize, plan.Range.EndByte - plan.Range.StartByte);
    RemainderWriter remainders(journal.Duplicate(), step.Remainders.JournalOffset);

    // The reading thread scales each block as it reads it, keeping and
    // packing its remainders in the same pass, and witnesses its pages;
    // this one writes the remainders, notes the block and writes it.  Both
    // see the blocks in order: a queue pairs them.
    std::mutex queueMutex;
    std::deque<std::vector<PageWitness>> queue;
    std::vector<std::vector<PageWitness>> spare;
    OldPages old;  // the reading thread's
    ReadAhead::Look scaleAsRead = [&](std::uint64_t offset, std::int16_t* block, std::size_t bytes) {
        auto* raw = reinterpret_cast<unsigned char*>(block);
        old.Take(plan.Range.StartByte + offset, raw, bytes);
        const std::uint64_t first = offset / bytesPerSample;
        WithSamples(eightBit, block, bytes, [&](auto* samples, std::size_t count) {
            remainders.Keep(count, [&](std::size_t at, std::size_t part, std::int16_t* lost, std::int16_t& least,
                                       std::int16_t& most) {
                scaling.ScaleAndKeep(first + at, samples + at, part, lost, least, most);
            });
        });
        remainders.EndBlock();
        std::vector<PageWitness> witnesses;
        {
            std::lock_guard lock(queueMutex);
            if (!spare.empty()) {
                witnesses = std::move(spare.back());
                spare.pop_back();
            }
        }
        old.Witness(raw, witnesses);
        std::lock_guard lock(queueMutex);
        queue.push_back(std::move(witnesses));
    };
    auto writeBlock = [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
        std::vector<PageWitness> witnesses;
        {
            std::lock_guard lock(queueMutex);
            witnesses = std::move(queue.front());
            queue.pop_front();
        }
        // The block's remainders reach the journal before the block
        // reaches the working file.
        if (!remainders.WriteReady()) {
            journalFailed = true;
            return false;
        }
        const std::uint64_t offset = firstFrame * frameSize;  // bytes of the range
        log.Write(ScalePhase, offset / blockBytes, plan.Range.StartByte + offset, count * bytesPerSample, 0,
                  witnesses);
        peaks.Take(firstFrame, samples, count);
        std::lock_guard lock(queueMutex);
        spare.push_back(std::move(witnesses));
        return true;
    };
    const bool rewritten = RewriteRangeInBlocks(file, doc, plan.Range, writeBlock, processing, std::move(scaleAsRead));
    const bool kept = remainders.Finish();
    step.Remainders.JournalLength = remainders.Length();
    if (journalFailed || !kept) {
        journalFailed = true;
        return EditEnd::Failed;
    }
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc, file);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

// ---- Delete and Cut Out in place, with the move noted ----

EditEnd ApplyCutInPlaceKept(Document& doc, const EditPlan& plan, RewriteLog& log, Progress& processing,
                            Progress& reloading, UserDialogs& dialogs)
{
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const CutLayout layout = CutLayoutOf(doc, plan, file.Size());
    ProgressMeter meter(processing);
    MoveBlocks blocks;
    blocks.BlockBytes = KeptMoveBlockBytes(layout.ShiftFrom - layout.ShiftTo);
    blocks.BeforeWrite = [&log](std::uint64_t block, std::uint64_t offset, std::size_t bytes) {
        log.Write(MovePhase, block, offset, bytes, 0, {});
        return true;
    };
    blocks.Moved = [&](std::uint64_t moved) { meter.Report(moved, layout.ShiftLength); };
    bool written = MoveDown(file, layout.ShiftTo, layout.ShiftFrom, layout.ShiftLength, blocks);
    if (written) {
        log.Write(CutPhase, 0, layout.NewLength, 0, 0, {});
        written = file.Truncate(layout.NewLength);
    }
    if (written && !plan.Patches.empty()) {
        log.Write(JoinPhase, 0, 0, 0, 0, {});
        written = WriteJoinPatches(file, plan);
    }
    if (written) {
        log.Write(HeaderPhase, 0, 0, doc.DataOffset, 0, {});
        written = PatchEditedSizes(file, layout.NewLength, doc.DataOffset);
    }
    if (!written)
        return FailRewrite(file, doc, reloading, dialogs);
    return FollowCut(file, doc, plan, layout.NewLength, reloading);
}

// ---- Delete and Cut Out into a new file, the old one kept whole ----

struct FileIdentity {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return {true, info.st_dev, info.st_ino};
}

// The new file takes the working file's name and the old one keepAs: the
// old one first gets its second name (a link), then the new one replaces
// it in one step, so that the working file's name never goes missing and
// a start after a kill can tell, by the two names' files, which happened.
// Where the file system has no links, the old one is renamed first.
bool PutInPlace(const std::string& newPath, const std::string& workFile, const std::string& keepAs)
{
    std::error_code error;
    std::filesystem::create_hard_link(workFile, keepAs, error);
    if (error) {
        error.clear();
        std::filesystem::rename(workFile, keepAs, error);
        if (error)
            return false;
    }
    std::filesystem::rename(newPath, workFile, error);
    if (!error)
        return true;
    // Back as it was.
    if (!FileExists(workFile))
        std::filesystem::rename(keepAs, workFile, error);
    else
        RemoveFileIfExists(keepAs);
    return false;
}

EditEnd ApplyCutIntoNewFile(Document& doc, const EditHistory& history, const EditPlan& plan, const UndoStep& step,
                            Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    // Held for the edit, as an edit in place holds it: nobody else writes it.
    File old = OpenForRewrite(doc, dialogs);
    if (!old)
        return EditEnd::NotOpened;
    const CutLayout layout = CutLayoutOf(doc, plan, old.Size());
    const std::uint64_t total = layout.KeptBytes();
    const std::string newPath = doc.WorkFile + ".new";
    const std::string keepAs = history.Folder() + step.WholeFileName;
    RemoveFileIfExists(keepAs);
    File fresh = WriteCutIntoNewFile(old, doc, plan, layout, newPath, processing);
    if (!fresh || !PutInPlace(newPath, doc.WorkFile, keepAs)) {
        RemoveFileIfExists(newPath);
        return FailRewrite(old, doc, reloading, dialogs);
    }
    return FollowCut(fresh, doc, plan, total, reloading);
}

// ---- Taking back ----

bool TakeBackWholeFile(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach)
{
    const std::string keepAs = history.Folder() + step.WholeFileName;
    const FileIdentity kept = IdentityOf(keepAs);
    bool putBack = true;
    if (!kept.Exists && reach.Whole) {
        // A whole step's old file gone: taken back already (an undo cut
        // off after the rename), which left the old file's length - or lost.
        std::error_code error;
        putBack = std::filesystem::file_size(doc.WorkFile, error) == step.LengthBefore && !error;
    } else if (kept.Exists) {
        // The same file under both names: the new one never took the
        // working file's name, and the second name just goes.  Otherwise
        // the old file takes its name back, in one step.
        if (IdentityOf(doc.WorkFile) == kept) {
            putBack = RemoveFileIfExists(keepAs);
        } else {
            std::error_code error;
            std::filesystem::rename(keepAs, doc.WorkFile, error);
            putBack = !error;
        }
    }
    RemoveFileIfExists(doc.WorkFile + ".new");
    return putBack;
}

// How much of a cut's move its take-back moves back up: the bytes the
// move wrote above where it read from, or all of it once the file was cut.
std::uint64_t MoveToTakeBack(const UndoStep& step, const StepReach& reach)
{
    if (reach.Whole)
        return step.MoveLength;
    if (!reach.Last)
        return 0;
    if (reach.Last->Phase != MovePhase)
        return step.MoveLength;
    const std::uint64_t written = reach.Last->Offset + reach.Last->Length - step.MoveFrom;
    const std::uint64_t distance = step.MoveTo - step.MoveFrom;
    return std::min(step.MoveLength, written > distance ? written - distance : 0);
}

bool TakeBackPieces(const UndoStep& step, const StepReach& reach, File& work, File& journal, RewriteLog& log,
                    const std::optional<RewriteLog::Note>& resume, Progress& processing)
{
    ProgressMeter meter(processing);
    const std::uint64_t moveLength = MoveToTakeBack(step, reach);
    std::uint64_t total = moveLength;
    for (const JournalPiece& piece : step.Pieces)
        total += piece.Length;
    if (work.Size() < step.LengthBefore && !work.Truncate(step.LengthBefore))
        return false;
    // Once the pieces are being written back, the move is done: moving
    // again would take bytes the pieces have already put back.
    const bool moved = resume && resume->Phase == PutBackPhase;
    if (!moved && moveLength > 0) {
        MoveBlocks blocks;
        blocks.BlockBytes = KeptMoveBlockBytes(step.MoveTo - step.MoveFrom);
        blocks.FirstBlock = resume && resume->Phase == MovePhase ? resume->Op : 0;
        blocks.BeforeWrite = [&log](std::uint64_t block, std::uint64_t offset, std::size_t bytes) {
            log.Write(MovePhase, block, offset, bytes, 0, {});
            return true;
        };
        blocks.Moved = [&](std::uint64_t bytes) { meter.Report(bytes, total); };
        if (!MoveUp(work, step.MoveFrom, step.MoveTo, moveLength, blocks))
            return false;
    }
    log.Write(PutBackPhase, 0, 0, 0, 0, {});
    std::uint64_t done = moveLength;
    for (const JournalPiece& piece : step.Pieces) {
        const std::uint64_t before = done;
        if (!CopyFileData(journal, piece.JournalOffset, work, piece.FileOffset, piece.Length,
                          [&](std::uint64_t chunk) { meter.Report(before + chunk, total); }))
            return false;
        done += piece.Length;
    }
    meter.Report(total, total);
    return work.Truncate(step.LengthBefore);
}

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
        log.Write(RestorePhase, block, fileOffset, bytes, unpacked.At, witnesses);
        std::lock_guard lock(queueMutex);
        spare.push_back(std::move(unpacked));
        return true;
    };
    const bool rewritten = RewriteRangeInBlocks(work, doc, range, restore, processing, std::move(unpack));
    return rewritten && whole;
}

} // namespace

bool PlanKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                 std::uint64_t room, UndoStep& step)
{
    step = UndoStep{};
    step.Edit = plan.Request;
    step.Before = ShapeOf(doc);
    step.LengthBefore = fileLength;
    step.JournalStart = history.JournalEnd();
    const std::uint64_t peaks = PeakBytes(PeakColumns(doc));
    const std::uint64_t rangeBytes = plan.Range.EndByte - plan.Range.StartByte;
    bool fits = true;
    switch (plan.What) {
    case EditPlan::Kind::Unchanged: break;
    case EditPlan::Kind::Overwrite:
        // Silence keeps nothing of what it replaces.
        step.Kept = KeptAs::Pieces;
        step.Pieces.push_back({plan.Range.StartByte, rangeBytes, 0});
        break;
    case EditPlan::Kind::Scale:
        if (!plan.Scaling || rangeBytes == 0)
            break;
        if (doc.BitsPerSample != 8 && plan.Range.StartByte % 2 != 0) {
            // A 16-bit sample across two pages could be half written when
            // cut off: such a range is kept byte for byte.
            step.Kept = KeptAs::Pieces;
            step.Pieces.push_back({plan.Range.StartByte, rangeBytes, 0});
            break;
        }
        step.Kept = KeptAs::Remainders;
        step.Remainders = {plan.Range.StartByte, rangeBytes, 0, 0};
        break;
    case EditPlan::Kind::Cut: PlanCutKeeping(doc, history, plan, fileLength, room, peaks, step, fits); break;
    }
    std::uint64_t at = step.JournalStart;
    for (JournalPiece& piece : step.Pieces) {
        piece.JournalOffset = at;
        at += piece.Length;
    }
    step.PeaksAt = at;
    step.Remainders.JournalOffset = at + peaks;
    // Remainders take no more room than the samples, less what their
    // chunks' headers add.
    const std::uint64_t needed = at - step.JournalStart + peaks + step.Remainders.Length + step.Remainders.Length / 512;
    return fits && needed <= room;
}

bool RecordStep(const Document& doc, File& work, File& journal, const UndoStep& step, Progress& processing)
{
    const std::uint32_t columns = PeakColumns(doc);
    const std::size_t rowBytes = columns * sizeof(std::int16_t);
    if (!journal || doc.PeakUpper.size() < columns || doc.PeakLower.size() < columns)
        return false;
    // The journal's blocks set aside in one go (a hint: ext4 then allocates
    // nothing as the copy comes).
    journal.Reserve(step.PeaksAt + 2 * rowBytes);
    // A long copy is split in two, one half on a thread of its own: the
    // edit waits for it, and the copying inside the kernel takes one core.
    constexpr std::uint64_t SplitFrom = 32u << 20;
    std::uint64_t total = 0;
    for (const JournalPiece& piece : step.Pieces)
        total += piece.Length;
    std::vector<JournalPiece> first, second;
    std::uint64_t at = 0;
    for (const JournalPiece& piece : step.Pieces) {
        const std::uint64_t half = total >= SplitFrom ? total / 2 : total;
        const std::uint64_t mine = at >= half ? 0 : std::min(piece.Length, half - at);
        if (mine > 0)
            first.push_back({piece.FileOffset, mine, piece.JournalOffset});
        if (mine < piece.Length)
            second.push_back({piece.FileOffset + mine, piece.Length - mine, piece.JournalOffset + mine});
        at += piece.Length;
    }
    auto copy = [](File& from, File& to, const std::vector<JournalPiece>& pieces,
                   const std::function<void(std::uint64_t)>& done) {
        std::uint64_t copied = 0;
        for (const JournalPiece& piece : pieces) {
            const std::uint64_t before = copied;
            if (!from || !to || !CopyFileData(from, piece.FileOffset, to, piece.JournalOffset, piece.Length,
                              [&](std::uint64_t chunk) { done(before + chunk); }))
                return false;
            copied += piece.Length;
        }
        return true;
    };
    // The other thread copies through handles of its own.
    File otherWork = work.Duplicate();
    File otherJournal = journal.Duplicate();
    bool secondCopied = true;
    std::thread other;
    if (!second.empty())
        other = std::thread([&] { secondCopied = copy(otherWork, otherJournal, second, [](std::uint64_t) {}); });
    ProgressMeter meter(processing);
    std::uint64_t firstBytes = 0;
    for (const JournalPiece& piece : first)
        firstBytes += piece.Length;
    const bool firstCopied = copy(work, journal, first, [&](std::uint64_t done) { meter.Report(done, firstBytes); });
    if (other.joinable())
        other.join();
    return firstCopied && secondCopied && journal.WriteAt(step.PeaksAt, doc.PeakUpper.data(), rowBytes) &&
           journal.WriteAt(step.PeaksAt + rowBytes, doc.PeakLower.data(), rowBytes);
}

EditEnd ApplyKept(Document& doc, const EditHistory& history, const EditPlan& plan, UndoStep& step, File& journal,
                  RewriteLog& log, Progress& processing, Progress& reloading, UserDialogs& dialogs, bool& journalFailed)
{
    journalFailed = false;
    switch (step.Kept) {
    case KeptAs::Remainders:
        return ApplyScaleKept(doc, plan, step, journal, log, processing, reloading, dialogs, journalFailed);
    case KeptAs::WholeFile: return ApplyCutIntoNewFile(doc, history, plan, step, processing, reloading, dialogs);
    case KeptAs::Pieces:
        if (plan.What == EditPlan::Kind::Cut)
            return ApplyCutInPlaceKept(doc, plan, log, processing, reloading, dialogs);
        break;  // written over: the pieces put back whatever the edit reached
    case KeptAs::Nothing: break;
    }
    return ApplyPlan(doc, plan, processing, reloading, dialogs);
}

bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach,
              File& work, File& journal, RewriteLog& log, std::uint64_t rewrite, ScalingSource scalings,
              Progress& processing)
{
    const std::optional<RewriteLog::Note> resume = log.Last(rewrite);
    if (!resume)
        log.Begin(rewrite);
    switch (step.Kept) {
    case KeptAs::Nothing: return true;
    case KeptAs::WholeFile: return TakeBackWholeFile(doc, history, step, reach);
    case KeptAs::Pieces: return TakeBackPieces(step, reach, work, journal, log, resume, processing);
    case KeptAs::Remainders:
        return TakeBackRemainders(doc, step, reach, work, journal, log, resume, scalings, processing);
    }
    return false;
}

} // namespace velmora
