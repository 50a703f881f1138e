#pragma once

#include "CommandLine.h"

#include "document/Document.h"
#include "edit/EditSequence.h"

#include <string>

namespace velmora::cli {

class TerminalDialogs;

// One velmora-cli run: a document opened from INPUT in the program's
// private folder, the steps applied to it in order.
class Session {
public:
    // The exit status a step ends with: Usage for a step that cannot mean
    // anything for this file (a time past its end), said on stderr.
    enum class Status { Ok = 0, Refused = 1, Usage = 2 };

    Session(const std::string& tempFolder, TerminalDialogs& dialogs);

    // Opens input as the Open command does: the extension check, the open
    // body into the working file, the loading step at 10000 frames per
    // column, markers on the whole file.
    Status Open(const std::string& input);

    // Runs one step; Refused after a message on stderr.
    Status Run(const Step& step);

private:
    Status Refuse(const std::string& message);
    Status UsageError(const std::string& message);
    Status Edit(const EditRequest& edit);
    // The status of an edit, undo or redo that ended as end, with the
    // terminal's questions counted questionsBefore when it began.
    Status Ended(EditEnd end, int questionsBefore);
    // A marker at a typed time (option: as the user wrote it, for the
    // message), to the nearest frame.
    Status MarkerAt(bool start, double seconds, const std::string& option);
    Status MarkerFrames(std::int64_t start, std::int64_t finish);
    // The document's length as h:mm:ss.mmm and in frames, for messages.
    std::string LengthText() const;
    Status Info();
    Status Peaks();
    Status PrintTags();
    Status PrintLoudness();

    Document doc_;
    EditHistory history_;
    FadeShape fadeShape_ = FadeShape::Linear;  // of the fades to come
    bool cleanJoins_ = false;                  // of the cuts to come
    TerminalDialogs& dialogs_;
};

} // namespace velmora::cli
