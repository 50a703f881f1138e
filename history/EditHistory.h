#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct Document;

// The name of the edit journal in the private folder.
inline constexpr const char* JournalFileName = "journal.bin";

// The edits: the five of the toolbar, and Normalize (a gain worked out
// from the range's loudness, kept with the step so that Redo repeats it).
enum class EditCommand { Delete, CutOut, Volume, FadeIn, FadeOut, Normalize };

// Each edit's word, in the order of EditCommand: the manifest writes it,
// and it is the edit's key in the language files' [Menu] and [ToolBar].
inline constexpr const char* EditCommandNames[] = {"Delete", "CutOut", "Volume", "FadeIn", "FadeOut", "Normalize"};

// How a fade's gain runs from silence to full (Fade In; Fade Out the other
// way round): linear (the fades as they always were), or logarithmic
// (fast at first), exponential (slow at first) or an S-curve (slow at both
// ends).  Each shape's word, in its order, is velmora-cli's --fade-shape
// and the manifest's.
enum class FadeShape { Linear, Logarithmic, Exponential, SCurve };
inline constexpr const char* FadeShapeNames[] = {"linear", "log", "exp", "scurve"};

// What an edit is asked to do; the gain is Volume's and Normalize's, the
// mute flag Volume's.  Clean joins move a cut's points to zero crossings
// (or crossfade the join) instead of cutting exactly at the markers.
struct EditRequest {
    EditCommand Command = EditCommand::Delete;
    float Gain = 1.0f;
    bool Mute = false;
    FadeShape Shape = FadeShape::Linear;  // of the fades only
    bool CleanJoins = false;              // of Delete and Cut Out only
};

// Bytes of the working file that an edit destroyed, kept in the journal.
struct JournalPiece {
    std::uint64_t FileOffset = 0;     // bytes of the working file before the edit
    std::uint64_t Length = 0;         // bytes
    std::uint64_t JournalOffset = 0;  // bytes of the journal
};

// The samples Volume or a fade rescaled, kept as what the rescaling took
// from each of them rather than byte for byte.
struct KeptRemainders {
    std::uint64_t FileOffset = 0;     // bytes of the working file: the range's first sample
    std::uint64_t Length = 0;         // bytes of the working file
    std::uint64_t JournalOffset = 0;  // bytes of the journal
    std::uint64_t JournalLength = 0;  // bytes of the journal; 0 while the step is under way
};

// What the document said about the working file before (or after) a step.
struct DocumentShape {
    std::uint32_t DataOffset = 0;       // bytes
    std::uint32_t DataSize = 0;         // bytes
    std::uint32_t DataEnd = 0;          // bytes
    std::uint32_t DurationSeconds = 0;
    std::uint32_t TotalFrames = 0;      // frames
    std::int32_t FramesPerColumn = 0;   // frames per column
    std::uint32_t ColumnCount = 0;      // columns
    std::uint32_t SelStartFrame = 0;    // frames: the markers
    std::uint32_t SelFinishFrame = 0;   // frames
    bool operator==(const DocumentShape&) const = default;
};

// What the history records of the document before and after a step.
DocumentShape ShapeOf(const Document& doc);

// How a step keeps what its edit destroys.
enum class KeptAs {
    Nothing,     // the edit changes no byte (Volume 100 %, a fade too short to step)
    Pieces,      // bytes copied to the journal; Undo moves the shifted rest back and writes them
    Remainders,  // every rescaled sample's remainder (Volume, the fades)
    WholeFile,   // the old working file, whole, under another name (a cut written into a new file)
};

// How to take one step back.
//   Pieces: Undo grows the file back to LengthBefore, moves the MoveLength
//     bytes at MoveFrom up to MoveTo (what a Delete or Cut Out moved down),
//     writes the pieces back where they were and cuts the file at
//     LengthBefore.
//   Remainders: Undo rebuilds every sample of the range from what it is
//     now and its remainder.
//   WholeFile: Undo gives the old working file, WholeFileName in the
//     private folder, its name back.
// The peaks before the step lie at PeaksAt in the journal, ColumnCount of
// each row, the remainders after them.
struct UndoStep {
    EditRequest Edit;
    KeptAs Kept = KeptAs::Nothing;
    DocumentShape Before;
    DocumentShape After;             // set once the step is done
    std::uint64_t LengthBefore = 0;  // bytes of the working file
    std::uint64_t MoveFrom = 0;      // bytes of the working file as the edit left it
    std::uint64_t MoveTo = 0;        // bytes of the working file before the edit
    std::uint64_t MoveLength = 0;    // bytes
    std::vector<JournalPiece> Pieces;
    KeptRemainders Remainders;
    std::string WholeFileName;       // a name in the private folder; empty unless KeptAs::WholeFile
    std::uint64_t PeaksAt = 0;       // bytes of the journal
    std::uint64_t JournalStart = 0;  // bytes of the journal: where this step's data begins
    std::uint64_t StateBefore = 0;
    std::uint64_t StateAfter = 0;
};

// How to do an undone edit again: the same edit between the same markers.
struct RedoStep {
    EditRequest Edit;
    std::uint32_t SelStartFrame = 0;   // frames
    std::uint32_t SelFinishFrame = 0;  // frames
    std::uint64_t StateAfter = 0;
};

// A step that has begun to change the working file and is not finished:
// what the manifest says while it runs, so that a start after a kill can
// take it back (an edit or a redo) or finish it (an undo).
enum class PendingAction {
    None,
    Edit,        // Pending describes the edit; PendingRewrite numbers its rewrite log
    Undo,        // the last undo step is being taken back
    UnkeptEdit,  // an edit the user let go without Undo: it cannot be taken back
};

// The document's edits that can be undone and redone.  Each state of the
// working file has a number; the saved one is remembered, so that undoing
// back to it leaves the document unmodified.  The journal file lives in the
// document's private folder and holds the undo steps' bytes in order, so
// that undoing the last step only cuts its end off.  All of it goes to the
// manifest beside the journal (Manifest.h) before the working file
// changes, so that it outlives the program.
class EditHistory {
public:
    // A new document: no steps, an empty journal at journalPath, the
    // current state the saved one.
    void Begin(const std::string& journalPath);
    // No document: no steps, the journal and the rewrite logs removed.
    void Clear();
    // The steps so far are given up (an edit that could not be kept, or a
    // rewrite that failed); the journal stays in use for the next edit, and
    // the steps' whole files go once the manifest is written (Discarded).
    void Forget();
    bool Keeping() const { return !JournalPath.empty(); }
    bool CanUndo() const { return !Undo.empty(); }
    bool CanRedo() const { return !Redo.empty(); }

    // The working file as it is now has been saved.
    void MarkSaved() { SavedState = State; }
    bool AtSavedState() const { return State == SavedState; }
    // A number for a state of the working file never seen before.
    std::uint64_t NewState() { return NextState++; }
    // Bytes of the journal in use.
    std::uint64_t JournalEnd() const { return Undo.empty() ? 0 : JournalUsed; }
    // The private folder the journal lives in, ending in '/'.
    std::string Folder() const;

    std::string JournalPath;  // empty: no undo is kept
    std::vector<UndoStep> Undo;
    std::vector<RedoStep> Redo;
    std::uint64_t JournalUsed = 0;  // bytes of the journal
    std::uint64_t State = 0;
    std::uint64_t SavedState = 0;
    std::uint64_t NextState = 1;
    std::uint64_t NextWholeFile = 1;  // numbers the names of steps' whole files (beside the journal)
    std::uint64_t NextRewrite = 1;    // numbers the rewrites the logs follow

    PendingAction PendingWhat = PendingAction::None;
    UndoStep Pending;                    // PendingAction::Edit: the step under way
    std::uint32_t PendingSelStart = 0;   // PendingAction::Edit: the markers before the command (a
    std::uint32_t PendingSelFinish = 0;  //   redo sets its own), frames
    std::uint64_t PendingRewrite = 0;    // the number the rewrite logs follow for the pending action

    std::string ManifestWritten;         // the manifest's text as last written; empty: none
    // Whole old files of steps given up: removed once the manifest no
    // longer names them (StepTransaction.h), so that no manifest on the disk
    // ever names a file that is gone.
    std::vector<std::string> Discarded;
};

// The names of the two rewrite logs in the private folder: the one an edit
// keeps, and the one taking a step back keeps (during recovery both are
// needed at once: the edit's says what to take back).
inline constexpr const char* EditLogName = "edit.log";
inline constexpr const char* TakeBackLogName = "undo.log";

} // namespace velmora
