#include "OpenSequence.h"

#include "OpenBody.h"

#include "document/Document.h"
#include "platform/FileFormats.h"
#include "document/LoadWorkFile.h"
#include "history/EditHistory.h"
#include "history/StepTransaction.h"
#include "platform/PathText.h"
#include "platform/tags/TagFile.h"

#include <optional>

namespace velmora {

OpenEnd RunOpenBody(Document& doc, Progress& decoding, Progress& loading, UserDialogs& dialogs)
{
    doc.WorkFile = doc.TempFolder + WorkFileName;
    // A document opens at the coarsest zoom.
    doc.FramesPerColumn = DefaultFramesPerColumn;
    doc.PixelsPerColumn = 1;
    // A WAV source is copied byte for byte: its peaks are scanned from the
    // source on another core while the copy runs.
    std::optional<EarlyPeakScan> early;
    const FileFormat* format = FormatOf(doc.SourceFile);
    if (format != nullptr && format->OpenBy == OpenPath::CopyWave)
        early.emplace(doc.SourceFile, doc.FramesPerColumn);
    const OpenBodyResult produced = ProduceWorkFile(doc.SourceFile, doc.WorkFile, decoding, dialogs);
    OpenEnd end = OpenEnd::Failed;
    if (produced.End == OpenBodyEnd::Cancelled) {
        end = OpenEnd::Cancelled;
    } else if (produced.End == OpenBodyEnd::Produced) {
        doc.SourceBitrate = produced.SourceBitrate;
        end = LoadWorkFile(doc, loading, dialogs, early ? &*early : nullptr) ? OpenEnd::Loaded : OpenEnd::Failed;
    }
    if (end == OpenEnd::Loaded) {
        // The tags stay beside the working file, which holds the sound only.
        doc.Metadata = ReadTags(doc.SourceFile);
        doc.MetadataChanged = false;
        doc.MetadataKept = false;
        doc.MetadataUnsaved = false;
    }
    // What a stopped or refused open wrote (hundreds of megabytes, maybe)
    // goes at once, not at the next open or the exit.
    if (end != OpenEnd::Loaded)
        RemoveFileIfExists(doc.WorkFile);
    return end;
}

void FinishOpen(Document& doc, EditHistory& history)
{
    doc.FramesPerColumn = DefaultFramesPerColumn;
    doc.PixelsPerColumn = 1;
    doc.Modified = false;
    SelectAll(doc);
    doc.DocumentOpen = true;
    history.Begin(doc.TempFolder.empty() ? std::string() : doc.TempFolder + JournalFileName);
    NoteDocument(doc, history);
}

} // namespace velmora
