#include "ApplyPlan.h"

#include "CutLayout.h"
#include "RunHooks.h"
#include "SampleRewrite.h"

#include "document/Document.h"
#include "document/WorkFileFormat.h"
#include "platform/ByteMoves.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <filesystem>
#include <system_error>
#include <thread>

namespace velmora {

namespace {

EditEnd ApplyOverwrite(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                       UserDialogs& dialogs)
{
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    // Silence has no peaks.
    RangePeaks peaks(doc, plan.Range);
    if (!SilenceRange(file, doc, plan.Range, processing))
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc, file);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

EditEnd ApplyScale(Document& doc, const EditPlan& plan, RunHooks& hooks, Progress& processing, Progress& reloading,
                   UserDialogs& dialogs)
{
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    if (!plan.Scaling) {
        ProgressMeter(reloading).Report(100);
        return EditEnd::Done;
    }
    // The reading thread rescales each block as it reads it (and keeps
    // what the step keeps); this one writes the blocks and judges the
    // columns of the range as they go.  The other columns do not change.
    RangePeaks peaks(doc, plan.Range);
    const bool eightBit = doc.BitsPerSample == 8;
    const std::uint64_t bytesPerSample = eightBit ? 1 : 2;
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::size_t blockBytes = RewriteBlockBytes(doc.FrameSize, plan.Range.EndByte - plan.Range.StartByte);
    const SampleScaling& scaling = *plan.Scaling;
    ReadAhead::Look scaleAsRead = [&](std::uint64_t offset, std::int16_t* block, std::size_t bytes) {
        hooks.ScaleBlock(scaling, offset / bytesPerSample, block, bytes, eightBit);
    };
    bool stopped = false;
    auto writeBlock = [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
        const std::uint64_t offset = firstFrame * frameSize;  // bytes of the range
        if (!hooks.BeforeWrite(file, ScalePhase, offset / blockBytes, plan.Range.StartByte + offset,
                               count * bytesPerSample)) {
            stopped = true;
            return false;
        }
        peaks.Take(firstFrame, samples, count);
        return true;
    };
    const bool rewritten = RewriteRangeInBlocks(file, doc, plan.Range, writeBlock, processing, std::move(scaleAsRead));
    if (stopped || !hooks.AfterRescale())
        return EditEnd::Failed;
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc, file);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

// A cut that writes what stays into a new file, which takes the working
// file's name.
EditEnd CutIntoNewFile(File& old, Document& doc, const EditPlan& plan, const CutLayout& layout, RunHooks& hooks,
                       Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    const std::string newPath = doc.WorkFile + ".new";
    File fresh = WriteCutIntoNewFile(old, doc, plan, layout, newPath, processing);
    if (!fresh || !hooks.PutInPlace(fresh, newPath, doc.WorkFile, old)) {
        RemoveFileIfExists(newPath);
        return FailRewrite(old, doc, reloading, dialogs);
    }
    return FollowCut(fresh, doc, plan, layout.KeptBytes(), reloading);
}

// A cut that closes up in place: the move, the cut, the joins' patches and
// the header, each told to the hooks before it is written.
EditEnd CutInPlace(File& file, Document& doc, const EditPlan& plan, const CutLayout& layout, RunHooks& hooks,
                   Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    ProgressMeter meter(processing);
    bool stopped = false;
    MoveBlocks blocks;
    blocks.BlockBytes = hooks.MoveBlockBytes(layout.ShiftFrom - layout.ShiftTo);
    blocks.BeforeWrite = [&](std::uint64_t block, std::uint64_t offset, std::size_t bytes) {
        stopped = !hooks.BeforeWrite(file, MovePhase, block, offset, bytes);
        return !stopped;
    };
    blocks.Moved = [&](std::uint64_t moved) { meter.Report(moved, layout.ShiftLength); };
    auto told = [&](RewritePhase phase, std::uint64_t offset, std::size_t bytes) {
        stopped = !hooks.BeforeWrite(file, phase, 0, offset, bytes);
        return !stopped;
    };
    const bool written = MoveDown(file, layout.ShiftTo, layout.ShiftFrom, layout.ShiftLength, blocks) &&
                         told(CutPhase, layout.NewLength, 0) && file.Truncate(layout.NewLength) &&
                         (plan.Patches.empty() || (told(JoinPhase, 0, 0) && WriteJoinPatches(file, plan))) &&
                         told(HeaderPhase, 0, doc.DataOffset) &&
                         PatchEditedSizes(file, layout.NewLength, doc.DataOffset);
    if (stopped)
        return EditEnd::Failed;
    if (!written)
        return FailRewrite(file, doc, reloading, dialogs);
    return FollowCut(file, doc, plan, layout.NewLength, reloading);
}

EditEnd ApplyCut(Document& doc, const EditPlan& plan, RunHooks& hooks, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs)
{
    if (plan.Request.Command == EditCommand::CutOut && plan.Range.Frames == 0) {
        dialogs.ShowMessage("The selection is empty.");
        return EditEnd::Refused;
    }
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const CutLayout layout = CutLayoutOf(doc, plan, file.Size());
    if (hooks.CutsIntoNewFile(doc.WorkFile, layout, file.Size()))
        return CutIntoNewFile(file, doc, plan, layout, hooks, processing, reloading, dialogs);
    return CutInPlace(file, doc, plan, layout, hooks, processing, reloading, dialogs);
}

// Room beside the working file for bytes more, and some to spare.
bool RoomBeside(const std::string& workFile, std::uint64_t bytes)
{
    constexpr std::uint64_t SpareBytes = 16u << 20;
    std::error_code error;
    const auto space = std::filesystem::space(std::filesystem::path(workFile).parent_path(), error);
    return !error && space.available > bytes + SpareBytes;
}

} // namespace

void RunHooks::ScaleBlock(const SampleScaling& scaling, std::uint64_t firstSample, std::int16_t* block,
                          std::size_t bytes, bool eightBit)
{
    WithSamples(eightBit, block, bytes,
                [&](auto* samples, std::size_t count) { scaling.Scale(firstSample, samples, count); });
}

bool RunHooks::BeforeWrite(File&, RewritePhase, std::uint64_t, std::uint64_t, std::size_t)
{
    return true;
}

bool RunHooks::AfterRescale()
{
    return true;
}

bool RunHooks::CutsIntoNewFile(const std::string& workFile, const CutLayout& layout, std::uint64_t fileLength)
{
    return layout.KeptBytes() <= fileLength / 2 && RoomBeside(workFile, layout.KeptBytes());
}

std::size_t RunHooks::MoveBlockBytes(std::uint64_t)
{
    return EditBlockBytes;
}

bool RunHooks::PutInPlace(File&, const std::string& newPath, const std::string& workFile, File& old)
{
    std::error_code error;
    std::filesystem::rename(newPath, workFile, error);
    if (error)
        return false;
    try {
        std::thread([gone = std::move(old)]() mutable { gone = File(); }).detach();
    } catch (const std::system_error&) {
        old = File();  // no thread to spare: let it go here
    }
    return true;
}

EditEnd ApplyPlan(Document& doc, const EditPlan& plan, RunHooks& hooks, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs)
{
    switch (plan.What) {
    case EditPlan::Kind::Unchanged: return EditEnd::Done;
    case EditPlan::Kind::Overwrite: return ApplyOverwrite(doc, plan, processing, reloading, dialogs);
    case EditPlan::Kind::Scale: return ApplyScale(doc, plan, hooks, processing, reloading, dialogs);
    case EditPlan::Kind::Cut: return ApplyCut(doc, plan, hooks, processing, reloading, dialogs);
    }
    return EditEnd::Refused;
}

EditEnd ApplyPlan(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs)
{
    RunHooks nothingKept;
    return ApplyPlan(doc, plan, nothingKept, processing, reloading, dialogs);
}

} // namespace velmora
