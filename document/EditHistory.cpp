#include "EditHistory.h"

#include "platform/PathText.h"

namespace velmora {

void EditHistory::Begin(const std::string& journalPath)
{
    Clear();
    JournalPath = journalPath;
}

void EditHistory::Clear()
{
    Forget();
    if (!JournalPath.empty())
        RemoveFileIfExists(JournalPath);
    JournalPath.clear();
    State = SavedState = 0;
    NextState = 1;
}

void EditHistory::Forget()
{
    for (const UndoStep& step : Undo) {
        if (!step.WholeFileBefore.empty())
            RemoveFileIfExists(step.WholeFileBefore);
    }
    Undo.clear();
    Redo.clear();
    JournalUsed = 0;
    // The state stays: whether it is the saved one does not change.
}

} // namespace velmora
