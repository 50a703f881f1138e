// Opening MP3 and WMA files: the working file carries exactly the samples
// the ffmpeg tool decodes, under the 44-byte header; the source bit rate,
// the cancel and the refusals.

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "import/OpenBody.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

namespace velmora {
namespace {

using test::Shell;

class OpenDecodeTest : public testing::Test {
protected:
    // A two-tone test signal as WAV, made by sox.
    std::string Source(int rate, int channels, double seconds)
    {
        const std::string path = dir / ("src" + std::to_string(rate) + "_" + std::to_string(channels) + ".wav");
        EXPECT_TRUE(Shell("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 '" + path +
                          "' synth " + std::to_string(seconds) + " sine 440 sine 1250 vol 0.6"));
        return path;
    }

    // The samples `ffmpeg -i path -f s16le -` produces.
    std::vector<unsigned char> FfmpegSamples(const std::string& path)
    {
        const std::string raw = path + ".raw";
        EXPECT_TRUE(Shell("ffmpeg -v error -y -i '" + path + "' -f s16le '" + raw + "'"));
        return test::ReadWholeFile(raw);
    }

    OpenEnd Open(const std::string& source, Progress& decoding)
    {
        doc = Document{};
        doc.TempFolder = work.Path();
        doc.SourceFile = source;
        NullProgress loading;
        return RunOpenBody(doc, decoding, loading, dialogs);
    }

    OpenEnd Open(const std::string& source)
    {
        NullProgress decoding;
        return Open(source, decoding);
    }

    test::TempDir dir;
    test::TempDir work;
    test::RecordingDialogs dialogs;
    Document doc;
};

struct CodecCase {
    const char* Name;
    const char* Extension;
    int Rate;
    int Channels;
    const char* Encoder;  // shell command with IN and OUT
};

class DecodedSamples : public OpenDecodeTest, public testing::WithParamInterface<CodecCase> {};

std::string Replace(std::string text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

TEST_P(DecodedSamples, EqualTheFfmpegToolsAndCarryTheHeader)
{
    const CodecCase c = GetParam();
    const std::string wav = Source(c.Rate, c.Channels, 2.5);
    const std::string encoded = dir / (std::string("song") + c.Extension);
    ASSERT_TRUE(Shell(Replace(Replace(c.Encoder, "IN", "'" + wav + "'"), "OUT", "'" + encoded + "'")));

    ASSERT_EQ(Open(encoded), OpenEnd::Loaded) << testing::PrintToString(dialogs.Texts());
    const auto file = test::ReadWholeFile(doc.WorkFile);
    const auto expected = FfmpegSamples(encoded);
    ASSERT_EQ(file.size(), 44 + expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), file.begin() + 44));

    const unsigned blockAlign = 2u * static_cast<unsigned>(c.Channels);
    EXPECT_EQ(test::U32At(file, 4), file.size() - 8);
    EXPECT_EQ(test::U32At(file, 16), 16u);
    EXPECT_EQ(file[20] | (file[21] << 8), 1);
    EXPECT_EQ(file[22] | (file[23] << 8), c.Channels);
    EXPECT_EQ(test::U32At(file, 24), static_cast<unsigned>(c.Rate));
    EXPECT_EQ(test::U32At(file, 28), static_cast<unsigned>(c.Rate) * blockAlign);
    EXPECT_EQ(file[32] | (file[33] << 8), static_cast<int>(blockAlign));
    EXPECT_EQ(file[34] | (file[35] << 8), 16);
    EXPECT_EQ(test::U32At(file, 40), file.size() - 44);

    EXPECT_EQ(doc.Channels, c.Channels);
    EXPECT_EQ(doc.SampleRate, c.Rate);
    EXPECT_EQ(doc.TotalFrames, expected.size() / blockAlign);
    EXPECT_GT(doc.SourceBitrate, 0);
}

INSTANTIATE_TEST_SUITE_P(
    OpenDecode, DecodedSamples,
    testing::Values(CodecCase{"Mp3Mono22050", ".mp3", 22050, 1, "lame --quiet -b 64 IN OUT"},
                    CodecCase{"Mp3Stereo44100", ".mp3", 44100, 2, "lame --quiet -b 128 IN OUT"},
                    CodecCase{"Mp3Stereo48000", ".mp3", 48000, 2, "lame --quiet -b 160 IN OUT"},
                    CodecCase{"Mp3MonoWithoutGaplessTag", ".mp3", 22050, 1, "lame --quiet -b 32 IN OUT"},
                    CodecCase{"WmaStereo44100", ".wma", 44100, 2, "ffmpeg -v error -i IN -c:a wmav2 -b:a 128k OUT"},
                    CodecCase{"WmaMono22050", ".wma", 22050, 1, "ffmpeg -v error -i IN -c:a wmav2 -b:a 48k OUT"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SourceBitrate, IsFileBytesOverSecondsTimes125)
{
    const struct {
        std::uint64_t Bytes;
        double Seconds;
        bool Wma;
        std::int32_t Kbps;
    } cases[] = {
        {3200000, 200.0, false, 128},  // 3 min 20 s at 128 kbit/s
        {3200000, 200.9, false, 128},  // whole seconds only
        {121250, 10.0, false, 97},
        {121250, 10.0, true, 96},      // WMA rates are even
        {120000, 10.0, true, 96},
        {10000, 0.5, false, 160},      // under a second: the fraction
        {10000, 0.0, false, 0},        // nothing decoded
    };
    for (const auto& c : cases)
        EXPECT_EQ(SourceBitrateFrom(c.Bytes, c.Seconds, c.Wma), c.Kbps) << c.Bytes << " " << c.Seconds;
}

TEST_F(OpenDecodeTest, A128kMp3GivesItsBitrateAndACapitalExtensionIsDecoded)
{
    const std::string wav = Source(44100, 2, 20);
    const std::string mp3 = dir / "LOUD.MP3";
    ASSERT_TRUE(Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    ASSERT_EQ(Open(mp3), OpenEnd::Loaded);
    EXPECT_EQ(doc.SourceBitrate, 128);
    EXPECT_EQ(doc.TotalFrames, 20u * 44100);
}

TEST_F(OpenDecodeTest, AnMp3CutShortGivesTheBitrateOfWhatItHolds)
{
    // Its header (LAME's tag) still promises a minute.  (The formula counts
    // whole seconds, so the half minute left keeps the rounding small.)
    const std::string wav = Source(44100, 1, 60);
    const std::string mp3 = dir / "cut.mp3";
    ASSERT_TRUE(Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    std::filesystem::resize_file(mp3, std::filesystem::file_size(mp3) / 2);
    ASSERT_EQ(Open(mp3), OpenEnd::Loaded);
    EXPECT_GE(doc.SourceBitrate, 124);
    EXPECT_LE(doc.SourceBitrate, 136);
    EXPECT_LT(doc.TotalFrames, 31u * 44100);
}

TEST_F(OpenDecodeTest, AStreamThatChangesItsChannelsOnTheWayKeepsItsFirstFormat)
{
    // Two MP3s joined end to end, stereo then mono.
    const std::string stereo = dir / "a.mp3";
    const std::string mono = dir / "b.mp3";
    ASSERT_TRUE(Shell("lame --quiet -b 128 '" + Source(44100, 2, 2) + "' '" + stereo + "'"));
    ASSERT_TRUE(Shell("lame --quiet -b 64 '" + Source(44100, 1, 2) + "' '" + mono + "'"));
    const std::string joined = dir / "joined.mp3";
    ASSERT_TRUE(Shell("cat '" + stereo + "' '" + mono + "' > '" + joined + "'"));
    ASSERT_EQ(Open(joined), OpenEnd::Loaded);
    EXPECT_EQ(doc.Channels, 2);
    // The second file's own lead-in and tag frame stay in: only the first
    // one's gapless information applies to the joined stream.
    EXPECT_NEAR(static_cast<double>(doc.TotalFrames), 4.0 * 44100, 0.1 * 44100);
}

TEST_F(OpenDecodeTest, AFileThatIsNotMp3OrHasNoRateOrAnAbsurdOneCannotBeDecoded)
{
    const std::string fake = dir / "fake.mp3";
    test::WriteWholeFile(fake, std::vector<unsigned char>(5000, 'x'));
    EXPECT_EQ(Open(fake), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."});
    EXPECT_FALSE(doc.DocumentOpen);

    dialogs.Messages.clear();
    EXPECT_EQ(Open(dir / "missing.wma"), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."});

    // A WMA whose header gives the rate as 0 would make a working file of
    // rate 0 that nothing can play or measure: refused the same way, and no
    // working file is left.
    const std::string wma = dir / "rate0.wma";
    ASSERT_TRUE(Shell("ffmpeg -v error -i '" + Source(44100, 2, 1) + "' -c:a wmav2 '" + wma + "'"));
    std::vector<unsigned char> bytes = test::ReadWholeFile(wma);
    const unsigned char format[] = {0x61, 0x01, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00};  // wmav2, 2 channels, 44100 Hz
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(format), std::end(format));
    ASSERT_NE(at, bytes.end());
    std::fill(at + 4, at + 8, 0);
    test::WriteWholeFile(wma, bytes);
    dialogs.Messages.clear();
    EXPECT_EQ(Open(wma), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."});
    EXPECT_FALSE(std::filesystem::exists(work / "AudioTemp.wav"));

    // So is an AIFF whose rate field says 1.3 GHz (found by the fuzzer): a
    // resampler from it to 48 kHz would take gigabytes.
    const std::string aiff = dir / "fast.aiff";
    ASSERT_TRUE(Shell("sox '" + Source(8000, 1, 1) + "' '" + aiff + "'"));
    bytes = test::ReadWholeFile(aiff);
    const unsigned char comm[] = {'C', 'O', 'M', 'M'};
    const auto rate = std::search(bytes.begin(), bytes.end(), std::begin(comm), std::end(comm)) + 16;
    ASSERT_LT(rate + 10, bytes.end());
    const unsigned char fast[] = {0x40, 0x38, 0x3B, 0xAD, 0x4F, 0x13, 0x59, 0x20, 0x58, 0xA4};  // extended 1.3e9
    std::copy(std::begin(fast), std::end(fast), rate);
    test::WriteWholeFile(aiff, bytes);
    dialogs.Messages.clear();
    EXPECT_EQ(Open(aiff), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."});
}

// A text file under an audio file's name that names other files (an HLS
// playlist, an ffconcat script) is not followed to them: the decoder reads
// only the file itself, with only its own kind's demuxer.
TEST_F(OpenDecodeTest, FilesNamedInsideTheSourceAreNeverOpened)
{
    const std::string other = dir / "other.mp3";
    ASSERT_TRUE(Shell("lame --quiet -b 64 '" + Source(22050, 1, 1) + "' '" + other + "'"));
    const std::string otherWma = dir / "other.wma";
    ASSERT_TRUE(Shell("ffmpeg -v error -i '" + Source(22050, 1, 1) + "' -c:a wmav2 '" + otherWma + "'"));
    const std::pair<const char*, std::string> planted[] = {
        {"playlist.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nfile:" + other + "\n#EXT-X-ENDLIST\n"},
        {"playlist.wma", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nfile:" + otherWma + "\n#EXT-X-ENDLIST\n"},
        {"concat.mp3", "ffconcat version 1.0\nfile '" + other + "'\n"},
        {"concat.wma", "ffconcat version 1.0\nfile '" + otherWma + "'\n"},
    };
    for (const auto& [name, text] : planted) {
        const std::string path = dir / name;
        test::WriteWholeFile(path, std::vector<unsigned char>(text.begin(), text.end()));
        dialogs.Messages.clear();
        EXPECT_EQ(Open(path), OpenEnd::Failed) << name;
        EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Can not creat the decode stream."}) << name;
    }
    // The real files still open, whatever their names hold.
    const std::string colon = dir / "a:b.mp3";
    std::filesystem::copy_file(other, colon);
    EXPECT_EQ(Open(colon), OpenEnd::Loaded);
}

// A stopped open, and one refused after the decode, leave nothing of what
// they wrote in the working folder.
TEST_F(OpenDecodeTest, CancelStopsTheDecodeAndRemovesThePartialWorkingFile)
{
    const std::string wav = Source(44100, 2, 30);
    const std::string mp3 = dir / "long.mp3";
    ASSERT_TRUE(Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    test::RecordingProgress decoding;
    decoding.StopAfterPercentCalls = 10;
    EXPECT_EQ(Open(mp3, decoding), OpenEnd::Cancelled);
    EXPECT_TRUE(dialogs.Messages.empty());
    EXPECT_LT(decoding.Last(), 50);
    EXPECT_TRUE(std::filesystem::is_empty(work.Path()));

    const std::string compressed = dir / "adpcm.wav";
    ASSERT_TRUE(Shell("sox '" + wav + "' -e ima-adpcm '" + compressed + "'"));
    EXPECT_EQ(Open(compressed), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot handle compressed Wave file."});
    EXPECT_TRUE(std::filesystem::is_empty(work.Path()));
}

TEST_F(OpenDecodeTest, DecodingProgressClimbsToTheEnd)
{
    const std::string wav = Source(22050, 1, 5);
    const std::string wma = dir / "a.wma";
    ASSERT_TRUE(Shell("ffmpeg -v error -i '" + wav + "' -c:a wmav2 '" + wma + "'"));
    test::RecordingProgress decoding;
    ASSERT_EQ(Open(wma, decoding), OpenEnd::Loaded);
    EXPECT_TRUE(decoding.NeverDecreases());
    EXPECT_GE(decoding.Last(), 99);
    EXPECT_LE(decoding.Last(), 100);
}

TEST_F(OpenDecodeTest, WaveSourcesAreCopiedOrReported)
{
    const std::string wav = Source(8000, 1, 1);
    ASSERT_EQ(Open(wav), OpenEnd::Loaded);
    EXPECT_EQ(test::ReadWholeFile(doc.WorkFile), test::ReadWholeFile(wav));
    EXPECT_EQ(doc.SourceBitrate, 0);

    EXPECT_EQ(Open(dir / "missing.wav"), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts().back(), "Cannot open the file.");

    doc = Document{};
    doc.TempFolder = dir / "no-such-folder/";
    doc.SourceFile = wav;
    NullProgress none;
    EXPECT_EQ(RunOpenBody(doc, none, none, dialogs), OpenEnd::Failed);
    EXPECT_EQ(dialogs.Texts().back(), "Cannot creat the temporary file.");
}

TEST_F(OpenDecodeTest, TheTwoTemporaryFileMessagesDifferByPath)
{
    const std::string wav = Source(8000, 1, 1);
    const std::string mp3 = dir / "a.mp3";
    const std::string wma = dir / "a.wma";
    ASSERT_TRUE(Shell("lame --quiet '" + wav + "' '" + mp3 + "'"));
    ASSERT_TRUE(Shell("ffmpeg -v error -i '" + wav + "' -c:a wmav2 '" + wma + "'"));
    for (const auto& [source, message] : {std::pair{mp3, "Can not creat the temporary file."},
                                          std::pair{wma, "Cannot creat the temporary file."}}) {
        doc = Document{};
        doc.TempFolder = dir / "no-such-folder/";
        doc.SourceFile = source;
        NullProgress none;
        EXPECT_EQ(RunOpenBody(doc, none, none, dialogs), OpenEnd::Failed);
        EXPECT_EQ(dialogs.Texts().back(), message);
    }
}

} // namespace
} // namespace velmora
