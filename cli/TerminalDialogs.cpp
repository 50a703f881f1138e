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

void TerminalDialogs::ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason)
{
    if (file.empty() || (file == file_ && !output_)) {
        ShowMessage(text, {}, Icon::None);
        return;
    }
    std::fprintf(stderr, "velmora-cli: %s: %s%s\n", file.c_str(), text.c_str(),
                 reason.empty() ? "" : (" (" + reason + ")").c_str());
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
