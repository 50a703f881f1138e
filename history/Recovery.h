#pragma once

#include "EditPlan.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;
struct Manifest;
class EditHistory;

// Takes up the document that manifest describes, in its private folder
// doc.TempFolder (a killed program's, now this one's): the step the
// history says was under way settled first (an edit taken back, an undo
// finished: SettlePendingStep, with scalings), then the working file
// loaded at the manifest's zoom (loading), with the manifest's file name,
// markers, bit rate and history (into history), so that Undo and Redo
// reach every step made before; modified.  False after a message when the
// working file cannot be settled or loaded: the folder's files are left as
// they are, for another try, and doc holds no document.
bool RecoverDocument(Document& doc, EditHistory& history, const Manifest& manifest, ScalingSource scalings,
                     Progress& loading, UserDialogs& dialogs);

} // namespace velmora
