#pragma once

#include "EditBody.h"

#include "document/EditHistory.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

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
EditEnd RunEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs);

// Undo: the last edit taken back, byte for byte, with the markers and the
// peaks it found.  Refused when there is nothing to undo.
EditEnd UndoEdit(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);

// Redo: the last undone edit again, between the markers (frames) it had,
// at any zoom.  Refused when there is nothing to redo; a new edit leaves
// nothing to redo.
EditEnd RedoEdit(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);

// The step the history says was under way when the program was killed:
// an edit (or redo) taken back as far as it got, an undo finished.  The
// working file then holds, byte for byte, the state before the edit or
// after the undo, the markers are that state's, and the history says so
// (in its manifest too).  doc needs its working file, sample format, zoom
// and history; its shape is for the loading step to read afterwards.
// False when the working file, the journal or a log could not be read or
// written; nothing is settled then.
bool SettlePendingStep(Document& doc, Progress& processing);

} // namespace velmora
