#include "OutputDevice.h"

#include "PlaybackChannel.h"

#include <algorithm>
#include <chrono>

namespace velmora {

namespace {
constexpr int DeviceBufferFrames = 1024;  // about 23 ms at 44.1 kHz
constexpr auto FeederPeriod = std::chrono::milliseconds(5);
} // namespace

std::unique_ptr<OutputDevice> OutputDevice::Open(int rate)
{
    // SDL would otherwise take SIGINT and SIGTERM for an event queue that
    // nobody reads, and the program could no longer be stopped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return nullptr;
    std::unique_ptr<OutputDevice> output(new OutputDevice);
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DeviceBufferFrames;
    want.callback = &OutputDevice::Callback;
    want.userdata = output.get();
    SDL_AudioSpec have{};
    output->device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (output->device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->rate_ = rate;
    output->bufferFrames_ = have.samples > 0 ? have.samples : DeviceBufferFrames;
    output->mix_.resize(static_cast<std::size_t>(output->bufferFrames_) * 2 * 4);
    output->feeder_ = std::jthread([raw = output.get()](std::stop_token stop) { raw->FeederLoop(stop); });
    SDL_PauseAudioDevice(output->device_, 0);
    return output;
}

OutputDevice::~OutputDevice()
{
    feeder_.request_stop();
    Wake();
    if (feeder_.joinable())
        feeder_.join();
    if (device_ != 0)
        SDL_CloseAudioDevice(device_);
    channels_.clear();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void OutputDevice::Add(const std::shared_ptr<PlaybackChannel>& channel)
{
    std::lock_guard lock(listMutex_);
    LockCallback();
    channels_.push_back(channel);
    UnlockCallback();
}

void OutputDevice::Remove(const PlaybackChannel* channel)
{
    std::shared_ptr<PlaybackChannel> keep;
    {
        std::lock_guard lock(listMutex_);
        LockCallback();
        auto it = std::find_if(channels_.begin(), channels_.end(),
                               [channel](const auto& c) { return c.get() == channel; });
        if (it != channels_.end()) {
            keep = std::move(*it);
            channels_.erase(it);
        }
        UnlockCallback();
    }
}

void OutputDevice::Wake()
{
    {
        std::lock_guard lock(wakeMutex_);
        wakeRequested_ = true;
    }
    wake_.notify_all();
}

void SDLCALL OutputDevice::Callback(void* self, Uint8* stream, int length)
{
    // Nothing is allocated here: a driver that asks for more than it said
    // is served in pieces of the mix buffer's size.
    auto* output = static_cast<OutputDevice*>(self);
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    std::size_t left = static_cast<std::size_t>(length) / 4;
    const std::size_t piece = output->mix_.size() / 2;
    while (left > 0) {
        const std::size_t frames = std::min(left, piece);
        std::fill(output->mix_.begin(), output->mix_.begin() + static_cast<std::ptrdiff_t>(frames * 2), 0);
        for (const auto& channel : output->channels_)
            channel->MixInto(output->mix_.data(), frames);
        for (std::size_t i = 0; i < frames * 2; ++i)
            *out++ = static_cast<std::int16_t>(std::clamp(output->mix_[i], -32768, 32767));
        left -= frames;
    }
}

void OutputDevice::FeederLoop(std::stop_token stop)
{
    std::vector<std::shared_ptr<PlaybackChannel>> channels;
    while (!stop.stop_requested()) {
        ++feederRounds_;
        {
            std::lock_guard lock(listMutex_);
            channels = channels_;
        }
        bool playing = false;
        for (const auto& channel : channels) {
            while (!stop.stop_requested() && channel->Feed()) {
            }
            playing = playing || channel->NeedsFeeding();
        }
        channels.clear();
        // While something plays, its ring drains and is topped up every
        // period; otherwise the feeder sleeps until Play or a seek wakes it.
        std::unique_lock lock(wakeMutex_);
        if (playing)
            wake_.wait_for(lock, stop, FeederPeriod, [this] { return wakeRequested_; });
        else
            wake_.wait(lock, stop, [this] { return wakeRequested_; });
        wakeRequested_ = false;
    }
}

} // namespace velmora
