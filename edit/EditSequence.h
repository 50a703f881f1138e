#pragma once

#include "EditBody.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// The five edits.
enum class EditCommand { Delete, CutOut, Volume, FadeIn, FadeOut };

// What an edit is asked to do; the gain and the mute flag are Volume's.
struct EditRequest {
    EditCommand Command = EditCommand::Delete;
    float Gain = 1.0f;
    bool Mute = false;
};

// One edit's document side, the same for every front end: the body runs
// (processing shows the rewrite, reloading the rescan), then the document
// follows it.  The document is marked modified, also when the working file
// could not be opened; Delete leaves the markers framing the column at the
// joint and Cut Out puts them on the whole new file.  An edit its body
// refused (Cut Out of an empty selection) changes nothing at all; one whose
// rewrite failed part way counts as a change, with the markers as the
// failure left them.
//
// Stopping playback and re-creating the stream, the progress dialog and
// the view are the front end's.
EditEnd RunEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs);

} // namespace velmora
