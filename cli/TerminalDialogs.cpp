#include "TerminalDialogs.h"

#include <cstdio>

namespace velmora::cli {

void TerminalDialogs::ShowMessage(const std::string& text, const std::string&, Icon)
{
    if (file_.empty())
        std::fprintf(stderr, "velmora-cli: %s\n", text.c_str());
    else
        std::fprintf(stderr, "velmora-cli: %s: %s\n", file_.c_str(), text.c_str());
    ++messages_;
}

UserDialogs::Answer TerminalDialogs::AskYesNoCancel(const std::string&, const std::string&, Icon)
{
    ++questions_;
    return Answer::Cancel;
}

std::optional<std::string> TerminalDialogs::ChooseFileToOpen(const std::string&)
{
    return std::nullopt;
}

std::optional<UserDialogs::SaveChoice> TerminalDialogs::ChooseFileToSave(const std::string&,
                                                                         const std::string&)
{
    return std::nullopt;
}

} // namespace velmora::cli
