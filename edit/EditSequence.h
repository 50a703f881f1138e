#pragma once

#include "history/EditBody.h"
#include "history/EditHistory.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;
struct Manifest;

// One edit's document side, the same for every front end: the body runs
// (processing shows the rewrite, reloading the rescan), then the document
// follows it.  The document is marked modified, also when the working file
// could not be opened; Delete leaves the markers framing the column at the
// joint and Cut Out puts them on the whole new file.  An edit its body
// refused (Cut Out of an empty selection) changes nothing at all; one whose
// rewrite failed part way counts as a change, with the markers as the
// failure left them.
//
// Stopping playback and re-creating the stream, the progress dialog and
// the view are the front end's.
//
// Where the document keeps a history (an open document with a private
// folder), what the edit destroys goes to the journal first, and the
// manifest says the edit is under way before it changes a byte; the edit
// notes every block it writes, so that a kill anywhere can be taken back
// exactly, and it becomes the one to undo.  No room for the journal asks
// whether to go on without Undo (No refuses the edit).
EditEnd RunEdit(Document& doc, EditHistory& history, const EditRequest& edit, Progress& processing,
                Progress& reloading, UserDialogs& dialogs);

// Undo: the last edit taken back, byte for byte, with the markers and the
// peaks it found.  Refused when there is nothing to undo.
EditEnd UndoEdit(Document& doc, EditHistory& history, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs);

// Redo: the last undone edit again, between the markers (frames) it had,
// at any zoom.  Refused when there is nothing to redo; a new edit leaves
// nothing to redo.
EditEnd RedoEdit(Document& doc, EditHistory& history, Progress& processing, Progress& reloading,
                 UserDialogs& dialogs);

// A killed program's document taken up again (history/Recovery.h), its
// steps' scalings from the edits' table.
bool RecoverDocument(Document& doc, EditHistory& history, const Manifest& manifest, Progress& loading,
                     UserDialogs& dialogs);

} // namespace velmora
