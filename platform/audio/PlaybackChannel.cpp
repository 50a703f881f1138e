#include "PlaybackChannel.h"

#include "FfmpegLog.h"
#include "OutputDevice.h"
#include "StereoMix.h"

#include "platform/ByteOrder.h"
#include "platform/RiffWave.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velmora {

namespace {

constexpr std::size_t FeedFrames = 2048;      // source frames read per step
constexpr double RingSeconds = 0.5;           // audio queued ahead of the callback
constexpr double LevelWindowSeconds = 0.02;   // the level's look-back

} // namespace

PlaybackChannel::PlaybackChannel(OutputDevice& device) : device_(device), ring_(0)
{
}

PlaybackChannel::~PlaybackChannel() = default;

std::shared_ptr<PlaybackChannel> PlaybackChannel::Open(const std::string& path, OutputDevice& device)
{
    ApplyFfmpegLogLevel();
    std::shared_ptr<PlaybackChannel> channel(new PlaybackChannel(device));
    if (!channel->Setup(path))
        return nullptr;
    return channel;
}

bool PlaybackChannel::Setup(const std::string& path)
{
    file_ = File::Open(path, File::Mode::Read);
    analysisFile_ = File::Open(path, File::Mode::Read);
    if (!file_ || !analysisFile_)
        return false;
    const RiffWaveLayout layout = ScanRiffWave(file_);
    if (!layout.FormatAtStart || layout.FormatTag != 1 || !layout.DataFound || layout.Channels == 0 ||
        layout.SampleRate == 0 || (layout.BitsPerSample != 8 && layout.BitsPerSample != 16))
        return false;
    fileSize_ = file_.Size();
    channels_ = layout.Channels;
    rate_ = layout.SampleRate;
    bits_ = layout.BitsPerSample;
    blockAlign_ = channels_ * (bits_ / 8);
    dataOffset_ = layout.DataOffset;
    totalFrames_ = layout.DataSize / blockAlign_;
    rangeEnd_ = totalFrames_;
    // Half a second of device audio, and always room for what one source
    // frame becomes at the lowest rates, with the converter's filter.
    const auto deviceRate = static_cast<std::size_t>(device_.Rate());
    const std::size_t perSourceFrame = deviceRate / rate_ + 1;
    ring_.Reset(2 * std::max(static_cast<std::size_t>(deviceRate * RingSeconds), 4 * perSourceFrame + 256));
    callbackScratch_.resize(static_cast<std::size_t>(device_.BufferFrames()) * 2 * 4);
    std::lock_guard lock(mutex_);
    return ResetResampler();
}

bool PlaybackChannel::ResetResampler()
{
    AVChannelLayout in{};
    av_channel_layout_default(&in, static_cast<int>(channels_));
    AVChannelLayout out = AV_CHANNEL_LAYOUT_STEREO;
    SwrContext* raw = nullptr;
    const AVSampleFormat inFormat = bits_ == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    const int result = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, device_.Rate(), &in, inFormat,
                                           static_cast<int>(rate_), 0, nullptr);
    resampler_.reset(raw);
    av_channel_layout_uninit(&in);
    if (result < 0 || !resampler_)
        return false;
    const int inChannels = static_cast<int>(channels_);
    if (inChannels == 1) {
        // Mono goes to both speakers at full level.
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(resampler_.get(), matrix, 1);
    }
    return InitStereoMix(resampler_.get(), inChannels);
}

std::uint64_t PlaybackChannel::HeardFrame() const
{
    const std::uint64_t consumed = consumed_.load(std::memory_order_acquire);
    const auto latency = static_cast<std::uint64_t>(device_.LatencyFrames());
    const std::uint64_t heard = consumed > latency ? consumed - latency : 0;
    const std::uint64_t played = heard * rate_ / static_cast<std::uint64_t>(device_.Rate());  // frames since segmentStart_
    const std::uint64_t firstPass = rangeEnd_ > segmentStart_ ? rangeEnd_ - segmentStart_ : 0;
    if (played < firstPass)
        return segmentStart_ + played;
    // Past the range's end: through the passes the feeder went round.
    const std::uint64_t length = rangeEnd_ - rangeStart_;
    const std::uint64_t beyond = played - firstPass;
    if (length == 0 || beyond / length >= wraps_)
        return std::min(rangeEnd_, totalFrames_);
    return rangeStart_ + beyond % length;
}

void PlaybackChannel::ForgetRange()
{
    rangeSet_.store(false);
    rangeStart_ = 0;
    rangeEnd_ = totalFrames_;
    loop_ = false;
}

bool PlaybackChannel::StartSegment(std::uint64_t frame)
{
    device_.LockCallback();
    ring_.Clear();
    consumed_.store(0, std::memory_order_release);
    feederDone_.store(false, std::memory_order_release);
    segmentStart_ = frame;
    readFrame_ = frame;
    wraps_ = 0;
    device_.UnlockCallback();
    // Forget what the converter held.
    converterBroken_.store(swr_init(resampler_.get()) < 0);
    return !converterBroken_.load();
}

bool PlaybackChannel::Play(bool restart)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        const State state = state_.load();
        if (restart)
            ForgetRange();
        // A pause lets the device go, and with it the frames it held but
        // had not played: going on starts again from the frame heard.
        if (restart || state == State::Stopped || state == State::Paused) {
            if (!StartSegment(restart ? 0 : HeardFrame()))
                return false;
        }
        if (converterBroken_.load())
            return false;
        state_.store(State::Playing);
    }
    device_.Wake();
    return true;
}

bool PlaybackChannel::NeedsFeeding() const
{
    return state_.load() == State::Playing && !feederDone_.load();
}

void PlaybackChannel::Pause()
{
    if (state_.load() == State::Playing)
        state_.store(State::Paused);
}

void PlaybackChannel::Stop()
{
    std::lock_guard lock(mutex_);
    const std::uint64_t at = HeardFrame();
    state_.store(State::Stopped);
    ForgetRange();
    StartSegment(at);
}

bool PlaybackChannel::PlayRange(std::uint64_t first, std::uint64_t end, bool loop)
{
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        end = std::min(end, totalFrames_);
        first = std::min(first, end);
        rangeStart_ = first;
        rangeEnd_ = end;
        loop_ = loop && end > first;
        rangeSet_.store(true);
        if (!StartSegment(first) || converterBroken_.load())
            return false;
        state_.store(State::Playing);
    }
    device_.Wake();
    return true;
}

void PlaybackChannel::SetLoop(bool loop)
{
    std::lock_guard lock(mutex_);
    if (rangeSet_.load())
        loop_ = loop && rangeEnd_ > rangeStart_;
}

bool PlaybackChannel::SetPosition(std::uint64_t byte)
{
    bool started = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_)
            return false;
        ForgetRange();
        started = StartSegment(std::min(byte / blockAlign_, totalFrames_));
    }
    device_.Wake();
    return started;
}

std::uint64_t PlaybackChannel::Position()
{
    std::lock_guard lock(mutex_);
    return HeardFrame() * blockAlign_;
}

std::uint64_t PlaybackChannel::Length() const
{
    return totalFrames_ * blockAlign_;
}

PlaybackChannel::State PlaybackChannel::Activity()
{
    std::lock_guard lock(mutex_);
    if (state_.load() == State::Playing && feederDone_.load() && ring_.Available() == 0 &&
        HeardFrame() >= std::min(rangeEnd_, totalFrames_))
        state_.store(State::Stopped);  // played to the end; the position stays there
    return state_.load();
}

void PlaybackChannel::Close()
{
    std::lock_guard lock(mutex_);
    state_.store(State::Stopped);
    closed_ = true;
    file_.Close();
    analysisFile_.Close();
}

bool PlaybackChannel::Feed()
{
    std::lock_guard lock(mutex_);
    if (closed_ || state_.load() != State::Playing || feederDone_.load())
        return false;

    // A loop goes on from the range's start, with the converter's state
    // carried over: no gap and no click at the join.
    if (loop_ && readFrame_ >= rangeEnd_) {
        readFrame_ = rangeStart_;
        ++wraps_;
    }
    const std::uint64_t end = std::min(rangeEnd_, totalFrames_);
    const std::uint64_t left = end - std::min(readFrame_, end);
    // As many source frames as the ring has room for once converted: few
    // at low source rates, where one frame becomes many device frames.
    auto inFrames = static_cast<int>(std::min<std::uint64_t>(FeedFrames, left));
    int room = swr_get_out_samples(resampler_.get(), inFrames);
    while (inFrames > 1 && (room < 0 || ring_.Free() < static_cast<std::size_t>(room) * 2)) {
        inFrames /= 2;
        room = swr_get_out_samples(resampler_.get(), inFrames);
    }
    if (room < 0 || ring_.Free() < static_cast<std::size_t>(room) * 2)
        return false;

    feedConverted_.resize(static_cast<std::size_t>(room) * 2);
    auto* out = reinterpret_cast<std::uint8_t*>(feedConverted_.data());
    int converted = 0;
    std::size_t got = 0;
    if (inFrames > 0) {
        feedBytes_.resize(static_cast<std::size_t>(inFrames) * blockAlign_);
        got = file_.ReadAt(dataOffset_ + readFrame_ * blockAlign_, feedBytes_.data(), feedBytes_.size());
        const auto framesRead = static_cast<int>(got / blockAlign_);
        const std::uint8_t* in = feedBytes_.data();
        converted = swr_convert(resampler_.get(), &out, room, &in, framesRead);
        readFrame_ += static_cast<std::uint64_t>(framesRead);
        if (framesRead < inFrames) {
            readFrame_ = end;  // the file ended early: the range is not played again
            loop_ = false;
        }
    } else {
        // Everything is read: take what the converter still holds.
        converted = swr_convert(resampler_.get(), &out, room, nullptr, 0);
    }
    if (converted > 0)
        ring_.Push(feedConverted_.data(), static_cast<std::size_t>(converted) * 2);
    // Only once the last samples are queued: the callback counts silence
    // as heard after this.
    if (inFrames == 0)
        feederDone_.store(true, std::memory_order_release);
    return converted > 0 || inFrames > 0;
}

void PlaybackChannel::MixInto(std::int32_t* mix, std::size_t frames)
{
    if (state_.load(std::memory_order_acquire) != State::Playing)
        return;
    if (callbackScratch_.size() < frames * 2)
        return;  // never happens: sized for the device's buffer
    const std::size_t got = ring_.Pop(callbackScratch_.data(), frames * 2) / 2;
    for (std::size_t i = 0; i < got * 2; ++i)
        mix[i] += callbackScratch_[i];
    std::uint64_t taken = got;
    // Past the end, the silence that follows counts as heard, so that the
    // position reaches the end once the last frames have left the device.
    if (got < frames && feederDone_.load(std::memory_order_acquire))
        taken = frames;
    consumed_.fetch_add(taken, std::memory_order_acq_rel);
}

std::size_t PlaybackChannel::ReadFrames(std::uint64_t first, std::size_t count, std::vector<std::uint8_t>& bytes)
{
    bytes.assign(count * blockAlign_, bits_ == 8 ? 128 : 0);
    if (first >= totalFrames_)
        return 0;
    const auto frames = static_cast<std::size_t>(std::min<std::uint64_t>(count, totalFrames_ - first));
    return analysisFile_.ReadAt(dataOffset_ + first * blockAlign_, bytes.data(), frames * blockAlign_) / blockAlign_;
}

void PlaybackChannel::Spectrum(float* magnitudes)
{
    std::uint64_t heard;
    {
        std::lock_guard lock(mutex_);
        heard = HeardFrame();
    }
    constexpr int size = SpectrumAnalyzer::Size;
    const std::uint64_t first = heard > size / 2 ? heard - size / 2 : 0;
    std::vector<std::uint8_t> bytes;
    ReadFrames(first, size, bytes);
    float samples[size];
    const std::uint32_t perFrame = channels_;
    for (int n = 0; n < size; ++n) {
        float sum = 0;
        for (std::uint32_t c = 0; c < perFrame; ++c) {
            const std::size_t at = static_cast<std::size_t>(n) * blockAlign_ + c * (bits_ / 8);
            sum += bits_ == 8 ? (static_cast<float>(bytes[at]) - 128.0f) / 128.0f
                              : static_cast<float>(GetS16LE(&bytes[at])) / 32768.0f;
        }
        samples[n] = sum / static_cast<float>(perFrame);
    }
    analyzer_.Analyze(samples, magnitudes);
}

std::uint32_t PlaybackChannel::Level()
{
    std::uint64_t heard;
    {
        std::lock_guard lock(mutex_);
        if (state_.load() != State::Playing)
            return 0;
        heard = HeardFrame();
    }
    const auto window = static_cast<std::uint64_t>(std::ceil(rate_ * LevelWindowSeconds));
    const std::uint64_t first = heard > window ? heard - window : 0;
    std::vector<std::uint8_t> bytes;
    const std::size_t frames = ReadFrames(first, static_cast<std::size_t>(heard - first), bytes);
    std::uint32_t peak[2] = {0, 0};
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::uint32_t c = 0; c < std::min<std::uint32_t>(channels_, 2); ++c) {
            const std::size_t at = f * blockAlign_ + c * (bits_ / 8);
            const std::uint32_t magnitude = bits_ == 8
                                                ? static_cast<std::uint32_t>(std::abs(bytes[at] - 128)) * 256
                                                : static_cast<std::uint32_t>(std::abs(static_cast<int>(GetS16LE(&bytes[at]))));
            peak[c] = std::max(peak[c], magnitude);
        }
    }
    if (channels_ == 1)
        peak[1] = peak[0];
    return peak[0] | (peak[1] << 16);
}

DWORD PlaybackChannel::ActiveState()
{
    switch (Activity()) {
    case State::Playing: return BASS_ACTIVE_PLAYING;
    case State::Paused: return BASS_ACTIVE_PAUSED;
    case State::Stopped: break;
    }
    return BASS_ACTIVE_STOPPED;
}

DWORD PlaybackChannel::GetData(void* buffer, DWORD length)
{
    if (length != BASS_DATA_FFT1024)
        return static_cast<DWORD>(-1);
    Spectrum(static_cast<float*>(buffer));
    return SpectrumAnalyzer::Bins * sizeof(float);
}

void PlaybackChannel::Release()
{
    Close();
    device_.Remove(this);
}

} // namespace velmora
