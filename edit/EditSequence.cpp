#include "EditSequence.h"

#include "ApplyPlan.h"
#include "DeleteCutOut.h"
#include "EditKinds.h"
#include "EditPlan.h"
#include "EditRange.h"
#include "KeptStep.h"
#include "RewriteLog.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "document/RecoveryManifest.h"
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

// The journal, opened for the history.  Never cut to nothing and written
// again: ext4 then pushes the whole journal to the disk when it is closed,
// which costs more than the edit.
File OpenJournal(const EditHistory& history)
{
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    if (!journal)
        journal = File::Open(history.JournalPath, File::Mode::CreateNew);
    return journal;
}

bool ReadPeaks(File& journal, const UndoStep& step, Document& doc)
{
    const std::uint32_t columns = PeakColumnsFor(step.Before.ColumnCount, step.Before.FramesPerColumn);
    std::vector<std::int16_t> upper(columns), lower(columns);
    const std::size_t bytes = columns * sizeof(std::int16_t);
    if (journal.ReadAt(step.PeaksAt, upper.data(), bytes) != bytes ||
        journal.ReadAt(step.PeaksAt + bytes, lower.data(), bytes) != bytes)
        return false;
    doc.PeakUpper = std::move(upper);
    doc.PeakLower = std::move(lower);
    return true;
}

// The document after an edit's step was taken back (the working file
// already is as before it): its shape, markers and peaks as they were -
// the peaks from the journal, or rescanned when the zoom changed since.
void FollowTakeBack(Document& doc, const UndoStep& step, File& work, File& journal, Progress& reloading)
{
    SetPayload(doc, step.Before.DataOffset, step.Before.DataSize, step.Before.DurationSeconds);
    SetMarkerFrames(doc, step.Before.SelStartFrame, step.Before.SelFinishFrame);
    if (doc.FramesPerColumn == step.Before.FramesPerColumn && ReadPeaks(journal, step, doc)) {
        ProgressMeter(reloading).Report(100);
        return;
    }
    doc.PeakUpper.assign(PeakColumns(doc), 0);
    doc.PeakLower.assign(PeakColumns(doc), 0);
    ScanColumnPeaks(work, doc, doc.PeakUpper, doc.PeakLower, reloading);
}

// An edit cut off by a failing journal: taken back, the document as it
// was.  False when that failed too.
bool TakeBackFailedEdit(Document& doc, const UndoStep& step, File& journal, Progress& processing,
                        Progress& reloading)
{
    EditHistory& history = doc.History;
    File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    RewriteLog editLog = RewriteLog::Open(history.Folder() + EditLogName);
    RewriteLog undoLog = RewriteLog::Open(history.Folder() + TakeBackLogName);
    const StepReach reach{false, editLog.Last(history.PendingRewrite)};
    if (!work || !TakeBack(doc, step, reach, work, journal, undoLog, history.PendingRewrite, processing))
        return false;
    FollowTakeBack(doc, step, work, journal, reloading);
    return true;
}

// Gives up the history for an edit that goes on without Undo: the steps
// before it cannot reach back past it.  The manifest must say so before
// the edit changes a byte - a start after a kill would otherwise take back
// steps the file no longer holds - so when it cannot be written nothing
// is given up and false returned.
bool LetGoOfHistory(Document& doc)
{
    EditHistory& history = doc.History;
    EditHistory before = history;
    history.Forget();
    history.PendingWhat = PendingAction::UnkeptEdit;
    if (KeepManifest(doc))
        return true;
    history = std::move(before);
    history.PendingWhat = PendingAction::None;
    return false;
}

// The edit, kept for Undo first where the document keeps a history.  A
// redo brings back the state it undid; markersBefore are the markers (frames) the
// document had before the command (a redo puts its own in place).
EditEnd RunKeptEdit(Document& doc, const EditRequest& request, Progress& processing, Progress& reloading,
                    UserDialogs& dialogs, const RedoStep* redo, std::pair<std::uint32_t, std::uint32_t> markersBefore)
{
    EditHistory& history = doc.History;
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
        const bool planned = PlanKeeping(doc, plan, work.Size(), RoomInFolder(history.Folder()), step);
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
            kept = KeepManifest(doc);
        }
        if (!kept) {
            history.PendingWhat = PendingAction::None;
            if (!AskToGoOnWithoutUndo(dialogs)) {
                KeepManifest(doc);
                return EditEnd::Refused;
            }
        }
    }
    // The edit's own handle is opened by the edit.
    work = File();
    if (keeping && !kept && !LetGoOfHistory(doc)) {
        dialogs.ShowMessage("Cannot write the temporary file.");
        return EditEnd::Refused;
    }

    EditEnd end;
    if (kept) {
        log.Begin(history.PendingRewrite);
        bool journalFailed = false;
        ProgressStretch editing(processing, step.Pieces.empty() ? 0 : 50, 100);
        end = ApplyKept(doc, plan, step, journal, log, step.Pieces.empty() ? processing : editing, reloading,
                        dialogs, journalFailed);
        if (journalFailed) {
            // The journal failed once the edit was under way: what the edit
            // did is taken back, and it goes on without Undo.
            if (!TakeBackFailedEdit(doc, step, journal, processing, reloading)) {
                history.Forget();
                history.State = history.NewState();
                doc.Modified = true;
                KeepManifest(doc);
                File file = File::Open(doc.WorkFile, File::Mode::Read);
                return FailRewrite(file, doc, reloading, dialogs);
            }
            dialogs.ShowMessage("The temporary folder could not keep this edit for Undo.");
            history.PendingWhat = PendingAction::None;
            if (!LetGoOfHistory(doc)) {
                dialogs.ShowMessage("Cannot write the temporary file.");
                KeepManifest(doc);
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
        KeepManifest(doc);
        return end;
    }
    doc.Modified = true;
    if (end == EditEnd::Failed) {
        // The file is partly rewritten: no step describes it any more.
        history.Forget();
        history.State = history.NewState();
        KeepManifest(doc);
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
    KeepManifest(doc);
    return end;
}

} // namespace

EditEnd RunEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs)
{
    return RunKeptEdit(doc, edit, processing, reloading, dialogs, nullptr, {doc.SelStartFrame, doc.SelFinishFrame});
}

EditEnd RedoEdit(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    EditHistory& history = doc.History;
    if (!history.CanRedo())
        return EditEnd::Refused;
    const RedoStep redo = history.Redo.back();
    const std::uint32_t selStart = doc.SelStartFrame;
    const std::uint32_t selFinish = doc.SelFinishFrame;
    SetMarkerFrames(doc, redo.SelStartFrame, redo.SelFinishFrame);
    const EditEnd end = RunKeptEdit(doc, redo.Edit, processing, reloading, dialogs, &redo, {selStart, selFinish});
    if (end == EditEnd::Refused || end == EditEnd::NotOpened) {
        // Nothing changed: the markers stay as they were.
        SetMarkerFrames(doc, selStart, selFinish);
    }
    return end;
}

namespace {

// The history after the last undo step was taken back.
void FinishUndo(Document& doc, File& journal)
{
    EditHistory& history = doc.History;
    const UndoStep step = history.Undo.back();
    history.Undo.pop_back();
    history.JournalUsed = step.JournalStart;
    history.Redo.push_back({step.Edit, step.Before.SelStartFrame, step.Before.SelFinishFrame, step.StateAfter});
    history.State = step.StateBefore;
    history.PendingWhat = PendingAction::None;
    doc.Modified = !history.AtSavedState() || doc.MetadataUnsaved;
    // Gives room back; the bytes past JournalUsed are never read, so a
    // journal that cannot be shortened only stays longer: the undo itself
    // is complete.  Not before the manifest stops saying the undo is under
    // way: a start after a kill would finish it again from the journal.
    if (KeepManifest(doc) && step.JournalStart > 0 && journal && !journal.Truncate(step.JournalStart)) {
        // Nothing to undo or show: the next step writes over the rest.
    }
}

} // namespace

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
    File work = OpenForRewrite(doc, dialogs);
    if (!work)
        return EditEnd::NotOpened;
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    RewriteLog log = RewriteLog::Open(history.Folder() + TakeBackLogName);
    if (!journal || !log) {
        // Nothing was touched: the history stays for another try.
        dialogs.ShowMessage("Cannot open the temporary file.");
        return EditEnd::NotOpened;
    }
    history.PendingWhat = PendingAction::Undo;
    history.PendingRewrite = history.NextRewrite++;
    if (!KeepManifest(doc)) {
        // Undone without the manifest saying so, a kill part way would
        // leave a document nobody can tell apart from the edited one.
        history.PendingWhat = PendingAction::None;
        dialogs.ShowMessage("Cannot write the temporary file.");
        return EditEnd::Refused;
    }
    bool putBack = TakeBack(doc, step, StepReach{}, work, journal, log, history.PendingRewrite, processing);
    if (putBack && step.Kept == KeptAs::WholeFile) {
        // The old working file took its name back: the rescan reads it.
        work = OpenForRewrite(doc, dialogs);
        putBack = static_cast<bool>(work);
    }
    ProgressMeter(processing).Report(100);
    if (!putBack) {
        history.Forget();
        history.State = history.NewState();
        doc.Modified = true;
        KeepManifest(doc);
        return FailRewrite(work, doc, reloading, dialogs);
    }
    FollowTakeBack(doc, step, work, journal, reloading);
    FinishUndo(doc, journal);
    return EditEnd::Done;
}

bool SettlePendingStep(Document& doc, Progress& processing)
{
    EditHistory& history = doc.History;
    const bool edit = history.PendingWhat == PendingAction::Edit;
    if (!edit && (history.PendingWhat != PendingAction::Undo || history.Undo.empty())) {
        history.PendingWhat = PendingAction::None;
        return true;
    }
    const UndoStep step = edit ? history.Pending : history.Undo.back();
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    RewriteLog undoLog = RewriteLog::Open(history.Folder() + TakeBackLogName);
    // A cut into a new file may have left no working file for a moment:
    // taking it back gives the old one its name again.
    File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    if (!journal || !undoLog || (!work && step.Kept != KeptAs::WholeFile))
        return false;
    if (edit) {
        // Taken back as far as the edit got; a redo it was is still to do.
        RewriteLog editLog = RewriteLog::Open(history.Folder() + EditLogName);
        const StepReach reach{false, editLog.Last(history.PendingRewrite)};
        if (!editLog || !TakeBack(doc, step, reach, work, journal, undoLog, history.PendingRewrite, processing))
            return false;
        // (Clamped to the audio once the working file is loaded.)
        doc.SelStartFrame = history.PendingSelStart;
        doc.SelFinishFrame = history.PendingSelFinish;
        if (!step.WholeFileName.empty())
            RemoveFileIfExists(history.Folder() + step.WholeFileName);
        history.PendingWhat = PendingAction::None;
        return KeepManifest(doc);
    }
    if (!TakeBack(doc, step, StepReach{}, work, journal, undoLog, history.PendingRewrite, processing))
        return false;
    // The markers as the undo leaves them: the step's.
    doc.SelStartFrame = step.Before.SelStartFrame;
    doc.SelFinishFrame = step.Before.SelFinishFrame;
    FinishUndo(doc, journal);
    return true;
}

} // namespace velmora
