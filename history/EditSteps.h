#pragma once

#include "EditBody.h"
#include "EditHistory.h"
#include "EditPlan.h"

namespace velmora {

class File;
class Progress;
class RewriteLog;
class UserDialogs;
struct Document;

// The steps of the history that edits, undos and recovery are made of: the
// journal opened, the document after a step was taken back, a failed edit
// taken back, the history let go of, an undo, and the step a kill cut off
// settled.  scalings gives back the scaling of a step kept as remainders.

// The journal, opened for the history (made when it is not there).
File OpenJournal(const EditHistory& history);

// The document after an edit's step was taken back (the working file
// already is as before it): its shape, markers and peaks as they were -
// the peaks from the journal, or rescanned when the zoom changed since.
void FollowTakeBack(Document& doc, const UndoStep& step, File& work, File& journal, Progress& reloading);

// An edit cut off by a failing journal: taken back as far as editLog (the
// log it noted its blocks in, still held) says it got, the document as it
// was.  False when that failed too.
bool TakeBackFailedEdit(Document& doc, EditHistory& history, const UndoStep& step, File& journal,
                        RewriteLog& editLog, ScalingSource scalings, Progress& processing, Progress& reloading);

// Undo: the last edit's bytes put back in place (processing), the
// document, the markers and the peaks restored (reloading; rescanned when
// the zoom changed since), the edit made the next one to redo.  Refused
// when there is nothing to undo.  A failure part way is shown, the
// document describes the file as it then is, and the history is given up.
EditEnd UndoLastStep(Document& doc, EditHistory& history, ScalingSource scalings, Progress& processing,
                     Progress& reloading, UserDialogs& dialogs);

// The step the history says was under way when the program was killed:
// an edit (or redo) taken back as far as it got, an undo finished.  The
// working file then holds, byte for byte, the state before the edit or
// after the undo, the markers are that state's, and the history says so
// (in its manifest too).  doc needs its working file, sample format and
// zoom; its shape is for the loading step to read afterwards.  False when
// the working file, the journal or a log could not be read or written;
// nothing is settled then.
bool SettlePendingStep(Document& doc, EditHistory& history, ScalingSource scalings, Progress& processing);

} // namespace velmora
