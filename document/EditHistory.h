#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// The five edits.
enum class EditCommand { Delete, CutOut, Volume, FadeIn, FadeOut };

// What an edit is asked to do; the gain and the mute flag are Volume's.
struct EditRequest {
    EditCommand Command = EditCommand::Delete;
    float Gain = 1.0f;
    bool Mute = false;
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
    std::uint64_t Length = 0;         // bytes of the working file; 0 when the step keeps none
    std::uint64_t JournalOffset = 0;  // bytes of the journal
    std::uint64_t JournalLength = 0;  // bytes of the journal
};

// What the document said about the working file before an edit.
struct DocumentShape {
    std::uint32_t DataOffset = 0;       // bytes
    std::uint32_t DataSize = 0;         // bytes
    std::uint32_t DataEnd = 0;          // bytes
    std::uint32_t DurationSeconds = 0;
    std::uint32_t TotalFrames = 0;      // frames
    std::int32_t FramesPerColumn = 0;   // frames per column
    std::uint32_t ColumnCount = 0;      // columns
    std::uint32_t SelStart = 0;         // column
    std::uint32_t SelFinish = 0;        // column
};

// How to take one edit back.  A Delete or Cut Out that keeps fewer bytes
// than it cuts away writes what stays to a new working file and keeps the
// old one whole as WholeFileBefore: Undo puts it back in place.  Otherwise
// Undo grows the file back to LengthBefore,
// moves the MoveLength bytes at MoveFrom up to MoveTo (the part Delete or
// Cut Out moved down), writes the pieces back where they were and cuts the
// file at LengthBefore; the peaks before the edit follow the pieces in the
// journal, ColumnCount of each row.  Volume and the fades keep remainders
// instead of pieces, after the peaks.
struct UndoStep {
    EditRequest Edit;
    DocumentShape Before;
    std::uint64_t LengthBefore = 0;  // bytes of the working file
    std::uint64_t MoveFrom = 0;      // bytes of the working file as the edit left it
    std::uint64_t MoveTo = 0;        // bytes of the working file before the edit
    std::uint64_t MoveLength = 0;    // bytes
    std::vector<JournalPiece> Pieces;
    KeptRemainders Remainders;
    std::string WholeFileBefore;     // empty unless the step keeps the whole file
    std::uint64_t PeaksAt = 0;       // bytes of the journal
    std::uint64_t JournalStart = 0;  // bytes of the journal: where this step's data begins
    std::uint64_t StateBefore = 0;
    std::uint64_t StateAfter = 0;
};

// How to do an undone edit again: the same edit between the same markers.
struct RedoStep {
    EditRequest Edit;
    std::uint32_t SelStart = 0;       // column
    std::uint32_t SelFinish = 0;      // column
    std::uint64_t StateAfter = 0;
};

// The document's edits that can be undone and redone.  Each state of the
// working file has a number; the saved one is remembered, so that undoing
// back to it leaves the document unmodified.  The journal file lives in the
// document's private folder and holds the undo steps' bytes in order, so
// that undoing the last step only cuts its end off.
class EditHistory {
public:
    // A new document: no steps, an empty journal at journalPath, the
    // current state the saved one.
    void Begin(const std::string& journalPath);
    // No document: no steps, the journal removed.
    void Clear();
    // The steps so far are given up (an edit that could not be kept, or a
    // rewrite that failed); the journal stays in use for the next edit.
    void Forget();
    // A zoom change: steps still undo, but redoing needs the old columns.
    void ForgetRedo() { Redo.clear(); }

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

    std::string JournalPath;  // empty: no undo is kept
    std::vector<UndoStep> Undo;
    std::vector<RedoStep> Redo;
    std::uint64_t JournalUsed = 0;  // bytes of the journal
    std::uint64_t State = 0;
    std::uint64_t SavedState = 0;
    std::uint64_t NextState = 1;
    std::uint64_t NextWholeFile = 1;  // numbers the names of steps' whole files (beside the journal)
};

} // namespace velmora
