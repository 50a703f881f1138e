#include "SaveBody.h"

#include "Mp3InParts.h"
#include "PayloadFeed.h"
#include "WavToEncoded.h"
#include "Wavtomp3.h"
#include "Wavtowma.h"

#include "document/Document.h"
#include "platform/FileFormats.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/TemporaryOutput.h"
#include "platform/UserDialogs.h"
#include "platform/tags/TagFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <string>
#include <optional>
#include <type_traits>
#include <vector>

#include <unistd.h>

namespace velmora {

namespace {

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

// How a feed ended; Error, the system's reason for a failed read (of the
// working file) or write (of the output).
struct FeedResult {
    FeedEnd End = FeedEnd::Done;
    int Error = 0;
};

// The feed of an encoder that takes the whole payload in one stream:
// encode(encoder, samples, bytes) for each chunk of 16-bit PCM with
// outChannels a frame.
template <typename Encoder, typename EncodeFn>
auto FeedInOneStream(const Document& doc, int outChannels, Progress& bar, EncodeFn encode,
                     bool exactEightBit = false)
{
    return [&doc, outChannels, &bar, encode, exactEightBit](Encoder& encoder, File& work, std::int32_t chunk) {
        const SampleConverter converter(doc, outChannels, exactEightBit);
        const FeedEnd end = FeedPayload(work, doc, chunk, converter, bar,
                                        [&](const std::int16_t* samples, std::uint32_t bytes) {
                                            return encode(encoder, samples, bytes);
                                        });
        return FeedResult{end, end == FeedEnd::ReadFailed ? work.LastError() : 0};
    };
}

// An encoded save through Encoder (WavToMp3, WavToWma or WavToEncoded): open(encoder,
// temporary output) opens it and gives its chunk size in bytes or -1; then
// feed(encoder, working file, chunk size) hands it the payload (see
// FeedInOneStream).  The adapter, and with it its plugin, is gone before
// the destination is replaced.
template <typename Encoder, typename OpenFn, typename FeedFn>
SaveEnd EncodeThrough(const Document& doc, const std::string& destination, UserDialogs& dialogs,
                      bool* encoderRefused, OpenFn open, FeedFn feed)
{
    const bool mp3 = std::is_same_v<Encoder, WavToMp3>;
    const bool wma = std::is_same_v<Encoder, WavToWma>;
    const FileFormat* format = FormatOf(destination);
    const std::string caption = mp3 ? "Lame Encoder" : wma ? "WMA Audio SDK" : std::string(format->Label) + " Encoder";
    std::optional<TemporaryOutput> temporary = MakeTemporaryOutput(
        destination, wma ? "Failed to Create Audio Writer" : "Can not create the file.", caption.c_str(), dialogs);
    if (!temporary)
        return SaveEnd::Failed;
    FeedResult fed;
    bool closed = false;
    {
        Encoder encoder(dialogs, doc.ProgramFolder);
        const std::int32_t chunk = open(encoder, *temporary);
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
        fed = feed(encoder, work, chunk);
        closed = encoder.Close();
    }
    switch (fed.End) {
    case FeedEnd::Done: break;
    case FeedEnd::Stopped: return Abandon(SaveEnd::Cancelled, true, dialogs);
    case FeedEnd::ReadFailed: return Abandon(SaveEnd::Failed, false, dialogs, {doc.WorkFile, fed.Error});
    // An MP3 encoder failure has shown its message; a WMA writer's has not.
    // (The encoders write through their own handles: the reason stays
    // theirs.)
    case FeedEnd::EncoderFailed: return Abandon(SaveEnd::Failed, mp3, dialogs, {destination, 0});
    case FeedEnd::WriteFailed: return Abandon(SaveEnd::Failed, false, dialogs, {destination, fed.Error});
    }
    if (!closed)
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, 0});
    if (!PutTags(doc, *temporary))
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, EIO});
    if (!temporary->Replace())
        return Abandon(SaveEnd::Failed, false, dialogs, {destination, temporary->Error()});
    return SaveEnd::Saved;
}

// Names for the part files of a save in parts, in the temporary output's
// folder: short, whatever the destination's name, and this process's own.
std::string PartPrefixBeside(const std::string& temporaryPath)
{
    static std::atomic<unsigned> saves{0};
    const std::string folder = temporaryPath.substr(0, temporaryPath.find_last_of('/') + 1);
    return folder + "~velmora-" + std::to_string(::getpid()) + "-" + std::to_string(saves++) + ".part";
}

SaveEnd EncodeMp3(Document& doc, const std::string& destination, Progress& bar, UserDialogs& dialogs,
                  bool* encoderRefused)
{
    // A document of one channel is mono; any other count is handled as two.
    const int channelMode = doc.Channels == 1 ? 4 : 1;
    const int outChannels = channelMode == 4 ? 1 : 2;
    if (doc.SourceBitrate == 0)
        doc.SourceBitrate = DefaultMp3Kbps;
    std::int32_t kbps = doc.SourceBitrate;
    if (doc.SampleRate <= LowRateLimitHz && kbps > LowRateMp3CapKbps)
        kbps = LowRateMp3CapKbps;
    const Mp3Format format{static_cast<std::uint32_t>(doc.SampleRate), channelMode, static_cast<std::uint32_t>(kbps)};
    auto openStream = [&](WavToMp3& encoder, File& output) {
        return encoder.Open(output.Duplicate(), format.SampleRate, channelMode, format.Kbps, false, false, false,
                            false);
    };
    auto inOneStream = FeedInOneStream<WavToMp3>(doc, outChannels, bar,
                                                 [](WavToMp3& encoder, const std::int16_t* samples, std::uint32_t bytes) {
                                                     return encoder.EncodeChunk(samples, bytes) >= 0;
                                                 });
    // On several cores in parts, where the plugin can and the file is long
    // enough; otherwise in one stream.
    const SampleConverter converter(doc, outChannels, false);
    const unsigned parts = Mp3PartsFor(doc.DataSize / converter.InFrameBytes(), format.SampleRate);
    TemporaryOutput* output = nullptr;
    return EncodeThrough<WavToMp3>(
        doc, destination, dialogs, encoderRefused,
        [&](WavToMp3& encoder, TemporaryOutput& temporary) {
            output = &temporary;
            return parts > 1 ? 0 : openStream(encoder, temporary.Output());
        },
        [&](WavToMp3& encoder, File& work, std::int32_t chunk) -> FeedResult {
            if (parts > 1) {
                const PartsResult result = EncodeMp3InParts(encoder, format, converter, work, doc, output->Output(),
                                                            PartPrefixBeside(output->Path()), bar, parts);
                switch (result.End) {
                case PartsEnd::Done: return {FeedEnd::Done};
                case PartsEnd::Stopped: return {FeedEnd::Stopped};
                case PartsEnd::ReadFailed: return {FeedEnd::ReadFailed, result.Error};
                case PartsEnd::WriteFailed: return {FeedEnd::WriteFailed, result.Error};
                case PartsEnd::EncoderFailed: encoder.SayCompressionFailed(); return {FeedEnd::EncoderFailed};
                case PartsEnd::NotPossible: break;  // nothing written: one stream
                }
                chunk = openStream(encoder, output->Output());
                if (chunk < 0) {
                    // Open has said why; nothing was written.
                    if (encoderRefused != nullptr)
                        *encoderRefused = true;
                    return {FeedEnd::EncoderFailed};
                }
            }
            return inOneStream(encoder, work, chunk);
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
        doc, destination, dialogs, encoderRefused,
        [&](WavToWma& encoder, TemporaryOutput& temporary) {
            return encoder.Open(temporary.Output(), doc.SampleRate, doc.Channels, bitsPerSecond);
        },
        FeedInOneStream<WavToWma>(doc, std::max(doc.Channels, 1), bar,
                                  [](WavToWma& encoder, const std::int16_t* samples, std::uint32_t bytes) {
                                      return encoder.WriteChunk(reinterpret_cast<const std::uint8_t*>(samples), bytes);
                                  }));
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
        doc, destination, dialogs, encoderRefused,
        [&](WavToEncoded& encoder, TemporaryOutput& temporary) {
            return encoder.Open(temporary.Output(), format, doc.SampleRate, channels, quality);
        },
        FeedInOneStream<WavToEncoded>(
            doc, channels, bar,
            [](WavToEncoded& encoder, const std::int16_t* samples, std::uint32_t bytes) {
                return encoder.WriteChunk(samples, bytes);
            },
            format.Kind == FileKind::Flac));
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
