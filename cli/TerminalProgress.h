#pragma once

#include "platform/Progress.h"

#include <string>

namespace velmora::cli {

// A progress bar on standard error, drawn only when standard error is a
// terminal; otherwise the operation runs silently.
class TerminalProgress final : public Progress {
public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress() override;

    void SetPercent(int percent) override;
    void KeepResponsive() override {}
    bool StopRequested() override { return false; }

private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
};

} // namespace velmora::cli
