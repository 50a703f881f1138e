#include "EditJournal.h"

#include "DeleteCutOut.h"
#include "EditRange.h"
#include "EditSequence.h"
#include "Fades.h"
#include "RemainderJournal.h"
#include "SampleRewrite.h"
#include "VectorClones.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <system_error>
#include <type_traits>
#include <vector>

namespace velmora {

namespace {

// Room left free in the temporary folder beyond the journal itself.
constexpr std::uint64_t SpareBytes = 16u << 20;

std::uint64_t PeakBytes(std::uint32_t columns)
{
    return 2ull * columns * sizeof(std::int16_t);
}

// What an edit destroys, as pieces of the working file (before the edit),
// and the move that undoes its shifting of the rest.
void PlanUndo(const Document& doc, const EditRequest& edit, std::uint64_t fileLength,
              const std::string& wholeFilePath, UndoStep& step)
{
    const EditRange range = EditRangeOf(doc);
    const std::uint64_t dataOffset = doc.DataOffset;
    auto piece = [&step](std::uint64_t from, std::uint64_t to) {
        if (to > from)
            step.Pieces.push_back({from, to - from, 0});
    };
    step.LengthBefore = fileLength;
    switch (edit.Command) {
    case EditCommand::Volume:
        if (edit.Mute)
            piece(range.StartByte, range.EndByte);  // silence keeps nothing of what it replaces
        else if (edit.Gain != 1.0f)
            step.Remainders = {range.StartByte, range.EndByte - range.StartByte, 0, 0};
        break;
    case EditCommand::FadeIn:
    case EditCommand::FadeOut:
        if (range.Frames >= 100)  // a shorter range has no percentage steps and is left as it is
            step.Remainders = {range.StartByte, range.EndByte - range.StartByte, 0, 0};
        break;
    case EditCommand::Delete:
    case EditCommand::CutOut: {
        // Keeping what stays in a new file, and the old one whole, copies
        // no more bytes than keeping what goes (with the header), and moves
        // none.
        const CutShape shape = CutShapeOf(doc, edit.Command, fileLength);
        const bool rangeInPayload = range.EndByte <= std::min<std::uint64_t>(doc.DataEnd, fileLength);
        if (shape.Kept <= shape.CutAway + dataOffset && rangeInPayload) {
            step.WholeFileBefore = wholeFilePath;
            break;
        }
        if (edit.Command == EditCommand::CutOut) {
            // The range moves down to the payload's start; what stood
            // before and after it is cut away.
            piece(0, dataOffset);
            piece(dataOffset, range.StartByte);
            piece(range.EndByte, fileLength);
            step.MoveFrom = dataOffset;
            step.MoveTo = range.StartByte;
            step.MoveLength = range.EndByte - range.StartByte;
            break;
        }
        // The bytes after the range move down onto it; whatever follows
        // the payload is cut away; the header's sizes change.
        const std::uint64_t end = std::min<std::uint64_t>(doc.DataEnd, fileLength);
        piece(0, dataOffset);
        piece(range.StartByte, range.EndByte);
        piece(end, fileLength);
        step.MoveFrom = range.StartByte;
        step.MoveTo = range.EndByte;
        step.MoveLength = end > range.EndByte ? end - range.EndByte : 0;
        break;
    }
    }
}

bool AskToGoOnWithoutUndo(UserDialogs& dialogs)
{
    return dialogs.AskYesNoCancel("There is not enough room in the temporary folder to keep this edit for Undo.\n"
                                  "Do you want to go on without Undo?",
                                  "Confirm", UserDialogs::Icon::Question) == UserDialogs::Answer::Yes;
}

// Moves length bytes at from up to to (to > from), in blocks, back to front
// so that nothing is overwritten before it has been read.
bool MoveUp(File& file, std::uint64_t from, std::uint64_t to, std::uint64_t length, ProgressMeter& meter,
            std::uint64_t& done, std::uint64_t total)
{
    if (length == 0 || from == to)
        return true;
    std::vector<unsigned char> block(static_cast<std::size_t>(std::min<std::uint64_t>(EditBlockBytes, length)));
    std::uint64_t left = length;
    while (left > 0) {
        const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(block.size(), left));
        left -= size;
        if (file.ReadAt(from + left, block.data(), size) != size || !file.WriteAt(to + left, block.data(), size))
            return false;
        done += size;
        meter.Report(done, total);
    }
    return true;
}

// The working file as it was before step's edit.
bool PutBack(File& file, File& journal, const UndoStep& step, Progress& processing)
{
    ProgressMeter meter(processing);
    std::uint64_t total = step.MoveLength;
    for (const JournalPiece& piece : step.Pieces)
        total += piece.Length;
    std::uint64_t done = 0;
    if (file.Size() < step.LengthBefore && !file.Truncate(step.LengthBefore))
        return false;
    if (!MoveUp(file, step.MoveFrom, step.MoveTo, step.MoveLength, meter, done, total))
        return false;
    for (const JournalPiece& piece : step.Pieces) {
        const std::uint64_t before = done;
        const bool copied = CopyFileData(journal, piece.JournalOffset, file, piece.FileOffset, piece.Length,
                                         [&](std::uint64_t chunk) { meter.Report(before + chunk, total); });
        if (!copied)
            return false;
        done += piece.Length;
    }
    meter.Report(total, total);
    return file.Truncate(step.LengthBefore);
}

template <typename Sample>
[[gnu::always_inline]] inline void RestoreSamples(Sample* samples, std::size_t count, const std::int16_t* lost,
                                                  float inverse)
{
    constexpr std::int32_t centre = std::is_same_v<Sample, std::uint8_t> ? 128 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t y = static_cast<std::int32_t>(samples[i]) - centre;
        samples[i] = static_cast<Sample>(Restore(y, lost[i], inverse) + centre);
    }
}

VELMORA_VECTOR_CLONES void RestoreBlock(std::uint8_t* samples, std::size_t count, const std::int16_t* lost,
                                        float inverse)
{
    RestoreSamples(samples, count, lost, inverse);
}

VELMORA_VECTOR_CLONES void RestoreBlock(std::int16_t* samples, std::size_t count, const std::int16_t* lost,
                                        float inverse)
{
    RestoreSamples(samples, count, lost, inverse);
}

// The samples a Volume or a fade rescaled, from what they are now and
// their remainders.
bool PutBackRemainders(File& file, File& journal, const UndoStep& step, const Document& doc, Progress& processing)
{
    const KeptRemainders& kept = step.Remainders;
    const EditRange range{kept.FileOffset, kept.FileOffset + kept.Length,
                          static_cast<std::uint32_t>(kept.Length / static_cast<std::uint64_t>(doc.FrameSize))};
    RemainderReader remainders(journal, kept.JournalOffset, kept.JournalLength);
    const std::size_t samplesPerFrame = doc.Channels == 1 ? 1 : 2;
    const std::uint32_t fadeStep = range.Frames / 100;
    const bool fade = step.Edit.Command != EditCommand::Volume;
    const float volumeInverse = InverseOfScale(step.Edit.Gain);
    // The reading thread unpacks each block's remainders as the block comes
    // in; this one puts the samples back and writes them, so that the two
    // share the work.  Both see the blocks in the same order: a queue
    // pairs them.  A block without its remainders stays as it is.
    struct Unpacked {
        std::vector<std::int16_t> Lost;
        bool Whole = false;
    };
    std::mutex queueMutex;
    std::deque<Unpacked> queue;
    std::vector<std::vector<std::int16_t>> spare;
    bool whole = true;  // this thread's
    ReadAhead::Look unpack = [&](std::uint64_t, std::int16_t*, std::size_t bytes) {
        Unpacked block;
        {
            std::lock_guard lock(queueMutex);
            if (!spare.empty()) {
                block.Lost = std::move(spare.back());
                spare.pop_back();
            }
        }
        const std::size_t count = doc.BitsPerSample == 8 ? bytes : bytes / 2;
        block.Lost.resize(count);
        block.Whole = remainders.Next(block.Lost.data(), count);
        std::lock_guard lock(queueMutex);
        queue.push_back(std::move(block));
    };
    auto restore = [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
        Unpacked block;
        {
            std::lock_guard lock(queueMutex);
            block = std::move(queue.front());
            queue.pop_front();
        }
        whole = whole && block.Whole && block.Lost.size() == count;
        if (whole && !fade)
            RestoreBlock(samples, count, block.Lost.data(), volumeInverse);
        if (whole && fade)
            ForEachFadePiece(step.Edit.Command == EditCommand::FadeIn, fadeStep, samplesPerFrame, firstFrame, count,
                             [&](std::size_t start, std::size_t piece, std::int32_t percent) {
                                 RestoreBlock(samples + start, piece, block.Lost.data() + start,
                                              InverseOfPercent(percent));
                             });
        std::lock_guard lock(queueMutex);
        spare.push_back(std::move(block.Lost));
    };
    const bool rewritten = RewriteRangeInBlocks(file, doc, range, restore, processing, nullptr, std::move(unpack));
    return rewritten && whole;
}

bool ReadPeaks(File& journal, const UndoStep& step, Document& doc)
{
    const std::uint32_t columns = step.Before.ColumnCount;
    doc.PeakUpper.assign(columns, 0);
    doc.PeakLower.assign(columns, 0);
    const std::size_t bytes = columns * sizeof(std::int16_t);
    return journal.ReadAt(step.PeaksAt, doc.PeakUpper.data(), bytes) == bytes &&
           journal.ReadAt(step.PeaksAt + bytes, doc.PeakLower.data(), bytes) == bytes;
}

} // namespace

std::uint64_t JournalEndOf(const UndoStep& step)
{
    return std::max(step.PeaksAt + PeakBytes(step.Before.ColumnCount),
                    step.Remainders.JournalOffset + step.Remainders.JournalLength);
}

JournalCopier::JournalCopier(File work, File journal, std::vector<JournalPiece> pieces)
    : work_(std::move(work)), journal_(std::move(journal)), pieces_(std::move(pieces))
{
    kept_ = pieces_.empty() ? WholeFile : pieces_.front().FileOffset;
    thread_ = std::thread([this] { Copy(); });
}

JournalCopier::~JournalCopier()
{
    Finish();
}

void JournalCopier::Copy()
{
    // Small chunks let the rewrite follow closely behind.
    constexpr std::uint64_t ChunkBytes = 4u << 20;
    // The journal's blocks set aside in one go (a hint: ext4 then allocates
    // nothing as the copy comes).
    if (!pieces_.empty())
        journal_.Reserve(pieces_.back().JournalOffset + pieces_.back().Length);
    bool copied = true;
    for (std::size_t i = 0; i < pieces_.size() && copied; ++i) {
        const JournalPiece& piece = pieces_[i];
        for (std::uint64_t done = 0; done < piece.Length && copied;) {
            const std::uint64_t chunk = std::min(ChunkBytes, piece.Length - done);
            copied = CopyFileData(work_, piece.FileOffset + done, journal_, piece.JournalOffset + done, chunk,
                                  [](std::uint64_t) {});
            done += chunk;
            // Bytes between the pieces are not the edit's to destroy.
            const std::uint64_t kept = done < piece.Length ? piece.FileOffset + done
                                       : i + 1 < pieces_.size() ? pieces_[i + 1].FileOffset
                                                                : WholeFile;
            Publish(copied ? kept : WholeFile, !copied);
        }
    }
    Publish(WholeFile, !copied);
    std::lock_guard lock(mutex_);
    over_ = true;
    changed_.notify_all();
}

void JournalCopier::Publish(std::uint64_t kept, bool failed)
{
    std::lock_guard lock(mutex_);
    kept_ = kept;
    failed_ = failed_ || failed;
    changed_.notify_all();
}

void JournalCopier::Before(std::uint64_t end)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return kept_ >= end || over_; });
}

bool JournalCopier::StartedWell()
{
    std::unique_lock lock(mutex_);
    const std::uint64_t first = pieces_.empty() ? 0 : pieces_.front().FileOffset;
    changed_.wait(lock, [&] { return kept_ > first || over_; });
    return !failed_;
}

bool JournalCopier::Finish()
{
    if (thread_.joinable())
        thread_.join();
    return !failed_;
}

Kept KeepForUndo(const Document& doc, const EditRequest& edit, File& work, UserDialogs& dialogs, UndoStep& step,
                 JournalWriters& writers)
{
    const EditHistory& history = doc.History;
    step = UndoStep{};
    step.Edit = edit;
    step.Before = {doc.DataOffset, doc.DataSize,      doc.DataEnd,  doc.DurationSeconds, doc.TotalFrames,
                   doc.FramesPerColumn, doc.ColumnCount, doc.SelStart, doc.SelFinish};
    step.JournalStart = history.JournalEnd();
    PlanUndo(doc, edit, work.Size(), history.JournalPath + "-" + std::to_string(history.NextWholeFile), step);
    // Remainders take no more room than the samples, less what their
    // chunks' headers add.
    std::uint64_t needed = PeakBytes(doc.ColumnCount) + step.Remainders.Length + step.Remainders.Length / 512;
    if (!step.WholeFileBefore.empty())
        needed += CutShapeOf(doc, edit.Command, work.Size()).Kept;  // the new working file
    for (const JournalPiece& piece : step.Pieces)
        needed += piece.Length;

    std::error_code error;
    const auto space = std::filesystem::space(std::filesystem::path(history.JournalPath).parent_path(), error);
    if (error || space.available < needed + SpareBytes)
        return AskToGoOnWithoutUndo(dialogs) ? Kept::NotKept : Kept::CalledOff;

    // Never cut to nothing and written again: ext4 then pushes the whole
    // journal to the disk when it is closed, which costs more than the edit.
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    if (!journal)
        journal = File::Open(history.JournalPath, File::Mode::CreateNew);
    // Bytes past JournalStart (of undone steps) are overwritten or never read.
    std::uint64_t at = step.JournalStart;
    for (JournalPiece& piece : step.Pieces) {
        piece.JournalOffset = at;
        at += piece.Length;
    }
    // The peaks before the edit, now: the edit replaces them.  The
    // remainders follow them, as long as they turn out.
    step.PeaksAt = at;
    const std::size_t rowBytes = doc.ColumnCount * sizeof(std::int16_t);
    step.Remainders.JournalOffset = at + 2 * rowBytes;
    File copyFrom = work.Duplicate();
    const bool ready = journal && copyFrom && doc.PeakUpper.size() >= doc.ColumnCount &&
                       doc.PeakLower.size() >= doc.ColumnCount && journal.WriteAt(at, doc.PeakUpper.data(), rowBytes) &&
                       journal.WriteAt(at + rowBytes, doc.PeakLower.data(), rowBytes);
    if (ready && step.Remainders.Length > 0) {
        writers.Remainders = std::make_unique<RemainderWriter>(std::move(journal), step.Remainders.JournalOffset);
        return Kept::Yes;
    }
    if (ready && !step.WholeFileBefore.empty()) {
        writers.WholeFileBefore = step.WholeFileBefore;
        return Kept::Yes;
    }
    if (ready && step.Pieces.empty())
        return Kept::Yes;  // the edit changes no sample (Volume 100 %, a fade too short to step)
    if (ready) {
        writers.Copier = std::make_unique<JournalCopier>(std::move(copyFrom), std::move(journal), step.Pieces);
        // A copy that fails before the edit has begun can still be declined.
        if (writers.Copier->StartedWell())
            return Kept::Yes;
        writers.Copier.reset();
    }
    return AskToGoOnWithoutUndo(dialogs) ? Kept::NotKept : Kept::CalledOff;
}

// Puts the last edit's bytes back in place (processing), restores the
// document, the markers and the peaks (reloading; rescanned when the zoom
// changed since), and makes the edit the next one to redo.  A failure part
// way is shown, the document describes the file as it then is, and the
// history is given up.
EditEnd UndoEdit(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    EditHistory& history = doc.History;
    if (!history.CanUndo())
        return EditEnd::Refused;
    const UndoStep step = history.Undo.back();
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    bool putBack = false;
    if (!step.WholeFileBefore.empty()) {
        // The old working file takes its name back, in one step, and the
        // edited one goes; the rescan below reads the old one.
        if (journal && ExchangeFiles(step.WholeFileBefore, doc.WorkFile)) {
            RemoveFileIfExists(step.WholeFileBefore);
            putBack = true;
        } else if (journal) {
            std::error_code error;  // where names cannot be traded
            std::filesystem::rename(step.WholeFileBefore, doc.WorkFile, error);
            putBack = !error;
        }
        if (putBack)
            file = OpenForRewrite(doc, dialogs);
        putBack = putBack && file;
        ProgressMeter(processing).Report(100);
    } else {
        putBack = journal && PutBack(file, journal, step, processing) &&
                  (step.Remainders.Length == 0 || PutBackRemainders(file, journal, step, doc, processing));
    }
    if (!putBack) {
        history.Forget();
        history.State = history.NewState();
        doc.Modified = true;
        return FailRewrite(file, doc, reloading, dialogs);
    }

    const DocumentShape& before = step.Before;
    doc.DataOffset = before.DataOffset;
    doc.DataSize = before.DataSize;
    doc.DataEnd = before.DataEnd;
    doc.DurationSeconds = before.DurationSeconds;
    doc.TotalFrames = before.TotalFrames;
    const bool sameZoom = doc.FramesPerColumn == before.FramesPerColumn;
    if (sameZoom && ReadPeaks(journal, step, doc)) {
        doc.ColumnCount = before.ColumnCount;
        doc.SelStart = before.SelStart;
        doc.SelFinish = before.SelFinish;
        ProgressMeter(reloading).Report(100);
    } else {
        // Peaks and markers of another zoom: scanned and set as a zoom change would.
        doc.ColumnCount = ColumnCountFor(doc.TotalFrames, doc.FramesPerColumn);
        doc.PeakUpper.assign(doc.ColumnCount, 0);
        doc.PeakLower.assign(doc.ColumnCount, 0);
        ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
        SelectAll(doc);
    }

    history.Undo.pop_back();
    history.JournalUsed = step.JournalStart;
    if (step.JournalStart > 0)
        journal.Truncate(step.JournalStart);  // gives room back; the bytes past JournalUsed are never read
    if (sameZoom)
        history.Redo.push_back({step.Edit, before.SelStart, before.SelFinish, step.StateAfter});
    history.State = step.StateBefore;
    doc.Modified = !history.AtSavedState();
    return EditEnd::Done;
}

} // namespace velmora
