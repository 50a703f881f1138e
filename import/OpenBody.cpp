#include "OpenBody.h"

#include "SegmentedDecode.h"
#include "platform/FileFormats.h"
#include "document/WorkFileFormat.h"

#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/audio/Bass.h"
#include "platform/PathText.h"
#include "platform/RiffWave.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace velmora {

namespace {

// The largest payload whose sizes still fit the header's 32-bit fields.
constexpr std::uint64_t MaxPayloadBytes = 0xFFFFFFFFull - WorkFileHeaderBytes;

// WMA has a stream call, a message wording and a rounding of its bit rate
// of its own; every other decoded kind goes as MP3 does.
enum class SourceKind { Wma, Other };

// The source's bit rate from its file size and its length: the length its
// header gives (headerBytes of decoded sound), or what actually decoded
// (decodedBytes) when that is shorter - a file cut short, say by a broken
// download, would otherwise read as a fraction of its real rate.
std::int32_t SourceBitrateOf(HSTREAM stream, QWORD headerBytes, QWORD decodedBytes, bool wma)
{
    QWORD length = headerBytes == static_cast<QWORD>(-1) ? 0 : headerBytes;
    if (length == 0 || decodedBytes < length)
        length = decodedBytes;
    const double seconds = length == 0 ? 0.0 : BASS_ChannelBytes2Seconds(stream, length);
    return SourceBitrateFrom(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END), seconds, wma);
}

// Frees a decoding stream when it goes out of scope.
struct StreamGuard {
    HSTREAM Handle;
    ~StreamGuard() { BASS_StreamFree(Handle); }
};

OpenBodyResult DecodeSource(const std::string& sourceFile, const std::string& workFile, SourceKind kind,
                            Progress& decoding, UserDialogs& dialogs)
{
    const HSTREAM stream = kind != SourceKind::Wma
                               ? BASS_StreamCreateFile(0, sourceFile.c_str(), 0, 0, BASS_STREAM_DECODE)
                               : BASS_WMA_StreamCreateFile(0, sourceFile.c_str(), 0, 0, BASS_STREAM_DECODE);
    if (stream == 0) {
        dialogs.ShowMessage("Can not creat the decode stream.");
        return {};
    }
    StreamGuard guard{stream};
    const QWORD headerBytes = BASS_ChannelGetLength(stream, BASS_POS_BYTE);

    // A stream that cannot say its format would give the working file a
    // header of rate 0: refused like a stream that could not be made.
    BASS_CHANNELINFO info{};
    if (!BASS_ChannelGetInfo(stream, &info) || (info.freq & 0xFFFF) == 0 || info.chans == 0) {
        dialogs.ShowMessage("Can not creat the decode stream.");
        return {};
    }
    const std::int32_t channels = info.chans == 1 ? 1 : 2;
    const std::int32_t bits = (info.flags & BASS_SAMPLE_8BITS) ? 8 : 16;
    const std::uint32_t rate = info.freq & 0xFFFF;

    const char* cannotCreate = kind != SourceKind::Wma ? "Can not creat the temporary file."
                                                       : "Cannot creat the temporary file.";
    File work = File::Open(workFile, File::Mode::CreateNew);
    if (!work || !WriteWorkFileHeader(work, channels, rate, bits)) {
        dialogs.ShowMessage(cannotCreate);
        return {};
    }

    ProgressMeter meter(decoding);
    const char* tooLong = "The decoded audio is too long for a working file.";
    const std::uint64_t estimate = headerBytes == static_cast<QWORD>(-1) ? 0 : headerBytes;
    const SegmentedResult decoded =
        DecodeSound(sourceFile, work, WorkFileHeaderBytes, estimate, MaxPayloadBytes, workFile + ".part", meter);
    const std::uint64_t written = decoded.Bytes;
    const bool cancelled = decoded.End == SegmentedEnd::Cancelled;
    const char* failure = decoded.End == SegmentedEnd::Failed    ? cannotCreate
                          : decoded.End == SegmentedEnd::TooLong ? tooLong
                                                                 : nullptr;
    // A header whose sizes were not written, or a file whose last blocks
    // did not reach the disk, is no working file.
    const bool finished = PatchDecodedSizes(work);
    if (!work.Close() || !finished)
        failure = failure != nullptr ? failure : cannotCreate;
    if (failure != nullptr) {
        dialogs.ShowMessage(failure);
        return {};
    }
    if (cancelled)
        return {OpenBodyEnd::Cancelled, 0};
    // A lossless source (FLAC, ALAC, AIFF) has no bit rate a lossy save
    // could take over: its saves use their own defaults, as a WAV's do.
    if ((info.flags & BASS_SAMPLE_LOSSLESS) != 0)
        return {OpenBodyEnd::Produced, 0};
    return {OpenBodyEnd::Produced, SourceBitrateOf(stream, headerBytes, written, kind == SourceKind::Wma)};
}

OpenBodyResult CopyWaveSource(const std::string& sourceFile, const std::string& workFile,
                              Progress& decoding, UserDialogs& dialogs)
{
    // Each failure keeps its message, with the file and the system's reason
    // beside it.
    auto cannotOpen = [&](const File& file) {
        dialogs.ShowFileFailure("Cannot open the file.", sourceFile, SystemReason(file.LastError()));
    };
    auto cannotCreate = [&](const File& file) {
        dialogs.ShowFileFailure("Cannot creat the temporary file.", workFile, SystemReason(file.LastError()));
    };
    File source = File::Open(sourceFile, File::Mode::Read);
    if (!source) {
        cannotOpen(source);
        return {};
    }
    // Sizes past 4 GiB cannot be written into the working file's header:
    // such a file would be edited and saved without its end.
    if (ScanRiffWave(source).AudioTooLarge) {
        dialogs.ShowMessage("The file is too large to be edited.");
        return {};
    }

    File work = File::Open(workFile, File::Mode::CreateNew);
    if (!work) {
        cannotCreate(work);
        return {};
    }

    // A byte-for-byte copy, inside the kernel where it can be, into blocks
    // set aside in one go.
    const std::uint64_t sourceSize = source.Size();
    work.Reserve(sourceSize);
    ProgressMeter meter(decoding);
    if (!CopyFileData(source, 0, work, 0, sourceSize, [&](std::uint64_t done) { meter.Report(done, sourceSize); })) {
        if (work.LastError() != 0)
            cannotCreate(work);
        else
            cannotOpen(source);
        return {};
    }
    if (source.LastError() != 0) {
        cannotOpen(source);
        return {};
    }
    if (!work.Close()) {
        cannotCreate(work);
        return {};
    }
    return {OpenBodyEnd::Produced, 0};
}

} // namespace

std::int32_t SourceBitrateFrom(std::uint64_t fileBytes, double seconds, bool wma)
{
    // A big file that decodes to next to nothing would give absurd rates;
    // no codec comes near this one.
    constexpr double MaxKbps = 1000000;
    double kbps = 0;
    if (seconds >= 1.0)
        kbps = static_cast<double>(fileBytes / (static_cast<std::uint64_t>(seconds) * 125));
    else if (seconds > 0.0)
        kbps = static_cast<double>(fileBytes) / (seconds * 125.0);
    auto bitrate = static_cast<std::int32_t>(std::min(kbps, MaxKbps));
    if (wma && bitrate % 2 == 1)
        bitrate -= 1;
    return bitrate;
}

bool IsOpenableExtension(const std::string& path)
{
    return FormatOf(path) != nullptr;
}

OpenBodyResult ProduceWorkFile(const std::string& sourceFile, const std::string& workFile,
                               Progress& decoding, UserDialogs& dialogs)
{
    // A FIFO or a device under an audio file's name would be waited on
    // for ever; a folder is no audio either.
    std::error_code error;
    const auto kind = std::filesystem::status(sourceFile, error).type();
    if (!error && kind != std::filesystem::file_type::regular) {
        dialogs.ShowMessage("Can not open the file.");
        return {};
    }
    RemoveFileIfExists(workFile);
    const FileFormat* format = FormatOf(sourceFile);
    if (format != nullptr && format->OpenBy == OpenPath::Decode)
        return DecodeSource(sourceFile, workFile, format->Kind == FileKind::Wma ? SourceKind::Wma : SourceKind::Other,
                            decoding, dialogs);
    return CopyWaveSource(sourceFile, workFile, decoding, dialogs);
}

} // namespace velmora
