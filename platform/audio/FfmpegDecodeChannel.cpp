#include "FfmpegDecodeChannel.h"

#include "FfmpegLog.h"
#include "StereoMix.h"

#include "platform/FileFormats.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

constexpr std::uint32_t LargestRate16 = 65535;
constexpr std::uint32_t RateForHighSources = 48000;
// Real streams that change their rate on the way (joined files) stay
// within a few times of the rate they began at: 7350 to 48000 Hz is the
// widest.  A frame far below the output rate is damage, and resampling it
// would turn each of its samples into thousands (a few bytes of a FLAC
// frame claiming 1 Hz would fill gigabytes).
constexpr int MostUpsampling = 16;
// Nothing records faster than 768 kHz.  A header claiming more is damage,
// and resampling from it would take a filter as long as the ratio
// (gigabytes for the 1.3 GHz of a damaged AIFF).
constexpr int MostSourceRate = 768000;

// WMA (versions 1 and 2) without the bit reservoir codes every frame in
// block_align bytes of its own, and every frame holds a fixed number of
// samples per channel that the sample rate sets: its packets then tell
// exactly how much they decode to.  That number, or 0 for any other stream
// (with the reservoir a frame may straddle two packets).
std::uint32_t WmaFrameSamples(const AVCodecContext& codec)
{
    const bool version1 = codec.codec_id == AV_CODEC_ID_WMAV1;
    if ((!version1 && codec.codec_id != AV_CODEC_ID_WMAV2) || codec.block_align <= 0)
        return 0;
    const int flagsAt = version1 ? 2 : 4;  // in the stream's extra header bytes
    const unsigned flags = codec.extradata != nullptr && codec.extradata_size >= flagsAt + 2
                               ? AV_RL16(codec.extradata + flagsAt)
                               : 0;
    constexpr unsigned BitReservoir = 0x0002;
    if ((flags & BitReservoir) != 0)
        return 0;
    const int rate = codec.sample_rate;
    if (rate <= 16000)
        return 512;
    if (rate <= 22050 || (version1 && rate <= 32000))
        return 1024;
    return 2048;
}

// Whether a WMA (version 1 or 2) decoder fills bands with noise.  Its
// noise generator runs on from frame to frame, so a decoder started inside
// the stream cannot give the samples of the whole decode.  The decoder's
// own rule (bits per sample against the sample rate's class), answered
// "yes" wherever a rounding could tip it.
bool WmaFillsNoise(const AVCodecContext& codec)
{
    const bool version1 = codec.codec_id == AV_CODEC_ID_WMAV1;
    if (!version1 && codec.codec_id != AV_CODEC_ID_WMAV2)
        return false;
    const int channels = codec.ch_layout.nb_channels;
    int rateClass = codec.sample_rate;
    if (!version1) {
        for (int bound : {44100, 22050, 16000, 11025, 8000}) {
            if (rateClass >= bound) {
                rateClass = bound;
                break;
            }
        }
    }
    const double bps = static_cast<double>(codec.bit_rate) / (static_cast<double>(channels) * codec.sample_rate);
    const double bpsBoth = channels == 2 ? bps * 1.6 : bps;
    constexpr double Margin = 1.01;
    if (rateClass == 44100)
        return bpsBoth < 0.61 * Margin;
    if (rateClass == 22050)
        return bpsBoth < 1.16 * Margin;
    if (rateClass == 8000)
        return bps <= 0.75 * Margin;
    return true;
}

// The one demuxer a kind of file is read with, by its extension, or
// nullptr for a kind the editor does not decode.  Only that demuxer, and
// only the file protocol: a playlist or concat script saved under an
// audio file's name is not followed to the files it names.
const char* DemuxerFor(const std::string& path)
{
    const FileFormat* format = FormatOf(path);
    return format != nullptr ? format->Demuxer : nullptr;
}

// Frees an options dictionary when it goes.
struct Options {
    AVDictionary* Entries = nullptr;
    ~Options() { av_dict_free(&Entries); }
};

} // namespace

std::unique_ptr<FfmpegDecodeChannel> FfmpegDecodeChannel::Open(const std::string& path)
{
    ApplyFfmpegLogLevel();
    std::unique_ptr<FfmpegDecodeChannel> channel(new FfmpegDecodeChannel);
    if (!channel->Setup(path))
        return nullptr;
    return channel;
}

std::unique_ptr<FfmpegDecodeChannel> FfmpegDecodeChannel::OpenSegment(const std::string& path, std::uint64_t firstByte,
                                                         std::uint64_t endByte)
{
    auto channel = Open(path);
    if (!channel)
        return nullptr;
    channel->segment_ = true;
    channel->segmentFirst_ = static_cast<std::int64_t>(std::min<std::uint64_t>(firstByte, INT64_MAX));
    channel->segmentEnd_ = static_cast<std::int64_t>(std::min<std::uint64_t>(endByte, INT64_MAX));
    channel->inSegment_ = firstByte == 0;
    return channel;
}

FfmpegDecodeChannel::~FfmpegDecodeChannel() = default;

bool FfmpegDecodeChannel::Setup(const std::string& path)
{
    std::error_code error;
    fileSize_ = std::filesystem::file_size(path, error);
    if (error)
        return false;

    const char* demuxerName = DemuxerFor(path);
    const AVInputFormat* demuxer = demuxerName != nullptr ? av_find_input_format(demuxerName) : nullptr;
    if (demuxer == nullptr)
        return false;
    Options options;
    if (av_dict_set(&options.Entries, "format_whitelist", demuxerName, 0) < 0 ||
        av_dict_set(&options.Entries, "protocol_whitelist", "file", 0) < 0)
        return false;
    // "file:" in front, so that a name with a colon is never read as
    // another protocol's address.
    const std::string url = "file:" + path;
    AVFormatContext* rawFormat = nullptr;
    if (avformat_open_input(&rawFormat, url.c_str(), demuxer, &options.Entries) < 0)
        return false;
    format_.reset(rawFormat);
    if (avformat_find_stream_info(format_.get(), nullptr) < 0)
        return false;

    const AVCodec* decoder = nullptr;
    streamIndex_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (streamIndex_ < 0 || decoder == nullptr)
        return false;
    AVStream* stream = format_->streams[streamIndex_];

    codec_.reset(avcodec_alloc_context3(decoder));
    if (!codec_ || avcodec_parameters_to_context(codec_.get(), stream->codecpar) < 0)
        return false;
    codec_->pkt_timebase = stream->time_base;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0)
        return false;
    if (codec_->sample_rate <= 0 || codec_->sample_rate > MostSourceRate || codec_->ch_layout.nb_channels <= 0)
        return false;
    wmaFrameSamples_ = WmaFrameSamples(*codec_);
    noiseFilled_ = WmaFillsNoise(*codec_);

    const AVSampleFormat in = codec_->sample_fmt;
    outFormat_ = (in == AV_SAMPLE_FMT_U8 || in == AV_SAMPLE_FMT_U8P) ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    outChannels_ = codec_->ch_layout.nb_channels == 1 ? 1 : 2;
    const auto inRate = static_cast<std::uint32_t>(codec_->sample_rate);
    outRate_ = inRate > LargestRate16 ? RateForHighSources : inRate;
    bytesPerFrame_ = outChannels_ * av_get_bytes_per_sample(outFormat_);
    if (!SetupResampler(codec_->ch_layout, codec_->sample_fmt, codec_->sample_rate))
        return false;

    // The length estimate: the stream's duration less the part FFmpeg
    // skips at its start (the encoder delay of a tagged MP3).
    std::int64_t frames = 0;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        frames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, static_cast<int>(outRate_)});
        if (stream->start_time != AV_NOPTS_VALUE && stream->start_time > 0)
            frames -= av_rescale_q(stream->start_time, stream->time_base, AVRational{1, static_cast<int>(outRate_)});
    } else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0) {
        frames = av_rescale(format_->duration, outRate_, AV_TIME_BASE);
    }
    estimatedBytes_ = static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0)) *
                      static_cast<std::uint64_t>(bytesPerFrame_);

    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    return frame_ && packet_;
}

bool FfmpegDecodeChannel::SetupResampler(const AVChannelLayout& layout, AVSampleFormat format, int rate)
{
    AVChannelLayout inLayout{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, layout.nb_channels);
    else
        av_channel_layout_copy(&inLayout, &layout);
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, outChannels_);

    SwrContext* raw = nullptr;
    const int result = swr_alloc_set_opts2(&raw, &outLayout, outFormat_, static_cast<int>(outRate_), &inLayout,
                                           format, rate, 0, nullptr);
    resampler_.reset(raw);
    const int inChannels = inLayout.nb_channels;
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (result < 0 || !resampler_)
        return false;
    inChannels_ = layout.nb_channels;
    inFormat_ = format;
    inRate_ = rate;
    if (outChannels_ == 1)
        return swr_init(resampler_.get()) >= 0;
    return InitStereoMix(resampler_.get(), inChannels);
}

void FfmpegDecodeChannel::Convert(const AVFrame* frame)
{
    if (!resampler_)
        return;
    // A stream may change its channels, rate or sample format on the way
    // (joined files do): finish what the converter holds, then build one
    // for the frames as they come now.  The output stays as it began.
    if (frame != nullptr && (frame->ch_layout.nb_channels != inChannels_ || frame->sample_rate != inRate_ ||
                             frame->format != inFormat_)) {
        segmentExact_ = false;  // a segment would begin with the other converter
        if (frame->sample_rate > MostSourceRate ||
            (frame->sample_rate > 0 &&
             static_cast<std::int64_t>(frame->sample_rate) * MostUpsampling < static_cast<std::int64_t>(outRate_)))
            return;  // left out, as a damaged packet is
        Convert(nullptr);
        if (frame->ch_layout.nb_channels <= 0 || frame->sample_rate <= 0 ||
            !SetupResampler(frame->ch_layout, static_cast<AVSampleFormat>(frame->format), frame->sample_rate)) {
            resampler_.reset();
            return;
        }
    }
    const int room = swr_get_out_samples(resampler_.get(), frame ? frame->nb_samples : 0);
    if (room <= 0)
        return;
    const std::size_t oldSize = pending_.size();
    pending_.resize(oldSize + static_cast<std::size_t>(room) * static_cast<std::size_t>(bytesPerFrame_));
    std::uint8_t* out = pending_.data() + oldSize;
    const int converted =
        swr_convert(resampler_.get(), &out, room, frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                    frame ? frame->nb_samples : 0);
    const std::size_t kept = converted > 0 ? static_cast<std::size_t>(converted) * static_cast<std::size_t>(bytesPerFrame_) : 0;
    pending_.resize(oldSize + kept);
    produced_ += kept;
}

void FfmpegDecodeChannel::Drain()
{
    while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
        Convert(frame_.get());
        av_frame_unref(frame_.get());
    }
}

bool FfmpegDecodeChannel::CarriesLongState() const
{
    const AVCodecID id = codec_->codec_id;
    return id == AV_CODEC_ID_VORBIS || id == AV_CODEC_ID_AAC || id == AV_CODEC_ID_OPUS;
}

bool FfmpegDecodeChannel::Lossless() const
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec_->codec_id);
    return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0;
}

bool FfmpegDecodeChannel::HasExactPacketDurations() const
{
    // Each of these decodes a packet to exactly what its duration says, and
    // FLAC, ALAC and PCM packets decode alone, without the one before.
    const AVCodecID id = codec_->codec_id;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    const bool pcm = descriptor != nullptr && std::strncmp(descriptor->name, "pcm_", 4) == 0;
    return id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_MP1 || wmaFrameSamples_ > 0 ||
           id == AV_CODEC_ID_FLAC || id == AV_CODEC_ID_ALAC || pcm;
}

std::uint64_t FfmpegDecodeChannel::PacketBytes(const AVPacket& packet) const
{
    if (wmaFrameSamples_ > 0) {
        const auto frames = static_cast<std::uint64_t>(packet.size / codec_->block_align);
        return frames * wmaFrameSamples_ * static_cast<std::uint64_t>(bytesPerFrame_);
    }
    const AVStream* stream = format_->streams[streamIndex_];
    std::int64_t samples = av_rescale_q(packet.duration, stream->time_base, AVRational{1, static_cast<int>(outRate_)});
    // What the decoder drops of it: the encoder's delay at the start, the
    // padding at the end.
    std::size_t size = 0;
    if (const std::uint8_t* skip = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size); skip && size >= 8)
        samples -= static_cast<std::int64_t>(AV_RL32(skip)) + static_cast<std::int64_t>(AV_RL32(skip + 4));
    return samples > 0 ? static_cast<std::uint64_t>(samples) * static_cast<std::uint64_t>(bytesPerFrame_) : 0;
}

void FfmpegDecodeChannel::DecodeLeadIn()
{
    for (const ffmpeg::Packet& packet : leadIn_) {
        if (avcodec_send_packet(codec_.get(), packet.get()) == 0) {
            while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0)
                av_frame_unref(frame_.get());
        }
    }
    leadIn_.clear();
}

void FfmpegDecodeChannel::DecodeMore()
{
    const std::size_t before = pending_.size();
    while (!finished_ && pending_.size() == before) {
        if (!inputEnded_) {
            const int read = av_read_frame(format_.get(), packet_.get());
            if (read < 0) {
                inputEnded_ = true;
                avcodec_send_packet(codec_.get(), nullptr);
                Drain();
                Convert(nullptr);  // what the resampler still holds
                finished_ = true;
                break;
            }
            if (packet_->stream_index == streamIndex_ && segment_) {
                if (packet_->pos < 0)
                    segmentExact_ = false;  // no place in the file to split at
                if (!inSegment_ && packet_->pos >= segmentFirst_) {
                    DecodeLeadIn();
                    inSegment_ = true;
                }
                if (!inSegment_) {
                    predictedStart_ += PacketBytes(*packet_);
                    // Before the segment: kept only as its lead-in.
                    leadIn_.emplace_back(av_packet_alloc());
                    av_packet_move_ref(leadIn_.back().get(), packet_.get());
                    if (leadIn_.size() > LeadInPackets)
                        leadIn_.pop_front();
                    continue;
                }
                if (packet_->pos >= segmentEnd_) {
                    // The next segment's first packet: this one ends here,
                    // with nothing flushed.
                    av_packet_unref(packet_.get());
                    finished_ = true;
                    break;
                }
            }
            if (packet_->stream_index == streamIndex_) {
                if (segment_)
                    predictedSent_ += PacketBytes(*packet_);
                // A damaged packet is skipped, as the ffmpeg tool does.
                if (avcodec_send_packet(codec_.get(), packet_.get()) == 0)
                    Drain();
            }
            av_packet_unref(packet_.get());
        }
    }
}

std::uint32_t FfmpegDecodeChannel::Read(void* buffer, std::uint32_t length)
{
    const std::size_t wanted = (length / static_cast<std::uint32_t>(bytesPerFrame_)) * static_cast<std::size_t>(bytesPerFrame_);
    while (pending_.size() - pendingStart_ < wanted && !finished_)
        DecodeMore();
    const std::size_t available = pending_.size() - pendingStart_;
    if (available == 0 && finished_)
        return static_cast<std::uint32_t>(-1);
    const std::size_t count = std::min(available, wanted);
    std::memcpy(buffer, pending_.data() + pendingStart_, count);
    pendingStart_ += count;
    delivered_ += count;
    // Drop what has been handed out once it is a good part of the buffer.
    if (pendingStart_ > (1u << 16) && pendingStart_ * 2 > pending_.size()) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_));
        pendingStart_ = 0;
    }
    return static_cast<std::uint32_t>(count);
}

std::uint64_t FfmpegDecodeChannel::Length() const
{
    return finished_ ? produced_ : estimatedBytes_;
}

DWORD FfmpegDecodeChannel::GetData(void* buffer, DWORD length)
{
    if ((length & 0x80000000u) != 0)
        return static_cast<DWORD>(-1);
    return Read(buffer, length);
}

} // namespace velmora

// The module's entry point (see OpenDecodeChannelFunction).
extern "C" __attribute__((visibility("default"))) velmora::DecodeChannel*
VelmoraOpenDecodeChannel(const char* path, int segment, std::uint64_t firstByte, std::uint64_t endByte)
{
    if (path == nullptr)
        return nullptr;
    auto channel = segment != 0 ? velmora::FfmpegDecodeChannel::OpenSegment(path, firstByte, endByte)
                                : velmora::FfmpegDecodeChannel::Open(path);
    return channel.release();
}
