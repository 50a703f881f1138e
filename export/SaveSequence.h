#pragma once

#include "SaveBody.h"

#include <string>

namespace velmora {

class EditHistory;

// The name Save As writes: chosen as it is when its extension is ".wav",
// ".mp3" or ".wma" (any case); otherwise chosen with an extension appended,
// never substituted, by the filter entry selected (2 ".wav", 3 ".mp3",
// 4 ".wma": one per format of the formats table), any other the extension
// of sourceFile (which may be empty).
std::string CompleteSaveName(const std::string& chosen, int filterIndex, const std::string& sourceFile);

// What the document keeps of a save whose body has run, the same for every
// front end.  A save that stored the document (Saved) clears Modified, and
// the destination becomes the document's file unless the user asked to
// stop meanwhile (a WAV copy runs to its end all the same).  A save that
// failed or was stopped leaves both as they were: the edits are still
// unsaved and the old file is still the document's.  The history marks
// the state saved and its manifest follows.
void FinishSave(Document& doc, EditHistory& history, SaveEnd end, const std::string& destination,
                bool stopRequested);

} // namespace velmora
