// libFuzzer target: any bytes as a working file, through the reading rules,
// the loading step, a rescan at the finest zoom and two edits.  Whatever
// the header claims, nothing may read or write out of bounds, divide by
// zero, allocate from a header field or grow the file.

#include "document/Document.h"
#include "document/LoadWorkFile.h"
#include "document/Zoom.h"
#include "edit/DeleteCutOut.h"
#include "edit/Fades.h"
#include "platform/PrivateTempFolder.h"
#include "platform/Progress.h"
#include "SilentDialogs.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace {

long long SizeOf(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static velmora::PrivateTempFolder folder;
    velmora::Document doc;
    doc.WorkFile = folder.Path() + "AudioTemp.wav";
    {
        std::ofstream out(doc.WorkFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    velmora::fuzz::SilentDialogs dialogs;
    velmora::NullProgress progress;
    if (!velmora::LoadWorkFile(doc, progress, dialogs))
        return 0;
    if (doc.PeakUpper.size() != doc.ColumnCount || doc.DataEnd > size)
        std::abort();

    velmora::ApplyZoomChange(doc, 1000, progress, dialogs);
    velmora::SetMarkers(doc, doc.ColumnCount / 3, doc.SelFinish);
    velmora::RunFadeOutBody(doc, progress, progress, dialogs);
    if (SizeOf(doc.WorkFile) != static_cast<long long>(size))
        std::abort();  // an in-place rewrite must never change the length
    velmora::SetMarkers(doc, doc.SelStart, doc.ColumnCount - 1);
    velmora::RunDeleteBody(doc, progress, progress, dialogs);
    if (SizeOf(doc.WorkFile) != static_cast<long long>(doc.DataEnd) || doc.PeakUpper.size() != doc.ColumnCount)
        std::abort();
    return 0;
}
