#include "OpenSequence.h"

#include "Document.h"
#include "LoadWorkFile.h"

#include "import/OpenBody.h"

namespace velmora {

OpenEnd RunOpenBody(Document& doc, Progress& decoding, Progress& loading, UserDialogs& dialogs)
{
    doc.WorkFile = doc.TempFolder + "AudioTemp.wav";
    const OpenBodyResult produced = ProduceWorkFile(doc.SourceFile, doc.WorkFile, decoding, dialogs);
    if (produced.End == OpenBodyEnd::Cancelled)
        return OpenEnd::Cancelled;
    if (produced.End == OpenBodyEnd::Failed)
        return OpenEnd::Failed;
    doc.SourceBitrate = produced.SourceBitrate;
    return LoadWorkFile(doc, loading, dialogs) ? OpenEnd::Loaded : OpenEnd::Failed;
}

void FinishOpen(Document& doc)
{
    doc.FramesPerColumn = DefaultFramesPerColumn;
    doc.Modified = false;
    SelectAll(doc);
    doc.DocumentOpen = true;
}

} // namespace velmora
