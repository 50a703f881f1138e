// Clean joins: hundreds of random Delete and Cut Out cuts of full-scale
// sines and noise leave no step at a join larger than the source's largest;
// where no zero crossing is near, the join is crossfaded; either way the
// step is undone byte for byte and redone the same.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "history/ApplyPlan.h"
#include "edit/EditKinds.h"
#include "edit/CleanJoins.h"
#include "history/EditRange.h"
#include "edit/EditSequence.h"
#include "import/OpenSequence.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <random>

namespace velmora {
namespace {

constexpr std::uint32_t Rate = 44100;
constexpr std::int32_t PerColumn = 1000;  // frames per column
constexpr std::uint32_t Frames = 30 * PerColumn;

class CleanJoinsTest : public testing::Test {
protected:
    void Open(const std::vector<std::int16_t>& samples, int channels)
    {
        doc = Document{};
        doc.TempFolder = dir.Path() + "/";
        doc.WorkFile = doc.TempFolder + "AudioTemp.wav";
        test::WaveBuilder()
            .Format(1, static_cast<std::uint16_t>(channels), Rate, 16)
            .Samples(test::Pcm16(samples))
            .WriteTo(doc.WorkFile);
        doc.FramesPerColumn = PerColumn;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
        doc.FramesPerColumn = PerColumn;
    }
    std::vector<std::int16_t> Samples() const
    {
        const auto bytes = test::ReadWholeFile(doc.WorkFile);
        std::vector<std::int16_t> samples;
        for (std::size_t at = doc.DataOffset; at + 1 < bytes.size(); at += 2)
            samples.push_back(static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8)));
        return samples;
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    NullProgress none;
    Document doc;
    EditHistory history;
};

// The largest step between neighbouring frames, per channel; wrap adds the
// step from the last frame back to the first.
std::vector<int> LargestSteps(const std::vector<std::int16_t>& samples, int channels, bool wrap = false)
{
    std::vector<int> largest(static_cast<std::size_t>(channels), 0);
    const std::size_t frames = samples.size() / channels;
    for (std::size_t f = 1; f < frames + (wrap ? 1 : 0); ++f) {
        for (int c = 0; c < channels; ++c) {
            const int step = samples[(f % frames) * channels + c] - samples[(f - 1) * channels + c];
            largest[c] = std::max(largest[c], std::abs(step));
        }
    }
    return largest;
}

TEST_F(CleanJoinsTest, RandomCutsOfSinesAndNoiseLeaveNoStepLargerThanTheSources)
{
    std::mt19937 random(1770);
    int trials = 0, moved = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const int channels = 1 + trial % 2;
        const bool noise = trial % 5 == 4;
        const EditCommand command = trial % 3 == 2 ? EditCommand::CutOut : EditCommand::Delete;
        // A sine from 150 Hz to 5 kHz, full scale, the second channel a
        // quarter period behind; or full-scale noise on both.
        const double frequency = std::uniform_real_distribution<double>(150, 5000)(random);
        const double phase = std::uniform_real_distribution<double>(0, 2 * std::numbers::pi)(random);
        std::vector<std::int16_t> source(static_cast<std::size_t>(Frames) * channels);
        for (std::uint32_t f = 0; f < Frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                const double angle = 2 * std::numbers::pi * frequency * f / Rate + phase - c * std::numbers::pi / 2;
                source[f * channels + c] =
                    noise ? static_cast<std::int16_t>(random()) : static_cast<std::int16_t>(std::lround(32767 * std::sin(angle)));
            }
        }
        Open(source, channels);
        const std::uint32_t columns = doc.ColumnCount;
        std::uint32_t start = std::uniform_int_distribution<std::uint32_t>(0, columns - 2)(random);
        std::uint32_t finish = std::uniform_int_distribution<std::uint32_t>(start + 1, columns - 1)(random);
        if (start == 0 && finish == columns - 1)
            finish = columns - 2;  // not everything
        SetMarkers(doc, start, finish);
        const EditRange range = EditRangeOf(doc);
        EditRequest request{command};
        request.CleanJoins = true;
        const EditPlan plan = PlanEdit(doc, request);
        SCOPED_TRACE(testing::Message() << "trial " << trial << ": " << (noise ? "noise" : "sine ") << frequency
                                        << " Hz, " << channels << " channels, columns " << start << ".." << finish);
        // A pair of crossings is always near in these signals - except
        // where a Delete reaches an end of the file and the second channel,
        // a quarter period behind, stands at its crest at every crossing of
        // the first: that end fades out (or in) instead.
        const bool atAnEnd = command == EditCommand::Delete && (start == 0 || finish == columns - 1);
        if (!(atAnEnd && channels == 2 && !noise)) {
            ASSERT_TRUE(plan.Patches.empty());
        }
        ASSERT_EQ(ApplyPlan(doc, plan, none, none, dialogs), EditEnd::Done);
        ++trials;
        moved += plan.Range.StartByte != range.StartByte || plan.Range.EndByte != range.EndByte ? 1 : 0;

        // Each point moved 5 ms at most.
        const std::int64_t reach = 4 * static_cast<std::int64_t>(JoinFrames(Rate));
        EXPECT_LE(std::llabs(static_cast<long long>(plan.Range.StartByte) - static_cast<long long>(range.StartByte)),
                  reach);
        EXPECT_LE(std::llabs(static_cast<long long>(plan.Range.EndByte) - static_cast<long long>(range.EndByte)),
                  reach);
        const std::vector<std::int16_t> result = Samples();
        ASSERT_EQ(result.size() * 2, doc.DataSize);
        const std::vector<int> before = LargestSteps(source, channels);
        // Cut Out's piece joins its own beginning, as when it is played again.
        const std::vector<int> after = LargestSteps(result, channels, command == EditCommand::CutOut);
        for (int c = 0; c < channels; ++c)
            EXPECT_LE(after[c], before[c]) << "channel " << c;
        // A Delete at either end of the file leaves it starting or ending
        // next to a crossing.
        if (command == EditCommand::Delete && (start == 0 || finish == columns - 1)) {
            const int edge = start == 0 ? result.front() : result[result.size() - channels];
            EXPECT_LE(std::abs(edge), before[0]);
        }
    }
    EXPECT_EQ(trials, 400);
    EXPECT_GT(moved, 300);
}

TEST_F(CleanJoinsTest, WithoutACrossingNearTheJoinIsCrossfadedAndEveryStepIsUndoneExactly)
{
    // 20 Hz: crossings 1102.5 frames apart, none within 5 ms of frames
    // 3000 and 7000, where the sine stands near its crests.
    const std::vector<std::int16_t> source = test::Sine16(Frames, 2, Rate, 20, 1.0);
    Open(source, 2);
    const auto opened = test::ReadWholeFile(doc.WorkFile);
    const std::int64_t fade = JoinFrames(Rate);

    SetMarkers(doc, 3, 7);
    EditRequest del{EditCommand::Delete};
    del.CleanJoins = true;
    ASSERT_EQ(RunEdit(doc, history, del, none, none, dialogs), EditEnd::Done);
    const std::vector<std::int16_t> deleted = Samples();
    // The plain cut's length; before the crossfade and after the join, the
    // source as it was.
    ASSERT_EQ(deleted.size(), source.size() - 2 * 4000);
    for (std::int64_t f : {0l, 3000 - fade - 1, 3000l, 5000l})
        EXPECT_EQ(deleted[2 * f], source[2 * (f < 3000 ? f : f + 4000)]) << f;
    // In it, the two mixed with equal power.
    const std::int64_t middle = 3000 - fade + fade / 2;
    const double angle = std::numbers::pi / 2 * (fade / 2 + 1) / (fade + 1);
    EXPECT_NEAR(deleted[2 * middle],
                std::clamp(source[2 * middle] * std::cos(angle) + source[2 * (middle + 4000)] * std::sin(angle),
                           -32768.0, 32767.0),
                1.0);
    // The join no longer jumps: its steps are a fraction of the plain cut's.
    const int plainStep = std::abs(source[2 * 7000] - source[2 * 2999]);
    EXPECT_LT(LargestSteps(deleted, 2)[0], plainStep / 5);
    const auto afterDelete = test::ReadWholeFile(doc.WorkFile);

    // Cut Out of a piece with no crossing at either end: it fades in and
    // out, meeting silence.
    SetMarkers(doc, 4, 9);  // frames 4000 to 9000, of the source 8000 to 13000
    EditRequest cut{EditCommand::CutOut};
    cut.CleanJoins = true;
    ASSERT_EQ(RunEdit(doc, history, cut, none, none, dialogs), EditEnd::Done);
    const std::vector<std::int16_t> piece = Samples();
    ASSERT_EQ(piece.size(), 2u * 5000);
    EXPECT_LT(std::abs(piece[0]), 32767 * 0.01);
    EXPECT_LT(std::abs(piece[piece.size() - 2]), 32767 * 0.01);
    EXPECT_EQ(piece[2 * fade], deleted[2 * (4000 + fade)]);

    ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), afterDelete);
    ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), opened);
    ASSERT_EQ(RedoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), afterDelete);
    EXPECT_TRUE(dialogs.Messages.empty());
}

} // namespace
} // namespace velmora
