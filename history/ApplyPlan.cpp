#include "ApplyPlan.h"

#include "platform/ByteMoves.h"
#include "CutLayout.h"
#include "SampleRewrite.h"

#include "document/Document.h"
#include "document/WorkFileFormat.h"
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

EditEnd ApplyScale(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                   UserDialogs& dialogs)
{
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    // The columns of the range are judged as they are written; the others
    // do not change.
    RangePeaks peaks(doc, plan.Range);
    const std::uint64_t samplesPerFrame = doc.Channels == 1 ? 1 : 2;
    const SampleScaling* scaling = plan.Scaling.get();
    const bool rewritten = scaling == nullptr ||
                           RewriteRangeInBlocks(
                               file, doc, plan.Range,
                               [&](std::uint32_t firstFrame, auto* samples, std::size_t count) {
                                   scaling->Scale(firstFrame * samplesPerFrame, samples, count);
                                   peaks.Take(firstFrame, samples, count);
                               },
                               processing);
    if (!rewritten)
        return FailRewrite(file, doc, reloading, dialogs);
    peaks.StoreInto(doc, file);
    ProgressMeter(reloading).Report(100);
    return EditEnd::Done;
}

// Room beside the working file for bytes more, and some to spare.
bool RoomBeside(const std::string& workFile, std::uint64_t bytes)
{
    constexpr std::uint64_t SpareBytes = 16u << 20;
    std::error_code error;
    const auto space = std::filesystem::space(std::filesystem::path(workFile).parent_path(), error);
    return !error && space.available > bytes + SpareBytes;
}

// A cut that keeps the smaller part of the file: the part is copied into
// a new file that takes the working file's name, and the old file, now
// nameless, is let go on a thread of its own - freeing a long file's
// blocks takes a while, and cutting it short in place would make the edit
// wait for that.  Taken only where the folder has room for the new file.
EditEnd CutIntoNewFile(File& old, Document& doc, const EditPlan& plan, const CutLayout& layout, Progress& processing,
                       Progress& reloading, UserDialogs& dialogs)
{
    const std::string newPath = doc.WorkFile + ".new";
    File fresh = WriteCutIntoNewFile(old, doc, plan, layout, newPath, processing);
    std::error_code error;
    if (fresh)
        std::filesystem::rename(newPath, doc.WorkFile, error);
    if (!fresh || error) {
        RemoveFileIfExists(newPath);
        return FailRewrite(old, doc, reloading, dialogs);
    }
    try {
        std::thread([gone = std::move(old)]() mutable { gone = File(); }).detach();
    } catch (const std::system_error&) {
        old = File();  // no thread to spare: let it go here
    }
    return FollowCut(fresh, doc, plan, layout.KeptBytes(), reloading);
}

EditEnd ApplyCut(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs)
{
    const EditCommand command = plan.Request.Command;
    if (command == EditCommand::CutOut && plan.Range.Frames == 0) {
        dialogs.ShowMessage("The selection is empty.");
        return EditEnd::Refused;
    }
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const CutLayout layout = CutLayoutOf(doc, plan, file.Size());
    if (layout.KeptBytes() <= file.Size() / 2 && RoomBeside(doc.WorkFile, layout.KeptBytes()))
        return CutIntoNewFile(file, doc, plan, layout, processing, reloading, dialogs);
    ProgressMeter meter(processing);
    MoveBlocks blocks;
    blocks.BlockBytes = EditBlockBytes;
    blocks.Moved = [&](std::uint64_t moved) { meter.Report(moved, layout.ShiftLength); };
    if (!MoveDown(file, layout.ShiftTo, layout.ShiftFrom, layout.ShiftLength, blocks) ||
        !file.Truncate(layout.NewLength) || !WriteJoinPatches(file, plan) ||
        !PatchEditedSizes(file, layout.NewLength, doc.DataOffset))
        return FailRewrite(file, doc, reloading, dialogs);
    return FollowCut(file, doc, plan, layout.NewLength, reloading);
}

} // namespace

EditEnd ApplyPlan(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs)
{
    switch (plan.What) {
    case EditPlan::Kind::Unchanged: return EditEnd::Done;
    case EditPlan::Kind::Overwrite: return ApplyOverwrite(doc, plan, processing, reloading, dialogs);
    case EditPlan::Kind::Scale: return ApplyScale(doc, plan, processing, reloading, dialogs);
    case EditPlan::Kind::Cut: return ApplyCut(doc, plan, processing, reloading, dialogs);
    }
    return EditEnd::Refused;
}

} // namespace velmora
