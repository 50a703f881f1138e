#pragma once

#include "history/EditHistory.h"

#include <functional>
#include <memory>

namespace velmora {

class EditorWindow;
class TProcessThread;
struct Document;

// The five edit commands.  The main window's handlers call them; each runs
// the same sequence: playback stopped and the stream released, [the
// volume dialog,] the edit's worker in the progress dialog, a new stream
// on the working file, the view redrawn at its new width, the commands
// stopped.  The view and the play position stay where they were (Delete
// and Cut Out put the position at the start of what they cut), the
// position in view.
class EditCommands {
public:
    EditCommands(Document& doc, EditHistory& history, EditorWindow& window)
        : doc_(doc), history_(history), window_(window)
    {
    }

    void Delete();
    void CutOut();
    // The volume dialog first; Cancel or its close box leaves the file alone.
    void Volume();
    void FadeIn();
    void FadeOut();
    // Its dialog first; Cancel or its close box leaves the file alone.
    void Normalize();
    // Any edit of the table that needs no dialog first, by its request.
    void Apply(const EditRequest& request);
    // The last edit taken back / the last undone edit done again, in the
    // same sequence.
    void Undo();
    void Redo();

private:
    // Where the play position goes after an edit.
    enum class PositionAfter { Kept, RangeStart };
    // The sequence; makeWorker runs once the stream is released and gives
    // the worker, or nothing when the edit is called off.
    void Run(const std::function<std::unique_ptr<TProcessThread>()>& makeWorker,
             PositionAfter position = PositionAfter::Kept);

    Document& doc_;
    EditHistory& history_;
    EditorWindow& window_;

public:
    // The shape of the fades to come, as the Edit menu's Fade Shape says.
    FadeShape Shape = FadeShape::Linear;
    // Whether Delete and Cut Out join at zero crossings, as Edit > Clean
    // Joins says.
    bool CleanJoins = false;
};

} // namespace velmora
