#pragma once

#include "EditBody.h"

#include "document/EditHistory.h"
#include "platform/File.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

class Progress;
class RemainderWriter;
class UserDialogs;
struct Document;

// How keeping an edit for Undo went.
enum class Kept {
    Yes,        // step describes how to take the edit back
    NotKept,    // there was no room for the journal and the user goes on without Undo
    CalledOff,  // no room, and the user called the edit off
};

// Keeping edits for Undo; UndoEdit (EditSequence.h) takes them back.

// Copies an edit's pieces to the journal on a thread of its own while the
// edit runs: the edit's writes wait (WriteGate::Before) only where they
// would overtake the copy.
class JournalCopier final : public WriteGate {
public:
    // Starts copying pieces, in order, from work (the edit's own handle on
    // the working file, duplicated) to journal.
    JournalCopier(File work, File journal, std::vector<JournalPiece> pieces);
    ~JournalCopier() override;
    JournalCopier(const JournalCopier&) = delete;
    JournalCopier& operator=(const JournalCopier&) = delete;

    const File& WorkFile() const override { return work_; }
    void Before(std::uint64_t end) override;

    // Waits for the first chunk; false when it could not be copied.
    bool StartedWell();
    // Waits for the copy's end; true when every piece was kept.
    bool Finish();

private:
    void Copy();
    void Publish(std::uint64_t kept, bool failed);

    File work_;
    File journal_;
    const std::vector<JournalPiece> pieces_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t kept_ = 0;  // bytes of the working file: every piece's byte below is kept
    bool failed_ = false;
    bool over_ = false;
    std::thread thread_;
};

// What keeps an edit while its body runs: a copier of the bytes it
// destroys, a writer of the remainders of the samples Volume or a fade
// rescales (the body hands them over), or the name the old working file
// takes when a Delete or Cut Out writes what stays to a new one.
struct JournalWriters {
    std::unique_ptr<JournalCopier> Copier;
    std::unique_ptr<RemainderWriter> Remainders;
    std::string WholeFileBefore;
};

// Before an edit's body runs, with work the edit's handle on the working
// file: plans how the edit will be kept -
//   mute: the range;
//   Volume and the fades: the remainders of the samples they rescale;
//   Delete and Cut Out that keep no more bytes than they cut away: the
//     whole old file, under another name (what stays goes to a new one);
//   other Deletes: the header, the range and whatever follows the payload;
//   other Cut Outs: the header, the head and the tail -
// writes the peaks to the journal and starts the copier on the pieces or
// sets up the remainders' writer.  When the temporary folder has too
// little room, or the journal cannot be written at once, asks whether to
// go on without Undo.
Kept KeepForUndo(const Document& doc, const EditRequest& edit, File& work, UserDialogs& dialogs, UndoStep& step,
                 JournalWriters& writers);

// Bytes of the journal that step's data reaches.
std::uint64_t JournalEndOf(const UndoStep& step);

} // namespace velmora
