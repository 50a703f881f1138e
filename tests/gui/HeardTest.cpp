// What the editor plays, heard: the program itself under Xvfb and openbox,
// driven by keys, playing into a PulseAudio null sink of the test's own,
// its monitor recorded with parec and compared frame for frame with the
// file.  Play Selection gives exactly the selection's frames and then
// silence; Loop gives them again and again with nothing between.

#include "history/Manifest.h"
#include "support/Process.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace velmora {
namespace {

using Frame = std::array<unsigned char, 4>;  // 16-bit stereo

std::vector<Frame> Frames(const std::vector<unsigned char>& bytes, std::size_t from = 0)
{
    std::vector<Frame> frames((bytes.size() - from) / 4);
    std::memcpy(frames.data(), bytes.data() + from, frames.size() * 4);
    return frames;
}

// The stretches of sound in a recording, as [first, end) frames.
std::vector<std::pair<std::size_t, std::size_t>> SoundStretches(const std::vector<Frame>& frames)
{
    constexpr std::size_t Gap = 2205;  // 50 ms of silence parts two stretches
    std::vector<std::pair<std::size_t, std::size_t>> stretches;
    std::size_t quiet = Gap;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i] == Frame{}) {
            ++quiet;
            continue;
        }
        if (quiet >= Gap)
            stretches.emplace_back(i, i + 1);
        stretches.back().second = i + 1;
        quiet = 0;
    }
    return stretches;
}

class HeardTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!test::Shell("command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v openbox >/dev/null "
                         "&& command -v sox >/dev/null && command -v pulseaudio >/dev/null && "
                         "command -v parec >/dev/null && command -v pactl >/dev/null"))
            GTEST_SKIP() << "needs Xvfb, openbox, xdotool, sox, pulseaudio, pactl and parec";
        runtime = dir.Path() + "/xdg";
        std::filesystem::create_directory(runtime);
        ::chmod(runtime.c_str(), 0700);
        env = {{"XDG_RUNTIME_DIR", runtime}, {"PULSE_SERVER", "unix:" + runtime + "/pulse/native"}};
        const std::string pulse = "pulseaudio --daemonize=yes --exit-idle-time=-1 -n "
                                  "--load='module-null-sink sink_name=nul' --load=module-native-protocol-unix "
                                  "--log-target=file:'" + dir.Path() + "/pulse.log'";
        if (!test::Shell("XDG_RUNTIME_DIR='" + runtime + "' " + pulse + " 2>/dev/null"))
            GTEST_SKIP() << "pulseaudio does not start here";
        started = true;
        bool up = false;
        for (int i = 0; i < 30 && !up; ++i) {
            up = test::RunProcess({"pactl", "info"}, env).ExitCode == 0;
            if (!up)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ASSERT_TRUE(up);
        ASSERT_EQ(test::RunProcess({"pactl", "set-default-sink", "nul"}, env).ExitCode, 0);
        display = test::StartVirtualDisplay("1024x768x24", server);
        ASSERT_FALSE(display.empty());
        windowManager = test::StartProcess({"openbox"}, {{"DISPLAY", display}});
    }

    void TearDown() override
    {
        for (int pid : {editor, recorder, windowManager, server}) {
            if (pid > 0) {
                ::kill(pid, pid == recorder ? SIGINT : SIGTERM);
                test::WaitProcess(pid);
            }
        }
        if (started)
            test::RunProcess({"pulseaudio", "--kill"}, env);
    }

    void Key(const std::string& key)
    {
        test::RunProcess({"timeout", "10", "xdotool", "search", "--onlyvisible", "--name", "^Velmora Audio Editor$",
                          "windowactivate", "--sync", "key", "--delay", "60", key},
                         {{"DISPLAY", display}});
    }

    // The markers the editor's manifest holds, once it holds them.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> Markers() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(tmp.Path())) {
            if (const std::optional<Manifest> manifest = ReadManifest(entry.path()))
                return std::pair(manifest->SelStartFrame, manifest->SelFinishFrame);
        }
        return std::nullopt;
    }

    test::TempDir dir;
    test::TempDir tmp;
    std::string runtime;
    std::vector<std::pair<std::string, std::string>> env;
    std::string display;
    bool started = false;
    int server = -1, windowManager = -1, editor = -1, recorder = -1;
};

TEST_F(HeardTest, PlaySelectionIsTheSelectionAndLoopRepeatsItWithoutAGap)
{
    // Noise: every frame tells where it came from.
    const std::string input = dir.Path() + "/noise.wav";
    ASSERT_TRUE(test::Shell("sox -n -r 44100 -c 2 -b 16 '" + input + "' synth 4 whitenoise vol 0.5"));
    const std::vector<Frame> file = Frames(test::ReadWholeFile(input), 44);
    const std::string recording = dir.Path() + "/heard.raw";
    recorder = test::StartProcess({"sh", "-c",
                                   "exec parec --latency-msec=20 -d nul.monitor --format=s16le --rate=44100 "
                                   "--channels=2 > '" + recording + "'"},
                                  env);

    std::vector<std::pair<std::string, std::string>> editorEnv = env;
    editorEnv.insert(editorEnv.end(), {{"DISPLAY", display}, {"QT_QPA_PLATFORM", "xcb"},
                                       {"SDL_AUDIODRIVER", "pulseaudio"}, {"TMPDIR", tmp.Path()}});
    editor = test::StartProcess({VELMORA_PATH, input}, editorEnv);
    for (int i = 0; i < 100 && !Markers(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(Markers()) << "the editor did not open the file";
    // Columns of 10000 frames: the start marker five on, the finish three more.
    for (const char* key : {"Right", "Right", "Right", "Right", "Right", "bracketleft", "Right", "Right", "Right",
                            "bracketright"})
        Key(key);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(Markers(), std::pair(50000u, 80000u));

    Key("shift+space");
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    Key("l");
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    Key("Escape");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(recorder, SIGINT);
    test::WaitProcess(recorder);
    recorder = -1;

    const std::vector<Frame> heard = Frames(test::ReadWholeFile(recording));
    const auto stretches = SoundStretches(heard);
    ASSERT_EQ(stretches.size(), 2u) << "once, then the loop";
    const std::vector<Frame> part(file.begin() + 50000, file.begin() + 80000);
    // Once: exactly the selection.
    EXPECT_TRUE(std::equal(heard.begin() + static_cast<std::ptrdiff_t>(stretches[0].first),
                           heard.begin() + static_cast<std::ptrdiff_t>(stretches[0].second), part.begin(), part.end()));
    // The loop: from the start of the selection, pass after pass until
    // Escape cut one short.
    const std::size_t looped = stretches[1].second - stretches[1].first;
    EXPECT_GE(looped, 3 * part.size());
    for (std::size_t i = 0; i < looped; ++i) {
        ASSERT_EQ(heard[stretches[1].first + i], part[i % part.size()]) << "frame " << i << " of the loop";
    }
}

} // namespace
} // namespace velmora
