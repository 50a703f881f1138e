// velmora-cli end to end: the interface (steps, exit codes, messages), the
// printed document, byte-exact results of edits on real files made by sox,
// and the private working folder.

#include "support/Media.h"
#include "support/Process.h"
#include "support/ReferenceModel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <csignal>
#include <array>
#include <random>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace velmora {
namespace {

using test::WaveBuilder;

class CliTest : public testing::Test {
protected:
    test::ProcessResult Cli(std::vector<std::string> args)
    {
        args.insert(args.begin(), VELMORA_CLI_PATH);
        // The working folder goes below a folder of the test's own, so that
        // the test can see it is gone afterwards.
        return test::RunProcess(args, {{"TMPDIR", tmp.Path()}});
    }

    std::map<std::string, std::string> Info(const std::string& out)
    {
        std::map<std::string, std::string> fields;
        std::istringstream lines(out);
        std::string line;
        while (std::getline(lines, line)) {
            const auto eq = line.find('=');
            if (eq != std::string::npos)
                fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
        return fields;
    }

    bool TmpIsEmpty() const { return std::filesystem::is_empty(tmp.Path()); }

    test::TempDir dir;
    test::TempDir tmp;
};

TEST_F(CliTest, HelpAndUsageErrors)
{
    const auto help = Cli({"--help"});
    EXPECT_EQ(help.ExitCode, 0);
    EXPECT_NE(help.Out.find("velmora-cli INPUT [STEP ...]"), std::string::npos);
    const auto version = Cli({"--version"});
    EXPECT_EQ(version.ExitCode, 0);
    EXPECT_TRUE(version.Out.starts_with("velmora-cli ")) << version.Out;

    const std::string input = WaveBuilder().Samples(std::vector<unsigned char>(400, 0)).WriteTo(dir / "in.wav");
    const std::vector<std::vector<std::string>> usageErrors = {
        {},
        {input, "--zoom", "3"},
        {input, "--zoom"},
        {input, "--volume", "33"},
        {input, "--volume", "4294967546"},
        {input, "--markers", "3"},
        {input, "--markers", "-1:4"},
        {input, "--frobnicate"},
        {input, "--from", "1:75"},
        {input, "--to", "1.5:20"},
        {input, "--from", "-3"},
        {"--bogus"},  // an option where the input belongs
        {"-x", input},
    };
    // One line on what is wrong, one on where to look.
    for (const auto& args : usageErrors) {
        const auto r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2) << testing::PrintToString(args);
        EXPECT_TRUE(r.Err.starts_with("velmora-cli: ")) << r.Err;
        EXPECT_TRUE(r.Err.ends_with("\nTry 'velmora-cli --help'.\n")) << r.Err;
        EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 2) << r.Err;
    }
}

TEST_F(CliTest, RefusalsExitWithOneAndTheMessage)
{
    const struct {
        std::string Name;
        std::vector<unsigned char> Bytes;
        std::string Message;
    } cases[] = {
        {"song.txt", WaveBuilder().Samples(std::vector<unsigned char>(400, 0)).Bytes(), "Can not open the file."},
        {"a.wav", WaveBuilder().Format(3, 2, 44100, 32).Samples(std::vector<unsigned char>(400, 0)).Bytes(),
         "Cannot handle compressed Wave file."},
        {"b.wav", WaveBuilder().Format(1, 2, 44100, 24).Samples(std::vector<unsigned char>(400, 0)).Bytes(),
         "Not PCM formats!"},
        {"c.wav", WaveBuilder().ChunkFirst("JUNK", std::vector<unsigned char>(4, 0)).Bytes(),
         "This is not a valid Wave file."},
        {"d.wav", WaveBuilder().NoDataChunk().Bytes(), "No audio data found in the file."},
    };
    for (const auto& c : cases) {
        const std::string path = dir / c.Name;
        test::WriteWholeFile(path, c.Bytes);
        const auto r = Cli({path, "--info"});
        EXPECT_EQ(r.ExitCode, 1) << c.Name;
        EXPECT_EQ(r.Err, "velmora-cli: " + path + ": " + c.Message + "\n") << c.Name;
        EXPECT_TRUE(r.Out.empty()) << c.Name;
    }
    const auto missing = Cli({dir / "missing.wav"});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_EQ(missing.Err, "velmora-cli: " + dir / "missing.wav" + ": Cannot open the file.\n");
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(CliTest, InfoOfAFileMadeBySox)
{
    const std::string input = dir / "tone.WAV";
    ASSERT_TRUE(test::Shell("sox -n -r 22050 -c 1 -b 8 '" + input + "' synth 25 sine 440"));
    const auto r = Cli({input, "--info"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    auto info = Info(r.Out);
    EXPECT_EQ(info["Channels"], "1");
    EXPECT_EQ(info["SampleRate"], "22050");
    EXPECT_EQ(info["BitsPerSample"], "8");
    EXPECT_EQ(info["FrameSize"], "1");
    EXPECT_EQ(info["TotalFrames"], "551250");
    EXPECT_EQ(info["DurationSeconds"], "25");
    EXPECT_EQ(info["Duration"], "00:00:25.000");
    EXPECT_EQ(info["SelStartFrame"], "0");
    EXPECT_EQ(info["SelFinishFrame"], "551250");
    EXPECT_EQ(info["FramesPerColumn"], "10000");
    EXPECT_EQ(info["ColumnCount"], "56");
    EXPECT_EQ(info["SelStart"], "0");
    EXPECT_EQ(info["SelFinish"], "55");
    EXPECT_EQ(info["SourceBitrate"], "0");
    EXPECT_EQ(std::stoul(info["DataEnd"]), std::stoul(info["DataOffset"]) + 551250);
    EXPECT_EQ(r.Err, "");
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(CliTest, ZoomPeaksAndMarkers)
{
    const std::string input = WaveBuilder().Format(1, 1, 8000, 16)
                                  .Samples(test::Pcm16(test::Sine16(25000, 1, 8000, 100, 0.5)))
                                  .WriteTo(dir / "in.wav");
    auto r = Cli({input, "--zoom", "1", "--peaks"});
    ASSERT_EQ(r.ExitCode, 0);
    EXPECT_EQ(std::count(r.Out.begin(), r.Out.end(), '\n'), 25);
    // Frame 100 of every column is a crest of 16384: 16384 * 100 / 32768 = 50.
    EXPECT_EQ(r.Out.substr(0, 9), "0 50 50\n1");

    r = Cli({input, "--markers", "0:3", "--info"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("3"), std::string::npos);

    r = Cli({input, "--markers", "2:1"});
    EXPECT_EQ(r.ExitCode, 1);

    r = Cli({input, "--zoom", "2", "--markers", "4:9", "--zoom", "2", "--info", "--zoom", "4", "--info"});
    ASSERT_EQ(r.ExitCode, 0);
    // The zoom that is already set changes nothing; another keeps the
    // markers' frames (8000 and 18000), on its own columns.
    EXPECT_NE(r.Out.find("SelStart=4\nSelFinish=9\nSelStartFrame=8000\nSelFinishFrame=18000\n"), std::string::npos);
    EXPECT_NE(r.Out.find("FramesPerColumn=4000\nColumnCount=7\nSelStart=2\nSelFinish=4\nSelStartFrame=8000\n"
                         "SelFinishFrame=18000\n"),
              std::string::npos);
}

TEST_F(CliTest, EditsAndSaveGiveTheExpectedFile)
{
    const std::uint32_t frames = 65000;
    const std::string input = WaveBuilder().Format(1, 2, 44100, 16)
                                  .Samples(test::Pcm16(test::FrameTagged16(frames, 2)))
                                  .ChunkAfterData("LIST", std::vector<unsigned char>(20, 'x'))
                                  .WriteTo(dir / "in.wav");
    const std::string output = dir / "out.wav";
    const auto r = Cli({input, "--zoom", "1", "--markers", "10:20", "--delete", "--info", "--markers", "0:5",
                        "--fade-in", "--select-all", "--cut-out", "--info", "--save", output});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(r.Out.find("TotalFrames=55000\nDurationSeconds=1\nDuration=00:00:01.247\nFramesPerColumn=1000\n"
                         "ColumnCount=55\nSelStart=10\nSelFinish=11\n"),
              std::string::npos);
    // Select All reaches the end: the Cut Out keeps every frame.
    EXPECT_NE(r.Out.find("TotalFrames=55000\nDurationSeconds=1\nDuration=00:00:01.247\nFramesPerColumn=1000\n"
                         "ColumnCount=55\nSelStart=0\nSelFinish=54\n"),
              std::string::npos);

    const auto out = test::ReadWholeFile(output);
    ASSERT_EQ(out.size(), 44u + 55000u * 4);
    EXPECT_EQ(test::U32At(out, 4), out.size() - 8);
    EXPECT_EQ(test::U32At(out, 40), out.size() - 44);
    auto sample = [&](std::uint32_t frame, int channel) { return test::S16At(out, 44 + frame * 4 + 2 * channel); };
    // The fade over frames 0..4999 (L = 50): frame 60 got 1 %.
    EXPECT_EQ(sample(60, 1), static_cast<std::int16_t>(test::Tag16(60, 1) * 1 / 100));
    EXPECT_EQ(sample(4999, 0), static_cast<std::int16_t>(test::Tag16(4999, 0) * 99 / 100));
    EXPECT_EQ(sample(5000, 0), test::Tag16(5000, 0));
    // Frames 10000..19999 were deleted: frame 10000 is the old 20000.
    EXPECT_EQ(sample(10000, 0), test::Tag16(20000, 0));
    EXPECT_EQ(sample(54999, 1), test::Tag16(64999, 1));
    EXPECT_TRUE(TmpIsEmpty());
}

// A finish marker on the last column reaches the end of the audio, however
// it got there: --select-all, --markers with the last column, --to past
// the end.  Byte for byte against the literal model.
TEST_F(CliTest, TheLastColumnTakesTheEditToTheEndOfTheAudio)
{
    // 25 300 frames at 10 000 a column: three columns, the last partial.
    const auto samples = test::RandomBytes(4u * 25300, 11);
    const std::string input = WaveBuilder().Format(1, 2, 8000, 16).Samples(samples).WriteTo(dir / "in.wav");
    const auto original = test::ReadWholeFile(input);
    test::ModelFormat format;
    format.DataEnd = static_cast<std::uint32_t>(original.size());
    struct Case {
        std::vector<std::string> Steps;
        std::uint32_t Start;
        bool FadeIn;
    };
    for (const Case& c : {Case{{"--select-all", "--fade-out"}, 0, false}, Case{{"--markers", "1:2", "--fade-in"}, 1, true},
                          Case{{"--from", "1.25", "--to", "3.1625", "--fade-out"}, 1, false}}) {
        const std::string output = dir / "out.wav";
        std::vector<std::string> args = {input};
        args.insert(args.end(), c.Steps.begin(), c.Steps.end());
        args.insert(args.end(), {"--save", output});
        const auto r = Cli(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_TRUE(test::ReadWholeFile(output) == test::ModelFade(original, format, c.Start, 2, c.FadeIn))
            << testing::PrintToString(c.Steps);
    }
    // Delete up to the end leaves the columns before the start.
    const auto r = Cli({input, "--markers", "1:2", "--delete", "--info"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Info(r.Out)["TotalFrames"], "10000");
}

TEST_F(CliTest, SaveWithoutEditsIsAByteCopyAndVolumeMatchesItsArithmetic)
{
    const std::string input = dir / "in.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input + "' synth 3 sine 300 sine 500"));
    const std::string copy = dir / "copy.wav";
    ASSERT_EQ(Cli({input, "--save", copy}).ExitCode, 0);
    EXPECT_EQ(test::ReadWholeFile(copy), test::ReadWholeFile(input));

    const std::string louder = dir / "louder.wav";
    ASSERT_EQ(Cli({input, "--select-all", "--volume", "250", "--save", louder}).ExitCode, 0);
    const auto a = test::ReadWholeFile(input);
    const auto b = test::ReadWholeFile(louder);
    ASSERT_EQ(a.size(), b.size());
    const std::size_t offset = a.size() - 3 * 44100 * 4;
    for (std::size_t i = offset; i + 1 < a.size(); i += 2) {
        const int x = test::S16At(a, i);
        // Select All takes the last (partial) column in too.
        const int expected = std::clamp(static_cast<int>(x * 2.5), -32767, 32767);
        ASSERT_EQ(test::S16At(b, i), expected) << "byte " << i;
    }
}

TEST_F(CliTest, OpensMp3AndWmaByDecodingThem)
{
    const std::string wav = dir / "src.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 12 sine 440"));
    const std::string mp3 = dir / "song.mp3";
    const std::string wma = dir / "song.wma";
    ASSERT_TRUE(test::Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    ASSERT_TRUE(test::Shell("ffmpeg -v error -i '" + wav + "' -c:a wmav2 -b:a 96k '" + wma + "'"));

    auto r = Cli({mp3, "--info"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    auto info = Info(r.Out);
    EXPECT_EQ(info["Channels"], "2");
    EXPECT_EQ(info["SampleRate"], "44100");
    EXPECT_EQ(info["TotalFrames"], std::to_string(12 * 44100));
    EXPECT_EQ(info["Duration"], "00:00:12.000");
    EXPECT_EQ(info["SourceBitrate"], "128");

    r = Cli({wma, "--info"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    info = Info(r.Out);
    EXPECT_EQ(info["DataOffset"], "44");
    EXPECT_EQ(std::stoi(info["SourceBitrate"]) % 2, 0);
    // File bytes over seconds: the ASF container adds its overhead to the 96k.
    EXPECT_GE(std::stoi(info["SourceBitrate"]), 96);
    EXPECT_LE(std::stoi(info["SourceBitrate"]), 120);

    const std::string fake = dir / "fake.mp3";
    test::WriteWholeFile(fake, {'n', 'o', 't'});
    r = Cli({fake, "--info"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "velmora-cli: " + fake + ": Can not creat the decode stream.\n");
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(CliTest, SavesMp3WmaAndWavThatOtherToolsDecode)
{
    const std::string input = dir / "in.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 22050 -c 1 -b 16 '" + input + "' synth 4 sine 440"));
    const auto r = Cli({input, "--bitrate", "40", "--save", dir / "a.mp3", "--bitrate", "0", "--save", dir / "a.wma",
                        "--save", dir / "a.wav", "--info"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Info(r.Out)["SourceBitrate"], "96");  // the WMA default, written into the document

    const auto mp3 = test::Probe(dir / "a.mp3");
    EXPECT_EQ(mp3.Codec, "mp3");
    EXPECT_EQ(mp3.SampleRate, 22050);
    EXPECT_EQ(mp3.Channels, 1);
    EXPECT_EQ(mp3.BitRate, 40000);
    const auto wma = test::Probe(dir / "a.wma");
    EXPECT_EQ(wma.Codec, "wmav2");
    EXPECT_EQ(wma.SampleRate, 44100);
    EXPECT_EQ(wma.Channels, 2);
    EXPECT_EQ(test::ReadWholeFile(dir / "a.wav"), test::ReadWholeFile(input));

    EXPECT_EQ(Cli({input, "--bitrate", "-3"}).ExitCode, 2);
}

TEST_F(CliTest, AMissingEncoderPluginIsOneMessageAndAFailedSave)
{
    // A copy of the program in a folder without its plugins.
    const std::string lonely = dir / "velmora-cli";
    std::filesystem::copy_file(VELMORA_CLI_PATH, lonely);
    const std::string input = WaveBuilder().Samples(std::vector<unsigned char>(40000, 0)).WriteTo(dir / "in.wav");
    const std::string destination = dir / "old.mp3";
    test::WriteWholeFile(destination, {'o', 'l', 'd'});
    const auto r = test::RunProcess({lonely, input, "--save", destination, "--info"}, {{"TMPDIR", tmp.Path()}});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "velmora-cli: " + destination + ": Could not load lame_enc.dll file\n");
    EXPECT_TRUE(r.Out.empty());
    EXPECT_EQ(test::ReadWholeFile(destination), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(CliTest, AKilledSaveLeavesTheOldOrTheNewFile)
{
    const std::string input = dir / "in.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input + "' synth 6 sine 440 sine 1250"));
    std::mt19937 random(20261207);
    for (const char* name : {"out.mp3", "out.wma", "out.wav"}) {
        const std::string destination = dir / name;
        const std::vector<unsigned char> old(5000, 'o');
        // The new content, from a save that runs to its end: with a tag,
        // written into the finished output before it takes the old one's
        // place.
        ASSERT_EQ(Cli({input, "--tag", "title=Fresh", "--save", destination}).ExitCode, 0);
        const auto fresh = test::ReadWholeFile(destination);
        EXPECT_EQ(Cli({destination, "--tags"}).Out, "Tag.Title=Fresh\n") << name;
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(Cli({input, "--tag", "title=Fresh", "--save", destination}).ExitCode, 0);
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count();

        int sawOld = 0;
        int sawNew = 0;
        for (int run = 0; run < 24; ++run) {
            test::WriteWholeFile(destination, old);
            const int pid = test::StartProcess({VELMORA_CLI_PATH, input, "--tag", "title=Fresh", "--save", destination},
                                               {{"TMPDIR", tmp.Path()}});
            std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<long>(0, micros * 16 / 10)(random)));
            ::kill(pid, SIGKILL);
            test::WaitProcess(pid);
            const auto now = test::ReadWholeFile(destination);
            ASSERT_TRUE(now == old || now == fresh) << name << " run " << run << ": " << now.size() << " bytes";
            (now == old ? sawOld : sawNew)++;
        }
        EXPECT_GT(sawOld + sawNew, 0);
        std::filesystem::remove_all(tmp.Path());
        std::filesystem::create_directory(tmp.Path());
    }
}

TEST_F(CliTest, AStopBySignalDuringASaveLeavesNothingBehind)
{
    const std::string input = dir / "long.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input + "' synth 120 sine 440"));
    for (const char* name : {"out.mp3", "out.wma"}) {
        for (int signal : {SIGINT, SIGTERM}) {
            const std::string destination = dir / name;
            const std::vector<unsigned char> old(5000, 'o');
            test::WriteWholeFile(destination, old);
            const std::string temporary = dir / ("~" + std::string(name) + ".tmp");
            // With SIGTERM, after a Delete that set the whole old working
            // file aside for Undo.
            std::vector<std::string> run{VELMORA_CLI_PATH, input, "--save", destination};
            if (signal == SIGTERM)
                run.insert(run.begin() + 2, {"--markers", "0:300", "--delete"});
            const int pid = test::StartProcess(run, {{"TMPDIR", tmp.Path()}});
            for (int waited = 0; waited < 10000 && !std::filesystem::exists(temporary); waited += 5)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ASSERT_TRUE(std::filesystem::exists(temporary)) << name;
            ::kill(pid, signal);
            EXPECT_EQ(test::WaitProcess(pid), 128 + signal);
            EXPECT_FALSE(std::filesystem::exists(temporary)) << name << " " << signal;
            EXPECT_TRUE(std::filesystem::is_empty(tmp.Path())) << name << " " << signal;
            EXPECT_EQ(test::ReadWholeFile(destination), old);
        }
    }
}

TEST_F(CliTest, FoldersOfKilledRunsAreRemovedByTheNextRun)
{
    const std::string input = WaveBuilder().Samples(std::vector<unsigned char>(4 * 30000, 1)).WriteTo(dir / "in.wav");
    const auto privateFolder = [](const std::string& path) {
        std::filesystem::create_directory(path);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    };
    const std::string killed = tmp / "velmora-Kq3x9Z";
    privateFolder(killed);
    test::WriteWholeFile(killed + "/velmora.lock", {});
    test::WriteWholeFile(killed + "/AudioTemp.wav", std::vector<unsigned char>(1000, 1));
    // A running instance's folder: its lock is held.
    const std::string running = tmp / "velmora-Rn8w2P";
    privateFolder(running);
    test::WriteWholeFile(running + "/velmora.lock", {});
    const int lock = ::open((running + "/velmora.lock").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    // One without a lock: a folder a starting instance is making now.
    const std::string starting = tmp / "velmora-St4r7s";
    privateFolder(starting);
    // One others may enter is not one this program made: left alone.
    const std::string planted = tmp / "velmora-P1ant3";
    std::filesystem::create_directory(planted);
    std::filesystem::permissions(planted, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                              std::filesystem::perms::others_exec);
    test::WriteWholeFile(planted + "/velmora.lock", {});
    const std::string other = tmp / "velmora-test-keep";
    std::filesystem::create_directory(other);

    ASSERT_EQ(Cli({input, "--info"}).ExitCode, 0);
    ::close(lock);
    EXPECT_FALSE(std::filesystem::exists(killed));
    EXPECT_TRUE(std::filesystem::exists(running + "/velmora.lock"));
    EXPECT_TRUE(std::filesystem::exists(starting));
    EXPECT_TRUE(std::filesystem::exists(other));
    EXPECT_TRUE(std::filesystem::exists(planted));
}

TEST_F(CliTest, TimesNameTheOpenAndEveryStepInOrder)
{
    // The benchmarks read these lines: one per step, the open as step 0.
    const std::string input = WaveBuilder().Format(1, 1, 8000, 16).Samples(test::RandomBytes(2 * 8000 * 3, 5))
                                  .WriteTo(dir / "in.wav");
    const auto r = Cli({input, "--select-all", "--times", "--fade-in", "--undo"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    std::istringstream lines(r.Err);
    std::string line;
    int step = 0;
    while (std::getline(lines, line)) {
        if (line.find(" took ") == std::string::npos)
            continue;  // a progress bar's line
        EXPECT_TRUE(std::regex_match(line, std::regex("velmora-cli: step " + std::to_string(step) +
                                                      " took [0-9]+\\.[0-9]{6} s")))
            << line;
        ++step;
    }
    EXPECT_EQ(step, 4);
}

TEST_F(CliTest, UndoAndRedoStepsGiveBackTheSameBytes)
{
    const std::string input = WaveBuilder().Format(1, 1, 8000, 8).Samples(test::RandomBytes(8000 * 6, 3))
                                  .WriteTo(dir / "in.wav");
    const auto r = Cli({input, "--markers", "1:4", "--delete", "--save", dir / "deleted.wav", "--fade-in",
                        "--undo", "--undo", "--save", dir / "undone.wav", "--redo", "--save", dir / "redone.wav",
                        "--undo", "--undo", "--undo"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "velmora-cli: " + input + ": There is no edit to undo.\n");
    EXPECT_EQ(test::ReadWholeFile(dir / "undone.wav"), test::ReadWholeFile(input));
    EXPECT_EQ(test::ReadWholeFile(dir / "redone.wav"), test::ReadWholeFile(dir / "deleted.wav"));
    EXPECT_TRUE(TmpIsEmpty());
}

TEST_F(CliTest, AKilledEditorsUnsavedEditsAreLeftForTheEditor)
{
    const std::string input = WaveBuilder().Samples(std::vector<unsigned char>(4 * 30000, 1)).WriteTo(dir / "in.wav");
    const std::string unsaved = tmp / "velmora-Ed1t3d";
    std::filesystem::create_directory(unsaved);
    std::filesystem::permissions(unsaved, std::filesystem::perms::owner_all);
    test::WriteWholeFile(unsaved + "/velmora.lock", {});
    test::WriteWholeFile(unsaved + "/AudioTemp.wav", std::vector<unsigned char>(1000, 1));
    const std::string manifest = "[Document]\nSource=/a/song.mp3\nModified=1\n";
    test::WriteWholeFile(unsaved + "/manifest.ini", std::vector<unsigned char>(manifest.begin(), manifest.end()));
    ASSERT_EQ(Cli({input, "--info"}).ExitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(unsaved + "/AudioTemp.wav"));
}

TEST_F(CliTest, FfmpegSpeaksOnlyWhenAsked)
{
    const std::string wav = dir / "in.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 3 sine 440"));
    const std::string mp3 = dir / "damaged.mp3";
    ASSERT_TRUE(test::Shell("lame --quiet -b 128 '" + wav + "' '" + mp3 + "'"));
    auto bytes = test::ReadWholeFile(mp3);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 3 + 2000; ++i)
        bytes[i] = static_cast<unsigned char>(i * 37);
    test::WriteWholeFile(mp3, bytes);

    const auto quiet = Cli({mp3, "--info"});
    EXPECT_EQ(quiet.ExitCode, 0);
    EXPECT_TRUE(quiet.Err.empty()) << quiet.Err;
    const auto told = test::RunProcess({VELMORA_CLI_PATH, mp3, "--info"},
                                       {{"TMPDIR", tmp.Path()}, {"VELMORA_FFMPEG_LOG", "warning"}});
    EXPECT_EQ(told.ExitCode, 0);
    EXPECT_NE(told.Err.find("[mp3"), std::string::npos) << told.Err;
}

// With /proc gone the program still finds its own folder from the name it
// was started by, and never loads code planted in the current directory
// under its plugins' names.
TEST_F(CliTest, PluginsComeOnlyFromTheProgramsFolderEvenWithoutProc)
{
#ifdef VELMORA_SANITIZED
    GTEST_SKIP() << "the sanitizers read their options, and check for leaks, through /proc";
#endif
    if (!test::Shell("unshare -m sh -c 'umount -l /proc' 2>/dev/null"))
        GTEST_SKIP() << "no mount namespace to take /proc away in";
    const std::string evil = dir / "evil";
    std::filesystem::create_directory(evil);
    for (const char* name : {"velmora_ffmpeg_decode.so", "libvelmora_ffmpeg_decode.so", "liblame_enc.so",
                             "lame_enc.so", "libwmaudsdk.so", "wmaudsdk.so"})
        std::filesystem::copy_file(VELMORA_PLANTED_LIBRARY, evil + "/" + name);
    const std::string wav = dir / "in.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 22050 -c 1 -b 16 '" + wav + "' synth 1 sine 440"));
    ASSERT_TRUE(test::Shell("lame --quiet -b 64 '" + wav + "' '" + evil + "/song.mp3'"));

    const auto result = test::RunProcess(
        {"unshare", "-m", "sh", "-c",
         "umount -l /proc && cd '" + evil + "' && exec '" + VELMORA_CLI_PATH + "' song.mp3 --save out.wma"},
        {{"TMPDIR", tmp.Path()}});
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_FALSE(std::filesystem::exists(evil + "/planted-library-ran"));
    EXPECT_TRUE(std::filesystem::exists(evil + "/out.wma"));
}

// Typed times go to the nearest frame, frames are taken as they are, and
// either past the end of the file or in the wrong order is a usage error
// that says how long the file is.
TEST_F(CliTest, TimesAndFramesPutTheMarkersOnExactFrames)
{
    // 8000 Hz mono, 25 columns of 10000 frames (1.25 s each), 31.25 s.
    const std::string input = WaveBuilder().Format(1, 1, 8000, 16).Samples(std::vector<unsigned char>(2 * 250000, 1))
                                  .WriteTo(dir / "in.wav");
    const struct {
        std::vector<std::string> Steps;
        const char* Markers;
    } cases[] = {
        {{"--from", "2.5", "--to", "10"}, "SelStart=2\nSelFinish=8\nSelStartFrame=20000\nSelFinishFrame=80000\n"},
        {{"--from", "0:02.49", "--to", "0:0:12.6"}, "SelStart=1\nSelFinish=10\nSelStartFrame=19920\nSelFinishFrame=100800\n"},
        {{"--to", "31.25"}, "SelStartFrame=0\nSelFinishFrame=250000\n"},
        {{"--from", "30"}, "SelStart=24\nSelFinish=24\nSelStartFrame=240000\nSelFinishFrame=250000\n"},
        {{"--frames", "1:3"}, "SelStart=0\nSelFinish=0\nSelStartFrame=1\nSelFinishFrame=3\n"},
        {{"--frames", "7:250000", "--zoom", "1"}, "SelStart=0\nSelFinish=249\nSelStartFrame=7\nSelFinishFrame=250000\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {input};
        args.insert(args.end(), c.Steps.begin(), c.Steps.end());
        args.push_back("--info");
        const auto r = Cli(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_NE(r.Out.find(c.Markers), std::string::npos) << testing::PrintToString(c.Steps) << "\n" << r.Out;
    }
    const std::string length = "the file lasts 0:00:31.250 (250000 frames)\nTry 'velmora-cli --help'.\n";
    const struct {
        std::vector<std::string> Steps;
        std::string Err;
    } refused[] = {
        {{"--from", "20", "--to", "40"}, "--to 40 lies past the end of the file, which lasts 0:00:31.250 (250000 frames)"},
        {{"--from", "1:00"}, "--from 1:00 lies past the end of the file, which lasts 0:00:31.250 (250000 frames)"},
        {{"--from", "10", "--to", "5"}, "--to 5 lies before the start marker at 0:00:10.000; " + length},
        {{"--to", "5", "--from", "10"}, "--from 10 lies after the finish marker at 0:00:05.000; " + length},
        {{"--frames", "3:2"}, "--frames takes frames S <= F <= 250000; " + length},
        {{"--frames", "0:250001"}, "--frames takes frames S <= F <= 250000; " + length},
    };
    for (const auto& c : refused) {
        std::vector<std::string> args = {input};
        args.insert(args.end(), c.Steps.begin(), c.Steps.end());
        args.push_back("--delete");
        const auto r = Cli(args);
        EXPECT_EQ(r.ExitCode, 2) << testing::PrintToString(c.Steps);
        EXPECT_EQ(r.Err.substr(0, r.Err.find('\n')), "velmora-cli: " + c.Err.substr(0, c.Err.find('\n')));
        EXPECT_TRUE(r.Out.empty());
    }
    EXPECT_TRUE(TmpIsEmpty());
}

// The edits work on exactly the frames typed, whatever the zoom: random
// ranges, short ones among them, against the literal model with the
// markers as frames.
TEST_F(CliTest, TypedRangesAreEditedFrameExactlyAtEveryZoom)
{
    std::mt19937 random(36);
    for (const auto& [channels, bits] : {std::pair{2, 16}, std::pair{1, 8}}) {
        const std::uint32_t frames = 97531;
        const auto samples = test::RandomBytes(static_cast<std::size_t>(frames) * channels * bits / 8, 5u + bits);
        const std::string input = WaveBuilder()
                                      .Format(1, static_cast<std::uint16_t>(channels), 44100,
                                              static_cast<std::uint16_t>(bits))
                                      .Samples(samples)
                                      .WriteTo(dir / "in.wav");
        const auto original = test::ReadWholeFile(input);
        test::ModelFormat model;
        model.Channels = channels;
        model.BitsPerSample = bits;
        model.DataEnd = static_cast<std::uint32_t>(original.size());
        model.ExactFrames = true;
        for (int trial = 0; trial < 8; ++trial) {
            const std::uint32_t length = trial % 2 == 0 ? std::uniform_int_distribution<std::uint32_t>(1, 99)(random)
                                                        : std::uniform_int_distribution<std::uint32_t>(100, 60000)(random);
            const std::uint32_t start = std::uniform_int_distribution<std::uint32_t>(0, frames - length)(random);
            const char* zoom = std::array{"10", "6", "2", "1"}[static_cast<std::size_t>(trial) % 4];
            const char* edit = std::array{"--delete", "--cut-out", "--fade-in", "--fade-out", "--volume"}[trial % 5];
            const std::string range = std::to_string(start) + ":" + std::to_string(start + length);
            const std::string output = dir / "out.wav";
            std::vector<std::string> args = {input, "--zoom", zoom, "--frames", range, edit};
            if (std::string(edit) == "--volume")
                args.push_back("150");
            args.insert(args.end(), {"--save", output});
            const auto r = Cli(args);
            ASSERT_EQ(r.ExitCode, 0) << r.Err;
            test::Bytes expected;
            const std::string e = edit;
            if (e == "--delete")
                expected = test::ModelDelete(original, model, start, start + length);
            else if (e == "--cut-out")
                expected = test::ModelCutOut(original, model, start, start + length);
            else if (e == "--volume")
                expected = test::ModelVolume(original, model, start, start + length, 1.5f, false);
            else
                expected = test::ModelFade(original, model, start, start + length, e == "--fade-in");
            EXPECT_TRUE(test::ReadWholeFile(output) == expected) << e << " " << range << " at --zoom " << zoom;
        }
    }
    // The same range typed as times: one second to 1.2 s is 8820 frames
    // at 44.1 kHz, at the default zoom and at 1:1.
    const std::string input = dir / "in.wav";
    for (const std::vector<std::string>& zoom : {std::vector<std::string>{}, std::vector<std::string>{"--zoom", "1"}}) {
        std::vector<std::string> args = {input};
        args.insert(args.end(), zoom.begin(), zoom.end());
        args.insert(args.end(), {"--from", "1", "--to", "1.2", "--delete", "--info"});
        const auto r = Cli(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(Info(r.Out)["TotalFrames"], std::to_string(97531 - 8820));
    }
    // A gain with its plus sign.
    const auto louder = Cli({input, "--gain-db", "+6", "--info"});
    EXPECT_EQ(louder.ExitCode, 0) << louder.Err;
}

TEST_F(CliTest, CutOutOfAnEmptySelectionIsRefused)
{
    const std::string input = WaveBuilder().Samples(std::vector<unsigned char>(4 * 30000, 1)).WriteTo(dir / "in.wav");
    const auto r = Cli({input, "--markers", "1:1", "--cut-out", "--info"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "velmora-cli: " + input + ": The selection is empty.\n");
    EXPECT_TRUE(r.Out.empty());
}

// The loudness steps end to end: a free gain moves the loudness by as many
// dB, Normalize reaches its target, a target past clipping is refused with
// its reason, and values out of range are usage errors.
TEST_F(CliTest, GainAndNormalizeMoveTheMeasuredLoudness)
{
    const std::string input = dir / "tone.wav";
    ASSERT_TRUE(test::Shell("sox -D -n -r 48000 -c 2 -b 16 '" + input + "' synth 8 sine 1000 vol -26dB"));
    auto integrated = [this, &input](std::vector<std::string> steps) {
        steps.insert(steps.begin(), {input, "--select-all"});
        steps.push_back("--loudness");
        const auto r = Cli(steps);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        return Info(r.Out)["Loudness.Integrated"];
    };
    EXPECT_EQ(integrated({}), "-26.0");
    EXPECT_EQ(integrated({"--gain-db", "6"}), "-20.0");
    EXPECT_EQ(integrated({"--normalize-loudness", "-16"}), "-16.0");
    EXPECT_EQ(integrated({"--normalize-peak", "-3", "--undo"}), "-26.0");
    const auto refused = Cli({input, "--select-all", "--normalize-loudness", "-0.5"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_EQ(refused.Err, "velmora-cli: " + input +
                               ": The loudness cannot be reached without clipping. The highest loudness without "
                               "clipping is -1.0 LUFS.\n");
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--gain-db", "21"}, {"--gain-db", "x"}, {"--normalize-peak", "1"},
          {"--normalize-loudness", "-71"}, {"--fade-shape", "cubic"}}) {
        std::vector<std::string> args{input};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(Cli(args).ExitCode, 2) << wrong[0] << " " << wrong[1];
    }
}

// --clean-joins moves a Delete's points to zero crossings: the saved file
// has no step larger than the source's, the length differs from the plain
// cut's by 5 ms each way at most, and Undo gives the source back.
TEST_F(CliTest, CleanJoinsCutWithoutAStepAndUndoAsAnyEdit)
{
    const std::vector<std::int16_t> sine = test::Sine16(88200, 1, 44100, 997, 1.0);
    const std::string input = WaveBuilder().Format(1, 1, 44100, 16).Samples(test::Pcm16(sine)).WriteTo(dir / "in.wav");
    const auto r = Cli({input, "--zoom", "1", "--markers", "10:21", "--clean-joins", "--delete", "--info", "--save",
                        dir / "joined.wav", "--undo", "--save", dir / "undone.wav"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const long frames = std::stol(Info(r.Out)["TotalFrames"]);
    EXPECT_LE(std::labs(frames - (88200 - 11000)), 2 * 220);
    auto largestStep = [](const std::vector<unsigned char>& wav) {
        int largest = 0;
        for (std::size_t at = 44 + 2; at + 1 < wav.size(); at += 2) {
            const int now = static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8));
            const int before = static_cast<std::int16_t>(wav[at - 2] | (wav[at - 1] << 8));
            largest = std::max(largest, std::abs(now - before));
        }
        return largest;
    };
    const auto joined = test::ReadWholeFile(dir / "joined.wav");
    ASSERT_EQ(joined.size(), 44u + 2 * static_cast<std::size_t>(frames));
    EXPECT_LE(largestStep(joined), largestStep(test::ReadWholeFile(input)));
    EXPECT_EQ(test::ReadWholeFile(dir / "undone.wav"), test::ReadWholeFile(input));
}

// Tags made by the ffmpeg tool (text fields and, in an MP3, a cover)
// come out of every save format; a field set with --tag replaces its
// value; a file saved here opens with what it was saved with, so the
// picture goes on from the WMA and WAV saves too.  Checked with ffprobe
// beside velmora-cli's own reading.
TEST_F(CliTest, TagsAndTheCoverSurviveEverySave)
{
    const std::string signal = dir / "signal.wav";
    const std::string cover = dir / "cover.png";
    ASSERT_TRUE(test::Shell("ffmpeg -v error -f lavfi -i sine=f=440:d=2 -ac 2 -ar 44100 '" + signal + "'"));
    ASSERT_TRUE(test::Shell("ffmpeg -v error -f lavfi -i color=c=red:s=32x32 -frames:v 1 '" + cover + "'"));
    const std::string metadata = " -metadata title='Morning Song' -metadata artist='The Players' -metadata "
                                 "album='First Light' -metadata track=3 -metadata date=2024 -metadata genre=Folk "
                                 "-metadata comment='Recorded live' ";
    const struct {
        const char* Name;
        std::string Make;  // the ffmpeg arguments after the input
        bool Cover;        // ffmpeg's ASF and WAV writers take no picture
    } sources[] = {
        {"source.mp3", "-i '" + cover + "' -map 0 -map 1 -c:v copy -disposition:v attached_pic -c:a libmp3lame", true},
        {"source.wma", "-c:a wmav2", false},
        {"source.wav", "", false},
    };
    auto probe = [](const std::string& path, const std::string& entries) {
        return test::RunProcess({"ffprobe", "-v", "error", "-show_entries", entries, "-of", "default=nw=1", path}).Out;
    };
    for (const auto& source : sources) {
        const std::string input = dir / source.Name;
        ASSERT_TRUE(test::Shell("ffmpeg -v error -i '" + signal + "' " + source.Make + metadata + "'" + input + "'"))
            << source.Name;
        const std::string stem = dir / (std::string(source.Name) + ".out");
        const auto r = Cli({input, "--tags", "--tag", "comment=Edited", "--save", stem + ".mp3", "--save",
                            stem + ".wma", "--save", stem + ".wav"});
        ASSERT_EQ(r.ExitCode, 0) << source.Name << r.Err;
        EXPECT_EQ(r.Out, "Tag.Title=Morning Song\nTag.Artist=The Players\nTag.Album=First Light\nTag.Track=3\n"
                         "Tag.Year=2024\nTag.Genre=Folk\nTag.Comment=Recorded live\n")
            << source.Name;
        for (const char* format : {".mp3", ".wma", ".wav"}) {
            const std::string out = stem + format;
            const std::string seen = probe(out, "format_tags=title,artist,album,genre,comment");
            for (const char* value : {"Morning Song", "The Players", "First Light", "Folk", "Edited"})
                EXPECT_NE(seen.find(value), std::string::npos) << out << ": " << value << " in\n" << seen;
            const bool hasCover = probe(out, "stream_disposition=attached_pic").find("attached_pic=1") !=
                                  std::string::npos;
            EXPECT_EQ(hasCover, source.Cover) << out;
            // Read back as the editor reads it: every field, the edited one too.
            const auto again = Cli({out, "--tags"});
            EXPECT_EQ(again.Out, "Tag.Title=Morning Song\nTag.Artist=The Players\nTag.Album=First Light\n"
                                 "Tag.Track=3\nTag.Year=2024\nTag.Genre=Folk\nTag.Comment=Edited\n")
                << out;
        }
    }
    // The cover read from a WMA and a WAV of ours goes on into the next save.
    for (const char* saved : {"source.mp3.out.wma", "source.mp3.out.wav"}) {
        const std::string out = dir / (std::string(saved) + ".again.mp3");
        ASSERT_EQ(Cli({dir / saved, "--save", out}).ExitCode, 0);
        EXPECT_NE(probe(out, "stream_disposition=attached_pic").find("attached_pic=1"), std::string::npos) << saved;
    }
    // A file without tags is saved without any: the WAV save stays the
    // working file byte for byte.
    const auto plain = Cli({signal, "--tags", "--save", dir / "plain.wav"});
    EXPECT_EQ(plain.Out, "");
    EXPECT_EQ(test::ReadWholeFile(dir / "plain.wav"), test::ReadWholeFile(signal));
    // An unknown field is a usage error.
    EXPECT_EQ(Cli({signal, "--tag", "mood=calm"}).ExitCode, 2);
}

} // namespace
} // namespace velmora
