// The five edits on the working file: where Delete and Cut Out cut, the
// sample arithmetic of Volume and the fades, the markers and header sizes
// afterwards, and agreement with the literal model across formats.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "document/Zoom.h"
#include "edit/DeleteCutOut.h"
#include "edit/Fades.h"
#include "edit/VolumeChange.h"
#include "platform/File.h"
#include "support/Fakes.h"
#include "support/ReferenceModel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

using test::Bytes;
using test::WaveBuilder;

class EditTest : public testing::Test {
protected:
    void Open(const WaveBuilder& builder, std::int32_t framesPerColumn = 10000)
    {
        doc = Document{};
        doc.WorkFile = dir / "AudioTemp.wav";
        builder.WriteTo(doc.WorkFile);
        NullProgress none;
        ASSERT_TRUE(LoadWorkFile(doc, none, dialogs));
        if (framesPerColumn != 10000)
            ApplyZoomChange(doc, framesPerColumn, none, dialogs);
        SetMarkers(doc, 0, doc.ColumnCount - 1);
    }

    void Markers(std::uint32_t start, std::uint32_t finish)
    {
        SetMarkers(doc, start, finish);
    }

    Bytes File() const { return test::ReadWholeFile(doc.WorkFile); }

    // Sample value of frame f, channel c, in the working file as it is now.
    std::int16_t Sample16(std::uint32_t frame, int channel) const
    {
        return test::S16At(File(), doc.DataOffset + frame * doc.FrameSize + 2 * channel);
    }

    void ExpectSizesMatchLength() const
    {
        const Bytes bytes = File();
        EXPECT_EQ(test::U32At(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(test::U32At(bytes, doc.DataOffset - 4), bytes.size() - doc.DataOffset);
        EXPECT_EQ(doc.DataEnd, bytes.size());
    }

    test::TempDir dir;
    test::RecordingDialogs dialogs;
    test::RecordingProgress processing;
    test::RecordingProgress reloading;
    Document doc;
};

WaveBuilder Tagged16(std::uint32_t frames, int channels = 2)
{
    return WaveBuilder().Format(1, static_cast<std::uint16_t>(channels), 44100, 16).Samples(test::Pcm16(test::FrameTagged16(frames, channels)));
}

// ---- Delete and Cut Out -------------------------------------------------

TEST_F(EditTest, DeleteRemovesTheFramesOfTheMarkedColumns)
{
    Open(Tagged16(225000));  // 23 columns, the last one partial
    Markers(10, 20);
    ASSERT_EQ(RunDeleteBody(doc, processing, reloading, dialogs), EditEnd::Done);
    SetMarkersAfterDelete(doc);

    EXPECT_EQ(doc.TotalFrames, 125000u);
    EXPECT_EQ(doc.ColumnCount, 13u);
    EXPECT_EQ(doc.DataSize, 125000u * 4);
    EXPECT_EQ(doc.DurationSeconds, 2u);
    EXPECT_EQ(doc.PeakUpper.size(), 13u);
    EXPECT_EQ(Sample16(99999, 0), test::Tag16(99999, 0));
    EXPECT_EQ(Sample16(100000, 0), test::Tag16(200000, 0));
    EXPECT_EQ(Sample16(100000, 1), test::Tag16(200000, 1));
    EXPECT_EQ(Sample16(124999, 1), test::Tag16(224999, 1));
    EXPECT_EQ(doc.SelStart, 10u);
    EXPECT_EQ(doc.SelFinish, 11u);
    ExpectSizesMatchLength();
    EXPECT_EQ(processing.Last(), 100);
    EXPECT_EQ(reloading.Last(), 100);
}

TEST_F(EditTest, CutOutKeepsOnlyTheMarkedColumns)
{
    Open(Tagged16(225000));
    Markers(10, 20);
    ASSERT_EQ(RunCutOutBody(doc, processing, reloading, dialogs), EditEnd::Done);
    SetMarkersAfterCutOut(doc);

    EXPECT_EQ(doc.TotalFrames, 100000u);
    EXPECT_EQ(doc.ColumnCount, 10u);
    EXPECT_EQ(Sample16(0, 0), test::Tag16(100000, 0));
    EXPECT_EQ(Sample16(99999, 1), test::Tag16(199999, 1));
    EXPECT_EQ(doc.SelStart, 0u);
    EXPECT_EQ(doc.SelFinish, 9u);
    ExpectSizesMatchLength();
    // (Keeping less than half, it went into a new file that took the name.)
    EXPECT_FALSE(std::filesystem::exists(doc.WorkFile + ".new"));
}

// The finish marker on the last column takes the range to the end of the
// audio: the last (partial) column is edited too.
TEST_F(EditTest, CutOutOfTheWholeSelectionKeepsEverything)
{
    Open(Tagged16(35000));
    ASSERT_EQ(RunCutOutBody(doc, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_EQ(doc.TotalFrames, 35000u);
    EXPECT_EQ(Sample16(34999, 0), test::Tag16(34999, 0));
}

TEST_F(EditTest, DeleteUpToTheLastColumnTakesEverythingAfterTheStart)
{
    Open(Tagged16(35000));
    Markers(1, 3);
    ASSERT_EQ(RunDeleteBody(doc, processing, reloading, dialogs), EditEnd::Done);
    SetMarkersAfterDelete(doc);
    EXPECT_EQ(doc.TotalFrames, 10000u);
    EXPECT_EQ(Sample16(9999, 0), test::Tag16(9999, 0));
    EXPECT_EQ(doc.SelStart, 0u);  // both on the new last column
    EXPECT_EQ(doc.SelFinish, 0u);

    // Everything: no column is left, and the markers stay at 0.
    Markers(0, 0);
    ASSERT_EQ(RunDeleteBody(doc, processing, reloading, dialogs), EditEnd::Done);
    SetMarkersAfterDelete(doc);
    EXPECT_EQ(doc.TotalFrames, 0u);
    EXPECT_EQ(doc.ColumnCount, 0u);
    EXPECT_EQ(doc.SelStart, 0u);
    EXPECT_EQ(doc.SelFinish, 0u);
    EXPECT_EQ(File().size(), 44u);
}

// Select All then a fade reaches the very last frame: the frames past the
// hundredth step take the last step (1 % out, 99 % in), never a step
// beyond it (-1 % would turn the signal over, 101 % clip it).
TEST_F(EditTest, SelectAllThenAFadeReachesTheLastFrame)
{
    for (bool fadeIn : {false, true}) {
        Open(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(std::vector<std::int16_t>(2599, 10000))), 1000);
        SelectAll(doc);  // N = 2599, L = 25: 99 frames past the hundredth step
        ASSERT_EQ((fadeIn ? RunFadeInBody : RunFadeOutBody)(doc, processing, reloading, dialogs), EditEnd::Done);
        EXPECT_EQ(Sample16(0, 0), fadeIn ? 0 : 10000);
        EXPECT_EQ(Sample16(2474, 0), fadeIn ? 9800 : 200);
        EXPECT_EQ(Sample16(2475, 0), fadeIn ? 9900 : 100);
        EXPECT_EQ(Sample16(2500, 0), fadeIn ? 9900 : 100);
        EXPECT_EQ(Sample16(2598, 0), fadeIn ? 9900 : 100);
    }
}

TEST_F(EditTest, DeleteOfAnEmptySelectionChangesNoSample)
{
    Open(Tagged16(35000));
    Markers(2, 2);
    const Bytes before = File();
    ASSERT_EQ(RunDeleteBody(doc, processing, reloading, dialogs), EditEnd::Done);
    SetMarkersAfterDelete(doc);
    EXPECT_EQ(File(), before);
    EXPECT_EQ(doc.SelFinish, 3u);
    EXPECT_EQ(reloading.Last(), 100);
}

TEST_F(EditTest, DeleteAndCutOutDropChunksAfterThePayload)
{
    for (bool cutOut : {false, true}) {
        Open(Tagged16(30000).ChunkAfterData("LIST", Bytes(100, 'x')));
        Markers(0, 1);
        const auto end = cutOut ? RunCutOutBody(doc, processing, reloading, dialogs)
                                : RunDeleteBody(doc, processing, reloading, dialogs);
        ASSERT_EQ(end, EditEnd::Done);
        EXPECT_EQ(File().size(), 44u + (cutOut ? 10000u : 20000u) * 4);
        ExpectSizesMatchLength();
    }
}

TEST_F(EditTest, DeleteAndCutOutKeepTheFormatChunkOfA46ByteHeader)
{
    Open(Tagged16(30000).FormatExtra({0, 0}));
    const Bytes before = File();
    Markers(1, 2);
    ASSERT_EQ(RunDeleteBody(doc, processing, reloading, dialogs), EditEnd::Done);
    const Bytes after = File();
    EXPECT_EQ(doc.DataOffset, 46u);
    EXPECT_TRUE(std::equal(before.begin() + 8, before.begin() + 42, after.begin() + 8));
    ExpectSizesMatchLength();
}

TEST_F(EditTest, CutOutOfAnEmptySelectionIsRefused)
{
    Open(Tagged16(30000));
    Markers(1, 1);
    const Bytes before = File();
    const Document docBefore = doc;
    EXPECT_EQ(RunCutOutBody(doc, processing, reloading, dialogs), EditEnd::Refused);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"The selection is empty."});
    EXPECT_EQ(File(), before);
    EXPECT_EQ(doc.TotalFrames, docBefore.TotalFrames);
    EXPECT_EQ(doc.ColumnCount, docBefore.ColumnCount);
}

TEST_F(EditTest, EditsOfAFileHeldByAnotherWriterChangeNothing)
{
    Open(Tagged16(30000));
    Markers(0, 2);
    const Bytes before = File();
    velmora::File holder = velmora::File::Open(doc.WorkFile, velmora::File::Mode::ReadWrite);
    ASSERT_TRUE(holder.IsOpen());
    NullProgress none;
    EXPECT_EQ(RunDeleteBody(doc, none, none, dialogs), EditEnd::NotOpened);
    EXPECT_EQ(RunCutOutBody(doc, none, none, dialogs), EditEnd::NotOpened);
    EXPECT_EQ(RunVolumeBody(doc, 0.5f, false, none, none, dialogs), EditEnd::NotOpened);
    EXPECT_EQ(RunFadeInBody(doc, none, none, dialogs), EditEnd::NotOpened);
    EXPECT_EQ(RunFadeOutBody(doc, none, none, dialogs), EditEnd::NotOpened);
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>(5, "Cannot open the temporary file."));
    EXPECT_EQ(File(), before);
    EXPECT_EQ(doc.TotalFrames, 30000u);
}

// ---- Volume --------------------------------------------------------------

struct VolumeCase {
    int Bits;
    int Percent;
    int In;    // 16-bit sample, or 8-bit byte
    int Out;
};

class VolumeArithmetic : public EditTest, public testing::WithParamInterface<VolumeCase> {};

TEST_P(VolumeArithmetic, ScalesTruncatesAndClamps)
{
    const VolumeCase c = GetParam();
    if (c.Bits == 16)
        Open(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(std::vector<std::int16_t>(3000, static_cast<std::int16_t>(c.In)))), 1000);
    else
        Open(WaveBuilder().Format(1, 1, 8000, 8).Samples(test::Pcm8(std::vector<std::uint8_t>(3000, static_cast<std::uint8_t>(c.In)))), 1000);
    Markers(0, 1);
    ASSERT_EQ(RunVolumeBody(doc, *GainForPercent(c.Percent), false, processing, reloading, dialogs), EditEnd::Done);
    const Bytes bytes = File();
    const int first = c.Bits == 16 ? test::S16At(bytes, 44) : bytes[44];
    const int outside = c.Bits == 16 ? test::S16At(bytes, 44 + 2 * 1000) : bytes[44 + 1000];
    EXPECT_EQ(first, c.Out);
    EXPECT_EQ(outside, c.In);  // the finish marker's column is not part of the range
}

INSTANTIATE_TEST_SUITE_P(Volume, VolumeArithmetic,
                         testing::Values(VolumeCase{16, 250, 20000, 32767}, VolumeCase{16, 150, -32768, -32767},
                                         VolumeCase{16, 75, -3, -2}, VolumeCase{16, 250, 1000, 2500},
                                         VolumeCase{16, 25, -32768, -8192}, VolumeCase{16, 50, 3, 1},
                                         VolumeCase{8, 50, 55, 92}, VolumeCase{8, 200, 0, 0},
                                         VolumeCase{8, 250, 255, 255}, VolumeCase{8, 150, 200, 236},
                                         VolumeCase{8, 25, 128, 128}));

TEST_F(EditTest, MuteWritesSilenceWhateverTheGain)
{
    for (int bits : {8, 16}) {
        Open(WaveBuilder().Format(1, 2, 8000, static_cast<std::uint16_t>(bits)).Samples(test::RandomBytes(20000 * 4, 7)), 1000);
        Markers(3, 7);
        const Bytes before = File();
        ASSERT_EQ(RunVolumeBody(doc, 2.5f, true, processing, reloading, dialogs), EditEnd::Done);
        const Bytes after = File();
        const std::size_t frameSize = static_cast<std::size_t>(doc.FrameSize);
        const std::size_t from = 44 + 3000 * frameSize;
        const std::size_t to = 44 + 7000 * frameSize;
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (i >= from && i < to)
                ASSERT_EQ(after[i], bits == 8 ? 128 : 0) << i;
            else
                ASSERT_EQ(after[i], before[i]) << i;
        }
    }
}

TEST_F(EditTest, HundredPercentWithoutMuteDoesNotTouchTheFile)
{
    Open(Tagged16(30000));
    velmora::File holder = velmora::File::Open(doc.WorkFile, velmora::File::Mode::ReadWrite);
    EXPECT_EQ(RunVolumeBody(doc, 1.0f, false, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_TRUE(dialogs.Messages.empty());  // the file was not even opened
    EXPECT_TRUE(reloading.Percents.empty()); // and not rescanned
}

// ---- Fades -----------------------------------------------------------------

TEST_F(EditTest, FadeInRisesInHundredSteps)
{
    Open(WaveBuilder().Format(1, 2, 8000, 16).Samples(test::Pcm16(std::vector<std::int16_t>(2 * 3000, 10000))), 1000);
    Markers(0, 1);  // N = 1000, L = 10 (column 1 is not the last)
    ASSERT_EQ(RunFadeInBody(doc, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_EQ(Sample16(0, 0), 0);
    EXPECT_EQ(Sample16(9, 1), 0);
    EXPECT_EQ(Sample16(10, 0), 100);
    EXPECT_EQ(Sample16(19, 1), 100);
    EXPECT_EQ(Sample16(500, 0), 5000);
    EXPECT_EQ(Sample16(990, 0), 9900);
    EXPECT_EQ(Sample16(999, 1), 9900);
    EXPECT_EQ(Sample16(1000, 0), 10000);  // outside the range
}

TEST_F(EditTest, FadeOutFallsInHundredSteps)
{
    std::vector<std::int16_t> s(1000 * 2, 10000);
    s[0] = -32768;
    s[1] = 12345;
    s[2 * 995] = -199;
    Open(WaveBuilder().Format(1, 2, 8000, 16).Samples(test::Pcm16(s)), 1000);
    Markers(0, 0);
    SetMarkers(doc, doc.SelStart, 1);  // the range is the whole (single) column
    ASSERT_EQ(RunFadeOutBody(doc, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_EQ(Sample16(0, 0), -32767);  // 100 % leaves all but -32768 as it was
    EXPECT_EQ(Sample16(0, 1), 12345);
    EXPECT_EQ(Sample16(990, 0), 100);
    EXPECT_EQ(Sample16(995, 0), -1);
}

TEST_F(EditTest, EightBitFadesTruncateTowardTheCentre)
{
    // Frames 500..509 get 50 %.
    std::vector<std::uint8_t> s(1000, 128);
    s[500] = 0;
    s[501] = 255;
    Open(WaveBuilder().Format(1, 1, 8000, 8).Samples(test::Pcm8(s)), 1000);
    SetMarkers(doc, doc.SelStart, 1);
    ASSERT_EQ(RunFadeInBody(doc, processing, reloading, dialogs), EditEnd::Done);
    const Bytes bytes = File();
    EXPECT_EQ(bytes[44 + 500], 64);
    EXPECT_EQ(bytes[44 + 501], 191);
}

TEST_F(EditTest, EverySixteenBitValueAtEveryStepAgreesWithIntegerArithmetic)
{
    // Every value at each of the fade's hundred percentages (and at every
    // volume): the fast arithmetic must be the integer one, value for value.
    constexpr std::uint32_t step = 65540;  // frames per percentage, a multiple of 10
    std::vector<std::int16_t> values(100 * step);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(static_cast<std::int32_t>(i % step % 65536) - 32768);
    const WaveBuilder builder = WaveBuilder().Format(1, 1, 48000, 16).Samples(test::Pcm16(values));
    test::ModelFormat f;
    f.Channels = 1;
    f.FramesPerColumn = 1000;
    for (int edit = 0; edit < 2 + 7; ++edit) {
        Open(builder, 1000);
        SetMarkers(doc, doc.SelStart, doc.ColumnCount - 1);  // 100 * step frames, all of them
        f.DataEnd = doc.DataEnd;
        const Bytes before = File();
        Bytes expected;
        if (edit < 2) {
            expected = test::ModelFade(before, f, 0, doc.SelFinish, edit == 0);
            ASSERT_EQ(edit == 0 ? RunFadeInBody(doc, processing, reloading, dialogs)
                                : RunFadeOutBody(doc, processing, reloading, dialogs),
                      EditEnd::Done);
        } else {
            const VolumeItem& item = VolumeItems[edit - 2];
            expected = test::ModelVolume(before, f, 0, doc.SelFinish, item.Gain, false);
            ASSERT_EQ(RunVolumeBody(doc, item.Gain, false, processing, reloading, dialogs), EditEnd::Done);
        }
        EXPECT_TRUE(File() == expected) << edit;
    }
}

TEST_F(EditTest, EmptyRangeChangesNothingButIsRescanned)
{
    Open(Tagged16(30000));
    Markers(1, 1);
    const Bytes before = File();
    for (auto body : {&RunFadeInBody, &RunFadeOutBody}) {
        test::RecordingProgress rescan;
        ASSERT_EQ(body(doc, processing, rescan, dialogs), EditEnd::Done);
        EXPECT_EQ(rescan.Last(), 100);
    }
    test::RecordingProgress rescan;
    ASSERT_EQ(RunVolumeBody(doc, 0.5f, false, processing, rescan, dialogs), EditEnd::Done);
    EXPECT_EQ(rescan.Last(), 100);
    EXPECT_EQ(File(), before);
}

TEST_F(EditTest, PeaksFollowTheRewrite)
{
    Open(WaveBuilder().Format(1, 1, 8000, 16).Samples(test::Pcm16(std::vector<std::int16_t>(40000, 32767))));
    Markers(1, 2);
    ASSERT_EQ(RunVolumeBody(doc, 0.5f, false, processing, reloading, dialogs), EditEnd::Done);
    EXPECT_EQ(doc.PeakUpper, (std::vector<std::int16_t>{99, 49, 99, 99}));
}

// ---- Against the literal model ---------------------------------------------

enum class Edit { Delete, CutOut, Volume150, Volume25, Mute, FadeIn, FadeOut };

struct ModelCase {
    int Channels;
    int Bits;
    std::int32_t FramesPerColumn;
    Edit What;
};

class EditsAgreeWithModel : public EditTest, public testing::WithParamInterface<ModelCase> {};

TEST_P(EditsAgreeWithModel, ByteForByte)
{
    const ModelCase c = GetParam();
    const int frameSize = (c.Bits == 8 ? 1 : 2) * (c.Channels == 1 ? 1 : 2);
    // Well over one rewrite block, ending in a partial column and a stray
    // byte, with a chunk before and after the payload.
    const std::uint32_t frames = 2u * (1u << 20) / static_cast<std::uint32_t>(frameSize) + 4321;
    const WaveBuilder builder = WaveBuilder()
                                    .Format(1, static_cast<std::uint16_t>(c.Channels), 22050, static_cast<std::uint16_t>(c.Bits))
                                    .ChunkBeforeData("LIST", Bytes(9, 'q'))
                                    .Samples(test::RandomBytes(static_cast<std::size_t>(frames) * frameSize + 1, 99))
                                    .ChunkAfterData("id3 ", Bytes(10, 'r'));
    Open(builder, c.FramesPerColumn);
    const std::uint32_t start = doc.ColumnCount / 5;
    const std::uint32_t finish = doc.ColumnCount - 2;
    Markers(start, finish);

    test::ModelFormat f;
    f.Channels = c.Channels;
    f.BitsPerSample = c.Bits;
    f.DataOffset = doc.DataOffset;
    f.DataEnd = doc.DataEnd;
    f.FramesPerColumn = c.FramesPerColumn;
    const Bytes before = File();
    Bytes expected;
    EditEnd end = EditEnd::Done;
    switch (c.What) {
    case Edit::Delete:
        expected = test::ModelDelete(before, f, start, finish);
        end = RunDeleteBody(doc, processing, reloading, dialogs);
        break;
    case Edit::CutOut:
        expected = test::ModelCutOut(before, f, start, finish);
        end = RunCutOutBody(doc, processing, reloading, dialogs);
        break;
    case Edit::Volume150:
        expected = test::ModelVolume(before, f, start, finish, 1.5f, false);
        end = RunVolumeBody(doc, 1.5f, false, processing, reloading, dialogs);
        break;
    case Edit::Volume25:
        expected = test::ModelVolume(before, f, start, finish, 0.25f, false);
        end = RunVolumeBody(doc, 0.25f, false, processing, reloading, dialogs);
        break;
    case Edit::Mute:
        expected = test::ModelVolume(before, f, start, finish, 1.0f, true);
        end = RunVolumeBody(doc, 1.0f, true, processing, reloading, dialogs);
        break;
    case Edit::FadeIn:
        expected = test::ModelFade(before, f, start, finish, true);
        end = RunFadeInBody(doc, processing, reloading, dialogs);
        break;
    case Edit::FadeOut:
        expected = test::ModelFade(before, f, start, finish, false);
        end = RunFadeOutBody(doc, processing, reloading, dialogs);
        break;
    }
    ASSERT_EQ(end, EditEnd::Done);
    const Bytes after = File();
    ASSERT_EQ(after.size(), expected.size());
    EXPECT_TRUE(after == expected);

    f.DataEnd = doc.DataEnd;
    const auto peaks = test::ModelScan(after, f, doc.ColumnCount);
    EXPECT_EQ(doc.PeakUpper, peaks.Upper);
    EXPECT_EQ(doc.PeakLower, peaks.Lower);
    EXPECT_EQ(processing.Last(), 100);
    EXPECT_TRUE(processing.NeverDecreases());
}

std::vector<ModelCase> AllModelCases()
{
    std::vector<ModelCase> cases;
    const std::pair<int, int> formats[] = {{1, 8}, {2, 8}, {1, 16}, {2, 16}};
    const Edit edits[] = {Edit::Delete, Edit::CutOut, Edit::Volume150, Edit::Volume25,
                          Edit::Mute,   Edit::FadeIn, Edit::FadeOut};
    int i = 0;
    for (auto [channels, bits] : formats)
        for (Edit e : edits)
            cases.push_back({channels, bits, (i++ % 2) ? 1000 : 6000, e});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Edits, EditsAgreeWithModel, testing::ValuesIn(AllModelCases()));

} // namespace
} // namespace velmora
