// The reading rules of the working file, the refusals in their order, and
// the header the decoders write.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "document/WorkFileFormat.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::Pcm16;
using test::Pcm8;
using test::WaveBuilder;

struct Loaded {
    bool Ok;
    Document Doc;
    std::vector<std::string> Messages;
};

Loaded Load(const std::vector<unsigned char>& bytes)
{
    test::TempDir dir;
    Document doc;
    doc.WorkFile = dir / "AudioTemp.wav";
    test::WriteWholeFile(doc.WorkFile, bytes);
    test::RecordingDialogs dialogs;
    NullProgress progress;
    const bool ok = LoadWorkFile(doc, progress, dialogs);
    return {ok, doc, dialogs.Texts()};
}

std::vector<unsigned char> SilentFrames(int frames, int frameSize)
{
    return std::vector<unsigned char>(static_cast<std::size_t>(frames) * frameSize, 0);
}

TEST(WorkFileFormat, AcceptsPlainPcmAndDerivesTheMembers)
{
    const auto r = Load(WaveBuilder().Format(1, 2, 44100, 16).Samples(SilentFrames(44100 * 3 + 5, 4)).Bytes());
    ASSERT_TRUE(r.Ok);
    EXPECT_TRUE(r.Messages.empty());
    EXPECT_EQ(r.Doc.Channels, 2);
    EXPECT_EQ(r.Doc.SampleRate, 44100);
    EXPECT_EQ(r.Doc.BitsPerSample, 16);
    EXPECT_EQ(r.Doc.DataOffset, 44u);
    EXPECT_EQ(r.Doc.DataSize, (44100u * 3 + 5) * 4);
    EXPECT_EQ(r.Doc.DataEnd, 44u + (44100u * 3 + 5) * 4);
    EXPECT_EQ(r.Doc.DurationSeconds, 3u);
    EXPECT_EQ(r.Doc.FrameSize, 4);
    EXPECT_EQ(r.Doc.TotalFrames, 44100u * 3 + 5);
    EXPECT_EQ(r.Doc.ColumnCount, 14u);  // 132305 frames / 10000, rounded up
    EXPECT_EQ(r.Doc.PeakUpper.size(), 14u);
}

struct AcceptCase {
    const char* Name;
    WaveBuilder Builder;
    std::uint32_t DataOffset;
    std::uint32_t DataSize;
    std::int32_t FrameSize;
};

class AcceptedLayouts : public testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptedLayouts, FindTheSamples)
{
    const auto r = Load(GetParam().Builder.Bytes());
    ASSERT_TRUE(r.Ok) << (r.Messages.empty() ? "" : r.Messages[0]);
    EXPECT_EQ(r.Doc.DataOffset, GetParam().DataOffset);
    EXPECT_EQ(r.Doc.DataSize, GetParam().DataSize);
    EXPECT_EQ(r.Doc.FrameSize, GetParam().FrameSize);
}

const std::vector<unsigned char> Tiny(400, 0x11);

INSTANTIATE_TEST_SUITE_P(
    WorkFileFormat, AcceptedLayouts,
    testing::Values(
        AcceptCase{"FormatChunkOf18Bytes",
                   WaveBuilder().FormatExtra({0, 0}).Samples(Tiny), 46, 400, 4},
        AcceptCase{"ListChunkBeforeData",
                   WaveBuilder().ChunkBeforeData("LIST", std::vector<unsigned char>(26, 'a')).Samples(Tiny),
                   44 + 8 + 26, 400, 4},
        AcceptCase{"OddChunkWithItsPadByte",
                   WaveBuilder().ChunkBeforeData("LIST", std::vector<unsigned char>(27, 'a')).Samples(Tiny),
                   44 + 8 + 28, 400, 4},
        AcceptCase{"OddChunkWhoseWriterOmittedThePad",
                   WaveBuilder().ChunkBeforeData("LIST", std::vector<unsigned char>(27, 'a'), false).Samples(Tiny),
                   44 + 8 + 27, 400, 4},
        AcceptCase{"TrailingChunkIsNotPartOfTheSamples",
                   WaveBuilder().Samples(Tiny).ChunkAfterData("id3 ", std::vector<unsigned char>(100, 'x')),
                   44, 400, 4},
        AcceptCase{"SizeFieldZeroCountsWhatIsPresent",
                   WaveBuilder().Samples(Tiny).DataSizeField(0), 44, 400, 4},
        AcceptCase{"SizeFieldAllOnesCountsWhatIsPresent",
                   WaveBuilder().Samples(Tiny).DataSizeField(0xFFFFFFFFu), 44, 400, 4},
        AcceptCase{"SizeFieldBeyondTheFileIsCapped",
                   WaveBuilder().Samples(Tiny).DataSizeField(1000000), 44, 400, 4},
        AcceptCase{"SmallerSizeFieldIsBelieved",
                   WaveBuilder().Samples(Tiny).DataSizeField(200), 44, 200, 4},
        AcceptCase{"EightBitStereoHasFrameSize2",
                   WaveBuilder().Format(1, 2, 8000, 8).Samples(Tiny), 44, 400, 2},
        AcceptCase{"EightBitMonoHasFrameSize1",
                   WaveBuilder().Format(1, 1, 8000, 8).Samples(Tiny), 44, 400, 1},
        AcceptCase{"TheHighestRate",
                   WaveBuilder().Format(1, 2, 768000, 16).Samples(Tiny), 44, 400, 4}),
    [](const auto& info) { return std::string(info.param.Name); });

struct RefusalCase {
    const char* Name;
    std::vector<unsigned char> Bytes;
    const char* Message;
};

class Refusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, ShowExactlyOneMessage)
{
    const auto r = Load(GetParam().Bytes);
    EXPECT_FALSE(r.Ok);
    ASSERT_EQ(r.Messages.size(), 1u);
    EXPECT_EQ(r.Messages[0], GetParam().Message);
}

std::vector<unsigned char> Truncated(std::vector<unsigned char> bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

std::vector<unsigned char> WithChunkRunningPastTheEnd()
{
    auto bytes = WaveBuilder().ChunkBeforeData("LIST", std::vector<unsigned char>(8, 'a')).Samples(Tiny).Bytes();
    bytes[40] = 0xFF;  // the LIST size field
    bytes[41] = 0xFF;
    bytes[42] = 0xFF;
    bytes[43] = 0x7F;
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    WorkFileFormat, Refusals,
    testing::Values(
        RefusalCase{"JunkChunkFirst",
                    WaveBuilder().ChunkFirst("JUNK", std::vector<unsigned char>(28, 0)).Samples(Tiny).Bytes(),
                    "This is not a valid Wave file."},
        RefusalCase{"EmptyFile", {}, "This is not a valid Wave file."},
        RefusalCase{"FormatChunkShorterThanItsBlock", []{
            auto b = WaveBuilder().Samples(Tiny).Bytes();
            b[16] = 14;  // the fmt size field
            return b;
        }(), "This is not a valid Wave file."},
        RefusalCase{"FiveBytes", {'R', 'I', 'F', 'F', 0}, "This is not a valid Wave file."},
        RefusalCase{"FormatBlockCutShort", Truncated(WaveBuilder().Samples(Tiny).Bytes(), 30),
                    "This is not a valid Wave file."},
        RefusalCase{"FloatSamples", WaveBuilder().Format(3, 2, 44100, 32).Samples(Tiny).Bytes(),
                    "Cannot handle compressed Wave file."},
        RefusalCase{"ExtensibleTag", WaveBuilder().Format(0xFFFE, 2, 44100, 16).Samples(Tiny).Bytes(),
                    "Cannot handle compressed Wave file."},
        RefusalCase{"TwentyFourBit", WaveBuilder().Format(1, 2, 44100, 24).Samples(Tiny).Bytes(),
                    "Not PCM formats!"},
        RefusalCase{"NoDataChunk", WaveBuilder().NoDataChunk().Bytes(), "No audio data found in the file."},
        RefusalCase{"HeaderEndsInTheChunkWalk", Truncated(WaveBuilder().Samples(Tiny).Bytes(), 40),
                    "No audio data found in the file."},
        RefusalCase{"ChunkRunsPastTheEnd", WithChunkRunningPastTheEnd(), "No audio data found in the file."},
        RefusalCase{"NoCompleteFrame", WaveBuilder().Samples({1, 2, 3}).Bytes(),
                    "No audio data found in the file."},
        RefusalCase{"ZeroChannels", WaveBuilder().Format(1, 0, 44100, 16).Samples(Tiny).Bytes(),
                    "Invalid Wave format."},
        RefusalCase{"ZeroRate", WaveBuilder().Format(1, 2, 0, 16).Samples(Tiny).Bytes(),
                    "Invalid Wave format."},
        RefusalCase{"FourChannels", WaveBuilder().Format(1, 4, 44100, 16).Samples(Tiny).Bytes(),
                    "Only mono and stereo Wave files can be opened."},
        RefusalCase{"HugeChannelCountTimesRate", WaveBuilder().Format(1, 65535, 0xFFFFFFFFu, 16).Samples(Tiny).Bytes(),
                    "Only mono and stereo Wave files can be opened."},
        RefusalCase{"RateAboveAnyHardware", WaveBuilder().Format(1, 2, 768001, 16).Samples(Tiny).Bytes(),
                    "Invalid Wave format."},
        RefusalCase{"RateThatOverflowsThirtyTwoBits", WaveBuilder().Format(1, 1, 0xFFFFFFFFu, 8).Samples(Tiny).Bytes(),
                    "Invalid Wave format."},
        RefusalCase{"ZeroBitsIsInvalidBeforeItIsNotPcm",
                    WaveBuilder().Format(1, 2, 44100, 0).Samples(Tiny).Bytes(), "Invalid Wave format."}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(WorkFileFormat, MissingFileCannotBeOpened)
{
    Document doc;
    doc.WorkFile = "/nonexistent/velmora/AudioTemp.wav";
    test::RecordingDialogs dialogs;
    NullProgress progress;
    EXPECT_FALSE(LoadWorkFile(doc, progress, dialogs));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot open the file."});
}

TEST(WorkFileFormat, RefusalKeepsTheFieldsReadBeforeItAndThePeaks)
{
    test::TempDir dir;
    Document doc;
    doc.WorkFile = dir / "AudioTemp.wav";
    doc.PeakUpper = {7, 7};
    doc.PeakLower = {8, 8};
    WaveBuilder().Format(1, 1, 22050, 24).Samples(Tiny).WriteTo(doc.WorkFile);
    test::RecordingDialogs dialogs;
    NullProgress progress;
    EXPECT_FALSE(LoadWorkFile(doc, progress, dialogs));
    EXPECT_EQ(doc.SampleRate, 22050);
    EXPECT_EQ(doc.Channels, 1);
    EXPECT_EQ(doc.BitsPerSample, 24);
    EXPECT_EQ(doc.DataOffset, 44u);
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{7, 7}));
    EXPECT_EQ(doc.PeakLower, (std::vector<std::int16_t>{8, 8}));
}

TEST(WorkFileFormat, DecodedHeaderIsWrittenWithZeroSizesThenPatched)
{
    test::TempDir dir;
    const std::string path = dir / "AudioTemp.wav";
    {
        File file = File::Open(path, File::Mode::Create);
        ASSERT_TRUE(WriteWorkFileHeader(file, 2, 44100, 16));
        const auto zeros = test::ReadWholeFile(path);
        ASSERT_EQ(zeros.size(), 44u);
        EXPECT_EQ(test::U32At(zeros, 4), 0u);
        EXPECT_EQ(test::U32At(zeros, 40), 0u);
        std::vector<unsigned char> samples(4000, 0x55);
        ASSERT_TRUE(file.WriteAt(44, samples.data(), samples.size()));
        ASSERT_TRUE(PatchDecodedSizes(file));
    }
    const auto bytes = test::ReadWholeFile(path);
    ASSERT_EQ(bytes.size(), 4044u);
    const std::vector<unsigned char> expectedHead = {
        'R', 'I', 'F', 'F', 0xC4, 0x0F, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0,
        'd', 'a', 't', 'a', 0xA0, 0x0F, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + 44), expectedHead);
}

TEST(WorkFileFormat, DecodedHeaderCarriesTheRateIn16BitsAndOneOrTwoChannels)
{
    test::TempDir dir;
    const std::string path = dir / "AudioTemp.wav";
    File file = File::Open(path, File::Mode::Create);
    ASSERT_TRUE(WriteWorkFileHeader(file, 6, 96000, 8));
    const auto h = test::ReadWholeFile(path);
    EXPECT_EQ(h[22], 2);                          // any count but 1 is written as 2
    EXPECT_EQ(test::U32At(h, 24), 96000u & 0xFFFF);    // the rate's low 16 bits, then 0
    EXPECT_EQ(test::U32At(h, 28), (96000u & 0xFFFF) * 2);
    EXPECT_EQ(h[32], 2);
    EXPECT_EQ(h[34], 8);
}

// An edit's new length goes into two 32-bit fields: a length they cannot
// hold, or one that ends inside the header, is refused before a byte is
// written rather than wrapped into a header that says the wrong size.
TEST(WorkFileFormat, EditedSizesRefuseLengthsTheHeaderCannotHold)
{
    test::TempDir dir;
    const std::string path = dir / "AudioTemp.wav";
    File file = File::Open(path, File::Mode::Create);
    ASSERT_TRUE(WriteWorkFileHeader(file, 2, 44100, 16));
    ASSERT_TRUE(PatchEditedSizes(file, 0xFFFFFFFFull, 44));
    const auto before = test::ReadWholeFile(path);
    EXPECT_EQ(test::U32At(before, 4), 0xFFFFFFFFu - 8);
    EXPECT_EQ(test::U32At(before, 40), 0xFFFFFFFFu - 44);
    for (const std::uint64_t length : {0x100000000ull, 0x100000000ull + 44, 5ull << 30, 43ull}) {
        EXPECT_FALSE(PatchEditedSizes(file, length, 44)) << length;
        EXPECT_EQ(test::ReadWholeFile(path), before) << length;
    }
}

} // namespace
} // namespace velmora
