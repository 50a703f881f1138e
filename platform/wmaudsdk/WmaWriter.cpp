// The WMA writer plugin: WMA version 2 audio in an ASF file, written with
// FFmpeg's wmav2 encoder and asf muxer.  Whatever PCM format the writer is
// given is converted to the requested output format (always 44100 Hz
// stereo here) with libswresample.
//
// FFmpeg's wmav2 decoder, like the encoder's own frame lag, drops one frame
// more at the start than the encoder delays; one frame of silence fed ahead
// of the audio makes the decoded file start exactly with the first sample.

#include "WmaWriterApi.h"

#include "platform/audio/FfmpegLog.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Writer;
Writer* Self(WMAudioWriter* self);

// The output: a file descriptor of our own, written at positions of our
// own, behind a custom I/O context.  FFmpeg never opens a file by name
// here, so it can follow no link and create nothing the caller did not.
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

struct Writer {
    WMAudioWriter Interface;  // first, so that the object's address is the interface's
    int References = 1;
    Output File;
    bool HaveInput = false;
    WaveFormatEx Input{};

    AVFormatContext* Muxer = nullptr;
    AVCodecContext* Codec = nullptr;
    SwrContext* Resampler = nullptr;
    AVAudioFifo* Fifo = nullptr;
    AVFrame* Frame = nullptr;
    AVPacket* Packet = nullptr;
    std::int64_t NextPts = 0;
    bool HeaderWritten = false;
    bool Finished = false;
    bool Failed = false;

    ~Writer()
    {
        if (Muxer != nullptr) {
            FreeIo();
            avformat_free_context(Muxer);
        }
        avcodec_free_context(&Codec);
        swr_free(&Resampler);
        if (Fifo != nullptr)
            av_audio_fifo_free(Fifo);
        av_frame_free(&Frame);
        av_packet_free(&Packet);
    }

    // The custom I/O context and its buffer (which it may have replaced).
    void FreeIo()
    {
        if (Muxer->pb == nullptr)
            return;
        av_freep(&Muxer->pb->buffer);
        avio_context_free(&Muxer->pb);
    }

    // Sends one frame (or nullptr to drain) and writes what comes out.
    bool Encode(AVFrame* frame)
    {
        if (avcodec_send_frame(Codec, frame) < 0)
            return false;
        for (;;) {
            const int result = avcodec_receive_packet(Codec, Packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return true;
            if (result < 0)
                return false;
            av_packet_rescale_ts(Packet, Codec->time_base, Muxer->streams[0]->time_base);
            Packet->stream_index = 0;
            if (av_interleaved_write_frame(Muxer, Packet) < 0)
                return false;
        }
    }

    // Encodes whole frames from the FIFO; with final, the short rest too.
    bool Drain(bool final)
    {
        const int frameSize = Codec->frame_size;
        while (av_audio_fifo_size(Fifo) >= frameSize || (final && av_audio_fifo_size(Fifo) > 0)) {
            const int count = std::min(frameSize, av_audio_fifo_size(Fifo));
            av_frame_unref(Frame);
            Frame->nb_samples = count;
            Frame->format = Codec->sample_fmt;
            Frame->sample_rate = Codec->sample_rate;
            av_channel_layout_copy(&Frame->ch_layout, &Codec->ch_layout);
            if (av_frame_get_buffer(Frame, 0) < 0)
                return false;
            if (av_audio_fifo_read(Fifo, reinterpret_cast<void**>(Frame->data), count) != count)
                return false;
            Frame->pts = NextPts;
            NextPts += count;
            if (!Encode(Frame))
                return false;
        }
        return true;
    }

    // Converts input PCM (or, with nullptr, what the converter holds) into
    // the FIFO.
    bool Convert(const std::uint8_t* pcm, int frames)
    {
        const int room = swr_get_out_samples(Resampler, frames);
        if (room < 0)
            return false;
        if (room == 0)
            return true;
        std::vector<std::vector<float>> planes(static_cast<std::size_t>(Codec->ch_layout.nb_channels),
                                               std::vector<float>(static_cast<std::size_t>(room)));
        std::vector<std::uint8_t*> out;
        for (auto& plane : planes)
            out.push_back(reinterpret_cast<std::uint8_t*>(plane.data()));
        const std::uint8_t* in[1] = {pcm};
        const int converted = swr_convert(Resampler, out.data(), room, pcm ? in : nullptr, frames);
        if (converted < 0)
            return false;
        return av_audio_fifo_write(Fifo, reinterpret_cast<void**>(out.data()), converted) == converted;
    }
};

std::int32_t QueryInterface(WMAudioWriter*, const void*, void** object)
{
    if (object != nullptr)
        *object = nullptr;
    return WMA_E_NOINTERFACE;
}

std::int32_t AddRef(WMAudioWriter* self)
{
    return ++Self(self)->References;
}

std::int32_t Release(WMAudioWriter* self)
{
    Writer* writer = Self(self);
    const int left = --writer->References;
    if (left == 0)
        delete writer;
    return left;
}

std::int32_t Reserved(WMAudioWriter*)
{
    return WMA_OK;
}

std::int32_t SetInputFormat(WMAudioWriter* self, const WaveFormatEx* format)
{
    Writer* writer = Self(self);
    if (format == nullptr || format->wFormatTag != 1 || format->wBitsPerSample != 16 ||
        format->nChannels == 0 || format->nChannels > 8 || format->nSamplesPerSec == 0 ||
        format->nSamplesPerSec > 768000 || format->nBlockAlign != format->nChannels * 2)
        return WMA_E_INVALIDARG;
    writer->Input = *format;
    writer->HaveInput = true;
    return WMA_OK;
}

std::int32_t SetOutputFormat(WMAudioWriter* self, std::uint32_t bitrate, std::uint32_t sampleRate,
                             std::uint32_t channels, std::uint32_t)
{
    Writer* writer = Self(self);
    if (!writer->HaveInput || writer->Codec != nullptr || channels < 1 || channels > 2 || sampleRate == 0)
        return WMA_E_INVALIDARG;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (encoder == nullptr)
        return WMA_E_FAIL;
    writer->Codec = avcodec_alloc_context3(encoder);
    AVCodecContext* codec = writer->Codec;
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->sample_rate = static_cast<int>(sampleRate);
    av_channel_layout_default(&codec->ch_layout, static_cast<int>(channels));
    codec->bit_rate = bitrate;
    codec->time_base = AVRational{1, codec->sample_rate};
    if (avformat_alloc_output_context2(&writer->Muxer, nullptr, "asf", nullptr) < 0)
        return WMA_E_FAIL;
    if (writer->Muxer->oformat->flags & AVFMT_GLOBALHEADER)
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Bit rates the encoder cannot do (below 24 kbit/s, for one) fail here.
    if (avcodec_open2(codec, encoder, nullptr) < 0)
        return WMA_E_INVALIDARG;

    AVStream* stream = avformat_new_stream(writer->Muxer, nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec) < 0)
        return WMA_E_FAIL;
    stream->time_base = codec->time_base;

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, writer->Input.nChannels);
    const int resampler = swr_alloc_set_opts2(&writer->Resampler, &codec->ch_layout, AV_SAMPLE_FMT_FLTP,
                                              codec->sample_rate, &inLayout, AV_SAMPLE_FMT_S16,
                                              static_cast<int>(writer->Input.nSamplesPerSec), 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    if (resampler < 0 || swr_init(writer->Resampler) < 0)
        return WMA_E_FAIL;
    writer->Fifo = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, codec->ch_layout.nb_channels, codec->frame_size * 4);
    writer->Frame = av_frame_alloc();
    writer->Packet = av_packet_alloc();
    if (writer->Fifo == nullptr || writer->Frame == nullptr || writer->Packet == nullptr)
        return WMA_E_FAIL;

    constexpr int IoBufferBytes = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(IoBufferBytes));
    if (buffer == nullptr)
        return WMA_E_FAIL;
    writer->Muxer->pb = avio_alloc_context(buffer, IoBufferBytes, 1, &writer->File, nullptr, &Output::Write,
                                           &Output::Seek);
    if (writer->Muxer->pb == nullptr) {
        av_free(buffer);
        return WMA_E_FAIL;
    }
    writer->Muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (avformat_write_header(writer->Muxer, nullptr) < 0)
        return WMA_E_FAIL;
    writer->HeaderWritten = true;

    // One frame of silence ahead of the audio (see the top of this file).
    std::vector<std::vector<float>> silence(static_cast<std::size_t>(codec->ch_layout.nb_channels),
                                            std::vector<float>(static_cast<std::size_t>(codec->frame_size), 0.0f));
    std::vector<void*> planes;
    for (auto& plane : silence)
        planes.push_back(plane.data());
    if (av_audio_fifo_write(writer->Fifo, planes.data(), codec->frame_size) != codec->frame_size)
        return WMA_E_FAIL;
    return WMA_OK;
}

std::int32_t WriteSamples(WMAudioWriter* self, const std::uint8_t* pcm, std::uint32_t bytes)
{
    Writer* writer = Self(self);
    if (writer->Codec == nullptr || writer->Finished || writer->Failed || (pcm == nullptr && bytes != 0))
        return WMA_E_FAIL;
    const int frames = static_cast<int>(bytes / writer->Input.nBlockAlign);
    if (frames == 0)
        return WMA_OK;
    if (!writer->Convert(pcm, frames) || !writer->Drain(false) || writer->Muxer->pb->error < 0) {
        writer->Failed = true;
        return WMA_E_FAIL;
    }
    return WMA_OK;
}

std::int32_t Flush(WMAudioWriter* self)
{
    Writer* writer = Self(self);
    if (writer->Failed)
        return WMA_E_FAIL;
    if (writer->Finished)
        return WMA_OK;
    if (writer->Codec == nullptr || !writer->HeaderWritten)
        return WMA_E_FAIL;
    bool ok = writer->Convert(nullptr, 0) && writer->Drain(true) && writer->Encode(nullptr);
    ok = av_write_trailer(writer->Muxer) == 0 && ok;
    avio_flush(writer->Muxer->pb);
    ok = writer->Muxer->pb->error >= 0 && ok;
    writer->FreeIo();
    ok = ::close(std::exchange(writer->File.Fd, -1)) == 0 && ok;
    writer->Finished = true;
    if (!ok) {
        writer->Failed = true;
        return WMA_E_FAIL;
    }
    return WMA_OK;
}

const WMAudioWriterTable Table = {
    &QueryInterface, &AddRef, &Release, &Reserved, &SetInputFormat,
    &SetOutputFormat, &Reserved, &WriteSamples, &Flush,
};

Writer* Self(WMAudioWriter* self)
{
    return reinterpret_cast<Writer*>(self);
}

std::string Utf8(const char16_t* text)
{
    std::u16string wide;
    for (const char16_t* p = text; *p != 0; ++p)
        wide.push_back(*p);
    std::string out;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// A writer into fd, which it now owns.
std::int32_t CreateOn(int fd, WMAudioWriter** writer)
{
    velmora::ApplyFfmpegLogLevel();
    auto created = std::make_unique<Writer>();
    created->Interface.Table = &Table;
    created->File.Fd = fd;
    *writer = &created.release()->Interface;
    return WMA_OK;
}

} // namespace

VELMORA_EXPORT std::int32_t WMAudioCreateWriter(const char16_t* fileName, WMAudioWriter** writer)
{
    if (fileName == nullptr || writer == nullptr)
        return WMA_E_INVALIDARG;
    *writer = nullptr;
    // Created here, and only here: never through a link, never over a
    // file already there; the owner's alone until the caller says more.
    const std::string path = Utf8(fileName);
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return WMA_E_FAIL;
    return CreateOn(fd, writer);
}

VELMORA_EXPORT std::int32_t VelmoraWMAudioCreateWriterOnFile(int fd, WMAudioWriter** writer)
{
    if (fd < 0 || writer == nullptr)
        return WMA_E_INVALIDARG;
    *writer = nullptr;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return WMA_E_FAIL;
    return CreateOn(own, writer);
}
