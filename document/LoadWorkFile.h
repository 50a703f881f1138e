#pragma once

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// The loading step, run once the working file doc.WorkFile is complete:
// checks its header by the reading rules, derives the format members
// (FrameSize, TotalFrames, ColumnCount at the current FramesPerColumn),
// replaces the peak arrays with zero-filled ones of ColumnCount entries and
// fills them with the column peak scan, reporting on loading.
//
// A refused file shows one message through dialogs and returns false; the
// peak arrays are then left as they were, while the header fields read
// before the refusal keep their new values.  A payload without a single
// complete frame is refused with "No audio data found in the file.".
bool LoadWorkFile(Document& doc, Progress& loading, UserDialogs& dialogs);

} // namespace velmora
