#pragma once

#include "EditBody.h"

#include "document/EditHistory.h"

#include <string>

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

// Cut Out: keeps only the edit range.  The range moves down to DataOffset,
// the file is cut after it, and the sizes, members and peaks follow as for
// Delete.  An empty range
// (SelStart = SelFinish) would leave no frames: it is refused with
// "The selection is empty." and nothing changes.
//
// Both ask a gate, when given, before every write and cut.
EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs, WriteGate* gate = nullptr);

// The bytes of the working file that Delete or Cut Out would keep (header
// included) and those it would cut away, as the document now stands.
struct CutShape {
    std::uint64_t Kept = 0;     // bytes
    std::uint64_t CutAway = 0;  // bytes
};
CutShape CutShapeOf(const Document& doc, EditCommand command, std::uint64_t fileLength);

// Delete or Cut Out (command) leaving the working file byte for byte as
// the bodies above do, by another way: what stays is copied to a new file
// beside it, which then takes the working file's name, while the old
// working file stays whole as keepAs.  processing shows the bytes copied.
// A failure leaves the working file as it was ("Cannot write the
// temporary file." is shown and EditEnd::Failed returned).
EditEnd RunCutIntoNewFile(Document& doc, EditCommand command, const std::string& keepAs, Progress& processing,
                          Progress& reloading, UserDialogs& dialogs);

// The markers the commands set afterwards.  Delete: SelStart stays,
// SelFinish = SelStart + 1, or ColumnCount - 1 when that is smaller (the
// markers frame the column at the joint).  Cut Out: the whole file.
void SetMarkersAfterDelete(Document& doc);
void SetMarkersAfterCutOut(Document& doc);

} // namespace velmora
