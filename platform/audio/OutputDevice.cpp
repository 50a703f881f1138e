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
    wake_.notify_all();
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
    wake_.notify_all();
}

void SDLCALL OutputDevice::Callback(void* self, Uint8* stream, int length)
{
    auto* output = static_cast<OutputDevice*>(self);
    const std::size_t frames = static_cast<std::size_t>(length) / 4;
    if (output->mix_.size() < frames * 2)
        output->mix_.resize(frames * 2);  // only if the driver asks for more than it said
    std::fill(output->mix_.begin(), output->mix_.begin() + static_cast<std::ptrdiff_t>(frames * 2), 0);
    for (const auto& channel : output->channels_)
        channel->MixInto(output->mix_.data(), frames);
    auto* out = reinterpret_cast<std::int16_t*>(stream);
    for (std::size_t i = 0; i < frames * 2; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(output->mix_[i], -32768, 32767));
}

void OutputDevice::FeederLoop(std::stop_token stop)
{
    std::mutex waitMutex;
    while (!stop.stop_requested()) {
        std::vector<std::shared_ptr<PlaybackChannel>> channels;
        {
            std::lock_guard lock(listMutex_);
            channels = channels_;
        }
        for (const auto& channel : channels) {
            while (!stop.stop_requested() && channel->Feed()) {
            }
        }
        channels.clear();
        std::unique_lock lock(waitMutex);
        wake_.wait_for(lock, stop, FeederPeriod, [] { return false; });
    }
}

} // namespace velmora
