// libFuzzer target: any bytes as a file of one of the decoded kinds (the
// first byte picks which), opened as the Open command does - decoded into
// a working file, which is then loaded.  The input lives in a memory file system.
// Nothing may read or write out of bounds, hang, or leave a working file
// that the reading rules refuse after the open said it loaded.

#include "SilentDialogs.h"

#include "document/Document.h"
#include "import/OpenSequence.h"
#include "platform/Progress.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// /dev/shm when there is one: the decoder reads the input from memory.
std::string InputFolder()
{
    static const std::string folder = [] {
        std::string path = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "/tmp/";
        path += "velmora-decode-fuzz-" + std::to_string(::getpid()) + "/";
        ::mkdir(path.c_str(), 0700);
        return path;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // By the extension, as the open picks the demuxer; 0 and 1 stay MP3 and
    // WMA, so the older seeds mean what they did.
    static constexpr const char* Extensions[] = {".mp3", ".wma", ".flac", ".ogg", ".opus", ".m4a", ".aac", ".aiff"};
    const std::string input = InputFolder() + "in" + Extensions[data[0] % std::size(Extensions)];
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    velmora::Document doc;
    doc.TempFolder = InputFolder();
    doc.SourceFile = input;
    velmora::fuzz::SilentDialogs dialogs;
    velmora::NullProgress decoding, loading;
    if (velmora::RunOpenBody(doc, decoding, loading, dialogs) == velmora::OpenEnd::Loaded &&
        (doc.TotalFrames == 0 || doc.PeakUpper.size() != doc.ColumnCount || doc.Channels > 2))
        std::abort();
    ::unlink(input.c_str());
    return 0;
}
