#include "EditSequence.h"

#include "EditKinds.h"

#include "history/ApplyPlan.h"
#include "history/EditPlan.h"
#include "history/EditRange.h"
#include "history/EditSteps.h"
#include "history/KeptStep.h"
#include "history/Manifest.h"
#include "history/Recovery.h"
#include "history/RewriteLog.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

// Room left free in the temporary folder beyond what an edit keeps.
constexpr std::uint64_t SpareBytes = 16u << 20;

bool AskToGoOnWithoutUndo(UserDialogs& dialogs)
{
    return dialogs.AskYesNoCancel("There is not enough room in the temporary folder to keep this edit for Undo.\n"
                                  "Do you want to go on without Undo?",
                                  "Confirm", UserDialogs::Icon::Question) == UserDialogs::Answer::Yes;
}

std::uint64_t RoomInFolder(const std::string& folder)
{
    std::error_code error;
    const auto space = std::filesystem::space(folder, error);
    return error || space.available < SpareBytes ? 0 : space.available - SpareBytes;
}

// The edit, kept for Undo first where the document keeps a history.  A
// redo brings back the state it undid; markersBefore are the markers (frames) the
// document had before the command (a redo puts its own in place).
EditEnd RunKeptEdit(Document& doc, EditHistory& history, const EditRequest& request, Progress& processing,
                    Progress& reloading, UserDialogs& dialogs, const RedoStep* redo,
                    std::pair<std::uint32_t, std::uint32_t> markersBefore)
{
    const EditPlan plan = PlanEdit(doc, request);
    // Cut Out of an empty selection is refused before it touches anything.
    if (EditKindOf(request.Command).RefusesEmptyRange && plan.What == EditPlan::Kind::Cut && plan.Range.Frames == 0)
        return ApplyPlan(doc, plan, processing, reloading, dialogs);

    UndoStep step;
    bool kept = false;
    File journal;
    RewriteLog log;
    // Unopened, the edit says so itself and changes nothing.
    File work = history.Keeping() ? File::Open(doc.WorkFile, File::Mode::ReadWrite) : File();
    const bool keeping = static_cast<bool>(work);
    if (keeping) {
        // The record takes the first part of the bar when it copies.
        ProgressStretch recording(processing, 0, 50);
        const bool planned = PlanKeeping(doc, history, plan, work.Size(), RoomInFolder(history.Folder()), step);
        if (planned) {
            journal = OpenJournal(history);
            log = RewriteLog::Open(history.Folder() + EditLogName);
        }
        kept = planned && log && RecordStep(doc, work, journal, step, recording);
        if (kept) {
            history.PendingWhat = PendingAction::Edit;
            history.Pending = step;
            history.PendingSelStart = markersBefore.first;
            history.PendingSelFinish = markersBefore.second;
            history.PendingRewrite = history.NextRewrite++;
            kept = KeepManifest(doc, history);
        }
        if (!kept) {
            history.PendingWhat = PendingAction::None;
            if (!AskToGoOnWithoutUndo(dialogs)) {
                KeepManifest(doc, history);
                return EditEnd::Refused;
            }
        }
    }
    // The edit's own handle is opened by the edit.
    work = File();
    if (keeping && !kept && !LetGoOfHistory(doc, history)) {
        dialogs.ShowMessage("Cannot write the temporary file.");
        return EditEnd::Refused;
    }

    EditEnd end;
    if (kept) {
        log.Begin(history.PendingRewrite);
        bool journalFailed = false;
        ProgressStretch editing(processing, step.Pieces.empty() ? 0 : 50, 100);
        end = ApplyKept(doc, history, plan, step, journal, log, step.Pieces.empty() ? processing : editing, reloading,
                        dialogs, journalFailed);
        if (journalFailed) {
            // The journal failed once the edit was under way: what the edit
            // did is taken back, and it goes on without Undo.
            if (!TakeBackFailedEdit(doc, history, step, journal, ScalingFor, processing, reloading)) {
                history.Forget();
                history.State = history.NewState();
                doc.Modified = true;
                KeepManifest(doc, history);
                File file = File::Open(doc.WorkFile, File::Mode::Read);
                return FailRewrite(file, doc, reloading, dialogs);
            }
            dialogs.ShowMessage("The temporary folder could not keep this edit for Undo.");
            history.PendingWhat = PendingAction::None;
            if (!LetGoOfHistory(doc, history)) {
                dialogs.ShowMessage("Cannot write the temporary file.");
                KeepManifest(doc, history);
                return EditEnd::Refused;
            }
            kept = false;
            end = ApplyPlan(doc, plan, processing, reloading, dialogs);
        }
    } else {
        end = ApplyPlan(doc, plan, processing, reloading, dialogs);
    }
    if (step.Kept == KeptAs::WholeFile && kept)
        ++history.NextWholeFile;

    if (end == EditEnd::Refused || end == EditEnd::NotOpened) {
        // Nothing changed; the step is not kept.
        if (!step.WholeFileName.empty())
            RemoveFileIfExists(history.Folder() + step.WholeFileName);
        history.PendingWhat = PendingAction::None;
        if (end == EditEnd::NotOpened)
            doc.Modified = true;
        KeepManifest(doc, history);
        return end;
    }
    doc.Modified = true;
    if (end == EditEnd::Failed) {
        // The file is partly rewritten: no step describes it any more.
        history.Forget();
        history.State = history.NewState();
        KeepManifest(doc, history);
        return end;  // the markers were kept inside what the file now holds
    }
    if (const auto markersAfter = EditKindOf(request.Command).MarkersAfter)
        markersAfter(doc);

    if (!history.Keeping())
        return end;
    const std::uint64_t state = redo != nullptr ? redo->StateAfter : history.NewState();
    if (kept) {
        step.StateBefore = history.State;
        step.StateAfter = state;
        step.After = ShapeOf(doc);
        const std::uint64_t peakColumns = PeakColumnsFor(step.Before.ColumnCount, step.Before.FramesPerColumn);
        history.JournalUsed = std::max<std::uint64_t>(step.PeaksAt + 2ull * peakColumns * sizeof(std::int16_t),
                                       step.Remainders.JournalOffset + step.Remainders.JournalLength);
        history.Undo.push_back(std::move(step));
    }
    // A redo that went on without Undo has no redo steps left to take.
    if (redo != nullptr && !history.Redo.empty())
        history.Redo.pop_back();
    else
        history.Redo.clear();
    history.State = state;
    history.PendingWhat = PendingAction::None;
    doc.Modified = !history.AtSavedState() || doc.MetadataUnsaved;
    KeepManifest(doc, history);
    return end;
}

} // namespace

EditEnd RunEdit(Document& doc, EditHistory& history, const EditRequest& edit, Progress& processing,
                Progress& reloading, UserDialogs& dialogs)
{
    return RunKeptEdit(doc, history, edit, processing, reloading, dialogs, nullptr,
                       {doc.SelStartFrame, doc.SelFinishFrame});
}

EditEnd RedoEdit(Document& doc, EditHistory& history, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs)
{
    if (!history.CanRedo())
        return EditEnd::Refused;
    const RedoStep redo = history.Redo.back();
    const std::uint32_t selStart = doc.SelStartFrame;
    const std::uint32_t selFinish = doc.SelFinishFrame;
    SetMarkerFrames(doc, redo.SelStartFrame, redo.SelFinishFrame);
    const EditEnd end = RunKeptEdit(doc, history, redo.Edit, processing, reloading, dialogs, &redo, {selStart, selFinish});
    if (end == EditEnd::Refused || end == EditEnd::NotOpened) {
        // Nothing changed: the markers stay as they were.
        SetMarkerFrames(doc, selStart, selFinish);
    }
    return end;
}

EditEnd UndoEdit(Document& doc, EditHistory& history, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs)
{
    return UndoLastStep(doc, history, ScalingFor, processing, reloading, dialogs);
}

bool RecoverDocument(Document& doc, EditHistory& history, const Manifest& manifest, Progress& loading,
                     UserDialogs& dialogs)
{
    return velmora::RecoverDocument(doc, history, manifest, ScalingFor, loading, dialogs);
}

} // namespace velmora
