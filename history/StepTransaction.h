#pragma once

#include "EditHistory.h"

#include <cstdint>
#include <utility>

namespace velmora {

class File;
struct Document;

// One step of the history - an edit, an undo, settling what a kill cut
// off - as a transaction over the private folder's manifest.  Begun, the
// manifest says what is under way before the working file changes, so
// that a start after a kill takes it back or finishes it; committed, it
// says what the step ended with; rolled back, that nothing changed.  This
// is the only writer of the manifest: everything else tells it of the
// document through NoteDocument.
//
// A transaction begun and left without an ending (an exception, say)
// leaves the manifest saying what the history then says: the step stays
// under way, for recovery to settle.  A begin that fails ends it.
class StepTransaction {
public:
    StepTransaction(Document& doc, EditHistory& history);
    ~StepTransaction();
    StepTransaction(const StepTransaction&) = delete;
    StepTransaction& operator=(const StepTransaction&) = delete;

    // An edit (or a redo) kept as step, in journal, is under way;
    // markersBefore (frames) are the markers before the command, which
    // taking it back puts back.  The journal goes to the disk first.  False
    // when it could not, or the manifest could not say so: nothing is under
    // way then.
    bool BeginEdit(const UndoStep& step, std::pair<std::uint32_t, std::uint32_t> markersBefore, File& journal);
    // The last undo step is being taken back.  False as for BeginEdit.
    bool BeginUndo();
    // An edit goes on without Undo: the steps before it cannot reach back
    // past it, so the history gives them up - said in the manifest before
    // the edit changes a byte.  False when it could not be written: the
    // history is then as it was.
    bool BeginWithoutUndo();

    // The number the rewrite logs follow for the step under way.
    std::uint64_t Rewrite() const { return history_.PendingRewrite; }

    // An edit ended as doc now says: its step (when kept) goes on the undo
    // stack, the redo stack is cleared (or loses redo, the redo just
    // done), the history takes the edit's state.  The manifest says so.
    bool CommitEdit(UndoStep* kept, const RedoStep* redo);
    // The last undo step was taken back (the document already follows):
    // it becomes the next step to redo, and the journal gives its bytes
    // back once the manifest no longer needs them.
    bool CommitUndo(File& journal, File* work);
    // What was under way was settled as doc and history now say.  The
    // working file goes to the disk before the manifest says so, through
    // work when the step still holds it (CommitUndo's work likewise).
    // These and the two below are false when either could not be written.
    bool Commit(File* work = nullptr);
    // The step changed nothing: nothing is under way, and what it set
    // aside (a whole old file) goes.
    bool Rollback(File* work = nullptr);
    // The working file was rewritten part way and no step describes it:
    // the history is given up, the document a new, unsaved state.
    bool Abandon(File* work = nullptr);

private:
    void Restart();
    bool Write();

    Document& doc_;
    EditHistory& history_;
    bool begun_ = false;
    bool ended_ = false;
};

// Tells the private folder's manifest (and tags record) what doc and
// history now say, when they changed outside a step: markers, zoom, tags,
// an open, a save, a close.  False when it could not be written (the one
// before stays).
bool NoteDocument(Document& doc, EditHistory& history);

} // namespace velmora
