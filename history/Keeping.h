#pragma once

#include "EditBody.h"
#include "EditHistory.h"
#include "EditPlan.h"
#include "RewriteLog.h"
#include "RunHooks.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class File;
class IniFile;
class Progress;
struct Document;

// How far a step got: all of it, or as far as its edit's log says (when
// it noted nothing, it changed nothing that the journal cannot put back).
struct StepReach {
    bool Whole = true;
    std::optional<RewriteLog::Note> Last;  // the edit's last note, when not Whole
};

// One way of keeping a step for Undo (KeptAs): what it writes to the
// journal before the edit changes a byte, what it does while the edit
// runs, how it takes the step back, and its own fields of the manifest.
// Every way keeps the peaks before the step.  KeepingOf gives the way of a
// step; nothing else looks at KeptAs.
class Keeping {
public:
    virtual ~Keeping() = default;

    // Writes to the journal what step keeps, before the edit changes a
    // byte: the peaks, and what this way keeps there (processing shows a
    // copy).  False when the journal could not take them; the working file
    // is untouched either way.
    virtual bool Record(const Document& doc, File& work, File& journal, const UndoStep& step,
                        Progress& processing) const;

    // What the run of step's plan does to keep it: notes in log, what goes
    // to journal as it runs (step's figures follow: how much the journal
    // took), the whole old file under the step's name in history's folder.
    virtual std::unique_ptr<RunHooks> Hooks(const EditHistory& history, UndoStep& step, File& journal,
                                            RewriteLog& log) const = 0;

    // Takes step back as far as it reached: the working file (doc.WorkFile)
    // becomes byte for byte what it was before the step.  resume is this
    // take-back's own last note when it was cut off before (it goes on from
    // there), and log takes its notes.  doc gives the sample format,
    // history the private folder; scalings gives back a rescaling.  False
    // when a read or write failed.
    virtual bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step,
                          const StepReach& reach, File& work, File& journal, RewriteLog& log,
                          const std::optional<RewriteLog::Note>& resume, ScalingSource scalings,
                          Progress& processing) const = 0;

    // Whether the step's edit gives the working file's name to a new file,
    // so that a kill may leave no working file for a moment and a
    // take-back gives the name back to another file.
    virtual bool MovesTheWorkFile() const { return false; }

    // This way's own fields of step in the manifest's section, and back.
    virtual void Write(IniFile& manifest, const std::string& section, const UndoStep& step) const;
    virtual void Read(const IniFile& manifest, const std::string& section, UndoStep& step) const;
};

// The way a step is kept.
const Keeping& KeepingOf(KeptAs kept);

// Chooses how step keeps plan, on a working file of fileLength bytes with
// room bytes free in the private folder, and fills it in: what it keeps
// (KeptAs), the pieces and the move, or the remainders, or the name of the
// whole old file, and where each lies in the journal after the peaks.  A
// cut is kept in place or by writing what stays into a new file, whichever
// copies fewer bytes.  False when no way fits in the room.
bool ChooseKeeping(const Document& doc, const EditHistory& history, const EditPlan& plan, std::uint64_t fileLength,
                   std::uint64_t room, UndoStep& step);

// Takes step back as far as it reached (Keeping::TakeBack), its notes in
// log as take-back number rewrite: a take-back cut off part way (the
// program killed) resumes from its notes when run again with the same
// number.
bool TakeBack(const Document& doc, const EditHistory& history, const UndoStep& step, const StepReach& reach,
              File& work, File& journal, RewriteLog& log, std::uint64_t rewrite, ScalingSource scalings,
              Progress& processing);

} // namespace velmora
