#pragma once

#include "EditBody.h"
#include "EditPlan.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// Runs an edit's plan on the working file in place, keeping nothing, and
// the document follows: the rewrite on processing, the peaks on reloading.
// Overwrite and Scale rewrite the range and judge its columns' peaks as
// they write; Cut moves the bytes that stay down in blocks, cuts the file,
// patches the header's sizes and recomputes the document (the markers are
// the caller's).  Cut Out of an empty range is refused with "The selection
// is empty.".  Failures as EditEnd says.
EditEnd ApplyPlan(Document& doc, const EditPlan& plan, Progress& processing, Progress& reloading,
                  UserDialogs& dialogs);

} // namespace velmora
