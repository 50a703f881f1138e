#include "SaveSequence.h"

#include "document/Document.h"

namespace velmora {

void FinishSave(Document& doc, SaveEnd end, const std::string& destination, bool stopRequested)
{
    if (end != SaveEnd::Saved)
        return;
    doc.Modified = false;
    if (!stopRequested)
        doc.SourceFile = destination;
}

} // namespace velmora
