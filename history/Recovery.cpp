#include "Recovery.h"

#include "EditHistory.h"
#include "EditSteps.h"

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "Manifest.h"
#include "StepTransaction.h"
#include "TagsRecord.h"
#include "document/Zoom.h"
#include "platform/UserDialogs.h"

#include <algorithm>

namespace velmora {

namespace {

// No document, and nothing of the folder touched.
void LetGo(Document& doc, EditHistory& history)
{
    history = EditHistory{};
    doc.DocumentOpen = false;
    doc.WorkFile.clear();
    doc.SourceFile.clear();
    doc.Modified = false;
    doc.FramesPerColumn = DefaultFramesPerColumn;
    doc.PixelsPerColumn = 1;
}

} // namespace

bool RecoverDocument(Document& doc, EditHistory& history, const Manifest& manifest, ScalingSource scalings,
                     Progress& loading, UserDialogs& dialogs)
{
    doc.WorkFile = doc.TempFolder + WorkFileName;
    doc.SourceFile = manifest.SourceFile;
    doc.SourceBitrate = manifest.SourceBitrate;
    const ZoomLevel zoom{manifest.FramesPerColumn, manifest.PixelsPerColumn};
    const ZoomLevel kept = IsValidZoom(zoom) ? zoom : ZoomLevel{};
    doc.FramesPerColumn = kept.FramesPerColumn;
    doc.PixelsPerColumn = kept.PixelsPerColumn;
    doc.Channels = manifest.Channels;
    doc.BitsPerSample = manifest.BitsPerSample;
    doc.FrameSize = manifest.FrameSize;
    doc.SelStartFrame = manifest.SelStartFrame;
    doc.SelFinishFrame = manifest.SelFinishFrame;
    doc.Modified = true;
    // The tags as they were: whatever a save writes now, they go in.
    doc.Metadata = ReadTagsRecord(doc.TempFolder);
    doc.MetadataChanged = true;
    doc.MetadataKept = true;
    doc.MetadataUnsaved = true;
    if (manifest.HasHistory) {
        history = manifest.History;
        history.JournalPath = doc.TempFolder + JournalFileName;
        history.ManifestWritten.clear();
        // No state of the document is known to be a saved file any more:
        // an undo finished here must not leave a manifest that says there
        // is nothing unsaved.
        history.SavedState = history.NewState();
        // The manifest is written as the step settles: of an open document.
        doc.DocumentOpen = true;
        if (!SettlePendingStep(doc, history, scalings, loading)) {
            dialogs.ShowMessage("Cannot open the temporary file.");
            LetGo(doc, history);
            return false;
        }
    } else {
        // A manifest without a history: the working file as it is.
        history = EditHistory{};
        history.JournalPath = doc.TempFolder + JournalFileName;
    }
    const std::uint32_t selStart = doc.SelStartFrame;
    const std::uint32_t selFinish = doc.SelFinishFrame;
    if (!LoadWorkFile(doc, loading, dialogs, nullptr, Empty::IsADocument)) {
        LetGo(doc, history);
        return false;
    }
    // Kept inside what the working file holds.  An older version's markers
    // are columns, unless settling a step put the step's frames in place.
    const PendingAction pending = manifest.HasHistory ? manifest.History.PendingWhat : PendingAction::None;
    const bool settled =
        pending == PendingAction::Edit || (pending == PendingAction::Undo && !manifest.History.Undo.empty());
    if (manifest.MarkersAsColumns && !settled)
        SetMarkers(doc, selStart, selFinish);
    else
        SetMarkerFrames(doc, selStart, selFinish);
    doc.DocumentOpen = true;
    if (!manifest.HasHistory)
        history.SavedState = history.NewState();
    doc.Modified = true;
    NoteDocument(doc, history);
    return true;
}

} // namespace velmora
