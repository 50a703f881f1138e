#pragma once

#include "platform/UserDialogs.h"

namespace velmora::fuzz {

// Messages go nowhere and every question is cancelled: fuzzing runs unattended.
class SilentDialogs final : public UserDialogs {
public:
    void ShowMessage(const std::string&, const std::string&, Icon) override {}
    Answer AskYesNoCancel(const std::string&, const std::string&, Icon) override { return Answer::Cancel; }
    std::optional<std::string> ChooseFileToOpen(const std::string&) override { return std::nullopt; }
    std::optional<SaveChoice> ChooseFileToSave(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
};

} // namespace velmora::fuzz
