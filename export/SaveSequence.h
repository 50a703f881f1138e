#pragma once

#include "SaveBody.h"

namespace velmora {

// What the document keeps of a save whose body has run, the same for every
// front end.  A save that stored the document (Saved) clears Modified, and
// the destination becomes the document's file unless the user asked to
// stop meanwhile (a WAV copy runs to its end all the same).  A save that
// failed or was stopped leaves both as they were: the edits are still
// unsaved and the old file is still the document's.
void FinishSave(Document& doc, SaveEnd end, const std::string& destination, bool stopRequested);

} // namespace velmora
