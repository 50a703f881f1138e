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

// The temporary output file of a save: beside destination's final target
// (its links followed), named "~" + the target's file name + ".tmp" (see
// TemporaryOutput for names too long for that).
std::string TemporaryOutputName(const std::string& destination);

// The save body: writes the working file doc.WorkFile to destination, by
// the destination's extension: ".mp3" encoded through the MP3 plugin,
// ".wma" through the WMA plugin (both loaded from doc.ProgramFolder), any
// other a byte copy.  An encoded save at doc.SourceBitrate kbit/s, which is
// set to the default (128 for MP3, 96 for WMA) when it is 0; MP3 at 11025 Hz
// or less at most 64 kbit/s.  The encoded paths poll the stop request after
// each chunk; the copy always runs to its end.
//
// The output goes to the temporary output file first (made new, 0600 and
// locked, whoever writes it), which takes the destination's owner, group
// and mode, is flushed to disk and is then renamed over the destination in
// one step, so the destination holds either its old or its new content,
// never a part.  A destination that is a link keeps the link: its target
// is replaced.  A save to a destination another save is writing is refused
// ("Cannot save the file.") and the other's result stands.  On any failure
// or stop the temporary file is removed, the destination is left as it
// was, and the failure has been explained in a message.
//
// encoderRefused, when given, tells a front end whether a failed encoded
// save never got its encoder going (the plugin could not be loaded or
// would not take the format): the adapter has shown its own message and
// nothing was written.
SaveEnd RunSaveBody(Document& doc, const std::string& destination, Progress& bar,
                    UserDialogs& dialogs, bool* encoderRefused = nullptr);

} // namespace velmora
