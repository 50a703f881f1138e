#include "EditHistory.h"

#include "Manifest.h"

#include "document/Document.h"
#include "platform/PathText.h"

namespace velmora {

DocumentShape ShapeOf(const Document& doc)
{
    return {doc.DataOffset,      doc.DataSize,        doc.DataEnd,     doc.DurationSeconds,
            doc.TotalFrames,     doc.FramesPerColumn, doc.ColumnCount, doc.SelStartFrame,
            doc.SelFinishFrame};
}

void EditHistory::Begin(const std::string& journalPath)
{
    Clear();
    JournalPath = journalPath;
    // Notes left by an earlier document in the same folder must never be
    // read as this one's: its rewrites are numbered from 1 again.
    if (!JournalPath.empty()) {
        RemoveFileIfExists(Folder() + EditLogName);
        RemoveFileIfExists(Folder() + TakeBackLogName);
    }
    NextRewrite = 1;
}

std::string EditHistory::Folder() const
{
    const std::size_t slash = JournalPath.rfind('/');
    return slash == std::string::npos ? std::string() : JournalPath.substr(0, slash + 1);
}

void EditHistory::Clear()
{
    Forget();
    for (const std::string& name : Discarded)
        RemoveFileIfExists(Folder() + name);
    Discarded.clear();
    if (!JournalPath.empty()) {
        RemoveFileIfExists(JournalPath);
        RemoveFileIfExists(Folder() + EditLogName);
        RemoveFileIfExists(Folder() + TakeBackLogName);
        RemoveFileIfExists(Folder() + ManifestName);
    }
    ManifestWritten.clear();
    JournalPath.clear();
    State = SavedState = 0;
    NextState = 1;
}

void EditHistory::Forget()
{
    for (const UndoStep& step : Undo) {
        if (!step.WholeFileName.empty())
            Discarded.push_back(step.WholeFileName);
    }
    Undo.clear();
    Redo.clear();
    JournalUsed = 0;
    PendingWhat = PendingAction::None;
    // The state stays: whether it is the saved one does not change.
}

} // namespace velmora
