#include "OpenBody.h"

#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <vector>

namespace velmora {

namespace {

constexpr std::size_t WaveCopyBlockBytes = 10240;

OpenBodyResult CopyWaveSource(const std::string& sourceFile, const std::string& workFile,
                              Progress& decoding, UserDialogs& dialogs)
{
    File source = File::Open(sourceFile, File::Mode::Read);
    if (!source) {
        dialogs.ShowMessage("Cannot open the file.");
        return {};
    }
    File work = File::Open(workFile, File::Mode::CreateNew);
    if (!work) {
        dialogs.ShowMessage("Cannot creat the temporary file.");
        return {};
    }

    const std::uint64_t sourceSize = source.Size();
    ProgressMeter meter(decoding);
    std::vector<unsigned char> block(WaveCopyBlockBytes);
    std::uint64_t copied = 0;
    for (;;) {
        const std::size_t n = source.ReadAt(copied, block.data(), block.size());
        if (n == 0)
            break;
        if (!work.WriteAt(copied, block.data(), n)) {
            dialogs.ShowMessage("Cannot creat the temporary file.");
            return {};
        }
        copied += n;
        meter.Report(copied, sourceSize);
    }
    if (source.LastError() != 0) {
        dialogs.ShowMessage("Cannot open the file.");
        return {};
    }
    return {OpenBodyEnd::Produced, 0};
}

} // namespace

bool IsOpenableExtension(const std::string& path)
{
    return HasExtension(path, ".mp3") || HasExtension(path, ".wma") || HasExtension(path, ".wav");
}

OpenBodyResult ProduceWorkFile(const std::string& sourceFile, const std::string& workFile,
                               Progress& decoding, UserDialogs& dialogs)
{
    RemoveFileIfExists(workFile);
    return CopyWaveSource(sourceFile, workFile, decoding, dialogs);
}

} // namespace velmora
