#include "SaveSequence.h"

#include "document/Document.h"
#include "platform/FileFormats.h"
#include "history/EditHistory.h"
#include "history/StepTransaction.h"
#include "platform/PathText.h"

namespace velmora {

std::string CompleteSaveName(const std::string& chosen, int filterIndex, const std::string& sourceFile)
{
    if (FormatOf(chosen) != nullptr)
        return chosen;
    const FileFormat* entry = FormatOfFilterEntry(filterIndex);
    if (entry != nullptr)
        return chosen + entry->Extension;
    // The opened file's kind, unless it is one that is not saved.
    return chosen + (IsSavedUnder(sourceFile) ? ExtensionOf(sourceFile) : std::string(".wav"));
}

void FinishSave(Document& doc, EditHistory& history, SaveEnd end, const std::string& destination,
                bool stopRequested)
{
    if (end != SaveEnd::Saved)
        return;
    doc.Modified = false;
    doc.MetadataUnsaved = false;
    history.MarkSaved();
    if (!stopRequested)
        doc.SourceFile = destination;
    NoteDocument(doc, history);
}

} // namespace velmora
