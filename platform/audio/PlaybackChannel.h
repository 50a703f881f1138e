#pragma once

#include "AudioChannel.h"
#include "FfmpegHandles.h"
#include "SampleRing.h"
#include "SpectrumAnalyzer.h"

#include "platform/File.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

class OutputDevice;

// A playback stream on a PCM WAV file (8 or 16-bit, any channel count and
// rate).  Its positions are bytes of the file's own payload, in whole
// frames of the file (channels x bytes per sample).
//
// Three threads meet here: the main thread drives the transport and asks
// for the position, spectrum and level; the output device's feeder thread
// reads the file ahead, converts it to the device's format and fills a
// ring; the device callback takes from the ring.  The main thread and the
// feeder share the channel's mutex; changes that reset the ring also shut
// the callback out through the device's lock.
class PlaybackChannel final : public AudioChannel {
public:
    enum class State { Stopped, Playing, Paused };

    static std::shared_ptr<PlaybackChannel> Open(const std::string& path, OutputDevice& device);
    ~PlaybackChannel() override;

    // Main thread.
    // False when playback cannot start (its converter failed to reset).
    bool Play(bool restart);
    void Pause();
    void Stop();
    // Moves the position; a range being played is let go (playing goes on
    // to the end of the file).
    bool SetPosition(std::uint64_t byte);
    // Plays frames [first, end) of the file from first and stops at end, or
    // with loop goes on from first again without a gap until stopped.
    // False when playback cannot start.
    bool PlayRange(std::uint64_t first, std::uint64_t end, bool loop);
    // A range being played repeats or not from now on: turned off, the pass
    // being fed (up to the ring's half second ahead of the one heard) is
    // the last.
    void SetLoop(bool loop);
    // True while a range is set: being played, paused in, or played to its
    // end (until Stop, SetPosition or Play from the start).
    bool PlaysRange() const { return rangeSet_.load(); }
    std::uint64_t Position() override;      // bytes: the frame being heard now
    std::uint64_t Length() const override;  // bytes: the payload in whole frames
    State Activity();                       // Stopped also after playing to the end
    void Spectrum(float* magnitudes);    // 512 values
    std::uint32_t Level();               // left | right << 16, 0..32768 each
    std::uint32_t Rate() const override { return rate_; }
    std::uint32_t Channels() const override { return channels_; }
    bool EightBit() const override { return bits_ == 8; }
    std::uint32_t BytesPerFrame() const override { return blockAlign_; }
    std::uint64_t FileSize() const override { return fileSize_; }
    void Close();  // closes the file at once

    DWORD ActiveState() override;
    // BASS_DATA_FFT1024 only: the spectrum.
    DWORD GetData(void* buffer, DWORD length) override;
    // Closes the file and leaves the device.
    void Release() override;

    // Feeder thread: converts and queues more audio when there is room;
    // true when it queued something.
    bool Feed();
    // Feeder thread: true while playing with more to queue.
    bool NeedsFeeding() const;
    // Feeder thread: true while playing, the last frames queued included.
    bool Playing() const { return state_.load() == State::Playing; }

    // Device callback: adds up to frames stereo frames to mix.
    void MixInto(std::int32_t* mix, std::size_t frames);

private:
    explicit PlaybackChannel(OutputDevice& device);
    bool Setup(const std::string& path);
    bool ResetResampler();
    // The frame being heard, from the frames the callback has taken: along
    // the stretch from segmentStart_, through the range's passes when it
    // loops.  Caller holds mutex_.
    std::uint64_t HeardFrame() const;
    // Plays to the end of the file again.  Caller holds mutex_.
    void ForgetRange();
    // Starts a new stretch of playback at frame (ring emptied, converter
    // reset).  Caller holds mutex_.  False when the converter could not be
    // reset: nothing can be played until a later reset works.
    bool StartSegment(std::uint64_t frame);
    // Frames [first, first + count) as float per channel-mixed sample, or
    // per-channel peaks; zeros outside the payload.
    std::size_t ReadFrames(std::uint64_t first, std::size_t count, std::vector<std::uint8_t>& bytes);

    OutputDevice& device_;
    File file_;           // the feeder's
    File analysisFile_;   // the main thread's, for spectrum and level
    std::uint64_t fileSize_ = 0;
    std::uint32_t channels_ = 0;
    std::uint32_t rate_ = 0;
    std::uint32_t bits_ = 16;
    std::uint32_t blockAlign_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::uint64_t totalFrames_ = 0;

    std::mutex mutex_;
    ffmpeg::Resampler resampler_;
    std::uint64_t readFrame_ = 0;     // next frame the feeder reads
    std::uint64_t segmentStart_ = 0;  // frame at which the current stretch began
    // The range played: frames [rangeStart_, rangeEnd_), the whole file
    // when none is set; with loop_ the feeder goes from its end back to its
    // start, wraps_ times so far in this stretch.
    std::atomic<bool> rangeSet_{false};
    std::uint64_t rangeStart_ = 0;
    std::uint64_t rangeEnd_ = 0;
    bool loop_ = false;
    std::uint64_t wraps_ = 0;
    bool closed_ = false;
    std::atomic<bool> converterBroken_{false};

    SampleRing ring_;
    std::vector<std::int16_t> callbackScratch_;
    std::vector<std::uint8_t> feedBytes_;
    std::vector<std::int16_t> feedConverted_;
    std::atomic<State> state_{State::Stopped};
    std::atomic<std::uint64_t> consumed_{0};  // device frames taken since segmentStart_
    std::atomic<bool> feederDone_{false};

    SpectrumAnalyzer analyzer_;
};

} // namespace velmora
