#pragma once

#include "EditBody.h"
#include "EditPlan.h"
#include "RewriteLog.h"

#include "EditHistory.h"

#include <cstdint>
#include <optional>

namespace velmora {

class File;
class Progress;
class UserDialogs;
struct Document;

// The history's side of one edit: how what it declares it destroys is
// kept, written down before the working file changes, noted block by block
// while the edit runs, and taken back.  The edits themselves know nothing
// of it: it works from their plans.

// The phases a kept rewrite notes in its log.
enum RewritePhase : std::uint32_t {
    MovePhase = 1,  // bytes that stay closing up (a cut), or moving back (its undo)
    CutPhase,       // the file cut at its new length
    HeaderPhase,    // the header's sizes patched
    ScalePhase,     // a block's samples rescaled (Volume, a fade)
    PutBackPhase,   // the kept pieces written back (undo)
    RestorePhase,   // a block's samples put back from their remainders (undo)
    JoinPhase,      // a clean join's crossfade written after a cut's move
};

// Chooses how step keeps plan, on a working file of fileLength bytes with
// room bytes free in the private folder, and fills it in: what it keeps
// (KeptAs), the pieces and the move, or the remainders, or the name of the
// whole old file, and where each lies in the journal after the peaks.  A
// cut is kept in place or by writing what stays into a new file, whichever
// copies fewer bytes.  False when no way fits in the room.
bool PlanKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                 std::uint64_t room, UndoStep& step);

// Writes to the journal what step keeps before the edit runs: the peaks
// and the pieces (with progress on processing).  False when the journal
// could not take them; the working file is untouched either way.
bool RecordStep(const Document& doc, File& work, File& journal, const UndoStep& step, Progress& processing);

// Runs plan on the working file as step keeps it, noting every block in
// log before writing it, and the document follows as after ApplyPlan.
// Volume and the fades write each block's remainders to the journal before
// the block (step's JournalLength says how many bytes).  When the journal
// fails part way, journalFailed is set and EditEnd::Failed returned with
// the working file as the notes say and the document as before: the step
// must then be taken back.
EditEnd ApplyKept(Document& doc, const EditHistory& history, const EditPlan& plan, UndoStep& step, File& journal,
                  RewriteLog& log, Progress& processing, Progress& reloading, UserDialogs& dialogs, bool& journalFailed);

// How far a step got: all of it, or as far as its edit's log says (when
// it noted nothing, it changed nothing that the journal cannot put back).
struct StepReach {
    bool Whole = true;
    std::optional<RewriteLog::Note> Last;  // the edit's last note, when not Whole
};

// Takes step back as far as it reached: the working file (doc.WorkFile)
// becomes byte for byte what it was before the step.  log is the take-back
// log, rewrite the number of this take-back: a take-back cut off part way
// (the program killed) resumes from its notes when run again with the
// same number.  scalings gives back the scaling of a step kept as
// remainders.  False when a read or write failed.  doc gives the sample
// format, history the private folder; nothing else of them is read or
// changed.
bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach,
              File& work, File& journal, RewriteLog& log, std::uint64_t rewrite, ScalingSource scalings,
              Progress& processing);

} // namespace velmora
