#include "EditSequence.h"

#include "DeleteCutOut.h"
#include "Fades.h"
#include "VolumeChange.h"

#include "document/Document.h"

namespace velmora {

namespace {

EditEnd RunBody(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs)
{
    switch (edit.Command) {
    case EditCommand::Delete: return RunDeleteBody(doc, processing, reloading, dialogs);
    case EditCommand::CutOut: return RunCutOutBody(doc, processing, reloading, dialogs);
    case EditCommand::Volume: return RunVolumeBody(doc, edit.Gain, edit.Mute, processing, reloading, dialogs);
    case EditCommand::FadeIn: return RunFadeInBody(doc, processing, reloading, dialogs);
    case EditCommand::FadeOut: return RunFadeOutBody(doc, processing, reloading, dialogs);
    }
    return EditEnd::Refused;
}

} // namespace

EditEnd RunEdit(Document& doc, const EditRequest& edit, Progress& processing, Progress& reloading,
                UserDialogs& dialogs)
{
    const EditEnd end = RunBody(doc, edit, processing, reloading, dialogs);
    if (end == EditEnd::Refused)
        return end;
    doc.Modified = true;
    if (end == EditEnd::Failed)
        return end;  // the markers were kept inside what the file now holds
    if (edit.Command == EditCommand::Delete)
        SetMarkersAfterDelete(doc);
    else if (edit.Command == EditCommand::CutOut)
        SetMarkersAfterCutOut(doc);
    return end;
}

} // namespace velmora
