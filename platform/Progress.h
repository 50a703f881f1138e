#pragma once

// The one progress interface of every long operation.
//
// A long operation (open, reload, an edit, a save) reports to one Progress
// per progress bar.  The windows map it to a QProgressBar plus an event
// pump, the terminal front end to a text bar, the tests to a recorder.

namespace velmora {

class Progress {
public:
    virtual ~Progress() = default;

    // Moves the bar.  percent is 0..100.
    virtual void SetPercent(int percent) = 0;

    // Lets the front end stay responsive (handle pending window events).
    // Operations call it often, at least every ~20 ms of work.
    virtual void KeepResponsive() = 0;

    // True once the user asked the operation to stop (a Cancel button).
    // Only operations that can be cancelled poll it.
    virtual bool StopRequested() = 0;
};

// A Progress that shows nothing and never asks to stop.
class NullProgress final : public Progress {
public:
    void SetPercent(int) override {}
    void KeepResponsive() override {}
    bool StopRequested() override { return false; }
};

} // namespace velmora
