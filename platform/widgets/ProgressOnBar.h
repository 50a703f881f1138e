#pragma once

#include "platform/Progress.h"

class QProgressBar;

namespace velmora {

// A Progress shown on one of a dialog's bars.  Keeping responsive handles
// the pending window events, so the dialog (its Cancel button among them),
// repaints and the 100 ms timer keep working while a body runs on the main
// thread.  The stop request is the flag the dialog's Cancel raises.
class ProgressOnBar final : public Progress {
public:
    ProgressOnBar(QProgressBar* bar, const bool* stopFlag = nullptr) : bar_(bar), stop_(stopFlag) {}

    void SetPercent(int percent) override;
    void KeepResponsive() override;
    bool StopRequested() override { return stop_ != nullptr && *stop_; }

private:
    QProgressBar* bar_;
    const bool* stop_;
};

} // namespace velmora
