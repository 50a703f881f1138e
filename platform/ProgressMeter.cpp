#include "ProgressMeter.h"

namespace velmora {

ProgressMeter::ProgressMeter(Progress& progress)
    : progress_(progress), lastKeepResponsive_(std::chrono::steady_clock::now())
{
}

void ProgressMeter::Report(int percent)
{
    if (percent != lastPercent_) {
        lastPercent_ = percent;
        progress_.SetPercent(percent);
    }
    Tick();
}

void ProgressMeter::Report(std::uint64_t done, std::uint64_t total)
{
    if (total == 0) {
        Report(100);
        return;
    }
    const double percent = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    Report(static_cast<int>(percent));
}

void ProgressMeter::Tick()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastKeepResponsive_ >= KeepResponsiveInterval) {
        lastKeepResponsive_ = now;
        progress_.KeepResponsive();
    }
}

} // namespace velmora
