#include "Wavtomp3.h"

#include "platform/UserDialogs.h"


namespace velmora {

namespace {

constexpr const char* Caption = "Lame Encoder";

BE_CONFIG ConfigFor(std::uint32_t sampleRate, int channelMode, std::uint32_t bitrate, bool copyright, bool crc,
                    bool original, bool privateBit)
{
    BE_CONFIG config;
    config.dwConfig = BE_CONFIG_MP3;
    config.dwSampleRate = sampleRate;
    config.byMode = WavToMp3::ModeCode(channelMode);
    config.wBitrate = WavToMp3::RoundBitrate(bitrate);
    config.bPrivate = privateBit ? 1 : 0;
    config.bCRC = crc ? 1 : 0;
    config.bCopyright = copyright ? 1 : 0;
    config.bOriginal = original ? 1 : 0;
    return config;
}

} // namespace

std::uint16_t WavToMp3::RoundBitrate(std::uint32_t kbps)
{
    // Each boundary is the midpoint between neighbours, except 67 (not 72)
    // between 64 and 80.
    static constexpr struct {
        std::uint32_t UpTo;
        std::uint16_t Used;
    } table[] = {{36, 32},   {44, 40},   {52, 48},   {60, 56},   {67, 64},   {88, 80},   {104, 96},
                 {120, 112}, {144, 128}, {176, 160}, {208, 192}, {240, 224}, {288, 256}};
    for (const auto& row : table) {
        if (kbps <= row.UpTo)
            return row.Used;
    }
    return 320;
}

std::uint8_t WavToMp3::ModeCode(int channelMode)
{
    return static_cast<std::uint8_t>(channelMode >= 1 && channelMode <= 4 ? channelMode - 1 : 0);
}

WavToMp3::WavToMp3(UserDialogs& dialogs, const std::string& pluginFolder) : dialogs_(dialogs)
{
    library_ = std::make_unique<PluginLibrary>(pluginFolder, "lame_enc");
    if (!library_->IsLoaded()) {
        library_.reset();
        Show("Could not load lame_enc.dll file");
        return;
    }
    // Resolved in this order; the first one missing ends the construction.
    init_ = library_->ResolveFunction<BeInitStreamFn>("beInitStream");
    if (init_ == nullptr) {
        Show("Could not found beInitStream library function");
        return;
    }
    encode_ = library_->ResolveFunction<BeEncodeChunkFn>("beEncodeChunk");
    if (encode_ == nullptr) {
        Show("Could not found beEncodeChunk library function");
        return;
    }
    version_ = library_->ResolveFunction<BeVersionFn>("beVersion");
    if (version_ == nullptr) {
        Show("Could not found beVersion library function");
        return;
    }
    deinit_ = library_->ResolveFunction<BeDeinitStreamFn>("beDeinitStream");
    if (deinit_ == nullptr) {
        Show("Could not found beDeinitStream library function");
        return;
    }
    close_ = library_->ResolveFunction<BeCloseStreamFn>("beCloseStream");
    if (close_ == nullptr) {
        Show("Could not found beCloseStream library function");
        return;
    }
    // Optional: a plugin without it writes streams that decode with the
    // encoder's lead-in, as before.
    infoTag_ = library_->ResolveFunction<BeInfoTagFn>(BeInfoTagSymbol);
    initPart_ = library_->ResolveFunction<BeInitPartFn>(BeInitPartSymbol);
}

WavToMp3::~WavToMp3()
{
    if (open_)
        Close();
    init_ = nullptr;
    encode_ = nullptr;
    version_ = nullptr;
    deinit_ = nullptr;
    close_ = nullptr;
    infoTag_ = nullptr;
    initPart_ = nullptr;
    library_.reset();
}

void WavToMp3::Show(const char* text)
{
    dialogs_.ShowMessage(text, Caption, UserDialogs::Icon::None);
}

std::int32_t WavToMp3::Open(const std::string& fileName, std::uint32_t sampleRate, int channelMode,
                            std::uint32_t bitrate, bool copyright, bool crc, bool original, bool privateBit)
{
    return OpenInto(fileName, File(), sampleRate, channelMode, bitrate, copyright, crc, original, privateBit);
}

std::int32_t WavToMp3::Open(File output, std::uint32_t sampleRate, int channelMode, std::uint32_t bitrate,
                            bool copyright, bool crc, bool original, bool privateBit)
{
    return OpenInto(std::string(), std::move(output), sampleRate, channelMode, bitrate, copyright, crc, original,
                privateBit);
}

std::int32_t WavToMp3::OpenInto(const std::string& fileName, File output, std::uint32_t sampleRate, int channelMode,
                            std::uint32_t bitrate, bool copyright, bool crc, bool original, bool privateBit)
{
    if (init_ == nullptr || encode_ == nullptr || version_ == nullptr || deinit_ == nullptr || close_ == nullptr)
        return -1;  // construction already said what is missing

    BE_CONFIG config = ConfigFor(sampleRate, channelMode, bitrate, copyright, crc, original, privateBit);

    std::uint32_t samplesPerChunk = 0;
    std::uint32_t bufferBytes = 0;
    if (init_(&config, &samplesPerChunk, &bufferBytes, &stream_) != BE_ERR_SUCCESSFUL) {
        Show("Could not initialize Lame encoder");
        return -1;
    }
    // A file of the caller's, or one made here: only ever a new one.
    file_ = output ? std::move(output) : File::Open(fileName, File::Mode::CreateNew);
    if (!file_) {
        close_(stream_);
        Show("Can not create the file.");
        return -1;
    }
    output_.assign(bufferBytes, 0);
    fileOffset_ = 0;
    open_ = true;
    return static_cast<std::int32_t>(samplesPerChunk * 2);
}

bool WavToMp3::WriteOut(std::uint32_t count)
{
    if (count == 0)
        return true;
    if (!file_.WriteAt(fileOffset_, output_.data(), count)) {
        writeFailed_ = true;
        return false;
    }
    fileOffset_ += count;
    return true;
}

std::int32_t WavToMp3::EncodeChunk(const std::int16_t* samples, std::uint32_t byteCount)
{
    if (!open_)
        return -1;
    if (encode_(stream_, byteCount / 2, samples, output_.data(), &outputBytes_) != BE_ERR_SUCCESSFUL) {
        Show("Could not perform compression");
        return -1;
    }
    WriteOut(outputBytes_);
    return static_cast<std::int32_t>(outputBytes_);
}

void WavToMp3::WriteInfoFrame()
{
    std::uint32_t size = 0;
    if (infoTag_ == nullptr || writeFailed_ ||
        infoTag_(stream_, output_.data(), static_cast<std::uint32_t>(output_.size()), &size) != BE_ERR_SUCCESSFUL ||
        size == 0)
        return;
    // The frame the encoder left empty at the start of the stream: the
    // stream begins at byte 0 of the file.
    if (size > fileOffset_ || !file_.WriteAt(0, output_.data(), size))
        writeFailed_ = true;
}

bool WavToMp3::Close()
{
    if (!open_)
        return !writeFailed_;
    open_ = false;
    outputBytes_ = 0;
    deinit_(stream_, output_.data(), &outputBytes_);
    WriteOut(outputBytes_);
    WriteInfoFrame();
    close_(stream_);
    output_.clear();
    output_.shrink_to_fit();
    const bool closed = file_.Close();
    return closed && !writeFailed_;
}

std::unique_ptr<WavToMp3::PartStream> WavToMp3::OpenPart(std::uint32_t sampleRate, int channelMode,
                                                        std::uint32_t bitrate) const
{
    if (initPart_ == nullptr || encode_ == nullptr || deinit_ == nullptr || close_ == nullptr)
        return nullptr;
    BE_CONFIG config = ConfigFor(sampleRate, channelMode, bitrate, false, false, false, false);
    std::uint32_t samplesPerChunk = 0;
    std::uint32_t bufferBytes = 0;
    std::uint32_t stream = 0;
    VELMORA_PART_FACTS facts{};
    if (initPart_(&config, &samplesPerChunk, &bufferBytes, &stream, &facts) != BE_ERR_SUCCESSFUL)
        return nullptr;
    return std::make_unique<PartStream>(*this, stream, samplesPerChunk, bufferBytes, facts);
}

WavToMp3::PartStream::PartStream(const WavToMp3& owner, std::uint32_t stream, std::uint32_t samplesPerChunk,
                                 std::uint32_t outputBytes, const VELMORA_PART_FACTS& facts)
    : owner_(owner), stream_(stream), samplesPerChunk_(samplesPerChunk), facts_(facts), output_(outputBytes)
{
}

WavToMp3::PartStream::~PartStream()
{
    owner_.close_(stream_);
}

bool WavToMp3::PartStream::Encode(const std::int16_t* samples, std::uint32_t sampleCount,
                                  std::vector<std::uint8_t>& out)
{
    std::uint32_t bytes = 0;
    if (owner_.encode_(stream_, sampleCount, samples, output_.data(), &bytes) != BE_ERR_SUCCESSFUL ||
        bytes > output_.size())
        return false;
    out.insert(out.end(), output_.begin(), output_.begin() + bytes);
    return true;
}

bool WavToMp3::PartStream::Finish(std::vector<std::uint8_t>& out)
{
    std::uint32_t bytes = 0;
    if (owner_.deinit_(stream_, output_.data(), &bytes) != BE_ERR_SUCCESSFUL || bytes > output_.size())
        return false;
    out.insert(out.end(), output_.begin(), output_.begin() + bytes);
    return true;
}

} // namespace velmora
