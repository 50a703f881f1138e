#include "EditSequence.h"

#include "EditKinds.h"

#include "history/ApplyPlan.h"
#include "history/EditPlan.h"
#include "history/EditRange.h"
#include "history/EditSteps.h"
#include "history/Keeping.h"
#include "history/Recovery.h"
#include "history/RewriteLog.h"
#include "history/RunHooks.h"
#include "history/StepTransaction.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <filesystem>
#include <memory>
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

// What keeps an edit for Undo: the step, the journal that took it and the
// log the edit notes its blocks in.
struct KeptEdit {
    bool Asked = false;     // the history keeps steps and the working file opened
    bool Recorded = false;  // the step is in the journal
    UndoStep Step;
    File Journal;
    RewriteLog Log;
};

// Chooses how the edit is kept and writes that to the journal, before the
// working file changes (the record takes the first half of the bar when
// it copies).  Unopened, the edit says so itself and changes nothing.
KeptEdit RecordEdit(const Document& doc, const EditHistory& history, const EditPlan& plan, Progress& processing)
{
    KeptEdit kept;
    File work = history.Keeping() ? File::Open(doc.WorkFile, File::Mode::ReadWrite) : File();
    kept.Asked = static_cast<bool>(work);
    if (!kept.Asked || !ChooseKeeping(doc, history, plan, work.Size(), RoomInFolder(history.Folder()), kept.Step))
        return kept;
    ProgressStretch recording(processing, 0, 50);
    kept.Journal = OpenJournal(history);
    kept.Log = RewriteLog::Open(history.Folder() + EditLogName);
    kept.Recorded = kept.Log && KeepingOf(kept.Step.Kept).Record(doc, work, kept.Journal, kept.Step, recording);
    return kept;
}

// Runs the plan as its step keeps it.  A journal that fails part way
// stops the run: what the edit did is taken back, and it goes on without
// Undo (kept.Recorded turns false).
EditEnd ApplyKeptEdit(Document& doc, EditHistory& history, StepTransaction& transaction, const EditPlan& plan,
                      KeptEdit& kept, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    UndoStep& step = kept.Step;
    const std::unique_ptr<RunHooks> hooks = KeepingOf(step.Kept).Hooks(history, step, kept.Journal, kept.Log);
    ProgressStretch editing(processing, step.Pieces.empty() ? 0 : 50, 100);
    const bool begun = kept.Log.Begin(transaction.Rewrite());
    const EditEnd end =
        begun ? ApplyPlan(doc, plan, *hooks, step.Pieces.empty() ? processing : editing, reloading, dialogs)
              : EditEnd::Failed;
    if (begun && !hooks->KeepingFailed())
        return end;
    if (!TakeBackFailedEdit(doc, history, step, kept.Journal, kept.Log, ScalingFor, processing, reloading)) {
        transaction.Abandon();
        File file = File::Open(doc.WorkFile, File::Mode::Read);
        return FailRewrite(file, doc, reloading, dialogs);
    }
    dialogs.ShowMessage("The temporary folder could not keep this edit for Undo.");
    kept.Recorded = false;
    if (!transaction.BeginWithoutUndo()) {
        dialogs.ShowMessage("Cannot write the temporary file.");
        transaction.Rollback();
        return EditEnd::Refused;
    }
    return ApplyPlan(doc, plan, processing, reloading, dialogs);
}

// An edit: planned, kept for Undo where the document keeps a history
// (asking to go on without it when it cannot be), run, and committed to
// the history.  A redo brings back the state it undid; markersBefore are
// the markers (frames) the document had before the command (a redo puts
// its own in place).
EditEnd RunKeptEdit(Document& doc, EditHistory& history, const EditRequest& request, Progress& processing,
                    Progress& reloading, UserDialogs& dialogs, const RedoStep* redo,
                    std::pair<std::uint32_t, std::uint32_t> markersBefore)
{
    const EditPlan plan = PlanEdit(doc, request);
    // Cut Out of an empty selection is refused before it touches anything.
    if (EditKindOf(request.Command).RefusesEmptyRange && plan.What == EditPlan::Kind::Cut && plan.Range.Frames == 0)
        return ApplyPlan(doc, plan, processing, reloading, dialogs);

    StepTransaction transaction(doc, history);
    KeptEdit kept = RecordEdit(doc, history, plan, processing);
    kept.Recorded = kept.Recorded && transaction.BeginEdit(kept.Step, markersBefore, kept.Journal);
    if (kept.Asked && !kept.Recorded) {
        if (!AskToGoOnWithoutUndo(dialogs)) {
            transaction.Rollback();
            return EditEnd::Refused;
        }
        if (!transaction.BeginWithoutUndo()) {
            dialogs.ShowMessage("Cannot write the temporary file.");
            return EditEnd::Refused;
        }
    }
    const EditEnd end = kept.Recorded
                            ? ApplyKeptEdit(doc, history, transaction, plan, kept, processing, reloading, dialogs)
                            : ApplyPlan(doc, plan, processing, reloading, dialogs);

    if (end == EditEnd::Refused || end == EditEnd::NotOpened) {
        // Nothing changed; the step is not kept.
        if (end == EditEnd::NotOpened)
            doc.Modified = true;
        transaction.Rollback();
        return end;
    }
    doc.Modified = true;
    if (end == EditEnd::Failed) {
        // The file is partly rewritten: no step describes it any more.
        transaction.Abandon();
        return end;  // the markers were kept inside what the file now holds
    }
    if (const auto markersAfter = EditKindOf(request.Command).MarkersAfter)
        markersAfter(doc);
    if (history.Keeping())
        transaction.CommitEdit(kept.Recorded ? &kept.Step : nullptr, redo);
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
