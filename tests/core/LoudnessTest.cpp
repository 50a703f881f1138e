// The loudness measure against the EBU's own test signals (Tech 3341 for
// loudness and true peak, Tech 3342 for the loudness range), generated
// here, and against the ffmpeg tool's ebur128 filter; Normalize measured
// again after it ran, its refusal, and its Undo.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "edit/EditSequence.h"
#include "edit/LoudnessMeter.h"
#include "edit/Normalize.h"
#include "import/OpenSequence.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <regex>

namespace velmora {
namespace {

constexpr std::uint32_t Rate = 48000;

// A stereo signal of 1 kHz tone stretches: (level in dBFS, seconds) each.
std::vector<std::int16_t> ToneSequence(const std::vector<std::pair<double, double>>& stretches)
{
    std::vector<std::int16_t> samples;
    std::uint64_t frame = 0;
    for (const auto& [dbfs, seconds] : stretches) {
        const double amplitude = std::pow(10.0, dbfs / 20.0) * 32767.0;
        const auto frames = static_cast<std::uint64_t>(seconds * Rate);
        for (std::uint64_t i = 0; i < frames; ++i, ++frame) {
            const auto v = static_cast<std::int16_t>(
                std::lround(amplitude * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(frame) / Rate)));
            samples.push_back(v);
            samples.push_back(v);
        }
    }
    return samples;
}

class LoudnessTest : public testing::Test {
protected:
    void Open(const std::vector<std::int16_t>& samples, int channels = 2)
    {
        doc = Document{};
        doc.TempFolder = dir.Path() + "/";
        doc.WorkFile = doc.TempFolder + "AudioTemp.wav";
        test::WaveBuilder()
            .Format(1, static_cast<std::uint16_t>(channels), Rate, 16)
            .Samples(test::Pcm16(samples))
            .WriteTo(doc.WorkFile);
        NullProgress none;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        FinishOpen(doc, history);
        SelectAll(doc);
    }
    LoudnessFigures Measure()
    {
        NullProgress none;
        const std::optional<LoudnessFigures> figures = MeasureLoudness(doc, none);
        EXPECT_TRUE(figures.has_value());
        return figures.value_or(LoudnessFigures{});
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    Document doc;
    EditHistory history;
};

TEST_F(LoudnessTest, TheEbuTestTonesWithinTolerance)
{
    const struct {
        const char* Case;
        std::vector<std::pair<double, double>> Tones;
        double Integrated;  // LUFS, +-0.1
    } cases[] = {
        {"-20 dBFS", {{-20, 20}}, -20.0},
        {"-26 dBFS", {{-26, 20}}, -26.0},
        {"-40 dBFS", {{-40, 20}}, -40.0},
        {"3341 case 3", {{-36, 10}, {-23, 60}, {-36, 10}}, -23.0},
        {"3341 case 4", {{-72, 10}, {-36, 10}, {-23, 60}, {-36, 10}, {-72, 10}}, -23.0},
        {"3341 case 5", {{-26, 20}, {-20, 20.1}, {-26, 20}}, -23.0},
    };
    for (const auto& c : cases) {
        Open(ToneSequence(c.Tones));
        const LoudnessFigures figures = Measure();
        EXPECT_NEAR(figures.Integrated, c.Integrated, 0.1) << c.Case;
    }
    // A steady tone: its windows all alike, its peaks its level.
    Open(ToneSequence({{-26, 20}}));
    const LoudnessFigures steady = Measure();
    EXPECT_NEAR(steady.MaxMomentary, -26.0, 0.1);
    EXPECT_NEAR(steady.MaxShortTerm, -26.0, 0.1);
    EXPECT_NEAR(steady.SamplePeak, -26.0, 0.05);
    EXPECT_NEAR(steady.Range, 0.0, 0.1);
}

TEST_F(LoudnessTest, TheEbuLoudnessRangeCasesWithinOneLu)
{
    const struct {
        std::vector<std::pair<double, double>> Tones;
        double Range;  // LU, +-1
    } cases[] = {
        {{{-20, 20}, {-30, 20}}, 10},
        {{{-20, 20}, {-15, 20}}, 5},
        {{{-40, 20}, {-20, 20}}, 20},
        {{{-50, 20}, {-35, 20}, {-20, 20}, {-35, 20}, {-50, 20}}, 15},
    };
    int number = 1;
    for (const auto& c : cases) {
        Open(ToneSequence(c.Tones));
        EXPECT_NEAR(Measure().Range, c.Range, 1.0) << "3342 case " << number++;
    }
}

// Tech 3341 cases 15-19: sines whose samples miss their peaks by as much
// as 3 dB; the true peak is found within +0.2 / -0.4 dB.  Each sine comes
// in and goes out over 100 ms: a sine cut off abruptly rings past its own
// peak in any interpolation.
TEST_F(LoudnessTest, TruePeaksBetweenTheSamples)
{
    const struct {
        double Frequency;   // Hz
        double PhaseDeg;
        double Amplitude;   // of full scale
        double TruePeak;    // dBTP
    } cases[] = {
        {12000, 0, 0.5, -6.0}, {12000, 45, 0.5, -6.0}, {8000, 60, 0.5, -6.0}, {6000, 67.5, 0.5, -6.0},
        {12000, 45, std::numbers::sqrt2, 3.0},
    };
    for (const auto& c : cases) {
        std::vector<std::int16_t> samples;
        for (std::uint32_t f = 0; f < Rate; ++f) {
            const double edge = std::min({1.0, f / (Rate / 10.0), (Rate - 1 - f) / (Rate / 10.0)});
            const double ramp = 0.5 - 0.5 * std::cos(std::numbers::pi * edge);
            const double x = ramp * c.Amplitude *
                             std::sin(2 * std::numbers::pi * c.Frequency * f / Rate + c.PhaseDeg * std::numbers::pi / 180);
            const auto v = static_cast<std::int16_t>(std::clamp(std::lround(x * 32767.0), -32768L, 32767L));
            samples.push_back(v);
            samples.push_back(v);
        }
        Open(samples);
        const double truePeak = Measure().TruePeak;
        EXPECT_LE(truePeak, c.TruePeak + 0.2) << c.Frequency << " Hz " << c.PhaseDeg;
        EXPECT_GE(truePeak, c.TruePeak - 0.4) << c.Frequency << " Hz " << c.PhaseDeg;
    }
}

// Something like speech: noise in syllables and pauses, against the ffmpeg
// tool's own meter; silence has no loudness at all.
TEST_F(LoudnessTest, IntegratedLoudnessAgreesWithTheFfmpegToolAndSilenceHasNone)
{
    std::mt19937 random(3341);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::vector<std::int16_t> samples;
    double low = 0;
    for (std::uint32_t f = 0; f < Rate * 15; ++f) {
        const double t = static_cast<double>(f) / Rate;
        const double syllable = std::max(0.0, std::sin(2 * std::numbers::pi * 4 * t)) *
                                (std::fmod(t, 3.0) < 2.2 ? 1.0 : 0.02);
        low = 0.97 * low + 0.03 * noise(random);  // darker than white, as voices are
        const auto v = static_cast<std::int16_t>(std::clamp(syllable * low * 60000.0, -32768.0, 32767.0));
        samples.push_back(v);
        samples.push_back(static_cast<std::int16_t>(v / 2));
    }
    Open(samples);
    const double ours = Measure().Integrated;
    const auto r = test::RunProcess({"ffmpeg", "-nostats", "-i", doc.WorkFile, "-af", "ebur128", "-f", "null", "-"});
    std::smatch found;
    const std::regex summary(R"(Integrated loudness:\s*\n\s*I:\s*(-?[0-9.]+) LUFS)");
    ASSERT_TRUE(std::regex_search(r.Err, found, summary)) << r.Err.substr(r.Err.size() > 2000 ? r.Err.size() - 2000 : 0);
    EXPECT_NEAR(ours, std::stod(found[1]), 0.2);

    Open(std::vector<std::int16_t>(2 * Rate * 5, 0));
    const LoudnessFigures silence = Measure();
    EXPECT_EQ(LoudnessText(silence.Integrated), "-inf");
    EXPECT_EQ(LoudnessText(silence.TruePeak), "-inf");
    EXPECT_EQ(LoudnessText(silence.SamplePeak), "-inf");
}

TEST_F(LoudnessTest, NormalizeReachesItsTargetRefusesClippingAndIsUndone)
{
    Open(ToneSequence({{-30, 6}}));
    const auto before = test::ReadWholeFile(doc.WorkFile);
    NullProgress none;
    auto normalize = [&](NormalizeTo what, double target) {
        const NormalizeGain gain = NormalizeGainFor(Measure(), what, target);
        if (!gain.Possible)
            return gain.Refusal;
        EXPECT_EQ(RunEdit(doc, history, {EditCommand::Normalize, gain.Gain, false}, none, none, dialogs), EditEnd::Done);
        return std::string();
    };
    ASSERT_EQ(normalize(NormalizeTo::Peak, -1.0), "");
    EXPECT_NEAR(Measure().SamplePeak, -1.0, 0.05);
    ASSERT_EQ(normalize(NormalizeTo::Loudness, -23.0), "");
    EXPECT_NEAR(Measure().Integrated, -23.0, 0.1);
    // A sine's true peak is its loudness here: -0.5 LUFS would put it at
    // -0.5 dBTP.  Refused, with the most it can take.
    EXPECT_EQ(normalize(NormalizeTo::Loudness, -0.5),
              "The loudness cannot be reached without clipping.\nThe highest loudness without clipping is -1.0 LUFS.");
    // Both steps taken back to the very bytes.
    EXPECT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(UndoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), before);
    EXPECT_EQ(RedoEdit(doc, history, none, none, dialogs), EditEnd::Done);
    EXPECT_NEAR(Measure().SamplePeak, -1.0, 0.05);

    Open(std::vector<std::int16_t>(2 * Rate, 0));
    EXPECT_EQ(normalize(NormalizeTo::Peak, -1.0), "There is nothing to normalize: the range is silent.");
}

} // namespace
} // namespace velmora
