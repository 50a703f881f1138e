// Playback of the working file on SDL's dummy driver (real time, no sound
// hardware) and disk driver (what is played is written to a file): the
// transport, the position heard, the spectrum and the level.

#include "platform/File.h"
#include "platform/audio/Bass.h"
#include "platform/audio/OutputDevice.h"
#include "platform/audio/PlaybackChannel.h"
#include "support/TempDir.h"
#include "support/WaveBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::WaveBuilder;

// Waits up to timeout for the stream to stop by itself.
bool StopsWithin(HSTREAM stream, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (BASS_ChannelIsActive(stream) != BASS_ACTIVE_STOPPED) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

double Seconds(HSTREAM stream)
{
    return BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetPosition(stream, BASS_POS_BYTE));
}

class PlaybackTest : public testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("SDL_AUDIODRIVER", Driver(), 1);
        ::setenv("SDL_DISKAUDIOFILE", (dir / "played.raw").c_str(), 1);
        ::setenv("SDL_DISKAUDIODELAY", "5", 1);
        ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    }
    void TearDown() override { BASS_Free(); }
    virtual const char* Driver() const { return "dummy"; }

    HSTREAM Stream(const WaveBuilder& builder)
    {
        const std::string path = builder.WriteTo(dir / "AudioTemp.wav");
        const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0);
        EXPECT_NE(stream, 0u);
        return stream;
    }

    test::TempDir dir;
};

WaveBuilder Sine(std::uint32_t rate, int channels, double seconds, double frequency, double amplitude)
{
    const auto frames = static_cast<std::uint32_t>(rate * seconds);
    return WaveBuilder().Format(1, static_cast<std::uint16_t>(channels), rate, 16)
        .Samples(test::Pcm16(test::Sine16(frames, channels, rate, frequency, amplitude)));
}

TEST(OutputDevice, TheFeederSleepsWhileNothingPlaysAndWakesForPlay)
{
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    test::TempDir dir;
    const std::string path = Sine(44100, 2, 2.0, 440, 0.5).WriteTo(dir / "a.wav");
    auto device = OutputDevice::Open(44100);
    ASSERT_TRUE(device);
    auto channel = PlaybackChannel::Open(path, *device);
    ASSERT_TRUE(channel);
    device->Add(channel);
    std::this_thread::sleep_for(100ms);
    const std::uint64_t idle = device->FeederRounds();
    std::this_thread::sleep_for(300ms);
    EXPECT_LE(device->FeederRounds() - idle, 1u);  // no polling: 60 rounds at 5 ms
    EXPECT_FALSE(device->DeviceOpen());            // nor a device thread writing silence

    ASSERT_TRUE(channel->Play(true));
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(channel->Position(), 0u);
    EXPECT_GT(device->FeederRounds() - idle, 10u);  // tops the ring up while it plays
    EXPECT_TRUE(device->DeviceOpen());
    // Paused, or stopped, it lets the device go again; Play opens it anew
    // and the position goes on from where it was.
    channel->Pause();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(device->DeviceOpen());
    const std::uint64_t paused = channel->Position();
    ASSERT_TRUE(channel->Play(false));
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(channel->Position(), paused);
    channel->Stop();
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(device->DeviceOpen());
    device->Remove(channel.get());
}

TEST(AudioLibrary, VersionAndInitialisation)
{
    EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_StreamCreateFile(0, "/nonexistent.wav", 0, 0, 0), 0u);
}

TEST_F(PlaybackTest, LengthIsThePayloadInWholeFrames)
{
    const HSTREAM stream = Stream(WaveBuilder().Format(1, 2, 8000, 16).Samples(std::vector<unsigned char>(4003, 0)));
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 4000u);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(stream, 32000), 1.0);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, 8000u);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.flags, 0u);
}

TEST_F(PlaybackTest, TransportFollowsRealTime)
{
    const HSTREAM stream = Stream(Sine(44100, 2, 5, 440, 0.5));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(600ms);
    const double playing = Seconds(stream);
    EXPECT_GT(playing, 0.4);
    EXPECT_LT(playing, 1.2);  // at real-time speed, with room for a busy machine
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);

    ASSERT_TRUE(BASS_ChannelPause(stream));
    const QWORD paused = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), paused);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PAUSED);
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u);

    ASSERT_TRUE(BASS_ChannelPlay(stream, 0));
    std::this_thread::sleep_for(300ms);
    const double resumed = Seconds(stream);
    EXPECT_GT(resumed, BASS_ChannelBytes2Seconds(stream, paused) + 0.15);
    EXPECT_LT(resumed, BASS_ChannelBytes2Seconds(stream, paused) + 0.8);

    // Moving the position while playing continues there.
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 3 * 44100 * 4, BASS_POS_BYTE));
    EXPECT_NEAR(Seconds(stream), 3.0, 0.01);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(Seconds(stream), 3.15);
    EXPECT_LT(Seconds(stream), 3.8);

    ASSERT_TRUE(BASS_ChannelStop(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    const QWORD stopped = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), stopped);

    // Restart plays from the beginning.
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(200ms);
    EXPECT_LT(Seconds(stream), 0.8);
}

TEST_F(PlaybackTest, PlayingToTheEndStops)
{
    const HSTREAM stream = Stream(Sine(22050, 1, 0.4, 440, 0.5));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    ASSERT_TRUE(StopsWithin(stream, 3000ms));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), BASS_ChannelGetLength(stream, BASS_POS_BYTE));
    ASSERT_TRUE(BASS_ChannelSetPosition(stream, 0, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u);
}

TEST_F(PlaybackTest, VeryLowRatesPlayToo)
{
    // At 2000 Hz one block of source frames is more device audio than the
    // queue holds; the feeder must take smaller bites.
    const HSTREAM stream = Stream(Sine(2000, 1, 0.6, 100, 0.5));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(Seconds(stream), 0.15);
    EXPECT_TRUE(StopsWithin(stream, 3000ms));
}

TEST_F(PlaybackTest, SpectrumOfASinePeaksAtItsBin)
{
    // 1033.59 Hz is the middle of bin 24 at 44.1 kHz with 1024 points.
    const double frequency = 24.0 * 44100 / 1024;
    const HSTREAM stream = Stream(Sine(44100, 2, 3, frequency, 1.0));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(300ms);
    float fft[512];
    ASSERT_EQ(BASS_ChannelGetData(stream, fft, BASS_DATA_FFT1024), 512u * sizeof(float));
    int peak = 0;
    for (int k = 1; k < 512; ++k)
        if (fft[k] > fft[peak])
            peak = k;
    EXPECT_EQ(peak, 24);
    EXPECT_NEAR(fft[24], 1.0, 0.02);
    EXPECT_LT(fft[40], 0.01);
}

TEST_F(PlaybackTest, LevelIsThePeakOfEachChannel)
{
    // Left a full-scale square, right silent.
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 44100 * 2; ++f) {
        samples.push_back((f / 50) % 2 ? 32767 : -32768);
        samples.push_back(0);
    }
    const HSTREAM stream = Stream(WaveBuilder().Format(1, 2, 44100, 16).Samples(test::Pcm16(samples)));
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 0u);  // not playing
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(300ms);
    const DWORD level = BASS_ChannelGetLevel(stream);
    EXPECT_EQ(level & 0xFFFF, 32768u);
    EXPECT_EQ(level >> 16, 0u);
}

TEST_F(PlaybackTest, EightBitMonoPlaysWithBothLevelsAlike)
{
    std::vector<std::uint8_t> samples(22050, 128);
    for (std::size_t i = 0; i < samples.size(); i += 2)
        samples[i] = 192;  // 64 above the centre
    const HSTREAM stream = Stream(WaveBuilder().Format(1, 1, 22050, 8).Samples(test::Pcm8(samples)));
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.flags & BASS_SAMPLE_8BITS, BASS_SAMPLE_8BITS);
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(Seconds(stream), 0.15);
    EXPECT_EQ(BASS_ChannelGetLevel(stream), 64u * 256 | (64u * 256) << 16);
}

TEST_F(PlaybackTest, FreeingAStreamReleasesItsFileAndItsHandle)
{
    const HSTREAM stream = Stream(Sine(44100, 2, 2, 440, 0.5));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    EXPECT_FALSE(File::Open(dir / "AudioTemp.wav", File::Mode::ReadWrite).IsOpen());
    ASSERT_TRUE(BASS_StreamFree(stream));
    EXPECT_TRUE(File::Open(dir / "AudioTemp.wav", File::Mode::ReadWrite).IsOpen());

    for (HSTREAM dead : {stream, 0u}) {
        EXPECT_FALSE(BASS_ChannelPlay(dead, 1));
        EXPECT_FALSE(BASS_ChannelPause(dead));
        EXPECT_FALSE(BASS_ChannelStop(dead));
        EXPECT_FALSE(BASS_ChannelSetPosition(dead, 0, BASS_POS_BYTE));
        EXPECT_EQ(BASS_ChannelIsActive(dead), BASS_ACTIVE_STOPPED);
        EXPECT_EQ(BASS_ChannelGetLength(dead, BASS_POS_BYTE), static_cast<QWORD>(-1));
        EXPECT_FALSE(BASS_StreamFree(dead));
    }
}

TEST_F(PlaybackTest, DecodingStreamsDeliverWholeFramesUntilExhausted)
{
    const std::string path = Sine(44100, 2, 1, 440, 0.5).WriteTo(dir / "src.wav");
    const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u);
    EXPECT_EQ(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END), 44u + 44100 * 4);
    std::vector<unsigned char> buffer(10000);
    QWORD total = 0;
    while (BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING) {
        const DWORD got = BASS_ChannelGetData(stream, buffer.data(), 10002);
        if (got == static_cast<DWORD>(-1))
            break;
        EXPECT_EQ(got % 4, 0u);
        total += got;
        EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), total);
    }
    EXPECT_EQ(total, 44100u * 4);
    EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), total);
    EXPECT_EQ(BASS_ChannelGetData(stream, buffer.data(), 10000), static_cast<DWORD>(-1));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

class DiskPlaybackTest : public PlaybackTest {
protected:
    const char* Driver() const override { return "disk"; }
};

TEST_F(DiskPlaybackTest, TheBytesPlayedAreThePayload)
{
    const auto payload = test::Pcm16(test::FrameTagged16(44100 / 2, 2));
    const HSTREAM stream = Stream(WaveBuilder().Format(1, 2, 44100, 16).Samples(payload));
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    for (int i = 0; i < 100 && BASS_ChannelIsActive(stream) == BASS_ACTIVE_PLAYING; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    BASS_Free();
    const auto played = test::ReadWholeFile(dir / "played.raw");
    // Silence until the play began, then the payload, then silence.
    const auto start = std::search(played.begin(), played.end(), payload.begin(), payload.begin() + 64);
    ASSERT_NE(start, played.end());
    ASSERT_GE(static_cast<std::size_t>(played.end() - start), payload.size());
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), start));
}

// A part of the stream: played once, exactly its frames and then silence;
// looped, its frames again and again with nothing between the passes; a
// loop turned off ends with the pass under way.
TEST_F(DiskPlaybackTest, APartPlaysOnceOrLoopsWithoutAGap)
{
    const auto payload = test::Pcm16(test::FrameTagged16(44100, 2));
    const HSTREAM stream = Stream(WaveBuilder().Format(1, 2, 44100, 16).Samples(payload));
    constexpr QWORD from = 4 * 10007, to = 4 * 13101;  // bytes: frames 10007 to 13101
    const std::vector<unsigned char> part(payload.begin() + from, payload.begin() + to);

    ASSERT_TRUE(VelmoraChannelPlayRange(stream, from, to, 0));
    EXPECT_TRUE(VelmoraChannelPlaysRange(stream));
    EXPECT_TRUE(StopsWithin(stream, 5000ms));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), to);

    ASSERT_TRUE(VelmoraChannelPlayRange(stream, from, to, 1));
    // Three passes are 0.21 s; the position stays inside the part.
    for (int i = 0; i < 10; ++i) {
        std::this_thread::sleep_for(50ms);
        const QWORD at = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
        EXPECT_GE(at, from);
        EXPECT_LT(at, to);
        EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    }
    ASSERT_TRUE(VelmoraChannelSetLoop(stream, 0));
    EXPECT_TRUE(StopsWithin(stream, 5000ms));
    // Play from the start lets the part go.
    ASSERT_TRUE(BASS_ChannelPlay(stream, 1));
    EXPECT_FALSE(VelmoraChannelPlaysRange(stream));
    BASS_ChannelStop(stream);
    BASS_Free();

    const auto played = test::ReadWholeFile(dir / "played.raw");
    auto find = [&](auto from) { return std::search(from, played.end(), part.begin(), part.end()); };
    // Once: the part, then silence up to the loop.
    auto at = find(played.begin());
    ASSERT_NE(at, played.end());
    EXPECT_TRUE(std::all_of(at + static_cast<std::ptrdiff_t>(part.size()),
                            at + static_cast<std::ptrdiff_t>(part.size()) + 400, [](unsigned char b) { return b == 0; }));
    // The loop: at least four passes, each right after the one before.
    at = find(at + static_cast<std::ptrdiff_t>(part.size()));
    ASSERT_NE(at, played.end());
    int passes = 1;
    while (played.end() - at >= 2 * static_cast<std::ptrdiff_t>(part.size()) &&
           std::equal(part.begin(), part.end(), at + static_cast<std::ptrdiff_t>(part.size()))) {
        at += static_cast<std::ptrdiff_t>(part.size());
        ++passes;
    }
    EXPECT_GE(passes, 4);
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

TEST(DecodingStreams, MoreThanTwoChannelsAreMixedDownToTwo)
{
    test::TempDir dir;
    const std::string path = dir / "six.wav";
    // Six channels, the front left one loud, the rest silent.
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 4800; ++f)
        for (int c = 0; c < 6; ++c)
            samples.push_back(c == 0 ? 16000 : 0);
    test::WaveBuilder().Format(1, 6, 48000, 16).Samples(test::Pcm16(samples)).WriteTo(path);
    const HSTREAM stream = BASS_StreamCreateFile(0, path.c_str(), 0, 0, BASS_STREAM_DECODE);
    ASSERT_NE(stream, 0u);
    BASS_CHANNELINFO info;
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.freq, 48000u);
    std::vector<std::int16_t> pcm(2 * 4800);
    DWORD total = 0;
    while (total < pcm.size() * 2) {
        const DWORD got = BASS_ChannelGetData(stream, reinterpret_cast<char*>(pcm.data()) + total,
                                              static_cast<DWORD>(pcm.size() * 2 - total));
        if (got == static_cast<DWORD>(-1))
            break;
        total += got;
    }
    EXPECT_EQ(total, 4800u * 4);
    EXPECT_GT(pcm[1000], 1000);    // the left speaker carries the front left channel
    EXPECT_EQ(pcm[1001], 0);       // the right one nothing
    BASS_StreamFree(stream);
}

} // namespace
} // namespace velmora
