#pragma once

#include "history/EditBody.h"
#include "history/EditHistory.h"
#include "history/EditPlan.h"


namespace velmora {

class File;
class Progress;
class UserDialogs;
struct Document;

// Delete: removes the edit range from the working file.  The bytes after
// it (up to DataEnd) move down onto its start, the file is cut there -
// whatever followed the payload is dropped - the data and RIFF sizes are
// patched, the document's length members are recomputed and the peaks are
// rescanned into new arrays.  processing shows the bytes moved, reloading
// the scan.
EditEnd RunDeleteBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);

// Cut Out: keeps only the edit range.  The range moves down to DataOffset,
// the file is cut after it, and the sizes, members and peaks follow as for
// Delete.  An empty range (SelStart = SelFinish) would leave no frames: it
// is refused with "The selection is empty." and nothing changes.
EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading, UserDialogs& dialogs);

// What Delete and Cut Out declare: a cut of the edit range - with clean
// joins where request asks for them, read from the working file.
EditPlan PlanCut(const Document& doc, const EditRequest& request);

// The markers the commands set afterwards.  Delete: the start marker
// stays on the join's frame, the finish marker goes to the column after
// the join's (SelStart + 1, the end when that is the last column or past
// it), so the markers frame the column at the joint.  Cut Out: the whole
// file.
void SetMarkersAfterDelete(Document& doc);
void SetMarkersAfterCutOut(Document& doc);

} // namespace velmora
