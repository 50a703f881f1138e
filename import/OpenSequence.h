#pragma once

namespace velmora {

class EditHistory;

class Progress;
class UserDialogs;
struct Document;

enum class OpenEnd {
    Loaded,     // the working file is written and loaded
    Failed,     // a message was shown; no document
    Cancelled,  // the user stopped the decode; no document
};

// The open worker's body: WorkFile := TempFolder + "AudioTemp.wav", the
// working file is produced from doc.SourceFile (decoding bar), SourceBitrate
// is set, and the loading step runs (loading bar).  An open that does not
// load leaves no working file behind.
OpenEnd RunOpenBody(Document& doc, Progress& decoding, Progress& loading, UserDialogs& dialogs);

// The open command's document steps after a successful body: the zoom back
// to 10000 frames per column, not modified, markers on the whole file, the
// document open with no edits to undo (its journal in TempFolder).  (The playback stream and the view are the window's.)
void FinishOpen(Document& doc, EditHistory& history);

} // namespace velmora
