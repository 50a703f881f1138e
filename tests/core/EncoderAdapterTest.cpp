// The two encoder adapters over their plugins: loading and its messages,
// the MP3 configuration record and bit-rate rounding, the WMA format
// record, the chunk contracts, and real MP3 and WMA files that the ffmpeg
// tool decodes correctly.

#include "Mp3Through.h"
#include "export/Wavtomp3.h"
#include "export/Wavtowma.h"
#include "platform/lame_enc/LameEncApi.h"
#include "support/Fakes.h"
#include "support/Media.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace velmora {
namespace {

const std::string PluginDir = VELMORA_PLUGIN_DIR;
const std::string FakeDir = VELMORA_FAKE_PLUGIN_DIR;

TEST(WavToMp3, BitrateRoundingTable)
{
    const std::pair<std::uint32_t, std::uint16_t> cases[] = {
        {0, 32},    {36, 32},   {37, 40},   {44, 40},   {45, 48},   {52, 48},   {53, 56},   {60, 56},
        {61, 64},   {67, 64},   {68, 80},   {88, 80},   {89, 96},   {104, 96},  {105, 112}, {120, 112},
        {121, 128}, {144, 128}, {145, 160}, {176, 160}, {177, 192}, {208, 192}, {209, 224}, {240, 224},
        {241, 256}, {288, 256}, {289, 320}, {100000, 320},
    };
    for (const auto& [requested, used] : cases)
        EXPECT_EQ(WavToMp3::RoundBitrate(requested), used) << requested;
}

TEST(WavToMp3, ChannelModesBecomeModeCodes)
{
    EXPECT_EQ(WavToMp3::ModeCode(1), 0);  // stereo
    EXPECT_EQ(WavToMp3::ModeCode(2), 1);  // joint stereo
    EXPECT_EQ(WavToMp3::ModeCode(3), 2);  // dual channel
    EXPECT_EQ(WavToMp3::ModeCode(4), 3);  // mono
}

class Mp3AdapterTest : public testing::Test {
protected:
    void SetUp() override { ::setenv("FAKE_LAME_LOG", (dir / "log").c_str(), 1); }
    void TearDown() override
    {
        ::unsetenv("FAKE_LAME_LOG");
        ::unsetenv("FAKE_LAME_FAIL_ENCODE");
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
};

TEST_F(Mp3AdapterTest, AMissingPluginIsReportedOnceAndNothingIsWritten)
{
    {
        WavToMp3 encoder(dialogs, dir / "no-plugins/");
        EXPECT_EQ(encoder.Open(dir / "out.mp3", 44100, 1, 128, false, false, false, false), -1);
        EXPECT_TRUE(encoder.Close());
    }
    ASSERT_EQ(dialogs.Messages.size(), 1u);
    EXPECT_EQ(dialogs.Messages[0].Text, "Could not load lame_enc.dll file");
    EXPECT_EQ(dialogs.Messages[0].Caption, "Lame Encoder");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));
}

TEST_F(Mp3AdapterTest, TheFirstMissingEntryPointIsNamed)
{
    WavToMp3 encoder(dialogs, FakeDir + "without_version/");
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Could not found beVersion library function"});
    EXPECT_EQ(encoder.Open(dir / "out.mp3", 44100, 1, 128, false, false, false, false), -1);
    EXPECT_EQ(dialogs.Messages.size(), 1u);
}

TEST_F(Mp3AdapterTest, TheConfigurationRecordIsFilledAsLaidOut)
{
    WavToMp3 encoder(dialogs, FakeDir + "full/");
    ASSERT_EQ(encoder.Open(dir / "out.mp3", 22050, 4, 67, true, false, true, false), 200);
    const auto record = test::ReadWholeFile(dir / "log.config");
    ASSERT_EQ(record.size(), 27u);
    const std::vector<unsigned char> expected = {
        0, 0, 0, 0,              // basic MP3 configuration
        0x22, 0x56, 0, 0,        // 22050 Hz
        3,                       // mono
        64, 0,                   // 67 kbit/s rounds to 64
        0, 0, 0, 0,              // private
        0, 0, 0, 0,              // CRC
        1, 0, 0, 0,              // copyright
        1, 0, 0, 0,              // original
    };
    EXPECT_EQ(record, expected);
}

TEST_F(Mp3AdapterTest, ChunksGoToThePluginAndItsBytesToTheFile)
{
    const std::string out = dir / "out.mp3";
    {
        WavToMp3 encoder(dialogs, FakeDir + "full/");
        const std::int32_t chunk = encoder.Open(out, 44100, 1, 128, false, false, false, false);
        ASSERT_EQ(chunk, 200);  // 100 samples of 2 bytes
        std::vector<std::int16_t> samples(100);
        for (int i = 0; i < 100; ++i)
            samples[i] = static_cast<std::int16_t>(i - 50);
        EXPECT_EQ(encoder.EncodeChunk(samples.data(), 200), 4);
        EXPECT_EQ(encoder.EncodeChunk(samples.data(), 7), 4);  // 3 samples; the odd byte is ignored
        EXPECT_TRUE(encoder.Close());
    }
    EXPECT_EQ(test::ReadWholeFile(out), (std::vector<unsigned char>{'C', 'H', 'N', 'K', 'C', 'H', 'N', 'K', 'D', 'O', 'N', 'E'}));
    const auto counts = test::ReadWholeFile(dir / "log.chunks");
    ASSERT_EQ(counts.size(), 8u);
    EXPECT_EQ(test::U32At(counts, 0), 100u);
    EXPECT_EQ(test::U32At(counts, 4), 3u);
    EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(Mp3AdapterTest, EncoderFailuresAreShown)
{
    {
        WavToMp3 encoder(dialogs, FakeDir + "full/");
        EXPECT_EQ(encoder.Open(dir / "out.mp3", 0, 1, 128, false, false, false, false), -1);
        EXPECT_FALSE(std::filesystem::exists(dir / "out.mp3"));  // no file before the encoder runs
    }
    {
        WavToMp3 encoder(dialogs, FakeDir + "full/");
        EXPECT_EQ(encoder.Open(dir / "missing-folder/out.mp3", 44100, 1, 128, false, false, false, false), -1);
    }
    {
        WavToMp3 encoder(dialogs, FakeDir + "full/");
        ASSERT_EQ(encoder.Open(dir / "out.mp3", 44100, 1, 128, false, false, false, false), 200);
        ::setenv("FAKE_LAME_FAIL_ENCODE", "1", 1);
        std::int16_t samples[100] = {};
        EXPECT_EQ(encoder.EncodeChunk(samples, 200), -1);
        encoder.Close();
    }
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Could not initialize Lame encoder", "Can not create the file.",
                                                        "Could not perform compression"}));
    for (const auto& m : dialogs.Messages)
        EXPECT_EQ(m.Caption, "Lame Encoder");
}

TEST(LameEncPlugin, ChunkSizesFollowLamesFrames)
{
    const struct {
        std::uint32_t Rate;
        std::uint8_t Mode;
        std::uint32_t Samples;
    } cases[] = {{44100, 1, 2304}, {44100, 3, 1152}, {22050, 0, 1152}, {8000, 3, 576}};
    for (const auto& c : cases) {
        test::RecordingDialogs dialogs;
        test::TempDir dir;
        WavToMp3 encoder(dialogs, PluginDir);
        const int channelMode = c.Mode + 1;
        EXPECT_EQ(encoder.Open(dir / "a.mp3", c.Rate, channelMode, 64, false, false, false, false),
                  static_cast<std::int32_t>(c.Samples * 2))
            << c.Rate;
        encoder.Close();
    }
}

std::vector<std::int16_t> TestSignal(std::uint32_t frames, int channels, std::uint32_t rate)
{
    auto samples = test::Sine16(frames, channels, rate, 440, 0.5);
    const auto second = test::Sine16(frames, channels, rate, 1250, 0.2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(samples[i] + second[i]);
    return samples;
}

// Streams of the plugin encode side by side, each as it would alone: the
// bytes of two encoded on two threads at once equal those of one encoded
// alone.
TEST(LameEncPlugin, StreamsEncodeSideBySideAsTheyWouldAlone)
{
    const auto samples = TestSignal(44100 * 3, 2, 44100);
    test::TempDir dir;
    auto encode = [&](const std::string& path) {
        test::RecordingDialogs dialogs;
        WavToMp3 encoder(dialogs, PluginDir);
        const std::int32_t chunk = encoder.Open(path, 44100, 1, 128, false, false, false, false);
        ASSERT_GT(chunk, 0);
        const std::size_t perChunk = static_cast<std::size_t>(chunk) / 2;
        for (std::size_t at = 0; at < samples.size(); at += perChunk) {
            const std::size_t count = std::min(perChunk, samples.size() - at);
            ASSERT_GE(encoder.EncodeChunk(samples.data() + at, static_cast<std::uint32_t>(count * 2)), 0);
        }
        EXPECT_TRUE(encoder.Close());
    };
    encode(dir / "alone.mp3");
    std::thread first([&] { encode(dir / "first.mp3"); });
    std::thread second([&] { encode(dir / "second.mp3"); });
    first.join();
    second.join();
    const auto alone = test::ReadWholeFile(dir / "alone.mp3");
    EXPECT_GT(alone.size(), 40000u);
    EXPECT_TRUE(test::ReadWholeFile(dir / "first.mp3") == alone);
    EXPECT_TRUE(test::ReadWholeFile(dir / "second.mp3") == alone);
}

struct RoundTrip {
    std::uint32_t Rate;
    int Channels;
    std::uint32_t Kbps;
};

class Mp3RoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(Mp3RoundTrip, DecodesAtTheRightRateChannelsLengthAndQuality)
{
    const RoundTrip c = GetParam();
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    const std::uint32_t frames = c.Rate + 777;  // not a whole number of MP3 frames
    const auto samples = TestSignal(frames, c.Channels, c.Rate);
    const std::string out = dir / "out.mp3";
    test::EncodeMp3InOneStream(dialogs, PluginDir, out, samples, c.Rate, c.Channels, c.Kbps);
    ASSERT_FALSE(HasFatalFailure());
    const auto facts = test::Probe(out);
    EXPECT_EQ(facts.Codec, "mp3");
    EXPECT_EQ(facts.SampleRate, static_cast<int>(c.Rate));
    EXPECT_EQ(facts.Channels, c.Channels);
    EXPECT_EQ(facts.BitRate, static_cast<long>(WavToMp3::RoundBitrate(c.Kbps)) * 1000);

    // The Info frame tells the decoder LAME's lead-in and the padding: the
    // ffmpeg tool gives exactly the frames encoded, in place.  Aligned:
    // the error is least at lag 0, not at a lead-in of LAME's (576 frames
    // of encoder delay and 529 of decoder delay) or a sample either side.
    const auto decoded = test::DecodeWithFfmpeg(out);
    ASSERT_EQ(decoded.size(), samples.size());
    const auto errorAtLag = [&](int lag) {
        double sum = 0;
        const auto n = static_cast<std::ptrdiff_t>(frames);
        for (std::ptrdiff_t f = 1200; f < n - 1200; ++f)
            for (int ch = 0; ch < c.Channels; ++ch) {
                const double d = samples[static_cast<std::size_t>(f * c.Channels + ch)] -
                                 decoded[static_cast<std::size_t>((f + lag) * c.Channels + ch)];
                sum += d * d;
            }
        return sum;
    };
    for (int lag : {-1105, -576, -2, -1, 1, 2, 576, 1105})
        EXPECT_LT(errorAtLag(0), errorAtLag(lag)) << lag;
    EXPECT_GT(test::SnrDb(samples, decoded, c.Channels, 0), c.Kbps >= 64 ? 20.0 : 12.0);
}

// Every bit rate the save offers, at CD rate in stereo; every rate MP3
// carries, mono and stereo, at a bit rate each of them takes.
std::vector<RoundTrip> Mp3RoundTrips()
{
    std::vector<RoundTrip> trips;
    for (std::uint32_t kbps : {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320})
        trips.push_back({44100, 2, kbps});
    for (std::uint32_t rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
        for (int channels : {1, 2})
            trips.push_back({rate, channels, rate < 16000 ? 32u : 64u});
    return trips;
}

INSTANTIATE_TEST_SUITE_P(WavToMp3, Mp3RoundTrip, testing::ValuesIn(Mp3RoundTrips()));

// ---- WMA ----------------------------------------------------------------------

TEST(WavToWma, InputFormatRecord)
{
    const WaveFormatEx mono = WavToWma::InputFormat(22050, 1);
    EXPECT_EQ(mono.wFormatTag, 1);
    EXPECT_EQ(mono.nChannels, 1);
    EXPECT_EQ(mono.nSamplesPerSec, 22050u);
    EXPECT_EQ(mono.nBlockAlign, 2);
    EXPECT_EQ(mono.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(mono.wBitsPerSample, 16);
    EXPECT_EQ(mono.cbSize, 0);
    const WaveFormatEx stereo = WavToWma::InputFormat(44100, 2);
    EXPECT_EQ(stereo.nBlockAlign, 4);
    EXPECT_EQ(stereo.nAvgBytesPerSec, 176400u);
}

TEST(WavToWma, FailuresAreShownUnderTheirCaption)
{
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    {
        WavToWma missing(dialogs, dir / "no-plugins/");
        EXPECT_EQ(missing.Open(dir / "a.wma", 44100, 2, 96000), -1);
    }
    {
        WavToWma encoder(dialogs, PluginDir);
        EXPECT_EQ(encoder.Open(dir / "missing-folder/a.wma", 44100, 2, 96000), -1);
    }
    {
        WavToWma encoder(dialogs, PluginDir);
        EXPECT_EQ(encoder.Open(dir / "a.wma", 44100, 0, 96000), -1);
    }
    {
        WavToWma encoder(dialogs, PluginDir);
        // (a new name: the writer makes its file only where nothing is)
        EXPECT_EQ(encoder.Open(dir / "b.wma", 44100, 2, 16000), -1);  // below what wmav2 can do
        EXPECT_TRUE(encoder.WriteChunk(nullptr, 0));   // nothing to write: the writer is not asked
        std::uint8_t pcm[4] = {};
        EXPECT_FALSE(encoder.WriteChunk(pcm, 4));      // no writer is left
        EXPECT_TRUE(encoder.Close());
        EXPECT_TRUE(encoder.Close());
    }
    EXPECT_EQ(dialogs.Texts(), (std::vector<std::string>{"Could not load wmaudsdk.dll file", "Failed to Create Audio Writer",
                                                        "Failed to Set Input Format", "Failed to Set Output Format"}));
    for (const auto& m : dialogs.Messages)
        EXPECT_EQ(m.Caption, "WMA Audio SDK");
}

class WmaRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(WmaRoundTrip, DecodesAs44100StereoFromTheFirstSample)
{
    const RoundTrip c = GetParam();
    test::TempDir dir;
    test::RecordingDialogs dialogs;
    const std::uint32_t frames = c.Rate * 2;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames) * c.Channels, 0);
    // A click 10 ms in: the first frame of audio must survive the codec.
    const std::uint32_t click = c.Rate / 100;
    for (int ch = 0; ch < c.Channels; ++ch)
        for (std::uint32_t i = 0; i < 40 * c.Rate / 44100 + 1; ++i)
            samples[(click + i) * c.Channels + ch] = 20000;
    const std::string out = dir / "out.wma";
    {
        WavToWma encoder(dialogs, PluginDir);
        ASSERT_EQ(encoder.Open(out, static_cast<std::int32_t>(c.Rate), c.Channels, static_cast<std::int32_t>(c.Kbps * 1000)),
                  WavToWma::ChunkBytes);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(samples.data());
        const std::size_t total = samples.size() * 2;
        for (std::size_t at = 0; at < total; at += WavToWma::ChunkBytes)
            ASSERT_TRUE(encoder.WriteChunk(bytes + at, static_cast<std::uint32_t>(std::min<std::size_t>(WavToWma::ChunkBytes, total - at))));
        ASSERT_TRUE(encoder.Close());
    }
    EXPECT_TRUE(dialogs.Messages.empty());
    const auto facts = test::Probe(out);
    EXPECT_EQ(facts.Codec, "wmav2");
    EXPECT_EQ(facts.SampleRate, 44100);
    EXPECT_EQ(facts.Channels, 2);
    const auto decoded = test::DecodeWithFfmpeg(out);
    const std::size_t decodedFrames = decoded.size() / 2;
    const std::size_t expectedFrames = 2 * 44100;
    EXPECT_GE(decodedFrames, expectedFrames);
    EXPECT_LT(decodedFrames, expectedFrames + 2048);  // at most one frame of padding
    std::size_t loudest = 0;
    for (std::size_t f = 0; f < decodedFrames; ++f)
        if (std::abs(decoded[2 * f]) > std::abs(decoded[2 * loudest]))
            loudest = f;
    EXPECT_NEAR(static_cast<double>(loudest), 441.0 + 20, 30.0);  // 10 ms in, where the click was
}

INSTANTIATE_TEST_SUITE_P(WavToWma, WmaRoundTrip,
                         testing::Values(RoundTrip{44100, 2, 96}, RoundTrip{22050, 1, 48}, RoundTrip{48000, 2, 128}));

} // namespace
} // namespace velmora
