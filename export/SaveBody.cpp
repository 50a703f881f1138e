#include "SaveBody.h"

#include "WavToEncoded.h"
#include "Wavtomp3.h"
#include "Wavtowma.h"

#include "document/Document.h"
#include "document/FileFormats.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/TemporaryOutput.h"
#include "platform/UserDialogs.h"
#include "platform/tags/TagFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <optional>
#include <type_traits>
#include <vector>

namespace velmora {

namespace {

constexpr std::uint32_t MaxFeedBlockBytes = 1u << 20;
constexpr const char* SaveFailedMessage = "Cannot save the file.";
constexpr std::int32_t DefaultMp3Kbps = 128;
constexpr std::int32_t DefaultWmaKbps = 96;
constexpr std::int32_t LowRateMp3CapKbps = 64;
constexpr std::int32_t LowRateLimitHz = 11025;

// Why a save failed: the file the failure is about (the destination as the
// user named it, or the working file when that could not be read) and the
// system's reason, for the message's details.
struct SaveFault {
    std::string Path;
    int Error = 0;
};

// Says that a save failed, with the file and the reason where known.
void SayCannotSave(UserDialogs& dialogs, const SaveFault& fault)
{
    if (fault.Path.empty())
        dialogs.ShowMessage(SaveFailedMessage);
    else
        dialogs.ShowFileFailure(SaveFailedMessage, fault.Path, SystemReason(fault.Error));
}

// Ends a save that did not complete: the temporary file goes with its
// object, the destination stays as it was, and a failure no one has
// explained yet is explained.
SaveEnd Abandon(SaveEnd end, bool explained, UserDialogs& dialogs, const SaveFault& fault = {})
{
    if (end == SaveEnd::Failed && !explained)
        SayCannotSave(dialogs, fault);
    return end;
}

// The temporary output for destination, or nullopt after saying why not:
// a save already running to the same file is "busy" (and its result
// stands); a folder that cannot take the file gets the message a save of
// that kind has always given.
std::optional<TemporaryOutput> MakeTemporaryOutput(const std::string& destination, const char* cannotCreate,
                                                   const char* caption, UserDialogs& dialogs)
{
    TemporaryOutput output = TemporaryOutput::Create(destination);
    if (output)
        return output;
    if (output.Failed() == TemporaryOutput::Failure::Busy)
        dialogs.ShowFileFailure(SaveFailedMessage, destination, "Another save to this file is running.");
    else if (std::string(caption).empty())
        dialogs.ShowFileFailure(cannotCreate, destination, SystemReason(output.Error()));
    else
        dialogs.ShowMessage(cannotCreate, caption, UserDialogs::Icon::None);
    return std::nullopt;
}

// The document's tags into the finished temporary output, as the format
// of the destination keeps them: after the sound is complete and before
// the output takes the destination's place, so that a save stopped or
// failed here leaves the old file and its tags.  A document that never
// had tags leaves the output as the encoder (or the copy) made it.
bool PutTags(const Document& doc, const TemporaryOutput& temporary)
{
    if (doc.Metadata.Empty() && !doc.MetadataChanged)
        return true;
    const FileFormat* format = FormatOf(temporary.Target());
    return format == nullptr || WriteTags(temporary.Path(), format->Extension, doc.Metadata);
}

SaveEnd CopyWorkFile(const Document& doc, const std::string& destination, Progress& bar, UserDialogs& dialogs)
{
    File source = File::Open(doc.WorkFile, File::Mode::Read);
    if (!source) {
        dialogs.ShowMessage("Cannot open the temporary file.");
        return SaveEnd::Failed;
    }
    std::optional<TemporaryOutput> temporary = MakeTemporaryOutput(destination, SaveFailedMessage, "", dialogs);
    if (!temporary)
        return SaveEnd::Failed;
    File& output = temporary->Output();

    // The copy runs to its end once started; it does not poll the stop
    // request.  Inside the kernel where it can be.  Each chunk is sent on
    // to the disk as soon as it is copied: the disk writes while the next
    // one is copied, and the dirty pages of a long file never pile up
    // until the system throttles the copy.
    const std::uint64_t length = source.Size();
    output.Reserve(length);  // blocks set aside in one go (a hint)
    ProgressMeter meter(bar);
    std::uint64_t sent = 0;  // bytes of the new file handed to the disk
    const bool ok = CopyFileData(source, 0, output, 0, length, [&](std::uint64_t done) {
        output.StartWriteBack(sent, done - sent);  // (a hint; the sync before the rename checks)
        sent = done;
        meter.Report(done, length);
    });
    if (!ok) {
        const SaveFault fault = output.LastError() != 0 ? SaveFault{destination, output.LastError()}
                                                        : SaveFault{doc.WorkFile, source.LastError()};
        return Abandon(SaveEnd::Failed, false, dialogs, fault);
    }
    if (!PutTags(doc, *temporary))
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, EIO});
    if (!temporary->Replace())
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, temporary->Error()});
    return SaveEnd::Saved;
}

// Reads the working file's payload in chunks of up to chunkBytes of 16-bit
// PCM with outChannels per frame, and hands each to encode.  8-bit samples
// become (b - 128) x 32767 / 128.  A file of more channels than outChannels
// is mixed down: even channels to the left, odd ones to the right.  Stops
// at the end of the payload, when encode fails, or when the stop request is
// raised after a chunk.
enum class FeedEnd { Done, EncoderFailed, Stopped, ReadFailed };

// exactEightBit: 8-bit samples become 16-bit ones by a shift, so that a
// lossless file gives them back exactly.
template <typename EncodeFn>
FeedEnd FeedPayload(File& work, const Document& doc, std::int32_t chunkBytes, int outChannels, Progress& bar,
                    EncodeFn encode, bool exactEightBit = false)
{
    ProgressMeter meter(bar);
    const bool eightBit = doc.BitsPerSample == 8;
    const int inChannels = std::max(doc.Channels, 1);
    const std::uint32_t bytesPerSample = eightBit ? 1 : 2;
    const std::uint32_t inFrameBytes = static_cast<std::uint32_t>(inChannels) * bytesPerSample;
    // Frames read per chunk: what the encoder takes, and never more bytes
    // than one bounded block, whatever channel count a header claims.
    const auto framesPerChunk = std::max<std::uint32_t>(
        1, std::min(static_cast<std::uint32_t>(chunkBytes) / (2u * static_cast<std::uint32_t>(outChannels)),
                    MaxFeedBlockBytes / inFrameBytes));
    std::vector<std::int16_t> samples(static_cast<std::size_t>(framesPerChunk) * outChannels);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(framesPerChunk) * inFrameBytes);

    auto sampleAt = [&](const std::uint8_t* p) -> std::int32_t {
        if (!eightBit)
            return static_cast<std::int32_t>(GetS16LE(p));
        const std::int32_t centred = static_cast<std::int32_t>(*p) - 128;
        return exactEightBit ? centred * 256 : centred * 32767 / 128;
    };

    std::uint32_t done = 0;
    while (done < doc.DataSize) {
        // Never past the payload: a chunk that follows it is not audio.
        const std::uint32_t left = doc.DataSize - done;
        std::uint32_t wanted = std::min<std::uint32_t>(framesPerChunk * inFrameBytes, left);
        if (wanted >= inFrameBytes)
            wanted -= wanted % inFrameBytes;
        const auto got = static_cast<std::uint32_t>(work.ReadAt(doc.DataOffset + done, bytes.data(), wanted));
        // The payload is all there: anything less is a failing disk or a
        // file cut short, and the encoded file would end early.
        if (got < wanted)
            return FeedEnd::ReadFailed;
        done += got;
        const std::uint32_t frames = got / inFrameBytes;
        std::uint32_t produced = 0;
        if (inChannels == outChannels || frames == 0) {
            // Sample for sample (a stray last sample of a frame included),
            // never more than the buffer holds.
            produced = std::min<std::uint32_t>(got / bytesPerSample, static_cast<std::uint32_t>(samples.size()));
            for (std::uint32_t i = 0; i < produced; ++i)
                samples[i] = static_cast<std::int16_t>(sampleAt(&bytes[i * bytesPerSample]));
        } else {
            for (std::uint32_t f = 0; f < frames; ++f) {
                std::int64_t sums[2] = {0, 0};
                int counts[2] = {0, 0};
                for (int c = 0; c < inChannels; ++c) {
                    const int side = outChannels == 1 ? 0 : c % 2;
                    sums[side] += sampleAt(&bytes[f * inFrameBytes + static_cast<std::uint32_t>(c) * bytesPerSample]);
                    ++counts[side];
                }
                for (int side = 0; side < outChannels; ++side)
                    samples[produced++] = static_cast<std::int16_t>(sums[side] / std::max(counts[side], 1));
            }
        }
        if (!encode(samples.data(), produced * 2))
            return FeedEnd::EncoderFailed;
        meter.Report(done, doc.DataSize);
        if (meter.StopRequested())
            return FeedEnd::Stopped;
    }
    return FeedEnd::Done;
}

// An encoded save through Encoder (WavToMp3, WavToWma or WavToEncoded): open(encoder,
// temporary file) opens it and gives its chunk size in bytes or -1; the
// payload goes to encode(encoder, samples, bytes) as 16-bit PCM with
// outChannels per frame.  The adapter, and with it its plugin, is gone
// before the destination is replaced.
template <typename Encoder, typename OpenFn, typename EncodeFn>
SaveEnd EncodeThrough(const Document& doc, const std::string& destination, int outChannels, Progress& bar,
                      UserDialogs& dialogs, bool* encoderRefused, OpenFn open, EncodeFn encode)
{
    const bool mp3 = std::is_same_v<Encoder, WavToMp3>;
    const bool wma = std::is_same_v<Encoder, WavToWma>;
    const FileFormat* format = FormatOf(destination);
    const std::string caption = mp3 ? "Lame Encoder" : wma ? "WMA Audio SDK" : std::string(format->Label) + " Encoder";
    std::optional<TemporaryOutput> temporary = MakeTemporaryOutput(
        destination, wma ? "Failed to Create Audio Writer" : "Can not create the file.", caption.c_str(), dialogs);
    if (!temporary)
        return SaveEnd::Failed;
    FeedEnd fed = FeedEnd::Done;
    bool closed = false;
    int readError = 0;  // of the working file
    {
        Encoder encoder(dialogs, doc.ProgramFolder);
        const std::int32_t chunk = open(encoder, temporary->Output());
        if (chunk < 0) {
            if (encoderRefused != nullptr)
                *encoderRefused = true;
            return Abandon(SaveEnd::Failed, true, dialogs);
        }
        File work = File::Open(doc.WorkFile, File::Mode::Read);
        if (!work) {
            encoder.Close();
            dialogs.ShowMessage("Cannot open the temporary file.");
            return Abandon(SaveEnd::Failed, true, dialogs);
        }
        fed = FeedPayload(
            work, doc, chunk, outChannels, bar,
            [&encoder, &encode](const std::int16_t* samples, std::uint32_t bytes) {
                return encode(encoder, samples, bytes);
            },
            format != nullptr && format->Kind == FileKind::Flac);
        readError = work.LastError();
        closed = encoder.Close();
    }
    if (fed == FeedEnd::Stopped)
        return Abandon(SaveEnd::Cancelled, true, dialogs);
    if (fed == FeedEnd::ReadFailed)
        return Abandon(SaveEnd::Failed, false, dialogs, {doc.WorkFile, readError});
    // An MP3 encoder failure has shown its message; a WMA writer's has not.
    // (The encoders write through their own handles: the reason stays
    // theirs.)
    if (fed == FeedEnd::EncoderFailed)
        return Abandon(SaveEnd::Failed, mp3, dialogs, {destination, 0});
    if (!closed)
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, 0});
    if (!PutTags(doc, *temporary))
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, EIO});
    if (!temporary->Replace())
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, temporary->Error()});
    return SaveEnd::Saved;
}

SaveEnd EncodeMp3(Document& doc, const std::string& destination, Progress& bar, UserDialogs& dialogs,
                  bool* encoderRefused)
{
    // A document of one channel is mono; any other count is handled as two.
    const int channelMode = doc.Channels == 1 ? 4 : 1;
    if (doc.SourceBitrate == 0)
        doc.SourceBitrate = DefaultMp3Kbps;
    std::int32_t kbps = doc.SourceBitrate;
    if (doc.SampleRate <= LowRateLimitHz && kbps > LowRateMp3CapKbps)
        kbps = LowRateMp3CapKbps;
    return EncodeThrough<WavToMp3>(
        doc, destination, channelMode == 4 ? 1 : 2, bar, dialogs, encoderRefused,
        [&](WavToMp3& encoder, File& file) {
            return encoder.Open(file.Duplicate(), static_cast<std::uint32_t>(doc.SampleRate), channelMode,
                                static_cast<std::uint32_t>(kbps), false, false, false, false);
        },
        [](WavToMp3& encoder, const std::int16_t* samples, std::uint32_t bytes) {
            return encoder.EncodeChunk(samples, bytes) >= 0;
        });
}

SaveEnd EncodeWma(Document& doc, const std::string& destination, Progress& bar, UserDialogs& dialogs,
                  bool* encoderRefused)
{
    if (doc.SourceBitrate == 0)
        doc.SourceBitrate = DefaultWmaKbps;
    const auto bitsPerSecond = static_cast<std::int32_t>(
        std::min<std::int64_t>(static_cast<std::int64_t>(doc.SourceBitrate) * 1000, INT32_MAX));
    // The writer mixes the channels down itself: it is told them all.
    return EncodeThrough<WavToWma>(
        doc, destination, std::max(doc.Channels, 1), bar, dialogs, encoderRefused,
        [&](WavToWma& encoder, File& file) {
            return encoder.Open(file, doc.SampleRate, doc.Channels, bitsPerSecond);
        },
        [](WavToWma& encoder, const std::int16_t* samples, std::uint32_t bytes) {
            return encoder.WriteChunk(reinterpret_cast<const std::uint8_t*>(samples), bytes);
        });
}

// FLAC, Ogg Vorbis or Opus through FFmpeg's encoder and muxer of the row:
// Opus at the document's bit rate where it has one (96 kbit/s where it has
// none), Vorbis at the document's quality.
SaveEnd EncodeWithWriter(const Document& doc, const FileFormat& format, const std::string& destination,
                         Progress& bar, UserDialogs& dialogs, bool* encoderRefused)
{
    EncodedQuality quality;
    if (doc.SourceBitrate > 0)
        quality.OpusKbps = doc.SourceBitrate;
    quality.VorbisQuality = doc.VorbisQuality;
    const int channels = doc.Channels == 1 ? 1 : 2;
    return EncodeThrough<WavToEncoded>(
        doc, destination, channels, bar, dialogs, encoderRefused,
        [&](WavToEncoded& encoder, File& file) {
            return encoder.Open(file, format, doc.SampleRate, channels, quality);
        },
        [](WavToEncoded& encoder, const std::int16_t* samples, std::uint32_t bytes) {
            return encoder.WriteChunk(samples, bytes);
        });
}

} // namespace

std::string TemporaryOutputName(const std::string& destination)
{
    return TemporaryOutputNameFor(FollowLinks(destination));
}

SaveEnd RunSaveBody(Document& doc, const std::string& destination, Progress& bar, UserDialogs& dialogs,
                    bool* encoderRefused)
{
    if (encoderRefused != nullptr)
        *encoderRefused = false;
    // Replacing a file is possible without write permission on it; a file
    // marked read-only is left alone all the same.
    if (IsReadOnlyFile(destination)) {
        dialogs.ShowFileFailure(SaveFailedMessage, destination, "The file is read-only.");
        return SaveEnd::Failed;
    }
    if (!IsSavedUnder(destination)) {
        dialogs.ShowMessage("Files of this type can be opened but not saved.\nPlease choose another type.");
        return SaveEnd::Failed;
    }
    // Any name that is no encoded format gets the working file as it is.
    const FileFormat* format = FormatOf(destination);
    switch (format != nullptr ? format->SaveBy : SavePath::CopyWorkFile) {
    case SavePath::Mp3Encoder: return EncodeMp3(doc, destination, bar, dialogs, encoderRefused);
    case SavePath::WmaEncoder: return EncodeWma(doc, destination, bar, dialogs, encoderRefused);
    case SavePath::Encoder: return EncodeWithWriter(doc, *format, destination, bar, dialogs, encoderRefused);
    case SavePath::CopyWorkFile:
    case SavePath::NotSaved: break;
    }
    return CopyWorkFile(doc, destination, bar, dialogs);
}

} // namespace velmora
