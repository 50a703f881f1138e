#pragma once

#include <string>

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

enum class SaveEnd {
    Saved,      // the destination now holds the new content
    Failed,     // nothing replaced the destination; a message was shown
    Cancelled,  // the user stopped the save; the destination is untouched
};

// The temporary output file of a save: beside destination, named "~" + the
// destination's file name + ".tmp".
std::string TemporaryOutputName(const std::string& destination);

// The save body: writes the working file doc.WorkFile to destination.  The
// output goes to the temporary output file first, which is flushed to disk
// and then renamed over the destination in one step, so the destination
// holds either its old or its new content, never a part.  On any failure
// the temporary file is removed and the destination is left as it was.
SaveEnd RunSaveBody(Document& doc, const std::string& destination, Progress& bar,
                    UserDialogs& dialogs);

} // namespace velmora
