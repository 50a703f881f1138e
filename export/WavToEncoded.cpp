#include "WavToEncoded.h"

#include "platform/FileFormats.h"
#include "platform/UserDialogs.h"
#include "platform/encode/FfmpegAudioWriter.h"

#include <fcntl.h>

#include <algorithm>
#include <string>

namespace velmora {

namespace {

// Opus codes 48000 Hz whatever it is given; FLAC's default level.
constexpr int OpusRate = 48000;
constexpr int FlacCompressionLevel = 5;

} // namespace

WavToEncoded::WavToEncoded(UserDialogs& dialogs, const std::string&) : dialogs_(dialogs) {}

WavToEncoded::~WavToEncoded() = default;

std::int32_t WavToEncoded::Open(const File& output, const FileFormat& format, std::int32_t sampleRate,
                                std::int32_t channels, const EncodedQuality& quality)
{
    AudioWriterFormat wanted;
    wanted.Encoder = format.Encoder;
    wanted.Muxer = format.Muxer;
    wanted.InputRate = sampleRate;
    wanted.InputChannels = channels;
    wanted.OutputRate = sampleRate;
    wanted.OutputChannels = std::clamp(channels, 1, 2);
    switch (format.Kind) {
    case FileKind::Flac: wanted.CompressionLevel = FlacCompressionLevel; break;
    case FileKind::Ogg: wanted.Quality = std::clamp(quality.VorbisQuality, -1.0, 10.0); break;
    case FileKind::Opus:
        wanted.OutputRate = OpusRate;
        wanted.FineResampling = true;
        // libopus takes at most 256 kbit/s a channel.
        wanted.BitRate = std::clamp<std::int64_t>(quality.OpusKbps, 6, std::min(510, 256 * wanted.OutputChannels)) * 1000;
        break;
    default: break;
    }
    channels_ = channels;
    // The writer writes through a descriptor of its own.
    const int fd = output ? ::fcntl(output.NativeHandle(), F_DUPFD_CLOEXEC, 0) : -1;
    writer_ = fd >= 0 ? FfmpegAudioWriter::Open(fd, wanted) : nullptr;
    if (!writer_) {
        dialogs_.ShowMessage("Can not create the file.", std::string(format.Label) + " Encoder",
                             UserDialogs::Icon::None);
        return -1;
    }
    return ChunkBytes;
}

bool WavToEncoded::WriteChunk(const std::int16_t* pcm, std::uint32_t byteCount)
{
    if (byteCount == 0)
        return true;
    if (!writer_)
        return false;
    return writer_->Write(pcm, byteCount / (2u * static_cast<std::uint32_t>(channels_)));
}

bool WavToEncoded::Close()
{
    if (!writer_)
        return true;
    const bool finished = writer_->Finish();
    writer_.reset();
    return finished;
}

} // namespace velmora
