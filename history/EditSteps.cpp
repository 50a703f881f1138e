#include "EditSteps.h"

#include "Keeping.h"
#include "RewriteLog.h"
#include "StepTransaction.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

namespace velmora {

namespace {

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

} // namespace

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
bool TakeBackFailedEdit(Document& doc, EditHistory& history, const UndoStep& step, File& journal,
                        RewriteLog& editLog, ScalingSource scalings, Progress& processing, Progress& reloading)
{
    File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    RewriteLog undoLog = RewriteLog::Open(history.Folder() + TakeBackLogName);
    const StepReach reach{false, editLog.Last(history.PendingRewrite)};
    if (!work || !TakeBack(doc, history, step, reach, work, journal, undoLog, history.PendingRewrite, scalings, processing))
        return false;
    FollowTakeBack(doc, step, work, journal, reloading);
    return true;
}

// Puts the last edit's bytes back in place (processing), restores the
// document, the markers and the peaks (reloading; rescanned when the zoom
// changed since), and makes the edit the next one to redo.  A failure part
// way is shown, the document describes the file as it then is, and the
// history is given up.
EditEnd UndoLastStep(Document& doc, EditHistory& history, ScalingSource scalings, Progress& processing,
                     Progress& reloading, UserDialogs& dialogs)
{
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
    StepTransaction transaction(doc, history);
    if (!transaction.BeginUndo()) {
        dialogs.ShowMessage("Cannot write the temporary file.");
        return EditEnd::Refused;
    }
    bool putBack = TakeBack(doc, history, step, StepReach{}, work, journal, log, transaction.Rewrite(), scalings,
                            processing);
    if (putBack && KeepingOf(step.Kept).MovesTheWorkFile()) {
        // The old working file took its name back: the rescan reads it.
        work = OpenForRewrite(doc, dialogs);
        putBack = static_cast<bool>(work);
    }
    ProgressMeter(processing).Report(100);
    if (!putBack) {
        transaction.Abandon(&work);
        return FailRewrite(work, doc, reloading, dialogs);
    }
    FollowTakeBack(doc, step, work, journal, reloading);
    transaction.CommitUndo(journal, &work);
    return EditEnd::Done;
}

bool SettlePendingStep(Document& doc, EditHistory& history, ScalingSource scalings, Progress& processing)
{
    const bool edit = history.PendingWhat == PendingAction::Edit;
    if (!edit && (history.PendingWhat != PendingAction::Undo || history.Undo.empty())) {
        history.PendingWhat = PendingAction::None;
        return true;
    }
    const UndoStep step = edit ? history.Pending : history.Undo.back();
    StepTransaction transaction(doc, history);
    File journal = File::Open(history.JournalPath, File::Mode::ReadWrite);
    RewriteLog undoLog = RewriteLog::Open(history.Folder() + TakeBackLogName);
    // A cut into a new file may have left no working file for a moment:
    // taking it back gives the old one its name again.
    File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    const bool moves = KeepingOf(step.Kept).MovesTheWorkFile();
    if (!journal || !undoLog || (!work && !moves))
        return false;
    // A take-back that gives the name back to another file leaves this
    // handle on a file no longer named: let go, the commit opens the one
    // that is.
    auto held = [&]() -> File* {
        if (moves)
            work = File();
        return &work;
    };
    if (edit) {
        // Taken back as far as the edit got; a redo it was is still to do.
        RewriteLog editLog = RewriteLog::Open(history.Folder() + EditLogName);
        const StepReach reach{false, editLog.Last(history.PendingRewrite)};
        if (!editLog || !TakeBack(doc, history, step, reach, work, journal, undoLog, history.PendingRewrite, scalings, processing))
            return false;
        // (Clamped to the audio once the working file is loaded.)
        doc.SelStartFrame = history.PendingSelStart;
        doc.SelFinishFrame = history.PendingSelFinish;
        return transaction.Rollback(held());  // what it set aside goes too
    }
    if (!TakeBack(doc, history, step, StepReach{}, work, journal, undoLog, history.PendingRewrite, scalings, processing))
        return false;
    // The markers as the undo leaves them: the step's.
    doc.SelStartFrame = step.Before.SelStartFrame;
    doc.SelFinishFrame = step.Before.SelFinishFrame;
    transaction.CommitUndo(journal, held());
    return true;
}

} // namespace velmora
