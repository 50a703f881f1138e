#include "SaveBody.h"

#include "document/Document.h"
#include "platform/File.h"
#include "platform/PathText.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <cstdio>
#include <vector>

namespace velmora {

namespace {

constexpr std::size_t WaveCopyBlockBytes = 10240;
constexpr const char* SaveFailedMessage = "Cannot save the file.";

// Replaces destination by the finished temporary file in one rename.
bool ReplaceDestination(const std::string& temporary, const std::string& destination)
{
    return std::rename(temporary.c_str(), destination.c_str()) == 0;
}

SaveEnd CopyWorkFile(const Document& doc, const std::string& destination, Progress& bar,
                     UserDialogs& dialogs)
{
    const std::string temporary = TemporaryOutputName(destination);
    File source = File::Open(doc.WorkFile, File::Mode::Read);
    if (!source) {
        dialogs.ShowMessage("Cannot open the temporary file.");
        return SaveEnd::Failed;
    }
    RemoveFileIfExists(temporary);
    File output = File::Open(temporary, File::Mode::CreateNew);
    if (!output) {
        dialogs.ShowMessage(SaveFailedMessage);
        return SaveEnd::Failed;
    }

    const std::uint64_t length = source.Size();
    ProgressMeter meter(bar);
    std::vector<unsigned char> block(WaveCopyBlockBytes);
    std::uint64_t written = 0;
    bool ok = true;
    for (;;) {
        const std::size_t n = source.ReadAt(written, block.data(), block.size());
        if (n == 0)
            break;
        if (!output.WriteAt(written, block.data(), n)) {
            ok = false;
            break;
        }
        written += n;
        meter.Report(written, length);
    }
    ok = ok && source.LastError() == 0 && written == length;
    ok = ok && output.Sync();
    ok = output.Close() && ok;
    ok = ok && ReplaceDestination(temporary, destination);
    if (!ok) {
        RemoveFileIfExists(temporary);
        dialogs.ShowMessage(SaveFailedMessage);
        return SaveEnd::Failed;
    }
    return SaveEnd::Saved;
}

} // namespace

std::string TemporaryOutputName(const std::string& destination)
{
    const std::size_t slash = destination.find_last_of('/');
    const std::size_t nameStart = (slash == std::string::npos) ? 0 : slash + 1;
    return destination.substr(0, nameStart) + "~" + destination.substr(nameStart) + ".tmp";
}

SaveEnd RunSaveBody(Document& doc, const std::string& destination, Progress& bar,
                    UserDialogs& dialogs)
{
    return CopyWorkFile(doc, destination, bar, dialogs);
}

} // namespace velmora
