#include "EditSequence.h"

#include "DeleteCutOut.h"
#include "EditJournal.h"
#include "Fades.h"
#include "RemainderJournal.h"
#include "VolumeChange.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/UserDialogs.h"

#include <memory>

namespace velmora {

namespace {

EditEnd RunBody(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs, const JournalWriters& writers)
{
    WriteGate* gate = writers.Copier.get();
    RemainderWriter* remainders = writers.Remainders.get();
    if (!writers.WholeFileBefore.empty())
        return RunCutIntoNewFile(doc, edit.Command, writers.WholeFileBefore, processing, reloading, dialogs);
    switch (edit.Command) {
    case EditCommand::Delete: return RunDeleteBody(doc, processing, reloading, dialogs, gate);
    case EditCommand::CutOut: return RunCutOutBody(doc, processing, reloading, dialogs, gate);
    case EditCommand::Volume:
        return RunVolumeBody(doc, edit.Gain, edit.Mute, processing, reloading, dialogs, gate, remainders);
    case EditCommand::FadeIn: return RunFadeInBody(doc, processing, reloading, dialogs, remainders);
    case EditCommand::FadeOut: return RunFadeOutBody(doc, processing, reloading, dialogs, remainders);
    }
    return EditEnd::Refused;
}

// The edit, kept for Undo first where the document keeps a history.  A
// redo brings back the state it undid.
EditEnd RunKeptEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                    UserDialogs& dialogs, const RedoStep* redo)
{
    EditHistory& history = doc.History;
    UndoStep step;
    Kept kept = Kept::NotKept;
    // Cut Out of an empty selection is refused before it touches anything.
    const bool refusedAnyway = edit.Command == EditCommand::CutOut && doc.SelStart == doc.SelFinish;
    JournalWriters writers;
    if (history.Keeping() && !refusedAnyway) {
        // The edit's own handle; the copier and the body work through
        // duplicates of it.  Unopened, the body says so itself.
        File work = File::Open(doc.WorkFile, File::Mode::ReadWrite);
        if (work) {
            kept = KeepForUndo(doc, edit, work, dialogs, step, writers);
            if (kept == Kept::CalledOff)
                return EditEnd::Refused;
        }
    }
    const EditEnd end = RunBody(doc, edit, processing, reloading, dialogs, writers);
    const bool journalFailed = (writers.Copier && !writers.Copier->Finish()) ||
                               (writers.Remainders && !writers.Remainders->Finish()) ||
                               (end == EditEnd::Done && !writers.WholeFileBefore.empty() &&
                                !FileExists(writers.WholeFileBefore));
    if (journalFailed && end != EditEnd::Refused) {
        // The journal failed once the edit was under way: it went on.
        kept = Kept::NotKept;
        dialogs.ShowMessage("The temporary folder could not keep this edit for Undo.");
    }
    if (writers.Remainders)
        step.Remainders.JournalLength = writers.Remainders->Length();
    if (!writers.WholeFileBefore.empty())
        ++history.NextWholeFile;
    writers = {};
    if (end == EditEnd::Refused)
        return end;
    doc.Modified = true;
    if (end == EditEnd::NotOpened)
        return end;
    if (end == EditEnd::Failed) {
        // The file is partly rewritten: no step describes it any more.
        history.Forget();
        history.State = history.NewState();
        return end;  // the markers were kept inside what the file now holds
    }
    if (edit.Command == EditCommand::Delete)
        SetMarkersAfterDelete(doc);
    else if (edit.Command == EditCommand::CutOut)
        SetMarkersAfterCutOut(doc);

    if (!history.Keeping())
        return end;
    const std::uint64_t state = redo != nullptr ? redo->StateAfter : history.NewState();
    if (kept == Kept::Yes) {
        step.StateBefore = history.State;
        step.StateAfter = state;
        history.JournalUsed = JournalEndOf(step);
        history.Undo.push_back(std::move(step));
    } else {
        history.Forget();  // the older steps cannot reach back past this edit
    }
    if (redo == nullptr)
        history.Redo.clear();
    history.State = state;
    doc.Modified = !history.AtSavedState();
    return end;
}

} // namespace

EditEnd RunEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs)
{
    return RunKeptEdit(doc, edit, processing, reloading, dialogs, nullptr);
}

EditEnd RedoEdit(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs)
{
    EditHistory& history = doc.History;
    if (!history.CanRedo())
        return EditEnd::Refused;
    const RedoStep redo = history.Redo.back();
    history.Redo.pop_back();
    const std::uint32_t selStart = doc.SelStart;
    const std::uint32_t selFinish = doc.SelFinish;
    doc.SelStart = redo.SelStart;
    doc.SelFinish = redo.SelFinish;
    const EditEnd end = RunKeptEdit(doc, redo.Edit, processing, reloading, dialogs, &redo);
    if (end == EditEnd::Refused || end == EditEnd::NotOpened) {
        // Nothing changed: the markers and the step stay as they were.
        doc.SelStart = selStart;
        doc.SelFinish = selFinish;
        history.Redo.push_back(redo);
    }
    return end;
}

} // namespace velmora
