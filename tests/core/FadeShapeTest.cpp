// The fade shapes against their formulas, a shaped fade and a free gain
// run as edits on a steady signal, and both taken back byte for byte.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "edit/EditSequence.h"
#include "edit/Fades.h"
#include "import/OpenSequence.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace velmora {
namespace {

TEST(FadeShape, EveryShapeFollowsItsFormulaAtBothEndsAndTheMiddle)
{
    const struct {
        FadeShape Shape;
        std::function<double(double)> Gain;  // of where the fade stands, 0 silent .. 1 full
    } shapes[] = {
        {FadeShape::Linear, [](double x) { return x; }},
        {FadeShape::Logarithmic, [](double x) { return std::log10(1 + 9 * x); }},
        {FadeShape::Exponential, [](double x) { return (std::pow(10.0, x) - 1) / 9; }},
        {FadeShape::SCurve, [](double x) { return (1 - std::cos(std::numbers::pi * x)) / 2; }},
    };
    for (const auto& s : shapes) {
        const FadePercents in = FadePercentsOf(true, s.Shape);
        const FadePercents out = FadePercentsOf(false, s.Shape);
        for (std::size_t step : {0u, 50u, 99u}) {
            EXPECT_NEAR(in[step], 100 * s.Gain(step / 100.0), 0.5) << static_cast<int>(s.Shape) << " " << step;
            EXPECT_NEAR(out[step], 100 * s.Gain(1 - step / 100.0), 0.5) << static_cast<int>(s.Shape) << " " << step;
        }
        EXPECT_EQ(in[0], 0);
        EXPECT_EQ(out[0], 100);
    }
    // The linear shape is the fades as they always were: i and 100 - i.
    const FadePercents linear = FadePercentsOf(true, FadeShape::Linear);
    for (std::size_t i = 0; i < linear.size(); ++i)
        EXPECT_EQ(linear[i], static_cast<std::int32_t>(i));
    // The logarithmic fade is louder than the linear one half way, the
    // exponential quieter, the S-curve the same.
    EXPECT_GT(FadePercentsOf(true, FadeShape::Logarithmic)[50], 50);
    EXPECT_LT(FadePercentsOf(true, FadeShape::Exponential)[50], 50);
    EXPECT_EQ(FadePercentsOf(true, FadeShape::SCurve)[50], 50);
}

class ShapedEditTest : public testing::Test {
protected:
    void SetUp() override
    {
        doc.TempFolder = dir.Path() + "/";
        doc.WorkFile = doc.TempFolder + "AudioTemp.wav";
        // Mono, 10000 everywhere: every sample shows its step's gain.
        test::WaveBuilder()
            .Format(1, 1, 8000, 16)
            .Samples(test::Pcm16(std::vector<std::int16_t>(100 * 1000, 10000)))
            .WriteTo(doc.WorkFile);
        doc.FramesPerColumn = 1000;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
        doc.FramesPerColumn = 1000;
        SelectAll(doc);
    }
    std::int16_t SampleAt(std::uint32_t frame)
    {
        const auto bytes = test::ReadWholeFile(doc.WorkFile);
        const std::size_t at = doc.DataOffset + 2u * frame;
        return static_cast<std::int16_t>(bytes[at] | (bytes[at + 1] << 8));
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    NullProgress none;
    Document doc;
    EditHistory history;
};

TEST_F(ShapedEditTest, AShapedFadeAndAFreeGainRunAndAreTakenBack)
{
    const auto before = test::ReadWholeFile(doc.WorkFile);
    EditRequest fade{EditCommand::FadeIn};
    fade.Shape = FadeShape::SCurve;
    ASSERT_EQ(RunEdit(doc, history, fade, none, none, dialogs), EditEnd::Done);
    const FadePercents percents = FadePercentsOf(true, FadeShape::SCurve);
    const std::uint32_t step = doc.TotalFrames / 100;
    for (std::uint32_t k : {0u, 25u, 50u, 75u, 99u})
        EXPECT_EQ(SampleAt(k * step + step / 2), 10000 * percents[k] / 100) << k;
    const auto faded = test::ReadWholeFile(doc.WorkFile);

    // +6 dB and +20 dB on what the fade left: the product truncated, and
    // clamped at full scale as Volume clamps.
    ASSERT_EQ(RunEdit(doc, history, {EditCommand::Volume, static_cast<float>(std::pow(10.0, 20 / 20.0)), false}, none, none,
                      dialogs),
              EditEnd::Done);
    EXPECT_EQ(SampleAt(99 * step), 32767);
    EXPECT_EQ(SampleAt(50 * step + 1), std::min(32767, 10 * (10000 * percents[50] / 100)));

    ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), faded);
    ASSERT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), before);
    // Redo keeps the shape: the step remembers it.
    ASSERT_EQ(RedoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), faded);
}

} // namespace
} // namespace velmora
