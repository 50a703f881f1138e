#pragma once

#include "Progress.h"

#include <chrono>
#include <cstdint>

namespace velmora {

// Drives a Progress from a loop that works in units (blocks, columns).
//
// The bar is moved only when its truncated percentage changes, and the
// keep-responsive hook runs at most every KeepResponsiveInterval, so that a
// loop over millions of small units costs a handful of front-end calls.
class ProgressMeter {
public:
    static constexpr std::chrono::milliseconds KeepResponsiveInterval{20};

    explicit ProgressMeter(Progress& progress);

    // Sets the bar to the given percentage (if it changed) and runs the
    // keep-responsive hook when it is due.
    void Report(int percent);

    // Percentage as trunc(done * 100 / total) computed in floating point;
    // total 0 counts as finished.
    void Report(std::uint64_t done, std::uint64_t total);

    // Runs the keep-responsive hook when it is due, without moving the bar.
    void Tick();

    bool StopRequested() { return progress_.StopRequested(); }

private:
    Progress& progress_;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point lastKeepResponsive_;
};

// A stretch of another progress: 0..100 here moves that bar from `from`
// to `to`, so that two stages of one operation share one bar.
class ProgressStretch final : public Progress {
public:
    ProgressStretch(Progress& whole, int from, int to) : whole_(whole), from_(from), to_(to) {}
    void SetPercent(int percent) override { whole_.SetPercent(from_ + (to_ - from_) * percent / 100); }
    void KeepResponsive() override { whole_.KeepResponsive(); }
    bool StopRequested() override { return whole_.StopRequested(); }

private:
    Progress& whole_;
    int from_;
    int to_;
};

} // namespace velmora
