// velmora-cli end to end with the kinds FFmpeg opens and saves, against
// the ffmpeg tool: what a working file holds, segmented decode included,
// and what the FLAC, Ogg Vorbis and Opus saves give back.

#include "support/Media.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <tuple>

namespace velmora {
namespace {

class FormatsTest : public testing::Test {
protected:
    test::ProcessResult Cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), VELMORA_CLI_PATH);
        return test::RunProcess(args, {{"TMPDIR", tmp.Path()}});
    }

    // The value of a Name=value line of --info.
    static std::string Field(const std::string& out, const std::string& name)
    {
        const std::size_t at = ("\n" + out).find("\n" + name + "=");
        if (at == std::string::npos)
            return "";
        const std::size_t from = at + name.size() + 1;
        return out.substr(from, out.find('\n', from) - from);
    }

    // A tone on each channel over a little white noise, so that the lossy
    // coders have detail to keep; codec is the ffmpeg tool's options.
    std::string Make(const std::string& name, int rate, int channels, long frames, const std::string& codec,
                     double noise = 0.05)
    {
        std::string signal;
        for (int c = 0; c < channels; ++c)
            signal += (c == 0 ? "" : "|") + std::string("0.4*sin(2*PI*") + std::to_string(440 + 810 * c) + "*t)+" +
                      std::to_string(noise) + "*(random(" + std::to_string(c) + ")-0.5)";
        const std::string path = dir / name;
        EXPECT_TRUE(test::Shell("ffmpeg -nostdin -v error -f lavfi -i 'aevalsrc=" + signal + ":s=" +
                                std::to_string(rate) + ":d=" + std::to_string(frames / rate + 1) +
                                "' -af atrim=end_sample=" + std::to_string(frames) + " " + codec + " '" + path + "'"))
            << name;
        return path;
    }

    // The ffmpeg tool's decode of path as 16-bit bytes, with output options.
    static std::string Ffmpeg(const std::string& path, std::vector<std::string> options)
    {
        options.insert(options.begin(), {"ffmpeg", "-v", "error", "-i", path});
        options.insert(options.end(), {"-f", "s16le", "-"});
        return test::RunProcess(options).Out;
    }

    // A working file saved as WAV: the bytes after its 44-byte header.
    static std::string WorkSamples(const std::string& wav)
    {
        const auto bytes = test::ReadWholeFile(wav);
        if (bytes.size() < 44 || test::U32At(bytes, 40) != bytes.size() - 44)
            return "not a working file";
        return std::string(bytes.begin() + 44, bytes.end());
    }

    test::TempDir dir;
    test::TempDir tmp;
};

// Each kind, mono, stereo and 5.1, low, usual and high rates, 16 to 32
// bits: the working file is what the ffmpeg tool decodes, mixed down to
// stereo and at 48000 Hz where the source is Opus or above 65535 Hz, as
// the tool's own resampler and mix make them.  The Split rows exceed 256
// KiB at a rate the working file keeps, so their FLAC, ALAC or PCM packets
// are decoded in parallel segments.
TEST_F(FormatsTest, OpensEachKindToTheSamplesTheFfmpegToolDecodes)
{
    const struct {
        const char* Name;
        int Rate;
        int Channels;
        const char* Codec;
        bool Lossless;
        bool Split;
    } cases[] = {
        {"mono-8k.flac", 8000, 1, "-c:a flac -sample_fmt s16", true, false},
        {"stereo-44k-24bit.flac", 44100, 2, "-c:a flac -sample_fmt s32", true, true},
        {"mono-96k-24bit.flac", 96000, 1, "-c:a flac -sample_fmt s32", true, false},
        {"surround-44k.flac", 44100, 6, "-c:a flac -sample_fmt s16", true, true},
        {"stereo-44k.ogg", 44100, 2, "-c:a libvorbis", false, false},
        {"mono-8k.oga", 8000, 1, "-c:a libvorbis", false, false},
        {"stereo-96k.ogg", 96000, 2, "-c:a libvorbis", false, false},
        {"stereo-48k.opus", 48000, 2, "-c:a libopus", false, false},
        {"mono-8k.opus", 8000, 1, "-c:a libopus", false, false},
        {"stereo-44k-aac.m4a", 44100, 2, "-c:a aac", false, false},
        {"mono-8k-aac.m4a", 8000, 1, "-c:a aac", false, false},
        {"stereo-44k-24bit-alac.m4a", 44100, 2, "-c:a alac -sample_fmt s32p", true, true},
        {"mono-96k-alac.m4a", 96000, 1, "-c:a alac -sample_fmt s16p", true, false},
        {"stereo-44k.aac", 44100, 2, "-c:a aac", false, false},
        {"mono-22k.aac", 22050, 1, "-c:a aac", false, false},
        {"stereo-44k.aiff", 44100, 2, "-c:a pcm_s16be", true, true},
        {"mono-8k-24bit.aif", 8000, 1, "-c:a pcm_s24be", true, false},
        {"stereo-96k-32bit.aiff", 96000, 2, "-c:a pcm_s32be", true, false},
    };
    for (const auto& c : cases) {
        const std::string source = Make(c.Name, c.Rate, c.Channels, 3L * c.Rate, c.Codec);
        if (c.Split) {
            EXPECT_GT(std::filesystem::file_size(source), 256u << 10) << c.Name;
        }
        const int channels = std::min(c.Channels, 2);
        const bool resampled = c.Rate > 65535;
        const int rate = resampled || std::string(c.Name).ends_with(".opus") ? 48000 : c.Rate;
        const auto r = Cli({source, "--info", "--save", dir / "work.wav"});
        ASSERT_EQ(r.ExitCode, 0) << c.Name << ": " << r.Err;
        EXPECT_EQ(Field(r.Out, "SampleRate"), std::to_string(rate)) << c.Name;
        EXPECT_EQ(Field(r.Out, "Channels"), std::to_string(channels)) << c.Name;
        // A lossless source has no bit rate for a later Opus save to take
        // over, however low its rate.
        if (c.Lossless) {
            EXPECT_EQ(Field(r.Out, "SourceBitrate"), "0") << c.Name;
        } else {
            EXPECT_GT(std::atoi(Field(r.Out, "SourceBitrate").c_str()), 0) << c.Name;
        }
        std::vector<std::string> options;
        if (resampled)
            options.insert(options.end(), {"-ar", "48000"});
        if (c.Channels > 2)
            options.insert(options.end(), {"-ac", "2"});
        const std::string got = WorkSamples(dir / "work.wav");
        const std::string expected = Ffmpeg(source, options);
        EXPECT_EQ(Field(r.Out, "TotalFrames"), std::to_string(got.size() / 2 / channels)) << c.Name;
        EXPECT_EQ(got.size(), expected.size()) << c.Name;
        EXPECT_TRUE(got == expected) << c.Name;
    }
}

// FLAC gives back every sample.  Vorbis keeps every frame and the sound
// (measured 39.0 dB stereo, 40.7 dB mono at the default quality).  Opus
// holds the frames ffmpeg's resampler makes of the source at 48000 Hz,
// ceil(frames * 48000 / rate), which the mono length tells from rounding,
// and the sound (measured 34.9 and 41.2 dB at 96 kbit/s).  The lengths are
// no multiple of any codec's frame, so a padded or cut end shows.  Bit rate
// and quality size the files, and a title outside ASCII comes back.
TEST_F(FormatsTest, SavesFlacOggVorbisAndOpusThatTheFfmpegToolDecodes)
{
    const std::string title = "Morgenlied – Übung Ω";
    for (const auto& [rate, channels, frames] : {std::tuple{44100, 2, 123457L}, std::tuple{22050, 1, 61729L}}) {
        const std::string label = std::to_string(rate) + " Hz";
        const std::string source = Make(std::to_string(rate) + ".wav", rate, channels, frames, "-c:a pcm_s16le", 0.01);
        const std::string out = dir / "out";
        const auto r = Cli({source, "--tag", "title=" + title, "--save", out + ".flac", "--save", out + ".ogg",
                            "--save", out + ".opus", "--bitrate", "64", "--save", out + "-64k.opus", "--quality",
                            "2", "--save", out + "-q2.ogg", "--quality", "8", "--save", out + "-q8.ogg"});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;

        const auto original = test::DecodeWithFfmpeg(source);
        ASSERT_EQ(original.size(), static_cast<std::size_t>(frames * channels)) << label;
        EXPECT_TRUE(test::DecodeWithFfmpeg(out + ".flac") == original) << label;
        const auto vorbis = test::DecodeWithFfmpeg(out + ".ogg");
        EXPECT_EQ(vorbis.size(), original.size()) << label;
        EXPECT_GE(test::SnrDb(original, vorbis, channels, 0), 32.0) << label;

        ASSERT_TRUE(test::Shell("ffmpeg -nostdin -y -v error -i '" + source + "' -ar 48000 '" + out + "-48k.wav'"));
        const auto at48k = test::DecodeWithFfmpeg(out + "-48k.wav");
        const auto opus = test::DecodeWithFfmpeg(out + ".opus");
        EXPECT_EQ(at48k.size(), static_cast<std::size_t>((frames * 48000 + rate - 1) / rate * channels)) << label;
        EXPECT_EQ(opus.size(), at48k.size()) << label;
        EXPECT_GE(test::SnrDb(at48k, opus, channels, 0), 28.0) << label;

        const auto size = [&](const std::string& suffix) { return std::filesystem::file_size(out + suffix); };
        EXPECT_LT(size("-64k.opus"), size(".opus")) << label;
        EXPECT_LT(size("-q2.ogg"), size(".ogg")) << label;
        EXPECT_LT(size(".ogg"), size("-q8.ogg")) << label;
        for (const auto& [suffix, codec] : {std::pair{".flac", "flac"}, std::pair{".ogg", "vorbis"},
                                            std::pair{".opus", "opus"}}) {
            const auto facts = test::Probe(out + suffix);
            EXPECT_EQ(facts.Codec, codec) << label;
            EXPECT_EQ(facts.SampleRate, codec == std::string("opus") ? 48000 : rate) << label << suffix;
            EXPECT_EQ(facts.Channels, channels) << label << suffix;
            EXPECT_EQ(Cli({out + suffix, "--tags"}).Out, "Tag.Title=" + title + "\n") << label << suffix;
        }
    }
}

} // namespace
} // namespace velmora
