#pragma once

#include <cstring>
#include <optional>
#include <string>

namespace velmora {

// Message boxes and file dialogs, as one small service.
//
// Core code shows its messages through this interface only; the windows
// install an implementation over Qt's dialogs, the terminal front end one
// that prints, and the tests one they can script and inspect.
class UserDialogs {
public:
    enum class Icon { None, Information, Question, Error };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~UserDialogs() = default;

    // A message box with an OK button.  An empty caption stands for the
    // program's default caption.
    virtual void ShowMessage(const std::string& text, const std::string& caption = {},
                             Icon icon = Icon::None) = 0;

    // A file that could not be read or written: text as ShowMessage shows
    // it, and beside it, as details, the file and the system's reason.
    // Front ends that show no details show the text alone.
    virtual void ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason)
    {
        (void)file;
        (void)reason;
        ShowMessage(text);
    }

    // A question with the buttons Yes, No and Cancel.
    virtual Answer AskYesNoCancel(const std::string& text, const std::string& caption,
                                  Icon icon) = 0;

    // The open-file dialog; nullopt when the user cancels.  filter uses the
    // "Caption|*.a;*.b|Caption|*.c" form.
    virtual std::optional<std::string> ChooseFileToOpen(const std::string& filter) = 0;

    // The save-file dialog.  filterIndex (1-based) is the entry that was
    // selected when the user confirmed; nullopt when the user cancels.
    struct SaveChoice {
        std::string fileName;
        int filterIndex = 1;
    };
    virtual std::optional<SaveChoice> ChooseFileToSave(const std::string& filter,
                                                      const std::string& initialName) = 0;
};

// The system's words for an errno value; empty for 0.
inline std::string SystemReason(int error)
{
    return error != 0 ? std::string(std::strerror(error)) : std::string();
}

} // namespace velmora
