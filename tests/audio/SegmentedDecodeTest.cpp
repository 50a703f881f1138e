// Decoding in segments on several threads gives exactly the bytes of the
// one sequential decode, for MP3 (CBR, VBR, mono, 22.05 / 44.1 / 48 kHz)
// and WMA, split two, three and five ways; a stream that changes its
// format on the way, or whose decoder draws noise, is left to the
// sequential decode.

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "import/SegmentedDecode.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"
#include "platform/audio/DecodeChannel.h"
#include "support/Fakes.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmora {
namespace {

using Bytes = std::vector<unsigned char>;

// What the sequential decoding stream delivers.
Bytes DecodeInOnePiece(const std::string& path)
{
    auto channel = DecodeChannel::Open(path);
    EXPECT_TRUE(channel);
    Bytes all;
    std::vector<unsigned char> block(1 << 16);
    for (;;) {
        const std::uint32_t got = channel->Read(block.data(), static_cast<std::uint32_t>(block.size()));
        if (got == static_cast<std::uint32_t>(-1))
            break;
        all.insert(all.end(), block.begin(), block.begin() + got);
    }
    return all;
}

struct Source {
    const char* Name;
    const char* Make;  // shell command making $OUT from $WAV
    int Rate;
    int Channels;
    int Seconds;
};

class SegmentedDecodeTest : public testing::TestWithParam<Source> {
protected:
    std::string Make(const Source& s)
    {
        const std::string wav = dir / "in.wav";
        const std::string out = dir / s.Name;
        EXPECT_TRUE(test::Shell("sox -n -r " + std::to_string(s.Rate) + " -c " + std::to_string(s.Channels) +
                                " -b 16 '" + wav + "' synth " + std::to_string(s.Seconds) +
                                " pinknoise vol 0.4"));
        EXPECT_TRUE(test::Shell("WAV='" + wav + "' OUT='" + out + "'; " + s.Make));
        return out;
    }

    Bytes DecodeSplit(const std::string& path, unsigned segments, SegmentedEnd& end)
    {
        const std::string work = dir / "work.pcm";
        File file = File::Open(work, File::Mode::Create);
        NullProgress none;
        ProgressMeter meter(none);
        end = DecodeInSegments(path, file, 0, 0, 0xFFFFFFFFu, dir / "part", meter, segments).End;
        file.Close();
        return test::ReadWholeFile(work);
    }

    test::TempDir dir;
};

TEST_P(SegmentedDecodeTest, GivesTheBytesOfTheWholeDecode)
{
    const std::string path = Make(GetParam());
    const Bytes whole = DecodeInOnePiece(path);
    ASSERT_GT(whole.size(), 100000u);
    for (unsigned segments : {2u, 3u, 5u}) {
        SegmentedEnd end = SegmentedEnd::Failed;
        const Bytes split = DecodeSplit(path, segments, end);
        ASSERT_EQ(end, SegmentedEnd::Decoded) << segments;
        ASSERT_EQ(split.size(), whole.size()) << segments;
        EXPECT_TRUE(split == whole) << segments << " segments";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SegmentedDecodeTest,
    testing::Values(Source{"cbr.mp3", "lame --quiet -b 128 \"$WAV\" \"$OUT\"", 44100, 2, 30},
                    Source{"vbr.mp3", "lame --quiet -V 2 \"$WAV\" \"$OUT\"", 44100, 2, 30},
                    Source{"mono22.mp3", "lame --quiet -b 64 \"$WAV\" \"$OUT\"", 22050, 1, 60},
                    Source{"s48.mp3", "lame --quiet -b 160 \"$WAV\" \"$OUT\"", 48000, 2, 30},
                    Source{"s44.wma", "ffmpeg -v error -i \"$WAV\" -c:a wmav2 -b:a 128k \"$OUT\"", 44100, 2, 30},
                    Source{"m48.wma", "ffmpeg -v error -i \"$WAV\" -c:a wmav2 -b:a 64k \"$OUT\"", 48000, 1, 60},
                    Source{"m22.wma", "ffmpeg -v error -i \"$WAV\" -c:a wmav1 -b:a 32k \"$OUT\"", 22050, 1, 60}),
    [](const auto& info) {
        std::string name = info.param.Name;
        name.erase(name.find('.'), 1);
        return name;
    });

// Nothing is written in segments; the open then decodes path in one
// piece, as the whole decode does.
void ExpectDecodedInOnePiece(const std::string& path, const test::TempDir& dir)
{
    File work = File::Open(dir / "work.pcm", File::Mode::Create);
    NullProgress none;
    ProgressMeter meter(none);
    EXPECT_EQ(DecodeInSegments(path, work, 0, 0, 0xFFFFFFFFu, dir / "part", meter, 3).End,
              SegmentedEnd::NotPossible);
    EXPECT_EQ(work.Size(), 0u);
    work.Close();

    Document doc;
    doc.TempFolder = dir / "";
    doc.SourceFile = path;
    test::RecordingDialogs dialogs;
    ASSERT_EQ(RunOpenBody(doc, none, none, dialogs), OpenEnd::Loaded);
    const Bytes working = test::ReadWholeFile(doc.WorkFile);
    const Bytes whole = DecodeInOnePiece(path);
    ASSERT_EQ(working.size(), 44 + whole.size());
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), working.begin() + 44));
}

TEST(SegmentedDecode, AStreamThatChangesItsFormatIsDecodedInOnePiece)
{
    test::TempDir dir;
    const std::string a = dir / "a.mp3";
    const std::string b = dir / "b.mp3";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + dir / "a.wav" + "' synth 20 pinknoise vol 0.4 && "
                            "lame --quiet -b 128 '" + dir / "a.wav" + "' '" + a + "'"));
    ASSERT_TRUE(test::Shell("sox -n -r 22050 -c 1 -b 16 '" + dir / "b.wav" + "' synth 40 pinknoise vol 0.4 && "
                            "lame --quiet -b 64 '" + dir / "b.wav" + "' '" + b + "'"));
    const std::string joined = dir / "joined.mp3";
    ASSERT_TRUE(test::Shell("cat '" + a + "' '" + b + "' > '" + joined + "'"));
    ExpectDecodedInOnePiece(joined, dir);
}

// A joined FLAC whose second part claims 3 Hz: resampled to the first
// part's 8000 Hz its frames would be thousands of times longer than the
// file.  They are left out as damage.
TEST(SegmentedDecode, FramesAtAnAbsurdlyLowRateAreLeftOut)
{
    test::TempDir dir;
    const std::string a = dir / "a.flac";
    const std::string b = dir / "b.flac";
    ASSERT_TRUE(test::Shell("sox -n -r 8000 -c 1 -b 16 '" + dir / "a.wav" + "' synth 0.5 sine 440 && "
                            "ffmpeg -v error -i '" + dir / "a.wav" + "' '" + a + "' && "
                            "sox -n -r 8000 -c 1 -b 16 '" + dir / "b.wav" + "' synth 1 sine 1 && "
                            "ffmpeg -v error -i '" + dir / "b.wav" + "' -af asetrate=3 '" + b + "'"));
    const std::string joined = dir / "joined.flac";
    ASSERT_TRUE(test::Shell("cat '" + a + "' '" + b + "' > '" + joined + "'"));
    ExpectDecodedInOnePiece(joined, dir);
    // The first part's 4000 frames, and no more than the file's own frames
    // (the parser may resynchronise on a stray frame at the join).
    const std::size_t bytes = DecodeInOnePiece(joined).size();
    EXPECT_GE(bytes, 4000u * 2);
    EXPECT_LE(bytes, (4000u + 8000u) * 2);
}

// At low bit rates the WMA decoder fills bands with noise from a generator
// whose state runs through the whole stream.
TEST(SegmentedDecode, AWmaStreamFilledWithNoiseIsDecodedInOnePiece)
{
    test::TempDir dir;
    const std::string wma = dir / "low.wma";
    ASSERT_TRUE(test::Shell("sox -n -r 16000 -c 2 -b 16 '" + dir / "in.wav" + "' synth 60 pinknoise vol 0.4 && "
                            "ffmpeg -v error -i '" + dir / "in.wav" + "' -c:a wmav2 -b:a 48k '" + wma + "'"));
    ExpectDecodedInOnePiece(wma, dir);
}

} // namespace
} // namespace velmora
