#include "FfmpegAudioWriter.h"

#include "platform/audio/FfmpegHandles.h"
#include "platform/audio/FfmpegLog.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace velmora {

namespace {

// The output: the owned descriptor behind a custom I/O context.
struct Output {
    int Fd = -1;
    std::int64_t Position = 0;  // bytes of the file
    std::int64_t End = 0;       // bytes of the file written so far

    ~Output()
    {
        if (Fd >= 0)
            ::close(Fd);
    }

#if LIBAVFORMAT_VERSION_MAJOR >= 61
    using Bytes = const std::uint8_t*;
#else
    using Bytes = std::uint8_t*;
#endif
    static int Write(void* opaque, Bytes buffer, int size)
    {
        auto* self = static_cast<Output*>(opaque);
        int done = 0;
        while (done < size) {
            const ssize_t wrote = ::pwrite(self->Fd, buffer + done, static_cast<std::size_t>(size - done),
                                           self->Position + done);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                return AVERROR(wrote < 0 ? errno : EIO);
            done += static_cast<int>(wrote);
        }
        self->Position += size;
        self->End = std::max(self->End, self->Position);
        return size;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* self = static_cast<Output*>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return self->End;
        case SEEK_SET: break;
        case SEEK_CUR: offset += self->Position; break;
        case SEEK_END: offset += self->End; break;
        default: return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        self->Position = offset;
        return offset;
    }
};

struct MuxerDeleter {
    void operator()(AVFormatContext* muxer) const
    {
        if (muxer->pb != nullptr) {
            av_freep(&muxer->pb->buffer);
            avio_context_free(&muxer->pb);
        }
        avformat_free_context(muxer);
    }
};
struct FifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

// The encoder's sample format: 16-bit where it takes that (FLAC then
// encodes the samples as they are), else its first.
AVSampleFormat SampleFormatFor(const AVCodec& encoder)
{
    const AVSampleFormat* formats = encoder.sample_fmts;
    if (formats == nullptr)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_S16)
            return *f;
    }
    return formats[0];
}

// Frames an encoder without a fixed frame size is given at a time.
constexpr int VariableFrameSize = 4096;

} // namespace

struct FfmpegAudioWriter::State {
    Output File;
    AudioWriterFormat Format;
    std::unique_ptr<AVFormatContext, MuxerDeleter> Muxer;
    ffmpeg::CodecContext Codec;
    ffmpeg::Resampler Resampler;
    std::unique_ptr<AVAudioFifo, FifoDeleter> Fifo;
    ffmpeg::Frame Frame;
    ffmpeg::Packet Packet;
    std::vector<std::vector<std::uint8_t>> Planes;  // converted samples, reused
    int FrameSize = 0;
    std::int64_t NextPts = 0;  // frames at the output rate
    bool Finished = false;
    bool Failed = false;

    // Sends one frame (or nullptr to drain) and writes what comes out.
    bool Encode(AVFrame* frame)
    {
        if (avcodec_send_frame(Codec.get(), frame) < 0)
            return false;
        for (;;) {
            const int result = avcodec_receive_packet(Codec.get(), Packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return true;
            if (result < 0)
                return false;
            av_packet_rescale_ts(Packet.get(), Codec->time_base, Muxer->streams[0]->time_base);
            Packet->stream_index = 0;
            if (av_interleaved_write_frame(Muxer.get(), Packet.get()) < 0)
                return false;
        }
    }

    // Encodes whole frames from the FIFO; with final, the short rest too.
    bool Drain(bool final)
    {
        while (av_audio_fifo_size(Fifo.get()) >= FrameSize || (final && av_audio_fifo_size(Fifo.get()) > 0)) {
            const int count = std::min(FrameSize, av_audio_fifo_size(Fifo.get()));
            av_frame_unref(Frame.get());
            Frame->nb_samples = count;
            Frame->format = Codec->sample_fmt;
            Frame->sample_rate = Codec->sample_rate;
            if (av_channel_layout_copy(&Frame->ch_layout, &Codec->ch_layout) < 0 ||
                av_frame_get_buffer(Frame.get(), 0) < 0)
                return false;
            if (av_audio_fifo_read(Fifo.get(), reinterpret_cast<void**>(Frame->data), count) != count)
                return false;
            Frame->pts = NextPts;
            NextPts += count;
            if (!Encode(Frame.get()))
                return false;
        }
        return true;
    }

    // Converts input PCM (or, with nullptr, what the converter holds) into
    // the FIFO.
    bool Convert(const std::int16_t* pcm, int frames)
    {
        const int room = swr_get_out_samples(Resampler.get(), frames);
        if (room < 0)
            return false;
        if (room == 0)
            return true;
        const auto format = static_cast<AVSampleFormat>(Codec->sample_fmt);
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const int channels = Codec->ch_layout.nb_channels;
        const std::size_t bytes = static_cast<std::size_t>(room) * static_cast<std::size_t>(
                                      av_get_bytes_per_sample(format) * (planar ? 1 : channels));
        Planes.resize(static_cast<std::size_t>(planar ? channels : 1));
        std::vector<std::uint8_t*> out;
        for (auto& plane : Planes) {
            if (plane.size() < bytes)
                plane.resize(bytes);
            out.push_back(plane.data());
        }
        const auto* in = reinterpret_cast<const std::uint8_t*>(pcm);
        const int converted = swr_convert(Resampler.get(), out.data(), room, pcm != nullptr ? &in : nullptr, frames);
        if (converted < 0)
            return false;
        return av_audio_fifo_write(Fifo.get(), reinterpret_cast<void**>(out.data()), converted) == converted;
    }

    bool Setup();
};

bool FfmpegAudioWriter::State::Setup()
{
    const AudioWriterFormat& f = Format;
    if (f.Encoder == nullptr || f.Muxer == nullptr || f.InputRate <= 0 || f.InputChannels <= 0 ||
        f.OutputRate <= 0 || f.OutputChannels < 1 || f.OutputChannels > 2)
        return false;
    const AVCodec* encoder = avcodec_find_encoder_by_name(f.Encoder);
    if (encoder == nullptr)
        return false;
    Codec.reset(avcodec_alloc_context3(encoder));
    if (!Codec)
        return false;
    AVCodecContext* codec = Codec.get();
    codec->sample_fmt = SampleFormatFor(*encoder);
    codec->sample_rate = f.OutputRate;
    av_channel_layout_default(&codec->ch_layout, f.OutputChannels);
    codec->bit_rate = f.BitRate;
    codec->time_base = AVRational{1, codec->sample_rate};
    if (f.Quality) {
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = static_cast<int>(*f.Quality * FF_QP2LAMBDA);
    }
    if (f.CompressionLevel >= 0)
        codec->compression_level = f.CompressionLevel;

    AVFormatContext* muxer = nullptr;
    if (avformat_alloc_output_context2(&muxer, nullptr, f.Muxer, nullptr) < 0 || muxer == nullptr)
        return false;
    Muxer.reset(muxer);
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // What the encoder cannot do (a bit rate, a rate) fails here.
    if (avcodec_open2(codec, encoder, nullptr) < 0)
        return false;
    FrameSize = codec->frame_size > 0 ? codec->frame_size : VariableFrameSize;

    AVStream* stream = avformat_new_stream(muxer, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec) < 0)
        return false;
    stream->time_base = codec->time_base;

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, f.InputChannels);
    SwrContext* resampler = nullptr;
    const int made = swr_alloc_set_opts2(&resampler, &codec->ch_layout, codec->sample_fmt, codec->sample_rate,
                                         &inLayout, AV_SAMPLE_FMT_S16, f.InputRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    Resampler.reset(resampler);
    if (made < 0 || !Resampler)
        return false;
    if (f.FineResampling && f.InputRate != f.OutputRate &&
        (av_opt_set_int(resampler, "filter_size", 64, 0) < 0 || av_opt_set_int(resampler, "phase_shift", 14, 0) < 0 ||
         av_opt_set_double(resampler, "cutoff", 0.97, 0) < 0))
        return false;
    if (swr_init(resampler) < 0)
        return false;

    Fifo.reset(av_audio_fifo_alloc(codec->sample_fmt, codec->ch_layout.nb_channels, FrameSize * 4));
    Frame.reset(av_frame_alloc());
    Packet.reset(av_packet_alloc());
    if (!Fifo || !Frame || !Packet)
        return false;

    constexpr int IoBufferBytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(IoBufferBytes));
    if (buffer == nullptr)
        return false;
    muxer->pb = avio_alloc_context(buffer, IoBufferBytes, 1, &File, nullptr, &Output::Write, &Output::Seek);
    if (muxer->pb == nullptr) {
        av_free(buffer);
        return false;
    }
    muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_write_header(muxer, nullptr) < 0)
        return false;

    if (f.SilentFirstFrame) {
        // Zeros in the encoder's own format are silence for every signed
        // format it takes.
        uint8_t** silence = nullptr;
        if (av_samples_alloc_array_and_samples(&silence, nullptr, codec->ch_layout.nb_channels, FrameSize,
                                               codec->sample_fmt, 0) < 0)
            return false;
        av_samples_set_silence(silence, 0, FrameSize, codec->ch_layout.nb_channels, codec->sample_fmt);
        const bool written = av_audio_fifo_write(Fifo.get(), reinterpret_cast<void**>(silence), FrameSize) == FrameSize;
        av_freep(&silence[0]);
        av_freep(&silence);
        if (!written)
            return false;
    }
    return true;
}

FfmpegAudioWriter::FfmpegAudioWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

FfmpegAudioWriter::~FfmpegAudioWriter() = default;

std::unique_ptr<FfmpegAudioWriter> FfmpegAudioWriter::Open(int ownedFd, const AudioWriterFormat& format)
{
    ApplyFfmpegLogLevel();
    auto state = std::make_unique<State>();
    state->File.Fd = ownedFd;
    state->Format = format;
    if (ownedFd < 0 || !state->Setup())
        return nullptr;
    return std::unique_ptr<FfmpegAudioWriter>(new FfmpegAudioWriter(std::move(state)));
}

bool FfmpegAudioWriter::Write(const std::int16_t* pcm, std::size_t frames)
{
    State& s = *state_;
    if (s.Finished || s.Failed || (pcm == nullptr && frames != 0))
        return false;
    if (frames == 0)
        return true;
    if (!s.Convert(pcm, static_cast<int>(frames)) || !s.Drain(false) || s.Muxer->pb->error < 0) {
        s.Failed = true;
        return false;
    }
    return true;
}

bool FfmpegAudioWriter::Finish()
{
    State& s = *state_;
    if (s.Failed)
        return false;
    if (s.Finished)
        return true;
    bool ok = s.Convert(nullptr, 0) && s.Drain(true) && s.Encode(nullptr);
    ok = av_write_trailer(s.Muxer.get()) == 0 && ok;
    avio_flush(s.Muxer->pb);
    ok = s.Muxer->pb->error >= 0 && ok;
    ok = ::close(std::exchange(s.File.Fd, -1)) == 0 && ok;
    s.Finished = true;
    s.Failed = !ok;
    return ok;
}

std::int64_t FfmpegAudioWriter::FramesEncoded() const
{
    return state_->NextPts;
}

} // namespace velmora
