// The column peak scan: which frames it looks at, how it scales, how many
// columns a payload gives, and agreement with the literal model on large
// random files at every zoom.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "document/Zoom.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/ReferenceModel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::WaveBuilder;

class ColumnPeakScanTest : public testing::Test {
protected:
    // Loads the file at 10000 frames per column (as the open does), then
    // rescans at the requested zoom.
    Document LoadAt(const WaveBuilder& builder, std::int32_t framesPerColumn = 10000)
    {
        Document doc;
        doc.WorkFile = dir / "AudioTemp.wav";
        builder.WriteTo(doc.WorkFile);
        EXPECT_TRUE(LoadWorkFile(doc, loading, dialogs));
        if (framesPerColumn != 10000) {
            test::RecordingProgress reload;
            EXPECT_TRUE(ApplyZoomChange(doc, framesPerColumn, reload, dialogs));
        }
        return doc;
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    test::RecordingProgress loading;
};

std::vector<std::int16_t> Mono16(std::uint32_t frames, std::initializer_list<std::pair<std::uint32_t, std::int16_t>> set)
{
    std::vector<std::int16_t> s(frames, 0);
    for (auto [at, v] : set)
        s[at] = v;
    return s;
}

TEST_F(ColumnPeakScanTest, ColumnCountRoundsUp)
{
    struct Case {
        std::uint32_t Frames;
        std::uint32_t Columns;
    } cases[] = {{1, 1}, {9999, 1}, {10000, 1}, {10001, 2}, {30000, 3}, {30001, 4}};
    for (const Case& c : cases) {
        const Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(Mono16(c.Frames, {}))));
        EXPECT_EQ(doc.ColumnCount, c.Columns) << c.Frames << " frames";
        EXPECT_EQ(doc.PeakUpper.size(), c.Columns);
    }
}

TEST_F(ColumnPeakScanTest, SixteenBitScaling)
{
    // Column k holds one loud frame at its start.
    const Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(
        Mono16(50000, {{0, -32768}, {10000, 32767}, {20000, -16384}, {30000, 327}, {40000, 328}}))));
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{100, 99, 50, 0, 1}));
    EXPECT_EQ(doc.PeakLower, doc.PeakUpper);
}

TEST_F(ColumnPeakScanTest, EightBitScaling)
{
    std::vector<std::uint8_t> s(50000, 128);
    s[0] = 0;      // 128 -> 100
    s[10000] = 255; // 127 -> 99
    s[20000] = 1;   // 127 -> 99
    s[30000] = 64;  // 64 -> 50
    const Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 8).Samples(test::Pcm8(s)));
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{100, 99, 99, 50, 0}));
}

TEST_F(ColumnPeakScanTest, EightBitSilenceIsAllZero)
{
    const Document doc = LoadAt(WaveBuilder().Format(1, 2, 8000, 8).Samples(std::vector<unsigned char>(60000, 128)));
    EXPECT_EQ(doc.PeakUpper, std::vector<std::int16_t>(3, 0));
    EXPECT_EQ(doc.PeakLower, std::vector<std::int16_t>(3, 0));
}

TEST_F(ColumnPeakScanTest, OnlyEveryHundredthFrameIsLookedAt)
{
    const Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 16).Samples(
        test::Pcm16(Mono16(30000, {{50, 30000}, {10099, 30000}, {20100, 16384}}))));
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{0, 0, 50}));
}

TEST_F(ColumnPeakScanTest, StereoTakesUpperFromTheFirstChannelAndLowerFromTheSecond)
{
    std::vector<std::int16_t> s(2 * 20000, 0);
    s[0] = 16384;             // frame 0, first channel
    s[2 * 10000 + 1] = -32768; // frame 10000, second channel
    const Document doc = LoadAt(WaveBuilder().Format(1, 2, 8000, 16).Samples(test::Pcm16(s)));
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{50, 0}));
    EXPECT_EQ(doc.PeakLower, (std::vector<std::int16_t>{0, 100}));
}

TEST_F(ColumnPeakScanTest, FinestZoomJudgesAColumnFromTenFrames)
{
    const Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 16).Samples(
                                    test::Pcm16(Mono16(3000, {{900, 32767}, {1950, 32767}, {2000, 16384}}))),
                                1000);
    EXPECT_EQ(doc.ColumnCount, 3u);
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{99, 0, 50}));
}

TEST_F(ColumnPeakScanTest, BytesAfterThePayloadAreNotTakenAsSamples)
{
    // The last column's looks at frames 100, 200 ... fall after the 150
    // frames of payload, onto a loud trailing chunk.
    const Document doc = LoadAt(WaveBuilder()
                                    .Format(1, 1, 8000, 16)
                                    .Samples(test::Pcm16(Mono16(10150, {})))
                                    .ChunkAfterData("junk", std::vector<unsigned char>(4000, 0x7F)));
    EXPECT_EQ(doc.ColumnCount, 2u);
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{0, 0}));
}

TEST_F(ColumnPeakScanTest, ProgressClimbsToExactlyOneHundred)
{
    LoadAt(WaveBuilder().Format(1, 2, 44100, 16).Samples(std::vector<unsigned char>(4 * 777777, 0)));
    ASSERT_FALSE(loading.Percents.empty());
    EXPECT_EQ(loading.Last(), 100);
    EXPECT_TRUE(loading.NeverDecreases());
    // The bar moves only when its percentage changes.
    EXPECT_LE(loading.Percents.size(), 101u);
}

TEST_F(ColumnPeakScanTest, AReloadThatCannotReadTheFileStillFollowsTheZoom)
{
    Document doc = LoadAt(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(Mono16(30000, {}))));
    SelectAll(doc);
    File holder = File::Open(doc.WorkFile, File::Mode::ReadWrite);  // shuts readers out
    test::RecordingProgress reload;
    EXPECT_TRUE(ApplyZoomChange(doc, 1000, reload, dialogs));
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Cannot open the temporary file."});
    EXPECT_EQ(doc.ColumnCount, 30u);
    EXPECT_EQ(doc.PeakUpper.size(), 30u);
    EXPECT_EQ(doc.SelFinish, 29u);  // the end, on the new last column
    EXPECT_EQ(doc.SelFinishFrame, 30000u);
}

// Finer than 1000 frames a column no arrays are kept, nothing is read,
// and the bar still ends; coarser again, the scan is the one above.
TEST_F(ColumnPeakScanTest, FinerZoomsKeepNoArrays)
{
    Document doc = LoadAt(WaveBuilder().Format(1, 2, 8000, 16).Samples(std::vector<unsigned char>(4 * 30000, 9)));
    test::RecordingProgress reload;
    for (const ZoomLevel zoom : {ZoomLevel{500}, ZoomLevel{1}, ZoomLevel{1, 16}}) {
        ASSERT_TRUE(ApplyZoomChange(doc, zoom, reload, dialogs));
        EXPECT_EQ(doc.ColumnCount, ColumnCountFor(30000, zoom.FramesPerColumn));
        EXPECT_TRUE(doc.PeakUpper.empty());
        EXPECT_TRUE(doc.PeakLower.empty());
        EXPECT_EQ(reload.Last(), 100);
    }
    ASSERT_TRUE(ApplyZoomChange(doc, 1000, reload, dialogs));
    EXPECT_EQ(doc.PeakUpper.size(), 30u);
    EXPECT_TRUE(dialogs.Messages.empty());
}

struct FormatCase {
    int Channels;
    int Bits;
};

class ScanAgreesWithModel : public ColumnPeakScanTest,
                            public testing::WithParamInterface<std::tuple<FormatCase, std::int32_t>> {};

TEST_P(ScanAgreesWithModel, OnLargeRandomFiles)
{
    const auto [format, framesPerColumn] = GetParam();
    const int frameSize = (format.Bits == 8 ? 1 : 2) * (format.Channels == 1 ? 1 : 2);
    // Several window refills, a payload that ends inside a frame, and at
    // 1:1 enough columns for the scan to share them between two threads.
    const auto samples = test::RandomBytes(static_cast<std::size_t>(frameSize) * 2100003 + 1, 42u + format.Bits);
    const WaveBuilder builder = WaveBuilder()
                                    .Format(1, static_cast<std::uint16_t>(format.Channels), 44100,
                                            static_cast<std::uint16_t>(format.Bits))
                                    .ChunkBeforeData("LIST", std::vector<unsigned char>(13, 'z'))
                                    .Samples(samples);
    const Document doc = LoadAt(builder, framesPerColumn);

    test::ModelFormat model;
    model.Channels = format.Channels;
    model.BitsPerSample = format.Bits;
    model.DataOffset = doc.DataOffset;
    model.DataEnd = doc.DataEnd;
    model.FramesPerColumn = framesPerColumn;
    const auto expected = test::ModelScan(builder.Bytes(), model, doc.ColumnCount);
    EXPECT_EQ(doc.PeakUpper, expected.Upper);
    EXPECT_EQ(doc.PeakLower, expected.Lower);
}

INSTANTIATE_TEST_SUITE_P(ColumnPeakScan, ScanAgreesWithModel,
                         testing::Combine(testing::Values(FormatCase{1, 8}, FormatCase{2, 8}, FormatCase{1, 16},
                                                          FormatCase{2, 16}),
                                          testing::Values(10000, 6000, 1000)));

} // namespace
} // namespace velmora
