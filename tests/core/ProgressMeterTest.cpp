// The progress meter moves the bar only on a new percentage and keeps the
// front end responsive on a time budget, not per unit of work.

#include "platform/ProgressMeter.h"
#include "support/Fakes.h"

#include <gtest/gtest.h>

#include <thread>

namespace velmora {
namespace {

TEST(ProgressMeter, ReportsEachPercentageOnce)
{
    test::RecordingProgress bar;
    ProgressMeter meter(bar);
    for (std::uint64_t done = 1; done <= 1000000; ++done)
        meter.Report(done, 1000000);
    EXPECT_EQ(bar.Percents.size(), 101u);  // 0 to 100
    EXPECT_EQ(bar.Percents.front(), 0);
    EXPECT_EQ(bar.Last(), 100);
}

TEST(ProgressMeter, TruncatesLikeTheBarsDo)
{
    test::RecordingProgress bar;
    ProgressMeter meter(bar);
    meter.Report(2, 3);   // 66.67 -> 66
    meter.Report(0, 0);   // nothing to do counts as finished
    EXPECT_EQ(bar.Percents, (std::vector<int>{66, 100}));
}

TEST(ProgressMeter, KeepsResponsiveOnATimeBudget)
{
    test::RecordingProgress bar;
    ProgressMeter meter(bar);
    for (int i = 0; i < 100000; ++i)
        meter.Tick();
    EXPECT_LE(bar.KeepResponsiveCalls, 1);
    std::this_thread::sleep_for(ProgressMeter::KeepResponsiveInterval + std::chrono::milliseconds(5));
    meter.Tick();
    EXPECT_GE(bar.KeepResponsiveCalls, 1);
}

} // namespace
} // namespace velmora
