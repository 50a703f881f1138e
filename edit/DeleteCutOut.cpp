#include "DeleteCutOut.h"

#include "EditRange.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "import/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/ProgressMeter.h"
#include "platform/UserDialogs.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

// Moves the bytes from readFrom up to readLimit down to writeTo (never
// above readFrom), in blocks, front to back so that nothing is overwritten
// before it has been read.  Returns the write position after the last byte.
std::uint64_t MoveDown(File& file, std::uint64_t writeTo, std::uint64_t readFrom,
                       std::uint64_t readLimit, Progress& processing)
{
    ProgressMeter meter(processing);
    const std::uint64_t total = readLimit > readFrom ? readLimit - readFrom : 0;
    if (writeTo == readFrom) {
        // An empty range: the bytes would move onto themselves.
        meter.Report(total, total);
        return readFrom + total;
    }
    std::vector<unsigned char> block(static_cast<std::size_t>(std::min<std::uint64_t>(EditBlockBytes, total)));
    std::uint64_t moved = 0;
    while (readFrom < readLimit) {
        const auto wanted = static_cast<std::size_t>(
            std::min<std::uint64_t>(block.size(), readLimit - readFrom));
        const std::size_t n = file.ReadAt(readFrom, block.data(), wanted);
        if (n == 0)
            break;
        file.WriteAt(writeTo, block.data(), n);
        readFrom += n;
        writeTo += n;
        moved += n;
        meter.Report(moved, total);
    }
    return writeTo;
}

// Cuts the file at newLength, patches both header sizes, recomputes the
// document and rescans it into new peak arrays.
void FinishLengthChange(File& file, Document& doc, std::uint64_t newLength, Progress& reloading)
{
    file.Truncate(newLength);
    const auto length = static_cast<std::uint32_t>(newLength);
    PatchEditedSizes(file, length, doc.DataOffset);
    RecomputeAfterLengthChange(doc, length);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
}

} // namespace

EditEnd RunDeleteBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs)
{
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    const std::uint64_t end = std::min<std::uint64_t>(doc.DataEnd, file.Size());
    const std::uint64_t written = MoveDown(file, range.StartByte, range.EndByte, end, processing);
    FinishLengthChange(file, doc, written, reloading);
    return EditEnd::Done;
}

EditEnd RunCutOutBody(Document& doc, Progress& processing, Progress& reloading,
                      UserDialogs& dialogs)
{
    if (doc.SelStart == doc.SelFinish) {
        dialogs.ShowMessage("The selection is empty.");
        return EditEnd::Refused;
    }
    const EditRange range = EditRangeOf(doc);
    File file = OpenForRewrite(doc, dialogs);
    if (!file)
        return EditEnd::NotOpened;
    file.Truncate(range.EndByte);
    const std::uint64_t written =
        MoveDown(file, doc.DataOffset, range.StartByte, range.EndByte, processing);
    FinishLengthChange(file, doc, written, reloading);
    return EditEnd::Done;
}

void SetMarkersAfterDelete(Document& doc)
{
    doc.SelFinish = doc.SelStart + 1;
    if (doc.SelFinish > doc.ColumnCount - 1)
        doc.SelFinish = doc.ColumnCount - 1;
}

void SetMarkersAfterCutOut(Document& doc)
{
    SelectAll(doc);
}

} // namespace velmora
