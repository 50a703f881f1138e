#pragma once

#include "platform/UserDialogs.h"

#include <string>

namespace velmora::cli {

// Messages go to standard error, one per line, naming the program and the
// file they are about: "velmora-cli: song.mp3: Cannot open the file.".
// Questions and file dialogs have no terminal counterpart and answer Cancel;
// the questions are counted, so that the caller can say what was not done.
class TerminalDialogs final : public UserDialogs {
public:
    // The file the messages from now on are about (as the user named it).
    void SetFile(const std::string& file)
    {
        file_ = file;
        output_ = false;
    }
    // The same for a file being written (a save's output): its failures
    // carry the system's reason.
    void SetOutputFile(const std::string& file)
    {
        file_ = file;
        output_ = true;
    }
    const std::string& File() const { return file_; }

    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;
    // About a file being written, or another file than the one messages
    // are about: that file and the system's reason on the line,
    // "velmora-cli: out.mp3: Cannot save the file. (No space left on
    // device)"; about the input, as ShowMessage.
    void ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason) override;
    Answer AskYesNoCancel(const std::string& text, const std::string& caption, Icon icon) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override;
    std::optional<SaveChoice> ChooseFileToSave(const std::string& filter,
                                               const std::string& initialName) override;

    // How many messages were shown and questions answered Cancel so far.
    int MessagesShown() const { return messages_; }
    int QuestionsCancelled() const { return questions_; }

private:
    std::string file_;
    bool output_ = false;
    int messages_ = 0;
    int questions_ = 0;
};

} // namespace velmora::cli
