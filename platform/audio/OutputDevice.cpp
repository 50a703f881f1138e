#include "OutputDevice.h"

#include "PlaybackChannel.h"

#include <algorithm>
#include <chrono>

namespace velmora {

namespace {
constexpr int DeviceBufferFrames = 1024;  // about 23 ms at 44.1 kHz
constexpr auto FeederPeriod = std::chrono::milliseconds(5);
constexpr int WarmUpRounds = 8;      // feeder periods: 40 ms
constexpr int MostFailedOpens = 40;  // feeder periods: 200 ms
} // namespace

std::unique_ptr<OutputDevice> OutputDevice::Open(int rate)
{
    // SDL would otherwise take SIGINT and SIGTERM for an event queue that
    // nobody reads, and the program could no longer be stopped.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return nullptr;
    std::unique_ptr<OutputDevice> output(new OutputDevice);
    SDL_AudioSpec& want = output->wanted_;
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = DeviceBufferFrames;
    want.callback = &OutputDevice::Callback;
    want.userdata = output.get();
    output->rate_ = rate;
    output->bufferFrames_ = DeviceBufferFrames;
    // Opened now, so that a missing device is known at once, and closed
    // again until something plays.
    if (!output->OpenSystemDevice()) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_CloseAudioDevice(output->device_);
    output->device_ = 0;
    output->feeder_ = std::jthread([raw = output.get()](std::stop_token stop) { raw->FeederLoop(stop); });
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

bool OutputDevice::OpenSystemDevice()
{
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted_, &have, 0);
    if (device_ == 0)
        return false;

    // The mix buffer is sized once, by the first opening; a later device
    // that asks for more is served in pieces (see Callback).
    if (mix_.empty()) {
        bufferFrames_ = have.samples > 0 ? have.samples : DeviceBufferFrames;
        mix_.resize(static_cast<std::size_t>(bufferFrames_) * 2 * 4);
    }
    return true;
}

bool OutputDevice::DeviceOpen()
{
    std::lock_guard lock(deviceMutex_);
    return device_ != 0;
}

void OutputDevice::LockCallback()
{
    deviceMutex_.lock();
    if (device_ != 0)
        SDL_LockAudioDevice(device_);
}

void OutputDevice::UnlockCallback()
{
    if (device_ != 0)
        SDL_UnlockAudioDevice(device_);
    deviceMutex_.unlock();
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
            playing = playing || channel->Playing();
        }
        channels.clear();
        // The device is open while something plays - to the last frame it
        // was given, until the channel says it has stopped - and closed
        // otherwise.  The rings are filled before it starts.
        // A device just opened runs paused - SDL writes silence - for a few
        // periods first, so that the sound server's stream is under way
        // before the first frame arrives: a stream that starts on a busy
        // machine could otherwise run dry once at its start.
        bool lost = false;
        {
            std::lock_guard lock(deviceMutex_);
            if (playing && device_ == 0) {
                if (OpenSystemDevice()) {
                    warmUpRounds_ = WarmUpRounds;
                    failedOpens_ = 0;
                } else {
                    lost = ++failedOpens_ >= MostFailedOpens;
                }
            } else if (playing && device_ != 0 && warmUpRounds_ > 0) {
                if (--warmUpRounds_ == 0)
                    SDL_PauseAudioDevice(device_, 0);
            } else if (!playing && device_ != 0) {
                SDL_CloseAudioDevice(device_);
                device_ = 0;
            }
        }
        // A device gone since start-up (unplugged, its server restarting)
        // stops what would play on it rather than hold it playing for ever.
        if (lost) {
            failedOpens_ = 0;
            {
                std::lock_guard lock(listMutex_);
                channels = channels_;
            }
            for (const auto& channel : channels)
                channel->Stop();
            channels.clear();
            continue;
        }
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
