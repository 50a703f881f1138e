#pragma once

#include "platform/UserDialogs.h"

class QWidget;

namespace velmora {

// The message boxes and file dialogs of the windows, over Qt's dialogs.
class QtUserDialogs final : public UserDialogs {
public:
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;
    void ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason) override;
    Answer AskYesNoCancel(const std::string& text, const std::string& caption, Icon icon) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override;
    std::optional<SaveChoice> ChooseFileToSave(const std::string& filter, const std::string& initialName) override;
};

// The service the windows use.  The program installs QtUserDialogs; tests
// install one they script.  Never null.
UserDialogs& AppDialogs();
void InstallAppDialogs(UserDialogs* dialogs);

// "Caption|*.a;*.b|Caption|*.c" to Qt's "Caption (*.a *.b);;Caption (*.c)".
std::string QtFilterFrom(const std::string& filter);

} // namespace velmora
