// An MP3 stream encoded in parts on several threads against the same
// payload encoded in one stream, both decoded by the ffmpeg tool: exactly
// the payload's length and in place, no decoder complaint, the SNR within
// 0.2 dB of one stream's, and no larger error around a join than anywhere
// else.  A stopped save leaves no part file.

#include "document/Document.h"
#include "export/Mp3InParts.h"
#include "export/SaveBody.h"
#include "Mp3Through.h"
#include "export/Wavtomp3.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "support/Fakes.h"
#include "support/Media.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace velmora {
namespace {

const std::string PluginDir = VELMORA_PLUGIN_DIR;

// A tone gliding from 200 Hz to 3 kHz under noise: a seam would show in
// the tone, and the noise keeps the encoder's bits busy.
std::vector<std::int16_t> ToneUnderNoise(std::uint32_t frames, int channels, std::uint32_t rate)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * channels);
    std::uint32_t seed = 12345;
    double phase = 0;
    for (std::uint32_t f = 0; f < frames; ++f) {
        phase += 2 * M_PI * (200.0 + 2800.0 * f / frames) / rate;
        for (int c = 0; c < channels; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (static_cast<double>(seed >> 8) / (1 << 24) - 0.5) * 0.2;
            samples[static_cast<std::size_t>(f) * channels + c] =
                static_cast<std::int16_t>(32767 * (0.4 * std::sin(phase + c) + noise));
        }
    }
    return samples;
}

// Asks to stop once the bar has moved past a few percent.
class StopAfter : public Progress {
public:
    explicit StopAfter(int percent) : stopAt_(percent) {}
    void SetPercent(int percent) override { percent_ = percent; }
    void KeepResponsive() override {}
    bool StopRequested() override { return percent_ >= stopAt_; }

private:
    int stopAt_;
    int percent_ = 0;
};

struct Case {
    std::uint32_t Rate;
    int Channels;
    std::uint32_t Kbps;
    unsigned Parts;
};

class Mp3PartsFixture : public testing::Test {
protected:
    void MakeDocument(const Case& c, std::uint32_t seconds)
    {
        samples = ToneUnderNoise(c.Rate * seconds + 333, c.Channels, c.Rate);
        doc.WorkFile = dir / "AudioTemp.wav";
        test::WaveBuilder().Format(1, static_cast<std::uint16_t>(c.Channels), c.Rate, 16)
            .Samples(test::Pcm16(samples)).WriteTo(doc.WorkFile);
        doc.ProgramFolder = PluginDir;
        doc.SampleRate = static_cast<std::int32_t>(c.Rate);
        doc.Channels = c.Channels;
        doc.BitsPerSample = 16;
        doc.DataOffset = 44;
        doc.DataSize = static_cast<std::uint32_t>(samples.size() * 2);
        doc.DataEnd = doc.DataOffset + doc.DataSize;
    }

    PartsEnd EncodeInParts(const Case& c, const std::string& path, Progress& bar)
    {
        WavToMp3 encoder(dialogs, PluginDir);
        File work = File::Open(doc.WorkFile, File::Mode::Read);
        File out = File::Open(path, File::Mode::Create);
        const SampleConverter converter(doc, c.Channels, false);
        const Mp3Format format{c.Rate, c.Channels == 1 ? 4 : 1, c.Kbps};
        const PartsEnd end =
            EncodeMp3InParts(encoder, format, converter, work, doc, out, dir / "part", bar, c.Parts).End;
        EXPECT_TRUE(out.Close());
        return end;
    }

    bool PartFilesLeft() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            if (entry.path().filename().string().find("part") != std::string::npos)
                return true;
        return false;
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    Document doc;
    std::vector<std::int16_t> samples;
};

class Mp3InPartsTest : public Mp3PartsFixture, public testing::WithParamInterface<Case> {};

TEST_P(Mp3InPartsTest, JoinsIntoOneStreamAsGoodAsOneEncodersWithoutASeam)
{
    const Case c = GetParam();
    MakeDocument(c, 30);
    NullProgress none;
    ASSERT_EQ(EncodeInParts(c, dir / "joined.mp3", none), PartsEnd::Done);
    test::EncodeMp3InOneStream(dialogs, PluginDir, dir / "one.mp3", samples, c.Rate, c.Channels, c.Kbps);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(PartFilesLeft());
    EXPECT_TRUE(dialogs.Messages.empty());

    const auto check = test::RunProcess({"ffmpeg", "-v", "error", "-i", dir / "joined.mp3", "-f", "null", "-"});
    EXPECT_EQ(check.ExitCode, 0);
    EXPECT_EQ(check.Err, "");
    const auto parts = test::DecodeWithFfmpeg(dir / "joined.mp3");
    const auto one = test::DecodeWithFfmpeg(dir / "one.mp3");
    ASSERT_EQ(parts.size(), samples.size());
    ASSERT_EQ(one.size(), samples.size());
    const double partsSnr = test::SnrDb(samples, parts, c.Channels, 0);
    const double oneSnr = test::SnrDb(samples, one, c.Channels, 0);
    EXPECT_GT(partsSnr, oneSnr - 0.2) << "one stream " << oneSnr;

    // The joins, where the parts begin: on frame boundaries of the stream.
    const std::uint32_t frameSamples = c.Rate >= 32000 ? 1152 : 576;
    const std::uint64_t frames = samples.size() / c.Channels;
    std::vector<std::uint64_t> joins;
    for (unsigned k = 1; k < c.Parts; ++k)
        joins.push_back(frames / frameSamples * k / c.Parts * frameSamples);
    int nearJoins = 0;
    int elsewhere = 0;
    int oneNear = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int error = std::abs(parts[i] - samples[i]);
        const std::uint64_t frame = i / c.Channels;
        const bool near = std::any_of(joins.begin(), joins.end(), [&](std::uint64_t join) {
            return frame + 2 * frameSamples > join && frame < join + 2 * frameSamples;
        });
        (near ? nearJoins : elsewhere) = std::max(near ? nearJoins : elsewhere, error);
        if (near) oneNear = std::max(oneNear, std::abs(one[i] - samples[i]));
    }
    EXPECT_LE(nearJoins, elsewhere);
}

// MPEG-1, MPEG-2 and MPEG-2.5 (an Info frame of the plugin's own: LAME
// writes none at 8 kHz), mono and stereo, two to five parts.
INSTANTIATE_TEST_SUITE_P(Formats, Mp3InPartsTest,
                         testing::Values(Case{44100, 2, 128, 2}, Case{48000, 2, 320, 3}, Case{32000, 1, 64, 2},
                                         Case{22050, 2, 64, 5}, Case{8000, 1, 32, 3}),
                         [](const auto& info) {
                             const Case& c = info.param;
                             return std::to_string(c.Rate) + "Hz" + std::to_string(c.Channels) + "ch" +
                                    std::to_string(c.Parts) + "parts";
                         });

TEST_F(Mp3PartsFixture, AStoppedSaveLeavesNoPartFileAndAShortOneIsLeftToOneStream)
{
    const Case c{22050, 2, 128, 2};
    MakeDocument(c, 12);
    StopAfter stop(10);
    EXPECT_EQ(EncodeInParts(c, dir / "stopped.mp3", stop), PartsEnd::Stopped);
    EXPECT_FALSE(PartFilesLeft());
    MakeDocument(c, 0);  // under a second: no room for the parts' pre-roll
    NullProgress none;
    EXPECT_EQ(EncodeInParts(c, dir / "short.mp3", none), PartsEnd::NotPossible);
    EXPECT_EQ(std::filesystem::file_size(dir / "short.mp3"), 0u);
}

// A save of a minute on two cores or more goes in parts; the file decodes
// to the document's length, and only the working file and it are left,
// whatever the length of its name.
TEST_F(Mp3PartsFixture, ASaveOfAMinuteGoesInPartsToTheDocumentsLength)
{
    MakeDocument({8000, 1, 32, 0}, 61);
    NullProgress none;
    const std::string longName = dir / (std::string(240, 'n') + ".mp3");
    for (const std::string& path : {dir / "minute.mp3", longName}) {
        ASSERT_EQ(RunSaveBody(doc, path, none, dialogs), SaveEnd::Saved) << path.size();
        EXPECT_EQ(test::DecodeWithFfmpeg(path).size(), samples.size());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
        std::filesystem::remove(path);
    }
    EXPECT_TRUE(dialogs.Messages.empty());
}

// Where LAME would resample, parts would not line up with the samples: the
// plugin refuses part streams and the save goes in one stream.  Without
// the plugin the encoder was refused, as for a short file.
TEST_F(Mp3PartsFixture, ResampledRatesAndAMissingPluginGoInOneStream)
{
    MakeDocument({44130, 1, 64, 2}, 62);
    NullProgress none;
    EXPECT_EQ(EncodeInParts({44130, 1, 64, 2}, dir / "parts.mp3", none), PartsEnd::NotPossible);
    ASSERT_EQ(RunSaveBody(doc, dir / "odd.mp3", none, dialogs), SaveEnd::Saved);
    const auto check = test::RunProcess({"ffmpeg", "-v", "error", "-i", dir / "odd.mp3", "-f", "s16le", "-"});
    EXPECT_EQ(check.Err, "");
    EXPECT_NEAR(static_cast<double>(check.Out.size() / 2), samples.size() * 44100.0 / 44130, 1152);

    test::TempDir empty;
    doc.ProgramFolder = empty / "";
    bool refused = false;
    EXPECT_EQ(RunSaveBody(doc, dir / "none.mp3", none, dialogs, &refused), SaveEnd::Failed);
    EXPECT_TRUE(refused);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Could not load lame_enc.dll file"});
}

} // namespace
} // namespace velmora
