#pragma once

#include "EditBody.h"
#include "EditPlan.h"

namespace velmora {

class Progress;
class RunHooks;
class UserDialogs;
struct Document;

// The one engine every edit runs through: an edit's plan on the working
// file in place, and the document follows: the rewrite on processing, the
// peaks on reloading.  hooks is what keeping the step does meanwhile (a
// step nothing keeps runs with plain RunHooks).  Overwrite and Scale
// rewrite the range and judge its columns' peaks as they write; Cut moves
// the bytes that stay down in blocks, cuts the file, writes the joins'
// patches, patches the header's sizes and recomputes the document, or
// writes what stays into a new file that takes the working file's name
// (the markers are the caller's).  Cut Out of an empty range is refused
// with "The selection is empty.".  Failures as EditEnd says; a failure of
// what keeps the step (a hook said stop) ends the run as Failed with the
// working file as far as the hooks were told, and no message.
EditEnd ApplyPlan(Document& doc, const EditPlan& plan, RunHooks& hooks, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs);

// The same with nothing kept.
EditEnd ApplyPlan(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs);

} // namespace velmora
