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
#include "platform/encode/FfmpegAudioWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>

#define VELMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using velmora::AudioWriterFormat;
using velmora::FfmpegAudioWriter;

struct Writer;
Writer* Self(WMAudioWriter* self);

struct Writer {
    WMAudioWriter Interface;  // first, so that the object's address is the interface's
    int References = 1;
    int Fd = -1;              // until the output format is set, then the encoder's
    bool HaveInput = false;
    WaveFormatEx Input{};
    std::unique_ptr<FfmpegAudioWriter> Encoder;
    bool Finished = false;

    ~Writer()
    {
        if (Fd >= 0)
            ::close(Fd);
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
    if (!writer->HaveInput || writer->Encoder != nullptr || writer->Fd < 0 || channels < 1 || channels > 2 ||
        sampleRate == 0)
        return WMA_E_INVALIDARG;
    AudioWriterFormat format;
    format.Encoder = "wmav2";
    format.Muxer = "asf";
    format.InputRate = static_cast<int>(writer->Input.nSamplesPerSec);
    format.InputChannels = writer->Input.nChannels;
    format.OutputRate = static_cast<int>(sampleRate);
    format.OutputChannels = static_cast<int>(channels);
    format.BitRate = bitrate;
    format.SilentFirstFrame = true;  // (see the top of this file)
    // Bit rates the encoder cannot do (below 24 kbit/s, for one) fail here.
    writer->Encoder = FfmpegAudioWriter::Open(std::exchange(writer->Fd, -1), format);
    return writer->Encoder != nullptr ? WMA_OK : WMA_E_INVALIDARG;
}

std::int32_t WriteSamples(WMAudioWriter* self, const std::uint8_t* pcm, std::uint32_t bytes)
{
    Writer* writer = Self(self);
    if (writer->Encoder == nullptr || writer->Finished || (pcm == nullptr && bytes != 0))
        return WMA_E_FAIL;
    const std::uint32_t frames = bytes / writer->Input.nBlockAlign;
    if (frames == 0)
        return WMA_OK;
    return writer->Encoder->Write(reinterpret_cast<const std::int16_t*>(pcm), frames) ? WMA_OK : WMA_E_FAIL;
}

std::int32_t Flush(WMAudioWriter* self)
{
    Writer* writer = Self(self);
    if (writer->Encoder == nullptr)
        return WMA_E_FAIL;
    writer->Finished = true;
    return writer->Encoder->Finish() ? WMA_OK : WMA_E_FAIL;
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
    created->Fd = fd;
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
