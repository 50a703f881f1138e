#include "StepTransaction.h"

#include "Manifest.h"
#include "TagsRecord.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"

namespace velmora {

namespace {

// The manifest of doc's private folder as doc and history say: written
// whole under another name and renamed over the old one, so that a reader
// never sees half of it, and only when it changed.  Removed while no
// document is open.  The whole files of steps given up go once it no
// longer names them.  False when it could not be written (the one before
// stays).
bool WriteManifest(Document& doc, EditHistory& history)
{
    if (!history.Keeping())
        return true;
    if (!KeepTagsRecord(doc))
        return false;
    const std::string path = history.Folder() + ManifestName;
    if (!doc.DocumentOpen) {
        if (!history.ManifestWritten.empty())
            RemoveFileIfExists(path);
        history.ManifestWritten.clear();
        return true;
    }
    std::string text = ManifestText(ManifestOf(doc, history));
    if (text != history.ManifestWritten) {
        if (!ReplaceFileContent(path, text))
            return false;
        history.ManifestWritten = std::move(text);
    }
    for (const std::string& name : history.Discarded)
        RemoveFileIfExists(history.Folder() + name);
    history.Discarded.clear();
    return true;
}

} // namespace

StepTransaction::StepTransaction(Document& doc, EditHistory& history) : doc_(doc), history_(history)
{
}

StepTransaction::~StepTransaction()
{
    if (begun_ && !ended_)
        Write();
}

void StepTransaction::Restart()
{
    begun_ = true;
    ended_ = false;
}

bool StepTransaction::Write()
{
    return WriteManifest(doc_, history_);
}

bool StepTransaction::BeginEdit(const UndoStep& step, std::pair<std::uint32_t, std::uint32_t> markersBefore,
                                File& journal)
{
    Restart();
    // What the step keeps is on the disk before the manifest says it is
    // under way (which puts the new files' names there too).
    if (!journal.SyncData()) {
        ended_ = true;
        return false;
    }
    history_.PendingWhat = PendingAction::Edit;
    history_.Pending = step;
    history_.PendingSelStart = markersBefore.first;
    history_.PendingSelFinish = markersBefore.second;
    history_.PendingRewrite = history_.NextRewrite++;
    if (Write())
        return true;
    history_.PendingWhat = PendingAction::None;
    ended_ = true;
    return false;
}

bool StepTransaction::BeginUndo()
{
    Restart();
    history_.PendingWhat = PendingAction::Undo;
    history_.PendingRewrite = history_.NextRewrite++;
    if (Write())
        return true;
    // Undone without the manifest saying so, a kill part way would leave
    // a document nobody can tell apart from the edited one.
    history_.PendingWhat = PendingAction::None;
    ended_ = true;
    return false;
}

bool StepTransaction::BeginWithoutUndo()
{
    Restart();
    EditHistory before = history_;
    before.PendingWhat = PendingAction::None;
    history_.Forget();
    history_.PendingWhat = PendingAction::UnkeptEdit;
    // A start after a kill would otherwise take back steps the file no
    // longer holds.
    if (Write())
        return true;
    history_ = std::move(before);
    ended_ = true;
    return false;
}

bool StepTransaction::CommitEdit(UndoStep* kept, const RedoStep* redo)
{
    const std::uint64_t state = redo != nullptr ? redo->StateAfter : history_.NewState();
    if (kept != nullptr) {
        UndoStep& step = *kept;
        step.StateBefore = history_.State;
        step.StateAfter = state;
        step.After = ShapeOf(doc_);
        const std::uint64_t peakColumns = PeakColumnsFor(step.Before.ColumnCount, step.Before.FramesPerColumn);
        history_.JournalUsed = std::max<std::uint64_t>(step.PeaksAt + 2ull * peakColumns * sizeof(std::int16_t),
                                                       step.Remainders.JournalOffset + step.Remainders.JournalLength);
        if (!step.WholeFileName.empty())
            ++history_.NextWholeFile;
        history_.Undo.push_back(std::move(step));
    }
    // A redo that went on without Undo has no redo steps left to take.
    if (redo != nullptr && !history_.Redo.empty())
        history_.Redo.pop_back();
    else
        history_.Redo.clear();
    history_.State = state;
    doc_.Modified = !history_.AtSavedState() || doc_.MetadataUnsaved;
    return Commit();
}

bool StepTransaction::CommitUndo(File& journal, File* work)
{
    const UndoStep step = history_.Undo.back();
    history_.Undo.pop_back();
    history_.JournalUsed = step.JournalStart;
    history_.Redo.push_back({step.Edit, step.Before.SelStartFrame, step.Before.SelFinishFrame, step.StateAfter});
    history_.State = step.StateBefore;
    doc_.Modified = !history_.AtSavedState() || doc_.MetadataUnsaved;
    // Gives room back; the bytes past JournalUsed are never read, so a
    // journal that cannot be shortened only stays longer: the undo itself
    // is complete.  Not before the manifest stops saying the undo is under
    // way: a start after a kill would finish it again from the journal.
    if (!Commit(work))
        return false;
    if (step.JournalStart > 0 && journal && !journal.Truncate(step.JournalStart)) {
        // Nothing to undo or show: the next step writes over the rest.
    }
    return true;
}

bool StepTransaction::Commit(File* work)
{
    // What the step wrote is on the disk before the manifest says it is
    // done: a power cut after it must find the file the manifest names.
    // Through the step's own handle where it still holds the file (it
    // holds it alone), else through one of this.
    bool synced = true;
    if (history_.Keeping() && doc_.DocumentOpen) {
        if (work != nullptr && *work) {
            synced = work->SyncData();
        } else if (FileExists(doc_.WorkFile)) {
            File own = File::Open(doc_.WorkFile, File::Mode::Read);
            synced = own && own.SyncData();
        }
    }
    history_.PendingWhat = PendingAction::None;
    ended_ = true;
    return Write() && synced;
}

bool StepTransaction::Rollback(File* work)
{
    if (history_.PendingWhat == PendingAction::Edit && !history_.Pending.WholeFileName.empty())
        RemoveFileIfExists(history_.Folder() + history_.Pending.WholeFileName);
    return Commit(work);
}

bool StepTransaction::Abandon(File* work)
{
    history_.Forget();
    history_.State = history_.NewState();
    doc_.Modified = true;
    return Commit(work);
}

bool NoteDocument(Document& doc, EditHistory& history)
{
    return WriteManifest(doc, history);
}

} // namespace velmora
