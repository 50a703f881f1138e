#pragma once

#include "platform/Progress.h"
#include "platform/UserDialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace velmora::test {

// Records every message; questions and file dialogs answer from scripts.
class RecordingDialogs final : public UserDialogs {
public:
    struct Shown {
        std::string Text;
        std::string Caption;
        Icon Kind;
        std::string File;    // with ShowFileFailure only
        std::string Reason;  // "
    };

    void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override
    {
        Messages.push_back({text, caption, icon, {}, {}});
    }
    void ShowFileFailure(const std::string& text, const std::string& file, const std::string& reason) override
    {
        Messages.push_back({text, {}, Icon::None, file, reason});
    }
    Answer AskYesNoCancel(const std::string& text, const std::string& caption, Icon icon) override
    {
        Questions.push_back({text, caption, icon, {}, {}});
        if (Answers.empty())
            return Answer::Cancel;
        const Answer a = Answers.front();
        Answers.pop_front();
        return a;
    }
    std::optional<std::string> ChooseFileToOpen(const std::string& filter) override
    {
        Filters.push_back(filter);
        if (OpenChoices.empty())
            return std::nullopt;
        auto c = OpenChoices.front();
        OpenChoices.pop_front();
        return c;
    }
    std::optional<SaveChoice> ChooseFileToSave(const std::string& filter, const std::string& initial) override
    {
        Filters.push_back(filter);
        SaveInitialNames.push_back(initial);
        if (SaveChoices.empty())
            return std::nullopt;
        auto c = SaveChoices.front();
        SaveChoices.pop_front();
        return c;
    }

    std::vector<std::string> Texts() const
    {
        std::vector<std::string> out;
        for (const auto& m : Messages)
            out.push_back(m.Text);
        return out;
    }

    std::vector<Shown> Messages;
    std::vector<Shown> Questions;
    std::deque<Answer> Answers;
    std::deque<std::optional<std::string>> OpenChoices;
    std::deque<std::optional<SaveChoice>> SaveChoices;
    std::vector<std::string> SaveInitialNames;
    std::vector<std::string> Filters;  // of every file dialog, in order
};

// Records the bar's positions; can ask to stop after a number of
// keep-responsive calls or position changes.
class RecordingProgress final : public Progress {
public:
    void SetPercent(int percent) override
    {
        Percents.push_back(percent);
        if (StopAfterPercentCalls >= 0 && static_cast<int>(Percents.size()) >= StopAfterPercentCalls)
            Stop = true;
    }
    void KeepResponsive() override { ++KeepResponsiveCalls; }
    bool StopRequested() override
    {
        ++StopPolls;
        return Stop;
    }

    int Last() const { return Percents.empty() ? -1 : Percents.back(); }
    bool NeverDecreases() const
    {
        for (std::size_t i = 1; i < Percents.size(); ++i)
            if (Percents[i] < Percents[i - 1])
                return false;
        return true;
    }

    std::vector<int> Percents;
    int KeepResponsiveCalls = 0;
    int StopPolls = 0;
    bool Stop = false;
    int StopAfterPercentCalls = -1;
};

} // namespace velmora::test
