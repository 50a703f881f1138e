#pragma once

#include "EditBody.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// Delete: removes the edit range from the working file.  The bytes after
// it (up to DataEnd) move down onto its start, the file is cut there -
// whatever followed the payload is dropped - the data and RIFF sizes are
// patched, the document's length members are recomputed and the peaks are
// rescanned into new arrays.  processing shows the bytes moved, reloading
// the scan.
EditEnd RunDeleteBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate = nullptr);

// Cut Out: keeps only the edit range.  The file is first cut at the end of
// the range, the range moves down to DataOffset, the file is cut after it,
// and the sizes, members and peaks follow as for Delete.  An empty range
// (SelStart = SelFinish) would leave no frames: it is refused with
// "The selection is empty." and nothing changes.
//
// Both ask a gate, when given, before every write and cut.
EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate = nullptr);

// The markers the commands set afterwards.  Delete: SelStart stays,
// SelFinish = SelStart + 1, or ColumnCount - 1 when that is smaller (the
// markers frame the column at the joint).  Cut Out: the whole file.
void SetMarkersAfterDelete(Document& doc);
void SetMarkersAfterCutOut(Document& doc);

} // namespace velmora
