#include "Wavtowma.h"

#include "platform/PathText.h"
#include "platform/UserDialogs.h"


namespace velmora {

namespace {
constexpr const char* Caption = "WMA Audio SDK";
}

WavToWma::WavToWma(UserDialogs& dialogs, const std::string& pluginFolder) : dialogs_(dialogs)
{
    library_ = std::make_unique<PluginLibrary>(pluginFolder, "wmaudsdk");
    if (!library_->IsLoaded()) {
        library_.reset();
        Show("Could not load wmaudsdk.dll file");
        return;
    }
    create_ = library_->ResolveFunction<WMAudioCreateWriterFn>("WMAudioCreateWriter");
    createOnFile_ = library_->ResolveFunction<WMAudioCreateWriterOnFileFn>(WMAudioCreateWriterOnFileName);
    if (create_ == nullptr)
        Show("Could not found WMAudioCreateWriter library function");
}

WavToWma::~WavToWma()
{
    if (writer_ != nullptr) {
        writer_->Table->Flush(writer_);
        ReleaseWriter();
    }
    create_ = nullptr;
    createOnFile_ = nullptr;
    library_.reset();
}

void WavToWma::Show(const char* text)
{
    dialogs_.ShowMessage(text, Caption, UserDialogs::Icon::None);
}

void WavToWma::ReleaseWriter()
{
    writer_->Table->Release(writer_);
    writer_ = nullptr;
}

WaveFormatEx WavToWma::InputFormat(std::int32_t sampleRate, std::int32_t channels)
{
    WaveFormatEx format{};
    format.wFormatTag = 1;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = static_cast<std::uint32_t>(sampleRate);
    format.nBlockAlign = static_cast<std::uint16_t>(format.nChannels * 2);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

std::int32_t WavToWma::Open(const std::string& fileName, std::int32_t sampleRate, std::int32_t channels,
                            std::int32_t bitrate)
{
    if (create_ == nullptr)
        return -1;  // construction already said what is missing
    const std::u16string wide = Utf16FromUtf8(fileName);
    if (create_(wide.c_str(), &writer_) < 0 || writer_ == nullptr) {
        writer_ = nullptr;
        Show("Failed to Create Audio Writer");
        return -1;
    }
    return SetFormats(sampleRate, channels, bitrate);
}

std::int32_t WavToWma::Open(const File& output, std::int32_t sampleRate, std::int32_t channels, std::int32_t bitrate)
{
    if (create_ == nullptr)
        return -1;  // construction already said what is missing
    if (createOnFile_ == nullptr || createOnFile_(output.NativeHandle(), &writer_) < 0 || writer_ == nullptr) {
        writer_ = nullptr;
        Show("Failed to Create Audio Writer");
        return -1;
    }
    return SetFormats(sampleRate, channels, bitrate);
}

std::int32_t WavToWma::SetFormats(std::int32_t sampleRate, std::int32_t channels, std::int32_t bitrate)
{
    const WaveFormatEx format = InputFormat(sampleRate, channels);
    if (writer_->Table->SetInputFormat(writer_, &format) < 0) {
        ReleaseWriter();
        Show("Failed to Set Input Format");
        return -1;
    }
    if (writer_->Table->SetOutputFormat(writer_, static_cast<std::uint32_t>(bitrate), 44100, 2, 0) < 0) {
        ReleaseWriter();
        Show("Failed to Set Output Format");
        return -1;
    }
    return ChunkBytes;
}

bool WavToWma::WriteChunk(const std::uint8_t* pcm, std::uint32_t byteCount)
{
    if (byteCount == 0)
        return true;
    if (writer_ == nullptr)
        return false;
    return writer_->Table->WriteSamples(writer_, pcm, byteCount) >= 0;
}

bool WavToWma::Close()
{
    if (writer_ == nullptr)
        return true;
    if (writer_->Table->Flush(writer_) < 0)
        return false;
    ReleaseWriter();
    return true;
}

} // namespace velmora
