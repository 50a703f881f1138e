#include "SaveSequence.h"

#include "document/Document.h"
#include "document/RecoveryManifest.h"
#include "platform/PathText.h"

namespace velmora {

std::string CompleteSaveName(const std::string& chosen, int filterIndex, const std::string& sourceFile)
{
    for (const char* kept : {".wav", ".mp3", ".wma"}) {
        if (HasExtension(chosen, kept))
            return chosen;
    }
    switch (filterIndex) {
    case 2: return chosen + ".wav";
    case 3: return chosen + ".mp3";
    case 4: return chosen + ".wma";
    default: return chosen + ExtensionOf(sourceFile);
    }
}

void FinishSave(Document& doc, SaveEnd end, const std::string& destination, bool stopRequested)
{
    if (end != SaveEnd::Saved)
        return;
    doc.Modified = false;
    doc.History.MarkSaved();
    if (!stopRequested)
        doc.SourceFile = destination;
    KeepManifest(doc);
}

} // namespace velmora
