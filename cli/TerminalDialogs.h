#pragma once

#include "platform/UserDialogs.h"

#include <string>

namespace velmora::cli {

// Messages go to standard error, one per line; the first one is kept so
// that the front end can end with it.  Questions and file dialogs have no
// terminal counterpart and answer Cancel.
class TerminalDialogs final : public UserDialogs {
public:
    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;
    Answer AskYesNoCancel(const std::string& text, const std::string& caption, Icon icon) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override;
    std::optional<SaveChoice> ChooseFileToSave(const std::string& filter,
                                               const std::string& initialName) override;

    bool AnyMessageShown() const { return shown_; }

private:
    bool shown_ = false;
};

} // namespace velmora::cli
