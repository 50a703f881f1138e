#pragma once

#include "EditBody.h"

#include "document/EditHistory.h"

namespace velmora {

class Progress;
class UserDialogs;
struct Document;

// How keeping an edit for Undo went.
enum class Kept {
    Yes,        // step describes how to take the edit back
    NotKept,    // there was no room for the journal and the user goes on without Undo
    CalledOff,  // no room, and the user called the edit off
};

// Keeping edits for Undo; UndoEdit (EditSequence.h) takes them back.

// Before an edit's body runs: appends to the journal the bytes of the
// working file that the edit will overwrite or cut away - the range for
// Volume and the fades; the header, the range and whatever follows the
// payload for Delete; the header, the head and the tail for Cut Out - and
// the peaks, and describes in step how to put them back.  When the
// temporary folder has too little room, or the copy fails, asks whether to
// go on without Undo.
Kept KeepForUndo(const Document& doc, const EditRequest& edit, UserDialogs& dialogs, UndoStep& step);

// Bytes of the journal that step's data reaches.
std::uint64_t JournalEndOf(const UndoStep& step);

} // namespace velmora
