#pragma once

#include <SDL2/SDL.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora {

class PlaybackChannel;

// The default output device through SDL2: 16-bit stereo at the rate asked
// for.  Its callback mixes the rings of the playing channels and does no
// file I/O; a feeder thread of its own keeps those rings filled, so the main
// thread never waits for audio.
class OutputDevice {
public:
    // nullptr when no output device can be opened.
    static std::unique_ptr<OutputDevice> Open(int rate);
    ~OutputDevice();
    OutputDevice(const OutputDevice&) = delete;
    OutputDevice& operator=(const OutputDevice&) = delete;

    int Rate() const { return rate_; }
    // Frames the device holds between the callback and the ear.
    int LatencyFrames() const { return bufferFrames_; }
    int BufferFrames() const { return bufferFrames_; }

    void Add(const std::shared_ptr<PlaybackChannel>& channel);
    void Remove(const PlaybackChannel* channel);

    // Shuts the callback out (and lets it in again); short sections only.
    void LockCallback();
    void UnlockCallback();

    // Asks the feeder to look at the channels now.
    void Wake();

    // How often the feeder has woken since the device opened (for tests:
    // it sleeps, and the device is closed, while nothing plays).
    std::uint64_t FeederRounds() const { return feederRounds_.load(); }
    // Whether the system's device is open now (for tests).
    bool DeviceOpen();

private:
    OutputDevice() = default;
    static void SDLCALL Callback(void* self, Uint8* stream, int length);
    // Opens the system's device (caller holds deviceMutex_); false when it
    // cannot be opened.
    bool OpenSystemDevice();
    void FeederLoop(std::stop_token stop);

    // The system's device: open while something plays, closed otherwise -
    // SDL keeps a paused device's thread writing silence, and the sound
    // server's with it.  The feeder opens and closes it.
    std::mutex deviceMutex_;
    SDL_AudioDeviceID device_ = 0;  // under deviceMutex_
    int rate_ = 0;
    int bufferFrames_ = 0;
    std::vector<std::int32_t> mix_;

    std::mutex listMutex_;
    std::vector<std::shared_ptr<PlaybackChannel>> channels_;  // callback reads under the device lock
    std::mutex wakeMutex_;
    std::condition_variable_any wake_;
    bool wakeRequested_ = false;  // under wakeMutex_
    std::atomic<std::uint64_t> feederRounds_{0};
    SDL_AudioSpec wanted_{};
    int warmUpRounds_ = 0;  // the feeder's: periods left before the device starts
    int failedOpens_ = 0;   // the feeder's: openings failed in a row
    std::jthread feeder_;
};

} // namespace velmora
