#include "EditRange.h"

#include "document/ColumnPeakScan.h"
#include "document/Document.h"
#include "document/WorkFileFormat.h"
#include "platform/File.h"
#include "platform/UserDialogs.h"

#include <algorithm>

namespace velmora {

EditRange EditRangeOf(const Document& doc)
{
    const auto frameSize = static_cast<std::uint64_t>(doc.FrameSize);
    const std::uint64_t framesInPayload = frameSize == 0 ? 0 : (doc.DataEnd - doc.DataOffset) / frameSize;
    // Markers never lie past the payload; should they, the range stops at
    // its end rather than reach into whatever follows it.
    const std::uint64_t last = std::min<std::uint64_t>(doc.SelFinishFrame, framesInPayload);
    const std::uint64_t first = std::min<std::uint64_t>(doc.SelStartFrame, last);

    EditRange range;
    range.StartByte = doc.DataOffset + first * frameSize;
    range.EndByte = doc.DataOffset + last * frameSize;
    range.Frames = static_cast<std::uint32_t>(last - first);
    return range;
}

File OpenForRewrite(const Document& doc, UserDialogs& dialogs)
{
    File file = File::Open(doc.WorkFile, File::Mode::ReadWrite);
    if (!file)
        dialogs.ShowMessage("Cannot open the temporary file.");
    return file;
}

void RecomputeAfterLengthChange(Document& doc, std::uint32_t newLength)
{
    const std::uint64_t bytesPerSecond = static_cast<std::uint64_t>(
                                             static_cast<std::uint32_t>(doc.SampleRate)) *
                                         static_cast<std::uint32_t>(doc.Channels) *
                                         static_cast<std::uint32_t>(doc.BitsPerSample) / 8;
    const std::uint32_t dataSize = newLength - doc.DataOffset;
    SetPayload(doc, doc.DataOffset, dataSize,
               bytesPerSecond == 0 ? 0 : static_cast<std::uint32_t>(dataSize / bytesPerSecond));
    doc.PeakUpper.assign(PeakColumns(doc), 0);
    doc.PeakLower.assign(PeakColumns(doc), 0);
}

EditEnd FailRewrite(File& file, Document& doc, Progress& reloading, UserDialogs& dialogs)
{
    dialogs.ShowMessage("Cannot write the temporary file.");
    WaveHeader header;
    if (ReadWaveHeader(file, header)) {
        // Not even the header reads back: no samples can be trusted.
        header.DataOffset = doc.DataOffset;
        header.DataSize = 0;
        header.DurationSeconds = 0;
    }
    SetPayload(doc, header.DataOffset, header.DataSize, header.DurationSeconds);
    doc.PeakUpper.assign(PeakColumns(doc), 0);
    doc.PeakLower.assign(PeakColumns(doc), 0);
    ScanColumnPeaks(file, doc, doc.PeakUpper, doc.PeakLower, reloading);
    return EditEnd::Failed;
}

} // namespace velmora
