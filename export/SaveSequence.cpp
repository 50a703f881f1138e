#include "SaveSequence.h"

#include "document/Document.h"
#include "document/FileFormats.h"
#include "document/RecoveryManifest.h"
#include "platform/PathText.h"

namespace velmora {

std::string CompleteSaveName(const std::string& chosen, int filterIndex, const std::string& sourceFile)
{
    if (FormatOf(chosen) != nullptr)
        return chosen;
    const FileFormat* entry = FormatOfFilterEntry(filterIndex);
    return chosen + (entry != nullptr ? std::string(entry->Extension) : ExtensionOf(sourceFile));
}

void FinishSave(Document& doc, SaveEnd end, const std::string& destination, bool stopRequested)
{
    if (end != SaveEnd::Saved)
        return;
    doc.Modified = false;
    doc.MetadataUnsaved = false;
    doc.History.MarkSaved();
    if (!stopRequested)
        doc.SourceFile = destination;
    KeepManifest(doc);
}

} // namespace velmora
